// The inputs that once made a fuzz target fail, and the seeds, run through the targets in the
// ordinary test suite (tests/data/fuzz/<target>/, one input per file).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_targets.h"

namespace zuka {
namespace {

// The files of tests/data/fuzz/<target> and of the further folders of tests/data given.
std::vector<std::filesystem::path> Inputs(const std::string& target,
                                          const std::vector<std::string>& more) {
    std::vector<std::filesystem::path> files;
    const std::filesystem::path data(ZUKA_TEST_DATA);
    std::vector<std::filesystem::path> dirs{data / "fuzz" / target};
    for (const std::string& d : more) dirs.push_back(data / d);
    for (const std::filesystem::path& dir : dirs) {
        if (!std::filesystem::is_directory(dir)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.is_regular_file()) files.push_back(entry.path());
    }
    return files;
}

void Replay(const std::string& target,
            const std::function<int(const std::uint8_t*, std::size_t)>& run,
            const std::vector<std::string>& more = {}) {
    for (const std::filesystem::path& file : Inputs(target, more)) {
        SCOPED_TRACE(file.string());
        std::ifstream in(file, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        const std::string data = bytes.str();
        EXPECT_EQ(run(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()), 0);
    }
}

// The test drawings are the loader's seeds; extreme.dxf once made the host's curve sampling
// overflow an int when the drawing was saved.
TEST(FuzzReplay, DxfLoader) {
    Replay("dxf_loader", FuzzDxfLoader, {"acquisition", "drawings", "dxf"});
}
TEST(FuzzReplay, Settings) { Replay("settings", FuzzSettings, {"settings"}); }
TEST(FuzzReplay, Selection) { Replay("selection", FuzzSelection); }
TEST(FuzzReplay, Numbers) { Replay("numbers", FuzzNumbers); }

}  // namespace
}  // namespace zuka

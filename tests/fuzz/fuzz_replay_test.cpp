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

// The files of the folders of tests/data given. A folder that is missing or empty fails the
// test: a replay of nothing would pass whatever the target does.
std::vector<std::filesystem::path> Inputs(const std::vector<std::string>& folders) {
    std::vector<std::filesystem::path> files;
    const std::filesystem::path data(ZUKA_TEST_DATA);
    for (const std::string& folder : folders) {
        const std::filesystem::path dir = data / folder;
        if (!std::filesystem::is_directory(dir)) {
            ADD_FAILURE() << "no inputs: " << dir.string() << " is missing";
            continue;
        }
        const std::size_t before = files.size();
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.is_regular_file()) files.push_back(entry.path());
        if (files.size() == before) ADD_FAILURE() << "no inputs in " << dir.string();
    }
    return files;
}

void Replay(const std::string& target,
            const std::function<int(const std::uint8_t*, std::size_t)>& run,
            const std::vector<std::string>& more = {}) {
    std::vector<std::string> folders{"fuzz/" + target};
    folders.insert(folders.end(), more.begin(), more.end());
    for (const std::filesystem::path& file : Inputs(folders)) {
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

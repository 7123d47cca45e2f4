// The user's drawing through 取得 → 時刻 → save: drawings of every version with what real
// drawings hold (dimensions, hatches, attributes, XDATA, layouts, proxies, custom objects) come
// back whole, checked by an independent reader (tests/data/round_trip/compare.py).
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "app/controller.h"
#include "base/platform.h"
#include "cad/host/drawing_host.h"
#include "cad/interaction.h"
#include "file_bytes.h"
#include "temp_dir.h"

namespace zuka {
namespace {

namespace fs = std::filesystem;

const std::string kPython = "/usr/bin/python3";

using zuka::testing::ReadBytes;

// The output of a command; "exit N" is appended when it fails.
std::string RunCommand(const std::string& cmd) {
    std::string out;
    const int status = RunCommandLine(cmd + " 2>&1", out);
    if (status != 0) out += "exit " + std::to_string(status);
    return out;
}

fs::path Script(const char* name) { return fs::path(ZUKA_TEST_DATA) / "round_trip" / name; }

class RoundTripTest : public ::testing::Test {
protected:
    static fs::path Corpus() {
        return fs::temp_directory_path() / ("zuka_round_trip_" + std::to_string(::getpid()));
    }

    static void SetUpTestSuite() {
        if (RunCommand(kPython + " -c 'import ezdxf'") != "") return;
        fs::create_directories(Corpus());
        made_ = RunCommand(kPython + " " + Script("make_round_trip.py").string() + " " +
                    Corpus().string());
    }
    static void TearDownTestSuite() { fs::remove_all(Corpus()); }

    void SetUp() override {
        if (!made_) GTEST_SKIP() << "python3-ezdxf is not installed";
        ASSERT_EQ(*made_, "");
        c_.FormCreate(IniFile{});
        c_.SetCadConnector(&connector_);
    }
    // Opens a drawing of the corpus and acquires its buildings (layer 建物).
    void OpenAndAcquire(const std::string& name) {
        std::string error;
        ASSERT_TRUE(host_.Load(Corpus() / name, error)) << error;
        picks_.PushSelection("layer=建物");
        c_.Button2Click();
        ASSERT_FALSE(c_.ws.AryTatemono.empty());
    }

    fs::path Save(const std::string& name) {
        const fs::path out = dir_ / name;
        std::string error;
        EXPECT_TRUE(host_.Save(out, error)) << error;
        return out;
    }

    static inline std::optional<std::string> made_;
    testing::TempDir tmp_;
    fs::path dir_ = tmp_.Path();
    ScriptedInteraction picks_;
    DrawingHost host_{&picks_};
    HostConnector connector_{host_};
    RecordingUiHost ui_;
    Controller c_{ui_, dir_};
};

TEST_F(RoundTripTest, TimeOfDayKeepsEveryVersionWhole) {
    for (const char* name : {"r12.dxf", "r12_nohandles.dxf", "r2000.dxf", "r2013.dxf",
                             "r2018.dxf"}) {
        SCOPED_TRACE(name);
        OpenAndAcquire(name);
        c_.Button3Click();
        ASSERT_EQ(c_.LastInsert().status, InsertStatus::Sent);
        const fs::path out = Save(std::string("out_") + name);
        // Nothing lost or changed; the diagram and its record are new, on their own layers.
        EXPECT_EQ(
            RunCommand(kPython + " " + Script("compare.py").string() + " " +
                       (Corpus() / name).string() + " " + out.string() + " ZUKA_JIKOKU ZUKA_INFO"),
            "");
        // The result read back and saved again is the same file.
        DrawingHost again;
        std::string error;
        ASSERT_TRUE(again.Load(out, error)) << error;
        const fs::path twice = dir_ / (std::string("twice_") + name);
        ASSERT_TRUE(again.Save(twice, error)) << error;
        EXPECT_TRUE(ReadBytes(twice) == ReadBytes(out));
    }
    // R12 without handles gets none.
    EXPECT_EQ(ReadBytes(dir_ / "out_r12_nohandles.dxf").find("\n  5\n"), std::string::npos);
}

// An untouched drawing saves as the very same bytes; a command stopped with 中止 adds no entity
// (its prologue's layer and linetype stay, as in a CAD) and never touches the input file.
TEST_F(RoundTripTest, UntouchedOrStoppedLeavesTheDrawingAsItWas) {
    const fs::path input = Corpus() / "r2018.dxf";
    const std::string bytes = ReadBytes(input);
    OpenAndAcquire("r2018.dxf");
    EXPECT_TRUE(ReadBytes(Save("untouched.dxf")) == bytes);
    int pumps = 0;
    ui_.onProcessMessages = [&] {
        if (++pumps == 3) c_.Button10Click();  // 中止
    };
    c_.Button3Click();
    EXPECT_NE(c_.LastInsert().status, InsertStatus::Sent);
    const fs::path out = Save("stopped.dxf");
    EXPECT_EQ(RunCommand(kPython + " " + Script("compare.py").string() + " " + input.string() +
                         " " + out.string()),
              "");
    EXPECT_TRUE(ReadBytes(input) == bytes);
}

}  // namespace
}  // namespace zuka

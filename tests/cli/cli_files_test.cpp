// The files a user hands the command line, as they come on Windows: Japanese folder and file
// names, a path that does not exist, a folder that cannot be written, a drawing another program
// holds open. The same cases run on Linux; a case that cannot be set up there (no file locks;
// permissions that do not bind the administrator) says why it is skipped.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "base/platform.h"
#include "temp_folder.h"
#include "file_bytes.h"

namespace {

namespace fs = std::filesystem;

using zuka::PathFromUtf8;
using zuka::PathToUtf8;
using zuka::testing::TTempFolder;

using zuka::testing::ReadBytes;

// A file in `dir` by its UTF-8 name (a narrow string would go through the ANSI code page).
fs::path At(const fs::path& dir, const char* utf8) { return dir / PathFromUtf8(utf8); }

std::string Quoted(const fs::path& p) { return "\"" + PathToUtf8(p) + "\""; }

// Runs zuka on the command line (through the system's shell, as a user types it) with the work
// folder `workdir`.
int Zuka(const fs::path& workdir, const std::string& args, std::string& out) {
    const std::string cmd =
        "\"" + std::string(ZUKA_EXE) + "\" --workdir " + Quoted(workdir) + " " + args + " 2>&1";
    return zuka::RunCommandLine(cmd, out);
}

struct TFilesCase {
    const char* name;
    // Prepares the folder `dir` (設計 and the sample drawing 設計/日影検討.dxf are there) and
    // returns the arguments; an empty result with `skip` set skips the case.
    std::function<std::string(const fs::path& dir, std::string& skip, std::shared_ptr<void>& hold)>
        setUp;
    int status;
    std::vector<std::string> saysAll;  // parts of the output (file names in UTF-8)
    std::function<void(const fs::path& dir)> check;
};

const std::string kSky = "sky --buildings layer=建物 --points layer=測定点 --quiet ";

std::vector<TFilesCase> Cases() {
    return {
        {"japanese names open, save and get the block files beside them",
         [](const fs::path& dir, std::string&, std::shared_ptr<void>&) {
             return kSky + Quoted(At(dir, "日影検討.dxf")) + " --map 1 --at 80000,40000 -o " +
                    Quoted(At(dir, "日影検討-天空図.dxf"));
         },
         0,
         {"日影検討-天空図.dxf"},
         [](const fs::path& dir) {
             const std::string saved = ReadBytes(At(dir, "日影検討-天空図.dxf"));
             EXPECT_NE(saved.find("ZUKA_1"), std::string::npos);
             EXPECT_TRUE(fs::exists(At(dir, "ZUKA_1.dxf")));
         }},
        {"a drawing that does not exist is named",
         [](const fs::path& dir, std::string&, std::shared_ptr<void>&) {
             return "time-of-day " + Quoted(At(dir, "ない図面.dxf")) + " --buildings layer=建物";
         },
         1,
         {"図面ファイルを開けません", "ない図面.dxf"},
         [](const fs::path& dir) { EXPECT_FALSE(fs::exists(At(dir, "ない図面-zuka.dxf"))); }},
        {"a folder that cannot be written is named and nothing is left",
         [](const fs::path& dir, std::string& skip, std::shared_ptr<void>&) {
             const fs::path locked = At(dir, "読取専用");
             fs::create_directories(locked);
             fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
             std::ofstream(At(locked, "probe")) << "x";
             if (fs::exists(At(locked, "probe"))) {
                 skip =
                     "the folder can be written all the same (the administrator, or "
                     "Windows, where a folder's read-only attribute does not bind)";
                 return std::string();
             }
             return "time-of-day " + Quoted(At(dir, "日影検討.dxf")) +
                    " --buildings layer=建物 -o " + Quoted(At(locked, "時刻.dxf"));
         },
         1,
         {"図面ファイルを書き込めません", "時刻.dxf"},
         [](const fs::path& dir) { EXPECT_FALSE(fs::exists(At(dir, "読取専用/時刻.dxf"))); }},
        {"a drawing another program holds open is named and left as it was",
         [](const fs::path& dir, std::string& skip, std::shared_ptr<void>& hold) {
             std::ofstream(At(dir, "開いている.dxf"), std::ios::binary) << "held";
             hold = zuka::HoldFileExclusively(At(dir, "開いている.dxf"));
             if (!hold) {
                 skip = "the system has no file locks";
                 return std::string();
             }
             return "time-of-day " + Quoted(At(dir, "日影検討.dxf")) +
                    " --buildings layer=建物 -o " + Quoted(At(dir, "開いている.dxf"));
         },
         1,
         {"図面ファイルを書き込めません", "開いている.dxf"},
         [](const fs::path& dir) { EXPECT_EQ(ReadBytes(At(dir, "開いている.dxf")), "held"); }},
    };
}

TEST(CliFiles, NamesAndFoldersAsUsersHaveThem) {
    for (const TFilesCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        const TTempFolder folder("zuka_cli_files_");
        const fs::path dir = At(folder.dir, "設計");
        fs::create_directories(dir);
        fs::copy_file(fs::path(ZUKA_SOURCE_DIR) / "examples" / "sample.dxf",
                      At(dir, "日影検討.dxf"));
        std::string skip;
        std::shared_ptr<void> hold;
        const std::string args = c.setUp(dir, skip, hold);
        if (args.empty()) {
            std::cout << "[ skipped  ] " << c.name << ": " << skip << "\n";
        } else {
            std::string out;
            EXPECT_EQ(Zuka(dir, args, out), c.status) << out;
            for (const std::string& part : c.saysAll)
                EXPECT_NE(out.find(part), std::string::npos) << part << "\n" << out;
            hold.reset();
            c.check(dir);
        }
        std::error_code ec;
        fs::permissions(At(dir, "読取専用"), fs::perms::owner_all, ec);
    }
}

}  // namespace

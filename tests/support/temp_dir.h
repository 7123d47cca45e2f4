// A fresh folder under the system's temporary folder, removed with everything in it at the end
// of the test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace zuka::testing {

class TempDir {
public:
    TempDir() {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "zuka_test_" + std::to_string(::getpid());
        if (info != nullptr)
            name += std::string("_") + info->test_suite_name() + "_" + info->name();
        path_ = std::filesystem::temp_directory_path() / name;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // A regular file `name` in the folder; a path below it can never be created, whoever runs
    // the test (root included).
    std::filesystem::path MakeFile(const std::string& name) const {
        const std::filesystem::path p = path_ / name;
        std::ofstream(p) << "not a folder\n";
        return p;
    }

private:
    std::filesystem::path path_;
};

}  // namespace zuka::testing

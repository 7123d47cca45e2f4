// A folder of a test's own under the system's temporary folder, removed when it goes.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace zuka::testing {

struct TTempFolder {
    explicit TTempFolder(const std::string& prefix)
        : dir(std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir);
    }
    ~TTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    std::filesystem::path dir;
};

}  // namespace zuka::testing

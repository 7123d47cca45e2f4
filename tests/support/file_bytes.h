// A file's bytes as they are on disk, and bytes written as given: the tests' one way to read
// and write the drawings, tables and pictures they check.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace zuka::testing {

// The whole file; empty when it cannot be read.
inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

}  // namespace zuka::testing

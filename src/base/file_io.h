// Writing a file so that a failure never leaves half a file: the bytes go to a temporary file
// beside the target, which then replaces the target by renaming.
#pragma once

#include <filesystem>
#include <string_view>

namespace zuka {

// False (and the target untouched, no temporary left) when the file cannot be written.
bool WriteFileReplacing(const std::filesystem::path& path, std::string_view bytes);

}  // namespace zuka

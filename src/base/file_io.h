// Writing a file so that a failure never leaves half a file: the bytes go to a temporary file
// beside the target, which then replaces the target by renaming.
#pragma once

#include <filesystem>
#include <string_view>

#include "base/run_context.h"

namespace zuka {

// The UTF-8 byte-order mark: text files read with or without it; CSV written with it, so that
// Japanese spreadsheets take the file as UTF-8.
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// False (and the target untouched, no temporary left) when the file cannot be written, or when
// `stop` (asked between pieces of a few megabytes and before the target is replaced) asks to
// stop.
bool WriteFileReplacing(const std::filesystem::path& path, std::string_view bytes,
                        const RunContext* stop = nullptr);

}  // namespace zuka

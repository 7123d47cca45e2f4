// Text at the boundary of the Windows window system: the program's UTF-8 text as the UTF-16
// the wide (W) calls take, and back, through the platform unit's code-page converter. The
// ANSI (A) calls are never used: they go through the system's code page, which cannot hold
// Japanese text on a system set to another language.
#pragma once

#include <string>
#include <string_view>

namespace zuka {

// UTF-16 of UTF-8 text; a malformed byte becomes U+FFFD.
std::wstring Wide(std::string_view utf8);
// UTF-8 of UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string Utf8(std::wstring_view utf16);

}  // namespace zuka

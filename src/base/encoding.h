// Text code pages. The program works in UTF-8; drawings for the CAD are read and written in
// CP932 (Shift_JIS with the Windows extensions: ～, ①, 髙 ...) unless told otherwise.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zuka {

// Strict conversions: none when the input is malformed, a character has no counterpart in the
// target code page, or the converter is unavailable.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);

struct TConvertedText {
    std::string text;
    std::size_t replaced = 0;  // characters or bytes written as the replacement
};

// Lenient conversion between any two code pages the system's converter (iconv) knows, e.g.
// "CP932", "UTF-8", "CP1252": each character that is malformed or has no counterpart is
// written as `replacement` and counted. None only when the converter is unavailable.
std::optional<TConvertedText> ConvertText(std::string_view text, const char* fromCode,
                                          const char* toCode, std::string_view replacement);

// Lenient forms of the two above: "?" for a character CP932 lacks, U+FFFD for a malformed byte.
std::optional<TConvertedText> Utf8ToCp932Lossy(std::string_view utf8);
std::optional<TConvertedText> Cp932ToUtf8Lossy(std::string_view cp932);

}  // namespace zuka

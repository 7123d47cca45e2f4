// Byte-level text helpers shared by every module: ASCII case, trimming, line splitting, UTF-8
// validity, and the one decoder of the program's own text files (settings file, city list,
// target-CAD list), which tells their encoding apart in one order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zuka {

// ASCII letters upper-cased; every other byte (UTF-8 text included) keeps its place. Block,
// layer and linetype names and ProgIDs are compared this way, as the CAD compares them.
std::string UpperAscii(std::string_view s);
char UpperAscii(char c);
char LowerAscii(char c);
// Equal when the same after UpperAscii.
bool EqualsNoCase(std::string_view a, std::string_view b);

// `s` without blanks, tabs, line ends and other control characters (bytes up to 0x20) at either
// end; such bytes never occur inside a UTF-8 multibyte character.
std::string_view TrimBlanks(std::string_view s);

// Lines ending at "\r\n" or "\n" (a lone "\r" stays in its line); a last line without a line end
// counts, an empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);

// The one reader of UTF-8 text: the character that starts at byte `at` of `s`, read strictly
// (no overlong forms, no surrogates, nothing above U+10FFFF, nothing cut off). A byte that
// starts no whole valid character reads as that byte alone, not valid.
struct TUtf8Char {
    std::uint32_t codePoint = 0;  // the byte itself when not valid
    std::size_t length = 1;       // bytes
    bool valid = false;
};
TUtf8Char ReadUtf8Char(std::string_view s, std::size_t at);

// Strict UTF-8 (as ReadUtf8Char reads it), every byte of it.
bool IsValidUtf8(std::string_view s);

// Characters of a UTF-8 text; a byte that starts no valid character counts as one.
std::size_t Utf8Characters(std::string_view s);

// The encodings a text file of the program is found in.
enum class TextEncoding { Cp932, Utf8, Utf8Bom, Utf16Le, Utf16Be };

struct TDecodedText {
    std::string text;  // UTF-8, without the byte-order mark
    TextEncoding encoding = TextEncoding::Cp932;
};

// A text file's bytes in UTF-8. A byte-order mark decides (UTF-8, UTF-16LE, UTF-16BE); without
// one, text that is valid UTF-8 is UTF-8 (pure ASCII counts as CP932, the code page the files are
// shared in), else CP932. None when the bytes are malformed in the encoding found, so that a
// file is never guessed at; with `lenient`, a malformed character becomes U+FFFD instead (for
// files that are only read).
std::optional<TDecodedText> DecodeTextFile(std::string_view bytes, bool lenient = false);

// The bytes of `text` (UTF-8) in `encoding`, with its byte-order mark; none when a character has
// no counterpart there.
std::optional<std::string> EncodeTextFile(std::string_view text, TextEncoding encoding);

}  // namespace zuka

#include "base/text.h"

#include <cstdint>
#include <utility>

#include "base/encoding.h"
#include "base/file_io.h"

namespace zuka {
namespace {

constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";  // U+FFFD

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

std::optional<std::string> Convert(std::string_view bytes, const char* from, const char* to,
                                   bool lenient) {
    std::optional<TConvertedText> r = ConvertText(bytes, from, to, kUtf8Replacement);
    if (!r || (!lenient && r->replaced > 0)) return std::nullopt;
    return std::move(r->text);
}

}  // namespace

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string UpperAscii(std::string_view s) {
    std::string u(s);
    for (char& c : u) c = UpperAscii(c);
    return u;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
    }
    return lines;
}

TUtf8Char ReadUtf8Char(std::string_view s, std::size_t at) {
    const unsigned char c = static_cast<unsigned char>(s[at]);
    TUtf8Char ch{c, 1, c < 0x80};
    if (c < 0x80) return ch;
    int more = 0;
    std::uint32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        more = 1;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        more = 2;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        more = 3;
        cp = c & 0x07;
    } else {
        return ch;
    }
    if (s.size() - at <= static_cast<std::size_t>(more)) return ch;
    for (int k = 1; k <= more; ++k) {
        const unsigned char d = static_cast<unsigned char>(s[at + static_cast<std::size_t>(k)]);
        if ((d & 0xC0) != 0x80) return ch;
        cp = (cp << 6) | (d & 0x3F);
    }
    if ((more == 2 && cp < 0x800) || (more == 3 && cp < 0x10000)) return ch;
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return ch;
    return {cp, static_cast<std::size_t>(more) + 1, true};
}

bool IsValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const TUtf8Char ch = ReadUtf8Char(s, i);
        if (!ch.valid) return false;
        i += ch.length;
    }
    return true;
}

std::size_t Utf8Characters(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); ++n) i += ReadUtf8Char(s, i).length;
    return n;
}

std::optional<TDecodedText> DecodeTextFile(std::string_view bytes, bool lenient) {
    TDecodedText out;
    std::optional<std::string> text;
    if (StartsWith(bytes, kUtf8Bom)) {
        out.encoding = TextEncoding::Utf8Bom;
        bytes.remove_prefix(kUtf8Bom.size());
        text = IsValidUtf8(bytes) ? std::optional<std::string>(bytes)
                                  : Convert(bytes, "UTF-8", "UTF-8", lenient);
    } else if (StartsWith(bytes, kUtf16LeBom)) {
        out.encoding = TextEncoding::Utf16Le;
        text = Convert(bytes.substr(kUtf16LeBom.size()), "UTF-16LE", "UTF-8", lenient);
    } else if (StartsWith(bytes, kUtf16BeBom)) {
        out.encoding = TextEncoding::Utf16Be;
        text = Convert(bytes.substr(kUtf16BeBom.size()), "UTF-16BE", "UTF-8", lenient);
    } else if (IsAscii(bytes)) {
        out.encoding = TextEncoding::Cp932;
        text = std::string(bytes);
    } else if (IsValidUtf8(bytes)) {
        out.encoding = TextEncoding::Utf8;
        text = std::string(bytes);
    } else {
        out.encoding = TextEncoding::Cp932;
        text = Convert(bytes, "CP932", "UTF-8", lenient);
    }
    if (!text) return std::nullopt;
    out.text = std::move(*text);
    return out;
}

std::optional<std::string> EncodeTextFile(std::string_view text, TextEncoding encoding) {
    std::optional<std::string> body;
    std::string_view bom;
    switch (encoding) {
        case TextEncoding::Cp932:
            body = Utf8ToCp932(text);
            break;
        case TextEncoding::Utf8:
            body = std::string(text);
            break;
        case TextEncoding::Utf8Bom:
            bom = kUtf8Bom;
            body = std::string(text);
            break;
        case TextEncoding::Utf16Le:
            bom = kUtf16LeBom;
            body = Convert(text, "UTF-8", "UTF-16LE", false);
            break;
        case TextEncoding::Utf16Be:
            bom = kUtf16BeBom;
            body = Convert(text, "UTF-8", "UTF-16BE", false);
            break;
    }
    if (!body) return std::nullopt;
    return std::string(bom) + *body;
}

}  // namespace zuka

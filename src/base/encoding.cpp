#include "base/encoding.h"

#include <strings.h>

#include <utility>

#include "base/platform.h"

namespace zuka {
namespace {

constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";  // U+FFFD

enum class SourceKind { Utf8, DoubleByteJis, SingleByte };

SourceKind KindOf(const char* code) {
    for (const char* name : {"UTF-8", "UTF8"})
        if (strcasecmp(code, name) == 0) return SourceKind::Utf8;
    for (const char* name : {"CP932", "MS932", "SHIFT_JIS", "SHIFT-JIS", "SJIS", "WINDOWS-31J"})
        if (strcasecmp(code, name) == 0) return SourceKind::DoubleByteJis;
    return SourceKind::SingleByte;
}

bool InRange(unsigned char c, unsigned lo, unsigned hi) { return c >= lo && c <= hi; }

// Bytes to pass over at a character the converter refused: the whole character when its shape
// is sound (it merely has no counterpart in the target), else one byte.
std::size_t RefusedLength(const char* p, std::size_t left, SourceKind kind) {
    const auto byte = [p](std::size_t i) { return static_cast<unsigned char>(p[i]); };
    if (kind == SourceKind::Utf8) {
        const unsigned char lead = byte(0);
        std::size_t n = 1;
        if (InRange(lead, 0xC2, 0xDF))
            n = 2;
        else if (InRange(lead, 0xE0, 0xEF))
            n = 3;
        else if (InRange(lead, 0xF0, 0xF4))
            n = 4;
        if (n > left) return 1;
        for (std::size_t i = 1; i < n; ++i)
            if (!InRange(byte(i), 0x80, 0xBF)) return 1;
        return n;
    }
    if (kind == SourceKind::DoubleByteJis && left >= 2) {
        const unsigned char lead = byte(0);
        const unsigned char trail = byte(1);
        const bool isLead = InRange(lead, 0x81, 0x9F) || InRange(lead, 0xE0, 0xFC);
        const bool isTrail = InRange(trail, 0x40, 0x7E) || InRange(trail, 0x80, 0xFC);
        if (isLead && isTrail) return 2;
    }
    return 1;
}

}  // namespace

std::optional<TConvertedText> ConvertText(std::string_view text, const char* fromCode,
                                          const char* toCode, std::string_view replacement) {
    CodePageConverter conv(fromCode, toCode);
    if (!conv.Ok()) return std::nullopt;
    const SourceKind kind = KindOf(fromCode);
    TConvertedText out;
    out.text.reserve(text.size() + text.size() / 2);
    while (!text.empty()) {
        const CodePageConverter::Step step = conv.Convert(text, out.text);
        if (step == CodePageConverter::Step::Done) break;
        if (step == CodePageConverter::Step::Failed) return std::nullopt;
        // Incomplete: the text ends inside a character; pass over the rest.
        const std::size_t skip = step == CodePageConverter::Step::Incomplete
                                     ? text.size()
                                     : RefusedLength(text.data(), text.size(), kind);
        text.remove_prefix(skip);
        out.text += replacement;
        ++out.replaced;
    }
    if (!conv.Finish(out.text)) return std::nullopt;
    return out;
}

std::optional<TConvertedText> Utf8ToCp932Lossy(std::string_view utf8) {
    return ConvertText(utf8, "UTF-8", "CP932", "?");
}

std::optional<TConvertedText> Cp932ToUtf8Lossy(std::string_view cp932) {
    return ConvertText(cp932, "CP932", "UTF-8", kUtf8Replacement);
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    std::optional<TConvertedText> r = Utf8ToCp932Lossy(utf8);
    if (!r || r->replaced > 0) return std::nullopt;
    return std::move(r->text);
}

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
    std::optional<TConvertedText> r = Cp932ToUtf8Lossy(cp932);
    if (!r || r->replaced > 0) return std::nullopt;
    return std::move(r->text);
}

}  // namespace zuka

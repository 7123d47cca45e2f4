#include "cad/encoding.h"

#include <iconv.h>
#include <strings.h>

#include <cerrno>
#include <utility>

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

class Converter {
public:
    Converter(const char* fromCode, const char* toCode) : cd_(iconv_open(toCode, fromCode)) {}
    ~Converter() {
        if (Ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t Handle() const { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

std::optional<TConvertedText> ConvertText(std::string_view text, const char* fromCode,
                                          const char* toCode, std::string_view replacement) {
    Converter conv(fromCode, toCode);
    if (!conv.Ok()) return std::nullopt;
    const SourceKind kind = KindOf(fromCode);
    TConvertedText out;
    out.text.reserve(text.size() + text.size() / 2);
    // iconv's interface takes a non-const input pointer but never writes through it.
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char chunk[4096];
    while (inLeft > 0) {
        char* outPtr = chunk;
        std::size_t outLeft = sizeof chunk;
        const std::size_t r = iconv(conv.Handle(), &in, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        out.text.append(chunk, static_cast<std::size_t>(outPtr - chunk));
        if (r != static_cast<std::size_t>(-1) || err == E2BIG) continue;
        if (err != EILSEQ && err != EINVAL) return std::nullopt;
        // EINVAL: the text ends inside a character; pass over the rest.
        const std::size_t skip = err == EINVAL ? inLeft : RefusedLength(in, inLeft, kind);
        in += skip;
        inLeft -= skip;
        out.text += replacement;
        ++out.replaced;
    }
    // A last call without input writes any pending shift state.
    char* outPtr = chunk;
    std::size_t outLeft = sizeof chunk;
    if (iconv(conv.Handle(), nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
        return std::nullopt;
    out.text.append(chunk, static_cast<std::size_t>(outPtr - chunk));
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

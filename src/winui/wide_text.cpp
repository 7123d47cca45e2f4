#include "winui/wide_text.h"

#include <algorithm>

#include "base/platform.h"

namespace zuka {
namespace {

// Converts `in` from one code page to the other, replacing what the converter refuses by
// `replacement` (already in the target code page) one input unit of `unit` bytes at a time.
std::string ConvertAll(const char* from, const char* to, std::string_view in,
                       std::string_view replacement, std::size_t unit) {
    CodePageConverter conv(from, to);
    std::string out;
    if (!conv.Ok()) return out;
    while (!in.empty()) {
        switch (conv.Convert(in, out)) {
            case CodePageConverter::Step::Done:
                break;
            case CodePageConverter::Step::Refused:
            case CodePageConverter::Step::Incomplete:
            case CodePageConverter::Step::Failed:
                out += replacement;
                in.remove_prefix(std::min(unit, in.size()));
                break;
        }
    }
    conv.Finish(out);
    return out;
}

}  // namespace

std::wstring Wide(std::string_view utf8) {
    static constexpr char kReplacement16[] = {'\xFD', '\xFF'};  // U+FFFD, little endian
    const std::string bytes =
        ConvertAll("UTF-8", "UTF-16LE", utf8, std::string_view(kReplacement16, 2), 1);
    std::wstring out(bytes.size() / 2, L'\0');
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                      (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return out;
}

std::string Utf8(std::wstring_view utf16) {
    std::string bytes;
    bytes.reserve(utf16.size() * 2);
    for (wchar_t ch : utf16) {
        bytes += static_cast<char>(static_cast<unsigned>(ch) & 0xFF);
        bytes += static_cast<char>((static_cast<unsigned>(ch) >> 8) & 0xFF);
    }
    return ConvertAll("UTF-16LE", "UTF-8", bytes, "\xEF\xBF\xBD", 2);
}

}  // namespace zuka

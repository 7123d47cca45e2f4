#include "solar/city_list.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "base/file_io.h"
#include "base/number.h"
#include "base/platform.h"

namespace zuka {
namespace {

constexpr const char* kBuiltInCities[] = {
    "基準  ,36°00′", "北海道,43°04′", "青森  ,40°49′", "岩手  ,39°42′", "宮城  ,38°16′",
    "秋田  ,39°43′", "山形  ,38°14′", "福島  ,37°45′", "茨城  ,36°22′", "栃木  ,36°34′",
    "群馬  ,36°23′", "埼玉  ,35°51′", "千葉  ,35°36′", "東京  ,35°40′", "神奈川,35°27′",
    "新潟  ,37°54′", "富山  ,36°42′", "金沢  ,36°34′", "福井  ,36°04′", "山梨  ,35°40′",
    "長野  ,36°39′", "岐阜  ,35°23′", "静岡  ,34°58′", "愛知  ,35°11′", "三重  ,34°44′",
    "滋賀  ,35°00′", "京都  ,35°01′", "大阪  ,34°41′", "兵庫  ,34°41′", "奈良  ,34°41′",
    "和歌山,34°13′", "鳥取  ,35°30′", "島根  ,35°28′", "岡山  ,34°39′", "広島  ,34°24′",
    "山口  ,34°11′", "徳島  ,34°04′", "香川  ,34°20′", "愛媛  ,33°50′", "高知  ,33°33′",
    "福岡  ,33°36′", "佐賀  ,33°15′", "長崎  ,32°44′", "熊本  ,32°47′", "大分  ,33°14′",
    "宮崎  ,31°54′", "鹿児島,31°36′", "沖縄  ,26°12′",
};

// Marks of a city item and the defaults for a part the item lacks.
constexpr char kMarkName[] = ",";
constexpr char kMarkDo[] = "°";
constexpr char kMarkHun[] = "′";
constexpr char kMarkByou[] = "″";
constexpr char kDefaultIdodo[] = "36";
constexpr char kDefaultIdohun[] = "00";
constexpr char kDefaultIdobyou[] = "00";

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int more = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= static_cast<std::size_t>(more)) return false;
        for (int k = 1; k <= more; ++k) {
            const unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((more == 2 && cp < 0x800) || (more == 3 && cp < 0x10000)) return false;
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

// Converts `bytes` from `fromCode` to UTF-8. A byte sequence the code page does not know
// becomes U+FFFD and the conversion goes on `unit` bytes later. nullopt when the system does not
// know the code page.
std::optional<std::string> ToUtf8(const std::string& bytes, const char* fromCode,
                                  std::size_t unit) {
    CodePageConverter conv(fromCode, "UTF-8");
    if (!conv.Ok()) return std::nullopt;
    std::string out;
    std::string_view in = bytes;
    while (!in.empty()) {
        if (conv.Convert(in, out) == CodePageConverter::Step::Done) break;
        // A sequence the code page does not know, or one cut off at the end.
        out += "\xEF\xBF\xBD";
        in.remove_prefix(in.size() < unit ? in.size() : unit);
    }
    return out;
}

// Splits at LF, CR LF or a lone CR; the line end after the last line starts no line.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// Blanks and control characters (bytes up to 0x20) removed at both ends.
std::string TrimBlanks(const std::string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
    return s.substr(b, e - b);
}

// Decimal text with a leading "0" when shorter than two characters.
std::string Pad2(std::int64_t v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

double NumberOrZero(const std::string& text) { return ParseDouble(text).value_or(0.0); }

}  // namespace

std::vector<std::string> BuiltInCityList() {
    return std::vector<std::string>(std::begin(kBuiltInCities), std::end(kBuiltInCities));
}

std::optional<std::vector<std::string>> LoadCityList(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;

    std::optional<std::string> text;
    if (bytes.rfind(kUtf8Bom, 0) == 0) {
        text = bytes.substr(kUtf8Bom.size());
    } else if (bytes.rfind("\xFF\xFE", 0) == 0) {
        text = ToUtf8(bytes.substr(2), "UTF-16LE", 2);
    } else if (bytes.rfind("\xFE\xFF", 0) == 0) {
        text = ToUtf8(bytes.substr(2), "UTF-16BE", 2);
    } else if (IsValidUtf8(bytes)) {
        text = bytes;
    } else {
        text = ToUtf8(bytes, "CP932", 1);
    }
    if (!text) return std::nullopt;
    return SplitLines(*text);
}

std::string ExtractBetween(const std::string& s, const std::string& e, const std::string& text) {
    if (s.empty() || e.empty()) return {};
    std::string rest = text;
    std::size_t pos = rest.find(s);
    if (pos == std::string::npos) return {};
    while (pos != std::string::npos) {
        rest.erase(0, pos + s.size());
        pos = rest.find(s);
    }
    const std::size_t p = rest.find(e);  // 0-based: the mark must not stand first
    if (p == std::string::npos || p == 0) return {};
    return TrimBlanks(rest.substr(0, p));
}

TIdoTexts ComboBox1Change(const std::string& itemText) {
    TIdoTexts t;
    t.Edit3 = ExtractBetween(kMarkName, kMarkDo, itemText);
    if (t.Edit3.empty()) t.Edit3 = kDefaultIdodo;
    t.Edit5 = ExtractBetween(kMarkDo, kMarkHun, itemText);
    if (t.Edit5.empty()) t.Edit5 = kDefaultIdohun;
    t.Edit23 = ExtractBetween(kMarkHun, kMarkByou, itemText);
    if (t.Edit23.empty()) t.Edit23 = kDefaultIdobyou;
    return t;
}

std::string DmsToDeg(const std::string& edit46, const std::string& edit47,
                     const std::string& edit48) {
    const double v =
        NumberOrZero(edit46) + NumberOrZero(edit47) / 60.0 + NumberOrZero(edit48) / 3600.0;
    return FormatFixed(v, 4);
}

TDmsTexts DegToDms(const std::string& edit49) {
    const double v = NumberOrZero(edit49);
    const double d = std::trunc(v);
    const auto m = static_cast<std::int64_t>(std::trunc((v - d) * 60.0));
    const auto s = static_cast<std::int64_t>(std::trunc((v - d - m / 60.0) * 3600.0));
    return {FormatFixed(d, 0), Pad2(m), Pad2(s)};
}

}  // namespace zuka

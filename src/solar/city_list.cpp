#include "solar/city_list.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "base/file_io.h"
#include "base/number.h"
#include "base/text.h"

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

    // Only read, never written back: a character that does not decode becomes U+FFFD.
    const std::optional<TDecodedText> text = DecodeTextFile(bytes, /*lenient=*/true);
    if (!text) return std::nullopt;
    return SplitLines(text->text);
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
    return std::string(TrimBlanks(rest.substr(0, p)));
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

#include "app/settings_table.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "app/form.h"
#include "app/ini_file.h"
#include "app/settings.h"
#include "base/assert.h"
#include "base/number.h"
#include "base/text.h"

namespace zuka {
namespace {

using K = SettingKind;

constexpr char kUnknownKey[] = "設定ファイルにないキーです: ";
constexpr char kNoNumber[] = "は数値で指定してください";
constexpr char kNoInteger[] = "は整数で指定してください";
constexpr char kOutOfRange[] = "は次の範囲で指定してください";

// Window coordinates, pixels; any screen the window may stand on.
constexpr double kWindowMax = 32767;
// Plane heights, metres: far below and above any site.
constexpr double kPlaneMax = 1000;
// Lengths on paper (radius, text, pitch), paper mm.
constexpr double kPaperMax = 10000;

constexpr TSettingInfo Real(std::string_view section, std::string_view key,
                            std::string_view label, std::string_view meaning,
                            std::string_view unit, std::string_view unitJa, double min,
                            double max, bool minOpen = false, bool maxOpen = false) {
    return {section, key, K::Real, label, meaning, unit, unitJa, min, max, minOpen, maxOpen};
}

constexpr TSettingInfo Int(std::string_view section, std::string_view key, std::string_view label,
                           std::string_view meaning, double min, double max,
                           std::string_view unit = {}, std::string_view unitJa = {}) {
    return {section, key, K::Integer, label, meaning, unit, unitJa, min, max, false, false};
}

constexpr TSettingInfo Bool(std::string_view section, std::string_view key,
                            std::string_view label, std::string_view meaning) {
    return {section, key, K::Boolean, label, meaning, {}, {}, 0, 1, false, false};
}

constexpr TSettingInfo Text(std::string_view section, std::string_view key,
                            std::string_view label, std::string_view meaning) {
    return {section, key, K::Text, label, meaning, {}, {}, 0, 0, false, false};
}

const std::vector<TSettingInfo>& Table() {
    static const std::vector<TSettingInfo> table = [] {
        std::vector<TSettingInfo> t = {
            Int("Form", "Left", "ウィンドウの位置 (左)", "left edge of the main window", -kWindowMax,
                kWindowMax, "pixels", "px"),
            Int("Form", "Top", "ウィンドウの位置 (上)", "top edge of the main window", -kWindowMax,
                kWindowMax, "pixels", "px"),
            Real("Common", "ido1", "緯度 (度)", "latitude, whole degrees", "degrees", "度", 0, 90,
                 false, true),
            Real("Common", "ido2", "緯度 (分)", "latitude, minutes", "minutes", "分", 0, 60, false,
                 true),
            Real("Common", "ido3", "緯度 (秒)", "latitude, seconds", "seconds", "秒", 0, 60, false,
                 true),
            Real("Common", "makita", "真北",
                 "drawing direction of true north, counter-clockwise from +x (90 = north up)",
                 "degrees", "度", -360, 360),
            Real("Common", "takasa", "測定面の高さ (時刻・等時間)",
                 "measurement plane of the shadow diagrams", "m", "m", -kPlaneMax, kPlaneMax),
            Real("Tokutei", "takasa", "測定面の高さ (特定点)",
                 "measurement plane of the specific points", "m", "m", -kPlaneMax, kPlaneMax),
            Real("Common", "takasa2", "文字高さ", "text height of the diagrams' labels",
                 "drawing units (mm)", "mm", 0, 1e6, true),
            Int("Common", "kisetsu", "季節",
                "day of the diagrams: 0 = 冬至 winter solstice, 1 = 秋春 equinox, 2 = 夏至 "
                "summer solstice",
                0, 2),
            Bool("Jikoku", "NotHoui", "時刻日影図に時刻のみ記入（方位角不要）",
                 "time-of-day labels show the time only, without the sun's azimuth"),
            Real("Jikoku", "kaishi", "時刻 (開始)",
                 "first time of the time-of-day diagram, start of the equal-time period", "hours",
                 "時", 0, 24),
            Real("Jikoku", "owari", "時刻 (終了)",
                 "last time of the time-of-day diagram, end of the equal-time period", "hours",
                 "時", 0, 24),
            Real("Jikoku", "kankaku", "間隔 (時刻日影図)", "time step of the time-of-day diagram",
                 "hours", "時間", 0.01, 24),
            Real("Jikoku", "keido", "経度",
                 "longitude, for the clock times shown beside true solar times", "degrees", "度",
                 -180, 180),
            Real("Jikoku", "kinjisa", "均時差",
                 "equation of time (true solar time less mean solar time), for the clock times",
                 "minutes", "分", -60, 60),
        };
        for (int i = 0; i < kToujiHourCount; ++i) {
            static const std::vector<std::string> labels = [] {
                std::vector<std::string> l;
                for (std::string_view item : kCheckListBox1Items)
                    l.push_back("等時間日影図 " + std::string(item));
                return l;
            }();
            static const std::vector<std::string> keys = [] {
                std::vector<std::string> k;
                for (int j = 0; j < kToujiHourCount; ++j) k.push_back("chk" + std::to_string(j));
                return k;
            }();
            t.push_back(Bool("Touji", keys[static_cast<std::size_t>(i)],
                             labels[static_cast<std::size_t>(i)],
                             "draw the equal-time outline of this many hours"));
        }
        const std::vector<TSettingInfo> rest = {
            Int("Touji", "kankaku", "評価時間 (特定点)",
                "evaluation step of the specific points: 0 = 10 s, 1 = 30 s, 2 = 60 s", 0, 2),
            Int("Touji", "kankaku2", "評価時間 (等時間)",
                "evaluation step of the equal-time diagram: 0 = 10 s, 1 = 30 s, 2 = 60 s", 0, 2),
            Int("Touji", "kankaku3", "評価時間 (壁面等時間)",
                "evaluation step of the wall equal-time diagram: 0 = 10 s, 1 = 30 s, 2 = 60 s", 0,
                2),
            Int("Touji", "tyokusen", "ｽﾑｰｼﾞﾝｸﾞ係数 (本数)",
                "smoothing of the equal-time outlines: points averaged", 2, 20),
            Bool("Touji", "tyokuchk", "ｽﾑｰｼﾞﾝｸﾞ係数", "smooth the equal-time outlines"),
            Int("Nini", "kankaku", "評価時間 (特定点)",
                "written from the specific points' step for the record; never read", 0, 2),
            Bool("Hekimen", "senjou", "壁線上に描く", "draw wall shadows on the wall line"),
            Bool("Hekimen", "block", "ブロックとして作成", "insert wall shadows as a block"),
            Real("Tenku", "Takasa", "測定面高さ (天空図)",
                 "measurement plane of the sky maps and sky factors", "m", "m", -kPlaneMax,
                 kPlaneMax),
            Int("Tenku", "Menseki", "求積対象",
                "method of the sky maps: 0 = AREA, 1 = 計画建物 planned building, 2 = 適合建物 "
                "conforming building",
                0, 2),
            Real("Tenku", "Hankei", "半径 (type A)", "radius of the type A sky map", "paper mm",
                 "図寸 mm", 0, kPaperMax, true),
            Bool("Tenku", "Kyuseki", "求積表 (type A)", "type A maps get the triangle-area table"),
            Real("Tenku", "Syakudo", "図面の尺度",
                 "drawing scale: drawing units per paper mm (200 for 1:200)", "", "", 0, 1e5, true),
            Real("Tenku", "Moji", "文字 (type A)", "text height on type A maps", "paper mm",
                 "図寸 mm", 0, kPaperMax, true),
            Bool("Tenku", "tateiti", "位置表 (type A)",
                 "type A maps get the building position table"),
            Real("Tenku", "HankeiB", "半径 (type B)", "radius of the type B sky map", "paper mm",
                 "図寸 mm", 0, kPaperMax, true),
            Bool("Tenku", "KyusekiB", "求積表 (type B)", "type B maps get the triangle-area table"),
            Real("Tenku", "MojiB", "文字 (type B)", "text height on type B maps", "paper mm",
                 "図寸 mm", 0, kPaperMax, true),
            Bool("Tenku", "tateitiB", "位置表 (type B)",
                 "type B maps get the building position table"),
            Bool("Tenku", "NextRow", "↓", "after drawing a row's map, select the next row"),
            Real("Tenku", "MemoriB", "目盛 (type B)",
                 "scale ticks of type B maps every so many degrees; 0 = none", "degrees", "度", 0,
                 90),
            Real("Tenku", "HatchB", "ﾊｯﾁ (type B)",
                 "hatch lines of type B maps every so many degrees; 0 = none", "degrees", "度", 0,
                 90),
            Real("Tenku", "Memori", "目盛 (type A)",
                 "scale ticks of type A maps every so many degrees; 0 = none", "degrees", "度", 0,
                 90),
            Real("Tenku", "Hatch", "ﾊｯﾁ (type A)",
                 "hatch lines of type A maps every so many degrees; 0 = none", "degrees", "度", 0,
                 90),
            Text("Layer", "Jikoku", "画層 時刻", "layer of the time-of-day shadows"),
            Text("Layer", "Touji", "画層 等時間", "layer of the equal-time shadows"),
            Text("Layer", "Hjikoku", "画層 壁面", "layer of the wall shadows"),
            Text("Layer", "Hwaku", "画層 (枠)", "layer of the wall frame"),
            Text("Layer", "Htouji", "画層 (等時)", "layer of the wall equal-time shadows"),
            Text("Layer", "Nini", "画層 特定点", "layer of the specific points"),
            Text("Layer", "Tenku", "画層 天空図", "layer of the sky maps"),
            Text("Layer", "Tmemori", "画層 (目盛)", "layer of the sky maps' scale ticks"),
            Text("Layer", "Thatch", "画層 (ﾊｯﾁ)", "layer of the sky maps' hatch"),
            Text("Layer", "Tsansya", "画層 (三斜)", "layer of the triangle-area tables"),
            Text("Layer", "Ttateiti", "画層 (位置)", "layer of the building position tables"),
            Real("Tenku", "IkkatsuA", "一括作図のXピッチ (type A)",
                 "spacing of type A batch maps along +x; 0 = no maps", "paper mm", "図寸 mm",
                 -kPaperMax, kPaperMax),
            Real("Tenku", "IkkatsuB", "一括作図のXピッチ (type B)",
                 "spacing of type B batch maps along +x; 0 = no maps", "paper mm", "図寸 mm",
                 -kPaperMax, kPaperMax),
            Bool("Tenku", "Kaiten", "天空図回転", "turn placed sky maps to the plan's north"),
            Text("Target", "ProgID", "ターゲットCAD", "automation name of the target CAD"),
            Bool("Bairitsu", "useDMS", "度、分、秒で表示",
                 "ratio table angles in degrees, minutes and seconds"),
            Bool("Bairitsu", "wdigit", "小数点以下 3 桁", "ratio table with 3 decimals"),
            Real("Tenku", "Keisuu", "検出係数", "kept, read by no computation", "", "", 0, 1000),
            Text("Layer", "Info", "画層 計算記録", "layer of the calculation record of every drawing"),
            Text("Layer", "Kisei", "画層 日影規制", "layer of the regulation check's lines and spot"),
            Text("SkyCheck", "zone", "用途地域 (天空率の判定)",
                 "zone of the sky-factor verdict: 1低, 2低, 1中高, 2中高, 田園, 1住, 2住, 準住, 近商, "
                 "商業, 準工, 工業, 工専, 無指定; empty = not chosen"),
            // Text, for empty is its own value: no FAR given, refused by name when the check starts.
            Text("SkyCheck", "far", "容積率 (天空率の判定)",
                 "designated floor-area ratio of the sky-factor verdict, percent (a number above "
                 "0); empty = not given"),
            Text("SkyCheck", "kinds", "検討する斜線 (天空率の判定)",
                 "slant lines checked: road,adjacent,north; empty = those the zone makes apply"),
            Text("SkyCheck", "roads", "道路の幅員と後退距離 (天空率の判定)",
                 "each road's width[,setback] in metres, roads separated by ';' (6;4,1); the "
                 "window asks for each road's boundary lines in this order"),
            Real("SkyCheck", "roadLevel", "道路中心からの敷地の高さ (天空率の判定)",
                 "site ground above the road centre", "m", "m", 0, 100),
            Real("SkyCheck", "margin", "安全率 (天空率の判定)",
                 "the margin the planned building's sky factor must exceed the conforming one's by "
                 "(0.02 is a common local custom)",
                 "percent points", "%", 0, 10),
            Text("SkyCheck", "corners", "端部の扱い (天空率の判定)",
                 "where the site is wider than a road frontage: 垂直 (points and conforming "
                 "building between the frontage's perpendiculars) or 沿線 (to the outermost site "
                 "point inside the application range)"),
        };
        t.insert(t.end(), rest.begin(), rest.end());
        return t;
    }();
    return table;
}

std::string Bound(double v) { return FormatGeneral(v); }

std::string KindRefusal(const TSettingInfo& s, std::string_view value, const char* what) {
    return SettingName(s) + " " + what + " (" + SettingRangeText(s) + "): " + QuotedValue(value);
}

std::string MarkdownCell(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '|') out += '\\';
        out += c;
    }
    return out;
}

std::string ReferenceRange(const TSettingInfo& s) {
    switch (s.kind) {
        case K::Text:
            return "any text";
        case K::Boolean:
            return "0 or 1";
        default:
            break;
    }
    return std::string(s.minOpen ? "above " : "") + Bound(s.min) + " to " +
           (s.maxOpen ? "below " : "") + Bound(s.max);
}

std::string KindName(SettingKind k) {
    switch (k) {
        case K::Real:
            return "number";
        case K::Integer:
            return "integer";
        case K::Boolean:
            return "Boolean";
        case K::Text:
            return "text";
    }
    return {};
}

}  // namespace

const std::vector<TSettingInfo>& SettingsTable() { return Table(); }

const TSettingInfo* FindSetting(std::string_view section, std::string_view key) {
    for (const TSettingInfo& s : Table())
        if (EqualsNoCase(s.section, section) && EqualsNoCase(s.key, key)) return &s;
    return nullptr;
}

bool InSettingRange(const TSettingInfo& s, double v) {
    if (s.kind == K::Text) return true;
    if (!std::isfinite(v)) return false;
    const bool aboveMin = s.minOpen ? v > s.min : v >= s.min;
    const bool belowMax = s.maxOpen ? v < s.max : v <= s.max;
    return aboveMin && belowMax;
}

std::string SettingRangeText(const TSettingInfo& s) {
    if (s.kind == K::Boolean) return "0 または 1";
    if (s.kind == K::Text) return {};
    std::string t;
    if (!s.minOpen && !s.maxOpen) {
        t = Bound(s.min) + " ～ " + Bound(s.max);
    } else {
        t = Bound(s.min) + (s.minOpen ? " より大きく " : " 以上 ") + Bound(s.max) +
            (s.maxOpen ? " 未満" : " 以下");
    }
    if (!s.unitJa.empty()) t += "、単位 " + std::string(s.unitJa);
    return t;
}

std::string SettingName(const TSettingInfo& s) {
    return std::string(s.label) + " (" + std::string(s.section) + "." + std::string(s.key) + ")";
}

std::string SettingName(std::string_view section, std::string_view key) {
    const TSettingInfo* s = FindSetting(section, key);
    ZUKA_ASSERT(s, "every setting a command reads is in the table");
    return SettingName(*s);
}

std::string WithoutSettingKeys(std::string_view text) {
    // Whether `inner` is a list of "Section.key" of the table, joined by ", ".
    const auto keysOnly = [](std::string_view inner) {
        if (inner.empty()) return false;
        for (;;) {
            const std::size_t comma = inner.find(", ");
            const std::string_view item = inner.substr(0, comma);
            const std::size_t dot = item.find('.');
            if (dot == std::string_view::npos ||
                !FindSetting(item.substr(0, dot), item.substr(dot + 1)))
                return false;
            if (comma == std::string_view::npos) return true;
            inner.remove_prefix(comma + 2);
        }
    };
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find(" (", at);
        if (open == std::string_view::npos) break;
        const std::size_t close = text.find(')', open);
        if (close == std::string_view::npos) break;
        out.append(text.substr(at, open - at));
        const std::string_view inner = text.substr(open + 2, close - open - 2);
        if (!keysOnly(inner)) out.append(text.substr(open, close + 1 - open));
        at = close + 1;
    }
    out.append(text.substr(std::min(at, text.size())));
    return out;
}

ConvertError NamedSetting(const ConvertError& e) {
    const std::string& field = e.Field();
    const std::size_t dot = field.find('.');
    const TSettingInfo* s = dot == std::string::npos
                                ? nullptr
                                : FindSetting(std::string_view(field).substr(0, dot),
                                              std::string_view(field).substr(dot + 1));
    if (!s) return e;
    return ConvertError(e.Text(), SettingName(*s));
}

std::string SettingRefusal(const TSettingInfo& s, std::string_view value) {
    return KindRefusal(s, value, kOutOfRange);
}

std::optional<std::string> CheckSetOption(std::string_view section, std::string_view key,
                                          std::string_view value) {
    const TSettingInfo* s = FindSetting(section, key);
    if (!s) return kUnknownKey + std::string(section) + "." + std::string(key);
    double v = 0;
    switch (s->kind) {
        case K::Text:
            return std::nullopt;
        case K::Real: {
            const std::optional<double> d = ParseDouble(value);
            if (!d) return KindRefusal(*s, value, kNoNumber);
            v = *d;
            break;
        }
        case K::Integer:
        case K::Boolean: {
            const std::optional<std::int64_t> n = ParseInteger(value);
            if (!n) return KindRefusal(*s, value, kNoInteger);
            v = static_cast<double>(*n);
            break;
        }
    }
    if (!InSettingRange(*s, v)) return SettingRefusal(*s, value);
    return std::nullopt;
}

std::string SettingsReference() {
    const IniFile defaults = SaveSettings(Form{});
    std::string md =
        "# Settings\n"
        "\n"
        "Zuka keeps the inputs of its window, the layer names and the target CAD in one settings\n"
        "file, `zuka.ini` in the work folder (see the README). It is plain INI text in UTF-8 (a\n"
        "file in CP932, the code page of Japanese Windows, is read too): a line `[Section]`, then\n"
        "lines "
        "`key=value`; sections and keys are matched without regard to case. The window reads\n"
        "the file when it opens and writes it when it closes; the command line only reads it.\n"
        "\n"
        "Kinds: a *number* is kept as typed and converted when a command starts (a text that is\n"
        "no number stops the command, naming the setting); an *integer* is decimal or\n"
        "hexadecimal after `0x`, anything else meaning the default; a *Boolean* is `1` or `0`\n"
        "(any integer other than 0 reads as true); a *text* is used as it stands.\n"
        "\n"
        "Every key can be given for one run of the command line as `--set Section.Key=Value`.\n"
        "There the value must be of its kind and within the range below, or the command stops\n"
        "with exit status 2 and a message naming the setting and its range. Values read from\n"
        "the file are used as the window would use them; a command refuses, when it starts, only\n"
        "those it cannot work with (a time outside the day, an end before the start, a step\n"
        "that would give more than 10,000 times, a latitude beyond the pole, scale ticks or\n"
        "hatch lines finer than 0.1 degrees, a season or evaluation step not chosen).\n"
        "\n"
        "This page is generated from the program's own table of settings; the tests check that\n"
        "it is current.\n";
    for (const std::string& section : defaults.Sections()) {
        md += "\n## [" + section + "]\n\n";
        md += "| key | label | meaning | kind | unit | default | range | `--set` form |\n";
        md += "|---|---|---|---|---|---|---|---|\n";
        for (const std::string& key : defaults.Keys(section)) {
            const TSettingInfo* s = FindSetting(section, key);
            if (!s) continue;
            std::string def = defaults.ReadString(section, key, "");
            if (s->section == "Form") def = "centred on the screen";
            const std::string example = s->kind == K::Text ? "TEXT" : def;
            md += "| `" + key + "` | " + MarkdownCell(s->label) + " | " + MarkdownCell(s->meaning) +
                  " | " + KindName(s->kind) + " | " + std::string(s->unit) + " | " +
                  (s->section == "Form" ? def : "`" + MarkdownCell(def) + "`") + " | " +
                  ReferenceRange(*s) + " | `--set " + section + "." + key + "=" +
                  (s->section == "Form" ? "100" : MarkdownCell(example)) + "` |\n";
        }
    }
    return md;
}

}  // namespace zuka

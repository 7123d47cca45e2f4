#include "app/readouts.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "base/number.h"
#include "base/platform.h"
#include "base/run_context.h"
#include "geom/primitives.h"

namespace zuka {

std::optional<TReadoutRows> SunReadout(Controller& c, double hour) {
    c.SetTaiyouParams();
    double azimuth = 0;
    double factor = 1;
    if (!c.sun.GetTaiyouHoui(hour, azimuth, factor)) return std::nullopt;
    const double altitude = std::atan(1 / factor) * kRadToDeg;
    double shadowDir = std::fmod(c.sun.ShadowDir(azimuth), kTwoPi);
    if (shadowDir < 0) shadowDir += kTwoPi;
    const Form& f = c.form;
    const std::size_t season =
        static_cast<std::size_t>(std::clamp(f.RadioGroup1, 0, kRadioGroup1Count - 1));
    // A calendar day (--date) stands where the season would, with its declination.
    const std::optional<TSunDate>& date = c.SunDate();
    return TReadoutRows{
        {"緯度", f.Edit3 + "°" + f.Edit5 + "′" + f.Edit23 + "″"},
        date ? std::pair<std::string, std::string>{"日付",
                                                   SunDateText(*date) + " (赤緯 " +
                                                       FormatFixed(c.sun.Sekii * kRadToDeg, 4) +
                                                       "°)"}
             : std::pair<std::string, std::string>{"季節", std::string(kRadioGroup1Items[season])},
        {"真北", f.Edit12 + "°"},
        {"時刻", JikokuToHms(hour)},
        {"太陽方位角", FormatFixed(azimuth * kRadToDeg, 4) + "°"},
        {"太陽高度", FormatFixed(altitude, 4) + "°"},
        {"影長倍率", FormatFixed(factor, 4)},
        {"影の方向", FormatFixed(shadowDir * kRadToDeg, 4) + "°"},
    };
}

std::optional<std::vector<TLineEnt>> ReadSegmentFile(const std::filesystem::path& path,
                                                     std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "ファイルを開けません: " + PathToUtf8(path);
        return std::nullopt;
    }
    std::vector<TLineEnt> segs;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string s; words >> s;) w.push_back(s);
        if (w.empty()) continue;
        double v[4];
        bool ok = w.size() == 4;
        for (std::size_t i = 0; ok && i < 4; ++i) {
            const std::optional<double> d = ParseDouble(w[i]);
            ok = d.has_value();
            if (ok) v[i] = *d;
        }
        if (!ok) {
            error = ReaderError("ファイルを読めません: ", PathToUtf8(path), lineNo,
                                "線分は x1 y1 x2 y2 の 4 つの数値で書いてください:", line);
            return std::nullopt;
        }
        TLineEnt s;
        s.st = {v[0], v[1], 0};
        s.ed = {v[2], v[3], 0};
        segs.push_back(s);
    }
    return segs;
}

TOutlineTrace TraceSegmentOutlines(Workspace& ws, std::vector<TLineEnt> segs) {
    ws.AryLine = std::move(segs);
    PrepareOutlineSegments(ws);
    TOutlineTrace t;
    t.end = TraceOutlineLoop(ws, QuietRun(), [&t](const Workspace& w) {
        std::vector<TAcadPoint>& outline = t.outlines.emplace_back();
        for (const TLineEnt& s : w.AryLine) outline.push_back(s.st);
    });
    if (t.end == OutlineLoopEnd::WalkFailed) t.leftover = ws.AryLine2.size();
    return t;
}

std::string ProgressReadout(int pos, int max, int done, double seconds) {
    if (max <= 0 || pos <= 0) return {};
    pos = std::min(pos, max);
    std::string text = std::to_string(static_cast<long long>(pos) * 100 / max) + " %";
    if (done <= 0 || seconds < 1 || pos >= max) return text;
    const long long left = std::llround(seconds * (max - pos) / done);
    text += "  残り 約 ";
    if (left >= 60) text += std::to_string(left / 60) + " 分 ";
    return text + std::to_string(left % 60) + " 秒";
}

}  // namespace zuka

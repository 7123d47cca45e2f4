#include "app/kisei_report.h"

#include <cmath>

#include "base/number.h"

namespace zuka {
namespace {

constexpr char kHolds[] = "適合";
constexpr char kFails[] = "不適合";

std::string Metres3(double mm) { return FormatFixed(mm / 1000, 3) + " m"; }

std::string At(const TAcadPoint& p) {
    return "(" + FormatFixed(p.x, 0) + ", " + FormatFixed(p.y, 0) + ")";
}

std::string LineName(std::size_t i) { return FormatGeneral(kKyoukaiDistances[i] / 1000) + " m 線"; }

}  // namespace

std::optional<TKiseiRequest> KiseiRequestOf(const std::string& hours5, const std::string& hours10,
                                            const std::string& planeM, std::string& error) {
    TKiseiRequest q;
    const struct {
        const std::string& text;
        double& hours;
        const char* name;
    } limits[] = {{hours5, q.hours5, "5 m 線の規制時間"}, {hours10, q.hours10, "10 m 線の規制時間"}};
    for (const auto& l : limits) {
        const std::optional<double> v = ParseDouble(l.text);
        if (!v || !(*v > 0)) {
            error = std::string(l.name) + "は 0 より大きい時間で指定してください: " + l.text;
            return std::nullopt;
        }
        l.hours = *v;
    }
    if (!planeM.empty()) {
        q.planeM = ParseDouble(planeM);
        if (!q.planeM) {
            error = "測定面の高さはメートルの数で指定してください: " + planeM;
            return std::nullopt;
        }
    }
    return q;
}

std::vector<std::string> KiseiReportLines(const Controller& c,
                                          const std::optional<TClockShift>& clock) {
    const TKiseiRun& k = c.LastKisei();
    std::vector<std::string> lines;
    std::string period =
        JikokuToHm(k.params.kaisi) + "～" + JikokuToHm(k.params.owari) + " (真太陽時)";
    if (clock)
        period += " 中央標準時 " + JikokuToHms(clock->Clock(k.params.kaisi)) + "～" +
                  JikokuToHms(clock->Clock(k.params.owari));
    lines.push_back("日影規制\t敷地 " + std::to_string(k.sites.sites) + "\t測定面 " +
                    FormatFixed(k.params.takasa / 1000, 1) + " m\t" + period);
    lines.push_back("メッシュ\t" + std::to_string(k.result.meshSize) + " (" +
                    FormatFixed(k.result.cell, 1) + " mm/mesh)\t評価時間 " +
                    std::to_string(k.params.stepSeconds) + " 秒");
    for (std::size_t i = 0; i < 2; ++i) {
        const TKiseiLimitResult& l = k.result.limits[i];
        std::string line = LineName(i) + "\t" + FormatFixed(l.hours, 1) + " 時間\t" +
                           (l.holds ? kHolds : kFails) + "\t";
        if (!l.tightest) {
            line += "この時間の日影はありません";
        } else if (l.tightest->clearance >= 0) {
            line += "最小余裕 " + Metres3(l.tightest->clearance) + "\t" + At(l.tightest->outline);
        } else {
            line += "最大超過 " + Metres3(-l.tightest->clearance) + "\t" + At(l.tightest->outline);
        }
        if (l.tightest) line += l.tightest->refined ? "\t厳密" : "\tメッシュ";
        lines.push_back(line);
    }
    int rays = 0;
    int points = 0;
    for (const TKiseiLimitResult& l : k.result.limits) {
        rays += l.rays;
        points += l.exactPoints;
    }
    lines.push_back(
        "精査\t線から 2 メッシュ以内の輪郭と線に最も近づく (最も越える) "
        "所は特定点の厳密な日影時間で求め直しました (" +
        std::to_string(rays) + " 本の法線上, " + std::to_string(points) + " 点)");
    for (std::size_t i = 0; i < k.headroom.size(); ++i) {
        const TKiseiBuildingRoom& b = k.headroom[i];
        std::string line = "高さの余裕\t建物 " + std::to_string(i + 1) + " " + At(b.centre) +
                           "\t高さ " + FormatFixed(b.zmaxM, 1) + " m\t";
        const std::string m = FormatFixed(b.room.metres, 1) + " m";
        if (b.room.holdsNow) {
            line += b.room.bounded ? "+" + m + " まで高くしても適合" : "+" + m + " 高くしても適合";
        } else {
            line += b.room.bounded ? m + " 下げると適合" : "この建物だけ下げても適合しません";
        }
        lines.push_back(line);
    }
    std::string verdict = "判定\t";
    if (k.result.Holds()) {
        verdict += std::string(kHolds) + ": 日影は " + FormatFixed(k.result.limits[0].hours, 1) +
                   " 時間は 5 m 線, " + FormatFixed(k.result.limits[1].hours, 1) +
                   " 時間は 10 m 線の内側に収まります．";
    } else {
        verdict += std::string(kFails) + ":";
        for (std::size_t i = 0; i < 2; ++i) {
            const TKiseiLimitResult& l = k.result.limits[i];
            if (l.holds || !l.tightest) continue;
            verdict += " " + FormatFixed(l.hours, 1) + " 時間の日影が " + LineName(i) + "を " +
                       Metres3(-l.tightest->clearance) + " 超えます．";
        }
    }
    lines.push_back(verdict);
    return lines;
}

std::vector<std::string> TokuteiClockLines(const Controller& c,
                                           const std::vector<Controller::TTokuteiExactRow>& rows,
                                           const TClockShift& clock) {
    std::vector<std::string> lines;
    lines.push_back("中央標準時 (経度 " + FormatGeneral(clock.keidoDeg) + "°, 均時差 " +
                    FormatGeneral(clock.kinjisaMin) + " 分)");
    lines.push_back("番号\t測定点\t日影区間 (中央標準時)");
    const TGridCells& g = c.form.StringGrid2;
    for (const Controller::TTokuteiExactRow& r : rows) {
        std::string line = GridCell(g, r.row, 0) + "\t" + GridCell(g, r.row, 3) + "\t";
        for (std::size_t k = 0; k + 1 < r.steppedChanges.size(); k += 2) {
            if (k > 0) line += " ";
            line += JikokuToHmsCeil5(clock.Clock(r.steppedChanges[k])) + "-" +
                    JikokuToHmsCeil5(clock.Clock(r.steppedChanges[k + 1]));
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace zuka

#include "shadow/time_of_day.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "base/number.h"
#include "geom/outline.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

constexpr char kWalkFailed[] = " 日影作成に失敗しました．";
constexpr char kStepFailed[] = "日影作成に失敗しました．";
constexpr char kOutOfRange[] =
    "次の時刻は太陽位置の計算範囲 (7:30～16:30) の外のため、日影を作成しませんでした : ";

bool HasFraction(double t) { return t - std::trunc(t) > 0; }

// One outline in AryLine as a closed POLYLINE at the plane height and its label as a TEXT.
void WriteOutline(const Workspace& ws, const TZukaParams& p, double t, double azimuth,
                  DxfList& dxf) {
    DxfWriter w(dxf);
    w.Start("POLYLINE", p.layer);
    if (HasFraction(t)) w.Add(kDxfHidden2);
    w.Add(kDxfVerticesFollow);
    w.Add(" 20\r\n0.0\r\n 30\r\n" + FormatGeneral(p.takasa));
    w.Add(kDxfClosed);
    const std::vector<TLineEnt>& ring = ws.AryLine;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const TAcadPoint v = i == 0 ? ring[0].st : ring[i - 1].ed;
        w.Start("VERTEX", p.layer).Group(10, v.x).Group(20, v.y);
    }
    w.SeqEnd();

    const TAcadPoint at = FarthestPointInDir(ws, p.kitaDeg * kPi / 180);
    std::string label = JikokuToHm(t);
    if (!p.timeOnly) label += " " + FormatFixed(azimuth * kRadToDeg, 2) + "%%d";
    w.Start("TEXT", p.layer)
        .Group(10, at.x)
        .Group(20, at.y)
        .Group(30, p.takasa)
        .Group(40, p.textHeight)
        .Group(1, label)
        .Add(" 41\r\n0.8");
}

std::string TimeList(const std::vector<double>& times) {
    std::string s;
    for (double t : times) s += (s.empty() ? "" : ", ") + JikokuToHm(t);
    return s;
}

}  // namespace

TAcadPoint ShadowPoint(TAcadPoint p, double dir, double factor, double h) {
    TAcadPoint s = p.z > h ? PolarPoint(p, dir, (p.z - h) * factor) : p;
    s.z = 0;
    return s;
}

bool FillZukaShadowLines(Workspace& ws, double dir, double factor, double h, RunContext& run) {
    std::vector<TLineEnt>& out = ws.AryLine;
    out.clear();
    auto piece = [&](TAcadPoint a, TAcadPoint b) {
        TLineEnt s;
        s.st = a;
        s.ed = b;
        out.push_back(s);
    };
    for (const TLineEnt& wall : ws.AryTatemono)
        piece({wall.st.x, wall.st.y, 0}, {wall.ed.x, wall.ed.y, 0});
    for (const TLineEnt& wall : ws.AryTatemono) {
        if (run.StopRequested()) {
            out.clear();
            return false;
        }
        run.ProcessMessages();
        const TAcadPoint sSt = ShadowPoint(wall.st, dir, factor, h);
        const TAcadPoint sEd = ShadowPoint(wall.ed, dir, factor, h);
        piece(sSt, sEd);
        piece(sSt, {wall.st.x, wall.st.y, 0});
        piece(sEd, {wall.ed.x, wall.ed.y, 0});
    }
    return true;
}

std::vector<double> ZukaTimes(double kaisi, double owari, double kankaku) {
    std::vector<double> times;
    if (!(kankaku > 0)) return times;
    for (double t = kaisi; t <= owari; t += kankaku) times.push_back(t);
    return times;
}

TZukaResult BuildZukaDiagram(Workspace& ws, const SunModel& sun, const TZukaParams& p, DxfList& dxf,
                             RunContext& run,
                             const std::function<void(const std::string&)>& message) {
    TZukaResult result;
    const std::vector<double> times = ZukaTimes(p.kaisi, p.owari, p.kankaku);
    run.SetProgressMax(static_cast<int>((p.owari - p.kaisi) / p.kankaku) + 1);
    run.SetProgressPosition(0);
    int position = 0;
    for (double t : times) {
        run.SetProgressPosition(++position);
        if (run.StopRequested()) {
            ws.AryLine.clear();
            result.stopped = true;
            break;
        }
        run.ProcessMessages();
        double azimuth = 0;
        double factor = 1;
        // Outside 7:30 to 16:30 the sun model has no position: such a time would be drawn as
        // a shadow toward due north, which is no shadow at all. It is left out and named.
        if (!sun.GetTaiyouHoui(t, azimuth, factor)) {
            result.skipped.push_back(t);
            continue;
        }
        try {
            if (!FillZukaShadowLines(ws, sun.ShadowDir(azimuth), factor, p.takasa, run)) {
                result.stopped = true;
                break;
            }
            if (!PrepareOutlineSegments(ws, nullptr, &run)) {
                result.stopped = true;
                break;
            }
            const OutlineLoopEnd end = TraceOutlineLoop(ws, run, [&](const Workspace& w) {
                WriteOutline(w, p, t, azimuth, dxf);
                ++result.outlines;
                TZukaOutline& o = result.drawn.emplace_back(TZukaOutline{t, azimuth, {}});
                for (const TLineEnt& s : w.AryLine) o.vertices.push_back(s.st);
            });
            if (end == OutlineLoopEnd::Stopped) {
                result.stopped = true;
                break;
            }
            if (end == OutlineLoopEnd::WalkFailed) message(JikokuToHmsCeil5(t) + kWalkFailed);
            ++result.times;
        } catch (const std::exception&) {
            message(kStepFailed);
            break;
        }
    }
    if (!result.skipped.empty()) message(OutOfRangeNote(result.skipped));
    return result;
}

std::string OutOfRangeNote(const std::vector<double>& times) {
    return kOutOfRange + TimeList(times);
}

bool GetZukaHani(const Workspace& ws, const SunModel& sun, double kaisi, double owari, double h,
                 double& xmin, double& ymin, double& xmax, double& ymax) {
    if (ws.AryTatemono.empty()) return false;
    double x0 = ws.AryTatemono[0].st.x;
    double y0 = ws.AryTatemono[0].st.y;
    double x1 = x0;
    double y1 = y0;
    auto extend = [&](TAcadPoint q) {
        x0 = std::min(x0, q.x);
        y0 = std::min(y0, q.y);
        x1 = std::max(x1, q.x);
        y1 = std::max(y1, q.y);
    };
    for (double t = kaisi; t <= owari; t += 1) {
        double azimuth = 0;
        double factor = 1;
        // Hours without a sun position extend the box by the buildings only, as the diagram
        // draws no shadow for them.
        const bool sunUp = sun.GetTaiyouHoui(t, azimuth, factor);
        const double dir = sun.ShadowDir(azimuth);
        for (const TLineEnt& wall : ws.AryTatemono) {
            extend(wall.st);
            extend(wall.ed);
            if (!sunUp) continue;
            if (wall.st.z > h) extend(PolarPoint(wall.st, dir, (wall.st.z - h) * factor));
            if (wall.ed.z > h) extend(PolarPoint(wall.ed, dir, (wall.ed.z - h) * factor));
        }
    }
    xmin = x0;
    ymin = y0;
    xmax = x1;
    ymax = y1;
    return true;
}

}  // namespace zuka

#include "shadow/equal_time.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "base/number.h"
#include "geom/acquisition.h"
#include "geom/primitives.h"
#include "shadow/time_of_day.h"
#include "shadow/touji_contour.h"

namespace zuka {
namespace {

constexpr char kEdgeTitle[] = "Zuka";
constexpr char kEdgeText[] = " 時刻範囲を超えているため、作成しません．(1) ";
constexpr char kNoSun[] =
    "評価時間のうち太陽位置の計算範囲 (7:30～16:30) の外の時刻は日影に数えません : ";

void WriteOutline(DxfList& dxf, const TToujiParams& p, int item,
                  const std::vector<TAcadPoint>& v) {
    const int colour = ToujiColour(item);
    DxfWriter w(dxf);
    w.Start("POLYLINE", p.layer).Group(62, colour).Add(kDxfVerticesFollow);
    w.Add(" 20\r\n0.0\r\n 30\r\n" + FormatGeneral(p.takasa)).Add(kDxfClosed);
    for (const TAcadPoint& q : v) w.Start("VERTEX", p.layer).Group(10, q.x).Group(20, q.y);
    w.SeqEnd();
    const TAcadPoint at = ToujiLabelPoint(v, p.kitaDeg);
    w.Start("TEXT", p.layer)
        .Group(62, colour)
        .Group(10, at.x)
        .Group(20, at.y)
        .Group(40, p.textHeight)
        .Group(1, ToujiCaption(item))
        .Add(" 41\r\n0.8");
}

}  // namespace

std::string ToujiElapsed(std::chrono::steady_clock::time_point since) {
    const long s = static_cast<long>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - since)
            .count());
    return FormatInt(s / 3600, 2) + ":" + FormatInt(s / 60 % 60, 2) + ":" + FormatInt(s % 60, 2);
}

void ToujiSamplingRun::SetProgressPosition(int pos) {
    outer_.SetProgressPosition(pos);
    if (status_ && pos >= 2)
        status_("時刻：" + JikokuToHm(kaisi_ + static_cast<double>(step_) * (pos - 1) / 3600));
}

std::string TimeRanges(const std::vector<double>& times) {
    if (times.empty()) return {};
    std::string s;
    std::size_t i = 0;
    while (i < times.size()) {
        std::size_t j = i;
        // Consecutive samples run together; a gap starts a new range.
        while (j + 1 < times.size() && times[j + 1] - times[j] < 0.5) ++j;
        if (!s.empty()) s += ", ";
        s += JikokuToHms(times[i]) + "～" + JikokuToHms(times[j]);
        i = j + 1;
    }
    return s;
}

std::string NoSunNote(const std::vector<double>& times) { return kNoSun + TimeRanges(times); }

std::string ToujiCaption(int item) { return FormatFixed(ToujiHours(item), 1) + "Hr"; }

double ToujiHours(int item) { return 1.5 + 0.5 * item; }

int ToujiColour(int item) { return item % 5 + 2; }

int ToujiMeshSize(const TToujiParams& p) {
    const bool chosen = p.hyoukaIdx >= 0 && p.hyoukaIdx < 4;
    return p.meshSizes[chosen ? static_cast<std::size_t>(p.hyoukaIdx) : 3];
}

int ToujiStepSeconds(const TToujiParams& p) {
    const bool chosen = p.hyoukaIdx >= 0 && p.hyoukaIdx < 4;
    int s = p.hyoukaTimes[chosen ? static_cast<std::size_t>(p.hyoukaIdx) : 3];
    if (p.tenth) s /= 10;
    return std::max(s, 1);
}

std::vector<double> ToujiSampleTimes(double kaisi, double owari, int stepSeconds) {
    std::vector<double> times;
    // Whole steps in the period, counted in seconds so that no rounding loses the last one.
    const double m = std::trunc((owari - kaisi) * 3600 / stepSeconds + 1e-9);
    for (long i = 1; i < static_cast<long>(m); ++i)
        times.push_back(kaisi + static_cast<double>(stepSeconds) * static_cast<double>(i) / 3600);
    return times;
}

double ToujiThreshold(double hours, double period, int stepSeconds) {
    double threshold = hours * 3600 / stepSeconds;
    if (hours >= period) threshold -= 1;
    return threshold;
}

void MakeShadowQuads(const std::vector<TLineEnt>& walls, double dir, double factor, double h,
                     std::vector<TShadowQuad>& quads) {
    quads.clear();
    // ShadowPoint for every wall, with the direction's cosine and sine taken once: the unit
    // step of PolarPoint in that direction, so each point comes out exactly as ShadowPoint
    // gives it.
    const TAcadPoint unit = PolarPoint({0, 0, 0}, dir, 1);
    auto shadow = [&](const TAcadPoint& p) -> TAcadPoint {
        if (!(p.z > h)) return {p.x, p.y, 0};
        const double d = (p.z - h) * factor;
        return {p.x + d * unit.x, p.y + d * unit.y, 0};
    };
    for (const TLineEnt& w : walls) {
        if (!WallStands(w, h)) continue;
        const TAcadPoint footSt{w.st.x, w.st.y, 0};
        const TAcadPoint footEd{w.ed.x, w.ed.y, 0};
        quads.push_back({footSt, footEd, shadow(w.ed), shadow(w.st)});
    }
}

int AccumulateTouji(const Workspace& ws, const SunModel& sun, double kaisi, double owari,
                    int stepSeconds, double h, const TToujiMesh& mesh, ToujiGrid& grid,
                    RunContext& run, ToujiCounting how, std::vector<double>* skipped) {
    const ToujiInstantQuads pieces = [&ws, h](double dir, double factor,
                                              std::vector<TShadowQuad>& quads) {
        MakeShadowQuads(ws.AryTatemono, dir, factor, h, quads);
    };
    return AccumulateTouji(sun, kaisi, owari, stepSeconds, pieces, mesh, grid, run, how, skipped);
}

int AccumulateTouji(const SunModel& sun, double kaisi, double owari, int stepSeconds,
                    const ToujiInstantQuads& pieces, const TToujiMesh& mesh, ToujiGrid& grid,
                    RunContext& run, ToujiCounting how, std::vector<double>* skipped) {
    grid.Reset(mesh.n);
    const std::vector<double> times = ToujiSampleTimes(kaisi, owari, stepSeconds);
    run.SetProgressMax(static_cast<int>(times.size()) + 1);
    int done = 0;
    if (how == ToujiCounting::Mask) {
        std::vector<TShadowQuad> quads;
        for (std::size_t i = 0; i < times.size(); ++i) {
            run.SetProgressPosition(static_cast<int>(i) + 2);
            run.ProcessMessages();
            if (run.StopRequested()) break;
            double azimuth = 0;
            double factor = 1;
            if (!sun.GetTaiyouHoui(times[i], azimuth, factor)) {
                if (skipped) skipped->push_back(times[i]);
                continue;
            }
            pieces(sun.ShadowDir(azimuth), factor, quads);
            grid.PaintToujiMask(quads, mesh);
            ++done;
        }
        grid.FinishSamples();
        return done;
    }
    // Spans: the samples go to the grid in batches that its threads share; the run is asked
    // to stop, and shown the progress, before each batch (a batch takes a fraction of a
    // second even on the finest mesh and step).
    // As many samples a batch as the pieces of one instant allow (see SamplesPerBatch).
    std::size_t perSample = 0;
    for (const double t : times) {
        double azimuth = 0;
        double factor = 1;
        if (!sun.GetTaiyouHoui(t, azimuth, factor)) continue;
        std::vector<TShadowQuad> probe;
        pieces(sun.ShadowDir(azimuth), factor, probe);
        perSample = probe.size();
        break;
    }
    const int kBatch = ToujiGrid::SamplesPerBatch(perSample);
    std::vector<double> dirs(static_cast<std::size_t>(kBatch));
    std::vector<double> factors(static_cast<std::size_t>(kBatch));
    const ToujiQuadMaker make = [&](int k, std::vector<TShadowQuad>& quads) {
        const auto at = static_cast<std::size_t>(k);
        pieces(dirs[at], factors[at], quads);
    };
    std::size_t i = 0;
    while (i < times.size()) {
        run.SetProgressPosition(static_cast<int>(i) + 2);
        run.ProcessMessages();
        if (run.StopRequested()) break;
        int count = 0;
        for (; i < times.size() && count < kBatch; ++i) {
            double azimuth = 0;
            double factor = 1;
            if (!sun.GetTaiyouHoui(times[i], azimuth, factor)) {
                if (skipped) skipped->push_back(times[i]);
                continue;
            }
            dirs[static_cast<std::size_t>(count)] = sun.ShadowDir(azimuth);
            factors[static_cast<std::size_t>(count)] = factor;
            ++count;
        }
        grid.AddSamples(count, mesh, make, &run);
        done += count;
    }
    grid.FinishSamples();
    return done;
}

TToujiExtent GetToujiHani(const Workspace& ws, const SunModel& sun, const TToujiParams& p,
                          ToujiGrid& grid, RunContext& run) {
    constexpr int kN = 480;
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    if (!GetZukaHani(ws, sun, p.kaisi, p.owari, p.takasa, xmin, ymin, xmax, ymax)) return {};
    xmin -= 0.025 * (xmax - xmin);
    ymin -= 0.025 * (ymax - ymin);
    xmax += 0.0244 * (xmax - xmin);
    ymax += 0.0244 * (ymax - ymin);
    const double cell = (xmax - xmin > ymax - ymin ? xmax - xmin : ymax - ymin) / kN;
    double h0 = 1.5;
    for (int i = 0; i < kToujiItemCount; ++i) {
        if (p.hours[static_cast<std::size_t>(i)]) {
            h0 = ToujiHours(i);
            break;
        }
    }
    const TToujiMesh mesh{xmin, ymin, cell, kN};
    StopOnlyRun prePass(run);
    AccumulateTouji(ws, sun, p.kaisi, p.owari, 120, p.takasa, mesh, grid, prePass);
    run.ProcessMessages();
    return ReachedExtent(grid, mesh, h0 * 60 / 2);
}

TToujiExtent ReachedExtent(const ToujiGrid& grid, const TToujiMesh& coarse, double threshold) {
    const int n = coarse.n;
    int c0 = n - 1, r0 = n - 1, c1 = 0, r1 = 0;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            if (grid.At(c, r) >= threshold - 0.00001) {
                c0 = std::min(c0, c);
                c1 = std::max(c1, c);
                r0 = std::min(r0, r);
                r1 = std::max(r1, r);
            }
        }
    }
    TToujiExtent e;
    e.txmin = coarse.x0 + coarse.cell * (c0 - 10);
    e.txmax = coarse.x0 + coarse.cell * (c1 + 10);
    e.tymin = coarse.y0 + coarse.cell * (n - r1 - 11);
    e.tymax = coarse.y0 + coarse.cell * (n - r0 + 9);
    return e;
}

TToujiResult BuildToujiDiagram(const Workspace& ws, const SunModel& sun, const TToujiParams& p,
                               ToujiGrid& grid, DxfList& dxf, RunContext& run,
                               const TToujiUi& ui) {
    TToujiResult result;
    const auto started = std::chrono::steady_clock::now();
    const TToujiExtent e = GetToujiHani(ws, sun, p, grid, run);
    if (run.StopRequested()) {
        result.stopped = true;
        return result;
    }
    const int n = ToujiMeshSize(p);
    const int s = ToujiStepSeconds(p);
    result.meshSize = n;
    result.mesh = std::max(e.txmax - e.txmin, e.tymax - e.tymin) / n;
    if (!(result.mesh > 0)) return result;  // no cell reaches the shortest hour: nothing to draw
    const TToujiMesh mesh{e.txmin, e.tymin, result.mesh, n};

    // Accumulation, with the clock time of each sample on the progress label.
    ToujiSamplingRun sampling(run, ui.status, p.kaisi, s);
    result.samples = AccumulateTouji(ws, sun, p.kaisi, p.owari, s, p.takasa, mesh, grid, sampling,
                                     ToujiCounting::Spans, &result.skipped);
    run.SetProgressPosition(0);
    if (run.StopRequested()) {
        result.stopped = true;
        return result;
    }
    if (ui.status) ui.status("経過時間：" + ToujiElapsed(started));
    if (!result.skipped.empty() && ui.message)
        ui.message(ui.title, NoSunNote(result.skipped));

    // Contours, longest hours first.
    run.SetProgressMax(kToujiItemCount);
    for (int k = 0; k < kToujiItemCount; ++k) {
        const int item = kToujiItemCount - 1 - k;
        run.SetProgressPosition(k + 1);
        if (run.StopRequested()) {
            result.stopped = true;
            break;
        }
        if (!p.hours[static_cast<std::size_t>(item)]) continue;
        const std::string caption = ToujiCaption(item);
        if (ui.status) ui.status("等時間：" + caption);
        run.ProcessMessages();
        const double hours = ToujiHours(item);
        const double threshold = ToujiThreshold(hours, p.owari - p.kaisi, s);
        TContourResult traced = TraceToujiOutlines(grid, mesh, threshold, run);
        if (traced.stopped) {
            result.stopped = true;
            break;
        }
        for (std::vector<TAcadPoint>& v : traced.outlines) {
            if (p.smoothing && static_cast<int>(v.size()) > p.smoothK + 2)
                v = SmoothOutline(v, p.smoothK);
            if (v.size() < 2) continue;
            WriteOutline(dxf, p, item, v);
            ++result.outlines;
            result.drawn.push_back({item, v});
        }
        if (traced.reachedEdge && ui.message)
            ui.message(kEdgeTitle, "等時間：" + caption + kEdgeText);
        if (ui.status) ui.status("経過時間：" + ToujiElapsed(started));
    }
    run.SetProgressPosition(0);
    if (result.stopped || result.outlines == 0) return result;
    if (ui.status) ui.status("所要時間 : " + ToujiElapsed(started));
    DxfWriter(dxf)
        .Start("TEXT", p.layer)
        .Group(10, e.txmin)
        .Group(20, e.tymin)
        .Group(40, p.textHeight)
        .Group(1, FormatFixed(result.mesh, 1) + " mm/mesh")
        .Add(" 41\r\n0.8");
    return result;
}

}  // namespace zuka

// Sky factors of measurement points (再計算).
//
// BM_RecalcExamplePoints: the 再計算 command on fifty points around the example drawing's
// buildings (examples/sample.dxf, layer 建物), as a user runs it along the site boundary: every
// point projected, traced and measured by inscribed triangles, the CAD's area of the outline
// (through the embedded drawing host) and circumscribed triangles. One iteration is all fifty.
//
// BM_SkyOutlinesFiledVersusPlain: the outline pipeline of the same fifty maps run by the
// filed passes (geom/outline.h) and by the plain passes that compare every segment with every
// other (plain_passes.h), in the same run: their times, the speed-up and the number of maps
// whose outlines differ (it fails unless that is 0).
//
// BM_SkyPassesVersusPlain: the projection's two passes over a city block (district.h) of 40 to
// 400 buildings seen from a point south of it, by the filed passes (sky/sky_map.h) and by the
// plain ones that compare every pair (plain_sky.h), in the same run: the repeats among the
// edges the projection files and the horizon's pair of points farthest apart. Times, speed-up
// and whether the answers differ (it fails unless they are the same).
//
// BM_SkyFactorVersusEdges: one point south of a district (district.h) of 1 to 40 buildings, to
// show how the cost of one point grows with the number of building edges (counter `walls`).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "app/controller.h"
#include "app/ui_host.h"
#include "cad/host/drawing_host.h"
#include "cad/interaction.h"
#include "district.h"
#include "plain_passes.h"
#include "plain_sky.h"
#include "sky/outline_factor.h"
#include "sky/sky_map.h"

namespace zuka::bench {
namespace {

constexpr int kPoints = 50;

// The example drawing open in the host with its buildings acquired and fifty measurement points
// in the grid: on a rectangle 6 m outside the buildings' plan extent, evenly around.
struct ExampleRecalc {
    ScriptedInteraction picks;
    DrawingHost host{&picks};
    HostConnector connector{host};
    RecordingUiHost ui;
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "zuka_sky_bench";
    Controller c{ui, dir};

    bool Open(std::string& error) {
        std::filesystem::create_directories(dir);
        if (!host.Load(std::filesystem::path(ZUKA_SOURCE_DIR) / "examples" / "sample.dxf", error))
            return false;
        c.FormCreate(IniFile{});
        c.SetCadConnector(&connector);
        picks.PushSelection("layer=建物");
        c.Button2Click();
        if (c.ws.AryTatemono.empty()) {
            error = "no buildings acquired";
            return false;
        }
        double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
        for (const TLineEnt& w : c.ws.AryTatemono) {
            for (const TAcadPoint& p : {w.st, w.ed}) {
                x0 = std::min(x0, p.x);
                y0 = std::min(y0, p.y);
                x1 = std::max(x1, p.x);
                y1 = std::max(y1, p.y);
            }
        }
        x0 -= 6000;
        y0 -= 6000;
        x1 += 6000;
        y1 += 6000;
        const double w = x1 - x0;
        const double h = y1 - y0;
        const double perimeter = 2 * (w + h);
        TGridCells& g = c.form.StringGrid1;
        g.resize(1);
        for (int i = 0; i < kPoints; ++i) {
            double s = perimeter * i / kPoints;
            double x = 0;
            double y = 0;
            if (s < w) {
                x = x0 + s, y = y0;
            } else if ((s -= w) < h) {
                x = x1, y = y0 + s;
            } else if ((s -= h) < w) {
                x = x1 - s, y = y1;
            } else {
                x = x0, y = y1 - (s - w);
            }
            g.push_back({std::to_string(i + 1), std::to_string(x), std::to_string(y),
                         std::to_string(i + 1), "0", "", "", ""});
        }
        return true;
    }
};

void BM_RecalcExamplePoints(benchmark::State& state) {
    ExampleRecalc r;
    std::string error;
    if (!r.Open(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        r.c.Button9Click();
        benchmark::DoNotOptimize(r.c.form.StringGrid1);
    }
    int filled = 0;
    for (std::size_t i = 1; i < r.c.form.StringGrid1.size(); ++i)
        filled += !r.c.form.StringGrid1[i][5].empty();
    if (filled != kPoints) state.SkipWithError("a point got no sky factors");
    state.counters["points"] = kPoints;
    state.counters["walls"] = static_cast<double>(r.c.ws.AryTatemono.size());
    std::filesystem::remove_all(r.dir);
}
BENCHMARK(BM_RecalcExamplePoints)->Unit(benchmark::kMillisecond)->Iterations(3);

bool SameOutline(const std::vector<TLineEnt>& a, const std::vector<TLineEnt>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].st.x != b[i].st.x || a[i].st.y != b[i].st.y || a[i].ed.x != b[i].ed.x ||
            a[i].ed.y != b[i].ed.y)
            return false;
    }
    return true;
}

void BM_SkyOutlinesFiledVersusPlain(benchmark::State& state) {
    ExampleRecalc r;
    std::string error;
    if (!r.Open(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    // The projected segments of every point's map (type B, radius 100 mm, scale 1:100).
    std::vector<std::vector<TLineEnt>> soups;
    for (std::size_t i = 1; i < r.c.form.StringGrid1.size(); ++i) {
        const std::vector<std::string>& row = r.c.form.StringGrid1[i];
        Workspace ws;
        const TAcadPoint p{std::stod(row[1]), std::stod(row[2]), 0};
        ProjectTenkuzu(r.c.ws.AryTatemono, p, 0, 10000, 0, ws, nullptr);
        soups.push_back(ws.AryLine);
    }
    using Clock = std::chrono::steady_clock;
    double filedSeconds = 0;
    double plainSeconds = 0;
    int differ = 0;
    for (auto _ : state) {
        differ = 0;
        for (const std::vector<TLineEnt>& soup : soups) {
            Workspace filed;
            filed.AryLine = soup;
            const auto t0 = Clock::now();
            const bool filedOk = TraceTenkuOutline(filed);
            const auto t1 = Clock::now();
            Workspace plain;
            plain.AryLine = soup;
            MergeCollinearLines(plain, false);
            plain::SplitAtIntersections(plain);
            plain::RemoveDupLines(plain);
            GetMinCorner(plain);
            plain.OutlinePrevPt = plain.OutlineMinPt;
            plain.OutlinePrevPt.y -= 1000;
            plain.OutlineStartPt = FindStartPoint(plain);
            const bool plainOk = plain::TraceOutline(plain);
            const auto t2 = Clock::now();
            filedSeconds += std::chrono::duration<double>(t1 - t0).count();
            plainSeconds += std::chrono::duration<double>(t2 - t1).count();
            if (filedOk != plainOk || !SameOutline(filed.AryLine, plain.AryLine)) ++differ;
        }
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["filed_s"] = filedSeconds / runs;
    state.counters["plain_s"] = plainSeconds / runs;
    state.counters["speedup"] = plainSeconds / filedSeconds;
    state.counters["differ"] = differ;
    if (differ != 0) state.SkipWithError("the filed passes traced a different outline");
    std::filesystem::remove_all(r.dir);
}
BENCHMARK(BM_SkyOutlinesFiledVersusPlain)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_SkyPassesVersusPlain(benchmark::State& state) {
    const std::vector<TLineEnt> walls = CityBlock(static_cast<int>(state.range(0)));
    double x0 = 1e300;
    double x1 = -1e300;
    double y0 = 1e300;
    for (const TLineEnt& w : walls) {
        x0 = std::min({x0, w.st.x, w.ed.x});
        x1 = std::max({x1, w.st.x, w.ed.x});
        y0 = std::min({y0, w.st.y, w.ed.y});
    }
    const std::vector<TLineEnt> edges = EdgeSoup(walls, 0);
    const std::vector<TAcadPoint> horizon = Horizon(walls, {(x0 + x1) / 2, y0 - 10000, 0}, 10000);
    using Clock = std::chrono::steady_clock;
    double filedSeconds = 0;
    double plainSeconds = 0;
    bool differ = false;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const std::vector<bool> repeats = RepeatedLines(edges);
        const auto pair = FarthestApart(horizon);
        const auto t1 = Clock::now();
        const std::vector<bool> plainRepeats = plain::RepeatedLines(edges);
        const auto plainPair = plain::FarthestApart(horizon);
        const auto t2 = Clock::now();
        filedSeconds += std::chrono::duration<double>(t1 - t0).count();
        plainSeconds += std::chrono::duration<double>(t2 - t1).count();
        differ = differ || repeats != plainRepeats || pair != plainPair;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["walls"] = static_cast<double>(walls.size());
    state.counters["filed_ms"] = filedSeconds / runs * 1000;
    state.counters["plain_ms"] = plainSeconds / runs * 1000;
    state.counters["speedup"] = plainSeconds / filedSeconds;
    state.counters["differ"] = differ ? 1 : 0;
    if (differ) state.SkipWithError("the filed passes gave other answers");
}
BENCHMARK(BM_SkyPassesVersusPlain)
    ->ArgName("buildings")
    ->Arg(40)
    ->Arg(400)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_SkyFactorVersusEdges(benchmark::State& state) {
    Workspace ws;
    ws.AryTatemono = District(static_cast<int>(state.range(0)));
    TTenkuRituParams p;
    p.point = {150000, 5000, 0};  // south of the district's first row
    p.radius = 100;
    p.scale = 100;
    for (auto _ : state) {
        double naisetu = 0;
        double gaisetu = 0;
        double areacmd = 0;
        const bool ok =
            GetTenkuLine(ws, p) && GetTenkuRitu(ws, p, naisetu, gaisetu, areacmd, PolygonArea);
        if (!ok) state.SkipWithError("no sky factors");
        benchmark::DoNotOptimize(naisetu);
    }
    state.counters["walls"] = static_cast<double>(ws.AryTatemono.size());
}
BENCHMARK(BM_SkyFactorVersusEdges)
    ->Arg(1)
    ->Arg(5)
    ->Arg(10)
    ->Arg(20)
    ->Arg(40)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zuka::bench

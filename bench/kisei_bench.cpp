// The regulation check on the town block of district.h: its site the block's extent widened by
// 10 m, limits 5 h at the 5 m line and 3 h at the 10 m line, on the finest mesh (2000 cells,
// 10 s). Compare with BM_EqualTimeDiagram/district:0/step_s:10 of the same run, the equal-time
// diagram of every hour on the same mesh: the check traces two hours only, but solves the
// outline again from exact shadow hours wherever it comes near or beyond its line.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "district.h"
#include "shadow/kisei.h"
#include "sky/kyoukaisen.h"

namespace zuka::bench {
namespace {

std::array<TKiseiLimit, 2> DistrictLimits(const std::vector<TLineEnt>& walls) {
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (const TLineEnt& w : walls) {
        x0 = std::min({x0, w.st.x, w.ed.x});
        y0 = std::min({y0, w.st.y, w.ed.y});
        x1 = std::max({x1, w.st.x, w.ed.x});
        y1 = std::max({y1, w.st.y, w.ed.y});
    }
    const double m = 10000;
    const TAcadPoint c[4] = {
        {x0 - m, y0 - m, 0}, {x1 + m, y0 - m, 0}, {x1 + m, y1 + m, 0}, {x0 - m, y1 + m, 0}};
    std::vector<TLineEnt> site(4);
    for (int i = 0; i < 4; ++i) {
        site[static_cast<std::size_t>(i)].st = c[i];
        site[static_cast<std::size_t>(i)].ed = c[(i + 1) % 4];
    }
    Workspace ws;
    std::array<TKiseiLimit, 2> limits{TKiseiLimit{5, {}}, TKiseiLimit{3, {}}};
    for (std::size_t j = 0; j < 2; ++j)
        limits[j].lines.push_back(KyoukaiPolygon(KyoukaiLine(site, kKyoukaiDistances[j], ws), 1));
    return limits;
}

void BM_KiseiCheck(benchmark::State& state) {
    const std::vector<TLineEnt> walls = District();
    const SunModel sun = WinterSun();
    const std::array<TKiseiLimit, 2> limits = DistrictLimits(walls);
    const TKiseiParams p{8, 16, 4000, 10, 2000};
    ToujiGrid grid;
    TKiseiResult r;
    for (auto _ : state) {
        r = CheckKisei(walls, sun, limits, p, grid, QuietRun());
        benchmark::DoNotOptimize(r.samples);
    }
    state.counters["holds"] = r.Holds() ? 1 : 0;
    state.counters["rays"] = r.limits[0].rays + r.limits[1].rays;
    state.counters["exact_points"] = r.limits[0].exactPoints + r.limits[1].exactPoints;
    for (std::size_t i = 0; i < 2; ++i)
        if (r.limits[i].tightest)
            state.counters[i == 0 ? "clearance5_m" : "clearance10_m"] =
                r.limits[i].tightest->clearance / 1000;
}
BENCHMARK(BM_KiseiCheck)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zuka::bench

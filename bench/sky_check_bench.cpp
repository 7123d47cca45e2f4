// BM_SkyCheckDistrict: the sky-factor verdict (CheckSkyFactor) for a site whose north row has
// 40 points, the planned "building" a city block of 40 buildings (district.h) north of them:
// points, conforming building, exact and triangle sky factors of both buildings at every point.
// BM_SkyFactorsOfTheSamePoints: the recalculation's sky factors (GetTenkuLine, GetTenkuRitu)
// of the same 40 points on the same block, for comparison.
#include <benchmark/benchmark.h>

#include <vector>

#include "district.h"
#include "sky/outline_factor.h"
#include "sky/sky_check.h"

namespace zuka::bench {
namespace {

// A 39 m wide site south of the block, its north side 20 m south of it: in 1低 the north row
// lies 4 m north of that side, 40 points 1 m apart.
TSkyCheckInput DistrictCheck() {
    TSkyCheckInput in;
    in.site = {{78000, -60000, 0}, {117000, -60000, 0}, {117000, -20000, 0}, {78000, -20000, 0}};
    in.zone = *FindSkyZone("1低");
    in.kinds = {SkyKind::North};
    in.planned = CityBlock(40);
    return in;
}

void BM_SkyCheckDistrict(benchmark::State& state) {
    const TSkyCheckInput in = DistrictCheck();
    std::size_t points = 0;
    for (auto _ : state) {
        const TSkyCheckResult r = CheckSkyFactor(in);
        points = r.rows.size();
        benchmark::DoNotOptimize(r.rows.data());
    }
    state.counters["points"] = static_cast<double>(points);
    state.counters["walls"] = static_cast<double>(in.planned.size());
}
BENCHMARK(BM_SkyCheckDistrict)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SkyFactorsOfTheSamePoints(benchmark::State& state) {
    const TSkyCheckInput in = DistrictCheck();
    Workspace ws;
    ws.AryTatemono = in.planned;
    for (auto _ : state) {
        for (int k = 0; k <= 39; ++k) {
            TTenkuRituParams p;
            p.point = {78000.0 + 1000.0 * k, -16000, 0};
            p.radius = 100;
            p.scale = 100;
            double naisetu = 0, gaisetu = 0, areacmd = 0;
            if (GetTenkuLine(ws, p)) GetTenkuRitu(ws, p, naisetu, gaisetu, areacmd, PolygonArea);
            benchmark::DoNotOptimize(naisetu);
        }
    }
    state.counters["points"] = 40;
}
BENCHMARK(BM_SkyFactorsOfTheSamePoints)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace zuka::bench

// Wall equal-time shadows on the town block of district.h: a wall 50 m long standing 6 m or
// more north of the first row of buildings, at the finest step (10 s, 2000 cells a side).
// BM_WallEqualTime times the whole stage (pre-pass, accumulation, the outlines of 8 .. 1 hours)
// and, in the same run, the accumulation alone by both counting methods: painting each
// instant's pieces into the 1-bit mask and counting its black cells, and counting the shaded
// runs by their ends. It reports the times, the ratio of the mask accumulation to the whole
// stage and to the span accumulation, and the counters in which the two methods differ (it
// fails unless that is 0).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "district.h"
#include "shadow/kabe.h"

namespace zuka::bench {
namespace {

void BM_WallEqualTime(benchmark::State& state) {
    const std::vector<TLineEnt> district = District();
    double gbzmax = 0;
    for (const TLineEnt& s : district) gbzmax = std::max({gbzmax, s.st.z, s.ed.z});
    TLineEnt line;
    line.st = {60000, 56000, 0};
    line.ed = {110000, 56000, 0};
    const TLineEnt kabe = *MakeKabeSen(line, district, gbzmax);
    const SunModel sun = WinterSun();
    TKabeParams p;
    p.hyoukaIdx = 0;  // 10 s, 2000 cells

    ToujiGrid grid;
    ToujiGrid mask;
    ToujiGrid spans;
    double stageSeconds = 0;
    double maskSeconds = 0;
    double spanSeconds = 0;
    long differ = 0;
    TKabeToujiResult r;
    for (auto _ : state) {
        // The whole stage, timed three times and the median taken, so that a moment's load on
        // the machine does not decide the figure.
        double times[3];
        for (double& t : times) {
            DxfList dxf;
            const auto t0 = std::chrono::steady_clock::now();
            r = DrawKabeTouji(district, sun, kabe, p, grid, dxf, QuietRun(), {});
            t = Seconds(std::chrono::steady_clock::now() - t0);
            benchmark::DoNotOptimize(dxf.data());
        }
        std::sort(times, times + 3);
        stageSeconds = times[1];

        const TToujiExtent e = GetKabeToujiHani(district, sun, kabe, 8, 16, grid, QuietRun());
        const TToujiMesh mesh{e.txmin, e.tymin, r.mesh, r.meshSize};
        const auto t1 = std::chrono::steady_clock::now();
        AccumulateKabeTouji(district, sun, kabe, 8, 16, 10, mesh, mask, QuietRun(),
                            ToujiCounting::Mask);
        maskSeconds = Seconds(std::chrono::steady_clock::now() - t1);
        const auto t2 = std::chrono::steady_clock::now();
        AccumulateKabeTouji(district, sun, kabe, 8, 16, 10, mesh, spans, QuietRun());
        spanSeconds = Seconds(std::chrono::steady_clock::now() - t2);
        differ = 0;
        for (int row = 0; row < mesh.n; ++row)
            for (int c = 0; c < mesh.n; ++c) differ += spans.At(c, row) != mask.At(c, row) ? 1 : 0;
    }
    if (differ != 0) state.SkipWithError("the span counts differ from the mask counts");
    state.counters["walls"] = static_cast<double>(district.size());
    state.counters["samples"] = r.samples;
    state.counters["cells"] = r.meshSize;
    state.counters["mesh_mm"] = r.mesh;
    state.counters["chains"] = r.chains;
    state.counters["stage_ms"] = stageSeconds * 1000;
    state.counters["mask_ms"] = maskSeconds * 1000;
    state.counters["spans_ms"] = spanSeconds * 1000;
    state.counters["mask_per_stage"] = maskSeconds / stageSeconds;
    state.counters["mask_per_spans"] = maskSeconds / spanSeconds;
    state.counters["differ"] = static_cast<double>(differ);
    state.counters["threads"] = grid.Threads();
}
BENCHMARK(BM_WallEqualTime)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zuka::bench

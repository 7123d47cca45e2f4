// The outline pipeline on shadow-like soups, so that later work can show how its cost grows.
#include <benchmark/benchmark.h>

#include "geom/outline.h"
#include "shadow_soup.h"

namespace zuka::bench {
namespace {

void BM_OutlinePipeline(benchmark::State& state) {
    const std::vector<TLineEnt> soup = ShadowSoup(static_cast<int>(state.range(0)));
    int outlines = 0;
    for (auto _ : state) {
        Workspace ws;
        ws.AryLine = soup;
        PrepareOutlineSegments(ws);
        outlines = 0;
        TraceOutlineLoop(ws, QuietRun(), [&](const Workspace&) { ++outlines; });
        benchmark::DoNotOptimize(ws.AryLine.data());
    }
    state.counters["segments"] = static_cast<double>(soup.size());
    state.counters["outlines"] = outlines;
}
BENCHMARK(BM_OutlinePipeline)->Arg(500)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond);

void BM_SplitAtIntersections(benchmark::State& state) {
    Workspace ws;
    ws.AryLine = ShadowSoup(static_cast<int>(state.range(0)));
    MergeCollinearLines(ws, false);
    for (auto _ : state) {
        SplitAtIntersections(ws);
        benchmark::DoNotOptimize(ws.AryLine2.data());
    }
}
BENCHMARK(BM_SplitAtIntersections)->Arg(500)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zuka::bench



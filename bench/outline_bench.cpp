// The outline pipeline on shadow-like soups, so that later work can show how its cost grows.
// BM_FirstOutlineFiledVersusPlain traces the first outline of a soup by the filed passes and by
// the plain passes (plain_passes.h) in the same run: their times, the speed-up, and whether the
// outlines differ (it fails unless they are the same).
#include <benchmark/benchmark.h>

#include <chrono>

#include "geom/outline.h"
#include "plain_passes.h"
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

void BM_FirstOutlineFiledVersusPlain(benchmark::State& state) {
    Workspace merged;
    merged.AryLine = ShadowSoup(static_cast<int>(state.range(0)));
    MergeCollinearLines(merged, false);
    const auto start = [](Workspace& ws) {
        GetMinCorner(ws);
        ws.OutlinePrevPt = ws.OutlineMinPt;
        ws.OutlineStartPt = FindStartPoint(ws);
    };
    using Clock = std::chrono::steady_clock;
    double filedSeconds = 0;
    double plainSeconds = 0;
    bool differ = false;
    for (auto _ : state) {
        Workspace filed = merged;
        const auto t0 = Clock::now();
        SplitAtIntersections(filed);
        RemoveDupLines(filed);
        start(filed);
        const bool filedOk = TraceOutline(filed, false);
        const auto t1 = Clock::now();
        Workspace plain = merged;
        plain::SplitAtIntersections(plain);
        plain::RemoveDupLines(plain);
        start(plain);
        const bool plainOk = plain::TraceOutline(plain);
        const auto t2 = Clock::now();
        filedSeconds += std::chrono::duration<double>(t1 - t0).count();
        plainSeconds += std::chrono::duration<double>(t2 - t1).count();
        differ = filedOk != plainOk || filed.AryLine2.size() != plain.AryLine2.size() ||
                 filed.AryLine.size() != plain.AryLine.size();
        for (std::size_t i = 0; !differ && i < filed.AryLine.size(); ++i) {
            const TLineEnt& a = filed.AryLine[i];
            const TLineEnt& b = plain.AryLine[i];
            differ = a.st.x != b.st.x || a.st.y != b.st.y || a.ed.x != b.ed.x || a.ed.y != b.ed.y;
        }
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["filed_s"] = filedSeconds / runs;
    state.counters["plain_s"] = plainSeconds / runs;
    state.counters["speedup"] = plainSeconds / filedSeconds;
    state.counters["differ"] = differ;
    if (differ) state.SkipWithError("the filed passes traced a different outline");
}
BENCHMARK(BM_FirstOutlineFiledVersusPlain)
    ->Arg(500)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace zuka::bench

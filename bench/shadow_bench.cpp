// Shadow diagrams on districts of about forty buildings (district.h): argument district 0 is the
// town block, 1 the heavy case with eight round towers; 2 is the city block of 400 buildings. The
// equal-time accumulation is timed by both counting methods in the same run: the plain one paints
// each instant into the 1-bit mask and counts its black cells; the span one counts only where
// shaded runs start and end, on every core. BM_EqualTimeVersusMask runs both on one mesh and
// reports their times, the speed-up and the number of counters in which they differ (it fails
// unless that is 0); it takes about twenty seconds a district. BM_EqualTimeContours times the
// outlines of every hour and their smoothing apart from the counting.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "district.h"
#include "shadow/equal_time.h"
#include "shadow/time_of_day.h"
#include "shadow/touji_contour.h"

namespace zuka::bench {
namespace {

Workspace DistrictModel(std::int64_t which) {
    Workspace ws;
    ws.AryTatemono = which == 0 ? District() : which == 1 ? HeavyDistrict() : CityBlock();
    return ws;
}

TToujiParams AllHours(int hyoukaIdx, bool tenth) {
    TToujiParams p;
    p.hours.fill(true);
    p.hyoukaIdx = hyoukaIdx;
    p.tenth = tenth;
    return p;
}

// The mesh of a real run: the extent from the pre-pass, 2000 cells a side.
TToujiMesh RunMesh(const Workspace& ws, const SunModel& sun) {
    ToujiGrid grid;
    const TToujiExtent e = GetToujiHani(ws, sun, AllHours(0, false), grid, QuietRun());
    return {e.txmin, e.tymin, std::max(e.txmax - e.txmin, e.tymax - e.tymin) / 2000, 2000};
}

void BM_EqualTimeVersusMask(benchmark::State& state) {
    const Workspace ws = DistrictModel(state.range(0));
    const SunModel sun = WinterSun();
    const TToujiMesh mesh = RunMesh(ws, sun);
    ToujiGrid mask;
    ToujiGrid spans;
    double maskSeconds = 0;
    double spanSeconds = 0;
    long differ = 0;
    int samples = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        samples =
            AccumulateTouji(ws, sun, 8, 16, 10, 4000, mesh, mask, QuietRun(), ToujiCounting::Mask);
        maskSeconds = Seconds(std::chrono::steady_clock::now() - t0);
        // The span counting, some twenty times shorter, is timed three times and the median
        // taken, so that a moment's load on the machine does not decide the ratio.
        double times[3];
        for (double& t : times) {
            const auto t1 = std::chrono::steady_clock::now();
            AccumulateTouji(ws, sun, 8, 16, 10, 4000, mesh, spans, QuietRun());
            t = Seconds(std::chrono::steady_clock::now() - t1);
        }
        std::sort(times, times + 3);
        spanSeconds = times[1];
        differ = 0;
        for (int r = 0; r < mesh.n; ++r)
            for (int c = 0; c < mesh.n; ++c) differ += spans.At(c, r) != mask.At(c, r) ? 1 : 0;
    }
    if (differ != 0) state.SkipWithError("the span counts differ from the mask counts");
    state.counters["walls"] = static_cast<double>(ws.AryTatemono.size());
    state.counters["samples"] = samples;
    state.counters["mask_ms"] = maskSeconds * 1000;
    state.counters["spans_ms"] = spanSeconds * 1000;
    state.counters["speedup"] = maskSeconds / spanSeconds;
    state.counters["differ"] = static_cast<double>(differ);
    state.counters["threads"] = spans.Threads();
}
BENCHMARK(BM_EqualTimeVersusMask)
    ->ArgName("district")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Span counting alone; threads 0 is every core.
void BM_EqualTimeAccumulate(benchmark::State& state) {
    const Workspace ws = DistrictModel(state.range(0));
    const SunModel sun = WinterSun();
    const TToujiMesh mesh = RunMesh(ws, sun);
    const int step = static_cast<int>(state.range(1));
    ToujiGrid grid;
    if (state.range(2) > 0) grid.SetThreads(static_cast<int>(state.range(2)));
    int samples = 0;
    for (auto _ : state) {
        samples = AccumulateTouji(ws, sun, 8, 16, step, 4000, mesh, grid, QuietRun());
        benchmark::DoNotOptimize(grid.At(1000, 1000));
    }
    state.counters["samples"] = samples;
    state.counters["walls"] = static_cast<double>(ws.AryTatemono.size());
    state.counters["threads"] = grid.Threads();
}
BENCHMARK(BM_EqualTimeAccumulate)
    ->ArgNames({"district", "step_s", "threads"})
    ->Args({0, 10, 0})
    ->Args({0, 10, 1})
    ->Args({0, 1, 0})
    ->Args({1, 10, 0})
    ->Args({1, 1, 0})
    ->Args({2, 10, 1})
    ->Unit(benchmark::kMillisecond);

// The whole diagram: pre-pass, accumulation and the outlines of every hour.
void BM_EqualTimeDiagram(benchmark::State& state) {
    const Workspace ws = DistrictModel(state.range(0));
    const SunModel sun = WinterSun();
    const TToujiParams p = AllHours(0, state.range(1) == 1);
    ToujiGrid grid;
    int outlines = 0;
    const double cpu0 = ProcessSeconds();
    for (auto _ : state) {
        DxfList dxf;
        outlines = BuildToujiDiagram(ws, sun, p, grid, dxf, QuietRun(), TToujiUi{}).outlines;
        benchmark::DoNotOptimize(dxf.data());
    }
    state.counters["all_cpu_s"] =
        (ProcessSeconds() - cpu0) / static_cast<double>(state.iterations());
    state.counters["outlines"] = outlines;
    state.counters["walls"] = static_cast<double>(ws.AryTatemono.size());
}
BENCHMARK(BM_EqualTimeDiagram)
    ->ArgNames({"district", "step_s"})
    ->Args({0, 10})
    ->Args({0, 1})
    ->Args({1, 10})
    ->Args({1, 1})
    ->Args({2, 10})
    ->Unit(benchmark::kMillisecond);

// The outlines alone, after the counting: every hour's tracing (longest first, as the diagram
// takes them) and the smoothing of its outlines, on the counters of a 10-second run; the times
// of the two (processor time of the one thread they run on) as counters.
void BM_EqualTimeContours(benchmark::State& state) {
    const Workspace ws = DistrictModel(state.range(0));
    const SunModel sun = WinterSun();
    const TToujiMesh mesh = RunMesh(ws, sun);
    ToujiGrid counted;
    AccumulateTouji(ws, sun, 8, 16, 10, 4000, mesh, counted, QuietRun());
    ToujiGrid grid;
    double traceSeconds = 0;
    double smoothSeconds = 0;
    int outlines = 0;
    for (auto _ : state) {
        state.PauseTiming();
        grid = counted;
        state.ResumeTiming();
        outlines = 0;
        for (int item = kToujiItemCount - 1; item >= 0; --item) {
            const double t0 = ThreadSeconds();
            TContourResult traced =
                TraceToujiOutlines(grid, mesh, ToujiThreshold(ToujiHours(item), 8, 10), QuietRun());
            const double t1 = ThreadSeconds();
            for (std::vector<TAcadPoint>& v : traced.outlines) {
                if (v.size() > 6) v = SmoothOutline(v, 4);
                ++outlines;
            }
            traceSeconds += t1 - t0;
            smoothSeconds += ThreadSeconds() - t1;
        }
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["trace_ms"] = traceSeconds / runs * 1000;
    state.counters["smooth_ms"] = smoothSeconds / runs * 1000;
    state.counters["outlines"] = outlines;
}
BENCHMARK(BM_EqualTimeContours)
    ->ArgName("district")
    ->Arg(0)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond);

void BM_TimeOfDayDiagram(benchmark::State& state) {
    Workspace ws = DistrictModel(state.range(0));
    const SunModel sun = WinterSun();
    TZukaParams p;
    p.kaisi = 8;
    p.owari = 16;
    p.kankaku = 0.5;
    p.layer = "ZUKA_JIKOKU";
    p.textHeight = "300";
    int outlines = 0;
    const double cpu0 = ProcessSeconds();
    for (auto _ : state) {
        DxfList dxf;
        outlines =
            BuildZukaDiagram(ws, sun, p, dxf, QuietRun(), [](const std::string&) {}).outlines;
        benchmark::DoNotOptimize(dxf.data());
    }
    state.counters["all_cpu_s"] =
        (ProcessSeconds() - cpu0) / static_cast<double>(state.iterations());
    state.counters["outlines"] = outlines;
}
BENCHMARK(BM_TimeOfDayDiagram)
    ->ArgName("district")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zuka::bench

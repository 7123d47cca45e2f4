// Shadow diagrams on a district of about forty buildings. The equal-time accumulation is timed
// by both counting methods in the same run: the plain one paints each instant into the 1-bit
// mask and counts its black cells; the span one counts only where shaded runs start and end.
#include <benchmark/benchmark.h>

#include "district.h"
#include "shadow/equal_time.h"
#include "shadow/time_of_day.h"

namespace zuka::bench {
namespace {

SunModel WinterSun() {
    SunModel sun;
    sun.RadioGroup1Click(0);
    sun.SetTaiyouParams({"90", "36", "0", "0", "4", "8", "16", 0});
    return sun;
}

Workspace DistrictModel() {
    Workspace ws;
    ws.AryTatemono = District();
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

void BM_EqualTimeAccumulate(benchmark::State& state) {
    const Workspace ws = DistrictModel();
    const SunModel sun = WinterSun();
    const TToujiMesh mesh = RunMesh(ws, sun);
    const auto how = state.range(0) == 0 ? ToujiCounting::Mask : ToujiCounting::Spans;
    const int step = static_cast<int>(state.range(1));
    ToujiGrid grid;
    int samples = 0;
    for (auto _ : state) {
        samples = AccumulateTouji(ws, sun, 8, 16, step, 4000, mesh, grid, QuietRun(), how);
        benchmark::DoNotOptimize(grid.At(1000, 1000));
    }
    state.counters["samples"] = samples;
    state.counters["walls"] = static_cast<double>(ws.AryTatemono.size());
    state.SetLabel(state.range(0) == 0 ? "mask (baseline)" : "spans");
}
BENCHMARK(BM_EqualTimeAccumulate)
    ->ArgNames({"spans", "step_s"})
    ->Args({0, 10})
    ->Args({1, 10})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

void BM_EqualTimeDiagram(benchmark::State& state) {
    const Workspace ws = DistrictModel();
    const SunModel sun = WinterSun();
    const TToujiParams p = AllHours(0, state.range(0) != 0);
    ToujiGrid grid;
    int outlines = 0;
    for (auto _ : state) {
        DxfList dxf;
        outlines = BuildToujiDiagram(ws, sun, p, grid, dxf, QuietRun(), TToujiUi{}).outlines;
        benchmark::DoNotOptimize(dxf.data());
    }
    state.counters["outlines"] = outlines;
    state.SetLabel(state.range(0) != 0 ? "1 s step" : "10 s step");
}
BENCHMARK(BM_EqualTimeDiagram)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_TimeOfDayDiagram(benchmark::State& state) {
    Workspace ws = DistrictModel();
    const SunModel sun = WinterSun();
    TZukaParams p;
    p.kaisi = 8;
    p.owari = 16;
    p.kankaku = 0.5;
    p.layer = "ZUKA_JIKOKU";
    p.textHeight = "300";
    int outlines = 0;
    for (auto _ : state) {
        DxfList dxf;
        outlines = BuildZukaDiagram(ws, sun, p, dxf, QuietRun(), [](const std::string&) {}).outlines;
        benchmark::DoNotOptimize(dxf.data());
    }
    state.counters["outlines"] = outlines;
}
BENCHMARK(BM_TimeOfDayDiagram)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zuka::bench

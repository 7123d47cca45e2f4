// How the diagrams' cost grows with the model: city blocks (district.h) of 40 to 400
// buildings, each measured once in the same run, by the clock a user waits on (the equal-time
// counting uses every core): the time-of-day diagram 8:00-16:00 every 30 minutes, the whole
// equal-time diagram (pre-pass, counting, outlines of all fourteen hours) at 10-second and
// 1-second steps on 2000 cells, and the sky factors of 50 points 10 m south of the block.
// Counters: walls, tod_s, touji10_s, touji1_s, sky50_s, and for the diagrams the processor
// time of all threads (_cpu_s), which the load of the shared machine changes less.
// BM_UnionVersusGeosScaling (geos_bench.cpp) gives the union's ratio to GEOS for the same
// blocks.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "district.h"
#include "shadow/equal_time.h"
#include "shadow/time_of_day.h"
#include "sky/outline_factor.h"
#include "sky/sky_map.h"

namespace zuka::bench {
namespace {

double Since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_Scaling(benchmark::State& state) {
    Workspace ws;
    ws.AryTatemono = CityBlock(static_cast<int>(state.range(0)));
    const SunModel sun = WinterSun();
    double tod = 0;
    double touji10 = 0;
    double touji1 = 0;
    double sky = 0;
    double todCpu = 0;
    double touji10Cpu = 0;
    double touji1Cpu = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        double c0 = ProcessSeconds();
        TZukaParams z;
        z.kankaku = 0.5;
        z.layer = "ZUKA_JIKOKU";
        z.textHeight = "300";
        DxfList dxf;
        BuildZukaDiagram(ws, sun, z, dxf, QuietRun(), [](const std::string&) {});
        tod = Since(t0);
        todCpu = ProcessSeconds() - c0;

        ToujiGrid grid;
        for (const bool tenth : {false, true}) {
            TToujiParams p;
            p.hours.fill(true);
            p.hyoukaIdx = 0;
            p.tenth = tenth;
            DxfList out;
            t0 = std::chrono::steady_clock::now();
            c0 = ProcessSeconds();
            BuildToujiDiagram(ws, sun, p, grid, out, QuietRun(), TToujiUi{});
            (tenth ? touji1 : touji10) = Since(t0);
            (tenth ? touji1Cpu : touji10Cpu) = ProcessSeconds() - c0;
        }

        double x0 = 1e300;
        double x1 = -1e300;
        double y0 = 1e300;
        for (const TLineEnt& w : ws.AryTatemono) {
            x0 = std::min({x0, w.st.x, w.ed.x});
            x1 = std::max({x1, w.st.x, w.ed.x});
            y0 = std::min({y0, w.st.y, w.ed.y});
        }
        t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < 50; ++i) {
            Workspace point;
            point.AryTatemono = ws.AryTatemono;
            TTenkuRituParams p;
            p.point = {x0 + (x1 - x0) * (i + 0.5) / 50, y0 - 10000, 0};
            p.radius = 100;
            p.scale = 100;
            double naisetu = 0;
            double gaisetu = 0;
            double areacmd = 0;
            if (!GetTenkuLine(point, p) ||
                !GetTenkuRitu(point, p, naisetu, gaisetu, areacmd, PolygonArea))
                state.SkipWithError("a point got no sky factors");
        }
        sky = Since(t0);
    }
    state.counters["walls"] = static_cast<double>(ws.AryTatemono.size());
    state.counters["tod_s"] = tod;
    state.counters["touji10_s"] = touji10;
    state.counters["touji1_s"] = touji1;
    state.counters["sky50_s"] = sky;
    state.counters["tod_cpu_s"] = todCpu;
    state.counters["touji10_cpu_s"] = touji10Cpu;
    state.counters["touji1_cpu_s"] = touji1Cpu;
}
BENCHMARK(BM_Scaling)
    ->ArgName("buildings")
    ->Arg(40)
    ->Arg(100)
    ->Arg(200)
    ->Arg(400)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace zuka::bench

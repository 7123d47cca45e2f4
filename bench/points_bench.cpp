// Specific points on the town block of district.h: 50 points over the district, 8:00 to 16:00
// at the tenth of the 10 s step (1 s, 28,800 instants), on the ground.
//
// BM_TokuteiVersusPlain times, in one run, the stepped evaluation, the exact intervals and the
// plain evaluation they are measured against: at every instant, the shadow pieces of every
// wall made anew and each point tested against each of them and against the footprints with
// an even-odd ray. It reports the times, the ratios and the number of points whose stepped
// times differ from the plain ones (it fails unless that is 0). It takes about fifteen seconds.
// BM_ShadowOutlinePerInstant times the outline of one instant's whole shadow, which a test
// against outlines would trace at every instant.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "district.h"
#include "geom/primitives.h"
#include "shadow/equal_time.h"
#include "shadow/tokutei.h"

namespace zuka::bench {
namespace {

SunModel WinterSun() {
    SunModel sun;
    sun.RadioGroup1Click(0);
    sun.SetTaiyouParams({"90", "36", "0", "0", "0", "8", "16", 0});
    return sun;
}

// Ten columns, five rows over the 300 m square.
std::vector<TAcadPoint> FiftyPoints() {
    std::vector<TAcadPoint> pts;
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 10; ++c)
            pts.push_back({15000 + c * 30000.0 + 1234, 30000 + r * 60000.0 + 567, 0});
    return pts;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double DistToSegment(TAcadPoint p, TAcadPoint a, TAcadPoint b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double l2 = dx * dx + dy * dy;
    const double u = l2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / l2, 0.0, 1.0) : 0;
    return std::hypot(p.x - a.x - u * dx, p.y - a.y - u * dy);
}

// Whether the ray from p along +x crosses the segment a-b.
bool Crosses(TAcadPoint a, TAcadPoint b, TAcadPoint p) {
    return (a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
}

// Inside or on a closed polygon, by the even-odd ray.
bool InPolygon(const TShadowQuad& q, TAcadPoint p) {
    bool inside = false;
    for (std::size_t i = 0; i < 4; ++i) {
        if (DistToSegment(p, q[i], q[(i + 1) % 4]) <= kSamePointTol) return true;
        if (Crosses(q[i], q[(i + 1) % 4], p)) inside = !inside;
    }
    return inside;
}

// The plain evaluation: the district's buildings stand apart, so the even-odd ray over every
// wall's foot finds the footprints.
TTokuteiResult Plain(const std::vector<TLineEnt>& walls, const SunModel& sun,
                     const std::vector<TAcadPoint>& pts, const TTokuteiStep& p) {
    TTokuteiResult r;
    r.rows.resize(pts.size());
    r.steps = TokuteiStepCount(p);
    std::vector<char> foot(pts.size(), 0);
    for (std::size_t j = 0; j < pts.size(); ++j) {
        bool on = false;
        bool inside = false;
        for (const TLineEnt& w : walls) {
            on = on || DistToSegment(pts[j], w.st, w.ed) <= kSamePointTol;
            if (Crosses(w.st, w.ed, pts[j])) inside = !inside;
        }
        foot[j] = on || inside;
    }
    std::vector<TShadowQuad> quads;
    std::vector<char> was(pts.size(), 0);
    for (int i = 0; i < r.steps; ++i) {
        const double t = TokuteiTime(p, i);
        double azimuth = 0;
        double factor = 1;
        sun.GetTaiyouHoui(t, azimuth, factor);
        MakeShadowQuads(walls, sun.ShadowDir(azimuth), factor, p.h, quads);
        for (std::size_t j = 0; j < pts.size(); ++j) {
            bool now = foot[j];
            for (std::size_t k = 0; k < quads.size() && !now; ++k)
                now = InPolygon(quads[k], pts[j]);
            r.rows[j].count += now;
            if (now != static_cast<bool>(was[j])) r.rows[j].changes.push_back(t);
            was[j] = now;
        }
    }
    for (std::size_t j = 0; j < pts.size(); ++j)
        if (was[j]) r.rows[j].changes.push_back(TokuteiTime(p, r.steps));
    return r;
}

template <typename F>
double MedianOfThree(F&& f) {
    double times[3];
    for (double& t : times) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        t = Seconds(std::chrono::steady_clock::now() - t0);
    }
    std::sort(times, times + 3);
    return times[1];
}

void BM_TokuteiVersusPlain(benchmark::State& state) {
    const std::vector<TLineEnt> walls = District();
    const SunModel sun = WinterSun();
    const std::vector<TAcadPoint> pts = FiftyPoints();
    const TTokuteiStep p{8, 16, 1, 0};
    double plainSeconds = 0;
    double steppedSeconds = 0;
    double exactSeconds = 0;
    long differ = 0;
    long shaded = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const TTokuteiResult plain = Plain(walls, sun, pts, p);
        plainSeconds = Seconds(std::chrono::steady_clock::now() - t0);
        TTokuteiResult stepped;
        steppedSeconds =
            MedianOfThree([&] { stepped = GetTokuteiJikan(walls, sun, pts, p, QuietRun()); });
        exactSeconds = MedianOfThree(
            [&] { benchmark::DoNotOptimize(GetTokuteiExact(walls, sun, pts, 8, 16, 0).data()); });
        differ = 0;
        shaded = 0;
        for (std::size_t j = 0; j < pts.size(); ++j) {
            differ += stepped.rows[j].count != plain.rows[j].count ||
                      stepped.rows[j].changes != plain.rows[j].changes;
            shaded += stepped.rows[j].count > 0;
        }
    }
    if (differ != 0) state.SkipWithError("the stepped times differ from the plain evaluation");
    state.counters["walls"] = static_cast<double>(walls.size());
    state.counters["instants"] = TokuteiStepCount(p);
    state.counters["shaded_points"] = static_cast<double>(shaded);
    state.counters["plain_ms"] = plainSeconds * 1000;
    state.counters["stepped_ms"] = steppedSeconds * 1000;
    state.counters["exact_ms"] = exactSeconds * 1000;
    state.counters["stepped_speedup"] = plainSeconds / steppedSeconds;
    state.counters["exact_speedup"] = plainSeconds / exactSeconds;
    state.counters["differ"] = static_cast<double>(differ);
}
BENCHMARK(BM_TokuteiVersusPlain)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ShadowOutlinePerInstant(benchmark::State& state) {
    Workspace ws;
    ws.AryTatemono = District();
    const SunModel sun = WinterSun();
    for (auto _ : state) {
        for (double t = 8; t <= 16; t += 0.5)
            benchmark::DoNotOptimize(MakeShadowOutline(ws, sun, t, 0));
    }
    state.counters["instants"] = 17;
}
BENCHMARK(BM_ShadowOutlinePerInstant)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zuka::bench

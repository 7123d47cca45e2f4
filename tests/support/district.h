// Districts of about forty buildings for the shadow benchmarks and the differential tests, as
// the acquisition leaves them (one wall-top segment per side, curves as 10-degree chords), on a
// 300 m square.
//
// District: a town block of 2 to 10 storeys (3 m a storey, 6 to 30 m): mostly rectangular and
// L-shaped blocks, and two round towers.
// HeavyDistrict: a harder case kept for comparison: one building in five a round tower, heights
// 6 to 45 m.
// CityBlock: a city block of a few hundred buildings on a 28 m grid: boxes, L-shapes, slender
// square towers and round towers, one in four turned, 6 to 60 m high.
#pragma once

#include <chrono>
#include <cmath>
#include <ctime>
#include <vector>

#include "geom/records.h"
#include "shadow_soup.h"
#include "solar/sun_model.h"
#include "winter_sun.h"

namespace zuka::bench {

// The sun of the shadow benchmarks: the tests' winter solstice at 36 degrees north, 8:00 to
// 16:00.
inline SunModel WinterSun() { return testing_sun::Winter36(); }

inline double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Processor time of every thread of the process, and of the calling thread: what a run costs
// whatever else the shared machine does (the time a user waits is the benchmarks' Time).
inline double ProcessSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}
inline double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

inline void AddPrism(std::vector<TLineEnt>& walls, const std::vector<TAcadPoint>& plan,
                     double height) {
    for (std::size_t i = 0; i < plan.size(); ++i) {
        TLineEnt s;
        s.st = {plan[i].x, plan[i].y, height};
        s.ed = {plan[(i + 1) % plan.size()].x, plan[(i + 1) % plan.size()].y, height};
        s.code210 = {0, 0, 1};
        walls.push_back(s);
    }
}

inline std::vector<TAcadPoint> BoxPlan(double x, double y, double w, double d) {
    return {{x, y, 0}, {x + w, y, 0}, {x + w, y + d, 0}, {x, y + d, 0}};
}

inline std::vector<TAcadPoint> LPlan(double x, double y, double w, double d) {
    const double xm = x + w / 2;
    const double ym = y + d / 2;
    return {{x, y, 0}, {x + w, y, 0}, {x + w, ym, 0}, {xm, ym, 0}, {xm, y + d, 0}, {x, y + d, 0}};
}

// A circle of the given number of chords (36 for a whole circle at 10 degrees).
inline std::vector<TAcadPoint> RoundPlan(double x, double y, double dia, int chords) {
    std::vector<TAcadPoint> ring;
    const double rad = dia / 2;
    for (int j = 1; j <= chords; ++j) {
        const double a = j * 10 * 3.141592653589793 / 180;
        ring.push_back({x + rad + rad * std::cos(a), y + rad + rad * std::sin(a), 0});
    }
    return ring;
}

inline std::vector<TLineEnt> District(int buildings = 40, std::uint64_t seed = 11) {
    Lcg rnd(seed);
    std::vector<TLineEnt> walls;
    const int perRow = 7;
    for (int b = 0; b < buildings; ++b) {
        const double x = 20000 + (b % perRow) * 40000 + rnd.Next() * 10000;
        const double y = 20000 + (b / perRow) * 45000 + rnd.Next() * 10000;
        const double w = 10000 + rnd.Next() * 15000;
        const double d = 8000 + rnd.Next() * 12000;
        const int storeys = 2 + static_cast<int>(rnd.Next() * 9);  // 2 .. 10
        const double h = 3000.0 * storeys;
        if (b == 10 || b == 30)
            AddPrism(walls, RoundPlan(x, y, 12000 + d / 2, 36), h);
        else if (b % 5 == 1 || b % 5 == 3)
            AddPrism(walls, LPlan(x, y, w, d), h);
        else
            AddPrism(walls, BoxPlan(x, y, w, d), h);
    }
    return walls;
}

inline std::vector<TLineEnt> HeavyDistrict(int buildings = 40, std::uint64_t seed = 7) {
    Lcg rnd(seed);
    std::vector<TLineEnt> walls;
    const int perRow = 7;
    for (int b = 0; b < buildings; ++b) {
        const double x = 20000 + (b % perRow) * 40000 + rnd.Next() * 10000;
        const double y = 20000 + (b / perRow) * 45000 + rnd.Next() * 10000;
        const double w = 10000 + rnd.Next() * 15000;
        const double d = 8000 + rnd.Next() * 12000;
        const double h = 6000 + rnd.Next() * 39000;
        switch (b % 5) {
            case 0:
            case 1:
            case 2:
                AddPrism(walls, BoxPlan(x, y, w, d), h);
                break;
            case 3:
                AddPrism(walls, LPlan(x, y, w, d), h);
                break;
            default:
                AddPrism(walls, RoundPlan(x, y, d, 35), h);
        }
    }
    return walls;
}

// The plan turned by angle a about (cx, cy).
inline std::vector<TAcadPoint> Turned(std::vector<TAcadPoint> plan, double cx, double cy,
                                      double a) {
    const double c = std::cos(a);
    const double s = std::sin(a);
    for (TAcadPoint& p : plan) {
        const double dx = p.x - cx;
        const double dy = p.y - cy;
        p = {cx + dx * c - dy * s, cy + dx * s + dy * c, 0};
    }
    return plan;
}

inline std::vector<TLineEnt> CityBlock(int buildings = 400, std::uint64_t seed = 5) {
    Lcg rnd(seed);
    std::vector<TLineEnt> walls;
    const int perRow = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(buildings))));
    const double pitch = 28000;
    for (int b = 0; b < buildings; ++b) {
        const double x = (b % perRow) * pitch + rnd.Next() * 4000;
        const double y = (b / perRow) * pitch + rnd.Next() * 4000;
        const double w = 8000 + rnd.Next() * 12000;
        const double d = 8000 + rnd.Next() * 12000;
        const double h = 6000 + 3000.0 * static_cast<int>(rnd.Next() * 19);  // 6 .. 60 m
        const double turn = rnd.Next() < 0.25 ? rnd.Next() * 1.5 : 0;
        std::vector<TAcadPoint> plan;
        switch (b % 10) {
            case 0:
                plan = RoundPlan(x, y, 8000 + d / 2, 36);
                break;
            case 1:
            case 4:
            case 7:
                plan = LPlan(x, y, w, d);
                break;
            case 5:
                plan = BoxPlan(x, y, 8000 + w / 3, 8000 + w / 3);
                break;
            default:
                plan = BoxPlan(x, y, w, d);
        }
        AddPrism(walls, turn != 0 ? Turned(plan, x + w / 2, y + d / 2, turn) : plan, h);
    }
    return walls;
}

}  // namespace zuka::bench

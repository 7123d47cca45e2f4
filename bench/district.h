// A district of about forty buildings for the shadow benchmarks: boxes, L-shapes and round
// towers of 6 to 45 m on a 300 m square, as the acquisition leaves them (one wall-top segment
// per side, curves as 10-degree chords).
#pragma once

#include <cmath>
#include <vector>

#include "geom/records.h"
#include "shadow_soup.h"

namespace zuka::bench {

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

inline std::vector<TLineEnt> District(int buildings = 40, std::uint64_t seed = 7) {
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
                AddPrism(walls, {{x, y, 0}, {x + w, y, 0}, {x + w, y + d, 0}, {x, y + d, 0}}, h);
                break;
            case 3:  // L-shape
                AddPrism(walls,
                         {{x, y, 0}, {x + w, y, 0}, {x + w, y + d / 2, 0}, {x + w / 2, y + d / 2, 0},
                          {x + w / 2, y + d, 0}, {x, y + d, 0}},
                         h);
                break;
            default: {  // round tower: 35 chords as a circle is acquired
                std::vector<TAcadPoint> ring;
                const double rad = d / 2;
                for (int j = 1; j <= 35; ++j) {
                    const double a = j * 10 * 3.141592653589793 / 180;
                    ring.push_back({x + rad + rad * std::cos(a), y + rad + rad * std::sin(a), 0});
                }
                AddPrism(walls, ring, h);
            }
        }
    }
    return walls;
}

}  // namespace zuka::bench

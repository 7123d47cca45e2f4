// Shadow-like segment soups for the outline benchmarks: box buildings on a jittered grid, each
// wall giving its footprint, the shadow of its top edge and the two joins, as the
// time-of-day diagram fills its line list for one instant.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "geom/primitives.h"
#include "geom/records.h"

namespace zuka::bench {

// Small deterministic generator, so every run measures the same soup.
class Lcg {
public:
    explicit Lcg(std::uint64_t seed) : s_(seed) {}
    double Next() {  // in [0, 1)
        s_ = s_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(s_ >> 11) / 9007199254740992.0;
    }

private:
    std::uint64_t s_;
};

// About `segments` segments (16 per box building). Shadow direction and length factor are
// those of a winter morning at 36 degrees north; heights 6 to 30 m above a 4 m plane.
inline std::vector<TLineEnt> ShadowSoup(int segments, std::uint64_t seed = 1) {
    const int boxes = segments / 16;
    const int perRow = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(boxes))));
    const double dir = 1.25;     // shadow direction in the drawing, radians
    const double factor = 2.2;   // shadow length per unit of height above the plane
    const double plane = 4000;
    Lcg rnd(seed);
    std::vector<TLineEnt> soup;
    soup.reserve(static_cast<std::size_t>(boxes) * 16);
    for (int b = 0; b < boxes; ++b) {
        const double x0 = (b % perRow) * 30000.0 + rnd.Next() * 8000;
        const double y0 = (b / perRow) * 30000.0 + rnd.Next() * 8000;
        const double w = 8000 + rnd.Next() * 12000;
        const double d = 8000 + rnd.Next() * 12000;
        const double h = 6000 + rnd.Next() * 24000;
        const TAcadPoint c[4] = {{x0, y0, h}, {x0 + w, y0, h}, {x0 + w, y0 + d, h}, {x0, y0 + d, h}};
        for (int k = 0; k < 4; ++k) {
            TAcadPoint st = c[k];
            TAcadPoint ed = c[(k + 1) % 4];
            TAcadPoint footSt{st.x, st.y, 0};
            TAcadPoint footEd{ed.x, ed.y, 0};
            TAcadPoint shSt = PolarPoint(st, dir, (st.z - plane) * factor);
            TAcadPoint shEd = PolarPoint(ed, dir, (ed.z - plane) * factor);
            shSt.z = shEd.z = 0;
            soup.push_back({0, footSt, footEd, 0, {}});
            soup.push_back({0, shSt, shEd, 0, {}});
            soup.push_back({0, shSt, footSt, 0, {}});
            soup.push_back({0, shEd, footEd, 0, {}});
        }
    }
    return soup;
}

}  // namespace zuka::bench

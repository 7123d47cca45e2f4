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

// The segment soup of one instant from any walls, in the order the time-of-day diagram fills
// its line list: every wall's footprint, then per wall the shadow of its top edge and the two
// joins back to the footprint (an end at or below the plane stays at its foot).
inline std::vector<TLineEnt> ShadowSoupOf(const std::vector<TLineEnt>& walls, double dir,
                                          double factor, double plane) {
    auto shadow = [&](TAcadPoint p) {
        TAcadPoint s = p.z > plane ? PolarPoint(p, dir, (p.z - plane) * factor) : p;
        s.z = 0;
        return s;
    };
    std::vector<TLineEnt> soup;
    soup.reserve(walls.size() * 4);
    for (const TLineEnt& w : walls)
        soup.push_back({0, {w.st.x, w.st.y, 0}, {w.ed.x, w.ed.y, 0}, 0, {}});
    for (const TLineEnt& w : walls) {
        const TAcadPoint sSt = shadow(w.st);
        const TAcadPoint sEd = shadow(w.ed);
        soup.push_back({0, sSt, sEd, 0, {}});
        soup.push_back({0, sSt, {w.st.x, w.st.y, 0}, 0, {}});
        soup.push_back({0, sEd, {w.ed.x, w.ed.y, 0}, 0, {}});
    }
    return soup;
}

// The walls of about `segments` / 16 box buildings on a jittered grid, 6 to 30 m high.
inline std::vector<TLineEnt> SoupWalls(int segments, std::uint64_t seed = 1) {
    const int boxes = segments / 16;
    const int perRow = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(boxes))));
    Lcg rnd(seed);
    std::vector<TLineEnt> walls;
    walls.reserve(static_cast<std::size_t>(boxes) * 4);
    for (int b = 0; b < boxes; ++b) {
        const double x0 = (b % perRow) * 30000.0 + rnd.Next() * 8000;
        const double y0 = (b / perRow) * 30000.0 + rnd.Next() * 8000;
        const double w = 8000 + rnd.Next() * 12000;
        const double d = 8000 + rnd.Next() * 12000;
        const double h = 6000 + rnd.Next() * 24000;
        const TAcadPoint c[4] = {
            {x0, y0, h}, {x0 + w, y0, h}, {x0 + w, y0 + d, h}, {x0, y0 + d, h}};
        for (int k = 0; k < 4; ++k) walls.push_back({0, c[k], c[(k + 1) % 4], 0, {}});
    }
    return walls;
}

// Shadow direction and length factor of the soups: a winter morning at 36 degrees north.
inline constexpr double kSoupDir = 1.25;
inline constexpr double kSoupFactor = 2.2;
inline constexpr double kSoupPlane = 4000;

// About `segments` segments (16 per box building): the soup of SoupWalls at kSoupDir.
inline std::vector<TLineEnt> ShadowSoup(int segments, std::uint64_t seed = 1) {
    return ShadowSoupOf(SoupWalls(segments, seed), kSoupDir, kSoupFactor, kSoupPlane);
}

}  // namespace zuka::bench

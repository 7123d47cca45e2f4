// The sky map's two passes as first written: every edge against every later one for repeats,
// every horizon point against every other for the pair farthest apart. The baseline that
// sky/sky_map.h is timed against in the same run, and whose results it must reproduce
// (tests/sky/sky_map_differential_test.cpp); and inputs of the kind the projection gives them.
// Benchmark and test code only.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "geom/primitives.h"
#include "geom/records.h"
#include "sky/sky_map.h"

namespace zuka::bench {

// What the projection files for a model: the wall tops, their feet on the plane h and the
// vertical edges at their ends, each wall also drawn the other way round.
inline std::vector<TLineEnt> EdgeSoup(const std::vector<TLineEnt>& walls, double h) {
    std::vector<TLineEnt> lines;
    for (const TLineEnt& w : walls) {
        lines.push_back(w);
        TLineEnt back = w;
        std::swap(back.st, back.ed);
        lines.push_back(back);
        TLineEnt foot = w;
        foot.st.z = foot.ed.z = h;
        lines.push_back(foot);
        for (const TAcadPoint& end : {w.st, w.ed}) {
            TLineEnt v = w;
            v.st = v.ed = end;
            v.ed.z = h;
            lines.push_back(v);
        }
    }
    return lines;
}

// The horizon points of a model seen from p: every wall end's direction on a circle of
// radius r about the origin.
inline std::vector<TAcadPoint> Horizon(const std::vector<TLineEnt>& walls, TAcadPoint p, double r) {
    std::vector<TAcadPoint> pts;
    for (const TLineEnt& w : walls) {
        pts.push_back(PolarPoint({}, Angle2P(p, w.st), r));
        pts.push_back(PolarPoint({}, Angle2P(p, w.ed), r));
    }
    return pts;
}

namespace plain {

inline std::vector<bool> RepeatedLines(const std::vector<TLineEnt>& lines) {
    std::vector<bool> repeated(lines.size(), false);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        for (std::size_t j = i + 1; j < lines.size(); ++j) {
            if (SameLine3D(lines[i], lines[j])) {
                repeated[i] = true;
                break;
            }
        }
    }
    return repeated;
}

inline std::pair<std::size_t, std::size_t> FarthestApart(const std::vector<TAcadPoint>& pts) {
    const TAcadPoint origin{};
    auto folded = [&origin](TAcadPoint a, TAcadPoint b) {
        const double turn = TurnAngle(a, origin, b, false);
        return turn > kPi ? kTwoPi - turn : turn;
    };
    double best = -1;
    std::pair<std::size_t, std::size_t> pair{0, 1};
    for (std::size_t i = 0; i < pts.size(); ++i) {
        for (std::size_t j = 0; j < pts.size(); ++j) {
            if (i == j) continue;
            const double u = folded(pts[i], pts[j]);
            if (u > best) {
                best = u;
                pair = {i, j};
            }
        }
    }
    return pair;
}

}  // namespace plain
}  // namespace zuka::bench

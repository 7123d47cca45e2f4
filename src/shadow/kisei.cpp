#include "shadow/kisei.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <utility>

#include "base/number.h"
#include "geom/primitives.h"
#include "geom/workspace.h"
#include "shadow/equal_time.h"
#include "shadow/tokutei.h"
#include "shadow/touji_contour.h"

namespace zuka {
namespace {

// How near (in cells) an outline must come to its line to be solved again exactly, and how far
// inside the line a ray starts looking for it.
constexpr double kTightCells = 2;
constexpr double kRayInsideCells = 4;
// Samples along one ray before the bisection, at most; the bisection stops at this width (mm).
constexpr int kRaySamples = 64;
constexpr double kSolvedTol = 0.5;
// Outward search beyond a ray's window, at most this far (mm).
constexpr double kFarthest = 1e6;
// Shaded `hours` or longer, with room for the rounding of the summed intervals.
constexpr double kHoursTol = 1e-9;

// The nearest point of a closed polygon's boundary to p, its signed distance (positive inside)
// and the outward normal there.
struct TNearest {
    double signedDist = 0;
    TAcadPoint at;
    TAcadPoint normal;
};

TNearest NearestOnPolygon(const std::vector<TAcadPoint>& poly, TAcadPoint p) {
    TNearest best;
    double bestD = 1e300;
    bool inside = false;
    const std::size_t n = poly.size();
    for (std::size_t i = 0; i < n; ++i) {
        const TAcadPoint a = poly[i];
        const TAcadPoint b = poly[(i + 1) % n];
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y))
            inside = !inside;
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        const double len2 = dx * dx + dy * dy;
        double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        const TAcadPoint q{a.x + t * dx, a.y + t * dy, 0};
        const double d = std::hypot(p.x - q.x, p.y - q.y);
        if (d < bestD) {
            bestD = d;
            best.at = q;
            // Counter-clockwise: outward lies to the right of the walking direction.
            const double len = std::sqrt(len2);
            best.normal = len > 0 ? TAcadPoint{dy / len, -dx / len, 0} : TAcadPoint{};
        }
    }
    best.signedDist = inside ? bestD : -bestD;
    // Away from an edge's middle the direction from the point is the better normal.
    if (bestD > 1) {
        const double s = inside ? 1 : -1;
        best.normal = {s * (best.at.x - p.x) / bestD, s * (best.at.y - p.y) / bestD, 0};
    }
    return best;
}

// The line the point is best inside (or least outside) of.
TNearest NearestOnLines(const std::vector<std::vector<TAcadPoint>>& lines, TAcadPoint p) {
    TNearest best;
    best.signedDist = -1e300;
    for (const std::vector<TAcadPoint>& line : lines) {
        const TNearest n = NearestOnPolygon(line, p);
        if (n.signedDist > best.signedDist) best = n;
    }
    return best;
}

// The exact hours in shadow of each point; a stop leaves the points not yet solved at 0.
std::vector<double> ExactHours(const std::vector<TLineEnt>& walls, const SunModel& sun,
                               const TKiseiParams& p, const std::vector<TAcadPoint>& points,
                               const RunContext& run) {
    std::vector<double> hours(points.size(), 0);
    if (points.empty()) return hours;
    const std::vector<std::vector<TShadowInterval>> iv =
        GetTokuteiExact(walls, sun, points, p.kaisi, p.owari, p.takasa, &run);
    for (std::size_t i = 0; i < points.size(); ++i)
        for (const TShadowInterval& x : iv[i]) hours[i] += x.out - x.in;
    return hours;
}

// A ray across the line from its point `at`, outward along `normal`, looked along from `lo` to
// `hi` (mm, negative inside).
struct TRay {
    TAcadPoint at;
    TAcadPoint normal;
    double lo = 0;
    double hi = 0;
    TAcadPoint Point(double s) const { return {at.x + s * normal.x, at.y + s * normal.y, 0}; }
};

// An outline vertex with its nearest point on the lines.
struct TVertexNear {
    TAcadPoint v;
    TNearest n;
    bool solved = false;
};

// The rays of the vertices not yet solved whose clearance by the mesh `take` accepts, one per
// quarter cell of the line; those vertices count as solved afterwards.
template <typename Take>
std::vector<TRay> RaysOf(std::vector<TVertexNear>& near, const Take& take, double cell) {
    std::map<std::pair<long long, long long>, TRay> rays;
    const double key = cell / 4;
    for (TVertexNear& x : near) {
        if (x.solved || !take(x.n.signedDist)) continue;
        x.solved = true;
        const double d = x.n.signedDist;
        const TRay r{x.n.at, x.n.normal, -(std::max(0.0, d) + kRayInsideCells * cell),
                     std::max(0.0, -d) + kTightCells * cell};
        const std::pair<long long, long long> k{std::llround(x.n.at.x / key),
                                                std::llround(x.n.at.y / key)};
        auto it = rays.find(k);
        if (it == rays.end()) {
            rays.emplace(k, r);
        } else {
            it->second.lo = std::min(it->second.lo, r.lo);
            it->second.hi = std::max(it->second.hi, r.hi);
        }
    }
    std::vector<TRay> out;
    out.reserve(rays.size());
    for (const auto& kv : rays) out.push_back(kv.second);
    return out;
}

// Solves on every ray the outermost place where the ground is shaded `hours` long: the
// clearance there is minus that distance along the ray. Rays without such a place in their
// window give nothing (the shaded ground keeps farther inside there). A stop of `run` ends
// the solving with the spots half found; the caller asks `run`.
void SolveRays(const std::vector<TLineEnt>& walls, const SunModel& sun, const TKiseiParams& p,
               double hours, double cell, const std::vector<TRay>& rays,
               std::vector<TKiseiSpot>& spots, int& evaluated, const RunContext& run) {
    // 1. Samples along every ray, in one batch.
    std::vector<TAcadPoint> pts;
    std::vector<std::size_t> first(rays.size() + 1, 0);
    std::vector<double> steps(rays.size());
    for (std::size_t i = 0; i < rays.size(); ++i) {
        const TRay& r = rays[i];
        const int k =
            std::clamp(static_cast<int>(std::ceil((r.hi - r.lo) / (cell / 2))), 1, kRaySamples);
        steps[i] = (r.hi - r.lo) / k;
        first[i] = pts.size();
        for (int j = 0; j <= k; ++j) pts.push_back(r.Point(r.lo + steps[i] * j));
    }
    first[rays.size()] = pts.size();
    const std::vector<double> t = ExactHours(walls, sun, p, pts, run);
    evaluated += static_cast<int>(pts.size());
    if (run.StopRequested()) return;

    // 2. Brackets [shaded, not shaded] around the outermost crossing.
    struct TBracket {
        std::size_t ray = 0;
        double in = 0;   // shaded `hours` or longer
        double out = 0;  // less
    };
    std::vector<TBracket> brackets;
    for (std::size_t i = 0; i < rays.size(); ++i) {
        const TRay& r = rays[i];
        int last = -1;
        for (std::size_t j = first[i]; j < first[i + 1]; ++j)
            if (t[j] >= hours - kHoursTol) last = static_cast<int>(j - first[i]);
        if (last < 0) continue;
        const int count = static_cast<int>(first[i + 1] - first[i]);
        double in = r.lo + steps[i] * last;
        double out = r.lo + steps[i] * (last + 1);
        if (last == count - 1) {
            // Shaded to the window's end: further out, doubling, until the shadow ends.
            double step = std::max(cell, steps[i]);
            out = in + step;
            for (;;) {
                ++evaluated;
                if (run.StopRequested()) return;
                if (ExactHours(walls, sun, p, {r.Point(out)}, run)[0] < hours - kHoursTol) break;
                in = out;
                step *= 2;
                out = in + step;
                if (out > kFarthest) break;
            }
        }
        brackets.push_back({i, in, out});
    }

    // 3. Bisection of every bracket at once.
    for (int iter = 0; iter < 60; ++iter) {
        if (run.StopRequested()) return;
        std::vector<TAcadPoint> mids;
        std::vector<std::size_t> which;
        for (std::size_t b = 0; b < brackets.size(); ++b) {
            if (brackets[b].out - brackets[b].in <= kSolvedTol) continue;
            which.push_back(b);
            mids.push_back(rays[brackets[b].ray].Point((brackets[b].in + brackets[b].out) / 2));
        }
        if (mids.empty()) break;
        const std::vector<double> tm = ExactHours(walls, sun, p, mids, run);
        evaluated += static_cast<int>(mids.size());
        for (std::size_t k = 0; k < which.size(); ++k) {
            TBracket& b = brackets[which[k]];
            const double mid = (b.in + b.out) / 2;
            (tm[k] >= hours - kHoursTol ? b.in : b.out) = mid;
        }
    }
    for (const TBracket& b : brackets) {
        const TRay& r = rays[b.ray];
        const double s = (b.in + b.out) / 2;
        spots.push_back({r.Point(s), r.at, -s, true});
    }
}

// The cells of the equal-time item at or below `hours` (the coarse pre-pass widens the mesh
// around the ground shaded at least that long).
int ExtentItem(double hours) {
    const int i = static_cast<int>(std::floor((hours - ToujiHours(0)) / 0.5 + 1e-9));
    return std::clamp(i, 0, kToujiItemCount - 1);
}

}  // namespace

bool TKiseiResult::Holds() const { return Decided() && limits[0].holds && limits[1].holds; }

bool TKiseiResult::Decided() const {
    return !stopped && !limits[0].reachedEdge && !limits[1].reachedEdge;
}

TKiseiResult CheckKisei(const std::vector<TLineEnt>& walls, const SunModel& sun,
                        const std::array<TKiseiLimit, 2>& limits, const TKiseiParams& p,
                        ToujiGrid& grid, RunContext& run) {
    TKiseiResult result;
    result.meshSize = p.meshSize;
    for (std::size_t i = 0; i < 2; ++i) result.limits[i].hours = limits[i].hours;

    Workspace ws;
    ws.AryTatemono = walls;
    TToujiParams tp;
    tp.kaisi = p.kaisi;
    tp.owari = p.owari;
    tp.takasa = p.takasa;
    tp.hours[static_cast<std::size_t>(ExtentItem(std::min(limits[0].hours, limits[1].hours)))] =
        true;
    const TToujiExtent e = GetToujiHani(ws, sun, tp, grid, run);
    if (run.StopRequested()) {
        result.stopped = true;
        return result;
    }
    result.cell = std::max(e.txmax - e.txmin, e.tymax - e.tymin) / p.meshSize;
    if (!(result.cell > 0)) return result;  // no ground shaded that long: both hold
    const TToujiMesh mesh{e.txmin, e.tymin, result.cell, p.meshSize};
    result.samples = AccumulateTouji(ws, sun, p.kaisi, p.owari, p.stepSeconds, p.takasa, mesh, grid,
                                     run, ToujiCounting::Spans, &result.skipped);
    if (run.StopRequested()) {
        result.stopped = true;
        return result;
    }

    // Longest hours first: tracing lowers the counters of the ground it has taken, to just
    // below its own threshold, which the shorter hours still reach.
    std::array<std::size_t, 2> order{0, 1};
    if (limits[1].hours > limits[0].hours) std::swap(order[0], order[1]);
    for (std::size_t k = 0; k < 2; ++k) {
        const std::size_t i = order[k];
        TKiseiLimitResult& lr = result.limits[i];
        if (k == 1 && limits[i].hours == limits[order[0]].hours) {
            lr.outlines = result.limits[order[0]].outlines;
            lr.reachedEdge = result.limits[order[0]].reachedEdge;
        } else {
            const double threshold =
                ToujiThreshold(limits[i].hours, p.owari - p.kaisi, p.stepSeconds);
            TContourResult traced = TraceToujiOutlines(grid, mesh, threshold, run);
            if (traced.stopped) {
                result.stopped = true;
                return result;
            }
            lr.outlines = std::move(traced.outlines);
            lr.reachedEdge = traced.reachedEdge;
        }
    }

    for (std::size_t i = 0; i < 2; ++i) {
        TKiseiLimitResult& lr = result.limits[i];
        if (lr.outlines.empty() || limits[i].lines.empty()) continue;
        // Solved exactly first: the vertices within kTightCells cells of their line on either
        // side, where the mesh cannot tell in from out, and those near the nearest approach
        // (or the farthest reach beyond). The mesh places outlines up to a cell or two
        // outward, so any other vertex whose mesh clearance falls below the best solved one is
        // solved too, until none does.
        std::vector<TVertexNear> near;
        double nearest = 1e300;
        for (const std::vector<TAcadPoint>& o : lr.outlines) {
            for (const TAcadPoint& v : o) {
                near.push_back({v, NearestOnLines(limits[i].lines, v), false});
                nearest = std::min(nearest, near.back().n.signedDist);
            }
        }
        const double cell = result.cell;
        std::vector<TKiseiSpot> spots;
        std::vector<TRay> rays = RaysOf(
            near,
            [&](double d) {
                return std::fabs(d) < kTightCells * cell || d < nearest + kTightCells * cell;
            },
            cell);
        while (!rays.empty()) {
            lr.rays += static_cast<int>(rays.size());
            SolveRays(walls, sun, p, limits[i].hours, cell, rays, spots, lr.exactPoints, run);
            if (run.StopRequested()) {
                result.stopped = true;
                return result;
            }
            if (spots.empty()) break;
            const double best =
                std::min_element(spots.begin(), spots.end(), [](const auto& a, const auto& b) {
                    return a.clearance < b.clearance;
                })->clearance;
            rays = RaysOf(
                near, [&](double d) { return d < best + cell; }, cell);
        }
        for (const TVertexNear& x : near)
            if (!x.solved) spots.push_back({x.v, x.n.at, x.n.signedDist, false});
        if (spots.empty()) {
            // Every vertex was solved and the exact hours put the outline farther in than
            // every ray looked: the nearest vertex stands for it, its clearance the depth the
            // rays were clear to.
            for (const TVertexNear& x : near) {
                spots.push_back({x.v, x.n.at,
                                 std::max(x.n.signedDist, 0.0) + kRayInsideCells * result.cell,
                                 false});
            }
        }
        lr.tightest = *std::min_element(
            spots.begin(), spots.end(),
            [](const TKiseiSpot& a, const TKiseiSpot& b) { return a.clearance < b.clearance; });
        lr.holds = lr.tightest->clearance >= 0;
    }
    return result;
}

std::vector<std::vector<std::size_t>> KiseiBuildings(const std::vector<TLineEnt>& walls) {
    std::vector<std::size_t> parent(walls.size());
    std::iota(parent.begin(), parent.end(), 0);
    const auto find = [&parent](std::size_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    // Ends that coincide in plan (to a micrometre) join their walls.
    std::map<std::pair<long long, long long>, std::size_t> ends;
    for (std::size_t i = 0; i < walls.size(); ++i) {
        for (const TAcadPoint& q : {walls[i].st, walls[i].ed}) {
            const std::pair<long long, long long> k{std::llround(q.x * 1000),
                                                    std::llround(q.y * 1000)};
            const auto [it, added] = ends.emplace(k, i);
            if (!added) parent[find(i)] = find(it->second);
        }
    }
    std::map<std::size_t, std::size_t> index;
    std::vector<std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < walls.size(); ++i) {
        const std::size_t root = find(i);
        const auto [it, added] = index.emplace(root, groups.size());
        if (added) groups.emplace_back();
        groups[it->second].push_back(i);
    }
    return groups;
}

std::vector<TLineEnt> ShiftTatemono(const std::vector<TLineEnt>& walls,
                                    const std::vector<std::size_t>& building, double metres) {
    std::vector<TLineEnt> shifted = walls;
    const auto lift = [metres](double& z) {
        if (z > 0) z = std::max(0.0, z + metres * 1000);
    };
    for (std::size_t i : building) {
        lift(shifted[i].st.z);
        lift(shifted[i].ed.z);
    }
    return shifted;
}

TKiseiHeadroom KiseiHeadroom(const std::vector<TLineEnt>& walls,
                             const std::vector<std::size_t>& building, double takasa, bool holdsNow,
                             double maxRaiseM,
                             const std::function<bool(const std::vector<TLineEnt>&)>& holds) {
    TKiseiHeadroom h;
    h.holdsNow = holdsNow;
    // Steps of 0.1 m: holds(k) for the building moved by k tenths (up when it holds now, down
    // when it fails); the answer is the last k that keeps the verdict of k = 0 reversed or not.
    const double sign = holdsNow ? 1 : -1;
    const auto verdict = [&](long k) {
        ++h.checks;
        return holds(ShiftTatemono(walls, building, sign * 0.1 * static_cast<double>(k)));
    };
    double zmax = 0;
    for (std::size_t i : building) zmax = std::max({zmax, walls[i].st.z, walls[i].ed.z});
    if (holdsNow) {
        // The largest k that holds: doubling to a k that fails, then bisection.
        const long limit = std::lround(maxRaiseM * 10);
        long good = 0;
        long bad = 1;
        while (verdict(bad)) {
            good = bad;
            if (bad >= limit) {
                h.metres = 0.1 * static_cast<double>(good);
                h.bounded = false;
                return h;
            }
            bad = std::min(bad * 2, limit);
        }
        while (bad - good > 1) {
            const long mid = (good + bad) / 2;
            (verdict(mid) ? good : bad) = mid;
        }
        h.metres = 0.1 * static_cast<double>(good);
        return h;
    }
    // The smallest k that holds: at most the lowering that takes the building under the plane.
    const long limit = std::max(1L, static_cast<long>(std::ceil((zmax - takasa) / 100)));
    if (!verdict(limit)) {
        h.metres = 0.1 * static_cast<double>(limit);
        h.bounded = false;
        return h;
    }
    long bad = 0;
    long good = limit;
    while (good - bad > 1) {
        const long mid = (good + bad) / 2;
        (verdict(mid) ? good : bad) = mid;
    }
    h.metres = 0.1 * static_cast<double>(good);
    return h;
}

std::vector<TKiseiBuildingRoom> KiseiHeadrooms(const std::vector<TLineEnt>& walls,
                                               const SunModel& sun,
                                               const std::array<TKiseiLimit, 2>& limits,
                                               const TKiseiParams& p, bool holdsNow,
                                               ToujiGrid& grid, RunContext& run) {
    // A stopped run answers at once, so the search ends in a few empty steps.
    const auto holds = [&](const std::vector<TLineEnt>& shifted) {
        if (run.StopRequested()) return false;
        return CheckKisei(shifted, sun, limits, p, grid, run).Holds();
    };
    std::vector<TKiseiBuildingRoom> rooms;
    for (std::vector<std::size_t>& b : KiseiBuildings(walls)) {
        if (run.StopRequested()) break;
        TKiseiBuildingRoom room;
        double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
        for (std::size_t i : b) {
            for (const TAcadPoint& q : {walls[i].st, walls[i].ed}) {
                x0 = std::min(x0, q.x);
                y0 = std::min(y0, q.y);
                x1 = std::max(x1, q.x);
                y1 = std::max(y1, q.y);
                room.zmaxM = std::max(room.zmaxM, q.z / 1000);
            }
        }
        room.centre = {(x0 + x1) / 2, (y0 + y1) / 2, 0};
        room.room = KiseiHeadroom(walls, b, p.takasa, holdsNow, 100, holds);
        room.walls = std::move(b);
        rooms.push_back(std::move(room));
    }
    return rooms;
}

namespace {

// Colours of the two limits' lines, outlines and spots: red for 5 m, blue for 10 m; the 10 m
// ones dashed too, so that a picture without colours tells them apart.
constexpr int kLimitColour[2] = {1, 5};
constexpr bool kLimitDashed[2] = {false, true};

// "5 m 4.0Hr 余裕 1.422 m" or "... 超過 17.874 m".
std::string SpotText(int limit, double hours, const TKiseiSpot& s) {
    const std::string head =
        FormatGeneral(kKyoukaiDistances[limit] / 1000) + " m " + FormatFixed(hours, 1) + "Hr ";
    return head + (s.clearance >= 0 ? "余裕 " : "超過 ") +
           FormatFixed(std::abs(s.clearance) / 1000, 3) + " m";
}

// A TEXT in a colour of its own: 62 colour, 10 20 insertion point, 40 height, 1 text, 41 0.8.
void WriteText(DxfWriter& w, const std::string& layer, int colour, double x, double y,
               const std::string& height, const std::string& text) {
    w.Start("TEXT", layer)
        .Group(62, colour)
        .Group(10, x)
        .Group(20, y)
        .Group(40, height)
        .Group(1, text)
        .Add(" 41\r\n0.8");
}

}  // namespace

void WriteKiseiDiagram(DxfList& dxf, const std::vector<std::array<TKyoukaiLine, 2>>& sites,
                       const TKiseiResult& result, double takasa, const std::string& layer,
                       double h, const std::string& textHeight, double kitaDeg) {
    StartDxfFile(dxf);
    DxfWriter w(dxf);
    for (const std::array<TKyoukaiLine, 2>& site : sites) {
        for (std::size_t j = 0; j < 2; ++j) {
            TDxfPolyline head;
            head.colour = kLimitColour[j];
            head.hidden = kLimitDashed[j];
            WriteKyoukaiLine(dxf, site[j], layer, head);
        }
    }
    for (int i = 0; i < 2; ++i) {
        const TKiseiLimitResult& l = result.limits[static_cast<std::size_t>(i)];
        const int colour = kLimitColour[i];
        for (const std::vector<TAcadPoint>& o : l.outlines) {
            TDxfPolyline head;
            head.colour = colour;
            head.hidden = kLimitDashed[i];
            head.elevation = takasa;
            w.Polyline(layer, head);
            for (const TAcadPoint& v : o) w.Vertex(layer, v.x, v.y);
            w.SeqEnd();
            const TAcadPoint at = ToujiLabelPoint(o, kitaDeg);
            WriteText(w, layer, colour, at.x, at.y, textHeight, FormatFixed(l.hours, 1) + "Hr");
        }
        if (!l.tightest) continue;
        const TKiseiSpot& s = *l.tightest;
        TDxfLineStyle style;
        style.colour = colour;
        w.Line(layer, s.outline.x, s.outline.y, s.line.x, s.line.y, style);
        w.Start("CIRCLE", layer)
            .Group(62, colour)
            .Group(10, s.outline.x)
            .Group(20, s.outline.y)
            .Group(30, 0.0)
            .Group(40, 2 * h);
        WriteText(w, layer, colour, s.outline.x + 2 * h, s.outline.y + h, textHeight,
                  SpotText(i, l.hours, s));
    }
}

}  // namespace zuka

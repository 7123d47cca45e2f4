// The region finder behind the host's -BOUNDARY command.
//
// The plan curves of model space (lines, circles, arcs, the sides of 2D and lightweight
// polylines with their bulges, the plan view of 3D polylines) are cut at every crossing and
// at every end point lying on another curve, so that they form a planar graph whose edges are
// exact line pieces and circular arcs. Pieces that repeat one another (a polyline side lying
// on a circle, two lines over each other) are kept once, and pieces that hang free (an end
// that meets nothing) are dropped. Every face of the graph is then walked with its inside on
// the left; the smallest face around the picked point is the region.
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <unordered_map>

#include "cad/host/host_drawing.h"
#include "cad/host/host_geometry.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

// Points closer than this share a vertex, relative to the size of the drawing's curves.
constexpr double kRelativeTol = 1e-7;
// Outgoing directions closer than this (radians) are told apart by their curvature.
constexpr double kAngleTol = 1e-9;
// Largest arc piece in the graph: keeps every bulge finite and the faces' turns clear.
constexpr double kMaxPieceSweep = kPi / 2;
// Step of the arc sampling for the point-in-face test.
constexpr double kSampleStep = kPi / 360;

double NormalizeAngle(double a) {
    a = std::fmod(a, kTwoPi);
    if (a < 0) a += kTwoPi;
    return a;
}

// Sweep of a counter-clockwise arc from start to end, in (0, 2*pi].
double SweepOf(double start, double end) {
    double s = NormalizeAngle(end - start);
    if (s <= 0) s += kTwoPi;
    return s;
}

double Dist(TAcadPoint a, TAcadPoint b) { return std::hypot(a.x - b.x, a.y - b.y); }
double Cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

// A line piece a-b or a counter-clockwise arc about c from angle a0 through sweep (plan).
struct TCurve {
    bool isArc = false;
    TAcadPoint a;
    TAcadPoint b;
    TAcadPoint c;
    double r = 0;
    double a0 = 0;
    double sweep = 0;

    // Plan extent {min x, min y, max x, max y} of the curve's line piece or full circle,
    // widened by pad.
    std::array<double, 4> Box(double pad) const {
        if (isArc) return {c.x - r - pad, c.y - r - pad, c.x + r + pad, c.y + r + pad};
        return {std::min(a.x, b.x) - pad, std::min(a.y, b.y) - pad, std::max(a.x, b.x) + pad,
                std::max(a.y, b.y) + pad};
    }

    // Parameter range: [0, 1] along a line, [0, sweep] along an arc.
    double End() const { return isArc ? sweep : 1; }
    // Length per unit of parameter.
    double Scale() const { return isArc ? r : Dist(a, b); }
    TAcadPoint At(double t) const {
        if (isArc) return {c.x + r * std::cos(a0 + t), c.y + r * std::sin(a0 + t), 0};
        return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), 0};
    }
};

TCurve LineCurve(TAcadPoint a, TAcadPoint b) {
    TCurve k;
    k.a = {a.x, a.y, 0};
    k.b = {b.x, b.y, 0};
    return k;
}

TCurve ArcCurve(TAcadPoint c, double r, double a0, double sweep) {
    TCurve k;
    k.isArc = true;
    k.c = {c.x, c.y, 0};
    k.r = r;
    k.a0 = NormalizeAngle(a0);
    k.sweep = sweep;
    return k;
}

// The parameter of p on the curve when p lies on it within tol (clamped to the range).
std::optional<double> ParamOn(const TCurve& k, TAcadPoint p, double tol) {
    if (k.isArc) {
        if (std::fabs(Dist(p, k.c) - k.r) > tol) return std::nullopt;
        double t = NormalizeAngle(std::atan2(p.y - k.c.y, p.x - k.c.x) - k.a0);
        const double slack = tol / k.r;
        if (t > k.sweep + slack) {
            if (kTwoPi - t > slack) return std::nullopt;
            t = 0;  // just before the start
        }
        return std::min(t, k.sweep);
    }
    const double dx = k.b.x - k.a.x;
    const double dy = k.b.y - k.a.y;
    const double len2 = dx * dx + dy * dy;
    if (len2 == 0) return std::nullopt;
    const double t = ((p.x - k.a.x) * dx + (p.y - k.a.y) * dy) / len2;
    const double len = std::sqrt(len2);
    if (t < -tol / len || t > 1 + tol / len) return std::nullopt;
    if (std::fabs(Cross(dx, dy, p.x - k.a.x, p.y - k.a.y)) / len > tol) return std::nullopt;
    return std::clamp(t, 0.0, 1.0);
}

// Points where the supporting line or circle of u meets that of v (at most two).
std::vector<TAcadPoint> Meetings(const TCurve& u, const TCurve& v, double tol) {
    std::vector<TAcadPoint> out;
    if (!u.isArc && !v.isArc) {
        const double d1x = u.b.x - u.a.x, d1y = u.b.y - u.a.y;
        const double d2x = v.b.x - v.a.x, d2y = v.b.y - v.a.y;
        const double den = Cross(d1x, d1y, d2x, d2y);
        const double scale = std::hypot(d1x, d1y) * std::hypot(d2x, d2y);
        if (scale == 0 || std::fabs(den) <= 1e-12 * scale) return out;  // parallel
        const double t = Cross(v.a.x - u.a.x, v.a.y - u.a.y, d2x, d2y) / den;
        out.push_back(u.At(t));
        return out;
    }
    if (u.isArc != v.isArc) {
        const TCurve& line = u.isArc ? v : u;
        const TCurve& arc = u.isArc ? u : v;
        const double len = Dist(line.a, line.b);
        if (len == 0) return out;
        const double ux = (line.b.x - line.a.x) / len, uy = (line.b.y - line.a.y) / len;
        const double s = (arc.c.x - line.a.x) * ux + (arc.c.y - line.a.y) * uy;
        const TAcadPoint foot{line.a.x + s * ux, line.a.y + s * uy, 0};
        const double d = Dist(foot, arc.c);
        if (d > arc.r + tol) return out;
        const double h = std::sqrt(std::max(0.0, arc.r * arc.r - d * d));
        out.push_back({foot.x + h * ux, foot.y + h * uy, 0});
        if (h > 0) out.push_back({foot.x - h * ux, foot.y - h * uy, 0});
        return out;
    }
    const double d = Dist(u.c, v.c);
    if (d <= tol || d > u.r + v.r + tol || d < std::fabs(u.r - v.r) - tol) return out;
    const double along = (d * d + u.r * u.r - v.r * v.r) / (2 * d);
    const double h = std::sqrt(std::max(0.0, u.r * u.r - along * along));
    const double ex = (v.c.x - u.c.x) / d, ey = (v.c.y - u.c.y) / d;
    const TAcadPoint m{u.c.x + along * ex, u.c.y + along * ey, 0};
    out.push_back({m.x - h * ey, m.y + h * ex, 0});
    if (h > 0) out.push_back({m.x + h * ey, m.y - h * ex, 0});
    return out;
}

// The plan curves of one entity; none for kinds and placements a region cannot use.
void CurvesOf(const TEntityData& d, std::vector<TCurve>& out) {
    const TAcadPoint n = d.normal;
    const bool flat = n.x == 0 && n.y == 0 && n.z != 0;
    const bool flipped = flat && n.z < 0;  // seen from below: x mirrored, turns reversed
    const auto world = [&](TAcadPoint p) { return flipped ? OcsToWcs(p, n) : p; };
    const auto arc = [&](TAcadPoint c, double r, double a0, double sweep) {
        if (!(r > 0)) return;
        if (flipped)
            out.push_back(ArcCurve(world(c), r, kPi - (a0 + sweep), sweep));
        else
            out.push_back(ArcCurve(c, r, a0, sweep));
    };
    switch (d.kind) {
        case EntKind::Line:
            out.push_back(LineCurve(d.p1, d.p2));
            return;
        case EntKind::Circle:
            if (flat) arc(d.p1, d.radius, 0, kTwoPi);
            return;
        case EntKind::Arc:
            if (flat) arc(d.p1, d.radius, d.start, SweepOf(d.start, d.end));
            return;
        case EntKind::LwPolyline:
        case EntKind::Polyline2d: {
            if (!flat) return;
            const std::size_t count = d.vertices.size();
            const std::size_t sides = count < 2 ? 0 : d.closed ? count : count - 1;
            for (std::size_t i = 0; i < sides; ++i) {
                const TAcadPoint a = d.vertices[i];
                const TAcadPoint b = d.vertices[(i + 1) % count];
                const double bulge = i < d.bulges.size() ? d.bulges[i] : 0;
                if (bulge == 0 || Dist(a, b) == 0) {
                    out.push_back(LineCurve(world(a), world(b)));
                    continue;
                }
                const TArcGeom g = BulgeToArc(a, b, bulge);
                arc(g.center, g.radius, g.start, SweepOf(g.start, g.end));
            }
            return;
        }
        case EntKind::Polyline3d: {
            const std::size_t count = d.vertices.size();
            const std::size_t sides = count < 2 ? 0 : d.closed ? count : count - 1;
            for (std::size_t i = 0; i < sides; ++i)
                out.push_back(LineCurve(d.vertices[i], d.vertices[(i + 1) % count]));
            return;
        }
        default:
            return;
    }
}

// One piece of a curve between two graph vertices.
struct TPiece {
    const TCurve* curve;
    double t0;
    double t1;
    int v0;
    int v1;
    bool alive = true;
};

// A piece walked forwards (even index) or backwards (odd index).
struct THalf {
    int from;
    int to;
    double angle;      // direction of leaving `from`
    double curvature;  // signed: positive when turning left
};

class RegionGraph {
public:
    RegionGraph(std::vector<TCurve> curves, double tol) : curves_(std::move(curves)), tol_(tol) {}

    std::optional<TEntityData> RegionAround(TAcadPoint pick) {
        Split();
        DropRepeatsAndDangles();
        BuildHalves();
        return SmallestFaceAround(pick);
    }

private:
    // Grid cells of side 2 * tol hold the vertices, so a point's neighbours within tol are
    // in its cell or the eight around it.
    long long CellKey(long long cx, long long cy) const {
        return cx * 73856093LL ^ cy * 19349663LL;
    }

    int VertexAt(TAcadPoint p) {
        const double cell = 2 * tol_;
        const long long cx = static_cast<long long>(std::floor(p.x / cell));
        const long long cy = static_cast<long long>(std::floor(p.y / cell));
        for (long long dx = -1; dx <= 1; ++dx)
            for (long long dy = -1; dy <= 1; ++dy) {
                const auto it = grid_.find(CellKey(cx + dx, cy + dy));
                if (it == grid_.end()) continue;
                for (const int v : it->second)
                    if (Dist(vertices_[v], p) <= tol_) return v;
            }
        vertices_.push_back(p);
        const int v = static_cast<int>(vertices_.size()) - 1;
        grid_[CellKey(cx, cy)].push_back(v);
        return v;
    }

    // Cuts every curve at the points where it meets another and at the marks of the others
    // lying on it. A curve's marks are its ends and, on an arc, the points that keep its
    // pieces within kMaxPieceSweep; sharing them makes pieces that lie over one another
    // (an arc over a circle) equal, so that one of them is dropped.
    void Split() {
        const std::size_t n = curves_.size();
        std::vector<std::vector<double>> cuts(n);
        std::vector<std::vector<TAcadPoint>> marks(n);
        for (std::size_t i = 0; i < n; ++i) {
            const TCurve& k = curves_[i];
            cuts[i] = {0, k.End()};
            if (k.isArc) {
                const int parts = static_cast<int>(std::ceil(k.sweep / kMaxPieceSweep));
                for (int p = 1; p < parts; ++p) cuts[i].push_back(k.sweep * p / parts);
            }
            for (const double t : cuts[i]) marks[i].push_back(k.At(t));
        }
        const auto addOn = [&](std::size_t i, TAcadPoint p) {
            if (const std::optional<double> t = ParamOn(curves_[i], p, tol_)) cuts[i].push_back(*t);
        };
        std::vector<std::array<double, 4>> boxes(n);
        for (std::size_t i = 0; i < n; ++i) boxes[i] = curves_[i].Box(tol_);
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = i + 1; j < n; ++j) {
                const std::array<double, 4>& u = boxes[i];
                const std::array<double, 4>& v = boxes[j];
                if (u[0] > v[2] || v[0] > u[2] || u[1] > v[3] || v[1] > u[3]) continue;
                for (const TAcadPoint& p : Meetings(curves_[i], curves_[j], tol_)) {
                    const std::optional<double> ti = ParamOn(curves_[i], p, tol_);
                    const std::optional<double> tj = ParamOn(curves_[j], p, tol_);
                    if (!ti || !tj) continue;
                    cuts[i].push_back(*ti);
                    cuts[j].push_back(*tj);
                }
                for (const TAcadPoint& p : marks[j]) addOn(i, p);
                for (const TAcadPoint& p : marks[i]) addOn(j, p);
            }
        }
        for (std::size_t i = 0; i < n; ++i) {
            const TCurve& k = curves_[i];
            const double scale = k.Scale();
            if (!(scale > tol_)) continue;
            std::vector<double>& t = cuts[i];
            std::sort(t.begin(), t.end());
            std::vector<double> kept;
            for (double v : t)
                if (kept.empty() || (v - kept.back()) * scale > tol_) kept.push_back(v);
            if (kept.size() > 1 && (k.End() - kept.back()) * scale <= tol_) kept.back() = k.End();
            for (std::size_t p = 0; p + 1 < kept.size(); ++p) {
                const int v0 = VertexAt(k.At(kept[p]));
                const int v1 = VertexAt(k.At(kept[p + 1]));
                if (v0 == v1) continue;
                pieces_.push_back({&k, kept[p], kept[p + 1], v0, v1});
            }
        }
    }

    TAcadPoint Middle(const TPiece& p) const { return p.curve->At((p.t0 + p.t1) / 2); }

    void DropRepeatsAndDangles() {
        std::unordered_map<long long, std::vector<std::size_t>> byEnds;
        for (std::size_t i = 0; i < pieces_.size(); ++i) {
            const long long lo = std::min(pieces_[i].v0, pieces_[i].v1);
            const long long hi = std::max(pieces_[i].v0, pieces_[i].v1);
            std::vector<std::size_t>& same = byEnds[lo * (1LL << 31) + hi];
            for (const std::size_t j : same)
                if (Dist(Middle(pieces_[i]), Middle(pieces_[j])) <= tol_) {
                    pieces_[i].alive = false;
                    break;
                }
            if (pieces_[i].alive) same.push_back(i);
        }
        for (bool changed = true; changed;) {
            changed = false;
            std::vector<int> degree(vertices_.size(), 0);
            for (const TPiece& p : pieces_)
                if (p.alive) ++degree[p.v0], ++degree[p.v1];
            for (TPiece& p : pieces_)
                if (p.alive && (degree[p.v0] < 2 || degree[p.v1] < 2)) {
                    p.alive = false;
                    changed = true;
                }
        }
    }

    THalf HalfOf(std::size_t h) const {
        const TPiece& p = pieces_[h / 2];
        const bool forward = h % 2 == 0;
        const TCurve& k = *p.curve;
        THalf half{forward ? p.v0 : p.v1, forward ? p.v1 : p.v0, 0, 0};
        if (k.isArc) {
            const double at = k.a0 + (forward ? p.t0 : p.t1);
            half.angle = NormalizeAngle(at + (forward ? kHalfPi : -kHalfPi));
            half.curvature = (forward ? 1 : -1) / k.r;
        } else {
            const double dir = std::atan2(k.b.y - k.a.y, k.b.x - k.a.x);
            half.angle = NormalizeAngle(forward ? dir : dir + kPi);
        }
        return half;
    }

    // Signed sweep of a half along its walking direction (0 for a line piece).
    double TurnOf(std::size_t h) const {
        const TPiece& p = pieces_[h / 2];
        if (!p.curve->isArc) return 0;
        return (h % 2 == 0 ? 1 : -1) * (p.t1 - p.t0);
    }

    // Outgoing halves of every vertex, counter-clockwise; a tie in direction goes to the one
    // turning more to the right first.
    void BuildHalves() {
        halves_.clear();
        around_.assign(vertices_.size(), {});
        for (std::size_t h = 0; h < 2 * pieces_.size(); ++h) {
            halves_.push_back(HalfOf(h));
            if (pieces_[h / 2].alive) around_[halves_.back().from].push_back(static_cast<int>(h));
        }
        for (std::vector<int>& list : around_)
            std::sort(list.begin(), list.end(), [this](int x, int y) {
                const THalf& a = halves_[x];
                const THalf& b = halves_[y];
                if (std::fabs(a.angle - b.angle) > kAngleTol) return a.angle < b.angle;
                return a.curvature < b.curvature;
            });
    }

    // The half after h on the face to the left of h: at h's end, the nearest turn clockwise
    // from the way back.
    int NextOnFace(int h) const {
        const std::vector<int>& list = around_[halves_[h].to];
        const int back = h ^ 1;
        const auto it = std::find(list.begin(), list.end(), back);
        const std::size_t pos = static_cast<std::size_t>(it - list.begin());
        return list[(pos + list.size() - 1) % list.size()];
    }

    TAcadPoint StartOf(int h) const {
        const TPiece& p = pieces_[h / 2];
        return p.curve->At(h % 2 == 0 ? p.t0 : p.t1);
    }

    double SignedArea(const std::vector<int>& face) const {
        double area = 0;
        for (const int h : face) {
            const TAcadPoint a = StartOf(h);
            const TAcadPoint b = StartOf(h ^ 1);
            area += Cross(a.x, a.y, b.x, b.y) / 2;
            const double turn = TurnOf(h);
            if (turn != 0) {
                const double r = pieces_[h / 2].curve->r;
                area += r * r / 2 * (turn - std::sin(turn));
            }
        }
        return area;
    }

    bool Contains(const std::vector<int>& face, TAcadPoint q) const {
        std::vector<TAcadPoint> ring;
        for (const int h : face) {
            const TPiece& p = pieces_[h / 2];
            const double t0 = h % 2 == 0 ? p.t0 : p.t1;
            const double t1 = h % 2 == 0 ? p.t1 : p.t0;
            const int steps =
                p.curve->isArc
                    ? std::max(1, static_cast<int>(std::ceil((p.t1 - p.t0) / kSampleStep)))
                    : 1;
            for (int s = 0; s < steps; ++s) ring.push_back(p.curve->At(t0 + (t1 - t0) * s / steps));
        }
        bool inside = false;
        for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
            const TAcadPoint& a = ring[i];
            const TAcadPoint& b = ring[j];
            if ((a.y > q.y) != (b.y > q.y) && q.x < (b.x - a.x) * (q.y - a.y) / (b.y - a.y) + a.x)
                inside = !inside;
        }
        return inside;
    }

    std::optional<TEntityData> SmallestFaceAround(TAcadPoint pick) {
        std::vector<bool> walked(halves_.size(), false);
        std::optional<std::vector<int>> best;
        double bestArea = 0;
        for (std::size_t start = 0; start < halves_.size(); ++start) {
            if (walked[start] || !pieces_[start / 2].alive) continue;
            std::vector<int> face;
            int h = static_cast<int>(start);
            while (!walked[h] && face.size() <= halves_.size()) {
                walked[h] = true;
                face.push_back(h);
                h = NextOnFace(h);
            }
            if (h != static_cast<int>(start)) continue;  // not a closed walk
            const double area = SignedArea(face);
            if (area <= tol_ * tol_) continue;  // an outer side or a face without area
            if ((!best || area < bestArea) && Contains(face, pick)) {
                best = face;
                bestArea = area;
            }
        }
        if (!best) return std::nullopt;
        TEntityData d;
        d.kind = EntKind::LwPolyline;
        d.closed = true;
        for (const int hh : *best) {
            d.vertices.push_back(StartOf(hh));
            d.bulges.push_back(std::tan(TurnOf(hh) / 4));
        }
        return d;
    }

    std::vector<TCurve> curves_;
    double tol_;
    std::vector<TAcadPoint> vertices_;
    std::vector<TPiece> pieces_;
    std::vector<THalf> halves_;
    std::vector<std::vector<int>> around_;
    std::unordered_map<long long, std::vector<int>> grid_;
};

}  // namespace

std::optional<TEntityData> FindBoundary(const HostDrawing& drawing, TAcadPoint pick) {
    std::vector<TCurve> curves;
    for (const HostEntityPtr& e : drawing.Model().Items()) {
        const TEntityData& d = e->Data();
        const TLayer* layer = drawing.FindLayer(d.layer);
        if (layer && layer->color < 0) continue;  // an entity on a layer turned off
        CurvesOf(d, curves);
    }
    if (curves.empty()) return std::nullopt;
    // The size the tolerance follows: the curves' extent or their distance from the origin,
    // whichever is larger (coordinates far out carry fewer significant digits).
    std::array<double, 4> all = curves[0].Box(0);
    for (const TCurve& k : curves) {
        const std::array<double, 4> b = k.Box(0);
        all = {std::min(all[0], b[0]), std::min(all[1], b[1]), std::max(all[2], b[2]),
               std::max(all[3], b[3])};
    }
    const double extent = std::max({all[2] - all[0], all[3] - all[1], std::fabs(all[0]),
                                    std::fabs(all[1]), std::fabs(all[2]), std::fabs(all[3])});
    const double tol = std::max(extent * kRelativeTol, 1e-9);
    return RegionGraph(std::move(curves), tol).RegionAround(pick);
}

}  // namespace zuka

#include "sky/sky_check.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>

#include "base/number.h"
#include "geom/primitives.h"

namespace zuka {

namespace {

// Messages naming inputs the rules cannot place.
constexpr const char* kNoSite = "敷地の輪郭がありません (3 点以上の閉じた線が必要です)．";
constexpr const char* kNoRoad = "道路に面する敷地の辺がありません";
constexpr const char* kBadWidth = "道路の幅員は 0 より大きい数で指定してください";
constexpr const char* kBadSetback = "後退距離は 0 以上の数で指定してください";
constexpr const char* kBentFrontage =
    "道路に面する辺が一直線に並んでいません (折れた道路は扱えません)";
constexpr const char* kTwoRoads =
    "三以上の道路 (令132条の区域分け) にはまだ対応していません．道路は二つまで指定してください．";
constexpr const char* kBadFar = "容積率は 0 より大きい数で指定してください";
constexpr const char* kPlanInSetback =
    "計画建築物が適合建築物の後退距離より道路境界に近くにあります";
constexpr const char* kKindNotInZone = "この用途地域には適用されない斜線です";

constexpr double kMm = 1000;      // mm per metre
constexpr double kLineTol = 1.0;  // mm: frontage pieces closer than this to one line are one
constexpr double kTinyAngle = 1e-12;

struct TZoneRow {
    const char* shortName;
    const char* longName;
    SkyZoneGroup group;
};
constexpr TZoneRow kZones[] = {
    {"1低", "第一種低層住居専用地域", SkyZoneGroup::LowRise},
    {"2低", "第二種低層住居専用地域", SkyZoneGroup::LowRise},
    {"1中高", "第一種中高層住居専用地域", SkyZoneGroup::MidHigh},
    {"2中高", "第二種中高層住居専用地域", SkyZoneGroup::MidHigh},
    {"田園", "田園住居地域", SkyZoneGroup::LowRise},
    {"1住", "第一種住居地域", SkyZoneGroup::Residential},
    {"2住", "第二種住居地域", SkyZoneGroup::Residential},
    {"準住", "準住居地域", SkyZoneGroup::Residential},
    {"近商", "近隣商業地域", SkyZoneGroup::Commercial},
    {"商業", "商業地域", SkyZoneGroup::Commercial},
    {"準工", "準工業地域", SkyZoneGroup::Industrial},
    {"工業", "工業地域", SkyZoneGroup::Industrial},
    {"工専", "工業専用地域", SkyZoneGroup::Industrial},
    {"無指定", "用途地域の指定のない区域", SkyZoneGroup::Unzoned},
};

bool ResidentialGroup(SkyZoneGroup g) {
    return g == SkyZoneGroup::LowRise || g == SkyZoneGroup::MidHigh ||
           g == SkyZoneGroup::Residential;
}

// ---- plan geometry -------------------------------------------------------------------------

struct TVec {
    double x = 0;
    double y = 0;
};
TVec Sub(TAcadPoint a, TAcadPoint b) { return {a.x - b.x, a.y - b.y}; }
double Dot(TVec a, TVec b) { return a.x * b.x + a.y * b.y; }
double Cross(TVec a, TVec b) { return a.x * b.y - a.y * b.x; }
double Len(TVec a) { return std::hypot(a.x, a.y); }
TAcadPoint Move(TAcadPoint p, TVec d, double t) { return {p.x + d.x * t, p.y + d.y * t, p.z}; }

bool InsidePolygon(const std::vector<TAcadPoint>& poly, TAcadPoint q) {
    bool in = false;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const TAcadPoint& a = poly[i];
        const TAcadPoint& b = poly[j];
        if ((a.y > q.y) != (b.y > q.y) && q.x < (b.x - a.x) * (q.y - a.y) / (b.y - a.y) + a.x)
            in = !in;
    }
    return in;
}

// The part of the polygon where f(q) >= 0, f linear (Sutherland-Hodgman).
template <class F>
std::vector<TAcadPoint> ClipPolygon(const std::vector<TAcadPoint>& poly, F f) {
    std::vector<TAcadPoint> out;
    const std::size_t n = poly.size();
    for (std::size_t i = 0; i < n; ++i) {
        const TAcadPoint& a = poly[i];
        const TAcadPoint& b = poly[(i + 1) % n];
        const double fa = f(a);
        const double fb = f(b);
        if (fa >= 0) out.push_back(a);
        if ((fa >= 0) != (fb >= 0)) {
            const double t = fa / (fa - fb);
            out.push_back({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, 0});
        }
    }
    // Drop repeated vertices.
    std::vector<TAcadPoint> clean;
    for (const TAcadPoint& p : out)
        if (clean.empty() || !SamePoint2D(clean.back(), p, kSamePointTol)) clean.push_back(p);
    while (clean.size() > 1 && SamePoint2D(clean.front(), clean.back(), kSamePointTol))
        clean.pop_back();
    if (clean.size() < 3 || std::fabs(SignedArea(clean)) < 1) return {};
    return clean;
}

// The part of a top edge where f(q) <= 0, f linear in plan; heights follow the edge.
template <class F>
std::optional<TLineEnt> ClipEdge(TLineEnt e, F f) {
    const double fa = f(e.st);
    const double fb = f(e.ed);
    if (fa > 0 && fb > 0) return std::nullopt;
    if (fa <= 0 && fb <= 0) return e;
    const double t = fa / (fa - fb);
    const TAcadPoint x{e.st.x + (e.ed.x - e.st.x) * t, e.st.y + (e.ed.y - e.st.y) * t,
                       e.st.z + (e.ed.z - e.st.z) * t};
    if (fa > 0)
        e.st = x;
    else
        e.ed = x;
    return e;
}

// ---- sky factors -----------------------------------------------------------------------------

// A top edge seen from the point: plan relative to it, heights above its level (>= 0).
struct TSeenEdge {
    TVec a;
    TVec b;
    double za = 0;
    double zb = 0;
    double from = 0;   // azimuth of a, [0, 2pi)
    double sweep = 0;  // counter-clockwise from `from` to b's azimuth, (0, pi)
    bool flipped = false;
};

double Norm2Pi(double a) {
    a = std::fmod(a, kTwoPi);
    if (a < 0) a += kTwoPi;
    return a;
}

std::vector<TSeenEdge> SeeEdges(const std::vector<TLineEnt>& tops, TAcadPoint p) {
    std::vector<TSeenEdge> out;
    for (const TLineEnt& e : tops) {
        TSeenEdge s;
        s.a = Sub(e.st, p);
        s.b = Sub(e.ed, p);
        s.za = e.st.z - p.z;
        s.zb = e.ed.z - p.z;
        if (s.za <= 0 && s.zb <= 0) continue;
        if (s.za < 0 || s.zb < 0) {  // only the part above the point's level obstructs
            const double t = s.za / (s.za - s.zb);
            const TVec x{s.a.x + (s.b.x - s.a.x) * t, s.a.y + (s.b.y - s.a.y) * t};
            if (s.za < 0) {
                s.a = x;
                s.za = 0;
            } else {
                s.b = x;
                s.zb = 0;
            }
        }
        const TVec d{s.b.x - s.a.x, s.b.y - s.a.y};
        if (Len(d) < 1e-6) continue;
        // An edge on a line through the point is seen edge-on: it covers no azimuth.
        if (std::fabs(Cross(d, s.a)) / Len(d) < 1e-6) continue;
        double from = Norm2Pi(std::atan2(s.a.y, s.a.x));
        double to = Norm2Pi(std::atan2(s.b.y, s.b.x));
        double sweep = Norm2Pi(to - from);
        if (sweep > kPi) {
            std::swap(s.a, s.b);
            std::swap(s.za, s.zb);
            std::swap(from, to);
            sweep = kTwoPi - sweep;
        }
        if (sweep < kTinyAngle) continue;
        s.from = from;
        s.sweep = sweep;
        out.push_back(s);
    }
    return out;
}

// sin^2 of the edge's elevation at azimuth phi (inside its span).
double EdgeSin2(const TSeenEdge& e, double phi) {
    const TVec u{std::cos(phi), std::sin(phi)};
    const TVec d{e.b.x - e.a.x, e.b.y - e.a.y};
    const double den = Cross(u, d);
    if (std::fabs(den) < 1e-300) return 0;
    const double s = std::clamp(-Cross(u, e.a) / den, 0.0, 1.0);
    const TVec q{e.a.x + d.x * s, e.a.y + d.y * s};
    const double r = Dot(u, q);
    const double z = e.za + (e.zb - e.za) * s;
    if (z <= 0 || r <= 0) return 0;
    return z * z / (z * z + r * r);
}

// The azimuth intervals between the edges' end azimuths, each with the edges that cover it.
struct TInterval {
    double lo = 0;
    double hi = 0;
    std::vector<const TSeenEdge*> edges;
};

bool Covers(const TSeenEdge& e, double phi) {
    const double rel = Norm2Pi(phi - e.from);
    return rel > 0 && rel < e.sweep;
}

std::vector<TInterval> Intervals(const std::vector<TSeenEdge>& edges) {
    std::vector<double> cuts;
    for (const TSeenEdge& e : edges) {
        cuts.push_back(e.from);
        cuts.push_back(Norm2Pi(e.from + e.sweep));
    }
    std::sort(cuts.begin(), cuts.end());
    std::vector<double> unique;
    for (double c : cuts)
        if (unique.empty() || c - unique.back() > 1e-12) unique.push_back(c);
    std::vector<TInterval> out;
    if (unique.empty()) return out;
    for (std::size_t i = 0; i < unique.size(); ++i) {
        TInterval iv;
        iv.lo = unique[i];
        iv.hi = i + 1 < unique.size() ? unique[i + 1] : unique[0] + kTwoPi;
        if (iv.hi - iv.lo < 1e-12) continue;
        const double mid = 0.5 * (iv.lo + iv.hi);
        for (const TSeenEdge& e : edges)
            if (Covers(e, mid)) iv.edges.push_back(&e);
        if (!iv.edges.empty()) out.push_back(std::move(iv));
    }
    return out;
}

double MaxSin2(const TInterval& iv, double phi) {
    double m = 0;
    for (const TSeenEdge* e : iv.edges) m = std::max(m, EdgeSin2(*e, phi));
    return m;
}

template <class F>
double Simpson(const F& f, double a, double b, double fa, double fm, double fb, double whole,
               double eps, int depth) {
    const double m = 0.5 * (a + b);
    const double lm = 0.5 * (a + m);
    const double rm = 0.5 * (m + b);
    const double flm = f(lm);
    const double frm = f(rm);
    const double left = (m - a) / 6 * (fa + 4 * flm + fm);
    const double right = (b - m) / 6 * (fm + 4 * frm + fb);
    if (depth <= 0 || std::fabs(left + right - whole) <= 15 * eps)
        return left + right + (left + right - whole) / 15;
    return Simpson(f, a, m, fa, flm, fm, left, eps / 2, depth - 1) +
           Simpson(f, m, b, fm, frm, fb, right, eps / 2, depth - 1);
}

// A point of the map outline at azimuth phi, radius kSkyCheckRadius.
TVec MapPoint(const TInterval& iv, double phi) {
    const double rho = kSkyCheckRadius * std::sqrt(std::max(0.0, 1 - MaxSin2(iv, phi)));
    return {rho * std::cos(phi), rho * std::sin(phi)};
}

// The largest n . p(phi) on [a, b]: the sky part of the wedge is convex, so the values rise
// to one top and fall; a coarse search, then golden sections around the best.
double Support(const TInterval& iv, TVec n, double a, double b) {
    constexpr int kCoarse = 16;
    double best = -1e300;
    int bestK = 0;
    for (int k = 0; k <= kCoarse; ++k) {
        const double v = Dot(n, MapPoint(iv, a + (b - a) * k / kCoarse));
        if (v > best) {
            best = v;
            bestK = k;
        }
    }
    double lo = a + (b - a) * std::max(0, bestK - 1) / kCoarse;
    double hi = a + (b - a) * std::min(kCoarse, bestK + 1) / kCoarse;
    constexpr double g = 0.6180339887498949;
    double x1 = hi - g * (hi - lo);
    double x2 = lo + g * (hi - lo);
    double f1 = Dot(n, MapPoint(iv, x1));
    double f2 = Dot(n, MapPoint(iv, x2));
    for (int it = 0; it < 40; ++it) {
        if (f1 < f2) {
            lo = x1;
            x1 = x2;
            f1 = f2;
            x2 = lo + g * (hi - lo);
            f2 = Dot(n, MapPoint(iv, x2));
        } else {
            hi = x2;
            x2 = x1;
            f2 = f1;
            x1 = hi - g * (hi - lo);
            f1 = Dot(n, MapPoint(iv, x1));
        }
    }
    return std::max({best, f1, f2});
}

}  // namespace

std::optional<SkyCorners> FindSkyCorners(std::string_view name) {
    if (name == "垂直") return SkyCorners::Perpendicular;
    if (name == "沿線") return SkyCorners::AlongLine;
    return std::nullopt;
}

std::string SkyCornersName(SkyCorners c) {
    return c == SkyCorners::AlongLine ? "沿線" : "垂直";
}

std::string SkyKindName(SkyKind k) {
    switch (k) {
        case SkyKind::Road:
            return "道路";
        case SkyKind::Adjacent:
            return "隣地";
        case SkyKind::North:
            return "北側";
    }
    return "";
}

std::optional<TSkyZone> FindSkyZone(std::string_view name) {
    for (const TZoneRow& z : kZones)
        if (name == z.shortName || name == z.longName) return TSkyZone{z.shortName, z.group};
    return std::nullopt;
}

std::string SkyZoneNames() {
    std::string s;
    for (const TZoneRow& z : kZones) s += (s.empty() ? "" : " ") + std::string(z.shortName);
    return s;
}

double RoadSlope(const TSkyZone& z) {
    return ResidentialGroup(z.group) || z.group == SkyZoneGroup::Unzoned ? 1.25 : 1.5;
}

double EffectiveFar(const TSkyZone& z, double farPct, double widthM) {
    if (widthM >= 12) return farPct;
    return std::min(farPct, widthM * (ResidentialGroup(z.group) ? 40 : 60));
}

double ApplicationDistanceM(const TSkyZone& z, double farPct) {
    struct Step {
        double upTo;
        double l;
    };
    const auto pick = [farPct](std::initializer_list<Step> steps, double beyond) {
        for (const Step& s : steps)
            if (farPct <= s.upTo + 1e-9) return s.l;
        return beyond;
    };
    switch (z.group) {
        case SkyZoneGroup::Commercial:
            return pick({{400, 20}, {600, 25}, {800, 30}, {1000, 35}, {1100, 40}, {1200, 45}}, 50);
        case SkyZoneGroup::Unzoned:
            return pick({{200, 20}, {300, 25}}, 30);
        default:
            return pick({{200, 20}, {300, 25}, {400, 30}}, 35);
    }
}

bool TwelveMetreRule(const TSkyZone& z, double widthM) {
    return (z.group == SkyZoneGroup::MidHigh || z.group == SkyZoneGroup::Residential) &&
           widthM >= 12;
}

std::vector<SkyKind> ZoneKinds(const TSkyZone& z) {
    std::vector<SkyKind> k{SkyKind::Road};
    if (z.group != SkyZoneGroup::LowRise) k.push_back(SkyKind::Adjacent);
    if (z.group == SkyZoneGroup::LowRise || z.group == SkyZoneGroup::MidHigh)
        k.push_back(SkyKind::North);
    return k;
}

double CeilTo3(double v) { return std::ceil(v * 1000 - 1e-9) / 1000; }
double FloorTo3(double v) { return std::floor(v * 1000 + 1e-9) / 1000; }

std::vector<double> EvenRow(double length, double maxSpacing) {
    const int n = std::max(1, static_cast<int>(std::ceil(length / maxSpacing - 1e-9)));
    std::vector<double> out;
    for (int i = 0; i <= n; ++i) out.push_back(length * i / n);
    return out;
}

double ExactSkyFactor(const std::vector<TLineEnt>& tops, TAcadPoint p) {
    const std::vector<TSeenEdge> edges = SeeEdges(tops, p);
    double integral = 0;
    for (const TInterval& iv : Intervals(edges)) {
        const auto f = [&iv](double phi) { return MaxSin2(iv, phi); };
        // Cut wide intervals so that a narrow bump cannot slip between the first samples.
        const int pieces = std::max(1, static_cast<int>(std::ceil((iv.hi - iv.lo) / 0.05)));
        for (int k = 0; k < pieces; ++k) {
            const double a = iv.lo + (iv.hi - iv.lo) * k / pieces;
            const double b = iv.lo + (iv.hi - iv.lo) * (k + 1) / pieces;
            const double fa = f(a);
            const double fb = f(b);
            const double fm = f(0.5 * (a + b));
            const double whole = (b - a) / 6 * (fa + 4 * fm + fb);
            integral += Simpson(f, a, b, fa, fm, fb, whole, 1e-13, 40);
        }
    }
    return 100 * (1 - integral / kTwoPi);
}

TSkyTriangleFigures TriangleSkyFactors(const std::vector<TLineEnt>& tops, TAcadPoint p,
                                       double divisionDeg) {
    const std::vector<TSeenEdge> edges = SeeEdges(tops, p);
    const double r = kSkyCheckRadius;
    const double circle = kPi * r * r;
    const double division = divisionDeg * kPi / 180;
    double coveredIn = 0;   // the buildings' projected area by inscribed triangles, mm^2
    double coveredOut = 0;  // by circumscribed ones
    TSkyTriangleFigures fig;
    for (const TInterval& iv : Intervals(edges)) {
        const double theta = iv.hi - iv.lo;
        const int m = static_cast<int>(std::trunc(theta / division + 1));
        for (int k = 0; k < m; ++k) {
            const double a = iv.lo + theta * k / m;
            const double b = iv.lo + theta * (k + 1) / m;
            const double w = b - a;
            const double sector = 0.5 * r * r * w;
            const TVec pa = MapPoint(iv, a);
            const TVec pb = MapPoint(iv, b);
            const double inner = FloorTo3(0.5 * Cross(pa, pb));
            coveredIn += sector - std::max(0.0, inner);
            // The base moved out parallel to the chord until it touches the outline.
            TVec n{pb.y - pa.y, -(pb.x - pa.x)};
            const double nl = Len(n);
            double outer = sector;
            if (nl > 1e-12) {
                n = {n.x / nl, n.y / nl};
                if (Dot(n, pa) < 0) n = {-n.x, -n.y};
                const double s = Support(iv, n, a, b);
                const TVec ua{std::cos(a), std::sin(a)};
                const TVec ub{std::cos(b), std::sin(b)};
                const double da = Dot(n, ua);
                const double db = Dot(n, ub);
                if (da > 1e-12 && db > 1e-12 && s > 0) {
                    const double ta = s / da;
                    const double tb = s / db;
                    outer = std::min(sector, CeilTo3(0.5 * ta * tb * std::sin(w)));
                }
            }
            coveredOut += sector - outer;
            ++fig.triangles;
        }
    }
    fig.inscribed = 100 * (circle - coveredIn) / circle;
    fig.circumscribed = 100 * (circle - std::max(0.0, coveredOut)) / circle;
    return fig;
}

bool TSkyCheckResult::Passes() const {
    if (refusal) return false;
    for (const TSkyCheckRow& r : rows)
        if (!r.pass) return false;
    return true;
}

namespace {

// One slant row: a boundary (or frontage) line, the direction into the site, the conforming
// building's height function and the points.
struct TRowPlan {
    SkyKind kind = SkyKind::Road;
    std::string name;
    TAcadPoint a;  // the boundary's ends
    TAcadPoint b;
    TVec inward;  // unit, perpendicular to a-b, into the site
};

// The frontage pieces as one straight edge; none when they are not on one line.
std::optional<std::pair<TAcadPoint, TAcadPoint>> FrontageLine(const std::vector<TLineEnt>& f) {
    if (f.empty()) return std::nullopt;
    // The two points farthest apart span the frontage; every piece must lie on their line.
    std::vector<TAcadPoint> pts;
    for (const TLineEnt& e : f) {
        pts.push_back(e.st);
        pts.push_back(e.ed);
    }
    double best = -1;
    TAcadPoint a, b;
    for (std::size_t i = 0; i < pts.size(); ++i)
        for (std::size_t j = i + 1; j < pts.size(); ++j)
            if (const double d = Dist2D(pts[i], pts[j]); d > best) {
                best = d;
                a = pts[i];
                b = pts[j];
            }
    if (best < kLineTol) return std::nullopt;
    const TVec d = Sub(b, a);
    for (const TAcadPoint& q : pts)
        if (std::fabs(Cross(d, Sub(q, a))) / Len(d) > kLineTol) return std::nullopt;
    a.z = b.z = 0;
    return std::make_pair(a, b);
}

// The unit normal of a-b that points into the site, probed beside the middle of each frontage
// piece (a frontage may have gaps, a notch of the site); none when neither side is the site.
std::optional<TVec> InwardNormal(const std::vector<TAcadPoint>& site, TAcadPoint a, TAcadPoint b,
                                 const std::vector<TLineEnt>& pieces) {
    const TVec d = Sub(b, a);
    const double l = Len(d);
    const TVec n{-d.y / l, d.x / l};
    for (const TLineEnt& piece : pieces) {
        const TAcadPoint mid{(piece.st.x + piece.ed.x) / 2, (piece.st.y + piece.ed.y) / 2, 0};
        for (const double probe : {1.0, 10.0, 100.0}) {
            const bool left = InsidePolygon(site, Move(mid, n, probe));
            const bool right = InsidePolygon(site, Move(mid, n, -probe));
            if (left != right) return left ? n : TVec{-n.x, -n.y};
        }
    }
    return std::nullopt;
}

// The walls of footprint pieces whose vertices carry their heights in z. Clipping a site that
// is not convex can leave a piece in parts joined by edges along the clip line across ground
// outside the site (a notch); such a stretch is no wall, and it would make the conforming
// building larger than it is, so each edge is cut where it crosses the site's outline and only
// its stretches on the site are kept.
std::vector<TLineEnt> FootprintWalls(const std::vector<std::vector<TAcadPoint>>& pieces,
                                     const std::vector<TAcadPoint>& site) {
    const auto onSite = [&site](TAcadPoint m) {
        if (InsidePolygon(site, m)) return true;
        for (std::size_t i = 0; i < site.size(); ++i)
            if (DistToSegment2D(m, site[i], site[(i + 1) % site.size()]) <= kLineTol) return true;
        return false;
    };
    const auto at = [](TAcadPoint a, TAcadPoint b, double t) {
        return TAcadPoint{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
    };
    std::vector<TLineEnt> walls;
    for (const auto& poly : pieces)
        for (std::size_t i = 0; i < poly.size(); ++i) {
            const TAcadPoint a = poly[i];
            const TAcadPoint b = poly[(i + 1) % poly.size()];
            const TVec d = Sub(b, a);
            std::vector<double> cuts{0, 1};
            for (std::size_t k = 0; k < site.size(); ++k) {
                const TAcadPoint p = site[k];
                const TVec e = Sub(site[(k + 1) % site.size()], p);
                const double den = Cross(d, e);
                if (std::fabs(den) < 1e-12) continue;
                const double t = Cross(Sub(p, a), e) / den;
                const double u = Cross(Sub(p, a), d) / den;
                if (t > 0 && t < 1 && u >= 0 && u <= 1) cuts.push_back(t);
            }
            std::sort(cuts.begin(), cuts.end());
            for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
                if (cuts[k + 1] - cuts[k] < 1e-9) continue;
                const TAcadPoint m = at(a, b, (cuts[k] + cuts[k + 1]) / 2);
                if (!onSite(m)) continue;
                TLineEnt w;
                w.st = at(a, b, cuts[k]);
                w.ed = at(a, b, cuts[k + 1]);
                walls.push_back(w);
            }
        }
    return walls;
}

void Measure(TSkyCheckRow& row, const std::vector<TLineEnt>& conformWalls,
             const std::vector<TLineEnt>& plannedWalls, double margin) {
    row.conformExact = ExactSkyFactor(conformWalls, row.at);
    row.plannedExact = ExactSkyFactor(plannedWalls, row.at);
    row.marginPct = margin;
    row.passExact = row.plannedExact >= row.conformExact + margin;
    for (const double div : kSkyCheckDivisionsDeg) {
        row.divisionDeg = div;
        const TSkyTriangleFigures c = TriangleSkyFactors(conformWalls, row.at, div);
        const TSkyTriangleFigures q = TriangleSkyFactors(plannedWalls, row.at, div);
        row.conformTriangles = c.circumscribed;
        row.plannedTriangles = q.inscribed;
        row.conform = CeilTo3(c.circumscribed);
        row.planned = FloorTo3(q.inscribed);
        row.difference = RoundByFormat(row.planned - row.conform, 3);
        row.pass = row.difference >= margin - 1e-9;
        // Finer divisions only where the exact values pass: elsewhere they cannot change it.
        if (row.pass || !row.passExact) break;
    }
}

struct TBuiltRow {
    TSkyConforming conforming;
    std::vector<TSkyCheckRow> points;
    std::vector<TLineEnt> planned;
};

// The site ring counter-clockwise, collinear vertices dropped.
std::vector<TAcadPoint> CounterClockwise(std::vector<TAcadPoint> ring) {
    if (SignedArea(ring) < 0) std::reverse(ring.begin(), ring.end());
    bool dropped = true;
    while (dropped && ring.size() > 3) {
        dropped = false;
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const TAcadPoint& a = ring[(i + ring.size() - 1) % ring.size()];
            const TAcadPoint& b = ring[i];
            const TAcadPoint& c = ring[(i + 1) % ring.size()];
            const TVec ac = Sub(c, a);
            if (Len(ac) > 0 && std::fabs(Cross(ac, Sub(b, a))) / Len(ac) < kLineTol &&
                Dot(Sub(b, a), ac) > 0 && Dot(Sub(c, b), ac) > 0) {
                ring.erase(ring.begin() + static_cast<std::ptrdiff_t>(i));
                dropped = true;
                break;
            }
        }
    }
    return ring;
}

// Whether the site edge a-b lies on a road's frontage line.
bool OnFrontage(const std::vector<TSkyRoad>& roads, TAcadPoint a, TAcadPoint b) {
    for (const TSkyRoad& r : roads)
        for (const TLineEnt& f : r.frontage)
            if (DistToSegment2D(a, f.st, f.ed) <= kLineTol &&
                DistToSegment2D(b, f.st, f.ed) <= kLineTol)
                return true;
    return false;
}

// Adjacent land (令135条の7): per boundary not facing a road, the points on the line R/a
// outside it (16 m / 12.4 m) at most R/2a apart at the site's ground, the conforming building
// the site part between the perpendiculars from the boundary's ends, its top R + a x.
// North (令135条の8): per boundary facing north, the points on the boundary moved due north by
// 4 m / 8 m at most 1 m / 2 m apart, the conforming building the site part between the lines due
// north through the boundary's ends, its top 5 m / 10 m + 1.25 y (y the true-north distance).
void BuildBoundaryRows(const TSkyCheckInput& in, SkyKind kind, std::vector<TBuiltRow>& built) {
    const bool high =
        in.zone.group == SkyZoneGroup::Commercial || in.zone.group == SkyZoneGroup::Industrial;
    const bool midHigh = in.zone.group == SkyZoneGroup::MidHigh;
    double rise = 0, slope = 1.25, offset = 0, spacing = 0;
    if (kind == SkyKind::Adjacent) {
        rise = high ? 31 * kMm : 20 * kMm;
        slope = high ? 2.5 : 1.25;
        offset = rise / slope;  // 16 m, 12.4 m
        spacing = offset / 2;   // 8 m, 6.2 m
    } else {
        rise = midHigh ? 10 * kMm : 5 * kMm;
        offset = rise / slope;  // 4 m, 8 m
        spacing = offset / 4;   // 1 m, 2 m
    }
    const double northRad = in.northDeg * kPi / 180;
    const TVec north{std::cos(northRad), std::sin(northRad)};
    const std::vector<TAcadPoint> ring = CounterClockwise(in.site);
    int rowNo = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const TAcadPoint a = ring[i];
        const TAcadPoint b = ring[(i + 1) % ring.size()];
        if (OnFrontage(in.roads, a, b)) continue;
        const TVec d = Sub(b, a);
        const double len = Len(d);
        if (len < kLineTol) continue;
        const TVec u{d.x / len, d.y / len};
        const TVec nIn{-u.y, u.x};  // the site lies to the left of a counter-clockwise ring
        if (kind == SkyKind::North && !(Dot(nIn, north) < -1e-9)) continue;
        TBuiltRow br;
        br.conforming.kind = kind;
        br.conforming.row = SkyKindName(kind) + std::to_string(++rowNo);
        br.conforming.slope = slope;
        // x: the distance into the site (perpendicular for adjacent land, due south for north);
        // s: where the point projects onto the boundary, 0 at a and 1 at b.
        const TVec into = kind == SkyKind::Adjacent ? nIn : TVec{-north.x, -north.y};
        const double cross = Cross(d, into);
        const auto x = [&](TAcadPoint q) { return Cross(d, Sub(q, a)) / cross; };
        const auto s = [&](TAcadPoint q) { return Cross(Sub(q, a), into) / Cross(d, into); };
        std::vector<TAcadPoint> region = ClipPolygon(ring, [&](TAcadPoint q) { return x(q); });
        region = ClipPolygon(region, [&](TAcadPoint q) { return s(q); });
        region = ClipPolygon(region, [&](TAcadPoint q) { return 1 - s(q); });
        if (region.empty()) continue;
        for (TAcadPoint& q : region) q.z = rise + slope * std::max(0.0, x(q));
        br.conforming.footprints = {region};
        br.conforming.walls = FootprintWalls(br.conforming.footprints, in.site);
        br.planned = in.planned;
        const TAcadPoint start = Move(a, into, -offset);  // out, or due north
        int no = 0;
        for (const double off : EvenRow(len, spacing)) {
            TSkyCheckRow row;
            row.kind = kind;
            row.row = br.conforming.row;
            row.no = ++no;
            row.at = Move(start, u, off);
            row.at.z = 0;
            br.points.push_back(row);
        }
        built.push_back(std::move(br));
    }
}

// A linear function of the plan point, >= 0 inside; a piece of a region is where all hold.
using TConstraint = std::function<double(TAcadPoint)>;
using TPiece = std::vector<TConstraint>;

struct TRoadFrame {
    TAcadPoint a;  // the frontage's first end; the site lies to the left of a -> b
    TVec u;        // unit along the frontage
    TVec nIn;      // unit into the site
    double len = 0;
};

// One road row: the road, the width it counts with, the region's pieces, the row's name.
struct TRoadTask {
    std::size_t road = 0;
    double widthM = 0;
    std::vector<TPiece> pieces;
    std::string name;
};

struct TRoadGeometry {
    TRoadFrame frame;
    double widthM = 0;  // as it counts (令132条: the widest road's in region 1)
    double setbackM = 0;
    double applicationM = 0;
    double lift = 0;      // the points' lift above the road centre, mm
    double siteLift = 0;  // the site ground above the road centre, mm
};

// The road row of one region: the frontage part facing the region, the points on the deemed
// opposite line at most W / 2 apart, the conforming building over the region within the
// application range, the planned building cut to the region and the range. A refusal when the
// planned building stands nearer the road than the setback; no points when the slant does not
// reach the region.
std::optional<std::string> BuildRoadRow(const TSkyCheckInput& in, const TRoadGeometry& g,
                                        const std::vector<TPiece>& pieces, const std::string& name,
                                        TBuiltRow& br) {
    const TRoadFrame& f = g.frame;
    br.conforming.kind = SkyKind::Road;
    br.conforming.row = name;
    const double w = g.widthM * kMm;
    const double s = g.setbackM * kMm;
    const double a = RoadSlope(in.zone);
    const double l = g.applicationM * kMm;
    br.conforming.applicationM = g.applicationM;
    br.conforming.slope = a;
    // e: distance into the site from the road boundary; d = W + s + e from the deemed line.
    const auto e = [&](TAcadPoint q) { return Dot(Sub(q, f.a), f.nIn); };
    const auto t = [&](TAcadPoint q) { return Dot(Sub(q, f.a), f.u); };
    // 令135条の6第1項二号: the planned building keeps at least the conforming building's
    // setback from the road boundary.
    if (s > 0) {
        for (const TLineEnt& wall : in.planned) {
            if (!(wall.st.z > 0 || wall.ed.z > 0)) continue;
            if (std::min(e(wall.st), e(wall.ed)) < s - kLineTol)
                return std::string(kPlanInSetback) + " (" + name + ", 後退距離 " +
                       FormatGeneral(g.setbackM) + " m)．";
        }
    }
    const double eMax = l - w - s;       // the application range's far side
    if (eMax <= s) return std::nullopt;  // the slant does not reach the site: no points
    // The frontage part facing the region: the span of t on the boundary line (e = 0).
    double t0 = 1e300, t1 = -1e300;
    for (const TPiece& piece : pieces) {
        double lo = 0, hi = f.len;
        for (const TConstraint& c : piece) {
            const double c0 = c(f.a);
            const double c1 = c(Move(f.a, f.u, f.len));
            if (c0 < 0 && c1 < 0) {
                lo = 1;
                hi = 0;
                break;
            }
            const double tx = c0 == c1 ? 0 : f.len * c0 / (c0 - c1);
            if (c0 < 0) lo = std::max(lo, tx);
            if (c1 < 0) hi = std::min(hi, tx);
        }
        if (hi - lo > kLineTol) {
            t0 = std::min(t0, lo);
            t1 = std::max(t1, hi);
        }
    }
    if (!(t1 > t0)) return std::nullopt;
    if (in.corners == SkyCorners::AlongLine) {
        // The row and the building reach the outermost site point of the region inside the
        // application range, on either side of the frontage.
        for (const TPiece& piece : pieces) {
            std::vector<TAcadPoint> band = in.site;
            for (const TConstraint& c : piece) band = ClipPolygon(band, c);
            band = ClipPolygon(band, [&](TAcadPoint q) { return e(q) - s; });
            band = ClipPolygon(band, [&](TAcadPoint q) { return eMax - e(q); });
            for (const TAcadPoint& q : band) {
                t0 = std::min(t0, t(q));
                t1 = std::max(t1, t(q));
            }
        }
    }
    const bool step = TwelveMetreRule(in.zone, g.widthM);
    // 56条3・4項: 1.5 from 1.25 (W + 2s) beyond the deemed line.
    const double eStep = 1.25 * (w + 2 * s) - w - s;
    const auto height = [&](TAcadPoint q, bool upper) {
        return g.lift - g.siteLift + (upper ? 1.5 : a) * (w + s + e(q));
    };
    for (const TPiece& piece : pieces) {
        std::vector<TAcadPoint> region = in.site;
        for (const TConstraint& c : piece) region = ClipPolygon(region, c);
        region = ClipPolygon(region, [&](TAcadPoint q) { return e(q) - s; });
        region = ClipPolygon(region, [&](TAcadPoint q) { return eMax - e(q); });
        region = ClipPolygon(region, [&](TAcadPoint q) { return t(q) - t0; });
        region = ClipPolygon(region, [&](TAcadPoint q) { return t1 - t(q); });
        if (region.empty()) continue;
        if (step && eStep < eMax) {
            std::vector<TAcadPoint> lower =
                ClipPolygon(region, [&](TAcadPoint q) { return eStep - e(q); });
            std::vector<TAcadPoint> upper =
                ClipPolygon(region, [&](TAcadPoint q) { return e(q) - eStep; });
            for (TAcadPoint& q : lower) q.z = height(q, false);
            for (TAcadPoint& q : upper) q.z = height(q, true);
            if (!lower.empty()) br.conforming.footprints.push_back(lower);
            if (!upper.empty()) br.conforming.footprints.push_back(upper);
            br.conforming.step = br.conforming.step || !upper.empty();
        } else {
            for (TAcadPoint& q : region) q.z = height(q, false);
            br.conforming.footprints.push_back(region);
        }
        // The planned building within the region and the application range.
        for (const TLineEnt& wall : in.planned) {
            std::optional<TLineEnt> c = ClipEdge(wall, [&](TAcadPoint q) { return e(q) - eMax; });
            for (const TConstraint& k : piece) {
                if (!c) break;
                c = ClipEdge(*c, [&](TAcadPoint q) { return -k(q); });
            }
            if (c) br.planned.push_back(*c);
        }
    }
    if (br.conforming.footprints.empty()) return std::nullopt;
    br.conforming.walls = FootprintWalls(br.conforming.footprints, in.site);
    // The points: the frontage part's ends on the deemed opposite line, at most W / 2 apart.
    const TAcadPoint start = Move(Move(f.a, f.u, t0), f.nIn, -(w + s));
    int no = 0;
    for (const double off : EvenRow(t1 - t0, w / 2)) {
        TSkyCheckRow row;
        row.kind = SkyKind::Road;
        row.row = name;
        row.no = ++no;
        row.at = Move(start, f.u, off);
        row.at.z = g.lift - g.siteLift;
        row.heightM = g.lift / kMm;
        br.points.push_back(row);
    }
    return std::nullopt;
}

}  // namespace

TSkyCheckResult CheckSkyFactor(const TSkyCheckInput& in) {
    TSkyCheckResult res;
    const auto refuse = [&res](std::string why) {
        res.refusal = std::move(why);
        return res;
    };
    if (in.site.size() < 3 || std::fabs(SignedArea(in.site)) < 1) return refuse(kNoSite);
    if (!(in.farPct > 0)) return refuse(kBadFar);
    const std::vector<SkyKind> zoneKinds = ZoneKinds(in.zone);
    std::vector<SkyKind> kinds = in.kinds.empty() ? zoneKinds : in.kinds;
    for (SkyKind k : kinds)
        if (std::find(zoneKinds.begin(), zoneKinds.end(), k) == zoneKinds.end())
            return refuse(std::string(kKindNotInZone) + ": " + SkyKindName(k) + " (" +
                          in.zone.name + ")");
    const bool wantRoad = std::find(kinds.begin(), kinds.end(), SkyKind::Road) != kinds.end();
    if (wantRoad && in.roads.empty()) return refuse(std::string(kNoRoad) + "．");
    if (in.roads.size() > 2) return refuse(kTwoRoads);
    for (std::size_t i = 0; i < in.roads.size(); ++i) {
        const TSkyRoad& r = in.roads[i];
        const std::string which = " (道路" + std::to_string(i + 1) + ")";
        if (!(r.widthM > 0)) return refuse(kBadWidth + which + "．");
        if (!(r.setbackM >= 0)) return refuse(kBadSetback + which + "．");
        if (r.frontage.empty()) return refuse(kNoRoad + which + "．");
        if (!FrontageLine(r.frontage)) return refuse(kBentFrontage + which + "．");
    }

    const double siteLift = in.roadLevelM * kMm;  // the site ground above the road centre
    // 令135条の2: a site 1 m or more above the road: the road is deemed raised by (H - 1) / 2.
    const double lift = std::max(0.0, (siteLift - kMm) / 2);
    res.notes.push_back(in.corners == SkyCorners::AlongLine
                            ? "端部の扱い: 沿線 (算定位置と適合建築物は適用距離内の敷地の最も外側の点まで)"
                            : "端部の扱い: 垂直 (算定位置と適合建築物は間口の端からの垂線の間)");
    res.notes.push_back(
        "判定: 計画建築物 (内接三斜, 切り捨て) ≥ 適合建築物 (外接三斜, 切り上げ) + 安全率 " +
        FormatFixed(in.marginPct, 3) + " %");

    std::vector<TBuiltRow> built;
    for (SkyKind kind : kinds) {
        if (kind != SkyKind::Road) {
            BuildBoundaryRows(in, kind, built);
            continue;
        }
        // Each road's frame: its frontage's ends with the site on the left, the inward normal.
        std::vector<TRoadFrame> frames;
        for (std::size_t i = 0; i < in.roads.size(); ++i) {
            auto ends = *FrontageLine(in.roads[i].frontage);
            const auto inward =
                InwardNormal(in.site, ends.first, ends.second, in.roads[i].frontage);
            if (!inward)
                return refuse(std::string(kNoRoad) + " (道路" + std::to_string(i + 1) + ")．");
            if (Cross(Sub(ends.second, ends.first), *inward) < 0)
                std::swap(ends.first, ends.second);
            const TVec along = Sub(ends.second, ends.first);
            const double len = Len(along);
            frames.push_back({ends.first, {along.x / len, along.y / len}, *inward, len});
        }
        // The widest road decides the FAR limit (52条2項).
        std::size_t widest = 0;
        for (std::size_t i = 1; i < in.roads.size(); ++i)
            if (in.roads[i].widthM > in.roads[widest].widthM) widest = i;
        const double wideM = in.roads[widest].widthM;
        const double lM = ApplicationDistanceM(in.zone, EffectiveFar(in.zone, in.farPct, wideM));
        std::vector<TRoadTask> tasks;
        if (in.roads.size() == 1) {
            tasks.push_back({0, in.roads[0].widthM, {TPiece{}}, "道路1"});
        } else {
            // 令132条 with two roads: within min(2A, 35 m) of the widest road A, or more than
            // 10 m from the other road's centre line, both roads count as A wide (区域1); the
            // rest counts the other road alone at its own width (区域2).
            const std::size_t other = 1 - widest;
            const TRoadFrame fa = frames[widest];
            const TRoadFrame fb = frames[other];
            const double bandA = std::min(2 * wideM, 35.0) * kMm;
            const double farB = 10 * kMm - in.roads[other].widthM * kMm / 2;
            const TConstraint nearA = [fa, bandA](TAcadPoint q) {
                return bandA - Dot(Sub(q, fa.a), fa.nIn);
            };
            const TConstraint beyondA = [fa, bandA](TAcadPoint q) {
                return Dot(Sub(q, fa.a), fa.nIn) - bandA;
            };
            const TConstraint farFromB = [fb, farB](TAcadPoint q) {
                return Dot(Sub(q, fb.a), fb.nIn) - farB;
            };
            const TConstraint nearB = [fb, farB](TAcadPoint q) {
                return farB - Dot(Sub(q, fb.a), fb.nIn);
            };
            const std::vector<TPiece> region1{{nearA}, {beyondA, farFromB}};
            const std::vector<TPiece> region2{{beyondA, nearB}};
            const std::string a = "道路" + std::to_string(widest + 1);
            const std::string b = "道路" + std::to_string(other + 1);
            tasks.push_back({widest, wideM, region1, a + "-区域1"});
            tasks.push_back({other, wideM, region1, b + "-区域1"});
            tasks.push_back({other, in.roads[other].widthM, region2, b + "-区域2"});
            res.notes.push_back("二つの道路: 令132条の区域1 (" + a + " から " +
                                FormatGeneral(bandA / kMm) + " m 以内, または " + b +
                                " の中心線から 10 m を超える部分) では両道路を幅員 " +
                                FormatGeneral(wideM) + " m とみなし, 区域2 は " + b + " のみ");
        }
        for (const TRoadTask& task : tasks) {
            const TSkyRoad& road = in.roads[task.road];
            TRoadGeometry g;
            g.frame = frames[task.road];
            g.widthM = task.widthM;
            g.setbackM = road.setbackM;
            g.applicationM = lM;
            g.lift = lift;
            g.siteLift = siteLift;
            TBuiltRow br;
            if (auto why = BuildRoadRow(in, g, task.pieces, task.name, br)) return refuse(*why);
            if (!br.points.empty()) built.push_back(std::move(br));
        }
    }

    for (TBuiltRow& br : built) {
        for (TSkyCheckRow& row : br.points)
            Measure(row, br.conforming.walls, br.planned, in.marginPct);
        br.conforming.planned = br.planned;
        res.conforming.push_back(br.conforming);
        res.rows.insert(res.rows.end(), br.points.begin(), br.points.end());
    }
    // 近接点: per kind, the point where planned - conforming - margin is smallest.
    for (SkyKind kind : {SkyKind::Road, SkyKind::Adjacent, SkyKind::North}) {
        TSkyCheckRow* best = nullptr;
        for (TSkyCheckRow& r : res.rows)
            if (r.kind == kind && (!best || r.difference < best->difference - 1e-12)) best = &r;
        if (best) best->closest = true;
    }
    return res;
}

}  // namespace zuka

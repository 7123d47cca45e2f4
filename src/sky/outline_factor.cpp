#include "sky/outline_factor.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "base/number.h"
#include "cad/bridge.h"
#include "geom/outline.h"
#include "geom/primitives.h"
#include "sky/sky_map.h"

namespace zuka {
namespace {

constexpr double kCornerLimit = 3.1101767270538954;     // 178.2°: straighter is no corner
constexpr double kDivisionAngle = 0.17453292519943295;  // 10°: widest triangle apex
constexpr double kInsideFactor = 5e-6;                  // aT = R * 5e-6
constexpr TAcadPoint kOrigin{};

struct TCorner {
    TAcadPoint pt;
    int key = 0;
};

// An angle in [0, 2*pi) folded into [0, pi].
double Fold(double a) { return a > kPi ? kTwoPi - a : a; }

// The first crossing, in outline order, of the segment from the centre to `end`, z = 0.
// A ray through a vertex of the outline can miss both segments meeting there by rounding (the
// strict test takes a touch at a segment's end but not at its start); only when the strict
// test finds nothing, a crossing within 1e-5 of both segments is taken, again in order.
bool FirstCrossing(const std::vector<TLineEnt>& outline, TAcadPoint end, TAcadPoint& x,
                   const TLineEnt** crossed = nullptr) {
    for (int pass = 0; pass < 2; ++pass) {
        for (const TLineEnt& s : outline) {
            bool hit = false;
            if (pass == 0) {
                hit = CrossPoint(kOrigin, end, s.st, s.ed, true, x);
            } else {
                hit = CrossPoint(kOrigin, end, s.st, s.ed, false, x) &&
                      IsOnSegment(x, kOrigin, end) && IsOnSegment(x, s.st, s.ed);
            }
            if (hit) {
                x.z = 0;
                if (crossed != nullptr) *crossed = &s;
                return true;
            }
        }
    }
    return false;
}

// The outline's corners: joints (the last segment joined to the first as well) turning by
// less than 178.2° that lie inside the circle; a joint that turns back on itself counts.
std::vector<TCorner> FindCorners(const std::vector<TLineEnt>& outline, double r, double aT) {
    std::vector<TCorner> corners;
    const std::size_t n = outline.size();
    for (std::size_t i = 0; i < n; ++i) {
        const TLineEnt& s = outline[i];
        const TLineEnt& next = outline[(i + 1) % n];
        const double angle = Fold(TurnAngle(s.st, s.ed, next.ed, false));
        if (angle < kCornerLimit && Dist2D(kOrigin, s.ed) + aT < r) corners.push_back({s.ed, 0});
    }
    return corners;
}

// Puts the corners in sector order (ending at B) and returns the outermost pair's angle A-O-B.
double OrderCorners(std::vector<TCorner>& corners) {
    double best = -1;
    std::size_t ia = 0;
    std::size_t ib = 0;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        for (std::size_t j = 0; j < corners.size(); ++j) {
            if (i == j) continue;
            const double u = Fold(TurnAngle(corners[i].pt, kOrigin, corners[j].pt, false));
            if (u > best) {
                best = u;
                ia = i;
                ib = j;
            }
        }
    }
    TAcadPoint a = corners[ia].pt;
    TAcadPoint b = corners[ib].pt;
    if (TurnAngle(a, kOrigin, b, false) > TurnAngle(b, kOrigin, a, false)) std::swap(a, b);

    const std::size_t n = corners.size();
    std::size_t first = 0;
    while (first < n && !SamePoint2D(corners[first].pt, b, kSamePointTol)) ++first;
    for (std::size_t k = 0; k < n; ++k) corners[(first + k) % n].key = static_cast<int>(k);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            if (corners[i].key < corners[j].key) std::swap(corners[i], corners[j]);
        }
    }
    return Fold(TurnAngle(a, kOrigin, b, false));
}

// Corners with the points that split every span between consecutive corners into equal
// angles of at most 10°, each found where its ray from the centre first meets the outline.
std::vector<TAcadPoint> DivisionPoints(const std::vector<TCorner>& corners,
                                       const std::vector<TLineEnt>& outline, double reach) {
    std::vector<TAcadPoint> pts;
    for (std::size_t i = 0; i + 1 < corners.size(); ++i) {
        const TAcadPoint c = corners[i].pt;
        const double theta = Fold(TurnAngle(c, kOrigin, corners[i + 1].pt, false));
        const int m = static_cast<int>(theta / kDivisionAngle + 1);
        pts.push_back(c);
        for (int k = 1; k < m; ++k) {
            const double dir = Angle2P(kOrigin, c) + theta * k / m;
            TAcadPoint x;
            if (FirstCrossing(outline, PolarPoint(kOrigin, dir, reach), x)) pts.push_back(x);
        }
    }
    pts.push_back(corners.back().pt);
    return pts;
}

// The conforming adjustment: the base q-p moves parallel to itself out to where the ray
// through its midpoint meets the outline, and its ends slide along the rays O-q and O-p.
void MoveBaseToOutline(const std::vector<TLineEnt>& outline, double r, double reach, TAcadPoint& q,
                       TAcadPoint& p) {
    const TAcadPoint m{(q.x + p.x) / 2, (q.y + p.y) / 2, 0};
    TAcadPoint hit;
    const TLineEnt* seg = nullptr;
    if (!FirstCrossing(outline, PolarPoint(kOrigin, Angle2P(kOrigin, m), reach), hit, &seg)) {
        return;
    }
    const TAcadPoint normalEnd{m.x - (p.y - q.y), m.y + (p.x - q.x), 0};
    TAcadPoint x;
    if (!CrossPoint(seg->st, seg->ed, m, normalEnd, false, x)) return;
    const double shift = Dist2D(x, m);
    if (!(shift > kSamePointTol && shift < reach)) return;
    const TAcadPoint along{x.x + (p.x - q.x), x.y + (p.y - q.y), 0};
    TAcadPoint moved;
    if (CrossPoint(kOrigin, q, x, along, false, moved) && Dist2D(kOrigin, moved) <= r) q = moved;
    if (CrossPoint(kOrigin, p, x, along, false, moved) && Dist2D(kOrigin, moved) <= r) p = moved;
    if (Dist2D(kOrigin, p) > Dist2D(kOrigin, q)) std::swap(q, p);
}

// The triangles O-q-p between consecutive division points, q the farther point; heights of
// 0.1 or less, or of the 10° arc or more, are not counted.
std::vector<TSansya> MakeTriangles(const std::vector<TAcadPoint>& pts,
                                   const std::vector<TLineEnt>& outline, double r, double reach,
                                   bool conforming) {
    const double maxHeight = r * kTwoPi / 36;
    std::vector<TSansya> triangles;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        TAcadPoint q = pts[i];
        TAcadPoint p = pts[i + 1];
        if (Dist2D(kOrigin, p) > Dist2D(kOrigin, q)) std::swap(q, p);
        if (conforming) MoveBaseToOutline(outline, r, reach, q, p);
        const TAcadPoint normalEnd{p.x - q.y, p.y + q.x, 0};  // p + the normal of O-q
        TAcadPoint foot;
        if (!CrossPoint(kOrigin, q, p, normalEnd, false, foot)) continue;
        const double h = Dist2D(p, foot);
        if (!(h > 0.1 && h < maxHeight)) continue;
        TSansya t;
        t.no = static_cast<int>(triangles.size()) + 1;
        t.teihen = Dist2D(kOrigin, q);
        t.takasa = h;
        triangles.push_back(t);
    }
    return triangles;
}

// The sky factor of a triangle set in percent: the sector less the triangles (paper mm², each
// triangle rounded as the table shows it) is the covered area.
double SkyFactor(const std::vector<TSansya>& triangles, double scale, double circle,
                 double sector) {
    double sum = 0;
    for (const TSansya& t : triangles) {
        const double b = RoundByFormat(t.teihen / scale, 5);
        const double hh = RoundByFormat(t.takasa / scale * 0.5, 5);
        sum += RoundByFormat(b * hh, 3);
    }
    const double covered = RoundByFormat(sector - sum, 3);
    return (circle - covered) / circle * 100;
}

}  // namespace

double MentakaToMm(std::string_view mentaka) { return ParseDouble(mentaka).value_or(0) * 1000; }

int TenkuRecalcType(double radiusA, double radiusB) { return radiusA > radiusB ? 0 : 1; }

bool GetTenkuLine(Workspace& ws, const TTenkuRituParams& p, RunContext* progress) {
    const double r = p.radius * p.scale;
    const double g = kHalfPi - p.kitaDeg * kPi / 180;
    ws.AryLine.clear();
    ProjectTenkuzu(ws.AryTatemono, p.point, p.mentakaMm, r, g, ws, nullptr, progress);
    if (ws.AryLine.size() <= 2) return false;
    return TraceTenkuOutline(ws, progress);
}

double PolygonArea(const std::vector<TAcadPoint>& pts) {
    double twice = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const TAcadPoint& a = pts[i];
        const TAcadPoint& b = pts[(i + 1) % pts.size()];
        twice += a.x * b.y - b.x * a.y;
    }
    return std::fabs(twice) / 2;
}

std::optional<double> MeasureTenkuArea(Application& app, Document& doc, const std::string& layer,
                                       TAcadPoint shift, const std::vector<TAcadPoint>& pts) {
    EnsureLayer(app, layer);
    std::vector<double> xy;
    for (const TAcadPoint& q : pts) {
        xy.push_back(q.x + shift.x);
        xy.push_back(q.y + shift.y);
    }
    EntityPtr poly = doc.ModelSpace().AddLightWeightPolyline(xy);
    if (!poly) return std::nullopt;
    poly->SetLayer(layer);
    poly->SetClosed(true);
    const double area = poly->Area();
    poly->Delete();
    return area;
}

bool GetTenkuRitu(Workspace& ws, const TTenkuRituParams& p, double& naisetu, double& gaisetu,
                  double& areacmd, const TenkuAreaFn& cadArea) {
    const double r = p.radius * p.scale;
    const double aT = r * kInsideFactor;
    const double reach = r - aT;
    const double paperR = r / p.scale;
    const double circle = RoundByFormat(paperR * paperR * kPi, 3);
    naisetu = 0;
    gaisetu = 0;

    double area = 0;
    if (ws.AryLine.size() >= 3 && cadArea) {
        std::vector<TAcadPoint> pts;
        for (const TLineEnt& s : ws.AryLine) pts.push_back(s.st);
        if (const std::optional<double> a = cadArea(pts)) {
            area = RoundByFormat(*a / (p.scale * p.scale), 3);
        }
    }
    areacmd = RoundByFormat((circle - area) / circle * 100, 3);

    bool ok = false;
    std::vector<TCorner> corners = FindCorners(ws.AryLine, r, aT);
    if (corners.size() >= 2) {
        const double thetaDeg = RoundByFormat(OrderCorners(corners) * kRadToDeg, 3);
        const double sector = paperR * paperR * kPi * thetaDeg / 360;
        const std::vector<TAcadPoint> pts = DivisionPoints(corners, ws.AryLine, reach);
        const std::vector<TSansya> inner = MakeTriangles(pts, ws.AryLine, r, reach, false);
        const std::vector<TSansya> outer = MakeTriangles(pts, ws.AryLine, r, reach, true);
        naisetu = SkyFactor(inner, p.scale, circle, sector);
        gaisetu = SkyFactor(outer, p.scale, circle, sector);
        ok = !inner.empty() && !outer.empty();
    }
    ws.AryLine.clear();
    return ok;
}

}  // namespace zuka

#include "geom/primitives.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/number.h"

namespace zuka {

TAcadPoint SetAcadPoint(double x, double y, double z) { return {x, y, z}; }

TAcadPoint AddVec(TAcadPoint a, TAcadPoint b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

TAcadPoint ScaleVec(TAcadPoint v, double s) { return {v.x * s, v.y * s, v.z * s}; }

TAcadPoint MulVec(TAcadPoint a, TAcadPoint b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }

TAcadPoint CrossVec(TAcadPoint a, TAcadPoint b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

TAcadPoint NormalizeVec(TAcadPoint v) {
    const double len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (len == 0) return v;
    return {v.x / len, v.y / len, v.z / len};
}

TAcadPoint RotatePoint(TAcadPoint p, double t) {
    const double c = std::cos(t);
    const double s = std::sin(t);
    return {p.x * c + p.y * s, -p.x * s + p.y * c, p.z};
}

long long RoundHalfAway(double x) {
    return x >= 0 ? static_cast<long long>(x + 0.5) : static_cast<long long>(x - 0.5);
}

double Dist2D(TAcadPoint p, TAcadPoint q) {
    const double dx = p.x - q.x;
    const double dy = p.y - q.y;
    return std::sqrt(dx * dx + dy * dy);
}

double DistToSegment2D(TAcadPoint p, TAcadPoint a, TAcadPoint b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double l2 = dx * dx + dy * dy;
    const double u = l2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / l2, 0.0, 1.0) : 0;
    return std::hypot(p.x - (a.x + u * dx), p.y - (a.y + u * dy));
}

double Angle2P(TAcadPoint p, TAcadPoint q) {
    const double dx = q.x - p.x;
    const double dy = q.y - p.y;
    if (std::fabs(dx) < kSamePointTol) return p.y < q.y ? kHalfPi : kThreeHalfPi;
    if (std::fabs(dy) < kSamePointTol) return p.x < q.x ? 0.0 : kPi;
    const double f = std::fabs(std::atan(dy / dx));
    if (dx < 0 && dy >= 0) return kPi - f;
    if (dx >= 0 && dy < 0) return kTwoPi - f;
    if (dx < 0 && dy < 0) return kPi + f;
    return f;
}

double TurnAngle(TAcadPoint a, TAcadPoint b, TAcadPoint c, bool swap) {
    double d = swap ? Angle2P(b, a) - Angle2P(b, c) : Angle2P(b, c) - Angle2P(b, a);
    if (d < 0) d += kTwoPi;
    if (d >= kTwoPi) d -= kTwoPi;
    return d;
}

TAcadPoint PolarPoint(TAcadPoint base, double a, double d) {
    if (a == 0.0) return {base.x + d, base.y, base.z};
    if (a == kHalfPi) return {base.x, base.y + d, base.z};
    if (a == kPi) return {base.x - d, base.y, base.z};
    if (a == kThreeHalfPi) return {base.x, base.y - d, base.z};
    return {base.x + d * std::cos(a), base.y + d * std::sin(a), base.z};
}

bool SamePoint2D(TAcadPoint p, TAcadPoint q, double tol) {
    return std::fabs(p.x - q.x) < tol && std::fabs(p.y - q.y) < tol;
}

bool SamePoint3D(TAcadPoint p, TAcadPoint q, double tol) {
    return std::fabs(p.x - q.x) < tol && std::fabs(p.y - q.y) < tol && std::fabs(p.z - q.z) < tol;
}

bool IsOnSegment(TAcadPoint a, TAcadPoint b, TAcadPoint c) {
    return std::fabs(Dist2D(b, c) - Dist2D(a, b) - Dist2D(a, c)) < kSamePointTol;
}

bool IsOnLine2(TAcadPoint p, TAcadPoint a, TAcadPoint b, TAcadPoint c) {
    const double dir = Angle2P(p, a);
    if (std::fabs(Dist2D(p, b) * std::sin(dir - Angle2P(p, b))) >= kCollinearTol) return false;
    return std::fabs(Dist2D(p, c) * std::sin(dir - Angle2P(p, c))) < kCollinearTol;
}

bool CrossPoint(TAcadPoint p1, TAcadPoint p2, TAcadPoint p3, TAcadPoint p4, bool segment,
                TAcadPoint& out) {
    const double d1x = p2.x - p1.x;
    const double d1y = p2.y - p1.y;
    const double d2x = p4.x - p3.x;
    const double d2y = p4.y - p3.y;
    const double den = d2x * d1y - d1x * d2y;
    if (std::fabs(den) <= kParallelTol) return false;
    const double t = (d2x * (p3.y - p1.y) - d2y * (p3.x - p1.x)) / den;
    if (segment) {
        if (t < kParallelTol || t > 1) return false;
        const double u = (d1x * (p3.y - p1.y) - d1y * (p3.x - p1.x)) / den;
        if (u < kParallelTol || u > 1) return false;
    }
    out = {p1.x + t * d1x, p1.y + t * d1y, p1.z};
    return true;
}

void FarthestPair(TAcadPoint p0, TAcadPoint p1, TAcadPoint p2, TAcadPoint p3, TAcadPoint& u,
                  TAcadPoint& v) {
    const TAcadPoint p[4] = {p0, p1, p2, p3};
    double best = 0;
    for (int i = 0; i < 3; ++i) {
        for (int j = i + 1; j < 4; ++j) {
            const double d = Dist2D(p[i], p[j]);
            if (d > best) {
                best = d;
                u = p[i];
                v = p[j];
            }
        }
    }
}

TArcGeom BulgeToArc(TAcadPoint p, TAcadPoint q, double bulge) {
    const double h = 2 * std::atan(bulge);
    const double c = Dist2D(p, q);
    const double s = c / 2 / std::sin(h);
    TArcGeom arc;
    arc.radius = std::fabs(s);
    arc.center = PolarPoint(p, kHalfPi - h + Angle2P(p, q), s);
    arc.center.z = p.z;
    if (bulge >= 0) {
        arc.start = Angle2P(arc.center, p);
        arc.end = Angle2P(arc.center, q);
    } else {
        arc.start = Angle2P(arc.center, q);
        arc.end = Angle2P(arc.center, p);
    }
    return arc;
}

TAcadPoint OcsToWcs(TAcadPoint v, TAcadPoint n) {
    const TAcadPoint nz = NormalizeVec(n);
    const TAcadPoint w = (std::fabs(nz.x) < 1.0 / 64 && std::fabs(nz.y) < 1.0 / 64)
                             ? TAcadPoint{0, 1, 0}
                             : TAcadPoint{0, 0, 1};
    const TAcadPoint ax = NormalizeVec(CrossVec(w, nz));
    const TAcadPoint ay = NormalizeVec(CrossVec(nz, ax));
    return AddVec(AddVec(ScaleVec(ax, v.x), ScaleVec(ay, v.y)), ScaleVec(nz, v.z));
}

bool StrToXYZ(std::string_view text, double& x, double& y, double& z) {
    x = y = z = 0;
    std::string_view t = text;
    if (!t.empty() && t.front() == '"') {
        t.remove_prefix(1);
        if (!t.empty()) t.remove_suffix(1);
    }
    std::size_t comma = t.find(',');
    if (comma == std::string_view::npos) return false;
    std::optional<double> v = ParseDouble(t.substr(0, comma));
    if (!v) return false;
    x = *v;
    t.remove_prefix(comma + 1);
    comma = t.find(',');
    if (comma != std::string_view::npos) {
        v = ParseDouble(t.substr(0, comma));
        if (!v) return false;
        y = *v;
        v = ParseDouble(t.substr(comma + 1));
        if (!v) return false;
        z = *v;
        return true;
    }
    v = ParseDouble(t);
    if (!v) return false;
    y = *v;
    return true;
}

bool StrToAcadPoint(std::string_view text, TAcadPoint& p) { return StrToXYZ(text, p.x, p.y, p.z); }

double InsideRayDirection(TAcadPoint q, const std::vector<TLineEnt>& lines) {
    // A ray direction that passes through no end point, so that each crossing is clean.
    constexpr double kRayStep = kPi / 360;
    for (int k = 0; k < 720; ++k) {
        const double cand = k * kRayStep;
        bool clear = true;
        for (const TLineEnt& s : lines) {
            if (std::fabs(cand - Angle2P(q, s.st)) < kSamePointTol ||
                std::fabs(cand - Angle2P(q, s.ed)) < kSamePointTol) {
                clear = false;
                break;
            }
        }
        if (clear) return cand;
    }
    return kTwoPi;
}

bool IsInsideAlongRay(TAcadPoint q, TAcadPoint r, const std::vector<TLineEnt>& lines,
                      const std::uint32_t* pick, std::size_t count) {
    std::vector<TAcadPoint> crossings;
    crossings.reserve(16);
    for (std::size_t k = 0; k < count; ++k) {
        const TLineEnt& s = lines[pick ? pick[k] : k];
        if (SamePoint2D(q, s.st, kSamePointTol) || SamePoint2D(q, s.ed, kSamePointTol)) return true;
        // Foot of the perpendicular from q on the segment's line: q on the segment itself.
        // Only a q within 1.5e-5 of the line can meet it (the foot lies within 1e-5 of q in x
        // and y), so a q clearly farther skips the angles.
        const double dx = s.ed.x - s.st.x;
        const double dy = s.ed.y - s.st.y;
        const double cross = dx * (q.y - s.st.y) - dy * (q.x - s.st.x);
        TAcadPoint hit;
        if (!(std::fabs(cross) > 1e-4 * std::hypot(dx, dy))) {
            const TAcadPoint foot = PolarPoint(q, Angle2P(s.st, s.ed) + kHalfPi, 100);
            if (CrossPoint(q, foot, s.st, s.ed, false, hit) && SamePoint2D(hit, q, kSamePointTol) &&
                IsOnSegment(q, s.st, s.ed))
                return true;
        }
        if (CrossPoint(q, r, s.st, s.ed, true, hit)) {
            if (SamePoint2D(hit, q, kSamePointTol)) return true;
            bool seen = false;
            for (const TAcadPoint& c : crossings) {
                if (SamePoint2D(c, hit, kSamePointTol)) {
                    seen = true;
                    break;
                }
            }
            if (!seen) crossings.push_back(hit);
        }
    }
    return crossings.size() % 2 == 1;
}

bool IsInsideLines(TAcadPoint q, double span, const std::vector<TLineEnt>& lines) {
    const TAcadPoint r = PolarPoint(q, InsideRayDirection(q, lines), span * 1000);
    return IsInsideAlongRay(q, r, lines, nullptr, lines.size());
}

double SignedArea(const std::vector<TAcadPoint>& pts) {
    double twice = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const TAcadPoint& a = pts[i];
        const TAcadPoint& b = pts[(i + 1) % pts.size()];
        twice += a.x * b.y - b.x * a.y;
    }
    return twice / 2;
}

}  // namespace zuka

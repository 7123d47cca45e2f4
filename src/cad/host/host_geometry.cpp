#include "cad/host/host_geometry.h"

#include <algorithm>
#include <cmath>

#include "cad/automation.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

const std::string kNoBlock = "ブロック定義がありません: ";
const std::string kCannotExplode = "分解できない図形です: ";
const std::string kNonUniform = "尺度が一様でない (または負の) ブロック参照は分解できません";

constexpr double kDegToRad = kPi / 180;
constexpr double kArcStep = 5 * kDegToRad;  // sampling step of curves for window selection
constexpr int kMaxNesting = 16;             // block references inside block references

bool IsWorldNormal(TAcadPoint n) { return n.x == 0 && n.y == 0 && n.z == 1; }

double Dot(TAcadPoint a, TAcadPoint b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
TAcadPoint Sub(TAcadPoint a, TAcadPoint b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

// Counter-clockwise rotation about the z axis.
TAcadPoint RotCcw(TAcadPoint p, double a) {
    const double c = std::cos(a);
    const double s = std::sin(a);
    return {p.x * c - p.y * s, p.x * s + p.y * c, p.z};
}

void OcsAxes(TAcadPoint n, TAcadPoint& ax, TAcadPoint& ay, TAcadPoint& az) {
    ax = OcsToWcs({1, 0, 0}, n);
    ay = OcsToWcs({0, 1, 0}, n);
    az = OcsToWcs({0, 0, 1}, n);
}

double NormalizeAngle(double a) {
    a = std::fmod(a, kTwoPi);
    if (a < 0) a += kTwoPi;
    return a;
}

}  // namespace

TAcadPoint ToWcs(TAcadPoint p, TAcadPoint n) { return IsWorldNormal(n) ? p : OcsToWcs(p, n); }

// Sweep of a counter-clockwise arc from start to end, in (0, 2*pi].
double Sweep(double start, double end) {
    double s = NormalizeAngle(end - start);
    if (s <= 0) s += kTwoPi;
    return s;
}

// Samples of a sweep at kArcStep, at least 2; counted in floating point, so that a sweep beyond
// a turn (or no number) gets a turn's count instead of overflowing.
int Samples(double sweep) {
    constexpr double kTurnSamples = 72;  // kTwoPi / kArcStep
    const double n = std::ceil(sweep / kArcStep);
    if (!(n >= 2)) return 2;
    return static_cast<int>(std::min(n, kTurnSamples));
}

// Points of an ellipse from parameter t0 to t1 in world coordinates.
std::vector<TAcadPoint> EllipsePoints(const TEntityData& d, double t0, double t1) {
    if (!(t1 - t0 <= kTwoPi)) t1 = t0 + kTwoPi;  // more than a turn is the whole ellipse
    const TAcadPoint minor = ScaleVec(CrossVec(NormalizeVec(d.normal), d.p2), d.ratio);
    const int n = Samples(t1 - t0);
    std::vector<TAcadPoint> pts;
    for (int k = 0; k <= n; ++k) {
        const double t = t0 + (t1 - t0) * k / n;
        pts.push_back(
            AddVec(d.p1, AddVec(ScaleVec(d.p2, std::cos(t)), ScaleVec(minor, std::sin(t)))));
    }
    return pts;
}

// The end parameter raised by whole turns above the start, in one step: far from 0 a single turn
// may no longer change the value.
double EllipseEnd(const TEntityData& d) {
    double end = d.end;
    if (end <= d.start) end += kTwoPi * (std::floor((d.start - end) / kTwoPi) + 1);
    if (end <= d.start) end = d.start + kTwoPi;
    return end;
}

namespace {

// Arc points of a bulged polyline segment a-b (plane coordinates), a included, b excluded.
void AppendBulgeArc(TAcadPoint a, TAcadPoint b, double bulge, std::vector<TAcadPoint>& out) {
    const double theta = 4 * std::atan(bulge);  // signed sweep, counter-clockwise positive
    const double chord = std::hypot(b.x - a.x, b.y - a.y);
    if (chord == 0) {
        out.push_back(a);
        return;
    }
    const double r = chord / (2 * std::sin(std::fabs(theta) / 2));
    // Centre: from the chord's midpoint along its left normal (right normal for a clockwise arc).
    const double h = r * std::cos(theta / 2);
    const TAcadPoint mid{(a.x + b.x) / 2, (a.y + b.y) / 2, a.z};
    const double ux = (b.x - a.x) / chord;
    const double uy = (b.y - a.y) / chord;
    const double side = theta > 0 ? 1 : -1;
    const TAcadPoint c{mid.x - uy * h * side, mid.y + ux * h * side, a.z};
    const double a0 = std::atan2(a.y - c.y, a.x - c.x);
    const int n = Samples(std::fabs(theta));
    for (int k = 0; k < n; ++k) {
        const double t = a0 + theta * k / n;
        out.push_back({c.x + r * std::cos(t), c.y + r * std::sin(t), a.z});
    }
}

// Plane points of a 2D polyline (bulges sampled), closing point included when closed.
std::vector<TAcadPoint> PolylinePlanePoints(const TEntityData& d) {
    std::vector<TAcadPoint> pts;
    const std::size_t n = d.vertices.size();
    if (n == 0) return pts;
    const std::size_t segments = d.closed ? n : n - 1;
    for (std::size_t i = 0; i < segments; ++i) {
        TAcadPoint a = d.vertices[i];
        TAcadPoint b = d.vertices[(i + 1) % n];
        a.z = b.z = d.elevation;
        const double bulge = i < d.bulges.size() ? d.bulges[i] : 0;
        if (bulge == 0)
            pts.push_back(a);
        else
            AppendBulgeArc(a, b, bulge, pts);
    }
    TAcadPoint last = d.vertices[d.closed ? 0 : n - 1];
    last.z = d.elevation;
    pts.push_back(last);
    return pts;
}

// Approximate width of a text line: a full-width character is as wide as the height, a
// half-width one a little over half of it.
double TextWidth(const TEntityData& d) {
    double units = 0;
    for (std::size_t i = 0; i < d.text.size();) {
        const unsigned char c = static_cast<unsigned char>(d.text[i]);
        const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        units += (c < 0x80 || (c == 0xEF && i + 1 < d.text.size() &&
                               static_cast<unsigned char>(d.text[i + 1]) >= 0xBD))
                     ? 0.6
                     : 1.0;
        i += len;
    }
    return units * d.height * d.widthFactor;
}

void OutlineInto(const TEntityData& d, const HostDrawing& drawing, int depth,
                 std::vector<std::vector<TAcadPoint>>& out) {
    const auto toWcs = [&d](std::vector<TAcadPoint> pts) {
        if (!IsWorldNormal(d.normal))
            for (TAcadPoint& p : pts) p = OcsToWcs(p, d.normal);
        return pts;
    };
    switch (d.kind) {
        case EntKind::Line:
            out.push_back({d.p1, d.p2});
            return;
        case EntKind::Circle:
        case EntKind::Arc: {
            const double start = d.kind == EntKind::Circle ? 0 : d.start;
            const double sweep = d.kind == EntKind::Circle ? kTwoPi : Sweep(d.start, d.end);
            const int n = Samples(sweep);
            std::vector<TAcadPoint> pts;
            for (int k = 0; k <= n; ++k)
                pts.push_back(PolarPoint(d.p1, start + sweep * k / n, d.radius));
            out.push_back(toWcs(std::move(pts)));
            return;
        }
        case EntKind::Ellipse:
            out.push_back(EllipsePoints(d, d.start, EllipseEnd(d)));
            return;
        case EntKind::LwPolyline:
        case EntKind::Polyline2d:
            out.push_back(toWcs(PolylinePlanePoints(d)));
            return;
        case EntKind::Polyline3d: {
            std::vector<TAcadPoint> pts = d.vertices;
            if (d.closed && !pts.empty()) pts.push_back(pts.front());
            out.push_back(std::move(pts));
            return;
        }
        case EntKind::Text: {
            const double w = TextWidth(d);
            const double h = d.height;
            const bool fitted = d.hAlign == 3 || d.hAlign == 5;
            const bool aligned = d.hAlign != 0 || d.vAlign != 0;
            TAcadPoint ref = aligned && !fitted ? d.p2 : d.p1;
            double rot = d.rotation;
            double width = w;
            if (fitted) {
                width = Dist2D(d.p1, d.p2);
                rot = Angle2P(d.p1, d.p2);
            }
            double dx = 0;
            double dy = 0;
            if (!fitted) {
                if (d.hAlign == 1 || d.hAlign == 4) dx = -width / 2;
                if (d.hAlign == 2) dx = -width;
                if (d.vAlign == 2 || d.hAlign == 4) dy = -h / 2;
                if (d.vAlign == 3) dy = -h;
            }
            std::vector<TAcadPoint> pts;
            for (const TAcadPoint c :
                 {TAcadPoint{0, 0, 0}, TAcadPoint{width, 0, 0}, TAcadPoint{width, h, 0},
                  TAcadPoint{0, h, 0}, TAcadPoint{0, 0, 0}})
                pts.push_back(AddVec(ref, RotCcw({c.x + dx, c.y + dy, 0}, rot)));
            out.push_back(toWcs(std::move(pts)));
            return;
        }
        case EntKind::Insert: {
            if (depth >= kMaxNesting) return;
            const HostSpacePtr block = drawing.FindBlock(d.blockName);
            if (!block) return;
            std::vector<std::vector<TAcadPoint>> inner;
            for (const HostEntityPtr& e : block->Items())
                OutlineInto(e->Data(), drawing, depth + 1, inner);
            const TAcadPoint base = block->Base();
            for (std::vector<TAcadPoint>& line : inner) {
                for (TAcadPoint& p : line) {
                    const TAcadPoint v = MulVec(Sub(p, base), d.scale);
                    p = ToWcs(AddVec(d.p1, RotCcw(v, d.rotation)), d.normal);
                }
                out.push_back(std::move(line));
            }
            return;
        }
        case EntKind::Other:
            return;
    }
}

}  // namespace

TAcadPoint WcsToOcs(TAcadPoint p, TAcadPoint normal) {
    if (IsWorldNormal(normal)) return p;
    TAcadPoint ax, ay, az;
    OcsAxes(normal, ax, ay, az);
    return {Dot(p, ax), Dot(p, ay), Dot(p, az)};
}

bool PlaceEntity(TEntityData& d, const TPlacement& pl) {
    const auto point = [&pl](TAcadPoint w) {
        const TAcadPoint v = ScaleVec(RotCcw(Sub(w, pl.base), pl.rotation), pl.scale);
        return ToWcs(AddVec(pl.at, v), pl.normal);
    };
    const auto vec = [&pl](TAcadPoint v) {
        return ToWcs(ScaleVec(RotCcw(v, pl.rotation), pl.scale), pl.normal);
    };
    const TAcadPoint n0 = d.normal;
    const TAcadPoint n1 = NormalizeVec(vec(n0));
    // A point of the entity's plane system, placed, in the plane system of the new normal.
    const auto planePoint = [&](TAcadPoint o) { return WcsToOcs(point(ToWcs(o, n0)), n1); };
    const auto planeAngle = [&](double a) {
        const TAcadPoint dir = vec(ToWcs({std::cos(a), std::sin(a), 0}, n0));
        const TAcadPoint o = WcsToOcs(dir, n1);
        return NormalizeAngle(std::atan2(o.y, o.x));
    };
    switch (d.kind) {
        case EntKind::Line:
            d.p1 = point(d.p1);
            d.p2 = point(d.p2);
            break;
        case EntKind::Circle:
        case EntKind::Arc:
            d.p1 = planePoint(d.p1);
            d.radius *= pl.scale;
            if (d.kind == EntKind::Arc) {
                d.start = planeAngle(d.start);
                d.end = planeAngle(d.end);
            }
            break;
        case EntKind::Ellipse:
            d.p1 = point(d.p1);
            d.p2 = vec(d.p2);
            break;
        case EntKind::LwPolyline:
        case EntKind::Polyline2d: {
            double elevation = d.elevation;
            for (std::size_t i = 0; i < d.vertices.size(); ++i) {
                const TAcadPoint o = planePoint({d.vertices[i].x, d.vertices[i].y, d.elevation});
                d.vertices[i] = {o.x, o.y, 0};
                if (i == 0) elevation = o.z;
            }
            d.elevation = elevation;
            break;
        }
        case EntKind::Polyline3d:
            for (TAcadPoint& v : d.vertices) v = point(v);
            break;
        case EntKind::Text:
            d.p1 = planePoint(d.p1);
            d.p2 = planePoint(d.p2);
            d.height *= pl.scale;
            d.rotation = planeAngle(d.rotation);
            break;
        case EntKind::Insert:
            d.p1 = planePoint(d.p1);
            d.scale = ScaleVec(d.scale, pl.scale);
            d.rotation = planeAngle(d.rotation);
            break;
        case EntKind::Other:
            return false;
    }
    d.normal = n1;
    d.thickness *= pl.scale;
    return true;
}

void ScaleLengths(TEntityData& d, double factor) {
    if (factor == 1) return;
    const TAcadPoint scale = d.scale;
    PlaceEntity(d, {{0, 0, 0}, factor, 0, {0, 0, 0}, {0, 0, 1}});
    d.scale = scale;
}

std::vector<TEntityData> ExplodeData(const TEntityData& d, const HostDrawing& drawing) {
    std::vector<TEntityData> parts;
    const auto part = [&d](EntKind kind) {
        TEntityData p;
        p.kind = kind;
        p.layer = d.layer;
        p.linetype = d.linetype;
        p.color = d.color;
        p.thickness = d.thickness;
        p.normal = d.normal;
        return p;
    };
    switch (d.kind) {
        case EntKind::Insert: {
            const HostSpacePtr block = drawing.FindBlock(d.blockName);
            if (!block) throw AutomationError(kNoBlock + d.blockName);
            const double s = d.scale.x;
            if (!(s > 0) || std::fabs(d.scale.y - s) > 1e-9 * s ||
                std::fabs(d.scale.z - s) > 1e-9 * s)
                throw AutomationError(kNonUniform);
            const TPlacement pl{block->Base(), s, d.rotation, d.p1, d.normal};
            for (const HostEntityPtr& e : block->Items()) {
                TEntityData p = e->Data();
                p.handle.clear();
                if (PlaceEntity(p, pl)) parts.push_back(std::move(p));
            }
            return parts;
        }
        case EntKind::LwPolyline:
        case EntKind::Polyline2d: {
            const std::size_t n = d.vertices.size();
            const std::size_t segments = n < 2 ? 0 : d.closed ? n : n - 1;
            for (std::size_t i = 0; i < segments; ++i) {
                const TAcadPoint a{d.vertices[i].x, d.vertices[i].y, d.elevation};
                const TAcadPoint b{d.vertices[(i + 1) % n].x, d.vertices[(i + 1) % n].y,
                                   d.elevation};
                if (SamePoint2D(a, b, kSamePointTol)) continue;
                const double bulge = i < d.bulges.size() ? d.bulges[i] : 0;
                if (bulge == 0) {
                    TEntityData line = part(EntKind::Line);
                    line.p1 = ToWcs(a, d.normal);
                    line.p2 = ToWcs(b, d.normal);
                    parts.push_back(std::move(line));
                } else {
                    const TArcGeom g = BulgeToArc(a, b, bulge);
                    TEntityData arc = part(EntKind::Arc);
                    arc.p1 = g.center;
                    arc.p1.z = d.elevation;
                    arc.radius = g.radius;
                    arc.start = g.start;
                    arc.end = g.end;
                    parts.push_back(std::move(arc));
                }
            }
            return parts;
        }
        case EntKind::Polyline3d: {
            const std::size_t n = d.vertices.size();
            const std::size_t segments = n < 2 ? 0 : d.closed ? n : n - 1;
            for (std::size_t i = 0; i < segments; ++i) {
                TEntityData line = part(EntKind::Line);
                line.normal = {0, 0, 1};
                line.thickness = 0;
                line.p1 = d.vertices[i];
                line.p2 = d.vertices[(i + 1) % n];
                parts.push_back(std::move(line));
            }
            return parts;
        }
        default:
            throw AutomationError(kCannotExplode + ClassNameOf(d));
    }
}

std::vector<std::vector<TAcadPoint>> OutlineOf(const TEntityData& d, const HostDrawing& drawing) {
    std::vector<std::vector<TAcadPoint>> out;
    OutlineInto(d, drawing, 0, out);
    return out;
}

}  // namespace zuka

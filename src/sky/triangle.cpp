#include "sky/triangle.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <utility>

#include "base/assert.h"
#include "base/number.h"
#include "geom/primitives.h"
#include "sky/triangle_table.h"

namespace zuka {

namespace {

// Texts of the annotation block.
constexpr const char* kNoteMemori = "目盛間隔 ";
constexpr const char* kNoteIdo = "緯度 = ";
constexpr const char* kNoteMentaka = "正射影 測定面高さ = ";
constexpr const char* kNoteTenMei = "測定点 ";
constexpr const char* kNoteMenseki = "水平円射影面積 ";
constexpr const char* kNoteTenkuRitu = "天空率 = ";
constexpr const char* kDegreeSign = "%%d";

constexpr TAcadPoint kOrigin{};
constexpr double kRowTol = 0.001;   // equality of two position rows
constexpr double kHeightMin = 0.1;  // a triangle not taller than this is dropped
constexpr double kHugeDistance = 1e300;

// An angle in [0, 2pi) folded into [0, pi].
double Fold(double a) { return a > kPi ? kTwoPi - a : a; }

TAcadPoint Mid(TAcadPoint a, TAcadPoint b) {
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
}

// The first crossing, in outline order, of the segment from O to `end` that lies closer to O
// than `limit`, z = 0, with the index of the segment crossed. A ray through a vertex of the
// outline can miss both segments meeting there by rounding (the strict test takes a touch at
// a segment's end but not at its start); only when the strict test finds nothing, a crossing
// within 1e-5 of both segments is taken, again in outline order.
struct TCrossing {
    TAcadPoint point;
    std::size_t segment = 0;
};

std::optional<TCrossing> FirstCrossing(const std::vector<TLineEnt>& outline, TAcadPoint end,
                                       double limit = kHugeDistance) {
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < outline.size(); ++i) {
            const TLineEnt& s = outline[i];
            TAcadPoint x;
            const bool hit = pass == 0
                                 ? CrossPoint(kOrigin, end, s.st, s.ed, true, x)
                                 : CrossPoint(kOrigin, end, s.st, s.ed, false, x) &&
                                       IsOnSegment(x, kOrigin, end) && IsOnSegment(x, s.st, s.ed);
            if (!hit || !(Dist2D(kOrigin, x) < limit)) continue;
            x.z = 0;
            return TCrossing{x, i};
        }
    }
    return std::nullopt;
}

// The unbounded intersection of the line through a and b with the line through c and d.
std::optional<TAcadPoint> LineCross(TAcadPoint a, TAcadPoint b, TAcadPoint c, TAcadPoint d) {
    TAcadPoint x;
    if (!CrossPoint(a, b, c, d, false, x)) return std::nullopt;
    return x;
}

// Counter-clockwise turn by rotDeg about O.
TAcadPoint Turn(TAcadPoint p, double rotDeg) { return RotatePoint(p, -rotDeg * kPi / 180); }

DxfValue Fixed4(double v) { return FormatFixed(v, 4); }

// Moves the chord q-p of a conforming triangle out to the outline (see MakeSansyaTriangles).
void MoveBaseOut(const std::vector<TLineEnt>& outline, double radius, TAcadPoint& q,
                 TAcadPoint& p) {
    const double reach = radius - SansyaRimTol(radius);
    const TAcadPoint m = Mid(q, p);
    const auto hit = FirstCrossing(outline, PolarPoint(kOrigin, Angle2P(kOrigin, m), reach));
    if (!hit) return;
    const TLineEnt& s = outline[hit->segment];
    const double chordDir = Angle2P(q, p);
    const auto x = LineCross(s.st, s.ed, m, PolarPoint(m, chordDir + kHalfPi, radius));
    if (!x) return;
    const double d = Dist2D(*x, m);
    if (d <= kSamePointTol || d >= reach) return;
    // Out means away from O: where the outline bulges toward O between the two points, the
    // chord already takes in more sky than there is, and moving it in would take sky away.
    const auto side = [&](TAcadPoint a) {
        return (p.x - q.x) * (a.y - q.y) - (p.y - q.y) * (a.x - q.x);
    };
    if (side(*x) * side(kOrigin) >= 0) return;
    const TAcadPoint along = PolarPoint(*x, chordDir, radius);
    if (const auto nq = LineCross(*x, along, kOrigin, q); nq && Dist2D(kOrigin, *nq) < radius) {
        q = *nq;
    }
    if (const auto np = LineCross(*x, along, kOrigin, p); np && Dist2D(kOrigin, *np) < radius) {
        p = *np;
    }
    if (Dist2D(kOrigin, p) > Dist2D(kOrigin, q)) std::swap(p, q);
}

// Whether a point of the outline lies on the rim (not inside the circle).
bool OnRim(TAcadPoint p, double radius) {
    return !(Dist2D(kOrigin, p) + SansyaRimTol(radius) < radius);
}

}  // namespace

double SansyaRimTol(double radius) { return radius * 5e-6; }

std::vector<std::size_t> FindSansyaJoints(const std::vector<TLineEnt>& outline, double radius,
                                          bool turnBackCounts) {
    std::vector<std::size_t> joints;
    const std::size_t n = outline.size();
    if (n < 2) return joints;
    for (std::size_t i = 0; i < n; ++i) {
        const TLineEnt& a = outline[i];
        const TLineEnt& b = outline[(i + 1) % n];
        const double angle = Fold(TurnAngle(a.st, a.ed, b.ed, false));
        if ((angle > 0 || turnBackCounts) && angle < kSansyaCornerLimit && !OnRim(a.ed, radius)) {
            joints.push_back(i);
        }
    }
    return joints;
}

std::vector<TAcadPoint> FindSansyaCorners(const std::vector<TLineEnt>& outline, double radius) {
    std::vector<TAcadPoint> corners;
    for (const std::size_t i : FindSansyaJoints(outline, radius)) corners.push_back(outline[i].ed);
    return corners;
}

TSansyaSector OrderSansyaCorners(const std::vector<TAcadPoint>& corners, double radius,
                                 double scale) {
    const std::size_t n = corners.size();
    ZUKA_ASSERT(n >= 2, "the sector needs two corners");
    TSansyaSector s;
    double best = -1;
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            if (i == j) continue;
            const double a = Fold(TurnAngle(corners[i], kOrigin, corners[j], false));
            if (a > best) {
                best = a;
                s.a = corners[i];
                s.b = corners[j];
            }
        }
    }
    if (TurnAngle(s.a, kOrigin, s.b, false) > TurnAngle(s.b, kOrigin, s.a, false)) {
        std::swap(s.a, s.b);
    }
    // Keys 0, 1, ... from the first corner at B onward, wrapping; sorted descending.
    std::size_t first = 0;
    while (first < n && !SamePoint2D(corners[first], s.b, kSamePointTol)) ++first;
    s.corners.reserve(n);
    s.order.reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
        s.order.push_back((first + 2 * n - 1 - k) % n);
        s.corners.push_back(corners[s.order.back()]);
    }
    SetSansyaSectorAngle(s, 0, radius, scale);
    return s;
}

void SetSansyaSectorAngle(TSansyaSector& s, double openRad, double radius, double scale) {
    const double paperR = radius / scale;
    const double angle = Fold(TurnAngle(s.a, kOrigin, s.b, false)) - openRad;
    s.kakudoDeg = RoundByFormat(angle * kRadToDeg, 3);
    s.enMenseki = RoundByFormat(paperR * paperR * kPi, 3);
    s.ougiMenseki = paperR * paperR * kPi * s.kakudoDeg / 360;
}

void NumberTateiti(std::vector<TTateiti>& rows, const std::vector<TAcadPoint>& corners,
                   double radius, double northRad) {
    std::vector<bool> used(corners.size(), false);
    for (TTateiti& r : rows) r.no = 0;
    for (TTateiti& r : rows) {
        double best = radius;
        for (std::size_t j = 0; j < corners.size(); ++j) {
            if (used[j]) continue;
            double az = Angle2P(kOrigin, corners[j]) + northRad - kHalfPi;
            if (az > kTwoPi) az -= kTwoPi;
            if (az < 0) az += kTwoPi;
            const double d = Dist2D(kOrigin, corners[j]);
            if (std::fabs(r.houido - az * kRadToDeg) < 1e-5 && best > d) {
                r.no = static_cast<int>(j) + 1;
                used[j] = true;
                best = d;
            }
        }
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (std::size_t j = i + 1; j < rows.size(); ++j) {
            const TTateiti& a = rows[i];
            TTateiti& b = rows[j];
            if (a.no > 0 && b.no > 0 && std::fabs(a.kyori - b.kyori) < kRowTol &&
                std::fabs(a.takasa - b.takasa) < kRowTol &&
                std::fabs(a.houido - b.houido) < kRowTol &&
                std::fabs(a.miagedo - b.miagedo) < kRowTol) {
                b.no = 0;
            }
        }
    }
}

TSansyaSpans DivideSansyaSpans(const std::vector<TAcadPoint>& corners,
                               const std::vector<std::size_t>& joints,
                               const std::vector<TLineEnt>& outline, double radius) {
    TSansyaSpans out;
    if (corners.empty()) return out;
    const double reach = radius - SansyaRimTol(radius);
    const auto add = [&out](TAcadPoint p, bool open) {
        out.points.push_back({p.x, p.y, 0});
        out.open.push_back(open);
    };
    // A stretch that the buildings cover from a to b: a, then the crossings of the rays that
    // cut its angle into m equal parts of at most 10 degrees.
    const auto divide = [&](TAcadPoint a, TAcadPoint b) {
        const double theta = Fold(TurnAngle(a, kOrigin, b, false));
        const int m = static_cast<int>(std::trunc(theta / kSansyaDivisionAngle + 1));
        add(a, false);
        const double dir = Angle2P(kOrigin, a);
        for (int k = 1; k < m; ++k) {
            const auto x = FirstCrossing(outline, PolarPoint(kOrigin, dir + theta * k / m, reach));
            if (x) add(x->point, false);
        }
    };
    const std::size_t n = outline.size();
    const bool walk = joints.size() == corners.size() && n > 0;
    for (std::size_t i = 0; i + 1 < corners.size(); ++i) {
        TAcadPoint from = corners[i];
        if (walk) {
            // The outline between the two corners, walked backwards through the trace: where it
            // runs along the rim, the sky between the buildings reaches the horizon.
            std::optional<TAcadPoint> rimIn;
            TAcadPoint rimOut;
            const auto closeOpen = [&]() {
                divide(from, *rimIn);
                add(*rimIn, true);
                out.openRad += Fold(TurnAngle(*rimIn, kOrigin, rimOut, false));
                from = rimOut;
                rimIn.reset();
            };
            for (std::size_t k = (joints[i] + n - 1) % n; k != joints[i + 1] && k != joints[i];
                 k = (k + n - 1) % n) {
                const TAcadPoint j = outline[k].ed;
                if (OnRim(j, radius)) {
                    if (!rimIn) rimIn = j;
                    rimOut = j;
                } else if (rimIn) {
                    closeOpen();
                }
            }
            if (rimIn) closeOpen();
        }
        divide(from, corners[i + 1]);
    }
    add(corners.back(), false);
    return out;
}

double SansyaMenseki(double teihen, double takasa, double scale) {
    const double b = RoundByFormat(teihen / scale, 5);
    const double hh = RoundByFormat(takasa / scale * 0.5, 5);
    return RoundByFormat(b * hh, 3);
}

std::vector<TSansyaTriangle> MakeSansyaTriangles(const TSansyaSpans& spans,
                                                 const std::vector<TLineEnt>& outline,
                                                 double radius, double scale, bool tekigou) {
    std::vector<TSansyaTriangle> out;
    const double heightMax = radius * kTwoPi / 36;
    const std::vector<TAcadPoint>& d = spans.points;
    for (std::size_t i = 0; i + 1 < d.size(); ++i) {
        if (i < spans.open.size() && spans.open[i]) continue;
        TAcadPoint q = d[i];
        TAcadPoint p = d[i + 1];
        if (Dist2D(kOrigin, p) > Dist2D(kOrigin, q)) std::swap(p, q);
        if (tekigou) MoveBaseOut(outline, radius, q, p);

        const auto f =
            LineCross(kOrigin, q, p, PolarPoint(p, Angle2P(kOrigin, q) + kHalfPi, radius));
        if (!f) continue;
        const TAcadPoint foot{f->x, f->y, 0};
        const double h = Dist2D(p, foot);
        if (!(h > kHeightMin && h < heightMax)) continue;

        TSansyaTriangle t;
        t.row.no = static_cast<int>(out.size()) + 1;
        t.row.teihen = Dist2D(kOrigin, q);
        t.row.takasa = h;
        t.row.menseki = SansyaMenseki(t.row.teihen, t.row.takasa, scale);
        t.p = p;
        t.q = q;
        t.foot = foot;
        const TAcadPoint g = Mid(p, foot);
        t.label = PolarPoint(g, Angle2P(g, kOrigin), h);
        out.push_back(t);
    }
    return out;
}

std::optional<TSansyaResult> DivideSansya(const std::vector<TLineEnt>& outline, double radius,
                                          double scale, bool turnBackCounts) {
    const std::vector<std::size_t> joints = FindSansyaJoints(outline, radius, turnBackCounts);
    if (joints.size() < 2) return std::nullopt;
    std::vector<TAcadPoint> corners;
    for (const std::size_t i : joints) corners.push_back(outline[i].ed);
    TSansyaResult r;
    r.sector = OrderSansyaCorners(corners, radius, scale);
    std::vector<std::size_t> ordered;
    for (const std::size_t k : r.sector.order) ordered.push_back(joints[k]);
    r.divisions = DivideSansyaSpans(r.sector.corners, ordered, outline, radius);
    if (r.divisions.openRad > 0) SetSansyaSectorAngle(r.sector, r.divisions.openRad, radius, scale);
    return r;
}

void MeasureSansyaTriangles(TSansyaResult& r, const std::vector<TLineEnt>& outline, double radius,
                            double scale, bool tekigou) {
    r.triangles = MakeSansyaTriangles(r.divisions, outline, radius, scale, tekigou);
    r.sansyaGoukei = 0;
    for (const TSansyaTriangle& t : r.triangles) r.sansyaGoukei += t.row.menseki;
    // The triangles of an outline that turns back on itself can overlap, and rounding adds up
    // over many thin triangles: the projected area is never taken below 0, so the sky factor
    // never exceeds 100 %.
    r.tousyaMenseki = std::max(0.0, r.sector.ougiMenseki - r.sansyaGoukei);
    const double c = r.sector.enMenseki;
    r.tenkuRitu = (c - RoundByFormat(r.tousyaMenseki, 3)) / c * 100;
}

std::optional<TSansyaResult> MeasureSansya(const std::vector<TLineEnt>& outline, double radius,
                                           double scale, bool tekigou, bool turnBackCounts) {
    std::optional<TSansyaResult> r = DivideSansya(outline, radius, scale, turnBackCounts);
    if (r) MeasureSansyaTriangles(*r, outline, radius, scale, tekigou);
    return r;
}

void WriteSansyaHatch(DxfList& dxf, const std::vector<TLineEnt>& outline, double radius,
                      double hatchDeg, double rotDeg, const std::string& layer) {
    if (!(hatchDeg > 0)) return;
    const double limit = radius - SansyaRimTol(radius);
    DxfWriter w(dxf);
    const int last = static_cast<int>(std::trunc(359 / hatchDeg));
    for (int j = 0; j <= last; ++j) {
        const double phi = hatchDeg * j * kPi / 180;
        const auto x = FirstCrossing(outline, PolarPoint(kOrigin, phi, radius - 1), limit);
        if (!x) continue;
        const TAcadPoint a = Turn(x->point, rotDeg);
        const TAcadPoint b = Turn(PolarPoint(kOrigin, phi, radius), rotDeg);
        w.Line(layer, a.x, a.y, b.x, b.y);
    }
}

void WriteTateitiMarkers(DxfList& dxf, const std::vector<TTateiti>& rows,
                         const std::vector<TAcadPoint>& corners, double radius, double rotDeg,
                         const std::string& layer) {
    DxfWriter w(dxf);
    for (const TTateiti& r : rows) {
        if (r.no <= 0 || r.no > static_cast<int>(corners.size())) continue;
        const TAcadPoint c = Turn(corners[static_cast<std::size_t>(r.no) - 1], rotDeg);
        w.Circle(layer, {c.x, c.y, c.z}, 0.01 * radius);
        TDxfText t;
        t.at = {c.x + 0.02 * radius, c.y, c.z};
        t.height = 0.03 * radius;
        t.text = "[" + std::to_string(r.no) + "]";
        t.rotationDeg = DxfValue(0);
        t.horizontal = 0;
        t.vertical = 0;
        w.Text(layer, t);
    }
}

void WriteSansyaTriangles(DxfList& dxf, const std::vector<TSansyaTriangle>& triangles,
                          double radius, double rotDeg, const std::string& layer) {
    DxfWriter w(dxf);
    const TDxfLineStyle plan{std::nullopt, false, false};
    for (const TSansyaTriangle& t : triangles) {
        const TAcadPoint label = Turn(t.label, rotDeg);
        const TAcadPoint p = Turn(t.p, rotDeg);
        const TAcadPoint q = Turn(t.q, rotDeg);
        const TAcadPoint f = Turn(t.foot, rotDeg);
        const TAcadPoint o = Turn(kOrigin, rotDeg);
        w.Circle(layer, {label.x, label.y, label.z}, 0.02 * radius);
        TDxfText text;
        text.at = {label.x, label.y, label.z};
        text.height = 0.02 * radius;
        text.text = std::to_string(t.row.no);
        text.horizontal = 1;
        text.vertical = 2;
        text.alignPoint = text.at;
        w.Text(layer, text);
        w.Line(layer, Fixed4(p.x), Fixed4(p.y), Fixed4(f.x), Fixed4(f.y), plan);
        w.Line(layer, Fixed4(p.x), Fixed4(p.y), Fixed4(q.x), Fixed4(q.y), plan);
        w.Line(layer, Fixed4(o.x), Fixed4(o.y), Fixed4(q.x), Fixed4(q.y), plan);
        w.Line(layer, Fixed4(o.x), Fixed4(o.y), Fixed4(p.x), Fixed4(p.y), plan);
    }
}

void WriteSansyaNotes(DxfList& dxf, const TSansyaNotes& n) {
    const double u = 2 * n.textSize;
    const double top = -1.25 * n.radius;
    struct Note {
        std::string text;
        double y;
    };
    const Note notes[] = {
        {kNoteMemori + n.memori + kDegreeSign, top - 0.5 * u},
        {kNoteIdo + n.idoDeg + kDegreeSign + n.idoMin + "'" + n.idoSec + "\"", top - 1.25 * u},
        {kNoteMentaka + FormatFixed(n.mentakaM, 3) + " m", top - 2 * u},
        {kNoteTenMei + n.tenMei, top - 4.25 * u},
        {kNoteMenseki + FormatFixed(n.enMenseki, 3) + " , " + FormatFixed(n.tousyaMenseki, 3),
         top - 2.75 * u},
        {kNoteTenkuRitu + FormatFixed(n.tenkuRitu, 3) + "%", top - 3.5 * u},
    };
    DxfWriter w(dxf);
    for (const Note& note : notes) {
        TDxfText t;
        t.at = {kDxfZero, note.y, kDxfZero};
        t.height = n.textSize;
        t.text = note.text;
        t.horizontal = 1;
        t.vertical = 2;
        t.alignPoint = t.at;
        w.Text(n.layer, t);
    }
}

}  // namespace zuka

#include "geom/acquisition.h"

#include <cmath>

#include "base/number.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

constexpr char kRefused[] = "の図形は建物にできません: ";
constexpr char kNotSane[] = "座標、半径または厚さが数値でないか ±1000000000 mm を超えています．";
constexpr char kNotNumber[] = "数値でない値があります．";
constexpr char kTooLong[] =
    "円弧または楕円の角度が大きすぎます (±36000° まで、10° ごとの弦が 3600 本まで)．";

constexpr TAcadPoint kUnitZ{0, 0, 1};

bool IsSaneNumber(double v) { return std::isfinite(v) && std::fabs(v) <= kMaxCoordinate; }

// A curve from angle a to angle b (degrees as given, b < a meaning none or once round) may
// become at most kMaxCurveChords chords of stepDeg.
void CheckCurve(double a, double b, double stepDeg, const std::string& hand) {
    for (double v : {a, b}) {
        CheckEntityNumber(v, hand);
        if (std::fabs(v) > kMaxCurveAngleDeg) throw EntityRefused(hand, kTooLong);
    }
    if (!((b - a) / stepDeg <= kMaxCurveChords)) throw EntityRefused(hand, kTooLong);
}

void CheckSegments(const std::vector<TLineEnt>& lines, std::size_t from, const std::string& hand) {
    for (std::size_t i = from; i < lines.size(); ++i) {
        CheckEntityPoint(lines[i].st, hand);
        CheckEntityPoint(lines[i].ed, hand);
    }
}

TLineEnt Segment(TAcadPoint st, TAcadPoint ed, TAcadPoint code210) {
    TLineEnt s;
    s.st = st;
    s.ed = ed;
    s.code210 = code210;
    return s;
}

TAcadPoint Raised(TAcadPoint p, double t) { return {p.x, p.y, p.z + t}; }

double DegToRad(double deg) { return deg * kPi / 180; }

}  // namespace

EntityRefused::EntityRefused(const std::string& hand, const std::string& reason)
    : std::runtime_error("ハンドル " + ShownValue(hand) + " " + kRefused + reason), hand_(hand) {}

bool IsSanePoint(const TAcadPoint& p) {
    return IsSaneNumber(p.x) && IsSaneNumber(p.y) && IsSaneNumber(p.z);
}

void CheckEntityPoint(const TAcadPoint& p, const std::string& hand) {
    if (!IsSanePoint(p)) throw EntityRefused(hand, kNotSane);
}

void CheckEntityNumber(double v, const std::string& hand, double limit) {
    if (!std::isfinite(v)) throw EntityRefused(hand, kNotNumber);
    if (limit > 0 && std::fabs(v) > limit) throw EntityRefused(hand, kNotSane);
}

void ExtrudeLines(Workspace& ws) {
    std::vector<TLineEnt>& lines = ws.AryLine;
    const std::size_t read = lines.size();
    for (std::size_t i = 0; i < read; ++i) {
        const double t = lines[i].atumi;
        if (t == 0) continue;
        const TAcadPoint up = ScaleVec(lines[i].code210, t);
        const TAcadPoint st = lines[i].st;
        const TAcadPoint ed = lines[i].ed;
        lines.push_back(Segment(AddVec(st, up), AddVec(ed, up), kUnitZ));
        lines.push_back(Segment(st, AddVec(st, up), kUnitZ));
        lines.push_back(Segment(ed, AddVec(ed, up), kUnitZ));
        lines[i].atumi = 0;
        lines[i].code210 = kUnitZ;
    }
}

void LwpToLines(Workspace& ws) {
    for (const TLwpEnt& head : ws.AryLwp) {
        std::vector<const TLwpEle*> verts;
        for (const TLwpEle& v : ws.AryLwpEle)
            if (v.hand == head.hand) verts.push_back(&v);
        if (verts.empty()) continue;
        if (head.code70 % 2 != 0) verts.push_back(verts.front());

        std::vector<TLineEnt> straight;
        for (std::size_t k = 0; k + 1 < verts.size(); ++k) {
            const TLwpEle& a = *verts[k];
            const TLwpEle& b = *verts[k + 1];
            // A bulge whose arc strays from the side by less than the point tolerance is the
            // side itself: its computed centre lies so far off that both ends of the arc
            // would round to one angle, and the side would be lost.
            if (a.code42 == 0 ||
                std::fabs(a.code42) * Dist2D(a.code10, b.code10) / 2 < kSamePointTol) {
                straight.push_back(Segment(a.code10, b.code10, head.code210));
                continue;
            }
            const TArcGeom g = BulgeToArc(a.code10, b.code10, a.code42);
            TArcEnt arc;
            arc.center = g.center;
            arc.hankei = g.radius;
            arc.stdeg = g.start * kRadToDeg;
            arc.eddeg = g.end * kRadToDeg;
            arc.atumi = head.atumi;
            arc.code210 = head.code210;
            arc.hand = head.hand;
            ws.AryArc.push_back(arc);
        }
        ws.AryLine.insert(ws.AryLine.end(), straight.begin(), straight.end());
        if (head.atumi != 0) {
            const double t = head.atumi;
            for (const TLineEnt& s : straight) {
                ws.AryLine.push_back(Segment(Raised(s.st, t), Raised(s.ed, t), s.code210));
                ws.AryLine.push_back(Segment(s.st, Raised(s.st, t), s.code210));
                ws.AryLine.push_back(Segment(Raised(s.ed, t), s.ed, s.code210));
            }
        }
    }
}

void ArcToLines(Workspace& ws, double stepDeg) {
    for (const TArcEnt& arc : ws.AryArc) {
        const double a = arc.stdeg;
        double b = arc.eddeg;
        if (b < a) b += 360;
        CheckCurve(a, b, stepDeg, arc.hand);
        const int n = static_cast<int>((b - a) / stepDeg);
        const std::size_t first = ws.AryLine.size();
        auto at = [&](double deg) { return PolarPoint(arc.center, DegToRad(deg), arc.hankei); };
        std::vector<TLineEnt> chords;
        for (int k = 0; k < n; ++k)
            chords.push_back(Segment(at(a + k * stepDeg), at(a + (k + 1) * stepDeg), arc.code210));
        chords.push_back(Segment(at(a + n * stepDeg), at(b), arc.code210));
        ws.AryLine.insert(ws.AryLine.end(), chords.begin(), chords.end());
        if (arc.atumi != 0) {
            const double t = arc.atumi;
            for (const TLineEnt& c : chords)
                ws.AryLine.push_back(Segment(Raised(c.st, t), Raised(c.ed, t), c.code210));
            for (const TLineEnt& c : chords)
                ws.AryLine.push_back(Segment(c.st, Raised(c.st, t), c.code210));
            const TLineEnt& last = chords.back();
            ws.AryLine.push_back(Segment(last.ed, Raised(last.ed, t), last.code210));
        }
        CheckSegments(ws.AryLine, first, arc.hand);
    }
}

void CircleToLines(Workspace& ws, double stepDeg) {
    const int m = static_cast<int>(360 / stepDeg - 0.5);
    if (m < 2) return;
    for (const TCircleEnt& c : ws.AryCircle) {
        std::vector<TAcadPoint> v;
        v.reserve(static_cast<std::size_t>(m));
        for (int j = 0; j < m; ++j) {
            const TAcadPoint local = PolarPoint({0, 0, 0}, DegToRad((j + 1) * stepDeg), c.hankei);
            v.push_back(AddVec(c.center, OcsToWcs(local, c.code210)));
        }
        const std::size_t first = ws.AryLine.size();
        for (int j = 0; j < m; ++j) ws.AryLine.push_back(Segment(v[j], v[(j + 1) % m], kUnitZ));
        CheckSegments(ws.AryLine, first, c.hand);
    }
}

void EllipseToLines(Workspace& ws, double stepDeg) {
    const double step = DegToRad(stepDeg);
    for (const TEllipseEnt& e : ws.AryEllipse) {
        const TAcadPoint& ep = e.endpoint;
        const double a = std::sqrt(ep.x * ep.x + ep.y * ep.y + ep.z * ep.z);
        if (a == 0) continue;
        const TAcadPoint u = ScaleVec(ep, 1 / a);
        const TAcadPoint n = e.code210;
        const TAcadPoint v = CrossVec(u, n);
        const double r = e.henpei;
        auto at = [&](double t) {
            return AddVec(AddVec(e.center, ScaleVec(u, a * std::cos(t))),
                          ScaleVec(v, -a * r * std::sin(t)));
        };
        CheckCurve(e.kaisi, e.owari, stepDeg, e.hand);
        const double start = DegToRad(e.kaisi);
        const double end = DegToRad(e.owari);
        const std::size_t first = ws.AryLine.size();
        double t = start;
        TAcadPoint prev = at(t);
        while (t < end) {
            t += step;
            if (t > end) t = end;
            const TAcadPoint p = at(t);
            if (!SamePoint3D(prev, p, kSamePointTol)) ws.AryLine.push_back(Segment(prev, p, kUnitZ));
            prev = p;
        }
        CheckSegments(ws.AryLine, first, e.hand);
    }
}

bool WallEndStands(double z, double h) { return z > h && z > kSamePointTol; }

bool WallStands(const TLineEnt& wall, double h) {
    return WallEndStands(wall.st.z, h) || WallEndStands(wall.ed.z, h);
}

std::vector<TLineEnt> WallsAbovePlane(const std::vector<TLineEnt>& walls, double h) {
    std::vector<TLineEnt> standing;
    for (const TLineEnt& w : walls)
        if (WallStands(w, h)) standing.push_back(w);
    return standing;
}

void ConvertEntitiesToLines(Workspace& ws) {
    ExtrudeLines(ws);
    LwpToLines(ws);
    ArcToLines(ws, kCurveStepDeg);
    CircleToLines(ws, kCurveStepDeg);
    EllipseToLines(ws, kCurveStepDeg);
}

}  // namespace zuka

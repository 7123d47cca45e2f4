#include "sky/kyoukaisen.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "geom/outline.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

constexpr char kLayer[] = "0";

// Elements closer than this meet; piece ends closer than kJoin are one point when the pieces
// of the grown site's boundary are chained (drawing units, mm).
constexpr double kTouch = 1e-6;
constexpr double kJoin = 1e-3;
// A piece of the grown site's boundary lies d from the site: one that comes closer by more
// than this lies inside the grown site.
constexpr double kKeepTol = 1e-4;

double Normalize(double a) {
    a = std::fmod(a, kTwoPi);
    return a < 0 ? a + kTwoPi : a;
}

double Cross(TAcadPoint a, TAcadPoint b) { return a.x * b.y - a.y * b.x; }
TAcadPoint Sub(TAcadPoint a, TAcadPoint b) { return {a.x - b.x, a.y - b.y, 0}; }

// A straight piece from a to b, or an arc from a to b counter-clockwise round c.
struct TElem {
    bool arc = false;
    TAcadPoint a;
    TAcadPoint b;
    TAcadPoint c;
    double r = 0;
    double a0 = 0;     // angle of a seen from c
    double sweep = 0;  // radians, counter-clockwise
    int src = 0;       // the element of the construction it is part of
};

TElem Segment(TAcadPoint a, TAcadPoint b, int src) {
    TElem e;
    e.a = {a.x, a.y, 0};
    e.b = {b.x, b.y, 0};
    e.src = src;
    return e;
}

TAcadPoint ArcPoint(const TElem& e, double off) {
    return {e.c.x + e.r * std::cos(e.a0 + off), e.c.y + e.r * std::sin(e.a0 + off), 0};
}

TElem Arc(TAcadPoint c, double r, double a0, double sweep, int src) {
    TElem e;
    e.arc = true;
    e.c = {c.x, c.y, 0};
    e.r = r;
    e.a0 = a0;
    e.sweep = sweep;
    e.src = src;
    e.a = ArcPoint(e, 0);
    e.b = ArcPoint(e, sweep);
    return e;
}

double Length(const TElem& e) { return e.arc ? e.r * e.sweep : Dist2D(e.a, e.b); }

// Where along e a point of it lies: the fraction of a segment, the angle from an arc's start.
double ParamOf(const TElem& e, TAcadPoint p) {
    if (e.arc) {
        const double off = Normalize(std::atan2(p.y - e.c.y, p.x - e.c.x) - e.a0);
        return off > e.sweep && off > kPi + e.sweep / 2 ? 0 : std::min(off, e.sweep);
    }
    const TAcadPoint d = Sub(e.b, e.a);
    const double l2 = d.x * d.x + d.y * d.y;
    return l2 > 0 ? std::clamp((Sub(p, e.a).x * d.x + Sub(p, e.a).y * d.y) / l2, 0.0, 1.0) : 0;
}

TAcadPoint PointAt(const TElem& e, double t) {
    return e.arc ? ArcPoint(e, t)
                 : TAcadPoint{e.a.x + t * (e.b.x - e.a.x), e.a.y + t * (e.b.y - e.a.y), 0};
}

// Whether a point of e's circle (or line) lies on the arc (segment) itself.
bool OnElem(const TElem& e, TAcadPoint p) {
    if (e.arc) {
        const double off = Normalize(std::atan2(p.y - e.c.y, p.x - e.c.x) - e.a0);
        const double tol = kTouch / e.r;
        return off <= e.sweep + tol || off >= kTwoPi - tol;
    }
    return DistToSegment2D(p, e.a, e.b) <= kTouch;
}

// The points where two elements meet (touching counts; collinear overlaps give the ends of
// the overlap).
void Meet(const TElem& e, const TElem& f, std::vector<TAcadPoint>& out) {
    out.clear();
    auto add = [&](TAcadPoint p) {
        if (OnElem(e, p) && OnElem(f, p)) out.push_back(p);
    };
    if (!e.arc && !f.arc) {
        const TAcadPoint u = Sub(e.b, e.a);
        const TAcadPoint v = Sub(f.b, f.a);
        const double den = Cross(u, v);
        const double lu = std::hypot(u.x, u.y);
        const double lv = std::hypot(v.x, v.y);
        if (std::fabs(den) <= 1e-12 * lu * lv) {
            for (TAcadPoint p : {e.a, e.b, f.a, f.b}) add(p);
            return;
        }
        const double t = Cross(Sub(f.a, e.a), v) / den;
        add({e.a.x + t * u.x, e.a.y + t * u.y, 0});
        return;
    }
    if (e.arc && f.arc) {
        const double d = Dist2D(e.c, f.c);
        if (d < kTouch) {
            if (std::fabs(e.r - f.r) < kTouch)
                for (TAcadPoint p : {e.a, e.b, f.a, f.b}) add(p);
            return;
        }
        if (d > e.r + f.r + kTouch || d < std::fabs(e.r - f.r) - kTouch) return;
        const double a = (d * d + e.r * e.r - f.r * f.r) / (2 * d);
        const double h = std::sqrt(std::max(0.0, e.r * e.r - a * a));
        const double ux = (f.c.x - e.c.x) / d;
        const double uy = (f.c.y - e.c.y) / d;
        const double mx = e.c.x + a * ux;
        const double my = e.c.y + a * uy;
        add({mx - h * uy, my + h * ux, 0});
        if (h > 0) add({mx + h * uy, my - h * ux, 0});
        return;
    }
    const TElem& s = e.arc ? f : e;
    const TElem& c = e.arc ? e : f;
    const TAcadPoint d = Sub(s.b, s.a);
    const double l = std::hypot(d.x, d.y);
    if (!(l > 0)) return;
    const double ux = d.x / l;
    const double uy = d.y / l;
    // Foot of the centre on the line, and the half chord.
    const double along = (c.c.x - s.a.x) * ux + (c.c.y - s.a.y) * uy;
    const double off = (c.c.x - s.a.x) * uy - (c.c.y - s.a.y) * ux;
    if (std::fabs(off) > c.r + kTouch) return;
    const double half = std::sqrt(std::max(0.0, c.r * c.r - off * off));
    add({s.a.x + (along - half) * ux, s.a.y + (along - half) * uy, 0});
    if (half > 0) add({s.a.x + (along + half) * ux, s.a.y + (along + half) * uy, 0});
}

// The elements of a line from its vertices, pieces without length left out.
std::vector<TElem> ElemsOf(const std::vector<TKyoukaiVertex>& v) {
    std::vector<TElem> elems;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const TKyoukaiVertex& p = v[i];
        const TKyoukaiVertex& q = v[(i + 1) % v.size()];
        const TAcadPoint a{p.x, p.y, 0};
        const TAcadPoint b{q.x, q.y, 0};
        if (Dist2D(a, b) <= kTouch) continue;
        if (p.arc && p.bulge != 0) {
            const TArcGeom g = BulgeToArc(a, b, p.bulge);
            elems.push_back(
                Arc(g.center, g.radius, g.start, Normalize(g.end - g.start), static_cast<int>(i)));
        } else {
            elems.push_back(Segment(a, b, static_cast<int>(i)));
        }
    }
    return elems;
}

// Whether a closed line crosses or touches itself: two pieces that do not follow one another
// meet, or a piece turns back along the one before it.
// A stop ends the search with false.
bool CrossesItself(const std::vector<TElem>& elems, StopPoll& stop) {
    const std::size_t m = elems.size();
    std::vector<TAcadPoint> pts;
    for (std::size_t i = 0; i < m; ++i) {
        if (stop(m - i)) return false;
        for (std::size_t j = i + 1; j < m; ++j) {
            const bool next = j == i + 1 || (i == 0 && j == m - 1);
            if (next) {
                const TElem& e = j == i + 1 ? elems[i] : elems[j];
                const TElem& f = j == i + 1 ? elems[j] : elems[i];
                if (e.arc || f.arc) continue;
                const TAcadPoint u = Sub(e.b, e.a);
                const TAcadPoint w = Sub(f.b, f.a);
                if (u.x * w.x + u.y * w.y < 0 &&
                    std::fabs(Cross(u, w)) <= 1e-9 * std::hypot(u.x, u.y) * std::hypot(w.x, w.y))
                    return true;
                continue;
            }
            Meet(elems[i], elems[j], pts);
            if (!pts.empty()) return true;
        }
    }
    return false;
}

double ShoelaceTerm(TAcadPoint a, TAcadPoint b) { return (a.x * b.y - b.x * a.y) / 2; }

// The area a chain of elements encloses: the polygon of their ends, and the circular segment
// between each arc and its chord.
double ChainArea(const std::vector<TElem>& chain) {
    double area = 0;
    for (const TElem& e : chain) {
        area += ShoelaceTerm(e.a, e.b);
        if (e.arc) area += e.r * e.r * (e.sweep - std::sin(e.sweep)) / 2;
    }
    return area;
}

// The outer boundary of the site grown by d. Every point of it lies d from the site, nearest
// either to a side (on that side's parallel) or to an outward corner (on that corner's arc):
// the parallels and the arcs are cut where they meet, the pieces that come closer than d to
// the site dropped, and the rest chained; the chain enclosing the largest area is the outer
// boundary. It starts at the piece nearest to `first`. A stop leaves it empty.
std::vector<TKyoukaiVertex> GrownSiteBoundary(const std::vector<TLineEnt>& outline, double d,
                                              TAcadPoint first, StopPoll& stop) {
    const std::size_t n = outline.size();
    std::vector<TElem> raw;
    std::vector<double> phi(n);
    for (std::size_t k = 0; k < n; ++k) {
        phi[k] = Angle2P(outline[k].ed, outline[k].st) + kHalfPi;
        raw.push_back(Segment(PolarPoint(outline[k].st, phi[k], d),
                              PolarPoint(outline[k].ed, phi[k], d), static_cast<int>(raw.size())));
    }
    for (std::size_t k = 0; k < n; ++k) {
        const double sweep = Normalize(phi[(k + 1) % n] - phi[k]);
        // A left turn of the counter-clockwise outline (an outward corner) leaves a gap between
        // the parallels, closed by an arc; at a right turn or straight on there is none.
        if (sweep > 1e-12 && sweep <= kPi + 1e-12)
            raw.push_back(
                Arc(outline[k].ed, d, Normalize(phi[k]), sweep, static_cast<int>(raw.size())));
    }

    double span = 0;
    for (const TLineEnt& s : outline) span = std::max({span, std::fabs(s.st.x), std::fabs(s.st.y)});
    auto keep = [&](TAcadPoint mid) {
        for (const TLineEnt& s : outline)
            if (DistToSegment2D(mid, s.st, s.ed) < d - kKeepTol) return false;
        return !IsInsideLines(mid, span + d, outline);
    };

    std::vector<TElem> pieces;
    std::vector<TAcadPoint> pts;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (stop(raw.size())) return {};
        const TElem& e = raw[i];
        std::vector<double> cuts = {0, e.arc ? e.sweep : 1.0};
        for (std::size_t j = 0; j < raw.size(); ++j) {
            if (j == i) continue;
            Meet(e, raw[j], pts);
            for (TAcadPoint p : pts) cuts.push_back(ParamOf(e, p));
        }
        std::sort(cuts.begin(), cuts.end());
        for (std::size_t c = 0; c + 1 < cuts.size(); ++c) {
            const double t0 = cuts[c];
            const double t1 = cuts[c + 1];
            TElem piece = e.arc ? Arc(e.c, e.r, e.a0 + t0, t1 - t0, e.src)
                                : Segment(PointAt(e, t0), PointAt(e, t1), e.src);
            if (Length(piece) <= kTouch) continue;
            if (stop(outline.size())) return {};
            if (keep(PointAt(e, (t0 + t1) / 2))) pieces.push_back(piece);
        }
    }

    // Chain each piece to the one that starts where it ends.
    std::vector<int> nextOf(pieces.size(), -1);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (stop(pieces.size())) return {};
        double best = kJoin;
        for (std::size_t j = 0; j < pieces.size(); ++j) {
            const double gap = Dist2D(pieces[i].b, pieces[j].a);
            if (j != i && gap < best) {
                best = gap;
                nextOf[i] = static_cast<int>(j);
            }
        }
    }
    std::vector<char> seen(pieces.size(), 0);
    std::vector<TElem> outer;
    double outerArea = 0;
    for (std::size_t s = 0; s < pieces.size(); ++s) {
        if (seen[s]) continue;
        std::vector<TElem> chain;
        int i = static_cast<int>(s);
        while (i >= 0 && !seen[static_cast<std::size_t>(i)]) {
            seen[static_cast<std::size_t>(i)] = 1;
            chain.push_back(pieces[static_cast<std::size_t>(i)]);
            i = nextOf[static_cast<std::size_t>(i)];
        }
        if (i != static_cast<int>(s)) continue;  // not closed
        const double area = ChainArea(chain);
        if (area > outerArea) {
            outerArea = area;
            outer = std::move(chain);
        }
    }
    if (outer.empty()) return {};

    std::size_t start = 0;
    for (std::size_t i = 1; i < outer.size(); ++i)
        if (Dist2D(outer[i].a, first) < Dist2D(outer[start].a, first)) start = i;
    std::rotate(outer.begin(), outer.begin() + static_cast<std::ptrdiff_t>(start), outer.end());
    // Pieces of one parallel or one arc that follow one another become one again.
    std::vector<TElem> merged;
    for (const TElem& e : outer) {
        if (!merged.empty() && merged.back().src == e.src) {
            TElem& m = merged.back();
            m.b = e.b;
            m.sweep += e.sweep;
            continue;
        }
        merged.push_back(e);
    }
    if (merged.size() > 1 && merged.front().src == merged.back().src) {
        merged.back().b = merged.front().b;
        merged.back().sweep += merged.front().sweep;
        merged.erase(merged.begin());
    }
    std::vector<TKyoukaiVertex> v;
    for (const TElem& e : merged) {
        TKyoukaiVertex x{e.a.x, e.a.y, e.arc, e.arc ? std::tan(e.sweep / 4) : 0};
        v.push_back(x);
    }
    return v;
}

}  // namespace

TKyoukaiLine KyoukaiLine(const std::vector<TLineEnt>& outline, double d, Workspace& ws,
                         const RunContext* stop) {
    StopPoll stopped(stop);
    TKyoukaiLine line;
    const std::size_t n = outline.size();
    if (n < 3) return line;
    std::vector<TLineEnt>& buf = ws.AryLineBuf;
    buf.clear();
    // The parallels, moved to the right of the walking direction: outwards.
    for (const TLineEnt& s : outline) {
        const double phi = Angle2P(s.ed, s.st) + kHalfPi;
        TLineEnt o;
        o.st = PolarPoint(s.st, phi, d);
        o.ed = PolarPoint(s.ed, phi, d);
        buf.push_back(o);
    }
    buf.push_back(buf[0]);
    // The corners: cut at the crossing, or an arc round the corner.
    bool reflexArc = false;
    for (std::size_t k = 0; k < n; ++k) {
        const TAcadPoint c = outline[k].ed;
        TAcadPoint x;
        if (CrossPoint(buf[k].st, buf[k].ed, buf[k + 1].st, buf[k + 1].ed, true, x)) {
            buf[k].ed = x;
            buf[k + 1].st = x;
            buf[k].id = 0;
            continue;
        }
        TArcEnt a;
        a.center = c;
        a.hankei = d;
        a.stdeg = Angle2P(c, buf[k].ed) * kRadToDeg;
        a.eddeg = Angle2P(c, buf[k + 1].st) * kRadToDeg;
        ws.AryArc.push_back(a);
        buf[k].id = static_cast<int>(ws.AryArc.size());
    }
    line.vertices.push_back({buf[0].st.x, buf[0].st.y, false, 0});
    for (std::size_t k = 0; k < n; ++k) {
        TKyoukaiVertex v{buf[k].ed.x, buf[k].ed.y, false, 0};
        if (buf[k].id > 0) {
            const TArcEnt& a = ws.AryArc[static_cast<std::size_t>(buf[k].id - 1)];
            double s = a.eddeg - a.stdeg;
            if (s < 0) s += 360;
            reflexArc = reflexArc || s > 180 + 1e-9;
            v.arc = true;
            v.bulge = std::tan(s / 4 * kPi / 180);
            line.vertices.push_back(v);
            line.vertices.push_back({buf[k + 1].st.x, buf[k + 1].st.y, false, 0});
        } else {
            line.vertices.push_back(v);
        }
    }
    if (reflexArc || CrossesItself(ElemsOf(line.vertices), stopped)) {
        std::vector<TKyoukaiVertex> grown = GrownSiteBoundary(
            outline, d, {line.vertices[0].x, line.vertices[0].y, 0}, stopped);
        if (!grown.empty()) {
            line.vertices = std::move(grown);
            line.envelope = true;
        }
    }
    return line;
}

double KyoukaiArea(const TKyoukaiLine& line) { return ChainArea(ElemsOf(line.vertices)); }

std::vector<TAcadPoint> KyoukaiPolygon(const TKyoukaiLine& line, double sagitta) {
    std::vector<TAcadPoint> poly;
    for (const TElem& e : ElemsOf(line.vertices)) {
        poly.push_back(e.a);
        if (!e.arc) continue;
        // Chords of angle a stray r (1 - cos(a / 2)) from the arc.
        const double a = 2 * std::acos(std::max(-1.0, 1 - sagitta / e.r));
        const int n = std::max(1, static_cast<int>(std::ceil(e.sweep / a)));
        for (int k = 1; k < n; ++k) poly.push_back(ArcPoint(e, e.sweep * k / n));
    }
    return poly;
}

void WriteKyoukaiLine(DxfList& dxf, const TKyoukaiLine& line, const std::string& layer,
                      const TDxfPolyline& head) {
    DxfWriter w(dxf);
    w.Polyline(layer, head);
    for (const TKyoukaiVertex& v : line.vertices) {
        w.Vertex(layer, v.x, v.y,
                 v.arc ? std::optional<DxfValue>(DxfValue(v.bulge)) : std::nullopt);
    }
    w.SeqEnd();
}

TKyoukaisenResult MakeKyoukaisen(Workspace& ws, DxfList& dxf, RunContext& run) {
    TKyoukaisenResult r;
    if (ws.AryLine.size() < 3) return r;
    ws.AryArc.clear();
    r.status = KyoukaisenStatus::Stopped;
    if (!PrepareOutlineSegments(ws, nullptr, &run)) return r;
    std::vector<std::vector<TLineEnt>> sites;
    const OutlineLoopEnd end =
        TraceOutlineLoop(ws, run, [&](const Workspace& w) { sites.push_back(w.AryLine); });
    if (end == OutlineLoopEnd::Stopped) return r;
    r.walkFailed = end == OutlineLoopEnd::WalkFailed;
    if (sites.empty()) {
        r.status = KyoukaisenStatus::Failed;
        return r;
    }
    StartDxfFileWithoutTables(dxf);
    for (const std::vector<TLineEnt>& site : sites) {
        std::array<TKyoukaiLine, 2>& both = r.lines.emplace_back();
        for (std::size_t j = 0; j < 2; ++j) {
            both[j] = KyoukaiLine(site, kKyoukaiDistances[j], ws, &run);
            if (run.StopRequested()) {
                r = TKyoukaisenResult{};
                r.status = KyoukaisenStatus::Stopped;
                return r;
            }
            r.envelopes += both[j].envelope ? 1 : 0;
            WriteKyoukaiLine(dxf, both[j], kLayer);
        }
    }
    r.status = KyoukaisenStatus::Drawn;
    r.sites = static_cast<int>(sites.size());
    r.siteOutlines = std::move(sites);
    ws.AryArc.clear();
    ws.AryLineBuf.clear();
    ws.AryLine.clear();
    return r;
}

}  // namespace zuka

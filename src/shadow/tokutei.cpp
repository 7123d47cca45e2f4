#include "shadow/tokutei.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "geom/outline.h"
#include "geom/primitives.h"
#include "shadow/time_of_day.h"

namespace zuka {
namespace {

// The hours the sun model gives a position for, and its hour angle per clock hour.
constexpr double kFirstSunHour = 7.5;
constexpr double kLastSunHour = 16.5;
constexpr double kHourAngle = kPi / 12;

// How close to the boundary of the shadow a point counts as on it.
constexpr double kOnTol = kSamePointTol;

double Cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

// The shadow of a unit height: v = factor * (cos dir, sin dir); len = factor.
struct TSunVec {
    double x = 0;
    double y = 0;
    double len = 0;
};

enum class SunAt { Up, NoPosition, Down };

SunAt SunVecAt(const SunModel& sun, double t, TSunVec& v) {
    double azimuth = 0;
    double factor = 1;
    if (!sun.GetTaiyouHoui(t, azimuth, factor)) return SunAt::NoPosition;
    // At or below the horizon the factor is no longer positive: no sun, no shadow.
    if (!(factor > 0) || !std::isfinite(factor)) return SunAt::Down;
    const TAcadPoint unit = PolarPoint({0, 0, 0}, sun.ShadowDir(azimuth), 1);
    v = {unit.x * factor, unit.y * factor, factor};
    return SunAt::Up;
}

// A wall that casts a shadow piece on the plane: the quad st, ed, ed + c v, st + a v for the
// shadow v of a unit height. a and c are the heights of the wall's ends above the plane (0 for
// an end at or below it). The quad is convex: its sides st-st' and ed-ed' both run along v.
struct TPiece {
    double sx = 0;  // foot start
    double sy = 0;
    double ex = 0;  // foot vector ed - st
    double ey = 0;
    double a = 0;
    double c = 0;
    double elen = 0;  // |e|
};

std::vector<TPiece> PiecesOf(const std::vector<TLineEnt>& walls, double h) {
    std::vector<TPiece> pieces;
    for (const TLineEnt& w : walls) {
        // The same walls the equal-time diagram paints: one end above the plane at least.
        if (!(w.st.z > h) && !(w.ed.z > h)) continue;
        TPiece p;
        p.sx = w.st.x;
        p.sy = w.st.y;
        p.ex = w.ed.x - w.st.x;
        p.ey = w.ed.y - w.st.y;
        p.a = w.st.z > h ? w.st.z - h : 0;
        p.c = w.ed.z > h ? w.ed.z - h : 0;
        p.elen = std::hypot(p.ex, p.ey);
        pieces.push_back(p);
    }
    return pieces;
}

// A piece at one instant: the cross and dot products of its foot with v, and its box.
struct TPieceAt {
    double ev = 0;   // e x v: positive when the quad runs counter-clockwise
    double edv = 0;  // e . v
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;
};

TPieceAt PieceAt(const TPiece& w, const TSunVec& v) {
    TPieceAt at;
    at.ev = Cross(w.ex, w.ey, v.x, v.y);
    at.edv = w.ex * v.x + w.ey * v.y;
    const double xs[4] = {w.sx, w.sx + w.ex, w.sx + w.ex + w.c * v.x, w.sx + w.a * v.x};
    const double ys[4] = {w.sy, w.sy + w.ey, w.sy + w.ey + w.c * v.y, w.sy + w.a * v.y};
    at.x0 = std::min({xs[0], xs[1], xs[2], xs[3]}) - kOnTol;
    at.x1 = std::max({xs[0], xs[1], xs[2], xs[3]}) + kOnTol;
    at.y0 = std::min({ys[0], ys[1], ys[2], ys[3]}) - kOnTol;
    at.y1 = std::max({ys[0], ys[1], ys[2], ys[3]}) + kOnTol;
    return at;
}

// A point against one piece: what does not change with the instant.
struct TPointPiece {
    int piece = 0;
    double d0x = 0;  // q - st
    double d0y = 0;
    double d1x = 0;  // q - ed
    double d1y = 0;
    double c0 = 0;   // e x d0: the point's side of the foot
    double ed1 = 0;  // e x d1
};

TPointPiece PointPiece(const TPiece& w, int index, TAcadPoint q) {
    TPointPiece pp;
    pp.piece = index;
    pp.d0x = q.x - w.sx;
    pp.d0y = q.y - w.sy;
    pp.d1x = q.x - (w.sx + w.ex);
    pp.d1y = q.y - (w.sy + w.ey);
    pp.c0 = Cross(w.ex, w.ey, pp.d0x, pp.d0y);
    pp.ed1 = Cross(w.ex, w.ey, pp.d1x, pp.d1y);
    return pp;
}

// Whether the point lies inside the piece's quad or within kOnTol of it: on the inner side of
// each of its four edges, or no farther than kOnTol outside the edge's line. Edge values are
// the cross products of each edge with the point seen from the edge's start, taken positive
// inside; their lengths are |e|, c |v|, |e + (c - a) v| and a |v|. A quad that has collapsed to
// a segment (v along the foot) keeps only the points near that segment, through its box.
bool InPiece(const TPiece& w, const TPointPiece& pp, const TPieceAt& at, const TSunVec& v,
             TAcadPoint q) {
    if (q.x < at.x0 || q.x > at.x1 || q.y < at.y0 || q.y > at.y1) return false;
    const double s = at.ev >= 0 ? 1 : -1;
    if (s * pp.c0 < -kOnTol * w.elen) return false;
    const double vd1 = Cross(v.x, v.y, pp.d1x, pp.d1y);
    if (s * w.c * vd1 < -kOnTol * w.c * v.len) return false;
    const double vd0 = Cross(v.x, v.y, pp.d0x, pp.d0y);
    if (-s * w.a * vd0 < -kOnTol * w.a * v.len) return false;
    const double k = w.c - w.a;
    const double e2 = s * (-pp.ed1 + w.c * at.ev - k * vd1);
    if (e2 < 0) {
        const double len2 = w.elen * w.elen + 2 * k * at.edv + k * k * v.len * v.len;
        if (e2 * e2 > kOnTol * kOnTol * len2) return false;
    }
    return true;
}

// The outlines of the union of the walls' feet: what lies inside or on them is in shadow
// whenever the sun shines.
class Footprints {
public:
    explicit Footprints(const std::vector<TLineEnt>& walls) {
        Workspace fw;
        for (const TLineEnt& w : walls) {
            TLineEnt s;
            s.st = {w.st.x, w.st.y, 0};
            s.ed = {w.ed.x, w.ed.y, 0};
            fw.AryLine.push_back(s);
        }
        if (fw.AryLine.empty()) return;
        PrepareOutlineSegments(fw);
        // A walk that fails leaves the outlines traced before it.
        TraceOutlineLoop(fw, QuietRun(), [&](const Workspace& w) {
            TRing r;
            r.lines = w.AryLine;
            r.x0 = r.y0 = std::numeric_limits<double>::infinity();
            r.x1 = r.y1 = -r.x0;
            for (const TLineEnt& s : w.AryLine) {
                r.x0 = std::min({r.x0, s.st.x, s.ed.x});
                r.y0 = std::min({r.y0, s.st.y, s.ed.y});
                r.x1 = std::max({r.x1, s.st.x, s.ed.x});
                r.y1 = std::max({r.y1, s.st.y, s.ed.y});
            }
            rings_.push_back(std::move(r));
        });
    }

    bool Contains(TAcadPoint q) const {
        for (const TRing& r : rings_) {
            if (q.x < r.x0 - kOnTol || q.x > r.x1 + kOnTol || q.y < r.y0 - kOnTol ||
                q.y > r.y1 + kOnTol)
                continue;
            // IsInsideLines casts its ray span * 1000 long: a ray just past the ring keeps its
            // crossing test exact near q (a ray a million times longer would miss crossings
            // within a fraction of a millimetre of q).
            const double reach = std::max({std::fabs(q.x - r.x0), std::fabs(q.x - r.x1),
                                           std::fabs(q.y - r.y0), std::fabs(q.y - r.y1)});
            if (IsInsideLines(q, (2 * reach + 1) / 1000, r.lines)) return true;
        }
        return false;
    }

private:
    struct TRing {
        std::vector<TLineEnt> lines;
        double x0 = 0;
        double y0 = 0;
        double x1 = 0;
        double y1 = 0;
    };
    std::vector<TRing> rings_;
};

// One point's pieces, the ones that can shade it at all.
struct TPointPieces {
    bool footprint = false;
    std::vector<TPointPiece> pieces;
    std::size_t lastHit = 0;  // the piece that shaded it last: tried first
};

bool InShadow(const std::vector<TPiece>& pieces, const std::vector<TPieceAt>& at, TPointPieces& pp,
              const TSunVec& v, TAcadPoint q) {
    if (pp.footprint) return true;
    const std::size_t n = pp.pieces.size();
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t j = (pp.lastHit + k) % n;
        const TPointPiece& p = pp.pieces[j];
        const auto w = static_cast<std::size_t>(p.piece);
        if (InPiece(pieces[w], p, at[w], v, q)) {
            pp.lastHit = j;
            return true;
        }
    }
    return false;
}

// The box of the shadows of a unit height over a set of instants, 0 included.
struct TVecBox {
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;
};

// Whether a piece can shade q while v stays in the box: the quad lies in the foot's box grown
// by max(a, c) times the box of v.
bool CanShade(const TPiece& w, const TVecBox& b, TAcadPoint q) {
    const double l = std::max(w.a, w.c);
    const double x0 = std::min(w.sx, w.sx + w.ex) + l * b.x0 - kOnTol;
    const double x1 = std::max(w.sx, w.sx + w.ex) + l * b.x1 + kOnTol;
    const double y0 = std::min(w.sy, w.sy + w.ey) + l * b.y0 - kOnTol;
    const double y1 = std::max(w.sy, w.sy + w.ey) + l * b.y1 + kOnTol;
    return q.x >= x0 && q.x <= x1 && q.y >= y0 && q.y <= y1;
}

// The roots, as clock hours in (lo, hi), of alpha + beta x v(t) = 0. With z the sine of the
// sun's altitude, v = w / z where w, the horizontal part of the unit vector pointing away from
// the sun, is affine in the cosine and sine of the hour angle H, and so is z: the form times z
// is P cos H + Q sin H + R, zero at H = atan2(Q, P) +- acos(-R / hypot(P, Q)).
struct TSunForms {
    double z0 = 0;  // z = z0 + z1 cos H
    double z1 = 0;
    double c0 = 0;  // cos(altitude) cos(azimuth) = c0 + c1 cos H
    double c1 = 0;
    double s1 = 0;  // cos(altitude) sin(azimuth) = s1 sin H
    double sinK = 0;
    double cosK = 0;
};

TSunForms SunFormsOf(const SunModel& sun) {
    TSunForms f;
    f.z0 = sun.SinIdo * sun.SinSekii;
    f.z1 = sun.CosIdo * sun.CosSekii;
    f.c0 = -sun.SinSekii * sun.CosIdo;
    f.c1 = sun.CosSekii * sun.SinIdo;
    f.s1 = sun.CosSekii;
    f.sinK = std::sin(sun.KitaHosei);
    f.cosK = std::cos(sun.KitaHosei);
    return f;
}

void AddRoots(const TSunForms& f, double alpha, double bx, double by, double lo, double hi,
              std::vector<double>& out) {
    // The shadow direction is 4.5 pi - (azimuth + K), so w = cos(alt) (sin(A + K), cos(A + K)).
    const double b = bx * f.cosK - by * f.sinK;
    const double d = bx * f.sinK + by * f.cosK;
    const double r = alpha * f.z0 + f.c0 * b;
    const double p = alpha * f.z1 + f.c1 * b;
    const double q = -f.s1 * d;
    const double rho = std::hypot(p, q);
    if (!(rho > 0) || std::fabs(r) > rho) return;
    const double theta = std::atan2(q, p);
    const double spread = std::acos(std::clamp(-r / rho, -1.0, 1.0));
    for (double hAngle : {theta - spread, theta + spread}) {
        const double t = 12 + std::remainder(hAngle, 2 * kPi) / kHourAngle;
        if (t > lo && t < hi) out.push_back(t);
    }
}

}  // namespace

bool MakeShadowOutline(Workspace& ws, const SunModel& sun, double t, double h) {
    ws.AryLine.clear();
    if (ws.AryTatemono.empty()) return false;
    double azimuth = 0;
    double factor = 1;
    if (!sun.GetTaiyouHoui(t, azimuth, factor)) return false;
    FillZukaShadowLines(ws, sun.ShadowDir(azimuth), factor, h, QuietRun());
    PrepareOutlineSegments(ws);
    std::vector<TLineEnt> rings;
    const OutlineLoopEnd end = TraceOutlineLoop(ws, QuietRun(), [&](const Workspace& w) {
        rings.insert(rings.end(), w.AryLine.begin(), w.AryLine.end());
    });
    ws.AryLine = std::move(rings);
    return end == OutlineLoopEnd::Done && !ws.AryLine.empty();
}

int TokuteiStepCount(const TTokuteiStep& p) {
    if (!(p.stepSeconds > 0)) return 0;
    // Counted in seconds, so that no rounding loses the last step (8 h at 1 s: 28800).
    const double n = std::trunc((p.owari - p.kaisi) * 3600 / p.stepSeconds + 1e-9);
    return n > 0 ? static_cast<int>(n) : 0;
}

double TokuteiTime(const TTokuteiStep& p, int i) { return p.kaisi + p.stepSeconds * i / 3600; }

TTokuteiResult GetTokuteiJikan(const std::vector<TLineEnt>& walls, const SunModel& sun,
                               const std::vector<TAcadPoint>& points, const TTokuteiStep& p,
                               RunContext& run) {
    TTokuteiResult result;
    result.rows.resize(points.size());
    result.steps = TokuteiStepCount(p);
    const int n = result.steps;

    // The shadow of a unit height at every instant, and its box.
    std::vector<TSunVec> vs(static_cast<std::size_t>(n));
    std::vector<SunAt> sunAt(static_cast<std::size_t>(n));
    TVecBox box;
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        sunAt[k] = SunVecAt(sun, TokuteiTime(p, i), vs[k]);
        if (sunAt[k] != SunAt::Up) continue;
        box.x0 = std::min(box.x0, vs[k].x);
        box.y0 = std::min(box.y0, vs[k].y);
        box.x1 = std::max(box.x1, vs[k].x);
        box.y1 = std::max(box.y1, vs[k].y);
    }

    const std::vector<TPiece> pieces = PiecesOf(walls, p.h);
    const Footprints feet(walls);
    std::vector<TPointPieces> perPoint(points.size());
    std::vector<char> used(pieces.size(), 0);
    for (std::size_t j = 0; j < points.size(); ++j) {
        perPoint[j].footprint = feet.Contains(points[j]);
        if (perPoint[j].footprint) continue;
        for (std::size_t w = 0; w < pieces.size(); ++w) {
            if (!CanShade(pieces[w], box, points[j])) continue;
            perPoint[j].pieces.push_back(PointPiece(pieces[w], static_cast<int>(w), points[j]));
            used[w] = 1;
        }
    }
    std::vector<std::size_t> usedList;
    for (std::size_t w = 0; w < pieces.size(); ++w)
        if (used[w]) usedList.push_back(w);

    std::vector<TPieceAt> at(pieces.size());
    std::vector<char> shaded(points.size(), 0);
    for (int i = 0; i < n; ++i) {
        run.SetProgressPosition(i);
        if (run.StopRequested()) {
            result.stopped = true;
            return result;
        }
        run.ProcessMessages();
        const auto k = static_cast<std::size_t>(i);
        const double t = TokuteiTime(p, i);
        const bool up = sunAt[k] == SunAt::Up;
        if (up) {
            for (std::size_t w : usedList) at[w] = PieceAt(pieces[w], vs[k]);
        } else {
            (sunAt[k] == SunAt::Down ? result.sunDown : result.noSun).push_back(t);
        }
        for (std::size_t j = 0; j < points.size(); ++j) {
            const bool inside = up && InShadow(pieces, at, perPoint[j], vs[k], points[j]);
            TTokuteiRow& row = result.rows[j];
            if (inside) ++row.count;
            if (inside != static_cast<bool>(shaded[j])) row.changes.push_back(t);
            shaded[j] = inside ? 1 : 0;
        }
    }
    // An interval still open at the end closes with the end of the last step.
    for (std::size_t j = 0; j < points.size(); ++j)
        if (shaded[j] && n > 0) result.rows[j].changes.push_back(TokuteiTime(p, n));
    return result;
}

std::vector<std::vector<TShadowInterval>> GetTokuteiExact(const std::vector<TLineEnt>& walls,
                                                          const SunModel& sun,
                                                          const std::vector<TAcadPoint>& points,
                                                          double kaisi, double owari, double h,
                                                          const RunContext* stop) {
    std::vector<std::vector<TShadowInterval>> out(points.size());
    const TSunForms forms = SunFormsOf(sun);
    double lo = std::max(kaisi, kFirstSunHour);
    double hi = std::min(owari, kLastSunHour);
    // The sun is above the horizon while z0 + z1 cos H > 0.
    if (forms.z1 > 0) {
        const double c = -forms.z0 / forms.z1;
        if (c >= 1) return out;  // below the horizon all day
        if (c > -1) {
            const double half = std::acos(c) / kHourAngle;
            lo = std::max(lo, 12 - half);
            hi = std::min(hi, 12 + half);
        }
    }
    if (!(lo < hi)) return out;

    const std::vector<TPiece> pieces = PiecesOf(walls, h);
    const Footprints feet(walls);
    // The altitude is lowest at one end of the period: no shadow is longer than there (and a
    // period from sunrise or to sunset has shadows of any length).
    TSunVec vLo;
    TSunVec vHi;
    const bool upAtEnds =
        SunVecAt(sun, lo, vLo) == SunAt::Up && SunVecAt(sun, hi, vHi) == SunAt::Up;
    const double longest =
        upAtEnds ? std::max(vLo.len, vHi.len) : std::numeric_limits<double>::infinity();

    std::vector<TPieceAt> at(pieces.size());
    std::vector<double> events;
    StopPoll stopped(stop);
    for (std::size_t j = 0; j < points.size(); ++j) {
        if (stopped(pieces.size() + 1)) break;
        const TAcadPoint q = points[j];
        if (feet.Contains(q)) {
            out[j].push_back({lo, hi});
            continue;
        }
        TPointPieces pp;
        events.clear();
        for (std::size_t w = 0; w < pieces.size(); ++w) {
            const TPiece& piece = pieces[w];
            if (DistToSegment2D(q, {piece.sx, piece.sy, 0},
                                {piece.sx + piece.ex, piece.sy + piece.ey, 0}) >
                std::max(piece.a, piece.c) * longest + kOnTol)
                continue;
            const TPointPiece x = PointPiece(piece, static_cast<int>(w), q);
            pp.pieces.push_back(x);
            // The edges st-st', ed-ed' and st'-ed' pass over q, or the quad turns over.
            if (piece.a > 0) AddRoots(forms, 0, x.d0x, x.d0y, lo, hi, events);
            if (piece.c > 0) AddRoots(forms, 0, x.d1x, x.d1y, lo, hi, events);
            const double k = piece.c - piece.a;
            AddRoots(forms, -x.ed1, piece.c * piece.ex + k * x.d1x, piece.c * piece.ey + k * x.d1y,
                     lo, hi, events);
            AddRoots(forms, 0, piece.ex, piece.ey, lo, hi, events);
        }
        events.push_back(lo);
        events.push_back(hi);
        std::sort(events.begin(), events.end());
        // Between two neighbouring events the point keeps its state: test the middle.
        std::vector<TShadowInterval>& ivs = out[j];
        for (std::size_t e = 0; e + 1 < events.size(); ++e) {
            if (stopped(pp.pieces.size() + 1)) break;
            const double a = events[e];
            const double b = events[e + 1];
            if (!(b > a)) continue;
            TSunVec v;
            if (SunVecAt(sun, (a + b) / 2, v) != SunAt::Up) continue;
            for (const TPointPiece& x : pp.pieces) {
                const auto w = static_cast<std::size_t>(x.piece);
                at[w] = PieceAt(pieces[w], v);
            }
            if (!InShadow(pieces, at, pp, v, q)) continue;
            if (!ivs.empty() && ivs.back().out == a) {
                ivs.back().out = b;
            } else {
                ivs.push_back({a, b});
            }
        }
    }
    return out;
}

}  // namespace zuka

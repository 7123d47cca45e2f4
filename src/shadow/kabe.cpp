#include "shadow/kabe.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "base/number.h"
#include "geom/outline.h"
#include "geom/primitives.h"
#include "shadow/time_of_day.h"
#include "shadow/touji_contour.h"

namespace zuka {
namespace {

constexpr char kNoMeshTitle[] = "Zuka.exe";
constexpr char kNoMesh[] = "壁面等時間は作成できません．";

constexpr int kWakuColour = 251;
constexpr double kMetre = 1000;
constexpr double kDistanceStep = 5000;  // the frame's distance lines
constexpr int kLongestHours = 8;        // the equal-time outlines are 8, 7, ... 1 hours
constexpr int kHaniCells = 480;         // cells a side of the coarse pre-pass
constexpr int kHaniStepSeconds = 120;
constexpr double kLabelGap = 0.2;  // label offset, in text heights

// The unit vector in direction a; exact for the four axis directions.
TAcadPoint Unit(double a) { return PolarPoint({0, 0, 0}, a, 1); }

// A direction reduced below 2 pi, and 0 when it is within 0.00001 of it, so that due south,
// east, north and west come out exact.
double ReduceDir(double a) {
    while (a >= kTwoPi) a -= kTwoPi;
    if (std::fabs(a) < 0.00001) a = 0;
    return a;
}

TAcadPoint Lerp(TAcadPoint a, TAcadPoint b, double f) {
    return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f};
}

bool HasFraction(double t) { return t - std::trunc(t) > 0; }

// Moves the end of a-b that lies beyond the edge `edge` of coordinate `axis` (0 x, 1 y) onto
// it; `below` says which side is outside. False when both ends lie outside.
bool Cut(TAcadPoint& a, TAcadPoint& b, int axis, double edge, bool below) {
    auto coord = [axis](const TAcadPoint& p) { return axis == 0 ? p.x : p.y; };
    auto outside = [&](const TAcadPoint& p) { return below ? coord(p) < edge : coord(p) > edge; };
    const bool outA = outside(a);
    const bool outB = outside(b);
    if (outA && outB) return false;
    if (!outA && !outB) return true;
    const double f = (edge - coord(a)) / (coord(b) - coord(a));
    TAcadPoint at = Lerp(a, b, f);
    (axis == 0 ? at.x : at.y) = edge;
    at.z = 0;
    (outA ? a : b) = at;
    return true;
}

void WriteChainPolyline(DxfWriter& w, const std::string& layer, const TDxfPolyline& head,
                        const std::vector<TAcadPoint>& chain) {
    w.Polyline(layer, head);
    for (const TAcadPoint& v : chain) w.Vertex(layer, v.x, v.y);
    w.SeqEnd();
}

// The shadow ring of one time in AryLine, clipped to the wall and written chain by chain, each
// with its time label below and right of its anchor: the end of a ring's first chain, the start
// of every later one.
int WriteKabeRing(const std::vector<TLineEnt>& ring, double t, double u, const TKabeParams& p,
                  double jikoku, DxfList& dxf) {
    const std::vector<std::vector<TAcadPoint>> chains = KabeChains(ClipToKabe(ring, t, u));
    DxfWriter w(dxf);
    TDxfPolyline head;
    head.hidden = HasFraction(jikoku);
    head.closed = false;
    for (std::size_t k = 0; k < chains.size(); ++k) {
        const std::vector<TAcadPoint>& chain = chains[k];
        WriteChainPolyline(w, p.jikokuLayer, head, chain);
        const TAcadPoint anchor = k == 0 ? chain.back() : chain.front();
        const TAcadPoint at = PolarPoint(anchor, -kPi / 4, kLabelGap * p.textTakasa);
        w.Start("TEXT", p.jikokuLayer)
            .Group(10, at.x)
            .Group(20, at.y)
            .Group(11, at.x)  // 11, 21: the alignment point of a top-left text
            .Group(21, at.y)
            .Group(40, p.textHeight)
            .Group(1, JikokuToHm(jikoku))
            .Add(" 41\r\n0.8")
            .Group(50, kDxfZero)
            .Group(72, 0)
            .Group(73, 3);
    }
    return static_cast<int>(chains.size());
}

// One equal-time outline of `hours`, closed by its last segment, clipped to the wall and
// written chain by chain in colour `hours`, each with its label along it: at the end of the
// outline's first chain, turned back along its last segment; at the start of every later one,
// along its first segment.
int WriteKabeOutline(const std::vector<TAcadPoint>& v, int hours, double t, double u,
                     const TKabeParams& p, DxfList& dxf) {
    std::vector<TLineEnt> segments(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        segments[i].st = v[i];
        segments[i].ed = v[(i + 1) % v.size()];
    }
    const std::vector<std::vector<TAcadPoint>> chains = KabeChains(ClipToKabe(segments, t, u));
    DxfWriter w(dxf);
    TDxfPolyline head;
    head.colour = hours;
    head.closed = false;
    for (std::size_t k = 0; k < chains.size(); ++k) {
        const std::vector<TAcadPoint>& chain = chains[k];
        WriteChainPolyline(w, p.toujiLayer, head, chain);
        const TAcadPoint anchor = k == 0 ? chain.back() : chain.front();
        const double a =
            k == 0 ? Angle2P(chain.back(), chain[chain.size() - 2]) : Angle2P(chain[0], chain[1]);
        const TAcadPoint at = PolarPoint(anchor, a + kPi / 4, kLabelGap * p.textTakasa);
        w.Start("TEXT", p.toujiLayer)
            .Group(10, at.x)
            .Group(20, at.y)
            .Group(62, hours)
            .Group(40, p.textHeight)
            .Group(1, FormatFixed(hours, 1) + "Hr")
            .Add(" 41\r\n0.8")
            .Group(50, FormatFixed(a * kRadToDeg, 4))
            .Group(72, 0)
            .Group(73, 0);
    }
    return static_cast<int>(chains.size());
}

TToujiParams MeshParams(const TKabeParams& p) {
    TToujiParams tp;
    tp.hyoukaIdx = p.hyoukaIdx;
    tp.meshSizes = p.meshSizes;
    tp.hyoukaTimes = p.hyoukaTimes;
    return tp;
}

}  // namespace

std::optional<TLineEnt> MakeKabeSen(const TLineEnt& picked, const std::vector<TLineEnt>& tatemono,
                                    double gbzmax) {
    if (tatemono.empty()) return std::nullopt;
    TLineEnt kabe = picked;
    // The foot a of the first building corner b0 on the wall's line, and the direction from the
    // wall towards b0. A corner on the wall's line (the picked wall itself, when it is among
    // the buildings) tells no side: the first corner off the line is taken.
    const double normal = Angle2P(kabe.st, kabe.ed) + kHalfPi;
    TAcadPoint b0 = tatemono[0].st;
    TAcadPoint a;
    bool found = false;
    for (const TLineEnt& s : tatemono) {
        b0 = s.st;
        if (!CrossPoint(b0, PolarPoint(b0, normal, 100), kabe.st, kabe.ed, false, a))
            return std::nullopt;
        if (!SamePoint2D(a, b0, kSamePointTol)) {
            found = true;
            break;
        }
    }
    if (!found) return std::nullopt;
    const double n = Angle2P(a, b0);
    const TAcadPoint m{(kabe.st.x + kabe.ed.x) / 2, (kabe.st.y + kabe.ed.y) / 2, 0};
    const TAcadPoint q = PolarPoint(m, n, 100);
    // st a quarter turn counter-clockwise from the building side: the buildings would lie on
    // the left walking from st to ed.
    if (TurnAngle(q, m, kabe.st, false) - kHalfPi < 0.00001) std::swap(kabe.st, kabe.ed);
    if (kabe.st.z == 0) kabe.st.z = gbzmax;
    if (kabe.ed.z == 0) kabe.ed.z = gbzmax;
    kabe.st.z = std::max(kabe.st.z, kabe.atumi);
    kabe.ed.z = std::max(kabe.ed.z, kabe.atumi);
    return kabe;
}

double KabeLength(const TLineEnt& kabe) { return Dist2D(kabe.st, kabe.ed); }

double KabeHeight(const TLineEnt& kabe) {
    if (kabe.st.z > 0 || kabe.ed.z > 0) return std::max(kabe.st.z, kabe.ed.z);
    return kKabeDefaultTakasa;
}

void MakeKabeShadowQuads(const std::vector<TLineEnt>& tatemono, const TLineEnt& kabe, double dir,
                         double factor, std::vector<TShadowQuad>& quads) {
    quads.clear();
    if (!(factor > 0)) return;
    const TAcadPoint st = kabe.st;
    const TAcadPoint along = Unit(Angle2P(kabe.st, kabe.ed));
    const TAcadPoint ray = Unit(ReduceDir(dir));
    // Distances across the wall's plane, positive on its left; a ray from p meets the plane
    // after s = -across(p) / across(ray) (the ratio does not depend on the side taken as left).
    auto across = [&](double x, double y) { return -along.y * x + along.x * y; };
    const double closing = across(ray.x, ray.y);
    if (std::fabs(closing) <= kParallelTol) return;  // the rays run along the wall
    auto reach = [&](const TAcadPoint& p) { return -across(p.x - st.x, p.y - st.y) / closing; };
    auto onWall = [&](const TAcadPoint& b, double s) {
        const double x = b.x + s * ray.x - st.x;
        const double y = b.y + s * ray.y - st.y;
        return TAcadPoint{x * along.x + y * along.y, b.z - s / factor, 0};
    };
    for (const TLineEnt& seg : tatemono) {
        TAcadPoint b1 = seg.st;
        TAcadPoint b2 = seg.ed;
        if (!(b1.z > 0) && !(b2.z > 0)) continue;
        double s1 = reach(b1);
        double s2 = reach(b2);
        // Behind the plane (its shadow runs away from it), or in it.
        if (!(std::max(s1, s2) > kSamePointTol)) continue;
        // A segment crossing the plane: the part in front of it.
        if (s1 < 0) {
            b1 = Lerp(b1, b2, s1 / (s1 - s2));
            s1 = 0;
        } else if (s2 < 0) {
            b2 = Lerp(b2, b1, s2 / (s2 - s1));
            s2 = 0;
        }
        // Neither shadow edge reaches the plane: the piece lies wholly below the ground.
        if (!(s1 <= b1.z * factor + kSamePointTol) && !(s2 <= b2.z * factor + kSamePointTol))
            continue;
        const TAcadPoint top1 = onWall(b1, s1);
        const TAcadPoint top2 = onWall(b2, s2);
        quads.push_back({top1, top2, TAcadPoint{top2.x, top2.y - b2.z, 0},
                         TAcadPoint{top1.x, top1.y - b1.z, 0}});
    }
}

bool MakeKabeLine(Workspace& ws, const TLineEnt& kabe, double dir, double factor) {
    ws.AryLine.clear();
    std::vector<TShadowQuad> quads;
    MakeKabeShadowQuads(ws.AryTatemono, kabe, dir, factor, quads);
    if (quads.empty()) return false;
    auto piece = [&ws](const TAcadPoint& a, const TAcadPoint& b) {
        TLineEnt s;
        s.st = a;
        s.ed = b;
        ws.AryLine.push_back(s);
    };
    // The shadow's top edge, the two verticals, the foot.
    for (const TShadowQuad& q : quads) {
        piece(q[0], q[1]);
        piece(q[0], q[3]);
        piece(q[1], q[2]);
        piece(q[3], q[2]);
    }
    PrepareOutlineSegments(ws);
    return true;
}

std::vector<TLineEnt> ClipToKabe(const std::vector<TLineEnt>& segments, double t, double u) {
    std::vector<TLineEnt> kept;
    for (const TLineEnt& s : segments) {
        if (SamePoint2D(s.st, s.ed, kSamePointTol)) continue;
        TLineEnt c = s;
        if (!Cut(c.st, c.ed, 1, 0, true)) continue;
        if (u > 0 && !Cut(c.st, c.ed, 1, u, false)) continue;
        if (!Cut(c.st, c.ed, 0, 0, true)) continue;
        if (!Cut(c.st, c.ed, 0, t, false)) continue;
        kept.push_back(c);
    }
    return kept;
}

std::vector<std::vector<TAcadPoint>> KabeChains(const std::vector<TLineEnt>& kept) {
    std::vector<std::vector<TAcadPoint>> chains;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (i == 0 || !SamePoint2D(kept[i - 1].ed, kept[i].st, kSamePointTol))
            chains.push_back({kept[i].st});
        chains.back().push_back(kept[i].ed);
    }
    return chains;
}

TKabeLineResult DrawKabeLine(Workspace& ws, const SunModel& sun, const TLineEnt& kabe,
                             const TKabeParams& p, DxfList& dxf, RunContext& run) {
    TKabeLineResult result;
    if (ws.AryTatemono.empty()) return result;
    const double t = KabeLength(kabe);
    const double u = KabeHeight(kabe);

    DxfWriter w(dxf);
    TDxfLineStyle style;
    style.colour = kWakuColour;
    const int metres = static_cast<int>(std::trunc(u / kMetre));
    for (int i = p.onWall ? 1 : 0; i <= metres; ++i) {
        style.hidden = i % 2 == 1;
        w.Line(p.wakuLayer, kDxfZero, i * kMetre, t, i * kMetre, style);
    }
    style.hidden = false;
    const int fives = static_cast<int>(std::trunc(t / kDistanceStep));
    for (int i = 0; i <= fives; ++i)
        w.Line(p.wakuLayer, i * kDistanceStep, 0.0, i * kDistanceStep, u, style);
    w.Line(p.wakuLayer, t, 0.0, t, u, style);
    result.drawn = true;

    const std::vector<double> times = ZukaTimes(p.kaisi, p.owari, p.kankaku);
    run.SetProgressMax(static_cast<int>(times.size()));
    for (std::size_t i = 0; i < times.size(); ++i) {
        const double jikoku = times[i];
        run.SetProgressPosition(static_cast<int>(i) + 1);
        run.ProcessMessages();
        if (run.StopRequested()) {
            result.stopped = true;
            break;
        }
        double azimuth = 0;
        double factor = 1;
        if (!sun.GetTaiyouHoui(jikoku, azimuth, factor)) {
            result.skipped.push_back(jikoku);
            continue;
        }
        if (!MakeKabeLine(ws, kabe, sun.ShadowDir(azimuth), factor)) continue;
        int written = 0;
        // A walk that fails ends this time's rings.
        TraceOutlineLoop(ws, QuietRun(), [&](const Workspace& traced) {
            written += WriteKabeRing(traced.AryLine, t, u, p, jikoku, dxf);
        });
        result.chains += written;
        if (written > 0) ++result.times;
    }
    ws.AryLine.clear();
    return result;
}

bool GetKabeHani(const std::vector<TLineEnt>& tatemono, const SunModel& sun, const TLineEnt& kabe,
                 double kaisi, double owari, double& xmin, double& ymin, double& xmax,
                 double& ymax) {
    if (tatemono.empty()) return false;
    std::vector<TShadowQuad> quads;
    for (double jikoku = kaisi; jikoku <= owari; jikoku += 1) {
        double azimuth = 0;
        double factor = 1;
        if (!sun.GetTaiyouHoui(jikoku, azimuth, factor)) continue;
        MakeKabeShadowQuads(tatemono, kabe, sun.ShadowDir(azimuth), factor, quads);
        for (const TShadowQuad& q : quads) {
            for (const TAcadPoint& c : q) {
                xmin = std::min(xmin, c.x);
                ymin = std::min(ymin, c.y);
                xmax = std::max(xmax, c.x);
                ymax = std::max(ymax, c.y);
            }
        }
    }
    return true;
}

int AccumulateKabeTouji(const std::vector<TLineEnt>& tatemono, const SunModel& sun,
                        const TLineEnt& kabe, double kaisi, double owari, int stepSeconds,
                        const TToujiMesh& mesh, ToujiGrid& grid, RunContext& run, ToujiCounting how,
                        std::vector<double>* skipped) {
    const ToujiInstantQuads pieces = [&tatemono, &kabe](double dir, double factor,
                                                        std::vector<TShadowQuad>& quads) {
        MakeKabeShadowQuads(tatemono, kabe, dir, factor, quads);
    };
    return AccumulateTouji(sun, kaisi, owari, stepSeconds, pieces, mesh, grid, run, how, skipped);
}

TToujiExtent GetKabeToujiHani(const std::vector<TLineEnt>& tatemono, const SunModel& sun,
                              const TLineEnt& kabe, double kaisi, double owari, ToujiGrid& grid,
                              RunContext& run) {
    // The box always holds the wall's origin.
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    GetKabeHani(tatemono, sun, kabe, kaisi, owari, xmin, ymin, xmax, ymax);
    const double w = xmax - xmin;
    const double h = ymax - ymin;
    xmin -= 0.025 * w;
    xmax += 0.025 * w;
    ymin -= 0.025 * h;
    ymax += 0.025 * h;
    const double cell = std::max(xmax - xmin, ymax - ymin) / kHaniCells;
    if (!(cell > 0)) return {};
    const TToujiMesh coarse{xmin, ymin, cell, kHaniCells};
    AccumulateKabeTouji(tatemono, sun, kabe, kaisi, owari, kHaniStepSeconds, coarse, grid, run);
    return ReachedExtent(grid, coarse, ToujiThreshold(1, owari - kaisi, kHaniStepSeconds));
}

TKabeToujiResult DrawKabeTouji(const std::vector<TLineEnt>& tatemono, const SunModel& sun,
                               const TLineEnt& kabe, const TKabeParams& p, ToujiGrid& grid,
                               DxfList& dxf, RunContext& run, const TKabeToujiUi& ui) {
    TKabeToujiResult result;
    const auto started = std::chrono::steady_clock::now();
    const double t = KabeLength(kabe);
    const double u = KabeHeight(kabe);
    auto status = [&ui](const std::string& text) {
        if (ui.status) ui.status(text);
    };
    auto meshNote = [&ui](const std::string& text) {
        if (ui.meshNote) ui.meshNote(text);
    };

    const TToujiExtent e = GetKabeToujiHani(tatemono, sun, kabe, p.kaisi, p.owari, grid, run);
    if (run.StopRequested()) {
        result.stopped = true;
        return result;
    }
    const TToujiParams tp = MeshParams(p);
    const int n = ToujiMeshSize(tp);
    const int s = ToujiStepSeconds(tp);
    result.meshSize = n;
    result.mesh = std::max(e.txmax - e.txmin, e.tymax - e.tymin) / n;
    meshNote("ﾒｯｼｭｻｲｽﾞ :" + FormatFixed(result.mesh, 1));
    status("");
    if (!(result.mesh > 0)) {
        result.noMesh = true;
        if (ui.message) ui.message(kNoMeshTitle, kNoMesh);
        return result;
    }
    const TToujiMesh mesh{e.txmin, e.tymin, result.mesh, n};

    ToujiSamplingRun sampling(run, status, p.kaisi, s);
    result.samples = AccumulateKabeTouji(tatemono, sun, kabe, p.kaisi, p.owari, s, mesh, grid,
                                         sampling, ToujiCounting::Spans, &result.skipped);
    run.SetProgressPosition(0);
    if (run.StopRequested()) {
        result.stopped = true;
        return result;
    }

    run.SetProgressMax(kLongestHours);
    for (int k = 0; k < kLongestHours; ++k) {
        const int hours = kLongestHours - k;
        run.SetProgressPosition(k + 1);
        status("時間：" + std::to_string(hours) + ".0Hr");
        run.ProcessMessages();
        if (run.StopRequested()) {
            result.stopped = true;
            break;
        }
        const double threshold = ToujiThreshold(hours, p.owari - p.kaisi, s);
        TContourResult traced = TraceToujiOutlines(grid, mesh, threshold, run);
        if (traced.stopped) {
            result.stopped = true;
            break;
        }
        for (const std::vector<TAcadPoint>& v : traced.outlines) {
            const std::vector<TAcadPoint> smooth = SmoothOutline(v, p.smoothK);
            if (run.StopRequested() || smooth.size() < 2) continue;
            result.chains += WriteKabeOutline(smooth, hours, t, u, p, dxf);
        }
    }
    run.SetProgressPosition(0);
    status("所要時間 : " + ToujiElapsed(started));
    meshNote("ﾒｯｼｭｻｲｽﾞ : " + FormatFixed(result.mesh, 1));
    return result;
}

}  // namespace zuka

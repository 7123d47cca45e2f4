#include "sky/sky_map.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>

#include "base/number.h"
#include "base/platform.h"
#include "geom/acquisition.h"
#include "geom/end_point_cells.h"
#include "geom/outline.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

// The system's messages.
const std::string kBadRadiusMessage = "天空図の半径が正しくありません. ";
const std::string kBadScaleMessage = "図面の尺度が正しくありません. ";
const std::string kFailedMessage = "天空率の計算に失敗しました. ";

constexpr double kSampleStep = 250;                    // mm along an edge
constexpr double kHorizonStep = 0.004363323129985824;  // 0.25 degrees, radians
constexpr double kDegToRad = kPi / 180;
constexpr double kTraceMoveDown = 1000;  // the walk's way back points straight down

const TAcadPoint kOrigin{};

// One entry of the edge work list: a top edge, its foot on the plane or a vertical edge.
struct TEdge {
    TLineEnt line;
    bool removed = false;
};

// q turned by g about the origin; z becomes 0.
TAcadPoint TurnAboutOrigin(TAcadPoint q, double g) {
    return PolarPoint(kOrigin, Angle2P(kOrigin, q) + g, Dist2D(kOrigin, q));
}

// A value within the point tolerance of zero becomes exactly zero.
double SnapZero(double v) { return std::fabs(v) < kSamePointTol ? 0.0 : v; }

// The part of a wall top that stands above the plane h, or nothing. A wall with both ends
// standing counts whole; a wall with one end standing is cut where its top meets the plane
// (the cut end lies exactly on it), or kept whole when its lower end is above the plane but
// at ground level (a plane below the ground).
std::optional<TLineEnt> PartAbovePlane(const TLineEnt& wall, double h) {
    const bool stStands = WallEndStands(wall.st.z, h);
    const bool edStands = WallEndStands(wall.ed.z, h);
    if (stStands && edStands) return wall;
    if (!stStands && !edStands) return std::nullopt;
    TLineEnt part = wall;
    const TAcadPoint high = stStands ? wall.st : wall.ed;
    TAcadPoint& low = stStands ? part.ed : part.st;
    if (low.z <= h) {
        const double f = (high.z - h) / (high.z - low.z);  // high.z > h >= low.z
        low.x = high.x + (low.x - high.x) * f;
        low.y = high.y + (low.y - high.y) * f;
        low.z = h;
    }
    return part;
}

// Step 4: tops, feet and verticals of every wall above the plane, in three passes, with
// repeats marked removed (the later of two equal entries stays).
std::vector<TEdge> MakeEdgeList(const std::vector<TLineEnt>& walls, double h) {
    std::vector<TLineEnt> parts;
    for (const TLineEnt& w : walls) {
        if (std::optional<TLineEnt> part = PartAbovePlane(w, h)) parts.push_back(*part);
    }
    std::vector<TEdge> edges;
    for (const TLineEnt& w : parts) edges.push_back({w});
    for (const TLineEnt& w : parts) {
        TLineEnt foot = w;
        foot.st.z = h;
        foot.ed.z = h;
        edges.push_back({foot});
    }
    for (const TLineEnt& w : parts) {
        for (const TAcadPoint& end : {w.st, w.ed}) {
            if (end.z <= h) continue;  // the cut end of a crossing wall has no height
            TLineEnt v = w;
            v.st = end;
            v.ed = end;
            v.ed.z = h;
            edges.push_back({v});
        }
    }
    std::vector<TLineEnt> lines;
    lines.reserve(edges.size());
    for (const TEdge& e : edges) lines.push_back(e.line);
    const std::vector<bool> repeated = RepeatedLines(lines);
    for (std::size_t i = 0; i < edges.size(); ++i) edges[i].removed = repeated[i];
    return edges;
}

// One step of the main window's bar per entry up to 100 entries, else per hundredth.
class EdgeProgress {
public:
    EdgeProgress(RunContext* progress, std::size_t count) : progress_(progress) {
        if (!progress_) return;
        every_ = count <= 100 ? 1 : count / 100;
        progress_->SetProgressMax(static_cast<int>(std::min<std::size_t>(count, 100)));
        progress_->SetProgressPosition(0);
    }
    ~EdgeProgress() {
        if (progress_) progress_->SetProgressPosition(0);
    }
    EdgeProgress(const EdgeProgress&) = delete;
    EdgeProgress& operator=(const EdgeProgress&) = delete;

    void Step() {
        if (!progress_) return;
        if (++seen_ % every_ != 0) return;
        progress_->SetProgressPosition(++position_);
        progress_->ProcessMessages();
    }

private:
    RunContext* progress_;
    std::size_t every_ = 1;
    std::size_t seen_ = 0;
    int position_ = 0;
};

// The projection of one edge onto the map.
class EdgeProjector {
public:
    EdgeProjector(TAcadPoint idPoint1, double h, double r, double g, const TTenkuDrawing* drawing,
                  Workspace& ws, std::vector<TAcadPoint>& horizon)
        : id1_(idPoint1), h_(h), r_(r), g_(g), drawing_(drawing), ws_(ws), horizon_(horizon) {}

    void Project(const TLineEnt& e) {
        const double d = Dist2D(e.st, e.ed);
        const double az = Angle2P(e.st, e.ed);
        const double dz = e.st.z - e.ed.z;
        const double len = std::sqrt(d * d + dz * dz);
        if (len <= kSamePointTol) return;
        if (e.st.z <= h_ && e.ed.z <= h_) {
            // A foot on the plane: its ends mark where the buildings meet the horizon.
            horizon_.push_back(PolarPoint(kOrigin, Angle2P(id1_, e.st), r_));
            horizon_.push_back(PolarPoint(kOrigin, Angle2P(id1_, e.ed), r_));
            return;
        }
        double slope;
        if (d > kSamePointTol) {
            slope = std::atan(dz / d);
        } else {
            slope = e.st.z > e.ed.z ? kThreeHalfPi : kHalfPi;
        }
        double step = d < kSamePointTol ? len / 3 : kSampleStep;
        int n = static_cast<int>(std::trunc(len / step)) + 1;
        if (n == 1) {
            n = 2;
            step = len / 3;
        }
        std::vector<TAcadPoint> drawn;
        for (int r = 0; r <= n; ++r) {
            TAcadPoint p;
            if (r == n) {
                p = e.ed;
            } else {
                p = PolarPoint(e.st, az, step * r * std::cos(slope));
                const double rise = std::fabs(step * r * std::sin(slope));
                p.z = dz < 0 ? e.st.z + rise : e.st.z - rise;
            }
            const TSample s = ProjectPoint(p);
            AddToSegments(s.q, r, n);
            if (!drawing_) continue;
            if ((r == 0 || r == n) && s.t > 0) {
                ws_.AryTateiti.push_back(
                    {o_, s.k, s.t, s.a * kRadToDeg, s.hAngle * kRadToDeg, r_ * std::cos(s.hAngle)});
            }
            drawn.push_back(TurnAboutOrigin(s.q, g_));
        }
        if (drawing_) WritePolyline(drawn);
    }

    int LastIndex() const { return o_; }

private:
    struct TSample {
        TAcadPoint q;       // the map point, z = height above the plane
        double k = 0;       // plan distance from the measurement point
        double t = 0;       // height above the plane
        double a = 0;       // azimuth from the measurement point, radians
        double hAngle = 0;  // elevation, radians
    };

    TSample ProjectPoint(TAcadPoint p) const {
        p.x = SnapZero(p.x);
        p.y = SnapZero(p.y);
        p.z = SnapZero(p.z);
        TSample s;
        // Heights at or below the plane (and below the ground) lie on the horizon.
        s.t = p.z > 0 ? std::max(p.z - h_, 0.0) : 0.0;
        s.k = Dist2D(p, id1_);
        s.a = Angle2P(id1_, p);
        // atan2 equals atan(t / k) for k > 0 and gives the zenith right above the point.
        s.hAngle = std::atan2(s.t, s.k);
        const TAcadPoint q =
            s.t > 0 ? PolarPoint(id1_, s.a, r_ * std::cos(s.hAngle)) : PolarPoint(id1_, s.a, r_);
        s.q = {q.x - id1_.x, q.y - id1_.y, s.t};
        return s;
    }

    // Chords P0->P1, ..., P(n-3)->P(n-2), P(n-2)->Pn, and one zero-length segment at Pn.
    void AddToSegments(TAcadPoint q, int r, int n) {
        std::vector<TLineEnt>& lines = ws_.AryLine;
        if (r < n) {
            ++o_;
            TLineEnt seg;
            seg.st = q;
            lines.push_back(seg);
        }
        if (r > 0 && o_ > 0) lines[o_ - 1].ed = q;
        if (r == n && o_ > 0) {
            lines[o_].ed = q;
            lines[o_].st = lines[o_ - 1].ed;
        }
    }

    void WritePolyline(const std::vector<TAcadPoint>& pts) {
        if (pts.size() < 2) return;
        const std::string& layer = drawing_->layer;
        DxfWriter w(*drawing_->dxf);
        w.Polyline(layer, {.elevation = DxfValue(drawing_->planeZ), .closed = false});
        for (const TAcadPoint& p : pts) w.Vertex(layer, FormatFixed(p.x, 4), FormatFixed(p.y, 4));
        w.SeqEnd();
    }

    TAcadPoint id1_;
    double h_;
    double r_;
    double g_;
    const TTenkuDrawing* drawing_;  // null: project only, no polylines and no position rows
    Workspace& ws_;
    std::vector<TAcadPoint>& horizon_;
    int o_ = -1;  // index of the last segment in AryLine
};

// Step 2: circle, compass lines and the letters N W E S standing with their feet toward the
// centre.
void WriteFrame(DxfWriter& w, const std::string& layer, double r, double t) {
    const double tick = 0.8 * t;
    w.Circle(layer, {}, r);
    const DxfValue zero;
    w.Line(layer, zero, r, zero, r + tick);
    w.Line(layer, -r, zero, -r - tick, zero);
    w.Line(layer, r, zero, r + tick, zero);
    w.Line(layer, zero, -r, zero, -r - tick);
    struct Letter {
        const char* text;
        DxfValue x;
        DxfValue y;
        std::optional<DxfValue> rotationDeg;
    };
    const Letter letters[] = {
        {"N", zero, r + t, std::nullopt},
        {"W", -r - t, zero, DxfValue("90")},
        {"E", r + t, zero, DxfValue("270")},
        {"S", zero, -r - t, DxfValue("180")},
    };
    for (const Letter& l : letters) {
        TDxfText text;
        text.at = {l.x, l.y, zero};
        text.height = tick;
        text.text = l.text;
        text.rotationDeg = l.rotationDeg;
        text.horizontal = 1;  // 72: centre
        text.vertical = 1;    // 73: bottom
        text.alignPoint = text.at;
        w.Text(layer, text);
    }
}

// Step 3: radial lines every e degrees and elevation circles; every third one continuous.
void WriteMeori(DxfWriter& w, const std::string& layer, double r, double e) {
    if (!(e > 0)) return;
    const DxfValue zero;
    const int radial = static_cast<int>(std::trunc(359 / e));
    for (int f = 0; f <= radial; ++f) {
        const TAcadPoint end = PolarPoint(kOrigin, e * f * kDegToRad, r);
        w.Line(layer, zero, zero, end.x, end.y, {.hidden = f % 3 != 0});
    }
    const int circles = static_cast<int>(std::trunc(89 / e)) - 1;
    for (int f = 1; f <= circles; ++f) {
        w.Start("CIRCLE", layer);
        if (f % 3 != 0) w.Add(kDxfHidden2);
        w.Group(10, zero).Group(20, zero).Group(30, zero);
        w.Group(40, r * std::cos(kHalfPi - e * f * kDegToRad));  // circle of elevation 90 - e*f
    }
}

// Step 6: the rim between the two foot points farthest apart around the origin, the shorter
// way, counter-clockwise.
void AddHorizonArc(const std::vector<TAcadPoint>& horizon, double r, double g,
                   const TTenkuDrawing* drawing, Workspace& ws) {
    if (horizon.size() < 2) return;
    const auto [ai, bi] = FarthestApart(horizon);
    TAcadPoint a = horizon[ai];
    TAcadPoint b = horizon[bi];
    const double ccw = TurnAngle(a, kOrigin, b, false);
    if (ccw > kTwoPi - ccw) std::swap(a, b);
    const double u = TurnAngle(a, kOrigin, b, false);
    const int n = static_cast<int>(std::trunc(u / kHorizonStep));
    std::vector<TAcadPoint> pts{a};
    const double start = Angle2P(kOrigin, a);
    for (int f = 1; f <= n; ++f) pts.push_back(PolarPoint(kOrigin, start + f * kHorizonStep, r));
    pts.push_back(b);

    for (std::size_t i = 1; i < pts.size(); ++i) {
        TLineEnt seg;
        seg.st = pts[i - 1];
        seg.ed = pts[i];
        ws.AryLine.push_back(seg);
    }
    if (!drawing) return;
    const std::string& layer = drawing->layer;
    DxfWriter w(*drawing->dxf);
    w.Polyline(layer, {.elevation = DxfValue(drawing->planeZ), .closed = false});
    for (const TAcadPoint& p : pts) {
        const TAcadPoint turned = TurnAboutOrigin(p, g);
        w.Vertex(layer, FormatFixed(turned.x, 4), FormatFixed(turned.y, 4));
    }
    w.SeqEnd();
}

// Whether the foot points leave an open stretch of more than half a turn around the origin:
// the largest angle between neighbouring feet, the wrap-around included. A wall cannot span
// such a stretch unless it runs through the point itself.
bool LeavesHalfTurnOpen(const std::vector<TAcadPoint>& feet) {
    if (feet.size() < 2) return true;
    std::vector<double> az;
    az.reserve(feet.size());
    for (const TAcadPoint& p : feet) az.push_back(Angle2P(kOrigin, p));
    std::sort(az.begin(), az.end());
    double widest = az.front() + kTwoPi - az.back();
    for (std::size_t i = 1; i < az.size(); ++i) widest = std::max(widest, az[i] - az[i - 1]);
    return widest > kPi;
}

void ScaleLines(std::vector<TLineEnt>& lines, double f) {
    for (TLineEnt& s : lines) {
        s.st.x *= f;
        s.st.y *= f;
        s.ed.x *= f;
        s.ed.y *= f;
    }
}

}  // namespace

bool SameLine3D(const TLineEnt& a, const TLineEnt& b) {
    return (SamePoint3D(a.st, b.st, kSamePointTol) && SamePoint3D(a.ed, b.ed, kSamePointTol)) ||
           (SamePoint3D(a.st, b.ed, kSamePointTol) && SamePoint3D(a.ed, b.st, kSamePointTol));
}

std::vector<bool> RepeatedLines(const std::vector<TLineEnt>& lines) {
    const std::size_t n = lines.size();
    std::vector<bool> repeated(n, false);
    // A later equal segment has an end at the start of segment i (in plan, within the
    // tolerance): only the segments filed there are compared.
    const EndPointCells ends(lines);
    std::vector<std::uint32_t> near;
    for (std::size_t i = 0; i < n; ++i) {
        const TLineEnt& a = lines[i];
        ends.Near(a.st, near);
        for (const std::uint32_t j : near) {
            if (j <= i) continue;
            if (SameLine3D(a, lines[j])) {
                repeated[i] = true;
                break;
            }
        }
    }
    return repeated;
}

std::pair<std::size_t, std::size_t> FarthestApart(const std::vector<TAcadPoint>& pts) {
    const std::size_t n = pts.size();
    auto folded = [&pts](std::size_t i, std::size_t j) {
        const double turn = TurnAngle(pts[i], kOrigin, pts[j], false);
        return turn > kPi ? kTwoPi - turn : turn;
    };
    std::pair<std::size_t, std::size_t> best{0, 1};
    double bestAngle = -1;
    // Every pair in order, the first of the largest kept: what the answer is defined by, for
    // a direction that is not a number.
    auto everyPair = [&] {
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) {
                if (i == j) continue;
                const double u = folded(i, j);
                if (u > bestAngle) {
                    bestAngle = u;
                    best = {i, j};
                }
            }
        }
        return best;
    };
    if (n < 2) return best;
    std::vector<double> az(n);
    for (std::size_t k = 0; k < n; ++k) {
        az[k] = Angle2P(kOrigin, pts[k]);
        if (std::isnan(az[k])) return everyPair();
    }
    std::vector<std::uint32_t> order(n);
    for (std::size_t k = 0; k < n; ++k) order[k] = static_cast<std::uint32_t>(k);
    std::sort(order.begin(), order.end(),
              [&az](std::uint32_t a, std::uint32_t b) { return az[a] < az[b]; });
    std::vector<double> sorted(n);
    for (std::size_t m = 0; m < n; ++m) sorted[m] = az[order[m]];
    // For point i, the folded angle of a partner is, to within a few units in the last place,
    // pi less its distance around the circle from the opposite direction; the partners within
    // kMargin of the nearest to that direction are all that can give i's largest folded angle
    // as computed, and the margin lies far above those rounding errors.
    constexpr double kMargin = 1e-12;
    const auto count = static_cast<std::ptrdiff_t>(n);
    for (std::size_t i = 0; i < n; ++i) {
        double opposite = az[i] + kPi;
        if (opposite >= kTwoPi) opposite -= kTwoPi;
        auto distance = [&](std::ptrdiff_t m) {
            const double d = std::fabs(sorted[static_cast<std::size_t>(m)] - opposite);
            return std::min(d, kTwoPi - d);
        };
        const std::ptrdiff_t right =
            std::lower_bound(sorted.begin(), sorted.end(), opposite) - sorted.begin();
        auto at = [&](std::ptrdiff_t m) { return ((m % count) + count) % count; };
        // The nearest partner on each side, i itself passed over.
        double nearest = std::numeric_limits<double>::infinity();
        for (std::ptrdiff_t k = 0; k < count; ++k) {
            if (order[static_cast<std::size_t>(at(right + k))] == i) continue;
            nearest = std::min(nearest, distance(at(right + k)));
            break;
        }
        for (std::ptrdiff_t k = 1; k <= count; ++k) {
            if (order[static_cast<std::size_t>(at(right - k))] == i) continue;
            nearest = std::min(nearest, distance(at(right - k)));
            break;
        }
        // The partners within the margin, each side walked outwards, every point at most once.
        double angle = -1;
        std::size_t partner = n;
        auto consider = [&](std::ptrdiff_t m) {
            const std::size_t j = order[static_cast<std::size_t>(m)];
            if (j == i) return;
            const double u = folded(i, j);
            if (u > angle || (u == angle && j < partner)) {
                angle = u;
                partner = j;
            }
        };
        const double limit = nearest + kMargin;
        std::ptrdiff_t up = 0;
        for (; up < count && distance(at(right + up)) <= limit; ++up) consider(at(right + up));
        for (std::ptrdiff_t down = 1; up + down <= count && distance(at(right - down)) <= limit;
             ++down)
            consider(at(right - down));
        if (partner < n && angle > bestAngle) {
            bestAngle = angle;
            best = {i, partner};
        }
    }
    return best;
}

bool ProjectTenkuzu(const std::vector<TLineEnt>& aryTatemono, TAcadPoint idPoint1, double h,
                    double r, double g, Workspace& ws, const TTenkuDrawing* drawing,
                    RunContext* progress) {
    ws.AryLine.clear();
    StopPoll stop(progress);
    const std::vector<TEdge> edges = MakeEdgeList(aryTatemono, h);
    std::vector<TAcadPoint> horizon;
    EdgeProjector projector(idPoint1, h, r, g, drawing, ws, horizon);
    {
        EdgeProgress bar(progress, edges.size());
        for (const TEdge& e : edges) {
            if (stop(64)) break;  // an edge is tens of samples at least
            if (!e.removed) projector.Project(e.line);
            bar.Step();
        }
    }
    ws.AryLine.resize(static_cast<std::size_t>(projector.LastIndex() + 1));
    AddHorizonArc(horizon, r, g, drawing, ws);
    for (TLineEnt& s : ws.AryLine) {
        s.st = TurnAboutOrigin(s.st, g);
        s.ed = TurnAboutOrigin(s.ed, g);
    }
    return LeavesHalfTurnOpen(horizon);
}

bool TraceTenkuOutline(Workspace& ws, RunContext* progress) {
    const auto stopped = [progress] { return progress && progress->StopRequested(); };
    MergeCollinearLines(ws, false, progress, progress);
    if (stopped()) return false;
    SplitAtIntersections(ws, progress, progress);
    if (stopped()) return false;
    RemoveDupLines(ws, progress, progress);
    if (stopped()) return false;
    GetMinCorner(ws);
    ws.OutlinePrevPt = ws.OutlineMinPt;
    ws.OutlinePrevPt.y -= kTraceMoveDown;
    ws.OutlineStartPt = FindStartPoint(ws);
    return TraceOutline(ws, false, progress);
}

std::string TenkuEnclosedMessage(const std::string& pointName) {
    return "測定点 " + ShownValue(pointName) +
           " は建物に半周以上囲まれているため、天空図と天空率を求められません．";
}

std::optional<std::string> TenkuSizeRefusal(double radius, double scale) {
    if (!(radius > 0)) return kBadRadiusMessage;
    if (!(scale > 0)) return kBadScaleMessage;
    return std::nullopt;
}

double TenkuRotationDeg(const TTenkuParams& p) { return p.rotateMap ? p.kitaDeg - 90 : 0.0; }

TTenkuResult MakeTenkuzuDxf(const std::vector<TLineEnt>& aryTatemono, TAcadPoint idPoint1,
                            const TTenkuParams& p, Workspace& ws, DxfList& dxf,
                            RunContext* progress) {
    if (std::optional<std::string> refusal = TenkuSizeRefusal(p.Radius(), p.scale)) {
        return {p.Radius() > 0 ? TenkuStatus::BadScale : TenkuStatus::BadRadius, *refusal};
    }

    const double r = p.Radius() * p.scale;
    const double t = p.textSize * p.scale;
    const double g = kHalfPi - p.kitaDeg * kDegToRad;  // brings true north to +Y
    const double h = ParseDouble(p.mentaka).value_or(0.0) * 1000;
    const double planeZ = p.planeHeightM * 1000;

    ws.AryLine.clear();
    ws.AryTateiti.clear();
    ws.AryLine.reserve(1000);
    ws.AryTateiti.reserve(1000);
    if (aryTatemono.empty()) return {TenkuStatus::NoBuildings, {}};

    StartDxfFile(dxf);
    DxfWriter w(dxf);
    WriteFrame(w, p.layer, r, t);
    WriteMeori(w, p.meoriLayer, r, p.meori);

    const TTenkuDrawing drawing{&dxf, p.layer, planeZ};
    const bool open = ProjectTenkuzu(aryTatemono, idPoint1, h, r, g, ws, &drawing, progress);
    if (progress && progress->StopRequested()) {
        ws.AryLine.clear();
        ws.AryTateiti.clear();
        return {TenkuStatus::Stopped, {}};
    }
    if (!open) {
        ws.AryLine.clear();
        ws.AryTateiti.clear();
        return {TenkuStatus::Enclosed, TenkuEnclosedMessage(p.pointName)};
    }
    ws.AryTateiti.shrink_to_fit();
    return {TenkuStatus::Drawn, {}};
}

double TenkuScaleFactor(int typ, double radiusA, double radiusB) {
    if (typ == 0 && radiusA < radiusB && radiusA > 0) return radiusB / radiusA;
    if (typ == 1 && radiusA > radiusB && radiusB > 0) return radiusA / radiusB;
    return 1.0;
}

TenkuOutlineStatus TenkuRinkakuOutline(Workspace& ws, int typ, double radiusA, double radiusB,
                                       RunContext* progress) {
    if (ws.AryLine.size() <= 2) return TenkuOutlineStatus::TooFew;
    const double k = TenkuScaleFactor(typ, radiusA, radiusB);
    if (k > 1) ScaleLines(ws.AryLine, k);

    const bool ok = TraceTenkuOutline(ws, progress);
    if (progress && progress->StopRequested()) {
        ws.AryLine.clear();
        return TenkuOutlineStatus::Stopped;
    }
    RemoveSpikes(ws);

    if (k > 1) ScaleLines(ws.AryLine, 1 / k);
    return ok ? TenkuOutlineStatus::Traced : TenkuOutlineStatus::Failed;
}

std::optional<TTenkuArea> TenkuAreaOf(double areaDrawing, double radius, double scale) {
    if (!(radius > 0) || !(scale > 0)) return std::nullopt;
    TTenkuArea a;
    a.circle = radius * radius * kPi;
    a.projected = areaDrawing / (scale * scale);
    a.ritu = (a.circle - a.projected) / a.circle * 100;
    return a;
}

std::string FormatLabel74(const TTenkuArea& a) {
    return "面積 " + FormatFixed(a.circle, 3) + ", " + FormatFixed(a.projected, 3) + " 天空率 " +
           FormatFixed(a.ritu, 3) + "%";
}

std::string TenkuFailedMessage() { return kFailedMessage; }

}  // namespace zuka

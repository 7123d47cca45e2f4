#include "geom/outline.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "geom/end_point_cells.h"
#include "geom/primitives.h"

// Every pass gives exactly what comparing each segment with every other gives (the same
// segments in the same order, the same bits), but compares only what can pass its test:
// segments and end points are filed by cells, and a cell is looked at only where a test within
// the tolerances can succeed. The margins below say why nothing that could pass is left out.
namespace zuka {
namespace {

constexpr int kMarkKeep = 0;
constexpr int kMarkDrop = -1;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;
// Widening of boxes around points and segments: far more than any point that a test within
// the coincidence tolerance (1e-5 in x and in y) can accept.
constexpr double kNearTol = 1e-4;
// Lists shorter than this are compared pair by pair: filing them costs more than it saves.
constexpr std::size_t kFewSegments = 48;
// Items of a pass between two looks at the stop request.
constexpr std::size_t kStopEvery = 1024;

bool Same(TAcadPoint p, TAcadPoint q) { return SamePoint2D(p, q, kSamePointTol); }

bool SameBits(const TAcadPoint& a, const TAcadPoint& b) {
    return std::bit_cast<std::uint64_t>(a.x) == std::bit_cast<std::uint64_t>(b.x) &&
           std::bit_cast<std::uint64_t>(a.y) == std::bit_cast<std::uint64_t>(b.y) &&
           std::bit_cast<std::uint64_t>(a.z) == std::bit_cast<std::uint64_t>(b.z);
}

// Keeps the segments whose id is kMarkKeep, in order.
void Compact(std::vector<TLineEnt>& lines) {
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const TLineEnt& s) { return s.id != kMarkKeep; }),
                lines.end());
}

// True every kStopEvery items once the run asks to stop; `stop` may be null.
bool StopAt(const RunContext* stop, std::size_t i) {
    return stop && i % kStopEvery == 0 && stop->StopRequested();
}

// The progress bar of a list pass: the number of segments when at most 100, else 100 with
// one step every (count div 100) segments.
class PassProgress {
public:
    PassProgress(RunContext* run, std::size_t count) : run_(run) {
        if (!run_) return;
        every_ = count <= 100 ? 1 : count / 100;
        run_->SetProgressMax(count <= 100 ? static_cast<int>(count) : 100);
        run_->SetProgressPosition(0);
    }
    ~PassProgress() {
        if (run_) run_->SetProgressPosition(0);
    }
    PassProgress(const PassProgress&) = delete;
    PassProgress& operator=(const PassProgress&) = delete;
    void Step(std::size_t i) {
        if (!run_ || (i + 1) % every_ != 0) return;
        run_->SetProgressPosition(++pos_);
        run_->ProcessMessages();
    }

private:
    RunContext* run_;
    std::size_t every_ = 1;
    int pos_ = 0;
};

// Segment indices with a mark per index: a list is gathered once per query, each index once.
class Gatherer {
public:
    void Reset(std::size_t n) { stamp_.assign(n, 0); }
    void Begin(std::vector<std::uint32_t>& out) {
        out.clear();
        if (++epoch_ == 0) {  // wrapped: forget every old mark
            std::fill(stamp_.begin(), stamp_.end(), 0);
            epoch_ = 1;
        }
    }
    void Add(std::uint32_t k, std::vector<std::uint32_t>& out) {
        if (stamp_[k] == epoch_) return;
        stamp_[k] = epoch_;
        out.push_back(k);
    }

private:
    std::vector<std::uint32_t> stamp_;
    std::uint32_t epoch_ = 0;
};

// ---------------------------------------------------------------------------------------
// A uniform grid and the cells a segment passes through.

struct TGridFrame {
    double x0 = 0;
    double y0 = 0;
    double cell = 1;
    int nx = 1;
    int ny = 1;

    static int Clamp(double v, int count) {
        if (!(v >= 0)) return 0;  // also NaN
        return v >= count - 1 ? count - 1 : static_cast<int>(v);
    }
    int Col(double x) const { return Clamp(std::floor((x - x0) / cell), nx); }
    int Row(double y) const { return Clamp(std::floor((y - y0) / cell), ny); }
    std::size_t Index(int c, int r) const {
        return static_cast<std::size_t>(r) * static_cast<std::size_t>(nx) +
               static_cast<std::size_t>(c);
    }
    std::size_t Cells() const {
        return static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny);
    }
};

// A frame over [x0, x1] x [y0, y1] with square cells of about `cell`, at most about maxCells.
TGridFrame MakeFrame(double x0, double y0, double x1, double y1, double cell,
                     std::size_t maxCells) {
    TGridFrame g;
    g.x0 = x0;
    g.y0 = y0;
    const double w = std::max(x1 - x0, 0.0);
    const double h = std::max(y1 - y0, 0.0);
    const double most = static_cast<double>(std::max<std::size_t>(maxCells, 1));
    // Fewer cells when there would be too many: area / cell^2 <= maxCells, and no side
    // longer than maxCells cells.
    double c = std::isfinite(cell) && cell > 0 ? cell : 1;
    c = std::max({c, std::sqrt(w * h / most), w / most, h / most});
    if (!(c > 0) || !std::isfinite(c)) c = 1;
    g.cell = c;
    g.nx = static_cast<int>(std::clamp(std::ceil(w / c), 1.0, most));
    g.ny = static_cast<int>(std::clamp(std::ceil(h / c), 1.0, most));
    return g;
}

// Calls f(cell index) for every cell that holds a point within m of the segment a-b (some
// cells more), each once. The frame must cover the segment widened by m.
template <class F>
void ForCellsAlong(const TGridFrame& g, TAcadPoint a, TAcadPoint b, double m, F&& f) {
    const double xlo = std::min(a.x, b.x);
    const double xhi = std::max(a.x, b.x);
    const double ylo = std::min(a.y, b.y);
    const double yhi = std::max(a.y, b.y);
    const int c0 = g.Col(xlo - m);
    const int c1 = g.Col(xhi + m);
    const int r0 = g.Row(ylo - m);
    const int r1 = g.Row(yhi + m);
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const long boxCells = static_cast<long>(c1 - c0 + 1) * static_cast<long>(r1 - r0 + 1);
    if (boxCells <= 6 || (dx == 0 && dy == 0)) {
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) f(g.Index(c, r));
        return;
    }
    // Along the longer axis, strip by strip: the segment's points within m of a strip have
    // their coordinate along that axis within the strip widened by m (and a little for
    // rounding), so the other coordinate lies between its values at the ends of that part.
    const double slack = 1.5 * m;
    const bool alongX = std::fabs(dx) >= std::fabs(dy);
    // u along the longer axis, v along the other.
    const double au = alongX ? a.x : a.y;
    const double av = alongX ? a.y : a.x;
    const double ulo = alongX ? xlo : ylo;
    const double uhi = alongX ? xhi : yhi;
    const double vlo = alongX ? ylo : xlo;
    const double vhi = alongX ? yhi : xhi;
    const double u0 = alongX ? g.x0 : g.y0;
    const double slope = alongX ? dy / dx : dx / dy;
    const int s0 = alongX ? c0 : r0;
    const int s1 = alongX ? c1 : r1;
    const int t0 = alongX ? r0 : c0;
    const int t1 = alongX ? r1 : c1;
    for (int strip = s0; strip <= s1; ++strip) {
        const double ua = std::clamp(u0 + strip * g.cell - slack, ulo, uhi);
        const double ub = std::clamp(u0 + (strip + 1) * g.cell + slack, ulo, uhi);
        const double va = std::clamp(av + (ua - au) * slope, vlo, vhi);
        const double vb = std::clamp(av + (ub - au) * slope, vlo, vhi);
        const double v0 = std::min(va, vb) - slack;
        const double v1 = std::max(va, vb) + slack;
        const int ta = std::max(t0, alongX ? g.Row(v0) : g.Col(v0));
        const int tb = std::min(t1, alongX ? g.Row(v1) : g.Col(v1));
        for (int t = ta; t <= tb; ++t) f(alongX ? g.Index(strip, t) : g.Index(t, strip));
    }
}

struct TBounds {
    double x0 = std::numeric_limits<double>::infinity();
    double y0 = std::numeric_limits<double>::infinity();
    double x1 = -std::numeric_limits<double>::infinity();
    double y1 = -std::numeric_limits<double>::infinity();
    double length = 0;  // sum of the segments' lengths
    double reach = 0;   // largest |coordinate|

    void Add(TAcadPoint p) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
        reach = std::max({reach, std::fabs(p.x), std::fabs(p.y)});
    }
    static TBounds Of(const std::vector<TLineEnt>& segs) {
        TBounds b;
        for (const TLineEnt& s : segs) {
            b.Add(s.st);
            b.Add(s.ed);
            b.length += std::hypot(s.ed.x - s.st.x, s.ed.y - s.st.y);
        }
        return b;
    }
    double Diagonal() const { return std::hypot(x1 - x0, y1 - y0); }
    bool Finite() const { return std::isfinite(x0 + y0 + x1 + y1 + length); }
};

// Segments filed by the cells they pass through, widened by a margin.
class SegmentCells {
public:
    SegmentCells(const std::vector<TLineEnt>& segs, const TBounds& b, double margin)
        : margin_(margin) {
        const std::size_t n = segs.size();
        frame_ =
            MakeFrame(b.x0 - 2 * margin, b.y0 - 2 * margin, b.x1 + 2 * margin, b.y1 + 2 * margin,
                      b.length / static_cast<double>(std::max<std::size_t>(n, 1)) / 4, 16 * n);
        start_.assign(frame_.Cells() + 1, 0);
        for (const TLineEnt& s : segs)
            ForCellsAlong(frame_, s.st, s.ed, margin_, [&](std::size_t c) { ++start_[c + 1]; });
        for (std::size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
        items_.resize(start_.back());
        std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
        for (std::size_t k = 0; k < n; ++k) {
            ForCellsAlong(frame_, segs[k].st, segs[k].ed, margin_, [&](std::size_t c) {
                items_[fill[c]++] = static_cast<std::uint32_t>(k);
            });
        }
    }

    // Every segment filed in a cell that segment s passes through (s itself among them).
    template <class F>
    void ForNear(const TLineEnt& s, F&& f) const {
        ForCellsAlong(frame_, s.st, s.ed, margin_, [&](std::size_t c) {
            for (std::uint32_t i = start_[c]; i < start_[c + 1]; ++i) f(items_[i]);
        });
    }

private:
    double margin_;
    TGridFrame frame_;
    std::vector<std::uint32_t> start_;
    std::vector<std::uint32_t> items_;
};

// ---------------------------------------------------------------------------------------
// The merge of collinear pieces.

bool MergesInto(TLineEnt& si, double len, TLineEnt& sj, bool sameZ) {
    if (sameZ && si.st.z != sj.st.z) return false;
    const bool stOn = std::fabs(Dist2D(si.st, sj.st) + Dist2D(si.ed, sj.st) - len) < kSamePointTol;
    const bool edOn = std::fabs(Dist2D(si.st, sj.ed) + Dist2D(si.ed, sj.ed) - len) < kSamePointTol;
    if (!stOn && !edOn) return false;
    if (!IsOnLine2(si.st, si.ed, sj.st, sj.ed)) return false;
    FarthestPair(si.st, si.ed, sj.st, sj.ed, sj.st, sj.ed);
    return true;
}

void MergePass(Workspace& ws, bool sameZ, RunContext* progress, const RunContext* stop) {
    std::vector<TLineEnt>& a = ws.AryLine;
    const std::size_t n = a.size();
    PassProgress bar(progress, n);
    for (TLineEnt& s : a) s.id = kMarkKeep;
    const TBounds b = TBounds::Of(a);
    if (n < kFewSegments || !b.Finite()) {
        for (std::size_t i = 0; i + 1 < n; ++i) {
            bar.Step(i);
            if (StopAt(stop, i)) return;
            const double len = Dist2D(a[i].st, a[i].ed);
            if (len <= kSamePointTol) {
                a[i].id = kMarkDrop;
                continue;
            }
            for (std::size_t j = i + 1; j < n; ++j) {
                if (MergesInto(a[i], len, a[j], sameZ)) {
                    a[i].id = kMarkDrop;
                    break;
                }
            }
        }
        Compact(a);
        return;
    }
    // The end of j that lies on i is within 0.0101 of segment i: IsOnLine2 puts it within
    // 0.01 of i's line (its angles snap to the axes by at most 1e-5 / length) and the
    // distance sum within 5e-6 beyond i's ends. Every segment's original end points are
    // filed once; a segment that merges into a later one hands them on (owner), since the
    // later one's new ends are taken from them.
    constexpr double kReach = 0.02;
    const TGridFrame g =
        MakeFrame(b.x0 - 2 * kReach, b.y0 - 2 * kReach, b.x1 + 2 * kReach, b.y1 + 2 * kReach,
                  b.length / static_cast<double>(n) / 8, 16 * n);
    struct TEnd {
        double x;
        double y;
        std::uint32_t k;
    };
    std::vector<std::uint32_t> start(g.Cells() + 1, 0);
    auto cellOf = [&](TAcadPoint p) { return g.Index(g.Col(p.x), g.Row(p.y)); };
    for (const TLineEnt& s : a) {
        ++start[cellOf(s.st) + 1];
        ++start[cellOf(s.ed) + 1];
    }
    for (std::size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
    std::vector<TEnd> items(2 * n);
    {
        std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
        for (std::size_t k = 0; k < n; ++k) {
            const auto self = static_cast<std::uint32_t>(k);
            items[fill[cellOf(a[k].st)]++] = {a[k].st.x, a[k].st.y, self};
            items[fill[cellOf(a[k].ed)]++] = {a[k].ed.x, a[k].ed.y, self};
        }
    }
    std::vector<std::uint32_t> owner(n);
    for (std::size_t k = 0; k < n; ++k) owner[k] = static_cast<std::uint32_t>(k);
    auto find = [&](std::uint32_t k) {
        std::uint32_t r = k;
        while (r != kNone && owner[r] != r) r = owner[r];
        while (k != r && k != kNone) {
            const std::uint32_t up = owner[k];
            owner[k] = r;
            k = up;
        }
        return r;
    };
    Gatherer gather;
    gather.Reset(n);
    std::vector<std::uint32_t> cand;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        bar.Step(i);
        if (StopAt(stop, i)) return;
        TLineEnt& si = a[i];
        const double len = Dist2D(si.st, si.ed);
        if (len <= kSamePointTol) {
            si.id = kMarkDrop;
            owner[i] = kNone;
            continue;
        }
        gather.Begin(cand);
        // Squared distance from the segment, by projection: a point farther than kReach
        // cannot be the end that lies on i.
        const double dx = si.ed.x - si.st.x;
        const double dy = si.ed.y - si.st.y;
        const double len2 = dx * dx + dy * dy;
        ForCellsAlong(g, si.st, si.ed, kReach, [&](std::size_t c) {
            for (std::uint32_t e = start[c]; e < start[c + 1]; ++e) {
                const TEnd& p = items[e];
                const double px = p.x - si.st.x;
                const double py = p.y - si.st.y;
                const double t = std::clamp((px * dx + py * dy) / len2, 0.0, 1.0);
                const double ex = px - t * dx;
                const double ey = py - t * dy;
                if (ex * ex + ey * ey > kReach * kReach) continue;
                const std::uint32_t j = find(p.k);
                if (j != kNone && j > i) gather.Add(j, cand);
            }
        });
        SortSmall(cand);
        for (const std::uint32_t j : cand) {
            if (MergesInto(si, len, a[j], sameZ)) {
                si.id = kMarkDrop;
                owner[i] = j;
                break;
            }
        }
    }
    Compact(a);
}

// ---------------------------------------------------------------------------------------
// The largest end-point distance; `stop` can cut the search short (the run is then abandoned).

void MaxSpanOf(Workspace& ws, const RunContext* stop) {
    const std::vector<TLineEnt>& a = ws.AryLine;
    const std::size_t n = a.size();
    const auto plain = [&] {
        double best = 0;
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = i + 1; j < n; ++j) {
                best = std::max({best, Dist2D(a[i].st, a[j].ed), Dist2D(a[i].st, a[j].st),
                                 Dist2D(a[i].ed, a[j].ed), Dist2D(a[i].ed, a[j].st)});
            }
        }
        return best;
    };
    if (n < kFewSegments || !TBounds::Of(a).Finite()) {
        ws.MaxSpan = plain();
        return;
    }
    // Only points that can lie in a pair at least as far apart as a known pair take part.
    // With K directions u_k, for any vector v some u_k is within pi / K of it, so
    // |q - p| <= (q - p) . u_k / cos(pi / K) <= (max_q q . u_k - p . u_k) / cos(pi / K).
    constexpr int kDirs = 32;
    double ux[kDirs];
    double uy[kDirs];
    double most[kDirs];
    std::uint32_t arg[kDirs];
    for (int k = 0; k < kDirs; ++k) {
        ux[k] = std::cos(kTwoPi * k / kDirs);
        uy[k] = std::sin(kTwoPi * k / kDirs);
        most[k] = -std::numeric_limits<double>::infinity();
        arg[k] = 0;
    }
    const std::size_t points = 2 * n;
    auto point = [&](std::size_t e) -> const TAcadPoint& {
        return e % 2 == 0 ? a[e / 2].st : a[e / 2].ed;
    };
    for (std::size_t e = 0; e < points; ++e) {
        const TAcadPoint& p = point(e);
        for (int k = 0; k < kDirs; ++k) {
            const double v = p.x * ux[k] + p.y * uy[k];
            if (v > most[k]) {
                most[k] = v;
                arg[k] = static_cast<std::uint32_t>(e);
            }
        }
    }
    // A known pair: the extremes of opposite directions, of different segments.
    double known = Dist2D(a[0].st, a[1].st);
    for (int k = 0; k < kDirs / 2; ++k) {
        const std::uint32_t p = arg[k];
        const std::uint32_t q = arg[k + kDirs / 2];
        if (p / 2 != q / 2) known = std::max(known, Dist2D(point(p), point(q)));
    }
    const double slack = 1e-9 * (known + TBounds::Of(a).reach) + 1e-300;
    const double inv = 1 / std::cos(kPi / kDirs);
    std::vector<std::uint32_t> keep;
    for (std::size_t e = 0; e < points; ++e) {
        const TAcadPoint& p = point(e);
        double bound = 0;
        for (int k = 0; k < kDirs; ++k)
            bound = std::max(bound, most[k] - (p.x * ux[k] + p.y * uy[k]));
        if (bound * inv + slack >= known) keep.push_back(static_cast<std::uint32_t>(e));
    }
    double best = 0;
    StopPoll stopped(stop);
    for (std::size_t i = 0; i < keep.size(); ++i) {
        if (stopped(keep.size() - i)) break;
        for (std::size_t j = i + 1; j < keep.size(); ++j) {
            if (keep[i] / 2 == keep[j] / 2) continue;
            best = std::max(best, Dist2D(point(keep[i]), point(keep[j])));
        }
    }
    ws.MaxSpan = best;
}

// ---------------------------------------------------------------------------------------
// The split at intersections.

struct TPointAt {
    double d = 0;  // plan distance from the segment's start
    TAcadPoint p;
};

// Sorts pts by d as the exchange sort of SortTempPointsByDist does: for each position, each
// later entry strictly nearer than the one there now is swapped in. With distinct distances
// that is the one ascending order; so is it when only identical entries tie. Otherwise (or
// with a distance that is no number) the exchanges themselves are run.
template <class T, class Equal>
void SortByDistance(std::vector<T>& pts, std::vector<double>& d, std::vector<std::uint32_t>& order,
                    std::vector<T>& scratch, Equal&& identical) {
    const std::size_t m = pts.size();
    auto exchange = [&] {
        for (std::size_t i = 0; i < m; ++i) {
            for (std::size_t j = i + 1; j < m; ++j) {
                if (d[j] < d[i]) {
                    std::swap(pts[i], pts[j]);
                    std::swap(d[i], d[j]);
                }
            }
        }
    };
    if (m < 12) {
        exchange();
        return;
    }
    order.resize(m);
    for (std::size_t i = 0; i < m; ++i) {
        if (std::isnan(d[i])) {
            exchange();
            return;
        }
        order[i] = static_cast<std::uint32_t>(i);
    }
    std::sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
        return d[x] < d[y] || (d[x] == d[y] && x < y);
    });
    for (std::size_t i = 1; i < m; ++i) {
        if (d[order[i]] == d[order[i - 1]] && !identical(pts[order[i]], pts[order[i - 1]])) {
            exchange();
            return;
        }
    }
    scratch.resize(m);
    std::vector<double> sortedD(m);
    for (std::size_t i = 0; i < m; ++i) {
        scratch[i] = pts[order[i]];
        sortedD[i] = d[order[i]];
    }
    pts.swap(scratch);
    d.swap(sortedD);
}

// Pairs of segments on nearly one line, whose crossing CrossPoint may report anywhere along
// it: their cross-product denominator is then rounding noise. For pairs whose directions
// differ by at least kSkew radians the reported crossing lies within
// 2 eps (|p3 - p1| + |d1|) / kSkew of the true one, which the cells' margin covers; pairs more
// nearly parallel than that report a crossing only when their lines lie within about
// kSkew * (length) of each other. Those are found here by direction and offset.
constexpr double kSkew = 1e-7;

std::vector<std::pair<std::uint32_t, std::uint32_t>> NearlyCollinearPairs(
    const std::vector<TLineEnt>& segs, const TBounds& b) {
    struct TKey {
        std::int64_t bucket;
        std::uint32_t k;
    };
    constexpr double kWidth = 2 * kSkew;  // directions of a bucket and its neighbour
    std::vector<TKey> keys;
    keys.reserve(segs.size());
    const std::int64_t last = static_cast<std::int64_t>(std::floor(kPi / kWidth));
    for (std::size_t k = 0; k < segs.size(); ++k) {
        const double dx = segs[k].ed.x - segs[k].st.x;
        const double dy = segs[k].ed.y - segs[k].st.y;
        if (dx == 0 && dy == 0) continue;  // never crosses anything
        double phi = std::atan2(dy, dx);
        if (phi < 0) phi += kPi;
        if (phi >= kPi) phi -= kPi;
        const auto bucket =
            std::clamp(static_cast<std::int64_t>(std::floor(phi / kWidth)), std::int64_t{0}, last);
        keys.push_back({bucket, static_cast<std::uint32_t>(k)});
        // Directions just above 0 are near those just below pi.
        if (bucket == 0) keys.push_back({last + 1, static_cast<std::uint32_t>(k)});
    }
    std::sort(keys.begin(), keys.end(), [](const TKey& x, const TKey& y) {
        return x.bucket < y.bucket || (x.bucket == y.bucket && x.k < y.k);
    });
    // Offsets of the midpoints across a common direction: two such segments' offsets differ by
    // at most their lines' distance plus (directions' difference) x (their distance apart).
    const double window = 5e-7 * (b.Diagonal() + b.reach) + 1e-9;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
    struct TOffset {
        double off;
        std::uint32_t k;
    };
    std::vector<TOffset> group;
    for (std::size_t i = 0; i < keys.size();) {
        std::size_t j = i;
        while (j < keys.size() && keys[j].bucket == keys[i].bucket) ++j;
        std::size_t e = j;
        while (e < keys.size() && keys[e].bucket == keys[i].bucket + 1) ++e;
        if (e - i > 1) {
            const double ref = static_cast<double>(keys[i].bucket + 1) * kWidth;
            const double nx = -std::sin(ref);
            const double ny = std::cos(ref);
            group.clear();
            for (std::size_t g = i; g < e; ++g) {
                const TLineEnt& s = segs[keys[g].k];
                group.push_back(
                    {nx * 0.5 * (s.st.x + s.ed.x) + ny * 0.5 * (s.st.y + s.ed.y), keys[g].k});
            }
            std::sort(group.begin(), group.end(),
                      [](const TOffset& x, const TOffset& y) { return x.off < y.off; });
            for (std::size_t p = 0; p < group.size(); ++p) {
                for (std::size_t q = p + 1;
                     q < group.size() && group[q].off - group[p].off <= window; ++q) {
                    if (group[p].k != group[q].k) pairs.push_back({group[p].k, group[q].k});
                }
            }
        }
        i = j;
    }
    return pairs;
}

void SplitPass(Workspace& ws, RunContext* progress, const RunContext* stop) {
    const std::vector<TLineEnt>& a = ws.AryLine;
    const std::size_t n = a.size();
    // Extended copies, so that segments meeting end to end intersect.
    std::vector<TLineEnt> ext(a);
    for (TLineEnt& s : ext) {
        const double dir = Angle2P(s.st, s.ed);
        const TAcadPoint st = s.st;
        s.st = PolarPoint(st, dir, -kSamePointTol);
        s.ed = PolarPoint(s.ed, dir, kSamePointTol);
    }
    PassProgress bar(progress, n);
    ws.AryLine2.clear();
    const TBounds b = TBounds::Of(ext);
    const bool filed = n >= kFewSegments && b.Finite();
    // A true crossing lies within both segments widened by this margin (see kSkew).
    const double margin = 1e-3 + 1e-8 * (b.Diagonal() + b.reach);
    std::optional<SegmentCells> cells;
    std::vector<std::uint32_t> pairStart;
    std::vector<std::uint32_t> pairItems;
    if (filed) {
        cells.emplace(ext, b, margin);
        const auto pairs = NearlyCollinearPairs(ext, b);
        pairStart.assign(n + 1, 0);
        for (const auto& [p, q] : pairs) {
            ++pairStart[p + 1];
            ++pairStart[q + 1];
        }
        for (std::size_t k = 1; k <= n; ++k) pairStart[k] += pairStart[k - 1];
        pairItems.resize(pairStart[n]);
        std::vector<std::uint32_t> fill(pairStart.begin(), pairStart.end() - 1);
        for (const auto& [p, q] : pairs) {
            pairItems[fill[p]++] = q;
            pairItems[fill[q]++] = p;
        }
    }
    Gatherer gather;
    gather.Reset(n);
    std::vector<std::uint32_t> cand;
    std::vector<TPointAt> pts;
    std::vector<double> dist;
    std::vector<std::uint32_t> order;
    std::vector<TPointAt> scratch;
    for (std::size_t i = 0; i < n; ++i) {
        bar.Step(i);
        if (StopAt(stop, i)) return;
        const auto self = static_cast<std::uint32_t>(i);
        gather.Begin(cand);
        if (filed) {
            // Two segments cross only where both pass, so their boxes widened by the margin
            // overlap.
            const TLineEnt& e = ext[i];
            const double x0 = std::min(e.st.x, e.ed.x) - 2 * margin;
            const double x1 = std::max(e.st.x, e.ed.x) + 2 * margin;
            const double y0 = std::min(e.st.y, e.ed.y) - 2 * margin;
            const double y1 = std::max(e.st.y, e.ed.y) + 2 * margin;
            cells->ForNear(e, [&](std::uint32_t k) {
                const TLineEnt& o = ext[k];
                if (k == self || std::max(o.st.x, o.ed.x) < x0 || std::min(o.st.x, o.ed.x) > x1 ||
                    std::max(o.st.y, o.ed.y) < y0 || std::min(o.st.y, o.ed.y) > y1)
                    return;
                gather.Add(k, cand);
            });
            for (std::uint32_t q = pairStart[i]; q < pairStart[i + 1]; ++q)
                gather.Add(pairItems[q], cand);
            SortSmall(cand);
        } else {
            for (std::uint32_t k = 0; k < n; ++k)
                if (k != self) cand.push_back(k);
        }
        pts.clear();
        pts.push_back({0, a[i].st});
        for (const std::uint32_t k : cand) {
            TAcadPoint hit;
            if (CrossPoint(ext[i].st, ext[i].ed, ext[k].st, ext[k].ed, true, hit))
                pts.push_back({0, hit});
        }
        pts.push_back({0, a[i].ed});
        dist.resize(pts.size());
        for (std::size_t h = 0; h < pts.size(); ++h) dist[h] = Dist2D(a[i].st, pts[h].p);
        SortByDistance(pts, dist, order, scratch,
                       [](const TPointAt& x, const TPointAt& y) { return SameBits(x.p, y.p); });
        for (std::size_t h = 0; h + 1 < pts.size(); ++h) {
            if (Same(pts[h].p, pts[h + 1].p)) continue;
            TLineEnt piece;
            piece.st = pts[h].p;
            piece.ed = pts[h + 1].p;
            ws.AryLine2.push_back(piece);
        }
    }
    // The point list of the last segment stays behind, as in a split done point by point.
    ws.AryTempPoint.clear();
    for (const TPointAt& q : pts) ws.AryTempPoint.push_back({0, q.p, {}});
}

// ---------------------------------------------------------------------------------------
// Inside or on an outline, as IsInsideLines tells, looking only at the segments that can
// decide it.

class InsideTest {
public:
    InsideTest(const std::vector<TLineEnt>& lines, double span) : lines_(lines), span_(span) {
        const TBounds b = TBounds::Of(lines);
        plain_ = lines.empty() || !b.Finite();
        if (plain_) return;
        box_ = b;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            ends_.push_back({lines[k].st.y, lines[k].st.x});
            ends_.push_back({lines[k].ed.y, lines[k].ed.x});
        }
        std::sort(ends_.begin(), ends_.end());
        // Horizontal strips, each listing the segments whose y range (widened) meets it.
        strips_ = static_cast<int>(std::clamp<std::size_t>(lines.size() / 4, 1, 4096));
        stripH_ = (box_.y1 - box_.y0) / strips_;
        if (!(stripH_ > 0)) {
            strips_ = 1;
            stripH_ = 1;
        }
        start_.assign(static_cast<std::size_t>(strips_) + 1, 0);
        auto each = [&](auto&& f) {
            for (std::size_t k = 0; k < lines.size(); ++k) {
                const TLineEnt& s = lines[k];
                const int s0 = Strip(std::min(s.st.y, s.ed.y) - kNearTol);
                const int s1 = Strip(std::max(s.st.y, s.ed.y) + kNearTol);
                for (int t = s0; t <= s1; ++t) f(t, static_cast<std::uint32_t>(k));
            }
        };
        each([&](int t, std::uint32_t) { ++start_[static_cast<std::size_t>(t) + 1]; });
        for (std::size_t t = 1; t < start_.size(); ++t) start_[t] += start_[t - 1];
        items_.resize(start_.back());
        std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
        each([&](int t, std::uint32_t k) { items_[fill[static_cast<std::size_t>(t)]++] = k; });
    }

    bool Inside(TAcadPoint q) {
        if (plain_) return IsInsideLines(q, span_, lines_);
        // Right of or above the outline, the first ray direction (along +x) passes no end
        // point, crosses nothing and q is near no segment.
        if (q.x > box_.x1 + kNearTol || q.y > box_.y1 + kNearTol) return false;
        // The ray direction of InsideRayDirection: the first or, past an end point, the
        // second of its directions, found by looking only at the end points near that
        // direction; past both (rare), the whole test.
        double dir = 0.0;
        if (!DirectionClear(q, dir)) {
            dir = 1 * (kPi / 360);
            if (!DirectionClear(q, dir)) return IsInsideLines(q, span_, lines_);
        } else if (q.y < box_.y0 - kNearTol) {
            return false;  // along +x below the outline: nothing to cross
        }
        // The segments the ray can meet, or that q lies on, span part of the ray's rise over
        // the outline (within the widening) and reach right of q. Crossings need the
        // segment's y range to hold the crossing's y up to rounding.
        const double top = q.y + std::tan(dir) * 1.001 * std::max(box_.x1 - q.x, 0.0);
        const int s0 = Strip(q.y - kNearTol);
        const int s1 = Strip(top + kNearTol);
        pick_.clear();
        for (int t = s0; t <= s1; ++t) {
            for (std::uint32_t e = start_[static_cast<std::size_t>(t)];
                 e < start_[static_cast<std::size_t>(t) + 1]; ++e) {
                const TLineEnt& s = lines_[items_[e]];
                if (std::min(s.st.y, s.ed.y) - kNearTol > top ||
                    std::max(s.st.y, s.ed.y) + kNearTol < q.y ||
                    std::max(s.st.x, s.ed.x) + kNearTol < q.x)
                    continue;
                pick_.push_back(items_[e]);
            }
        }
        if (s1 > s0) {
            std::sort(pick_.begin(), pick_.end());
            pick_.erase(std::unique(pick_.begin(), pick_.end()), pick_.end());
        }
        const TAcadPoint r = PolarPoint(q, dir, span_ * 1000);
        return IsInsideAlongRay(q, r, lines_, pick_.data(), pick_.size());
    }

private:
    int Strip(double y) const {
        const double v = std::floor((y - box_.y0) / stripH_);
        if (!(v >= 0)) return 0;
        return v >= strips_ - 1 ? strips_ - 1 : static_cast<int>(v);
    }
    // Whether the ray from q in direction dir (0 or pi / 360) passes within 1e-5 radians of
    // no end point, as InsideRayDirection judges it. Angle2P(q, p) can come that near only
    // for p.x - q.x >= 1e-5 and -1e-5 < p.y - q.y < tan(dir + 1e-5) (p.x - q.x) or 1e-5
    // (its turns to the axes give 0, pi / 2, pi or 3 pi / 2 only).
    bool DirectionClear(TAcadPoint q, double dir) const {
        const double reach = std::max(box_.x1 - q.x, 0.0);
        const double lo = q.y - 2 * kSamePointTol;
        const double hi = q.y + (std::tan(dir) + 1.001e-5) * reach + 2 * kSamePointTol;
        auto it = std::lower_bound(ends_.begin(), ends_.end(), std::make_pair(lo, -1e308));
        for (; it != ends_.end() && it->first <= hi; ++it) {
            if (it->second < q.x) continue;
            const TAcadPoint p{it->second, it->first, 0};
            if (std::fabs(dir - Angle2P(q, p)) < kSamePointTol) return false;
        }
        return true;
    }

    const std::vector<TLineEnt>& lines_;
    double span_;
    bool plain_ = true;
    TBounds box_;
    std::vector<std::pair<double, double>> ends_;  // (y, x) of every end point, ascending
    int strips_ = 1;
    double stripH_ = 1;
    std::vector<std::uint32_t> start_;
    std::vector<std::uint32_t> items_;
    std::vector<std::uint32_t> pick_;
};

// ---------------------------------------------------------------------------------------
// The start of a walk, over the segments that each(take) hands to take in list order.

// OutlineMinPt := (min x, min y) of the end points, z of the first segment's start; unchanged
// when there is no segment.
template <class Each>
void MinCornerOf(Workspace& ws, Each&& each) {
    bool first = true;
    TAcadPoint m;
    each([&](const TLineEnt& s) {
        if (first) m = s.st;
        first = false;
        m.x = std::min({m.x, s.st.x, s.ed.x});
        m.y = std::min({m.y, s.st.y, s.ed.y});
    });
    if (!first) ws.OutlineMinPt = m;
}

// The end point nearest to m among those less than 1e-5 from m's x (the first on ties).
template <class Each>
TAcadPoint StartPointOf(TAcadPoint m, Each&& each) {
    TAcadPoint best = m;
    double bestDist = std::numeric_limits<double>::infinity();
    auto consider = [&](TAcadPoint p) {
        if (std::fabs(p.x - m.x) >= kSamePointTol) return;
        const double d = Dist2D(p, m);
        if (d < bestDist) {
            bestDist = d;
            best = p;
        }
    };
    each([&](const TLineEnt& s) {
        consider(s.st);
        consider(s.ed);
    });
    return best;
}

// ---------------------------------------------------------------------------------------
// The walk.

// Walks the outer boundary of `segs` into ws.AryLine as TraceOutline describes; n is the
// number of segments taking part and near(p, out) lists them, ascending, where one may have
// an end coincident with p.
template <class Near>
bool Walk(Workspace& ws, const std::vector<TLineEnt>& segs, std::size_t n, Near&& near, bool join,
          RunContext* progress, bool* closedOut) {
    std::vector<TLineEnt>& out = ws.AryLine;
    out.clear();
    if (closedOut) *closedOut = false;
    if (n == 0) return false;

    const int barMax = static_cast<int>(std::min<std::size_t>(n, 100)) * 30;
    int barPos = 0;
    if (progress) {
        progress->SetProgressMax(barMax);
        progress->SetProgressPosition(0);
    }

    TAcadPoint cur = ws.OutlineStartPt;
    TAcadPoint prev = ws.OutlinePrevPt;
    bool closed = false;
    // The walk is closed when it is about to leave the start along its first segment again.
    // Coming back to the start alone is not enough: the start may lie where the walk passes
    // twice, such as a segment that joins two figures (walked out and back) or a point where
    // two figures touch, and stopping there would leave the second figure out. A segment is
    // walked at most once on each side, so 2N + 1 steps always suffice.
    std::optional<TAcadPoint> firstNext;
    std::vector<std::uint32_t> cand;
    for (std::size_t step = 0; step <= 2 * n; ++step) {
        if (progress) {
            if (++barPos >= barMax) barPos = 0;
            progress->SetProgressPosition(barPos);
            progress->ProcessMessages();
        }
        TAcadPoint next = prev;
        TAcadPoint from = cur;
        double best = kTwoPi;
        bool found = false;
        near(cur, cand);  // in list order, so the first of equal turns still wins
        for (const std::uint32_t k : cand) {
            const TLineEnt& s = segs[k];
            TAcadPoint e;
            TAcadPoint atCur;
            if (Same(s.st, cur) && !Same(s.ed, prev)) {
                e = s.ed;
                atCur = s.st;
            } else if (Same(s.ed, cur) && !Same(s.st, prev)) {
                e = s.st;
                atCur = s.ed;
            } else {
                continue;
            }
            const double turn = TurnAngle(prev, cur, e, false);
            if (turn < best) {
                best = turn;
                next = e;
                from = atCur;
                found = true;
            }
        }
        if (Same(next, cur)) break;  // a zero-length candidate, or stuck where we came from
        // A dead end counts as a step back along the same segment, so a walk around a lone line
        // closes too, with nothing left.
        if (firstNext && Same(cur, ws.OutlineStartPt) && Same(next, *firstNext)) {
            closed = true;
            break;
        }
        if (found) {
            TLineEnt piece;
            piece.st = cur;
            piece.ed = next;
            out.push_back(piece);
            if (!firstNext) firstNext = next;
        } else if (!out.empty()) {
            out.pop_back();  // dead end: go back the way we came
        }
        prev = from;
        cur = next;
    }
    if (progress) progress->SetProgressPosition(0);
    if (closedOut) *closedOut = closed;
    if (!closed) return false;

    if (out.size() > 1 && Same(out.front().st, out.back().ed) &&
        Same(out.front().ed, out.back().st)) {
        out.pop_back();
        out.erase(out.begin());
    }
    if (join) JoinCollinearChain(ws);
    return out.size() > 2;
}

// ---------------------------------------------------------------------------------------
// The split segments while the outline loop takes them away: one list filed once, with a mark
// per segment, standing for AryLine2 (the segments still marked, in order).

class OutlineSet {
public:
    explicit OutlineSet(std::vector<TLineEnt>&& segs)
        : segs_(std::move(segs)), alive_(segs_.size(), 1), count_(segs_.size()), ends_(segs_) {
        // For each end of each segment, the other segments with an end coincident with it.
        adjStart_.assign(2 * segs_.size() + 1, 0);
        std::vector<std::uint32_t> near;
        for (std::size_t e = 0; e < 2 * segs_.size(); ++e) {
            const std::uint32_t self = static_cast<std::uint32_t>(e / 2);
            const TAcadPoint p = End(e);
            ends_.Near(p, near);
            for (const std::uint32_t k : near) {
                if (k != self && (Same(p, segs_[k].st) || Same(p, segs_[k].ed)))
                    adjItems_.push_back(k);
            }
            adjStart_[e + 1] = static_cast<std::uint32_t>(adjItems_.size());
        }
    }

    std::size_t Count() const { return count_; }

    // GetMinCorner and FindStartPoint on the marked segments.
    void FindStart(Workspace& ws) const {
        const auto marked = [&](auto&& take) {
            for (std::size_t k = 0; k < segs_.size(); ++k)
                if (alive_[k]) take(segs_[k]);
        };
        MinCornerOf(ws, marked);
        ws.OutlinePrevPt = ws.OutlineMinPt;
        ws.OutlineStartPt = StartPointOf(ws.OutlineMinPt, marked);
    }

    bool Trace(Workspace& ws, bool* closed) const {
        return Walk(
            ws, segs_, count_,
            [&](TAcadPoint p, std::vector<std::uint32_t>& out) {
                ends_.Near(p, out);
                out.erase(std::remove_if(out.begin(), out.end(),
                                         [&](std::uint32_t k) { return !alive_[k]; }),
                          out.end());
            },
            false, nullptr, closed);
    }

    // RemoveInnerLines against the outline in ws.AryLine.
    // Returns false when `run` asked to stop (the segments are then left half tested).
    bool RemoveInner(const Workspace& ws, const RunContext& run) {
        InsideTest inside(ws.AryLine, ws.MaxSpan);
        StopPoll stopped(&run, 16);  // an inside test is costly where the outline winds
        for (std::size_t k = 0; k < segs_.size(); ++k) {
            if (stopped()) return false;
            if (alive_[k] && (inside.Inside(segs_[k].st) || inside.Inside(segs_[k].ed))) {
                alive_[k] = 0;
                --count_;
            }
        }
        return true;
    }

    // One pass of PruneDanglingLines. The first pass after other removals looks at every
    // segment; a later one (`after` set) only at those touching a segment the pass before
    // removed, as only their ends can have lost their last touching segment.
    bool Prune(bool after) {
        removed_.swap(lastRemoved_);
        removed_.clear();
        auto touched = [&](std::size_t e) {
            for (std::uint32_t i = adjStart_[e]; i < adjStart_[e + 1]; ++i)
                if (alive_[adjItems_[i]]) return true;
            return false;
        };
        auto look = [&](std::uint32_t k) {
            if (alive_[k] && (!touched(2 * k) || !touched(2 * k + 1))) removed_.push_back(k);
        };
        if (!after) {
            for (std::uint32_t k = 0; k < segs_.size(); ++k) look(k);
        } else {
            checked_.clear();
            for (const std::uint32_t r : lastRemoved_) {
                for (std::size_t e = 2 * r; e <= 2 * r + 1; ++e)
                    for (std::uint32_t i = adjStart_[e]; i < adjStart_[e + 1]; ++i)
                        checked_.push_back(adjItems_[i]);
            }
            std::sort(checked_.begin(), checked_.end());
            checked_.erase(std::unique(checked_.begin(), checked_.end()), checked_.end());
            for (const std::uint32_t k : checked_) look(k);
        }
        for (const std::uint32_t k : removed_) alive_[k] = 0;
        count_ -= removed_.size();
        return !removed_.empty();
    }

    // AryLine2 as the loop leaves it.
    void Store(Workspace& ws) {
        std::vector<TLineEnt>& out = ws.AryLine2;
        out.clear();
        for (std::size_t k = 0; k < segs_.size(); ++k)
            if (alive_[k]) out.push_back(segs_[k]);
    }

private:
    TAcadPoint End(std::size_t e) const { return e % 2 == 0 ? segs_[e / 2].st : segs_[e / 2].ed; }

    std::vector<TLineEnt> segs_;
    std::vector<char> alive_;
    std::size_t count_;
    EndPointCells ends_;
    std::vector<std::uint32_t> adjStart_;
    std::vector<std::uint32_t> adjItems_;
    std::vector<std::uint32_t> removed_;
    std::vector<std::uint32_t> lastRemoved_;
    std::vector<std::uint32_t> checked_;
};

}  // namespace

void MergeCollinearLines(Workspace& ws, bool sameZ, RunContext* progress,
                         const RunContext* stop) {
    MergePass(ws, sameZ, progress, stop);
}

void GetMaxSpan(Workspace& ws) { MaxSpanOf(ws, nullptr); }

void SplitAtIntersections(Workspace& ws, RunContext* progress, const RunContext* stop) {
    SplitPass(ws, progress, stop);
}

void SortTempPointsByDist(Workspace& ws, TAcadPoint p) {
    std::vector<TTempPoint>& pts = ws.AryTempPoint;
    std::vector<double> d(pts.size());
    for (std::size_t i = 0; i < pts.size(); ++i) d[i] = Dist2D(p, pts[i].pt);
    std::vector<std::uint32_t> order;
    std::vector<TTempPoint> scratch;
    SortByDistance(pts, d, order, scratch, [](const TTempPoint& x, const TTempPoint& y) {
        return x.id == y.id && SameBits(x.pt, y.pt) && x.Name == y.Name;
    });
}

namespace {

void RemoveDupPass(Workspace& ws, RunContext* progress, const RunContext* stop) {
    std::vector<TLineEnt>& a = ws.AryLine2;
    const std::size_t n = a.size();
    PassProgress bar(progress, n);
    for (TLineEnt& s : a) s.id = kMarkKeep;
    // A later equal segment has an end at st_i: only the segments filed there are compared.
    const EndPointCells ends(a);
    std::vector<std::uint32_t> near;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        bar.Step(i);
        if (StopAt(stop, i)) return;
        ends.Near(a[i].st, near);
        for (const std::uint32_t j : near) {
            if (j <= i) continue;
            if ((Same(a[i].st, a[j].st) && Same(a[i].ed, a[j].ed)) ||
                (Same(a[i].st, a[j].ed) && Same(a[i].ed, a[j].st))) {
                a[i].id = kMarkDrop;
                break;
            }
        }
    }
    Compact(a);
    ws.AryLine.clear();
}

}  // namespace

void RemoveDupLines(Workspace& ws, RunContext* progress, const RunContext* stop) {
    RemoveDupPass(ws, progress, stop);
}

void PruneDanglingLines(Workspace& ws) {
    std::vector<TLineEnt>& a = ws.AryLine2;
    const std::size_t n = a.size();
    const EndPointCells ends(a);
    std::vector<std::uint32_t> near;
    auto touches = [&](std::size_t self, TAcadPoint p) {
        ends.Near(p, near);
        for (const std::uint32_t k : near) {
            if (k != self && (Same(p, a[k].st) || Same(p, a[k].ed))) return true;
        }
        return false;
    };
    for (std::size_t i = 0; i < n; ++i)
        a[i].id = touches(i, a[i].st) && touches(i, a[i].ed) ? kMarkKeep : kMarkDrop;
    Compact(a);
}

void RemoveInnerLines(Workspace& ws) {
    InsideTest inside(ws.AryLine, ws.MaxSpan);
    for (TLineEnt& s : ws.AryLine2) {
        const bool inner = inside.Inside(s.st) || inside.Inside(s.ed);
        s.id = inner ? kMarkDrop : kMarkKeep;
    }
    Compact(ws.AryLine2);
}

void RemoveSpikes(Workspace& ws) {
    const auto reverses = [](const TLineEnt& a, const TLineEnt& b) {
        return Same(a.st, b.ed) && Same(a.ed, b.st);
    };
    std::vector<TLineEnt> kept;
    kept.reserve(ws.AryLine.size());
    for (const TLineEnt& s : ws.AryLine) {
        if (!kept.empty() && reverses(kept.back(), s)) {
            kept.pop_back();
        } else {
            kept.push_back(s);
        }
    }
    // The walk is closed: its last segment also meets its first.
    std::size_t lo = 0;
    std::size_t hi = kept.size();
    while (hi - lo >= 2 && reverses(kept[hi - 1], kept[lo])) {
        ++lo;
        --hi;
    }
    ws.AryLine.assign(kept.begin() + static_cast<std::ptrdiff_t>(lo),
                      kept.begin() + static_cast<std::ptrdiff_t>(hi));
}

void GetMinCorner(Workspace& ws) {
    MinCornerOf(ws, [&](auto&& take) {
        for (const TLineEnt& s : ws.AryLine2) take(s);
    });
}

TAcadPoint FindStartPoint(const Workspace& ws) {
    return StartPointOf(ws.OutlineMinPt, [&](auto&& take) {
        for (const TLineEnt& s : ws.AryLine2) take(s);
    });
}

bool TraceOutline(Workspace& ws, bool join, RunContext* progress, bool* closedOut) {
    const std::vector<TLineEnt>& segs = ws.AryLine2;
    const EndPointCells ends(segs);
    return Walk(
        ws, segs, segs.size(),
        [&](TAcadPoint p, std::vector<std::uint32_t>& out) { ends.Near(p, out); }, join, progress,
        closedOut);
}

void JoinCollinearChain(Workspace& ws) {
    std::vector<TLineEnt>& a = ws.AryLine;
    for (std::size_t i = a.size(); i-- > 1;) {
        if (IsOnLine2(a[i - 1].st, a[i - 1].ed, a[i].st, a[i].ed)) {
            a[i - 1].ed = a[i].ed;
            a.erase(a.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

TAcadPoint FarthestPointInDir(const Workspace& ws, double a) {
    const std::vector<TLineEnt>& segs = ws.AryLine;
    if (segs.empty()) return {};
    const TAcadPoint origin{};
    auto projection = [&](TAcadPoint p) {
        return PolarPoint(origin, Angle2P(origin, p) - (a - kHalfPi), Dist2D(origin, p)).y;
    };
    TAcadPoint result = segs[0].st;
    double best = projection(result);
    for (const TLineEnt& s : segs) {
        const double ps = projection(s.st);
        if (ps >= best) {
            best = ps;
            result = s.st;
            continue;
        }
        const double pe = projection(s.ed);
        if (pe >= best) {
            best = pe;
            result = s.ed;
        }
    }
    return result;
}

bool PrepareOutlineSegments(Workspace& ws, RunContext* progress, const RunContext* stop) {
    auto stopped = [&] { return stop && stop->StopRequested(); };
    MergePass(ws, false, progress, stop);
    if (stopped()) return false;
    MaxSpanOf(ws, stop);
    if (stopped()) return false;
    ws.MaxSpan *= 1000;
    ws.AryLine2.clear();
    SplitPass(ws, progress, stop);
    if (stopped()) return false;
    RemoveDupPass(ws, progress, stop);
    return !stopped();
}

OutlineLoopEnd TraceOutlineLoop(Workspace& ws, RunContext& run,
                                const std::function<void(const Workspace&)>& onOutline) {
    OutlineSet set(std::move(ws.AryLine2));
    const auto end = [&](OutlineLoopEnd e) {
        set.Store(ws);
        return e;
    };
    for (;;) {
        if (run.StopRequested()) return end(OutlineLoopEnd::Stopped);
        set.FindStart(ws);
        ws.AryLine.clear();
        bool closed = false;
        const bool ok = set.Trace(ws, &closed);
        if (run.StopRequested()) return end(OutlineLoopEnd::Stopped);
        if (!ok && closed && ws.AryLine.size() <= 2) {
            // Around a figure without area: prune the dangling pieces and trace the rest.
            const std::size_t before = set.Count();
            for (bool after = false; set.Prune(after); after = true) {
            }
            if (set.Count() < 3) return end(OutlineLoopEnd::Done);
            if (set.Count() < before) continue;
        }
        if (!ok) return end(set.Count() >= 4 ? OutlineLoopEnd::WalkFailed : OutlineLoopEnd::Done);
        onOutline(ws);

        if (!set.RemoveInner(ws, run)) return end(OutlineLoopEnd::Stopped);
        set.Prune(false);
        while (set.Count() > 3 && set.Prune(true)) {
        }
        if (set.Count() < 3) return end(OutlineLoopEnd::Done);
    }
}

}  // namespace zuka

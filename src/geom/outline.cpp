#include "geom/outline.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <tuple>
#include <utility>

#include "geom/primitives.h"

namespace zuka {
namespace {

constexpr int kMarkKeep = 0;
// Widening of a segment's box when looking for end points that may lie on it.
constexpr double kNearTol = 1e-4;
constexpr int kMarkDrop = -1;

bool Same(TAcadPoint p, TAcadPoint q) { return SamePoint2D(p, q, kSamePointTol); }

// Keeps the segments whose id is kMarkKeep, in order.
void Compact(std::vector<TLineEnt>& lines) {
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const TLineEnt& s) { return s.id != kMarkKeep; }),
                lines.end());
}

// End points of a segment list filed by cells of the coincidence tolerance: a point coincident
// with p (Same) lies in p's cell or in one of its eight neighbours, so only the segments filed
// there need the exact test.
class EndPointCells {
public:
    explicit EndPointCells(const std::vector<TLineEnt>& segs) {
        entries_.reserve(2 * segs.size());
        for (std::size_t k = 0; k < segs.size(); ++k) {
            entries_.push_back({CellOf(segs[k].st.x), CellOf(segs[k].st.y), k});
            entries_.push_back({CellOf(segs[k].ed.x), CellOf(segs[k].ed.y), k});
        }
        std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
            return std::tie(a.cx, a.cy, a.k) < std::tie(b.cx, b.cy, b.k);
        });
    }

    // The segments with an end filed near p, ascending, each once.
    void Near(TAcadPoint p, std::vector<std::size_t>& out) const {
        out.clear();
        const std::int64_t cx = CellOf(p.x);
        const std::int64_t cy = CellOf(p.y);
        const auto before = [](const Entry& e, const std::pair<std::int64_t, std::int64_t>& c) {
            return std::tie(e.cx, e.cy) < std::tie(c.first, c.second);
        };
        for (std::int64_t x = cx - 1; x <= cx + 1; ++x) {
            // The three cells of one column lie next to each other in the filing order.
            auto it = std::lower_bound(entries_.begin(), entries_.end(), std::make_pair(x, cy - 1),
                                       before);
            for (; it != entries_.end() && it->cx == x && it->cy <= cy + 1; ++it) {
                out.push_back(it->k);
            }
        }
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
    }

private:
    struct Entry {
        std::int64_t cx;
        std::int64_t cy;
        std::size_t k;
    };
    static std::int64_t CellOf(double v) {
        return static_cast<std::int64_t>(std::floor(v / kSamePointTol));
    }
    std::vector<Entry> entries_;
};

// The boxes of a segment list on a uniform grid, so that a segment meets only the segments
// whose boxes overlap its own: two segments can cross only there. A segment whose box spans
// many cells is kept aside and offered to every query instead.
class SegmentBoxGrid {
public:
    SegmentBoxGrid(const std::vector<TLineEnt>& segs, double margin) {
        const std::size_t n = segs.size();
        boxes_.reserve(n);
        double x0 = std::numeric_limits<double>::infinity();
        double y0 = x0;
        double x1 = -x0;
        double y1 = -x0;
        for (const TLineEnt& s : segs) {
            const TBox b{std::min(s.st.x, s.ed.x) - margin, std::min(s.st.y, s.ed.y) - margin,
                         std::max(s.st.x, s.ed.x) + margin, std::max(s.st.y, s.ed.y) + margin};
            boxes_.push_back(b);
            x0 = std::min(x0, b.x0);
            y0 = std::min(y0, b.y0);
            x1 = std::max(x1, b.x1);
            y1 = std::max(y1, b.y1);
        }
        stamp_.assign(n, 0);
        if (n == 0) return;
        const double side = std::max(x1 - x0, y1 - y0);
        const int cells = std::clamp(static_cast<int>(std::ceil(std::sqrt(n))), 1, 2048);
        ox_ = x0;
        oy_ = y0;
        cell_ = side > 0 ? side / cells : 1;
        nx_ = std::max(1, static_cast<int>(std::ceil((x1 - x0) / cell_)));
        ny_ = std::max(1, static_cast<int>(std::ceil((y1 - y0) / cell_)));
        range_.resize(n);
        std::vector<std::uint32_t> count(static_cast<std::size_t>(nx_) * ny_ + 1, 0);
        for (std::size_t k = 0; k < n; ++k) {
            const TCells c = CellsOf(boxes_[k]);
            range_[k] = c;
            if (c.Count() > kWideCells) {
                wide_.push_back(k);
                continue;
            }
            for (int y = c.y0; y <= c.y1; ++y)
                for (int x = c.x0; x <= c.x1; ++x) ++count[Index(x, y) + 1];
        }
        for (std::size_t i = 1; i < count.size(); ++i) count[i] += count[i - 1];
        start_ = count;
        items_.resize(count.back());
        for (std::size_t k = 0; k < n; ++k) {
            const TCells& c = range_[k];
            if (c.Count() > kWideCells) continue;
            for (int y = c.y0; y <= c.y1; ++y)
                for (int x = c.x0; x <= c.x1; ++x) items_[count[Index(x, y)]++] = k;
        }
    }

    // The segments other than i whose boxes overlap segment i's, ascending.
    void Candidates(std::size_t i, std::vector<std::size_t>& out) {
        out.clear();
        ++epoch_;
        const TBox& b = boxes_[i];
        const auto offer = [&](std::size_t k) {
            if (k == i || stamp_[k] == epoch_) return;
            stamp_[k] = epoch_;
            if (Overlap(b, boxes_[k])) out.push_back(k);
        };
        const TCells& c = range_[i];
        if (c.Count() > kWideCells) {
            for (std::size_t k = 0; k < boxes_.size(); ++k) offer(k);
            return;
        }
        for (int y = c.y0; y <= c.y1; ++y) {
            for (int x = c.x0; x <= c.x1; ++x) {
                const std::size_t cell = Index(x, y);
                for (std::size_t j = start_[cell]; j < start_[cell + 1]; ++j) offer(items_[j]);
            }
        }
        for (const std::size_t k : wide_) offer(k);
        std::sort(out.begin(), out.end());
    }

private:
    static constexpr int kWideCells = 16;
    struct TBox {
        double x0, y0, x1, y1;
    };
    struct TCells {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        long Count() const { return static_cast<long>(x1 - x0 + 1) * (y1 - y0 + 1); }
    };
    static bool Overlap(const TBox& a, const TBox& b) {
        return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1;
    }
    int Cell(double v, double origin, int count) const {
        return std::clamp(static_cast<int>(std::floor((v - origin) / cell_)), 0, count - 1);
    }
    TCells CellsOf(const TBox& b) const {
        return {Cell(b.x0, ox_, nx_), Cell(b.y0, oy_, ny_), Cell(b.x1, ox_, nx_),
                Cell(b.y1, oy_, ny_)};
    }
    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(nx_) +
               static_cast<std::size_t>(x);
    }

    std::vector<TBox> boxes_;
    std::vector<TCells> range_;
    std::vector<std::uint32_t> start_;
    std::vector<std::size_t> items_;
    std::vector<std::size_t> wide_;
    std::vector<std::uint64_t> stamp_;
    std::uint64_t epoch_ = 0;
    double ox_ = 0, oy_ = 0, cell_ = 1;
    int nx_ = 1, ny_ = 1;
};

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

}  // namespace

void MergeCollinearLines(Workspace& ws, bool sameZ, RunContext* progress) {
    std::vector<TLineEnt>& a = ws.AryLine;
    const std::size_t n = a.size();
    PassProgress bar(progress, n);
    for (TLineEnt& s : a) s.id = kMarkKeep;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        bar.Step(i);
        TLineEnt& si = a[i];
        const double len = Dist2D(si.st, si.ed);
        if (len <= kSamePointTol) {
            si.id = kMarkDrop;
            continue;
        }
        // An end of j can lie on i only within i's box widened by the tolerance: a cheap test
        // that passes over most j before the collinearity test.
        const double x0 = std::min(si.st.x, si.ed.x) - kNearTol;
        const double x1 = std::max(si.st.x, si.ed.x) + kNearTol;
        const double y0 = std::min(si.st.y, si.ed.y) - kNearTol;
        const double y1 = std::max(si.st.y, si.ed.y) + kNearTol;
        auto inBox = [&](TAcadPoint p) { return p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1; };
        for (std::size_t j = i + 1; j < n; ++j) {
            TLineEnt& sj = a[j];
            if (!inBox(sj.st) && !inBox(sj.ed)) continue;
            if (sameZ && si.st.z != sj.st.z) continue;
            if (!IsOnLine2(si.st, si.ed, sj.st, sj.ed)) continue;
            const bool stOn =
                std::fabs(Dist2D(si.st, sj.st) + Dist2D(si.ed, sj.st) - len) < kSamePointTol;
            const bool edOn =
                std::fabs(Dist2D(si.st, sj.ed) + Dist2D(si.ed, sj.ed) - len) < kSamePointTol;
            if (!stOn && !edOn) continue;
            FarthestPair(si.st, si.ed, sj.st, sj.ed, sj.st, sj.ed);
            si.id = kMarkDrop;
            break;
        }
    }
    Compact(a);
}

void GetMaxSpan(Workspace& ws) {
    const std::vector<TLineEnt>& a = ws.AryLine;
    double best = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t j = i + 1; j < a.size(); ++j) {
            best = std::max({best, Dist2D(a[i].st, a[j].ed), Dist2D(a[i].st, a[j].st),
                             Dist2D(a[i].ed, a[j].ed), Dist2D(a[i].ed, a[j].st)});
        }
    }
    ws.MaxSpan = best;
}

void SplitAtIntersections(Workspace& ws, RunContext* progress) {
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
    std::vector<TTempPoint>& pts = ws.AryTempPoint;
    // Only segments whose boxes overlap can cross; they are tried in list order as before.
    SegmentBoxGrid grid(ext, kSamePointTol);
    std::vector<std::size_t> near;
    for (std::size_t i = 0; i < n; ++i) {
        bar.Step(i);
        pts.clear();
        pts.push_back({0, a[i].st, {}});
        grid.Candidates(i, near);
        for (const std::size_t k : near) {
            TAcadPoint hit;
            if (CrossPoint(ext[i].st, ext[i].ed, ext[k].st, ext[k].ed, true, hit))
                pts.push_back({0, hit, {}});
        }
        pts.push_back({0, a[i].ed, {}});
        SortTempPointsByDist(ws, a[i].st);
        for (std::size_t h = 0; h + 1 < pts.size(); ++h) {
            if (Same(pts[h].pt, pts[h + 1].pt)) continue;
            TLineEnt piece;
            piece.st = pts[h].pt;
            piece.ed = pts[h + 1].pt;
            ws.AryLine2.push_back(piece);
        }
    }
}

void SortTempPointsByDist(Workspace& ws, TAcadPoint p) {
    std::vector<TTempPoint>& pts = ws.AryTempPoint;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        for (std::size_t j = i + 1; j < pts.size(); ++j) {
            if (Dist2D(p, pts[j].pt) < Dist2D(p, pts[i].pt)) std::swap(pts[i], pts[j]);
        }
    }
}

void RemoveDupLines(Workspace& ws, RunContext* progress) {
    std::vector<TLineEnt>& a = ws.AryLine2;
    const std::size_t n = a.size();
    PassProgress bar(progress, n);
    for (TLineEnt& s : a) s.id = kMarkKeep;
    // A later equal segment has an end at st_i: only the segments filed there are compared.
    const EndPointCells ends(a);
    std::vector<std::size_t> near;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        bar.Step(i);
        ends.Near(a[i].st, near);
        for (const std::size_t j : near) {
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

void PruneDanglingLines(Workspace& ws) {
    std::vector<TLineEnt>& a = ws.AryLine2;
    const std::size_t n = a.size();
    const EndPointCells ends(a);
    std::vector<std::size_t> near;
    auto touches = [&](std::size_t self, TAcadPoint p) {
        ends.Near(p, near);
        for (const std::size_t k : near) {
            if (k != self && (Same(p, a[k].st) || Same(p, a[k].ed))) return true;
        }
        return false;
    };
    for (std::size_t i = 0; i < n; ++i)
        a[i].id = touches(i, a[i].st) && touches(i, a[i].ed) ? kMarkKeep : kMarkDrop;
    Compact(a);
}

void RemoveInnerLines(Workspace& ws) {
    // A point clear of the outline's box (by more than the tolerance) is outside it: only
    // points near the outline need the ray test.
    double x0 = std::numeric_limits<double>::infinity();
    double y0 = x0;
    double x1 = -x0;
    double y1 = -x0;
    for (const TLineEnt& s : ws.AryLine) {
        x0 = std::min({x0, s.st.x, s.ed.x});
        y0 = std::min({y0, s.st.y, s.ed.y});
        x1 = std::max({x1, s.st.x, s.ed.x});
        y1 = std::max({y1, s.st.y, s.ed.y});
    }
    auto inside = [&](TAcadPoint p) {
        if (p.x < x0 - kNearTol || p.x > x1 + kNearTol || p.y < y0 - kNearTol ||
            p.y > y1 + kNearTol)
            return false;
        return IsInsideLines(p, ws.MaxSpan, ws.AryLine);
    };
    for (TLineEnt& s : ws.AryLine2) {
        const bool inner = inside(s.st) || inside(s.ed);
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
    const std::vector<TLineEnt>& a = ws.AryLine2;
    if (a.empty()) return;
    TAcadPoint m = a[0].st;
    for (const TLineEnt& s : a) {
        m.x = std::min({m.x, s.st.x, s.ed.x});
        m.y = std::min({m.y, s.st.y, s.ed.y});
    }
    ws.OutlineMinPt = m;
}

TAcadPoint FindStartPoint(const Workspace& ws) {
    const TAcadPoint& m = ws.OutlineMinPt;
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
    for (const TLineEnt& s : ws.AryLine2) {
        consider(s.st);
        consider(s.ed);
    }
    return best;
}

bool TraceOutline(Workspace& ws, bool join, RunContext* progress, bool* closedOut) {
    const std::vector<TLineEnt>& segs = ws.AryLine2;
    std::vector<TLineEnt>& out = ws.AryLine;
    out.clear();
    if (closedOut) *closedOut = false;
    const std::size_t n = segs.size();
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
    const EndPointCells ends(segs);
    std::vector<std::size_t> near;
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
        ends.Near(cur, near);  // in list order, so the first of equal turns still wins
        for (const std::size_t k : near) {
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

void PrepareOutlineSegments(Workspace& ws, RunContext* progress) {
    MergeCollinearLines(ws, false, progress);
    GetMaxSpan(ws);
    ws.MaxSpan *= 1000;
    ws.AryLine2.clear();
    SplitAtIntersections(ws, progress);
    RemoveDupLines(ws, progress);
}

OutlineLoopEnd TraceOutlineLoop(Workspace& ws, RunContext& run,
                                const std::function<void(const Workspace&)>& onOutline) {
    for (;;) {
        if (run.StopRequested()) return OutlineLoopEnd::Stopped;
        GetMinCorner(ws);
        ws.OutlinePrevPt = ws.OutlineMinPt;
        ws.OutlineStartPt = FindStartPoint(ws);
        ws.AryLine.clear();
        bool closed = false;
        const bool ok = TraceOutline(ws, false, nullptr, &closed);
        if (run.StopRequested()) return OutlineLoopEnd::Stopped;
        if (!ok && closed && ws.AryLine.size() <= 2) {
            // Around a figure without area: prune the dangling pieces and trace the rest.
            const std::size_t before = ws.AryLine2.size();
            std::size_t n = before;
            for (;;) {
                PruneDanglingLines(ws);
                if (ws.AryLine2.size() == n) break;
                n = ws.AryLine2.size();
            }
            if (ws.AryLine2.size() < 3) return OutlineLoopEnd::Done;
            if (ws.AryLine2.size() < before) continue;
        }
        if (!ok) return ws.AryLine2.size() >= 4 ? OutlineLoopEnd::WalkFailed : OutlineLoopEnd::Done;
        onOutline(ws);

        RemoveInnerLines(ws);
        PruneDanglingLines(ws);
        std::size_t n = ws.AryLine2.size();
        while (n > 3) {
            PruneDanglingLines(ws);
            if (ws.AryLine2.size() == n) break;
            n = ws.AryLine2.size();
        }
        if (ws.AryLine2.size() < 3) return OutlineLoopEnd::Done;
    }
}

}  // namespace zuka

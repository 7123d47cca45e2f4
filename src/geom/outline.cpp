#include "geom/outline.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <unordered_map>

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
    for (std::size_t i = 0; i < n; ++i) {
        bar.Step(i);
        pts.clear();
        pts.push_back({0, a[i].st, {}});
        for (std::size_t k = 0; k < n; ++k) {
            if (k == i) continue;
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
    for (std::size_t i = 0; i + 1 < n; ++i) {
        bar.Step(i);
        for (std::size_t j = i + 1; j < n; ++j) {
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
    // End points filed by cells of the coincidence tolerance: a point coincident with p lies
    // in p's cell or one of its eight neighbours, so only those are compared.
    auto cellOf = [](double v) { return static_cast<std::int64_t>(std::floor(v / kSamePointTol)); };
    auto key = [](std::int64_t cx, std::int64_t cy) {
        return static_cast<std::uint64_t>(cx) * 0x9E3779B97F4A7C15ULL ^
               static_cast<std::uint64_t>(cy);
    };
    std::unordered_multimap<std::uint64_t, std::size_t> ends;
    ends.reserve(2 * n);
    for (std::size_t k = 0; k < n; ++k) {
        ends.emplace(key(cellOf(a[k].st.x), cellOf(a[k].st.y)), k);
        ends.emplace(key(cellOf(a[k].ed.x), cellOf(a[k].ed.y)), k);
    }
    auto touches = [&](std::size_t self, TAcadPoint p) {
        const std::int64_t cx = cellOf(p.x);
        const std::int64_t cy = cellOf(p.y);
        for (std::int64_t dx = -1; dx <= 1; ++dx) {
            for (std::int64_t dy = -1; dy <= 1; ++dy) {
                auto range = ends.equal_range(key(cx + dx, cy + dy));
                for (auto it = range.first; it != range.second; ++it) {
                    const std::size_t k = it->second;
                    if (k != self && (Same(p, a[k].st) || Same(p, a[k].ed))) return true;
                }
            }
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

void RemoveOppositePairs(Workspace& ws) {
    std::vector<TLineEnt>& a = ws.AryLine;
    if (a.size() < 2) return;
    for (TLineEnt& s : a) s.id = kMarkKeep;
    bool any = false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t j = i + 1; j < a.size(); ++j) {
            if (Same(a[i].st, a[j].ed) && Same(a[i].ed, a[j].st)) {
                a[i].id = kMarkDrop;
                a[j].id = kMarkDrop;
                any = true;
                break;
            }
        }
    }
    if (any) Compact(a);
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
        for (const TLineEnt& s : segs) {
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

// The three outline passes as first written, every segment against every other: the baseline
// that the filed passes of geom/outline.h are timed against in the same run, and whose outlines
// they must reproduce exactly. Benchmark code only.
#pragma once

#include <optional>
#include <vector>

#include "geom/outline.h"
#include "geom/primitives.h"

namespace zuka::bench::plain {

inline bool Same(TAcadPoint p, TAcadPoint q) { return SamePoint2D(p, q, kSamePointTol); }

inline void SplitAtIntersections(Workspace& ws) {
    const std::vector<TLineEnt>& a = ws.AryLine;
    const std::size_t n = a.size();
    std::vector<TLineEnt> ext(a);
    for (TLineEnt& s : ext) {
        const double dir = Angle2P(s.st, s.ed);
        const TAcadPoint st = s.st;
        s.st = PolarPoint(st, dir, -kSamePointTol);
        s.ed = PolarPoint(s.ed, dir, kSamePointTol);
    }
    ws.AryLine2.clear();
    std::vector<TTempPoint>& pts = ws.AryTempPoint;
    for (std::size_t i = 0; i < n; ++i) {
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

inline void RemoveDupLines(Workspace& ws) {
    std::vector<TLineEnt>& a = ws.AryLine2;
    const std::size_t n = a.size();
    std::vector<bool> drop(n, false);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            if ((Same(a[i].st, a[j].st) && Same(a[i].ed, a[j].ed)) ||
                (Same(a[i].st, a[j].ed) && Same(a[i].ed, a[j].st))) {
                drop[i] = true;
                break;
            }
        }
    }
    std::vector<TLineEnt> kept;
    for (std::size_t i = 0; i < n; ++i)
        if (!drop[i]) kept.push_back(a[i]);
    a = kept;
    ws.AryLine.clear();
}

// The walk of TraceOutline(false) scanning the whole list at every step.
inline bool TraceOutline(Workspace& ws) {
    const std::vector<TLineEnt>& segs = ws.AryLine2;
    std::vector<TLineEnt>& out = ws.AryLine;
    out.clear();
    const std::size_t n = segs.size();
    if (n == 0) return false;
    TAcadPoint cur = ws.OutlineStartPt;
    TAcadPoint prev = ws.OutlinePrevPt;
    bool closed = false;
    std::optional<TAcadPoint> firstNext;
    for (std::size_t step = 0; step <= 2 * n; ++step) {
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
        if (Same(next, cur)) break;
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
            out.pop_back();
        }
        prev = from;
        cur = next;
    }
    if (!closed) return false;
    if (out.size() > 1 && Same(out.front().st, out.back().ed) &&
        Same(out.front().ed, out.back().st)) {
        out.pop_back();
        out.erase(out.begin());
    }
    return out.size() > 2;
}

}  // namespace zuka::bench::plain

// The outline union passes as first written, every segment against every other and every point
// of a split sorted by exchanges: the baseline that geom/outline.h is timed against in the same
// run, and whose results it must reproduce bit for bit (tests/geom/outline_differential_test.cpp).
// Benchmark and test code only.
#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "geom/outline.h"
#include "geom/primitives.h"

namespace zuka::bench::plain {

inline bool Same(TAcadPoint p, TAcadPoint q) { return SamePoint2D(p, q, kSamePointTol); }

inline void Keep(std::vector<TLineEnt>& a, const std::vector<bool>& drop) {
    std::vector<TLineEnt> kept;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (drop[i]) continue;
        kept.push_back(a[i]);
        kept.back().id = 0;
    }
    a = kept;
}

inline void MergeCollinearLines(Workspace& ws, bool sameZ) {
    std::vector<TLineEnt>& a = ws.AryLine;
    const std::size_t n = a.size();
    std::vector<bool> drop(n, false);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        TLineEnt& si = a[i];
        const double len = Dist2D(si.st, si.ed);
        if (len <= kSamePointTol) {
            drop[i] = true;
            continue;
        }
        for (std::size_t j = i + 1; j < n; ++j) {
            TLineEnt& sj = a[j];
            if (sameZ && si.st.z != sj.st.z) continue;
            if (!IsOnLine2(si.st, si.ed, sj.st, sj.ed)) continue;
            const bool stOn =
                std::fabs(Dist2D(si.st, sj.st) + Dist2D(si.ed, sj.st) - len) < kSamePointTol;
            const bool edOn =
                std::fabs(Dist2D(si.st, sj.ed) + Dist2D(si.ed, sj.ed) - len) < kSamePointTol;
            if (!stOn && !edOn) continue;
            FarthestPair(si.st, si.ed, sj.st, sj.ed, sj.st, sj.ed);
            drop[i] = true;
            break;
        }
    }
    Keep(a, drop);
}

inline void GetMaxSpan(Workspace& ws) {
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

inline void SortTempPointsByDist(Workspace& ws, TAcadPoint p) {
    std::vector<TTempPoint>& pts = ws.AryTempPoint;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        for (std::size_t j = i + 1; j < pts.size(); ++j) {
            if (Dist2D(p, pts[j].pt) < Dist2D(p, pts[i].pt)) std::swap(pts[i], pts[j]);
        }
    }
}

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
        plain::SortTempPointsByDist(ws, a[i].st);
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
    Keep(a, drop);
    ws.AryLine.clear();
}

inline void PrepareOutlineSegments(Workspace& ws) {
    plain::MergeCollinearLines(ws, false);
    plain::GetMaxSpan(ws);
    ws.MaxSpan *= 1000;
    ws.AryLine2.clear();
    plain::SplitAtIntersections(ws);
    plain::RemoveDupLines(ws);
}

inline void PruneDanglingLines(Workspace& ws) {
    std::vector<TLineEnt>& a = ws.AryLine2;
    const std::size_t n = a.size();
    auto touches = [&](std::size_t self, TAcadPoint p) {
        for (std::size_t k = 0; k < n; ++k)
            if (k != self && (Same(p, a[k].st) || Same(p, a[k].ed))) return true;
        return false;
    };
    std::vector<bool> drop(n, false);
    for (std::size_t i = 0; i < n; ++i) drop[i] = !touches(i, a[i].st) || !touches(i, a[i].ed);
    Keep(a, drop);
}

inline void RemoveInnerLines(Workspace& ws) {
    std::vector<bool> drop(ws.AryLine2.size(), false);
    for (std::size_t i = 0; i < ws.AryLine2.size(); ++i) {
        const TLineEnt& s = ws.AryLine2[i];
        drop[i] = IsInsideLines(s.st, ws.MaxSpan, ws.AryLine) ||
                  IsInsideLines(s.ed, ws.MaxSpan, ws.AryLine);
    }
    Keep(ws.AryLine2, drop);
}

// The walk of TraceOutline(false) scanning the whole list at every step.
inline bool TraceOutline(Workspace& ws, bool* closedOut = nullptr) {
    const std::vector<TLineEnt>& segs = ws.AryLine2;
    std::vector<TLineEnt>& out = ws.AryLine;
    out.clear();
    if (closedOut) *closedOut = false;
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
    if (closedOut) *closedOut = closed;
    if (!closed) return false;
    if (out.size() > 1 && Same(out.front().st, out.back().ed) &&
        Same(out.front().ed, out.back().st)) {
        out.pop_back();
        out.erase(out.begin());
    }
    return out.size() > 2;
}

// TraceOutlineLoop on the plain passes.
inline OutlineLoopEnd TraceOutlineLoop(Workspace& ws,
                                       const std::function<void(const Workspace&)>& onOutline) {
    for (;;) {
        zuka::GetMinCorner(ws);
        ws.OutlinePrevPt = ws.OutlineMinPt;
        ws.OutlineStartPt = zuka::FindStartPoint(ws);
        ws.AryLine.clear();
        bool closed = false;
        const bool ok = plain::TraceOutline(ws, &closed);
        if (!ok && closed && ws.AryLine.size() <= 2) {
            const std::size_t before = ws.AryLine2.size();
            std::size_t n = before;
            for (;;) {
                plain::PruneDanglingLines(ws);
                if (ws.AryLine2.size() == n) break;
                n = ws.AryLine2.size();
            }
            if (ws.AryLine2.size() < 3) return OutlineLoopEnd::Done;
            if (ws.AryLine2.size() < before) continue;
        }
        if (!ok) return ws.AryLine2.size() >= 4 ? OutlineLoopEnd::WalkFailed : OutlineLoopEnd::Done;
        onOutline(ws);
        plain::RemoveInnerLines(ws);
        plain::PruneDanglingLines(ws);
        std::size_t n = ws.AryLine2.size();
        while (n > 3) {
            plain::PruneDanglingLines(ws);
            if (ws.AryLine2.size() == n) break;
            n = ws.AryLine2.size();
        }
        if (ws.AryLine2.size() < 3) return OutlineLoopEnd::Done;
    }
}

}  // namespace zuka::bench::plain

// The outline union pipeline: a pile of segments becomes the outer outline of their union.
//
// All edges go into one list; overlapping collinear pieces are merged, everything is split at
// every intersection, duplicates go, and a walk along the outside that always takes the
// sharpest right turn yields one closed outline, counter-clockwise, without holes. Removing
// everything inside that outline and walking again yields the next, disjoint outline.
//
// The routines work on the lists and values of a Workspace. `progress`, when not null, is the
// main window's progress bar (the pipeline shows progress only during sky-factor runs).
//
// Each pass gives exactly what comparing every segment with every other gives, in the same
// order and to the bit, but its cost grows with (segments + crossings) x log(segments):
// segments and end points are filed by cells, and only those that can pass a test are tried.
#pragma once

#include <functional>

#include "base/run_context.h"
#include "geom/workspace.h"

namespace zuka {

// On AryLine: drops degenerate segments and merges overlapping collinear ones (single pass;
// the last segment always stays). With sameZ only segments whose starts have equal z merge.
// `stop`, here and in the passes below, is asked every thousand or so segments whether the
// run should stop; the list is then left half done.
void MergeCollinearLines(Workspace& ws, bool sameZ, RunContext* progress = nullptr,
                         const RunContext* stop = nullptr);
// MaxSpan := the largest end-point distance between different segments of AryLine.
void GetMaxSpan(Workspace& ws);
// AryLine -> AryLine2: every segment cut at its intersections with all others.
void SplitAtIntersections(Workspace& ws, RunContext* progress = nullptr,
                          const RunContext* stop = nullptr);
// Sorts AryTempPoint by plan distance from p, ascending (equal distances are not swapped).
void SortTempPointsByDist(Workspace& ws, TAcadPoint p);
// On AryLine2: drops segments that repeat a later one in either direction; empties AryLine.
void RemoveDupLines(Workspace& ws, RunContext* progress = nullptr,
                    const RunContext* stop = nullptr);
// On AryLine2: keeps segments whose two ends both touch an end of another segment (one pass).
void PruneDanglingLines(Workspace& ws);
// On AryLine2: drops segments with an end inside or on the outline held in AryLine.
void RemoveInnerLines(Workspace& ws);
// On the closed walk in AryLine: drops every stretch where the walk turns back on itself (a
// segment followed by its reverse, also once the stretch between them has gone, and across the
// walk's end and start), so that the walk stays closed. A segment walked in both directions at
// different times, such as the rim between two buildings on a sky map, stays.
void RemoveSpikes(Workspace& ws);
// OutlineMinPt := (min x, min y) of AryLine2's end points, z of the first segment's start.
void GetMinCorner(Workspace& ws);
// The lowest end point on the leftmost vertical line of end points.
TAcadPoint FindStartPoint(const Workspace& ws);
// Walks the outer boundary of AryLine2 from OutlineStartPt into AryLine. True when the walk
// closed and more than 2 segments remain. join also merges consecutive collinear segments.
// The walk is closed when it is about to leave the start along its first segment again (a
// start where the walk passes twice, on a segment joining two figures, does not end it early);
// at most 2N + 1 steps for N segments.
// `closed`, when given, tells whether the walk came back to its start at all (it does, with
// nothing left, around a figure without area such as a lone line).
bool TraceOutline(Workspace& ws, bool join, RunContext* progress = nullptr, bool* closed = nullptr);
// On a traced outline in AryLine: merges consecutive collinear segments (not last with first).
void JoinCollinearChain(Workspace& ws);
// The vertex of the outline in AryLine farthest in direction a (last one on ties).
TAcadPoint FarthestPointInDir(const Workspace& ws, double a);

// Steps 2 and 3 of the standard sequence on the segment soup in AryLine: merge, MaxSpan
// (already multiplied by 1000), split, remove duplicates. AryLine2 holds the result. `stop`,
// when given, is asked every thousand or so segments whether the run should stop; false when
// it did (the lists are then left half done).
bool PrepareOutlineSegments(Workspace& ws, RunContext* progress = nullptr,
                            const RunContext* stop = nullptr);

enum class OutlineLoopEnd {
    Done,       // no segments left for another outline
    Stopped,    // the run was stopped
    WalkFailed  // a walk did not close while 4 or more split segments remained
};

// The loop that traces every outline of AryLine2 in turn: trace; hand the outline (in
// AryLine) to onOutline; remove what lies inside it and prune dangling segments; again while
// at least 3 segments remain. A failed walk with fewer than 4 segments left ends quietly.
// A walk that comes back around a figure without area (a lone line, such as the footprint of
// a wall too low to cast a shadow, lying leftmost) is no failure: that figure's dangling
// segments are pruned away and the tracing goes on with the rest.
// AryLine2 is brought up to date when the loop ends; onOutline sees the outline in AryLine and
// its start in OutlineStartPt, not the segments left.
OutlineLoopEnd TraceOutlineLoop(Workspace& ws, RunContext& run,
                                const std::function<void(const Workspace&)>& onOutline);

}  // namespace zuka

// The outlines of the equal-time diagrams: the regions of the counter grid whose counts reach
// an hour's threshold, traced cell by cell, their smoothing, and their label points.
//
// Glossary: touji equal time.
#pragma once

#include <vector>

#include "base/run_context.h"
#include "geom/records.h"
#include "shadow/touji_grid.h"

namespace zuka {

// The outline tracing of one hour over the counters.
struct TContourResult {
    std::vector<std::vector<TAcadPoint>> outlines;  // drawing points, in extraction order
    bool reachedEdge = false;                       // a region touched the mesh edge
    bool stopped = false;
};

// Traces the regions whose counters reach the threshold T (a region is taken where its cells
// hold at least T), at most 50 per hour, in start-search order (top to bottom, left to right),
// lowering the counters of every region taken. An isolated one-cell speck is lowered and the
// search goes on. A region that reaches the mesh edge ends this hour's tracing with
// reachedEdge set. Vertices are placed at X = x0 + cell (c + 0.5), Y = y0 + cell (N - r).
TContourResult TraceToujiOutlines(ToujiGrid& grid, const TToujiMesh& mesh, double threshold,
                                  RunContext& run);

// Smoothing with coefficient K: from each vertex, the next kept vertex is the first of the K
// following ones whose turn is at least a right angle and the smallest such; then vertices
// that lie on the line of their neighbours go. Outlines of K + 2 vertices or fewer stay.
std::vector<TAcadPoint> SmoothOutline(const std::vector<TAcadPoint>& v, int k);

// The label point of an outline: the vertex farthest toward true north kitaDeg (of equals,
// the last in order).
TAcadPoint ToujiLabelPoint(const std::vector<TAcadPoint>& v, double kitaDeg);

}  // namespace zuka

// The counter grid of the equal-time diagrams: an N x N raster of the measurement plane whose
// counters hold in how many sampled instants each cell lay in shadow, the painting of one
// instant's shadow pieces into it, and the tracing of the regions whose count reaches an
// hour's threshold.
//
// Raster cell (c, r): column c grows with drawing x, row r grows against drawing y (row 0 is
// the top). A drawing point (X, Y) falls in column rnd((X - x0) / cell) and row
// N - rnd((Y - y0) / cell), rnd rounding half away from zero.
//
// Glossary: touji equal time, hyouka evaluation, mesh raster cell size.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/run_context.h"
#include "geom/records.h"

namespace zuka {

struct TToujiMesh {
    double x0 = 0;    // drawing x of column 0's left reference
    double y0 = 0;    // drawing y of row N
    double cell = 0;  // cell size, drawing units
    int n = 0;        // cells per side
};

// A shadow piece of one wall at one instant: the wall's foot st, ed and the shadows of its top
// ends, in the painting order st, ed, ed', st'.
using TShadowQuad = std::array<TAcadPoint, 4>;

// A run of shaded cells [c0, c1] in row r.
struct TCellSpan {
    int r = 0;
    int c0 = 0;
    int c1 = 0;
};

// The cells a quadrilateral paints, interior and boundary, as one span per row, clipped to
// the raster: the quad's corners are rounded to cells and each row takes every cell from the
// leftmost to the rightmost cell that an edge passes through in that row. Appends to `out`.
void QuadCellSpans(const TShadowQuad& q, const TToujiMesh& mesh, std::vector<TCellSpan>& out);

// The counters. Wide enough for any period: 32 bits hold 136 years of one-second samples.
class ToujiGrid {
public:
    using Counter = std::uint32_t;

    // Sizes the grid to n x n and zeroes it (the memory is kept for the next run).
    void Reset(int n);
    int N() const { return n_; }
    Counter At(int c, int r) const { return cells_[Index(c, r)]; }
    Counter& At(int c, int r) { return cells_[Index(c, r)]; }

    // Adds one sample: every cell painted by at least one of the quads gains 1. Counts each
    // row's shaded spans by their ends only, so the cost grows with the shadow's outline, not
    // its area. Call FinishSamples once after the last sample.
    void AddSample(const std::vector<TShadowQuad>& quads, const TToujiMesh& mesh);
    // The same sample by the plain method: paint the quads into a 1-bit mask (8 cells a byte),
    // then count the black cells of the painted rows byte by byte, skipping all-white bytes
    // and adding whole all-black ones. Kept as the reference the span counting must match.
    void AddSampleByMask(const std::vector<TShadowQuad>& quads, const TToujiMesh& mesh);
    // Turns the span ends gathered by AddSample into counts.
    void FinishSamples();

private:
    std::size_t Index(int c, int r) const {
        return static_cast<std::size_t>(r) * static_cast<std::size_t>(n_) +
               static_cast<std::size_t>(c);
    }

    int n_ = 0;
    std::vector<Counter> cells_;
    // Span ends of AddSample: per row, +1 at a span's first cell and -1 after its last, kept
    // apart from the counts until FinishSamples (one extra column for the end past the last).
    std::vector<std::int32_t> ends_;
    bool pendingEnds_ = false;
    // Scratch reused by every sample: spans, per-row buckets, the mask.
    std::vector<TCellSpan> spans_;
    std::vector<std::vector<std::pair<int, int>>> rowSpans_;
    std::vector<int> touchedRows_;
    std::vector<std::uint8_t> mask_;
};

// The outline tracing of one hour over the counters.
struct TContourResult {
    std::vector<std::vector<TAcadPoint>> outlines;  // drawing points, in extraction order
    bool reachedEdge = false;                        // a region touched the mesh edge
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

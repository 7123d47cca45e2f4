// The raster of the equal-time diagrams: an N x N grid of square cells over the measurement
// plane, and the cells a shadow piece of one instant covers.
//
// Raster cell (c, r): column c grows with drawing x, row r grows against drawing y (row 0 is
// the top). A drawing point (X, Y) falls in column rnd((X - x0) / cell) and row
// N - rnd((Y - y0) / cell), rnd rounding half away from zero.
//
// Glossary: touji equal time, mesh raster cell size.
#pragma once

#include <array>
#include <vector>

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

}  // namespace zuka

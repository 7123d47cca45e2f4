// The plain way of counting a sample, kept as the reference the span counting must match:
// paint the quads into a 1-bit mask (8 cells a byte), then count the black cells of the
// painted rows byte by byte.
#include <algorithm>

#include "base/assert.h"
#include "shadow/touji_grid.h"

namespace zuka {

void ToujiGrid::PaintToujiMask(const std::vector<TShadowQuad>& quads, const TToujiMesh& mesh) {
    ZUKA_ASSERT(mesh.n == n_, "mesh and grid sizes differ");
    ZUKA_ASSERT(!pendingEnds_, "span samples not finished before mask samples");
    maximaStale_ = true;
    const int bytesPerRow = (n_ + 7) / 8;
    mask_.assign(static_cast<std::size_t>(bytesPerRow) * static_cast<std::size_t>(n_), 0);
    maskSpans_.clear();
    for (const TShadowQuad& q : quads) QuadCellSpans(q, mesh, maskSpans_);
    if (maskSpans_.empty()) return;
    // Paint: a set bit is a black (shaded) cell, the leftmost cell in the top bit.
    int rowTop = n_;
    int rowBottom = -1;
    int colMin = n_;
    int colMax = -1;
    for (const TCellSpan& s : maskSpans_) {
        std::uint8_t* line = &mask_[static_cast<std::size_t>(s.r) * bytesPerRow];
        for (int c = s.c0; c <= s.c1; ++c)
            line[c >> 3] |= static_cast<std::uint8_t>(0x80 >> (c & 7));
        rowTop = std::min(rowTop, s.r);
        rowBottom = std::max(rowBottom, s.r);
        colMin = std::min(colMin, s.c0);
        colMax = std::max(colMax, s.c1);
    }
    // Count the painted box byte by byte.
    for (int r = rowTop; r <= rowBottom; ++r) {
        const std::uint8_t* line = &mask_[static_cast<std::size_t>(r) * bytesPerRow];
        Counter* counts = &cells_[Index(0, r)];
        for (int b = colMin >> 3; b <= colMax >> 3; ++b) {
            const std::uint8_t bits = line[b];
            if (bits == 0) continue;
            const int c0 = b * 8;
            const int c1 = std::min(c0 + 8, n_);
            if (bits == 0xFF) {
                for (int c = c0; c < c1; ++c) ++counts[c];
                continue;
            }
            for (int c = c0; c < c1; ++c)
                if (bits & (0x80 >> (c - c0))) ++counts[c];
        }
    }
}

}  // namespace zuka

#include "shadow/touji_mesh.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "shadow/touji_kernels.h"

namespace zuka {

void QuadCellSpans(const TShadowQuad& q, const TToujiMesh& mesh, std::vector<TCellSpan>& out) {
    if (!(mesh.cell > 0) || mesh.n <= 0) return;
    touji::TQuadCorners k;
    if (!touji::QuadCorners(q, mesh, k)) return;
    const double* col = k.col;
    const double* row = k.row;
    const int rTop = k.rTop;
    const int rBottom = k.rBottom;
    for (int r = rTop; r <= rBottom; ++r) {
        double lo = std::numeric_limits<double>::infinity();
        double hi = -lo;
        for (int i = 0; i < 4; ++i) {
            const int j = (i + 1) % 4;
            const double ra = row[i];
            const double rb = row[j];
            const double rMin = std::min(ra, rb);
            const double rMax = std::max(ra, rb);
            if (r < rMin || r > rMax) continue;
            if (ra == rb) {
                lo = std::min({lo, col[i], col[j]});
                hi = std::max({hi, col[i], col[j]});
                continue;
            }
            // The edge's x over the part of the row's band [r - 0.5, r + 0.5] it crosses.
            const double slope = (col[j] - col[i]) / (rb - ra);
            const double xa = col[i] + slope * (std::max(r - 0.5, rMin) - ra);
            const double xb = col[i] + slope * (std::min(r + 0.5, rMax) - ra);
            lo = std::min(lo, std::floor(std::min(xa, xb) + 0.5));
            hi = std::max(hi, std::floor(std::max(xa, xb) + 0.5));
        }
        lo = std::max(lo, 0.0);
        hi = std::min(hi, mesh.n - 1.0);
        if (lo <= hi) out.push_back({r, static_cast<int>(lo), static_cast<int>(hi)});
    }
}

}  // namespace zuka

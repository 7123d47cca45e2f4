#include "shadow/touji_grid.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/assert.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

// Cell column / row of a drawing point, kept in double so that far shadows cannot overflow.
double CellCol(double x, const TToujiMesh& m) {
    return static_cast<double>(RoundHalfAway((x - m.x0) / m.cell));
}
double CellRow(double y, const TToujiMesh& m) {
    return m.n - static_cast<double>(RoundHalfAway((y - m.y0) / m.cell));
}

// The eight neighbour directions of a cell (c, r), in the walk's cyclic order.
constexpr int kDirCol[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
constexpr int kDirRow[8] = {0, 1, 1, 1, 0, -1, -1, -1};

}  // namespace

void QuadCellSpans(const TShadowQuad& q, const TToujiMesh& mesh, std::vector<TCellSpan>& out) {
    if (!(mesh.cell > 0) || mesh.n <= 0) return;
    double col[4];
    double row[4];
    for (int i = 0; i < 4; ++i) {
        col[i] = CellCol(q[i].x, mesh);
        row[i] = CellRow(q[i].y, mesh);
    }
    const double top = std::max(0.0, *std::min_element(row, row + 4));
    const double bottom = std::min(mesh.n - 1.0, *std::max_element(row, row + 4));
    if (top > bottom) return;
    const int rTop = static_cast<int>(top);
    const int rBottom = static_cast<int>(bottom);
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

void ToujiGrid::Reset(int n) {
    ZUKA_ASSERT(n > 0, "grid size must be positive");
    n_ = n;
    cells_.assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), 0);
    pendingEnds_ = false;
    rowSpans_.resize(static_cast<std::size_t>(n));
    for (auto& v : rowSpans_) v.clear();
    touchedRows_.clear();
}

void ToujiGrid::AddSample(const std::vector<TShadowQuad>& quads, const TToujiMesh& mesh) {
    ZUKA_ASSERT(mesh.n == n_, "mesh and grid sizes differ");
    spans_.clear();
    for (const TShadowQuad& q : quads) QuadCellSpans(q, mesh, spans_);
    for (const TCellSpan& s : spans_) {
        std::vector<std::pair<int, int>>& row = rowSpans_[static_cast<std::size_t>(s.r)];
        if (row.empty()) touchedRows_.push_back(s.r);
        row.emplace_back(s.c0, s.c1);
    }
    // While samples are added the counters hold, per row, +1 where a merged span starts and
    // -1 (modulo 2^32) just after it ends; FinishSamples sums each row from the left.
    for (int r : touchedRows_) {
        std::vector<std::pair<int, int>>& row = rowSpans_[static_cast<std::size_t>(r)];
        std::sort(row.begin(), row.end());
        Counter* line = &cells_[Index(0, r)];
        int start = row[0].first;
        int end = row[0].second;
        auto emit = [&](int a, int b) {
            line[a] += 1;
            if (b + 1 < n_) line[b + 1] -= 1;
        };
        for (std::size_t k = 1; k < row.size(); ++k) {
            if (row[k].first <= end + 1) {
                end = std::max(end, row[k].second);
            } else {
                emit(start, end);
                start = row[k].first;
                end = row[k].second;
            }
        }
        emit(start, end);
        row.clear();
    }
    touchedRows_.clear();
    pendingEnds_ = true;
}

void ToujiGrid::FinishSamples() {
    if (!pendingEnds_) return;
    for (int r = 0; r < n_; ++r) {
        Counter* line = &cells_[Index(0, r)];
        Counter run = 0;
        for (int c = 0; c < n_; ++c) {
            run += line[c];
            line[c] = run;
        }
    }
    pendingEnds_ = false;
}

void ToujiGrid::AddSampleByMask(const std::vector<TShadowQuad>& quads, const TToujiMesh& mesh) {
    ZUKA_ASSERT(mesh.n == n_, "mesh and grid sizes differ");
    ZUKA_ASSERT(!pendingEnds_, "span samples not finished before mask samples");
    const int bytesPerRow = (n_ + 7) / 8;
    mask_.assign(static_cast<std::size_t>(bytesPerRow) * static_cast<std::size_t>(n_), 0);
    spans_.clear();
    for (const TShadowQuad& q : quads) QuadCellSpans(q, mesh, spans_);
    if (spans_.empty()) return;
    // Paint: a set bit is a black (shaded) cell, the leftmost cell in the top bit.
    int rowTop = n_;
    int rowBottom = -1;
    int colMin = n_;
    int colMax = -1;
    for (const TCellSpan& s : spans_) {
        std::uint8_t* line = &mask_[static_cast<std::size_t>(s.r) * bytesPerRow];
        for (int c = s.c0; c <= s.c1; ++c) line[c >> 3] |= static_cast<std::uint8_t>(0x80 >> (c & 7));
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

namespace {

// Cells of the contour tracing: the walk's cell points and the scratch raster of erasure.
struct TCell {
    int c = 0;
    int r = 0;
    bool operator==(const TCell&) const = default;
};

class Tracer {
public:
    Tracer(ToujiGrid& grid, const TToujiMesh& mesh, double threshold, RunContext& run)
        : g_(grid), mesh_(mesh), t_(threshold), run_(run), n_(grid.N()),
          lowered_(static_cast<ToujiGrid::Counter>(std::max(0.0, std::trunc(threshold) - 1))) {}

    TContourResult Run();

private:
    bool Reaches(int c, int r) const {  // neighbour test, no tolerance
        if (c < 0 || r < 0 || c >= n_ || r >= n_) return false;
        return g_.At(c, r) >= t_;
    }
    void Lower(int c, int r) {
        if (g_.At(c, r) >= t_) g_.At(c, r) = lowered_;
    }
    TAcadPoint Vertex(TCell p) const {
        return {mesh_.x0 + mesh_.cell * (p.c + 0.5), mesh_.y0 + mesh_.cell * (n_ - p.r), 0};
    }
    bool FindStart(TCell& start, bool& stopped);
    enum class WalkEnd { Closed, Speck, Edge, Stopped };
    WalkEnd Walk(TCell start, std::vector<TCell>& cells, std::vector<TAcadPoint>& verts);
    void Erase(const std::vector<TCell>& cells);

    ToujiGrid& g_;
    const TToujiMesh& mesh_;
    const double t_;
    RunContext& run_;
    const int n_;
    const ToujiGrid::Counter lowered_;
};

bool Tracer::FindStart(TCell& start, bool& stopped) {
    for (int r = 0; r <= n_ - 2; ++r) {
        run_.ProcessMessages();
        if (run_.StopRequested()) {
            stopped = true;
            return false;
        }
        for (int c = 0; c <= n_ - 2; ++c) {
            if (g_.At(c, r) >= t_ - 0.00001) {
                start = {c, r};
                return true;
            }
        }
    }
    return false;
}

Tracer::WalkEnd Tracer::Walk(TCell start, std::vector<TCell>& cells,
                             std::vector<TAcadPoint>& verts) {
    TCell pos = start;
    int back = 0;
    // A closed boundary walk visits each cell at most a few times; the bound only guards
    // against a walk that never returns.
    const std::size_t limit = 8 * static_cast<std::size_t>(n_) * static_cast<std::size_t>(n_);
    for (std::size_t step = 0; step < limit; ++step) {
        run_.ProcessMessages();
        if (run_.StopRequested()) return WalkEnd::Stopped;
        cells.push_back(pos);
        verts.push_back(Vertex(pos));
        int d = -1;
        for (int k = 1; k <= 8; ++k) {
            const int cand = (back + k) % 8;
            if (Reaches(pos.c + kDirCol[cand], pos.r + kDirRow[cand])) {
                d = cand;
                break;
            }
        }
        if (d < 0) return WalkEnd::Speck;
        if (d == back && cells.size() >= 2) {
            Lower(pos.c, pos.r);
            cells.resize(cells.size() - 2);
            verts.resize(verts.size() - 2);
        }
        pos = {pos.c + kDirCol[d], pos.r + kDirRow[d]};
        back = (d + 4) % 8;
        if (!(pos.r > 0 && pos.r < n_ - 2 && pos.c > 0 && pos.c < n_ - 2)) return WalkEnd::Edge;
        if (pos == start) {
            if (verts.empty()) return WalkEnd::Speck;  // a two-cell speck walked back to start
            verts.pop_back();
            return WalkEnd::Closed;
        }
    }
    return WalkEnd::Edge;
}

void Tracer::Erase(const std::vector<TCell>& cells) {
    // The boundary cells' neighbours go first, then everything inside the boundary.
    for (const TCell& p : cells) {
        if (p.r < 1 || p.r > n_ - 2) continue;
        for (int d = 0; d < 8; ++d) {
            const int c = p.c + kDirCol[d];
            const int r = p.r + kDirRow[d];
            if (c >= 0 && r >= 0 && c < n_ && r < n_) Lower(c, r);
        }
    }
    int rMin = n_;
    int rMax = -1;
    for (const TCell& p : cells) {
        rMin = std::min(rMin, p.r);
        rMax = std::max(rMax, p.r);
        Lower(p.c, p.r);
    }
    // Interior: even-odd crossings of the cell polygon with each row, half-open in rows.
    std::vector<double> xs;
    for (int r = std::max(rMin, 0); r <= std::min(rMax, n_ - 1); ++r) {
        xs.clear();
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const TCell& a = cells[i];
            const TCell& b = cells[(i + 1) % cells.size()];
            if (a.r == b.r) continue;
            const int lo = std::min(a.r, b.r);
            const int hi = std::max(a.r, b.r);
            if (r < lo || r >= hi) continue;
            xs.push_back(a.c + static_cast<double>(b.c - a.c) * (r - a.r) / (b.r - a.r));
        }
        std::sort(xs.begin(), xs.end());
        for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
            const int c0 = std::max(0, static_cast<int>(std::ceil(xs[k])));
            const int c1 = std::min(n_ - 1, static_cast<int>(std::floor(xs[k + 1])));
            for (int c = c0; c <= c1; ++c) Lower(c, r);
        }
    }
}

TContourResult Tracer::Run() {
    TContourResult result;
    TCell previous{0, 0};
    std::vector<TCell> cells;
    std::vector<TAcadPoint> verts;
    // At most 50 walks an hour; an isolated speck, lowered on the spot, is not one of them.
    for (int pass = 1; pass <= 50;) {
        cells.clear();
        verts.clear();
        TCell start;
        if (!FindStart(start, result.stopped)) return result;
        if (start == previous) return result;
        previous = start;
        switch (Walk(start, cells, verts)) {
            case WalkEnd::Stopped:
                result.stopped = true;
                return result;
            case WalkEnd::Edge:
                result.reachedEdge = true;
                return result;
            case WalkEnd::Speck:
                // An isolated cell or pair: lowered, and the search goes on for the regions
                // after it.
                Lower(start.c, start.r);
                for (const TCell& p : cells) Lower(p.c, p.r);
                continue;
            case WalkEnd::Closed:
                break;
        }
        ++pass;
        if (verts.empty()) return result;
        Erase(cells);
        result.outlines.push_back(verts);
    }
    return result;
}

}  // namespace

TContourResult TraceToujiOutlines(ToujiGrid& grid, const TToujiMesh& mesh, double threshold,
                                  RunContext& run) {
    return Tracer(grid, mesh, threshold, run).Run();
}

std::vector<TAcadPoint> SmoothOutline(const std::vector<TAcadPoint>& v, int k) {
    if (k < 1 || static_cast<int>(v.size()) <= k + 2) return v;
    std::vector<TAcadPoint> ext = v;
    ext.insert(ext.end(), v.begin(), v.begin() + k);
    std::vector<TAcadPoint> g;
    TAcadPoint prev = ext.back();
    std::size_t i = 0;
    for (;;) {
        g.push_back(ext[i]);
        double best = kTwoPi;
        std::size_t step = 1;
        for (int j = 1; j <= k; ++j) {
            const double a = TurnAngle(prev, ext[i], ext[i + static_cast<std::size_t>(j)], false);
            if (a >= kHalfPi && a < best) {
                best = a;
                step = static_cast<std::size_t>(j);
            }
        }
        prev = ext[i];
        if (i + step + static_cast<std::size_t>(k) >= ext.size() - 1) break;
        i += step;
    }
    std::vector<TAcadPoint> out;
    for (std::size_t m = 0; m < g.size(); ++m) {
        const bool inner = m >= 1 && m + 1 < g.size();
        if (inner && IsOnLine2(g[m - 1], g[m], g[m], g[m + 1])) continue;
        out.push_back(g[m]);
    }
    return out;
}

TAcadPoint ToujiLabelPoint(const std::vector<TAcadPoint>& v, double kitaDeg) {
    if (v.empty()) return {};
    const double n = kitaDeg * kPi / 180;
    const TAcadPoint origin{};
    auto northing = [&](TAcadPoint p) {
        return PolarPoint(origin, Angle2P(origin, p) - n + kHalfPi, Dist2D(origin, p)).y;
    };
    TAcadPoint best = v[0];
    double bestY = northing(v[0]);
    for (std::size_t i = 1; i < v.size(); ++i) {
        const double y = northing(v[i]);
        if (y >= bestY) {
            bestY = y;
            best = v[i];
        }
    }
    return best;
}

}  // namespace zuka

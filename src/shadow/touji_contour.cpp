#include "shadow/touji_contour.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "geom/primitives.h"

namespace zuka {

namespace {

// The eight neighbour directions of a cell (c, r), in the walk's cyclic order.
constexpr int kDirCol[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
constexpr int kDirRow[8] = {0, 1, 1, 1, 0, -1, -1, -1};

// Cells of the contour tracing: the walk's cell points and the scratch raster of erasure.
struct TCell {
    int c = 0;
    int r = 0;
    bool operator==(const TCell&) const = default;
};

class Tracer {
public:
    Tracer(ToujiGrid& grid, const TToujiMesh& mesh, double threshold, RunContext& run)
        : g_(grid),
          mesh_(mesh),
          t_(threshold),
          run_(run),
          n_(grid.N()),
          lowered_(static_cast<ToujiGrid::Counter>(std::max(0.0, std::trunc(threshold) - 1))),
          reach_(WholeAtLeast(threshold)) {}

    TContourResult Run();

private:
    // The least whole count at or above t: a counter reaches t exactly when it reaches that.
    static std::uint64_t WholeAtLeast(double t) {
        const double whole = std::ceil(t);
        return whole > 0 ? static_cast<std::uint64_t>(whole) : 0;
    }
    bool Reaches(int c, int r) const {  // neighbour test, no tolerance
        if (c < 0 || r < 0 || c >= n_ || r >= n_) return false;
        return Grid().At(c, r) >= reach_;
    }
    void Lower(int c, int r) {
        if (Grid().At(c, r) >= reach_) g_.Lower(c, r, lowered_);
    }
    const ToujiGrid& Grid() const { return g_; }
    TAcadPoint Vertex(TCell p) const {
        return {mesh_.x0 + mesh_.cell * (p.c + 0.5), mesh_.y0 + mesh_.cell * (n_ - p.r), 0};
    }
    // The first cell at or after `from` in search order (row by row, left to right) that
    // reaches the threshold.
    bool FindStart(TCell from, TCell& start, bool& stopped);
    enum class WalkEnd { Closed, Speck, Edge, Stopped };
    WalkEnd Walk(TCell start, std::vector<TCell>& cells, std::vector<TAcadPoint>& verts);
    void Erase(const std::vector<TCell>& cells);

    ToujiGrid& g_;
    const TToujiMesh& mesh_;
    const double t_;
    RunContext& run_;
    const int n_;
    const ToujiGrid::Counter lowered_;
    const std::uint64_t reach_;
};

bool Tracer::FindStart(TCell from, TCell& start, bool& stopped) {
    const std::uint64_t need = WholeAtLeast(t_ - 0.00001);
    constexpr int kChunk = ToujiGrid::kChunk;
    const int chunks = (n_ + kChunk - 1) / kChunk;
    for (int r = from.r; r <= n_ - 2; ++r) {
        run_.ProcessMessages();
        if (run_.StopRequested()) {
            stopped = true;
            return false;
        }
        // Only the runs of cells whose largest counter reaches the need are looked into.
        const int c0 = r == from.r ? from.c : 0;
        for (int k = c0 / kChunk; k < chunks; ++k) {
            if (Grid().ChunkMax(r, k) < need) continue;
            const int c1 = std::min(kChunk * (k + 1), n_ - 1);
            for (int c = std::max(c0, kChunk * k); c < c1; ++c) {
                if (Grid().At(c, r) >= need) {
                    start = {c, r};
                    return true;
                }
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
    // Interior: even-odd crossings of the cell polygon with each row, half-open in rows. The
    // crossings are dealt into their rows first, so that each edge is looked at once.
    const int rFirst = std::max(rMin, 0);
    const int rLast = std::min(rMax, n_ - 1);
    if (rFirst > rLast) return;
    auto forEachCrossing = [&](auto&& take) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const TCell& a = cells[i];
            const TCell& b = cells[i + 1 < cells.size() ? i + 1 : 0];
            if (a.r == b.r) continue;
            const int lo = std::max(std::min(a.r, b.r), rFirst);
            const int hi = std::min(std::max(a.r, b.r) - 1, rLast);
            for (int r = lo; r <= hi; ++r) take(r, a, b);
        }
    };
    std::vector<std::size_t> rowStart(static_cast<std::size_t>(rLast - rFirst) + 2, 0);
    forEachCrossing([&](int r, const TCell&, const TCell&) {
        ++rowStart[static_cast<std::size_t>(r - rFirst) + 1];
    });
    for (std::size_t k = 1; k < rowStart.size(); ++k) rowStart[k] += rowStart[k - 1];
    std::vector<double> xs(rowStart.back());
    std::vector<std::size_t> fill(rowStart.begin(), rowStart.end() - 1);
    forEachCrossing([&](int r, const TCell& a, const TCell& b) {
        xs[fill[static_cast<std::size_t>(r - rFirst)]++] =
            a.c + static_cast<double>(b.c - a.c) * (r - a.r) / (b.r - a.r);
    });
    for (int r = rFirst; r <= rLast; ++r) {
        const auto row = static_cast<std::size_t>(r - rFirst);
        double* first = xs.data() + rowStart[row];
        double* last = xs.data() + rowStart[row + 1];
        std::sort(first, last);
        for (double* x = first; x + 1 < last; x += 2) {
            const int c0 = std::max(0, static_cast<int>(std::ceil(x[0])));
            const int c1 = std::min(n_ - 1, static_cast<int>(std::floor(x[1])));
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
        // Counters are only ever lowered while an hour is traced, so no cell before the
        // previous start can reach the threshold now: the search goes on from there.
        TCell start;
        if (!FindStart(previous, start, result.stopped)) return result;
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

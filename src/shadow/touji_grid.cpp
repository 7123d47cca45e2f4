#include "shadow/touji_grid.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <system_error>
#include <thread>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

#include "base/assert.h"
#include "base/platform.h"
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

// Rows of every sample of a batch counted before the next rows are taken up.
constexpr int kBlockRows = 32;
constexpr std::size_t kBlockSize = kBlockRows;
constexpr int kBlockSamples = 64;
// Spans a row of a block holds on average above which the block's union is taken in bits.
constexpr std::size_t kManySpansPerRow = 24;

// Sets the bits of columns lo .. hi (0 <= lo <= hi) in a row of cell bits (bit k of word i is
// column 64 i + k).
void SetCells(std::uint64_t* row, int lo, int hi) {
    const int w0 = lo >> 6;
    const int w1 = hi >> 6;
    const std::uint64_t first = ~std::uint64_t{0} << (lo & 63);
    const std::uint64_t last = ~std::uint64_t{0} >> (63 - (hi & 63));
    if (w0 == w1) {
        row[w0] |= first & last;
        return;
    }
    row[w0] |= first;
    for (int i = w0 + 1; i < w1; ++i) row[i] = ~std::uint64_t{0};
    row[w1] |= last;
}

// A cell column or row as an int clamped to [-1, n]: a span is cut to [0, n - 1] at the end,
// and clamping first, being monotonic, changes no minimum or maximum that survives the cut.
int ClampCells(double v, int n) {
    if (v < -1) return -1;
    if (v > n) return n;
    return static_cast<int>(v);
}

// floor(x + 0.5) of QuadCellSpans, clamped as by ClampCells. floor is monotonic, so the floor
// of the lesser of two edge positions is the lesser of their floors.
int RoundColumn(double x, double n) {
    const double v = std::min(x + 0.5, n);
    return v < 0 ? -1 : static_cast<int>(v);
}

#if defined(__GNUC__) && defined(__x86_64__)
#define ZUKA_TOUJI_AVX2 1
// Whether the processor has AVX2 (and the system lets the build use it), for the routines below
// that take four or eight values at a time with it: the same operations in the same order, so the
// same results.
bool HasAvx2() { return CanUseAvx2(); }

// EdgeColumns for k in [1, 1 + 4 q) with AVX2; returns the first k not done. The row positions
// (r0 + k) - 0.5 step by 4 exactly; floor(v) raised to -1 is RoundColumn's v < 0 ? -1 : trunc(v).
__attribute__((target("avx2"))) int EdgeColumnsAvx2(double col, double slope, double row, int r0,
                                                    int m, double n, int* cols) {
    int k = 1;
    const __m256d vCol = _mm256_set1_pd(col);
    const __m256d vSlope = _mm256_set1_pd(slope);
    const __m256d vRow = _mm256_set1_pd(row);
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d vN = _mm256_set1_pd(n);
    const __m256d minusOne = _mm256_set1_pd(-1.0);
    const __m256d four = _mm256_set1_pd(4.0);
    __m256d y = _mm256_sub_pd(_mm256_setr_pd(r0 + 1, r0 + 2, r0 + 3, r0 + 4), half);
    for (; k + 3 < m; k += 4) {
        const __m256d x = _mm256_add_pd(vCol, _mm256_mul_pd(vSlope, _mm256_sub_pd(y, vRow)));
        const __m256d v = _mm256_min_pd(_mm256_add_pd(x, half), vN);
        const __m256d f = _mm256_max_pd(_mm256_floor_pd(v), minusOne);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(cols + k), _mm256_cvttpd_epi32(f));
        y = _mm256_add_pd(y, four);
    }
    return k;
}

// Bound for k in [0, 8 q) with AVX2; returns the first k not done.
template <bool kRaise>
__attribute__((target("avx2"))) int BoundAvx2(int* to, const int* from, int m) {
    int k = 0;
    for (; k + 7 < m; k += 8) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(to + k));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + k));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + k),
                            kRaise ? _mm256_max_epi32(a, b) : _mm256_min_epi32(a, b));
    }
    return k;
}
#endif

// cols[k] = RoundColumn(col + slope * ((r0 + k - 0.5) - row), n) for k in [1, m): an edge's
// columns at the row boundaries within its part of a block. Four at a time with AVX2, else two
// with SSE2 (every x86-64 processor has it), by the same operations in the same order.
void EdgeColumns(double col, double slope, double row, int r0, int m, double n, int* cols) {
    int k = 1;
#ifdef ZUKA_TOUJI_AVX2
    if (HasAvx2()) k = EdgeColumnsAvx2(col, slope, row, r0, m, n, cols);
#endif
#if defined(__SSE2__) || defined(_M_X64)
    const __m128d vCol = _mm_set1_pd(col);
    const __m128d vSlope = _mm_set1_pd(slope);
    const __m128d vRow = _mm_set1_pd(row);
    const __m128d half = _mm_set1_pd(0.5);
    const __m128d vN = _mm_set1_pd(n);
    const __m128d zero = _mm_setzero_pd();
    const __m128i minusOne = _mm_set1_epi32(-1);
    for (; k + 1 < m; k += 2) {
        const __m128d y =
            _mm_sub_pd(_mm_cvtepi32_pd(_mm_setr_epi32(r0 + k, r0 + k + 1, 0, 0)), half);
        const __m128d x = _mm_add_pd(vCol, _mm_mul_pd(vSlope, _mm_sub_pd(y, vRow)));
        const __m128d v = _mm_min_pd(_mm_add_pd(x, half), vN);
        const __m128i below =
            _mm_shuffle_epi32(_mm_castpd_si128(_mm_cmplt_pd(v, zero)), _MM_SHUFFLE(0, 0, 2, 0));
        const __m128i t = _mm_cvttpd_epi32(v);
        const __m128i c = _mm_or_si128(_mm_and_si128(below, minusOne), _mm_andnot_si128(below, t));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(cols + k), c);
    }
#endif
    for (; k < m; ++k) cols[k] = RoundColumn(col + slope * ((r0 + k - 0.5) - row), n);
}

// Adds the span [lo, hi] to a row's runs of shaded cells row[0 .. n), the spans coming about
// in column order: it joins the last run when it starts at or right of its start and touches
// it, starts the next run when it lies right of it, and joins it when it starts left of it but
// touches it and clears the run before. Returns false, the runs left as they are, when the
// span comes further out of order than that (never when the spans come sorted by start).
// Inlined: it is the inner step of the counting, taken for every span of every sample.
template <class Span>
[[gnu::always_inline]] inline bool JoinRun(Span* row, std::uint32_t& n, int lo, int hi) {
    if (n == 0) {
        row[n++] = {lo, hi};
        return true;
    }
    Span& run = row[n - 1];
    if (lo >= run.lo) {
        if (lo <= run.hi + 1)
            run.hi = std::max(run.hi, hi);
        else
            row[n++] = {lo, hi};
        return true;
    }
    if (hi + 1 >= run.lo && (n == 1 || lo > row[n - 2].hi + 1)) {
        run.lo = lo;
        run.hi = std::max(run.hi, hi);
        return true;
    }
    return false;
}

// to[k] = v for k in [0, m), four at a time with SSE2.
void Fill(int* to, int v, int m) {
    int k = 0;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i vv = _mm_set1_epi32(v);
    for (; k + 3 < m; k += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(to + k), vv);
#endif
    for (; k < m; ++k) to[k] = v;
}

// to[k] = min(to[k], from[k]) (Lower) or max (Raise) for k in [0, m), eight at a time with AVX2,
// else four with SSE2.
template <bool kRaise>
void Bound(int* to, const int* from, int m) {
    int k = 0;
#ifdef ZUKA_TOUJI_AVX2
    if (HasAvx2()) k = BoundAvx2<kRaise>(to, from, m);
#endif
#if defined(__SSE2__) || defined(_M_X64)
    for (; k + 3 < m; k += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k));
        const __m128i takeB = kRaise ? _mm_cmplt_epi32(a, b) : _mm_cmpgt_epi32(a, b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + k),
                         _mm_or_si128(_mm_and_si128(takeB, b), _mm_andnot_si128(takeB, a)));
    }
#endif
    for (; k < m; ++k) to[k] = kRaise ? std::max(to[k], from[k]) : std::min(to[k], from[k]);
}
void LowerTo(int* to, const int* from, int m) { Bound<false>(to, from, m); }
void RaiseTo(int* to, const int* from, int m) { Bound<true>(to, from, m); }

// Runs f(0) .. f(threads - 1), f(0) on the calling thread, and returns when all have ended,
// passing on the first exception any of them threw.
template <class F>
void RunOnThreads(int threads, F&& f) {
    if (threads <= 1) {
        f(0);
        return;
    }
    std::vector<std::exception_ptr> errors(static_cast<std::size_t>(threads));
    auto run = [&f, &errors](int t) {
        try {
            f(t);
        } catch (...) {
            errors[static_cast<std::size_t>(t)] = std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    std::vector<int> here{0};  // shares done on this thread, also those no thread started for
    pool.reserve(static_cast<std::size_t>(threads) - 1);
    for (int t = 1; t < threads; ++t) {
        try {
            pool.emplace_back(run, t);
        } catch (const std::system_error&) {
            here.push_back(t);
        }
    }
    for (int t : here) run(t);
    for (std::thread& th : pool) th.join();
    for (const std::exception_ptr& e : errors)
        if (e) std::rethrow_exception(e);
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

int ToujiGrid::DefaultThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 1u, 8u));
}

void ToujiGrid::Reset(int n) {
    ZUKA_ASSERT(n > 0 && n < 32767, "grid size must be positive and below 32767");
    n_ = n;
    cells_.assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), 0);
    maximaStale_ = true;
    pendingEnds_ = false;
    memo_.assign(static_cast<std::size_t>((n + kBlockRows - 1) / kBlockRows), TBlockMemo{});
    hasLast_ = false;
}

int ToujiGrid::SamplesPerBatch(std::size_t pieces) {
    // A piece in cells, with its share of the chains and of the edges that bound them.
    constexpr std::size_t kPieceBytes = 2 * sizeof(TCellQuad);
    constexpr std::size_t kBudget = sizeof(Counter) * 2000 * 2000 / 4;
    const std::size_t perSample = std::max<std::size_t>(pieces, 1) * kPieceBytes;
    return static_cast<int>(std::clamp<std::size_t>(kBudget / perSample, 4, 64));
}

void ToujiGrid::SetThreads(int threads) { threads_ = std::clamp(threads, 1, 64); }

void ToujiGrid::GrowWorkers() {
    if (workers_.size() < static_cast<std::size_t>(threads_))
        workers_.resize(static_cast<std::size_t>(threads_));
}

void ToujiGrid::MakeCells(const std::vector<TShadowQuad>& quads, const TToujiMesh& mesh,
                          TSampleCells& out) const {
    out.quads.clear();
    out.chains.clear();
    out.byTop.clear();
    out.bandEdges.clear();
    if (!(mesh.cell > 0) || mesh.n <= 0) return;
    // Corners and rows exactly as QuadCellSpans has them.
    for (const TShadowQuad& q : quads) {
        double col[4];
        double row[4];
        for (int i = 0; i < 4; ++i) {
            col[i] = CellCol(q[i].x, mesh);
            row[i] = CellRow(q[i].y, mesh);
        }
        const double top = std::max(0.0, *std::min_element(row, row + 4));
        const double bottom = std::min(mesh.n - 1.0, *std::max_element(row, row + 4));
        if (top > bottom) continue;
        TCellQuad c;
        c.rTop = static_cast<int>(top);
        c.rBottom = static_cast<int>(bottom);
        for (int i = 0; i < 4; ++i) {
            const int j = (i + 1) % 4;
            TCellEdge& e = c.edges[static_cast<std::size_t>(i)];
            e.col = col[i];
            e.row = row[i];
            e.rMin = ClampCells(std::min(row[i], row[j]), mesh.n);
            e.rMax = ClampCells(std::max(row[i], row[j]), mesh.n);
            e.colLo = ClampCells(std::min(col[i], col[j]), mesh.n);
            e.colHi = ClampCells(std::max(col[i], col[j]), mesh.n);
            // Two rows that clamp alike lie both outside the raster: the edge is never used.
            if (row[i] != row[j]) e.slope = (col[j] - col[i]) / (row[j] - row[i]);
        }
        out.quads.push_back(c);
    }
    // Chains of pieces whose walls meet corner to corner, in the order the walls come.
    auto meets = [](const TCellQuad& a, const TCellQuad& b) {
        auto same = [](const TCellEdge& x, const TCellEdge& y) {
            return x.col == y.col && x.row == y.row;
        };
        return same(a.edges[1], b.edges[0]) && same(a.edges[2], b.edges[3]);
    };
    const std::size_t count = out.quads.size();
    for (std::size_t k = 0; k < count;) {
        TChain chain;
        chain.first = static_cast<std::uint32_t>(k);
        std::size_t last = k;
        while (last + 1 < count && meets(out.quads[last], out.quads[last + 1])) {
            out.quads[last].linked = true;
            ++last;
        }
        chain.count = static_cast<std::uint32_t>(last - k + 1);
        chain.closed = chain.count > 1 && meets(out.quads[last], out.quads[k]);
        out.quads[last].linked = chain.closed;
        chain.rTop = out.quads[k].rTop;
        chain.rBottom = out.quads[k].rBottom;
        for (std::size_t i = k + 1; i <= last; ++i) {
            chain.rTop = std::min(chain.rTop, out.quads[i].rTop);
            chain.rBottom = std::max(chain.rBottom, out.quads[i].rBottom);
        }
        if (chain.count > 1) FindBand(out, chain, mesh.n);
        out.byTop.push_back(static_cast<std::int64_t>(chain.rTop) << 32 |
                            static_cast<std::int64_t>(out.chains.size()));
        out.chains.push_back(chain);
        k = last + 1;
    }
    std::sort(out.byTop.begin(), out.byTop.end());
}

bool ToujiGrid::KeepsApart(double yTop, double xTop, double yBottom, double xBottom,
                           const TCellEdge& f, double side) {
    // Within a row, e is looked at between the ends of its part there, f between the ends of
    // its own, which lie at most half a row away; f's column changes by |slope| a row. So
    // where e runs more than |slope| / 2 columns right of f, every column e takes in the row
    // lies right of the least column f takes there, and rounding to cells keeps that order
    // (ties allowed). The margin lies far above the rounding error of columns below 1e9.
    constexpr double kMargin = 1.0 / 16;
    constexpr double kLarge = 1e9;
    const double need = 0.5 * std::fabs(f.slope) + kMargin;
    auto apart = [&](double y, double x) {
        const double xf = f.col + f.slope * (y - f.row);
        return std::fabs(x) < kLarge && std::fabs(xf) < kLarge && side * (x - xf) > need;
    };
    // The gap is linear in y: past `need` at both ends, past it in between.
    return apart(yTop, xTop) && apart(yBottom, xBottom);
}

void ToujiGrid::FindBand(TSampleCells& out, TChain& chain, int n) {
    // The rows every link runs through, and the links' edges leftmost and rightmost there.
    const TCellQuad* quads = &out.quads[chain.first];
    int top = 0;
    int bottom = n - 1;
    for (std::uint32_t k = 0; k < chain.count; ++k) {
        if (!quads[k].linked) continue;
        top = std::max(top, quads[k].edges[1].rMin);
        bottom = std::min(bottom, quads[k].edges[1].rMax);
    }
    if (top > bottom) return;
    const double yMiddle = 0.5 * (top + bottom);
    const TCellEdge* leftmost = nullptr;
    const TCellEdge* rightmost = nullptr;
    double leftX = 0;
    double rightX = 0;
    for (std::uint32_t k = 0; k < chain.count; ++k) {
        if (!quads[k].linked) continue;
        const TCellEdge& e = quads[k].edges[1];
        const double x = e.col + e.slope * (yMiddle - e.row);
        if (!leftmost || x < leftX) {
            leftmost = &e;
            leftX = x;
        }
        if (!rightmost || x > rightX) {
            rightmost = &e;
            rightX = x;
        }
    }
    // The edges that can give the chain's leftmost or rightmost cell in some row of the band:
    // all but those kept apart from both.
    chain.bandTop = top;
    chain.bandBottom = bottom;
    chain.bandFirst = static_cast<std::uint32_t>(out.bandEdges.size());
    for (std::uint32_t k = 0; k < chain.count; ++k) {
        for (const TCellEdge& e : quads[k].edges) {
            const int r0 = std::max(e.rMin, top);
            const int r1 = std::min(e.rMax, bottom);
            if (r0 > r1) continue;
            if (e.rMin != e.rMax) {
                const double yTop = r0 > e.rMin ? r0 - 0.5 : e.rMin;
                const double yBottom = r1 < e.rMax ? r1 + 0.5 : e.rMax;
                const double xTop = e.col + e.slope * (yTop - e.row);
                const double xBottom = e.col + e.slope * (yBottom - e.row);
                if (KeepsApart(yTop, xTop, yBottom, xBottom, *leftmost, 1) &&
                    KeepsApart(yTop, xTop, yBottom, xBottom, *rightmost, -1))
                    continue;
            }
            out.bandEdges.push_back(&e);
        }
    }
    chain.bandCount = static_cast<std::uint32_t>(out.bandEdges.size()) - chain.bandFirst;
}

void ToujiGrid::GroupSpans(const TCellEdge* const* edges, std::size_t count, int rowBegin,
                           int rowEnd, TWorker& w, int* los, int* his) {
    const int rows = rowEnd - rowBegin;
    const double nCells = n_;
    Fill(los, INT_MAX, rows);
    Fill(his, INT_MIN, rows);
    // Each piece's span in a row takes every cell from the leftmost to the rightmost one its
    // edges pass through over the row's band [r - 0.5, r + 0.5], as QuadCellSpans finds them;
    // an edge's column is monotonic along it, so of the two ends of its part in a row one
    // gives its leftmost cell there and the other its rightmost. The spans of linked pieces
    // overlap or touch in every row their common edge runs through (both contain the cells
    // of that edge, found from its two ends: at most one cell apart), so where every link
    // runs through the block the group's union in a row is the one span from the leftmost to
    // the rightmost cell of all its edges.
    //
    // First each edge's columns at the two ends of its part of the block: every cell an edge
    // gives lies between them. An edge through the whole block bounds the group's leftmost
    // cell in every row from above by the greater of its two, and the rightmost from below by
    // the lesser; an edge whose cells all lie right of the first bound (or left of the second)
    // never gives the group's leftmost (rightmost) cell, and is not followed row by row.
    // Nor is an edge kept apart from the leftmost edge through the block (or the rightmost).
    if (w.bounds.size() < count) w.bounds.resize(count);
    TEdgeBound* bounds = w.bounds.data();
    std::size_t used = 0;
    int leftBound = INT_MAX;
    int rightBound = INT_MIN;
    const TEdgeBound* leftmost = nullptr;
    const TEdgeBound* rightmost = nullptr;
    const double yMiddle = 0.5 * (rowBegin + rowEnd - 1);
    for (std::size_t i = 0; i < count; ++i) {
        const TCellEdge& e = *edges[i];
        const int r0 = std::max(e.rMin, rowBegin);
        const int r1 = std::min(e.rMax, rowEnd - 1);
        if (r0 > r1) continue;
        TEdgeBound& b = bounds[used++];
        b.edge = &e;
        b.r0 = r0;
        b.r1 = r1;
        if (e.rMin == e.rMax) {
            b.cTop = e.colLo;
            b.cBottom = e.colHi;
        } else {
            b.yTop = b.r0 > e.rMin ? b.r0 - 0.5 : e.rMin;
            b.yBottom = b.r1 < e.rMax ? b.r1 + 0.5 : e.rMax;
            b.xTop = e.col + e.slope * (b.yTop - e.row);
            b.xBottom = e.col + e.slope * (b.yBottom - e.row);
            b.cTop = RoundColumn(b.xTop, nCells);
            b.cBottom = RoundColumn(b.xBottom, nCells);
        }
        b.through = e.rMin <= rowBegin && e.rMax >= rowEnd - 1 && e.rMin != e.rMax;
        if (b.through) {
            leftBound = std::min(leftBound, std::max(b.cTop, b.cBottom));
            rightBound = std::max(rightBound, std::min(b.cTop, b.cBottom));
            b.xMiddle = e.col + e.slope * (yMiddle - e.row);
            if (!leftmost || b.xMiddle < leftmost->xMiddle) leftmost = &b;
            if (!rightmost || b.xMiddle > rightmost->xMiddle) rightmost = &b;
        }
    }
    int* cols = w.edgeCols.data();
    for (std::size_t i = 0; i < used; ++i) {
        const TEdgeBound& b = bounds[i];
        const TCellEdge& e = *b.edge;
        const bool flat = e.rMin == e.rMax;
        const bool left = std::min(b.cTop, b.cBottom) <= leftBound &&
                          (flat || !leftmost ||
                           !KeepsApart(b.yTop, b.xTop, b.yBottom, b.xBottom, *leftmost->edge, 1));
        const bool right =
            std::max(b.cTop, b.cBottom) >= rightBound &&
            (flat || !rightmost ||
             !KeepsApart(b.yTop, b.xTop, b.yBottom, b.xBottom, *rightmost->edge, -1));
        if (!left && !right) continue;
        int* lo = los + (b.r0 - rowBegin);
        int* hi = his + (b.r0 - rowBegin);
        if (flat) {
            if (left) *lo = std::min(*lo, e.colLo);
            if (right) *hi = std::max(*hi, e.colHi);
            continue;
        }
        // cols[k]: the edge's column at the top of row r0 + k (at its own end where it ends
        // inside the row), and cols[m] at the bottom of row r1.
        const int m = b.r1 - b.r0 + 1;
        cols[0] = b.cTop;
        EdgeColumns(e.col, e.slope, e.row, b.r0, m, nCells, cols);
        cols[m] = b.cBottom;
        const int* low = e.slope >= 0 ? cols : cols + 1;
        const int* high = e.slope >= 0 ? cols + 1 : cols;
        if (left) LowerTo(lo, low, m);
        if (right) RaiseTo(hi, high, m);
    }
}

void ToujiGrid::ChainGroups(const TSampleCells& sample, const TChain& c, int rowBegin, int rowEnd,
                            TWorker& w, TBlockMemo& m) {
    const int rows = rowEnd - rowBegin;
    if (w.edgeCols.size() < kBlockSize + 1) w.edgeCols.resize(kBlockSize + 1);
    if (w.groupLo.size() < kBlockSize) {
        w.groupLo.resize(kBlockSize);
        w.groupHi.resize(kBlockSize);
    }
    // Each group is kept for the rows where it has cells, clipped to the raster, in 16 bits.
    auto addGroup = [&](const TCellEdge* const* edges, std::size_t count) {
        int* los = w.groupLo.data();
        int* his = w.groupHi.data();
        GroupSpans(edges, count, rowBegin, rowEnd, w, los, his);
        int j0 = 0;
        int j1 = rows - 1;
        auto empty = [&](int j) { return std::max(los[j], 0) > std::min(his[j], n_ - 1); };
        while (j0 <= j1 && empty(j0)) ++j0;
        while (j1 >= j0 && empty(j1)) --j1;
        if (j0 > j1) return;
        TMemoGroup g;
        g.at = static_cast<std::uint32_t>(m.cells.size());
        g.j0 = static_cast<std::uint8_t>(j0);
        g.rows = static_cast<std::uint8_t>(j1 - j0 + 1);
        g.key = std::max(los[j0], 0);
        for (int j = j0; j <= j1; ++j) {
            const int lo = std::max(los[j], 0);
            const int hi = std::min(his[j], n_ - 1);
            // An empty row inside keeps lo > hi.
            m.cells.push_back({static_cast<std::int16_t>(lo > hi ? 1 : lo),
                               static_cast<std::int16_t>(lo > hi ? 0 : hi)});
        }
        m.groups.push_back(g);
    };
    // The groups: the chain cut where a link does not run through the whole block.
    if (c.bandTop <= rowBegin && rowEnd - 1 <= c.bandBottom) {  // every link holds
        addGroup(&sample.bandEdges[c.bandFirst], c.bandCount);
        return;
    }
    const TCellQuad* quads = &sample.quads[c.first];
    const std::uint32_t size = c.count;
    if (w.linkThrough.size() < size) w.linkThrough.resize(size);
    std::uint32_t cut = size;  // a piece whose link does not hold
    for (std::uint32_t k = 0; k < size; ++k) {
        const TCellEdge& e = quads[k].edges[1];
        const bool through = quads[k].linked && e.rMin <= rowBegin && e.rMax >= rowEnd - 1;
        w.linkThrough[k] = through;
        if (!through) cut = k;
    }
    std::vector<const TCellEdge*>& groupEdges = w.edges;
    for (std::uint32_t done = 0; done < size;) {
        const std::uint32_t start = cut == size ? done : (cut + 1 + done) % size;
        std::uint32_t count = 1;
        while (count < size && w.linkThrough[(start + count - 1) % size]) ++count;
        done += count;
        const TCellQuad& q = quads[start];
        if (count == 1 && (q.rTop >= rowEnd || q.rBottom < rowBegin)) continue;
        groupEdges.clear();
        for (std::uint32_t k = 0; k < count; ++k)
            for (const TCellEdge& e : quads[(start + k) % size].edges) groupEdges.push_back(&e);
        addGroup(groupEdges.data(), groupEdges.size());
    }
}

void ToujiGrid::CountBlock(const TSampleCells& sample, int block, int rowBegin, int rowEnd,
                           TScan& scan, TWorker& w) {
    std::vector<const TChain*>& active = scan.active;
    while (scan.next < sample.byTop.size() && (sample.byTop[scan.next] >> 32) < rowEnd) {
        const TChain& c = sample.chains[static_cast<std::uint32_t>(sample.byTop[scan.next])];
        ++scan.next;
        if (c.rBottom >= rowBegin) active.push_back(&c);
    }
    TBlockMemo& m = memo_[static_cast<std::size_t>(block)];
    const bool clean = m.counted && !sample.dirty[static_cast<std::size_t>(block)];
    if (clean && m.recorded) {
        // No chain over these rows changed: the block counts as the sample before did.
        ++m.pending;
    } else {
        CountChains(sample, rowBegin, rowEnd, active, w, m, clean);
    }
    // Chains ending in this block leave.
    active.erase(std::remove_if(active.begin(), active.end(),
                                [&](const TChain* c) { return c->rBottom < rowEnd; }),
                 active.end());
}

void ToujiGrid::CountChains(const TSampleCells& sample, int rowBegin, int rowEnd,
                            std::vector<const TChain*>& active, TWorker& w, TBlockMemo& m,
                            bool record) {
    Flush(m);
    m.changes.clear();
    m.recorded = record;
    m.counted = true;
    const std::size_t chains = sample.chains.size();
    if (m.version.size() != chains) {
        m.version.assign(chains, kNoVersion);
        m.first.assign(chains, 0);
        m.count.assign(chains, 0);
        m.groups.clear();
        m.cells.clear();
        m.live = 0;
    }
    if (active.empty()) return;
    const int rows = rowEnd - rowBegin;

    // Each chain's groups, found again only where the chain's cells changed since they were
    // found.
    std::vector<std::uint32_t>& groups = w.groups;
    std::vector<std::uint32_t>& groupChain = w.groupChain;
    groups.clear();
    groupChain.clear();
    for (std::size_t a = 0; a < active.size(); ++a) {
        const auto at = static_cast<std::size_t>(active[a] - sample.chains.data());
        if (m.version[at] != sample.version[at]) {
            const std::size_t from = m.groups.size();
            ChainGroups(sample, *active[a], rowBegin, rowEnd, w, m);
            m.live += m.groups.size() - from;
            m.live -= m.count[at];
            m.first[at] = static_cast<std::uint32_t>(from);
            m.count[at] = static_cast<std::uint32_t>(m.groups.size() - from);
            m.version[at] = sample.version[at];
        }
        for (std::uint32_t g = 0; g < m.count[at]; ++g) {
            groups.push_back(m.first[at] + g);
            groupChain.push_back(static_cast<std::uint32_t>(a));
        }
    }
    const std::size_t count = groups.size();
    if (w.order.size() < count) {
        w.order.resize(count);
        w.rowSpans.resize(count);
    }

    // A block whose rows hold many spans each (where many shadows overlap) takes their union
    // cell by cell in a row of bits; one whose rows hold a few merges them in column order.
    std::size_t spans = 0;
    for (std::size_t i = 0; i < count; ++i) spans += m.groups[groups[i]].rows;
    if (spans > kManySpansPerRow * static_cast<std::size_t>(rows))
        CountByBits(rowBegin, rowEnd, w, m, record);
    else
        CountByMerging(rowBegin, rowEnd, w, m, record);

    // The chains going on to the next block, in the order of their groups' first cells.
    std::vector<int>& chainKey = w.chainKey;
    chainKey.assign(active.size(), INT_MAX);
    for (std::size_t i = 0; i < count; ++i) {
        int& key = chainKey[groupChain[i]];
        key = std::min(key, m.groups[groups[i]].key);
    }
    std::vector<const TChain*>& kept = w.kept;
    std::vector<int>& keys = w.keptKeys;
    kept.clear();
    keys.clear();
    for (std::size_t a = 0; a < active.size(); ++a) {
        if (active[a]->rBottom < rowEnd) continue;
        const int key = chainKey[a];
        std::size_t k = kept.size();
        kept.push_back(active[a]);
        keys.push_back(key);
        for (; k > 0 && keys[k - 1] > key; --k) {
            kept[k] = kept[k - 1];
            keys[k] = keys[k - 1];
        }
        kept[k] = active[a];
        keys[k] = key;
    }
    active.swap(kept);

    // Groups of chains found again are left behind; drop them now and then.
    if (m.groups.size() > 2 * m.live + 64) {
        // Into the worker's spare lists, which then take the old ones: no list is allocated
        // again once they have grown.
        std::vector<TMemoGroup>& groupsKept = w.groupsKept;
        std::vector<TMemoCells>& cellsKept = w.cellsKept;
        groupsKept.clear();
        cellsKept.clear();
        for (std::size_t c = 0; c < chains; ++c) {
            const std::uint32_t from = m.first[c];
            m.first[c] = static_cast<std::uint32_t>(groupsKept.size());
            for (std::uint32_t g = from; g < from + m.count[c]; ++g) {
                TMemoGroup moved = m.groups[g];
                moved.at = static_cast<std::uint32_t>(cellsKept.size());
                cellsKept.insert(cellsKept.end(), m.cells.begin() + m.groups[g].at,
                                 m.cells.begin() + m.groups[g].at + m.groups[g].rows);
                groupsKept.push_back(moved);
            }
        }
        m.groups.swap(groupsKept);
        m.cells.swap(cellsKept);
    }
}

void ToujiGrid::CountByMerging(int rowBegin, int rowEnd, TWorker& w, TBlockMemo& m, bool record) {
    const int rows = rowEnd - rowBegin;
    const std::vector<std::uint32_t>& groups = w.groups;
    const std::size_t count = groups.size();
    // The groups in the order of their first cells: the order of the block before, with
    // newcomers sorted in.
    std::uint32_t* order = w.order.data();
    for (std::size_t i = 0; i < count; ++i) {
        const int key = m.groups[groups[i]].key;
        std::size_t k = i;
        for (; k > 0 && m.groups[groups[order[k - 1]]].key > key; --k) order[k] = order[k - 1];
        order[k] = static_cast<std::uint32_t>(i);
    }

    // The groups' spans merged, in the groups' order, into each row's runs of shaded cells (a
    // row has at most a span a group). The spans come in the column order of their groups'
    // first rows, so a span mostly joins the row's last run or starts the next (JoinRun). A
    // row whose order is broken worse than that is merged again from its spans sorted.
    const std::size_t cap = count;
    if (w.rowRuns.size() < cap * kBlockSize) w.rowRuns.resize(cap * kBlockSize);
    TSpan* const rowRuns = w.rowRuns.data();
    std::uint32_t runCount[kBlockRows] = {};
    std::uint32_t broken = 0;  // bit j: row j merged again
    for (std::size_t i = 0; i < count; ++i) {
        const TMemoGroup& g = m.groups[groups[order[i]]];
        const TMemoCells* cell = &m.cells[g.at];
        for (int j = g.j0; j < g.j0 + g.rows; ++j, ++cell) {
            if (cell->lo > cell->hi) continue;
            if (!JoinRun(rowRuns + static_cast<std::size_t>(j) * cap, runCount[j], cell->lo,
                         cell->hi))
                broken |= std::uint32_t{1} << j;
        }
    }
    for (std::uint32_t left = broken; left != 0; left &= left - 1) {
        const int j = std::countr_zero(left);
        TSpan* spans = w.rowSpans.data();
        std::size_t spanCount = 0;
        for (const std::uint32_t k : groups) {
            const TMemoGroup& g = m.groups[k];
            if (j < g.j0 || j >= g.j0 + g.rows) continue;
            const TMemoCells& c = m.cells[g.at + static_cast<std::uint32_t>(j - g.j0)];
            if (c.lo <= c.hi) spans[spanCount++] = {c.lo, c.hi};
        }
        std::sort(spans, spans + spanCount,
                  [](const TSpan& x, const TSpan& y) { return x.lo < y.lo; });
        runCount[j] = 0;
        for (const TSpan* sp = spans; sp < spans + spanCount; ++sp)
            JoinRun(rowRuns + static_cast<std::size_t>(j) * cap, runCount[j], sp->lo, sp->hi);
    }

    // Each run marked where it starts and just after it ends.
    for (int j = 0; j < rows; ++j) {
        const TSpan* runs = rowRuns + static_cast<std::size_t>(j) * cap;
        const std::size_t n = runCount[j];
        const std::size_t line = Index(0, rowBegin + j);
        for (std::size_t i = 0; i < n; ++i) {
            cells_[line + static_cast<std::size_t>(runs[i].lo)] += 1;
            if (record) m.changes.push_back({static_cast<std::uint32_t>(line + runs[i].lo), 1});
            if (runs[i].hi + 1 < n_) {
                cells_[line + static_cast<std::size_t>(runs[i].hi) + 1] -= 1;
                if (record)
                    m.changes.push_back({static_cast<std::uint32_t>(line + runs[i].hi + 1), -1});
            }
        }
    }
}

void ToujiGrid::CountByBits(int rowBegin, int rowEnd, TWorker& w, TBlockMemo& m, bool record) {
    const int rows = rowEnd - rowBegin;
    const auto words = static_cast<std::size_t>((n_ + 63) / 64);
    if (w.bits.size() < kBlockSize * words) w.bits.resize(kBlockSize * words, 0);
    int wLo[kBlockRows];
    int wHi[kBlockRows];
    std::fill(wLo, wLo + kBlockRows, INT_MAX);
    std::fill(wHi, wHi + kBlockRows, -1);
    for (const std::uint32_t k : w.groups) {
        const TMemoGroup& g = m.groups[k];
        const TMemoCells* cell = &m.cells[g.at];
        for (int j = g.j0; j < g.j0 + g.rows; ++j, ++cell) {
            if (cell->lo > cell->hi) continue;
            SetCells(w.bits.data() + static_cast<std::size_t>(j) * words, cell->lo, cell->hi);
            wLo[j] = std::min(wLo[j], cell->lo >> 6);
            wHi[j] = std::max(wHi[j], cell->hi >> 6);
        }
    }
    // Each row's runs of shaded cells marked where they start and just after they end, the
    // bits cleared behind.
    for (int j = 0; j < rows; ++j) {
        std::uint64_t* bits = w.bits.data() + static_cast<std::size_t>(j) * words;
        const std::size_t line = Index(0, rowBegin + j);
        auto mark = [&](int c, int delta) {
            cells_[line + static_cast<std::size_t>(c)] += static_cast<Counter>(delta);
            if (record) m.changes.push_back({static_cast<std::uint32_t>(line + c), delta});
        };
        for (int i = wLo[j]; i <= wHi[j]; ++i) {
            const std::uint64_t x = bits[i];
            if (x == 0) continue;
            const std::uint64_t before = i > wLo[j] ? bits[i - 1] >> 63 : 0;
            const std::uint64_t after = i < wHi[j] ? bits[i + 1] << 63 : 0;
            // Shaded cells whose left (right) neighbour is not: where runs start (end).
            for (std::uint64_t starts = x & ~((x << 1) | before); starts != 0; starts &= starts - 1)
                mark(64 * i + std::countr_zero(starts), 1);
            for (std::uint64_t ends = x & ~((x >> 1) | after); ends != 0; ends &= ends - 1) {
                const int c = 64 * i + std::countr_zero(ends) + 1;
                if (c < n_) mark(c, -1);
            }
        }
        if (wLo[j] <= wHi[j]) std::fill(bits + wLo[j], bits + wHi[j] + 1, 0);
    }
}

void ToujiGrid::Flush(TBlockMemo& m) {
    if (m.pending == 0) return;
    const Counter times = m.pending;
    for (const auto& [at, delta] : m.changes) cells_[at] += times * static_cast<Counter>(delta);
    m.pending = 0;
}

void ToujiGrid::NumberChains(int count) {
    const std::size_t blocks = memo_.size();
    auto corners = [](const TCellQuad& q, int i) {
        return std::make_pair(q.edges[static_cast<std::size_t>(i)].col,
                              q.edges[static_cast<std::size_t>(i)].row);
    };
    for (int k = 0; k < count; ++k) {
        TSampleCells& cur = batch_[static_cast<std::size_t>(k)];
        const TSampleCells* prev =
            k > 0 ? &batch_[static_cast<std::size_t>(k) - 1] : (hasLast_ ? &last_ : nullptr);
        const std::size_t chains = cur.chains.size();
        cur.version.resize(chains);
        cur.dirty.assign(blocks, 0);
        const bool alike = prev && prev->chains.size() == chains;
        auto mark = [&](const TChain& c) {
            for (int b = c.rTop / kBlockRows; b <= c.rBottom / kBlockRows; ++b)
                cur.dirty[static_cast<std::size_t>(b)] = 1;
        };
        for (std::size_t i = 0; i < chains; ++i) {
            const TChain& c = cur.chains[i];
            bool same =
                alike && prev->chains[i].first == c.first && prev->chains[i].count == c.count;
            for (std::uint32_t q = 0; same && q < c.count; ++q) {
                const TCellQuad& a = cur.quads[c.first + q];
                const TCellQuad& b = prev->quads[c.first + q];
                for (int e = 0; same && e < 4; ++e) same = corners(a, e) == corners(b, e);
            }
            if (same) {
                cur.version[i] = prev->version[i];
                continue;
            }
            cur.version[i] = nextVersion_++;
            if (nextVersion_ == kNoVersion) nextVersion_ = 0;
            mark(c);
            if (alike) mark(prev->chains[i]);
        }
        if (!alike) cur.dirty.assign(blocks, 1);
    }
}

void ToujiGrid::AddSample(const std::vector<TShadowQuad>& quads, const TToujiMesh& mesh) {
    AddSamples(1, mesh, [&](int, std::vector<TShadowQuad>& out) { out = quads; });
}

void ToujiGrid::AddSamples(int count, const TToujiMesh& mesh, const ToujiQuadMaker& make,
                           const RunContext* stop) {
    const auto stopped = [stop] { return stop && stop->StopRequested(); };
    ZUKA_ASSERT(mesh.n == n_, "mesh and grid sizes differ");
    if (count <= 0) return;
    maximaStale_ = true;
    GrowWorkers();
    if (batch_.size() < static_cast<std::size_t>(count))
        batch_.resize(static_cast<std::size_t>(count));
    // Pieces in cells, the samples dealt round the threads; each thread also notes how many
    // pieces cover each row, the work the bands below are balanced by.
    const int makers = std::min(threads_, count);
    RunOnThreads(makers, [&](int t) {
        TWorker& w = workers_[static_cast<std::size_t>(t)];
        w.rowLoad.assign(static_cast<std::size_t>(n_) + 1, 0);
        for (int k = t; k < count && !stopped(); k += makers) {
            TSampleCells& cells = batch_[static_cast<std::size_t>(k)];
            make(k, w.quads);
            MakeCells(w.quads, mesh, cells);
            for (const TCellQuad& q : cells.quads) {
                ++w.rowLoad[static_cast<std::size_t>(q.rTop)];
                --w.rowLoad[static_cast<std::size_t>(q.rBottom) + 1];
            }
        }
    });
    if (stopped()) {
        pendingEnds_ = true;
        return;
    }
    // Bands of rows with about equal numbers of piece rows: cover[r] is the number of pieces
    // over row r in all the batch's samples.
    std::vector<std::int64_t>& cover = workers_[0].rowLoad;
    for (int t = 1; t < makers; ++t) {
        const std::vector<std::int64_t>& other = workers_[static_cast<std::size_t>(t)].rowLoad;
        for (std::size_t r = 0; r < cover.size(); ++r) cover[r] += other[r];
    }
    std::int64_t total = 0;
    for (std::size_t r = 0; r < cover.size(); ++r) {
        if (r > 0) cover[r] += cover[r - 1];
        total += cover[r];
    }
    std::vector<int>& bands = bandRows_;
    bands.assign(static_cast<std::size_t>(threads_) + 1, n_);
    bands[0] = 0;
    std::int64_t sum = 0;
    int band = 1;
    for (int r = 0; r < n_ && band < threads_; ++r) {
        sum += cover[static_cast<std::size_t>(r)];
        // Bands of whole blocks: a block keeps what it counted from one batch to the next.
        while (band < threads_ && sum * threads_ >= total * band)
            bands[static_cast<std::size_t>(band++)] =
                std::min(n_, (r + kBlockRows) / kBlockRows * kBlockRows);
    }
    NumberChains(count);
    RunOnThreads(threads_, [&](int t) {
        TWorker& w = workers_[static_cast<std::size_t>(t)];
        const int rowBegin = bands[static_cast<std::size_t>(t)];
        const int rowEnd = bands[static_cast<std::size_t>(t) + 1];
        if (rowBegin >= rowEnd) return;
        if (w.scans.size() < static_cast<std::size_t>(count))
            w.scans.resize(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k) {
            w.scans[static_cast<std::size_t>(k)].next = 0;
            w.scans[static_cast<std::size_t>(k)].active.clear();
        }
        // A few rows of a few samples at a time, so that the counters those rows touch stay
        // in the cache from one sample to the next (the shadows move little between samples)
        // and so do the samples' pieces from one block of rows to the next.
        for (int k0 = 0; k0 < count; k0 += kBlockSamples) {
            const int k1 = std::min(count, k0 + kBlockSamples);
            for (int b = rowBegin; b < rowEnd; b += kBlockRows) {
                const int blockEnd = std::min(rowEnd, b + kBlockRows);
                for (int k = k0; k < k1; ++k) {
                    if (stopped()) return;
                    const auto at = static_cast<std::size_t>(k);
                    CountBlock(batch_[at], b / kBlockRows, b, blockEnd, w.scans[at], w);
                }
            }
        }
    });
    // The batch's last sample is what the next batch's first one is compared with.
    std::swap(last_, batch_[static_cast<std::size_t>(count) - 1]);
    hasLast_ = true;
    pendingEnds_ = true;
}

ToujiGrid::Counter ToujiGrid::ChunkMax(int r, int k) const {
    const int chunks = (n_ + kChunk - 1) / kChunk;
    if (maximaStale_) {
        maxima_.assign(static_cast<std::size_t>(chunks) * static_cast<std::size_t>(n_), 0);
        for (int row = 0; row < n_; ++row) {
            const Counter* line = &cells_[Index(0, row)];
            Counter* out = &maxima_[static_cast<std::size_t>(row) * chunks];
            for (int chunk = 0; chunk < chunks; ++chunk) {
                Counter most = 0;
                for (int c = kChunk * chunk; c < std::min(kChunk * (chunk + 1), n_); ++c)
                    most = std::max(most, line[c]);
                out[chunk] = most;
            }
        }
        maximaStale_ = false;
    }
    return maxima_[static_cast<std::size_t>(r) * chunks + static_cast<std::size_t>(k)];
}

void ToujiGrid::FinishSamples() {
    if (!pendingEnds_) return;
    maximaStale_ = true;
    for (TBlockMemo& m : memo_) {
        Flush(m);
        m = TBlockMemo{};
    }
    hasLast_ = false;
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

void ToujiGrid::PaintToujiMask(const std::vector<TShadowQuad>& quads, const TToujiMesh& mesh) {
    ZUKA_ASSERT(mesh.n == n_, "mesh and grid sizes differ");
    ZUKA_ASSERT(!pendingEnds_, "span samples not finished before mask samples");
    maximaStale_ = true;
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

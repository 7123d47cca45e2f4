// The inner steps of the equal-time span counting, several values at a time where the
// processor allows: AVX2 when the processor has it (asked once through the platform unit),
// else SSE2, which every x86-64 processor has, else one at a time. Every way takes the same
// operations in the same order, so the counts never depend on the processor.
// Used only by the span counter.
#pragma once

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

#include "base/platform.h"
#include "geom/primitives.h"
#include "shadow/touji_mesh.h"

namespace zuka::touji {

// Cell column / row of a drawing point, kept in double so that far shadows cannot overflow.
inline double CellCol(double x, const TToujiMesh& m) {
    return static_cast<double>(RoundHalfAway((x - m.x0) / m.cell));
}
inline double CellRow(double y, const TToujiMesh& m) {
    return m.n - static_cast<double>(RoundHalfAway((y - m.y0) / m.cell));
}

// A shadow piece's corners in cells, and the raster rows it covers (top <= bottom), as both
// the plain painting and the span counter take them; false when it covers no row.
struct TQuadCorners {
    double col[4];
    double row[4];
    int rTop = 0;
    int rBottom = 0;
};
inline bool QuadCorners(const TShadowQuad& q, const TToujiMesh& mesh, TQuadCorners& out) {
    for (int i = 0; i < 4; ++i) {
        out.col[i] = CellCol(q[i].x, mesh);
        out.row[i] = CellRow(q[i].y, mesh);
    }
    const double top = std::max(0.0, *std::min_element(out.row, out.row + 4));
    const double bottom = std::min(mesh.n - 1.0, *std::max_element(out.row, out.row + 4));
    if (top > bottom) return false;
    out.rTop = static_cast<int>(top);
    out.rBottom = static_cast<int>(bottom);
    return true;
}

// Sets the bits of columns lo .. hi (0 <= lo <= hi) in a row of cell bits (bit k of word i is
// column 64 i + k).
inline void SetCells(std::uint64_t* row, int lo, int hi) {
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
inline int ClampCells(double v, int n) {
    if (v < -1) return -1;
    if (v > n) return n;
    return static_cast<int>(v);
}

// floor(x + 0.5) of QuadCellSpans, clamped as by ClampCells. floor is monotonic, so the floor
// of the lesser of two edge positions is the lesser of their floors.
inline int RoundColumn(double x, double n) {
    const double v = std::min(x + 0.5, n);
    return v < 0 ? -1 : static_cast<int>(v);
}

#if defined(__GNUC__) && defined(__x86_64__)
#define ZUKA_TOUJI_AVX2 1
// Whether the processor has AVX2 (and the system lets the build use it), for the routines below
// that take four or eight values at a time with it: the same operations in the same order, so the
// same results.
inline bool HasAvx2() { return CanUseAvx2(); }

// EdgeColumns for k in [1, 1 + 4 q) with AVX2; returns the first k not done. The row positions
// (r0 + k) - 0.5 step by 4 exactly; floor(v) raised to -1 is RoundColumn's v < 0 ? -1 : trunc(v).
inline __attribute__((target("avx2"))) int EdgeColumnsAvx2(double col, double slope, double row,
                                                           int r0, int m, double n, int* cols) {
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
inline void EdgeColumns(double col, double slope, double row, int r0, int m, double n, int* cols) {
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
inline void Fill(int* to, int v, int m) {
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
inline void LowerTo(int* to, const int* from, int m) { Bound<false>(to, from, m); }
inline void RaiseTo(int* to, const int* from, int m) { Bound<true>(to, from, m); }

}  // namespace zuka::touji

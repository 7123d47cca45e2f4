// The counter grid of the equal-time diagrams: an N x N raster of the measurement plane (see
// touji_mesh.h) whose counters hold in how many sampled instants each cell lay in shadow, and
// the painting of one instant's shadow pieces into it. The counting by spans lives in the span
// counter, the plain reference method in the mask painter, the tracing of the regions in
// touji_contour.h.
//
// Glossary: touji equal time, hyouka evaluation, mesh raster cell size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/run_context.h"
#include "geom/records.h"
#include "shadow/touji_mesh.h"

namespace zuka {

class ToujiSpanCounter;

// Makes the shadow pieces of sample k of a batch into `quads` (cleared first). Called from
// several threads at once, each with its own `quads`.
using ToujiQuadMaker = std::function<void(int k, std::vector<TShadowQuad>& quads)>;

// The counters. Wide enough for any period: 32 bits hold 136 years of one-second samples.
class ToujiGrid {
public:
    using Counter = std::uint32_t;

    ToujiGrid();
    ~ToujiGrid();
    // A copy takes the counters (their samples finished), not the counting's work space.
    ToujiGrid(const ToujiGrid& other);
    ToujiGrid& operator=(const ToujiGrid& other);
    ToujiGrid(ToujiGrid&&) noexcept;
    ToujiGrid& operator=(ToujiGrid&&) noexcept;

    // Sizes the grid to n x n (0 < n < 32767) and zeroes it (the memory is kept for the next
    // run).
    void Reset(int n);
    int N() const { return n_; }
    Counter At(int c, int r) const { return cells_[Index(c, r)]; }
    Counter& At(int c, int r) {
        maximaStale_ = true;
        return cells_[Index(c, r)];
    }
    // Lowers the counter of cell (c, r) to v (not above its value), as the outline tracing
    // does to the ground it has taken.
    void Lower(int c, int r, Counter v) { cells_[Index(c, r)] = v; }
    // The largest counter of each run of kChunk cells of a row (the last run of a row may be
    // shorter), row by row: ChunkMax(r, k) covers columns kChunk k .. kChunk (k + 1) - 1. Found
    // again after the counters were set otherwise than by Lower, which keeps them upper bounds.
    static constexpr int kChunk = 64;
    Counter ChunkMax(int r, int k) const;

    // Threads that AddSamples works on, the calling thread among them; at least 1. The
    // machine's core count (at most 8) unless set.
    void SetThreads(int threads);
    int Threads() const { return threads_; }

    // Adds one sample: every cell painted by at least one of the quads (the cells that
    // QuadCellSpans gives) gains 1. Counts each row's shaded runs by their ends only, so the
    // cost grows with the shadow's outline, not its area; the pieces of walls that meet
    // corner to corner are taken together, following only the edges that can bound their
    // union in a row. Call FinishSamples once after the last sample.
    void AddSample(const std::vector<TShadowQuad>& quads, const TToujiMesh& mesh);
    // Adds samples 0 .. count - 1 of a batch, each exactly as AddSample would: the pieces are
    // made and converted to cells with the samples shared among the threads, then each thread
    // counts every sample in its own band of rows (bands balanced by the rows' shadow pieces),
    // so no two threads touch one counter and the counts never depend on the thread count.
    // Returns once every thread has finished.
    // Consecutive samples, also across batches until FinishSamples, are taken to be close in
    // time: where a chain of pieces lies in the same cells as in the sample before, its spans
    // are taken over instead of found again, and a block of rows none of whose chains changed
    // counts as the sample before did. That saves most of the work at fine steps and never
    // changes a count.
    // `stop`, when given, is asked by every thread once per sample it makes and once per sample
    // in each block of rows it counts; a batch it stops is left half counted (the run is then
    // abandoned).
    void AddSamples(int count, const TToujiMesh& mesh, const ToujiQuadMaker& make,
                    const RunContext* stop = nullptr);
    // The same sample by the plain method: paint the quads into a 1-bit mask (8 cells a byte),
    // then count the black cells of the painted rows byte by byte, skipping all-white bytes
    // and adding whole all-black ones. Kept as the reference the span counting must match.
    void PaintToujiMask(const std::vector<TShadowQuad>& quads, const TToujiMesh& mesh);
    // Turns the span ends gathered by AddSample and AddSamples into counts (samples are added
    // again after Reset).
    void FinishSamples();
    // How many samples of `pieces` shadow pieces each AddSamples should take at once: up to
    // 64, fewer for large models, so that a batch's pieces in cells take about a quarter of the
    // memory of a grid of 2000 x 2000 counters.
    static int SamplesPerBatch(std::size_t pieces);

private:
    std::size_t Index(int c, int r) const {
        return static_cast<std::size_t>(r) * static_cast<std::size_t>(n_) +
               static_cast<std::size_t>(c);
    }

    int n_ = 0;
    int threads_;
    std::vector<Counter> cells_;
    // While samples are added by spans, the counters of each row hold +1 where a merged span
    // starts and -1 (modulo 2^32) just after it ends, until FinishSamples sums them.
    bool pendingEnds_ = false;
    std::unique_ptr<ToujiSpanCounter> counter_;
    // The spans and the mask of the plain method.
    std::vector<TCellSpan> maskSpans_;
    std::vector<std::uint8_t> mask_;
    // The chunks' largest counters, and whether they must be found again.
    mutable std::vector<Counter> maxima_;
    mutable bool maximaStale_ = true;
};

}  // namespace zuka

#include "shadow/touji_grid.h"

#include <algorithm>

#include "base/assert.h"
#include "base/thread_runner.h"
#include "shadow/touji_span_counter.h"

namespace zuka {

ToujiGrid::ToujiGrid()
    : threads_(WorkerThreadCount()), counter_(std::make_unique<ToujiSpanCounter>()) {}
ToujiGrid::~ToujiGrid() = default;
ToujiGrid::ToujiGrid(ToujiGrid&&) noexcept = default;
ToujiGrid& ToujiGrid::operator=(ToujiGrid&&) noexcept = default;

ToujiGrid::ToujiGrid(const ToujiGrid& other)
    : n_(other.n_),
      threads_(other.threads_),
      cells_(other.cells_),
      counter_(std::make_unique<ToujiSpanCounter>()) {
    ZUKA_ASSERT(!other.pendingEnds_, "a grid copied before its samples were finished");
    counter_->Reset(n_);
}

ToujiGrid& ToujiGrid::operator=(const ToujiGrid& other) {
    if (this != &other) *this = ToujiGrid(other);
    return *this;
}
void ToujiGrid::Reset(int n) {
    ZUKA_ASSERT(n > 0 && n < 32767, "grid size must be positive and below 32767");
    n_ = n;
    cells_.assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), 0);
    maximaStale_ = true;
    pendingEnds_ = false;
    counter_->Reset(n);
}

int ToujiGrid::SamplesPerBatch(std::size_t pieces) {
    return ToujiSpanCounter::SamplesPerBatch(pieces);
}

void ToujiGrid::SetThreads(int threads) { threads_ = std::clamp(threads, 1, 64); }

void ToujiGrid::AddSample(const std::vector<TShadowQuad>& quads, const TToujiMesh& mesh) {
    AddSamples(1, mesh, [&](int, std::vector<TShadowQuad>& out) { out = quads; });
}

void ToujiGrid::AddSamples(int count, const TToujiMesh& mesh, const ToujiQuadMaker& make,
                           const RunContext* stop) {
    ZUKA_ASSERT(mesh.n == n_, "mesh and grid sizes differ");
    if (count <= 0) return;
    maximaStale_ = true;
    // Even a stopped batch leaves span ends in the counters.
    pendingEnds_ = true;
    counter_->AddSamples(cells_.data(), n_, threads_, count, mesh, make, stop);
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
    counter_->Flush(cells_.data(), n_);
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

}  // namespace zuka

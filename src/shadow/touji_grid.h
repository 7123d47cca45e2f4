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
#include <functional>
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

// Makes the shadow pieces of sample k of a batch into `quads` (cleared first). Called from
// several threads at once, each with its own `quads`.
using ToujiQuadMaker = std::function<void(int k, std::vector<TShadowQuad>& quads)>;

// The counters. Wide enough for any period: 32 bits hold 136 years of one-second samples.
class ToujiGrid {
public:
    using Counter = std::uint32_t;

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
    // One edge of a shadow piece in cell coordinates, for stepping it row by row with the very
    // arithmetic of QuadCellSpans.
    struct TCellEdge {
        double col = 0;    // column of the edge's first corner
        double row = 0;    // row of the edge's first corner
        double slope = 0;  // columns per row
        int rMin = 0;      // rows the edge spans, clamped to [-1, N]; when equal, the edge lies
        int rMax = 0;      // along one row and adds the columns colLo .. colHi there
        int colLo = 0;     // clamped to [-1, N]
        int colHi = 0;
    };
    // A shadow piece in cells: its edges in painting order (edge i starts at corner i) and the
    // raster rows it covers.
    struct TCellQuad {
        std::array<TCellEdge, 4> edges;
        int rTop = 0;
        int rBottom = 0;
        // The piece's edge ed-ed' is the next piece's edge st'-st, run the other way: the two
        // walls meet at a corner of their building.
        bool linked = false;
    };
    // Pieces that follow one another, each linked to the next; closed when the last one is
    // linked to the first (the walls go round a building).
    struct TChain {
        std::uint32_t first = 0;
        std::uint32_t count = 0;
        bool closed = false;
        int rTop = 0;
        int rBottom = 0;
        // The rows every link of the chain runs through (none when bandTop > bandBottom),
        // and the edges that can give the chain's leftmost or rightmost cell there:
        // bandEdges[bandFirst .. bandFirst + bandCount) of the sample.
        int bandTop = 1;
        int bandBottom = 0;
        std::uint32_t bandFirst = 0;
        std::uint32_t bandCount = 0;
    };
    // One sample's pieces in cells, in chains, and the chains by first row.
    struct TSampleCells {
        std::vector<TCellQuad> quads;
        std::vector<TChain> chains;
        std::vector<std::int64_t> byTop;  // rTop << 32 | chain index, ascending
        std::vector<const TCellEdge*> bandEdges;
        // Per chain, a number that changes exactly when the chain's cells change from one
        // sample to the next (its pieces' corners in cells); per block of rows, whether any
        // chain over it then or the sample before changed (a clean block counts exactly as the
        // sample before did).
        std::vector<std::uint32_t> version;
        std::vector<char> dirty;
    };
    // Where the counting of one sample stands: the next chain by first row, and the chains
    // that reach the rows still to be counted.
    struct TScan {
        std::size_t next = 0;
        std::vector<const TChain*> active;
    };
    struct TSpan {
        int lo = 0;
        int hi = 0;
    };
    // What a block of rows keeps from one sample to the next: each chain's groups there (their
    // spans in the rows where they have cells, clipped to the raster, and their first cells)
    // and the version of the chain they were found for; the counter changes of the last
    // sample counted (already added) when they were kept, and how many samples since have
    // counted alike, not yet added.
    struct TMemoCells {
        std::int16_t lo = 0;
        std::int16_t hi = -1;
    };
    struct TMemoGroup {
        std::uint32_t at = 0;  // its first row's cells
        std::uint8_t j0 = 0;   // the first and number of rows with cells
        std::uint8_t rows = 0;
        int key = 0;  // its first cell
    };
    struct TBlockMemo {
        std::vector<std::uint32_t> version;  // per chain; kNoVersion when none
        std::vector<std::uint32_t> first;    // per chain, its first group
        std::vector<std::uint32_t> count;
        std::vector<TMemoGroup> groups;
        std::vector<TMemoCells> cells;
        std::size_t live = 0;                                         // groups still referred to
        std::vector<std::pair<std::uint32_t, std::int32_t>> changes;  // counter index, delta
        std::uint32_t pending = 0;
        bool counted = false;
        bool recorded = false;
    };
    static constexpr std::uint32_t kNoVersion = 0xFFFFFFFFu;
    // An edge within a block of rows: the rows it is used in, its columns at the two ends of
    // that part, and whether it runs through every row of the block.
    struct TEdgeBound {
        const TCellEdge* edge = nullptr;
        int r0 = 0;
        int r1 = 0;
        double yTop = 0;  // the ends of the edge's part of the block
        double yBottom = 0;
        double xTop = 0;  // its columns there
        double xBottom = 0;
        int cTop = 0;  // and cells
        int cBottom = 0;
        bool through = false;
        double xMiddle = 0;  // for an edge through the block, its column at the block's middle
    };
    // What each thread works with, kept between samples.
    struct TWorker {
        std::vector<TShadowQuad> quads;
        // Shadow pieces starting (+) and ending (-) per row, then the pieces over each row.
        std::vector<std::int64_t> rowLoad;
        // Where the counting of each sample of the batch stands.
        std::vector<TScan> scans;
        // The groups of a block (into its memo) and their chains' places among the active
        // ones; the groups in the order of their first cells.
        std::vector<std::uint32_t> groups;
        std::vector<std::uint32_t> groupChain;
        std::vector<std::uint32_t> order;
        // Per active chain, the first cell of its groups; the chains going on to the next
        // block and theirs; per piece of a chain, whether its link runs through the block.
        std::vector<int> chainKey;
        std::vector<const TChain*> kept;
        std::vector<int> keptKeys;
        std::vector<char> linkThrough;
        // One group's span in each row of the block.
        std::vector<int> groupLo;
        std::vector<int> groupHi;
        // The edges of one group, and the same within the block; one edge's columns at the
        // block's row boundaries.
        std::vector<const TCellEdge*> edges;
        std::vector<TEdgeBound> bounds;
        std::vector<int> edgeCols;
        // One row's spans, for sorting; the runs of shaded cells of each row of a block.
        std::vector<TSpan> rowSpans;
        std::vector<TSpan> rowRuns;
        // The rows of a block as bits, a cell a bit, all clear between blocks.
        std::vector<std::uint64_t> bits;
        // Spare lists for a block's groups and their cells.
        std::vector<TMemoGroup> groupsKept;
        std::vector<TMemoCells> cellsKept;
    };

    std::size_t Index(int c, int r) const {
        return static_cast<std::size_t>(r) * static_cast<std::size_t>(n_) +
               static_cast<std::size_t>(c);
    }
    static int DefaultThreads();
    void MakeCells(const std::vector<TShadowQuad>& quads, const TToujiMesh& mesh,
                   TSampleCells& out) const;
    // Sets the band of a chain of two pieces or more and gathers its edges there.
    static void FindBand(TSampleCells& out, TChain& chain, int n);
    // Counts the sample's spans in block `block` (rows [rowBegin, rowEnd), at most kBlockRows
    // of them), going on from where `scan` stands (a fresh scan starts at rowBegin).
    void CountBlock(const TSampleCells& sample, int block, int rowBegin, int rowEnd, TScan& scan,
                    TWorker& w);
    // A chain's groups of linked pieces in the rows of a block, appended to the block's memo.
    void ChainGroups(const TSampleCells& sample, const TChain& c, int rowBegin, int rowEnd,
                     TWorker& w, TBlockMemo& m);
    // Counts the block from its active chains' groups (found again where a chain changed),
    // keeping the counter changes when `record`.
    void CountChains(const TSampleCells& sample, int rowBegin, int rowEnd,
                     std::vector<const TChain*>& active, TWorker& w, TBlockMemo& m, bool record);
    // The two ways CountChains takes the union of the groups w.groups of the block in each row
    // and marks its runs, keeping the counter changes when `record`: merging the rows' spans
    // in column order, or setting their cells in rows of bits.
    void CountByMerging(int rowBegin, int rowEnd, TWorker& w, TBlockMemo& m, bool record);
    void CountByBits(int rowBegin, int rowEnd, TWorker& w, TBlockMemo& m, bool record);
    // Numbers the chains of the batch's samples 0 .. count - 1 (following on from the sample
    // counted last) and marks their blocks that changed.
    void NumberChains(int count);
    // Adds the counter changes a block has kept for samples not yet added.
    void Flush(TBlockMemo& m);
    // The union of the spans of a group of pieces in each row of the block, into los, his,
    // from the group's edges (or those of them that can give its leftmost or rightmost cell
    // in the block's rows): the pieces are linked and every link runs through the block, or
    // there is one piece.
    void GroupSpans(const TCellEdge* const* edges, std::size_t count, int rowBegin, int rowEnd,
                    TWorker& w, int* los, int* his);
    // True when an edge e, whose part runs from column xTop at row position yTop to xBottom at
    // yBottom, keeps more than |f's slope| / 2 columns (and a margin for rounding) right of
    // edge f (side +1), or left of it (side -1), f running through those rows: in every row
    // there, e's leftmost cell then lies at or right of f's leftmost one (or its rightmost at
    // or left of f's rightmost), and e never gives a group holding f its leftmost (rightmost)
    // cell.
    static bool KeepsApart(double yTop, double xTop, double yBottom, double xBottom,
                           const TCellEdge& f, double side);
    void GrowWorkers();

    int n_ = 0;
    int threads_ = DefaultThreads();
    std::vector<Counter> cells_;
    // While samples are added by spans, the counters of each row hold +1 where a merged span
    // starts and -1 (modulo 2^32) just after it ends, until FinishSamples sums them.
    bool pendingEnds_ = false;
    // Scratch reused by every sample: a batch's pieces in cells, per-thread work space, the
    // spans and the mask of the plain method.
    std::vector<TSampleCells> batch_;
    std::vector<TWorker> workers_;
    std::vector<int> bandRows_;  // first row of each thread's band, then N
    // Per block of kBlockRows rows; the last sample counted, and the next chain version.
    std::vector<TBlockMemo> memo_;
    TSampleCells last_;
    bool hasLast_ = false;
    std::uint32_t nextVersion_ = 0;
    std::vector<TCellSpan> spans_;
    std::vector<std::uint8_t> mask_;
    // The chunks' largest counters, and whether they must be found again.
    mutable std::vector<Counter> maxima_;
    mutable bool maximaStale_ = true;
};

// The outline tracing of one hour over the counters.
struct TContourResult {
    std::vector<std::vector<TAcadPoint>> outlines;  // drawing points, in extraction order
    bool reachedEdge = false;                       // a region touched the mesh edge
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

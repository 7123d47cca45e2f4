// The span counter behind ToujiGrid: adds the samples of an equal-time run to the counters by
// the ends of each row's shaded runs, the samples of a batch spread over threads by bands of
// rows, and what a block of rows counted kept from one sample to the next. Its work space is
// kept between samples and runs. Used only by ToujiGrid.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/run_context.h"
#include "shadow/touji_grid.h"

namespace zuka {

class ToujiSpanCounter {
public:
    using Counter = ToujiGrid::Counter;

    // Forgets what the blocks kept (a fresh run on a grid of n x n).
    void Reset(int n);
    // Adds samples 0 .. count - 1 of a batch to the counters `grid` (n x n, row by row) as span
    // ends, on `threads` threads (see ToujiGrid::AddSamples).
    void AddSamples(Counter* grid, int n, int threads, int count, const TToujiMesh& mesh,
                    const ToujiQuadMaker& make, const RunContext* stop);
    // Adds the counter changes the blocks still keep, and forgets the last sample.
    void Flush(Counter* cells, int n);
    // See ToujiGrid::SamplesPerBatch.
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
    void Bind(Counter* cells, int n, int threads);

    // The grid being counted into, for the length of one call.
    Counter* cells_ = nullptr;
    int n_ = 0;
    int threads_ = 1;
    // Scratch reused by every sample: a batch's pieces in cells, per-thread work space.
    std::vector<TSampleCells> batch_;
    std::vector<TWorker> workers_;
    std::vector<int> bandRows_;  // first row of each thread's band, then N
    // Per block of kBlockRows rows; the last sample counted, and the next chain version.
    std::vector<TBlockMemo> memo_;
    TSampleCells last_;
    bool hasLast_ = false;
    std::uint32_t nextVersion_ = 0;
};

}  // namespace zuka

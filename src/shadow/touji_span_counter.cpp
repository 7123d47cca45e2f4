#include "shadow/touji_span_counter.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/assert.h"
#include "base/thread_runner.h"
#include "geom/primitives.h"
#include "shadow/touji_kernels.h"

namespace zuka {

using namespace touji;

namespace {

// Rows of every sample of a batch counted before the next rows are taken up.
constexpr int kBlockRows = 32;
constexpr std::size_t kBlockSize = kBlockRows;
constexpr int kBlockSamples = 64;
// Spans a row of a block holds on average above which the block's union is taken in bits.
constexpr std::size_t kManySpansPerRow = 24;

}  // namespace

void ToujiSpanCounter::Bind(Counter* cells, int n, int threads) {
    cells_ = cells;
    n_ = n;
    threads_ = threads;
    if (workers_.size() < static_cast<std::size_t>(threads_))
        workers_.resize(static_cast<std::size_t>(threads_));
}

void ToujiSpanCounter::Reset(int n) {
    memo_.assign(static_cast<std::size_t>((n + kBlockRows - 1) / kBlockRows), TBlockMemo{});
    hasLast_ = false;
}

int ToujiSpanCounter::SamplesPerBatch(std::size_t pieces) {
    // A piece in cells, with its share of the chains and of the edges that bound them.
    constexpr std::size_t kPieceBytes = 2 * sizeof(TCellQuad);
    constexpr std::size_t kBudget = sizeof(Counter) * 2000 * 2000 / 4;
    const std::size_t perSample = std::max<std::size_t>(pieces, 1) * kPieceBytes;
    return static_cast<int>(std::clamp<std::size_t>(kBudget / perSample, 4, 64));
}

void ToujiSpanCounter::Flush(Counter* cells, int n) {
    Bind(cells, n, threads_);
    for (TBlockMemo& m : memo_) {
        Flush(m);
        m = TBlockMemo{};
    }
    hasLast_ = false;
}

void ToujiSpanCounter::MakeCells(const std::vector<TShadowQuad>& quads, const TToujiMesh& mesh,
                                 TSampleCells& out) const {
    out.quads.clear();
    out.chains.clear();
    out.byTop.clear();
    out.bandEdges.clear();
    if (!(mesh.cell > 0) || mesh.n <= 0) return;
    // Corners and rows exactly as QuadCellSpans has them.
    for (const TShadowQuad& q : quads) {
        TQuadCorners k;
        if (!QuadCorners(q, mesh, k)) continue;
        const double* col = k.col;
        const double* row = k.row;
        TCellQuad c;
        c.rTop = k.rTop;
        c.rBottom = k.rBottom;
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

bool ToujiSpanCounter::KeepsApart(double yTop, double xTop, double yBottom, double xBottom,
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

void ToujiSpanCounter::FindBand(TSampleCells& out, TChain& chain, int n) {
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

void ToujiSpanCounter::GroupSpans(const TCellEdge* const* edges, std::size_t count, int rowBegin,
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

void ToujiSpanCounter::ChainGroups(const TSampleCells& sample, const TChain& c, int rowBegin,
                                   int rowEnd, TWorker& w, TBlockMemo& m) {
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

void ToujiSpanCounter::CountBlock(const TSampleCells& sample, int block, int rowBegin, int rowEnd,
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

void ToujiSpanCounter::CountChains(const TSampleCells& sample, int rowBegin, int rowEnd,
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

void ToujiSpanCounter::CountByMerging(int rowBegin, int rowEnd, TWorker& w, TBlockMemo& m,
                                      bool record) {
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

void ToujiSpanCounter::CountByBits(int rowBegin, int rowEnd, TWorker& w, TBlockMemo& m,
                                   bool record) {
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

void ToujiSpanCounter::Flush(TBlockMemo& m) {
    if (m.pending == 0) return;
    const Counter times = m.pending;
    for (const auto& [at, delta] : m.changes) cells_[at] += times * static_cast<Counter>(delta);
    m.pending = 0;
}

void ToujiSpanCounter::NumberChains(int count) {
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

void ToujiSpanCounter::AddSamples(Counter* grid, int n, int threads, int count,
                                  const TToujiMesh& mesh, const ToujiQuadMaker& make,
                                  const RunContext* stop) {
    Bind(grid, n, threads);
    const auto stopped = [stop] { return stop && stop->StopRequested(); };
    if (count <= 0) return;
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
    if (stopped()) return;
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
}

}  // namespace zuka

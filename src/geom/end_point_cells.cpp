#include "geom/end_point_cells.h"

#include <algorithm>
#include <cmath>

namespace zuka {

// Ascending; by insertion for the few indices a query usually finds.
void SortSmall(std::vector<std::uint32_t>& v) {
    if (v.size() > 24) {
        std::sort(v.begin(), v.end());
        return;
    }
    for (std::size_t i = 1; i < v.size(); ++i) {
        const std::uint32_t x = v[i];
        std::size_t j = i;
        for (; j > 0 && v[j - 1] > x; --j) v[j] = v[j - 1];
        v[j] = x;
    }
}

EndPointCells::EndPointCells(const std::vector<TLineEnt>& segs) {
    const std::size_t n = segs.size();
    std::size_t cap = 16;
    while (cap < 4 * n) cap *= 2;
    mask_ = cap - 1;
    slots_.assign(cap, TSlot{});
    // Cells in order of first use; their end points listed by segment, ascending.
    std::vector<std::uint32_t> cellOf(2 * n);
    for (std::size_t e = 0; e < 2 * n; ++e) {
        const TLineEnt& s = segs[e / 2];
        const TAcadPoint& p = e % 2 == 0 ? s.st : s.ed;
        cellOf[e] = Insert(CellOf(p.x), CellOf(p.y));
    }
    start_.assign(cells_ + 1, 0);
    for (std::uint32_t c : cellOf) ++start_[c + 1];
    for (std::size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
    items_.resize(2 * n);
    std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
    for (std::size_t e = 0; e < 2 * n; ++e)
        items_[fill[cellOf[e]]++] = static_cast<std::uint32_t>(e / 2);
}

void EndPointCells::Near(TAcadPoint p, std::vector<std::uint32_t>& out) const {
    out.clear();
    const std::int64_t x0 = CellOf(p.x - kReach);
    const std::int64_t x1 = CellOf(p.x + kReach);
    const std::int64_t y0 = CellOf(p.y - kReach);
    const std::int64_t y1 = CellOf(p.y + kReach);
    for (std::int64_t x = x0; x <= x1; ++x) {
        for (std::int64_t y = y0; y <= y1; ++y) {
            const std::uint32_t c = Find(x, y);
            if (c == kNone) continue;
            out.insert(out.end(), items_.begin() + start_[c], items_.begin() + start_[c + 1]);
        }
    }
    if (out.size() > 1) {
        SortSmall(out);
        out.erase(std::unique(out.begin(), out.end()), out.end());
    }
}

std::int64_t EndPointCells::CellOf(double v) {
    const double c = std::floor(v / kCell);
    if (!(c > -4e18)) return -4000000000000000000;
    if (c > 4e18) return 4000000000000000000;
    return static_cast<std::int64_t>(c);
}

std::size_t EndPointCells::Slot(std::int64_t x, std::int64_t y) const {
    std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<std::uint64_t>(y) + 0x7F4A7C159E3779B9ull + (h << 6) + (h >> 2);
    h ^= h >> 29;
    return static_cast<std::size_t>(h) & mask_;
}

std::uint32_t EndPointCells::Insert(std::int64_t x, std::int64_t y) {
    for (std::size_t s = Slot(x, y);; s = (s + 1) & mask_) {
        TSlot& slot = slots_[s];
        if (slot.cell == kNone) {
            slot = {x, y, cells_};
            return cells_++;
        }
        if (slot.x == x && slot.y == y) return slot.cell;
    }
}

std::uint32_t EndPointCells::Find(std::int64_t x, std::int64_t y) const {
    for (std::size_t s = Slot(x, y);; s = (s + 1) & mask_) {
        const TSlot& slot = slots_[s];
        if (slot.cell == kNone) return kNone;
        if (slot.x == x && slot.y == y) return slot.cell;
    }
}

}  // namespace zuka

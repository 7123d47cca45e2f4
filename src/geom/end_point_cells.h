// End points of segments filed by cells a little wider than twice the coincidence tolerance:
// a point coincident with p (within 1e-5 in x and in y) lies in one of the at most 2 x 2 cells
// that the square p +- 1e-5 meets. The passes that look for segments sharing an end point use
// it to compare only the segments filed near that point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geom/primitives.h"
#include "geom/records.h"

namespace zuka {

// Ascending; by insertion for the few indices a query usually finds.
void SortSmall(std::vector<std::uint32_t>& v);

class EndPointCells {
public:
    // Files both plan end points of every segment (z is not looked at).
    explicit EndPointCells(const std::vector<TLineEnt>& segs);

    // The segments with an end filed near p in plan, ascending, each once: every segment with
    // an end within the coincidence tolerance of p in x and in y is among them.
    void Near(TAcadPoint p, std::vector<std::uint32_t>& out) const;

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    static constexpr double kReach = 1.01 * kSamePointTol;
    static constexpr double kCell = 2.5 * kSamePointTol;
    // Far coordinates share the outermost cells: more candidates, never fewer.
    static std::int64_t CellOf(double v);
    std::size_t Slot(std::int64_t x, std::int64_t y) const;
    std::uint32_t Insert(std::int64_t x, std::int64_t y);
    std::uint32_t Find(std::int64_t x, std::int64_t y) const;

    struct TSlot {
        std::int64_t x = 0;
        std::int64_t y = 0;
        std::uint32_t cell = kNone;
    };
    std::size_t mask_ = 0;
    std::vector<TSlot> slots_;
    std::uint32_t cells_ = 0;
    std::vector<std::uint32_t> start_;
    std::vector<std::uint32_t> items_;
};

}  // namespace zuka

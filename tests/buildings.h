// Buildings for the tests, as the acquisition leaves them: one wall per side, each wall's st
// and ed at its plan position with the height of its top as z.
#pragma once

#include <vector>

#include "geom/records.h"
#include "geom/workspace.h"

namespace zuka::testing_buildings {

// Walls joining the corners in order and back to the first, each end at its own height.
inline std::vector<TLineEnt> Prism(const std::vector<TAcadPoint>& corners) {
    std::vector<TLineEnt> walls(corners.size());
    for (std::size_t i = 0; i < corners.size(); ++i) {
        walls[i].st = corners[i];
        walls[i].ed = corners[(i + 1) % corners.size()];
        walls[i].code210 = {0, 0, 1};
    }
    return walls;
}

// The four walls of a box standing on the ground: plan corners (x0, y0)-(x1, y1), tops at h,
// counter-clockwise from (x0, y0).
inline std::vector<TLineEnt> Box(double x0, double y0, double x1, double y1, double h) {
    return Prism({{x0, y0, h}, {x1, y0, h}, {x1, y1, h}, {x0, y1, h}});
}

// A box of plan size w x d from (x, y), tops at height, added to the building model.
inline void AddBox(Workspace& ws, double x, double y, double w, double d, double height) {
    const std::vector<TLineEnt> walls = Box(x, y, x + w, y + d, height);
    ws.AryTatemono.insert(ws.AryTatemono.end(), walls.begin(), walls.end());
}

}  // namespace zuka::testing_buildings

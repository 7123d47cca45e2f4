// The regulation check of the equal-time shadows (日影規制): the ground that the buildings keep in
// shadow for H5 hours or more must lie within the line 5 m outside the site, and the ground
// shaded H10 hours or more within the 10 m line. The shaded ground is traced on the equal-time
// counter grid at the finest mesh; wherever its outline comes within two cells of its line (or
// crosses it), the outline's place is solved again from the exact shadow hours of points on rays
// across the line (the closed-form hours of the specific points), so that the verdict does not
// hang on the mesh.
//
// Clearances are plan distances in mm, positive where the shaded ground stays inside its line,
// negative (an excess) where it reaches beyond.
//
// Glossary: kisei regulation (日影規制), touji equal time, tatemono building.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/run_context.h"
#include "cad/dxf_text.h"
#include "geom/records.h"
#include "shadow/touji_grid.h"
#include "sky/kyoukaisen.h"
#include "solar/sun_model.h"

namespace zuka {

// One limit: the ground shaded `hours` or longer must lie within one of `lines` (closed
// polygons, counter-clockwise, the last vertex not repeating the first).
struct TKiseiLimit {
    double hours = 0;
    std::vector<std::vector<TAcadPoint>> lines;
};

struct TKiseiParams {
    double kaisi = 8;      // period start, hours
    double owari = 16;     // period end
    double takasa = 4000;  // measurement plane, mm
    int stepSeconds = 10;  // sampling step of the counter grid
    int meshSize = 2000;   // cells per side
};

// Where the outline of the shaded ground passes closest to its line (or farthest beyond it).
struct TKiseiSpot {
    TAcadPoint outline;    // on the outline of the shaded ground
    TAcadPoint line;       // the nearest point of the line
    double clearance = 0;  // mm, signed
    bool refined = false;  // solved from the exact hours rather than read off the mesh
};

struct TKiseiLimitResult {
    double hours = 0;
    bool holds = true;
    bool reachedEdge = false;  // the shaded ground reached the mesh edge: no verdict
    // The outlines of the shaded ground as the mesh traces them (not smoothed); none when no
    // ground is shaded that long.
    std::vector<std::vector<TAcadPoint>> outlines;
    std::optional<TKiseiSpot> tightest;  // the smallest clearance; the largest excess if negative
    int rays = 0;         // rays across the line on which the outline was solved exactly
    int exactPoints = 0;  // points whose exact shadow hours were computed
};

struct TKiseiResult {
    std::array<TKiseiLimitResult, 2> limits;  // in the order given
    double cell = 0;                          // mesh cell, mm
    int meshSize = 0;
    int samples = 0;              // instants counted
    std::vector<double> skipped;  // sample times without a sun position
    bool stopped = false;
    bool Holds() const;    // both limits hold (and had a verdict)
    bool Decided() const;  // neither limit reached the mesh edge, and the run was not stopped
};

// Checks both limits for the buildings `walls` (the building model: wall tops, mm).
TKiseiResult CheckKisei(const std::vector<TLineEnt>& walls, const SunModel& sun,
                        const std::array<TKiseiLimit, 2>& limits, const TKiseiParams& p,
                        ToujiGrid& grid, RunContext& run);

// The buildings of a model: walls joined end to end in plan (a building's walls meet at its
// corners), as lists of wall indices in the model's order.
std::vector<std::vector<std::size_t>> KiseiBuildings(const std::vector<TLineEnt>& walls);

// The model with one building's walls moved up (metres > 0) or down: every wall end above the
// ground gets `metres` more, and no less than 0; ends on the ground stay.
std::vector<TLineEnt> ShiftTatemono(const std::vector<TLineEnt>& walls,
                                    const std::vector<std::size_t>& building, double metres);

// How far one building can move before the verdict changes, to 0.1 m: for a model that holds,
// the largest raise (a multiple of 0.1 m, at most `maxRaiseM`) that still holds; for one that
// fails, the smallest lowering (a multiple of 0.1 m) that holds, at most as far as takes the
// building below the plane. Found by doubling, then bisection, on `holds` of the shifted model
// (monotone: a higher building shades at least as much).
struct TKiseiHeadroom {
    bool holdsNow = true;
    double metres = 0;    // raise (holdsNow) or lowering (!holdsNow)
    bool bounded = true;  // false: still holds raised by maxRaiseM, or still fails lowered
                          // under the plane
    int checks = 0;       // verdicts asked
};
TKiseiHeadroom KiseiHeadroom(const std::vector<TLineEnt>& walls,
                             const std::vector<std::size_t>& building, double takasa, bool holdsNow,
                             double maxRaiseM,
                             const std::function<bool(const std::vector<TLineEnt>&)>& holds);

// One building's headroom: its walls, where it stands, how high, and how far it may move.
struct TKiseiBuildingRoom {
    std::vector<std::size_t> walls;
    TAcadPoint centre;  // the middle of its plan extent
    double zmaxM = 0;
    TKiseiHeadroom room;
};

// The headroom of every building of the model (KiseiBuildings' order), each by KiseiHeadroom
// with the check of both limits, up to 100 m of raise; `holdsNow` is the model's own verdict.
// A stopped run ends the search at once and gives the buildings found so far.
std::vector<TKiseiBuildingRoom> KiseiHeadrooms(const std::vector<TLineEnt>& walls,
                                               const SunModel& sun,
                                               const std::array<TKiseiLimit, 2>& limits,
                                               const TKiseiParams& p, bool holdsNow,
                                               ToujiGrid& grid, RunContext& run);

// The check drawn: every site's 5 m (red) and 10 m (blue, dashed) deemed lines, the outlines
// of the ground shaded H5 and H10 hours or longer with their hours, and each limit's tightest
// spot (a circle on the outline, a line to the nearest point of its line, and its clearance
// or excess), on `layer`; symbol size h, texts `textHeight` high, labels toward true north
// kitaDeg.
void WriteKiseiDiagram(DxfList& dxf, const std::vector<std::array<TKyoukaiLine, 2>>& sites,
                       const TKiseiResult& result, double takasa, const std::string& layer,
                       double h, const std::string& textHeight, double kitaDeg);

}  // namespace zuka

// Building acquisition, the part that needs no CAD: the entities read from the user's
// selection (lines, polylines, arcs, circles, ellipses in the Workspace's entity lists) become
// straight 3D segments in AryLine. Curves become chords of a fixed angle step; thickness
// becomes a top edge and verticals, so that every segment is the top edge of a wall.
#pragma once

#include <stdexcept>
#include <string>

#include "geom/workspace.h"

namespace zuka {

// The angle step of every curve conversion, degrees.
inline constexpr double kCurveStepDeg = 10;

// The largest coordinate, height, radius or thickness an entity may have, mm (1,000 km). The
// diagrams multiply heights by shadow factors and the outline counts in fine cells: far beyond
// any site, such numbers overflow them.
inline constexpr double kMaxCoordinate = 1e9;
// The most chords one curve may become, and the largest angle or parameter it may have: a
// hundred turns. A drawing's curve sweeps one turn; beyond this the count, not the drawing,
// would decide how long the acquisition runs.
inline constexpr double kMaxCurveChords = 3600;
inline constexpr double kMaxCurveAngleDeg = 36000;

// An entity of the selection that cannot become walls: a number that is not finite, a point
// beyond kMaxCoordinate, or a curve beyond kMaxCurveAngleDeg or kMaxCurveChords. what() is the
// message for the user, naming the entity by its handle.
class EntityRefused : public std::runtime_error {
public:
    EntityRefused(const std::string& hand, const std::string& reason);
    const std::string& Hand() const { return hand_; }

private:
    std::string hand_;
};

// Whether each coordinate of p is a finite number within kMaxCoordinate.
bool IsSanePoint(const TAcadPoint& p);
// Throws EntityRefused naming `hand` unless IsSanePoint(p).
void CheckEntityPoint(const TAcadPoint& p, const std::string& hand);
// Throws EntityRefused naming `hand` unless v is a finite number (and, with `limit`, within it).
void CheckEntityNumber(double v, const std::string& hand, double limit = 0);

// Lines of AryLine with a thickness get their top edge and two verticals (along the normal);
// the line itself then has no thickness and the normal (0,0,1). Lines added here are not
// visited again.
void ExtrudeLines(Workspace& ws);
// Polylines (AryLwp with their vertices in AryLwpEle) -> straight segments in AryLine and one
// arc in AryArc per bulged side (a side whose arc lies within the point tolerance of it, its
// sagitta bulge * length / 2 below kSamePointTol, stays straight); a thickness adds top copies
// and verticals to the straight sides (arcs carry it to ArcToLines).
void LwpToLines(Workspace& ws);
// Every conversion throws EntityRefused for an entity whose chords or points would leave the
// bounds above; the lists are then partly converted and meant to be dropped.
//
// Arcs -> chords of `stepDeg` degrees, the last chord ending at the arc's end (zero length
// when the sweep is a multiple of the step).
void ArcToLines(Workspace& ws, double stepDeg);
// Circles -> a closed polygon with vertices at step, 2 step, ... (35 vertices for 10 degrees;
// none at 0 degrees).
void CircleToLines(Workspace& ws, double stepDeg);
// Ellipses and elliptical arcs -> chords of `stepDeg` degrees of the parameter.
void EllipseToLines(Workspace& ws, double stepDeg);

// A wall of the building model against a measurement plane at height h (mm). An end of the
// wall's top stands when it lies above the plane and above the ground (z > h and z > the point
// tolerance). A wall with no standing end, such as a site outline at height 0 or a low wall
// under the plane, is no building for that plane: it casts no shadow, has no footprint in the
// shadow diagrams and shows on no sky map.
bool WallEndStands(double z, double h);
bool WallStands(const TLineEnt& wall, double h);
// The walls that stand above the plane h, in model order.
std::vector<TLineEnt> WallsAbovePlane(const std::vector<TLineEnt>& walls, double h);

// The five conversions in their fixed order: polyline bulges become arcs that ArcToLines
// converts afterwards, and ExtrudeLines sees only the lines read from the selection.
void ConvertEntitiesToLines(Workspace& ws);

}  // namespace zuka

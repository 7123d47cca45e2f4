// Inside the drawing host: the geometry of entity values (see host_drawing.h for the
// coordinate systems): placing block contents, changing units, exploding, the outlines that
// window selection tests, the region a -BOUNDARY pick makes, and the curve sampling the entity
// objects share. Nothing outside cad/host/ includes this file.
#pragma once

#include <optional>
#include <vector>

#include "cad/host/host_drawing.h"
#include "geom/records.h"

namespace zuka {

// A similarity placement of block contents: p -> OcsToWcs(at + R(rotation) * scale * (p - base),
// normal), where at is in the object system of `normal`.
struct TPlacement {
    TAcadPoint base;
    double scale = 1;
    double rotation = 0;
    TAcadPoint at;
    TAcadPoint normal{0, 0, 1};
};

// Places one entity's values (scale > 0); false for an Other entity, which cannot be placed.
bool PlaceEntity(TEntityData& d, const TPlacement& placement);

// Every length of the entity times `factor` (> 0), about the origin: a change of drawing units.
// A block reference keeps its scale factors, since its block is scaled too.
void ScaleLengths(TEntityData& d, double factor);

// The parts of a block reference (placed; uniform positive scale only) or of a polyline
// (lines and arcs). Throws AutomationError for other kinds or a non-uniform scale.
std::vector<TEntityData> ExplodeData(const TEntityData& d, const HostDrawing& drawing);

// The entity's outline in world coordinates as polylines of points, for window selection.
// Curves are sampled; a text is its approximate box; a block reference is its contents.
std::vector<std::vector<TAcadPoint>> OutlineOf(const TEntityData& d, const HostDrawing& drawing);

// The region a -BOUNDARY pick makes: the smallest closed region around `pick` (plan) formed
// by the lines, circles, arcs and polyline sides (bulges included) of model space on layers
// that are on, as a closed lightweight polyline in world coordinates whose bulged sides follow
// the region's arcs exactly; none when no closed region holds the point. Islands inside the
// region are not cut out. The returned data has no layer or handle set.
std::optional<TEntityData> FindBoundary(const HostDrawing& drawing, TAcadPoint pick);

// World point <-> object point for a normal.
TAcadPoint WcsToOcs(TAcadPoint p, TAcadPoint normal);
TAcadPoint ToWcs(TAcadPoint p, TAcadPoint normal);

// Sweep of a counter-clockwise arc from start to end, in (0, 2*pi].
double Sweep(double start, double end);
// Samples of a sweep at the selection's curve step (5 degrees), at least 2, at most a turn's.
int Samples(double sweep);
// Points of an ellipse from parameter t0 to t1 in world coordinates.
std::vector<TAcadPoint> EllipsePoints(const TEntityData& d, double t0, double t1);
// The end parameter raised by whole turns above the start, in one step.
double EllipseEnd(const TEntityData& d);

}  // namespace zuka

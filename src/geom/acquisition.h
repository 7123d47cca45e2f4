// Building acquisition, the part that needs no CAD: the entities read from the user's
// selection (lines, polylines, arcs, circles, ellipses in the Workspace's entity lists) become
// straight 3D segments in AryLine. Curves become chords of a fixed angle step; thickness
// becomes a top edge and verticals, so that every segment is the top edge of a wall.
#pragma once

#include "geom/workspace.h"

namespace zuka {

// The angle step of every curve conversion, degrees.
inline constexpr double kCurveStepDeg = 10;

// Lines of AryLine with a thickness get their top edge and two verticals (along the normal);
// the line itself then has no thickness and the normal (0,0,1). Lines added here are not
// visited again.
void ExtrudeLines(Workspace& ws);
// Polylines (AryLwp with their vertices in AryLwpEle) -> straight segments in AryLine and one
// arc in AryArc per bulged side; a thickness adds top copies and verticals to the straight
// sides (arcs carry it to ArcToLines).
void LwpToLines(Workspace& ws);
// Arcs -> chords of `stepDeg` degrees, the last chord ending at the arc's end (zero length
// when the sweep is a multiple of the step).
void ArcToLines(Workspace& ws, double stepDeg);
// Circles -> a closed polygon with vertices at step, 2 step, ... (35 vertices for 10 degrees;
// none at 0 degrees).
void CircleToLines(Workspace& ws, double stepDeg);
// Ellipses and elliptical arcs -> chords of `stepDeg` degrees of the parameter.
void EllipseToLines(Workspace& ws, double stepDeg);

// The five conversions in their fixed order: polyline bulges become arcs that ArcToLines
// converts afterwards, and ExtrudeLines sees only the lines read from the selection.
void ConvertEntitiesToLines(Workspace& ws);

}  // namespace zuka

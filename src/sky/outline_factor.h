// The sky factor of a measurement point computed from the sky-map outline alone, without
// drawing: the buildings are projected orthographically (正射影) onto the map circle, the
// projection is traced into one outline, and three sky factors (天空率, percent of the circle
// not covered) are measured: by inscribed triangles (内接, the planned-building method), by the
// area of the outline polygon (AREA), and by circumscribed triangles (外接, the conforming-
// building method). Inscribed below AREA below circumscribed is the expected order.
//
// Glossary: tenku sky, tenkuzu sky map, ritu ratio, naisetu inscribed, gaisetu circumscribed,
// mentaka measurement plane height, hankei radius, kita north.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/run_context.h"
#include "geom/workspace.h"

namespace zuka {

// One measurement point and the values of the sky-map preset it is evaluated with.
struct TTenkuRituParams {
    TAcadPoint point;      // IDPOINT1: the measurement point in plan (z unused)
    double mentakaMm = 0;  // H: measurement plane height, mm (MENTAKA * 1000)
    double scale = 100;    // S, drawing units per paper mm (Edit19)
    double radius = 25;    // map radius, paper mm (Edit15 type A / Edit21 type B)
    double kitaDeg = 90;   // true north in the drawing, degrees (Edit12)
};

// MENTAKA as millimetres: the text's value in metres * 1000; a text that is no number counts
// as 0.
double MentakaToMm(std::string_view mentaka);

// The preset the recalculation uses for every point: type A (0) when its radius is larger,
// else type B (1), so the larger map is measured; equal radii give type B.
int TenkuRecalcType(double radiusA, double radiusB);

// Builds the sky-map outline of p into ws.AryLine from ws.AryTatemono, in the sky-map frame
// (origin at the measurement point, true north along +y, drawing units, z = 0): walls above the
// plane are projected at R*cos h (R = radius * scale), the feet on the plane close the figure
// along the rim by the shorter arc, and the outline pipeline traces the result. True when the
// trace closed; true with AryLine empty when no wall stands above the plane (the whole sky is
// open); false with 1 or 2 projected segments, and false (AryLine empty, *enclosed set when
// given) when the buildings stand around the point by half a turn or more, where the outline
// closed along the shorter way of the horizon would be wrong. Uses AryLine, AryLine2
// and AryTempPoint as scratch. `progress`, when given, shows the projection and the pipeline;
// when it asks to stop, the result is false with AryLine empty or half done.
bool GetTenkuLine(Workspace& ws, const TTenkuRituParams& p, RunContext* progress = nullptr,
                  bool* enclosed = nullptr);

// The CAD's measurement of a closed polygon through the given points (map frame, drawing
// units): its area in drawing units², or nothing when the CAD cannot measure it.
using TenkuAreaFn = std::function<std::optional<double>(const std::vector<TAcadPoint>&)>;

// The area enclosed by the closed polygon through pts (shoelace, either orientation).
double PolygonArea(const std::vector<TAcadPoint>& pts);

// Measures the outline left in ws.AryLine by GetTenkuLine. naisetu and gaisetu: sky factors in
// percent by inscribed and circumscribed triangles of at most 10° (heights above 0.1 and below
// the 10° arc; every joint turning by less than 178.2° inside the circle is a corner, one that
// turns back on itself too); areacmd: the sky factor from the polygon area measured by `cadArea`
// (called with the start points of the segments when the outline has 3 or more; none or no answer
// gives 100.000), rounded to 3 decimals. True only when both triangle sets are non-empty;
// the outputs are meant to be used only then. An empty outline (nothing above the plane) gives
// 100 for all three and true. Empties ws.AryLine.
bool GetTenkuRitu(Workspace& ws, const TTenkuRituParams& p, double& naisetu, double& gaisetu,
                  double& areacmd, const TenkuAreaFn& cadArea = {});

}  // namespace zuka

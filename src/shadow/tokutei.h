// Specific points (特定点): how long chosen points lie in the buildings' shadow on the measurement
// plane during the evaluation period, and when the shadow arrives and leaves.
//
// The shadow of an instant is the union of the buildings' footprints and every wall's shadow
// piece (the quad of its foot and the shadow of its top edge, as the time-of-day diagram draws
// it and the equal-time diagram paints it). A point lies in shadow when it lies inside that
// union or on its boundary (within kSamePointTol). Footprints are the outlines of the union of
// the walls' feet, so a building's courtyard counts as footprint, and a lone wall has none.
// An instant without a sun position (outside 7:30 to 16:30) or with the sun at or below the
// horizon has no shadow.
//
// Glossary: tokutei specific, jikan hours/time, kage shadow, kaisi/owari start/end of the
// period, takasa height.
#pragma once

#include <vector>

#include "base/run_context.h"
#include "geom/workspace.h"
#include "solar/sun_model.h"

namespace zuka {

// The shadow outline of one instant: the footprints and the walls' shadows at clock hour t on
// the plane at height h (mm) go into AryLine as the time-of-day diagram builds them, and every
// outline of their union replaces them there, one closed ring after the other. False for an
// empty model, an hour without a sun position, or a walk that did not close (AryLine then
// holds the outlines traced before it).
bool MakeShadowOutline(Workspace& ws, const SunModel& sun, double t, double h);

// The evaluation of a period at a fixed step: the instants kaisi + i * step for
// i = 0 .. n - 1, n the whole number of steps in the period.
struct TTokuteiStep {
    double kaisi = 8;         // period start, clock hours
    double owari = 16;        // period end
    double stepSeconds = 30;  // evaluation step
    double h = 0;             // measurement plane height, mm
};

int TokuteiStepCount(const TTokuteiStep& p);
double TokuteiTime(const TTokuteiStep& p, int i);

// One point's shadow over the instants evaluated.
struct TTokuteiRow {
    long long count = 0;  // instants in shadow
    // The instants at which the shadow arrived, left, arrived, ... (every change, in order,
    // the point being sunny before the first instant). A period that ends in shadow gets the
    // end of its last step as the last departure, unless the run was stopped.
    std::vector<double> changes;
};

struct TTokuteiResult {
    std::vector<TTokuteiRow> rows;  // one per point, in order
    int steps = 0;                  // n
    bool stopped = false;           // the run was stopped before the last instant
    std::vector<double> noSun;      // instants without a sun position (no shadow)
    std::vector<double> sunDown;    // instants with the sun at or below the horizon (no shadow)
};

// Samples every instant of the period (progress: position i before instant i; the run is asked
// to stop before each instant and then processes its messages) and tests every point against
// the whole shadow of that instant.
TTokuteiResult GetTokuteiJikan(const std::vector<TLineEnt>& walls, const SunModel& sun,
                               const std::vector<TAcadPoint>& points, const TTokuteiStep& p,
                               RunContext& run);

// A shaded interval, clock hours.
struct TShadowInterval {
    double in = 0;
    double out = 0;
};

// The shaded intervals of each point within [kaisi, owari] (clipped to the hours with a sun
// position above the horizon), solved in closed form rather than stepped: a point's state changes
// only where a shadow edge passes over it, and each edge's passage is the root of a linear form in
// the cosine and sine of the hour angle. Intervals are in order and apart. When `stop` asks to
// stop, the points not yet solved are left without intervals.
std::vector<std::vector<TShadowInterval>> GetTokuteiExact(const std::vector<TLineEnt>& walls,
                                                          const SunModel& sun,
                                                          const std::vector<TAcadPoint>& points,
                                                          double kaisi, double owari, double h,
                                                          const RunContext* stop = nullptr);

}  // namespace zuka

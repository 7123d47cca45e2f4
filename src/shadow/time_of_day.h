// The time-of-day shadow diagram (時刻日影図): for each clock time of the day, the outline of the
// shadow that the whole building model casts on the measurement plane, as closed polylines
// with a time label at the vertex farthest toward true north.
//
// Glossary: jikoku clock time, kage shadow, zuka diagram, kaisi/owari start/end, kankaku step,
// takasa height, houi azimuth.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/run_context.h"
#include "cad/dxf_text.h"
#include "geom/workspace.h"
#include "solar/sun_model.h"

namespace zuka {

// The shadow of a point p at height p.z on the plane at height h: reached from p's plan
// position by (p.z - h) * factor in direction dir; a point at or below the plane stays where
// it is. z is 0.
TAcadPoint ShadowPoint(TAcadPoint p, double dir, double factor, double h);

// Fills AryLine with the shadow pieces of one instant: first every standing wall's footprint,
// then per wall the shadow of its top edge and the two joins back to the footprint. A wall that
// does not stand above the plane (WallStands) adds nothing. Returns false (and leaves AryLine
// empty) when the run is stopped before a wall.
bool FillZukaShadowLines(Workspace& ws, double dir, double factor, double h, RunContext& run);

// What the diagram reads from the window, converted once when the command starts.
struct TZukaParams {
    double kaisi = 8;        // first time, hours (Edit2)
    double owari = 16;       // last time, hours (Edit7)
    double kankaku = 1;      // step, hours (Edit11); must be above 0
    double takasa = 4000;    // measurement plane height, mm (Edit4 * 1000)
    double kitaDeg = 90;     // true north in the drawing, degrees (Edit12)
    std::string layer;       // Edit27
    std::string textHeight;  // Edit38, written as typed
    bool timeOnly = true;    // CheckBox11: label with the time only
};

// One outline as drawn: its time, the sun's azimuth (radians) and its vertices.
struct TZukaOutline {
    double t = 0;
    double azimuth = 0;
    std::vector<TAcadPoint> vertices;
};

struct TZukaResult {
    int times = 0;                    // clock times drawn
    int outlines = 0;                 // polylines written
    std::vector<TZukaOutline> drawn;  // each polyline written, in order
    std::vector<double> skipped;      // times outside the sun model's range, not drawn
    bool stopped = false;             // the user stopped the run: nothing is to be inserted
};

// Messages of the diagram go to `message` (the window's message box with the application
// title). The DXF entities are appended to `dxf` (the caller starts and ends the file). The
// progress bar gets one step per time. The times are worked out on every core, each on its
// own copy of the lists (AryLine and AryLine2 of `ws` are left alone); `run` is asked only on
// the calling thread, which takes the outlines in the order of the times and stops within a
// fraction of a second of a stop request.
TZukaResult BuildZukaDiagram(Workspace& ws, const SunModel& sun, const TZukaParams& p, DxfList& dxf,
                             RunContext& run,
                             const std::function<void(const std::string&)>& message);

// The note naming the times left out because the sun model has no position for them.
std::string OutOfRangeNote(const std::vector<double>& times);

// The times of a run: kaisi, kaisi + step, ... while t <= owari, by repeated addition (so a
// step of 0.1 reaches 8.999999999999996 after ten steps from 8.0).
std::vector<double> ZukaTimes(double kaisi, double owari, double kankaku);

// The bounding box of the standing walls and their shadows at the whole hours kaisi,
// kaisi + 1, ... while <= owari (hours without a sun position add no shadow). Returns false
// (outputs untouched) when no wall stands above the plane h.
bool GetZukaHani(const Workspace& ws, const SunModel& sun, double kaisi, double owari, double h,
                 double& xmin, double& ymin, double& xmax, double& ymax);

}  // namespace zuka

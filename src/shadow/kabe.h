// Wall shadows (壁面): an elevation of one wall face with the shadows the buildings cast on it,
// the outline at each clock time of the time-of-day settings with its time label, and the
// outlines of the wall area kept in shadow for at least 8, 7, ... 1 hours.
//
// Wall coordinates: x is the distance along the wall from its start st towards its end ed, y
// the height above the ground, both in millimetres, the wall's start at the origin. The wall is
// oriented so that, walking from st to ed, the buildings lie on the right: seen from them, st is
// on the left. Laid along the wall line in plan, the elevation's height axis points away from
// the buildings.
//
// Glossary: kabe wall, kabesen the chosen wall line, waku frame, hani extent, touji equal time,
// jikoku clock time, kankaku step, takasa height, atumi thickness.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/run_context.h"
#include "cad/dxf_text.h"
#include "geom/workspace.h"
#include "shadow/equal_time.h"
#include "shadow/touji_grid.h"
#include "solar/sun_model.h"

namespace zuka {

// The wall height when neither end of the wall line has one.
inline constexpr double kKabeDefaultTakasa = 20000;

// The picked line made the wall of the command (KabeSen): its ends ordered by the building
// side, found from the first building segment whose start lies off the wall's line, and its
// heights completed: an end at height 0 takes gbzmax, and a thickness above an end's height
// replaces it. nullopt when there is no such building segment, or when the wall has no
// direction (its two ends coincide).
std::optional<TLineEnt> MakeKabeSen(const TLineEnt& picked, const std::vector<TLineEnt>& tatemono,
                                    double gbzmax);

// The wall length t and height u (the higher end, or kKabeDefaultTakasa when both are 0).
double KabeLength(const TLineEnt& kabe);
double KabeHeight(const TLineEnt& kabe);

// The shadow pieces that the buildings cast on the wall's vertical plane at one instant, in wall
// coordinates: for each building segment (b1, b2), the quad (x1, y1), (x2, y2),
// (x2, y2 - b2.z), (x1, y1 - b1.z), where the sun rays through the segment's top ends meet the
// plane at (x, y) and its foot lies b.z lower. Only what stands in front of the plane, on the
// side from which its shadow runs forward to the plane, casts a piece: a segment crossing the
// plane gives the part in front of it, a segment behind or in the plane nothing (the chosen
// wall itself, when it is part of the model, does not shade its own face); and at least one
// end's shadow must reach the plane (its shadow tip on the ground lies at or past it). dir is
// the drawing direction in which shadows fall, factor the shadow-length factor; a sun at or
// below the horizon (factor <= 0) casts nothing. `quads` is cleared first. Safe to call from
// several threads at once.
void MakeKabeShadowQuads(const std::vector<TLineEnt>& tatemono, const TLineEnt& kabe, double dir,
                         double factor, std::vector<TShadowQuad>& quads);

// The shadows on the wall at one instant into the outline pipeline: AryLine gets the edges of
// every shadow piece in wall coordinates (z 0), which are merged, split and cleaned into
// AryLine2, ready for the ring loop. False (AryLine empty) when no building shades the plane.
bool MakeKabeLine(Workspace& ws, const TLineEnt& kabe, double dir, double factor);

// The segments of a ring or outline clipped to the wall rectangle 0 <= x <= t, 0 <= y <= u (the
// top cut only when u > 0), in order: a segment whose ends coincide is dropped, then the cuts
// y < 0, y > u, x < 0, x > t each drop a segment lying wholly outside and move an end outside
// to the crossing with the edge (z 0).
std::vector<TLineEnt> ClipToKabe(const std::vector<TLineEnt>& segments, double t, double u);

// The clipped segments joined into chains while each starts where the previous one ended:
// each chain is its first segment's start and every segment's end.
std::vector<std::vector<TAcadPoint>> KabeChains(const std::vector<TLineEnt>& kept);

// What the wall command reads from the window, converted once when it starts.
struct TKabeParams {
    double kaisi = 8;    // first time and start of the evaluation period, hours (Edit2)
    double owari = 16;   // last time and end of the period, hours (Edit7)
    double kankaku = 1;  // time step, hours (Edit11); must be above 0
    bool onWall = true;  // CheckBox4: laid along the wall line; the height lines start at 1 m
    std::string wakuLayer = "ZUKA_HWAKU";                    // Edit30: frame
    std::string jikokuLayer = "ZUKA_HJIKOKU";                // Edit31: time-of-day shadows
    std::string toujiLayer = "ZUKA_HTOJI";                   // Edit29: equal-time shadows
    std::string textHeight = "300.0";                        // Edit38, written as typed
    double textTakasa = 300;                                 // Edit38 as a number: label offsets
    int hyoukaIdx = 1;                                       // RadioGroup6 item, -1 for none
    int smoothK = 4;                                         // UpDown5
    std::array<int, 4> meshSizes = {2000, 1600, 1200, 640};  // MeshSizeTable
    std::array<int, 4> hyoukaTimes = {10, 30, 60, 120};      // HyoukaTimeTable, seconds
};

struct TKabeLineResult {
    bool drawn = false;           // the frame was written (there are buildings)
    int times = 0;                // clock times with a shadow on the wall
    int chains = 0;               // polylines written
    std::vector<double> skipped;  // times without a sun position, not drawn
    bool stopped = false;         // the user stopped: nothing is to be inserted
};

// The frame of the elevation and the time-of-day shadows on the wall into `dxf` (the caller
// starts the file). The frame, on the frame layer in colour 251: a height line every metre
// (from 1 m laid along the wall, from the ground otherwise; odd metres dashed), a distance line
// every 5 m and the end line. Then for each time kaisi, kaisi + kankaku, ... <= owari, each
// shadow ring clipped to the wall as open polylines (dashed for times that are not whole
// hours), each with its time label. The run is asked to stop once per time, and the progress
// bar moves once per time.
TKabeLineResult DrawKabeLine(Workspace& ws, const SunModel& sun, const TLineEnt& kabe,
                             const TKabeParams& p, DxfList& dxf, RunContext& run);

// The wall's shadow extent: widens the box by both ends of every shadow piece on the wall at
// the whole hours kaisi, kaisi + 1, ... <= owari. False (box untouched) for an empty model.
bool GetKabeHani(const std::vector<TLineEnt>& tatemono, const SunModel& sun, const TLineEnt& kabe,
                 double kaisi, double owari, double& xmin, double& ymin, double& xmax,
                 double& ymax);

// Accumulation of the wall's shadows, by either counting method: zeroes the grid and adds
// every sample of the period (one instant's pieces are MakeKabeShadowQuads).
int AccumulateKabeTouji(const std::vector<TLineEnt>& tatemono, const SunModel& sun,
                        const TLineEnt& kabe, double kaisi, double owari, int stepSeconds,
                        const TToujiMesh& mesh, ToujiGrid& grid, RunContext& run,
                        ToujiCounting how = ToujiCounting::Spans,
                        std::vector<double>* skipped = nullptr);

// The coarse pre-pass that fixes the mesh extent in wall coordinates: the box of GetKabeHani
// around the wall origin, widened by 2.5 % on every side, 480 cells a side, 2-minute samples;
// the cells shaded for an hour, widened by ten cells. Inverted when no cell is.
TToujiExtent GetKabeToujiHani(const std::vector<TLineEnt>& tatemono, const SunModel& sun,
                              const TLineEnt& kabe, double kaisi, double owari, ToujiGrid& grid,
                              RunContext& run);

// The window's labels of the wall group and its message boxes.
struct TKabeToujiUi {
    std::function<void(const std::string&)> status;    // Label26: "時刻：", "時間：", ...
    std::function<void(const std::string&)> meshNote;  // Label24: the mesh size
    std::function<void(const std::string& title, const std::string& text)> message;
};

struct TKabeToujiResult {
    int chains = 0;               // polylines written
    double mesh = 0;              // cell size, mm
    int meshSize = 0;             // cells per side
    int samples = 0;              // instants accumulated
    std::vector<double> skipped;  // sample times without a sun position, not counted
    bool noMesh = false;          // no wall cell is shaded for an hour: the stage drew nothing
    bool stopped = false;         // the user stopped: nothing is to be inserted
};

// The equal-time outlines on the wall into `dxf`, after DrawKabeLine: the pre-pass, the
// accumulation at the step of the evaluation item (the last table entry when none is chosen),
// and for H = 8, 7, ... 1 the regions shaded at least H hours, traced, smoothed with
// coefficient smoothK, clipped to the wall and written as open polylines in colour H with a
// label "H.0Hr" along them. A region reaching the mesh edge is left out without a word. The
// run is asked to stop once per sample, per hour, per row of a start search and per walk
// step; it is never restarted here, so a stop seen earlier holds.
TKabeToujiResult DrawKabeTouji(const std::vector<TLineEnt>& tatemono, const SunModel& sun,
                               const TLineEnt& kabe, const TKabeParams& p, ToujiGrid& grid,
                               DxfList& dxf, RunContext& run, const TKabeToujiUi& ui);

}  // namespace zuka

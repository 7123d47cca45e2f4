// The equal-time shadow diagram (等時間日影図): closed outlines of the ground that the buildings
// keep in shadow for at least 1.5, 2.0, ... 8.0 hours of the evaluation period, found by
// sampling the day at a fixed step, counting per raster cell how many samples shaded it, and
// tracing the cells whose count reaches each chosen number of hours.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/run_context.h"
#include "cad/dxf_text.h"
#include "geom/workspace.h"
#include "shadow/touji_grid.h"
#include "solar/sun_model.h"

namespace zuka {

inline constexpr int kToujiItemCount = 14;  // "1.5Hr" ... "8.0Hr"

// What the diagram reads from the window, converted once when the command starts.
struct TToujiParams {
    double kaisi = 8;          // period start, hours (Edit2)
    double owari = 16;         // period end, hours (Edit7)
    double takasa = 4000;      // measurement plane height, mm (Edit4 * 1000)
    double kitaDeg = 90;       // true north, degrees (Edit12)
    int hyoukaIdx = 1;         // RadioGroup5 item, -1 for none
    bool tenth = false;        // CheckBox2: a tenth of the evaluation step
    std::array<bool, kToujiItemCount> hours{};  // CheckListBox1
    bool smoothing = true;     // CheckBox8
    int smoothK = 4;           // UpDown5
    std::string layer = "ZUKA_TOUJI";  // Edit28
    std::string textHeight = "300.0";  // Edit38, written as typed
    std::array<int, 4> meshSizes = {2000, 1600, 1200, 640};  // MeshSizeTable
    std::array<int, 4> hyoukaTimes = {10, 30, 60, 120};     // HyoukaTimeTable, seconds
};

// "1.5Hr" ... "8.0Hr" and its hours.
std::string ToujiCaption(int item);
// The CAD colour of an hour's outline and caption: yellow, green, cyan, blue, magenta in turn.
int ToujiColour(int item);
double ToujiHours(int item);

// Cells per side and evaluation step in seconds for the chosen evaluation item (the last
// table entry when none is chosen); the tenth option divides the step, at least 1 second.
int ToujiMeshSize(const TToujiParams& p);
int ToujiStepSeconds(const TToujiParams& p);

// The samples of the period: start + i * step for i = 1 .. M - 1 with M the whole number of
// steps in the period (the two ends are not sampled).
std::vector<double> ToujiSampleTimes(double kaisi, double owari, int stepSeconds);

// The count a cell needs to be shaded `hours` long: hours * 3600 / step samples, one less when
// the hours fill the whole period (whose two ends are not sampled).
double ToujiThreshold(double hours, double period, int stepSeconds);

// Times joined into ranges "H:MM:SS～H:MM:SS, ...": consecutive times closer than half an hour
// run together.
std::string TimeRanges(const std::vector<double>& times);

// The note naming the sample times left uncounted because the sun model has no position for
// them, joined into ranges.
std::string NoSunNote(const std::vector<double>& times);

// Time since `since` as hh:mm:ss, for the progress labels.
std::string ToujiElapsed(std::chrono::steady_clock::time_point since);

// The shadow pieces of one instant: for every wall that stands above the plane (WallStands),
// the quad of its foot and the shadow of its top edge, the same piece the time-of-day
// diagram draws (an end at or below the plane stays at its foot).
void MakeShadowQuads(const std::vector<TLineEnt>& walls, double dir, double factor, double h,
                     std::vector<TShadowQuad>& quads);

struct TToujiExtent {
    double txmin = 0;
    double tymin = 0;
    double txmax = 0;
    double tymax = 0;
};

// The coarse pre-pass that fixes the mesh extent: 480 cells a side, 2-minute samples, the box
// of the cells shaded at least as long as the shortest chosen hour, widened by ten cells.
TToujiExtent GetToujiHani(const Workspace& ws, const SunModel& sun, const TToujiParams& p,
                          ToujiGrid& grid, RunContext& run);

// The extent of the cells of the coarse mesh whose counters reach `threshold` (less 0.00001),
// widened by ten cells on three sides and eleven below. Inverted (txmax < txmin) when no cell
// reaches it.
TToujiExtent ReachedExtent(const ToujiGrid& grid, const TToujiMesh& coarse, double threshold);

// One outline as drawn: its CheckListBox1 item and its vertices.
struct TToujiOutline {
    int item = 0;
    std::vector<TAcadPoint> vertices;
};

struct TToujiResult {
    int outlines = 0;       // polylines written
    std::vector<TToujiOutline> drawn;  // each polyline written, in order
    double mesh = 0;        // cell size, drawing units
    int meshSize = 0;       // cells per side
    int samples = 0;        // instants accumulated
    std::vector<double> skipped;  // sample times without a sun position, not counted
    bool stopped = false;   // the user stopped: nothing is to be inserted
};

// Hooks to the window: progress texts for Label2 ("時刻：", "等時間：") and message boxes.
struct TToujiUi {
    std::string title;  // the application title, caption of the diagram's own message boxes
    std::function<void(const std::string&)> status;
    std::function<void(const std::string& title, const std::string& text)> message;
};

// The whole diagram: pre-pass, accumulation, contours hour by hour (longest first), writing
// each outline and its label, and the mesh text after the last hour, into `dxf` (the caller
// starts and ends the file and inserts it when outlines > 0 and not stopped).
TToujiResult BuildToujiDiagram(const Workspace& ws, const SunModel& sun, const TToujiParams& p,
                               ToujiGrid& grid, DxfList& dxf, RunContext& run,
                               const TToujiUi& ui);

// The run of the accumulation with the clock time of each sample on the progress label
// ("時刻：" + hh:mm): passes everything on to `outer`.
class ToujiSamplingRun : public RunContext {
public:
    ToujiSamplingRun(RunContext& outer, std::function<void(const std::string&)> status,
                     double kaisi, int stepSeconds)
        : outer_(outer), status_(std::move(status)), kaisi_(kaisi), step_(stepSeconds) {}
    bool StopRequested() const override { return outer_.StopRequested(); }
    void SetProgressMax(int max) override { outer_.SetProgressMax(max); }
    void SetProgressPosition(int pos) override;
    void ProcessMessages() override { outer_.ProcessMessages(); }

private:
    RunContext& outer_;
    std::function<void(const std::string&)> status_;
    double kaisi_;
    int step_;
};

// Makes the shadow pieces of one instant, given the drawing direction in which shadows fall
// and the shadow-length factor, into `quads` (cleared first). Called from several threads at
// once, each with its own `quads`.
using ToujiInstantQuads =
    std::function<void(double dir, double factor, std::vector<TShadowQuad>& quads)>;

// Accumulation alone, by either counting method: zeroes the grid and adds every sample of the
// period whose sun position is known (the others go to `skipped`), each instant's pieces made
// by `pieces`. Returns the number of samples added.
enum class ToujiCounting { Spans, Mask };
int AccumulateTouji(const SunModel& sun, double kaisi, double owari, int stepSeconds,
                    const ToujiInstantQuads& pieces, const TToujiMesh& mesh, ToujiGrid& grid,
                    RunContext& run, ToujiCounting how = ToujiCounting::Spans,
                    std::vector<double>* skipped = nullptr);
// The same for the shadows on the measurement plane at height h (MakeShadowQuads).
int AccumulateTouji(const Workspace& ws, const SunModel& sun, double kaisi, double owari,
                    int stepSeconds, double h, const TToujiMesh& mesh, ToujiGrid& grid,
                    RunContext& run, ToujiCounting how = ToujiCounting::Spans,
                    std::vector<double>* skipped = nullptr);

}  // namespace zuka

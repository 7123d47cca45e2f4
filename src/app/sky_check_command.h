// `zuka sky-check`: the sky-factor verdict on a drawing. Reads the site outline, the road
// boundaries and the planned building from the drawing, places the measurement points and the
// conforming building, compares the two buildings' sky factors at every point, prints the
// table, draws the points, the conforming building and the table into the drawing on their
// own layers and saves it; JSON and CSV of the table on request.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/batch_run.h"
#include "sky/sky_check.h"

namespace zuka {

// The layers the verdict draws on.
inline constexpr const char* kSkyCheckPointLayer = "ZUKA_天空率算定点";
inline constexpr const char* kSkyCheckConformLayer = "ZUKA_適合建築物";
inline constexpr const char* kSkyCheckTableLayer = "ZUKA_天空率判定表";

struct TSkyCheckOptions {
    std::string drawing;
    std::string site;                // --site EXPR
    std::vector<std::string> roads;  // --road W[,SETBACK]:EXPR
    std::string zone;                // --zone (empty: SkyCheck.zone)
    std::string far;                 // --far, percent (empty: SkyCheck.far)
    std::string kinds;               // --kinds road,adjacent,north
    std::string roadLevel;           // --road-level, metres: the site ground above the road centre
    std::string margin;              // --margin, percent
    std::string corners;             // --corners 垂直|沿線
    std::string json;                // --json FILE
    std::string csv;                 // --csv FILE
};

// What the verdict is given besides the drawing, as the user typed it: the command line's
// options, or the window's fields and the settings (SkyCheck.*), whose labels the messages then
// name.
struct TSkyCheckTexts {
    std::string zone;                // 用途地域: 1住, 商業, ...
    std::string far;                 // 容積率, percent
    std::string kinds;               // road,adjacent,north; empty: what the zone makes apply
    std::string roadLevel;           // metres: the site ground above the road centre
    std::string margin;              // 安全率, percent
    std::string corners;             // 端部の扱い: 垂直 or 沿線
    std::vector<std::string> roads;  // "W[,SETBACK][:EXPR]" each (the command line needs EXPR)
    bool fromSettings = false;
};

// The settings' texts (SkyCheck.*; the roads split at ";").
TSkyCheckTexts SkyCheckTextsOf(const Form& f);

// A road as given: its width and setback, and the expression that selects its boundary lines
// (empty: the user picks them, told which road).
struct TSkyRoadPick {
    double widthM = 0;
    double setbackM = 0;
    std::string expr;
    std::string text;  // as given, for the messages
};

// The inputs read: the rules' inputs without the drawing's geometry, and the roads to select.
struct TSkyCheckSetup {
    TSkyCheckInput input;
    std::vector<TSkyRoadPick> roads;
};

// Reads and checks the texts (and true north from the settings); nullopt, with a message
// naming the input on `err`, when one cannot be used.
std::optional<TSkyCheckSetup> ParseSkyCheck(const TSkyCheckTexts& t, const Form& f,
                                            std::ostream& err);

// The verdict on the session's drawing with the buildings acquired (the planned building):
// the site selected by `siteExpr` (empty: picked by the user after "敷地の線分、ポリラインを選択
// :"), each road's boundary lines likewise, the points, the conforming building and both sky
// factors at every point. nullopt, with the message on `err`, when the rules cannot place them.
// In `app`'s active drawing: with a session `d` the expressions select as the scripted user
// would; without one (the running CAD) by filter.
std::optional<TSkyCheckResult> RunSkyCheck(Controller& c, Application& app, DrawingSession* d,
                                           TSkyCheckSetup& p, const std::string& siteExpr,
                                           std::ostream& err);

// The verdict table as rows of cells, the headings first: per point its kind, row, number,
// position, height, both sky factors, the difference, the margin, 適合/不適合, 近接点, the exact
// values and the division used.
std::vector<std::vector<std::string>> SkyCheckTable(const TSkyCheckResult& r);
// The lines after the table (tab-separated): the choices taken, each conforming building, and
// the verdict with the count of points and of failures.
std::vector<std::string> SkyCheckSummary(const TSkyCheckResult& r);
// Draws the points, the conforming building and the table on their layers, and for each
// closest point the sky maps of both buildings with their tables; the lines naming the maps on
// `out`. False, with the message on `err`, when a map could not be drawn. Without a session
// `d` (the running CAD) the user places the maps.
bool DrawSkyCheck(Controller& c, Application& app, DrawingSession* d, const TSkyCheckResult& r,
                  const TSkyCheckInput& in, std::ostream& out, std::ostream& err);

// The verdict as the command line runs it, with the planned building from --buildings and the
// result drawing and its pictures as the run's shared options say: 0 when every point passes,
// 1 when one fails or the command could not do its job (message on err), 2 for bad usage (a
// message naming the input).
int BatchSkyCheck(BatchRun& run, const TSkyCheckOptions& o);

}  // namespace zuka

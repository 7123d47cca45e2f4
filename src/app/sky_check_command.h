// `zuka sky-check`: the sky-factor verdict on a drawing. Reads the site outline, the road
// boundaries and the planned building from the drawing, places the measurement points and the
// conforming building, compares the two buildings' sky factors at every point, prints the
// table, draws the points, the conforming building and the table into the drawing on their
// own layers and saves it; JSON and CSV of the table on request.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/batch_run.h"

namespace zuka {

// The layers the verdict draws on.
inline constexpr const char* kSkyCheckPointLayer = "ZUKA_天空率算定点";
inline constexpr const char* kSkyCheckConformLayer = "ZUKA_適合建築物";
inline constexpr const char* kSkyCheckTableLayer = "ZUKA_天空率判定表";

struct TSkyCheckOptions {
    std::string drawing;
    std::string site;                // --site EXPR
    std::vector<std::string> roads;  // --road W[,SETBACK]:EXPR
    std::string zone;                // --zone
    std::string far;                 // --far, percent
    std::string kinds;               // --kinds road,adjacent,north
    std::string roadLevel;           // --road-level, metres: the site ground above the road centre
    std::string margin;              // --margin, percent
    std::string corners;             // --corners 垂直|沿線
    std::string json;                // --json FILE
    std::string csv;                 // --csv FILE
};

// The verdict as the command line runs it, with the planned building from --buildings and the
// result drawing and its pictures as the run's shared options say: 0 when every point passes,
// 1 when one fails or the command could not do its job (message on err), 2 for bad usage (a
// message naming the input).
int BatchSkyCheck(BatchRun& run, const TSkyCheckOptions& o);

}  // namespace zuka

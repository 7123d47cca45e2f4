// The commands of a run without a window (batch_run.h), each from its own options to its
// summary: what it checks, which of the window's commands it runs with which picks answered,
// and what it prints. A front end registers them under its own names and options.
#pragma once

#include <string>
#include <vector>

#include "app/batch_run.h"

namespace zuka {

// The shadow-length ratio table (倍率表); with a drawing also drawn into it (倍率表作成).
struct TRatioTableRequest {
    std::string drawing;  // --draw: the drawing to place it in; empty: printed only
    std::string at;       // --at X,Y: its upper left corner
};
int BatchRatioTable(BatchRun& r, const TRatioTableRequest& q);

// The sun's position at a clock hour (the text as given: 7.5 to 16.5).
int BatchSun(BatchRun& r, const std::string& hourText);

// The outlines of the union of the segments of a file (x1 y1 x2 y2 per line).
int BatchOutline(BatchRun& r, const std::string& segmentFile);

// 取得: the building model of a drawing, what was taken and left, and a picture of it.
int BatchModel(BatchRun& r, const std::string& drawing);

// The time-of-day (時刻) and the equal-time (等時間日影) shadow diagrams into a drawing.
int BatchTimeOfDay(BatchRun& r, const std::string& drawing);
int BatchEqualTime(BatchRun& r, const std::string& drawing);

// The shadows on a wall's face (壁面/壁面等時間).
struct TWallRequest {
    std::string drawing;
    std::string wall;    // --wall handle=H
    std::string wallAt;  // --wall-at X,Y
    std::string place;   // --place X,Y
    bool block = false;  // --block
};
int BatchWalls(BatchRun& r, const TWallRequest& q);

// Sky factors of measurement points (再計算), or their sky maps (作図, 一括).
struct TSkyRequest {
    std::string drawing;
    std::string points;              // --points: selection expression of the point circles
    std::vector<std::string> point;  // --point X,Y[,NAME[,HEIGHT]]
    std::string csv;                 // --csv FILE
    std::string maps;                // --maps A|B
    int map = 0;                     // --map N (grid row)
    std::string type = "A";          // --type A|B
    std::string at;                  // --at X,Y
    bool fit = false;                // --fit: conforming building (適合) instead of planned
    bool mapGiven = false;           // --map was given (any number)
    bool typeGiven = false;          // --type was given
};
int BatchSky(BatchRun& r, const TSkyRequest& q);

// The 3D preview of the buildings as a picture; with `draw` also into the drawing (描画).
struct TPreviewRequest {
    std::string drawing;
    int turn = 315;  // --turn: degrees about the vertical axis
    int tilt = 60;   // --tilt: degrees toward the viewer
    bool noDrops = false;
    bool draw = false;  // --draw: into the drawing at --at
    std::string at;
};
int BatchPreview(BatchRun& r, const TPreviewRequest& q);

// Shadow hours of specific points (特定点, 再計算), or their table (作成).
struct TPointsRequest {
    std::string drawing;
    std::string points;              // --points: the circles and their number texts
    std::vector<std::string> point;  // --point X,Y[,NAME[,HEIGHT]]
    std::string csv;                 // --csv FILE
    bool exact = false;              // --exact: the intervals to the second
    bool draw = false;               // --draw: the table into the drawing, at --at
    std::string at;
};
int BatchPoints(BatchRun& r, const TPointsRequest& q);

// The deemed boundary lines of the sites that `site` selects (境界線作成).
int BatchBoundary(BatchRun& r, const std::string& drawing, const std::string& site);

// The regulation check: the equal-time shadows against the 5 m and 10 m deemed lines; exit 0
// when both limits hold, 1 when either fails.
struct TCheckRequest {
    std::string drawing;
    std::string site;    // --site EXPR
    std::string limits;  // --limits H5,H10
    std::string plane;   // --plane M
    bool headroom = false;
};
int BatchCheck(BatchRun& r, const TCheckRequest& q);

}  // namespace zuka

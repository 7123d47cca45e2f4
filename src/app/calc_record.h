// The calculation record: what produced a drawing. Every command that draws leaves, on a layer
// of its own, a small block of texts at the corner of what it drew with the inputs of the run:
// the program's version, the date and time, the place and day, the measurement plane, period
// and step, the buildings, the method and the drawing's file name, so that a reviewer can tell
// a current diagram from a stale one. The same inputs go into the results written as JSON.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "cad/automation.h"
#include "solar/sun_date.h"

namespace zuka {

class Controller;

// The program's version ("0.1.0").
std::string ProgramVersion();

// The commands that draw or compute.
enum class RunKind {
    TimeOfDay,   // 時刻
    EqualTime,   // 等時間日影
    Walls,       // 壁面/壁面等時間
    Points,      // 特定点 (再計算, 作成)
    Sky,         // 天空図, 再計算
    Boundary,    // 境界線作成
    RatioTable,  // 倍率表作成
    Preview,     // 3D 描画
    Check,       // the regulation check
};

// The command's name as the record shows it ("時刻日影図").
std::string RunKindName(RunKind kind);
// The command's name on the command line and in the JSON ("time-of-day").
std::string RunKindCommand(RunKind kind);

// The inputs of a run as the form holds them after the command has read them.
struct TRunInputs {
    RunKind kind = RunKind::TimeOfDay;
    std::string drawing;  // the drawing's file name
    // The place and the day, where they matter.
    bool sun = false;
    double latitudeDeg = 0;
    double kitaDeg = 0;
    int season = 0;                // RadioGroup1
    std::optional<TSunDate> date;  // a calendar day instead of the season
    double sekiiDeg = 0;
    std::optional<double> planeM;  // measurement plane
    std::optional<double> kaisi;   // the period, hours
    std::optional<double> owari;
    std::optional<double> stepHours;    // time-of-day step
    std::optional<double> stepSeconds;  // evaluation step
    std::optional<int> meshSize;        // cells per side
    std::optional<double> meshMm;       // cell size
    // The buildings, where they matter.
    bool buildings = false;
    int entities = 0;
    int walls = 0;
    double zminM = 0;
    double zmaxM = 0;
    std::string method;  // how it was computed, in the record's words
};

// Gathers the inputs of the run of `kind` from the controller (the form, the sun and the last
// results); `drawing` is the drawing's file name.
TRunInputs GatherRunInputs(const Controller& c, RunKind kind, const std::string& drawing);

// The record's lines: "計算記録 <command> Zuka <version> <yyyy-mm-dd hh:mm:ss>", the drawing,
// then what applies of place and day, plane and period, buildings and method.
std::vector<std::string> CalcRecordLines(const TRunInputs& in,
                                         std::chrono::system_clock::time_point at);

// Writes the lines as TEXTs of height h (width factor 0.8) on `layer` (made when missing),
// downward from just below the lower left corner of the plan extent of the model space's
// entities from index `first` on. Nothing when there are none. Automation errors pass on.
void WriteCalcRecord(Application& app, Document& doc, int first, const std::string& layer, double h,
                     const std::vector<std::string>& lines);

}  // namespace zuka

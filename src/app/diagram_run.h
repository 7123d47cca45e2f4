// Running a drawing command to its end as a front end does: the button's handler, its page's
// 中止, the text beside the progress bar, and what the user is told afterwards: what was drawn
// and inserted, or why nothing was. The sky maps of the grid's points, with the placement picks
// answered, are here too.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/controller.h"
#include "app/drawing_session.h"

namespace zuka {

// One drawing command of a page.
struct TDiagramCommand {
    std::function<void(Controller&)> run;                  // the command button's handler
    std::function<void(Controller&)> stop;                 // its page's 中止
    std::function<std::string(const Form&)> progressText;  // beside the progress bar
    std::string nothingDrawn;                              // when nothing was inserted
    // What was drawn, line by line: a label, a tab, and what it drew with the units.
    std::function<std::string(const Controller&)> summary;
};

// 時刻 (Button3, 中止 Button10): the time-of-day shadow diagram.
TDiagramCommand TimeOfDayCommand();
// 等時間日影 (Button6, 中止 Button7): the equal-time shadow diagram.
TDiagramCommand EqualTimeCommand();

// 壁面/壁面等時間 (Button5, 中止 Button7): the wall shadows on the wall line that the session's
// picks name (ScriptWallPicks).
TDiagramCommand WallCommand();

enum class DiagramEnd {
    Drawn,         // the diagram was inserted into the drawing (or placed there by the user)
    Stopped,       // 中止 was pressed; nothing was inserted
    NothingDrawn,  // the command ended without inserting anything (its message says why)
    Busy           // another command was running; this one did not start
};

class DiagramRun {
public:
    DiagramRun(Controller& c, TDiagramCommand cmd) : c_(c), cmd_(std::move(cmd)) {}

    // Runs the command's handler to its end, as the one running command (command_gate.h).
    DiagramEnd Run();
    // 中止: for the front end's message pump while Run is under way.
    void Stop();
    // The text beside the progress bar as the run stands.
    std::string ProgressText() const { return cmd_.progressText(c_.form); }
    // After Drawn: the command's summary lines, "所要時間\t<seconds> 秒\n" for the run and
    // "ブロック\t<block>\t<file>\n" for what was inserted.
    std::string Summary() const;
    const std::string& NothingDrawn() const { return cmd_.nothingDrawn; }

private:
    Controller& c_;
    TDiagramCommand cmd_;
    bool stopped_ = false;
    double seconds_ = 0;  // how long the last run took
};

// The wall line of the wall command, looked up in the session's drawing.
enum class WallLineEnd {
    Found,
    NoSuchEntity,  // no model-space entity has that handle
    NotALine,      // the entity is no LINE
    NoneNear       // no LINE lies within reach of the point
};
struct TWallLine {
    WallLineEnd end = WallLineEnd::NoSuchEntity;
    std::string handle;    // Found: the LINE's handle
    double distance = -1;  // by point: the plan distance to the nearest LINE, -1 when none
};
// The model-space entity of `handle` (any letter case), when it is a LINE.
TWallLine FindWallLine(DrawingSession& s, const std::string& handle);
// The model-space LINE nearest in plan to `at`, when it lies within `reach` drawing units (of
// equally near lines, the first in the drawing).
TWallLine FindWallLine(DrawingSession& s, TAcadPoint at, double reach);
// Answers the wall command's picks from the session's script: the wall line by its handle and,
// for an elevation placed by the user (CheckBox4 off), its insertion point.
void ScriptWallPicks(DrawingSession& s, const std::string& handle,
                     const std::optional<TAcadPoint>& place);

// "天空：<position>/<max>": the progress of the sky-factor runs.
std::string SkyProgressText(const Form& f);

// The sky maps of the measurement points in StringGrid1, with the CAD's placement picks
// answered from the session's script (without a session the user places them in the CAD and
// `at` is not used).
struct TSkyMapRequest {
    int typ = 0;       // preset: 0 type A, 1 type B
    bool fit = false;  // the conforming building (適合) instead of the planned one
    int row = 0;       // the grid row of the point (作図), or 0 for every filled row (一括)
    TAcadPoint at;     // the map's centre; in a batch the first map's
};

enum class SkyMapEnd { Drawn, NoSuchPoint, NothingDrawn };

// One map (作図) centred at `at`, its triangle-area table and position table to its right, or
// every row's map in a row along +X from `at` (一括). A building method is chosen first (the
// planned one when the form has none). Throws ConvertError for a scale or radius text that is
// no number, before anything is drawn; NoSuchPoint when `row` is past the grid's last point.
// The maps drawn are c.SkyMaps().
SkyMapEnd DrawSkyMapsAt(Controller& c, DrawingSession* s, const TSkyMapRequest& r);

// Two lines for each map of c.SkyMaps(): where it stands, its point and the sky factor it
// shows, named by its method; then the areas behind it (paper mm²) and the figure by the
// outline's area (AREA) beside it:
//   "天空図\t80000.000,40000.000\t測定点 1\t天空率 92.790 % (内接三角形, 計画建物)"
//   "面積\t円 1963.495 mm², 建物 141.234 mm² (図寸, 内接三角形); AREA: 建物 140.366 mm²,
//   天空率 92.851 %"
std::vector<std::string> SkyMapLines(const Controller& c);

}  // namespace zuka

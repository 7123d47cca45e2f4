// Specific points and measurement points without a window: the points a command names, taken
// as the window's capture takes them, and the exact shaded intervals of the specific points as
// a table (results_json.h writes them as JSON).
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/controller.h"
#include "app/drawing_session.h"

namespace zuka {

// A point given by its coordinates.
struct TListedPoint {
    double x = 0;
    double y = 0;
    std::string name;               // empty: the point takes its row number
    std::optional<double> heightM;  // its height, metres
};

// Takes the points into `grid` as the capture does: the circles and number texts that `select`
// picks (一括取得's selection, which `selectBy` arranges to be made by `select`, from the
// drawing session's script or by filter in a running CAD; none when empty), then the
// listed points after them, all through AryTempPoint and TempPointsToSG. A listed point
// without a height stands at the sky page's plane height (Tenku.Takasa) in the measurement
// grid, on the ground in the specific-point grid. Returns the number of rows with a point.
// Throws ConvertError when that plane height is no number.
int TakePoints(Controller& c, const std::function<void(const std::string&)>& selectBy,
               Controller::PointGrid grid, const std::string& select,
               const std::vector<TListedPoint>& listed);

// A clock hour (or a duration in hours) to the nearest second: "H:MM:SS".
std::string HoursToHms(double hours);

// The exact hours in shadow of a row: its intervals summed.
double TokuteiExactHours(const Controller::TTokuteiExactRow& r);

// The exact intervals as tab-separated lines: the heading, then per row its number, its name,
// the exact total, the exact total less the stepped one in whole seconds (signed), and every
// interval "in-out", separated by blanks.
std::vector<std::string> TokuteiExactLines(const Controller& c,
                                           const std::vector<Controller::TTokuteiExactRow>& rows);

}  // namespace zuka

#include "app/point_run.h"

#include <algorithm>
#include <cmath>

#include "app/settings_table.h"
#include "base/number.h"

namespace zuka {
namespace {

constexpr char kExactHeading[] = "番号\t測定点\t日影時間(秒単位)\t差(秒)\t日影区間(秒単位)";

long long Seconds(double hours) { return std::llround(hours * 3600); }

std::string Signed(long long v) { return (v > 0 ? "+" : "") + std::to_string(v); }

}  // namespace

double TokuteiExactHours(const Controller::TTokuteiExactRow& r) {
    double h = 0;
    for (const TShadowInterval& iv : r.intervals) h += iv.out - iv.in;
    return h;
}

int TakePoints(Controller& c, const std::function<void(const std::string&)>& selectBy,
               Controller::PointGrid grid, const std::string& select,
               const std::vector<TListedPoint>& listed) {
    const bool sky = grid == Controller::PointGrid::StringGrid1;
    const double planeM =
        sky && !listed.empty() ? StrToFloat(c.form.Edit17, SettingName("Tenku", "Takasa")) : 0;
    c.ws.AryTempPoint.clear();
    if (!select.empty()) {
        selectBy(select);
        c.SelectCirclePoints();
    }
    for (const TListedPoint& p : listed) {
        TTempPoint tp;
        tp.pt = {p.x, p.y, p.heightM.value_or(planeM) * 1000};
        tp.Name = p.name;
        c.ws.AryTempPoint.push_back(tp);
    }
    c.TempPointsToSG(grid);
    const TGridCells& g = sky ? c.form.StringGrid1 : c.form.StringGrid2;
    int rows = 0;
    for (int r = 1; r < static_cast<int>(g.size()); ++r) rows += GridRowHasPoint(g, r) ? 1 : 0;
    return rows;
}

std::string HoursToHms(double hours) {
    const long long s = Seconds(hours);
    return std::to_string(s / 3600) + ":" + FormatInt(s / 60 % 60, 2) + ":" + FormatInt(s % 60, 2);
}

std::vector<std::string> TokuteiExactLines(const Controller& c,
                                           const std::vector<Controller::TTokuteiExactRow>& rows) {
    std::vector<std::string> lines = {kExactHeading};
    const TGridCells& g = c.form.StringGrid2;
    for (const Controller::TTokuteiExactRow& r : rows) {
        const double exact = TokuteiExactHours(r);
        std::string line = GridCell(g, r.row, 0) + "\t" + GridCell(g, r.row, 3) + "\t" +
                           HoursToHms(exact) + "\t" +
                           Signed(Seconds(exact) - Seconds(r.steppedHours)) + "\t";
        for (std::size_t i = 0; i < r.intervals.size(); ++i) {
            if (i > 0) line += " ";
            line += HoursToHms(r.intervals[i].in) + "-" + HoursToHms(r.intervals[i].out);
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace zuka

#include "app/point_run.h"

#include <algorithm>
#include <cmath>

#include "base/file_io.h"
#include "base/number.h"

namespace zuka {
namespace {

constexpr char kExactHeading[] = "番号\t測定点\t日影時間(秒単位)\t差(秒)\t日影区間(秒単位)";

long long Seconds(double hours) { return std::llround(hours * 3600); }

std::string Signed(long long v) { return (v > 0 ? "+" : "") + std::to_string(v); }

std::string JsonString(const std::string& s) {
    std::string q = "\"";
    for (char ch : s) {
        const auto u = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            q += '\\';
            q += ch;
        } else if (u < 0x20) {
            static const char kHex[] = "0123456789abcdef";
            q += "\\u00";
            q += kHex[u >> 4];
            q += kHex[u & 15];
        } else {
            q += ch;
        }
    }
    return q + "\"";
}

// A cell that holds a number goes out as that number, anything else as a string.
std::string JsonNumberOrString(const std::string& cell) {
    return ParseDouble(cell) ? FormatGeneral(*ParseDouble(cell)) : JsonString(cell);
}

double ExactHours(const Controller::TTokuteiExactRow& r) {
    double h = 0;
    for (const TShadowInterval& iv : r.intervals) h += iv.out - iv.in;
    return h;
}

// The stepped interval that an exact one shows as: the stepped arrival is the first instant
// in shadow, up to one step after the exact one; the one overlapping most.
int MatchStepped(const std::vector<double>& changes, const TShadowInterval& iv, double step) {
    int best = -1;
    double bestOverlap = 0;
    for (std::size_t k = 0; k + 1 < changes.size(); k += 2) {
        const double overlap =
            std::min(iv.out, changes[k + 1]) - std::max(iv.in, changes[k] - step);
        if (overlap > bestOverlap) {
            bestOverlap = overlap;
            best = static_cast<int>(k);
        }
    }
    return best;
}

}  // namespace

int TakePoints(Controller& c, DrawingSession& s, Controller::PointGrid grid,
               const std::string& select, const std::vector<TListedPoint>& listed) {
    const bool sky = grid == Controller::PointGrid::StringGrid1;
    const double planeM =
        sky && !listed.empty() ? StrToFloat(c.form.Edit17, "測定面高さ, Tenku.Takasa") : 0;
    s.Connect(c);
    c.ws.AryTempPoint.clear();
    if (!select.empty()) {
        s.Picks().PushSelection(select);
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
        const double exact = ExactHours(r);
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

std::string TokuteiJson(const Controller& c,
                        const std::vector<Controller::TTokuteiExactRow>* exact) {
    const TGridCells& g = c.form.StringGrid2;
    const double step = c.TokuteiStepSeconds();
    std::string j = "{\n  \"plane_height_m\": " + JsonNumberOrString(c.form.Edit6) +
                    ",\n  \"step_seconds\": " + FormatGeneral(step) + ",\n  \"points\": [";
    bool first = true;
    for (int r = 1; r < static_cast<int>(g.size()); ++r) {
        if (!GridRowHasPoint(g, r)) continue;
        j += first ? "\n" : ",\n";
        first = false;
        j += "    {\"row\": " + std::to_string(r) + ", \"name\": " + JsonString(GridCell(g, r, 3)) +
             ", \"x\": " + JsonNumberOrString(GridCell(g, r, 1)) +
             ", \"y\": " + JsonNumberOrString(GridCell(g, r, 2)) +
             ",\n     \"total\": " + JsonString(GridCell(g, r, 4)) + ", \"times\": [";
        for (std::size_t k = 5; k <= 10; ++k)
            j += (k > 5 ? ", " : "") + JsonString(GridCell(g, r, k));
        j += "]";
        const Controller::TTokuteiExactRow* x = nullptr;
        if (exact) {
            for (const Controller::TTokuteiExactRow& e : *exact)
                if (e.row == r) x = &e;
        }
        if (x) {
            const double hours = ExactHours(*x);
            j += ",\n     \"exact\": {\"total\": " + JsonString(HoursToHms(hours)) +
                 ", \"difference_seconds\": " +
                 std::to_string(Seconds(hours) - Seconds(x->steppedHours)) + ", \"intervals\": [";
            for (std::size_t i = 0; i < x->intervals.size(); ++i) {
                const TShadowInterval& iv = x->intervals[i];
                j += (i > 0 ? ",\n" : "\n") + std::string("       {\"in\": ") +
                     JsonString(HoursToHms(iv.in)) + ", \"out\": " + JsonString(HoursToHms(iv.out));
                const int k = MatchStepped(x->steppedChanges, iv, step / 3600);
                if (k >= 0) {
                    const auto at = static_cast<std::size_t>(k);
                    const double in = x->steppedChanges[at];
                    const double out = x->steppedChanges[at + 1];
                    j += ", \"stepped\": [" + JsonString(JikokuToHmsCeil5(in)) + ", " +
                         JsonString(JikokuToHmsCeil5(out)) + "], \"difference_seconds\": [" +
                         std::to_string(Seconds(iv.in) - Seconds(in)) + ", " +
                         std::to_string(Seconds(iv.out) - Seconds(out)) + "]";
                }
                j += "}";
            }
            j += x->intervals.empty() ? "]}" : "\n     ]}";
        }
        j += "}";
    }
    j += first ? "]\n}\n" : "\n  ]\n}\n";
    return j;
}

bool SaveTokuteiJson(const std::filesystem::path& path, const Controller& c,
                     const std::vector<Controller::TTokuteiExactRow>* exact) {
    return WriteFileReplacing(path, TokuteiJson(c, exact));
}

}  // namespace zuka

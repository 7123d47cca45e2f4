#include "app/results_json.h"

#include <algorithm>
#include <cmath>

#include "app/point_run.h"
#include "app/settings_table.h"
#include "base/file_io.h"
#include "base/number.h"

namespace zuka {
namespace {

constexpr double kRadToDeg = 57.29577951308232;

JsonValue Hours(double h) { return JsonValue::Rounded(h, 6); }

JsonValue Outline(const std::vector<TAcadPoint>& v) {
    JsonValue a = JsonValue::Array();
    for (const TAcadPoint& p : v) a.Push(JsonValue::Point(p.x, p.y));
    return a;
}

JsonValue HourList(const std::vector<double>& hours) {
    JsonValue a = JsonValue::Array();
    for (double h : hours) a.Push(Hours(h));
    return a;
}

// A cell that holds a number goes out as that number, anything else as a string.
JsonValue NumberOrString(const std::string& cell) {
    const std::optional<double> v = ParseDouble(cell);
    return v ? JsonValue(*v) : JsonValue(cell);
}

JsonValue InputsJson(const TRunInputs& in, const std::optional<TClockShift>& clock) {
    JsonValue j = JsonValue::Object();
    if (in.sun) {
        JsonValue day = JsonValue::Object();
        day.Add("season", std::string(kRadioGroup1Items[static_cast<std::size_t>(
                              std::clamp(in.season, 0, kRadioGroup1Count - 1))]));
        day.Add("date", in.date ? JsonValue(SunDateText(*in.date)) : JsonValue());
        day.Add("declination_deg", JsonValue::Rounded(in.sekiiDeg, 6));
        j.Add("latitude_deg", JsonValue::Rounded(in.latitudeDeg, 8));
        j.Add("true_north_deg", JsonValue::Rounded(in.kitaDeg, 8));
        j.Add("day", std::move(day));
        JsonValue time = JsonValue::Object();
        time.Add("true_solar", !clock);
        if (clock) {
            time.Add("longitude_deg", clock->keidoDeg);
            time.Add("equation_of_time_min", clock->kinjisaMin);
        }
        j.Add("time", std::move(time));
    }
    if (in.planeM) j.Add("plane_height_m", JsonValue::Rounded(*in.planeM, 6));
    if (in.kaisi && in.owari) {
        j.Add("period", JsonValue::Object()
                            .Add("start_hour", Hours(*in.kaisi))
                            .Add("end_hour", Hours(*in.owari)));
    }
    if (in.stepHours) j.Add("step_hours", Hours(*in.stepHours));
    if (in.stepSeconds) j.Add("step_seconds", *in.stepSeconds);
    if (in.meshSize) j.Add("mesh_cells", *in.meshSize);
    if (in.meshMm) j.Add("mesh_mm", JsonValue::Rounded(*in.meshMm, 3));
    if (in.buildings) {
        j.Add("buildings", JsonValue::Object()
                               .Add("entities", in.entities)
                               .Add("walls", in.walls)
                               .Add("height_min_m", JsonValue::Rounded(in.zminM, 6))
                               .Add("height_max_m", JsonValue::Rounded(in.zmaxM, 6)));
    }
    j.Add("method", in.method);
    return j;
}

JsonValue TimeOfDayJson(const TZukaResult& r) {
    JsonValue times = JsonValue::Array();
    for (std::size_t i = 0; i < r.drawn.size();) {
        const double t = r.drawn[i].t;
        JsonValue outlines = JsonValue::Array();
        const double azimuth = r.drawn[i].azimuth;
        for (; i < r.drawn.size() && r.drawn[i].t == t; ++i)
            outlines.Push(Outline(r.drawn[i].vertices));
        times.Push(JsonValue::Object()
                       .Add("hour", Hours(t))
                       .Add("label", JikokuToHm(t))
                       .Add("azimuth_deg", JsonValue::Rounded(azimuth * kRadToDeg, 6))
                       .Add("outlines", std::move(outlines)));
    }
    return JsonValue::Object()
        .Add("times", std::move(times))
        .Add("skipped_hours", HourList(r.skipped));
}

JsonValue EqualTimeJson(const TToujiResult& r) {
    JsonValue hours = JsonValue::Array();
    for (std::size_t i = 0; i < r.drawn.size();) {
        const int item = r.drawn[i].item;
        JsonValue outlines = JsonValue::Array();
        for (; i < r.drawn.size() && r.drawn[i].item == item; ++i)
            outlines.Push(Outline(r.drawn[i].vertices));
        hours.Push(JsonValue::Object()
                       .Add("hours", ToujiHours(item))
                       .Add("caption", ToujiCaption(item))
                       .Add("outlines", std::move(outlines)));
    }
    return JsonValue::Object()
        .Add("mesh_cells", r.meshSize)
        .Add("mesh_mm", JsonValue::Rounded(r.mesh, 3))
        .Add("samples", r.samples)
        .Add("skipped_hours", HourList(r.skipped))
        .Add("hours", std::move(hours));
}

long long Seconds(double hours) { return std::llround(hours * 3600); }

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

JsonValue PointsJson(const Controller& c, const TResultsOptions& o) {
    const TGridCells& g = c.form.StringGrid2;
    const double step = c.TokuteiStepSeconds();
    // The stepped changes of every row, for the clock times.
    std::vector<Controller::TTokuteiExactRow> all;
    if (o.clock) all = o.exact ? *o.exact : c.TokuteiExact();
    JsonValue points = JsonValue::Array();
    for (int r = 1; r < static_cast<int>(g.size()); ++r) {
        if (!GridRowHasPoint(g, r)) continue;
        JsonValue p = JsonValue::Object();
        p.Add("row", r)
            .Add("name", GridCell(g, r, 3))
            .Add("x", NumberOrString(GridCell(g, r, 1)))
            .Add("y", NumberOrString(GridCell(g, r, 2)))
            .Add("total", GridCell(g, r, 4));
        JsonValue times = JsonValue::Array();
        for (std::size_t k = 5; k <= 10; ++k) times.Push(GridCell(g, r, k));
        p.Add("times", std::move(times));
        const Controller::TTokuteiExactRow* x = nullptr;
        for (const Controller::TTokuteiExactRow& e : o.exact ? *o.exact : all)
            if (e.row == r) x = &e;
        if (o.clock && x) {
            JsonValue clock = JsonValue::Array();
            for (std::size_t k = 0; k < 6; ++k) {
                clock.Push(k < x->steppedChanges.size()
                               ? JsonValue(JikokuToHmsCeil5(o.clock->Clock(x->steppedChanges[k])))
                               : JsonValue(""));
            }
            p.Add("clock_times", std::move(clock));
        }
        if (o.exact && x) {
            const double hours = TokuteiExactHours(*x);
            JsonValue intervals = JsonValue::Array();
            for (const TShadowInterval& iv : x->intervals) {
                JsonValue i = JsonValue::Object();
                i.Add("in", HoursToHms(iv.in)).Add("out", HoursToHms(iv.out));
                if (o.clock) {
                    i.Add("clock_in", HoursToHms(o.clock->Clock(iv.in)))
                        .Add("clock_out", HoursToHms(o.clock->Clock(iv.out)));
                }
                const int k = MatchStepped(x->steppedChanges, iv, step / 3600);
                if (k >= 0) {
                    const auto at = static_cast<std::size_t>(k);
                    const double in = x->steppedChanges[at];
                    const double out = x->steppedChanges[at + 1];
                    i.Add(
                        "stepped",
                        JsonValue::Array().Push(JikokuToHmsCeil5(in)).Push(JikokuToHmsCeil5(out)));
                    i.Add("difference_seconds",
                          JsonValue::Array()
                              .Push(static_cast<std::int64_t>(Seconds(iv.in) - Seconds(in)))
                              .Push(static_cast<std::int64_t>(Seconds(iv.out) - Seconds(out))));
                }
                intervals.Push(std::move(i));
            }
            p.Add("exact",
                  JsonValue::Object()
                      .Add("total", HoursToHms(hours))
                      .Add("difference_seconds",
                           static_cast<std::int64_t>(Seconds(hours) - Seconds(x->steppedHours)))
                      .Add("intervals", std::move(intervals)));
        }
        points.Push(std::move(p));
    }
    return points;
}

JsonValue SkyJson(const Controller& c) {
    const TGridCells& g = c.form.StringGrid1;
    const double a = ParseDouble(c.form.Edit15).value_or(0);
    const double b = ParseDouble(c.form.Edit21).value_or(0);
    JsonValue points = JsonValue::Array();
    for (int r = 1; r < static_cast<int>(g.size()); ++r) {
        if (!GridRowHasPoint(g, r)) continue;
        const auto factor = [&](std::size_t col) {
            const std::optional<double> v = ParseDouble(GridCell(g, r, col));
            return v ? JsonValue(*v) : JsonValue();
        };
        points.Push(JsonValue::Object()
                        .Add("row", r)
                        .Add("name", GridCell(g, r, 3))
                        .Add("x", NumberOrString(GridCell(g, r, 1)))
                        .Add("y", NumberOrString(GridCell(g, r, 2)))
                        .Add("plane_height_m", NumberOrString(GridCell(g, r, 4)))
                        .Add("inscribed", factor(5))
                        .Add("area", factor(6))
                        .Add("circumscribed", factor(7)));
    }
    return JsonValue::Object().Add("preset", a > b ? "A" : "B").Add("points", std::move(points));
}

JsonValue LineJson(const TKyoukaiLine& line, double d) {
    JsonValue v = JsonValue::Array();
    for (const TKyoukaiVertex& p : line.vertices) {
        v.Push(JsonValue::Array()
                   .Push(JsonValue::Rounded(p.x, 3))
                   .Push(JsonValue::Rounded(p.y, 3))
                   .Push(p.arc ? JsonValue::Rounded(p.bulge, 12) : JsonValue(0)));
    }
    return JsonValue::Object()
        .Add("distance_m", d / 1000)
        .Add("envelope", line.envelope)
        .Add("vertices", std::move(v));
}

JsonValue SitesJson(const TKyoukaisenResult& r) {
    JsonValue sites = JsonValue::Array();
    for (std::size_t i = 0; i < r.lines.size(); ++i) {
        std::vector<TAcadPoint> outline;
        if (i < r.siteOutlines.size())
            for (const TLineEnt& s : r.siteOutlines[i]) outline.push_back(s.st);
        JsonValue lines = JsonValue::Array();
        for (std::size_t j = 0; j < 2; ++j)
            lines.Push(LineJson(r.lines[i][j], kKyoukaiDistances[j]));
        sites.Push(
            JsonValue::Object().Add("outline", Outline(outline)).Add("lines", std::move(lines)));
    }
    return sites;
}

JsonValue SpotJson(const std::optional<TKiseiSpot>& s) {
    if (!s) return JsonValue();
    return JsonValue::Object()
        .Add("outline", JsonValue::Point(s->outline.x, s->outline.y))
        .Add("line", JsonValue::Point(s->line.x, s->line.y))
        .Add("clearance_m", JsonValue::Rounded(s->clearance / 1000, 6))
        .Add("refined", s->refined);
}

JsonValue CheckJson(const TKiseiRun& k) {
    JsonValue limits = JsonValue::Array();
    for (std::size_t i = 0; i < 2; ++i) {
        const TKiseiLimitResult& l = k.result.limits[i];
        JsonValue outlines = JsonValue::Array();
        for (const std::vector<TAcadPoint>& o : l.outlines) outlines.Push(Outline(o));
        const bool excess = l.tightest && l.tightest->clearance < 0;
        limits.Push(
            JsonValue::Object()
                .Add("line_m", kKyoukaiDistances[i] / 1000)
                .Add("hours", l.hours)
                .Add("holds", l.holds && !l.reachedEdge)
                .Add("reached_mesh_edge", l.reachedEdge)
                .Add("clearance_m",
                     l.tightest ? JsonValue::Rounded(l.tightest->clearance / 1000, 6) : JsonValue())
                .Add("excess_m",
                     excess ? JsonValue::Rounded(-l.tightest->clearance / 1000, 6) : JsonValue())
                .Add("tightest", SpotJson(l.tightest))
                .Add("refinement", JsonValue::Object()
                                       .Add("method", "exact point times")
                                       .Add("rays", l.rays)
                                       .Add("points", l.exactPoints))
                .Add("outlines", std::move(outlines)));
    }
    JsonValue headroom = JsonValue::Array();
    for (std::size_t i = 0; i < k.headroom.size(); ++i) {
        const TKiseiBuildingRoom& b = k.headroom[i];
        headroom.Push(
            JsonValue::Object()
                .Add("building", static_cast<int>(i + 1))
                .Add("centre", JsonValue::Point(b.centre.x, b.centre.y))
                .Add("walls", static_cast<int>(b.walls.size()))
                .Add("height_m", JsonValue::Rounded(b.zmaxM, 6))
                .Add("holds_now", b.room.holdsNow)
                .Add(b.room.holdsNow ? "raise_m" : "lower_m", JsonValue::Rounded(b.room.metres, 1))
                .Add("bounded", b.room.bounded));
    }
    JsonValue j = JsonValue::Object();
    j.Add("decided", k.status == KiseiStatus::Checked)
        .Add("holds", k.status == KiseiStatus::Checked && k.result.Holds())
        .Add("mesh", JsonValue::Object()
                         .Add("cells", k.result.meshSize)
                         .Add("cell_mm", JsonValue::Rounded(k.result.cell, 3))
                         .Add("step_seconds", k.params.stepSeconds)
                         .Add("samples", k.result.samples))
        .Add("limits", std::move(limits))
        .Add("sites", SitesJson(k.sites));
    if (k.request.headroom) j.Add("headroom", std::move(headroom));
    return j;
}

}  // namespace

double TClockShift::Clock(double solarHour) const {
    return ClockHourOfSolar(solarHour, keidoDeg, kinjisaMin);
}

TClockShift ReadClockShift(const Form& f) {
    return {StrToFloat(f.Edit43, SettingName("Jikoku", "keido")),
            StrToFloat(f.Edit44, SettingName("Jikoku", "kinjisa"))};
}

JsonValue ResultsJson(const Controller& c, RunKind kind, const std::string& drawing,
                      const TResultsOptions& o) {
    JsonValue doc = JsonValue::Object();
    doc.Add("program", "Zuka")
        .Add("version", ProgramVersion())
        .Add("command", RunKindCommand(kind))
        .Add("drawing", drawing)
        .Add("inputs", InputsJson(GatherRunInputs(c, kind, drawing), o.clock));
    switch (kind) {
        case RunKind::TimeOfDay:
            doc.Add("time_of_day", TimeOfDayJson(c.LastZuka()));
            break;
        case RunKind::EqualTime:
            doc.Add("equal_time", EqualTimeJson(c.LastTouji()));
            break;
        case RunKind::Points:
            doc.Add("points", PointsJson(c, o));
            break;
        case RunKind::Sky:
            doc.Add("sky", SkyJson(c));
            break;
        case RunKind::Boundary:
            doc.Add("boundary", JsonValue::Object().Add("sites", SitesJson(c.LastKyoukaisen())));
            break;
        case RunKind::Check:
            doc.Add("check", CheckJson(c.LastKisei()));
            break;
        default:
            break;
    }
    return doc;
}

bool SaveResultsJson(const std::filesystem::path& path, const JsonValue& doc) {
    return WriteFileReplacing(path, doc.Dump());
}

}  // namespace zuka

// The results of the commands that compute, as JSON for other programs, in the one shape that
// docs/results-schema.json documents: the program and its version, the command, the drawing,
// the inputs of the run (the same the calculation record shows), and the command's results:
// time-of-day outlines with their times, equal-time outlines per hour, the points' shadow
// times and intervals, the sky factors of the points by the three methods, the deemed lines,
// the regulation check's verdicts. Lengths in the drawing's millimetres unless the name says
// metres; clock hours as decimal hours and as texts.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/calc_record.h"
#include "app/controller.h"
#include "app/json_value.h"

namespace zuka {

// Local clock times beside true solar times: the longitude (Jikoku.keido, Edit43) and the
// equation of time in minutes (Jikoku.kinjisa, Edit44).
struct TClockShift {
    double keidoDeg = 135;
    double kinjisaMin = 0;
    double Clock(double solarHour) const;
};
// Throws ConvertError for a text that is no number.
TClockShift ReadClockShift(const Form& f);

struct TResultsOptions {
    // The points' exact intervals (zuka points --exact).
    const std::vector<Controller::TTokuteiExactRow>* exact = nullptr;
    // Local clock times beside the true solar ones.
    std::optional<TClockShift> clock;
};

// The whole document for the last run of `kind`; `drawing` is the drawing's file name.
JsonValue ResultsJson(const Controller& c, RunKind kind, const std::string& drawing,
                      const TResultsOptions& o = {});
// Into a file; false (and no partial file) when it cannot be written.
bool SaveResultsJson(const std::filesystem::path& path, const JsonValue& doc);

}  // namespace zuka

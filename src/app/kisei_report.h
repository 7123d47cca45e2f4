// What the regulation check tells the user, line by line (tab-separated fields): the sites and
// the period, each limit's verdict with its smallest clearance or largest excess and where,
// how the outline was refined near its line, each building's headroom, and the verdict.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/controller.h"
#include "app/results_json.h"

namespace zuka {

// The check's request from the texts a user typed: the hours at the 5 m and the 10 m line
// (each above 0) and the measurement plane in metres (empty: the 測定面の高さ setting).
// nullopt with `error` naming the input that cannot be used.
std::optional<TKiseiRequest> KiseiRequestOf(const std::string& hours5, const std::string& hours10,
                                            const std::string& planeM, std::string& error);

// The lines of the last check (LastKisei, status Checked); with `clock` the period also in
// local clock time.
std::vector<std::string> KiseiReportLines(const Controller& c,
                                          const std::optional<TClockShift>& clock);

// The specific points' stepped intervals in local clock time: a heading naming the longitude
// and the equation of time, then per row its number, its name and every interval "in-out".
std::vector<std::string> TokuteiClockLines(const Controller& c,
                                           const std::vector<Controller::TTokuteiExactRow>& rows,
                                           const TClockShift& clock);

}  // namespace zuka

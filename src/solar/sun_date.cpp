#include "solar/sun_date.h"

#include <cmath>
#include <cstdio>

namespace zuka {
namespace {

constexpr double kDegToRad = 0.017453292519943295;
// The obliquity behind the season table's declinations (+-23.45 degrees).
constexpr double kObliquityDeg = 23.45;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days from 1970-01-01 to the date (the civil-from-days inverse, valid for any Gregorian date).
long DaysFromEpoch(const TSunDate& d) {
    const int y = d.month <= 2 ? d.year - 1 : d.year;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int mp = (d.month + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + d.day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<long>(era) * 146097 + doe - 719468;
}

}  // namespace

std::optional<TSunDate> ParseSunDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == 4 || i == 7) continue;
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    }
    TSunDate d{std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)),
               std::stoi(text.substr(8, 2))};
    if (d.year < 1900 || d.year > 2100 || d.month < 1 || d.month > 12 || d.day < 1 ||
        d.day > DaysInMonth(d.year, d.month))
        return std::nullopt;
    return d;
}

std::string SunDateText(const TSunDate& d) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buf;
}

double SekiiOfDate(const TSunDate& d) {
    // Days from J2000.0 (2000-01-01 12:00 UT) to noon JST (03:00 UT) of the day.
    const double n = static_cast<double>(DaysFromEpoch(d) - DaysFromEpoch({2000, 1, 1})) - 9.0 / 24;
    const double meanLongitude = 280.460 + 0.9856474 * n;
    const double meanAnomaly = (357.528 + 0.9856003 * n) * kDegToRad;
    const double longitude =
        (meanLongitude + 1.915 * std::sin(meanAnomaly) + 0.020 * std::sin(2 * meanAnomaly)) *
        kDegToRad;
    return std::asin(std::sin(kObliquityDeg * kDegToRad) * std::sin(longitude));
}

double ClockHourOfSolar(double solarHour, double keidoDeg, double kinjisaMin) {
    return solarHour - ((keidoDeg - kJstMeridianDeg) * 4 + kinjisaMin) / 60;
}

}  // namespace zuka

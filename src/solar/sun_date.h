// The sun on a day of the calendar rather than one of the three seasons, and clock times beside
// true solar times.
//
// Declination: the sun's apparent ecliptic longitude from the low-precision solar coordinates of
// the Astronomical Almanac (mean longitude and mean anomaly with the equation of centre, good to
// about 0.01 degree of longitude over this century), at noon of Japan Standard Time, turned into a
// declination with the obliquity the season table uses (23.45 degrees): so the solstices give the
// table's declinations, and any other day the sun's declination to within about 0.015 degree.
//
// Glossary: hizuke date, sekii declination, keido longitude, kinjisa equation of time (均時差).
#pragma once

#include <optional>
#include <string>

namespace zuka {

// A day of the Gregorian calendar.
struct TSunDate {
    int year = 2000;
    int month = 1;
    int day = 1;
    bool operator==(const TSunDate&) const = default;
};

// "YYYY-MM-DD" with a day that exists (1900 to 2100); nullopt for anything else.
std::optional<TSunDate> ParseSunDate(const std::string& text);
// "YYYY-MM-DD".
std::string SunDateText(const TSunDate& d);

// The sun's declination at noon (JST) of the day, radians.
double SekiiOfDate(const TSunDate& d);

// The standard meridian of Japan Standard Time, degrees east.
inline constexpr double kJstMeridianDeg = 135;

// The local clock time (the standard time of the meridian kJstMeridianDeg) of a true solar hour
// at longitude keidoDeg with the equation of time kinjisaMin (minutes, true solar time less mean
// solar time): the clock runs behind the sun by 4 minutes for every degree east of the meridian
// and by the equation of time.
double ClockHourOfSolar(double solarHour, double keidoDeg, double kinjisaMin);

}  // namespace zuka

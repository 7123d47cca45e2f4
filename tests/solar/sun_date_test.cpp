#include "solar/sun_date.h"

#include <gtest/gtest.h>

#include <cmath>

#include "solar/sun_model.h"

namespace zuka {
namespace {

constexpr double kRadToDeg = 57.29577951308232;

TEST(SunDate, SolsticesGiveTheSeasonTable) {
    // The winter solstice fell on 21 December 2024 and falls on 22 December 2025 (JST); either
    // day's declination is the table's -23.45 degrees within 0.01 degree, as is 21 June's +23.45.
    for (const TSunDate d : {TSunDate{2024, 12, 21}, TSunDate{2025, 12, 22}}) {
        SCOPED_TRACE(SunDateText(d));
        EXPECT_NEAR(SekiiOfDate(d) * kRadToDeg, kToujiSekii * kRadToDeg, 0.01);
    }
    EXPECT_NEAR(SekiiOfDate({2025, 6, 21}) * kRadToDeg, -kToujiSekii * kRadToDeg, 0.01);
    // Near the equinoxes the declination passes zero, about 0.4 degree a day.
    EXPECT_NEAR(SekiiOfDate({2025, 3, 20}) * kRadToDeg, 0, 0.4);
    EXPECT_NEAR(SekiiOfDate({2025, 9, 23}) * kRadToDeg, 0, 0.4);
    // A day between: 1 February, about -17.2 degrees (almanac tables).
    EXPECT_NEAR(SekiiOfDate({2025, 2, 1}) * kRadToDeg, -17.2, 0.2);
}

TEST(SunDate, ParsesOnlyDaysThatExist) {
    struct Row {
        const char* text;
        bool ok;
    };
    const Row rows[] = {{"2025-12-21", true},  {"2024-02-29", true},  {"2025-02-29", false},
                        {"2025-13-01", false}, {"2025-1-01", false},  {"20251221", false},
                        {"2025-12-2x", false}, {"1899-12-31", false}, {"", false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        const std::optional<TSunDate> d = ParseSunDate(r.text);
        EXPECT_EQ(d.has_value(), r.ok);
        if (d) {
            EXPECT_EQ(SunDateText(*d), r.text);
        }
    }
}

TEST(SunDate, ClockTimeOfSolarTime) {
    // At the standard meridian only the equation of time remains: the sun 1.9 minutes ahead of
    // the clock at noon shows 11:58:06 on the clock. Tokyo (139.75 E) is 19 minutes ahead more.
    EXPECT_NEAR(ClockHourOfSolar(12, 135, 1.9), 12 - 1.9 / 60, 1e-12);
    EXPECT_NEAR(ClockHourOfSolar(12, 139.75, 0), 12 - 19.0 / 60, 1e-12);
}

}  // namespace
}  // namespace zuka

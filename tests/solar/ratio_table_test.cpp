#include "solar/ratio_table.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/number.h"

namespace zuka {
namespace {

std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    std::stringstream in(line);
    std::string cell;
    while (std::getline(in, cell, '\t')) cells.push_back(cell);
    return cells;
}

// Row of the table for a clock hour 8.0, 8.5 ... 16.0.
const std::string& Row(const std::vector<std::string>& lines, double hour) {
    return lines.at(2 + static_cast<std::size_t>((hour - 8.0) * 2));
}

TEST(RatioTable, DecimalTableAt36Degrees) {
    const std::vector<std::string> lines = BuildRatioTable("36", "0", "0", false, false);
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[0], "影倍率表 [ 緯度 = 36.0000°] [ 冬至 ]");
    EXPECT_EQ(lines[1], "時刻\t太陽高度\t太陽方位角\t影長倍率\tX倍率\tY倍率");
    // Noon: the sun due south at 90 - 36 - 23.45 = 30.55°; the azimuth and X must not read
    // "-0.0000".
    EXPECT_EQ(Row(lines, 12.0), "12:00\t30.5500\t0.0000\t1.6943\t0.0000\t1.6943");
    EXPECT_EQ(Cells(Row(lines, 8.0)).at(3), "7.2202");
    EXPECT_EQ(Cells(Row(lines, 8.0)).at(4), "-5.7912");
    EXPECT_EQ(Cells(Row(lines, 16.0)).at(4), "5.7912");
    EXPECT_EQ(Cells(Row(lines, 16.0)).at(5), "4.3120");

    const char* hours[] = {"8:00",  "8:30",  "9:00",  "9:30",  "10:00", "10:30",
                           "11:00", "11:30", "12:00", "12:30", "13:00", "13:30",
                           "14:00", "14:30", "15:00", "15:30", "16:00"};
    for (int i = 0; i < 17; ++i) {
        SCOPED_TRACE(hours[i]);
        const std::vector<std::string> cells = Cells(lines[2 + i]);
        ASSERT_EQ(cells.size(), 6u);
        EXPECT_EQ(cells[0], hours[i]);
        // Every number has exactly four decimals.
        for (std::size_t j = 1; j < cells.size(); ++j) {
            const std::size_t point = cells[j].find('.');
            ASSERT_NE(point, std::string::npos) << cells[j];
            EXPECT_EQ(cells[j].size() - point - 1, 4u) << cells[j];
        }
    }
}

// The winter day is symmetric about noon: altitude, factor and Y agree, azimuth and X change
// sign.
TEST(RatioTable, AfternoonMirrorsMorning) {
    for (bool useDms : {false, true}) {
        const std::vector<std::string> lines = BuildRatioTable("35", "40", "30", useDms, false);
        for (int i = 0; i < 8; ++i) {
            SCOPED_TRACE(std::to_string(i) + (useDms ? " dms" : " decimal"));
            const std::vector<std::string> am = Cells(lines[2 + i]);
            const std::vector<std::string> pm = Cells(lines[18 - i]);
            EXPECT_EQ(am[1], pm[1]);
            EXPECT_EQ(am[2], "-" + pm[2]);
            EXPECT_EQ(am[3], pm[3]);
            EXPECT_EQ(am[4], "-" + pm[4]);
            EXPECT_EQ(am[5], pm[5]);
        }
    }
}

TEST(RatioTable, DegreesMinutesSeconds) {
    const std::vector<std::string> lines = BuildRatioTable("36", "0", "0", true, false);
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[0], "影倍率表 [ 緯度 = 36°0′0″] [ 冬至 ]");
    EXPECT_EQ(Row(lines, 8.0), "8:00\t7°53′07″\t-53°19′45″\t7.2202\t-5.7912\t4.3120");
    EXPECT_EQ(Row(lines, 16.0), "16:00\t7°53′07″\t53°19′45″\t7.2202\t5.7912\t4.3120");
    EXPECT_EQ(Cells(Row(lines, 12.0)).at(1), "30°33′00″");  // 30.55° = 30°33'
    EXPECT_EQ(Cells(Row(lines, 12.0)).at(2), "0°00′00″");

    // The title repeats the texts as typed.
    EXPECT_EQ(BuildRatioTable(" 35", "40.5", "07", true, false)[0],
              "影倍率表 [ 緯度 =  35°40.5′07″] [ 冬至 ]");
}

TEST(RatioTable, ThreeDecimals) {
    const std::vector<std::string> lines = BuildRatioTable("35", "40", "30", false, true);
    EXPECT_EQ(lines[0], "影倍率表 [ 緯度 = 35.675°] [ 冬至 ]");  // 35 + 40/60 + 30/3600
    const std::vector<std::string> three = BuildRatioTable("36", "0", "0", false, true);
    EXPECT_EQ(Row(three, 12.0), "12:00\t30.550\t0.000\t1.694\t0.000\t1.694");
}

TEST(RatioTable, LatitudeThatIsNoNumber) {
    struct Row {
        const char* d;
        const char* m;
        const char* s;
        const char* field;
    };
    const Row rows[] = {
        {"abc", "x", "y", "Common.ido1"},
        {"36", "", "0", "Common.ido2"},
        {"36", "0", "0″", "Common.ido3"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.field);
        for (bool useDms : {false, true}) {
            try {
                BuildRatioTable(r.d, r.m, r.s, useDms, false);
                ADD_FAILURE() << "no error";
            } catch (const ConvertError& e) {
                EXPECT_EQ(e.Field(), r.field);
            }
        }
    }
}

}  // namespace
}  // namespace zuka

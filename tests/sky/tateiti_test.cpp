#include "sky/tateiti.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/sky_drawing.h"
#include "cad/host/drawing_host.h"
#include "cad/interaction.h"
#include "dxf_entities.h"
#include "temp_dir.h"

namespace zuka {
namespace {

namespace fs = std::filesystem;

using testing_dxf::Entities;
using testing_dxf::Groups;

std::string Value(const Groups& g, int code) {
    for (const auto& [c, v] : g) {
        if (c == code) return v;
    }
    return "(none)";
}

TTateitiParams TypeA() {
    TTateitiParams p;
    p.scale = 100;
    p.radius = 25;
    p.textSize = 1.5;  // W = 300, text height 150
    p.meori = "10";
    p.mentaka = "1.5";
    p.kitaDeg = 90;
    p.layer = "ZUKA_TTATEITI";
    return p;
}

TEST(Tateiti, AzimuthFromNorth) {
    struct Row {
        const char* name;
        double houido;
        double kitaDeg;
        double want;
    };
    const Row rows[] = {
        {"east, north up", 0, 90, 0},
        {"north, north up", 90, 90, 90},
        {"west, north up", 180, 90, 180},
        {"south, north up", 270, 90, 270},
        {"south-east, north up", 315, 90, -45},
        {"just east of south", 270.5, 90, -89.5},
        {"north along +x: +x is north", 0, 0, 90},
        {"north along +x: -y is east", 270, 0, 0},
        {"north at 300: below zero wraps", 10, 300, 160},
        {"north at 60: above 360 wraps, then into (-90, 270]", 350, 60, 20},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_NEAR(TateitiAzimuth(r.houido, r.kitaDeg), r.want, 1e-9);
    }
}

TEST(Tateiti, OnlyNumberedRowsInNumberOrder) {
    std::vector<TTateiti> rows(5);
    const int numbers[] = {3, 0, 1, -1, 2};
    for (int i = 0; i < 5; ++i) {
        rows[i].no = numbers[i];
        rows[i].kyori = 1000.0 * i;
    }
    const std::vector<TTateiti> sorted = SortTateitiRows(rows);
    ASSERT_EQ(sorted.size(), 3u);
    EXPECT_EQ(sorted[0].no, 1);
    EXPECT_EQ(sorted[1].no, 2);
    EXPECT_EQ(sorted[2].no, 3);
    EXPECT_EQ(sorted[0].kyori, 2000);  // the row travels with its number
}

// W = 300 with three rows: the grid is six columns of 900 and six rows of 300, the border at
// -600 (inside the header's merged cells) left out.
TEST(Tateiti, GridLinesForThreeRows) {
    std::vector<TTateiti> rows(3);
    for (int i = 0; i < 3; ++i) rows[i].no = i + 1;
    DxfList dxf;
    WriteTateitiTable(dxf, rows, TypeA());
    std::vector<std::string> horizontals;
    std::vector<std::string> verticals;
    for (const auto& [type, g] : Entities(dxf)) {
        if (type != "LINE") continue;
        EXPECT_EQ(Value(g, 8), "ZUKA_TTATEITI");
        EXPECT_EQ(Value(g, 30), "0.0");
        EXPECT_EQ(Value(g, 31), "0.0");
        const std::string line =
            Value(g, 10) + "," + Value(g, 20) + " " + Value(g, 11) + "," + Value(g, 21);
        (Value(g, 20) == Value(g, 21) ? horizontals : verticals).push_back(line);
    }
    const std::vector<std::string> wantH = {
        "0.0,0.0000 5400.0000,0.0000",         "900.0000,-300.0000 5400.0000,-300.0000",
        "0.0,-900.0000 5400.0000,-900.0000",   "0.0,-1200.0000 5400.0000,-1200.0000",
        "0.0,-1500.0000 5400.0000,-1500.0000", "0.0,-1800.0000 5400.0000,-1800.0000",
    };
    const std::vector<std::string> wantV = {
        "0.0000,0.0 0.0000,-1800.0000",
        "900.0000,0.0 900.0000,-1800.0000",
        "1800.0000,-300.0000 1800.0000,-1800.0000",
        "2700.0000,0.0 2700.0000,-1800.0000",
        "3600.0000,-300.0000 3600.0000,-1800.0000",
        "4500.0000,-300.0000 4500.0000,-1800.0000",
        "5400.0000,0.0 5400.0000,-1800.0000",
    };
    EXPECT_EQ(horizontals, wantH);
    EXPECT_EQ(verticals, wantV);
}

// One row, drawn to the layout: titles, headings, then the row's six cells.
TEST(Tateiti, TextsForOneRow) {
    TTateiti row;
    row.no = 7;
    row.kyori = 12345.4;     // 12.345 m
    row.takasa = 8000;       // 8.000 m
    row.houido = 315;        // south-east with north up
    row.miagedo = 32.98765;  // 32.988
    row.rcosh = 2096.46;     // 20.965 paper mm at S = 100
    DxfList dxf;
    WriteTateitiTable(dxf, {row}, TypeA());

    struct Want {
        std::string text;
        std::string x;
        std::string y;
        std::string h72;
        std::string width;
        std::string x11;
    };
    const std::vector<Want> want = {
        {"目盛間隔 10%%d", "1200", "1050.0000", "0", "0.8", "300"},
        {"正射影　測定面高さ = 1.500 m", "1200", "750.0000", "0", "0.8", "300"},
        {"天空図半径(R) = 25.000 (図寸mm)", "1200", "450.0000", "0", "0.8", "300"},
        {"建物位置確認表", "1200", "150.0000", "0", "0.8", "300"},
        {"位置", "450", "-300.0000", "1", "0.8", "450"},
        {"No.", "450", "-600.0000", "1", "0.8", "450"},
        {"配置図", "1800", "-150.0000", "1", "0.8", "1800"},
        {"距離", "1350", "-450.0000", "1", "0.8", "1350"},
        {"高さ", "2250", "-450.0000", "1", "0.8", "2250"},
        {"(実寸m)", "1350", "-750.0000", "1", "0.8", "1350"},
        {"(実寸m)", "2250", "-750.0000", "1", "0.8", "2250"},
        {"天空図", "4050", "-150.0000", "1", "0.8", "4050"},
        {"方位角", "3150", "-450.0000", "1", "0.8", "3150"},
        {"仰角:h", "4050", "-450.0000", "1", "0.8", "4050"},
        {"R*cos(h)", "4950", "-450.0000", "1", "0.75", "4950"},
        {"(%%d)", "3150", "-750.0000", "1", "0.8", "3150"},
        {"(%%d)", "4050", "-750.0000", "1", "0.8", "4050"},
        {"(図寸mm)", "4950", "-750.0000", "1", "0.8", "4950"},
        {"[7]", "450", "-1050.0000", "1", "0.8", "450"},
        {"12.345", "1725", "-1050.0000", "2", "0.8", "1725"},
        {"8.000", "2625", "-1050.0000", "2", "0.8", "2625"},
        {"-45.000", "3525", "-1050.0000", "2", "0.75", "3525"},
        {"32.988", "4425", "-1050.0000", "2", "0.8", "4425"},
        {"20.965", "5325", "-1050.0000", "2", "0.8", "5325"},
    };
    std::vector<Groups> texts;
    for (const auto& [type, g] : Entities(dxf)) {
        if (type == "TEXT") texts.push_back(g);
    }
    ASSERT_EQ(texts.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(want[i].text);
        const Groups& g = texts[i];
        EXPECT_EQ(Value(g, 8), "ZUKA_TTATEITI");
        EXPECT_EQ(Value(g, 1), want[i].text);
        EXPECT_EQ(Value(g, 10), want[i].x);
        EXPECT_EQ(Value(g, 20), want[i].y);
        EXPECT_EQ(Value(g, 40), "150");
        EXPECT_EQ(Value(g, 41), want[i].width);
        EXPECT_EQ(Value(g, 72), want[i].h72);
        EXPECT_EQ(Value(g, 73), "2");
        EXPECT_EQ(Value(g, 11), want[i].x11);
        EXPECT_EQ(Value(g, 21), want[i].y);
        EXPECT_EQ(Value(g, 50), "(none)");
    }
}

// Against the embedded host: the table is placed by the user and exploded, the rows are used
// up; without numbered rows nothing is drawn and the rows stay.
class TateitiDrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_.New();
    }

    TCadTarget Target() {
        return {connector_, host_, host_.ActiveDocument(), "AutoCAD.Application.24"};
    }

    testing::TempDir tmp_;
    fs::path dir_ = tmp_.Path();
    ScriptedInteraction user_;
    DrawingHost host_{&user_};
    HostConnector connector_{host_};
    TCadUi ui_;
};

TEST_F(TateitiDrawTest, PlacedTableConsumesRows) {
    std::vector<TTateiti> rows(2);
    rows[0].no = 2;
    rows[1].no = 1;
    user_.PushPoint({10000, 20000, 0});
    ASSERT_TRUE(DrawTateiti(rows, TypeA(), Target(), {dir_, DxfEncoding::Utf8}, ui_));
    EXPECT_TRUE(rows.empty());
    ASSERT_EQ(host_.CommandLog().size(), 1u);
    const std::string file = (dir_ / "ZUKA_1.dxf").string();
    EXPECT_EQ(host_.CommandLog()[0], "-INSERT\r\"" + file + "\"\rS\r1.0\rR\r0\r");
    // 5 + 7 lines, 18 heading texts, 2 x 6 cells, exploded into model space.
    EXPECT_EQ(host_.ActiveDocument().ModelSpace().Count(), 12 + 18 + 12);
}

TEST_F(TateitiDrawTest, NoNumberedRowsDrawsNothing) {
    std::vector<TTateiti> rows(2);
    EXPECT_FALSE(DrawTateiti(rows, TypeA(), Target(), {dir_, DxfEncoding::Utf8}, ui_));
    EXPECT_EQ(rows.size(), 2u);
    EXPECT_TRUE(host_.CommandLog().empty());
}

}  // namespace
}  // namespace zuka

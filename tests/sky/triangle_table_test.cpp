#include "sky/triangle_table.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "dxf_entities.h"

namespace zuka {
namespace {

using Ent = testing_dxf::TEnt;
using testing_dxf::Entities;

// One triangle at scale 100 with text size 2.5 (u = 500): the row shows the rounded base and
// height and the area computed from them, 12.34568 * 0.49383 = 6.097.
TSansyaTable OneTriangle() {
    TSansyaTable t;
    t.rows = {{1, 1234.5678, 98.7654, 6.097}};
    t.scale = 100;
    t.radius = 2500;
    t.textSize = 250;
    t.memori = "10";
    t.mentakaM = 4;
    t.sansyaGoukei = 6.097;
    t.kakudoDeg = 12.5;
    t.ougiMenseki = 68.1769;
    t.tousyaMenseki = 62.0799;
    t.enMenseki = 1963.495;
    t.tenkuRitu = 96.838;
    t.layer = "S";
    return t;
}

TEST(SansyaTable, StartsAsAFileAndLeavesTheEndOpen) {
    const DxfList dxf = BuildSansyaTable(OneTriangle());
    ASSERT_FALSE(dxf.empty());
    EXPECT_EQ(dxf.front().rfind("  0\r\nSECTION\r\n  2\r\nHEADER", 0), 0u);
    EXPECT_EQ(dxf.back().find("EOF"), std::string::npos);
}

TEST(SansyaTable, GridOfOneTriangle) {
    const std::vector<Ent> e = Entities(BuildSansyaTable(OneTriangle()));
    // Four horizontal lines at 0, -u, -2u, -3u across 16u.
    const char* ys[] = {"0.0000", "-500.0000", "-1000.0000", "-1500.0000"};
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        const Ent& l = e[static_cast<std::size_t>(k)];
        EXPECT_EQ(l.type, "LINE");
        EXPECT_EQ(l.Get(8), "S");
        EXPECT_EQ(l.Get(10), "0.0");
        EXPECT_EQ(l.Get(20), ys[k]);
        EXPECT_EQ(l.Get(11), "8000.0000");
        EXPECT_EQ(l.Get(21), ys[k]);
        EXPECT_EQ(l.groups.size(), 5u);  // layer and the four coordinates
    }
    // Five vertical lines every 4u; the second and third stop above the totals row.
    struct Row {
        const char* x;
        const char* y1;
    };
    const Row v[] = {{"0", "-1500.0000"},
                     {"2000", "-1000.0000"},
                     {"4000", "-1000.0000"},
                     {"6000", "-1500.0000"},
                     {"8000", "-1500.0000"}};
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        const Ent& l = e[static_cast<std::size_t>(k) + 4];
        EXPECT_EQ(l.type, "LINE");
        EXPECT_EQ(l.Get(10), v[k].x);
        EXPECT_EQ(l.Get(20), "0.0");
        EXPECT_EQ(l.Get(11), v[k].x);
        EXPECT_EQ(l.Get(21), v[k].y1);
    }
    EXPECT_EQ(e.size(), 9u + 22u);
}

TEST(SansyaTable, TextsOfOneTriangle) {
    const std::vector<Ent> e = Entities(BuildSansyaTable(OneTriangle()));
    ASSERT_EQ(e.size(), 31u);
    struct Row {
        const char* text;
        const char* x;
        const char* y;
        const char* h;
    };
    const Row want[] = {
        {"目盛間隔 10%%d", "500", "1750", "0"},
        {"正射影　測定面高さ = 4.000 m", "500", "1250", "0"},
        {"天空図半径(R) = 25.000(図寸mm)", "500", "750", "0"},
        {"三斜計算　最大分割角 = 10%%d", "500", "250", "0"},
        {"三角形No.", "1000", "-250", "1"},
        {"底辺(mm)", "3500", "-250", "2"},
        {"高さ(mm)", "5500", "-250", "2"},
        {"面積(mm2)", "7750", "-250", "2"},
        {"1", "1000", "-750", "1"},
        {"12.34568", "3750", "-750", "2"},
        {"0.98765", "5750", "-750", "2"},
        {"6.097", "7750", "-750", "2"},
        {"三斜面積合計", "500", "-1250", "0"},
        {"6.097", "7750", "-1250", "2"},
        {"扇形面積 (扇形中心角 = 12.500%%d)", "250", "-1750", "0"},
        {"68.177", "7750", "-1750", "2"},
        {"扇形面積 - 三斜面積合計 = 水平円射影面積", "250", "-2250", "0"},
        {"62.080", "7750", "-2250", "2"},
        {"天空図円面積", "250", "-2750", "0"},
        {"1963.495", "7750", "-2750", "2"},
        {"三斜計算　　天空率", "250", "-3250", "0"},
        {"(1963.495 - 62.080 ) / 1963.495 * 100 = 96.838%", "250", "-3750", "0"},
    };
    for (std::size_t i = 0; i < 22; ++i) {
        const Ent& t = e[i + 9];
        SCOPED_TRACE(want[i].text);
        EXPECT_EQ(t.type, "TEXT");
        EXPECT_EQ(t.Get(8), "S");
        EXPECT_EQ(t.Get(1), want[i].text);
        EXPECT_EQ(t.Get(10), want[i].x);
        EXPECT_EQ(t.Get(20), want[i].y);
        EXPECT_EQ(t.Get(11), want[i].x);
        EXPECT_EQ(t.Get(21), want[i].y);
        EXPECT_EQ(t.Get(40), "250");
        EXPECT_EQ(t.Get(41), "0.8");
        EXPECT_EQ(t.Get(72), want[i].h);
        EXPECT_EQ(t.Get(73), "2");
    }
}

}  // namespace
}  // namespace zuka

#include "shadow/time_of_day.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "../buildings.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

using testing_buildings::AddBox;

SunModel Sun(int season, const char* kita = "90") {
    SunModel sun;
    sun.RadioGroup1Click(season);
    TSunTexts t;
    t.Edit12 = kita;
    t.Edit3 = "36";
    t.Edit5 = "0";
    t.Edit23 = "0";
    t.Edit4 = "4";
    t.Edit2 = "8";
    t.Edit7 = "16";
    sun.SetTaiyouParams(t);
    return sun;
}

TZukaParams Params(double kaisi, double owari, double step) {
    TZukaParams p;
    p.kaisi = kaisi;
    p.owari = owari;
    p.kankaku = step;
    p.takasa = 4000;
    p.kitaDeg = 90;
    p.layer = "ZUKA_JIKOKU";
    p.textHeight = "300.0";
    p.timeOnly = true;
    return p;
}

// The polylines of a DXF list as vertex lists, and the labels in order.
struct TParsed {
    std::vector<std::vector<TAcadPoint>> rings;
    std::vector<bool> dashed;
    std::vector<std::string> labels;
};

TParsed Parse(const DxfList& dxf) {
    TParsed p;
    for (std::size_t i = 0; i < dxf.size(); ++i) {
        const std::string& s = dxf[i];
        if (s.rfind("  0\r\nPOLYLINE", 0) == 0) {
            p.rings.emplace_back();
            p.dashed.push_back(dxf[i + 1] == "  6\r\nHIDDEN2");
        } else if (s.rfind("  0\r\nVERTEX", 0) == 0) {
            const double x = std::stod(dxf[i + 1].substr(5));
            const double y = std::stod(dxf[i + 2].substr(5));
            p.rings.back().push_back({x, y, 0});
        } else if (s.rfind("  1\r\n", 0) == 0) {
            p.labels.push_back(s.substr(5));
        }
    }
    return p;
}

// Vertices where the outline turns (collinear split points removed).
std::vector<TAcadPoint> Corners(const std::vector<TAcadPoint>& ring) {
    std::vector<TAcadPoint> out;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const TAcadPoint& a = ring[(i + ring.size() - 1) % ring.size()];
        const TAcadPoint& b = ring[i];
        const TAcadPoint& c = ring[(i + 1) % ring.size()];
        const double cross = (b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x);
        if (std::fabs(cross) > 1e-3) out.push_back(b);
    }
    return out;
}

std::vector<std::string> Messages;
void Record(const std::string& m) { Messages.push_back(m); }

TEST(TimeOfDay, BoxAgainstHandComputedCorners) {
    Workspace ws;
    AddBox(ws, 0, 0, 10000, 10000, 10000);
    const SunModel sun = Sun(1);  // equinox
    DxfList dxf;
    Messages.clear();
    const TZukaResult r = BuildZukaDiagram(ws, sun, Params(9, 9, 1), dxf, QuietRun(), Record);
    EXPECT_EQ(r.outlines, 1);
    EXPECT_TRUE(Messages.empty());
    const TParsed got = Parse(dxf);
    ASSERT_EQ(got.rings.size(), 1u);

    // At 9:00 on the equinox at 36 degrees the sun stands 59.5536 degrees east of south with
    // a shadow factor of 1.43378; with north up the shadow points 149.5536 degrees from +x.
    // The top, 6 m above the plane, throws its outline by (dx, dy); the union is the hexagon
    // swept by the footprint, starting at its lowest leftmost corner.
    const double len = 6000 * 1.4337795;
    const double dir = (90 + 59.553583) * kPi / 180;
    const double dx = len * std::cos(dir);
    const double dy = len * std::sin(dir);
    const std::vector<TAcadPoint> want = {{dx, dy, 0},
                                          {0, 0, 0},
                                          {10000, 0, 0},
                                          {10000, 10000, 0},
                                          {10000 + dx, 10000 + dy, 0},
                                          {dx, 10000 + dy, 0}};
    const std::vector<TAcadPoint> corners = Corners(got.rings[0]);
    ASSERT_EQ(corners.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(corners[i].x, want[i].x, 1.0) << i;
        EXPECT_NEAR(corners[i].y, want[i].y, 1.0) << i;
    }
    EXPECT_EQ(got.labels, std::vector<std::string>{"09:00"});
    EXPECT_FALSE(got.dashed[0]);

    // The DXF form of the outline: layer, elevation at the plane, closed, label at the
    // northernmost vertex with the height as typed and width factor 0.8.
    EXPECT_EQ(dxf[0], "  0\r\nPOLYLINE\r\n  8\r\nZUKA_JIKOKU");
    EXPECT_EQ(dxf[1], " 66\r\n     1\r\n 10\r\n0.0");
    EXPECT_EQ(dxf[2], " 20\r\n0.0\r\n 30\r\n4000");
    EXPECT_EQ(dxf[3], " 70\r\n     1");
    const auto text = std::find(dxf.begin(), dxf.end(), "  0\r\nTEXT\r\n  8\r\nZUKA_JIKOKU");
    ASSERT_NE(text, dxf.end());
    EXPECT_EQ(*(text + 4), " 40\r\n300.0");
    EXPECT_EQ(*(text + 6), " 41\r\n0.8");
    EXPECT_NEAR(std::stod((text + 2)->substr(5)), 10000 + dy, 1.0);  // y of the north edge
}

TEST(TimeOfDay, SeparateShadowsGiveTwoOutlinesLeftmostFirst) {
    Workspace ws;
    AddBox(ws, 60000, 0, 5000, 5000, 9000);  // listed first, but to the right
    AddBox(ws, 0, 0, 5000, 5000, 9000);
    DxfList dxf;
    const TZukaResult r = BuildZukaDiagram(ws, Sun(0), Params(12, 12, 1), dxf, QuietRun(), Record);
    ASSERT_EQ(r.outlines, 2);
    const TParsed got = Parse(dxf);
    EXPECT_LT(got.rings[0][0].x, 5000);
    EXPECT_GE(got.rings[1][0].x, 60000);
    EXPECT_EQ(got.labels, (std::vector<std::string>{"12:00", "12:00"}));
}

TEST(TimeOfDay, HalfHoursDashedAndLabels) {
    Workspace ws;
    AddBox(ws, 0, 0, 5000, 5000, 9000);
    DxfList dxf;
    TZukaParams p = Params(8, 16, 0.5);
    TZukaResult r = BuildZukaDiagram(ws, Sun(0), p, dxf, QuietRun(), Record);
    EXPECT_EQ(r.times, 17);
    TParsed got = Parse(dxf);
    ASSERT_EQ(got.rings.size(), 17u);
    for (std::size_t i = 0; i < got.rings.size(); ++i) EXPECT_EQ(got.dashed[i], i % 2 == 1) << i;
    EXPECT_EQ(got.labels[1], "08:30");

    // With the azimuth: time, a space, degrees with two decimals and the degree code.
    dxf.clear();
    p = Params(8, 8, 1);
    p.timeOnly = false;
    BuildZukaDiagram(ws, Sun(0), p, dxf, QuietRun(), Record);
    EXPECT_EQ(Parse(dxf).labels, std::vector<std::string>{"08:00 -53.33%%d"});
}

TEST(TimeOfDay, RepeatedAdditionOfTheStep) {
    const std::vector<double> times = ZukaTimes(8.0, 9.05, 0.1);
    ASSERT_EQ(times.size(), 11u);
    EXPECT_EQ(times[10], 8.999999999999996);
    EXPECT_EQ(JikokuToHm(times[10]), "08:59");
    EXPECT_TRUE(ZukaTimes(8, 16, 0).empty());
    EXPECT_TRUE(ZukaTimes(8, 16, -1).empty());

    Workspace ws;
    AddBox(ws, 0, 0, 5000, 5000, 9000);
    DxfList dxf;
    BuildZukaDiagram(ws, Sun(0), Params(8.0, 9.05, 0.1), dxf, QuietRun(), Record);
    const TParsed got = Parse(dxf);
    ASSERT_EQ(got.labels.size(), 11u);
    EXPECT_EQ(got.labels[10], "08:59");
    EXPECT_TRUE(got.dashed[10]);  // 8.999999999999996 has a fraction
}

// A wall with no end above the plane is no building there: a box whose top is at the plane and
// a site outline at height 0 cast no shadow and leave no footprint, alone or beside a building.
TEST(TimeOfDay, WallsAtOrBelowThePlaneCastNothing) {
    Workspace ws;
    AddBox(ws, 0, 0, 5000, 3000, 4000);             // top exactly at the plane
    AddBox(ws, -20000, -20000, 60000, 60000, 0);    // a site outline
    DxfList dxf;
    const TZukaResult r = BuildZukaDiagram(ws, Sun(0), Params(10, 10, 1), dxf, QuietRun(), Record);
    EXPECT_EQ(r.outlines, 0);
    EXPECT_TRUE(Parse(dxf).rings.empty());

    Workspace alone;
    AddBox(alone, 10000, 10000, 5000, 5000, 9000);
    AddBox(ws, 10000, 10000, 5000, 5000, 9000);
    DxfList besides;
    DxfList single;
    BuildZukaDiagram(ws, Sun(0), Params(10, 10, 1), besides, QuietRun(), Record);
    BuildZukaDiagram(alone, Sun(0), Params(10, 10, 1), single, QuietRun(), Record);
    EXPECT_EQ(besides, single);
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    double a0 = 0, b0 = 0, a1 = 0, b1 = 0;
    ASSERT_TRUE(GetZukaHani(ws, Sun(0), 8, 16, 4000, x0, y0, x1, y1));
    ASSERT_TRUE(GetZukaHani(alone, Sun(0), 8, 16, 4000, a0, b0, a1, b1));
    EXPECT_EQ(std::vector<double>({x0, y0, x1, y1}), std::vector<double>({a0, b0, a1, b1}));
}

TEST(TimeOfDay, TimesWithoutSunPositionAreSkippedAndNamed) {
    Workspace ws;
    AddBox(ws, 0, 0, 5000, 5000, 9000);
    DxfList dxf;
    Messages.clear();
    const TZukaResult r = BuildZukaDiagram(ws, Sun(0), Params(7, 17, 1), dxf, QuietRun(), Record);
    EXPECT_EQ(r.times, 9);  // 8 .. 16
    EXPECT_EQ(r.skipped, (std::vector<double>{7, 17}));
    ASSERT_EQ(Messages.size(), 1u);
    EXPECT_NE(Messages[0].find("07:00, 17:00"), std::string::npos) << Messages[0];
    EXPECT_EQ(Parse(dxf).labels.front(), "08:00");
}

class StopAfter : public RunContext {
public:
    explicit StopAfter(int polls) : left_(polls) {}
    bool StopRequested() const override { return left_-- <= 0; }

private:
    mutable int left_;
};

TEST(TimeOfDay, StopEndsTheRun) {
    Workspace ws;
    AddBox(ws, 0, 0, 5000, 5000, 9000);
    DxfList dxf;
    StopAfter stop(3);
    const TZukaResult r = BuildZukaDiagram(ws, Sun(0), Params(8, 16, 1), dxf, stop, Record);
    EXPECT_TRUE(r.stopped);
    EXPECT_LT(r.times, 9);
}

TEST(TimeOfDay, GetZukaHani) {
    Workspace ws;
    double x0 = -1, y0 = -1, x1 = -1, y1 = -1;
    EXPECT_FALSE(GetZukaHani(ws, Sun(0), 8, 16, 4000, x0, y0, x1, y1));
    EXPECT_EQ(x0, -1);
    AddBox(ws, 0, 0, 5000, 5000, 9000);
    ASSERT_TRUE(GetZukaHani(ws, Sun(0), 8, 16, 4000, x0, y0, x1, y1));
    // Morning shadows reach west, afternoon ones east, all of them north; 5 m above the plane
    // at a factor of 7.22 at 8:00 the 8:00 shadow reaches 5000 * 5.7912 to the west.
    EXPECT_NEAR(x0, -5000 * 5.7912, 5);
    EXPECT_NEAR(x1, 5000 + 5000 * 5.7912, 5);
    EXPECT_EQ(y0, 0);
    EXPECT_GT(y1, 5000 + 5000 * 1.69);
}

}  // namespace
}  // namespace zuka

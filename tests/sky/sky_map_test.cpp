#include "sky/sky_map.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/sky_drawing.h"
#include "../buildings.h"
#include "base/number.h"
#include "cad/bridge.h"
#include "cad/host/drawing_host.h"
#include "cad/interaction.h"
#include "dxf_entities.h"
#include "geom/primitives.h"
#include "temp_dir.h"

namespace zuka {
namespace {

namespace fs = std::filesystem;

constexpr double kTol = 1e-6;
constexpr double kDeg = kPi / 180;

using testing_dxf::Entities;
using testing_dxf::OfType;
using testing_dxf::TEnt;

TLineEnt Wall(double x1, double y1, double z1, double x2, double y2, double z2) {
    TLineEnt w;
    w.st = {x1, y1, z1};
    w.ed = {x2, y2, z2};
    return w;
}

using testing_buildings::Box;

// Type A, radius 25 at scale 100 (R = 2500), text 1.5 (T' = 150), north up, plane at 0.
TTenkuParams Params() {
    TTenkuParams p;
    p.typ = 0;
    p.scale = 100;
    p.radiusA = 25;
    p.radiusB = 25;
    p.textSize = 1.5;
    p.meori = 30;
    p.kitaDeg = 90;
    p.mentaka = "0";
    p.layer = "TENKU";
    p.meoriLayer = "MEORI";
    return p;
}

struct TMap {
    TTenkuResult result;
    Workspace ws;
    DxfList dxf;
    std::vector<TEnt> ents;
};

TMap MakeMap(const std::vector<TLineEnt>& walls, TAcadPoint id1, const TTenkuParams& p) {
    TMap m;
    m.result = MakeTenkuzuDxf(walls, id1, p, m.ws, m.dxf);
    m.ents = Entities(m.dxf);
    return m;
}

void ExpectPoint(TAcadPoint got, TAcadPoint want, double tol = kTol) {
    EXPECT_NEAR(got.x, want.x, tol);
    EXPECT_NEAR(got.y, want.y, tol);
    EXPECT_NEAR(got.z, want.z, tol);
}

// An angle in (-pi, pi].
double Signed(double a) { return a > kPi ? a - kTwoPi : a; }

TEST(SkyMap, FrameAndLettersAroundTheCircle) {
    const TMap m = MakeMap(Box(10000, -5000, 20000, 5000, 20000), {0, 0, 0}, Params());
    ASSERT_EQ(m.result.status, TenkuStatus::Drawn);
    DxfList start;
    StartDxfFile(start);
    ASSERT_GE(m.dxf.size(), start.size());
    EXPECT_TRUE(std::equal(start.begin(), start.end(), m.dxf.begin()));

    ASSERT_GE(m.ents.size(), 9u);
    EXPECT_EQ(m.ents[0].type, "CIRCLE");
    EXPECT_EQ(m.ents[0].Get(8), "TENKU");
    EXPECT_EQ(m.ents[0].Get(40), "2500");
    // North, west, east, south, each 0.8 T' = 120 long outside the rim.
    const double lines[4][4] = {
        {0, 2500, 0, 2620}, {-2500, 0, -2620, 0}, {2500, 0, 2620, 0}, {0, -2500, 0, -2620}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const TEnt& l = m.ents[1 + i];
        EXPECT_EQ(l.type, "LINE");
        EXPECT_EQ(l.Get(8), "TENKU");
        EXPECT_EQ(l.Num(10), lines[i][0]);
        EXPECT_EQ(l.Num(20), lines[i][1]);
        EXPECT_EQ(l.Num(11), lines[i][2]);
        EXPECT_EQ(l.Num(21), lines[i][3]);
    }
    struct Letter {
        const char* text;
        double x, y;
        const char* rotation;  // empty: no group 50
    };
    const Letter letters[] = {
        {"N", 0, 2650, ""}, {"W", -2650, 0, "90"}, {"E", 2650, 0, "270"}, {"S", 0, -2650, "180"}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(letters[i].text);
        const TEnt& t = m.ents[5 + i];
        EXPECT_EQ(t.type, "TEXT");
        EXPECT_EQ(t.Get(1), letters[i].text);
        EXPECT_EQ(t.Num(10), letters[i].x);
        EXPECT_EQ(t.Num(20), letters[i].y);
        EXPECT_EQ(t.Num(11), letters[i].x);
        EXPECT_EQ(t.Num(21), letters[i].y);
        EXPECT_EQ(t.Get(40), "120");
        EXPECT_EQ(t.Get(41), "0.8");
        EXPECT_EQ(t.Get(50), letters[i].rotation);
        EXPECT_EQ(t.Get(72), "1");
        EXPECT_EQ(t.Get(73), "1");
    }
}

TEST(SkyMap, ScaleTicks) {
    struct Row {
        const char* name;
        double e;
        int radial;
        int circles;
    };
    const Row rows[] = {
        {"30 degrees", 30, 12, 1},
        {"10 degrees: circles 80 to 20", 10, 36, 7},
        {"zero: none", 0, 0, 0},
        {"negative: none", -5, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TTenkuParams p = Params();
        p.meori = r.e;
        const TMap m = MakeMap(Box(10000, -5000, 20000, 5000, 20000), {0, 0, 0}, p);
        const std::vector<TEnt> radial = OfType(m.ents, "LINE", "MEORI");
        const std::vector<TEnt> circles = OfType(m.ents, "CIRCLE", "MEORI");
        ASSERT_EQ(static_cast<int>(radial.size()), r.radial);
        ASSERT_EQ(static_cast<int>(circles.size()), r.circles);
        for (int f = 0; f < r.radial; ++f) {
            const TEnt& l = radial[f];
            EXPECT_EQ(l.Get(10), "0.0");
            EXPECT_EQ(l.Get(20), "0.0");
            EXPECT_NEAR(l.Num(11), 2500 * std::cos(r.e * f * kDeg), 1e-9);
            EXPECT_NEAR(l.Num(21), 2500 * std::sin(r.e * f * kDeg), 1e-9);
            // The linetype group comes right after the layer.
            EXPECT_EQ(l.groups[1].first == 6, f % 3 != 0) << f;
            if (f % 3 != 0) {
                EXPECT_EQ(l.groups[1].second, "HIDDEN2");
            }
        }
        for (int f = 1; f <= r.circles; ++f) {
            const TEnt& c = circles[f - 1];
            EXPECT_NEAR(c.Num(40), 2500 * std::sin(r.e * f * kDeg), 1e-9);
            EXPECT_EQ(c.groups[1].first == 6, f % 3 != 0) << f;
        }
    }
    // With E = 30 the one circle marks 60 degrees at R/2, dashed.
    TTenkuParams p = Params();
    const TMap m = MakeMap(Box(10000, -5000, 20000, 5000, 20000), {0, 0, 0}, p);
    const std::vector<TEnt> circles = OfType(m.ents, "CIRCLE", "MEORI");
    ASSERT_EQ(circles.size(), 1u);
    EXPECT_NEAR(circles[0].Num(40), 1250, 1e-9);
    EXPECT_EQ(circles[0].Get(6), "HIDDEN2");
}

// A wall top 10 m above the plane and 10 m away: elevation 45 degrees, R cos 45 from the
// centre. The top is 100 mm long (below the 250 mm step): one chord start->end and one
// zero-length segment, three vertices.
TEST(SkyMap, ProjectsAKnownPointAndAShortEdge) {
    TTenkuParams p = Params();
    p.mentaka = "4";
    p.planeHeightM = 4;
    const TAcadPoint id1{1000, 2000, 0};
    const std::vector<TLineEnt> walls = {Wall(11000, 2000, 14000, 11100, 2000, 14000)};
    const TMap m = MakeMap(walls, id1, p);
    ASSERT_EQ(m.result.status, TenkuStatus::Drawn);

    const double near = 2500 * std::cos(45 * kDeg);
    const double far = 2500 * std::cos(std::atan(10000 / 10100.0));
    ASSERT_GE(m.ws.AryLine.size(), 2u);
    ExpectPoint(m.ws.AryLine[0].st, {near, 0, 0});
    ExpectPoint(m.ws.AryLine[0].ed, {far, 0, 0});
    ExpectPoint(m.ws.AryLine[1].st, {far, 0, 0});
    ExpectPoint(m.ws.AryLine[1].ed, {far, 0, 0});

    ASSERT_GE(m.ws.AryTateiti.size(), 2u);
    const TTateiti& first = m.ws.AryTateiti[0];
    EXPECT_EQ(first.no, 0);
    EXPECT_NEAR(first.kyori, 10000, 1e-9);
    EXPECT_NEAR(first.takasa, 10000, 1e-9);
    EXPECT_NEAR(first.houido, 0, 1e-9);
    EXPECT_NEAR(first.miagedo, 45, 1e-9);
    EXPECT_NEAR(first.rcosh, near, 1e-9);
    EXPECT_EQ(m.ws.AryTateiti[1].no, 1);
    EXPECT_NEAR(m.ws.AryTateiti[1].kyori, 10100, 1e-9);

    const std::vector<TEnt> polylines = OfType(m.ents, "POLYLINE", "TENKU");
    ASSERT_FALSE(polylines.empty());
    EXPECT_EQ(polylines[0].Get(30), "4000");
    EXPECT_EQ(polylines[0].Get(70), "     0");
    // The first polyline's vertices follow it up to its SEQEND, "%.4f".
    std::vector<TEnt> vertices;
    bool inFirst = false;
    for (const TEnt& e : m.ents) {
        if (e.type == "POLYLINE") {
            if (inFirst) break;
            inFirst = true;
        } else if (inFirst && e.type == "VERTEX") {
            vertices.push_back(e);
        } else if (inFirst && e.type == "SEQEND") {
            break;
        }
    }
    ASSERT_EQ(vertices.size(), 3u);
    EXPECT_EQ(vertices[0].Get(10), FormatFixed(near, 4));
    EXPECT_EQ(vertices[0].Get(20), "0.0000");
    EXPECT_EQ(vertices[2].Get(10), FormatFixed(far, 4));

    // With true north at 0 degrees (along +X) the map turns by 90: east of north lands on +Y.
    p.kitaDeg = 0;
    const TMap turned = MakeMap(walls, id1, p);
    ExpectPoint(turned.ws.AryLine[0].st, {0, near, 0});
}

TEST(SkyMap, WallsAtOrBelowThePlaneGiveNothing) {
    TTenkuParams p = Params();
    p.mentaka = "10";
    const std::vector<TLineEnt> walls = {Wall(10000, 0, 10000, 10000, 5000, 10000),
                                         Wall(12000, 0, 5000, 12000, 5000, 3000),
                                         Wall(14000, 0, 0, 14000, 5000, 0)};
    const TMap m = MakeMap(walls, {0, 0, 0}, p);
    EXPECT_EQ(m.result.status, TenkuStatus::Drawn);
    EXPECT_TRUE(m.ws.AryLine.empty());
    EXPECT_TRUE(m.ws.AryTateiti.empty());
    EXPECT_TRUE(OfType(m.ents, "POLYLINE", "TENKU").empty());
}

// A sloped top from 10 m down to the ground over 10 m, plane at 5 m: the part from its high
// end to the middle (y = 5000) stands above the plane and is drawn, whichever end is first.
TEST(SkyMap, WallCrossingThePlaneKeepsItsUpperPart) {
    TTenkuParams p = Params();
    p.mentaka = "5";
    const double edgeDir = std::atan(0.5);  // towards (10000, 5000), the cut point
    const std::vector<TLineEnt> rows[] = {
        {Wall(10000, 0, 10000, 10000, 10000, 0)},
        {Wall(10000, 10000, 0, 10000, 0, 10000)},
    };
    for (const std::vector<TLineEnt>& walls : rows) {
        SCOPED_TRACE(walls[0].st.z);
        const TMap m = MakeMap(walls, {0, 0, 0}, p);
        ASSERT_FALSE(m.ws.AryLine.empty());
        double maxDir = -kPi;
        bool rimAtCut = false;
        for (const TLineEnt& s : m.ws.AryLine) {
            for (const TAcadPoint& q : {s.st, s.ed}) {
                if (Dist2D({}, q) < 1e-9) continue;
                const double a = Signed(Angle2P({}, q));
                maxDir = std::max(maxDir, a);
                rimAtCut |= std::fabs(a - edgeDir) < 1e-9 && std::fabs(Dist2D({}, q) - 2500) < 1e-6;
            }
        }
        EXPECT_NEAR(maxDir, edgeDir, 1e-9);
        EXPECT_TRUE(rimAtCut);
        // Only the high end is above the plane: its top and its vertical's top.
        ASSERT_EQ(m.ws.AryTateiti.size(), 2u);
        for (const TTateiti& t : m.ws.AryTateiti) {
            EXPECT_NEAR(t.kyori, 10000, 1e-9);
            EXPECT_NEAR(t.takasa, 5000, 1e-9);
            EXPECT_NEAR(t.miagedo, std::atan(0.5) / kDeg, 1e-9);
        }
    }
}

// The horizon arc needs two foot points: a wall with no plan length has no foot.
TEST(SkyMap, HorizonArcNeedsTwoFootPoints) {
    struct Row {
        const char* name;
        TLineEnt wall;
        int polylines;  // one per projected edge, plus the arc
    };
    const Row rows[] = {
        {"foot: top, two verticals, arc", Wall(10000, 0, 8000, 10000, 3000, 8000), 4},
        {"no foot: top and two verticals", Wall(10000, 0, 8000, 10000, 0, 9000), 3},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TMap m = MakeMap({r.wall}, {0, 0, 0}, Params());
        EXPECT_EQ(static_cast<int>(OfType(m.ents, "POLYLINE", "TENKU").size()), r.polylines);
    }
    // The arc runs counter-clockwise from the foot point at 0 degrees to the one at
    // atan(0.3), in 0.25 degree steps, ending on the rim.
    const TMap m = MakeMap({rows[0].wall}, {0, 0, 0}, Params());
    const TLineEnt& last = m.ws.AryLine.back();
    ExpectPoint(last.ed, PolarPoint({}, std::atan(0.3), 2500));
    const int steps = static_cast<int>(std::trunc(std::atan(0.3) / (0.25 * kDeg)));
    int onRim = 0;
    for (const TLineEnt& s : m.ws.AryLine) {
        onRim += std::fabs(Dist2D({}, s.st) - 2500) < 1e-6 &&
                 std::fabs(Dist2D({}, s.ed) - 2500) < 1e-6 && Dist2D(s.st, s.ed) > 1;
    }
    EXPECT_GE(onRim, steps + 1);
}

// Two buildings sharing a wall list it once each way: the repeated top, foot and verticals
// are drawn once, from the later copy.
TEST(SkyMap, RepeatedWallsProjectOnce) {
    const TLineEnt wall = Wall(10000, 0, 8000, 10000, 3000, 8000);
    const TLineEnt reversed = Wall(10000, 3000, 8000, 10000, 0, 8000);
    const TMap once = MakeMap({wall}, {0, 0, 0}, Params());
    const TMap twice = MakeMap({wall, reversed}, {0, 0, 0}, Params());
    EXPECT_EQ(OfType(twice.ents, "POLYLINE", "TENKU").size(),
              OfType(once.ents, "POLYLINE", "TENKU").size());
    ASSERT_EQ(twice.ws.AryLine.size(), once.ws.AryLine.size());
    // The later copy runs from y = 3000: its first chord starts at that end's image, at
    // azimuth atan(0.3) and elevation atan(8000 / hypot(10000, 3000)).
    const double k = std::hypot(10000.0, 3000.0);
    const TAcadPoint want = PolarPoint({}, std::atan(0.3), 2500 * std::cos(std::atan(8000 / k)));
    ExpectPoint(twice.ws.AryLine[0].st, want);
}

// The main window's bar: one step per edge of the work list (up to 100), then back to 0.
TEST(SkyMap, ProgressStepsPerEdge) {
    struct Recorder : RunContext {
        int max = -1;
        std::vector<int> positions;
        int processed = 0;
        void SetProgressMax(int m) override { max = m; }
        void SetProgressPosition(int pos) override { positions.push_back(pos); }
        void ProcessMessages() override { ++processed; }
    } bar;
    Workspace ws;
    DxfList dxf;
    MakeTenkuzuDxf(Box(10000, -5000, 20000, 5000, 20000), {}, Params(), ws, dxf, &bar);
    // 4 tops, 4 feet, 8 verticals.
    EXPECT_EQ(bar.max, 16);
    EXPECT_EQ(bar.processed, 16);
    ASSERT_FALSE(bar.positions.empty());
    EXPECT_EQ(bar.positions[bar.positions.size() - 2], 16);
    EXPECT_EQ(bar.positions.back(), 0);
}

// Plan coordinates are used as they are: the same buildings and point far in negative
// coordinates give the same map as shifted into positive ones.
TEST(SkyMap, NegativeCoordinatesGiveTheSameMap) {
    std::vector<TLineEnt> walls = Box(-30000, -25000, -20000, -15000, 12000);
    const std::vector<TLineEnt> second = Box(-26000, -32000, -22000, -29000, 30000);
    walls.insert(walls.end(), second.begin(), second.end());
    const TAcadPoint id1{-35000, -28000, 0};
    const double shift = 100000;
    std::vector<TLineEnt> shifted = walls;
    for (TLineEnt& w : shifted) {
        w.st.x += shift;
        w.st.y += shift;
        w.ed.x += shift;
        w.ed.y += shift;
    }
    const TMap neg = MakeMap(walls, id1, Params());
    const TMap pos = MakeMap(shifted, {id1.x + shift, id1.y + shift, 0}, Params());
    ASSERT_EQ(neg.ws.AryLine.size(), pos.ws.AryLine.size());
    ASSERT_GT(neg.ws.AryLine.size(), 10u);
    for (std::size_t i = 0; i < neg.ws.AryLine.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectPoint(neg.ws.AryLine[i].st, pos.ws.AryLine[i].st);
        ExpectPoint(neg.ws.AryLine[i].ed, pos.ws.AryLine[i].ed);
    }
    ASSERT_EQ(neg.ws.AryTateiti.size(), pos.ws.AryTateiti.size());
    for (std::size_t i = 0; i < neg.ws.AryTateiti.size(); ++i) {
        EXPECT_NEAR(neg.ws.AryTateiti[i].rcosh, pos.ws.AryTateiti[i].rcosh, kTol);
        EXPECT_NEAR(neg.ws.AryTateiti[i].houido, pos.ws.AryTateiti[i].houido, kTol);
    }
}

TEST(SkyMap, RefusesRadiusOrScaleOfZero) {
    struct Row {
        const char* name;
        int typ;
        double radiusA, radiusB, scale;
        TenkuStatus want;
    };
    const Row rows[] = {
        {"type A radius 0", 0, 0, 25, 100, TenkuStatus::BadRadius},
        {"type B radius negative", 1, 25, -5, 100, TenkuStatus::BadRadius},
        {"scale 0", 0, 25, 25, 0, TenkuStatus::BadScale},
        {"other preset's radius 0 is no matter", 1, 0, 25, 100, TenkuStatus::Drawn},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TTenkuParams p = Params();
        p.typ = r.typ;
        p.radiusA = r.radiusA;
        p.radiusB = r.radiusB;
        p.scale = r.scale;
        Workspace ws;
        ws.AryLine.resize(3);
        DxfList dxf;
        const TTenkuResult res =
            MakeTenkuzuDxf(Box(10000, -5000, 20000, 5000, 20000), {}, p, ws, dxf);
        EXPECT_EQ(res.status, r.want);
        if (r.want == TenkuStatus::Drawn) continue;
        EXPECT_FALSE(res.message.empty());
        EXPECT_TRUE(dxf.empty());
        EXPECT_EQ(ws.AryLine.size(), 3u);
    }
    EXPECT_FALSE(TenkuAreaOf(1000, 0, 100));
    EXPECT_FALSE(TenkuAreaOf(1000, 25, 0));
}

TEST(SkyMap, EmptyModelDrawsNothing) {
    Workspace ws;
    ws.AryLine.resize(5);
    ws.AryTateiti.resize(5);
    DxfList dxf;
    EXPECT_EQ(MakeTenkuzuDxf({}, {}, Params(), ws, dxf).status, TenkuStatus::NoBuildings);
    EXPECT_TRUE(dxf.empty());
    EXPECT_TRUE(ws.AryLine.empty());
    EXPECT_TRUE(ws.AryTateiti.empty());
}

TEST(SkyMap, ScaleFactorTracesAtTheLargerRadius) {
    struct Row {
        int typ;
        double a, b, want;
    };
    const Row rows[] = {
        {0, 25, 250, 10}, {1, 25, 250, 1}, {1, 250, 25, 10}, {0, 250, 25, 1}, {0, 25, 25, 1}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.typ) + " " + std::to_string(r.a) + " " + std::to_string(r.b));
        EXPECT_DOUBLE_EQ(TenkuScaleFactor(r.typ, r.a, r.b), r.want);
    }
}

double SignedArea(const std::vector<TLineEnt>& ring) {
    double a = 0;
    for (const TLineEnt& s : ring) a += s.st.x * s.ed.y - s.ed.x * s.st.y;
    return a / 2;
}

// Type A at radius 25 beside type B at 250 is traced ten times enlarged and scaled back: the
// outline of a box building matches the one traced at its own size.
TEST(SkyMap, OutlineTracedEnlargedMatchesDirectTrace) {
    const TMap m = MakeMap(Box(10000, -5000, 20000, 5000, 20000), {0, 0, 0}, Params());
    Workspace enlarged;
    enlarged.AryLine = m.ws.AryLine;
    Workspace direct;
    direct.AryLine = m.ws.AryLine;
    ASSERT_EQ(TenkuRinkakuOutline(enlarged, 0, 25, 250), TenkuOutlineStatus::Traced);
    ASSERT_EQ(TenkuRinkakuOutline(direct, 0, 25, 25), TenkuOutlineStatus::Traced);

    ASSERT_EQ(enlarged.AryLine.size(), direct.AryLine.size());
    for (std::size_t i = 0; i < direct.AryLine.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectPoint(enlarged.AryLine[i].st, direct.AryLine[i].st);
        ExpectPoint(enlarged.AryLine[i].ed, direct.AryLine[i].ed);
    }
    // The enlarged walk started at the lowest leftmost point at ten times the size.
    EXPECT_NEAR(enlarged.OutlineStartPt.x, 10 * direct.OutlineStartPt.x, 1e-6);
    // A closed counter-clockwise ring inside the circle, reaching the rim.
    const std::vector<TLineEnt>& ring = direct.AryLine;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        ExpectPoint(ring[i].ed, ring[(i + 1) % ring.size()].st, 1e-9);
        EXPECT_LE(Dist2D({}, ring[i].st), 2500 + 1e-6);
    }
    const double area = SignedArea(ring);
    EXPECT_GT(area, 0);
    EXPECT_LT(area, kPi * 2500 * 2500 / 2);
}

TEST(SkyMap, OutlineNeedsMoreThanTwoSegments) {
    Workspace ws;
    ws.AryLine = {Wall(0, 0, 0, 10, 0, 0), Wall(10, 0, 0, 0, 10, 0)};
    EXPECT_EQ(TenkuRinkakuOutline(ws, 0, 25, 25), TenkuOutlineStatus::TooFew);
}

TEST(SkyMap, Label74AndRotation) {
    const std::optional<TTenkuArea> a = TenkuAreaOf(1'000'000, 25, 100);
    ASSERT_TRUE(a);
    // C = 625 pi = 1963.4954..., A = 1e6 / 100^2 = 100, F = (C - A) / C * 100 = 94.90704...
    EXPECT_EQ(FormatLabel74(*a), "面積 1963.495, 100.000 天空率 94.907%");
    EXPECT_EQ(TenkuFailedMessage(), "天空率の計算に失敗しました. ");

    TTenkuParams p = Params();
    p.kitaDeg = 120;
    EXPECT_EQ(TenkuRotationDeg(p), 0);
    p.rotateMap = true;
    EXPECT_EQ(TenkuRotationDeg(p), 30);
    p.kitaDeg = 90;
    EXPECT_EQ(TenkuRotationDeg(p), 0);
}

// The map placed in the embedded drawing host.
class SkyMapPlaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_.New();
        ui_.minimiseMainWindow = [this] { ++minimised_; };
        ui_.restoreMainWindow = [this] { ++restored_; };
    }

    Document& Doc() { return host_.ActiveDocument(); }
    TCadTarget Target() { return {connector_, host_, Doc(), "AutoCAD.Application.24"}; }
    TDxfOutput Output() const { return {dir_, DxfEncoding::Cp932}; }

    DxfList Map() {
        Workspace ws;
        DxfList dxf;
        MakeTenkuzuDxf(Box(10000, -5000, 20000, 5000, 20000), {}, Params(), ws, dxf);
        return dxf;
    }

    // The centre of the map's big circle in model space.
    std::optional<TAcadPoint> CircleCentre() {
        for (int i = 0; i < Doc().ModelSpace().Count(); ++i) {
            EntityPtr e = Doc().ModelSpace().Item(i);
            if (e->EntityName() == "AcDbCircle" && std::fabs(e->Radius() - 2500) < 1e-6) {
                return e->Center();
            }
        }
        return std::nullopt;
    }

    testing::TempDir tmp_;
    fs::path dir_ = tmp_.Path();
    ScriptedInteraction user_;
    DrawingHost host_{&user_};
    HostConnector connector_{host_};
    TCadUi ui_;
    int minimised_ = 0;
    int restored_ = 0;
};

TEST_F(SkyMapPlaceTest, UserPicksTheCentre) {
    user_.PushPoint({5000, 6000, 0});
    DxfList dxf = Map();
    const TTenkuPlacement r = PlaceTenkuzu(dxf, Target(), Output(), ui_, true, {}, 30);
    EXPECT_EQ(r.status, TenkuPlaceStatus::Placed);
    ExpectPoint(r.point, {5000, 6000, 0});
    EXPECT_EQ(r.blockName, "ZUKA_1");
    const std::vector<std::string> wantLog = {"-INSERT\r\"" + r.file.string() +
                                              "\"\rS\r1.0\rR\r30.000000000000\r"};
    EXPECT_EQ(host_.CommandLog(), wantLog);
    const std::optional<TAcadPoint> centre = CircleCentre();
    ASSERT_TRUE(centre);
    ExpectPoint(*centre, {5000, 6000, 0});
    for (int i = 0; i < Doc().Blocks().Count(); ++i) {
        EXPECT_NE(Doc().Blocks().Item(i)->Name(), r.blockName);
    }
    EXPECT_TRUE(fs::exists(r.file));
    EXPECT_EQ(minimised_, 1);
    EXPECT_EQ(restored_, 1);
}

TEST_F(SkyMapPlaceTest, EscapeInsertsNothing) {
    user_.PushEscape();
    DxfList dxf = Map();
    const TTenkuPlacement r = PlaceTenkuzu(dxf, Target(), Output(), ui_, true, {}, 0);
    EXPECT_EQ(r.status, TenkuPlaceStatus::NotPlaced);
    EXPECT_EQ(Doc().ModelSpace().Count(), 0);
    EXPECT_EQ(minimised_, 1);
    EXPECT_EQ(restored_, 1);
}

TEST_F(SkyMapPlaceTest, BatchInsertsExplodedAtThePoint) {
    DxfList dxf = Map();
    const TTenkuPlacement r =
        PlaceTenkuzu(dxf, Target(), Output(), ui_, false, {100, 200.5, 7}, 30);
    EXPECT_EQ(r.status, TenkuPlaceStatus::Placed);
    ExpectPoint(r.point, {100, 200.5, 7});
    const std::vector<std::string> wantLog = {"-INSERT\r\"*" + r.file.string() +
                                              "\"\r100,200.5\r1.0\r30\r"};
    EXPECT_EQ(host_.CommandLog(), wantLog);
    const std::optional<TAcadPoint> centre = CircleCentre();
    ASSERT_TRUE(centre);
    ExpectPoint(*centre, {100, 200.5, 0});
    EXPECT_EQ(minimised_, 0);
}

}  // namespace
}  // namespace zuka

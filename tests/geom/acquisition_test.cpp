#include "geom/acquisition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "geom/primitives.h"

namespace zuka {
namespace {

constexpr TAcadPoint kUp{0, 0, 1};

TLwpEle V(const char* hand, double x, double y, double z, double bulge = 0) {
    return {hand, {x, y, z}, bulge};
}

TLwpEnt Head(const char* hand, bool closed, double elevation, double thickness) {
    TLwpEnt h;
    h.hand = hand;
    h.code70 = closed ? 1 : 0;
    h.code38 = elevation;
    h.code39 = h.atumi = thickness;
    h.code210 = kUp;
    return h;
}

TEST(Acquisition, ClosedPolylineAtElevationIsAPrism) {
    Workspace ws;
    ws.AryLwp = {Head("2A", true, 10000, 0)};
    for (auto [x, y] : {std::pair{0, 0}, {8000, 0}, {8000, 6000}, {0, 6000}})
        ws.AryLwpEle.push_back(V("2A", x, y, 10000));
    ConvertEntitiesToLines(ws);
    ASSERT_EQ(ws.AryLine.size(), 4u);
    for (const TLineEnt& s : ws.AryLine) {
        EXPECT_EQ(s.st.z, 10000);
        EXPECT_EQ(s.ed.z, 10000);
        EXPECT_EQ(s.atumi, 0);
    }
    EXPECT_EQ(ws.AryLine[3].ed.x, 0);  // closing side back to the first vertex
    EXPECT_EQ(ws.AryLine[3].ed.y, 0);
}

TEST(Acquisition, ThicknessBecomesWallEdges) {
    Workspace ws;
    TLineEnt wall;
    wall.st = {0, 0, 0};
    wall.ed = {5000, 0, 0};
    wall.atumi = 3000;
    wall.code210 = kUp;
    ws.AryLine = {wall};
    ExtrudeLines(ws);
    ASSERT_EQ(ws.AryLine.size(), 4u);  // base, top, two verticals
    EXPECT_EQ(ws.AryLine[0].atumi, 0);
    EXPECT_EQ(ws.AryLine[1].st.z, 3000);
    EXPECT_EQ(ws.AryLine[1].ed.z, 3000);
    EXPECT_EQ(ws.AryLine[2].st.z, 0);
    EXPECT_EQ(ws.AryLine[2].ed.z, 3000);
    EXPECT_EQ(ws.AryLine[3].ed.x, 5000);

    // A closed polyline with thickness: four segments for each straight side, so every
    // corner gets two coincident verticals.
    Workspace pw;
    pw.AryLwp = {Head("3B", true, 0, 3000)};
    for (auto [x, y] : {std::pair{0, 0}, {4000, 0}, {4000, 4000}, {0, 4000}})
        pw.AryLwpEle.push_back(V("3B", x, y, 0));
    ConvertEntitiesToLines(pw);
    ASSERT_EQ(pw.AryLine.size(), 16u);
    const TLineEnt& vStart = pw.AryLine[5];  // first side: top at 4, start vertical at 5
    EXPECT_EQ(pw.AryLine[4].st.z, 3000);
    EXPECT_EQ(vStart.st.z, 0);
    EXPECT_EQ(vStart.ed.z, 3000);
    EXPECT_EQ(pw.AryLine[6].st.z, 3000);  // end vertical runs down
    EXPECT_EQ(pw.AryLine[6].ed.z, 0);
}

TEST(Acquisition, CurvesBecomeChords) {
    Workspace ws;
    // A bulged side of 90 degrees: tan(90/4) = tan(22.5 deg).
    ws.AryLwp = {Head("4C", false, 0, 0)};
    ws.AryLwpEle = {V("4C", 0, 0, 0, std::tan(kPi / 8)), V("4C", 1000, 1000, 0)};
    LwpToLines(ws);
    ASSERT_EQ(ws.AryArc.size(), 1u);
    ArcToLines(ws, kCurveStepDeg);
    ASSERT_EQ(ws.AryLine.size(), 10u);  // 9 chords of 10 degrees and a zero-length end
    EXPECT_NEAR(Dist2D(ws.AryLine[9].st, ws.AryLine[9].ed), 0, 1e-9);
    EXPECT_NEAR(ws.AryLine[8].ed.x, 1000, 1e-9);
    EXPECT_NEAR(ws.AryLine[8].ed.y, 1000, 1e-9);

    // An arc from 350 to 10 degrees is swept through 0.
    Workspace aw;
    TArcEnt arc;
    arc.center = {0, 0, 500};
    arc.hankei = 100;
    arc.stdeg = 350;
    arc.eddeg = 10;
    aw.AryArc = {arc};
    ArcToLines(aw, kCurveStepDeg);
    ASSERT_EQ(aw.AryLine.size(), 3u);
    EXPECT_NEAR(aw.AryLine[1].st.x, 100, 1e-9);  // through 0 degrees
    EXPECT_NEAR(aw.AryLine[1].st.y, 0, 1e-9);
    EXPECT_NEAR(Dist2D(aw.AryLine[2].st, aw.AryLine[2].ed), 0, 1e-9);
    EXPECT_EQ(aw.AryLine[0].st.z, 500);

    // A circle: 35 chords, the first vertex at 10 degrees, none at 0.
    Workspace cw;
    TCircleEnt c;
    c.center = {10, 20, 0};
    c.hankei = 50;
    c.code210 = kUp;
    cw.AryCircle = {c};
    CircleToLines(cw, kCurveStepDeg);
    ASSERT_EQ(cw.AryLine.size(), 35u);
    EXPECT_NEAR(Angle2P(c.center, cw.AryLine[0].st), 10 * kPi / 180, 1e-12);
    EXPECT_TRUE(SamePoint2D(cw.AryLine[34].ed, cw.AryLine[0].st, 1e-9));

    // A full ellipse: 36 chords; an elliptical arc running backwards gives none.
    Workspace ew;
    TEllipseEnt e;
    e.center = {0, 0, 0};
    e.endpoint = {200, 0, 0};
    e.henpei = 0.5;
    e.kaisi = 0;
    e.owari = 360;
    e.code210 = kUp;
    ew.AryEllipse = {e};
    e.kaisi = 90;
    e.owari = 45;
    ew.AryEllipse.push_back(e);
    EllipseToLines(ew, kCurveStepDeg);
    ASSERT_EQ(ew.AryLine.size(), 36u);
    // The minor axis runs along N x U = (0,1,0): parameter 90 degrees lies at (0, 100).
    EXPECT_NEAR(ew.AryLine[8].ed.x, 0, 1e-9);
    EXPECT_NEAR(ew.AryLine[8].ed.y, 100, 1e-9);
}

// Curves whose angles or size no drawing's building has: each is refused by its handle at
// once, where a blind count would overflow, loop without end or fill the memory.
TEST(Acquisition, ExtremeCurvesAreRefusedByHandle) {
    const double inf = std::numeric_limits<double>::infinity();
    TArcEnt arc;
    arc.hand = "7F";
    arc.hankei = 1000;
    arc.code210 = kUp;
    TEllipseEnt ellipse;
    ellipse.hand = "7F";
    ellipse.endpoint = {2000, 0, 0};
    ellipse.henpei = 0.5;
    ellipse.owari = 360;
    ellipse.code210 = kUp;
    struct Row {
        const char* name;
        std::function<void(Workspace&)> fill;
    };
    const Row rows[] = {
        {"arc of 1e12 degrees", [&](Workspace& ws) { ws.AryArc = {arc}; ws.AryArc[0].eddeg = 1e12; }},
        {"arc of 1e6 degrees", [&](Workspace& ws) { ws.AryArc = {arc}; ws.AryArc[0].eddeg = 1e6; }},
        {"arc angle no number", [&](Workspace& ws) { ws.AryArc = {arc}; ws.AryArc[0].stdeg = NAN; }},
        {"arc radius 1e12", [&](Workspace& ws) { ws.AryArc = {arc}; ws.AryArc[0].hankei = 1e12; }},
        {"ellipse to 1e17: a step never reaches the end",
         [&](Workspace& ws) { ws.AryEllipse = {ellipse}; ws.AryEllipse[0].owari = 1e17; }},
        {"ellipse from 1e8 to 1e30", [&](Workspace& ws) {
             ws.AryEllipse = {ellipse};
             ws.AryEllipse[0].kaisi = 1e8;
             ws.AryEllipse[0].owari = 1e30;
         }},
        {"ellipse to infinity",
         [&](Workspace& ws) { ws.AryEllipse = {ellipse}; ws.AryEllipse[0].owari = inf; }},
        {"ellipse ratio 1e300",
         [&](Workspace& ws) { ws.AryEllipse = {ellipse}; ws.AryEllipse[0].henpei = 1e300; }},
        {"circle radius no number", [&](Workspace& ws) {
             TCircleEnt c;
             c.hand = "7F";
             c.hankei = NAN;
             c.code210 = kUp;
             ws.AryCircle = {c};
         }},
        {"bulge 1e300: nearly a whole circle of radius 4e18", [&](Workspace& ws) {
             ws.AryLwp = {Head("7F", false, 0, 0)};
             ws.AryLwpEle = {V("7F", 0, 0, 0, 1e300), V("7F", 1000, 0, 0)};
         }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Workspace ws;
        r.fill(ws);
        try {
            ConvertEntitiesToLines(ws);
            ADD_FAILURE() << "not refused; " << ws.AryLine.size() << " segments";
        } catch (const EntityRefused& e) {
            EXPECT_EQ(e.Hand(), "7F");
            EXPECT_NE(std::string(e.what()).find("ハンドル 7F "), std::string::npos) << e.what();
        }
    }
    // Within the bounds: an arc of two turns and an ellipse far from the origin convert.
    Workspace ws;
    ws.AryArc = {arc};
    ws.AryArc[0].eddeg = 720;
    ws.AryEllipse = {ellipse};
    ws.AryEllipse[0].center = {-kMaxCoordinate + 5000, kMaxCoordinate - 5000, 0};
    EXPECT_NO_THROW(ConvertEntitiesToLines(ws));
    EXPECT_EQ(ws.AryLine.size(), 72u + 1 + 36);

    // A bulge of 1e-300 bends the side by far less than the point tolerance: it stays the side
    // (its arc's ends would round to one angle and lose it).
    Workspace flat;
    flat.AryLwp = {Head("7F", false, 0, 0)};
    flat.AryLwpEle = {V("7F", 0, 0, 0, 1e-300), V("7F", 1000, 0, 0)};
    ConvertEntitiesToLines(flat);
    ASSERT_EQ(flat.AryLine.size(), 1u);
    EXPECT_EQ(flat.AryLine[0].ed.x, 1000);
}

TEST(Acquisition, ClearAryEntKeepsTheConvertedModel) {
    Workspace ws;
    TCircleEnt c;
    c.hankei = 10;
    c.code210 = kUp;
    ws.AryCircle = {c};
    ws.AryLwpEle = {V("1", 0, 0, 0)};
    ConvertEntitiesToLines(ws);
    ws.AryTatemono = ws.AryLine;
    ws.ClearAryEnt();
    EXPECT_TRUE(ws.AryCircle.empty());
    EXPECT_EQ(ws.AryLine.size(), 35u);
    EXPECT_EQ(ws.AryTatemono.size(), 35u);
    EXPECT_EQ(ws.AryLwpEle.size(), 1u);
}

}  // namespace
}  // namespace zuka

#include "sky/outline_factor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "app/sky_drawing.h"
#include "../buildings.h"
#include "cad/host/drawing_host.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

using testing_buildings::Box;
using testing_buildings::Prism;

TTenkuRituParams TypeB(TAcadPoint point) {
    TTenkuRituParams p;
    p.point = point;
    p.mentakaMm = 0;
    p.scale = 100;
    p.radius = 25;  // R = 2500 drawing units
    p.kitaDeg = 90;
    return p;
}

// The sky factor of a point 10 m south of the middle of a 10 m x 10 m box whose top stands t
// above the measurement plane, integrated directly: every ray toward the box meets the top of
// its near face (10 m ahead) first, so the covered band at azimuth phi runs from R cos h(phi)
// to the rim, with cos h = k / sqrt(k^2 + t^2), k = 10000 / sin(phi).
double BoxSkyFactorPercent(double t) {
    const double r = 25;  // paper mm
    const double a0 = std::atan2(10000.0, 5000.0);
    const double a1 = std::atan2(10000.0, -5000.0);
    const int steps = 200000;
    const double da = (a1 - a0) / steps;
    double covered = 0;
    for (int i = 0; i < steps; ++i) {
        const double phi = a0 + (i + 0.5) * da;
        const double k = 10000 / std::sin(phi);
        const double rc = r * k / std::sqrt(k * k + t * t);
        covered += (r * r - rc * rc) / 2 * da;
    }
    const double circle = r * r * kPi;
    return (circle - covered) / circle * 100;
}

// The sky factor in percent of a map of radius 1 for the point p on the plane h, integrated
// over the azimuth without any outline: in every direction the highest elevation of the walls
// that the horizontal ray meets (the wall top's height interpolated between its ends) covers
// the band from cos(elevation) out to the rim, an area of sin^2(elevation) / 2 per radian.
// 2^20 midpoint steps: each wall end is a jump of the integrand, which such a step misjudges by
// at most a hundred-thousandth of a percentage point.
double IntegratedSkyFactor(const std::vector<TLineEnt>& walls, TAcadPoint p, double h) {
    const int steps = 1 << 20;
    const double da = kTwoPi / steps;
    double covered = 0;
    for (int i = 0; i < steps; ++i) {
        const double a = (i + 0.5) * da;
        const double dx = std::cos(a);
        const double dy = std::sin(a);
        double best = 0;  // the largest tan(elevation)
        for (const TLineEnt& w : walls) {
            // p + s (dx, dy) = w.st + u (w.ed - w.st), s > 0, 0 <= u <= 1.
            const double ex = w.ed.x - w.st.x;
            const double ey = w.ed.y - w.st.y;
            const double den = dx * ey - dy * ex;
            if (den == 0) continue;
            const double qx = w.st.x - p.x;
            const double qy = w.st.y - p.y;
            const double s = (qx * ey - qy * ex) / den;
            const double u = (qx * dy - qy * dx) / den;
            if (s <= 0 || u < 0 || u > 1) continue;
            const double t = w.st.z + u * (w.ed.z - w.st.z) - h;
            best = std::max(best, t / s);
        }
        covered += best * best / (1 + best * best) / 2 * da;  // sin^2 = tan^2 / (1 + tan^2)
    }
    return (kPi - covered) / kPi * 100;
}

TEST(OutlineFactor, InputConversions) {
    EXPECT_DOUBLE_EQ(MentakaToMm("1.5"), 1500);
    EXPECT_DOUBLE_EQ(MentakaToMm("abc"), 0);
    EXPECT_DOUBLE_EQ(MentakaToMm(""), 0);
    EXPECT_EQ(TenkuRecalcType(25, 100), 1);
    EXPECT_EQ(TenkuRecalcType(100, 25), 0);
    EXPECT_EQ(TenkuRecalcType(50, 50), 1);  // equal radii: type B
}

// The box outline closes inside the circle and its three sky factors bracket the integral:
// inscribed below AREA below circumscribed. Turning true north or moving the whole scene
// changes none of them (negative drawing coordinates included); a raised plane sees the box lower.
// With north at 45° the ray through the middle of the near edge passes exactly through a vertex of
// the outline, where rounding once lost the division point and with it the match with the other
// rows.
TEST(OutlineFactor, BoxFactorsInOrder) {
    struct Row {
        const char* name;
        double dx;
        double kitaDeg;
        double mentakaMm;
    };
    const Row rows[] = {
        {"north up", 0, 90, 0},
        {"north turned to 45°", 0, 45, 0},
        {"north turned to 200°", 0, 200, 0},
        {"scene moved east", 30000, 90, 0},
        {"scene in negative coordinates", -120000, 90, 0},
        {"plane at 10 m", 0, 90, 10000},
        {"plane at 10 m, north at 45°", 0, 45, 10000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const double want = BoxSkyFactorPercent(20000 - row.mentakaMm);  // 88.37 %, 94.70 %
        Workspace ws;
        ws.AryTatemono = Box(45000 + row.dx, 60000, 55000 + row.dx, 70000, 20000);
        TTenkuRituParams p = TypeB({50000 + row.dx, 50000, 0});
        p.kitaDeg = row.kitaDeg;
        p.mentakaMm = row.mentakaMm;
        ASSERT_TRUE(GetTenkuLine(ws, p));

        const std::vector<TLineEnt>& outline = ws.AryLine;
        ASSERT_GT(outline.size(), 4u);
        for (std::size_t i = 0; i < outline.size(); ++i) {
            EXPECT_TRUE(SamePoint2D(outline[i].ed, outline[(i + 1) % outline.size()].st, 1e-5));
            EXPECT_LE(Dist2D({}, outline[i].st), 2500 + 1e-6);
        }

        double naisetu = 0;
        double gaisetu = 0;
        double areacmd = 0;
        ASSERT_TRUE(GetTenkuRitu(ws, p, naisetu, gaisetu, areacmd, PolygonArea));
        EXPECT_TRUE(ws.AryLine.empty());
        EXPECT_LT(naisetu, areacmd);
        EXPECT_LT(areacmd, gaisetu);
        EXPECT_NEAR(areacmd, want, 0.02);
        EXPECT_LT(naisetu, want);
        EXPECT_GT(gaisetu, want);
        EXPECT_NEAR(naisetu, want, 0.5);
        EXPECT_NEAR(gaisetu, want, 0.5);
    }
}

// The three factors against the integral for a box, an L-shaped building, two boxes with open
// sky between them (one pair with the gap due west) and a lean-to roof whose low eaves end below
// the plane. The triangles must bracket the integral: the inscribed factor below it, the
// circumscribed one above, each within 0.005 percentage points that the outline may lose to it (the
// projected walls are traced as 250 mm chords, which leave at most a few thousandths of a point,
// and every triangle area and the projected area are rounded to 0.001 mm² of the 1963.495 mm²
// circle). The polygon area (AREA) lies within 0.2 points of it.
TEST(OutlineFactor, FactorsBracketTheIntegral) {
    struct Scene {
        const char* name;
        std::vector<TLineEnt> walls;
        TAcadPoint point;
        double mentakaMm;
    };
    auto both = [](std::vector<TLineEnt> a, const std::vector<TLineEnt>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<TLineEnt> twoBoxes =
        both(Box(38000, 60000, 46000, 66000, 18000), Box(55000, 58000, 60000, 70000, 12000));
    // Due west, the leftmost point of the map, lies in the open sky between them: the walk
    // around the outline starts on the rim there, which it passes twice.
    const std::vector<TLineEnt> westGap =
        both(Box(30000, 52000, 36000, 58000, 15000), Box(28000, 40000, 36000, 48000, 10000));
    const Scene scenes[] = {
        {"box", Box(45000, 60000, 55000, 70000, 20000), {50000, 50000, 0}, 0},
        {"box, plane at 4 m", Box(45000, 60000, 55000, 70000, 20000), {43000, 52000, 0}, 4000},
        {"L-shape",
         Prism({{40000, 60000, 15000},
                {60000, 60000, 15000},
                {60000, 66000, 15000},
                {46000, 66000, 15000},
                {46000, 80000, 15000},
                {40000, 80000, 15000}}),
         {52000, 50000, 0},
         0},
        {"two boxes with open sky between", twoBoxes, {50000, 50000, 0}, 0},
        {"open sky due west between two boxes", westGap, {50000, 50000, 0}, 0},
        {"lean-to roof through the plane",
         Prism({{45000, 60000, 2000},
                {55000, 60000, 2000},
                {55000, 68000, 14000},
                {45000, 68000, 14000}}),
         {50000, 52000, 0},
         4000},
    };
    for (const Scene& sc : scenes) {
        SCOPED_TRACE(sc.name);
        const double exact = IntegratedSkyFactor(sc.walls, sc.point, sc.mentakaMm);
        Workspace ws;
        ws.AryTatemono = sc.walls;
        TTenkuRituParams p = TypeB(sc.point);
        p.mentakaMm = sc.mentakaMm;
        ASSERT_TRUE(GetTenkuLine(ws, p));
        double naisetu = 0;
        double gaisetu = 0;
        double areacmd = 0;
        ASSERT_TRUE(GetTenkuRitu(ws, p, naisetu, gaisetu, areacmd, PolygonArea));
        std::printf("%-34s exact %.4f  inscribed %+.4f  AREA %+.4f  circumscribed %+.4f\n", sc.name,
                    exact, naisetu - exact, areacmd - exact, gaisetu - exact);
        EXPECT_LT(naisetu, exact + 0.005);
        EXPECT_GT(gaisetu, exact - 0.005);
        EXPECT_NEAR(areacmd, exact, 0.2);
        EXPECT_LT(naisetu, gaisetu);
    }
}

// A hand-made outline in the map frame (R = 2500): the quarter between the chord A(2000, 0)-
// B(0, 2000) and the rim, counter-clockwise from A. Its corners are A and B (the rim joints lie
// on the circle, drawn in 0.25° steps as the horizon arc is, so that no ray of length R - aT
// reaches them); the 90° span gets ten triangles of 9° whose bases lie on the chord, so both
// sets cover exactly the triangle O-A-B, 200 paper mm²: covered = 490.874 - 200 = 290.874,
// factor = (1963.495 - 290.874) / 1963.495 * 100. Turning the figure changes nothing.
TEST(OutlineFactor, TrianglesOfAHandMadeOutline) {
    const double want = (1963.495 - 290.874) / 1963.495 * 100;  // 85.1857...
    const double turns[] = {0, 200};
    for (const double turnDeg : turns) {
        SCOPED_TRACE(turnDeg);
        std::vector<TAcadPoint> pts = {{2000, 0, 0}};
        for (int q = 0; q <= 360; ++q) pts.push_back(PolarPoint({}, q * 0.25 * kPi / 180, 2500));
        pts.push_back({0, 2000, 0});
        Workspace ws;
        for (std::size_t i = 0; i < pts.size(); ++i) {
            TLineEnt s;
            s.st = RotatePoint(pts[i], -turnDeg * kPi / 180);
            s.ed = RotatePoint(pts[(i + 1) % pts.size()], -turnDeg * kPi / 180);
            ws.AryLine.push_back(s);
        }
        double naisetu = 0;
        double gaisetu = 0;
        double areacmd = 0;
        ASSERT_TRUE(GetTenkuRitu(ws, TypeB({}), naisetu, gaisetu, areacmd, PolygonArea));
        EXPECT_NEAR(naisetu, want, 1e-3);
        EXPECT_NEAR(gaisetu, want, 1e-3);
        EXPECT_NEAR(areacmd, want, 1e-3);  // the rim chords cut off 0.002 mm²
    }
}

// A point that the buildings stand around by half a turn or more has no map outline: the
// horizon would be closed the shorter way round and every area measured on it would be wrong.
TEST(OutlineFactor, PointAmongTheBuildingsIsRefused) {
    struct Row {
        const char* name;
        TAcadPoint point;
        bool enclosed;
    };
    // Boxes to the north, west and south of (50000, 50000); the east is open.
    std::vector<TLineEnt> walls = Box(40000, 60000, 60000, 66000, 12000);
    for (const auto& b :
         {Box(30000, 40000, 36000, 60000, 12000), Box(40000, 34000, 60000, 40000, 12000)})
        walls.insert(walls.end(), b.begin(), b.end());
    const Row rows[] = {
        {"among three sides", {50000, 50000, 0}, true},
        {"inside a footprint", {50000, 63000, 0}, true},
        {"east of them all", {75000, 50000, 0}, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Workspace ws;
        ws.AryTatemono = walls;
        bool enclosed = !r.enclosed;
        const bool traced = GetTenkuLine(ws, TypeB(r.point), nullptr, &enclosed);
        EXPECT_EQ(enclosed, r.enclosed);
        EXPECT_EQ(traced, !r.enclosed);
        if (r.enclosed) {
            EXPECT_TRUE(ws.AryLine.empty());
        }
    }
}

// Nothing stands above the plane: no outline, no triangles, and the AREA value is the open sky.
// A wall lower than the plane beside a box adds nothing to it.
TEST(OutlineFactor, WallsAtOrBelowThePlane) {
    Workspace ws;
    ws.AryTatemono = Box(45000, 60000, 55000, 70000, 4000);
    TTenkuRituParams p = TypeB({50000, 50000, 0});
    p.mentakaMm = MentakaToMm("4");
    // Nothing stands above the plane: the whole sky, 100 % by every method.
    EXPECT_TRUE(GetTenkuLine(ws, p));
    EXPECT_TRUE(ws.AryLine.empty());
    double naisetu = -1;
    double gaisetu = -1;
    double areacmd = -1;
    EXPECT_TRUE(GetTenkuRitu(ws, p, naisetu, gaisetu, areacmd, PolygonArea));
    EXPECT_EQ(std::vector<double>({naisetu, areacmd, gaisetu}), std::vector<double>(3, 100));

    auto factors = [&p](const std::vector<TLineEnt>& walls) {
        Workspace w;
        w.AryTatemono = walls;
        std::vector<double> f(3, -1);
        EXPECT_TRUE(GetTenkuLine(w, p));
        EXPECT_TRUE(GetTenkuRitu(w, p, f[0], f[1], f[2], PolygonArea));
        return f;
    };
    std::vector<TLineEnt> walls = Box(45000, 60000, 55000, 70000, 20000);
    const std::vector<double> alone = factors(walls);
    const std::vector<TLineEnt> low = Box(30000, 52000, 40000, 58000, 3000);
    walls.insert(walls.end(), low.begin(), low.end());
    EXPECT_EQ(factors(walls), alone);
}

// Without a CAD to measure the polygon the AREA value is 100.000; the triangle factors stay.
TEST(OutlineFactor, NoCadArea) {
    Workspace ws;
    ws.AryTatemono = Box(45000, 60000, 55000, 70000, 20000);
    const TTenkuRituParams p = TypeB({50000, 50000, 0});
    ASSERT_TRUE(GetTenkuLine(ws, p));
    const Workspace again = ws;
    double naisetu = 0;
    double gaisetu = 0;
    double areacmd = 0;
    ASSERT_TRUE(GetTenkuRitu(ws, p, naisetu, gaisetu, areacmd));
    EXPECT_DOUBLE_EQ(areacmd, 100);
    double n2 = 0;
    double g2 = 0;
    double a2 = 0;
    ws = again;
    ASSERT_TRUE(GetTenkuRitu(
        ws, p, n2, g2, a2, [](const std::vector<TAcadPoint>&) { return std::optional<double>(); }));
    EXPECT_DOUBLE_EQ(a2, 100);
    EXPECT_EQ(n2, naisetu);
    EXPECT_EQ(g2, gaisetu);
}

// The CAD measures a 2000 x 1000 rectangle placed at the map centre and leaves nothing behind.
TEST(OutlineFactor, MeasureTenkuAreaInHost) {
    DrawingHost host;
    host.New();
    const std::vector<TAcadPoint> pts = {{0, 0, 0}, {2000, 0, 0}, {2000, 1000, 0}, {0, 1000, 0}};
    const std::optional<double> area =
        MeasureTenkuArea(host, host.ActiveDocument(), "ZUKA_TENKU", {50000, 40000, 0}, pts);
    ASSERT_TRUE(area.has_value());
    EXPECT_NEAR(*area, 2e6, 1e-6);
    EXPECT_EQ(host.ActiveDocument().ModelSpace().Count(), 0);
    EXPECT_NEAR(PolygonArea(pts), 2e6, 1e-6);
}

}  // namespace
}  // namespace zuka

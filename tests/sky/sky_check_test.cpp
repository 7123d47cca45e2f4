#include "sky/sky_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace zuka {
namespace {

// Exact values: sky_factor_cases.py of the regulation note (Lambert contour integral).

std::vector<TAcadPoint> Rect(double x0, double y0, double x1, double y1) {
    return {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}};
}

// The walls of a flat-roofed box, mm.
std::vector<TLineEnt> Box(double x0, double y0, double x1, double y1, double h) {
    const std::vector<TAcadPoint> r = Rect(x0, y0, x1, y1);
    std::vector<TLineEnt> walls;
    for (std::size_t i = 0; i < r.size(); ++i) {
        TLineEnt w;
        w.st = {r[i].x, r[i].y, h};
        w.ed = {r[(i + 1) % 4].x, r[(i + 1) % 4].y, h};
        walls.push_back(w);
    }
    return walls;
}

TLineEnt Edge(double x0, double y0, double x1, double y1) {
    TLineEnt e;
    e.st = {x0, y0, 0};
    e.ed = {x1, y1, 0};
    return e;
}

// TC1: site 20 x 15 m on a 6 m road along y = 0, 1住, FAR 200 %, a 19 m box x 4-16, y 3-12.
TSkyCheckInput Tc1(double margin = 0) {
    TSkyCheckInput in;
    in.site = Rect(0, 0, 20000, 15000);
    in.roads.push_back({6, 0, {Edge(0, 0, 20000, 0)}});
    in.zone = *FindSkyZone("1住");
    in.farPct = 200;
    in.kinds = {SkyKind::Road};
    in.planned = Box(4000, 3000, 16000, 12000, 19000);
    in.marginPct = margin;
    return in;
}

const double kTc1Conform[] = {90.80477, 86.69976, 84.28496, 83.32709,
                              83.32709, 84.28496, 86.69976, 90.80477};
const double kTc1Planned[] = {90.81433, 89.30377, 87.09926, 85.31068,
                              85.31068, 87.09926, 89.30377, 90.81433};

TEST(SkyCheck, Tc1PointsConformingAndVerdicts) {
    const TSkyCheckResult r = CheckSkyFactor(Tc1());
    ASSERT_FALSE(r.refusal) << *r.refusal;
    ASSERT_EQ(r.rows.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        const TSkyCheckRow& row = r.rows[i];
        EXPECT_NEAR(row.at.x, 20000.0 * static_cast<double>(i) / 7, 1e-6);
        EXPECT_NEAR(row.at.y, -6000, 1e-6);
        EXPECT_NEAR(row.conformExact, kTc1Conform[i], 2e-5);
        EXPECT_NEAR(row.plannedExact, kTc1Planned[i], 2e-5);
        // The safe side: conforming at or just above its exact value, planned at or below.
        EXPECT_GE(row.conformTriangles, row.conformExact - 1e-9);
        EXPECT_LT(row.conformTriangles, row.conformExact + 0.05);
        EXPECT_LE(row.plannedTriangles, row.plannedExact + 1e-9);
        EXPECT_TRUE(row.pass);
    }
    EXPECT_TRUE(r.Passes());
    // The ends are closest (exact difference 0.00956); they needed a finer division than 10°.
    EXPECT_TRUE(r.rows[0].closest || r.rows[7].closest);
    EXPECT_LT(r.rows[0].divisionDeg, 10);
    EXPECT_EQ(r.rows[3].divisionDeg, 10);
    // The conforming building: the site within 20 m of the opposite line, 7.5 m to 25 m.
    ASSERT_EQ(r.conforming.size(), 1u);
    ASSERT_EQ(r.conforming[0].footprints.size(), 1u);
    double yMax = 0;
    for (const TAcadPoint& q : r.conforming[0].footprints[0]) {
        yMax = std::max(yMax, q.y);
        EXPECT_NEAR(q.z, 1.25 * (q.y + 6000), 1e-6);
    }
    EXPECT_NEAR(yMax, 14000, 1e-6);
}

TEST(SkyCheck, Tc1MarginFailsTheEnds) {
    const TSkyCheckResult r = CheckSkyFactor(Tc1(0.02));
    ASSERT_EQ(r.rows.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.rows[i].pass, i != 0 && i != 7);
        EXPECT_EQ(r.rows[i].passExact, i != 0 && i != 7);
    }
    EXPECT_FALSE(r.Passes());
    // A roof at 18 m passes both ends by 0.316 on the exact values.
    TSkyCheckInput low = Tc1(0.02);
    low.planned = Box(4000, 3000, 16000, 12000, 18000);
    const TSkyCheckResult lr = CheckSkyFactor(low);
    EXPECT_NEAR(lr.rows[0].plannedExact, 91.12195, 2e-5);
    EXPECT_TRUE(lr.Passes());
}

// Rows of the note: point counts, spacing, conforming heights and exact conforming values.
TEST(SkyCheck, RoadRowsOfTheNote) {
    struct Row {
        const char* name;
        const char* zone;
        double far;
        double width;
        double setback;
        double frontage;
        double depth;
        double roadLevel;
        int points;
        double pointY;                // the row's y, mm
        double pointZ;                // the points' z above the site ground, mm
        double yMin, yMax;            // the conforming footprint, mm
        double zFront, zBack;         // the conforming heights there, mm above the site ground
        std::vector<double> conform;  // exact, the first half of the row
    };
    const Row rows[] = {
        {"TC2 setback",
         "1住",
         200,
         6,
         2,
         20000,
         15000,
         0,
         8,
         -8000,
         0,
         2000,
         12000,
         12500,
         25000,
         {91.28569, 88.88032, 87.11056, 86.21454}},
        {"TC4 W6 commercial",
         "商業",
         600,
         6,
         0,
         18000,
         20000,
         0,
         7,
         -6000,
         0,
         0,
         14000,
         9000,
         30000,
         {}},
        {"TC4 W8 commercial",
         "商業",
         600,
         8,
         0,
         18000,
         20000,
         0,
         6,
         -8000,
         0,
         0,
         17000,
         12000,
         37500,
         {89.56028, 85.42730, 83.24609}},
        {"TC4 short frontage",
         "商業",
         600,
         6,
         0,
         2500,
         20000,
         0,
         2,
         -6000,
         0,
         0,
         14000,
         9000,
         30000,
         {}},
        {"TC5 raised site",
         "1住",
         200,
         6,
         0,
         20000,
         15000,
         3,
         8,
         -6000,
         -2000,
         0,
         14000,
         5500,
         23000,
         {90.80477, 86.69976, 84.28496, 83.32709}},
    };
    for (const Row& c : rows) {
        SCOPED_TRACE(c.name);
        TSkyCheckInput in;
        in.site = Rect(0, 0, c.frontage, c.depth);
        in.roads.push_back({c.width, c.setback, {Edge(c.frontage, 0, 0, 0)}});
        in.zone = *FindSkyZone(c.zone);
        in.farPct = c.far;
        in.kinds = {SkyKind::Road};
        in.roadLevelM = c.roadLevel;
        in.planned = Box(1000, 3000, 2000, 4000, 5000);
        const TSkyCheckResult r = CheckSkyFactor(in);
        ASSERT_FALSE(r.refusal) << *r.refusal;
        ASSERT_EQ(r.rows.size(), static_cast<std::size_t>(c.points));
        const double spacing = c.frontage / (c.points - 1);
        for (std::size_t i = 0; i < r.rows.size(); ++i) {
            EXPECT_NEAR(r.rows[i].at.x, spacing * static_cast<double>(i), 1e-6);
            EXPECT_NEAR(r.rows[i].at.y, c.pointY, 1e-6);
            EXPECT_NEAR(r.rows[i].at.z, c.pointZ, 1e-6);
        }
        for (std::size_t i = 0; i < c.conform.size(); ++i) {
            EXPECT_NEAR(r.rows[i].conformExact, c.conform[i], 2e-5);
            EXPECT_GE(r.rows[i].conformTriangles, r.rows[i].conformExact - 1e-9);
        }
        ASSERT_EQ(r.conforming.size(), 1u);
        double yMin = 1e300, yMax = -1e300, zFront = 0, zBack = 0;
        for (const TAcadPoint& q : r.conforming[0].footprints[0]) {
            if (q.y < yMin) {
                yMin = q.y;
                zFront = q.z;
            }
            if (q.y > yMax) {
                yMax = q.y;
                zBack = q.z;
            }
        }
        EXPECT_NEAR(yMin, c.yMin, 1e-6);
        EXPECT_NEAR(yMax, c.yMax, 1e-6);
        EXPECT_NEAR(zFront, c.zFront, 1e-6);
        EXPECT_NEAR(zBack, c.zBack, 1e-6);
    }
}

// TC3: the 12 m rule: 1.25 up to 1.25 W = 18.75 m from the opposite line, 1.5 beyond.
TEST(SkyCheck, TwelveMetreRuleStep) {
    TSkyCheckInput in;
    in.site = Rect(0, 0, 30000, 20000);
    in.roads.push_back({15, 0, {Edge(0, 0, 30000, 0)}});
    in.zone = *FindSkyZone("2住");
    in.farPct = 300;
    in.kinds = {SkyKind::Road};
    const TSkyCheckResult r = CheckSkyFactor(in);
    ASSERT_FALSE(r.refusal);
    EXPECT_EQ(r.rows.size(), 5u);
    ASSERT_EQ(r.conforming.size(), 1u);
    EXPECT_TRUE(r.conforming[0].step);
    ASSERT_EQ(r.conforming[0].footprints.size(), 2u);
    for (const auto& piece : r.conforming[0].footprints)
        for (const TAcadPoint& q : piece) {
            EXPECT_LE(q.y, 10000 + 1e-6);
            const double d = q.y + 15000;
            const bool lower = &piece == &r.conforming[0].footprints[0];
            EXPECT_NEAR(q.z, (lower ? 1.25 : 1.5) * d, 1e-6);
        }
    // Every conforming figure on the safe side of its exact value.
    for (const TSkyCheckRow& row : r.rows) EXPECT_GE(row.conformTriangles, row.conformExact);
}

// A site wider behind its 10 m frontage (an L: 20 m wide from 5 m in): 垂直 stops the row and
// the conforming building at the frontage's ends, 沿線 carries both to the site's far side
// (x = 20 m) on the deemed opposite line, W / 2 = 3 m apart at most.
TEST(SkyCheck, CornersPerpendicularOrAlongTheLine) {
    struct Row {
        SkyCorners corners;
        std::size_t points;
        double lastX;  // mm, the row's last point and the conforming building's far side
        const char* note;
    };
    const Row rows[] = {
        {SkyCorners::Perpendicular, 5, 10000, "端部の扱い: 垂直"},
        {SkyCorners::AlongLine, 8, 20000, "端部の扱い: 沿線"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(SkyCornersName(row.corners));
        TSkyCheckInput in;
        in.site = {{0, 0, 0},         {10000, 0, 0},     {10000, 5000, 0},
                   {20000, 5000, 0},  {20000, 15000, 0}, {0, 15000, 0}};
        in.roads.push_back({6, 0, {Edge(0, 0, 10000, 0)}});
        in.zone = *FindSkyZone("1住");
        in.farPct = 200;
        in.kinds = {SkyKind::Road};
        in.planned = Box(2000, 2000, 8000, 8000, 10000);
        in.corners = row.corners;
        const TSkyCheckResult r = CheckSkyFactor(in);
        ASSERT_FALSE(r.refusal) << *r.refusal;
        ASSERT_EQ(r.rows.size(), row.points);
        EXPECT_NEAR(r.rows.front().at.x, 0, 1e-6);
        EXPECT_NEAR(r.rows.back().at.x, row.lastX, 1e-6);
        for (const TSkyCheckRow& p : r.rows) EXPECT_NEAR(p.at.y, -6000, 1e-6);
        double farX = 0;
        for (const auto& fp : r.conforming.at(0).footprints)
            for (const TAcadPoint& q : fp) farX = std::max(farX, q.x);
        EXPECT_NEAR(farX, row.lastX, 1e-6);
        EXPECT_EQ(r.notes.at(0).rfind(row.note, 0), 0u) << r.notes.at(0);
    }
    EXPECT_EQ(FindSkyCorners("沿線"), SkyCorners::AlongLine);
    EXPECT_FALSE(FindSkyCorners("回り込み"));
}

// Beyond the application distance the slant does not reach the site: no points (TC4, W 22).
TEST(SkyCheck, RoadBeyondApplicationDistance) {
    TSkyCheckInput in;
    in.site = Rect(0, 0, 18000, 20000);
    in.roads.push_back({22, 0, {Edge(0, 0, 18000, 0)}});
    in.zone = *FindSkyZone("商業");
    in.farPct = 400;
    in.kinds = {SkyKind::Road};
    const TSkyCheckResult r = CheckSkyFactor(in);
    EXPECT_FALSE(r.refusal);
    EXPECT_TRUE(r.rows.empty());
}

// A very long front wall of height a x 6 m, 6 m away: (1 + 1/sqrt(1 + a^2)) / 2, and the
// triangle figures bracket it at every division.
TEST(SkyCheck, LongFrontageLimits) {
    struct Row {
        double a;
        double limit;
    };
    for (const Row& c : {Row{1.25, 81.235}, Row{1.5, 77.735}, Row{2.5, 68.570}}) {
        SCOPED_TRACE(c.a);
        TLineEnt wall;
        wall.st = {-1e8, 0, c.a * 6000};
        wall.ed = {1e8, 0, c.a * 6000};
        const TAcadPoint p{0, -6000, 0};
        const double exact = ExactSkyFactor({wall}, p);
        EXPECT_NEAR(exact, 100 * (1 + 1 / std::sqrt(1 + c.a * c.a)) / 2, 1e-5);
        EXPECT_NEAR(exact, c.limit, 5e-4);
        for (const double div : kSkyCheckDivisionsDeg) {
            const TSkyTriangleFigures f = TriangleSkyFactors({wall}, p, div);
            EXPECT_LE(f.inscribed, exact);
            EXPECT_GE(f.circumscribed, exact);
            // The gap closes with the square of the division, down to the rounding of the
            // triangles (0.001 mm² each, up or down).
            EXPECT_LT(f.circumscribed - f.inscribed, div * div * 0.0045 + 0.0025);
        }
    }
}

// The bracket holds for an irregular group seen from many sides: towers, a sloped roof edge,
// one crossing the point's level.
TEST(SkyCheck, TrianglesBracketTheExactValue) {
    std::vector<TLineEnt> tops = Box(0, 0, 8000, 5000, 30000);
    for (const TLineEnt& w : Box(10000, -4000, 14000, 9000, 12000)) tops.push_back(w);
    TLineEnt slope;
    slope.st = {-6000, 12000, -1000};
    slope.ed = {6000, 14000, 20000};
    tops.push_back(slope);
    for (const TAcadPoint p : {TAcadPoint{4000, -9000, 0}, TAcadPoint{-5000, 3000, 1500},
                               TAcadPoint{20000, 20000, 0}, TAcadPoint{9000, 2500, 0}}) {
        const double exact = ExactSkyFactor(tops, p);
        for (const double div : kSkyCheckDivisionsDeg) {
            const TSkyTriangleFigures f = TriangleSkyFactors(tops, p, div);
            EXPECT_LE(f.inscribed, exact + 1e-9) << p.x << "," << p.y << " " << div;
            EXPECT_GE(f.circumscribed, exact - 1e-9) << p.x << "," << p.y << " " << div;
        }
    }
}

// TC6-TC8: adjacent land (1.25 and 2.5) and north rows; the conforming values by G6 equal the
// front wall's alone.
TEST(SkyCheck, AdjacentAndNorthRows) {
    struct Row {
        const char* name;
        const char* zone;
        SkyKind kind;
        double width;  // the boundary along y = depth, from x = width to 0 (the site's north side)
        int points;
        double lineY;  // the points' y beyond the boundary
        double rise;   // the conforming building's height on the boundary, mm
        std::vector<double> conform;
    };
    const Row rows[] = {
        {"TC6 adjacent 1.25",
         "1住",
         SkyKind::Adjacent,
         20000,
         4,
         16000,
         20000,
         {92.33027, 89.96338}},
        {"TC7 adjacent 2.5",
         "商業",
         SkyKind::Adjacent,
         25000,
         6,
         12400,
         31000,
         {86.12717, 81.80160, 79.40894}},
        {"TC8 north low-rise",
         "1低",
         SkyKind::North,
         12000,
         13,
         4000,
         5000,
         {90.86486, 88.56842, 86.64164, 85.24012, 84.33729, 83.84389, 83.68802}},
        {"TC8 north mid-high", "1中高", SkyKind::North, 12000, 7, 8000, 10000, {}},
    };
    const double depth = 10000;
    for (const Row& c : rows) {
        SCOPED_TRACE(c.name);
        TSkyCheckInput in;
        in.site = Rect(0, 0, c.width, depth);
        in.roads.push_back({6, 0, {Edge(0, 0, c.width, 0)}});
        in.zone = *FindSkyZone(c.zone);
        in.kinds = {c.kind};
        in.planned = Box(1000, 1000, 3000, 3000, 4000);
        const TSkyCheckResult r = CheckSkyFactor(in);
        ASSERT_FALSE(r.refusal) << *r.refusal;
        // The row of the north side (adjacent land: the first of the three boundaries is the
        // east side, then north, then west).
        std::vector<TSkyCheckRow> row;
        const std::string name = SkyKindName(c.kind) + (c.kind == SkyKind::Adjacent ? "2" : "1");
        for (const TSkyCheckRow& p : r.rows)
            if (p.row == name) row.push_back(p);
        ASSERT_EQ(row.size(), static_cast<std::size_t>(c.points));
        const double spacing = c.width / (c.points - 1);
        for (std::size_t i = 0; i < row.size(); ++i) {
            EXPECT_NEAR(row[i].at.x, c.width - spacing * static_cast<double>(i), 1e-6);
            EXPECT_NEAR(row[i].at.y, depth + c.lineY, 1e-6);
            EXPECT_GE(row[i].conformTriangles, row[i].conformExact - 1e-9);
        }
        for (std::size_t i = 0; i < c.conform.size(); ++i)
            EXPECT_NEAR(row[i].conformExact, c.conform[i], 2e-5);
        for (const TSkyConforming& cb : r.conforming) {
            if (cb.row != name) continue;
            for (const TAcadPoint& q : cb.footprints[0])
                EXPECT_NEAR(q.z, c.rise + cb.slope * (depth - q.y), 1e-6);
        }
    }
}

// A north boundary 22.62° off east-west: the line is the boundary moved due north by 4 m (a
// translation: 3.692 m away square to it), 13 m long, 14 points 1 m apart.
TEST(SkyCheck, SkewedNorthBoundary) {
    TSkyCheckInput in;
    in.site = {{0, -10000, 0}, {12000, -10000, 0}, {12000, 5000, 0}, {0, 0, 0}};
    in.zone = *FindSkyZone("1低");
    in.kinds = {SkyKind::North};
    in.planned = Box(2000, -8000, 6000, -4000, 7000);
    const TSkyCheckResult r = CheckSkyFactor(in);
    ASSERT_FALSE(r.refusal) << *r.refusal;
    ASSERT_EQ(r.rows.size(), 14u);
    for (std::size_t k = 0; k < 14; ++k) {
        // Counter-clockwise round the site: from (12, 5) back to (0, 0).
        const double j = static_cast<double>(13 - k);
        EXPECT_NEAR(r.rows[k].at.x, 12000 * j / 13, 1e-6);
        EXPECT_NEAR(r.rows[k].at.y, 4000 + 5000 * j / 13, 1e-6);
    }
    // The conforming top rises 1.25 per metre due south of the boundary.
    for (const TAcadPoint& q : r.conforming[0].footprints[0]) {
        const double yNorth = 5000.0 * q.x / 12000 - q.y;
        EXPECT_NEAR(q.z, 5000 + 1.25 * yNorth, 1e-6);
    }
    // Turning true north turns the north side: with north along +x the east side faces it.
    in.northDeg = 0;
    const TSkyCheckResult east = CheckSkyFactor(in);
    ASSERT_FALSE(east.rows.empty());
    for (const TSkyCheckRow& p : east.rows) EXPECT_NEAR(p.at.x, 16000, 1e-6);
}

// TC9: a corner site 30 m x 25 m, 商業 400 %, road A 12 m along the 30 m side (y = 0), road B
// 6 m along the 25 m side (x = 0). Region 1: within 24 m of A or more than 7 m from B; there B
// counts 12 m wide. Region 2: the 1 m x 7 m strip at the far corner, B alone at 6 m.
TEST(SkyCheck, TwoRoadsRegions) {
    TSkyCheckInput in;
    in.site = Rect(0, 0, 30000, 25000);
    in.roads.push_back({12, 0, {Edge(0, 0, 30000, 0)}});
    in.roads.push_back({6, 0, {Edge(0, 0, 0, 25000)}});
    in.zone = *FindSkyZone("商業");
    in.farPct = 400;
    in.kinds = {SkyKind::Road};
    in.planned = Box(10000, 10000, 20000, 20000, 20000);
    const TSkyCheckResult r = CheckSkyFactor(in);
    ASSERT_FALSE(r.refusal) << *r.refusal;
    struct Row {
        const char* name;
        int points;
        double x0, y0, x1, y1;  // the row's first and last point
        double width;           // the width the road counts with, mm
        double eMax;            // the conforming building's depth from the road, mm
    };
    const Row rows[] = {
        {"道路1-区域1", 6, 0, -12000, 30000, -12000, 12000, 8000},
        {"道路2-区域1", 5, -12000, 24000, -12000, 0, 12000, 8000},
        {"道路2-区域2", 2, -6000, 25000, -6000, 24000, 6000, 7000},
    };
    ASSERT_EQ(r.conforming.size(), 3u);
    for (const Row& c : rows) {
        SCOPED_TRACE(c.name);
        std::vector<TSkyCheckRow> pts;
        for (const TSkyCheckRow& p : r.rows)
            if (p.row == c.name) pts.push_back(p);
        ASSERT_EQ(pts.size(), static_cast<std::size_t>(c.points));
        EXPECT_NEAR(pts.front().at.x, c.x0, 1e-6);
        EXPECT_NEAR(pts.front().at.y, c.y0, 1e-6);
        EXPECT_NEAR(pts.back().at.x, c.x1, 1e-6);
        EXPECT_NEAR(pts.back().at.y, c.y1, 1e-6);
        for (const TSkyCheckRow& p : pts) EXPECT_GE(p.conformTriangles, p.conformExact - 1e-9);
        const bool alongA = std::string(c.name).rfind("道路1", 0) == 0;
        for (const TSkyConforming& cb : r.conforming) {
            if (cb.row != c.name) continue;
            for (const auto& piece : cb.footprints)
                for (const TAcadPoint& q : piece) {
                    const double e = alongA ? q.y : q.x;
                    EXPECT_LE(e, c.eMax + 1e-6);
                    EXPECT_NEAR(q.z, 1.5 * (c.width + e), 1e-6);
                }
        }
    }
}

// A site open to the road in a notch (a U standing on the road): the application range cuts
// its two arms apart. No wall of the conforming building may stand over the notch, which is
// not site; a bridge there once took sky from the points in front of it.
TEST(SkyCheck, NotchedSiteHasNoWallOverTheNotch) {
    TSkyCheckInput in;
    in.site = {{0, 0, 0},     {10000, 0, 0}, {10000, 10000, 0}, {20000, 10000, 0},
               {20000, 0, 0}, {30000, 0, 0}, {30000, 25000, 0}, {0, 25000, 0}};
    in.roads.push_back({6, 0, {Edge(0, 0, 10000, 0), Edge(20000, 0, 30000, 0)}});
    in.zone = *FindSkyZone("近商");
    in.farPct = 200;
    in.kinds = {SkyKind::Road};
    in.planned = Box(2000, 2000, 8000, 8000, 5000);
    TSkyCheckResult r = CheckSkyFactor(in);
    ASSERT_FALSE(r.refusal) << *r.refusal;
    // 20 m application distance on a 6 m road (FAR 200 % < 6 x 60): the conforming building
    // is 14 m deep, so the arms below y = 10 and the part above are one piece here; on a 12 m
    // road it is 8 m deep and cuts the arms apart.
    in.roads[0].widthM = 12;
    r = CheckSkyFactor(in);
    ASSERT_FALSE(r.refusal) << *r.refusal;
    ASSERT_EQ(r.conforming.size(), 1u);
    for (const TLineEnt& w : r.conforming[0].walls) {
        const double mx = (w.st.x + w.ed.x) / 2;
        const double my = (w.st.y + w.ed.y) / 2;
        EXPECT_FALSE(mx > 10000 + 1 && mx < 20000 - 1 && my < 10000 - 1)
            << w.st.x << "," << w.st.y << " - " << w.ed.x << "," << w.ed.y;
    }
    // A point in front of the notch (x = 12 m) sees the two arms only.
    const TSkyCheckRow* mid = nullptr;
    for (const TSkyCheckRow& p : r.rows)
        if (std::fabs(p.at.x - 12000) < 1) mid = &p;
    ASSERT_NE(mid, nullptr);
    const double h0 = 1.5 * 12000, h8 = 1.5 * 20000;
    const auto arm = [&](double x0, double x1) {
        const std::vector<TAcadPoint> q{{x0, 0, h0}, {x1, 0, h0}, {x1, 8000, h8}, {x0, 8000, h8}};
        std::vector<TLineEnt> w;
        for (std::size_t i = 0; i < 4; ++i) {
            TLineEnt e;
            e.st = q[i];
            e.ed = q[(i + 1) % 4];
            w.push_back(e);
        }
        return w;
    };
    std::vector<TLineEnt> both = arm(0, 10000);
    for (const TLineEnt& w : arm(20000, 30000)) both.push_back(w);
    EXPECT_NEAR(mid->conformExact, ExactSkyFactor(both, mid->at), 1e-6);
}

TEST(SkyCheck, RefusesWhatTheRulesCannotPlace) {
    struct Row {
        const char* name;
        void (*change)(TSkyCheckInput&);
        const char* says;
    };
    const Row rows[] = {
        {"no road", [](TSkyCheckInput& in) { in.roads.clear(); }, "道路に面する"},
        {"zero width", [](TSkyCheckInput& in) { in.roads[0].widthM = 0; }, "幅員"},
        {"negative setback", [](TSkyCheckInput& in) { in.roads[0].setbackM = -1; }, "後退距離"},
        {"no frontage", [](TSkyCheckInput& in) { in.roads[0].frontage.clear(); }, "道路に面する"},
        {"bent frontage",
         [](TSkyCheckInput& in) {
             in.roads[0].frontage = {Edge(0, 0, 10000, 0), Edge(10000, 0, 20000, 3000)};
         },
         "一直線"},
        {"three roads",
         [](TSkyCheckInput& in) {
             in.roads.push_back({4, 0, {Edge(0, 0, 0, 15000)}});
             in.roads.push_back({4, 0, {Edge(20000, 0, 20000, 15000)}});
         },
         "三以上の道路"},
        {"north in a residential zone", [](TSkyCheckInput& in) { in.kinds = {SkyKind::North}; },
         "北側"},
        {"no site", [](TSkyCheckInput& in) { in.site.resize(2); }, "敷地"},
        {"zero FAR", [](TSkyCheckInput& in) { in.farPct = 0; }, "容積率"},
        {"plan inside the setback", [](TSkyCheckInput& in) { in.roads[0].setbackM = 3.5; },
         "後退距離 3.5 m"},
    };
    for (const Row& c : rows) {
        SCOPED_TRACE(c.name);
        TSkyCheckInput in = Tc1();
        c.change(in);
        const TSkyCheckResult r = CheckSkyFactor(in);
        ASSERT_TRUE(r.refusal);
        EXPECT_NE(r.refusal->find(c.says), std::string::npos) << *r.refusal;
        EXPECT_FALSE(r.Passes());
    }
    EXPECT_FALSE(FindSkyZone("1種住居"));
    EXPECT_EQ(FindSkyZone("第一種住居地域")->name, "1住");
}

TEST(SkyCheck, ZoneTable) {
    const TSkyZone res = *FindSkyZone("1住");
    const TSkyZone com = *FindSkyZone("商業");
    EXPECT_EQ(ApplicationDistanceM(res, 200), 20);
    EXPECT_EQ(ApplicationDistanceM(res, 300), 25);
    EXPECT_EQ(ApplicationDistanceM(res, 500), 35);
    EXPECT_EQ(EffectiveFar(com, 600, 6), 360);  // 6 m x 60
    EXPECT_EQ(ApplicationDistanceM(com, 360), 20);
    EXPECT_EQ(EffectiveFar(com, 600, 8), 480);
    EXPECT_EQ(ApplicationDistanceM(com, 480), 25);
    EXPECT_EQ(EffectiveFar(res, 300, 12), 300);
    EXPECT_EQ(RoadSlope(res), 1.25);
    EXPECT_EQ(RoadSlope(com), 1.5);
    EXPECT_TRUE(TwelveMetreRule(res, 12));
    EXPECT_FALSE(TwelveMetreRule(res, 11.9));
    EXPECT_FALSE(TwelveMetreRule(com, 15));
}

}  // namespace
}  // namespace zuka

#include "sky/kyoukaisen.h"

#include <gtest/gtest.h>

#include <cmath>

#include "geom/primitives.h"

namespace zuka {
namespace {

// The closed polygon through the corners, as the converted selection of a closed polyline.
std::vector<TLineEnt> Closed(const std::vector<TAcadPoint>& corners) {
    std::vector<TLineEnt> s(corners.size());
    for (std::size_t i = 0; i < corners.size(); ++i) {
        s[i].st = corners[i];
        s[i].ed = corners[(i + 1) % corners.size()];
    }
    return s;
}

double DistToSite(const std::vector<TAcadPoint>& corners, TAcadPoint p) {
    double best = 1e300;
    for (std::size_t i = 0; i < corners.size(); ++i)
        best = std::min(best, DistToSegment2D(p, corners[i], corners[(i + 1) % corners.size()]));
    return best;
}

// Every vertex of the line, and the middle of every piece between two vertices, lies d from
// the site: the line is the boundary of the grown site, without a loop inside it.
void ExpectOnGrownSite(const TKyoukaiLine& line, const std::vector<TAcadPoint>& corners, double d) {
    const std::vector<TKyoukaiVertex>& v = line.vertices;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const TAcadPoint a{v[i].x, v[i].y, 0};
        const TAcadPoint b{v[(i + 1) % v.size()].x, v[(i + 1) % v.size()].y, 0};
        EXPECT_NEAR(DistToSite(corners, a), d, 1e-6) << i;
        TAcadPoint mid{(a.x + b.x) / 2, (a.y + b.y) / 2, 0};
        if (v[i].arc && v[i].bulge != 0) {
            // The arc's middle lies the bulge times half the chord to the right of the chord
            // when the arc runs counter-clockwise.
            const double h = v[i].bulge * Dist2D(a, b) / 2;
            const double ang = Angle2P(a, b) - kHalfPi;
            mid = PolarPoint(mid, ang, h);
        }
        if (Dist2D(a, b) > 1e-6) {
            EXPECT_NEAR(DistToSite(corners, mid), d, 1e-6) << i;
        }
    }
}

TKyoukaisenResult RunKyoukaisen(const std::vector<TLineEnt>& segments, DxfList& dxf) {
    Workspace ws;
    ws.AryLine = segments;
    return MakeKyoukaisen(ws, dxf);
}

std::size_t Count(const DxfList& dxf, const std::string& piece) {
    return static_cast<std::size_t>(std::count(dxf.begin(), dxf.end(), piece));
}

TEST(Kyoukaisen, RectangularSite) {
    // 20 m x 10 m at (5 m, 5 m): four parallels and four quarter arcs, the ninth vertex back
    // at the first, which lies d below the lower left corner.
    const std::vector<TAcadPoint> corners = {
        {5000, 5000, 0}, {25000, 5000, 0}, {25000, 15000, 0}, {5000, 15000, 0}};
    for (double d : kKyoukaiDistances) {
        SCOPED_TRACE(d);
        Workspace ws;
        const TKyoukaiLine line = KyoukaiLine(Closed(corners), d, ws);
        ASSERT_EQ(line.vertices.size(), 9u);
        EXPECT_FALSE(line.envelope);
        EXPECT_EQ(line.vertices[0].x, 5000);
        EXPECT_EQ(line.vertices[0].y, 5000 - d);
        EXPECT_NEAR(line.vertices[8].x, 5000, 1e-9);
        EXPECT_NEAR(line.vertices[8].y, 5000 - d, 1e-9);
        int arcs = 0;
        for (const TKyoukaiVertex& v : line.vertices) {
            if (!v.arc) continue;
            ++arcs;
            EXPECT_NEAR(v.bulge, std::tan(22.5 * kPi / 180), 1e-12);
        }
        EXPECT_EQ(arcs, 4);
        ExpectOnGrownSite(line, corners, d);
        const double closedForm = 200e6 + 60000 * d + kPi * d * d;
        EXPECT_NEAR(KyoukaiArea(line), closedForm, closedForm * 1e-4);
        // As a polygon whose chords stray 1 mm at most: every vertex on the line, the area
        // short of the arcs' by less than the strip the chords cut off.
        const std::vector<TAcadPoint> poly = KyoukaiPolygon(line, 1);
        double area = 0;
        for (std::size_t i = 0; i < poly.size(); ++i) {
            const TAcadPoint& a = poly[i];
            const TAcadPoint& b = poly[(i + 1) % poly.size()];
            area += a.x * b.y - b.x * a.y;
            const double fromSite = std::hypot(std::max({5000 - a.x, a.x - 25000, 0.0}),
                                               std::max({5000 - a.y, a.y - 15000, 0.0}));
            EXPECT_NEAR(fromSite, d, 1e-6);
        }
        EXPECT_LT(area / 2, closedForm);
        EXPECT_GT(area / 2, closedForm - 2 * kPi * d * 1);
    }

    DxfList dxf;
    const TKyoukaisenResult r = RunKyoukaisen(Closed(corners), dxf);
    ASSERT_EQ(r.status, KyoukaisenStatus::Drawn);
    EXPECT_EQ(r.sites, 1);
    EXPECT_EQ(Count(dxf, "  0\r\nPOLYLINE\r\n  8\r\n0"), 2u);
    EXPECT_EQ(Count(dxf, "  0\r\nVERTEX\r\n  8\r\n0"), 18u);
    EXPECT_EQ(Count(dxf, " 42\r\n0.414213562373095"), 8u);
    EXPECT_EQ(Count(dxf, "  0\r\nTABLE"), 0u);  // no tables section
    // The 5 m line first: its first vertex, then the 10 m line's.
    const auto first = std::find(dxf.begin(), dxf.end(), " 20\r\n0");
    const auto second = std::find(dxf.begin(), dxf.end(), " 20\r\n-5000");
    EXPECT_LT(first, second);
    EXPECT_NE(second, dxf.end());
}

TEST(Kyoukaisen, CornersAndSides) {
    struct Row {
        const char* name;
        std::vector<TAcadPoint> corners;
        std::size_t vertices;  // of the 5 m line
        bool envelope;
    };
    const Row rows[] = {
        // Five outward corners and one inward one with sides long enough: 1 + 2 * 5 + 1.
        {"L-shape",
         {{0, 0, 0},
          {40000, 0, 0},
          {40000, 15000, 0},
          {20000, 15000, 0},
          {20000, 40000, 0},
          {0, 40000, 0}},
         12,
         false},
        // A side split by a dividing line: the join is written twice, the first with bulge 0.
        {"straight join",
         {{0, 0, 0}, {10000, 0, 0}, {20000, 0, 0}, {20000, 10000, 0}, {0, 10000, 0}},
         11,
         false},
        // A 3 m step next to an inward corner (d tan 45 = 5 m): the construction would loop
        // 270 degrees round the corner. Hand-worked boundary: four parallels, the stretch of
        // the lower top parallel up to the arc round the step's outer corner, and five arcs.
        {"3 m step",
         {{0, 0, 0},
          {30000, 0, 0},
          {30000, 10000, 0},
          {15000, 10000, 0},
          {15000, 13000, 0},
          {0, 13000, 0}},
         10,
         true},
        // A notch 6 m wide: the two arcs of its mouth meet above it.
        {"narrow notch",
         {{0, 0, 0},
          {40000, 0, 0},
          {40000, 20000, 0},
          {23000, 20000, 0},
          {23000, 12000, 0},
          {17000, 12000, 0},
          {17000, 20000, 0},
          {0, 20000, 0}},
         11,
         true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Workspace ws;
        const TKyoukaiLine line = KyoukaiLine(Closed(r.corners), 5000, ws);
        EXPECT_EQ(line.vertices.size(), r.vertices);
        EXPECT_EQ(line.envelope, r.envelope);
        ExpectOnGrownSite(line, r.corners, 5000);
    }
}

TEST(Kyoukaisen, ThreeMetreStepByHand) {
    const std::vector<TAcadPoint> corners = {{0, 0, 0},         {30000, 0, 0},
                                             {30000, 10000, 0}, {15000, 10000, 0},
                                             {15000, 13000, 0}, {0, 13000, 0}};
    Workspace ws;
    const TKyoukaiLine line = KyoukaiLine(Closed(corners), 5000, ws);
    // The parallel at y = 15000 meets the arc round (15000, 13000) where
    // (x - 15000)^2 + 2000^2 = 5000^2.
    const double xMeet = 15000 + std::sqrt(21e6);
    const double sweep = kHalfPi - std::asin(0.4);
    const double quarter = std::tan(kPi / 8);
    const std::vector<TKyoukaiVertex> want = {
        {0, -5000, false, 0},     {30000, -5000, true, quarter},
        {35000, 0, false, 0},     {35000, 10000, true, quarter},
        {30000, 15000, false, 0}, {xMeet, 15000, true, std::tan(sweep / 4)},
        {15000, 18000, false, 0}, {0, 18000, true, quarter},
        {-5000, 13000, false, 0}, {-5000, 0, true, quarter}};
    ASSERT_EQ(line.vertices.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(line.vertices[i].x, want[i].x, 1e-6);
        EXPECT_NEAR(line.vertices[i].y, want[i].y, 1e-6);
        EXPECT_EQ(line.vertices[i].arc, want[i].arc);
        EXPECT_NEAR(line.vertices[i].bulge, want[i].bulge, 1e-9);
    }
}

TEST(Kyoukaisen, Failures) {
    DxfList dxf;
    // An open U: the walk comes back along itself.
    std::vector<TLineEnt> u3 = Closed({{0, 10000, 0}, {0, 0, 0}, {10000, 0, 0}, {10000, 10000, 0}});
    u3.pop_back();
    const TKyoukaisenResult u = RunKyoukaisen(u3, dxf);
    EXPECT_EQ(u.status, KyoukaisenStatus::Failed);
    EXPECT_TRUE(dxf.empty());
    const TKyoukaisenResult few = RunKyoukaisen({u3[0], u3[1]}, dxf);
    EXPECT_EQ(few.status, KyoukaisenStatus::TooFew);
    EXPECT_TRUE(dxf.empty());
}

TEST(Kyoukaisen, EverySiteGetsItsLines) {
    std::vector<TLineEnt> segments =
        Closed({{0, 0, 0}, {10000, 0, 0}, {10000, 8000, 0}, {0, 8000, 0}});
    const std::vector<TLineEnt> other =
        Closed({{50000, 5000, 0}, {62000, 5000, 0}, {62000, 15000, 0}, {50000, 15000, 0}});
    segments.insert(segments.end(), other.begin(), other.end());
    DxfList dxf;
    const TKyoukaisenResult r = RunKyoukaisen(segments, dxf);
    ASSERT_EQ(r.status, KyoukaisenStatus::Drawn);
    EXPECT_EQ(r.sites, 2);
    EXPECT_EQ(Count(dxf, "  0\r\nPOLYLINE\r\n  8\r\n0"), 4u);
}

}  // namespace
}  // namespace zuka

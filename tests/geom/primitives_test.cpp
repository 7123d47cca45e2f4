#include "geom/primitives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace zuka {
namespace {

TAcadPoint P(double x, double y, double z = 0) { return {x, y, z}; }

TLineEnt L(TAcadPoint a, TAcadPoint b) {
    TLineEnt s;
    s.st = a;
    s.ed = b;
    return s;
}

std::vector<TLineEnt> Ring(std::initializer_list<TAcadPoint> pts) {
    std::vector<TAcadPoint> v(pts);
    std::vector<TLineEnt> out;
    for (std::size_t i = 0; i < v.size(); ++i) out.push_back(L(v[i], v[(i + 1) % v.size()]));
    return out;
}

TEST(Primitives, Angle2PBranchOrder) {
    struct Row {
        const char* name;
        TAcadPoint p, q;
        double want;
    };
    const Row rows[] = {
        {"coincident points", P(3, 4), P(3, 4), kThreeHalfPi},
        {"tiny rise is up: x test first", P(0, 0), P(0, 1e-6), kHalfPi},
        {"tiny fall is down", P(0, 1e-6), P(0, 0), kThreeHalfPi},
        {"tiny dx, large dy down", P(0, 0), P(9e-6, -5), kThreeHalfPi},
        {"west", P(0, 0), P(-1, 0), kPi},
        {"east with tiny dy", P(0, 0), P(1, -9e-6), 0.0},
        {"north-west", P(0, 0), P(-1, 1), kPi - kPi / 4},
        {"south-east", P(0, 0), P(1, -1), kTwoPi - kPi / 4},
        {"south-west", P(0, 0), P(-1, -1), kPi + kPi / 4},
        {"north-east", P(0, 0), P(1, 1), kPi / 4},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_DOUBLE_EQ(Angle2P(r.p, r.q), r.want);
    }
}

// Counter-clockwise positive, clockwise negative; an L of six corners.
TEST(Primitives, SignedArea) {
    std::vector<TAcadPoint> l = {{0, 0, 0}, {4, 0, 0}, {4, 1, 0}, {1, 1, 0}, {1, 3, 0}, {0, 3, 0}};
    EXPECT_DOUBLE_EQ(SignedArea(l), 6);
    std::reverse(l.begin(), l.end());
    EXPECT_DOUBLE_EQ(SignedArea(l), -6);
    EXPECT_DOUBLE_EQ(SignedArea({}), 0);
}

TEST(Primitives, PolarPointAxesAreExact) {
    const TAcadPoint base = P(0.1, 0.7, 5);
    struct Row {
        double a;
        TAcadPoint want;
    };
    const Row rows[] = {{0.0, P(0.1 + 3, 0.7)},
                        {1.5707963267948966, P(0.1, 0.7 + 3)},
                        {3.141592653589793, P(0.1 - 3, 0.7)},
                        {4.71238898038469, P(0.1, 0.7 - 3)}};
    for (const Row& r : rows) {
        const TAcadPoint got = PolarPoint(base, r.a, 3);
        EXPECT_EQ(got.x, r.want.x) << r.a;  // exact: no cosine rounding
        EXPECT_EQ(got.y, r.want.y) << r.a;
        EXPECT_EQ(got.z, 5);
    }
    // 2*pi is not an axis value: the general branch leaves a rounding trace in y.
    const TAcadPoint full = PolarPoint(P(0, 0), kTwoPi, 1e6);
    EXPECT_NE(full.y, 0.0);
    EXPECT_NEAR(full.x, 1e6, 1e-6);
    // A negative distance goes the other way.
    EXPECT_EQ(PolarPoint(P(0, 0), kHalfPi, -2).y, -2);
}

TEST(Primitives, CrossPointStartExclusive) {
    TAcadPoint hit;
    // Shared end points: a touch at an end counts.
    ASSERT_TRUE(CrossPoint(P(0, 0), P(2, 0), P(2, 5), P(2, 0), true, hit));
    EXPECT_NEAR(hit.x, 2, 1e-12);
    EXPECT_NEAR(hit.y, 0, 1e-12);
    // A touch at the start of either segment does not: end to start, shared starts.
    EXPECT_FALSE(CrossPoint(P(0, 0), P(2, 0), P(2, 0), P(2, 5), true, hit));
    EXPECT_FALSE(CrossPoint(P(0, 0), P(2, 0), P(0, 0), P(0, 5), true, hit));
    // The same lines without the segment test meet there.
    ASSERT_TRUE(CrossPoint(P(0, 0), P(2, 0), P(2, 0), P(2, 5), false, hit));
    EXPECT_NEAR(hit.x, 2, 1e-12);
    // Parallel and collinear: never.
    EXPECT_FALSE(CrossPoint(P(0, 0), P(2, 0), P(0, 1), P(2, 1), false, hit));
    EXPECT_FALSE(CrossPoint(P(0, 0), P(2, 0), P(1, 0), P(3, 0), true, hit));
    // Lines versus segments; z from p1.
    EXPECT_FALSE(CrossPoint(P(0, 0, 7), P(1, 0, 7), P(5, -1), P(5, 1), true, hit));
    ASSERT_TRUE(CrossPoint(P(0, 0, 7), P(1, 0, 7), P(5, -1), P(5, 1), false, hit));
    EXPECT_NEAR(hit.x, 5, 1e-12);
    EXPECT_EQ(hit.z, 7);
}

TEST(Primitives, TolerancesAreStrict) {
    EXPECT_FALSE(SamePoint2D(P(0, 0), P(1e-5, 0), 1e-5));
    EXPECT_TRUE(SamePoint2D(P(0, 0), P(0.9e-5, -0.9e-5), 1e-5));
    EXPECT_FALSE(SamePoint3D(P(0, 0, 0), P(0, 0, 1), 1e-5));
    EXPECT_TRUE(IsOnSegment(P(1, 0), P(0, 0), P(2, 0)));
    EXPECT_FALSE(IsOnSegment(P(3, 0), P(0, 0), P(2, 0)));
    // Collinear within 0.01 of the line; b is tested before c.
    EXPECT_TRUE(IsOnLine2(P(0, 0), P(10, 0), P(20, 0.009), P(-5, -0.009)));
    EXPECT_FALSE(IsOnLine2(P(0, 0), P(10, 0), P(20, 0.011), P(-5, 0)));
}

TEST(Primitives, TurnAngleAndFarthestPair) {
    // Counter-clockwise turn at b from the ray to a to the ray to c.
    EXPECT_NEAR(TurnAngle(P(0, -1), P(0, 0), P(1, 0), false), kHalfPi, 1e-12);
    EXPECT_NEAR(TurnAngle(P(0, -1), P(0, 0), P(-1, 0), false), kThreeHalfPi, 1e-12);
    EXPECT_NEAR(TurnAngle(P(0, -1), P(0, 0), P(-1, 0), true), kHalfPi, 1e-12);

    TAcadPoint u = P(9, 9), v = P(9, 9);
    FarthestPair(P(0, 0), P(1, 0), P(3, 0), P(2, 0), u, v);
    EXPECT_EQ(u.x, 0);
    EXPECT_EQ(v.x, 3);
    // Equal pairs: the first examined wins.
    FarthestPair(P(0, 0), P(1, 0), P(0, 1), P(1, 1), u, v);  // (0,3) and (1,2) both sqrt 2
    EXPECT_EQ(u.x, 0);
    EXPECT_EQ(v.y, 1);
    EXPECT_EQ(v.x, 1);
    // All coincide: outputs untouched.
    u = P(7, 7);
    v = P(8, 8);
    FarthestPair(P(1, 1), P(1, 1), P(1, 1), P(1, 1), u, v);
    EXPECT_EQ(u.x, 7);
    EXPECT_EQ(v.x, 8);
}

TEST(Primitives, BulgeToArcAndOcs) {
    const TArcGeom a = BulgeToArc(P(0, 0, 4), P(2, 0), 1);
    EXPECT_NEAR(a.center.x, 1, 1e-12);
    EXPECT_NEAR(a.center.y, 0, 1e-12);
    EXPECT_EQ(a.center.z, 4);
    EXPECT_NEAR(a.radius, 1, 1e-12);
    EXPECT_NEAR(a.start, kPi, 1e-12);
    EXPECT_NEAR(a.end, 0, 1e-12);
    // A negative bulge: the arc lies above the chord; start and end are exchanged so that
    // it still runs counter-clockwise, from 0 to pi.
    const TArcGeom b = BulgeToArc(P(0, 0), P(2, 0), -1);
    EXPECT_NEAR(b.center.x, 1, 1e-12);
    EXPECT_NEAR(b.center.y, 0, 1e-12);
    EXPECT_NEAR(b.start, 0, 1e-12);
    EXPECT_NEAR(b.end, kPi, 1e-12);
    // A counter-clockwise quarter circle (bulge tan(22.5 deg)) bulges to the right of the
    // chord, its centre on the left.
    const TArcGeom q = BulgeToArc(P(0, 0), P(10, 10), std::tan(kPi / 8));
    EXPECT_NEAR(q.center.x, 0, 1e-9);
    EXPECT_NEAR(q.center.y, 10, 1e-9);
    EXPECT_NEAR(q.start, kThreeHalfPi, 1e-9);
    EXPECT_NEAR(q.radius, 10, 1e-9);

    // Normal (0,0,1): identity. Normal (0,0,-1): x mirrored.
    TAcadPoint w = OcsToWcs(P(3, 4, 5), P(0, 0, 1));
    EXPECT_NEAR(w.x, 3, 1e-12);
    EXPECT_NEAR(w.y, 4, 1e-12);
    EXPECT_NEAR(w.z, 5, 1e-12);
    w = OcsToWcs(P(3, 4, 5), P(0, 0, -1));
    EXPECT_NEAR(w.x, -3, 1e-12);
    EXPECT_NEAR(w.y, 4, 1e-12);
    EXPECT_NEAR(w.z, -5, 1e-12);
    // Normal (1,0,0): Ax = W x N with W = z = (0,1,0), Ay = N x Ax = (0,0,1).
    w = OcsToWcs(P(3, 4, 5), P(2, 0, 0));
    EXPECT_NEAR(w.x, 5, 1e-12);
    EXPECT_NEAR(w.y, 3, 1e-12);
    EXPECT_NEAR(w.z, 4, 1e-12);
}

TEST(Primitives, StrToXYZ) {
    struct Row {
        const char* text;
        bool ok;
        double x, y, z;
    };
    const Row rows[] = {
        {"\"10,20,30\"", true, 10, 20, 30},   {"1,2", true, 1, 2, 0},
        {"-1.5,2.25,3", true, -1.5, 2.25, 3}, {"10", false, 0, 0, 0},
        {"1,2,3,4", false, 1, 2, 0},          {"a,2", false, 0, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        double x = -9, y = -9, z = -9;
        EXPECT_EQ(StrToXYZ(r.text, x, y, z), r.ok);
        EXPECT_EQ(x, r.x);
        EXPECT_EQ(y, r.y);
        EXPECT_EQ(z, r.z);
    }
}

TEST(Primitives, IsInsideLines) {
    const std::vector<TLineEnt> square = Ring({P(0, 0), P(10, 0), P(10, 10), P(0, 10)});
    struct Row {
        const char* name;
        TAcadPoint q;
        bool want;
    };
    const Row rows[] = {
        {"centre", P(5, 5), true},
        {"on edge", P(5, 0), true},
        {"on corner", P(10, 10), true},
        {"outside", P(15, 5), false},
        {"just outside", P(10.01, 5), false},
        {"left of it", P(-1, 5), false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(IsInsideLines(r.q, 1000, square), r.want);
    }

    // A concave outline with a notch whose reflex corner (6,5) lies on the ray from q in
    // direction 0: that direction is passed over for the next clear one, and the corner's
    // two edges are counted as the ray really crosses them.
    const std::vector<TLineEnt> notch =
        Ring({P(0, 0), P(10, 0), P(10, 4), P(6, 5), P(10, 6), P(10, 10), P(0, 10)});
    EXPECT_FALSE(IsInsideLines(P(-5, 5), 1000, notch));
    EXPECT_FALSE(IsInsideLines(P(-5, 5.000001), 1000, notch));
    EXPECT_TRUE(IsInsideLines(P(3, 5), 1000, notch));
    EXPECT_FALSE(IsInsideLines(P(8, 5), 1000, notch));
}

}  // namespace
}  // namespace zuka

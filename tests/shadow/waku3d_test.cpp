#include "shadow/waku3d.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zuka {
namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(Waku3D, TurnAndTiltSteps) {
    struct Row {
        const char* name;
        int deg;
        bool up;
        int want;
    };
    const Row rows[] = {
        {"up from the standard turn", 315, true, 320},
        {"up at 360 wraps to 0", 360, true, 0},
        {"up from 355", 355, true, 360},
        {"down at 0 wraps to 360", 0, false, 360},
        {"down from 60", 60, false, 55},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(StepWakuAngle(r.deg, r.up), r.want);
    }
}

// The plan angle is the full-circle one: seen without turn (h = 0) or tilt, a point keeps its
// place, so a point with negative x is drawn left of the origin, not reflected through it.
TEST(Waku3D, PointsKeepTheirSideOfTheOrigin) {
    struct Row {
        const char* name;
        TAcadPoint p;
    };
    const Row rows[] = {
        {"negative x", {-3000, 1000, 0}},
        {"negative x and y", {-3000, -1000, 0}},
        {"on x = 0 below the origin", {0, -2000, 0}},
        {"positive", {4000, 500, 0}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TAcadPoint q = ProjectWaku(r.p, 360, 0);
        EXPECT_NEAR(q.x, r.p.x, 1e-9);
        EXPECT_NEAR(q.y, r.p.y, 1e-9);
    }
    // On x = 0 above the origin the plan angle is pi/2 - h; a turn of 90 degrees is
    // h = 3 pi / 2, so a = -pi and the point lands on -x.
    const TAcadPoint q = ProjectWaku({0, 2000, 0}, 90, 0);
    EXPECT_NEAR(q.x, 2000 * std::cos(kPi / 2 - 3 * kPi / 2), 1e-9);
    EXPECT_NEAR(q.x, -2000, 1e-9);
    EXPECT_NEAR(q.y, 0, 1e-9);
    // Tilted 90 degrees only heights show upwards.
    EXPECT_NEAR(ProjectWaku({1000, 2000, 3000}, 360, 90).y, 3000, 1e-9);
}

TEST(Waku3D, LinesByKind) {
    // One wall 0,0 - 1000,0 at 3000 high on one end and on the ground on the other.
    const std::vector<TLineEnt> model = {{0, {0, 0, 3000}, {1000, 0, 0}, 0, {0, 0, 1}}};
    const std::vector<TWakuLine> bare = WakuLines(model, false);
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_EQ(bare[0].kind, WakuKind::Top);
    const std::vector<TWakuLine> all = WakuLines(model, true);
    ASSERT_EQ(all.size(), 3u);  // top, footprint, one drop (the end on the ground has none)
    EXPECT_EQ(all[1].kind, WakuKind::Footprint);
    EXPECT_EQ(all[1].st.z, 0);
    EXPECT_EQ(all[2].kind, WakuKind::Drop);
    EXPECT_EQ(all[2].st.z, 3000);
    EXPECT_EQ(all[2].ed.z, 0);
}

TEST(Waku3D, FitKeepsTheScaleAndFallsBackOnAPoint) {
    const std::vector<TLineEnt> model = {{0, {0, 0, 0}, {2140, 0, 0}, 0, {0, 0, 1}}};
    // Unturned and untilted the box is 2140 wide: fitted scale 1.2 * 2140 / 214 = 12.
    const TWakuPicture fit = DrawWaku3D(model, false, 360, 0, 0, 214);
    EXPECT_NEAR(fit.cvsc, 12, 1e-9);
    EXPECT_NEAR(fit.keptCvsc, 12, 1e-9);
    EXPECT_NEAR(fit.xcen, 1070, 1e-9);
    // The ends sit a twelfth of the width in from the edges; rows count from the bottom.
    const TWakuPixel left = WakuPixel(fit, fit.lines[0].st, 214, 212);
    const TWakuPixel right = WakuPixel(fit, fit.lines[0].ed, 214, 212);
    EXPECT_EQ(left.col, 18);
    EXPECT_EQ(right.col, 196);
    EXPECT_EQ(left.row, 212 - 107);
    // A given scale stays.
    EXPECT_NEAR(DrawWaku3D(model, false, 45, 30, 5, 214).cvsc, 5, 1e-12);

    // A wall of no length on the ground projects to one point: it still draws, and the next
    // drawing fits anew instead of dividing by a zero scale.
    const std::vector<TLineEnt> dot = {{0, {500, 500, 0}, {500, 500, 0}, 0, {0, 0, 1}}};
    const TWakuPicture p = DrawWaku3D(dot, true, 315, 60, 0, 214);
    EXPECT_GT(p.cvsc, 0);
    EXPECT_EQ(p.keptCvsc, 0);
    const TWakuPixel px = WakuPixel(p, p.lines[0].st, 214, 212);
    EXPECT_EQ(px.col, 107);
}

}  // namespace
}  // namespace zuka

#include "shadow/kisei.h"

#include <gtest/gtest.h>

#include "../buildings.h"
#include "winter_sun.h"

namespace zuka {
namespace {

using testing_buildings::Box;

// A slab 200 m long east-west and 10 m deep, 10 m high, on a site reaching 8 m north of it and
// 40 m beyond its ends; the plane at 4 m. The lines 5 m and 10 m outside the site, drawn here
// with square corners (only their north sides matter).
//
// By hand: at 10:00 on the winter solstice at 36 N the sun stands 24.13 degrees high, 30.17
// degrees east of south, and a shadow reaches north 1.9296 times the height above the plane
// (2.2442 times at 9:15). Along the middle of so long a slab a point is shaded while that
// reach passes it, before 10:00 and after 14:00 for the point 1.9296 x 6 m = 11.58 m north of
// the slab: 4 hours. So the 4-hour ground ends 21.58 m north (1.42 m inside the 5 m line at
// 23 m), the 2.5-hour ground at 10 + 2.2442 x 6 = 23.47 m (4.5 m inside the 10 m line at
// 28 m). Raised by 10 m the 4-hour ground reaches 10 + 1.9296 x 16 = 40.87 m: 17.87 m beyond.
std::vector<TAcadPoint> Rect(double x0, double y0, double x1, double y1) {
    return {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}};
}

struct TSlab {
    std::vector<TLineEnt> walls = Box(0, 0, 200000, 10000, 10000);
    std::array<TKiseiLimit, 2> limits{TKiseiLimit{4, {Rect(-45000, -25000, 245000, 23000)}},
                                      TKiseiLimit{2.5, {Rect(-50000, -30000, 250000, 28000)}}};
    TKiseiParams params{8, 16, 4000, 60, 640};  // a coarse mesh: the exact hours decide
    ToujiGrid grid;

    TKiseiResult Check(const std::vector<TLineEnt>& w) {
        return CheckKisei(w, testing_sun::Winter36(), limits, params, grid, QuietRun());
    }
};

TEST(Kisei, SlabHoldsAndFailsWhenRaised) {
    TSlab s;
    const TKiseiResult ok = s.Check(s.walls);
    ASSERT_TRUE(ok.Decided());
    EXPECT_TRUE(ok.Holds());
    ASSERT_TRUE(ok.limits[0].tightest && ok.limits[1].tightest);
    EXPECT_NEAR(ok.limits[0].tightest->clearance, 1422, 1);
    EXPECT_NEAR(ok.limits[1].tightest->clearance, 4535, 1);
    EXPECT_FALSE(ok.limits[0].outlines.empty());

    const TKiseiResult raised = s.Check(ShiftTatemono(s.walls, {0, 1, 2, 3}, 10));
    ASSERT_TRUE(raised.Decided());
    EXPECT_FALSE(raised.Holds());
    EXPECT_FALSE(raised.limits[0].holds);
    const TKiseiSpot& worst = *raised.limits[0].tightest;
    EXPECT_TRUE(worst.refined);
    EXPECT_NEAR(-worst.clearance, 17874, 1);  // the excess
    EXPECT_NEAR(worst.outline.y, 40874, 60);
    EXPECT_NEAR(worst.line.y, 23000, 1);
    EXPECT_GT(worst.outline.x, 20000);
    EXPECT_LT(worst.outline.x, 180000);
    EXPECT_GT(raised.limits[0].rays, 0);
}

TEST(Kisei, HeadroomIsTheBisectionOfTheVerdict) {
    TSlab s;
    const std::vector<std::size_t> slab = KiseiBuildings(s.walls).at(0);
    const auto holds = [&s](const std::vector<TLineEnt>& w) { return s.Check(w).Holds(); };
    const TKiseiHeadroom h = KiseiHeadroom(s.walls, slab, 4000, true, 100, holds);
    // Our own bisection over tenths of a metre: the 4-hour ground reaches the 5 m line at a
    // raise of 13 / 1.9296 - 6 = 0.737 m.
    int good = 0;
    int bad = 20;
    while (bad - good > 1) {
        const int mid = (good + bad) / 2;
        (holds(ShiftTatemono(s.walls, slab, 0.1 * mid)) ? good : bad) = mid;
    }
    EXPECT_TRUE(h.bounded);
    EXPECT_NEAR(h.metres, 0.1 * good, 0.1 + 1e-9);
    EXPECT_NEAR(h.metres, 0.7, 1e-9);

    // Raised by 10 m it fails; it holds again lowered back by 9.3 m or more.
    const std::vector<TLineEnt> raised = ShiftTatemono(s.walls, slab, 10);
    const TKiseiHeadroom down = KiseiHeadroom(raised, slab, 4000, false, 100, holds);
    EXPECT_TRUE(down.bounded);
    EXPECT_NEAR(down.metres, 9.3, 1e-9);
}

TEST(Kisei, BuildingsAreWallsJoinedEndToEnd) {
    std::vector<TLineEnt> walls = Box(0, 0, 1000, 1000, 5000);
    const std::vector<TLineEnt> other = Box(3000, 0, 4000, 1000, 8000);
    walls.insert(walls.end(), other.begin(), other.end());
    const std::vector<std::vector<std::size_t>> b = KiseiBuildings(walls);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[1], (std::vector<std::size_t>{4, 5, 6, 7}));
    // Moving one building leaves the other and the ground alone.
    std::vector<TLineEnt> w = walls;
    w[0].st.z = 0;
    const std::vector<TLineEnt> down = ShiftTatemono(w, b[0], -6);
    EXPECT_EQ(down[0].st.z, 0);
    EXPECT_EQ(down[0].ed.z, 0);  // 5 m less 6 m: held at the ground
    EXPECT_EQ(down[4].st.z, 8000);
}

}  // namespace
}  // namespace zuka

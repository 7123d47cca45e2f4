#include "shadow/tokutei.h"

#include <gtest/gtest.h>

#include <cmath>

#include "../buildings.h"
#include "geom/primitives.h"
#include "shadow/equal_time.h"

namespace zuka {
namespace {

using testing_buildings::Box;
using testing_buildings::Prism;

SunModel Winter36() {
    SunModel sun;
    sun.RadioGroup1Click(0);
    sun.SetTaiyouParams({"90", "36", "0", "0", "0", "8", "16", 0});
    return sun;
}

void Append(std::vector<TLineEnt>& model, const std::vector<TLineEnt>& walls) {
    model.insert(model.end(), walls.begin(), walls.end());
}

// Inside or within 1e-5 of a closed polygon, by the plain even-odd ray along +x.
bool InPolygon(const std::vector<TAcadPoint>& poly, TAcadPoint p) {
    bool inside = false;
    for (std::size_t i = 0; i < poly.size(); ++i) {
        const TAcadPoint a = poly[i];
        const TAcadPoint b = poly[(i + 1) % poly.size()];
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        const double l2 = dx * dx + dy * dy;
        const double u =
            l2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / l2, 0.0, 1.0) : 0;
        if (std::hypot(p.x - a.x - u * dx, p.y - a.y - u * dy) <= 1e-5) return true;
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * dx / dy) inside = !inside;
    }
    return inside;
}

// A model with its footprints known by hand: two boxes, an L-shaped block, and a lone sloped
// wall that falls below a plane of 4 m at one end.
struct TModel {
    std::vector<TLineEnt> walls;
    std::vector<std::vector<TAcadPoint>> feet;
};

TModel Mixed() {
    TModel m;
    Append(m.walls, Box(0, 0, 20000, 10000, 15000));
    m.feet.push_back({{0, 0, 0}, {20000, 0, 0}, {20000, 10000, 0}, {0, 10000, 0}});
    Append(m.walls, Box(40000, 0, 50000, 8000, 9000));
    m.feet.push_back({{40000, 0, 0}, {50000, 0, 0}, {50000, 8000, 0}, {40000, 8000, 0}});
    const std::vector<TAcadPoint> l = {{10000, 30000, 20000}, {30000, 30000, 20000},
                                       {30000, 38000, 20000}, {18000, 38000, 20000},
                                       {18000, 50000, 20000}, {10000, 50000, 20000}};
    Append(m.walls, Prism(l));
    m.feet.push_back(l);
    TLineEnt wall;
    wall.st = {60000, 20000, 12000};
    wall.ed = {70000, 25000, 3000};
    m.walls.push_back(wall);
    return m;
}

// The plain evaluation of one instant: the point against every footprint and every shadow
// piece of that instant, one polygon after the other.
bool BruteShadow(const TModel& m, const SunModel& sun, double t, double h, TAcadPoint q) {
    double azimuth = 0;
    double factor = 1;
    if (!sun.GetTaiyouHoui(t, azimuth, factor)) return false;
    for (const std::vector<TAcadPoint>& f : m.feet)
        if (InPolygon(f, q)) return true;
    std::vector<TShadowQuad> quads;
    MakeShadowQuads(m.walls, sun.ShadowDir(azimuth), factor, h, quads);
    for (const TShadowQuad& qd : quads)
        if (InPolygon({qd.begin(), qd.end()}, q)) return true;
    return false;
}

std::vector<TAcadPoint> PointGrid() {
    std::vector<TAcadPoint> pts;
    for (double x = -15000; x <= 85000; x += 12500)
        for (double y = -4000; y <= 75000; y += 10000) pts.push_back({x + 0.37, y + 0.61, 0});
    return pts;
}

TEST(Tokutei, StepsOfThePeriod) {
    struct Row {
        const char* name;
        TTokuteiStep p;
        int n;
        double last;
    };
    const Row rows[] = {
        {"60 s", {8, 16, 60, 0}, 480, 15 + 59.0 / 60},
        {"1/10 of 10 s", {8, 16, 1, 0}, 28800, 16 - 1.0 / 3600},
        {"30 s, 9:00 to 9:01", {9, 9 + 1.0 / 60, 30, 0}, 2, 9 + 30.0 / 3600},
        {"end before start", {16, 8, 30, 0}, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_EQ(TokuteiStepCount(r.p), r.n);
        EXPECT_EQ(TokuteiTime(r.p, 0), r.p.kaisi);
        if (r.n > 0) {
            EXPECT_NEAR(TokuteiTime(r.p, r.n - 1), r.last, 1e-12);
        }
    }
}

TEST(Tokutei, ShadedAllDayAndOnTheBoundary) {
    const SunModel sun = Winter36();
    std::vector<TLineEnt> walls = Box(0, 0, 20000, 10000, 15000);
    const std::vector<TAcadPoint> pts = {
        {10000, 5000, 0},   // inside the footprint
        {20000, 4000, 0},   // on a wall
        {10000, 11000, 0},  // 1 m north of a 15 m block: in its shadow all day
        {10000, -1000, 0},  // 1 m south: never
    };
    const TTokuteiResult r = GetTokuteiJikan(walls, sun, pts, {8, 16, 60, 0}, QuietRun());
    ASSERT_EQ(r.steps, 480);
    EXPECT_FALSE(r.stopped);
    for (std::size_t j = 0; j < 3; ++j) {
        SCOPED_TRACE(j);
        EXPECT_EQ(r.rows[j].count, 480);
        EXPECT_EQ(r.rows[j].changes, (std::vector<double>{8, 16}));
    }
    EXPECT_EQ(r.rows[3].count, 0);
    EXPECT_TRUE(r.rows[3].changes.empty());

    // At noon the sun stands due south and the shadow of the north wall reaches 15 m * 1.6943
    // north of it: a point on the shadow's west edge is in it, one 0.1 mm farther west is not.
    const double noonLength = 15000 * 1.6943;
    const std::vector<TAcadPoint> edge = {{0, 10000 + noonLength / 2, 0},
                                          {-0.1, 10000 + noonLength / 2, 0}};
    const TTokuteiResult noon =
        GetTokuteiJikan(walls, sun, edge, {12, 12 + 1.0 / 60, 60, 0}, QuietRun());
    ASSERT_EQ(noon.steps, 1);
    EXPECT_EQ(noon.rows[0].count, 1);
    EXPECT_EQ(noon.rows[1].count, 0);
}

TEST(Tokutei, EveryBuildingCasts) {
    // Two blocks far apart: at noon the point north of the right one lies in its shadow only,
    // which is not the outline that holds the leftmost point of all.
    const SunModel sun = Winter36();
    std::vector<TLineEnt> walls = Box(0, 0, 10000, 10000, 12000);
    Append(walls, Box(100000, 0, 110000, 10000, 12000));
    const std::vector<TAcadPoint> pts = {{105000, 15000, 0}};
    const TTokuteiResult r =
        GetTokuteiJikan(walls, sun, pts, {12, 12 + 1.0 / 60, 60, 0}, QuietRun());
    EXPECT_EQ(r.rows[0].count, 1);

    Workspace ws;
    ws.AryTatemono = walls;
    ASSERT_TRUE(MakeShadowOutline(ws, sun, 12, 0));
    // Both outlines are there.
    EXPECT_TRUE(IsInsideLines(pts[0], 1000, ws.AryLine));
    EXPECT_TRUE(IsInsideLines({5000, 15000, 0}, 1000, ws.AryLine));
    EXPECT_FALSE(IsInsideLines({50000, 15000, 0}, 1000, ws.AryLine));
    ws.AryTatemono.clear();
    EXPECT_FALSE(MakeShadowOutline(ws, sun, 12, 0));
    ws.AryTatemono = walls;
    EXPECT_FALSE(MakeShadowOutline(ws, sun, 7, 0));  // no sun position
}

TEST(Tokutei, FourShadowsPassOnePoint) {
    // Four thin towers in a row south of the point: the shadow of each sweeps over it once.
    const SunModel sun = Winter36();
    std::vector<TLineEnt> walls;
    for (double x : {-9000.0, -3000.0, 3000.0, 9000.0})
        Append(walls, Box(x - 500, 0, x + 500, 1000, 30000));
    const TTokuteiResult r =
        GetTokuteiJikan(walls, sun, {{0, 20000, 0}}, {8, 16, 60, 0}, QuietRun());
    const TTokuteiRow& row = r.rows[0];
    ASSERT_EQ(row.changes.size(), 8u);
    long long minutes = 0;
    for (std::size_t i = 0; i < 8; i += 2) {
        EXPECT_LT(row.changes[i], row.changes[i + 1]);
        minutes += std::lround((row.changes[i + 1] - row.changes[i]) * 60);
    }
    EXPECT_EQ(row.count, minutes);
    const std::vector<std::vector<TShadowInterval>> exact =
        GetTokuteiExact(walls, sun, {{0, 20000, 0}}, 8, 16, 0);
    EXPECT_EQ(exact[0].size(), 4u);
}

TEST(Tokutei, StoppedRunKeepsWhatItFound) {
    struct StopAt : RunContext {
        int at = 0;
        int pos = 0;
        bool StopRequested() const override { return pos >= at; }
        void SetProgressPosition(int p) override { pos = p; }
    } run;
    run.at = 100;
    const SunModel sun = Winter36();
    const TTokuteiResult r = GetTokuteiJikan(Box(0, 0, 20000, 10000, 15000), sun,
                                             {{10000, 11000, 0}}, {8, 16, 60, 0}, run);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.rows[0].count, 100);
    EXPECT_EQ(r.rows[0].changes, std::vector<double>{8});  // no departure: the run was stopped
}

TEST(Tokutei, InstantsWithoutSunCastNoShadow) {
    const SunModel sun = Winter36();
    const TTokuteiResult r = GetTokuteiJikan(Box(0, 0, 20000, 10000, 15000), sun,
                                             {{10000, 5000, 0}}, {7, 8, 60, 0}, QuietRun());
    EXPECT_EQ(r.noSun.size(), 30u);  // 7:00 to 7:29
    EXPECT_EQ(r.rows[0].count, 30);
    EXPECT_EQ(r.rows[0].changes, (std::vector<double>{7.5, 8}));

    // At 43 degrees north the winter sun rises at about 7:35: before that it casts no shadow,
    // stepped or exact.
    SunModel north = sun;
    north.SetTaiyouParams({"90", "43", "0", "0", "0", "7.5", "8", 0});
    const TTokuteiResult early = GetTokuteiJikan(Box(0, 0, 20000, 10000, 15000), north,
                                                 {{10000, 5000, 0}}, {7.5, 8, 60, 0}, QuietRun());
    ASSERT_EQ(early.sunDown.size(), 6u);  // 7:30 to 7:35
    EXPECT_TRUE(early.noSun.empty());
    EXPECT_EQ(early.rows[0].changes.front(), 7.6);
    const std::vector<std::vector<TShadowInterval>> exact =
        GetTokuteiExact(Box(0, 0, 20000, 10000, 15000), north, {{10000, 5000, 0}}, 7.5, 8, 0);
    ASSERT_EQ(exact[0].size(), 1u);
    EXPECT_GT(exact[0][0].in, 7.5 + 5.0 / 60);
    EXPECT_LT(exact[0][0].in, 7.6);
}

// The stepped times agree with the plain evaluation of every instant, and the exact intervals
// with a bisection of that evaluation between the instants where it changes.
TEST(Tokutei, AgreesWithThePlainEvaluation) {
    const SunModel sun = Winter36();
    const TModel m = Mixed();
    const std::vector<TAcadPoint> pts = PointGrid();
    for (double h : {0.0, 4000.0}) {
        SCOPED_TRACE(h);
        const TTokuteiStep p{8, 16, 60, h};
        const TTokuteiResult r = GetTokuteiJikan(m.walls, sun, pts, p, QuietRun());
        const std::vector<std::vector<TShadowInterval>> exact =
            GetTokuteiExact(m.walls, sun, pts, 8, 16, h);
        const double step = 60.0 / 3600;
        int shadedPoints = 0;
        int changing = 0;
        std::size_t unseen = 0;
        for (std::size_t j = 0; j < pts.size(); ++j) {
            SCOPED_TRACE(j);
            long long count = 0;
            std::vector<double> changes;
            std::vector<double> bisected;
            bool was = false;
            for (int i = 0; i < r.steps; ++i) {
                const double t = TokuteiTime(p, i);
                const bool now = BruteShadow(m, sun, t, h, pts[j]);
                count += now;
                if (now != was) {
                    changes.push_back(t);
                    double a = i == 0 ? t : t - step;
                    double b = t;
                    if (i > 0) {
                        while (b - a > 0.01 / 3600) {
                            const double mid = (a + b) / 2;
                            (BruteShadow(m, sun, mid, h, pts[j]) == was ? a : b) = mid;
                        }
                    }
                    bisected.push_back(b);
                }
                was = now;
            }
            if (was) {
                changes.push_back(16);
                bisected.push_back(16);
            }
            ASSERT_EQ(r.rows[j].count, count);
            ASSERT_EQ(r.rows[j].changes, changes);
            shadedPoints += count > 0;
            changing += !changes.empty() && (changes.front() > 8 || changes.back() < 16);

            // Sampled at the same instants, the exact intervals give the same states; each
            // change the samples see lies within a second of an end of an exact interval
            // (those of a shadow that comes and goes between two instants are not seen).
            auto inExact = [&](double t) {
                for (const TShadowInterval& iv : exact[j])
                    if (t >= iv.in && t < iv.out) return true;
                return false;
            };
            for (int i = 0; i < r.steps; ++i)
                ASSERT_EQ(inExact(TokuteiTime(p, i)),
                          BruteShadow(m, sun, TokuteiTime(p, i), h, pts[j]))
                    << i;
            for (double b : bisected) {
                double nearest = 1e9;
                for (const TShadowInterval& iv : exact[j])
                    nearest = std::min({nearest, std::fabs(iv.in - b), std::fabs(iv.out - b)});
                EXPECT_LT(nearest, 1.0 / 3600) << b;
            }
            unseen += exact[j].size() - changes.size() / 2;
        }
        // The grid covers sunny points, points shaded all day and points the shadows pass.
        EXPECT_GT(shadedPoints, 10);
        EXPECT_GT(changing, 5);
        EXPECT_LT(unseen, 5u);
    }
}

}  // namespace
}  // namespace zuka

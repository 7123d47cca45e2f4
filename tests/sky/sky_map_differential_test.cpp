// The sky map's repeat and horizon passes against the plain all-pairs passes
// (tests/support/plain_sky.h): on the benchmark districts seen from points around them, on a random
// soup and on degenerate sets, both must give the same answers.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../buildings.h"
#include "district.h"
#include "geom/primitives.h"
#include "plain_sky.h"
#include "sky/sky_map.h"

namespace zuka {
namespace {

void ExpectSameRepeats(const std::vector<TLineEnt>& lines) {
    const std::vector<bool> fast = RepeatedLines(lines);
    const std::vector<bool> plain = bench::plain::RepeatedLines(lines);
    ASSERT_EQ(fast.size(), plain.size());
    for (std::size_t i = 0; i < fast.size(); ++i) ASSERT_EQ(fast[i], plain[i]) << "line " << i;
}

void ExpectSamePair(const std::vector<TAcadPoint>& pts) {
    const auto fast = FarthestApart(pts);
    const auto plain = bench::plain::FarthestApart(pts);
    EXPECT_EQ(fast.first, plain.first);
    EXPECT_EQ(fast.second, plain.second);
}

TEST(SkyMapDifferential, DistrictsSeenFromAround) {
    struct Model {
        const char* name;
        std::vector<TLineEnt> walls;
    };
    const Model models[] = {
        {"two boxes", [] {
             std::vector<TLineEnt> w = testing_buildings::Box(5000, 5000, 15000, 12000, 9000);
             const std::vector<TLineEnt> b = testing_buildings::Box(-8000, 9000, -2000, 20000, 15000);
             w.insert(w.end(), b.begin(), b.end());
             return w;
         }()},
        {"town district", bench::District()},
        {"city block of 60", bench::CityBlock(60)},
    };
    for (const Model& m : models) {
        SCOPED_TRACE(m.name);
        for (double h : {0.0, 4000.0, 20000.0}) ExpectSameRepeats(bench::EdgeSoup(m.walls, h));
        // Points south of, inside and far from the buildings, and one on a wall's corner.
        const TAcadPoint points[] = {
            {100000, -10000, 0}, {60000, 60000, 0}, {-1e6, 3e5, 0}, m.walls[0].st};
        for (const TAcadPoint& p : points) ExpectSamePair(bench::Horizon(m.walls, p, 2500));
    }
}

TEST(SkyMapDifferential, RandomAndDegenerateSets) {
    bench::Lcg rnd(3);
    // Lines whose ends sit on a coarse lattice, nudged by less and by more than the
    // tolerance, some repeated, reversed, zero-length or at another height.
    std::vector<TLineEnt> lines;
    auto corner = [&] {
        TAcadPoint p{std::floor(rnd.Next() * 6) * 1000, std::floor(rnd.Next() * 6) * 1000,
                     std::floor(rnd.Next() * 3) * 3000};
        const double nudge = rnd.Next() < 0.5 ? 4e-6 : 3e-5;
        if (rnd.Next() < 0.3) p.x += nudge;
        if (rnd.Next() < 0.3) p.z -= nudge;
        return p;
    };
    for (int i = 0; i < 600; ++i) {
        TLineEnt s;
        s.st = corner();
        s.ed = rnd.Next() < 0.05 ? s.st : corner();
        lines.push_back(s);
        if (rnd.Next() < 0.2) {
            std::swap(s.st, s.ed);
            lines.push_back(s);
        }
    }
    lines.push_back({});
    TLineEnt far;
    far.st = {1e15, -1e15, 0};
    far.ed = {1e15 + 1, -1e15, 0};
    lines.push_back(far);
    lines.push_back(far);
    ExpectSameRepeats(lines);

    struct Set {
        const char* name;
        std::vector<TAcadPoint> pts;
    };
    std::vector<Set> sets;
    auto onCircle = [](double a) { return PolarPoint({}, a, 2500); };
    Set random{"random", {}};
    for (int i = 0; i < 500; ++i) random.pts.push_back(onCircle(rnd.Next() * kTwoPi));
    sets.push_back(random);
    // Every degree: each point has another opposite it, the folded angles all but tie.
    Set degrees{"every degree", {}};
    for (int i = 0; i < 360; ++i) degrees.pts.push_back(onCircle(i * kPi / 180));
    sets.push_back(degrees);
    sets.push_back({"two", {onCircle(1), onCircle(2)}});
    sets.push_back({"the same point twice", {onCircle(1), onCircle(1)}});
    sets.push_back({"axes", {{0, 2500, 0}, {0, -2500, 0}, {2500, 0, 0}, {-2500, 0, 0}}});
    Set arc{"a narrow arc, repeats", {}};
    for (int i = 0; i < 200; ++i) arc.pts.push_back(onCircle(2 + 1e-3 * (i % 37)));
    sets.push_back(arc);
    // Points all but opposite, their directions a few units in the last place apart: the
    // largest folded angle as computed need not belong to the pair nearest to opposite.
    for (int k = 0; k < 300; ++k) {
        Set near{"all but opposite", {}};
        const double a = rnd.Next() * kTwoPi;
        const int n = 3 + static_cast<int>(rnd.Next() * 6);
        for (int i = 0; i < n; ++i) {
            const double jitter = (rnd.Next() - 0.5) * 1e-15 * (1 + std::floor(rnd.Next() * 8));
            near.pts.push_back(PolarPoint({}, (i % 2 ? a + kPi : a) + jitter, 1000 + 4000 * rnd.Next()));
        }
        sets.push_back(near);
    }
    for (const Set& s : sets) {
        SCOPED_TRACE(s.name);
        ExpectSamePair(s.pts);
    }
}

}  // namespace
}  // namespace zuka

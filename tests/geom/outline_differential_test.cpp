// The outline union passes against the plain all-pairs passes (tests/support/plain_passes.h): on random
// and degenerate soups every stage must give the same segments, bit for bit, and the loop the
// same outlines from the same start points in the same order.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

#include "district.h"
#include "geom/outline.h"
#include "geom/primitives.h"
#include "plain_passes.h"
#include "shadow_soup.h"

namespace zuka {
namespace {

bool SameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}
bool SameBits(const TAcadPoint& a, const TAcadPoint& b) {
    return SameBits(a.x, b.x) && SameBits(a.y, b.y) && SameBits(a.z, b.z);
}
bool SameBits(const TLineEnt& a, const TLineEnt& b) {
    return a.id == b.id && SameBits(a.st, b.st) && SameBits(a.ed, b.ed) &&
           SameBits(a.atumi, b.atumi) && SameBits(a.code210, b.code210);
}

// The first index where two lists differ, or -1.
long FirstDifference(const std::vector<TLineEnt>& a, const std::vector<TLineEnt>& b) {
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (!SameBits(a[i], b[i])) return static_cast<long>(i);
    return a.size() == b.size() ? -1 : static_cast<long>(std::min(a.size(), b.size()));
}

struct TLoopRun {
    std::vector<std::vector<TLineEnt>> outlines;
    std::vector<TAcadPoint> starts;
    OutlineLoopEnd end = OutlineLoopEnd::Done;
    std::vector<TLineEnt> left;
};

// Each stage of the standard sequence by both, compared before the next one starts.
void ExpectSameAsPlain(const std::vector<TLineEnt>& soup) {
    Workspace fast;
    Workspace plain;
    fast.AryLine = plain.AryLine = soup;
    MergeCollinearLines(fast, false);
    bench::plain::MergeCollinearLines(plain, false);
    ASSERT_EQ(FirstDifference(fast.AryLine, plain.AryLine), -1) << "merge";
    GetMaxSpan(fast);
    bench::plain::GetMaxSpan(plain);
    ASSERT_TRUE(SameBits(fast.MaxSpan, plain.MaxSpan)) << fast.MaxSpan << " " << plain.MaxSpan;
    fast.MaxSpan *= 1000;
    plain.MaxSpan *= 1000;
    SplitAtIntersections(fast);
    bench::plain::SplitAtIntersections(plain);
    ASSERT_EQ(FirstDifference(fast.AryLine2, plain.AryLine2), -1) << "split";
    RemoveDupLines(fast);
    bench::plain::RemoveDupLines(plain);
    ASSERT_EQ(FirstDifference(fast.AryLine2, plain.AryLine2), -1) << "duplicates";

    const auto record = [](TLoopRun& run) {
        return [&run](const Workspace& w) {
            run.outlines.push_back(w.AryLine);
            run.starts.push_back(w.OutlineStartPt);
        };
    };
    TLoopRun a;
    TLoopRun b;
    a.end = TraceOutlineLoop(fast, QuietRun(), record(a));
    b.end = bench::plain::TraceOutlineLoop(plain, record(b));
    a.left = fast.AryLine2;
    b.left = plain.AryLine2;
    ASSERT_EQ(a.outlines.size(), b.outlines.size());
    for (std::size_t k = 0; k < a.outlines.size(); ++k) {
        EXPECT_TRUE(SameBits(a.starts[k], b.starts[k])) << "start of outline " << k;
        EXPECT_EQ(FirstDifference(a.outlines[k], b.outlines[k]), -1) << "outline " << k;
    }
    EXPECT_EQ(a.end, b.end);
    EXPECT_EQ(FirstDifference(a.left, b.left), -1) << "segments left";
}

TLineEnt L(double x0, double y0, double x1, double y1) {
    return {0, {x0, y0, 0}, {x1, y1, 0}, 0, {}};
}

// Segments between the points of a small lattice, turned by `turn` about the origin: many
// share end points, overlap along one line, end on another's inside, or repeat.
std::vector<TLineEnt> LatticeSoup(int count, int side, double turn, std::uint64_t seed) {
    bench::Lcg rnd(seed);
    const double c = std::cos(turn);
    const double s = std::sin(turn);
    auto lattice = [&] {
        const double x = 1000.0 * static_cast<int>(rnd.Next() * side);
        const double y = 1000.0 * static_cast<int>(rnd.Next() * side);
        return TAcadPoint{x * c - y * s, x * s + y * c, 0};
    };
    std::vector<TLineEnt> soup;
    for (int k = 0; k < count; ++k) {
        const TAcadPoint a = lattice();
        TAcadPoint b = lattice();
        if (rnd.Next() < 0.5) {  // along a lattice line, so that pieces overlap
            b = rnd.Next() < 0.5 ? TAcadPoint{b.x, a.y + (b.x - a.x) * s / c, 0} : b;
        }
        soup.push_back({0, a, b, 0, {}});
    }
    return soup;
}

// Segments with uniformly random ends: many crossings, few coincidences.
std::vector<TLineEnt> RandomSoup(int count, std::uint64_t seed) {
    bench::Lcg rnd(seed);
    std::vector<TLineEnt> soup;
    for (int k = 0; k < count; ++k) {
        const double x = rnd.Next() * 50000;
        const double y = rnd.Next() * 50000;
        soup.push_back(L(x, y, x + (rnd.Next() - 0.5) * 20000, y + (rnd.Next() - 0.5) * 20000));
    }
    return soup;
}

// Squares of a checkerboard that share whole sides and corners, with zero-length pieces,
// pieces that end on another's inside (T-junctions), ends moved by less and by more than the
// coincidence tolerance, and two pieces on one line within the collinearity tolerance.
std::vector<TLineEnt> TouchingSquares() {
    std::vector<TLineEnt> soup;
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 5; ++j) {
            if ((i + j) % 2 == 1 && i != 2) continue;
            const double x = i * 1000.0;
            const double y = j * 1000.0;
            soup.push_back(L(x, y, x + 1000, y));
            soup.push_back(L(x + 1000, y, x + 1000, y + 1000));
            soup.push_back(L(x + 1000, y + 1000, x, y + 1000));
            soup.push_back(L(x, y + 1000, x, y));
        }
    }
    soup.push_back(L(2500, 0, 2500, -700));            // T on a side, sticking out
    soup.push_back(L(2500, 5000, 2500, 4500));         // T on a side, inside
    soup.push_back(L(3000, 3000, 3000, 3000));         // zero length
    soup.push_back(L(5000 + 4e-6, 1000, 6000, 1000));  // meets a corner within tolerance
    soup.push_back(L(6000, 1000, 6000, 2000 - 3e-5));  // just short of the next piece
    soup.push_back(L(6000, 2000, 5000, 2000 + 6e-6));
    soup.push_back(L(0, 6000, 9000, 6000));              // collinear within 0.01, offset
    soup.push_back(L(3000, 6000.005, 12000, 6000.005));  // by more than the tolerance
    soup.push_back(L(12000, 6000.005, 12000, 5000));
    soup.push_back(L(-300, -300, -300, -300 + 2e-6));  // a degenerate last piece
    return soup;
}

// A square left of a figure, its top corners level with the figure's bottom corner: the ray
// that tells whether they lie inside cannot run along +x and rises past a thin strip of the
// figure, whose top it must cross too.
std::vector<TLineEnt> RayPastACorner() {
    std::vector<TLineEnt> soup;
    const double figure[][2] = {{0, 0},      {10000, 0},     {10000, 50},    {100, 50},
                                {100, 6000}, {-20000, 6000}, {-20000, 5000}, {0, 5000}};
    for (int i = 0; i < 8; ++i) {
        const auto* a = figure[i];
        const auto* b = figure[(i + 1) % 8];
        soup.push_back(L(a[0], a[1], b[0], b[1]));
    }
    soup.push_back(L(-6000, -500, -5000, -500));
    soup.push_back(L(-5000, -500, -5000, 0));
    soup.push_back(L(-5000, 0, -6000, 0));
    soup.push_back(L(-6000, 0, -6000, -500));
    return soup;
}

// Pieces on one turned line, metres apart: rounding makes their cross-product denominator
// noise, and the split then finds a crossing somewhere on them (as the plain passes do). Among
// other segments, so that the passes file them.
std::vector<TLineEnt> CollinearApart() {
    struct TLine {
        double turn, ox, oy, a0, a1, b0, b1;
    };
    const TLine lines[] = {
        {1.6468835479928292, 2324.543969342069, 28325.851179560519, 1149.4785599184027,
         6806.3189070092194, 10208.749179715267, 17949.388864612745},
        {0.18489689217447636, 38198.849474887684, 40426.172356933865, 3126.3085772315162,
         11455.231956801708, 12056.358783191183, 15425.610587201701},
        {2.9600086859365886, 58620.180266966869, 2372.6443653098486, 6309.7584477722648,
         15097.798587832571, 27405.384773416612, 34612.308817660814},
    };
    std::vector<TLineEnt> soup = RandomSoup(60, 7);
    for (const TLine& l : lines) {
        const double c = std::cos(l.turn);
        const double s = std::sin(l.turn);
        soup.push_back(L(l.ox + l.a0 * c, l.oy + l.a0 * s, l.ox + l.a1 * c, l.oy + l.a1 * s));
        soup.push_back(L(l.ox + l.b0 * c, l.oy + l.b0 * s, l.ox + l.b1 * c, l.oy + l.b1 * s));
    }
    return soup;
}

// Time-of-day soups of turned and round buildings, and shadows that meet end to end.
std::vector<TLineEnt> BlockSoup(int buildings, double dir, double factor) {
    return bench::ShadowSoupOf(bench::CityBlock(buildings, 3), dir, factor, 4000);
}

TEST(OutlineDifferential, SameAsThePlainPasses) {
    struct Row {
        std::string name;
        std::vector<TLineEnt> soup;
    };
    std::vector<Row> rows = {
        {"shadow soup", bench::ShadowSoup(400, 3)},
        {"shadow soup 2", bench::ShadowSoup(800, 9)},
        {"city block, morning", BlockSoup(12, 0.7, 3.1)},
        {"city block, noon", BlockSoup(16, kHalfPi, 1.6)},
        {"city block, afternoon", BlockSoup(9, 2.4, 2.7)},
        {"random segments", RandomSoup(250, 5)},
        {"lattice", LatticeSoup(150, 6, 0, 1)},
        {"turned lattice", LatticeSoup(150, 6, 0.3, 2)},
        {"dense turned lattice", LatticeSoup(200, 4, 1.1, 4)},
        {"touching squares", TouchingSquares()},
        {"collinear pieces apart", CollinearApart()},
        {"ray past a corner", RayPastACorner()},
    };
    for (int seed = 10; seed < 16; ++seed)
        rows.push_back({"lattice " + std::to_string(seed), LatticeSoup(80, 5, 0.05 * seed, seed)});
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ExpectSameAsPlain(r.soup);
    }
}

}  // namespace
}  // namespace zuka

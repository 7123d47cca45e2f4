#include "geom/outline.h"

#include <gtest/gtest.h>

#include <cmath>

#include "geom/primitives.h"

namespace zuka {
namespace {

TAcadPoint P(double x, double y) { return {x, y, 0}; }

TLineEnt L(TAcadPoint a, TAcadPoint b) {
    TLineEnt s;
    s.st = a;
    s.ed = b;
    return s;
}

void AddRing(std::vector<TLineEnt>& out, std::initializer_list<TAcadPoint> pts) {
    std::vector<TAcadPoint> v(pts);
    for (std::size_t i = 0; i < v.size(); ++i) out.push_back(L(v[i], v[(i + 1) % v.size()]));
}

void AddSquare(std::vector<TLineEnt>& out, double x, double y, double size) {
    AddRing(out, {P(x, y), P(x + size, y), P(x + size, y + size), P(x, y + size)});
}

// Every outline the standard sequence and its loop trace from the segments, as vertex lists.
std::vector<std::vector<TAcadPoint>> Outlines(const std::vector<TLineEnt>& soup,
                                              OutlineLoopEnd* end = nullptr) {
    Workspace ws;
    ws.AryLine = soup;
    PrepareOutlineSegments(ws);
    std::vector<std::vector<TAcadPoint>> result;
    const OutlineLoopEnd e = TraceOutlineLoop(ws, QuietRun(), [&](const Workspace& w) {
        std::vector<TAcadPoint> ring;
        for (const TLineEnt& s : w.AryLine) ring.push_back(s.st);
        result.push_back(ring);
    });
    if (end) *end = e;
    return result;
}

// Removes vertices where the outline runs straight on, so that outlines compare by corners.
std::vector<TAcadPoint> Corners(const std::vector<TAcadPoint>& ring) {
    std::vector<TAcadPoint> out;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const TAcadPoint& a = ring[(i + ring.size() - 1) % ring.size()];
        const TAcadPoint& b = ring[i];
        const TAcadPoint& c = ring[(i + 1) % ring.size()];
        const double cross = (b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x);
        if (std::fabs(cross) > 1e-9) out.push_back(b);
    }
    return out;
}

void ExpectRing(const std::vector<TAcadPoint>& got, std::initializer_list<TAcadPoint> want) {
    const std::vector<TAcadPoint> w(want);
    ASSERT_EQ(got.size(), w.size());
    for (std::size_t i = 0; i < w.size(); ++i) {
        EXPECT_NEAR(got[i].x, w[i].x, 1e-9) << "vertex " << i;
        EXPECT_NEAR(got[i].y, w[i].y, 1e-9) << "vertex " << i;
    }
}

TEST(Outline, OverlappingSquaresGiveOneCounterClockwiseOutline) {
    std::vector<TLineEnt> soup;
    AddSquare(soup, 0, 0, 10);
    AddSquare(soup, 5, 5, 10);
    const auto rings = Outlines(soup);
    ASSERT_EQ(rings.size(), 1u);
    // Starts at the lowest point of the leftmost side and runs counter-clockwise; the inner
    // corners of the overlap (10,5) and (5,10) are not on it.
    ExpectRing(Corners(rings[0]),
               {P(0, 0), P(10, 0), P(10, 5), P(15, 5), P(15, 15), P(5, 15), P(5, 10), P(0, 10)});
    EXPECT_DOUBLE_EQ(rings[0][0].x, 0);
    EXPECT_DOUBLE_EQ(rings[0][0].y, 0);
    EXPECT_NEAR(SignedArea(rings[0]), 175, 1e-9);
}

TEST(Outline, DisjointSquaresAreTracedInTurn) {
    std::vector<TLineEnt> soup;
    AddSquare(soup, 20, 3, 4);  // listed first, but not the leftmost
    AddSquare(soup, 0, 0, 10);
    OutlineLoopEnd end{};
    const auto rings = Outlines(soup, &end);
    EXPECT_EQ(end, OutlineLoopEnd::Done);
    ASSERT_EQ(rings.size(), 2u);
    ExpectRing(Corners(rings[0]), {P(0, 0), P(10, 0), P(10, 10), P(0, 10)});
    ExpectRing(Corners(rings[1]), {P(20, 3), P(24, 3), P(24, 7), P(20, 7)});
}

TEST(Outline, TailIsWalkedAndRemoved) {
    std::vector<TLineEnt> soup;
    AddSquare(soup, 0, 0, 10);
    soup.push_back(L(P(10, 10), P(14, 14)));  // a tail sticking out from a corner
    const auto rings = Outlines(soup);
    ASSERT_EQ(rings.size(), 1u);
    ExpectRing(Corners(rings[0]), {P(0, 0), P(10, 0), P(10, 10), P(0, 10)});
}

TEST(Outline, LoneLineLeftmostDoesNotHideTheOutlines) {
    // A low wall's footprint (a line without area) lies leftmost, so the walk starts on it and
    // comes back around it with nothing enclosed. That once failed the whole instant, so no
    // building got an outline; the line is pruned away and the square is traced.
    std::vector<TLineEnt> soup;
    soup.push_back(L(P(-20, 0), P(-20, 30)));
    AddSquare(soup, 0, 0, 10);
    OutlineLoopEnd end{};
    const auto rings = Outlines(soup, &end);
    EXPECT_EQ(end, OutlineLoopEnd::Done);
    ASSERT_EQ(rings.size(), 1u);
    ExpectRing(Corners(rings[0]), {P(0, 0), P(10, 0), P(10, 10), P(0, 10)});
}

TEST(Outline, HoleIsNotReturned) {
    std::vector<TLineEnt> soup;
    AddSquare(soup, 0, 0, 30);
    AddSquare(soup, 10, 10, 10);  // the hole's boundary
    const auto rings = Outlines(soup);
    ASSERT_EQ(rings.size(), 1u);
    ExpectRing(Corners(rings[0]), {P(0, 0), P(30, 0), P(30, 30), P(0, 30)});
}

TEST(Outline, ChecksAnyRightAnswerPasses) {
    // A plus shape made of two crossing bars, turned by 30 degrees about (3,7): one outline,
    // closed, counter-clockwise, area of the union (2 * 40 - 16 = 64 for bars 10 x 4).
    std::vector<TLineEnt> soup;
    const double t = kPi / 6;
    auto turn = [&](double x, double y) {
        return P(3 + x * std::cos(t) - y * std::sin(t), 7 + x * std::sin(t) + y * std::cos(t));
    };
    AddRing(soup, {turn(-5, -2), turn(5, -2), turn(5, 2), turn(-5, 2)});
    AddRing(soup, {turn(-2, -5), turn(2, -5), turn(2, 5), turn(-2, 5)});
    const auto rings = Outlines(soup);
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_EQ(Corners(rings[0]).size(), 12u);
    EXPECT_NEAR(SignedArea(rings[0]), 64, 1e-6);
}

TEST(Outline, TracedOutlineIsClosedChain) {
    Workspace ws;
    AddSquare(ws.AryLine, 0, 0, 10);
    AddSquare(ws.AryLine, 5, -3, 4);
    PrepareOutlineSegments(ws);
    GetMinCorner(ws);
    ws.OutlinePrevPt = ws.OutlineMinPt;
    ws.OutlineStartPt = FindStartPoint(ws);
    ASSERT_TRUE(TraceOutline(ws, true));
    const auto& out = ws.AryLine;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const TLineEnt& next = out[(i + 1) % out.size()];
        EXPECT_TRUE(SamePoint2D(out[i].ed, next.st, 1e-9)) << i;
    }
    // join = true merged the collinear pieces of the bottom side left of the small square.
    EXPECT_EQ(out.size(), 8u);
}

TEST(Outline, EmptyAndFailedWalks) {
    Workspace ws;
    EXPECT_FALSE(TraceOutline(ws, false));
    EXPECT_TRUE(ws.AryLine.empty());
    // An open chain: the walk runs out and back but never closes.
    ws.AryLine2 = {L(P(0, 0), P(5, 0)), L(P(5, 0), P(5, 5))};
    GetMinCorner(ws);
    ws.OutlinePrevPt = ws.OutlineMinPt;
    ws.OutlineStartPt = FindStartPoint(ws);
    EXPECT_FALSE(TraceOutline(ws, false));
}

TEST(Outline, MergeCollinearLines) {
    Workspace ws;
    // Three overlapping collinear pieces, each overlapping the next, merge into one.
    ws.AryLine = {L(P(0, 0), P(4, 0)), L(P(3, 0), P(8, 0)), L(P(7, 0), P(12, 0))};
    MergeCollinearLines(ws, false);
    ASSERT_EQ(ws.AryLine.size(), 1u);
    EXPECT_DOUBLE_EQ(Dist2D(ws.AryLine[0].st, ws.AryLine[0].ed), 12);

    // A short piece wholly inside a longer later one stays: neither end of the later one lies
    // on the short piece.
    ws.AryLine = {L(P(2, 0), P(3, 0)), L(P(0, 0), P(10, 0))};
    MergeCollinearLines(ws, false);
    EXPECT_EQ(ws.AryLine.size(), 2u);

    // A degenerate piece goes unless it is the last one.
    ws.AryLine = {L(P(0, 0), P(1e-6, 0)), L(P(5, 5), P(6, 6)), L(P(9, 9), P(9, 9 + 1e-6))};
    MergeCollinearLines(ws, false);
    ASSERT_EQ(ws.AryLine.size(), 2u);
    EXPECT_EQ(ws.AryLine[0].st.x, 5);
    EXPECT_EQ(ws.AryLine[1].st.x, 9);

    // sameZ keeps pieces at different heights apart.
    TLineEnt hi = L(P(3, 0), P(8, 0));
    hi.st.z = hi.ed.z = 100;
    ws.AryLine = {L(P(0, 0), P(4, 0)), hi};
    MergeCollinearLines(ws, true);
    EXPECT_EQ(ws.AryLine.size(), 2u);
    ws.AryLine = {L(P(0, 0), P(4, 0)), hi};
    MergeCollinearLines(ws, false);
    EXPECT_EQ(ws.AryLine.size(), 1u);
}

TEST(Outline, Duplicates) {
    const std::vector<TLineEnt> pair = {L(P(0, 0), P(5, 0)), L(P(5, 0), P(0, 0)),
                                        L(P(1, 1), P(2, 2))};
    Workspace ws;
    ws.AryLine2 = pair;
    ws.AryLine = {L(P(9, 9), P(8, 8))};
    RemoveDupLines(ws);
    ASSERT_EQ(ws.AryLine2.size(), 2u);  // the reverse duplicate keeps one: the later one
    EXPECT_EQ(ws.AryLine2[0].st.x, 5);
    EXPECT_TRUE(ws.AryLine.empty());
}

// Spikes where a closed walk turns back on itself go, the walk stays closed; a segment walked
// both ways at different times (a bridge between two figures) stays.
TEST(Outline, RemoveSpikes) {
    // A 10 x 10 square walked from (0, 0), with whatever is put in at (10, 5) on its right side.
    auto square = [](std::initializer_list<TAcadPoint> atRight) {
        std::vector<TAcadPoint> v = {P(0, 0), P(10, 0), P(10, 5)};
        v.insert(v.end(), atRight);
        v.insert(v.end(), {P(10, 10), P(0, 10)});
        return v;
    };
    struct Row {
        const char* name;
        std::vector<TAcadPoint> walk;  // closed: back to the first point
        std::size_t rotate;            // start the walk this many segments later
        std::vector<TAcadPoint> want;  // start points of the kept segments
    };
    const std::vector<TAcadPoint> plain = square({});
    const Row rows[] = {
        {"no spike", plain, 0, plain},
        {"a spike", square({P(15, 5), P(10, 5)}), 0, plain},
        {"a spike with a bend", square({P(15, 5), P(15, 8), P(15, 5), P(10, 5)}), 0, plain},
        {"a spike across the walk's start",
         square({P(15, 5), P(10, 5)}),
         3,
         {P(10, 5), P(10, 10), P(0, 10), P(0, 0), P(10, 0)}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Workspace ws;
        const std::size_t n = r.walk.size();
        for (std::size_t i = 0; i < n; ++i) {
            ws.AryLine.push_back(L(r.walk[(i + r.rotate) % n], r.walk[(i + r.rotate + 1) % n]));
        }
        RemoveSpikes(ws);
        ASSERT_EQ(ws.AryLine.size(), r.want.size());
        for (std::size_t i = 0; i < r.want.size(); ++i) {
            EXPECT_TRUE(SamePoint2D(ws.AryLine[i].st, r.want[i], 1e-9)) << i;
            EXPECT_TRUE(
                SamePoint2D(ws.AryLine[i].ed, ws.AryLine[(i + 1) % r.want.size()].st, 1e-9));
        }
    }

    // Two squares joined by a bridge from (4, 2) to (8, 2), walked out and back.
    Workspace ws;
    AddRing(ws.AryLine, {P(4, 2), P(8, 2), P(8, 0), P(12, 0), P(12, 4), P(8, 4), P(8, 2), P(4, 2),
                         P(4, 4), P(0, 4), P(0, 0), P(4, 0)});
    const std::vector<TLineEnt> dumbbell = ws.AryLine;
    RemoveSpikes(ws);
    ASSERT_EQ(ws.AryLine.size(), dumbbell.size());
    for (std::size_t i = 0; i < dumbbell.size(); ++i)
        EXPECT_TRUE(SamePoint2D(ws.AryLine[i].st, dumbbell[i].st, 1e-9)) << i;
}

// The walk closes only when it is about to leave its start along its first segment again: here
// the start, the leftmost point, is the tip of a "<" that joins two squares, and the walk
// passes it twice (out to the lower square and back, then out to the upper one and back).
TEST(Outline, WalkThroughItsStartTwice) {
    Workspace ws;
    AddSquare(ws.AryLine2, 3, 0, 3);
    AddSquare(ws.AryLine2, 3, 7, 3);
    ws.AryLine2.push_back(L(P(3, 3), P(0, 5)));
    ws.AryLine2.push_back(L(P(0, 5), P(3, 7)));
    GetMinCorner(ws);
    ws.OutlinePrevPt = ws.OutlineMinPt;
    ws.OutlineStartPt = FindStartPoint(ws);
    ASSERT_TRUE(SamePoint2D(ws.OutlineStartPt, P(0, 5), 1e-9));
    ASSERT_TRUE(TraceOutline(ws, false));
    const std::vector<TAcadPoint> want = {P(0, 5), P(3, 3), P(3, 0), P(6, 0),  P(6, 3),  P(3, 3),
                                          P(0, 5), P(3, 7), P(6, 7), P(6, 10), P(3, 10), P(3, 7)};
    ASSERT_EQ(ws.AryLine.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i)
        EXPECT_TRUE(SamePoint2D(ws.AryLine[i].st, want[i], 1e-9)) << i;
}

TEST(Outline, SplitAndPrune) {
    Workspace ws;
    // A cross: each bar is cut in two at the crossing; end-to-end meetings also split.
    ws.AryLine = {L(P(0, 5), P(10, 5)), L(P(5, 0), P(5, 10)), L(P(10, 5), P(10, 9))};
    ws.AryLine2.clear();
    SplitAtIntersections(ws);
    EXPECT_EQ(ws.AryLine2.size(), 5u);
    // Pruning keeps only pieces touching others at both ends: the right half of the
    // horizontal bar, which meets the crossing and the end-to-end piece.
    PruneDanglingLines(ws);
    ASSERT_EQ(ws.AryLine2.size(), 1u);
    EXPECT_EQ(ws.AryLine2[0].st.x, 5);

    // One pass only: a chain loses its end pieces, the middle waits for the next pass.
    ws.AryLine2 = {L(P(0, 0), P(1, 0)), L(P(1, 0), P(2, 0)), L(P(2, 0), P(3, 0))};
    PruneDanglingLines(ws);
    ASSERT_EQ(ws.AryLine2.size(), 1u);
    EXPECT_EQ(ws.AryLine2[0].st.x, 1);
}

TEST(Outline, SortTempPointsByDistDoesNotSwapTies) {
    Workspace ws;
    ws.AryTempPoint = {{0, P(1, 0), "a"}, {0, P(-1, 0), "b"}, {0, P(0, 0), "c"}};
    SortTempPointsByDist(ws, P(0, 0));
    // c moves to the front by a swap with a; b and a tie and keep that order.
    EXPECT_EQ(ws.AryTempPoint[0].Name, "c");
    EXPECT_EQ(ws.AryTempPoint[1].Name, "b");
    EXPECT_EQ(ws.AryTempPoint[2].Name, "a");
}

TEST(Outline, FarthestPointInDir) {
    Workspace ws;
    AddRing(ws.AryLine, {P(0, 0), P(10, 0), P(10, 10), P(0, 10)});
    // North up: the top side ties; the last vertex in order wins.
    TAcadPoint p = FarthestPointInDir(ws, kHalfPi);
    EXPECT_NEAR(p.x, 0, 1e-9);
    EXPECT_NEAR(p.y, 10, 1e-9);
    p = FarthestPointInDir(ws, 0);  // east
    EXPECT_NEAR(p.x, 10, 1e-9);
    p = FarthestPointInDir(ws, kPi + kPi / 4);  // south-west
    EXPECT_NEAR(p.x, 0, 1e-9);
    EXPECT_NEAR(p.y, 0, 1e-9);
}

// A run asked to stop: the passes give up part way through a large soup, and the loop
// traces nothing more.
TEST(Outline, PassesLookAtTheStopRequest) {
    class Stopped : public RunContext {
    public:
        bool StopRequested() const override { return true; }
    } stopped;
    std::vector<TLineEnt> soup;
    for (int k = 0; k < 3000; ++k) AddSquare(soup, 7000.0 * (k % 60), 7000.0 * (k / 60), 5000);
    Workspace ws;
    ws.AryLine = soup;
    EXPECT_FALSE(PrepareOutlineSegments(ws, nullptr, &stopped));

    ws.AryLine = soup;
    ASSERT_TRUE(PrepareOutlineSegments(ws, nullptr, &QuietRun()));
    int outlines = 0;
    EXPECT_EQ(TraceOutlineLoop(ws, stopped, [&](const Workspace&) { ++outlines; }),
              OutlineLoopEnd::Stopped);
    EXPECT_EQ(outlines, 0);
    EXPECT_EQ(ws.AryLine2.size(), soup.size());  // the split squares, left as they were
}

TEST(Outline, GetMaxSpan) {
    Workspace ws;
    ws.AryLine = {L(P(0, 0), P(1, 0))};
    GetMaxSpan(ws);
    EXPECT_EQ(ws.MaxSpan, 0);  // one segment: no pair
    ws.AryLine.push_back(L(P(4, 4), P(3, 0)));
    GetMaxSpan(ws);
    EXPECT_DOUBLE_EQ(ws.MaxSpan, std::sqrt(32.0));
}

}  // namespace
}  // namespace zuka

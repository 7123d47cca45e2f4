#include "shadow/equal_time.h"

#include <gtest/gtest.h>

#include <cmath>

#include "../buildings.h"
#include "winter_sun.h"
#include "base/number.h"
#include "geom/primitives.h"
#include "shadow/touji_contour.h"

namespace zuka {
namespace {

using testing_buildings::AddBox;
using testing_sun::Winter36;

// A grid whose counters are set by hand: cells listed as "#" reach the threshold.
void Draw(ToujiGrid& g, const std::vector<std::string>& rows, int value) {
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            if (rows[r][c] == '#') g.At(static_cast<int>(c), static_cast<int>(r)) = value;
}

TEST(EqualTime, SamplesAndSteps) {
    // Eight hours at 10 s: 2879 samples, the two ends not sampled.
    const std::vector<double> t = ToujiSampleTimes(8, 16, 10);
    ASSERT_EQ(t.size(), 2879u);
    EXPECT_DOUBLE_EQ(t.front(), 8 + 10.0 / 3600);
    EXPECT_DOUBLE_EQ(t.back(), 16 - 10.0 / 3600);
    EXPECT_EQ(ToujiSampleTimes(8, 16, 1).size(), 28799u);

    TToujiParams p;
    struct Row {
        int idx;
        bool tenth;
        int seconds;
        int mesh;
    };
    const Row rows[] = {{0, false, 10, 2000}, {1, false, 30, 1600}, {2, false, 60, 1200},
                        {0, true, 1, 2000},   {1, true, 3, 1600},   {2, true, 6, 1200},
                        {-1, false, 120, 640}};
    for (const Row& r : rows) {
        p.hyoukaIdx = r.idx;
        p.tenth = r.tenth;
        EXPECT_EQ(ToujiStepSeconds(p), r.seconds) << r.idx << r.tenth;
        EXPECT_EQ(ToujiMeshSize(p), r.mesh) << r.idx;
    }
    EXPECT_EQ(ToujiCaption(0), "1.5Hr");
    EXPECT_EQ(ToujiCaption(13), "8.0Hr");
}

TEST(EqualTime, SpanCountingMatchesTheMask) {
    // Boxes of different heights, a sloped wall crossing the plane and a wall below it.
    Workspace ws;
    AddBox(ws, 0, 0, 8000, 6000, 12000);
    AddBox(ws, 15000, 3000, 5000, 9000, 21000);
    AddBox(ws, 9000, 14000, 3000, 3000, 7000);
    TLineEnt slope;
    slope.st = {-5000, 2000, 2000};
    slope.ed = {-5000, 12000, 9000};
    ws.AryTatemono.push_back(slope);
    TLineEnt low;
    low.st = {25000, 0, 1000};
    low.ed = {27000, 0, 1000};
    ws.AryTatemono.push_back(low);

    const SunModel sun = Winter36();
    const TToujiMesh mesh{-60000, -5000, 150, 700};
    ToujiGrid spans, mask;
    const int a =
        AccumulateTouji(ws, sun, 8, 16, 60, 4000, mesh, spans, QuietRun(), ToujiCounting::Spans);
    const int b =
        AccumulateTouji(ws, sun, 8, 16, 60, 4000, mesh, mask, QuietRun(), ToujiCounting::Mask);
    EXPECT_EQ(a, 479);
    EXPECT_EQ(a, b);
    long total = 0;
    for (int r = 0; r < mesh.n; ++r)
        for (int c = 0; c < mesh.n; ++c) {
            ASSERT_EQ(spans.At(c, r), mask.At(c, r)) << c << "," << r;
            total += spans.At(c, r);
        }
    EXPECT_GT(total, 0);
}

// A block of a town as the acquisition leaves it: boxes and L-shapes of several heights, a
// round tower of 36 chords, a block whose walls stand at two heights, two sloping roof edges
// that meet at different heights, one sloping through the plane, a wall below it, a lone wall,
// a wall drawn twice in opposite directions and a ring with a zero-length side.
Workspace TownBlock() {
    Workspace ws;
    auto ring = [&](std::vector<TAcadPoint> plan, double height) {
        for (std::size_t i = 0; i < plan.size(); ++i) {
            TLineEnt s;
            s.st = {plan[i].x, plan[i].y, height};
            s.ed = {plan[(i + 1) % plan.size()].x, plan[(i + 1) % plan.size()].y, height};
            ws.AryTatemono.push_back(s);
        }
    };
    for (int b = 0; b < 9; ++b) {
        const double x = (b % 3) * 30000.0 + 1000 * b;
        const double y = (b / 3) * 32000.0 + 700 * b;
        const double h = 6000 + 3000 * ((b * 5) % 9);
        if (b % 3 == 1)
            ring({{x, y, 0},
                  {x + 16000, y, 0},
                  {x + 16000, y + 7000, 0},
                  {x + 8000, y + 7000, 0},
                  {x + 8000, y + 15000, 0},
                  {x, y + 15000, 0}},
                 h);
        else
            ring({{x, y, 0},
                  {x + 12000 + 500 * b, y, 0},
                  {x + 12000 + 500 * b, y + 9000, 0},
                  {x, y + 9000, 0}},
                 h);
    }
    std::vector<TAcadPoint> tower;
    for (int j = 0; j < 36; ++j)
        tower.push_back(
            {95000 + 9000 * std::cos(j * kPi / 18), 40000 + 9000 * std::sin(j * kPi / 18), 0});
    ring(tower, 27000);
    const TAcadPoint stepped[4] = {
        {-40000, 60000, 0}, {-22000, 60000, 0}, {-22000, 72000, 0}, {-40000, 72000, 0}};
    for (int k = 0; k < 4; ++k) {
        TLineEnt s;
        s.st = stepped[k];
        s.ed = stepped[(k + 1) % 4];
        s.st.z = s.ed.z = k % 2 == 0 ? 12000 : 21000;
        ws.AryTatemono.push_back(s);
    }
    ring({{100000, 80000, 0},
          {112000, 80000, 0},
          {112000, 80000, 0},
          {112000, 90000, 0},
          {100000, 90000, 0}},
         15000);
    TLineEnt s;
    s.st = {-60000, 20000, 10000};  // meeting at 25 m and 12 m above one corner
    s.ed = {-50000, 20000, 25000};
    ws.AryTatemono.push_back(s);
    s.st = {-50000, 20000, 12000};
    s.ed = {-38000, 20000, 30000};
    ws.AryTatemono.push_back(s);
    s.st = {-8000, 10000, 2000};  // sloping through the 4 m plane
    s.ed = {-8000, 30000, 20000};
    ws.AryTatemono.push_back(s);
    s.st = {-20000, 0, 3000};  // below the plane
    s.ed = {-15000, 0, 3000};
    ws.AryTatemono.push_back(s);
    s.st = {40000, -10000, 12000};  // a lone wall, and one drawn twice
    s.ed = {52000, -6000, 12000};
    ws.AryTatemono.push_back(s);
    s.st = {60000, -10000, 9000};
    s.ed = {70000, -10000, 9000};
    ws.AryTatemono.push_back(s);
    std::swap(s.st, s.ed);
    ws.AryTatemono.push_back(s);
    return ws;
}

TEST(EqualTime, SpanCountingMatchesTheMaskOnATownBlock) {
    // The grouped span counting against the plain mask over the whole raster, with the true
    // north turned so that the shadows fall at other slants, on a mesh that holds the shadows
    // and one that cuts them on every side, on one thread and on several; and at short steps
    // on coarse cells, where most pieces stay in their cells from one sample to the next and
    // the counting takes over what it found for the sample before.
    const Workspace ws = TownBlock();
    struct Row {
        const char* name;
        const char* kita;
        TToujiMesh mesh;
        int step;
    };
    const Row rows[] = {
        {"whole, north up", "90", {-120000, -60000, 300, 900}, 120},
        {"cut, north turned", "57", {-20000, -20000, 160, 700}, 120},
        {"short steps, coarse cells", "75", {-120000, -60000, 700, 400}, 10},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SunModel sun;
        sun.RadioGroup1Click(0);
        sun.SetTaiyouParams({row.kita, "36", "0", "0", "4", "8", "16", 0});
        ToujiGrid mask;
        AccumulateTouji(ws, sun, 8, 16, row.step, 4000, row.mesh, mask, QuietRun(),
                        ToujiCounting::Mask);
        long shaded = 0;
        for (int r = 0; r < row.mesh.n; ++r)
            for (int c = 0; c < row.mesh.n; ++c) shaded += mask.At(c, r) > 0 ? 1 : 0;
        EXPECT_GT(shaded, row.mesh.n * row.mesh.n / 20);
        for (int threads : {1, 2, 3}) {
            SCOPED_TRACE(threads);
            ToujiGrid spans;
            spans.SetThreads(threads);
            AccumulateTouji(ws, sun, 8, 16, row.step, 4000, row.mesh, spans, QuietRun());
            for (int r = 0; r < row.mesh.n; ++r)
                for (int c = 0; c < row.mesh.n; ++c)
                    ASSERT_EQ(spans.At(c, r), mask.At(c, r)) << c << "," << r;
        }
        // One sample at a time gives the same.
        ToujiGrid single;
        single.Reset(row.mesh.n);
        std::vector<TShadowQuad> quads;
        for (double t : ToujiSampleTimes(8, 16, row.step)) {
            double azimuth = 0;
            double factor = 1;
            if (!sun.GetTaiyouHoui(t, azimuth, factor)) continue;
            MakeShadowQuads(ws.AryTatemono, sun.ShadowDir(azimuth), factor, 4000, quads);
            single.AddSample(quads, row.mesh);
        }
        single.FinishSamples();
        for (int r = 0; r < row.mesh.n; ++r)
            for (int c = 0; c < row.mesh.n; ++c)
                ASSERT_EQ(single.At(c, r), mask.At(c, r)) << c << "," << r;
    }
}

TEST(EqualTime, SpanCountingMatchesTheMaskWhereManyShadowsOverlap) {
    // Forty-eight slender towers packed in a square of 80 m: north of them a row of the
    // raster crosses the long morning and evening shadows of most of them at once, many more
    // than the few a row meets in a town block, and the counting takes their union cell by
    // cell there. Turned boxes and a ring mix in other slants.
    Workspace ws;
    for (int k = 0; k < 48; ++k) {
        const double x = 11000.0 * (k % 8) + 1700.0 * (k % 5);
        const double y = 13000.0 * (k / 8) + 2300.0 * (k % 3);
        AddBox(ws, x, y, 3000 + 400 * (k % 4), 3000, 24000 + 3000 * (k % 7));
    }
    const SunModel sun = Winter36();
    const TToujiMesh mesh{-200000, -20000, 800, 500};
    ToujiGrid mask;
    AccumulateTouji(ws, sun, 8, 16, 120, 4000, mesh, mask, QuietRun(), ToujiCounting::Mask);
    ToujiGrid spans;
    spans.SetThreads(2);
    AccumulateTouji(ws, sun, 8, 16, 120, 4000, mesh, spans, QuietRun());
    long shaded = 0;
    for (int r = 0; r < mesh.n; ++r)
        for (int c = 0; c < mesh.n; ++c) {
            ASSERT_EQ(spans.At(c, r), mask.At(c, r)) << c << "," << r;
            shaded += mask.At(c, r) > 0 ? 1 : 0;
        }
    EXPECT_GT(shaded, mesh.n * mesh.n / 10);
}

TEST(EqualTime, WallCrossingThePlaneCastsItsShadow) {
    // A sloped roof edge from 2 m to 10 m above the ground, plane at 4 m: the part above the
    // plane shades the ground north of it, as the time-of-day diagram draws it.
    TLineEnt slope;
    slope.st = {0, 0, 2000};
    slope.ed = {10000, 0, 10000};
    std::vector<TShadowQuad> quads;
    MakeShadowQuads({slope}, kHalfPi, 1.0, 4000, quads);
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_DOUBLE_EQ(quads[0][3].y, 0);     // the low end stays at its foot
    EXPECT_DOUBLE_EQ(quads[0][2].y, 6000);  // the high end throws 6 m north
    // A wall wholly at or below the plane casts nothing.
    slope.ed.z = 4000;
    MakeShadowQuads({slope}, kHalfPi, 1.0, 4000, quads);
    EXPECT_TRUE(quads.empty());
}

TEST(EqualTime, QuadCellSpansCoverInteriorAndBoundary) {
    const TToujiMesh mesh{0, 0, 1, 20};
    std::vector<TCellSpan> spans;
    // A 4 x 3 rectangle from (2,5) to (6,8): rows 20-8=12 .. 20-5=15, columns 2 .. 6.
    QuadCellSpans({TAcadPoint{2, 5, 0}, {6, 5, 0}, {6, 8, 0}, {2, 8, 0}}, mesh, spans);
    ASSERT_EQ(spans.size(), 4u);
    for (const TCellSpan& s : spans) {
        EXPECT_EQ(s.c0, 2);
        EXPECT_EQ(s.c1, 6);
    }
    EXPECT_EQ(spans.front().r, 12);
    EXPECT_EQ(spans.back().r, 15);
    // Clipped at the raster's edge; wholly outside gives nothing.
    spans.clear();
    QuadCellSpans({TAcadPoint{-5, 5, 0}, {3, 5, 0}, {3, 6, 0}, {-5, 6, 0}}, mesh, spans);
    ASSERT_FALSE(spans.empty());
    EXPECT_EQ(spans[0].c0, 0);
    spans.clear();
    QuadCellSpans({TAcadPoint{100, 5, 0}, {103, 5, 0}, {103, 6, 0}, {100, 6, 0}}, mesh, spans);
    EXPECT_TRUE(spans.empty());
}

TEST(EqualTime, TracesRegionsInSearchOrderAndGoesOnPastASpeck) {
    ToujiGrid g;
    g.Reset(16);
    const TToujiMesh mesh{0, 0, 1, 16};
    Draw(g,
         {"................",
          "..#.............",  // a speck first in the search order
          "................", ".........####...", ".........####...", "...###...####...",
          "...###..........", "...###..........", "................"},
         100);
    const TContourResult r = TraceToujiOutlines(g, mesh, 100, QuietRun());
    EXPECT_FALSE(r.reachedEdge);
    ASSERT_EQ(r.outlines.size(), 2u);
    // The upper-right region is found first (search runs row by row); its first vertex is
    // its top-left cell (9, 3): x = 9.5, y = 16 - 3.
    EXPECT_DOUBLE_EQ(r.outlines[0][0].x, 9.5);
    EXPECT_DOUBLE_EQ(r.outlines[0][0].y, 13);
    // The 10 boundary cells of a 4 x 3 block, less the one visited just before the walk
    // returned to its start.
    EXPECT_EQ(r.outlines[0].size(), 9u);
    EXPECT_DOUBLE_EQ(r.outlines[1][0].x, 3.5);
    // Every region taken is lowered below the threshold, the speck too.
    for (int rr = 0; rr < 16; ++rr)
        for (int c = 0; c < 16; ++c) EXPECT_LT(g.At(c, rr), 100u) << c << "," << rr;
}

TEST(EqualTime, RegionAtTheMeshEdgeIsReported) {
    ToujiGrid g;
    g.Reset(10);
    Draw(g, {"..........", "..........", "......####", "......####"}, 50);
    const TContourResult r = TraceToujiOutlines(g, {0, 0, 1, 10}, 50, QuietRun());
    EXPECT_TRUE(r.reachedEdge);
    EXPECT_TRUE(r.outlines.empty());
}

TEST(EqualTime, Smoothing) {
    // Fewer than K + 3 vertices: unchanged.
    const std::vector<TAcadPoint> small = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    EXPECT_EQ(SmoothOutline(small, 4).size(), 4u);
    // A square traced cell by cell (counter-clockwise, 5 cells a side): the straight runs
    // keep only their ends.
    std::vector<TAcadPoint> sq;
    for (int i = 0; i < 5; ++i) sq.push_back({double(i), 0, 0});
    for (int i = 0; i < 5; ++i) sq.push_back({5, double(i), 0});
    for (int i = 0; i < 5; ++i) sq.push_back({5 - double(i), 5, 0});
    for (int i = 0; i < 5; ++i) sq.push_back({0, 5 - double(i), 0});
    const std::vector<TAcadPoint> s = SmoothOutline(sq, 4);
    EXPECT_LT(s.size(), sq.size());
    for (std::size_t i = 1; i + 1 < s.size(); ++i)
        EXPECT_FALSE(IsOnLine2(s[i - 1], s[i], s[i], s[i + 1])) << i;
}

TEST(EqualTime, LabelPointIsNorthernmost) {
    const std::vector<TAcadPoint> v = {{0, 0, 0}, {10, 0, 0}, {10, 5, 0}, {3, 6, 0}, {0, 5, 0}};
    const TAcadPoint north = ToujiLabelPoint(v, 90);
    EXPECT_DOUBLE_EQ(north.x, 3);
    EXPECT_DOUBLE_EQ(north.y, 6);
    const TAcadPoint east = ToujiLabelPoint(v, 0);  // north toward +x: the east side
    EXPECT_DOUBLE_EQ(east.x, 10);
    const TAcadPoint west = ToujiLabelPoint(v, 180);
    EXPECT_DOUBLE_EQ(west.x, 0);
}

TToujiParams Params(std::initializer_list<int> items) {
    TToujiParams p;
    p.hours.fill(false);
    for (int i : items) p.hours[static_cast<std::size_t>(i)] = true;
    p.hyoukaIdx = 2;  // 60 s
    p.meshSizes = {400, 400, 400, 400};
    return p;
}

TEST(EqualTime, WholeDiagramOfABox) {
    Workspace ws;
    AddBox(ws, 0, 0, 20000, 10000, 16000);
    const SunModel sun = Winter36();
    ToujiGrid grid;
    DxfList dxf;
    std::vector<std::string> messages;
    TToujiUi ui;
    ui.message = [&](const std::string&, const std::string& m) { messages.push_back(m); };

    // 2.0 and 8.0 hours over 8:00-16:00: the 8-hour threshold is one sample less than the
    // period, so the cells shaded at every sample (just north of the box) form a region.
    TToujiResult r = BuildToujiDiagram(ws, sun, Params({1, 13}), grid, dxf, QuietRun(), ui);
    EXPECT_EQ(r.samples, 479);
    EXPECT_EQ(r.outlines, 2);
    EXPECT_TRUE(messages.empty());
    // Longest hours first; colours (item mod 5) + 2; the mesh text last.
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < dxf.size(); ++i)
        if (dxf[i].rfind("  1\r\n", 0) == 0) labels.push_back(dxf[i].substr(5));
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels[0], "8.0Hr");
    EXPECT_EQ(labels[1], "2.0Hr");
    EXPECT_EQ(labels[2], FormatFixed(r.mesh, 1) + " mm/mesh");
    EXPECT_EQ(dxf[0], "  0\r\nPOLYLINE\r\n  8\r\nZUKA_TOUJI");
    EXPECT_EQ(dxf[1], " 62\r\n5");

    // An hour longer than the period draws nothing and says nothing.
    dxf.clear();
    TToujiParams p = Params({13});
    p.owari = 15;
    r = BuildToujiDiagram(ws, sun, p, grid, dxf, QuietRun(), ui);
    EXPECT_EQ(r.outlines, 0);
    EXPECT_TRUE(dxf.empty());
    EXPECT_TRUE(messages.empty());
}

class StopNow : public RunContext {
public:
    bool StopRequested() const override { return true; }
};

// Asks to stop once the progress has passed a given position.
class StopAfter : public RunContext {
public:
    explicit StopAfter(int position) : position_(position) {}
    bool StopRequested() const override { return seen_ > position_; }
    void SetProgressPosition(int pos) override { seen_ = std::max(seen_, pos); }

private:
    int position_;
    int seen_ = 0;
};

TEST(EqualTime, StopDuringTheAccumulationIsSeen) {
    // The samples are counted in batches shared by the threads; a stop asked for part way
    // through the period ends the accumulation at the next batch.
    Workspace ws;
    AddBox(ws, 0, 0, 20000, 10000, 16000);
    ToujiGrid grid;
    StopAfter stop(100);
    const int done =
        AccumulateTouji(ws, Winter36(), 8, 16, 10, 4000, {-60000, -5000, 150, 400}, grid, stop);
    EXPECT_GT(done, 0);
    EXPECT_LT(done, 2879);
}

TEST(EqualTime, StoppedRunWritesNothingToInsert) {
    Workspace ws;
    AddBox(ws, 0, 0, 20000, 10000, 16000);
    ToujiGrid grid;
    DxfList dxf;
    StopNow stop;
    const TToujiResult r =
        BuildToujiDiagram(ws, Winter36(), Params({1}), grid, dxf, stop, TToujiUi{});
    EXPECT_TRUE(r.stopped);
}

}  // namespace
}  // namespace zuka

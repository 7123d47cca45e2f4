#include "shadow/kabe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "../buildings.h"
#include "winter_sun.h"
#include "../sky/dxf_entities.h"
#include "base/number.h"
#include "geom/primitives.h"
#include "shadow/touji_contour.h"

namespace zuka {
namespace {

using testing_buildings::AddBox;
using testing_sun::Winter36;
using testing_buildings::Box;
using testing_dxf::Entities;
using testing_dxf::OfType;
using testing_dxf::TEnt;

// A wall line along y = 10000 from x = 0 to 20000, 12 m high, drawn from west to east.
TLineEnt WallLine(double z = 12000) {
    TLineEnt w;
    w.st = {0, 10000, z};
    w.ed = {20000, 10000, z};
    return w;
}

TLineEnt Reversed(TLineEnt w) {
    std::swap(w.st, w.ed);
    return w;
}

// Noon of the winter solstice at 36 degrees: the sun due south, shadows due north.
struct TNoon {
    double dir = 0;
    double factor = 0;
};
TNoon Noon(const SunModel& sun) {
    double azimuth = 0;
    TNoon n;
    EXPECT_TRUE(sun.GetTaiyouHoui(12, azimuth, n.factor));
    n.dir = sun.ShadowDir(azimuth);
    return n;
}

// The vertices of each POLYLINE in order.
std::vector<std::vector<TAcadPoint>> Polylines(const std::vector<TEnt>& ents) {
    std::vector<std::vector<TAcadPoint>> out;
    bool open = false;
    for (const TEnt& e : ents) {
        if (e.type == "POLYLINE") {
            out.emplace_back();
            open = true;
        } else if (e.type == "VERTEX" && open) {
            out.back().push_back({e.Num(10), e.Num(20), 0});
        } else if (e.type == "SEQEND") {
            open = false;
        }
    }
    return out;
}

TEST(Kabe, OrientationByTheBuildingSide) {
    // A box south of the wall: walking from st to ed the box lies on the right, so the wall
    // runs west to east whichever end was drawn first.
    const std::vector<TLineEnt> south = Box(5000, 2000, 15000, 6000, 9000);
    const std::vector<TLineEnt> north = Box(5000, 14000, 15000, 18000, 9000);
    struct Row {
        const char* name;
        const std::vector<TLineEnt>& model;
        double stX;
    };
    const Row rows[] = {{"south", south, 0}, {"north", north, 20000}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        for (const TLineEnt& drawn : {WallLine(), Reversed(WallLine())}) {
            const std::optional<TLineEnt> k = MakeKabeSen(drawn, r.model, 9000);
            ASSERT_TRUE(k);
            EXPECT_EQ(k->st.x, r.stX);
            EXPECT_EQ(k->ed.x, 20000 - r.stX);
        }
    }
    // The wall itself first in the model tells no side: the next building does.
    std::vector<TLineEnt> withWall = {WallLine()};
    withWall.insert(withWall.end(), south.begin(), south.end());
    for (const TLineEnt& drawn : {WallLine(), Reversed(WallLine())})
        EXPECT_EQ(MakeKabeSen(drawn, withWall, 9000)->st.x, 0);
    // Nothing to orient by, or no direction.
    EXPECT_FALSE(MakeKabeSen(WallLine(), {}, 9000));
    TLineEnt point = WallLine();
    point.ed = point.st;
    EXPECT_FALSE(MakeKabeSen(point, south, 9000));

    // Either way round, the same elevation.
    const SunModel sun = Winter36();
    TKabeParams p;
    std::vector<std::string> texts;
    for (const TLineEnt& drawn : {WallLine(), Reversed(WallLine())}) {
        Workspace ws;
        ws.AryTatemono = south;
        DxfList dxf;
        DrawKabeLine(ws, sun, *MakeKabeSen(drawn, south, 9000), p, dxf, QuietRun());
        std::string all;
        for (const std::string& s : dxf) all += s;
        texts.push_back(all);
    }
    EXPECT_EQ(texts[0], texts[1]);
}

TEST(Kabe, HeightsFromTheModelAndTheThickness) {
    const std::vector<TLineEnt> model = Box(5000, 2000, 15000, 6000, 9000);
    struct Row {
        const char* name;
        double stZ, edZ, atumi, gbzmax;
        double wantSt, wantEd, wantU;
    };
    const Row rows[] = {
        {"flat line takes gbzmax", 0, 0, 0, 9000, 9000, 9000, 9000},
        {"own heights stay", 3000, 5000, 0, 9000, 3000, 5000, 5000},
        {"one end at 0", 0, 5000, 0, 9000, 9000, 5000, 9000},
        {"thickness above the ends", 0, 0, 12000, 9000, 12000, 12000, 12000},
        {"thickness below the ends", 0, 0, 2000, 9000, 9000, 9000, 9000},
        {"no height anywhere", 0, 0, 0, 0, 0, 0, kKabeDefaultTakasa},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TLineEnt line = WallLine();
        line.st.z = r.stZ;
        line.ed.z = r.edZ;
        line.atumi = r.atumi;
        const TLineEnt k = *MakeKabeSen(line, model, r.gbzmax);
        EXPECT_EQ(k.st.z, r.wantSt);
        EXPECT_EQ(k.ed.z, r.wantEd);
        EXPECT_EQ(KabeHeight(k), r.wantU);
        EXPECT_EQ(KabeLength(k), 20000);
    }
}

TEST(Kabe, Frame) {
    // A wall 12.5 m long and 3.5 m high: height lines at 1, 2, 3 m (the odd ones dashed),
    // distance lines at 0, 5 and 10 m, the end line; laid off the wall, a ground line first.
    Workspace ws;
    AddBox(ws, 0, 0, 1000, 1000, 1000);
    TLineEnt kabe;
    kabe.st = {0, 5000, 3500};
    kabe.ed = {12500, 5000, 3500};
    for (bool onWall : {true, false}) {
        SCOPED_TRACE(onWall);
        TKabeParams p;
        p.onWall = onWall;
        p.kaisi = p.owari = 12;
        DxfList dxf;
        StartDxfFile(dxf);
        DrawKabeLine(ws, Winter36(), kabe, p, dxf, QuietRun());
        const std::vector<TEnt> lines = OfType(Entities(dxf), "LINE");
        const std::size_t heights = onWall ? 3 : 4;
        ASSERT_EQ(lines.size(), heights + 4);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].Get(8), "ZUKA_HWAKU");
            EXPECT_EQ(lines[i].Get(62), "251");
        }
        const TEnt& first = lines[0];
        EXPECT_EQ(first.Get(10), "0.0");
        EXPECT_EQ(first.Num(20), onWall ? 1000 : 0);
        EXPECT_EQ(first.Num(11), 12500);
        for (std::size_t i = 0; i < heights; ++i) {
            const bool odd = static_cast<int>(lines[i].Num(20) / 1000) % 2 == 1;
            EXPECT_EQ(lines[i].Get(6), odd ? "HIDDEN2" : "");
        }
        const double wantX[] = {0, 5000, 10000, 12500};
        for (std::size_t i = 0; i < 4; ++i) {
            const TEnt& l = lines[heights + i];
            EXPECT_EQ(l.Num(10), wantX[i]);
            EXPECT_EQ(l.Num(11), wantX[i]);
            EXPECT_EQ(l.Num(20), 0);
            EXPECT_EQ(l.Num(21), 3500);
        }
    }
}

TEST(Kabe, NoonShadowOfABoxMatchesTheHandComputation) {
    // A box 10 m wide, 4 m deep, 9 m high, its north face 4 m south of the wall. At noon the
    // rays run due north: the shadow on the wall spans the box's width, x 5000 .. 15000 (the
    // rays through its corners), and its top is where the ray over the north face's top
    // arrives: 9000 - 4000 / L. A box north of the wall casts nothing on this face.
    const SunModel sun = Winter36();
    const TNoon noon = Noon(sun);
    const double top = 9000 - 4000 / noon.factor;
    Workspace ws;
    AddBox(ws, 5000, 2000, 10000, 4000, 9000);
    AddBox(ws, 5000, 14000, 10000, 4000, 9000);  // behind the wall
    const TLineEnt kabe = *MakeKabeSen(WallLine(), ws.AryTatemono, ws.gbzmax);

    std::vector<TShadowQuad> quads;
    MakeKabeShadowQuads(ws.AryTatemono, kabe, noon.dir, noon.factor, quads);
    for (const TShadowQuad& q : quads)
        for (const TAcadPoint& c : q) EXPECT_LE(c.y, 9000 - 2000 / noon.factor + 1e-6);

    TKabeParams p;
    p.kaisi = p.owari = 12;
    DxfList dxf;
    StartDxfFile(dxf);
    const TKabeLineResult r = DrawKabeLine(ws, sun, kabe, p, dxf, QuietRun());
    EXPECT_EQ(r.times, 1);
    const std::vector<TEnt> ents = Entities(dxf);
    const std::vector<std::vector<TAcadPoint>> rings = Polylines(ents);
    ASSERT_EQ(rings.size(), 1u);  // cut at the ground into one chain
    const std::vector<TAcadPoint>& v = rings[0];
    double x0 = 1e9, x1 = -1e9, y0 = 1e9, y1 = -1e9;
    for (const TAcadPoint& q : v) {
        x0 = std::min(x0, q.x);
        x1 = std::max(x1, q.x);
        y0 = std::min(y0, q.y);
        y1 = std::max(y1, q.y);
        const bool onEdge = std::fabs(q.x - 5000) < 1e-6 || std::fabs(q.x - 15000) < 1e-6 ||
                            std::fabs(q.y - top) < 1e-6;
        EXPECT_TRUE(onEdge) << q.x << "," << q.y;
    }
    EXPECT_NEAR(x0, 5000, 1e-6);
    EXPECT_NEAR(x1, 15000, 1e-6);
    EXPECT_NEAR(y0, 0, 1e-9);
    EXPECT_NEAR(y1, top, 1e-6);
    // Both ends on the ground: the bottom was cut away.
    EXPECT_NEAR(v.front().y, 0, 1e-9);
    EXPECT_NEAR(v.back().y, 0, 1e-9);

    // The label: below and right of the chain's end, the time as typed, top-left aligned.
    const std::vector<TEnt> texts = OfType(ents, "TEXT");
    ASSERT_EQ(texts.size(), 1u);
    const TEnt& label = texts[0];
    EXPECT_EQ(label.Get(8), "ZUKA_HJIKOKU");
    EXPECT_EQ(label.Get(1), "12:00");
    EXPECT_EQ(label.Get(40), "300.0");
    EXPECT_EQ(label.Get(73), "3");
    EXPECT_NEAR(label.Num(10), v.back().x + 60 * std::cos(kPi / 4), 1e-6);
    EXPECT_NEAR(label.Num(20), v.back().y - 60 * std::sin(kPi / 4), 1e-6);
    EXPECT_EQ(label.Get(11), label.Get(10));

    // Behind the wall alone: nothing at any time of the day.
    Workspace behind;
    AddBox(behind, 5000, 14000, 10000, 4000, 9000);
    for (double t = 8; t <= 16; t += 0.5) {
        double azimuth = 0;
        double factor = 0;
        ASSERT_TRUE(sun.GetTaiyouHoui(t, azimuth, factor));
        MakeKabeShadowQuads(behind.AryTatemono, kabe, sun.ShadowDir(azimuth), factor, quads);
        EXPECT_TRUE(quads.empty()) << t;
    }
}

TEST(Kabe, PiecesOfCrossingSlopedAndInPlaneSegments) {
    const SunModel sun = Winter36();
    const TNoon noon = Noon(sun);
    const double l = noon.factor;
    TLineEnt kabe = WallLine();
    auto seg = [](TAcadPoint a, TAcadPoint b) {
        TLineEnt s;
        s.st = a;
        s.ed = b;
        return s;
    };
    struct Row {
        const char* name;
        TLineEnt s;
        std::vector<TAcadPoint> want;  // the quad's corners, none when no piece
    };
    const Row rows[] = {
        // Crossing the plane at x = 7000: only the part south of it, whose end on the plane
        // stands at its full height there.
        {"crossing",
         seg({5000, 8000, 6000}, {9000, 12000, 6000}),
         {{5000, 6000 - 2000 / l, 0}, {7000, 6000, 0}, {7000, 0, 0}, {5000, -2000 / l, 0}}},
        // One end on the ground: a triangle.
        {"sloped",
         seg({5000, 6000, 0}, {9000, 6000, 8000}),
         {{5000, -4000 / l, 0},
          {9000, 8000 - 4000 / l, 0},
          {9000, -4000 / l, 0},
          {5000, -4000 / l, 0}}},
        // In the wall's plane (the wall itself in the model): no shadow on its own face.
        {"in the plane", seg({2000, 10000, 12000}, {18000, 10000, 12000}), {}},
        // Too far: the shadow tips fall short of the wall.
        {"short", seg({5000, 1000, 2000}, {9000, 1000, 2000}), {}},
        {"on the ground", seg({5000, 8000, 0}, {9000, 8000, 0}), {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<TShadowQuad> quads;
        MakeKabeShadowQuads({r.s}, kabe, noon.dir, noon.factor, quads);
        if (r.want.empty()) {
            EXPECT_TRUE(quads.empty());
            continue;
        }
        ASSERT_EQ(quads.size(), 1u);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_NEAR(quads[0][i].x, r.want[i].x, 1e-6) << i;
            EXPECT_NEAR(quads[0][i].y, r.want[i].y, 1e-6) << i;
        }
    }
}

TEST(Kabe, ClippingCutsIntoSeparateChains) {
    // A ring crossing all four sides of a wall 10 m long and 6 m high: a diamond centred on
    // the wall's middle, reaching 2 m past each side. Each side cuts off a corner, leaving
    // four chains, the ring's start lying outside.
    const double t = 10000;
    const double u = 6000;
    const std::vector<TAcadPoint> diamond = {
        {5000, -2000, 0}, {12000, 3000, 0}, {5000, 8000, 0}, {-2000, 3000, 0}};
    std::vector<TLineEnt> ring;
    for (std::size_t i = 0; i < diamond.size(); ++i) {
        TLineEnt s;
        s.st = diamond[i];
        s.ed = diamond[(i + 1) % diamond.size()];
        ring.push_back(s);
    }
    const std::vector<TLineEnt> kept = ClipToKabe(ring, t, u);
    for (const TLineEnt& s : kept) {
        for (const TAcadPoint& p : {s.st, s.ed}) {
            EXPECT_GE(p.x, 0);
            EXPECT_LE(p.x, t);
            EXPECT_GE(p.y, 0);
            EXPECT_LE(p.y, u);
        }
    }
    const std::vector<std::vector<TAcadPoint>> chains = KabeChains(kept);
    ASSERT_EQ(chains.size(), 4u);
    // The first chain runs from the bottom cut to the right cut along the first edge.
    EXPECT_NEAR(chains[0].front().y, 0, 1e-9);
    EXPECT_NEAR(chains[0].front().x, 5000 + 2000 * 7.0 / 5, 1e-9);
    EXPECT_NEAR(chains[0].back().x, t, 1e-9);

    // Pieces wholly outside go; a degenerate one too.
    TLineEnt left;
    left.st = {-500, 1000, 0};
    left.ed = {-100, 3000, 0};
    TLineEnt above = left;
    above.st = {1000, 7000, 0};
    above.ed = {3000, 6500, 0};
    TLineEnt dot = left;
    dot.st = dot.ed = {1000, 1000, 0};
    EXPECT_TRUE(ClipToKabe({left, above, dot}, t, u).empty());

    // A shadow reaching over the wall's top leaves its two sides as two chains, labelled at
    // the end of the first and at the start of the second. The box's shadow top at noon:
    // 16360 - 4000 / L, above the wall's 12 m.
    const SunModel sun = Winter36();
    const TNoon noon = Noon(sun);
    Workspace ws;
    AddBox(ws, 5000, 2000, 10000, 4000, 14000 + 4000 / noon.factor);
    const TLineEnt kabe = *MakeKabeSen(WallLine(), ws.AryTatemono, ws.gbzmax);
    TKabeParams p;
    p.kaisi = p.owari = 12;
    p.textTakasa = 500;
    DxfList dxf;
    DrawKabeLine(ws, sun, kabe, p, dxf, QuietRun());
    const std::vector<TEnt> ents = Entities(dxf);
    const std::vector<std::vector<TAcadPoint>> sides = Polylines(ents);
    const std::vector<TEnt> labels = OfType(ents, "TEXT");
    ASSERT_EQ(sides.size(), 2u);
    ASSERT_EQ(labels.size(), 2u);
    const TAcadPoint anchors[] = {sides[0].back(), sides[1].front()};
    for (int i = 0; i < 2; ++i) {
        for (const TAcadPoint& q : sides[static_cast<std::size_t>(i)])
            EXPECT_TRUE(std::fabs(q.x - 5000) < 1e-6 || std::fabs(q.x - 15000) < 1e-6);
        EXPECT_NEAR(anchors[i].y, 12000, 1e-6);
        EXPECT_NEAR(labels[static_cast<std::size_t>(i)].Num(10),
                    anchors[i].x + 100 * std::cos(kPi / 4), 1e-6);
        EXPECT_NEAR(labels[static_cast<std::size_t>(i)].Num(20),
                    anchors[i].y - 100 * std::sin(kPi / 4), 1e-6);
    }
}

// Counts the moments the run gives the window, and presses 中止 at one of them.
class RecordingRun : public RunContext {
public:
    bool StopRequested() const override { return stop_; }
    void ProcessMessages() override {
        if (++pumps == stopAt) stop_ = true;
    }
    int pumps = 0;
    int stopAt = 0;

private:
    bool stop_ = false;
};

TEST(Kabe, HalfHoursAreDashedAndStopIsSeenOncePerTime) {
    Workspace ws;
    AddBox(ws, 5000, 2000, 10000, 4000, 9000);
    const TLineEnt kabe = *MakeKabeSen(WallLine(), ws.AryTatemono, ws.gbzmax);
    TKabeParams p;
    p.kaisi = 11.5;
    p.owari = 12.5;
    p.kankaku = 0.5;
    DxfList dxf;
    RecordingRun run;
    const TKabeLineResult r = DrawKabeLine(ws, Winter36(), kabe, p, dxf, run);
    EXPECT_EQ(r.times, 3);
    EXPECT_EQ(run.pumps, 3);
    const std::vector<TEnt> ents = Entities(dxf);
    std::vector<std::string> labels;
    for (const TEnt& e : ents) {
        if (e.type == "POLYLINE") labels.push_back(e.Get(6));
        if (e.type == "TEXT") labels.back() += " " + e.Get(1);
    }
    const std::vector<std::string> want = {"HIDDEN2 11:30", " 12:00", "HIDDEN2 12:30"};
    EXPECT_EQ(labels, want);

    // A stop pressed during the second time ends the run there.
    DxfList stopped;
    RecordingRun stopping;
    stopping.stopAt = 2;
    const TKabeLineResult s = DrawKabeLine(ws, Winter36(), kabe, p, stopped, stopping);
    EXPECT_TRUE(s.stopped);
    EXPECT_EQ(s.times, 1);
}

// Whether the wall point (x, y) of a wall along y = wallY from x = 0 eastwards lies in the
// shadow of a box at one instant: the ray from it towards the sun (against the shadow
// direction, rising 1 / factor a unit) enters the box's footprint below its top.
bool ShadedByBox(double x, double y, double wallY, const double box[5], double dir, double factor) {
    const double rx = -std::cos(dir);
    const double ry = -std::sin(dir);
    double in = 0;
    double out = 1e30;
    const double from[2] = {x, wallY};
    const double step[2] = {rx, ry};
    for (int a = 0; a < 2; ++a) {
        const double lo = box[2 * a];
        const double hi = box[2 * a + 1];
        if (std::fabs(step[a]) < 1e-15) {
            if (from[a] < lo || from[a] > hi) return false;
            continue;
        }
        double s0 = (lo - from[a]) / step[a];
        double s1 = (hi - from[a]) / step[a];
        if (s0 > s1) std::swap(s0, s1);
        in = std::max(in, s0);
        out = std::min(out, s1);
    }
    return in <= out && y + in / factor <= box[4];
}

// Even-odd test of a point against a closed polygon, and its distance to the polygon's edges.
bool Inside(const std::vector<TAcadPoint>& v, double x, double y) {
    bool in = false;
    for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
        if ((v[i].y > y) != (v[j].y > y) &&
            x < v[j].x + (v[i].x - v[j].x) * (y - v[j].y) / (v[i].y - v[j].y))
            in = !in;
    }
    return in;
}
double EdgeDistance(const std::vector<TAcadPoint>& v, double x, double y) {
    double best = 1e30;
    for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
        const double dx = v[i].x - v[j].x;
        const double dy = v[i].y - v[j].y;
        const double len2 = dx * dx + dy * dy;
        double f = len2 > 0 ? ((x - v[j].x) * dx + (y - v[j].y) * dy) / len2 : 0;
        f = std::clamp(f, 0.0, 1.0);
        best = std::min(best, std::hypot(x - v[j].x - f * dx, y - v[j].y - f * dy));
    }
    return best;
}

TEST(KabeTouji, AgreesWithABruteForceCount) {
    // A box 8 m x 4 m, 15 m high, 3 m south of a wall 30 m long and 15 m high; 60-second
    // samples from 8:00 to 16:00. Every wall point on a 250 mm grid is counted by itself; the
    // outlines of each hour, traced and smoothed as the stage does, must hold exactly the points
    // shaded that long, except within two cells of an outline.
    const SunModel sun = Winter36();
    const double box[5] = {10000, 18000, 3000, 7000, 15000};
    Workspace ws;
    AddBox(ws, box[0], box[2], box[1] - box[0], box[3] - box[2], box[4]);
    TLineEnt line = WallLine(15000);
    line.ed.x = 30000;
    const TLineEnt kabe = *MakeKabeSen(line, ws.AryTatemono, ws.gbzmax);
    TKabeParams p;
    p.hyoukaIdx = 2;  // 60 s, 1200 cells
    const int step = 60;

    ToujiGrid grid;
    const TToujiExtent e = GetKabeToujiHani(ws.AryTatemono, sun, kabe, 8, 16, grid, QuietRun());
    const int n = 1200;
    const double cell = std::max(e.txmax - e.txmin, e.tymax - e.tymin) / n;
    ASSERT_GT(cell, 0);
    const TToujiMesh mesh{e.txmin, e.tymin, cell, n};
    const int samples =
        AccumulateKabeTouji(ws.AryTatemono, sun, kabe, 8, 16, step, mesh, grid, QuietRun());
    ASSERT_EQ(samples, 479);

    std::vector<double> dirs;
    std::vector<double> factors;
    for (double t : ToujiSampleTimes(8, 16, step)) {
        double azimuth = 0;
        double factor = 0;
        ASSERT_TRUE(sun.GetTaiyouHoui(t, azimuth, factor));
        dirs.push_back(sun.ShadowDir(azimuth));
        factors.push_back(factor);
    }
    struct TPoint {
        double x, y;
        int count;
    };
    std::vector<TPoint> points;
    for (double x = 125; x < 30000; x += 250) {
        for (double y = 125; y < 15000; y += 250) {
            int count = 0;
            for (std::size_t i = 0; i < dirs.size(); ++i)
                count += ShadedByBox(x, y, 10000, box, dirs[i], factors[i]) ? 1 : 0;
            points.push_back({x, y, count});
        }
    }

    int checked = 0;
    int levels = 0;
    for (int hours = 8; hours >= 1; --hours) {
        SCOPED_TRACE(hours);
        const double threshold = ToujiThreshold(hours, 8, step);
        TContourResult traced = TraceToujiOutlines(grid, mesh, threshold, QuietRun());
        EXPECT_FALSE(traced.reachedEdge);
        std::vector<std::vector<TAcadPoint>> outlines;
        for (const std::vector<TAcadPoint>& v : traced.outlines)
            outlines.push_back(SmoothOutline(v, p.smoothK));
        levels += outlines.empty() ? 0 : 1;
        for (const TPoint& q : points) {
            bool inside = false;
            double near = 1e30;
            for (const std::vector<TAcadPoint>& v : outlines) {
                inside = inside || Inside(v, q.x, q.y);
                near = std::min(near, EdgeDistance(v, q.x, q.y));
            }
            if (near <= 2 * cell) continue;
            ++checked;
            EXPECT_EQ(inside, q.count >= threshold) << q.x << "," << q.y << " count " << q.count;
        }
    }
    EXPECT_GE(levels, 6);  // the scene has outlines of most hours
    EXPECT_GT(checked, 8 * static_cast<int>(points.size()) * 9 / 10);
}

// The scene of the whole stage: a wall 30 m long and 15 m high with boxes before it.
struct TToujiScene {
    Workspace ws;
    TLineEnt kabe;
    TKabeParams p;
    explicit TToujiScene(const std::vector<std::array<double, 5>>& boxes) {
        for (const auto& b : boxes) AddBox(ws, b[0], b[1], b[2], b[3], b[4]);
        TLineEnt line = WallLine(15000);
        line.ed.x = 30000;
        kabe = *MakeKabeSen(line, ws.AryTatemono, ws.gbzmax);
        p.hyoukaIdx = 2;
    }
    TKabeToujiResult Run(DxfList& dxf, RunContext& run, std::vector<std::string>* messages) {
        ToujiGrid grid;
        TKabeToujiUi ui;
        ui.message = [messages](const std::string& title, const std::string& text) {
            if (messages) messages->push_back(title + "|" + text);
        };
        return DrawKabeTouji(ws.AryTatemono, Winter36(), kabe, p, grid, dxf, run, ui);
    }
};

TEST(KabeTouji, WholeStage) {
    // A long block 10 m high, 1 m before the wall, keeps its lower part in shade the whole
    // period: the 8-hour outline is there (one sample less than eight hours' worth exist) and,
    // reaching past the wall's ends and below the ground, is cut there.
    TToujiScene scene({{-20000, 8000, 70000, 1000, 10000}});
    DxfList dxf;
    std::vector<std::string> messages;
    const TKabeToujiResult r = scene.Run(dxf, QuietRun(), &messages);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(r.noMesh);
    EXPECT_EQ(r.meshSize, 1200);
    EXPECT_GT(r.chains, 0);
    const std::vector<TEnt> ents = Entities(dxf);
    std::vector<int> hoursSeen;
    const std::vector<std::vector<TAcadPoint>> chains = Polylines(ents);
    std::size_t chain = 0;
    for (const TEnt& e : ents) {
        if (e.type == "POLYLINE") {
            EXPECT_EQ(e.Get(8), "ZUKA_HTOJI");
            EXPECT_EQ(e.Get(70), "     0");
            hoursSeen.push_back(std::stoi(e.Get(62)));
        }
        if (e.type != "TEXT") continue;
        // Each label is 0.2 text heights off one end of its chain, turned along it.
        const std::vector<TAcadPoint>& v = chains[chain++];
        const int hours = hoursSeen.back();
        EXPECT_EQ(e.Get(1), FormatFixed(hours, 1) + "Hr");
        EXPECT_EQ(e.Get(62), std::to_string(hours));
        const double a = e.Num(50) * kPi / 180;
        const TAcadPoint ends[2][2] = {{v.back(), v[v.size() - 2]}, {v[0], v[1]}};
        bool matched = false;
        for (const auto& end : ends) {
            const double along = Angle2P(end[0], end[1]);
            const TAcadPoint at = PolarPoint(end[0], along + kPi / 4, 60);
            matched = matched || (std::fabs(std::remainder(along - a, kTwoPi)) < 1e-4 &&
                                  std::hypot(at.x - e.Num(10), at.y - e.Num(20)) < 0.01);
        }
        EXPECT_TRUE(matched) << e.Get(1);
        for (const TAcadPoint& q : v) {
            EXPECT_GE(q.x, 0);
            EXPECT_LE(q.x, 30000);
            EXPECT_GE(q.y, 0);
            EXPECT_LE(q.y, 15000);
        }
    }
    ASSERT_FALSE(hoursSeen.empty());
    EXPECT_EQ(hoursSeen.front(), 8);
    EXPECT_TRUE(std::is_sorted(hoursSeen.rbegin(), hoursSeen.rend()));

    // Nothing before the wall: the mesh-size message, nothing written.
    TToujiScene behind({{5000, 14000, 10000, 4000, 9000}});
    DxfList none;
    messages.clear();
    const TKabeToujiResult nothing = behind.Run(none, QuietRun(), &messages);
    EXPECT_TRUE(nothing.noMesh);
    EXPECT_EQ(nothing.chains, 0);
    EXPECT_TRUE(none.empty());
    const std::vector<std::string> want = {"Zuka.exe|壁面等時間は作成できません．"};
    EXPECT_EQ(messages, want);

    // With no evaluation item chosen, the coarsest table entries: 640 cells, 120 s.
    scene.p.hyoukaIdx = -1;
    DxfList coarse;
    const TKabeToujiResult c = scene.Run(coarse, QuietRun(), nullptr);
    EXPECT_EQ(c.meshSize, 640);
    EXPECT_EQ(c.samples, 239);
}

TEST(KabeTouji, AStopSeenBeforeIsKept) {
    // The stage never restarts the run: a stop pressed during the time-of-day stage holds.
    TToujiScene scene({{-20000, 8000, 70000, 1000, 10000}});
    RecordingRun stopped;
    stopped.stopAt = 1;
    stopped.ProcessMessages();
    DxfList dxf;
    const TKabeToujiResult r = scene.Run(dxf, stopped, nullptr);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.chains, 0);
    EXPECT_TRUE(dxf.empty());
}

}  // namespace
}  // namespace zuka

#include "shadow/kabe_labels.h"

#include <gtest/gtest.h>

#include <cmath>

#include "../buildings.h"
#include "../sky/dxf_entities.h"
#include "geom/primitives.h"
#include "shadow/kabe.h"
#include "winter_sun.h"

namespace zuka {
namespace {

using testing_buildings::AddBox;
using testing_dxf::Entities;
using testing_dxf::OfType;
using testing_dxf::TEnt;
using testing_sun::Winter36;

struct TBox {
    double x0, y0, x1, y1;
};

// The test's own estimate of a label's box: every character as wide as the height times the
// width factor (group 41), the height tall, from the label's point (11/21 for an aligned text,
// else 10/20) to the right and, top-aligned (73 = 3), downwards, baseline-aligned upwards;
// turned by group 50, then the axis-aligned box around the four corners.
TBox EstimatedBox(const TEnt& e) {
    const double h = e.Num(40);
    const double w = static_cast<double>(e.Get(1).size()) * h * e.Num(41);
    const bool top = e.Get(73) == "3";
    const double x = top ? e.Num(11) : e.Num(10);
    const double y = top ? e.Num(21) : e.Num(20);
    const double a = e.Get(50).empty() ? 0 : e.Num(50) * kPi / 180;
    TBox b{1e300, 1e300, -1e300, -1e300};
    for (const double u : {0.0, w}) {
        for (const double v : {top ? -h : 0.0, top ? 0.0 : h}) {
            const double px = x + u * std::cos(a) - v * std::sin(a);
            const double py = y + u * std::sin(a) + v * std::cos(a);
            b = {std::min(b.x0, px), std::min(b.y0, py), std::max(b.x1, px), std::max(b.y1, py)};
        }
    }
    return b;
}

int Overlaps(const std::vector<TEnt>& texts) {
    int n = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const TBox a = EstimatedBox(texts[i]);
        for (std::size_t j = i + 1; j < texts.size(); ++j) {
            const TBox b = EstimatedBox(texts[j]);
            if (a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1) ++n;
        }
    }
    return n;
}

TEST(KabeLabels, NoTwoLabelsOfA50MetreWallOverlap) {
    // A wall 50 m long and 15 m high along y = 30000, with a row of blocks before it whose
    // shadows climb it all day, every half hour: the time labels gather where the shadows
    // reach the wall's top and ends, and the equal-time labels at the wall's edges.
    Workspace ws;
    AddBox(ws, 2000, 18000, 12000, 6000, 18000);
    AddBox(ws, 18000, 20000, 10000, 5000, 24000);
    AddBox(ws, 32000, 17000, 14000, 8000, 15000);
    TLineEnt line;
    line.st = {0, 30000, 15000};
    line.ed = {50000, 30000, 15000};
    const TLineEnt kabe = *MakeKabeSen(line, ws.AryTatemono, ws.gbzmax);
    TKabeParams p;
    p.kankaku = 0.5;
    p.hyoukaIdx = 2;
    const SunModel sun = Winter36();
    DxfList dxf;
    ASSERT_GT(DrawKabeLine(ws, sun, kabe, p, dxf, QuietRun()).chains, 0);
    ToujiGrid grid;
    ASSERT_GT(DrawKabeTouji(ws.AryTatemono, sun, kabe, p, grid, dxf, QuietRun(), {}).chains, 0);

    const std::vector<TEnt> before = Entities(dxf);
    const std::vector<TEnt> texts = OfType(before, "TEXT");
    ASSERT_GT(Overlaps(texts), 0);  // the fixture shows the cluster

    const int moved = SpreadKabeLabels(dxf);
    const std::vector<TEnt> after = Entities(dxf);
    const std::vector<TEnt> spread = OfType(after, "TEXT");
    EXPECT_EQ(Overlaps(spread), 0);
    // The same labels, texts and layers, in the same order; the other entities untouched, and
    // one leader for each label moved, on its layer, from where it stood.
    ASSERT_EQ(spread.size(), texts.size());
    int leaders = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(spread[i].Get(1), texts[i].Get(1));
        EXPECT_EQ(spread[i].Get(8), texts[i].Get(8));
        if (spread[i].Get(10) != texts[i].Get(10) || spread[i].Get(20) != texts[i].Get(20))
            ++leaders;
    }
    EXPECT_GT(moved, 0);
    EXPECT_EQ(leaders, moved);
    ASSERT_EQ(after.size(), before.size() + static_cast<std::size_t>(moved));
    for (std::size_t i = before.size(); i < after.size(); ++i) {
        EXPECT_EQ(after[i].type, "LINE");
        EXPECT_TRUE(after[i].Get(8) == p.jikokuLayer || after[i].Get(8) == p.toujiLayer);
    }

    // Spreading labels already apart moves nothing.
    EXPECT_EQ(SpreadKabeLabels(dxf), 0);
}

TEST(KabeLabels, BoxesByAlignmentAndTurn) {
    struct Row {
        const char* name;
        int vertical;
        double rotationDeg;
        TLabelBox want;
    };
    // "08:00", 5 characters of 100 at width factor 0.8: 400 long, 100 high, from (1000, 2000).
    const Row rows[] = {
        {"top-left", 3, 0, {1000, 1900, 1400, 2000}},
        {"baseline", 0, 0, {1000, 2000, 1400, 2100}},
        {"baseline turned a quarter", 0, 90, {900, 2000, 1000, 2400}},
    };
    for (const Row& r : rows) {
        TDxfLabel l;
        l.text = "08:00";
        l.height = 100;
        l.widthFactor = 0.8;
        l.x = 1000;
        l.y = 2000;
        l.vertical = r.vertical;
        l.rotationDeg = r.rotationDeg;
        const TLabelBox b = LabelBox(l);
        EXPECT_NEAR(b.x0, r.want.x0, 1e-9) << r.name;
        EXPECT_NEAR(b.y0, r.want.y0, 1e-9) << r.name;
        EXPECT_NEAR(b.x1, r.want.x1, 1e-9) << r.name;
        EXPECT_NEAR(b.y1, r.want.y1, 1e-9) << r.name;
    }
}

}  // namespace
}  // namespace zuka

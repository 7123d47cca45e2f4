#include <cmath>
#include <functional>

#include "base/number.h"
#include "geom/primitives.h"
#include "host_test_util.h"

namespace zuka {
namespace {

using namespace zuka::testing;

constexpr double kDeg = kPi / 180;

// A sky map without ticks: the horizon circle of radius 2500 about (1000, 2000) and a
// building outline standing on the rim between 30 and 80 degrees. The building's upper edge
// runs P1 (rim, 30) - P2 - P3 - P4 (rim, 80); the polyline closes it with a chord back to P1
// or with a bulged side that follows the rim. Either way the building covers the outline's
// polygon and the rim segment of 50 degrees beyond the chord.
constexpr double kR = 2500;
const TAcadPoint kCentre{1000, 2000, 0};

TAcadPoint Polar(double radius, double deg) {
    return {kCentre.x + radius * std::cos(deg * kDeg), kCentre.y + radius * std::sin(deg * kDeg),
            0};
}

const TAcadPoint kP1 = Polar(kR, 30);
const TAcadPoint kP2 = Polar(0.6 * kR, 40);
const TAcadPoint kP3 = Polar(0.5 * kR, 70);
const TAcadPoint kP4 = Polar(kR, 80);

double PolygonArea(const std::vector<TAcadPoint>& pts) {
    double a = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const TAcadPoint& p = pts[i];
        const TAcadPoint& q = pts[(i + 1) % pts.size()];
        a += p.x * q.y - q.x * p.y;
    }
    return std::fabs(a) / 2;
}

// The sky part: the disc less the building (its outline polygon and the rim segment of 50
// degrees between P4 and P1).
double SkyArea() {
    const double t = 50 * kDeg;
    return kPi * kR * kR - PolygonArea({kP1, kP2, kP3, kP4}) - kR * kR / 2 * (t - std::sin(t));
}

// A point as the map's file writes it: "%.4f".
TAcadPoint Rounded(TAcadPoint p) {
    return {std::round(p.x * 1e4) / 1e4, std::round(p.y * 1e4) / 1e4, 0};
}

// Open polyline through the points, each rounded as the map's file writes it.
void OpenPolyline(Block& ms, const std::vector<TAcadPoint>& pts) {
    std::vector<double> xy;
    for (const TAcadPoint& p : pts) {
        const TAcadPoint q = Rounded(p);
        xy.insert(xy.end(), {q.x, q.y});
    }
    ms.AddLightWeightPolyline(xy);
}

// The map as the sky map page draws it for one building between 40 and 70 degrees: the
// circle, the compass marks outside the rim, the projected top edge P2-P3 in samples, the
// projected vertical edges from P2 and P3 down to the rim, and the horizon arc under the
// building in chords of a quarter degree.
void DrawnMap(Block& ms) {
    ms.AddCircle(kCentre, kR);
    for (const double deg : {90.0, 180.0, 0.0, 270.0})
        ms.AddLine(Polar(kR, deg), Polar(kR + 200, deg));
    const TAcadPoint p2 = Polar(0.6 * kR, 40);
    const TAcadPoint p3 = Polar(0.5 * kR, 70);
    std::vector<TAcadPoint> top;
    for (int k = 0; k <= 8; ++k)
        top.push_back({p2.x + (p3.x - p2.x) * k / 8, p2.y + (p3.y - p2.y) * k / 8, 0});
    OpenPolyline(ms, top);
    OpenPolyline(ms, {p2, Polar(0.8 * kR, 40), Polar(kR, 40)});
    OpenPolyline(ms, {p3, Polar(kR, 70)});
    std::vector<TAcadPoint> horizon;
    for (int k = 0; k <= 120; ++k) horizon.push_back(Polar(kR, 40 + 0.25 * k));
    OpenPolyline(ms, horizon);
}

double DrawnMapSky() {
    const double t = 30 * kDeg;
    return kPi * kR * kR -
           PolygonArea({Polar(kR, 40), Polar(0.6 * kR, 40), Polar(0.5 * kR, 70), Polar(kR, 70)}) -
           kR * kR / 2 * (t - std::sin(t));
}

EntityPtr Building(Block& ms) {
    return ms.AddLightWeightPolyline({kP1.x, kP1.y, kP2.x, kP2.y, kP3.x, kP3.y, kP4.x, kP4.y});
}

// The area check as the sky-factor page makes it: -BOUNDARY at the point, the last entity
// selected, exploded for the largest arc radius, its area read; everything temporary deleted.
struct TAreaCheck {
    bool made = false;
    double radius = 0;
    double area = 0;
};

TAreaCheck CheckArea(Document& doc, TAcadPoint pick) {
    TAreaCheck out;
    Block& ms = doc.ModelSpace();
    const int before = ms.Count();
    doc.SendCommand("-BOUNDARY\r" + FormatFixed(pick.x, 3) + "," + FormatFixed(pick.y, 3) + "\r\r");
    if (ms.Count() == before) return out;
    const SelectionSetPtr set = doc.ActiveSelectionSet();
    set->Clear();
    set->Select(4, {}, {});
    if (set->Count() != 1 || set->Item(0)->EntityName() != "AcDbPolyline") return out;
    const EntityPtr boundary = set->Item(0);
    set->Clear();
    out.made = true;
    for (const EntityPtr& part : boundary->Explode()) {
        if (part->EntityName() == "AcDbArc") out.radius = std::max(out.radius, part->Radius());
        part->Delete();
    }
    out.area = boundary->Area();
    boundary->Delete();
    EXPECT_EQ(ms.Count(), before);
    return out;
}

TEST(HostBoundary, AreaCheckOnSkyMaps) {
    struct Row {
        const char* name;
        std::function<void(Block&)> draw;
        TAcadPoint pick;
        double area;
        double radius;  // largest arc of the region
    };
    const Row rows[] = {
        {"building closed by a chord",
         [](Block& ms) {
             ms.AddCircle(kCentre, kR);
             Building(ms)->SetClosed(true);
         },
         {kCentre.x + 1, kCentre.y + 1, 0},
         SkyArea(),
         kR},
        {"building foot on the rim as a bulged side, with hatch lines behind the building",
         [](Block& ms) {
             ms.AddCircle(kCentre, kR);
             const EntityPtr b = Building(ms);
             b->SetClosed(true);
             b->SetBulge(3, -std::tan(50 * kDeg / 4));
             for (const double deg : {45.0, 55.0, 65.0}) {
                 const TAcadPoint on{kCentre.x + 0.9 * kR * std::cos(deg * kDeg),
                                     kCentre.y + 0.9 * kR * std::sin(deg * kDeg), 0};
                 ms.AddLine(on, Polar(kR, deg));
             }
         },
         {kCentre.x - 3, kCentre.y + 2, 0},
         SkyArea(),
         kR},
        {"outline as separate lines ending on the rim, rim as two arcs",
         [](Block& ms) {
             ms.AddLine(kP1, kP2);
             ms.AddLine(kP2, kP3);
             ms.AddLine(kP3, kP4);
             const TAcadPoint opposite = Polar(kR, 210);
             const EntityPtr rim =
                 ms.AddLightWeightPolyline({kP1.x, kP1.y, opposite.x, opposite.y});
             rim->SetClosed(true);
             rim->SetBulge(0, 1);
             rim->SetBulge(1, 1);
             rim->Explode();
             rim->Delete();
         },
         {kCentre.x, kCentre.y - 0.5 * kR, 0},
         SkyArea(),
         kR},
        {"rim drawn twice: the circle and an arc over part of it",
         [](Block& ms) {
             ms.AddCircle(kCentre, kR);
             Building(ms)->SetClosed(true);
             const TAcadPoint from = Polar(kR, 100);
             const TAcadPoint to = Polar(kR, 250);
             const EntityPtr rim = ms.AddLightWeightPolyline({from.x, from.y, to.x, to.y});
             rim->SetBulge(0, std::tan(150 * kDeg / 4));
             rim->Explode();
             rim->Delete();
         },
         {kCentre.x + 1, kCentre.y + 1, 0},
         SkyArea(),
         kR},
        {"the map as drawn, vertices rounded to 4 decimals",
         DrawnMap,
         {kCentre.x + 0.5, kCentre.y - 0.5, 0},
         DrawnMapSky(),
         kR},
        {"a building inside a region of lines: the smallest region wins",
         [](Block& ms) {
             ms.AddLine({0, 0, 0}, {100, 0, 0});
             ms.AddLine({100, 0, 0}, {100, 100, 0});
             ms.AddLine({100, 100, 0}, {0, 100, 0});
             ms.AddLine({0, 100, 0}, {0, 0, 0});
             ms.AddLine({50, -20, 0}, {50, 120, 0});  // splits the square, ends hang free
         },
         {75, 50, 0},
         5000,
         0},
        {"a half disc from a polyline side of bulge 1",
         [](Block& ms) {
             const EntityPtr b = ms.AddLightWeightPolyline({-10, 0, 10, 0});
             b->SetClosed(true);
             b->SetBulge(0, 1);
         },
         {0, -5, 0},
         kPi * 100 / 2,
         10},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DrawingHost host;
        host.New();
        Document& doc = host.ActiveDocument();
        row.draw(doc.ModelSpace());
        const TAreaCheck check = CheckArea(doc, row.pick);
        ASSERT_TRUE(check.made);
        EXPECT_NEAR(check.area, row.area, 1e-6 * row.area);
        EXPECT_NEAR(check.radius, row.radius, 1e-9 * kR);
    }
}

TEST(HostBoundary, RegionFollowsArcsAndAddsOnTheCurrentLayer) {
    DrawingHost host;
    host.New();
    Document& doc = host.ActiveDocument();
    Block& ms = doc.ModelSpace();
    ms.AddCircle(kCentre, kR);
    Building(ms)->SetClosed(true);
    doc.Layers().Add("天空図");
    doc.SetVariable("CLAYER", std::string("天空図"));

    // Two picks in one command: the sky part and the building (inside the chord that closes
    // its outline); each adds its region.
    const TAcadPoint inBuilding = Polar(0.8 * kR, 55);
    doc.SendCommand("_-BOUNDARY\r1000,2000\r" + FormatFixed(inBuilding.x, 6) + "," +
                    FormatFixed(inBuilding.y, 6) + "\r\r");
    ASSERT_EQ(ms.Count(), 4);
    const EntityPtr sky = ms.Item(2);
    const EntityPtr building = ms.Item(3);
    EXPECT_EQ(sky->EntityName(), "AcDbPolyline");
    EXPECT_TRUE(sky->Closed());
    EXPECT_EQ(sky->Layer(), "天空図");
    EXPECT_NEAR(sky->Area(), SkyArea(), 1e-6 * SkyArea());
    const double outline = PolygonArea({kP1, kP2, kP3, kP4});
    EXPECT_NEAR(building->Area(), outline, 1e-6 * outline);

    // Every side of the sky region lies on the circle or on the outline, and the arcs run
    // along the rim.
    const std::vector<double> xy = sky->Coordinates();
    int arcs = 0;
    for (std::size_t i = 0; i * 2 < xy.size(); ++i) {
        const TAcadPoint p{xy[2 * i], xy[2 * i + 1], 0};
        const double bulge = sky->GetBulge(static_cast<int>(i));
        if (bulge != 0) {
            ++arcs;
            EXPECT_NEAR(std::hypot(p.x - kCentre.x, p.y - kCentre.y), kR, 1e-6);
        }
    }
    EXPECT_GE(arcs, 2);

    // A second check at the same point ignores the boundary already there.
    const double again = CheckArea(doc, {1000, 2000, 0}).area;
    EXPECT_NEAR(again, SkyArea(), 1e-6 * SkyArea());
}

TEST(HostBoundary, PickOutsideOrWithoutAPointAddsNothing) {
    DrawingHost host;
    host.New();
    Document& doc = host.ActiveDocument();
    doc.ModelSpace().AddCircle({0, 0, 0}, 10);
    doc.SendCommand("-BOUNDARY\r20.000,0.000\r\r");
    EXPECT_EQ(doc.ModelSpace().Count(), 1);
    EXPECT_EQ(host.CommandEcho().back(), "閉じた境界が見つかりません: 20.0000,0.0000");
    doc.SendCommand("-BOUNDARY\r");  // no point and nobody to pick one
    EXPECT_EQ(host.CommandEcho().back(), "*キャンセル*");
    doc.SendCommand("-BOUNDARY\rA\r0,0\r\r");  // options are not offered
    EXPECT_EQ(host.CommandEcho().back(), "無効な入力です: A");
    EXPECT_EQ(doc.ModelSpace().Count(), 1);
}

}  // namespace
}  // namespace zuka

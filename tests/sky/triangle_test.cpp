#include "sky/triangle.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/sky_drawing.h"
#include "base/number.h"
#include "cad/host/drawing_host.h"
#include "cad/interaction.h"
#include "dxf_entities.h"
#include "geom/primitives.h"
#include "temp_dir.h"

namespace zuka {
namespace {

constexpr double kR = 2500;  // radius 25 paper mm at scale 100
constexpr double kS = 100;

double Rad(double deg) { return deg * kPi / 180; }

TAcadPoint At(double deg, double r) { return PolarPoint({}, Rad(deg), r); }

// Segments joining the points in order and back to the first.
std::vector<TLineEnt> Ring(const std::vector<TAcadPoint>& pts) {
    std::vector<TLineEnt> ring;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        TLineEnt s;
        s.st = pts[i];
        s.ed = pts[(i + 1) % pts.size()];
        ring.push_back(s);
    }
    return ring;
}

// The sky map of a long wall seen square on: plan distance d equal to its height above the
// plane, so the wall's top edge projects onto r(a) = R / sqrt(1 + sin^2 a), a half ellipse with
// semi-axes R and R / sqrt(2). The wall ends show at 45 and 135 degrees, their vertical edges
// run out radially to the rim. Traced counter-clockwise: the rim from 45 to 135 degrees, in to
// the corner at 135, the wall top back to 45, out to the rim.
double WallRadius(double deg) {
    const double s = std::sin(Rad(deg));
    return kR / std::sqrt(1 + s * s);
}

std::vector<TLineEnt> WallOutline() {
    std::vector<TAcadPoint> pts;
    for (double a = 45; a < 135; a += 0.25) pts.push_back(At(a, kR));
    // Samples off the whole degrees, so that no division ray runs exactly through a vertex.
    pts.push_back(At(135, WallRadius(135)));
    for (double a = 134.7; a > 45; a -= 0.5) pts.push_back(At(a, WallRadius(a)));
    pts.push_back(At(45, WallRadius(45)));
    return Ring(pts);
}

// The sky area between O and the wall from 45 to 135 degrees, paper mm^2:
// 1/2 integral r^2 da = R^2 (pi/2 - atan(sqrt 2)) / sqrt 2.
double WallSkyArea() {
    return (kR / kS) * (kR / kS) * (kHalfPi - std::atan(std::sqrt(2.0))) / std::sqrt(2.0);
}

using Ent = testing_dxf::TEnt;
using testing_dxf::Entities;

TEST(Sansya, MensekiRoundsBaseAndHalfHeightFirst) {
    struct Row {
        const char* name;
        double teihen, takasa;
        double want;
    };
    const Row rows[] = {
        {"round numbers", 1000, 200, 10.0},
        // 12.34568 * 0.49383 = 6.0967... (not 12.345678 * 0.493827 = 6.0966...)
        {"rounded parts", 1234.5678, 98.7654, 6.097},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(FormatFixed(SansyaMenseki(r.teihen, r.takasa, kS), 3), FormatFixed(r.want, 3));
    }
}

TEST(Sansya, SectorAreas) {
    const TSansyaSector s = OrderSansyaCorners({At(135, 1500), At(45, 2000)}, kR, kS);
    EXPECT_EQ(FormatFixed(s.enMenseki, 3), "1963.495");
    EXPECT_DOUBLE_EQ(s.kakudoDeg, 90.0);
    EXPECT_NEAR(s.ougiMenseki, 625 * kPi / 4, 1e-9);
    // B lies counter-clockwise of A; the two-corner list runs from A to B.
    EXPECT_TRUE(SamePoint2D(s.a, At(45, 2000), 1e-9));
    EXPECT_TRUE(SamePoint2D(s.b, At(135, 1500), 1e-9));
    ASSERT_EQ(s.corners.size(), 2u);
    EXPECT_TRUE(SamePoint2D(s.corners.front(), s.a, 1e-9));
}

// A trace that reaches B in the middle of the list: the list restarts after B's predecessor
// and runs backwards through the trace to B.
TEST(Sansya, CornerOrderRunsBackwardsToB) {
    const std::vector<TAcadPoint> trace = {At(80, 1000), At(120, 1000), At(40, 1000), At(60, 1000)};
    const TSansyaSector s = OrderSansyaCorners(trace, kR, kS);
    EXPECT_TRUE(SamePoint2D(s.a, At(40, 1000), 1e-9));
    EXPECT_TRUE(SamePoint2D(s.b, At(120, 1000), 1e-9));
    const std::vector<double> want = {80, 60, 40, 120};
    ASSERT_EQ(s.corners.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i)
        EXPECT_TRUE(SamePoint2D(s.corners[i], At(want[i], 1000), 1e-9)) << i;
}

TEST(Sansya, Corners) {
    // A triangle-shaped ring P -> J -> Q whose joint at J is tested: P lies 1000 to the left
    // of J, Q 200 away in the direction that makes the angle P-J-Q jointDeg.
    struct Row {
        const char* name;
        TAcadPoint j;
        double jointDeg;  // the angle P-J-Q
        bool corner;
    };
    const Row rows[] = {
        {"plain corner", {0, 0, 0}, 90, true},
        {"178.19 degrees is a corner", {0, 0, 0}, 178.19, true},
        {"178.21 degrees is straight", {0, 0, 0}, 178.21, false},
        {"exactly on the rim", {kR, 0, 0}, 90, false},
        {"just inside the rim tolerance", {kR - SansyaRimTol(kR), 0, 0}, 90, false},
        {"inside by more than the tolerance", {kR - 2 * SansyaRimTol(kR), 0, 0}, 90, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TAcadPoint pp{r.j.x - 1000, 0, 0};
        const TAcadPoint q = PolarPoint(r.j, Rad(180 + r.jointDeg), 200);
        const std::vector<TAcadPoint> corners = FindSansyaCorners(Ring({pp, r.j, q}), kR);
        bool found = false;
        for (const TAcadPoint& c : corners) found = found || SamePoint2D(c, r.j, 1e-9);
        EXPECT_EQ(found, r.corner);
    }
}

// The limit itself: a joint whose folded angle is exactly 178.2 degrees is straight.
TEST(Sansya, JointAtTheLimitIsStraight) {
    const TAcadPoint j{0, 0, 0};
    const TAcadPoint a{1000, 0, 0};  // Angle2P(j, a) is exactly 0
    // Search a point c near 178.2 degrees whose computed turn is exactly the limit.
    TAcadPoint c = PolarPoint(j, kSansyaCornerLimit, 1000);
    for (int i = 0; i < 64; ++i) {
        const double t = TurnAngle(a, j, c, false);
        if (t == kSansyaCornerLimit) break;
        c.y = std::nextafter(c.y, t < kSansyaCornerLimit ? 1e9 : -1e9);
    }
    ASSERT_EQ(TurnAngle(a, j, c, false), kSansyaCornerLimit);
    // The ring a -> j -> c: the joint at j has the angle a-j-c.
    const std::vector<TAcadPoint> corners = FindSansyaCorners(Ring({a, j, c}), kR);
    for (const TAcadPoint& k : corners) EXPECT_FALSE(SamePoint2D(k, j, 1e-9));
}

TEST(Sansya, DivisionCounts) {
    struct Row {
        const char* name;
        double spanDeg;
        std::size_t points;  // both corners plus the inner ray crossings
    };
    const Row rows[] = {
        {"25 degrees: three of 8.33", 25, 4},
        {"10 degrees: two of 5", 10, 3},
        {"9 degrees: one", 9, 2},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        // Corners on the +x axis and at spanDeg, joined by a straight edge that the rays cross.
        const TAcadPoint c0{1000, 0, 0};
        TAcadPoint c1 = At(r.spanDeg, 1000);
        if (r.spanDeg == 10) {
            // Make the computed span exactly the division angle.
            for (int i = 0; i < 64; ++i) {
                const double t = TurnAngle(c0, {}, c1, false);
                if (t == kSansyaDivisionAngle) break;
                c1.y = std::nextafter(c1.y, t < kSansyaDivisionAngle ? 1e9 : -1e9);
            }
            ASSERT_EQ(TurnAngle(c0, {}, c1, false), kSansyaDivisionAngle);
        }
        const std::vector<TLineEnt> outline = Ring({c0, c1, At(r.spanDeg, 2400), {2400, 0, 0}});
        const std::vector<TAcadPoint> d = DivideSansyaSpans({c0, c1}, {}, outline, kR).points;
        ASSERT_EQ(d.size(), r.points);
        for (std::size_t k = 1; k + 1 < d.size(); ++k) {
            const double want = r.spanDeg * k / (r.points - 1);
            EXPECT_NEAR(Angle2P({}, d[k]) * kRadToDeg, want, 1e-9);
        }
    }
}

// A triangle of height 0.1 or less is dropped and takes no number.
TEST(Sansya, FlatTriangleIsSkipped) {
    const TSansyaSpans d{{{1000, 0, 0}, {1000, 0.05, 0}, {1000, 100, 0}}, {}, 0};
    const std::vector<TSansyaTriangle> t = MakeSansyaTriangles(d, {}, kR, kS, false);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].row.no, 1);
    // q is the farther point (1000, 100); p = (1000, 0.05) drops onto the line O-q.
    EXPECT_NEAR(t[0].row.teihen, std::hypot(1000, 100), 1e-9);
    EXPECT_NEAR(t[0].row.takasa, 99.95 * 1000 / std::hypot(1000, 100), 1e-9);
}

// The conforming building's base moves out to the outline, never in: where the outline between
// two division points bulges toward O, the chord stays (moving it in would take sky away and
// let the conforming area err large).
TEST(Sansya, ConformingBaseMovesOnlyOut) {
    const TSansyaSpans d{{At(0, 2000), At(8, 2000)}, {}, 0};
    struct Row {
        const char* name;
        double bulge;  // added to the radius 2000 in the middle of the span
        bool moved;
    };
    const Row rows[] = {{"bulging out", 100, true}, {"bulging in", -150, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<TAcadPoint> pts;
        for (double a = 0; a <= 8.0001; a += 0.5)
            pts.push_back(At(a, 2000 + r.bulge * std::sin(kPi * a / 8)));
        std::vector<TLineEnt> outline = Ring(pts);
        outline.pop_back();  // the open curve only
        const auto chord = MakeSansyaTriangles(d, outline, kR, kS, false);
        const auto moved = MakeSansyaTriangles(d, outline, kR, kS, true);
        ASSERT_EQ(chord.size(), 1u);
        ASSERT_EQ(moved.size(), 1u);
        if (r.moved) {
            EXPECT_GT(moved[0].row.menseki, chord[0].row.menseki);
        } else {
            EXPECT_EQ(moved[0].row.menseki, chord[0].row.menseki);
            EXPECT_TRUE(SamePoint2D(moved[0].q, chord[0].q, 1e-9));
        }
    }
}

// The wall's projection measured both ways: inscribed triangles leave out sky (the planned
// building's area errs large), the conforming building's moved-out bases take in more sky
// (its area errs small).
TEST(Sansya, PlannedAboveExactAboveConforming) {
    const std::vector<TLineEnt> outline = WallOutline();
    const auto keikaku = MeasureSansya(outline, kR, kS, false);
    const auto tekigou = MeasureSansya(outline, kR, kS, true);
    ASSERT_TRUE(keikaku && tekigou);

    ASSERT_EQ(keikaku->sector.corners.size(), 2u);
    EXPECT_DOUBLE_EQ(keikaku->sector.kakudoDeg, 90.0);
    const double ougi = 625 * kPi / 4;
    const double exact = ougi - WallSkyArea();
    EXPECT_GT(keikaku->tousyaMenseki, exact);
    EXPECT_LT(tekigou->tousyaMenseki, exact);
    // Both come close: ten triangles of 9 degrees on a curve of this size.
    EXPECT_NEAR(keikaku->tousyaMenseki, exact, 0.01 * exact);
    EXPECT_NEAR(tekigou->tousyaMenseki, exact, 0.01 * exact);

    // The totals agree with the rounded rows and the shown projected area.
    double sum = 0;
    for (const TSansyaTriangle& t : keikaku->triangles) sum += t.row.menseki;
    EXPECT_DOUBLE_EQ(keikaku->sansyaGoukei, sum);
    const double c = keikaku->sector.enMenseki;
    EXPECT_DOUBLE_EQ(keikaku->tenkuRitu, (c - RoundByFormat(keikaku->tousyaMenseki, 3)) / c * 100);
    for (std::size_t i = 0; i < keikaku->triangles.size(); ++i)
        EXPECT_EQ(keikaku->triangles[i].row.no, static_cast<int>(i) + 1);
}

// Two buildings on one map, with flat tops at 1500 from 30 to 60 and from 100 to 130 degrees,
// joined along the rim: the trace runs out along the rim to 130 degrees, over the second
// building, back along the rim between the buildings and over the first. The sky between them
// reaches the horizon: that stretch is open, takes no triangle and is left out of the sector.
// The tops are chords, so both triangle sets measure the two regions exactly: twice the 30
// degree sector less the triangle under its chord.
TEST(Sansya, OpenSkyBetweenTwoBuildings) {
    std::vector<TAcadPoint> walk;
    for (double a = 30; a < 130; a += 0.25) walk.push_back(At(a, kR));
    walk.push_back(At(130, kR));
    walk.push_back(At(130, 1500));
    walk.push_back(At(100, 1500));
    for (double a = 100; a > 60; a -= 0.25) walk.push_back(At(a, kR));
    walk.push_back(At(60, kR));
    walk.push_back(At(60, 1500));
    walk.push_back(At(30, 1500));
    const std::vector<TLineEnt> outline = Ring(walk);

    const double exact = 2 * (625 * kPi / 12 - 0.5 * 15 * 15 * 0.5);
    for (const bool tekigou : {false, true}) {
        SCOPED_TRACE(tekigou ? "conforming" : "planned");
        const auto m = MeasureSansya(outline, kR, kS, tekigou);
        ASSERT_TRUE(m);
        EXPECT_DOUBLE_EQ(m->sector.kakudoDeg, 60.0);
        EXPECT_NEAR(m->divisions.openRad, Rad(40), 1e-9);
        int open = 0;
        for (std::size_t i = 0; i < m->divisions.open.size(); ++i) {
            if (!m->divisions.open[i]) continue;
            ++open;
            EXPECT_TRUE(SamePoint2D(m->divisions.points[i], At(60, kR), 1e-6));
            EXPECT_TRUE(SamePoint2D(m->divisions.points[i + 1], At(100, kR), 1e-6));
        }
        EXPECT_EQ(open, 1);
        EXPECT_EQ(m->triangles.size(), 8u);  // four of 7.5 degrees under each top
        EXPECT_NEAR(m->tousyaMenseki, exact, 0.005);
    }
}

TEST(Sansya, TooFewCorners) {
    // A region bounded by the rim and one straight chord: its two corners lie on the rim.
    EXPECT_FALSE(MeasureSansya(Ring({At(0, kR), At(90, kR), At(180, kR)}), kR, kS, false));
}

TEST(Sansya, NumberTateiti) {
    // North up: a corner's map direction is its azimuth.
    const std::vector<TAcadPoint> corners = {At(90, 1000), At(90, 2000), At(0, 1500), At(200, 1200),
                                             At(200, 900)};
    auto row = [](double houido, double kyori) {
        TTateiti t;
        t.no = 99;
        t.houido = houido;
        t.kyori = kyori;
        return t;
    };
    std::vector<TTateiti> rows = {
        row(90, 10),   // takes the nearer corner 1 at 90 degrees
        row(90, 20),   // the farther one is left for this row
        row(0, 30),    // corner 3
        row(0, 30),    // equal to the row before: loses its number
        row(45, 40),   // no corner at 45 degrees
        row(200, 50),  // corner 4 met first, then the nearer corner 5 wins; 4 is used up
        row(200, 60),  // nothing left at 200 degrees
    };
    NumberTateiti(rows, corners, kR, kHalfPi);
    const int want[] = {1, 2, 3, 0, 0, 5, 0};
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].no, want[i]) << i;
}

TEST(Sansya, HatchLines) {
    const std::vector<TLineEnt> outline = WallOutline();
    DxfList none;
    WriteSansyaHatch(none, outline, kR, 0, 0, "H");
    EXPECT_TRUE(none.empty());

    // Every 90 degrees: only the ray at 90 degrees meets the wall (at R / sqrt 2).
    DxfList dxf;
    WriteSansyaHatch(dxf, outline, kR, 90, 0, "H");
    std::vector<Ent> e = Entities(dxf);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].type, "LINE");
    EXPECT_EQ(e[0].Get(8), "H");
    EXPECT_NEAR(std::stod(e[0].Get(20)), kR / std::sqrt(2.0), 0.05);
    EXPECT_EQ(e[0].Get(21), "2500");
    EXPECT_EQ(e[0].Get(30), "0.0");
    EXPECT_EQ(e[0].Get(31), "0.0");

    // Turned by 90 degrees counter-clockwise: the rim end goes to (-R, 0).
    DxfList turned;
    WriteSansyaHatch(turned, outline, kR, 90, 90, "H");
    e = Entities(turned);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_NEAR(std::stod(e[0].Get(11)), -kR, 1e-9);
    EXPECT_NEAR(std::stod(e[0].Get(21)), 0, 1e-9);
}

TEST(Sansya, TriangleEntities) {
    TSansyaTriangle t;
    t.row.no = 7;
    t.p = {1000, 0, 0};
    t.q = {0, 2000, 0};
    t.foot = {0, 0, 0};
    t.label = {500, 100, 0};
    DxfList dxf;
    WriteSansyaTriangles(dxf, {t}, kR, 0, "S");
    const std::vector<Ent> e = Entities(dxf);
    ASSERT_EQ(e.size(), 6u);
    EXPECT_EQ(e[0].type, "CIRCLE");
    EXPECT_EQ(e[0].Get(40), "50");
    EXPECT_EQ(e[1].type, "TEXT");
    EXPECT_EQ(e[1].Get(1), "7");
    EXPECT_EQ(e[1].Get(72), "1");
    EXPECT_EQ(e[1].Get(73), "2");
    EXPECT_EQ(e[1].Get(11), "500");
    // p-F, p-q, O-q, O-p with four decimals and no z.
    const char* want[4][4] = {{"1000.0000", "0.0000", "0.0000", "0.0000"},
                              {"1000.0000", "0.0000", "0.0000", "2000.0000"},
                              {"0.0000", "0.0000", "0.0000", "2000.0000"},
                              {"0.0000", "0.0000", "1000.0000", "0.0000"}};
    for (int i = 0; i < 4; ++i) {
        const Ent& l = e[static_cast<std::size_t>(i) + 2];
        SCOPED_TRACE(i);
        EXPECT_EQ(l.type, "LINE");
        EXPECT_EQ(l.Get(10), want[i][0]);
        EXPECT_EQ(l.Get(20), want[i][1]);
        EXPECT_EQ(l.Get(11), want[i][2]);
        EXPECT_EQ(l.Get(21), want[i][3]);
        EXPECT_FALSE(l.Has(30));
        EXPECT_FALSE(l.Has(31));
    }
}

TEST(Sansya, MarkersAndNotes) {
    std::vector<TTateiti> rows(2);
    rows[0].no = 0;
    rows[1].no = 2;
    DxfList dxf;
    WriteTateitiMarkers(dxf, rows, {At(0, 1000), {0, 1000, 0}}, kR, 0, "P");
    std::vector<Ent> e = Entities(dxf);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].type, "CIRCLE");
    EXPECT_EQ(e[0].Get(40), "25");
    EXPECT_EQ(e[1].Get(1), "[2]");
    EXPECT_EQ(e[1].Get(10), "50");
    EXPECT_EQ(e[1].Get(20), "1000");
    EXPECT_EQ(e[1].Get(40), "75");
    EXPECT_EQ(e[1].Get(50), "0");
    EXPECT_EQ(e[1].Get(72), "0");
    EXPECT_EQ(e[1].Get(73), "0");

    TSansyaNotes n;
    n.radius = kR;
    n.textSize = 250;  // u = 500
    n.memori = "10";
    n.idoDeg = "35";
    n.idoMin = "40";
    n.idoSec = "0";
    n.mentakaM = 4;
    n.tenMei = "P1";
    n.enMenseki = 1963.495;
    n.tousyaMenseki = 200.5;
    n.tenkuRitu = 89.7886;
    n.layer = "T";
    DxfList notes;
    WriteSansyaNotes(notes, n);
    e = Entities(notes);
    struct Row {
        const char* text;
        const char* y;
    };
    const Row want[] = {
        {"目盛間隔 10%%d", "-3375"},
        {"緯度 = 35%%d40'0\"", "-3750"},
        {"正射影 測定面高さ = 4.000 m", "-4125"},
        {"測定点 P1", "-5250"},
        {"水平円射影面積 1963.495 , 200.500", "-4500"},
        {"天空率 = 89.789%", "-4875"},
    };
    ASSERT_EQ(e.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(want[i].text);
        EXPECT_EQ(e[i].Get(1), want[i].text);
        EXPECT_EQ(e[i].Get(10), "0.0");
        EXPECT_EQ(e[i].Get(21), want[i].y);
        EXPECT_EQ(e[i].Get(40), "250");
        EXPECT_EQ(e[i].Get(72), "1");
        EXPECT_EQ(e[i].Get(73), "2");
    }
}

namespace fs = std::filesystem;

// A drawing open in the host, a scripted user and a fresh work folder; the map's centre was
// placed at (10000, 20000).
class InsertLineEntTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_.New();
        p_.scale = kS;
        p_.radius = kR;
        p_.textSize = 250;
        p_.hatchDeg = 10;
        p_.memori = "10";
        p_.kyusekiHyo = true;
        p_.layerTenku = "TENKU";
        p_.layerHatch = "HATCH";
        p_.layerSansya = "SANSYA";
        p_.layerIti = "ITI";
        p_.idoDeg = "35";
        p_.idoMin = "40";
        p_.idoSec = "0";
        p_.mentakaM = 4;
        p_.tenMei = "A1";
        p_.IDPOINT2 = {10000, 20000, 0};
        ws_.AryLine = WallOutline();
        ws_.AryTateiti.resize(3);
        // The sky map made its layers before it called the measurement.
        for (const char* layer : {"TENKU", "HATCH", "SANSYA", "ITI"}) EnsureLayer(host_, layer);
    }

    Document& Doc() { return host_.ActiveDocument(); }
    TCadTarget Target() { return {connector_, host_, Doc(), "AutoCAD.Application.24"}; }
    TDxfOutput Output() const { return {dir_, DxfEncoding::Utf8}; }

    int CountOf(const std::string& entityName, const std::string& layer) {
        int n = 0;
        Block& ms = Doc().ModelSpace();
        for (int i = 0; i < ms.Count(); ++i) {
            EntityPtr e = ms.Item(i);
            n += e->EntityName() == entityName && e->Layer() == layer;
        }
        return n;
    }
    EntityPtr FindText(const std::string& text) {
        Block& ms = Doc().ModelSpace();
        for (int i = 0; i < ms.Count(); ++i) {
            EntityPtr e = ms.Item(i);
            if (e->EntityName() == "AcDbText" && e->TextString() == text) return e;
        }
        return nullptr;
    }

    testing::TempDir tmp_;
    fs::path dir_ = tmp_.Path();
    ScriptedInteraction user_;
    DrawingHost host_{&user_};
    HostConnector connector_{host_};
    TCadUi ui_;
    Workspace ws_;
    TSansyaParams p_;
};

double ShoelaceArea(const std::vector<TLineEnt>& ring) {
    double a = 0;
    for (const TLineEnt& s : ring) a += s.st.x * s.ed.y - s.ed.x * s.st.y;
    return std::fabs(a) / 2;
}

// The map placed by the user with the triangle table on: the CAD's area of the outline, the
// drawing inserted at the map centre, the table placed by the user at (50000, 0).
TEST_F(InsertLineEntTest, PlacedMapWithTable) {
    const double want = ShoelaceArea(ws_.AryLine);
    user_.PushPoint({50000, 0, 0});
    const TInsertLineEntResult r =
        InsertLineEnt(ws_, Target(), Output(), ui_, p_, true, std::nullopt);

    EXPECT_NEAR(r.area, want, 1e-6 * want);
    EXPECT_TRUE(ws_.AryLine.empty());
    EXPECT_TRUE(ws_.AryTateiti.empty());  // no position table: the rows are dropped
    EXPECT_FALSE(r.drawTateiti);
    ASSERT_TRUE(r.sansya && r.mapInsert && r.tableInsert);
    EXPECT_EQ(r.tableInsert->status, InsertStatus::Placed);

    const std::vector<std::string>& log = host_.CommandLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "-INSERt\r\"*" + r.mapInsert->file.string() + "\"\r10000,20000\r1 0 ");
    EXPECT_EQ(log[1], "-INSERT\r\"" + r.tableInsert->file.string() + "\"\rS\r1.0\rR\r0\r");

    // No temporary polyline is left; hatch every 10 degrees from 50 to 130 meets the wall.
    EXPECT_EQ(CountOf("AcDbPolyline", "TENKU"), 0);
    EXPECT_EQ(CountOf("AcDbLine", "HATCH"), 9);
    // Four lines per triangle; the table's grid of n + 3 + 5 lines.
    const int n = static_cast<int>(r.sansya->triangles.size());
    EXPECT_EQ(CountOf("AcDbLine", "SANSYA"), 4 * n + n + 8);

    // The sky factor under the map centre and at the end of the table.
    const std::string f = FormatFixed(r.sansya->tenkuRitu, 3);
    EntityPtr note = FindText("天空率 = " + f + "%");
    ASSERT_TRUE(note);
    EXPECT_EQ(note->Layer(), "TENKU");
    const std::string c = FormatFixed(r.sansya->sector.enMenseki, 3);
    const std::string pp = FormatFixed(r.sansya->tousyaMenseki, 3);
    EXPECT_TRUE(FindText("(" + c + " - " + pp + " ) / " + c + " * 100 = " + f + "%"));
}

// A batch map: hatch and notes at the given point, no triangles, markers or table.
TEST_F(InsertLineEntTest, BatchMapDrawsNoTriangles) {
    p_.itiHyo = true;
    const TInsertLineEntResult r =
        InsertLineEnt(ws_, Target(), Output(), ui_, p_, false, TAcadPoint{0, 0, 0});
    ASSERT_TRUE(r.mapInsert);
    ASSERT_EQ(host_.CommandLog().size(), 1u);
    EXPECT_EQ(host_.CommandLog()[0], "-INSERt\r\"*" + r.mapInsert->file.string() + "\"\r0,0\r1 0 ");
    EXPECT_EQ(CountOf("AcDbLine", "SANSYA"), 0);
    EXPECT_EQ(CountOf("AcDbCircle", "ITI"), 0);
    EXPECT_EQ(CountOf("AcDbText", "TENKU"), 6);
    EXPECT_FALSE(r.drawTateiti);
    EXPECT_EQ(ws_.AryTateiti.size(), 3u);
}

// The position table without the triangle table: the rows are numbered by the corners at
// their azimuths (north up), the corners marked, and the position table is due.
TEST_F(InsertLineEntTest, PositionRowsWithoutTable) {
    p_.kyusekiHyo = false;
    p_.itiHyo = true;
    ws_.AryTateiti[0].houido = 135;
    ws_.AryTateiti[1].houido = 45;
    ws_.AryTateiti[2].houido = 10;
    const TInsertLineEntResult r =
        InsertLineEnt(ws_, Target(), Output(), ui_, p_, true, std::nullopt);
    ASSERT_EQ(ws_.AryTateiti.size(), 3u);
    EXPECT_EQ(ws_.AryTateiti[0].no, 2);
    EXPECT_EQ(ws_.AryTateiti[1].no, 1);
    EXPECT_EQ(ws_.AryTateiti[2].no, 0);
    EXPECT_TRUE(r.drawTateiti);
    EXPECT_FALSE(r.tableInsert);
    EXPECT_EQ(host_.CommandLog().size(), 1u);
    EXPECT_EQ(CountOf("AcDbCircle", "ITI"), 2);
    EntityPtr mark = FindText("[2]");
    ASSERT_TRUE(mark);
    // Corner 2 is the wall's end at 135 degrees, R / sqrt(1.5) from the centre.
    const TAcadPoint c = At(135, WallRadius(135));
    EXPECT_NEAR(mark->InsertionPoint().x, 10000 + c.x + 0.02 * kR, 1e-6);
    EXPECT_NEAR(mark->InsertionPoint().y, 20000 + c.y, 1e-6);
    EXPECT_EQ(CountOf("AcDbLine", "SANSYA"), 0);
}

// Two segments are no outline: nothing is measured or drawn, and the list is consumed.
TEST_F(InsertLineEntTest, TooShortOutline) {
    ws_.AryLine.resize(2);
    const TInsertLineEntResult r =
        InsertLineEnt(ws_, Target(), Output(), ui_, p_, true, std::nullopt);
    EXPECT_EQ(r.area, 0);
    EXPECT_TRUE(ws_.AryLine.empty());
    EXPECT_TRUE(host_.CommandLog().empty());
    EXPECT_EQ(Doc().ModelSpace().Count(), 0);
}

}  // namespace
}  // namespace zuka

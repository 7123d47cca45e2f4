// The sky-factor verdict (天空率による斜線制限の適合判定): a planned building is exempt from a
// slant-line limit when, at every measurement point (算定位置) the rules place, its sky factor
// is at least that of the conforming building (適合建築物), the largest building that obeys the
// slant line on the same site. This module places the points, builds the conforming building,
// measures both buildings' sky factors at every point and gives the verdict rows. It takes
// plain values and returns plain results; it draws nothing and reads no drawing.
//
// Frames and units: the plan is the drawing's, millimetres; heights (z) are millimetres above
// the site ground. The road centre lies `roadLevel` below the site ground.
//
// Sky factors are percent. Each is measured three ways from the buildings' top edges:
// - exact: the orthographic obstruction integrated over the azimuth, 1 - (1/2pi) Int sin^2 h;
// - inscribed triangles (内接, the planned building's method): chords between the outline's
//   points on the rays of the division, never above the exact value;
// - circumscribed triangles (外接, the conforming building's method): the base moved out,
//   parallel to the chord, until it touches the outline, never below the exact value.
// The triangles are measured on a map of radius kSkyCheckRadius paper mm; the sky part of each
// triangle is rounded to 3 decimals of mm², down for inscribed and up for circumscribed.
//
// Glossary: tekigou conforming, keikaku planned, tenku sky, ritu ratio, shasen slant line,
// douro road, rinchi adjacent land, kita north, koutai setback, tekiyou kyori application
// distance, kinsetu closest.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "geom/records.h"

namespace zuka {

// The map radius of the triangle method, paper mm (the common fixed 100 mm).
inline constexpr double kSkyCheckRadius = 100;
// The divisions tried at a point, degrees: the first is the triangle method's 10 degrees; a
// point that fails on the triangle figures but passes on the exact values is measured again
// at each finer one until it passes; the last is the floor.
inline constexpr double kSkyCheckDivisionsDeg[] = {10, 5, 2, 1, 0.5};

enum class SkyKind { Road, Adjacent, North };

// 道路 / 隣地 / 北側.
std::string SkyKindName(SkyKind k);

enum class SkyZoneGroup {
    LowRise,      // 1低・2低・田園
    MidHigh,      // 1中高・2中高
    Residential,  // 1住・2住・準住
    Commercial,   // 近商・商業
    Industrial,   // 準工・工業・工専
    Unzoned,      // 無指定
};

// One zone of the slant-line table.
struct TSkyZone {
    std::string name;  // as typed: 1住, 商業, ...
    SkyZoneGroup group = SkyZoneGroup::Residential;
};

// The zone named, by its short name (1低 2低 1中高 2中高 田園 1住 2住 準住 近商 商業 準工 工業
// 工専 無指定) or its long one (第一種住居地域, 近隣商業地域, ...); none for another name.
std::optional<TSkyZone> FindSkyZone(std::string_view name);

// The short zone names, in table order, for messages.
std::string SkyZoneNames();

// The road slope a (1.25 or 1.5).
double RoadSlope(const TSkyZone& z);
// The FAR limit the application distance is taken from, percent: the designated one, reduced
// for a road narrower than 12 m to width (m) x 40 (residential zones) or x 60 (others).
double EffectiveFar(const TSkyZone& z, double farPct, double widthM);
// The application distance (適用距離) for a FAR limit (percent), metres.
double ApplicationDistanceM(const TSkyZone& z, double farPct);
// Whether the slope becomes 1.5 at 1.25 W from the opposite line (roads of 12 m or more in
// 1中高・2中高・1住・2住・準住).
bool TwelveMetreRule(const TSkyZone& z, double widthM);
// The kinds the zone makes apply: road always; adjacent outside 1低・2低・田園; north in
// 1低・2低・田園・1中高・2中高.
std::vector<SkyKind> ZoneKinds(const TSkyZone& z);

// One road: its width and the conforming building's setback, metres, and the site edges that
// face it (plan, mm; collinear, in any order and direction).
struct TSkyRoad {
    double widthM = 0;
    double setbackM = 0;
    std::vector<TLineEnt> frontage;
};

// How a road row ends where the site is wider than its frontage (an external corner):
// 垂直 (the common default) stops the points and the conforming building at the perpendiculars
// from the frontage's ends; 沿線 extends both to the outermost site point inside the
// application range, the points projected onto the deemed opposite line.
enum class SkyCorners { Perpendicular, AlongLine };
// "垂直", "沿線"; none for another text.
std::optional<SkyCorners> FindSkyCorners(std::string_view name);
std::string SkyCornersName(SkyCorners c);

struct TSkyCheckInput {
    std::vector<TAcadPoint> site;  // the site outline, a closed ring (either orientation)
    std::vector<TSkyRoad> roads;
    TSkyZone zone;
    double farPct = 200;
    std::vector<SkyKind> kinds;     // empty: what the zone makes apply
    double roadLevelM = 0;          // the site ground above the road centre, metres
    std::vector<TLineEnt> planned;  // the planned building: wall top edges, z above the ground
    double marginPct = 0;           // the planned value must reach conforming + margin
    double northDeg = 90;  // the drawing direction of true north, counter-clockwise from +x
    SkyCorners corners = SkyCorners::Perpendicular;
};

// One measurement point with both buildings' sky factors.
struct TSkyCheckRow {
    SkyKind kind = SkyKind::Road;
    std::string row;     // 道路1, 隣地2, 北側1: the kind and the road or boundary, numbered
    int no = 0;          // 1, 2, ... along the row
    TAcadPoint at;       // plan position (mm); z = the point's height above the site ground
    double heightM = 0;  // the point's height shown: above the road centre (road), else ground
    double conformExact = 0;
    double conformTriangles = 0;  // circumscribed
    double plannedExact = 0;
    double plannedTriangles = 0;  // inscribed
    double conform = 0;           // circumscribed, rounded up to 3 decimals
    double planned = 0;           // inscribed, rounded down to 3 decimals
    double difference = 0;        // planned - conform
    double marginPct = 0;
    bool pass = false;        // planned >= conform + margin
    bool passExact = false;   // the same on the exact values
    double divisionDeg = 10;  // the division the triangle figures were measured with
    bool closest = false;     // 近接点: the smallest difference - margin of its kind
};

// The conforming building of one row: its footprint pieces and its wall top edges.
struct TSkyConforming {
    SkyKind kind = SkyKind::Road;
    std::string row;
    std::vector<std::vector<TAcadPoint>> footprints;  // z = the slant height above the ground
    std::vector<TLineEnt> walls;                      // the footprints' edges at their heights
    std::vector<TLineEnt> planned;  // the planned building as this row measures it (road: cut at
                                    // the application distance)
    double applicationM = 0;        // road: the application distance used, metres
    double slope = 0;               // the slope a (the first, below the 12 m rule's step)
    bool step = false;              // the 12 m rule's step to 1.5 is in it
};

struct TSkyCheckResult {
    std::optional<std::string> refusal;  // inputs the rules cannot place, named; nothing else set
    std::vector<TSkyCheckRow> rows;
    std::vector<TSkyConforming> conforming;
    std::vector<std::string> notes;  // choices taken (corners, margin, setback reading)
    bool Passes() const;
};

// The whole verdict: points, conforming buildings, sky factors, refinement and rows.
TSkyCheckResult CheckSkyFactor(const TSkyCheckInput& in);

// The sky factors of top edges (z above the site ground) seen from p (z = its height above
// the ground), percent.
double ExactSkyFactor(const std::vector<TLineEnt>& tops, TAcadPoint p);
struct TSkyTriangleFigures {
    double inscribed = 100;
    double circumscribed = 100;
    int triangles = 0;
};
TSkyTriangleFigures TriangleSkyFactors(const std::vector<TLineEnt>& tops, TAcadPoint p,
                                       double divisionDeg);

// Rounding as the tables show it: up (conforming) and down (planned) to 3 decimals.
double CeilTo3(double v);
double FloorTo3(double v);

// n = ceil(length / maxSpacing) intervals (at least 1), evenly spaced: the n + 1 offsets.
std::vector<double> EvenRow(double length, double maxSpacing);

}  // namespace zuka

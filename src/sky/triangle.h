// The triangle method (三斜計算) on one sky map: the sky part of the sector that the buildings
// cover is cut, from the map centre O, into triangles with an apex angle of at most 10 degrees;
// the building's projected area is the sector area minus the triangles' areas. For the planned
// building (計画) the triangles are inscribed in the outline (chords), for the conforming
// building (適合) their bases are moved out to touch it, so the planned building's area errs
// large and the conforming building's small.
//
// Everything works in the sky-map frame: origin O = map centre, true north along +Y, drawing
// units. R is the map radius and S the drawing scale (drawing units per paper mm).
//
// Glossary: sansya triangle, teihen base, takasa height, menseki area, ougi sector, en circle,
// tenku sky, kakudo angle, tateiti building position, houido azimuth, memori scale tick,
// ido latitude, mentaka measurement plane height.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "cad/dxf_text.h"
#include "geom/records.h"
#include "geom/workspace.h"

namespace zuka {

// A joint of the outline is a corner when its angle is below 178.2 degrees.
inline constexpr double kSansyaCornerLimit = 3.1101767270538954;
// The largest apex angle of a triangle: 10 degrees.
inline constexpr double kSansyaDivisionAngle = 0.17453292519943295;

// How far inside the rim a point must lie to count as inside the circle: R * 5e-6.
double SansyaRimTol(double radius);

// The outline's corners in trace order, as joint indices (joint i is where segment i ends and
// the next one, or the first after the last, starts): the joints whose angle, folded into
// [0, pi], lies strictly between 0 and 178.2 degrees and whose distance from O plus the rim
// tolerance is below R. A joint on the rim is no corner. With turnBackCounts a joint that turns
// back on itself (angle 0) counts as well, as the recalculation of a point list has it.
std::vector<std::size_t> FindSansyaJoints(const std::vector<TLineEnt>& outline, double radius,
                                          bool turnBackCounts = false);

// The corners' points, in the same order.
std::vector<TAcadPoint> FindSansyaCorners(const std::vector<TLineEnt>& outline, double radius);

// The sector that the corners cover.
struct TSansyaSector {
    TAcadPoint a;  // first extreme corner; B lies counter-clockwise of it
    TAcadPoint b;
    std::vector<TAcadPoint> corners;  // reordered: from the corner before B backwards to B
    std::vector<std::size_t> order;   // corners[k] is the given corner order[k]
    double kakudoDeg = 0;             // angle A-O-B less the open sky between the buildings,
                                      // degrees rounded to 3 decimals
    double enMenseki = 0;             // circle area (R/S)^2 pi, paper mm^2, 3 decimals
    double ougiMenseki = 0;           // sector area (R/S)^2 pi kakudoDeg / 360, not rounded
};

// The extreme corners (the first pair with the strictly largest angle at O) and the corner
// list reordered so that, for one outline traced counter-clockwise, it runs from A to B.
// Needs at least two corners.
TSansyaSector OrderSansyaCorners(const std::vector<TAcadPoint>& corners, double radius,
                                 double scale);

// Sets the sector's angle and areas: the angle A-O-B less openRad (the open sky between the
// buildings), rounded to 3 decimals, the circle area and the sector area of that angle.
void SetSansyaSectorAngle(TSansyaSector& s, double openRad, double radius, double scale);

// Numbers the position rows by the corners: each row takes the nearest still unused corner
// that lies at its azimuth (within 1e-5 degrees; a corner is used up the moment it is the
// row's best so far); of rows equal within 0.001 in distance, height, azimuth and elevation
// only the first keeps its number. A row without a corner gets 0. northRad is the drawing
// direction of true north (the map's azimuths are turned back by northRad - pi/2).
void NumberTateiti(std::vector<TTateiti>& rows, const std::vector<TAcadPoint>& corners,
                   double radius, double northRad);

// The division points of the sector, in order.
struct TSansyaSpans {
    std::vector<TAcadPoint> points;  // z = 0
    std::vector<bool> open;          // open[i]: from points[i] to points[i+1] the sky reaches the
                                     // horizon between two buildings: no triangle there
    double openRad = 0;              // the angle of those open stretches in all, radians
};

// The division points: each ordered corner, then for a span of angle t between consecutive
// corners the first outline crossings (in outline order) of the rays at t*k/m past the
// corner, k = 1 .. m-1, m = Trunc(t / 10 degrees + 1); the last corner closes the list. A ray
// that crosses nothing adds no point.
// Several buildings on one map are joined along the rim into one outline. With `joints` (the
// outline joint of each ordered corner) the outline between two corners is followed: where it
// runs along the rim, the sky reaches the horizon between the buildings. That stretch, from
// the first to the last rim joint, is marked open and its angle left out of the sector; the
// stretches on either side are divided as spans of their own.
TSansyaSpans DivideSansyaSpans(const std::vector<TAcadPoint>& corners,
                               const std::vector<std::size_t>& joints,
                               const std::vector<TLineEnt>& outline, double radius);

// One triangle O-p-q: q the division point farther from O, F the foot of the perpendicular
// from p onto the line O-q, the label drawn at h from the middle of p-F toward O.
struct TSansyaTriangle {
    TSansya row;  // no, teihen = |Oq|, takasa = |pF|, menseki (paper mm^2, 3 decimals)
    TAcadPoint p;
    TAcadPoint q;
    TAcadPoint foot;
    TAcadPoint label;
};

// The triangles between consecutive division points (none across an open stretch), numbered
// 1, 2, ... in order. With tekigou (the conforming building) the base is moved out, parallel to
// the chord, to the point where the perpendicular through the chord's middle meets the first
// outline segment the ray toward that middle crosses; only out, away from O, never in. A
// triangle counts only when 0.1 < height < R * 2pi / 36.
// menseki is filled by SansyaMenseki.
std::vector<TSansyaTriangle> MakeSansyaTriangles(const TSansyaSpans& spans,
                                                 const std::vector<TLineEnt>& outline,
                                                 double radius, double scale, bool tekigou);

// A triangle's area in paper mm^2 as the table shows it: base teihen/S and half height
// takasa/S * 0.5 each rounded to 5 decimals, their product rounded to 3 decimals.
double SansyaMenseki(double teihen, double takasa, double scale);

// Everything the triangle method yields for one outline.
struct TSansyaResult {
    TSansyaSector sector;
    TSansyaSpans divisions;
    std::vector<TSansyaTriangle> triangles;
    double sansyaGoukei = 0;   // T: sum of the triangles' menseki
    double tousyaMenseki = 0;  // P = sector area - T, paper mm^2 (not rounded), at least 0
    double tenkuRitu = 0;      // F = (C - P rounded to 3 decimals) / C * 100, percent
};

// Corners, sector and division points of the traced outline, without triangles. Empty when the
// outline has fewer than two corners. turnBackCounts as for FindSansyaJoints.
std::optional<TSansyaResult> DivideSansya(const std::vector<TLineEnt>& outline, double radius,
                                          double scale, bool turnBackCounts = false);

// The triangles of a divided outline (inscribed, or circumscribed with tekigou) and the areas
// and sky factor they give.
void MeasureSansyaTriangles(TSansyaResult& r, const std::vector<TLineEnt>& outline, double radius,
                            double scale, bool tekigou);

// DivideSansya, then MeasureSansyaTriangles. Empty when the outline has fewer than two corners.
std::optional<TSansyaResult> MeasureSansya(const std::vector<TLineEnt>& outline, double radius,
                                           double scale, bool tekigou, bool turnBackCounts = false);

// The hatch of the building region: for every Q degrees from 0 (j = 0 .. Trunc(359 / Q)), a
// LINE on `layer` from the first outline crossing (in outline order) of the ray toward R - 1
// that lies closer than R minus the rim tolerance, out to the rim. Points are turned
// counter-clockwise by rotDeg about O. Nothing when Q <= 0.
void WriteSansyaHatch(DxfList& dxf, const std::vector<TLineEnt>& outline, double radius,
                      double hatchDeg, double rotDeg, const std::string& layer);

// The corner markers of numbered position rows (no > 0): a CIRCLE of radius 0.01R at corner
// no - 1 and the TEXT "[no]" beside it, both on `layer`, turned by rotDeg.
void WriteTateitiMarkers(DxfList& dxf, const std::vector<TTateiti>& rows,
                         const std::vector<TAcadPoint>& corners, double radius, double rotDeg,
                         const std::string& layer);

// The drawn triangles on `layer`, turned by rotDeg: a numbered circle at each label and the
// four lines p-F, p-q, O-q, O-p.
void WriteSansyaTriangles(DxfList& dxf, const std::vector<TSansyaTriangle>& triangles,
                          double radius, double rotDeg, const std::string& layer);

// The texts under the map.
struct TSansyaNotes {
    double radius = 0;    // R, drawing units
    double textSize = 0;  // T', drawing units
    std::string memori;   // scale-tick interval as typed (Edit13 / Edit24)
    std::string idoDeg;   // latitude as typed: degrees, minutes, seconds
    std::string idoMin;   //   (Edit3, Edit5, Edit23)
    std::string idoSec;
    double mentakaM = 0;       // measurement plane height, metres
    std::string tenMei;        // measurement point name of the preset
    double enMenseki = 0;      // C
    double tousyaMenseki = 0;  // P
    double tenkuRitu = 0;      // F
    std::string layer;         // sky-map layer (Edit33)
};

// Six centred TEXTs below the circle: scale ticks, latitude, measurement plane height, point
// name, circle and projected areas, sky factor.
void WriteSansyaNotes(DxfList& dxf, const TSansyaNotes& n);

// What InsertLineEnt reads, converted by the caller from the preset chosen by typ.
struct TSansyaParams {
    double scale = 1;         // S (Edit19)
    double radius = 0;        // R = radius x S, drawing units
    double textSize = 0;      // T' = text size x S, drawing units
    double hatchDeg = 0;      // Q (Edit18 / Edit25); 0 or less: no hatch
    std::string memori;       // scale-tick interval as typed (Edit13 / Edit24)
    double northDeg = 90;     // true north (Edit12)
    double rotDeg = 0;        // rot: the map's turn when CheckBox10 is ticked, else 0
    bool kyusekiHyo = false;  // 求積表 (CheckBox3 / CheckBox6)
    bool itiHyo = false;      // 位置表 (CheckBox5 / CheckBox7)
    bool tekigou = false;     // RadioGroup2 on 適合建物; else 計画建物
    std::string layerTenku;   // Edit33
    std::string layerHatch;   // Edit35
    std::string layerSansya;  // Edit36
    std::string layerIti;     // Edit37
    std::string idoDeg;       // latitude as typed (Edit3, Edit5, Edit23)
    std::string idoMin;
    std::string idoSec;
    double mentakaM = 0;  // MENTAKA, metres (0 when it is no number)
    std::string tenMei;   // GB_TenMeiA / GB_TenMeiB
    TAcadPoint IDPOINT2;  // the map centre the user placed
};

}  // namespace zuka

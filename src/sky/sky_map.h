// The sky map (天空図): the orthographic projection of the sky hemisphere seen from one
// measurement point onto a circle of radius R. A point at elevation h and azimuth a lands at
// R*cos(h) from the centre in direction a: the horizon is the rim, the zenith the centre, and
// the buildings appear as regions growing from the rim inward.
//
// Frames: the plan is the drawing's (mm). The map frame has its origin at the measurement
// point and true north along +Y; the map file is written in it and inserted at the chosen
// centre, turned by TenkuRotationDeg.
//
// Glossary: tenku sky, tenkuzu sky map, rinkaku outline, ritu ratio, meori scale tick,
// mentaka measurement plane height, tatemono building, tateiti building position,
// kyori distance, takasa height, houido azimuth, miagedo elevation, hankei radius.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/run_context.h"
#include "cad/dxf_text.h"
#include "geom/workspace.h"

namespace zuka {

// What a sky map reads from the window, converted once when the command starts. Lengths in
// paper mm (図寸) are multiplied by `scale` to become drawing units.
struct TTenkuParams {
    int typ = 0;                       // preset: 0 type A, 1 type B
    double scale = 100;                // S, drawing units per paper mm (Edit19)
    double radiusA = 25;               // map radius of type A, paper mm (Edit15)
    double radiusB = 25;               // map radius of type B, paper mm (Edit21)
    double textSize = 1.5;             // T of the selected preset, paper mm (Edit20 / Edit22)
    double meori = 10;                 // E, scale-tick interval of the selected preset, degrees
                                       // (Edit13 / Edit24); 0 or less draws no ticks
    double kitaDeg = 90;               // true north in the drawing, degrees from +X (Edit12)
    bool rotateMap = false;            // CheckBox10: turn the placed map to the plan's orientation
    std::string mentaka;               // MENTAKA, plane height as typed, metres; no number counts 0
    std::string pointName;             // the point's name for messages (GB_TenMeiA / GB_TenMeiB)
    double planeHeightM = 0;           // Edit17, metres: the elevation written on the projections
    std::string layer = "ZUKA_TENKU";  // Edit33: circle, letters, projections
    std::string meoriLayer = "ZUKA_TMEMORI";  // Edit34: scale ticks

    // The radius of the selected preset, paper mm.
    double Radius() const { return typ == 0 ? radiusA : radiusB; }
};

enum class TenkuStatus {
    Drawn,        // the map is in the DXF list and its projections in AryLine
    NoBuildings,  // the building model is empty: nothing drawn (the caller reports it)
    BadRadius,    // the selected radius is 0 or less: refused, `message` says so
    BadScale,     // the drawing scale is 0 or less: refused, `message` says so
    Enclosed,     // the buildings stand around the point by half a turn or more, which one map
                  // outline closed along the shorter way of the horizon cannot show: refused,
                  // AryLine and AryTateiti empty, `message` says so
    Stopped,      // the run was asked to stop: AryLine and AryTateiti empty, the list half
                  // written
};

struct TTenkuResult {
    TenkuStatus status = TenkuStatus::NoBuildings;
    std::string message;  // the system's message for a refused map; empty otherwise
};

// The message refusing the map of a point that the buildings stand around by half a turn or
// more; pointName is the point's name (GB_TenMeiA / GB_TenMeiB, or the grid's).
std::string TenkuEnclosedMessage(const std::string& pointName);

// The system's message refusing a map radius (paper mm) or a drawing scale of 0 or less, which
// leave no circle to measure against; nothing when both are positive.
std::optional<std::string> TenkuSizeRefusal(double radius, double scale);

// The rotation, in degrees, with which the map is inserted: kitaDeg - 90 when rotateMap,
// else 0.
double TenkuRotationDeg(const TTenkuParams& p);

// Builds one sky map for the measurement point idPoint1 (plan x, y; z unused) over the
// building model aryTatemono (each wall's top edge, z = its height, mm):
// - `dxf` receives the file start (header, HIDDEN2 linetype table, entities start), the frame
//   (circle, compass lines and letters N W E S), the scale ticks, one open POLYLINE per
//   projected edge and the horizon arc; the file end is left to the placement, which closes
//   the file.
// - ws.AryLine receives the projected segments in the map frame (z = 0): the chords of each
//   edge (with one zero-length segment at its end, dropped later by the merge) and the
//   horizon arc.
// - ws.AryTateiti receives one row per projected end point above the measurement plane.
// A wall whose top lies wholly above the plane H = mentaka * 1000 counts whole; a wall whose
// top crosses the plane (a sloped roof edge) counts with its part above the plane. Sample
// heights below the plane project onto the rim; plan coordinates are used as they are, so a
// drawing in negative coordinates projects like the same buildings anywhere else.
// A radius or scale of 0 or less is refused before anything is touched; a point that the
// buildings stand around by half a turn or more is refused after the projection. An empty model
// clears AryLine and AryTateiti and writes nothing. `progress`, when given, is the main window's
// bar (one step per hundredth of the edges) and the run whose stop request ends the map.
TTenkuResult MakeTenkuzuDxf(const std::vector<TLineEnt>& aryTatemono, TAcadPoint idPoint1,
                            const TTenkuParams& p, Workspace& ws, DxfList& dxf,
                            RunContext* progress = nullptr);

// Where a drawn map's projections go: the map's DXF list, the sky-map layer (Edit33) and the
// elevation written on the polylines (the plane height Edit17, mm).
struct TTenkuDrawing {
    DxfList* dxf = nullptr;
    std::string layer;
    double planeZ = 0;
};

// Whether b runs between the same ends as a, in the same or the opposite direction, both ends
// within the point tolerance in x, y and z.
bool SameLine3D(const TLineEnt& a, const TLineEnt& b);

// Whether each segment is repeated by a later one (SameLine3D): the earlier of two equal edges
// is left out of the projection. Cost about linear in the segments.
std::vector<bool> RepeatedLines(const std::vector<TLineEnt>& lines);

// The two points (indices i != j) farthest apart around the origin: the largest angle between
// their directions, folded into [0, pi]; of equal angles the first pair in the order of i,
// then j. (0, 1) when fewer than two points. Cost about n log n.
std::pair<std::size_t, std::size_t> FarthestApart(const std::vector<TAcadPoint>& pts);

// The projection shared by the drawn map and the recalculation: the walls of aryTatemono
// above the plane h (mm) seen from idPoint1, on a map of radius r (drawing units) turned by g
// (radians, bringing true north to +Y), into ws.AryLine (emptied first) in the map frame as
// MakeTenkuzuDxf describes, with the horizon arc. With `drawing`, every projected edge and the
// arc are written as POLYLINEs and ws.AryTateiti receives the position rows; without, neither.
// False when the buildings' feet on the plane leave no open stretch of more than half a turn
// around the point (it stands among or inside the buildings): the horizon arc, which closes the
// outline along the shorter way, is then wrong, and so would be every area measured on it.
// When `progress` asks to stop, the projection ends early and AryLine is half filled; the
// caller asks `progress` and drops it.
bool ProjectTenkuzu(const std::vector<TLineEnt>& aryTatemono, TAcadPoint idPoint1, double h,
                    double r, double g, Workspace& ws, const TTenkuDrawing* drawing,
                    RunContext* progress = nullptr);

// The outline pipeline on the projected segments in ws.AryLine: merge (dropping zero-length
// segments), split, remove duplicates, walk from the lowest leftmost point with the way back
// pointing straight down. True when the walk closed; ws.AryLine then holds the outline. False
// too when `progress` asks to stop (the lists are then left half done).
bool TraceTenkuOutline(Workspace& ws, RunContext* progress = nullptr);

// The factor by which the outline is enlarged for tracing, so that both presets trace at the
// larger of the two radii: radiusB / radiusA for type A with radiusA < radiusB, radiusA /
// radiusB for type B with radiusA > radiusB, else 1.
double TenkuScaleFactor(int typ, double radiusA, double radiusB);

enum class TenkuOutlineStatus {
    TooFew,  // AryLine held at most 2 segments: nothing traced
    Traced,  // AryLine holds the closed outline, counter-clockwise
    Failed,  // the walk did not close: "天空率の計算に失敗しました. "
    Stopped, // the run was asked to stop: AryLine empty, nothing to say
};

// Turns the projected segments in ws.AryLine (as MakeTenkuzuDxf leaves them) into the one
// closed outline of the buildings on the map: merge (dropping the zero-length segments),
// split, remove duplicates, walk from the lowest leftmost point with the way back pointing
// straight down, drop the spikes where the walk turns back on itself (a wall seen edge-on).
// The rim between two buildings, walked out and back, stays: the outline stays one closed walk
// and the open sky between the buildings stays visible to the triangle method and to the
// area. The walk runs at TenkuScaleFactor times the size and the result is scaled back. `progress`
// as for the outline pipeline, and the run whose stop request ends the tracing.
TenkuOutlineStatus TenkuRinkakuOutline(Workspace& ws, int typ, double radiusA, double radiusB,
                                       RunContext* progress = nullptr);

// The areas of a measured map.
struct TTenkuArea {
    double circle = 0;     // C = r^2 * pi, paper mm^2
    double projected = 0;  // A = area / S^2, paper mm^2
    double ritu = 0;       // F = (C - A) / C * 100, the sky factor in percent
};

// The areas from the projected area measured by the CAD (drawing units^2), the preset's radius
// r (paper mm) and the scale S. Empty when r or S is 0 or less (no circle to measure against).
std::optional<TTenkuArea> TenkuAreaOf(double areaDrawing, double radius, double scale);

// The text of Label74: "面積 %.3f, %.3f 天空率 %.3f%%" with C, A and F.
std::string FormatLabel74(const TTenkuArea& a);

// The message shown when the outline of the map could not be traced.
std::string TenkuFailedMessage();

}  // namespace zuka

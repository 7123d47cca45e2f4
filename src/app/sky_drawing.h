// The sky maps and their tables into the drawing: what the sky module computes (the map's DXF
// list, the traced outline, the triangle tables, the building position rows) placed, measured
// and inserted through the CAD, as the shadow diagrams are by their commands.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cad/automation.h"
#include "cad/bridge.h"
#include "cad/dxf_text.h"
#include "cad/insert.h"
#include "geom/records.h"
#include "geom/workspace.h"
#include "sky/sky_map.h"
#include "sky/tateiti.h"
#include "sky/triangle.h"

namespace zuka {

enum class TenkuPlaceStatus {
    Placed,     // the map is in the drawing at `point`: go on with TenkuRinkaku
    NotPlaced,  // the user inserted nothing: the command ends quietly
    NotSaved,   // the file could not be written: nothing was sent to the CAD
};

struct TTenkuPlacement {
    TenkuPlaceStatus status = TenkuPlaceStatus::NotSaved;
    TAcadPoint point;            // the map centre (IDPOINT2 when placed by the user)
    std::string blockName;       // "ZUKA_n"
    std::filesystem::path file;  // the map's DXF file, left in the work folder
    std::string why;             // NotSaved: why the list could not be a DXF file, when known
};

// Closes the map's DXF list, saves it as the next "ZUKA_n.dxf" and places it:
// - insertFlag true: the user picks the centre. The last entity is noted and the main window
//   minimised before the file is saved and "-INSERT" is sent with the S and R options and
//   rotDeg in "%.12f"; after the idle CAD (200 ms polls) the window is restored. When the last
//   entity changed, the map is placed: if that entity is the map's block reference it is
//   exploded (its definition deleted) and its insertion point is the centre, otherwise the
//   centre is the origin. When it did not change, NotPlaced.
// - insertFlag false: inserted exploded at insertVpt (x, y) with scale 1.0 and rotDeg, the
//   centre is insertVpt; a "PCAD" ProgID waits for the idle CAD and deletes the definition.
// Automation errors pass to the caller; the main window is restored first.
TTenkuPlacement PlaceTenkuzu(DxfList& dxf, const TCadTarget& cad, const TDxfOutput& out,
                             const TCadUi& ui, bool insertFlag, TAcadPoint insertVpt,
                             double rotDeg);

struct TInsertLineEntResult {
    double area = 0;  // the outline's area measured by the CAD, drawing units^2; 0 on failure
    std::optional<TSansyaResult> sansya{};       // empty with fewer than two corners
    std::optional<TInsertResult> mapInsert{};    // hatch, markers, triangles and notes
    std::optional<TInsertResult> tableInsert{};  // the triangle-area table
    bool drawTateiti = false;                    // the caller draws the building position table now
};

// Measures the traced outline in ws.AryLine (sky-map frame) and draws the result into the
// map: hatch, the CAD's area of the outline shifted to IDPOINT2, the corner markers of the
// position rows (numbering ws.AryTateiti), the triangles and the notes, inserted exploded at
// the map centre (InsertVpt when given, else IDPOINT2) only when a triangle exists; then, when
// the user placed the map (InsertFlag), the triangle-area table for the user to place. With
// InsertFlag false neither markers, triangles nor tables are drawn. ws.AryTateiti is cleared
// when the table was drawn and no position table is due. ws.AryLine is cleared at the end.
// Nothing happens (area 0) when the CAD is not running. Automation errors of the insertions
// pass to the caller; a failed area measurement only leaves the area at 0.
TInsertLineEntResult InsertLineEnt(Workspace& ws, const TCadTarget& cad, const TDxfOutput& out,
                                   const TCadUi& ui, const TSansyaParams& p, bool InsertFlag,
                                   std::optional<TAcadPoint> InsertVpt);

// Draws the table from `aryTateiti` as a block the user places, then empties `aryTateiti`.
// Nothing is drawn (false, rows kept) when the CAD is not running, there are no rows or none
// of them has a number. Automation errors pass to the caller.
bool DrawTateiti(std::vector<TTateiti>& aryTateiti, const TTateitiParams& p, const TCadTarget& cad,
                 const TDxfOutput& out, const TCadUi& ui);

// The CAD's measurement for GetTenkuRitu: a lightweight polyline through pts shifted by `shift`
// (the map centre in the drawing, IDPOINT2) is added to model space, put on `layer` (made if
// missing), closed, its Area read and the polyline deleted. The caller checks that the CAD
// runs; automation errors pass to the caller.
std::optional<double> MeasureTenkuArea(Application& app, Document& doc, const std::string& layer,
                                       TAcadPoint shift, const std::vector<TAcadPoint>& pts);

}  // namespace zuka

// The two ways a drawing reaches the CAD:
// - a DXF block: the command's DXF text is saved as the next free "ZUKA_n.dxf" in the work
//   folder and inserted with "-INSERT", exploded into model space, placed by the user and then
//   exploded, or kept as a block;
// - a block built through automation: the command fills a new "ZUKA_n" block definition, the
//   user places it, and it is exploded and its definition deleted.
// The DXF files stay in the work folder; nothing deletes them.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "cad/automation.h"
#include "cad/bridge.h"
#include "cad/dxf_text.h"

namespace zuka {

// The running CAD as a drawing command holds it.
struct TCadTarget {
    CadConnector& connector;
    Application& application;
    Document& document;
    std::string progId;  // TargetProgID: decides the idle query and the "PCAD" clean-up
};

// Where and how the DXF files are written.
struct TDxfOutput {
    std::filesystem::path workFolder;
    DxfEncoding encoding = DxfEncoding::Cp932;
};

enum class InsertStatus {
    Sent,       // the command text went to the CAD (exploded and lasting-block variants)
    Placed,     // the user placed the block; it was exploded and its definition deleted
    NotPlaced,  // nothing of that block was inserted (the user pressed Escape): the definition
                // stays in the drawing without a reference
    NotExploded,  // the user placed something, but it could not be exploded as the block (the
                  // last entity is not its reference, or a call failed): all of it stays
    NotSaved,   // the DXF file could not be written; nothing was sent to the CAD
};

struct TInsertResult {
    InsertStatus status = InsertStatus::NotSaved;
    std::string blockName;              // "ZUKA_n"
    std::filesystem::path file;         // the DXF file; empty for a built block
    std::optional<TAcadPoint> point{};  // Placed: the user's insertion point
    std::size_t replaced = 0;           // characters the file's code page lacks, written "?"
    std::string why;  // NotSaved: why the list could not be a DXF file, when known
};

// How the main window behaves while the user places a built block.
enum class MainWindowMode {
    Keep,                   // stays as it is
    MinimiseRestore,        // minimised while the user places the block, restored after
    MinimiseCallerRestores  // minimised; the caller restores it after its own final steps
};

// The shared tail of every DXF drawing, after its last entity:
// 1. appends the file end to `dxf`;
// 2. names the block NextBlockName(document, "ZUKA_") and saves the list as that name + ".dxf"
//    in the work folder (overwriting), then waits 100 ms;
// 3. when the file exists, sends InsertCommandText(variant, file, at.x, at.y, rotDeg):
//    - exploded variants: when the ProgID contains "PCAD" (case as given), waits for the idle
//      CAD (100 ms polls) and deletes the block definition the CAD made;
//    - placed-by-user variants (PlacedRotated, PlacedTable, PlacedWall): minimises the main
//      window while the user places the block (waiting for the idle CAD with 200 ms polls);
//      when the last entity changed and is a reference of the block, explodes it and deletes
//      the definition, giving Placed with the user's insertion point (NotExploded when the
//      last entity changed but could not be exploded, NotPlaced when it did not change);
//    - PlacedWallBlock: placed by the user like the others, and the block stays (Placed, with
//      the reference's insertion point, when something was inserted);
//    - BlockAtPoint: sends the command only, the block stays.
// A save that fails gives NotSaved and sends nothing. PlacedBuiltBlock is not a DXF variant.
// Automation errors pass to the caller (the main window is restored first).
TInsertResult InsertDxfBlock(DxfList& dxf, const TCadTarget& cad, const TDxfOutput& out,
                             const TCadUi& ui, InsertVariant variant, TAcadPoint at = {},
                             double rotDeg = 0);

// The shared tail of every automation-built drawing, after the command made `block` with
// AddNewBlock(document, "ZUKA_") and filled it: lets the user place it with
// "-INSERT\r" + name + "\rS\r1.0\rR\r0.0\r", waits for the idle CAD (200 ms polls), and when
// something was inserted and it is a reference of the block, explodes it and deletes the
// definition (Placed, with the insertion point). A cancelled placement gives NotPlaced and
// leaves the definition. Automation errors pass to the caller; a minimised main window is
// restored first, whatever the mode.
TInsertResult InsertBuiltBlock(const Block& block, const TCadTarget& cad, const TCadUi& ui,
                               MainWindowMode mode);

}  // namespace zuka

#include "cad/insert.h"

#include <system_error>

#include "base/assert.h"
#include "base/platform.h"

namespace zuka {
namespace {

const std::string kBlockPrefix = "ZUKA_";
const std::string kDxfExtension = ".dxf";

constexpr int kAfterSaveMs = 100;  // lets the file system settle before the CAD reads it
constexpr int kExplodedIdlePollMs = 100;
constexpr int kPlacingIdlePollMs = 200;

enum class InsertKind { Exploded, PlacedByUser, PlacedLasting, Lasting };

InsertKind KindOf(InsertVariant variant) {
    switch (variant) {
        case InsertVariant::ExplodedOrigin:
        case InsertVariant::ExplodedOriginEqualTime:
        case InsertVariant::ExplodedOriginBoundary:
        case InsertVariant::ExplodedMapCentre:
        case InsertVariant::ExplodedAtPoint:
            return InsertKind::Exploded;
        case InsertVariant::PlacedRotated:
        case InsertVariant::PlacedTable:
        case InsertVariant::PlacedWall:
        case InsertVariant::PlacedBuiltBlock:
            return InsertKind::PlacedByUser;
        case InsertVariant::PlacedWallBlock:
            return InsertKind::PlacedLasting;
        case InsertVariant::BlockAtPoint:
            return InsertKind::Lasting;
    }
    return InsertKind::Exploded;
}

// Keeps the main window minimised while the user works at the CAD's screen, and restores it
// when the scope ends early through an automation error.
class MinimisedMainWindow {
public:
    MinimisedMainWindow(const TCadUi& ui, bool minimise) : ui_(ui), minimised_(minimise) {
        if (minimised_) ui_.Minimise();
    }
    ~MinimisedMainWindow() { Restore(); }
    MinimisedMainWindow(const MinimisedMainWindow&) = delete;
    MinimisedMainWindow& operator=(const MinimisedMainWindow&) = delete;

    void Restore() {
        if (minimised_) ui_.Restore();
        minimised_ = false;
    }
    // The caller restores the window itself after its own final steps.
    void Release() { minimised_ = false; }

private:
    const TCadUi& ui_;
    bool minimised_;
};

// Sends a placing command and waits until the user has placed the block or cancelled; then,
// with `explode`, when the last entity changed and is a reference of the block, explodes it and
// deletes the definition.
void PlaceAndExplode(const TCadTarget& cad, const std::string& command,
                     const std::string& blockName, const TCadUi& ui, MainWindowMode mode,
                     TInsertResult& result, bool explode = true) {
    Document& doc = cad.document;
    const ObjectId before = GetLastEntityId(doc);
    MinimisedMainWindow window(ui, mode != MainWindowMode::Keep);
    doc.SendCommand(command);
    WaitCadIdle(cad.connector, cad.application, cad.progId, kPlacingIdlePollMs);
    if (mode == MainWindowMode::MinimiseRestore) window.Restore();
    TAcadPoint point;
    if (GetLastEntityId(doc) == before) {
        result.status = InsertStatus::NotPlaced;
    } else if (!explode) {
        result.status = InsertStatus::Placed;
        result.point = doc.ObjectIDToObject(GetLastEntityId(doc))->InsertionPoint();
    } else if (ExplodeLastInsert(doc, blockName, point)) {
        DeleteBlockDef(doc, blockName);
        result.status = InsertStatus::Placed;
        result.point = point;
    } else {
        result.status = InsertStatus::NotExploded;
    }
    if (mode == MainWindowMode::MinimiseCallerRestores) window.Release();
}

}  // namespace

TInsertResult InsertDxfBlock(DxfList& dxf, const TCadTarget& cad, const TDxfOutput& out,
                             const TCadUi& ui, InsertVariant variant, TAcadPoint at,
                             double rotDeg) {
    ZUKA_ASSERT(variant != InsertVariant::PlacedBuiltBlock,
                "a DXF file is inserted by its path, not as a built block");
    EndDxfFile(dxf);

    TInsertResult result;
    result.blockName = NextBlockName(cad.document, kBlockPrefix);
    result.file = out.workFolder / (result.blockName + kDxfExtension);
    if (!SaveDxfList(dxf, result.file, out.encoding, &result.replaced, &result.why)) {
        result.status = InsertStatus::NotSaved;
        return result;
    }
    cad.connector.Sleep(kAfterSaveMs);
    std::error_code ec;
    if (!std::filesystem::exists(result.file, ec)) {
        result.status = InsertStatus::NotSaved;
        return result;
    }

    const std::string command =
        InsertCommandText(variant, PathToUtf8(result.file), at.x, at.y, rotDeg);
    switch (KindOf(variant)) {
        case InsertKind::Exploded:
            cad.document.SendCommand(command);
            // That product keeps a definition of every exploded file; the next drawing then
            // reuses the number.
            if (cad.progId.find("PCAD") != std::string::npos) {
                WaitCadIdle(cad.connector, cad.application, cad.progId, kExplodedIdlePollMs);
                DeleteBlockDef(cad.document, result.blockName);
            }
            result.status = InsertStatus::Sent;
            break;
        case InsertKind::PlacedByUser:
            PlaceAndExplode(cad, command, result.blockName, ui, MainWindowMode::MinimiseRestore,
                            result);
            break;
        case InsertKind::PlacedLasting:
            PlaceAndExplode(cad, command, result.blockName, ui, MainWindowMode::MinimiseRestore,
                            result, false);
            break;
        case InsertKind::Lasting:
            cad.document.SendCommand(command);
            result.status = InsertStatus::Sent;
            break;
    }
    return result;
}

TInsertResult InsertBuiltBlock(const Block& block, const TCadTarget& cad, const TCadUi& ui,
                               MainWindowMode mode) {
    TInsertResult result;
    result.blockName = block.Name();
    PlaceAndExplode(cad, InsertCommandText(InsertVariant::PlacedBuiltBlock, result.blockName),
                    result.blockName, ui, mode, result);
    return result;
}

}  // namespace zuka

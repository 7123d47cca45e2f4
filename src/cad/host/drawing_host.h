// The embedded drawing host: an in-process drawing that stands in for the CAD. It implements
// the automation interface of cad/automation.h over one drawing read from and saved to DXF,
// runs the command texts the system sends (SendCommand) and hands everything a user would do
// at the CAD's screen to an Interaction provider.
//
// Drawings are read with dxflib: LINE, CIRCLE, ARC, ELLIPSE, LWPOLYLINE, POLYLINE (2D and 3D)
// with their vertices, TEXT and INSERT in model space and in block definitions, the layer,
// linetype and text style tables and the header variables the host keeps ($DIMSCALE,
// $INSBASE, $CLAYER, ...). Other entity types of model space and block definitions are kept
// without geometry: they count, carry a class name, layer and handle and can be selected by
// layer or handle (TLoadReport::unsupported). Paper space and attributes are not offered to the
// commands (TLoadReport::untouched).
//
// Text is decoded to UTF-8 in the file's code page:
//   - AC1021 (R2007) and later: UTF-8;
//   - else the code page of $DWGCODEPAGE (ANSI_932 is CP932, ANSI_1252 is CP1252, ...);
//   - a file without $DWGCODEPAGE (the R12 files the system itself wrote before it named its
//     code page, and most drawings of the Japanese offices it is made for) is read as CP932
//     when its bytes are valid CP932 but not valid UTF-8, and as UTF-8 otherwise (bytes
//     malformed in UTF-8 read as U+FFFD);
// then the escapes \U+XXXX (a Unicode character) and \M+nXXXX (a double-byte character of an
// Asian code page) are replaced by the characters they stand for.
//
// Lengths are millimetres: a drawing whose $INSUNITS names another unit (metres, inches, ...)
// is scaled to millimetres as it is read and back as it is saved; no $INSUNITS, or 0, is
// millimetres. An $INSUNITS value that names no unit is refused.
//
// Saving is lossless: the drawing is written in the version and code page it was read in, and
// every record that no command created, changed or erased (sections, table records, block
// definitions, layouts, entities of any type with all their groups, XDATA, extension
// dictionaries, objects) goes back out byte for byte. What a command made is added: entities
// at the end of model space (or of their block), new layers, linetypes and text styles at the
// end of their tables, new block definitions at the end of the block table and section. New
// records get handles above the file's $HANDSEED, which is raised, and the owners the version
// wants; a file whose records carry no handles (R12) gets none. Text a command wrote is encoded
// in the file's code page (CP932 for a file that names none and holds no UTF-8 text), a
// character the code page lacks as \U+XXXX. A new drawing is saved as R12 in CP932.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/run_context.h"
#include "cad/automation.h"
#include "cad/host/selection_expr.h"
#include "cad/interaction.h"

namespace zuka {

// What a load found besides the entities it kept.
struct TLoadReport {
    std::size_t entities = 0;       // model space entities, unsupported types included
    std::string version;            // $ACADVER ("AC1009", "AC1015", ...); empty when none
    std::string codePage;           // the code page the text was read in: "CP932", "UTF-8", ...
    std::size_t replacedChars = 0;  // bytes malformed in that code page, read as U+FFFD
    int insUnits = 0;               // $INSUNITS, 0 when none
    double unitScale = 1;           // millimetres per drawing unit
    std::map<std::string, int> unsupported;  // DXF type -> model space entities without geometry
    // DXF type -> model space entities that can hold a building's shape but that the
    // acquisition does not read: 3DFACE, SOLID, 3DSOLID, REGION, MESH, meshes as
    // "POLYLINE (mesh)", ..., and INSERT (the contents of a block reference).
    std::map<std::string, int> unusedGeometry;
    // Not offered to the commands, saved unchanged: "paper space", "ATTRIB".
    std::map<std::string, int> untouched;
};

struct TSaveReport {
    std::size_t written = 0;  // records a command created or changed, written anew
    std::size_t kept = 0;     // records written back as they were read
};

// One stroke of the drawing as the CAD's screen shows it, in world plan coordinates: block
// references are shown by their placed contents, polylines by their straight and bulged sides,
// arcs and ellipses as short chords. A stroke with a coordinate, radius or height that is no
// number or lies beyond kMaxCoordinate (1,000 km) is not shown (the drawing keeps it as it is),
// so that the view's extent stays finite.
// One layer of the drawing's layer table as a layer list shows it.
struct TLayerEntry {
    std::string name;
    int color = 7;     // colour index 1 to 255
    bool off = false;  // turned off in the drawing itself (its entities are not plotted)
};

struct TPlotItem {
    enum class Kind { Path, Circle, Text };
    Kind kind = Kind::Path;
    std::string handle;  // the model-space entity it shows (a block reference for its contents)
    std::string layer;   // the layer it is drawn on (contents on layer 0 take the reference's)
    int color = 7;       // colour index 1 to 255, BYLAYER and BYBLOCK resolved
    // The linetype's pattern in drawing units (dash positive, gap negative, dot 0), scaled by
    // LTSCALE; empty for a continuous line.
    std::vector<double> dashes;
    std::vector<TAcadPoint> points;  // Path
    bool closed = false;             // Path: the last point joins the first
    TAcadPoint centre;               // Circle
    double radius = 0;               // Circle
    // Text: starts (anchor 0), is centred (1) or ends (2) at `centre`, which lies on its
    // baseline; turned counter-clockwise by rotation (radians). The CAD's control codes %%d,
    // %%p, %%c and %%% are replaced by the characters they stand for.
    std::string text;
    double height = 0;
    double rotation = 0;
    int anchor = 0;
};

// The idle queries of the Application, counted separately.
enum class StateQuery { Acad, Gcad, Zcad };

struct HostState;
class HostDocument;

class DrawingHost final : public Application {
public:
    // interaction may be null: every prompt is then answered with Escape.
    explicit DrawingHost(Interaction* interaction = nullptr);
    ~DrawingHost() override;
    DrawingHost(const DrawingHost&) = delete;
    DrawingHost& operator=(const DrawingHost&) = delete;

    // An empty drawing (layer 0, the standard linetypes and text style) replaces the open one.
    void New(const std::string& name = "Drawing1.dxf");
    // Reads a DXF drawing into a new drawing that replaces the open one. On failure returns
    // false with `error` naming the file and, where known, the line; the drawing open before
    // stays open and unchanged.
    bool Load(const std::filesystem::path& path, std::string& error);
    // Writes the open drawing in its own version and code page (see the file comment). The file
    // is written under a temporary name and renamed, so a failed save leaves no partial file.
    // `stop`, when given, is asked as the file is made and written: a save it stops fails and
    // leaves no file.
    bool Save(const std::filesystem::path& path, std::string& error,
              const RunContext* stop = nullptr) const;
    void Close();
    bool IsOpen() const;
    // Undo and redo, one command at a time: what one outermost undo group of the document
    // (StartUndoMark ... EndUndoMark) changed is one step. False when there is nothing to undo
    // or redo, or while a group is open. Opening another drawing forgets the steps.
    bool Undo();
    bool Redo();
    bool CanUndo() const;
    bool CanRedo() const;
    const TLoadReport& LastLoad() const;
    const TSaveReport& LastSave() const;

    void SetInteraction(Interaction* interaction);
    // What stands for the user's Escape while the host reads a file (Load, and the block file
    // of an -INSERT): when it asks to stop, the reading is abandoned and fails. Null: never.
    void SetStop(const RunContext* stop);

    // Records for tests and the command line.
    const std::vector<std::string>& CommandLog() const;   // every SendCommand text, as sent
    const std::vector<std::string>& CommandEcho() const;  // the command line's answers
    const std::vector<std::string>& PromptLog() const;    // Utility.Prompt texts
    int UndoMarksStarted() const;
    int UndoMarksEnded() const;
    int Regens() const;
    int StateQueries(StateQuery which) const;

    std::intptr_t HWND() const override;
    // Throws AutomationError when no drawing is open.
    Document& ActiveDocument() override;
    // The model space as the CAD's screen shows it, in drawing order; layers that are off are
    // left out. Empty when no drawing is open.
    std::vector<TPlotItem> Plot() const;
    // The drawing's layers in table order. Empty when no drawing is open.
    std::vector<TLayerEntry> LayerTable() const;
    // Always quiescent: the host runs every command to its end before SendCommand returns.
    CadStatePtr GetAcadState() override;
    CadStatePtr GetGcadState() override;
    CadStatePtr GetZcadState() override;

private:
    std::shared_ptr<HostState> state_;
    std::unique_ptr<HostDocument> document_;
};

// The register of running CADs as the host sees it: any ProgID finds the host while a drawing
// is open. Window calls are recorded, sleeps return at once.
class HostConnector final : public CadConnector {
public:
    explicit HostConnector(DrawingHost& host) : host_(host) {}

    // The host while a drawing is open, else nullptr; an empty ProgID throws AutomationError
    // (no server is registered under it).
    Application* GetActiveObject(const std::string& progId) override;
    bool IsIconic(std::intptr_t /*hwnd*/) override { return false; }
    void Restore(std::intptr_t /*hwnd*/) override { ++restores_; }
    void SetForeground(std::intptr_t hwnd) override { foreground_ = hwnd; }
    std::intptr_t Foreground() override { return foreground_; }
    void PressEscape() override { ++escapes_; }
    void Sleep(int ms) override { sleptMs_ += ms; }

    int EscapePresses() const { return escapes_; }
    int Restores() const { return restores_; }
    long long SleptMs() const { return sleptMs_; }

private:
    DrawingHost& host_;
    std::intptr_t foreground_ = 0;
    int escapes_ = 0;
    int restores_ = 0;
    long long sleptMs_ = 0;
};

}  // namespace zuka

// The CAD's automation object model as the system uses it: application, document, collections,
// blocks, layers, linetypes, selection sets, utility and entities, with the members the system
// calls, by the members' own names. Implemented by the embedded drawing host (cad/host/) and,
// on Windows, by a bridge to a running CAD.
//
// Objects are reference-counted handles, as automation objects are. A call the object cannot
// answer (a member its entity kind lacks, a deleted entity, a user's cancel at a prompt, a
// name that is not there) throws AutomationError; each command catches it once around its CAD
// work.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "geom/records.h"

namespace zuka {

class AutomationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The value of a system variable or of a selection filter's data.
using CadValue = std::variant<std::monostate, int, double, std::string, TAcadPoint>;

using ObjectId = std::int64_t;

// AutoCAD's text alignment enumeration (acAlignmentLeft ... acAlignmentBottomRight).
enum class TextAlignment {
    Left = 0,
    Center = 1,
    Right = 2,
    Aligned = 3,
    Middle = 4,
    Fit = 5,
    TopLeft = 6,
    TopCenter = 7,
    TopRight = 8,
    MiddleLeft = 9,
    MiddleCenter = 10,
    MiddleRight = 11,
    BottomLeft = 12,
    BottomCenter = 13,
    BottomRight = 14,
};

class Entity;
using EntityPtr = std::shared_ptr<Entity>;

// One drawing entity. Reading a member the entity kind does not have throws AutomationError.
class Entity {
public:
    virtual ~Entity() = default;

    // "AcDbLine", "AcDbCircle", "AcDbArc", "AcDbEllipse", "AcDbPolyline", "AcDb2dPolyline",
    // "AcDb3dPolyline", "AcDbText", "AcDbBlockReference", ...
    virtual std::string EntityName() const = 0;
    virtual std::string Name() const = 0;  // block name of a block reference
    virtual std::string Handle() const = 0;
    virtual ObjectId ObjectID() const = 0;
    virtual std::string Layer() const = 0;

    virtual TAcadPoint StartPoint() const = 0;
    virtual TAcadPoint EndPoint() const = 0;  // of an ellipse: the major-axis vector from the centre
    virtual TAcadPoint Center() const = 0;
    virtual double Radius() const = 0;
    virtual double StartAngle() const = 0;  // radians
    virtual double EndAngle() const = 0;
    virtual double RadiusRatio() const = 0;
    virtual TAcadPoint Normal() const = 0;
    virtual double Thickness() const = 0;
    virtual double Elevation() const = 0;
    virtual bool Closed() const = 0;
    // Flat coordinate array: x, y pairs of a lightweight polyline; x, y, z triples of 2D and
    // 3D polylines.
    virtual std::vector<double> Coordinates() const = 0;
    virtual std::vector<double> Coordinate(int i) const = 0;
    virtual double GetBulge(int i) const = 0;
    virtual TAcadPoint InsertionPoint() const = 0;
    virtual std::string TextString() const = 0;
    virtual double Height() const = 0;
    // A text's alignment: horizontal 0 left, 1 centre, 2 right, 3 aligned, 4 middle, 5 fit;
    // vertical 0 baseline, 1 bottom, 2 middle, 3 top. The alignment point counts unless both
    // are 0 (left on the baseline), where the insertion point does.
    virtual int HorizontalAlignment() const = 0;
    virtual int VerticalAlignment() const = 0;
    virtual TAcadPoint TextAlignmentPoint() const = 0;
    virtual double Rotation() const = 0;  // radians, of a text or a block reference
    virtual double Area() const = 0;

    virtual void SetLayer(const std::string& layer) = 0;
    virtual void SetLinetype(const std::string& linetype) = 0;
    virtual void SetColor(int colorIndex) = 0;
    virtual void SetClosed(bool closed) = 0;
    virtual void SetScaleFactor(double factor) = 0;
    virtual void SetAlignment(TextAlignment alignment) = 0;
    virtual void SetHorizontalAlignment(int mode) = 0;
    virtual void SetVerticalAlignment(int mode) = 0;
    virtual void SetTextAlignmentPoint(TAcadPoint p) = 0;
    virtual void SetInsertionPoint(TAcadPoint p) = 0;
    virtual void SetRotation(double radians) = 0;
    virtual void SetTextString(const std::string& text) = 0;
    virtual void SetBulge(int i, double bulge) = 0;
    virtual void Update() = 0;
    // Explodes a block reference or a polyline into its parts, which are added to the space
    // that holds it; returns them. The entity itself stays until Delete.
    virtual std::vector<EntityPtr> Explode() = 0;
    virtual void Delete() = 0;
    virtual EntityPtr Copy() = 0;
};

// Model space or a block definition: a container of entities that can add new ones.
class Block {
public:
    virtual ~Block() = default;
    virtual std::string Name() const = 0;
    virtual int Count() const = 0;
    virtual EntityPtr Item(int i) const = 0;
    virtual EntityPtr AddLine(TAcadPoint p1, TAcadPoint p2) = 0;
    virtual EntityPtr AddCircle(TAcadPoint centre, double radius) = 0;
    virtual EntityPtr AddText(const std::string& text, TAcadPoint point, double height) = 0;
    // x0, y0, x1, y1, ...
    virtual EntityPtr AddLightWeightPolyline(const std::vector<double>& xy) = 0;
    // Deletes the block definition (not model space).
    virtual void Delete() = 0;
};
using BlockPtr = std::shared_ptr<Block>;

class Blocks {
public:
    virtual ~Blocks() = default;
    virtual int Count() const = 0;
    virtual BlockPtr Item(int i) const = 0;
    virtual BlockPtr Add(TAcadPoint origin, const std::string& name) = 0;
};

class Layer {
public:
    virtual ~Layer() = default;
    virtual std::string Name() const = 0;
};
using LayerPtr = std::shared_ptr<Layer>;

class Layers {
public:
    virtual ~Layers() = default;
    virtual int Count() const = 0;
    virtual LayerPtr Item(int i) const = 0;
    virtual LayerPtr Add(const std::string& name) = 0;
};

class Linetype {
public:
    virtual ~Linetype() = default;
    virtual std::string Name() const = 0;
};
using LinetypePtr = std::shared_ptr<Linetype>;

class Linetypes {
public:
    virtual ~Linetypes() = default;
    virtual int Count() const = 0;
    virtual LinetypePtr Item(int i) const = 0;
    // Loads a linetype definition from a linetype file; throws when either is unknown.
    virtual void Load(const std::string& name, const std::string& file) = 0;
};

// Selection modes of SelectionSet::Select.
inline constexpr int kSelectWindow = 0;
inline constexpr int kSelectCrossing = 1;
inline constexpr int kSelectLast = 4;
inline constexpr int kSelectAll = 5;

class SelectionSet {
public:
    virtual ~SelectionSet() = default;
    virtual std::string Name() const = 0;
    virtual int Count() const = 0;
    virtual EntityPtr Item(int i) const = 0;
    virtual void Clear() = 0;
    // Mode 4 selects the last entity of the drawing; modes 0 and 1 the window and crossing
    // window p1-p2. The filter pairs DXF group codes (0 = entity type, 8 = layer) with values.
    virtual void Select(int mode, TAcadPoint p1, TAcadPoint p2,
                        const std::vector<int>& filterTypes = {},
                        const std::vector<CadValue>& filterData = {}) = 0;
    // The user selects at the CAD's screen.
    virtual void SelectOnScreen(const std::vector<int>& filterTypes = {},
                                const std::vector<CadValue>& filterData = {}) = 0;
    virtual void Delete() = 0;
    virtual void Highlight(bool on) = 0;
};
using SelectionSetPtr = std::shared_ptr<SelectionSet>;

class SelectionSets {
public:
    virtual ~SelectionSets() = default;
    virtual int Count() const = 0;
    virtual SelectionSetPtr Item(int i) const = 0;
    // Throws when a set of that name exists.
    virtual SelectionSetPtr Add(const std::string& name) = 0;
};

// What the user answers at the CAD's prompts. A cancel (Escape) throws AutomationError.
class Utility {
public:
    virtual ~Utility() = default;
    virtual void GetEntity(EntityPtr& entity, TAcadPoint& pickedPoint, const std::string& prompt) = 0;
    virtual TAcadPoint GetPoint(std::optional<TAcadPoint> base, const std::string& prompt) = 0;
    // Radians, counter-clockwise from +x.
    virtual double GetAngle(std::optional<TAcadPoint> base, const std::string& prompt) = 0;
    virtual void Prompt(const std::string& text) = 0;
};

class Document {
public:
    virtual ~Document() = default;
    virtual std::string Name() const = 0;
    virtual Block& ModelSpace() = 0;
    virtual zuka::Blocks& Blocks() = 0;
    virtual zuka::Layers& Layers() = 0;
    virtual zuka::Linetypes& Linetypes() = 0;
    virtual zuka::SelectionSets& SelectionSets() = 0;
    virtual SelectionSetPtr ActiveSelectionSet() = 0;
    virtual zuka::Utility& Utility() = 0;
    virtual void StartUndoMark() = 0;
    virtual void EndUndoMark() = 0;
    virtual void Regen(int which) = 0;  // 0 = the active viewport
    // Runs a command text as if typed at the command line: a carriage return and a blank act
    // as Enter.
    virtual void SendCommand(const std::string& text) = 0;
    virtual void SetVariable(const std::string& name, const CadValue& value) = 0;
    virtual CadValue GetVariable(const std::string& name) const = 0;
    virtual EntityPtr ObjectIDToObject(ObjectId id) = 0;
};

// The answer of an idle query (GetAcadState and its product variants).
class CadState {
public:
    virtual ~CadState() = default;
    virtual bool IsQuiescent() const = 0;
};
using CadStatePtr = std::shared_ptr<CadState>;

class Application {
public:
    virtual ~Application() = default;
    virtual std::intptr_t HWND() const = 0;
    // Throws when no drawing is open.
    virtual Document& ActiveDocument() = 0;
    virtual CadStatePtr GetAcadState() = 0;
    virtual CadStatePtr GetGcadState() = 0;
    virtual CadStatePtr GetZcadState() = 0;
};

// The system's register of running automation servers: what a ProgID finds, and the window
// calls made on the CAD's main window.
class CadConnector {
public:
    virtual ~CadConnector() = default;
    // The application registered as running under progId; nullptr when none runs. Throws
    // AutomationError for a ProgID that is not registered at all.
    virtual Application* GetActiveObject(const std::string& progId) = 0;
    // Window calls: minimised test and restore, bring to the front, an Escape key press.
    virtual bool IsIconic(std::intptr_t /*hwnd*/) { return false; }
    virtual void Restore(std::intptr_t /*hwnd*/) {}
    virtual void SetForeground(std::intptr_t /*hwnd*/) {}
    virtual std::intptr_t Foreground() { return 0; }
    virtual void PressEscape() {}
    virtual void Sleep(int /*ms*/) {}
};

}  // namespace zuka

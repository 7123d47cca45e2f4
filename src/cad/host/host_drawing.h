// Inside the drawing host: the drawing's data (model space, block definitions, layers,
// linetypes, system variables) and the entity and block objects handed out through the
// automation interface. Nothing outside cad/host/ includes this file.
//
// Coordinates follow the drawing file: lines, ellipses, 3D polylines and the block base points
// are world coordinates; circles, arcs, texts, block references and 2D polylines keep their
// points in the object coordinate system of their normal (the DXF arbitrary-axis algorithm),
// which is the world system for the usual normal (0,0,1). Angles are radians.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/text.h"
#include "cad/automation.h"
#include "cad/host/host_dxf_source.h"
#include "cad/host/selection_expr.h"

namespace zuka {

enum class EntKind {
    Line,
    Circle,
    Arc,
    Ellipse,
    LwPolyline,  // LWPOLYLINE
    Polyline2d,  // POLYLINE without the 3D flag
    Polyline3d,  // POLYLINE with flag 8
    Text,
    Insert,
    Other,  // any other type, kept for selection and counting; saved as it was read
};

// One entity's values. Which fields are used depends on the kind (see the file comment for
// the coordinate systems):
//   Line        p1 start, p2 end
//   Circle/Arc  p1 centre, radius, start/end angle (arc, counter-clockwise)
//   Ellipse     p1 centre, p2 major-axis vector from the centre, ratio, start/end parameter
//   polylines   vertices (2D kinds: x, y in the plane, z unused; 3D: world points), bulges,
//               elevation (2D kinds), closed
//   Text        p1 insertion point, p2 alignment point, text, height, rotation, widthFactor,
//               hAlign (72), vAlign (73), style
//   Insert      p1 insertion point, blockName, scale, rotation
//   Other       typeName
struct TEntityData {
    EntKind kind = EntKind::Line;
    std::string typeName;  // DXF type of an Other entity ("HATCH", "MTEXT", ...)
    std::string handle;
    std::string layer = "0";
    std::string linetype;        // empty: BYLAYER
    int color = 256;             // 256 BYLAYER, 0 BYBLOCK
    double thickness = 0;        // 39
    TAcadPoint normal{0, 0, 1};  // 210
    TAcadPoint p1;
    TAcadPoint p2;
    double radius = 0;
    double start = 0;
    double end = 0;
    double ratio = 1;
    double elevation = 0;
    bool closed = false;
    std::vector<TAcadPoint> vertices;
    std::vector<double> bulges;
    std::string text;
    double height = 0;
    double rotation = 0;
    double widthFactor = 1;
    int hAlign = 0;
    int vAlign = 0;
    std::string style = "STANDARD";
    std::string blockName;
    TAcadPoint scale{1, 1, 1};
    int flags = 0;  // 70 of an Other POLYLINE: 16 polygon mesh, 64 polyface mesh
};

// The DXF type ("LINE", "LWPOLYLINE", "POLYLINE", ...) and the automation class name
// ("AcDbLine", "AcDbPolyline", "AcDb2dPolyline", ...) of an entity.
std::string DxfTypeOf(const TEntityData& d);
std::string ClassNameOf(const TEntityData& d);

struct TLayer {
    std::string name;
    int color = 7;  // negative: the layer is off
    std::string linetype = "CONTINUOUS";
};

struct TLinetype {
    std::string name;
    std::string description;
    std::vector<double> dashes;  // dash (positive), gap (negative), dot (0)
};

struct TTextStyle {
    std::string name;
    std::string font = "txt";
    std::string bigFont;
    double height = 0;  // 0: the height is given with each text
    double widthFactor = 1;
    int flags = 0;
};

class HostDrawing;
class HostSpace;

// An entity of model space or of a block definition. Deleted entities, and entities of a
// drawing that has been closed or replaced, throw on every member.
class HostEntity final : public Entity, public std::enable_shared_from_this<HostEntity> {
public:
    HostEntity(TEntityData data, ObjectId id, std::weak_ptr<HostSpace> owner);

    const TEntityData& Data() const { return d_; }
    ObjectId ObjectIdUnchecked() const { return id_; }
    bool Alive() const;
    void MarkDeleted() { deleted_ = true; }

    // The first record of the entity in the drawing file it was read from; -1 for an entity a
    // command made. Modified: a member that changes the entity was called since.
    int SourceRecord() const { return sourceRecord_; }
    void SetSourceRecord(int record) { sourceRecord_ = record; }
    bool Modified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }

    std::string EntityName() const override;
    std::string Name() const override;
    std::string Handle() const override;
    ObjectId ObjectID() const override;
    std::string Layer() const override;

    TAcadPoint StartPoint() const override;
    TAcadPoint EndPoint() const override;
    TAcadPoint Center() const override;
    double Radius() const override;
    double StartAngle() const override;
    double EndAngle() const override;
    double RadiusRatio() const override;
    TAcadPoint Normal() const override;
    double Thickness() const override;
    double Elevation() const override;
    bool Closed() const override;
    std::vector<double> Coordinates() const override;
    std::vector<double> Coordinate(int i) const override;
    double GetBulge(int i) const override;
    TAcadPoint InsertionPoint() const override;
    std::string TextString() const override;
    double Height() const override;
    int HorizontalAlignment() const override;
    int VerticalAlignment() const override;
    TAcadPoint TextAlignmentPoint() const override;
    double Rotation() const override;
    double Area() const override;

    void SetLayer(const std::string& layer) override;
    void SetLinetype(const std::string& linetype) override;
    void SetColor(int colorIndex) override;
    void SetClosed(bool closed) override;
    void SetScaleFactor(double factor) override;
    void SetAlignment(TextAlignment alignment) override;
    void SetHorizontalAlignment(int mode) override;
    void SetVerticalAlignment(int mode) override;
    void SetTextAlignmentPoint(TAcadPoint p) override;
    void SetInsertionPoint(TAcadPoint p) override;
    void SetRotation(double radians) override;
    void SetTextString(const std::string& text) override;
    void SetBulge(int i, double bulge) override;
    void Update() override;
    std::vector<EntityPtr> Explode() override;
    void Delete() override;
    EntityPtr Copy() override;

private:
    // The owning space and drawing; throws when the entity is deleted or its drawing is gone.
    std::shared_ptr<HostSpace> Owner() const;
    void Check() const;
    [[noreturn]] void NoMember(const char* member) const;
    void Need(bool has, const char* member) const;
    // Need, and the entity counts as modified.
    void Change(bool has, const char* member);
    bool IsPolyline() const;
    bool Is2dPolyline() const;
    int VertexIndex(int i, const char* member) const;

    TEntityData d_;
    ObjectId id_;
    std::weak_ptr<HostSpace> owner_;
    bool deleted_ = false;
    int sourceRecord_ = -1;
    bool modified_ = false;
};
using HostEntityPtr = std::shared_ptr<HostEntity>;

// Model space or a block definition.
class HostSpace final : public Block, public std::enable_shared_from_this<HostSpace> {
public:
    HostSpace(std::string name, TAcadPoint base, bool isModel, std::weak_ptr<HostDrawing> drawing);

    const std::string& BlockName() const { return name_; }
    TAcadPoint Base() const { return base_; }
    bool IsModel() const { return isModel_; }
    const std::vector<HostEntityPtr>& Items() const { return items_; }
    std::shared_ptr<HostDrawing> Drawing() const;  // throws when the drawing is gone
    bool Deleted() const { return deleted_; }

    // Appends an entity; a new handle is given when data.handle is empty or already taken.
    HostEntityPtr Append(TEntityData data);
    void Remove(const HostEntity* e);
    // Drops every entity; the old entity objects become deleted.
    void ClearItems();
    // A new definition under the same name: no entities, the new base point, and no longer the
    // definition read from the file.
    void Redefine(TAcadPoint base);
    // The BLOCK record of the definition in the drawing file; -1 for a block a command made.
    int SourceRecord() const { return sourceRecord_; }
    void SetSourceRecord(int record) { sourceRecord_ = record; }
    // The definition is gone from the drawing: its entities and every later call fail.
    void MarkDeleted();
    // A copy with copies of its entities (same handles, object ids and file records), owned by
    // `drawing`, whose id register gets them.
    std::shared_ptr<HostSpace> CloneInto(const std::shared_ptr<HostDrawing>& drawing) const;

    std::string Name() const override;
    int Count() const override;
    EntityPtr Item(int i) const override;
    EntityPtr AddLine(TAcadPoint p1, TAcadPoint p2) override;
    EntityPtr AddCircle(TAcadPoint centre, double radius) override;
    EntityPtr AddText(const std::string& text, TAcadPoint point, double height) override;
    EntityPtr AddLightWeightPolyline(const std::vector<double>& xy) override;
    void Delete() override;

private:
    void Check() const;

    std::string name_;
    TAcadPoint base_;
    bool isModel_;
    std::weak_ptr<HostDrawing> drawing_;
    std::vector<HostEntityPtr> items_;
    bool deleted_ = false;
    int sourceRecord_ = -1;
};
using HostSpacePtr = std::shared_ptr<HostSpace>;

// One drawing: model space, block table, layers, linetypes, system variables, handles and
// object ids.
class HostDrawing final : public std::enable_shared_from_this<HostDrawing> {
public:
    // An empty drawing: layer 0; linetypes BYBLOCK, BYLAYER, CONTINUOUS; the usual variables.
    static std::shared_ptr<HostDrawing> Create(std::string name);
    // A copy of everything the drawing holds, for undo: entities, blocks and tables, handles,
    // ids and the ties to the file it was read from (saved as this one would be).
    std::shared_ptr<HostDrawing> Clone() const;
    // Whether the two hold the same entities (by handle, kind and layer, in model space and
    // in every block), blocks, layers, linetypes and the current layer: what a command adds,
    // removes or chooses.
    bool SameContent(const HostDrawing& other) const;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    HostSpace& Model() { return *model_; }
    const HostSpace& Model() const { return *model_; }
    const HostSpacePtr& ModelPtr() const { return model_; }

    // Block definitions in table order (model and paper space are not among them).
    const std::vector<HostSpacePtr>& BlockDefs() const { return blocks_; }
    HostSpacePtr FindBlock(std::string_view name) const;  // ignoring case
    HostSpacePtr AddBlock(const std::string& name, TAcadPoint base);
    void RemoveBlock(const HostSpace* block);
    // True when a block reference anywhere in the drawing names the block.
    bool BlockReferenced(std::string_view name) const;

    std::vector<TLayer>& Layers() { return layers_; }
    const std::vector<TLayer>& Layers() const { return layers_; }
    const TLayer* FindLayer(std::string_view name) const;
    const TLayer& AddLayer(const std::string& name);  // the existing layer when there is one

    std::vector<TTextStyle>& Styles() { return styles_; }
    const std::vector<TTextStyle>& Styles() const { return styles_; }

    std::vector<TLinetype>& Linetypes() { return linetypes_; }
    const std::vector<TLinetype>& Linetypes() const { return linetypes_; }
    const TLinetype* FindLinetype(std::string_view name) const;

    // System variables by upper-cased name.
    std::map<std::string, CadValue>& Variables() { return variables_; }
    const std::map<std::string, CadValue>& Variables() const { return variables_; }

    // Handles: hex, upper case, never reused within the drawing.
    std::string NewHandle();
    bool HandleTaken(const std::string& handle) const;
    void NoteHandle(const std::string& handle);
    void ForgetHandle(const std::string& handle);
    std::uint64_t HandleSeed() const { return nextHandle_; }

    // New handles start above `seed` (the file's $HANDSEED and its largest handle).
    void RaiseHandleSeed(std::uint64_t seed) { nextHandle_ = std::max(nextHandle_, seed); }

    // The drawing file as read (none for a new drawing) and the names of the layers, linetypes,
    // text styles and block definitions it holds (upper-cased), which saving leaves as they were.
    const std::shared_ptr<const TDxfSource>& Source() const { return source_; }
    void SetSource(std::shared_ptr<const TDxfSource> source) { source_ = std::move(source); }
    std::unordered_set<std::string>& FileNames(std::string_view table) {
        return fileNames_[std::string(table)];
    }
    bool InFile(std::string_view table, std::string_view name) const;
    // The first records of the entities read from the file, and the BLOCK records of the block
    // definitions read from it with their upper-cased names.
    std::unordered_set<int>& FileRecords() { return fileRecords_; }
    const std::unordered_set<int>& FileRecords() const { return fileRecords_; }
    std::unordered_map<int, std::string>& FileBlocks() { return fileBlocks_; }
    const std::unordered_map<int, std::string>& FileBlocks() const { return fileBlocks_; }
    // The code page new text is written in ("CP932", "UTF-8", "CP1252", ...).
    const std::string& TextCodePage() const { return textCodePage_; }
    void SetTextCodePage(std::string codePage) { textCodePage_ = std::move(codePage); }
    // Millimetres per drawing unit: the host holds every length in millimetres.
    double UnitScale() const { return unitScale_; }
    void SetUnitScale(double mmPerUnit) { unitScale_ = mmPerUnit; }

    ObjectId NewObjectId() { return nextId_++; }
    void Register(const HostEntityPtr& e);
    void Unregister(ObjectId id);
    HostEntityPtr FindById(ObjectId id) const;
    HostEntityPtr FindByHandle(std::string_view handle) const;  // model space, ignoring case

private:
    explicit HostDrawing(std::string name);

    std::string name_;
    HostSpacePtr model_;
    std::vector<HostSpacePtr> blocks_;
    std::vector<TLayer> layers_;
    std::vector<TLinetype> linetypes_;
    std::vector<TTextStyle> styles_;
    std::map<std::string, CadValue> variables_;
    std::uint64_t nextHandle_ = 0x100;
    std::unordered_set<std::string> handles_;  // handles in use
    ObjectId nextId_ = 0x7E000100;
    std::unordered_map<ObjectId, std::weak_ptr<HostEntity>> byId_;
    std::shared_ptr<const TDxfSource> source_;
    std::map<std::string, std::unordered_set<std::string>> fileNames_;
    std::unordered_set<int> fileRecords_;
    std::unordered_map<int, std::string> fileBlocks_;
    std::string textCodePage_ = "CP932";
    double unitScale_ = 1;
};
using HostDrawingPtr = std::shared_ptr<HostDrawing>;

}  // namespace zuka

#include "cad/host/host_drawing.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "cad/host/host_geometry.h"
#include "cad/host/host_selection.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

// Automation errors of entities, blocks and the drawing.
const std::string kNoMember = "このオブジェクトにはメンバーがありません: ";
const std::string kDeleted = "図形は削除されています";
const std::string kDrawingGone = "図面は閉じられています";
const std::string kBadIndex = "頂点の番号が範囲外です: ";
const std::string kBadItem = "番号が範囲外です: ";
const std::string kNoLayer = "画層がありません: ";
const std::string kNoLinetype = "線種がロードされていません: ";
const std::string kBadColor = "色番号が範囲外です: ";
const std::string kBadValue = "値が範囲外です: ";
const std::string kBadPolyline = "ポリラインには2点以上の座標 (x, y の組) が必要です";
const std::string kModelDelete = "モデル空間は削除できません";
const std::string kBlockReferenced = "ブロックは参照されています: ";
const std::string kNoBlock = "ブロック定義がありません: ";

using HostDrawingPtr = std::shared_ptr<HostDrawing>;

}  // namespace

std::string DxfTypeOf(const TEntityData& d) {
    switch (d.kind) {
        case EntKind::Line:
            return "LINE";
        case EntKind::Circle:
            return "CIRCLE";
        case EntKind::Arc:
            return "ARC";
        case EntKind::Ellipse:
            return "ELLIPSE";
        case EntKind::LwPolyline:
            return "LWPOLYLINE";
        case EntKind::Polyline2d:
        case EntKind::Polyline3d:
            return "POLYLINE";
        case EntKind::Text:
            return "TEXT";
        case EntKind::Insert:
            return "INSERT";
        case EntKind::Other:
            return d.typeName;
    }
    return d.typeName;
}

std::string ClassNameOf(const TEntityData& d) {
    switch (d.kind) {
        case EntKind::Line:
            return "AcDbLine";
        case EntKind::Circle:
            return "AcDbCircle";
        case EntKind::Arc:
            return "AcDbArc";
        case EntKind::Ellipse:
            return "AcDbEllipse";
        case EntKind::LwPolyline:
            return "AcDbPolyline";
        case EntKind::Polyline2d:
            return "AcDb2dPolyline";
        case EntKind::Polyline3d:
            return "AcDb3dPolyline";
        case EntKind::Text:
            return "AcDbText";
        case EntKind::Insert:
            return "AcDbBlockReference";
        case EntKind::Other:
            if (d.typeName == "POLYLINE") return d.flags & 64 ? "AcDbPolyFaceMesh" : "AcDbPolygonMesh";
            break;
    }
    static const std::map<std::string, std::string> kOther = {
        {"HATCH", "AcDbHatch"},       {"MTEXT", "AcDbMText"},
        {"SOLID", "AcDbSolid"},       {"TRACE", "AcDbTrace"},
        {"POINT", "AcDbPoint"},       {"SPLINE", "AcDbSpline"},
        {"3DFACE", "AcDbFace"},       {"DIMENSION", "AcDbDimension"},
        {"LEADER", "AcDbLeader"},     {"ATTDEF", "AcDbAttributeDefinition"},
        {"XLINE", "AcDbXline"},       {"RAY", "AcDbRay"},
        {"IMAGE", "AcDbRasterImage"}, {"VIEWPORT", "AcDbViewport"},
        {"3DSOLID", "AcDb3dSolid"},   {"REGION", "AcDbRegion"},
        {"MLINE", "AcDbMline"},       {"WIPEOUT", "AcDbWipeout"},
        {"MESH", "AcDbSubDMesh"},     {"BODY", "AcDbBody"},
        {"ACAD_PROXY_ENTITY", "AcDbProxyEntity"},
    };
    const auto it = kOther.find(UpperAscii(d.typeName));
    if (it != kOther.end()) return it->second;
    std::string name = "AcDb";
    for (std::size_t i = 0; i < d.typeName.size(); ++i)
        name += i == 0 ? static_cast<char>(std::toupper(static_cast<unsigned char>(d.typeName[i])))
                       : static_cast<char>(std::tolower(static_cast<unsigned char>(d.typeName[i])));
    return name;
}

// ---- HostEntity ----

HostEntity::HostEntity(TEntityData data, ObjectId id, std::weak_ptr<HostSpace> owner)
    : d_(std::move(data)), id_(id), owner_(std::move(owner)) {}

bool HostEntity::Alive() const {
    if (deleted_) return false;
    const HostSpacePtr owner = owner_.lock();
    return owner && !owner->Deleted();
}

std::shared_ptr<HostSpace> HostEntity::Owner() const {
    if (deleted_) throw AutomationError(kDeleted);
    HostSpacePtr owner = owner_.lock();
    if (!owner || owner->Deleted()) throw AutomationError(kDrawingGone);
    owner->Drawing();  // throws when the drawing is gone
    return owner;
}

void HostEntity::Check() const { Owner(); }

void HostEntity::NoMember(const char* member) const {
    throw AutomationError(kNoMember + member + " (" + ClassNameOf(d_) + ")");
}

void HostEntity::Need(bool has, const char* member) const {
    Check();
    if (!has) NoMember(member);
}

void HostEntity::Change(bool has, const char* member) {
    Need(has, member);
    modified_ = true;
}

bool HostEntity::IsPolyline() const {
    return d_.kind == EntKind::LwPolyline || d_.kind == EntKind::Polyline2d ||
           d_.kind == EntKind::Polyline3d;
}

bool HostEntity::Is2dPolyline() const {
    return d_.kind == EntKind::LwPolyline || d_.kind == EntKind::Polyline2d;
}

int HostEntity::VertexIndex(int i, const char* member) const {
    Need(IsPolyline(), member);
    if (i < 0 || static_cast<std::size_t>(i) >= d_.vertices.size())
        throw AutomationError(kBadIndex + std::to_string(i));
    return i;
}

std::string HostEntity::EntityName() const {
    Check();
    return ClassNameOf(d_);
}

std::string HostEntity::Name() const {
    Need(d_.kind == EntKind::Insert, "Name");
    return d_.blockName;
}

std::string HostEntity::Handle() const {
    Check();
    return d_.handle;
}

ObjectId HostEntity::ObjectID() const {
    Check();
    return id_;
}

std::string HostEntity::Layer() const {
    Check();
    return d_.layer;
}

TAcadPoint HostEntity::StartPoint() const {
    Check();
    switch (d_.kind) {
        case EntKind::Line:
            return d_.p1;
        case EntKind::Arc:
            return ToWcs(PolarPoint(d_.p1, d_.start, d_.radius), d_.normal);
        case EntKind::Ellipse:
            return EllipsePoints(d_, d_.start, d_.start).front();
        default:
            NoMember("StartPoint");
    }
}

TAcadPoint HostEntity::EndPoint() const {
    Check();
    switch (d_.kind) {
        case EntKind::Line:
            return d_.p2;
        case EntKind::Arc:
            return ToWcs(PolarPoint(d_.p1, d_.end, d_.radius), d_.normal);
        case EntKind::Ellipse:
            return d_.p2;  // the major-axis vector, as the reader wants it
        default:
            NoMember("EndPoint");
    }
}

TAcadPoint HostEntity::Center() const {
    Check();
    switch (d_.kind) {
        case EntKind::Circle:
        case EntKind::Arc:
            return ToWcs(d_.p1, d_.normal);
        case EntKind::Ellipse:
            return d_.p1;
        default:
            NoMember("Center");
    }
}

double HostEntity::Radius() const {
    Need(d_.kind == EntKind::Circle || d_.kind == EntKind::Arc, "Radius");
    return d_.radius;
}

double HostEntity::StartAngle() const {
    Need(d_.kind == EntKind::Arc || d_.kind == EntKind::Ellipse, "StartAngle");
    return d_.start;
}

double HostEntity::EndAngle() const {
    Need(d_.kind == EntKind::Arc || d_.kind == EntKind::Ellipse, "EndAngle");
    return d_.end;
}

double HostEntity::RadiusRatio() const {
    Need(d_.kind == EntKind::Ellipse, "RadiusRatio");
    return d_.ratio;
}

TAcadPoint HostEntity::Normal() const {
    Need(d_.kind != EntKind::Polyline3d && d_.kind != EntKind::Other, "Normal");
    return d_.normal;
}

double HostEntity::Thickness() const {
    const bool has = d_.kind == EntKind::Line || d_.kind == EntKind::Circle ||
                     d_.kind == EntKind::Arc || Is2dPolyline() || d_.kind == EntKind::Text;
    Need(has, "Thickness");
    return d_.thickness;
}

double HostEntity::Elevation() const {
    Need(Is2dPolyline(), "Elevation");
    return d_.elevation;
}

bool HostEntity::Closed() const {
    Need(IsPolyline(), "Closed");
    return d_.closed;
}

std::vector<double> HostEntity::Coordinates() const {
    Need(IsPolyline(), "Coordinates");
    std::vector<double> xy;
    for (std::size_t i = 0; i < d_.vertices.size(); ++i) {
        const std::vector<double> c = Coordinate(static_cast<int>(i));
        xy.insert(xy.end(), c.begin(), c.end());
    }
    return xy;
}

std::vector<double> HostEntity::Coordinate(int i) const {
    const TAcadPoint& v = d_.vertices[VertexIndex(i, "Coordinate")];
    switch (d_.kind) {
        case EntKind::LwPolyline:
            return {v.x, v.y};
        case EntKind::Polyline2d:
            return {v.x, v.y, d_.elevation};
        default:
            return {v.x, v.y, v.z};
    }
}

double HostEntity::GetBulge(int i) const {
    Need(Is2dPolyline(), "GetBulge");
    const int k = VertexIndex(i, "GetBulge");
    return static_cast<std::size_t>(k) < d_.bulges.size() ? d_.bulges[k] : 0;
}

TAcadPoint HostEntity::InsertionPoint() const {
    Need(d_.kind == EntKind::Text || d_.kind == EntKind::Insert, "InsertionPoint");
    return ToWcs(d_.p1, d_.normal);
}

std::string HostEntity::TextString() const {
    Need(d_.kind == EntKind::Text, "TextString");
    return d_.text;
}

double HostEntity::Height() const {
    Need(d_.kind == EntKind::Text, "Height");
    return d_.height;
}

double HostEntity::Area() const {
    Check();
    switch (d_.kind) {
        case EntKind::Circle:
            return kPi * d_.radius * d_.radius;
        case EntKind::Arc: {
            const double t = Sweep(d_.start, d_.end);
            return d_.radius * d_.radius / 2 * (t - std::sin(t));
        }
        case EntKind::Ellipse: {
            const double end = EllipseEnd(d_);
            const double a = std::sqrt(d_.p2.x * d_.p2.x + d_.p2.y * d_.p2.y + d_.p2.z * d_.p2.z);
            if (end - d_.start >= kTwoPi - 1e-12) return kPi * a * a * d_.ratio;
            std::vector<TAcadPoint> pts;
            const int n = 4 * Samples(end - d_.start);
            for (int k = 0; k <= n; ++k) {
                const double t = d_.start + (end - d_.start) * k / n;
                pts.push_back({a * std::cos(t), a * d_.ratio * std::sin(t), 0});
            }
            return std::fabs(SignedArea(pts));
        }
        case EntKind::LwPolyline:
        case EntKind::Polyline2d: {
            // The polygon of the vertices plus the circular segment of each bulged side.
            double area = SignedArea(d_.vertices);
            const std::size_t n = d_.vertices.size();
            for (std::size_t i = 0; i < n && n > 1; ++i) {
                const double b = i < d_.bulges.size() ? d_.bulges[i] : 0;
                if (b == 0 || (!d_.closed && i == n - 1)) continue;
                const TAcadPoint p = d_.vertices[i];
                const TAcadPoint q = d_.vertices[(i + 1) % n];
                const double c = std::hypot(q.x - p.x, q.y - p.y);
                const double theta = 4 * std::atan(b);
                const double r = c / (2 * std::sin(std::fabs(theta) / 2));
                area += r * r / 2 * (theta - std::sin(theta));
            }
            return std::fabs(area);
        }
        case EntKind::Polyline3d:
            return std::fabs(SignedArea(d_.vertices));
        default:
            NoMember("Area");
    }
}

void HostEntity::SetLayer(const std::string& layer) {
    const HostDrawingPtr drawing = Owner()->Drawing();
    const TLayer* l = drawing->FindLayer(layer);
    if (!l) throw AutomationError(kNoLayer + layer);
    modified_ = true;
    d_.layer = l->name;
}

void HostEntity::SetLinetype(const std::string& linetype) {
    const HostDrawingPtr drawing = Owner()->Drawing();
    const TLinetype* lt = drawing->FindLinetype(linetype);
    if (!lt) throw AutomationError(kNoLinetype + linetype);
    modified_ = true;
    d_.linetype = EqualsNoCase(lt->name, "BYLAYER") ? std::string() : lt->name;
}

void HostEntity::SetColor(int colorIndex) {
    Check();
    if (colorIndex < 0 || colorIndex > 256)
        throw AutomationError(kBadColor + std::to_string(colorIndex));
    modified_ = true;
    d_.color = colorIndex;
}

void HostEntity::SetClosed(bool closed) {
    Change(IsPolyline(), "Closed");
    d_.closed = closed;
}

void HostEntity::SetScaleFactor(double factor) {
    Change(d_.kind == EntKind::Text, "ScaleFactor");
    if (!(factor > 0)) throw AutomationError(kBadValue + std::to_string(factor));
    d_.widthFactor = factor;
}

void HostEntity::SetAlignment(TextAlignment alignment) {
    Change(d_.kind == EntKind::Text, "Alignment");
    // Horizontal (72) and vertical (73) justification of each alignment.
    static const int kH[] = {0, 1, 2, 3, 4, 5, 0, 1, 2, 0, 1, 2, 0, 1, 2};
    static const int kV[] = {0, 0, 0, 0, 0, 0, 3, 3, 3, 2, 2, 2, 1, 1, 1};
    const int a = static_cast<int>(alignment);
    if (a < 0 || a > 14) throw AutomationError(kBadValue + std::to_string(a));
    d_.hAlign = kH[a];
    d_.vAlign = kV[a];
}

void HostEntity::SetHorizontalAlignment(int mode) {
    Change(d_.kind == EntKind::Text, "HorizontalAlignment");
    if (mode < 0 || mode > 5) throw AutomationError(kBadValue + std::to_string(mode));
    d_.hAlign = mode;
}

void HostEntity::SetVerticalAlignment(int mode) {
    Change(d_.kind == EntKind::Text, "VerticalAlignment");
    if (mode < 0 || mode > 3) throw AutomationError(kBadValue + std::to_string(mode));
    d_.vAlign = mode;
}

int HostEntity::HorizontalAlignment() const {
    Need(d_.kind == EntKind::Text, "HorizontalAlignment");
    return d_.hAlign;
}

int HostEntity::VerticalAlignment() const {
    Need(d_.kind == EntKind::Text, "VerticalAlignment");
    return d_.vAlign;
}

TAcadPoint HostEntity::TextAlignmentPoint() const {
    Need(d_.kind == EntKind::Text, "TextAlignmentPoint");
    return ToWcs(d_.p2, d_.normal);
}

double HostEntity::Rotation() const {
    Need(d_.kind == EntKind::Text || d_.kind == EntKind::Insert, "Rotation");
    return d_.rotation;
}

void HostEntity::SetTextAlignmentPoint(TAcadPoint p) {
    Change(d_.kind == EntKind::Text, "TextAlignmentPoint");
    d_.p2 = WcsToOcs(p, d_.normal);
}

void HostEntity::SetInsertionPoint(TAcadPoint p) {
    Change(d_.kind == EntKind::Text || d_.kind == EntKind::Insert, "InsertionPoint");
    d_.p1 = WcsToOcs(p, d_.normal);
}

void HostEntity::SetRotation(double radians) {
    Change(d_.kind == EntKind::Text || d_.kind == EntKind::Insert, "Rotation");
    d_.rotation = radians;
}

void HostEntity::SetTextString(const std::string& text) {
    Change(d_.kind == EntKind::Text, "TextString");
    d_.text = text;
}

void HostEntity::SetBulge(int i, double bulge) {
    Change(Is2dPolyline(), "SetBulge");
    const int k = VertexIndex(i, "SetBulge");
    if (d_.bulges.size() < d_.vertices.size()) d_.bulges.resize(d_.vertices.size(), 0);
    d_.bulges[k] = bulge;
}

void HostEntity::Update() { Check(); }

std::vector<EntityPtr> HostEntity::Explode() {
    const HostSpacePtr owner = Owner();
    const HostDrawingPtr drawing = owner->Drawing();
    std::vector<EntityPtr> parts;
    for (TEntityData& part : ExplodeData(d_, *drawing))
        parts.push_back(owner->Append(std::move(part)));
    return parts;
}

void HostEntity::Delete() { Owner()->Remove(this); }

EntityPtr HostEntity::Copy() {
    TEntityData copy = d_;
    copy.handle.clear();
    return Owner()->Append(std::move(copy));
}

// ---- HostSpace ----

HostSpace::HostSpace(std::string name, TAcadPoint base, bool isModel,
                     std::weak_ptr<HostDrawing> drawing)
    : name_(std::move(name)), base_(base), isModel_(isModel), drawing_(std::move(drawing)) {}

std::shared_ptr<HostDrawing> HostSpace::Drawing() const {
    HostDrawingPtr d = drawing_.lock();
    if (!d) throw AutomationError(kDrawingGone);
    return d;
}

void HostSpace::Check() const {
    if (deleted_) throw AutomationError(kNoBlock + name_);
    Drawing();
}

HostEntityPtr HostSpace::Append(TEntityData data) {
    const HostDrawingPtr drawing = Drawing();
    if (data.handle.empty() || drawing->HandleTaken(data.handle))
        data.handle = drawing->NewHandle();
    else
        drawing->NoteHandle(data.handle);
    auto e =
        std::make_shared<HostEntity>(std::move(data), drawing->NewObjectId(), weak_from_this());
    items_.push_back(e);
    drawing->Register(e);
    return e;
}

void HostSpace::Remove(const HostEntity* e) {
    // Searched from the end: the entity just inserted is the one usually deleted.
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
        if (it->get() != e) continue;
        HostEntityPtr keep = *it;
        items_.erase(std::next(it).base());
        keep->MarkDeleted();
        if (HostDrawingPtr d = drawing_.lock()) {
            d->Unregister(keep->ObjectIdUnchecked());
            d->ForgetHandle(keep->Data().handle);
        }
        return;
    }
}

void HostSpace::ClearItems() {
    HostDrawingPtr d = drawing_.lock();
    for (const HostEntityPtr& e : items_) {
        e->MarkDeleted();
        if (d) {
            d->Unregister(e->ObjectIdUnchecked());
            d->ForgetHandle(e->Data().handle);
        }
    }
    items_.clear();
}

void HostSpace::Redefine(TAcadPoint base) {
    ClearItems();
    base_ = base;
    sourceRecord_ = -1;
}

void HostSpace::MarkDeleted() {
    ClearItems();
    deleted_ = true;
}

std::string HostSpace::Name() const {
    Check();
    return name_;
}

int HostSpace::Count() const {
    Check();
    return static_cast<int>(items_.size());
}

EntityPtr HostSpace::Item(int i) const {
    Check();
    if (i < 0 || static_cast<std::size_t>(i) >= items_.size())
        throw AutomationError(kBadItem + std::to_string(i));
    return items_[i];
}

namespace {

TEntityData NewEntity(const HostDrawing& drawing, EntKind kind) {
    TEntityData d;
    d.kind = kind;
    const auto it = drawing.Variables().find("CLAYER");
    if (it != drawing.Variables().end())
        if (const std::string* layer = std::get_if<std::string>(&it->second)) d.layer = *layer;
    return d;
}

}  // namespace

EntityPtr HostSpace::AddLine(TAcadPoint p1, TAcadPoint p2) {
    Check();
    TEntityData d = NewEntity(*Drawing(), EntKind::Line);
    d.p1 = p1;
    d.p2 = p2;
    return Append(std::move(d));
}

EntityPtr HostSpace::AddCircle(TAcadPoint centre, double radius) {
    Check();
    if (!(radius > 0)) throw AutomationError(kBadValue + std::to_string(radius));
    TEntityData d = NewEntity(*Drawing(), EntKind::Circle);
    d.p1 = centre;
    d.radius = radius;
    return Append(std::move(d));
}

EntityPtr HostSpace::AddText(const std::string& text, TAcadPoint point, double height) {
    Check();
    if (!(height > 0)) throw AutomationError(kBadValue + std::to_string(height));
    TEntityData d = NewEntity(*Drawing(), EntKind::Text);
    d.text = text;
    d.p1 = point;
    d.height = height;
    return Append(std::move(d));
}

EntityPtr HostSpace::AddLightWeightPolyline(const std::vector<double>& xy) {
    Check();
    if (xy.size() < 4 || xy.size() % 2 != 0) throw AutomationError(kBadPolyline);
    TEntityData d = NewEntity(*Drawing(), EntKind::LwPolyline);
    for (std::size_t i = 0; i + 1 < xy.size(); i += 2) d.vertices.push_back({xy[i], xy[i + 1], 0});
    d.bulges.assign(d.vertices.size(), 0);
    return Append(std::move(d));
}

void HostSpace::Delete() {
    Check();
    if (isModel_) throw AutomationError(kModelDelete);
    const HostDrawingPtr drawing = Drawing();
    if (drawing->BlockReferenced(name_)) throw AutomationError(kBlockReferenced + name_);
    drawing->RemoveBlock(this);
}

// ---- HostDrawing ----

HostDrawing::HostDrawing(std::string name) : name_(std::move(name)) {}

std::shared_ptr<HostDrawing> HostDrawing::Create(std::string name) {
    std::shared_ptr<HostDrawing> d(new HostDrawing(std::move(name)));
    d->model_ = std::make_shared<HostSpace>("*Model_Space", TAcadPoint{}, true, d);
    d->layers_.push_back({"0", 7, "CONTINUOUS"});
    d->linetypes_.push_back({"BYBLOCK", "", {}});
    d->linetypes_.push_back({"BYLAYER", "", {}});
    d->linetypes_.push_back({"CONTINUOUS", "Solid line", {}});
    d->styles_.emplace_back();
    d->styles_.back().name = "STANDARD";
    d->variables_ = {
        {"BLIPMODE", 0},
        {"CELTYPE", std::string("BYLAYER")},
        {"CLAYER", std::string("0")},
        {"CMDECHO", 1},
        {"DIMSCALE", 1.0},
        {"FILEDIA", 1},
        {"INSBASE", TAcadPoint{}},
        {"LASTPOINT", TAcadPoint{}},
        {"LTSCALE", 1.0},
        {"OSMODE", 0},
        {"SNAPMODE", 0},
        {"TEXTSIZE", 2.5},
    };
    return d;
}

HostSpacePtr HostDrawing::FindBlock(std::string_view name) const {
    for (const HostSpacePtr& b : blocks_)
        if (EqualsNoCase(b->BlockName(), name)) return b;
    return nullptr;
}

std::shared_ptr<HostSpace> HostSpace::CloneInto(const std::shared_ptr<HostDrawing>& drawing) const {
    auto s = std::make_shared<HostSpace>(name_, base_, isModel_, drawing);
    s->deleted_ = deleted_;
    s->sourceRecord_ = sourceRecord_;
    for (const HostEntityPtr& e : items_) {
        auto c = std::make_shared<HostEntity>(e->Data(), e->ObjectIdUnchecked(), s);
        c->SetSourceRecord(e->SourceRecord());
        c->SetModified(e->Modified());
        s->items_.push_back(c);
        drawing->Register(c);
    }
    return s;
}

std::shared_ptr<HostDrawing> HostDrawing::Clone() const {
    std::shared_ptr<HostDrawing> d(new HostDrawing(name_));
    d->layers_ = layers_;
    d->linetypes_ = linetypes_;
    d->styles_ = styles_;
    d->variables_ = variables_;
    d->nextHandle_ = nextHandle_;
    d->handles_ = handles_;
    d->nextId_ = nextId_;
    d->source_ = source_;
    d->fileNames_ = fileNames_;
    d->fileRecords_ = fileRecords_;
    d->fileBlocks_ = fileBlocks_;
    d->textCodePage_ = textCodePage_;
    d->unitScale_ = unitScale_;
    d->model_ = model_->CloneInto(d);
    for (const HostSpacePtr& b : blocks_) d->blocks_.push_back(b->CloneInto(d));
    return d;
}

bool HostDrawing::SameContent(const HostDrawing& other) const {
    const auto sameItems = [](const HostSpace& a, const HostSpace& b) {
        if (a.Items().size() != b.Items().size()) return false;
        for (std::size_t i = 0; i < a.Items().size(); ++i) {
            const TEntityData& x = a.Items()[i]->Data();
            const TEntityData& y = b.Items()[i]->Data();
            if (x.handle != y.handle || x.kind != y.kind || x.layer != y.layer) return false;
        }
        return true;
    };
    if (!sameItems(*model_, *other.model_) || blocks_.size() != other.blocks_.size() ||
        layers_.size() != other.layers_.size() || linetypes_.size() != other.linetypes_.size())
        return false;
    for (std::size_t i = 0; i < blocks_.size(); ++i)
        if (blocks_[i]->BlockName() != other.blocks_[i]->BlockName() ||
            !sameItems(*blocks_[i], *other.blocks_[i]))
            return false;
    for (std::size_t i = 0; i < layers_.size(); ++i)
        if (layers_[i].name != other.layers_[i].name || layers_[i].color != other.layers_[i].color)
            return false;
    // The current layer is the user's choice as much as an entity is: choosing another is a
    // step to undo. Other header variables change under a command without the user seeing.
    const auto current = [](const HostDrawing& h) {
        const auto it = h.variables_.find("CLAYER");
        const std::string* name =
            it == h.variables_.end() ? nullptr : std::get_if<std::string>(&it->second);
        return name ? *name : std::string();
    };
    return current(*this) == current(other);
}

HostSpacePtr HostDrawing::AddBlock(const std::string& name, TAcadPoint base) {
    if (HostSpacePtr b = FindBlock(name)) return b;
    blocks_.push_back(std::make_shared<HostSpace>(name, base, false, weak_from_this()));
    return blocks_.back();
}

void HostDrawing::RemoveBlock(const HostSpace* block) {
    for (auto it = blocks_.begin(); it != blocks_.end(); ++it) {
        if (it->get() != block) continue;
        HostSpacePtr keep = *it;
        blocks_.erase(it);
        keep->MarkDeleted();
        return;
    }
}

bool HostDrawing::BlockReferenced(std::string_view name) const {
    const auto refers = [name](const HostSpace& space) {
        for (const HostEntityPtr& e : space.Items())
            if (e->Data().kind == EntKind::Insert && EqualsNoCase(e->Data().blockName, name))
                return true;
        return false;
    };
    if (refers(*model_)) return true;
    for (const HostSpacePtr& b : blocks_)
        if (refers(*b)) return true;
    return false;
}

bool HostDrawing::InFile(std::string_view table, std::string_view name) const {
    const auto it = fileNames_.find(std::string(table));
    return it != fileNames_.end() && it->second.count(UpperAscii(name)) != 0;
}

const TLayer* HostDrawing::FindLayer(std::string_view name) const {
    for (const TLayer& l : layers_)
        if (EqualsNoCase(l.name, name)) return &l;
    return nullptr;
}

const TLayer& HostDrawing::AddLayer(const std::string& name) {
    if (const TLayer* l = FindLayer(name)) return *l;
    layers_.push_back({name, 7, "CONTINUOUS"});
    return layers_.back();
}

const TLinetype* HostDrawing::FindLinetype(std::string_view name) const {
    for (const TLinetype& l : linetypes_)
        if (EqualsNoCase(l.name, name)) return &l;
    return nullptr;
}

std::string HostDrawing::NewHandle() {
    std::string h = HandleText(nextHandle_++);
    handles_.insert(h);
    return h;
}

bool HostDrawing::HandleTaken(const std::string& handle) const {
    return handles_.count(UpperAscii(handle)) != 0;
}

void HostDrawing::NoteHandle(const std::string& handle) {
    const std::string h = UpperAscii(handle);
    handles_.insert(h);
    const std::uint64_t v = std::strtoull(h.c_str(), nullptr, 16);
    if (v >= nextHandle_) nextHandle_ = v + 1;
}

void HostDrawing::ForgetHandle(const std::string& handle) { handles_.erase(UpperAscii(handle)); }

void HostDrawing::Register(const HostEntityPtr& e) { byId_[e->ObjectIdUnchecked()] = e; }

void HostDrawing::Unregister(ObjectId id) { byId_.erase(id); }

HostEntityPtr HostDrawing::FindById(ObjectId id) const {
    const auto it = byId_.find(id);
    if (it == byId_.end()) return nullptr;
    HostEntityPtr e = it->second.lock();
    return e && e->Alive() ? e : nullptr;
}

HostEntityPtr HostDrawing::FindByHandle(std::string_view handle) const {
    for (const HostEntityPtr& e : model_->Items())
        if (EqualsNoCase(e->Data().handle, handle)) return e;
    return nullptr;
}

}  // namespace zuka

#include "cad/com/com_automation.h"

#include <string>
#include <utility>

namespace zuka::com {
namespace {

// A returned value converted; a value of the wrong shape names the member.
template <class T, class F>
T As(const char* member, const Variant& v, F convert) {
    try {
        return convert(*v.get());
    } catch (const AutomationError& e) {
        throw AutomationError(std::string(member) + ": " + e.what());
    }
}

std::string Str(const Dispatch& d, const char* m) { return As<std::string>(m, d.Get(m), ToString); }
int Int(const Dispatch& d, const char* m) { return As<int>(m, d.Get(m), ToInt); }
double Dbl(const Dispatch& d, const char* m) { return As<double>(m, d.Get(m), ToDouble); }
bool Bool(const Dispatch& d, const char* m) { return As<bool>(m, d.Get(m), ToBool); }
TAcadPoint Pt(const Dispatch& d, const char* m) { return As<TAcadPoint>(m, d.Get(m), ToPoint); }

// An optional base point: left out when none.
Variant Base(const std::optional<TAcadPoint>& base) {
    return base ? FromPoint(*base) : Missing();
}

// Filter types and data as the CAD takes them (arrays of shorts and of VARIANTs), or left out.
std::vector<Variant> Filter(const std::vector<int>& types, const std::vector<CadValue>& data) {
    std::vector<Variant> args;
    if (types.empty()) return args;
    std::vector<Variant> values;
    values.reserve(data.size());
    for (const CadValue& v : data) values.push_back(FromCadValue(v));
    args.push_back(FromShorts(types));
    args.push_back(FromVariants(values));
    return args;
}

class ComEntity final : public Entity {
public:
    explicit ComEntity(Dispatch d) : d_(std::move(d)) {}

    std::string EntityName() const override {
        std::string name = Str(d_, "EntityName");
        d_.SetClass(name);
        return name;
    }
    std::string Name() const override { return Str(d_, "Name"); }
    std::string Handle() const override { return Str(d_, "Handle"); }
    ObjectId ObjectID() const override {
        return As<ObjectId>("ObjectID", d_.Get("ObjectID"), ToInt64);
    }
    std::string Layer() const override { return Str(d_, "Layer"); }
    TAcadPoint StartPoint() const override { return Pt(d_, "StartPoint"); }
    TAcadPoint EndPoint() const override { return Pt(d_, "EndPoint"); }
    TAcadPoint Center() const override { return Pt(d_, "Center"); }
    double Radius() const override { return Dbl(d_, "Radius"); }
    double StartAngle() const override { return Dbl(d_, "StartAngle"); }
    double EndAngle() const override { return Dbl(d_, "EndAngle"); }
    double RadiusRatio() const override { return Dbl(d_, "RadiusRatio"); }
    TAcadPoint Normal() const override { return Pt(d_, "Normal"); }
    double Thickness() const override { return Dbl(d_, "Thickness"); }
    double Elevation() const override { return Dbl(d_, "Elevation"); }
    bool Closed() const override { return Bool(d_, "Closed"); }
    std::vector<double> Coordinates() const override {
        return As<std::vector<double>>("Coordinates", d_.Get("Coordinates"), ToDoubles);
    }
    std::vector<double> Coordinate(int i) const override {
        std::vector<Variant> args;
        args.push_back(FromInt(i));
        return As<std::vector<double>>("Coordinate", d_.Get("Coordinate", std::move(args)),
                                       ToDoubles);
    }
    double GetBulge(int i) const override {
        std::vector<Variant> args;
        args.push_back(FromInt(i));
        return As<double>("GetBulge", d_.Call("GetBulge", std::move(args)), ToDouble);
    }
    TAcadPoint InsertionPoint() const override { return Pt(d_, "InsertionPoint"); }
    std::string TextString() const override { return Str(d_, "TextString"); }
    double Height() const override { return Dbl(d_, "Height"); }
    int HorizontalAlignment() const override { return Int(d_, "HorizontalAlignment"); }
    int VerticalAlignment() const override { return Int(d_, "VerticalAlignment"); }
    TAcadPoint TextAlignmentPoint() const override { return Pt(d_, "TextAlignmentPoint"); }
    double Rotation() const override { return Dbl(d_, "Rotation"); }
    double Area() const override { return Dbl(d_, "Area"); }

    void SetLayer(const std::string& layer) override { d_.Put("Layer", FromString(layer)); }
    void SetLinetype(const std::string& lt) override { d_.Put("Linetype", FromString(lt)); }
    void SetColor(int colorIndex) override { d_.Put("Color", FromInt(colorIndex)); }
    void SetClosed(bool closed) override { d_.Put("Closed", FromBool(closed)); }
    void SetScaleFactor(double f) override { d_.Put("ScaleFactor", FromDouble(f)); }
    void SetAlignment(TextAlignment a) override {
        d_.Put("Alignment", FromInt(static_cast<int>(a)));
    }
    void SetHorizontalAlignment(int mode) override {
        d_.Put("HorizontalAlignment", FromInt(mode));
    }
    void SetVerticalAlignment(int mode) override { d_.Put("VerticalAlignment", FromInt(mode)); }
    void SetTextAlignmentPoint(TAcadPoint p) override {
        d_.Put("TextAlignmentPoint", FromPoint(p));
    }
    void SetInsertionPoint(TAcadPoint p) override { d_.Put("InsertionPoint", FromPoint(p)); }
    void SetRotation(double radians) override { d_.Put("Rotation", FromDouble(radians)); }
    void SetTextString(const std::string& text) override {
        d_.Put("TextString", FromString(text));
    }
    void SetBulge(int i, double bulge) override {
        std::vector<Variant> args;
        args.push_back(FromInt(i));
        args.push_back(FromDouble(bulge));
        d_.Call("SetBulge", std::move(args));
    }
    void Update() override { d_.Call("Update"); }
    std::vector<EntityPtr> Explode() override {
        const Variant parts = d_.Call("Explode");
        std::vector<EntityPtr> out;
        if (IsMissing(*parts.get())) return out;
        for (const Variant& p : As<std::vector<Variant>>("Explode", parts, ToVariants))
            out.push_back(WrapEntity(Dispatch::FromResult(p, "Explode", &d_)));
        return out;
    }
    void Delete() override { d_.Call("Delete"); }
    EntityPtr Copy() override {
        return WrapEntity(Dispatch::FromResult(d_.Call("Copy"), "Copy", &d_));
    }

private:
    Dispatch d_;
};

EntityPtr Item(const Dispatch& collection, int i) {
    std::vector<Variant> args;
    args.push_back(FromInt(i));
    return WrapEntity(
        Dispatch::FromResult(collection.Call("Item", std::move(args)), "Item", &collection));
}

Dispatch ItemObject(const Dispatch& collection, int i) {
    std::vector<Variant> args;
    args.push_back(FromInt(i));
    return Dispatch::FromResult(collection.Call("Item", std::move(args)), "Item", &collection);
}

class ComBlock final : public Block {
public:
    explicit ComBlock(Dispatch d) : d_(std::move(d)) {}
    std::string Name() const override { return Str(d_, "Name"); }
    int Count() const override { return Int(d_, "Count"); }
    EntityPtr Item(int i) const override { return com::Item(d_, i); }
    EntityPtr AddLine(TAcadPoint p1, TAcadPoint p2) override {
        return Added("AddLine", {FromPoint(p1), FromPoint(p2)});
    }
    EntityPtr AddCircle(TAcadPoint centre, double radius) override {
        return Added("AddCircle", {FromPoint(centre), FromDouble(radius)});
    }
    EntityPtr AddText(const std::string& text, TAcadPoint point, double height) override {
        return Added("AddText", {FromString(text), FromPoint(point), FromDouble(height)});
    }
    EntityPtr AddLightWeightPolyline(const std::vector<double>& xy) override {
        return Added("AddLightWeightPolyline", {FromDoubles(xy)});
    }
    void Delete() override { d_.Call("Delete"); }

private:
    // The new entity; every entity one Add member makes is of one class, which its members'
    // ids are kept under.
    EntityPtr Added(const char* member, std::initializer_list<Variant> args) {
        Dispatch added =
            Dispatch::FromResult(d_.Call(member, std::vector<Variant>(args)), member, &d_);
        added.SetClass(std::string("(") + member + ")");
        return WrapEntity(std::move(added));
    }
    Dispatch d_;
};

class ComBlocks final : public Blocks {
public:
    explicit ComBlocks(Dispatch d) : d_(std::move(d)) {}
    int Count() const override { return Int(d_, "Count"); }
    BlockPtr Item(int i) const override { return std::make_shared<ComBlock>(ItemObject(d_, i)); }
    BlockPtr Add(TAcadPoint origin, const std::string& name) override {
        std::vector<Variant> args;
        args.push_back(FromPoint(origin));
        args.push_back(FromString(name));
        return std::make_shared<ComBlock>(
            Dispatch::FromResult(d_.Call("Add", std::move(args)), "Add", &d_));
    }

private:
    Dispatch d_;
};

class ComNamed final : public zuka::Layer, public zuka::Linetype {
public:
    explicit ComNamed(Dispatch d) : d_(std::move(d)) {}
    std::string Name() const override { return Str(d_, "Name"); }

private:
    Dispatch d_;
};

class ComLayers final : public Layers {
public:
    explicit ComLayers(Dispatch d) : d_(std::move(d)) {}
    int Count() const override { return Int(d_, "Count"); }
    LayerPtr Item(int i) const override { return std::make_shared<ComNamed>(ItemObject(d_, i)); }
    LayerPtr Add(const std::string& name) override {
        std::vector<Variant> args;
        args.push_back(FromString(name));
        return std::make_shared<ComNamed>(
            Dispatch::FromResult(d_.Call("Add", std::move(args)), "Add", &d_));
    }

private:
    Dispatch d_;
};

class ComLinetypes final : public Linetypes {
public:
    explicit ComLinetypes(Dispatch d) : d_(std::move(d)) {}
    int Count() const override { return Int(d_, "Count"); }
    LinetypePtr Item(int i) const override {
        return std::make_shared<ComNamed>(ItemObject(d_, i));
    }
    void Load(const std::string& name, const std::string& file) override {
        std::vector<Variant> args;
        args.push_back(FromString(name));
        args.push_back(FromString(file));
        d_.Call("Load", std::move(args));
    }

private:
    Dispatch d_;
};

class ComSelectionSet final : public SelectionSet {
public:
    explicit ComSelectionSet(Dispatch d) : d_(std::move(d)) {}
    std::string Name() const override { return Str(d_, "Name"); }
    int Count() const override { return Int(d_, "Count"); }
    EntityPtr Item(int i) const override { return com::Item(d_, i); }
    void Clear() override { d_.Call("Clear"); }
    void Select(int mode, TAcadPoint p1, TAcadPoint p2, const std::vector<int>& filterTypes,
                const std::vector<CadValue>& filterData) override {
        std::vector<Variant> args;
        args.push_back(FromInt(mode));
        args.push_back(FromPoint(p1));
        args.push_back(FromPoint(p2));
        for (Variant& f : Filter(filterTypes, filterData)) args.push_back(std::move(f));
        d_.Call("Select", std::move(args));
    }
    void SelectOnScreen(const std::vector<int>& filterTypes,
                        const std::vector<CadValue>& filterData) override {
        d_.Call("SelectOnScreen", Filter(filterTypes, filterData));
    }
    void Delete() override { d_.Call("Delete"); }
    void Highlight(bool on) override {
        std::vector<Variant> args;
        args.push_back(FromBool(on));
        d_.Call("Highlight", std::move(args));
    }

private:
    Dispatch d_;
};

class ComSelectionSets final : public SelectionSets {
public:
    explicit ComSelectionSets(Dispatch d) : d_(std::move(d)) {}
    int Count() const override { return Int(d_, "Count"); }
    SelectionSetPtr Item(int i) const override {
        return std::make_shared<ComSelectionSet>(ItemObject(d_, i));
    }
    SelectionSetPtr Add(const std::string& name) override {
        std::vector<Variant> args;
        args.push_back(FromString(name));
        return std::make_shared<ComSelectionSet>(
            Dispatch::FromResult(d_.Call("Add", std::move(args)), "Add", &d_));
    }

private:
    Dispatch d_;
};

class ComUtility final : public Utility {
public:
    explicit ComUtility(Dispatch d) : d_(std::move(d)) {}
    void GetEntity(EntityPtr& entity, TAcadPoint& pickedPoint, const std::string& prompt) override {
        Variant object;
        Variant point;
        std::vector<Variant> args;
        args.push_back(ByRef(object));
        args.push_back(ByRef(point));
        args.push_back(FromString(prompt));
        d_.Call("GetEntity", std::move(args));
        entity = WrapEntity(Dispatch::FromResult(object, "GetEntity", &d_));
        pickedPoint = As<TAcadPoint>("GetEntity", point, ToPoint);
    }
    TAcadPoint GetPoint(std::optional<TAcadPoint> base, const std::string& prompt) override {
        std::vector<Variant> args;
        args.push_back(Base(base));
        args.push_back(FromString(prompt));
        return As<TAcadPoint>("GetPoint", d_.Call("GetPoint", std::move(args)), ToPoint);
    }
    double GetAngle(std::optional<TAcadPoint> base, const std::string& prompt) override {
        std::vector<Variant> args;
        args.push_back(Base(base));
        args.push_back(FromString(prompt));
        return As<double>("GetAngle", d_.Call("GetAngle", std::move(args)), ToDouble);
    }
    void Prompt(const std::string& text) override {
        std::vector<Variant> args;
        args.push_back(FromString(text));
        d_.Call("Prompt", std::move(args));
    }

private:
    Dispatch d_;
};

class ComState final : public CadState {
public:
    explicit ComState(Dispatch d) : d_(std::move(d)) {}
    bool IsQuiescent() const override { return Bool(d_, "IsQuiescent"); }

private:
    Dispatch d_;
};

}  // namespace

// The document and the collections it holds; each collection object is asked of the CAD once.
class ComDocument final : public Document {
public:
    explicit ComDocument(Dispatch d) : d_(std::move(d)) {}
    const Dispatch& Object() const { return d_; }

    std::string Name() const override { return Str(d_, "Name"); }
    Block& ModelSpace() override { return Cached(modelSpace_, "ModelSpace"); }
    zuka::Blocks& Blocks() override { return Cached(blocks_, "Blocks"); }
    zuka::Layers& Layers() override { return Cached(layers_, "Layers"); }
    zuka::Linetypes& Linetypes() override { return Cached(linetypes_, "Linetypes"); }
    zuka::SelectionSets& SelectionSets() override { return Cached(sets_, "SelectionSets"); }
    SelectionSetPtr ActiveSelectionSet() override {
        return std::make_shared<ComSelectionSet>(d_.GetObject("ActiveSelectionSet"));
    }
    zuka::Utility& Utility() override { return Cached(utility_, "Utility"); }
    void StartUndoMark() override { d_.Call("StartUndoMark"); }
    void EndUndoMark() override { d_.Call("EndUndoMark"); }
    void Regen(int which) override {
        std::vector<Variant> args;
        args.push_back(FromInt(which));
        d_.Call("Regen", std::move(args));
    }
    void SendCommand(const std::string& text) override {
        std::vector<Variant> args;
        args.push_back(FromString(text));
        d_.Call("SendCommand", std::move(args));
    }
    void SetVariable(const std::string& name, const CadValue& value) override {
        std::vector<Variant> args;
        args.push_back(FromString(name));
        args.push_back(FromCadValue(value));
        d_.Call("SetVariable", std::move(args));
    }
    CadValue GetVariable(const std::string& name) const override {
        std::vector<Variant> args;
        args.push_back(FromString(name));
        return As<CadValue>("GetVariable", d_.Call("GetVariable", std::move(args)), ToCadValue);
    }
    EntityPtr ObjectIDToObject(ObjectId id) override {
        std::vector<Variant> args;
        args.push_back(FromInt64(id));
        return WrapEntity(Dispatch::FromResult(d_.Call("ObjectIDToObject", std::move(args)),
                                               "ObjectIDToObject", &d_));
    }

private:
    template <class T>
    T& Cached(std::unique_ptr<T>& slot, const char* member) {
        if (!slot) slot = std::make_unique<T>(d_.GetObject(member));
        return *slot;
    }

    Dispatch d_;
    std::unique_ptr<ComBlock> modelSpace_;
    std::unique_ptr<ComBlocks> blocks_;
    std::unique_ptr<ComLayers> layers_;
    std::unique_ptr<ComLinetypes> linetypes_;
    std::unique_ptr<ComSelectionSets> sets_;
    std::unique_ptr<ComUtility> utility_;
};

EntityPtr WrapEntity(Dispatch entity) { return std::make_shared<ComEntity>(std::move(entity)); }

ComApplication::ComApplication(Dispatch app) : app_(std::move(app)) {
    // The CAD's classes' member ids, shared by every object reached from it.
    app_.StartIdFamily();
}
ComApplication::~ComApplication() = default;

std::intptr_t ComApplication::HWND() const {
    return static_cast<std::intptr_t>(As<std::int64_t>("HWND", app_.Get("HWND"), ToInt64));
}

Document& ComApplication::ActiveDocument() {
    Dispatch doc = app_.GetObject("ActiveDocument");
    if (document_ && document_->Object().SameObject(doc)) return *document_;
    if (document_) former_.push_back(std::move(document_));
    document_ = std::make_unique<ComDocument>(std::move(doc));
    return *document_;
}

CadStatePtr ComApplication::State(const char* member) {
    return std::make_shared<ComState>(Dispatch::FromResult(app_.Call(member), member, &app_));
}

CadStatePtr ComApplication::GetAcadState() { return State("GetAcadState"); }
CadStatePtr ComApplication::GetGcadState() { return State("GetGcadState"); }
CadStatePtr ComApplication::GetZcadState() { return State("GetZcadState"); }

}  // namespace zuka::com

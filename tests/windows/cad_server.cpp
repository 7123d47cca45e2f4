// A test double of a running CAD: an automation server that serves the embedded drawing host
// through IDispatch, so that the bridge to a running CAD can be tested without one.
//
//   zuka_cad_server.exe /progid:NAME [/progid:NAME ...] [/drawing:FILE] [/script:FILE]
//                       [/busy:N] [/oddpoints] [/timeout:SECONDS]
//
// Every ProgID named is registered (in the classes root) under one class id, and the application
// object in the running object table under it; "READY" is printed (and flushed) when it is
// there. The user's picks are answered from the script (tests/windows/pick_script.h). The idle
// query answers busy for the first N calls. /oddpoints returns every point as an array of
// VARIANTs with lower bound 1, as a script host would. Besides the members of the CAD's object
// model the application has members for the tests:
//   TestReset(drawing, script)   the drawing (empty: a new one) and the picks, anew
//   TestSave(file)               the drawing saved as DXF
//   TestSetBusy(n)               the idle query answers busy n more times
//   TestOddPoints(on)            points as /oddpoints returns them, or as arrays of doubles
//   TestStateQueries(kind)       how often "GetAcadState", "GetGcadState", "GetZcadState" ran
//   TestFail(member)             every call of that member fails with a description
//   TestExitAt(member)           the server ends at the next call of that member, unanswered
//   TestSleep(ms)                answers after ms
//   TestPrompts, TestCommands    the prompt and command logs, one entry a line
//   Quit
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <cstdlib>
#include <map>
#include <optional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/platform.h"
#include "cad/com/com_variant.h"
#include "cad/host/drawing_host.h"
#include "pick_script.h"

using namespace zuka;
using namespace zuka::com;

namespace {

// {7A1C3E52-9B4D-4E6F-8A21-5C3D7E9F0B14}
const CLSID kClsid = {0x7a1c3e52, 0x9b4d, 0x4e6f, {0x8a, 0x21, 0x5c, 0x3d, 0x7e, 0x9f, 0x0b, 0x14}};
const wchar_t kClsidText[] = L"{7A1C3E52-9B4D-4E6F-8A21-5C3D7E9F0B14}";

DWORD g_mainThread = 0;

struct ServerState {
    ScriptedInteraction picks;
    std::unique_ptr<DrawingHost> host = std::make_unique<DrawingHost>(&picks);
    int busyLeft = 0;
    std::map<std::string, int> stateQueries;
    std::string failMember;
    std::string exitAtMember;
    bool oddPoints = false;
    ::HWND window = nullptr;
};
ServerState* g = nullptr;

// The arguments of a call in their natural order.
class Args {
public:
    Args(DISPPARAMS* dp, WORD flags) : dp_(dp), flags_(flags) {}
    bool Put() const { return (flags_ & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }
    UINT Count() const { return dp_->cArgs - dp_->cNamedArgs; }
    bool Has(UINT i) const { return i < Count() && !IsMissing(dp_->rgvarg[dp_->cArgs - 1 - i]); }
    VARIANT& operator[](UINT i) const {
        if (i >= Count()) throw AutomationError("argument " + std::to_string(i + 1) + " is missing");
        return dp_->rgvarg[dp_->cArgs - 1 - i];
    }
    const VARIANT& Value() const {
        if (!Put() || dp_->cNamedArgs != 1) throw AutomationError("no value to set");
        return dp_->rgvarg[0];
    }
    // Writes an out argument (a VARIANT passed by reference).
    void Out(UINT i, const Variant& v) const {
        VARIANT& a = (*this)[i];
        if (V_VT(&a) != (VT_BYREF | VT_VARIANT) || !V_VARIANTREF(&a))
            throw AutomationError("argument " + std::to_string(i + 1) + " is not by reference");
        VariantClear(V_VARIANTREF(&a));
        VariantCopy(V_VARIANTREF(&a), const_cast<VARIANT*>(v.get()));
    }

private:
    DISPPARAMS* dp_;
    WORD flags_;
};

using Handler = std::function<Variant(const Args&)>;

Variant Point(const TAcadPoint& p) {
    if (!g->oddPoints) return FromPoint(p);
    SAFEARRAYBOUND bound{3, 1};
    SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, 1, &bound);
    const double xyz[3] = {p.x, p.y, p.z};
    for (LONG i = 0; i < 3; ++i) {
        Variant e = FromDouble(xyz[i]);
        LONG index = i + 1;
        SafeArrayPutElement(sa, &index, e.get());
    }
    Variant out;
    V_VT(out.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(out.get()) = sa;
    return out;
}

Variant Doubles(const std::vector<double>& v) { return FromDoubles(v); }
Variant None() { return Variant(); }

// An IDispatch over a table of named members; DISPIDs are the table's positions from 1.
class Object : public IDispatch {
public:
    virtual ~Object() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** t) override {
        if (t) *t = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT n, LCID, DISPID* ids) override {
        if (!names || !ids || n == 0) return E_INVALIDARG;
        for (UINT i = 0; i < n; ++i) ids[i] = DISPID_UNKNOWN;
        for (std::size_t i = 0; i < members_.size(); ++i) {
            if (_wcsicmp(names[0], members_[i].first.c_str()) == 0) {
                ids[0] = static_cast<DISPID>(i + 1);
                return n > 1 ? DISP_E_UNKNOWNNAME : S_OK;
            }
        }
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* dp, VARIANT* result,
                        EXCEPINFO* info, UINT*) override {
        if (result) VariantInit(result);
        if (id < 1 || static_cast<std::size_t>(id) > members_.size()) return DISP_E_MEMBERNOTFOUND;
        const std::string name = Utf8(members_[id - 1].first);
        if (name == g->exitAtMember) {
            std::printf("exiting at %s\n", name.c_str());
            std::fflush(stdout);
            ExitProcess(3);
        }
        try {
            if (name == g->failMember)
                throw AutomationError(name + " は失敗しました (テスト用サーバー)");
            Variant v = members_[id - 1].second(Args(dp, flags));
            if (result) *result = *v.get(), VariantInit(v.get());
            return S_OK;
        } catch (const std::exception& e) {
            if (!info) return DISP_E_EXCEPTION;
            *info = EXCEPINFO{};
            info->bstrSource = SysAllocString(L"ZukaTest");
            const std::wstring text = Wide(e.what());
            info->bstrDescription = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            info->scode = E_FAIL;
            return DISP_E_EXCEPTION;
        }
    }

protected:
    void Member(const wchar_t* name, Handler h) { members_.emplace_back(name, std::move(h)); }

private:
    LONG refs_ = 1;
    std::vector<std::pair<std::wstring, Handler>> members_;
};

// A new object as a VARIANT (the variant holds the only reference).
template <class T, class... A>
Variant New(A&&... a) {
    Variant v;
    V_VT(v.get()) = VT_DISPATCH;
    V_DISPATCH(v.get()) = new T(std::forward<A>(a)...);
    return v;
}

class EntityObj final : public Object {
public:
    explicit EntityObj(EntityPtr e) : e_(std::move(e)) {
        Entity& e0 = *e_;
        Entity* en = &e0;
        Member(L"EntityName", [en](const Args&) { return FromString(en->EntityName()); });
        Member(L"Name", [en](const Args&) { return FromString(en->Name()); });
        Member(L"Handle", [en](const Args&) { return FromString(en->Handle()); });
        Member(L"ObjectID", [en](const Args&) { return FromInt64(en->ObjectID()); });
        Member(L"Layer", [en](const Args& a) {
            if (a.Put()) return en->SetLayer(ToString(a.Value())), None();
            return FromString(en->Layer());
        });
        Member(L"StartPoint", [en](const Args&) { return Point(en->StartPoint()); });
        Member(L"EndPoint", [en](const Args&) { return Point(en->EndPoint()); });
        Member(L"Center", [en](const Args&) { return Point(en->Center()); });
        Member(L"Radius", [en](const Args&) { return FromDouble(en->Radius()); });
        Member(L"StartAngle", [en](const Args&) { return FromDouble(en->StartAngle()); });
        Member(L"EndAngle", [en](const Args&) { return FromDouble(en->EndAngle()); });
        Member(L"RadiusRatio", [en](const Args&) { return FromDouble(en->RadiusRatio()); });
        Member(L"Normal", [en](const Args&) { return Point(en->Normal()); });
        Member(L"Thickness", [en](const Args&) { return FromDouble(en->Thickness()); });
        Member(L"Elevation", [en](const Args&) { return FromDouble(en->Elevation()); });
        Member(L"Closed", [en](const Args& a) {
            if (a.Put()) return en->SetClosed(ToBool(a.Value())), None();
            return FromBool(en->Closed());
        });
        Member(L"Coordinates", [en](const Args&) { return Doubles(en->Coordinates()); });
        Member(L"Coordinate", [en](const Args& a) { return Doubles(en->Coordinate(ToInt(a[0]))); });
        Member(L"GetBulge", [en](const Args& a) { return FromDouble(en->GetBulge(ToInt(a[0]))); });
        Member(L"SetBulge", [en](const Args& a) {
            return en->SetBulge(ToInt(a[0]), ToDouble(a[1])), None();
        });
        Member(L"InsertionPoint", [en](const Args& a) {
            if (a.Put()) return en->SetInsertionPoint(ToPoint(a.Value())), None();
            return Point(en->InsertionPoint());
        });
        Member(L"TextString", [en](const Args& a) {
            if (a.Put()) return en->SetTextString(ToString(a.Value())), None();
            return FromString(en->TextString());
        });
        Member(L"Height", [en](const Args&) { return FromDouble(en->Height()); });
        Member(L"HorizontalAlignment", [en](const Args& a) {
            if (a.Put()) return en->SetHorizontalAlignment(ToInt(a.Value())), None();
            return FromInt(en->HorizontalAlignment());
        });
        Member(L"VerticalAlignment", [en](const Args& a) {
            if (a.Put()) return en->SetVerticalAlignment(ToInt(a.Value())), None();
            return FromInt(en->VerticalAlignment());
        });
        Member(L"TextAlignmentPoint", [en](const Args& a) {
            if (a.Put()) return en->SetTextAlignmentPoint(ToPoint(a.Value())), None();
            return Point(en->TextAlignmentPoint());
        });
        Member(L"Rotation", [en](const Args& a) {
            if (a.Put()) return en->SetRotation(ToDouble(a.Value())), None();
            return FromDouble(en->Rotation());
        });
        Member(L"Area", [en](const Args&) { return FromDouble(en->Area()); });
        Member(L"Linetype", [en](const Args& a) { return en->SetLinetype(ToString(a.Value())), None(); });
        Member(L"Color", [en](const Args& a) { return en->SetColor(ToInt(a.Value())), None(); });
        Member(L"ScaleFactor", [en](const Args& a) {
            return en->SetScaleFactor(ToDouble(a.Value())), None();
        });
        Member(L"Alignment", [en](const Args& a) {
            return en->SetAlignment(static_cast<TextAlignment>(ToInt(a.Value()))), None();
        });
        Member(L"Update", [en](const Args&) { return en->Update(), None(); });
        Member(L"Explode", [en](const Args&) {
            std::vector<Variant> parts;
            for (EntityPtr& p : en->Explode()) parts.push_back(New<EntityObj>(p));
            return FromVariants(parts);
        });
        Member(L"Delete", [en](const Args&) { return en->Delete(), None(); });
        Member(L"Copy", [en](const Args&) { return New<EntityObj>(en->Copy()); });
    }

private:
    EntityPtr e_;
};

// Model space (`get` gives the open drawing's) or a block definition (kept by `keep`).
class BlockObj final : public Object {
public:
    BlockObj(std::function<Block&()> get, BlockPtr keep) : get_(std::move(get)), keep_(std::move(keep)) {
        auto b = get_;
        Member(L"Name", [b](const Args&) { return FromString(b().Name()); });
        Member(L"Count", [b](const Args&) { return FromInt(b().Count()); });
        Member(L"Item", [b](const Args& a) { return New<EntityObj>(b().Item(ToInt(a[0]))); });
        Member(L"AddLine", [b](const Args& a) {
            return New<EntityObj>(b().AddLine(ToPoint(a[0]), ToPoint(a[1])));
        });
        Member(L"AddCircle", [b](const Args& a) {
            return New<EntityObj>(b().AddCircle(ToPoint(a[0]), ToDouble(a[1])));
        });
        Member(L"AddText", [b](const Args& a) {
            return New<EntityObj>(b().AddText(ToString(a[0]), ToPoint(a[1]), ToDouble(a[2])));
        });
        Member(L"AddLightWeightPolyline", [b](const Args& a) {
            return New<EntityObj>(b().AddLightWeightPolyline(ToDoubles(a[0])));
        });
        Member(L"Delete", [b](const Args&) { return b().Delete(), None(); });
    }

private:
    std::function<Block&()> get_;
    BlockPtr keep_;
};

Variant BlockOf(BlockPtr p) {
    Block* raw = p.get();
    return New<BlockObj>([raw]() -> Block& { return *raw; }, p);
}

Document& Doc() { return g->host->ActiveDocument(); }

class BlocksObj final : public Object {
public:
    BlocksObj() {
        Member(L"Count", [](const Args&) { return FromInt(Doc().Blocks().Count()); });
        Member(L"Item", [](const Args& a) { return BlockOf(Doc().Blocks().Item(ToInt(a[0]))); });
        Member(L"Add", [](const Args& a) {
            return BlockOf(Doc().Blocks().Add(ToPoint(a[0]), ToString(a[1])));
        });
    }
};

class NamedObj final : public Object {
public:
    explicit NamedObj(std::string name) {
        Member(L"Name", [name](const Args&) { return FromString(name); });
    }
};

class LayersObj final : public Object {
public:
    LayersObj() {
        Member(L"Count", [](const Args&) { return FromInt(Doc().Layers().Count()); });
        Member(L"Item", [](const Args& a) {
            return New<NamedObj>(Doc().Layers().Item(ToInt(a[0]))->Name());
        });
        Member(L"Add", [](const Args& a) {
            return New<NamedObj>(Doc().Layers().Add(ToString(a[0]))->Name());
        });
    }
};

class LinetypesObj final : public Object {
public:
    LinetypesObj() {
        Member(L"Count", [](const Args&) { return FromInt(Doc().Linetypes().Count()); });
        Member(L"Item", [](const Args& a) {
            return New<NamedObj>(Doc().Linetypes().Item(ToInt(a[0]))->Name());
        });
        Member(L"Load", [](const Args& a) {
            return Doc().Linetypes().Load(ToString(a[0]), ToString(a[1])), None();
        });
    }
};

std::vector<int> FilterTypes(const Args& a, UINT i) { return a.Has(i) ? ToInts(a[i]) : std::vector<int>{}; }
std::vector<CadValue> FilterData(const Args& a, UINT i) {
    std::vector<CadValue> out;
    if (!a.Has(i)) return out;
    for (const Variant& v : ToVariants(a[i])) out.push_back(ToCadValue(*v.get()));
    return out;
}

class SelectionSetObj final : public Object {
public:
    explicit SelectionSetObj(SelectionSetPtr s) : s_(std::move(s)) {
        SelectionSet* ss = s_.get();
        Member(L"Name", [ss](const Args&) { return FromString(ss->Name()); });
        Member(L"Count", [ss](const Args&) { return FromInt(ss->Count()); });
        Member(L"Item", [ss](const Args& a) { return New<EntityObj>(ss->Item(ToInt(a[0]))); });
        Member(L"Clear", [ss](const Args&) { return ss->Clear(), None(); });
        Member(L"Select", [ss](const Args& a) {
            const TAcadPoint p1 = a.Has(1) ? ToPoint(a[1]) : TAcadPoint{};
            const TAcadPoint p2 = a.Has(2) ? ToPoint(a[2]) : TAcadPoint{};
            return ss->Select(ToInt(a[0]), p1, p2, FilterTypes(a, 3), FilterData(a, 4)), None();
        });
        Member(L"SelectOnScreen", [ss](const Args& a) {
            return ss->SelectOnScreen(FilterTypes(a, 0), FilterData(a, 1)), None();
        });
        Member(L"Delete", [ss](const Args&) { return ss->Delete(), None(); });
        Member(L"Highlight", [ss](const Args& a) { return ss->Highlight(ToBool(a[0])), None(); });
    }

private:
    SelectionSetPtr s_;
};

class SelectionSetsObj final : public Object {
public:
    SelectionSetsObj() {
        Member(L"Count", [](const Args&) { return FromInt(Doc().SelectionSets().Count()); });
        Member(L"Item", [](const Args& a) {
            return New<SelectionSetObj>(Doc().SelectionSets().Item(ToInt(a[0])));
        });
        Member(L"Add", [](const Args& a) {
            return New<SelectionSetObj>(Doc().SelectionSets().Add(ToString(a[0])));
        });
    }
};

std::optional<TAcadPoint> OptionalPoint(const Args& a, UINT i) {
    if (!a.Has(i)) return std::nullopt;
    return ToPoint(a[i]);
}

class UtilityObj final : public Object {
public:
    UtilityObj() {
        Member(L"GetEntity", [](const Args& a) {
            EntityPtr e;
            TAcadPoint p;
            Doc().Utility().GetEntity(e, p, a.Has(2) ? ToString(a[2]) : std::string());
            a.Out(0, New<EntityObj>(e));
            a.Out(1, Point(p));
            return None();
        });
        Member(L"GetPoint", [](const Args& a) {
            return Point(Doc().Utility().GetPoint(OptionalPoint(a, 0),
                                                  a.Has(1) ? ToString(a[1]) : std::string()));
        });
        Member(L"GetAngle", [](const Args& a) {
            return FromDouble(Doc().Utility().GetAngle(OptionalPoint(a, 0),
                                                       a.Has(1) ? ToString(a[1]) : std::string()));
        });
        Member(L"Prompt", [](const Args& a) { return Doc().Utility().Prompt(ToString(a[0])), None(); });
    }
};

class DocumentObj final : public Object {
public:
    DocumentObj() {
        Member(L"Name", [](const Args&) { return FromString(Doc().Name()); });
        Member(L"ModelSpace", [](const Args&) {
            return New<BlockObj>([]() -> Block& { return Doc().ModelSpace(); }, nullptr);
        });
        Member(L"Blocks", [](const Args&) { return New<BlocksObj>(); });
        Member(L"Layers", [](const Args&) { return New<LayersObj>(); });
        Member(L"Linetypes", [](const Args&) { return New<LinetypesObj>(); });
        Member(L"SelectionSets", [](const Args&) { return New<SelectionSetsObj>(); });
        Member(L"ActiveSelectionSet", [](const Args&) {
            return New<SelectionSetObj>(Doc().ActiveSelectionSet());
        });
        Member(L"Utility", [](const Args&) { return New<UtilityObj>(); });
        Member(L"StartUndoMark", [](const Args&) { return Doc().StartUndoMark(), None(); });
        Member(L"EndUndoMark", [](const Args&) { return Doc().EndUndoMark(), None(); });
        Member(L"Regen", [](const Args& a) { return Doc().Regen(ToInt(a[0])), None(); });
        Member(L"SendCommand", [](const Args& a) { return Doc().SendCommand(ToString(a[0])), None(); });
        Member(L"SetVariable", [](const Args& a) {
            return Doc().SetVariable(ToString(a[0]), ToCadValue(a[1])), None();
        });
        Member(L"GetVariable", [](const Args& a) {
            return FromCadValue(Doc().GetVariable(ToString(a[0])));
        });
        Member(L"ObjectIDToObject", [](const Args& a) {
            return New<EntityObj>(Doc().ObjectIDToObject(ToInt64(a[0])));
        });
    }
};

class StateObj final : public Object {
public:
    StateObj() {
        Member(L"IsQuiescent", [](const Args&) {
            if (g->busyLeft > 0) {
                --g->busyLeft;
                return FromBool(false);
            }
            return FromBool(true);
        });
    }
};

std::string Log(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

std::string ReadText(const std::string& file) {
    std::ifstream in(PathFromUtf8(file), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The drawing (empty: a new one) and the picks, anew.
void Reset(const std::string& drawing, const std::string& script) {
    g->picks = ScriptedInteraction();
    // A host of its own for each run: its logs start empty.
    g->host = std::make_unique<DrawingHost>(&g->picks);
    std::string bad;
    if (!zuka::testing::ParsePickScript(script, g->picks, bad))
        throw AutomationError("a pick script line that is no answer: " + bad);
    if (drawing.empty()) {
        g->host->New();
        return;
    }
    std::string error;
    if (!g->host->Load(PathFromUtf8(drawing), error)) throw AutomationError(error);
}

class ApplicationObj final : public Object {
public:
    ApplicationObj() {
        document_ = new DocumentObj();
        Member(L"HWND", [](const Args&) {
            return FromInt64(reinterpret_cast<std::int64_t>(g->window));
        });
        Member(L"ActiveDocument", [this](const Args&) {
            Doc();  // throws when no drawing is open
            return FromDispatch(document_);
        });
        for (const wchar_t* query : {L"GetAcadState", L"GetGcadState", L"GetZcadState"}) {
            const std::string name = Utf8(query);
            Member(query, [name](const Args&) {
                ++g->stateQueries[name];
                return New<StateObj>();
            });
        }
        Member(L"Quit", [](const Args&) {
            PostThreadMessage(g_mainThread, WM_QUIT, 0, 0);
            return None();
        });
        Member(L"TestReset", [](const Args& a) {
            g->busyLeft = 0;
            g->stateQueries.clear();
            g->failMember.clear();
            g->exitAtMember.clear();
            return Reset(ToString(a[0]), a.Has(1) ? ToString(a[1]) : std::string()), None();
        });
        Member(L"TestSave", [](const Args& a) {
            std::string error;
            if (!g->host->Save(PathFromUtf8(ToString(a[0])), error)) throw AutomationError(error);
            return None();
        });
        Member(L"TestOddPoints", [](const Args& a) { return g->oddPoints = ToBool(a[0]), None(); });
        Member(L"TestSetBusy", [](const Args& a) { return g->busyLeft = ToInt(a[0]), None(); });
        Member(L"TestStateQueries", [](const Args& a) {
            return FromInt(g->stateQueries[ToString(a[0])]);
        });
        Member(L"TestFail", [](const Args& a) { return g->failMember = ToString(a[0]), None(); });
        Member(L"TestExitAt", [](const Args& a) { return g->exitAtMember = ToString(a[0]), None(); });
        Member(L"TestSleep", [](const Args& a) { return Sleep(static_cast<DWORD>(ToInt(a[0]))), None(); });
        Member(L"TestPrompts", [](const Args&) { return FromString(Log(g->host->PromptLog())); });
        Member(L"TestCommands", [](const Args&) { return FromString(Log(g->host->CommandLog())); });
        Member(L"TestPicksLeft", [](const Args&) {
            return FromInt(static_cast<int>(g->picks.Pending()));
        });
    }
    ~ApplicationObj() override { document_->Release(); }

private:
    DocumentObj* document_;
};

class Factory final : public IClassFactory {
public:
    explicit Factory(IUnknown* app) : app_(app) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        return app_->QueryInterface(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    IUnknown* app_;
};

LONG SetString(const std::wstring& key, const std::wstring& value) {
    HKEY k;
    LONG r = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k,
                             nullptr);
    if (r) return r;
    r = RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return r;
}

bool Register(const std::vector<std::wstring>& progIds) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring classes;
    LONG r = SetString(classes + L"CLSID\\" + kClsidText + L"\\LocalServer32",
                       std::wstring(L"\"") + exe + L"\"");
    for (const std::wstring& p : progIds) {
        r |= SetString(classes + p, L"Zuka test CAD");
        r |= SetString(classes + p + L"\\CLSID", kClsidText);
    }
    return r == 0;
}

std::string Option(const std::string& arg, const char* name) {
    const std::string prefix = std::string("/") + name + ":";
    return arg.rfind(prefix, 0) == 0 ? arg.substr(prefix.size()) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args = Utf8Arguments(argc, argv);
    std::vector<std::wstring> progIds;
    std::string drawing, script;
    int timeout = 600;
    ServerState state;
    g = &state;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (auto v = Option(a, "progid"); !v.empty()) progIds.push_back(Wide(v));
        else if (auto d = Option(a, "drawing"); !d.empty()) drawing = d;
        else if (auto s = Option(a, "script"); !s.empty()) script = ReadText(s);
        else if (auto b = Option(a, "busy"); !b.empty()) state.busyLeft = std::atoi(b.c_str());
        else if (auto t = Option(a, "timeout"); !t.empty()) timeout = std::atoi(t.c_str());
        else if (a == "/oddpoints") state.oddPoints = true;
    }
    if (progIds.empty()) {
        std::fprintf(stderr, "usage: zuka_cad_server /progid:NAME ...\n");
        return 2;
    }
    g_mainThread = GetCurrentThreadId();
    MSG msg;
    PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 4;
    if (!Register(progIds)) {
        std::fprintf(stderr, "the ProgIDs could not be registered\n");
        return 5;
    }
    try {
        Reset(drawing, script);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 6;
    }
    // The CAD's main window (where windows can be made: with a display or the null driver).
    state.window = CreateWindowExW(0, L"STATIC", L"Zuka test CAD", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                   100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);

    ApplicationObj* app = new ApplicationObj();
    static Factory factory(app);
    DWORD classCookie = 0, rotCookie = 0;
    CoRegisterClassObject(kClsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &classCookie);
    const HRESULT hr = RegisterActiveObject(app, kClsid, ACTIVEOBJECT_STRONG, &rotCookie);
    if (FAILED(hr)) {
        std::fprintf(stderr, "RegisterActiveObject failed: %s\n", HresultText(hr).c_str());
        return 7;
    }
    std::printf("READY\n");
    std::fflush(stdout);

    SetTimer(nullptr, 0, static_cast<UINT>(timeout) * 1000, nullptr);  // a safety net
    while (GetMessage(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr) break;
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    RevokeActiveObject(rotCookie, nullptr);
    CoRevokeClassObject(classCookie);
    CoDisconnectObject(app, 0);
    app->Release();
    if (state.window) DestroyWindow(state.window);
    CoUninitialize();
    return 0;
}

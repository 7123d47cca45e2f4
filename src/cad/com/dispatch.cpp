#include "cad/com/dispatch.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace zuka::com {
namespace {

std::atomic<long long> g_calls{0};

std::string Failure(const char* member, HRESULT hr, EXCEPINFO& info) {
    std::string text;
    if (hr == DISP_E_EXCEPTION) {
        if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
        if (info.bstrDescription) text = Utf8(info.bstrDescription, SysStringLen(info.bstrDescription));
        if (text.empty()) text = HresultText(info.scode ? info.scode : static_cast<HRESULT>(info.wCode));
    } else {
        text = HresultText(hr);
    }
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return std::string(member) + ": " + text;
}

}  // namespace

Dispatch::Shared::~Shared() {
    if (object) object->Release();
}

Dispatch::Dispatch(IDispatch* d) {
    if (!d) return;
    shared_ = std::make_shared<Shared>();
    shared_->object = d;
}

Dispatch Dispatch::FromResult(const Variant& v, const char* member, const Dispatch* from) {
    IDispatch* d = nullptr;
    try {
        d = ToDispatch(*v.get());
    } catch (const AutomationError& e) {
        throw AutomationError(std::string(member) + ": " + e.what());
    }
    if (!d) throw AutomationError(std::string(member) + ": no object");
    Dispatch result(d);
    if (from && from->shared_) result.shared_->family = from->shared_->family;
    return result;
}

void Dispatch::StartIdFamily() const {
    if (shared_ && !shared_->family) shared_->family = std::make_shared<IdFamily>();
}

void Dispatch::SetClass(const std::string& name) const {
    if (!shared_ || !shared_->family || shared_->classIds) return;
    shared_->classIds = &shared_->family->classes[name];
}

bool Dispatch::SameObject(const Dispatch& other) const {
    if (!get() || !other.get()) return get() == other.get();
    IUnknown* a = nullptr;
    IUnknown* b = nullptr;
    get()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
    other.get()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
    const bool same = a && a == b;
    if (a) a->Release();
    if (b) b->Release();
    return same;
}

DISPID Dispatch::AskId(const char* member) const {
    std::wstring name = Wide(member);
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    ++g_calls;
    const HRESULT hr = get()->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        EXCEPINFO none{};
        throw AutomationError(Failure(member, hr, none));
    }
    shared_->ids[member] = id;
    if (shared_->classIds) shared_->classIds->emplace(member, id);
    return id;
}

DISPID Dispatch::Id(const char* member, bool& ofClass) const {
    ofClass = false;
    if (!get()) throw AutomationError(std::string(member) + ": no object");
    if (auto found = shared_->ids.find(member); found != shared_->ids.end()) return found->second;
    if (shared_->classIds) {
        if (auto found = shared_->classIds->find(member); found != shared_->classIds->end()) {
            ofClass = true;
            return found->second;
        }
    }
    return AskId(member);
}

DISPID Dispatch::Id(const char* member) const {
    bool ofClass = false;
    return Id(member, ofClass);
}

Variant Dispatch::Invoke(const char* member, WORD flags, std::vector<Variant>& args) const {
    bool ofClass = false;
    DISPID id = Id(member, ofClass);
    // Automation takes the arguments last first; the VARIANTs are the caller's (not copied), so
    // by-reference arguments reach their targets.
    std::vector<VARIANT> raw;
    raw.reserve(args.size());
    for (auto it = args.rbegin(); it != args.rend(); ++it) raw.push_back(*it->get());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{raw.empty() ? nullptr : raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO info{};
    UINT argError = 0;
    ++g_calls;
    HRESULT hr =
        get()->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                      (flags & DISPATCH_PROPERTYPUT) ? nullptr : &result, &info, &argError);
    if (hr == DISP_E_MEMBERNOTFOUND && ofClass) {
        // The object knows the member by another id than its class: its own, from now on.
        id = AskId(member);
        ++g_calls;
        hr = get()->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                           (flags & DISPATCH_PROPERTYPUT) ? nullptr : &result, &info, &argError);
    }
    if (FAILED(hr)) {
        VariantClear(&result);
        throw AutomationError(Failure(member, hr, info));
    }
    return Variant::Adopt(result);
}

Variant Dispatch::Get(const char* member, std::vector<Variant> args) const {
    return Invoke(member, DISPATCH_PROPERTYGET | DISPATCH_METHOD, args);
}

Dispatch Dispatch::GetObject(const char* member, std::vector<Variant> args) const {
    return FromResult(Get(member, std::move(args)), member, this);
}

void Dispatch::Put(const char* member, Variant value) const {
    std::vector<Variant> args;
    args.push_back(std::move(value));
    Invoke(member, DISPATCH_PROPERTYPUT, args);
}

Variant Dispatch::Call(const char* member, std::vector<Variant> args) const {
    return Invoke(member, DISPATCH_METHOD, args);
}

long long Dispatch::Calls() { return g_calls.load(); }

Variant ByRef(Variant& target) {
    Variant out;
    V_VT(out.get()) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(out.get()) = target.get();
    return out;
}

}  // namespace zuka::com

// An automation object reached by late binding: members are named at run time, their ids asked
// of the object once (GetIDsOfNames) and kept with it, so that every further call of the same
// member on the same object is one Invoke. No type library and no product header is used.
//
// Arguments are given in their natural order (they go to the server last first, as automation
// wants); a property is set with DISPID_PROPERTYPUT. A failed call throws AutomationError with
// the member's name and the server's own description of the failure (EXCEPINFO), or the
// system's text for the HRESULT when the server gave none.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "cad/com/com_variant.h"

namespace zuka::com {

class Dispatch {
public:
    Dispatch() = default;
    // Takes over one reference of `d`.
    explicit Dispatch(IDispatch* d);
    // The object a VARIANT holds; throws AutomationError naming `member` when it holds none.
    static Dispatch FromResult(const Variant& v, const char* member);

    IDispatch* get() const { return shared_ ? shared_->object : nullptr; }
    explicit operator bool() const { return get() != nullptr; }
    // True when both are the same object (COM identity: the same IUnknown).
    bool SameObject(const Dispatch& other) const;

    // Property get (also as a method, as script hosts call).
    Variant Get(const char* member, std::vector<Variant> args = {}) const;
    // A property get whose value is an object.
    Dispatch GetObject(const char* member, std::vector<Variant> args = {}) const;
    void Put(const char* member, Variant value) const;
    Variant Call(const char* member, std::vector<Variant> args = {}) const;

    // The member's id, asked once per object.
    DISPID Id(const char* member) const;

    // Every cross-process call made through this class so far (GetIDsOfNames and Invoke), for
    // the speed figures.
    static long long Calls();

private:
    Variant Invoke(const char* member, WORD flags, std::vector<Variant>& args) const;

    struct Shared {
        IDispatch* object = nullptr;
        std::unordered_map<std::string, DISPID> ids;
        ~Shared();
    };
    std::shared_ptr<Shared> shared_;
};

// A VARIANT by reference to `target`, for the out arguments of a call.
Variant ByRef(Variant& target);

}  // namespace zuka::com

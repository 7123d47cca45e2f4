// An automation object reached by late binding: members are named at run time, their ids asked
// of the object once (GetIDsOfNames) and kept with it, so that every further call of the same
// member on the same object is one Invoke. No type library and no product header is used.
//
// Objects of one class of one CAD answer a member with the same id (the class's interface fixes
// them), so an object whose class is known (SetClass: an entity's EntityName, or the Add member
// that made it) takes the ids its class's objects were given before, asked once per class
// instead of once per object: most of a read entity's calls were these questions. The classes'
// ids are kept per CAD, with every object reached from the application object that started
// them (StartIdFamily). Should the CAD not know a member by the id of its class, the object's
// own id is asked and the call repeated.
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
    // It shares the member ids of its classes with `from`, the object that returned it.
    static Dispatch FromResult(const Variant& v, const char* member,
                               const Dispatch* from = nullptr);

    // Starts the member ids by class of one CAD: this object (the CAD's application) and every
    // object reached from it share them.
    void StartIdFamily() const;
    // This object is of class `name` (an entity's EntityName): its members' ids are its class's.
    void SetClass(const std::string& name) const;

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

    // The member's id, asked once per object, or once per class when the class is known.
    DISPID Id(const char* member) const;

    // Every cross-process call made through this class so far (GetIDsOfNames and Invoke), for
    // the speed figures.
    static long long Calls();

private:
    using Ids = std::unordered_map<std::string, DISPID>;
    // The member ids of one CAD's classes.
    struct IdFamily {
        std::unordered_map<std::string, Ids> classes;
    };

    Variant Invoke(const char* member, WORD flags, std::vector<Variant>& args) const;
    // The id the object itself gives `member` (GetIDsOfNames).
    DISPID AskId(const char* member) const;
    // The id of `member`; `ofClass` tells whether it came from the class, not the object.
    DISPID Id(const char* member, bool& ofClass) const;

    struct Shared {
        IDispatch* object = nullptr;
        Ids ids;
        std::shared_ptr<IdFamily> family;
        Ids* classIds = nullptr;  // the ids of the object's class, when known
        ~Shared();
    };
    std::shared_ptr<Shared> shared_;
};

// A VARIANT by reference to `target`, for the out arguments of a call.
Variant ByRef(Variant& target);

}  // namespace zuka::com

#include "cad/com/com_variant.h"

#include <cstdio>
#include <utility>

namespace zuka::com {
namespace {

// The value itself, by-reference wrappers followed.
Variant Deref(const VARIANT& v) {
    Variant out;
    const HRESULT hr = VariantCopyInd(out.get(), const_cast<VARIANT*>(&v));
    if (FAILED(hr)) throw AutomationError("a value could not be read: " + HresultText(hr));
    // A VARIANT holding a reference to a VARIANT: one more step.
    if (V_VT(out.get()) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(out.get())) {
        return Deref(*V_VARIANTREF(out.get()));
    }
    return out;
}

Variant Changed(const VARIANT& v, VARTYPE to, const char* what) {
    Variant in = Deref(v);
    Variant out;
    const HRESULT hr = VariantChangeType(out.get(), in.get(), 0, to);
    if (FAILED(hr)) throw AutomationError(std::string("not ") + what + ": " + HresultText(hr));
    return out;
}

SAFEARRAY* Vector(VARTYPE type, LONG n) {
    SAFEARRAY* sa = SafeArrayCreateVector(type, 0, static_cast<ULONG>(n));
    if (!sa) throw AutomationError("out of memory for an array of " + std::to_string(n));
    return sa;
}

Variant ArrayVariant(VARTYPE type, SAFEARRAY* sa) {
    Variant out;
    V_VT(out.get()) = static_cast<VARTYPE>(VT_ARRAY | type);
    V_ARRAY(out.get()) = sa;
    return out;
}

// The elements of a one-dimensional array, each as a VARIANT of its own.
std::vector<Variant> Elements(const VARIANT& in) {
    Variant v = Deref(in);
    if (!(V_VT(v.get()) & VT_ARRAY) || !V_ARRAY(v.get()))
        throw AutomationError("not an array");
    SAFEARRAY* sa = V_ARRAY(v.get());
    if (SafeArrayGetDim(sa) != 1) throw AutomationError("not a one-dimensional array");
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(sa, 1, &lo);
    SafeArrayGetUBound(sa, 1, &hi);
    const VARTYPE type = static_cast<VARTYPE>(V_VT(v.get()) & VT_TYPEMASK);
    std::vector<Variant> out;
    out.reserve(static_cast<std::size_t>(hi - lo + 1));
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(sa, &data))) throw AutomationError("an array could not be read");
    const LONG n = hi - lo + 1;
    for (LONG i = 0; i < n; ++i) {
        Variant e;
        VARIANT* p = e.get();
        switch (type) {
            case VT_VARIANT: VariantCopy(p, &static_cast<VARIANT*>(data)[i]); break;
            case VT_R8: V_VT(p) = VT_R8; V_R8(p) = static_cast<double*>(data)[i]; break;
            case VT_R4: V_VT(p) = VT_R4; V_R4(p) = static_cast<float*>(data)[i]; break;
            case VT_I2: V_VT(p) = VT_I2; V_I2(p) = static_cast<SHORT*>(data)[i]; break;
            case VT_I4: V_VT(p) = VT_I4; V_I4(p) = static_cast<LONG*>(data)[i]; break;
            case VT_INT: V_VT(p) = VT_I4; V_I4(p) = static_cast<INT*>(data)[i]; break;
            case VT_I8: V_VT(p) = VT_I8; V_I8(p) = static_cast<LONGLONG*>(data)[i]; break;
            case VT_BOOL: V_VT(p) = VT_BOOL; V_BOOL(p) = static_cast<VARIANT_BOOL*>(data)[i]; break;
            case VT_BSTR:
                V_VT(p) = VT_BSTR;
                V_BSTR(p) = SysAllocStringLen(static_cast<BSTR*>(data)[i],
                                              SysStringLen(static_cast<BSTR*>(data)[i]));
                break;
            case VT_DISPATCH:
                V_VT(p) = VT_DISPATCH;
                V_DISPATCH(p) = static_cast<IDispatch**>(data)[i];
                if (V_DISPATCH(p)) V_DISPATCH(p)->AddRef();
                break;
            default:
                SafeArrayUnaccessData(sa);
                throw AutomationError("an array of an unexpected element type " +
                                      std::to_string(type));
        }
        out.push_back(std::move(e));
    }
    SafeArrayUnaccessData(sa);
    return out;
}

}  // namespace

Variant::Variant(const Variant& other) {
    VariantInit(&v_);
    VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) {
        VariantClear(&v_);
        VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
    }
    return *this;
}

Variant::Variant(Variant&& other) noexcept {
    v_ = other.v_;
    VariantInit(&other.v_);
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        VariantClear(&v_);
        v_ = other.v_;
        VariantInit(&other.v_);
    }
    return *this;
}

Variant Variant::Adopt(VARIANT& raw) {
    Variant out;
    out.v_ = raw;
    VariantInit(&raw);
    return out;
}

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                      nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Utf8(const wchar_t* text, std::size_t length) {
    if (!text || length == 0) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::string Utf8(const std::wstring& text) { return Utf8(text.data(), text.size()); }

std::string HresultText(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (n && buffer) text = Utf8(buffer, n);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? std::string(code) : text + " (" + code + ")";
}

Variant FromString(std::string_view utf8) {
    const std::wstring w = Wide(utf8);
    Variant out;
    V_VT(out.get()) = VT_BSTR;
    V_BSTR(out.get()) = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
    return out;
}

Variant FromInt(int value) {
    Variant out;
    V_VT(out.get()) = VT_I4;
    V_I4(out.get()) = value;
    return out;
}

Variant FromInt64(std::int64_t value) {
    Variant out;
    V_VT(out.get()) = VT_I8;
    V_I8(out.get()) = value;
    return out;
}

Variant FromDouble(double value) {
    Variant out;
    V_VT(out.get()) = VT_R8;
    V_R8(out.get()) = value;
    return out;
}

Variant FromBool(bool value) {
    Variant out;
    V_VT(out.get()) = VT_BOOL;
    V_BOOL(out.get()) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return out;
}

Variant FromDoubles(const std::vector<double>& values) {
    SAFEARRAY* sa = Vector(VT_R8, static_cast<LONG>(values.size()));
    if (!values.empty()) {
        void* data = nullptr;
        SafeArrayAccessData(sa, &data);
        std::copy(values.begin(), values.end(), static_cast<double*>(data));
        SafeArrayUnaccessData(sa);
    }
    return ArrayVariant(VT_R8, sa);
}

Variant FromPoint(const TAcadPoint& p) { return FromDoubles({p.x, p.y, p.z}); }

Variant FromShorts(const std::vector<int>& values) {
    SAFEARRAY* sa = Vector(VT_I2, static_cast<LONG>(values.size()));
    if (!values.empty()) {
        void* data = nullptr;
        SafeArrayAccessData(sa, &data);
        for (std::size_t i = 0; i < values.size(); ++i)
            static_cast<SHORT*>(data)[i] = static_cast<SHORT>(values[i]);
        SafeArrayUnaccessData(sa);
    }
    return ArrayVariant(VT_I2, sa);
}

Variant FromVariants(const std::vector<Variant>& values) {
    SAFEARRAY* sa = Vector(VT_VARIANT, static_cast<LONG>(values.size()));
    if (!values.empty()) {
        void* data = nullptr;
        SafeArrayAccessData(sa, &data);
        for (std::size_t i = 0; i < values.size(); ++i)
            VariantCopy(&static_cast<VARIANT*>(data)[i], const_cast<VARIANT*>(values[i].get()));
        SafeArrayUnaccessData(sa);
    }
    return ArrayVariant(VT_VARIANT, sa);
}

Variant FromDispatch(IDispatch* d) {
    Variant out;
    V_VT(out.get()) = VT_DISPATCH;
    V_DISPATCH(out.get()) = d;
    if (d) d->AddRef();
    return out;
}

Variant FromCadValue(const CadValue& value) {
    struct Visit {
        Variant operator()(std::monostate) const { return Variant(); }
        // A 16-bit integer where it fits: the CADs' integer system variables (FILEDIA, ...)
        // refuse a 32-bit one.
        Variant operator()(int v) const {
            if (v < -32768 || v > 32767) return FromInt(v);
            Variant out;
            V_VT(out.get()) = VT_I2;
            V_I2(out.get()) = static_cast<SHORT>(v);
            return out;
        }
        Variant operator()(double v) const { return FromDouble(v); }
        Variant operator()(const std::string& v) const { return FromString(v); }
        Variant operator()(const TAcadPoint& v) const { return FromPoint(v); }
    };
    return std::visit(Visit{}, value);
}

Variant Missing() {
    Variant out;
    V_VT(out.get()) = VT_ERROR;
    V_ERROR(out.get()) = DISP_E_PARAMNOTFOUND;
    return out;
}

std::string ToString(const VARIANT& v) {
    Variant s = Changed(v, VT_BSTR, "a text");
    const BSTR b = V_BSTR(s.get());
    return Utf8(b, b ? SysStringLen(b) : 0);
}

int ToInt(const VARIANT& v) { return static_cast<int>(V_I4(Changed(v, VT_I4, "an integer").get())); }

std::int64_t ToInt64(const VARIANT& v) {
    return static_cast<std::int64_t>(V_I8(Changed(v, VT_I8, "a 64-bit integer").get()));
}

double ToDouble(const VARIANT& v) { return V_R8(Changed(v, VT_R8, "a number").get()); }

bool ToBool(const VARIANT& v) {
    return V_BOOL(Changed(v, VT_BOOL, "true or false").get()) != VARIANT_FALSE;
}

std::vector<Variant> ToVariants(const VARIANT& v) { return Elements(v); }

std::vector<double> ToDoubles(const VARIANT& v) {
    std::vector<double> out;
    for (const Variant& e : Elements(v)) out.push_back(ToDouble(*e.get()));
    return out;
}

std::vector<int> ToInts(const VARIANT& v) {
    std::vector<int> out;
    for (const Variant& e : Elements(v)) out.push_back(ToInt(*e.get()));
    return out;
}

TAcadPoint ToPoint(const VARIANT& v) {
    const std::vector<double> xyz = ToDoubles(v);
    if (xyz.size() == 3) return TAcadPoint{xyz[0], xyz[1], xyz[2]};
    if (xyz.size() == 2) return TAcadPoint{xyz[0], xyz[1], 0};
    throw AutomationError("a point needs 3 numbers, not " + std::to_string(xyz.size()));
}

IDispatch* ToDispatch(const VARIANT& in) {
    Variant v = Deref(in);
    const VARTYPE t = V_VT(v.get());
    if (t == VT_EMPTY || t == VT_NULL) return nullptr;
    IUnknown* unknown = nullptr;
    if (t == VT_DISPATCH) unknown = V_DISPATCH(v.get());
    else if (t == VT_UNKNOWN) unknown = V_UNKNOWN(v.get());
    else throw AutomationError("not an object");
    if (!unknown) return nullptr;
    IDispatch* d = nullptr;
    if (FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d))))
        throw AutomationError("an object without automation");
    return d;
}

bool IsMissing(const VARIANT& in) {
    const VARIANT* v = &in;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    return V_VT(v) == VT_EMPTY || (V_VT(v) == VT_ERROR && V_ERROR(v) == DISP_E_PARAMNOTFOUND);
}

CadValue ToCadValue(const VARIANT& in) {
    Variant v = Deref(in);
    const VARTYPE t = V_VT(v.get());
    if (t & VT_ARRAY) return ToPoint(*v.get());
    switch (t) {
        case VT_EMPTY:
        case VT_NULL:
            return std::monostate{};
        case VT_I1: case VT_I2: case VT_I4: case VT_INT: case VT_UI1: case VT_UI2: case VT_BOOL:
            return ToInt(*v.get());
        case VT_BSTR:
            return ToString(*v.get());
        default:
            return ToDouble(*v.get());
    }
}

}  // namespace zuka::com

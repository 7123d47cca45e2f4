// Values as they cross an automation call: VARIANTs and SAFEARRAYs to and from the program's
// own types. Points are arrays of three doubles; the readers also take what script hosts send:
// arrays of VARIANTs, of floats or integers, with any lower bound, passed by reference. Strings
// are BSTR (UTF-16), so Japanese layer names and texts go through whole. Object ids are 64-bit.
//
// A value of the wrong shape throws AutomationError naming what was expected; the caller adds
// the member's name.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cad/automation.h"

namespace zuka::com {

// A VARIANT that clears itself.
class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant& other);
    Variant& operator=(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(Variant&& other) noexcept;

    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }
    // Takes over `raw` (which is left empty).
    static Variant Adopt(VARIANT& raw);
    void Clear() { VariantClear(&v_); }

private:
    VARIANT v_;
};

std::wstring Wide(std::string_view utf8);
std::string Utf8(const wchar_t* text, std::size_t length);
std::string Utf8(const std::wstring& text);
// The system's text for an HRESULT ("0x80004005" when it has none).
std::string HresultText(HRESULT hr);

// --- To VARIANTs ------------------------------------------------------------------------------
Variant FromString(std::string_view utf8);
Variant FromInt(int value);
Variant FromInt64(std::int64_t value);
Variant FromDouble(double value);
Variant FromBool(bool value);
Variant FromPoint(const TAcadPoint& p);          // VT_ARRAY|VT_R8, 3 elements, lower bound 0
Variant FromDoubles(const std::vector<double>& values);  // VT_ARRAY|VT_R8
Variant FromShorts(const std::vector<int>& values);      // VT_ARRAY|VT_I2 (filter types)
Variant FromVariants(const std::vector<Variant>& values);  // VT_ARRAY|VT_VARIANT
Variant FromDispatch(IDispatch* d);                      // AddRefs
// A point as FromPoint; an integer as a 16-bit one where it fits (VT_I2), as the CADs take
// their integer system variables.
Variant FromCadValue(const CadValue& value);
// A VT_ERROR DISP_E_PARAMNOTFOUND: an optional argument left out.
Variant Missing();

// --- From VARIANTs (by-reference values are followed first) ----------------------------------
std::string ToString(const VARIANT& v);
int ToInt(const VARIANT& v);
std::int64_t ToInt64(const VARIANT& v);
double ToDouble(const VARIANT& v);
bool ToBool(const VARIANT& v);
// A one-dimensional array of numbers (of R8, R4, I2, I4, I8 or VARIANTs holding numbers), any
// lower bound.
std::vector<double> ToDoubles(const VARIANT& v);
// ToDoubles with exactly three elements (two are taken as x, y with z 0).
TAcadPoint ToPoint(const VARIANT& v);
// A one-dimensional array of VARIANTs (or of any element type, each made a VARIANT).
std::vector<Variant> ToVariants(const VARIANT& v);
std::vector<int> ToInts(const VARIANT& v);
// The object of a VT_DISPATCH (or VT_UNKNOWN that offers IDispatch), AddRef'd; null for
// VT_EMPTY/VT_NULL or a null object.
IDispatch* ToDispatch(const VARIANT& v);
// Empty for VT_EMPTY; an integer, a double, a string or a point otherwise.
CadValue ToCadValue(const VARIANT& v);
// True when the argument was left out (VT_ERROR DISP_E_PARAMNOTFOUND) or is empty.
bool IsMissing(const VARIANT& v);

}  // namespace zuka::com

// Key filters of the main window's edit fields: which typed characters reach a field, and where
// Enter moves the focus.
//
// Three sets are used: integer (digits, Enter, Backspace), unsigned decimal (also ".") and signed
// decimal (also "-"). Everything else is swallowed. Nothing checks the order or count of points
// and minus signs: "1.2.3" or "5-" can be typed and fail later, when a command converts them.
// After filtering, Enter either moves the focus to the next field or is swallowed, so that it
// neither beeps nor presses a default button; only the window's own filter lets it pass.
#pragma once

#include <string_view>

namespace zuka {

inline constexpr char16_t kKeyEnter = u'\r';
inline constexpr char16_t kKeyBackspace = u'\b';

enum class KeySet { Integer, UnsignedDecimal, SignedDecimal };

struct TKeyResult {
    bool passes = false;       // the key reaches the field
    std::string_view focusTo;  // after Enter: the control that takes the focus; empty: none
    bool operator==(const TKeyResult&) const = default;
};

// The one filter behind every handler below. `enterFocus` is the control Enter moves to (empty:
// Enter is swallowed and the focus stays); with `enterPasses` Enter reaches the control instead.
TKeyResult FilterKey(char16_t key, KeySet set, std::string_view enterFocus = {},
                     bool enterPasses = false);

TKeyResult Edit3KeyPress(char16_t key);   // latitude degrees: integer, Enter to Edit5
TKeyResult Edit5KeyPress(char16_t key);   // latitude minutes: integer, Enter to Edit23
TKeyResult Edit12KeyPress(char16_t key);  // true north: signed decimal, Enter to Edit2
TKeyResult Edit2KeyPress(char16_t key);   // start hour: unsigned decimal, Enter to Edit7
TKeyResult Edit7KeyPress(char16_t key);   // end hour: unsigned decimal, Enter to Edit11
TKeyResult Edit11KeyPress(char16_t key);  // time step: unsigned decimal, Enter to Edit4
TKeyResult Edit4KeyPress(char16_t key);   // measurement height: unsigned decimal
TKeyResult Edit6KeyPress(char16_t key);   // specific-point height: unsigned decimal
TKeyResult Edit17KeyPress(char16_t key);  // sky-map plane height: signed decimal
TKeyResult Edit19KeyPress(char16_t key);  // drawing scale, and Edit18 (type A hatch): unsigned
TKeyResult Edit20KeyPress(char16_t key);  // type A text: unsigned decimal
TKeyResult Edit22KeyPress(char16_t key);  // type B text: unsigned decimal
TKeyResult Edit15KeyPress(char16_t key);  // type A radius: integer
TKeyResult Edit21KeyPress(char16_t key);  // type B radius: integer
TKeyResult Edit13KeyPress(char16_t key);  // type A scale marks: integer
TKeyResult Edit24KeyPress(char16_t key);  // type B scale marks: integer
TKeyResult Edit25KeyPress(char16_t key);  // type B hatch: integer
// Height correction of a measurement point: signed decimal, Enter swallowed here. What Enter
// then does to the point grid (and where the focus goes) belongs to the measurement-point page.
TKeyResult Edit26KeyPress(char16_t key);
// The window itself, when no control has the focus: unsigned decimal, Enter passes.
TKeyResult FormKeyPress(char16_t key);

using KeyPressHandler = TKeyResult (*)(char16_t);

// The filter attached to the edit field `control` ("Edit18" shares Edit19's), or nullptr for a
// field without one. Unfiltered are Edit23 (latitude seconds: every key reaches it and Enter
// leaves the focus where it is), Edit10, the layer-name fields, Edit38, Edit41 and the fields
// of page 設定２.
KeyPressHandler KeyPressHandlerFor(std::string_view control);

// What a key typed into `control` does: its filter's answer, or {passes, no focus move} for a
// field without a filter.
TKeyResult KeyPress(std::string_view control, char16_t key);

}  // namespace zuka

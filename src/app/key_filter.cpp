#include "app/key_filter.h"

#include <array>

namespace zuka {

namespace {

bool InSet(char16_t key, KeySet set) {
    if ((key >= u'0' && key <= u'9') || key == kKeyBackspace) return true;
    switch (set) {
        case KeySet::Integer:
            return false;
        case KeySet::UnsignedDecimal:
            return key == u'.';
        case KeySet::SignedDecimal:
            return key == u'.' || key == u'-';
    }
    return false;
}

struct TFilterRow {
    std::string_view control;
    KeyPressHandler handler;
};

}  // namespace

TKeyResult FilterKey(char16_t key, KeySet set, std::string_view enterFocus, bool enterPasses) {
    if (key == kKeyEnter) return {enterPasses, enterFocus};
    return {InSet(key, set), {}};
}

TKeyResult Edit3KeyPress(char16_t key) { return FilterKey(key, KeySet::Integer, "Edit5"); }
TKeyResult Edit5KeyPress(char16_t key) { return FilterKey(key, KeySet::Integer, "Edit23"); }
TKeyResult Edit12KeyPress(char16_t key) { return FilterKey(key, KeySet::SignedDecimal, "Edit2"); }
TKeyResult Edit2KeyPress(char16_t key) { return FilterKey(key, KeySet::UnsignedDecimal, "Edit7"); }
TKeyResult Edit7KeyPress(char16_t key) { return FilterKey(key, KeySet::UnsignedDecimal, "Edit11"); }
TKeyResult Edit11KeyPress(char16_t key) { return FilterKey(key, KeySet::UnsignedDecimal, "Edit4"); }
TKeyResult Edit4KeyPress(char16_t key) { return FilterKey(key, KeySet::UnsignedDecimal); }
TKeyResult Edit6KeyPress(char16_t key) { return FilterKey(key, KeySet::UnsignedDecimal); }
TKeyResult Edit17KeyPress(char16_t key) { return FilterKey(key, KeySet::SignedDecimal); }
TKeyResult Edit19KeyPress(char16_t key) { return FilterKey(key, KeySet::UnsignedDecimal); }
TKeyResult Edit20KeyPress(char16_t key) { return FilterKey(key, KeySet::UnsignedDecimal); }
TKeyResult Edit22KeyPress(char16_t key) { return FilterKey(key, KeySet::UnsignedDecimal); }
TKeyResult Edit15KeyPress(char16_t key) { return FilterKey(key, KeySet::Integer); }
TKeyResult Edit21KeyPress(char16_t key) { return FilterKey(key, KeySet::Integer); }
TKeyResult Edit13KeyPress(char16_t key) { return FilterKey(key, KeySet::Integer); }
TKeyResult Edit24KeyPress(char16_t key) { return FilterKey(key, KeySet::Integer); }
TKeyResult Edit25KeyPress(char16_t key) { return FilterKey(key, KeySet::Integer); }
TKeyResult Edit26KeyPress(char16_t key) { return FilterKey(key, KeySet::SignedDecimal); }
TKeyResult FormKeyPress(char16_t key) {
    return FilterKey(key, KeySet::UnsignedDecimal, {}, /*enterPasses=*/true);
}

KeyPressHandler KeyPressHandlerFor(std::string_view control) {
    static constexpr std::array<TFilterRow, 19> kFilters = {{
        {"Edit3", Edit3KeyPress},   {"Edit5", Edit5KeyPress},   {"Edit12", Edit12KeyPress},
        {"Edit2", Edit2KeyPress},   {"Edit7", Edit7KeyPress},   {"Edit11", Edit11KeyPress},
        {"Edit4", Edit4KeyPress},   {"Edit6", Edit6KeyPress},   {"Edit17", Edit17KeyPress},
        {"Edit19", Edit19KeyPress}, {"Edit18", Edit19KeyPress}, {"Edit20", Edit20KeyPress},
        {"Edit22", Edit22KeyPress}, {"Edit15", Edit15KeyPress}, {"Edit21", Edit21KeyPress},
        {"Edit13", Edit13KeyPress}, {"Edit24", Edit24KeyPress}, {"Edit25", Edit25KeyPress},
        {"Edit26", Edit26KeyPress},
    }};
    for (const TFilterRow& row : kFilters) {
        if (row.control == control) return row.handler;
    }
    return nullptr;
}

TKeyResult KeyPress(std::string_view control, char16_t key) {
    if (KeyPressHandler handler = KeyPressHandlerFor(control)) return handler(key);
    return {true, {}};
}

}  // namespace zuka

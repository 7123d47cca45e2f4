#include "app/key_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace zuka {
namespace {

TEST(KeyFilter, CharactersByField) {
    struct Row {
        const char* name;
        const char* control;
        char16_t key;
        bool passes;
    };
    const Row rows[] = {
        {"letter into latitude degrees", "Edit3", u'a', false},
        {"point into integer field", "Edit3", u'.', false},
        {"digit into integer field", "Edit3", u'7', true},
        {"backspace into integer field", "Edit15", kKeyBackspace, true},
        {"minus into unsigned start hour", "Edit2", u'-', false},
        {"point into unsigned start hour", "Edit2", u'.', true},
        {"minus into signed true north", "Edit12", u'-', true},
        {"comma into signed true north", "Edit12", u',', false},
        {"second point is not checked", "Edit4", u'.', true},
        {"minus into sky plane height", "Edit17", u'-', true},
        {"minus into height correction", "Edit26", u'-', true},
        {"full-width digit", "Edit5", u'１', false},
        {"type A hatch shares the scale filter: point", "Edit18", u'.', true},
        {"type A hatch shares the scale filter: minus", "Edit18", u'-', false},
        {"type B hatch is integer", "Edit25", u'.', false},
        {"latitude seconds are not filtered", "Edit23", u'a', true},
        {"layer name is not filtered", "Edit27", u'z', true},
        {"text height is not filtered", "Edit38", u'-', true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TKeyResult got = KeyPress(r.control, r.key);
        EXPECT_EQ(got.passes, r.passes);
        EXPECT_TRUE(got.focusTo.empty());
    }
}

// Enter from a field: where the focus goes, or (empty) that it stays.
std::string EnterFocus(const std::string& control) {
    return std::string(KeyPress(control, kKeyEnter).focusTo);
}

TEST(KeyFilter, EnterWalksThePlaceAndTimeFields) {
    EXPECT_EQ(EnterFocus("Edit3"), "Edit5");
    EXPECT_EQ(EnterFocus("Edit5"), "Edit23");
    EXPECT_EQ(EnterFocus("Edit23"), "");  // the chain ends in the seconds field

    std::string at = "Edit12";
    std::string walked = at;
    while (!(at = EnterFocus(at)).empty()) walked += ">" + at;
    EXPECT_EQ(walked, "Edit12>Edit2>Edit7>Edit11>Edit4");
}

TEST(KeyFilter, EnterIsSwallowedExceptByTheWindow) {
    for (const char* control : {"Edit3", "Edit5", "Edit12", "Edit2", "Edit7", "Edit11", "Edit4",
                                "Edit6", "Edit17", "Edit18", "Edit19", "Edit20", "Edit22", "Edit15",
                                "Edit21", "Edit13", "Edit24", "Edit25", "Edit26"}) {
        SCOPED_TRACE(control);
        ASSERT_NE(KeyPressHandlerFor(control), nullptr);
        EXPECT_FALSE(KeyPress(control, kKeyEnter).passes);
    }
    EXPECT_EQ(FormKeyPress(kKeyEnter), (TKeyResult{true, {}}));
    EXPECT_EQ(FormKeyPress(u'.'), (TKeyResult{true, {}}));
    EXPECT_EQ(FormKeyPress(u'-'), (TKeyResult{false, {}}));
}

}  // namespace
}  // namespace zuka

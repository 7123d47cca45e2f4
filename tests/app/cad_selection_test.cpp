// The command line's selections made in a running CAD by filter or window instead of the user's
// picks, here on the drawing host standing in for the CAD.
#include "app/cad_selection.h"

#include <gtest/gtest.h>

#include "example_fixture.h"

namespace zuka {
namespace {

TEST(CadSelection, ExpressionsAsTheCadSelects) {
    struct Row {
        const char* expr;
        bool ok;
        int mode;
        std::vector<int> types;
        std::vector<std::string> data;
    } rows[] = {
        {"all", true, kSelectAll, {8}, {"~ZUKA_*"}},
        {"layer=建物,別棟", true, kSelectAll, {8}, {"建物,別棟"}},
        {"all+layer=建物", true, kSelectAll, {8}, {"建物"}},
        {"window=10,20,0,5+layer=A", true, kSelectWindow, {8}, {"A"}},
        {"handle=40", false, 0, {}, {}},
        {"layer=A+layer=B", false, 0, {}, {}},
        {"window=0,0,1,1+window=2,2,3,3", false, 0, {}, {}},
        {"layer=", false, 0, {}, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.expr);
        std::string error;
        const std::optional<TCadSelection> s = CadSelectionOf(r.expr, error);
        ASSERT_EQ(s.has_value(), r.ok) << error;
        if (!s) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(s->mode, r.mode);
        EXPECT_EQ(s->filterTypes, r.types);
        std::vector<std::string> data;
        for (const CadValue& v : s->filterData) data.push_back(std::get<std::string>(v));
        EXPECT_EQ(data, r.data);
    }
    std::string error;
    const TCadSelection w = *CadSelectionOf("window=10,20,0,5", error);
    EXPECT_EQ(w.p1.x, 0);
    EXPECT_EQ(w.p2.y, 20);
}

class ScriptedSelectionTest : public ExampleDrawingTest {};

// The buildings of 取得 by filter, no pick asked of the user; "all" leaves out the results.
TEST_F(ScriptedSelectionTest, AcquisitionAndAllWithoutTheResults) {
    std::string error;
    c_.scriptedSelection = CadSelectionOf("layer=建物", error);
    c_.Button2Click();
    EXPECT_EQ(c_.ws.AryTatemono.size(), 26u);
    EXPECT_FALSE(c_.scriptedSelection);
    EXPECT_EQ(picks_.Pending(), 0u);

    c_.Button3Click();  // results on ZUKA_ layers
    ASSERT_GT(CountOnLayer("ZUKA_JIKOKU"), 0);
    Document& doc = host_.ActiveDocument();
    SelectionSetPtr ss = GetTempSelSet(doc);
    SelectInCad(*ss, *CadSelectionOf("all", error));
    Block& ms = doc.ModelSpace();
    int others = 0;
    for (int i = 0; i < ms.Count(); ++i) others += !IsResultLayer(ms.Item(i)->Layer());
    EXPECT_EQ(ss->Count(), others);
}

}  // namespace
}  // namespace zuka

#include <set>

#include "cad/host/selection_expr.h"
#include "host_test_util.h"

namespace zuka {
namespace {

using namespace zuka::testing;

TEST(SelectionExpr, ParsesTermsAndRefusesMalformedOnes) {
    struct Row {
        const char* text;
        std::vector<SelectionTermKind> kinds;  // empty: malformed
        std::vector<std::string> names;        // of the first term
        const char* errorPart;                 // quoted in the message of a malformed one
    };
    using K = SelectionTermKind;
    const Row rows[] = {
        {"all", {K::All}, {}, ""},
        {" ALL ", {K::All}, {}, ""},
        {"layer=A,建物", {K::Layer}, {"A", "建物"}, ""},
        {"handle=1f, 2A", {K::Handle}, {"1F", "2A"}, ""},
        {"1F,2A", {K::Handle}, {"1F", "2A"}, ""},
        {"layer=A+window=0,0,10,10", {K::Layer, K::Window}, {"A"}, ""},
        {"", {}, {}, "空"},
        {"layer=", {}, {}, "\"layer=\""},
        {"layer=A,", {}, {}, "\"layer=A,\""},
        {"handle=xyz", {}, {}, "\"xyz\""},
        {"window=1,2,3", {}, {}, "\"window=1,2,3\""},
        {"window=a,0,1,1", {}, {}, "\"window=a,0,1,1\""},
        {"colour=1", {}, {}, "\"colour=1\""},
        {"buildings", {}, {}, "\"buildings\""},
        {"all+", {}, {}, "\"all+\""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        std::string error;
        const std::optional<TSelectionExpr> expr = ParseSelectionExpr(r.text, error);
        if (r.kinds.empty()) {
            EXPECT_FALSE(expr);
            EXPECT_NE(error.find(r.errorPart), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(expr) << error;
        ASSERT_EQ(expr->terms.size(), r.kinds.size());
        for (std::size_t i = 0; i < r.kinds.size(); ++i) EXPECT_EQ(expr->terms[i].kind, r.kinds[i]);
        EXPECT_EQ(expr->terms[0].names, r.names);
    }
    std::string error;
    const std::optional<TSelectionExpr> window = ParseSelectionExpr("window=10,20,0,5", error);
    ASSERT_TRUE(window);
    const TSelectionTerm& w = window->terms[0];
    EXPECT_EQ(std::vector<double>({w.x1, w.y1, w.x2, w.y2}), std::vector<double>({0, 5, 10, 20}));
}

// Four entities: a line and a circle on layer A, a line and a text on layer B.
//   L1 line (0,0)-(10,0) on A          C  circle centre (50,50) radius 5 on A
//   L2 line (100,100)-(110,100) on B   T  text "P1" at (5,5), height 2.5, on B
class Selection : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        host_.New();
        Document& doc = host_.ActiveDocument();
        doc.Layers().Add("A");
        doc.Layers().Add("B");
        Block& ms = doc.ModelSpace();
        l1_ = ms.AddLine({0, 0, 0}, {10, 0, 0});
        l1_->SetLayer("A");
        l2_ = ms.AddLine({100, 100, 0}, {110, 100, 0});
        l2_->SetLayer("B");
        // A result drawn before: `all` leaves it out, naming its layer takes it.
        doc.Layers().Add("Zuka_Jikoku");
        r_ = ms.AddLine({1000, 1000, 0}, {1010, 1000, 0});
        r_->SetLayer("Zuka_Jikoku");
        c_ = ms.AddCircle({50, 50, 0}, 5);
        c_->SetLayer("A");
        t_ = ms.AddText("P1", {5, 5, 0}, 2.5);
        t_->SetLayer("B");
    }

    std::set<std::string> Handles(const SelectionSetPtr& ss) {
        std::set<std::string> h;
        for (int i = 0; i < ss->Count(); ++i) h.insert(ss->Item(i)->Handle());
        return h;
    }

    ScriptedInteraction ui_;
    DrawingHost host_{&ui_};
    EntityPtr l1_, l2_, c_, t_, r_;
};

TEST_F(Selection, OnScreenTakesTheUsersExpression) {
    Document& doc = host_.ActiveDocument();
    const auto h = [](const EntityPtr& e) { return e->Handle(); };
    struct Row {
        const char* name;
        std::string answer;  // empty: Escape
        std::vector<int> filterTypes;
        std::vector<CadValue> filterData;
        std::set<std::string> want;
    };
    const Row rows[] = {
        {"all", "all", {}, {}, {h(l1_), h(l2_), h(c_), h(t_)}},
        {"layer, any case", "layer=a", {}, {}, {h(l1_), h(c_)}},
        {"window holds wholly inside only", "window=-1,-1,60,60", {}, {}, {h(l1_), h(c_), h(t_)}},
        {"window cutting the circle", "window=-1,-1,52,60", {}, {}, {h(l1_), h(t_)}},
        {"all terms must hold", "layer=A+window=-1,-1,20,20", {}, {}, {h(l1_)}},
        {"handles", "handle=" + h(l2_) + "," + h(t_), {}, {}, {h(l2_), h(t_)}},
        {"with a type filter", "all", {0}, {std::string("LINE")}, {h(l1_), h(l2_)}},
        {"with a layer filter", "all", {8}, {std::string("B")}, {h(l2_), h(t_)}},
        {"a result layer by name", "layer=ZUKA_JIKOKU", {}, {}, {h(r_)}},
        {"Escape selects nothing", "", {}, {}, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        if (r.answer.empty())
            ui_.PushEscape();
        else
            ui_.PushSelection(r.answer);
        const SelectionSetPtr ss = doc.SelectionSets().Add("ssZuka");
        ss->SelectOnScreen(r.filterTypes, r.filterData);
        EXPECT_EQ(Handles(ss), r.want);
        ss->Delete();
    }
    ui_.PushSelection("layer");
    const SelectionSetPtr ss = doc.SelectionSets().Add("ssZuka");
    EXPECT_THROW(ss->SelectOnScreen(), AutomationError);
}

TEST_F(Selection, SelectsTheLastEntityAndWindows) {
    Document& doc = host_.ActiveDocument();
    const SelectionSetPtr ss = doc.SelectionSets().Add("ssTemp");
    ss->Select(kSelectLast, {}, {});
    EXPECT_EQ(Handles(ss), std::set<std::string>{t_->Handle()});
    t_->Delete();
    ss->Clear();
    ss->Select(kSelectLast, {}, {});
    EXPECT_EQ(Handles(ss), std::set<std::string>{c_->Handle()});

    // The window (5,-5)-(20,5) cuts L1: a crossing window takes it, a window does not.
    ss->Clear();
    ss->Select(kSelectWindow, {5, -5, 0}, {20, 5, 0});
    EXPECT_EQ(ss->Count(), 0);
    ss->Select(kSelectCrossing, {20, 5, 0}, {5, -5, 0});
    EXPECT_EQ(Handles(ss), std::set<std::string>{l1_->Handle()});

    // The label search: texts within 1000 of a point, corners given top-left, bottom-right.
    const EntityPtr label = doc.ModelSpace().AddText("7", {900, 0, 0}, 2.5);
    ss->Clear();
    ss->Select(kSelectCrossing, {-1000, 1000, 0}, {1000, -1000, 0}, {0}, {std::string("TEXT")});
    EXPECT_EQ(Handles(ss), std::set<std::string>{label->Handle()});
    ss->Clear();
    ss->Select(kSelectWindow, {-1, -1, 0}, {200, 200, 0}, {0}, {std::string("LWPOLYLINE,LINE")});
    EXPECT_EQ(Handles(ss), (std::set<std::string>{l1_->Handle(), l2_->Handle()}));
    EXPECT_THROW(ss->Select(kSelectAll, {}, {}, {62}, {1}), AutomationError);
    EXPECT_THROW(ss->Select(2, {}, {}), AutomationError);
}

TEST_F(Selection, SetsAreNamedAndGoAwayWithTheirDrawing) {
    Document& doc = host_.ActiveDocument();
    const SelectionSetPtr ss = doc.SelectionSets().Add("ssTemp");
    EXPECT_THROW(doc.SelectionSets().Add("ssTemp"), AutomationError);
    ss->Delete();
    EXPECT_EQ(doc.SelectionSets().Count(), 0);
    EXPECT_THROW(ss->Count(), AutomationError);
    const SelectionSetPtr again = doc.SelectionSets().Add("ssTemp");
    EXPECT_EQ(doc.SelectionSets().Item(0)->Name(), "ssTemp");
    EXPECT_THROW(doc.SelectionSets().Item(1), AutomationError);
    host_.New();
    EXPECT_THROW(again->Select(kSelectLast, {}, {}), AutomationError);
    EXPECT_EQ(host_.ActiveDocument().SelectionSets().Count(), 0);
}

}  // namespace
}  // namespace zuka

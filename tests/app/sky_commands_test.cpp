// The sky-factor commands against the embedded drawing host: the example drawing's buildings,
// measurement points in the grid, the user's picks scripted.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/number.h"
#include "example_fixture.h"
#include "sky/outline_factor.h"

namespace zuka {
namespace {

constexpr char kAreaRefused2[] =
    "[AREA]には対応していません．\n[計画建物]または[適合建物]にチェックを付けて下さい．";
constexpr char kAreaRefused4[] =
    "[AREA]には対応していません．\n[計画]または[適合]にチェックを付けて下さい．";
constexpr char kNoPointData[] = "測定点データがありません．";

class SkyCommandsTest : public ExampleDrawingTest {
protected:
    void SetUp() override {
        ExampleDrawingTest::SetUp();
        if (HasFatalFailure()) return;
        c_.form.RadioGroup2 = 1;
        c_.RadioGroup2Click();
        // The three measurement points of the drawing, with their number texts.
        c_.form.StringGrid1.resize(1);
        AddRow("15000", "40000", "1");
        AddRow("35000", "42000", "2");
        AddRow("55000", "42000", "3");
        commandsBefore_ = host_.CommandLog().size();
    }

    void AddRow(const std::string& x, const std::string& y, const std::string& name) {
        TGridCells& g = c_.form.StringGrid1;
        g.push_back({std::to_string(g.size()), x, y, name, "0", "", "", ""});
    }
    void NoTables() {
        c_.form.CheckBox3 = c_.form.CheckBox5 = false;
        c_.form.CheckBox6 = c_.form.CheckBox7 = false;
    }

    EntityPtr FindText(const std::string& text) {
        Block& ms = host_.ActiveDocument().ModelSpace();
        for (int i = 0; i < ms.Count(); ++i) {
            EntityPtr e = ms.Item(i);
            if (e->EntityName() == "AcDbText" && e->TextString() == text) return e;
        }
        return nullptr;
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> m;
        for (const RecordingUiHost::TMessage& msg : ui_.messages) m.push_back(msg.text);
        return m;
    }

    std::size_t commandsBefore_ = 0;
};

TEST_F(SkyCommandsTest, MethodSelectionIsSharedAndGatesTheTables) {
    c_.form.RadioGroup4 = 0;
    c_.RadioGroup4Click();
    EXPECT_EQ(c_.form.RadioGroup2, 0);
    EXPECT_FALSE(c_.tableBoxesEnabled);
    c_.form.RadioGroup2 = 2;
    c_.RadioGroup2Click();
    EXPECT_EQ(c_.form.RadioGroup4, 2);
    EXPECT_TRUE(c_.tableBoxesEnabled);

    // With AREA every drawing command refuses, with its page's wording, and draws nothing.
    struct Row {
        const char* name;
        void (Controller::*run)(int);
        const char* message;
    } rows[] = {{"Button8", &Controller::Button8Click, kAreaRefused2},
                {"Button13", &Controller::Button13Click, kAreaRefused4},
                {"Button18", &Controller::Button18Click, kAreaRefused4}};
    c_.form.RadioGroup4 = 0;
    c_.RadioGroup4Click();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ui_.messages.clear();
        (c_.*r.run)(0);
        EXPECT_EQ(Messages(), std::vector<std::string>{r.message});
        EXPECT_EQ(host_.CommandLog().size(), commandsBefore_);
    }
}

// 測定点指示 near the point's number text: the text names the point, the map is drawn where
// the user places it with its notes, triangles and both tables, and the number goes up.
TEST_F(SkyCommandsTest, PickedPointTakesTheNearbyNumber) {
    c_.form.Edit16 = "7";
    picks_.PushPoint({35010, 41990, 0});    // the point, beside its text "2"
    picks_.PushPoint({100000, 100000, 0});  // the map centre
    picks_.PushPoint({110000, 105000, 0});  // the triangle table
    picks_.PushPoint({130000, 105000, 0});  // the position table
    c_.Button8Click(0);
    EXPECT_TRUE(ui_.messages.empty()) << ui_.messages[0].text;
    EXPECT_EQ(c_.GB_TenMeiA, "2");
    EXPECT_EQ(c_.form.Edit16, "3");
    EXPECT_EQ(c_.form.UpDown2, 3);
    EXPECT_DOUBLE_EQ(c_.IDPOINT1.x, 35010);
    ASSERT_EQ(c_.SkyMapCentres().size(), 1u);
    EXPECT_DOUBLE_EQ(c_.IDPOINT2.x, 100000);
    EXPECT_TRUE(FindText("測定点 2"));
    EXPECT_EQ(c_.form.Label74.rfind("面積 1963.495, ", 0), 0u) << c_.form.Label74;
    EXPECT_GT(CountOnLayer("ZUKA_TSANSYA"), 0);   // triangles and their table
    EXPECT_GT(CountOnLayer("ZUKA_TTATEITI"), 0);  // corner marks and the position table
    EXPECT_EQ(picks_.Pending(), 0u);
    // Each insertion the user places is named before its prompt, and the name cleared after.
    EXPECT_EQ(ui_.placing, (std::vector<std::string>{"天空図", "", "三斜求積表", "", "建物位置確認表", ""}));
    EXPECT_EQ(ui_.minimiseCount > 0, true);
    EXPECT_GE(ui_.restoreCount, ui_.minimiseCount);
}

// A cancelled pick still draws the previous point's map and counts the number on.
TEST_F(SkyCommandsTest, CancelledPickDrawsThePreviousPoint) {
    NoTables();
    c_.IDPOINT1 = {55000, 42000, 0};
    picks_.PushEscape();
    picks_.PushPoint({100000, 100000, 0});
    c_.Button8Click(1);
    EXPECT_DOUBLE_EQ(c_.IDPOINT1.x, 55000);
    EXPECT_EQ(c_.SkyMapCentres().size(), 1u);
    EXPECT_EQ(c_.form.UpDown6, 2);
    EXPECT_EQ(c_.form.Edit14, "2");
    EXPECT_FALSE(c_.form.Label74.empty());
}

TEST_F(SkyCommandsTest, RowMapAndTheNextRow) {
    NoTables();
    c_.form.RadioGroup4 = 1;
    c_.RadioGroup4Click();
    c_.form.CheckBox9 = true;
    c_.form.StringGrid1Row = 3;
    picks_.PushPoint({100000, 100000, 0});
    c_.Button13Click(0);
    EXPECT_TRUE(ui_.messages.empty()) << ui_.messages[0].text;
    EXPECT_EQ(c_.SkyMapCentres().size(), 1u);
    EXPECT_EQ(c_.GB_TenMeiA, "3");
    EXPECT_TRUE(FindText("測定点 3"));
    EXPECT_EQ(c_.form.StringGrid1Row, 1);  // after the last row, back to the first

    // Without a running CAD 作図 does nothing and says nothing.
    c_.SetCadConnector(nullptr);
    const std::size_t log = host_.CommandLog().size();
    c_.Button13Click(0);
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(host_.CommandLog().size(), log);
    EXPECT_EQ(c_.form.StringGrid1Row, 1);

    c_.SetCadConnector(&connector_);
    c_.form.StringGrid1Row = 0;
    c_.Button13Click(0);
    EXPECT_EQ(Messages(), std::vector<std::string>{"測定点データが選択されていません．"});
}

TEST_F(SkyCommandsTest, BatchMaps) {
    c_.form.RadioGroup4 = 1;
    c_.RadioGroup4Click();
    struct Row {
        const char* name;
        int emptyRows;     // blank rows after the three points
        bool clearPoints;  // no point at all
        const char* pitch;
        std::size_t maps;
        std::vector<std::string> messages;
    } rows[] = {
        {"three filled, two empty", 2, false, "75", 3, {}},
        {"pitch 0", 0, false, "0", 0, {}},
        {"no point", 0, true, "75", 0, {kNoPointData}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ui_.messages.clear();
        for (int i = 0; i < r.emptyRows; ++i) AddRow("", "", "");
        if (r.clearPoints) {
            for (std::size_t i = 1; i < c_.form.StringGrid1.size(); ++i)
                c_.form.StringGrid1[i][1].clear();
        }
        c_.form.Edit8 = r.pitch;
        picks_.PushPoint({100000, 100000, 0});
        c_.Button18Click(0);
        EXPECT_EQ(Messages(), r.messages);
        ASSERT_EQ(c_.SkyMapCentres().size(), r.maps);
        for (std::size_t i = 0; i < r.maps; ++i)
            EXPECT_DOUBLE_EQ(c_.SkyMapCentres()[i].x, 100000 + 75.0 * 200 * static_cast<double>(i));
        ASSERT_FALSE(host_.PromptLog().empty());
        EXPECT_EQ(host_.PromptLog().back(), "天空図作成 ... 終了しました．");
        while (picks_.Pending() > 0) picks_.Ask(AnswerKind::Point, "");
    }
}

TEST_F(SkyCommandsTest, LabelBecomesTwoTexts) {
    c_.form.Label74 = "面積 1963.495, 523.456 天空率 73.340%";
    EntityPtr ref = FindText("サンプル敷地");
    ASSERT_TRUE(ref);
    picks_.Push({AnswerKind::Entity, ref->InsertionPoint(), ref->Handle(), {}, 0});
    picks_.PushPoint({1000, 2000, 0});
    c_.Button27Click();
    EntityPtr t1 = FindText("水平円射影面積 1963.495, 523.456");
    EntityPtr t2 = FindText("天空率 73.340%");
    ASSERT_TRUE(t1 && t2);
    EXPECT_EQ(t1->Layer(), ref->Layer());
    EXPECT_DOUBLE_EQ(t1->Height(), ref->Height());
    EXPECT_DOUBLE_EQ(t1->InsertionPoint().y, 2000);
    EXPECT_DOUBLE_EQ(t2->InsertionPoint().y, 2000 - 1.5 * ref->Height());
}

TEST_F(SkyCommandsTest, GridEditingAndMenu) {
    AddRow("60000", "50000", "4");
    c_.form.StringGrid1Row = 2;
    c_.StringGrid1Click();
    EXPECT_EQ(c_.form.Edit10, "2");
    c_.form.Edit10 = "B-2";
    c_.Edit10Change();
    EXPECT_EQ(c_.form.StringGrid1[2][3], "B-2");
    c_.form.Button13.Enabled = true;
    c_.form.Edit26 = "1.5";
    c_.Edit26Change();
    EXPECT_EQ(c_.form.StringGrid1[2][4], "1.5");
    EXPECT_FALSE(c_.form.Button13.Enabled);
    char key = 'x';
    c_.Edit26KeyPress(key);
    EXPECT_EQ(key, 0);
    c_.form.StringGrid1Row = 4;
    key = '\r';
    c_.Edit26KeyPress(key);
    EXPECT_EQ(c_.form.StringGrid1Row, 1);

    c_.N2Click();
    const TGridCells& g = c_.form.StringGrid1;
    ASSERT_EQ(g.size(), 5u);
    EXPECT_EQ(g[0][0], "番号");
    EXPECT_EQ(g[1][3], "4");
    EXPECT_EQ(g[2][3], "3");
    EXPECT_EQ(g[3][3], "B-2");
    EXPECT_EQ(g[4][3], "1");
    const std::string text = c_.N1Click();
    EXPECT_EQ(text.substr(0, text.find("\r\n")),
              "番号\t X座標\t Y座標\t 測定点\t 測定面\t 内接\t<AREA<\t 外接");
    EXPECT_NE(text.find("\r\n4\t60000\t50000\t4\t1.5\t\t\t\r\n"), std::string::npos) << text;
}

TEST_F(SkyCommandsTest, RecalculationFillsTheGrid) {
    c_.form.StringGrid1[2][4] = "3:00:00";
    AddRow("", "", "");
    c_.Button9Click();
    EXPECT_EQ(Messages(), std::vector<std::string>{kNoPointData});
    const TGridCells& g = c_.form.StringGrid1;
    EXPECT_EQ(g[2][4], "0");
    for (int r = 1; r <= 3; ++r) {
        SCOPED_TRACE(r);
        const auto row = g[static_cast<std::size_t>(r)];
        const double naisetu = *ParseDouble(row[5]);
        const double area = *ParseDouble(row[6]);
        const double gaisetu = *ParseDouble(row[7]);
        EXPECT_LT(naisetu, area);
        EXPECT_LT(area, gaisetu);
        EXPECT_GT(area, 50);
        EXPECT_LT(area, 100);
    }
    EXPECT_EQ(c_.form.StringGrid1Row, 3);
    EXPECT_TRUE(c_.form.Button18.Enabled);
    EXPECT_TRUE(c_.form.Button9.Enabled);

    // A radius that is no number stops the command before the grid changes.
    const TGridCells before = g;
    c_.form.Edit21 = "abc";
    EXPECT_THROW(c_.Button9Click(), ConvertError);
    EXPECT_EQ(c_.form.StringGrid1, before);

    // No circle to measure against: refused with a message, the grid as it was.
    struct Refusal {
        const char* radiusA;
        const char* radiusB;
        const char* scale;
        const char* message;
    };
    const Refusal refusals[] = {
        {"0", "0", "100", "天空図の半径が正しくありません. "},
        {"-25", "-100", "100", "天空図の半径が正しくありません. "},
        {"25", "100", "0", "図面の尺度が正しくありません. "},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.message);
        c_.form.Edit15 = r.radiusA;
        c_.form.Edit21 = r.radiusB;
        c_.form.Edit19 = r.scale;
        ui_.messages.clear();
        EXPECT_FALSE(c_.Button9Click());
        EXPECT_EQ(Messages(), std::vector<std::string>{r.message});
        EXPECT_EQ(c_.form.StringGrid1, before);
    }
    // The larger map is measured: a type A radius of 0 beside type B's does not matter.
    c_.form.Edit15 = "0";
    c_.form.Edit21 = "100";
    c_.form.Edit19 = "100";
    ui_.messages.clear();
    EXPECT_TRUE(c_.Button9Click());
    EXPECT_FALSE(c_.form.StringGrid1[1][5].empty());
}

// The map drawn for a point says what the recalculation put in its row: the triangles of the
// planned building the inscribed factor, those of the conforming building the circumscribed
// one, the CAD's area the AREA factor. Points 1 and 2 see several buildings with open sky
// between them down to the horizon.
TEST_F(SkyCommandsTest, DrawnMapsAgreeWithTheRecalculation) {
    NoTables();
    c_.Button9Click();
    ASSERT_TRUE(ui_.messages.empty()) << ui_.messages[0].text;
    const TGridCells grid = c_.form.StringGrid1;
    ASSERT_EQ(TenkuRecalcType(*ParseDouble(c_.form.Edit15), *ParseDouble(c_.form.Edit21)), 1);
    for (const int method : {1, 2}) {
        c_.form.RadioGroup2 = method;
        c_.RadioGroup2Click();
        for (std::size_t row = 1; row <= 3; ++row) {
            SCOPED_TRACE(::testing::Message() << "method " << method << ", point " << row);
            c_.form.StringGrid1Row = static_cast<int>(row);
            picks_.PushPoint({100000.0 * static_cast<double>(row), 300000, 0});
            c_.Button13Click(1);
            // The note under the map, the last one drawn.
            std::string note;
            Block& ms = host_.ActiveDocument().ModelSpace();
            for (int i = 0; i < ms.Count(); ++i) {
                EntityPtr e = ms.Item(i);
                if (e->EntityName() == "AcDbText" && e->TextString().rfind("天空率 = ", 0) == 0)
                    note = e->TextString();
            }
            const std::string want = method == 1 ? grid[row][5] : grid[row][7];
            EXPECT_EQ(note, "天空率 = " + want + "%");
            const std::string& label = c_.form.Label74;
            EXPECT_EQ(label.substr(label.find("天空率 ")), "天空率 " + grid[row][6] + "%");
        }
    }
}

// A point among the buildings (the buildings stand around it by more than half a turn): the
// recalculation leaves its row empty and names it once; its map is refused with a message and
// nothing is drawn.
TEST_F(SkyCommandsTest, PointAmongTheBuildingsIsRefused) {
    NoTables();
    AddRow("34000", "27000", "中庭");
    c_.Button9Click();
    EXPECT_EQ(Messages(), std::vector<std::string>{"次の測定点は建物に半周以上囲まれているため、"
                                                   "天空率を求めていません : 4"});
    const TGridCells& g = c_.form.StringGrid1;
    EXPECT_TRUE(g[4][5].empty() && g[4][6].empty() && g[4][7].empty());
    EXPECT_FALSE(g[3][5].empty());

    ui_.messages.clear();
    const int before = host_.ActiveDocument().ModelSpace().Count();
    c_.form.StringGrid1Row = 4;
    picks_.PushPoint({100000, 100000, 0});
    c_.Button13Click(1);
    EXPECT_EQ(Messages(), std::vector<std::string>{"測定点 中庭 は建物に半周以上囲まれているため、"
                                                   "天空図と天空率を求められません．"});
    EXPECT_TRUE(c_.SkyMapCentres().empty());
    EXPECT_EQ(host_.ActiveDocument().ModelSpace().Count(), before);
}

// Far from the buildings the sky factor nears 100 % but never passes it (a point 700 m off once
// gave 100.338: overlapping triangles made the projected area negative); a point beyond any site
// is named and left out; with the plane above every building all three columns read 100.000.
TEST_F(SkyCommandsTest, FarPointsAndTheEmptySky) {
    AddRow("500000", "500000", "far");
    AddRow("1000000", "1000000", "farther");
    ASSERT_TRUE(c_.Button9Click());
    const TGridCells& g = c_.form.StringGrid1;
    for (std::size_t r : {4u, 5u}) {
        for (std::size_t col = 5; col <= 7; ++col) {
            SCOPED_TRACE(g[r][3] + " column " + std::to_string(col));
            const std::optional<double> f = ParseDouble(g[r][col]);
            ASSERT_TRUE(f.has_value()) << g[r][col];
            EXPECT_LE(*f, 100);
            EXPECT_GT(*f, 99.9);
        }
    }
    // Beyond ±1,000 km (the bound of the buildings' coordinates) a point gets no value but a
    // message naming it.
    AddRow("1e300", "0", "nowhere");
    ui_.messages.clear();
    ASSERT_TRUE(c_.Button9Click());
    EXPECT_TRUE(g[6][5].empty() && g[6][6].empty() && g[6][7].empty());
    EXPECT_EQ(Messages(), std::vector<std::string>{"次の測定点は座標が ±1000000000 mm を超えるか"
                                                   "数値でないため、天空率を求めていません : 6"});
    c_.form.StringGrid1.pop_back();

    for (std::size_t r = 1; r < g.size(); ++r) c_.form.StringGrid1[r][4] = "200";
    ASSERT_TRUE(c_.Button9Click());
    for (std::size_t r = 1; r < g.size(); ++r)
        EXPECT_EQ(std::vector<std::string>(g[r].begin() + 5, g[r].end()),
                  std::vector<std::string>(3, "100.000"))
            << r;
}

// A map drawn without scale ticks: -BOUNDARY around its centre measures the sky part, close to
// the factor the map itself reported.
TEST_F(SkyCommandsTest, BoundaryAreaCheck) {
    NoTables();
    c_.form.Edit13 = "0";
    c_.form.Edit18 = "0";
    c_.form.CheckBox10 = false;
    c_.form.StringGrid1Row = 2;
    c_.form.RadioGroup4 = 1;
    picks_.PushPoint({100000, 100000, 0});
    c_.Button13Click(0);
    ASSERT_EQ(c_.SkyMapCentres().size(), 1u);
    const std::string drawn = c_.form.Label74;
    const std::size_t at = drawn.find("天空率 ");
    ASSERT_NE(at, std::string::npos) << drawn;
    const double drawnRitu = *ParseDouble(drawn.substr(at + 10, drawn.size() - at - 11));

    picks_.PushPoint({100010, 100010, 0});
    c_.Button26Click();
    const std::string& checked = c_.form.Label74;
    ASSERT_EQ(checked.rfind("面積 ", 0), 0u) << checked;
    // The circle from the boundary's arcs: 25 mm within the host's arc fitting.
    EXPECT_NEAR(*ParseDouble(checked.substr(7, checked.find(',') - 7)), 1963.495, 10) << checked;
    const std::size_t at2 = checked.find("天空率 ");
    const double checkedRitu = *ParseDouble(checked.substr(at2 + 10, checked.size() - at2 - 11));
    EXPECT_NEAR(checkedRitu, drawnRitu, 0.5) << drawn << " / " << checked;
    EXPECT_EQ(host_.CommandLog().back(), "-BOUNDARY\r100010.000,100010.000\r\r");
    EXPECT_EQ(ui_.restoreCount >= ui_.minimiseCount, true);
}

}  // namespace
}  // namespace zuka

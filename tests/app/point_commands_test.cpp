// The specific points and the point capture against the embedded drawing host: the example
// drawing's buildings and measurement points, the user's picks scripted.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../buildings.h"
#include "example_fixture.h"

namespace zuka {
namespace {

constexpr Controller::PointGrid StringGrid1 = Controller::PointGrid::StringGrid1;
constexpr Controller::PointGrid StringGrid2 = Controller::PointGrid::StringGrid2;

class PointCommandsTest : public ExampleDrawingTest {
protected:
    // Rows of the specific-point grid by hand: x, y (and name).
    void SetPoints(const std::vector<std::vector<std::string>>& rows) {
        TGridCells& g = c_.form.StringGrid2;
        g.resize(1);
        for (const std::vector<std::string>& r : rows) {
            std::vector<std::string> row(11);
            row[0] = std::to_string(g.size());
            for (std::size_t i = 0; i < r.size(); ++i) row[i + 1] = r[i];
            g.push_back(row);
        }
    }
    std::vector<std::string> Column(const TGridCells& g, std::size_t col) {
        std::vector<std::string> v;
        for (std::size_t r = 1; r < g.size(); ++r) v.push_back(g[r][col]);
        return v;
    }
    std::vector<EntityPtr> Texts() {
        std::vector<EntityPtr> t;
        Block& ms = host_.ActiveDocument().ModelSpace();
        for (int i = 0; i < ms.Count(); ++i)
            if (ms.Item(i)->EntityName() == "AcDbText") t.push_back(ms.Item(i));
        return t;
    }
};

TEST_F(PointCommandsTest, CirclesAndTheirNumbersSelectedTogether) {
    c_.form.RadioGroup3 = 2;  // 60 s
    picks_.PushSelection("layer=測定点");
    c_.Button22Click(StringGrid2);
    EXPECT_EQ(host_.PromptLog().back(), "測定点の円と文字を一緒に選択して下さい.\r\n");
    const TGridCells& g = c_.form.StringGrid2;
    ASSERT_EQ(g.size(), 4u);
    // Spread more in x than in y: numbered from left to right.
    EXPECT_EQ(Column(g, 1), (std::vector<std::string>{"15000", "35000", "55000"}));
    EXPECT_EQ(Column(g, 2), (std::vector<std::string>{"40000", "42000", "42000"}));
    EXPECT_EQ(Column(g, 3), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(c_.sg, StringGrid2);
    // The times were computed at once: point 2 lies north-west of the tower D, in its shadow
    // in the morning.
    for (std::size_t r = 1; r < 4; ++r) EXPECT_FALSE(g[r][4].empty()) << r;
    EXPECT_EQ(g[2][5], "08:00'00\"");
    EXPECT_FALSE(g[2][6].empty());
    EXPECT_EQ(c_.form.ProgressBar1.Max, 480);
    EXPECT_EQ(c_.form.ProgressBar1.Position, 0);
    EXPECT_FALSE(c_.form.RunFlag);

    // The sky page's Button16: the same capture into StringGrid1, then its sky factors.
    c_.form.RadioGroup2 = 1;
    c_.RadioGroup2Click();
    picks_.PushSelection("layer=測定点");
    c_.Button22Click(StringGrid1);
    const TGridCells& s = c_.form.StringGrid1;
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[3][3], "3");
    EXPECT_EQ(s[3][4], "0");  // the circle's elevation in metres: the plane height
    for (std::size_t r = 1; r < 4; ++r) EXPECT_FALSE(s[r][5].empty()) << r;
}

TEST_F(PointCommandsTest, PointsPickedOneAfterAnother) {
    c_.form.RadioGroup3 = 2;
    // Spread more in y than in x: numbered from bottom to top. A point without a text nearby
    // keeps its running number; two picks closer than 1e-5 give one row (the later stays).
    picks_.PushPoint({15000, 40000, 0});        // TEXT "1" at 15400, 40400
    picks_.PushPoint({5000, 20000, 0});         // no text: its running number, 2
    picks_.PushPoint({5000, 20000.000001, 0});  // the same point again: 3
    picks_.PushPoint({6000, 30000, 0});         // 4
    c_.Button21Click(StringGrid2);              // the queue runs out: Escape ends the input
    const TGridCells& g = c_.form.StringGrid2;
    ASSERT_EQ(g.size(), 4u);
    EXPECT_EQ(Column(g, 2), (std::vector<std::string>{"20000.000001", "30000", "40000"}));
    EXPECT_EQ(Column(g, 3), (std::vector<std::string>{"3", "4", "1"}));
    EXPECT_EQ(Column(g, 0), (std::vector<std::string>{"1", "2", "3"}));
    int picked = 0;
    for (const std::string& p : host_.PromptLog()) picked += p == "座標が指示されました.\r\n";
    EXPECT_EQ(picked, 4);
    EXPECT_EQ(picks_.Prompts()[1], "特定点を指示 <Enter=終了> : ");
    EXPECT_EQ(std::get<int>(host_.ActiveDocument().GetVariable("BLIPMODE")), 0);
    EXPECT_TRUE(c_.ws.AryTempPoint.empty());
    EXPECT_FALSE(g[1][4].empty());  // computed

    // With a target CAD that answers through ID and LASTPOINT: the same capture.
    c_.form.TargetProgID = "AutoCAD.Application.24";
    picks_.PushPoint({55000, 42000, 0});
    c_.Button21Click(StringGrid2);
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[1][3], "3");
    EXPECT_EQ(host_.CommandLog().back(), "ID\r");
}

TEST_F(PointCommandsTest, IdCaptureEndsOnAnError) {
    // The drawing goes away while the user answers the second ID: from then on every pass of
    // the capture fails. It ends there instead of going round for ever.
    struct CloseOnSecondAsk : Interaction {
        DrawingHost* host = nullptr;
        int asks = 0;
        TAnswer Ask(AnswerKind, const std::string&) override {
            if (++asks == 1) return {AnswerKind::Point, {15000, 40000, 0}, {}, {}, 0};
            host->Close();
            return {};
        }
    } user;
    user.host = &host_;
    c_.form.TargetProgID = "AutoCAD.Application.24";
    host_.SetInteraction(&user);
    c_.Button21Click(StringGrid2);
    host_.SetInteraction(&picks_);
    EXPECT_EQ(user.asks, 2);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "エラーです．");
}

TEST_F(PointCommandsTest, WholeDayAndItsSteps) {
    // A point inside building A: 8:00 to 16:00 at 60 s gives 480 instants, all shaded.
    c_.form.RadioGroup3 = 2;
    SetPoints({{"26000", "19000"}});
    c_.Button23Click();
    const TGridCells& g = c_.form.StringGrid2;
    EXPECT_EQ(g[1][4], "08:00'00\"");
    EXPECT_EQ(g[1][5], "08:00'00\"");
    EXPECT_EQ(g[1][6], "16:00'00\"");
    EXPECT_EQ(g[1][7], "");
    EXPECT_EQ(c_.form.ProgressBar1.Max, 480);
    EXPECT_TRUE(c_.form.Button15.Enabled);
    EXPECT_EQ(c_.form.Button23.Caption, "再計算");

    // 1/10 of 10 s: 28,800 instants.
    c_.form.RadioGroup3 = 0;
    c_.form.CheckBox2 = true;
    c_.Button23Click();
    EXPECT_EQ(c_.form.ProgressBar1.Max, 28800);
    EXPECT_EQ(g[1][4], "08:00'00\"");
}

TEST_F(PointCommandsTest, FourShadowsShowThreeAndCountAll) {
    // Four thin towers south of the point: its shadow arrives four times.
    c_.ws.AryTatemono.clear();
    for (double x : {-9000.0, -3000.0, 3000.0, 9000.0}) {
        const std::vector<TLineEnt> w =
            testing_buildings::Box(100000 + x - 500, 50000, 100000 + x + 500, 51000, 30000);
        c_.ws.AryTatemono.insert(c_.ws.AryTatemono.end(), w.begin(), w.end());
    }
    c_.form.RadioGroup3 = 2;
    SetPoints({{"100000", "70000"}});
    c_.Button23Click();
    const std::vector<std::string>& row = c_.form.StringGrid2[1];
    for (std::size_t c = 5; c <= 10; ++c) EXPECT_FALSE(row[c].empty()) << c;
    const std::vector<Controller::TTokuteiExactRow> exact = c_.TokuteiExact();
    ASSERT_EQ(exact.size(), 1u);
    ASSERT_EQ(exact[0].intervals.size(), 4u);
    double shownMinutes = 0;
    auto minutes = [](const std::string& t) {  // HH:MM'SS"
        return std::stoi(t.substr(0, 2)) * 60 + std::stoi(t.substr(3, 2)) +
               std::stoi(t.substr(6, 2)) / 60.0;
    };
    for (std::size_t c = 5; c <= 9; c += 2) shownMinutes += minutes(row[c + 1]) - minutes(row[c]);
    // The total holds the fourth interval too.
    EXPECT_GT(minutes(row[4]), shownMinutes + 1);
    EXPECT_NEAR(minutes(row[4]), exact[0].steppedHours * 60, 1.0 / 12);
}

TEST_F(PointCommandsTest, StopOneRunAtATimeAndRefusals) {
    SetPoints({{"15000", "40000"}, {"35000", "42000"}});
    c_.form.RadioGroup3 = 0;
    int pumps = 0;
    ui_.onProcessMessages = [&] {
        if (++pumps != 100) return;
        // While it runs the captures are off and refused, and 中止 stops it.
        EXPECT_FALSE(c_.form.Button21.Enabled);
        EXPECT_FALSE(c_.form.Button16.Enabled);
        EXPECT_EQ(c_.form.Button23.Caption, "中止");
        const std::size_t prompts = picks_.Prompts().size();
        picks_.PushSelection("layer=測定点");
        c_.Button22Click(StringGrid2);
        c_.Button21Click(StringGrid1);
        EXPECT_EQ(picks_.Prompts().size(), prompts);
        c_.Button23Click();
    };
    c_.Button23Click();
    const TGridCells& g = c_.form.StringGrid2;
    ASSERT_EQ(g.size(), 3u);  // the grid kept its rows
    EXPECT_EQ(g[1][4], "");   // no total: the run was stopped
    EXPECT_FALSE(c_.form.RunFlag);
    EXPECT_EQ(c_.form.Button23.Caption, "再計算");
    EXPECT_FALSE(c_.form.Button7.Enabled);
    EXPECT_TRUE(c_.form.Button21.Enabled);
    EXPECT_EQ(c_.form.ProgressBar1.Position, 0);
    EXPECT_TRUE(c_.TokuteiExact().empty());

    SetPoints({});
    c_.Button23Click();
    Controller empty(ui_, dir_);
    empty.Button23Click();
    ASSERT_EQ(ui_.messages.size(), 2u);
    EXPECT_EQ(ui_.messages[0].text, "測定点データがありません．");
    EXPECT_EQ(ui_.messages[1].text, "建物データがありません．");
}

TEST_F(PointCommandsTest, TableDrawnIntoTheDrawing) {
    c_.leaveRecord = false;  // the table's texts alone
    c_.form.RadioGroup3 = 1;
    c_.form.CheckBox2 = true;  // 30 s / 10: the header shows 3 秒
    SetPoints({{"15000", "40000", "北"}, {"35000", "42000", ""}});
    c_.Button23Click();
    const std::size_t textsBefore = Texts().size();
    picks_.PushPoint({70000, 10000, 0});
    c_.Button15Click();
    ASSERT_EQ(c_.LastInsert().status, InsertStatus::Placed);
    const std::vector<EntityPtr> texts = Texts();
    ASSERT_EQ(texts.size(), textsBefore + 3);
    const TGridCells& g = c_.form.StringGrid2;
    EXPECT_EQ(g[2][3], "2");  // an empty name became the row number
    std::vector<std::string> drawn;
    for (std::size_t i = textsBefore; i < texts.size(); ++i) {
        drawn.push_back(texts[i]->TextString());
        EXPECT_DOUBLE_EQ(texts[i]->Height(), 300);
    }
    std::string row2 = "2 " + g[2][4] + " [" + g[2][5] + "-" + g[2][6] + "] ";
    if (!g[2][7].empty()) row2 += " [" + g[2][7] + "-" + g[2][8] + "] ";
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), "測定面の高さ= 0.0 メートル /評価時間= 3 秒"),
              drawn.end());
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), row2), drawn.end());
    EXPECT_EQ(host_.UndoMarksStarted(), host_.UndoMarksEnded());

    // A height of 0 is refused before anything is started.
    c_.form.Edit38 = "0";
    const int undo = host_.UndoMarksStarted();
    const std::size_t commands = host_.CommandLog().size();
    c_.Button15Click();
    EXPECT_EQ(host_.UndoMarksStarted(), undo);
    EXPECT_EQ(host_.CommandLog().size(), commands);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text,
              "文字高さ (Common.takasa2) は 0 より大きい数にしてください : 0");
}

TEST_F(PointCommandsTest, StepWithoutChoiceAndRenaming) {
    // No evaluation step chosen: refused, naming the setting, as the equal-time diagram
    // refuses it (the window offers no step for it to take).
    c_.form.RadioGroup3 = -1;
    SetPoints({{"26000", "19000", "A"}});
    c_.Button23Click();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_NE(ui_.messages[0].text.find("(Touji.kankaku)"), std::string::npos);
    EXPECT_EQ(c_.form.StringGrid2[1][4], "");
    ui_.messages.clear();
    c_.form.RadioGroup3 = 2;  // 60 s
    c_.Button23Click();
    EXPECT_EQ(c_.form.ProgressBar1.Max, 480);
    EXPECT_EQ(c_.form.StringGrid2[1][4], "08:00'00\"");

    c_.form.StringGrid2Row = 1;
    c_.StringGrid2Click();
    EXPECT_EQ(c_.form.Edit41, "A");
    c_.form.Edit41 = "B";
    c_.Edit41Change();
    EXPECT_EQ(c_.form.StringGrid2[1][3], "B");
    c_.Edit6Change();
    EXPECT_FALSE(c_.form.Button15.Enabled);

    // Instants before 7:30 have no sun position: no shadow, and a message says so.
    c_.form.Edit2 = "7.0";
    c_.Button23Click();
    EXPECT_EQ(c_.form.StringGrid2[1][5], "07:30'00\"");
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text,
              "評価時間のうち太陽位置の計算範囲 (7:30～16:30) の外の時刻は日影に数えません : "
              "7:00:00～7:29:00");
}

}  // namespace
}  // namespace zuka

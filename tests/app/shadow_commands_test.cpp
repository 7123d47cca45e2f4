// 時刻 and 等時間日影 against the embedded drawing host, from acquisition to insertion.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/number.h"
#include "example_fixture.h"

namespace zuka {
namespace {

using ShadowCommandsTest = ExampleDrawingTest;

TEST_F(ShadowCommandsTest, TimeOfDayIsInsertedExplodedAtTheOrigin) {
    c_.Button3Click();
    const TInsertResult& ins = c_.LastInsert();
    ASSERT_EQ(ins.status, InsertStatus::Sent) << (ui_.messages.empty() ? "" : ui_.messages[0].text);
    EXPECT_EQ(ins.blockName, "ZUKA_1");
    EXPECT_EQ(ins.file, dir_ / "ZUKA_1.dxf");
    ASSERT_FALSE(host_.CommandLog().empty());
    EXPECT_EQ(host_.CommandLog().back(), "-INSERT\r\"*" + ins.file.string() + "\"\r0,0 1 0\r");
    // Nine whole hours, at least one outline each, with their labels.
    EXPECT_GE(CountOnLayer("ZUKA_JIKOKU"), 18);
    EXPECT_TRUE(ui_.messages.empty()) << ui_.messages[0].text;
    EXPECT_FALSE(c_.form.RunFlag);
    EXPECT_TRUE(c_.form.Button3.Enabled);
    EXPECT_FALSE(c_.form.Button10.Enabled);
    // The next diagram takes the next number.
    c_.Button3Click();
    EXPECT_EQ(c_.LastInsert().blockName, "ZUKA_2");
}

// Values a settings file may hold that would make a diagram loop for ever, overflow its
// counts or compute something else than the window shows: refused when the command starts,
// naming the setting, with nothing drawn (the preview of the mesh refuses the times too).
TEST_F(ShadowCommandsTest, ValuesThatCannotWorkAreRefusedWhenTheCommandStarts) {
    struct Row {
        const char* name;
        std::function<void(Form&)> set;
        bool equalTime;
        const char* key;
    };
    const Row rows[] = {
        {"step 0", [](Form& f) { f.Edit11 = "0"; }, false, "Jikoku.kankaku"},
        {"step giving a billion times", [](Form& f) { f.Edit11 = "1e-9"; }, false,
         "Jikoku.kankaku"},
        {"end 1e300", [](Form& f) { f.Edit7 = "1e300"; }, false, "Jikoku.owari"},
        {"start 1e300", [](Form& f) { f.Edit2 = "1e300"; }, false, "Jikoku.kaishi"},
        {"end before the start", [](Form& f) { f.Edit2 = "12"; f.Edit7 = "9"; }, false,
         "Jikoku.owari"},
        {"equal time: end before the start", [](Form& f) { f.Edit2 = "12"; f.Edit7 = "9"; },
         true, "Jikoku.owari"},
        {"equal time: no period", [](Form& f) { f.Edit2 = f.Edit7 = "12"; }, true,
         "Jikoku.owari"},
        {"equal time: start 1e300", [](Form& f) { f.Edit2 = "1e300"; }, true, "Jikoku.kaishi"},
        {"season not chosen", [](Form& f) { f.RadioGroup1 = -1; }, false, "Common.kisetsu"},
        {"latitude beyond the pole", [](Form& f) { f.Edit3 = "95"; }, false, "Common.ido1"},
        {"equal time: step not chosen", [](Form& f) { f.RadioGroup5 = -1; }, true,
         "Touji.kankaku2"},
    };
    // The regulation check samples the same period.
    c_.form.Edit7 = "1e300";
    c_.KiseiCheck({});
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_NE(ui_.messages[0].text.find("(Jikoku.owari)"), std::string::npos);
    c_.form.Edit7 = "16.0";
    const Form initial = c_.form;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        c_.form = initial;
        r.set(c_.form);
        ui_.messages.clear();
        const std::size_t commands = host_.CommandLog().size();
        // The sun's inputs stop the command as a text that is no number does; the diagram's
        // own refusals are told in a message box.
        std::string told;
        try {
            r.equalTime ? c_.Button6Click() : c_.Button3Click();
            ASSERT_EQ(ui_.messages.size(), 1u);
            told = ui_.messages[0].text;
        } catch (const RangeError& e) {
            told = e.what();
        }
        EXPECT_NE(told.find(r.key), std::string::npos) << told;
        EXPECT_EQ(host_.CommandLog().size(), commands);
        EXPECT_FALSE(c_.form.RunFlag);
        EXPECT_TRUE(c_.form.Button6.Enabled);
    }
    EXPECT_EQ(CountOnLayer("ZUKA_JIKOKU") + CountOnLayer("ZUKA_TOUJI"), 0);
    c_.form = initial;
    c_.form.Edit7 = "1e300";
    ui_.messages.clear();
    c_.CheckListBox1Click();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_NE(ui_.messages[0].text.find("Jikoku.owari"), std::string::npos);

    // True north far beyond a turn once looped for ever; it is only a direction.
    c_.form = initial;
    c_.form.Edit12 = "-1e17";
    c_.Button3Click();
    EXPECT_EQ(c_.LastInsert().status, InsertStatus::Sent);
}

// A drawing whose only outline lies at height 0 (the site): no wall stands above the plane, so
// no diagram has a shadow to draw (both say so and draw nothing) and the sky is whole.
TEST_F(ShadowCommandsTest, NothingAboveThePlaneInEveryCommand) {
    picks_.PushSelection("layer=敷地");
    c_.Button2Click();
    ASSERT_EQ(c_.ws.AryTatemono.size(), 4u);
    ui_.messages.clear();
    const std::size_t commands = host_.CommandLog().size();
    c_.Button3Click();
    c_.Button6Click();
    ASSERT_EQ(ui_.messages.size(), 2u);
    for (const RecordingUiHost::TMessage& m : ui_.messages)
        EXPECT_EQ(m.text, "測定面の高さ 4.0 m (Common.takasa) より高い建物がないため、日影はできません．");
    EXPECT_EQ(host_.CommandLog().size(), commands);
    EXPECT_TRUE(c_.form.Button6.Enabled);

    c_.form.StringGrid1 = NewGrid(kStringGrid1Headings);
    c_.form.StringGrid1[1] = {"1", "15000", "40000", "1", "0", "", "", ""};
    ASSERT_TRUE(c_.Button9Click());
    EXPECT_EQ(std::vector<std::string>(c_.form.StringGrid1[1].begin() + 5,
                                       c_.form.StringGrid1[1].end()),
              std::vector<std::string>(3, "100.000"));
}

TEST_F(ShadowCommandsTest, StoppingInsertsNothing) {
    int pumps = 0;
    ui_.onProcessMessages = [&] {
        if (++pumps == 5) c_.Button10Click();  // 中止 pressed during the run
    };
    c_.Button3Click();
    EXPECT_TRUE(c_.LastInsert().blockName.empty());
    EXPECT_EQ(CountOnLayer("ZUKA_JIKOKU"), 0);
    EXPECT_EQ(c_.form.ProgressBar1.Position, 0);

    pumps = 0;
    ui_.onProcessMessages = [&] {
        if (++pumps == 50) c_.Button7Click();
    };
    c_.Button6Click();
    EXPECT_TRUE(c_.LastInsert().blockName.empty());
    EXPECT_EQ(CountOnLayer("ZUKA_TOUJI"), 0);
    EXPECT_TRUE(c_.form.Button6.Enabled);  // restored
    EXPECT_FALSE(c_.form.Button7.Enabled);
}

TEST_F(ShadowCommandsTest, EqualTimeIsInsertedWithItsOwnCommandWord) {
    c_.form.RadioGroup5 = 2;  // 60 s, 1200 cells
    c_.Button6Click();
    const TInsertResult& ins = c_.LastInsert();
    ASSERT_EQ(ins.status, InsertStatus::Sent);
    EXPECT_EQ(host_.CommandLog().back(), "-INsERT\r\"*" + ins.file.string() + "\"\r0,0 1 0\r");
    EXPECT_GT(CountOnLayer("ZUKA_TOUJI"), 14);
    EXPECT_EQ(c_.form.Label22.rfind("ﾒｯｼｭｻｲｽﾞ : ", 0), 0u) << c_.form.Label22;
    EXPECT_EQ(c_.form.Label2.rfind("所要時間 : ", 0), 0u) << c_.form.Label2;
}

TEST_F(ShadowCommandsTest, MeshSizePreview) {
    c_.form.Button6.Enabled = true;
    c_.form.RadioGroup5 = 2;
    c_.CheckListBox1Click();
    const std::string at1200 = c_.form.Label22;
    EXPECT_EQ(at1200.rfind("ﾒｯｼｭｻｲｽﾞ : ", 0), 0u) << at1200;
    EXPECT_EQ(c_.form.GB_hyoukaidx, 2);
    EXPECT_EQ(c_.form.GB_toujiidx, 0);
    c_.form.RadioGroup5 = 0;  // 2000 cells: a finer mesh over the same extent
    c_.RadioGroup5Click();
    const double coarse = std::stod(at1200.substr(at1200.find(':') + 2));
    const double fine = std::stod(c_.form.Label22.substr(c_.form.Label22.find(':') + 2));
    EXPECT_NEAR(fine, coarse * 1200 / 2000, 0.1);
}

TEST_F(ShadowCommandsTest, EqualTimeRefusals) {
    Controller empty(ui_, dir_);
    empty.SetCadConnector(&connector_);
    empty.Button6Click();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "基準データが作成されていません．");
    host_.Close();
    c_.Button6Click();
    ASSERT_EQ(ui_.messages.size(), 2u);
    EXPECT_EQ(ui_.messages[1].text, "有効な CAD が見つかりません．");
}

TEST_F(ShadowCommandsTest, TrueNorthFromTwoPoints) {
    picks_.PushAngle(1.2);
    c_.SpeedButton1Click();
    EXPECT_EQ(c_.form.Edit12, "68.7549");
    EXPECT_EQ(host_.PromptLog().back(), "指示された角度 : 68.7549\r\n");
    picks_.PushEscape();
    c_.SpeedButton1Click();
    EXPECT_EQ(c_.form.Edit12, "68.7549");
    EXPECT_EQ(std::get<int>(host_.ActiveDocument().GetVariable("BLIPMODE")), 0);
}

TEST_F(ShadowCommandsTest, AnimationIsNotSupported) {
    c_.Button17Click();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "[アニメ]には対応していません．");
}

}  // namespace
}  // namespace zuka

// 取得 against the embedded drawing host: the picked entities become the building model.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/controller.h"
#include "cad/host/drawing_host.h"
#include "cad/interaction.h"

namespace zuka {
namespace {

const std::filesystem::path kFixture =
    std::filesystem::path(ZUKA_TEST_DATA) / "acquisition" / "acquire.dxf";

class AcquisitionTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host_.Load(kFixture, error)) << error;
        c_.SetCadConnector(&connector_);
    }

    ScriptedInteraction picks_;
    DrawingHost host_{&picks_};
    HostConnector connector_{host_};
    RecordingUiHost ui_;
    Controller c_{ui_, std::filesystem::temp_directory_path()};
};

TEST_F(AcquisitionTest, EveryKindBecomesWallSegments) {
    picks_.PushSelection("layer=建物");
    c_.Button2Click();
    // 35 circle chords, 3 arc pieces, 16 for the thick square, 36 ellipse chords, 4 for the
    // thick line, 4 for the raised rectangle; text, block reference and hatch are ignored.
    EXPECT_EQ(c_.ws.AryTatemono.size(), 98u);
    EXPECT_DOUBLE_EQ(c_.ws.gbzmax, 10000);
    for (const TLineEnt& s : c_.ws.AryTatemono) {
        EXPECT_EQ(s.id, 0);
        EXPECT_EQ(s.atumi, 0);
    }
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_TRUE(c_.form.Button3.Enabled);
    EXPECT_TRUE(c_.form.Button6.Enabled);
    EXPECT_TRUE(c_.form.SpeedButton1.Enabled);
    EXPECT_EQ(host_.PromptLog().back(), "図形が選択されました.\r\n");
    // The selection set is deleted again.
    EXPECT_EQ(host_.ActiveDocument().SelectionSets().Count(), 0);
    // The conversion lists are emptied, the segments stay in AryLine too.
    EXPECT_TRUE(c_.ws.AryCircle.empty());
    EXPECT_EQ(c_.ws.AryLine.size(), 98u);
}

// Every computation handles negative coordinates (the command line's test moves the example
// drawing far into them), so taking them says nothing.
TEST_F(AcquisitionTest, NegativeCoordinatesAreTakenWithoutAWord) {
    picks_.PushSelection("layer=負");
    c_.Button2Click();
    ASSERT_EQ(c_.ws.AryTatemono.size(), 1u);
    EXPECT_TRUE(ui_.messages.empty());
}

// Numbers that are valid DXF but no building's: each entity is refused by its handle, at once,
// and the model stays as it was (extreme.dxf tells what each entity holds).
TEST_F(AcquisitionTest, ExtremeNumbersAreRefusedByHandle) {
    std::string error;
    ASSERT_TRUE(host_.Load(std::filesystem::path(ZUKA_TEST_DATA) / "acquisition" / "extreme.dxf",
                           error))
        << error;
    picks_.PushSelection("handle=10");
    c_.Button2Click();
    ASSERT_EQ(c_.ws.AryTatemono.size(), 4u);
    for (const char* hand : {"11", "12", "13", "14", "15", "16", "18"}) {
        SCOPED_TRACE(hand);
        ui_.messages.clear();
        picks_.PushSelection(std::string("handle=10,") + hand);
        c_.Button2Click();
        ASSERT_EQ(ui_.messages.size(), 1u);
        EXPECT_NE(ui_.messages[0].text.find(std::string("ハンドル ") + hand + " の図形"),
                  std::string::npos)
            << ui_.messages[0].text;
        EXPECT_EQ(c_.ws.AryTatemono.size(), 4u);
    }
    // The side bulged by 1e-300 is the straight side.
    ui_.messages.clear();
    picks_.PushSelection("handle=17");
    c_.Button2Click();
    EXPECT_TRUE(ui_.messages.empty());
    ASSERT_EQ(c_.ws.AryTatemono.size(), 1u);
    EXPECT_EQ(c_.ws.AryTatemono[0].ed.x, 1000);
}

TEST_F(AcquisitionTest, NothingSelectedKeepsThePreviousModel) {
    picks_.PushSelection("layer=建物");
    c_.Button2Click();
    ASSERT_EQ(c_.ws.AryTatemono.size(), 98u);
    picks_.PushEscape();  // the user presses Escape at the selection
    c_.Button2Click();
    EXPECT_EQ(c_.ws.AryTatemono.size(), 98u);
    EXPECT_EQ(host_.PromptLog().back(), "何も選択されませんでした.\r\n");
    picks_.PushSelection("layer=無い画層");
    c_.Button2Click();
    EXPECT_EQ(c_.ws.AryTatemono.size(), 98u);
    // A second acquisition replaces the first entirely, gbzmax anew.
    picks_.PushSelection("layer=負");
    c_.Button2Click();
    EXPECT_EQ(c_.ws.AryTatemono.size(), 1u);
    EXPECT_DOUBLE_EQ(c_.ws.gbzmax, 0);
}

TEST_F(AcquisitionTest, NoCadDoesNothing) {
    host_.Close();
    picks_.PushSelection("all");
    c_.Button2Click();
    EXPECT_TRUE(c_.ws.AryTatemono.empty());
    EXPECT_FALSE(c_.form.Button3.Enabled);
    EXPECT_EQ(picks_.Pending(), 1u);  // nobody was asked
}

TEST_F(AcquisitionTest, SnapshotMenu) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / "zuka_snapshot_menu_test";
    std::filesystem::create_directories(dir);
    Controller c(ui_, dir);
    Controller::TPopupMenu2State m = c.Button2MouseDown();
    EXPECT_FALSE(m.N8 || m.N6 || m.N4);
    std::ofstream(dir / "dxfnow.dxf") << "";
    c.ws.AryTatemono.resize(1);
    m = c.Button2MouseDown();
    EXPECT_TRUE(m.N8);
    EXPECT_FALSE(m.N6);
    EXPECT_TRUE(m.N4);
    c.N6Click();
    EXPECT_FALSE(c.form.Button17.Enabled);  // ｱﾆﾒ is not supported: never enabled
    EXPECT_TRUE(c.form.Button3.Enabled);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zuka

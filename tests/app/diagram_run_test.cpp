// Drawing commands run to their end over a drawing session: what was drawn, 中止, refusals,
// and the sky maps placed at a given centre.
#include "app/diagram_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/number.h"
#include "temp_dir.h"

namespace zuka {
namespace {

class DiagramRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(
            s_.Open(std::filesystem::path(ZUKA_SOURCE_DIR) / "examples" / "sample.dxf", error))
            << error;
        c_.FormCreate(IniFile{});
        ASSERT_TRUE(AcquireTatemono(c_, s_, "layer=建物"));
    }

    int CountOnLayer(const std::string& layer) {
        Block& ms = s_.Host().ActiveDocument().ModelSpace();
        int n = 0;
        for (int i = 0; i < ms.Count(); ++i) n += ms.Item(i)->Layer() == layer;
        return n;
    }

    testing::TempDir dir_;
    RecordingUiHost ui_;
    Controller c_{ui_, dir_.Path()};
    DrawingSession s_;
};

TEST_F(DiagramRunTest, TimeOfDayDrawnThenRefused) {
    DiagramRun run(c_, TimeOfDayCommand());
    ASSERT_EQ(run.Run(), DiagramEnd::Drawn);
    const std::string summary = run.Summary();
    EXPECT_EQ(
        summary.rfind("時刻日影図\t8.0 ～ 16.0 時, 1.0 時間ごと, 測定面 4.0 m\n所要時間\t", 0), 0u)
        << summary;
    EXPECT_NE(
        summary.find(" 秒\nブロック\tZUKA_1\t" + (dir_.Path() / "ZUKA_1.dxf").string() + "\n"),
        std::string::npos)
        << summary;
    // A refused second run does not pass for the first one's diagram.
    c_.form.Edit11 = "0";
    EXPECT_EQ(run.Run(), DiagramEnd::NothingDrawn);
    EXPECT_EQ(run.NothingDrawn(), "時刻日影図を作図できませんでした．");
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_TRUE(c_.SettingsRefused());
}

TEST_F(DiagramRunTest, StopInsertsNothing) {
    for (TDiagramCommand cmd : {TimeOfDayCommand(), EqualTimeCommand()}) {
        DiagramRun run(c_, cmd);
        int pumps = 0;
        std::string label;
        ui_.onProcessMessages = [&] {
            if (++pumps == 5) {
                label = run.ProgressText();
                run.Stop();  // 中止 pressed during the run
            }
        };
        EXPECT_EQ(run.Run(), DiagramEnd::Stopped);
        EXPECT_FALSE(label.empty());
    }
    EXPECT_EQ(CountOnLayer("ZUKA_JIKOKU"), 0);
    EXPECT_EQ(CountOnLayer("ZUKA_TOUJI"), 0);
    EXPECT_FALSE(c_.form.RunFlag);
}

TEST_F(DiagramRunTest, SkyMapAtACentre) {
    c_.form.StringGrid1[1] = {"1", "35000", "42000", "2", "0", "", "", ""};
    TSkyMapRequest r;
    r.row = 2;
    r.at = {80000, 40000, 0};
    EXPECT_EQ(DrawSkyMapsAt(c_, &s_, r), SkyMapEnd::NoSuchPoint);
    c_.form.Edit19 = "1/200";
    r.row = 1;
    EXPECT_THROW(DrawSkyMapsAt(c_, &s_, r), ConvertError);
    EXPECT_EQ(CountOnLayer("ZUKA_TENKU"), 0);

    // AREA on the form: the planned building; the tables stand to the map's right.
    c_.form.Edit19 = "200";
    c_.form.RadioGroup2 = 0;
    ASSERT_EQ(DrawSkyMapsAt(c_, &s_, r), SkyMapEnd::Drawn);
    EXPECT_EQ(c_.form.RadioGroup2, 1);
    ASSERT_EQ(c_.SkyMapCentres().size(), 1u);
    EXPECT_EQ(c_.SkyMapCentres()[0].x, 80000);
    EXPECT_EQ(c_.SkyMapCentres()[0].y, 40000);
    EXPECT_GT(CountOnLayer("ZUKA_TSANSYA"), 0);
    EXPECT_EQ(s_.Picks().Pending(), 0u);

    r.fit = true;
    r.row = 0;
    ASSERT_EQ(DrawSkyMapsAt(c_, &s_, r), SkyMapEnd::Drawn);
    EXPECT_EQ(c_.form.RadioGroup2, 2);
    EXPECT_EQ(c_.SkyMapCentres().size(), 1u);
}

}  // namespace
}  // namespace zuka

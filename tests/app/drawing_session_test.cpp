// The drawing session: opening, acquiring, prompts, saving, and where a result is saved.
#include "app/drawing_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace zuka {
namespace {

const std::filesystem::path kSample =
    std::filesystem::path(ZUKA_SOURCE_DIR) / "examples" / "sample.dxf";

TEST(DrawingSession, OpenAcquireAndSave) {
    testing::TempDir dir;
    RecordingUiHost ui;
    Controller c(ui, dir.Path());
    c.FormCreate(IniFile{});
    DrawingSession s;
    std::string error;
    ASSERT_TRUE(s.Open(kSample, error)) << error;
    EXPECT_EQ(s.Path(), kSample);

    EXPECT_FALSE(AcquireTatemono(c, s, "layer=無い画層"));
    EXPECT_EQ(s.TakePrompts(),
              (std::vector<std::string>{"建物図形を選択して下さい.", "何も選択されませんでした."}));
    ASSERT_TRUE(AcquireTatemono(c, s, "layer=建物"));
    EXPECT_EQ(c.ws.AryTatemono.size(), 26u);
    // Only the prompts shown since the last call, without their line ends.
    EXPECT_EQ(s.TakePrompts(),
              (std::vector<std::string>{"建物図形を選択して下さい.", "図形が選択されました."}));
    EXPECT_TRUE(s.TakePrompts().empty());

    const std::filesystem::path out = dir.Path() / "out.dxf";
    const std::filesystem::path svg = dir.Path() / "out.svg";
    ASSERT_TRUE(s.Save(out, error)) << error;
    ASSERT_TRUE(s.SavePicture(svg, "out.dxf"));
    std::ifstream in(svg);
    const std::string picture((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(picture.find("out.dxf"), std::string::npos);

    // A drawing that cannot be read leaves the open one open; the saved one reads back.
    const std::filesystem::path missing = dir.Path() / "missing.dxf";
    EXPECT_FALSE(s.Open(missing, error));
    EXPECT_NE(error.find(missing.string()), std::string::npos) << error;
    EXPECT_EQ(s.Path(), kSample);
    EXPECT_TRUE(s.Host().IsOpen());
    DrawingSession again;
    ASSERT_TRUE(again.Open(out, error)) << error;
    EXPECT_TRUE(AcquireTatemono(c, again, "layer=建物"));
    EXPECT_EQ(c.ws.AryTatemono.size(), 26u);
}

// The model belongs to the drawing it was taken from: once another drawing is open, the
// buildings, the points and the last results are gone, and 時刻 asks for 取得 again instead of
// drawing the old buildings' shadows into the new drawing.
TEST(DrawingSession, AnotherDrawingDropsTheModel) {
    testing::TempDir dir;
    RecordingUiHost ui;
    Controller c(ui, dir.Path());
    c.FormCreate(IniFile{});
    DrawingSession s;
    std::string error;
    ASSERT_TRUE(s.Open(kSample, error)) << error;
    ASSERT_TRUE(AcquireTatemono(c, s, "layer=建物"));
    EXPECT_EQ(ModelSummary(c, &s).front(), "線分\t26 本");
    c.form.StringGrid2 = {c.form.StringGrid2[0], {"1", "35000", "42000", "1"}};
    c.Button3Click();
    ASSERT_EQ(c.LastInsert().status, InsertStatus::Sent);
    ASSERT_TRUE(c.form.Button3.Enabled);

    const std::filesystem::path other =
        std::filesystem::path(ZUKA_TEST_DATA) / "drawings" / "kinds.dxf";
    ASSERT_TRUE(s.Open(other, error)) << error;
    EXPECT_TRUE(c.ws.AryTatemono.empty());
    EXPECT_TRUE(ModelSummary(c, &s).empty());
    EXPECT_FALSE(GridRowHasPoint(c.form.StringGrid2, 1));
    EXPECT_EQ(c.LastInsert().status, TInsertResult{}.status);
    EXPECT_FALSE(c.form.Button3.Enabled);
    EXPECT_FALSE(c.form.Button6.Enabled);
    const int count = s.Host().ActiveDocument().ModelSpace().Count();
    ui.messages.clear();
    c.Button3Click();
    EXPECT_EQ(s.Host().ActiveDocument().ModelSpace().Count(), count);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "基準データが作成されていません．");
}

TEST(DrawingSession, ResultPathNeverTheInput) {
    testing::TempDir dir;
    const std::filesystem::path drawing = dir.MakeFile("site.DXF");
    EXPECT_EQ(ResultPath(drawing), dir.Path() / "site-zuka.DXF");
    EXPECT_EQ(ResultPath("site.dxf"), "site-zuka.dxf");
    EXPECT_EQ(ResultPath(drawing, dir.Path() / "other.dxf"), dir.Path() / "other.dxf");

    struct Row {
        const char* name;
        std::filesystem::path out;
        bool input;
    };
    const Row rows[] = {
        {"the same path", drawing, true},
        {"another spelling", dir.Path() / "." / "site.DXF", true},
        {"the default result", ResultPath(drawing), false},
        {"another existing file", dir.MakeFile("other.dxf"), false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(IsInputDrawing(r.out, drawing), r.input);
    }
}

// The prompts that a front end shows even when it shows no progress (--quiet).
TEST(DrawingSession, PromptsThatReportAFailure) {
    struct Row {
        const char* prompt;
        bool failure;
    };
    const Row rows[] = {
        {"建物図形を選択して下さい.", false},
        {"図形が選択されました.", false},
        {"何も選択されませんでした.", true},
        {"みなし境界線の作成に失敗しました.", true},
        {"線分取得失敗", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.prompt);
        EXPECT_EQ(PromptReportsFailure(r.prompt), r.failure);
    }
}

}  // namespace
}  // namespace zuka

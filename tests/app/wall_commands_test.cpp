// 壁面/壁面等時間 against the embedded drawing host: the pick, the two stages and the four ways
// the elevation reaches the drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <variant>

#include "example_fixture.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

// The example's wall line, 4 m north of building A: from (18000, 27000) to (34000, 27000).
constexpr char kWallHandle[] = "40";

class WallCommandsTest : public ExampleDrawingTest {
protected:
    void PickWall(const char* handle = kWallHandle) {
        picks_.Push({AnswerKind::Entity, {26000, 27000, 0}, handle, {}, 0});
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const RecordingUiHost::TMessage& m : ui_.messages) t.push_back(m.text);
        return t;
    }
};

TEST_F(WallCommandsTest, DrawnAlongTheWallLine) {
    host_.ActiveDocument().SetVariable("SNAPMODE", 1);
    PickWall();
    c_.Button5Click();
    const TInsertResult& ins = c_.LastInsert();
    ASSERT_EQ(ins.status, InsertStatus::Sent) << ::testing::PrintToString(Texts());
    // The buildings lie south of the wall: walking from st to ed (east) they are on the right.
    // Its ends have no height, so it takes the tallest building's, 24 m.
    EXPECT_EQ(c_.KabeSen.st.x, 18000);
    EXPECT_EQ(c_.KabeSen.ed.x, 34000);
    EXPECT_EQ(c_.KabeSen.st.z, 24000);
    EXPECT_EQ(host_.CommandLog().back(),
              "-INSERT\r\"*" + ins.file.string() + "\"\r18000,27000\r1.0\r0\r");
    const std::vector<std::string>& prompts = host_.PromptLog();
    ASSERT_GE(prompts.size(), 1u);
    EXPECT_EQ(prompts.back(), "線分が選択されました.\r\n");
    EXPECT_EQ(picks_.Prompts().back(), "壁面の線分を選択して下さい : ");
    EXPECT_EQ(std::get<int>(host_.ActiveDocument().GetVariable("SNAPMODE")), 1);
    // Frame: 24 height lines, 4 distance lines and the end line; building A's shadows at
    // every hour, and the equal-time outlines.
    EXPECT_EQ(CountOnLayer("ZUKA_HWAKU"), 24 + 4 + 1);
    EXPECT_GE(CountOnLayer("ZUKA_HJIKOKU"), 2 * 9);
    EXPECT_GT(CountOnLayer("ZUKA_HTOJI"), 2 * 8);
    EXPECT_TRUE(ui_.messages.empty()) << ::testing::PrintToString(Texts());
    EXPECT_FALSE(c_.form.RunFlag);
    EXPECT_TRUE(c_.form.Button5.Enabled);
    EXPECT_FALSE(c_.form.Button7.Enabled);
    EXPECT_EQ(c_.form.Label24.rfind("ﾒｯｼｭｻｲｽﾞ :", 0), 0u) << c_.form.Label24;
}

// The free-standing wall west of the buildings is shaded only early in the morning: no
// equal-time outline reaches it, and the frame and the time-of-day shadows are inserted all the
// same, with a word.
TEST_F(WallCommandsTest, WithoutEqualTimeOutlinesTheRestIsInserted) {
    PickWall("36");
    c_.Button5Click();
    EXPECT_EQ(c_.LastInsert().status, InsertStatus::Sent);
    const std::vector<std::string> want = {
        "壁面等時間の輪郭は壁面にかかりませんでした．壁面の枠と時刻日影のみ作図します．"};
    EXPECT_EQ(Texts(), want);
    EXPECT_GT(CountOnLayer("ZUKA_HWAKU"), 0);
    EXPECT_EQ(CountOnLayer("ZUKA_HTOJI"), 0);
}

TEST_F(WallCommandsTest, InsertionVariants) {
    struct Row {
        const char* name;
        bool onWall;   // CheckBox4
        bool asBlock;  // CheckBox12
        std::string answers;
    };
    const Row rows[] = {
        {"along, exploded", true, false, "\r18000,27000\r1.0\r0\r"},
        {"along, block", true, true, "\r18000,27000\r1.0 1.0\r0\r"},
        {"placed, exploded", false, false, "\rS\r1.0\rR\r0.0\r"},
        {"placed, block", false, true, "\rS\r1.0\rR\r0.0\r"},
    };
    c_.leaveRecord = false;  // the elevation's own entities come last
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        c_.form.CheckBox4 = r.onWall;
        c_.form.CheckBox12 = r.asBlock;
        PickWall();
        if (!r.onWall) picks_.PushPoint({70000, 5000, 0});
        c_.Button5Click();
        const TInsertResult& ins = c_.LastInsert();
        ASSERT_NE(ins.file, "");
        // A star only where the file is inserted exploded at once.
        const bool star = r.onWall && !r.asBlock;
        const std::string source = (star ? "\"*" : "\"") + ins.file.string() + "\"";
        EXPECT_EQ(host_.CommandLog().back(), "-INSERT\r" + source + r.answers);
        EXPECT_EQ(ins.status, r.onWall ? InsertStatus::Sent : InsertStatus::Placed);
        // Kept as a block, or exploded into the drawing with the definition gone.
        Block& ms = host_.ActiveDocument().ModelSpace();
        EXPECT_EQ(ms.Item(ms.Count() - 1)->EntityName() == "AcDbBlockReference", r.asBlock);
    }
}

// The labels of the elevation laid on the example's wall: no two of them overlap, and the
// calculation record stands clear of the whole elevation. A label's box is estimated from its
// point, height, turn and alignment, every character as wide as 0.8 of the height (the width
// factor written); the record's lines likewise.
TEST_F(WallCommandsTest, LabelsApartAndTheRecordClear) {
    PickWall();
    c_.Button5Click();
    ASSERT_EQ(c_.LastInsert().status, InsertStatus::Sent);
    struct TBox {
        double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
        void Add(double x, double y) {
            x0 = std::min(x0, x);
            y0 = std::min(y0, y);
            x1 = std::max(x1, x);
            y1 = std::max(y1, y);
        }
        bool Overlaps(const TBox& o) const {
            return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1;
        }
    };
    auto textBox = [](Entity& e) {
        const double h = e.Height();
        std::size_t chars = 0;
        for (const char ch : e.TextString()) chars += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
        const double w = static_cast<double>(chars) * h * 0.8;
        const bool aligned = e.HorizontalAlignment() != 0 || e.VerticalAlignment() != 0;
        const TAcadPoint at = aligned ? e.TextAlignmentPoint() : e.InsertionPoint();
        const double v0 = e.VerticalAlignment() == 3 ? -h : 0;
        const double a = e.Rotation();
        TBox b;
        for (const double u : {0.0, w})
            for (const double v : {v0, v0 + h})
                b.Add(at.x + u * std::cos(a) - v * std::sin(a),
                      at.y + u * std::sin(a) + v * std::cos(a));
        return b;
    };
    Block& ms = host_.ActiveDocument().ModelSpace();
    std::vector<TBox> labels;
    std::vector<TBox> record;
    TBox elevation;
    for (int i = 0; i < ms.Count(); ++i) {
        Entity& e = *ms.Item(i);
        const std::string layer = e.Layer();
        const bool ours = layer == "ZUKA_HWAKU" || layer == "ZUKA_HJIKOKU" || layer == "ZUKA_HTOJI";
        if (e.EntityName() == "AcDbText") {
            const TBox b = textBox(e);
            if (ours) {
                labels.push_back(b);
                elevation.Add(b.x0, b.y0);
                elevation.Add(b.x1, b.y1);
            }
            if (layer == c_.form.Edit50) record.push_back(b);
        } else if (ours && e.EntityName() == "AcDbLine") {
            elevation.Add(e.StartPoint().x, e.StartPoint().y);
            elevation.Add(e.EndPoint().x, e.EndPoint().y);
        } else if (ours) {
            const std::vector<double> c = e.Coordinates();
            const std::size_t stride = e.EntityName() == "AcDbPolyline" ? 2 : 3;
            for (std::size_t k = 0; k + 1 < c.size(); k += stride) elevation.Add(c[k], c[k + 1]);
        }
    }
    ASSERT_GT(labels.size(), 10u);
    for (std::size_t i = 0; i < labels.size(); ++i)
        for (std::size_t j = i + 1; j < labels.size(); ++j)
            EXPECT_FALSE(labels[i].Overlaps(labels[j])) << i << " " << j;
    ASSERT_FALSE(record.empty());
    for (const TBox& r : record) EXPECT_FALSE(r.Overlaps(elevation));
}

TEST_F(WallCommandsTest, PickCancelledOrNotALine) {
    const std::size_t commands = host_.CommandLog().size();
    picks_.PushEscape();
    c_.Button5Click();
    EXPECT_EQ(host_.PromptLog().back(), "線分取得失敗\r\n");
    PickWall("38");  // a measurement point's circle
    c_.Button5Click();
    EXPECT_EQ(host_.CommandLog().size(), commands);
    EXPECT_TRUE(c_.LastInsert().blockName.empty());
    EXPECT_EQ(CountOnLayer("ZUKA_HWAKU"), 0);
}

TEST_F(WallCommandsTest, TimeStepOfZeroIsRefused) {
    c_.form.Edit11 = "0";
    PickWall();
    c_.Button5Click();
    const std::vector<std::string> want = {
        "間隔 (時刻日影図) (Jikoku.kankaku) は 0 より大きく、時刻が 10000 を超えない間隔にしてく"
        "ださい: 0"};
    EXPECT_EQ(Texts(), want);
    EXPECT_TRUE(c_.SettingsRefused());
    EXPECT_EQ(picks_.Pending(), 1u);  // the user was not asked for the wall
}

// Times a settings file may hold that would make the wall's time-of-day stage loop for ever, and
// an equal-time step not chosen, are refused as in the other diagrams.
TEST_F(WallCommandsTest, ValuesThatCannotWorkAreRefused) {
    c_.form.Edit7 = "1e300";
    PickWall();
    c_.Button5Click();
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_NE(Texts()[0].find("(Jikoku.owari)"), std::string::npos) << Texts()[0];
    c_.form.Edit7 = "16.0";
    c_.form.RadioGroup6 = -1;
    c_.Button5Click();
    ASSERT_EQ(Texts().size(), 2u);
    EXPECT_NE(Texts()[1].find("(Touji.kankaku3)"), std::string::npos) << Texts()[1];
    EXPECT_EQ(picks_.Pending(), 1u);  // the user was not asked for the wall
    EXPECT_EQ(CountOnLayer("ZUKA_HWAKU"), 0);
}

TEST_F(WallCommandsTest, StopInsertsNothing) {
    // 中止 during the time-of-day stage (the first moments given to the window), and during the
    // equal-time stage.
    for (int at : {2, 40}) {
        SCOPED_TRACE(at);
        int pumps = 0;
        ui_.onProcessMessages = [&] {
            if (++pumps == at) c_.Button7Click();
        };
        PickWall();
        c_.Button5Click();
        EXPECT_TRUE(c_.LastInsert().blockName.empty());
        EXPECT_EQ(CountOnLayer("ZUKA_HWAKU"), 0);
        EXPECT_TRUE(c_.form.Button5.Enabled);
        EXPECT_FALSE(c_.form.Button7.Enabled);
        EXPECT_FALSE(c_.form.RunFlag);
    }
}

}  // namespace
}  // namespace zuka

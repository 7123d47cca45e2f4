// The calculation record every drawing command leaves beside what it drew, and the regulation
// check as the controller runs it, on the example drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "example_fixture.h"

namespace zuka {
namespace {

class CalcRecordTest : public ExampleDrawingTest {
protected:
    void SetUp() override {
        ExampleDrawingTest::SetUp();
        // 2025-12-22 12:34:56 local time, whatever the zone.
        std::tm tm{};
        tm.tm_year = 125;
        tm.tm_mon = 11;
        tm.tm_mday = 22;
        tm.tm_hour = 12;
        tm.tm_min = 34;
        tm.tm_sec = 56;
        tm.tm_isdst = -1;
        const auto at = std::chrono::system_clock::from_time_t(std::mktime(&tm));
        c_.recordClock = [at] { return at; };
    }
    // The texts on the record's layer, in drawing order.
    std::vector<EntityPtr> Record() {
        Block& ms = host_.ActiveDocument().ModelSpace();
        std::vector<EntityPtr> v;
        for (int i = 0; i < ms.Count(); ++i)
            if (ms.Item(i)->Layer() == "ZUKA_INFO") v.push_back(ms.Item(i));
        return v;
    }
};

TEST_F(CalcRecordTest, TimeOfDayRecordBelowTheDiagram) {
    const int before = host_.ActiveDocument().ModelSpace().Count();
    c_.Button3Click();
    ASSERT_EQ(c_.LastInsert().status, InsertStatus::Sent);
    const std::vector<EntityPtr> rec = Record();
    std::vector<std::string> lines;
    for (const EntityPtr& t : rec) lines.push_back(t->TextString());
    const std::vector<std::string> want = {
        "計算記録 時刻日影図 Zuka " + ProgramVersion() + " 2025-12-22 12:34:56",
        "図面 sample.dxf",
        "緯度 36.0000° 真北 90.0° 冬至 (赤緯 -23.45°)",
        "測定面 4.0 m 時刻 08:00～16:00",
        "建物 5 図形 26 線分 高さ 0.0 ～ 24.0 m",
        "方法 時刻ごとの日影 (間隔 1 時間)",
    };
    EXPECT_EQ(lines, want);
    // Left-aligned at the diagram's lower left corner, line under line at 1.5 text heights.
    Block& ms = host_.ActiveDocument().ModelSpace();
    double xmin = 1e300;
    double ymin = 1e300;
    for (int i = before; i < ms.Count(); ++i) {
        EntityPtr e = ms.Item(i);
        if (e->Layer() != "ZUKA_JIKOKU" || e->EntityName() == "AcDbText") continue;
        const std::vector<double> c = e->Coordinates();
        for (std::size_t k = 0; k + 1 < c.size(); k += 3) {
            xmin = std::min(xmin, c[k]);
            ymin = std::min(ymin, c[k + 1]);
        }
    }
    ASSERT_EQ(rec.size(), want.size());
    EXPECT_NEAR(rec[0]->InsertionPoint().x, xmin, 1e-6);
    EXPECT_NEAR(rec[0]->InsertionPoint().y, ymin - 450, 1e-6);
    EXPECT_NEAR(rec[5]->InsertionPoint().y, ymin - 6 * 450, 1e-6);
    EXPECT_DOUBLE_EQ(rec[0]->Height(), 300);

    // Off: the diagram alone.
    c_.leaveRecord = false;
    c_.Button3Click();
    EXPECT_EQ(Record().size(), want.size());
}

TEST_F(CalcRecordTest, EveryDrawingCommandLeavesItsRecord) {
    struct Row {
        const char* name;
        std::function<void()> run;
        std::size_t lines;
    };
    c_.form.RadioGroup5 = 2;  // 60 s: quicker
    const Row rows[] = {
        {"時刻日影図", [this] { c_.Button3Click(); }, 6},
        {"等時間日影図", [this] { c_.Button6Click(); }, 6},
        {"みなし境界線",
         [this] {
             picks_.PushSelection("layer=敷地");
             c_.Button20Click();
         },
         3},
        {"影倍率表",
         [this] {
             c_.PageControl1Change(7);
             picks_.PushPoint({100000, 50000, 0});
             c_.SpeedButton5Click();
         },
         4},
        {"3D イメージ",
         [this] {
             picks_.PushPoint({100000, 0, 0});
             c_.SpeedButton2Click();
         },
         4},
        {"日影規制の確認",
         [this] {
             picks_.PushSelection("layer=敷地");
             c_.KiseiCheck({});
         },
         6},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::size_t before = Record().size();
        r.run();
        const std::vector<EntityPtr> rec = Record();
        ASSERT_EQ(rec.size(), before + r.lines);
        EXPECT_EQ(rec[before]->TextString().rfind(std::string("計算記録 ") + r.name + " ", 0), 0u);
    }
}

TEST_F(CalcRecordTest, CalendarDayInsteadOfTheSeason) {
    c_.SetSunDate({2025, 12, 22});
    c_.Button3Click();
    ASSERT_GE(Record().size(), 3u);
    EXPECT_EQ(Record()[2]->TextString(), "緯度 36.0000° 真北 90.0° 日付 2025-12-22 (赤緯 -23.45°)");
    // Choosing a season again returns to its declination.
    c_.form.RadioGroup1 = 2;
    c_.RadioGroup1Click();
    EXPECT_FALSE(c_.SunDate());
    EXPECT_DOUBLE_EQ(c_.sun.Sekii, -kToujiSekii);
}

TEST_F(CalcRecordTest, CheckDrawsBothLinesOutlinesAndSpots) {
    picks_.PushSelection("layer=敷地");
    c_.KiseiCheck({4, 2.5, std::nullopt, false, false, true});
    const TKiseiRun& k = c_.LastKisei();
    ASSERT_EQ(k.status, KiseiStatus::Checked);
    EXPECT_TRUE(k.result.Holds());
    ASSERT_EQ(k.sites.sites, 1);
    // Two deemed lines, the outline and label of each limit, and per limit the tightest spot:
    // a line to the deemed line, a circle and its text.
    int outlines = 0;
    for (const TKiseiLimitResult& l : k.result.limits) {
        ASSERT_TRUE(l.tightest);
        EXPECT_TRUE(l.tightest->refined);
        EXPECT_GT(l.tightest->clearance, 0);
        outlines += static_cast<int>(l.outlines.size());
    }
    EXPECT_EQ(CountOnLayer("ZUKA_KISEI"), 2 + 2 * outlines + 2 * 3);
    EXPECT_EQ(host_.UndoMarksStarted(), host_.UndoMarksEnded());

    // Nothing picked for the site, and no buildings: said so, nothing drawn.
    const int drawn = CountOnLayer("ZUKA_KISEI");
    picks_.PushSelection("window=0,0,1,1");
    c_.KiseiCheck({});
    EXPECT_EQ(c_.LastKisei().status, KiseiStatus::NoSite);
    Controller empty(ui_, dir_);
    empty.KiseiCheck({});
    EXPECT_EQ(empty.LastKisei().status, KiseiStatus::NoModel);
    EXPECT_EQ(CountOnLayer("ZUKA_KISEI"), drawn);
    ASSERT_GE(ui_.messages.size(), 2u);
    EXPECT_EQ(ui_.messages[ui_.messages.size() - 2].text, "敷地の線分が選択されませんでした．");
    EXPECT_EQ(ui_.messages.back().text, "基準データが作成されていません．");
}

}  // namespace
}  // namespace zuka

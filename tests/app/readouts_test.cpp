// The sun readout and the outlines of a segment file.
#include "app/readouts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/number.h"
#include "temp_dir.h"

namespace zuka {
namespace {

TEST(Readouts, SunAtAnHour) {
    RecordingUiHost ui;
    Controller c(ui, std::filesystem::temp_directory_path());
    IniFile ini;
    ini.WriteString("Common", "kisetsu", "1");  // equinox
    c.FormCreate(ini);
    std::optional<TReadoutRows> rows = SunReadout(c, 9);
    ASSERT_TRUE(rows);
    EXPECT_EQ(*rows, (TReadoutRows{{"緯度", "36°0′0″"},
                                   {"季節", "秋春"},
                                   {"真北", "90.0°"},
                                   {"時刻", "9:00:00"},
                                   {"太陽方位角", "-59.5536°"},
                                   {"太陽高度", "34.8941°"},
                                   {"影長倍率", "1.4338"},
                                   {"影の方向", "149.5536°"}}));
    // The shadow's direction turns with true north and stays within [0, 360).
    for (const auto& [kita, dir] : {std::pair{"-90", "329.5536°"}, {"400", "99.5536°"}}) {
        SCOPED_TRACE(kita);
        c.form.Edit12 = kita;
        rows = SunReadout(c, 9);
        ASSERT_TRUE(rows);
        EXPECT_EQ(rows->back().second, dir);
    }
    EXPECT_TRUE(SunReadout(c, 7.5));
    EXPECT_FALSE(SunReadout(c, 7.4));
    EXPECT_FALSE(SunReadout(c, 16.6));
    c.form.Edit3 = "北緯";
    EXPECT_THROW(SunReadout(c, 9), ConvertError);
}

TEST(Readouts, SegmentFile) {
    testing::TempDir dir;
    const std::filesystem::path good = dir.Path() / "good.txt";
    std::ofstream(good, std::ios::binary)
        << "# header\r\n0 0 1e3 0\r\n\r\n1000 0 1000 -5.5 # end\n";
    std::string error;
    const std::optional<std::vector<TLineEnt>> segs = ReadSegmentFile(good, error);
    ASSERT_TRUE(segs) << error;
    ASSERT_EQ(segs->size(), 2u);
    EXPECT_EQ((*segs)[0].ed.x, 1000);
    EXPECT_EQ((*segs)[1].ed.y, -5.5);

    struct Row {
        const char* name;
        const char* text;
        const char* error;
    };
    const Row rows[] = {
        {"three numbers", "0 0 1 1\n0 0 1\n",
         "bad.txt (行 2: 線分は x1 y1 x2 y2 の 4 つの数値で書いてください: '0 0 1')"},
        {"five numbers", "\n0 0 1 1 2\n", "bad.txt (行 2: "},
        {"no number", "0 0 1 x\n", "bad.txt (行 1: "},
        {"control characters", "0 0 1 \x1b[2J\n",
         "(行 1: 線分は x1 y1 x2 y2 の 4 つの数値で書いてください: '0 0 1 \\x1B[2J')"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::filesystem::path bad = dir.Path() / "bad.txt";
        std::ofstream(bad) << r.text;
        error.clear();
        EXPECT_FALSE(ReadSegmentFile(bad, error));
        EXPECT_NE(error.find(r.error), std::string::npos) << error;
    }
    EXPECT_FALSE(ReadSegmentFile(dir.Path() / "missing.txt", error));
    EXPECT_EQ(error, "ファイルを開けません: " + (dir.Path() / "missing.txt").string());
}

TEST(Readouts, OutlinesOfTheSquaresExample) {
    std::string error;
    std::optional<std::vector<TLineEnt>> segs =
        ReadSegmentFile(std::filesystem::path(ZUKA_SOURCE_DIR) / "examples" / "squares.txt", error);
    ASSERT_TRUE(segs) << error;
    Workspace ws;
    const TOutlineTrace t = TraceSegmentOutlines(ws, *segs);
    EXPECT_EQ(t.end, OutlineLoopEnd::Done);
    // The union of the two overlapping squares, then the square standing apart.
    ASSERT_EQ(t.outlines.size(), 2u);
    EXPECT_EQ(t.outlines[0].size(), 8u);
    EXPECT_EQ(t.outlines[1].size(), 4u);
    EXPECT_EQ(t.outlines[1][0].x, 25000);
    EXPECT_EQ(t.outlines[1][0].y, 2000);

    EXPECT_TRUE(TraceSegmentOutlines(ws, {}).outlines.empty());
}

}  // namespace
}  // namespace zuka

namespace zuka {
namespace {

// The bar's text: the share done, and the time left from the pace so far once it is known.
TEST(ProgressReadout, PercentAndTimeLeft) {
    const struct {
        int pos, max, done;
        double seconds;
        const char* text;
    } cases[] = {
        {0, 100, 0, 0, ""},
        {25, 100, 25, 0.5, "25 %"},  // under a second: no estimate yet
        {25, 100, 25, 10, "25 %  残り 約 30 秒"},
        {10, 100, 5, 10, "10 %  残り 約 3 分 0 秒"},  // pace of the steps since the estimate began
        {100, 100, 100, 40, "100 %"},
        {150, 100, 150, 40, "100 %"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgressReadout(c.pos, c.max, c.done, c.seconds), c.text)
            << c.pos << "/" << c.max;
}

}  // namespace
}  // namespace zuka

// The command line as a user runs it: its output and its exit status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch_run.h"
#include "base/platform.h"
#include "run_cli.h"

namespace {

using zuka::testing::TRun;

// A work folder of the test's own, removed when the test program ends.
struct TTempFolder {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zuka_cli_test_" + std::to_string(::getpid()));
    TTempFolder() { std::filesystem::create_directories(dir); }
    ~TTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

std::filesystem::path TempDir() {
    static const TTempFolder folder;
    return folder.dir;
}

// Runs the command line with an empty work folder of its own.
TRun Zuka(const std::string& args) { return zuka::testing::RunZuka(TempDir(), args); }

// What a shell command prints.
std::string Output(const std::string& cmd) {
    std::string out;
    zuka::RunCommandLine(cmd, out);
    return out;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Cli, RatioTable) {
    TRun r = Zuka("ratio-table --set Common.ido1=36");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "影倍率表 [ 緯度 = 36.0000°] [ 冬至 ]\n"));
    EXPECT_TRUE(Contains(r.out, "\n12:00\t30.5500\t0.0000\t1.6943\t0.0000\t1.6943\n")) << r.out;

    r = Zuka("ratio-table --set Bairitsu.useDMS=1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n8:00\t7°53′07″\t-53°19′45″\t7.2202\t-5.7912\t4.3120\n"))
        << r.out;

    // The season on the form does not change the winter table.
    EXPECT_EQ(Zuka("ratio-table --set Common.kisetsu=2").out, Zuka("ratio-table").out);
}

TEST(Cli, Sun) {
    const TRun r = Zuka("sun --hour 9 --set Common.kisetsu=1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "太陽方位角\t-59.5536°\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "影長倍率\t1.4338\n")) << r.out;
    // True north at 90: the 9 o'clock shadow points north-west of the drawing's +y.
    EXPECT_TRUE(Contains(r.out, "影の方向\t149.5536°\n")) << r.out;
}

TEST(Cli, OutlineOfExample) {
    const TRun r = Zuka(std::string("outline ") + ZUKA_SOURCE_DIR + "/examples/squares.txt");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out,
              "0 0\n10000 0\n10000 5000\n15000 5000\n15000 15000\n5000 15000\n5000 10000\n"
              "0 10000\n"
              "\n"
              "25000 2000\n30000 2000\n30000 7000\n25000 7000\n");
}

TEST(Cli, Errors) {
    struct Row {
        const char* name;
        std::string args;
        int status;
        const char* message;
    };
    const std::filesystem::path bad = TempDir() / "bad.txt";
    std::ofstream(bad) << "# two lines\n0 0 1 1\n\n1 2 x 3\n";
    const std::filesystem::path badIni = TempDir() / "bad.ini";
    std::ofstream(badIni, std::ios::binary) << "[Common]\r\nido1=abc\r\n";
    const Row rows[] = {
        // Every --set is checked against the setting's kind and range before the command
        // runs; the message names the setting by its label and key, and the range.
        {"latitude no number", "ratio-table --set Common.ido1=abc", 2,
         "緯度 (度) (Common.ido1) は数値で指定してください (0 以上 90 未満、単位 度): 'abc'"},
        {"latitude beyond the pole", "sun --hour 9 --set Common.ido1=95", 2,
         "緯度 (度) (Common.ido1) は次の範囲で指定してください (0 以上 90 未満、単位 度): '95'"},
        {"season no integer", "sun --hour 9 --set Common.kisetsu=abc", 2,
         "季節 (Common.kisetsu) は整数で指定してください (0 ～ 2): 'abc'"},
        {"season below the items", "sun --hour 9 --set Common.kisetsu=-1", 2,
         "季節 (Common.kisetsu) は次の範囲で指定してください (0 ～ 2): '-1'"},
        {"step NaN", "ratio-table --set Touji.kankaku2=nan", 2, "(Touji.kankaku2) は整数で"},
        {"hidden step", "ratio-table --set Touji.kankaku2=-1", 2, "(Touji.kankaku2) は次の範囲"},
        {"end time huge", "ratio-table --set Jikoku.owari=1e300", 2, "(0 ～ 24、単位 時): '1e300'"},
        {"start time beyond any number", "ratio-table --set Jikoku.kaishi=1e400", 2,
         "(Jikoku.kaishi) は数値で"},
        {"north correction", "ratio-table --set Common.makita=-1e17", 2, "(-360 ～ 360、単位 度)"},
        {"window position", "ratio-table --set Form.Left=2147483647", 2, "(Form.Left)"},
        {"Boolean", "ratio-table --set Bairitsu.useDMS=2", 2, "(0 または 1): '2'"},
        {"unknown key", "ratio-table --set Common.ido=35", 2, "Common.ido"},
        {"malformed --set", "ratio-table --set ido1", 2, "Section.Key=Value"},
        {"hour outside the model", "sun --hour 16.6", 2,
         "7.5～16.5 (時) の数で指定してください: '16.6'"},
        {"hour no number", "sun --hour 9時", 2, "--hour は"},
        {"malformed segment line", "outline " + bad.string(), 1, "bad.txt (行 4: "},
        {"missing segment file", "outline /nonexistent/x.txt", 1, "/nonexistent/x.txt"},
        {"missing --ini", "ratio-table --ini /nonexistent/zuka.ini", 2,
         "--ini の設定ファイルがありません: /nonexistent/zuka.ini"},
        {"--ini names a folder", "ratio-table --ini " + TempDir().string(), 2,
         "--ini にはフォルダーではなく設定ファイルを指定してください"},
        // A value of the settings file that is no number stops the command, naming the
        // setting by its label and key.
        {"settings file value no number", "ratio-table --ini " + badIni.string(), 2,
         "緯度 (度) (Common.ido1) の値 'abc' は数値ではありません"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TRun r = Zuka(row.args);
        EXPECT_EQ(r.status, row.status) << r.out;
        EXPECT_TRUE(Contains(r.out, row.message)) << r.out;
    }
    // A malformed line prints no outline at all.
    EXPECT_FALSE(Contains(Zuka("outline " + bad.string()).out, "0 0\n"));
}

// The conventions of a command line: version, help, and exit status 2 with a message that
// names what is wrong for every usage error.
TEST(Cli, CommonConventions) {
    const std::string sample = std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf";
    struct Row {
        const char* name;
        std::string args;
        int status;
        std::vector<std::string> says;
    };
    const Row rows[] = {
        {"help", "help", 0, {"Commands:\n", "  time-of-day ", "  help ", "Exit status: 0 done"}},
        {"a command's help",
         "help sky",
         0,
         {"Usage: zuka sky [OPTIONS] [DRAWING]", "--map N ", "Shared options",
          "--ini FILE                  read the settings from FILE instead of the work folder's "
          "zuka.ini\n",
          "--buildings EXPR", "-o,--output FILE", "--quiet"}},
        {"unknown command",
         "frobnicate --foo",
         2,
         {"unknown command: frobnicate\nRun 'zuka help' for the list of commands.\n"}},
        {"help on an unknown command", "help frobnicate", 2, {"unknown command: frobnicate"}},
        {"no command", "", 2, {"a command is required"}},
        {"unknown option", "sun --hour 9 --frob", 2, {"--frob"}},
        {"shared option the command does not take",
         "sun --hour 9 --svg x.svg",
         2,
         {"--svg is not an option of sun (zuka help sun lists its options)"}},
        {"missing option", "sun", 2, {"--hour is required"}},
        {"bad value", "preview " + sample + " --turn right --svg x.svg", 2, {"--turn"}},
        {"--quiet keeps the warnings",
         "time-of-day " + sample + " --set Jikoku.kaishi=7 --quiet -o " +
             (TempDir() / "x.dxf").string(),
         0,
         {"太陽位置の計算範囲 (7:30～16:30) の外のため、日影を作成しませんでした : 07:00"}},
        {"settings a command cannot work with",
         "time-of-day " + sample + " --set Jikoku.kaishi=16 --set Jikoku.owari=8 -o " +
             (TempDir() / "x.dxf").string(),
         2,
         {"時刻 (終了) (Jikoku.owari) は 時刻 (開始) (Jikoku.kaishi) 以降にしてください: 16 ～ 8"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TRun r = Zuka(row.args);
        EXPECT_EQ(r.status, row.status) << r.out;
        for (const std::string& part : row.says) EXPECT_TRUE(Contains(r.out, part)) << part;
    }
    const TRun version = Zuka("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("zuka [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << version.out;
    // Each command's help lists the shared options it takes, and only those.
    EXPECT_EQ(Zuka("help walls").out, Zuka("walls --help").out);
    EXPECT_TRUE(Contains(Zuka("help sun").out, "--date YYYY-MM-DD"));
    EXPECT_FALSE(Contains(Zuka("help sun").out, "--buildings"));
    EXPECT_FALSE(Contains(Zuka("help sky").out, "--date"));
}

// With --cad the user places in the CAD what a file's run places at --at, and the CAD's drawing
// is saved by the user: those options are refused before the CAD is looked for, as are
// selections a CAD cannot make by filter. The pictures of model and preview are no pictures of
// the drawing: taken (the run then fails for want of a running CAD).
TEST(Cli, OnTheRunningCadRefusesWhatTheCadDoes) {
    const std::string sample = std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf";
    const std::string svg = (TempDir() / "cad.svg").string();
    const std::string placedInCad =
        "--at は図面ファイルに作図する (--cad では置く位置を CAD で指定する) ときに使います．";
    struct Row {
        std::string args;
        int status;
        std::string says;
    };
    const Row rows[] = {
        {"ratio-table --cad --at 1,2", 2, placedInCad},
        {"ratio-table --cad --draw " + sample, 2,
         "--draw は図面ファイルに作図する ときに使います．"},
        {"points --cad --points layer=測定点 --draw --at 1,2", 2, placedInCad},
        {"sky --cad --points layer=測定点 --map 1 --at 1,2", 2, placedInCad},
        {"sky --cad --points layer=測定点 --maps A --at 1,2", 2, placedInCad},
        {"preview --cad --svg " + svg + " --draw --at 1,2", 2, placedInCad},
        {"time-of-day --cad --svg " + svg, 2, "--svg は図面ファイルで作図するときに使います"},
        {"check --cad --site handle=2A --limits 4,2.5", 2, "--site handle=2A: "},
        {"sky-check --cad --site layer=敷地 --road 6:handle=2A --zone 1住 --far 200", 2,
         "--road 6:handle=2A: "},
        {"model --cad --svg " + svg, 1, ""},
        {"preview --cad --svg " + svg, 1, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args);
        const TRun r = Zuka(row.args);
        EXPECT_EQ(r.status, row.status) << r.out;
        EXPECT_TRUE(Contains(r.out, row.says)) << r.out;
    }
}

TEST(Cli, ModelOfTheExample) {
    const std::string sample = std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf";
    const std::filesystem::path svg = TempDir() / "model.svg";
    TRun r = Zuka("model " + sample + " --buildings layer=建物 --svg " + svg.string());
    ASSERT_EQ(r.status, 0) << r.out;
    // Four buildings (4 + 6 + 3 straight sides + 5 pieces of the curved side + 4) and the
    // thick wall (base, top, two verticals).
    EXPECT_TRUE(Contains(r.out, "線分\t26 本\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "高さ\t0 ～ 24000 mm\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "CAD: 図形が選択されました.")) << r.out;
    EXPECT_TRUE(std::filesystem::file_size(svg) > 1000);

    // Everything: the site outline (4), the three point circles (35 each) and the wall line
    // join in; the texts do not.
    r = Zuka("model " + sample);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "線分\t136 本\n")) << r.out;
    // What was taken, by class and layer with its heights, and what was left and why.
    EXPECT_TRUE(
        Contains(r.out, "取得\tAcDbPolyline\t建物\t4 図形\t22 線分\t高さ 6000 ～ 24000 mm\n"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "取得\tAcDbCircle\t測定点\t3 図形\t105 線分\t高さ 0 ～ 0 mm\n"));
    EXPECT_TRUE(Contains(r.out, "除外\tAcDbText\t測定点\t3 図形\t文字は建物になりません\n"));

    r = Zuka("model " + sample + " --buildings layer=無い画層");
    EXPECT_EQ(r.status, 1) << r.out;
    r = Zuka("model " + sample + " --buildings colour=1");
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_TRUE(Contains(r.out, "--buildings colour=1")) << r.out;
    r = Zuka("model /nonexistent/drawing.dxf");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(Contains(r.out, "/nonexistent/drawing.dxf")) << r.out;
}

// Opens a DXF with Debian's ezdxf and prints "<errors> <entities on layer>" for the layer.
std::string CheckWithEzdxf(const std::filesystem::path& dxf, const std::string& layer) {
    const std::filesystem::path script = TempDir() / "check.py";
    std::ofstream(script) << "import sys, ezdxf\n"
                             "from ezdxf import recover\n"
                             "doc, auditor = recover.readfile(sys.argv[1])\n"
                             "n = sum(1 for e in doc.modelspace() if e.dxf.layer == sys.argv[2])\n"
                             "print(len(auditor.errors), n)\n";
    const std::string cmd =
        "/usr/bin/python3 " + script.string() + " " + dxf.string() + " " + layer + " 2>&1";
    return Output(cmd);
}

bool HaveEzdxf() { return std::system("/usr/bin/python3 -c 'import ezdxf' 2>/dev/null") == 0; }
bool HavePython() { return std::system("/usr/bin/python3 -c \"\" 2>/dev/null") == 0; }

TEST(Cli, ShadowDiagramsIntoTheExampleDrawing) {
    const std::string sample = std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf";
    const std::filesystem::path tod = TempDir() / "tod.dxf";
    TRun r = Zuka("time-of-day " + sample + " --buildings layer=建物 -o " + tod.string() +
                  " --set Jikoku.kankaku=0.5");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "ブロック\tZUKA_1\t")) << r.out;
    EXPECT_TRUE(std::filesystem::exists(TempDir() / "ZUKA_1.dxf"));

    const std::filesystem::path et = TempDir() / "et.dxf";
    r = Zuka("equal-time " + sample + " --buildings layer=建物 -o " + et.string() +
             " --set Touji.kankaku2=2 --quiet");
    ASSERT_EQ(r.status, 0) << r.out;
    // The mesh with its unit and cell count, the time taken in seconds.
    EXPECT_TRUE(Contains(r.out, "\nメッシュ (等時間日影図)\t1 辺 ")) << r.out;
    EXPECT_TRUE(Contains(r.out, " mm, 1200 × 1200\n所要時間\t")) << r.out;

    // The default output name sits beside the input and never replaces it.
    r = Zuka("time-of-day " + sample + " -o " + sample);
    EXPECT_EQ(r.status, 2) << r.out;

    if (!HaveEzdxf()) GTEST_SKIP() << "python3-ezdxf is not installed";
    // An independent reader opens both drawings without errors; the user's buildings are
    // still there and the diagrams are on their layers.
    EXPECT_EQ(CheckWithEzdxf(tod, "建物"), "0 5\n");
    EXPECT_EQ(CheckWithEzdxf(tod, "ZUKA_INFO"), "0 6\n");  // the calculation record
    const std::string jikoku = CheckWithEzdxf(tod, "ZUKA_JIKOKU");
    EXPECT_EQ(jikoku.substr(0, 2), "0 ") << jikoku;
    EXPECT_GE(std::stoi(jikoku.substr(2)), 34) << jikoku;  // 17 times, outline and label each
    const std::string touji = CheckWithEzdxf(et, "ZUKA_TOUJI");
    EXPECT_EQ(touji.substr(0, 2), "0 ") << touji;
    EXPECT_GT(std::stoi(touji.substr(2)), 14) << touji;
}

TEST(Cli, WallShadowsIntoTheExampleDrawing) {
    const std::string sample = std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf";
    const std::string base = "walls " + sample + " --buildings layer=建物 --quiet ";
    const std::filesystem::path along = TempDir() / "walls.dxf";
    // The wall line north of building A, picked near its middle.
    TRun r = Zuka(base + "--wall-at 26000,27500 -o " + along.string());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "壁面線\t40\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\nメッシュ (壁面等時間)\t1 辺 ")) << r.out;
    const std::filesystem::path placed = TempDir() / "walls-placed.dxf";
    r = Zuka(base + "--wall handle=40 --place 70000,5000 --block -o " + placed.string());
    ASSERT_EQ(r.status, 0) << r.out;

    struct Row {
        const char* name;
        std::string args;
        int status;
        const char* says;
    };
    const Row rows[] = {
        {"both ways", "--wall handle=40 --wall-at 0,0", 2, "どちらか一つ"},
        {"neither", "", 2, "どちらか一つ"},
        {"not a handle", "--wall 40", 2, "handle=H"},
        {"no line near", "--wall-at 60000,44000", 1, "以内に線分 (LINE) がありません"},
        {"not a line", "--wall handle=38", 1, "線分 (LINE) ではありません"},
        {"no such entity", "--wall handle=FFFF", 1, "その図形は図面にありません"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        r = Zuka(base + row.args);
        EXPECT_EQ(r.status, row.status) << r.out;
        EXPECT_TRUE(Contains(r.out, row.says)) << r.out;
    }

    if (!HaveEzdxf()) GTEST_SKIP() << "python3-ezdxf is not installed";
    // An independent reader opens the result: the frame (24 height lines, 4 distance lines, the
    // end line), the hourly shadows and the equal-time outlines, with their labels.
    EXPECT_EQ(CheckWithEzdxf(along, "ZUKA_HWAKU"), "0 29\n");
    for (const char* layer : {"ZUKA_HJIKOKU", "ZUKA_HTOJI"}) {
        const std::string n = CheckWithEzdxf(along, layer);
        EXPECT_EQ(n.substr(0, 2), "0 ") << n;
        EXPECT_GE(std::stoi(n.substr(2)), 16) << layer << " " << n;
    }
    // Kept as a block: nothing of it on the layers of model space.
    EXPECT_EQ(CheckWithEzdxf(placed, "ZUKA_HWAKU"), "0 0\n");
    // Either way its calculation record stands beside it.
    EXPECT_EQ(CheckWithEzdxf(along, "ZUKA_INFO"), "0 6\n");
    EXPECT_EQ(CheckWithEzdxf(placed, "ZUKA_INFO"), "0 6\n");
}

// The point rows of `zuka sky`'s grid: number, x, y, name, height, inscribed, AREA, circumscribed.
std::vector<std::vector<std::string>> SkyRows(const std::string& out) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] < '0' || line[0] > '9' || line.find('\t') == std::string::npos)
            continue;
        std::vector<std::string> cells;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            cells.push_back(line.substr(start, tab - start));
        cells.push_back(line.substr(start));
        rows.push_back(cells);
    }
    return rows;
}

TEST(Cli, SkyFactorsOfTheExamplePoints) {
    const std::string sample = std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf";
    const std::filesystem::path csv = TempDir() / "sky.csv";
    TRun r = Zuka("sky " + sample + " --buildings layer=建物 --points layer=測定点 --quiet --csv " +
                  csv.string());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "番号\t X座標\t Y座標\t 測定点\t 測定面\t 内接\t<AREA<\t 外接\n"))
        << r.out;
    std::vector<std::vector<std::string>> rows = SkyRows(r.out);
    ASSERT_EQ(rows.size(), 3u) << r.out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(rows[i].size(), 8u);
        EXPECT_EQ(rows[i][3], std::to_string(i + 1));  // the number text beside the circle
        const double naisetu = std::stod(rows[i][5]);
        const double area = std::stod(rows[i][6]);
        const double gaisetu = std::stod(rows[i][7]);
        // Points 1 and 2 see several buildings with open sky between them down to the horizon.
        EXPECT_LT(naisetu, area);
        EXPECT_LT(area, gaisetu);
    }
    std::ifstream in(csv, std::ios::binary);
    std::string head;
    std::getline(in, head);
    EXPECT_EQ(head, "\xEF\xBB\xBF番号,X座標,Y座標,測定点,測定面,内接,<AREA<,外接\r");

    // One building alone: inscribed < AREA < circumscribed at every point.
    r = Zuka("sky " + sample + " --buildings handle=35 --points layer=測定点 --quiet");
    ASSERT_EQ(r.status, 0) << r.out;
    rows = SkyRows(r.out);
    ASSERT_EQ(rows.size(), 3u) << r.out;
    for (const std::vector<std::string>& row : rows) {
        SCOPED_TRACE(row[0]);
        EXPECT_LT(std::stod(row[5]), std::stod(row[6]));
        EXPECT_LT(std::stod(row[6]), std::stod(row[7]));
    }

    // Listed points, with a name and a plane height, ordered as captured points are (here
    // along y, their longer extent); the one without a name takes its row number.
    r = Zuka("sky " + sample + " --buildings layer=建物 --point 35000,42000,P,1.5 --point 1,2");
    ASSERT_EQ(r.status, 0) << r.out;
    rows = SkyRows(r.out);
    ASSERT_EQ(rows.size(), 2u) << r.out;
    EXPECT_EQ(rows[0][2], "2");
    EXPECT_EQ(rows[0][3], "1");
    EXPECT_EQ(rows[0][4], "0");  // Tenku.Takasa
    EXPECT_EQ(rows[1][3], "P");
    EXPECT_EQ(rows[1][4], "1.5");
    struct Bad {
        const char* args;
        const char* says;
    };
    const Bad bads[] = {
        {"--point 1", "X,Y[,名前[,高さ m]]"},
        {"--point 1,2,a,b", "X,Y[,名前[,高さ m]]"},
        {"--maps C --at 0,0", "A または B"},
        {"--map 1", "--at X,Y"},
        {"--map 9 --at 0,0", "--map は測定点の番号 1 ～ 3 で指定してください: 9"},
        {"--map 0 --at 0,0", "--map は測定点の番号 1 ～ 3 で指定してください: 0"},
        // Options that only drawing a map uses, and the other way round, are not ignored.
        {"--svg x.svg", "--svg は天空図を作図する (--map N か --maps A|B の) ときに使います"},
        {"--map 1 --at 0,0 --csv x.csv", "--csv は天空率を求める"},
    };
    for (const Bad& bad : bads) {
        SCOPED_TRACE(bad.args);
        r = Zuka("sky " + sample + " --buildings layer=建物 --points layer=測定点 " + bad.args);
        EXPECT_EQ(r.status, 2) << r.out;
        EXPECT_TRUE(Contains(r.out, bad.says)) << r.out;
    }
}

TEST(Cli, SkyMapsIntoTheExampleDrawing) {
    const std::string sample = std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf";
    // The sky factors of the points by each method, as the grid gives them.
    TRun r = Zuka("sky " + sample + " --buildings layer=建物 --points layer=測定点 --quiet");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::vector<std::vector<std::string>> grid = SkyRows(r.out);
    ASSERT_EQ(grid.size(), 3u) << r.out;

    // The console names the figure the map shows by its method: the planned building's
    // inscribed triangles, then the areas behind it in paper mm², with the AREA figure beside.
    const std::filesystem::path map = TempDir() / "tenku.dxf";
    r = Zuka("sky " + sample + " --buildings layer=建物 --points layer=測定点 --map 1 " +
             "--at 80000,40000 --type A --set Tenku.Hatch=5 --quiet -o " + map.string());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "天空図\t80000.000,40000.000\t測定点 1\t天空率 " + grid[0][5] +
                                    " % (内接三角形, 計画建物)\n面積\t円 1963.495 mm², 建物 "))
        << r.out;
    EXPECT_TRUE(Contains(r.out, " mm² (図寸, 内接三角形); AREA: 建物 ")) << r.out;
    EXPECT_TRUE(Contains(r.out, " mm², 天空率 " + grid[0][6] + " %\n")) << r.out;

    // The conforming building's maps show the circumscribed triangles' figure.
    const std::filesystem::path maps = TempDir() / "tenku-all.dxf";
    r = Zuka("sky " + sample + " --buildings layer=建物 --points layer=測定点 --maps B --fit " +
             "--at 80000,40000 --quiet -o " + maps.string());
    ASSERT_EQ(r.status, 0) << r.out;
    // Three maps 300 paper mm apart at the scale 1:200.
    const char* centres[] = {"80000.000", "140000.000", "200000.000"};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(Contains(r.out, std::string("天空図\t") + centres[i] + ",40000.000\t測定点 " +
                                        grid[i][3] + "\t天空率 " + grid[i][7] +
                                        " % (外接三角形, 適合建物)\n"))
            << r.out;

    if (!HaveEzdxf()) GTEST_SKIP() << "python3-ezdxf is not installed";
    // Hatch, circle and notes, triangles and their table, corner marks and the position table.
    for (const char* layer : {"ZUKA_THATCH", "ZUKA_TENKU", "ZUKA_TSANSYA", "ZUKA_TTATEITI"}) {
        SCOPED_TRACE(layer);
        const std::string check = CheckWithEzdxf(map, layer);
        ASSERT_EQ(check.substr(0, 2), "0 ") << check;
        EXPECT_GT(std::stoi(check.substr(2)), 0) << check;
    }
    EXPECT_EQ(CheckWithEzdxf(map, "建物"), "0 5\n");
    EXPECT_EQ(CheckWithEzdxf(map, "ZUKA_INFO"), "0 5\n");   // one record for the map
    EXPECT_EQ(CheckWithEzdxf(maps, "ZUKA_INFO"), "0 5\n");  // and one for the batch
    // Batch maps carry neither triangles nor tables.
    EXPECT_EQ(CheckWithEzdxf(maps, "ZUKA_TSANSYA"), "0 0\n");
    const std::string tenku = CheckWithEzdxf(maps, "ZUKA_TENKU");
    EXPECT_EQ(tenku.substr(0, 2), "0 ") << tenku;
    EXPECT_GT(std::stoi(tenku.substr(2)), 3 * 10) << tenku;
}

TEST(Cli, SpecificPointsOfTheExample) {
    const std::string sample = std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf";
    const std::filesystem::path csv = TempDir() / "points.csv";
    const std::filesystem::path json = TempDir() / "points.json";
    const std::filesystem::path table = TempDir() / "points.dxf";
    TRun r = Zuka("points " + sample + " --buildings layer=建物 --points layer=測定点 --exact " +
                  "--quiet --csv " + csv.string() + " --json " + json.string() +
                  " --draw --at 62000,40000 -o " + table.string());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "番号\t X座標\t Y座標\t 測定点\t 日影時間\t 入時刻 1\t")) << r.out;
    // Point 2 lies north-west of the tower: shaded from 8:00; the exact table follows.
    EXPECT_TRUE(Contains(r.out, "\n2\t35000\t42000\t2\t")) << r.out;
    EXPECT_TRUE(Contains(r.out, "番号\t測定点\t日影時間(秒単位)\t差(秒)\t日影区間(秒単位)\n"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "\t8:00:00-11:34:47 13:57:25-16:00:00\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "特定点表\tZUKA_1\n")) << r.out;
    std::ifstream in(csv, std::ios::binary);
    std::string head;
    std::getline(in, head);
    EXPECT_EQ(
        head,
        "\xEF\xBB\xBF番号,X座標,Y座標,測定点,日影時間,入時刻 1,出時刻 1,入時刻 2,出時刻 2,入時刻 3,"
        "出時刻 3\r");
    std::ifstream j(json);
    const std::string text((std::istreambuf_iterator<char>(j)), {});
    EXPECT_TRUE(Contains(text, "\"total\": \"5:37:22\"")) << text;

    // Listed points: the one without a name takes its row number; a bad one is refused.
    r = Zuka("points " + sample +
             " --buildings layer=建物 --point 60000,30000 --point "
             "26000,19000,中 --quiet");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n1\t26000\t19000\t中\t08:00'00\"\t08:00'00\"\t16:00'00\"\t"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "\n2\t60000\t30000\t2\t")) << r.out;
    for (const char* bad : {"--point 1", "", "--points layer=測定点 --draw"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(Zuka("points " + sample + " --buildings layer=建物 " + bad).status, 2);
    }

    if (!HaveEzdxf()) GTEST_SKIP() << "python3-ezdxf is not installed";
    // The table: a heading and a line per point, on the current layer; its record beside it.
    EXPECT_EQ(CheckWithEzdxf(table, "0"), "0 4\n");
    EXPECT_EQ(CheckWithEzdxf(table, "ZUKA_INFO"), "0 6\n");
}

TEST(Cli, BoundaryLinesAndRatioTableIntoTheExample) {
    const std::string sample = std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf";
    const std::filesystem::path lines = TempDir() / "boundary.dxf";
    TRun r = Zuka("boundary " + sample + " --site layer=敷地 --quiet -o " + lines.string());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "みなし境界線\t敷地 1, 5 m と 10 m の線 2 本\n")) << r.out;
    // Nothing picked: nothing drawn.
    r = Zuka("boundary " + sample + " --site window=0,0,1,1 --quiet -o " + lines.string() + "x");
    EXPECT_EQ(r.status, 1) << r.out;

    const std::filesystem::path ratio = TempDir() / "ratio.dxf";
    r = Zuka("ratio-table --draw " + sample + " --at 70000,60000 -o " + ratio.string());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "影倍率表\tZUKA_1\n")) << r.out;
    EXPECT_EQ(Zuka("ratio-table --draw " + sample).status, 2);

    if (!HaveEzdxf()) GTEST_SKIP() << "python3-ezdxf is not installed";
    EXPECT_EQ(CheckWithEzdxf(lines, "0"), "0 2\n");
    EXPECT_EQ(CheckWithEzdxf(lines, "敷地"), "0 2\n");  // the user's site is still there
    EXPECT_EQ(CheckWithEzdxf(lines, "ZUKA_INFO"), "0 3\n");
    // 109 cells, 26 rules.
    EXPECT_EQ(CheckWithEzdxf(ratio, "0"), "0 135\n");
}

TEST(Cli, CheckOfTheExample) {
    const std::string sample = std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf";
    const std::string base =
        "check " + sample + " --buildings layer=建物 --site layer=敷地 --quiet ";
    const std::filesystem::path out = TempDir() / "check.dxf";
    const std::filesystem::path svg = TempDir() / "check.svg";
    TRun r = Zuka(base + "--limits 4,2.5 -o " + out.string() + " --svg " + svg.string());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n5 m 線\t4.0 時間\t適合\t最小余裕 ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n10 m 線\t2.5 時間\t適合\t最小余裕 ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n判定\t適合: ")) << r.out;
    EXPECT_GT(std::filesystem::file_size(svg), 10000u);

    // Short limits fail: the largest excess, where, and exit 1 (each building's headroom is
    // in ResultsAsJsonFollowTheSchema).
    r = Zuka(base + "--limits 2,1.5 --plane 4 -o " + (TempDir() / "fail.dxf").string());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n5 m 線\t2.0 時間\t不適合\t最大超過 ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n判定\t不適合: 2.0 時間の日影が 5 m 線を ")) << r.out;

    for (const char* bad : {"--limits 4", "--limits 4,0", "--limits 4,2.5 --plane x",
                            "--limits 4,2.5 --true-solar maybe"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(Zuka(base + bad).status, 2);
    }

    if (!HaveEzdxf()) GTEST_SKIP() << "python3-ezdxf is not installed";
    // Both deemed lines, the two outlines with their labels, the two tightest spots (a line, a
    // circle and a text each), and the record.
    const std::string kisei = CheckWithEzdxf(out, "ZUKA_KISEI");
    EXPECT_EQ(kisei.substr(0, 2), "0 ") << kisei;
    EXPECT_GE(std::stoi(kisei.substr(2)), 2 + 4 + 6) << kisei;
    EXPECT_EQ(CheckWithEzdxf(out, "ZUKA_INFO"), "0 6\n");
}

// The regulation note's first case: a 19 m box on a 20 m x 15 m site on a 6 m road, 1住,
// FAR 200 %: eight points on the opposite road line, all passing at margin 0 (the two ends by
// 0.007 after a finer division), the two ends failing at the common 0.02 margin.
TEST(Cli, SkyCheckOfTheRoadExample) {
    const std::string drawing = std::string(ZUKA_SOURCE_DIR) + "/examples/sky_check.dxf";
    const std::string base =
        "sky-check " + drawing + " --site layer=敷地 --buildings layer=建物 --zone 1住 --far 200 ";
    const std::filesystem::path out = TempDir() / "sky-check.dxf";
    const std::filesystem::path csv = TempDir() / "sky-check.csv";
    TRun r = Zuka(base + "--kinds road --road 6:layer=道路境界 -o " + out.string() + " --csv " +
                  csv.string());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out,
                         "\n道路\t道路1\t1\t0.000\t-6000.000\t0.000\t90.806\t90.813\t0.007\t"
                         "0.000\t適合\t近接点\t90.80477\t90.81433\t2\n"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "\n道路\t道路1\t4\t8571.429\t-6000.000\t0.000\t"));
    EXPECT_TRUE(Contains(r.out, "\n判定\t適合\t算定位置 8, 不適合 0\n")) << r.out;
    // The closest point's maps, planned and conforming, by the sky-map command.
    EXPECT_TRUE(Contains(r.out, "\n近接点の天空図\t道路1-1\t計画建築物\t")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n近接点の天空図\t道路1-1\t適合建築物\t")) << r.out;
    std::ifstream in(csv);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 9);

    r = Zuka(base + "--kinds road --road 6:layer=道路境界 --margin 0.02 -o " + out.string());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n判定\t不適合\t算定位置 8, 不適合 2\n")) << r.out;
    EXPECT_TRUE(Contains(r.out,
                         "\n道路\t道路1\t8\t20000.000\t-6000.000\t0.000\t90.829\t90.800\t"
                         "-0.029\t0.020\t不適合\t"))
        << r.out;

    struct Bad {
        const char* args;
        int status;
        const char* says;
    };
    for (const Bad& b :
         {Bad{"--road 0:layer=道路境界", 2, "幅員"},
          Bad{"--road 6:layer=道路境界 --zone 1種", 2, "--zone"}, Bad{"--road 6", 2, "--road"},
          Bad{"", 1, "道路に面する敷地の辺がありません"},
          Bad{"--road 6:layer=建物", 1, "敷地の辺に重なりません"},
          Bad{"--road 6:layer=道路境界 --kinds north", 1, "北側"},
          Bad{"--road 6:layer=道路境界 --margin -1", 2, "--margin"}}) {
        SCOPED_TRACE(b.args);
        r = Zuka(base + b.args + " -o " + out.string());
        EXPECT_EQ(r.status, b.status) << r.out;
        EXPECT_TRUE(Contains(r.out, b.says)) << r.out;
    }

    // By default the kinds the zone makes apply: in 1住 the adjacent land too, three rows.
    r = Zuka(base + "--road 6:layer=道路境界 -o " + out.string());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n隣地\t隣地2\t4\t0.000\t31000.000\t0.000\t92.338\t")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n判定\t適合\t算定位置 18, 不適合 0\n")) << r.out;
    r = Zuka(base + "--kinds road --road 6:layer=道路境界 -o " + out.string());

    // Zone, FAR, kinds and margin left out come from the settings (the window's fields).
    r = Zuka("sky-check " + drawing +
             " --site layer=敷地 --buildings layer=建物 --road 6:layer=道路境界 --set SkyCheck.zone=1住"
             " --set SkyCheck.far=200 --set SkyCheck.kinds=road --set SkyCheck.margin=0.02 -o " +
             out.string());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n判定\t不適合\t算定位置 8, 不適合 2\n")) << r.out;
    EXPECT_EQ(Zuka("sky-check " + drawing + " --site layer=敷地 --road 6:layer=道路境界 --far 200")
                  .status,
              2);  // no zone given, none set

    // Two roads (the note's corner case): a row per road and region, B counted 12 m wide in
    // region 1 and 6 m in the far-corner strip.
    r = Zuka("sky-check " + std::string(ZUKA_SOURCE_DIR) +
             "/examples/sky_check_corner.dxf --site layer=敷地 --buildings layer=建物 --road "
             "12:layer=道路A --road 6:layer=道路B --zone 商業 --far 400 --kinds road -o " +
             (TempDir() / "corner.dxf").string());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n道路\t道路1-区域1\t6\t30000.000\t-12000.000\t")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n道路\t道路2-区域1\t5\t-12000.000\t0.000\t")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n道路\t道路2-区域2\t2\t-6000.000\t24000.000\t")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n判定\t適合\t算定位置 13, 不適合 0\n")) << r.out;

    if (!HaveEzdxf()) GTEST_SKIP() << "python3-ezdxf is not installed";
    // Eight circles and their numbers; the conforming building's four walls.
    EXPECT_EQ(CheckWithEzdxf(out, "ZUKA_天空率算定点"), "0 16\n");
    EXPECT_EQ(CheckWithEzdxf(out, "ZUKA_適合建築物"), "0 4\n");
}

TEST(Cli, FlatPlansDatesAndClockTimes) {
    const std::string sample = std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf";
    // The site outline given 7 m: a building; the model says which heights it used.
    TRun r = Zuka("model " + sample + " --buildings layer=建物,敷地 --height 敷地=7");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "高さ指定\t敷地\t7 m\t1 図形\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "取得\tAcDbPolyline\t敷地\t1 図形\t4 線分\t高さ 7000 ～ 7000 mm\n"))
        << r.out;
    EXPECT_EQ(Zuka("model " + sample + " --height 敷地").status, 2);

    // A calendar day: the summer solstice's sun stands 90 - 36 + 23.45 degrees high at noon.
    r = Zuka("sun --hour 12 --date 2025-06-21");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "日付\t2025-06-21 (赤緯 23.4500°)\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "太陽高度\t77.4500°\n")) << r.out;
    EXPECT_EQ(Zuka("sun --hour 12 --date 2025-02-30").status, 2);

    // Clock times beside the true solar ones: at 135 E only the equation of time, 1.896 min.
    r = Zuka("points " + sample +
             " --buildings layer=建物 --point 35000,42000 --quiet "
             "--true-solar off");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "中央標準時 (経度 135°, 均時差 1.896 分)\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n1\t1\t07:58'10\"-11:33'10\" 13:55'40\"-15:58'10\"\n")) << r.out;
}

// Validates JSON files against docs/results-schema.json with Debian's python3-jsonschema;
// prints every error and then "errors N".
std::string ValidateJson(const std::vector<std::filesystem::path>& files) {
    const std::filesystem::path script = TempDir() / "validate.py";
    std::ofstream(script) << "import json, sys\n"
                             "from jsonschema import Draft202012Validator\n"
                             "schema = json.load(open(sys.argv[1], encoding='utf-8'))\n"
                             "Draft202012Validator.check_schema(schema)\n"
                             "v = Draft202012Validator(schema)\n"
                             "bad = 0\n"
                             "for f in sys.argv[2:]:\n"
                             "    for e in v.iter_errors(json.load(open(f, encoding='utf-8'))):\n"
                             "        bad += 1\n"
                             "        print(f, list(e.absolute_path), e.message[:200])\n"
                             "print('errors', bad)\n";
    std::string cmd =
        "/usr/bin/python3 " + script.string() + " " + ZUKA_SOURCE_DIR + "/docs/results-schema.json";
    for (const std::filesystem::path& f : files) cmd += " " + f.string();
    return Output(cmd + " 2>&1");
}

TEST(Cli, ResultsAsJsonFollowTheSchema) {
    if (std::system("/usr/bin/python3 -c 'import jsonschema' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3-jsonschema is not installed";
    const std::string sample = std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf";
    const std::string b = " " + sample + " --buildings layer=建物 --quiet ";
    const std::string points = "--points layer=測定点 ";
    struct Row {
        const char* name;
        std::string args;
        bool draws;  // saves the drawing (-o)
    };
    const Row rows[] = {
        {"time-of-day", "time-of-day" + b + "--date 2025-12-22", true},
        {"equal-time", "equal-time" + b + "--set Touji.kankaku2=2", true},
        {"points", "points" + b + points + "--exact --true-solar off", false},
        {"sky", "sky" + b + points, false},
        {"boundary", "boundary " + sample + " --site layer=敷地 --quiet", true},
        {"check", "check" + b + "--site layer=敷地 --limits 2,1.5 --headroom", true},
        {"sky-check",
         "sky-check " + std::string(ZUKA_SOURCE_DIR) +
             "/examples/sky_check.dxf --site layer=敷地 --buildings layer=建物 --zone 1住 "
             "--far 200 --road 6:layer=道路境界",
         true},
    };
    std::vector<std::filesystem::path> files;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::filesystem::path json = TempDir() / (std::string(r.name) + ".json");
        const std::filesystem::path dxf = TempDir() / (std::string(r.name) + "-json.dxf");
        const TRun run =
            Zuka(r.args + " --json " + json.string() + (r.draws ? " -o " + dxf.string() : ""));
        EXPECT_LE(run.status, 1) << run.out;  // the failing check says 1
        EXPECT_TRUE(Contains(run.out, "JSON\t" + json.string() + "\n")) << run.out;
        files.push_back(json);
        if (std::string(r.name) == "check") {
            // Only the tower can make it hold, lowered far enough; the others cannot.
            EXPECT_TRUE(Contains(run.out, "\n高さの余裕\t建物 5 (43500, 34500)\t高さ 24.0 m\t"))
                << run.out;
            EXPECT_TRUE(Contains(run.out, "\t高さ 9.0 m\tこの建物だけ下げても適合しません\n"))
                << run.out;
        }
    }
    EXPECT_EQ(ValidateJson(files), "errors 0\n");

    // The schema catches what is not so: a check without its verdicts, a time label of
    // another form.
    const std::filesystem::path broken = TempDir() / "broken.json";
    std::ofstream(broken) << "{\"program\": \"Zuka\", \"version\": \"0\", \"command\": \"check\", "
                             "\"drawing\": \"a.dxf\", \"inputs\": {\"method\": \"\"}}";
    EXPECT_EQ(ValidateJson({broken}).substr(0, broken.string().size()), broken.string());
}

// The example drawing moved by (dx, dy): every coordinate of its entities (groups 10, 11, 20,
// 21 of the ENTITIES section) shifted, nothing else changed.
std::filesystem::path ShiftedExample(double dx, double dy) {
    std::ifstream in(std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf", std::ios::binary);
    const std::filesystem::path out = TempDir() / "shifted.dxf";
    std::ofstream os(out, std::ios::binary);
    bool entities = false;
    for (std::string code, value; std::getline(in, code) && std::getline(in, value);) {
        const std::string c = code.substr(0, code.find_last_not_of("\r ") + 1);
        const std::string v = value.substr(0, value.find_last_not_of("\r ") + 1);
        if (c == "  2") entities = entities || v == "ENTITIES";
        if (c == "  0" && v == "ENDSEC") entities = false;
        const int n = std::stoi(c);
        if (entities && (n == 10 || n == 11 || n == 20 || n == 21)) {
            std::ostringstream shifted;
            shifted.precision(17);
            shifted << std::stod(v) + (n == 10 || n == 11 ? dx : dy);
            value = shifted.str() + "\r";
        }
        os << code << "\n" << value << "\n";
    }
    return out;
}

// Compares the results of a command on the example and on the example moved far into negative
// coordinates with Python's json: coordinates must be moved by the same amount, everything else
// the same (the equal-time outlines, traced on a mesh laid over the shadows, by their areas).
// Prints "differences N" and the first few.
std::string CompareShifted(const std::filesystem::path& a, const std::filesystem::path& b,
                           double shift) {
    const std::filesystem::path script = TempDir() / "shifted.py";
    std::ofstream(script) << R"(import json, sys
a, b = (json.load(open(f, encoding='utf-8')) for f in sys.argv[1:3])
shift = float(sys.argv[3])
bad = []
def area(ring):
    return abs(sum(p[0] * q[1] - q[0] * p[1] for p, q in zip(ring, ring[1:] + ring[:1]))) / 2
def moved(p, q, path):
    if abs(p + shift - q) > 2e-3: bad.append((path, p, q))
def walk(p, q, path):
    if isinstance(p, dict):
        if sorted(p) != sorted(q): bad.append((path, 'keys')); return
        for k in p:
            if k == 'drawing': continue
            if k in ('x', 'y'): moved(p[k], q[k], path + '/' + k)
            elif k == 'outlines' and '/equal_time/' in path:
                sa = sum(area([[x - shift, y - shift] for x, y in o]) for o in q[k])
                if len(p[k]) != len(q[k]) or abs(sum(area(o) for o in p[k]) - sa) > 1e-4 * sa:
                    bad.append((path, 'area'))
                for i in (0, 1):  # and in the same place, within a few cells
                    low = min(pt[i] for o in p[k] for pt in o)
                    if abs(low + shift - min(pt[i] for o in q[k] for pt in o)) > 100:
                        bad.append((path, 'place'))
            elif k == 'outlines':
                walk([[v for pt in o for v in pt] for o in p[k]],
                     [[v - shift for pt in o for v in pt] for o in q[k]], path + '/outlines')
            else: walk(p[k], q[k], path + '/' + k)
    elif isinstance(p, list):
        if len(p) != len(q): bad.append((path, 'length')); return
        for i, (u, v) in enumerate(zip(p, q)): walk(u, v, path + '[%d]' % i)
    elif isinstance(p, float) or isinstance(q, float):
        if abs(p - q) > 2e-3: bad.append((path, p, q))
    elif p != q: bad.append((path, p, q))
walk(a, b, '')
for x in bad[:5]: print(x)
print('differences', len(bad))
)";
    const std::string cmd = "/usr/bin/python3 " + script.string() + " " + a.string() + " " +
                            b.string() + " " + std::to_string(shift) + " 2>&1";
    return Output(cmd);
}

// Negative coordinates are handled by every computation: a drawing moved 100 km south-west
// gives the same results moved by as much, and no warning.
TEST(Cli, NegativeCoordinatesMoveTheResultsAlong) {
    const double shift = -100000;
    const std::filesystem::path shifted = ShiftedExample(shift, shift);
    const std::string drawings[] = {std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf",
                                    shifted.string()};
    const std::string options[] = {"time-of-day", "equal-time", "sky --points layer=測定点",
                                   "points --points layer=測定点"};
    for (const std::string& command : options) {
        SCOPED_TRACE(command);
        std::filesystem::path json[2];
        for (int i = 0; i < 2; ++i) {
            json[i] = TempDir() / ("shift" + std::to_string(i) + ".json");
            const bool draws = command == "time-of-day" || command == "equal-time";
            const TRun r = Zuka(
                command.substr(0, command.find(' ')) + " " + drawings[i] + " " +
                (command.find(' ') == std::string::npos ? "" : command.substr(command.find(' '))) +
                " --buildings layer=建物 --quiet --json " + json[i].string() +
                (draws ? " -o " + (TempDir() / "shift.dxf").string() : ""));
            ASSERT_EQ(r.status, 0) << r.out;
            EXPECT_FALSE(Contains(r.out, "[Zuka")) << r.out;  // no message box
        }
        // The comparison is a Python script; where there is none (Windows), the runs above
        // still show that the moved drawing is taken without a warning.
        if (HavePython()) {
            EXPECT_EQ(CompareShifted(json[0], json[1], shift), "differences 0\n");
        }
    }
    // The wall elevation, placed at the same point: the same drawing, to rounding.
    std::string walls[2];
    for (int i = 0; i < 2; ++i) {
        const TRun r =
            Zuka("walls " + drawings[i] +
                 " --buildings layer=建物 --wall handle=40 --place 65000,5000 --quiet -o " +
                 (TempDir() / "shift.dxf").string());
        ASSERT_EQ(r.status, 0) << r.out;
        std::ifstream in(TempDir() / "ZUKA_1.dxf", std::ios::binary);
        walls[i].assign(std::istreambuf_iterator<char>(in), {});
    }
    std::istringstream a(walls[0]);
    std::istringstream b(walls[1]);
    int lines = 0;
    for (std::string la, lb; std::getline(a, la) && std::getline(b, lb); ++lines) {
        if (la == lb) continue;
        ASSERT_NEAR(std::stod(la), std::stod(lb), 1e-6) << "line " << lines + 1;
    }
    EXPECT_GT(lines, 1000);
    EXPECT_EQ(std::count(walls[0].begin(), walls[0].end(), '\n'),
              std::count(walls[1].begin(), walls[1].end(), '\n'));
}

// A stop asked for before the drawing is read (Ctrl-C pressed at once) ends the reading; the
// run says so and writes nothing: no drawing, no JSON, no picture.
TEST(Cli, StopBeforeTheDrawingIsReadWritesNothing) {
    const std::string sample = std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf";
    zuka::StopRequest stop;
    stop.Request();
    const std::filesystem::path dxf = TempDir() / "stopped.dxf";
    const std::filesystem::path json = TempDir() / "stopped.json";
    const std::filesystem::path svg = TempDir() / "stopped.svg";
    const TRun r = zuka::testing::RunZuka(TempDir(),
                                          "time-of-day " + sample + " --quiet -o " + dxf.string() +
                                              " --json " + json.string() + " --svg " + svg.string(),
                                          {&stop, false});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(r.out, "中止しました．図面には何も作図していません．\n");
    for (const std::filesystem::path& f : {dxf, json, svg})
        EXPECT_FALSE(std::filesystem::exists(f));
}

TEST(Cli, IniFileIsReadAndNeverWritten) {
    const std::filesystem::path ini = TempDir() / "other.ini";
    std::ofstream(ini, std::ios::binary) << "[Common]\r\nido1=35\r\nido2=40\r\n";
    const auto before = std::filesystem::last_write_time(ini);
    const TRun r = Zuka("ratio-table --ini " + ini.string());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Contains(r.out, "[ 緯度 = 35.6667°]")) << r.out;
    EXPECT_EQ(std::filesystem::last_write_time(ini), before);
    EXPECT_FALSE(std::filesystem::exists(TempDir() / "zuka.ini"));
}

}  // namespace

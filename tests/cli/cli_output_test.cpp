// What the command line writes reads back: a drawing in a code page without Japanese, with
// lines out at the largest doubles, and its picture.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/platform.h"
#include "run_cli.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

using zuka::testing::TTempFolder;

using zuka::testing::TRun;

TRun Zuka(const fs::path& workdir, const std::string& args) {
    return zuka::testing::RunZuka(workdir, args);
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Kana(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "あ";
    return s;
}

// The lines out at ±1e308 used to give the picture a viewBox of NaN; they stay in the drawing
// as they were and the other reader reads it.
TEST(CliOutput, HugeLinesPassThroughAndThePictureStaysFinite) {
    const TTempFolder folder("zuka_cli_output_");
    const fs::path fixture = fs::path(ZUKA_TEST_DATA) / "dxf" / "huge_lines.dxf";
    const fs::path out = folder.dir / "tod.dxf";
    const fs::path svg = folder.dir / "tod.svg";
    const TRun r =
        Zuka(folder.dir, "time-of-day " + fixture.string() + " --buildings layer=B --quiet -o " +
                             out.string() + " --svg " + svg.string());
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string picture = ReadText(svg);
    const std::size_t box = picture.find("viewBox=\"");
    ASSERT_NE(box, std::string::npos);
    const std::string viewBox = picture.substr(box + 9, picture.find('"', box + 9) - box - 9);
    EXPECT_EQ(viewBox.find_first_not_of("0123456789. -"), std::string::npos) << viewBox;
    EXPECT_NE(ReadText(out).find(" 10\r\n-1.7976931348623157E308\r\n"), std::string::npos);
    if (std::system("/usr/bin/python3 -c 'import ezdxf' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3-ezdxf is not installed";
    const std::string cmd =
        "/usr/bin/python3 -c \"import sys, ezdxf; d = ezdxf.readfile(sys.argv[1]); "
        "print(len(d.audit().errors), len(d.modelspace().query('LINE')))\" " +
        out.string();
    std::string report;
    zuka::RunCommandLine(cmd, report);
    EXPECT_EQ(report, "0 2\n");
}

// A point named by 400 Japanese characters: the sky map writes the name. In the CP932 example
// that is 800 bytes and reads back; in an ANSI_1252 drawing it would be 2,800 bytes of \U+
// escapes, which no DXF line holds, so the save is refused with what to do, and nothing is left.
TEST(CliOutput, LongTextIsWrittenInTheCodePageOrRefused) {
    const TTempFolder folder("zuka_cli_output_");
    const std::string name = Kana(400);
    const std::string sample = std::string(ZUKA_SOURCE_DIR) + "/examples/sample.dxf";
    const fs::path fits = folder.dir / "fits.dxf";
    TRun r = Zuka(folder.dir, "sky " + sample + " --buildings layer=建物 --point 15000,40000," +
                                  name + " --map 1 --at 80000,40000 --quiet -o " + fits.string());
    ASSERT_EQ(r.status, 0) << r.out;
    r = Zuka(folder.dir, "model " + fits.string() + " --buildings layer=建物 --quiet");
    EXPECT_EQ(r.status, 0) << r.out;

    const fs::path fixture = fs::path(ZUKA_TEST_DATA) / "dxf" / "huge_lines.dxf";
    const fs::path refused = folder.dir / "refused.dxf";
    r = Zuka(folder.dir, "sky " + fixture.string() + " --buildings layer=B --point 5000,20000," +
                             name + " --map 1 --at 80000,40000 --quiet -o " + refused.string());
    EXPECT_EQ(r.status, 1) << r.out;
    for (const char* part : {"図面ファイルを書き込めません", "DXF の 1 行に収まりません",
                             "1021 バイトまで", "(ANSI_932)"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
    EXPECT_FALSE(fs::exists(refused));
}

}  // namespace

// The point grid as clipboard text and as CSV.
#include "app/grid_export.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "temp_dir.h"

namespace zuka {
namespace {

TEST(GridExport, CsvFieldsAreQuotedOnlyWhenNeeded) {
    struct Row {
        const char* name;
        std::string in;
        std::string want;
    };
    const Row rows[] = {
        {"plain", "35000.000", "35000.000"},          {"empty", "", ""},
        {"leading space kept", " 測定点", " 測定点"}, {"comma", "a,b", "\"a,b\""},
        {"quote doubled", "a\"b", "\"a\"\"b\""},      {"line break", "a\nb", "\"a\nb\""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(CsvField(r.in), r.want);
    }
}

TEST(GridExport, RowsEndInCrLf) {
    const TGridCells cells = {{"番号", " X座標", " 測定点"}, {"1", "1.000", "P,1"}};
    EXPECT_EQ(GridText(cells), "番号\t X座標\t 測定点\r\n1\t1.000\tP,1\r\n");
    EXPECT_EQ(GridCsv(cells), "番号,X座標,測定点\r\n1,1.000,\"P,1\"\r\n");

    testing::TempDir dir;
    const std::filesystem::path csv = dir.Path() / "grid.csv";
    ASSERT_TRUE(SaveGridCsv(csv, cells));
    // The file starts with the byte-order mark that Japanese spreadsheets need to read UTF-8.
    std::ifstream in(csv, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}),
              "\xEF\xBB\xBF" + GridCsv(cells));
    EXPECT_FALSE(SaveGridCsv(dir.MakeFile("file") / "grid.csv", cells));
}

}  // namespace
}  // namespace zuka

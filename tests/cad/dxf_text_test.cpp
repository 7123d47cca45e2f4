#include "cad/dxf_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "file_bytes.h"

namespace zuka {
namespace {

namespace fs = std::filesystem;

using zuka::testing::ReadBytes;

bool StartsWith(const std::string& s, std::string_view prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& s, std::string_view suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A fresh folder per test, removed afterwards.
class DxfSave : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("zuka_cad_" + std::to_string(getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Names of the files in the folder, for checking that nothing else was left behind.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const fs::directory_entry& e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

TEST(DxfText, LtypeHidden2) {
    DxfList dxf;
    WriteLtypeHidden2(dxf);
    const DxfList want = {
        "  2\r\nLTYPE",
        "  0\r\nLTYPE\r\n  2\r\nHIDDEN2\r\n 70\r\n     0",
        "  3\r\nHidden (.5x) _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _",
        " 72\r\n    65\r\n 73\r\n     2",
        " 40\r\n4.7625\r\n 49\r\n3.175\r\n 49\r\n-1.5875",
        "  0\r\nENDTAB",
    };
    EXPECT_EQ(dxf, want);
}

TEST(DxfText, FileLayouts) {
    DxfList standard;
    StartDxfFile(standard);
    EndDxfFile(standard);
    ASSERT_EQ(standard.size(), 11u);
    EXPECT_EQ(
        standard[0],
        "  0\r\nSECTION\r\n  2\r\nHEADER\r\n  9\r\n$ACADVER\r\n  1\r\nAC1009\r\n"
        "  9\r\n$DWGCODEPAGE\r\n  3\r\nANSI_932\r\n  0\r\nENDSEC");
    EXPECT_EQ(standard[1], "  0\r\nSECTION\r\n  2\r\nTABLES\r\n  0\r\nTABLE");
    EXPECT_EQ(standard[2], "  2\r\nLTYPE");
    EXPECT_EQ(standard[7], "  0\r\nENDTAB");
    EXPECT_EQ(standard[8], "  0\r\nENDSEC");
    EXPECT_EQ(standard[9], "  0\r\nSECTION\r\n  2\r\nENTITIES");
    EXPECT_EQ(standard[10], "  0\r\nENDSEC\r\n  0\r\nEOF");

    DxfList noTables;
    StartDxfFileWithoutTables(noTables);
    EXPECT_EQ(noTables, (DxfList{std::string(kDxfHeader), std::string(kDxfEntitiesStart)}));
}

TEST(DxfText, GroupCodeAndValueForms) {
    struct Row {
        const char* name;
        std::string got;
        const char* want;
    };
    const Row rows[] = {
        {"code right-aligned", DxfGroup(8, "0"), "  8\r\n0"},
        {"two-digit code", DxfGroup(10, 1500.5), " 10\r\n1500.5"},
        {"tiny coordinate in exponent form", DxfGroup(10, 1e-6), " 10\r\n1E-6"},
        {"large coordinate", DxfGroup(20, 1.5e20), " 20\r\n1.5E20"},
        {"computed zero is a number", DxfGroup(20, 0.0), " 20\r\n0"},
        {"fixed zero", DxfGroup(30, kDxfZero), " 30\r\n0.0"},
        {"default value is the fixed zero", DxfGroup(31, DxfValue()), " 31\r\n0.0"},
        {"colour index", DxfGroup(62, 251), " 62\r\n251"},
        {"text kept as given", DxfGroup(40, "350.0"), " 40\r\n350.0"},
        {"Japanese text", DxfGroup(1, std::string("時刻")), "  1\r\n時刻"},
        {"entity start", DxfEntityStart("POLYLINE", "日影"), "  0\r\nPOLYLINE\r\n  8\r\n日影"},
        {"elevation", DxfElevation(4000.0), " 20\r\n0.0\r\n 30\r\n4000"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(r.got, r.want);
    }
}

TEST(DxfText, PolylineHead) {
    struct Row {
        const char* name;
        TDxfPolyline p;
        DxfList want;
    };
    const Row rows[] = {
        {"flat and closed",
         {},
         {"  0\r\nPOLYLINE\r\n  8\r\nA", " 66\r\n     1\r\n 10\r\n0.0", " 20\r\n0.0\r\n 30\r\n0.0",
          " 70\r\n     1"}},
        {"dashed at a height",
         {.hidden = true, .elevation = 4000.0},
         {"  0\r\nPOLYLINE\r\n  8\r\nA", "  6\r\nHIDDEN2", " 66\r\n     1\r\n 10\r\n0.0",
          " 20\r\n0.0\r\n 30\r\n4000", " 70\r\n     1"}},
        {"line type before colour, open",
         {.hidden = true, .colour = 3, .elevation = std::nullopt, .closed = false},
         {"  0\r\nPOLYLINE\r\n  8\r\nA", "  6\r\nHIDDEN2", " 62\r\n3",
          " 66\r\n     1\r\n 10\r\n0.0", " 20\r\n0.0\r\n 30\r\n0.0", " 70\r\n     0"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        DxfList dxf;
        DxfWriter(dxf).Polyline("A", r.p);
        EXPECT_EQ(dxf, r.want);
    }
}

TEST(DxfText, VertexAndSeqEnd) {
    DxfList dxf;
    DxfWriter(dxf).Vertex("A", 1e-6, -2500.0).Vertex("A", 10.0, 20.0, 0.414213562373095).SeqEnd();
    const DxfList want = {
        "  0\r\nVERTEX\r\n  8\r\nA", " 10\r\n1E-6",   " 20\r\n-2500",
        "  0\r\nVERTEX\r\n  8\r\nA", " 10\r\n10",     " 20\r\n20",
        " 42\r\n0.414213562373095",  "  0\r\nSEQEND",
    };
    EXPECT_EQ(dxf, want);
}

TEST(DxfText, Line) {
    struct Row {
        const char* name;
        TDxfLineStyle style;
        DxfList want;
    };
    const Row rows[] = {
        {"plain",
         {},
         {"  0\r\nLINE\r\n  8\r\nA", " 10\r\n0", " 20\r\n1000", " 30\r\n0.0", " 11\r\n-1000.5",
          " 21\r\n0", " 31\r\n0.0"}},
        {"colour before line type",
         {.colour = 251, .hidden = true},
         {"  0\r\nLINE\r\n  8\r\nA", " 62\r\n251", "  6\r\nHIDDEN2", " 10\r\n0", " 20\r\n1000",
          " 30\r\n0.0", " 11\r\n-1000.5", " 21\r\n0", " 31\r\n0.0"}},
        {"plan only",
         {.zGroups = false},
         {"  0\r\nLINE\r\n  8\r\nA", " 10\r\n0", " 20\r\n1000", " 11\r\n-1000.5", " 21\r\n0"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        DxfList dxf;
        DxfWriter(dxf).Line("A", 0.0, 1000.0, -1000.5, 0.0, r.style);
        EXPECT_EQ(dxf, r.want);
    }
}

TEST(DxfText, Circle) {
    DxfList dxf;
    DxfWriter(dxf).Circle("A", {}, 5000.0).Circle("A", {12.5, -3.0, 1500.0}, 0.01);
    const DxfList want = {
        "  0\r\nCIRCLE\r\n  8\r\nA", " 10\r\n0.0",  " 20\r\n0.0", " 30\r\n0.0",  " 40\r\n5000",
        "  0\r\nCIRCLE\r\n  8\r\nA", " 10\r\n12.5", " 20\r\n-3",  " 30\r\n1500", " 40\r\n0.01",
    };
    EXPECT_EQ(dxf, want);
}

TEST(DxfText, Text) {
    struct Row {
        const char* name;
        TDxfText t;
        DxfList want;
    };
    const Row rows[] = {
        {"left on the baseline",
         {.at = {100.0, 200.0, 4000.0}, .height = "350.0", .text = "08:30"},
         {"  0\r\nTEXT\r\n  8\r\nT", " 10\r\n100", " 20\r\n200", " 30\r\n4000", " 40\r\n350.0",
          "  1\r\n08:30", " 41\r\n0.8"}},
        {"turned and centred at its alignment point",
         {.at = {-5.0, 0.0, {}},
          .height = 2.4,
          .text = "W",
          .rotationDeg = 90,
          .horizontal = 1,
          .vertical = 1,
          .alignPoint = TDxfPoint{-5.0, 0.0, {}}},
         {"  0\r\nTEXT\r\n  8\r\nT", " 10\r\n-5", " 20\r\n0", " 30\r\n0.0", " 40\r\n2.4",
          "  1\r\nW", " 41\r\n0.8", " 50\r\n90", " 72\r\n1", " 73\r\n1", " 11\r\n-5", " 21\r\n0",
          " 31\r\n0.0"}},
        {"narrow table text",
         {.at = {}, .height = 3, .text = "天空率", .widthFactor = 0.75},
         {"  0\r\nTEXT\r\n  8\r\nT", " 10\r\n0.0", " 20\r\n0.0", " 30\r\n0.0", " 40\r\n3",
          "  1\r\n天空率", " 41\r\n0.75"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        DxfList dxf;
        DxfWriter(dxf).Text("T", r.t);
        EXPECT_EQ(dxf, r.want);
    }
}

// One outline of a time-of-day diagram at 8:30 (dashed, as the time has a fractional part)
// with its label, saved in CP932: the file must match the reference byte for byte.
TEST_F(DxfSave, MatchesReferenceFile) {
    DxfList dxf;
    StartDxfFile(dxf);
    DxfWriter w(dxf);
    const std::string layer = "時刻";
    w.Polyline(layer, {.hidden = true, .elevation = 4000.0});
    w.Vertex(layer, 1e-6, 0.0).Vertex(layer, 1500.5, -2500.0).Vertex(layer, -1234.25, 3000.125);
    w.SeqEnd();
    w.Text(layer, {.at = {-1234.25, 3000.125, 4000.0}, .height = "350.0", .text = "08:30"});
    EndDxfFile(dxf);

    const fs::path path = dir_ / "ZUKA_1.dxf";
    std::size_t replaced = 99;
    ASSERT_TRUE(SaveDxfList(dxf, path, DxfEncoding::Cp932, &replaced));
    EXPECT_EQ(replaced, 0u);
    const std::string want = ReadBytes(fs::path(ZUKA_TEST_DATA) / "dxf" / "time_of_day.dxf");
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(ReadBytes(path), want);
}

TEST_F(DxfSave, EveryFileHasTheSameFrame) {
    DxfList standard;
    StartDxfFile(standard);
    DxfWriter(standard).Line("0", 0.0, 0.0, 1.0, 1.0);
    EndDxfFile(standard);
    DxfList noTables;
    StartDxfFileWithoutTables(noTables);
    EndDxfFile(noTables);

    for (const DxfList* dxf : {&standard, &noTables}) {
        for (DxfEncoding enc : {DxfEncoding::Cp932, DxfEncoding::Utf8}) {
            const fs::path path = dir_ / "frame.dxf";
            ASSERT_TRUE(SaveDxfList(*dxf, path, enc));
            const std::string bytes = ReadBytes(path);
            EXPECT_TRUE(StartsWith(bytes, "  0\r\nSECTION\r\n")) << bytes.substr(0, 20);
            EXPECT_TRUE(EndsWith(bytes, "\r\nENDSEC\r\n  0\r\nEOF\r\n"));
            // The code page named is the one the text is in.
            EXPECT_EQ(bytes.find("ANSI_932") != std::string::npos, enc == DxfEncoding::Cp932);
        }
    }
}

TEST_F(DxfSave, Utf8WhenAskedWithoutByteOrderMark) {
    const fs::path path = dir_ / "u.dxf";
    std::size_t replaced = 99;
    ASSERT_TRUE(SaveDxfList({"  1\r\n時刻", "A"}, path, DxfEncoding::Utf8, &replaced));
    EXPECT_EQ(ReadBytes(path), "  1\r\n時刻\r\nA\r\n");
    EXPECT_EQ(replaced, 0u);
    // A malformed byte is not passed through into the file.
    ASSERT_TRUE(SaveDxfList({"A\xFF"}, path, DxfEncoding::Utf8, &replaced));
    EXPECT_EQ(ReadBytes(path), "A?\r\n");
    EXPECT_EQ(replaced, 1u);
}

// A character CP932 lacks is written as "?" and counted; the rest of the file is complete.
TEST_F(DxfSave, UnencodableCharacterBecomesQuestionMark) {
    const fs::path path = dir_ / "euro.dxf";
    std::size_t replaced = 0;
    ASSERT_TRUE(SaveDxfList({"  1\r\n5€ 時", std::string(kDxfFileEnd)}, path, DxfEncoding::Cp932,
                            &replaced));
    EXPECT_EQ(replaced, 1u);
    EXPECT_EQ(ReadBytes(path), "  1\r\n5? \x8E\x9E\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n");
}

TEST_F(DxfSave, ReplacesAnEarlierFileAndLeavesNoTemporary) {
    const fs::path path = dir_ / "ZUKA_5.dxf";
    ASSERT_TRUE(SaveDxfList({"first", "version", "with", "more", "lines"}, path));
    ASSERT_TRUE(SaveDxfList({"second"}, path));
    EXPECT_EQ(ReadBytes(path), "second\r\n");
    EXPECT_EQ(Files(), std::vector<std::string>{"ZUKA_5.dxf"});
}

TEST_F(DxfSave, FailsWithoutTouchingAnything) {
    EXPECT_FALSE(SaveDxfList({"x"}, dir_ / "missing" / "ZUKA_1.dxf"));
    EXPECT_FALSE(fs::exists(dir_ / "missing"));

    // A folder where the file should go is neither replaced nor left with a temporary.
    fs::create_directory(dir_ / "ZUKA_2.dxf");
    EXPECT_FALSE(SaveDxfList({"x"}, dir_ / "ZUKA_2.dxf"));
    EXPECT_TRUE(fs::is_directory(dir_ / "ZUKA_2.dxf"));
    EXPECT_EQ(Files(), std::vector<std::string>{"ZUKA_2.dxf"});
}

// Every line must read back: a text of 510 Japanese characters is 1,020 bytes in CP932 and
// fits; two bytes more do not, nor 400 in UTF-8 (1,200 bytes). Refused, nothing written, the text
// named as the user wrote it.
TEST_F(DxfSave, RefusesALineTheReaderCannotTake) {
    auto kana = [](int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += "あ";
        return s;
    };
    std::string why;
    EXPECT_TRUE(
        SaveDxfList({"  1", kana(510)}, dir_ / "ZUKA_1.dxf", DxfEncoding::Cp932, nullptr, &why));
    EXPECT_FALSE(SaveDxfList({"  1", "xx" + kana(510)}, dir_ / "ZUKA_2.dxf", DxfEncoding::Cp932,
                             nullptr, &why));
    EXPECT_EQ(why, "文字列が DXF の 1 行に収まりません (1022 バイト, 1021 バイトまで): 'xx" +
                       kana(13) + "…'");
    EXPECT_TRUE(SaveDxfList({"  1", "x" + kana(340)}, dir_ / "ZUKA_3.dxf", DxfEncoding::Utf8));
    EXPECT_FALSE(SaveDxfList({"  1", kana(400)}, dir_ / "ZUKA_4.dxf", DxfEncoding::Utf8));
    EXPECT_EQ(Files(), (std::vector<std::string>{"ZUKA_1.dxf", "ZUKA_3.dxf"}));
}

TEST(DxfText, InsertCommandText) {
    const std::string p = "/work/ZUKA_5.dxf";
    struct Row {
        const char* name;
        InsertVariant v;
        std::string source;
        double x, y, rot;
        std::string want;
    };
    const Row rows[] = {
        {"time of day", InsertVariant::ExplodedOrigin, p, 0, 0, 0,
         "-INSERT\r\"*" + p + "\"\r0,0 1 0\r"},
        {"equal time", InsertVariant::ExplodedOriginEqualTime, p, 0, 0, 0,
         "-INsERT\r\"*" + p + "\"\r0,0 1 0\r"},
        {"deemed boundary", InsertVariant::ExplodedOriginBoundary, p, 0, 0, 0,
         "-InSERT\r\"*" + p + "\"\r0,0\r1 0\r"},
        {"sky map parts end in a blank", InsertVariant::ExplodedMapCentre, p, 1500.5, -2e-6, 0,
         "-INSERt\r\"*" + p + "\"\r1500.5,-2E-6\r1 0 "},
        {"exploded at a point", InsertVariant::ExplodedAtPoint, p, 10, 20, 30.5,
         "-INSERT\r\"*" + p + "\"\r10,20\r1.0\r30.5\r"},
        {"lasting block", InsertVariant::BlockAtPoint, p, 10, 20, -90,
         "-INSERT\r\"" + p + "\"\r10,20\r1.0 1.0\r-90\r"},
        {"placed with 12 decimals", InsertVariant::PlacedRotated, p, 0, 0, 1.0 / 3.0,
         "-INSERT\r\"" + p + "\"\rS\r1.0\rR\r0.333333333333\r"},
        {"placed table", InsertVariant::PlacedTable, p, 0, 0, 0,
         "-INSERT\r\"" + p + "\"\rS\r1.0\rR\r0\r"},
        {"placed wall", InsertVariant::PlacedWall, p, 0, 0, 0,
         "-INSERT\r\"" + p + "\"\rS\r1.0\rR\r0.0\r"},
        {"placed wall kept as a block", InsertVariant::PlacedWallBlock, p, 0, 0, 0,
         "-INSERT\r\"" + p + "\"\rS\r1.0\rR\r0.0\r"},
        {"built block by name", InsertVariant::PlacedBuiltBlock, "ZUKA_7", 0, 0, 0,
         "-INSERT\rZUKA_7\rS\r1.0\rR\r0.0\r"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(InsertCommandText(r.v, r.source, r.x, r.y, r.rot), r.want);
    }
}

}  // namespace
}  // namespace zuka

#include "app/ini_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "temp_dir.h"

namespace zuka {
namespace {

TEST(IniFile, SectionsAndKeysIgnoreLetterCase) {
    IniFile ini;
    ini.Parse("[common]\nIDO1=35\n");
    EXPECT_EQ(ini.ReadString("Common", "ido1", "36"), "35");
    EXPECT_EQ(ini.ReadString("COMMON", "Ido1", "36"), "35");
    // A write under another spelling replaces the value in place and keeps the first spelling.
    ini.WriteString("COMMON", "ido1", "40");
    EXPECT_EQ(ini.ToText(), "[common]\r\nIDO1=40\r\n");
}

TEST(IniFile, ValuesAreKeptExactly) {
    IniFile ini;
    ini.Parse(
        "[Layer]\n"
        "  Jikoku  = my layer \n"  // blanks around the key go, the value keeps its own
        "Touji=a=b\n"              // split at the first "="
        "Nini=\n"                  // present but empty: not the default
        "Tenku=zuka_tenku\n");
    EXPECT_EQ(ini.ReadString("Layer", "Jikoku", "x"), " my layer ");
    EXPECT_EQ(ini.ReadString("Layer", "Touji", "x"), "a=b");
    EXPECT_EQ(ini.ReadString("Layer", "Nini", "x"), "");
    EXPECT_EQ(ini.ReadString("Layer", "Tenku", "x"), "zuka_tenku");
    EXPECT_EQ(ini.ReadString("Layer", "Hwaku", "x"), "x");
    EXPECT_EQ(ini.ReadString("Other", "Jikoku", "x"), "x");
}

TEST(IniFile, ReadsWindowsAndUnixLinesAndSkipsNoise) {
    IniFile ini;
    ini.Parse(
        "\xEF\xBB\xBF"  // byte-order mark
        "orphan=1\r\n"  // before any section: belongs to none
        "[A]\r\n"
        "; a comment=1\r\n"
        "no equals sign\r\n"
        "x=1\r\n"
        "x=2\r\n"  // repeated key: the first counts
        "[ B ]\n"
        "y=3\n"
        "[a]\n"  // repeated section: merged into the first
        "z=4");  // no line end after the last line
    EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(ini.Keys("A"), (std::vector<std::string>{"x", "z"}));
    EXPECT_EQ(ini.ReadString("A", "x", ""), "1");
    EXPECT_EQ(ini.ReadString("A", "z", ""), "4");
    EXPECT_EQ(ini.ReadString("B", "y", ""), "3");
    EXPECT_FALSE(ini.HasKey("A", "orphan"));
    EXPECT_FALSE(ini.HasKey("A", "; a comment"));
}

TEST(IniFile, IntegerAndBooleanValues) {
    struct Row {
        const char* value;
        int wantInt;    // with default 77
        bool wantBool;  // with default true
    };
    const Row rows[] = {
        {"12", 12, true},
        {"-3", -3, true},
        {"0", 0, false},
        {"0x0", 0, false},
        {"0x1F", 31, true},
        {"0X10", 16, true},
        {" 7 ", 7, true},
        {"abc", 77, true},
        {"", 77, true},
        {"1.5", 77, true},
        {"12abc", 77, true},
        {"0x", 77, true},
        {"0x-5", 77, true},  // one sign, before the prefix only
        {"--5", 77, true},
        {"4294967296", 77, true},  // beyond 32 bits: no integer
        {"-2147483648", -2147483647 - 1, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string("value '") + r.value + "'");
        IniFile ini;
        ini.Parse(std::string("[S]\nk=") + r.value + "\n");
        EXPECT_EQ(ini.ReadInteger("S", "k", 77), r.wantInt);
        EXPECT_EQ(ini.ReadBool("S", "k", true), r.wantBool);
    }
    IniFile empty;
    EXPECT_EQ(empty.ReadInteger("S", "k", 77), 77);
    EXPECT_FALSE(empty.ReadBool("S", "k", false));
}

TEST(IniFile, WritesKeepSectionsTogetherInFirstOrder) {
    IniFile ini;
    ini.WriteInteger("Form", "Left", -12);
    ini.WriteString("Common", "takasa", "4.0");
    ini.WriteString("Tokutei", "takasa", "0.0");
    ini.WriteString("Common", "takasa2", "300.0");  // back to an earlier section: appended there
    ini.WriteBool("Jikoku", "NotHoui", true);
    ini.WriteBool("Hekimen", "block", false);
    ini.WriteString("Common", "TAKASA", "5.0");  // existing key: replaced in place
    EXPECT_EQ(ini.ToText(),
              "[Form]\r\nLeft=-12\r\n"
              "\r\n[Common]\r\ntakasa=5.0\r\ntakasa2=300.0\r\n"
              "\r\n[Tokutei]\r\ntakasa=0.0\r\n"
              "\r\n[Jikoku]\r\nNotHoui=1\r\n"
              "\r\n[Hekimen]\r\nblock=0\r\n");

    IniFile back;
    back.Parse(ini.ToText());
    EXPECT_EQ(back.ToText(), ini.ToText());
}

TEST(IniFile, LineBreakInValueCannotInjectKeys) {
    IniFile ini;
    ini.WriteString("Layer", "Jikoku", "a\r\n[Target]\nProgID=x");
    IniFile back;
    back.Parse(ini.ToText());
    EXPECT_EQ(back.Sections(), (std::vector<std::string>{"Layer"}));
    EXPECT_EQ(back.ReadString("Layer", "Jikoku", ""), "a  [Target] ProgID=x");
}

TEST(IniFile, FileRoundTripAndFailures) {
    const testing::TempDir dir;
    const std::filesystem::path path = dir.Path() / "zuka.ini";

    IniFile missing;
    missing.WriteString("Stale", "k", "v");
    EXPECT_FALSE(missing.LoadFile(path));
    EXPECT_TRUE(missing.Sections().empty());

    IniFile ini;
    ini.WriteString("Layer", "Jikoku", "日影 jikoku");
    ASSERT_TRUE(ini.SaveFile(path));
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        EXPECT_EQ(bytes.str(), "[Layer]\r\nJikoku=日影 jikoku\r\n");  // UTF-8, no mark
    }
    IniFile back;
    ASSERT_TRUE(back.LoadFile(path));
    EXPECT_EQ(back.ReadString("Layer", "Jikoku", ""), "日影 jikoku");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "zuka.ini.tmp"));

    // A file in CP932, as Windows programs write settings, is decoded (not read as broken
    // UTF-8, which turned layer names into question marks); bytes that are neither are refused.
    IniFile cp932;
    ASSERT_TRUE(cp932.LoadFile(ZUKA_TEST_DATA "/settings/cp932.ini"));
    EXPECT_EQ(cp932.ReadString("Layer", "Jikoku", ""), "日影図");
    EXPECT_EQ(cp932.ReadString("Layer", "Tenku", ""), "天空図");
    EXPECT_EQ(cp932.ReadString("Common", "ido1", ""), "35");
    {
        std::ofstream(dir.Path() / "garbage.ini", std::ios::binary) << "[Layer]\r\nJikoku=\x81\x20\r\n";
    }
    EXPECT_FALSE(back.LoadFile(dir.Path() / "garbage.ini"));

    // Below a regular file nothing can be written, not even by root; the call reports it.
    const std::filesystem::path blocked = dir.MakeFile("plain") / "zuka.ini";
    EXPECT_FALSE(ini.SaveFile(blocked));
    EXPECT_FALSE(back.LoadFile(blocked));
}

}  // namespace
}  // namespace zuka

#include "solar/city_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/number.h"

namespace zuka {
namespace {

// Characters of a UTF-8 text (bytes that do not continue a sequence).
int CountChars(const std::string& s) {
    int n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

// Little-endian bytes of a UTF-16 text, as Windows editors save "Unicode".
std::string Utf16Le(const std::u16string& text) {
    std::string bytes;
    for (char16_t u : text) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

TEST(CityList, BuiltInItems) {
    const std::vector<std::string> items = BuiltInCityList();
    ASSERT_EQ(items.size(), 48u);
    EXPECT_EQ(items.front(), "基準  ,36°00′");
    EXPECT_EQ(items[1], "北海道,43°04′");
    EXPECT_EQ(items[14], "神奈川,35°27′");
    EXPECT_EQ(items[13], "東京  ,35°40′");
    EXPECT_EQ(items.back(), "沖縄  ,26°12′");
    for (const std::string& item : items) {
        SCOPED_TRACE(item);
        const std::size_t comma = item.find(',');
        ASSERT_NE(comma, std::string::npos);
        const std::string name = item.substr(0, comma);
        // Two-character names are padded with two blanks, three-character names not at all.
        const std::size_t blank = name.find(' ');
        const std::string core = name.substr(0, blank);
        if (CountChars(core) == 2) {
            EXPECT_EQ(name, core + "  ");
        } else {
            EXPECT_EQ(CountChars(core), 3);
            EXPECT_EQ(name, core);
        }
        // Every item fills the latitude with whole degrees and two-digit minutes.
        const TIdoTexts t = ComboBox1Change(item);
        const double deg = ParseDouble(t.Edit3).value_or(0);
        EXPECT_GE(deg, 26);
        EXPECT_LE(deg, 43);
        EXPECT_EQ(t.Edit5.size(), 2u);
        EXPECT_EQ(t.Edit23, "00");
    }
}

TEST(CityList, ExtractBetween) {
    struct Row {
        const char* name;
        const char* s;
        const char* e;
        const char* text;
        const char* want;
    };
    const Row rows[] = {
        {"plain", ",", "°", "東京  ,35°40′", "35"},
        {"after the last start mark", ",", "]", "a,b,c]", "c"},
        {"blanks trimmed", ",", "°", "x,  35 \t°", "35"},
        {"only blanks", ",", "°", "x,   °", ""},
        {"end mark first", ",", "°", "x,°12", ""},
        {"no end mark", "′", "″", "北海道,43°04′", ""},
        {"no start mark", ",", "°", "43°04′", ""},
        {"end mark before start mark only", "°", "′", "a′b°c", ""},
        {"removal from the front, not from the last occurrence", "aa", "]", "xaaa1]", "a1"},
        {"empty start mark", "", "]", "a]", ""},
        {"empty end mark", ",", "", "a,b", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(ExtractBetween(r.s, r.e, r.text), r.want);
    }
}

TEST(CityList, ComboBox1Change) {
    struct Row {
        const char* item;
        TIdoTexts want;
    };
    const Row rows[] = {
        {"北海道,43°04′", {"43", "04", "00"}},
        {"那覇,26°12′30″", {"26", "12", "30"}},
        {"宮古島 , 24 ° 48 ′ 5 ″", {"24", "48", "5"}},
        {"", {"36", "00", "00"}},  // typed text, no item selected
        {"sapporo", {"36", "00", "00"}},
        {"x,  °30′", {"36", "30", "00"}},  // blank degrees
        {"x,35°′", {"35", "00", "00"}},    // no minutes
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.item);
        const TIdoTexts got = ComboBox1Change(r.item);
        EXPECT_EQ(got.Edit3, r.want.Edit3);
        EXPECT_EQ(got.Edit5, r.want.Edit5);
        EXPECT_EQ(got.Edit23, r.want.Edit23);
    }
}

TEST(CityList, Converter) {
    EXPECT_EQ(DmsToDeg("35", "40", "0"), "35.6667");
    EXPECT_EQ(DmsToDeg("130", "33", "00"), "130.5500");
    EXPECT_EQ(DmsToDeg("abc", "30", ""), "0.5000");  // no number counts as 0
    EXPECT_EQ(DmsToDeg("-35", "0", "0"), "-35.0000");

    struct Row {
        const char* deg;
        TDmsTexts want;
    };
    const Row rows[] = {
        {"130.5500", {"130", "33", "00"}}, {"35.6667", {"35", "40", "00"}},
        {"8.5", {"8", "30", "00"}},        {"36.0125", {"36", "00", "45"}},
        {"abc", {"0", "00", "00"}},        {"0.0003", {"0", "00", "01"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.deg);
        const TDmsTexts got = DegToDms(r.deg);
        EXPECT_EQ(got.Edit46, r.want.Edit46);
        EXPECT_EQ(got.Edit47, r.want.Edit47);
        EXPECT_EQ(got.Edit48, r.want.Edit48);
    }
}

class CityFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("zuka_solar_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path Write(const std::string& bytes) {
        const std::filesystem::path p = dir_ / kCityListFile;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

    std::filesystem::path dir_;
};

TEST_F(CityFile, MissingFileGivesNothing) {
    EXPECT_FALSE(LoadCityList(dir_ / kCityListFile).has_value());
    EXPECT_FALSE(LoadCityList(dir_).has_value());  // a folder is no list
}

TEST_F(CityFile, EncodingsAndLineEnds) {
    // 那覇,26°12′30″ and 宮古島,24°48′ in CP932 (Shift_JIS with the degree and prime signs).
    const std::string cp932 =
        "\x93\xDF\x94"
        "e,26\x81\x8B"
        "12\x81\x8C"
        "30\x81\x8D\r\n"
        "\x8B{\x8C\xC3\x93\x87,24\x81\x8B"
        "48\x81\x8C\r\n";
    struct Row {
        const char* name;
        std::string bytes;
    };
    const Row rows[] = {
        {"UTF-8", "那覇,26°12′30″\n宮古島,24°48′\n"},
        {"UTF-8 with BOM and CR LF", "\xEF\xBB\xBF那覇,26°12′30″\r\n宮古島,24°48′"},
        {"CP932", cp932},
        {"UTF-16LE with BOM", Utf16Le(u"\uFEFF那覇,26°12′30″\r\n宮古島,24°48′\r\n")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::optional<std::vector<std::string>> items = LoadCityList(Write(r.bytes));
        ASSERT_TRUE(items.has_value());
        ASSERT_EQ(items->size(), 2u);
        EXPECT_EQ((*items)[0], "那覇,26°12′30″");
        EXPECT_EQ((*items)[1], "宮古島,24°48′");
        const TIdoTexts t = ComboBox1Change((*items)[0]);
        EXPECT_EQ(t.Edit3 + " " + t.Edit5 + " " + t.Edit23, "26 12 30");
    }
}

TEST_F(CityFile, LinesKeptAsStored) {
    const std::optional<std::vector<std::string>> items =
        LoadCityList(Write("東京  ,35°40′\n\n  札幌,43°03′ \r\n"));
    ASSERT_TRUE(items.has_value());
    ASSERT_EQ(items->size(), 3u);
    EXPECT_EQ((*items)[1], "");
    EXPECT_EQ((*items)[2], "  札幌,43°03′ ");

    const std::optional<std::vector<std::string>> empty = LoadCityList(Write(""));
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
}

}  // namespace
}  // namespace zuka

#include "base/number.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <locale>
#include <optional>
#include <string>

namespace zuka {
namespace {

TEST(Number, FormatGeneral) {
    struct Row {
        const char* name;
        double x;
        const char* want;
    };
    const Row rows[] = {
        {"zero", 0.0, "0"},
        {"negative zero", -0.0, "0"},
        {"integer", 4000, "4000"},
        {"one tenth", 0.1, "0.1"},
        {"sum carries no binary noise", 0.1 + 0.2, "0.3"},
        {"noise below the 15th digit rounds away", 8.999999999999996, "9"},
        {"one third keeps 15 digits", 1.0 / 3.0, "0.333333333333333"},
        {"minus two thirds rounds the 15th digit", -2.0 / 3.0, "-0.666666666666667"},
        {"negative", -1500.25, "-1500.25"},
        {"smallest fixed-form value", 0.00001, "0.00001"},
        {"small fixed form keeps leading zeros", 0.000012345, "0.000012345"},
        {"just below 1E-5", 9.99e-6, "9.99E-6"},
        {"rounds up to 1E-5", 9.9999999999999961e-6, "0.00001"},
        {"negative, rounds up to -1E-5", -9.9999999999999961e-6, "-0.00001"},
        {"1E-6", 1e-6, "1E-6"},
        {"negative small", -2.5e-7, "-2.5E-7"},
        {"15 integer digits", 123456789012345.0, "123456789012345"},
        {"1E14", 1e14, "100000000000000"},
        {"16 integer digits", 1234567890123456.0, "1.23456789012346E15"},
        {"rounds up to 16 integer digits", 999999999999999.9, "1E15"},
        {"1.5E20", 1.5e20, "1.5E20"},
        // 15 digits would round up past the largest double, a text no reader takes back.
        {"largest double", std::numeric_limits<double>::max(), "1.7976931348623157E308"},
        {"largest negative", -std::numeric_limits<double>::max(), "-1.7976931348623157E308"},
        {"just below the rounding edge", 1.7976931348623e308, "1.7976931348623E308"},
        {"smallest subnormal", std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(FormatGeneral(r.x), r.want);
    }
}

// What is written reads back: within 15 digits, to a value that writes the same text again,
// and exactly for a value of 15 digits or fewer. The extremes of the double range included.
TEST(Number, FormatGeneralReadsBack) {
    using Lim = std::numeric_limits<double>;
    const double values[] = {1e-6,        0.1,          1.0 / 3.0,      12345.678901,
                             -2.5e-7,     1.5e20,       6378137.0,      Lim::max(),
                             -Lim::max(), Lim::min(),   Lim::denorm_min(),
                             std::nextafter(Lim::max(), 0.0), 1.79769313486231e308,
                             9.9999999999999961e-6};
    for (double v : values) {
        SCOPED_TRACE(FormatGeneral(v));
        const std::optional<double> back = ParseDouble(FormatGeneral(v));
        ASSERT_TRUE(back.has_value());
        EXPECT_NEAR(*back, v, std::abs(v) * 1e-14);
        EXPECT_EQ(FormatGeneral(*back), FormatGeneral(v));
    }
    for (double v : {0.1, 12345.678901, 1.79769313486231e308, -2.5e-7})
        EXPECT_EQ(ParseDouble(FormatGeneral(v)), v);
}

TEST(Number, FormatFixedRoundsHalfAwayFromZero) {
    struct Row {
        const char* name;
        double x;
        int decimals;
        const char* want;
    };
    const Row rows[] = {
        {"binary 2.675 is below the half, text is not", 2.675, 2, "2.68"},
        {"negative half", -2.675, 2, "-2.68"},
        {"1.005", 1.005, 2, "1.01"},
        {"half at zero decimals", 0.5, 0, "1"},
        {"negative half at zero decimals", -0.5, 0, "-1"},
        {"2.5 goes up, not to even", 2.5, 0, "3"},
        {"below the half", 0.449, 1, "0.4"},
        {"carry through every digit", 9.99995, 4, "10.0000"},
        {"carry into a new integer digit", 99.96, 1, "100.0"},
        {"rounds to zero: no minus sign", -0.004, 2, "0.00"},
        {"rounds to zero at zero decimals", -0.4, 0, "0"},
        {"negative zero", -0.0, 3, "0.000"},
        {"padding", 1.5, 3, "1.500"},
        {"tiny value", 1e-7, 5, "0.00000"},
        {"small value rounds up", 0.000005, 5, "0.00001"},
        {"large value", 1e20, 2, "100000000000000000000.00"},
        {"degrees with two decimals", 0.5235987755982988 * 57.29577951308232, 2, "30.00"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(FormatFixed(r.x, r.decimals), r.want);
    }
}

TEST(Number, RoundByFormatGivesTheShownValue) {
    EXPECT_EQ(RoundByFormat(2.675, 2), 2.68);
    EXPECT_EQ(RoundByFormat(-0.0004, 3), 0.0);
    EXPECT_EQ(RoundByFormat(0.12345, 4), 0.1235);
    EXPECT_EQ(RoundByFormat(1.0 / 3.0, 3), 0.333);
}

TEST(Number, FormatInt) {
    EXPECT_EQ(FormatInt(5, 2), "05");
    EXPECT_EQ(FormatInt(-5, 2), "-05");
    EXPECT_EQ(FormatInt(123, 2), "123");
    EXPECT_EQ(FormatInt(0), "0");
    EXPECT_EQ(FormatInt(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

TEST(Number, ParseDouble) {
    struct Row {
        const char* text;
        std::optional<double> want;
    };
    const Row rows[] = {
        {" 1.5 ", 1.5},
        {"\t7\t", 7.0},
        {"+2", 2.0},
        {"-3.", -3.0},
        {".5", 0.5},
        {"-.5", -0.5},
        {"1e3", 1000.0},
        {"1.5E+2", 150.0},
        {"1E-6", 1e-6},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"1,5", std::nullopt},
        {"inf", std::nullopt},
        {"-inf", std::nullopt},
        {"nan", std::nullopt},
        {"0x10", std::nullopt},
        {"1.2.3", std::nullopt},
        {"-", std::nullopt},
        {"+", std::nullopt},
        {".", std::nullopt},
        {"1e", std::nullopt},
        {"1e+", std::nullopt},
        {"e5", std::nullopt},
        {"+-2", std::nullopt},
        {"-+2", std::nullopt},
        {"--2", std::nullopt},
        {"1 2", std::nullopt},
        {"1.5x", std::nullopt},
        {"1e400", std::nullopt},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string("'") + r.text + "'");
        EXPECT_EQ(ParseDouble(r.text), r.want);
    }
}

TEST(Number, ParseInteger) {
    struct Row {
        const char* text;
        std::optional<std::int64_t> want;
    };
    const Row rows[] = {
        {"12", 12},
        {" -7 ", -7},
        {"+3", 3},
        {"0x0", 0},
        {"0X1F", 31},
        {"$FF", 255},
        {"-0x10", -16},
        {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
        {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
        {"9223372036854775808", std::nullopt},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"1.5", std::nullopt},
        {"--5", std::nullopt},
        {"+-5", std::nullopt},
        {"-+5", std::nullopt},
        {"0x-5", std::nullopt},
        {"$+5", std::nullopt},
        {"0xG", std::nullopt},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string("'") + r.text + "'");
        EXPECT_EQ(ParseInteger(r.text), r.want);
    }
}

TEST(Number, StrToFloatNamesTheField) {
    EXPECT_EQ(StrToFloat(" 35.5", "Common.ido1"), 35.5);
    try {
        StrToFloat("3,5", "緯度 (度) (Common.ido1)");
        FAIL() << "no ConvertError";
    } catch (const ConvertError& e) {
        EXPECT_EQ(e.Text(), "3,5");
        EXPECT_EQ(e.Field(), "緯度 (度) (Common.ido1)");
        EXPECT_STREQ(e.what(), "緯度 (度) (Common.ido1) の値 '3,5' は数値ではありません");
    }
}

// A value a message repeats: control characters and bytes that are no UTF-8 become \xNN, a long
// one is cut at a character boundary, a megabyte shows as 40 bytes.
TEST(Number, QuotedValue) {
    struct Row {
        const char* name;
        std::string text;
        std::string want;
    };
    const Row rows[] = {
        {"plain", "abc", "'abc'"},
        {"Japanese", "三十五", "'三十五'"},
        {"control characters", std::string("a\tb\x7f\0c", 6), "'a\\x09b\\x7F\\x00c'"},
        {"not UTF-8", "\x82\xa0x\xe3\x81", "'\\x82\\xA0x\\xE3\\x81'"},
        {"an overlong slash is no UTF-8", "\xC0\xAF", "'\\xC0\\xAF'"},
        {"long", std::string(39, 'x') + "あい", "'" + std::string(39, 'x') + "あ…'"},
        {"a megabyte", std::string(1 << 20, '\x1b'),
         "'" +
             [] {
                 std::string s;
                 for (int i = 0; i < 40; ++i) s += "\\x1B";
                 return s;
             }() +
             "…'"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(QuotedValue(r.text), r.want);
    }
}

// Every reader's error in one form: the file, "行 N", the value shown as QuotedValue shows it.
TEST(Number, ReaderError) {
    EXPECT_EQ(ReaderError("図面ファイルを読めません: ", "a.dxf", 12, "数値が正しくありません",
                          std::string("1\r2")),
              "図面ファイルを読めません: a.dxf (行 12: 数値が正しくありません '1\\x0D2')");
    EXPECT_EQ(ReaderError("図面ファイルを読めません: ", "a\nb.dxf", std::nullopt, "理由"),
              "図面ファイルを読めません: a\\x0Ab.dxf (理由)");
}

TEST(Number, StrToInt) {
    EXPECT_EQ(StrToInt(" 12 ", "Edit5"), 12);
    EXPECT_EQ(StrToInt("-3", "Edit5"), -3);
    for (const char* bad : {"", "1.5", "0x10", "$10", "+-5", "--5", "abc"}) {
        SCOPED_TRACE(std::string("'") + bad + "'");
        EXPECT_THROW(StrToInt(bad, "Edit5"), ConvertError);
    }
}

// A C++ locale whose decimal point is a comma; needs no locale installed on the system.
struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

void ExpectPointSeparator() {
    EXPECT_EQ(FormatGeneral(1.5), "1.5");
    EXPECT_EQ(FormatGeneral(1234567.25), "1234567.25");
    EXPECT_EQ(FormatGeneral(2.5e-7), "2.5E-7");
    EXPECT_EQ(FormatFixed(2.675, 2), "2.68");
    EXPECT_EQ(FormatInt(1234567), "1234567");
    EXPECT_EQ(ParseDouble("1.5"), 1.5);
    EXPECT_EQ(ParseDouble("1,5"), std::nullopt);
}

// Puts the process locales back however the test ends.
class LocaleGuard {
public:
    LocaleGuard() : cxx_(std::locale()), c_(std::setlocale(LC_ALL, nullptr)) {}
    ~LocaleGuard() {
        std::locale::global(cxx_);
        std::setlocale(LC_ALL, c_.c_str());
    }

private:
    std::locale cxx_;
    std::string c_;
};

TEST(Number, FormattingIgnoresTheCxxLocale) {
    const LocaleGuard guard;
    std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    ExpectPointSeparator();
}

TEST(Number, FormattingIgnoresTheCLocale) {
    const LocaleGuard guard;
    bool found = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE"})
        if (std::setlocale(LC_ALL, name)) {
            found = true;
            break;
        }
    if (!found) GTEST_SKIP() << "no locale with a decimal comma is installed";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    ExpectPointSeparator();
}

}  // namespace
}  // namespace zuka

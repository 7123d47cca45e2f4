#include "base/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zuka {
namespace {

TEST(Text, CaseTrimAndLines) {
    EXPECT_EQ(UpperAscii("zuka_3 建物 Ａb"), "ZUKA_3 建物 ＡB");  // only ASCII letters move
    EXPECT_TRUE(EqualsNoCase("Layer0", "LAYER0"));
    EXPECT_FALSE(EqualsNoCase("layer", "layer0"));
    EXPECT_FALSE(EqualsNoCase("ａ", "Ａ"));  // fullwidth letters are not ASCII
    EXPECT_EQ(TrimBlanks(" \t\r\n 東京 \x01\r\n"), "東京");
    EXPECT_EQ(SplitLines("a\r\n\nb\rc\n"), (std::vector<std::string>{"a", "", "b\rc"}));
    EXPECT_TRUE(SplitLines("").empty());
}

// The one UTF-8 reader: a whole valid character, or one byte that is none.
TEST(Text, ReadUtf8Char) {
    struct Row {
        const char* name;
        std::string text;
        std::uint32_t codePoint;
        std::size_t length;
        bool valid;
    };
    const Row rows[] = {
        {"ASCII", "a", 'a', 1, true},
        {"two bytes", "\xC3\xA9", 0xE9, 2, true},
        {"three bytes", "東", 0x6771, 3, true},
        {"four bytes", "\xF0\x9F\x8F\xA0", 0x1F3E0, 4, true},
        {"overlong slash", "\xC0\xAF", 0xC0, 1, false},
        {"overlong three bytes", "\xE0\x80\xAF", 0xE0, 1, false},
        {"surrogate", "\xED\xA0\x80", 0xED, 1, false},
        {"above U+10FFFF", "\xF4\x90\x80\x80", 0xF4, 1, false},
        {"cut off", "\xE6\x9D", 0xE6, 1, false},
        {"a stray continuation byte", "\x80", 0x80, 1, false},
        {"CP932 東", "\x93\x8C", 0x93, 1, false},
    };
    for (const Row& r : rows) {
        const TUtf8Char ch = ReadUtf8Char(r.text, 0);
        EXPECT_EQ(ch.codePoint, r.codePoint) << r.name;
        EXPECT_EQ(ch.length, r.length) << r.name;
        EXPECT_EQ(ch.valid, r.valid) << r.name;
        EXPECT_EQ(IsValidUtf8(r.text), r.valid) << r.name;
    }
    EXPECT_EQ(Utf8Characters("東京 5m"), 5u);
    EXPECT_EQ(Utf8Characters("\x93\x8C\x8B\x9E"), 4u);  // CP932 bytes count one each
}

// One decoder for every text file of the program: the byte-order mark decides, then valid UTF-8,
// then CP932; malformed bytes decode to nothing, or to U+FFFD when lenient.
TEST(Text, DecodeTextFile) {
    struct Row {
        const char* name;
        std::string bytes;
        bool lenient;
        bool decodes;
        std::string text;
        TextEncoding encoding;
    };
    const std::string sjis = "\x93\x8C\x8B\x9E";  // 東京 in CP932
    const Row rows[] = {
        {"ASCII counts as CP932", "ido1=35", false, true, "ido1=35", TextEncoding::Cp932},
        {"UTF-8 without mark", "東京", false, true, "東京", TextEncoding::Utf8},
        {"CP932", sjis, false, true, "東京", TextEncoding::Cp932},
        {"UTF-8 mark", "\xEF\xBB\xBF東京", false, true, "東京", TextEncoding::Utf8Bom},
        {"UTF-16LE mark", std::string("\xFF\xFE\x71\x67\xAC\x4E", 6), false, true, "東京",
         TextEncoding::Utf16Le},
        {"UTF-16BE mark", std::string("\xFE\xFF\x67\x71\x4E\xAC", 6), false, true, "東京",
         TextEncoding::Utf16Be},
        {"overlong UTF-8 is no UTF-8, nor CP932", "\xC0\xAF\x80", false, false, "",
         TextEncoding::Cp932},
        {"lenient: the bad byte becomes U+FFFD", sjis + "\x80", true, true,
         "東京\xEF\xBF\xBD", TextEncoding::Cp932},
        {"UTF-16 cut in half a character", std::string("\xFF\xFEx\0y", 5), false, false, "",
         TextEncoding::Utf16Le},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::optional<TDecodedText> d = DecodeTextFile(r.bytes, r.lenient);
        ASSERT_EQ(d.has_value(), r.decodes);
        if (!d) continue;
        EXPECT_EQ(d->text, r.text);
        EXPECT_EQ(d->encoding, r.encoding);
        if (r.lenient) continue;
        // What was read writes back to the same bytes.
        EXPECT_EQ(EncodeTextFile(d->text, d->encoding), r.bytes);
    }
}

}  // namespace
}  // namespace zuka

#include "base/encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace zuka {
namespace {

TEST(Encoding, Cp932RoundTrip) {
    struct Row {
        const char* name;
        std::string utf8;
        std::string cp932;
    };
    const Row rows[] = {
        {"ASCII with backslash and tilde", "A\\~%%d", "A\\~%%d"},
        {"kanji", "時刻", "\x8E\x9E\x8D\x8F"},
        {"fullwidth tilde", "～", "\x81\x60"},
        {"wave dash as typed on other systems", "〜", "\x81\x60"},
        {"circled digit (Windows extension)", "①", "\x87\x40"},
        {"IBM extension kanji", "髙", "\xFB\xFC"},
        {"halfwidth katakana", "ｶﾅ", "\xB6\xC5"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(Utf8ToCp932(r.utf8), r.cp932);
    }
    // Back from CP932 the Windows form of each character comes out.
    EXPECT_EQ(Cp932ToUtf8("\x8E\x9E\x8D\x8F\x81\x60\x87\x40\xFB\xFC\xB6\xC5 A\\~"),
              "時刻～①髙ｶﾅ A\\~");
}

TEST(Encoding, StrictFormsRefuse) {
    for (const char* text : {"€", "é", "A\xFF", "\xE6\x99"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Utf8ToCp932(text), std::nullopt);
    }
    for (const char* text : {"A\x81", "\x85\x40", "\xA0"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Cp932ToUtf8(text), std::nullopt);
    }
}

TEST(Encoding, LossyFormsReplaceOneMarkPerCharacter) {
    struct Row {
        const char* name;
        std::optional<TConvertedText> got;
        std::string want;
        std::size_t replaced;
    };
    const Row rows[] = {
        {"three-byte character CP932 lacks", Utf8ToCp932Lossy("5€時"), "5?\x8E\x9E", 1},
        {"four-byte character", Utf8ToCp932Lossy("a😀b"), "a?b", 1},
        {"malformed byte", Utf8ToCp932Lossy("時\xFF刻"), "\x8E\x9E?\x8D\x8F", 1},
        {"text ends inside a character", Utf8ToCp932Lossy("A\xE6\x99"), "A?", 1},
        {"unassigned double-byte code", Cp932ToUtf8Lossy("\x85\x40X"), "\uFFFDX", 1},
        {"lone lead byte at the end", Cp932ToUtf8Lossy("A\x81"), "A\uFFFD", 1},
        {"clean text", Cp932ToUtf8Lossy("\x8E\x9E"), "時", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_TRUE(r.got.has_value());
        EXPECT_EQ(r.got->text, r.want);
        EXPECT_EQ(r.got->replaced, r.replaced);
    }
}

// More output than one conversion step holds, with a refused character near the end.
TEST(Encoding, LongText) {
    std::string utf8;
    std::string cp932;
    for (int i = 0; i < 5000; ++i) {
        utf8 += "日影";
        cp932 += "\x93\xFA\x89\x65";
    }
    utf8 += "€.";
    cp932 += "?.";
    const std::optional<TConvertedText> r = Utf8ToCp932Lossy(utf8);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->replaced, 1u);
    EXPECT_EQ(r->text, cp932);
}

TEST(Encoding, UnknownCodePage) {
    EXPECT_EQ(ConvertText("abc", "UTF-8", "NO-SUCH-CODE-PAGE", "?"), std::nullopt);
}

}  // namespace
}  // namespace zuka

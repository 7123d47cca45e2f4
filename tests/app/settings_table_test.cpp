// The table of settings: complete, consistent with the window's first-start values, the
// checks of --set, and the reference page written from it.
#include "app/settings_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/form.h"
#include "app/ini_file.h"
#include "app/settings.h"
#include "base/number.h"

namespace zuka {
namespace {

// Every key the settings file holds has its entry, in the file's order, and every first-start
// value lies in its range: the table cannot drift from the file or refuse what the window sets.
TEST(SettingsTable, DescribesEveryKeyOfTheFile) {
    const IniFile defaults = SaveSettings(Form{});
    std::vector<std::string> fileKeys;
    for (const std::string& section : defaults.Sections())
        for (const std::string& key : defaults.Keys(section)) fileKeys.push_back(section + "." + key);
    std::vector<std::string> tableKeys;
    for (const TSettingInfo& s : SettingsTable()) {
        tableKeys.push_back(std::string(s.section) + "." + std::string(s.key));
        SCOPED_TRACE(tableKeys.back());
        EXPECT_FALSE(s.label.empty());
        EXPECT_FALSE(s.meaning.empty());
        if (s.section == "Form") continue;  // the window's place depends on the screen
        EXPECT_EQ(CheckSetOption(s.section, s.key, defaults.ReadString(s.section, s.key, "")),
                  std::nullopt);
    }
    std::vector<std::string> sortedFile = fileKeys;
    std::vector<std::string> sortedTable = tableKeys;
    std::sort(sortedFile.begin(), sortedFile.end());
    std::sort(sortedTable.begin(), sortedTable.end());
    EXPECT_EQ(sortedTable, sortedFile);
}

TEST(SettingsTable, SetOptionIsCheckedByKindAndRange) {
    struct Row {
        const char* name;
        const char* section;
        const char* key;
        const char* value;
        const char* want;  // nullptr: accepted; else a part of the refusal
    };
    const Row rows[] = {
        {"latitude", "Common", "ido1", "35.5", nullptr},
        {"latitude at the pole", "common", "IDO1", "90",
         "緯度 (度) (Common.ido1) は次の範囲で指定してください (0 以上 90 未満、単位 度): '90'"},
        {"latitude no number", "Common", "ido1", "abc", "(Common.ido1) は数値で指定してください"},
        {"NaN is no number", "Common", "takasa", "nan", "は数値で"},
        {"beyond any double", "Common", "takasa", "1e400", "は数値で"},
        {"plane far below", "Common", "takasa", "-1e6", "(-1000 ～ 1000、単位 m)"},
        {"true north, a whole turn back", "Common", "makita", "-360", nullptr},
        {"true north, huge", "Common", "makita", "-1e17", "(-360 ～ 360、単位 度)"},
        {"end of the day", "Jikoku", "owari", "24", nullptr},
        {"time huge", "Jikoku", "owari", "1e300", "'1e300'"},
        {"step 0", "Jikoku", "kankaku", "0", "(0.01 ～ 24、単位 時間)"},
        {"season", "Common", "kisetsu", "2", nullptr},
        {"season in hexadecimal", "Common", "kisetsu", "0x1", nullptr},
        {"season no integer", "Common", "kisetsu", "abc", "季節 (Common.kisetsu) は整数で"},
        {"season 1.5", "Common", "kisetsu", "1.5", "は整数で"},
        {"season below the items", "Common", "kisetsu", "-1", "(0 ～ 2): '-1'"},
        {"evaluation step NaN", "Touji", "kankaku2", "nan", "は整数で"},
        {"evaluation step hidden", "Touji", "kankaku2", "-1", "評価時間 (等時間)"},
        {"window position", "Form", "Left", "2147483647", "(-32767 ～ 32767、単位 px)"},
        {"radius 0", "Tenku", "Hankei", "0", "(0 より大きく 10000 以下、単位 図寸 mm)"},
        {"Boolean", "Bairitsu", "useDMS", "1", nullptr},
        {"Boolean 2", "Bairitsu", "useDMS", "2", "(0 または 1): '2'"},
        {"Boolean word", "Bairitsu", "useDMS", "true", "は整数で"},
        {"layer name: any text", "Layer", "Jikoku", "日影 1", nullptr},
        {"unknown key", "Common", "ido", "35", "設定ファイルにないキーです: Common.ido"},
        {"control characters are not echoed", "Common", "ido1", "a\x1b[2Jb", "'a\\x1B[2Jb'"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::optional<std::string> refusal = CheckSetOption(r.section, r.key, r.value);
        if (!r.want) {
            EXPECT_EQ(refusal, std::nullopt);
            continue;
        }
        ASSERT_TRUE(refusal.has_value());
        EXPECT_NE(refusal->find(r.want), std::string::npos) << *refusal;
    }
    // A long value is shown shortened, not whole.
    const std::optional<std::string> longValue =
        CheckSetOption("Common", "ido1", std::string(100000, '9'));
    ASSERT_TRUE(longValue.has_value());
    EXPECT_LT(longValue->size(), 200u);
}

// docs/settings.md is the reference written from the table. After a change to the table,
// rewrite it with: ZUKA_WRITE_SETTINGS_DOC=1 build/tests/app/zuka_app_tests
// --gtest_filter=SettingsTable.ReferenceIsCurrent
// The window names a setting by its label: the keys after it go, other parentheses stay.
TEST(SettingsTable, WindowMessagesLeaveTheKeysOut) {
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"間隔 (時刻日影図) (Jikoku.kankaku) は 0 より大きく", "間隔 (時刻日影図) は 0 より大きく"},
        {"緯度 (Common.ido1, Common.ido2, Common.ido3) は -90", "緯度 は -90"},
        {"測定面の高さ 4.0 m (Common.takasa) より高い", "測定面の高さ 4.0 m より高い"},
        // Not a key of the settings, or an open parenthesis: left as written.
        {"a (Foo.bar) b (x", "a (Foo.bar) b (x"},
        {"(Jikoku.kankaku) at the start", "(Jikoku.kankaku) at the start"},
    };
    for (const auto& c : cases) EXPECT_EQ(WithoutSettingKeys(c.message), c.shown) << c.message;
}

TEST(SettingsTable, ReferenceIsCurrent) {
    const std::filesystem::path doc = std::filesystem::path(ZUKA_SOURCE_DIR) / "docs/settings.md";
    const std::string want = SettingsReference();
    if (std::getenv("ZUKA_WRITE_SETTINGS_DOC")) std::ofstream(doc, std::ios::binary) << want;
    std::ifstream in(doc, std::ios::binary);
    std::stringstream have;
    have << in.rdbuf();
    EXPECT_EQ(have.str(), want) << "docs/settings.md is out of date; see the comment above";
    for (const TSettingInfo& s : SettingsTable())
        EXPECT_NE(want.find("--set " + std::string(s.section) + "." + std::string(s.key) + "="),
                  std::string::npos)
            << s.key;
}

}  // namespace
}  // namespace zuka

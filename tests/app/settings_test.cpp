#include "app/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zuka {
namespace {

constexpr TScreenSize kScreen = {1920, 1080};

Form LoadText(const std::string& text, TScreenSize screen = kScreen) {
    IniFile ini;
    ini.Parse(text);
    Form form;
    LoadSettings(ini, form, screen);
    return form;
}

// A form with every value the settings file carries moved off its first-start value.
Form ChangedForm() {
    Form f;
    f.Left = 10;
    f.Top = 20;
    f.Edit3 = "35";
    f.Edit5 = "41";
    f.Edit23 = "12";
    f.Edit12 = "-87.5";
    f.Edit4 = "1.5";
    f.Edit6 = "10.0";
    f.Edit38 = "250";
    f.RadioGroup1 = 2;
    f.CheckBox11 = false;
    f.Edit2 = "9.0";
    f.Edit7 = "15.0";
    f.Edit11 = "0.5";
    f.Edit43 = "139.7";
    f.Edit44 = "1.498";
    for (int i = 0; i < kToujiHourCount; i += 3) f.CheckListBox1[i] = false;
    f.RadioGroup3 = 0;
    f.RadioGroup5 = 2;
    f.RadioGroup6 = 0;
    SetUpDown5(f, 13);
    f.CheckBox8 = false;
    f.CheckBox4 = false;
    f.CheckBox12 = true;
    f.Edit17 = "1.5";
    f.RadioGroup2 = 2;
    f.RadioGroup4 = 2;
    f.Edit15 = "30";
    f.CheckBox3 = false;
    f.Edit19 = "500";
    f.Edit20 = "2.5";
    f.CheckBox5 = false;
    f.Edit21 = "250";
    f.CheckBox6 = false;
    f.Edit22 = "15";
    f.CheckBox7 = false;
    f.CheckBox9 = true;
    f.Edit24 = "30";
    f.Edit25 = "20";
    f.Edit13 = "5";
    f.Edit18 = "20";
    f.Edit27 = "jikoku layer";
    f.Edit28 = "touji";
    f.Edit31 = "H JIKOKU";
    f.Edit30 = "hwaku ";
    f.Edit29 = "ZUKA_HTOUJI";
    f.Edit32 = "nini";
    f.Edit33 = "天空";
    f.Edit34 = "tmemori";
    f.Edit35 = "thatch";
    f.Edit36 = "tsansya";
    f.Edit37 = "ttateiti";
    f.Edit8 = "50";
    f.Edit40 = "500";
    f.CheckBox10 = false;
    f.TargetProgID = "Example.CadApplication";
    f.CheckBox14 = true;
    f.CheckBox15 = true;
    f.Edit39 = "5";
    f.Edit50 = "info";
    f.Edit51 = "kisei";
    return f;
}

TEST(Settings, FirstStartWithoutFile) {
    const Form form = LoadText("");
    EXPECT_EQ(form.Edit4, "4.0");
    EXPECT_EQ(form.Edit11, "1.0");
    EXPECT_EQ(form.Edit19, "200");
    EXPECT_EQ(form.Edit44, "1.896");
    EXPECT_EQ(form.Edit29, "ZUKA_HTOJI");
    for (int i = 0; i < kToujiHourCount; ++i) EXPECT_TRUE(form.CheckListBox1[i]) << i;
    EXPECT_EQ(form.RadioGroup3, 1);
    EXPECT_EQ(form.RadioGroup5, 1);
    EXPECT_EQ(form.RadioGroup6, 1);
    EXPECT_EQ(kHyoukaItems[form.RadioGroup5], "30秒");
    EXPECT_FALSE(form.CheckBox14);
    EXPECT_EQ(form.Edit9, "4");
    EXPECT_EQ(form.TargetProgID, "BricscadApp.AcadApplication");
    EXPECT_EQ(form.Left, (1920 - 412) / 2);
    EXPECT_EQ(form.Top, (1080 - 335) / 2);

    // Reading an empty file changes nothing but the window position.
    Form expected;
    expected.Left = form.Left;
    expected.Top = form.Top;
    EXPECT_EQ(form, expected);
}

TEST(Settings, IntegerKeysAreLimitedByTheirControls) {
    struct Row {
        const char* name;
        const char* text;
        int Form::*field;
        int want;
    };
    const Row rows[] = {
        {"summer solstice past the last item", "[Common]\nkisetsu=7", &Form::RadioGroup1, 2},
        {"negative season selects nothing", "[Common]\nkisetsu=-4", &Form::RadioGroup1, -1},
        {"hex season", "[Common]\nkisetsu=0x1", &Form::RadioGroup1, 1},
        {"season that is no integer", "[Common]\nkisetsu=summer", &Form::RadioGroup1, 0},
        {"smoothing below range", "[Touji]\ntyokusen=1", &Form::UpDown5, 2},
        {"smoothing above range", "[Touji]\ntyokusen=99", &Form::UpDown5, 20},
        {"smoothing in range", "[Touji]\ntyokusen=7", &Form::UpDown5, 7},
        {"equal-time step past the last", "[Touji]\nkankaku2=3", &Form::RadioGroup5, 2},
        {"area method", "[Tenku]\nMenseki=2", &Form::RadioGroup2, 2},
        {"area method follows on page 天空２", "[Tenku]\nMenseki=9", &Form::RadioGroup4, 2},
        {"specific points step from Touji", "[Touji]\nkankaku=0\n[Nini]\nkankaku=2",
         &Form::RadioGroup3, 0},
        {"Nini/kankaku alone is not read", "[Nini]\nkankaku=2", &Form::RadioGroup3, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const Form form = LoadText(r.text);
        EXPECT_EQ(form.*r.field, r.want);
        EXPECT_EQ(form.Edit9, std::to_string(form.UpDown5));
    }
}

TEST(Settings, BooleanKeys) {
    struct Row {
        const char* name;
        const char* text;
        bool Form::*field;
        bool want;
    };
    const Row rows[] = {
        {"hex zero is false", "[Jikoku]\nNotHoui=0x0", &Form::CheckBox11, false},
        {"no integer keeps the default", "[Jikoku]\nNotHoui=abc", &Form::CheckBox11, true},
        {"zero", "[Jikoku]\nNotHoui=0", &Form::CheckBox11, false},
        {"any non-zero is true", "[Hekimen]\nblock=-2", &Form::CheckBox12, true},
        {"degrees in the ratio table", "[Bairitsu]\nuseDMS=1", &Form::CheckBox14, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(LoadText(r.text).*r.field, r.want);
    }
    EXPECT_FALSE(LoadText("[Touji]\nchk13=0").CheckListBox1[13]);
    EXPECT_TRUE(LoadText("[Touji]\nchk13=0").CheckListBox1[12]);
}

TEST(Settings, WindowPositionStaysOnScreen) {
    struct Row {
        const char* name;
        const char* text;
        TScreenSize screen;
        int left;
        int top;
    };
    const Row rows[] = {
        {"as stored", "[Form]\nLeft=100\nTop=50", kScreen, 100, 50},
        {"right edge exactly on the screen", "[Form]\nLeft=1508\nTop=745", kScreen, 1508, 745},
        {"one pixel past the right and bottom", "[Form]\nLeft=1509\nTop=746", kScreen, 754, 372},
        {"negative stays", "[Form]\nLeft=-50\nTop=-3", kScreen, -50, -3},
        {"missing: centred on a small screen", "", {1024, 768}, 306, 216},
        {"odd remainder truncated", "", {1025, 769}, 306, 217},
        {"stored for a larger screen", "[Form]\nLeft=1500\nTop=700", {1280, 720}, 434, 192},
        // The sum with the window's size once overflowed a 32-bit int here.
        {"largest integer", "[Form]\nLeft=2147483647\nTop=2147483647", kScreen, 754, 372},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const Form form = LoadText(r.text, r.screen);
        EXPECT_EQ(form.Left, r.left);
        EXPECT_EQ(form.Top, r.top);
    }
}

TEST(Settings, StringsAreTakenAsStored) {
    const Form form = LoadText(
        "[layer]\nJIKOKU=my jikoku\nhtouji=zuka htouji \n"
        "[COMMON]\nIDO1=35\nmakita=abc\n");
    EXPECT_EQ(form.Edit27, "my jikoku");
    EXPECT_EQ(form.Edit29, "zuka htouji ");
    EXPECT_EQ(form.Edit3, "35");
    EXPECT_EQ(form.Edit12, "abc");  // fails only when a command converts it
}

TEST(Settings, TargetProgIDDefaultsToTheCurrentOne) {
    IniFile ini;
    Form form;
    form.TargetProgID = "Other.CadApplication";
    LoadSettings(ini, form, kScreen);
    EXPECT_EQ(form.TargetProgID, "Other.CadApplication");
    ini.Parse("[target]\nprogid=example.cadapplication");
    LoadSettings(ini, form, kScreen);
    EXPECT_EQ(form.TargetProgID, "example.cadapplication");
}

TEST(Settings, WrittenFileOrderAndKinds) {
    const IniFile ini = SaveSettings(ChangedForm());
    EXPECT_EQ(ini.Sections(),
              (std::vector<std::string>{"Form", "Common", "Tokutei", "Jikoku", "Touji", "Nini",
                                        "Hekimen", "Tenku", "Layer", "Target", "Bairitsu", "SkyCheck"}));
    EXPECT_TRUE(ini.ToText().starts_with("[Form]\r\nLeft=10\r\n"));
    EXPECT_EQ(ini.Keys("Common"), (std::vector<std::string>{"ido1", "ido2", "ido3", "makita",
                                                            "takasa", "takasa2", "kisetsu"}));
    const std::vector<std::string> touji = ini.Keys("Touji");
    ASSERT_EQ(touji.size(), 19u);
    EXPECT_EQ(touji.front(), "chk0");
    EXPECT_EQ(touji[13], "chk13");
    EXPECT_EQ(touji.back(), "tyokuchk");
    EXPECT_EQ(ini.Keys("Nini"), (std::vector<std::string>{"kankaku"}));
    EXPECT_EQ(ini.ReadString("Nini", "kankaku", ""), "0");  // from RadioGroup3
    const std::vector<std::string> tenku = ini.Keys("Tenku");
    ASSERT_EQ(tenku.size(), 20u);
    EXPECT_EQ(tenku.front(), "Takasa");
    EXPECT_EQ(tenku[16], "IkkatsuA");
    EXPECT_EQ(tenku.back(), "Keisuu");
    const std::vector<std::string> layers = ini.Keys("Layer");
    ASSERT_EQ(layers.size(), 13u);
    EXPECT_EQ(layers[11], "Info");
    EXPECT_EQ(layers[12], "Kisei");
    EXPECT_EQ(ini.Keys("Bairitsu"), (std::vector<std::string>{"useDMS", "wdigit"}));

    EXPECT_EQ(ini.ReadString("Jikoku", "NotHoui", ""), "0");
    EXPECT_EQ(ini.ReadString("Bairitsu", "useDMS", ""), "1");
    EXPECT_EQ(ini.ReadString("Touji", "tyokusen", ""), "13");
    EXPECT_EQ(ini.ReadString("Layer", "Hwaku", ""), "hwaku ");
}

TEST(Settings, RoundTripThroughTheText) {
    const Form changed = ChangedForm();
    ASSERT_NE(changed, Form{});
    IniFile written;
    written.Parse(SaveSettings(changed).ToText());
    Form back;
    LoadSettings(written, back, kScreen);
    EXPECT_EQ(back, changed);
}

// Every key written (but Nini/kankaku) is read back into the window: a key changed alone in a
// first-start file changes what the window shows.
TEST(Settings, EveryWrittenKeyIsRead) {
    const IniFile first = SaveSettings(LoadText(""));
    const IniFile changed = SaveSettings(ChangedForm());
    const Form firstForm = LoadText(first.ToText());
    int checked = 0;
    for (const std::string& section : first.Sections()) {
        for (const std::string& key : first.Keys(section)) {
            const std::string a = first.ReadString(section, key, "");
            const std::string b = changed.ReadString(section, key, "");
            if (a == b) continue;
            SCOPED_TRACE(section + "/" + key);
            IniFile one;
            one.Parse(first.ToText());
            one.WriteString(section, key, b);
            Form form;
            LoadSettings(one, form, kScreen);
            if (section == "Nini") {
                EXPECT_EQ(form, firstForm);
            } else {
                EXPECT_NE(form, firstForm);
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 74 - 9);  // all 74 keys but the nine hours ChangedForm leaves on
}

// A file edited by hand on Windows: byte-order mark, CRLF, other letter case, blanks around keys.
TEST(Settings, HandEditedFile) {
    IniFile ini;
    ASSERT_TRUE(ini.LoadFile(ZUKA_TEST_DATA "/settings/handwritten.ini"));
    Form form;
    LoadSettings(ini, form, kScreen);
    EXPECT_EQ(form.Left, 200);
    EXPECT_EQ(form.Top, 372);  // 900 + 335 runs past the bottom
    EXPECT_EQ(form.Edit3, "35");
    EXPECT_EQ(form.Edit5, "41");
    EXPECT_EQ(form.RadioGroup1, 2);
    EXPECT_FALSE(form.CheckBox11);
    EXPECT_FALSE(form.CheckListBox1[0]);
    EXPECT_TRUE(form.CheckListBox1[1]);
    EXPECT_EQ(form.UpDown5, 20);
    EXPECT_EQ(form.Edit9, "20");
    EXPECT_EQ(form.Edit27, "my jikoku layer");
    EXPECT_EQ(form.Edit33, "天空図");
    EXPECT_EQ(form.TargetProgID, "Other.CadApplication");
}

}  // namespace
}  // namespace zuka

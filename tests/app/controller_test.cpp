#include "app/controller.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/number.h"
#include "solar/city_list.h"

namespace zuka {
namespace {

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("zuka_controller_test_") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path dir_;
    RecordingUiHost ui_;
};

TEST_F(ControllerTest, FormCreateReadsSettingsAndSetsTheSeason) {
    IniFile ini;
    ini.Parse("[Common]\nkisetsu=2\nido1=35\n");
    Controller c(ui_, dir_);
    c.FormCreate(ini);
    EXPECT_EQ(c.form.RadioGroup1, 2);
    EXPECT_DOUBLE_EQ(c.sun.Sekii, 0.40927970959267024);  // summer solstice
    EXPECT_EQ(c.form.Edit3, "35");
    EXPECT_EQ(c.form.ComboBox1Items, BuiltInCityList());
    EXPECT_EQ(c.form.GB_toujiidx, -1);
}

TEST_F(ControllerTest, CityListFileReplacesTheBuiltInList) {
    std::ofstream(dir_ / kCityListFile) << "那覇,26°12′30″\n札幌,43°03′\n";
    Controller c(ui_, dir_);
    c.FormCreate(IniFile{});
    ASSERT_EQ(c.form.ComboBox1Items.size(), 2u);
    EXPECT_EQ(c.form.ComboBox1Items[0], "那覇,26°12′30″");
}

// What the window's small controls do, the same in every front end: the city combo, the
// up-downs, and where a typed key goes.
TEST_F(ControllerTest, CityComboUpDownsAndKeys) {
    Controller c(ui_, dir_);
    c.FormCreate(IniFile{});
    c.form.ComboBox1Items = {"那覇,26°12′30″"};
    c.ComboBox1Select(0);
    EXPECT_EQ(c.form.Edit3 + "/" + c.form.Edit5 + "/" + c.form.Edit23, "26/12/30");
    c.UpDown2Click(true);
    c.UpDown6Click(false);
    c.UpDown5Click(true);
    EXPECT_EQ(c.form.Edit16, "2");
    EXPECT_EQ(c.form.Edit14, "0");
    EXPECT_EQ(c.form.Edit9, "5");
    c.form.Edit49 = "35.5";
    c.SpeedButton7Click();  // 換算 both ways
    EXPECT_EQ(c.form.Edit46 + "/" + c.form.Edit47 + "/" + c.form.Edit48, "35/30/00");
    c.form.Edit47 = "45";
    c.SpeedButton6Click();
    EXPECT_EQ(c.form.Edit49, "35.7500");

    struct Row {
        const char* control;
        char16_t key;
        bool passes;
        const char* focusTo;
        bool refresh;
    };
    const Row rows[] = {
        {"Edit3", u'7', true, "", false},
        {"Edit3", u'x', false, "", false},
        {"Edit3", u'\r', false, "Edit5", false},       // Enter moves on, never reaches the field
        {"Edit10", u'A', true, "", false},              // a point name takes any key
        {"Edit10", u'\r', false, "Edit26", true},      // into the grid, then the height
        {"Edit26", u'x', false, "", false},
        {"Edit26", u'\r', false, "Edit10", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.control) + " " + std::to_string(static_cast<int>(r.key)));
        const Controller::TEditKey k = c.EditKeyPress(r.control, r.key);
        EXPECT_EQ(k.passes, r.passes);
        EXPECT_EQ(k.focusTo, r.focusTo);
        EXPECT_EQ(k.refresh, r.refresh);
    }
}

TEST_F(ControllerTest, RatioPageRebuildsItsTable) {
    Controller c(ui_, dir_);
    c.FormCreate(IniFile{});
    c.PageControl1Change(7);
    ASSERT_EQ(c.form.Memo1.size(), 19u);
    c.form.Memo1 = {"stale"};
    c.form.CheckBox15 = true;
    c.PageControl1Change(0);
    c.PageControl1Change(7);  // shown again: built anew with three decimals
    ASSERT_EQ(c.form.Memo1.size(), 19u);
    EXPECT_EQ(c.form.Memo1[0], "影倍率表 [ 緯度 = 36.000°] [ 冬至 ]");
}

TEST_F(ControllerTest, SunInputsComeFromTheForm) {
    Controller c(ui_, dir_);
    c.FormCreate(IniFile{});
    c.form.Edit4 = "10.5";
    c.form.Edit12 = "abc";
    EXPECT_THROW(c.SetTaiyouParams(), ConvertError);
    c.form.Edit12 = "0";
    c.SetTaiyouParams();
    EXPECT_DOUBLE_EQ(c.sun.GB_takasa, 10500);
    EXPECT_DOUBLE_EQ(c.sun.KitaHosei, 1.5707963267948966);
}

}  // namespace
}  // namespace zuka

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

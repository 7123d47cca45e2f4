#include "app/form.h"

#include <gtest/gtest.h>

namespace zuka {
namespace {

TEST(Form, SetRadioTakesWhatTheControlTakes) {
    struct Row {
        const char* name;
        int value;
        int want;
    };
    const Row rows[] = {
        {"first", 0, 0},           {"last", 2, 2}, {"past the last", 7, 2}, {"nothing", -1, -1},
        {"below nothing", -5, -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        int field = 1;
        SetRadio(field, r.value, 3);
        EXPECT_EQ(field, r.want);
    }
}

TEST(Form, UpDown5StaysInRangeAndShowsInEdit9) {
    struct Row {
        int position;
        int want;
        const char* shown;
    };
    const Row rows[] = {{1, 2, "2"}, {2, 2, "2"}, {13, 13, "13"}, {20, 20, "20"}, {99, 20, "20"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.position);
        Form form;
        SetUpDown5(form, r.position);
        EXPECT_EQ(form.UpDown5, r.want);
        EXPECT_EQ(form.Edit9, r.shown);
    }
}

TEST(Form, StartState) {
    const Form form;
    // Only 取得 can run before buildings are acquired; the stop buttons wait for a run.
    EXPECT_TRUE(form.Button2.Enabled);
    for (const TButton* b : {&form.Button3, &form.Button17, &form.Button10, &form.Button6,
                             &form.Button7, &form.Button5, &form.Button18, &form.Button24}) {
        SCOPED_TRACE(b->Caption);
        EXPECT_FALSE(b->Enabled);
    }
    EXPECT_TRUE(form.Button13.Enabled);
    EXPECT_TRUE(form.Button14.Enabled);

    ASSERT_EQ(form.StringGrid1.size(), 2u);
    ASSERT_EQ(form.StringGrid2.size(), 2u);
    EXPECT_EQ(form.StringGrid1[0].size(), 8u);
    EXPECT_EQ(form.StringGrid2[0].size(), 11u);
    EXPECT_EQ(form.StringGrid1[0][6], "<AREA<");
    EXPECT_EQ(form.StringGrid2[0][10], " 出時刻 3");
    EXPECT_EQ(form.StringGrid2[1], std::vector<std::string>(11));

    EXPECT_EQ(form.Caption, "Zuka2025.01.27 Beta");
    EXPECT_EQ(form.GB_toujiidx, -1);
    EXPECT_EQ(form.GB_hyoukaidx, -1);
    EXPECT_TRUE(form.useDxf);
    EXPECT_EQ(form.Edit9, std::to_string(form.UpDown5));
    EXPECT_EQ(form.RadioGroup4, form.RadioGroup2);
}

}  // namespace
}  // namespace zuka

#include "app/form.h"

#include "app/ini_file.h"
#include "app/settings.h"

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

// The window's first start: a form loaded from no settings file is the form as it starts, so
// a default kept in the settings table and the same control's start value cannot drift apart;
// and what such a form saves loads back to it.
TEST(Form, FirstStartIsTheSettingsDefaults) {
    const Form start;
    Form loaded;
    LoadSettings(IniFile{}, loaded, kCommandLineScreen);
    // Without a file the window is centred on the screen; everything else is as it starts.
    EXPECT_GT(loaded.Left, 0);
    EXPECT_GT(loaded.Top, 0);
    Form placed = start;
    placed.Left = loaded.Left;
    placed.Top = loaded.Top;
    EXPECT_TRUE(loaded == placed);
    Form again;
    LoadSettings(SaveSettings(loaded), again, kCommandLineScreen);
    EXPECT_TRUE(again == loaded);
    // Only 取得 can start before buildings are acquired; the stop buttons wait for a run.
    EXPECT_TRUE(loaded.Button2.Enabled);
    for (const TButton* b : {&loaded.Button3, &loaded.Button17, &loaded.Button10,
                             &loaded.Button6, &loaded.Button7, &loaded.Button5}) {
        SCOPED_TRACE(b->Caption);
        EXPECT_FALSE(b->Enabled);
    }
}

}  // namespace
}  // namespace zuka

#include "app/work_folder.h"

#include <gtest/gtest.h>

#include "app/ini_file.h"
#include "app/settings.h"
#include "temp_dir.h"

namespace zuka {
namespace {

TEST(WorkFolder, Resolve) {
    const testing::TempDir tmp;
    const std::filesystem::path exeDir = tmp.Path() / "bin";
    const std::filesystem::path fallback = tmp.Path() / "share" / "zuka";
    const std::filesystem::path plain = tmp.MakeFile("plain");  // no folder can live below it
    std::filesystem::create_directories(exeDir);

    std::optional<WorkFolder> wf = ResolveWorkFolder(exeDir, {}, fallback);
    ASSERT_TRUE(wf);
    EXPECT_EQ(wf->dir, exeDir);
    EXPECT_EQ(wf->fallback, fallback);
    EXPECT_EQ(wf->SettingsPath(), exeDir / "zuka.ini");
    EXPECT_FALSE(std::filesystem::exists(fallback));  // not created when not needed

    wf = ResolveWorkFolder(plain / "bin", {}, fallback);
    ASSERT_TRUE(wf);
    EXPECT_EQ(wf->dir, fallback);
    EXPECT_TRUE(std::filesystem::is_directory(fallback));

    wf = ResolveWorkFolder(exeDir, tmp.Path() / "work" / "here", fallback);
    ASSERT_TRUE(wf);
    EXPECT_EQ(wf->dir, tmp.Path() / "work" / "here");
    EXPECT_TRUE(std::filesystem::is_directory(wf->dir));

    // A folder named by the user that cannot be made is an error, not a reason to look elsewhere.
    EXPECT_FALSE(ResolveWorkFolder(exeDir, plain / "work", fallback));
    EXPECT_FALSE(ResolveWorkFolder(plain / "bin", {}, plain / "share"));
}

TEST(WorkFolder, ReadOnlyFolderIsNotWritable) {
    const testing::TempDir tmp;
    const std::filesystem::path ro = tmp.Path() / "ro";
    std::filesystem::create_directories(ro);
    std::filesystem::permissions(
        ro, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (IsWritableFolder(ro)) GTEST_SKIP() << "permission bits do not stop this user";
    EXPECT_TRUE(std::filesystem::is_empty(ro));  // the probe left nothing behind
}

class SaveSettingsFileTest : public ::testing::Test {
protected:
    Form Changed() const {
        Form form;
        form.Edit3 = "35";
        form.Edit27 = "my layer";
        form.Left = 40;
        form.Top = 30;
        return form;
    }
    Form Reload(const std::filesystem::path& path) const {
        IniFile ini;
        EXPECT_TRUE(ini.LoadFile(path)) << path;
        Form form;
        LoadSettings(ini, form, kCommandLineScreen);
        return form;
    }

    testing::TempDir tmp_;
    RecordingUiHost ui_;
};

TEST_F(SaveSettingsFileTest, WritesBesideTheProgram) {
    const WorkFolder folder{tmp_.Path(), tmp_.Path() / "fallback", "zuka"};
    ASSERT_TRUE(SaveSettingsFile(Changed(), folder, ui_));
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(Reload(tmp_.Path() / "zuka.ini"), Changed());
    EXPECT_FALSE(std::filesystem::exists(tmp_.Path() / "fallback"));
}

TEST_F(SaveSettingsFileTest, UnwritableFolderFallsBackAndSaysWhere) {
    const std::filesystem::path fallback = tmp_.Path() / "share" / "zuka";
    const WorkFolder folder{tmp_.MakeFile("plain") / "bin", fallback, "zuka"};
    ASSERT_TRUE(SaveSettingsFile(Changed(), folder, ui_));
    EXPECT_EQ(Reload(fallback / "zuka.ini"), Changed());
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].title, "Zuka2025.01.30 Beta");
    EXPECT_NE(ui_.messages[0].text.find((fallback / "zuka.ini").string()), std::string::npos);
}

TEST_F(SaveSettingsFileTest, NowhereToWriteIsReported) {
    const std::filesystem::path plain = tmp_.MakeFile("plain");
    const WorkFolder folder{plain / "bin", plain / "share", "zuka"};
    EXPECT_FALSE(SaveSettingsFile(Changed(), folder, ui_));
    ASSERT_EQ(ui_.messages.size(), 1u);
    const std::string& text = ui_.messages[0].text;
    EXPECT_NE(text.find((plain / "bin" / "zuka.ini").string()), std::string::npos);
    EXPECT_NE(text.find((plain / "share" / "zuka.ini").string()), std::string::npos);

    // Already in the fallback folder: one attempt, one message.
    RecordingUiHost again;
    EXPECT_FALSE(SaveSettingsFile(Changed(), {plain / "share", plain / "share", "zuka"}, again));
    EXPECT_EQ(again.messages.size(), 1u);
}

}  // namespace
}  // namespace zuka

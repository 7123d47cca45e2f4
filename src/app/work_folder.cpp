#include "app/work_folder.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "app/ini_file.h"
#include "app/settings.h"
#include "base/number.h"
#include "base/platform.h"

namespace zuka {

namespace {

constexpr char kSavedElsewhere[] =
    "設定ファイルをプログラムのフォルダーに保存できなかったため、次の場所に保存しました。\n";
constexpr char kNotSaved[] = "設定ファイルを保存できませんでした。設定は失われます。\n";

bool SameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) return true;
    return a.lexically_normal() == b.lexically_normal();
}

// Creates `dir` when missing; true when it then is a folder that can be written.
bool PrepareFolder(const std::filesystem::path& dir) {
    if (dir.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return IsWritableFolder(dir);
}

}  // namespace

std::filesystem::path WorkFolder::SettingsPath() const { return dir / (baseName + ".ini"); }

std::filesystem::path FallbackFolder() { return UserDataFolder(); }

bool IsWritableFolder(const std::filesystem::path& dir) {
    std::error_code ec;
    if (dir.empty() || !std::filesystem::is_directory(dir, ec)) return false;
    const std::filesystem::path probe =
        dir / (".zuka-probe-" + FormatInt(static_cast<std::int64_t>(ProcessId())));
    bool ok = false;
    {
        std::ofstream out(probe, std::ios::binary | std::ios::trunc);
        ok = static_cast<bool>(out);
    }
    std::filesystem::remove(probe, ec);
    return ok;
}

std::optional<WorkFolder> ResolveWorkFolder(const std::filesystem::path& exeDir,
                                            const std::filesystem::path& overrideDir,
                                            const std::filesystem::path& fallback) {
    WorkFolder folder;
    folder.fallback = fallback;
    if (!overrideDir.empty()) {
        if (!PrepareFolder(overrideDir)) return std::nullopt;
        folder.dir = overrideDir;
        return folder;
    }
    if (IsWritableFolder(exeDir)) {
        folder.dir = exeDir;
        return folder;
    }
    if (PrepareFolder(fallback)) {
        folder.dir = fallback;
        return folder;
    }
    return std::nullopt;
}

IniFile LoadSettingsFile(const WorkFolder& folder) {
    IniFile ini;
    ini.LoadFile(folder.SettingsPath());  // a missing file: every default applies
    return ini;
}

bool SaveSettingsFile(const Form& form, const WorkFolder& folder, UiHost& ui) {
    const IniFile ini = SaveSettings(form);
    const std::filesystem::path first = folder.SettingsPath();
    if (ini.SaveFile(first)) return true;

    std::string tried = PathToUtf8(first);
    if (!folder.fallback.empty() && !SameFolder(folder.fallback, folder.dir)) {
        WorkFolder other = folder;
        other.dir = folder.fallback;
        const std::filesystem::path second = other.SettingsPath();
        std::error_code ec;
        std::filesystem::create_directories(other.dir, ec);
        if (ini.SaveFile(second)) {
            ui.MessageBox(kApplicationTitle, kSavedElsewhere + PathToUtf8(second));
            return true;
        }
        tried += "\n" + PathToUtf8(second);
    }
    ui.MessageBox(kApplicationTitle, kNotSaved + tried);
    return false;
}

}  // namespace zuka

#include "app/work_folder.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "app/ini_file.h"
#include "app/settings.h"
#include "base/number.h"

namespace zuka {

namespace {

constexpr char kSavedElsewhere[] =
    "設定ファイルをプログラムのフォルダーに保存できなかったため、次の場所に保存しました。\n";
constexpr char kNotSaved[] = "設定ファイルを保存できませんでした。設定は失われます。\n";

constexpr char kAppFolderName[] = "zuka";

bool IsSet(const char* value) { return value != nullptr && value[0] != '\0'; }

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

std::filesystem::path FallbackFolder(const char* xdgDataHome, const char* home) {
    if (IsSet(xdgDataHome)) {
        const std::filesystem::path xdg(xdgDataHome);
        if (xdg.is_absolute()) return xdg / kAppFolderName;
    }
    if (IsSet(home)) return std::filesystem::path(home) / ".local" / "share" / kAppFolderName;
    return {};
}

std::filesystem::path FallbackFolder() {
    return FallbackFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

bool IsWritableFolder(const std::filesystem::path& dir) {
    std::error_code ec;
    if (dir.empty() || !std::filesystem::is_directory(dir, ec)) return false;
    const std::filesystem::path probe =
        dir / (".zuka-probe-" + FormatInt(static_cast<std::int64_t>(::getpid())));
    bool ok = false;
    {
        std::ofstream out(probe, std::ios::binary | std::ios::trunc);
        ok = static_cast<bool>(out);
    }
    std::filesystem::remove(probe, ec);
    return ok;
}

std::filesystem::path ExecutablePath(const char* argv0) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty()) return self;
    if (!IsSet(argv0)) return {};
    std::filesystem::path p = std::filesystem::absolute(argv0, ec);
    return ec ? std::filesystem::path(argv0) : p;
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

    std::string tried = first.string();
    if (!folder.fallback.empty() && !SameFolder(folder.fallback, folder.dir)) {
        WorkFolder other = folder;
        other.dir = folder.fallback;
        const std::filesystem::path second = other.SettingsPath();
        std::error_code ec;
        std::filesystem::create_directories(other.dir, ec);
        if (ini.SaveFile(second)) {
            ui.MessageBox(kApplicationTitle, kSavedElsewhere + second.string());
            return true;
        }
        tried += "\n" + second.string();
    }
    ui.MessageBox(kApplicationTitle, kNotSaved + tried);
    return false;
}

}  // namespace zuka

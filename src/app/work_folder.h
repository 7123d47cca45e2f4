// The work folder ("the program's folder"): where the settings file, the city list, the
// target-CAD list and the ZUKA_n.dxf files live. It is the executable's folder when that can be
// written, else the user's data folder ($XDG_DATA_HOME/zuka, ~/.local/share/zuka; on Windows
// %LOCALAPPDATA%\zuka), or a folder named explicitly (--workdir).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "app/form.h"
#include "app/ini_file.h"
#include "app/ui_host.h"
#include "base/platform.h"  // ExecutablePath

namespace zuka {

// The base name of the settings file. Both front ends use it, so that the command line reads
// what the window wrote.
inline constexpr char kSettingsBaseName[] = "zuka";

struct WorkFolder {
    std::filesystem::path dir;       // the program's folder
    std::filesystem::path fallback;  // where the settings go when `dir` cannot be written
    std::string baseName = kSettingsBaseName;

    // dir / (baseName + ".ini")
    std::filesystem::path SettingsPath() const;
};

// The user's data folder for the program as the system has it: the same from the environment
// variables XDG_DATA_HOME and HOME on Linux, %LOCALAPPDATA%\zuka on Windows.
std::filesystem::path FallbackFolder();

// True when a file can be created in `dir`; tried by creating and removing a probe file, since
// permission bits say nothing about read-only mounts or a process running as root.
bool IsWritableFolder(const std::filesystem::path& dir);


// Chooses the work folder. A non-empty `overrideDir` is used as given, created when missing;
// nullopt when it cannot be created or written (the user named it, so nothing else is tried).
// Otherwise `exeDir` when writable, else `fallback` (created when missing); nullopt when neither
// can be written. The result's `fallback` is `fallback`.
std::optional<WorkFolder> ResolveWorkFolder(
    const std::filesystem::path& exeDir, const std::filesystem::path& overrideDir = {},
    const std::filesystem::path& fallback = FallbackFolder());

// The settings of `folder`'s settings file, as both front ends read them when they start; a
// missing or unreadable file gives no keys, so every default applies.
IniFile LoadSettingsFile(const WorkFolder& folder);

// Writes the settings of `form` to `folder`'s settings file. When that fails, writes them to the
// same file name in folder.fallback (created when missing) and tells the user where through
// `ui`; when that fails too, tells the user that the settings were not saved and where it
// tried. True when the settings were written somewhere.
bool SaveSettingsFile(const Form& form, const WorkFolder& folder, UiHost& ui);

}  // namespace zuka

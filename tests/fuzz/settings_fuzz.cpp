#include <string>
#include <string_view>

#include "app/form.h"
#include "app/ini_file.h"
#include "app/settings.h"
#include "app/settings_table.h"
#include "fuzz_targets.h"

namespace zuka {

int FuzzSettings(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IniFile ini;
    if (const std::optional<std::string> text = DecodeSettingsText(bytes)) ini.Parse(*text);
    Form form;
    LoadSettings(ini, form, kCommandLineScreen);
    for (const std::string& section : ini.Sections())
        for (const std::string& key : ini.Keys(section))
            CheckSetOption(section, key, ini.ReadString(section, key, ""));
    // What the window would write reads back to the same window.
    Form again;
    LoadSettings(SaveSettings(form), again, kCommandLineScreen);
    IniFile reparsed;
    reparsed.Parse(SaveSettings(again).ToText());
    Form third;
    LoadSettings(reparsed, third, kCommandLineScreen);
    if (!(third == again)) __builtin_trap();
    return 0;
}

}  // namespace zuka

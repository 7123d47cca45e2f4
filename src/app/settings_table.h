// Every key of the settings file described for the user: its label as the window shows it, its
// kind, unit and the range of values the commands can work with. The command line checks each
// --set against it, the commands check the values that would make them loop or divide by zero
// against it when they start, and the settings reference (docs/settings.md) is written from it.
//
// Glossary: ido latitude, makita true north, takasa height, kisetsu season, kaishi/owari
// start/end, kankaku step, hankei radius, syakudo scale, moji text, memori scale tick.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/number.h"

namespace zuka {

enum class SettingKind {
    Real,     // a number as typed into an edit field, converted when a command starts
    Integer,  // decimal, or hexadecimal after "0x"
    Boolean,  // 0 or 1
    Text,     // any text (layer names, the target CAD)
};

struct TSettingInfo {
    std::string_view section;
    std::string_view key;
    SettingKind kind = SettingKind::Real;
    std::string_view label;    // as the window labels it, Japanese
    std::string_view meaning;  // for the reference, English
    std::string_view unit;     // for the reference, English; empty when none
    std::string_view unitJa;   // for messages; empty when none
    // Allowed values of Real and Integer keys: min to max, either bound left out when open.
    double min = 0;
    double max = 0;
    bool minOpen = false;
    bool maxOpen = false;
};

// The keys in the order the settings file is written.
const std::vector<TSettingInfo>& SettingsTable();

// The entry of a key (section and key matched without regard to case), or nullptr.
const TSettingInfo* FindSetting(std::string_view section, std::string_view key);

// Whether v lies in the entry's range (a Boolean takes 0 and 1; a Text key anything).
bool InSettingRange(const TSettingInfo& s, double v);

// The range as the messages write it: "0 以上 90 未満、単位 度", "0 ～ 2".
std::string SettingRangeText(const TSettingInfo& s);

// "緯度 (度) (Common.ido1)": the setting as the user knows it.
std::string SettingName(const TSettingInfo& s);

// The same for a key the table holds (a command's own reading of a setting).
std::string SettingName(std::string_view section, std::string_view key);

// A message as a window shows it: every key in parentheses after a setting's label ("緯度 (度)
// (Common.ido1)", "(Common.ido1, Common.ido2)") left out, for the window names a setting by its
// label; the command line, where the keys are typed, keeps them.
std::string WithoutSettingKeys(std::string_view text);

// `e` with its field named as the user knows the setting, when the field is a key of the table
// ("Common.ido1" -> "緯度 (度) (Common.ido1)"); else `e` as it is.
ConvertError NamedSetting(const ConvertError& e);

// The message refusing `value` for the setting: its name, the range and the value as given
// (shortened, control characters shown as "?").
std::string SettingRefusal(const TSettingInfo& s, std::string_view value);

// The refusal of "--set Section.Key=Value", or nothing when the value suits the key: an unknown
// key, a number key whose value is no number (Real: a decimal number; Integer and Boolean: an
// integer), or a value outside the range.
std::optional<std::string> CheckSetOption(std::string_view section, std::string_view key,
                                          std::string_view value);

// The settings reference, docs/settings.md, as Markdown.
std::string SettingsReference();

}  // namespace zuka

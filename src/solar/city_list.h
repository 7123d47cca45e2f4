// City latitudes for the latitude fields, and the converter between degrees-minutes-seconds
// and decimal degrees.
//
// A city item is a name, a comma, the degrees followed by "°", the minutes followed by "′" and
// optionally the seconds followed by "″" ("基準  ,36°00′", "那覇,26°12′30″"). Texts are UTF-8.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zuka {

// The city list file in the program's folder; optional, never written.
inline constexpr char kCityListFile[] = "zuka_ido.txt";

// The 48 built-in items of ComboBox1, in order, from "基準  ,36°00′" to "沖縄  ,26°12′". Names
// of two characters are padded with two blanks before the comma.
std::vector<std::string> BuiltInCityList();

// The lines of a city list file, one item per line as stored (an empty line is an empty item;
// the newline after the last line starts no item). The file may be UTF-8 with or without a
// byte-order mark, UTF-16 with a byte-order mark, or else CP932; the items come back as UTF-8
// without line ends. nullopt when the file does not exist or cannot be read.
std::optional<std::vector<std::string>> LoadCityList(const std::filesystem::path& path);

// The text between the last `s` and the first `e` after it, blanks and control characters
// trimmed at both ends. Each occurrence of `s` is removed, with everything before it, until none
// is left. Empty when `s` does not occur, when `e` does not occur in the rest or stands at its
// very start, or when either mark is empty.
std::string ExtractBetween(const std::string& s, const std::string& e, const std::string& text);

// Latitude field texts: degrees, minutes, seconds.
struct TIdoTexts {
    std::string Edit3;
    std::string Edit5;
    std::string Edit23;
};

// Latitude texts for the selected city item (empty when no item is selected, as after typing
// into the box): the parts found in the item, else "36", "00", "00".
TIdoTexts ComboBox1Change(const std::string& itemText);

// Degrees-minutes-seconds texts of the converter.
struct TDmsTexts {
    std::string Edit46;  // degrees
    std::string Edit47;  // minutes
    std::string Edit48;  // seconds
};

// ">": decimal degrees of Edit46 + Edit47 / 60 + Edit48 / 3600 with four decimals, for Edit49.
// A text that is no number counts as 0.
std::string DmsToDeg(const std::string& edit46, const std::string& edit47,
                     const std::string& edit48);

// "<": degrees, minutes and seconds of Edit49, each truncated; minutes and seconds at least two
// characters (130.5500 -> 130, 33, 00). A text that is no number counts as 0.
TDmsTexts DegToDms(const std::string& edit49);

}  // namespace zuka

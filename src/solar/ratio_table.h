// Shadow-length ratio table (影倍率表): for the winter solstice at the site's latitude, the
// sun's altitude and azimuth, the shadow length per unit of height and its east (X) and north (Y)
// components, every half hour from 8:00 to 16:00.
#pragma once

#include <string>
#include <vector>

namespace zuka {

// The table as tab-separated lines: the title, the heading and 17 rows for 8:00, 8:30 ... 16:00
// (19 lines). `edit3`, `edit5`, `edit23` are the latitude texts (degrees, minutes, seconds);
// `useDms` writes angles as degrees-minutes-seconds and the title's latitude as typed;
// `threeDigits` rounds to three decimals instead of four (half away from zero). The season is
// always the winter solstice, whatever the window's season shows.
// Throws ConvertError naming the settings key of the first latitude field whose text is no number.
std::vector<std::string> BuildRatioTable(const std::string& edit3, const std::string& edit5,
                                         const std::string& edit23, bool useDms, bool threeDigits);

}  // namespace zuka

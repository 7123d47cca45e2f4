// Readouts that need no drawing: the sun's position at a clock hour for the inputs on the form,
// and the outlines of the union of segments read from a text file.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/controller.h"
#include "geom/outline.h"
#include "geom/records.h"

namespace zuka {

// Label and value, in the order they are shown.
using TReadoutRows = std::vector<std::pair<std::string, std::string>>;

// The latitude, season and true north of the form, the hour as h:mm:ss, and the sun at that
// hour: azimuth (degrees from south, positive west), altitude (degrees), shadow-length factor
// and the drawing direction of the shadow (degrees counter-clockwise from +x, in [0, 360)),
// each with 4 decimals. nullopt when the hour lies outside the sun model (7.5 to 16.5 h).
// Throws ConvertError for a sun input that is no number.
std::optional<TReadoutRows> SunReadout(Controller& c, double hour);

// The progress of a run as the window writes it on its bar: "42 %  残り 約 1 分 5 秒". `pos`
// of `max` steps are done, `done` of them in the `seconds` since the estimate started; the time
// left is said once a second has passed and a step has been done. Empty before the first step.
std::string ProgressReadout(int pos, int max, int done, double seconds);

// Segments "x1 y1 x2 y2", one per line; blank lines and what follows # are ignored, CRLF line
// ends are accepted. nullopt with `error` ("<file>:<line>: ..." for a malformed line) when
// the file cannot be read or a line is not four numbers.
std::optional<std::vector<TLineEnt>> ReadSegmentFile(const std::filesystem::path& path,
                                                     std::string& error);

// The outlines of the union of `segs` (the outline pipeline on the workspace's lists).
struct TOutlineTrace {
    std::vector<std::vector<TAcadPoint>> outlines;  // each outline's vertices in walk order
    OutlineLoopEnd end = OutlineLoopEnd::Done;
    std::size_t leftover = 0;  // segments left when a walk failed
};
TOutlineTrace TraceSegmentOutlines(Workspace& ws, std::vector<TLineEnt> segs);

}  // namespace zuka

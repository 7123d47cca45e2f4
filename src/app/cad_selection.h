// A selection made in a running CAD without the user: what the command line's --buildings,
// --points and --site name, as SelectionSet.Select takes it (a mode, the window's corners and a
// filter of DXF group codes and values), in place of the user's selection on screen.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cad/automation.h"

namespace zuka {

struct TCadSelection {
    int mode = kSelectAll;
    TAcadPoint p1;
    TAcadPoint p2;
    std::vector<int> filterTypes;
    std::vector<CadValue> filterData;
};

// The drawing host's selection expression as a CAD selects it: all (everything but the layers
// of the program's results, "~ZUKA_*"), layer=A,B (the filter 8 "A,B"), window=x1,y1,x2,y2
// (the window mode), joined by +. Handles cannot be selected by a filter: nullopt with `error`
// saying so, as for a malformed expression, more than one layer list or more than one window.
std::optional<TCadSelection> CadSelectionOf(std::string_view expr, std::string& error);

// The selection set filled as `selection` asks, with the command's own filter (types and data)
// joined to it.
void SelectInCad(SelectionSet& ss, const TCadSelection& selection,
                 const std::vector<int>& filterTypes = {},
                 const std::vector<CadValue>& filterData = {});

}  // namespace zuka

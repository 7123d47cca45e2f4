// What 取得 takes from the user's selection as buildings, and what it leaves and why: for the
// user to check a drawing before the diagrams are drawn (`zuka model`).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/cad_selection.h"
#include "app/height_override.h"
#include "cad/automation.h"

namespace zuka {

// Entities of one class (the automation class name, "AcDbPolyline") on one layer.
struct TAcquiredGroup {
    std::string kind;
    std::string layer;
    int entities = 0;
    std::size_t segments = 0;  // wall segments they become
    double zmin = 0;           // height range of the segments' end points, millimetres
    double zmax = 0;
};

struct TSkippedGroup {
    std::string kind;
    std::string layer;
    int entities = 0;
    std::string reason;  // the system's own text
};

struct TAcquisitionListing {
    std::vector<TAcquiredGroup> taken;  // by class, then layer
    std::vector<TSkippedGroup> skipped;
};

// Reads every entity of the selection as 取得 reads it (one at a time, with the same
// conversions and the heights given for the run) and groups what it takes and what it leaves
// by class and layer.
TAcquisitionListing ListAcquisition(SelectionSet& ss,
                                    std::vector<THeightOverride> heights = {});

// The user's selection, made on screen as 取得 makes it (a set of its own, deleted again), or
// made by `selection` when given, listed.
TAcquisitionListing ListAcquisition(Document& doc, std::vector<THeightOverride> heights = {},
                                    const TCadSelection* selection = nullptr);

// One line per group, tab-separated: "取得" class layer "N 図形" "M 線分" "高さ a ～ b mm",
// and "除外" class layer "N 図形" reason (for entities refused for their numbers, the refusal
// naming the first one's handle).
std::vector<std::string> AcquisitionListingLines(const TAcquisitionListing& listing);

}  // namespace zuka

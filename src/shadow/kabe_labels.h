// The labels of a wall elevation kept apart: the time labels of the wall shadows and the hour
// labels of the equal-time outlines end where their lines reach the wall's edges, so that many
// of them fall on the same few spots. Each label that would overlap one placed before it is
// moved to the nearest free place, with a leader from where it stood.
#pragma once

#include <string>
#include <vector>

#include "cad/dxf_text.h"

namespace zuka {

// The box a TEXT takes in the elevation, axis-aligned around the turned text: every character
// counted as wide as the text is high times its width factor (a generous estimate for digits
// and latin letters), the text as high as its height.
struct TLabelBox {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Overlaps(const TLabelBox& o) const {
        return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1;
    }
};

// One TEXT of a DXF text list: where its groups are, and what they say.
struct TDxfLabel {
    std::string layer;
    std::string text;
    double x = 0, y = 0;  // the point that places it: 11/21 when aligned, else 10/20
    double height = 0;
    double widthFactor = 1;
    double rotationDeg = 0;
    int horizontal = 0;  // 72
    int vertical = 0;    // 73
    int colour = -1;     // 62, -1 when absent
    std::size_t at10 = 0, at20 = 0, at11 = 0, at21 = 0;  // list indices; 0 when absent
};

// The TEXT entities of a list, in order.
std::vector<TDxfLabel> ReadDxfLabels(const DxfList& dxf);

// The estimated box of a label placed at its point.
TLabelBox LabelBox(const TDxfLabel& label);

// Moves the labels of an elevation's list apart: in order, a label whose box would overlap one
// already placed goes to the nearest free place, tried in growing rings of steps one box height
// (and one box width) apart; its point is rewritten in the list, and a LINE on its layer and in
// its colour leads from where it stood to its box. Returns how many labels were moved.
int SpreadKabeLabels(DxfList& dxf);

}  // namespace zuka

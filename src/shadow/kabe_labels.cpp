#include "shadow/kabe_labels.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "base/number.h"
#include "base/text.h"

namespace zuka {
namespace {

constexpr std::string_view kTextStart = "  0\r\nTEXT\r\n  8\r\n";
constexpr std::string_view kEntityStart = "  0\r\n";
constexpr double kDegToRad = 3.14159265358979323846 / 180;
constexpr double kGap = 0.2;  // room kept between two labels, in text heights
constexpr int kRings = 40;    // how far a label is looked for a free place, in steps

double Number(std::string_view s, double fallback) {
    return ParseDouble(s).value_or(fallback);
}

}  // namespace

std::vector<TDxfLabel> ReadDxfLabels(const DxfList& dxf) {
    std::vector<TDxfLabel> labels;
    for (std::size_t i = 0; i < dxf.size(); ++i) {
        if (dxf[i].rfind(kTextStart, 0) != 0) continue;
        TDxfLabel l;
        l.layer = dxf[i].substr(kTextStart.size());
        double x10 = 0, y10 = 0, x11 = 0, y11 = 0;
        std::size_t j = i + 1;
        for (; j < dxf.size() && dxf[j].rfind(kEntityStart, 0) != 0; ++j) {
            const std::string& g = dxf[j];
            const std::size_t eol = g.find("\r\n");
            if (eol == std::string::npos) continue;
            const double code = Number(g.substr(0, eol), -1);
            const std::string value = g.substr(eol + 2);
            switch (static_cast<int>(code)) {
                case 1: l.text = value; break;
                case 10: x10 = Number(value, 0); l.at10 = j; break;
                case 20: y10 = Number(value, 0); l.at20 = j; break;
                case 11: x11 = Number(value, 0); l.at11 = j; break;
                case 21: y11 = Number(value, 0); l.at21 = j; break;
                case 40: l.height = Number(value, 0); break;
                case 41: l.widthFactor = Number(value, 1); break;
                case 50: l.rotationDeg = Number(value, 0); break;
                case 62: l.colour = static_cast<int>(Number(value, -1)); break;
                case 72: l.horizontal = static_cast<int>(Number(value, 0)); break;
                case 73: l.vertical = static_cast<int>(Number(value, 0)); break;
                default: break;
            }
        }
        const bool aligned = (l.horizontal != 0 || l.vertical != 0) && l.at11 != 0;
        l.x = aligned ? x11 : x10;
        l.y = aligned ? y11 : y10;
        labels.push_back(l);
        i = j - 1;
    }
    return labels;
}

TLabelBox LabelBox(const TDxfLabel& l) {
    const double h = l.height;
    const double w = static_cast<double>(Utf8Characters(l.text)) * h * l.widthFactor;
    // The text's rectangle along its own direction u and across it v, from its point.
    double u0 = 0;
    if (l.horizontal == 1 || l.horizontal == 4) u0 = -w / 2;
    if (l.horizontal == 2) u0 = -w;
    double v0 = 0;  // baseline and bottom
    if (l.vertical == 2) v0 = -h / 2;
    if (l.vertical == 3) v0 = -h;
    const double a = l.rotationDeg * kDegToRad;
    const double c = std::cos(a);
    const double s = std::sin(a);
    TLabelBox b{l.x, l.y, l.x, l.y};
    bool first = true;
    for (const double u : {u0, u0 + w}) {
        for (const double v : {v0, v0 + h}) {
            const double x = l.x + u * c - v * s;
            const double y = l.y + u * s + v * c;
            if (first) {
                b = {x, y, x, y};
                first = false;
            }
            b.x0 = std::min(b.x0, x);
            b.y0 = std::min(b.y0, y);
            b.x1 = std::max(b.x1, x);
            b.y1 = std::max(b.y1, y);
        }
    }
    return b;
}

int SpreadKabeLabels(DxfList& dxf) {
    const std::vector<TDxfLabel> labels = ReadDxfLabels(dxf);
    std::vector<TLabelBox> placed;
    struct TLeader {
        std::string layer;
        int colour;
        double x1, y1, x2, y2;
    };
    std::vector<TLeader> leaders;
    auto grown = [](TLabelBox b, double by) {
        return TLabelBox{b.x0 - by, b.y0 - by, b.x1 + by, b.y1 + by};
    };
    auto isFree = [&](const TLabelBox& b, double gap) {
        const TLabelBox g = grown(b, gap);
        return std::none_of(placed.begin(), placed.end(),
                            [&](const TLabelBox& p) { return g.Overlaps(p); });
    };
    for (const TDxfLabel& l : labels) {
        const TLabelBox box = LabelBox(l);
        const double gap = kGap * l.height;
        if (!(l.height > 0) || isFree(box, 0)) {
            placed.push_back(box);
            continue;
        }
        // Steps of a box height up and down, of half a box width sideways, nearest first.
        const double sx = (box.x1 - box.x0 + gap) / 2;
        const double sy = box.y1 - box.y0 + gap;
        std::vector<std::pair<int, int>> steps;
        for (int i = -kRings; i <= kRings; ++i)
            for (int j = -kRings; j <= kRings; ++j)
                if (i != 0 || j != 0) steps.emplace_back(i, j);
        auto reach = [&](const std::pair<int, int>& s) {
            return std::hypot(s.first * sx, s.second * sy);
        };
        std::stable_sort(steps.begin(), steps.end(),
                         [&](const auto& a, const auto& b) { return reach(a) < reach(b); });
        TLabelBox at = box;
        double dx = 0, dy = 0;
        for (const auto& s : steps) {
            const TLabelBox moved{box.x0 + s.first * sx, box.y0 + s.second * sy,
                                  box.x1 + s.first * sx, box.y1 + s.second * sy};
            if (isFree(moved, gap)) {
                at = moved;
                dx = s.first * sx;
                dy = s.second * sy;
                break;
            }
        }
        placed.push_back(at);
        if (dx == 0 && dy == 0) continue;  // no free place within reach: left where it was
        if (l.at10) dxf[l.at10] = DxfGroup(10, Number(dxf[l.at10].substr(5), 0) + dx);
        if (l.at20) dxf[l.at20] = DxfGroup(20, Number(dxf[l.at20].substr(5), 0) + dy);
        if (l.at11) dxf[l.at11] = DxfGroup(11, Number(dxf[l.at11].substr(5), 0) + dx);
        if (l.at21) dxf[l.at21] = DxfGroup(21, Number(dxf[l.at21].substr(5), 0) + dy);
        // The leader: from where the label stood to the nearest point of its box.
        leaders.push_back({l.layer, l.colour, l.x, l.y, std::clamp(l.x, at.x0, at.x1),
                           std::clamp(l.y, at.y0, at.y1)});
    }
    DxfWriter w(dxf);
    for (const TLeader& d : leaders) {
        TDxfLineStyle style;
        if (d.colour >= 0) style.colour = d.colour;
        w.Line(d.layer, d.x1, d.y1, d.x2, d.y2, style);
    }
    return static_cast<int>(leaders.size());
}

}  // namespace zuka

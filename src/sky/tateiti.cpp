#include "sky/tateiti.h"

#include <string_view>
#include <utility>

#include "base/number.h"

namespace zuka {
namespace {

// Texts of the table.
constexpr std::string_view kMeoriLabel = "目盛間隔 ";
constexpr std::string_view kDegreeSign = "%%d";
constexpr std::string_view kMentakaLabel = "正射影　測定面高さ = ";
constexpr std::string_view kRadiusLabel = "天空図半径(R) = ";
constexpr std::string_view kRadiusUnit = " (図寸mm)";
constexpr std::string_view kTitle = "建物位置確認表";

// A fixed text of the table: its point in units of W (y negative downwards), its width factor.
struct THeading {
    double x;
    double y;
    std::string_view text;
    double widthFactor;
};

// One cell of a data row: x in units of W.
struct TCell {
    double x;
    std::string text;
    double widthFactor;
};

constexpr THeading kHeadings[] = {
    {1.5, -1, "位置", 0.8},      {1.5, -2, "No.", 0.8},          {6, -0.5, "配置図", 0.8},
    {4.5, -1.5, "距離", 0.8},    {7.5, -1.5, "高さ", 0.8},       {4.5, -2.5, "(実寸m)", 0.8},
    {7.5, -2.5, "(実寸m)", 0.8}, {13.5, -0.5, "天空図", 0.8},    {10.5, -1.5, "方位角", 0.8},
    {13.5, -1.5, "仰角:h", 0.8}, {16.5, -1.5, "R*cos(h)", 0.75}, {10.5, -2.5, "(%%d)", 0.8},
    {13.5, -2.5, "(%%d)", 0.8},  {16.5, -2.5, "(図寸mm)", 0.8},
};

// "%.4f" of a y value; a negative zero (-W * 0) is written as zero.
std::string FormatY(double y) { return FormatFixed(y + 0.0, 4); }

// A TEXT whose first and alignment point are both (x, y), vertically centred (73 = 2).
TDxfText CentredText(double x, double y, double height, std::string text, double widthFactor,
                     int horizontal) {
    TDxfText t;
    t.at = {x, FormatY(y), kDxfZero};
    t.height = height;
    t.text = std::move(text);
    t.widthFactor = widthFactor;
    t.horizontal = horizontal;
    t.vertical = 2;
    t.alignPoint = t.at;
    return t;
}

}  // namespace

double TateitiAzimuth(double houido, double kitaDeg) {
    double a = houido - kitaDeg + 90;
    while (a > 360) a -= 360;
    while (a < 0) a += 360;
    if (a > 270) a -= 360;
    return a;
}

std::vector<TTateiti> SortTateitiRows(const std::vector<TTateiti>& rows) {
    std::vector<TTateiti> work;
    for (const TTateiti& r : rows) {
        if (r.no > 0) work.push_back(r);
    }
    for (std::size_t i = 0; i < work.size(); ++i) {
        for (std::size_t j = i + 1; j < work.size(); ++j) {
            if (work[j].no < work[i].no) std::swap(work[i], work[j]);
        }
    }
    return work;
}

void WriteTateitiTable(DxfList& dxf, const std::vector<TTateiti>& sorted, const TTateitiParams& p) {
    const double w = 2 * p.textSize * p.scale;
    const double textH = w / 2;
    const int n = static_cast<int>(sorted.size());
    const std::string& layer = p.layer;
    DxfWriter out(dxf);

    // Grid of six columns 3W wide and n + 3 rows W high. Horizontals at every row border but
    // y = -2W (header rows two and three share their cells); y = -W starts at column 1
    // (column 0 spans all three header rows).
    for (int z = 0; z <= n + 3; ++z) {
        if (z == 2) continue;
        const DxfValue x0 = z == 1 ? DxfValue(FormatFixed(3 * w, 4)) : DxfValue(kDxfZero);
        const std::string y = FormatY(-w * z);
        out.Line(layer, x0, y, FormatFixed(18 * w, 4), y);
    }
    // Verticals: columns 2, 4 and 5 start below the first header row (merged heading cells).
    for (int z = 0; z <= 6; ++z) {
        const bool below = z == 2 || z == 4 || z == 5;
        const std::string x = FormatFixed(3 * w * z, 4);
        const DxfValue y0 = below ? DxfValue(FormatY(-w)) : DxfValue(kDxfZero);
        out.Line(layer, x, y0, x, FormatY(-w * (n + 3)));
    }

    // Title lines above the grid, left-aligned from x = W.
    const double mentaka = ParseDouble(p.mentaka).value_or(0);
    const std::pair<double, std::string> titles[] = {
        {3.5, std::string(kMeoriLabel) + p.meori + std::string(kDegreeSign)},
        {2.5, std::string(kMentakaLabel) + FormatFixed(mentaka, 3) + " m"},
        {1.5, std::string(kRadiusLabel) + FormatFixed(p.radius, 3) + std::string(kRadiusUnit)},
        {0.5, std::string(kTitle)},
    };
    for (const auto& [y, text] : titles) {
        TDxfText t = CentredText(4 * w, y * w, textH, text, 0.8, 0);
        t.alignPoint = TDxfPoint{w, FormatY(y * w), kDxfZero};
        out.Text(layer, t);
    }

    for (const THeading& h : kHeadings) {
        out.Text(layer,
                 CentredText(h.x * w, h.y * w, textH, std::string(h.text), h.widthFactor, 1));
    }

    for (int k = 1; k <= n; ++k) {
        const TTateiti& r = sorted[k - 1];
        const double y = -w * (k + 2.5);
        const TCell cells[] = {
            {5.75, FormatFixed(r.kyori / 1000, 3), 0.8},
            {8.75, FormatFixed(r.takasa / 1000, 3), 0.8},
            {11.75, FormatFixed(TateitiAzimuth(r.houido, p.kitaDeg), 3), 0.75},
            {14.75, FormatFixed(r.miagedo, 3), 0.8},
            {17.75, FormatFixed(r.rcosh / p.scale, 3), 0.8},
        };
        out.Text(layer, CentredText(1.5 * w, y, textH, "[" + std::to_string(r.no) + "]", 0.8, 1));
        for (const TCell& c : cells) {
            out.Text(layer, CentredText(c.x * w, y, textH, c.text, c.widthFactor, 2));
        }
    }
}

}  // namespace zuka

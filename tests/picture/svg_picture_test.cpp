#include "picture/svg_picture.h"

#include <gtest/gtest.h>

#include <string>

#include "cad/host/drawing_host.h"

namespace zuka {
namespace {

bool Contains(const std::string& s, const std::string& part) {
    return s.find(part) != std::string::npos;
}

// Texts from a drawing sit where the CAD shows them: a centred text on its alignment point, a
// turned one turned, the degree sign shown as such; lines stay thin when the picture is zoomed.
TEST(SvgPicture, TextsAsTheCadShowsThem) {
    DrawingHost host;
    host.New();
    Block& ms = host.ActiveDocument().ModelSpace();
    ms.AddLine({0, 0, 0}, {1000, 1000, 0});
    EntityPtr left = ms.AddText("目盛間隔 10%%d", {0, 0, 0}, 10);
    EntityPtr centred = ms.AddText("centred", {0, 0, 0}, 10);
    centred->SetHorizontalAlignment(1);
    centred->SetVerticalAlignment(2);  // middle: the baseline lies half the height lower
    centred->SetTextAlignmentPoint({500, 500, 0});
    EntityPtr turned = ms.AddText("W", {250, 750, 0}, 10);
    turned->SetRotation(3.141592653589793 / 2);

    SvgPicture pic;
    DrawPlot(host.Plot(), pic);
    const std::string svg = pic.ToText(1000);
    EXPECT_TRUE(Contains(svg, ">目盛間隔 10\u00b0</text>")) << svg;
    EXPECT_TRUE(Contains(svg, "vector-effect=\"non-scaling-stroke\""));
    // The picture spans 0..1000 plus a 3 % margin each side: scale 1000 / 1060.
    const double scale = 1000.0 / 1060;
    const auto px = [&](double v) { return std::to_string(static_cast<int>((v + 30) * scale)); };
    const auto py = [&](double v) { return std::to_string(static_cast<int>((1030 - v) * scale)); };
    EXPECT_TRUE(Contains(svg, "<text x=\"" + px(500) + ".") &&
                Contains(svg, "y=\"" + py(495) + "."))
        << svg;
    EXPECT_TRUE(Contains(svg, "text-anchor=\"middle\"")) << svg;
    EXPECT_TRUE(Contains(svg, "transform=\"rotate(-90.00 ")) << svg;
    EXPECT_EQ(left->HorizontalAlignment(), 0);
    EXPECT_EQ(centred->VerticalAlignment(), 2);
    EXPECT_DOUBLE_EQ(turned->Rotation(), 3.141592653589793 / 2);
}

}  // namespace
}  // namespace zuka

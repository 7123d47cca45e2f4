// A plan picture in SVG: drawing coordinates (millimetres, y up) scaled into a picture of a
// fixed width with y down, so that a reviewer can check a result by eye.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cad/automation.h"
#include "geom/records.h"

namespace zuka {

// How a text sits at its point, as the CAD aligns it: horizontal 0 left, 1 centre, 2 right
// (4 middle counts as centre), vertical 0 baseline (1 bottom counts the same), 2 middle,
// 3 top; turned counter-clockwise by rotation (radians) about the point.
struct TSvgTextPlacement {
    int horizontal = 0;
    int vertical = 0;
    double rotation = 0;
};

class SvgPicture {
public:
    // colour: any SVG colour text ("#0060c0"); width in picture pixels.
    void AddLine(TAcadPoint a, TAcadPoint b, const std::string& colour, double width = 1,
                 bool dashed = false);
    void AddCircle(TAcadPoint centre, double radius, const std::string& colour);
    // height in drawing units, drawn at its true size (zoom in to read small texts). The CAD's
    // control codes %%d, %%p, %%c and %%% are shown as the
    // characters they stand for.
    void AddText(TAcadPoint p, const std::string& text, double height, const std::string& colour,
                 TSvgTextPlacement placement = {});
    // A caption line written above the picture.
    void AddCaption(const std::string& text) { captions_.push_back(text); }

    bool Empty() const { return items_.empty(); }
    // The SVG document, `pixels` wide (the height follows the drawing's proportions).
    std::string ToText(double pixels = 1000) const;
    bool Save(const std::filesystem::path& path, double pixels = 1000) const;

private:
    enum class Kind { Line, Circle, Text };
    struct TItem {
        Kind kind;
        TAcadPoint a;
        TAcadPoint b;
        double size = 0;
        std::string colour;
        std::string text;
        double width = 1;
        bool dashed = false;
        TSvgTextPlacement placement{};
    };
    std::vector<TItem> items_;
    std::vector<std::string> captions_;
};

// Draws the model space of a drawing in plan: lines, polylines, circles, arcs and texts; the
// entities on layers whose names start with "ZUKA_" in colour, the user's own in grey.
void DrawModelSpace(Document& doc, SvgPicture& pic);

// A colour from blue (low) to red (high) for a height within [lo, hi].
std::string HeightColour(double z, double lo, double hi);

}  // namespace zuka

// A plan picture: drawing coordinates (millimetres, y up) scaled into a picture of a fixed
// width with y down, so that a reviewer can check a result by eye. Written as SVG here; the
// PNG renderer (png_picture.h, built with the window) paints the same items.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cad/host/drawing_host.h"
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

// One item of a picture, in drawing coordinates.
struct TPictureItem {
    enum class Kind { Line, Circle, Text };
    Kind kind = Kind::Line;
    TAcadPoint a;      // line start, circle centre, text point
    TAcadPoint b;      // line end
    double size = 0;   // circle radius, text height (drawing units)
    std::string colour;
    std::string text;  // shown as given
    double width = 1;  // line width, picture pixels
    bool dashed = false;
    TSvgTextPlacement placement{};
};

// Where the picture's items land: drawing x, y to picture pixels.
struct TPictureFrame {
    double x0 = 0;             // drawing x at the left edge
    double y1 = 0;             // drawing y at the top edge (below the captions)
    double scale = 1;          // pixels per drawing unit
    double captionHeight = 0;  // pixels of caption lines above the drawing
    double width = 0;          // of the whole picture, pixels
    double height = 0;
    double X(double x) const { return (x - x0) * scale; }
    double Y(double y) const { return (y1 - y) * scale + captionHeight; }
};

// 0 start, 1 centre, 2 end: where a text stands against its point.
int TextAnchor(const TSvgTextPlacement& placement);
// The start of a text item's baseline at its anchor (the point moved down by the placement's
// vertical alignment).
TAcadPoint TextBaseline(const TPictureItem& item);

class SvgPicture {
public:
    // colour: any SVG colour text ("#0060c0"); width in picture pixels.
    void AddLine(TAcadPoint a, TAcadPoint b, const std::string& colour, double width = 1,
                 bool dashed = false);
    void AddCircle(TAcadPoint centre, double radius, const std::string& colour);
    // height in drawing units, drawn at its true size (zoom in to read small texts).
    void AddText(TAcadPoint p, const std::string& text, double height, const std::string& colour,
                 TSvgTextPlacement placement = {});
    // A caption line written above the picture.
    void AddCaption(const std::string& text) { captions_.push_back(text); }

    // The background: any SVG colour text; white unless set.
    void SetBackground(std::string colour) { background_ = std::move(colour); }
    const std::string& Background() const { return background_; }

    bool Empty() const { return items_.empty(); }
    const std::vector<TPictureItem>& Items() const { return items_; }
    const std::vector<std::string>& Captions() const { return captions_; }
    // The frame of a picture `pixels` wide: the drawing's extent with a 3 % margin, captions
    // above it.
    TPictureFrame Frame(double pixels) const;
    // The SVG document, `pixels` wide (the height follows the drawing's proportions).
    std::string ToText(double pixels = 1000) const;
    bool Save(const std::filesystem::path& path, double pixels = 1000) const;

private:
    std::vector<TPictureItem> items_;
    std::vector<std::string> captions_;
    std::string background_ = "white";
};

// Draws a drawing's model space as the CAD's screen shows it (DrawingHost::Plot), in plan:
// the entities on layers whose names start with "ZUKA_" in colour, the user's own in grey;
// lines whose linetype has a pattern dashed. With `entityColours` an entity of those layers
// whose own colour is one of the six basic ones (1 red to 6 magenta) is drawn in it.
void DrawPlot(const std::vector<TPlotItem>& plot, SvgPicture& pic, bool entityColours = false);

// A colour from blue (low) to red (high) for a height within [lo, hi].
std::string HeightColour(double z, double lo, double hi);

}  // namespace zuka

#include "picture/svg_picture.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "base/number.h"

namespace zuka {
namespace {

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Num(double v) { return FormatFixed(v, 2); }

// Lines keep their width in screen pixels when the picture is zoomed, so that a small part
// of a large drawing (a sky map beside its site) can be read close up.
constexpr const char* kThinOnZoom = " vector-effect=\"non-scaling-stroke\"";

}  // namespace

void SvgPicture::AddLine(TAcadPoint a, TAcadPoint b, const std::string& colour, double width,
                         bool dashed) {
    items_.push_back({TPictureItem::Kind::Line, a, b, 0, colour, {}, width, dashed});
}

void SvgPicture::AddCircle(TAcadPoint centre, double radius, const std::string& colour) {
    items_.push_back({TPictureItem::Kind::Circle, centre, centre, radius, colour, {}, 1, false});
}

void SvgPicture::AddText(TAcadPoint p, const std::string& text, double height,
                         const std::string& colour, TSvgTextPlacement placement) {
    items_.push_back({TPictureItem::Kind::Text, p, p, height, colour, text, 1, false, placement});
}

int TextAnchor(const TSvgTextPlacement& pl) {
    return pl.horizontal == 1 || pl.horizontal == 4 ? 1 : pl.horizontal == 2 ? 2 : 0;
}

TAcadPoint TextBaseline(const TPictureItem& it) {
    const TSvgTextPlacement& pl = it.placement;
    // The baseline lies below a middle or top point by half or all the height.
    const double drop = pl.vertical == 2 ? 0.5 : pl.vertical == 3 ? 1.0 : 0.0;
    return {it.a.x + std::sin(pl.rotation) * it.size * drop,
            it.a.y - std::cos(pl.rotation) * it.size * drop, 0};
}

TPictureFrame SvgPicture::Frame(double pixels) const {
    double x0 = std::numeric_limits<double>::infinity();
    double y0 = x0;
    double x1 = -x0;
    double y1 = -x0;
    auto extend = [&](double x, double y) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
    };
    for (const TPictureItem& it : items_) {
        switch (it.kind) {
            case TPictureItem::Kind::Line:
                extend(it.a.x, it.a.y);
                extend(it.b.x, it.b.y);
                break;
            case TPictureItem::Kind::Circle:
                extend(it.a.x - it.size, it.a.y - it.size);
                extend(it.a.x + it.size, it.a.y + it.size);
                break;
            case TPictureItem::Kind::Text:
                extend(it.a.x, it.a.y);
                extend(it.a.x + it.size * 0.8 * static_cast<double>(it.text.size()) / 2,
                       it.a.y + it.size);
                break;
        }
    }
    if (items_.empty()) x0 = y0 = 0, x1 = y1 = 1;
    const double span = std::max({x1 - x0, y1 - y0, 1e-9});
    const double margin = span * 0.03;
    TPictureFrame f;
    f.x0 = x0 - margin;
    f.y1 = y1 + margin;
    f.scale = pixels / (x1 + margin - f.x0);
    f.captionHeight = 18.0 * static_cast<double>(captions_.size());
    f.width = pixels;
    f.height = (f.y1 - (y0 - margin)) * f.scale + f.captionHeight;
    return f;
}

std::string SvgPicture::ToText(double pixels) const {
    const TPictureFrame f = Frame(pixels);
    const double height = f.height;
    const double scale = f.scale;
    auto px = [&](double x) { return Num(f.X(x)); };
    auto py = [&](double y) { return Num(f.Y(y)); };

    std::ostringstream s;
    s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Num(pixels) << "\" height=\""
      << Num(height) << "\" viewBox=\"0 0 " << Num(pixels) << " " << Num(height) << "\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"" << background_ << "\"/>\n";
    for (std::size_t i = 0; i < captions_.size(); ++i)
        s << "<text x=\"4\" y=\"" << Num(14.0 + 18.0 * static_cast<double>(i))
          << "\" font-family=\"sans-serif\" font-size=\"13\">" << Escape(captions_[i])
          << "</text>\n";
    for (const TPictureItem& it : items_) {
        switch (it.kind) {
            case TPictureItem::Kind::Line:
                s << "<line x1=\"" << px(it.a.x) << "\" y1=\"" << py(it.a.y) << "\" x2=\""
                  << px(it.b.x) << "\" y2=\"" << py(it.b.y) << "\" stroke=\"" << it.colour
                  << "\" stroke-width=\"" << Num(it.width) << "\"" << kThinOnZoom
                  << (it.dashed ? " stroke-dasharray=\"6 3\"" : "") << "/>\n";
                break;
            case TPictureItem::Kind::Circle:
                s << "<circle cx=\"" << px(it.a.x) << "\" cy=\"" << py(it.a.y) << "\" r=\""
                  << Num(it.size * scale) << "\" fill=\"none\" stroke=\"" << it.colour << "\""
                  << kThinOnZoom << "/>\n";
                break;
            case TPictureItem::Kind::Text: {
                const TSvgTextPlacement& pl = it.placement;
                const int a = TextAnchor(pl);
                const char* anchor = a == 1 ? "middle" : a == 2 ? "end" : "start";
                const TAcadPoint base = TextBaseline(it);
                s << "<text x=\"" << px(base.x) << "\" y=\"" << py(base.y)
                  << "\" font-family=\"sans-serif\" font-size=\""
                  << Num(std::max(it.size * scale, 0.5)) << "\" text-anchor=\"" << anchor
                  << "\" fill=\"" << it.colour << "\"";
                if (pl.rotation != 0) {
                    s << " transform=\"rotate(" << Num(-pl.rotation * 180 / 3.141592653589793)
                      << " " << px(base.x) << " " << py(base.y) << ")\"";
                }
                s << ">" << Escape(it.text) << "</text>\n";
                break;
            }
        }
    }
    s << "</svg>\n";
    return s.str();
}

bool SvgPicture::Save(const std::filesystem::path& path, double pixels) const {
    std::ofstream f(path, std::ios::binary);
    if (!f) return false;
    f << ToText(pixels);
    return static_cast<bool>(f.flush());
}

namespace {

std::string LayerColour(const std::string& layer) {
    if (layer.rfind("ZUKA_", 0) != 0) return "#a0a0a0";
    static const char* const kColours[] = {"#1f5fbf", "#c0392b", "#1e8449", "#8e44ad",
                                           "#d35400", "#117a65", "#7d6608"};
    std::size_t h = 0;
    for (char c : layer) h = h * 31 + static_cast<unsigned char>(c);
    return kColours[h % (sizeof kColours / sizeof kColours[0])];
}

// The six basic colours, darkened where white paper would hide them.
std::string BasicColour(int index) {
    static const char* const kBasic[] = {"#d01010", "#b08800", "#109010",
                                         "#008a9a", "#1030d0", "#b010b0"};
    return kBasic[index - 1];
}

}  // namespace

void DrawPlot(const std::vector<TPlotItem>& plot, SvgPicture& pic, bool entityColours) {
    for (const TPlotItem& it : plot) {
        const bool own =
            entityColours && it.color >= 1 && it.color <= 6 && it.layer.rfind("ZUKA_", 0) == 0;
        const std::string colour = own ? BasicColour(it.color) : LayerColour(it.layer);
        const bool dashed = !it.dashes.empty();
        switch (it.kind) {
            case TPlotItem::Kind::Path:
                for (std::size_t i = 0; i + 1 < it.points.size(); ++i)
                    pic.AddLine(it.points[i], it.points[i + 1], colour, 1, dashed);
                if (it.closed && it.points.size() > 2)
                    pic.AddLine(it.points.back(), it.points.front(), colour, 1, dashed);
                break;
            case TPlotItem::Kind::Circle:
                pic.AddCircle(it.centre, it.radius, colour);
                break;
            case TPlotItem::Kind::Text:
                pic.AddText(it.centre, it.text, it.height, colour, {it.anchor, 0, it.rotation});
                break;
        }
    }
}

std::string HeightColour(double z, double lo, double hi) {
    const double t = hi > lo ? std::clamp((z - lo) / (hi - lo), 0.0, 1.0) : 0.0;
    const int r = static_cast<int>(std::lround(40 + 200 * t));
    const int b = static_cast<int>(std::lround(200 - 170 * t));
    const char* hex = "0123456789abcdef";
    std::string out = "#";
    for (int v : {r, 60, b}) {
        out += hex[(v >> 4) & 15];
        out += hex[v & 15];
    }
    return out;
}

}  // namespace zuka

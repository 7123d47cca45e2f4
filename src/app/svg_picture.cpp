#include "app/svg_picture.h"

#include <algorithm>
#include <cctype>
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

// The text as the CAD shows it: %%d degree, %%p plus-minus, %%c diameter, %%% percent; the
// underline and overline switches %%u and %%o show nothing.
std::string ShownText(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s.compare(i, 2, "%%") == 0 && i + 2 < s.size()) {
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i + 2])));
            const char* shown = c == 'd'               ? "\u00b0"
                                : c == 'p'             ? "\u00b1"
                                : c == 'c'             ? "\u2300"
                                : c == '%'             ? "%"
                                : c == 'u' || c == 'o' ? ""
                                                       : nullptr;
            if (shown) {
                out += shown;
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

}  // namespace

void SvgPicture::AddLine(TAcadPoint a, TAcadPoint b, const std::string& colour, double width,
                         bool dashed) {
    items_.push_back({Kind::Line, a, b, 0, colour, {}, width, dashed});
}

void SvgPicture::AddCircle(TAcadPoint centre, double radius, const std::string& colour) {
    items_.push_back({Kind::Circle, centre, centre, radius, colour, {}, 1, false});
}

void SvgPicture::AddText(TAcadPoint p, const std::string& text, double height,
                         const std::string& colour, TSvgTextPlacement placement) {
    items_.push_back({Kind::Text, p, p, height, colour, ShownText(text), 1, false, placement});
}

std::string SvgPicture::ToText(double pixels) const {
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
    for (const TItem& it : items_) {
        switch (it.kind) {
            case Kind::Line:
                extend(it.a.x, it.a.y);
                extend(it.b.x, it.b.y);
                break;
            case Kind::Circle:
                extend(it.a.x - it.size, it.a.y - it.size);
                extend(it.a.x + it.size, it.a.y + it.size);
                break;
            case Kind::Text:
                extend(it.a.x, it.a.y);
                extend(it.a.x + it.size * 0.8 * static_cast<double>(it.text.size()) / 2,
                       it.a.y + it.size);
                break;
        }
    }
    if (items_.empty()) x0 = y0 = 0, x1 = y1 = 1;
    const double span = std::max({x1 - x0, y1 - y0, 1e-9});
    const double margin = span * 0.03;
    x0 -= margin;
    y0 -= margin;
    x1 += margin;
    y1 += margin;
    const double scale = pixels / (x1 - x0);
    const double captionH = 18.0 * static_cast<double>(captions_.size());
    const double height = (y1 - y0) * scale + captionH;
    auto px = [&](double x) { return Num((x - x0) * scale); };
    auto py = [&](double y) { return Num((y1 - y) * scale + captionH); };

    std::ostringstream s;
    s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Num(pixels) << "\" height=\""
      << Num(height) << "\" viewBox=\"0 0 " << Num(pixels) << " " << Num(height) << "\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    for (std::size_t i = 0; i < captions_.size(); ++i)
        s << "<text x=\"4\" y=\"" << Num(14.0 + 18.0 * static_cast<double>(i))
          << "\" font-family=\"sans-serif\" font-size=\"13\">" << Escape(captions_[i])
          << "</text>\n";
    for (const TItem& it : items_) {
        switch (it.kind) {
            case Kind::Line:
                s << "<line x1=\"" << px(it.a.x) << "\" y1=\"" << py(it.a.y) << "\" x2=\""
                  << px(it.b.x) << "\" y2=\"" << py(it.b.y) << "\" stroke=\"" << it.colour
                  << "\" stroke-width=\"" << Num(it.width) << "\"" << kThinOnZoom
                  << (it.dashed ? " stroke-dasharray=\"6 3\"" : "") << "/>\n";
                break;
            case Kind::Circle:
                s << "<circle cx=\"" << px(it.a.x) << "\" cy=\"" << py(it.a.y) << "\" r=\""
                  << Num(it.size * scale) << "\" fill=\"none\" stroke=\"" << it.colour << "\""
                  << kThinOnZoom << "/>\n";
                break;
            case Kind::Text: {
                const TSvgTextPlacement& pl = it.placement;
                const char* anchor = pl.horizontal == 1 || pl.horizontal == 4 ? "middle"
                                     : pl.horizontal == 2                     ? "end"
                                                                              : "start";
                // The baseline lies below a middle or top point by half or all the height.
                const double drop = pl.vertical == 2 ? 0.5 : pl.vertical == 3 ? 1.0 : 0.0;
                const TAcadPoint base{it.a.x + std::sin(pl.rotation) * it.size * drop,
                                      it.a.y - std::cos(pl.rotation) * it.size * drop, 0};
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

void DrawPolyline(SvgPicture& pic, const std::vector<TAcadPoint>& pts, bool closed,
                  const std::string& colour) {
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) pic.AddLine(pts[i], pts[i + 1], colour);
    if (closed && pts.size() > 2) pic.AddLine(pts.back(), pts.front(), colour);
}

}  // namespace

void DrawModelSpace(Document& doc, SvgPicture& pic) {
    Block& ms = doc.ModelSpace();
    for (int i = 0; i < ms.Count(); ++i) {
        const EntityPtr e = ms.Item(i);
        const std::string kind = e->EntityName();
        const std::string colour = LayerColour(e->Layer());
        try {
            if (kind == "AcDbLine") {
                pic.AddLine(e->StartPoint(), e->EndPoint(), colour);
            } else if (kind == "AcDbPolyline" || kind == "AcDb2dPolyline" ||
                       kind == "AcDb3dPolyline") {
                const std::vector<double> c = e->Coordinates();
                const std::size_t stride = kind == "AcDbPolyline" ? 2 : 3;
                std::vector<TAcadPoint> pts;
                for (std::size_t k = 0; k + stride <= c.size(); k += stride)
                    pts.push_back({c[k], c[k + 1], 0});
                DrawPolyline(pic, pts, e->Closed(), colour);
            } else if (kind == "AcDbCircle") {
                pic.AddCircle(e->Center(), e->Radius(), colour);
            } else if (kind == "AcDbArc") {
                const TAcadPoint c = e->Center();
                double a = e->StartAngle();
                double b = e->EndAngle();
                if (b < a) b += 2 * 3.141592653589793;
                std::vector<TAcadPoint> pts;
                for (int k = 0; k <= 24; ++k) {
                    const double t = a + (b - a) * k / 24;
                    pts.push_back(
                        {c.x + e->Radius() * std::cos(t), c.y + e->Radius() * std::sin(t), 0});
                }
                DrawPolyline(pic, pts, false, colour);
            } else if (kind == "AcDbText") {
                TSvgTextPlacement pl;
                pl.horizontal = e->HorizontalAlignment();
                pl.vertical = e->VerticalAlignment();
                pl.rotation = e->Rotation();
                // Aligned and fitted texts run from the insertion point; others that are not
                // left on the baseline hang on their alignment point.
                const bool atAlignment = (pl.horizontal != 0 || pl.vertical != 0) &&
                                         pl.horizontal != 3 && pl.horizontal != 5;
                if (pl.horizontal == 3 || pl.horizontal == 5) pl.horizontal = 0;
                pic.AddText(atAlignment ? e->TextAlignmentPoint() : e->InsertionPoint(),
                            e->TextString(), e->Height(), colour, pl);
            }
        } catch (const AutomationError&) {
            // A member the entity lacks: it is left out of the picture.
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

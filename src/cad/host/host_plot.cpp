// What the CAD's screen shows of the open drawing: every model-space entity as paths, circles
// and texts with its colour and linetype resolved.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <variant>

#include "cad/host/drawing_host.h"
#include "cad/host/host_geometry.h"
#include "cad/host/host_state.h"
#include "geom/acquisition.h"

namespace zuka {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kArcChords = 48;  // chords of a full turn; an arc gets its share, at least 4
constexpr int kMaxDepth = 8;    // nested block references shown

// The colour, layer and linetype a block reference passes to its contents.
struct TInherited {
    std::string handle;
    std::string layer;
    int color = 7;
    std::string linetype;
};

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

class Plotter {
public:
    Plotter(const HostDrawing& d, std::vector<TPlotItem>& out) : d_(d), out_(out) {
        const auto v = d.Variables().find("LTSCALE");
        if (v != d.Variables().end()) {
            if (const double* x = std::get_if<double>(&v->second)) ltscale_ = *x > 0 ? *x : 1;
        }
    }

    void Entity(const TEntityData& e, const TInherited* parent, int depth) {
        TPlotItem it;
        it.handle = parent ? parent->handle : e.handle;
        it.layer = parent && e.layer == "0" ? parent->layer : e.layer;
        const TLayer* layer = d_.FindLayer(it.layer);
        if (layer && layer->color < 0) return;  // the layer is off
        const int layerColor = layer ? std::abs(layer->color) : 7;
        it.color = e.color == 256 ? layerColor
                   : e.color == 0 ? (parent ? parent->color : 7)
                                  : e.color;
        if (it.color < 1 || it.color > 255) it.color = 7;
        std::string lt = e.linetype;
        if (lt.empty() || EqualsNoCase(lt, "BYLAYER")) lt = layer ? layer->linetype : "";
        if (EqualsNoCase(lt, "BYBLOCK")) lt = parent ? parent->linetype : "";
        if (const TLinetype* t = d_.FindLinetype(lt)) {
            for (double dash : t->dashes) it.dashes.push_back(dash * ltscale_);
        }

        switch (e.kind) {
            case EntKind::Line:
                it.points = {e.p1, e.p2};
                break;
            case EntKind::Circle:
                it.kind = TPlotItem::Kind::Circle;
                it.centre = e.p1;
                it.radius = e.radius;
                break;
            case EntKind::Arc: {
                double b = e.end;
                while (b <= e.start) b += 2 * kPi;
                Sample(it, e.p1, {e.radius, 0, 0}, {0, e.radius, 0}, e.start, b);
                break;
            }
            case EntKind::Ellipse: {
                const TAcadPoint& m = e.p2;  // major axis from the centre
                const TAcadPoint& n = e.normal;
                const TAcadPoint minor{(n.y * m.z - n.z * m.y) * e.ratio,
                                       (n.z * m.x - n.x * m.z) * e.ratio,
                                       (n.x * m.y - n.y * m.x) * e.ratio};
                double b = e.end;
                while (b <= e.start) b += 2 * kPi;
                Sample(it, e.p1, m, minor, e.start, b);
                break;
            }
            case EntKind::LwPolyline:
            case EntKind::Polyline2d:
            case EntKind::Polyline3d:
            case EntKind::Insert: {
                std::vector<TEntityData> parts;
                try {
                    parts = ExplodeData(e, d_);
                } catch (const AutomationError&) {
                    return;  // a reference the screen cannot place (non-uniform scale)
                }
                if (e.kind == EntKind::Insert && depth >= kMaxDepth) return;
                TInherited inherit{it.handle, it.layer, it.color, lt};
                // Polyline sides keep the polyline's own colour and linetype.
                for (TEntityData& p : parts) {
                    if (e.kind != EntKind::Insert) {
                        p.color = e.color;
                        p.linetype = e.linetype;
                        p.handle = e.handle;
                    }
                    Entity(p, e.kind == EntKind::Insert ? &inherit : parent, depth + 1);
                }
                return;
            }
            case EntKind::Text: {
                it.kind = TPlotItem::Kind::Text;
                int h = e.hAlign;
                const int v = e.vAlign;
                // Aligned and fitted texts run from the insertion point; others that are not
                // left on the baseline hang on their alignment point.
                const bool atAlignment = (h != 0 || v != 0) && h != 3 && h != 5;
                if (h == 3 || h == 5) h = 0;
                const TAcadPoint at = atAlignment ? e.p2 : e.p1;
                it.anchor = h == 1 || h == 4 ? 1 : h == 2 ? 2 : 0;
                // The baseline lies below a middle or top point by half or all the height.
                const double drop = v == 2 || h == 4 ? 0.5 : v == 3 ? 1.0 : 0.0;
                it.rotation = e.rotation;
                it.height = e.height;
                it.centre = {at.x + std::sin(e.rotation) * e.height * drop,
                             at.y - std::cos(e.rotation) * e.height * drop, 0};
                it.text = ShownText(e.text);
                break;
            }
            case EntKind::Other:
                return;
        }
        if (Shown(it)) out_.push_back(std::move(it));
    }

private:
    // Whether a stroke lies within the sane coordinates: a line out to ±1e308 would make the
    // view's extent infinite and every picture of it empty (a viewBox of NaN).
    static bool Shown(const TPlotItem& it) {
        for (const TAcadPoint& p : it.points)
            if (!IsSanePoint(p)) return false;
        if (!IsSanePoint(it.centre)) return false;
        return IsSanePoint({it.radius, it.height, 0});
    }

    // Points centre + u cos t + w sin t for t from a to b.
    static void Sample(TPlotItem& it, TAcadPoint c, TAcadPoint u, TAcadPoint w, double a,
                       double b) {
        const int n = std::max(4, static_cast<int>(std::ceil((b - a) / (2 * kPi) * kArcChords)));
        for (int k = 0; k <= n; ++k) {
            const double t = a + (b - a) * k / n;
            it.points.push_back({c.x + u.x * std::cos(t) + w.x * std::sin(t),
                                 c.y + u.y * std::cos(t) + w.y * std::sin(t), 0});
        }
    }

    const HostDrawing& d_;
    std::vector<TPlotItem>& out_;
    double ltscale_ = 1;
};

}  // namespace

std::vector<TPlotItem> DrawingHost::Plot() const {
    std::vector<TPlotItem> items;
    if (!state_->drawing) return items;
    const HostDrawing& d = *state_->drawing;
    Plotter plot(d, items);
    for (const HostEntityPtr& e : d.Model().Items()) plot.Entity(e->Data(), nullptr, 0);
    return items;
}

std::vector<TLayerEntry> DrawingHost::LayerTable() const {
    std::vector<TLayerEntry> layers;
    if (!state_->drawing) return layers;
    for (const TLayer& l : state_->drawing->Layers())
        layers.push_back({l.name, std::abs(l.color), l.color < 0});
    return layers;
}

}  // namespace zuka

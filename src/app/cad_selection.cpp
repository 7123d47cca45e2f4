#include "app/cad_selection.h"

#include "cad/host/selection_expr.h"

namespace zuka {
namespace {

constexpr int kLayerGroup = 8;
// The program's results lie on layers that begin with ZUKA_: no buildings, points or sites.
constexpr char kNotResultLayers[] = "~ZUKA_*";

std::string Joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ",") + n;
    return out;
}

}  // namespace

std::optional<TCadSelection> CadSelectionOf(std::string_view expr, std::string& error) {
    const std::optional<TSelectionExpr> parsed = ParseSelectionExpr(expr, error);
    if (!parsed) return std::nullopt;
    TCadSelection s;
    bool layers = false;
    bool window = false;
    bool all = false;
    for (const TSelectionTerm& t : parsed->terms) {
        switch (t.kind) {
            case SelectionTermKind::All:
                all = true;
                break;
            case SelectionTermKind::Layer:
                if (layers) {
                    error = "CAD では画層 (layer=) は一つの並びで指定してください";
                    return std::nullopt;
                }
                layers = true;
                s.filterTypes.push_back(kLayerGroup);
                s.filterData.push_back(Joined(t.names));
                break;
            case SelectionTermKind::Handle:
                error = "CAD ではハンドル (handle=) で選択できません．画層 (layer=) か範囲 "
                        "(window=) で指定してください";
                return std::nullopt;
            case SelectionTermKind::Window:
                if (window) {
                    error = "CAD では範囲 (window=) は一つだけ指定できます";
                    return std::nullopt;
                }
                window = true;
                s.mode = kSelectWindow;
                s.p1 = {t.x1, t.y1, 0};
                s.p2 = {t.x2, t.y2, 0};
                break;
        }
    }
    if (all && !layers) {
        s.filterTypes.push_back(kLayerGroup);
        s.filterData.push_back(std::string(kNotResultLayers));
    }
    return s;
}

void SelectInCad(SelectionSet& ss, const TCadSelection& selection,
                 const std::vector<int>& filterTypes, const std::vector<CadValue>& filterData) {
    std::vector<int> types = selection.filterTypes;
    std::vector<CadValue> data = selection.filterData;
    types.insert(types.end(), filterTypes.begin(), filterTypes.end());
    data.insert(data.end(), filterData.begin(), filterData.end());
    ss.Select(selection.mode, selection.p1, selection.p2, types, data);
}

}  // namespace zuka

#include "app/height_override.h"

#include <algorithm>
#include <cctype>

#include "base/number.h"
#include "cad/read_entities.h"
#include "geom/acquisition.h"

namespace zuka {
namespace {

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

// The sizes of the entity lists, to find what one entity added.
struct TListSizes {
    std::size_t lines, circles, arcs, ellipses, lwps, vertices;
};

TListSizes Sizes(const Workspace& ws) {
    return {ws.AryLine.size(),    ws.AryCircle.size(), ws.AryArc.size(),
            ws.AryEllipse.size(), ws.AryLwp.size(),    ws.AryLwpEle.size()};
}

void SetHeight(Workspace& ws, const TListSizes& from, double z) {
    for (std::size_t i = from.lines; i < ws.AryLine.size(); ++i)
        ws.AryLine[i].st.z = ws.AryLine[i].ed.z = z;
    for (std::size_t i = from.circles; i < ws.AryCircle.size(); ++i) ws.AryCircle[i].center.z = z;
    for (std::size_t i = from.arcs; i < ws.AryArc.size(); ++i) ws.AryArc[i].center.z = z;
    for (std::size_t i = from.ellipses; i < ws.AryEllipse.size(); ++i)
        ws.AryEllipse[i].center.z = z;
    for (std::size_t i = from.lwps; i < ws.AryLwp.size(); ++i) ws.AryLwp[i].code38 = z;
    for (std::size_t i = from.vertices; i < ws.AryLwpEle.size(); ++i) ws.AryLwpEle[i].code10.z = z;
}

}  // namespace

std::optional<THeightOverride> ParseHeightOverride(const std::string& text) {
    const std::size_t eq = text.rfind('=');
    if (eq == std::string::npos || eq == 0) return std::nullopt;
    const std::optional<double> m = ParseDouble(text.substr(eq + 1));
    // Heights beyond 1,000 km, which no building has, are refused as the acquisition refuses
    // such coordinates in a drawing.
    if (!m || !(*m >= 0) || !(*m * 1000 <= kMaxCoordinate)) return std::nullopt;
    return THeightOverride{text.substr(0, eq), *m, 0};
}

THeightOverride* FindHeightOverride(std::vector<THeightOverride>& overrides, Entity& e) {
    const std::string handle = e.Handle();
    for (THeightOverride& o : overrides)
        if (SameText(o.key, handle)) return &o;
    const std::string layer = e.Layer();
    for (THeightOverride& o : overrides)
        if (o.key == layer) return &o;
    return nullptr;
}

bool ReadTatemonoEntity(Entity& e, Workspace& ws, std::vector<THeightOverride>& overrides) {
    const TListSizes before = Sizes(ws);
    if (!ReadSelEntity(e, ws)) return false;
    if (THeightOverride* o = FindHeightOverride(overrides, e)) {
        SetHeight(ws, before, o->metres * 1000);
        ++o->entities;
    }
    return true;
}

int ReadTatemonoEntities(SelectionSet& ss, Workspace& ws, std::vector<THeightOverride>& overrides) {
    for (THeightOverride& o : overrides) o.entities = 0;
    if (overrides.empty()) return ReadSelEntities(ss, ws);
    ws.AryLine.clear();
    ws.AryCircle.clear();
    ws.AryEllipse.clear();
    ws.AryArc.clear();
    ws.AryLwp.clear();
    ws.AryLwpEle.clear();
    for (int i = 0; i < ss.Count(); ++i) ReadTatemonoEntity(*ss.Item(i), ws, overrides);
    return static_cast<int>(ws.AryLine.size() + ws.AryCircle.size() + ws.AryLwp.size());
}

}  // namespace zuka

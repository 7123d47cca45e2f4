// The entities of a DXF text list, for the sky tests: each as its type and its groups in
// order. A list of entities alone is read from its start; a whole file from its ENTITIES
// marker up to the section's end.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cad/dxf_text.h"

namespace zuka::testing_dxf {

using Groups = std::vector<std::pair<int, std::string>>;

struct TEnt {
    std::string type;
    Groups groups;

    // The first value of a group, empty when the entity has none.
    std::string Get(int code) const {
        for (const auto& [c, v] : groups) {
            if (c == code) return v;
        }
        return {};
    }
    bool Has(int code) const {
        for (const auto& g : groups) {
            if (g.first == code) return true;
        }
        return false;
    }
    double Num(int code) const { return std::stod(Get(code)); }
};

inline std::vector<TEnt> Entities(const DxfList& dxf) {
    std::string all;
    for (const std::string& s : dxf) all += s + "\r\n";
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < all.size();) {
        const std::size_t end = all.find("\r\n", at);
        lines.push_back(all.substr(at, end - at));
        at = end + 2;
    }
    std::vector<TEnt> out;
    bool inEntities = false;
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
        const int code = std::stoi(lines[i]);
        const std::string& value = lines[i + 1];
        if (code == 2 && value == "ENTITIES") {
            out.clear();  // what came before was the section's start
            inEntities = true;
        } else if (code == 0 && value == "ENDSEC") {
            if (inEntities) break;
            out.clear();  // the end of the header or the tables
        } else if (code == 0) {
            out.push_back({value, {}});
        } else if (!out.empty()) {
            out.back().groups.emplace_back(code, value);
        }
    }
    return out;
}

// The entities of one type, on `layer` when one is given.
inline std::vector<TEnt> OfType(const std::vector<TEnt>& ents, const std::string& type,
                                const std::string& layer = {}) {
    std::vector<TEnt> out;
    for (const TEnt& e : ents)
        if (e.type == type && (layer.empty() || e.Get(8) == layer)) out.push_back(e);
    return out;
}

}  // namespace zuka::testing_dxf

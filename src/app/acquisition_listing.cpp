#include "app/acquisition_listing.h"

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <utility>

#include "app/cad_selection.h"
#include "base/number.h"
#include "cad/bridge.h"
#include "geom/acquisition.h"

namespace zuka {
namespace {

constexpr char kTaken[] = "取得";
constexpr char kSkipped[] = "除外";
constexpr char kEntities[] = " 図形";
constexpr char kSegments[] = " 線分";
constexpr char kHeight[] = "高さ ";
constexpr char kNoSegments[] = "線分なし";
// Why an entity is not a building.
constexpr char kText[] = "文字は建物になりません";
constexpr char kBlockReference[] = "ブロック参照の中の図形は読みません (分解すると読めます)";
constexpr char kUnreadShape[] = "面・立体・曲線の図形は建物として読めません";
constexpr char kNoShape[] = "建物の形を持たない図形です";

constexpr char kListSetName[] = "ssZukaList";

// Classes that can hold a building's shape but that the acquisition does not read.
bool CanHoldBuilding(const std::string& kind) {
    static const char* const kKinds[] = {
        "AcDbFace",        "AcDbSolid",       "AcDbTrace",        "AcDb3dSolid",
        "AcDbRegion",      "AcDbBody",        "AcDbSubDMesh",     "AcDbPolyFaceMesh",
        "AcDbPolygonMesh", "AcDbSpline",      "AcDbMline",        "AcDbProxyEntity"};
    for (const char* k : kKinds)
        if (kind == k) return true;
    return kind.find("Surface") != std::string::npos;
}

std::string ReasonSkipped(const std::string& kind) {
    if (kind == "AcDbText" || kind == "AcDbMText") return kText;
    if (kind == "AcDbBlockReference") return kBlockReference;
    if (CanHoldBuilding(kind)) return kUnreadShape;
    return kNoShape;
}

}  // namespace

TAcquisitionListing ListAcquisition(SelectionSet& ss, std::vector<THeightOverride> heights) {
    std::map<std::pair<std::string, std::string>, TAcquiredGroup> taken;
    // Skipped by class, layer and reason: entities refused for their numbers are told apart.
    std::map<std::tuple<std::string, std::string, std::string>, TSkippedGroup> skipped;
    for (int i = 0; i < ss.Count(); ++i) {
        const EntityPtr e = ss.Item(i);
        const std::string kind = e->EntityName();
        const std::string layer = e->Layer();
        Workspace ws;
        std::string reason;
        try {
            if (!ReadTatemonoEntity(*e, ws, heights)) reason = ReasonSkipped(kind);
            else ConvertEntitiesToLines(ws);
        } catch (const EntityRefused& refused) {
            reason = refused.what();
        }
        if (!reason.empty()) {
            TSkippedGroup& g = skipped[{kind, layer, reason}];
            if (g.entities++ == 0) g = {kind, layer, 1, reason};
            continue;
        }
        TAcquiredGroup& g = taken[{kind, layer}];
        g.kind = kind;
        g.layer = layer;
        for (const TLineEnt& s : ws.AryLine) {
            for (double z : {s.st.z, s.ed.z}) {
                const bool first = g.segments == 0;
                g.zmin = first ? z : std::min(g.zmin, z);
                g.zmax = first ? z : std::max(g.zmax, z);
            }
            ++g.segments;
        }
        ++g.entities;
    }
    TAcquisitionListing listing;
    for (auto& [key, g] : taken) listing.taken.push_back(std::move(g));
    for (auto& [key, g] : skipped) listing.skipped.push_back(std::move(g));
    return listing;
}

TAcquisitionListing ListAcquisition(Document& doc, std::vector<THeightOverride> heights,
                                    const TCadSelection* selection) {
    const SelectionSetPtr ss = GetSelSet(doc, kListSetName);
    TAcquisitionListing listing;
    try {
        if (selection) {
            SelectInCad(*ss, *selection);
        } else {
            ss->SelectOnScreen();
        }
        listing = ListAcquisition(*ss, std::move(heights));
    } catch (const AutomationError&) {
        ss->Delete();
        throw;
    }
    ss->Delete();
    return listing;
}

std::vector<std::string> AcquisitionListingLines(const TAcquisitionListing& listing) {
    std::vector<std::string> lines;
    for (const TAcquiredGroup& g : listing.taken)
        lines.push_back(std::string(kTaken) + "\t" + g.kind + "\t" + g.layer + "\t" +
                        std::to_string(g.entities) + kEntities + "\t" +
                        std::to_string(g.segments) + kSegments + "\t" +
                        (g.segments == 0 ? std::string(kNoSegments)
                                         : kHeight + FormatGeneral(g.zmin) + " ～ " +
                                               FormatGeneral(g.zmax) + " mm"));
    for (const TSkippedGroup& g : listing.skipped)
        lines.push_back(std::string(kSkipped) + "\t" + g.kind + "\t" + g.layer + "\t" +
                        std::to_string(g.entities) + kEntities + "\t" + g.reason);
    return lines;
}

}  // namespace zuka

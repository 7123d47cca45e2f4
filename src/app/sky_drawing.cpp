#include "app/sky_drawing.h"

#include "base/platform.h"
#include "geom/primitives.h"
#include "sky/triangle_table.h"

namespace zuka {
namespace {

const std::string kBlockPrefix = "ZUKA_";
// What each insertion the user places is, as the window names it beside the prompt.
const std::string kPlacingMap = "天空図";
const std::string kPlacingSansya = "三斜求積表";
const std::string kPlacingTateiti = "建物位置確認表";
const std::string kDxfExtension = ".dxf";
constexpr int kPlacingIdlePollMs = 200;

// Restores the main window when the placement leaves early through an automation error.
class MinimisedWindow {
public:
    explicit MinimisedWindow(const TCadUi& ui) : ui_(ui) { ui_.Minimise(); }
    ~MinimisedWindow() { Restore(); }
    MinimisedWindow(const MinimisedWindow&) = delete;
    MinimisedWindow& operator=(const MinimisedWindow&) = delete;
    void Restore() {
        if (minimised_) ui_.Restore();
        minimised_ = false;
    }

private:
    const TCadUi& ui_;
    bool minimised_ = true;
};

// The outline's area as the CAD measures it: a closed lightweight polyline through the start
// points of the segments, shifted to the map centre, on the sky-map layer, deleted afterwards.
double MeasureCadArea(Document& doc, const std::vector<TLineEnt>& outline, TAcadPoint centre,
                      const std::string& layer) {
    std::vector<double> xy;
    xy.reserve(outline.size() * 2);
    for (const TLineEnt& s : outline) {
        xy.push_back(s.st.x + centre.x);
        xy.push_back(s.st.y + centre.y);
    }
    try {
        EntityPtr pl = doc.ModelSpace().AddLightWeightPolyline(xy);
        pl->SetClosed(true);
        pl->SetLayer(layer);
        const double area = pl->Area();
        pl->Delete();
        return area;
    } catch (const AutomationError&) {
        return 0;
    }
}

}  // namespace

TTenkuPlacement PlaceTenkuzu(DxfList& dxf, const TCadTarget& cad, const TDxfOutput& out,
                             const TCadUi& ui, bool insertFlag, TAcadPoint insertVpt,
                             double rotDeg) {
    TTenkuPlacement result;
    if (!insertFlag) {
        const TInsertResult r =
            InsertDxfBlock(dxf, cad, out, ui, InsertVariant::ExplodedAtPoint, insertVpt, rotDeg);
        result.blockName = r.blockName;
        result.file = r.file;
        result.why = r.why;
        result.status = r.status == InsertStatus::NotSaved ? TenkuPlaceStatus::NotSaved
                                                           : TenkuPlaceStatus::Placed;
        result.point = insertVpt;
        return result;
    }

    // Placed by the user. Unlike the shared placing tail, a changed last entity that is not the
    // map's reference still counts as placed, at the origin.
    Document& doc = cad.document;
    EndDxfFile(dxf);
    result.blockName = NextBlockName(doc, kBlockPrefix);
    result.file = out.workFolder / (result.blockName + kDxfExtension);
    const ObjectId before = GetLastEntityId(doc);
    MinimisedWindow window(ui);
    if (!SaveDxfList(dxf, result.file, out.encoding, nullptr, &result.why)) {
        result.status = TenkuPlaceStatus::NotSaved;
        return result;
    }
    ui.Placing(kPlacingMap);
    doc.SendCommand(
        InsertCommandText(InsertVariant::PlacedRotated, PathToUtf8(result.file), 0, 0, rotDeg));
    ui.Placing("");
    WaitCadIdle(cad.connector, cad.application, cad.progId, kPlacingIdlePollMs);
    window.Restore();
    if (GetLastEntityId(doc) == before) {
        result.status = TenkuPlaceStatus::NotPlaced;
        return result;
    }
    TAcadPoint centre;
    if (ExplodeLastInsert(doc, result.blockName, centre)) {
        DeleteBlockDef(doc, result.blockName);
    } else {
        centre = {};
    }
    result.status = TenkuPlaceStatus::Placed;
    result.point = centre;
    return result;
}

TInsertLineEntResult InsertLineEnt(Workspace& ws, const TCadTarget& cad, const TDxfOutput& out,
                                   const TCadUi& ui, const TSansyaParams& p, bool InsertFlag,
                                   std::optional<TAcadPoint> InsertVpt) {
    TInsertLineEntResult res;
    if (!IsCadRunning(cad.connector, cad.progId)) return res;
    ActivateCad(cad.connector, cad.application);
    if (ws.AryLine.size() <= 2) {
        ws.AryLine.clear();
        return res;
    }
    const double r = p.radius;
    DxfList dxf;
    StartDxfFile(dxf);
    WriteSansyaHatch(dxf, ws.AryLine, r, p.hatchDeg, p.rotDeg, p.layerHatch);
    res.area = MeasureCadArea(cad.document, ws.AryLine, p.IDPOINT2, p.layerTenku);

    res.sansya = MeasureSansya(ws.AryLine, r, p.scale, p.tekigou);
    if (!res.sansya) {
        ws.AryLine.clear();
        return res;
    }
    TSansyaResult& m = *res.sansya;
    if (InsertFlag && p.itiHyo) {
        NumberTateiti(ws.AryTateiti, m.sector.corners, r, p.northDeg * kPi / 180);
        WriteTateitiMarkers(dxf, ws.AryTateiti, m.sector.corners, r, p.rotDeg, p.layerIti);
    }
    if (InsertFlag && p.kyusekiHyo)
        WriteSansyaTriangles(dxf, m.triangles, r, p.rotDeg, p.layerSansya);

    if (!m.triangles.empty()) {
        TSansyaNotes n;
        n.radius = r;
        n.textSize = p.textSize;
        n.memori = p.memori;
        n.idoDeg = p.idoDeg;
        n.idoMin = p.idoMin;
        n.idoSec = p.idoSec;
        n.mentakaM = p.mentakaM;
        n.tenMei = p.tenMei;
        n.enMenseki = m.sector.enMenseki;
        n.tousyaMenseki = m.tousyaMenseki;
        n.tenkuRitu = m.tenkuRitu;
        n.layer = p.layerTenku;
        WriteSansyaNotes(dxf, n);
        res.mapInsert = InsertDxfBlock(dxf, cad, out, ui, InsertVariant::ExplodedMapCentre,
                                       InsertVpt.value_or(p.IDPOINT2));
    }

    if (InsertFlag) {
        if (!p.kyusekiHyo) {
            res.drawTateiti = p.itiHyo && !ws.AryTateiti.empty();
        } else if (!m.triangles.empty()) {
            TSansyaTable t;
            for (const TSansyaTriangle& tri : m.triangles) t.rows.push_back(tri.row);
            t.scale = p.scale;
            t.radius = r;
            t.textSize = p.textSize;
            t.memori = p.memori;
            t.mentakaM = p.mentakaM;
            t.sansyaGoukei = m.sansyaGoukei;
            t.kakudoDeg = m.sector.kakudoDeg;
            t.ougiMenseki = m.sector.ougiMenseki;
            t.tousyaMenseki = m.tousyaMenseki;
            t.enMenseki = m.sector.enMenseki;
            t.tenkuRitu = m.tenkuRitu;
            t.layer = p.layerSansya;
            DxfList table = BuildSansyaTable(t);
            ui.Placing(kPlacingSansya);
            res.tableInsert = InsertDxfBlock(table, cad, out, ui, InsertVariant::PlacedTable);
            ui.Placing("");
            if (p.itiHyo) {
                res.drawTateiti = true;
            } else {
                ws.AryTateiti.clear();
            }
        }
    }
    ws.AryLine.clear();
    return res;
}

bool DrawTateiti(std::vector<TTateiti>& aryTateiti, const TTateitiParams& p, const TCadTarget& cad,
                 const TDxfOutput& out, const TCadUi& ui) {
    if (!IsCadRunning(cad.connector, cad.progId)) return false;
    ActivateCad(cad.connector, cad.application);
    if (aryTateiti.empty()) return false;
    const std::vector<TTateiti> sorted = SortTateitiRows(aryTateiti);
    if (sorted.empty()) return false;
    aryTateiti.clear();

    DxfList dxf;
    StartDxfFile(dxf);
    WriteTateitiTable(dxf, sorted, p);
    ui.Placing(kPlacingTateiti);
    InsertDxfBlock(dxf, cad, out, ui, InsertVariant::PlacedTable);
    ui.Placing("");
    return true;
}

std::optional<double> MeasureTenkuArea(Application& app, Document& doc, const std::string& layer,
                                       TAcadPoint shift, const std::vector<TAcadPoint>& pts) {
    EnsureLayer(app, layer);
    std::vector<double> xy;
    for (const TAcadPoint& q : pts) {
        xy.push_back(q.x + shift.x);
        xy.push_back(q.y + shift.y);
    }
    EntityPtr poly = doc.ModelSpace().AddLightWeightPolyline(xy);
    if (!poly) return std::nullopt;
    poly->SetLayer(layer);
    poly->SetClosed(true);
    const double area = poly->Area();
    poly->Delete();
    return area;
}

}  // namespace zuka

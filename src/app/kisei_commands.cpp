// The regulation check of the equal-time shadows: the site picked as 境界線作成 picks it, its
// 5 m and 10 m deemed lines, the ground shaded H5 and H10 hours or longer checked against them,
// optionally each building's headroom, and the lines, outlines and tightest spots drawn.
#include <algorithm>

#include "app/controller.h"
#include "base/number.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

constexpr char kNoModel[] = "基準データが作成されていません．";
constexpr char kNoSite[] = "敷地の線分が選択されませんでした．";
constexpr char kSiteFailed[] = "\r\nみなし境界線の作成に失敗しました.\r\n";
constexpr char kBadHours[] = "規制時間は 0 より大きい時間にしてください．";
constexpr char kBadPeriod[] = "終了時刻は開始時刻より後にしてください．";
constexpr char kUndecided[] = "日影の範囲が計算範囲の端に達したため、日影規制を判定できません．";

// The chords of the deemed lines' arcs stray at most this far from them (mm).
constexpr double kLineSagitta = 1;
// Colours of the two limits' lines, outlines and spots: red for 5 m, blue for 10 m; the 10 m
// ones dashed too, so that a picture without colours tells them apart.
constexpr int kLimitColour[2] = {1, 5};
constexpr bool kLimitDashed[2] = {false, true};

// "5 m 4.0Hr 余裕 1.422 m" or "... 超過 17.874 m".
std::string SpotText(int limit, double hours, const TKiseiSpot& s) {
    const std::string head =
        FormatGeneral(kKyoukaiDistances[limit] / 1000) + " m " + FormatFixed(hours, 1) + "Hr ";
    return head + (s.clearance >= 0 ? "余裕 " : "超過 ") +
           FormatFixed(std::abs(s.clearance) / 1000, 3) + " m";
}

// A TEXT in a colour of its own: 62 colour, 10 20 insertion point, 40 height, 1 text, 41 0.8.
void WriteText(DxfWriter& w, const std::string& layer, int colour, double x, double y,
               const std::string& height, const std::string& text) {
    w.Start("TEXT", layer)
        .Group(62, colour)
        .Group(10, x)
        .Group(20, y)
        .Group(40, height)
        .Group(1, text)
        .Add(" 41\r\n0.8");
}

void WriteKiseiDiagram(DxfList& dxf, const TKiseiRun& k, const std::string& layer, double h,
                       const std::string& textHeight, double kitaDeg) {
    StartDxfFile(dxf);
    DxfWriter w(dxf);
    for (const std::array<TKyoukaiLine, 2>& site : k.sites.lines) {
        for (std::size_t j = 0; j < 2; ++j) {
            TDxfPolyline head;
            head.colour = kLimitColour[j];
            head.hidden = kLimitDashed[j];
            WriteKyoukaiLine(dxf, site[j], layer, head);
        }
    }
    for (int i = 0; i < 2; ++i) {
        const TKiseiLimitResult& l = k.result.limits[static_cast<std::size_t>(i)];
        const int colour = kLimitColour[i];
        for (const std::vector<TAcadPoint>& o : l.outlines) {
            TDxfPolyline head;
            head.colour = colour;
            head.hidden = kLimitDashed[i];
            head.elevation = k.params.takasa;
            w.Polyline(layer, head);
            for (const TAcadPoint& v : o) w.Vertex(layer, v.x, v.y);
            w.SeqEnd();
            const TAcadPoint at = ToujiLabelPoint(o, kitaDeg);
            WriteText(w, layer, colour, at.x, at.y, textHeight, FormatFixed(l.hours, 1) + "Hr");
        }
        if (!l.tightest) continue;
        const TKiseiSpot& s = *l.tightest;
        TDxfLineStyle style;
        style.colour = colour;
        w.Line(layer, s.outline.x, s.outline.y, s.line.x, s.line.y, style);
        w.Start("CIRCLE", layer)
            .Group(62, colour)
            .Group(10, s.outline.x)
            .Group(20, s.outline.y)
            .Group(30, 0.0)
            .Group(40, 2 * h);
        WriteText(w, layer, colour, s.outline.x + 2 * h, s.outline.y + h, textHeight,
                  SpotText(i, l.hours, s));
    }
}

}  // namespace

void Controller::KiseiCheck(const TKiseiRequest& request) {
    lastInsert_ = {};
    lastKisei_ = {};
    TKiseiRun& k = lastKisei_;
    k.request = request;
    if (ws.AryTatemono.empty()) {
        k.status = KiseiStatus::NoModel;
        ui_.MessageBox(kApplicationTitle, kNoModel);
        return;
    }
    // The inputs are converted before any CAD work, so a bad text changes nothing.
    SetTaiyouParams();
    TKiseiParams& p = k.params;
    p.kaisi = sun.GB_kaisi;
    p.owari = sun.GB_owari;
    p.takasa = request.planeM ? *request.planeM * 1000 : sun.GB_takasa;
    p.stepSeconds =
        request.tenth ? std::max(1, form.HyoukaTimeTable[0] / 10) : form.HyoukaTimeTable[0];
    p.meshSize = form.MeshSizeTable[0];
    const double textH = ParseDouble(form.Edit38).value_or(300);
    if (!(request.hours5 > 0) || !(request.hours10 > 0)) {
        ui_.MessageBox(kApplicationTitle, kBadHours);
        return;
    }
    if (!(p.owari > p.kaisi)) {
        ui_.MessageBox(kApplicationTitle, kBadPeriod);
        return;
    }
    // Times outside the day would sample for ever.
    if (const auto refusal = DiagramTimesRefusal(p.kaisi, p.owari, std::nullopt, true)) {
        RefuseSettings(*refusal);
        return;
    }
    FormRun run(*this);
    RunScoped(TScopeOptions().Undo().Regen().Run(&form.Button7), [&](CommandScope& scope) {
        Application* app = &scope.App();
        Document* doc = &scope.Doc();
        if (PickSiteSegments(*doc) == 0) {
            k.status = KiseiStatus::NoSite;
            ui_.MessageBox(kApplicationTitle, kNoSite);
        } else {
            DxfList unused;
            k.sites = zuka::MakeKyoukaisen(ws, unused, run);
            if (k.sites.status == KyoukaisenStatus::Stopped) {
                k.status = KiseiStatus::Stopped;
            } else if (k.sites.status != KyoukaisenStatus::Drawn) {
                k.status = KiseiStatus::SiteFailed;
                doc->Utility().Prompt(kSiteFailed);
            }
        }
        if (k.status == KiseiStatus::NotRun) {
            std::array<TKiseiLimit, 2> limits{TKiseiLimit{request.hours5, {}},
                                              TKiseiLimit{request.hours10, {}}};
            for (const std::array<TKyoukaiLine, 2>& site : k.sites.lines)
                for (std::size_t j = 0; j < 2; ++j)
                    limits[j].lines.push_back(KyoukaiPolygon(site[j], kLineSagitta));

            k.result = CheckKisei(ws.AryTatemono, sun, limits, p, toujiGrid_, run);
            if (request.headroom && k.result.Decided()) {
                // A stopped run answers at once, so the search ends in a few empty steps.
                const auto holds = [&](const std::vector<TLineEnt>& walls) {
                    if (run.StopRequested()) return false;
                    return CheckKisei(walls, sun, limits, p, toujiGrid_, run).Holds();
                };
                for (std::vector<std::size_t>& b : KiseiBuildings(ws.AryTatemono)) {
                    if (run.StopRequested()) break;
                    TKiseiBuildingRoom room;
                    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
                    for (std::size_t i : b) {
                        for (const TAcadPoint& q : {ws.AryTatemono[i].st, ws.AryTatemono[i].ed}) {
                            x0 = std::min(x0, q.x);
                            y0 = std::min(y0, q.y);
                            x1 = std::max(x1, q.x);
                            y1 = std::max(y1, q.y);
                            room.zmaxM = std::max(room.zmaxM, q.z / 1000);
                        }
                    }
                    room.centre = {(x0 + x1) / 2, (y0 + y1) / 2, 0};
                    room.room =
                        KiseiHeadroom(ws.AryTatemono, b, p.takasa, k.result.Holds(), 100, holds);
                    room.walls = std::move(b);
                    k.headroom.push_back(std::move(room));
                }
            }
            const bool stopped = k.result.stopped || run.StopRequested() || !form.RunFlag;
            run.SetProgressPosition(0);
            if (stopped) {
                k.status = KiseiStatus::Stopped;
                k.headroom.clear();
            } else if (!k.result.Decided()) {
                k.status = KiseiStatus::Undecided;
                ui_.MessageBox(kApplicationTitle, kUndecided);
            } else {
                k.status = KiseiStatus::Checked;
            }
        }
        if (k.status == KiseiStatus::Checked && request.draw) {
            EnsureHiddenLinetype(*cad_, *app, form.TargetProgID, CadUi());
            EnsureLayer(*app, form.Edit51);
            DxfList dxf;
            WriteKiseiDiagram(dxf, k, form.Edit51, textH > 0 ? textH : 300, form.Edit38,
                              sun.GB_kita);
            const int first = doc->ModelSpace().Count();
            lastInsert_ = InsertDxfBlock(dxf, {*cad_, *app, *doc, form.TargetProgID},
                                         {workDir_, DxfEncoding::Cp932}, CadUi(),
                                         InsertVariant::ExplodedOrigin);
            if (lastInsert_.status == InsertStatus::NotSaved)
                ReportNotSaved(lastInsert_.file, lastInsert_.why);
            LeaveCalcRecord(*app, *doc, RunKind::Check, first);
        }
    });
}

}  // namespace zuka

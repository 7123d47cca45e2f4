// The regulation check of the equal-time shadows as a command: the site picked as 境界線作成
// picks it, its 5 m and 10 m deemed lines, then the check, the headroom and the drawing of
// shadow/kisei, inserted into the drawing.
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
            if (request.headroom && k.result.Decided())
                k.headroom = KiseiHeadrooms(ws.AryTatemono, sun, limits, p, k.result.Holds(),
                                            toujiGrid_, run);
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
            WriteKiseiDiagram(dxf, k.sites.lines, k.result, k.params.takasa, form.Edit51,
                              textH > 0 ? textH : 300, form.Edit38, sun.GB_kita);
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

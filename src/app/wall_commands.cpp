// The wall command of the page "等時間": 壁面/壁面等時間 (Button5).
#include <optional>
#include <variant>

#include "app/controller.h"
#include "app/settings_table.h"
#include "base/number.h"
#include "geom/primitives.h"
#include "shadow/equal_time.h"
#include "shadow/kabe.h"
#include "shadow/kabe_labels.h"
#include "shadow/time_of_day.h"

namespace zuka {
namespace {

constexpr char kWallPrompt[] = "壁面の線分を選択して下さい : ";
constexpr char kPickFailed[] = "線分取得失敗\r\n";
constexpr char kLinePicked[] = "線分が選択されました.\r\n";
constexpr char kNotExploded[] = " の分解、パージに失敗しました．";
// Refusals and reports of this program's own, where the window would otherwise loop or drop
// the drawing without a word.
constexpr char kNoToujiOnWall[] =
    "壁面等時間の輪郭は壁面にかかりませんでした．壁面の枠と時刻日影のみ作図します．";

constexpr char kSnapMode[] = "SNAPMODE";
constexpr char kLineEntity[] = "AcDbLine";

}  // namespace

TKabeParams Controller::ReadKabeParams() {
    SetTaiyouParams();
    TKabeParams p;
    p.kaisi = sun.GB_kaisi;
    p.owari = sun.GB_owari;
    p.kankaku = StrToFloat(form.Edit11, SettingName("Jikoku", "kankaku"));
    p.textTakasa = StrToFloat(form.Edit38, SettingName("Common", "takasa2"));
    p.onWall = form.CheckBox4;
    p.wakuLayer = form.Edit30;
    p.jikokuLayer = form.Edit31;
    p.toujiLayer = form.Edit29;
    p.textHeight = form.Edit38;
    p.hyoukaIdx = form.RadioGroup6;
    p.smoothK = form.UpDown5;
    p.meshSizes = form.MeshSizeTable;
    p.hyoukaTimes = form.HyoukaTimeTable;
    return p;
}

void Controller::Button5Click() {
    form.PipelineProgress = false;
    Application* app = RunningCad();
    if (!app) return;
    const TKabeParams p = ReadKabeParams();
    // Times or a step that would loop for minutes, and an equal-time step not chosen.
    std::optional<std::string> refusal = DiagramTimesRefusal(p.kaisi, p.owari, p.kankaku, false);
    if (!refusal) refusal = HyoukaRefusal("kankaku3", form.RadioGroup6);
    if (refusal) {
        RefuseSettings(*refusal);
        return;
    }
    lastInsert_ = {};
    RunScoped(TScopeOptions().Undo().Regen(), [&](CommandScope& scope) {
        ui_.MinimiseMainWindow();
        const std::optional<TLineEnt> line = PickKabeLine(scope.Doc());
        if (line) {
            ws.AryLine.assign(1, *line);
            ws.ClearAryEnt();
            if (const std::optional<TLineEnt> kabe =
                    MakeKabeSen(*line, ws.AryTatemono, ws.gbzmax)) {
                KabeSen = *kabe;
                DrawKabe(scope.App(), scope.Doc(), p);
            }
        }
    });
    ui_.RestoreMainWindow();
}

std::optional<TLineEnt> Controller::PickKabeLine(Document& doc) {
    const CadValue snap = doc.GetVariable(kSnapMode);
    doc.SetVariable(kSnapMode, 0);
    EntityPtr picked;
    TAcadPoint at;
    try {
        doc.Utility().GetEntity(picked, at, kWallPrompt);
    } catch (const AutomationError&) {
        picked = nullptr;
        doc.Utility().Prompt(kPickFailed);
    }
    const int* was = std::get_if<int>(&snap);
    if (was && *was == 1) doc.SetVariable(kSnapMode, 1);
    if (!picked) return std::nullopt;
    ui_.RestoreMainWindow();
    if (picked->EntityName() != kLineEntity) return std::nullopt;
    doc.Utility().Prompt(kLinePicked);
    TLineEnt line;
    line.st = picked->StartPoint();
    line.ed = picked->EndPoint();
    line.atumi = picked->Thickness();
    return line;
}

void Controller::DrawKabe(Application& app, Document& doc, const TKabeParams& p) {
    lastKabeMesh_ = {};
    EnsureHiddenLinetype(*cad_, app, form.TargetProgID, CadUi());
    EnsureLayer(app, form.Edit30);
    EnsureLayer(app, form.Edit29);
    EnsureLayer(app, form.Edit31);
    DxfList dxf;
    StartDxfFile(dxf);

    // One run for both stages: the flag is set once, so a stop during the first holds.
    std::optional<CommandScope> running(std::in_place, *this, nullptr,
                                        TScopeOptions().Run(&form.Button7));
    FormRun run(*this);
    const TKabeLineResult line = DrawKabeLine(ws, sun, KabeSen, p, dxf, run);
    if (!line.skipped.empty()) ui_.MessageBox(kApplicationTitle, OutOfRangeNote(line.skipped));
    bool stopped = line.stopped;
    TKabeToujiResult touji;
    if (!stopped) {
        TKabeToujiUi tui;
        tui.status = [this](const std::string& text) { form.Label26 = text; };
        tui.meshNote = [this](const std::string& text) { form.Label24 = text; };
        tui.message = [this](const std::string& title, const std::string& text) {
            ui_.MessageBox(title, text);
        };
        touji = DrawKabeTouji(ws.AryTatemono, sun, KabeSen, p, toujiGrid_, dxf, run, tui);
        stopped = touji.stopped;
        lastKabeMesh_ = touji.noMesh ? TKabeMesh{} : TKabeMesh{touji.meshSize, touji.mesh};
        if (!touji.skipped.empty()) ui_.MessageBox(kApplicationTitle, NoSunNote(touji.skipped));
    }
    run.SetProgressPosition(0);
    stopped = stopped || !form.RunFlag;
    running.reset();  // the run is over: its flag and buttons as they were
    if (stopped) return;
    // The frame and the time-of-day shadows stand on their own when no equal-time outline
    // reached the wall.
    if (!touji.noMesh && touji.chains == 0) ui_.MessageBox(kApplicationTitle, kNoToujiOnWall);
    SpreadKabeLabels(dxf);

    const TCadTarget target{*cad_, app, doc, form.TargetProgID};
    const TDxfOutput out{workDir_, DxfEncoding::Cp932};
    const int first = doc.ModelSpace().Count();
    if (form.CheckBox4) {
        // Along the wall line: the elevation's x axis from st towards ed.
        const double rotDeg = Angle2P(KabeSen.st, KabeSen.ed) * kRadToDeg;
        lastInsert_ = InsertDxfBlock(
            dxf, target, out, CadUi(),
            form.CheckBox12 ? InsertVariant::BlockAtPoint : InsertVariant::ExplodedAtPoint,
            KabeSen.st, rotDeg);
    } else {
        lastInsert_ = InsertDxfBlock(
            dxf, target, out, CadUi(),
            form.CheckBox12 ? InsertVariant::PlacedWallBlock : InsertVariant::PlacedWall);
        if (lastInsert_.status == InsertStatus::NotExploded)
            ui_.MessageBox(kApplicationTitle, lastInsert_.blockName + kNotExploded);
    }
    if (lastInsert_.status == InsertStatus::NotSaved)
        ReportNotSaved(lastInsert_.file, lastInsert_.why);
    LeaveCalcRecord(app, doc, RunKind::Walls, first);
}

}  // namespace zuka

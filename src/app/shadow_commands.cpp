// The shadow diagrams' commands on the page " 時刻" and "等時間": 時刻, ｱﾆﾒ, 2点指示, 等時間日影
// and the mesh-size preview.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "app/controller.h"
#include "app/settings_table.h"
#include "base/number.h"
#include "base/platform.h"
#include "geom/acquisition.h"
#include "geom/primitives.h"
#include "shadow/equal_time.h"
#include "shadow/time_of_day.h"

namespace zuka {
namespace {

constexpr char kAnimeNotSupported[] = "[アニメ]には対応していません．";
constexpr char kNorthPrompt[] = "真北の方向（角度）を指示 : ";
constexpr char kNorthEcho[] = "指示された角度 : ";
constexpr char kNoModel[] = "基準データが作成されていません．";
constexpr char kNoCad[] = "有効な CAD が見つかりません．";
// Refusals and reports of this program's own, where the window would otherwise loop, draw
// nothing or fail without a word.
constexpr char kBadStep[] =
    "間隔 (時刻日影図) (Jikoku.kankaku) は 0 より大きく、時刻が 10000 "
    "を超えない間隔にしてください: ";
constexpr char kEndBeforeStart[] = "時刻 (終了) (Jikoku.owari) は 時刻 (開始) (Jikoku.kaishi) ";
constexpr char kNotBefore[] = "以降にしてください: ";
constexpr char kAfter[] = "より後にしてください: ";
constexpr char kNothingStands[] = " m (Common.takasa) より高い建物がないため、日影はできません．";
constexpr char kNothingStandsPrefix[] = "測定面の高さ ";
constexpr char kNotSaved[] = "図面ファイルを保存できませんでした : ";
constexpr char kCadError[] = "CAD との通信に失敗しました : ";

// The most times one time-of-day diagram draws: a day at steps of under ten seconds.
constexpr double kMaxZukaTimes = 10000;

// The refusal of a value outside its setting's range, or nothing.
std::optional<std::string> RangeRefusal(std::string_view section, std::string_view key, double v,
                                        const std::string& text) {
    const TSettingInfo& s = *FindSetting(section, key);
    if (InSettingRange(s, v)) return std::nullopt;
    return SettingRefusal(s, text);
}

}  // namespace

std::string Controller::NothingStandsMessage() const {
    return kNothingStandsPrefix + form.Edit4 + kNothingStands;
}

std::optional<std::string> Controller::DiagramTimesRefusal(double kaisi, double owari,
                                                           std::optional<double> step,
                                                           bool strict) const {
    if (auto r = RangeRefusal("Jikoku", "kaishi", kaisi, form.Edit2)) return r;
    if (auto r = RangeRefusal("Jikoku", "owari", owari, form.Edit7)) return r;
    if (owari < kaisi || (strict && owari == kaisi))
        return kEndBeforeStart + std::string(strict ? kAfter : kNotBefore) + form.Edit2 + " ～ " +
               form.Edit7;
    if (step && !(*step > 0 && std::floor((owari - kaisi) / *step) + 1 <= kMaxZukaTimes))
        return kBadStep + form.Edit11;
    return std::nullopt;
}

std::optional<std::string> Controller::HyoukaRefusal(std::string_view key, int index) const {
    return RangeRefusal("Touji", key, index, std::to_string(index));
}

void Controller::RefuseSettings(const std::string& message) {
    settingsRefused_ = true;
    ui_.MessageBox(kApplicationTitle, message);
}

struct Controller::TToujiInputs {
    TToujiParams p;
};

void Controller::FormRun::SetProgressMax(int max) {
    c_.form.ProgressBar1.Max = max;
    c_.ui_.SetProgressMax(max);
}

void Controller::FormRun::SetProgressPosition(int pos) {
    c_.form.ProgressBar1.Position = pos;
    c_.ui_.SetProgressPosition(pos);
}

Application* Controller::RunningCad() {
    if (!cad_ || !IsCadRunning(*cad_, form.TargetProgID)) return nullptr;
    return cad_->GetActiveObject(form.TargetProgID);
}

void Controller::ReportCadError(const AutomationError& e) {
    ui_.MessageBox(kApplicationTitle, kCadError + std::string(e.what()));
}

void Controller::ReportNotSaved(const std::filesystem::path& file, const std::string& why) {
    ui_.MessageBox(kApplicationTitle, kNotSaved + PathToUtf8(file) + (why.empty() ? "" : "\n" + why));
}

TCadUi Controller::CadUi() {
    TCadUi u;
    u.title = kApplicationTitle;
    u.messageBox = [this](const std::string& title, const std::string& text) {
        ui_.MessageBox(title, text);
    };
    u.minimiseMainWindow = [this] { ui_.MinimiseMainWindow(); };
    u.restoreMainWindow = [this] { ui_.RestoreMainWindow(); };
    u.placing = [this](const std::string& what) { ui_.Placing(what); };
    return u;
}

void Controller::Button3Click() {
    lastInsert_ = {};  // a refused run leaves nothing behind that looks drawn
    form.PipelineProgress = false;
    if (ws.AryTatemono.empty()) {
        // No model, or the drawing it came from was replaced: 取得 first.
        ui_.MessageBox(kApplicationTitle, kNoModel);
        return;
    }
    if (!RunningCad()) return;
    DrawZukaLine(false);
}

void Controller::DrawZukaLine(bool /*animeFlag*/) {
    // The inputs are converted before anything is drawn, so a bad text changes nothing.
    SetTaiyouParams();
    TZukaParams p;
    p.kaisi = sun.GB_kaisi;
    p.owari = sun.GB_owari;
    p.kankaku = StrToFloat(form.Edit11, SettingName("Jikoku", "kankaku"));
    p.takasa = sun.GB_takasa;
    p.kitaDeg = sun.GB_kita;
    p.layer = form.Edit27;
    p.textHeight = form.Edit38;
    p.timeOnly = form.CheckBox11;
    if (const auto refusal = DiagramTimesRefusal(p.kaisi, p.owari, p.kankaku, false)) {
        RefuseSettings(*refusal);
        return;
    }
    if (WallsAbovePlane(ws.AryTatemono, p.takasa).empty()) {
        ui_.MessageBox(kApplicationTitle, NothingStandsMessage());
        return;
    }
    lastInsert_ = {};
    FormRun run(*this);
    RunScoped(TScopeOptions().Undo().Regen().Run(&form.Button10), [&](CommandScope& scope) {
        Application& app = scope.App();
        EnsureHiddenLinetype(*cad_, app, form.TargetProgID, CadUi());
        EnsureLayer(app, form.Edit27);
        DxfList dxf;
        StartDxfFile(dxf);
        lastZuka_ = BuildZukaDiagram(ws, sun, p, dxf, run, [this](const std::string& text) {
            ui_.MessageBox(kApplicationTitle, text);
        });
        const TZukaResult& r = lastZuka_;
        run.SetProgressPosition(form.ProgressBar1.Max);
        Document& doc = scope.Doc();
        if (form.RunFlag && !r.stopped) {
            const int first = doc.ModelSpace().Count();
            lastInsert_ = InsertDxfBlock(dxf, {*cad_, app, doc, form.TargetProgID},
                                         {workDir_, DxfEncoding::Cp932}, CadUi(),
                                         InsertVariant::ExplodedOrigin);
            if (lastInsert_.status == InsertStatus::NotSaved)
                ReportNotSaved(lastInsert_.file, lastInsert_.why);
            LeaveCalcRecord(app, doc, RunKind::TimeOfDay, first);
        }
    });
    run.SetProgressPosition(0);
}

void Controller::Button17Click() { ui_.MessageBox(kApplicationTitle, kAnimeNotSupported); }

void Controller::SpeedButton1Click() {
    RunScoped({}, [&](CommandScope& scope) {
        Document& doc = scope.Doc();
        doc.SetVariable("BLIPMODE", 1);
        ws.AryTempPoint.clear();
        ui_.MinimiseMainWindow();
        try {
            const double angle = doc.Utility().GetAngle(std::nullopt, kNorthPrompt);
            form.Edit12 = FormatFixed(angle * 180 / kPi, 4);
            doc.Utility().Prompt(kNorthEcho + form.Edit12 + "\r\n");
        } catch (const AutomationError&) {
            // Cancelled: true north stays as it was.
        }
        doc.SetVariable("BLIPMODE", 0);
        ws.AryTempPoint.clear();
        ui_.RestoreMainWindow();
    });
}

Controller::TToujiInputs Controller::ReadToujiInputs() {
    SetTaiyouParams();
    TToujiInputs in;
    TToujiParams& p = in.p;
    p.kaisi = sun.GB_kaisi;
    p.owari = sun.GB_owari;
    p.takasa = sun.GB_takasa;
    p.kitaDeg = sun.GB_kita;
    p.hyoukaIdx = form.RadioGroup5;
    p.tenth = form.CheckBox2;
    std::copy(form.CheckListBox1.begin(), form.CheckListBox1.end(), p.hours.begin());
    p.smoothing = form.CheckBox8;
    p.smoothK = form.UpDown5;
    p.layer = form.Edit28;
    p.textHeight = form.Edit38;
    p.meshSizes = form.MeshSizeTable;
    p.hyoukaTimes = form.HyoukaTimeTable;
    return in;
}

void Controller::Button6Click() {
    lastInsert_ = {};  // a refused run leaves nothing behind that looks drawn
    form.Label2.clear();
    if (ws.AryTatemono.empty()) {
        ui_.MessageBox(kApplicationTitle, kNoModel);
        return;
    }
    if (!RunningCad()) {
        ui_.MessageBox(kApplicationTitle, kNoCad);
        return;
    }
    SetTaiyouParams();
    // With no step chosen the window would fall back on a step it does not offer.
    std::optional<std::string> refusal =
        DiagramTimesRefusal(sun.GB_kaisi, sun.GB_owari, std::nullopt, true);
    if (!refusal) refusal = HyoukaRefusal("kankaku2", form.RadioGroup5);
    if (refusal) {
        RefuseSettings(*refusal);
        return;
    }
    if (WallsAbovePlane(ws.AryTatemono, sun.GB_takasa).empty()) {
        ui_.MessageBox(kApplicationTitle, NothingStandsMessage());
        return;
    }
    DrawToujikan5A();
}

void Controller::DrawToujikan5A() {
    lastInsert_ = {};
    FormRun run(*this);
    RunScoped(TScopeOptions().Undo().Regen().Run(&form.Button7), [&](CommandScope& scope) {
        Application& app = scope.App();
        Document& doc = scope.Doc();
        EnsureLayer(app, form.Edit28);
        const TToujiInputs in = ReadToujiInputs();

        DxfList dxf;
        StartDxfFile(dxf);
        TToujiUi tui;
        tui.title = kApplicationTitle;
        tui.status = [this](const std::string& text) { form.Label2 = text; };
        tui.message = [this](const std::string& title, const std::string& text) {
            ui_.MessageBox(title, text);
        };
        lastTouji_ = BuildToujiDiagram(ws, sun, in.p, toujiGrid_, dxf, run, tui);
        const TToujiResult& r = lastTouji_;
        if (r.stopped || !form.RunFlag || r.outlines == 0) return;
        form.Label22 = "ﾒｯｼｭｻｲｽﾞ : " + FormatFixed(r.mesh, 1);
        const int first = doc.ModelSpace().Count();
        lastInsert_ = InsertDxfBlock(dxf, {*cad_, app, doc, form.TargetProgID},
                                     {workDir_, DxfEncoding::Cp932}, CadUi(),
                                     InsertVariant::ExplodedOriginEqualTime);
        if (lastInsert_.status == InsertStatus::NotSaved)
            ReportNotSaved(lastInsert_.file, lastInsert_.why);
        LeaveCalcRecord(app, doc, RunKind::EqualTime, first);
    });
}

void Controller::CheckListBox1Click() {
    // The preview counts into the grid an equal-time run may be using.
    if (!form.Button6.Enabled || form.CommandRunning) return;
    int first = -2;
    for (int i = 0; i < kToujiItemCount; ++i) {
        if (form.CheckListBox1[static_cast<std::size_t>(i)]) {
            first = i;
            break;
        }
    }
    if (first == form.GB_toujiidx && form.RadioGroup5 == form.GB_hyoukaidx) return;
    form.Label22.clear();
    form.Label2.clear();
    form.GB_toujiidx = first;
    form.GB_hyoukaidx = form.RadioGroup5;
    const TToujiInputs in = ReadToujiInputs();
    if (const auto refusal = DiagramTimesRefusal(in.p.kaisi, in.p.owari, std::nullopt, false)) {
        RefuseSettings(*refusal);
        return;
    }
    // No run is under way (RunFlag is off): only the window's messages pass.
    const TToujiExtent e = GetToujiHani(ws, sun, in.p, toujiGrid_, ui_);
    const double mesh = std::max(e.txmax - e.txmin, e.tymax - e.tymin) / ToujiMeshSize(in.p);
    form.Label22 = "ﾒｯｼｭｻｲｽﾞ : " + FormatFixed(mesh, 1);
}

}  // namespace zuka

#include "app/batch_run.h"

#include <algorithm>
#include <ostream>
#include <system_error>

#include "app/grid_export.h"
#include "app/height_override.h"
#include "app/settings_table.h"
#include "app/cad_selection.h"
#include "base/platform.h"
#include "cad/bridge.h"
#include "cad/host/selection_expr.h"
#include "cad/running_cad.h"
#include "solar/sun_date.h"

namespace zuka {

namespace {

constexpr char kStoppedMessage[] = "中止しました．図面には何も作図していません．\n";
// No CAD runs under the target CAD's ProgID, as the drawing commands say it.
constexpr char kNoCad[] = "有効な CAD が見つかりません．";

// What the shared options ask of the run, checked before the controller starts.
struct TRunOptions {
    std::vector<THeightOverride> heights;
    std::optional<TSunDate> date;
};

std::optional<TRunOptions> CheckRunOptions(const TBatchOptions& o, std::ostream& err) {
    TRunOptions r;
    for (const std::string& h : o.heights) {
        std::optional<THeightOverride> parsed = ParseHeightOverride(h);
        if (!parsed) {
            err << "--height は 画層=メートル または ハンドル=メートル の形で指定してください: "
                << h << "\n";
            return std::nullopt;
        }
        r.heights.push_back(*parsed);
    }
    if (!o.date.empty()) {
        r.date = ParseSunDate(o.date);
        if (!r.date) {
            err << "--date は YYYY-MM-DD の形の日付で指定してください: " << o.date << "\n";
            return std::nullopt;
        }
    }
    if (o.trueSolar != "on" && o.trueSolar != "off") {
        err << "--true-solar は on か off です: " << o.trueSolar << "\n";
        return std::nullopt;
    }
    return r;
}

}  // namespace

std::optional<TAcadPoint> ParseXY(const std::string& text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos) return std::nullopt;
    const std::optional<double> x = ParseDouble(text.substr(0, comma));
    const std::optional<double> y = ParseDouble(text.substr(comma + 1));
    if (!x || !y) return std::nullopt;
    return TAcadPoint{*x, *y, 0};
}

// --- The console ---------------------------------------------------------------------------

void ConsoleUiHost::MessageBox(const std::string& title, const std::string& text) {
    EndBar();
    err_ << "[" << title << "] " << text << "\n";
}

void ConsoleUiHost::SetProgressPosition(int pos) {
    if (!showBar_ || max_ <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (pos != 0 && pos < max_ && now - shown_ < std::chrono::milliseconds(100)) return;
    shown_ = now;
    const int width = 30;
    const int filled = std::clamp(pos * width / max_, 0, width);
    err_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(width - filled), '.') << "] "
         << (label_ ? label_() : std::string()) << "\x1b[K" << std::flush;
    barShown_ = true;
}

void ConsoleUiHost::EndBar() {
    if (!barShown_) return;
    err_ << "\r\x1b[K" << std::flush;
    barShown_ = false;
}

// --- The settings --------------------------------------------------------------------------

std::optional<TSetting> ParseSetOption(const std::string& text) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) return std::nullopt;
    const std::string name = text.substr(0, eq);
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 >= name.size()) return std::nullopt;
    return TSetting{name.substr(0, dot), name.substr(dot + 1), text.substr(eq + 1)};
}

std::optional<IniFile> ReadRunSettings(const WorkFolder& folder, const std::string& iniFile,
                                       const std::vector<std::string>& sets, std::ostream& err) {
    IniFile ini;
    if (!iniFile.empty()) {
        std::error_code ec;
        if (std::filesystem::is_directory(iniFile, ec)) {
            err << "--ini にはフォルダーではなく設定ファイルを指定してください: " << iniFile
                << "\n";
            return std::nullopt;
        }
        if (!std::filesystem::exists(iniFile, ec)) {
            err << "--ini の設定ファイルがありません: " << iniFile << "\n";
            return std::nullopt;
        }
        if (!ini.LoadFile(PathFromUtf8(iniFile))) {
            err << "--ini の設定ファイルを読めません (読む権限がないか、UTF-8 でも CP932 でも"
                   "ありません): "
                << iniFile << "\n";
            return std::nullopt;
        }
    } else {
        ini = LoadSettingsFile(folder);
    }
    for (const std::string& s : sets) {
        std::optional<TSetting> set = ParseSetOption(s);
        if (!set) {
            err << "--set には Section.Key=Value の形で指定してください: " << s << "\n";
            return std::nullopt;
        }
        if (const auto refusal = CheckSetOption(set->section, set->key, set->value)) {
            err << *refusal << "\n";
            return std::nullopt;
        }
        ini.WriteString(set->section, set->key, set->value);
    }
    return ini;
}

// --- The run's steps -----------------------------------------------------------------------

int BatchRun::ReportStopped() {
    err << kStoppedMessage;
    return kExitFailed;
}

BatchRun::~BatchRun() {
    if (filter_.Registered()) filter_.RevokeFilter();
}

bool BatchRun::OpenCad() {
    cad_ = RunningCadConnector();
    if (!cad_) {
        err << "--cad は Windows でだけ使えます (CAD の自動操作で動く CAD のそばで使います)．\n";
        return false;
    }
    if (!o.cadProgId.empty()) c.form.TargetProgID = o.cadProgId;
    const std::string& progId = c.form.TargetProgID;
    try {
        if (!IsCadRunning(*cad_, progId)) {
            err << kNoCad << " (" << progId << ")\n";
            return false;
        }
    } catch (const AutomationError& e) {
        err << kNoCad << " (" << e.what() << ")\n";
        return false;
    }
    c.SetCadConnector(cad_.get());
    filter_.RegisterFilter();
    out << "CAD\t" << progId << "\n";
    return true;
}

Application& BatchRun::CadApplication() {
    Application* app = cad_->GetActiveObject(c.form.TargetProgID);
    if (!app) throw AutomationError(std::string(kNoCad));
    return *app;
}

void BatchRun::SelectBy(const std::string& expr) {
    if (OnRunningCad()) {
        std::string error;
        c.scriptedSelection = CadSelectionOf(expr, error);
        return;
    }
    drawing_->Connect(c);
    drawing_->Picks().PushSelection(expr);
}

bool BatchRun::Open(const std::string& drawing) {
    if (OnRunningCad()) return OpenCad();
    drawing_ = std::make_unique<DrawingSession>();
    drawing_->Host().SetStop(&console_.stop);
    std::string error;
    if (!drawing_->Open(PathFromUtf8(drawing), error)) {
        if (Stopped()) {
            ReportStopped();
        } else {
            err << error << "\n";
        }
        return false;
    }
    return true;
}

void BatchRun::EchoPrompts() {
    // The running CAD shows its prompts on its own command line.
    if (!drawing_) return;
    for (const std::string& p : drawing_->TakePrompts())
        if (!o.quiet || PromptReportsFailure(p)) err << "CAD: " << p << "\n";
}

bool BatchRun::Acquire() {
    if (OnRunningCad()) {
        // Without --buildings the user picks the buildings in the CAD.
        if (o.buildingsGiven) SelectBy(o.buildings);
        c.Button2Click();
        if (!c.ws.AryTatemono.empty()) return true;
        err << "建物の図形が選択されませんでした ("
            << (o.buildingsGiven ? "--buildings " + o.buildings : std::string("CAD で選択"))
            << ").\n";
        return false;
    }
    if (AcquireTatemono(c, *drawing_, o.buildings)) return true;
    EchoPrompts();
    err << "建物の図形が選択されませんでした (--buildings " << o.buildings << ").\n";
    return false;
}

std::optional<std::filesystem::path> BatchRun::OutputPath(const std::string& drawing) {
    if (OnRunningCad()) return std::filesystem::path();
    const std::filesystem::path file = ResultPath(PathFromUtf8(drawing), PathFromUtf8(o.output));
    if (IsInputDrawing(file, drawing)) {
        err << "入力の図面には上書きしません: " << PathToUtf8(file) << "\n";
        return std::nullopt;
    }
    return file;
}

std::optional<TDrawAt> BatchRun::DrawAt(const std::string& atText, const std::string& what,
                                        const std::string& drawing) {
    if (OnRunningCad()) {
        // The user places it in the CAD, as the window's command asks.
        if (RefuseUnusedOption({{"--at", !atText.empty()}},
                               "図面ファイルに作図する (--cad では置く位置を CAD で指定する) "))
            return std::nullopt;
        return TDrawAt{};
    }
    const std::optional<TAcadPoint> at = ParseXY(atText);
    if (!at) {
        err << "--at X,Y で" << what << "を指定してください: " << atText << "\n";
        return std::nullopt;
    }
    const std::optional<std::filesystem::path> file = OutputPath(drawing);
    if (!file) return std::nullopt;
    return TDrawAt{*at, *file};
}

bool BatchRun::RefuseUnusedOption(const std::vector<std::pair<const char*, bool>>& given,
                                  const std::string& use) {
    for (const auto& [option, isGiven] : given) {
        if (!isGiven) continue;
        err << option << " は" << use << "ときに使います．\n";
        return true;
    }
    return false;
}

bool BatchRun::WritePictures(const SvgPicture& pic) {
    if (Stopped() && (!o.svg.empty() || !o.png.empty())) {
        ReportStopped();
        return false;
    }
    if (!o.svg.empty()) {
        if (!pic.Save(PathFromUtf8(o.svg))) {
            err << "SVG を書けません: " << o.svg << "\n";
            return false;
        }
        out << "SVG\t" << o.svg << "\n";
    }
    if (!o.png.empty()) {
        if (!console_.png) {
            err << "この zuka は PNG を書けません (Qt なしで作られています): " << o.png << "\n";
            return false;
        }
        if (Stopped()) {
            ReportStopped();
            return false;
        }
        if (!console_.png(pic, o.png)) {
            err << "PNG を書けません: " << o.png << "\n";
            return false;
        }
        out << "PNG\t" << o.png << "\n";
    }
    return true;
}

bool BatchRun::WriteResultsJson(RunKind kind, const std::string& drawing, TResultsOptions ro) {
    if (o.json.empty()) return true;
    if (Stopped()) {
        ReportStopped();
        return false;
    }
    if (o.trueSolar == "off") ro.clock = ReadClockShift(c.form);
    const std::string name = PathToUtf8(PathFromUtf8(drawing).filename());
    if (!SaveResultsJson(PathFromUtf8(o.json), ResultsJson(c, kind, name, ro))) {
        err << "JSON を書けません: " << o.json << "\n";
        return false;
    }
    out << "JSON\t" << o.json << "\n";
    return true;
}

bool BatchRun::WriteGridCsv(const std::string& file, const TGridCells& grid) {
    if (Stopped()) {
        ReportStopped();
        return false;
    }
    if (!SaveGridCsv(PathFromUtf8(file), grid)) {
        err << "CSV を書けません: " << file << "\n";
        return false;
    }
    out << "CSV\t" << file << "\n";
    return true;
}

int BatchRun::SaveDrawing(const std::filesystem::path& file) {
    if (Stopped()) return ReportStopped();
    if (OnRunningCad()) {
        // The drawing is the CAD's: the user saves it there.
        out << "作図\t" << c.form.TargetProgID << " の図面 (保存は CAD で)\n";
        return kExitOk;
    }
    std::string error;
    if (!drawing_->Save(file, error, &console_.stop)) {
        if (Stopped()) return ReportStopped();
        err << error << "\n";
        return kExitFailed;
    }
    out << "保存\t" << PathToUtf8(file) << "\n";
    return kExitOk;
}

int BatchRun::SaveResult(const std::filesystem::path& file, bool entityColours) {
    if (const int status = SaveDrawing(file); status != kExitOk) return status;
    if (o.svg.empty() && o.png.empty()) return kExitOk;
    if (!drawing_) return kExitOk;
    return WritePictures(drawing_->Picture(PathToUtf8(file.filename()), entityColours)) ? kExitOk
                                                                                     : kExitFailed;
}

bool BatchRun::DrawingOrCad(const std::string& drawing, const char* option,
                            const std::string& expr) {
    if (!OnRunningCad()) {
        if (!drawing.empty()) return true;
        err << "図面 (DRAWING) か --cad を指定してください．\n";
        return false;
    }
    std::string error;
    if (option == nullptr || expr.empty() || CadSelectionOf(expr, error)) return true;
    err << option << " " << expr << ": " << error << "\n";
    return false;
}

int BatchRun::RunDiagram(const std::string& drawing, TDiagramCommand cmd, RunKind kind,
                         const std::function<int()>& prepare) {
    if (!DrawingOrCad(drawing)) return kExitUsage;
    const std::optional<std::filesystem::path> file = OutputPath(drawing);
    if (!file) return kExitUsage;
    if (!Open(drawing)) return kExitFailed;
    if (!Acquire()) return kExitFailed;
    if (prepare) {
        const int status = prepare();
        if (status != kExitOk) return status;
    }
    DiagramRun run(c, std::move(cmd));
    ui.SetOnStop([&run] { run.Stop(); });
    ui.SetLabel([&run] { return run.ProgressText(); });
    const DiagramEnd end = run.Run();
    ui.EndBar();
    EchoPrompts();
    if (Stopped() || end == DiagramEnd::Stopped) return ReportStopped();
    if (end != DiagramEnd::Drawn) {
        if (!c.SettingsRefused()) err << run.NothingDrawn() << "\n";
        return kExitFailed;
    }
    out << run.Summary();
    if (!WriteResultsJson(kind, drawing)) return kExitFailed;
    return SaveResult(*file);
}

int BatchRun::PlaceTable(const TDrawAt& at, const std::function<void()>& command,
                         const std::string& what) {
    if (drawing_) drawing_->Picks().PushPoint(at.at);
    command();
    EchoPrompts();
    const TInsertResult& ins = c.LastInsert();
    if (ins.status != InsertStatus::Placed) {
        err << what << "を作図できませんでした．\n";
        return kExitFailed;
    }
    out << what << "\t" << ins.blockName << "\n";
    return SaveResult(at.out);
}

// --- The run -------------------------------------------------------------------------------

int RunBatch(const TBatchOptions& o, const std::filesystem::path& exeDir,
             const TBatchConsole& console, const BatchCommand& command) {
    std::ostream& err = console.err;
    std::string exprError;
    if (!ParseSelectionExpr(o.buildings, exprError)) {
        err << "--buildings " << o.buildings << ": " << exprError << "\n";
        return kExitUsage;
    }
    const std::optional<WorkFolder> folder = ResolveWorkFolder(exeDir, PathFromUtf8(o.workdir));
    if (!folder) {
        err << "作業フォルダーを用意できません: "
            << (o.workdir.empty() ? PathToUtf8(FallbackFolder()) : o.workdir) << "\n";
        return kExitFailed;
    }
    if (o.cad) {
        if (o.buildingsGiven && !CadSelectionOf(o.buildings, exprError)) {
            err << "--buildings " << o.buildings << ": " << exprError << "\n";
            return kExitUsage;
        }
        // The drawing is the CAD's: no file to save, no picture of it.
        const bool ofDrawing = o.picturesOfTheDrawing;
        for (const auto& [option, given] :
             {std::pair{"-o", !o.output.empty()}, std::pair{"--svg", ofDrawing && !o.svg.empty()},
              std::pair{"--png", ofDrawing && !o.png.empty()}}) {
            if (!given) continue;
            err << option
                << " は図面ファイルで作図するときに使います (--cad では CAD の図面に作図します)．\n";
            return kExitUsage;
        }
    }
    const std::optional<TRunOptions> runOptions = CheckRunOptions(o, err);
    if (!runOptions) return kExitUsage;
    const std::optional<IniFile> settings = ReadRunSettings(*folder, o.ini, o.sets, err);
    if (!settings) return kExitUsage;

    ConsoleUiHost ui(err, console.terminal && !o.quiet, console.stop);
    Controller c(ui, folder->dir);
    BatchRun run(c, ui, o, console);
    try {
        c.FormCreate(*settings);
        if (runOptions->date) c.SetSunDate(*runOptions->date);
        c.heightOverrides = runOptions->heights;
        c.leaveRecord = !o.noRecord;
        const int ran = command(run);
        // A setting the command could not work with (its message is out) is bad usage too.
        return c.SettingsRefused() ? kExitUsage : ran;
    } catch (const ConvertError& e) {
        // A setting or a value that is no number, or one no command can work with.
        err << e.what() << "\n";
        return kExitUsage;
    }
}

}  // namespace zuka

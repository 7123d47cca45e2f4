#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/acquisition_listing.h"
#include "app/controller.h"
#include "app/diagram_run.h"
#include "app/drawing_session.h"
#include "app/grid_export.h"
#include "app/ini_file.h"
#include "app/kisei_report.h"
#include "app/point_run.h"
#include "app/readouts.h"
#include "app/results_json.h"
#include "app/settings.h"
#include "app/settings_table.h"
#include "app/waku_picture.h"
#include "picture/svg_picture.h"
#ifdef ZUKA_HAVE_PNG
#include "picture/png_picture.h"
#endif
#include "app/work_folder.h"
#include "base/number.h"
#include "base/platform.h"
#include "cad/host/selection_expr.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Message boxes and progress on stderr: the command line's window.
// Set by Ctrl-C; the message pump of a long run sees it as a click on 中止.
// On Windows the console's handler runs on a thread of its own, hence atomic.
std::atomic<int> gInterrupted = 0;

void OnInterrupt() { gInterrupted = 1; }

// Ctrl-C alone, as the saving at the end of a run asks it: a stopped save leaves no file.
class Interruption : public RunContext {
public:
    bool StopRequested() const override { return gInterrupted != 0; }
};
const Interruption kInterruption;

// After Ctrl-C nothing more is written: the run ends with this message.
int ReportInterrupted(std::ostream& err) {
    err << "中止しました．図面には何も作図していません．\n";
    return kExitFailed;
}

// The command line's window: message boxes on stderr, a progress bar for long runs (with the
// run's progress label beside it), Ctrl-C as 中止.
class StderrUiHost : public UiHost {
public:
    // The bar is drawn only on a terminal; a log gets the messages alone.
    StderrUiHost(std::ostream& err, bool quiet)
        : err_(err), quiet_(quiet || !StderrIsTerminal()) {}
    void MessageBox(const std::string& title, const std::string& text) override {
        EndBar();
        err_ << "[" << title << "] " << text << "\n";
    }
    void SetProgressMax(int max) override { max_ = max; }
    void SetProgressPosition(int pos) override {
        if (quiet_ || max_ <= 0) return;
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
    bool StopRequested() const override { return gInterrupted != 0; }
    void ProcessMessages() override {
        if (gInterrupted && onStop_) onStop_();
    }
    void SetLabel(std::function<std::string()> label) { label_ = std::move(label); }
    void SetOnStop(std::function<void()> stop) { onStop_ = std::move(stop); }
    void EndBar() {
        if (!barShown_) return;
        err_ << "\r\x1b[K" << std::flush;
        barShown_ = false;
    }

private:
    std::ostream& err_;
    bool quiet_;
    int max_ = 0;
    bool barShown_ = false;
    std::chrono::steady_clock::time_point shown_{};
    std::function<std::string()> label_;
    std::function<void()> onStop_;
};

struct TCommonOptions {
    std::string buildings = "all";
    std::string svg;
    std::string png;
    std::string output;
    bool tenth = false;
    std::string ini;
    std::vector<std::string> sets;
    std::string workdir;
    bool quiet = false;
    std::vector<std::string> heights;  // --height KEY=METRES
    std::string date;                  // --date YYYY-MM-DD
    bool noRecord = false;             // --no-record
    std::string json;                  // --json FILE, of the commands that compute
    std::string trueSolar = "on";      // --true-solar on|off
};

// What the shared options ask of the run, checked before the controller starts.
struct TRunOptions {
    std::vector<THeightOverride> heights;
    std::optional<TSunDate> date;
    bool clockTimes = false;  // --true-solar off
};

std::optional<TRunOptions> CheckRunOptions(const TCommonOptions& o, std::ostream& err) {
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
    r.clockTimes = o.trueSolar == "off";
    return r;
}

// The first option given that the run, as asked, makes no use of, refused with what it is for:
// "<option> は<use>ときに使います"; false when none was given.
bool RefuseUnusedOption(const std::vector<std::pair<const char*, bool>>& given,
                        const std::string& use, std::ostream& err) {
    for (const auto& [option, isGiven] : given) {
        if (!isGiven) continue;
        err << option << " は" << use << "ときに使います．\n";
        return true;
    }
    return false;
}

// The results of the last run of `kind` as JSON into --json's file; the summary names it.
bool WriteResultsJson(const Controller& c, RunKind kind, const std::string& drawing,
                      const TCommonOptions& o, std::ostream& os, std::ostream& err,
                      TResultsOptions ro = {}) {
    if (o.json.empty()) return true;
    if (gInterrupted) {
        ReportInterrupted(err);
        return false;
    }
    if (o.trueSolar == "off") ro.clock = ReadClockShift(c.form);
    const std::string name = PathToUtf8(PathFromUtf8(drawing).filename());
    if (!SaveResultsJson(PathFromUtf8(o.json), ResultsJson(c, kind, name, ro))) {
        err << "JSON を書けません: " << o.json << "\n";
        return false;
    }
    os << "JSON\t" << o.json << "\n";
    return true;
}

struct TSetting {
    std::string section;
    std::string key;
    std::string value;
};

// "Section.Key=Value"; nullopt when the shape is wrong.
std::optional<TSetting> ParseSetOption(const std::string& text) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) return std::nullopt;
    const std::string name = text.substr(0, eq);
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 >= name.size()) return std::nullopt;
    return TSetting{name.substr(0, dot), name.substr(dot + 1), text.substr(eq + 1)};
}

// The settings in force for this run, as the window would read them: the work folder's file
// or --ini, then every --set. The file is never written by the command line.
struct TRunSettings {
    IniFile ini;
};

std::optional<TRunSettings> ReadRunSettings(const TCommonOptions& o, const WorkFolder& folder,
                                            std::ostream& err, int& status) {
    TRunSettings rs;
    if (!o.ini.empty()) {
        std::error_code ec;
        if (std::filesystem::is_directory(PathFromUtf8(o.ini), ec)) {
            err << "--ini にはフォルダーではなく設定ファイルを指定してください: " << o.ini << "\n";
            status = kExitUsage;
            return std::nullopt;
        }
        if (!std::filesystem::exists(PathFromUtf8(o.ini), ec)) {
            err << "--ini の設定ファイルがありません: " << o.ini << "\n";
            status = kExitUsage;
            return std::nullopt;
        }
        if (!rs.ini.LoadFile(PathFromUtf8(o.ini))) {
            err << "--ini の設定ファイルを読めません (読む権限がないか、UTF-8 でも CP932 でも"
                   "ありません): "
                << o.ini << "\n";
            status = kExitUsage;
            return std::nullopt;
        }
    } else {
        rs.ini.LoadFile(folder.SettingsPath());  // a missing file: every default applies
    }
    for (const std::string& s : o.sets) {
        std::optional<TSetting> set = ParseSetOption(s);
        if (!set) {
            err << "--set には Section.Key=Value の形で指定してください: " << s << "\n";
            status = kExitUsage;
            return std::nullopt;
        }
        if (const auto refusal = CheckSetOption(set->section, set->key, set->value)) {
            err << *refusal << "\n";
            status = kExitUsage;
            return std::nullopt;
        }
        rs.ini.WriteString(set->section, set->key, set->value);
    }
    return rs;
}

int RunSun(Controller& c, const std::string& hourText, std::ostream& out, std::ostream& err) {
    const std::optional<double> hour = ParseDouble(hourText);
    const std::optional<TReadoutRows> rows =
        hour ? SunReadout(c, *hour) : std::optional<TReadoutRows>();
    if (!rows) {
        err << "--hour は太陽位置の計算範囲 7.5～16.5 (時) の数で指定してください: "
            << QuotedValue(hourText) << "\n";
        return kExitUsage;
    }
    for (const auto& [label, value] : *rows) out << label << "\t" << value << "\n";
    return kExitOk;
}

int RunOutline(Controller& c, const std::string& path, std::ostream& out, std::ostream& err) {
    std::string error;
    std::optional<std::vector<TLineEnt>> segs = ReadSegmentFile(PathFromUtf8(path), error);
    if (!segs) {
        err << error << "\n";
        return kExitFailed;
    }
    const TOutlineTrace trace = TraceSegmentOutlines(c.ws, std::move(*segs));
    for (std::size_t i = 0; i < trace.outlines.size(); ++i) {
        if (i > 0) out << "\n";
        for (const TAcadPoint& p : trace.outlines[i])
            out << FormatGeneral(p.x) << " " << FormatGeneral(p.y) << "\n";
    }
    if (trace.end == OutlineLoopEnd::WalkFailed) {
        err << "輪郭の作成に失敗しました．(残りの線分 " << trace.leftover << " 本)\n";
        return kExitFailed;
    }
    if (trace.outlines.empty()) err << "閉じた輪郭はありません．\n";
    return kExitOk;
}

bool OpenDrawing(DrawingSession& d, const std::string& path, std::ostream& err) {
    // Ctrl-C also ends the reading of the drawing and of the block files the commands insert.
    d.Host().SetStop(&kInterruption);
    std::string error;
    if (!d.Open(PathFromUtf8(path), error)) {
        if (gInterrupted) {
            ReportInterrupted(err);
        } else {
            err << error << "\n";
        }
        return false;
    }
    return true;
}

// The CAD's command-line prompts of the run, echoed for the user; with --quiet only those that
// report a failure.
void EchoPrompts(DrawingSession& d, const TCommonOptions& o, std::ostream& err) {
    for (const std::string& p : d.TakePrompts())
        if (!o.quiet || PromptReportsFailure(p)) err << "CAD: " << p << "\n";
}

// 取得 with the entities that --buildings names; false (and a message) when none.
bool Acquire(Controller& c, DrawingSession& d, const TCommonOptions& o, std::ostream& err) {
    if (AcquireTatemono(c, d, o.buildings)) return true;
    EchoPrompts(d, o, err);
    err << "建物の図形が選択されませんでした (--buildings " << o.buildings << ").\n";
    return false;
}

// DRAWING-zuka.dxf beside the input unless -o names another file; never the input itself.
std::optional<std::filesystem::path> OutputPath(const std::string& drawing,
                                                const TCommonOptions& o, std::ostream& err) {
    const std::filesystem::path out = ResultPath(PathFromUtf8(drawing), PathFromUtf8(o.output));
    if (IsInputDrawing(out, PathFromUtf8(drawing))) {
        err << "入力の図面には上書きしません: " << PathToUtf8(out) << "\n";
        return std::nullopt;
    }
    return out;
}

// Writes the picture as SVG and as PNG where the options ask for them; the summary names them.
bool WritePictures(const SvgPicture& pic, const TCommonOptions& o, std::ostream& os,
                   std::ostream& err) {
    if (gInterrupted && (!o.svg.empty() || !o.png.empty())) {
        ReportInterrupted(err);
        return false;
    }
    if (!o.svg.empty()) {
        if (!pic.Save(PathFromUtf8(o.svg))) {
            err << "SVG を書けません: " << o.svg << "\n";
            return false;
        }
        os << "SVG\t" << o.svg << "\n";
    }
    if (!o.png.empty()) {
#ifdef ZUKA_HAVE_PNG
        if (gInterrupted) {
            ReportInterrupted(err);
            return false;
        }
        if (!SavePng(pic, PathFromUtf8(o.png))) {
            err << "PNG を書けません: " << o.png << "\n";
            return false;
        }
        os << "PNG\t" << o.png << "\n";
#else
        err << "この zuka は PNG を書けません (Qt なしで作られています): " << o.png << "\n";
        return false;
#endif
    }
    return true;
}

// Saves the result drawing; the summary names the file.
int SaveDrawing(DrawingSession& d, const std::filesystem::path& out, std::ostream& os,
                std::ostream& err) {
    if (gInterrupted) return ReportInterrupted(err);
    std::string error;
    if (!d.Save(out, error, &kInterruption)) {
        if (gInterrupted) return ReportInterrupted(err);
        err << error << "\n";
        return kExitFailed;
    }
    os << "保存\t" << PathToUtf8(out) << "\n";
    return kExitOk;
}

// Saves the result drawing and its pictures; the summary names the files. `entityColours`:
// results in their own colours (DrawPlot).
int SaveResult(DrawingSession& d, const std::filesystem::path& out, const TCommonOptions& o,
               std::ostream& os, std::ostream& err, bool entityColours = false) {
    if (const int status = SaveDrawing(d, out, os, err); status != kExitOk) return status;
    if (o.svg.empty() && o.png.empty()) return kExitOk;
    return WritePictures(d.Picture(PathToUtf8(out.filename()), entityColours), o, os, err)
               ? kExitOk
               : kExitFailed;
}

// Opens the drawing, acquires the buildings, runs the diagram and saves the drawing with it.
// `prepare`, when given, answers the command's own picks before it runs; an exit status other
// than kExitOk ends the run there.
int RunDiagram(Controller& c, StderrUiHost& ui, const std::string& drawing, const TCommonOptions& o,
               TDiagramCommand cmd, RunKind kind, std::ostream& os, std::ostream& err,
               const std::function<int(DrawingSession&)>& prepare = {}) {
    const std::optional<std::filesystem::path> out = OutputPath(drawing, o, err);
    if (!out) return kExitUsage;
    DrawingSession d;
    if (!OpenDrawing(d, drawing, err)) return kExitFailed;
    if (!Acquire(c, d, o, err)) return kExitFailed;
    if (prepare) {
        const int status = prepare(d);
        if (status != kExitOk) return status;
    }
    DiagramRun run(c, std::move(cmd));
    ui.SetOnStop([&run] { run.Stop(); });
    ui.SetLabel([&run] { return run.ProgressText(); });
    const DiagramEnd end = run.Run();
    ui.EndBar();
    EchoPrompts(d, o, err);
    if (gInterrupted || end == DiagramEnd::Stopped) return ReportInterrupted(err);
    if (end != DiagramEnd::Drawn) {
        if (!c.SettingsRefused()) err << run.NothingDrawn() << "\n";
        return kExitFailed;
    }
    os << run.Summary();
    if (!WriteResultsJson(c, kind, drawing, o, os, err)) return kExitFailed;
    return SaveResult(d, *out, o, os, err);
}

int RunTimeOfDay(Controller& c, StderrUiHost& ui, const std::string& drawing,
                 const TCommonOptions& o, std::ostream& os, std::ostream& err) {
    return RunDiagram(c, ui, drawing, o, TimeOfDayCommand(), RunKind::TimeOfDay, os, err);
}

int RunEqualTime(Controller& c, StderrUiHost& ui, const std::string& drawing,
                 const TCommonOptions& o, std::ostream& os, std::ostream& err) {
    c.form.CheckBox2 = o.tenth;
    return RunDiagram(c, ui, drawing, o, EqualTimeCommand(), RunKind::EqualTime, os, err);
}

int RunModel(Controller& c, const std::string& drawing, const TCommonOptions& o, std::ostream& out,
             std::ostream& err) {
    DrawingSession d;
    if (!OpenDrawing(d, drawing, err)) return kExitFailed;
    if (!Acquire(c, d, o, err)) return kExitFailed;
    EchoPrompts(d, o, err);
    const std::vector<TLineEnt>& model = c.ws.AryTatemono;
    double zmin = model[0].st.z;
    for (const TLineEnt& s : model) zmin = std::min({zmin, s.st.z, s.ed.z});
    out << "図面\t" << drawing << "\n";
    out << "線分\t" << model.size() << " 本\n";
    out << "高さ\t" << FormatGeneral(zmin) << " ～ " << FormatGeneral(c.ws.gbzmax) << " mm\n";
    const TLoadReport& load = d.Host().LastLoad();
    if (load.unitScale != 1)
        out << "単位\t$INSUNITS " << load.insUnits << " (1 単位 = " << FormatGeneral(load.unitScale)
            << " mm, mm に換算して読みました)\n";
    for (const THeightOverride& h : c.heightOverrides)
        out << "高さ指定\t" << h.key << "\t" << FormatGeneral(h.metres) << " m\t" << h.entities
            << " 図形\n";
    d.Picks().PushSelection(o.buildings);
    for (const std::string& line :
         AcquisitionListingLines(ListAcquisition(d.Host().ActiveDocument(), c.heightOverrides)))
        out << line << "\n";
    if (o.svg.empty() && o.png.empty()) return kExitOk;
    SvgPicture pic;
    pic.AddCaption(drawing + " : " + std::to_string(model.size()) + " 線分, 高さ " +
                   FormatGeneral(zmin) + " ～ " + FormatGeneral(c.ws.gbzmax) + " mm");
    for (const TLineEnt& s : model) {
        const double z = std::max(s.st.z, s.ed.z);
        pic.AddLine(s.st, s.ed, HeightColour(z, zmin, c.ws.gbzmax), 1.5);
    }
    return WritePictures(pic, o, out, err) ? kExitOk : kExitFailed;
}

// The options of `zuka preview`.
struct TPreviewOptions {
    int turn = 315;     // --turn: degrees about the vertical axis
    int tilt = 60;      // --tilt: degrees toward the viewer
    bool noDrops = false;
    bool draw = false;  // --draw: into the drawing at --at
    std::string at;
};

std::optional<TAcadPoint> ParseAt(const std::string& text);

// Where a command draws (--at X,Y) and where it saves the drawing; none, with the reason on
// `err`, when --at is no point or the result would replace the input.
struct TDrawAt {
    TAcadPoint at;
    std::filesystem::path out;
};
std::optional<TDrawAt> DrawAtOptions(const std::string& atText, const std::string& what,
                                     const std::string& drawing, const TCommonOptions& o,
                                     std::ostream& err) {
    const std::optional<TAcadPoint> at = ParseAt(atText);
    if (!at) {
        err << "--at X,Y で" << what << "を指定してください: " << atText << "\n";
        return std::nullopt;
    }
    const std::optional<std::filesystem::path> out = OutputPath(drawing, o, err);
    if (!out) return std::nullopt;
    return TDrawAt{*at, *out};
}

// The 3D preview of the acquired buildings as a picture; with --draw also into the drawing.
int RunPreview(Controller& c, const std::string& drawing, const TCommonOptions& o,
               const TPreviewOptions& po, std::ostream& os, std::ostream& err) {
    if (o.svg.empty() && o.png.empty()) {
        err << "--png または --svg で絵の出力先を指定してください．\n";
        return kExitUsage;
    }
    if (!po.draw && RefuseUnusedOption({{"-o", !o.output.empty()}, {"--at", !po.at.empty()}},
                                       "3D イメージを図面に描く (--draw の) ", err))
        return kExitUsage;
    std::optional<TDrawAt> at;
    if (po.draw) {
        at = DrawAtOptions(po.at, "描く位置", drawing, o, err);
        if (!at) return kExitUsage;
    }
    DrawingSession d;
    if (!OpenDrawing(d, drawing, err)) return kExitFailed;
    if (!Acquire(c, d, o, err)) return kExitFailed;
    ShowWakuView(c, po.turn, po.tilt, !po.noDrops);
    if (gInterrupted) return ReportInterrupted(err);
    if (!WritePictures(WakuSvgPicture(c.WakuPicture()), o, os, err)) return kExitFailed;
    if (!po.draw) return kExitOk;
    d.Picks().PushPoint(at->at);
    c.SpeedButton2Click();
    EchoPrompts(d, o, err);
    if (c.LastInsert().status != InsertStatus::Placed) {
        err << "3D イメージを描画できませんでした．\n";
        return kExitFailed;
    }
    os << "3D イメージ\t" << FormatFixed(at->at.x, 3) << "," << FormatFixed(at->at.y, 3) << "\n";
    return SaveDrawing(d, at->out, os, err);
}

// The options of `zuka sky`.
struct TSkyOptions {
    std::string points;              // --points: selection expression of the point circles
    std::vector<std::string> point;  // --point X,Y[,NAME[,HEIGHT]]
    std::string csv;                 // --csv FILE
    std::string maps;                // --maps A|B
    int map = 0;                     // --map N (grid row)
    std::string type = "A";          // --type A|B
    std::string at;                  // --at X,Y
    bool fit = false;                // --fit: conforming building (適合) instead of planned
    bool mapGiven = false;           // --map was given (any number)
    bool typeGiven = false;          // --type was given
};

// --point X,Y[,NAME[,HEIGHT]].
std::optional<TListedPoint> ParseListedPoint(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (parts.size() < 2 || parts.size() > 4) return std::nullopt;
    const std::optional<double> x = ParseDouble(parts[0]);
    const std::optional<double> y = ParseDouble(parts[1]);
    if (!x || !y) return std::nullopt;
    TListedPoint p{*x, *y, parts.size() >= 3 ? parts[2] : std::string(), std::nullopt};
    if (parts.size() == 4) {
        p.heightM = ParseDouble(parts[3]);
        if (!p.heightM) return std::nullopt;
    }
    return p;
}

// Every --point, or nullopt (and a message) for the first one that is malformed.
std::optional<std::vector<TListedPoint>> ParseListedPoints(const std::vector<std::string>& texts,
                                                           std::ostream& err) {
    std::vector<TListedPoint> listed;
    for (const std::string& t : texts) {
        const std::optional<TListedPoint> p = ParseListedPoint(t);
        if (!p) {
            err << "--point は X,Y[,名前[,高さ m]] の形で指定してください: " << t << "\n";
            return std::nullopt;
        }
        listed.push_back(*p);
    }
    return listed;
}

// A selection expression of an option, or false and a message.
bool CheckExpr(const std::string& option, const std::string& expr, std::ostream& err) {
    std::string error;
    if (ParseSelectionExpr(expr, error)) return true;
    err << option << " " << expr << ": " << error << "\n";
    return false;
}

// "X,Y" of --at.
std::optional<TAcadPoint> ParseAt(const std::string& text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos) return std::nullopt;
    const std::optional<double> x = ParseDouble(text.substr(0, comma));
    const std::optional<double> y = ParseDouble(text.substr(comma + 1));
    if (!x || !y) return std::nullopt;
    return TAcadPoint{*x, *y, 0};
}

int RunSky(Controller& c, StderrUiHost& ui, const std::string& drawing, const TCommonOptions& o,
           const TSkyOptions& so, std::ostream& os, std::ostream& err) {
    const bool drawBatch = !so.maps.empty();
    const bool drawOne = so.mapGiven;
    if (drawBatch && drawOne) {
        err << "--maps と --map は同時に指定できません．\n";
        return kExitUsage;
    }
    if (!drawBatch && !drawOne &&
        RefuseUnusedOption({{"-o", !o.output.empty()},
                            {"--svg", !o.svg.empty()},
                            {"--png", !o.png.empty()},
                            {"--at", !so.at.empty()},
                            {"--type", so.typeGiven},
                            {"--fit", so.fit}},
                           "天空図を作図する (--map N か --maps A|B の) ", err))
        return kExitUsage;
    if ((drawBatch || drawOne) &&
        RefuseUnusedOption({{"--csv", !so.csv.empty()}, {"--json", !o.json.empty()}},
                           "天空率を求める (--map と --maps のない) ", err))
        return kExitUsage;
    if (drawBatch &&
        RefuseUnusedOption({{"--type", so.typeGiven}}, "一つの天空図を作図する (--map N の) ", err))
        return kExitUsage;
    const std::string typeText = drawBatch ? so.maps : so.type;
    if (typeText != "A" && typeText != "B") {
        err << "天空図の種類は A または B です: " << typeText << "\n";
        return kExitUsage;
    }
    std::optional<TDrawAt> placed;
    if (drawBatch || drawOne) {
        placed = DrawAtOptions(so.at, "天空図の中心", drawing, o, err);
        if (!placed) return kExitUsage;
    }
    const std::optional<TAcadPoint> at =
        placed ? std::optional<TAcadPoint>(placed->at) : std::nullopt;
    const std::optional<std::filesystem::path> out =
        placed ? std::optional<std::filesystem::path>(placed->out) : std::nullopt;
    const std::optional<std::vector<TListedPoint>> listed = ParseListedPoints(so.point, err);
    if (!listed) return kExitUsage;
    if (!so.points.empty() && !CheckExpr("--points", so.points, err)) return kExitUsage;
    DrawingSession d;
    if (!OpenDrawing(d, drawing, err)) return kExitFailed;
    if (!Acquire(c, d, o, err)) return kExitFailed;
    // The points as the page 天空２ takes them (測定点一括取得, Button16), and the listed ones.
    const int pointCount = TakePoints(c, d, Controller::PointGrid::StringGrid1, so.points, *listed);
    if (pointCount < 1) {
        if (!so.points.empty()) {
            err << "測定点の円が選択されませんでした (--points " << so.points << ").\n";
            return kExitFailed;
        }
        err << "測定点がありません (--points または --point で指定してください).\n";
        return kExitUsage;
    }
    if (drawOne && (so.map < 1 || so.map > pointCount)) {
        err << "--map は測定点の番号 1 ～ " << pointCount << " で指定してください: " << so.map
            << "\n";
        return kExitUsage;
    }
    ui.SetLabel([&c] { return SkyProgressText(c.form); });

    if (!drawBatch && !drawOne) {
        const bool evaluated = c.Button9Click();
        ui.EndBar();
        if (gInterrupted) return ReportInterrupted(err);
        if (!evaluated) return kExitFailed;
        EchoPrompts(d, o, err);
        for (char ch : c.N1Click()) {
            if (ch != '\r') os << ch;
        }
        if (!so.csv.empty()) {
            if (gInterrupted) return ReportInterrupted(err);
            if (!SaveGridCsv(PathFromUtf8(so.csv), c.form.StringGrid1)) {
                err << "CSV を書けません: " << so.csv << "\n";
                return kExitFailed;
            }
            os << "CSV\t" << so.csv << "\n";
        }
        return WriteResultsJson(c, RunKind::Sky, drawing, o, os, err) ? kExitOk : kExitFailed;
    }

    const SkyMapEnd end =
        DrawSkyMapsAt(c, d, {typeText == "B" ? 1 : 0, so.fit, drawBatch ? 0 : so.map, *at});
    if (end == SkyMapEnd::NoSuchPoint) {
        err << "--map は測定点の番号 1 ～ " << pointCount << " で指定してください: " << so.map
            << "\n";
        return kExitUsage;
    }
    ui.EndBar();
    EchoPrompts(d, o, err);
    if (gInterrupted) return ReportInterrupted(err);
    if (end != SkyMapEnd::Drawn) {
        err << "天空図を作図できませんでした．\n";
        return kExitFailed;
    }
    for (const std::string& line : SkyMapLines(c)) os << line << "\n";
    return SaveResult(d, *out, o, os, err);
}

// The options of `zuka walls`.
struct TWallOptions {
    std::string wall;    // --wall handle=H
    std::string wallAt;  // --wall-at X,Y
    std::string place;   // --place X,Y
    bool block = false;  // --block
};

constexpr double kWallReach = 1000;  // how far from --wall-at the wall line may lie

int RunWalls(Controller& c, StderrUiHost& ui, const std::string& drawing,
             const TCommonOptions& o, const TWallOptions& wo, std::ostream& os,
             std::ostream& err) {
    if (wo.wall.empty() == wo.wallAt.empty()) {
        err << "壁面の線分を --wall handle=H か --wall-at X,Y のどちらか一つで指定してください．\n";
        return kExitUsage;
    }
    const std::string handlePrefix = "handle=";
    const std::string handle =
        wo.wall.rfind(handlePrefix, 0) == 0 ? wo.wall.substr(handlePrefix.size()) : "";
    if (!wo.wall.empty() && (handle.empty() || handle.find_first_of(",+") != std::string::npos)) {
        err << "--wall は handle=H の形で一つの線分を指定してください: " << wo.wall << "\n";
        return kExitUsage;
    }
    std::optional<TAcadPoint> near;
    if (!wo.wallAt.empty() && !(near = ParseAt(wo.wallAt))) {
        err << "--wall-at は X,Y の形で指定してください: " << wo.wallAt << "\n";
        return kExitUsage;
    }
    std::optional<TAcadPoint> place;
    if (!wo.place.empty() && !(place = ParseAt(wo.place))) {
        err << "--place は X,Y の形で指定してください: " << wo.place << "\n";
        return kExitUsage;
    }
    // Laid along the wall line unless placed at a point; --block keeps it a block.
    c.form.CheckBox4 = !place;
    c.form.CheckBox12 = c.form.CheckBox12 || wo.block;
    const auto prepare = [&](DrawingSession& d) {
        const TWallLine line =
            near ? FindWallLine(d, *near, kWallReach) : FindWallLine(d, handle);
        switch (line.end) {
            case WallLineEnd::Found:
                break;
            case WallLineEnd::NoSuchEntity:
                err << "--wall " << wo.wall << ": その図形は図面にありません．\n";
                return kExitFailed;
            case WallLineEnd::NotALine:
                err << "--wall " << wo.wall << ": 線分 (LINE) ではありません．\n";
                return kExitFailed;
            case WallLineEnd::NoneNear:
                err << "--wall-at " << wo.wallAt << ": " << FormatGeneral(kWallReach)
                    << " 以内に線分 (LINE) がありません";
                if (line.distance >= 0)
                    err << " (最も近い線分まで " << FormatFixed(line.distance, 0) << ")";
                err << "．\n";
                return kExitFailed;
        }
        os << "壁面線\t" << line.handle << "\n";
        ScriptWallPicks(d, line.handle, place);
        return kExitOk;
    };
    return RunDiagram(c, ui, drawing, o, WallCommand(), RunKind::Walls, os, err, prepare);
}

// A table that the user places (倍率表作成, 作成): the command's pick answered with `at`, then
// the drawing saved; `what` names the table in the output.
int PlaceTable(Controller& c, DrawingSession& d, const TDrawAt& at, void (Controller::*command)(),
               const std::string& what, const TCommonOptions& o, std::ostream& os,
               std::ostream& err) {
    d.Picks().PushPoint(at.at);
    (c.*command)();
    EchoPrompts(d, o, err);
    const TInsertResult& ins = c.LastInsert();
    if (ins.status != InsertStatus::Placed) {
        err << what << "を作図できませんでした．\n";
        return kExitFailed;
    }
    os << what << "\t" << ins.blockName << "\n";
    return SaveResult(d, at.out, o, os, err);
}

int RunRatioTable(Controller& c, const TCommonOptions& o, const std::string& drawing,
                  const std::string& atText, std::ostream& os, std::ostream& err) {
    if (drawing.empty() && RefuseUnusedOption({{"-o", !o.output.empty()},
                                               {"--svg", !o.svg.empty()},
                                               {"--png", !o.png.empty()},
                                               {"--at", !atText.empty()}},
                                              "影倍率表を図面に描く (--draw の) ", err))
        return kExitUsage;
    std::optional<TDrawAt> placed;
    if (!drawing.empty()) {
        placed = DrawAtOptions(atText, "影倍率表を置く位置", drawing, o, err);
        if (!placed) return kExitUsage;
    }
    c.PageControl1Change(7);
    for (const std::string& line : c.form.Memo1) os << line << "\n";
    if (drawing.empty()) return kExitOk;
    // 倍率表作成: the user places the table at --at.
    DrawingSession d;
    if (!OpenDrawing(d, drawing, err)) return kExitFailed;
    d.Connect(c);
    return PlaceTable(c, d, *placed, &Controller::SpeedButton5Click, "影倍率表", o, os, err);
}

// The options of `zuka points`.
struct TPointsOptions {
    std::string points;              // --points: the circles and their number texts
    std::vector<std::string> point;  // --point X,Y[,NAME[,HEIGHT]]
    std::string csv;                 // --csv FILE
    bool exact = false;              // --exact: the intervals to the second
    bool draw = false;               // --draw: the table into the drawing, at --at
    std::string at;
};

int RunPoints(Controller& c, StderrUiHost& ui, const std::string& drawing, const TCommonOptions& o,
              const TPointsOptions& po, std::ostream& os, std::ostream& err) {
    const std::optional<std::vector<TListedPoint>> listed = ParseListedPoints(po.point, err);
    if (!listed) return kExitUsage;
    if (po.points.empty() && listed->empty()) {
        err << "特定点がありません (--points または --point で指定してください).\n";
        return kExitUsage;
    }
    if (!po.points.empty() && !CheckExpr("--points", po.points, err)) return kExitUsage;
    if (!po.draw && RefuseUnusedOption({{"-o", !o.output.empty()},
                                        {"--svg", !o.svg.empty()},
                                        {"--png", !o.png.empty()},
                                        {"--at", !po.at.empty()}},
                                       "特定点の表を図面に描く (--draw の) ", err))
        return kExitUsage;
    std::optional<TDrawAt> placed;
    if (po.draw) {
        placed = DrawAtOptions(po.at, "特定点の表を置く位置", drawing, o, err);
        if (!placed) return kExitUsage;
    }
    DrawingSession d;
    if (!OpenDrawing(d, drawing, err)) return kExitFailed;
    if (!Acquire(c, d, o, err)) return kExitFailed;
    c.form.CheckBox2 = o.tenth;
    c.PageControl1Change(2);
    // The points as the page 特定点 takes them (特定点一括取得, Button22), and the listed ones.
    if (TakePoints(c, d, Controller::PointGrid::StringGrid2, po.points, *listed) < 1) {
        err << "特定点の円が選択されませんでした (--points " << po.points << ").\n";
        return kExitFailed;
    }
    ui.SetOnStop([&c] { c.Button23Click(); });  // 再計算 reads 中止 while it runs
    ui.SetLabel([&c] {
        return "特定点：" + std::to_string(c.form.ProgressBar1.Position) + "/" +
               std::to_string(c.form.ProgressBar1.Max);
    });
    c.Button23Click();
    ui.EndBar();
    EchoPrompts(d, o, err);
    if (gInterrupted) return ReportInterrupted(err);
    for (char ch : GridText(c.form.StringGrid2)) {
        if (ch != '\r') os << ch;
    }
    std::vector<Controller::TTokuteiExactRow> exact;
    if (po.exact) {
        exact = c.TokuteiExact();
        if (gInterrupted) return ReportInterrupted(err);
        for (const std::string& line : TokuteiExactLines(c, exact)) os << line << "\n";
    }
    if (o.trueSolar == "off") {
        const std::vector<Controller::TTokuteiExactRow> rows = po.exact ? exact : c.TokuteiExact();
        if (gInterrupted) return ReportInterrupted(err);
        for (const std::string& line : TokuteiClockLines(c, rows, ReadClockShift(c.form)))
            os << line << "\n";
    }
    if (!po.csv.empty()) {
        if (gInterrupted) return ReportInterrupted(err);
        if (!SaveGridCsv(PathFromUtf8(po.csv), c.form.StringGrid2)) {
            err << "CSV を書けません: " << po.csv << "\n";
            return kExitFailed;
        }
        os << "CSV\t" << po.csv << "\n";
    }
    TResultsOptions ro;
    if (po.exact) ro.exact = &exact;
    if (!WriteResultsJson(c, RunKind::Points, drawing, o, os, err, ro)) return kExitFailed;
    if (!po.draw) return kExitOk;
    // 作成: the user places the table at --at.
    return PlaceTable(c, d, *placed, &Controller::Button15Click, "特定点表", o, os, err);
}

int RunBoundary(Controller& c, const std::string& drawing, const TCommonOptions& o,
                const std::string& site, std::ostream& os, std::ostream& err) {
    if (!CheckExpr("--site", site, err)) return kExitUsage;
    const std::optional<std::filesystem::path> out = OutputPath(drawing, o, err);
    if (!out) return kExitUsage;
    DrawingSession d;
    if (!OpenDrawing(d, drawing, err)) return kExitFailed;
    d.Connect(c);
    // 境界線作成: the user picks the site's lines and polylines.
    d.Picks().PushSelection(site);
    c.Button20Click();
    EchoPrompts(d, o, err);
    if (gInterrupted) return ReportInterrupted(err);
    const TKyoukaisenResult& r = c.LastKyoukaisen();
    if (r.status == KyoukaisenStatus::TooFew) {
        err << "敷地の線分が選択されませんでした (--site " << site << ").\n";
        return kExitFailed;
    }
    const TInsertResult& ins = c.LastInsert();
    if (r.status != KyoukaisenStatus::Drawn || ins.status != InsertStatus::Sent) {
        err << "みなし境界線を作図できませんでした．\n";
        return kExitFailed;
    }
    os << "みなし境界線\t敷地 " << r.sites << ", 5 m と 10 m の線 " << 2 * r.sites << " 本\n";
    os << "ブロック\t" << ins.blockName << "\t" << PathToUtf8(ins.file) << "\n";
    if (!WriteResultsJson(c, RunKind::Boundary, drawing, o, os, err)) return kExitFailed;
    return SaveResult(d, *out, o, os, err);
}

// The options of `zuka check`.
struct TCheckOptions {
    std::string site;    // --site EXPR
    std::string limits;  // --limits H5,H10
    std::string plane;   // --plane M
    bool headroom = false;
};

// "H5,H10", both numbers above 0.
std::optional<std::pair<double, double>> ParseLimits(const std::string& text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos) return std::nullopt;
    const std::optional<double> h5 = ParseDouble(text.substr(0, comma));
    const std::optional<double> h10 = ParseDouble(text.substr(comma + 1));
    if (!h5 || !h10 || !(*h5 > 0) || !(*h10 > 0)) return std::nullopt;
    return std::make_pair(*h5, *h10);
}

// The regulation check: a verdict with clearances, the drawing with the deemed lines, the
// outlines and the tightest spots; exit 0 when both limits hold, 1 when either fails.
int RunCheck(Controller& c, StderrUiHost& ui, const std::string& drawing, const TCommonOptions& o,
             const TCheckOptions& ko, std::ostream& os, std::ostream& err) {
    if (!CheckExpr("--site", ko.site, err)) return kExitUsage;
    const std::optional<std::pair<double, double>> limits = ParseLimits(ko.limits);
    if (!limits) {
        err << "--limits は H5,H10 (時間, 0 より大きい数) の形で指定してください: " << ko.limits
            << "\n";
        return kExitUsage;
    }
    TKiseiRequest req;
    req.hours5 = limits->first;
    req.hours10 = limits->second;
    req.tenth = o.tenth;
    req.headroom = ko.headroom;
    if (!ko.plane.empty()) {
        req.planeM = ParseDouble(ko.plane);
        if (!req.planeM) {
            err << "--plane はメートルの数で指定してください: " << ko.plane << "\n";
            return kExitUsage;
        }
    }
    const std::optional<std::filesystem::path> out = OutputPath(drawing, o, err);
    if (!out) return kExitUsage;
    DrawingSession d;
    if (!OpenDrawing(d, drawing, err)) return kExitFailed;
    if (!Acquire(c, d, o, err)) return kExitFailed;
    d.Picks().PushSelection(ko.site);
    ui.SetOnStop([&c] { c.Button7Click(); });
    ui.SetLabel([&c] {
        return "日影規制：" + std::to_string(c.form.ProgressBar1.Position) + "/" +
               std::to_string(c.form.ProgressBar1.Max);
    });
    c.KiseiCheck(req);
    ui.EndBar();
    EchoPrompts(d, o, err);
    const TKiseiRun& k = c.LastKisei();
    if (gInterrupted || k.status == KiseiStatus::Stopped) return ReportInterrupted(err);
    switch (k.status) {
        case KiseiStatus::Checked:
            break;
        case KiseiStatus::NoSite:
            err << "(--site " << ko.site << ")\n";
            return kExitFailed;
        default:
            return kExitFailed;  // the controller's message says why
    }
    const std::optional<TClockShift> clock =
        o.trueSolar == "off" ? std::optional<TClockShift>(ReadClockShift(c.form)) : std::nullopt;
    for (const std::string& line : KiseiReportLines(c, clock)) os << line << "\n";
    if (!WriteResultsJson(c, RunKind::Check, drawing, o, os, err)) return kExitFailed;
    if (c.LastInsert().status != InsertStatus::Sent) {
        err << "日影規制の図を作図できませんでした．\n";
        return kExitFailed;
    }
    const int saved = SaveResult(d, *out, o, os, err, true);
    if (saved != kExitOk) return saved;
    return k.result.Holds() ? kExitOk : kExitFailed;
}

// After a usage error: where the commands are listed.
constexpr char kCommandHint[] = "Run 'zuka help' for the list of commands.\n";

// The options every command shares, defined once on the program and taken before or after the
// command's name.
constexpr const char* kEveryCommand[] = {"--ini", "--set", "--workdir", "--quiet"};

// The shared options each command takes beyond kEveryCommand.
struct TCommandOptions {
    const char* command;
    std::vector<std::string> shared;
};
const std::vector<TCommandOptions>& SharedOptionsOfCommands() {
    static const std::vector<TCommandOptions> table = {
        {"ratio-table", {"--output", "--svg", "--png", "--no-record"}},
        {"sun", {"--date"}},
        {"outline", {}},
        {"model", {"--buildings", "--height", "--svg", "--png"}},
        {"time-of-day",
         {"--buildings", "--height", "--date", "--output", "--svg", "--png", "--no-record"}},
        {"equal-time",
         {"--buildings", "--height", "--date", "--output", "--svg", "--png", "--no-record"}},
        {"walls",
         {"--buildings", "--height", "--date", "--output", "--svg", "--png", "--no-record"}},
        {"sky", {"--buildings", "--height", "--output", "--svg", "--png", "--no-record"}},
        {"preview", {"--buildings", "--height", "--output", "--svg", "--png", "--no-record"}},
        {"points",
         {"--buildings", "--height", "--date", "--output", "--svg", "--png", "--no-record"}},
        {"boundary", {"--output", "--svg", "--png", "--no-record"}},
        {"check",
         {"--buildings", "--height", "--date", "--output", "--svg", "--png", "--no-record"}},
        {"help", {}},
    };
    return table;
}

// The shared options `command` takes, in the order the program defines them.
std::vector<const CLI::Option*> SharedOptionsOf(const CLI::App& program,
                                                const std::string& command) {
    std::vector<std::string> names(std::begin(kEveryCommand), std::end(kEveryCommand));
    for (const TCommandOptions& c : SharedOptionsOfCommands())
        if (command == c.command) names.insert(names.end(), c.shared.begin(), c.shared.end());
    return program.get_options([&names](const CLI::Option* opt) {
        for (const std::string& n : names)
            if (opt->check_name(n)) return true;
        return false;
    });
}

// A command's help shows the shared options it takes after its own.
class SharedOptionsFormatter : public CLI::Formatter {
public:
    std::string make_footer(const CLI::App* app) const override {
        const CLI::App* program = app->get_parent();
        if (!program) return CLI::Formatter::make_footer(app);
        // make_group starts with a blank line; make_help has written one before the footer.
        return make_group("Shared options (before or after the command)", false,
                          SharedOptionsOf(*program, app->get_name()))
                   .substr(1) +
               CLI::Formatter::make_footer(app);
    }
};

// A shared option given to a command that does not take it, or nothing.
std::optional<std::string> SharedOptionNotTaken(const CLI::App& program, const CLI::App& command) {
    const std::vector<const CLI::Option*> taken = SharedOptionsOf(program, command.get_name());
    for (const CLI::Option* opt : program.get_options()) {
        if (opt->count() == 0 || opt == program.get_help_ptr()) continue;
        if (std::find(taken.begin(), taken.end(), opt) != taken.end()) continue;
        const std::string name = opt->get_name(false, true);
        return name.substr(0, name.find(',')) + " is not an option of " + command.get_name() +
               " (zuka help " + command.get_name() + " lists its options)";
    }
    return std::nullopt;
}

}  // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"Zuka: shadow diagrams and sky factor for Japanese building practice", "zuka"};
    // Options are --name on every system: a path that starts with / is a path on Windows too.
    app.allow_windows_style_options(false);
    auto formatter = std::make_shared<SharedOptionsFormatter>();
    formatter->label("SUBCOMMAND", "COMMAND");
    app.formatter(formatter);
    app.require_subcommand(0, 1);
    app.fallthrough();
    // Unknown words and options are collected and named below, an unknown command by itself.
    app.allow_extras();
    TCommonOptions common;
    bool version = false;
    app.add_flag("--version", version, "print the program's name and version, and exit");
    app.add_option("--ini", common.ini,
                   "read the settings from FILE instead of the work folder's zuka.ini")
        ->type_name("FILE");
    app.add_option("--set", common.sets,
                   "override one settings key for this run (docs/settings.md): "
                   "Section.Key=Value, repeatable")
        ->type_name("KEY=VALUE")
        ->take_all()
        ->allow_extra_args(false);
    app.add_option("--workdir", common.workdir,
                   "the work folder of the settings file and the ZUKA_n.dxf files")
        ->type_name("DIR");
    app.add_flag("--quiet", common.quiet,
                 "no progress bar and no CAD prompts; warnings and errors still show");
    app.add_option("--buildings", common.buildings,
                   "the entities to acquire: all (default), layer=A,B, handle=1F,2A, "
                   "window=x1,y1,x2,y2, or several joined by + (all must hold)")
        ->type_name("EXPR");
    app.add_option("--svg", common.svg, "write a picture of the result as SVG")->type_name("FILE");
    app.add_option("--png", common.png, "write a picture of the result as PNG")->type_name("FILE");
    app.add_option("-o,--output", common.output,
                   "save the drawing with the results here (default: DRAWING-zuka.dxf)")
        ->type_name("FILE");
    app.add_option("--height", common.heights,
                   "give the outlines of a layer (or one entity, by handle) a height for this "
                   "run: LAYER=METRES or HANDLE=METRES, repeatable")
        ->type_name("KEY=METRES")
        ->take_all()
        ->allow_extra_args(false);
    app.add_option("--date", common.date,
                   "the sun of this day instead of the season (Common.kisetsu)")
        ->type_name("YYYY-MM-DD");
    app.add_flag("--no-record", common.noRecord,
                 "leave no calculation record (layer Layer.Info) beside what is drawn");
    CLI::App* ratio = app.add_subcommand(
        "ratio-table", "print the shadow-length ratio table, or draw it (倍率表作成)");
    std::string ratioDrawing;
    std::string ratioAt;
    ratio->add_option("--draw", ratioDrawing, "draw the table into this drawing, placed at --at")
        ->type_name("DRAWING");
    ratio->add_option("--at", ratioAt, "where the table's upper left corner goes: X,Y")
        ->type_name("X,Y");
    CLI::App* sunCmd = app.add_subcommand("sun", "print the sun's position at a clock hour");
    std::string hourText;
    sunCmd->add_option("--hour", hourText, "clock hour, 7.5 to 16.5 (8.5 = 8:30)")
        ->type_name("H")
        ->required();
    CLI::App* outline = app.add_subcommand("outline", "print the outlines of a union of segments");
    std::string segFile;
    outline->add_option("FILE", segFile, "segments, x1 y1 x2 y2 per line")
        ->type_name("")
        ->required();

    CLI::App* model = app.add_subcommand("model", "acquire the buildings of a drawing (取得)");
    std::string drawing;
    model->add_option("DRAWING", drawing, "the drawing, DXF")->type_name("")->required();
    CLI::App* timeOfDay =
        app.add_subcommand("time-of-day", "draw the time-of-day shadow diagram (時刻日影図)");
    timeOfDay->add_option("DRAWING", drawing, "the drawing, DXF")->type_name("")->required();
    timeOfDay->add_option("--json", common.json, "also write the outlines and times as JSON")
        ->type_name("FILE");
    CLI::App* equalTime =
        app.add_subcommand("equal-time", "draw the equal-time shadow diagram (等時間日影図)");
    equalTime->add_option("DRAWING", drawing, "the drawing, DXF")->type_name("")->required();
    equalTime->add_option("--json", common.json, "also write the outlines per hour as JSON")
        ->type_name("FILE");
    equalTime->add_flag("--tenth", common.tenth,
                        "等時間の評価時間を 1/10 に: a tenth of the evaluation step (1, 3 or 6 s)");

    CLI::App* sky = app.add_subcommand(
        "sky", "sky factors of measurement points (再計算), or their sky maps (作図, 一括)");
    sky->add_option("DRAWING", drawing, "the drawing, DXF")->type_name("")->required();
    TSkyOptions skyOpts;
    sky->add_option("--points", skyOpts.points,
                    "the measurement points: circles and their number texts selected like "
                    "--buildings; a circle is named by the first TEXT within 1000 in x and y")
        ->type_name("EXPR");
    sky->add_option("--point", skyOpts.point, "a measurement point X,Y[,NAME[,HEIGHT m]]")
        ->type_name("X,Y[,NAME[,HEIGHT]]")
        ->take_all()
        ->allow_extra_args(false);
    sky->add_option("--csv", skyOpts.csv, "also write the sky factors as CSV")->type_name("FILE");
    sky->add_option("--json", common.json, "also write the sky factors as JSON")->type_name("FILE");
    sky->add_option("--maps", skyOpts.maps, "the maps of all points in a row (一括), type A or B")
        ->type_name("A|B");
    sky->add_option("--map", skyOpts.map, "the map of point N (作図), placed at --at")
        ->type_name("N");
    sky->add_option("--type", skyOpts.type, "the preset of --map: A or B")->type_name("A|B");
    sky->add_option("--at", skyOpts.at, "the centre X,Y of the (first) map")->type_name("X,Y");
    sky->add_flag("--fit", skyOpts.fit, "maps for the conforming building (適合), not planned");

    CLI::App* walls = app.add_subcommand(
        "walls", "draw the time-of-day and equal-time shadows on a wall's face (壁面/壁面等時間)");
    walls->add_option("DRAWING", drawing, "the drawing, DXF")->type_name("")->required();
    TWallOptions wallOpts;
    walls->add_option("--wall", wallOpts.wall, "the wall: the LINE handle=H")
        ->type_name("handle=H");
    walls
        ->add_option("--wall-at", wallOpts.wallAt,
                     "the wall: the LINE nearest to X,Y (within 1000)")
        ->type_name("X,Y");
    walls
        ->add_option("--place", wallOpts.place,
                     "place the elevation with its origin at X,Y instead of along the wall line")
        ->type_name("X,Y");
    walls->add_flag("--block", wallOpts.block, "ブロックとして作成: keep the elevation a block");

    CLI::App* preview = app.add_subcommand(
        "preview",
        "the 3D preview of the buildings as a picture (--png, --svg), or drawn (--draw)");
    preview->add_option("DRAWING", drawing, "the drawing, DXF")->type_name("")->required();
    TPreviewOptions previewOpts;
    preview->add_option("--turn", previewOpts.turn, "turn about the vertical axis, degrees (315)")
        ->type_name("DEG");
    preview->add_option("--tilt", previewOpts.tilt, "tilt toward the viewer, degrees (60)")
        ->type_name("DEG");
    preview->add_flag("--no-drops", previewOpts.noDrops,
                      "without footprints and vertical drops (直下)");
    preview->add_flag("--draw", previewOpts.draw, "also draw the picture into the drawing (描画)");
    preview->add_option("--at", previewOpts.at, "where --draw places it: X,Y")->type_name("X,Y");

    CLI::App* points = app.add_subcommand(
        "points", "shadow hours of specific points (特定点, 再計算), or their table (作成)");
    points->add_option("DRAWING", drawing, "the drawing, DXF")->type_name("")->required();
    TPointsOptions pointsOpts;
    points
        ->add_option("--points", pointsOpts.points,
                     "the points: circles and their number texts selected like --buildings")
        ->type_name("EXPR");
    points->add_option("--point", pointsOpts.point, "a point X,Y[,NAME[,HEIGHT m]]")
        ->type_name("X,Y[,NAME[,HEIGHT]]")
        ->take_all()
        ->allow_extra_args(false);
    points->add_option("--csv", pointsOpts.csv, "also write the grid as CSV")->type_name("FILE");
    points->add_option("--json", common.json, "also write the points' times as JSON")
        ->type_name("FILE");
    points
        ->add_option("--true-solar", common.trueSolar,
                     "on: true solar times only (default); off: local clock times beside them")
        ->type_name("on|off");
    points->add_flag("--exact", pointsOpts.exact,
                     "also the shaded intervals solved to the second, every one");
    points->add_flag("--tenth", common.tenth,
                     "等時間の評価時間を 1/10 に: a tenth of the evaluation step (1, 3 or 6 s)");
    points->add_flag("--draw", pointsOpts.draw, "draw the table into the drawing at --at (作成)");
    points->add_option("--at", pointsOpts.at, "where the table goes: X,Y")->type_name("X,Y");

    CLI::App* boundary =
        app.add_subcommand("boundary", "draw the deemed boundary lines of a site (境界線作成)");
    boundary->add_option("DRAWING", drawing, "the drawing, DXF")->type_name("")->required();
    std::string site;
    boundary
        ->add_option("--site", site, "the site's lines and polylines, selected like --buildings")
        ->type_name("EXPR")
        ->required();
    boundary->add_option("--json", common.json, "also write the sites and lines as JSON")
        ->type_name("FILE");

    CLI::App* check = app.add_subcommand(
        "check", "check the equal-time shadows against the 5 m and 10 m deemed lines");
    check->add_option("DRAWING", drawing, "the drawing, DXF")->type_name("")->required();
    TCheckOptions checkOpts;
    check
        ->add_option("--site", checkOpts.site,
                     "the site's lines and polylines, selected like --buildings")
        ->type_name("EXPR")
        ->required();
    check
        ->add_option("--limits", checkOpts.limits,
                     "H5,H10: hours allowed beyond the 5 m line and beyond the 10 m line")
        ->type_name("H5,H10")
        ->required();
    check
        ->add_option("--plane", checkOpts.plane,
                     "the measurement plane, metres (default: Common.takasa)")
        ->type_name("M");
    check->add_flag("--headroom", checkOpts.headroom,
                    "how far each building could be raised (or must be lowered), to 0.1 m");
    check->add_flag("--tenth", common.tenth, "1-second samples instead of 10");
    check->add_option("--json", common.json, "also write the verdicts as JSON")->type_name("FILE");
    check
        ->add_option("--true-solar", common.trueSolar,
                     "on: true solar times only (default); off: local clock times beside them")
        ->type_name("on|off");

    CLI::App* help = app.add_subcommand("help", "list the commands, or show one's options");
    std::string helpTopic;
    help->add_option("COMMAND", helpTopic, "the command whose options to show");

    for (CLI::App* sub : app.get_subcommands({})) sub->group("Commands");
    app.footer(
        "zuka help COMMAND (or zuka COMMAND --help) shows the options a command takes.\n"
        "Exit status: 0 done; 1 the command could not do its job; 2 bad usage (an unknown "
        "command or option, a missing or bad value, a setting the command cannot work with).");

    CLI::App* command = nullptr;
    try {
        app.parse(argc, argv);
        skyOpts.mapGiven = sky->count("--map") > 0;
        skyOpts.typeGiven = sky->count("--type") > 0;
        const std::vector<CLI::App*> given = app.get_subcommands();
        command = given.empty() ? nullptr : given[0];
        const std::vector<std::string> extras = app.remaining(true);
        if (!command && !extras.empty() && extras[0].rfind('-', 0) != 0) {
            err << "unknown command: " << extras[0] << "\n" << kCommandHint;
            return kExitUsage;
        }
        if (!extras.empty()) throw CLI::ExtrasError(extras);
        if (command) {
            if (const std::optional<std::string> notTaken = SharedOptionNotTaken(app, *command)) {
                err << *notTaken << "\n";
                return kExitUsage;
            }
        }
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        return code == 0 ? kExitOk : kExitUsage;
    }
    if (version) {
        out << "zuka " << ProgramVersion() << "\n";
        return kExitOk;
    }
    if (!command) {
        err << "a command is required\n" << kCommandHint;
        return kExitUsage;
    }
    if (command == help) {
        if (helpTopic.empty()) {
            out << app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
            return kExitOk;
        }
        const CLI::App* topic = nullptr;
        for (const CLI::App* sub : app.get_subcommands({}))
            if (sub->get_name() == helpTopic) topic = sub;
        if (!topic) {
            err << "unknown command: " << helpTopic << "\n" << kCommandHint;
            return kExitUsage;
        }
        out << topic->help(app.get_name());
        return kExitOk;
    }
    std::string exprError;
    if (!ParseSelectionExpr(common.buildings, exprError)) {
        err << "--buildings " << common.buildings << ": " << exprError << "\n";
        return kExitUsage;
    }

    const std::filesystem::path exeDir = ExecutablePath(argc > 0 ? argv[0] : "").parent_path();
    const std::optional<WorkFolder> folder = ResolveWorkFolder(exeDir, PathFromUtf8(common.workdir));
    if (!folder) {
        err << "作業フォルダーを用意できません: "
            << (common.workdir.empty() ? PathToUtf8(FallbackFolder()) : common.workdir) << "\n";
        return kExitFailed;
    }
    const std::optional<TRunOptions> runOptions = CheckRunOptions(common, err);
    if (!runOptions) return kExitUsage;
    int status = kExitOk;
    std::optional<TRunSettings> settings = ReadRunSettings(common, *folder, err, status);
    if (!settings) return status;

    StderrUiHost ui(err, common.quiet);
    Controller c(ui, folder->dir);
    gInterrupted = 0;
    OnInterruptKey(OnInterrupt);
    const auto run = [&]() -> int {
        c.FormCreate(settings->ini);
        if (runOptions->date) c.SetSunDate(*runOptions->date);
        c.heightOverrides = runOptions->heights;
        c.leaveRecord = !common.noRecord;
        if (*ratio) return RunRatioTable(c, common, ratioDrawing, ratioAt, out, err);
        if (*sunCmd) return RunSun(c, hourText, out, err);
        if (*outline) return RunOutline(c, segFile, out, err);
        if (*model) return RunModel(c, drawing, common, out, err);
        if (*timeOfDay) return RunTimeOfDay(c, ui, drawing, common, out, err);
        if (*equalTime) return RunEqualTime(c, ui, drawing, common, out, err);
        if (*walls) return RunWalls(c, ui, drawing, common, wallOpts, out, err);
        if (*sky) return RunSky(c, ui, drawing, common, skyOpts, out, err);
        if (*preview) return RunPreview(c, drawing, common, previewOpts, out, err);
        if (*points) return RunPoints(c, ui, drawing, common, pointsOpts, out, err);
        if (*boundary) return RunBoundary(c, drawing, common, site, out, err);
        if (*check) return RunCheck(c, ui, drawing, common, checkOpts, out, err);
        return kExitUsage;
    };
    try {
        const int ran = run();
        // A setting the command could not work with (its message is out) is bad usage too.
        return c.SettingsRefused() ? kExitUsage : ran;
    } catch (const ConvertError& e) {
        // A setting or a value that is no number, or one no command can work with.
        err << e.what() << "\n";
        return kExitUsage;
    }
}

}  // namespace zuka

// A run without a window: one command from its options to its summary, as the command line
// runs it. The run reads the settings the window would read (the work folder's file or another
// one, then every override with its checks), starts the controller, opens the drawing, acquires
// the buildings, answers the command's picks from a script, echoes the CAD's prompts, writes
// the results (JSON, CSV, pictures) and saves the drawing with them beside the input. Ctrl-C
// (the front end's stop request) is 中止 throughout: after it nothing more is written.
//
// Exit statuses: kExitOk, kExitFailed (the command could not do its job), kExitUsage (bad
// usage: a value or a setting the command cannot work with).
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/controller.h"
#include "app/diagram_run.h"
#include "app/drawing_session.h"
#include "app/ini_file.h"
#include "app/results_json.h"
#include "app/work_folder.h"
#include "base/run_context.h"
#include "picture/svg_picture.h"

namespace zuka {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// The options that every command may take (each takes those its registration names).
struct TBatchOptions {
    std::string buildings = "all";     // --buildings EXPR
    std::string svg;                   // --svg FILE
    std::string png;                   // --png FILE
    std::string output;                // -o FILE
    bool tenth = false;                // --tenth
    std::string ini;                   // --ini FILE
    std::vector<std::string> sets;     // --set Section.Key=Value
    std::string workdir;               // --workdir DIR
    bool quiet = false;                // --quiet
    std::vector<std::string> heights;  // --height KEY=METRES
    std::string date;                  // --date YYYY-MM-DD
    bool noRecord = false;             // --no-record
    std::string json;                  // --json FILE, of the commands that compute
    std::string trueSolar = "on";      // --true-solar on|off
    // --cad [PROGID]: the running CAD's active drawing in place of a drawing file; the ProgID,
    // else the settings' target CAD (Target.ProgID).
    bool cad = false;
    std::string cadProgId;
    bool buildingsGiven = false;  // --buildings given (with --cad: else the user picks in the CAD)
    // --svg and --png picture the drawing (refused with --cad: the drawing is the CAD's), not
    // something of the command's own (the buildings of model, the 3D view of preview).
    bool picturesOfTheDrawing = true;
};

// The user's request to stop the run (Ctrl-C on the command line). It is set from a signal
// handler on Linux and from the console's handler thread on Windows: a lock-free atomic flag
// serves both.
class StopRequest : public RunContext {
public:
    void Request() { flag_ = 1; }
    bool StopRequested() const override { return flag_ != 0; }

private:
    std::atomic<int> flag_ = 0;
};

// Writes a picture as PNG; the front end that can (it needs Qt) hands one in.
using PngWriter = std::function<bool(const SvgPicture& picture, const std::string& file)>;

// What the front end gives the run: where the summary (out) and the messages (err) go, whether
// err is a terminal (then a progress bar is drawn on it), its stop request and its PNG writer
// (none: a PNG asked for is refused).
struct TBatchConsole {
    std::ostream& out;
    std::ostream& err;
    const StopRequest& stop;
    bool terminal = false;
    PngWriter png;
};

// The batch run's window: message boxes on err, a progress bar for long runs (with the run's
// progress label beside it), the stop request as 中止.
class ConsoleUiHost : public UiHost {
public:
    // The bar is drawn only on a terminal and not when quiet; a log gets the messages alone.
    ConsoleUiHost(std::ostream& err, bool showBar, const StopRequest& stop)
        : err_(err), showBar_(showBar), stop_(stop) {}
    void MessageBox(const std::string& title, const std::string& text) override;
    void SetProgressMax(int max) override { max_ = max; }
    void SetProgressPosition(int pos) override;
    bool StopRequested() const override { return stop_.StopRequested(); }
    void ProcessMessages() override {
        if (stop_.StopRequested() && onStop_) onStop_();
    }
    // The text beside the bar, and what 中止 does, for the command under way.
    void SetLabel(std::function<std::string()> label) { label_ = std::move(label); }
    void SetOnStop(std::function<void()> stop) { onStop_ = std::move(stop); }
    // Clears the bar's line, so that what follows starts at the line's beginning.
    void EndBar();

private:
    std::ostream& err_;
    bool showBar_;
    const StopRequest& stop_;
    int max_ = 0;
    bool barShown_ = false;
    std::chrono::steady_clock::time_point shown_{};
    std::function<std::string()> label_;
    std::function<void()> onStop_;
};

// "Section.Key=Value" of an override.
struct TSetting {
    std::string section;
    std::string key;
    std::string value;
};
// nullopt when the shape is wrong.
std::optional<TSetting> ParseSetOption(const std::string& text);

// The settings in force for a run, as the window reads them: `iniFile` when given (it must
// exist and be readable), else the work folder's file (LoadSettingsFile), then every override
// of `sets`, each checked against its setting's kind and range. nullopt (and the message on
// `err`) for the first that cannot be used: bad usage. The file is never written.
std::optional<IniFile> ReadRunSettings(const WorkFolder& folder, const std::string& iniFile,
                                       const std::vector<std::string>& sets, std::ostream& err);

// "X,Y" of an option (--at, --wall-at, --place); nullopt when it is not two numbers.
std::optional<TAcadPoint> ParseXY(const std::string& text);

// Where a command draws (--at X,Y) and where it saves the drawing.
struct TDrawAt {
    TAcadPoint at;
    std::filesystem::path out;
};

// One command's run: the controller with the run's settings, the drawing it opens, the
// options and the streams. The steps every command shares are here.
class BatchRun {
public:
    BatchRun(Controller& controller, ConsoleUiHost& console, const TBatchOptions& options,
             const TBatchConsole& streams)
        : c(controller),
          ui(console),
          o(options),
          out(streams.out),
          err(streams.err),
          console_(streams) {}
    // Revokes the message filter of a run on a running CAD.
    ~BatchRun();
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    Controller& c;
    ConsoleUiHost& ui;
    const TBatchOptions& o;
    std::ostream& out;  // the summary
    std::ostream& err;  // messages

    // True once the user asked to stop.
    bool Stopped() const { return console_.stop.StopRequested(); }
    // After a stop nothing more is written: says so, returns kExitFailed.
    int ReportStopped();

    // Reads the drawing (a stop ends the reading, and the reading of the block files the
    // commands insert); false with the message when it cannot. With --cad: finds the running
    // CAD instead (false with "有効な CAD が見つかりません．" when none runs) and makes it the
    // CAD the commands draw into.
    bool Open(const std::string& drawing);
    // Whether the run works on a running CAD's drawing (--cad).
    bool OnRunningCad() const { return o.cad; }
    // The user's next selection on screen made by `expr` instead: from the scripted picks of
    // the drawing opened, or with --cad as a selection by filter in the CAD.
    void SelectBy(const std::string& expr);
    // The drawing opened.
    DrawingSession& Drawing() { return *drawing_; }
    // With --cad, after Open: the running CAD (throws AutomationError when it no longer
    // answers).
    Application& CadApplication();
    // 取得 with the entities that --buildings names; false (and a message) when none.
    bool Acquire();
    // The CAD's prompts since the last call, echoed as "CAD: ..."; when quiet only those that
    // report a failure.
    void EchoPrompts();

    // DRAWING-zuka.dxf beside the input unless -o names another file; never the input itself
    // (nullopt and a message). With --cad an empty path: nothing is saved, the drawing is the
    // CAD's.
    std::optional<std::filesystem::path> OutputPath(const std::string& drawing);
    // --at as a point (`what` names it in the message) and the output path; nullopt when
    // either cannot be used. With --cad the user places it in the CAD: --at is refused.
    std::optional<TDrawAt> DrawAt(const std::string& atText, const std::string& what,
                                  const std::string& drawing);
    // Whether the run has something to work on: the drawing file, or with --cad the running
    // CAD, where `expr` (the option `option`'s selection, when given) must be one the CAD can
    // select by filter. False, with a message, otherwise.
    bool DrawingOrCad(const std::string& drawing, const char* option = nullptr,
                      const std::string& expr = {});
    // The first option given that the run, as asked, makes no use of, refused with what it is
    // for: "<option> は<use>ときに使います"; false when none was given.
    bool RefuseUnusedOption(const std::vector<std::pair<const char*, bool>>& given,
                            const std::string& use);

    // The picture as SVG and as PNG where the options ask for them; the summary names them.
    bool WritePictures(const SvgPicture& pic);
    // The results of the last run of `kind` as JSON into --json's file; the summary names it.
    bool WriteResultsJson(RunKind kind, const std::string& drawing, TResultsOptions ro = {});
    // A grid as CSV into `file`; the summary names it.
    bool WriteGridCsv(const std::string& file, const TGridCells& grid);
    // Saves the result drawing; the summary names the file.
    int SaveDrawing(const std::filesystem::path& file);
    // Saves the result drawing and its pictures. `entityColours`: results in their own colours.
    int SaveResult(const std::filesystem::path& file, bool entityColours = false);

    // Opens the drawing, acquires the buildings, runs the diagram and saves the drawing with
    // it. `prepare`, when given, answers the command's own picks before it runs; an exit status
    // other than kExitOk ends the run there.
    int RunDiagram(const std::string& drawing, TDiagramCommand cmd, RunKind kind,
                   const std::function<int()>& prepare = {});
    // A table that the user places: the command's pick answered with `at` (with --cad the
    // user places it in the CAD), the command run, then the drawing saved; `what` names the
    // table in the summary.
    int PlaceTable(const TDrawAt& at, const std::function<void()>& command,
                   const std::string& what);

private:
    bool OpenCad();

    const TBatchConsole& console_;
    std::unique_ptr<DrawingSession> drawing_;
    std::unique_ptr<CadConnector> cad_;  // with --cad
    // With --cad: calls the busy CAD rejects are retried while it asks to be called again later.
    TMessageFilter filter_;
};

// A command of the batch, given the run.
using BatchCommand = std::function<int(BatchRun&)>;

// Runs `command` as the command line does: the shared options checked (--buildings, --height,
// --date, --true-solar), the work folder (--workdir, else beside `exeDir` or the user's data
// folder) and the settings read, the controller started with them; a setting the command could
// not work with is bad usage. Returns the exit status.
int RunBatch(const TBatchOptions& o, const std::filesystem::path& exeDir,
             const TBatchConsole& console, const BatchCommand& command);

}  // namespace zuka

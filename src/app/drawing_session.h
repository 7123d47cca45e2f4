// The drawing a front end works on: the embedded drawing host that holds it, the provider that
// answers the user's picks, and the register through which the commands find the host as their
// CAD. The command line and the window open, acquire and save through these routines alike.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/controller.h"
#include "cad/host/drawing_host.h"
#include "cad/interaction.h"
#include "picture/svg_picture.h"

namespace zuka {

class DrawingSession {
public:
    // No drawing is open until Open succeeds; picks come from the session's scripted queue.
    DrawingSession() = default;
    DrawingSession(const DrawingSession&) = delete;
    DrawingSession& operator=(const DrawingSession&) = delete;

    // Reads a DXF drawing. On failure returns false with `error` naming the file (and, where
    // known, the line); the drawing open before stays open.
    bool Open(const std::filesystem::path& path, std::string& error);
    // Writes the open drawing (the host's lossless DXF save); false with `error` when the file
    // cannot be written, and then no partial file is left. `stop`, when given, can stop the
    // save: it then fails and leaves no file.
    bool Save(const std::filesystem::path& path, std::string& error,
              const RunContext* stop = nullptr) const;
    // The model space in plan as a picture with `caption` above it; with `entityColours` the
    // results drawn in one of the six basic colours show in it (DrawPlot).
    SvgPicture Picture(const std::string& caption, bool entityColours = false);
    // The same as an SVG file; false when the file cannot be written.
    bool SavePicture(const std::filesystem::path& svg, const std::string& caption);

    // The file last opened.
    const std::filesystem::path& Path() const { return path_; }
    DrawingHost& Host() { return host_; }
    const DrawingHost& Host() const { return host_; }

    // The scripted answers to the user's picks (points, selections, ...), asked in order.
    ScriptedInteraction& Picks() { return picks_; }
    // Another provider of the picks, such as the window's drawing view; nullptr returns to the
    // scripted queue.
    void SetInteraction(Interaction* interaction);
    // Makes this drawing the running CAD that the controller's commands find. From then on,
    // opening another drawing makes the controller forget the one before (ForgetDrawing).
    void Connect(Controller& c) {
        c.SetCadConnector(&connector_);
        controller_ = &c;
    }

    // The prompts the commands showed on the CAD's command line since the last call, one per
    // entry without their line ends.
    std::vector<std::string> TakePrompts();

private:
    ScriptedInteraction picks_;
    DrawingHost host_{&picks_};
    HostConnector connector_{host_};
    std::filesystem::path path_;
    Controller* controller_ = nullptr;
    std::size_t promptsTaken_ = 0;
};

// Whether a prompt reports that a command failed at something (its text says 失敗, or that
// nothing was selected) rather than asking for a pick or confirming one: a warning that a
// front end shows even when it shows no progress.
bool PromptReportsFailure(std::string_view prompt);

// 取得 on the session's drawing with the entities that `expr` selects (the host's selection
// expression: all, layer=A,B, handle=1F,2A, window=x1,y1,x2,y2, joined by +), answered from
// the scripted picks. False when no building was acquired.
bool AcquireTatemono(Controller& c, DrawingSession& s, const std::string& expr);

// What the last 取得 took from the session's drawing, one line each, tab-separated: "線分" and
// the wall segments, "高さ" and their height range (mm), "単位" and the conversion of a drawing
// not in millimetres (not known without the session: the running CAD's drawing), "高さ指定" and
// each height given to flat plans. Empty without a model.
std::vector<std::string> ModelSummary(const Controller& c, const DrawingSession* s);

// Where a command saves the drawing with its results: `requested` when given, else the
// drawing's name with "-zuka" before the extension, beside it.
std::filesystem::path ResultPath(const std::filesystem::path& drawing,
                                 const std::filesystem::path& requested = {});
// True when `out` is the drawing itself (under any spelling of its path): a command's result
// never replaces the user's drawing.
bool IsInputDrawing(const std::filesystem::path& out, const std::filesystem::path& drawing);

}  // namespace zuka

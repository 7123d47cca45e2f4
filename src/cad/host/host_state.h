// Inside the drawing host: the state shared by the application, the document facade, the
// selection sets and the command line.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cad/host/drawing_host.h"
#include "cad/host/host_drawing.h"

namespace zuka {

struct HostState {
    Interaction* interaction = nullptr;
    HostDrawingPtr drawing;  // null while no drawing is open
    std::vector<SelectionSetPtr> sets;
    SelectionSetPtr active;
    std::vector<std::string> commandLog;
    std::vector<std::string> echo;
    std::vector<std::string> prompts;
    int undoStarted = 0;
    int undoEnded = 0;
    // Undo: the drawing as it was before each command (one outermost undo group each) that
    // changed it, and the drawings undone since the last command.
    int undoDepth = 0;
    HostDrawingPtr undoPending;  // the drawing as the open group found it
    std::vector<HostDrawingPtr> undoSteps;
    std::vector<HostDrawingPtr> redoSteps;
    int regens = 0;
    int stateQueries[3] = {0, 0, 0};
    TLoadReport lastLoad;
    TSaveReport lastSave;
    // The user's Escape while a file is read (a drawing opened, a block file inserted).
    const RunContext* stop = nullptr;

    // The user's answer; Escape when there is no provider.
    TAnswer Ask(AnswerKind want, const std::string& prompt) {
        return interaction ? interaction->Ask(want, prompt) : TAnswer{};
    }
};

// Runs one SendCommand text at the command line of the open drawing.
void RunCommandText(HostState& state, const std::string& text);

// A linetype definition of one of the linetype files the host knows ("gcadiso.lin", "MM.LIN",
// "acadiso.lin", "iso.lin", "zwcadiso.lin", each holding HIDDEN, HIDDEN2 and DASHED); the file
// may be given with a folder. Names compare ignoring case. None for an unknown file or name.
std::optional<TLinetype> BuiltInLinetype(std::string_view name, std::string_view file);

// Reads a DXF file into a new drawing named after the file; none with `error` set, also when
// `stop` asks to stop while the file is read.
HostDrawingPtr ReadDxfDrawing(const std::filesystem::path& path, std::string& error,
                              TLoadReport& report, const RunContext* stop = nullptr);

// Writes a drawing over the file it was read from (see drawing_host.h); false with `error` set,
// and false too when `stop` asks to stop (no file is then left).
bool WriteDxfDrawing(const HostDrawing& drawing, const std::filesystem::path& path,
                     std::string& error, TSaveReport& report, const RunContext* stop = nullptr);

}  // namespace zuka

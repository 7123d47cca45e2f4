// Which CAD the window's commands drive: the one place the window chooses its CadConnector.
//
// With a drawing file named (--drawing FILE) the drawing is opened in the embedded drawing host
// and the commands work on it; its picks come from the session's scripted answers (the tests
// push them). Without one, the commands look for the running CAD under the target CAD's ProgID
// through the automation bridge.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "app/controller.h"
#include "app/drawing_session.h"
#include "cad/automation.h"

namespace zuka {

class CadChoice {
public:
    CadChoice();
    ~CadChoice();
    CadChoice(const CadChoice&) = delete;
    CadChoice& operator=(const CadChoice&) = delete;

    // Connects `c` to its CAD: the drawing in the host when `drawing` is given (false, with
    // `error` saying why, when it cannot be opened), else the running CAD's automation bridge.
    bool Choose(Controller& c, const std::filesystem::path& drawing, std::string& error);

    // The host's drawing, when one was opened; null when the commands drive a running CAD.
    DrawingSession* Session() { return session_.get(); }
    // Saves the host's drawing, when commands drew into it, beside it under the name of a
    // result (ResultPath: the user's drawing is never replaced). True when nothing needed
    // saving or it was saved; `saved` names the file written.
    bool SaveResult(const Controller& c, std::filesystem::path& saved, std::string& error);

private:
    std::unique_ptr<DrawingSession> session_;
    std::unique_ptr<CadConnector> running_;  // the automation bridge to a running CAD
};

}  // namespace zuka

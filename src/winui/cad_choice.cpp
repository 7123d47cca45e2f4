#include "winui/cad_choice.h"

#include "cad/running_cad.h"

namespace zuka {

CadChoice::CadChoice() = default;
CadChoice::~CadChoice() = default;

bool CadChoice::Choose(Controller& c, const std::filesystem::path& drawing, std::string& error) {
    if (!drawing.empty()) {
        session_ = std::make_unique<DrawingSession>();
        if (!session_->Open(drawing, error)) {
            session_.reset();
            return false;
        }
        session_->Connect(c);
        return true;
    }
    // The running CAD: the automation bridge finds the CAD registered as running under the
    // target CAD's ProgID (c.form.TargetProgID, chosen in the target-CAD dialog) when each
    // command starts.
    if (!running_) running_ = RunningCadConnector();
    c.SetCadConnector(running_.get());
    return true;
}

bool CadChoice::SaveResult(const Controller& c, std::filesystem::path& saved, std::string& error) {
    if (!session_ || c.form.CommandRunning) return true;
    // Every command that draws does so in an undo group of its own.
    if (!session_->Host().CanUndo()) return true;
    saved = ResultPath(session_->Path());
    return session_->Save(saved, error);
}

}  // namespace zuka

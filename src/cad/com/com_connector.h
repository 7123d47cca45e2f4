// The register of running CADs on Windows: the application object a CAD registered as running
// under its ProgID (CLSIDFromProgID, then GetActiveObject), reached by late binding, and the
// window calls made on the CAD's main window through its handle.
//
// The connector joins the calling thread to a single-threaded apartment for its lifetime, as a
// program with a window is, so that the message filter can be registered on that thread.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cad/automation.h"

namespace zuka::com {

class ComApplication;

class ComConnector final : public CadConnector {
public:
    ComConnector();
    ~ComConnector() override;
    ComConnector(const ComConnector&) = delete;
    ComConnector& operator=(const ComConnector&) = delete;

    // The running application; nullptr when none runs. A ProgID that is not registered throws
    // AutomationError naming it. The object stays the same while the CAD keeps running.
    Application* GetActiveObject(const std::string& progId) override;
    bool IsIconic(std::intptr_t hwnd) override;
    void Restore(std::intptr_t hwnd) override;
    void SetForeground(std::intptr_t hwnd) override;
    std::intptr_t Foreground() override;
    // Escape pressed and released with 5 ms between.
    void PressEscape() override;
    void Sleep(int ms) override;

private:
    bool comStarted_ = false;
    std::map<std::string, std::unique_ptr<ComApplication>> running_;
    // Applications of CADs that were replaced by another instance: pointers handed out stay
    // valid until the connector ends.
    std::vector<std::unique_ptr<ComApplication>> former_;
};

}  // namespace zuka::com

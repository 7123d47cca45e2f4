// The test server that plays the CAD (cad_server.cpp), as a process of its own: started beside
// the program that drives it, registered under the given ProgIDs, stopped when done.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cad/automation.h"
#include "cad/com/com_connector.h"
#include "cad/com/com_variant.h"

namespace zuka::testing {

class ServerProcess {
public:
    // The server is registered under every one of `progIds`; it counts as started once
    // `ready` is in the running object table.
    ServerProcess(std::vector<std::string> progIds, std::string ready)
        : progIds_(std::move(progIds)), ready_(std::move(ready)) {}
    ~ServerProcess() { Stop(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool Running() const {
        return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
    }
    DWORD ExitCode() const {
        DWORD code = 0;
        if (pi_.hProcess) GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }
    // Starts the server (zuka_cad_server.exe beside this program) and waits until it is in the
    // running object table.
    bool Start(com::ComConnector& connector) {
        Close();
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        const std::filesystem::path exe =
            std::filesystem::path(self).parent_path() / "zuka_cad_server.exe";
        return StartExe(connector, exe);
    }
    bool StartExe(com::ComConnector& connector, const std::filesystem::path& exe) {
        Close();
        std::wstring cmd = L"\"" + exe.wstring() + L"\" /timeout:900";
        for (const std::string& p : progIds_) cmd += L" /progid:" + com::Wide(p);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &pi_))
            return false;
        for (int i = 0; i < 300; ++i) {
            try {
                if (connector.GetActiveObject(ready_)) return true;
            } catch (const AutomationError&) {
                // Not registered yet.
            }
            if (!Running()) return false;
            Sleep(100);
        }
        return false;
    }
    void Stop() {
        if (!pi_.hProcess) return;
        if (Running()) {
            TerminateProcess(pi_.hProcess, 9);
            WaitForSingleObject(pi_.hProcess, 10000);
        }
        Close();
    }
    HANDLE Handle() const { return pi_.hProcess; }

private:
    void Close() {
        if (pi_.hProcess) CloseHandle(pi_.hProcess);
        if (pi_.hThread) CloseHandle(pi_.hThread);
        pi_ = PROCESS_INFORMATION{};
    }
    std::vector<std::string> progIds_;
    std::string ready_;
    PROCESS_INFORMATION pi_{};
};

}  // namespace zuka::testing

#include "winui/win_ui_host.h"

#include "winui/win32.h"

#include "app/settings_table.h"
#include "winui/wide_text.h"

namespace zuka {
namespace {

constexpr unsigned long long kPumpMs = 25;

}  // namespace

void WinUiHost::MessageBox(const std::string& title, const std::string& message) {
    if (refresh) refresh();
    const std::string text = WithoutSettingKeys(message);
    if (messageHook) {
        messageHook(title, text);
        return;
    }
    // Above every window, as the main window is, so that it never hides behind the CAD.
    MessageBoxW(static_cast<HWND>(mainWindow), Wide(text).c_str(), Wide(title).c_str(),
                MB_OK | MB_TOPMOST);
}

void WinUiHost::MinimiseMainWindow() {
    if (mainWindow) ShowWindow(static_cast<HWND>(mainWindow), SW_MINIMIZE);
}

void WinUiHost::RestoreMainWindow() {
    if (!mainWindow) return;
    const HWND w = static_cast<HWND>(mainWindow);
    ShowWindow(w, SW_RESTORE);
    SetForegroundWindow(w);
}

void WinUiHost::Pump(bool events) {
    unsigned long long& last = events ? pumped_ : shown_;
    const unsigned long long now = GetTickCount64();
    if (last != 0 && now - last < kPumpMs) return;
    last = now;
    if (refresh) refresh();
    if (!events) return;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Handed back to the window's own loop, which ends the program after the run.
            PostQuitMessage(static_cast<int>(msg.wParam));
            closing = true;
            return;
        }
        if (dispatch) {
            dispatch(&msg);
        } else {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

}  // namespace zuka

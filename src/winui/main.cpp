// zuka-win [--workdir DIR] [--drawing FILE]: the main window over the user's CAD.
#include "winui/win32.h"

#include <string>
#include <vector>

#include "app/form.h"
#include "app/work_folder.h"
#include "base/platform.h"
#include "cad/bridge.h"
#include "winui/cad_choice.h"
#include "winui/main_window.h"
#include "winui/wide_text.h"

namespace {

void Say(const std::string& text) {
    MessageBoxW(nullptr, zuka::Wide(text).c_str(), zuka::Wide(zuka::kApplicationTitle).c_str(),
                MB_OK | MB_TOPMOST);
}

// Per-monitor DPI awareness for systems whose loader did not take it from the manifest.
void BeDpiAware() {
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    const auto set = reinterpret_cast<SetContextFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (set) set(reinterpret_cast<HANDLE>(-4));  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
}

}  // namespace

int main(int argc, char** argv) {
    BeDpiAware();
    const std::vector<std::string> args = zuka::Utf8Arguments(argc, argv);
    std::filesystem::path workdir;
    std::filesystem::path drawing;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--workdir" && i + 1 < args.size()) {
            workdir = zuka::PathFromUtf8(args[++i]);
        } else if (args[i] == "--drawing" && i + 1 < args.size()) {
            drawing = zuka::PathFromUtf8(args[++i]);
        } else {
            Say("zuka-win [--workdir フォルダー] [--drawing 図面.dxf]");
            return 2;
        }
    }
    const std::filesystem::path exeDir = zuka::ExecutablePath(argv[0]).parent_path();
    const std::optional<zuka::WorkFolder> folder = zuka::ResolveWorkFolder(exeDir, workdir);
    if (!folder) {
        Say("作業フォルダーを用意できません");
        return 1;
    }
    zuka::WinUiHost ui;
    zuka::Controller controller(ui, folder->dir);
    zuka::CadChoice cad;
    std::string error;
    if (!cad.Choose(controller, drawing, error)) {
        Say(error);
        return 1;
    }
    // Calls the busy CAD rejects are retried while the window exists (after the bridge has
    // started the thread's automation, which the filter needs).
    zuka::TMessageFilter filter;
    filter.RegisterFilter();
    zuka::WinMainWindow window(controller, ui, cad, *folder);
    if (!window.Create(GetModuleHandleW(nullptr))) {
        Say("ウィンドウを作れません");
        return 1;
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) window.Dispatch(msg);
    filter.RevokeFilter();
    return 0;
}

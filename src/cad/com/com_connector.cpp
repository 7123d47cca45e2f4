#include "cad/com/com_connector.h"

#include "cad/com/com_automation.h"

namespace zuka::com {
namespace {

constexpr int kEscapeHoldMs = 5;  // between the key's press and release

void Key(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

::HWND Handle(std::intptr_t hwnd) { return reinterpret_cast<::HWND>(hwnd); }

}  // namespace

ComConnector::ComConnector() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // S_FALSE: the thread was already in an apartment of this kind; it still needs a matching
    // CoUninitialize.
    comStarted_ = SUCCEEDED(hr);
}

ComConnector::~ComConnector() {
    running_.clear();
    former_.clear();
    if (comStarted_) CoUninitialize();
}

Application* ComConnector::GetActiveObject(const std::string& progId) {
    CLSID clsid{};
    const std::wstring wide = Wide(progId);
    HRESULT hr = CLSIDFromProgID(wide.c_str(), &clsid);
    if (FAILED(hr))
        throw AutomationError("ProgID " + progId + " is not registered: " + HresultText(hr));
    IUnknown* unknown = nullptr;
    hr = ::GetActiveObject(clsid, nullptr, &unknown);
    if (FAILED(hr) || !unknown) return nullptr;
    IDispatch* raw = nullptr;
    hr = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&raw));
    unknown->Release();
    if (FAILED(hr) || !raw) return nullptr;
    Dispatch app(raw);
    std::unique_ptr<ComApplication>& slot = running_[progId];
    if (slot && slot->Object().SameObject(app)) return slot.get();
    if (slot) former_.push_back(std::move(slot));
    slot = std::make_unique<ComApplication>(std::move(app));
    return slot.get();
}

bool ComConnector::IsIconic(std::intptr_t hwnd) { return ::IsIconic(Handle(hwnd)) != FALSE; }

void ComConnector::Restore(std::intptr_t hwnd) { ::ShowWindow(Handle(hwnd), SW_RESTORE); }

void ComConnector::SetForeground(std::intptr_t hwnd) { ::SetForegroundWindow(Handle(hwnd)); }

std::intptr_t ComConnector::Foreground() {
    return reinterpret_cast<std::intptr_t>(::GetForegroundWindow());
}

void ComConnector::PressEscape() {
    Key(VK_ESCAPE, false);
    ::Sleep(kEscapeHoldMs);
    Key(VK_ESCAPE, true);
}

void ComConnector::Sleep(int ms) {
    if (ms > 0) ::Sleep(static_cast<DWORD>(ms));
}

}  // namespace zuka::com

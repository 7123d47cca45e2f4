#include "winui/target_cad_window.h"



#include <string>

#include "winui/wide_text.h"

namespace zuka {
namespace {

constexpr wchar_t kDialogClass[] = L"ZukaTargetCadDialog";
constexpr char kNotWritten[] = "ファイルに書き込めません : ";

enum Id { kList = 100, kEdit1, kEdit2, kAdd, kDelete, kChange, kOk, kCancel };

struct TDialog {
    TargetCadDialog* model = nullptr;
    Form* form = nullptr;
    HWND list = nullptr;
    HWND edit1 = nullptr;
    HWND edit2 = nullptr;
    bool done = false;
    bool refreshing = false;
};

std::string Text(HWND w) {
    const int n = GetWindowTextLengthW(w);
    std::wstring t(static_cast<std::size_t>(n) + 1, L'\0');
    GetWindowTextW(w, t.data(), n + 1);
    t.resize(static_cast<std::size_t>(n));
    return Utf8(t);
}

void Refresh(TDialog& d) {
    d.refreshing = true;
    SendMessageW(d.list, LB_RESETCONTENT, 0, 0);
    for (const std::string& s : d.model->ListBox1Items())
        SendMessageW(d.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(s).c_str()));
    SendMessageW(d.list, LB_SETCURSEL, d.model->ListBox1ItemIndex, 0);
    if (Text(d.edit1) != d.model->Edit1) SetWindowTextW(d.edit1, Wide(d.model->Edit1).c_str());
    if (Text(d.edit2) != d.model->Edit2) SetWindowTextW(d.edit2, Wide(d.model->Edit2).c_str());
    d.refreshing = false;
}

void Saved(HWND hwnd, TDialog& d, bool ok) {
    Refresh(d);
    if (!ok)
        MessageBoxW(hwnd, Wide(std::string(kNotWritten) + kTargetCadFileName).c_str(),
                    Wide(kTargetCadDialogCaption).c_str(), MB_OK | MB_ICONWARNING);
}

LRESULT CALLBACK EnterSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                               DWORD_PTR data) {
    auto& d = *reinterpret_cast<TDialog*>(data);
    if (msg == WM_GETDLGCODE && lp) {
        const MSG* m = reinterpret_cast<const MSG*>(lp);
        if ((m->message == WM_KEYDOWN || m->message == WM_CHAR) && m->wParam == VK_RETURN)
            return DefSubclassProc(hwnd, msg, wp, lp) | DLGC_WANTALLKEYS;
    }
    if (msg == WM_CHAR && wp == VK_RETURN) {
        // Enter in either field does what 変更 does.
        Saved(GetParent(hwnd), d, d.model->Edit1KeyPress(u'\r').saved);
        return 0;
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, EnterSubclass, 0);
    return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* d = reinterpret_cast<TDialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!d) return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
        case WM_COMMAND: {
            const int id = LOWORD(wp);
            const int code = HIWORD(wp);
            TargetCadDialog& m = *d->model;
            if (id == kList && code == LBN_SELCHANGE) {
                m.ListBox1ItemIndex = static_cast<int>(SendMessageW(d->list, LB_GETCURSEL, 0, 0));
                m.ListBox1Click();
                Refresh(*d);
            } else if ((id == kEdit1 || id == kEdit2) && code == EN_CHANGE && !d->refreshing) {
                (id == kEdit1 ? m.Edit1 : m.Edit2) = Text(id == kEdit1 ? d->edit1 : d->edit2);
            } else if (id == kAdd) {
                Saved(hwnd, *d, m.SpeedButton1Click());
            } else if (id == kDelete) {
                Saved(hwnd, *d, m.SpeedButton2Click());
            } else if (id == kChange) {
                Saved(hwnd, *d, m.SpeedButton3Click());
            } else if (id == kOk) {
                m.Button1Click(*d->form);
                d->done = true;
            } else if (id == kCancel || id == IDCANCEL) {
                d->done = true;
            }
            return 0;
        }
        case WM_CLOSE:
            d->done = true;
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

}  // namespace

void RunTargetCadDialog(HINSTANCE instance, HWND owner, HFONT font, UINT dpi,
                        TargetCadDialog& model, Form& form, const std::filesystem::path& listFile) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DialogProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kDialogClass;
    RegisterClassExW(&wc);  // a second registration fails harmlessly

    std::optional<TTargetCadFile> file;
    if (std::filesystem::exists(listFile)) file = ReadTargetCadFile(listFile);
    model.FormShow(form.TargetProgID, file);

    auto s = [dpi](int v) { return MulDiv(v, static_cast<int>(dpi), 96); };
    constexpr int kW = 380;
    constexpr int kH = 250;
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_CONTROLPARENT;
    RECT outer{0, 0, s(kW), s(kH)};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    const int w = outer.right - outer.left;
    const int h = outer.bottom - outer.top;
    // Centred on the screen.
    const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    TDialog d;
    d.model = &model;
    d.form = &form;
    const HWND hwnd = CreateWindowExW(exStyle, kDialogClass, Wide(kTargetCadDialogCaption).c_str(),
                                      style, x, y, w, h, owner, nullptr, instance, &d);
    if (!hwnd) return;
    SetWindowTextW(hwnd, Wide(kTargetCadDialogCaption).c_str());
    auto add = [&](const wchar_t* cls, const std::string& text, DWORD st, DWORD ex, int id,
                   int cx, int cy, int cw, int ch) {
        const HWND c = CreateWindowExW(ex, cls, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | st,
                                       s(cx), s(cy), s(cw), s(ch), hwnd,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                                       nullptr);
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return c;
    };
    d.list = add(WC_LISTBOXW, "", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                 WS_EX_CLIENTEDGE, kList, 8, 8, 364, 120);
    add(WC_STATICW, kTargetCadEdit1Label, SS_LEFT, 0, 0, 8, 137, 150, 16);
    d.edit1 = add(WC_EDITW, "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, kEdit1, 160, 134,
                  212, 20);
    add(WC_STATICW, kTargetCadEdit2Label, SS_LEFT, 0, 0, 8, 161, 150, 16);
    d.edit2 = add(WC_EDITW, "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, kEdit2, 160, 158,
                  212, 20);
    add(WC_BUTTONW, kTargetCadAddCaption, WS_TABSTOP, 0, kAdd, 8, 188, 70, 24);
    add(WC_BUTTONW, kTargetCadDeleteCaption, WS_TABSTOP, 0, kDelete, 82, 188, 70, 24);
    add(WC_BUTTONW, kTargetCadChangeCaption, WS_TABSTOP, 0, kChange, 156, 188, 70, 24);
    add(WC_BUTTONW, kTargetCadOkCaption, WS_TABSTOP, 0, kOk, 226, 220, 70, 24);
    add(WC_BUTTONW, kTargetCadCancelCaption, WS_TABSTOP, 0, kCancel, 302, 220, 70, 24);
    SetWindowSubclass(d.edit1, EnterSubclass, 0, reinterpret_cast<DWORD_PTR>(&d));
    SetWindowSubclass(d.edit2, EnterSubclass, 0, reinterpret_cast<DWORD_PTR>(&d));
    Refresh(d);

    // Modal: the main window takes no input until the dialog closes.
    EnableWindow(owner, FALSE);
    ShowWindow(hwnd, SW_SHOW);
    SetFocus(d.list);
    MSG msg;
    while (!d.done) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (IsDialogMessageW(hwnd, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    EnableWindow(owner, TRUE);
    DestroyWindow(hwnd);
    SetForegroundWindow(owner);
}

}  // namespace zuka

#include "winui/main_window.h"



#include <algorithm>
#include <array>
#include <cstring>

#include "app/command_gate.h"
#include "app/key_filter.h"
#include "app/settings.h"
#include "base/number.h"
#include "solar/city_list.h"
#include "winui/target_cad_window.h"
#include "winui/wide_text.h"

namespace zuka {
namespace {

constexpr wchar_t kWindowClass[] = L"ZukaMainWindow";
constexpr wchar_t kPageClass[] = L"ZukaPage";
constexpr int kFirstId = 100;
constexpr int kProgressHeight = 10;
constexpr int kFontPoints = 9;

constexpr std::array<std::string_view, 8> kPageCaptions = {
    " 時刻", "等時間", "特定点", "天空１", "天空２", " 設定１", "設定２", "影倍率"};
constexpr std::array<std::string_view, 8> kPageNames = {
    "TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4",
    "TabSheet5", "TabSheet6", "TabSheet7", "TabSheet8"};

RECT R(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

std::string WindowText(HWND w) {
    const int n = GetWindowTextLengthW(w);
    std::wstring t(static_cast<std::size_t>(n) + 1, L'\0');
    GetWindowTextW(w, t.data(), n + 1);
    t.resize(static_cast<std::size_t>(n));
    return Utf8(t);
}

// Sets a control's text when it differs from what the control was last given (`shown`), so
// that a refresh during a long run touches only what changed.
void SetText(HWND w, const std::string& text, std::string& shown) {
    if (shown == text) return;
    shown = text;
    SetWindowTextW(w, Wide(text).c_str());
}

WinMainWindow* Self(HWND hwnd) {
    return reinterpret_cast<WinMainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// The window procedure of a window made with the WinMainWindow as its creation parameter: the
// pointer is kept with the window at WM_NCCREATE, then every message goes to `Proc`.
template <LRESULT (WinMainWindow::*Proc)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK Thunk(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    if (WinMainWindow* w = Self(hwnd)) return (w->*Proc)(hwnd, msg, wp, lp);
    return DefWindowProcW(hwnd, msg, wp, lp);
}

const WNDPROC MainProc = Thunk<&WinMainWindow::WindowProc>;
const WNDPROC PageProcThunk = Thunk<&WinMainWindow::PageProc>;

LRESULT CALLBACK EditSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR index,
                              DWORD_PTR self) {
    return reinterpret_cast<WinMainWindow*>(self)->EditProc(hwnd, msg, wp, lp, index);
}

// The monitor's dots per inch for `hwnd` (96 on systems that cannot say).
UINT DpiOf(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi && hwnd) {
        const UINT d = getDpi(hwnd);
        if (d > 0) return d;
    }
    const HDC dc = GetDC(nullptr);
    const int d = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    return d > 0 ? static_cast<UINT>(d) : 96;
}

// The window's outer size for a client area of w x h at `dpi`.
SIZE OuterSize(int w, int h, DWORD style, DWORD exStyle, UINT dpi) {
    RECT r{0, 0, w, h};
    using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = reinterpret_cast<AdjustFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (adjust) {
        adjust(&r, style, FALSE, exStyle, dpi);
    } else {
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
    }
    return SIZE{r.right - r.left, r.bottom - r.top};
}

int CALLBACK FontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool HasFont(const wchar_t* face) {
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    const HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &lf, FontFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

HFONT MakeFont(const std::wstring& face, UINT dpi) {
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(kFontPoints, static_cast<int>(dpi), 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    return CreateFontIndirectW(&lf);
}

// The character a WM_CHAR carries, as the key filters see it.
char16_t TypedChar(WPARAM wp) { return static_cast<char16_t>(wp); }

constexpr char kStopped[] = "中止しました．図面には何も作図していません．";

}  // namespace

std::wstring JapaneseUiFontFace() {
    for (const wchar_t* face : {L"Meiryo UI", L"Yu Gothic UI", L"MS UI Gothic", L"Noto Sans CJK JP",
                                L"Noto Sans JP"})
        if (HasFont(face)) return face;
    return L"MS UI Gothic";
}

WinMainWindow::WinMainWindow(Controller& c, WinUiHost& ui, CadChoice& cad, WorkFolder folder)
    : c_(c),
      ui_(ui),
      cad_(cad),
      folder_(std::move(folder)),
      targetDialog_(TargetCadFileSaver(folder_.dir / kTargetCadFileName)) {}

WinMainWindow::~WinMainWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
    if (font_) DeleteObject(font_);
    if (font96_) DeleteObject(font96_);
}

bool WinMainWindow::Create(HINSTANCE instance, bool show) {
    instance_ = instance;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES |
                                              ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS |
                                              ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = MainProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);
    WNDCLASSEXW pc{};
    pc.cbSize = sizeof(pc);
    pc.lpfnWndProc = PageProcThunk;
    pc.hInstance = instance;
    pc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    pc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    pc.lpszClassName = kPageClass;
    RegisterClassExW(&pc);

    const IniFile settings = LoadSettingsFile(folder_);
    const TScreenSize screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    c_.FormCreate(settings, screen);

    // Not resizable: a single border, the system menu and the minimise box only.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_CONTROLPARENT | WS_EX_TOPMOST;
    hwnd_ = CreateWindowExW(exStyle, kWindowClass, Wide(c_.form.Caption).c_str(), style,
                            c_.form.Left, c_.form.Top, kFormWidth, kFormHeight, nullptr, nullptr,
                            instance, this);
    if (!hwnd_) return false;
    ui_.mainWindow = hwnd_;
    ui_.refresh = [this] { Refresh(); };
    ui_.dispatch = [this](void* m) { Dispatch(*static_cast<MSG*>(m)); };
    dpi_ = DpiOf(hwnd_);
    fontFace_ = JapaneseUiFontFace();
    font96_ = MakeFont(fontFace_, 96);
    font_ = MakeFont(fontFace_, dpi_);

    tab_ = CreateWindowExW(WS_EX_CONTROLPARENT, WC_TABCONTROLW, L"",
                           WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP |
                               TCS_FIXEDWIDTH,
                           0, 0, kFormWidth, kFormHeight - kProgressHeight, hwnd_, nullptr,
                           instance, nullptr);
    SendMessageW(tab_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    for (std::size_t i = 0; i < kPageCaptions.size(); ++i) {
        std::wstring caption = Wide(kPageCaptions[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(tab_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    const RECT pr = PageRect();
    for (std::size_t i = 0; i < kPageCaptions.size(); ++i) {
        pages_.push_back(CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"",
                                         WS_CHILD | WS_CLIPSIBLINGS, pr.left, pr.top,
                                         pr.right - pr.left, pr.bottom - pr.top, tab_, nullptr,
                                         instance, this));
    }
    progress_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0,
                                kFormHeight - kProgressHeight, kFormWidth, kProgressHeight, hwnd_,
                                nullptr, instance, nullptr);
    SetWindowTextW(progress_, L"ProgressBar1");
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                               nullptr, instance, nullptr);
    Page0();
    Page1();
    Page2();
    Page3();
    Page4();
    Page5();
    Page6();
    Page7();
    ApplyDpi(dpi_);
    // Placed where the settings say, and above every other window.
    const SIZE outer = OuterSize(Scale(kFormWidth), Scale(kFormHeight), style, exStyle, dpi_);
    SetWindowPos(hwnd_, HWND_TOPMOST, c_.form.Left, c_.form.Top, outer.cx, outer.cy,
                 SWP_NOACTIVATE);
    Refresh();
    if (show) {
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        UpdateWindow(hwnd_);
    }
    return true;
}

int WinMainWindow::Scale(int v) const { return MulDiv(v, static_cast<int>(dpi_), 96); }

RECT WinMainWindow::PageRect() const {
    RECT r{0, 0, Scale(kFormWidth), Scale(kFormHeight - kProgressHeight)};
    if (tab_) SendMessageW(tab_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    return r;
}

void WinMainWindow::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    if (font_) DeleteObject(font_);
    font_ = MakeFont(fontFace_, dpi_);
    SendMessageW(tab_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    // The eight tabs side by side across the window's width.
    SendMessageW(tab_, TCM_SETITEMSIZE, 0,
                 MAKELPARAM(Scale((kFormWidth - 6) / static_cast<int>(kPageCaptions.size())),
                            Scale(20)));
    MoveWindow(tab_, 0, 0, Scale(kFormWidth), Scale(kFormHeight - kProgressHeight), FALSE);
    MoveWindow(progress_, 0, Scale(kFormHeight - kProgressHeight), Scale(kFormWidth),
               Scale(kProgressHeight), FALSE);
    const RECT pr = PageRect();
    for (HWND p : pages_)
        MoveWindow(p, pr.left, pr.top, pr.right - pr.left, pr.bottom - pr.top, FALSE);
    for (const auto& ctl : controls_) {
        const RECT& r = ctl->r;
        // A combo box's height is its drop-down list's.
        const int h = ctl->kind == Kind::Combo ? Scale(300) : Scale(r.bottom - r.top);
        MoveWindow(ctl->hwnd, Scale(r.left), Scale(r.top), Scale(r.right - r.left), h, FALSE);
        SendMessageW(ctl->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        if (ctl->kind == Kind::Grid) {
            for (std::size_t i = 0; i < ctl->columnWidths.size(); ++i)
                SendMessageW(ctl->hwnd, LVM_SETCOLUMNWIDTH, i, Scale(ctl->columnWidths[i]));
        }
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// --- Bound controls -------------------------------------------------------------------------

WinMainWindow::TControl& WinMainWindow::Add(Kind kind, int page, const std::string& name, RECT r,
                                            const wchar_t* cls, const std::string& text,
                                            DWORD style, DWORD exStyle) {
    auto ctl = std::make_unique<TControl>();
    ctl->kind = kind;
    ctl->name = name;
    ctl->page = page;
    ctl->r = r;
    ctl->id = kFirstId + static_cast<int>(controls_.size());
    const HWND parent = page >= 0 ? pages_[static_cast<std::size_t>(page)] : hwnd_;
    ctl->hwnd = CreateWindowExW(exStyle, cls, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                                r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(ctl->id)), instance_,
                                nullptr);
    SendMessageW(ctl->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    ctl->shown = text;
    controls_.push_back(std::move(ctl));
    return *controls_.back();
}

void WinMainWindow::Label(int page, int x, int y, const std::string& text, int w, int h) {
    if (w == 0) {
        // As wide as the caption at 96 dpi.
        const HDC dc = GetDC(hwnd_);
        const HGDIOBJ old = SelectObject(dc, font96_);
        const std::wstring t = Wide(text);
        SIZE s{};
        GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &s);
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
        w = s.cx + 2;
    }
    Add(Kind::Label, page, "", R(x, y, w, h), WC_STATICW, text, SS_LEFT | SS_NOPREFIX);
}

WinMainWindow::TControl& WinMainWindow::BoundLabel(int page, RECT r, std::string& field) {
    TControl& l = Add(Kind::Label, page, "", r, WC_STATICW, field, SS_LEFT | SS_NOPREFIX);
    l.text = &field;
    return l;
}

WinMainWindow::TControl& WinMainWindow::Edit(int page, const char* name, int x, int y, int w,
                                             std::string& field) {
    TControl& e = Add(Kind::Edit, page, name, R(x, y, w, 20), WC_EDITW, field,
                      WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
    e.text = &field;
    SetWindowSubclass(e.hwnd, EditSubclass, controls_.size() - 1, reinterpret_cast<DWORD_PTR>(this));
    return e;
}

WinMainWindow::TControl& WinMainWindow::Button(int page, const char* name, RECT r, TButton& b,
                                               std::function<void()> fn, const char* hint,
                                               bool command) {
    TControl& w = Add(Kind::Button, page, name, r, WC_BUTTONW, b.Caption,
                      WS_TABSTOP | BS_PUSHBUTTON);
    w.button = &b;
    w.fn = std::move(fn);
    w.command = command;
    if (hint) Hint(w.hwnd, hint);
    return w;
}

WinMainWindow::TControl& WinMainWindow::Check(int page, const char* name, RECT r,
                                              const std::string& caption, bool& field,
                                              std::function<void()> fn, const char* hint) {
    TControl& w = Add(Kind::Check, page, name, r, WC_BUTTONW, caption,
                      WS_TABSTOP | BS_AUTOCHECKBOX);
    w.check = &field;
    w.commandInput = static_cast<bool>(fn);
    w.fn = std::move(fn);
    if (hint) Hint(w.hwnd, hint);
    return w;
}

void WinMainWindow::Radio(int page, const char* name, RECT box, const std::string& title,
                          const std::vector<std::string_view>& items, int& field,
                          std::function<void()> fn, bool across) {
    Group(page, name, box, title);
    const int n = static_cast<int>(items.size());
    const int top = box.top + (title.empty() ? 10 : 16);
    const int width = box.right - box.left - 12;
    const int height = box.bottom - top - 4;
    for (int i = 0; i < n; ++i) {
        const RECT r = across ? R(box.left + 6 + i * width / n, top, width / n, 18)
                              : R(box.left + 8, top + i * height / n, width - 4, 18);
        TControl& w = Add(Kind::Radio, page, std::string(name) + "_" + std::to_string(i), r,
                          WC_BUTTONW, std::string(items[static_cast<std::size_t>(i)]),
                          BS_RADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0));
        w.radio = &field;
        w.radioIndex = i;
        w.fn = fn;
        w.commandInput = static_cast<bool>(fn);
    }
}

WinMainWindow::TControl& WinMainWindow::Group(int page, const char* name, RECT r,
                                              const std::string& title) {
    return Add(Kind::Group, page, name, r, WC_BUTTONW, title, BS_GROUPBOX);
}

WinMainWindow::TControl& WinMainWindow::Grid(int page, const char* name, RECT r,
                                             TGridCells& cells, int& row, std::vector<int> widths,
                                             std::function<void()> click) {
    TControl& g = Add(Kind::Grid, page, name, r, WC_LISTVIEWW, "",
                      WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                          LVS_NOSORTHEADER,
                      WS_EX_CLIENTEDGE);
    SendMessageW(g.hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    g.cells = &cells;
    g.row = &row;
    g.columnWidths = std::move(widths);
    g.fn = std::move(click);
    g.commandInput = true;
    const std::size_t cols = cells.empty() ? 0 : cells[0].size();
    for (std::size_t i = 0; i < cols; ++i) {
        std::wstring h = Wide(cells[0][i]);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.pszText = h.data();
        col.cx = i < g.columnWidths.size() ? g.columnWidths[i] : 70;
        SendMessageW(g.hwnd, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
    }
    return g;
}

WinMainWindow::TControl& WinMainWindow::UpDown(int page, const char* name, RECT r, bool across,
                                               std::function<void(bool)> step,
                                               const char* hint) {
    TControl& u = Add(Kind::UpDown, page, name, r, UPDOWN_CLASSW, "", across ? UDS_HORZ : 0);
    // Mid-range, and every change refused (UDN_DELTAPOS), so that both arrows always answer.
    SendMessageW(u.hwnd, UDM_SETRANGE32, 0, 100);
    SendMessageW(u.hwnd, UDM_SETPOS32, 0, 50);
    u.step = std::move(step);
    u.commandInput = true;
    if (hint) Hint(u.hwnd, hint);
    return u;
}

void WinMainWindow::Hint(HWND control, const char* hint) {
    std::wstring text = Wide(hint);
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = GetParent(control);
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.lpszText = text.data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

// --- Pages ----------------------------------------------------------------------------------

void WinMainWindow::Page0() {
    Form& f = c_.form;
    constexpr int p = 0;
    TControl& combo = Add(Kind::Combo, p, "ComboBox1", R(6, 6, 170, 300), WC_COMBOBOXW, "",
                          WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL);
    SendMessageW(combo.hwnd, CB_SETCUEBANNER, 0, reinterpret_cast<LPARAM>(L"都市参照"));
    Hint(combo.hwnd, "主要都市の緯度を採用");
    Label(p, 6, 37, "緯度");
    Edit(p, "Edit3", 34, 34, 32, f.Edit3);
    Label(p, 68, 37, "度");
    Edit(p, "Edit5", 84, 34, 32, f.Edit5);
    Label(p, 118, 37, "分");
    Edit(p, "Edit23", 134, 34, 32, f.Edit23);
    Label(p, 6, 63, "真北");
    Edit(p, "Edit12", 34, 60, 50, f.Edit12);
    Button(p, "SpeedButton1", R(90, 59, 70, 22), f.SpeedButton1, [this] { c_.SpeedButton1Click(); },
           "２点指示で真北を設定");
    Radio(p, "RadioGroup1", R(6, 84, 172, 34), "",
          {kRadioGroup1Items.begin(), kRadioGroup1Items.end()}, f.RadioGroup1,
          [this] { c_.RadioGroup1Click(); }, true);
    Label(p, 6, 127, "時刻");
    Edit(p, "Edit2", 34, 124, 42, f.Edit2);
    Label(p, 80, 127, "～");
    Edit(p, "Edit7", 96, 124, 42, f.Edit7);
    Label(p, 142, 127, "時");
    Label(p, 6, 152, "間隔");
    Edit(p, "Edit11", 34, 149, 42, f.Edit11);
    Label(p, 80, 152, "時間");
    Label(p, 6, 177, "測定面の高さ");
    Edit(p, "Edit4", 96, 174, 42, f.Edit4);
    Label(p, 142, 177, "ｍ");
    Button(p, "Button2", R(6, 206, 84, 28), f.Button2, [this] { c_.Button2Click(); },
           "建物の図形を選択（右クリックで前回取得した建物）");
    Button(p, "Button17", R(94, 206, 84, 28), f.Button17, [this] { c_.Button17Click(); },
           "時間ごとの日影線を表示");
    Button(p, "Button3", R(6, 238, 84, 28), f.Button3, [this] { Diagram(TimeOfDayCommand()); },
           "時刻日影図を作成", false);
    Button(p, "Button10", R(94, 238, 84, 28), f.Button10,
           [this] {
               if (activeRun_) {
                   activeRun_->Stop();
               } else {
                   c_.Button10Click();
               }
           },
           "アニメ、時刻日影の描画を中止", false);

    Add(Kind::Picture, p, "Image2", R(184, 6, kImage2Width, kImage2Height), WC_STATICW, "",
        SS_OWNERDRAW);
    UpDown(p, "UpDown3", R(184, 224, 36, 22), true, [this](bool up) { c_.UpDown3Click(up); },
           "左右に回転");
    UpDown(p, "UpDown4", R(224, 222, 18, 26), false, [this](bool up) { c_.UpDown4Click(up); },
           "上下に回転");
    Check(p, "CheckBox1", R(250, 226, 56, 18), "直下", f.CheckBox1, [this] { c_.CheckBox1Click(); },
          "仮想の直下線分を表示");
    Button(p, "SpeedButton2", R(322, 223, 76, 24), f.SpeedButton2,
           [this] { c_.SpeedButton2Click(); }, "表示中のイメージを描画");
}

void WinMainWindow::Page1() {
    Form& f = c_.form;
    constexpr int p = 1;
    Group(p, "GroupBox4", R(4, 2, 394, 156), "等時間日影図");
    for (int i = 0; i < kToujiHourCount; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        Check(p, ("CheckListBox1_" + std::to_string(i)).c_str(),
              R(14 + (i / 7) * 70, 20 + (i % 7) * 19, 66, 18), std::string(kCheckListBox1Items[k]),
              f.CheckListBox1[k], [this] { c_.CheckListBox1Click(); });
    }
    Radio(p, "RadioGroup5", R(160, 16, 84, 76), "評価時間", {kHyoukaItems.begin(), kHyoukaItems.end()},
          f.RadioGroup5, [this] { c_.RadioGroup5Click(); }, false);
    BoundLabel(p, R(160, 98, 234, 16), f.Label22);
    BoundLabel(p, R(160, 116, 234, 38), f.Label2);
    Button(p, "Button6", R(4, 164, 100, 26), f.Button6, [this] { Diagram(EqualTimeCommand()); },
           nullptr, false);
    Button(p, "Button7", R(108, 164, 64, 26), f.Button7,
           [this] {
               if (activeRun_) {
                   activeRun_->Stop();
               } else {
                   c_.Button7Click();
               }
           },
           nullptr, false);
    Button(p, "Button5", R(176, 164, 130, 26), f.Button5, [this] { Diagram(WallCommand()); },
           "壁面線分を選択", false);
    Group(p, "GroupBox9", R(4, 196, 394, 98), "壁面/壁面等時間");
    Check(p, "CheckBox4", R(12, 214, 150, 18), "壁線上に描く", f.CheckBox4);
    Check(p, "CheckBox12", R(12, 233, 150, 18), "ブロックとして作成", f.CheckBox12);
    Radio(p, "RadioGroup6", R(10, 252, 180, 38), "評価時間", {kHyoukaItems.begin(), kHyoukaItems.end()},
          f.RadioGroup6, [this] { c_.RadioGroup6Click(); }, true);
    BoundLabel(p, R(198, 214, 196, 16), f.Label24);
    BoundLabel(p, R(198, 232, 196, 16), f.Label26);
    Label(p, 198, 256, "※すべてがプラス座標でないと\n\u3000正しく作成されません｡", 196, 32);
}

void WinMainWindow::Page2() {
    Form& f = c_.form;
    constexpr int p = 2;
    // Column widths: 35 for the number, 70 for every other column.
    std::vector<int> widths(kStringGrid2Headings.size(), 70);
    widths[0] = 35;
    TControl& g = Grid(p, "StringGrid2", R(4, 4, 394, 196), f.StringGrid2, f.StringGrid2Row,
                       widths, [this] { c_.StringGrid2Click(); });
    Hint(g.hwnd, "右クリックで順位反転");
    Radio(p, "RadioGroup3", R(4, 204, 152, 34), "", {kHyoukaItems.begin(), kHyoukaItems.end()},
          f.RadioGroup3, {}, true);
    Label(p, 160, 217, "測定面の高さ");
    Edit(p, "Edit6", 232, 214, 34, f.Edit6).onChange = [this] { c_.Edit6Change(); };
    Label(p, 268, 217, "ﾒｰﾄﾙ");
    Label(p, 296, 217, "点番号修正");
    Edit(p, "Edit41", 358, 214, 40, f.Edit41).onChange = [this] { c_.Edit41Change(); };
    constexpr Controller::PointGrid kTokutei = Controller::PointGrid::StringGrid2;
    Button(p, "Button21", R(4, 246, 110, 28), f.Button21, [this] { c_.Button21Click(kTokutei); });
    Button(p, "Button22", R(118, 246, 110, 28), f.Button22, [this] { c_.Button22Click(kTokutei); });
    // 再計算 starts a run; while the run goes on it reads 中止 and stops it.
    Button(p, "Button23", R(232, 246, 80, 28), f.Button23,
           [this] {
               if (IsStopButton("Button23", c_.form.Button23)) {
                   c_.Button23Click();
               } else {
                   Command([this] { c_.Button23Click(); });
               }
           },
           nullptr, false);
    Button(p, "Button15", R(316, 246, 80, 28), f.Button15, [this] { c_.Button15Click(); });
}

void WinMainWindow::Page3() {
    Form& f = c_.form;
    constexpr int p = 3;
    Label(p, 6, 7, "図面の尺度");
    Edit(p, "Edit19", 66, 4, 50, f.Edit19);
    Button(p, "SpeedButton8", R(120, 3, 44, 22), f.SpeedButton8, [this] { c_.SpeedButton8Click(); },
           "DIMSCALEを取得");
    Label(p, 176, 7, "測定面高さ");
    Edit(p, "Edit17", 236, 4, 44, f.Edit17);
    Label(p, 284, 7, "ﾒｰﾄﾙ");
    Radio(p, "RadioGroup2", R(4, 26, 394, 36), "求積対象",
          {kRadioGroup2Items.begin(), kRadioGroup2Items.end()}, f.RadioGroup2,
          [this] { c_.RadioGroup2Click(); }, true);
    auto preset = [&](int x0, int typ) {
        const bool b = typ == 1;
        Group(p, b ? "GroupBox10" : "GroupBox6", R(x0, 64, 195, 190), b ? "type B " : "type A ");
        const struct {
            const char* caption;
            const char* name;
            std::string* field;
        } rows[] = {{"半径", b ? "Edit21" : "Edit15", b ? &f.Edit21 : &f.Edit15},
                    {"測定点No.", b ? "Edit14" : "Edit16", b ? &f.Edit14 : &f.Edit16},
                    {"文字", b ? "Edit22" : "Edit20", b ? &f.Edit22 : &f.Edit20},
                    {"目盛", b ? "Edit24" : "Edit13", b ? &f.Edit24 : &f.Edit13},
                    {"ﾊｯﾁ", b ? "Edit25" : "Edit18", b ? &f.Edit25 : &f.Edit18},
                    {"一括作図のXピッチ", b ? "Edit40" : "Edit8", b ? &f.Edit40 : &f.Edit8}};
        int y = 80;
        for (const auto& r : rows) {
            Label(p, x0 + 8, y + 3, r.caption);
            Edit(p, r.name, x0 + 122, y, 50, *r.field);
            y += 21;
        }
        UpDown(p, b ? "UpDown6" : "UpDown2", R(x0 + 173, 101, 16, 20), false, [this, b](bool up) {
            if (b) {
                c_.UpDown6Click(up);
            } else {
                c_.UpDown2Click(up);
            }
        });
        Check(p, b ? "CheckBox6" : "CheckBox3", R(x0 + 8, y + 1, 80, 18), "求積表",
              b ? f.CheckBox6 : f.CheckBox3)
            .tableBox = true;
        Check(p, b ? "CheckBox7" : "CheckBox5", R(x0 + 96, y + 1, 80, 18), "位置表",
              b ? f.CheckBox7 : f.CheckBox5)
            .tableBox = true;
        Button(p, b ? "Button11" : "Button8", R(x0 + 8, y + 22, 179, 24), b ? f.Button11 : f.Button8,
               [this, typ] { c_.Button8Click(typ); });
    };
    preset(4, 0);
    preset(203, 1);
    Check(p, "CheckBox10", R(6, 259, 96, 18), "天空図回転", f.CheckBox10);
    Button(p, "Button26", R(104, 256, 130, 24), f.Button26, [this] { c_.Button26Click(); });
    Button(p, "Button27", R(238, 256, 64, 24), f.Button27, [this] { c_.Button27Click(); });
    BoundLabel(p, R(6, 282, 392, 16), f.Label74).name = "Label74";
}

void WinMainWindow::Page4() {
    Form& f = c_.form;
    constexpr int p = 4;
    Grid(p, "StringGrid1", R(4, 4, 394, 192), f.StringGrid1, f.StringGrid1Row,
         {35, 50, 50, 55, 55, 45, 45, 45}, [this] { c_.StringGrid1Click(); });
    Radio(p, "RadioGroup4", R(4, 198, 166, 34), "", {kRadioGroup4Items.begin(), kRadioGroup4Items.end()},
          f.RadioGroup4, [this] { c_.RadioGroup4Click(); }, true);
    Label(p, 174, 211, "番号修正");
    Edit(p, "Edit10", 224, 208, 44, f.Edit10).onChange = [this] { c_.Edit10Change(); };
    Label(p, 272, 211, "高さ修正");
    Edit(p, "Edit26", 322, 208, 40, f.Edit26).onChange = [this] { c_.Edit26Change(); };
    Check(p, "CheckBox9", R(366, 209, 32, 18), "↓", f.CheckBox9);
    constexpr Controller::PointGrid kSokutei = Controller::PointGrid::StringGrid1;
    Button(p, "Button12", R(4, 238, 98, 26), f.Button12, [this] { c_.Button21Click(kSokutei); });
    Button(p, "Button16", R(106, 238, 98, 26), f.Button16, [this] { c_.Button22Click(kSokutei); });
    Button(p, "Button9", R(208, 238, 60, 26), f.Button9, [this] { c_.Button9Click(); });
    Label(p, 272, 243, "計画=内接, 適合=外接", 126);
    Button(p, "Button13", R(4, 268, 80, 26), f.Button13, [this] { c_.Button13Click(0); });
    Button(p, "Button14", R(88, 268, 80, 26), f.Button14, [this] { c_.Button13Click(1); });
    Button(p, "Button18", R(172, 268, 80, 26), f.Button18, [this] { c_.Button18Click(0); });
    Button(p, "Button24", R(256, 268, 80, 26), f.Button24, [this] { c_.Button18Click(1); });
}

void WinMainWindow::Page5() {
    Form& f = c_.form;
    constexpr int p = 5;
    Group(p, "GroupBox5", R(4, 2, 394, 176), "画層");
    const struct {
        const char* name;
        const char* caption;
        std::string* field;
    } layers[] = {{"Edit27", "時刻", &f.Edit27},   {"Edit28", "等時間", &f.Edit28},
                  {"Edit31", "壁面", &f.Edit31},   {"Edit30", "(枠)", &f.Edit30},
                  {"Edit29", "(等時)", &f.Edit29}, {"Edit32", "特定点", &f.Edit32},
                  {"Edit33", "天空図", &f.Edit33}, {"Edit34", "(目盛)", &f.Edit34},
                  {"Edit35", "(ﾊｯﾁ)", &f.Edit35},  {"Edit36", "(三斜)", &f.Edit36},
                  {"Edit37", "(位置)", &f.Edit37}, {"Edit50", "計算記録", &f.Edit50},
                  {"Edit51", "日影規制", &f.Edit51}};
    int i = 0;
    for (const auto& ly : layers) {
        const int x = 10 + (i / 7) * 196;
        const int y = 20 + (i % 7) * 22;
        Label(p, x, y + 3, ly.caption, 56);
        Edit(p, ly.name, x + 58, y, 126, *ly.field);
        ++i;
    }
    Group(p, "GroupBox11", R(4, 182, 160, 46), "共通");
    Label(p, 12, 203, "文字高さ");
    Edit(p, "Edit38", 62, 200, 50, f.Edit38);
    Label(p, 116, 203, "(実寸)");
    Group(p, "GroupBox7", R(168, 182, 230, 46), "等時間・壁面等時間");
    Check(p, "CheckBox8", R(176, 201, 120, 18), "ｽﾑｰｼﾞﾝｸﾞ係数", f.CheckBox8);
    TControl& e9 = Edit(p, "Edit9", 300, 200, 30, f.Edit9);
    SendMessageW(e9.hwnd, EM_SETREADONLY, TRUE, 0);
    UpDown(p, "UpDown5", R(331, 200, 16, 20), false,
           [this](bool up) { c_.UpDown5Click(up); });
    // The sky-factor detection setting is not offered (the group stays disabled).
    Group(p, "GroupBox13", R(4, 232, 394, 46), "天空率").alwaysDisabled = true;
    Label(p, 12, 253, "検出係数");
    controls_.back()->alwaysDisabled = true;
    Edit(p, "Edit39", 62, 250, 40, f.Edit39).alwaysDisabled = true;
    Label(p, 106, 253, "(大きくすると、低い塀を検出しやすくなる)", 290);
    controls_.back()->alwaysDisabled = true;
}

void WinMainWindow::Page6() {
    Form& f = c_.form;
    constexpr int p = 6;
    Button(p, "Button20", R(4, 4, 100, 26), f.Button20, [this] { c_.Button20Click(); },
           "敷地の線分を選択");
    Check(p, "CheckBox2", R(4, 36, 300, 18), "等時間の評価時間を 1/10 に", f.CheckBox2);
    Check(p, "CheckBox11", R(4, 56, 394, 18), "時刻日影図に時刻のみ記入（方位角不要）", f.CheckBox11);
    TControl& g15 = Group(p, "GroupBox15", R(4, 78, 394, 50), f.GroupBox15Caption);
    g15.text = &f.GroupBox15Caption;
    TControl& e42 = Edit(p, "Edit42", 12, 98, 300, f.Edit42);
    SendMessageW(e42.hwnd, EM_SETREADONLY, TRUE, 0);
    Button(p, "SpeedButton4", R(318, 96, 70, 24), f.SpeedButton4, [this] { SpeedButton4Click(); },
           nullptr, false);
    Group(p, "GroupBox16", R(4, 132, 394, 50), "換算");
    Edit(p, "Edit46", 12, 152, 40, f.Edit46);
    Label(p, 54, 155, "度");
    Edit(p, "Edit47", 70, 152, 30, f.Edit47);
    Label(p, 102, 155, "分");
    Edit(p, "Edit48", 118, 152, 30, f.Edit48);
    Label(p, 150, 155, "秒");
    Button(p, "SpeedButton7", R(170, 151, 26, 22), f.SpeedButton7,
           [this] { c_.SpeedButton7Click(); },
           nullptr, false);
    Button(p, "SpeedButton6", R(200, 151, 26, 22), f.SpeedButton6,
           [this] { c_.SpeedButton6Click(); },
           nullptr, false);
    Edit(p, "Edit49", 232, 152, 80, f.Edit49);
    Label(p, 316, 155, "度");
    Group(p, "", R(4, 186, 394, 46), "");
    Label(p, 12, 206, kProductName);
    Label(p, 100, 206, kBuildText);
}

void WinMainWindow::Page7() {
    Form& f = c_.form;
    constexpr int p = 7;
    Add(Kind::Memo, p, "Memo1", R(4, 4, 394, 256), WC_EDITW, "",
        WS_TABSTOP | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL |
            ES_AUTOVSCROLL,
        WS_EX_CLIENTEDGE);
    Button(p, "SpeedButton5", R(4, 266, 90, 26), f.SpeedButton5, [this] { c_.SpeedButton5Click(); });
    Check(p, "CheckBox14", R(100, 270, 140, 18), "度、分、秒で表示", f.CheckBox14);
    Check(p, "CheckBox15", R(244, 270, 140, 18), "小数点以下 3 桁", f.CheckBox15);
}

// --- Showing the Form -----------------------------------------------------------------------

void WinMainWindow::Refresh() {
    if (!hwnd_) return;
    refreshing_ = true;
    const Form& f = c_.form;
    const bool inputs = CommandInputsUsable(f);
    for (const auto& ctl : controls_) {
        TControl& t = *ctl;
        bool enabled = !t.alwaysDisabled;
        switch (t.kind) {
            case Kind::Edit:
            case Kind::Label:
            case Kind::Group:
                if (t.text) SetText(t.hwnd, *t.text, t.shown);
                break;
            case Kind::Button:
                enabled = ButtonUsable(f, t.name, *t.button);
                SetText(t.hwnd, t.button->Caption, t.shown);
                break;
            case Kind::Check:
                if ((SendMessageW(t.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED) != *t.check)
                    SendMessageW(t.hwnd, BM_SETCHECK, *t.check ? BST_CHECKED : BST_UNCHECKED, 0);
                if (t.tableBox) enabled = c_.tableBoxesEnabled;
                break;
            case Kind::Radio: {
                const bool on = *t.radio == t.radioIndex;
                if ((SendMessageW(t.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED) != on)
                    SendMessageW(t.hwnd, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
                break;
            }
            case Kind::Grid:
                RefreshGrid(t);
                break;
            case Kind::Combo: {
                const int n = static_cast<int>(SendMessageW(t.hwnd, CB_GETCOUNT, 0, 0));
                if (n != static_cast<int>(f.ComboBox1Items.size())) {
                    SendMessageW(t.hwnd, CB_RESETCONTENT, 0, 0);
                    for (const std::string& s : f.ComboBox1Items)
                        SendMessageW(t.hwnd, CB_ADDSTRING, 0,
                                     reinterpret_cast<LPARAM>(Wide(s).c_str()));
                }
                break;
            }
            case Kind::Memo: {
                std::string text;
                for (const std::string& line : f.Memo1) {
                    if (!text.empty()) text += "\r\n";
                    text += line;
                }
                SetText(t.hwnd, text, t.shown);
                break;
            }
            case Kind::Picture:
                InvalidateRect(t.hwnd, nullptr, FALSE);
                break;
            case Kind::UpDown:
                break;
        }
        if (t.commandInput && !inputs) enabled = false;
        if ((IsWindowEnabled(t.hwnd) != FALSE) != enabled) EnableWindow(t.hwnd, enabled);
    }
    SetText(hwnd_, f.Caption, shownCaption_);
    if (shownPage_ != f.PageControl1) ShowPage(f.PageControl1);
    const int max = std::max(f.ProgressBar1.Max, 1);
    SendMessageW(progress_, PBM_SETRANGE32, 0, max);
    SendMessageW(progress_, PBM_SETPOS, std::clamp(f.ProgressBar1.Position, 0, max), 0);
    refreshing_ = false;
}

void WinMainWindow::ShowPage(int page) {
    page = std::clamp(page, 0, static_cast<int>(pages_.size()) - 1);
    if (static_cast<int>(SendMessageW(tab_, TCM_GETCURSEL, 0, 0)) != page)
        SendMessageW(tab_, TCM_SETCURSEL, page, 0);
    for (std::size_t i = 0; i < pages_.size(); ++i)
        ShowWindow(pages_[i], static_cast<int>(i) == page ? SW_SHOW : SW_HIDE);
    shownPage_ = page;
}

void WinMainWindow::RefreshGrid(TControl& g) {
    const TGridCells& cells = *g.cells;
    if (g.shownRow == *g.row && g.shownCells == cells) return;
    g.shownCells = cells;
    g.shownRow = *g.row;
    const int rows = std::max(0, static_cast<int>(cells.size()) - 1);
    const int cols = cells.empty() ? 0 : static_cast<int>(cells[0].size());
    int have = static_cast<int>(SendMessageW(g.hwnd, LVM_GETITEMCOUNT, 0, 0));
    while (have > rows) SendMessageW(g.hwnd, LVM_DELETEITEM, --have, 0);
    for (int r = 0; r < rows; ++r) {
        const std::vector<std::string>& row = cells[static_cast<std::size_t>(r) + 1];
        for (int col = 0; col < cols; ++col) {
            std::wstring text = static_cast<std::size_t>(col) < row.size()
                                    ? Wide(row[static_cast<std::size_t>(col)])
                                    : std::wstring();
            LVITEMW it{};
            it.mask = LVIF_TEXT;
            it.iItem = r;
            it.iSubItem = col;
            it.pszText = text.data();
            if (r >= have && col == 0) {
                SendMessageW(g.hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it));
                ++have;
                continue;
            }
            wchar_t now[256] = {};
            LVITEMW get{};
            get.iSubItem = col;
            get.pszText = now;
            get.cchTextMax = 255;
            SendMessageW(g.hwnd, LVM_GETITEMTEXTW, r, reinterpret_cast<LPARAM>(&get));
            if (text != now) SendMessageW(g.hwnd, LVM_SETITEMTEXTW, r, reinterpret_cast<LPARAM>(&it));
        }
    }
    const int want = *g.row - 1;
    const int sel = static_cast<int>(SendMessageW(g.hwnd, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    if (want >= 0 && want < rows && sel != want) {
        LVITEMW st{};
        st.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        st.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(g.hwnd, LVM_SETITEMSTATE, want, reinterpret_cast<LPARAM>(&st));
        SendMessageW(g.hwnd, LVM_ENSUREVISIBLE, want, FALSE);
    }
}

void WinMainWindow::PaintPreview(const DRAWITEMSTRUCT& d) {
    // Drawn at the picture's own size and stretched to the control at the monitor's scale.
    const HDC mem = CreateCompatibleDC(d.hDC);
    const HBITMAP bmp = CreateCompatibleBitmap(d.hDC, kImage2Width, kImage2Height);
    const HGDIOBJ oldBmp = SelectObject(mem, bmp);
    const RECT all{0, 0, kImage2Width, kImage2Height};
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (!c_.ws.AryTatemono.empty()) {
        const TWakuPicture& pic = c_.WakuPicture();
        const HPEN pens[] = {CreatePen(PS_SOLID, 1, RGB(255, 0, 0)),
                             CreatePen(PS_SOLID, 1, RGB(192, 192, 192)),
                             CreatePen(PS_SOLID, 1, RGB(128, 128, 128))};
        const HGDIOBJ oldPen = SelectObject(mem, pens[0]);
        for (const TWakuLine& l : pic.lines) {
            SelectObject(mem, pens[static_cast<int>(l.kind)]);
            const TWakuPixel a = WakuPixel(pic, l.st, kImage2Width, kImage2Height);
            const TWakuPixel b = WakuPixel(pic, l.ed, kImage2Width, kImage2Height);
            MoveToEx(mem, a.col, a.row, nullptr);
            LineTo(mem, b.col, b.row);
        }
        SelectObject(mem, oldPen);
        for (HPEN pen : pens) DeleteObject(pen);
    }
    const RECT& r = d.rcItem;
    SetStretchBltMode(d.hDC, HALFTONE);
    StretchBlt(d.hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, mem, 0, 0, kImage2Width,
               kImage2Height, SRCCOPY);
    SelectObject(mem, oldBmp);
    DeleteObject(bmp);
    DeleteDC(mem);
}

// --- Commands -------------------------------------------------------------------------------

void WinMainWindow::Command(const std::function<void()>& handler) {
    RunCommand(c_.form, [this, &handler] {
        Refresh();
        ReportingErrors(ui_, handler);
    });
    AfterCommand();
}

void WinMainWindow::Diagram(TDiagramCommand cmd) {
    if (c_.form.CommandRunning) return;
    DiagramRun run(c_, std::move(cmd));
    activeRun_ = &run;
    DiagramEnd end = DiagramEnd::NothingDrawn;
    ReportingErrors(ui_, [&run, &end] { end = run.Run(); });
    activeRun_ = nullptr;
    // A stop the user asked for is said; what was drawn the CAD shows, and why nothing was
    // drawn the command has already said.
    if (end == DiagramEnd::Stopped && !ui_.closing) ui_.MessageBox(kApplicationTitle, kStopped);
    AfterCommand();
}

void WinMainWindow::AfterCommand() {
    Refresh();
    if (closePending_ && !c_.form.CommandRunning) Quit();
}

void WinMainWindow::CopyToClipboard(const std::string& text) {
    const std::wstring w = Wide(text);
    if (!OpenClipboard(hwnd_)) return;
    EmptyClipboard();
    const std::size_t bytes = (w.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* p = GlobalLock(mem)) {
            memcpy(p, w.c_str(), bytes);
            GlobalUnlock(mem);
            if (!SetClipboardData(CF_UNICODETEXT, mem)) GlobalFree(mem);
        } else {
            GlobalFree(mem);
        }
    }
    CloseClipboard();
}

void WinMainWindow::ShowButton2Menu(POINT at) {
    if (c_.form.CommandRunning) return;
    const Controller::TPopupMenu2State s = c_.Button2MouseDown();
    const HMENU menu = CreatePopupMenu();
    enum { kN8 = 1, kN6, kCancel };
    AppendMenuW(menu, MF_STRING | (s.N8 ? 0 : MF_GRAYED), kN8, L"直前に取得した図形を採用");
    AppendMenuW(menu, MF_STRING | (s.N6 ? 0 : MF_GRAYED), kN6, L"その１つ前に取得した図形を採用");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kCancel, L"取り消し");
    const int chosen = static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                                       at.x, at.y, 0, hwnd_, nullptr));
    DestroyMenu(menu);
    if (chosen == kN8 || chosen == kN6) Command([this] { c_.N6Click(); });
}

void WinMainWindow::ShowGridMenu(POINT at) {
    if (c_.form.CommandRunning) return;
    const HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(PopupMenu1Item::N2), L"順位を反転");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(PopupMenu1Item::N1),
                L"すべてをクリップボードにコピー");
    const int chosen = static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                                       at.x, at.y, 0, hwnd_, nullptr));
    DestroyMenu(menu);
    if (chosen != 0) PopupMenu1Click(static_cast<PopupMenu1Item>(chosen));
}

void WinMainWindow::PopupMenu1Click(PopupMenu1Item item) {
    if (c_.form.CommandRunning) return;
    if (item == PopupMenu1Item::N2) c_.N2Click();
    if (item == PopupMenu1Item::N1) CopyToClipboard(c_.N1Click());
    Refresh();
}

void WinMainWindow::OnContextMenu(HWND from, POINT at) {
    const TControl* t = nullptr;
    for (const auto& ctl : controls_)
        if (ctl->hwnd == from) t = ctl.get();
    if (!t) return;
    if (at.x == -1 && at.y == -1) {  // from the keyboard: at the control
        RECT r;
        GetWindowRect(from, &r);
        at = POINT{r.left + 4, r.top + 4};
    }
    if (t->name == "Button2") ShowButton2Menu(at);
    if (t->kind == Kind::Grid) ShowGridMenu(at);
}

void WinMainWindow::SpeedButton4Click() {
    RunTargetCadDialog(instance_, hwnd_, font_, dpi_, targetDialog_, c_.form,
                       folder_.dir / kTargetCadFileName);
    Refresh();
}

void WinMainWindow::OnCommand(int id, int code, HWND from) {
    TControl* t = ById(id);
    if (!t || t->hwnd != from) return;
    switch (t->kind) {
        case Kind::Button:
            if (code != BN_CLICKED || !ButtonUsable(c_.form, t->name, *t->button)) return;
            if (t->command) {
                Command(t->fn);
            } else {
                t->fn();
                Refresh();
            }
            return;
        case Kind::Check:
            if (code != BN_CLICKED) return;
            *t->check = SendMessageW(from, BM_GETCHECK, 0, 0) == BST_CHECKED;
            if (t->fn) Command(t->fn);
            Refresh();
            return;
        case Kind::Radio:
            if (code != BN_CLICKED || *t->radio == t->radioIndex) return;
            if (t->commandInput && !CommandInputsUsable(c_.form)) return;
            *t->radio = t->radioIndex;
            if (t->fn) Command(t->fn);
            Refresh();
            return;
        case Kind::Edit:
            if (code != EN_CHANGE || refreshing_ || !t->text) return;
            *t->text = WindowText(from);
            t->shown = *t->text;
            if (t->onChange) {
                t->onChange();
                Refresh();
            }
            return;
        case Kind::Combo:
            if (code == CBN_SELCHANGE) {
                c_.ComboBox1Select(static_cast<int>(SendMessageW(from, CB_GETCURSEL, 0, 0)));
                Refresh();
            }
            return;
        default:
            return;
    }
}

LRESULT WinMainWindow::OnNotify(NMHDR& n) {
    if (n.hwndFrom == tab_ && n.code == TCN_SELCHANGE) {
        const int page = static_cast<int>(SendMessageW(tab_, TCM_GETCURSEL, 0, 0));
        if (page != c_.form.PageControl1) {
            c_.PageControl1Change(page);
            Refresh();
        }
        return 0;
    }
    TControl* t = ById(static_cast<int>(n.idFrom));
    if (!t || t->hwnd != n.hwndFrom) return 0;
    if (t->kind == Kind::UpDown && n.code == UDN_DELTAPOS) {
        const auto& ud = reinterpret_cast<NMUPDOWN&>(n);
        const bool up = ud.iDelta > 0;
        Command([t, up] { t->step(up); });
        return TRUE;  // the control keeps its middle position
    }
    if (t->kind == Kind::Grid && (n.code == NM_CLICK || n.code == NM_RCLICK)) {
        const auto& a = reinterpret_cast<NMITEMACTIVATE&>(n);
        if (a.iItem < 0 || !CommandInputsUsable(c_.form)) return 0;
        *t->row = a.iItem + 1;
        if (t->fn) t->fn();
        Refresh();
    }
    return 0;
}

void WinMainWindow::Dispatch(MSG& msg) {
    if (hwnd_ && IsDialogMessageW(hwnd_, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

WinMainWindow::TControl* WinMainWindow::Find(std::string_view name) const {
    for (const auto& ctl : controls_)
        if (ctl->name == name) return ctl.get();
    return nullptr;
}

WinMainWindow::TControl* WinMainWindow::ById(int id) const {
    const int i = id - kFirstId;
    if (i < 0 || i >= static_cast<int>(controls_.size())) return nullptr;
    return controls_[static_cast<std::size_t>(i)].get();
}

HWND WinMainWindow::Control(std::string_view name) const {
    if (name == "PageControl1") return tab_;
    if (name == "ProgressBar1") return progress_;
    if (name == "Form1") return hwnd_;
    for (std::size_t i = 0; i < kPageNames.size() && i < pages_.size(); ++i)
        if (name == kPageNames[i]) return pages_[i];
    const TControl* t = Find(name);
    return t ? t->hwnd : nullptr;
}

// --- Keys -----------------------------------------------------------------------------------

LRESULT WinMainWindow::EditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, std::size_t index) {
    const TControl& t = *controls_[index];
    if (msg == WM_GETDLGCODE && lp) {
        // Enter belongs to the field (its filter decides), never to a default button.
        const MSG* m = reinterpret_cast<const MSG*>(lp);
        if ((m->message == WM_KEYDOWN || m->message == WM_CHAR) && m->wParam == VK_RETURN)
            return DefSubclassProc(hwnd, msg, wp, lp) | DLGC_WANTALLKEYS;
    }
    if (msg == WM_CHAR) {
        const char16_t ch = TypedChar(wp);
        // Control characters other than Enter and Backspace (Ctrl+C, Ctrl+V ...) are the
        // field's own editing keys.
        if (ch < 0x20 && ch != kKeyEnter && ch != kKeyBackspace)
            return DefSubclassProc(hwnd, msg, wp, lp);
        const Controller::TEditKey r = c_.EditKeyPress(t.name, ch);
        if (r.refresh) Refresh();
        if (!r.focusTo.empty())
            if (HWND next = Control(r.focusTo)) SetFocus(next);
        if (!r.passes) return 0;
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, EditSubclass, index);
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// --- Window procedures ----------------------------------------------------------------------

LRESULT WinMainWindow::PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CONTEXTMENU:
            return WindowProc(hwnd_, msg, wp, lp);
        case WM_DRAWITEM:
            PaintPreview(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
            return TRUE;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            const HDC dc = reinterpret_cast<HDC>(wp);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        default:
            return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

LRESULT WinMainWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            if (lp) OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
            // IDOK and IDCANCEL of the dialog keys: the window has no default button and no
            // Escape handling.
            return 0;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<NMHDR*>(lp));
        case WM_CONTEXTMENU:
            OnContextMenu(reinterpret_cast<HWND>(wp),
                          POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
            return 0;
        case 0x02E0: {  // WM_DPICHANGED: the window moved to a monitor of another scale
            const RECT* suggested = reinterpret_cast<const RECT*>(lp);
            ApplyDpi(HIWORD(wp));
            SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            Refresh();
            return 0;
        }
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_DESTROY:
            if (hwnd == hwnd_) {
                hwnd_ = nullptr;
                ui_.mainWindow = nullptr;
                PostQuitMessage(0);
            }
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

void WinMainWindow::OnClose() {
    if (c_.form.CommandRunning) {
        // Stop the run first; the window closes when its command has ended.
        closePending_ = true;
        c_.form.RunFlag = false;
        ui_.closing = true;
        if (activeRun_) activeRun_->Stop();
        return;
    }
    Quit();
}

void WinMainWindow::Quit() {
    closePending_ = false;
    if (!hwnd_) return;
    RECT r;
    if (!IsIconic(hwnd_) && GetWindowRect(hwnd_, &r)) {
        c_.form.Left = r.left;
        c_.form.Top = r.top;
    }
    SaveSettingsFile(c_.form, folder_, ui_);
    std::filesystem::path saved;
    std::string error;
    if (!cad_.SaveResult(c_, saved, error)) ui_.MessageBox(kApplicationTitle, error);
    DestroyWindow(hwnd_);
}

}  // namespace zuka

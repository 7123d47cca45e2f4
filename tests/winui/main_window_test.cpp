// The Windows main window as the user meets it: start values from the settings file, the key
// filters and Enter order, commands pressed on a drawing opened in the host with scripted picks,
// 中止 and a second start during a run, and the settings written on close.
#include "winui/main_window.h"

#include <gtest/gtest.h>

#include "winui/win32.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "temp_dir.h"
#include "winui/wide_text.h"

namespace zuka {
namespace {

std::string Text(HWND w) {
    const int n = GetWindowTextLengthW(w);
    std::wstring t(static_cast<std::size_t>(n) + 1, L'\0');
    GetWindowTextW(w, t.data(), n + 1);
    t.resize(static_cast<std::size_t>(n));
    return Utf8(t);
}

bool Checked(HWND w) { return SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void WriteFile(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

// One window over a work folder, and optionally over a drawing in the host.
class Window {
public:
    explicit Window(const std::filesystem::path& dir, const std::filesystem::path& drawing = {})
        : controller_(ui_, dir) {
        ui_.messageHook = [this](const std::string&, const std::string& text) {
            messages.push_back(text);
        };
        std::string error;
        EXPECT_TRUE(cad_.Choose(controller_, drawing, error)) << error;
        WorkFolder folder;
        folder.dir = dir;
        window_ = std::make_unique<WinMainWindow>(controller_, ui_, cad_, folder);
        EXPECT_TRUE(window_->Create(GetModuleHandleW(nullptr)));
        Pump();
    }

    HWND operator[](const char* name) const {
        const HWND w = window_->Control(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // Shows a page as a click on its tab does.
    void ShowPage(int page) {
        const HWND tab = window_->Control("PageControl1");
        SendMessageW(tab, TCM_SETCURSEL, page, 0);
        NMHDR n{tab, 0, TCN_SELCHANGE};
        SendMessageW(window_->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
    }
    void Click(const char* name) { SendMessageW((*this)[name], BM_CLICK, 0, 0); }
    void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) window_->Dispatch(msg);
    }
    void Close() {
        if (window_->Handle()) SendMessageW(window_->Handle(), WM_CLOSE, 0, 0);
        Pump();
    }

    Controller& C() { return controller_; }
    DrawingSession& Session() { return *cad_.Session(); }
    WinMainWindow& W() { return *window_; }
    std::vector<std::string> messages;

private:
    WinUiHost ui_;
    Controller controller_;
    CadChoice cad_;
    std::unique_ptr<WinMainWindow> window_;
};

int CountOnLayer(DrawingSession& s, const std::string& layer) {
    Block& ms = s.Host().ActiveDocument().ModelSpace();
    int n = 0;
    for (int i = 0; i < ms.Count(); ++i) n += ms.Item(i)->Layer() == layer;
    return n;
}

TEST(WinMainWindow, StartValuesFromTheSettingsFileOrTheDefaults) {
    struct TCase {
        const char* ini;  // the settings file; nullptr: none
        std::map<std::string, std::string> texts;
        std::map<std::string, bool> checks;
        std::map<std::string, bool> enabled;
    };
    const TCase cases[] = {
        {nullptr,
         {{"Edit4", "4.0"}, {"Edit11", "1.0"}, {"Edit19", "200"}, {"Edit3", "36"},
          {"Edit27", "ZUKA_JIKOKU"}, {"Edit9", "4"}},
         {{"RadioGroup5_1", true}, {"RadioGroup3_1", true}, {"RadioGroup6_1", true},
          {"CheckBox14", false}, {"CheckListBox1_0", true}, {"CheckListBox1_13", true},
          {"RadioGroup1_0", true}},
         {{"CheckBox3", false}, {"Button3", false}, {"Button2", true}}},
        {"[Common]\r\nido1=43\r\nkisetsu=7\r\n[Jikoku]\r\nkankaku=0.5\r\n[Touji]\r\n"
         "kankaku2=0\r\nchk3=0\r\ntyokusen=25\r\n[Bairitsu]\r\nuseDMS=1\r\n[Layer]\r\n"
         "Jikoku=my shadows\r\n[Tenku]\r\nMenseki=1\r\n",
         {{"Edit3", "43"}, {"Edit11", "0.5"}, {"Edit27", "my shadows"}, {"Edit9", "20"}},
         {{"RadioGroup5_0", true}, {"RadioGroup5_1", false}, {"CheckBox14", true},
          {"CheckListBox1_3", false}, {"RadioGroup1_2", true}, {"RadioGroup2_1", true},
          {"RadioGroup4_1", true}},
         // A building method read from the settings lets the table boxes be ticked.
         {{"CheckBox3", true}, {"CheckBox7", true}}},
    };
    for (const TCase& tc : cases) {
        SCOPED_TRACE(tc.ini ? tc.ini : "no settings file");
        testing::TempDir dir;
        if (tc.ini) WriteFile(dir.Path() / "zuka.ini", tc.ini);
        Window w(dir.Path());
        for (const auto& [name, text] : tc.texts) EXPECT_EQ(Text(w[name.c_str()]), text) << name;
        for (const auto& [name, on] : tc.checks) EXPECT_EQ(Checked(w[name.c_str()]), on) << name;
        for (const auto& [name, on] : tc.enabled)
            EXPECT_EQ(IsWindowEnabled(w[name.c_str()]) != FALSE, on) << name;
        // The window floats above the CAD and opens on page 0 with the design caption.
        EXPECT_NE(GetWindowLongPtrW(w.W().Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
        EXPECT_EQ(Text(w.W().Handle()), "Zuka2025.01.27 Beta");
        EXPECT_TRUE(IsWindowVisible(w["TabSheet1"]));
        EXPECT_FALSE(IsWindowVisible(w["TabSheet8"]));
        // The client area is the window's fixed size at the monitor's scale.
        RECT r;
        GetClientRect(w.W().Handle(), &r);
        const UINT dpi = 96;  // wine's default
        EXPECT_EQ(r.right, MulDiv(412, static_cast<int>(dpi), 96));
        EXPECT_EQ(r.bottom, MulDiv(335, static_cast<int>(dpi), 96));
        w.Close();
    }
}

TEST(WinMainWindow, TitleAndTargetGroupFromTheTargetCadList) {
    testing::TempDir dir;
    WriteFile(dir.Path() / "TargetCAD_APIVersion.txt",
              "\xEF\xBB\xBFテストCAD\tBricscadApp.AcadApplication\r\n");
    Window w(dir.Path());
    EXPECT_EQ(Text(w.W().Handle()), "Zuka2025.01.30 Beta [ テストCAD ]");
    EXPECT_EQ(Text(w["GroupBox15"]), "ターゲットCAD = テストCAD\t");
    EXPECT_EQ(Text(w["Edit42"]), "BricscadApp.AcadApplication");
    w.Close();
}

// What the user does in the target-CAD dialog while it is open: read by a timer, whose
// messages the dialog's own loop dispatches.
std::string gDialogEdit1;
void CALLBACK ChooseFirstTargetCad(HWND, UINT, UINT_PTR id, DWORD) {
    const HWND dialog = FindWindowW(L"ZukaTargetCadDialog", nullptr);
    if (!dialog) return;
    KillTimer(nullptr, id);
    gDialogEdit1 = Text(FindWindowExW(dialog, nullptr, L"Edit", nullptr));
    const HWND list = FindWindowExW(dialog, nullptr, L"ListBox", nullptr);
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    SendMessageW(FindWindowExW(dialog, nullptr, L"Button", L"OK"), BM_CLICK, 0, 0);
}

TEST(WinMainWindow, TargetCadChosenInItsDialog) {
    testing::TempDir dir;
    WriteFile(dir.Path() / "TargetCAD_APIVersion.txt",
              "A\tA.Application\r\nB\tBricscadApp.AcadApplication\r\nC\tC.App\r\n");
    Window w(dir.Path());
    EXPECT_EQ(Text(w.W().Handle()), "Zuka2025.01.30 Beta [ B ]");
    SetTimer(nullptr, 0, 50, ChooseFirstTargetCad);
    w.Click("SpeedButton4");
    EXPECT_EQ(gDialogEdit1, "B");  // the dialog opened on the target CAD
    EXPECT_EQ(Text(w.W().Handle()), "Zuka2025.01.30 Beta [ A ]");
    EXPECT_EQ(Text(w["Edit42"]), "A.Application");
    EXPECT_EQ(w.C().form.TargetProgID, "A.Application");
    EXPECT_TRUE(IsWindowEnabled(w.W().Handle()));
    w.Close();
}

TEST(WinMainWindow, KeyFiltersAndEnterOrder) {
    struct TCase {
        const char* edit;
        std::u16string typed;
        const char* text;     // what the field shows afterwards
        const char* focused;  // the field with the focus afterwards
    };
    const TCase cases[] = {
        {"Edit3", u"a4x2", "42", "Edit3"},
        {"Edit3", u"\r", "", "Edit5"},
        {"Edit5", u"\r", "", "Edit23"},
        {"Edit23", u"ab\r", "ab", "Edit23"},  // no filter; Enter stays
        {"Edit12", u"-1.5", "-1.5", "Edit12"},
        {"Edit12", u"\r", "", "Edit2"},
        {"Edit2", u"-8.5", "8.5", "Edit2"},
        {"Edit2", u"\r", "", "Edit7"},
        {"Edit7", u"\r", "", "Edit11"},
        {"Edit11", u"\r", "", "Edit4"},
        {"Edit4", u"3.0\r", "3.0", "Edit4"},
        {"Edit4", u"3\b", "", "Edit4"},
    };
    testing::TempDir dir;
    Window w(dir.Path());
    for (const TCase& tc : cases) {
        SCOPED_TRACE(tc.edit);
        const HWND e = w[tc.edit];
        SetWindowTextW(e, L"");
        SetFocus(e);
        for (char16_t ch : tc.typed) SendMessageW(e, WM_CHAR, ch, 0);
        EXPECT_EQ(Text(e), tc.text);
        EXPECT_EQ(GetFocus(), w[tc.focused]);
    }
    // Keys as the keyboard sends them, through the window's message loop (its dialog keys): Enter
    // reaches the field's filter, not a default button; "a" is swallowed.
    SetWindowTextW(w["Edit12"], L"");
    SetFocus(w["Edit12"]);
    for (WPARAM vk : {WPARAM{'A'}, WPARAM{'5'}, WPARAM{VK_RETURN}}) {
        PostMessageW(w["Edit12"], WM_KEYDOWN, vk, 1);
        PostMessageW(w["Edit12"], WM_KEYUP, vk, 0xC0000001);
    }
    w.Pump();
    EXPECT_EQ(Text(w["Edit12"]), "5");
    EXPECT_EQ(GetFocus(), w["Edit2"]);
    // What is typed is what the commands read.
    EXPECT_EQ(w.C().form.Edit4, "");
    EXPECT_EQ(w.C().form.Edit12, "5");
    w.Close();
}

TEST(WinMainWindow, CommandsOnADrawingStopAndOneRunAtATime) {
    testing::TempDir dir;
    const std::filesystem::path drawing = dir.Path() / "sample.dxf";
    std::filesystem::copy_file(std::filesystem::path(ZUKA_SOURCE_DIR) / "examples" / "sample.dxf",
                               drawing);
    Window w(dir.Path(), drawing);
    EXPECT_FALSE(IsWindowEnabled(w["Button3"]));
    // 取得: the buildings picked in the drawing.
    w.Session().Picks().PushSelection("layer=建物");
    w.Click("Button2");
    ASSERT_FALSE(w.C().ws.AryTatemono.empty());
    EXPECT_TRUE(IsWindowEnabled(w["Button3"]));
    // 時刻: the diagram into the drawing.
    w.Click("Button3");
    const int jikoku = CountOnLayer(w.Session(), "ZUKA_JIKOKU");
    EXPECT_GT(jikoku, 0);
    EXPECT_EQ(SendMessageW(w["ProgressBar1"], PBM_GETPOS, 0, 0), 0);

    // 等時間日影 with a click on 時刻 and then on 中止 waiting: the messages are processed during
    // the run, 時刻 does not start a second run, 中止 stops it, and nothing is inserted.
    w.ShowPage(1);
    EXPECT_TRUE(IsWindowVisible(w["TabSheet2"]));
    PostMessageW(w["Button3"], BM_CLICK, 0, 0);
    PostMessageW(w["Button7"], BM_CLICK, 0, 0);
    w.Click("Button6");
    EXPECT_EQ(CountOnLayer(w.Session(), "ZUKA_TOUJI"), 0);
    EXPECT_EQ(CountOnLayer(w.Session(), "ZUKA_JIKOKU"), jikoku);
    ASSERT_FALSE(w.messages.empty());
    EXPECT_EQ(w.messages.back(), "中止しました．図面には何も作図していません．");
    EXPECT_FALSE(w.C().form.CommandRunning);
    EXPECT_TRUE(IsWindowEnabled(w["Button6"]));

    // Closing keeps the user's drawing and saves what was drawn beside it.
    const std::uintmax_t before = std::filesystem::file_size(drawing);
    w.Close();
    EXPECT_EQ(std::filesystem::file_size(drawing), before);
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "sample-zuka.dxf"));
}

// Closing the window during a run stops the run first, inserts nothing, and then closes with
// the settings written.
TEST(WinMainWindow, ClosingDuringARunStopsItFirst) {
    testing::TempDir dir;
    const std::filesystem::path drawing = dir.Path() / "sample.dxf";
    std::filesystem::copy_file(std::filesystem::path(ZUKA_SOURCE_DIR) / "examples" / "sample.dxf",
                               drawing);
    Window w(dir.Path(), drawing);
    w.Session().Picks().PushSelection("layer=建物");
    w.Click("Button2");
    ASSERT_FALSE(w.C().ws.AryTatemono.empty());
    w.ShowPage(1);
    PostMessageW(w.W().Handle(), WM_CLOSE, 0, 0);
    w.Click("Button6");
    EXPECT_EQ(w.W().Handle(), nullptr);
    EXPECT_EQ(CountOnLayer(w.Session(), "ZUKA_TOUJI"), 0);
    EXPECT_TRUE(w.messages.empty());
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "zuka.ini"));
    w.Pump();
}

TEST(WinMainWindow, GridsShowTheirCells) {
    testing::TempDir dir;
    Window w(dir.Path());
    w.ShowPage(4);
    Form& f = w.C().form;
    f.StringGrid1 = {f.StringGrid1[0],
                     {"1", "100", "200", "A", "0", "", "", ""},
                     {"2", "300", "400", "B", "1.5", "", "", ""}};
    f.StringGrid1Row = 2;
    w.W().Refresh();
    const HWND g = w["StringGrid1"];
    EXPECT_EQ(SendMessageW(g, LVM_GETITEMCOUNT, 0, 0), 2);
    wchar_t cell[64] = {};
    LVITEMW it{};
    it.iSubItem = 3;
    it.pszText = cell;
    it.cchTextMax = 63;
    SendMessageW(g, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&it));
    EXPECT_EQ(Utf8(cell), "B");
    EXPECT_EQ(SendMessageW(g, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);
    // 順位を反転, then the grid copied to the clipboard as tab-separated rows.
    w.W().PopupMenu1Click(WinMainWindow::PopupMenu1Item::N2);
    EXPECT_EQ(f.StringGrid1[1][3], "B");
    SendMessageW(g, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&it));
    EXPECT_EQ(Utf8(cell), "B");
    w.W().PopupMenu1Click(WinMainWindow::PopupMenu1Item::N1);
    ASSERT_TRUE(OpenClipboard(w.W().Handle()));
    std::string copied;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        copied = Utf8(static_cast<const wchar_t*>(GlobalLock(h)));
        GlobalUnlock(h);
    }
    CloseClipboard();
    EXPECT_EQ(copied,
              "番号\t X座標\t Y座標\t 測定点\t 測定面\t 内接\t<AREA<\t 外接\r\n"
              "2\t300\t400\tB\t1.5\t\t\t\r\n1\t100\t200\tA\t0\t\t\t\r\n");
    // Back to one empty row.
    f.StringGrid1 = NewGrid(kStringGrid1Headings);
    w.W().Refresh();
    EXPECT_EQ(SendMessageW(g, LVM_GETITEMCOUNT, 0, 0), 1);
    w.Close();
}

// The city list and the angle converter fill their fields; the preview's arrows turn and tilt.
TEST(WinMainWindow, CityListConverterAndPreviewArrows) {
    testing::TempDir dir;
    Window w(dir.Path());
    const HWND combo = w["ComboBox1"];
    SendMessageW(combo, CB_SETCURSEL, 1, 0);  // 北海道 43°04′
    SendMessageW(GetParent(combo), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    EXPECT_EQ(Text(w["Edit3"]), "43");
    EXPECT_EQ(Text(w["Edit5"]), "04");
    EXPECT_EQ(Text(w["Edit23"]), "00");
    SetWindowTextW(w["Edit46"], L"35");
    SetWindowTextW(w["Edit47"], L"40");
    SetWindowTextW(w["Edit48"], L"0");
    w.Click("SpeedButton6");
    EXPECT_EQ(Text(w["Edit49"]), "35.6667");
    SetWindowTextW(w["Edit49"], L"130.5500");
    w.Click("SpeedButton7");
    EXPECT_EQ(Text(w["Edit46"]) + " " + Text(w["Edit47"]) + " " + Text(w["Edit48"]), "130 33 00");
    const auto arrow = [&](const char* name, int delta) {
        const HWND ud = w[name];
        NMUPDOWN n{};
        n.hdr = {ud, static_cast<UINT_PTR>(GetDlgCtrlID(ud)), UDN_DELTAPOS};
        n.iDelta = delta;
        SendMessageW(GetParent(ud), WM_NOTIFY, n.hdr.idFrom, reinterpret_cast<LPARAM>(&n));
    };
    arrow("UpDown3", 1);
    EXPECT_EQ(w.C().form.GB_Draw3dHdeg, 320);
    arrow("UpDown4", -1);
    EXPECT_EQ(w.C().form.GB_Draw3dVdeg, 55);
    arrow("UpDown5", 1);
    EXPECT_EQ(Text(w["Edit9"]), "5");
    // Showing page 影倍率 builds the ratio table of the latitude.
    w.ShowPage(7);
    EXPECT_EQ(Text(w["Memo1"]).rfind("影倍率表 [ 緯度 = 43.0667°]", 0), 0u) << Text(w["Memo1"]);
    // Without a drawing and without a running CAD, 取得 does nothing and the window stays
    // usable.
    w.Click("Button2");
    EXPECT_TRUE(w.C().ws.AryTatemono.empty());
    EXPECT_FALSE(w.C().form.CommandRunning);
    EXPECT_TRUE(IsWindowEnabled(w["Button2"]));
    w.Close();
}

TEST(WinMainWindow, SettingsSurviveClosingAndReopening) {
    testing::TempDir dir;
    {
        Window w(dir.Path());
        SetWindowTextW(w["Edit4"], L"7.5");
        SetWindowTextW(w["Edit27"], L"日影 時刻");
        w.Click("CheckBox14");
        w.Click("RadioGroup1_1");
        SetWindowPos(w.W().Handle(), nullptr, 100, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        w.Close();
    }
    Window w(dir.Path());
    EXPECT_EQ(Text(w["Edit4"]), "7.5");
    EXPECT_EQ(Text(w["Edit27"]), "日影 時刻");
    EXPECT_TRUE(Checked(w["CheckBox14"]));
    EXPECT_TRUE(Checked(w["RadioGroup1_1"]));
    RECT r;
    GetWindowRect(w.W().Handle(), &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 120);
    w.Close();
}

// The client area of `hwnd` as a 24-bit BMP file, as the screen shows it.
void SaveClientBmp(HWND hwnd, const std::filesystem::path& path) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT r;
    GetClientRect(hwnd, &r);
    const int w = r.right;
    const int h = r.bottom;
    const HDC src = GetDC(hwnd);
    const HDC mem = CreateCompatibleDC(src);
    const HBITMAP bmp = CreateCompatibleBitmap(src, w, h);
    const HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, src, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bi{};
    bi.biSize = sizeof(bi);
    bi.biWidth = w;
    bi.biHeight = h;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    bi.biCompression = BI_RGB;
    const int stride = (w * 3 + 3) & ~3;
    std::string pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(h), '\0');
    GetDIBits(mem, bmp, 0, static_cast<UINT>(h), pixels.data(),
              reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(hwnd, src);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(bi);
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(&fh), sizeof(fh));
    f.write(reinterpret_cast<const char*>(&bi), sizeof(bi));
    f.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
}

// The README's pictures of the window's pages, when ZUKA_SCREENSHOTS names a folder (run under
// Xvfb with wine's X11 driver): win-page0.bmp ... win-page7.bmp after a few commands.
TEST(WinMainWindow, Screenshots) {
    const char* out = std::getenv("ZUKA_SCREENSHOTS");
    if (!out) GTEST_SKIP() << "ZUKA_SCREENSHOTS not set";
    testing::TempDir dir;
    const std::filesystem::path drawing = dir.Path() / "sample.dxf";
    std::filesystem::copy_file(std::filesystem::path(ZUKA_SOURCE_DIR) / "examples" / "sample.dxf",
                               drawing);
    Window w(dir.Path(), drawing);
    w.Session().Picks().PushSelection("layer=建物");
    w.Click("Button2");
    w.Click("Button3");
    w.ShowPage(1);
    w.Click("Button6");
    w.ShowPage(2);
    w.Session().Picks().PushSelection("layer=測定点");
    w.Click("Button22");
    w.ShowPage(4);
    w.Session().Picks().PushSelection("layer=測定点");
    w.Click("Button16");
    for (int page = 0; page < 8; ++page) {
        w.ShowPage(page);
        for (int i = 0; i < 20; ++i) {
            w.Pump();
            Sleep(25);
        }
        SaveClientBmp(w.W().Handle(),
                      std::filesystem::path(out) / ("win-page" + std::to_string(page) + ".bmp"));
    }
    w.messages.clear();
    w.Close();
}

}  // namespace
}  // namespace zuka

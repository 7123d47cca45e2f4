// The main window on Windows: the small window that stays above the CAD, with the eight pages
// of inputs and command buttons, the preview picture and the progress bar, in the system's own
// controls. Every control is bound to the Form by its component name; the window calls the
// controller's handlers and shows the Form again afterwards. Nothing is computed here.
//
// Positions and sizes are given for 96 dots per inch and scaled to the monitor the window is
// on (again when it moves to another monitor).
#pragma once

#include "winui/win32.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/controller.h"
#include "app/diagram_run.h"
#include "app/target_cad.h"
#include "app/work_folder.h"
#include "winui/cad_choice.h"
#include "winui/win_ui_host.h"

namespace zuka {

class WinMainWindow {
public:
    WinMainWindow(Controller& c, WinUiHost& ui, CadChoice& cad, WorkFolder folder);
    ~WinMainWindow();
    WinMainWindow(const WinMainWindow&) = delete;
    WinMainWindow& operator=(const WinMainWindow&) = delete;

    // FormCreate from the work folder's settings file, then the window with every control,
    // placed where the settings say and made top-most. False when the window cannot be made.
    bool Create(HINSTANCE instance, bool show = true);
    HWND Handle() const { return hwnd_; }

    // Shows the Form on the controls (texts, checks, enabled states, grids, progress, preview).
    void Refresh();
    // Runs a handler as the one running command, telling the user of a text that is no number.
    void Command(const std::function<void()>& handler);
    // Runs a drawing command with its progress and its 中止.
    void Diagram(TDiagramCommand cmd);
    // The target-CAD dialog, shown modally.
    void SpeedButton4Click();
    TargetCadDialog& TargetDialog() { return targetDialog_; }
    // An item of the point grids' popup menu chosen, on the grid of the page shown: 順位を反転
    // (N2) or すべてをクリップボードにコピー (N1, the grid as tab-separated text).
    enum class PopupMenu1Item { N2 = 1, N1 = 2 };
    void PopupMenu1Click(PopupMenu1Item item);

    // One message of the program's loop: the dialog keys (Tab, Enter, arrows) of the window's
    // controls, else the message as it is.
    void Dispatch(MSG& msg);

    // The control of a component name ("Edit3", "Button2", "RadioGroup1_0", "PageControl1"),
    // null when there is none.
    HWND Control(std::string_view name) const;
    // The Japanese user-interface font the window chose.
    const std::wstring& FontFace() const { return fontFace_; }

    // The window's procedures (public for the system's callbacks).
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, std::size_t index);

private:
    enum class Kind { Label, Edit, Button, Check, Radio, Group, Combo, Grid, UpDown, Memo, Picture };
    struct TControl {
        Kind kind = Kind::Label;
        std::string name;
        int page = -1;  // its page; -1: the window itself
        RECT r{};       // at 96 dpi, in its page
        HWND hwnd = nullptr;
        int id = 0;
        std::string* text = nullptr;     // Edit, Label (bound text)
        bool* check = nullptr;           // Check
        int* radio = nullptr;            // Radio: the group's index field
        int radioIndex = 0;              // Radio: this button's index
        TButton* button = nullptr;       // Button
        bool command = true;             // Button: runs as a command (else directly)
        std::function<void()> fn;        // click, check, radio change, grid click
        std::function<void()> onChange;  // Edit: after the user changed the text
        std::function<void(bool)> step;  // UpDown
        TGridCells* cells = nullptr;     // Grid
        int* row = nullptr;              // Grid: the selected row
        std::vector<int> columnWidths;   // Grid, at 96 dpi
        bool commandInput = false;       // unusable while a command runs
        bool tableBox = false;           // 求積表 / 位置表
        bool alwaysDisabled = false;
        std::string shown;  // the text the control was last given
        TGridCells shownCells;  // Grid: the cells and row it last showed
        int shownRow = -1;
    };

    // Controls, each bound to the Form. x, y, w, h at 96 dpi within the page.
    TControl& Add(Kind kind, int page, const std::string& name, RECT r, const wchar_t* cls,
                  const std::string& text, DWORD style, DWORD exStyle = 0);
    void Label(int page, int x, int y, const std::string& text, int w = 0, int h = 16);
    TControl& BoundLabel(int page, RECT r, std::string& field);
    TControl& Edit(int page, const char* name, int x, int y, int w, std::string& field);
    TControl& Button(int page, const char* name, RECT r, TButton& b, std::function<void()> fn,
                     const char* hint = nullptr, bool command = true);
    TControl& Check(int page, const char* name, RECT r, const std::string& caption, bool& field,
                    std::function<void()> fn = {}, const char* hint = nullptr);
    // A radio group: its box (titled, or without a title) and its items across or down.
    void Radio(int page, const char* name, RECT box, const std::string& title,
               const std::vector<std::string_view>& items, int& field, std::function<void()> fn,
               bool across);
    TControl& Group(int page, const char* name, RECT r, const std::string& title);
    TControl& Grid(int page, const char* name, RECT r, TGridCells& cells, int& row,
                   std::vector<int> widths, std::function<void()> click);
    TControl& UpDown(int page, const char* name, RECT r, bool across,
                     std::function<void(bool)> step, const char* hint = nullptr);
    void Hint(HWND control, const char* hint);

    void Page0();
    void Page1();
    void Page2();
    void Page3();
    void Page4();
    void Page5();
    void Page6();
    void Page7();

    // Fonts, positions and sizes for the monitor's dots per inch.
    void ApplyDpi(UINT dpi);
    int Scale(int v) const;
    RECT PageRect() const;
    void ShowPage(int page);
    void RefreshGrid(TControl& g);
    void PaintPreview(const DRAWITEMSTRUCT& d);
    void OnCommand(int id, int code, HWND from);
    LRESULT OnNotify(NMHDR& n);
    void OnContextMenu(HWND from, POINT at);
    void ShowButton2Menu(POINT at);
    void ShowGridMenu(POINT at);
    void CopyToClipboard(const std::string& text);
    void AfterCommand();
    void OnClose();
    // Writes the settings file (and the host's drawing with what the commands drew) and
    // closes the window, which ends the program.
    void Quit();
    TControl* Find(std::string_view name) const;
    TControl* ById(int id) const;

    Controller& c_;
    WinUiHost& ui_;
    CadChoice& cad_;
    WorkFolder folder_;
    TargetCadDialog targetDialog_;
    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND tab_ = nullptr;
    HWND progress_ = nullptr;
    HWND tooltip_ = nullptr;
    std::vector<HWND> pages_;
    std::vector<std::unique_ptr<TControl>> controls_;
    HFONT font_ = nullptr;
    HFONT font96_ = nullptr;  // for measuring captions at 96 dpi
    std::wstring fontFace_;
    UINT dpi_ = 96;
    DiagramRun* activeRun_ = nullptr;
    bool refreshing_ = false;
    bool closePending_ = false;
    int shownPage_ = -1;
    std::string shownCaption_;
};

// The face of the Japanese user-interface font to use: the first of Meiryo UI, Yu Gothic UI,
// MS UI Gothic and Noto Sans CJK JP (what wine finds on a Linux system) that the system has.
std::wstring JapaneseUiFontFace();

}  // namespace zuka

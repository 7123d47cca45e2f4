// The main window's state, control by control, as the window holds it: edit texts as typed,
// check boxes, radio indices, list and grid cells as texts, label texts, the enabled state and
// caption of each button, the progress bar, and the run state shared by the commands.
//
// A default-constructed Form is what the user sees on a first start (no settings file): the
// settings file's defaults wherever it has a key, else the window's own design values. The GUI
// binds its widgets to these fields; the command line fills them from the settings file and its
// options; tests set them directly. Numbers are converted only when a command starts.
//
// Glossary: ido latitude, makita true north, kisetsu season, jikoku clock time, touji equal
// time, tokutei specific point, hekimen wall, tenku sky, hyouka evaluation, kankaku step.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zuka {

// The application title: message boxes carry it, and the window's title starts with it once
// the target CAD is known.
inline constexpr char kApplicationTitle[] = "Zuka2025.01.30 Beta";
// The window's title until the target CAD has been looked up.
inline constexpr char kDesignCaption[] = "Zuka2025.01.27 Beta";
// The information group on page 設定２.
inline constexpr char kProductName[] = "Zuka2025";
inline constexpr char kBuildText[] = "Build 2025.01.30 Beta";

// Client area of the fixed-size main window, pixels; also the size the window position is
// clamped with.
inline constexpr int kFormWidth = 412;
inline constexpr int kFormHeight = 335;

// The 3D preview picture Image2 on page 時刻, pixels.
inline constexpr int kImage2Width = 214;
inline constexpr int kImage2Height = 212;

inline constexpr char kDefaultTargetProgID[] = "BricscadApp.AcadApplication";
// GroupBox15's caption while no target CAD name is known.
inline constexpr char kGroupBox15Caption[] = "ターゲットCAD";

// Radio group items, in index order.
inline constexpr std::array<std::string_view, 3> kRadioGroup1Items = {"冬至", "秋春", "夏至"};
inline constexpr std::array<std::string_view, 3> kRadioGroup2Items = {"AREA", "計画建物",
                                                                      "適合建物"};
inline constexpr std::array<std::string_view, 3> kRadioGroup4Items = {"AREA", "計画", "適合"};
// Evaluation steps of RadioGroup3 (specific points), RadioGroup5 (equal time) and RadioGroup6
// (wall equal time); the index selects HyoukaTimeTable.
inline constexpr std::array<std::string_view, 3> kHyoukaItems = {"10秒", "30秒", "60秒"};

inline constexpr int kRadioGroup1Count = static_cast<int>(kRadioGroup1Items.size());
inline constexpr int kRadioGroup2Count = static_cast<int>(kRadioGroup2Items.size());
inline constexpr int kRadioGroup3Count = static_cast<int>(kHyoukaItems.size());
inline constexpr int kRadioGroup4Count = static_cast<int>(kRadioGroup4Items.size());
inline constexpr int kRadioGroup5Count = static_cast<int>(kHyoukaItems.size());
inline constexpr int kRadioGroup6Count = static_cast<int>(kHyoukaItems.size());

// The equal-time hours of CheckListBox1: item i is 1.5 + 0.5 i hours.
inline constexpr int kToujiHourCount = 14;
inline constexpr std::array<std::string_view, kToujiHourCount> kCheckListBox1Items = {
    "1.5Hr", "2.0Hr", "2.5Hr", "3.0Hr", "3.5Hr", "4.0Hr", "4.5Hr",
    "5.0Hr", "5.5Hr", "6.0Hr", "6.5Hr", "7.0Hr", "7.5Hr", "8.0Hr"};

// UpDown5: the smoothing line count shown in Edit9.
inline constexpr int kUpDown5Min = 2;
inline constexpr int kUpDown5Max = 20;

// Column headings (row 0) of the two point grids.
inline constexpr std::array<std::string_view, 8> kStringGrid1Headings = {
    "番号", " X座標", " Y座標", " 測定点", " 測定面", " 内接", "<AREA<", " 外接"};
inline constexpr std::array<std::string_view, 11> kStringGrid2Headings = {
    "番号",      " X座標",    " Y座標",    " 測定点",   " 日影時間", " 入時刻 1",
    " 出時刻 1", " 入時刻 2", " 出時刻 2", " 入時刻 3", " 出時刻 3"};

struct TButton {
    bool Enabled = true;
    std::string Caption;
    bool operator==(const TButton&) const = default;
};

struct TProgressBar {
    int Max = 100;
    int Position = 0;
    bool operator==(const TProgressBar&) const = default;
};

// A grid's cells by row, then column; row 0 holds the headings. A grid with a heading row always
// shows at least one data row, so a new grid has one empty data row.
using TGridCells = std::vector<std::vector<std::string>>;

// A new grid: the heading row and one empty data row.
template <std::size_t N>
TGridCells NewGrid(const std::array<std::string_view, N>& headings) {
    TGridCells cells(2, std::vector<std::string>(N));
    for (std::size_t c = 0; c < N; ++c) cells[0][c] = std::string(headings[c]);
    return cells;
}

struct Form {
    // --- Window -----------------------------------------------------------------------------
    int Left = 0;  // set from the settings file (centred on the screen without one)
    int Top = 0;
    std::string Caption = kDesignCaption;
    int PageControl1 = 0;  // index of the page shown, 0 to 7

    // --- Run state shared by the commands ---------------------------------------------------
    bool RunFlag = false;           // true while a long run loops; 中止 turns it false
    // True while a command's handler runs (looping, or waiting for a pick in the CAD): no other
    // command starts meanwhile (see command_gate.h).
    bool CommandRunning = false;
    bool PipelineProgress = false;  // the outline pipeline moves ProgressBar1 (sky runs only)
    std::array<int, 4> MeshSizeTable = {2000, 1600, 1200, 640};  // equal-time meshes
    std::array<int, 4> HyoukaTimeTable = {10, 30, 60, 120};      // evaluation steps, seconds
    bool useDxf = true;  // every drawing goes to the CAD as a DXF block; never changed
    int GB_toujiidx = -1;
    int GB_hyoukaidx = -1;
    std::string TargetProgID = kDefaultTargetProgID;
    // The 3D preview: turn and tilt in degrees, scale and centre of the picture (GB_cvsc = 0:
    // the next drawing fits the picture anew).
    int GB_Draw3dHdeg = 315;
    int GB_Draw3dVdeg = 60;
    double GB_cvsc = 0;
    double GB_xcen = 0;
    double GB_ycen = 0;

    // --- Page 0 " 時刻": place, day, time-of-day shadows ---------------------------------------
    std::vector<std::string> ComboBox1Items;  // city items; filled by the caller
    int ComboBox1ItemIndex = -1;
    std::string Edit3 = "36";     // latitude degrees
    std::string Edit5 = "0";      // latitude minutes
    std::string Edit23 = "0";     // latitude seconds
    std::string Edit12 = "90.0";  // drawing direction of true north, degrees
    int RadioGroup1 = 0;          // season: kRadioGroup1Items
    std::string Edit2 = "8.0";    // start hour
    std::string Edit7 = "16.0";   // end hour
    std::string Edit11 = "1.0";   // time step, hours
    std::string Edit4 = "4.0";    // measurement plane height, m
    // Turn and tilt of the 3D preview, degrees: the view an acquisition sets.
    int UpDown3 = 315;
    int UpDown4 = 60;
    bool CheckBox1 = true;  // 直下: footprints and vertical drops in the preview
    // Commands that need a building model start disabled; 取得 enables them.
    TButton SpeedButton1{false, "2点指示"};
    TButton SpeedButton2{true, "描画"};  // checks for a model itself
    TButton Button2{true, "取得"};
    TButton Button17{false, "ｱﾆﾒ"};
    TButton Button3{false, "時刻"};
    TButton Button10{false, "中止"};

    // --- Page 1 "等時間": equal-time and wall shadows -----------------------------------------
    std::array<bool, kToujiHourCount> CheckListBox1 = {true, true, true, true, true, true, true,
                                                       true, true, true, true, true, true, true};
    int RadioGroup5 = 1;  // evaluation step: kHyoukaItems
    std::string Label22;  // mesh preview notes
    std::string Label2;
    TButton Button6{false, "等時間日影"};
    TButton Button7{false, "中止"};
    TButton Button5{false, "壁面/壁面等時間"};
    bool CheckBox4 = true;    // 壁線上に描く
    bool CheckBox12 = false;  // ブロックとして作成
    int RadioGroup6 = 1;      // wall evaluation step: kHyoukaItems
    std::string Label24;
    std::string Label26;

    // --- Page 2 "特定点": specific points ----------------------------------------------------
    TGridCells StringGrid2 = NewGrid(kStringGrid2Headings);
    int StringGrid2Row = 1;           // the selected row
    int RadioGroup3 = 1;              // evaluation step: kHyoukaItems
    std::string Edit6 = "0.0";        // measurement plane height, m
    std::string Edit41 = "1";         // name of the selected point
    TButton Button15{false, "作成"};  // enabled once the times are computed
    TButton Button21{false, "特定点連続指示"};
    TButton Button22{false, "特定点一括取得"};
    TButton Button23{true, "再計算"};  // reads "中止" while it computes

    // --- Page 3 "天空１": sky maps -----------------------------------------------------------
    std::string Edit19 = "200";  // drawing scale
    TButton SpeedButton8{false, "取得"};
    std::string Edit17 = "0";  // sky-map plane height, m
    int RadioGroup2 = 0;       // 求積対象: kRadioGroup2Items
    // type A
    std::string Edit15 = "25";  // radius
    std::string Edit16 = "1";   // point number, driven by UpDown2
    int UpDown2 = 1;
    std::string Edit20 = "3.0";  // text
    std::string Edit13 = "0";    // scale marks
    std::string Edit18 = "0";    // hatch
    std::string Edit8 = "75";    // batch x pitch, paper mm
    bool CheckBox3 = true;       // 求積表
    bool CheckBox5 = true;       // 位置表
    // type B
    std::string Edit21 = "100";
    std::string Edit14 = "1";
    int UpDown6 = 1;
    std::string Edit22 = "10.0";
    std::string Edit24 = "10";
    std::string Edit25 = "2";
    std::string Edit40 = "300";
    bool CheckBox6 = true;
    bool CheckBox7 = true;
    bool CheckBox10 = true;                 // 天空図回転
    TButton Button8{false, "測定点指示"};   // type A
    TButton Button11{false, "測定点指示"};  // type B
    TButton Button26{true, "-BO で面積を確認"};
    TButton Button27{true, "作成"};
    std::string Label74;  // area and sky factor of the last map

    // --- Page 4 "天空２": measurement points -------------------------------------------------
    TGridCells StringGrid1 = NewGrid(kStringGrid1Headings);
    int StringGrid1Row = 1;  // the selected row
    int RadioGroup4 = 0;     // same choice as RadioGroup2: kRadioGroup4Items
    std::string Edit10;      // name of the selected row
    std::string Edit26;      // plane height of the selected row, m
    bool CheckBox9 = false;  // ↓: after 作図, move to the next row
    TButton Button12{false, "測定点連続指示"};
    TButton Button16{false, "測定点一括取得"};
    TButton Button13{true, "作図(A)"};
    TButton Button14{true, "作図(B)"};
    TButton Button18{false, "一括(A)"};
    TButton Button24{false, "一括(B)"};
    TButton Button9{false, "再計算"};

    // --- Page 5 " 設定１": layers and common settings ---------------------------------------
    std::string Edit27 = "ZUKA_JIKOKU";    // 時刻
    std::string Edit28 = "ZUKA_TOUJI";     // 等時間
    std::string Edit29 = "ZUKA_HTOJI";     // (等時) wall equal time
    std::string Edit30 = "ZUKA_HWAKU";     // (枠) wall frame
    std::string Edit31 = "ZUKA_HJIKOKU";   // 壁面
    std::string Edit32 = "ZUKA_NINI";      // 特定点
    std::string Edit33 = "ZUKA_TENKU";     // 天空図
    std::string Edit34 = "ZUKA_TMEMORI";   // (目盛)
    std::string Edit35 = "ZUKA_THATCH";    // (ﾊｯﾁ)
    std::string Edit36 = "ZUKA_TSANSYA";   // (三斜)
    std::string Edit37 = "ZUKA_TTATEITI";  // (位置)
    std::string Edit38 = "300.0";          // text height, drawing units
    bool CheckBox8 = true;                 // ｽﾑｰｼﾞﾝｸﾞ係数
    int UpDown5 = 4;                       // kUpDown5Min .. kUpDown5Max
    std::string Edit9 = "4";               // read-only, shows UpDown5
    std::string Edit39 = "1";              // 検出係数
    std::string Edit50 = "ZUKA_INFO";      // 計算記録: the calculation record of every drawing
    std::string Edit51 = "ZUKA_KISEI";     // 日影規制: the regulation check's lines and spot

    // --- Page 6 "設定２" ---------------------------------------------------------------------
    TButton Button20{false, "境界線作成"};
    bool CheckBox2 = false;  // 等時間の評価時間を 1/10 に
    bool CheckBox11 = true;  // 時刻日影図に時刻のみ記入（方位角不要）
    std::string GroupBox15Caption = kGroupBox15Caption;
    std::string Edit42;  // ProgID of the target CAD as found in the list
    TButton SpeedButton4{true, "変更"};
    std::string Edit46 = "130";  // 換算: degrees, minutes, seconds <-> decimal degrees
    std::string Edit47 = "33";
    std::string Edit48 = "00";
    std::string Edit49 = "130.5500";
    TButton SpeedButton7{true, "<"};
    TButton SpeedButton6{true, ">"};
    std::string Edit43 = "135.0";  // not shown; carries the settings key keido
    std::string Edit44 = "1.896";  // not shown; carries the settings key kinjisa

    // --- Page 7 "影倍率": shadow-length ratio table ------------------------------------------
    std::vector<std::string> Memo1;
    TButton SpeedButton5{true, "倍率表作成"};
    bool CheckBox14 = false;  // 度、分、秒で表示
    bool CheckBox15 = false;  // 小数点以下 3 桁

    // --- The sky-factor verdict's window (天空率の判定) ----------------------------------------
    std::string SkyCheckZone;       // 用途地域: 1住, 商業, ... (empty: not chosen)
    std::string SkyCheckFar;        // 容積率, percent (empty: not given)
    std::string SkyCheckKinds;      // road,adjacent,north (empty: what the zone makes apply)
    std::string SkyCheckRoads;      // 幅員[,後退距離] in metres, road by road, ";" between
    std::string SkyCheckRoadLevel = "0";  // the site ground above the road centre, metres
    std::string SkyCheckMargin = "0";     // 安全率, percent
    std::string SkyCheckCorners = "垂直";  // 端部の扱い: 垂直 or 沿線

    // --- Below the pages ---------------------------------------------------------------------
    TProgressBar ProgressBar1;

    bool operator==(const Form&) const = default;
};

// A grid's cell, or an empty text when the grid has no such cell.
std::string GridCell(const TGridCells& g, int row, std::size_t col);
// Sets a cell, widening its row when needed; a row the grid does not have is left alone.
void SetGridCell(TGridCells& g, int row, std::size_t col, std::string text);
// Both coordinate cells (columns 1 and 2) of a point grid's row are filled.
bool GridRowHasPoint(const TGridCells& g, int row);

// Sets a radio group's index as the control takes it: an index past the last item selects the
// last item; -1 (and anything below) selects nothing.
void SetRadio(int& field, int value, int itemCount);

// An up-down button bound to the number in `edit` (UpDown2 with Edit16, UpDown6 with Edit14):
// the number typed there (the position when there is none) goes one up or down, not below 0,
// and is shown again.
void StepAssociatedUpDown(std::string& edit, int& upDown, bool up);

// Sets UpDown5 within kUpDown5Min .. kUpDown5Max and shows the position in Edit9.
void SetUpDown5(Form& form, int position);

}  // namespace zuka

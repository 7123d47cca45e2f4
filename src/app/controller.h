// The main window's handlers over the window state: what the window runs when it is created,
// when a page is shown and when a command button is pressed. The GUI and the command line
// both drive this one controller; it owns the program-wide lists and the sun model.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/calc_record.h"
#include "app/cad_selection.h"
#include "app/command_scope.h"
#include "app/form.h"
#include "app/height_override.h"
#include "app/ini_file.h"
#include "app/key_filter.h"
#include "app/settings.h"
#include "app/ui_host.h"
#include "cad/automation.h"
#include "cad/bridge.h"
#include "cad/insert.h"
#include "geom/workspace.h"
#include "shadow/equal_time.h"
#include "shadow/kisei.h"
#include "shadow/time_of_day.h"
#include "shadow/tokutei.h"
#include "shadow/touji_grid.h"
#include "shadow/waku3d.h"
#include "sky/kyoukaisen.h"
#include "solar/sun_date.h"
#include "solar/sun_model.h"

namespace zuka {

struct TKabeParams;

// The regulation check of the equal-time shadows (the command line's `zuka check`): the site
// is picked as 境界線作成 picks it; its deemed lines bound the ground shaded `hours5` and
// `hours10` hours or longer.
struct TKiseiRequest {
    double hours5 = 4;             // H5: the limit at the 5 m line, hours
    double hours10 = 2.5;          // H10: at the 10 m line
    std::optional<double> planeM;  // the measurement plane (default: Edit4)
    bool tenth = false;            // 1-second samples instead of 10
    bool headroom = false;         // how far each building may move, up or down
    bool draw = true;              // the lines, outlines and tightest spot into the drawing
};

enum class KiseiStatus {
    NotRun,
    NoModel,     // no buildings acquired
    NoSite,      // nothing picked for the site
    SiteFailed,  // the site's outline did not close
    Stopped,     // 中止
    Undecided,   // the shaded ground reached the edge of the mesh
    Checked,
};

struct TKiseiRun {
    KiseiStatus status = KiseiStatus::NotRun;
    TKiseiRequest request;
    TKiseiParams params;
    TKyoukaisenResult sites;  // the sites' outlines and deemed lines
    TKiseiResult result;
    std::vector<TKiseiBuildingRoom> headroom;
};

class Controller {
public:
    Controller(UiHost& ui, std::filesystem::path workDir);

    // The creation sequence of the main window that does not concern the window system:
    // run-state tables, the city list (zuka_ido.txt in the work folder replaces the built-in
    // list), the settings, the season handler.
    void FormCreate(const IniFile& settings, TScreenSize screen = kCommandLineScreen);

    // Season changed: Sekii from RadioGroup1.
    void RadioGroup1Click();
    // The page shown changed.
    void PageControl1Change(int page);
    // The shadow-length ratio table (影倍率表) of the form's latitude, built into Memo1 and
    // returned: the title, the heading and a tab-separated line per hour. Throws ConvertError
    // for a latitude text that is no number.
    const std::vector<std::string>& MakeRatioTable();
    // The page 影倍率 shown: the ratio table built afresh.
    void SpeedButton3Click() { MakeRatioTable(); }

    // 取得: the user picks the buildings in the CAD; they become the building model.
    void Button2Click();
    // The right-click menu of 取得: which entries are enabled.
    struct TPopupMenu2State {
        bool N8 = false;  // "直前に取得した図形を採用": dxfnow.dxf exists
        bool N6 = false;  // "その１つ前に取得した図形を採用": dxfpre.dxf exists
        bool N4 = false;  // the separator: a building model is held
    };
    TPopupMenu2State Button2MouseDown() const;
    // N8 or N6 chosen: the commands work again on the model held in memory.
    void N6Click();
    // Another drawing was opened (or the drawing read again): the building model, the points
    // of both grids, the last results and the preview belonged to the drawing before and are
    // dropped, and the commands that need a model wait for 取得 again.
    void ForgetDrawing();

    // 時刻: the time-of-day shadow diagram into the drawing. Throws ConvertError for a text that
    // is no number before anything is drawn; refuses with a message (DiagramTimesRefusal) times
    // or a step it cannot draw, and says so when no wall stands above the measurement plane.
    void Button3Click();
    void DrawZukaLine(bool animeFlag);
    // ｱﾆﾒ: not supported; says so.
    void Button17Click();
    // 2点指示: true north from an angle picked in the CAD.
    void SpeedButton1Click();
    // The 3D preview on page 時刻 (Image2, kImage2Width x kImage2Height pixels): redraws the
    // picture from the building model, the turn, tilt and 直下 of the form; with makeDxf also
    // draws it into the CAD as a block of lines that the user places.
    void DrawWaku3D(bool makeDxf);
    const TWakuPicture& WakuPicture() const { return waku_; }
    // The turn (UpDown3) and tilt (UpDown4) buttons, 直下 (CheckBox1) and 描画 (SpeedButton2).
    void UpDown3Click(bool up);
    void UpDown4Click(bool up);
    void CheckBox1Click();
    void SpeedButton2Click();
    // 等時間日影: the equal-time shadow diagram into the drawing. Throws and refuses as 時刻
    // does; refuses too a period with no length and an evaluation step not chosen.
    void Button6Click();
    void DrawToujikan5A();
    // The mesh-size preview of the equal-time page, on a click in the hour list or a change
    // of the evaluation step (RadioGroup6, the wall's step, changes nothing here).
    void CheckListBox1Click();
    void RadioGroup5Click() {
        if (form.Button6.Enabled) CheckListBox1Click();
    }
    void RadioGroup6Click() {}
    // 壁面/壁面等時間: the user picks a wall line in the CAD; the elevation of its face with the
    // time-of-day and the equal-time shadows is laid along the wall line (CheckBox4) or placed
    // by the user, exploded or kept as a block (CheckBox12). Throws ConvertError for a text
    // that is no number, before any CAD work.
    void Button5Click();
    // 中止 on pages 0 and 1, and the common restore of the equal-time runs.
    void Button10Click() { form.RunFlag = false; }
    void Button7Click() { form.RunFlag = false; }

    // The sky-factor commands of the pages 天空１ and 天空２. typ is the preset: 0 type A
    // (Button8, Button13, Button18), 1 type B (Button11, Button14, Button24).
    // Method selection: each copies its index to the other and enables the four table boxes
    // when a building method (index above 0) is chosen.
    void RadioGroup2Click();
    void RadioGroup4Click();
    // 測定点指示: the user picks a measurement point (a TEXT within 1000 of it names it) and its
    // map is drawn at once, placed by the user; the point number goes up by 1.
    void Button8Click(int typ);
    // 作図: the map of the grid's selected row, placed by the user. Needs a running CAD.
    void Button13Click(int typ);
    // 一括: the maps of all filled rows, in a row along +X from the picked centre at the
    // preset's pitch (Edit8 / Edit40, paper mm).
    void Button18Click(int typ);
    // -BO で面積を確認: the area of the sky region around a picked point of a map drawn
    // without scale ticks, measured by the CAD's -BOUNDARY, into Label74.
    void Button26Click();
    // 作成: Label74 as one or two texts copied from a TEXT the user picks.
    void Button27Click();
    // 取得: the drawing scale from the CAD's DIMSCALE.
    void SpeedButton8Click();
    // 換算: the degrees of Edit49 into degrees, minutes and seconds (SpeedButton7), and back
    // (SpeedButton6).
    void SpeedButton7Click();
    void SpeedButton6Click();
    // 都市参照 (ComboBox1): the city item at `index` of ComboBox1Items chosen; its latitude into
    // Edit3, Edit5 and Edit23 (an index outside the list takes the empty item's defaults).
    void ComboBox1Select(int index);
    // The point-number up-downs (UpDown2 with Edit16 on 天空１, UpDown6 with Edit14 on 天空２)
    // and the smoothing count (UpDown5 with Edit9).
    void UpDown2Click(bool up) { StepAssociatedUpDown(form.Edit16, form.UpDown2, up); }
    void UpDown6Click(bool up) { StepAssociatedUpDown(form.Edit14, form.UpDown6, up); }
    void UpDown5Click(bool up) { SetUpDown5(form, form.UpDown5 + (up ? 1 : -1)); }
    // A key typed into the edit field `control`: the field's filter, or for the grids' cell
    // editors (Edit10, Edit26) their handlers. The front end swallows the key unless `passes`,
    // moves the focus to `focusTo` when it names a control, and shows the form again when
    // `refresh` (a cell editor's Enter wrote into the grid).
    struct TEditKey {
        bool passes = true;
        std::string focusTo;
        bool refresh = false;
    };
    TEditKey EditKeyPress(std::string_view control, char16_t key);
    // Grid editing. The key handlers set key to 0 when they swallow it.
    void StringGrid1Click();
    void Edit10Change();
    void Edit10KeyPress(char& key);
    void Edit26Change();
    void Edit26KeyPress(char& key);
    // すべてをクリップボードにコピー: the grid as text, cells joined by tabs, rows ended by
    // "\r\n"; the front end puts it on its clipboard.
    std::string N1Click();
    // 順位を反転: the point rows in reverse order (row 0 stays).
    void N2Click();
    // 再計算: the three sky factors of every grid row into columns 5 to 7. Throws ConvertError
    // for a radius, scale or north text that is no number, before anything changes; a radius
    // or scale of 0 or less is refused with a message, and nothing changes either. False when
    // refused or when there are no buildings.
    bool Button9Click();
    // One sky map of IDPOINT1 at MENTAKA: drawn, placed by the user (insertFlag) or centred at
    // insertVpt, measured, annotated, with the tables the preset's boxes ask for. Returns an
    // empty string. Throws ConvertError before any CAD work; AutomationError passes on.
    std::string MakeTenkuzu(int typ, bool insertFlag, std::optional<TAcadPoint> insertVpt);
    // A map drawn by the last sky command: where it stands and the figures it shows.
    struct TSkyMapDrawn {
        TAcadPoint centre;     // the map's placement
        std::string point;     // the measurement point's name on the map
        bool tekigou = false;  // circumscribed triangles (適合建物), else inscribed (計画建物)
        // By the triangles, as the map's notes give them: the sky factor (percent), the map
        // circle's area and the buildings' projected area (paper mm²). Empty without triangles.
        std::optional<double> ritu;
        double circle = 0;
        double projected = 0;
        // By the outline's area as the CAD measures it (AREA): the sky factor and the projected
        // area (paper mm²). Empty when it could not be measured.
        std::optional<double> areaRitu;
        double areaProjected = 0;
    };
    // The maps drawn by the last sky command, in order.
    const std::vector<TSkyMapDrawn>& SkyMaps() const { return skyMaps_; }
    // Their placements.
    std::vector<TAcadPoint> SkyMapCentres() const;

    // The measurement point, the placed map centre, the plane height (metres, as typed) and the
    // point names of the presets, as the last drawn map left them.
    TAcadPoint IDPOINT1;
    TAcadPoint IDPOINT2;
    std::string MENTAKA;
    std::string GB_TenMeiA;
    std::string GB_TenMeiB;
    // Whether the table boxes 求積表 and 位置表 of both presets (CheckBox3, CheckBox5,
    // CheckBox6, CheckBox7) can be ticked: only with a building method chosen.
    bool tableBoxesEnabled = false;
    // The grid the popup menu acts on.
    enum class PointGrid { StringGrid1, StringGrid2 };
    PointGrid sg = PointGrid::StringGrid1;

    // The wall of the last wall command, its ends ordered by the building side and its heights
    // completed.
    TLineEnt KabeSen;

    // The point capture of the pages 特定点 and 天空２. `grid` is StringGrid2 for the specific
    // points (Button21, Button22), StringGrid1 for the measurement points (Button12, Button16);
    // the capture ends in GetTokuteiJikan or in the sky factors of Button9Click. Refused while
    // a run is under way (RunFlag): the capture would change the grid under it.
    // 連続指示: the user picks one point after another, each named by the first TEXT within
    // 1000 of it (else its running number), until Enter or Escape.
    void Button21Click(PointGrid grid);
    // 一括取得: the user selects circles and their number texts together; each circle centre
    // is a point, named by the first TEXT whose insertion point lies within 1000 of it in x
    // and y (else its running number among the circles).
    void Button22Click(PointGrid grid);
    // The selection of 一括取得 alone: the circles become AryTempPoint, named by their texts.
    // False when nothing was selected (or the CAD failed; AryTempPoint is then empty).
    bool SelectCirclePoints();
    // The captured points (AryTempPoint) into the grid, which becomes sg: duplicates dropped,
    // sorted along the longer extent, one row each; AryTempPoint is emptied.
    void TempPointsToSG(PointGrid grid);
    // The shadow hours of every StringGrid2 row (columns 4 to 10), stepping through the
    // period at the evaluation step; stopped by Button23Click. Throws ConvertError for a text
    // that is no number, before anything changes.
    void GetTokuteiJikan();
    // 再計算 / 中止.
    void Button23Click();
    // 作成: the point table into the drawing.
    void Button15Click();
    void DrawNiniText();
    // Renaming the selected row of StringGrid2.
    void StringGrid2Click();
    void Edit41Change();
    // The plane height changed: 作成 waits for the next computation.
    void Edit6Change() { form.Button15.Enabled = false; }
    // The exact shaded intervals of the rows the last completed GetTokuteiJikan evaluated.
    struct TTokuteiExactRow {
        int row = 0;                         // StringGrid2 row
        double steppedHours = 0;             // the stepped total of that run
        std::vector<double> steppedChanges;  // its arrivals and departures, every one
        std::vector<TShadowInterval> intervals;
    };
    std::vector<TTokuteiExactRow> TokuteiExact() const;
    // The step of the specific points, seconds: RadioGroup3's item (the last table entry when
    // none is chosen), a tenth of it with CheckBox2.
    double TokuteiStepSeconds() const;

    // 境界線作成: the user picks the site's lines; its deemed boundary lines are drawn.
    void Button20Click();
    void MakeKyoukaisen(Application& app);
    const TKyoukaisenResult& LastKyoukaisen() const { return lastKyoukaisen_; }

    // 倍率表作成: Memo1 as a ruled table, placed by the user. A text height (Edit38) of 0 or
    // less is refused with a message.
    void SpeedButton5Click();

    // What the last drawing command inserted (empty when nothing).
    const TInsertResult& LastInsert() const { return lastInsert_; }
    // What the last time-of-day and equal-time diagrams drew.
    const TZukaResult& LastZuka() const { return lastZuka_; }
    const TToujiResult& LastTouji() const { return lastTouji_; }
    // The mesh of the last wall command's equal-time stage: cells per side and the cell size
    // (mm of the elevation); no cells when no part of the wall is shaded for an hour.
    struct TKabeMesh {
        int meshSize = 0;
        double mesh = 0;
    };
    const TKabeMesh& LastKabeMesh() const { return lastKabeMesh_; }

    // The regulation check: picks the site, checks, and with request.draw draws the deemed
    // lines, the outlines of the shaded ground and the tightest spot into the drawing (layer
    // Edit51). Throws ConvertError for an input that is no number, before any CAD work.
    void KiseiCheck(const TKiseiRequest& request);
    const TKiseiRun& LastKisei() const { return lastKisei_; }

    // The sun of a calendar day instead of RadioGroup1's season, until the season is chosen
    // again (RadioGroup1Click).
    void SetSunDate(const TSunDate& d);
    const std::optional<TSunDate>& SunDate() const { return sunDate_; }

    // Heights for flat plans: the acquisition puts the outlines of these layers and entities at
    // these heights (each counts the entities it gave its height to).
    std::vector<THeightOverride> heightOverrides;
    // The entities the last acquisition took as buildings.
    int TatemonoEntities() const { return tatemonoEntities_; }

    // The calculation record each drawing command leaves on the layer Edit50; false: none.
    bool leaveRecord = true;
    // The clock of the record's date and time.
    std::function<std::chrono::system_clock::time_point()> recordClock = [] {
        return std::chrono::system_clock::now();
    };

    // Whether a command stopped at its start, with a message, because a setting held a value
    // it cannot work with (a time outside the day, an end before the start, a step or an
    // evaluation step it cannot use, a map radius or scale of 0). Never cleared: the command
    // line runs one command and reports such a stop as bad usage.
    bool SettingsRefused() const { return settingsRefused_; }

    // The sun inputs as the window shows them.
    TSunTexts SunTexts() const;
    // Converts the sun inputs and sets the sun model (throws ConvertError naming the field).
    // A season index that selects no season, or a latitude at or beyond a pole, throws
    // RangeError naming the setting; the model is then left as it was.
    void SetTaiyouParams();
    // The same with the texts given (a command whose plane height is another field's).
    void SetTaiyouParams(const TSunTexts& texts);

    Form form;
    Workspace ws;
    SunModel sun;

    const std::filesystem::path& WorkDir() const { return workDir_; }
    UiHost& Ui() { return ui_; }
    // The register of running CADs that the commands look the target CAD up in.
    void SetCadConnector(CadConnector* cad) { cad_ = cad; }
    // What the next selection the user would make on the CAD's screen (the buildings of 取得,
    // the site, the measurement circles) is made by instead, without the user: the command
    // line's --buildings, --site and --points with a running CAD. Used once.
    std::optional<TCadSelection> scriptedSelection;

    // The window's run state as long loops see it: RunFlag, ProgressBar1, the message pump.
    // The run stops when RunFlag turns false (中止) or when the front end asks it to (Ctrl-C
    // on the command line).
    class FormRun : public RunContext {
    public:
        explicit FormRun(Controller& c) : c_(c) {}
        bool StopRequested() const override { return !c_.form.RunFlag || c_.ui_.StopRequested(); }
        void SetProgressMax(int max) override;
        void SetProgressPosition(int pos) override;
        void ProcessMessages() override { c_.ui_.ProcessMessages(); }

    private:
        Controller& c_;
    };

private:
    friend class CommandScope;

    // Runs `body` as one command in a CommandScope on the running CAD (without one, false and
    // o.noCad said when given; needCad false: the body runs without a CAD). A failure of the
    // CAD is reported once, after the scope has restored the run state.
    bool RunScoped(const TScopeOptions& o, const std::function<void(CommandScope&)>& body,
                   bool needCad = true);

    // Enables the commands that need a building model.
    void EnableModelCommands();
    // Why a shadow diagram draws nothing: no wall stands above the measurement plane (Edit4).
    std::string NothingStandsMessage() const;
    // Why a shadow diagram cannot run with these times (Edit2, Edit7) and this step (Edit11,
    // when given), or nothing when it can: a time outside the day, an end before the start
    // (with `strict`, not after it), a step not above 0 or giving more than 10,000 times.
    std::optional<std::string> DiagramTimesRefusal(double kaisi, double owari,
                                                   std::optional<double> step, bool strict) const;
    // Why an evaluation step index (Touji.<key>) cannot be used: it selects none.
    std::optional<std::string> HyoukaRefusal(std::string_view key, int index) const;
    // Shows the refusal of a setting's value in a message box; SettingsRefused from now on.
    void RefuseSettings(const std::string& message);
    // The user's selection on the CAD's screen into `ss` with the command's filter, or the
    // scripted selection when one is waiting.
    void SelectByUser(SelectionSet& ss, const std::vector<int>& filterTypes = {},
                      const std::vector<CadValue>& filterData = {});
    // The running target CAD, or nullptr.
    Application* RunningCad();
    // Message boxes, minimise and restore of the main window for the CAD routines.
    TCadUi CadUi();
    // The reports of this program's own where a command would otherwise end without a word:
    // the CAD failed to answer, or a block file could not be written.
    void ReportCadError(const AutomationError& e);
    // The tables and pictures that the user places: within an undo group, a new ZUKA_n block
    // that `fill` fills, placed by the user (InsertBuiltBlock), then a regeneration. The result
    // goes to LastInsert(); an automation error is reported. A stop the front end asks for while
    // the block is filled places nothing and leaves no block.
    void PlaceBuiltBlock(const std::function<void(Block&)>& fill, MainWindowMode mode,
                         RunKind kind);
    // The calculation record of a command of `kind` beside what it added to model space from
    // entity `first` on (nothing when it added nothing, or leaveRecord is off).
    void LeaveCalcRecord(Application& app, Document& doc, RunKind kind, int first);
    // The site's segments picked as 境界線作成 picks them, into AryLine (read and converted);
    // the count ReadSelEntities gives.
    int PickSiteSegments(Document& doc);
    void ReportNotSaved(const std::filesystem::path& file, const std::string& why = {});
    // The sun inputs read and the equal-time settings converted (throws ConvertError).
    struct TToujiInputs;
    TToujiInputs ReadToujiInputs();
    // The wall command's inputs, converted (throws ConvertError naming the field).
    TKabeParams ReadKabeParams();
    // Asks the user for the wall line; nullopt when cancelled or not a line.
    std::optional<TLineEnt> PickKabeLine(Document& doc);
    // The elevation of KabeSen drawn and inserted.
    void DrawKabe(Application& app, Document& doc, const TKabeParams& p);
    // The sky-map inputs of preset typ, converted (throws ConvertError naming the field).
    struct TSkyInputs;
    TSkyInputs ReadSkyInputs(int typ);
    void TenkuRinkaku(int typ, bool insertFlag, std::optional<TAcadPoint> insertVpt,
                      const TSkyInputs& in);
    TGridCells& SgCells();
    // A text height of 0 or less: says so and returns true.
    bool RefuseTextHeight(double h);

    UiHost& ui_;
    std::filesystem::path workDir_;
    CadConnector* cad_ = nullptr;
    TInsertResult lastInsert_;
    ToujiGrid toujiGrid_;
    std::vector<TSkyMapDrawn> skyMaps_;
    TWakuPicture waku_;
    // What the last completed GetTokuteiJikan evaluated: the rows, their points, the period.
    struct TTokuteiRun {
        std::vector<int> rows;
        std::vector<TAcadPoint> points;
        std::vector<TLineEnt> walls;
        TTokuteiStep step;
        SunModel sun;
        std::vector<TTokuteiRow> stepped;
    };
    std::optional<TTokuteiRun> lastTokutei_;
    TKyoukaisenResult lastKyoukaisen_;
    TZukaResult lastZuka_;
    TToujiResult lastTouji_;
    TKabeMesh lastKabeMesh_;
    TKiseiRun lastKisei_;
    std::optional<TSunDate> sunDate_;
    int tatemonoEntities_ = 0;
    bool settingsRefused_ = false;
};

}  // namespace zuka

// The sky-factor commands of the pages 天空１ and 天空２: picking a measurement point and
// drawing its map, the map of a grid row, the batch maps, the evaluation of every grid row,
// the area check with -BOUNDARY, the area label as text, the scale from the CAD, the grid's
// editing and its popup menu.
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/controller.h"
#include "app/grid_export.h"
#include "app/settings_table.h"
#include "app/sky_drawing.h"
#include "base/assert.h"
#include "base/number.h"
#include "geom/acquisition.h"
#include "geom/primitives.h"
#include "sky/outline_factor.h"
#include "sky/sky_map.h"
#include "sky/tateiti.h"
#include "sky/triangle.h"

namespace zuka {
namespace {

constexpr char kAreaRefused2[] =
    "[AREA]には対応していません．\n[計画建物]または[適合建物]にチェックを付けて下さい．";
constexpr char kAreaRefused4[] =
    "[AREA]には対応していません．\n[計画]または[適合]にチェックを付けて下さい．";
constexpr char kNoBuildings[] = "建物データがありません．";
constexpr char kEnclosedRows[] =
    "次の測定点は建物に半周以上囲まれているため、天空率を求めていません : ";
constexpr char kNoPointData[] = "測定点データがありません．";
constexpr char kNoRowSelected[] = "測定点データが選択されていません．";
constexpr char kPickFailed[] = "座標指示失敗．";
constexpr char kPointPrompt[] = "測定点を指示 : ";
constexpr char kPointPicked[] = "\r\n測定点が指示されました.\r\n";
constexpr char kCentrePrompt[] = "作成する天空図の中心座標を指示 : ";
constexpr char kCentrePicked[] = "\r\n指示されました.\r\n";
constexpr char kBatchProgress[] = "天空図作成中 ... ";
constexpr char kBatchDone[] = "天空図作成 ... 終了しました．";
constexpr char kBoundaryPrompt[] = "天空図円の中心付近の座標を指示 : ";
constexpr char kTextRefPrompt[] = "参照する TEXT を指示 : ";
constexpr char kTextAtPrompt[] = "TEXT作成の座標を指示 : ";

constexpr char kTooFine[] = " は 0 (なし) か 0.1 度以上にしてください: ";
constexpr char kFarRows[] =
    "次の測定点は座標が ±1000000000 mm を超えるか数値でないため、天空率を求めていません : ";
constexpr char kFarPoint[] =
    " の座標が ±1000000000 mm を超えるか数値でないため、天空図を作成できません．";
constexpr char kPointWord[] = "測定点 ";

// The finest scale ticks and hatch a map draws, degrees: 3,590 lines round the circle.
constexpr double kFinestLinesDeg = 0.1;

constexpr char kSelSetName[] = "ssZuka";
constexpr double kTextSearch = 1000;  // how far from a picked point its number text may stand

// Grid columns (row 0 holds the headings).
constexpr std::size_t kColX = 1;
constexpr std::size_t kColY = 2;
constexpr std::size_t kColName = 3;
constexpr std::size_t kColHeight = 4;
constexpr std::size_t kColNaisetu = 5;
constexpr std::size_t kColArea = 6;
constexpr std::size_t kColGaisetu = 7;
constexpr std::size_t kGridColumns = 8;

// The measurement point of a grid row: "x,y,0" read as a point; none when it is no point.
std::optional<TAcadPoint> RowPoint(const TGridCells& g, int row) {
    TAcadPoint p;
    if (!StrToAcadPoint(GridCell(g, row, kColX) + "," + GridCell(g, row, kColY) + ",0", p))
        return std::nullopt;
    return p;
}

std::string Trim(const std::string& s) {
    const std::size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const std::size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

double ReadWithDefault(const std::string& text, double fallback) {
    return ParseDouble(Trim(text)).value_or(fallback);
}

// The number of a system variable.
std::optional<double> VariableNumber(const CadValue& v) {
    if (const double* d = std::get_if<double>(&v)) return *d;
    if (const int* i = std::get_if<int>(&v)) return *i;
    if (const std::string* s = std::get_if<std::string>(&v)) return ParseDouble(*s);
    return std::nullopt;
}

// The up-down beside a point-number edit: it counts on from the number the edit shows.
void StepUpDown(std::string& edit, int& upDown) {
    if (const std::optional<long long> n = ParseInteger(Trim(edit))) upDown = static_cast<int>(*n);
    ++upDown;
    edit = std::to_string(upDown);
}

// Scale ticks or hatch lines every `deg` degrees: none at 0 or less, else not so fine that
// their count, not the map, decides how long the drawing takes.
void CheckLineSpacing(double deg, const std::string& text, const char* key) {
    if (deg > 0 && !(deg >= kFinestLinesDeg))
        throw RangeError(text, key, SettingName(*FindSetting("Tenku", key)) + kTooFine + text);
}

}  // namespace

struct Controller::TSkyInputs {
    TTenkuParams map;
    TSansyaParams sansya;
    TTateitiParams tateiti;
};

Controller::TSkyInputs Controller::ReadSkyInputs(int typ) {
    const bool b = typ == 1;
    TSkyInputs in;
    TTenkuParams& m = in.map;
    m.typ = b ? 1 : 0;
    m.scale = StrToFloat(form.Edit19, SettingName("Tenku", "Syakudo"));
    m.radiusA = StrToFloat(form.Edit15, SettingName("Tenku", "Hankei"));
    m.radiusB = StrToFloat(form.Edit21, SettingName("Tenku", "HankeiB"));
    m.textSize = b ? StrToFloat(form.Edit22, SettingName("Tenku", "MojiB"))
                   : StrToFloat(form.Edit20, SettingName("Tenku", "Moji"));
    m.meori = b ? StrToFloat(form.Edit24, SettingName("Tenku", "MemoriB"))
                : StrToFloat(form.Edit13, SettingName("Tenku", "Memori"));
    CheckLineSpacing(m.meori, b ? form.Edit24 : form.Edit13, b ? "MemoriB" : "Memori");
    m.kitaDeg = StrToFloat(form.Edit12, SettingName("Common", "makita"));
    m.rotateMap = form.CheckBox10;
    m.mentaka = MENTAKA;
    m.pointName = b ? GB_TenMeiB : GB_TenMeiA;
    m.planeHeightM = StrToFloat(form.Edit17, SettingName("Tenku", "Takasa"));
    m.layer = form.Edit33;
    m.meoriLayer = form.Edit34;

    TSansyaParams& s = in.sansya;
    s.scale = m.scale;
    s.radius = m.Radius() * m.scale;
    s.textSize = m.textSize * m.scale;
    s.hatchDeg = b ? StrToFloat(form.Edit25, SettingName("Tenku", "HatchB"))
                   : StrToFloat(form.Edit18, SettingName("Tenku", "Hatch"));
    CheckLineSpacing(s.hatchDeg, b ? form.Edit25 : form.Edit18, b ? "HatchB" : "Hatch");
    s.memori = b ? form.Edit24 : form.Edit13;
    s.northDeg = m.kitaDeg;
    s.rotDeg = TenkuRotationDeg(m);
    s.kyusekiHyo = b ? form.CheckBox6 : form.CheckBox3;
    s.itiHyo = b ? form.CheckBox7 : form.CheckBox5;
    s.tekigou = form.RadioGroup2 == 2;
    s.layerTenku = form.Edit33;
    s.layerHatch = form.Edit35;
    s.layerSansya = form.Edit36;
    s.layerIti = form.Edit37;
    s.idoDeg = form.Edit3;
    s.idoMin = form.Edit5;
    s.idoSec = form.Edit23;
    s.mentakaM = MentakaToMm(MENTAKA) / 1000;
    s.tenMei = b ? GB_TenMeiB : GB_TenMeiA;

    TTateitiParams& t = in.tateiti;
    t.scale = m.scale;
    t.radius = m.Radius();
    t.textSize = m.textSize;
    t.meori = s.memori;
    t.mentaka = MENTAKA;
    t.kitaDeg = m.kitaDeg;
    t.layer = form.Edit37;
    return in;
}

std::string Controller::MakeTenkuzu(int typ, bool insertFlag, std::optional<TAcadPoint> insertVpt) {
    Application* app = RunningCad();
    if (!app) return {};
    const TSkyInputs in = ReadSkyInputs(typ);
    if (!IsSanePoint(IDPOINT1)) {
        ui_.MessageBox(kApplicationTitle, kPointWord + ShownValue(in.map.pointName) + kFarPoint);
        return {};
    }
    // The main window comes back whatever way the map ends.
    struct TRestore {
        UiHost& ui;
        ~TRestore() { ui.RestoreMainWindow(); }
    } restore{ui_};

    ActivateCad(*cad_, *app);
    EnsureHiddenLinetype(*cad_, *app, form.TargetProgID, CadUi());
    for (const std::string* layer :
         {&form.Edit33, &form.Edit34, &form.Edit35, &form.Edit36, &form.Edit37})
        EnsureLayer(*app, *layer);

    FormRun run(*this);
    RunContext* progress = form.PipelineProgress ? &run : nullptr;
    DxfList dxf;
    const TTenkuResult made = MakeTenkuzuDxf(ws.AryTatemono, IDPOINT1, in.map, ws, dxf, progress);
    if (made.status == TenkuStatus::BadRadius || made.status == TenkuStatus::BadScale) {
        RefuseSettings(made.message);
        return {};
    }
    if (made.status == TenkuStatus::Enclosed) {
        ui_.MessageBox(kApplicationTitle, made.message);
        return {};
    }
    if (made.status != TenkuStatus::Drawn || run.StopRequested()) return {};

    Document& doc = app->ActiveDocument();
    const TTenkuPlacement placed = PlaceTenkuzu(
        dxf, {*cad_, *app, doc, form.TargetProgID}, {workDir_, DxfEncoding::Cp932}, CadUi(),
        insertFlag, insertVpt.value_or(TAcadPoint{}), TenkuRotationDeg(in.map));
    if (placed.status == TenkuPlaceStatus::NotSaved) {
        ReportNotSaved(placed.file, placed.why);
        return {};
    }
    if (placed.status == TenkuPlaceStatus::NotPlaced) return {};
    if (insertFlag) IDPOINT2 = placed.point;
    TSkyMapDrawn drawn;
    drawn.centre = placed.point;
    drawn.point = in.map.pointName;
    drawn.tekigou = in.sansya.tekigou;
    skyMaps_.push_back(drawn);
    TSkyInputs measured = in;
    measured.sansya.IDPOINT2 = IDPOINT2;
    TenkuRinkaku(typ, insertFlag, insertFlag ? std::nullopt : insertVpt, measured);
    return {};
}

void Controller::TenkuRinkaku(int typ, bool insertFlag, std::optional<TAcadPoint> insertVpt,
                              const TSkyInputs& in) {
    FormRun run(*this);
    RunContext* progress = form.PipelineProgress ? &run : nullptr;
    const TenkuOutlineStatus traced =
        TenkuRinkakuOutline(ws, typ, in.map.radiusA, in.map.radiusB, progress);
    if (traced == TenkuOutlineStatus::TooFew || traced == TenkuOutlineStatus::Stopped) return;
    if (traced == TenkuOutlineStatus::Failed) {
        ws.AryLine.clear();
        ui_.RestoreMainWindow();
        ui_.MessageBox(kApplicationTitle, TenkuFailedMessage());
        return;
    }
    Application* app = RunningCad();
    if (!app) return;
    Document& doc = app->ActiveDocument();
    const TCadTarget target{*cad_, *app, doc, form.TargetProgID};
    const TDxfOutput out{workDir_, DxfEncoding::Cp932};
    const TInsertLineEntResult r =
        InsertLineEnt(ws, target, out, CadUi(), in.sansya, insertFlag, insertVpt);
    if (r.mapInsert) lastInsert_ = *r.mapInsert;
    // The notes and the triangle table go in files of their own; one that cannot be written
    // (a point's name too long for a DXF line) is said, not left out silently.
    for (const std::optional<TInsertResult>* part : {&r.mapInsert, &r.tableInsert})
        if (*part && (*part)->status == InsertStatus::NotSaved)
            ReportNotSaved((*part)->file, (*part)->why);
    ZUKA_ASSERT(!skyMaps_.empty(), "MakeTenkuzu records the map before it is measured");
    TSkyMapDrawn& drawn = skyMaps_.back();
    if (r.sansya && !r.sansya->triangles.empty()) {
        drawn.ritu = r.sansya->tenkuRitu;
        drawn.circle = r.sansya->sector.enMenseki;
        drawn.projected = r.sansya->tousyaMenseki;
    }
    if (const std::optional<TTenkuArea> a = TenkuAreaOf(r.area, in.map.Radius(), in.map.scale)) {
        form.Label74 = FormatLabel74(*a);
        if (r.area > 0) {
            drawn.areaRitu = a->ritu;
            drawn.areaProjected = a->projected;
        }
    }
    if (insertFlag && r.drawTateiti) DrawTateiti(ws.AryTateiti, in.tateiti, target, out, CadUi());
}

void Controller::RadioGroup2Click() {
    form.RadioGroup4 = form.RadioGroup2;
    const bool tables = form.RadioGroup2 > 0;
    tableBoxesEnabled = tables;
}

void Controller::RadioGroup4Click() {
    form.RadioGroup2 = form.RadioGroup4;
    RadioGroup2Click();
}

void Controller::Button8Click(int typ) {
    // A refused or stopped run leaves nothing behind that looks drawn.
    skyMaps_.clear();
    lastInsert_ = {};
    if (form.RadioGroup2 == 0) {
        ui_.MessageBox(kApplicationTitle, kAreaRefused2);
        return;
    }
    form.PipelineProgress = true;
    MENTAKA = form.Edit17;
    GB_TenMeiA = form.Edit16;
    GB_TenMeiB = form.Edit14;
    if (ws.AryTatemono.empty()) {
        ui_.MessageBox(kApplicationTitle, kNoBuildings);
        return;
    }
    if (!RunningCad()) return;
    ReadSkyInputs(typ);  // a bad number stops the command before the user picks
    RunScoped(TScopeOptions().Undo().Regen().Run(), [&](CommandScope& scope) {
        Document& doc = scope.Doc();
        doc.SetVariable("BLIPMODE", 1);
        ws.AryTempPoint.clear();
        ui_.MinimiseMainWindow();
        SelectionSetPtr ss;
        try {
            const TAcadPoint p = doc.Utility().GetPoint(std::nullopt, kPointPrompt);
            doc.Utility().Prompt(kPointPicked);
            IDPOINT1 = p;
            ss = GetSelSet(doc, kSelSetName);
            ss->Select(1, {p.x - kTextSearch, p.y + kTextSearch, p.z},
                       {p.x + kTextSearch, p.y - kTextSearch, p.z}, {0}, {std::string("TEXT")});
            for (int i = 0; i < ss->Count(); ++i) {
                EntityPtr e = ss->Item(i);
                if (e->EntityName() != "AcDbText") continue;
                const std::string name = e->TextString();
                (typ == 1 ? form.Edit14 : form.Edit16) = name;
                (typ == 1 ? GB_TenMeiB : GB_TenMeiA) = name;
                break;
            }
        } catch (const AutomationError&) {
            // Cancelled or failed: the map of the previous point is drawn.
        }
        if (ss) {
            try {
                ss->Delete();
            } catch (const AutomationError&) {
            }
        }
        doc.SetVariable("BLIPMODE", 0);
        ui_.RestoreMainWindow();
        form.PipelineProgress = true;
        const int first = doc.ModelSpace().Count();
        MakeTenkuzu(typ, true, std::nullopt);
        if (!skyMaps_.empty()) LeaveCalcRecord(scope.App(), doc, RunKind::Sky, first);
        if (typ == 1) {
            StepUpDown(form.Edit14, form.UpDown6);
        } else {
            StepUpDown(form.Edit16, form.UpDown2);
        }
    });
}

void Controller::Button13Click(int typ) {
    // A refused or stopped run leaves nothing behind that looks drawn.
    skyMaps_.clear();
    lastInsert_ = {};
    if (form.RadioGroup4 == 0) {
        ui_.MessageBox(kApplicationTitle, kAreaRefused4);
        return;
    }
    form.PipelineProgress = true;
    if (ws.AryTatemono.empty()) {
        ui_.MessageBox(kApplicationTitle, kNoBuildings);
        return;
    }
    // Like the other drawing commands, nothing happens without a running CAD.
    if (!RunningCad()) return;
    ReadSkyInputs(typ);
    TGridCells& g = form.StringGrid1;
    const int row = form.StringGrid1Row;
    RunScoped(TScopeOptions().Undo().Regen().Run(), [&](CommandScope& scope) {
        Document& doc = scope.Doc();
        const std::optional<TAcadPoint> p = row > 0 ? RowPoint(g, row) : std::nullopt;
        if (row <= 0) {
            ui_.MessageBox(kApplicationTitle, kNoRowSelected);
        } else if (!GridRowHasPoint(g, row) || !p) {
            ui_.MessageBox(kApplicationTitle, kNoPointData);
        } else {
            IDPOINT1 = *p;
            (typ == 1 ? GB_TenMeiB : GB_TenMeiA) = GridCell(g, row, kColName);
            if (!GridCell(g, row, kColHeight).empty()) MENTAKA = GridCell(g, row, kColHeight);
            const int first = doc.ModelSpace().Count();
            MakeTenkuzu(typ, true, std::nullopt);
            if (!skyMaps_.empty()) LeaveCalcRecord(scope.App(), doc, RunKind::Sky, first);
            if (form.CheckBox9)
                form.StringGrid1Row = row + 1 < static_cast<int>(g.size()) ? row + 1 : 1;
        }
    });
}

void Controller::Button18Click(int typ) {
    // A refused or stopped run leaves nothing behind that looks drawn.
    skyMaps_.clear();
    lastInsert_ = {};
    if (form.RadioGroup4 == 0) {
        ui_.MessageBox(kApplicationTitle, kAreaRefused4);
        return;
    }
    form.PipelineProgress = true;
    if (!RunningCad()) return;
    FormRun run(*this);
    if (ws.AryTatemono.empty()) {
        ui_.RestoreMainWindow();
        ui_.MessageBox(kApplicationTitle, kNoBuildings);
        return;
    }
    ReadSkyInputs(typ);
    const double pitch =
        ReadWithDefault(typ == 1 ? form.Edit40 : form.Edit8, 0) * ReadWithDefault(form.Edit19, 0);
    RunScoped(TScopeOptions().Undo().Run(), [&](CommandScope& scope) {
        Document& doc = scope.Doc();
        const TGridCells& g = form.StringGrid1;
        const int rowCount = static_cast<int>(g.size());
        int lastFilled = 0;
        for (int r = rowCount - 1; r >= 1; --r) {
            if (GridRowHasPoint(g, r)) {
                lastFilled = r;
                break;
            }
        }
        std::optional<TAcadPoint> centre;
        if (lastFilled > 0) {
            ui_.MinimiseMainWindow();
            doc.SetVariable("BLIPMODE", 1);
            try {
                doc.Utility().Prompt(std::string("\r\n") + kCentrePrompt);
                centre = doc.Utility().GetPoint(std::nullopt, kCentrePrompt);
                doc.Utility().Prompt(kCentrePicked);
                cad_->Sleep(200);
            } catch (const AutomationError&) {
                centre.reset();
                ui_.MessageBox(kApplicationTitle, kPickFailed);
            }
            doc.SetVariable("BLIPMODE", 0);
            ui_.RestoreMainWindow();
        }
        const int first = doc.ModelSpace().Count();
        if (centre && pitch != 0) {
            TAcadPoint at = *centre;
            IDPOINT2 = *centre;
            for (int r = 1; r < rowCount && !run.StopRequested(); ++r) {
                doc.Utility().Prompt(kBatchProgress + std::to_string(r) + " / " +
                                     std::to_string(rowCount - 1));
                const std::optional<TAcadPoint> p = RowPoint(g, r);
                if (!GridRowHasPoint(g, r)) break;
                if (p) {
                    IDPOINT1 = *p;
                    (typ == 1 ? GB_TenMeiB : GB_TenMeiA) = GridCell(g, r, kColName);
                    if (!GridCell(g, r, kColHeight).empty()) MENTAKA = GridCell(g, r, kColHeight);
                    try {
                        MakeTenkuzu(typ, false, at);
                    } catch (const AutomationError&) {
                        // A map that fails is skipped; the row goes on.
                    }
                }
                at.x += pitch;
                IDPOINT2.x += pitch;
            }
        }
        if (!skyMaps_.empty()) LeaveCalcRecord(scope.App(), doc, RunKind::Sky, first);
        scope.End();
        doc.Utility().Prompt(kBatchDone);
        if (lastFilled == 0) ui_.MessageBox(kApplicationTitle, kNoPointData);
    });
    ui_.RestoreMainWindow();
}

void Controller::Button26Click() {
    form.Label74.clear();
    // The boundary it traces is deleted again: the drawing is left as it was.
    RunScoped({}, [&](CommandScope& scope) {
        ui_.MinimiseMainWindow();
        Document& doc = scope.Doc();
        try {
            const TAcadPoint p = doc.Utility().GetPoint(std::nullopt, kBoundaryPrompt);
            IDPOINT1 = p;
            Block& ms = doc.ModelSpace();
            const int before = ms.Count();
            doc.SendCommand("-BOUNDARY\r" + FormatFixed(p.x, 3) + "," + FormatFixed(p.y, 3) +
                            "\r\r");
            cad_->Sleep(500);
            if (ms.Count() > before) {
                SelectionSetPtr ss = doc.ActiveSelectionSet();
                ss->Clear();
                ss->Select(4, {}, {});
                for (int i = 0; i < ss->Count(); ++i) {
                    EntityPtr boundary = ss->Item(i);
                    if (boundary->EntityName() != "AcDbPolyline") continue;
                    const double s = ReadWithDefault(form.Edit19, 100);
                    double r = 0;
                    for (const EntityPtr& part : boundary->Explode()) {
                        if (part->EntityName() == "AcDbArc") r = std::max(r, part->Radius() / s);
                        part->Delete();
                    }
                    const double c = r * r * kPi;
                    if (c > 0) {
                        try {
                            const double a = boundary->Area() / (s * s);
                            form.Label74 = FormatLabel74({c, c - a, a / c * 100});
                        } catch (const AutomationError&) {
                            form.Label74.clear();
                        }
                    }
                    boundary->Delete();
                    break;
                }
                ss->Clear();
            }
        } catch (const AutomationError&) {
            // Cancelled or not measurable: the label stays empty.
        }
    });
    ui_.RestoreMainWindow();
}

void Controller::Button27Click() {
    if (form.Label74.empty()) return;
    std::string text = form.Label74;
    const std::string menseki = "面積";
    if (const std::size_t m = text.find(menseki); m != std::string::npos)
        text.replace(m, menseki.size(), "水平円射影面積");
    std::string line1 = text;
    std::optional<std::string> line2;
    if (const std::size_t t = text.find("天空", 1); t != std::string::npos) {
        line1 = Trim(text.substr(0, t));
        line2 = text.substr(t);
    }
    RunScoped(TScopeOptions().Undo(), [&](CommandScope& scope) {
        ui_.MinimiseMainWindow();
        Document& doc = scope.Doc();
        try {
            EntityPtr ref;
            TAcadPoint picked;
            doc.Utility().GetEntity(ref, picked, kTextRefPrompt);
            if (ref && ref->EntityName() == "AcDbText") {
                const TAcadPoint at = doc.Utility().GetPoint(std::nullopt, kTextAtPrompt);
                EntityPtr t1 = ref->Copy();
                t1->SetTextString(line1);
                t1->SetTextAlignmentPoint(at);
                t1->SetInsertionPoint(at);
                if (line2) {
                    const TAcadPoint below{at.x, at.y - 1.5 * ref->Height(), at.z};
                    EntityPtr t2 = ref->Copy();
                    t2->SetTextString(*line2);
                    t2->SetTextAlignmentPoint(below);
                    t2->SetInsertionPoint(below);
                }
            }
        } catch (const AutomationError&) {
            // Cancelled: nothing is written.
        }
        ActivateCad(*cad_, scope.App());
    });
    ui_.RestoreMainWindow();
}

void Controller::SpeedButton8Click() {
    RunScoped({}, [&](CommandScope& scope) {
        const std::optional<double> s = VariableNumber(scope.Doc().GetVariable("DIMSCALE"));
        if (s && *s > 0.01) form.Edit19 = FormatFixed(*s, 2);
    });
}

void Controller::StringGrid1Click() {
    const TGridCells& g = form.StringGrid1;
    const int row = form.StringGrid1Row;
    if (GridCell(g, row, kColX).empty()) return;
    form.Edit10 = GridCell(g, row, kColName);
    form.Edit26 = GridCell(g, row, kColHeight);
}

void Controller::Edit10Change() {
    if (GridCell(form.StringGrid1, form.StringGrid1Row, kColX).empty()) return;
    SetGridCell(form.StringGrid1, form.StringGrid1Row, kColName, form.Edit10);
}

Controller::TEditKey Controller::EditKeyPress(std::string_view control, char16_t key) {
    TEditKey out;
    if (control == "Edit10" || control == "Edit26") {
        char c = key < 128 ? static_cast<char>(key) : 'x';
        if (control == "Edit10") {
            Edit10KeyPress(c);
        } else {
            Edit26KeyPress(c);
        }
        if (c != 0) return out;
        out.passes = false;
        if (key == kKeyEnter) {
            out.refresh = true;
            out.focusTo = control == "Edit10" ? "Edit26" : "Edit10";
        }
        return out;
    }
    const TKeyResult r = KeyPress(control, key);
    out.focusTo = std::string(r.focusTo);
    // Enter never reaches a field: it moves the focus or stays.
    out.passes = r.passes && key != kKeyEnter;
    return out;
}

void Controller::Edit10KeyPress(char& key) {
    if (key != '\r') return;
    SetGridCell(form.StringGrid1, form.StringGrid1Row, kColName, form.Edit10);
    key = 0;  // the focus moves on to Edit26
}

void Controller::Edit26Change() {
    if (!GridRowHasPoint(form.StringGrid1, form.StringGrid1Row)) return;
    SetGridCell(form.StringGrid1, form.StringGrid1Row, kColHeight, form.Edit26);
    for (TButton* b : {&form.Button13, &form.Button14, &form.Button18, &form.Button24})
        b->Enabled = false;
}

void Controller::Edit26KeyPress(char& key) {
    const bool digit = key >= '0' && key <= '9';
    if (!digit && key != '.' && key != '-' && key != '\r' && key != '\b') {
        key = 0;
        return;
    }
    if (key != '\r') return;
    key = 0;  // the focus moves on to Edit10
    TGridCells& g = form.StringGrid1;
    const int row = form.StringGrid1Row;
    if (!GridRowHasPoint(g, row)) return;
    if (!Trim(form.Edit26).empty()) SetGridCell(g, row, kColHeight, form.Edit26);
    form.StringGrid1Row = row + 1 < static_cast<int>(g.size()) ? row + 1 : 1;
}

TGridCells& Controller::SgCells() {
    sg = form.PageControl1 == 2 ? PointGrid::StringGrid2 : PointGrid::StringGrid1;
    return sg == PointGrid::StringGrid2 ? form.StringGrid2 : form.StringGrid1;
}

std::vector<TAcadPoint> Controller::SkyMapCentres() const {
    std::vector<TAcadPoint> centres;
    for (const TSkyMapDrawn& m : skyMaps_) centres.push_back(m.centre);
    return centres;
}

std::string Controller::N1Click() { return GridText(SgCells()); }

void Controller::N2Click() {
    TGridCells& g = SgCells();
    if (g.size() < 2) return;
    for (std::size_t i = 1, j = g.size() - 1; i < j; ++i, --j) std::swap(g[i], g[j]);
}

bool Controller::Button9Click() {
    const double radiusA = StrToFloat(form.Edit15, SettingName("Tenku", "Hankei"));
    const double radiusB = StrToFloat(form.Edit21, SettingName("Tenku", "HankeiB"));
    TTenkuRituParams p;
    p.scale = StrToFloat(form.Edit19, SettingName("Tenku", "Syakudo"));
    p.kitaDeg = StrToFloat(form.Edit12, SettingName("Common", "makita"));
    const int typ = TenkuRecalcType(radiusA, radiusB);
    p.radius = typ == 1 ? radiusB : radiusA;
    if (std::optional<std::string> refusal = TenkuSizeRefusal(p.radius, p.scale)) {
        RefuseSettings(*refusal);
        return false;
    }
    form.PipelineProgress = true;
    form.Button9.Enabled = false;
    const bool evaluated = !ws.AryTatemono.empty();
    if (!evaluated) {
        ui_.MessageBox(kApplicationTitle, kNoBuildings);
    } else {
        TGridCells& g = form.StringGrid1;
        for (std::vector<std::string>& row : g) {
            if (row.size() < kGridColumns) row.resize(kGridColumns);
        }
        g[0][kColNaisetu] = " 内接";
        g[0][kColArea] = "<AREA<";
        g[0][kColGaisetu] = " 外接";
        Application* app = RunningCad();
        TenkuAreaFn cadArea;
        if (app) {
            cadArea = [this, app](const std::vector<TAcadPoint>& pts) -> std::optional<double> {
                try {
                    return MeasureTenkuArea(*app, app->ActiveDocument(), form.Edit33, IDPOINT2,
                                            pts);
                } catch (const AutomationError&) {
                    return std::nullopt;
                }
            };
        }
        // A run without a 中止 of its own: the flag lets its loops stop when the front end asks.
        const CommandScope running(*this, nullptr, TScopeOptions().Run());
        FormRun run(*this);
        std::string enclosedRows;  // the numbers of the points the buildings stand around
        std::string farRows;       // the numbers of the points beyond kMaxCoordinate
        for (int r = 1; r < static_cast<int>(g.size()) && !run.StopRequested(); ++r) {
            for (std::size_t col : {kColNaisetu, kColArea, kColGaisetu}) SetGridCell(g, r, col, "");
            if (GridCell(g, r, kColHeight).find(':') != std::string::npos)
                SetGridCell(g, r, kColHeight, "0");
            const std::optional<TAcadPoint> pt = RowPoint(g, r);
            if (!GridRowHasPoint(g, r) || !pt) {
                ui_.MessageBox(kApplicationTitle, kNoPointData);
                break;
            }
            if (!IsSanePoint(*pt)) {
                farRows += (farRows.empty() ? "" : ", ") + GridCell(g, r, 0);
                form.StringGrid1Row = r;
                continue;
            }
            IDPOINT1 = *pt;
            if (!GridCell(g, r, kColHeight).empty()) MENTAKA = GridCell(g, r, kColHeight);
            p.point = IDPOINT1;
            p.mentakaMm = MentakaToMm(MENTAKA);
            double naisetu = 0;
            double gaisetu = 0;
            double areacmd = 0;
            bool enclosed = false;
            if (GetTenkuLine(ws, p, &run, &enclosed) &&
                GetTenkuRitu(ws, p, naisetu, gaisetu, areacmd, cadArea)) {
                SetGridCell(g, r, kColNaisetu, FormatFixed(naisetu, 3));
                SetGridCell(g, r, kColArea, FormatFixed(areacmd, 3));
                SetGridCell(g, r, kColGaisetu, FormatFixed(gaisetu, 3));
            }
            if (enclosed) enclosedRows += (enclosedRows.empty() ? "" : ", ") + GridCell(g, r, 0);
            form.StringGrid1Row = r;
        }
        run.SetProgressPosition(0);
        if (!enclosedRows.empty()) ui_.MessageBox(kApplicationTitle, kEnclosedRows + enclosedRows);
        if (!farRows.empty()) ui_.MessageBox(kApplicationTitle, kFarRows + farRows);
    }
    for (TButton* b :
         {&form.Button9, &form.Button13, &form.Button14, &form.Button18, &form.Button24})
        b->Enabled = true;
    return evaluated;
}

}  // namespace zuka

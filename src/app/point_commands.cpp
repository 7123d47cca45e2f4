// The specific points of the page 特定点 and the point capture it shares with the page 天空２:
// picking points one by one or selecting circles with their number texts, the point grid, the
// shadow hours of every point (再計算), the point table drawn into the drawing (作成) and the
// renaming of a point.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "app/controller.h"
#include "app/settings_table.h"
#include "base/number.h"
#include "geom/primitives.h"
#include "shadow/equal_time.h"

namespace zuka {
namespace {

constexpr char kTokuteiPrompt[] = "特定点を指示 <Enter=終了> : ";
constexpr char kSokuteiPrompt[] = "測定点を指示 <Enter=終了> : ";
constexpr char kPointPicked[] = "座標が指示されました.\r\n";
constexpr char kSelectCircles[] = "測定点の円と文字を一緒に選択して下さい.\r\n";
constexpr char kCaptureError[] = "エラーです．";
constexpr char kNoBuildings[] = "建物データがありません．";
constexpr char kNoPointData[] = "測定点データがありません．";
constexpr char kHeaderHeight[] = "測定面の高さ= ";
constexpr char kHeaderStep[] = " メートル /評価時間= ";
constexpr char kSeconds[] = " 秒";
constexpr char kRecalc[] = "再計算";
constexpr char kStop[] = "中止";

constexpr double kTextReach = 1000;  // how far from a point its number text may stand

// StringGrid2's columns.
constexpr std::size_t kColX = 1;
constexpr std::size_t kColY = 2;
constexpr std::size_t kColName = 3;
constexpr std::size_t kColTotal = 4;
constexpr std::size_t kColFirstTime = 5;
constexpr std::size_t kTimeColumns = 6;  // three arrivals and departures

// The first TEXT of a crossing window 2000 wide round p: the name of the point there.
std::string LabelNear(SelectionSet& ss, TAcadPoint p, std::string name) {
    ss.Clear();
    ss.Select(kSelectCrossing, {p.x - kTextReach, p.y + kTextReach, p.z},
              {p.x + kTextReach, p.y - kTextReach, p.z}, {0}, {std::string("TEXT")});
    for (int i = 0; i < ss.Count(); ++i) {
        EntityPtr e = ss.Item(i);
        if (e->EntityName() == "AcDbText") return e->TextString();
    }
    return name;
}

bool IsOrigin(const CadValue& v) {
    const TAcadPoint* p = std::get_if<TAcadPoint>(&v);
    return p && p->x == 0 && p->y == 0 && p->z == 0;
}

// The checks of 再計算 and 作成: a building model and a grid row with coordinates; a missing
// one is said in a message box.
bool TokuteiInputsPresent(Controller& c) {
    if (c.ws.AryTatemono.empty()) {
        c.Ui().MessageBox(kApplicationTitle, kNoBuildings);
        return false;
    }
    const TGridCells& g = c.form.StringGrid2;
    for (int r = static_cast<int>(g.size()) - 1; r >= 1; --r)
        if (GridRowHasPoint(g, r)) return true;
    c.Ui().MessageBox(kApplicationTitle, kNoPointData);
    return false;
}

}  // namespace

double Controller::TokuteiStepSeconds() const {
    TToujiParams p;
    p.hyoukaIdx = form.RadioGroup3;
    p.tenth = form.CheckBox2;
    p.hyoukaTimes = form.HyoukaTimeTable;
    return ToujiStepSeconds(p);
}

void Controller::Button21Click(PointGrid grid) {
    if (form.RunFlag) return;
    const bool sky = grid == PointGrid::StringGrid1;
    bool captured = false;
    RunScoped({}, [&](CommandScope& scope) {
        Application* app = &scope.App();
        Document& doc = scope.Doc();
        try {
            doc.SetVariable("BLIPMODE", 1);
            ws.AryTempPoint.clear();
            ui_.MinimiseMainWindow();
            SelectionSetPtr ss = GetTempSelSet(doc);
            const bool autoCad = form.TargetProgID.find("Auto") != std::string::npos;
            for (;;) {
                TTempPoint tp;
                tp.Name = std::to_string(ws.AryTempPoint.size() + 1);
                if (!autoCad) {
                    cad_->SetForeground(app->HWND());
                    try {
                        tp.pt = doc.Utility().GetPoint(std::nullopt,
                                                       sky ? kSokuteiPrompt : kTokuteiPrompt);
                    } catch (const AutomationError&) {
                        break;  // Enter or Escape: the input is over
                    }
                    doc.Utility().Prompt(kPointPicked);
                    tp.Name = LabelNear(*ss, tp.pt, tp.Name);
                } else {
                    // The point comes from the ID command through LASTPOINT. An error ends the
                    // capture (going on after it could loop for ever).
                    try {
                        doc.SetVariable("LASTPOINT", TAcadPoint{0, 0, 0});
                        doc.SendCommand("ID\r");
                        WaitCadIdle(*cad_, *app, form.TargetProgID, 200);
                        const CadValue last = doc.GetVariable("LASTPOINT");
                        if (IsOrigin(last)) break;
                        const TAcadPoint* p = std::get_if<TAcadPoint>(&last);
                        if (!p) break;
                        tp.pt = *p;
                        doc.Utility().Prompt(kPointPicked);
                        tp.Name = LabelNear(*ss, tp.pt, tp.Name);
                    } catch (const AutomationError&) {
                        break;
                    }
                }
                ws.AryTempPoint.push_back(tp);
            }
            ss->Delete();
            if (!ws.AryTempPoint.empty()) TempPointsToSG(grid);
            doc.SetVariable("BLIPMODE", 0);
            ws.AryTempPoint.clear();
            ui_.RestoreMainWindow();
            captured = true;
        } catch (const AutomationError&) {
            ws.AryTempPoint.clear();
            ui_.RestoreMainWindow();
            ui_.MessageBox(kApplicationTitle, kCaptureError);
        }
    });
    if (!captured) return;
    if (sky) {
        Button9Click();
    } else {
        GetTokuteiJikan();
    }
}

void Controller::Button22Click(PointGrid grid) {
    form.PipelineProgress = false;
    if (form.RunFlag) return;
    if (!SelectCirclePoints()) return;
    TempPointsToSG(grid);
    if (grid == PointGrid::StringGrid1) {
        Button9Click();
    } else {
        GetTokuteiJikan();
    }
}

bool Controller::SelectCirclePoints() {
    bool selected = false;
    RunScoped({}, [&](CommandScope& scope) {
        try {
            Document& doc = scope.Doc();
            SelectionSetPtr ss = GetTempSelSet(doc);
            ui_.MinimiseMainWindow();
            doc.Utility().Prompt(kSelectCircles);
            SelectByUser(*ss, {0}, {std::string("CIRCLE,TEXT")});
            ui_.RestoreMainWindow();
            cad_->Sleep(200);
            if (ss->Count() == 0) return;
            ws.AryTempPoint.clear();
            for (int i = 0; i < ss->Count(); ++i) {
                EntityPtr e = ss->Item(i);
                if (e->EntityName() != "AcDbCircle") continue;
                TTempPoint tp;
                tp.pt = e->Center();
                tp.Name = std::to_string(ws.AryTempPoint.size() + 1);
                ws.AryTempPoint.push_back(tp);
            }
            for (TTempPoint& tp : ws.AryTempPoint) {
                for (int i = 0; i < ss->Count(); ++i) {
                    EntityPtr e = ss->Item(i);
                    if (e->EntityName() != "AcDbText") continue;
                    const TAcadPoint at = e->InsertionPoint();
                    if (std::fabs(at.x - tp.pt.x) <= kTextReach &&
                        std::fabs(at.y - tp.pt.y) <= kTextReach) {
                        tp.Name = e->TextString();
                        break;
                    }
                }
            }
            selected = true;
        } catch (const AutomationError&) {
            ws.AryTempPoint.clear();
            ui_.RestoreMainWindow();
        }
    });
    return selected;
}

void Controller::TempPointsToSG(PointGrid grid) {
    sg = grid;
    TGridCells& g = grid == PointGrid::StringGrid2 ? form.StringGrid2 : form.StringGrid1;
    const std::size_t columns = g[0].size();
    // A point that a later one repeats is dropped: the later one stays.
    std::vector<TTempPoint> pts;
    const std::vector<TTempPoint>& all = ws.AryTempPoint;
    for (std::size_t i = 0; i < all.size(); ++i) {
        bool repeated = false;
        for (std::size_t j = i + 1; j < all.size() && !repeated; ++j)
            repeated = SamePoint2D(all[i].pt, all[j].pt, kSamePointTol);
        if (!repeated) pts.push_back(all[i]);
    }
    // Along the longer extent, by an exchange sort: each later point with a strictly smaller
    // key takes the current place.
    if (!pts.empty()) {
        auto [xMin, xMax] = std::minmax_element(
            pts.begin(), pts.end(), [](const auto& a, const auto& b) { return a.pt.x < b.pt.x; });
        auto [yMin, yMax] = std::minmax_element(
            pts.begin(), pts.end(), [](const auto& a, const auto& b) { return a.pt.y < b.pt.y; });
        const bool byX = xMax->pt.x - xMin->pt.x > yMax->pt.y - yMin->pt.y;
        auto key = [byX](const TTempPoint& t) { return byX ? t.pt.x : t.pt.y; };
        for (std::size_t i = 0; i < pts.size(); ++i)
            for (std::size_t j = i + 1; j < pts.size(); ++j)
                if (key(pts[j]) < key(pts[i])) std::swap(pts[i], pts[j]);
    }
    g.resize(1);
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const std::string r = std::to_string(i + 1);
        std::vector<std::string> row(columns);
        row[0] = r;
        row[kColX] = FormatGeneral(pts[i].pt.x);
        row[kColY] = FormatGeneral(pts[i].pt.y);
        row[kColTotal] = FormatGeneral(pts[i].pt.z / 1000);
        row[kColName] = pts[i].Name.empty() ? r : pts[i].Name;
        g.push_back(std::move(row));
    }
    // A grid always shows one data row.
    if (g.size() == 1) g.emplace_back(columns);
    ws.AryTempPoint.clear();
}

void Controller::GetTokuteiJikan() {
    if (ws.AryTatemono.empty()) return;
    // Every text is converted before anything changes.
    const double takasaM = StrToFloat(form.Edit6, SettingName("Tokutei", "takasa"));
    TSunTexts texts = SunTexts();
    texts.Edit4 = form.Edit6;
    SetTaiyouParams(texts);
    TGridCells& g = form.StringGrid2;
    std::vector<int> rows;
    std::vector<TAcadPoint> points;
    for (int r = 1; r < static_cast<int>(g.size()); ++r) {
        if (!GridRowHasPoint(g, r)) continue;
        rows.push_back(r);
        const std::string at = "特定点 " + std::to_string(r) + " 行の ";
        points.push_back({StrToFloat(GridCell(g, r, kColX), at + "X座標"),
                          StrToFloat(GridCell(g, r, kColY), at + "Y座標"), 0});
    }
    // Times that would step for ever, or no evaluation step chosen, are refused.
    std::optional<std::string> refusal =
        DiagramTimesRefusal(sun.GB_kaisi, sun.GB_owari, std::nullopt, false);
    if (!refusal) refusal = HyoukaRefusal("kankaku", form.RadioGroup3);
    if (refusal) {
        RefuseSettings(*refusal);
        return;
    }
    const TTokuteiStep step{sun.GB_kaisi, sun.GB_owari, TokuteiStepSeconds(), takasaM * 1000};

    std::optional<CommandScope> running(
        std::in_place, *this, nullptr,
        TScopeOptions().Run(&form.Button7).Caption(&form.Button23, kStop));
    FormRun run(*this);
    run.SetProgressMax(TokuteiStepCount(step));
    for (int r = 1; r < static_cast<int>(g.size()); ++r)
        for (std::size_t c = kColTotal; c < kColFirstTime + kTimeColumns; ++c)
            SetGridCell(g, r, c, "");

    const TTokuteiResult result = zuka::GetTokuteiJikan(ws.AryTatemono, sun, points, step, run);
    for (std::size_t j = 0; j < rows.size(); ++j) {
        const TTokuteiRow& row = result.rows[j];
        // Three intervals are shown; a fourth still counts in the total.
        for (std::size_t k = 0; k < kTimeColumns && k < row.changes.size(); ++k)
            SetGridCell(g, rows[j], kColFirstTime + k, JikokuToHmsCeil5(row.changes[k]));
        if (!result.stopped && result.steps > 0) {
            SetGridCell(g, rows[j], kColTotal,
                        JikokuToHmsCeil5(step.stepSeconds * static_cast<double>(row.count) / 3600));
        }
    }
    if (result.stopped) {
        lastTokutei_.reset();
    } else {
        lastTokutei_ = TTokuteiRun{rows, points, ws.AryTatemono, step, sun, result.rows};
    }

    run.SetProgressPosition(0);
    running.reset();               // the run is over: its flag and buttons as they were
    form.Button15.Enabled = true;  // the point table can be drawn from what was computed
    if (!result.noSun.empty()) ui_.MessageBox(kApplicationTitle, NoSunNote(result.noSun));
}

std::vector<Controller::TTokuteiExactRow> Controller::TokuteiExact() const {
    std::vector<TTokuteiExactRow> out;
    if (!lastTokutei_) return out;
    const TTokuteiRun& last = *lastTokutei_;
    // No run is under way here: only the front end's own stop request ends it early.
    const std::vector<std::vector<TShadowInterval>> exact = GetTokuteiExact(
        last.walls, last.sun, last.points, last.step.kaisi, last.step.owari, last.step.h, &ui_);
    for (std::size_t j = 0; j < last.rows.size(); ++j) {
        const TTokuteiRow& stepped = last.stepped[j];
        out.push_back({last.rows[j],
                       last.step.stepSeconds * static_cast<double>(stepped.count) / 3600,
                       stepped.changes, exact[j]});
    }
    return out;
}

void Controller::Button23Click() {
    if (form.Button23.Caption != kRecalc) {
        form.RunFlag = false;
        return;
    }
    if (!TokuteiInputsPresent(*this)) return;
    GetTokuteiJikan();
    form.Button15.Enabled = true;
}

void Controller::Button15Click() {
    if (form.RunFlag) return;
    if (!TokuteiInputsPresent(*this)) return;
    if (!RunningCad()) return;
    DrawNiniText();
}

void Controller::DrawNiniText() {
    if (!RunningCad()) return;
    // The height is read, and refused, before the undo group and the block are started.
    const double h = StrToFloat(form.Edit38, SettingName("Common", "takasa2"));
    if (RefuseTextHeight(h)) return;
    PlaceBuiltBlock(
        [this, h](Block& block) {
            auto add = [&](const std::string& text, double y) {
                EntityPtr t = block.AddText(text, {0, y, 0}, h);
                t->SetScaleFactor(0.8);
            };
            TGridCells& g = form.StringGrid2;
            for (int r = 1; r < static_cast<int>(g.size()); ++r) {
                if (GridCell(g, r, kColName).empty())
                    SetGridCell(g, r, kColName, std::to_string(r));
                auto cell = [&](std::size_t c) { return GridCell(g, r, c); };
                std::string line = cell(3) + " " + cell(4) + " [" + cell(5) + "-" + cell(6) + "] ";
                if (!cell(7).empty()) line += " [" + cell(7) + "-" + cell(8) + "] ";
                if (!cell(9).empty()) line += " [" + cell(9) + "-" + cell(10) + "] ";
                add(line, -2 * h * r);
            }
            // The step used, a tenth of the chosen one with CheckBox2.
            add(kHeaderHeight + form.Edit6 + kHeaderStep + FormatGeneral(TokuteiStepSeconds()) +
                    kSeconds,
                0);
        },
        MainWindowMode::MinimiseCallerRestores, RunKind::Points);
    ui_.RestoreMainWindow();
}

void Controller::StringGrid2Click() {
    const TGridCells& g = form.StringGrid2;
    if (GridCell(g, form.StringGrid2Row, kColX).empty()) return;
    form.Edit41 = GridCell(g, form.StringGrid2Row, kColName);
}

void Controller::Edit41Change() {
    TGridCells& g = form.StringGrid2;
    if (GridCell(g, form.StringGrid2Row, kColX).empty()) return;
    SetGridCell(g, form.StringGrid2Row, kColName, form.Edit41);
}

}  // namespace zuka

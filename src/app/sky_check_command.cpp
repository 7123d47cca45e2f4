#include "app/sky_check_command.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/cad_selection.h"
#include "app/calc_record.h"
#include "app/command_scope.h"
#include "app/diagram_run.h"
#include "app/drawing_session.h"
#include "app/json_value.h"
#include "app/point_run.h"
#include "app/results_json.h"
#include "app/settings_table.h"
#include "base/number.h"
#include "base/platform.h"
#include "base/text.h"
#include "cad/bridge.h"
#include "cad/host/selection_expr.h"
#include "cad/read_entities.h"
#include "geom/acquisition.h"
#include "geom/primitives.h"
#include "sky/kyoukaisen.h"
#include "sky/sky_check.h"

namespace zuka {
namespace {


constexpr double kOnEdgeTol = 1.0;    // mm: a site edge lies on a road boundary line
constexpr double kPointRadius = 300;  // mm: the drawn measurement points
constexpr double kTextHeight = 300;   // mm: point numbers and the table
constexpr const char* kSelectSiteLines = "敷地の線分、ポリラインを選択 :";
constexpr const char* kMethod =
    "天空率: 正射影, 三斜計算 (半径 100 mm, 最大分割角 10° から判定が付くまで細分, 下限 0.5°), "
    "適合建築物は外接三角形 (切り上げ), 計画建築物は内接三角形 (切り捨て), 小数 3 桁";

// "W[,SETBACK]:EXPR".
struct TRoadOption {
    double widthM = 0;
    double setbackM = 0;
    std::string expr;
};

// "W[,SETBACK]" alone too when `needExpr` is false (the window: the user picks the lines).
std::optional<TRoadOption> ParseRoadOption(const std::string& text, bool needExpr) {
    const std::size_t colon = text.find(':');
    if (needExpr && (colon == std::string::npos || colon + 1 >= text.size())) return std::nullopt;
    if (colon != std::string::npos && colon + 1 >= text.size()) return std::nullopt;
    const std::string numbers = text.substr(0, colon);
    TRoadOption r;
    if (colon != std::string::npos) r.expr = text.substr(colon + 1);
    const std::size_t comma = numbers.find(',');
    const std::optional<double> w = ParseDouble(numbers.substr(0, comma));
    if (!w) return std::nullopt;
    r.widthM = *w;
    if (comma != std::string::npos) {
        const std::optional<double> s = ParseDouble(numbers.substr(comma + 1));
        if (!s) return std::nullopt;
        r.setbackM = *s;
    }
    return r;
}

std::optional<std::vector<SkyKind>> ParseKinds(const std::string& text) {
    std::vector<SkyKind> kinds;
    std::stringstream ss(text);
    std::string word;
    while (std::getline(ss, word, ',')) {
        if (word == "road" || word == "道路")
            kinds.push_back(SkyKind::Road);
        else if (word == "adjacent" || word == "隣地")
            kinds.push_back(SkyKind::Adjacent);
        else if (word == "north" || word == "北側")
            kinds.push_back(SkyKind::North);
        else
            return std::nullopt;
    }
    if (kinds.empty()) return std::nullopt;
    return kinds;
}

// The segments of the entities `expr` selects (lines, polylines, arcs as chords): in the
// session's drawing as the scripted user selects them, or without a session by filter in the
// running CAD. With no expression the user picks them, told first what to pick (`prompt`).
std::optional<std::vector<TLineEnt>> SelectSegments(Application& app, DrawingSession* d,
                                                    const std::string& expr,
                                                    const std::string& prompt,
                                                    std::string& refused) {
    Document& doc = app.ActiveDocument();
    SelectionSetPtr ss = GetTempSelSet(doc);
    Workspace ws;
    if (expr.empty()) doc.Utility().Prompt(prompt + "\r\n");
    try {
        if (!expr.empty() && !d) {
            std::string error;
            SelectInCad(*ss, *CadSelectionOf(expr, error));
        } else {
            if (!expr.empty()) d->Picks().PushSelection(expr);
            ss->SelectOnScreen();
        }
        ReadSelEntities(*ss, ws);
        ConvertEntitiesToLines(ws);
    } catch (const EntityRefused& e) {
        refused = e.what();
        ss->Delete();
        return std::nullopt;
    }
    ss->Delete();
    std::vector<TLineEnt> out;
    for (const TLineEnt& s : ws.AryLine)
        if (Dist2D(s.st, s.ed) > kSamePointTol) out.push_back(s);
    return out;
}

std::string F3(double v) { return FormatFixed(v, 3); }

std::string Verdict(bool pass) { return pass ? "適合" : "不適合"; }

// The table as rows of cells, the header first.
std::vector<std::vector<std::string>> TableCells(const TSkyCheckResult& r) {
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"種別", "列", "No.", "X", "Y", "高さ(m)", "適合建築物", "計画建築物", "差",
                    "安全率", "判定", "近接点", "適合(厳密)", "計画(厳密)", "分割角(°)"});
    for (const TSkyCheckRow& p : r.rows) {
        rows.push_back({SkyKindName(p.kind), p.row, std::to_string(p.no), F3(p.at.x), F3(p.at.y),
                        F3(p.heightM), F3(p.conform), F3(p.planned), F3(p.difference),
                        F3(p.marginPct), Verdict(p.pass), p.closest ? "近接点" : "",
                        FormatFixed(p.conformExact, 5), FormatFixed(p.plannedExact, 5),
                        FormatGeneral(p.divisionDeg)});
    }
    return rows;
}

JsonValue ResultJson(const TSkyCheckResult& r, const TSkyCheckOptions& o,
                     const TSkyCheckInput& in) {
    JsonValue doc = JsonValue::Object();
    doc.Add("program", "Zuka");
    doc.Add("version", ProgramVersion());
    doc.Add("command", "sky-check");
    doc.Add("drawing", PathToUtf8(PathFromUtf8(o.drawing).filename()));
    doc.Add("inputs", JsonValue::Object().Add("method", kMethod));
    JsonValue sc = JsonValue::Object();
    sc.Add("zone", in.zone.name);
    sc.Add("far_pct", in.farPct);
    sc.Add("road_level_m", in.roadLevelM);
    sc.Add("margin_pct", in.marginPct);
    sc.Add("corners", SkyCornersName(in.corners));
    JsonValue roads = JsonValue::Array();
    for (const TSkyRoad& road : in.roads)
        roads.Push(JsonValue::Object().Add("width_m", road.widthM).Add("setback_m", road.setbackM));
    sc.Add("roads", roads);
    JsonValue notes = JsonValue::Array();
    for (const std::string& n : r.notes) notes.Push(n);
    sc.Add("notes", notes);
    JsonValue points = JsonValue::Array();
    for (const TSkyCheckRow& p : r.rows) {
        JsonValue j = JsonValue::Object();
        j.Add("kind", p.kind == SkyKind::Road       ? "road"
                      : p.kind == SkyKind::Adjacent ? "adjacent"
                                                    : "north");
        j.Add("row", p.row);
        j.Add("no", p.no);
        j.Add("x", JsonValue::Rounded(p.at.x, 3));
        j.Add("y", JsonValue::Rounded(p.at.y, 3));
        j.Add("height_m", JsonValue::Rounded(p.heightM, 3));
        j.Add("conforming", p.conform);
        j.Add("planned", p.planned);
        j.Add("difference", p.difference);
        j.Add("margin", p.marginPct);
        j.Add("verdict", p.pass ? "pass" : "fail");
        j.Add("closest", p.closest);
        j.Add("conforming_exact", JsonValue::Rounded(p.conformExact, 5));
        j.Add("planned_exact", JsonValue::Rounded(p.plannedExact, 5));
        j.Add("conforming_triangles", JsonValue::Rounded(p.conformTriangles, 5));
        j.Add("planned_triangles", JsonValue::Rounded(p.plannedTriangles, 5));
        j.Add("division_deg", p.divisionDeg);
        points.Push(j);
    }
    sc.Add("points", points);
    JsonValue conforming = JsonValue::Array();
    for (const TSkyConforming& cb : r.conforming) {
        JsonValue pieces = JsonValue::Array();
        for (const auto& piece : cb.footprints) {
            JsonValue poly = JsonValue::Array();
            for (const TAcadPoint& q : piece)
                poly.Push(JsonValue::Array()
                              .Push(JsonValue::Rounded(q.x, 3))
                              .Push(JsonValue::Rounded(q.y, 3))
                              .Push(JsonValue::Rounded(q.z / 1000, 4)));
            pieces.Push(poly);
        }
        conforming.Push(JsonValue::Object()
                            .Add("row", cb.row)
                            .Add("application_distance_m", cb.applicationM)
                            .Add("slope", cb.slope)
                            .Add("step_to_1_5", cb.step)
                            .Add("footprints", pieces));
    }
    sc.Add("conforming", conforming);
    sc.Add("verdict", r.Passes() ? "pass" : "fail");
    doc.Add("sky_check", sc);
    return doc;
}

EntityPtr OnLayer(EntityPtr e, const char* layer) {
    if (e) e->SetLayer(layer);
    return e;
}

// The points (circles and numbers), the conforming building (its walls as 3D lines at their
// heights) and the table, each on its layer, into model space.
void DrawVerdict(Document& doc, Application& app, const TSkyCheckResult& r,
                 const std::vector<TAcadPoint>& site) {
    for (const char* layer : {kSkyCheckPointLayer, kSkyCheckConformLayer, kSkyCheckTableLayer})
        EnsureLayer(app, layer);
    Block& ms = doc.ModelSpace();
    for (const TSkyCheckRow& p : r.rows) {
        OnLayer(ms.AddCircle({p.at.x, p.at.y, p.at.z}, kPointRadius), kSkyCheckPointLayer);
        OnLayer(ms.AddText(std::to_string(p.no), {p.at.x + 150, p.at.y + 150, p.at.z}, 250),
                kSkyCheckPointLayer);
    }
    for (const TSkyConforming& cb : r.conforming)
        for (const TLineEnt& w : cb.walls) OnLayer(ms.AddLine(w.st, w.ed), kSkyCheckConformLayer);
    // The table to the right of the site, its top at the site's top.
    double x0 = -1e300, y0 = -1e300;
    for (const TAcadPoint& q : site) {
        x0 = std::max(x0, q.x);
        y0 = std::max(y0, q.y);
    }
    x0 += 5000;
    const std::vector<std::vector<std::string>> cells = TableCells(r);
    const double widths[] = {1500, 1800, 900, 2800, 2800, 1800, 2600, 2600, 2000, 1800, 1600, 1500};
    double y = y0;
    OnLayer(ms.AddText("天空率判定表 (" + std::string(r.Passes() ? "適合" : "不適合") + ")",
                       {x0, y, 0}, kTextHeight * 1.5),
            kSkyCheckTableLayer);
    for (const auto& row : cells) {
        y -= 2.2 * kTextHeight;
        double x = x0;
        for (std::size_t i = 0; i < std::size(widths) && i < row.size(); ++i) {
            if (!row[i].empty())
                OnLayer(ms.AddText(row[i], {x, y, 0}, kTextHeight), kSkyCheckTableLayer);
            x += widths[i];
        }
    }
    for (const std::string& n : r.notes) {
        y -= 2.2 * kTextHeight;
        OnLayer(ms.AddText(n, {x0, y, 0}, kTextHeight), kSkyCheckTableLayer);
    }
}

// The sky maps of each kind's closest point (近接点), for the planned building and for the
// conforming building, each with its triangle-area table and building position table, drawn by
// the sky-map command (作図) below the site (without a session the user places them in the
// CAD). The lines it prints name each map.
bool DrawClosestMaps(Controller& c, DrawingSession* d, const TSkyCheckResult& r,
                     const std::vector<TAcadPoint>& site, std::ostream& out, std::ostream& err) {
    double x0 = 1e300, y0 = 1e300;
    for (const TAcadPoint& q : site) {
        x0 = std::min(x0, q.x);
        y0 = std::min(y0, q.y);
    }
    const double rs =
        ParseDouble(c.form.Edit15).value_or(25) * ParseDouble(c.form.Edit19).value_or(100);
    double y = y0 - 10000 - 2 * rs;
    const std::vector<TLineEnt> model = c.ws.AryTatemono;
    // The maps take their point through the measurement grid: the user's points come back after.
    struct KeepGrid {
        Form& f;
        TGridCells cells = f.StringGrid1;
        int row = f.StringGrid1Row;
        ~KeepGrid() {
            f.StringGrid1 = cells;
            f.StringGrid1Row = row;
        }
    } keep{c.form};
    for (const TSkyCheckRow& p : r.rows) {
        if (!p.closest) continue;
        const auto cb = std::find_if(r.conforming.begin(), r.conforming.end(),
                                     [&](const TSkyConforming& b) { return b.row == p.row; });
        if (cb == r.conforming.end()) continue;
        const std::string name = p.row + "-" + std::to_string(p.no);
        const std::vector<TListedPoint> listed{{p.at.x, p.at.y, name, p.at.z / 1000}};
        for (const bool fit : {false, true}) {
            c.ws.AryTatemono = fit ? cb->walls : cb->planned;
            if (c.ws.AryTatemono.empty()) {
                // Nothing of the building within the row's range: the whole sky, no map.
                out << "近接点の天空図\t" << name << "\t" << (fit ? "適合建築物" : "計画建築物")
                    << "\t範囲内に建物がありません (天空率 100)\n";
                continue;
            }
            TakePoints(c, {}, Controller::PointGrid::StringGrid1, "", listed);
            const TAcadPoint at{x0 + rs + (fit ? 20 * rs : 0), y, 0};
            if (DrawSkyMapsAt(c, d, {0, fit, 1, at}) != SkyMapEnd::Drawn) {
                err << "近接点の天空図を作図できませんでした (" << name << ").\n";
                c.ws.AryTatemono = model;
                return false;
            }
            // Where it was drawn: `at`, or where the user placed it in the CAD.
            const TAcadPoint centre = d || c.SkyMaps().empty() ? at : c.SkyMaps().back().centre;
            out << "近接点の天空図\t" << name << "\t" << (fit ? "適合建築物" : "計画建築物") << "\t"
                << FormatFixed(centre.x, 3) << "," << FormatFixed(centre.y, 3) << "\n";
        }
        y -= 6 * rs;
    }
    c.ws.AryTatemono = model;
    return true;
}

// " (--site EXPR)" after a message about what an expression selected; nothing when the user
// picked it.
std::string ByOption(const char* option, const std::string& expr) {
    return expr.empty() ? std::string() : std::string(" (") + option + " " + expr + ")";
}

// The check after the drawing is open (BatchSkyCheck).
int CheckAndDraw(BatchRun& run, const TSkyCheckOptions& o, TSkyCheckSetup& setup,
                 const std::filesystem::path& outPath);

}  // namespace

TSkyCheckTexts SkyCheckTextsOf(const Form& f) {
    TSkyCheckTexts t;
    t.zone = f.SkyCheckZone;
    t.far = f.SkyCheckFar;
    t.kinds = f.SkyCheckKinds;
    t.roadLevel = f.SkyCheckRoadLevel;
    t.margin = f.SkyCheckMargin;
    t.corners = f.SkyCheckCorners;
    std::stringstream ss(f.SkyCheckRoads);
    std::string road;
    while (std::getline(ss, road, ';'))
        if (const std::string_view r = TrimBlanks(road); !r.empty()) t.roads.emplace_back(r);
    t.fromSettings = true;
    return t;
}

std::optional<TSkyCheckSetup> ParseSkyCheck(const TSkyCheckTexts& t, const Form& f,
                                            std::ostream& err) {
    TSkyCheckSetup p;
    TSkyCheckInput& in = p.input;
    // The name of an input in a message: the option, or the setting the window shows.
    const auto name = [&t](const char* option, const char* key) {
        return t.fromSettings ? WithoutSettingKeys(SettingName("SkyCheck", key)) : std::string(option);
    };
    const std::optional<TSkyZone> zone = FindSkyZone(t.zone);
    if (!zone) {
        err << name("--zone", "zone") << " は用途地域の名前で指定してください (" << SkyZoneNames()
            << "): " << QuotedValue(t.zone) << "\n";
        return std::nullopt;
    }
    in.zone = *zone;
    const std::optional<double> far = ParseDouble(t.far);
    if (!far || !(*far > 0)) {
        err << name("--far", "far") << " は容積率 (%, 0 より大きい数) で指定してください: "
            << QuotedValue(t.far) << "\n";
        return std::nullopt;
    }
    in.farPct = *far;
    if (!t.kinds.empty()) {
        const auto kinds = ParseKinds(t.kinds);
        if (!kinds) {
            err << name("--kinds", "kinds")
                << " は road,adjacent,north を , で区切って指定してください: "
                << QuotedValue(t.kinds) << "\n";
            return std::nullopt;
        }
        in.kinds = *kinds;
    }
    if (!t.roadLevel.empty()) {
        const std::optional<double> v = ParseDouble(t.roadLevel);
        if (!v || *v < 0) {
            err << name("--road-level", "roadLevel")
                << " は道路中心からの敷地地盤の高さ (m, 0 以上) で指定してください: "
                << QuotedValue(t.roadLevel) << "\n";
            return std::nullopt;
        }
        in.roadLevelM = *v;
    }
    if (!t.margin.empty()) {
        const std::optional<double> v = ParseDouble(t.margin);
        if (!v || *v < 0) {
            err << name("--margin", "margin") << " は安全率 (%, 0 以上の数) で指定してください: "
                << QuotedValue(t.margin) << "\n";
            return std::nullopt;
        }
        in.marginPct = *v;
    }
    if (!t.corners.empty()) {
        const std::optional<SkyCorners> corners = FindSkyCorners(t.corners);
        if (!corners) {
            err << name("--corners", "corners") << " は 垂直 か 沿線 で指定してください: "
                << QuotedValue(t.corners) << "\n";
            return std::nullopt;
        }
        in.corners = *corners;
    }
    const std::string roadName = name("--road", "roads");
    for (const std::string& text : t.roads) {
        const std::optional<TRoadOption> r = ParseRoadOption(text, !t.fromSettings);
        if (!r) {
            err << roadName
                << (t.fromSettings ? " は 幅員[,後退距離] (m) を道路ごとに ; で区切って指定してください (例 6;4,1): "
                                   : " は 幅員[,後退距離]:選択式 (m) の形で指定してください (例 "
                                     "6:layer=道路境界): ")
                << QuotedValue(text) << "\n";
            return std::nullopt;
        }
        if (!(r->widthM > 0)) {
            err << roadName << " の幅員は 0 より大きい数で指定してください: " << QuotedValue(text)
                << "\n";
            return std::nullopt;
        }
        if (!(r->setbackM >= 0)) {
            err << roadName << " の後退距離は 0 以上の数で指定してください: " << QuotedValue(text)
                << "\n";
            return std::nullopt;
        }
        std::string exprError;
        if (!r->expr.empty() && !ParseSelectionExpr(r->expr, exprError)) {
            err << roadName << " " << text << ": " << exprError << "\n";
            return std::nullopt;
        }
        p.roads.push_back({r->widthM, r->setbackM, r->expr, text});
    }
    // True north as the settings have it (真北), for the north rows.
    const std::optional<double> north = ParseDouble(f.Edit12);
    if (!north) {
        err << (t.fromSettings ? WithoutSettingKeys(SettingName("Common", "makita"))
                               : SettingName("Common", "makita"))
            << " が数ではありません: " << QuotedValue(f.Edit12) << "\n";
        return std::nullopt;
    }
    in.northDeg = *north;
    return p;
}

std::optional<TSkyCheckResult> RunSkyCheck(Controller& c, Application& app, DrawingSession* d,
                                           TSkyCheckSetup& p, const std::string& siteExpr,
                                           std::ostream& err) {
    TSkyCheckInput& in = p.input;
    in.planned.clear();
    in.site.clear();
    in.roads.clear();
    // The planned building: every acquired wall that stands above the ground.
    for (const TLineEnt& w : c.ws.AryTatemono)
        if (w.st.z > 0 || w.ed.z > 0) in.planned.push_back(w);

    // The site: the outline of the lines and polylines selected.
    std::string refused;
    std::optional<std::vector<TLineEnt>> siteSegs =
        SelectSegments(app, d, siteExpr, kSelectSiteLines, refused);
    if (!siteSegs) {
        err << refused << "\n";
        return std::nullopt;
    }
    Workspace ws;
    ws.AryLine = *siteSegs;
    DxfList unused;
    const TKyoukaisenResult sites = MakeKyoukaisen(ws, unused);
    if (sites.status != KyoukaisenStatus::Drawn || sites.siteOutlines.empty()) {
        err << "敷地の閉じた輪郭がありません" << ByOption("--site", siteExpr) << ".\n";
        return std::nullopt;
    }
    if (sites.siteOutlines.size() > 1) {
        err << "敷地は一つだけ選択してください ("
            << (siteExpr.empty() ? std::string() : "--site " + siteExpr + " は ")
            << sites.siteOutlines.size() << " 敷地).\n";
        return std::nullopt;
    }
    for (const TLineEnt& s : sites.siteOutlines[0]) in.site.push_back({s.st.x, s.st.y, 0});

    // Each road: the site edges that lie on the lines selected for it.
    for (std::size_t i = 0; i < p.roads.size(); ++i) {
        const TSkyRoadPick& pick = p.roads[i];
        const std::string prompt = "道路" + std::to_string(i + 1) + " (幅員 " +
                                   FormatGeneral(pick.widthM) + " m) の道路境界線を選択 :";
        std::optional<std::vector<TLineEnt>> segs = SelectSegments(app, d, pick.expr, prompt, refused);
        if (!segs) {
            err << refused << "\n";
            return std::nullopt;
        }
        TSkyRoad road{pick.widthM, pick.setbackM, {}};
        for (const TLineEnt& edge : sites.siteOutlines[0]) {
            for (const TLineEnt& s : *segs) {
                if (DistToSegment2D(edge.st, s.st, s.ed) <= kOnEdgeTol &&
                    DistToSegment2D(edge.ed, s.st, s.ed) <= kOnEdgeTol) {
                    road.frontage.push_back(edge);
                    break;
                }
            }
        }
        if (road.frontage.empty()) {
            err << "道路に面する敷地の辺がありません: "
                << (pick.expr.empty() ? "道路" + std::to_string(i + 1)
                                      : "--road " + pick.text)
                << " の線は敷地の辺に重なりません．\n";
            return std::nullopt;
        }
        in.roads.push_back(road);
    }

    TSkyCheckResult r = CheckSkyFactor(in);
    if (r.refusal) {
        err << *r.refusal << "\n";
        return std::nullopt;
    }
    if (r.rows.empty()) {
        err << "算定位置がありません (斜線が敷地に及びません)．\n";
        return std::nullopt;
    }
    return r;
}

std::vector<std::vector<std::string>> SkyCheckTable(const TSkyCheckResult& r) { return TableCells(r); }

std::vector<std::string> SkyCheckSummary(const TSkyCheckResult& r) {
    std::vector<std::string> lines;
    for (const std::string& n : r.notes) lines.push_back(n);
    for (const TSkyConforming& cb : r.conforming) {
        std::string line = "適合建築物\t" + cb.row;
        if (cb.kind == SkyKind::Road) line += "\t適用距離 " + FormatGeneral(cb.applicationM) + " m";
        line += "\t勾配 " + FormatGeneral(cb.slope) + (cb.step ? " (1.5 への段差あり)" : "");
        lines.push_back(line);
    }
    int fails = 0;
    for (const TSkyCheckRow& p : r.rows) fails += p.pass ? 0 : 1;
    lines.push_back("判定\t" + Verdict(r.Passes()) + "\t算定位置 " + std::to_string(r.rows.size()) +
                    ", 不適合 " + std::to_string(fails));
    return lines;
}

bool DrawSkyCheck(Controller& c, Application& app, DrawingSession* d, const TSkyCheckResult& r,
                  const TSkyCheckInput& in, std::ostream& out, std::ostream& err) {
    {
        // The points, the conforming building and the table are one step to undo; each map
        // of the closest points is a sky-map command of its own.
        CommandScope scope(c, &app, TScopeOptions().Undo().Regen());
        DrawVerdict(scope.Doc(), scope.App(), r, in.site);
        scope.End();
    }
    return DrawClosestMaps(c, d, r, in.site, out, err);
}

int BatchSkyCheck(BatchRun& run, const TSkyCheckOptions& o) {
    const Controller& c = run.c;
    std::ostream& err = run.err;
    // Inputs first: a refusal changes nothing.
    std::string exprError;
    if (!ParseSelectionExpr(o.site, exprError)) {
        err << "--site " << o.site << ": " << exprError << "\n";
        return kExitUsage;
    }
    if (!run.DrawingOrCad(o.drawing, "--site", o.site)) return kExitUsage;
    // What the options leave out, the settings give (zone, FAR, kinds, road level, margin).
    const TSkyCheckTexts settings = SkyCheckTextsOf(c.form);
    TSkyCheckTexts t;
    t.zone = o.zone.empty() ? settings.zone : o.zone;
    t.far = o.far.empty() ? settings.far : o.far;
    t.kinds = o.kinds.empty() ? settings.kinds : o.kinds;
    t.roadLevel = o.roadLevel.empty() ? settings.roadLevel : o.roadLevel;
    t.margin = o.margin.empty() ? settings.margin : o.margin;
    t.corners = o.corners.empty() ? settings.corners : o.corners;
    t.roads = o.roads;
    std::optional<TSkyCheckSetup> setup = ParseSkyCheck(t, c.form, err);
    if (!setup) return kExitUsage;
    // In the running CAD each road's lines are selected by a filter the CAD can make.
    if (run.OnRunningCad()) {
        for (const TSkyRoadPick& road : setup->roads) {
            if (!road.expr.empty() && !CadSelectionOf(road.expr, exprError)) {
                err << "--road " << road.text << ": " << exprError << "\n";
                return kExitUsage;
            }
        }
    }
    const std::optional<std::filesystem::path> outPath = run.OutputPath(o.drawing);
    if (!outPath) return kExitUsage;

    if (!run.Open(o.drawing)) return kExitFailed;
    try {
        return CheckAndDraw(run, o, *setup, *outPath);
    } catch (const AutomationError& e) {
        // The running CAD failed to answer.
        err << e.what() << "\n";
        return kExitFailed;
    }
}

namespace {

// The check after the drawing is open: acquisition, site and roads, the verdict printed and
// drawn, the drawing saved.
int CheckAndDraw(BatchRun& run, const TSkyCheckOptions& o, TSkyCheckSetup& setup,
                 const std::filesystem::path& outPath) {
    Controller& c = run.c;
    std::ostream& out = run.out;
    std::ostream& err = run.err;
    DrawingSession* d = run.OnRunningCad() ? nullptr : &run.Drawing();
    Application& app = d ? d->Host() : run.CadApplication();
    if (!run.Acquire()) return kExitFailed;
    run.EchoPrompts();
    const std::optional<TSkyCheckResult> checked =
        RunSkyCheck(c, app, d, setup, o.site, err);
    if (run.Stopped()) return run.ReportStopped();
    if (!checked) return kExitFailed;
    const TSkyCheckResult& r = *checked;
    const TSkyCheckInput& in = setup.input;

    const std::vector<std::vector<std::string>> cells = TableCells(r);
    for (const auto& row : cells) {
        for (std::size_t i = 0; i < row.size(); ++i) out << (i ? "\t" : "") << row[i];
        out << "\n";
    }
    for (const std::string& line : SkyCheckSummary(r)) out << line << "\n";

    if (!o.csv.empty() && !run.WriteGridCsv(o.csv, cells)) return kExitFailed;
    if (!o.json.empty()) {
        if (!SaveResultsJson(PathFromUtf8(o.json), ResultJson(r, o, in))) {
            err << "JSON を書けません: " << o.json << "\n";
            return kExitFailed;
        }
        out << "JSON\t" << o.json << "\n";
    }
    if (!DrawSkyCheck(c, app, d, r, in, out, err)) return kExitFailed;
    if (const int saved = run.SaveResult(outPath); saved != kExitOk) return saved;
    return r.Passes() ? kExitOk : kExitFailed;
}

}  // namespace

}  // namespace zuka

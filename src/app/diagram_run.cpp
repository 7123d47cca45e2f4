#include "app/diagram_run.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "app/command_gate.h"
#include "app/settings_table.h"
#include "base/number.h"
#include "base/platform.h"

namespace zuka {
namespace {

constexpr char kLineEntity[] = "AcDbLine";

// The plan distance from p to the segment a-b.
double PlanDistanceToSegment(TAcadPoint p, TAcadPoint a, TAcadPoint b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double f = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    f = std::clamp(f, 0.0, 1.0);
    return std::hypot(p.x - a.x - f * dx, p.y - a.y - f * dy);
}

// "<prefix><position>/<max>" of ProgressBar1.
std::string ProgressCount(const std::string& prefix, const Form& f) {
    return prefix + std::to_string(f.ProgressBar1.Position) + "/" +
           std::to_string(f.ProgressBar1.Max);
}

// "<label>\t1 辺 42.1 mm, 1600 × 1600\n": the cell size and the cells per side of a diagram's
// counting mesh.
std::string MeshLine(const std::string& label, int cells, double size) {
    return label + "\t1 辺 " + FormatFixed(size, 1) + " mm, " + std::to_string(cells) + " × " +
           std::to_string(cells) + "\n";
}

// The wall's equal-time stage without a mesh: the period shades no part of the wall for an
// hour (a period under an hour, or the wall in the sun throughout).
constexpr char kNoWallMesh[] =
    "壁面等時間\tなし (壁面に 1 時間以上日影になる所がないため、メッシュを作れません)\n";

// A map whose outline gave no triangles carries no sky factor.
constexpr char kNoSkyFactorOnMap[] = "天空率の記入なし (三斜にする建物の輪郭がありません)";

}  // namespace

TDiagramCommand TimeOfDayCommand() {
    return {[](Controller& c) { c.Button3Click(); }, [](Controller& c) { c.Button10Click(); },
            [](const Form& f) { return ProgressCount("時刻：", f); },
            "時刻日影図を作図できませんでした．",
            [](const Controller& c) {
                const Form& f = c.form;
                return "時刻日影図\t" + f.Edit2 + " ～ " + f.Edit7 + " 時, " + f.Edit11 +
                       " 時間ごと, 測定面 " + f.Edit4 + " m\n";
            }};
}

TDiagramCommand EqualTimeCommand() {
    return {[](Controller& c) { c.Button6Click(); }, [](Controller& c) { c.Button7Click(); },
            [](const Form& f) { return f.Label2; }, "等時間日影図に描く輪郭がありませんでした．",
            [](const Controller& c) {
                const Form& f = c.form;
                const TToujiResult& r = c.LastTouji();
                return "等時間日影図\t" + f.Edit2 + " ～ " + f.Edit7 + " 時, 測定面 " + f.Edit4 +
                       " m\n" + MeshLine("メッシュ (等時間日影図)", r.meshSize, r.mesh);
            }};
}

TDiagramCommand WallCommand() {
    return {[](Controller& c) { c.Button5Click(); }, [](Controller& c) { c.Button7Click(); },
            [](const Form& f) {
                // The time-of-day stage counts the times; the equal-time stage has its labels.
                return f.Label26.empty() ? ProgressCount("壁面：", f) : f.Label26;
            },
            "壁面の日影を作図できませんでした．",
            [](const Controller& c) {
                const Form& f = c.form;
                const Controller::TKabeMesh& m = c.LastKabeMesh();
                std::string text =
                    "壁面\t" + f.Edit2 + " ～ " + f.Edit7 + " 時, " + f.Edit11 + " 時間ごと\n";
                if (m.meshSize > 0)
                    return text + MeshLine("メッシュ (壁面等時間)", m.meshSize, m.mesh);
                return text + kNoWallMesh;
            }};
}

DiagramEnd DiagramRun::Run() {
    stopped_ = false;
    const auto started = std::chrono::steady_clock::now();
    if (!RunCommand(c_.form, [this] { cmd_.run(c_); })) return DiagramEnd::Busy;
    seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (stopped_) return DiagramEnd::Stopped;
    switch (c_.LastInsert().status) {
        case InsertStatus::Sent:
        case InsertStatus::Placed:
        case InsertStatus::NotExploded:  // in the drawing, as a block
            return DiagramEnd::Drawn;
        case InsertStatus::NotPlaced:
        case InsertStatus::NotSaved:
            break;
    }
    return DiagramEnd::NothingDrawn;
}

void DiagramRun::Stop() {
    stopped_ = true;
    cmd_.stop(c_);
}

std::string DiagramRun::Summary() const {
    const TInsertResult& ins = c_.LastInsert();
    return cmd_.summary(c_) + "所要時間\t" + FormatFixed(seconds_, 1) + " 秒\nブロック\t" +
           ins.blockName + "\t" + PathToUtf8(ins.file) + "\n";
}

std::string SkyProgressText(const Form& f) { return ProgressCount("天空：", f); }

TWallLine FindWallLine(DrawingSession& s, const std::string& handle) {
    TWallLine found;
    // The drawing's own selection by handle, as a user's selection would be answered.
    Document& doc = s.Host().ActiveDocument();
    SelectionSetPtr ss = doc.SelectionSets().Add("ssZukaWall");
    s.Picks().PushSelection("handle=" + handle);
    ss->SelectOnScreen();
    if (ss->Count() == 1) {
        EntityPtr e = ss->Item(0);
        found.handle = e->Handle();
        found.end = e->EntityName() == kLineEntity ? WallLineEnd::Found : WallLineEnd::NotALine;
    }
    ss->Delete();
    return found;
}

TWallLine FindWallLine(DrawingSession& s, TAcadPoint at, double reach) {
    TWallLine found;
    found.end = WallLineEnd::NoneNear;
    Block& ms = s.Host().ActiveDocument().ModelSpace();
    for (int i = 0; i < ms.Count(); ++i) {
        EntityPtr e = ms.Item(i);
        if (e->EntityName() != kLineEntity) continue;
        const double d = PlanDistanceToSegment(at, e->StartPoint(), e->EndPoint());
        if (found.distance >= 0 && d >= found.distance) continue;
        found.distance = d;
        found.handle = e->Handle();
    }
    if (found.distance >= 0 && found.distance <= reach) {
        found.end = WallLineEnd::Found;
    } else {
        found.handle.clear();
    }
    return found;
}

void ScriptWallPicks(DrawingSession& s, const std::string& handle,
                     const std::optional<TAcadPoint>& place) {
    s.Picks().Push({AnswerKind::Entity, {}, handle, {}, 0});
    if (place) s.Picks().PushPoint(*place);
}

SkyMapEnd DrawSkyMapsAt(Controller& c, DrawingSession* s, const TSkyMapRequest& r) {
    // The maps are drawn for a building method; AREA on the form means the planned one.
    c.form.RadioGroup2 = r.fit ? 2 : std::max(c.form.RadioGroup2, 1);
    c.RadioGroup2Click();
    const double scale = StrToFloat(c.form.Edit19, SettingName("Tenku", "Syakudo"));
    const double radius =
        StrToFloat(r.typ == 1 ? c.form.Edit21 : c.form.Edit15,
                   r.typ == 1 ? SettingName("Tenku", "HankeiB") : SettingName("Tenku", "Hankei"));
    const auto place = [s](TAcadPoint p) {
        if (s) s->Picks().PushPoint(p);
    };
    if (s) s->Connect(c);
    if (r.row == 0) {
        place(r.at);
        c.Button18Click(r.typ);
    } else {
        if (r.row < 0 || r.row > static_cast<int>(c.form.StringGrid1.size()) - 1)
            return SkyMapEnd::NoSuchPoint;
        // The map at `at`; its triangle table and position table to its right.
        const double rs = radius * scale;
        place(r.at);
        place({r.at.x + 2.5 * rs, r.at.y + rs, 0});
        place({r.at.x + 12.5 * rs, r.at.y + rs, 0});
        c.form.StringGrid1Row = r.row;
        c.Button13Click(r.typ);
    }
    return c.SkyMapCentres().empty() ? SkyMapEnd::NothingDrawn : SkyMapEnd::Drawn;
}

std::vector<std::string> SkyMapLines(const Controller& c) {
    std::vector<std::string> lines;
    for (const Controller::TSkyMapDrawn& m : c.SkyMaps()) {
        const std::string method = m.tekigou ? "外接三角形" : "内接三角形";
        std::string head = "天空図\t" + FormatFixed(m.centre.x, 3) + "," +
                           FormatFixed(m.centre.y, 3) + "\t測定点 " + m.point + "\t";
        if (!m.ritu) {
            lines.push_back(head + kNoSkyFactorOnMap);
            continue;
        }
        lines.push_back(head + "天空率 " + FormatFixed(*m.ritu, 3) + " % (" + method + ", " +
                        (m.tekigou ? "適合建物" : "計画建物") + ")");
        std::string areas = "面積\t円 " + FormatFixed(m.circle, 3) + " mm², 建物 " +
                            FormatFixed(m.projected, 3) + " mm² (図寸, " + method + ")";
        if (m.areaRitu)
            areas += "; AREA: 建物 " + FormatFixed(m.areaProjected, 3) + " mm², 天空率 " +
                     FormatFixed(*m.areaRitu, 3) + " %";
        lines.push_back(areas);
    }
    return lines;
}

}  // namespace zuka

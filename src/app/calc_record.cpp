#include "app/calc_record.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "app/controller.h"
#include "base/number.h"
#include "base/platform.h"
#include "cad/bridge.h"
#include "shadow/kabe_labels.h"

#ifndef ZUKA_VERSION
#define ZUKA_VERSION "0"
#endif

namespace zuka {
namespace {

constexpr char kRecordHead[] = "計算記録 ";

// Per RunKind, in its order: the record's name and the command line's.
struct TKindNames {
    const char* name;
    const char* command;
};
constexpr TKindNames kKindNames[] = {
    {"時刻日影図", "time-of-day"},
    {"等時間日影図", "equal-time"},
    {"壁面日影", "walls"},
    {"特定点", "points"},
    {"天空図", "sky"},
    {"みなし境界線", "boundary"},
    {"影倍率表", "ratio-table"},
    {"3D イメージ", "preview"},
    {"日影規制の確認", "check"},
};
constexpr double kRadToDeg = 57.29577951308232;

// A number as typed, or `fallback` when it is none (the command has refused it already).
double Number(const std::string& text, double fallback = 0) {
    return ParseDouble(text).value_or(fallback);
}

std::string Metres(double m) { return FormatFixed(m, 1) + " m"; }

std::string DateTime(std::chrono::system_clock::time_point at) {
    const std::time_t t = std::chrono::system_clock::to_time_t(at);
    const std::tm tm = LocalTime(t);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

// Plan extent of what an entity draws; false when it draws nothing this knows of.
struct TBox {
    bool any = false;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    void Add(double x, double y) {
        if (!any) {
            x0 = x1 = x;
            y0 = y1 = y;
            any = true;
        }
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
    }
};

void AddEntity(Entity& e, TBox& box) {
    const std::string kind = e.EntityName();
    if (kind == "AcDbLine") {
        box.Add(e.StartPoint().x, e.StartPoint().y);
        box.Add(e.EndPoint().x, e.EndPoint().y);
    } else if (kind == "AcDbPolyline" || kind == "AcDb2dPolyline" || kind == "AcDb3dPolyline") {
        const std::vector<double> c = e.Coordinates();
        const std::size_t stride = kind == "AcDbPolyline" ? 2 : 3;
        for (std::size_t i = 0; i + 1 < c.size(); i += stride) box.Add(c[i], c[i + 1]);
    } else if (kind == "AcDbCircle" || kind == "AcDbArc") {
        const TAcadPoint c = e.Center();
        const double r = e.Radius();
        box.Add(c.x - r, c.y - r);
        box.Add(c.x + r, c.y + r);
    } else if (kind == "AcDbText") {
        // The whole text, not only its point, so that the record stays clear of labels.
        TDxfLabel l;
        l.text = e.TextString();
        l.height = e.Height();
        l.rotationDeg = e.Rotation() * kRadToDeg;
        l.horizontal = e.HorizontalAlignment();
        l.vertical = e.VerticalAlignment();
        const TAcadPoint at = l.horizontal != 0 || l.vertical != 0 ? e.TextAlignmentPoint()
                                                                   : e.InsertionPoint();
        l.x = at.x;
        l.y = at.y;
        const TLabelBox b = LabelBox(l);
        box.Add(b.x0, b.y0);
        box.Add(b.x1, b.y1);
    } else if (kind == "AcDbBlockReference") {
        box.Add(e.InsertionPoint().x, e.InsertionPoint().y);
    }
}

}  // namespace

std::string ProgramVersion() { return ZUKA_VERSION; }

std::string RunKindName(RunKind kind) { return kKindNames[static_cast<std::size_t>(kind)].name; }

std::string RunKindCommand(RunKind kind) {
    return kKindNames[static_cast<std::size_t>(kind)].command;
}

TRunInputs GatherRunInputs(const Controller& c, RunKind kind, const std::string& drawing) {
    const Form& f = c.form;
    TRunInputs in;
    in.kind = kind;
    in.drawing = drawing;
    in.sun = kind != RunKind::Boundary && kind != RunKind::Sky && kind != RunKind::Preview;
    if (in.sun) {
        in.latitudeDeg = Number(f.Edit3) + Number(f.Edit5) / 60 + Number(f.Edit23) / 3600;
        in.kitaDeg = Number(f.Edit12, 90);
        in.season = f.RadioGroup1;
        in.date = c.SunDate();
        in.sekiiDeg = c.sun.Sekii * kRadToDeg;
        if (kind == RunKind::RatioTable) {
            // The ratio table is always the winter solstice's.
            in.season = 0;
            in.date.reset();
            in.sekiiDeg = kToujiSekii * kRadToDeg;
        }
    }
    in.buildings = kind != RunKind::Boundary && kind != RunKind::RatioTable;
    if (in.buildings) {
        const std::vector<TLineEnt>& model = c.ws.AryTatemono;
        in.entities = c.TatemonoEntities();
        in.walls = static_cast<int>(model.size());
        if (!model.empty()) {
            double zmin = model[0].st.z;
            double zmax = zmin;
            for (const TLineEnt& w : model) {
                zmin = std::min({zmin, w.st.z, w.ed.z});
                zmax = std::max({zmax, w.st.z, w.ed.z});
            }
            in.zminM = zmin / 1000;
            in.zmaxM = zmax / 1000;
        }
    }
    const bool period = kind == RunKind::TimeOfDay || kind == RunKind::EqualTime ||
                        kind == RunKind::Walls || kind == RunKind::Points || kind == RunKind::Check;
    if (period) {
        in.kaisi = Number(f.Edit2, 8);
        in.owari = Number(f.Edit7, 16);
    }
    TToujiParams step;
    step.tenth = f.CheckBox2;
    step.meshSizes = f.MeshSizeTable;
    step.hyoukaTimes = f.HyoukaTimeTable;
    switch (kind) {
        case RunKind::TimeOfDay:
            in.planeM = Number(f.Edit4);
            in.stepHours = Number(f.Edit11, 1);
            in.method = "時刻ごとの日影 (間隔 " + FormatGeneral(*in.stepHours) + " 時間)";
            break;
        case RunKind::EqualTime: {
            in.planeM = Number(f.Edit4);
            step.hyoukaIdx = f.RadioGroup5;
            in.stepSeconds = ToujiStepSeconds(step);
            const TToujiResult& r = c.LastTouji();
            in.meshSize = r.meshSize > 0 ? r.meshSize : ToujiMeshSize(step);
            if (r.mesh > 0) in.meshMm = r.mesh;
            in.method = "評価時間 " + FormatGeneral(*in.stepSeconds) + " 秒の段階評価, メッシュ " +
                        std::to_string(*in.meshSize) +
                        (in.meshMm ? " (" + FormatFixed(*in.meshMm, 1) + " mm/mesh)" : "");
            break;
        }
        case RunKind::Walls:
            step.hyoukaIdx = f.RadioGroup6;
            in.stepHours = Number(f.Edit11, 1);
            in.stepSeconds = ToujiStepSeconds(step);
            in.meshSize = ToujiMeshSize(step);
            in.method = "壁面の時刻日影 (間隔 " + FormatGeneral(*in.stepHours) + " 時間), 等時間 " +
                        "(評価時間 " + FormatGeneral(*in.stepSeconds) + " 秒, メッシュ " +
                        std::to_string(*in.meshSize) + ")";
            break;
        case RunKind::Points:
            in.planeM = Number(f.Edit6);
            in.stepSeconds = c.TokuteiStepSeconds();
            in.method = "評価時間 " + FormatGeneral(*in.stepSeconds) + " 秒の段階評価";
            break;
        case RunKind::Sky:
            in.planeM = Number(c.MENTAKA.empty() ? f.Edit17 : c.MENTAKA);
            // The grid's evaluation gives all three; a map measures by its building method.
            in.method = std::string("三斜求積 (") +
                        (f.RadioGroup2 == 1   ? "計画建物, 内接"
                         : f.RadioGroup2 == 2 ? "適合建物, 外接"
                                              : "内接, AREA, 外接") +
                        "), 尺度 1/" + f.Edit19;
            break;
        case RunKind::Boundary:
            in.method = "敷地から 5 m と 10 m の線";
            break;
        case RunKind::RatioTable:
            in.method = "冬至の影倍率";
            break;
        case RunKind::Preview:
            in.method = "回転 " + std::to_string(f.GB_Draw3dHdeg) + "°, 傾き " +
                        std::to_string(f.GB_Draw3dVdeg) + "°";
            break;
        case RunKind::Check: {
            const TKiseiRun& k = c.LastKisei();
            in.planeM = k.params.takasa / 1000;
            in.kaisi = k.params.kaisi;
            in.owari = k.params.owari;
            in.stepSeconds = k.params.stepSeconds;
            in.meshSize = k.params.meshSize;
            if (k.result.cell > 0) in.meshMm = k.result.cell;
            int exact = 0;
            for (const TKiseiLimitResult& l : k.result.limits) exact += l.exactPoints;
            in.method = "規制 5 m 線 " + FormatFixed(k.request.hours5, 1) + " 時間, 10 m 線 " +
                        FormatFixed(k.request.hours10, 1) + " 時間; 評価時間 " +
                        FormatGeneral(*in.stepSeconds) + " 秒, メッシュ " +
                        std::to_string(*in.meshSize) +
                        (in.meshMm ? " (" + FormatFixed(*in.meshMm, 1) + " mm/mesh)" : "") +
                        ", 線の近くは厳密な日影時間 (" + std::to_string(exact) + " 点)";
            break;
        }
    }
    return in;
}

std::vector<std::string> CalcRecordLines(const TRunInputs& in,
                                         std::chrono::system_clock::time_point at) {
    std::vector<std::string> lines;
    lines.push_back(kRecordHead + RunKindName(in.kind) + " Zuka " + ProgramVersion() + " " +
                    DateTime(at));
    lines.push_back("図面 " + in.drawing);
    if (in.sun) {
        std::string day = in.date ? "日付 " + SunDateText(*in.date)
                                  : std::string(kRadioGroup1Items[static_cast<std::size_t>(
                                        std::clamp(in.season, 0, kRadioGroup1Count - 1))]);
        lines.push_back("緯度 " + FormatFixed(in.latitudeDeg, 4) + "° 真北 " +
                        FormatFixed(in.kitaDeg, 1) + "° " + day + " (赤緯 " +
                        FormatFixed(in.sekiiDeg, 2) + "°)");
    }
    std::string plane;
    if (in.planeM) plane = "測定面 " + Metres(*in.planeM);
    if (in.kaisi && in.owari) {
        if (!plane.empty()) plane += " ";
        plane += "時刻 " + JikokuToHm(*in.kaisi) + "～" + JikokuToHm(*in.owari);
    }
    if (!plane.empty()) lines.push_back(plane);
    if (in.buildings) {
        lines.push_back("建物 " + std::to_string(in.entities) + " 図形 " +
                        std::to_string(in.walls) + " 線分 高さ " + FormatFixed(in.zminM, 1) +
                        " ～ " + Metres(in.zmaxM));
    }
    lines.push_back("方法 " + in.method);
    return lines;
}

void WriteCalcRecord(Application& app, Document& doc, int first, const std::string& layer, double h,
                     const std::vector<std::string>& lines) {
    Block& model = doc.ModelSpace();
    TBox box;
    for (int i = std::max(first, 0); i < model.Count(); ++i) AddEntity(*model.Item(i), box);
    if (!box.any) return;
    EnsureLayer(app, layer);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const double y = box.y0 - 1.5 * h * static_cast<double>(i + 1);
        EntityPtr t = model.AddText(lines[i], {box.x0, y, 0}, h);
        t->SetLayer(layer);
        t->SetScaleFactor(0.8);
    }
}

void Controller::LeaveCalcRecord(Application& app, Document& doc, RunKind kind, int first) {
    if (!leaveRecord) return;
    try {
        const double h = Number(form.Edit38, 300);
        const TRunInputs in = GatherRunInputs(*this, kind, doc.Name());
        WriteCalcRecord(app, doc, first, form.Edit50, h > 0 ? h : 300,
                        CalcRecordLines(in, recordClock()));
    } catch (const AutomationError& e) {
        ReportCadError(e);
    }
}

}  // namespace zuka

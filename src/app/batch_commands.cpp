#include "app/batch_commands.h"

#include <algorithm>
#include <optional>
#include <ostream>

#include "app/acquisition_listing.h"
#include "app/cad_selection.h"
#include "app/grid_export.h"
#include "app/kisei_report.h"
#include "app/point_run.h"
#include "app/readouts.h"
#include "app/waku_picture.h"
#include "base/number.h"
#include "base/platform.h"
#include "cad/host/selection_expr.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

// --point X,Y[,NAME[,HEIGHT]].
std::optional<TListedPoint> ParseListedPoint(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (parts.size() < 2 || parts.size() > 4) return std::nullopt;
    const std::optional<double> x = ParseDouble(parts[0]);
    const std::optional<double> y = ParseDouble(parts[1]);
    if (!x || !y) return std::nullopt;
    TListedPoint p{*x, *y, parts.size() >= 3 ? parts[2] : std::string(), std::nullopt};
    if (parts.size() == 4) {
        p.heightM = ParseDouble(parts[3]);
        if (!p.heightM) return std::nullopt;
    }
    return p;
}

// Every --point, or nullopt (and a message) for the first one that is malformed.
std::optional<std::vector<TListedPoint>> ParseListedPoints(const std::vector<std::string>& texts,
                                                           std::ostream& err) {
    std::vector<TListedPoint> listed;
    for (const std::string& t : texts) {
        const std::optional<TListedPoint> p = ParseListedPoint(t);
        if (!p) {
            err << "--point は X,Y[,名前[,高さ m]] の形で指定してください: " << t << "\n";
            return std::nullopt;
        }
        listed.push_back(*p);
    }
    return listed;
}

// A selection expression of an option, or false and a message.
bool CheckExpr(const std::string& option, const std::string& expr, std::ostream& err) {
    std::string error;
    if (ParseSelectionExpr(expr, error)) return true;
    err << option << " " << expr << ": " << error << "\n";
    return false;
}

// A grid's text as the clipboard has it, without its carriage returns.
void PrintGrid(std::ostream& os, const std::string& text) {
    for (char ch : text) {
        if (ch != '\r') os << ch;
    }
}

// "H5,H10", both numbers above 0.
std::optional<std::pair<double, double>> ParseLimits(const std::string& text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos) return std::nullopt;
    const std::optional<double> h5 = ParseDouble(text.substr(0, comma));
    const std::optional<double> h10 = ParseDouble(text.substr(comma + 1));
    if (!h5 || !h10 || !(*h5 > 0) || !(*h10 > 0)) return std::nullopt;
    return std::make_pair(*h5, *h10);
}

constexpr double kWallReach = 1000;  // how far from --wall-at the wall line may lie

}  // namespace

int BatchRatioTable(BatchRun& r, const TRatioTableRequest& q) {
    const TBatchOptions& o = r.o;
    // --cad draws into the running CAD's drawing in place of --draw's file.
    if (r.OnRunningCad() &&
        r.RefuseUnusedOption({{"--draw", !q.drawing.empty()}}, "図面ファイルに作図する "))
        return kExitUsage;
    const bool draw = !q.drawing.empty() || r.OnRunningCad();
    if (!draw && r.RefuseUnusedOption({{"-o", !o.output.empty()},
                                       {"--svg", !o.svg.empty()},
                                       {"--png", !o.png.empty()},
                                       {"--at", !q.at.empty()}},
                                      "影倍率表を図面に描く (--draw の) "))
        return kExitUsage;
    std::optional<TDrawAt> placed;
    if (draw) {
        placed = r.DrawAt(q.at, "影倍率表を置く位置", q.drawing);
        if (!placed) return kExitUsage;
    }
    // The running CAD is found first: without it nothing is printed.
    if (r.OnRunningCad() && !r.Open(q.drawing)) return kExitFailed;
    for (const std::string& line : r.c.MakeRatioTable()) r.out << line << "\n";
    if (!draw) return kExitOk;
    // 倍率表作成: the user places the table at --at (with --cad in the CAD).
    if (!r.OnRunningCad()) {
        if (!r.Open(q.drawing)) return kExitFailed;
        r.Drawing().Connect(r.c);
    }
    return r.PlaceTable(
        *placed, [&r] { r.c.SpeedButton5Click(); }, "影倍率表");
}

int BatchSun(BatchRun& r, const std::string& hourText) {
    const std::optional<double> hour = ParseDouble(hourText);
    const std::optional<TReadoutRows> rows =
        hour ? SunReadout(r.c, *hour) : std::optional<TReadoutRows>();
    if (!rows) {
        r.err << "--hour は太陽位置の計算範囲 7.5～16.5 (時) の数で指定してください: "
              << QuotedValue(hourText) << "\n";
        return kExitUsage;
    }
    for (const auto& [label, value] : *rows) r.out << label << "\t" << value << "\n";
    return kExitOk;
}

int BatchOutline(BatchRun& r, const std::string& segmentFile) {
    std::string error;
    std::optional<std::vector<TLineEnt>> segs = ReadSegmentFile(PathFromUtf8(segmentFile), error);
    if (!segs) {
        r.err << error << "\n";
        return kExitFailed;
    }
    const TOutlineTrace trace = TraceSegmentOutlines(r.c.ws, std::move(*segs));
    for (std::size_t i = 0; i < trace.outlines.size(); ++i) {
        if (i > 0) r.out << "\n";
        for (const TAcadPoint& p : trace.outlines[i])
            r.out << FormatGeneral(p.x) << " " << FormatGeneral(p.y) << "\n";
    }
    if (trace.end == OutlineLoopEnd::WalkFailed) {
        r.err << "輪郭の作成に失敗しました．(残りの線分 " << trace.leftover << " 本)\n";
        return kExitFailed;
    }
    if (trace.outlines.empty()) r.err << "閉じた輪郭はありません．\n";
    return kExitOk;
}

int BatchModel(BatchRun& r, const std::string& drawing) {
    Controller& c = r.c;
    std::ostream& out = r.out;
    std::ostream& err = r.err;
    if (!r.DrawingOrCad(drawing)) return kExitUsage;
    if (!r.Open(drawing)) return kExitFailed;
    if (!r.Acquire()) return kExitFailed;
    r.EchoPrompts();
    const std::vector<TLineEnt>& model = c.ws.AryTatemono;
    double zmin = model[0].st.z;
    for (const TLineEnt& s : model) zmin = std::min({zmin, s.st.z, s.ed.z});
    if (!r.OnRunningCad()) {
        out << "図面\t" << drawing << "\n";
        DrawingSession& d = r.Drawing();
        for (const std::string& line : ModelSummary(c, &d)) out << line << "\n";
        d.Picks().PushSelection(r.o.buildings);
        for (const std::string& line :
             AcquisitionListingLines(ListAcquisition(d.Host().ActiveDocument(), c.heightOverrides)))
            out << line << "\n";
    } else {
        for (const std::string& line : ModelSummary(c, nullptr)) out << line << "\n";
        // The listing selects again: by --buildings' filter; a selection the user made on
        // screen cannot be made again without asking the user once more.
        std::string error;
        const std::optional<TCadSelection> selection =
            r.o.buildingsGiven ? CadSelectionOf(r.o.buildings, error) : std::nullopt;
        if (selection) {
            try {
                for (const std::string& line : AcquisitionListingLines(ListAcquisition(
                         r.CadApplication().ActiveDocument(), c.heightOverrides, &*selection)))
                    out << line << "\n";
            } catch (const AutomationError& e) {
                err << e.what() << "\n";
                return kExitFailed;
            }
        }
    }
    if (r.o.svg.empty() && r.o.png.empty()) return kExitOk;
    SvgPicture pic;
    pic.AddCaption((r.OnRunningCad() ? c.form.TargetProgID : drawing) + " : " +
                   std::to_string(model.size()) + " 線分, 高さ " + FormatGeneral(zmin) + " ～ " +
                   FormatGeneral(c.ws.gbzmax) + " mm");
    for (const TLineEnt& s : model) {
        const double z = std::max(s.st.z, s.ed.z);
        pic.AddLine(s.st, s.ed, HeightColour(z, zmin, c.ws.gbzmax), 1.5);
    }
    return r.WritePictures(pic) ? kExitOk : kExitFailed;
}

int BatchTimeOfDay(BatchRun& r, const std::string& drawing) {
    return r.RunDiagram(drawing, TimeOfDayCommand(), RunKind::TimeOfDay);
}

int BatchEqualTime(BatchRun& r, const std::string& drawing) {
    r.c.form.CheckBox2 = r.o.tenth;  // 等時間の評価時間を 1/10 に
    return r.RunDiagram(drawing, EqualTimeCommand(), RunKind::EqualTime);
}

int BatchWalls(BatchRun& r, const TWallRequest& q) {
    std::ostream& err = r.err;
    if (r.OnRunningCad()) {
        // The user picks the wall line in the CAD; the elevation goes along it.
        if (r.RefuseUnusedOption({{"--wall", !q.wall.empty()},
                                  {"--wall-at", !q.wallAt.empty()},
                                  {"--place", !q.place.empty()}},
                                 "図面ファイルで作図する (--cad では壁面線を CAD で選択する) "))
            return kExitUsage;
        r.c.form.CheckBox4 = true;
        r.c.form.CheckBox12 = r.c.form.CheckBox12 || q.block;
        return r.RunDiagram(q.drawing, WallCommand(), RunKind::Walls);
    }
    if (q.wall.empty() == q.wallAt.empty()) {
        err << "壁面の線分を --wall handle=H か --wall-at X,Y のどちらか一つで指定してください．\n";
        return kExitUsage;
    }
    const std::string handlePrefix = "handle=";
    const std::string handle =
        q.wall.rfind(handlePrefix, 0) == 0 ? q.wall.substr(handlePrefix.size()) : "";
    if (!q.wall.empty() && (handle.empty() || handle.find_first_of(",+") != std::string::npos)) {
        err << "--wall は handle=H の形で一つの線分を指定してください: " << q.wall << "\n";
        return kExitUsage;
    }
    std::optional<TAcadPoint> near;
    if (!q.wallAt.empty() && !(near = ParseXY(q.wallAt))) {
        err << "--wall-at は X,Y の形で指定してください: " << q.wallAt << "\n";
        return kExitUsage;
    }
    std::optional<TAcadPoint> place;
    if (!q.place.empty() && !(place = ParseXY(q.place))) {
        err << "--place は X,Y の形で指定してください: " << q.place << "\n";
        return kExitUsage;
    }
    // Laid along the wall line unless placed at a point; --block keeps it a block.
    r.c.form.CheckBox4 = !place;
    r.c.form.CheckBox12 = r.c.form.CheckBox12 || q.block;
    const auto prepare = [&] {
        DrawingSession& d = r.Drawing();
        const TWallLine line = near ? FindWallLine(d, *near, kWallReach) : FindWallLine(d, handle);
        switch (line.end) {
            case WallLineEnd::Found:
                break;
            case WallLineEnd::NoSuchEntity:
                err << "--wall " << q.wall << ": その図形は図面にありません．\n";
                return kExitFailed;
            case WallLineEnd::NotALine:
                err << "--wall " << q.wall << ": 線分 (LINE) ではありません．\n";
                return kExitFailed;
            case WallLineEnd::NoneNear:
                err << "--wall-at " << q.wallAt << ": " << FormatGeneral(kWallReach)
                    << " 以内に線分 (LINE) がありません";
                if (line.distance >= 0)
                    err << " (最も近い線分まで " << FormatFixed(line.distance, 0) << ")";
                err << "．\n";
                return kExitFailed;
        }
        r.out << "壁面線\t" << line.handle << "\n";
        ScriptWallPicks(d, line.handle, place);
        return kExitOk;
    };
    return r.RunDiagram(q.drawing, WallCommand(), RunKind::Walls, prepare);
}

int BatchSky(BatchRun& r, const TSkyRequest& q) {
    Controller& c = r.c;
    const TBatchOptions& o = r.o;
    std::ostream& err = r.err;
    const bool drawBatch = !q.maps.empty();
    const bool drawOne = q.mapGiven;
    if (drawBatch && drawOne) {
        err << "--maps と --map は同時に指定できません．\n";
        return kExitUsage;
    }
    if (!drawBatch && !drawOne &&
        r.RefuseUnusedOption({{"-o", !o.output.empty()},
                              {"--svg", !o.svg.empty()},
                              {"--png", !o.png.empty()},
                              {"--at", !q.at.empty()},
                              {"--type", q.typeGiven},
                              {"--fit", q.fit}},
                             "天空図を作図する (--map N か --maps A|B の) "))
        return kExitUsage;
    if ((drawBatch || drawOne) &&
        r.RefuseUnusedOption({{"--csv", !q.csv.empty()}, {"--json", !o.json.empty()}},
                             "天空率を求める (--map と --maps のない) "))
        return kExitUsage;
    if (drawBatch &&
        r.RefuseUnusedOption({{"--type", q.typeGiven}}, "一つの天空図を作図する (--map N の) "))
        return kExitUsage;
    const std::string typeText = drawBatch ? q.maps : q.type;
    if (typeText != "A" && typeText != "B") {
        err << "天空図の種類は A または B です: " << typeText << "\n";
        return kExitUsage;
    }
    if (!r.DrawingOrCad(q.drawing, "--points", q.points)) return kExitUsage;
    std::optional<TDrawAt> placed;
    if (drawBatch || drawOne) {
        placed = r.DrawAt(q.at, "天空図の中心", q.drawing);
        if (!placed) return kExitUsage;
    }
    const std::optional<std::vector<TListedPoint>> listed = ParseListedPoints(q.point, err);
    if (!listed) return kExitUsage;
    if (!q.points.empty() && !CheckExpr("--points", q.points, err)) return kExitUsage;
    if (!r.Open(q.drawing)) return kExitFailed;
    if (!r.Acquire()) return kExitFailed;
    // The points as the page 天空２ takes them (測定点一括取得), and the listed ones.
    const int pointCount = TakePoints(
        c, [&r](const std::string& e) { r.SelectBy(e); }, Controller::PointGrid::StringGrid1,
        q.points, *listed);
    if (pointCount < 1) {
        if (!q.points.empty()) {
            err << "測定点の円が選択されませんでした (--points " << q.points << ").\n";
            return kExitFailed;
        }
        err << "測定点がありません (--points または --point で指定してください).\n";
        return kExitUsage;
    }
    if (drawOne && (q.map < 1 || q.map > pointCount)) {
        err << "--map は測定点の番号 1 ～ " << pointCount << " で指定してください: " << q.map
            << "\n";
        return kExitUsage;
    }
    r.ui.SetLabel([&c] { return SkyProgressText(c.form); });

    if (!drawBatch && !drawOne) {
        // 再計算: the sky factors of the grid's points.
        const bool evaluated = c.Button9Click();
        r.ui.EndBar();
        if (r.Stopped()) return r.ReportStopped();
        if (!evaluated) return kExitFailed;
        r.EchoPrompts();
        // The grid as すべてをクリップボードにコピー copies it.
        PrintGrid(r.out, c.N1Click());
        if (!q.csv.empty() && !r.WriteGridCsv(q.csv, c.form.StringGrid1)) return kExitFailed;
        return r.WriteResultsJson(RunKind::Sky, q.drawing) ? kExitOk : kExitFailed;
    }

    const SkyMapEnd end =
        DrawSkyMapsAt(c, r.OnRunningCad() ? nullptr : &r.Drawing(),
                      {typeText == "B" ? 1 : 0, q.fit, drawBatch ? 0 : q.map, placed->at});
    if (end == SkyMapEnd::NoSuchPoint) {
        err << "--map は測定点の番号 1 ～ " << pointCount << " で指定してください: " << q.map
            << "\n";
        return kExitUsage;
    }
    r.ui.EndBar();
    r.EchoPrompts();
    if (r.Stopped()) return r.ReportStopped();
    if (end != SkyMapEnd::Drawn) {
        err << "天空図を作図できませんでした．\n";
        return kExitFailed;
    }
    for (const std::string& line : SkyMapLines(c)) r.out << line << "\n";
    return r.SaveResult(placed->out);
}

int BatchPreview(BatchRun& r, const TPreviewRequest& q) {
    const TBatchOptions& o = r.o;
    if (o.svg.empty() && o.png.empty()) {
        r.err << "--png または --svg で絵の出力先を指定してください．\n";
        return kExitUsage;
    }
    if (!q.draw && r.RefuseUnusedOption({{"-o", !o.output.empty()}, {"--at", !q.at.empty()}},
                                        "3D イメージを図面に描く (--draw の) "))
        return kExitUsage;
    if (!r.DrawingOrCad(q.drawing)) return kExitUsage;
    std::optional<TDrawAt> at;
    if (q.draw) {
        at = r.DrawAt(q.at, "描く位置", q.drawing);
        if (!at) return kExitUsage;
    }
    if (!r.Open(q.drawing)) return kExitFailed;
    if (!r.Acquire()) return kExitFailed;
    ShowWakuView(r.c, q.turn, q.tilt, !q.noDrops);
    if (r.Stopped()) return r.ReportStopped();
    if (!r.WritePictures(WakuSvgPicture(r.c.WakuPicture()))) return kExitFailed;
    if (!q.draw) return kExitOk;
    // 描画: the user places the picture at --at (with --cad in the CAD).
    if (!r.OnRunningCad()) r.Drawing().Picks().PushPoint(at->at);
    r.c.SpeedButton2Click();
    r.EchoPrompts();
    const TInsertResult& ins = r.c.LastInsert();
    if (ins.status != InsertStatus::Placed) {
        r.err << "3D イメージを描画できませんでした．\n";
        return kExitFailed;
    }
    // Where the user placed it in the CAD, else --at.
    const TAcadPoint p = r.OnRunningCad() && ins.point ? *ins.point : at->at;
    r.out << "3D イメージ\t" << FormatFixed(p.x, 3) << "," << FormatFixed(p.y, 3) << "\n";
    return r.SaveDrawing(at->out);
}

int BatchPoints(BatchRun& r, const TPointsRequest& q) {
    Controller& c = r.c;
    const TBatchOptions& o = r.o;
    std::ostream& os = r.out;
    std::ostream& err = r.err;
    const std::optional<std::vector<TListedPoint>> listed = ParseListedPoints(q.point, err);
    if (!listed) return kExitUsage;
    if (q.points.empty() && listed->empty()) {
        err << "特定点がありません (--points または --point で指定してください).\n";
        return kExitUsage;
    }
    if (!q.points.empty() && !CheckExpr("--points", q.points, err)) return kExitUsage;
    if (!r.DrawingOrCad(q.drawing, "--points", q.points)) return kExitUsage;
    if (!q.draw && r.RefuseUnusedOption({{"-o", !o.output.empty()},
                                         {"--svg", !o.svg.empty()},
                                         {"--png", !o.png.empty()},
                                         {"--at", !q.at.empty()}},
                                        "特定点の表を図面に描く (--draw の) "))
        return kExitUsage;
    std::optional<TDrawAt> placed;
    if (q.draw) {
        placed = r.DrawAt(q.at, "特定点の表を置く位置", q.drawing);
        if (!placed) return kExitUsage;
    }
    if (!r.Open(q.drawing)) return kExitFailed;
    if (!r.Acquire()) return kExitFailed;
    c.form.CheckBox2 = o.tenth;  // 等時間の評価時間を 1/10 に
    c.PageControl1Change(2);     // the page 特定点
    // The points as the page 特定点 takes them (特定点一括取得), and the listed ones.
    if (TakePoints(c, [&r](const std::string& e) { r.SelectBy(e); },
                   Controller::PointGrid::StringGrid2, q.points, *listed) < 1) {
        err << "特定点の円が選択されませんでした (--points " << q.points << ").\n";
        return kExitFailed;
    }
    // 再計算, which reads as 中止 while it runs.
    r.ui.SetOnStop([&c] { c.Button23Click(); });
    r.ui.SetLabel([&c] {
        return "特定点：" + std::to_string(c.form.ProgressBar1.Position) + "/" +
               std::to_string(c.form.ProgressBar1.Max);
    });
    c.Button23Click();
    r.ui.EndBar();
    r.EchoPrompts();
    if (r.Stopped()) return r.ReportStopped();
    PrintGrid(os, GridText(c.form.StringGrid2));
    std::vector<Controller::TTokuteiExactRow> exact;
    if (q.exact) {
        exact = c.TokuteiExact();
        if (r.Stopped()) return r.ReportStopped();
        for (const std::string& line : TokuteiExactLines(c, exact)) os << line << "\n";
    }
    if (o.trueSolar == "off") {
        const std::vector<Controller::TTokuteiExactRow> rows = q.exact ? exact : c.TokuteiExact();
        if (r.Stopped()) return r.ReportStopped();
        for (const std::string& line : TokuteiClockLines(c, rows, ReadClockShift(c.form)))
            os << line << "\n";
    }
    if (!q.csv.empty() && !r.WriteGridCsv(q.csv, c.form.StringGrid2)) return kExitFailed;
    TResultsOptions ro;
    if (q.exact) ro.exact = &exact;
    if (!r.WriteResultsJson(RunKind::Points, q.drawing, ro)) return kExitFailed;
    if (!q.draw) return kExitOk;
    // 作成: the user places the table at --at.
    return r.PlaceTable(
        *placed, [&c] { c.Button15Click(); }, "特定点表");
}

int BatchBoundary(BatchRun& r, const std::string& drawing, const std::string& site) {
    Controller& c = r.c;
    std::ostream& err = r.err;
    if (!CheckExpr("--site", site, err)) return kExitUsage;
    if (!r.DrawingOrCad(drawing, "--site", site)) return kExitUsage;
    const std::optional<std::filesystem::path> file = r.OutputPath(drawing);
    if (!file) return kExitUsage;
    if (!r.Open(drawing)) return kExitFailed;
    // 境界線作成: the user picks the site's lines and polylines.
    r.SelectBy(site);
    c.Button20Click();
    r.EchoPrompts();
    if (r.Stopped()) return r.ReportStopped();
    const TKyoukaisenResult& k = c.LastKyoukaisen();
    if (k.status == KyoukaisenStatus::TooFew) {
        err << "敷地の線分が選択されませんでした (--site " << site << ").\n";
        return kExitFailed;
    }
    const TInsertResult& ins = c.LastInsert();
    if (k.status != KyoukaisenStatus::Drawn || ins.status != InsertStatus::Sent) {
        err << "みなし境界線を作図できませんでした．\n";
        return kExitFailed;
    }
    r.out << "みなし境界線\t敷地 " << k.sites << ", 5 m と 10 m の線 " << 2 * k.sites << " 本\n";
    r.out << "ブロック\t" << ins.blockName << "\t" << PathToUtf8(ins.file) << "\n";
    if (!r.WriteResultsJson(RunKind::Boundary, drawing)) return kExitFailed;
    return r.SaveResult(*file);
}

int BatchCheck(BatchRun& r, const TCheckRequest& q) {
    Controller& c = r.c;
    std::ostream& err = r.err;
    if (!CheckExpr("--site", q.site, err)) return kExitUsage;
    if (!r.DrawingOrCad(q.drawing, "--site", q.site)) return kExitUsage;
    const std::optional<std::pair<double, double>> limits = ParseLimits(q.limits);
    if (!limits) {
        err << "--limits は H5,H10 (時間, 0 より大きい数) の形で指定してください: " << q.limits
            << "\n";
        return kExitUsage;
    }
    TKiseiRequest req;
    req.hours5 = limits->first;
    req.hours10 = limits->second;
    req.tenth = r.o.tenth;
    req.headroom = q.headroom;
    if (!q.plane.empty()) {
        req.planeM = ParseDouble(q.plane);
        if (!req.planeM) {
            err << "--plane はメートルの数で指定してください: " << q.plane << "\n";
            return kExitUsage;
        }
    }
    const std::optional<std::filesystem::path> file = r.OutputPath(q.drawing);
    if (!file) return kExitUsage;
    if (!r.Open(q.drawing)) return kExitFailed;
    if (!r.Acquire()) return kExitFailed;
    r.SelectBy(q.site);
    r.ui.SetOnStop([&c] { c.Button7Click(); });  // 中止
    r.ui.SetLabel([&c] {
        return "日影規制：" + std::to_string(c.form.ProgressBar1.Position) + "/" +
               std::to_string(c.form.ProgressBar1.Max);
    });
    c.KiseiCheck(req);
    r.ui.EndBar();
    r.EchoPrompts();
    const TKiseiRun& k = c.LastKisei();
    if (r.Stopped() || k.status == KiseiStatus::Stopped) return r.ReportStopped();
    switch (k.status) {
        case KiseiStatus::Checked:
            break;
        case KiseiStatus::NoSite:
            err << "(--site " << q.site << ")\n";
            return kExitFailed;
        default:
            return kExitFailed;  // the controller's message says why
    }
    const std::optional<TClockShift> clock =
        r.o.trueSolar == "off" ? std::optional<TClockShift>(ReadClockShift(c.form)) : std::nullopt;
    for (const std::string& line : KiseiReportLines(c, clock)) r.out << line << "\n";
    if (!r.WriteResultsJson(RunKind::Check, q.drawing)) return kExitFailed;
    if (c.LastInsert().status != InsertStatus::Sent) {
        err << "日影規制の図を作図できませんでした．\n";
        return kExitFailed;
    }
    const int saved = r.SaveResult(*file, true);
    if (saved != kExitOk) return saved;
    return k.result.Holds() ? kExitOk : kExitFailed;
}

}  // namespace zuka

#include "app/diagram_run.h"

#include <algorithm>

#include "base/number.h"

namespace zuka {
namespace {

// "<prefix><position>/<max>" of ProgressBar1.
std::string ProgressCount(const std::string& prefix, const Form& f) {
    return prefix + std::to_string(f.ProgressBar1.Position) + "/" +
           std::to_string(f.ProgressBar1.Max);
}

}  // namespace

TDiagramCommand TimeOfDayCommand() {
    return {[](Controller& c) { c.Button3Click(); }, [](Controller& c) { c.Button10Click(); },
            [](const Form& f) { return ProgressCount("時刻：", f); },
            "時刻日影図を作図できませんでした．",
            [](const Form& f) {
                return "時刻日影図\t" + f.Edit2 + " ～ " + f.Edit7 + " 時, " + f.Edit11 +
                       " 時間ごと, 測定面 " + f.Edit4 + " m\n";
            }};
}

TDiagramCommand EqualTimeCommand() {
    return {[](Controller& c) { c.Button6Click(); }, [](Controller& c) { c.Button7Click(); },
            [](const Form& f) { return f.Label2; }, "等時間日影図に描く輪郭がありませんでした．",
            [](const Form& f) {
                return "等時間日影図\t" + f.Edit2 + " ～ " + f.Edit7 + " 時, 測定面 " + f.Edit4 +
                       " m\n" + f.Label22 + "\n" + f.Label2 + "\n";
            }};
}

DiagramEnd DiagramRun::Run() {
    stopped_ = false;
    cmd_.run(c_);
    if (stopped_) return DiagramEnd::Stopped;
    return c_.LastInsert().status == InsertStatus::Sent ? DiagramEnd::Drawn
                                                        : DiagramEnd::NothingDrawn;
}

void DiagramRun::Stop() {
    stopped_ = true;
    cmd_.stop(c_);
}

std::string DiagramRun::Summary() const {
    const TInsertResult& ins = c_.LastInsert();
    return cmd_.summary(c_.form) + "ブロック\t" + ins.blockName + "\t" + ins.file.string() + "\n";
}

std::string SkyProgressText(const Form& f) { return ProgressCount("天空：", f); }

SkyMapEnd DrawSkyMapsAt(Controller& c, DrawingSession& s, const TSkyMapRequest& r) {
    // The maps are drawn for a building method; AREA on the form means the planned one.
    c.form.RadioGroup2 = r.fit ? 2 : std::max(c.form.RadioGroup2, 1);
    c.RadioGroup2Click();
    const double scale = StrToFloat(c.form.Edit19, "Edit19 図面の尺度");
    const double radius = StrToFloat(r.typ == 1 ? c.form.Edit21 : c.form.Edit15,
                                     r.typ == 1 ? "Edit21 半径" : "Edit15 半径");
    s.Connect(c);
    if (r.row == 0) {
        s.Picks().PushPoint(r.at);
        c.Button18Click(r.typ);
    } else {
        if (r.row < 0 || r.row > static_cast<int>(c.form.StringGrid1.size()) - 1)
            return SkyMapEnd::NoSuchPoint;
        // The map at `at`; its triangle table and position table to its right.
        const double rs = radius * scale;
        s.Picks().PushPoint(r.at);
        s.Picks().PushPoint({r.at.x + 2.5 * rs, r.at.y + rs, 0});
        s.Picks().PushPoint({r.at.x + 12.5 * rs, r.at.y + rs, 0});
        c.form.StringGrid1Row = r.row;
        c.Button13Click(r.typ);
    }
    return c.SkyMapCentres().empty() ? SkyMapEnd::NothingDrawn : SkyMapEnd::Drawn;
}

}  // namespace zuka

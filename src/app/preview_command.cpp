// The 3D preview on page " 時刻": the wire-frame picture of the building model, its turn and
// tilt buttons, 直下 and 描画 (the picture drawn into the CAD as lines the user places).
#include "app/controller.h"
#include "cad/insert.h"

namespace zuka {
namespace {

// Colour index of each line kind in the CAD: red wall tops, light grey footprints, grey drops.
int WakuColour(WakuKind kind) {
    switch (kind) {
        case WakuKind::Top:
            return 1;
        case WakuKind::Footprint:
            return 9;
        case WakuKind::Drop:
            return 8;
    }
    return 7;
}

}  // namespace

void Controller::DrawWaku3D(bool makeDxf) {
    form.GB_Draw3dHdeg = form.UpDown3;
    form.GB_Draw3dVdeg = form.UpDown4;
    waku_ = zuka::DrawWaku3D(ws.AryTatemono, form.CheckBox1, form.GB_Draw3dHdeg, form.GB_Draw3dVdeg,
                             form.GB_cvsc, kImage2Width);
    form.GB_cvsc = waku_.keptCvsc;
    form.GB_xcen = waku_.xcen;
    form.GB_ycen = waku_.ycen;
    if (!makeDxf || waku_.lines.empty()) return;
    if (!RunningCad()) return;
    PlaceBuiltBlock(
        [this](Block& block) {
            std::size_t added = 0;
            for (const TWakuLine& l : waku_.lines) {
                // A picture of many buildings takes a while to add: the front end may stop it.
                if (++added % 4096 == 0 && ui_.StopRequested()) return;
                EntityPtr e = block.AddLine({l.st.x - waku_.xmin, l.st.y - waku_.ymin, 0},
                                            {l.ed.x - waku_.xmin, l.ed.y - waku_.ymin, 0});
                e->SetColor(WakuColour(l.kind));
            }
        },
        MainWindowMode::MinimiseCallerRestores, RunKind::Preview);
    ui_.RestoreMainWindow();
}

void Controller::UpDown3Click(bool up) {
    form.UpDown3 = StepWakuAngle(form.UpDown3, up);
    form.GB_Draw3dHdeg = form.UpDown3;
    if (!ws.AryTatemono.empty()) DrawWaku3D(false);
}

void Controller::UpDown4Click(bool up) {
    form.UpDown4 = StepWakuAngle(form.UpDown4, up);
    form.GB_Draw3dVdeg = form.UpDown4;
    if (!ws.AryTatemono.empty()) DrawWaku3D(false);
}

void Controller::CheckBox1Click() {
    form.GB_cvsc = 0;
    if (!ws.AryTatemono.empty()) DrawWaku3D(false);
}

void Controller::SpeedButton2Click() {
    lastInsert_ = {};
    if (ws.AryTatemono.empty() || !RunningCad()) return;
    DrawWaku3D(true);
}

}  // namespace zuka

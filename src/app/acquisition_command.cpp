// 取得: the buildings picked in the CAD become the building model.
#include <algorithm>
#include <filesystem>

#include "app/controller.h"
#include "app/height_override.h"
#include "cad/bridge.h"
#include "geom/acquisition.h"

namespace zuka {
namespace {

constexpr char kSelectPrompt[] = "建物図形を選択して下さい.\r\n";
constexpr char kNothingPrompt[] = "何も選択されませんでした.\r\n";
constexpr char kSelectedPrompt[] = "図形が選択されました.\r\n";
constexpr char kSelectFailed[] = "選択処理失敗";
// Shown, instead of ending silently, when reading or converting the selection fails (the CAD
// fails to answer, or an entity's numbers cannot become walls).
constexpr char kReadFailed[] = "建物の図形を読み取れませんでした．建物は前回のままです．\n";

constexpr char kSelSetName[] = "ssZuka";
constexpr char kSnapshotNow[] = "dxfnow.dxf";
constexpr char kSnapshotPrev[] = "dxfpre.dxf";

}  // namespace

void Controller::SelectByUser(SelectionSet& ss, const std::vector<int>& filterTypes,
                              const std::vector<CadValue>& filterData) {
    if (!scriptedSelection) {
        ss.SelectOnScreen(filterTypes, filterData);
        return;
    }
    const TCadSelection selection = *scriptedSelection;
    scriptedSelection.reset();
    SelectInCad(ss, selection, filterTypes, filterData);
}

void Controller::Button2Click() {
    form.Label22.clear();
    form.Label2.clear();
    form.GB_hyoukaidx = -1;
    form.GB_toujiidx = -1;
    form.PipelineProgress = false;
    RunScoped({}, [&](CommandScope& scope) {
        Document& doc = scope.Doc();
        SelectionSetPtr ss = GetSelSet(doc, kSelSetName);

        ui_.MinimiseMainWindow();
        doc.Utility().Prompt(kSelectPrompt);
        try {
            SelectByUser(*ss);
        } catch (const AutomationError&) {
            ui_.MessageBox(kApplicationTitle, kSelectFailed);
        }
        cad_->Sleep(200);
        ui_.RestoreMainWindow();

        try {
            if (ss->Count() == 0) {
                doc.Utility().Prompt(kNothingPrompt);
            } else {
                doc.Utility().Prompt(kSelectedPrompt);
                cad_->Sleep(200);
                tatemonoEntities_ = ReadTatemonoEntities(*ss, ws, heightOverrides);
                ConvertEntitiesToLines(ws);
                ws.ClearAryEnt();

                ws.gbzmax = 0;
                ws.AryTatemono = ws.AryLine;
                for (const TLineEnt& s : ws.AryTatemono)
                    ws.gbzmax = std::max({ws.gbzmax, s.st.z, s.ed.z});
                // The 3D preview starts anew from its standard view.
                form.GB_cvsc = 0;
                form.UpDown4 = 60;
                form.GB_Draw3dVdeg = 60;
                form.UpDown3 = 315;
                form.GB_Draw3dHdeg = 315;
                DrawWaku3D(false);
            }
        } catch (const AutomationError& e) {
            ui_.MessageBox(kApplicationTitle, std::string(kReadFailed) + e.what());
        } catch (const EntityRefused& e) {
            ui_.MessageBox(kApplicationTitle, std::string(kReadFailed) + e.what());
        }
        try {
            ss->Delete();
        } catch (const AutomationError&) {
        }
        ui_.RestoreMainWindow();
        EnableModelCommands();
    });
}

void Controller::EnableModelCommands() {
    for (TButton* b :
         {&form.Button3, &form.Button8, &form.Button11, &form.Button9, &form.Button5, &form.Button6,
          &form.Button21, &form.Button22, &form.Button12, &form.Button16, &form.Button20,
          &form.Button18, &form.Button24, &form.SpeedButton8, &form.SpeedButton1})
        b->Enabled = true;
}

Controller::TPopupMenu2State Controller::Button2MouseDown() const {
    TPopupMenu2State m;
    std::error_code ec;
    m.N8 = std::filesystem::exists(workDir_ / kSnapshotNow, ec);
    m.N6 = std::filesystem::exists(workDir_ / kSnapshotPrev, ec);
    m.N4 = !ws.AryTatemono.empty();
    return m;
}

void Controller::N6Click() {
    form.PipelineProgress = false;
    form.Label22.clear();
    form.Label2.clear();
    form.GB_hyoukaidx = -1;
    form.GB_toujiidx = -1;
    // ｱﾆﾒ stays disabled: it is not supported.
    for (TButton* b : {&form.Button3, &form.Button8, &form.Button9, &form.Button11, &form.Button5,
                       &form.Button6})
        b->Enabled = true;
}

void Controller::ForgetDrawing() {
    ws = Workspace{};
    tatemonoEntities_ = 0;
    waku_ = {};
    form.GB_cvsc = 0;
    lastInsert_ = {};
    lastZuka_ = {};
    lastTouji_ = {};
    lastKabeMesh_ = {};
    lastKyoukaisen_ = {};
    lastKisei_ = {};
    lastTokutei_.reset();
    skyMaps_.clear();
    KabeSen = {};
    for (THeightOverride& h : heightOverrides) h.entities = 0;
    form.StringGrid1 = NewGrid(kStringGrid1Headings);
    form.StringGrid1Row = 1;
    form.StringGrid2 = NewGrid(kStringGrid2Headings);
    form.StringGrid2Row = 1;
    form.Label2.clear();
    form.Label22.clear();
    form.Label24.clear();
    form.Label26.clear();
    form.Label74.clear();
    form.GB_hyoukaidx = -1;
    form.GB_toujiidx = -1;
    // The commands that need a model, disabled as the window starts.
    const Form fresh;
    for (auto [b, start] : std::initializer_list<std::pair<TButton*, const TButton*>>{
             {&form.Button3, &fresh.Button3},
             {&form.Button17, &fresh.Button17},
             {&form.Button8, &fresh.Button8},
             {&form.Button11, &fresh.Button11},
             {&form.Button9, &fresh.Button9},
             {&form.Button5, &fresh.Button5},
             {&form.Button6, &fresh.Button6},
             {&form.Button21, &fresh.Button21},
             {&form.Button22, &fresh.Button22},
             {&form.Button12, &fresh.Button12},
             {&form.Button16, &fresh.Button16},
             {&form.Button20, &fresh.Button20},
             {&form.Button18, &fresh.Button18},
             {&form.Button24, &fresh.Button24},
             {&form.Button15, &fresh.Button15},
             {&form.SpeedButton8, &fresh.SpeedButton8},
             {&form.SpeedButton1, &fresh.SpeedButton1}})
        b->Enabled = start->Enabled;
}

}  // namespace zuka

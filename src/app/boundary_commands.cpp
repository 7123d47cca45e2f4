// 境界線作成 on the page 設定２: the deemed boundary lines of the site the user picks.
#include <string>

#include "app/controller.h"
#include "cad/read_entities.h"
#include "geom/acquisition.h"

namespace zuka {
namespace {

constexpr char kSelectSite[] = "敷地の線分、ポリラインを選択 : \r\n";
constexpr char kFailed[] = "\r\nみなし境界線の作成に失敗しました.\r\n";

}  // namespace

int Controller::PickSiteSegments(Document& doc) {
    ui_.MinimiseMainWindow();
    SelectionSetPtr ss = GetTempSelSet(doc);
    int count = 0;
    std::string refused;  // an entity whose numbers no site has, by its handle
    try {
        doc.Utility().Prompt(kSelectSite);
        SelectByUser(*ss);
        count = ReadSelEntities(*ss, ws);
        if (count > 0) ConvertEntitiesToLines(ws);
    } catch (const AutomationError&) {
        count = 0;
    } catch (const EntityRefused& e) {
        count = 0;
        refused = e.what();
    }
    try {
        ss->Delete();
    } catch (const AutomationError&) {
    }
    ui_.RestoreMainWindow();
    if (!refused.empty()) ui_.MessageBox(kApplicationTitle, refused);
    return count;
}

void Controller::Button20Click() {
    lastInsert_ = {};
    lastKyoukaisen_ = {};
    // A run without a 中止 of its own: the flag lets its loops stop when the front end asks.
    RunScoped(TScopeOptions().Undo().Regen().Run(), [&](CommandScope& scope) {
        if (PickSiteSegments(scope.Doc()) > 0) MakeKyoukaisen(scope.App());
    });
}

void Controller::MakeKyoukaisen(Application& app) {
    Document& doc = app.ActiveDocument();
    DxfList dxf;
    FormRun run(*this);
    lastKyoukaisen_ = zuka::MakeKyoukaisen(ws, dxf, run);
    if (lastKyoukaisen_.status == KyoukaisenStatus::TooFew ||
        lastKyoukaisen_.status == KyoukaisenStatus::Stopped)
        return;
    if (lastKyoukaisen_.status == KyoukaisenStatus::Failed) {
        doc.Utility().Prompt(kFailed);
        return;
    }
    const int first = doc.ModelSpace().Count();
    lastInsert_ =
        InsertDxfBlock(dxf, {*cad_, app, doc, form.TargetProgID}, {workDir_, DxfEncoding::Cp932},
                       CadUi(), InsertVariant::ExplodedOriginBoundary);
    if (lastInsert_.status == InsertStatus::NotSaved)
        ReportNotSaved(lastInsert_.file, lastInsert_.why);
    LeaveCalcRecord(app, doc, RunKind::Boundary, first);
    // The sites traced before a walk that failed have their lines; the failure is said too.
    if (lastKyoukaisen_.walkFailed) doc.Utility().Prompt(kFailed);
}

}  // namespace zuka

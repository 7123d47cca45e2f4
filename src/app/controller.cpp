#include "app/controller.h"

#include <cmath>
#include <string>
#include <utility>

#include "app/settings_table.h"
#include "app/target_cad.h"
#include "base/number.h"
#include "solar/city_list.h"
#include "solar/ratio_table.h"

namespace zuka {
namespace {

constexpr char kLatitudeBeyondPole[] =
    "緯度 (Common.ido1, Common.ido2, Common.ido3) は -90 より大きく 90 未満 (度) にしてください: ";

}  // namespace

Controller::Controller(UiHost& ui, std::filesystem::path workDir)
    : ui_(ui), workDir_(std::move(workDir)) {}

void Controller::FormCreate(const IniFile& settings, TScreenSize screen) {
    form.Label74.clear();
    form.useDxf = true;
    form.TargetProgID = kDefaultTargetProgID;
    form.ComboBox1Items = LoadCityList(workDir_ / kCityListFile).value_or(BuiltInCityList());
    form.GB_hyoukaidx = -1;
    form.GB_toujiidx = -1;
    form.PageControl1 = 0;
    form.RadioGroup1 = 0;
    form.CheckListBox1[0] = true;
    form.Label22.clear();
    form.Label2.clear();
    form.Label24.clear();
    form.Label26.clear();
    LoadSettings(settings, form, screen);
    if (const std::optional<TTargetCadFile> list = ReadTargetCadFile(workDir_ / kTargetCadFileName))
        ApplyTargetCadLookup(list->lines, form);
    RadioGroup1Click();
    // The method read from the settings decides whether the table boxes can be ticked.
    RadioGroup2Click();
}

void Controller::SpeedButton7Click() {
    const TDmsTexts d = DegToDms(form.Edit49);
    form.Edit46 = d.Edit46;
    form.Edit47 = d.Edit47;
    form.Edit48 = d.Edit48;
}

void Controller::SpeedButton6Click() { form.Edit49 = DmsToDeg(form.Edit46, form.Edit47, form.Edit48); }

void Controller::ComboBox1Select(int index) {
    form.ComboBox1ItemIndex = index;
    const bool inList = index >= 0 && index < static_cast<int>(form.ComboBox1Items.size());
    const TIdoTexts t =
        ComboBox1Change(inList ? form.ComboBox1Items[static_cast<std::size_t>(index)] : "");
    form.Edit3 = t.Edit3;
    form.Edit5 = t.Edit5;
    form.Edit23 = t.Edit23;
}

void Controller::RadioGroup1Click() {
    sunDate_.reset();
    sun.RadioGroup1Click(form.RadioGroup1);
}

void Controller::SetSunDate(const TSunDate& d) {
    sunDate_ = d;
    sun.Sekii = SekiiOfDate(d);
}

void Controller::PageControl1Change(int page) {
    form.PageControl1 = page;
    if (page == 1) {
        form.PipelineProgress = false;
        if (form.Button6.Enabled && !form.CommandRunning) CheckListBox1Click();
    }
    if (page == 7) SpeedButton3Click();
}

const std::vector<std::string>& Controller::MakeRatioTable() {
    try {
        form.Memo1 =
            BuildRatioTable(form.Edit3, form.Edit5, form.Edit23, form.CheckBox14, form.CheckBox15);
    } catch (const ConvertError& e) {
        throw NamedSetting(e);
    }
    return form.Memo1;
}

void Controller::PlaceBuiltBlock(const std::function<void(Block&)>& fill, MainWindowMode mode,
                                 RunKind kind) {
    lastInsert_ = {};
    RunScoped(TScopeOptions().Undo().Regen(), [&](CommandScope& scope) {
        Document& doc = scope.Doc();
        BlockPtr block = AddNewBlock(doc, "ZUKA_");
        fill(*block);
        if (ui_.StopRequested()) {
            // Stopped while the block was filled: nothing is placed, no block is left.
            DeleteBlockDef(doc, block->Name());
            return;
        }
        const int first = doc.ModelSpace().Count();
        lastInsert_ =
            InsertBuiltBlock(*block, {*cad_, scope.App(), doc, form.TargetProgID}, CadUi(), mode);
        if (lastInsert_.status == InsertStatus::Placed)
            LeaveCalcRecord(scope.App(), doc, kind, first);
    });
}

TSunTexts Controller::SunTexts() const {
    TSunTexts t;
    t.Edit12 = form.Edit12;
    t.Edit3 = form.Edit3;
    t.Edit5 = form.Edit5;
    t.Edit23 = form.Edit23;
    t.Edit4 = form.Edit4;
    t.Edit2 = form.Edit2;
    t.Edit7 = form.Edit7;
    t.RadioGroup1 = form.RadioGroup1;
    return t;
}

void Controller::SetTaiyouParams() { SetTaiyouParams(SunTexts()); }

void Controller::SetTaiyouParams(const TSunTexts& texts) {
    // A season index outside the items (a settings file may hold any integer) selects no
    // season; the model would go on with the equinox while the window shows none. A calendar
    // day given instead needs no season.
    const TSettingInfo& season = *FindSetting("Common", "kisetsu");
    const std::string seasonText = std::to_string(texts.RadioGroup1);
    if (!sunDate_ && !InSettingRange(season, texts.RadioGroup1))
        throw RangeError(seasonText, "Common.kisetsu", SettingRefusal(season, seasonText));
    SunModel next = sun;
    try {
        next.SetTaiyouParams(texts);
    } catch (const ConvertError& e) {
        throw NamedSetting(e);
    }
    const double ido = next.GB_idodo + next.GB_idohun / 60.0 + next.GB_idobyou / 3600.0;
    if (!(std::fabs(ido) < 90)) {
        const std::string shown = texts.Edit3 + "°" + texts.Edit5 + "′" + texts.Edit23 + "″";
        throw RangeError(texts.Edit3, "Common.ido1", kLatitudeBeyondPole + shown);
    }
    sun = next;
}

}  // namespace zuka

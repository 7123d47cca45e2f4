// The main window's handlers over the window state: what the window runs when it is created,
// when a page is shown and when a command button is pressed. The GUI and the command line
// both drive this one controller; it owns the program-wide lists and the sun model.
#pragma once

#include <filesystem>

#include "app/form.h"
#include "app/ini_file.h"
#include "app/settings.h"
#include "app/ui_host.h"
#include "geom/workspace.h"
#include "solar/sun_model.h"

namespace zuka {

class Controller {
public:
    Controller(UiHost& ui, std::filesystem::path workDir);

    // The creation sequence of the main window that does not concern the window system:
    // run-state tables, the city list (zuka_ido.txt in the work folder replaces the built-in
    // list), the settings, the season handler.
    void FormCreate(const IniFile& settings, TScreenSize screen = kCommandLineScreen);

    // Season changed: Sekii from RadioGroup1.
    void RadioGroup1Click();
    // The page shown changed.
    void PageControl1Change(int page);
    // Builds the shadow-length ratio table into Memo1. Throws ConvertError for a latitude
    // text that is no number.
    void SpeedButton3Click();

    // The sun inputs as the window shows them.
    TSunTexts SunTexts() const;
    // Converts the sun inputs and sets the sun model (throws ConvertError naming the field).
    void SetTaiyouParams();

    Form form;
    Workspace ws;
    SunModel sun;

    const std::filesystem::path& WorkDir() const { return workDir_; }
    UiHost& Ui() { return ui_; }

private:
    UiHost& ui_;
    std::filesystem::path workDir_;
};

}  // namespace zuka

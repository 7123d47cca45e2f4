// The settings file: every input of the main window, the layer names and the target CAD, kept
// from one run to the next. Read once when the window is created, written once when it closes.
//
// Value kinds: strings are the exact text of a control; integers are written in decimal and
// read as decimal or "0x" hexadecimal, anything else giving the default; Booleans are written
// "1"/"0" and read as integers, non-zero meaning true.
#pragma once

#include "app/form.h"
#include "app/ini_file.h"

namespace zuka {

struct TScreenSize {
    int width = 0;
    int height = 0;
};

// The screen the window is placed on when there is no window: the command line's.
inline constexpr TScreenSize kCommandLineScreen = {1920, 1080};

// Fills `form` from `ini`. A missing key, or an integer key whose value is no integer, leaves the
// first-start value of a new Form (the window position: centred on `screen`; the target CAD:
// form.TargetProgID as it stands). A window position that would run past the right or bottom
// edge of `screen` is centred on that axis; a negative one stays. Radio indices and UpDown5 are
// limited as the controls limit them; Edit9 shows UpDown5, RadioGroup4 follows RadioGroup2.
void LoadSettings(const IniFile& ini, Form& form, TScreenSize screen);

// Every key of the settings file, from `form`, in the file's order (Nini/kankaku included,
// written from RadioGroup3 though never read back).
IniFile SaveSettings(const Form& form);

}  // namespace zuka

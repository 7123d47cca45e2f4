// The target-CAD dialog on Windows: the list of known CADs and the two edit fields of the
// TargetCadDialog model, shown modally over the main window.
#pragma once

#include "winui/win32.h"

#include <filesystem>

#include "app/form.h"
#include "app/target_cad.h"

namespace zuka {

// Shows the dialog until OK or 取り消し (or its close box); OK hands the choice to `form`.
// `listFile` is the list file, read afresh each time the dialog opens.
void RunTargetCadDialog(HINSTANCE instance, HWND owner, HFONT font, UINT dpi,
                        TargetCadDialog& model, Form& form, const std::filesystem::path& listFile);

}  // namespace zuka

#include <string>

#include "cad/automation.h"
#include "cad/host/drawing_host.h"
#include "cad/host/selection_expr.h"
#include "cad/interaction.h"
#include "fuzz_targets.h"

namespace zuka {

int FuzzSelection(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const bool parsed = ParseSelectionExpr(text, error).has_value();
    if (!parsed && error.empty()) __builtin_trap();  // every refusal says why

    static ScriptedInteraction picks;
    static DrawingHost host{&picks};
    static bool made = false;
    if (!made) {
        host.New();
        Document& doc = host.ActiveDocument();
        doc.Layers().Add("建物");
        doc.Layers().Add("ZUKA_TENKU");
        Block& ms = doc.ModelSpace();
        ms.AddLine({0, 0, 0}, {1000, 0, 0})->SetLayer("建物");
        ms.AddCircle({500, 500, 0}, 100);
        ms.AddText("1", {10, 10, 0}, 2.5)->SetLayer("ZUKA_TENKU");
        ms.AddLightWeightPolyline({0, 0, 100, 0, 100, 100});
        made = true;
    }
    Document& doc = host.ActiveDocument();
    // A fresh queue each input: the prompts of every input before would pile up otherwise.
    picks = ScriptedInteraction{};
    picks.PushSelection(text);
    try {
        SelectionSetPtr ss = doc.SelectionSets().Add("ssFuzz");
        try {
            ss->SelectOnScreen();
        } catch (const AutomationError&) {
        }
        ss->Delete();
    } catch (const AutomationError&) {
    }
    return 0;
}

}  // namespace zuka

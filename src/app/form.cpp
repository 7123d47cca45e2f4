#include "app/form.h"

#include <algorithm>
#include <optional>

#include "base/number.h"

namespace zuka {

void SetRadio(int& field, int value, int itemCount) {
    field = std::max(-1, std::min(value, itemCount - 1));
}

void StepAssociatedUpDown(std::string& edit, int& upDown, bool up) {
    std::string t = edit;
    t.erase(0, t.find_first_not_of(' '));
    t.erase(t.find_last_not_of(' ') + 1);
    if (const auto n = ParseInteger(t)) upDown = static_cast<int>(*n);
    upDown = std::max(0, upDown + (up ? 1 : -1));
    edit = FormatInt(upDown);
}

void SetUpDown5(Form& form, int position) {
    form.UpDown5 = std::clamp(position, kUpDown5Min, kUpDown5Max);
    form.Edit9 = FormatInt(form.UpDown5);
}

}  // namespace zuka

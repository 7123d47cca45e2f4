#include "app/form.h"

#include <algorithm>

#include "base/number.h"

namespace zuka {

void SetRadio(int& field, int value, int itemCount) {
    field = std::max(-1, std::min(value, itemCount - 1));
}

void SetUpDown5(Form& form, int position) {
    form.UpDown5 = std::clamp(position, kUpDown5Min, kUpDown5Max);
    form.Edit9 = FormatInt(form.UpDown5);
}

}  // namespace zuka

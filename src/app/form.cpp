#include "app/form.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "base/number.h"

namespace zuka {

std::string GridCell(const TGridCells& g, int row, std::size_t col) {
    if (row < 0 || static_cast<std::size_t>(row) >= g.size()) return {};
    const std::vector<std::string>& r = g[static_cast<std::size_t>(row)];
    return col < r.size() ? r[col] : std::string();
}

void SetGridCell(TGridCells& g, int row, std::size_t col, std::string text) {
    if (row < 0 || static_cast<std::size_t>(row) >= g.size()) return;
    std::vector<std::string>& r = g[static_cast<std::size_t>(row)];
    if (r.size() <= col) r.resize(col + 1);
    r[col] = std::move(text);
}

bool GridRowHasPoint(const TGridCells& g, int row) {
    return !GridCell(g, row, 1).empty() && !GridCell(g, row, 2).empty();
}

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

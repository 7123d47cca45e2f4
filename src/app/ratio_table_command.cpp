// 倍率表作成 on the page 影倍率: the shadow-length ratio table of Memo1 drawn as a ruled table.
#include "app/controller.h"
#include "base/number.h"

namespace zuka {
namespace {

// Said instead of leaving an empty block and an open undo group behind.
constexpr char kBadTextHeight[] = "文字高さ (Common.takasa2) は 0 より大きい数にしてください : ";

constexpr int kTableColumns = 6;

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        cells.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return cells;
        start = tab + 1;
    }
}

}  // namespace

bool Controller::RefuseTextHeight(double h) {
    if (h > 0) return false;
    ui_.MessageBox(kApplicationTitle, kBadTextHeight + FormatGeneral(h));
    return true;
}

void Controller::SpeedButton5Click() {
    if (!RunningCad()) return;
    const double h = ParseDouble(form.Edit38).value_or(300);
    if (RefuseTextHeight(h) || form.Memo1.empty()) return;
    // Six columns 8h wide, lines 2h apart from the title at y = 0; the ruling runs from the
    // heading (y = -h) to below the last line.
    const double width = kTableColumns * 8 * h;
    const double bottom = -(2.0 * static_cast<double>(form.Memo1.size()) - 1) * h;
    PlaceBuiltBlock(
        [&](Block& block) {
            TAcadPoint p{0, 0, 0};
            for (std::size_t i = 0; i < form.Memo1.size(); ++i) {
                p.x = 0;
                const std::vector<std::string> cells = SplitTabs(form.Memo1[i]);
                for (std::size_t j = 0; j < cells.size(); ++j) {
                    EntityPtr t = block.AddText(cells[j], p, h);
                    t->SetInsertionPoint(p);
                    if (i > 0) t->SetScaleFactor(0.8);
                    TAcadPoint q = p;
                    if (i == 0) {
                        t->SetAlignment(TextAlignment::MiddleLeft);
                        q.x = p.x + h;
                    } else if (i == 1) {
                        t->SetAlignment(TextAlignment::MiddleCenter);
                        q.x = p.x + 4 * h;
                    } else {
                        t->SetAlignment(TextAlignment::MiddleRight);
                        q.x = p.x + (j == 1 || j == 2 ? 7 : 6) * h;
                    }
                    t->SetTextAlignmentPoint(q);
                    if (i == 1) block.AddLine({p.x, -h, 0}, {p.x, bottom, 0});
                    p.x += 8 * h;
                }
                if (i > 0) block.AddLine({0, p.y + h, 0}, {width, p.y + h, 0});
                p.y -= 2 * h;
            }
            block.AddLine({0, p.y + h, 0}, {width, p.y + h, 0});
            block.AddLine({width, -h, 0}, {width, bottom, 0});
        },
        MainWindowMode::Keep, RunKind::RatioTable);
}

}  // namespace zuka

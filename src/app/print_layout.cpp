#include "app/print_layout.h"

#include <cmath>

namespace zuka {
namespace {

constexpr double kMarginMm = 10;

}  // namespace

const std::vector<int>& UsualScales() {
    static const std::vector<int> kScales = {1,   2,   5,   10,  20,   30,   50,   100,  150,
                                             200, 250, 300, 400, 500,  600,  1000, 1200, 1500,
                                             2000, 2500, 3000, 5000};
    return kScales;
}

std::optional<TPrintLayout> LayoutPrint(const TPrintRequest& q, const TPrintBox& box,
                                        double unitMm) {
    const double w = box.x1 - box.x0;
    const double h = box.y1 - box.y0;
    if (!std::isfinite(w) || !std::isfinite(h) || w < 0 || h < 0 || !(unitMm > 0)) return std::nullopt;
    if (q.scale < 0) return std::nullopt;
    TPrintLayout l;
    const double longSide = q.paper == PaperSize::A3 ? 420 : 297;
    const double shortSide = q.paper == PaperSize::A3 ? 297 : 210;
    l.paperWidthMm = q.landscape ? longSide : shortSide;
    l.paperHeightMm = q.landscape ? shortSide : longSide;
    l.marginMm = kMarginMm;
    l.centreX = (box.x0 + box.x1) / 2;
    l.centreY = (box.y0 + box.y1) / 2;
    const double roomW = l.paperWidthMm - 2 * kMarginMm;
    const double roomH = l.paperHeightMm - 2 * kMarginMm;
    auto fitsAt = [&](double n) { return w * unitMm / n <= roomW && h * unitMm / n <= roomH; };
    if (q.scale > 0) {
        l.scale = q.scale;
    } else {
        l.scale = 0;
        for (int n : UsualScales()) {
            if (fitsAt(n)) {
                l.scale = n;
                break;
            }
        }
        // Larger than the usual scales reach: the exact scale, rounded up to a whole number.
        if (l.scale == 0)
            l.scale = static_cast<int>(std::ceil(std::max(w * unitMm / roomW, h * unitMm / roomH)));
    }
    l.mmPerUnit = unitMm / l.scale;
    l.fits = fitsAt(l.scale);
    l.scaleText = "1/" + std::to_string(l.scale);
    return l;
}

std::string PaperText(PaperSize paper, bool landscape) {
    return std::string(paper == PaperSize::A3 ? "A3" : "A4") + (landscape ? " 横" : " 縦");
}

}  // namespace zuka

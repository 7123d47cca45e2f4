// The drawing on a sheet: paper, scale, and whether the part fits inside the margins.
#include "app/print_layout.h"

#include <gtest/gtest.h>

#include <limits>

namespace zuka {
namespace {

TEST(PrintLayout, PaperAndScale) {
    struct Row {
        const char* name;
        TPrintRequest q;
        TPrintBox box;
        double paperW, paperH;
        int scale;
        bool fits;
    };
    const Row rows[] = {
        // A 30 x 20 m site on A3 landscape: 1/50 needs 600 mm, 1/100 fits in 400 x 277 mm.
        {"fit A3 landscape", {PaperSize::A3, true, 0}, {0, 0, 30000, 20000}, 420, 297, 100, true},
        // Portrait A4 (190 x 277 mm inside the margins): 1/200 is 150 wide, 100 high.
        {"fit A4 portrait", {PaperSize::A4, false, 0}, {-5000, 0, 25000, 20000}, 210, 297, 200, true},
        // Just on the margin still fits (400 mm at 1/100).
        {"exactly the room", {PaperSize::A3, true, 0}, {0, 0, 40000, 1000}, 420, 297, 100, true},
        {"scale asked, fits", {PaperSize::A3, true, 200}, {0, 0, 30000, 20000}, 420, 297, 200, true},
        {"scale asked, too large", {PaperSize::A4, true, 50}, {0, 0, 30000, 20000}, 297, 210, 50, false},
        // Beyond 1/5000: the whole-number scale that just fits.
        {"beyond the usual scales", {PaperSize::A4, true, 0}, {0, 0, 2770000, 100}, 297, 210, 10000, true},
        {"a point", {PaperSize::A3, true, 0}, {5, 5, 5, 5}, 420, 297, 1, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::optional<TPrintLayout> l = LayoutPrint(r.q, r.box);
        ASSERT_TRUE(l);
        EXPECT_DOUBLE_EQ(l->paperWidthMm, r.paperW);
        EXPECT_DOUBLE_EQ(l->paperHeightMm, r.paperH);
        EXPECT_EQ(l->scale, r.scale);
        EXPECT_DOUBLE_EQ(l->mmPerUnit, 1.0 / r.scale);
        EXPECT_EQ(l->fits, r.fits);
        EXPECT_EQ(l->scaleText, "1/" + std::to_string(r.scale));
        EXPECT_DOUBLE_EQ(l->centreX, (r.box.x0 + r.box.x1) / 2);
        EXPECT_DOUBLE_EQ(l->centreY, (r.box.y0 + r.box.y1) / 2);
    }
}

TEST(PrintLayout, DrawingInMetres) {
    // A drawing in metres: 30 x 20 units are 30 x 20 m, so 1/100 as in millimetres.
    const std::optional<TPrintLayout> l = LayoutPrint({}, {0, 0, 30, 20}, 1000);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->scale, 100);
    EXPECT_DOUBLE_EQ(l->mmPerUnit, 10);
}

TEST(PrintLayout, RefusesWhatCannotBePlaced) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(LayoutPrint({}, {0, 0, inf, 1}));
    EXPECT_FALSE(LayoutPrint({}, {nan, 0, 1, 1}));
    EXPECT_FALSE(LayoutPrint({}, {1, 0, 0, 1}));  // reversed: nothing drawn
    EXPECT_FALSE(LayoutPrint({PaperSize::A3, true, -100}, {0, 0, 1, 1}));
    EXPECT_FALSE(LayoutPrint({}, {0, 0, 1, 1}, 0));
}

}  // namespace
}  // namespace zuka

// Where the drawing lies on a sheet of paper: the paper (A4 or A3, landscape or portrait), the
// scale (1/N of the drawing's millimetres, or the first usual scale at which the part to print
// fits inside the margins), and the drawing point at the sheet's centre. The window's print and
// PDF output place the drawing by it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zuka {

enum class PaperSize { A4, A3 };

struct TPrintRequest {
    PaperSize paper = PaperSize::A3;
    bool landscape = true;
    int scale = 0;  // N of 1/N; 0: the first usual scale at which the part fits
};

// The part of the drawing to print, in drawing units.
struct TPrintBox {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

struct TPrintLayout {
    double paperWidthMm = 0;
    double paperHeightMm = 0;
    double marginMm = 0;
    int scale = 0;                // N of 1/N
    double mmPerUnit = 0;         // paper millimetres per drawing unit
    double centreX = 0;           // the drawing point at the sheet's centre
    double centreY = 0;
    bool fits = true;             // the part lies within the margins at this scale
    std::string scaleText;        // "1/100"
};

// The usual scales of architectural drawings, largest first (1/1 ... 1/5000).
const std::vector<int>& UsualScales();

// The layout of `box` (drawing units, `unitMm` millimetres each) on the paper of `q`. nullopt
// when the box is empty or not finite, or the scale asked for is not positive.
std::optional<TPrintLayout> LayoutPrint(const TPrintRequest& q, const TPrintBox& box,
                                        double unitMm = 1);

// "A3 横" and the like, for the window's choices.
std::string PaperText(PaperSize paper, bool landscape);

}  // namespace zuka

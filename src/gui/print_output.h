// The drawing on paper: print and PDF of what the drawing view shows (its hidden layers left
// out), white paper with the CAD's colours as it prints them, placed by the print layout (A4/A3,
// landscape or portrait, a scale or the first usual scale that fits), with the file name, the
// scale and the paper in the sheet's lower right corner. The dialog asks for the paper, the
// scale and the part (the whole drawing, or what the view shows).
#pragma once

#include <filesystem>
#include <string>

#include <QDialog>

#include "app/print_layout.h"

class QComboBox;
class QPagedPaintDevice;
class QRadioButton;

namespace zuka {

class DrawingView;

struct TSheetRequest {
    TPrintRequest print;
    bool wholeDrawing = true;  // false: the part the view shows
    std::string caption;       // the drawing's name, written on the sheet
};

// Paints the sheet on a paged device (a printer or a PDF writer) set to the paper of `q`; the
// layout used, or an empty one (scale 0) when there is nothing to print.
TPrintLayout PaintSheet(QPagedPaintDevice& device, const DrawingView& view, const TSheetRequest& q);

// The sheet as a one-page PDF file; false with `error` when there is nothing to print or the
// file cannot be written.
bool WriteSheetPdf(const std::filesystem::path& path, const DrawingView& view,
                   const TSheetRequest& q, std::string& error);

// Asks for the paper, the scale and the part to print.
class SheetDialog : public QDialog {
public:
    SheetDialog(const TSheetRequest& initial, const QString& title, QWidget* parent);
    TSheetRequest Request() const;

private:
    TSheetRequest initial_;
    QComboBox* paper_;
    QComboBox* scale_;
    QRadioButton* whole_;
};

}  // namespace zuka

#include "gui/print_output.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/platform.h"
#include "gui/drawing_view.h"
#include "picture/png_picture.h"

namespace zuka {
namespace {

constexpr double kPenMm = 0.18;      // the thin pen of an architect's plot
constexpr double kCaptionMm = 3;     // the height of the sheet's caption
constexpr int kPdfDpi = 600;

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TPrintLayout PaintSheet(QPagedPaintDevice& device, const DrawingView& view,
                        const TSheetRequest& q) {
    const std::optional<TPrintBox> drawn = view.DrawnBox();
    if (!drawn) return {};
    const TPrintBox box = q.wholeDrawing ? *drawn : view.VisibleBox();
    const std::optional<TPrintLayout> l = LayoutPrint(q.print, box);
    if (!l) return {};
    device.setPageSize(QPageSize(q.print.paper == PaperSize::A3 ? QPageSize::A3 : QPageSize::A4));
    device.setPageOrientation(q.print.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    device.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    QPainter p;
    if (!p.begin(&device)) return {};
    const double pxPerMm = device.width() / l->paperWidthMm;
    const double cx = device.width() / 2.0;
    const double cy = device.height() / 2.0;
    // The sheet inside its margins: nothing of the drawing spills onto them.
    const double m = l->marginMm * pxPerMm;
    p.setClipRect(QRectF(m, m, device.width() - 2 * m, device.height() - 2 * m));
    TPlotPaint how;
    how.paper = true;
    how.scale = l->mmPerUnit * pxPerMm;
    how.penWidth = kPenMm * pxPerMm;
    how.map = [&](const TAcadPoint& a) {
        return QPointF(cx + (a.x - l->centreX) * how.scale, cy - (a.y - l->centreY) * how.scale);
    };
    how.hidden = [&view](const std::string& layer) { return view.LayerHidden(layer); };
    PaintPlot(p, view.PlotItems(), how);
    p.setClipping(false);
    const std::string caption = q.caption + "  " + l->scaleText + "  " +
                                PaperText(q.print.paper, q.print.landscape);
    PaintText(p, QPointF(device.width() - m, device.height() - m / 2), Q(caption),
              kCaptionMm * pxPerMm, 0, 2, Qt::black);
    p.end();
    return *l;
}

bool WriteSheetPdf(const std::filesystem::path& path, const DrawingView& view,
                   const TSheetRequest& q, std::string& error) {
    if (!view.DrawnBox()) {
        error = "印刷するものがありません．";
        return false;
    }
    QPdfWriter pdf(QString::fromStdString(PathToUtf8(path)));
    pdf.setResolution(kPdfDpi);
    pdf.setCreator("Zuka");
    pdf.setTitle(Q(q.caption));
    if (PaintSheet(pdf, view, q).scale == 0) {
        error = "PDF を書けません : " + PathToUtf8(path);
        return false;
    }
    return true;
}

SheetDialog::SheetDialog(const TSheetRequest& initial, const QString& title, QWidget* parent)
    : QDialog(parent), initial_(initial) {
    setWindowTitle(title);
    auto* form = new QFormLayout;
    paper_ = new QComboBox;
    paper_->setObjectName("SheetPaper");
    for (PaperSize size : {PaperSize::A3, PaperSize::A4})
        for (bool landscape : {true, false}) {
            paper_->addItem(Q(PaperText(size, landscape)));
            if (size == initial.print.paper && landscape == initial.print.landscape)
                paper_->setCurrentIndex(paper_->count() - 1);
        }
    form->addRow("用紙", paper_);
    scale_ = new QComboBox;
    scale_->setObjectName("SheetScale");
    scale_->addItem("用紙に合わせる", 0);
    for (int n : UsualScales()) {
        if (n < 50) continue;
        scale_->addItem(Q("1/" + std::to_string(n)), n);
        if (n == initial.print.scale) scale_->setCurrentIndex(scale_->count() - 1);
    }
    form->addRow("尺度", scale_);
    auto* part = new QGroupBox("範囲");
    auto* partLayout = new QVBoxLayout(part);
    whole_ = new QRadioButton("図面全体");
    whole_->setObjectName("SheetWhole");
    auto* shown = new QRadioButton("表示している範囲");
    (initial.wholeDrawing ? whole_ : shown)->setChecked(true);
    partLayout->addWidget(whole_);
    partLayout->addWidget(shown);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(part);
    layout->addWidget(buttons);
}

TSheetRequest SheetDialog::Request() const {
    TSheetRequest q = initial_;
    const int i = paper_->currentIndex();
    q.print.paper = i < 2 ? PaperSize::A3 : PaperSize::A4;
    q.print.landscape = i % 2 == 0;
    q.print.scale = scale_->currentData().toInt();
    q.wholeDrawing = whole_->isChecked();
    return q;
}

}  // namespace zuka

#include "picture/png_picture.h"

#include <cmath>
#include <memory>

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPen>

namespace zuka {
namespace {

// Text is laid out at this pixel size and scaled, so that texts of any size and angle keep
// their shape.
constexpr int kTextLayoutPx = 100;

QFont TextFont() {
    QFont f(QStringLiteral("Noto Sans CJK JP"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(kTextLayoutPx);
    return f;
}

}  // namespace

void EnsureQtPainting() {
    if (QCoreApplication::instance()) return;
    static int argc = 3;
    static char arg0[] = "zuka";
    static char arg1[] = "-platform";
    static char arg2[] = "offscreen";
    static char* argv[] = {arg0, arg1, arg2, nullptr};
    static std::unique_ptr<QGuiApplication> app = std::make_unique<QGuiApplication>(argc, argv);
}

void PaintText(QPainter& p, QPointF base, const QString& text, double heightPx, double rotation,
               int anchor, const QColor& colour) {
    if (!(heightPx > 0.05) || text.isEmpty()) return;
    const QFont font = TextFont();
    const double width = QFontMetricsF(font).horizontalAdvance(text);
    p.save();
    p.translate(base);
    p.rotate(-rotation * 180 / 3.14159265358979323846);
    p.scale(heightPx / kTextLayoutPx, heightPx / kTextLayoutPx);
    p.setFont(font);
    p.setPen(colour);
    const double x = anchor == 1 ? -width / 2 : anchor == 2 ? -width : 0;
    p.drawText(QPointF(x, 0), text);
    p.restore();
}

bool SavePng(const SvgPicture& pic, const std::filesystem::path& path, double pixels) {
    EnsureQtPainting();
    const TPictureFrame f = pic.Frame(pixels);
    QImage image(static_cast<int>(std::ceil(f.width)), static_cast<int>(std::ceil(f.height)),
                 QImage::Format_RGB32);
    image.fill(QColor(QString::fromStdString(pic.Background())));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (std::size_t i = 0; i < pic.Captions().size(); ++i) {
        PaintText(p, QPointF(4, 14.0 + 18.0 * static_cast<double>(i)),
                  QString::fromStdString(pic.Captions()[i]), 13, 0, 0, Qt::black);
    }
    for (const TPictureItem& it : pic.Items()) {
        const QColor colour(QString::fromStdString(it.colour));
        QPen pen(colour, it.width);
        if (it.dashed) pen.setDashPattern({6.0 / it.width, 3.0 / it.width});
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        switch (it.kind) {
            case TPictureItem::Kind::Line:
                p.drawLine(QPointF(f.X(it.a.x), f.Y(it.a.y)), QPointF(f.X(it.b.x), f.Y(it.b.y)));
                break;
            case TPictureItem::Kind::Circle:
                p.drawEllipse(QPointF(f.X(it.a.x), f.Y(it.a.y)), it.size * f.scale,
                              it.size * f.scale);
                break;
            case TPictureItem::Kind::Text: {
                const TAcadPoint base = TextBaseline(it);
                PaintText(p, QPointF(f.X(base.x), f.Y(base.y)), QString::fromStdString(it.text),
                          it.size * f.scale, it.placement.rotation, TextAnchor(it.placement),
                          colour);
                break;
            }
        }
    }
    p.end();
    return image.save(QString::fromStdString(path.string()), "PNG");
}

}  // namespace zuka

#include "gui/drawing_view.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include "cad/bridge.h"
#include "picture/png_picture.h"

namespace zuka {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kPickPx = 4;    // half the pick box
constexpr double kSnapPx = 8;    // reach of the point snap
constexpr double kDragPx = 4;    // a press that moves further is a window
constexpr char kViewSelSet[] = "ssZukaView";
const QColor kScreen(33, 40, 48);

// Layer names compare without regard to the case of ASCII letters.
std::string UpperName(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

void Extend(const TPlotItem& it, double& x0, double& y0, double& x1, double& y1) {
    auto extend = [&](double x, double y) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
    };
    for (const TAcadPoint& p : it.points) extend(p.x, p.y);
    if (it.kind != TPlotItem::Kind::Path) {
        extend(it.centre.x - it.radius, it.centre.y - it.radius);
        extend(it.centre.x + it.radius, it.centre.y + it.radius);
    }
}

}  // namespace

QColor AciColour(int index) {
    static const QColor kFirst[] = {QColor(0, 0, 0),       QColor(255, 0, 0),
                                    QColor(255, 255, 0),   QColor(0, 255, 0),
                                    QColor(0, 255, 255),   QColor(0, 0, 255),
                                    QColor(255, 0, 255),   QColor(255, 255, 255),
                                    QColor(128, 128, 128), QColor(192, 192, 192)};
    if (index >= 0 && index <= 9) return kFirst[index];
    if (index >= 250 && index <= 255) {
        static const int kGrey[] = {51, 91, 132, 173, 214, 255};
        return QColor(kGrey[index - 250], kGrey[index - 250], kGrey[index - 250]);
    }
    if (index < 10 || index > 249) return Qt::white;
    // 24 hues of 15 degrees, each in five shades, full and pale.
    const int hue = ((index / 10) - 1) * 15;
    const int shade = (index % 10) / 2;
    const bool pale = index % 2 == 1;
    static const double kValue[] = {1.0, 0.8, 0.6, 0.5, 0.3};
    return QColor::fromHsvF(hue / 360.0, pale ? 0.5 : 1.0, kValue[shade]);
}

QColor PaperColour(int index) {
    const QColor c = AciColour(index);
    // White (colour 7) and the pale colours would vanish on white paper: they print black.
    const double luma = 0.299 * c.red() + 0.587 * c.green() + 0.114 * c.blue();
    return luma > 200 ? QColor(Qt::black) : c;
}

DrawingView::DrawingView(DrawingHost& host, QWidget* parent) : QWidget(parent), host_(host) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(320, 240);
    setAutoFillBackground(false);
}

DrawingView::~DrawingView() { CancelPick(); }

void DrawingView::Reload(bool fit) {
    plot_ = host_.Plot();
    if (fit) {
        moved_ = false;
        MarkSeen();
    }
    if (fit || !fitted_) ZoomExtents();
    update();
}

void DrawingView::MarkSeen() {
    seen_.clear();
    for (const TPlotItem& it : plot_) seen_.insert(it.handle);
}

void DrawingView::KeepView() {
    plot_ = host_.Plot();
    MarkSeen();
    update();
}

bool DrawingView::ZoomToResult() {
    plot_ = host_.Plot();
    double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
    for (const TPlotItem& it : plot_)
        if (!seen_.count(it.handle) && !LayerHidden(it.layer)) Extend(it, x0, y0, x1, y1);
    MarkSeen();
    if (!(x1 >= x0)) {
        if (!fitted_) ZoomExtents();
        update();
        return false;
    }
    moved_ = true;  // the result stays in view when the window is resized
    ZoomBox(x0, y0, x1, y1);
    return true;
}

void DrawingView::SetHiddenLayers(const std::set<std::string>& layers) {
    hidden_.clear();
    for (const std::string& l : layers) hidden_.insert(UpperName(l));
    update();
}

bool DrawingView::LayerHidden(const std::string& layer) const {
    return !hidden_.empty() && hidden_.count(UpperName(layer)) > 0;
}

void DrawingView::ZoomExtents() {
    double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
    for (const TPlotItem& it : plot_)
        if (!LayerHidden(it.layer)) Extend(it, x0, y0, x1, y1);
    if (!(x1 >= x0)) x0 = y0 = 0, x1 = y1 = 1000;
    ZoomBox(x0, y0, x1, y1);
}

void DrawingView::ZoomBox(double x0, double y0, double x1, double y1) {
    const double w = std::max(x1 - x0, 1e-6);
    const double h = std::max(y1 - y0, 1e-6);
    scale_ = std::min(width() / w, height() / h) * 0.92;
    ox_ = (x0 + x1) / 2 - width() / 2.0 / scale_;
    oy_ = (y0 + y1) / 2 - height() / 2.0 / scale_;
    fitted_ = width() > 0 && height() > 0;
    update();
}

void DrawingView::StartZoomWindow() {
    zoomNext_ = true;
    if (!asking_) setCursor(Qt::CrossCursor);
}

bool DrawingView::ZoomWindow(QPointF a, QPointF b) {
    const QPointF d = b - a;
    if (std::hypot(d.x(), d.y()) <= kDragPx) {
        update();
        return false;
    }
    const TAcadPoint p = ToWorld(a);
    const TAcadPoint q = ToWorld(b);
    moved_ = true;  // the user's view: a resize keeps it
    const double w = std::abs(q.x - p.x);
    const double h = std::abs(q.y - p.y);
    scale_ = std::min(width() / w, height() / h);
    ox_ = (p.x + q.x) / 2 - width() / 2.0 / scale_;
    oy_ = (p.y + q.y) / 2 - height() / 2.0 / scale_;
    update();
    return true;
}

TPrintBox DrawingView::VisibleBox() const {
    const TAcadPoint a = ToWorld(QPointF(0, height()));
    const TAcadPoint b = ToWorld(QPointF(width(), 0));
    return {a.x, a.y, b.x, b.y};
}

std::optional<TPrintBox> DrawingView::DrawnBox() const {
    double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
    for (const TPlotItem& it : plot_)
        if (!LayerHidden(it.layer)) Extend(it, x0, y0, x1, y1);
    if (!(x1 >= x0)) return std::nullopt;
    return TPrintBox{x0, y0, x1, y1};
}

QPointF DrawingView::ToScreen(TAcadPoint p) const {
    return {(p.x - ox_) * scale_, height() - (p.y - oy_) * scale_};
}

TAcadPoint DrawingView::ToWorld(QPointF s) const {
    return {ox_ + s.x() / scale_, oy_ + (height() - s.y()) / scale_, 0};
}

void PaintPlot(QPainter& p, const std::vector<TPlotItem>& plot, const TPlotPaint& how) {
    p.setRenderHint(QPainter::Antialiasing);
    for (const TPlotItem& it : plot) {
        if (how.hidden && how.hidden(it.layer)) continue;
        const bool chosen = how.chosen && how.chosen->count(it.handle) > 0;
        const QColor colour = chosen ? QColor(255, 200, 40)
                              : how.paper ? PaperColour(it.color)
                                          : AciColour(it.color);
        QPen pen(colour, chosen ? 2 * how.penWidth : how.penWidth);
        double pattern = 0;
        for (double d : it.dashes) pattern += std::abs(d) * how.scale;
        if (!it.dashes.empty() && pattern > 4 * how.penWidth && pattern < 4000 * how.penWidth) {
            QList<qreal> dashes;
            for (double d : it.dashes)
                dashes << std::max(std::abs(d) * how.scale, how.penWidth) / pen.widthF();
            if (dashes.size() % 2 == 1) dashes << 1.0;
            pen.setDashPattern(dashes);
        }
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        switch (it.kind) {
            case TPlotItem::Kind::Path: {
                if (it.points.empty()) break;
                QPainterPath path(how.map(it.points[0]));
                for (std::size_t i = 1; i < it.points.size(); ++i)
                    path.lineTo(how.map(it.points[i]));
                if (it.closed) path.closeSubpath();
                p.drawPath(path);
                break;
            }
            case TPlotItem::Kind::Circle:
                p.drawEllipse(how.map(it.centre), it.radius * how.scale, it.radius * how.scale);
                break;
            case TPlotItem::Kind::Text:
                PaintText(p, how.map(it.centre), QString::fromStdString(it.text),
                          it.height * how.scale, it.rotation, it.anchor, colour);
                break;
        }
    }
}

void DrawingView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kScreen);
    TPlotPaint how;
    how.map = [this](const TAcadPoint& q) { return ToScreen(q); };
    how.scale = scale_;
    how.hidden = [this](const std::string& layer) { return LayerHidden(layer); };
    how.chosen = &chosen_;
    PaintPlot(p, plot_, how);
    if (zoomFrom_) {
        p.setPen(QPen(QColor(255, 200, 40), 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(*zoomFrom_, mouse_).normalized());
    }
    if (!asking_) return;
    if (dragStart_ && want_ == AnswerKind::Selection) {
        const bool crossing = mouse_.x() < dragStart_->x();
        QPen pen(crossing ? QColor(80, 220, 120) : QColor(90, 160, 255), 1,
                 crossing ? Qt::DashLine : Qt::SolidLine);
        p.setPen(pen);
        p.setBrush(crossing ? QColor(80, 220, 120, 40) : QColor(90, 160, 255, 40));
        p.drawRect(QRectF(*dragStart_, mouse_).normalized());
    }
    if (anglePoint_) {
        p.setPen(QPen(Qt::white, 1, Qt::DashLine));
        p.drawLine(ToScreen(*anglePoint_), mouse_);
    }
    if (snap_ && (want_ == AnswerKind::Point || want_ == AnswerKind::Angle)) {
        p.setPen(QPen(QColor(255, 200, 40), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(ToScreen(*snap_) - QPointF(5, 5), QSizeF(10, 10)));
    }
}

TAnswer DrawingView::Ask(AnswerKind want, const std::string& prompt) {
    if (asking_) return {};
    asking_ = true;
    want_ = want;
    answer_ = {};
    chosen_.clear();
    anglePoint_.reset();
    dragStart_.reset();
    if (onPrompt) onPrompt(prompt);
    Reload();
    window()->show();
    window()->raise();
    window()->activateWindow();
    setFocus();
    setCursor(Qt::CrossCursor);
    QEventLoop loop;
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
    asking_ = false;
    chosen_.clear();
    anglePoint_.reset();
    dragStart_.reset();
    unsetCursor();
    if (onPrompt) onPrompt("");
    update();
    return answer_;
}

void DrawingView::Answer(TAnswer a) {
    answer_ = std::move(a);
    if (loop_) loop_->quit();
}

void DrawingView::CancelPick() {
    if (asking_) Answer({});
}

std::vector<std::string> DrawingView::WindowHandles(TAcadPoint a, TAcadPoint b, bool crossing) {
    std::vector<std::string> handles;
    try {
        Document& doc = host_.ActiveDocument();
        SelectionSetPtr ss = GetSelSet(doc, kViewSelSet);
        ss->Select(crossing ? kSelectCrossing : kSelectWindow, a, b);
        for (int i = 0; i < ss->Count(); ++i) handles.push_back(ss->Item(i)->Handle());
        ss->Delete();
        if (!hidden_.empty()) {
            // What is hidden in the view cannot be picked.
            std::set<std::string> shown;
            for (const TPlotItem& it : plot_)
                if (!LayerHidden(it.layer)) shown.insert(it.handle);
            std::erase_if(handles, [&](const std::string& h) { return !shown.count(h); });
        }
    } catch (const AutomationError&) {
        // No drawing open: nothing to select.
    }
    return handles;
}

std::optional<std::string> DrawingView::EntityAt(QPointF s) {
    const std::vector<std::string> h =
        WindowHandles(ToWorld(s - QPointF(kPickPx, kPickPx)), ToWorld(s + QPointF(kPickPx, kPickPx)),
                      true);
    if (h.empty()) return std::nullopt;
    return h.back();
}

std::optional<TAcadPoint> DrawingView::SnapAt(QPointF s) const {
    std::optional<TAcadPoint> best;
    double bestD = kSnapPx;
    auto consider = [&](TAcadPoint q) {
        const QPointF d = ToScreen(q) - s;
        const double dist = std::hypot(d.x(), d.y());
        if (dist <= bestD) {
            bestD = dist;
            best = TAcadPoint{q.x, q.y, 0};
        }
    };
    for (const TPlotItem& it : plot_) {
        if (LayerHidden(it.layer)) continue;
        if (it.kind == TPlotItem::Kind::Circle) consider(it.centre);
        if (it.kind == TPlotItem::Kind::Path && !it.points.empty()) {
            consider(it.points.front());
            consider(it.points.back());
        }
    }
    return best;
}

void DrawingView::mousePressEvent(QMouseEvent* e) {
    const QPointF s = e->position();
    mouse_ = s;
    // A zoom window: after 窓ズーム (Z), or with Shift held, also in the middle of a pick.
    if (e->button() == Qt::LeftButton && (zoomNext_ || (e->modifiers() & Qt::ShiftModifier))) {
        zoomFrom_ = s;
        return;
    }
    if (e->button() == Qt::MiddleButton || (e->button() == Qt::LeftButton && !asking_)) {
        panFrom_ = s;
        return;
    }
    if (!asking_) return;
    if (e->button() == Qt::RightButton) {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        keyPressEvent(&enter);
        return;
    }
    if (e->button() != Qt::LeftButton) return;
    const TAcadPoint w = snap_.value_or(ToWorld(s));
    switch (want_) {
        case AnswerKind::Point:
            Answer({AnswerKind::Point, w, {}, {}, 0});
            break;
        case AnswerKind::Entity:
            if (const std::optional<std::string> h = EntityAt(s))
                Answer({AnswerKind::Entity, ToWorld(s), *h, {}, 0});
            break;
        case AnswerKind::Selection:
            dragStart_ = s;
            break;
        case AnswerKind::Angle:
            if (!anglePoint_) {
                anglePoint_ = w;
            } else {
                double a = std::atan2(w.y - anglePoint_->y, w.x - anglePoint_->x);
                if (a < 0) a += 2 * kPi;
                Answer({AnswerKind::Angle, {}, {}, {}, a});
            }
            break;
        default:
            break;
    }
    update();
}

void DrawingView::mouseMoveEvent(QMouseEvent* e) {
    const QPointF s = e->position();
    if (panFrom_) {
        moved_ = true;
        const QPointF d = s - *panFrom_;
        ox_ -= d.x() / scale_;
        oy_ += d.y() / scale_;
        panFrom_ = s;
    }
    mouse_ = s;
    if (asking_) snap_ = SnapAt(s);
    update();
}

void DrawingView::mouseReleaseEvent(QMouseEvent* e) {
    const QPointF s = e->position();
    if (zoomFrom_ && e->button() == Qt::LeftButton) {
        const QPointF start = *zoomFrom_;
        zoomFrom_.reset();
        zoomNext_ = false;
        if (!asking_) unsetCursor();
        ZoomWindow(start, s);
        return;
    }
    if (panFrom_ && (e->button() == Qt::MiddleButton || e->button() == Qt::LeftButton)) {
        panFrom_.reset();
        return;
    }
    if (!asking_ || want_ != AnswerKind::Selection || !dragStart_ || e->button() != Qt::LeftButton)
        return;
    const QPointF start = *dragStart_;
    dragStart_.reset();
    const QPointF d = s - start;
    if (std::hypot(d.x(), d.y()) > kDragPx) {
        for (const std::string& h : WindowHandles(ToWorld(start), ToWorld(s), s.x() < start.x()))
            chosen_.insert(h);
    } else if (const std::optional<std::string> h = EntityAt(s)) {
        if (!chosen_.erase(*h)) chosen_.insert(*h);
    }
    update();
}

void DrawingView::wheelEvent(QWheelEvent* e) {
    const QPointF s = e->position();
    const TAcadPoint before = ToWorld(s);
    moved_ = true;
    scale_ *= std::pow(1.2, e->angleDelta().y() / 120.0);
    const TAcadPoint after = ToWorld(s);
    ox_ += before.x - after.x;
    oy_ += before.y - after.y;
    update();
}

void DrawingView::keyPressEvent(QKeyEvent* e) {
    const int k = e->key();
    if (k == Qt::Key_Home) {
        ZoomExtents();
        return;
    }
    if (zoomNext_ && k == Qt::Key_Escape) {
        zoomNext_ = false;
        zoomFrom_.reset();
        if (!asking_) unsetCursor();
        update();
        return;
    }
    if (!asking_ && k == Qt::Key_Z) {
        StartZoomWindow();
        return;
    }
    if (!asking_) {
        QWidget::keyPressEvent(e);
        return;
    }
    if (k == Qt::Key_Escape) {
        Answer({});
    } else if (k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Space) {
        if (want_ != AnswerKind::Selection) {
            Answer({AnswerKind::Enter, {}, {}, {}, 0});
        } else if (chosen_.empty()) {
            Answer({});  // nothing chosen: the selection ends empty
        } else {
            std::string expr = "handle=";
            for (const std::string& h : chosen_) expr += (expr.size() > 7 ? "," : "") + h;
            Answer({AnswerKind::Selection, {}, {}, expr, 0});
        }
    }
}

void DrawingView::resizeEvent(QResizeEvent*) {
    if (!moved_) ZoomExtents();
}

}  // namespace zuka

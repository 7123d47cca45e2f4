// The drawing window's canvas: shows the host's drawing as the CAD's screen would (colours,
// linetypes, texts, arcs and bulges, block contents), pans and zooms with the mouse, and
// answers the picks the commands ask for, as the user makes them:
//   point        a click (snapped to a nearby end point or centre, marked by a square)
//   entity       a click on it
//   selection    clicks on entities and windows dragged left to right (wholly inside) or right
//                to left (crossing), until Enter or a right click; a click on a chosen entity
//                takes it out again
//   angle        two clicks, from the first to the second
// Escape cancels. The middle button (or the left button while nothing is asked) pans, the
// wheel zooms about the cursor, Home shows the whole drawing, a rectangle dragged after Z (or
// with Shift) is shown whole.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <QPointF>
#include <QWidget>

#include "cad/host/drawing_host.h"
#include "app/print_layout.h"
#include "cad/interaction.h"

class QEventLoop;
class QPainter;

namespace zuka {

class DrawingView : public QWidget, public Interaction {
public:
    explicit DrawingView(DrawingHost& host, QWidget* parent = nullptr);
    ~DrawingView() override;

    // Reads the drawing again (after a command changed it); with `fit` shows all of it.
    void Reload(bool fit = false);
    // Shows all that is drawn (layers hidden in the view left out).
    void ZoomExtents();
    // Reads the drawing again and, when it holds entities that were not there at the last
    // call (or at the last Reload(true) or KeepView), shows their extent with a margin: the
    // results of a command are seen wherever they were placed. Otherwise the view stays.
    // True when it zoomed.
    bool ZoomToResult();
    // Takes what is drawn now as already seen (after undo or redo): the view stays.
    void KeepView();
    // 窓ズーム: the next rectangle dragged with the left button (Escape: none) is shown whole.
    // Shift with the left button drags one at any time, also while a pick is asked.
    void StartZoomWindow();
    // Shows the rectangle between the two widget points whole; false for a mere click.
    bool ZoomWindow(QPointF a, QPointF b);

    // Layers hidden in the view (names, any case): neither drawn nor picked. A setting of the
    // view only; the drawing is not changed.
    void SetHiddenLayers(const std::set<std::string>& layers);
    bool LayerHidden(const std::string& layer) const;

    // Waits, with the window's events running, for the user's answer of kind `want`.
    TAnswer Ask(AnswerKind want, const std::string& prompt) override;
    // Cancels a pending pick as Escape does (the window is closing).
    void CancelPick();
    bool Picking() const { return asking_; }

    // Shown on the command strip: the prompt of a pick, cleared when it is answered.
    std::function<void(const std::string&)> onPrompt;

    // The part of the drawing the view shows, and the extent of all that is drawn in it
    // (nullopt when nothing is).
    TPrintBox VisibleBox() const;
    std::optional<TPrintBox> DrawnBox() const;
    // What the view shows: the drawing's entities as last read.
    const std::vector<TPlotItem>& PlotItems() const { return plot_; }

    // Drawing position <-> widget pixel.
    QPointF ToScreen(TAcadPoint p) const;
    TAcadPoint ToWorld(QPointF s) const;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    void Answer(TAnswer a);
    // Shows the box x0..x1, y0..y1 of the drawing with a margin.
    void ZoomBox(double x0, double y0, double x1, double y1);
    void MarkSeen();
    // Handles of the entities a window selects (crossing: those it touches).
    std::vector<std::string> WindowHandles(TAcadPoint a, TAcadPoint b, bool crossing);
    // The entity under the cursor (topmost), if any.
    std::optional<std::string> EntityAt(QPointF s);
    // The nearest end point or centre within a few pixels of s.
    std::optional<TAcadPoint> SnapAt(QPointF s) const;

    DrawingHost& host_;
    std::vector<TPlotItem> plot_;
    double scale_ = 1;  // pixels per drawing unit
    double ox_ = 0;     // drawing x at the left edge
    double oy_ = 0;     // drawing y at the bottom edge
    bool fitted_ = false;
    bool moved_ = false;  // the user panned or zoomed: a resize keeps the view
    std::set<std::string> hidden_;  // layers hidden in the view, in upper case
    std::set<std::string> seen_;    // handles drawn at the last ZoomToResult

    bool asking_ = false;
    AnswerKind want_ = AnswerKind::Escape;
    QEventLoop* loop_ = nullptr;
    TAnswer answer_;
    std::set<std::string> chosen_;          // selection being made
    std::optional<TAcadPoint> anglePoint_;  // first point of an angle
    std::optional<QPointF> dragStart_;      // window being dragged
    std::optional<QPointF> panFrom_;
    std::optional<QPointF> zoomFrom_;  // a zoom window being dragged
    bool zoomNext_ = false;            // 窓ズーム: the next drag is a zoom window
    QPointF mouse_;
    std::optional<TAcadPoint> snap_;
};

// The colour of a CAD colour index (1 to 255) on a dark screen.
QColor AciColour(int index);
// The same on white paper: white (colour 7) and the pale colours black, as a CAD prints them.
QColor PaperColour(int index);

// How PaintPlot paints: the drawing point to device pixels, the pixels per drawing unit, the
// pen width in pixels, the layers left out, the entities shown as chosen, and whether it paints
// on paper (PaperColour) or on the dark screen (AciColour).
struct TPlotPaint {
    std::function<QPointF(const TAcadPoint&)> map;
    double scale = 1;
    double penWidth = 1;
    std::function<bool(const std::string&)> hidden;
    const std::set<std::string>* chosen = nullptr;
    bool paper = false;
};
// Paints the entities of a plot: what the view shows, and what the print and PDF output put
// on a sheet.
void PaintPlot(QPainter& p, const std::vector<TPlotItem>& plot, const TPlotPaint& how);

}  // namespace zuka

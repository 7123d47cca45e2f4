// The regulation checks as windows of their own beside the drawing, opened from the drawing
// window's 検討 menu: the shadow regulation check (日影規制) and the sky-factor verdict (天空率).
// Each takes its inputs, runs the same application routine as the command line (the site and
// the road lines are picked in the drawing, where the command line names them), shows the
// verdict and its table, and the routine draws into the drawing as the command line's does.
// They are windows rather than pages of the main window: the main window's eight pages are the
// Form's, whose page number the settings keep and whose page changes start work; and a check
// is run a few times per design, with the drawing free for its picks meanwhile.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "app/controller.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace zuka {

class DrawingSession;

// Runs a handler as the main window runs a command (one at a time, errors in a message box).
using CommandRunner = std::function<void(const std::function<void()>&)>;

// Shows tab-separated lines in a table, one field a cell; the first line as the headings when
// `headed`.
void ShowLines(QTableWidget& table, const std::vector<std::string>& lines, bool headed);

// The verdict in large letters: 適合 in green, 不適合 in red, else the text as it is.
void ShowVerdict(QLabel& label, const std::string& text);

class KiseiWindow : public QWidget {
public:
    KiseiWindow(Controller& c, CommandRunner run, QWidget* parent = nullptr);

    // 敷地を選択して判定: the check with the inputs typed; the site is picked in the drawing.
    void Check();
    QLineEdit& Hours5() { return *h5_; }
    QLineEdit& Hours10() { return *h10_; }
    QLineEdit& Plane() { return *plane_; }
    QCheckBox& Headroom() { return *headroom_; }
    QLabel& Verdict() { return *verdict_; }
    QTableWidget& Table() { return *table_; }

private:
    Controller& c_;
    CommandRunner run_;
    QLineEdit* h5_;
    QLineEdit* h10_;
    QLineEdit* plane_;
    QCheckBox* headroom_;
    QCheckBox* tenth_;
    QPushButton* start_;
    QLabel* verdict_;
    QTableWidget* table_;
};

// 天空率の判定: the zone, the FAR, the kinds, the roads' widths, the road level and the margin
// (the SkyCheck settings, kept in the settings file), then the site and each road's boundary
// lines picked in the drawing; the verdict table with 適合/不適合 per point and the 近接点
// marked, and the points, the conforming building, the table and the closest point's maps drawn.
class SkyCheckWindow : public QWidget {
public:
    SkyCheckWindow(Controller& c, DrawingSession& session, CommandRunner run,
                   QWidget* parent = nullptr);

    // The fields from the settings, and back.
    void ShowSettings();
    void TakeSettings();
    // 敷地と道路を選択して判定.
    void Check();
    QComboBox& Zone() { return *zone_; }
    QLineEdit& Far() { return *far_; }
    QLineEdit& Roads() { return *roads_; }
    QLineEdit& Margin() { return *margin_; }
    QLabel& Verdict() { return *verdict_; }
    QTableWidget& Table() { return *table_; }
    QTableWidget& Summary() { return *summary_; }

private:
    Controller& c_;
    DrawingSession& session_;
    CommandRunner run_;
    QComboBox* zone_;
    QLineEdit* far_;
    QCheckBox* kinds_[3];
    QLineEdit* roads_;
    QLineEdit* roadLevel_;
    QLineEdit* margin_;
    QComboBox* corners_ = nullptr;
    QPushButton* start_;
    QLabel* verdict_;
    QTableWidget* table_;
    QTableWidget* summary_;
};

}  // namespace zuka

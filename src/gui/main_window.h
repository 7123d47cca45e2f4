// The main window: the small window that stays above the drawing, with the eight pages of
// inputs and command buttons, the preview picture and the progress bar. Every control is
// bound to the Form by its component name (the widget's object name); the window calls the
// controller's handlers and shows the Form again afterwards. Nothing is computed here.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QWidget>

#include "app/controller.h"
#include "app/diagram_run.h"
#include "app/drawing_session.h"
#include "app/target_cad.h"
#include "app/work_folder.h"
#include "gui/drawing_window.h"
#include "gui/qt_ui_host.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QTabWidget;
class QTableWidget;

namespace zuka {

class KeyFilter;
class KiseiWindow;
class SkyCheckWindow;

class MainWindow : public QWidget {
public:
    MainWindow(Controller& c, QtUiHost& ui, DrawingSession& session, DrawingWindow& drawing,
               WorkFolder folder);
    ~MainWindow() override;

    // Shows the Form on the widgets (texts, checks, enabled states, grids, progress, preview).
    void Refresh();
    // Runs a handler as the one running command, telling the user of a text that is no number.
    void Command(const std::function<void()>& handler);
    // Runs a drawing command with its progress text and what it reports at the end.
    void Diagram(TDiagramCommand cmd);
    // Writes the settings file and ends the program (after a running command has stopped and
    // a changed drawing has been saved or let go).
    void Quit();

    // A point grid (StringGrid1, StringGrid2) as the CSV file the command line's --csv writes;
    // false, said in a message box, when it cannot be written.
    bool SaveGridAsCsv(const std::string& grid, const std::filesystem::path& path);

    QTabWidget& Pages() { return *pages_; }
    TargetCadDialog& TargetDialog() { return targetDialog_; }
    // The regulation check's window (made when first asked for), shown beside the drawing.
    KiseiWindow& Kisei();
    // The sky-factor verdict's window, likewise.
    SkyCheckWindow& SkyCheck();
    // The target-CAD dialog, shown modally.
    void SpeedButton4Click();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    friend class KeyFilter;

    // Widgets bound to the Form.
    QLineEdit* Edit(const char* name, std::string& field, int width = 48);
    QAbstractButton* Button(const char* name, TButton& b, std::function<void()> fn,
                            const char* hint = nullptr, bool command = true);
    QCheckBox* Check(const char* name, const char* caption, bool& field,
                     std::function<void()> fn = {}, const char* hint = nullptr);
    QGroupBox* Radio(const char* name, const char* title, const std::vector<const char*>& items,
                     int& field, std::function<void()> fn, bool horizontal = false);
    QLabel* Label(std::string& field);
    QTableWidget* Grid(const char* name, TGridCells& cells, int& row, std::function<void()> click);
    QWidget* UpDown(const char* name, std::function<void(bool)> step, const char* upHint,
                    const char* downHint);

    QWidget* Page0();
    QWidget* Page1();
    QWidget* Page2();
    QWidget* Page3();
    QWidget* Page4();
    QWidget* Page5();
    QWidget* Page6();
    QWidget* Page7();
    void PaintPreview();
    void ShowButton2Menu(const QPoint& at);
    void ShowGridMenu(QTableWidget* grid, const QPoint& at);
    void AfterCommand();
    // What 取得 took, on the drawing window's strip and status line.
    void EchoModel();

    Controller& c_;
    QtUiHost& ui_;
    DrawingSession& session_;
    DrawingWindow& drawing_;
    WorkFolder folder_;
    TargetCadDialog targetDialog_;
    std::unique_ptr<KeyFilter> keys_;
    DiagramRun* activeRun_ = nullptr;
    bool closePending_ = false;
    bool modelShown_ = false;  // a model was taken from the drawing now open
    bool quitting_ = false;

    QTabWidget* pages_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QElapsedTimer progressClock_;  // since the bar's run began, for the time left
    int progressFrom_ = 0;
    QLabel* image2_ = nullptr;
    QComboBox* combo1_ = nullptr;
    QCheckBox* dateOn_ = nullptr;  // the sun of a calendar day instead of the season
    QDateEdit* date_ = nullptr;
    std::unique_ptr<KiseiWindow> kisei_;
    std::unique_ptr<SkyCheckWindow> skyCheck_;
    QGroupBox* groupBox15_ = nullptr;
    QGroupBox* groupBox13_ = nullptr;
    QPlainTextEdit* memo1_ = nullptr;
    std::vector<QCheckBox*> tableBoxes_;
    std::map<std::string, QLineEdit*> edits_;

    struct TEditBind {
        QLineEdit* w;
        std::string* f;
    };
    struct TButtonBind {
        QAbstractButton* w;
        std::string name;
        TButton* b;
        bool command;
    };
    struct TCheckBind {
        QCheckBox* w;
        bool* f;
    };
    struct TRadioBind {
        QButtonGroup* g;
        int* f;
    };
    struct TLabelBind {
        QLabel* w;
        std::string* f;
    };
    struct TGridBind {
        QTableWidget* w;
        TGridCells* cells;
        int* row;
    };
    std::vector<TEditBind> editBinds_;
    std::vector<TButtonBind> buttonBinds_;
    std::vector<TCheckBind> checkBinds_;
    std::vector<TRadioBind> radioBinds_;
    std::vector<TLabelBind> labelBinds_;
    std::vector<TGridBind> gridBinds_;
    std::vector<QWidget*> commandInputs_;  // unusable while a command runs
};

// Qt's own dialogs (open, save, the Yes/No/Cancel buttons) in Japanese: Qt's Japanese
// translations, where the system has them, loaded into the application.
void LoadJapaneseQtTranslations();

// Everything the window program holds, in the order it is made: the handlers' window side,
// the controller, the drawing, the drawing window and the main window.
struct ZukaGui {
    explicit ZukaGui(WorkFolder folder);
    // FormCreate from the work folder's settings file, shows both windows, and opens the
    // drawing when one is named.
    void Start(const std::filesystem::path& drawing = {});

    WorkFolder folder;
    QtUiHost ui;
    Controller controller;
    DrawingSession session;
    DrawingWindow drawingWindow;
    MainWindow mainWindow;
};

}  // namespace zuka

#include "gui/main_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include "../support/temp_dir.h"
#include "app/command_gate.h"
#include "gui/check_windows.h"
#include "gui/target_cad_dialog.h"

namespace zuka {
namespace {

const std::filesystem::path kSample = std::filesystem::path(ZUKA_SOURCE_DIR) / "examples/sample.dxf";

// The window program on a work folder of its own; message boxes are recorded.
class GuiTest : public ::testing::Test {
protected:
    void Start(const std::string& ini = {}, bool drawing = true) {
        if (!ini.empty()) std::ofstream(dir_.Path() / "zuka.ini") << ini;
        gui_ = std::make_unique<ZukaGui>(WorkFolder{dir_.Path(), dir_.Path()});
        gui_->ui.messageHook = [this](const std::string&, const std::string& text) {
            messages_.push_back(text);
        };
        gui_->drawingWindow.confirm = [](const std::string&) { return false; };
        gui_->Start(drawing ? kSample : std::filesystem::path());
        gui_->drawingWindow.resize(900, 700);
        QApplication::processEvents();
    }
    template <class T = QWidget>
    T* W(const char* name) {
        T* w = gui_->mainWindow.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString Text(const char* name) { return W<QLineEdit>(name)->text(); }
    Form& F() { return gui_->controller.form; }
    int ModelCount() { return gui_->session.Host().ActiveDocument().ModelSpace().Count(); }
    // 取得 without the view: the buildings of layer 建物.
    void AcquireBuildings() {
        gui_->session.SetInteraction(nullptr);
        ASSERT_TRUE(AcquireTatemono(gui_->controller, gui_->session, "layer=建物"));
        gui_->session.SetInteraction(&gui_->drawingWindow.View());
        gui_->mainWindow.Refresh();
    }

    std::set<std::string> Handles() {
        std::set<std::string> all;
        for (const TPlotItem& it : gui_->session.Host().Plot()) all.insert(it.handle);
        return all;
    }
    QListWidgetItem* LayerItem(const std::string& name) {
        auto* list = gui_->drawingWindow.findChild<QListWidget*>("LayerList");
        for (int i = 0; list && i < list->count(); ++i)
            if (list->item(i)->data(Qt::UserRole).toString().toStdString() == name)
                return list->item(i);
        return nullptr;
    }
    static std::string Bytes(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    testing::TempDir dir_;
    std::unique_ptr<ZukaGui> gui_;
    std::vector<std::string> messages_;
};

// A first start shows the settings file's values where it has keys, else the first-start
// defaults (not the window's design values).
TEST_F(GuiTest, FirstStartShowsTheSettingsFile) {
    Start("[Jikoku]\nkankaku=0.5\n[Common]\nido1=35\n[Touji]\nkankaku2=2\nchk3=0\n");
    EXPECT_EQ(Text("Edit11"), "0.5");
    EXPECT_EQ(Text("Edit3"), "35");
    EXPECT_EQ(Text("Edit4"), "4.0");
    EXPECT_EQ(Text("Edit19"), "200");
    EXPECT_TRUE(W<QRadioButton>("RadioGroup5_2")->isChecked());
    EXPECT_TRUE(W<QRadioButton>("RadioGroup6_1")->isChecked());
    EXPECT_FALSE(W<QCheckBox>("CheckListBox1_3")->isChecked());
    EXPECT_TRUE(W<QCheckBox>("CheckListBox1_13")->isChecked());
    EXPECT_FALSE(W<QAbstractButton>("Button3")->isEnabled());
    // Closing writes the settings back, with what was typed.
    QTest::keyClicks(W<QLineEdit>("Edit27"), "X");
    gui_->mainWindow.Quit();
    IniFile saved;
    ASSERT_TRUE(saved.LoadFile(dir_.Path() / "zuka.ini"));
    EXPECT_EQ(saved.ReadString("Layer", "Jikoku", ""), "ZUKA_JIKOKUX");
    EXPECT_EQ(saved.ReadString("Jikoku", "kankaku", ""), "0.5");
}

TEST_F(GuiTest, KeyFiltersAndEnterOrder) {
    Start({}, false);
    gui_->mainWindow.activateWindow();
    QLineEdit* e3 = W<QLineEdit>("Edit3");
    e3->setFocus();
    QTest::keyClicks(e3, "a1");
    EXPECT_EQ(e3->text(), "361");
    EXPECT_EQ(F().Edit3, "361");
    QTest::keyClicks(W<QLineEdit>("Edit2"), "-");
    EXPECT_EQ(Text("Edit2"), "8.0");
    QTest::keyClicks(W<QLineEdit>("Edit12"), "-");
    EXPECT_EQ(Text("Edit12"), "90.0-");
    // Enter: Edit3 -> Edit5 -> Edit23, where it stays.
    e3->setFocus();
    QTest::keyClick(e3, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), W<QLineEdit>("Edit5"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), W<QLineEdit>("Edit23"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), W<QLineEdit>("Edit23"));
    // The city list fills the latitude; the converter turns degrees both ways.
    emit gui_->mainWindow.findChild<QComboBox*>("ComboBox1")->activated(1);
    EXPECT_EQ(Text("Edit3"), "43");
    EXPECT_EQ(Text("Edit5"), "04");
    QTest::mouseClick(W<QAbstractButton>("SpeedButton6"), Qt::LeftButton);
    EXPECT_EQ(Text("Edit49"), "130.5500");
}

// 取得 by a window dragged in the drawing view and Enter, then 時刻 draws into the view; the
// preview turns and tilts by 5 degrees.
TEST_F(GuiTest, AcquireByWindowThenTimeOfDay) {
    Start();
    DrawingView& view = gui_->drawingWindow.View();
    view.Reload(true);
    double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
    for (const TPlotItem& it : gui_->session.Host().Plot()) {
        if (it.layer != "建物") continue;
        for (const TAcadPoint& p : it.points) {
            x0 = std::min(x0, p.x), y0 = std::min(y0, p.y);
            x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
        }
    }
    // A crossing window right to left over the buildings' box takes every building.
    const QPoint from = view.ToScreen({x1 + 1, y1 + 1, 0}).toPoint();
    const QPoint to = view.ToScreen({x0 - 1, y0 - 1, 0}).toPoint();
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(view.Picking());
        QTest::mousePress(&view, Qt::LeftButton, {}, from);
        QTest::mouseMove(&view, to);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, to);
        QTest::keyClick(&view, Qt::Key_Return);
    });
    QTest::mouseClick(W<QAbstractButton>("Button2"), Qt::LeftButton);
    ASSERT_FALSE(gui_->controller.ws.AryTatemono.empty());
    EXPECT_TRUE(W<QAbstractButton>("Button3")->isEnabled());
    EXPECT_EQ(F().UpDown3, 315);
    const QImage before = W<QLabel>("Image2")->pixmap().toImage();
    EXPECT_EQ(before.pixelColor(kImage2Width / 2, kImage2Height / 2).isValid(), true);
    QTest::mouseClick(W<QAbstractButton>("UpDown3Up"), Qt::LeftButton);
    EXPECT_EQ(F().UpDown3, 320);
    QTest::mouseClick(W<QAbstractButton>("UpDown4Down"), Qt::LeftButton);
    EXPECT_EQ(F().UpDown4, 55);
    EXPECT_NE(W<QLabel>("Image2")->pixmap().toImage(), before);

    const int count = ModelCount();
    QTest::mouseClick(W<QAbstractButton>("Button3"), Qt::LeftButton);
    EXPECT_GT(ModelCount(), count);
    EXPECT_EQ(gui_->controller.LastInsert().status, InsertStatus::Sent);
    EXPECT_TRUE(gui_->drawingWindow.Modified());
    bool drawnOnLayer = false;
    for (const TPlotItem& it : gui_->session.Host().Plot())
        drawnOnLayer = drawnOnLayer || it.layer == F().Edit27;
    EXPECT_TRUE(drawnOnLayer);
}

// 取得 says what it took; opening another drawing afterwards drops the model: the preview goes
// dark, 時刻 waits for 取得 again, and the drawing window says why.
TEST_F(GuiTest, AnotherDrawingAfterAcquireAsksForAcquireAgain) {
    Start();
    gui_->session.SetInteraction(nullptr);
    gui_->session.Picks().PushSelection("layer=建物");
    QTest::mouseClick(W<QAbstractButton>("Button2"), Qt::LeftButton);
    gui_->session.SetInteraction(&gui_->drawingWindow.View());
    ASSERT_FALSE(gui_->controller.ws.AryTatemono.empty());
    const QString strip = gui_->drawingWindow.findChild<QPlainTextEdit*>()->toPlainText();
    EXPECT_TRUE(strip.contains(QString::fromUtf8("線分\t26 本"))) << strip.toStdString();
    EXPECT_TRUE(W<QAbstractButton>("Button3")->isEnabled());

    ASSERT_TRUE(gui_->drawingWindow.OpenDrawing(std::filesystem::path(ZUKA_TEST_DATA) / "drawings" /
                                                "kinds.dxf"));
    EXPECT_TRUE(gui_->controller.ws.AryTatemono.empty());
    EXPECT_FALSE(W<QAbstractButton>("Button3")->isEnabled());
    const QImage preview = W<QLabel>("Image2")->pixmap().toImage();
    EXPECT_EQ(preview.pixelColor(kImage2Width / 2, kImage2Height / 2), QColor(Qt::black));
    const int count = ModelCount();
    gui_->controller.Button3Click();  // as if the button could still be pressed
    EXPECT_EQ(ModelCount(), count);
    ASSERT_FALSE(messages_.empty());
    EXPECT_EQ(messages_.back(), "基準データが作成されていません．");
}

// A time-of-day diagram is one step: 元に戻す gives the drawing back entity for entity, やり直し
// brings the diagram again.
TEST_F(GuiTest, UndoAndRedoATimeOfDayDiagram) {
    Start();
    AcquireBuildings();
    const auto entities = [this] {
        std::vector<std::string> all;
        Block& ms = gui_->session.Host().ActiveDocument().ModelSpace();
        for (int i = 0; i < ms.Count(); ++i) {
            EntityPtr e = ms.Item(i);
            all.push_back(e->Handle() + " " + e->EntityName() + " " + e->Layer());
        }
        return all;
    };
    const std::vector<std::string> before = entities();
    QTest::mouseClick(W<QAbstractButton>("Button3"), Qt::LeftButton);
    const std::vector<std::string> drawn = entities();
    ASSERT_GT(drawn.size(), before.size());
    QAction* undo = gui_->drawingWindow.findChild<QAction*>("EditUndo");
    QAction* redo = gui_->drawingWindow.findChild<QAction*>("EditRedo");
    ASSERT_TRUE(undo && redo);
    EXPECT_EQ(undo->shortcut(), QKeySequence(QKeySequence::Undo));
    undo->trigger();
    EXPECT_EQ(entities(), before);
    undo->trigger();  // 取得 changed nothing: nothing more to undo
    EXPECT_EQ(entities(), before);
    redo->trigger();
    EXPECT_EQ(entities(), drawn);
}

// The drawing's output from the window: a PDF sheet with one page, the command line's plan
// pictures by the file's extension (any other refused), and the point grid as CSV.
TEST_F(GuiTest, OutputPdfPicturesAndCsv) {
    Start();
    AcquireBuildings();
    QTest::mouseClick(W<QAbstractButton>("Button3"), Qt::LeftButton);
    DrawingWindow& w = gui_->drawingWindow;
    for (const bool whole : {true, false}) {
        SCOPED_TRACE(whole ? "whole drawing" : "the part shown");
        const std::filesystem::path pdf = dir_.Path() / (whole ? "whole.pdf" : "shown.pdf");
        TSheetRequest q = w.SheetRequest();
        q.wholeDrawing = whole;
        q.print = {PaperSize::A4, false, whole ? 0 : 500};
        ASSERT_TRUE(w.ExportPdf(pdf, q));
        const std::string bytes = Bytes(pdf);
        EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
        std::size_t pages = 0;
        for (std::size_t at = bytes.find("/Type /Page"); at != std::string::npos;
             at = bytes.find("/Type /Page", at + 1))
            pages += bytes.compare(at, 12, "/Type /Pages") != 0;
        EXPECT_EQ(pages, 1u);
        // The sheet is A4 portrait: 595 x 842 points.
        EXPECT_NE(bytes.find("/MediaBox [0 0 595"), std::string::npos);
    }
    struct Row {
        const char* file;
        bool ok;
        std::string head;  // the file's first bytes
    };
    const Row rows[] = {{"plan.png", true, "\x89PNG"},
                        {"plan.SVG", true, "<?xml"},
                        {"plan.jpg", false, ""}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.file);
        const std::filesystem::path f = dir_.Path() / r.file;
        EXPECT_EQ(w.ExportPicture(f), r.ok);
        EXPECT_EQ(std::filesystem::exists(f), r.ok);
        if (r.ok) {
            EXPECT_EQ(Bytes(f).substr(0, 4), std::string(r.head).substr(0, 4));
        }
    }
    const std::filesystem::path csv = dir_.Path() / "points.csv";
    ASSERT_TRUE(gui_->mainWindow.SaveGridAsCsv("StringGrid2", csv));
    EXPECT_EQ(Bytes(csv).substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_FALSE(gui_->mainWindow.SaveGridAsCsv("StringGrid2", dir_.Path() / "no" / "x.csv"));
}

// The regulation check from its window: the inputs refused with what to type, the site picked
// in the drawing, the verdict and its table shown, the lines drawn as the command line draws.
TEST_F(GuiTest, RegulationCheckWindow) {
    Start();
    AcquireBuildings();
    QAction* open = gui_->drawingWindow.findChild<QAction*>("ReviewKisei");
    ASSERT_NE(open, nullptr);
    open->trigger();
    KiseiWindow& k = gui_->mainWindow.Kisei();
    EXPECT_TRUE(k.isVisible());
    struct Row {
        const char* h5;
        const char* h10;
        const char* plane;
        std::string verdict;  // the label's text, or how it starts
    };
    const Row rows[] = {
        {"0", "2.5", "", "5 m 線の規制時間は 0 より大きい時間で"},
        {"4", "x", "", "10 m 線の規制時間は 0 より大きい時間で"},
        {"4", "2.5", "四", "測定面の高さはメートルの数で"},
        {"4", "2.5", "", "適合"},
        {"2", "1.5", "4", "不適合"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.h5) + "," + r.h10 + "," + r.plane);
        k.Hours5().setText(r.h5);
        k.Hours10().setText(r.h10);
        k.Plane().setText(r.plane);
        k.Table().setRowCount(0);
        const int before = ModelCount();
        const bool runs = r.verdict == "適合" || r.verdict == "不適合";
        gui_->session.SetInteraction(nullptr);
        if (runs) gui_->session.Picks().PushSelection("layer=敷地");
        QTest::mouseClick(k.findChild<QAbstractButton*>("KiseiStart"), Qt::LeftButton);
        gui_->session.SetInteraction(&gui_->drawingWindow.View());
        const std::string shown = k.Verdict().text().toStdString();
        EXPECT_EQ(shown.rfind(r.verdict, 0), 0u) << shown;
        EXPECT_EQ(k.Table().rowCount() > 0, runs);
        EXPECT_EQ(ModelCount() > before, runs);
        EXPECT_EQ(gui_->session.Picks().Pending(), 0u);
        EXPECT_FALSE(F().CommandRunning);
    }
}

// The sky-factor verdict from its window: its fields are the settings (kept in the settings
// file), bad ones refused by their labels; the site and the road picked in the drawing, the
// table shown with 適合/不適合 per point and the closest point marked, and everything drawn.
TEST_F(GuiTest, SkyCheckWindow) {
    Start("[SkyCheck]\nzone=1住\nfar=200\nkinds=road\nroads=6\n");
    ASSERT_TRUE(gui_->drawingWindow.OpenDrawing(std::filesystem::path(ZUKA_SOURCE_DIR) /
                                                "examples/sky_check.dxf"));
    AcquireBuildings();
    QAction* open = gui_->drawingWindow.findChild<QAction*>("ReviewSkyCheck");
    ASSERT_NE(open, nullptr);
    open->trigger();
    SkyCheckWindow& w = gui_->mainWindow.SkyCheck();
    EXPECT_EQ(w.Zone().currentText(), "1住");
    EXPECT_EQ(w.Far().text(), "200");
    struct Row {
        const char* name;
        const char* zone;
        const char* far;
        const char* roads;
        const char* margin;
        std::string verdict;  // how the label starts
        int rows;             // of the table
        int fails;
    };
    const Row rows[] = {
        {"no zone", "", "200", "6", "", "用途地域 (天空率の判定) は用途地域の名前で", 0, 0},
        {"no FAR", "1住", "x", "6", "", "容積率 (天空率の判定) は容積率", 0, 0},
        {"zero width", "1住", "200", "0", "", "道路の幅員と後退距離 (天空率の判定) の幅員は", 0, 0},
        {"margin 0", "1住", "200", "6", "", "適合", 8, 0},
        {"margin 0.02", "1住", "200", "6", "0.02", "不適合", 8, 2},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        w.Zone().setCurrentIndex(w.Zone().findText(r.zone));
        w.Far().setText(r.far);
        w.Roads().setText(r.roads);
        w.Margin().setText(r.margin);
        const bool runs = r.rows > 0;
        const int before = ModelCount();
        gui_->session.SetInteraction(nullptr);
        if (runs) {
            gui_->session.Picks().PushSelection("layer=敷地");
            gui_->session.Picks().PushSelection("layer=道路境界");
        }
        QTest::mouseClick(w.findChild<QAbstractButton*>("SkyCheckStart"), Qt::LeftButton);
        gui_->session.SetInteraction(&gui_->drawingWindow.View());
        const std::string shown = w.Verdict().text().toStdString();
        EXPECT_EQ(shown.rfind(r.verdict, 0), 0u) << shown;
        ASSERT_EQ(w.Table().rowCount(), r.rows);
        int fails = 0, closest = 0;
        for (int i = 0; i < r.rows; ++i) {
            fails += w.Table().item(i, 10)->text() == "不適合";
            closest += w.Table().item(i, 11)->text() == "近接点";
        }
        EXPECT_EQ(fails, r.fails);
        EXPECT_EQ(closest, runs ? 1 : 0);
        EXPECT_EQ(ModelCount() > before, runs);
        EXPECT_EQ(gui_->session.Picks().Pending(), 0u);
        EXPECT_FALSE(F().CommandRunning);
    }
    // The guidance named the road before its pick.
    const QString strip = gui_->drawingWindow.findChild<QPlainTextEdit*>()->toPlainText();
    EXPECT_TRUE(strip.contains("道路1 (幅員 6 m) の道路境界線を選択 :")) << strip.toStdString();
    // The fields are settings: written back when the program ends.
    gui_->mainWindow.Quit();
    IniFile saved;
    ASSERT_TRUE(saved.LoadFile(dir_.Path() / "zuka.ini"));
    EXPECT_EQ(saved.ReadString("SkyCheck", "margin", ""), "0.02");
    EXPECT_EQ(saved.ReadString("SkyCheck", "roads", ""), "6");
}

// An insertion's prompt, kept as the system's text, has what it places beside it on the strip.
TEST_F(GuiTest, InsertionPromptNamesWhatIsPlaced) {
    Start();
    gui_->ui.Placing("三斜求積表");
    gui_->drawingWindow.SetPrompt("挿入位置を指定: ");
    const QString shown = gui_->drawingWindow.findChild<QLabel*>("CommandPrompt")->text();
    EXPECT_TRUE(shown.contains("三斜求積表を配置します．")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("挿入位置を指定: ")) << shown.toStdString();
    gui_->ui.Placing("");
    gui_->drawingWindow.SetPrompt("挿入位置を指定: ");
    EXPECT_FALSE(gui_->drawingWindow.findChild<QLabel*>("CommandPrompt")->text().contains("三斜"));
}

// The sun of a calendar day: chosen on the 時刻 page, given up when a season is chosen again.
TEST_F(GuiTest, CalendarDayInPlaceOfTheSeason) {
    Start();
    auto* on = W<QCheckBox>("SunDateOn");
    auto* date = W<QDateEdit>("SunDate");
    date->setDate(QDate(2026, 3, 1));
    on->setChecked(true);
    ASSERT_TRUE(gui_->controller.SunDate());
    EXPECT_EQ(*gui_->controller.SunDate(), (TSunDate{2026, 3, 1}));
    date->setDate(QDate(2026, 6, 21));
    EXPECT_EQ(*gui_->controller.SunDate(), (TSunDate{2026, 6, 21}));
    QRadioButton* season = W<QRadioButton>(F().RadioGroup1 == 0 ? "RadioGroup1_1" : "RadioGroup1_0");
    season->click();
    EXPECT_TRUE(season->isChecked());
    EXPECT_FALSE(gui_->controller.SunDate());
    EXPECT_FALSE(on->isChecked());
}

// The user zooms into a corner; 取得 adds nothing and the view stays where the user left it;
// 時刻 then shows its diagram whole, wherever it was placed, and its layer joins the panel.
TEST_F(GuiTest, ZoomToTheResultElseTheViewStays) {
    Start();
    DrawingView& view = gui_->drawingWindow.View();
    view.Reload(true);
    QWheelEvent wheel(QPointF(5, 5), view.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 1200),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &wheel);
    const QPointF corner = view.ToScreen({0, 0, 0});
    gui_->session.SetInteraction(nullptr);
    gui_->session.Picks().PushSelection("layer=建物");
    QTest::mouseClick(W<QAbstractButton>("Button2"), Qt::LeftButton);
    gui_->session.SetInteraction(&view);
    ASSERT_FALSE(gui_->controller.ws.AryTatemono.empty());
    EXPECT_EQ(view.ToScreen({0, 0, 0}), corner);

    const std::set<std::string> before = Handles();
    QTest::mouseClick(W<QAbstractButton>("Button3"), Qt::LeftButton);
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    int added = 0;
    for (const TPlotItem& it : gui_->session.Host().Plot()) {
        if (before.count(it.handle)) continue;
        ++added;
        for (const TAcadPoint& p : it.points) {
            const QPointF s = view.ToScreen(p);
            x0 = std::min(x0, s.x()), y0 = std::min(y0, s.y());
            x1 = std::max(x1, s.x()), y1 = std::max(y1, s.y());
        }
    }
    ASSERT_GT(added, 0);
    // Inside the view, with a margin, and filling it along one side at least.
    EXPECT_GE(x0, 0);
    EXPECT_GE(y0, 0);
    EXPECT_LE(x1, view.width());
    EXPECT_LE(y1, view.height());
    EXPECT_TRUE(x1 - x0 > 0.8 * view.width() || y1 - y0 > 0.8 * view.height());
    EXPECT_NE(LayerItem(F().Edit27), nullptr) << F().Edit27;
}

// Hiding a layer is a setting of the view: it is not drawn, and the saved drawing is the same
// byte for byte. The current layer chosen in the panel takes the next entity made without a
// layer of its own.
TEST_F(GuiTest, LayerPanelHidesInTheViewAndChoosesTheCurrentLayer) {
    Start();
    DrawingWindow& w = gui_->drawingWindow;
    DrawingView& view = w.View();
    view.Reload(true);
    auto* list = w.findChild<QListWidget*>("LayerList");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), static_cast<int>(gui_->session.Host().LayerTable().size()));
    QListWidgetItem* buildings = LayerItem("建物");
    ASSERT_NE(buildings, nullptr);
    EXPECT_FALSE(buildings->icon().isNull());

    ASSERT_TRUE(w.SaveAs(dir_.Path() / "shown.dxf"));
    const QImage shown = view.grab().toImage();
    buildings->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(view.LayerHidden("建物"));
    EXPECT_NE(view.grab().toImage(), shown);
    ASSERT_TRUE(w.SaveAs(dir_.Path() / "hidden.dxf"));
    EXPECT_EQ(Bytes(dir_.Path() / "hidden.dxf"), Bytes(dir_.Path() / "shown.dxf"));
    LayerItem("建物")->setCheckState(Qt::Checked);
    EXPECT_FALSE(view.LayerHidden("建物"));
    EXPECT_EQ(view.grab().toImage(), shown);

    auto* current = w.findChild<QComboBox*>("CurrentLayer");
    ASSERT_NE(current, nullptr);
    const int i = current->findText("建物");
    ASSERT_GE(i, 0);
    current->setCurrentIndex(i);
    emit current->activated(i);
    EXPECT_EQ(w.CurrentLayer(), "建物");
    EntityPtr line = gui_->session.Host().ActiveDocument().ModelSpace().AddLine({0, 0, 0},
                                                                               {10, 0, 0});
    EXPECT_EQ(line->Layer(), "建物");
    EXPECT_FALSE(w.SetCurrentLayer("no such layer"));
    EXPECT_EQ(w.CurrentLayer(), "建物");
}

// Choosing the current layer changes the drawing (its current layer is saved with it): it is
// marked changed, and choosing the layer back unmarks it.
TEST_F(GuiTest, CurrentLayerMarksTheDrawingChanged) {
    Start();
    DrawingWindow& w = gui_->drawingWindow;
    const std::string before = w.CurrentLayer();
    ASSERT_NE(before, "建物");
    EXPECT_FALSE(w.Modified());
    ASSERT_TRUE(w.SetCurrentLayer("建物"));
    EXPECT_TRUE(w.Modified());
    EXPECT_TRUE(w.windowTitle().contains(" *"));
    ASSERT_TRUE(w.SetCurrentLayer(before));
    EXPECT_FALSE(w.Modified());
    // Each choice is a step to undo and to redo.
    ASSERT_TRUE(w.SetCurrentLayer("建物"));
    ASSERT_TRUE(w.UndoRedo(true));
    EXPECT_EQ(w.CurrentLayer(), before);
    ASSERT_TRUE(w.UndoRedo(false));
    EXPECT_EQ(w.CurrentLayer(), "建物");
}

// A zoom window shows the rectangle dragged, whole; a mere click changes nothing. After 元に戻す
// the view stays; やり直し shows what it brought back.
TEST_F(GuiTest, ZoomWindowAndRedoShowsWhatItRestored) {
    Start();
    AcquireBuildings();
    DrawingView& view = gui_->drawingWindow.View();
    view.Reload(true);
    const TAcadPoint a = view.ToWorld(QPointF(100, 100));
    const TAcadPoint b = view.ToWorld(QPointF(160, 130));
    EXPECT_FALSE(view.ZoomWindow(QPointF(100, 100), QPointF(102, 101)));
    ASSERT_TRUE(view.ZoomWindow(QPointF(100, 100), QPointF(160, 130)));
    const TPrintBox shown = view.VisibleBox();
    EXPECT_LE(shown.x0, std::min(a.x, b.x) + 1e-6);
    EXPECT_GE(shown.x1, std::max(a.x, b.x) - 1e-6);
    EXPECT_LE(shown.y0, std::min(a.y, b.y) + 1e-6);
    EXPECT_GE(shown.y1, std::max(a.y, b.y) - 1e-6);
    // The rectangle fills the view in one direction.
    EXPECT_NEAR(std::min((shown.x1 - shown.x0) / std::abs(b.x - a.x),
                         (shown.y1 - shown.y0) / std::abs(b.y - a.y)),
                1, 1e-6);
    // The same with Shift and the mouse.
    QTest::mousePress(&view, Qt::LeftButton, Qt::ShiftModifier, QPoint(50, 50));
    QTest::mouseMove(&view, QPoint(90, 80));
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::ShiftModifier, QPoint(90, 80));
    EXPECT_LT(view.VisibleBox().x1 - view.VisibleBox().x0, shown.x1 - shown.x0);

    QTest::mouseClick(W<QAbstractButton>("Button3"), Qt::LeftButton);
    const TPrintBox result = view.VisibleBox();
    gui_->drawingWindow.UndoRedo(true);
    view.ZoomWindow(QPointF(10, 10), QPointF(40, 30));
    const TPrintBox corner = view.VisibleBox();
    gui_->drawingWindow.UndoRedo(false);
    const TPrintBox redone = view.VisibleBox();
    EXPECT_NE(redone.x1 - redone.x0, corner.x1 - corner.x0);
    EXPECT_NEAR(redone.x1 - redone.x0, result.x1 - result.x0, 1e-6 * (result.x1 - result.x0));
}

// 中止 during an equal-time run inserts nothing; while it runs no other command can start.
TEST_F(GuiTest, StopDuringEqualTimeAndOneRunAtATime) {
    Start();
    AcquireBuildings();
    F().CheckBox2 = true;  // a tenth of the step: a long run
    const int count = ModelCount();
    bool sawRun = false;
    QTimer::singleShot(30, [&] {
        sawRun = F().CommandRunning;
        EXPECT_FALSE(W<QAbstractButton>("Button2")->isEnabled());
        EXPECT_FALSE(W<QAbstractButton>("Button3")->isEnabled());
        EXPECT_FALSE(W<QAbstractButton>("Button9")->isEnabled());
        EXPECT_FALSE(RunCommand(F(), [] { FAIL() << "a second command ran"; }));
        EXPECT_TRUE(W<QAbstractButton>("Button7")->isEnabled());
        QTest::mouseClick(W<QAbstractButton>("Button7"), Qt::LeftButton);
    });
    QTest::mouseClick(W<QAbstractButton>("Button6"), Qt::LeftButton);
    EXPECT_TRUE(sawRun);
    EXPECT_EQ(ModelCount(), count);
    EXPECT_NE(gui_->controller.LastInsert().status, InsertStatus::Sent);
    EXPECT_FALSE(F().CommandRunning);
    EXPECT_TRUE(W<QAbstractButton>("Button6")->isEnabled());
    EXPECT_FALSE(W<QAbstractButton>("Button7")->isEnabled());
}

// The hours' check boxes are the legend of the equal-time diagram: each shows the colour its
// outline and caption are drawn in.
TEST_F(GuiTest, EqualTimeLegendMatchesTheDrawing) {
    Start();
    AcquireBuildings();
    gui_->mainWindow.Pages().setCurrentIndex(1);
    QTest::mouseClick(W<QAbstractButton>("Button6"), Qt::LeftButton);
    int captions = 0;
    for (const TPlotItem& it : gui_->session.Host().Plot()) {
        if (it.kind != TPlotItem::Kind::Text || it.layer != F().Edit28) continue;
        for (int i = 0; i < kToujiHourCount; ++i) {
            if (it.text != kCheckListBox1Items[static_cast<std::size_t>(i)]) continue;
            SCOPED_TRACE(it.text);
            const std::string name = "CheckListBox1_" + std::to_string(i);
            const QImage icon = W<QCheckBox>(name.c_str())->icon().pixmap(12, 12).toImage();
            EXPECT_EQ(icon.pixelColor(6, 6), AciColour(it.color));
            ++captions;
        }
    }
    EXPECT_GT(captions, 1);
}

// 特定点一括取得 fills the point grid and computes the times. 再計算 runs again and, reading 中止
// meanwhile, stops the run; no capture can start during it.
TEST_F(GuiTest, SpecificPointsCaptureAndStop) {
    Start();
    AcquireBuildings();
    gui_->session.SetInteraction(nullptr);
    gui_->session.Picks().PushSelection("layer=測定点");
    QTest::mouseClick(W<QAbstractButton>("Button22"), Qt::LeftButton);
    ASSERT_EQ(F().StringGrid2.size(), 4u);
    EXPECT_EQ(F().StringGrid2[2][3], "2");
    EXPECT_FALSE(F().StringGrid2[2][4].empty());
    EXPECT_TRUE(W<QAbstractButton>("Button15")->isEnabled());

    // Four hundred points at a tenth of 10 s: a long run.
    TGridCells& g = F().StringGrid2;
    g.resize(1);
    for (int i = 0; i < 400; ++i) {
        std::vector<std::string> row(11);
        row[0] = std::to_string(i + 1);
        row[1] = std::to_string(5000 + (i % 20) * 2500);
        row[2] = std::to_string(5000 + (i / 20) * 2000);
        g.push_back(row);
    }
    F().RadioGroup3 = 0;
    F().CheckBox2 = true;
    bool sawStop = false;
    QTimer::singleShot(30, [&] {
        sawStop = W<QAbstractButton>("Button23")->isEnabled() && F().Button23.Caption == "中止";
        EXPECT_FALSE(W<QAbstractButton>("Button22")->isEnabled());
        EXPECT_FALSE(W<QAbstractButton>("Button12")->isEnabled());
        QTest::mouseClick(W<QAbstractButton>("Button23"), Qt::LeftButton);
    });
    QTest::mouseClick(W<QAbstractButton>("Button23"), Qt::LeftButton);
    EXPECT_TRUE(sawStop);
    EXPECT_EQ(F().Button23.Caption, "再計算");
    EXPECT_TRUE(F().StringGrid2[1][4].empty());  // stopped before the end: no totals
    EXPECT_FALSE(F().CommandRunning);
    EXPECT_TRUE(W<QAbstractButton>("Button22")->isEnabled());
}

// The README's pictures of the window, when ZUKA_SCREENSHOTS names a folder (run under Xvfb
// with QT_QPA_PLATFORM=xcb): the drawing window with the main window over it after each kind
// of command, and the pages.
TEST_F(GuiTest, Screenshots) {
    const char* out = std::getenv("ZUKA_SCREENSHOTS");
    if (!out) GTEST_SKIP() << "ZUKA_SCREENSHOTS not set";
    LoadJapaneseQtTranslations();
    Start();
    gui_->drawingWindow.resize(1000, 720);
    gui_->session.SetInteraction(nullptr);
    gui_->session.Picks().PushSelection("layer=建物");
    QTest::mouseClick(W<QAbstractButton>("Button2"), Qt::LeftButton);
    const auto shot = [&](const std::string& name) {
        QApplication::processEvents();
        QImage all = gui_->drawingWindow.grab().toImage();
        const QImage main = gui_->mainWindow.grab().toImage();
        QPainter p(&all);
        p.drawImage(all.width() - main.width(), all.height() - main.height() - 60, main);
        p.end();
        all.save(QString::fromStdString(std::string(out) + "/" + name + ".png"));
    };
    const auto page = [&](int index, const std::string& name) {
        gui_->mainWindow.Pages().setCurrentIndex(index);
        QApplication::processEvents();
        gui_->mainWindow.grab().save(QString::fromStdString(std::string(out) + "/" + name + ".png"));
    };
    QTest::mouseClick(W<QAbstractButton>("Button3"), Qt::LeftButton);
    shot("window-time-of-day");
    gui_->mainWindow.Pages().setCurrentIndex(1);
    QTest::mouseClick(W<QAbstractButton>("Button6"), Qt::LeftButton);
    page(1, "page1");
    gui_->session.Picks().PushSelection("layer=測定点");
    gui_->mainWindow.Pages().setCurrentIndex(4);
    QTest::mouseClick(W<QAbstractButton>("Button16"), Qt::LeftButton);
    page(4, "page4");
    page(3, "page3");
    page(6, "page6");
    page(0, "page0");
    const auto window = [&](QWidget& w, const std::string& name) {
        QApplication::processEvents();
        w.grab().save(QString::fromStdString(std::string(out) + "/" + name + ".png"));
    };
    // The regulation check of the example, and the sky-factor verdict of the road example.
    KiseiWindow& k = gui_->mainWindow.Kisei();
    k.show();
    gui_->session.Picks().PushSelection("layer=敷地");
    k.Check();
    window(k, "window-kisei");
    ASSERT_TRUE(gui_->drawingWindow.OpenDrawing(std::filesystem::path(ZUKA_SOURCE_DIR) /
                                                "examples/sky_check.dxf"));
    AcquireBuildings();
    gui_->session.SetInteraction(nullptr);
    SkyCheckWindow& sky = gui_->mainWindow.SkyCheck();
    sky.show();
    sky.Zone().setCurrentIndex(sky.Zone().findText("1住"));
    sky.Far().setText("200");
    sky.Roads().setText("6");
    sky.Margin().setText("0.02");
    gui_->session.Picks().PushSelection("layer=敷地");
    gui_->session.Picks().PushSelection("layer=道路境界");
    sky.Check();
    window(sky, "window-sky-check");
    shot("window-sky-check-drawing");
    TSheetRequest q = gui_->drawingWindow.SheetRequest();
    q.print = {PaperSize::A3, true, 0};
    gui_->drawingWindow.ExportPdf(std::filesystem::path(out) / "sky-check-sheet.pdf", q);
}

// Qt's own dialogs speak Japanese once the translations are loaded (Debian's Qt translations).
TEST(GuiLanguage, QtDialogsInJapanese) {
    LoadJapaneseQtTranslations();
    const QString yes = QCoreApplication::translate("QPlatformTheme", "&Yes");
    EXPECT_NE(yes, "&Yes");
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Open"), "Open");
}

// Deleting the second of three list lines selects the one before it.
TEST_F(GuiTest, TargetCadDialogDeleteRule) {
    Start({}, false);
    const std::filesystem::path list = dir_.Path() / kTargetCadFileName;
    std::ofstream(list) << "A\tA.Application\r\nB\tBricscadApp.AcadApplication\r\nC\tC.App\r\n";
    TargetCadDialogWindow dialog(gui_->mainWindow.TargetDialog(), F(), &gui_->mainWindow);
    dialog.Show(list);
    QListWidget* box = dialog.findChild<QListWidget*>("ListBox1");
    EXPECT_EQ(box->currentRow(), 1);
    EXPECT_EQ(dialog.findChild<QLineEdit*>("Edit1")->text(), "B");
    QTest::mouseClick(dialog.findChild<QAbstractButton*>("SpeedButton2"), Qt::LeftButton);
    EXPECT_EQ(box->count(), 2);
    EXPECT_EQ(box->currentRow(), 0);
    EXPECT_EQ(dialog.findChild<QLineEdit*>("Edit1")->text(), "A");
    QTest::mouseClick(dialog.findChild<QAbstractButton*>("Button1"), Qt::LeftButton);
    EXPECT_EQ(F().TargetProgID, "A.Application");
    gui_->mainWindow.Refresh();
    EXPECT_EQ(gui_->mainWindow.windowTitle(), "Zuka2025.01.30 Beta [ A ]");
}

}  // namespace
}  // namespace zuka

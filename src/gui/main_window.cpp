#include "gui/main_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QTranslator>
#include <QVBoxLayout>

#include "app/command_gate.h"
#include "app/grid_export.h"
#include "app/ini_file.h"
#include "app/key_filter.h"
#include "app/readouts.h"
#include "app/settings.h"
#include "base/number.h"
#include "base/platform.h"
#include "gui/check_windows.h"
#include "gui/target_cad_dialog.h"
#include "shadow/equal_time.h"
#include "solar/city_list.h"

namespace zuka {
namespace {

constexpr char kStopped[] = "中止しました．図面には何も作図していません．";
constexpr char kTakeAgain[] = "図面が替わりました．建物を取得し直してください．";

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

QLabel* Caption(const char* text) { return new QLabel(QString::fromUtf8(text)); }

// A row of widgets (nullptr: stretch).
QHBoxLayout* Row(std::initializer_list<QWidget*> ws) {
    auto* l = new QHBoxLayout;
    l->setSpacing(3);
    for (QWidget* w : ws) {
        if (w) {
            l->addWidget(w);
        } else {
            l->addStretch(1);
        }
    }
    return l;
}

QVBoxLayout* Column(QWidget* owner) {
    auto* l = new QVBoxLayout(owner);
    l->setContentsMargins(4, 4, 4, 4);
    l->setSpacing(3);
    return l;
}

// The character a key press types, as the key filters see it: Enter, Backspace, or the text.
std::optional<char16_t> TypedChar(const QKeyEvent& e) {
    if (e.key() == Qt::Key_Return || e.key() == Qt::Key_Enter) return kKeyEnter;
    if (e.key() == Qt::Key_Backspace) return kKeyBackspace;
    const QString t = e.text();
    if (t.size() != 1 || !t[0].isPrint()) return std::nullopt;  // arrows, Delete, Tab: pass
    return static_cast<char16_t>(t[0].unicode());
}

}  // namespace

// The key filters of the edit fields and where Enter moves the focus.
class KeyFilter : public QObject {
public:
    explicit KeyFilter(MainWindow& w) : w_(w) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() != QEvent::KeyPress) return false;
        const std::string name = o->objectName().toStdString();
        const std::optional<char16_t> ch = TypedChar(*static_cast<QKeyEvent*>(e));
        if (!ch) return false;
        const Controller::TEditKey r = w_.c_.EditKeyPress(name, *ch);
        if (r.refresh) w_.Refresh();
        if (!r.focusTo.empty()) {
            const auto it = w_.edits_.find(r.focusTo);
            if (it != w_.edits_.end()) it->second->setFocus();
        }
        return !r.passes;
    }

private:
    MainWindow& w_;
};

MainWindow::MainWindow(Controller& c, QtUiHost& ui, DrawingSession& session,
                       DrawingWindow& drawing, WorkFolder folder)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      c_(c),
      ui_(ui),
      session_(session),
      drawing_(drawing),
      folder_(std::move(folder)),
      targetDialog_(TargetCadFileSaver(folder_.dir / kTargetCadFileName)),
      keys_(std::make_unique<KeyFilter>(*this)) {
    setObjectName("Form1");
    QFont f(QStringLiteral("Noto Sans CJK JP"));
    f.setPointSize(9);
    setFont(f);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    pages_ = new QTabWidget(this);
    pages_->setObjectName("PageControl1");
    pages_->setStyleSheet("QTabBar::tab { padding: 2px 5px; }");
    pages_->setUsesScrollButtons(false);
    pages_->addTab(Page0(), " 時刻");
    pages_->addTab(Page1(), "等時間");
    pages_->addTab(Page2(), "特定点");
    pages_->addTab(Page3(), "天空１");
    pages_->addTab(Page4(), "天空２");
    pages_->addTab(Page5(), " 設定１");
    pages_->addTab(Page6(), "設定２");
    pages_->addTab(Page7(), "影倍率");
    layout->addWidget(pages_);
    progress_ = new QProgressBar(this);
    progress_->setObjectName("ProgressBar1");
    progress_->setFixedHeight(progress_->fontMetrics().height() + 4);
    progress_->setTextVisible(false);
    progress_->setAlignment(Qt::AlignCenter);
    progressClock_.start();
    layout->addWidget(progress_);
    QObject::connect(pages_, &QTabWidget::currentChanged, this, [this](int page) {
        if (page == c_.form.PageControl1) return;
        c_.PageControl1Change(page);
        Refresh();
    });
    ui_.mainWindow = this;
    ui_.refresh = [this] {
        Refresh();
        if (activeRun_) drawing_.SetStatus(activeRun_->ProgressText());
    };
    drawing_.fileActionsAllowed = [this] { return !c_.form.CommandRunning; };
    ui_.placing = [this](const std::string& what) { drawing_.SetPlacing(what); };
    // The model belonged to the drawing before: the pages and the preview show it gone.
    drawing_.onOpened = [this] {
        Refresh();
        if (modelShown_) drawing_.SetStatus(kTakeAgain);
        modelShown_ = false;
    };
    drawing_.onClose = [this] { close(); };
    // The checks of a design against the regulations, in windows of their own.
    QMenu* review = drawing_.menuBar()->addMenu("検討(&K)");
    QAction* kisei = review->addAction("日影規制チェック...", [this] {
        Kisei().show();
        Kisei().raise();
    });
    kisei->setObjectName("ReviewKisei");
    QAction* sky = review->addAction("天空率の判定...", [this] {
        SkyCheck().ShowSettings();
        SkyCheck().show();
        SkyCheck().raise();
    });
    sky->setObjectName("ReviewSkyCheck");
}

KiseiWindow& MainWindow::Kisei() {
    if (!kisei_)
        kisei_ = std::make_unique<KiseiWindow>(
            c_, [this](const std::function<void()>& handler) { Command(handler); });
    return *kisei_;
}

SkyCheckWindow& MainWindow::SkyCheck() {
    if (!skyCheck_)
        skyCheck_ = std::make_unique<SkyCheckWindow>(
            c_, session_, [this](const std::function<void()>& handler) { Command(handler); });
    return *skyCheck_;
}

MainWindow::~MainWindow() = default;

// --- Bound widgets -------------------------------------------------------------------------

QLineEdit* MainWindow::Edit(const char* name, std::string& field, int width) {
    auto* w = new QLineEdit(Q(field));
    w->setObjectName(name);
    // The seed's widths were for a narrower face: a field is at least as wide as its value
    // and eight digits, and grows with what it shows (Refresh).
    if (width > 0)
        w->setFixedWidth(std::max({width, w->fontMetrics().horizontalAdvance("000000") + 12,
                                   w->fontMetrics().horizontalAdvance(w->text()) + 14}));
    w->installEventFilter(keys_.get());
    QObject::connect(w, &QLineEdit::textEdited, this,
                     [&field](const QString& t) { field = t.toStdString(); });
    editBinds_.push_back({w, &field});
    edits_[name] = w;
    return w;
}

QAbstractButton* MainWindow::Button(const char* name, TButton& b, std::function<void()> fn,
                                    const char* hint, bool command) {
    auto* w = new QPushButton(Q(b.Caption));
    w->setObjectName(name);
    w->setAutoDefault(false);
    if (hint) w->setToolTip(QString::fromUtf8(hint));
    QObject::connect(w, &QPushButton::clicked, this, [this, fn, command] {
        if (command) {
            Command(fn);
        } else {
            fn();
            Refresh();
        }
    });
    buttonBinds_.push_back({w, name, &b, command});
    return w;
}

QCheckBox* MainWindow::Check(const char* name, const char* caption, bool& field,
                             std::function<void()> fn, const char* hint) {
    auto* w = new QCheckBox(QString::fromUtf8(caption));
    w->setObjectName(name);
    w->setChecked(field);
    if (hint) w->setToolTip(QString::fromUtf8(hint));
    QObject::connect(w, &QCheckBox::toggled, this, [this, &field, fn](bool on) {
        field = on;
        if (fn) Command(fn);
    });
    checkBinds_.push_back({w, &field});
    if (fn) commandInputs_.push_back(w);
    return w;
}

QGroupBox* MainWindow::Radio(const char* name, const char* title,
                             const std::vector<const char*>& items, int& field,
                             std::function<void()> fn, bool horizontal) {
    auto* box = new QGroupBox(QString::fromUtf8(title));
    box->setObjectName(name);
    auto* group = new QButtonGroup(box);
    QBoxLayout* l = horizontal ? static_cast<QBoxLayout*>(new QHBoxLayout(box))
                               : static_cast<QBoxLayout*>(new QVBoxLayout(box));
    l->setContentsMargins(4, 2, 4, 2);
    l->setSpacing(1);
    for (std::size_t i = 0; i < items.size(); ++i) {
        auto* r = new QRadioButton(QString::fromUtf8(items[i]));
        r->setObjectName(QString::fromUtf8(name) + "_" + QString::number(i));
        group->addButton(r, static_cast<int>(i));
        l->addWidget(r);
    }
    QObject::connect(group, &QButtonGroup::idClicked, this, [this, &field, fn](int id) {
        if (id == field) return;
        field = id;
        if (fn) Command(fn);
        Refresh();
    });
    radioBinds_.push_back({group, &field});
    if (fn) commandInputs_.push_back(box);
    return box;
}

QLabel* MainWindow::Label(std::string& field) {
    auto* w = new QLabel(Q(field));
    labelBinds_.push_back({w, &field});
    return w;
}

QTableWidget* MainWindow::Grid(const char* name, TGridCells& cells, int& row,
                               std::function<void()> click) {
    auto* w = new QTableWidget;
    w->setObjectName(name);
    w->setEditTriggers(QAbstractItemView::NoEditTriggers);
    w->setSelectionBehavior(QAbstractItemView::SelectRows);
    w->setSelectionMode(QAbstractItemView::SingleSelection);
    w->verticalHeader()->setVisible(false);
    w->verticalHeader()->setDefaultSectionSize(w->fontMetrics().height() + 4);
    w->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(w, &QTableWidget::customContextMenuRequested, this,
                     [this, w](const QPoint& at) { ShowGridMenu(w, at); });
    QObject::connect(w, &QTableWidget::cellClicked, this, [this, &row, click](int r, int) {
        row = r + 1;
        if (click) click();
        Refresh();
    });
    gridBinds_.push_back({w, &cells, &row});
    return w;
}

QWidget* MainWindow::UpDown(const char* name, std::function<void(bool)> step, const char* upHint,
                            const char* downHint) {
    auto* box = new QWidget;
    box->setObjectName(name);
    auto* l = new QHBoxLayout(box);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    for (bool up : {false, true}) {
        auto* b = new QToolButton;
        b->setObjectName(QString::fromUtf8(name) + (up ? "Up" : "Down"));
        b->setArrowType(up ? Qt::RightArrow : Qt::LeftArrow);
        if (up && upHint) b->setToolTip(QString::fromUtf8(upHint));
        if (!up && downHint) b->setToolTip(QString::fromUtf8(downHint));
        QObject::connect(b, &QToolButton::clicked, this, [this, step, up] {
            Command([step, up] { step(up); });
        });
        l->addWidget(b);
    }
    commandInputs_.push_back(box);
    return box;
}

// --- Pages ---------------------------------------------------------------------------------

QWidget* MainWindow::Page0() {
    Form& f = c_.form;
    auto* page = new QWidget;
    page->setObjectName("TabSheet1");
    auto* top = new QHBoxLayout(page);
    top->setContentsMargins(4, 4, 4, 4);
    auto* left = new QVBoxLayout;
    left->setSpacing(3);
    combo1_ = new QComboBox;
    combo1_->setObjectName("ComboBox1");
    combo1_->setEditable(true);
    combo1_->setToolTip("主要都市の緯度を採用");
    combo1_->lineEdit()->setPlaceholderText("都市参照");
    QObject::connect(combo1_, &QComboBox::activated, this, [this](int i) {
        c_.ComboBox1Select(i);
        Refresh();
    });
    left->addWidget(combo1_);
    left->addLayout(Row({Caption("緯度"), Edit("Edit3", f.Edit3, 30), Caption("度"),
                         Edit("Edit5", f.Edit5, 30), Caption("分"), Edit("Edit23", f.Edit23, 30),
                         nullptr}));
    left->addLayout(Row({Caption("真北"), Edit("Edit12", f.Edit12, 48),
                         Button("SpeedButton1", f.SpeedButton1, [this] { c_.SpeedButton1Click(); },
                                "２点指示で真北を設定"),
                         nullptr}));
    left->addWidget(Radio("RadioGroup1", "", {"冬至", "秋春", "夏至"}, f.RadioGroup1,
                          [this] { c_.RadioGroup1Click(); }, true));
    // A day of the calendar in place of the season, as the command line's --date.
    dateOn_ = new QCheckBox("日付");
    dateOn_->setObjectName("SunDateOn");
    dateOn_->setToolTip("冬至・秋春・夏至に代えて、この日の太陽で作図します");
    date_ = new QDateEdit(QDate(2026, 12, 22));
    date_->setObjectName("SunDate");
    date_->setDisplayFormat("yyyy-MM-dd");
    date_->setDateRange(QDate(1900, 1, 1), QDate(2100, 12, 31));
    auto setDate = [this] {
        if (dateOn_->isChecked()) {
            const QDate d = date_->date();
            c_.SetSunDate({d.year(), d.month(), d.day()});
        } else {
            c_.RadioGroup1Click();  // the season's sun again
        }
        Refresh();
    };
    QObject::connect(dateOn_, &QCheckBox::toggled, this, setDate);
    QObject::connect(date_, &QDateEdit::dateChanged, this, setDate);
    commandInputs_.push_back(dateOn_);
    commandInputs_.push_back(date_);
    left->addLayout(Row({dateOn_, date_, nullptr}));
    left->addLayout(Row({Caption("時刻"), Edit("Edit2", f.Edit2, 38), Caption("～"),
                         Edit("Edit7", f.Edit7, 38), Caption("時"), nullptr}));
    left->addLayout(Row({Caption("間隔"), Edit("Edit11", f.Edit11, 38), Caption("時間"), nullptr}));
    left->addLayout(Row({Caption("測定面の高さ"), Edit("Edit4", f.Edit4, 38), Caption("ｍ"), nullptr}));
    left->addStretch(1);
    auto* grid = new QGridLayout;
    grid->setSpacing(3);
    grid->addWidget(Button("Button2", f.Button2,
                           [this] {
                               c_.Button2Click();
                               EchoModel();
                           },
                           "建物の図形を選択（右クリックで前回取得した建物）"),
                    0, 0);
    grid->addWidget(Button("Button17", f.Button17, [this] { c_.Button17Click(); },
                           "時間ごとの日影線を表示"),
                    0, 1);
    grid->addWidget(Button("Button3", f.Button3, [this] { Diagram(TimeOfDayCommand()); },
                           "時刻日影図を作成", false),
                    1, 0);
    grid->addWidget(Button("Button10", f.Button10,
                           [this] {
                               if (activeRun_) {
                                   activeRun_->Stop();
                               } else {
                                   c_.Button10Click();
                               }
                           },
                           "アニメ、時刻日影の描画を中止", false),
                    1, 1);
    left->addLayout(grid);
    QAbstractButton* b2 = nullptr;
    for (const TButtonBind& bb : buttonBinds_)
        if (bb.name == "Button2") b2 = bb.w;
    b2->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(b2, &QWidget::customContextMenuRequested, this,
                     [this, b2](const QPoint& at) { ShowButton2Menu(b2->mapToGlobal(at)); });
    top->addLayout(left);

    auto* right = new QVBoxLayout;
    right->setSpacing(2);
    image2_ = new QLabel;
    image2_->setObjectName("Image2");
    image2_->setFixedSize(kImage2Width, kImage2Height);
    right->addWidget(image2_);
    right->addLayout(Row({UpDown("UpDown3", [this](bool up) { c_.UpDown3Click(up); }, "左右に回転",
                                 "左右に回転"),
                          UpDown("UpDown4", [this](bool up) { c_.UpDown4Click(up); }, "上下に回転",
                                 "上下に回転"),
                          Check("CheckBox1", "直下", f.CheckBox1, [this] { c_.CheckBox1Click(); },
                                "仮想の直下線分を表示"),
                          Button("SpeedButton2", f.SpeedButton2, [this] { c_.SpeedButton2Click(); },
                                 "表示中のイメージを描画")}));
    top->addLayout(right);
    return page;
}

QWidget* MainWindow::Page1() {
    Form& f = c_.form;
    auto* page = new QWidget;
    page->setObjectName("TabSheet2");
    auto* l = Column(page);
    auto* g4 = new QGroupBox("等時間日影図");
    g4->setObjectName("GroupBox4");
    auto* g4l = new QHBoxLayout(g4);
    g4l->setContentsMargins(4, 2, 4, 2);
    auto* hours = new QWidget;
    hours->setObjectName("CheckListBox1");
    auto* hl = new QGridLayout(hours);
    hl->setContentsMargins(0, 0, 0, 0);
    hl->setVerticalSpacing(0);
    for (int i = 0; i < kToujiHourCount; ++i) {
        const std::string name = "CheckListBox1_" + std::to_string(i);
        QCheckBox* cb = Check(name.c_str(), "", f.CheckListBox1[static_cast<std::size_t>(i)],
                              [this] { c_.CheckListBox1Click(); });
        cb->setText(Q(kCheckListBox1Items[static_cast<std::size_t>(i)]));
        // The legend: each hour with the colour its outline is drawn in.
        QPixmap swatch(12, 12);
        swatch.fill(AciColour(ToujiColour(i)));
        {
            QPainter p(&swatch);
            p.setPen(QColor(96, 96, 96));
            p.drawRect(0, 0, 11, 11);
        }
        cb->setIcon(QIcon(swatch));
        cb->setToolTip(Q(std::string("等時間日影線の色 (") +
                         std::string(kCheckListBox1Items[static_cast<std::size_t>(i)]) + ")"));
        cb->setObjectName(Q(name));
        hl->addWidget(cb, i % 7, i / 7);
    }
    g4l->addWidget(hours);
    auto* g4r = new QVBoxLayout;
    g4r->addWidget(Radio("RadioGroup5", "評価時間", {"10秒", "30秒", "60秒"}, f.RadioGroup5,
                         [this] { c_.RadioGroup5Click(); }));
    g4r->addWidget(Label(f.Label22));
    g4r->addWidget(Label(f.Label2));
    g4r->addStretch(1);
    g4l->addLayout(g4r);
    l->addWidget(g4);
    l->addLayout(Row({Button("Button6", f.Button6, [this] { Diagram(EqualTimeCommand()); }, nullptr,
                             false),
                      Button("Button7", f.Button7,
                             [this] {
                                 if (activeRun_) {
                                     activeRun_->Stop();
                                 } else {
                                     c_.Button7Click();
                                 }
                             },
                             nullptr, false),
                      Button("Button5", f.Button5, [this] { Diagram(WallCommand()); }, "壁面線分を選択",
                             false),
                      nullptr}));
    auto* g9 = new QGroupBox("壁面/壁面等時間");
    g9->setObjectName("GroupBox9");
    auto* g9l = new QGridLayout(g9);
    g9l->setContentsMargins(4, 2, 4, 2);
    g9l->addWidget(Check("CheckBox4", "壁線上に描く", f.CheckBox4), 0, 0);
    g9l->addWidget(Check("CheckBox12", "ブロックとして作成", f.CheckBox12), 1, 0);
    g9l->addWidget(Radio("RadioGroup6", "評価時間", {"10秒", "30秒", "60秒"}, f.RadioGroup6,
                         [this] { c_.RadioGroup6Click(); }, true),
                   2, 0);
    g9l->addWidget(Label(f.Label24), 0, 1);
    g9l->addWidget(Label(f.Label26), 1, 1);
    g9l->addWidget(Caption("※すべてがプラス座標でないと\n\u3000正しく作成されません｡"), 2, 1);
    l->addWidget(g9);
    l->addStretch(1);
    return page;
}

QWidget* MainWindow::Page2() {
    Form& f = c_.form;
    auto* page = new QWidget;
    page->setObjectName("TabSheet3");
    auto* l = Column(page);
    QTableWidget* g2 = Grid("StringGrid2", f.StringGrid2, f.StringGrid2Row,
                            [this] { c_.StringGrid2Click(); });
    g2->setToolTip("右クリックで順位反転");
    l->addWidget(g2, 1);
    QLineEdit* e6 = Edit("Edit6", f.Edit6, 36);
    QObject::connect(e6, &QLineEdit::textEdited, this, [this] {
        c_.Edit6Change();
        Refresh();
    });
    QLineEdit* e41 = Edit("Edit41", f.Edit41, 36);
    QObject::connect(e41, &QLineEdit::textEdited, this, [this] {
        c_.Edit41Change();
        Refresh();
    });
    l->addLayout(Row({Radio("RadioGroup3", "", {"10秒", "30秒", "60秒"}, f.RadioGroup3, {}, true),
                      Caption("測定面の高さ"), e6, Caption("ﾒｰﾄﾙ"), Caption("点番号修正"), e41}));
    constexpr Controller::PointGrid kTokutei = Controller::PointGrid::StringGrid2;
    l->addLayout(Row(
        {Button("Button21", f.Button21, [this] { c_.Button21Click(kTokutei); }),
         Button("Button22", f.Button22, [this] { c_.Button22Click(kTokutei); }),
         // 再計算 starts a run; while the run goes on it reads 中止 and stops it.
         Button("Button23", f.Button23,
                [this] {
                    if (IsStopButton("Button23", c_.form.Button23)) {
                        c_.Button23Click();
                    } else {
                        Command([this] { c_.Button23Click(); });
                    }
                },
                nullptr, false),
         Button("Button15", f.Button15, [this] { c_.Button15Click(); })}));
    return page;
}

QWidget* MainWindow::Page3() {
    Form& f = c_.form;
    auto* page = new QWidget;
    page->setObjectName("TabSheet4");
    auto* l = Column(page);
    l->addLayout(Row({Caption("図面の尺度"), Edit("Edit19", f.Edit19, 44),
                      Button("SpeedButton8", f.SpeedButton8, [this] { c_.SpeedButton8Click(); },
                             "DIMSCALEを取得"),
                      Caption("測定面高さ"), Edit("Edit17", f.Edit17, 36), Caption("ﾒｰﾄﾙ"),
                      nullptr}));
    l->addWidget(Radio("RadioGroup2", "求積対象", {"AREA", "計画建物", "適合建物"}, f.RadioGroup2,
                       [this] { c_.RadioGroup2Click(); }, true));
    auto preset = [&](const char* box, const char* title, int typ) {
        const bool b = typ == 1;
        auto* g = new QGroupBox(QString::fromUtf8(title));
        g->setObjectName(box);
        auto* gl = new QGridLayout(g);
        gl->setContentsMargins(4, 2, 4, 2);
        gl->setSpacing(2);
        gl->addWidget(Caption("半径"), 0, 0);
        gl->addWidget(Edit(b ? "Edit21" : "Edit15", b ? f.Edit21 : f.Edit15, 40), 0, 1);
        gl->addWidget(Caption("測定点No."), 1, 0);
        auto* no = new QHBoxLayout;
        no->addWidget(Edit(b ? "Edit14" : "Edit16", b ? f.Edit14 : f.Edit16, 40));
        no->addWidget(UpDown(b ? "UpDown6" : "UpDown2",
                             [this, b](bool up) {
                                 if (b) {
                                     c_.UpDown6Click(up);
                                 } else {
                                     c_.UpDown2Click(up);
                                 }
                             },
                             nullptr, nullptr));
        gl->addLayout(no, 1, 1);
        gl->addWidget(Caption("文字"), 2, 0);
        gl->addWidget(Edit(b ? "Edit22" : "Edit20", b ? f.Edit22 : f.Edit20, 40), 2, 1);
        gl->addWidget(Caption("目盛"), 3, 0);
        gl->addWidget(Edit(b ? "Edit24" : "Edit13", b ? f.Edit24 : f.Edit13, 40), 3, 1);
        gl->addWidget(Caption("ﾊｯﾁ"), 4, 0);
        gl->addWidget(Edit(b ? "Edit25" : "Edit18", b ? f.Edit25 : f.Edit18, 40), 4, 1);
        gl->addWidget(Caption("一括作図のXピッチ"), 5, 0);
        gl->addWidget(Edit(b ? "Edit40" : "Edit8", b ? f.Edit40 : f.Edit8, 40), 5, 1);
        QCheckBox* k = Check(b ? "CheckBox6" : "CheckBox3", "求積表", b ? f.CheckBox6 : f.CheckBox3);
        QCheckBox* t = Check(b ? "CheckBox7" : "CheckBox5", "位置表", b ? f.CheckBox7 : f.CheckBox5);
        tableBoxes_.push_back(k);
        tableBoxes_.push_back(t);
        gl->addLayout(Row({k, t}), 6, 0, 1, 2);
        gl->addWidget(Button(b ? "Button11" : "Button8", b ? f.Button11 : f.Button8,
                             [this, typ] { c_.Button8Click(typ); }),
                      7, 0, 1, 2);
        return g;
    };
    l->addLayout(Row({preset("GroupBox6", "type A ", 0), preset("GroupBox10", "type B ", 1)}));
    l->addLayout(Row({Check("CheckBox10", "天空図回転", f.CheckBox10),
                      Button("Button26", f.Button26, [this] { c_.Button26Click(); }),
                      Button("Button27", f.Button27, [this] { c_.Button27Click(); })}));
    QLabel* l74 = Label(f.Label74);
    l74->setObjectName("Label74");
    l->addWidget(l74);
    return page;
}

QWidget* MainWindow::Page4() {
    Form& f = c_.form;
    auto* page = new QWidget;
    page->setObjectName("TabSheet5");
    auto* l = Column(page);
    QTableWidget* g1 = Grid("StringGrid1", f.StringGrid1, f.StringGrid1Row,
                            [this] { c_.StringGrid1Click(); });
    l->addWidget(g1, 1);
    QLineEdit* e10 = Edit("Edit10", f.Edit10, 50);
    QObject::connect(e10, &QLineEdit::textEdited, this, [this] {
        c_.Edit10Change();
        Refresh();
    });
    QLineEdit* e26 = Edit("Edit26", f.Edit26, 50);
    QObject::connect(e26, &QLineEdit::textEdited, this, [this] {
        c_.Edit26Change();
        Refresh();
    });
    l->addLayout(Row({Radio("RadioGroup4", "", {"AREA", "計画", "適合"}, f.RadioGroup4,
                            [this] { c_.RadioGroup4Click(); }, true),
                      Caption("番号修正"), e10, Caption("高さ修正"), e26,
                      Check("CheckBox9", "↓", f.CheckBox9)}));
    auto* g = new QGridLayout;
    g->setSpacing(2);
    constexpr Controller::PointGrid kSokutei = Controller::PointGrid::StringGrid1;
    g->addWidget(Button("Button12", f.Button12, [this] { c_.Button21Click(kSokutei); }), 0, 0);
    g->addWidget(Button("Button16", f.Button16, [this] { c_.Button22Click(kSokutei); }), 0, 1);
    g->addWidget(Button("Button9", f.Button9, [this] { c_.Button9Click(); }), 0, 2);
    g->addWidget(Button("Button13", f.Button13, [this] { c_.Button13Click(0); }), 1, 0);
    g->addWidget(Button("Button14", f.Button14, [this] { c_.Button13Click(1); }), 1, 1);
    g->addWidget(Button("Button18", f.Button18, [this] { c_.Button18Click(0); }), 1, 2);
    g->addWidget(Button("Button24", f.Button24, [this] { c_.Button18Click(1); }), 1, 3);
    g->addWidget(Caption("計画=内接, 適合=外接"), 0, 3);
    l->addLayout(g);
    return page;
}

QWidget* MainWindow::Page5() {
    Form& f = c_.form;
    auto* page = new QWidget;
    page->setObjectName("TabSheet6");
    auto* l = Column(page);
    auto* g5 = new QGroupBox("画層");
    g5->setObjectName("GroupBox5");
    auto* g5l = new QGridLayout(g5);
    g5l->setContentsMargins(4, 2, 4, 2);
    g5l->setSpacing(2);
    const struct {
        const char* name;
        const char* caption;
        std::string* field;
    } layers[] = {{"Edit27", "時刻", &f.Edit27},    {"Edit28", "等時間", &f.Edit28},
                  {"Edit31", "壁面", &f.Edit31},    {"Edit30", "(枠)", &f.Edit30},
                  {"Edit29", "(等時)", &f.Edit29},  {"Edit32", "特定点", &f.Edit32},
                  {"Edit33", "天空図", &f.Edit33},  {"Edit34", "(目盛)", &f.Edit34},
                  {"Edit35", "(ﾊｯﾁ)", &f.Edit35},   {"Edit36", "(三斜)", &f.Edit36},
                  {"Edit37", "(位置)", &f.Edit37},  {"Edit50", "計算記録", &f.Edit50},
                  {"Edit51", "日影規制", &f.Edit51}};
    int i = 0;
    for (const auto& ly : layers) {
        g5l->addWidget(Caption(ly.caption), i % 7, (i / 7) * 2);
        g5l->addWidget(Edit(ly.name, *ly.field, 110), i % 7, (i / 7) * 2 + 1);
        ++i;
    }
    l->addWidget(g5);
    auto* g11 = new QGroupBox("共通");
    g11->setObjectName("GroupBox11");
    g11->setLayout(Row({Caption("文字高さ"), Edit("Edit38", f.Edit38, 50), Caption("(実寸)"), nullptr}));
    auto* g7 = new QGroupBox("等時間・壁面等時間");
    g7->setObjectName("GroupBox7");
    QLineEdit* e9 = Edit("Edit9", f.Edit9, 30);
    e9->setReadOnly(true);
    g7->setLayout(Row({Check("CheckBox8", "ｽﾑｰｼﾞﾝｸﾞ係数", f.CheckBox8), e9,
                       UpDown("UpDown5",
                              [this](bool up) { c_.UpDown5Click(up); },
                              nullptr, nullptr),
                       nullptr}));
    l->addLayout(Row({g11, g7}));
    groupBox13_ = new QGroupBox("天空率");
    groupBox13_->setObjectName("GroupBox13");
    groupBox13_->setEnabled(false);
    groupBox13_->setLayout(Row({Caption("検出係数"), Edit("Edit39", f.Edit39, 40),
                                Caption("(大きくすると、低い塀を検出しやすくなる)"), nullptr}));
    l->addWidget(groupBox13_);
    l->addStretch(1);
    return page;
}

QWidget* MainWindow::Page6() {
    Form& f = c_.form;
    auto* page = new QWidget;
    page->setObjectName("TabSheet7");
    auto* l = Column(page);
    l->addLayout(Row({Button("Button20", f.Button20, [this] { c_.Button20Click(); },
                             "敷地の線分を選択"),
                      nullptr}));
    l->addWidget(Check("CheckBox2", "等時間の評価時間を 1/10 に", f.CheckBox2));
    l->addWidget(Check("CheckBox11", "時刻日影図に時刻のみ記入（方位角不要）", f.CheckBox11));
    groupBox15_ = new QGroupBox(Q(f.GroupBox15Caption));
    groupBox15_->setObjectName("GroupBox15");
    QLineEdit* e42 = Edit("Edit42", f.Edit42, 0);
    e42->setReadOnly(true);
    groupBox15_->setLayout(Row({e42, Button("SpeedButton4", f.SpeedButton4,
                                            [this] { SpeedButton4Click(); }, nullptr, false)}));
    l->addWidget(groupBox15_);
    auto* g16 = new QGroupBox("換算");
    g16->setObjectName("GroupBox16");
    g16->setLayout(Row(
        {Edit("Edit46", f.Edit46, 40), Caption("度"), Edit("Edit47", f.Edit47, 30), Caption("分"),
         Edit("Edit48", f.Edit48, 30), Caption("秒"),
         Button("SpeedButton7", f.SpeedButton7,
                [this] { c_.SpeedButton7Click(); },
                nullptr, false),
         Button("SpeedButton6", f.SpeedButton6,
                [this] { c_.SpeedButton6Click(); },
                nullptr, false),
         Edit("Edit49", f.Edit49, 70), Caption("度"), nullptr}));
    l->addWidget(g16);
    auto* info = new QGroupBox;
    info->setLayout(Row({Caption(kProductName), Caption(kBuildText), nullptr}));
    l->addWidget(info);
    l->addStretch(1);
    return page;
}

QWidget* MainWindow::Page7() {
    Form& f = c_.form;
    auto* page = new QWidget;
    page->setObjectName("TabSheet8");
    auto* l = Column(page);
    memo1_ = new QPlainTextEdit;
    memo1_->setObjectName("Memo1");
    memo1_->setReadOnly(true);
    memo1_->setLineWrapMode(QPlainTextEdit::NoWrap);
    l->addWidget(memo1_, 1);
    l->addLayout(Row({Button("SpeedButton5", f.SpeedButton5, [this] { c_.SpeedButton5Click(); }),
                      Check("CheckBox14", "度、分、秒で表示", f.CheckBox14),
                      Check("CheckBox15", "小数点以下 3 桁", f.CheckBox15), nullptr}));
    return page;
}

// --- Showing the Form --------------------------------------------------------------------

void MainWindow::Refresh() {
    const Form& f = c_.form;
    for (const TEditBind& b : editBinds_) {
        if (b.w->text().toStdString() != *b.f) b.w->setText(Q(*b.f));
        const int need = b.w->fontMetrics().horizontalAdvance(b.w->text()) + 14;
        if (b.w->minimumWidth() > 0 && need > b.w->minimumWidth()) b.w->setFixedWidth(need);
    }
    for (const TButtonBind& b : buttonBinds_) {
        b.w->setEnabled(ButtonUsable(f, b.name, *b.b));
        if (b.w->text().toStdString() != b.b->Caption) b.w->setText(Q(b.b->Caption));
    }
    for (const TCheckBind& b : checkBinds_) {
        if (b.w->isChecked() != *b.f) {
            const QSignalBlocker block(b.w);
            b.w->setChecked(*b.f);
        }
    }
    for (const TRadioBind& b : radioBinds_) {
        QAbstractButton* want = b.g->button(*b.f);
        if (want && !want->isChecked()) {
            want->setChecked(true);
        } else if (!want && b.g->checkedButton()) {
            b.g->setExclusive(false);
            b.g->checkedButton()->setChecked(false);
            b.g->setExclusive(true);
        }
    }
    for (const TLabelBind& b : labelBinds_) {
        if (b.w->text().toStdString() != *b.f) b.w->setText(Q(*b.f));
    }
    for (const TGridBind& b : gridBinds_) {
        const TGridCells& g = *b.cells;
        const int cols = g.empty() ? 0 : static_cast<int>(g[0].size());
        const int rows = std::max(0, static_cast<int>(g.size()) - 1);
        if (b.w->columnCount() != cols) b.w->setColumnCount(cols);
        if (b.w->rowCount() != rows) b.w->setRowCount(rows);
        for (int c = 0; c < cols; ++c) {
            const QString h = Q(g[0][static_cast<std::size_t>(c)]);
            QTableWidgetItem* it = b.w->horizontalHeaderItem(c);
            if (!it || it->text() != h) b.w->setHorizontalHeaderItem(c, new QTableWidgetItem(h));
        }
        for (int r = 0; r < rows; ++r) {
            const std::vector<std::string>& row = g[static_cast<std::size_t>(r) + 1];
            for (int c = 0; c < cols; ++c) {
                const QString t =
                    static_cast<std::size_t>(c) < row.size() ? Q(row[static_cast<std::size_t>(c)])
                                                              : QString();
                QTableWidgetItem* it = b.w->item(r, c);
                if (!it) {
                    b.w->setItem(r, c, new QTableWidgetItem(t));
                } else if (it->text() != t) {
                    it->setText(t);
                }
            }
        }
        // Every column as wide as its heading and cells, and the grid wide enough for all.
        b.w->resizeColumnsToContents();
        int all = 2 * b.w->frameWidth() + b.w->verticalScrollBar()->sizeHint().width();
        for (int c = 0; c < cols; ++c) all += b.w->columnWidth(c);
        if (b.w->minimumWidth() != all) b.w->setMinimumWidth(all);
        if (*b.row >= 1 && *b.row <= rows && b.w->currentRow() != *b.row - 1) {
            const QSignalBlocker block(b.w);
            b.w->selectRow(*b.row - 1);
        }
    }
    for (QCheckBox* t : tableBoxes_) t->setEnabled(c_.tableBoxesEnabled);
    const bool inputs = CommandInputsUsable(f);
    for (QWidget* w : commandInputs_) w->setEnabled(inputs);
    if (combo1_->count() != static_cast<int>(f.ComboBox1Items.size())) {
        const QSignalBlocker block(combo1_);
        combo1_->clear();
        for (const std::string& s : f.ComboBox1Items) combo1_->addItem(Q(s));
        combo1_->setCurrentIndex(-1);
        combo1_->lineEdit()->clear();
    }
    if (dateOn_->isChecked() != c_.SunDate().has_value()) {
        const QSignalBlocker block(dateOn_);
        dateOn_->setChecked(c_.SunDate().has_value());
    }
    if (const std::optional<TSunDate>& d = c_.SunDate()) {
        const QDate want(d->year, d->month, d->day);
        if (date_->date() != want) {
            const QSignalBlocker block(date_);
            date_->setDate(want);
        }
    }
    if (groupBox15_->title().toStdString() != f.GroupBox15Caption)
        groupBox15_->setTitle(Q(f.GroupBox15Caption));
    if (windowTitle().toStdString() != f.Caption) setWindowTitle(Q(f.Caption));
    QStringList memo;
    for (const std::string& line : f.Memo1) memo << Q(line);
    const QString memoText = memo.join('\n');
    if (memo1_->toPlainText() != memoText) memo1_->setPlainText(memoText);
    if (pages_->currentIndex() != f.PageControl1) {
        const QSignalBlocker block(pages_);
        pages_->setCurrentIndex(f.PageControl1);
    }
    const int max = std::max(f.ProgressBar1.Max, 1);
    const int pos = std::clamp(f.ProgressBar1.Position, 0, max);
    // The estimate starts again with every new run of the bar.
    if (pos == 0 || max != progress_->maximum() || pos < progress_->value()) {
        progressClock_.restart();
        progressFrom_ = pos;
    }
    progress_->setMaximum(max);
    progress_->setValue(pos);
    const std::string text = ProgressReadout(pos, max, pos - progressFrom_,
                                             static_cast<double>(progressClock_.elapsed()) / 1000);
    progress_->setFormat(Q(text));
    progress_->setTextVisible(!text.empty());
    PaintPreview();
}

void MainWindow::PaintPreview() {
    QPixmap pm(kImage2Width, kImage2Height);
    pm.fill(Qt::black);
    if (!c_.ws.AryTatemono.empty()) {
        const TWakuPicture& pic = c_.WakuPicture();
        QPainter p(&pm);
        static const QColor kPens[] = {QColor(255, 0, 0), QColor(192, 192, 192),
                                       QColor(128, 128, 128)};
        for (const TWakuLine& l : pic.lines) {
            p.setPen(kPens[static_cast<int>(l.kind)]);
            const TWakuPixel a = WakuPixel(pic, l.st, kImage2Width, kImage2Height);
            const TWakuPixel b = WakuPixel(pic, l.ed, kImage2Width, kImage2Height);
            p.drawLine(a.col, a.row, b.col, b.row);
        }
    }
    image2_->setPixmap(pm);
}

// --- Commands ----------------------------------------------------------------------------

void MainWindow::Command(const std::function<void()>& handler) {
    RunCommand(c_.form, [this, &handler] {
        Refresh();
        ReportingErrors(ui_, handler);
    });
    AfterCommand();
}

void MainWindow::Diagram(TDiagramCommand cmd) {
    if (c_.form.CommandRunning) return;
    DiagramRun run(c_, std::move(cmd));
    activeRun_ = &run;
    DiagramEnd end = DiagramEnd::NothingDrawn;
    ReportingErrors(ui_, [&run, &end] { end = run.Run(); });
    activeRun_ = nullptr;
    switch (end) {
        case DiagramEnd::Drawn:
            drawing_.SetStatus(run.Summary());
            break;
        case DiagramEnd::Stopped:
            drawing_.SetStatus(kStopped);
            break;
        case DiagramEnd::NothingDrawn:
            drawing_.SetStatus(run.NothingDrawn());
            break;
        case DiagramEnd::Busy:
            break;
    }
    AfterCommand();
}

void MainWindow::EchoModel() {
    if (c_.ws.AryTatemono.empty()) return;
    modelShown_ = true;
    drawing_.TakePrompts();
    const std::string head = "取得\t" + std::to_string(c_.TatemonoEntities()) + " 図形";
    drawing_.Echo(head);
    std::string status = head;
    for (const std::string& line : ModelSummary(c_, &session_)) {
        drawing_.Echo(line);
        status += ", " + line;
    }
    for (char& ch : status)
        if (ch == '\t') ch = ' ';
    drawing_.SetStatus(status);
}

void MainWindow::AfterCommand() {
    Refresh();
    drawing_.Refresh();
    if (closePending_ && !c_.form.CommandRunning) close();
}

void MainWindow::ShowButton2Menu(const QPoint& at) {
    if (c_.form.CommandRunning) return;
    const Controller::TPopupMenu2State s = c_.Button2MouseDown();
    QMenu menu(this);
    menu.setObjectName("PopupMenu2");
    QAction* n8 = menu.addAction("直前に取得した図形を採用");
    n8->setEnabled(s.N8);
    QAction* n6 = menu.addAction("その１つ前に取得した図形を採用");
    n6->setEnabled(s.N6);
    menu.addSeparator()->setEnabled(s.N4);
    menu.addAction("取り消し");
    QAction* chosen = menu.exec(at);
    if (chosen == n8 || chosen == n6) Command([this] { c_.N6Click(); });
}

void MainWindow::ShowGridMenu(QTableWidget* grid, const QPoint& at) {
    if (c_.form.CommandRunning) return;
    QMenu menu(this);
    menu.setObjectName("PopupMenu1");
    QAction* reverse = menu.addAction("順位を反転");
    menu.addSeparator();
    QAction* copy = menu.addAction("すべてをクリップボードにコピー");
    QAction* csv = menu.addAction("CSV ファイルに保存...");
    QAction* chosen = menu.exec(grid->viewport()->mapToGlobal(at));
    if (chosen == reverse) {
        c_.N2Click();
    } else if (chosen == copy) {
        QGuiApplication::clipboard()->setText(Q(c_.N1Click()));
    } else if (chosen == csv) {
        const QString f = QFileDialog::getSaveFileName(this, "CSV ファイルに保存", QString(),
                                                       "CSV (*.csv)");
        if (!f.isEmpty()) SaveGridAsCsv(grid->objectName().toStdString(),
                                        PathFromUtf8(f.toStdString()));
    }
    Refresh();
}

bool MainWindow::SaveGridAsCsv(const std::string& grid, const std::filesystem::path& path) {
    for (const TGridBind& b : gridBinds_) {
        if (b.w->objectName().toStdString() != grid) continue;
        if (SaveGridCsv(path, *b.cells)) {
            drawing_.SetStatus("CSV : " + PathToUtf8(path));
            return true;
        }
        ui_.MessageBox("Zuka", "CSV を書けません : " + PathToUtf8(path));
        return false;
    }
    return false;
}

void MainWindow::SpeedButton4Click() {
    TargetCadDialogWindow dialog(targetDialog_, c_.form, this);
    dialog.Run(folder_.dir / kTargetCadFileName);
    Refresh();
}

// --- Closing -----------------------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* e) {
    if (quitting_) {
        e->accept();
        return;
    }
    e->ignore();
    if (c_.form.CommandRunning) {
        // Stop the run first; the window closes when its command has ended.
        closePending_ = true;
        c_.form.RunFlag = false;
        if (activeRun_) activeRun_->Stop();
        drawing_.View().CancelPick();
        return;
    }
    closePending_ = false;
    Quit();
}

void MainWindow::Quit() {
    if (!drawing_.MaybeSave()) return;
    if (skyCheck_) skyCheck_->TakeSettings();  // its fields are settings
    c_.form.Left = pos().x();
    c_.form.Top = pos().y();
    SaveSettingsFile(c_.form, folder_, ui_);
    quitting_ = true;
    drawing_.hide();
    if (kisei_) kisei_->hide();
    if (skyCheck_) skyCheck_->hide();
    close();
    QApplication::quit();
}

// --- The program -------------------------------------------------------------------------

void LoadJapaneseQtTranslations() {
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* name : {"qtbase_ja", "qt_ja"}) {
        auto* t = new QTranslator(qApp);
        if (t->load(QString::fromUtf8(name), dir)) {
            QCoreApplication::installTranslator(t);
            return;  // qt_ja includes qtbase_ja
        }
        delete t;
    }
}

ZukaGui::ZukaGui(WorkFolder f)
    : folder(std::move(f)),
      controller(ui, folder.dir),
      drawingWindow(session),
      mainWindow(controller, ui, session, drawingWindow, folder) {
    session.SetInteraction(&drawingWindow.View());
    session.Connect(controller);
}

void ZukaGui::Start(const std::filesystem::path& drawing) {
    const IniFile settings = LoadSettingsFile(folder);
    TScreenSize screen = kCommandLineScreen;
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        screen = {s->geometry().width(), s->geometry().height()};
    }
    controller.FormCreate(settings, screen);
    mainWindow.Refresh();
    mainWindow.adjustSize();
    // Resizable, and at first as large as its pages need.
    const QSize hint = mainWindow.sizeHint().expandedTo(QSize(kFormWidth, kFormHeight));
    mainWindow.resize(hint);
    mainWindow.move(controller.form.Left, controller.form.Top);
    if (!drawing.empty()) drawingWindow.OpenDrawing(drawing);
    drawingWindow.show();
    mainWindow.show();
    mainWindow.raise();
}

}  // namespace zuka

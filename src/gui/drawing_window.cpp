#include "gui/drawing_window.h"

#include <functional>
#include <iterator>
#include <variant>

#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QVBoxLayout>

#include "base/platform.h"
#include "picture/png_picture.h"

namespace zuka {
namespace {

constexpr char kOverwriteInput[] =
    "開いた図面そのものに上書きします．よろしいですか？\n";
constexpr char kSaveChanges[] = "図面が変更されています．保存しますか？";
constexpr char kSaved[] = "保存しました : ";
constexpr char kUndone[] = "元に戻しました（コマンド 1 回分）．";
constexpr char kRedone[] = "やり直しました（コマンド 1 回分）．";
constexpr char kNothingToUndo[] = "元に戻す操作がありません．";
constexpr char kNothingToRedo[] = "やり直す操作がありません．";
constexpr char kCurrentLayerSet[] = "現在の画層 : ";
constexpr char kNoSuchLayer[] = "その画層は図面にありません : ";
constexpr char kLayerWhileRunning[] = "コマンドの実行中は現在の画層を変えられません．";
constexpr char kLayerOff[] = "（図面でオフ）";

// Layer names compare without regard to the case of ASCII letters.
bool SameLayer(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

QIcon Swatch(int colour) {
    QPixmap pm(14, 14);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(Qt::NoPen);
    p.setBrush(AciColour(colour));
    p.drawRect(0, 0, 13, 13);
    if (colour == 7) {
        // Colour 7 is white on a dark screen and black on paper: half of each, as a CAD shows it.
        p.setBrush(Qt::black);
        p.drawPolygon(QPolygon({QPoint(13, 0), QPoint(13, 13), QPoint(0, 13)}));
    }
    p.setPen(QColor(128, 128, 128));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, 13, 13);
    return QIcon(pm);
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

DrawingWindow::DrawingWindow(DrawingSession& session, QWidget* parent)
    : QMainWindow(parent), session_(session) {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    view_ = new DrawingView(session.Host(), central);
    strip_ = new QPlainTextEdit(central);
    strip_->setReadOnly(true);
    strip_->setMaximumBlockCount(500);
    strip_->setFixedHeight(4 * strip_->fontMetrics().lineSpacing() + 10);
    prompt_ = new QLabel(central);
    prompt_->setObjectName("CommandPrompt");
    prompt_->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(view_, 1);
    layout->addWidget(strip_);
    layout->addWidget(prompt_);
    setCentralWidget(central);
    view_->onPrompt = [this](const std::string& p) {
        // The command's own instruction, written just before it asks, shows before the pick.
        if (!p.empty()) TakePrompts();
        SetPrompt(p);
    };

    // The layer panel.
    auto* dock = new QDockWidget("画層", this);
    dock->setObjectName("LayerPanel");
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetClosable);
    auto* panel = new QWidget(dock);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(4, 4, 4, 4);
    panelLayout->addWidget(new QLabel("現在の画層", panel));
    currentLayer_ = new QComboBox(panel);
    currentLayer_->setObjectName("CurrentLayer");
    currentLayer_->setToolTip("図形を作るコマンドが画層を決めないとき、その図形を置く画層");
    panelLayout->addWidget(currentLayer_);
    panelLayout->addWidget(new QLabel("表示する画層", panel));
    layers_ = new QListWidget(panel);
    layers_->setObjectName("LayerList");
    layers_->setToolTip("チェックを外した画層は図面ビューに表示しません（図面は変わりません）．"
                        "ダブルクリックで現在の画層にします．");
    panelLayout->addWidget(layers_, 1);
    dock->setWidget(panel);
    addDockWidget(Qt::LeftDockWidgetArea, dock);
    QObject::connect(layers_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        ShowLayer(item->data(Qt::UserRole).toString().toStdString(),
                  item->checkState() == Qt::Checked);
    });
    QObject::connect(layers_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        SetCurrentLayer(item->data(Qt::UserRole).toString().toStdString());
    });
    QObject::connect(currentLayer_, &QComboBox::activated, this, [this](int i) {
        SetCurrentLayer(currentLayer_->itemText(i).toStdString());
    });

    QMenu* file = menuBar()->addMenu("ファイル(&F)");
    auto allowed = [this] { return !fileActionsAllowed || fileActionsAllowed(); };
    file->addAction("開く(&O)...", QKeySequence::Open, [this, allowed] {
        if (!allowed() || !MaybeSave()) return;
        const QString f = QFileDialog::getOpenFileName(this, "図面を開く", QString(),
                                                       "DXF (*.dxf *.DXF)");
        if (!f.isEmpty()) OpenDrawing(f.toStdString());
    });
    file->addAction("上書き保存(&S)", QKeySequence::Save, [this, allowed] {
        if (allowed()) Save();
    });
    file->addAction("名前を付けて保存(&A)...", QKeySequence::SaveAs, [this, allowed] {
        if (!allowed()) return;
        const QString f = QFileDialog::getSaveFileName(this, "名前を付けて保存",
                                                       Q(SavePath().string()), "DXF (*.dxf)");
        if (!f.isEmpty()) SaveAs(f.toStdString());
    });
    file->addSeparator();
    file->addAction("印刷(&P)...", QKeySequence::Print, [this, allowed] {
        if (allowed()) PrintSheet();
    });
    file->addAction("PDF に出力...", [this, allowed] {
        if (!allowed() || !session_.Host().IsOpen()) return;
        SheetDialog dialog(SheetRequest(), "PDF に出力", this);
        if (dialog.exec() != QDialog::Accepted) return;
        std::filesystem::path suggested = SavePath();
        suggested.replace_extension(".pdf");
        const QString f = QFileDialog::getSaveFileName(this, "PDF に出力", Q(PathToUtf8(suggested)),
                                                       "PDF (*.pdf)");
        if (!f.isEmpty()) ExportPdf(PathFromUtf8(f.toStdString()), dialog.Request());
    });
    file->addAction("画像に出力 (SVG, PNG)...", [this, allowed] {
        if (!allowed() || !session_.Host().IsOpen()) return;
        std::filesystem::path suggested = SavePath();
        suggested.replace_extension(".png");
        const QString f = QFileDialog::getSaveFileName(this, "画像に出力", Q(PathToUtf8(suggested)),
                                                       "PNG (*.png);;SVG (*.svg)");
        if (!f.isEmpty()) ExportPicture(PathFromUtf8(f.toStdString()));
    });
    file->addSeparator();
    file->addAction("終了(&X)", [this] { close(); });
    // Undo and redo: one command is one step.
    QMenu* edit = menuBar()->addMenu("編集(&E)");
    QAction* undo = edit->addAction("元に戻す(&U)", QKeySequence::Undo, [this, allowed] {
        if (allowed()) UndoRedo(true);
    });
    undo->setObjectName("EditUndo");
    QAction* redo =
        edit->addAction("やり直し(&R)", QKeySequence(Qt::CTRL | Qt::Key_Y), [this, allowed] {
            if (allowed()) UndoRedo(false);
        });
    redo->setObjectName("EditRedo");
    QObject::connect(edit, &QMenu::aboutToShow, this, [this, undo, redo] {
        undo->setEnabled(session_.Host().CanUndo());
        redo->setEnabled(session_.Host().CanRedo());
    });
    QMenu* viewMenu = menuBar()->addMenu("表示(&V)");
    viewMenu->addAction("全体表示 (Home)", [this] { view_->ZoomExtents(); });
    viewMenu->addAction("窓ズーム (Z, Shift+ドラッグ)", [this] { view_->StartZoomWindow(); })
        ->setObjectName("ViewZoomWindow");
    QAction* panelShown = dock->toggleViewAction();
    panelShown->setText("画層パネル");
    viewMenu->addAction(panelShown);
    resize(1180, 720);
    UpdateTitle();
}

bool DrawingWindow::OpenDrawing(const std::filesystem::path& path) {
    std::string error;
    if (!session_.Open(path, error)) {
        QMessageBox::warning(this, "Zuka", Q(error));
        return false;
    }
    savePath_.clear();
    hidden_.clear();  // what the view hid belonged to the drawing before
    view_->SetHiddenLayers(hidden_);
    view_->Reload(true);
    UpdateLayers();
    MarkSaved();
    Echo("図面 : " + path.string());
    if (onOpened) onOpened();
    return true;
}

std::filesystem::path DrawingWindow::SavePath() const {
    return savePath_.empty() ? ResultPath(session_.Path()) : savePath_;
}

bool DrawingWindow::Save() { return SaveAs(SavePath()); }

bool DrawingWindow::SaveAs(const std::filesystem::path& path) {
    if (!session_.Host().IsOpen()) return false;
    if (IsInputDrawing(path, session_.Path())) {
        const std::string q = kOverwriteInput + path.string();
        const bool yes = confirm ? confirm(q)
                                 : QMessageBox::question(this, "Zuka", Q(q)) == QMessageBox::Yes;
        if (!yes) return false;
    }
    std::string error;
    if (!session_.Save(path, error)) {
        QMessageBox::warning(this, "Zuka", Q(error));
        return false;
    }
    savePath_ = path;
    MarkSaved();
    SetStatus(kSaved + path.string());
    Echo(kSaved + path.string());
    return true;
}

std::size_t DrawingWindow::Signature() const {
    const DrawingHost& h = session_.Host();
    if (!h.IsOpen()) return 0;
    DrawingHost& host = const_cast<DrawingHost&>(h);
    Document& doc = host.ActiveDocument();
    return static_cast<std::size_t>(doc.ModelSpace().Count()) * 1000003u +
           static_cast<std::size_t>(doc.Blocks().Count()) * 7919u + h.CommandLog().size() +
           std::hash<std::string>{}(CurrentLayer());
}

void DrawingWindow::MarkSaved() {
    savedSignature_ = Signature();
    UpdateTitle();
}

bool DrawingWindow::Modified() const { return Signature() != savedSignature_; }

bool DrawingWindow::MaybeSave() {
    if (!Modified()) return true;
    if (confirm) return !confirm(kSaveChanges) || Save();
    const auto b = QMessageBox::question(this, "Zuka", kSaveChanges,
                                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (b == QMessageBox::Cancel) return false;
    return b == QMessageBox::No || Save();
}

TSheetRequest DrawingWindow::SheetRequest() const {
    TSheetRequest q = sheet_;
    q.caption = session_.Host().IsOpen() ? PathToUtf8(session_.Path().filename()) : std::string();
    return q;
}

bool DrawingWindow::OutputFailed(const std::string& error) {
    SetStatus(error);
    if (!confirm) QMessageBox::warning(this, "Zuka", Q(error));
    return false;
}

bool DrawingWindow::ExportPdf(const std::filesystem::path& path, const TSheetRequest& q) {
    if (!session_.Host().IsOpen()) return OutputFailed("図面が開かれていません．");
    std::string error;
    if (!WriteSheetPdf(path, *view_, q, error)) return OutputFailed(error);
    sheet_ = q;
    SetStatus("PDF : " + PathToUtf8(path));
    Echo("PDF : " + PathToUtf8(path));
    return true;
}

bool DrawingWindow::ExportPicture(const std::filesystem::path& path) {
    if (!session_.Host().IsOpen()) return OutputFailed("図面が開かれていません．");
    std::string ext = path.extension().string();
    for (char& ch : ext)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    if (ext != ".svg" && ext != ".png")
        return OutputFailed("画像は .svg か .png の名前で指定してください : " + PathToUtf8(path));
    // The picture the command line's --svg and --png write, results in their own colours.
    const SvgPicture pic = session_.Picture(PathToUtf8(session_.Path().filename()), true);
    const bool ok = ext == ".svg" ? pic.Save(path) : SavePng(pic, path);
    if (!ok) return OutputFailed((ext == ".svg" ? "SVG を書けません : " : "PNG を書けません : ") +
                                 PathToUtf8(path));
    const std::string done = (ext == ".svg" ? "SVG : " : "PNG : ") + PathToUtf8(path);
    SetStatus(done);
    Echo(done);
    return true;
}

void DrawingWindow::PrintSheet() {
    if (!session_.Host().IsOpen()) return;
    SheetDialog dialog(SheetRequest(), "印刷", this);
    if (dialog.exec() != QDialog::Accepted) return;
    const TSheetRequest q = dialog.Request();
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setDocName(Q(q.caption));
    QPrintDialog ask(&printer, this);
    if (ask.exec() != QDialog::Accepted) return;
    if (PaintSheet(printer, *view_, q).scale == 0) {
        OutputFailed("印刷できませんでした．");
        return;
    }
    sheet_ = q;
    SetStatus("印刷しました．");
}

bool DrawingWindow::UndoRedo(bool undo) {
    DrawingHost& host = session_.Host();
    if (!(undo ? host.Undo() : host.Redo())) {
        SetStatus(undo ? kNothingToUndo : kNothingToRedo);
        return false;
    }
    const std::string done = undo ? kUndone : kRedone;
    Echo(done);
    SetStatus(done);
    // Redo shows what it brought back; undo leaves the view where it is.
    if (undo) {
        view_->KeepView();
    } else {
        view_->ZoomToResult();
    }
    UpdateLayers();
    UpdateTitle();
    return true;
}

void DrawingWindow::Echo(const std::string& line) { strip_->appendPlainText(Q(line)); }

void DrawingWindow::SetPrompt(const std::string& prompt) {
    // The command's instruction stays beside the prompt of each of its picks.
    std::string lead = instruction_.empty() ? std::string() : instruction_ + "  ";
    // An insertion names what it places, beside the prompt.
    const std::string what = placing_.empty() ? std::string() : "  (" + placing_ + ")";
    if (!placing_.empty()) lead = placing_ + "を配置します．  ";
    prompt_->setText(Q(prompt.empty() ? std::string() : "コマンド: " + lead + prompt + what));
    if (!prompt.empty()) Echo(prompt + what);
}

void DrawingWindow::SetStatus(const std::string& text) { statusBar()->showMessage(Q(text)); }

void DrawingWindow::TakePrompts() {
    for (const std::string& p : session_.TakePrompts()) {
        if (p.empty()) continue;
        Echo(p);
        instruction_ = p;
    }
}

void DrawingWindow::Refresh() {
    TakePrompts();
    instruction_.clear();  // the command is over
    view_->ZoomToResult();
    UpdateLayers();
    UpdateTitle();
}

std::string DrawingWindow::CurrentLayer() const {
    DrawingHost& host = const_cast<DrawingHost&>(session_.Host());
    if (!host.IsOpen()) return {};
    try {
        const CadValue v = host.ActiveDocument().GetVariable("CLAYER");
        if (const std::string* s = std::get_if<std::string>(&v)) return *s;
    } catch (const AutomationError&) {
        // A drawing without the variable: its entities go on layer 0.
    }
    return "0";
}

bool DrawingWindow::SetCurrentLayer(const std::string& layer) {
    DrawingHost& host = session_.Host();
    bool ok = false;
    if (fileActionsAllowed && !fileActionsAllowed()) {
        SetStatus(kLayerWhileRunning);
    } else if (host.IsOpen()) {
        for (const TLayerEntry& l : host.LayerTable()) {
            if (!SameLayer(l.name, layer)) continue;
            // A change of the drawing like a command's, within an undo group (the drawing's
            // undo records what the group changed), and the drawing counts as changed.
            Document& doc = host.ActiveDocument();
            if (!SameLayer(CurrentLayer(), l.name)) {
                doc.StartUndoMark();
                doc.SetVariable("CLAYER", l.name);
                doc.EndUndoMark();
            }
            SetStatus(kCurrentLayerSet + l.name);
            UpdateTitle();
            ok = true;
            break;
        }
        if (!ok) SetStatus(kNoSuchLayer + layer);
    }
    UpdateLayers();
    return ok;
}

void DrawingWindow::ShowLayer(const std::string& layer, bool shown) {
    for (auto it = hidden_.begin(); it != hidden_.end();)
        it = SameLayer(*it, layer) ? hidden_.erase(it) : std::next(it);
    if (!shown) hidden_.insert(layer);
    view_->SetHiddenLayers(hidden_);
    UpdateLayers();
}

void DrawingWindow::UpdateLayers() {
    const QSignalBlocker blockList(layers_);
    const QSignalBlocker blockCombo(currentLayer_);
    layers_->clear();
    currentLayer_->clear();
    const DrawingHost& host = session_.Host();
    if (!host.IsOpen()) return;
    const std::string current = CurrentLayer();
    for (const TLayerEntry& l : host.LayerTable()) {
        const QIcon swatch = Swatch(l.color);
        auto* item = new QListWidgetItem(swatch, Q(l.name + (l.off ? kLayerOff : "")), layers_);
        item->setData(Qt::UserRole, Q(l.name));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(view_->LayerHidden(l.name) ? Qt::Unchecked : Qt::Checked);
        currentLayer_->addItem(swatch, Q(l.name));
        if (SameLayer(l.name, current)) {
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
            currentLayer_->setCurrentIndex(currentLayer_->count() - 1);
        }
    }
}

void DrawingWindow::UpdateTitle() {
    const std::string name =
        session_.Host().IsOpen() ? session_.Path().filename().string() : "(図面なし)";
    setWindowTitle(Q(name + (Modified() ? " *" : "") + " - Zuka 図面"));
}

void DrawingWindow::closeEvent(QCloseEvent* e) {
    e->ignore();
    if (onClose) onClose();
}

}  // namespace zuka

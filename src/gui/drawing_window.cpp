#include "gui/drawing_window.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QVBoxLayout>

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
    resize(1000, 720);
    UpdateTitle();
}

bool DrawingWindow::OpenDrawing(const std::filesystem::path& path) {
    std::string error;
    if (!session_.Open(path, error)) {
        QMessageBox::warning(this, "Zuka", Q(error));
        return false;
    }
    savePath_.clear();
    view_->Reload(true);
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
           static_cast<std::size_t>(doc.Blocks().Count()) * 7919u + h.CommandLog().size();
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

bool DrawingWindow::UndoRedo(bool undo) {
    DrawingHost& host = session_.Host();
    if (!(undo ? host.Undo() : host.Redo())) {
        SetStatus(undo ? kNothingToUndo : kNothingToRedo);
        return false;
    }
    const std::string done = undo ? kUndone : kRedone;
    Echo(done);
    SetStatus(done);
    view_->Reload();
    UpdateTitle();
    return true;
}

void DrawingWindow::Echo(const std::string& line) { strip_->appendPlainText(Q(line)); }

void DrawingWindow::SetPrompt(const std::string& prompt) {
    // The command's instruction stays beside the prompt of each of its picks.
    const std::string lead = instruction_.empty() ? std::string() : instruction_ + "  ";
    prompt_->setText(Q(prompt.empty() ? std::string() : "コマンド: " + lead + prompt));
    if (!prompt.empty()) Echo(prompt);
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
    view_->Reload();
    UpdateTitle();
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

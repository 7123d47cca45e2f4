#include "gui/target_cad_dialog.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

namespace zuka {
namespace {

constexpr char kNotWritten[] = "ファイルに書き込めません : ";

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Enter in Edit1 or Edit2 does what 変更 does.
class EnterFilter : public QObject {
public:
    EnterFilter(TargetCadDialog& m, std::function<void(bool)> done) : m_(m), done_(std::move(done)) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::KeyPress) return false;
        const int k = static_cast<QKeyEvent*>(e)->key();
        if (k != Qt::Key_Return && k != Qt::Key_Enter) return false;
        done_(m_.Edit1KeyPress(u'\r').saved);
        return true;
    }

private:
    TargetCadDialog& m_;
    std::function<void(bool)> done_;
};

}  // namespace

TargetCadDialogWindow::TargetCadDialogWindow(TargetCadDialog& model, Form& form, QWidget* parent)
    : QDialog(parent), model_(model), form_(form) {
    setObjectName("TargetCADForm");
    setWindowTitle(kTargetCadDialogCaption);
    auto* l = new QGridLayout(this);
    list_ = new QListWidget;
    list_->setObjectName("ListBox1");
    edit1_ = new QLineEdit;
    edit1_->setObjectName("Edit1");
    edit2_ = new QLineEdit;
    edit2_->setObjectName("Edit2");
    l->addWidget(list_, 0, 0, 1, 4);
    l->addWidget(new QLabel(kTargetCadEdit1Label), 1, 0);
    l->addWidget(edit1_, 1, 1, 1, 3);
    l->addWidget(new QLabel(kTargetCadEdit2Label), 2, 0);
    l->addWidget(edit2_, 2, 1, 1, 3);
    auto button = [](const char* name, const char* caption) {
        auto* b = new QPushButton(caption);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* add = button("SpeedButton1", kTargetCadAddCaption);
    QPushButton* del = button("SpeedButton2", kTargetCadDeleteCaption);
    QPushButton* change = button("SpeedButton3", kTargetCadChangeCaption);
    QPushButton* ok = button("Button1", kTargetCadOkCaption);
    QPushButton* cancel = button("Button2", kTargetCadCancelCaption);
    l->addWidget(add, 3, 0);
    l->addWidget(del, 3, 1);
    l->addWidget(change, 3, 2);
    l->addWidget(ok, 4, 2);
    l->addWidget(cancel, 4, 3);
    auto* enter = new EnterFilter(model_, [this](bool saved) { Saved(saved); });
    enter->setParent(this);
    edit1_->installEventFilter(enter);
    edit2_->installEventFilter(enter);
    QObject::connect(edit1_, &QLineEdit::textEdited, this,
                     [this](const QString& t) { model_.Edit1 = t.toStdString(); });
    QObject::connect(edit2_, &QLineEdit::textEdited, this,
                     [this](const QString& t) { model_.Edit2 = t.toStdString(); });
    QObject::connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row == model_.ListBox1ItemIndex) return;
        model_.ListBox1ItemIndex = row;
        model_.ListBox1Click();
        Refresh();
    });
    QObject::connect(add, &QPushButton::clicked, this, [this] { Saved(model_.SpeedButton1Click()); });
    QObject::connect(del, &QPushButton::clicked, this, [this] { Saved(model_.SpeedButton2Click()); });
    QObject::connect(change, &QPushButton::clicked, this,
                     [this] { Saved(model_.SpeedButton3Click()); });
    QObject::connect(ok, &QPushButton::clicked, this, [this] {
        model_.Button1Click(form_);
        accept();
    });
    QObject::connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void TargetCadDialogWindow::Show(const std::filesystem::path& listFile) {
    std::optional<TTargetCadFile> file;
    if (std::filesystem::exists(listFile)) file = ReadTargetCadFile(listFile);
    model_.FormShow(form_.TargetProgID, file);
    Refresh();
}

void TargetCadDialogWindow::Run(const std::filesystem::path& listFile) {
    Show(listFile);
    exec();
}

void TargetCadDialogWindow::Saved(bool ok) {
    Refresh();
    if (!ok) QMessageBox::warning(this, kTargetCadDialogCaption, QString(kNotWritten) + "TargetCAD_APIVersion.txt");
}

void TargetCadDialogWindow::Refresh() {
    const QSignalBlocker block(list_);
    list_->clear();
    for (const std::string& s : model_.ListBox1Items()) list_->addItem(Q(s));
    list_->setCurrentRow(model_.ListBox1ItemIndex);
    if (edit1_->text().toStdString() != model_.Edit1) edit1_->setText(Q(model_.Edit1));
    if (edit2_->text().toStdString() != model_.Edit2) edit2_->setText(Q(model_.Edit2));
}

}  // namespace zuka

#include "gui/qt_ui_host.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include "app/settings_table.h"

namespace zuka {
namespace {

constexpr int kPumpMs = 25;

}  // namespace

void QtUiHost::MessageBox(const std::string& title, const std::string& message) {
    if (refresh) refresh();
    const std::string text = WithoutSettingKeys(message);
    if (messageHook) {
        messageHook(title, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Ok, mainWindow);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

void QtUiHost::MinimiseMainWindow() {
    if (mainWindow) mainWindow->showMinimized();
}

void QtUiHost::RestoreMainWindow() {
    if (!mainWindow) return;
    mainWindow->showNormal();
    mainWindow->raise();
}

void QtUiHost::Pump(bool events) {
    // Refreshing and processing events keep their own clocks: a loop that shows its progress
    // just before it lets the window process its events still gets its events processed.
    QElapsedTimer& last = events ? pumped_ : shown_;
    if (last.isValid() && last.elapsed() < kPumpMs) return;
    last.restart();
    if (refresh) refresh();
    if (events) QApplication::processEvents();
}

}  // namespace zuka

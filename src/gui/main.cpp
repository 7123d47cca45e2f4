// zuka-gui [DRAWING]: the main window over a drawing window.
#include <QApplication>
#include <QMessageBox>

#include <iostream>

#include "app/work_folder.h"
#include "gui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(zuka::kApplicationTitle);
    zuka::LoadJapaneseQtTranslations();
    const QStringList args = QApplication::arguments();
    const std::filesystem::path exeDir = zuka::ExecutablePath(argv[0]).parent_path();
    std::filesystem::path workdir;
    std::filesystem::path drawing;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--workdir" && i + 1 < args.size()) {
            workdir = args[++i].toStdString();
        } else if (args[i] == "-h" || args[i] == "--help") {
            std::cout << "zuka-gui [--workdir DIR] [DRAWING.dxf]\n";
            return 0;
        } else {
            drawing = args[i].toStdString();
        }
    }
    const std::optional<zuka::WorkFolder> folder = zuka::ResolveWorkFolder(exeDir, workdir);
    if (!folder) {
        QMessageBox::critical(nullptr, zuka::kApplicationTitle, "作業フォルダーを用意できません");
        return 1;
    }
    zuka::ZukaGui gui(*folder);
    gui.Start(drawing);
    return QApplication::exec();
}

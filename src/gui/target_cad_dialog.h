// The target-CAD dialog "ターゲット CAD": the list of known CADs beside the program, edited and
// one chosen; its widgets are bound to the TargetCadDialog model of the application layer.
#pragma once

#include <filesystem>

#include <QDialog>

#include "app/target_cad.h"

class QLineEdit;
class QListWidget;

namespace zuka {

class TargetCadDialogWindow : public QDialog {
public:
    TargetCadDialogWindow(TargetCadDialog& model, Form& form, QWidget* parent = nullptr);
    // Loads the list file (FormShow) and shows the dialog modally; OK hands the choice to the
    // main window's form.
    void Run(const std::filesystem::path& listFile);
    // Loads the list as FormShow does, without showing the dialog (tests drive it then).
    void Show(const std::filesystem::path& listFile);

private:
    void Refresh();
    void Saved(bool ok);

    TargetCadDialog& model_;
    Form& form_;
    QListWidget* list_;
    QLineEdit* edit1_;
    QLineEdit* edit2_;
};

}  // namespace zuka

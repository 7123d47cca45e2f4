// The window that stands in for the CAD's: the drawing view, a command strip with the prompts
// and what the commands report, the File menu (open, save, save as; the drawing that was
// opened is never overwritten without asking), and the layer panel: every layer of the drawing
// with its colour, shown or hidden in the view, and the current layer, where results that are
// given no layer of their own are drawn.
#pragma once

#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include <QMainWindow>

#include "app/drawing_session.h"
#include "gui/drawing_view.h"
#include "gui/print_output.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;

namespace zuka {

class DrawingWindow : public QMainWindow {
public:
    explicit DrawingWindow(DrawingSession& session, QWidget* parent = nullptr);

    DrawingView& View() { return *view_; }

    // Opens a drawing (false, with the reason shown, when it cannot be read).
    bool OpenDrawing(const std::filesystem::path& path);
    // 上書き保存: to the file last saved to, else beside the drawing with "-zuka" in its name.
    bool Save();
    // Saves to `path`; asks first when it is the drawing that was opened.
    bool SaveAs(const std::filesystem::path& path);
    // Where Save writes.
    std::filesystem::path SavePath() const;
    // True when a command changed the drawing since it was opened or saved.
    bool Modified() const;
    // Asks whether to save a changed drawing; false when the user cancels.
    bool MaybeSave();

    // Output of the drawing: a PDF sheet of what the view shows (paper, scale and part as
    // `q` says), the plan picture the command line writes (SVG or PNG by the file's
    // extension), and printing after the dialogs. False, said on the status line and in a
    // message box, when nothing is open or the file cannot be written.
    bool ExportPdf(const std::filesystem::path& path, const TSheetRequest& q);
    bool ExportPicture(const std::filesystem::path& path);
    void PrintSheet();
    // The sheet's paper, scale and part as last chosen, with the drawing's name.
    TSheetRequest SheetRequest() const;

    // 元に戻す (undo true) or やり直し: the drawing as it was before, or after, one command.
    // False, said on the status line, when there is nothing to undo or redo.
    bool UndoRedo(bool undo);

    // The current layer of the drawing (empty when none is open), and choosing it: the
    // entities a command makes without a layer of their own go there. False, said on the
    // status line, while a command runs or when the drawing has no such layer.
    std::string CurrentLayer() const;
    bool SetCurrentLayer(const std::string& layer);
    // Hides a layer in the view or shows it again: the drawing itself is not changed.
    void ShowLayer(const std::string& layer, bool shown);
    const std::set<std::string>& HiddenLayers() const { return hidden_; }
    // The layer panel read again from the drawing (new layers appear).
    void UpdateLayers();

    // A line on the command strip (the prompts the commands show on the CAD's command line).
    void Echo(const std::string& line);
    // The current prompt of a pick, or empty.
    void SetPrompt(const std::string& prompt);
    // What the next insertion point places (天空図, 三斜求積表, ...), named beside its prompt;
    // empty once placed.
    void SetPlacing(const std::string& what) { placing_ = what; }
    // The text beside the progress of a run, and what a finished command reports.
    void SetStatus(const std::string& text);
    // The prompts the commands wrote since the last call, onto the strip.
    void TakePrompts();
    // Takes the prompts the commands wrote since the last call onto the strip, and shows the
    // drawing as it now is.
    void Refresh();

    // Told after a drawing was opened (the model of the drawing before is gone).
    std::function<void()> onOpened;
    // Asked before a file action: false while a command runs.
    std::function<bool()> fileActionsAllowed;
    // Asked when the user closes this window (the program ends with it).
    std::function<void()> onClose;
    // Whether questions are asked (tests answer them through these instead).
    std::function<bool(const std::string&)> confirm;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    std::size_t Signature() const;
    void MarkSaved();
    void UpdateTitle();

    DrawingSession& session_;
    DrawingView* view_;
    QPlainTextEdit* strip_;
    QLabel* prompt_;
    QComboBox* currentLayer_;
    QListWidget* layers_;
    std::set<std::string> hidden_;  // layers hidden in the view
    std::string instruction_;  // the running command's last instruction on the strip
    std::string placing_;      // what the insertion being asked for places
    bool OutputFailed(const std::string& error);

    std::filesystem::path savePath_;
    TSheetRequest sheet_;  // the last paper, scale and part chosen
    std::size_t savedSignature_ = 0;
};

}  // namespace zuka

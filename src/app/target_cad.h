// The target CAD: which running CAD the program drives, chosen by its automation ProgID (the
// class string the CAD registers itself under), and the list of known CADs kept beside the
// program in "TargetCAD_APIVersion.txt".
//
// Each line of the list is a display name, one tab, the ProgID. Inside the program the lines are
// UTF-8; the file keeps whatever encoding it was found in (see ReadTargetCadFile).
//
// The dialog TargetCadDialog is a model without a window: the window binds its list box and edit
// fields to the dialog's fields and calls its handlers; tests do the same directly.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/form.h"
#include "base/text.h"

namespace zuka {

// The list file's name in the work folder.
inline constexpr char kTargetCadFileName[] = "TargetCAD_APIVersion.txt";

// The dialog's captions.
inline constexpr char kTargetCadDialogCaption[] = "ターゲット CAD";
inline constexpr char kTargetCadEdit1Label[] = "名称 （説明）";
inline constexpr char kTargetCadEdit2Label[] = "ProgID （クラス文字列）";
inline constexpr char kTargetCadAddCaption[] = "追加";         // SpeedButton1
inline constexpr char kTargetCadDeleteCaption[] = "削除";      // SpeedButton2
inline constexpr char kTargetCadChangeCaption[] = "変更";      // SpeedButton3
inline constexpr char kTargetCadOkCaption[] = "OK";            // Button1
inline constexpr char kTargetCadCancelCaption[] = "取り消し";  // Button2

struct TTargetCadFile {
    std::vector<std::string> lines;               // UTF-8, without line ends, in file order
    TextEncoding encoding = TextEncoding::Cp932;  // a new file is written in CP932
    bool operator==(const TTargetCadFile&) const = default;
};

// The lines of a list file's bytes, decoded as every text file of the program is
// (DecodeTextFile: a byte-order mark decides; without one, valid UTF-8 is UTF-8, else CP932, the
// code page of the systems the list is shared with). Lines end at "\r\n" or "\n"; a last line
// without a line end counts, an empty text has no lines. None when the bytes are not valid in
// the encoding found (broken UTF-16, bytes that are neither CP932 nor UTF-8): such a file is
// never guessed at, since writing it back would lose its text.
std::optional<TTargetCadFile> DecodeTargetCadText(std::string_view bytes);

// The bytes of `file`: its byte-order mark, then every line followed by "\r\n", in
// file.encoding. None when a line has a character the encoding cannot hold (CP932 has no "😀").
std::optional<std::string> EncodeTargetCadText(const TTargetCadFile& file);

// Reads the list file at `path`. None when it does not exist, cannot be read or cannot be decoded
// (std::filesystem::exists tells a missing file from the others); never throws.
std::optional<TTargetCadFile> ReadTargetCadFile(const std::filesystem::path& path);

// Writes `file` to `path` through a temporary file beside it that then replaces the old file, so
// that a failed write leaves the old file whole. False, with nothing written, when a line cannot
// be encoded, when the file cannot be written, or when a file exists at `path` that
// ReadTargetCadFile cannot read (its lines were never shown, so replacing it would lose them).
// Never throws.
bool WriteTargetCadFile(const std::filesystem::path& path, const TTargetCadFile& file);

// Start-up lookup, after the settings file has set form.TargetProgID: the first of `lines` (the
// list file in file order) whose upper-cased text contains the upper-cased TargetProgID, at byte
// position v, sets
//   Caption           := kApplicationTitle + " [ " + (text before v, blanks trimmed) + " ]"
//   GroupBox15Caption := "ターゲットCAD = " + text before v (untrimmed: it ends with the tab)
//   Edit42            := text from v to the end of the line.
// Upper-casing touches ASCII letters only, so byte positions hold for any UTF-8 text. Without a
// match, or with an empty TargetProgID (which names no CAD), the form is left as it is.
void ApplyTargetCadLookup(const std::vector<std::string>& lines, Form& form);

// Stores the list (the whole file) somewhere; false when it could not. The window passes one that
// writes the work folder's list file (TargetCadFileSaver); tests may record instead.
using TargetCadSaver = std::function<bool(const TTargetCadFile&)>;

// A saver that writes WriteTargetCadFile(path, file).
TargetCadSaver TargetCadFileSaver(std::filesystem::path path);

// Result of a key typed into Edit1 or Edit2.
struct TTargetCadKeyResult {
    bool passes = true;  // the key reaches the field; Enter is swallowed
    bool saved = true;   // false when Enter's 変更 could not save the list
    bool operator==(const TTargetCadKeyResult&) const = default;
};

// The target-CAD dialog: created once and reused, its list reloaded at each showing.
//
// The list box keeps its items sorted: case-insensitively for ASCII letters, then by bytes (so
// that items differing only in case have a fixed order; non-ASCII text sorts by code point).
// Every handler that changes the list saves the whole list through the saver, in the encoding the
// list file was read in (CP932 when it did not exist at the last showing), and returns false
// when the saver failed; the list in the dialog keeps the change either way, so the caller can
// tell the user and nothing typed is lost.
class TargetCadDialog {
public:
    explicit TargetCadDialog(TargetCadSaver saver);

    // Items of ListBox1, in the order the list box shows them.
    const std::vector<std::string>& ListBox1Items() const { return items_; }

    // What the user sets: the selected item (-1: none; an index outside the list counts as none)
    // and the two edit fields.
    int ListBox1ItemIndex = -1;
    std::string Edit1;  // 名称 （説明）
    std::string Edit2;  // ProgID （クラス文字列）

    // Each time the dialog opens. With the list file (`file` read from it): its lines replace the
    // items, sorted, and nothing is selected. Without one (nullopt: no file) the items and the
    // selection of the last showing stay. Then the first item containing a tab followed by
    // `targetProgID`, letter case as given, is selected and fills the edits as ListBox1Click
    // does; when none does, the edits keep their texts.
    void FormShow(const std::string& targetProgID, const std::optional<TTargetCadFile>& file);

    // The selected item fills the edits: Edit1 := the text before its first tab, Edit2 := the
    // text after it; an item without a tab gives an empty Edit1 and the whole item in Edit2.
    // Nothing happens without a selection.
    void ListBox1Click();

    // 追加: adds Edit1 + tab + Edit2 (an equal item may already be there), selects it, fills the
    // edits from it and saves the list.
    bool SpeedButton1Click();

    // 削除: deletes the selected item i and clears both edits; with n items left, selects item i
    // when i + 1 < n, else item i - 1 when i >= 1, else nothing, and fills the edits from the
    // selection. Saves the list. So deleting the second of three selects the first, and deleting
    // the first of two leaves nothing selected. Without a selection nothing happens and nothing
    // is saved (the list box gives no item at an invalid index, so there is nothing to delete).
    bool SpeedButton2Click();

    // 変更: replaces the selected item by Edit1 + tab + Edit2, which keeps its selection and takes
    // its sorted place, and saves the list. Without a selection nothing happens and nothing is
    // saved: there is no item to replace, and adding is 追加's job.
    bool SpeedButton3Click();

    // A key typed into Edit1 or Edit2: Enter is swallowed and does what 変更 does.
    TTargetCadKeyResult Edit1KeyPress(char16_t key);

    // OK: the main window takes the edits: title kApplicationTitle + " [ " + Edit1 + " ]",
    // TargetProgID and Edit42 := Edit2, GroupBox15Caption := "ターゲットCAD = " + Edit1. The
    // ProgID is not checked here; a wrong one shows when a command next looks for the CAD. The
    // dialog then closes (the caller hides it). 取り消し only closes it.
    void Button1Click(Form& form) const;

private:
    bool HasSelection() const;
    // Inserts `item` at its sorted place (after equal items) and returns its index.
    int InsertSorted(std::string item);
    bool Save() const;

    TargetCadSaver saver_;
    std::vector<std::string> items_;
    TextEncoding encoding_ = TextEncoding::Cp932;
};

}  // namespace zuka

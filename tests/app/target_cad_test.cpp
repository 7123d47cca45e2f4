#include "app/target_cad.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace zuka {
namespace {

const std::filesystem::path kDataDir = std::filesystem::path(ZUKA_TEST_DATA) / "target_cad";

// The three lines of every golden file in tests/data/target_cad except utf8_lf.txt. "①" and "髙"
// are CP932's own extensions, "～" its wave dash (U+FF5E).
const std::vector<std::string> kGoldenLines = {
    "汎用CAD ①\tBricscadApp.AcadApplication",
    "髙橋CAD　～試用版\tAcme.Application.3",
    "Plain ASCII\tAutoCAD.Application",
};

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void WriteAll(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A saver that keeps what it was given and answers `ok`.
struct RecordingSaver {
    std::vector<TTargetCadFile> saves;
    bool ok = true;
    TargetCadSaver Saver() {
        return [this](const TTargetCadFile& f) {
            saves.push_back(f);
            return ok;
        };
    }
};

TTargetCadFile ListOf(std::vector<std::string> lines, TextEncoding encoding = TextEncoding::Cp932) {
    return {std::move(lines), encoding};
}

// --- The list file ----------------------------------------------------------------------------

TEST(TargetCadFile, ReadsEachEncodingAndWritesItBackByteForByte) {
    struct Row {
        const char* file;
        TextEncoding encoding;
    };
    const Row rows[] = {
        {"cp932.txt", TextEncoding::Cp932},
        {"utf8_bom.txt", TextEncoding::Utf8Bom},
        {"utf16le_bom.txt", TextEncoding::Utf16Le},
        {"utf16be_bom.txt", TextEncoding::Utf16Be},
    };
    const testing::TempDir tmp;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.file);
        const std::optional<TTargetCadFile> file = ReadTargetCadFile(kDataDir / r.file);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->encoding, r.encoding);
        EXPECT_EQ(file->lines, kGoldenLines);

        const std::filesystem::path out = tmp.Path() / r.file;
        ASSERT_TRUE(WriteTargetCadFile(out, *file));
        EXPECT_EQ(ReadAll(out), ReadAll(kDataDir / r.file));
    }
}

// A list saved by a UTF-8 editor (no mark, "\n" line ends, none after the last line) is no valid
// CP932: it is read as UTF-8 and kept so, with the program's "\r\n" line ends.
TEST(TargetCadFile, Utf8WithoutMarkIsKeptUtf8) {
    const std::optional<TTargetCadFile> file = ReadTargetCadFile(kDataDir / "utf8_lf.txt");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->encoding, TextEncoding::Utf8);
    EXPECT_EQ(file->lines,
              (std::vector<std::string>{"テスト\tFoo.Application", "あ\tBar.Application"}));
    EXPECT_EQ(EncodeTargetCadText(*file), "テスト\tFoo.Application\r\nあ\tBar.Application\r\n");
}

TEST(TargetCadFile, DecodeEdgeCases) {
    using Lines = std::vector<std::string>;
    struct Row {
        const char* name;
        std::string bytes;
        bool decodes;
        Lines lines;
    };
    const Row rows[] = {
        {"empty file", "", true, {}},
        {"mark only", "\xFF\xFE", true, {}},
        {"no line end after the last line", "a\r\nb", true, {"a", "b"}},
        {"empty line kept", "a\n\r\nb\n", true, {"a", "", "b"}},
        {"lone CR stays in the line", "a\rb\r\n", true, {"a\rb"}},
        {"UTF-16LE cut in half a character", std::string("\xFF\xFEx\0y", 5), false, {}},
        {"UTF-16LE lone surrogate", std::string("\xFF\xFE\x00\xD8x\0", 6), false, {}},
        {"neither CP932 nor UTF-8", "\x80\r\n", false, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::optional<TTargetCadFile> file = DecodeTargetCadText(r.bytes);
        ASSERT_EQ(file.has_value(), r.decodes);
        if (file) {
            EXPECT_EQ(file->lines, r.lines);
        }
    }
}

TEST(TargetCadFile, WriteFailsWithoutLosingTheOldFile) {
    const testing::TempDir tmp;
    const std::filesystem::path path = tmp.Path() / kTargetCadFileName;
    WriteAll(path, "A\tA.App\r\n");

    // CP932 has no emoji: nothing is written rather than a "?" in its place.
    EXPECT_FALSE(WriteTargetCadFile(path, ListOf({"😀\tX.App"})));
    EXPECT_EQ(ReadAll(path), "A\tA.App\r\n");
    EXPECT_FALSE(std::filesystem::exists(tmp.Path() / (std::string(kTargetCadFileName) + ".tmp")));

    // A file whose lines could not be read is never replaced by a list that lacks them.
    WriteAll(path, "\x80\tunreadable\r\n");
    EXPECT_FALSE(WriteTargetCadFile(path, ListOf({"B\tB.App"})));
    EXPECT_EQ(ReadAll(path), "\x80\tunreadable\r\n");

    const std::filesystem::path plain = tmp.MakeFile("plain");  // no file can live below it
    EXPECT_FALSE(WriteTargetCadFile(plain / kTargetCadFileName, ListOf({"B\tB.App"})));
    EXPECT_FALSE(ReadTargetCadFile(tmp.Path() / "missing.txt"));
}

// --- Start-up lookup ----------------------------------------------------------------------------

TEST(TargetCadLookup, SetsTheCaptionsFromTheFirstMatchingLine) {
    using Lines = std::vector<std::string>;
    struct Row {
        const char* name;
        std::string progId;
        Lines lines;
        std::string caption;
        std::string groupCaption;
        std::string edit42;
    };
    const std::string app = kApplicationTitle;
    const Row rows[] = {
        {"default ProgID",
         kDefaultTargetProgID,
         {"Other\tAutoCAD.Application", "N\tBricscadApp.AcadApplication"},
         app + " [ N ]",
         "ターゲットCAD = N\t",
         "BricscadApp.AcadApplication"},
        // The settings file may hold the ProgID in another case; Edit42 shows the file's.
        {"letter case ignored",
         "bricscadapp.ACADAPPLICATION",
         {"  汎用 CAD \tBricscadApp.AcadApplication"},
         app + " [ 汎用 CAD ]",
         "ターゲットCAD =   汎用 CAD \t",
         "BricscadApp.AcadApplication"},
        // File order, not sorted order; and a match anywhere in the line counts.
        {"first in file order",
         "Foo.App",
         {"Z\tfoo.app.2", "A\tFOO.APP"},
         app + " [ Z ]",
         "ターゲットCAD = Z\t",
         "foo.app.2"},
        // Non-ASCII letters keep their bytes: upper-casing "ı" to "I" would shift the positions.
        {"non-ASCII name",
         "X.App",
         {"ａｂｃ é ß ı\tX.App"},
         app + " [ ａｂｃ é ß ı ]",
         "ターゲットCAD = ａｂｃ é ß ı\t",
         "X.App"},
        {"no match", "Foo.App", {"A\tBar.App"}, kDesignCaption, kGroupBox15Caption, ""},
        // An empty ProgID names no CAD; it must not match the first line at its start.
        {"empty ProgID", "", {"A\tBar.App"}, kDesignCaption, kGroupBox15Caption, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Form form;
        form.TargetProgID = r.progId;
        ApplyTargetCadLookup(r.lines, form);
        EXPECT_EQ(form.Caption, r.caption);
        EXPECT_EQ(form.GroupBox15Caption, r.groupCaption);
        EXPECT_EQ(form.Edit42, r.edit42);
        EXPECT_EQ(form.TargetProgID, r.progId);
    }
}

// The start-up lookup ignores case, the dialog's selection does not.
TEST(TargetCadLookup, LowerCaseProgIdSetsTheTitleButSelectsNothing) {
    const TTargetCadFile file =
        ListOf({"A\tAutoCAD.Application", "N\tBricscadApp.AcadApplication"});
    Form form;
    form.TargetProgID = "bricscadapp.acadapplication";
    ApplyTargetCadLookup(file.lines, form);
    EXPECT_EQ(form.Caption, std::string(kApplicationTitle) + " [ N ]");

    RecordingSaver saver;
    TargetCadDialog dialog(saver.Saver());
    dialog.FormShow(form.TargetProgID, file);
    EXPECT_EQ(dialog.ListBox1ItemIndex, -1);
    EXPECT_EQ(dialog.Edit1, "");
    EXPECT_EQ(dialog.Edit2, "");

    dialog.FormShow(kDefaultTargetProgID, file);
    EXPECT_EQ(dialog.ListBox1ItemIndex, 1);
    EXPECT_EQ(dialog.Edit1, "N");
    EXPECT_EQ(dialog.Edit2, "BricscadApp.AcadApplication");
    EXPECT_TRUE(saver.saves.empty());
}

// --- The dialog ---------------------------------------------------------------------------------

TEST(TargetCadDialog, FormShowSortsTheListLikeTheListBox) {
    RecordingSaver saver;
    TargetCadDialog dialog(saver.Saver());
    // Letters without regard to case, so "_" (0x5F) comes before "B" as before "b"; items equal
    // but for case in byte order ("B" < "b").
    dialog.FormShow("Y.App", ListOf({"c\tZ.App", "b\tY.App", "B\tX.App", "a\tW.App", "_\tV.App"}));
    EXPECT_EQ(dialog.ListBox1Items(), (std::vector<std::string>{"_\tV.App", "a\tW.App", "B\tX.App",
                                                                "b\tY.App", "c\tZ.App"}));
    EXPECT_EQ(dialog.ListBox1ItemIndex, 3);
    EXPECT_EQ(dialog.Edit1, "b");
}

TEST(TargetCadDialog, ListBox1ClickSplitsAtTheFirstTab) {
    struct Row {
        const char* item;
        const char* edit1;
        const char* edit2;
    };
    const Row rows[] = {
        {"Name\tP.App", "Name", "P.App"},
        {"no tab", "", "no tab"},
        {"a\tb\tc", "a", "b\tc"},
        {"\tP.App", "", "P.App"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.item);
        RecordingSaver saver;
        TargetCadDialog dialog(saver.Saver());
        dialog.FormShow("none", ListOf({r.item}));
        dialog.ListBox1ItemIndex = 0;
        dialog.ListBox1Click();
        EXPECT_EQ(dialog.Edit1, r.edit1);
        EXPECT_EQ(dialog.Edit2, r.edit2);
    }
}

TEST(TargetCadDialog, AddSelectsTheNewItemAndSavesInTheEncodingRead) {
    RecordingSaver saver;
    TargetCadDialog dialog(saver.Saver());
    dialog.FormShow("A.App", ListOf({"A\tA.App", "C\tC.App"}, TextEncoding::Utf16Le));
    dialog.Edit1 = "B";
    dialog.Edit2 = "B.App";
    EXPECT_TRUE(dialog.SpeedButton1Click());
    const std::vector<std::string> want = {"A\tA.App", "B\tB.App", "C\tC.App"};
    EXPECT_EQ(dialog.ListBox1Items(), want);
    EXPECT_EQ(dialog.ListBox1ItemIndex, 1);
    EXPECT_EQ(dialog.Edit1, "B");
    EXPECT_EQ(dialog.Edit2, "B.App");
    ASSERT_EQ(saver.saves.size(), 1u);
    EXPECT_EQ(saver.saves[0], ListOf(want, TextEncoding::Utf16Le));

    // The same line again is a second item, selected after its twin.
    EXPECT_TRUE(dialog.SpeedButton1Click());
    EXPECT_EQ(dialog.ListBox1Items().size(), 4u);
    EXPECT_EQ(dialog.ListBox1ItemIndex, 2);
    EXPECT_EQ(saver.saves.size(), 2u);
}

TEST(TargetCadDialog, DeleteSelectsTheNextItemOrElseThePreviousOne) {
    using Lines = std::vector<std::string>;
    struct Row {
        const char* name;
        Lines items;
        int deleted;
        Lines left;
        int selected;
        const char* edit1;
    };
    const Row rows[] = {
        // 3 items, delete i = 2: n = 2, 3 < 2 fails, i >= 1: item 1, the new last.
        {"last of three", {"a", "b", "c"}, 2, {"a", "b"}, 1, "b"},
        // i = 1: n = 2, 2 < 2 fails: item 0, the one before, not the one after.
        {"second of three", {"a", "b", "c"}, 1, {"a", "c"}, 0, "a"},
        {"first of three", {"a", "b", "c"}, 0, {"b", "c"}, 0, "b"},
        // i = 0: n = 1, 1 < 1 fails, i = 0: nothing, though one item is left.
        {"first of two", {"a", "b"}, 0, {"b"}, -1, ""},
        {"only item", {"a"}, 0, {}, -1, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Lines items;
        for (const std::string& s : r.items) items.push_back(s + "\t" + s + ".App");
        Lines left;
        for (const std::string& s : r.left) left.push_back(s + "\t" + s + ".App");

        RecordingSaver saver;
        TargetCadDialog dialog(saver.Saver());
        dialog.FormShow(r.items[static_cast<std::size_t>(r.deleted)] + ".App", ListOf(items));
        ASSERT_EQ(dialog.ListBox1ItemIndex, r.deleted);
        EXPECT_TRUE(dialog.SpeedButton2Click());
        EXPECT_EQ(dialog.ListBox1Items(), left);
        EXPECT_EQ(dialog.ListBox1ItemIndex, r.selected);
        EXPECT_EQ(dialog.Edit1, r.edit1);
        EXPECT_EQ(dialog.Edit2, r.selected < 0 ? "" : std::string(r.edit1) + ".App");
        ASSERT_EQ(saver.saves.size(), 1u);
        EXPECT_EQ(saver.saves[0].lines, left);
    }
}

TEST(TargetCadDialog, ChangeReplacesTheSelectedItemInItsSortedPlace) {
    RecordingSaver saver;
    TargetCadDialog dialog(saver.Saver());
    dialog.FormShow("A.App", ListOf({"A\tA.App", "B\tB.App", "C\tC.App"}));
    dialog.Edit1 = "D";
    dialog.Edit2 = "D.App";
    EXPECT_TRUE(dialog.SpeedButton3Click());
    const std::vector<std::string> want = {"B\tB.App", "C\tC.App", "D\tD.App"};
    EXPECT_EQ(dialog.ListBox1Items(), want);
    EXPECT_EQ(dialog.ListBox1ItemIndex, 2);
    ASSERT_EQ(saver.saves.size(), 1u);
    EXPECT_EQ(saver.saves[0].lines, want);

    // Enter in an edit field is swallowed and changes the item; other keys pass and save nothing.
    dialog.Edit1 = "E";
    dialog.Edit2 = "E.App";
    EXPECT_EQ(dialog.Edit1KeyPress(u'x'), (TTargetCadKeyResult{true, true}));
    EXPECT_EQ(saver.saves.size(), 1u);
    EXPECT_EQ(dialog.Edit1KeyPress(u'\r'), (TTargetCadKeyResult{false, true}));
    EXPECT_EQ(dialog.ListBox1Items().back(), "E\tE.App");
    EXPECT_EQ(saver.saves.size(), 2u);
}

// Without a selection 削除 and 変更 (and Enter) change nothing and save nothing.
TEST(TargetCadDialog, DeleteAndChangeWithoutSelectionDoNothing) {
    RecordingSaver saver;
    TargetCadDialog dialog(saver.Saver());
    const std::vector<std::string> items = {"A\tA.App", "B\tB.App"};
    dialog.FormShow("none", ListOf(items));
    dialog.Edit1 = "X";
    dialog.Edit2 = "X.App";
    for (int index : {-1, 2}) {
        SCOPED_TRACE(index);
        dialog.ListBox1ItemIndex = index;
        EXPECT_TRUE(dialog.SpeedButton2Click());
        EXPECT_TRUE(dialog.SpeedButton3Click());
        EXPECT_EQ(dialog.Edit1KeyPress(u'\r'), (TTargetCadKeyResult{false, true}));
        dialog.ListBox1Click();
        EXPECT_EQ(dialog.ListBox1Items(), items);
        EXPECT_EQ(dialog.Edit1, "X");
        EXPECT_EQ(dialog.Edit2, "X.App");
    }
    EXPECT_TRUE(saver.saves.empty());
}

// A failed save is reported; the list keeps the change so nothing typed is lost.
TEST(TargetCadDialog, SaveFailureIsReported) {
    RecordingSaver saver;
    saver.ok = false;
    TargetCadDialog dialog(saver.Saver());
    dialog.FormShow("A.App", ListOf({"A\tA.App", "B\tB.App"}));
    dialog.Edit1 = "C";
    dialog.Edit2 = "C.App";
    EXPECT_FALSE(dialog.SpeedButton1Click());
    EXPECT_EQ(dialog.ListBox1Items().size(), 3u);
    EXPECT_FALSE(dialog.SpeedButton3Click());
    EXPECT_EQ(dialog.Edit1KeyPress(u'\r'), (TTargetCadKeyResult{false, false}));
    EXPECT_FALSE(dialog.SpeedButton2Click());
    EXPECT_EQ(dialog.ListBox1Items().size(), 2u);
}

TEST(TargetCadDialog, OkTakesTheEditsIntoTheMainWindow) {
    RecordingSaver saver;
    TargetCadDialog dialog(saver.Saver());
    dialog.Edit1 = "汎用 CAD";
    dialog.Edit2 = "Acme.Application.3";
    Form form;
    dialog.Button1Click(form);
    EXPECT_EQ(form.Caption, std::string(kApplicationTitle) + " [ 汎用 CAD ]");
    EXPECT_EQ(form.TargetProgID, "Acme.Application.3");
    EXPECT_EQ(form.Edit42, "Acme.Application.3");
    EXPECT_EQ(form.GroupBox15Caption, "ターゲットCAD = 汎用 CAD");
}

// --- The dialog on the work folder's list file ------------------------------------------------

// A UTF-16LE list stays UTF-16LE with its mark after an edit.
TEST(TargetCadDialog, EditsKeepTheFilesEncoding) {
    const testing::TempDir tmp;
    const std::filesystem::path path = tmp.Path() / kTargetCadFileName;
    std::filesystem::copy_file(kDataDir / "utf16le_bom.txt", path);

    TargetCadDialog dialog(TargetCadFileSaver(path));
    dialog.FormShow(kDefaultTargetProgID, ReadTargetCadFile(path));
    EXPECT_EQ(dialog.Edit1, "汎用CAD ①");
    dialog.Edit1 = "新CAD";
    dialog.Edit2 = "New.Application";
    ASSERT_TRUE(dialog.SpeedButton1Click());

    const std::string bytes = ReadAll(path);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const std::optional<TTargetCadFile> file = ReadTargetCadFile(path);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->encoding, TextEncoding::Utf16Le);
    EXPECT_EQ(file->lines, dialog.ListBox1Items());
    EXPECT_EQ(file->lines.size(), 4u);
}

// Without a list file the dialog keeps the items of its last showing, and the first 追加
// creates the file in CP932.
TEST(TargetCadDialog, MissingFileKeepsTheListAndIsCreatedInCp932) {
    const testing::TempDir tmp;
    const std::filesystem::path path = tmp.Path() / kTargetCadFileName;

    TargetCadDialog dialog(TargetCadFileSaver(path));
    dialog.FormShow("B.App", ListOf({"A\tA.App", "B\tB.App"}, TextEncoding::Utf8Bom));
    ASSERT_EQ(dialog.ListBox1ItemIndex, 1);

    dialog.FormShow("A.App", ReadTargetCadFile(path));
    EXPECT_EQ(dialog.ListBox1Items(), (std::vector<std::string>{"A\tA.App", "B\tB.App"}));
    EXPECT_EQ(dialog.ListBox1ItemIndex, 0);
    EXPECT_EQ(dialog.Edit2, "A.App");

    dialog.Edit1 = "名前";
    dialog.Edit2 = "C.App";
    ASSERT_TRUE(dialog.SpeedButton1Click());
    EXPECT_EQ(ReadAll(path), "A\tA.App\r\nB\tB.App\r\n\x96\xBC\x91O\tC.App\r\n");
}

// A list file that cannot be read is shown as missing, and the dialog's saves leave it whole.
TEST(TargetCadDialog, UnreadableFileIsNeverOverwritten) {
    const testing::TempDir tmp;
    const std::filesystem::path path = tmp.Path() / kTargetCadFileName;
    const std::string bytes = "\x80\tsomething\r\n";
    WriteAll(path, bytes);

    TargetCadDialog dialog(TargetCadFileSaver(path));
    dialog.FormShow(kDefaultTargetProgID, ReadTargetCadFile(path));
    dialog.Edit1 = "A";
    dialog.Edit2 = "A.App";
    EXPECT_FALSE(dialog.SpeedButton1Click());
    EXPECT_EQ(ReadAll(path), bytes);
}

}  // namespace
}  // namespace zuka

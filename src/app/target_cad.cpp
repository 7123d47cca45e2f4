#include "app/target_cad.h"
#include "base/file_io.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>
#include <utility>

#include "app/key_filter.h"
#include "base/assert.h"
#include "base/text.h"

namespace zuka {

namespace {

// GroupBox15's caption once the target CAD is named; the name follows.
constexpr char kGroupBox15NamedPrefix[] = "ターゲットCAD = ";

constexpr std::string_view kLineEnd = "\r\n";

// The list box's order: ASCII letters without regard to case, then bytes, so that two items
// differing only in case still have a fixed order.
bool ItemLess(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(LowerAscii(a[i]));
        const auto cb = static_cast<unsigned char>(LowerAscii(b[i]));
        if (ca != cb) return ca < cb;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

bool ReadBytes(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return false;
    bytes = buffer.str();
    return true;
}

}  // namespace

std::optional<TTargetCadFile> DecodeTargetCadText(std::string_view bytes) {
    std::optional<TDecodedText> decoded = DecodeTextFile(bytes);
    if (!decoded) return std::nullopt;
    return TTargetCadFile{SplitLines(decoded->text), decoded->encoding};
}

std::optional<std::string> EncodeTargetCadText(const TTargetCadFile& file) {
    std::string text;
    for (const std::string& line : file.lines) {
        text += line;
        text += kLineEnd;
    }
    return EncodeTextFile(text, file.encoding);
}

std::optional<TTargetCadFile> ReadTargetCadFile(const std::filesystem::path& path) {
    try {
        std::string bytes;
        if (!ReadBytes(path, bytes)) return std::nullopt;
        return DecodeTargetCadText(bytes);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool WriteTargetCadFile(const std::filesystem::path& path, const TTargetCadFile& file) {
    try {
        const std::optional<std::string> bytes = EncodeTargetCadText(file);
        if (!bytes) return false;
        std::error_code ec;
        if (std::filesystem::exists(path, ec) && !ReadTargetCadFile(path)) return false;
        if (ec) return false;
        return WriteFileReplacing(path, *bytes);
    } catch (const std::exception&) {
        return false;
    }
}

void ApplyTargetCadLookup(const std::vector<std::string>& lines, Form& form) {
    if (form.TargetProgID.empty()) return;
    const std::string progId = UpperAscii(form.TargetProgID);
    for (const std::string& line : lines) {
        const std::size_t v = UpperAscii(line).find(progId);
        if (v == std::string::npos) continue;
        const std::string_view before = std::string_view(line).substr(0, v);
        form.Caption =
            std::string(kApplicationTitle) + " [ " + std::string(TrimBlanks(before)) + " ]";
        form.GroupBox15Caption = kGroupBox15NamedPrefix + std::string(before);
        form.Edit42 = line.substr(v);
        return;
    }
}

TargetCadSaver TargetCadFileSaver(std::filesystem::path path) {
    return [path = std::move(path)](const TTargetCadFile& file) {
        return WriteTargetCadFile(path, file);
    };
}

TargetCadDialog::TargetCadDialog(TargetCadSaver saver) : saver_(std::move(saver)) {
    ZUKA_ASSERT(saver_, "the target-CAD dialog needs somewhere to save its list");
}

void TargetCadDialog::FormShow(const std::string& targetProgID,
                               const std::optional<TTargetCadFile>& file) {
    if (file) {
        items_ = file->lines;
        std::stable_sort(items_.begin(), items_.end(), ItemLess);
        encoding_ = file->encoding;
        ListBox1ItemIndex = -1;
    } else {
        // No file: the next save creates one.
        encoding_ = TextEncoding::Cp932;
    }
    const std::string wanted = "\t" + targetProgID;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].find(wanted) != std::string::npos) {
            ListBox1ItemIndex = static_cast<int>(i);
            ListBox1Click();
            return;
        }
    }
}

void TargetCadDialog::ListBox1Click() {
    if (!HasSelection()) return;
    const std::string& item = items_[static_cast<std::size_t>(ListBox1ItemIndex)];
    const std::size_t tab = item.find('\t');
    if (tab == std::string::npos) {
        Edit1.clear();
        Edit2 = item;
    } else {
        Edit1 = item.substr(0, tab);
        Edit2 = item.substr(tab + 1);
    }
}

bool TargetCadDialog::SpeedButton1Click() {
    ListBox1ItemIndex = InsertSorted(Edit1 + "\t" + Edit2);
    ListBox1Click();
    return Save();
}

bool TargetCadDialog::SpeedButton2Click() {
    if (!HasSelection()) return true;
    const int i = ListBox1ItemIndex;
    items_.erase(items_.begin() + i);
    Edit1.clear();
    Edit2.clear();
    const int n = static_cast<int>(items_.size());
    if (i + 1 < n) {
        ListBox1ItemIndex = i;
    } else if (i >= 1) {
        ListBox1ItemIndex = i - 1;
    } else {
        ListBox1ItemIndex = -1;
    }
    ListBox1Click();
    return Save();
}

bool TargetCadDialog::SpeedButton3Click() {
    if (!HasSelection()) return true;
    items_.erase(items_.begin() + ListBox1ItemIndex);
    ListBox1ItemIndex = InsertSorted(Edit1 + "\t" + Edit2);
    return Save();
}

TTargetCadKeyResult TargetCadDialog::Edit1KeyPress(char16_t key) {
    if (key != kKeyEnter) return {};
    return {false, SpeedButton3Click()};
}

void TargetCadDialog::Button1Click(Form& form) const {
    form.Caption = std::string(kApplicationTitle) + " [ " + Edit1 + " ]";
    form.TargetProgID = Edit2;
    form.Edit42 = Edit2;
    form.GroupBox15Caption = kGroupBox15NamedPrefix + Edit1;
}

bool TargetCadDialog::HasSelection() const {
    return ListBox1ItemIndex >= 0 && ListBox1ItemIndex < static_cast<int>(items_.size());
}

int TargetCadDialog::InsertSorted(std::string item) {
    const auto at = std::upper_bound(items_.begin(), items_.end(), item, ItemLess);
    const auto inserted = items_.insert(at, std::move(item));
    return static_cast<int>(inserted - items_.begin());
}

bool TargetCadDialog::Save() const { return saver_(TTargetCadFile{items_, encoding_}); }

}  // namespace zuka

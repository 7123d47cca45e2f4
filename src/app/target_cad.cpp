#include "app/target_cad.h"
#include "base/file_io.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>
#include <utility>

#include "app/key_filter.h"
#include "base/assert.h"
#include "cad/encoding.h"

namespace zuka {

namespace {

// GroupBox15's caption once the target CAD is named; the name follows.
constexpr char kGroupBox15NamedPrefix[] = "ターゲットCAD = ";

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Upper-cases ASCII letters only: every byte keeps its place, whatever the UTF-8 text holds.
std::string AsciiUpperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = AsciiUpper(c);
    return out;
}

// Trims blanks, tabs and other control characters (bytes up to 0x20) at both ends; such bytes
// never occur inside a UTF-8 multibyte character.
std::string_view TrimBlanks(std::string_view s) {
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// Strict conversion through the system's converter: none when any character fails.
std::optional<std::string> ConvertStrict(std::string_view text, const char* fromCode,
                                         const char* toCode) {
    std::optional<TConvertedText> r = ConvertText(text, fromCode, toCode, "");
    if (!r || r->replaced > 0) return std::nullopt;
    return std::move(r->text);
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
    }
    return lines;
}

// The list box's order: ASCII letters without regard to case, then bytes, so that two items
// differing only in case still have a fixed order.
bool ItemLess(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(AsciiLower(a[i]));
        const auto cb = static_cast<unsigned char>(AsciiLower(b[i]));
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
    TTargetCadFile file;
    std::optional<std::string> text;
    if (StartsWith(bytes, kUtf8Bom)) {
        file.encoding = TextEncoding::Utf8Bom;
        text = std::string(bytes.substr(kUtf8Bom.size()));
    } else if (StartsWith(bytes, kUtf16LeBom)) {
        file.encoding = TextEncoding::Utf16Le;
        text = ConvertStrict(bytes.substr(kUtf16LeBom.size()), "UTF-16LE", "UTF-8");
    } else if (StartsWith(bytes, kUtf16BeBom)) {
        file.encoding = TextEncoding::Utf16Be;
        text = ConvertStrict(bytes.substr(kUtf16BeBom.size()), "UTF-16BE", "UTF-8");
    } else {
        file.encoding = TextEncoding::Cp932;
        text = Cp932ToUtf8(bytes);
        if (!text) {
            file.encoding = TextEncoding::Utf8;
            text = ConvertStrict(bytes, "UTF-8", "UTF-8");  // validates
        }
    }
    if (!text) return std::nullopt;
    file.lines = SplitLines(*text);
    return file;
}

std::optional<std::string> EncodeTargetCadText(const TTargetCadFile& file) {
    std::string text;
    for (const std::string& line : file.lines) {
        text += line;
        text += kLineEnd;
    }
    std::optional<std::string> body;
    std::string_view bom;
    switch (file.encoding) {
        case TextEncoding::Cp932:
            body = Utf8ToCp932(text);
            break;
        case TextEncoding::Utf8:
            body = std::move(text);
            break;
        case TextEncoding::Utf8Bom:
            bom = kUtf8Bom;
            body = std::move(text);
            break;
        case TextEncoding::Utf16Le:
            bom = kUtf16LeBom;
            body = ConvertStrict(text, "UTF-8", "UTF-16LE");
            break;
        case TextEncoding::Utf16Be:
            bom = kUtf16BeBom;
            body = ConvertStrict(text, "UTF-8", "UTF-16BE");
            break;
    }
    if (!body) return std::nullopt;
    return std::string(bom) + *body;
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
    const std::string progId = AsciiUpperCase(form.TargetProgID);
    for (const std::string& line : lines) {
        const std::size_t v = AsciiUpperCase(line).find(progId);
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

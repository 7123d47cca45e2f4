#include "cad/host/host_dxf_source.h"

#include <dl_codes.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>

#include "base/number.h"
#include "base/platform.h"
#include "cad/dxf_text.h"

namespace zuka {
namespace {

// Load errors; each names the file, and the line where it is known.
const std::string kCannotOpen = "図面ファイルを開けません: ";
const std::string kCannotRead = "図面ファイルを読めません: ";
const std::string kEmptyFile = "図面ファイルが空です: ";
const std::string kNotDxf = "DXF ファイルではありません: ";
const std::string kBinaryDxf = "バイナリ形式の DXF には対応していません: ";
const std::string kTruncated = "DXF ファイルが途中で終わっています: ";
const std::string kNoEof = "EOF がないまま終わっています";
const std::string kBadCode = "グループコードがありません";
const std::string kBadNumber = "数値が正しくありません (グループ ";
const std::string kNoValue = "グループの値がありません";
const std::string kLongLine = "行が長すぎます";
const std::string kNoSection = "SECTION で始まっていません";

// dxflib reads a line into a buffer of 1024 bytes: the text, CR LF and the string's terminator
// must fit, or the line is split in two.
constexpr std::size_t kMaxLine = DL_DXF_MAXLINE - 3;
static_assert(kMaxLine == kDxfMaxLineBytes, "the writers' line limit is the reader's");

std::string_view Trim(std::string_view s) { return TrimGroupValue(s); }

// Group codes whose values are numbers.
bool IsNumberCode(int c) {
    return (c >= 10 && c <= 99) || (c >= 110 && c <= 149) || (c >= 170 && c <= 179) ||
           (c >= 210 && c <= 239) || (c >= 270 && c <= 289) || (c >= 370 && c <= 389) ||
           (c >= 400 && c <= 409) || (c >= 1010 && c <= 1071);
}

bool EntityRunPart(const std::string& type) {
    return type == "VERTEX" || type == "ATTRIB";
}

// Entity runs of the records between two indices (a section's content).
void MarkRuns(std::vector<TDxfRecord>& records, int from, int to) {
    for (int i = from; i < to; ++i) {
        const std::string& t = records[i].type;
        if (t == "BLOCK" || t == "ENDBLK" || t == "SEQEND" || EntityRunPart(t)) continue;
        int j = i + 1;
        while (j < to && EntityRunPart(records[j].type)) ++j;
        if (j < to && records[j].type == "SEQEND" && (t == "POLYLINE" || t == "INSERT")) ++j;
        records[i].run = j - i;
    }
}

}  // namespace

const std::string kDxfReadStopped = "読み込みを中止しました";

std::string_view TrimGroupValue(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string DxfReadError(const std::string& file, const std::string& why) {
    return ReaderError(kCannotRead, file, std::nullopt, why);
}

std::uint64_t HandleValue(std::string_view handle) {
    handle = Trim(handle);
    if (handle.empty() || handle.size() > 16) return 0;
    std::uint64_t v = 0;
    for (char c : handle) {
        const int d = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                             : -1;
        if (d < 0) return 0;
        v = v * 16 + static_cast<std::uint64_t>(d);
    }
    return v;
}

std::string HandleText(std::uint64_t v) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string h;
    do {
        h.insert(h.begin(), kHex[v & 15]);
        v >>= 4;
    } while (v > 0);
    return h;
}

std::string_view TDxfSource::RecordBytes(int first, int count) const {
    const std::size_t from = records[first].begin;
    const std::size_t last = static_cast<std::size_t>(first + count);
    const std::size_t to = last < records.size() ? records[last].begin : end;
    return std::string_view(bytes).substr(from, to - from);
}

bool TDxfSource::Modern() const { return version.size() == 6 && version >= "AC1012"; }

bool TDxfSource::Utf8Text() const { return version.size() == 6 && version >= "AC1021"; }

const TDxfSectionInfo* TDxfSource::Section(std::string_view name) const {
    const auto it = sections.find(std::string(name));
    return it == sections.end() ? nullptr : &it->second;
}

const TDxfTableInfo* TDxfSource::Table(std::string_view name) const {
    const auto it = tables.find(std::string(name));
    return it == tables.end() ? nullptr : &it->second;
}

bool ReadDxfSource(const std::filesystem::path& path, TDxfSource& source, std::string& error,
                   const RunContext* stop) {
    const std::string file = PathToUtf8(path);
    std::ifstream in(path, std::ios::binary);
    if (!in || std::filesystem::is_directory(path)) {
        error = kCannotOpen + file;
        return false;
    }
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        error = kCannotRead + file;
        return false;
    }
    return ScanDxfSource(std::move(bytes), file, source, error, stop);
}

bool ScanDxfSource(std::string bytes, const std::string& file, TDxfSource& src,
                   std::string& error, const RunContext* stop) {
    StopPoll stopped(stop);
    src = TDxfSource{};
    src.bytes = std::move(bytes);
    const std::string_view all = src.bytes;
    if (all.substr(0, 18) == "AutoCAD Binary DXF") {
        error = kBinaryDxf + file;
        return false;
    }
    std::size_t pos = all.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    if (Trim(all.substr(pos)).find_first_not_of("\r\n") == std::string_view::npos) {
        error = kEmptyFile + file;
        return false;
    }
    const std::size_t firstNewline = all.find('\n');
    src.lineEnd = firstNewline != std::string_view::npos && firstNewline > 0 &&
                          all[firstNewline - 1] == '\r'
                      ? "\r\n"
                      : "\n";
    std::size_t lineNo = 0;
    const auto nextLine = [&](std::string_view& line, std::size_t& begin) {
        if (pos >= all.size()) return false;
        std::size_t end = all.find('\n', pos);
        if (end == std::string_view::npos) end = all.size();
        begin = pos;
        line = all.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = end + 1;
        ++lineNo;
        return true;
    };
    const auto fail = [&](const std::string& head, const std::string& what,
                          std::optional<std::string_view> shown = std::nullopt) {
        error = ReaderError(head, file, lineNo, what, shown);
        return false;
    };
    const auto tooLong = [&](std::string_view line) {
        return fail(kCannotRead,
                    kLongLine + " (" + std::to_string(line.size()) + " バイト, " +
                        std::to_string(kMaxLine) + " バイトまで)",
                    line);
    };

    bool seenSection = false;
    std::string section;   // the section whose records are being read
    std::string variable;  // the header variable whose value comes next
    std::string table;     // the table whose records are being read
    std::string blockRecordName;
    std::string blockRecordHandle;
    const auto closeBlockRecord = [&]() {
        if (!blockRecordName.empty() || !blockRecordHandle.empty())
            src.blockRecords[blockRecordName] = {static_cast<int>(src.records.size()) - 1,
                                                 blockRecordHandle};
        blockRecordName.clear();
        blockRecordHandle.clear();
    };
    std::string_view codeLine;
    std::string_view value;
    std::size_t codeBegin = 0;
    std::size_t valueBegin = 0;
    while (nextLine(codeLine, codeBegin)) {
        if (stopped()) {
            error = DxfReadError(file, kDxfReadStopped);
            return false;
        }
        if (codeLine.size() > kMaxLine) return tooLong(codeLine);
        const std::string_view t = Trim(codeLine);
        const std::optional<std::int64_t> code =
            t.empty() || t.find_first_not_of("-0123456789") != std::string_view::npos
                ? std::nullopt
                : ParseInteger(t);
        // A code beyond the int range is no group code (and must not wrap round to one).
        if (!code || *code < std::numeric_limits<int>::min() ||
            *code > std::numeric_limits<int>::max())
            return fail(seenSection ? kCannotRead : kNotDxf, kBadCode, t);
        if (!nextLine(value, valueBegin)) return fail(kTruncated, kNoValue);
        if (value.size() > kMaxLine) return tooLong(value);
        const int c = static_cast<int>(*code);
        const std::string_view v = Trim(value);
        if (!seenSection && c != 999) {
            if (c != 0 || v != "SECTION") return fail(kNotDxf, kNoSection, v);
            seenSection = true;
        }
        if (IsNumberCode(c) && !ParseDouble(v))
            return fail(kCannotRead, kBadNumber + std::to_string(c) + ")", v);
        const int index = static_cast<int>(src.records.size());
        if (c == 0) {
            const std::string type(v);
            if (!src.records.empty() && src.records.back().type == "BLOCK_RECORD")
                closeBlockRecord();
            src.records.push_back({codeBegin, type, 0});
            if (type == "ENDSEC" && !section.empty()) {
                src.sections[section].end = index;
                section.clear();
            } else if (type == "SECTION") {
                section.clear();
            } else if (type == "ENDTAB" && !table.empty()) {
                src.tables[table].end = index;
                table.clear();
            } else if (type == "EOF") {
                src.end = std::min(pos, all.size());
                for (const char* name : {"ENTITIES", "BLOCKS"})
                    if (const TDxfSectionInfo* sec = src.Section(name))
                        MarkRuns(src.records, sec->head + 1,
                                 sec->end < 0 ? index : sec->end);
                return true;
            }
            variable.clear();
            continue;
        }
        if (src.records.empty()) continue;  // a comment before the first section
        const std::string& type = src.records.back().type;
        const int rec = index - 1;
        if (type == "SECTION" && c == 2 && section.empty()) {
            section = v;
            src.sections[section].head = rec;
            continue;
        }
        if (section == "HEADER") {
            if (c == 9) {
                variable = v;
                continue;
            }
            if (variable == "$ACADVER") src.version = v;
            if (variable == "$DWGCODEPAGE") src.codePage = v;
            if (variable == "$INSUNITS") src.insUnits = v;
            if (variable == "$HANDSEED") {
                src.handseed = {valueBegin, valueBegin + value.size()};
                src.handseedValue = HandleValue(v);
            }
            variable.clear();
            continue;
        }
        if (c == 5 || c == 105) {
            src.maxHandle = std::max(src.maxHandle, HandleValue(v));
            src.handles = true;
        }
        if (section != "TABLES") continue;
        if (type == "TABLE") {
            if (c == 2 && table.empty()) {
                table = v;
                src.tables[table].head = rec;
            } else if (!table.empty() && c == 5) {
                src.tables[table].handle = v;
            } else if (!table.empty() && c == 70) {
                src.tables[table].count = {valueBegin, valueBegin + value.size()};
                const std::optional<double> d = ParseDouble(v);
                src.tables[table].countValue = d ? IntegerPart(*d).value_or(0) : 0;
            }
        } else if (type == "BLOCK_RECORD") {
            if (c == 2) {
                blockRecordName = v;
                for (char& ch : blockRecordName)
                    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
            }
            if (c == 5) blockRecordHandle = v;
        }
    }
    return fail(kTruncated, kNoEof);
}

}  // namespace zuka

// Inside the drawing host: a drawing file as it was read, record by record, so that saving
// writes every record no command touched back byte for byte.
//
// A record is a group 0 and the groups up to the next group 0 (a SECTION record holds the
// section's name, and the whole header). Entities of the ENTITIES and BLOCKS sections form
// runs: a POLYLINE with its VERTEX records and SEQEND, an INSERT with its ATTRIB records and
// SEQEND.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/run_context.h"

namespace zuka {

struct TDxfRecord {
    std::size_t begin = 0;  // offset of the group 0 code line in the file
    std::string type;       // the group 0 value ("LINE", "SECTION", "ENDTAB", ...)
    int run = 0;            // an entity: the records it spans; 0 for anything else
};

// Where a value line lies in the file.
struct TDxfSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool Found() const { return end > 0; }
};

struct TDxfSectionInfo {
    int head = -1;  // the SECTION record
    int end = -1;   // its ENDSEC record
};

struct TDxfTableInfo {
    int head = -1;  // the TABLE record
    int end = -1;   // its ENDTAB record
    std::string handle;
    TDxfSpan count;  // the value of group 70 of the TABLE record
    int countValue = 0;
};

struct TDxfSource {
    std::string bytes;                // the file as read
    std::vector<TDxfRecord> records;  // up to and including EOF
    std::size_t end = 0;              // just after the EOF record's value line and its line end
    std::string lineEnd = "\r\n";     // as the file ends its lines
    std::string version;              // $ACADVER as written; empty when the header has none
    std::string codePage;             // $DWGCODEPAGE as written; empty when none
    std::string insUnits;             // $INSUNITS as written; empty when none
    TDxfSpan handseed;                // the value of $HANDSEED
    std::uint64_t handseedValue = 0;
    std::uint64_t maxHandle = 0;  // the largest handle of any record
    bool handles = false;         // the records carry handles (group 5)
    std::map<std::string, TDxfSectionInfo> sections;  // by name: HEADER, TABLES, ...
    std::map<std::string, TDxfTableInfo> tables;      // by name: LAYER, LTYPE, BLOCK_RECORD, ...
    // BLOCK_RECORD table entries by upper-cased block name: record index and handle.
    std::map<std::string, std::pair<int, std::string>> blockRecords;

    // The bytes of record i with the runs it does not span, [begin of i, begin of i + 1).
    std::string_view RecordBytes(int first, int count = 1) const;
    // Versions from R13 (AC1012) on: subclass markers, owners, the OBJECTS section.
    bool Modern() const;
    // Version R2007 (AC1021) and later write their text in UTF-8.
    bool Utf8Text() const;
    const TDxfSectionInfo* Section(std::string_view name) const;
    const TDxfTableInfo* Table(std::string_view name) const;
};

// Reads a drawing file and splits it as ScanDxfSource does.
bool ReadDxfSource(const std::filesystem::path& path, TDxfSource& source, std::string& error,
                   const RunContext* stop = nullptr);

// The message of a file that could not be read for the reason `why`.
std::string DxfReadError(const std::string& file, const std::string& why);

// Splits the file into records and checks its shape: pairs of lines, an integer code on the
// first line of each, a number where the code wants one, the first group 0 SECTION and a group
// 0 EOF (what follows EOF is not read). Comments (999) may come before the first section.
// False with `error` naming the file and, where known, the line; false too when `stop` asks
// to stop.
bool ScanDxfSource(std::string bytes, const std::string& file, TDxfSource& source,
                   std::string& error, const RunContext* stop = nullptr);

// Why a reading that `stop` ended failed.
extern const std::string kDxfReadStopped;

// A group value without the blanks and tabs around it.
std::string_view TrimGroupValue(std::string_view s);

// A handle's value; 0 for a text that is no hexadecimal number.
std::uint64_t HandleValue(std::string_view handle);
std::string HandleText(std::uint64_t value);

}  // namespace zuka

#include "app/grid_export.h"

#include "base/file_io.h"

namespace zuka {
namespace {

std::string JoinRows(const TGridCells& cells, char separator,
                     std::string (*field)(const std::string&)) {
    std::string text;
    for (const std::vector<std::string>& row : cells) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0) text += separator;
            text += field(row[i]);
        }
        text += "\r\n";
    }
    return text;
}

std::string AsIs(const std::string& s) { return s; }

}  // namespace

std::string GridText(const TGridCells& cells) { return JoinRows(cells, '\t', AsIs); }

std::string CsvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char ch : s) {
        if (ch == '"') q += '"';
        q += ch;
    }
    return q + "\"";
}

std::string GridCsv(const TGridCells& cells) {
    // The headings go out without the blanks that indent them in the grid.
    TGridCells trimmed = cells;
    if (!trimmed.empty()) {
        for (std::string& h : trimmed[0]) h.erase(0, h.find_first_not_of(' '));
    }
    return JoinRows(trimmed, ',', CsvField);
}

bool SaveGridCsv(const std::filesystem::path& path, const TGridCells& cells) {
    return WriteFileReplacing(path, std::string(kUtf8Bom) + GridCsv(cells));
}

}  // namespace zuka

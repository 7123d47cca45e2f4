// The point grids (StringGrid1, StringGrid2) as text for other programs: the clipboard's
// tab-separated rows and CSV files. Row 0 is the headings row.
#pragma once

#include <filesystem>
#include <string>

#include "app/form.h"

namespace zuka {

// Cells joined by tabs, every row ended by "\r\n": what すべてをクリップボードにコピー copies.
std::string GridText(const TGridCells& cells);

// One CSV field: as it is, or in double quotes (quotes inside doubled) when it holds a comma,
// a quote or a line break.
std::string CsvField(const std::string& s);
// Fields joined by commas, every row ended by "\r\n"; the headings without their leading
// blanks.
std::string GridCsv(const TGridCells& cells);
// GridCsv into a file, after a UTF-8 byte-order mark so that spreadsheets set for Japanese
// read it as UTF-8; false (and no partial file) when it cannot be written.
bool SaveGridCsv(const std::filesystem::path& path, const TGridCells& cells);

}  // namespace zuka

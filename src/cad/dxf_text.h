// The DXF text list: the R12 ASCII pieces every drawing writes, the entity templates, the
// insertion command texts and saving a list to a file.
//
// A list holds one string per piece; a piece is one or more lines joined by CR LF. Saving puts
// CR LF after every string, the last one too. A group is a code line, the code right-aligned
// in three characters ("  0", " 10"), followed by its value line.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zuka {

using DxfList = std::vector<std::string>;

// File layout pieces, each one list string. The header names the code page the file is
// written in (CP932), so that any reader decodes its Japanese text; a list saved in UTF-8 leaves
// the code page out (see SaveDxfList).
inline constexpr std::string_view kDxfCodePage = "  9\r\n$DWGCODEPAGE\r\n  3\r\nANSI_932\r\n";
inline constexpr std::string_view kDxfHeader =
    "  0\r\nSECTION\r\n  2\r\nHEADER\r\n  9\r\n$ACADVER\r\n  1\r\nAC1009\r\n"
    "  9\r\n$DWGCODEPAGE\r\n  3\r\nANSI_932\r\n  0\r\nENDSEC";
inline constexpr std::string_view kDxfTablesStart =
    "  0\r\nSECTION\r\n  2\r\nTABLES\r\n  0\r\nTABLE";
inline constexpr std::string_view kDxfTablesEnd = "  0\r\nENDSEC";
inline constexpr std::string_view kDxfEntitiesStart = "  0\r\nSECTION\r\n  2\r\nENTITIES";
inline constexpr std::string_view kDxfFileEnd = "  0\r\nENDSEC\r\n  0\r\nEOF";

// Entity pieces that never vary.
inline constexpr std::string_view kDxfZero = "0.0";  // a fixed zero coordinate
inline constexpr std::string_view kDxfHidden2 = "  6\r\nHIDDEN2";
// POLYLINE: 66 vertices-follow flag and the dummy point's x.
inline constexpr std::string_view kDxfVerticesFollow = " 66\r\n     1\r\n 10\r\n0.0";
// POLYLINE: dummy point's y and the elevation of a flat polyline.
inline constexpr std::string_view kDxfFlatElevation = " 20\r\n0.0\r\n 30\r\n0.0";
inline constexpr std::string_view kDxfClosed = " 70\r\n     1";
inline constexpr std::string_view kDxfOpen = " 70\r\n     0";
inline constexpr std::string_view kDxfSeqEnd = "  0\r\nSEQEND";

// A group value as written: a number in the general form, an integer in decimal, or a text
// written unchanged (a height as typed, a value the caller formatted with fixed decimals).
// The default value is the fixed zero "0.0". Conversions are implicit so that templates read
// as the values they write.
class DxfValue {
public:
    DxfValue() : text_(kDxfZero) {}
    DxfValue(double v);
    DxfValue(int v);
    DxfValue(std::string text) : text_(std::move(text)) {}
    DxfValue(std::string_view text) : text_(text) {}
    DxfValue(const char* text) : text_(text) {}
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

// One group as one list string: DxfGroup(10, 1e-6) is " 10\r\n1E-6".
std::string DxfGroup(int code, const DxfValue& value);

// The first string of every entity: group 0 with the type and the code line of group 8
// followed by the layer name, e.g. "  0\r\nPOLYLINE\r\n  8\r\n" + layer.
std::string DxfEntityStart(std::string_view type, std::string_view layer);

// POLYLINE: dummy point's y and the elevation, " 20\r\n0.0\r\n 30\r\n" + elevation.
std::string DxfElevation(const DxfValue& elevation);

// Appends the linetype table with its one entry HIDDEN2 (pattern 4.7625: dash 3.175, gap
// 1.5875), six strings, no entry count.
void WriteLtypeHidden2(DxfList& dxf);

// Appends the start of a standard file: header; tables start, the linetype table, tables end;
// entities start.
void StartDxfFile(DxfList& dxf);

// Appends the start of a file without a tables section: header; entities start.
void StartDxfFileWithoutTables(DxfList& dxf);

// Appends the file end (end of the entities section and EOF).
void EndDxfFile(DxfList& dxf);

// The optional groups of a POLYLINE, in the order written: 6, 62, then the fixed groups.
struct TDxfPolyline {
    bool hidden = false;                  // 6 HIDDEN2
    std::optional<int> colour{};          // 62, colour index
    std::optional<DxfValue> elevation{};  // 30; none writes the flat "0.0"
    bool closed = true;                   // 70: 1 closed, 0 open
};

// The optional groups of a LINE, in the order written: 62, then 6.
struct TDxfLineStyle {
    std::optional<int> colour{};  // 62, e.g. 251
    bool hidden = false;          // 6 HIDDEN2
    bool zGroups = true;          // 30 and 31 as "0.0"; false writes plan coordinates only
};

struct TDxfPoint {
    DxfValue x;
    DxfValue y;
    DxfValue z;
};

// A TEXT without a style group (the CAD's default style applies). Groups in order:
// 10 20 30 insertion point, 40 height, 1 text, 41 width factor, then the optional 50
// rotation, 72 horizontal (0 left, 1 centre, 2 right), 73 vertical (0 baseline, 1 bottom,
// 2 middle, 3 top) and 11 21 31 alignment point.
struct TDxfText {
    TDxfPoint at;
    DxfValue height;
    std::string text;  // UTF-8; "%%d" is shown as a degree sign
    DxfValue widthFactor = 0.8;
    std::optional<DxfValue> rotationDeg{};
    std::optional<int> horizontal{};
    std::optional<int> vertical{};
    std::optional<TDxfPoint> alignPoint{};
};

// Appends entities to a list in the templates' usual order, one string per piece. A drawing
// whose order differs states it with Add, Start and Group.
class DxfWriter {
public:
    explicit DxfWriter(DxfList& dxf) : dxf_(dxf) {}

    DxfWriter& Add(std::string_view piece);
    DxfWriter& Start(std::string_view type, std::string_view layer);
    DxfWriter& Group(int code, const DxfValue& value);

    // POLYLINE head up to the 70 flag; vertices and SEQEND follow.
    DxfWriter& Polyline(std::string_view layer, const TDxfPolyline& p = {});
    // VERTEX: start, 10 x, 20 y, optional 42 bulge.
    DxfWriter& Vertex(std::string_view layer, const DxfValue& x, const DxfValue& y,
                      const std::optional<DxfValue>& bulge = std::nullopt);
    DxfWriter& SeqEnd();
    // LINE: start, optional 62, optional 6, 10 20 [30], 11 21 [31].
    DxfWriter& Line(std::string_view layer, const DxfValue& x1, const DxfValue& y1,
                    const DxfValue& x2, const DxfValue& y2, const TDxfLineStyle& style = {});
    // CIRCLE: start, 10 20 30 centre, 40 radius.
    DxfWriter& Circle(std::string_view layer, const TDxfPoint& centre, const DxfValue& radius);
    DxfWriter& Text(std::string_view layer, const TDxfText& t);

private:
    DxfList& dxf_;
};

// The longest line, in bytes without its line end, that every drawing the program writes may
// hold: the DXF reader it is built on (dxflib) reads a line into 1,024 bytes with its line end
// and terminator. A text longer than that once encoded cannot be written as one DXF line.
inline constexpr std::size_t kDxfMaxLineBytes = 1021;

// Why a value of `bytes` bytes (as written) cannot be one DXF line: "<what>が DXF の 1 行に
// 収まりません (<bytes> バイト, 1021 バイトまで): '<shown>'", `shown` the value as the user
// knows it (UTF-8, quoted and cut as messages quote values).
std::string DxfLineRefusal(std::string_view what, std::size_t bytes, std::string_view shown);

// How the saved file encodes its text. CP932 is Shift_JIS with the Windows extensions, the code
// page of the systems the drawings are made for.
enum class DxfEncoding { Cp932, Utf8 };

// Writes every string followed by CR LF (the last one too), no byte-order mark. In UTF-8 the
// header's code page group (kDxfCodePage) is left out: no code page name stands for UTF-8 in
// an R12 file, and readers take such a file by its bytes. The file is
// written beside `path` under a temporary name and renamed over `path`, so a failed save leaves
// any earlier file untouched and never a partial one. A character the encoding cannot hold is
// written as "?"; `replaced` (when given) receives how many were. False when the file could not
// be written or the code page converter is unavailable, and false (nothing written, `why`
// saying which text) when a line would be longer than kDxfMaxLineBytes once encoded.
bool SaveDxfList(const DxfList& dxf, const std::filesystem::path& path,
                 DxfEncoding enc = DxfEncoding::Cp932, std::size_t* replaced = nullptr,
                 std::string* why = nullptr);

// The ways a block is inserted with the "-INSERT" command. Exploded ones name the file with a
// star ("*path"); placed ones let the user pick the insertion point after the S and R options.
enum class InsertVariant {
    ExplodedOrigin,           // "-INSERT", "0,0 1 0": time-of-day diagram
    ExplodedOriginEqualTime,  // "-INsERT", "0,0 1 0": equal-time diagram
    ExplodedOriginBoundary,   // "-InSERT", "0,0" then "1 0": deemed boundary line
    ExplodedMapCentre,        // "-INSERt", "X,Y" then "1 0 " with no return: sky map parts
    ExplodedAtPoint,          // "X,Y", "1.0", R: sky map at a point, wall shadows on the wall
    BlockAtPoint,             // not exploded, "X,Y", "1.0 1.0", R: lasting wall-shadow block
    PlacedRotated,            // "S", "1.0", "R", R with 12 decimals: sky map placed by the user
    PlacedTable,              // "S", "1.0", "R", "0": triangle and position tables
    PlacedWall,               // "S", "1.0", "R", "0.0": wall shadows placed by the user
    PlacedWallBlock,          // the same text, the block kept: wall shadows as a lasting block
    PlacedBuiltBlock,         // block name, "S", "1.0", "R", "0.0": automation-built blocks
};

// The command text sent to the CAD: command word, CR, block source, CR, the answers, each
// followed by CR unless noted. `source` is the DXF file's path, or the block name for
// PlacedBuiltBlock. x, y (insertion point) and rotDeg are used only by the variants that
// answer them.
std::string InsertCommandText(InsertVariant variant, std::string_view source, double x = 0,
                              double y = 0, double rotDeg = 0);

}  // namespace zuka

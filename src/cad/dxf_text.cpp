#include "cad/dxf_text.h"
#include "base/file_io.h"

#include <fstream>
#include <system_error>

#include "base/encoding.h"
#include "base/number.h"

namespace zuka {
namespace {

// Linetype table with the one entry HIDDEN2 (72: alignment code 65 'A', 73: two elements).
constexpr std::string_view kLtypeHidden2[] = {
    "  2\r\nLTYPE",
    "  0\r\nLTYPE\r\n  2\r\nHIDDEN2\r\n 70\r\n     0",
    "  3\r\nHidden (.5x) _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _",
    " 72\r\n    65\r\n 73\r\n     2",
    " 40\r\n4.7625\r\n 49\r\n3.175\r\n 49\r\n-1.5875",
    "  0\r\nENDTAB",
};

// Group code line: the code right-aligned in three characters.
std::string CodeLine(int code) {
    std::string digits = FormatInt(code);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), ' ');
    return digits;
}

std::string Quoted(std::string_view text, bool exploded) {
    std::string out = exploded ? "\"*" : "\"";
    out += text;
    out += '"';
    return out;
}


}  // namespace

DxfValue::DxfValue(double v) : text_(FormatGeneral(v)) {}

DxfValue::DxfValue(int v) : text_(FormatInt(v)) {}

std::string DxfGroup(int code, const DxfValue& value) {
    return CodeLine(code) + "\r\n" + value.Text();
}

std::string DxfEntityStart(std::string_view type, std::string_view layer) {
    std::string out = "  0\r\n";
    out += type;
    out += "\r\n  8\r\n";
    out += layer;
    return out;
}

std::string DxfElevation(const DxfValue& elevation) {
    return " 20\r\n0.0\r\n 30\r\n" + elevation.Text();
}

void WriteLtypeHidden2(DxfList& dxf) {
    for (std::string_view piece : kLtypeHidden2) dxf.emplace_back(piece);
}

void StartDxfFile(DxfList& dxf) {
    dxf.emplace_back(kDxfHeader);
    dxf.emplace_back(kDxfTablesStart);
    WriteLtypeHidden2(dxf);
    dxf.emplace_back(kDxfTablesEnd);
    dxf.emplace_back(kDxfEntitiesStart);
}

void StartDxfFileWithoutTables(DxfList& dxf) {
    dxf.emplace_back(kDxfHeader);
    dxf.emplace_back(kDxfEntitiesStart);
}

void EndDxfFile(DxfList& dxf) { dxf.emplace_back(kDxfFileEnd); }

DxfWriter& DxfWriter::Add(std::string_view piece) {
    dxf_.emplace_back(piece);
    return *this;
}

DxfWriter& DxfWriter::Start(std::string_view type, std::string_view layer) {
    dxf_.push_back(DxfEntityStart(type, layer));
    return *this;
}

DxfWriter& DxfWriter::Group(int code, const DxfValue& value) {
    dxf_.push_back(DxfGroup(code, value));
    return *this;
}

DxfWriter& DxfWriter::Polyline(std::string_view layer, const TDxfPolyline& p) {
    Start("POLYLINE", layer);
    if (p.hidden) Add(kDxfHidden2);
    if (p.colour) Group(62, *p.colour);  // 62: colour index
    Add(kDxfVerticesFollow);
    Add(p.elevation ? DxfElevation(*p.elevation) : std::string(kDxfFlatElevation));
    return Add(p.closed ? kDxfClosed : kDxfOpen);
}

DxfWriter& DxfWriter::Vertex(std::string_view layer, const DxfValue& x, const DxfValue& y,
                             const std::optional<DxfValue>& bulge) {
    Start("VERTEX", layer).Group(10, x).Group(20, y);
    if (bulge) Group(42, *bulge);  // 42: bulge of the arc to the next vertex
    return *this;
}

DxfWriter& DxfWriter::SeqEnd() { return Add(kDxfSeqEnd); }

DxfWriter& DxfWriter::Line(std::string_view layer, const DxfValue& x1, const DxfValue& y1,
                           const DxfValue& x2, const DxfValue& y2, const TDxfLineStyle& style) {
    Start("LINE", layer);
    if (style.colour) Group(62, *style.colour);
    if (style.hidden) Add(kDxfHidden2);
    Group(10, x1).Group(20, y1);
    if (style.zGroups) Group(30, kDxfZero);
    Group(11, x2).Group(21, y2);
    if (style.zGroups) Group(31, kDxfZero);
    return *this;
}

DxfWriter& DxfWriter::Circle(std::string_view layer, const TDxfPoint& centre,
                             const DxfValue& radius) {
    Start("CIRCLE", layer).Group(10, centre.x).Group(20, centre.y).Group(30, centre.z);
    return Group(40, radius);
}

DxfWriter& DxfWriter::Text(std::string_view layer, const TDxfText& t) {
    Start("TEXT", layer).Group(10, t.at.x).Group(20, t.at.y).Group(30, t.at.z);
    Group(40, t.height).Group(1, t.text).Group(41, t.widthFactor);
    if (t.rotationDeg) Group(50, *t.rotationDeg);
    if (t.horizontal) Group(72, *t.horizontal);
    if (t.vertical) Group(73, *t.vertical);
    if (t.alignPoint)
        Group(11, t.alignPoint->x).Group(21, t.alignPoint->y).Group(31, t.alignPoint->z);
    return *this;
}

std::string DxfLineRefusal(std::string_view what, std::size_t bytes, std::string_view shown) {
    return std::string(what) + "が DXF の 1 行に収まりません (" + std::to_string(bytes) +
           " バイト, " + std::to_string(kDxfMaxLineBytes) + " バイトまで): " + QuotedValue(shown);
}

bool SaveDxfList(const DxfList& dxf, const std::filesystem::path& path, DxfEncoding enc,
                 std::size_t* replaced, std::string* why) {
    std::string text;
    std::size_t size = 0;
    for (const std::string& s : dxf) size += s.size() + 2;
    text.reserve(size);
    for (const std::string& s : dxf) {
        text += s;
        text += "\r\n";
    }
    if (enc == DxfEncoding::Utf8 && !dxf.empty() && dxf.front() == kDxfHeader) {
        const std::size_t at = text.find(kDxfCodePage);
        text.erase(at, kDxfCodePage.size());
    }
    // UTF-8 goes through the converter too, so that a malformed byte never reaches the file.
    const std::optional<TConvertedText> bytes = enc == DxfEncoding::Cp932
                                                    ? Utf8ToCp932Lossy(text)
                                                    : ConvertText(text, "UTF-8", "UTF-8", "?");
    if (!bytes) return false;
    if (replaced) *replaced = bytes->replaced;
    // Every line must read back; the encoding keeps the line ends, so the n-th line of the
    // bytes is the n-th line of the text.
    std::size_t line = 0;
    for (std::size_t at = 0; at < bytes->text.size(); ++line) {
        std::size_t end = bytes->text.find("\r\n", at);
        if (end == std::string::npos) end = bytes->text.size();
        if (end - at > kDxfMaxLineBytes) {
            if (why) {
                std::size_t from = 0;
                for (std::size_t k = 0; k < line; ++k) from = text.find("\r\n", from) + 2;
                *why = DxfLineRefusal(
                    "文字列", end - at,
                    std::string_view(text).substr(from, text.find("\r\n", from) - from));
            }
            return false;
        }
        at = end + 2;
    }
    return WriteFileReplacing(path, bytes->text);
}

std::string InsertCommandText(InsertVariant variant, std::string_view source, double x, double y,
                              double rotDeg) {
    const std::string xy = FormatGeneral(x) + "," + FormatGeneral(y);
    const std::string rot = FormatGeneral(rotDeg);
    const std::string exploded = Quoted(source, true);
    const std::string file = Quoted(source, false);
    switch (variant) {
        case InsertVariant::ExplodedOrigin:
            return "-INSERT\r" + exploded + "\r0,0 1 0\r";
        case InsertVariant::ExplodedOriginEqualTime:
            return "-INsERT\r" + exploded + "\r0,0 1 0\r";
        case InsertVariant::ExplodedOriginBoundary:
            return "-InSERT\r" + exploded + "\r0,0\r1 0\r";
        case InsertVariant::ExplodedMapCentre:
            return "-INSERt\r" + exploded + "\r" + xy + "\r1 0 ";
        case InsertVariant::ExplodedAtPoint:
            return "-INSERT\r" + exploded + "\r" + xy + "\r1.0\r" + rot + "\r";
        case InsertVariant::BlockAtPoint:
            return "-INSERT\r" + file + "\r" + xy + "\r1.0 1.0\r" + rot + "\r";
        case InsertVariant::PlacedRotated:
            return "-INSERT\r" + file + "\rS\r1.0\rR\r" + FormatFixed(rotDeg, 12) + "\r";
        case InsertVariant::PlacedTable:
            return "-INSERT\r" + file + "\rS\r1.0\rR\r0\r";
        case InsertVariant::PlacedWall:
        case InsertVariant::PlacedWallBlock:
            return "-INSERT\r" + file + "\rS\r1.0\rR\r0.0\r";
        case InsertVariant::PlacedBuiltBlock:
            return "-INSERT\r" + std::string(source) + "\rS\r1.0\rR\r0.0\r";
    }
    return {};
}

}  // namespace zuka

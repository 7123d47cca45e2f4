// Saving the host's drawing as DXF R2000 through dxflib's writer: header, tables (viewport,
// linetypes, layers, text styles, views, UCS, applications, dimension styles, block records),
// block definitions, model space and the objects a R2000 reader expects (the root dictionary,
// groups and the two layouts). Every record carries a handle and its owner's handle; entities
// keep the handles they have in the drawing, the file's own records get fresh handles above
// them.
#include <dl_writer_ascii.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

#include "base/number.h"
#include "cad/encoding.h"
#include "cad/host/host_state.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

const std::string kCannotWrite = "図面ファイルを書き込めません: ";

constexpr double kRadToDegree = 180 / kPi;

// dxflib's ASCII writer with reals in the program's number form (locale-free).
class HostWriter final : public DL_WriterA {
public:
    explicit HostWriter(const std::string& file) : DL_WriterA(file.c_str(), DL_Codes::AC1015) {}
    void dxfReal(int gc, double value) const override { dxfString(gc, FormatGeneral(value)); }
    void Point(int gc, TAcadPoint p) const { coord(gc, p.x, p.y, p.z); }
};

std::string Hex(std::uint64_t v) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string h;
    do {
        h.insert(h.begin(), kHex[v & 15]);
        v >>= 4;
    } while (v > 0);
    return h;
}

// UTF-8 to CP932; a character CP932 lacks is written as \U+XXXX (two escapes beyond U+FFFF),
// a malformed byte as "?".
std::string Encode(const std::string& s) {
    bool ascii = true;
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
    if (ascii) return s;
    if (std::optional<std::string> whole = Utf8ToCp932(s)) return *whole;
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        const std::string ch = s.substr(i, n);
        i += n;
        if (n == 1) {
            out += c < 0x80 ? ch : "?";
            continue;
        }
        if (std::optional<std::string> t = Utf8ToCp932(ch)) {
            out += *t;
            continue;
        }
        std::uint32_t cp = c & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
        for (std::size_t k = 1; k < ch.size(); ++k) cp = (cp << 6) | (ch[k] & 0x3F);
        const auto escape = [&out](std::uint32_t u) {
            std::string h = Hex(u);
            out += "\\U+" + std::string(4 - std::min<std::size_t>(4, h.size()), '0') + h;
        };
        if (cp >= 0x10000) {
            escape(0xD800 + ((cp - 0x10000) >> 10));
            escape(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            escape(cp);
        }
    }
    return out;
}

bool IsWorldNormal(TAcadPoint n) {
    return std::fabs(n.x) < 1e-12 && std::fabs(n.y) < 1e-12 && std::fabs(n.z - 1) < 1e-12;
}

class DrawingWriter {
public:
    DrawingWriter(const HostDrawing& drawing, HostWriter& w, TSaveReport& report)
        : drawing_(drawing), w_(w), report_(report), next_(drawing.HandleSeed()) {}

    void Write() {
        CollectNames();
        AllocateHandles();
        WriteHeader();
        WriteTables();
        WriteBlocks();
        w_.sectionEntities();
        for (const HostEntityPtr& e : drawing_.Model().Items())
            WriteEntity(e->Data(), modelRecord_);
        w_.sectionEnd();
        WriteObjects();
        w_.dxfEOF();
    }

private:
    std::string NewHandle() { return Hex(next_++); }

    bool Writable(const TEntityData& d) const {
        if (d.kind == EntKind::Other) return false;
        if (d.kind == EntKind::Insert && !drawing_.FindBlock(d.blockName)) return false;
        if ((d.kind == EntKind::LwPolyline || d.kind == EntKind::Polyline2d ||
             d.kind == EntKind::Polyline3d) &&
            d.vertices.empty())
            return false;
        return true;
    }

    // Layers referenced by entities but missing from the table are added, as a CAD does.
    void CollectNames() {
        layers_ = drawing_.Layers();
        const auto note = [this](const HostSpace& space) {
            for (const HostEntityPtr& e : space.Items()) {
                const TEntityData& d = e->Data();
                bool known = false;
                for (const TLayer& l : layers_) known = known || EqualsNoCase(l.name, d.layer);
                if (!known) layers_.push_back({d.layer, 7, "CONTINUOUS"});
            }
        };
        note(drawing_.Model());
        for (const HostSpacePtr& b : drawing_.BlockDefs()) note(*b);
    }

    void AllocateHandles() {
        // Vertices and sequence ends of the old-style polylines get handles as they are written;
        // the seed is counted first so that the header can name it.
        std::uint64_t vertexHandles = 0;
        const auto count = [&vertexHandles](const HostSpace& space) {
            for (const HostEntityPtr& e : space.Items())
                if (e->Data().kind == EntKind::Polyline2d || e->Data().kind == EntKind::Polyline3d)
                    vertexHandles += e->Data().vertices.size() + 1;
        };
        count(drawing_.Model());
        for (const HostSpacePtr& b : drawing_.BlockDefs()) count(*b);
        for (std::string* h : {&rootDict_, &groupDict_, &layoutDict_, &modelLayout_, &paperLayout_,
                               &modelRecord_, &paperRecord_})
            *h = NewHandle();
        for (std::size_t i = 0; i < drawing_.BlockDefs().size(); ++i)
            blockRecords_.push_back(NewHandle());
        const std::uint64_t tables = 9;
        const std::uint64_t records =
            1 + drawing_.Linetypes().size() + layers_.size() + drawing_.Styles().size() + 2;
        const std::uint64_t blockEnds = 2 * (2 + drawing_.BlockDefs().size());
        seed_ = next_ + tables + records + blockEnds + vertexHandles;
    }

    void Var(const char* name) const { w_.dxfString(9, name); }

    template <typename T>
    const T* Variable(const char* name) const {
        const auto it = drawing_.Variables().find(name);
        return it == drawing_.Variables().end() ? nullptr : std::get_if<T>(&it->second);
    }

    void WriteHeader() {
        w_.sectionHeader();
        Var("$ACADVER");
        w_.dxfString(1, "AC1015");
        Var("$DWGCODEPAGE");
        w_.dxfString(3, "ANSI_932");
        Var("$INSBASE");
        const TAcadPoint* base = Variable<TAcadPoint>("INSBASE");
        w_.Point(10, base ? *base : TAcadPoint{});
        for (const char* name : {"DIMSCALE", "LTSCALE", "TEXTSIZE"}) {
            if (const double* v = Variable<double>(name)) {
                Var(("$" + std::string(name)).c_str());
                w_.dxfReal(40, *v);
            }
        }
        if (const std::string* layer = Variable<std::string>("CLAYER")) {
            Var("$CLAYER");
            w_.dxfString(8, Encode(*layer));
        }
        Var("$HANDSEED");
        w_.dxfString(5, Hex(seed_));
        w_.sectionEnd();
    }

    std::string BeginTable(const char* name, std::size_t count) {
        const std::string h = NewHandle();
        w_.dxfString(0, "TABLE");
        w_.dxfString(2, name);
        w_.dxfString(5, h);
        w_.dxfString(330, "0");
        w_.dxfString(100, "AcDbSymbolTable");
        w_.dxfInt(70, static_cast<int>(count));
        return h;
    }

    void BeginRecord(const char* type, const std::string& table, const char* subclass,
                     int handleCode = 5) {
        w_.dxfString(0, type);
        w_.dxfString(handleCode, NewHandle());
        w_.dxfString(330, table);
        w_.dxfString(100, "AcDbSymbolTableRecord");
        w_.dxfString(100, subclass);
    }

    bool LinetypeKnown(const std::string& name) const {
        return drawing_.FindLinetype(name) != nullptr;
    }

    void WriteTables() {
        w_.sectionTables();

        std::string t = BeginTable("VPORT", 1);
        BeginRecord("VPORT", t, "AcDbViewportTableRecord");
        WriteViewport();
        w_.tableEnd();

        t = BeginTable("LTYPE", drawing_.Linetypes().size());
        for (const TLinetype& lt : drawing_.Linetypes()) {
            BeginRecord("LTYPE", t, "AcDbLinetypeTableRecord");
            w_.dxfString(2, Encode(lt.name));
            w_.dxfInt(70, 0);
            w_.dxfString(3, Encode(lt.description));
            w_.dxfInt(72, 65);
            w_.dxfInt(73, static_cast<int>(lt.dashes.size()));
            double total = 0;
            for (double dash : lt.dashes) total += std::fabs(dash);
            w_.dxfReal(40, total);
            for (double dash : lt.dashes) {
                w_.dxfReal(49, dash);
                w_.dxfInt(74, 0);
            }
        }
        w_.tableEnd();

        t = BeginTable("LAYER", layers_.size());
        for (const TLayer& l : layers_) {
            BeginRecord("LAYER", t, "AcDbLayerTableRecord");
            w_.dxfString(2, Encode(l.name));
            w_.dxfInt(70, 0);
            w_.dxfInt(62, l.color == 0 ? 7 : l.color);
            w_.dxfString(6, Encode(LinetypeKnown(l.linetype) ? l.linetype : "CONTINUOUS"));
        }
        w_.tableEnd();

        t = BeginTable("STYLE", drawing_.Styles().size());
        for (const TTextStyle& s : drawing_.Styles()) {
            BeginRecord("STYLE", t, "AcDbTextStyleTableRecord");
            w_.dxfString(2, Encode(s.name));
            w_.dxfInt(70, s.flags);
            w_.dxfReal(40, s.height);
            w_.dxfReal(41, s.widthFactor);
            w_.dxfReal(50, 0);
            w_.dxfInt(71, 0);
            w_.dxfReal(42, 2.5);
            w_.dxfString(3, Encode(s.font));
            w_.dxfString(4, Encode(s.bigFont));
        }
        w_.tableEnd();

        BeginTable("VIEW", 0);
        w_.tableEnd();
        BeginTable("UCS", 0);
        w_.tableEnd();

        t = BeginTable("APPID", 1);
        BeginRecord("APPID", t, "AcDbRegAppTableRecord");
        w_.dxfString(2, "ACAD");
        w_.dxfInt(70, 0);
        w_.tableEnd();

        t = BeginTable("DIMSTYLE", 1);
        w_.dxfString(100, "AcDbDimStyleTable");
        BeginRecord("DIMSTYLE", t, "AcDbDimStyleTableRecord", 105);
        w_.dxfString(2, "Standard");
        w_.dxfInt(70, 0);
        w_.tableEnd();

        t = BeginTable("BLOCK_RECORD", 2 + drawing_.BlockDefs().size());
        WriteBlockRecord(t, modelRecord_, "*Model_Space", modelLayout_);
        WriteBlockRecord(t, paperRecord_, "*Paper_Space", paperLayout_);
        for (std::size_t i = 0; i < drawing_.BlockDefs().size(); ++i)
            WriteBlockRecord(t, blockRecords_[i], drawing_.BlockDefs()[i]->BlockName(), "0");
        w_.tableEnd();

        w_.sectionEnd();
    }

    // The active viewport shows the extents of model space.
    void WriteViewport() {
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        bool any = false;
        for (const HostEntityPtr& e : drawing_.Model().Items())
            for (const std::vector<TAcadPoint>& line : OutlineOf(e->Data(), drawing_))
                for (const TAcadPoint& p : line) {
                    if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
                    x1 = any ? std::min(x1, p.x) : p.x;
                    y1 = any ? std::min(y1, p.y) : p.y;
                    x2 = any ? std::max(x2, p.x) : p.x;
                    y2 = any ? std::max(y2, p.y) : p.y;
                    any = true;
                }
        const double height = any ? std::max({y2 - y1, (x2 - x1) / 1.5, 1.0}) * 1.1 : 1000;
        w_.dxfString(2, "*Active");
        w_.dxfInt(70, 0);
        w_.Point(10, {0, 0, 0});
        w_.dxfReal(11, 1);
        w_.dxfReal(21, 1);
        w_.dxfReal(12, (x1 + x2) / 2);
        w_.dxfReal(22, (y1 + y2) / 2);
        w_.dxfReal(40, height);
        w_.dxfReal(41, 1.5);
    }

    void WriteBlockRecord(const std::string& table, const std::string& handle,
                          const std::string& name, const std::string& layout) {
        w_.dxfString(0, "BLOCK_RECORD");
        w_.dxfString(5, handle);
        w_.dxfString(330, table);
        w_.dxfString(100, "AcDbSymbolTableRecord");
        w_.dxfString(100, "AcDbBlockTableRecord");
        w_.dxfString(2, Encode(name));
        w_.dxfString(340, layout);
    }

    void WriteBlockBegin(const std::string& record, const std::string& name, TAcadPoint base,
                         bool paper) {
        w_.dxfString(0, "BLOCK");
        w_.dxfString(5, NewHandle());
        w_.dxfString(330, record);
        w_.dxfString(100, "AcDbEntity");
        if (paper) w_.dxfInt(67, 1);
        w_.dxfString(8, "0");
        w_.dxfString(100, "AcDbBlockBegin");
        w_.dxfString(2, Encode(name));
        w_.dxfInt(70, 0);
        w_.Point(10, base);
        w_.dxfString(3, Encode(name));
        w_.dxfString(1, "");
    }

    void WriteBlockEnd(const std::string& record, bool paper) {
        w_.dxfString(0, "ENDBLK");
        w_.dxfString(5, NewHandle());
        w_.dxfString(330, record);
        w_.dxfString(100, "AcDbEntity");
        if (paper) w_.dxfInt(67, 1);
        w_.dxfString(8, "0");
        w_.dxfString(100, "AcDbBlockEnd");
    }

    void WriteBlocks() {
        w_.sectionBlocks();
        WriteBlockBegin(modelRecord_, "*Model_Space", {}, false);
        WriteBlockEnd(modelRecord_, false);
        WriteBlockBegin(paperRecord_, "*Paper_Space", {}, true);
        WriteBlockEnd(paperRecord_, true);
        for (std::size_t i = 0; i < drawing_.BlockDefs().size(); ++i) {
            const HostSpace& b = *drawing_.BlockDefs()[i];
            WriteBlockBegin(blockRecords_[i], b.BlockName(), b.Base(), false);
            for (const HostEntityPtr& e : b.Items()) WriteEntity(e->Data(), blockRecords_[i]);
            WriteBlockEnd(blockRecords_[i], false);
        }
        w_.sectionEnd();
    }

    void WriteCommon(const TEntityData& d, const char* type, const std::string& handle,
                     const std::string& owner) {
        w_.dxfString(0, type);
        w_.dxfString(5, handle);
        w_.dxfString(330, owner);
        w_.dxfString(100, "AcDbEntity");
        w_.dxfString(8, Encode(d.layer));  // 8: layer name
        if (!d.linetype.empty() && !EqualsNoCase(d.linetype, "BYLAYER") &&
            LinetypeKnown(d.linetype))
            w_.dxfString(6, Encode(d.linetype));
        if (d.color != 256) w_.dxfInt(62, d.color);
    }

    void Thickness(const TEntityData& d) {
        if (d.thickness != 0) w_.dxfReal(39, d.thickness);
    }

    void Extrusion(const TEntityData& d) {
        if (!IsWorldNormal(d.normal)) w_.Point(210, d.normal);  // 210: extrusion direction
    }

    void WriteEntity(const TEntityData& d, const std::string& owner) {
        if (!Writable(d)) {
            ++report_.notSaved;
            return;
        }
        ++report_.entities;
        switch (d.kind) {
            case EntKind::Line:
                WriteCommon(d, "LINE", d.handle, owner);
                w_.dxfString(100, "AcDbLine");
                Thickness(d);
                w_.Point(10, d.p1);
                w_.Point(11, d.p2);
                Extrusion(d);
                break;
            case EntKind::Circle:
            case EntKind::Arc:
                WriteCommon(d, d.kind == EntKind::Arc ? "ARC" : "CIRCLE", d.handle, owner);
                w_.dxfString(100, "AcDbCircle");
                Thickness(d);
                w_.Point(10, d.p1);
                w_.dxfReal(40, d.radius);
                Extrusion(d);
                if (d.kind == EntKind::Arc) {
                    w_.dxfString(100, "AcDbArc");
                    w_.dxfReal(50, d.start * kRadToDegree);  // 50, 51: degrees
                    w_.dxfReal(51, d.end * kRadToDegree);
                }
                break;
            case EntKind::Ellipse:
                WriteCommon(d, "ELLIPSE", d.handle, owner);
                w_.dxfString(100, "AcDbEllipse");
                w_.Point(10, d.p1);
                w_.Point(11, d.p2);
                w_.Point(210, d.normal);
                w_.dxfReal(40, d.ratio);
                w_.dxfReal(41, d.start);
                w_.dxfReal(42, d.end);
                break;
            case EntKind::LwPolyline:
                WriteCommon(d, "LWPOLYLINE", d.handle, owner);
                w_.dxfString(100, "AcDbPolyline");
                w_.dxfInt(90, static_cast<int>(d.vertices.size()));
                w_.dxfInt(70, d.closed ? 1 : 0);
                if (d.elevation != 0) w_.dxfReal(38, d.elevation);
                Thickness(d);
                for (std::size_t i = 0; i < d.vertices.size(); ++i) {
                    w_.dxfReal(10, d.vertices[i].x);
                    w_.dxfReal(20, d.vertices[i].y);
                    const double bulge = i < d.bulges.size() ? d.bulges[i] : 0;
                    if (bulge != 0) w_.dxfReal(42, bulge);
                }
                Extrusion(d);
                break;
            case EntKind::Polyline2d:
            case EntKind::Polyline3d:
                WritePolyline(d, owner);
                break;
            case EntKind::Text:
                WriteCommon(d, "TEXT", d.handle, owner);
                w_.dxfString(100, "AcDbText");
                Thickness(d);
                w_.Point(10, d.p1);
                w_.dxfReal(40, d.height);
                w_.dxfString(1, Encode(d.text));
                if (d.rotation != 0) w_.dxfReal(50, d.rotation * kRadToDegree);
                if (d.widthFactor != 1) w_.dxfReal(41, d.widthFactor);
                for (const TTextStyle& s : drawing_.Styles())
                    if (EqualsNoCase(s.name, d.style) && !EqualsNoCase(d.style, "STANDARD"))
                        w_.dxfString(7, Encode(s.name));
                if (d.hAlign != 0) w_.dxfInt(72, d.hAlign);
                if (d.hAlign != 0 || d.vAlign != 0) w_.Point(11, d.p2);
                Extrusion(d);
                w_.dxfString(100, "AcDbText");
                if (d.vAlign != 0) w_.dxfInt(73, d.vAlign);
                break;
            case EntKind::Insert:
                WriteCommon(d, "INSERT", d.handle, owner);
                w_.dxfString(100, "AcDbBlockReference");
                w_.dxfString(2, Encode(drawing_.FindBlock(d.blockName)->BlockName()));
                w_.Point(10, d.p1);
                if (d.scale.x != 1) w_.dxfReal(41, d.scale.x);
                if (d.scale.y != 1) w_.dxfReal(42, d.scale.y);
                if (d.scale.z != 1) w_.dxfReal(43, d.scale.z);
                if (d.rotation != 0) w_.dxfReal(50, d.rotation * kRadToDegree);
                Extrusion(d);
                break;
            case EntKind::Other:
                break;
        }
    }

    void WritePolyline(const TEntityData& d, const std::string& owner) {
        const bool is3d = d.kind == EntKind::Polyline3d;
        WriteCommon(d, "POLYLINE", d.handle, owner);
        w_.dxfString(100, is3d ? "AcDb3dPolyline" : "AcDb2dPolyline");
        w_.dxfInt(66, 1);  // vertices follow
        w_.Point(10, {0, 0, is3d ? 0 : d.elevation});
        if (!is3d) Thickness(d);
        w_.dxfInt(70, (d.closed ? 1 : 0) | (is3d ? 8 : 0));
        if (!is3d) Extrusion(d);
        for (std::size_t i = 0; i < d.vertices.size(); ++i) {
            TEntityData v;
            v.layer = d.layer;
            WriteCommon(v, "VERTEX", NewHandle(), d.handle);
            w_.dxfString(100, "AcDbVertex");
            w_.dxfString(100, is3d ? "AcDb3dPolylineVertex" : "AcDb2dVertex");
            const TAcadPoint p = d.vertices[i];
            w_.Point(10, {p.x, p.y, is3d ? p.z : d.elevation});
            const double bulge = i < d.bulges.size() ? d.bulges[i] : 0;
            if (!is3d && bulge != 0) w_.dxfReal(42, bulge);
            w_.dxfInt(70, is3d ? 32 : 0);
        }
        TEntityData end;
        end.layer = d.layer;
        WriteCommon(end, "SEQEND", NewHandle(), d.handle);
    }

    void WriteDictionary(const std::string& handle, const std::string& owner,
                         const std::vector<std::pair<std::string, std::string>>& entries) {
        w_.dxfString(0, "DICTIONARY");
        w_.dxfString(5, handle);
        w_.dxfString(330, owner);
        w_.dxfString(100, "AcDbDictionary");
        w_.dxfInt(281, 1);
        for (const auto& [name, target] : entries) {
            w_.dxfString(3, name);
            w_.dxfString(350, target);
        }
    }

    void WriteLayout(const std::string& handle, const char* name, int order,
                     const std::string& record) {
        w_.dxfString(0, "LAYOUT");
        w_.dxfString(5, handle);
        w_.dxfString(330, layoutDict_);
        w_.dxfString(100, "AcDbPlotSettings");
        w_.dxfString(1, "");
        w_.dxfString(2, "none_device");
        w_.dxfString(4, "");
        w_.dxfString(6, "");
        for (int code = 40; code <= 49; ++code) w_.dxfReal(code, 0);
        w_.dxfReal(140, 0);
        w_.dxfReal(141, 0);
        w_.dxfReal(142, 1);
        w_.dxfReal(143, 1);
        w_.dxfInt(70, 688);
        w_.dxfInt(72, 0);
        w_.dxfInt(73, 0);
        w_.dxfInt(74, 5);
        w_.dxfString(7, "");
        w_.dxfInt(75, 16);
        w_.dxfReal(147, 1);
        w_.dxfReal(148, 0);
        w_.dxfReal(149, 0);
        w_.dxfString(100, "AcDbLayout");
        w_.dxfString(1, name);
        w_.dxfInt(70, 1);
        w_.dxfInt(71, order);
        w_.dxfReal(10, 0);
        w_.dxfReal(20, 0);
        w_.dxfReal(11, 420);
        w_.dxfReal(21, 297);
        w_.Point(12, {0, 0, 0});
        w_.Point(14, {0, 0, 0});
        w_.Point(15, {0, 0, 0});
        w_.dxfReal(146, 0);
        w_.Point(13, {0, 0, 0});
        w_.Point(16, {1, 0, 0});
        w_.Point(17, {0, 1, 0});
        w_.dxfInt(76, 0);
        w_.dxfString(330, record);
    }

    void WriteObjects() {
        w_.sectionObjects();
        WriteDictionary(rootDict_, "0", {{"ACAD_GROUP", groupDict_}, {"ACAD_LAYOUT", layoutDict_}});
        WriteDictionary(groupDict_, rootDict_, {});
        WriteDictionary(layoutDict_, rootDict_,
                        {{"Layout1", paperLayout_}, {"Model", modelLayout_}});
        WriteLayout(modelLayout_, "Model", 0, modelRecord_);
        WriteLayout(paperLayout_, "Layout1", 1, paperRecord_);
        w_.sectionEnd();
    }

    const HostDrawing& drawing_;
    HostWriter& w_;
    TSaveReport& report_;
    std::uint64_t next_;
    std::uint64_t seed_ = 0;
    std::vector<TLayer> layers_;
    std::string rootDict_, groupDict_, layoutDict_, modelLayout_, paperLayout_;
    std::string modelRecord_, paperRecord_;
    std::vector<std::string> blockRecords_;
};

bool EndsWithEof(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t at = bytes.rfind("EOF");
    return at != std::string::npos && bytes.find_first_not_of("\r\n", at + 3) == std::string::npos;
}

}  // namespace

bool WriteDxfDrawing(const HostDrawing& drawing, const std::filesystem::path& path,
                     std::string& error, TSaveReport& report) {
    namespace fs = std::filesystem;
    report = TSaveReport{};
    fs::path temp = path;
    temp += ".zuka-tmp";
    std::error_code ec;
    {
        HostWriter w(temp.string());
        if (w.openFailed()) {
            error = kCannotWrite + path.string();
            return false;
        }
        try {
            DrawingWriter(drawing, w, report).Write();
        } catch (const std::exception& e) {
            w.close();
            fs::remove(temp, ec);
            error = kCannotWrite + path.string() + " (" + e.what() + ")";
            return false;
        }
        w.close();
    }
    if (!EndsWithEof(temp)) {
        fs::remove(temp, ec);
        error = kCannotWrite + path.string();
        return false;
    }
    fs::rename(temp, path, ec);
    if (ec) {
        fs::remove(temp, ec);
        error = kCannotWrite + path.string();
        return false;
    }
    return true;
}

}  // namespace zuka

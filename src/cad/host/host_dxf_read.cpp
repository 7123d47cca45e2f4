// Reading a DXF drawing into the host: a first pass splits the file into records (see
// host_dxf_source.h) and finds the header variables that decide the text code page and the
// units; then dxflib reads the records. dxflib passes every group to processCodeValuePair
// before it reports the entity the group ends, so the loader keeps the raw groups of each
// entity, takes from them what dxflib does not pass on (handle, thickness, extrusion,
// elevation, paper space flag, the text values as they are in the file) and ties each entity
// to its record, which saving writes back unchanged unless a command changed the entity.
#include <dl_creationadapter.h>
#include <dl_dxf.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <locale>
#include <sstream>
#include <unordered_map>

#include "base/encoding.h"
#include "base/number.h"
#include "base/platform.h"
#include "base/text.h"
#include "cad/host/host_dxf_source.h"
#include "cad/host/host_geometry.h"
#include "cad/host/host_state.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

const std::string kOutOfStep = "レコードの区切りを読み違えました";
const std::string kBadUnits = "図面の単位に対応していません ($INSUNITS = ";
const std::string kMeshType = "POLYLINE (mesh)";

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr double kDegToRad = kPi / 180;

using TGroups = std::vector<std::pair<int, std::string>>;

std::string_view Trim(std::string_view s) { return TrimGroupValue(s); }

// Millimetres per drawing unit of each $INSUNITS value; 0 (no unit) is taken as millimetres.
std::optional<double> MillimetresPerUnit(int insUnits) {
    static const double kMm[] = {
        1,                  // 0 unitless
        25.4,               // 1 inches
        304.8,              // 2 feet
        1609344,            // 3 miles
        1,                  // 4 millimetres
        10,                 // 5 centimetres
        1000,               // 6 metres
        1e6,                // 7 kilometres
        25.4e-6,            // 8 microinches
        0.0254,             // 9 mils
        914.4,              // 10 yards
        1e-7,               // 11 angstroms
        1e-6,               // 12 nanometres
        1e-3,               // 13 microns
        100,                // 14 decimetres
        1e4,                // 15 decametres
        1e5,                // 16 hectometres
        1e12,               // 17 gigametres
        1.495978707e14,     // 18 astronomical units
        9.4607304725808e18, // 19 light years
        3.0856775814913673e19,  // 20 parsecs
        1200.0 / 3937 * 1000,   // 21 US survey feet
    };
    if (insUnits < 0 || insUnits >= static_cast<int>(std::size(kMm))) return std::nullopt;
    return kMm[insUnits];
}

bool ConverterExists(const std::string& code) {
    return ConvertText("", code.c_str(), "UTF-8", kReplacement).has_value();
}

// The code page of the file's text; see drawing_host.h.
std::string ChooseCodePage(const TDxfSource& src, std::string_view bytes) {
    const std::string ver = UpperAscii(src.version);
    if (ver.size() == 6 && ver.compare(0, 2, "AC") == 0 && ver >= "AC1021") return "UTF-8";
    const std::string cp = UpperAscii(src.codePage);
    if (cp == "UTF8" || cp == "UTF-8") return "UTF-8";
    if (cp.compare(0, 5, "ANSI_") == 0 || cp.compare(0, 3, "DOS") == 0) {
        const std::string name = "CP" + cp.substr(cp[0] == 'A' ? 5 : 3);
        if (ConverterExists(name)) return name;
    }
    return !IsValidUtf8(bytes) && Cp932ToUtf8(bytes) ? "CP932" : "UTF-8";
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::optional<std::uint32_t> Hex4(std::string_view s, std::size_t at) {
    if (at + 4 > s.size()) return std::nullopt;
    std::uint32_t v = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
        const char c = s[i];
        const int d = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                             : -1;
        if (d < 0) return std::nullopt;
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    return v;
}

// \U+XXXX (UTF-16 units, a surrogate pair as two escapes) and \M+nXXXX (the two bytes of a
// character of code page n: 1 Japanese, 2 traditional Chinese, 3 Korean, 4 Korean Johab,
// 5 simplified Chinese) to UTF-8.
std::string DecodeEscapes(std::string_view s) {
    static const char* const kMultiByte[] = {"CP932", "BIG5", "CP949", "JOHAB", "CP936"};
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] == '\\' && s.compare(i, 3, "\\U+") == 0) {
            if (std::optional<std::uint32_t> u = Hex4(s, i + 3)) {
                std::uint32_t cp = *u;
                i += 7;
                if (cp >= 0xD800 && cp <= 0xDBFF && s.compare(i, 3, "\\U+") == 0) {
                    const std::optional<std::uint32_t> low = Hex4(s, i + 3);
                    if (low && *low >= 0xDC00 && *low <= 0xDFFF) {
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
                        i += 7;
                    }
                }
                AppendUtf8(out, cp >= 0xD800 && cp <= 0xDFFF ? 0xFFFD : cp);
                continue;
            }
        }
        if (s[i] == '\\' && s.compare(i, 3, "\\M+") == 0 && i + 8 <= s.size() && s[i + 3] >= '1' &&
            s[i + 3] <= '5') {
            if (std::optional<std::uint32_t> m = Hex4(s, i + 4)) {
                const char bytes[2] = {static_cast<char>(*m >> 8), static_cast<char>(*m & 0xFF)};
                const std::optional<TConvertedText> t = ConvertText(
                    std::string_view(bytes, 2), kMultiByte[s[i + 3] - '1'], "UTF-8", kReplacement);
                if (t) {
                    out += t->text;
                    i += 8;
                    continue;
                }
            }
        }
        out += s[i++];
    }
    return out;
}

class TextDecoder {
public:
    explicit TextDecoder(std::string codePage)
        : codePage_(std::move(codePage)), utf8_(codePage_ == "UTF-8") {}

    std::string Decode(const std::string& raw) {
        bool ascii = true;
        for (char c : raw)
            if (static_cast<unsigned char>(c) >= 0x80) {
                ascii = false;
                break;
            }
        std::string s;
        if (ascii || (utf8_ && IsValidUtf8(raw))) {
            s = raw;
        } else {
            const std::optional<TConvertedText> t =
                ConvertText(raw, utf8_ ? "UTF-8" : codePage_.c_str(), "UTF-8", kReplacement);
            s = t ? t->text : raw;
            if (t) replaced_ += t->replaced;
        }
        return s.find('\\') == std::string::npos ? s : DecodeEscapes(s);
    }

    // Names repeat (layers, linetypes, blocks): decoded once each.
    const std::string& DecodeName(const std::string& raw) {
        auto it = names_.find(raw);
        if (it == names_.end()) it = names_.emplace(raw, Decode(raw)).first;
        return it->second;
    }

    std::size_t Replaced() const { return replaced_; }

private:
    std::string codePage_;
    bool utf8_;
    std::size_t replaced_ = 0;
    std::unordered_map<std::string, std::string> names_;
};

const std::string* FindGroup(const TGroups& g, int code) {
    for (const auto& [c, v] : g)
        if (c == code) return &v;
    return nullptr;
}

double RealOf(const TGroups& g, int code, double def) {
    const std::string* v = FindGroup(g, code);
    if (!v) return def;
    const std::optional<double> d = ParseDouble(*v);
    return d ? *d : def;
}

// An integer group; a value beyond the int range counts as absent.
int IntOf(const TGroups& g, int code, int def) {
    return IntegerPart(RealOf(g, code, def)).value_or(def);
}

// The C locale for the process while it lives (dxflib reads numbers by the global locale).
struct ClassicLocale {
    std::locale old = std::locale::global(std::locale::classic());
    ~ClassicLocale() { std::locale::global(old); }
};

// Entity types that can hold a building's shape but that the acquisition does not read.
bool CanHoldBuilding(const std::string& type) {
    static const char* const kTypes[] = {
        "3DFACE",          "SOLID",          "TRACE",           "3DSOLID",
        "REGION",          "BODY",           "MESH",            "SURFACE",
        "PLANESURFACE",    "EXTRUDEDSURFACE", "LOFTEDSURFACE",  "REVOLVEDSURFACE",
        "SWEPTSURFACE",    "NURBSURFACE",    "SPLINE",          "MLINE",
        "ACAD_PROXY_ENTITY"};
    for (const char* t : kTypes)
        if (type == t) return true;
    return false;
}

std::string TypeOf(const TGroups& g) {
    return g.empty() ? std::string() : std::string(Trim(g.front().second));
}

class DxfLoader final : public DL_CreationAdapter {
public:
    DxfLoader(HostDrawing& drawing, const TDxfSource& source, TextDecoder& decoder,
              TLoadReport& report, const RunContext* stop)
        : stop_(stop),
          drawing_(drawing),
          source_(source),
          decoder_(decoder),
          report_(report),
          scale_(drawing.UnitScale()) {}

    // Every group 0 starts the next record of the first pass; a type that differs would tie
    // entities to the wrong records.
    void processCodeValuePair(unsigned int code, const std::string& value) override {
        if (stop_()) throw std::runtime_error(kDxfReadStopped);
        if (afterEof_) return;
        if (code == 0 && record_ >= 0 && source_.records[record_].type == "EOF") {
            afterEof_ = true;  // what follows EOF is no part of the drawing
            return;
        }
        if (code == 0) {
            CloseObject();
            prev_.swap(cur_);
            cur_.clear();
            prevRecord_ = record_++;
            if (record_ >= static_cast<int>(source_.records.size()) ||
                source_.records[record_].type != Trim(value))
                throw std::runtime_error(kOutOfStep);
        }
        cur_.emplace_back(static_cast<int>(code), value);
        if (code == 2 && cur_.size() == 2 && Trim(cur_[0].second) == "SECTION")
            section_ = Trim(value);
    }

    void addLayer(const DL_LayerData& data) override {
        const std::string name = decoder_.DecodeName(data.name);
        const std::string* lt = FindGroup(prev_, 6);
        TLayer layer{name, IntOf(prev_, 62, 7), lt ? decoder_.DecodeName(*lt) : "CONTINUOUS"};
        drawing_.FileNames("LAYER").insert(UpperAscii(name));
        for (TLayer& l : drawing_.Layers())
            if (EqualsNoCase(l.name, name)) {
                l = layer;
                return;
            }
        drawing_.Layers().push_back(std::move(layer));
    }

    // dxflib reports the dashes of a linetype as it reads them, before the linetype itself.
    void addLinetypeDash(double length) override { dashes_.push_back(length); }

    void addLinetype(const DL_LinetypeData& data) override {
        TLinetype lt{decoder_.DecodeName(data.name), decoder_.Decode(data.description), {}};
        lt.dashes.swap(dashes_);
        drawing_.FileNames("LTYPE").insert(UpperAscii(lt.name));
        for (TLinetype& old : drawing_.Linetypes())
            if (EqualsNoCase(old.name, lt.name)) {
                old = std::move(lt);
                return;
            }
        drawing_.Linetypes().push_back(std::move(lt));
    }

    void addTextStyle(const DL_StyleData& data) override {
        TTextStyle style{decoder_.DecodeName(data.name),
                         decoder_.Decode(data.primaryFontFile),
                         decoder_.Decode(data.bigFontFile),
                         data.fixedTextHeight,
                         data.widthFactor > 0 ? data.widthFactor : 1,
                         data.flags};
        if (style.name.empty()) return;
        drawing_.FileNames("STYLE").insert(UpperAscii(style.name));
        for (TTextStyle& s : drawing_.Styles())
            if (EqualsNoCase(s.name, style.name)) {
                s = std::move(style);
                return;
            }
        drawing_.Styles().push_back(std::move(style));
    }

    void addBlock(const DL_BlockData& data) override {
        if (afterEof_) return;
        const std::string name = decoder_.DecodeName(data.name);
        const std::string upper = UpperAscii(name);
        paperBlock_ = false;
        if (upper.compare(0, 12, "*MODEL_SPACE") == 0 ||
            upper.compare(0, 12, "$MODEL_SPACE") == 0) {
            block_ = &drawing_.Model();
        } else if (upper.compare(0, 12, "*PAPER_SPACE") == 0 ||
                   upper.compare(0, 12, "$PAPER_SPACE") == 0) {
            block_ = nullptr;
            paperBlock_ = true;
        } else {
            const TAcadPoint base = {data.bpx, data.bpy, data.bpz};
            block_ = drawing_.AddBlock(name, ScaleVec(base, scale_)).get();
            block_->SetSourceRecord(prevRecord_);
            drawing_.FileBlocks()[prevRecord_] = upper;
        }
    }

    void endBlock() override {
        block_ = nullptr;
        paperBlock_ = false;
    }

    void addLine(const DL_LineData& data) override {
        TEntityData d = Common(prev_, EntKind::Line);
        d.p1 = {data.x1, data.y1, data.z1};
        d.p2 = {data.x2, data.y2, data.z2};
        Put(std::move(d), TargetFor(prev_), prevRecord_);
    }

    void addCircle(const DL_CircleData& data) override {
        TEntityData d = Common(prev_, EntKind::Circle);
        d.p1 = {data.cx, data.cy, data.cz};
        d.radius = data.radius;
        Put(std::move(d), TargetFor(prev_), prevRecord_);
    }

    void addArc(const DL_ArcData& data) override {
        TEntityData d = Common(prev_, EntKind::Arc);
        d.p1 = {data.cx, data.cy, data.cz};
        d.radius = data.radius;
        d.start = data.angle1 * kDegToRad;  // 50, 51: degrees
        d.end = data.angle2 * kDegToRad;
        Put(std::move(d), TargetFor(prev_), prevRecord_);
    }

    void addEllipse(const DL_EllipseData& data) override {
        TEntityData d = Common(prev_, EntKind::Ellipse);
        d.p1 = {data.cx, data.cy, data.cz};
        d.p2 = {data.mx, data.my, data.mz};  // 11: end of the major axis from the centre
        d.ratio = data.ratio;
        d.start = data.angle1;  // 41, 42: parameters in radians
        d.end = data.angle2;
        d.thickness = 0;
        Put(std::move(d), TargetFor(prev_), prevRecord_);
    }

    void addPolyline(const DL_PolylineData& data) override {
        FlushPolyline();
        const bool lw = TypeOf(prev_) == "LWPOLYLINE";
        const int flags = data.flags;
        pendingTarget_ = TargetFor(prev_);
        pendingRecord_ = prevRecord_;
        if (!lw && (flags & (16 | 64))) {  // polygon mesh, polyface mesh: kept without geometry
            TEntityData mesh = Common(prev_, EntKind::Other);
            mesh.typeName = "POLYLINE";
            mesh.flags = flags;
            if (pendingTarget_ && pendingTarget_->IsModel()) {
                ++report_.unsupported[kMeshType];
                ++report_.unusedGeometry[kMeshType];
            }
            Put(std::move(mesh), pendingTarget_, pendingRecord_);
            return;
        }
        const EntKind kind = lw            ? EntKind::LwPolyline
                             : (flags & 8) ? EntKind::Polyline3d
                                           : EntKind::Polyline2d;
        pending_ = Common(prev_, kind);
        pending_.closed = (flags & 1) != 0;
        pending_.elevation = lw ? RealOf(prev_, 38, 0) : RealOf(prev_, 30, 0);
        if (kind == EntKind::Polyline3d) {
            pending_.normal = {0, 0, 1};
            pending_.thickness = 0;
            pending_.elevation = 0;
        }
        havePending_ = true;
    }

    void addVertex(const DL_VertexData& data) override {
        if (!havePending_) return;
        const bool is3d = pending_.kind == EntKind::Polyline3d;
        // A control point of a spline-fitted polyline is not on the curve.
        if (pending_.kind != EntKind::LwPolyline && (IntOf(prev_, 70, 0) & 16)) return;
        pending_.vertices.push_back({data.x, data.y, is3d ? data.z : 0});
        pending_.bulges.push_back(is3d ? 0 : data.bulge);
    }

    void endEntity() override { FlushPolyline(); }
    void endSequence() override { FlushPolyline(); }

    void addText(const DL_TextData& data) override {
        TEntityData d = Common(prev_, EntKind::Text);
        d.p1 = {data.ipx, data.ipy, data.ipz};
        // 11: the alignment point, absent for left-aligned text (dxflib gives NaN then).
        d.p2 = std::isfinite(data.apx) && std::isfinite(data.apy)
                   ? TAcadPoint{data.apx, data.apy, std::isfinite(data.apz) ? data.apz : 0}
                   : d.p1;
        d.height = data.height;
        d.widthFactor = RealOf(prev_, 41, 1);
        d.hAlign = data.hJustification;
        d.vAlign = data.vJustification;
        const std::string* text = FindGroup(prev_, 1);
        d.text = text ? decoder_.Decode(*text) : std::string();
        const std::string* style = FindGroup(prev_, 7);
        if (style && !Trim(*style).empty()) d.style = decoder_.DecodeName(*style);
        d.rotation = RealOf(prev_, 50, 0) * kDegToRad;
        Put(std::move(d), TargetFor(prev_), prevRecord_);
    }

    void addInsert(const DL_InsertData& data) override {
        TEntityData d = Common(prev_, EntKind::Insert);
        d.blockName = decoder_.DecodeName(data.name);
        d.p1 = {data.ipx, data.ipy, data.ipz};
        d.scale = {data.sx, data.sy, data.sz};
        d.rotation = data.angle * kDegToRad;  // 50: degrees
        HostSpace* target = TargetFor(prev_);
        if (target && target->IsModel()) ++report_.unusedGeometry["INSERT"];
        Put(std::move(d), target, prevRecord_);
    }

    void setVariableDouble(const std::string& key, double value, int) override {
        SetVariable(key, value);
    }
    void setVariableInt(const std::string& key, int value, int) override {
        SetVariable(key, value);
    }
    void setVariableString(const std::string& key, const std::string& value, int) override {
        SetVariable(key, decoder_.Decode(value));
    }
    void setVariableVector(const std::string& key, double x, double y, double z, int) override {
        SetVariable(key, TAcadPoint{x, y, z});
    }

    // After the last group: the last polyline, and a current layer that exists.
    void Finish() {
        FlushPolyline();
        std::map<std::string, CadValue>& vars = drawing_.Variables();
        const std::string* layer = std::get_if<std::string>(&vars["CLAYER"]);
        if (!layer || !drawing_.FindLayer(*layer)) vars["CLAYER"] = std::string("0");
        if (TAcadPoint* base = std::get_if<TAcadPoint>(&vars["INSBASE"]))
            *base = ScaleVec(*base, scale_);
    }

private:
    // The object in cur_ ended. Entities dxflib does not report are kept without geometry.
    void CloseObject() {
        if (cur_.empty()) return;
        const std::string type = TypeOf(cur_);
        if (type == "ENDSEC") section_.clear();
        if (section_ != "ENTITIES" && section_ != "BLOCKS") return;
        static const char* const kReported[] = {
            "LINE",   "CIRCLE", "ARC",    "ELLIPSE", "LWPOLYLINE", "POLYLINE", "VERTEX",
            "SEQEND", "TEXT",   "INSERT", "BLOCK",   "ENDBLK",     "ENDSEC",   "SECTION"};
        for (const char* t : kReported)
            if (type == t) return;
        if (type == "ATTRIB") {
            ++report_.untouched["ATTRIB"];
            return;
        }
        HostSpace* target = TargetFor(cur_);
        if (!target) return;
        TEntityData d = Common(cur_, EntKind::Other);
        d.typeName = type;
        if (target->IsModel()) {
            ++report_.unsupported[type];
            if (CanHoldBuilding(type)) ++report_.unusedGeometry[type];
        }
        Put(std::move(d), target, record_);
    }

    HostSpace* TargetFor(const TGroups& g) {
        if (section_ == "ENTITIES") {
            if (IntOf(g, 67, 0) == 1) {
                ++report_.untouched["paper space"];
                return nullptr;
            }
            return &drawing_.Model();
        }
        if (section_ == "BLOCKS") {
            if (paperBlock_) ++report_.untouched["paper space"];
            return block_;
        }
        return nullptr;
    }

    TEntityData Common(const TGroups& g, EntKind kind) {
        TEntityData d;
        d.kind = kind;
        if (const std::string* h = FindGroup(g, 5)) d.handle = UpperAscii(Trim(*h));
        if (const std::string* l = FindGroup(g, 8))
            if (!Trim(*l).empty()) d.layer = decoder_.DecodeName(*l);
        if (const std::string* lt = FindGroup(g, 6)) {
            const std::string& name = decoder_.DecodeName(*lt);
            if (!EqualsNoCase(name, "BYLAYER")) d.linetype = name;
        }
        d.color = IntOf(g, 62, 256);
        d.thickness = RealOf(g, 39, 0);
        d.normal = {RealOf(g, 210, 0), RealOf(g, 220, 0), RealOf(g, 230, 1)};
        return d;
    }

    // The entity, in millimetres, tied to its first record.
    void Put(TEntityData d, HostSpace* target, int record) {
        if (!target || afterEof_) return;
        ScaleLengths(d, scale_);
        target->Append(std::move(d))->SetSourceRecord(record);
        drawing_.FileRecords().insert(record);
    }

    void FlushPolyline() {
        if (havePending_ && pendingTarget_ && !pending_.vertices.empty())
            Put(std::move(pending_), pendingTarget_, pendingRecord_);
        havePending_ = false;
        pending_ = TEntityData{};
    }

    template <typename T>
    void SetVariable(const std::string& key, T value) {
        if (key.size() < 2 || key[0] != '$') return;
        const auto it = drawing_.Variables().find(UpperAscii(key.substr(1)));
        if (it == drawing_.Variables().end()) return;
        // Keep the variable's kind: a header integer may be read into a real variable.
        if constexpr (std::is_arithmetic_v<T>) {
            if (std::holds_alternative<double>(it->second)) {
                it->second = static_cast<double>(value);
                return;
            }
            if (std::holds_alternative<int>(it->second)) {
                if (const std::optional<int> n = IntegerPart(static_cast<double>(value)))
                    it->second = *n;
                return;
            }
        } else {
            if (std::holds_alternative<T>(it->second)) it->second = std::move(value);
        }
    }

    StopPoll stop_;
    HostDrawing& drawing_;
    const TDxfSource& source_;
    TextDecoder& decoder_;
    TLoadReport& report_;
    double scale_;
    int record_ = -1;  // the record whose groups cur_ holds
    bool afterEof_ = false;
    int prevRecord_ = -1;
    int pendingRecord_ = -1;
    TGroups cur_;
    TGroups prev_;
    std::string section_;
    HostSpace* block_ = nullptr;
    bool paperBlock_ = false;
    std::vector<double> dashes_;
    TEntityData pending_;
    HostSpace* pendingTarget_ = nullptr;
    bool havePending_ = false;
};

}  // namespace

HostDrawingPtr ReadDxfDrawing(const std::filesystem::path& path, std::string& error,
                              TLoadReport& report, const RunContext* stop) {
    const std::string file = PathToUtf8(path);
    auto source = std::make_shared<TDxfSource>();
    if (!ReadDxfSource(path, *source, error, stop)) return nullptr;
    // No $INSUNITS is unit 0; one that is no number or beyond the int range is no unit.
    std::optional<int> insUnits = 0;
    if (!source->insUnits.empty()) {
        const std::optional<double> d = ParseDouble(source->insUnits);
        insUnits = d ? IntegerPart(*d) : std::nullopt;
    }
    const std::optional<double> mmPerUnit =
        insUnits ? MillimetresPerUnit(*insUnits) : std::nullopt;
    if (!mmPerUnit) {
        const std::string shown =
            insUnits ? std::to_string(*insUnits) : ShownValue(source->insUnits);
        error = DxfReadError(file, kBadUnits + shown + ")");
        return nullptr;
    }

    report = TLoadReport{};
    report.version = source->version;
    report.insUnits = *insUnits;
    report.unitScale = *mmPerUnit;
    report.codePage = ChooseCodePage(*source, source->bytes);
    TextDecoder decoder(report.codePage);
    HostDrawingPtr drawing = HostDrawing::Create(PathToUtf8(path.filename()));
    drawing->SetUnitScale(*mmPerUnit);
    // New text goes in the file's code page; a file that names none and holds only ASCII is
    // taken as the Japanese offices' CP932.
    const bool ascii = std::all_of(source->bytes.begin(), source->bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    drawing->SetTextCodePage(report.codePage == "UTF-8" && source->codePage.empty() &&
                                     !source->Utf8Text() && ascii
                                 ? "CP932"
                                 : report.codePage);
    // Handles the commands give start above every handle of the file.
    drawing->RaiseHandleSeed(std::max(source->maxHandle + 1, source->handseedValue));
    try {
        DxfLoader loader(*drawing, *source, decoder, report, stop);
        // dxflib reads the file again; the loader follows it up to EOF. Numbers in the C locale.
        // The file is opened here (by its wide name on Windows) and handed to dxflib as it
        // would open it itself; reading an empty stream first sets its reading state, which
        // only its readers set.
        const ClassicLocale classic;
        DL_Dxf dxf;
        std::istringstream nothing;
        dxf.in(nothing, &loader);
        const CFile fp(OpenFileForReading(path));
        if (!fp) {
            error = DxfReadError(file, kOutOfStep);
            return nullptr;
        }
        while (dxf.readDxfGroups(fp.get(), &loader)) {
        }
        loader.Finish();
    } catch (const std::exception& e) {
        error = DxfReadError(file, e.what());
        return nullptr;
    }
    drawing->SetSource(std::move(source));
    report.entities = drawing->Model().Items().size();
    report.replacedChars = decoder.Replaced();
    return drawing;
}

}  // namespace zuka

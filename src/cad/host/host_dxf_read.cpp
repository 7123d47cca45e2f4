// Reading a DXF drawing into the host: a first pass over the lines checks the file's shape
// (group code lines, numbers, the EOF mark) and finds the header variables that decide the
// text code page; then dxflib reads the drawing. dxflib passes every group to
// processCodeValuePair before it reports the entity the group ends, so the loader keeps the
// raw groups of each entity and takes from them what dxflib does not pass on (handle,
// thickness, extrusion, elevation, paper space flag, the text values as they are in the file).
#include <dl_creationadapter.h>
#include <dl_dxf.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unordered_map>

#include "base/number.h"
#include "cad/encoding.h"
#include "cad/host/host_state.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

// Load errors; each names the file, and the line where it is known.
const std::string kCannotOpen = "図面ファイルを開けません: ";
const std::string kCannotRead = "図面ファイルを読めません: ";
const std::string kEmptyFile = "図面ファイルが空です: ";
const std::string kNotDxf = "DXF ファイルではありません: ";
const std::string kBinaryDxf = "バイナリ形式の DXF には対応していません: ";
const std::string kTruncated = "DXF ファイルが途中で終わっています: ";
const std::string kNoEof = "行目の後に EOF がありません";
const std::string kLineNo = " 行目: ";
const std::string kBadCode = "グループコードがありません";
const std::string kBadNumber = "数値が正しくありません (グループ ";
const std::string kNoValue = "グループの値がありません";
const std::string kLongLine = "行が長すぎます";
const std::string kNoSection = "SECTION で始まっていません";

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr double kDegToRad = kPi / 180;
// dxflib reads a line into a buffer of DL_DXF_MAXLINE bytes: the text, CR LF and the string's
// terminator must fit, or the line is split in two.
constexpr std::size_t kMaxLine = DL_DXF_MAXLINE - 3;

using TGroups = std::vector<std::pair<int, std::string>>;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string Shown(std::string_view line) {
    std::string s(line.substr(0, 40));
    return "'" + s + (line.size() > 40 ? "...'" : "'");
}

// Group codes whose values are numbers.
bool IsNumberCode(int c) {
    return (c >= 10 && c <= 99) || (c >= 110 && c <= 149) || (c >= 170 && c <= 179) ||
           (c >= 210 && c <= 239) || (c >= 270 && c <= 289) || (c >= 370 && c <= 389) ||
           (c >= 400 && c <= 409) || (c >= 1010 && c <= 1071);
}

struct TDxfScan {
    std::string acadVer;
    std::string codePage;
};

// Checks the shape of the file: pairs of lines, an integer code on the first line of each,
// a number where the code wants one, the first group 0 SECTION and a group 0 EOF. Comments
// (999) may come before the first section. Finds $ACADVER and $DWGCODEPAGE on the way.
bool ScanDxf(std::string_view bytes, const std::string& file, TDxfScan& scan, std::string& error) {
    if (bytes.substr(0, 18) == "AutoCAD Binary DXF") {
        error = kBinaryDxf + file;
        return false;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    if (Trim(bytes).empty()) {
        error = kEmptyFile + file;
        return false;
    }
    std::size_t pos = 0;
    std::size_t lineNo = 0;
    const auto nextLine = [&](std::string_view& line) {
        if (pos >= bytes.size()) return false;
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string_view::npos) end = bytes.size();
        line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = end + 1;
        ++lineNo;
        return true;
    };
    const auto fail = [&](const std::string& head, const std::string& what) {
        error = head + file + " (" + std::to_string(lineNo) + kLineNo + what + ")";
        return false;
    };
    bool seenSection = false;
    std::string variable;
    std::string_view codeLine;
    std::string_view value;
    while (nextLine(codeLine)) {
        if (codeLine.size() > kMaxLine) return fail(kCannotRead, kLongLine);
        const std::string_view t = Trim(codeLine);
        const std::optional<std::int64_t> code =
            t.empty() || t.find_first_not_of("-0123456789") != std::string_view::npos
                ? std::nullopt
                : ParseInteger(t);
        if (!code) return fail(seenSection ? kCannotRead : kNotDxf, kBadCode + " " + Shown(t));
        if (!nextLine(value)) {
            error = kTruncated + file + " (" + std::to_string(lineNo) + kLineNo + kNoValue + ")";
            return false;
        }
        if (value.size() > kMaxLine) return fail(kCannotRead, kLongLine);
        const int c = static_cast<int>(*code);
        const std::string_view v = Trim(value);
        if (!seenSection && c != 999) {
            if (c != 0 || v != "SECTION") return fail(kNotDxf, kNoSection);
            seenSection = true;
        }
        if (IsNumberCode(c) && !ParseDouble(v))
            return fail(kCannotRead, kBadNumber + std::to_string(c) + ") " + Shown(v));
        if (c == 0 && v == "EOF") return true;
        if (c == 9) {
            variable = std::string(v);
        } else if (!variable.empty()) {
            if (variable == "$ACADVER") scan.acadVer = v;
            if (variable == "$DWGCODEPAGE") scan.codePage = v;
            variable.clear();
        }
    }
    error = kTruncated + file + " (" + std::to_string(lineNo) + kNoEof + ")";
    return false;
}

bool ValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        if (c < 0x80)
            n = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            n = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            n = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            n = 3;
        else
            return false;
        if (i + n >= s.size() && n > 0) return false;
        for (std::size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

bool ConverterExists(const std::string& code) {
    return ConvertText("", code.c_str(), "UTF-8", kReplacement).has_value();
}

// The code page of the file's text; see drawing_host.h.
std::string ChooseCodePage(const TDxfScan& scan, std::string_view bytes) {
    const std::string ver = UpperAscii(scan.acadVer);
    if (ver.size() == 6 && ver.compare(0, 2, "AC") == 0 && ver >= "AC1021") return "UTF-8";
    const std::string cp = UpperAscii(scan.codePage);
    if (cp == "UTF8" || cp == "UTF-8") return "UTF-8";
    if (cp.compare(0, 5, "ANSI_") == 0 || cp.compare(0, 3, "DOS") == 0) {
        const std::string name = "CP" + cp.substr(cp[0] == 'A' ? 5 : 3);
        if (ConverterExists(name)) return name;
    }
    return !ValidUtf8(bytes) && Cp932ToUtf8(bytes) ? "CP932" : "UTF-8";
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
        if (ascii || (utf8_ && ValidUtf8(raw))) {
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

int IntOf(const TGroups& g, int code, int def) { return static_cast<int>(RealOf(g, code, def)); }

std::string TypeOf(const TGroups& g) {
    return g.empty() ? std::string() : std::string(Trim(g.front().second));
}

class DxfLoader final : public DL_CreationAdapter {
public:
    DxfLoader(HostDrawing& drawing, TextDecoder& decoder, TLoadReport& report)
        : drawing_(drawing), decoder_(decoder), report_(report) {}

    void processCodeValuePair(unsigned int code, const std::string& value) override {
        if (code == 0) {
            CloseObject();
            prev_.swap(cur_);
            cur_.clear();
        }
        cur_.emplace_back(static_cast<int>(code), value);
        if (code == 2 && cur_.size() == 2 && Trim(cur_[0].second) == "SECTION")
            section_ = Trim(value);
    }

    void addLayer(const DL_LayerData& data) override {
        const std::string name = decoder_.DecodeName(data.name);
        const std::string* lt = FindGroup(prev_, 6);
        TLayer layer{name, IntOf(prev_, 62, 7), lt ? decoder_.DecodeName(*lt) : "CONTINUOUS"};
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
        for (TTextStyle& s : drawing_.Styles())
            if (EqualsNoCase(s.name, style.name)) {
                s = std::move(style);
                return;
            }
        drawing_.Styles().push_back(std::move(style));
    }

    void addBlock(const DL_BlockData& data) override {
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
            block_ = drawing_.AddBlock(name, {data.bpx, data.bpy, data.bpz}).get();
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
        Put(std::move(d), TargetFor(prev_));
    }

    void addCircle(const DL_CircleData& data) override {
        TEntityData d = Common(prev_, EntKind::Circle);
        d.p1 = {data.cx, data.cy, data.cz};
        d.radius = data.radius;
        Put(std::move(d), TargetFor(prev_));
    }

    void addArc(const DL_ArcData& data) override {
        TEntityData d = Common(prev_, EntKind::Arc);
        d.p1 = {data.cx, data.cy, data.cz};
        d.radius = data.radius;
        d.start = data.angle1 * kDegToRad;  // 50, 51: degrees
        d.end = data.angle2 * kDegToRad;
        Put(std::move(d), TargetFor(prev_));
    }

    void addEllipse(const DL_EllipseData& data) override {
        TEntityData d = Common(prev_, EntKind::Ellipse);
        d.p1 = {data.cx, data.cy, data.cz};
        d.p2 = {data.mx, data.my, data.mz};  // 11: end of the major axis from the centre
        d.ratio = data.ratio;
        d.start = data.angle1;  // 41, 42: parameters in radians
        d.end = data.angle2;
        d.thickness = 0;
        Put(std::move(d), TargetFor(prev_));
    }

    void addPolyline(const DL_PolylineData& data) override {
        FlushPolyline();
        const bool lw = TypeOf(prev_) == "LWPOLYLINE";
        const int flags = data.flags;
        pendingTarget_ = TargetFor(prev_);
        if (!lw && (flags & (16 | 64))) {  // polygon mesh, polyface mesh
            ++report_.dropped["POLYLINE (mesh)"];
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
        Put(std::move(d), TargetFor(prev_));
    }

    void addInsert(const DL_InsertData& data) override {
        TEntityData d = Common(prev_, EntKind::Insert);
        d.blockName = decoder_.DecodeName(data.name);
        d.p1 = {data.ipx, data.ipy, data.ipz};
        d.scale = {data.sx, data.sy, data.sz};
        d.rotation = data.angle * kDegToRad;  // 50: degrees
        Put(std::move(d), TargetFor(prev_));
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
            ++report_.dropped["ATTRIB"];
            return;
        }
        HostSpace* target = TargetFor(cur_);
        if (!target) return;
        TEntityData d = Common(cur_, EntKind::Other);
        d.typeName = type;
        if (target->IsModel()) ++report_.unsupported[type];
        target->Append(std::move(d));
    }

    HostSpace* TargetFor(const TGroups& g) {
        if (section_ == "ENTITIES") {
            if (IntOf(g, 67, 0) == 1) {
                ++report_.dropped["paper space"];
                return nullptr;
            }
            return &drawing_.Model();
        }
        if (section_ == "BLOCKS") {
            if (paperBlock_) ++report_.dropped["paper space"];
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

    void Put(TEntityData d, HostSpace* target) {
        if (target) target->Append(std::move(d));
    }

    void FlushPolyline() {
        if (havePending_ && pendingTarget_ && !pending_.vertices.empty())
            pendingTarget_->Append(std::move(pending_));
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
                it->second = static_cast<int>(value);
                return;
            }
        } else {
            if (std::holds_alternative<T>(it->second)) it->second = std::move(value);
        }
    }

    HostDrawing& drawing_;
    TextDecoder& decoder_;
    TLoadReport& report_;
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
                              TLoadReport& report) {
    const std::string file = path.string();
    std::ifstream in(path, std::ios::binary);
    if (!in || std::filesystem::is_directory(path)) {
        error = kCannotOpen + file;
        return nullptr;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        error = kCannotRead + file;
        return nullptr;
    }
    TDxfScan scan;
    if (!ScanDxf(bytes, file, scan, error)) return nullptr;

    report = TLoadReport{};
    report.codePage = ChooseCodePage(scan, bytes);
    TextDecoder decoder(report.codePage);
    HostDrawingPtr drawing = HostDrawing::Create(path.filename().string());
    try {
        DxfLoader loader(*drawing, decoder, report);
        DL_Dxf dxf;
        if (!dxf.in(file, &loader)) {
            error = kCannotOpen + file;
            return nullptr;
        }
        loader.Finish();
    } catch (const std::exception& e) {
        error = kCannotRead + file + " (" + e.what() + ")";
        return nullptr;
    }
    report.entities = drawing->Model().Items().size();
    report.replacedChars = decoder.Replaced();
    return drawing;
}

}  // namespace zuka

// Saving the host's drawing as DXF over the file it was read from (see host_dxf_source.h):
// every record no command touched is copied byte for byte, in the file's order; an entity a
// command changed is written anew in its place, one it erased is left out, and what the
// commands made goes at the end of its table, block or section. New records are written in the
// file's version: R12 without subclass markers or owners (and without handles when the file
// has none), R13 and later with handles, owners and subclass markers.
#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "base/encoding.h"
#include "base/file_io.h"
#include "base/number.h"
#include "base/platform.h"
#include "base/text.h"
#include "cad/dxf_text.h"
#include "cad/host/host_geometry.h"
#include "cad/host/host_state.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

const std::string kCannotWrite = "図面ファイルを書き込めません: ";
const std::string kEscapedHint = "; 図面のコードページ (";
const std::string kEscapedHint2 =
    ") にない文字は 1 文字 7 バイトの \\U+XXXX "
    "になります．文字列を短くするか、日本語のコードページ "
    "(ANSI_932) か R2007 以降の図面にしてください";

// Thrown out of the writer for a value that would not read back: the reason.
struct TLineTooLong {
    std::string why;
};
const std::string kSaveStopped = "保存を中止しました: ";

// Thrown out of the writer when the run asks to stop.
struct TSaveStopped {};

constexpr double kRadToDegree = 180 / kPi;

// A new drawing is saved over this one: R12 in CP932, empty sections; the writer adds the
// tables and entities the drawing holds.
constexpr std::string_view kEmptyDrawing =
    "  0\r\nSECTION\r\n  2\r\nHEADER\r\n"
    "  9\r\n$ACADVER\r\n  1\r\nAC1009\r\n  9\r\n$DWGCODEPAGE\r\n  3\r\nANSI_932\r\n"
    "  0\r\nENDSEC\r\n"
    "  0\r\nSECTION\r\n  2\r\nTABLES\r\n  0\r\nENDSEC\r\n"
    "  0\r\nSECTION\r\n  2\r\nBLOCKS\r\n  0\r\nENDSEC\r\n"
    "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nENDSEC\r\n"
    "  0\r\nEOF\r\n";

bool IsWorldNormal(TAcadPoint n) {
    return std::fabs(n.x) < 1e-12 && std::fabs(n.y) < 1e-12 && std::fabs(n.z - 1) < 1e-12;
}

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// UTF-8 to the file's code page; a character the code page lacks is written as \U+XXXX (two
// escapes beyond U+FFFF), a malformed byte as "?".
class TextEncoder {
public:
    explicit TextEncoder(std::string codePage) : codePage_(std::move(codePage)) {}
    const std::string& CodePage() const { return codePage_; }

    // Whether any text was written in bytes beyond ASCII, which a reader can only decode when
    // the header names the code page.
    bool WroteBeyondAscii() const { return beyondAscii_; }

    std::string Encode(const std::string& s) const {
        if (IsAscii(s)) return s;
        std::string out = EncodeBeyondAscii(s);
        beyondAscii_ = beyondAscii_ || !IsAscii(out);
        return out;
    }

private:
    std::string EncodeBeyondAscii(const std::string& s) const {
        const char* to = codePage_.c_str();
        if (const std::optional<TConvertedText> whole = ConvertText(s, "UTF-8", to, "");
            whole && whole->replaced == 0)
            return whole->text;
        std::string out;
        for (std::size_t i = 0; i < s.size();) {
            const TUtf8Char read = ReadUtf8Char(s, i);
            const std::string ch = s.substr(i, read.length);
            i += read.length;
            if (read.length == 1) {
                out += read.valid ? ch : "?";
                continue;
            }
            if (const std::optional<TConvertedText> t = ConvertText(ch, "UTF-8", to, "");
                t && t->replaced == 0 && !t->text.empty()) {
                out += t->text;
                continue;
            }
            const std::uint32_t cp = read.codePoint;
            const auto escape = [&out](std::uint32_t u) {
                const std::string h = HandleText(u);
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

    std::string codePage_;
    mutable bool beyondAscii_ = false;
};

// The groups of a changed entity's record that the host does not model but keeps: its
// application data (102 { ... }, such as the extension dictionary) and its XDATA (1000 and up).
struct TKeptGroups {
    std::vector<std::pair<int, std::string>> appData;
    std::vector<std::pair<int, std::string>> xdata;
    std::string owner;  // 330
    bool paper = false; // 67 = 1
};

TKeptGroups KeptGroupsOf(std::string_view record) {
    TKeptGroups kept;
    std::size_t pos = 0;
    const auto line = [&]() {
        std::size_t end = record.find('\n', pos);
        if (end == std::string_view::npos) end = record.size();
        std::string_view l = record.substr(pos, end - pos);
        pos = end + 1;
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        return l;
    };
    bool inAppData = false;
    bool first = true;
    while (pos < record.size()) {
        const std::string_view codeLine = TrimGroupValue(line());
        const std::string_view value = line();
        const std::optional<std::int64_t> code = ParseInteger(codeLine);
        if (!code || first) {
            first = false;
            continue;
        }
        const int c = static_cast<int>(*code);
        if (c == 102 || inAppData) {
            kept.appData.emplace_back(c, std::string(value));
            if (c == 102) inAppData = TrimGroupValue(value) != "}";
        } else if (c >= 1000) {
            kept.xdata.emplace_back(c, std::string(value));
        } else if (c == 330 && kept.owner.empty()) {
            kept.owner = TrimGroupValue(value);
        } else if (c == 67) {
            kept.paper = TrimGroupValue(value) == "1";
        }
    }
    return kept;
}

class DrawingWriter {
public:
    DrawingWriter(const HostDrawing& drawing, const TDxfSource& src, std::string codePage,
                  TSaveReport& report, const RunContext* stop)
        : stop_(stop),
          d_(drawing),
          src_(src),
          enc_(std::move(codePage)),
          report_(report),
          modern_(src.Modern()),
          handles_(src.Modern() || src.handles),
          toFile_(1 / drawing.UnitScale()),
          next_(std::max(drawing.HandleSeed(), src.maxHandle + 1)) {}

    std::string Write() {
        Plan();
        out_.reserve(src_.bytes.size() + 4096);
        out_.append(src_.bytes, 0, src_.records.empty() ? 0 : src_.records[0].begin);
        headerEndAt_ = out_.size();
        const int n = static_cast<int>(src_.records.size());
        std::string section;
        HostSpace* block = nullptr;  // the file block whose records are being copied
        for (int i = 0; i < n;) {
            if (stop_()) throw TSaveStopped{};
            const TDxfRecord& r = src_.records[i];
            if (r.type == "SECTION") {
                section = SectionAt(i);
                AddMissingSectionsBefore(section);
                if (section == "HEADER") {
                    CopyHeader(i);
                    ++i;
                    continue;
                }
            } else if (r.type == "EOF") {
                AddMissingSectionsBefore("EOF");
            }
            if (section == "HEADER" && r.type == "ENDSEC") headerEndAt_ = out_.size();
            if (section == "TABLES") {
                i = TablesRecord(i);
            } else if (section == "BLOCKS") {
                i = BlocksRecord(i, block);
            } else if (section == "ENTITIES") {
                if (r.type == "ENDSEC") {
                    for (const HostEntityPtr& e : d_.Model().Items())
                        if (e->SourceRecord() < 0) NewEntity(*e, ModelOwner());
                    Copy(i++);
                } else {
                    i = EntityRun(i);
                }
            } else if (section == "HEADER" && r.type == "ENDSEC" && !src_.handseed.Found() &&
                       handles_) {
                Placeholder();
                Copy(i++);
            } else {
                Copy(i++);
            }
            if (r.type == "ENDSEC") section.clear();
        }
        NameCodePage();
        if (seedAt_ != std::string::npos) {
            const std::uint64_t seed = std::max(src_.handseedValue, maxNewHandle_ + 1);
            if (placeholderAt_ != std::string::npos && maxNewHandle_ == 0)
                out_.erase(placeholderAt_, seedAt_ + kSeedWidth + src_.lineEnd.size() -
                                               placeholderAt_);
            else
                out_.replace(seedAt_, kSeedWidth, SeedText(seed));
        }
        return std::move(out_);
    }

private:
    static constexpr std::size_t kSeedWidth = 16;

    // ---- planning: what is new, what is gone ----

    void Plan() {
        for (int r : d_.FileRecords()) fileEntities_.insert(r);
        const auto note = [this](const HostSpace& space) {
            for (const HostEntityPtr& e : space.Items())
                if (e->SourceRecord() >= 0) live_[e->SourceRecord()] = e.get();
        };
        note(d_.Model());
        for (const HostSpacePtr& b : d_.BlockDefs()) {
            note(*b);
            if (b->SourceRecord() >= 0) {
                liveBlocks_[b->SourceRecord()] = b.get();
            } else {
                newBlocks_.push_back(b.get());
                blockOwner_[b.get()] = handles_ ? NewHandle() : std::string();
            }
        }
        // Blocks of the file that a command deleted (or redefined) leave with their records.
        for (const auto& [r, name] : d_.FileBlocks())
            if (!liveBlocks_.count(r)) goneBlockNames_.insert(name);

        // Layers, linetypes and text styles the file lacks: those a command added, those only
        // a new entity names (added as a CAD adds them), and the standard ones (layer 0,
        // CONTINUOUS, STANDARD, ...) where a new record refers to them.
        std::unordered_set<std::string> usedLayers;
        std::unordered_set<std::string> usedLinetypes;
        bool newText = false;
        const auto noteUse = [&](const HostSpace& space) {
            for (const HostEntityPtr& e : space.Items()) {
                if (e->SourceRecord() >= 0) continue;
                usedLayers.insert(UpperAscii(e->Data().layer));
                usedLinetypes.insert(UpperAscii(e->Data().linetype));
                newText = newText || e->Data().kind == EntKind::Text;
            }
        };
        noteUse(d_.Model());
        for (const HostSpacePtr& b : d_.BlockDefs()) noteUse(*b);
        if (!newBlocks_.empty()) usedLayers.insert("0");  // BLOCK and ENDBLK are on layer 0
        const auto standard = [](const std::string& name, std::initializer_list<const char*> names) {
            for (const char* n : names)
                if (EqualsNoCase(name, n)) return true;
            return false;
        };
        for (const TLayer& l : d_.Layers())
            if (!d_.InFile("LAYER", l.name) &&
                (!standard(l.name, {"0"}) || usedLayers.count(UpperAscii(l.name))))
                newLayers_.push_back(l);
        for (const std::string& name : usedLayers) {
            if (d_.FindLayer(name) || d_.InFile("LAYER", name)) continue;
            bool added = false;
            for (const TLayer& l : newLayers_) added = added || EqualsNoCase(l.name, name);
            if (!added) newLayers_.push_back({name, 7, "CONTINUOUS"});
        }
        for (const TLayer& l : newLayers_)
            usedLinetypes.insert(UpperAscii(LinetypeKnown(l.linetype) ? l.linetype : "CONTINUOUS"));
        for (const TLinetype& lt : d_.Linetypes()) {
            if (d_.InFile("LTYPE", lt.name)) continue;
            const bool byName = standard(lt.name, {"BYBLOCK", "BYLAYER"});
            if (byName && !modern_) continue;  // R12 has no records for them
            if ((byName || standard(lt.name, {"CONTINUOUS"})) &&
                !usedLinetypes.count(UpperAscii(lt.name)))
                continue;
            newLinetypes_.push_back(lt);
        }
        for (const TTextStyle& st : d_.Styles())
            if (!d_.InFile("STYLE", st.name) && (!standard(st.name, {"STANDARD"}) || newText))
                newStyles_.push_back(st);
    }

    std::string NewHandle() {
        maxNewHandle_ = std::max(maxNewHandle_, next_);
        return HandleText(next_++);
    }

    // The handle of an entity a command made, as the host gave it.
    std::string EntityHandle(const std::string& handle) {
        maxNewHandle_ = std::max(maxNewHandle_, HandleValue(handle));
        return handle;
    }

    std::string SectionAt(int head) const {
        for (const auto& [name, info] : src_.sections)
            if (info.head == head) return name;
        return {};
    }

    std::string ModelOwner() const {
        const auto it = src_.blockRecords.find("*MODEL_SPACE");
        return it == src_.blockRecords.end() ? std::string() : it->second.second;
    }

    std::string FileBlockOwner(const HostSpace& b) const {
        const auto it = src_.blockRecords.find(UpperAscii(b.BlockName()));
        return it == src_.blockRecords.end() ? std::string() : it->second.second;
    }

    // ---- copying ----

    void Copy(int first, int count = 1) {
        out_ += src_.RecordBytes(first, count);
        report_.kept += static_cast<std::size_t>(count);
    }

    // The header as read; $HANDSEED, when the file has it, is filled in at the end.
    void CopyHeader(int i) {
        const std::string_view bytes = src_.RecordBytes(i);
        if (!handles_ || !src_.handseed.Found()) {
            Copy(i);
            return;
        }
        const std::size_t at = src_.handseed.begin - src_.records[i].begin;
        out_ += bytes.substr(0, at);
        seedAt_ = out_.size();
        seedOriginal_ = std::string(bytes.substr(at, src_.handseed.end - src_.handseed.begin));
        out_ += std::string(kSeedWidth, ' ');
        out_ += bytes.substr(src_.handseed.end - src_.records[i].begin);
        ++report_.kept;
    }

    // A drawing that names no code page is read as CP932 and new text is written in it; once
    // that text goes beyond ASCII, the header names the code page ($DWGCODEPAGE ANSI_932) so
    // that readers outside a Japanese system decode it. The variable goes at the end of the
    // header, or in a header of its own for a file without one; nothing else moves.
    void NameCodePage() {
        if (!src_.codePage.empty() || enc_.CodePage() != "CP932" || !enc_.WroteBeyondAscii())
            return;
        const std::string& e = src_.lineEnd;
        std::string groups = "  9" + e + "$DWGCODEPAGE" + e + "  3" + e + "ANSI_932" + e;
        if (!src_.Section("HEADER"))
            groups = "  0" + e + "SECTION" + e + "  2" + e + "HEADER" + e + groups + "  0" + e +
                     "ENDSEC" + e;
        out_.insert(headerEndAt_, groups);
        for (std::size_t* at : {&seedAt_, &placeholderAt_})
            if (*at != std::string::npos && *at >= headerEndAt_) *at += groups.size();
    }

    // The seed as the file wrote it when nothing new took a handle.
    std::string SeedText(std::uint64_t seed) const {
        if (!seedOriginal_.empty() && seed == src_.handseedValue) return seedOriginal_;
        return HandleText(seed);
    }

    // A $HANDSEED variable for a header that has none; its value is filled in at the end, and
    // it is taken out again when nothing new took a handle.
    void Placeholder() {
        placeholderAt_ = out_.size();
        Group(9, "$HANDSEED");
        out_ += "  5" + src_.lineEnd;
        seedAt_ = out_.size();
        out_ += std::string(kSeedWidth, ' ') + src_.lineEnd;
    }

    int TablesRecord(int i) {
        const TDxfRecord& r = src_.records[i];
        if (r.type == "TABLE") {
            const std::string name = TableAt(i);
            const TDxfTableInfo& t = src_.tables.at(name);
            const std::size_t added = NewRecordCount(name);
            if (added > 0 && t.count.Found()) {
                const std::string_view bytes = src_.RecordBytes(i);
                const std::size_t at = t.count.begin - r.begin;
                out_ += bytes.substr(0, at);
                out_ += std::to_string(static_cast<std::int64_t>(t.countValue) +
                                       static_cast<std::int64_t>(added));
                out_ += bytes.substr(t.count.end - r.begin);
                ++report_.written;
            } else {
                Copy(i);
            }
            return i + 1;
        }
        if (r.type == "ENDTAB") {
            for (const auto& [name, info] : src_.tables)
                if (info.end == i) NewTableRecords(name, info.handle);
            Copy(i);
            return i + 1;
        }
        if (r.type == "BLOCK_RECORD") {
            for (const auto& [name, rec] : src_.blockRecords)
                if (rec.first == i && goneBlockNames_.count(name)) return i + 1;
        }
        if (r.type == "ENDSEC") {
            for (const char* name : {"LTYPE", "LAYER", "STYLE", "BLOCK_RECORD"})
                if (!src_.Table(name) && NewRecordCount(name) > 0) NewTable(name);
        }
        Copy(i);
        return i + 1;
    }

    std::string TableAt(int head) const {
        for (const auto& [name, info] : src_.tables)
            if (info.head == head) return name;
        return {};
    }

    int BlocksRecord(int i, HostSpace*& block) {
        const TDxfRecord& r = src_.records[i];
        if (r.type == "BLOCK") {
            const auto it = liveBlocks_.find(i);
            block = it == liveBlocks_.end() ? nullptr : it->second;
            if (!block && d_.FileBlocks().count(i)) {
                int j = i + 1;  // the whole definition leaves
                while (j < static_cast<int>(src_.records.size()) &&
                       src_.records[j].type != "ENDBLK" && src_.records[j].type != "ENDSEC")
                    ++j;
                return src_.records[j].type == "ENDBLK" ? j + 1 : j;
            }
            Copy(i);
            return i + 1;
        }
        if (r.type == "ENDBLK") {
            if (block) {
                const std::string owner = FileBlockOwner(*block);
                for (const HostEntityPtr& e : block->Items())
                    if (e->SourceRecord() < 0) NewEntity(*e, owner);
            }
            block = nullptr;
            Copy(i);
            return i + 1;
        }
        if (r.type == "ENDSEC") {
            for (const HostSpace* b : newBlocks_) NewBlock(*b);
            Copy(i);
            return i + 1;
        }
        return EntityRun(i);
    }

    // An entity with the records of its run: as read, anew when a command changed it, or not
    // at all when a command erased it.
    int EntityRun(int i) {
        const TDxfRecord& r = src_.records[i];
        const int run = std::max(1, r.run);
        if (r.run == 0 || !fileEntities_.count(i)) {
            Copy(i, run);
            return i + run;
        }
        const auto it = live_.find(i);
        if (it == live_.end()) return i + run;
        const HostEntity& e = *it->second;
        if (!e.Modified() || e.Data().kind == EntKind::Other) {
            Copy(i, run);
            return i + run;
        }
        const TKeptGroups kept = KeptGroupsOf(src_.RecordBytes(i));
        WriteEntity(e.Data(), e.Data().handle, kept.owner, &kept);
        return i + run;
    }

    // ---- what the commands made ----

    void AddMissingSectionsBefore(const std::string& next) {
        const auto missing = [this](const char* name) { return !src_.Section(name); };
        const bool afterTables = next == "BLOCKS" || next == "ENTITIES" || next == "OBJECTS" ||
                                 next == "EOF";
        if (afterTables && missing("TABLES") && !addedTables_) {
            addedTables_ = true;
            bool any = false;
            for (const char* name : {"LTYPE", "LAYER", "STYLE"}) any = any || NewRecordCount(name);
            if (any) {
                Section("TABLES");
                for (const char* name : {"LTYPE", "LAYER", "STYLE"})
                    if (NewRecordCount(name) > 0) NewTable(name);
                Group(0, "ENDSEC");
            }
        }
        const bool afterBlocks = next == "ENTITIES" || next == "OBJECTS" || next == "EOF";
        if (afterBlocks && missing("BLOCKS") && !addedBlocks_) {
            addedBlocks_ = true;
            if (!newBlocks_.empty()) {
                Section("BLOCKS");
                for (const HostSpace* b : newBlocks_) NewBlock(*b);
                Group(0, "ENDSEC");
            }
        }
        const bool afterEntities = next == "OBJECTS" || next == "EOF";
        if (afterEntities && missing("ENTITIES") && !addedEntities_) {
            addedEntities_ = true;
            Section("ENTITIES");
            for (const HostEntityPtr& e : d_.Model().Items())
                if (e->SourceRecord() < 0) NewEntity(*e, ModelOwner());
            Group(0, "ENDSEC");
        }
    }

    void Section(const char* name) {
        Group(0, "SECTION");
        Group(2, name);
    }

    std::size_t NewRecordCount(const std::string& table) const {
        if (table == "LAYER") return newLayers_.size();
        if (table == "LTYPE") return newLinetypes_.size();
        if (table == "STYLE") return newStyles_.size();
        if (table == "BLOCK_RECORD" && modern_) return newBlocks_.size();
        return 0;
    }

    void NewTable(const std::string& name) {
        Group(0, "TABLE");
        Group(2, name);
        std::string handle;
        if (handles_) {
            handle = NewHandle();
            Group(5, handle);
        }
        if (modern_) {
            Group(330, "0");
            Group(100, "AcDbSymbolTable");
        }
        Group(70, std::to_string(NewRecordCount(name)));
        NewTableRecords(name, handle);
        Group(0, "ENDTAB");
    }

    void RecordStart(const char* type, const std::string& table, const char* subclass) {
        currentType_ = type;
        currentHandle_.clear();
        Group(0, type);
        if (handles_) Group(5, NewHandle());
        if (modern_) {
            Group(330, table);
            Group(100, "AcDbSymbolTableRecord");
            Group(100, subclass);
        }
        ++report_.written;
    }

    bool LinetypeKnown(const std::string& name) const { return d_.FindLinetype(name) != nullptr; }

    void NewTableRecords(const std::string& name, const std::string& table) {
        if (name == "LTYPE") {
            for (const TLinetype& lt : newLinetypes_) {
                RecordStart("LTYPE", table, "AcDbLinetypeTableRecord");
                Text(2, lt.name);
                Group(70, "0");
                Text(3, lt.description);
                Group(72, "65");
                Group(73, std::to_string(lt.dashes.size()));
                double total = 0;
                for (double dash : lt.dashes) total += std::fabs(dash);
                Real(40, total);
                for (double dash : lt.dashes) {
                    Real(49, dash);
                    if (modern_) Group(74, "0");
                }
            }
        } else if (name == "LAYER") {
            for (const TLayer& l : newLayers_) {
                RecordStart("LAYER", table, "AcDbLayerTableRecord");
                Text(2, l.name);
                Group(70, "0");
                Group(62, std::to_string(l.color == 0 ? 7 : l.color));
                Text(6, LinetypeKnown(l.linetype) ? l.linetype : "CONTINUOUS");
            }
        } else if (name == "STYLE") {
            for (const TTextStyle& s : newStyles_) {
                RecordStart("STYLE", table, "AcDbTextStyleTableRecord");
                Text(2, s.name);
                Group(70, std::to_string(s.flags));
                Real(40, s.height);
                Real(41, s.widthFactor);
                Real(50, 0);
                Group(71, "0");
                Real(42, 2.5);
                Text(3, s.font);
                Text(4, s.bigFont);
            }
        } else if (name == "BLOCK_RECORD" && modern_) {
            for (const HostSpace* b : newBlocks_) {
                Group(0, "BLOCK_RECORD");
                Group(5, blockOwner_[b]);
                Group(330, table);
                Group(100, "AcDbSymbolTableRecord");
                Group(100, "AcDbBlockTableRecord");
                Text(2, b->BlockName());
                Group(340, "0");
                ++report_.written;
            }
        }
    }

    void NewBlock(const HostSpace& b) {
        const std::string& owner = blockOwner_[&b];
        Group(0, "BLOCK");
        if (handles_) Group(5, NewHandle());
        if (modern_) {
            Group(330, owner);
            Group(100, "AcDbEntity");
        }
        Group(8, "0");
        if (modern_) Group(100, "AcDbBlockBegin");
        Text(2, b.BlockName());
        Group(70, "0");
        Point(10, ScaleVec(b.Base(), toFile_));
        Text(3, b.BlockName());
        if (modern_) Group(1, "");
        for (const HostEntityPtr& e : b.Items()) NewEntity(*e, owner);
        Group(0, "ENDBLK");
        if (handles_) Group(5, NewHandle());
        if (modern_) {
            Group(330, owner);
            Group(100, "AcDbEntity");
        }
        Group(8, "0");
        if (modern_) Group(100, "AcDbBlockEnd");
        report_.written += 2;
    }

    void NewEntity(const HostEntity& e, const std::string& owner) {
        if (stop_(e.Data().vertices.size() + 1)) throw TSaveStopped{};
        if (e.Data().kind == EntKind::Other) return;  // nothing to write it from
        WriteEntity(e.Data(), EntityHandle(e.Data().handle), owner, nullptr);
    }

    // ---- groups ----

    void Group(int code, std::string_view value) {
        if (value.size() > kDxfMaxLineBytes)
            throw TLineTooLong{DxfLineRefusal(Current() + " のグループ " + std::to_string(code),
                                              value.size(), value)};
        const std::string c = std::to_string(code);
        if (c.size() < 3) out_.append(3 - c.size(), ' ');
        out_ += c;
        out_ += src_.lineEnd;
        out_ += value;
        out_ += src_.lineEnd;
    }

    // A text group: UTF-8 in the file's code page. Too long once encoded, the save fails
    // naming the entity and the text as the user wrote it.
    void Text(int code, const std::string& utf8) {
        const std::string encoded = enc_.Encode(utf8);
        if (encoded.size() > kDxfMaxLineBytes) {
            std::string why = DxfLineRefusal(Current() + " の文字列", encoded.size(), utf8);
            if (encoded.find("\\U+") != std::string::npos && utf8.find("\\U+") == std::string::npos)
                why += kEscapedHint + enc_.CodePage() + kEscapedHint2;
            throw TLineTooLong{why};
        }
        Group(code, encoded);
    }

    // The record being written, as a message names it: its type and handle.
    std::string Current() const {
        return currentType_ + (currentHandle_.empty() ? "" : " (ハンドル " + currentHandle_ + ")");
    }

    void Real(int code, double v) { Group(code, FormatGeneral(v)); }

    void Point(int code, TAcadPoint p) {
        Real(code, p.x);
        Real(code + 10, p.y);
        Real(code + 20, p.z);
    }

    void Common(const TEntityData& d, const char* type, const std::string& handle,
                const std::string& owner, const TKeptGroups* kept) {
        currentType_ = type;
        currentHandle_ = handle;
        Group(0, type);
        if (handles_ && !handle.empty()) Group(5, handle);
        if (kept && modern_)
            for (const auto& [c, v] : kept->appData) Group(c, v);
        if (modern_) {
            if (!owner.empty()) Group(330, owner);
            Group(100, "AcDbEntity");
        }
        if (kept && kept->paper) Group(67, "1");
        Text(8, d.layer);  // 8: layer name
        if (!d.linetype.empty() && !EqualsNoCase(d.linetype, "BYLAYER") &&
            LinetypeKnown(d.linetype))
            Text(6, d.linetype);
        if (d.color != 256) Group(62, std::to_string(d.color));
        ++report_.written;
    }

    void Subclass(const char* name) {
        if (modern_) Group(100, name);
    }

    void Thickness(const TEntityData& d) {
        if (d.thickness != 0) Real(39, d.thickness);
    }

    void Extrusion(const TEntityData& d) {
        if (!IsWorldNormal(d.normal)) Point(210, d.normal);  // 210: extrusion direction
    }

    void WriteEntity(const TEntityData& data, const std::string& handle, const std::string& owner,
                     const TKeptGroups* kept) {
        TEntityData d = data;
        ScaleLengths(d, toFile_);
        // R12 has neither lightweight polylines nor ellipses: a polyline and a 3D polyline of
        // the ellipse's points stand for them.
        if (!modern_ && d.kind == EntKind::LwPolyline) d.kind = EntKind::Polyline2d;
        if (!modern_ && d.kind == EntKind::Ellipse) {
            const std::vector<std::vector<TAcadPoint>> outline = OutlineOf(d, d_);
            d.kind = EntKind::Polyline3d;
            d.vertices = outline.empty() ? std::vector<TAcadPoint>{} : outline.front();
            d.bulges.assign(d.vertices.size(), 0);
            d.closed = false;
        }
        switch (d.kind) {
            case EntKind::Line:
                Common(d, "LINE", handle, owner, kept);
                Subclass("AcDbLine");
                Thickness(d);
                Point(10, d.p1);
                Point(11, d.p2);
                Extrusion(d);
                break;
            case EntKind::Circle:
            case EntKind::Arc:
                Common(d, d.kind == EntKind::Arc ? "ARC" : "CIRCLE", handle, owner, kept);
                Subclass("AcDbCircle");
                Thickness(d);
                Point(10, d.p1);
                Real(40, d.radius);
                Extrusion(d);
                if (d.kind == EntKind::Arc) {
                    Subclass("AcDbArc");
                    Real(50, d.start * kRadToDegree);  // 50, 51: degrees
                    Real(51, d.end * kRadToDegree);
                }
                break;
            case EntKind::Ellipse:
                Common(d, "ELLIPSE", handle, owner, kept);
                Subclass("AcDbEllipse");
                Point(10, d.p1);
                Point(11, d.p2);
                Point(210, d.normal);
                Real(40, d.ratio);
                Real(41, d.start);
                Real(42, d.end);
                break;
            case EntKind::LwPolyline:
                Common(d, "LWPOLYLINE", handle, owner, kept);
                Subclass("AcDbPolyline");
                Group(90, std::to_string(d.vertices.size()));
                Group(70, d.closed ? "1" : "0");
                if (d.elevation != 0) Real(38, d.elevation);
                Thickness(d);
                for (std::size_t i = 0; i < d.vertices.size(); ++i) {
                    Real(10, d.vertices[i].x);
                    Real(20, d.vertices[i].y);
                    const double bulge = i < d.bulges.size() ? d.bulges[i] : 0;
                    if (bulge != 0) Real(42, bulge);
                }
                Extrusion(d);
                break;
            case EntKind::Polyline2d:
            case EntKind::Polyline3d:
                WritePolyline(d, handle, owner, kept);
                break;
            case EntKind::Text:
                Common(d, "TEXT", handle, owner, kept);
                Subclass("AcDbText");
                Thickness(d);
                Point(10, d.p1);
                Real(40, d.height);
                Text(1, d.text);
                if (d.rotation != 0) Real(50, d.rotation * kRadToDegree);
                if (d.widthFactor != 1) Real(41, d.widthFactor);
                for (const TTextStyle& s : d_.Styles())
                    if (EqualsNoCase(s.name, d.style) && !EqualsNoCase(d.style, "STANDARD"))
                        Text(7, s.name);
                if (d.hAlign != 0) Group(72, std::to_string(d.hAlign));
                if (d.hAlign != 0 || d.vAlign != 0) Point(11, d.p2);
                Extrusion(d);
                Subclass("AcDbText");
                if (d.vAlign != 0) Group(73, std::to_string(d.vAlign));
                break;
            case EntKind::Insert:
                Common(d, "INSERT", handle, owner, kept);
                Subclass("AcDbBlockReference");
                Text(2, d.blockName);
                Point(10, d.p1);
                if (d.scale.x != 1) Real(41, d.scale.x);
                if (d.scale.y != 1) Real(42, d.scale.y);
                if (d.scale.z != 1) Real(43, d.scale.z);
                if (d.rotation != 0) Real(50, d.rotation * kRadToDegree);
                Extrusion(d);
                break;
            case EntKind::Other:
                return;
        }
        if (kept)
            for (const auto& [c, v] : kept->xdata) Group(c, v);
    }

    void WritePolyline(const TEntityData& d, const std::string& handle, const std::string& owner,
                       const TKeptGroups* kept) {
        const bool is3d = d.kind == EntKind::Polyline3d;
        Common(d, "POLYLINE", handle, owner, kept);
        Subclass(is3d ? "AcDb3dPolyline" : "AcDb2dPolyline");
        Group(66, "1");  // vertices follow
        Point(10, {0, 0, is3d ? 0 : d.elevation});
        if (!is3d) Thickness(d);
        Group(70, std::to_string((d.closed ? 1 : 0) | (is3d ? 8 : 0)));
        if (!is3d) Extrusion(d);
        if (kept)
            for (const auto& [c, v] : kept->xdata) Group(c, v);
        const std::string polyline = handle;
        for (std::size_t i = 0; i < d.vertices.size(); ++i) {
            TEntityData v;
            v.layer = d.layer;
            Common(v, "VERTEX", handles_ ? NewHandle() : std::string(), polyline, nullptr);
            Subclass("AcDbVertex");
            Subclass(is3d ? "AcDb3dPolylineVertex" : "AcDb2dVertex");
            const TAcadPoint p = d.vertices[i];
            Point(10, {p.x, p.y, is3d ? p.z : d.elevation});
            const double bulge = i < d.bulges.size() ? d.bulges[i] : 0;
            if (!is3d && bulge != 0) Real(42, bulge);
            Group(70, is3d ? "32" : "0");
        }
        TEntityData end;
        end.layer = d.layer;
        Common(end, "SEQEND", handles_ ? NewHandle() : std::string(), polyline, nullptr);
    }

    StopPoll stop_;
    std::string currentType_ = "HEADER";  // the record being written, for messages
    std::string currentHandle_;
    const HostDrawing& d_;
    const TDxfSource& src_;
    TextEncoder enc_;
    TSaveReport& report_;
    const bool modern_;
    const bool handles_;
    const double toFile_;  // drawing units per millimetre
    std::uint64_t next_;
    std::uint64_t maxNewHandle_ = 0;
    std::string out_;
    std::size_t seedAt_ = std::string::npos;
    std::size_t placeholderAt_ = std::string::npos;
    std::size_t headerEndAt_ = 0;  // where the header ends (or would begin) in out_
    std::string seedOriginal_;
    bool addedTables_ = false;
    bool addedBlocks_ = false;
    bool addedEntities_ = false;
    std::unordered_set<int> fileEntities_;
    std::unordered_map<int, const HostEntity*> live_;
    std::unordered_map<int, HostSpace*> liveBlocks_;
    std::vector<const HostSpace*> newBlocks_;
    std::unordered_map<const HostSpace*, std::string> blockOwner_;
    std::unordered_set<std::string> goneBlockNames_;
    std::vector<TLayer> newLayers_;
    std::vector<TLinetype> newLinetypes_;
    std::vector<TTextStyle> newStyles_;
};

}  // namespace

bool WriteDxfDrawing(const HostDrawing& drawing, const std::filesystem::path& path,
                     std::string& error, TSaveReport& report, const RunContext* stop) {
    report = TSaveReport{};
    std::shared_ptr<const TDxfSource> source = drawing.Source();
    if (!source) {
        auto empty = std::make_shared<TDxfSource>();
        if (!ScanDxfSource(std::string(kEmptyDrawing), "", *empty, error)) return false;
        source = std::move(empty);
    }
    std::string bytes;
    try {
        bytes = DrawingWriter(drawing, *source, drawing.TextCodePage(), report, stop).Write();
    } catch (const TSaveStopped&) {
        error = kSaveStopped + PathToUtf8(path);
        return false;
    } catch (const TLineTooLong& e) {
        error = kCannotWrite + PathToUtf8(path) + " (" + e.why + ")";
        return false;
    } catch (const std::exception& e) {
        error = kCannotWrite + PathToUtf8(path) + " (" + e.what() + ")";
        return false;
    }
    if (!WriteFileReplacing(path, bytes, stop)) {
        error = (stop && stop->StopRequested() ? kSaveStopped : kCannotWrite) + PathToUtf8(path);
        return false;
    }
    return true;
}

}  // namespace zuka

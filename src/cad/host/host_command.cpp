// The host's command line: SendCommand texts are split into answers as a CAD's command line
// takes them (carriage return, line feed and blank act as Enter, except inside double quotes)
// and run by the commands the system sends: -INSERT, ID, -LINETYPE and -BOUNDARY. Anything else is
// answered as an unknown command and the rest of the text is dropped.
#include <cmath>

#include "base/number.h"
#include "base/platform.h"
#include "cad/host/host_geometry.h"
#include "cad/host/host_state.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

// The command line's answers, kept in the echo log.
const std::string kUnknownCommand = "不明なコマンドです: ";
const std::string kBlockNotFound = "ブロックまたはファイルが見つかりません: ";
const std::string kInsertFailed = "ファイルを挿入できません: ";
const std::string kInvalidAnswer = "無効な入力です: ";
const std::string kCancelled = "*キャンセル*";
const std::string kNotPlaced = "配置できない図形を挿入しませんでした: ";
const std::string kBadScale = "尺度は正の値で指定して下さい: ";
const std::string kLinetypeLoaded = "線種をロードしました: ";
const std::string kLinetypeNotFound = "線種が見つかりません: ";
const std::string kPromptInsertion = "挿入位置を指定: ";
const std::string kPromptPoint = "点を指定: ";
const std::string kPromptInternalPoint = "内側の点を指定: ";
const std::string kNoBoundary = "閉じた境界が見つかりません: ";
const std::string kBoundaryMade = "境界を作成しました: ";

constexpr double kDegToRad = kPi / 180;

// Answers of a command text. Every separator ends an answer, so "a  b" holds an empty answer
// (Enter) between a and b; a final answer without its Enter is taken as given.
std::vector<std::string> SplitAnswers(const std::string& text) {
    std::vector<std::string> answers;
    std::string cur;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') quoted = !quoted;
        if (!quoted && (c == '\r' || c == '\n' || c == ' ')) {
            if (c == '\n' && i > 0 && text[i - 1] == '\r') continue;  // CR LF is one Enter
            answers.push_back(cur);
            cur.clear();
            continue;
        }
        cur += c;
    }
    if (!cur.empty()) answers.push_back(cur);
    return answers;
}

std::string Unquote(std::string s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

class CommandLine {
public:
    CommandLine(HostState& state, std::vector<std::string> answers)
        : s_(state), answers_(std::move(answers)) {}

    void Run() {
        while (pos_ < answers_.size()) {
            const std::string word = answers_[pos_++];
            if (word.empty()) continue;
            std::string w = UpperAscii(word);
            while (!w.empty() && (w[0] == '_' || w[0] == '.')) w.erase(0, 1);
            if (w == "-INSERT") {
                if (!Insert()) return;
            } else if (w == "ID") {
                Id();
            } else if (w == "-LINETYPE") {
                if (!Linetype()) return;
            } else if (w == "-BOUNDARY" || w == "-BO") {
                if (!Boundary()) return;
            } else {
                Echo(kUnknownCommand + word);
                return;
            }
        }
    }

private:
    void Echo(const std::string& text) { s_.echo.push_back(text); }
    // The open drawing; the user may have closed it while a command waited for a pick.
    HostDrawing& Drawing() {
        if (!s_.drawing) throw AutomationError("図面が開かれていません");
        return *s_.drawing;
    }

    // The next answer; false when the text has no more (the CAD would wait for the user).
    bool Next(std::string& answer) {
        if (pos_ >= answers_.size()) return false;
        answer = answers_[pos_++];
        return true;
    }

    // A number answer; Enter or the end of the text gives the default.
    bool Number(double def, double& value, bool& ended) {
        std::string a;
        ended = !Next(a);
        if (ended || a.empty()) {
            value = def;
            return true;
        }
        const std::optional<double> v = ParseDouble(a);
        if (!v) {
            Echo(kInvalidAnswer + a);
            return false;
        }
        value = *v;
        return true;
    }

    // -INSERT: block source, then the options S (scale) and R (rotation, degrees) or the
    // insertion point, then the scale (one factor for an exploded insertion, X and Y for a
    // block reference) and the rotation unless given as options. A source with a folder, the
    // extension .dxf or no block of that name is a drawing file: it defines (or redefines)
    // the block named after the file. Without an insertion point in the text the user places
    // the block; Escape then inserts nothing and the block definition stays. False when the
    // command failed and the rest of the text is dropped.
    bool Insert() {
        std::string source;
        if (!Next(source) || source.empty()) {
            Echo(kCancelled);
            return false;
        }
        bool exploded = false;
        if (!source.empty() && source[0] == '*') {
            exploded = true;
            source.erase(0, 1);
        }
        source = Unquote(source);
        if (!source.empty() && source[0] == '*') {
            exploded = true;
            source.erase(0, 1);
        }
        HostSpacePtr block = Resolve(source);
        if (!block) return false;

        std::optional<double> scale;
        std::optional<double> rotationDeg;
        TAcadPoint at;
        for (;;) {
            std::string a;
            if (!Next(a)) {
                const TAnswer pick = s_.Ask(AnswerKind::Point, kPromptInsertion);
                if (pick.kind != AnswerKind::Point) {
                    Echo(kCancelled);
                    return true;
                }
                at = pick.point;
                break;
            }
            if (a.empty()) continue;  // Enter at the point prompt asks again
            const std::string u = UpperAscii(a);
            if (u == "S" || u == "SCALE" || u == "R" || u == "ROTATE") {
                std::string v;
                std::optional<double> value;
                if (!Next(v) || !(value = ParseDouble(v))) {
                    Echo(kInvalidAnswer + v);
                    return false;
                }
                (u[0] == 'S' ? scale : rotationDeg) = *value;
                continue;
            }
            if (!StrToAcadPoint(a, at)) {
                Echo(kInvalidAnswer + a);
                return false;
            }
            break;
        }
        TAcadPoint factors{1, 1, 1};
        bool ended = false;
        if (scale) {
            factors = {*scale, *scale, *scale};
        } else {
            if (!Number(1, factors.x, ended)) return false;
            factors.y = factors.z = factors.x;
            if (!exploded && !ended && !Number(factors.x, factors.y, ended)) return false;
        }
        double rot = 0;
        if (rotationDeg)
            rot = *rotationDeg;
        else if (!ended && !Number(0, rot, ended))
            return false;

        if (exploded) {
            if (!(factors.x > 0)) {
                Echo(kBadScale + FormatGeneral(factors.x));
                return false;
            }
            PlaceExploded(*block, at, factors.x, rot * kDegToRad);
        } else {
            if (factors.x == 0 || factors.y == 0) {
                Echo(kBadScale + FormatGeneral(factors.x == 0 ? factors.x : factors.y));
                return false;
            }
            TEntityData ref;
            ref.kind = EntKind::Insert;
            ref.layer = CurrentLayer();
            ref.blockName = block->BlockName();
            ref.p1 = at;
            ref.scale = factors;
            ref.rotation = rot * kDegToRad;
            Drawing().Model().Append(std::move(ref));
        }
        return true;
    }

    std::string CurrentLayer() {
        const auto it = Drawing().Variables().find("CLAYER");
        const std::string* layer =
            it == Drawing().Variables().end() ? nullptr : std::get_if<std::string>(&it->second);
        return layer ? *layer : std::string("0");
    }

    HostSpacePtr Resolve(const std::string& source) {
        namespace fs = std::filesystem;
        const fs::path p = PathFromUtf8(source);
        const std::string ext = UpperAscii(PathToUtf8(p.extension()));
        const bool looksLikeFile = source.find('/') != std::string::npos ||
                                   source.find('\\') != std::string::npos || ext == ".DXF" ||
                                   ext == ".DWG";
        if (!looksLikeFile)
            if (HostSpacePtr b = Drawing().FindBlock(source)) return b;
        fs::path file = p;
        std::error_code ec;
        if (!fs::exists(file, ec) && ext.empty()) file += ".dxf";
        if (!fs::exists(file, ec)) {
            Echo(kBlockNotFound + source);
            return nullptr;
        }
        std::string error;
        TLoadReport report;
        const HostDrawingPtr part = ReadDxfDrawing(file, error, report, s_.stop);
        if (!part) {
            Echo(kInsertFailed + error);
            return nullptr;
        }
        return DefineFrom(*part, PathToUtf8(file.stem()));
    }

    // The block `name` defined from the model space of another drawing, with the layers,
    // linetypes, text styles and block definitions it uses that this drawing lacks.
    HostSpacePtr DefineFrom(const HostDrawing& part, const std::string& name) {
        HostDrawing& d = Drawing();
        for (const TLayer& l : part.Layers())
            if (!d.FindLayer(l.name)) d.Layers().push_back(l);
        for (const TLinetype& lt : part.Linetypes())
            if (!d.FindLinetype(lt.name)) d.Linetypes().push_back(lt);
        for (const TTextStyle& s : part.Styles()) {
            bool known = false;
            for (const TTextStyle& o : d.Styles()) known = known || EqualsNoCase(o.name, s.name);
            if (!known) d.Styles().push_back(s);
        }
        for (const HostSpacePtr& b : part.BlockDefs()) {
            if (EqualsNoCase(b->BlockName(), name) || d.FindBlock(b->BlockName())) continue;
            const HostSpacePtr copy = d.AddBlock(b->BlockName(), b->Base());
            for (const HostEntityPtr& e : b->Items()) copy->Append(WithoutHandle(e->Data()));
        }
        const auto it = part.Variables().find("INSBASE");
        const TAcadPoint* base =
            it == part.Variables().end() ? nullptr : std::get_if<TAcadPoint>(&it->second);
        HostSpacePtr block = d.FindBlock(name);
        if (block) {
            block->Redefine(base ? *base : TAcadPoint{});
        } else {
            block = d.AddBlock(name, base ? *base : TAcadPoint{});
        }
        for (const HostEntityPtr& e : part.Model().Items()) block->Append(WithoutHandle(e->Data()));
        return block;
    }

    static TEntityData WithoutHandle(TEntityData d) {
        d.handle.clear();
        return d;
    }

    void PlaceExploded(const HostSpace& block, TAcadPoint at, double scale, double rotation) {
        const TPlacement pl{block.Base(), scale, rotation, at, {0, 0, 1}};
        int skipped = 0;
        for (const HostEntityPtr& e : block.Items()) {
            TEntityData d = WithoutHandle(e->Data());
            if (PlaceEntity(d, pl))
                Drawing().Model().Append(std::move(d));
            else
                ++skipped;
        }
        if (skipped > 0) Echo(kNotPlaced + std::to_string(skipped));
    }

    // ID: the point answered (or picked by the user) becomes LASTPOINT.
    void Id() {
        std::string a;
        TAcadPoint p;
        if (Next(a)) {
            if (a.empty()) return;
            if (!StrToAcadPoint(a, p)) {
                Echo(kInvalidAnswer + a);
                return;
            }
        } else {
            const TAnswer pick = s_.Ask(AnswerKind::Point, kPromptPoint);
            if (pick.kind != AnswerKind::Point) {
                Echo(kCancelled);
                return;
            }
            p = pick.point;
        }
        Drawing().Variables()["LASTPOINT"] = p;
        Echo("X = " + FormatFixed(p.x, 4) + "  Y = " + FormatFixed(p.y, 4) +
             "  Z = " + FormatFixed(p.z, 4));
    }

    // -LINETYPE: options L (load: name, file) and S (set the current linetype) until Enter.
    bool Linetype() {
        for (;;) {
            std::string option;
            if (!Next(option) || option.empty()) return true;
            const std::string u = UpperAscii(option);
            if (u == "L" || u == "LOAD") {
                std::string name;
                std::string file;
                if (!Next(name) || !Next(file)) return true;
                file = Unquote(file);
                const std::optional<TLinetype> lt = BuiltInLinetype(name, file);
                if (!lt) {
                    Echo(kLinetypeNotFound + name + " (" + file + ")");
                    continue;
                }
                bool replaced = false;
                for (TLinetype& old : Drawing().Linetypes())
                    if (EqualsNoCase(old.name, lt->name)) {
                        old = *lt;
                        replaced = true;
                    }
                if (!replaced) Drawing().Linetypes().push_back(*lt);
                Echo(kLinetypeLoaded + lt->name);
            } else if (u == "S" || u == "SET") {
                std::string name;
                if (!Next(name)) return true;
                if (const TLinetype* lt = Drawing().FindLinetype(name))
                    Drawing().Variables()["CELTYPE"] = lt->name;
                else
                    Echo(kLinetypeNotFound + name);
            } else {
                Echo(kInvalidAnswer + option);
                return false;
            }
        }
    }

    // -BOUNDARY: internal points until Enter (or the end of the text); the user picks one when
    // the text gives none. Each point adds the closed polyline of the smallest region around
    // it on the current layer; a point outside every closed region adds nothing. False when an
    // answer is neither a point nor Enter and the rest of the text is dropped.
    bool Boundary() {
        std::vector<TAcadPoint> picks;
        for (;;) {
            std::string a;
            if (!Next(a)) {
                if (!picks.empty()) break;
                const TAnswer pick = s_.Ask(AnswerKind::Point, kPromptInternalPoint);
                if (pick.kind != AnswerKind::Point) {
                    Echo(kCancelled);
                    return true;
                }
                picks.push_back(pick.point);
                break;
            }
            if (a.empty()) break;
            TAcadPoint p;
            if (!StrToAcadPoint(a, p)) {
                Echo(kInvalidAnswer + a);
                return false;
            }
            picks.push_back(p);
        }
        for (const TAcadPoint& p : picks) {
            std::optional<TEntityData> region = FindBoundary(Drawing(), p);
            const std::string where = FormatFixed(p.x, 4) + "," + FormatFixed(p.y, 4);
            if (!region) {
                Echo(kNoBoundary + where);
                continue;
            }
            region->layer = CurrentLayer();
            Drawing().Model().Append(std::move(*region));
            Echo(kBoundaryMade + where);
        }
        return true;
    }

    HostState& s_;
    std::vector<std::string> answers_;
    std::size_t pos_ = 0;
};

}  // namespace

std::optional<TLinetype> BuiltInLinetype(std::string_view name, std::string_view file) {
    static const char* const kFiles[] = {"gcadiso.lin", "MM.LIN", "acadiso.lin", "iso.lin",
                                         "zwcadiso.lin"};
    const std::size_t slash = file.find_last_of("/\\");
    const std::string_view base = slash == std::string_view::npos ? file : file.substr(slash + 1);
    bool known = false;
    for (const char* f : kFiles) known = known || EqualsNoCase(base, f);
    if (!known) return std::nullopt;
    // Metric patterns in drawing units: dash positive, gap negative.
    static const TLinetype kTypes[] = {
        {"HIDDEN", "Hidden __ __ __ __ __ __ __ __ __ __ __ __ __ __", {6.35, -3.175}},
        {"HIDDEN2", "Hidden (.5x) _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _ _", {3.175, -1.5875}},
        {"DASHED", "Dashed __ __ __ __ __ __ __ __ __ __ __ __ __ _", {12.7, -6.35}},
    };
    for (const TLinetype& lt : kTypes)
        if (EqualsNoCase(lt.name, name)) return lt;
    return std::nullopt;
}

void RunCommandText(HostState& state, const std::string& text) {
    CommandLine(state, SplitAnswers(text)).Run();
}

}  // namespace zuka

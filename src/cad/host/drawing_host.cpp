#include "cad/host/drawing_host.h"

#include <unordered_set>

#include "cad/host/host_geometry.h"
#include "cad/host/host_selection.h"
#include "cad/host/host_state.h"

namespace zuka {
namespace {

// Automation errors of the application, the document and its collections.
const std::string kNoDrawing = "図面が開かれていません";
// The commands that can be undone, the latest ones (each step holds the whole drawing).
constexpr std::size_t kUndoSteps = 50;
const std::string kNoProgId = "ProgID が登録されていません: ";
const std::string kDrawingClosed = "図面は閉じられています";
const std::string kBadItem = "番号が範囲外です: ";
const std::string kBadName = "名前が正しくありません: ";
const std::string kSetExists = "選択セットは既にあります: ";
const std::string kSetDeleted = "選択セットは削除されています";
const std::string kBadMode = "対応していない選択モードです: ";
const std::string kNoVariable = "システム変数がありません: ";
const std::string kNoObject = "オブジェクト ID に当たる図形がありません: ";
const std::string kCancelled = "ユーザーによるキャンセル";
const std::string kNoEntityPicked = "指示された図形がありません: ";
const std::string kNoLinetypeFile = "線種ファイルがありません: ";
const std::string kEmptyLinetypeFile = "線種ファイル名が空です";
const std::string kNoLinetypeInFile = "線種がファイルにありません: ";
const std::string kLinetypeLoaded = "線種は既にロードされています: ";
const std::string kSelectPrompt = "オブジェクトを選択: ";

constexpr std::intptr_t kHostWindow = 0x5A4B;

// Names of blocks and layers: not empty, none of the characters a CAD refuses in names.
void CheckName(const std::string& name) {
    if (name.empty() || name.find_first_of("<>/\\\":;?*|,=`") != std::string::npos)
        throw AutomationError(kBadName + name);
}

HostDrawing& Open(HostState& s) {
    if (!s.drawing) throw AutomationError(kNoDrawing);
    return *s.drawing;
}

class QuiescentState final : public CadState {
public:
    bool IsQuiescent() const override { return true; }
};

class NamedLayer final : public Layer {
public:
    explicit NamedLayer(std::string name) : name_(std::move(name)) {}
    std::string Name() const override { return name_; }

private:
    std::string name_;
};

class NamedLinetype final : public Linetype {
public:
    explicit NamedLinetype(std::string name) : name_(std::move(name)) {}
    std::string Name() const override { return name_; }

private:
    std::string name_;
};

class HostSelectionSet final : public SelectionSet {
public:
    HostSelectionSet(std::string name, const std::shared_ptr<HostState>& state)
        : name_(std::move(name)), state_(state), drawing_(state->drawing) {}

    std::string Name() const override {
        Check();
        return name_;
    }
    int Count() const override {
        Check();
        return static_cast<int>(items_.size());
    }
    EntityPtr Item(int i) const override {
        Check();
        if (i < 0 || static_cast<std::size_t>(i) >= items_.size())
            throw AutomationError(kBadItem + std::to_string(i));
        return items_[i];
    }
    void Clear() override {
        Check();
        items_.clear();
        seen_.clear();
    }

    void Select(int mode, TAcadPoint p1, TAcadPoint p2, const std::vector<int>& filterTypes,
                const std::vector<CadValue>& filterData) override {
        const HostDrawingPtr drawing = Check();
        const TEntityFilter filter = MakeFilter(filterTypes, filterData);
        const std::vector<HostEntityPtr>& all = drawing->Model().Items();
        const double x1 = std::min(p1.x, p2.x);
        const double x2 = std::max(p1.x, p2.x);
        const double y1 = std::min(p1.y, p2.y);
        const double y2 = std::max(p1.y, p2.y);
        switch (mode) {
            case kSelectLast:
                if (!all.empty() && filter.Matches(all.back()->Data())) Add(all.back());
                return;
            case kSelectAll:
                for (const HostEntityPtr& e : all)
                    if (filter.Matches(e->Data())) Add(e);
                return;
            case kSelectWindow:
            case kSelectCrossing:
                for (const HostEntityPtr& e : all) {
                    if (!filter.Matches(e->Data())) continue;
                    const auto outline = OutlineOf(e->Data(), *drawing);
                    if (mode == kSelectWindow ? InsideWindow(outline, x1, y1, x2, y2)
                                              : CrossesWindow(outline, x1, y1, x2, y2))
                        Add(e);
                }
                return;
            default:
                throw AutomationError(kBadMode + std::to_string(mode));
        }
    }

    // The user's selection is an expression of selection_expr.h; Escape selects nothing.
    void SelectOnScreen(const std::vector<int>& filterTypes,
                        const std::vector<CadValue>& filterData) override {
        const HostDrawingPtr drawing = Check();
        const TEntityFilter filter = MakeFilter(filterTypes, filterData);
        const TAnswer a = state_.lock()->Ask(AnswerKind::Selection, kSelectPrompt);
        if (a.kind != AnswerKind::Selection) return;
        std::string error;
        const std::optional<TSelectionExpr> expr = ParseSelectionExpr(a.selection, error);
        if (!expr) throw AutomationError(error);
        for (const HostEntityPtr& e : drawing->Model().Items())
            if (filter.Matches(e->Data()) && MatchesExpr(*expr, e->Data(), *drawing)) Add(e);
    }

    void Delete() override {
        Check();
        deleted_ = true;
        if (const std::shared_ptr<HostState> s = state_.lock()) {
            std::vector<SelectionSetPtr>& sets = s->sets;
            for (auto it = sets.begin(); it != sets.end(); ++it)
                if (it->get() == this) {
                    sets.erase(it);
                    break;
                }
        }
    }

    void Highlight(bool /*on*/) override { Check(); }

private:
    HostDrawingPtr Check() const {
        if (deleted_) throw AutomationError(kSetDeleted);
        const std::shared_ptr<HostState> s = state_.lock();
        HostDrawingPtr d = drawing_.lock();
        if (!s || !d || s->drawing != d) throw AutomationError(kDrawingClosed);
        return d;
    }

    void Add(const HostEntityPtr& e) {
        if (seen_.insert(e.get()).second) items_.push_back(e);
    }

    std::string name_;
    std::weak_ptr<HostState> state_;
    std::weak_ptr<HostDrawing> drawing_;
    std::vector<EntityPtr> items_;
    std::unordered_set<const HostEntity*> seen_;
    bool deleted_ = false;
};

class HostBlocks final : public Blocks {
public:
    explicit HostBlocks(HostState& s) : s_(s) {}
    int Count() const override { return static_cast<int>(Open(s_).BlockDefs().size()); }
    BlockPtr Item(int i) const override {
        const auto& all = Open(s_).BlockDefs();
        if (i < 0 || static_cast<std::size_t>(i) >= all.size())
            throw AutomationError(kBadItem + std::to_string(i));
        return all[i];
    }
    // An existing block of that name (ignoring case) is returned as it is.
    BlockPtr Add(TAcadPoint origin, const std::string& name) override {
        HostDrawing& d = Open(s_);
        CheckName(name);
        return d.AddBlock(name, origin);
    }

private:
    HostState& s_;
};

class HostLayers final : public Layers {
public:
    explicit HostLayers(HostState& s) : s_(s) {}
    int Count() const override { return static_cast<int>(Open(s_).Layers().size()); }
    LayerPtr Item(int i) const override {
        const auto& all = Open(s_).Layers();
        if (i < 0 || static_cast<std::size_t>(i) >= all.size())
            throw AutomationError(kBadItem + std::to_string(i));
        return std::make_shared<NamedLayer>(all[i].name);
    }
    // An existing layer of that name (ignoring case) is returned as it is.
    LayerPtr Add(const std::string& name) override {
        HostDrawing& d = Open(s_);
        CheckName(name);
        return std::make_shared<NamedLayer>(d.AddLayer(name).name);
    }

private:
    HostState& s_;
};

class HostLinetypes final : public Linetypes {
public:
    explicit HostLinetypes(HostState& s) : s_(s) {}
    int Count() const override { return static_cast<int>(Open(s_).Linetypes().size()); }
    LinetypePtr Item(int i) const override {
        const auto& all = Open(s_).Linetypes();
        if (i < 0 || static_cast<std::size_t>(i) >= all.size())
            throw AutomationError(kBadItem + std::to_string(i));
        return std::make_shared<NamedLinetype>(all[i].name);
    }
    void Load(const std::string& name, const std::string& file) override {
        HostDrawing& d = Open(s_);
        if (file.empty()) throw AutomationError(kEmptyLinetypeFile);
        if (!BuiltInLinetype("HIDDEN", file)) throw AutomationError(kNoLinetypeFile + file);
        const std::optional<TLinetype> lt = BuiltInLinetype(name, file);
        if (!lt) throw AutomationError(kNoLinetypeInFile + name + " (" + file + ")");
        if (d.FindLinetype(name)) throw AutomationError(kLinetypeLoaded + name);
        d.Linetypes().push_back(*lt);
    }

private:
    HostState& s_;
};

class HostSelectionSets final : public SelectionSets {
public:
    explicit HostSelectionSets(std::shared_ptr<HostState>& s) : s_(s) {}
    int Count() const override {
        Open(*s_);
        return static_cast<int>(s_->sets.size());
    }
    SelectionSetPtr Item(int i) const override {
        Open(*s_);
        if (i < 0 || static_cast<std::size_t>(i) >= s_->sets.size())
            throw AutomationError(kBadItem + std::to_string(i));
        return s_->sets[i];
    }
    SelectionSetPtr Add(const std::string& name) override {
        Open(*s_);
        for (const SelectionSetPtr& set : s_->sets)
            if (EqualsNoCase(set->Name(), name)) throw AutomationError(kSetExists + name);
        s_->sets.push_back(std::make_shared<HostSelectionSet>(name, s_));
        return s_->sets.back();
    }

private:
    std::shared_ptr<HostState>& s_;
};

class HostUtility final : public Utility {
public:
    explicit HostUtility(HostState& s) : s_(s) {}

    void GetEntity(EntityPtr& entity, TAcadPoint& pickedPoint, const std::string& prompt) override {
        Open(s_);
        const TAnswer a = s_.Ask(AnswerKind::Entity, prompt);
        if (a.kind != AnswerKind::Entity) throw AutomationError(kCancelled);
        // The drawing is looked up again: it may have been closed or replaced while the user
        // answered.
        HostEntityPtr e = Open(s_).FindByHandle(a.handle);
        if (!e) throw AutomationError(kNoEntityPicked + a.handle);
        entity = std::move(e);
        pickedPoint = a.point;
    }

    TAcadPoint GetPoint(std::optional<TAcadPoint> /*base*/, const std::string& prompt) override {
        Open(s_);
        const TAnswer a = s_.Ask(AnswerKind::Point, prompt);
        if (a.kind != AnswerKind::Point) throw AutomationError(kCancelled);
        return a.point;
    }

    double GetAngle(std::optional<TAcadPoint> /*base*/, const std::string& prompt) override {
        Open(s_);
        const TAnswer a = s_.Ask(AnswerKind::Angle, prompt);
        if (a.kind != AnswerKind::Angle) throw AutomationError(kCancelled);
        return a.angle;
    }

    void Prompt(const std::string& text) override {
        Open(s_);
        s_.prompts.push_back(text);
    }

private:
    HostState& s_;
};

}  // namespace

class HostDocument final : public Document {
public:
    explicit HostDocument(std::shared_ptr<HostState>& s)
        : s_(s), blocks_(*s), layers_(*s), linetypes_(*s), sets_(s), utility_(*s) {}

    std::string Name() const override { return Open(*s_).Name(); }
    Block& ModelSpace() override { return Open(*s_).Model(); }
    zuka::Blocks& Blocks() override {
        Open(*s_);
        return blocks_;
    }
    zuka::Layers& Layers() override {
        Open(*s_);
        return layers_;
    }
    zuka::Linetypes& Linetypes() override {
        Open(*s_);
        return linetypes_;
    }
    zuka::SelectionSets& SelectionSets() override {
        Open(*s_);
        return sets_;
    }
    SelectionSetPtr ActiveSelectionSet() override {
        Open(*s_);
        if (!s_->active) s_->active = std::make_shared<HostSelectionSet>("", s_);
        return s_->active;
    }
    zuka::Utility& Utility() override {
        Open(*s_);
        return utility_;
    }
    void StartUndoMark() override {
        HostDrawing& d = Open(*s_);
        ++s_->undoStarted;
        if (s_->undoDepth++ == 0) s_->undoPending = d.Clone();
    }
    void EndUndoMark() override {
        HostDrawing& d = Open(*s_);
        ++s_->undoEnded;
        if (s_->undoDepth == 0 || --s_->undoDepth > 0) return;
        // One step per group that changed the drawing; a new step drops what was undone.
        if (s_->undoPending && !s_->undoPending->SameContent(d)) {
            s_->undoSteps.push_back(std::move(s_->undoPending));
            s_->redoSteps.clear();
            if (s_->undoSteps.size() > kUndoSteps) s_->undoSteps.erase(s_->undoSteps.begin());
        }
        s_->undoPending.reset();
    }
    void Regen(int /*which*/) override {
        Open(*s_);
        ++s_->regens;
    }
    void SendCommand(const std::string& text) override {
        Open(*s_);
        s_->commandLog.push_back(text);
        RunCommandText(*s_, text);
    }
    void SetVariable(const std::string& name, const CadValue& value) override {
        Open(*s_).Variables()[UpperAscii(name)] = value;
    }
    CadValue GetVariable(const std::string& name) const override {
        const auto& vars = Open(*s_).Variables();
        const auto it = vars.find(UpperAscii(name));
        if (it == vars.end()) throw AutomationError(kNoVariable + name);
        return it->second;
    }
    EntityPtr ObjectIDToObject(ObjectId id) override {
        HostEntityPtr e = Open(*s_).FindById(id);
        if (!e) throw AutomationError(kNoObject + std::to_string(id));
        return e;
    }

private:
    std::shared_ptr<HostState>& s_;
    HostBlocks blocks_;
    HostLayers layers_;
    HostLinetypes linetypes_;
    HostSelectionSets sets_;
    HostUtility utility_;
};

DrawingHost::DrawingHost(Interaction* interaction)
    : state_(std::make_shared<HostState>()), document_(std::make_unique<HostDocument>(state_)) {
    state_->interaction = interaction;
}

DrawingHost::~DrawingHost() = default;

namespace {

// The open drawing becomes `drawing`; the selection sets go with the drawing before.
void Swap(HostState& s, HostDrawingPtr drawing) {
    s.drawing = std::move(drawing);
    s.sets.clear();
    s.active.reset();
}

// Another drawing, or none: what could be undone belonged to the one before.
void Replace(HostState& s, HostDrawingPtr drawing) {
    Swap(s, std::move(drawing));
    s.undoDepth = 0;
    s.undoPending.reset();
    s.undoSteps.clear();
    s.redoSteps.clear();
}

}  // namespace

void DrawingHost::New(const std::string& name) {
    Replace(*state_, HostDrawing::Create(name));
    state_->lastLoad = TLoadReport{};
}

bool DrawingHost::Load(const std::filesystem::path& path, std::string& error) {
    TLoadReport report;
    HostDrawingPtr drawing = ReadDxfDrawing(path, error, report, state_->stop);
    if (!drawing) return false;
    Replace(*state_, std::move(drawing));
    state_->lastLoad = std::move(report);
    return true;
}

bool DrawingHost::Save(const std::filesystem::path& path, std::string& error,
                       const RunContext* stop) const {
    if (!state_->drawing) {
        error = kNoDrawing;
        return false;
    }
    return WriteDxfDrawing(*state_->drawing, path, error, state_->lastSave, stop);
}

void DrawingHost::Close() { Replace(*state_, nullptr); }

bool DrawingHost::CanUndo() const { return state_->drawing && !state_->undoSteps.empty(); }
bool DrawingHost::CanRedo() const { return state_->drawing && !state_->redoSteps.empty(); }

bool DrawingHost::Undo() {
    HostState& s = *state_;
    if (!CanUndo() || s.undoDepth > 0) return false;
    s.redoSteps.push_back(s.drawing);
    HostDrawingPtr before = std::move(s.undoSteps.back());
    s.undoSteps.pop_back();
    Swap(s, std::move(before));
    return true;
}

bool DrawingHost::Redo() {
    HostState& s = *state_;
    if (!CanRedo() || s.undoDepth > 0) return false;
    s.undoSteps.push_back(s.drawing);
    HostDrawingPtr after = std::move(s.redoSteps.back());
    s.redoSteps.pop_back();
    Swap(s, std::move(after));
    return true;
}
bool DrawingHost::IsOpen() const { return state_->drawing != nullptr; }
const TLoadReport& DrawingHost::LastLoad() const { return state_->lastLoad; }
const TSaveReport& DrawingHost::LastSave() const { return state_->lastSave; }
void DrawingHost::SetInteraction(Interaction* interaction) { state_->interaction = interaction; }

void DrawingHost::SetStop(const RunContext* stop) { state_->stop = stop; }

const std::vector<std::string>& DrawingHost::CommandLog() const { return state_->commandLog; }
const std::vector<std::string>& DrawingHost::CommandEcho() const { return state_->echo; }
const std::vector<std::string>& DrawingHost::PromptLog() const { return state_->prompts; }
int DrawingHost::UndoMarksStarted() const { return state_->undoStarted; }
int DrawingHost::UndoMarksEnded() const { return state_->undoEnded; }
int DrawingHost::Regens() const { return state_->regens; }
int DrawingHost::StateQueries(StateQuery which) const {
    return state_->stateQueries[static_cast<int>(which)];
}

std::intptr_t DrawingHost::HWND() const { return kHostWindow; }

Document& DrawingHost::ActiveDocument() {
    Open(*state_);
    return *document_;
}

CadStatePtr DrawingHost::GetAcadState() {
    ++state_->stateQueries[static_cast<int>(StateQuery::Acad)];
    return std::make_shared<QuiescentState>();
}

CadStatePtr DrawingHost::GetGcadState() {
    ++state_->stateQueries[static_cast<int>(StateQuery::Gcad)];
    return std::make_shared<QuiescentState>();
}

CadStatePtr DrawingHost::GetZcadState() {
    ++state_->stateQueries[static_cast<int>(StateQuery::Zcad)];
    return std::make_shared<QuiescentState>();
}

Application* HostConnector::GetActiveObject(const std::string& progId) {
    if (progId.empty()) throw AutomationError(kNoProgId + progId);
    return host_.IsOpen() ? &host_ : nullptr;
}

}  // namespace zuka

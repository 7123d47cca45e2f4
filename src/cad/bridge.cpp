#include "cad/bridge.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>

#include "base/number.h"
#include "base/text.h"

namespace zuka {
namespace {

const std::string kLinetypeLoadError = "線種ロードエラー";

// Loads HIDDEN from MM.LIN at the command line; FILEDIA is 0 meanwhile so that no file dialog
// opens.
const std::string kPcadLinetypeCommand = "-LINETYPE\rL\rHIDDEN\rMM.LIN\r\r";

const std::string kTempSelSetName = "ssTemp";
const std::string kBlockReference = "AcDbBlockReference";

constexpr int kRestoreWaitMs = 500;   // after restoring a minimised CAD window
constexpr int kEscapeWaitMs = 200;    // after the Escape that cancels the user's command
constexpr int kLinetypeWaitMs = 100;  // after the -LINETYPE command

// The first version of that product whose idle query is GetAcadState.
constexpr std::int64_t kGcadAcadStateVersion = 24;

struct TKindRow {
    std::string_view word;
    CadKind kind;
    std::string_view linetypeFile;
    std::string_view dashedLinetype;
};

// Searched in this order; the first word found decides.
constexpr TKindRow kKinds[] = {
    {"GCAD", CadKind::Gcad, "gcadiso.lin", "HIDDEN2"},
    {"PCAD", CadKind::Pcad, "MM.LIN", "HIDDEN"},
    {"AUTO", CadKind::Auto, "acadiso.lin", "HIDDEN2"},
    {"BRIC", CadKind::Bric, "iso.lin", "HIDDEN2"},
    {"ZWCA", CadKind::Zwcad, "zwcadiso.lin", "HIDDEN2"},
};

bool Contains(std::string_view text, std::string_view word) {
    return text.find(word) != std::string_view::npos;
}

// The decimal number after the last "." of a ProgID ("GCAD.Application.23" -> 23); 0 when the
// rest is no number or there is no ".".
std::int64_t ProgIdVersion(std::string_view progId) {
    const std::size_t dot = progId.rfind('.');
    if (dot == std::string_view::npos) return 0;
    const std::string_view rest = progId.substr(dot + 1);
    std::int64_t v = 0;
    const std::from_chars_result r = std::from_chars(rest.data(), rest.data() + rest.size(), v);
    if (rest.empty() || r.ec != std::errc() || r.ptr != rest.data() + rest.size()) return 0;
    return v;
}

// The integer that follows the prefix in a block name, 0 when the rest is no integer.
std::int64_t BlockNumber(std::string_view rest) {
    const std::optional<std::int64_t> v = ParseInteger(rest);
    // The largest value has no successor; it counts as no number rather than overflowing.
    if (!v || *v == std::numeric_limits<std::int64_t>::max()) return 0;
    return *v;
}

// The last entity of the drawing selected into the temporary set (mode 4, both points 0,0,0,
// no filter); `use` sees the set. The set is deleted afterwards whatever happens; automation
// errors give `failed`.
template <class T, class F>
T WithLastEntity(Document& doc, T failed, F use) {
    SelectionSetPtr ss = GetTempSelSet(doc);
    T result = failed;
    try {
        ss->Select(kSelectLast, TAcadPoint{}, TAcadPoint{});
        result = use(*ss);
    } catch (const AutomationError&) {
        result = failed;
    }
    try {
        ss->Delete();
    } catch (const AutomationError&) {
        // A set that cannot be deleted is emptied and reused by the next GetTempSelSet.
    }
    return result;
}

}  // namespace

CadKind KindOfProgId(std::string_view progId) {
    const std::string upper = UpperAscii(progId);
    for (const TKindRow& row : kKinds) {
        if (Contains(upper, row.word)) return row.kind;
    }
    return CadKind::Other;
}

std::string_view LinetypeFileOf(CadKind kind) {
    for (const TKindRow& row : kKinds) {
        if (row.kind == kind) return row.linetypeFile;
    }
    return {};
}

std::string_view DashedLinetypeOf(CadKind kind) {
    for (const TKindRow& row : kKinds) {
        if (row.kind == kind) return row.dashedLinetype;
    }
    return "HIDDEN2";
}

IdleQuery IdleQueryOf(std::string_view progId) {
    const std::string upper = UpperAscii(progId);
    if (Contains(upper, "GCAD")) {
        return ProgIdVersion(progId) < kGcadAcadStateVersion ? IdleQuery::GetGcadState
                                                             : IdleQuery::GetAcadState;
    }
    if (Contains(upper, "ZWCAD")) return IdleQuery::GetZcadState;
    return IdleQuery::GetAcadState;
}

void TCadUi::ShowMessage(const std::string& text) const {
    if (messageBox) messageBox(title, text);
}

void TCadUi::Minimise() const {
    if (minimiseMainWindow) minimiseMainWindow();
}

void TCadUi::Restore() const {
    if (restoreMainWindow) restoreMainWindow();
}

bool IsCadRunning(CadConnector& connector, const std::string& progId) {
    return connector.GetActiveObject(progId) != nullptr;
}

void ActivateCad(CadConnector& connector, Application& app) {
    const std::intptr_t hwnd = app.HWND();
    if (connector.IsIconic(hwnd)) {
        connector.Restore(hwnd);
        connector.Sleep(kRestoreWaitMs);
    }
    connector.SetForeground(hwnd);
    if (connector.Foreground() == hwnd) {
        connector.PressEscape();
        connector.Sleep(kEscapeWaitMs);
    }
}

void WaitCadIdle(CadConnector& connector, Application& app, std::string_view progId, int ms) {
    const IdleQuery query = IdleQueryOf(progId);
    const auto idle = [&] {
        CadStatePtr state;
        switch (query) {
            case IdleQuery::GetGcadState:
                state = app.GetGcadState();
                break;
            case IdleQuery::GetZcadState:
                state = app.GetZcadState();
                break;
            case IdleQuery::GetAcadState:
                state = app.GetAcadState();
                break;
        }
        if (!state) throw AutomationError("the CAD gave no idle state");
        return state->IsQuiescent();
    };
    connector.Sleep(ms);
    while (!idle()) connector.Sleep(ms);
    connector.Sleep(ms);
}

std::string EnsureHiddenLinetype(CadConnector& connector, Application& app, std::string_view progId,
                                 const TCadUi& ui) {
    const CadKind kind = KindOfProgId(progId);
    const std::string dashed(DashedLinetypeOf(kind));
    Document& doc = app.ActiveDocument();
    Linetypes& lts = doc.Linetypes();
    for (int i = 0; i < lts.Count(); ++i) {
        const std::string name = lts.Item(i)->Name();
        if (UpperAscii(name) == dashed) return name;
    }
    try {
        if (kind == CadKind::Pcad) {
            doc.SetVariable("FILEDIA", 0);
            doc.SendCommand(kPcadLinetypeCommand);
            connector.Sleep(kLinetypeWaitMs);
            doc.SetVariable("FILEDIA", 1);
            return {};
        }
        lts.Load(dashed, std::string(LinetypeFileOf(kind)));
        // The newly loaded linetype is the last one.
        return lts.Item(lts.Count() - 1)->Name();
    } catch (const AutomationError&) {
        ui.ShowMessage(kLinetypeLoadError);
        connector.SetForeground(app.HWND());
        return {};
    }
}

bool EnsureLayer(Application& app, const std::string& name) {
    Layers& layers = app.ActiveDocument().Layers();
    for (int i = 0; i < layers.Count(); ++i) {
        if (UpperAscii(layers.Item(i)->Name()) == name) return true;
    }
    layers.Add(name);
    return true;
}

std::string NextBlockName(Document& doc, std::string_view prefix) {
    const std::string upperPrefix = UpperAscii(prefix);
    Blocks& blocks = doc.Blocks();
    std::int64_t n = 0;
    for (int i = 0; i < blocks.Count(); ++i) {
        const std::string name = UpperAscii(blocks.Item(i)->Name());
        if (name.compare(0, upperPrefix.size(), upperPrefix) != 0) continue;
        n = std::max(n, BlockNumber(std::string_view(name).substr(upperPrefix.size())));
    }
    return std::string(prefix) + std::to_string(n + 1);
}

BlockPtr AddNewBlock(Document& doc, std::string_view prefix) {
    const std::string name = NextBlockName(doc, prefix);
    return doc.Blocks().Add(TAcadPoint{}, name);
}

void DeleteBlockDef(Document& doc, std::string_view name) {
    const std::string upperName = UpperAscii(name);
    Blocks& blocks = doc.Blocks();
    for (int i = 0; i < blocks.Count(); ++i) {
        BlockPtr block = blocks.Item(i);
        if (UpperAscii(block->Name()) != upperName) continue;
        try {
            block->Delete();
        } catch (const AutomationError&) {
            // A definition the CAD refuses to delete (still referenced) stays; nothing depends
            // on its removal.
        }
        return;
    }
}

SelectionSetPtr GetSelSet(Document& doc, const std::string& name) {
    SelectionSets& sets = doc.SelectionSets();
    for (int i = 0; i < sets.Count(); ++i) {
        SelectionSetPtr ss = sets.Item(i);
        if (ss->Name() == name) {
            ss->Clear();
            return ss;
        }
    }
    return sets.Add(name);
}

SelectionSetPtr GetTempSelSet(Document& doc) { return GetSelSet(doc, kTempSelSetName); }

ObjectId GetLastEntityId(Document& doc) {
    return WithLastEntity<ObjectId>(doc, 0, [](SelectionSet& ss) -> ObjectId {
        return ss.Count() > 0 ? ss.Item(0)->ObjectID() : 0;
    });
}

bool ExplodeLastInsert(Document& doc, std::string_view name, TAcadPoint& point) {
    return WithLastEntity<bool>(doc, false, [&](SelectionSet& ss) {
        if (ss.Count() == 0) return false;
        EntityPtr e = ss.Item(0);
        if (e->EntityName() != kBlockReference || e->Name() != name) return false;
        point = e->InsertionPoint();
        e->Explode();
        e->Delete();
        return true;
    });
}

int TMessageFilter::HandleInComingCall(std::uint32_t /*callType*/,
                                       std::uint32_t /*tickCount*/) const {
    return 0;
}

int TMessageFilter::RetryRejectedCall(std::uint32_t /*tickCount*/, std::uint32_t rejectType) const {
    return rejectType == kRejectRetryLater ? kRetryAfterMs : kCancelCall;
}

int TMessageFilter::MessagePending(std::uint32_t /*tickCount*/,
                                   std::uint32_t /*pendingType*/) const {
    return 1;
}

}  // namespace zuka

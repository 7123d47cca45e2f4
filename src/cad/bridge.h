// The CAD routines every command uses on top of the automation interface: find the running CAD,
// bring it to the front, wait until it is idle, make sure the dashed linetype and the output
// layers exist, name and create numbered block definitions, and find, explode and delete the
// entity a command has just inserted. They are the same whatever implements the interface.
//
// The supported CAD products differ in a few points (linetype file, dashed linetype name, idle
// query); they are told apart by words in the target CAD's ProgID.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "cad/automation.h"

namespace zuka {

// The CAD product, from the first of the words "GCAD", "PCAD", "AUTO", "BRIC", "ZWCA" found in
// the upper-cased ProgID, in that order; Other when none is there.
enum class CadKind { Gcad, Pcad, Auto, Bric, Zwcad, Other };

CadKind KindOfProgId(std::string_view progId);

// The linetype file the dashed linetype is loaded from: "gcadiso.lin", "MM.LIN", "acadiso.lin",
// "iso.lin", "zwcadiso.lin"; empty for Other.
std::string_view LinetypeFileOf(CadKind kind);

// The dashed linetype used for hidden edges: "HIDDEN" for Pcad, "HIDDEN2" for every other kind.
std::string_view DashedLinetypeOf(CadKind kind);

// Which application member answers whether the CAD is idle.
enum class IdleQuery { GetAcadState, GetGcadState, GetZcadState };

// The idle query of a ProgID, decided on its upper-cased text: with "GCAD", GetGcadState while
// the number after the last "." is below 24 (no number counts as 0), else GetAcadState; then
// with "ZWCAD", GetZcadState; else GetAcadState. (The order differs from KindOfProgId: a
// ProgID holding "ZWCA" but not "ZWCAD" polls GetAcadState.)
IdleQuery IdleQueryOf(std::string_view progId);

// What the CAD routines ask of the program's main window. Empty members do nothing.
struct TCadUi {
    std::string title;  // caption of message boxes: the application title
    std::function<void(const std::string& title, const std::string& text)> messageBox{};
    std::function<void()> minimiseMainWindow{};
    std::function<void()> restoreMainWindow{};
    // Told what the user is about to place (天空図, 三斜求積表, ...) before the CAD asks for its
    // insertion point, and told "" once it is placed: the window names it beside the prompt.
    std::function<void(const std::string& what)> placing{};

    void ShowMessage(const std::string& text) const;  // with `title` as caption
    void Minimise() const;
    void Restore() const;
    void Placing(const std::string& what) const {
        if (placing) placing(what);
    }
};

// True when an application is registered as running under progId. Automation errors (a ProgID
// that is not registered at all) pass to the caller.
bool IsCadRunning(CadConnector& connector, const std::string& progId);

// Brings the CAD's main window to the front (restoring it first, and waiting 500 ms, when it is
// minimised) and, when it did become the foreground window, presses Escape and waits 200 ms to
// cancel any command the user had started. Automation errors pass to the caller.
void ActivateCad(CadConnector& connector, Application& app);

// Sleeps ms, polls the progId's idle query every ms until the CAD reports quiescent, then sleeps
// ms once more. There is no time limit: it returns only when the CAD is idle. Sleeps go through
// the connector.
void WaitCadIdle(CadConnector& connector, Application& app, std::string_view progId, int ms);

// The name of the dashed linetype to use in the active drawing, loading it when the drawing has
// none of that name (case-insensitive; the name is returned as stored). The Pcad kind loads
// "HIDDEN" from "MM.LIN" with the -LINETYPE command (FILEDIA 0 meanwhile) and returns empty.
// A failed load shows "線種ロードエラー", brings the CAD window to the front and returns empty.
std::string EnsureHiddenLinetype(CadConnector& connector, Application& app, std::string_view progId,
                                 const TCadUi& ui);

// Adds the layer `name` to the active drawing unless a layer whose upper-cased name equals
// `name` exists. `name` itself is compared as given, so a name with lower-case letters never
// matches and is always added (the CAD answers Add for an existing name with that layer).
// Always true; automation errors pass to the caller.
bool EnsureLayer(Application& app, const std::string& name);

// The next free block name: prefix followed by n + 1, where n is the largest integer that
// follows the prefix in a block name beginning with it (both upper-cased); a rest that is no
// integer ("7a") counts as 0, and so does no such block. ZUKA_3, zuka_7a, ZUKA_12 -> ZUKA_13.
std::string NextBlockName(Document& doc, std::string_view prefix);

// A new block definition with origin 0,0,0 under NextBlockName(doc, prefix).
BlockPtr AddNewBlock(Document& doc, std::string_view prefix);

// Deletes the first block definition whose name equals `name` ignoring case; an error while
// deleting is ignored.
void DeleteBlockDef(Document& doc, std::string_view name);

// The document's selection set of that name (compared with its case), emptied, or a new one.
SelectionSetPtr GetSelSet(Document& doc, const std::string& name);
// The selection set "ssTemp", emptied, or a new one.
SelectionSetPtr GetTempSelSet(Document& doc);

// The object id of the last entity of the drawing, 0 when there is none or on an automation
// error. The temporary selection set is deleted afterwards.
ObjectId GetLastEntityId(Document& doc);

// When the last entity of the drawing is a reference of the block `name` (exact case): sets
// `point` to its insertion point, explodes it into model space, deletes the reference and
// returns true. False otherwise and on an automation error. The temporary selection set is
// deleted afterwards.
bool ExplodeLastInsert(Document& doc, std::string_view name, TAcadPoint& point);

// The retry policy for calls the busy CAD rejects: a rejected call is retried every second for
// as long as the CAD asks to be called again later, and cancelled otherwise. Registered as the
// thread's message filter while the main window exists; registering does nothing where calls
// do not go through the system's object broker (everywhere but Windows). On Windows it is
// installed with the system (cad/com/message_filter.cpp), elsewhere only recorded
// (message_filter_inproc.cpp).
class TMessageFilter {
public:
    static constexpr std::uint32_t kRejectRetryLater = 2;  // the callee asks to retry later
    static constexpr int kRetryAfterMs = 1000;
    static constexpr int kCancelCall = -1;

    // 0: the incoming call is handled.
    int HandleInComingCall(std::uint32_t callType = 0, std::uint32_t tickCount = 0) const;
    // kRetryAfterMs for kRejectRetryLater, kCancelCall for any other rejection.
    int RetryRejectedCall(std::uint32_t tickCount, std::uint32_t rejectType) const;
    // 1: wait without processing the pending message.
    int MessagePending(std::uint32_t tickCount = 0, std::uint32_t pendingType = 0) const;

    // Installs the filter, keeping the previous one in FOldFilter; RevokeFilter puts it back.
    void RegisterFilter();
    void RevokeFilter();
    bool Registered() const { return registered_; }

    void* FOldFilter = nullptr;

private:
    bool registered_ = false;
    void* filter_ = nullptr;  // the filter object the system holds, where there is one
    bool apartmentStarted_ = false;  // RegisterFilter joined the thread to an apartment
};

}  // namespace zuka

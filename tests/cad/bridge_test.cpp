#include "cad/bridge.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "cad/dxf_text.h"
#include "cad/host/drawing_host.h"
#include "cad/interaction.h"

namespace zuka {
namespace {

namespace fs = std::filesystem;

std::string UpperAscii(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

// Records the window calls and sleeps, in order.
class RecordingConnector : public CadConnector {
public:
    Application* GetActiveObject(const std::string&) override { return nullptr; }
    bool IsIconic(std::intptr_t) override { return iconic; }
    void Restore(std::intptr_t hwnd) override { log.push_back("restore " + std::to_string(hwnd)); }
    void SetForeground(std::intptr_t hwnd) override {
        log.push_back("front " + std::to_string(hwnd));
    }
    std::intptr_t Foreground() override { return foreground; }
    void PressEscape() override { log.push_back("escape"); }
    void Sleep(int ms) override {
        log.push_back("sleep " + std::to_string(ms));
        if (onSleep) onSleep();
    }

    bool iconic = false;
    std::intptr_t foreground = 0;
    std::vector<std::string> log;
    std::function<void()> onSleep;
};

class FixedState : public CadState {
public:
    explicit FixedState(bool quiet) : quiet_(quiet) {}
    bool IsQuiescent() const override { return quiet_; }

private:
    bool quiet_;
};

// An application window with handle 7 that turns idle after `busyPolls` polls, and logs which
// idle query was asked.
class PolledApplication : public Application {
public:
    std::intptr_t HWND() const override { return 7; }
    Document& ActiveDocument() override { throw AutomationError("no drawing"); }
    CadStatePtr GetAcadState() override { return Poll("acad"); }
    CadStatePtr GetGcadState() override { return Poll("gcad"); }
    CadStatePtr GetZcadState() override { return Poll("zcad"); }

    int busyPolls = 0;
    std::vector<std::string> polls;

private:
    CadStatePtr Poll(const char* which) {
        polls.push_back(which);
        return std::make_shared<FixedState>(static_cast<int>(polls.size()) > busyPolls);
    }
};

TEST(CadKind, TableByProgId) {
    struct Row {
        const char* progId;
        CadKind kind;
        const char* linetypeFile;
        const char* dashed;
    };
    const Row rows[] = {
        {"GCAD.Application.23", CadKind::Gcad, "gcadiso.lin", "HIDDEN2"},
        {"pcad.application", CadKind::Pcad, "MM.LIN", "HIDDEN"},
        {"AutoCAD.Application.24", CadKind::Auto, "acadiso.lin", "HIDDEN2"},
        {"BricscadApp.AcadApplication", CadKind::Bric, "iso.lin", "HIDDEN2"},
        {"ZWCAD.Application", CadKind::Zwcad, "zwcadiso.lin", "HIDDEN2"},
        {"Some.Application", CadKind::Other, "", "HIDDEN2"},
        // The first word of the list wins, not the first in the text.
        {"AUTO.GCAD", CadKind::Gcad, "gcadiso.lin", "HIDDEN2"},
        {"ZWCAx.PCAD", CadKind::Pcad, "MM.LIN", "HIDDEN"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.progId);
        const CadKind kind = KindOfProgId(r.progId);
        EXPECT_EQ(kind, r.kind);
        EXPECT_EQ(LinetypeFileOf(kind), r.linetypeFile);
        EXPECT_EQ(DashedLinetypeOf(kind), r.dashed);
    }
}

TEST(CadKind, IdleQuery) {
    struct Row {
        const char* progId;
        IdleQuery want;
    };
    const Row rows[] = {
        {"GCAD.Application.23", IdleQuery::GetGcadState},
        {"GCAD.Application.24", IdleQuery::GetAcadState},
        {"gcad.application.100", IdleQuery::GetAcadState},
        {"GCAD.Application", IdleQuery::GetGcadState},  // no number counts as 0
        {"GCAD", IdleQuery::GetGcadState},
        {"GCAD.Application.24a", IdleQuery::GetGcadState},  // no number
        {"ZWCAD.Application.2024", IdleQuery::GetZcadState},
        {"zwcad.application", IdleQuery::GetZcadState},
        // The kind is ZWCAD but the idle test looks for the longer word.
        {"ZWCA.Application", IdleQuery::GetAcadState},
        // The idle test looks for "GCAD" before "ZWCAD".
        {"ZWCAD.GCAD.30", IdleQuery::GetAcadState},
        {"AutoCAD.Application.24", IdleQuery::GetAcadState},
        {"PCAD.Application", IdleQuery::GetAcadState},
        {"", IdleQuery::GetAcadState},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.progId);
        EXPECT_EQ(IdleQueryOf(r.progId), r.want);
    }
}

TEST(ActivateCad, WindowCalls) {
    struct Row {
        const char* name;
        bool iconic;
        std::intptr_t foreground;
        std::vector<std::string> want;
    };
    const Row rows[] = {
        {"in front", false, 7, {"front 7", "escape", "sleep 200"}},
        {"minimised", true, 7, {"restore 7", "sleep 500", "front 7", "escape", "sleep 200"}},
        // Another window kept the front: no key press goes to it.
        {"front refused", false, 3, {"front 7"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        RecordingConnector connector;
        connector.iconic = r.iconic;
        connector.foreground = r.foreground;
        PolledApplication app;
        ActivateCad(connector, app);
        EXPECT_EQ(connector.log, r.want);
    }
}

TEST(WaitCadIdle, PollsTheKindsQueryUntilQuiescent) {
    struct Row {
        const char* progId;
        int busyPolls;
        std::vector<std::string> wantPolls;
    };
    const Row rows[] = {
        {"GCAD.Application.23", 0, {"gcad"}},
        {"GCAD.Application.24", 2, {"acad", "acad", "acad"}},
        {"ZWCAD.Application", 1, {"zcad", "zcad"}},
        {"AutoCAD.Application", 0, {"acad"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.progId);
        RecordingConnector connector;
        PolledApplication app;
        app.busyPolls = r.busyPolls;
        WaitCadIdle(connector, app, r.progId, 100);
        EXPECT_EQ(app.polls, r.wantPolls);
        // One sleep before the first poll, one after each busy answer, one at the end.
        EXPECT_EQ(connector.log, std::vector<std::string>(r.busyPolls + 2, "sleep 100"));
    }
}

TEST(MessageFilter, RetriesOnlyWhenAskedToRetryLater) {
    TMessageFilter filter;
    EXPECT_EQ(filter.HandleInComingCall(), 0);
    EXPECT_EQ(filter.RetryRejectedCall(0, 2), 1000);
    EXPECT_EQ(filter.RetryRejectedCall(5000, 2), 1000);  // for as long as the CAD asks
    EXPECT_EQ(filter.RetryRejectedCall(0, 1), -1);       // rejected outright
    EXPECT_EQ(filter.RetryRejectedCall(0, 0), -1);
    EXPECT_EQ(filter.MessagePending(), 1);

    filter.RegisterFilter();
    EXPECT_TRUE(filter.Registered());
    filter.RevokeFilter();
    EXPECT_FALSE(filter.Registered());
    EXPECT_EQ(filter.FOldFilter, nullptr);
}

// A drawing open in the host, a scripted user and a recorder of message boxes.
class BridgeHost : public ::testing::Test {
protected:
    void SetUp() override {
        host_.New();
        ui_.title = "Zuka2025.01.30 Beta";
        ui_.messageBox = [this](const std::string& title, const std::string& text) {
            messages_.push_back({title, text});
        };
    }

    Document& Doc() { return host_.ActiveDocument(); }

    std::vector<std::string> LinetypeNames() {
        std::vector<std::string> names;
        Linetypes& lts = Doc().Linetypes();
        for (int i = 0; i < lts.Count(); ++i) names.push_back(lts.Item(i)->Name());
        return names;
    }

    std::vector<std::string> BlockNames() {
        std::vector<std::string> names;
        for (int i = 0; i < Doc().Blocks().Count(); ++i)
            names.push_back(Doc().Blocks().Item(i)->Name());
        return names;
    }

    // Opens a drawing whose linetype table holds `name` (as written) and nothing else.
    void LoadDrawingWithLinetype(const std::string& name) {
        const fs::path path = fs::temp_directory_path() /
                              ("zuka_bridge_" + std::to_string(getpid()) + "_ltype.dxf");
        const DxfList dxf = {
            std::string(kDxfHeader), std::string(kDxfTablesStart), "  2\r\nLTYPE",
            "  0\r\nLTYPE\r\n  2\r\n" + name + "\r\n 70\r\n     0",
            "  3\r\n__ __ __", " 72\r\n    65\r\n 73\r\n     2",
            " 40\r\n4.7625\r\n 49\r\n3.175\r\n 49\r\n-1.5875", "  0\r\nENDTAB",
            std::string(kDxfTablesEnd), std::string(kDxfEntitiesStart),
            std::string(kDxfFileEnd)};
        ASSERT_TRUE(SaveDxfList(dxf, path));
        std::string error;
        ASSERT_TRUE(host_.Load(path, error)) << error;
        fs::remove(path);
    }

    struct TMessage {
        std::string title;
        std::string text;
        bool operator==(const TMessage&) const = default;
    };

    ScriptedInteraction user_;
    DrawingHost host_{&user_};
    HostConnector connector_{host_};
    TCadUi ui_;
    std::vector<TMessage> messages_;
};

TEST_F(BridgeHost, IsCadRunningWhileADrawingIsOpen) {
    EXPECT_TRUE(IsCadRunning(connector_, "AutoCAD.Application"));
    host_.Close();
    EXPECT_FALSE(IsCadRunning(connector_, "AutoCAD.Application"));
    // A ProgID no server is registered under is an error for the caller.
    EXPECT_THROW(IsCadRunning(connector_, ""), AutomationError);
}

TEST_F(BridgeHost, ActivateCadCancelsTheUsersCommand) {
    ActivateCad(connector_, host_);
    EXPECT_EQ(connector_.Foreground(), host_.HWND());
    EXPECT_EQ(connector_.EscapePresses(), 1);
}

TEST_F(BridgeHost, WaitCadIdleAsksTheProductsQuery) {
    WaitCadIdle(connector_, host_, "GCAD.Application.23", 100);
    WaitCadIdle(connector_, host_, "GCAD.Application.24", 100);
    WaitCadIdle(connector_, host_, "ZWCAD.Application", 100);
    EXPECT_EQ(host_.StateQueries(StateQuery::Gcad), 1);
    EXPECT_EQ(host_.StateQueries(StateQuery::Acad), 1);
    EXPECT_EQ(host_.StateQueries(StateQuery::Zcad), 1);
    EXPECT_EQ(connector_.SleptMs(), 3 * 200);  // before the first poll and after the idle one
}

// The drawing holds hidden2 in lower case: its name comes back as stored and nothing loads.
TEST_F(BridgeHost, HiddenLinetypePresentIsUsedAsStored) {
    LoadDrawingWithLinetype("hidden2");
    const std::vector<std::string> before = LinetypeNames();
    EXPECT_EQ(EnsureHiddenLinetype(connector_, host_, "AutoCAD.Application.24", ui_), "hidden2");
    EXPECT_EQ(LinetypeNames(), before);
    EXPECT_TRUE(messages_.empty());
}

// Each product loads its dashed linetype from its own file, once.
TEST_F(BridgeHost, HiddenLinetypeLoadedFromTheProductsFile) {
    const char* const progIds[] = {"GCAD.Application.23", "AutoCAD.Application.24",
                                   "BricscadApp.AcadApplication", "ZWCAD.Application"};
    for (const char* progId : progIds) {
        SCOPED_TRACE(progId);
        host_.New();
        const std::size_t count = LinetypeNames().size();
        const std::string name = EnsureHiddenLinetype(connector_, host_, progId, ui_);
        EXPECT_EQ(UpperAscii(name), "HIDDEN2");
        EXPECT_EQ(LinetypeNames().size(), count + 1);
        EXPECT_EQ(EnsureHiddenLinetype(connector_, host_, progId, ui_), name);
        EXPECT_EQ(LinetypeNames().size(), count + 1);
    }
    EXPECT_TRUE(messages_.empty());
}

// A ProgID with none of the words has no linetype file: the load fails and the user is told.
TEST_F(BridgeHost, HiddenLinetypeWithoutFileShowsTheError) {
    const std::vector<std::string> before = LinetypeNames();
    EXPECT_EQ(EnsureHiddenLinetype(connector_, host_, "Drafter.Application", ui_), "");
    const std::vector<TMessage> want = {{"Zuka2025.01.30 Beta", "線種ロードエラー"}};
    EXPECT_EQ(messages_, want);
    EXPECT_EQ(connector_.Foreground(), host_.HWND());
    EXPECT_EQ(LinetypeNames(), before);
}

// That product loads HIDDEN from MM.LIN at the command line with the file dialog off, and
// answers empty the first time; the next call finds the loaded linetype.
TEST_F(BridgeHost, HiddenLinetypeThroughTheCommandLine) {
    EXPECT_EQ(EnsureHiddenLinetype(connector_, host_, "PCAD.Application", ui_), "");
    const std::vector<std::string> wantLog = {"-LINETYPE\rL\rHIDDEN\rMM.LIN\r\r"};
    EXPECT_EQ(host_.CommandLog(), wantLog);
    EXPECT_TRUE(std::holds_alternative<int>(Doc().GetVariable("FILEDIA")));
    EXPECT_EQ(std::get<int>(Doc().GetVariable("FILEDIA")), 1);
    EXPECT_EQ(UpperAscii(EnsureHiddenLinetype(connector_, host_, "PCAD.Application", ui_)),
              "HIDDEN");
    EXPECT_EQ(host_.CommandLog().size(), 1u);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(BridgeHost, EnsureLayerAddsOnlyMissingLayers) {
    Layers& layers = Doc().Layers();
    const int before = layers.Count();
    EXPECT_TRUE(EnsureLayer(host_, "KAGE"));
    EXPECT_EQ(layers.Count(), before + 1);
    EXPECT_EQ(layers.Item(layers.Count() - 1)->Name(), "KAGE");
    EXPECT_TRUE(EnsureLayer(host_, "KAGE"));
    // A lower-case name never matches the upper-cased names; the CAD's Add then answers the
    // existing layer, so the table does not grow.
    EXPECT_TRUE(EnsureLayer(host_, "kage"));
    EXPECT_EQ(layers.Count(), before + 1);
}

TEST_F(BridgeHost, NextBlockNameAfterTheHighestNumber) {
    struct Row {
        const char* name;
        std::vector<std::string> blocks;
        const char* prefix;
        const char* want;
    };
    const Row rows[] = {
        {"highest wins, 7a is 0", {"ZUKA_3", "zuka_7a", "ZUKA_12"}, "ZUKA_", "ZUKA_13"},
        {"none with the prefix", {"ABC_99", "ZUK_5"}, "ZUKA_", "ZUKA_1"},
        {"empty drawing", {}, "ZUKA_", "ZUKA_1"},
        {"bare prefix and negatives", {"ZUKA_", "ZUKA_-8"}, "ZUKA_", "ZUKA_1"},
        {"prefix kept as given", {"ZUKA_2"}, "zuka_", "zuka_3"},
        {"large numbers", {"ZUKA_4294967296"}, "ZUKA_", "ZUKA_4294967297"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        host_.New();
        for (const std::string& b : r.blocks) Doc().Blocks().Add({}, b);
        EXPECT_EQ(NextBlockName(Doc(), r.prefix), r.want);
    }
}

TEST_F(BridgeHost, AddNewBlockTakesTheNextName) {
    Doc().Blocks().Add({}, "ZUKA_4");
    BlockPtr block = AddNewBlock(Doc(), "ZUKA_");
    EXPECT_EQ(block->Name(), "ZUKA_5");
    EXPECT_EQ(block->Count(), 0);
    EXPECT_EQ(NextBlockName(Doc(), "ZUKA_"), "ZUKA_6");
}

TEST_F(BridgeHost, DeleteBlockDefIgnoresCaseAndErrors) {
    Doc().Blocks().Add({}, "ZUKA_1");
    Doc().Blocks().Add({}, "ZUKA_2");
    DeleteBlockDef(Doc(), "zuka_2");
    EXPECT_EQ(BlockNames(), std::vector<std::string>{"ZUKA_1"});
    DeleteBlockDef(Doc(), "ZUKA_9");
    EXPECT_EQ(BlockNames(), std::vector<std::string>{"ZUKA_1"});

    // A referenced definition the CAD refuses to delete: no error reaches the caller.
    Doc().Blocks().Item(0)->AddLine({0, 0, 0}, {1, 0, 0});
    Doc().SendCommand("-INSERT\rZUKA_1\r0,0 1 1 0\r");
    ASSERT_EQ(Doc().ModelSpace().Count(), 1);
    EXPECT_NO_THROW(DeleteBlockDef(Doc(), "ZUKA_1"));
}

TEST_F(BridgeHost, TempSelectionSetIsReusedEmpty) {
    Doc().ModelSpace().AddLine({0, 0, 0}, {1, 0, 0});
    SelectionSetPtr ss = GetTempSelSet(Doc());
    EXPECT_EQ(ss->Name(), "ssTemp");
    ss->Select(kSelectAll, {}, {});
    ASSERT_EQ(ss->Count(), 1);
    SelectionSetPtr again = GetTempSelSet(Doc());
    EXPECT_EQ(again->Name(), "ssTemp");
    EXPECT_EQ(again->Count(), 0);
    EXPECT_EQ(Doc().SelectionSets().Count(), 1);
}

TEST_F(BridgeHost, LastEntityId) {
    EXPECT_EQ(GetLastEntityId(Doc()), 0);
    Doc().ModelSpace().AddLine({0, 0, 0}, {1, 0, 0});
    EntityPtr circle = Doc().ModelSpace().AddCircle({0, 0, 0}, 5);
    const ObjectId circleId = circle->ObjectID();
    EXPECT_EQ(GetLastEntityId(Doc()), circleId);
    // The temporary set does not stay behind.
    EXPECT_EQ(Doc().SelectionSets().Count(), 0);
    circle->Delete();
    EXPECT_NE(GetLastEntityId(Doc()), 0);
    EXPECT_NE(GetLastEntityId(Doc()), circleId);
}

// Only a reference of the named block (exact case) as the last entity is exploded.
TEST_F(BridgeHost, ExplodeLastInsert) {
    BlockPtr block = Doc().Blocks().Add({}, "ZUKA_1");
    block->AddLine({0, 0, 0}, {10, 0, 0});
    Doc().Blocks().Add({}, "OTHER")->AddCircle({0, 0, 0}, 1);

    TAcadPoint point{-1, -1, -1};
    EXPECT_FALSE(ExplodeLastInsert(Doc(), "ZUKA_1", point));  // empty drawing

    Doc().SendCommand("-INSERT\rOTHER\r5,5 1 1 0\r");
    EXPECT_FALSE(ExplodeLastInsert(Doc(), "ZUKA_1", point));

    Doc().SendCommand("-INSERT\rZUKA_1\r100,200 1 1 90\r");
    EXPECT_FALSE(ExplodeLastInsert(Doc(), "zuka_1", point));
    EXPECT_EQ(point.x, -1);
    EXPECT_TRUE(ExplodeLastInsert(Doc(), "ZUKA_1", point));
    EXPECT_EQ(point.x, 100);
    EXPECT_EQ(point.y, 200);
    EXPECT_EQ(Doc().SelectionSets().Count(), 0);

    // OTHER's reference stays; ZUKA_1's is replaced by its line, turned 90 degrees.
    ASSERT_EQ(Doc().ModelSpace().Count(), 2);
    EXPECT_EQ(Doc().ModelSpace().Item(0)->EntityName(), "AcDbBlockReference");
    EntityPtr line = Doc().ModelSpace().Item(1);
    ASSERT_EQ(line->EntityName(), "AcDbLine");
    EXPECT_NEAR(line->EndPoint().x, 100, 1e-9);
    EXPECT_NEAR(line->EndPoint().y, 210, 1e-9);
    // The last entity is now the line: nothing more to explode.
    EXPECT_FALSE(ExplodeLastInsert(Doc(), "ZUKA_1", point));
}

}  // namespace
}  // namespace zuka

#include "cad/insert.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "cad/bridge.h"
#include "cad/dxf_text.h"
#include "cad/host/drawing_host.h"
#include "cad/interaction.h"
#include "file_bytes.h"

namespace zuka {
namespace {

namespace fs = std::filesystem;

constexpr double kTol = 1e-9;
constexpr double kRad = std::numbers::pi / 180;

using zuka::testing::ReadBytes;

bool StartsWith(const std::string& s, std::string_view prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& s, std::string_view suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool HasBlock(Document& doc, const std::string& name) {
    for (int i = 0; i < doc.Blocks().Count(); ++i) {
        if (doc.Blocks().Item(i)->Name() == name) return true;
    }
    return false;
}

int CountOf(Block& space, const std::string& entityName) {
    int n = 0;
    for (int i = 0; i < space.Count(); ++i) n += space.Item(i)->EntityName() == entityName;
    return n;
}

void ExpectPoint(TAcadPoint got, TAcadPoint want) {
    EXPECT_NEAR(got.x, want.x, kTol);
    EXPECT_NEAR(got.y, want.y, kTol);
    EXPECT_NEAR(got.z, want.z, kTol);
}

// A drawing open in the host, a scripted user, a fresh work folder and a main window that
// counts how often it was minimised and restored.
class InsertTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("zuka_insert_" + std::to_string(getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        host_.New();
        ui_.title = "Zuka2025.01.30 Beta";
        ui_.messageBox = [this](const std::string&, const std::string& text) {
            messages_.push_back(text);
        };
        ui_.minimiseMainWindow = [this] { ++minimised_; };
        ui_.restoreMainWindow = [this] { ++restored_; };
    }
    void TearDown() override { fs::remove_all(dir_); }

    Document& Doc() { return host_.ActiveDocument(); }
    TCadTarget Target(const std::string& progId = "AutoCAD.Application.24") {
        return {connector_, host_, Doc(), progId};
    }
    TDxfOutput Output() const { return {dir_, DxfEncoding::Cp932}; }

    // A drawing list with one LINE on layer KAGE from (0,0) to (1000,0), ready for its end.
    static DxfList OneLine() {
        DxfList dxf;
        StartDxfFile(dxf);
        DxfWriter(dxf).Line("KAGE", 0.0, 0.0, 1000.0, 0.0);
        return dxf;
    }

    fs::path dir_;
    ScriptedInteraction user_;
    DrawingHost host_{&user_};
    HostConnector connector_{host_};
    TCadUi ui_;
    std::vector<std::string> messages_;
    int minimised_ = 0;
    int restored_ = 0;
};

// A drawing whose block table holds ZUKA_4 gets ZUKA_5.dxf, inserted exploded at 0,0 with
// scale 1 and rotation 0, and the file is a complete R12 text.
TEST_F(InsertTest, ExplodedAtOriginUsesNextNumber) {
    Doc().Blocks().Add({}, "ZUKA_4");
    DxfList dxf = OneLine();
    const TInsertResult r =
        InsertDxfBlock(dxf, Target(), Output(), ui_, InsertVariant::ExplodedOrigin);

    EXPECT_EQ(r.status, InsertStatus::Sent);
    EXPECT_EQ(r.blockName, "ZUKA_5");
    EXPECT_EQ(r.file, dir_ / "ZUKA_5.dxf");
    ASSERT_TRUE(fs::exists(r.file));
    const std::vector<std::string> wantLog = {"-INSERT\r\"*" + r.file.string() + "\"\r0,0 1 0\r"};
    EXPECT_EQ(host_.CommandLog(), wantLog);

    const std::string bytes = ReadBytes(r.file);
    EXPECT_TRUE(StartsWith(bytes, "  0\r\nSECTION\r\n"));
    EXPECT_TRUE(EndsWith(bytes, "\r\nENDSEC\r\n  0\r\nEOF\r\n"));

    // The line landed in model space unchanged; nothing stays minimised.
    ASSERT_EQ(Doc().ModelSpace().Count(), 1);
    EntityPtr line = Doc().ModelSpace().Item(0);
    EXPECT_EQ(line->EntityName(), "AcDbLine");
    EXPECT_EQ(line->Layer(), "KAGE");
    ExpectPoint(line->StartPoint(), {0, 0, 0});
    ExpectPoint(line->EndPoint(), {1000, 0, 0});
    EXPECT_EQ(CountOf(Doc().ModelSpace(), "AcDbBlockReference"), 0);
    EXPECT_EQ(minimised_, 0);
    EXPECT_TRUE(messages_.empty());
}

// Each exploded variant puts the line (0,0)-(1000,0) where its answers say.
TEST_F(InsertTest, ExplodedVariantsLandAtPointAndRotation) {
    struct Row {
        const char* name;
        InsertVariant variant;
        TAcadPoint at;
        double rotDeg;
        TAcadPoint wantStart;
        TAcadPoint wantEnd;
    };
    const Row rows[] = {
        {"equal-time at origin", InsertVariant::ExplodedOriginEqualTime, {}, 0, {0, 0, 0},
         {1000, 0, 0}},
        {"boundary at origin", InsertVariant::ExplodedOriginBoundary, {}, 0, {0, 0, 0},
         {1000, 0, 0}},
        {"map centre", InsertVariant::ExplodedMapCentre, {100, 200, 0}, 0, {100, 200, 0},
         {1100, 200, 0}},
        {"at point, turned 90", InsertVariant::ExplodedAtPoint, {100, 200, 0}, 90,
         {100, 200, 0}, {100, 1200, 0}},
        {"at point, turned -45.5", InsertVariant::ExplodedAtPoint, {-3.25, 7.5, 0}, -45.5,
         {-3.25, 7.5, 0},
         {-3.25 + 1000 * std::cos(-45.5 * kRad), 7.5 + 1000 * std::sin(-45.5 * kRad), 0}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        host_.New();
        const std::size_t logged = host_.CommandLog().size();
        DxfList dxf = OneLine();
        const TInsertResult res =
            InsertDxfBlock(dxf, Target(), Output(), ui_, r.variant, r.at, r.rotDeg);
        EXPECT_EQ(res.status, InsertStatus::Sent);
        ASSERT_EQ(host_.CommandLog().size(), logged + 1);
        EXPECT_EQ(host_.CommandLog().back(),
                  InsertCommandText(r.variant, res.file.string(), r.at.x, r.at.y, r.rotDeg));
        ASSERT_EQ(Doc().ModelSpace().Count(), 1);
        EntityPtr line = Doc().ModelSpace().Item(0);
        ASSERT_EQ(line->EntityName(), "AcDbLine");
        ExpectPoint(line->StartPoint(), r.wantStart);
        ExpectPoint(line->EndPoint(), r.wantEnd);
    }
}

// The host, like a CAD, keeps a definition of each inserted file. A ProgID with "PCAD" (as
// written) waits for the idle CAD and deletes it; the check is case-sensitive, so "pcad" does
// not.
TEST_F(InsertTest, PcadCleanUpDeletesTheDefinition) {
    struct Row {
        const char* progId;
        bool cleanUp;
    };
    const Row rows[] = {
        {"PCAD.Application", true},
        {"IntelliPCAD.Application.1", true},
        {"pcad.application", false},
        {"AutoCAD.Application.24", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.progId);
        host_.New();
        const int queriesBefore = host_.StateQueries(StateQuery::Acad);
        DxfList dxf = OneLine();
        const TInsertResult res =
            InsertDxfBlock(dxf, Target(r.progId), Output(), ui_, InsertVariant::ExplodedOrigin);
        ASSERT_EQ(res.status, InsertStatus::Sent);
        EXPECT_EQ(host_.StateQueries(StateQuery::Acad) > queriesBefore, r.cleanUp);
        EXPECT_EQ(HasBlock(Doc(), res.blockName), !r.cleanUp);
        EXPECT_EQ(Doc().ModelSpace().Count(), 1);
    }
}

TEST_F(InsertTest, PlacedByUserIsExplodedAtThePickedPoint) {
    user_.PushPoint({5000, 6000, 0});
    DxfList dxf = OneLine();
    const ObjectId before = GetLastEntityId(Doc());
    const TInsertResult r =
        InsertDxfBlock(dxf, Target(), Output(), ui_, InsertVariant::PlacedRotated, {}, 90);

    EXPECT_EQ(r.status, InsertStatus::Placed);
    ASSERT_TRUE(r.point);
    ExpectPoint(*r.point, {5000, 6000, 0});
    const std::vector<std::string> wantLog = {
        "-INSERT\r\"" + r.file.string() + "\"\rS\r1.0\rR\r90.000000000000\r"};
    EXPECT_EQ(host_.CommandLog(), wantLog);
    // The reference is replaced by its parts, and the definition is gone.
    EXPECT_NE(GetLastEntityId(Doc()), before);
    EXPECT_EQ(CountOf(Doc().ModelSpace(), "AcDbBlockReference"), 0);
    ASSERT_EQ(CountOf(Doc().ModelSpace(), "AcDbLine"), 1);
    EntityPtr line = Doc().ModelSpace().Item(Doc().ModelSpace().Count() - 1);
    ExpectPoint(line->StartPoint(), {5000, 6000, 0});
    ExpectPoint(line->EndPoint(), {5000, 7000, 0});
    EXPECT_FALSE(HasBlock(Doc(), r.blockName));
    // The main window was out of the way while the user picked, and came back.
    EXPECT_EQ(minimised_, 1);
    EXPECT_EQ(restored_, 1);
}

// Escape at the insertion point adds nothing, keeps the last entity and the definition.
TEST_F(InsertTest, PlacedByUserCancelledLeavesTheDefinition) {
    Doc().ModelSpace().AddLine({0, 0, 0}, {1, 1, 0});
    const ObjectId before = GetLastEntityId(Doc());
    ASSERT_NE(before, 0);
    user_.PushEscape();
    DxfList dxf = OneLine();
    const TInsertResult r =
        InsertDxfBlock(dxf, Target(), Output(), ui_, InsertVariant::PlacedTable);

    EXPECT_EQ(r.status, InsertStatus::NotPlaced);
    EXPECT_FALSE(r.point);
    EXPECT_EQ(GetLastEntityId(Doc()), before);
    EXPECT_EQ(Doc().ModelSpace().Count(), 1);
    EXPECT_TRUE(HasBlock(Doc(), r.blockName));
    EXPECT_EQ(minimised_, 1);
    EXPECT_EQ(restored_, 1);
}

// The lasting wall-shadow block stays a reference of ZUKA_n at the point.
TEST_F(InsertTest, BlockAtPointStaysABlock) {
    DxfList dxf = OneLine();
    const TInsertResult r = InsertDxfBlock(dxf, Target(), Output(), ui_,
                                           InsertVariant::BlockAtPoint, {300, 400, 0}, 0);
    EXPECT_EQ(r.status, InsertStatus::Sent);
    ASSERT_EQ(Doc().ModelSpace().Count(), 1);
    EntityPtr ref = Doc().ModelSpace().Item(0);
    EXPECT_EQ(ref->EntityName(), "AcDbBlockReference");
    EXPECT_EQ(ref->Name(), r.blockName);
    ExpectPoint(ref->InsertionPoint(), {300, 400, 0});
    EXPECT_TRUE(HasBlock(Doc(), r.blockName));
    EXPECT_EQ(minimised_, 0);
}

// Placed by the user and kept: the reference stays where the user put it, with its block.
TEST_F(InsertTest, PlacedWallBlockStaysABlock) {
    user_.PushPoint({700, 800, 0});
    DxfList dxf = OneLine();
    const TInsertResult r =
        InsertDxfBlock(dxf, Target(), Output(), ui_, InsertVariant::PlacedWallBlock);
    EXPECT_EQ(r.status, InsertStatus::Placed);
    ASSERT_TRUE(r.point);
    ExpectPoint(*r.point, {700, 800, 0});
    ASSERT_EQ(Doc().ModelSpace().Count(), 1);
    EXPECT_EQ(Doc().ModelSpace().Item(0)->EntityName(), "AcDbBlockReference");
    EXPECT_TRUE(HasBlock(Doc(), r.blockName));
    EXPECT_EQ(minimised_, 1);
    EXPECT_EQ(restored_, 1);
}

// A work folder that cannot take the file: the caller learns it, the CAD gets nothing.
TEST_F(InsertTest, FailedSaveSendsNothing) {
    DxfList dxf = OneLine();
    const TInsertResult r = InsertDxfBlock(dxf, Target(), {dir_ / "missing" / "folder"}, ui_,
                                           InsertVariant::PlacedWall);
    EXPECT_EQ(r.status, InsertStatus::NotSaved);
    EXPECT_TRUE(host_.CommandLog().empty());
    EXPECT_EQ(minimised_, 0);
    EXPECT_EQ(Doc().ModelSpace().Count(), 0);
}

// The file is written in the chosen code page and the text arrives in the drawing unchanged.
TEST_F(InsertTest, TextKeepsItsCharactersInEitherCodePage) {
    struct Row {
        const char* name;
        DxfEncoding encoding;
        std::string text;
        bool utf8Bytes;        // the file holds the text's UTF-8 bytes
        std::size_t replaced;  // characters the code page lacks
        std::string landed;
    };
    const Row rows[] = {
        {"CP932", DxfEncoding::Cp932, "時刻 8:00", false, 0, "時刻 8:00"},
        {"UTF-8", DxfEncoding::Utf8, "時刻 8:00", true, 0, "時刻 8:00"},
        {"CP932 lacks it", DxfEncoding::Cp932, "影\xF0\x9F\x98\x80", false, 1, "影?"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        host_.New();
        DxfList dxf;
        StartDxfFile(dxf);
        TDxfText t;
        t.at = {10.0, 20.0, 0.0};
        t.height = "250";
        t.text = r.text;
        DxfWriter(dxf).Text("MOJI", t);
        const TInsertResult res = InsertDxfBlock(dxf, Target(), {dir_, r.encoding}, ui_,
                                                 InsertVariant::ExplodedOrigin);
        ASSERT_EQ(res.status, InsertStatus::Sent);
        EXPECT_EQ(res.replaced, r.replaced);
        EXPECT_EQ(ReadBytes(res.file).find(r.text) != std::string::npos, r.utf8Bytes);
        ASSERT_EQ(Doc().ModelSpace().Count(), 1);
        EXPECT_EQ(Doc().ModelSpace().Item(0)->TextString(), r.landed);
    }
}

// A user's answer the CAD cannot take ends the insertion with an automation error; the main
// window does not stay minimised behind it.
TEST_F(InsertTest, MainWindowRestoredWhenPlacementFails) {
    class FailingUser : public Interaction {
    public:
        TAnswer Ask(AnswerKind, const std::string&) override {
            throw AutomationError("call rejected");
        }
    };
    FailingUser failing;
    host_.SetInteraction(&failing);
    for (MainWindowMode mode :
         {MainWindowMode::MinimiseRestore, MainWindowMode::MinimiseCallerRestores}) {
        minimised_ = restored_ = 0;
        BlockPtr block = AddNewBlock(Doc(), "ZUKA_");
        EXPECT_THROW(InsertBuiltBlock(*block, Target(), ui_, mode), AutomationError);
        EXPECT_EQ(minimised_, 1);
        EXPECT_EQ(restored_, 1);
    }
    minimised_ = restored_ = 0;
    DxfList dxf = OneLine();
    EXPECT_THROW(InsertDxfBlock(dxf, Target(), Output(), ui_, InsertVariant::PlacedWall),
                 AutomationError);
    EXPECT_EQ(minimised_, 1);
    EXPECT_EQ(restored_, 1);
    host_.SetInteraction(&user_);
}

TEST_F(InsertTest, BuiltBlockPlacedAndExploded) {
    struct Row {
        const char* name;
        MainWindowMode mode;
        int wantMinimised;
        int wantRestored;
    };
    const Row rows[] = {
        {"window stays", MainWindowMode::Keep, 0, 0},
        {"minimised and restored", MainWindowMode::MinimiseRestore, 1, 1},
        {"caller restores", MainWindowMode::MinimiseCallerRestores, 1, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        host_.New();
        minimised_ = restored_ = 0;
        const std::size_t logged = host_.CommandLog().size();
        BlockPtr block = AddNewBlock(Doc(), "ZUKA_");
        block->AddLine({0, 0, 0}, {10, 0, 0});
        block->AddCircle({0, 0, 0}, 5);
        user_.PushPoint({100, 50, 0});
        const TInsertResult res = InsertBuiltBlock(*block, Target(), ui_, r.mode);

        EXPECT_EQ(res.status, InsertStatus::Placed);
        EXPECT_EQ(res.blockName, "ZUKA_1");
        ASSERT_TRUE(res.point);
        ExpectPoint(*res.point, {100, 50, 0});
        ASSERT_EQ(host_.CommandLog().size(), logged + 1);
        EXPECT_EQ(host_.CommandLog().back(), "-INSERT\rZUKA_1\rS\r1.0\rR\r0.0\r");
        EXPECT_EQ(CountOf(Doc().ModelSpace(), "AcDbLine"), 1);
        EXPECT_EQ(CountOf(Doc().ModelSpace(), "AcDbCircle"), 1);
        EXPECT_EQ(CountOf(Doc().ModelSpace(), "AcDbBlockReference"), 0);
        EXPECT_FALSE(HasBlock(Doc(), "ZUKA_1"));
        EXPECT_EQ(minimised_, r.wantMinimised);
        EXPECT_EQ(restored_, r.wantRestored);
    }
}

// Escape instead of placing a built block: nothing added, nothing exploded, the definition
// remains with its entities.
TEST_F(InsertTest, BuiltBlockCancelledKeepsTheDefinition) {
    BlockPtr block = AddNewBlock(Doc(), "ZUKA_");
    block->AddLine({0, 0, 0}, {10, 0, 0});
    const ObjectId before = GetLastEntityId(Doc());
    user_.PushEscape();
    const TInsertResult r =
        InsertBuiltBlock(*block, Target(), ui_, MainWindowMode::MinimiseRestore);

    EXPECT_EQ(r.status, InsertStatus::NotPlaced);
    EXPECT_EQ(GetLastEntityId(Doc()), before);
    EXPECT_EQ(Doc().ModelSpace().Count(), 0);
    ASSERT_TRUE(HasBlock(Doc(), "ZUKA_1"));
    EXPECT_EQ(block->Count(), 1);
    EXPECT_EQ(minimised_, 1);
    EXPECT_EQ(restored_, 1);
    // The next block takes the next number.
    EXPECT_EQ(NextBlockName(Doc(), "ZUKA_"), "ZUKA_2");
}

}  // namespace
}  // namespace zuka

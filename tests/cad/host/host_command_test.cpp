#include <cmath>

#include "cad/dxf_text.h"
#include "geom/primitives.h"
#include "host_test_util.h"

namespace zuka {
namespace {

using namespace zuka::testing;

// A drawing host with an empty drawing and a part file ZUKA_1.dxf, written by the system's
// own DXF writer (R12, CP932): a line (0,0)-(100,0), a circle at (100,0) radius 10 and the
// text "文字" at (0,50), all on layer 部品.
class HostCommand : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        host_.New();
        part_ = dir_ / "ZUKA_1.dxf";
        DxfList dxf;
        StartDxfFile(dxf);
        DxfWriter w(dxf);
        w.Line("部品", 0.0, 0.0, 100.0, 0.0);
        w.Circle("部品", {100.0, 0.0, 0.0}, 10.0);
        TDxfText t;
        t.at = {0.0, 50.0, 0.0};
        t.height = 5.0;
        t.text = "文字";
        w.Text("部品", t);
        EndDxfFile(dxf);
        ASSERT_TRUE(SaveDxfList(dxf, part_));
    }

    Document& Doc() { return host_.ActiveDocument(); }
    Block& Model() { return Doc().ModelSpace(); }

    // The model space entity of that class, the first one.
    EntityPtr First(const std::string& name) {
        for (int i = 0; i < Model().Count(); ++i)
            if (Model().Item(i)->EntityName() == name) return Model().Item(i);
        return nullptr;
    }

    ScriptedInteraction ui_;
    DrawingHost host_{&ui_};
    fs::path part_;
};

TEST_F(HostCommand, InsertsInEveryFormTheSystemSends) {
    const double c30 = std::cos(kPi / 6);
    const double s30 = std::sin(kPi / 6);
    struct Row {
        const char* name;
        InsertVariant variant;
        double x, y, rotDeg;
        std::optional<TAcadPoint> userPoint;  // the point the user picks
        bool exploded;
        TAcadPoint lineStart, lineEnd;  // the part's line where it lands (after exploding)
    };
    const Row rows[] = {
        {"origin", InsertVariant::ExplodedOrigin, 0, 0, 0, {}, true, {0, 0, 0}, {100, 0, 0}},
        {"equal time",
         InsertVariant::ExplodedOriginEqualTime,
         0,
         0,
         0,
         {},
         true,
         {0, 0, 0},
         {100, 0, 0}},
        {"boundary, scale and rotation on their own line",
         InsertVariant::ExplodedOriginBoundary,
         0,
         0,
         0,
         {},
         true,
         {0, 0, 0},
         {100, 0, 0}},
        {"map centre, last answer without Enter",
         InsertVariant::ExplodedMapCentre,
         1000,
         2000,
         0,
         {},
         true,
         {1000, 2000, 0},
         {1100, 2000, 0}},
        {"at a point, rotated",
         InsertVariant::ExplodedAtPoint,
         1000,
         2000,
         90,
         {},
         true,
         {1000, 2000, 0},
         {1000, 2100, 0}},
        {"lasting block",
         InsertVariant::BlockAtPoint,
         10,
         20,
         30,
         {},
         false,
         {10, 20, 0},
         {10 + 100 * c30, 20 + 100 * s30, 0}},
        {"placed by the user, rotated",
         InsertVariant::PlacedRotated,
         0,
         0,
         30,
         TAcadPoint{5, 5, 0},
         false,
         {5, 5, 0},
         {5 + 100 * c30, 5 + 100 * s30, 0}},
        {"table placed by the user",
         InsertVariant::PlacedTable,
         0,
         0,
         0,
         TAcadPoint{7, 8, 0},
         false,
         {7, 8, 0},
         {107, 8, 0}},
        {"wall placed by the user",
         InsertVariant::PlacedWall,
         0,
         0,
         0,
         TAcadPoint{-7, 8, 0},
         false,
         {-7, 8, 0},
         {93, 8, 0}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        host_.New();
        if (r.userPoint) ui_.PushPoint(*r.userPoint);
        const std::string text = InsertCommandText(r.variant, part_.string(), r.x, r.y, r.rotDeg);
        Doc().SendCommand(text);
        EXPECT_EQ(host_.CommandLog().back(), text);
        EXPECT_EQ(ui_.Pending(), 0u);
        // The file defined the block ZUKA_1 in every form.
        ASSERT_EQ(Doc().Blocks().Count(), 1);
        EXPECT_EQ(Doc().Blocks().Item(0)->Name(), "ZUKA_1");
        EXPECT_EQ(Doc().Blocks().Item(0)->Count(), 3);
        if (r.exploded) {
            EXPECT_EQ(Model().Count(), 3);
        } else {
            ASSERT_EQ(Model().Count(), 1);
            const EntityPtr ref = Model().Item(0);
            ASSERT_EQ(ref->EntityName(), "AcDbBlockReference");
            EXPECT_EQ(ref->Name(), "ZUKA_1");
            ExpectPoint(ref->InsertionPoint(), r.lineStart.x, r.lineStart.y, 0);
            ref->Explode();
            ref->Delete();
        }
        const EntityPtr line = First("AcDbLine");
        ASSERT_TRUE(line);
        ExpectPoint(line->StartPoint(), r.lineStart.x, r.lineStart.y, r.lineStart.z, 1e-9);
        ExpectPoint(line->EndPoint(), r.lineEnd.x, r.lineEnd.y, r.lineEnd.z, 1e-9);
        EXPECT_EQ(line->Layer(), "部品");
        EXPECT_EQ(First("AcDbText")->TextString(), "文字");
    }
}

TEST_F(HostCommand, CommandWordsInAnyCaseAndOpenEndedAnswers) {
    const std::string p = "\"*" + part_.string() + "\"";
    struct Row {
        const char* name;
        std::string text;
        TAcadPoint circle;  // where the part's circle lands
        double radius;
    };
    const Row rows[] = {
        {"lower case", "-insert\r" + p + "\r0,0 1 0\r", {100, 0, 0}, 10},
        {"mixed case and prefix", "_-InSeRt\r" + p + "\r0,0 1 0\r", {100, 0, 0}, 10},
        {"line feeds and blanks", "-INSERT\n" + p + "\n5,5\n2 90\n", {5, 205, 0}, 20},
        {"scale as the last answer, no Enter", "-INSERT\r" + p + "\r5,5 2", {205, 5, 0}, 20},
        {"rotation left to its default", "-INSERT\r" + p + "\r5,5\r2\r", {205, 5, 0}, 20},
        {"S and R before a typed point",
         "-INSERT\r" + p + "\rS\r3\rR\r180\r1,1\r",
         {-299, 1, 0},
         30},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        host_.New();
        Doc().SendCommand(r.text);
        const EntityPtr circle = First("AcDbCircle");
        ASSERT_TRUE(circle);
        ExpectPoint(circle->Center(), r.circle.x, r.circle.y, r.circle.z, 1e-9);
        EXPECT_NEAR(circle->Radius(), r.radius, 1e-12);
        EXPECT_EQ(Model().Count(), 3);
    }
}

TEST_F(HostCommand, EscapeInsertsNothingButKeepsTheBlock) {
    const ObjectId none = 0;
    ui_.PushEscape();
    Doc().SendCommand(InsertCommandText(InsertVariant::PlacedTable, part_.string()));
    EXPECT_EQ(Model().Count(), 0);
    ASSERT_EQ(Doc().Blocks().Count(), 1);
    EXPECT_EQ(Doc().Blocks().Item(0)->Count(), 3);
    EXPECT_EQ(host_.CommandEcho().back(), "*キャンセル*");
    EXPECT_EQ(ui_.Prompts().back(), "挿入位置を指定: ");

    // A block built through automation and placed by name; Escape again, then a pick.
    const BlockPtr built = Doc().Blocks().Add({}, "ZUKA_2");
    built->AddLine({0, 0, 0}, {1, 0, 0});
    ui_.PushEscape();
    Doc().SendCommand(InsertCommandText(InsertVariant::PlacedBuiltBlock, "ZUKA_2"));
    EXPECT_EQ(Model().Count(), 0);
    ui_.PushPoint({3, 4, 0});
    Doc().SendCommand(InsertCommandText(InsertVariant::PlacedBuiltBlock, "ZUKA_2"));
    ASSERT_EQ(Model().Count(), 1);
    EXPECT_NE(Model().Item(0)->ObjectID(), none);
    EXPECT_EQ(Model().Item(0)->Name(), "ZUKA_2");
    ExpectPoint(Model().Item(0)->InsertionPoint(), 3, 4, 0);
}

TEST_F(HostCommand, InsertingTheFileAgainRedefinesTheBlock) {
    Doc().SendCommand(InsertCommandText(InsertVariant::ExplodedOrigin, part_.string()));
    DxfList dxf;
    StartDxfFile(dxf);
    DxfWriter(dxf).Line("0", 0.0, 0.0, 1.0, 1.0);
    EndDxfFile(dxf);
    ASSERT_TRUE(SaveDxfList(dxf, part_));
    Doc().SendCommand(InsertCommandText(InsertVariant::ExplodedOrigin, part_.string()));
    ASSERT_EQ(Doc().Blocks().Count(), 1);
    EXPECT_EQ(Doc().Blocks().Item(0)->Count(), 1);
    EXPECT_EQ(Model().Count(), 4);
}

TEST_F(HostCommand, FailedInsertionsAnswerAndInsertNothing) {
    struct Row {
        const char* name;
        std::string text;
        const char* echo;
    };
    const Row rows[] = {
        {"missing file", "-INSERT\r\"*" + (dir_ / "none.dxf").string() + "\"\r0,0 1 0\r",
         "ブロックまたはファイルが見つかりません: "},
        {"unknown block", "-INSERT\rNOBLOCK\rS\r1.0\rR\r0.0\r",
         "ブロックまたはファイルが見つかりません: NOBLOCK"},
        {"not a point", "-INSERT\r\"*" + part_.string() + "\"\rhere 1 0\r", "無効な入力です: here"},
        {"zero scale", "-INSERT\r\"*" + part_.string() + "\"\r0,0 0 0\r", "尺度は正の値"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        host_.New();
        Doc().SendCommand(r.text);
        EXPECT_EQ(Model().Count(), 0);
        ASSERT_FALSE(host_.CommandEcho().empty());
        EXPECT_EQ(host_.CommandEcho().back().rfind(r.echo, 0), 0u) << host_.CommandEcho().back();
    }
}

TEST_F(HostCommand, IdSetsLastPoint) {
    struct Row {
        const char* name;
        const char* text;
        std::optional<TAnswer> pick;  // what the user does when the text names no point
        TAcadPoint want;
    };
    const Row rows[] = {
        {"typed point", "ID\r7,8\r", {}, {7, 8, 0}},
        {"picked point", "ID\r", TAnswer{AnswerKind::Point, {3, 4, 5}, {}, {}, 0}, {3, 4, 5}},
        {"Escape leaves it", "ID\r", TAnswer{}, {0, 0, 0}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Doc().SetVariable("LASTPOINT", TAcadPoint{});
        if (r.pick) ui_.Push(*r.pick);
        Doc().SendCommand(r.text);
        EXPECT_EQ(ui_.Pending(), 0u);
        const TAcadPoint p = std::get<TAcadPoint>(Doc().GetVariable("LASTPOINT"));
        ExpectPoint(p, r.want.x, r.want.y, r.want.z);
    }
}

TEST_F(HostCommand, LinetypeCommandAndUnknownCommands) {
    Doc().SetVariable("FILEDIA", 0);
    Doc().SendCommand("-LINETYPE\rL\rHIDDEN\rMM.LIN\r\r");
    EXPECT_EQ(Doc().Linetypes().Item(Doc().Linetypes().Count() - 1)->Name(), "HIDDEN");
    Doc().SendCommand("-LINETYPE\rL\rHIDDEN2\rnone.lin\r\r");
    EXPECT_EQ(Doc().Linetypes().Item(Doc().Linetypes().Count() - 1)->Name(), "HIDDEN");

    Doc().SendCommand("-HATCH\r100.000,200.000\r\r");
    EXPECT_EQ(host_.CommandEcho().back(), "不明なコマンドです: -HATCH");
    EXPECT_EQ(Model().Count(), 0);
    EXPECT_EQ(host_.CommandLog().size(), 3u);
}

}  // namespace
}  // namespace zuka

#include <cctype>
#include <cmath>

#include "cad/bridge.h"
#include "cad/dxf_text.h"
#include "geom/primitives.h"
#include "host_test_util.h"

namespace zuka {
namespace {

using namespace zuka::testing;

TEST(DrawingHost, IsFoundOnlyWhileADrawingIsOpen) {
    DrawingHost host;
    HostConnector connector(host);
    EXPECT_FALSE(host.IsOpen());
    EXPECT_THROW(host.ActiveDocument(), AutomationError);
    EXPECT_EQ(connector.GetActiveObject("GCAD.Application.23"), nullptr);
    EXPECT_THROW(connector.GetActiveObject(""), AutomationError);
    host.New();
    EXPECT_EQ(connector.GetActiveObject("AutoCAD.Application"), &host);
    EXPECT_EQ(connector.GetActiveObject("anything"), &host);
    EXPECT_NE(host.HWND(), 0);
    host.Close();
    EXPECT_EQ(connector.GetActiveObject("AutoCAD.Application"), nullptr);
}

TEST(DrawingHost, IdleQueriesAreQuiescentAndCounted) {
    DrawingHost host;
    EXPECT_TRUE(host.GetGcadState()->IsQuiescent());
    EXPECT_TRUE(host.GetGcadState()->IsQuiescent());
    EXPECT_TRUE(host.GetZcadState()->IsQuiescent());
    EXPECT_EQ(host.StateQueries(StateQuery::Acad), 0);
    EXPECT_EQ(host.StateQueries(StateQuery::Gcad), 2);
    EXPECT_EQ(host.StateQueries(StateQuery::Zcad), 1);
}

TEST(DrawingHost, VariablesMarksAndPrompts) {
    DrawingHost host;
    host.New();
    Document& doc = host.ActiveDocument();
    EXPECT_EQ(std::get<int>(doc.GetVariable("FILEDIA")), 1);
    EXPECT_EQ(std::get<int>(doc.GetVariable("blipmode")), 0);
    EXPECT_EQ(std::get<double>(doc.GetVariable("DIMSCALE")), 1);
    doc.SetVariable("SNAPMODE", 1);
    EXPECT_EQ(std::get<int>(doc.GetVariable("SNAPMODE")), 1);
    EXPECT_THROW(doc.GetVariable("NOSUCHVAR"), AutomationError);
    doc.StartUndoMark();
    doc.EndUndoMark();
    doc.Regen(0);
    doc.Utility().Prompt("図形が選択されました.\r\n");
    EXPECT_EQ(host.UndoMarksStarted(), 1);
    EXPECT_EQ(host.UndoMarksEnded(), 1);
    EXPECT_EQ(host.Regens(), 1);
    EXPECT_EQ(host.PromptLog(), std::vector<std::string>{"図形が選択されました.\r\n"});
}

// One outermost undo group is one step: undone and redone whole; a group that changed nothing
// is no step; opening another drawing forgets the steps.
TEST(DrawingHost, UndoAndRedoByUndoGroups) {
    DrawingHost host;
    host.New();
    Document& doc = host.ActiveDocument();
    doc.ModelSpace().AddLine({0, 0, 0}, {1, 0, 0});  // the user's own, before any command
    doc.StartUndoMark();
    doc.StartUndoMark();  // nested: still the one step
    doc.ModelSpace().AddLine({0, 0, 0}, {0, 1, 0});
    doc.EndUndoMark();
    doc.Layers().Add("ZUKA_X");
    doc.ModelSpace().AddCircle({0, 0, 0}, 5);
    EXPECT_FALSE(host.Undo());  // not while the group is open
    doc.EndUndoMark();
    doc.StartUndoMark();
    doc.EndUndoMark();
    EXPECT_EQ(host.ActiveDocument().ModelSpace().Count(), 3);
    ASSERT_TRUE(host.CanUndo());
    ASSERT_TRUE(host.Undo());
    EXPECT_EQ(host.ActiveDocument().ModelSpace().Count(), 1);
    EXPECT_EQ(host.ActiveDocument().ModelSpace().Item(0)->EntityName(), "AcDbLine");
    EXPECT_FALSE(host.Undo());  // the user's own line stays
    ASSERT_TRUE(host.Redo());
    EXPECT_EQ(host.ActiveDocument().ModelSpace().Count(), 3);
    EXPECT_EQ(host.ActiveDocument().ModelSpace().Item(2)->EntityName(), "AcDbCircle");
    EXPECT_FALSE(host.Redo());
    host.New();
    EXPECT_FALSE(host.CanUndo());
}

TEST(DrawingHost, LinetypesLoadFromTheKnownFiles) {
    struct Row {
        const char* name;
        const char* file;
        bool loads;
    };
    const Row rows[] = {
        {"HIDDEN2", "gcadiso.lin", true}, {"HIDDEN", "MM.LIN", true},
        {"HIDDEN2", "acadiso.lin", true}, {"hidden2", "C:\\CAD\\Support\\iso.lin", true},
        {"DASHED", "zwcadiso.lin", true}, {"HIDDEN2", "", false},
        {"HIDDEN2", "other.lin", false},  {"CENTER", "acadiso.lin", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.name) + " " + r.file);
        DrawingHost host;
        host.New();
        Linetypes& lts = host.ActiveDocument().Linetypes();
        if (!r.loads) {
            EXPECT_THROW(lts.Load(r.name, r.file), AutomationError);
            continue;
        }
        lts.Load(r.name, r.file);
        std::string upper = r.name;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(lts.Item(lts.Count() - 1)->Name(), upper);
        EXPECT_THROW(lts.Load(r.name, r.file), AutomationError);  // already loaded
    }
}

TEST(DrawingHost, BlocksAndLayers) {
    DrawingHost host;
    host.New();
    Document& doc = host.ActiveDocument();
    const BlockPtr b = doc.Blocks().Add({}, "ZUKA_3");
    EXPECT_EQ(doc.Blocks().Add({}, "zuka_3"), b);
    EXPECT_THROW(doc.Blocks().Add({}, "a/b"), AutomationError);
    b->AddLightWeightPolyline({0, 0, 10, 0, 10, 10});
    EXPECT_THROW(b->AddLightWeightPolyline({0, 0, 10}), AutomationError);
    doc.Blocks().Add({}, "zuka_7a");
    doc.Blocks().Add({}, "ZUKA_12");
    EXPECT_EQ(NextBlockName(doc, "ZUKA_"), "ZUKA_13");

    EXPECT_EQ(doc.Layers().Add("影")->Name(), "影");
    EXPECT_EQ(doc.Layers().Count(), 2);
    EXPECT_EQ(doc.Layers().Add("影")->Name(), "影");
    EXPECT_EQ(doc.Layers().Count(), 2);
    EXPECT_THROW(doc.ModelSpace().Delete(), AutomationError);

    // A referenced definition cannot go; once the reference is exploded and deleted it can.
    doc.SendCommand("-INSERT\rZUKA_3\r0,0\r1\r1\r0\r");
    const EntityPtr ref = doc.ModelSpace().Item(0);
    EXPECT_THROW(b->Delete(), AutomationError);
    ref->Explode();
    ref->Delete();
    b->Delete();
    EXPECT_EQ(doc.Blocks().Count(), 2);
    EXPECT_THROW(b->Count(), AutomationError);
}

TEST(DrawingHost, EntityWriteMembers) {
    DrawingHost host;
    host.New();
    Document& doc = host.ActiveDocument();
    Block& ms = doc.ModelSpace();
    const EntityPtr t = ms.AddText("A", {1, 2, 0}, 10);
    EXPECT_THROW(t->SetLayer("影"), AutomationError);
    doc.Layers().Add("影");
    t->SetLayer("影");
    EXPECT_EQ(t->Layer(), "影");
    EXPECT_THROW(t->SetLinetype("HIDDEN2"), AutomationError);
    doc.Linetypes().Load("HIDDEN2", "acadiso.lin");
    t->SetLinetype("hidden2");
    EXPECT_THROW(t->SetColor(257), AutomationError);
    t->SetColor(251);
    t->SetScaleFactor(0.8);
    t->SetAlignment(TextAlignment::MiddleCenter);
    t->SetTextAlignmentPoint({5, 6, 0});
    t->SetTextString("面積");
    t->SetRotation(kHalfPi);
    EXPECT_EQ(t->TextString(), "面積");
    EXPECT_THROW(t->SetBulge(0, 1), AutomationError);

    // A copy is a new entity with its own handle and id; a deleted one answers nothing.
    const EntityPtr copy = t->Copy();
    EXPECT_NE(copy->Handle(), t->Handle());
    EXPECT_NE(copy->ObjectID(), t->ObjectID());
    EXPECT_EQ(doc.ObjectIDToObject(copy->ObjectID()), copy);
    EXPECT_EQ(copy->TextString(), "面積");
    EXPECT_EQ(copy->Layer(), "影");
    const ObjectId id = t->ObjectID();
    t->Delete();
    EXPECT_THROW(t->TextString(), AutomationError);
    EXPECT_THROW(doc.ObjectIDToObject(id), AutomationError);
    EXPECT_EQ(ms.Count(), 1);
}

TEST(DrawingHost, ExplodesPolylinesAndMeasuresAreas) {
    DrawingHost host;
    host.New();
    Block& ms = host.ActiveDocument().ModelSpace();
    // A 10 x 10 square whose second side bulges outwards as a half circle of radius 5.
    const EntityPtr pl = ms.AddLightWeightPolyline({0, 0, 10, 0, 10, 10, 0, 10});
    pl->SetClosed(true);
    pl->SetBulge(1, 1);
    EXPECT_NEAR(pl->Area(), 100 + kPi * 25 / 2, 1e-9);
    const std::vector<EntityPtr> parts = pl->Explode();
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[0]->EntityName(), "AcDbLine");
    ASSERT_EQ(parts[1]->EntityName(), "AcDbArc");
    EXPECT_NEAR(parts[1]->Radius(), 5, 1e-9);
    ExpectPoint(parts[1]->Center(), 10, 5, 0, 1e-9);
    ExpectPoint(parts[1]->StartPoint(), 10, 0, 0, 1e-9);
    ExpectPoint(parts[1]->EndPoint(), 10, 10, 0, 1e-9);
    EXPECT_EQ(ms.Count(), 5);  // the polyline stays until deleted
    EXPECT_NEAR(ms.AddCircle({0, 0, 0}, 2)->Area(), 4 * kPi, 1e-12);
    EXPECT_THROW(parts[0]->Area(), AutomationError);
    EXPECT_THROW(parts[0]->Explode(), AutomationError);
}

TEST(DrawingHost, ExplodesABlockReferenceWhereItStands) {
    DrawingHost host;
    std::string error;
    ASSERT_TRUE(host.Load(DrawingsDir() / "kinds.dxf", error)) << error;
    Document& doc = host.ActiveDocument();
    // BOX (a line (0,0)-(10,0), a circle at the origin, radius 5) at (5000,5000), scale 2,
    // rotation 90: the line runs (5000,5000)-(5000,5020), the circle has radius 10.
    const std::vector<EntityPtr> parts = ByHandle(doc, "2B")->Explode();
    ASSERT_EQ(parts.size(), 2u);
    ExpectPoint(parts[0]->StartPoint(), 5000, 5000, 0, 1e-9);
    ExpectPoint(parts[0]->EndPoint(), 5000, 5020, 0, 1e-9);
    EXPECT_NEAR(parts[1]->Radius(), 10, 1e-12);
}

TEST(DrawingHost, UtilityAsksTheUser) {
    ScriptedInteraction ui;
    DrawingHost host(&ui);
    host.New();
    Document& doc = host.ActiveDocument();
    const EntityPtr line = doc.ModelSpace().AddLine({0, 0, 0}, {1, 0, 0});
    Utility& u = doc.Utility();
    ui.PushPoint({1, 2, 3});
    ExpectPoint(u.GetPoint(std::nullopt, "点"), 1, 2, 3);
    ui.PushAngle(0.5);
    EXPECT_EQ(u.GetAngle(std::nullopt, "角度"), 0.5);
    ui.Push({AnswerKind::Entity, {4, 5, 0}, line->Handle(), {}, 0});
    EntityPtr picked;
    TAcadPoint at;
    u.GetEntity(picked, at, "線分");
    EXPECT_EQ(picked, line);
    ExpectPoint(at, 4, 5, 0);
    ui.PushEscape();
    EXPECT_THROW(u.GetPoint(std::nullopt, "点"), AutomationError);
    ui.PushAngle(1);  // the wrong kind of answer cancels too
    EXPECT_THROW(u.GetPoint(std::nullopt, "点"), AutomationError);
    ui.PushEnter();
    EXPECT_THROW(u.GetEntity(picked, at, "線分"), AutomationError);
    EXPECT_EQ(ui.Prompts().back(), "線分");
}

// The bridge's insertion protocol for a block the user places, run against the host.
TEST(DrawingHost, BridgeExplodesWhatTheUserPlaced) {
    ScriptedInteraction ui;
    DrawingHost host(&ui);
    host.New();
    Document& doc = host.ActiveDocument();
    EXPECT_EQ(GetLastEntityId(doc), 0);
    const BlockPtr block = AddNewBlock(doc, "ZUKA_");
    block->AddCircle({0, 0, 0}, 1);
    const ObjectId before = GetLastEntityId(doc);
    ui.PushPoint({30, 40, 0});
    doc.SendCommand(InsertCommandText(InsertVariant::PlacedBuiltBlock, block->Name()));
    EXPECT_NE(GetLastEntityId(doc), before);
    TAcadPoint point;
    ASSERT_TRUE(ExplodeLastInsert(doc, "ZUKA_1", point));
    ExpectPoint(point, 30, 40, 0);
    DeleteBlockDef(doc, "ZUKA_1");
    EXPECT_EQ(doc.Blocks().Count(), 0);
    ASSERT_EQ(doc.ModelSpace().Count(), 1);
    ExpectPoint(doc.ModelSpace().Item(0)->Center(), 30, 40, 0);
    EXPECT_EQ(doc.SelectionSets().Count(), 0);
}

// Half discs of radius 5 over the chord (-5,0)-(5,0): the bulge's sign decides the side.
class BulgedPolylines : public HostTest {};

TEST_F(BulgedPolylines, AreaAndExplodeFollowTheBulge) {
    const fs::path file = dir_ / "poly2d.dxf";
    // A closed 2D polyline (POLYLINE without the 3D flag) bulging to the left of its chord.
    WriteBytes(file, MinimalDxf({}, {{0, "POLYLINE"},
                                     {8, "0"},
                                     {66, "1"},
                                     {10, "0"},
                                     {20, "0"},
                                     {30, "0"},
                                     {70, "1"},
                                     {0, "VERTEX"},
                                     {8, "0"},
                                     {10, "-5"},
                                     {20, "0"},
                                     {30, "0"},
                                     {42, "-1"},
                                     {0, "VERTEX"},
                                     {8, "0"},
                                     {10, "5"},
                                     {20, "0"},
                                     {30, "0"},
                                     {0, "SEQEND"}}));
    DrawingHost host;
    std::string error;
    ASSERT_TRUE(host.Load(file, error)) << error;
    Block& ms = host.ActiveDocument().ModelSpace();
    const EntityPtr poly2d = ms.Item(0);
    ASSERT_EQ(poly2d->EntityName(), "AcDb2dPolyline");
    const auto lw = [&ms](double bulge) {
        const EntityPtr e = ms.AddLightWeightPolyline({-5, 0, 5, 0});
        e->SetClosed(true);
        e->SetBulge(0, bulge);
        return e;
    };
    struct Row {
        const char* name;
        EntityPtr polyline;
        double area;
        TAcadPoint arcStart;  // the arc runs counter-clockwise from here
        TAcadPoint arcMiddle;
    };
    const EntityPtr square = ms.AddLightWeightPolyline({0, 0, 10, 0, 10, 10, 0, 10});
    square->SetClosed(true);
    square->SetBulge(1, -1);  // the right side bites into the square
    const Row rows[] = {
        {"bulge 1: below the chord", lw(1), kPi * 25 / 2, {-5, 0, 0}, {0, -5, 0}},
        {"bulge -1: above the chord", lw(-1), kPi * 25 / 2, {5, 0, 0}, {0, 5, 0}},
        {"2D polyline, bulge -1", poly2d, kPi * 25 / 2, {5, 0, 0}, {0, 5, 0}},
        {"square with an inward side", square, 100 - kPi * 25 / 2, {10, 10, 0}, {5, 5, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_NEAR(row.polyline->Area(), row.area, 1e-9);
        const std::vector<EntityPtr> parts = row.polyline->Explode();
        int arcs = 0;
        for (const EntityPtr& part : parts) {
            if (part->EntityName() != "AcDbArc") {
                EXPECT_EQ(part->EntityName(), "AcDbLine");
                continue;
            }
            ++arcs;
            EXPECT_NEAR(part->Radius(), 5, 1e-9);
            ExpectPoint(part->StartPoint(), row.arcStart.x, row.arcStart.y, 0, 1e-9);
            double sweep = part->EndAngle() - part->StartAngle();
            if (sweep <= 0) sweep += 2 * kPi;
            EXPECT_NEAR(sweep, kPi, 1e-9);
            const double mid = part->StartAngle() + sweep / 2;
            const TAcadPoint c = part->Center();
            ExpectPoint({c.x + 5 * std::cos(mid), c.y + 5 * std::sin(mid), 0}, row.arcMiddle.x,
                        row.arcMiddle.y, 0, 1e-9);
        }
        EXPECT_EQ(arcs, 1);
        EXPECT_EQ(parts.size(), row.polyline == square ? 4u : 2u);
    }
}

TEST(DrawingHost, CopiesKeepEveryPropertyAndGoLast) {
    DrawingHost host;
    host.New();
    Document& doc = host.ActiveDocument();
    Block& ms = doc.ModelSpace();
    doc.Layers().Add("文字");
    const EntityPtr text = ms.AddText("測定点 1", {10, 20, 0}, 3.5);
    text->SetLayer("文字");
    text->SetColor(3);
    text->SetAlignment(TextAlignment::MiddleCenter);
    text->SetTextAlignmentPoint({12, 21, 0});
    const EntityPtr pl = ms.AddLightWeightPolyline({0, 0, 10, 0, 10, 10});
    pl->SetBulge(1, 0.5);
    const EntityPtr circle = ms.AddCircle({1, 2, 0}, 3);

    // The label step: copies of the picked text get new strings and places.
    const EntityPtr copy = text->Copy();
    ASSERT_EQ(ms.Item(ms.Count() - 1), copy);
    EXPECT_EQ(copy->EntityName(), "AcDbText");
    EXPECT_EQ(copy->Layer(), "文字");
    EXPECT_EQ(copy->Height(), 3.5);
    ExpectPoint(copy->InsertionPoint(), 10, 20, 0);
    copy->SetTextString("天空率 73.340%");
    copy->SetTextAlignmentPoint({0, -5, 0});
    copy->SetInsertionPoint({0, -5, 0});
    EXPECT_EQ(text->TextString(), "測定点 1");
    ExpectPoint(text->InsertionPoint(), 10, 20, 0);
    ExpectPoint(copy->InsertionPoint(), 0, -5, 0);

    const EntityPtr plCopy = pl->Copy();
    EXPECT_EQ(ms.Item(ms.Count() - 1), plCopy);
    EXPECT_EQ(plCopy->Coordinates(), pl->Coordinates());
    EXPECT_EQ(plCopy->GetBulge(1), 0.5);
    EXPECT_NEAR(plCopy->Area(), pl->Area(), 1e-12);
    const EntityPtr circleCopy = circle->Copy();
    EXPECT_EQ(circleCopy->Radius(), 3);
    ExpectPoint(circleCopy->Center(), 1, 2, 0);
    EXPECT_EQ(ms.Count(), 6);
}

}  // namespace
}  // namespace zuka

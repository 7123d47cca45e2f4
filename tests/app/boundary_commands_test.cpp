// The deemed boundary lines (境界線作成) and the drawn ratio table (倍率表作成) against the
// embedded drawing host, on the example drawing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "example_fixture.h"

namespace zuka {
namespace {

using BoundaryCommandsTest = ExampleDrawingTest;

std::vector<EntityPtr> OfKind(Document& doc, const std::string& kind) {
    std::vector<EntityPtr> v;
    Block& ms = doc.ModelSpace();
    for (int i = 0; i < ms.Count(); ++i)
        if (ms.Item(i)->EntityName() == kind) v.push_back(ms.Item(i));
    return v;
}

TEST_F(BoundaryCommandsTest, SiteLinesInsertedAtTheOrigin) {
    Document& doc = host_.ActiveDocument();
    const std::size_t before = OfKind(doc, "AcDb2dPolyline").size();
    picks_.PushSelection("layer=敷地");  // the site outline and its title text
    c_.Button20Click();
    ASSERT_EQ(c_.LastInsert().status, InsertStatus::Sent);
    EXPECT_EQ(host_.CommandLog().back(),
              "-InSERT\r\"*" + c_.LastInsert().file.string() + "\"\r0,0\r1 0\r");
    EXPECT_EQ(c_.LastKyoukaisen().sites, 1);
    // The two closed lines, on layer 0: the 5 m line starts 5 m below the site's lower left
    // corner (5, 5 m), the 10 m line 10 m below it.
    const std::vector<EntityPtr> lines = OfKind(doc, "AcDb2dPolyline");
    ASSERT_EQ(lines.size(), before + 2);
    const std::vector<double> five = lines[before]->Coordinates();
    const std::vector<double> ten = lines[before + 1]->Coordinates();
    EXPECT_EQ(lines[before]->Layer(), "0");
    EXPECT_TRUE(lines[before]->Closed());
    EXPECT_EQ(five.size(), 9u * 3);
    EXPECT_DOUBLE_EQ(five[0], 5000);
    EXPECT_DOUBLE_EQ(five[1], 0);
    EXPECT_DOUBLE_EQ(ten[1], -5000);
    EXPECT_EQ(host_.UndoMarksStarted(), host_.UndoMarksEnded());
    EXPECT_TRUE(c_.ws.AryLine.empty());

    // An open line: the walk comes back along it, and the failure goes to the command line.
    doc.ModelSpace().AddLightWeightPolyline({0, 0, 10000, 0, 10000, 10000, 0, 10000});
    const std::string handle = OfKind(doc, "AcDbPolyline").back()->Handle();
    picks_.PushSelection("handle=" + handle);
    c_.Button20Click();
    EXPECT_EQ(host_.PromptLog().back(), "\r\nみなし境界線の作成に失敗しました.\r\n");
    EXPECT_EQ(OfKind(doc, "AcDb2dPolyline").size(), before + 2);

    // A site line far beyond any site is refused by its handle (the command once ended on it
    // without a word), and nothing is drawn.
    const std::string far = doc.ModelSpace().AddLine({1e14, 0, 0}, {0, 0, 0})->Handle();
    picks_.PushSelection("handle=" + far);
    c_.Button20Click();
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_NE(ui_.messages.back().text.find("ハンドル " + far + " の図形"), std::string::npos);
    EXPECT_EQ(OfKind(doc, "AcDb2dPolyline").size(), before + 2);
    EXPECT_EQ(host_.UndoMarksStarted(), host_.UndoMarksEnded());
}

TEST_F(BoundaryCommandsTest, RatioTableRuledAndAligned) {
    c_.leaveRecord = false;  // the table's texts alone
    Document& doc = host_.ActiveDocument();
    c_.PageControl1Change(7);
    ASSERT_EQ(c_.form.Memo1.size(), 19u);
    const std::size_t textsBefore = OfKind(doc, "AcDbText").size();
    const std::size_t linesBefore = OfKind(doc, "AcDbLine").size();
    picks_.PushPoint({100000, 50000, 0});
    c_.SpeedButton5Click();
    ASSERT_EQ(c_.LastInsert().status, InsertStatus::Placed);
    const std::vector<EntityPtr> texts = OfKind(doc, "AcDbText");
    const std::vector<EntityPtr> lines = OfKind(doc, "AcDbLine");
    // The title, six headings, 17 rows of six cells.
    ASSERT_EQ(texts.size() - textsBefore, 1u + 6 + 17 * 6);
    // Six column lines, a rule above the heading and above each of the 17 rows, one below
    // the last row and the right border: from y = -h to -37 h at h = 300.
    ASSERT_EQ(lines.size() - linesBefore, 6u + 18 + 1 + 1);
    const EntityPtr title = texts[textsBefore];
    EXPECT_EQ(title->HorizontalAlignment(), 0);  // middle left
    EXPECT_EQ(title->VerticalAlignment(), 2);
    EXPECT_DOUBLE_EQ(title->TextAlignmentPoint().x, 100000 + 300);
    const EntityPtr heading = texts[textsBefore + 1];
    EXPECT_EQ(heading->HorizontalAlignment(), 1);  // middle centre
    EXPECT_DOUBLE_EQ(heading->TextAlignmentPoint().x, 100000 + 4 * 300);
    const EntityPtr altitude = texts[textsBefore + 7 + 1];  // 8:00, cell 1
    EXPECT_EQ(altitude->HorizontalAlignment(), 2);          // middle right
    EXPECT_DOUBLE_EQ(altitude->TextAlignmentPoint().x, 100000 + 8 * 300 + 7 * 300);
    EXPECT_DOUBLE_EQ(altitude->TextAlignmentPoint().y, 50000 - 2 * 2 * 300);
    const std::vector<double> firstColumn = {lines[linesBefore]->StartPoint().y,
                                             lines[linesBefore]->EndPoint().y};
    EXPECT_EQ(firstColumn, (std::vector<double>{50000 - 300, 50000 - 37 * 300}));

    // A table of three lines is ruled to its own last line; a height of 0 is refused before
    // anything starts.
    c_.form.Memo1.resize(3);
    picks_.PushPoint({0, 0, 0});
    c_.SpeedButton5Click();
    const std::vector<EntityPtr> short3 = OfKind(doc, "AcDbLine");
    EXPECT_DOUBLE_EQ(short3.back()->EndPoint().y, -5 * 300);
    c_.form.Edit38 = "-1";
    const int undo = host_.UndoMarksStarted();
    c_.SpeedButton5Click();
    EXPECT_EQ(host_.UndoMarksStarted(), undo);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text,
              "文字高さ (Common.takasa2) は 0 より大きい数にしてください : -1");
}

}  // namespace
}  // namespace zuka

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "geom/primitives.h"
#include "host_test_util.h"

namespace zuka {
namespace {

using namespace zuka::testing;

constexpr double kDeg = kPi / 180;

fs::path Kinds() { return DrawingsDir() / "kinds.dxf"; }

TEST(HostDxf, ReadsEveryKindOfTheFixture) {
    DrawingHost host;
    std::string error;
    ASSERT_TRUE(host.Load(Kinds(), error)) << error;
    const TLoadReport& report = host.LastLoad();
    EXPECT_EQ(report.codePage, "CP932");
    EXPECT_EQ(report.entities, 11u);
    EXPECT_EQ(report.unsupported, (std::map<std::string, int>{{"HATCH", 1}}));
    EXPECT_EQ(report.untouched, (std::map<std::string, int>{{"paper space", 1}}));
    EXPECT_EQ(report.unusedGeometry, (std::map<std::string, int>{{"INSERT", 1}}));
    EXPECT_EQ(report.version, "AC1015");

    Document& doc = host.ActiveDocument();
    struct Row {
        const char* handle;
        const char* name;
    };
    const Row rows[] = {
        {"1A", "AcDbLine"},       {"1B", "AcDbCircle"},   {"1C", "AcDbArc"},
        {"1D", "AcDbEllipse"},    {"1E", "AcDbPolyline"}, {"1F", "AcDb2dPolyline"},
        {"25", "AcDb3dPolyline"}, {"2A", "AcDbText"},     {"2B", "AcDbBlockReference"},
        {"2C", "AcDbHatch"},      {"2E", "AcDbText"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.handle);
        const EntityPtr e = ByHandle(doc, r.handle);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->EntityName(), r.name);
    }

    const EntityPtr line = ByHandle(doc, "1A");
    ExpectPoint(line->StartPoint(), 0, 0, 0);
    ExpectPoint(line->EndPoint(), 1000, 0, 0);
    EXPECT_EQ(line->Thickness(), 3000);
    EXPECT_EQ(line->Layer(), "建物");
    EXPECT_THROW(line->Radius(), AutomationError);

    // Centre (500,500) in the object system of the normal (0,0,-1) is (-500,500) in the world.
    const EntityPtr circle = ByHandle(doc, "1B");
    ExpectPoint(circle->Center(), -500, 500, 0);
    ExpectPoint(circle->Normal(), 0, 0, -1);
    EXPECT_EQ(circle->Radius(), 100);
    EXPECT_THROW(circle->Coordinates(), AutomationError);

    const EntityPtr arc = ByHandle(doc, "1C");
    EXPECT_NEAR(arc->StartAngle(), 30 * kDeg, 1e-12);
    EXPECT_NEAR(arc->EndAngle(), 120 * kDeg, 1e-12);
    EXPECT_EQ(arc->Thickness(), 200);

    const EntityPtr ellipse = ByHandle(doc, "1D");
    ExpectPoint(ellipse->Center(), 100, 200, 0);
    ExpectPoint(ellipse->EndPoint(), 300, 0, 0);  // the major-axis vector
    EXPECT_EQ(ellipse->RadiusRatio(), 0.5);
    EXPECT_NEAR(ellipse->EndAngle(), kTwoPi, 1e-12);

    const EntityPtr lw = ByHandle(doc, "1E");
    EXPECT_TRUE(lw->Closed());
    EXPECT_EQ(lw->Elevation(), 9000);
    EXPECT_EQ(lw->Thickness(), 100);
    EXPECT_EQ(lw->Coordinates(), (std::vector<double>{0, 0, 1000, 0, 1000, 500, 0, 500}));
    EXPECT_EQ(lw->Coordinate(2), (std::vector<double>{1000, 500}));
    EXPECT_EQ(lw->GetBulge(1), 0.5);
    EXPECT_EQ(lw->GetBulge(0), 0);
    EXPECT_THROW(lw->Coordinate(4), AutomationError);

    const EntityPtr p2 = ByHandle(doc, "1F");
    EXPECT_EQ(p2->Coordinates(), (std::vector<double>{0, 0, 500, 10, 0, 500, 10, 10, 500}));
    EXPECT_EQ(p2->Elevation(), 500);
    EXPECT_TRUE(p2->Closed());
    EXPECT_EQ(p2->GetBulge(0), 1);

    const EntityPtr p3 = ByHandle(doc, "25");
    EXPECT_EQ(p3->Coordinates(), (std::vector<double>{0, 0, 0, 10, 0, 5, 10, 10, 8}));
    EXPECT_FALSE(p3->Closed());

    const EntityPtr text = ByHandle(doc, "2A");
    EXPECT_EQ(text->TextString(), "日本語テキスト");
    EXPECT_EQ(text->Height(), 250);
    EXPECT_EQ(text->Layer(), "測定点");
    ExpectPoint(text->InsertionPoint(), 10, 20, 0);
    EXPECT_EQ(ByHandle(doc, "2E")->TextString(), "① and 亜");

    const EntityPtr ref = ByHandle(doc, "2B");
    EXPECT_EQ(ref->Name(), "BOX");
    ExpectPoint(ref->InsertionPoint(), 5000, 5000, 0);
    EXPECT_THROW(ByHandle(doc, "2C")->StartPoint(), AutomationError);

    EXPECT_EQ(std::get<double>(doc.GetVariable("DIMSCALE")), 200);
    EXPECT_EQ(std::get<std::string>(doc.GetVariable("CLAYER")), "建物");
    std::set<std::string> layers;
    for (int i = 0; i < doc.Layers().Count(); ++i) layers.insert(doc.Layers().Item(i)->Name());
    EXPECT_EQ(layers, (std::set<std::string>{"0", "建物", "測定点"}));
    ASSERT_EQ(doc.Blocks().Count(), 1);
    EXPECT_EQ(doc.Blocks().Item(0)->Name(), "BOX");
    EXPECT_EQ(doc.Blocks().Item(0)->Count(), 2);
    EXPECT_EQ(doc.Linetypes().Item(doc.Linetypes().Count() - 1)->Name(), "HIDDEN2");
}

// The bundled example, written by another DXF library (R2000, code page 932).
TEST(HostDxf, ReadsTheExampleDrawing) {
    DrawingHost host;
    std::string error;
    ASSERT_TRUE(host.Load(fs::path(ZUKA_SOURCE_DIR) / "examples" / "sample.dxf", error)) << error;
    EXPECT_EQ(host.LastLoad().codePage, "CP932");
    EXPECT_TRUE(host.LastLoad().unsupported.empty());
    std::map<std::string, int> layers;
    std::map<std::string, int> kinds;
    Block& ms = host.ActiveDocument().ModelSpace();
    for (int i = 0; i < ms.Count(); ++i) {
        ++layers[ms.Item(i)->Layer()];
        ++kinds[ms.Item(i)->EntityName()];
    }
    EXPECT_EQ(layers, (std::map<std::string, int>{
                          {"建物", 5}, {"敷地", 2}, {"測定点", 6}, {"壁面", 1}}));
    EXPECT_EQ(kinds,
              (std::map<std::string, int>{
                  {"AcDbPolyline", 5}, {"AcDbText", 4}, {"AcDbCircle", 3}, {"AcDbLine", 2}}));
}

class HostDxfFile : public HostTest {};

TEST_F(HostDxfFile, LoadErrorsNameTheFileAndKeepTheOpenDrawing) {
    const std::string kinds = ReadBytes(Kinds());
    // Cut after the line that holds "ENTITIES", in the middle of the file.
    const std::string half = kinds.substr(0, kinds.find("ENTITIES") + 10);
    // Cut after a group code line, so that its value is missing.
    const std::string noValue = kinds.substr(0, kinds.find("ENTITIES") + 10) + " 0\r\n";
    const std::string badNumber =
        MinimalDxf({}, {{0, "LINE"}, {8, "0"}, {10, "abc"}, {20, "0"}, {11, "1"}, {21, "1"}});
    std::string badCode = MinimalDxf({}, {{0, "LINE"}, {8, "0"}});
    badCode.replace(badCode.find("  8\r\n"), 3, "  x");
    // Messages used to repeat such values raw and whole: a terminal escape, a byte that is no
    // UTF-8, a line of a few kilobytes.
    const std::string rawNumber = MinimalDxf(
        {}, {{0, "LINE"}, {8, "0"}, {10, "\x1b[2J\xff" + std::string(900, '9')}, {20, "0"}});
    // A code beyond the int range used to wrap round to a valid one (2^32 + 8 to the layer's 8).
    std::string wideCode = MinimalDxf({}, {{0, "LINE"}, {8, "0"}});
    wideCode.replace(wideCode.find("  8\r\n"), 3, "4294967304");
    const std::string wideUnits = MinimalDxf({{9, "$INSUNITS"}, {70, "1E300"}}, {});
    const std::string longLine =
        MinimalDxf({}, {{0, "TEXT"}, {8, "0"}, {1, std::string(5000, 'a')}});
    struct Row {
        const char* name;
        const char* file;
        std::string bytes;  // none written when empty and `write` is false
        bool write;
        std::vector<std::string> want;  // parts the message holds besides the path
    };
    const Row rows[] = {
        {"missing", "missing.dxf", "", false, {"開けません"}},
        {"empty", "empty.dxf", "", true, {"空です"}},
        {"not DXF",
         "notes.dxf",
         "hello\nworld\n",
         true,
         {"DXF ファイルではありません", "行 1:", "'hello'"}},
        {"binary", "bin.dxf", std::string("AutoCAD Binary DXF\r\n\x1a\0", 22), true, {"バイナリ"}},
        {"truncated", "half.dxf", half, true, {"途中で終わって", "EOF"}},
        {"value missing", "novalue.dxf", noValue, true, {"途中で終わって", "値がありません"}},
        // Lines: 1-4 header section start, 5-6 ENDSEC, 7-10 entities start, 11-14 LINE and
        // layer, 15-16 the x of the start point.
        {"bad number", "number.dxf", badNumber, true, {"(行 16: ", "グループ 10", "'abc'"}},
        {"bad code", "code.dxf", badCode, true, {"(行 13: ", "グループコード", "'x'"}},
        {"raw bytes", "raw.dxf", rawNumber, true, {"(行 16: ", "'\\x1B[2J\\xFF999", "…'"}},
        {"long line", "long.dxf", longLine, true, {"(行 16: ", "5000 バイト", "'aaa"}},
        {"code beyond int", "wide.dxf", wideCode, true, {"(行 13: ", "グループコード", "'4294967304'"}},
        {"units beyond int", "units.dxf", wideUnits, true, {"単位", "($INSUNITS = 1E300)"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        DrawingHost host;
        std::string error;
        ASSERT_TRUE(host.Load(Kinds(), error)) << error;
        const fs::path path = dir_ / r.file;
        if (r.write) WriteBytes(path, r.bytes);
        EXPECT_FALSE(host.Load(path, error));
        EXPECT_NE(error.find(path.string()), std::string::npos) << error;
        for (const std::string& part : r.want)
            EXPECT_NE(error.find(part), std::string::npos) << error;
        EXPECT_LT(error.size(), path.string().size() + 200) << error;
        EXPECT_EQ(error.find_first_of("\x1b\r\n"), std::string::npos) << error;
        // Nothing was half-loaded: the open drawing is the one before.
        ASSERT_TRUE(host.IsOpen());
        EXPECT_EQ(host.ActiveDocument().Name(), "kinds.dxf");
        EXPECT_EQ(host.ActiveDocument().ModelSpace().Count(), 11);
    }
}

TEST_F(HostDxfFile, TextIsDecodedByTheFilesCodePage) {
    struct Row {
        const char* name;
        Groups header;
        std::string raw;  // the bytes of the text value
        const char* want;
        const char* codePage;
    };
    const Row rows[] = {
        {"no code page, CP932 bytes", {}, "\x93\xfa\x96\x7b", "日本", "CP932"},
        {"no code page, UTF-8 bytes", {}, "日本", "日本", "UTF-8"},
        {"no code page, ASCII", {}, "abc", "abc", "UTF-8"},
        {"no code page, neither CP932 nor UTF-8", {}, "a\x80\xff", "a\uFFFD\uFFFD", "UTF-8"},
        {"declared CP1252", {{9, "$DWGCODEPAGE"}, {3, "ANSI_1252"}}, "caf\xe9", "café", "CP1252"},
        {"declared CP932", {{9, "$DWGCODEPAGE"}, {3, "ANSI_932"}}, "\x83\x5c", "ソ", "CP932"},
        {"R2007 is UTF-8 whatever the code page",
         {{9, "$ACADVER"}, {1, "AC1021"}, {9, "$DWGCODEPAGE"}, {3, "ANSI_932"}},
         "日本",
         "日本",
         "UTF-8"},
        {"unicode escapes",
         {{9, "$DWGCODEPAGE"}, {3, "ANSI_932"}},
         "\\U+65E5\\U+672C",
         "日本",
         "CP932"},
        {"escape after a CP932 character whose second byte is a backslash",
         {{9, "$DWGCODEPAGE"}, {3, "ANSI_932"}},
         "\x83\x5cU+0041",
         "ソU+0041",
         "CP932"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const fs::path path = dir_ / "text.dxf";
        WriteBytes(
            path, MinimalDxf(r.header,
                             {{0, "TEXT"}, {8, "0"}, {10, "0"}, {20, "0"}, {40, "1"}, {1, r.raw}}));
        DrawingHost host;
        std::string error;
        ASSERT_TRUE(host.Load(path, error)) << error;
        EXPECT_EQ(host.LastLoad().codePage, r.codePage);
        EXPECT_EQ(host.ActiveDocument().ModelSpace().Item(0)->TextString(), r.want);
    }
}

// Every value the reader needs, compared between two drawings entity by entity.
void ExpectSameEntity(const EntityPtr& a, const EntityPtr& b) {
    const std::string name = a->EntityName();
    SCOPED_TRACE(name + " " + a->Handle());
    EXPECT_EQ(name, b->EntityName());
    EXPECT_EQ(a->Layer(), b->Layer());
    const auto same = [](TAcadPoint p, TAcadPoint q) { ExpectPoint(q, p.x, p.y, p.z, 1e-9); };
    const auto closeList = [](const std::vector<double>& p, const std::vector<double>& q) {
        ASSERT_EQ(p.size(), q.size());
        for (std::size_t i = 0; i < p.size(); ++i) EXPECT_NEAR(p[i], q[i], 1e-9);
    };
    if (name == "AcDbLine") {
        same(a->StartPoint(), b->StartPoint());
        same(a->EndPoint(), b->EndPoint());
        EXPECT_EQ(a->Thickness(), b->Thickness());
    } else if (name == "AcDbCircle" || name == "AcDbArc") {
        same(a->Center(), b->Center());
        same(a->Normal(), b->Normal());
        EXPECT_EQ(a->Radius(), b->Radius());
        EXPECT_EQ(a->Thickness(), b->Thickness());
        if (name == "AcDbArc") {
            EXPECT_NEAR(a->StartAngle(), b->StartAngle(), 1e-12);
            EXPECT_NEAR(a->EndAngle(), b->EndAngle(), 1e-12);
        }
    } else if (name == "AcDbEllipse") {
        same(a->Center(), b->Center());
        same(a->EndPoint(), b->EndPoint());
        EXPECT_EQ(a->RadiusRatio(), b->RadiusRatio());
        EXPECT_NEAR(a->EndAngle(), b->EndAngle(), 1e-12);
    } else if (name == "AcDbPolyline" || name == "AcDb2dPolyline" || name == "AcDb3dPolyline") {
        closeList(a->Coordinates(), b->Coordinates());
        EXPECT_EQ(a->Closed(), b->Closed());
        if (name != "AcDb3dPolyline") {
            EXPECT_EQ(a->Elevation(), b->Elevation());
            EXPECT_EQ(a->Thickness(), b->Thickness());
            for (std::size_t i = 0; i < a->Coordinates().size() / (name == "AcDbPolyline" ? 2 : 3);
                 ++i)
                EXPECT_EQ(a->GetBulge(static_cast<int>(i)), b->GetBulge(static_cast<int>(i)));
        }
    } else if (name == "AcDbText") {
        EXPECT_EQ(a->TextString(), b->TextString());
        EXPECT_EQ(a->Height(), b->Height());
        same(a->InsertionPoint(), b->InsertionPoint());
    } else if (name == "AcDbBlockReference") {
        EXPECT_EQ(a->Name(), b->Name());
        same(a->InsertionPoint(), b->InsertionPoint());
    }
}

// The fixture with what a command adds: a text with a character CP932 lacks, a line on a new
// layer with a colour and the dashed linetype, and the parts of the block reference.
void AddOwnEntities(Document& doc) {
    Block& ms = doc.ModelSpace();
    ms.AddText("€ 記号", {1, 2, 0}, 3);
    doc.Layers().Add("新画層");
    const EntityPtr line = ms.AddLine({0, 0, 0}, {5, 5, 0});
    line->SetLayer("新画層");
    line->SetColor(1);
    line->SetLinetype("HIDDEN2");
    ByHandle(doc, "2B")->Explode();
}

TEST_F(HostDxfFile, SaveThenReloadGivesTheSameEntities) {
    DrawingHost first;
    std::string error;
    ASSERT_TRUE(first.Load(Kinds(), error)) << error;
    Document& a = first.ActiveDocument();
    AddOwnEntities(a);
    const fs::path saved = dir_ / "saved.dxf";
    ASSERT_TRUE(first.Save(saved, error)) << error;
    EXPECT_FALSE(fs::exists(dir_ / "saved.dxf.zuka-tmp"));

    DrawingHost second;
    ASSERT_TRUE(second.Load(saved, error)) << error;
    Document& b = second.ActiveDocument();
    EXPECT_EQ(second.LastLoad().codePage, "CP932");
    EXPECT_EQ(b.ModelSpace().Count(), a.ModelSpace().Count());
    for (int i = 0; i < a.ModelSpace().Count(); ++i) {
        const EntityPtr e = a.ModelSpace().Item(i);
        const EntityPtr f = ByHandle(b, e->Handle());
        ASSERT_TRUE(f) << e->Handle();
        ExpectSameEntity(e, f);
    }
    EXPECT_EQ(std::get<double>(b.GetVariable("DIMSCALE")), 200);
    ASSERT_EQ(b.Blocks().Count(), 1);
    EXPECT_EQ(b.Blocks().Item(0)->Count(), 2);
    const EntityPtr line = b.ModelSpace().Item(b.ModelSpace().Count() - 3);
    EXPECT_EQ(line->Layer(), "新画層");
    // New handles continue above the loaded ones.
    EXPECT_EQ(b.ModelSpace().AddLine({}, {1, 1, 0})->Handle().size(), 3u);
}

// The python3 that has ezdxf (the interpreter on PATH may be another than the system's).
std::string PythonWithEzdxf() {
    for (const char* python : {"python3", "/usr/bin/python3"}) {
        const std::string probe = std::string(python) + " -c \"import ezdxf\" > /dev/null 2>&1";
        if (std::system(probe.c_str()) == 0) return python;
    }
    return {};
}

TEST_F(HostDxfFile, IndependentReaderOpensTheSavedDrawing) {
    const std::string python = PythonWithEzdxf();
    if (python.empty()) GTEST_SKIP() << "python3 with ezdxf is not installed";
    DrawingHost host;
    std::string error;
    ASSERT_TRUE(host.Load(Kinds(), error)) << error;
    AddOwnEntities(host.ActiveDocument());
    const fs::path saved = dir_ / "saved.dxf";
    ASSERT_TRUE(host.Save(saved, error)) << error;

    const fs::path script = dir_ / "check.py";
    const fs::path report = dir_ / "report.txt";
    WriteBytes(script, R"(import collections, sys
import ezdxf
from ezdxf import recover
out = open(sys.argv[2], "w", encoding="utf-8")
# Problems of the saved drawing that the input does not have already.
known = set(e.message for e in ezdxf.readfile(sys.argv[3]).audit().fixes)
doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
out.write("errors %d\n" % len(auditor.errors))
for e in auditor.errors + [f for f in auditor.fixes if f.message not in known]:
    out.write("problem %s\n" % e.message)
counts = collections.Counter(e.dxftype() for e in doc.modelspace())
for t in sorted(counts):
    out.write("count %s %d\n" % (t, counts[t]))
for e in doc.modelspace().query("TEXT"):
    out.write("text %s\n" % e.dxf.text)
out.write("block %d\n" % len(doc.blocks.get("BOX")))
db = doc.entitydb
out.write("thickness %g\n" % db["1A"].dxf.thickness)
out.write("extrusion %g %g %g\n" % tuple(db["1B"].dxf.extrusion))
out.write("elevation %g\n" % db["1E"].dxf.elevation)
out.write("bulge %g\n" % db["1E"].get_points("b")[1][0])
out.write("pattern %g %g\n" % doc.linetypes.get("HIDDEN2").simplified_line_pattern()[:2])
)");
    const std::string cmd =
        python + " " + script.string() + " " + saved.string() + " " + report.string() + " " +
        Kinds().string();
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::map<std::string, int> counts;
    std::vector<std::string> texts;
    std::istringstream lines(ReadBytes(report));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("problem ", 0) == 0) ADD_FAILURE() << line;
        if (line.rfind("errors ", 0) == 0) {
            EXPECT_EQ(line.substr(line.find(' ') + 1), "0") << line;
        }
        if (line.rfind("count ", 0) == 0) {
            const std::size_t at = line.rfind(' ');
            counts[line.substr(6, at - 6)] = std::stoi(line.substr(at + 1));
        }
        if (line.rfind("text ", 0) == 0) texts.push_back(line.substr(5));
    }
    // Ours: the fixture's 11 model space entities, plus a text, a line and the block's line
    // and circle.
    const std::map<std::string, int> want = {
        {"ARC", 1},  {"CIRCLE", 2},     {"ELLIPSE", 1},  {"HATCH", 1},  {"INSERT", 1},
        {"LINE", 3}, {"LWPOLYLINE", 1}, {"POLYLINE", 2}, {"TEXT", 3},
    };
    EXPECT_EQ(counts, want);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "日本語テキスト"), texts.end());
    // Each value where the other reader looks for it.
    for (const char* value : {"block 2", "thickness 3000", "extrusion 0 0 -1", "elevation 9000",
                              "bulge 0.5", "pattern 3.175 1.5875"})
        EXPECT_NE(ReadBytes(report).find(std::string(value) + "\n"), std::string::npos) << value;
}

// Every drawing the program writes reads back, here and in the other reader. The fixture is
// in ANSI_1252 with lines out at the largest doubles. A 400-character Japanese text used to be
// written as a 2,800-byte line of \U+ escapes that the reader refused; it is refused when
// saving, with what to do. A line out to ±1e308 used to make the drawing's view infinite.
TEST_F(HostDxfFile, WrittenDrawingsReadBack) {
    const fs::path fixture = fs::path(ZUKA_TEST_DATA) / "dxf" / "huge_lines.dxf";
    const double big = std::numeric_limits<double>::max();
    const std::string kana100 = [] {
        std::string s;
        for (int i = 0; i < 100; ++i) s += "あ";
        return s;
    }();
    DrawingHost host;
    std::string error;
    ASSERT_TRUE(host.Load(fixture, error)) << error;
    Block& ms = host.ActiveDocument().ModelSpace();
    ms.AddLine({-big, 0, 0}, {big, -big, 0});  // new: every real written anew
    host.ActiveDocument().Layers().Add("Y");
    ByHandle(host.ActiveDocument(), "26")->SetLayer("Y");  // changed: written anew too
    ms.AddText(kana100, {0, -2000, 0}, 300);               // 700 bytes of escapes: fits
    for (const TPlotItem& it : host.Plot())
        for (const TAcadPoint& p : it.points) EXPECT_LE(std::fabs(p.x), 1e9) << it.handle;
    const fs::path saved = dir_ / "saved.dxf";
    ASSERT_TRUE(host.Save(saved, error)) << error;
    // The line nobody touched goes out as it came in.
    EXPECT_NE(ReadBytes(saved).find(" 10\r\n-1.7976931348623157E308\r\n 20\r\n0.0"),
              std::string::npos);

    DrawingHost again;
    ASSERT_TRUE(again.Load(saved, error)) << error;
    Block& back = again.ActiveDocument().ModelSpace();
    std::vector<TAcadPoint> ends;
    std::vector<std::string> texts;
    for (int i = 0; i < back.Count(); ++i) {
        const EntityPtr e = back.Item(i);
        if (e->EntityName() == "AcDbLine") ends.push_back(e->EndPoint());
        if (e->EntityName() == "AcDbText") texts.push_back(e->TextString());
    }
    ASSERT_EQ(ends.size(), 3u);
    EXPECT_EQ(ends[0].x, 1e308);
    EXPECT_EQ(ends[1].x, big);
    EXPECT_EQ(ends[2].y, -big);
    EXPECT_EQ(texts, std::vector<std::string>{kana100});

    if (const std::string python = PythonWithEzdxf(); !python.empty()) {
        const fs::path script = dir_ / "lines.py";
        WriteBytes(script, R"(import sys, ezdxf
from ezdxf.lldxf.encoding import decode_dxf_unicode
doc = ezdxf.readfile(sys.argv[1])
print(len(doc.audit().errors))
for e in doc.modelspace().query("LINE"):
    print(repr(e.dxf.start.x), repr(e.dxf.end.y))
for e in doc.modelspace().query("TEXT"):
    text = decode_dxf_unicode(e.dxf.text)
    print(len(text), text[:1])
)");
        const fs::path report = dir_ / "lines.txt";
        const std::string cmd =
            python + " " + script.string() + " " + saved.string() + " > " + report.string();
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        EXPECT_EQ(ReadBytes(report),
                  "0\n-1e+308 1e+308\n-1.7976931348623157e+308 0.0\n"
                  "-1.7976931348623157e+308 -1.7976931348623157e+308\n100 あ\n");
    }

    // Four hundred characters outside the code page: 2,800 bytes. Refused, no file.
    ms.AddText(kana100 + kana100 + kana100 + kana100, {0, -4000, 0}, 300);
    const fs::path refused = dir_ / "refused.dxf";
    EXPECT_FALSE(host.Save(refused, error));
    EXPECT_FALSE(fs::exists(refused));
    for (const char* part : {"書き込めません", "TEXT (ハンドル ", "2800 バイト", "1021 バイトまで",
                             "'あああ", "(ANSI_932)"})
        EXPECT_NE(error.find(part), std::string::npos) << part << "\n" << error;
}

// A drawing that names no code page is read as CP932 (R12 drawings of Japanese offices). Once a
// command adds text beyond ASCII, the saved header names ANSI_932, or readers elsewhere decode
// the text as garbage; nothing else of the input moves. A drawing that names its code page, or
// only gains ASCII, keeps its header as it was.
TEST_F(HostDxfFile, HeaderNamesTheCodePageOfNewJapaneseText) {
    const Groups line = {{0, "LINE"}, {8, "0"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}};
    const std::string withHeader = MinimalDxf({{9, "$ACADVER"}, {1, "AC1009"}}, line);
    const std::string noHeader =
        DxfText({{0, "SECTION"}, {2, "ENTITIES"}, line[0], line[1], line[2], line[3], line[4],
                 line[5], {0, "ENDSEC"}, {0, "EOF"}});
    const std::string named = MinimalDxf({{9, "$DWGCODEPAGE"}, {3, "ANSI_1252"}}, line);
    const std::string kNamed = "  9\r\n$DWGCODEPAGE\r\n  3\r\nANSI_932\r\n";
    struct Row {
        const char* name;
        std::string input;
        const char* text;
        bool names;  // the saved header gains $DWGCODEPAGE ANSI_932
    };
    const Row rows[] = {
        {"header without a code page, Japanese text", withHeader, "日影 計算", true},
        {"no header at all, Japanese text", noHeader, "日影 計算", true},
        {"header without a code page, ASCII text", withHeader, "shadow", false},
        {"a code page of its own", named, "café", false},
    };
    const std::string python = PythonWithEzdxf();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const fs::path in = dir_ / "in.dxf";
        const fs::path out = dir_ / "out.dxf";
        WriteBytes(in, r.input);
        DrawingHost host;
        std::string error;
        ASSERT_TRUE(host.Load(in, error)) << error;
        host.ActiveDocument().ModelSpace().AddText(r.text, {0, 0, 0}, 1);
        ASSERT_TRUE(host.Save(out, error)) << error;
        const std::string saved = ReadBytes(out);
        const std::size_t at = saved.find(kNamed);
        EXPECT_EQ(at != std::string::npos, r.names);
        if (at == std::string::npos) continue;
        // The variable closes the header (a header of its own where there was none); the input's
        // records follow as they were read.
        const std::string endsec = "  0\r\nENDSEC\r\n";
        const std::string header =
            r.input == noHeader ? "  0\r\nSECTION\r\n  2\r\nHEADER\r\n"
                                : r.input.substr(0, r.input.find(endsec));
        EXPECT_EQ(saved.substr(0, header.size() + kNamed.size() + endsec.size()),
                  header + kNamed + endsec);
        const std::string lineRecord = DxfText(line);
        EXPECT_NE(saved.find(lineRecord), std::string::npos);
        DrawingHost again;
        ASSERT_TRUE(again.Load(out, error)) << error;
        EXPECT_EQ(again.LastLoad().codePage, "CP932");
        if (python.empty()) continue;
        const fs::path script = dir_ / "text.py";
        const fs::path report = dir_ / "text.txt";
        WriteBytes(script, "import sys, ezdxf\n"
                           "doc = ezdxf.readfile(sys.argv[1])\n"
                           "open(sys.argv[2], 'w', encoding='utf-8').write(\n"
                           "    doc.encoding + '|' + doc.modelspace().query('TEXT')[0].dxf.text)\n");
        const std::string cmd =
            python + " " + script.string() + " " + out.string() + " " + report.string();
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        EXPECT_EQ(ReadBytes(report), std::string("cp932|") + r.text);
    }
}

// An entity a command changes is written anew with its handle, owner, extension dictionary
// and XDATA; one it erases leaves with its vertices; the others stay as they were.
TEST_F(HostDxfFile, ChangedAndErasedEntitiesOnly) {
    const Groups changed = {{0, "LINE"}, {5, "1A"}, {102, "{ACAD_XDICTIONARY"}, {360, "2F"},
                            {102, "}"}, {330, "1F"}, {100, "AcDbEntity"}, {8, "0"},
                            {100, "AcDbLine"}, {10, "0"}, {20, "0"}, {30, "0"}, {11, "5"},
                            {21, "0"}, {31, "0"}, {1001, "ZUKATEST"}, {1000, "keep"}};
    const Groups erased = {{0, "POLYLINE"}, {5, "1B"}, {330, "1F"}, {100, "AcDbEntity"},
                           {8, "0"}, {100, "AcDb2dPolyline"}, {66, "1"}, {10, "0"},
                           {20, "0"}, {30, "0"}, {70, "0"}, {0, "VERTEX"}, {5, "1C"},
                           {330, "1B"}, {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbVertex"},
                           {100, "AcDb2dVertex"}, {10, "1"}, {20, "2"}, {30, "0"},
                           {0, "SEQEND"}, {5, "1D"}, {330, "1B"}, {100, "AcDbEntity"},
                           {8, "0"}};
    const Groups kept = {{0, "CIRCLE"}, {5, "1E"}, {330, "1F"}, {100, "AcDbEntity"},
                         {8, "0"}, {100, "AcDbCircle"}, {10, "1"}, {20, "1"}, {30, "0"},
                         {40, "2"}};
    Groups entities = changed;
    entities.insert(entities.end(), erased.begin(), erased.end());
    entities.insert(entities.end(), kept.begin(), kept.end());
    const fs::path path = dir_ / "in.dxf";
    WriteBytes(path, MinimalDxf({{9, "$ACADVER"}, {1, "AC1015"}}, entities));
    DrawingHost host;
    std::string error;
    ASSERT_TRUE(host.Load(path, error)) << error;
    Document& doc = host.ActiveDocument();
    ByHandle(doc, "1A")->SetColor(1);
    ByHandle(doc, "1B")->Delete();
    const fs::path saved = dir_ / "saved.dxf";
    ASSERT_TRUE(host.Save(saved, error)) << error;
    const std::string bytes = ReadBytes(saved);
    EXPECT_EQ(bytes.find(DxfText(changed)), std::string::npos);
    for (const Groups& part :
         {Groups{{0, "LINE"}, {5, "1A"}, {102, "{ACAD_XDICTIONARY"}, {360, "2F"}, {102, "}"},
                 {330, "1F"}},
          Groups{{8, "0"}, {62, "1"}}, Groups{{1001, "ZUKATEST"}, {1000, "keep"}}, kept})
        EXPECT_NE(bytes.find(DxfText(part)), std::string::npos) << DxfText(part);
    for (const char* gone : {"POLYLINE", "VERTEX", "SEQEND"})
        EXPECT_EQ(bytes.find(gone), std::string::npos) << gone;
    EXPECT_EQ(host.LastSave().written, 1u);
}

// A drawing in metres is held in millimetres and saved back in metres: its own records as they
// were, what a command adds scaled back. A unit no table knows is refused, naming the value.
TEST_F(HostDxfFile, UnitsOtherThanMillimetresAreScaled) {
    const Groups line = {{0, "LINE"}, {5, "1A"}, {8, "0"}, {10, "1.5"}, {20, "2"}, {30, "0"},
                         {11, "3.25"}, {21, "2"}, {31, "0"}, {39, "9"}};
    const fs::path metres = dir_ / "metres.dxf";
    WriteBytes(metres, MinimalDxf({{9, "$INSUNITS"}, {70, "6"}}, line));
    DrawingHost host;
    std::string error;
    ASSERT_TRUE(host.Load(metres, error)) << error;
    EXPECT_EQ(host.LastLoad().unitScale, 1000);
    Document& doc = host.ActiveDocument();
    const EntityPtr e = ByHandle(doc, "1A");
    ExpectPoint(e->StartPoint(), 1500, 2000, 0);
    EXPECT_EQ(e->Thickness(), 9000);
    doc.ModelSpace().AddCircle({2500, 500, 0}, 250);
    const fs::path saved = dir_ / "saved.dxf";
    ASSERT_TRUE(host.Save(saved, error)) << error;
    const std::string bytes = ReadBytes(saved);
    EXPECT_NE(bytes.find(DxfText(line)), std::string::npos);  // as it was
    EXPECT_NE(bytes.find(DxfText({{10, "2.5"}, {20, "0.5"}, {30, "0"}, {40, "0.25"}})),
              std::string::npos)
        << bytes;

    const fs::path odd = dir_ / "odd.dxf";
    WriteBytes(odd, MinimalDxf({{9, "$INSUNITS"}, {70, "99"}}, line));
    EXPECT_FALSE(host.Load(odd, error));
    EXPECT_NE(error.find("$INSUNITS = 99"), std::string::npos) << error;
    EXPECT_NE(error.find(odd.string()), std::string::npos) << error;
}

// A large drawing loads whole (load times are measured by bench/host_dxf_bench.cpp).
TEST_F(HostDxfFile, LoadsTenThousandEntities) {
    Groups g;
    for (int i = 0; i < 10000; ++i) {
        const std::string x = std::to_string(i * 10);
        switch (i % 3) {
            case 0:
                g.insert(g.end(), {{0, "LINE"},
                                   {5, std::to_string(100 + i)},
                                   {8, "\x8c\x9a\x95\xa8"},
                                   {10, x},
                                   {20, "0"},
                                   {11, x},
                                   {21, "100"},
                                   {39, "3000"}});
                break;
            case 1:
                g.insert(g.end(), {{0, "LWPOLYLINE"},
                                   {5, std::to_string(100 + i)},
                                   {8, "\x8c\x9a\x95\xa8"},
                                   {90, "4"},
                                   {70, "1"},
                                   {38, "9000"},
                                   {10, x},
                                   {20, "0"},
                                   {10, x},
                                   {20, "10"},
                                   {42, "0.5"},
                                   {10, "5"},
                                   {20, "10"},
                                   {10, "5"},
                                   {20, "0"}});
                break;
            default:
                g.insert(g.end(), {{0, "TEXT"},
                                   {5, std::to_string(100 + i)},
                                   {8, "0"},
                                   {10, x},
                                   {20, "5"},
                                   {40, "2.5"},
                                   {1, "\x93\xfa\x89\x65\x90\x7d " + x}});
        }
    }
    const fs::path path = dir_ / "large.dxf";
    WriteBytes(path, MinimalDxf({}, g));
    DrawingHost host;
    std::string error;
    ASSERT_TRUE(host.Load(path, error)) << error;
    EXPECT_EQ(host.ActiveDocument().ModelSpace().Count(), 10000);
    EXPECT_EQ(host.ActiveDocument().ModelSpace().Item(2)->TextString(), "日影図 20");
}

}  // namespace
}  // namespace zuka

// Heights for flat plans: a plan drawn at height 0 given a height for the run is the same model,
// and draws the same diagram, as the plan drawn at that height.
#include "app/height_override.h"

#include <gtest/gtest.h>

#include "app/controller.h"
#include "cad/host/drawing_host.h"
#include "cad/interaction.h"

namespace zuka {
namespace {

TEST(HeightOverride, Parse) {
    struct Row {
        const char* text;
        bool ok;
        const char* key;
        double metres;
    };
    const Row rows[] = {
        {"計画=12", true, "計画", 12}, {"A=B=3.5", true, "A=B", 3.5}, {"1F=0", true, "1F", 0},
        {"=12", false, "", 0},         {"計画", false, "", 0},        {"計画=-1", false, "", 0},
        {"計画=12m", false, "", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        const std::optional<THeightOverride> o = ParseHeightOverride(r.text);
        ASSERT_EQ(o.has_value(), r.ok);
        if (!o) continue;
        EXPECT_EQ(o->key, r.key);
        EXPECT_EQ(o->metres, r.metres);
    }
}

// A 20 m x 10 m box of four LINEs on layer `layer` with its tops at z, and a lone LINE on
// layer "他" at 3 m.
struct TPlan {
    ScriptedInteraction picks;
    DrawingHost host{&picks};
    HostConnector connector{host};
    std::string handle;  // the box's first line
    TPlan(const std::string& layer, double z) {
        host.New("plan.dxf");
        host.ActiveDocument().Layers().Add(layer);
        host.ActiveDocument().Layers().Add("他");
        Block& ms = host.ActiveDocument().ModelSpace();
        const double c[5][2] = {{0, 0}, {20000, 0}, {20000, 10000}, {0, 10000}, {0, 0}};
        for (int i = 0; i < 4; ++i) {
            EntityPtr e = ms.AddLine({c[i][0], c[i][1], z}, {c[i + 1][0], c[i + 1][1], z});
            e->SetLayer(layer);
            if (i == 0) handle = e->Handle();
        }
        ms.AddLine({-5000, 0, 3000}, {-5000, 10000, 3000})->SetLayer("他");
    }
};

struct TQuietUi : UiHost {
    void MessageBox(const std::string&, const std::string&) override {}
};

// Acquires every entity of the plan and draws the time-of-day diagram.
TZukaResult Diagram(TPlan& plan, const std::vector<THeightOverride>& heights, Controller& c) {
    c.FormCreate(IniFile{});
    c.SetCadConnector(&plan.connector);
    c.heightOverrides = heights;
    plan.picks.PushSelection("all");
    c.Button2Click();
    c.Button3Click();
    return c.LastZuka();
}

TEST(HeightOverride, FlatPlanDrawsAsThePlanWithElevations) {
    TQuietUi ui;
    TPlan raised("計画", 12000);
    Controller withZ(ui, std::filesystem::temp_directory_path());
    const TZukaResult want = Diagram(raised, {}, withZ);

    TPlan flat("計画", 0);
    Controller given(ui, std::filesystem::temp_directory_path());
    const TZukaResult got = Diagram(flat, {{"計画", 12, 0}}, given);
    EXPECT_EQ(given.heightOverrides[0].entities, 4);
    EXPECT_EQ(given.ws.gbzmax, 12000);
    ASSERT_EQ(got.drawn.size(), want.drawn.size());
    ASSERT_GT(got.drawn.size(), 0u);
    for (std::size_t i = 0; i < got.drawn.size(); ++i) {
        ASSERT_EQ(got.drawn[i].vertices.size(), want.drawn[i].vertices.size());
        for (std::size_t k = 0; k < got.drawn[i].vertices.size(); ++k) {
            EXPECT_EQ(got.drawn[i].vertices[k].x, want.drawn[i].vertices[k].x);
            EXPECT_EQ(got.drawn[i].vertices[k].y, want.drawn[i].vertices[k].y);
        }
    }

    // A handle's height is taken before its layer's; the other layer keeps its own.
    TPlan mixed("計画", 0);
    Controller c(ui, std::filesystem::temp_directory_path());
    Diagram(mixed, {{"計画", 12, 0}, {mixed.handle, 20, 0}}, c);
    EXPECT_EQ(c.heightOverrides[0].entities, 3);
    EXPECT_EQ(c.heightOverrides[1].entities, 1);
    EXPECT_EQ(c.ws.gbzmax, 20000);
    double other = 0;
    for (const TLineEnt& w : c.ws.AryTatemono)
        if (w.st.x == -5000) other = w.st.z;
    EXPECT_EQ(other, 3000);
}

}  // namespace
}  // namespace zuka

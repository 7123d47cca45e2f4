// Every command leaves the run state as it found it: after it has finished, after 中止 and after
// the CAD failed under it, no run is flagged, no command counts as running and every button that
// could start a command before can start one again. And a command that draws is one undo group,
// begun and ended, also when it fails.
#include "app/command_scope.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/command_gate.h"
#include "example_fixture.h"

namespace zuka {
namespace {

using PointGrid = Controller::PointGrid;

enum class Ending { Finished, Stopped, CadFailed };

const char* Name(Ending e) {
    switch (e) {
        case Ending::Finished:
            return "finished";
        case Ending::Stopped:
            return "中止";
        case Ending::CadFailed:
            return "CAD failed";
    }
    return "";
}

// One command button: what the user answers for a normal run, and the handler it runs.
struct TCommandCase {
    const char* button;
    std::function<void(ScriptedInteraction&)> picks;
    std::function<void(Controller&)> press;
};

// Three measurement points of the example as a grid's rows.
void FillGrid(TGridCells& g) {
    g.resize(1);
    const std::size_t cols = g[0].size();
    const char* xy[][2] = {{"35000", "42000"}, {"20000", "42000"}, {"50000", "42000"}};
    for (int i = 0; i < 3; ++i) {
        std::vector<std::string> row(cols);
        row[0] = std::to_string(i + 1);
        row[1] = xy[i][0];
        row[2] = xy[i][1];
        row[3] = row[0];
        g.push_back(row);
    }
}

const std::vector<TCommandCase>& Cases() {
    static const std::vector<TCommandCase> cases = {
        {"Button2 取得", [](ScriptedInteraction& p) { p.PushSelection("layer=建物"); },
         [](Controller& c) { c.Button2Click(); }},
        {"Button3 時刻", [](ScriptedInteraction&) {}, [](Controller& c) { c.Button3Click(); }},
        {"Button6 等時間日影", [](ScriptedInteraction&) {},
         [](Controller& c) { c.Button6Click(); }},
        {"Button5 壁面",
         [](ScriptedInteraction& p) {
             p.Push({AnswerKind::Entity, {26000, 27000, 0}, "40", {}, 0});
         },
         [](Controller& c) { c.Button5Click(); }},
        {"SpeedButton1 2点指示", [](ScriptedInteraction& p) { p.PushAngle(0.5); },
         [](Controller& c) { c.SpeedButton1Click(); }},
        {"SpeedButton2 描画",
         [](ScriptedInteraction& p) {
             p.PushPoint({0, 0, 0});
         },
         [](Controller& c) { c.SpeedButton2Click(); }},
        {"Button21 特定点連続指示",
         [](ScriptedInteraction& p) {
             p.PushPoint({35000, 42000, 0});
             p.PushEnter();
         },
         [](Controller& c) { c.Button21Click(PointGrid::StringGrid2); }},
        {"Button22 特定点一括取得", [](ScriptedInteraction& p) { p.PushSelection("layer=測定点"); },
         [](Controller& c) { c.Button22Click(PointGrid::StringGrid2); }},
        {"Button23 再計算", [](ScriptedInteraction&) {},
         [](Controller& c) {
             FillGrid(c.form.StringGrid2);
             c.Button23Click();
         }},
        {"Button15 作成",
         [](ScriptedInteraction& p) {
             p.PushPoint({0, 0, 0});
         },
         [](Controller& c) {
             FillGrid(c.form.StringGrid2);
             c.Button15Click();
         }},
        {"Button12 測定点連続指示",
         [](ScriptedInteraction& p) {
             p.PushPoint({35000, 42000, 0});
             p.PushEnter();
         },
         [](Controller& c) { c.Button21Click(PointGrid::StringGrid1); }},
        {"Button16 測定点一括取得", [](ScriptedInteraction& p) { p.PushSelection("layer=測定点"); },
         [](Controller& c) { c.Button22Click(PointGrid::StringGrid1); }},
        {"Button9 再計算", [](ScriptedInteraction&) {},
         [](Controller& c) {
             FillGrid(c.form.StringGrid1);
             c.Button9Click();
         }},
        {"Button8 測定点指示",
         [](ScriptedInteraction& p) {
             p.PushPoint({35000, 42000, 0});
             p.PushPoint({80000, 40000, 0});
             p.PushPoint({90000, 40000, 0});
             p.PushPoint({120000, 40000, 0});
         },
         [](Controller& c) {
             c.form.RadioGroup2 = 1;
             c.RadioGroup2Click();
             c.Button8Click(0);
         }},
        {"Button13 作図(A)",
         [](ScriptedInteraction& p) {
             p.PushPoint({80000, 40000, 0});
             p.PushPoint({90000, 40000, 0});
             p.PushPoint({120000, 40000, 0});
         },
         [](Controller& c) {
             c.form.RadioGroup4 = 1;
             c.RadioGroup4Click();
             FillGrid(c.form.StringGrid1);
             c.form.StringGrid1Row = 1;
             c.Button13Click(0);
         }},
        {"Button18 一括(A)",
         [](ScriptedInteraction& p) {
             p.PushPoint({80000, 40000, 0});
         },
         [](Controller& c) {
             c.form.RadioGroup4 = 1;
             c.RadioGroup4Click();
             FillGrid(c.form.StringGrid1);
             c.Button18Click(0);
         }},
        {"Button26 -BO",
         [](ScriptedInteraction& p) {
             p.PushPoint({35000, 42000, 0});
         },
         [](Controller& c) { c.Button26Click(); }},
        {"SpeedButton8 取得", [](ScriptedInteraction&) {},
         [](Controller& c) { c.SpeedButton8Click(); }},
        {"Button20 境界線作成", [](ScriptedInteraction& p) { p.PushSelection("layer=敷地"); },
         [](Controller& c) { c.Button20Click(); }},
        {"SpeedButton5 倍率表作成",
         [](ScriptedInteraction& p) {
             p.PushPoint({0, 0, 0});
         },
         [](Controller& c) {
             c.SpeedButton3Click();
             c.SpeedButton5Click();
         }},
        {"日影規制", [](ScriptedInteraction& p) { p.PushSelection("layer=敷地"); },
         [](Controller& c) {
             TKiseiRequest r;
             r.hours5 = 5;
             r.hours10 = 3;
             c.KiseiCheck(r);
         }},
    };
    return cases;
}

// The user, or the drawing going away, at the first question or the first moment the run lets
// the window's messages through.
class Interrupting : public Interaction {
public:
    Interrupting(ScriptedInteraction& script, std::function<void()> interrupt)
        : script_(script), interrupt_(std::move(interrupt)) {}
    TAnswer Ask(AnswerKind want, const std::string& prompt) override {
        if (interrupt_) {
            interrupt_();
            interrupt_ = nullptr;
        }
        return script_.Ask(want, prompt);
    }

private:
    ScriptedInteraction& script_;
    std::function<void()> interrupt_;
};

class CommandScopeTest : public ExampleDrawingTest {};

TEST_F(CommandScopeTest, EveryCommandLeavesTheRunStateAsFound) {
    const std::string sample =
        (std::filesystem::path(ZUKA_SOURCE_DIR) / "examples" / "sample.dxf").string();
    for (Ending ending : {Ending::Finished, Ending::Stopped, Ending::CadFailed}) {
        for (const TCommandCase& cmd : Cases()) {
            SCOPED_TRACE(std::string(cmd.button) + ", " + Name(ending));

            // A fresh drawing and model for every run (a failed run closes the drawing).
            std::string error;
            ASSERT_TRUE(host_.Load(sample, error)) << error;
            picks_ = ScriptedInteraction{};
            host_.SetInteraction(&picks_);
            ui_.messages.clear();
            picks_.PushSelection("layer=建物");
            c_.Button2Click();
            ASSERT_FALSE(c_.ws.AryTatemono.empty());
            c_.form.CheckBox2 = false;
            const int undoStarted = host_.UndoMarksStarted();
            const int undoEnded = host_.UndoMarksEnded();
            std::vector<std::pair<TButton*, bool>> before;
            for (TButton* b : StarterButtons(c_.form)) before.emplace_back(b, b->Enabled);

            std::function<void()> interrupt;
            if (ending == Ending::Finished) {
                cmd.picks(picks_);
            } else if (ending == Ending::Stopped) {
                // 中止 (every run's stop turns RunFlag off), or Escape at the first pick.
                interrupt = [this] { c_.form.RunFlag = false; };
            } else {
                interrupt = [this] { host_.Close(); };
                cmd.picks(picks_);
            }
            Interrupting user(picks_, interrupt);
            host_.SetInteraction(&user);
            ui_.onProcessMessages = [&interrupt] {
                if (interrupt) {
                    interrupt();
                    interrupt = nullptr;
                }
            };
            RunCommand(c_.form, [&] {
                try {
                    cmd.press(c_);
                } catch (const AutomationError&) {
                    // Commands that let a failure of the CAD pass on to the front end.
                }
            });
            ui_.onProcessMessages = nullptr;
            host_.SetInteraction(&picks_);

            EXPECT_FALSE(c_.form.RunFlag);
            EXPECT_FALSE(c_.form.CommandRunning);
            for (auto [b, enabled] : before)
                EXPECT_TRUE(!enabled || b->Enabled) << b->Caption << " left disabled";
            EXPECT_FALSE(c_.form.Button7.Enabled);
            EXPECT_FALSE(c_.form.Button10.Enabled);
            EXPECT_EQ(c_.form.Button23.Caption, "再計算");
            // An undo group begun is ended (on a drawing that is still there to end it on).
            if (ending != Ending::CadFailed) {
                EXPECT_EQ(host_.UndoMarksStarted() - undoStarted,
                          host_.UndoMarksEnded() - undoEnded);
            }
        }
    }
}

}  // namespace
}  // namespace zuka

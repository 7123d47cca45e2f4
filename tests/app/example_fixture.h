// A controller over the embedded drawing host with the example drawing open and its buildings
// (layer 建物) acquired, a work folder of the test's own, and the user's picks scripted.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/controller.h"
#include "cad/host/drawing_host.h"
#include "cad/interaction.h"
#include "temp_dir.h"

namespace zuka {

class ExampleDrawingTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host_.Load(std::filesystem::path(ZUKA_SOURCE_DIR) / "examples" / "sample.dxf",
                               error))
            << error;
        c_.FormCreate(IniFile{});
        c_.SetCadConnector(&connector_);
        picks_.PushSelection("layer=建物");
        c_.Button2Click();
        ASSERT_EQ(c_.ws.AryTatemono.size(), 26u);
    }
    // Entities of the drawing's model space on a layer.
    int CountOnLayer(const std::string& layer) {
        Block& ms = host_.ActiveDocument().ModelSpace();
        int n = 0;
        for (int i = 0; i < ms.Count(); ++i) n += ms.Item(i)->Layer() == layer;
        return n;
    }

    testing::TempDir tmp_;
    std::filesystem::path dir_ = tmp_.Path();
    ScriptedInteraction picks_;
    DrawingHost host_{&picks_};
    HostConnector connector_{host_};
    RecordingUiHost ui_;
    Controller c_{ui_, dir_};
};

}  // namespace zuka

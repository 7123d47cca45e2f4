// Helpers shared by the drawing host's tests: a fresh folder per test, DXF text written group
// by group, and the fixture drawing's path.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "cad/automation.h"
#include "cad/host/drawing_host.h"
#include "file_bytes.h"

namespace zuka::testing {

namespace fs = std::filesystem;

inline fs::path DrawingsDir() { return fs::path(ZUKA_TEST_DATA) / "drawings"; }

using Groups = std::vector<std::pair<int, std::string>>;

// Group pairs as DXF text, CR LF line ends, the bytes of the values as given.
inline std::string DxfText(const Groups& groups) {
    std::string text;
    for (const auto& [code, value] : groups) {
        std::string c = std::to_string(code);
        text += std::string(c.size() < 3 ? 3 - c.size() : 0, ' ') + c + "\r\n" + value + "\r\n";
    }
    return text;
}

// A minimal drawing: optional header variables, then the entities' groups, then EOF.
inline std::string MinimalDxf(const Groups& header, const Groups& entities) {
    Groups g = {{0, "SECTION"}, {2, "HEADER"}};
    g.insert(g.end(), header.begin(), header.end());
    g.insert(g.end(), {{0, "ENDSEC"}, {0, "SECTION"}, {2, "ENTITIES"}});
    g.insert(g.end(), entities.begin(), entities.end());
    g.insert(g.end(), {{0, "ENDSEC"}, {0, "EOF"}});
    return DxfText(g);
}

// A fresh folder per test, removed afterwards.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / ("zuka_host_" + std::to_string(getpid()) + "_" +
                                            info->test_suite_name() + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

inline void ExpectPoint(TAcadPoint p, double x, double y, double z, double tol = 1e-9) {
    EXPECT_NEAR(p.x, x, tol);
    EXPECT_NEAR(p.y, y, tol);
    EXPECT_NEAR(p.z, z, tol);
}

// The entity of model space with this handle, or null.
inline EntityPtr ByHandle(Document& doc, const std::string& handle) {
    Block& ms = doc.ModelSpace();
    for (int i = 0; i < ms.Count(); ++i)
        if (ms.Item(i)->Handle() == handle) return ms.Item(i);
    return nullptr;
}

}  // namespace zuka::testing

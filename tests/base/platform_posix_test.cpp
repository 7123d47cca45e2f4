// The Linux side of the platform unit.
#include "base/platform.h"

#include <gtest/gtest.h>

namespace zuka {
namespace {

TEST(Platform, DataFolderFromTheEnvironment) {
    struct Row {
        const char* name;
        const char* xdg;
        const char* home;
        const char* want;
    };
    const Row rows[] = {
        {"data home set", "/data/u", "/home/u", "/data/u/zuka"},
        {"data home empty", "", "/home/u", "/home/u/.local/share/zuka"},
        {"data home unset", nullptr, "/home/u", "/home/u/.local/share/zuka"},
        {"relative data home is ignored", "rel/data", "/home/u", "/home/u/.local/share/zuka"},
        {"nothing set", nullptr, nullptr, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(XdgDataFolder(r.xdg, r.home), std::filesystem::path(r.want));
    }
}

}  // namespace
}  // namespace zuka

// The automation bridge's speed: 取得 and 時刻 of the benchmarks' city block (400 buildings as
// closed polylines, a layer per height) through the bridge against the test server that plays
// the CAD, and the same on the drawing host directly in the same run. Reports the calls across
// the process boundary per entity read, the seconds of each, and the ratios bridge / host.
//
// A timing program run by hand under wine, not a test (scripts/bench-bridge runs it):
//   zuka_bridge_bench.exe SERVER_EXE [BUILDINGS] [ROUNDS]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/controller.h"
#include "app/height_override.h"
#include "app/ui_host.h"
#include "base/platform.h"
#include "cad/com/com_automation.h"
#include "cad/com/com_connector.h"
#include "cad/com/com_variant.h"
#include "cad/com/dispatch.h"
#include "cad/host/drawing_host.h"
#include "district.h"
#include "geom/primitives.h"
#include "server_process.h"

namespace zuka {
namespace {

constexpr char kProgId[] = "ZukaBench.Application";

std::filesystem::path Folder(const std::string& name) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zuka_bridge_bench_" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// The city block as a drawing: each building a closed lightweight polyline on the layer
// "建物<height in m>"; the heights given to those layers.
bool MakeCity(int buildings, const std::filesystem::path& file,
              std::vector<THeightOverride>& heights, int& polylines) {
    DrawingHost maker;
    maker.New();
    Document& doc = maker.ActiveDocument();
    std::vector<double> xy;
    TAcadPoint first;
    polylines = 0;
    for (const TLineEnt& w : bench::CityBlock(buildings)) {
        if (xy.empty()) {
            first = w.st;
            xy = {w.st.x, w.st.y};
        }
        if (!SamePoint2D(w.ed, first, kSamePointTol)) {
            xy.push_back(w.ed.x);
            xy.push_back(w.ed.y);
            continue;
        }
        const std::string layer = "建物" + std::to_string(static_cast<int>(w.st.z / 1000));
        if (std::none_of(heights.begin(), heights.end(),
                         [&](const THeightOverride& h) { return h.key == layer; })) {
            doc.Layers().Add(layer);
            heights.push_back({layer, w.st.z / 1000, 0});
        }
        EntityPtr e = doc.ModelSpace().AddLightWeightPolyline(xy);
        e->SetClosed(true);
        e->SetLayer(layer);
        xy.clear();
        ++polylines;
    }
    std::string error;
    if (maker.Save(file, error)) return true;
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
}

// A controller as the window starts it, without the calculation record.
void Start(Controller& c, CadConnector& cad, const std::vector<THeightOverride>& heights) {
    c.FormCreate(IniFile{});
    c.form.TargetProgID = kProgId;
    c.leaveRecord = false;
    c.heightOverrides = heights;
    c.SetCadConnector(&cad);
}

template <class F>
double Seconds(F&& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

struct TTimes {
    double acquire = 0;
    double draw = 0;
    long long acquireCalls = 0;
    long long drawCalls = 0;
    std::size_t walls = 0;
};

// 取得 of every entity, then 時刻, on `cad`; the fastest of `rounds`.
TTimes Run(CadConnector& cad, const std::vector<THeightOverride>& heights, int rounds,
           const std::function<void()>& beforeRound) {
    TTimes best;
    for (int r = 0; r < rounds; ++r) {
        beforeRound();
        RecordingUiHost ui;
        Controller c(ui, Folder("work"));
        Start(c, cad, heights);
        TTimes t;
        const long long calls0 = com::Dispatch::Calls();
        t.acquire = Seconds([&] { c.Button2Click(); });
        const long long calls1 = com::Dispatch::Calls();
        t.draw = Seconds([&] { c.Button3Click(); });
        t.acquireCalls = calls1 - calls0;
        t.drawCalls = com::Dispatch::Calls() - calls1;
        t.walls = c.ws.AryTatemono.size();
        for (const RecordingUiHost::TMessage& m : ui.messages)
            std::fprintf(stderr, "message: %s\n", m.text.c_str());
        if (r == 0 || t.acquire < best.acquire) best.acquire = t.acquire;
        if (r == 0 || t.draw < best.draw) best.draw = t.draw;
        best.acquireCalls = t.acquireCalls;
        best.drawCalls = t.drawCalls;
        best.walls = t.walls;
    }
    return best;
}

int Main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: zuka_bridge_bench SERVER_EXE [BUILDINGS] [ROUNDS]\n");
        return 2;
    }
    const std::filesystem::path serverExe = PathFromUtf8(argv[1]);
    const int buildings = argc > 2 ? std::max(1, std::atoi(argv[2])) : 400;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;

    const std::filesystem::path city = Folder("city") / "city.dxf";
    std::vector<THeightOverride> heights;
    int polylines = 0;
    if (!MakeCity(buildings, city, heights, polylines)) return 1;

    // On the drawing host directly.
    ScriptedInteraction picks;
    DrawingHost host(&picks);
    HostConnector hostCad(host);
    const TTimes onHost = Run(hostCad, heights, rounds, [&] {
        std::string error;
        host.Load(city, error);
        picks.PushSelection("all");
    });

    // Through the bridge, against the test server.
    com::ComConnector connector;
    testing::ServerProcess server({kProgId}, kProgId);
    if (!server.StartExe(connector, serverExe)) {
        std::fprintf(stderr, "the test server did not start: %s\n", argv[1]);
        return 1;
    }
    const auto control = [&connector]() -> const com::Dispatch& {
        return static_cast<com::ComApplication&>(*connector.GetActiveObject(kProgId)).Object();
    };
    const TTimes bridged = Run(connector, heights, rounds, [&] {
        std::vector<com::Variant> args;
        args.push_back(com::FromString(PathToUtf8(city)));
        args.push_back(com::FromString("selection all\n"));
        control().Call("TestReset", std::move(args));
    });
    try {
        control().Call("Quit");
    } catch (const AutomationError&) {
    }

    if (bridged.walls != onHost.walls) {
        std::fprintf(stderr, "the bridge read %zu walls, the host %zu\n", bridged.walls,
                     onHost.walls);
        return 1;
    }
    std::printf("city block: %d buildings, %d polylines, %zu walls; fastest of %d\n", buildings,
                polylines, onHost.walls, rounds);
    std::printf("%-6s %12s %12s %12s %10s %12s\n", "", "bridge s", "host s", "bridge/host", "calls",
                "calls/entity");
    std::printf("%-6s %12.3f %12.4f %12.0f %10lld %12.2f\n", "取得", bridged.acquire,
                onHost.acquire, bridged.acquire / onHost.acquire, bridged.acquireCalls,
                double(bridged.acquireCalls) / polylines);
    std::printf("%-6s %12.3f %12.4f %12.1f %10lld %12s\n", "時刻", bridged.draw, onHost.draw,
                bridged.draw / onHost.draw, bridged.drawCalls, "");
    return 0;
}

}  // namespace
}  // namespace zuka

int main(int argc, char** argv) { return zuka::Main(argc, argv); }

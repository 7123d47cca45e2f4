// Loading and saving a user's drawing in the embedded drawing host.
//
// The drawing (written once, into the temporary folder) is an R2000 plan of 7,000 entities and
// about 4 MB, as an office's site plan is: 2,000 closed polylines of 24 vertices on building
// and site layers, 3,000 lines with XDATA, 1,000 texts in Japanese and 1,000 hatches (kept as
// records the host does not model).
//
// BM_LoadAndSaveDrawing: open the drawing, add one line (so that the save writes a new record
// and raises $HANDSEED) and save it. BM_CopyDrawingFile: the same file read into memory and
// written back, the floor any load and save stands on; the ratio of the two is the host's cost.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/file_io.h"
#include "cad/host/drawing_host.h"
#include "cad/host/host_dxf_source.h"

namespace zuka::bench {
namespace {

namespace fs = std::filesystem;

void Group(std::string& out, int code, const std::string& value) {
    const std::string c = std::to_string(code);
    out += std::string(c.size() < 3 ? 3 - c.size() : 0, ' ') + c + "\r\n" + value + "\r\n";
}

// The plan described above, in CP932.
const fs::path& PlanDrawing() {
    static const fs::path path = [] {
        const fs::path p =
            fs::temp_directory_path() / ("zuka_bench_plan_" + std::to_string(::getpid()) + ".dxf");
        const std::string building = "\x8C\x9A\x95\xA8";  // 建物
        std::string s;
        unsigned handle = 0x100;
        const auto entity = [&](const char* type, const std::string& layer) {
            Group(s, 0, type);
            Group(s, 5, HandleText(handle++));
            Group(s, 330, "1F");
            Group(s, 100, "AcDbEntity");
            Group(s, 8, layer);
        };
        for (const auto& [code, value] :
             std::initializer_list<std::pair<int, std::string>>{{0, "SECTION"},
                                                                {2, "HEADER"},
                                                                {9, "$ACADVER"},
                                                                {1, "AC1015"},
                                                                {9, "$DWGCODEPAGE"},
                                                                {3, "ANSI_932"},
                                                                {9, "$INSUNITS"},
                                                                {70, "4"},
                                                                {9, "$HANDSEED"},
                                                                {5, "10000"},
                                                                {0, "ENDSEC"},
                                                                {0, "SECTION"},
                                                                {2, "TABLES"},
                                                                {0, "TABLE"},
                                                                {2, "LAYER"},
                                                                {5, "2"},
                                                                {330, "0"},
                                                                {100, "AcDbSymbolTable"},
                                                                {70, "2"},
                                                                {0, "LAYER"},
                                                                {5, "10"},
                                                                {330, "2"},
                                                                {100, "AcDbSymbolTableRecord"},
                                                                {100, "AcDbLayerTableRecord"},
                                                                {2, "0"},
                                                                {70, "0"},
                                                                {62, "7"},
                                                                {6, "Continuous"},
                                                                {0, "ENDTAB"},
                                                                {0, "TABLE"},
                                                                {2, "BLOCK_RECORD"},
                                                                {5, "1"},
                                                                {330, "0"},
                                                                {100, "AcDbSymbolTable"},
                                                                {70, "1"},
                                                                {0, "BLOCK_RECORD"},
                                                                {5, "1F"},
                                                                {330, "1"},
                                                                {100, "AcDbSymbolTableRecord"},
                                                                {100, "AcDbBlockTableRecord"},
                                                                {2, "*Model_Space"},
                                                                {340, "0"},
                                                                {0, "ENDTAB"},
                                                                {0, "ENDSEC"},
                                                                {0, "SECTION"},
                                                                {2, "ENTITIES"}})
            Group(s, code, value);
        for (int i = 0; i < 2000; ++i) {
            entity("LWPOLYLINE", i % 2 ? building : "\x95\x7E\x92\x6E");  // 敷地
            Group(s, 100, "AcDbPolyline");
            Group(s, 90, "24");
            Group(s, 70, "1");
            Group(s, 38, std::to_string(3000 + i % 7 * 3000));
            for (int k = 0; k < 24; ++k) {
                Group(s, 10, std::to_string(i * 1000 + k * 37.125));
                Group(s, 20, std::to_string(k % 2 ? 12345.678 + i : 9876.5 + k));
            }
        }
        for (int i = 0; i < 3000; ++i) {
            entity("LINE", building);
            Group(s, 100, "AcDbLine");
            Group(s, 39, "3000.0");
            for (int code : {10, 20, 30, 11, 21, 31})
                Group(s, code, std::to_string(i * 1.5 + code));
            Group(s, 1001, "ACAD");
            Group(s, 1000, "\x8A\x4F\x95\xC7 " + std::to_string(i));  // 外壁
        }
        for (int i = 0; i < 1000; ++i) {
            entity("TEXT", "\x92\x8D\x8B\x4C");  // 注記
            Group(s, 100, "AcDbText");
            for (int code : {10, 20, 30}) Group(s, code, std::to_string(i * 10 + code));
            Group(s, 40, "350.0");
            Group(s, 1, "\x93\xFA\x89\x65\x90\x7D " + std::to_string(i));  // 日影図
            Group(s, 100, "AcDbText");
        }
        for (int i = 0; i < 1000; ++i) {
            entity("HATCH", "\x92\x8D\x8B\x4C");
            Group(s, 100, "AcDbHatch");
            for (int code : {10, 20, 30}) Group(s, code, "0.0");
            for (int code : {210, 220}) Group(s, code, "0.0");
            Group(s, 230, "1.0");
            Group(s, 2, "SOLID");
            Group(s, 70, "1");
            Group(s, 71, "0");
            Group(s, 91, "1");
            Group(s, 92, "7");
            Group(s, 72, "0");
            Group(s, 73, "1");
            Group(s, 93, "32");
            for (int k = 0; k < 32; ++k) {
                Group(s, 10, std::to_string(i * 100 + k * 3.25));
                Group(s, 20, std::to_string(k % 3 * 41.5 + i));
            }
            Group(s, 97, "0");
            Group(s, 75, "0");
            Group(s, 76, "1");
            Group(s, 98, "0");
        }
        Group(s, 0, "ENDSEC");
        Group(s, 0, "EOF");
        WriteFileReplacing(p, s);
        return p;
    }();
    return path;
}

void BM_LoadAndSaveDrawing(benchmark::State& state) {
    const fs::path in = PlanDrawing();
    const fs::path out = fs::path(in).replace_extension(".saved.dxf");
    for (auto _ : state) {
        DrawingHost host;
        std::string error;
        if (!host.Load(in, error) ||
            (host.ActiveDocument().ModelSpace().AddLine({0, 0, 0}, {1, 1, 0}),
             !host.Save(out, error))) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.counters["entities"] = static_cast<double>(host.LastLoad().entities);
    }
    state.counters["MB"] = static_cast<double>(fs::file_size(in)) / 1e6;
    fs::remove(out);
}
BENCHMARK(BM_LoadAndSaveDrawing)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_CopyDrawingFile(benchmark::State& state) {
    const fs::path in = PlanDrawing();
    const fs::path out = fs::path(in).replace_extension(".copy.dxf");
    for (auto _ : state) {
        std::ifstream f(in, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(f),
                                std::istreambuf_iterator<char>()};
        WriteFileReplacing(out, bytes);
    }
    fs::remove(out);
}
BENCHMARK(BM_CopyDrawingFile)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace zuka::bench

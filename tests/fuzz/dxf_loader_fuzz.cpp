#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "cad/automation.h"
#include "cad/host/drawing_host.h"
#include "cad/read_entities.h"
#include "fuzz_targets.h"
#include "geom/acquisition.h"

namespace zuka {
namespace {

// One file per process, so that parallel fuzzing jobs do not share it.
std::filesystem::path TempPath(const char* extension) {
    return std::filesystem::temp_directory_path() /
           ("zuka_fuzz_" + std::to_string(::getpid()) + extension);
}

}  // namespace

int FuzzDxfLoader(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path in = TempPath(".dxf");
    static const std::filesystem::path out = TempPath("-out.dxf");
    std::ofstream(in, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    DrawingHost host;
    std::string error;
    if (!host.Load(in, error)) return 0;
    try {
        Document& doc = host.ActiveDocument();
        SelectionSetPtr ss = doc.SelectionSets().Add("ssFuzz");
        ss->Select(kSelectAll, {}, {});
        Workspace ws;
        try {
            ReadSelEntities(*ss, ws);
            ConvertEntitiesToLines(ws);
        } catch (const EntityRefused&) {
        }
        ss->Delete();
    } catch (const AutomationError&) {
    }
    if (host.Save(out, error)) {
        DrawingHost again;
        if (!again.Load(out, error)) {
            std::fprintf(stderr, "the saved drawing does not load: %s\n", error.c_str());
            __builtin_trap();
        }
    }
    return 0;
}

}  // namespace zuka

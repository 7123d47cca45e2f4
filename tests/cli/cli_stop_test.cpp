// Ctrl-C on a long command as a user presses it: the run stops at once, says so and writes
// nothing after it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

using zuka::testing::TTempFolder;

// A block of 6 x 6 round towers (24 sides each, as LINEs with thickness on layer B) and a row
// of `points` measurement circles on layer P south-west of it: a few hundred walls, so that one
// sky map takes a moment and a batch of hundreds of maps, or the equal-time diagram, runs for
// tens of seconds.
void WriteTowns(const fs::path& file, int points) {
    std::ofstream out(file, std::ios::binary);
    auto group = [&](int code, const std::string& value) {
        out << code << "\r\n" << value << "\r\n";
    };
    auto real = [](double v) { return std::to_string(v); };
    group(0, "SECTION");
    group(2, "ENTITIES");
    constexpr double kPi = 3.14159265358979323846;
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; ++j) {
            const double x = i * 3000.0 + 1000;
            const double y = j * 3000.0 + 1000;
            const double h = 3000 + ((i * 7 + j * 13) % 10) * 1500;
            for (int m = 0; m < 24; ++m) {
                const double a = 2 * kPi * m / 24;
                const double b = 2 * kPi * (m + 1) / 24;
                group(0, "LINE");
                group(8, "B");
                group(10, real(x + 1000 * std::cos(a)));
                group(20, real(y + 1000 * std::sin(a)));
                group(11, real(x + 1000 * std::cos(b)));
                group(21, real(y + 1000 * std::sin(b)));
                group(39, real(h));
            }
        }
    }
    for (int p = 0; p < points; ++p) {
        group(0, "CIRCLE");
        group(8, "P");
        group(10, real(-5000.0 - p * 2000));
        group(20, real(-5000.0));
        group(40, "300");
    }
    group(0, "ENDSEC");
    group(0, "EOF");
}

struct TStopped {
    int status = -1;   // exit status, or -1 when the program did not exit by itself
    std::string out;   // stdout and stderr together
};

// Runs zuka with `args`, waits until `ready` holds (at most 30 s), then presses Ctrl-C.
template <typename Ready>
TStopped RunAndInterrupt(const fs::path& workdir, const std::vector<std::string>& args,
                         Ready ready) {
    std::vector<std::string> all{ZUKA_EXE, "--workdir", workdir.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int pipeFd[2];
    if (::pipe(pipeFd) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFd[1], STDOUT_FILENO);
        ::dup2(pipeFd[1], STDERR_FILENO);
        ::close(pipeFd[0]);
        ::close(pipeFd[1]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFd[1]);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!ready() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::kill(pid, SIGINT);
    TStopped r;
    std::array<char, 4096> buf;
    for (ssize_t n; (n = ::read(pipeFd[0], buf.data(), buf.size())) > 0;)
        r.out.append(buf.data(), static_cast<std::size_t>(n));
    ::close(pipeFd[0]);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

std::size_t CountBlockFiles(const fs::path& dir) {
    std::size_t n = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
        n += e.path().filename().string().rfind("ZUKA_", 0) == 0 ? 1 : 0;
    return n;
}

constexpr char kStopped[] = "中止しました．";

// Ctrl-C on a batch of sky maps used to be ignored: the batch ran on for half a minute, saved
// the drawing and exited 0. It is pressed once the first map's block file is written.
TEST(CliStop, SkyMapsStopAndSaveNothing) {
    const TTempFolder folder("zuka_cli_stop_");
    const fs::path drawing = folder.dir / "towns.dxf";
    WriteTowns(drawing, 300);
    const fs::path out = folder.dir / "maps.dxf";
    const fs::path svg = folder.dir / "maps.svg";
    const TStopped r = RunAndInterrupt(
        folder.dir,
        {"sky", drawing.string(), "--buildings", "layer=B", "--points", "layer=P", "--maps", "A",
         "--at", "0,-100000", "--quiet", "-o", out.string(), "--svg", svg.string()},
        [&] { return fs::exists(folder.dir / "ZUKA_1.dxf"); });
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find(kStopped), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(svg));
    EXPECT_FALSE(fs::exists(out.string() + ".tmp"));
    // Each map leaves two block files (the map, its tables); far fewer than 300 maps were made.
    EXPECT_LT(CountBlockFiles(folder.dir), 100u);
}

// The equal-time diagram of the same town, stopped a moment after it starts: no drawing, no
// JSON.
TEST(CliStop, EqualTimeStopsAndSavesNothing) {
    const TTempFolder folder("zuka_cli_stop_");
    const fs::path drawing = folder.dir / "towns.dxf";
    WriteTowns(drawing, 0);
    const fs::path out = folder.dir / "touji.dxf";
    const fs::path json = folder.dir / "touji.json";
    const auto started = std::chrono::steady_clock::now();
    const TStopped r = RunAndInterrupt(
        folder.dir,
        {"equal-time", drawing.string(), "--buildings", "layer=B", "--quiet", "-o", out.string(),
         "--json", json.string()},
        [&] { return std::chrono::steady_clock::now() - started > std::chrono::milliseconds(300); });
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find(kStopped), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(json));
    EXPECT_EQ(CountBlockFiles(folder.dir), 0u);
}

}  // namespace

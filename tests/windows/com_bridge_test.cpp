// The bridge to a running CAD, under wine, against the test server that plays the CAD
// (cad_server.cpp): the same commands through the bridge and on the drawing host directly give
// the same drawing; the CAD kinds by ProgID; failures of the CAD; the message filter's answers;
// the values that cross a call.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/controller.h"
#include "app/ui_host.h"
#include "base/platform.h"
#include "cad/bridge.h"
#include "cad/com/com_automation.h"
#include "cad/com/com_connector.h"
#include "cad/com/message_filter.h"
#include "cad/host/drawing_host.h"
#include "cli/cli.h"
#include "file_bytes.h"
#include "geom/primitives.h"
#include "pick_script.h"
#include "server_process.h"
#include "winui/cad_choice.h"
#include "winui/main_window.h"
#include "winui/win32.h"
#include "winui/win_ui_host.h"

namespace zuka {
namespace {

using com::ComApplication;
using com::ComConnector;
using com::Dispatch;
using com::Variant;
using zuka::testing::ServerProcess;

// The ProgID the differential runs use, and one of every CAD kind; the server is registered
// under all of them.
constexpr char kProgId[] = "BricscadApp.AcadApplication";
const std::vector<std::string> kProgIds = {"ZukaTest.Application",   "GCAD.Application.23",
                                           "GCAD.Application.24",    "PCAD.Application",
                                           "AutoCAD.Application.24", "BricscadApp.AcadApplication",
                                           "ZWCAD.Application"};

std::filesystem::path Sample() {
    return std::filesystem::path(ZUKA_SOURCE_DIR) / "examples" / "sample.dxf";
}

std::filesystem::path Folder(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("zuka_com_" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

class ComBridgeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        connector_ = new ComConnector();
        server_ = new ServerProcess(kProgIds, kProgId);
    }
    static void TearDownTestSuite() {
        if (server_->Running()) {
            try {
                Control().Call("Quit");
            } catch (const AutomationError&) {
            }
            WaitForSingleObject(server_->Handle(), 10000);
        }
        delete server_;
        delete connector_;
    }

    void SetUp() override {
        if (!server_->Running()) {
            ASSERT_TRUE(server_->Start(*connector_)) << "the test server did not start";
        }
        Reset(Sample(), "");
    }

    static Application& App(const std::string& progId = kProgId) {
        Application* app = connector_->GetActiveObject(progId);
        if (!app) throw AutomationError("the test server does not run");
        return *app;
    }
    static const Dispatch& Control() { return static_cast<ComApplication&>(App()).Object(); }

    static void Reset(const std::filesystem::path& drawing, const std::string& script) {
        Control().Call("TestReset", Args(com::FromString(drawing.empty() ? "" : PathToUtf8(drawing)),
                                         com::FromString(script)));
    }
    static std::vector<Variant> Args(Variant a) {
        std::vector<Variant> v;
        v.push_back(std::move(a));
        return v;
    }
    static std::vector<Variant> Args(Variant a, Variant b) {
        std::vector<Variant> v = Args(std::move(a));
        v.push_back(std::move(b));
        return v;
    }
    static int TestInt(const char* member, const std::string& arg) {
        return com::ToInt(*Control().Call(member, Args(com::FromString(arg))).get());
    }
    static std::string TestText(const char* member) {
        return com::ToString(*Control().Call(member).get());
    }

    static ComConnector* connector_;
    static ServerProcess* server_;
};
ComConnector* ComBridgeTest::connector_ = nullptr;
ServerProcess* ComBridgeTest::server_ = nullptr;

// --- The same drawing through the bridge as on the drawing host ------------------------------

struct TDiffCase {
    const char* name;
    std::string script;  // the picks after the buildings' selection
    std::function<void(Controller&)> run;
};

// A controller as the window starts it, with the quicker equal-time step and no calculation
// record (it holds the clock time).
void StartController(Controller& c, CadConnector& cad, const std::string& progId) {
    c.FormCreate(IniFile{});
    c.form.TargetProgID = progId;
    c.form.RadioGroup5 = 2;
    c.leaveRecord = false;
    c.SetCadConnector(&cad);
}

void SkyForm(Controller& c) {
    c.form.RadioGroup2 = 1;
    c.RadioGroup2Click();
    c.form.StringGrid1.resize(1);
    c.form.StringGrid1.push_back({"1", "15000", "40000", "1", "0", "", "", ""});
    c.form.StringGrid1.push_back({"2", "35000", "42000", "2", "0", "", "", ""});
}

const std::vector<TDiffCase>& DiffCases() {
    static const std::vector<TDiffCase> cases = {
        {"時刻", "", [](Controller& c) { c.Button3Click(); }},
        {"等時間", "", [](Controller& c) { c.Button6Click(); }},
        {"壁面", "entity 40 26000,27000\n", [](Controller& c) { c.Button5Click(); }},
        {"特定点 作成", "selection layer=測定点\npoint 100000,50000\n",
         [](Controller& c) {
             c.form.RadioGroup3 = 2;
             c.Button22Click(Controller::PointGrid::StringGrid2);
             c.Button15Click();
         }},
        {"天空図 (表つき)",
         "point 35010,41990\npoint 100000,100000\npoint 110000,105000\npoint 130000,105000\n",
         [](Controller& c) {
             SkyForm(c);
             c.form.Edit16 = "7";
             c.Button8Click(0);
         }},
        {"一括", "point 100000,100000\n",
         [](Controller& c) {
             SkyForm(c);
             c.form.CheckBox3 = c.form.CheckBox5 = c.form.CheckBox6 = c.form.CheckBox7 = false;
             c.Button18Click(0);
         }},
        {"境界線", "selection layer=敷地\n", [](Controller& c) { c.Button20Click(); }},
        {"倍率表", "point 100000,50000\n",
         [](Controller& c) {
             c.PageControl1Change(7);
             c.SpeedButton5Click();
         }},
        {"3D 描画", "point 100000,0\n", [](Controller& c) { c.SpeedButton2Click(); }},
    };
    return cases;
}

std::vector<std::string> Texts(const RecordingUiHost& ui) {
    std::vector<std::string> t;
    for (const RecordingUiHost::TMessage& m : ui.messages) t.push_back(m.text);
    return t;
}

TEST_F(ComBridgeTest, EveryDrawingCommandDrawsWhatTheHostDraws) {
    for (const TDiffCase& k : DiffCases()) {
        SCOPED_TRACE(k.name);
        const std::string script = "selection layer=建物\n" + k.script;

        // On the drawing host directly.
        const std::filesystem::path hostDir = Folder("host");
        ScriptedInteraction picks;
        std::string bad;
        ASSERT_TRUE(zuka::testing::ParsePickScript(script, picks, bad)) << bad;
        DrawingHost host(&picks);
        std::string error;
        ASSERT_TRUE(host.Load(Sample(), error)) << error;
        HostConnector hostCad(host);
        RecordingUiHost hostUi;
        Controller direct(hostUi, hostDir);
        StartController(direct, hostCad, kProgId);
        direct.Button2Click();
        ASSERT_FALSE(direct.ws.AryTatemono.empty());
        k.run(direct);
        ASSERT_TRUE(host.Save(hostDir / "out.dxf", error)) << error;

        // Through the bridge, on the test server's drawing.
        const std::filesystem::path bridgeDir = Folder("bridge");
        Reset(Sample(), script);
        // Points come back as a script host sends them: VARIANTs from index 1.
        Control().Call("TestOddPoints", Args(com::FromBool(true)));
        RecordingUiHost bridgeUi;
        Controller bridged(bridgeUi, bridgeDir);
        StartController(bridged, *connector_, kProgId);
        bridged.Button2Click();
        EXPECT_EQ(bridged.ws.AryTatemono.size(), direct.ws.AryTatemono.size());
        k.run(bridged);
        Control().Call("TestSave", Args(com::FromString(PathToUtf8(bridgeDir / "out.dxf"))));
        Control().Call("TestOddPoints", Args(com::FromBool(false)));

        EXPECT_EQ(Texts(bridgeUi), Texts(hostUi));
        // The same commands, the block files in each run's own folder.
        std::string commands = TestText("TestCommands");
        for (std::size_t at; (at = commands.find("zuka_com_bridge")) != std::string::npos;)
            commands.replace(at, 15, "zuka_com_host");
        EXPECT_EQ(commands, [&] {
            std::string log;
            for (const std::string& l : host.CommandLog()) log += l + "\n";
            return log;
        }());
        EXPECT_EQ(TestInt("TestPicksLeft", ""), 0) << "picks left unanswered";
        const std::string drawnOnHost = zuka::testing::ReadBytes(hostDir / "out.dxf");
        const std::string drawnThroughBridge = zuka::testing::ReadBytes(bridgeDir / "out.dxf");
        EXPECT_GT(drawnOnHost.size(), zuka::testing::ReadBytes(Sample()).size()) << "nothing drawn";
        EXPECT_TRUE(drawnThroughBridge == drawnOnHost) << "the drawings differ";
    }
}

// --- The command line beside a running CAD -------------------------------------------------

// A Windows path for a path of the build host (wine's drive Z: is its root).
std::wstring WindowsPath(const std::string& path) {
    std::wstring w = com::Wide(path);
    if (!w.empty() && w[0] == L'/') w = L"Z:" + w;
    for (wchar_t& c : w)
        if (c == L'/') c = L'\\';
    return w;
}

struct TRun {
    DWORD status = 0;
    std::string out;
    std::string err;
};

// zuka.exe with `args`, its output into files of `dir`; a run that takes over two minutes fails.
TRun RunZuka(const std::wstring& args, const std::filesystem::path& dir) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const std::filesystem::path outFile = dir / "out.txt", errFile = dir / "err.txt";
    HANDLE out = CreateFileW(outFile.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    HANDLE err = CreateFileW(errFile.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + WindowsPath(ZUKA_EXE) + L"\" " + args;
    TRun r;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        r.status = 999;
    } else {
        if (WaitForSingleObject(pi.hProcess, 120000) != WAIT_OBJECT_0) {
            TerminateProcess(pi.hProcess, 998);
            WaitForSingleObject(pi.hProcess, 10000);
        }
        GetExitCodeProcess(pi.hProcess, &r.status);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(out);
    CloseHandle(err);
    r.out = zuka::testing::ReadBytes(outFile);
    r.err = zuka::testing::ReadBytes(errFile);
    return r;
}

std::filesystem::path Example(const char* name) {
    return std::filesystem::path(ZUKA_SOURCE_DIR) / "examples" / name;
}

// A command line's words with "@drawing" the example drawing `drawing` and "@dir" the run's
// folder.
std::vector<std::string> Words(std::vector<std::string> words, const std::filesystem::path& dir,
                               const char* drawing = "sample.dxf") {
    for (std::string& w : words) {
        if (w == "@drawing") w = PathToUtf8(Example(drawing));
        for (std::size_t at; (at = w.find("@dir")) != std::string::npos;)
            w.replace(at, 4, PathToUtf8(dir));
    }
    return words;
}

// zuka.exe with `words`, each quoted.
TRun RunZuka(const std::vector<std::string>& words, const std::filesystem::path& dir) {
    std::wstring args;
    for (const std::string& w : words) args += L"\"" + com::Wide(w) + L"\" ";
    return RunZuka(args, dir);
}

// The command line's own routine in this process, on a drawing file: the reference the runs
// on the running CAD are compared with (quicker than a process of its own under wine).
TRun RunZukaHere(std::vector<std::string> words) {
    words.insert(words.begin(), "zuka");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    TRun r;
    r.status = static_cast<DWORD>(RunCli(static_cast<int>(words.size()), argv.data(), out, err));
    r.out = out.str();
    r.err = err.str();
    return r;
}

// Every drawing command of the command line draws into the running CAD's drawing, by the user's
// picks there, what it draws into the file with its options.
TEST_F(ComBridgeTest, CommandLineDrawsIntoTheRunningCadWhatItDrawsIntoTheFile) {
    struct Row {
        const char* name;
        std::vector<std::string> command;  // the command and its options, for both
        std::vector<std::string> onFile;   // the file, and what the picks in the CAD answer
        std::string picks;                 // the user's picks in the CAD
        DWORD status = 0;
        const char* drawing = "sample.dxf";
        // The user places the sky maps where the file's run printed them ("近接点の天空図 ...
        // X,Y"), each map's two tables to its right.
        bool picksOfMaps = false;
    } rows[] = {
        {"time-of-day",
         {"time-of-day", "--no-record", "--buildings", "layer=建物"},
         {"@drawing"},
         ""},
        {"boundary", {"boundary", "--no-record", "--site", "layer=敷地"}, {"@drawing"}, ""},
        {"walls",
         {"walls", "--no-record", "--buildings", "layer=建物"},
         {"--wall", "handle=40", "@drawing"},
         "entity 40 26000,27000\n"},
        {"ratio-table",
         {"ratio-table", "--no-record"},
         {"--draw", "@drawing", "--at", "70000,60000"},
         "point 70000,60000\n"},
        {"points --draw",
         {"points", "--no-record", "--buildings", "layer=建物", "--points", "layer=測定点", "--set",
          "Touji.kankaku=2", "--draw"},
         {"--at", "62000,40000", "@drawing"},
         "point 62000,40000\n"},
        {"preview --draw",
         {"preview", "--no-record", "--buildings", "layer=建物", "--draw", "--svg", "@dir/3d.svg"},
         {"--at", "100000,0", "@drawing"},
         "point 100000,0\n"},
        // The map, then its triangle-area table and position table to its right.
        {"sky --map",
         {"sky", "--no-record", "--buildings", "layer=建物", "--points", "layer=測定点", "--map",
          "1"},
         {"--at", "80000,40000", "@drawing"},
         "point 80000,40000\npoint 92500,45000\npoint 142500,45000\n"},
        {"sky --maps",
         {"sky", "--no-record", "--buildings", "layer=建物", "--points", "layer=測定点", "--maps",
          "A"},
         {"--at", "100000,100000", "@drawing"},
         "point 100000,100000\n"},
        {"check",
         {"check", "--no-record", "--buildings", "layer=建物", "--site", "layer=敷地", "--limits",
          "4,2.5"},
         {"@drawing"},
         ""},
        {"sky-check",
         {"sky-check", "--no-record", "--site", "layer=敷地", "--buildings", "layer=建物", "--road",
          "6:layer=道路境界", "--zone", "1住", "--far", "200", "--kinds", "road"},
         {"@drawing"},
         "",
         0,
         "sky_check.dxf",
         true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::filesystem::path fileDir = Folder("cli_file"), cadDir = Folder("cli_cad");
        const std::filesystem::path fileOut = fileDir / "out.dxf";
        std::vector<std::string> onFile = Words(r.command, fileDir, r.drawing);
        for (const std::string& w : Words(r.onFile, fileDir, r.drawing)) onFile.push_back(w);
        for (const std::string& w : {std::string("--workdir"), PathToUtf8(fileDir),
                                     std::string("-o"), PathToUtf8(fileOut)})
            onFile.push_back(w);
        const TRun file = RunZukaHere(onFile);
        ASSERT_EQ(file.status, r.status) << file.err;
        std::string picks = r.picks;
        if (r.picksOfMaps) {
            const std::string head = "近接点の天空図\t";
            std::istringstream lines(file.out);
            for (std::string line; std::getline(lines, line);) {
                if (line.rfind(head, 0) != 0) continue;
                TAcadPoint at;
                // A map not drawn (no building in range) has no place.
                if (!zuka::testing::ParsePoint(line.substr(line.rfind('\t') + 1), at)) continue;
                const double rs = 25 * 200;  // the map's radius on paper times the scale
                for (const TAcadPoint& p : {at, TAcadPoint{at.x + 2.5 * rs, at.y + rs, 0},
                                            TAcadPoint{at.x + 12.5 * rs, at.y + rs, 0}})
                    picks += "point " + FormatGeneral(p.x) + "," + FormatGeneral(p.y) + "\n";
            }
            ASSERT_FALSE(picks.empty()) << file.out;
        }

        Reset(Example(r.drawing), picks);
        std::vector<std::string> onCad = Words(r.command, cadDir);
        for (const char* w : {"--cad", "ZukaTest.Application", "--workdir"}) onCad.push_back(w);
        onCad.push_back(PathToUtf8(cadDir));
        const TRun cad = RunZuka(onCad, cadDir);
        ASSERT_EQ(cad.status, r.status) << cad.err;
        EXPECT_EQ(TestInt("TestPicksLeft", ""), 0);
        EXPECT_NE(cad.out.find("CAD\tZukaTest.Application"), std::string::npos) << cad.out;
        Control().Call("TestSave", Args(com::FromString(PathToUtf8(cadDir / "cad.dxf"))));
        EXPECT_TRUE(zuka::testing::ReadBytes(cadDir / "cad.dxf") == zuka::testing::ReadBytes(fileOut))
            << "the CAD's drawing differs from the file's";
    }
}

// points, sky and model --cad: the measurement circles or buildings selected by filter in the
// CAD; the same summary as on the file, but for the file's own lines (its name).
TEST_F(ComBridgeTest, CommandLinePointsInTheRunningCad) {
    const std::vector<std::vector<std::string>> commands = {
        {"points", "--buildings", "layer=建物", "--points", "layer=測定点", "--set",
         "Touji.kankaku=2"},
        {"sky", "--buildings", "layer=建物", "--points", "layer=測定点"},
        {"model", "--buildings", "layer=建物"},
    };
    for (const std::vector<std::string>& command : commands) {
        SCOPED_TRACE(command[0]);
        const std::filesystem::path fileDir = Folder("cli_points_file");
        const std::filesystem::path cadDir = Folder("cli_points_cad");
        Reset(Sample(), "");
        std::vector<std::string> onFile = command;
        for (const std::string& w :
             {std::string("--workdir"), PathToUtf8(fileDir), PathToUtf8(Sample())})
            onFile.push_back(w);
        const TRun file = RunZukaHere(onFile);
        ASSERT_EQ(file.status, 0u) << file.err;
        std::vector<std::string> onCad = command;
        for (const std::string& w : {std::string("--workdir"), PathToUtf8(cadDir),
                                     std::string("--cad"), std::string("ZukaTest.Application")})
            onCad.push_back(w);
        const TRun cad = RunZuka(onCad, cadDir);
        ASSERT_EQ(cad.status, 0u) << cad.err;
        const std::string cadLine = "CAD\tZukaTest.Application\n";
        ASSERT_EQ(cad.out.rfind(cadLine, 0), 0u) << cad.out;
        std::string fileOut = file.out;
        if (fileOut.rfind("図面\t", 0) == 0) fileOut.erase(0, fileOut.find('\n') + 1);
        EXPECT_EQ(cad.out.substr(cadLine.size()), fileOut);
    }
}

TEST_F(ComBridgeTest, CommandLineWithoutItsCadOrWithAHandleSelection) {
    const std::filesystem::path dir = Folder("cli_refused");
    const TRun none = RunZuka(L"time-of-day --cad Zuka.NotRegistered.2", dir);
    EXPECT_EQ(none.status, 1u);
    EXPECT_NE(none.err.find("有効な CAD が見つかりません．"), std::string::npos) << none.err;
    const TRun handle = RunZuka(L"time-of-day --cad ZukaTest.Application --buildings handle=40", dir);
    EXPECT_EQ(handle.status, 2u);
    EXPECT_NE(handle.err.find("handle="), std::string::npos) << handle.err;
    const TRun neither = RunZuka(L"time-of-day", dir);
    EXPECT_EQ(neither.status, 2u) << neither.err;
}

// --- The Windows window beside the running CAD -----------------------------------------------

// What the user does in the target-CAD dialog while it is open (read by a timer, whose messages
// the dialog's own loop dispatches): chooses the list's first CAD, the test server.
void CALLBACK ChooseTheServer(HWND, UINT, UINT_PTR id, DWORD) {
    const HWND dialog = FindWindowW(L"ZukaTargetCadDialog", nullptr);
    if (!dialog) return;
    KillTimer(nullptr, id);
    const HWND list = FindWindowExW(dialog, nullptr, L"ListBox", nullptr);
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    SendMessageW(FindWindowExW(dialog, nullptr, L"Button", L"OK"), BM_CLICK, 0, 0);
}

// The window's commands through its own message handling (button clicks sent as messages), on
// the test server's drawing through the bridge: the target CAD chosen in its dialog, 取得 by
// the user's pick in the CAD, 時刻 drawing what the drawing host draws, 中止 during 等時間
// inserting nothing while a second command cannot start.
TEST_F(ComBridgeTest, WindowDrawsIntoTheRunningCad) {
    constexpr char kServer[] = "ZukaTest.Application";
    const std::filesystem::path dir = Folder("window");
    {
        std::ofstream list(dir / "TargetCAD_APIVersion.txt", std::ios::binary);
        list << "テストサーバー\t" << kServer << "\r\n他のCAD\tNot.Running.1\r\n";
    }
    Reset(Sample(), "selection layer=建物\n");
    WinUiHost ui;
    std::vector<std::string> messages;
    ui.messageHook = [&messages](const std::string&, const std::string& text) {
        messages.push_back(text);
    };
    Controller c(ui, dir);
    CadChoice cad;
    std::string error;
    ASSERT_TRUE(cad.Choose(c, {}, error)) << error;
    ASSERT_EQ(cad.Session(), nullptr);  // the commands drive the running CAD
    WorkFolder folder;
    folder.dir = dir;
    WinMainWindow w(c, ui, cad, folder);
    ASSERT_TRUE(w.Create(GetModuleHandleW(nullptr)));
    c.leaveRecord = false;  // the calculation record holds the clock time
    const auto click = [&w](const char* name) { SendMessageW(w.Control(name), BM_CLICK, 0, 0); };
    const auto pump = [&w] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) w.Dispatch(msg);
    };
    pump();

    SetTimer(nullptr, 0, 50, ChooseTheServer);
    click("SpeedButton4");
    ASSERT_EQ(c.form.TargetProgID, kServer);

    click("Button2");  // 取得
    ASSERT_FALSE(c.ws.AryTatemono.empty()) << (messages.empty() ? "" : messages.back());
    click("Button3");  // 時刻
    EXPECT_EQ(TestInt("TestPicksLeft", ""), 0);
    Control().Call("TestSave", Args(com::FromString(PathToUtf8(dir / "drawn.dxf"))));

    // The same on the drawing host directly.
    ScriptedInteraction picks;
    picks.PushSelection("layer=建物");
    DrawingHost host(&picks);
    ASSERT_TRUE(host.Load(Sample(), error)) << error;
    HostConnector hostCad(host);
    RecordingUiHost hostUi;
    const std::filesystem::path hostDir = Folder("window_host");
    Controller direct(hostUi, hostDir);
    StartController(direct, hostCad, kServer);
    direct.Button2Click();
    EXPECT_EQ(c.ws.AryTatemono.size(), direct.ws.AryTatemono.size());
    direct.Button3Click();
    ASSERT_TRUE(host.Save(hostDir / "out.dxf", error)) << error;
    const std::string drawn = zuka::testing::ReadBytes(dir / "drawn.dxf");
    EXPECT_TRUE(drawn == zuka::testing::ReadBytes(hostDir / "out.dxf"))
        << "the window drew other than the host";

    // 等時間 with a click on 時刻 and one on 中止 waiting: 時刻 does not start a second run,
    // 中止 stops the run, and nothing is inserted.
    const HWND tab = w.Control("PageControl1");
    SendMessageW(tab, TCM_SETCURSEL, 1, 0);
    NMHDR change{tab, 0, TCN_SELCHANGE};
    SendMessageW(w.Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&change));
    messages.clear();
    PostMessageW(w.Control("Button3"), BM_CLICK, 0, 0);
    PostMessageW(w.Control("Button7"), BM_CLICK, 0, 0);
    click("Button6");
    Control().Call("TestSave", Args(com::FromString(PathToUtf8(dir / "stopped.dxf"))));
    // The command's layers may be made before the run; no entity is added.
    const auto entities = [](const std::filesystem::path& file) {
        DrawingHost saved;
        std::string loadError;
        EXPECT_TRUE(saved.Load(file, loadError)) << loadError;
        std::map<std::string, int> perLayer;
        Block& ms = saved.ActiveDocument().ModelSpace();
        for (int i = 0; i < ms.Count(); ++i) ++perLayer[ms.Item(i)->Layer()];
        return perLayer;
    };
    EXPECT_EQ(entities(dir / "stopped.dxf"), entities(dir / "drawn.dxf"));
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "中止しました．図面には何も作図していません．");
    EXPECT_FALSE(c.form.CommandRunning);
    EXPECT_TRUE(IsWindowEnabled(w.Control("Button6")));
    SendMessageW(w.Handle(), WM_CLOSE, 0, 0);
    pump();
}

// --- Speed -----------------------------------------------------------------------------------

// The figures of the README: calls across the process boundary per entity read, and seconds for
// 取得 and 時刻 through the bridge against the same on the drawing host.
TEST_F(ComBridgeTest, SpeedFiguresOfAcquisitionAndTimeOfDay) {
    const auto seconds = [](auto&& f) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    };
    ScriptedInteraction picks;
    picks.PushSelection("layer=建物");
    DrawingHost host(&picks);
    std::string error;
    ASSERT_TRUE(host.Load(Sample(), error)) << error;
    HostConnector hostCad(host);
    RecordingUiHost hostUi;
    Controller direct(hostUi, Folder("speed_host"));
    StartController(direct, hostCad, kProgId);
    const double hostAcquire = seconds([&] { direct.Button2Click(); });
    const double hostDraw = seconds([&] { direct.Button3Click(); });
    int entities = 0;
    Block& ms = host.ActiveDocument().ModelSpace();
    for (int i = 0; i < ms.Count(); ++i) entities += ms.Item(i)->Layer() == "建物";

    Reset(Sample(), "selection layer=建物\n");
    RecordingUiHost ui;
    Controller bridged(ui, Folder("speed_bridge"));
    StartController(bridged, *connector_, kProgId);
    const long long calls0 = Dispatch::Calls();
    const double acquire = seconds([&] { bridged.Button2Click(); });
    const long long calls1 = Dispatch::Calls();
    const double draw = seconds([&] { bridged.Button3Click(); });
    const long long calls2 = Dispatch::Calls();
    ASSERT_EQ(bridged.ws.AryTatemono.size(), direct.ws.AryTatemono.size());
    std::printf("取得: %d entities, %lld calls (%.1f per entity), %.2f s (host %.3f s)\n"
                "時刻: %lld calls, %.2f s (host %.3f s)\n",
                entities, calls1 - calls0, double(calls1 - calls0) / entities, acquire,
                hostAcquire, calls2 - calls1, draw, hostDraw);
    RecordProperty("calls_per_entity", std::to_string(double(calls1 - calls0) / entities));
}

// --- The CAD kinds ----------------------------------------------------------------------------

TEST_F(ComBridgeTest, KindsLoadTheirLinetypeAndPollTheirIdleQuery) {
    struct Row {
        const char* progId;
        const char* idleQuery;
    } rows[] = {{"ZukaTest.Application", "GetAcadState"}, {"GCAD.Application.23", "GetGcadState"},
                {"GCAD.Application.24", "GetAcadState"}, {"PCAD.Application", "GetAcadState"},
                {"AutoCAD.Application.24", "GetAcadState"},
                {"BricscadApp.AcadApplication", "GetAcadState"},
                {"ZWCAD.Application", "GetZcadState"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.progId);
        // The dashed linetype in a new drawing: the same answer, message and commands as the
        // drawing host gives.
        DrawingHost host;
        host.New();
        HostConnector hostCad(host);
        std::vector<std::string> hostBoxes, bridgeBoxes;
        TCadUi hostUi{"Zuka", [&](const std::string&, const std::string& t) { hostBoxes.push_back(t); }};
        TCadUi bridgeUi{"Zuka", [&](const std::string&, const std::string& t) { bridgeBoxes.push_back(t); }};
        const std::string onHost = EnsureHiddenLinetype(hostCad, host, r.progId, hostUi);

        Reset({}, "");
        Application& app = App(r.progId);
        EXPECT_EQ(EnsureHiddenLinetype(*connector_, app, r.progId, bridgeUi), onHost);
        EXPECT_EQ(bridgeBoxes, hostBoxes);
        std::string hostCommands;
        for (const std::string& l : host.CommandLog()) hostCommands += l + "\n";
        EXPECT_EQ(TestText("TestCommands"), hostCommands);

        // The idle query of the kind, polled until the CAD is idle.
        Control().Call("TestSetBusy", Args(com::FromInt(2)));
        WaitCadIdle(*connector_, app, r.progId, 1);
        for (const char* q : {"GetAcadState", "GetGcadState", "GetZcadState"})
            EXPECT_EQ(TestInt("TestStateQueries", q), std::string(q) == r.idleQuery ? 3 : 0) << q;
    }
}

TEST_F(ComBridgeTest, ProgIdNotRegisteredRaisesAndOneNotRunningIsNoCad) {
    try {
        connector_->GetActiveObject("Zuka.NotRegistered.1");
        ADD_FAILURE() << "no error for a ProgID that is not registered";
    } catch (const AutomationError& e) {
        EXPECT_NE(std::string(e.what()).find("Zuka.NotRegistered.1"), std::string::npos) << e.what();
    }
    // Registered under a class that nothing runs.
    HKEY k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"Zuka.NotRunning\\CLSID", 0,
                              nullptr, 0, KEY_WRITE, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    const wchar_t clsid[] = L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
    RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid), sizeof clsid);
    RegCloseKey(k);
    EXPECT_FALSE(IsCadRunning(*connector_, "Zuka.NotRunning"));

    RecordingUiHost ui;
    Controller c(ui, Folder("norun"));
    StartController(c, *connector_, "Zuka.NotRunning");
    c.Button3Click();
    EXPECT_FALSE(ui.messages.empty()) << "a command without its CAD ends silently";
}

// --- Failures of the CAD ----------------------------------------------------------------------

TEST_F(ComBridgeTest, FailingMemberIsNamedWithTheServersDescription) {
    Control().Call("TestFail", Args(com::FromString("Regen")));
    try {
        App().ActiveDocument().Regen(0);
        ADD_FAILURE() << "no error";
    } catch (const AutomationError& e) {
        EXPECT_EQ(std::string(e.what()), "Regen: Regen は失敗しました (テスト用サーバー)");
    }
    // A member the CAD does not have: named, with the system's text.
    try {
        static_cast<ComApplication&>(App()).Object().Call("NoSuchMember");
        ADD_FAILURE() << "no error";
    } catch (const AutomationError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("NoSuchMember: ", 0), 0u) << e.what();
    }
    // In a command: reported once, naming the member.
    Reset(Sample(), "selection layer=建物\n");
    RecordingUiHost ui;
    Controller c(ui, Folder("fail"));
    StartController(c, *connector_, kProgId);
    c.Button2Click();
    Control().Call("TestFail", Args(com::FromString("SendCommand")));
    c.Button3Click();
    const std::vector<std::string> texts = Texts(ui);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("SendCommand"), std::string::npos) << texts[0];
}

TEST_F(ComBridgeTest, EscapeAtAPickDrawsNothing) {
    Reset(Sample(), "selection layer=建物\nescape\n");
    RecordingUiHost ui;
    Controller c(ui, Folder("escape"));
    StartController(c, *connector_, kProgId);
    c.Button2Click();
    const int before = App().ActiveDocument().ModelSpace().Count();
    c.Button5Click();  // the wall pick answered with Escape
    EXPECT_EQ(App().ActiveDocument().ModelSpace().Count(), before);
    EXPECT_EQ(TestText("TestCommands"), "");
}

TEST_F(ComBridgeTest, ServerGoneMidCommandEndsTheCommandWithAMessage) {
    Reset(Sample(), "selection layer=建物\n");
    Control().Call("TestExitAt", Args(com::FromString("SendCommand")));
    // The command runs on a thread of its own (with its own apartment) so that a hang shows
    // here as a failure instead of holding the test run.
    auto run = std::async(std::launch::async, [] {
        ComConnector cad;
        RecordingUiHost ui;
        Controller c(ui, Folder("gone"));
        StartController(c, cad, kProgId);
        c.Button2Click();
        const bool acquired = !c.ws.AryTatemono.empty();
        c.Button3Click();
        return std::make_pair(acquired, Texts(ui));
    });
    if (run.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        std::fprintf(stderr, "the command hung after the server went away\n");
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 1);
    }
    const auto [acquired, texts] = run.get();
    EXPECT_TRUE(acquired);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("SendCommand"), std::string::npos) << texts[0];
    EXPECT_EQ(WaitForSingleObject(server_->Handle(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(server_->ExitCode(), 3u);
}

TEST_F(ComBridgeTest, JapaneseNamesAndTextsRoundTrip) {
    Document& doc = App().ActiveDocument();
    const std::string layer = "日影・時刻（ｶﾅ）";
    doc.Layers().Add(layer);
    EXPECT_EQ(doc.Layers().Item(doc.Layers().Count() - 1)->Name(), layer);
    EntityPtr t = doc.ModelSpace().AddText("８時 ～ １６時 𠮷", {1, 2, 0}, 300);
    t->SetLayer(layer);
    EXPECT_EQ(t->TextString(), "８時 ～ １６時 𠮷");
    EXPECT_EQ(t->Layer(), layer);
    EXPECT_EQ(doc.ObjectIDToObject(t->ObjectID())->TextString(), "８時 ～ １６時 𠮷");
    doc.SetVariable("USERS1", std::string("建物"));
    EXPECT_EQ(std::get<std::string>(doc.GetVariable("USERS1")), "建物");
}

// --- The message filter -----------------------------------------------------------------------

// Wine never asks the client's filter about a rejected call: its answers are tested directly.
TEST(ComMessageFilter, AnswersWithThePolicy) {
    TMessageFilter policy;
    IMessageFilter* f = com::NewMessageFilter(policy);
    EXPECT_EQ(f->HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr), SERVERCALL_ISHANDLED);
    EXPECT_EQ(f->RetryRejectedCall(nullptr, 0, SERVERCALL_RETRYLATER), 1000u);
    EXPECT_EQ(f->RetryRejectedCall(nullptr, 5000, SERVERCALL_REJECTED), static_cast<DWORD>(-1));
    EXPECT_EQ(f->MessagePending(nullptr, 0, PENDINGTYPE_TOPLEVEL),
              static_cast<DWORD>(PENDINGMSG_WAITNOPROCESS));
    f->Release();
}

TEST(ComMessageFilter, RegisteredAndRevokedWithTheSystem) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    TMessageFilter filter;
    filter.RegisterFilter();
    EXPECT_TRUE(filter.Registered());
    IMessageFilter* current = nullptr;
    CoRegisterMessageFilter(nullptr, &current);  // take it out to look at it
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->RetryRejectedCall(nullptr, 0, SERVERCALL_RETRYLATER), 1000u);
    IMessageFilter* none = nullptr;
    CoRegisterMessageFilter(current, &none);  // and back
    current->Release();
    filter.RevokeFilter();
    EXPECT_FALSE(filter.Registered());
    CoRegisterMessageFilter(nullptr, &current);
    EXPECT_EQ(current, nullptr) << "the previous filter (none) is not back";
    CoUninitialize();
}

// --- Values across a call ---------------------------------------------------------------------

Variant VariantArray(const std::vector<Variant>& elements, LONG lowerBound) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(elements.size()), lowerBound};
    SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, 1, &bound);
    for (std::size_t i = 0; i < elements.size(); ++i) {
        LONG index = lowerBound + static_cast<LONG>(i);
        SafeArrayPutElement(sa, &index, const_cast<VARIANT*>(elements[i].get()));
    }
    Variant v;
    V_VT(v.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(v.get()) = sa;
    return v;
}

TEST(ComValues, PointsInEveryShapeAScriptHostSends) {
    Variant r4;
    {
        SAFEARRAY* sa = SafeArrayCreateVector(VT_R4, 0, 3);
        float* p = nullptr;
        SafeArrayAccessData(sa, reinterpret_cast<void**>(&p));
        p[0] = 1.5f, p[1] = -2, p[2] = 3;
        SafeArrayUnaccessData(sa);
        V_VT(r4.get()) = VT_ARRAY | VT_R4;
        V_ARRAY(r4.get()) = sa;
    }
    Variant target = com::FromPoint({1.5, -2, 3});
    Variant byRef = com::ByRef(target);
    struct Row {
        const char* shape;
        const Variant* v;
    };
    const Variant doubles = com::FromPoint({1.5, -2, 3});
    const Variant variants = VariantArray({com::FromDouble(1.5), com::FromInt(-2), com::FromString("3")}, 0);
    const Variant fromOne = VariantArray({com::FromDouble(1.5), com::FromDouble(-2), com::FromDouble(3)}, 1);
    const Row rows[] = {{"doubles", &doubles}, {"VARIANTs", &variants},
                        {"lower bound 1", &fromOne}, {"floats", &r4}, {"by reference", &byRef}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.shape);
        const TAcadPoint p = com::ToPoint(*r.v->get());
        EXPECT_EQ(p.x, 1.5);
        EXPECT_EQ(p.y, -2);
        EXPECT_EQ(p.z, 3);
    }
    EXPECT_THROW(com::ToPoint(*com::FromDoubles({1, 2, 3, 4}).get()), AutomationError);
    EXPECT_THROW(com::ToPoint(*com::FromString("1,2,3").get()), AutomationError);
}

TEST(ComValues, TextsIdsAndFiltersCrossWhole) {
    EXPECT_EQ(com::ToString(*com::FromString("建物 𠮷 ｶﾅ").get()), "建物 𠮷 ｶﾅ");
    const std::int64_t big = (std::int64_t{1} << 40) + 7;
    EXPECT_EQ(com::ToInt64(*com::FromInt64(big).get()), big);
    EXPECT_EQ(com::ToInts(*com::FromShorts({0, 8}).get()), (std::vector<int>{0, 8}));
    EXPECT_EQ(std::get<std::string>(com::ToCadValue(*com::FromCadValue(std::string("建物")).get())), "建物");
    const CadValue p = com::ToCadValue(*com::FromCadValue(TAcadPoint{1, 2, 3}).get());
    ASSERT_TRUE(std::holds_alternative<TAcadPoint>(p));
    EXPECT_EQ(std::get<TAcadPoint>(p).z, 3);
    EXPECT_TRUE(com::IsMissing(*com::Missing().get()));
    // Integer system variables go as 16-bit integers where they fit.
    EXPECT_EQ(V_VT(com::FromCadValue(0).get()), VT_I2);
    EXPECT_EQ(V_VT(com::FromCadValue(70000).get()), VT_I4);
    EXPECT_EQ(std::get<int>(com::ToCadValue(*com::FromCadValue(-5).get())), -5);
}

}  // namespace
}  // namespace zuka

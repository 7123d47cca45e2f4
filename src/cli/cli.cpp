#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/controller.h"
#include "app/ini_file.h"
#include "app/settings.h"
#include "app/work_folder.h"
#include "base/number.h"
#include "geom/outline.h"
#include "geom/primitives.h"
#include "solar/sun_model.h"

namespace zuka {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Message boxes and progress on stderr: the command line's window.
class StderrUiHost : public UiHost {
public:
    explicit StderrUiHost(std::ostream& err) : err_(err) {}
    void MessageBox(const std::string& title, const std::string& text) override {
        err_ << "[" << title << "] " << text << "\n";
    }

private:
    std::ostream& err_;
};

struct TCommonOptions {
    std::string ini;
    std::vector<std::string> sets;
    std::string workdir;
    bool quiet = false;
};

struct TSetting {
    std::string section;
    std::string key;
    std::string value;
};

// "Section.Key=Value"; nullopt when the shape is wrong.
std::optional<TSetting> ParseSetOption(const std::string& text) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) return std::nullopt;
    const std::string name = text.substr(0, eq);
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 >= name.size()) return std::nullopt;
    return TSetting{name.substr(0, dot), name.substr(dot + 1), text.substr(eq + 1)};
}

// The settings in force for this run, as the window would read them: the work folder's file
// or --ini, then every --set. The file is never written by the command line.
struct TRunSettings {
    IniFile ini;
    std::vector<TSetting> overrides;
};

std::optional<TRunSettings> ReadRunSettings(const TCommonOptions& o, const WorkFolder& folder,
                                            std::ostream& err, int& status) {
    TRunSettings rs;
    if (!o.ini.empty()) {
        if (!rs.ini.LoadFile(o.ini)) {
            err << "設定ファイルを読めません: " << o.ini << "\n";
            status = kExitFailed;
            return std::nullopt;
        }
    } else {
        rs.ini.LoadFile(folder.SettingsPath());  // a missing file: every default applies
    }
    const IniFile known = SaveSettings(Form{});
    for (const std::string& s : o.sets) {
        std::optional<TSetting> set = ParseSetOption(s);
        if (!set) {
            err << "--set には Section.Key=Value の形で指定してください: " << s << "\n";
            status = kExitUsage;
            return std::nullopt;
        }
        if (!known.HasKey(set->section, set->key)) {
            err << "設定ファイルにないキーです: " << set->section << "." << set->key << "\n";
            status = kExitUsage;
            return std::nullopt;
        }
        rs.ini.WriteString(set->section, set->key, set->value);
        rs.overrides.push_back(*set);
    }
    return rs;
}

// A conversion error names the window field; when the text came from a --set, name that too.
std::string DescribeConvertError(const ConvertError& e, const std::vector<TSetting>& overrides) {
    std::string msg = e.what();
    for (const TSetting& s : overrides) {
        if (s.value == e.Text()) {
            msg += " [--set " + s.section + "." + s.key + "]";
            break;
        }
    }
    return msg;
}

int RunRatioTable(Controller& c, std::ostream& out) {
    c.PageControl1Change(7);
    for (const std::string& line : c.form.Memo1) out << line << "\n";
    return kExitOk;
}

int RunSun(Controller& c, const std::string& hourText, std::ostream& out, std::ostream& err) {
    const double hour = StrToFloat(hourText, "--hour");
    c.SetTaiyouParams();
    double azimuth = 0;
    double factor = 1;
    if (!c.sun.GetTaiyouHoui(hour, azimuth, factor)) {
        err << "時刻 " << hourText << " は太陽位置の計算範囲 (7.5～16.5 時) の外です．\n";
        return kExitFailed;
    }
    const double altitude = std::atan(1 / factor) * kRadToDeg;
    double shadowDir = std::fmod(c.sun.ShadowDir(azimuth), kTwoPi);
    if (shadowDir < 0) shadowDir += kTwoPi;
    const Form& f = c.form;
    out << "緯度\t" << f.Edit3 << "°" << f.Edit5 << "′" << f.Edit23 << "″\n";
    out << "季節\t" << kRadioGroup1Items[static_cast<std::size_t>(
                            std::clamp(f.RadioGroup1, 0, kRadioGroup1Count - 1))]
        << "\n";
    out << "真北\t" << f.Edit12 << "°\n";
    out << "時刻\t" << JikokuToHms(hour) << "\n";
    out << "太陽方位角\t" << FormatFixed(azimuth * kRadToDeg, 4) << "°\n";
    out << "太陽高度\t" << FormatFixed(altitude, 4) << "°\n";
    out << "影長倍率\t" << FormatFixed(factor, 4) << "\n";
    out << "影の方向\t" << FormatFixed(shadowDir * kRadToDeg, 4) << "°\n";
    return kExitOk;
}

// Segments "x1 y1 x2 y2", one per line; blank lines and # comments ignored.
std::optional<std::vector<TLineEnt>> ReadSegmentFile(const std::string& path, std::ostream& err) {
    std::ifstream in(path);
    if (!in) {
        err << "ファイルを開けません: " << path << "\n";
        return std::nullopt;
    }
    std::vector<TLineEnt> segs;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string s; words >> s;) w.push_back(s);
        if (w.empty()) continue;
        double v[4];
        bool ok = w.size() == 4;
        for (std::size_t i = 0; ok && i < 4; ++i) {
            const std::optional<double> d = ParseDouble(w[i]);
            ok = d.has_value();
            if (ok) v[i] = *d;
        }
        if (!ok) {
            err << path << ":" << lineNo << ": 線分は x1 y1 x2 y2 の 4 つの数値で書いてください: "
                << line << "\n";
            return std::nullopt;
        }
        TLineEnt s;
        s.st = {v[0], v[1], 0};
        s.ed = {v[2], v[3], 0};
        segs.push_back(s);
    }
    return segs;
}

int RunOutline(Controller& c, const std::string& path, std::ostream& out, std::ostream& err) {
    std::optional<std::vector<TLineEnt>> segs = ReadSegmentFile(path, err);
    if (!segs) return kExitFailed;
    Workspace& ws = c.ws;
    ws.AryLine = *segs;
    PrepareOutlineSegments(ws);
    std::ostringstream text;
    int count = 0;
    const OutlineLoopEnd end = TraceOutlineLoop(ws, QuietRun(), [&](const Workspace& w) {
        if (count++ > 0) text << "\n";
        for (const TLineEnt& s : w.AryLine)
            text << FormatGeneral(s.st.x) << " " << FormatGeneral(s.st.y) << "\n";
    });
    out << text.str();
    if (end == OutlineLoopEnd::WalkFailed) {
        err << "輪郭の作成に失敗しました．(残りの線分 " << ws.AryLine2.size() << " 本)\n";
        return kExitFailed;
    }
    if (count == 0) err << "閉じた輪郭はありません．\n";
    return kExitOk;
}

}  // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"Zuka: shadow diagrams and sky factor for Japanese building practice", "zuka"};
    app.require_subcommand(1);
    app.fallthrough();
    TCommonOptions common;
    app.add_option("--ini", common.ini, "read the settings from FILE instead of the work folder's");
    app.add_option("--set", common.sets, "override one settings key: Section.Key=Value")
        ->take_all()
        ->allow_extra_args(false);
    app.add_option("--workdir", common.workdir, "the work folder");
    app.add_flag("--quiet", common.quiet, "no progress output");

    CLI::App* ratio = app.add_subcommand("ratio-table", "print the shadow-length ratio table");
    CLI::App* sunCmd = app.add_subcommand("sun", "print the sun's position at a clock hour");
    std::string hourText;
    sunCmd->add_option("--hour", hourText, "clock hour, 7.5 to 16.5 (8.5 = 8:30)")->required();
    CLI::App* outline = app.add_subcommand("outline", "print the outlines of a union of segments");
    std::string segFile;
    outline->add_option("FILE", segFile, "segments, x1 y1 x2 y2 per line")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        return code == 0 ? kExitOk : kExitUsage;
    }

    const std::filesystem::path exeDir = ExecutablePath(argc > 0 ? argv[0] : "").parent_path();
    const std::optional<WorkFolder> folder = ResolveWorkFolder(exeDir, common.workdir);
    if (!folder) {
        err << "作業フォルダーを用意できません: "
            << (common.workdir.empty() ? FallbackFolder().string() : common.workdir) << "\n";
        return kExitFailed;
    }
    int status = kExitOk;
    std::optional<TRunSettings> settings = ReadRunSettings(common, *folder, err, status);
    if (!settings) return status;

    StderrUiHost ui(err);
    Controller c(ui, folder->dir);
    try {
        c.FormCreate(settings->ini);
        if (*ratio) return RunRatioTable(c, out);
        if (*sunCmd) return RunSun(c, hourText, out, err);
        if (*outline) return RunOutline(c, segFile, out, err);
    } catch (const ConvertError& e) {
        err << DescribeConvertError(e, settings->overrides) << "\n";
        return kExitFailed;
    }
    return kExitUsage;
}

}  // namespace zuka

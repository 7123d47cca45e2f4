#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/batch_commands.h"
#include "app/batch_run.h"
#include "app/calc_record.h"
#include "app/sky_check_command.h"
#include "app/work_folder.h"
#ifdef ZUKA_HAVE_PNG
#include "picture/png_picture.h"
#endif

namespace zuka {
namespace {

// --- The commands ----------------------------------------------------------------------------

// The options every command shares, defined once on the program and taken before or after the
// command's name.
constexpr const char* kEveryCommand[] = {"--ini", "--set", "--workdir", "--quiet"};

// The shared options of the drawing commands, which also work on a running CAD's drawing
// (--cad, Windows).
const std::vector<std::string> kDrawsOnCad = {"--buildings", "--height", "--date",   "--output",
                                              "--svg",       "--png",    "--no-record", "--cad"};
const std::vector<std::string> kDrawsWithoutDateOnCad = {
    "--buildings", "--height", "--output", "--svg", "--png", "--no-record", "--cad"};
const std::vector<std::string> kDrawsWithoutBuildingsOnCad = {"--output", "--svg", "--png",
                                                              "--no-record", "--cad"};

// A command's registration: its name, what it does, the shared options it takes beyond
// kEveryCommand, and `add`, which adds its own options to its subcommand and gives back what
// runs it (the options' values are read when it runs). A new command is one entry in
// Commands(), its body a routine of app/batch_commands.h; its help and the check of the shared
// options it takes follow from the entry.
struct TCommand {
    const char* name;
    const char* description;
    std::vector<std::string> shared;
    BatchCommand (*add)(CLI::App& cmd, TBatchOptions& o);
    // --svg and --png picture the drawing; false: something of the command's own (then they are
    // taken with --cad too).
    bool picturesOfTheDrawing = true;
};

// The drawing of a command that can also work on a running CAD's drawing (--cad) instead.
void AddDrawingOrCad(CLI::App& cmd, std::string& drawing) {
    cmd.add_option("DRAWING", drawing, "the drawing, DXF (or --cad: the running CAD's)")
        ->type_name("");
}

void AddJson(CLI::App& cmd, TBatchOptions& o, const char* what) {
    cmd.add_option("--json", o.json, what)->type_name("FILE");
}

void AddTenth(CLI::App& cmd, TBatchOptions& o,
              const char* what =
                  "等時間の評価時間を 1/10 に: a tenth of the evaluation step (1, "
                  "3 or 6 s)") {
    cmd.add_flag("--tenth", o.tenth, what);
}

void AddTrueSolar(CLI::App& cmd, TBatchOptions& o) {
    cmd.add_option("--true-solar", o.trueSolar,
                   "on: true solar times only (default); off: local clock times beside them")
        ->type_name("on|off");
}

// --point X,Y[,NAME[,HEIGHT]], repeatable.
void AddListedPoints(CLI::App& cmd, std::vector<std::string>& points, const char* what) {
    cmd.add_option("--point", points, what)
        ->type_name("X,Y[,NAME[,HEIGHT]]")
        ->take_all()
        ->allow_extra_args(false);
}

const std::vector<TCommand>& Commands() {
    static const std::vector<TCommand> table = {
        {"ratio-table", "print the shadow-length ratio table, or draw it (倍率表作成)",
         kDrawsWithoutBuildingsOnCad,
         [](CLI::App& cmd, TBatchOptions&) -> BatchCommand {
             auto q = std::make_shared<TRatioTableRequest>();
             cmd.add_option("--draw", q->drawing,
                            "draw the table into this drawing, placed at --at (--cad: into the "
                            "running CAD's, placed there)")
                 ->type_name("DRAWING");
             cmd.add_option("--at", q->at, "where the table's upper left corner goes: X,Y")
                 ->type_name("X,Y");
             return [q](BatchRun& r) { return BatchRatioTable(r, *q); };
         }},
        {"sun",
         "print the sun's position at a clock hour",
         {"--date"},
         [](CLI::App& cmd, TBatchOptions&) -> BatchCommand {
             auto hour = std::make_shared<std::string>();
             cmd.add_option("--hour", *hour, "clock hour, 7.5 to 16.5 (8.5 = 8:30)")
                 ->type_name("H")
                 ->required();
             return [hour](BatchRun& r) { return BatchSun(r, *hour); };
         }},
        {"outline",
         "print the outlines of a union of segments",
         {},
         [](CLI::App& cmd, TBatchOptions&) -> BatchCommand {
             auto file = std::make_shared<std::string>();
             cmd.add_option("FILE", *file, "segments, x1 y1 x2 y2 per line")
                 ->type_name("")
                 ->required();
             return [file](BatchRun& r) { return BatchOutline(r, *file); };
         }},
        {"model",
         "acquire the buildings of a drawing (取得)",
         {"--buildings", "--height", "--svg", "--png", "--cad"},
         [](CLI::App& cmd, TBatchOptions&) -> BatchCommand {
             auto drawing = std::make_shared<std::string>();
             AddDrawingOrCad(cmd, *drawing);
             return [drawing](BatchRun& r) { return BatchModel(r, *drawing); };
         },
         false},
        {"time-of-day", "draw the time-of-day shadow diagram (時刻日影図)", kDrawsOnCad,
         [](CLI::App& cmd, TBatchOptions& o) -> BatchCommand {
             auto drawing = std::make_shared<std::string>();
             AddDrawingOrCad(cmd, *drawing);
             AddJson(cmd, o, "also write the outlines and times as JSON");
             return [drawing](BatchRun& r) { return BatchTimeOfDay(r, *drawing); };
         }},
        {"equal-time", "draw the equal-time shadow diagram (等時間日影図)", kDrawsOnCad,
         [](CLI::App& cmd, TBatchOptions& o) -> BatchCommand {
             auto drawing = std::make_shared<std::string>();
             AddDrawingOrCad(cmd, *drawing);
             AddJson(cmd, o, "also write the outlines per hour as JSON");
             AddTenth(cmd, o);
             return [drawing](BatchRun& r) { return BatchEqualTime(r, *drawing); };
         }},
        {"sky", "sky factors of measurement points (再計算), or their sky maps (作図, 一括)",
         kDrawsWithoutDateOnCad,
         [](CLI::App& cmd, TBatchOptions& o) -> BatchCommand {
             auto q = std::make_shared<TSkyRequest>();
             AddDrawingOrCad(cmd, q->drawing);
             cmd.add_option("--points", q->points,
                            "the measurement points: circles and their number texts selected "
                            "like --buildings; a circle is named by the first TEXT within 1000 "
                            "in x and y")
                 ->type_name("EXPR");
             AddListedPoints(cmd, q->point, "a measurement point X,Y[,NAME[,HEIGHT m]]");
             cmd.add_option("--csv", q->csv, "also write the sky factors as CSV")
                 ->type_name("FILE");
             AddJson(cmd, o, "also write the sky factors as JSON");
             cmd.add_option("--maps", q->maps,
                            "the maps of all points in a row (一括), type A or B")
                 ->type_name("A|B");
             CLI::Option* map =
                 cmd.add_option("--map", q->map, "the map of point N (作図), placed at --at")
                     ->type_name("N");
             CLI::Option* type =
                 cmd.add_option("--type", q->type, "the preset of --map: A or B")->type_name("A|B");
             cmd.add_option("--at", q->at, "the centre X,Y of the (first) map")->type_name("X,Y");
             cmd.add_flag("--fit", q->fit, "maps for the conforming building (適合), not planned");
             return [q, map, type](BatchRun& r) {
                 q->mapGiven = map->count() > 0;
                 q->typeGiven = type->count() > 0;
                 return BatchSky(r, *q);
             };
         }},
        {"walls", "draw the time-of-day and equal-time shadows on a wall's face (壁面/壁面等時間)",
         kDrawsOnCad,
         [](CLI::App& cmd, TBatchOptions&) -> BatchCommand {
             auto q = std::make_shared<TWallRequest>();
             AddDrawingOrCad(cmd, q->drawing);
             cmd.add_option("--wall", q->wall, "the wall: the LINE handle=H")
                 ->type_name("handle=H");
             cmd.add_option("--wall-at", q->wallAt,
                            "the wall: the LINE nearest to X,Y (within 1000)")
                 ->type_name("X,Y");
             cmd.add_option("--place", q->place,
                            "place the elevation with its origin at X,Y instead of along the "
                            "wall line")
                 ->type_name("X,Y");
             cmd.add_flag("--block", q->block, "ブロックとして作成: keep the elevation a block");
             return [q](BatchRun& r) { return BatchWalls(r, *q); };
         }},
        {"preview",
         "the 3D preview of the buildings as a picture (--png, --svg), or drawn (--draw)",
         kDrawsWithoutDateOnCad,
         [](CLI::App& cmd, TBatchOptions&) -> BatchCommand {
             auto q = std::make_shared<TPreviewRequest>();
             AddDrawingOrCad(cmd, q->drawing);
             cmd.add_option("--turn", q->turn, "turn about the vertical axis, degrees (315)")
                 ->type_name("DEG");
             cmd.add_option("--tilt", q->tilt, "tilt toward the viewer, degrees (60)")
                 ->type_name("DEG");
             cmd.add_flag("--no-drops", q->noDrops, "without footprints and vertical drops (直下)");
             cmd.add_flag("--draw", q->draw, "also draw the picture into the drawing (描画)");
             cmd.add_option("--at", q->at, "where --draw places it: X,Y (--cad: placed in the CAD)")
                 ->type_name("X,Y");
             return [q](BatchRun& r) { return BatchPreview(r, *q); };
         },
         false},
        {"points", "shadow hours of specific points (特定点, 再計算), or their table (作成)",
         kDrawsOnCad,
         [](CLI::App& cmd, TBatchOptions& o) -> BatchCommand {
             auto q = std::make_shared<TPointsRequest>();
             AddDrawingOrCad(cmd, q->drawing);
             cmd.add_option("--points", q->points,
                            "the points: circles and their number texts selected like --buildings")
                 ->type_name("EXPR");
             AddListedPoints(cmd, q->point, "a point X,Y[,NAME[,HEIGHT m]]");
             cmd.add_option("--csv", q->csv, "also write the grid as CSV")->type_name("FILE");
             AddJson(cmd, o, "also write the points' times as JSON");
             AddTrueSolar(cmd, o);
             cmd.add_flag("--exact", q->exact,
                          "also the shaded intervals solved to the second, every one");
             AddTenth(cmd, o);
             cmd.add_flag("--draw", q->draw, "draw the table into the drawing at --at (作成)");
             cmd.add_option("--at", q->at, "where the table goes: X,Y")->type_name("X,Y");
             return [q](BatchRun& r) { return BatchPoints(r, *q); };
         }},
        {"boundary", "draw the deemed boundary lines of a site (境界線作成)",
         kDrawsWithoutBuildingsOnCad,
         [](CLI::App& cmd, TBatchOptions& o) -> BatchCommand {
             auto drawing = std::make_shared<std::string>();
             auto site = std::make_shared<std::string>();
             AddDrawingOrCad(cmd, *drawing);
             cmd.add_option("--site", *site,
                            "the site's lines and polylines, selected like --buildings")
                 ->type_name("EXPR")
                 ->required();
             AddJson(cmd, o, "also write the sites and lines as JSON");
             return [drawing, site](BatchRun& r) { return BatchBoundary(r, *drawing, *site); };
         }},
        {"check", "check the equal-time shadows against the 5 m and 10 m deemed lines", kDrawsOnCad,
         [](CLI::App& cmd, TBatchOptions& o) -> BatchCommand {
             auto q = std::make_shared<TCheckRequest>();
             AddDrawingOrCad(cmd, q->drawing);
             cmd.add_option("--site", q->site,
                            "the site's lines and polylines, selected like --buildings")
                 ->type_name("EXPR")
                 ->required();
             cmd.add_option("--limits", q->limits,
                            "H5,H10: hours allowed beyond the 5 m line and beyond the 10 m line")
                 ->type_name("H5,H10")
                 ->required();
             cmd.add_option("--plane", q->plane,
                            "the measurement plane, metres (default: Common.takasa)")
                 ->type_name("M");
             cmd.add_flag("--headroom", q->headroom,
                          "how far each building could be raised (or must be lowered), to 0.1 m");
             AddTenth(cmd, o, "1-second samples instead of 10");
             AddJson(cmd, o, "also write the verdicts as JSON");
             AddTrueSolar(cmd, o);
             return [q](BatchRun& r) { return BatchCheck(r, *q); };
         }},
        {"sky-check",
         "the sky-factor verdict: planned against conforming building at every measurement point",
         {"--buildings", "--height", "--output", "--svg", "--png", "--no-record", "--cad"},
         [](CLI::App& cmd, TBatchOptions&) -> BatchCommand {
             auto q = std::make_shared<TSkyCheckOptions>();
             AddDrawingOrCad(cmd, q->drawing);
             cmd.add_option("--site", q->site,
                            "the site's lines and polylines, selected like --buildings")
                 ->type_name("EXPR")
                 ->required();
             cmd.add_option("--road", q->roads,
                            "a road: width and the conforming building's setback in metres, and "
                            "the lines on the site edges facing it (6:layer=道路境界, "
                            "6,2:handle=2A)")
                 ->type_name("W[,SETBACK]:EXPR")
                 ->take_all()
                 ->allow_extra_args(false);
             cmd.add_option("--zone", q->zone,
                            "the zone: 1低 2低 1中高 2中高 田園 1住 2住 "
                            "準住 近商 商業 準工 工業 工専 無指定 (default: SkyCheck.zone)")
                 ->type_name("ZONE");
             cmd.add_option("--far", q->far,
                            "the designated FAR limit, percent (default: SkyCheck.far)")
                 ->type_name("PCT");
             cmd.add_option("--kinds", q->kinds,
                            "the slant lines to check: road,adjacent,north (default: what the "
                            "zone makes apply)")
                 ->type_name("KINDS");
             cmd.add_option("--road-level", q->roadLevel,
                            "the site ground above the road centre, metres (1 m or more lifts "
                            "the points by (H - 1) / 2)")
                 ->type_name("M");
             cmd.add_option("--margin", q->margin,
                            "the planned value must reach the conforming one plus this, percent "
                            "(0)")
                 ->type_name("PCT");
             cmd.add_option("--corners", q->corners,
                            "where the site is wider than a road frontage: 垂直 (points and "
                            "conforming building between the frontage's perpendiculars) or 沿線 "
                            "(to the outermost site point in the application range); 垂直")
                 ->type_name("垂直|沿線");
             cmd.add_option("--json", q->json, "also write the table as JSON")->type_name("FILE");
             cmd.add_option("--csv", q->csv, "also write the table as CSV")->type_name("FILE");
             return [q](BatchRun& r) { return BatchSkyCheck(r, *q); };
         }},
    };
    return table;
}

// --- The shared options ----------------------------------------------------------------------

// The shared options `command` takes, in the order the program defines them.
std::vector<const CLI::Option*> SharedOptionsOf(const CLI::App& program,
                                                const std::string& command) {
    std::vector<std::string> names(std::begin(kEveryCommand), std::end(kEveryCommand));
    for (const TCommand& c : Commands())
        if (command == c.name) names.insert(names.end(), c.shared.begin(), c.shared.end());
    return program.get_options([&names](const CLI::Option* opt) {
        for (const std::string& n : names)
            if (opt->check_name(n)) return true;
        return false;
    });
}

// A command's help shows the shared options it takes after its own.
class SharedOptionsFormatter : public CLI::Formatter {
public:
    std::string make_footer(const CLI::App* app) const override {
        const CLI::App* program = app->get_parent();
        if (!program) return CLI::Formatter::make_footer(app);
        // make_group starts with a blank line; make_help has written one before the footer.
        return make_group("Shared options (before or after the command)", false,
                          SharedOptionsOf(*program, app->get_name()))
                   .substr(1) +
               CLI::Formatter::make_footer(app);
    }
};

// A shared option given to a command that does not take it, or nothing.
std::optional<std::string> SharedOptionNotTaken(const CLI::App& program, const CLI::App& command) {
    const std::vector<const CLI::Option*> taken = SharedOptionsOf(program, command.get_name());
    for (const CLI::Option* opt : program.get_options()) {
        if (opt->count() == 0 || opt == program.get_help_ptr()) continue;
        if (std::find(taken.begin(), taken.end(), opt) != taken.end()) continue;
        const std::string name = opt->get_name(false, true);
        return name.substr(0, name.find(',')) + " is not an option of " + command.get_name() +
               " (zuka help " + command.get_name() + " lists its options)";
    }
    return std::nullopt;
}

void AddSharedOptions(CLI::App& app, TBatchOptions& common) {
    app.add_option("--ini", common.ini,
                   "read the settings from FILE instead of the work folder's zuka.ini")
        ->type_name("FILE");
    app.add_option("--set", common.sets,
                   "override one settings key for this run (docs/settings.md): "
                   "Section.Key=Value, repeatable")
        ->type_name("KEY=VALUE")
        ->take_all()
        ->allow_extra_args(false);
    app.add_option("--workdir", common.workdir,
                   "the work folder of the settings file and the ZUKA_n.dxf files")
        ->type_name("DIR");
    app.add_flag("--quiet", common.quiet,
                 "no progress bar and no CAD prompts; warnings and errors still show");
    app.add_option("--buildings", common.buildings,
                   "the entities to acquire: all (default), layer=A,B, handle=1F,2A, "
                   "window=x1,y1,x2,y2, or several joined by + (all must hold)")
        ->type_name("EXPR");
    app.add_option("--svg", common.svg, "write a picture of the result as SVG")->type_name("FILE");
    app.add_option("--png", common.png, "write a picture of the result as PNG")->type_name("FILE");
    app.add_option("-o,--output", common.output,
                   "save the drawing with the results here (default: DRAWING-zuka.dxf)")
        ->type_name("FILE");
    app.add_option("--height", common.heights,
                   "give the outlines of a layer (or one entity, by handle) a height for this "
                   "run: LAYER=METRES or HANDLE=METRES, repeatable")
        ->type_name("KEY=METRES")
        ->take_all()
        ->allow_extra_args(false);
    app.add_option("--date", common.date,
                   "the sun of this day instead of the season (Common.kisetsu)")
        ->type_name("YYYY-MM-DD");
    app.add_flag("--no-record", common.noRecord,
                 "leave no calculation record (layer Layer.Info) beside what is drawn");
    app.add_option("--cad", common.cadProgId,
                   "Windows: draw into the active drawing of the CAD running beside zuka, found "
                   "by its ProgID (default: the target CAD, Target.ProgID), in place of DRAWING; "
                   "--buildings and --site select there by layer or window, else the user picks "
                   "in the CAD; the CAD's drawing is not saved by zuka")
        ->type_name("[PROGID]")
        ->expected(0, 1);
}

// After a usage error: where the commands are listed.
constexpr char kCommandHint[] = "Run 'zuka help' for the list of commands.\n";

// PNG pictures where this build has Qt.
PngWriter PngOfThisBuild() {
#ifdef ZUKA_HAVE_PNG
    return
        [](const SvgPicture& picture, const std::string& file) { return SavePng(picture, file); };
#else
    return {};
#endif
}

}  // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err,
           const TCliConsole& console) {
    CLI::App app{"Zuka: shadow diagrams and sky factor for Japanese building practice", "zuka"};
    auto formatter = std::make_shared<SharedOptionsFormatter>();
    formatter->label("SUBCOMMAND", "COMMAND");
    app.formatter(formatter);
    app.require_subcommand(0, 1);
    app.fallthrough();
    // Options are --name alone: a Windows path such as /data/x.dxf is no option.
    app.allow_windows_style_options(false);
    // Unknown words and options are collected and named below, an unknown command by itself.
    app.allow_extras();
    TBatchOptions common;
    bool version = false;
    app.add_flag("--version", version, "print the program's name and version, and exit");
    AddSharedOptions(app, common);
    std::vector<std::pair<CLI::App*, BatchCommand>> commands;
    for (const TCommand& c : Commands()) {
        CLI::App* sub = app.add_subcommand(c.name, c.description);
        commands.emplace_back(sub, c.add(*sub, common));
    }
    CLI::App* help = app.add_subcommand("help", "list the commands, or show one's options");
    std::string helpTopic;
    help->add_option("COMMAND", helpTopic, "the command whose options to show");

    for (CLI::App* sub : app.get_subcommands({})) sub->group("Commands");
    app.footer(
        "zuka help COMMAND (or zuka COMMAND --help) shows the options a command takes.\n"
        "Exit status: 0 done; 1 the command could not do its job; 2 bad usage (an unknown "
        "command or option, a missing or bad value, a setting the command cannot work with).");

    CLI::App* command = nullptr;
    try {
        app.parse(argc, argv);
        const std::vector<CLI::App*> given = app.get_subcommands();
        command = given.empty() ? nullptr : given[0];
        const std::vector<std::string> extras = app.remaining(true);
        if (!command && !extras.empty() && extras[0].rfind('-', 0) != 0) {
            err << "unknown command: " << extras[0] << "\n" << kCommandHint;
            return kExitUsage;
        }
        if (!extras.empty()) throw CLI::ExtrasError(extras);
        common.cad = app.get_option("--cad")->count() > 0;
        common.buildingsGiven = app.get_option("--buildings")->count() > 0;
        for (const TCommand& c : Commands())
            if (command && command->get_name() == c.name)
                common.picturesOfTheDrawing = c.picturesOfTheDrawing;
        if (command) {
            if (const std::optional<std::string> notTaken = SharedOptionNotTaken(app, *command)) {
                err << *notTaken << "\n";
                return kExitUsage;
            }
        }
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        return code == 0 ? kExitOk : kExitUsage;
    }
    if (version) {
        out << "zuka " << ProgramVersion() << "\n";
        return kExitOk;
    }
    if (!command) {
        err << "a command is required\n" << kCommandHint;
        return kExitUsage;
    }
    if (command == help) {
        if (helpTopic.empty()) {
            out << app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
            return kExitOk;
        }
        const CLI::App* topic = nullptr;
        for (const CLI::App* sub : app.get_subcommands({}))
            if (sub->get_name() == helpTopic) topic = sub;
        if (!topic) {
            err << "unknown command: " << helpTopic << "\n" << kCommandHint;
            return kExitUsage;
        }
        out << topic->help(app.get_name());
        return kExitOk;
    }
    const auto chosen = std::find_if(commands.begin(), commands.end(),
                                     [command](const auto& c) { return c.first == command; });
    if (chosen == commands.end()) return kExitUsage;

    // Without a stop request of the front end's, nothing stops the run.
    const StopRequest never;
    const TBatchConsole batch{out, err, console.stop ? *console.stop : never, console.terminal,
                              PngOfThisBuild()};
    const std::filesystem::path exeDir = ExecutablePath(argc > 0 ? argv[0] : "").parent_path();
    return RunBatch(common, exeDir, batch, chosen->second);
}

}  // namespace zuka

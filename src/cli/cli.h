// The command line: `zuka <command> [FILE] [options]`. Each command is one registration (its
// name, its options and the shared options it takes) of a command of the batch run
// (app/batch_run.h), which reads the settings, runs the same handlers the window runs, and
// prints a short result. RunCli returns the exit status: 0 success, 1 the command could not do
// its job, 2 bad usage.
#pragma once

#include <iosfwd>

namespace zuka {

class StopRequest;

// What the program's console gives the run: its stop request (Ctrl-C), and whether the
// messages go to a terminal (then long runs show a progress bar). The default: nothing stops
// the run, no bar.
struct TCliConsole {
    const StopRequest* stop = nullptr;
    bool terminal = false;
};

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err,
           const TCliConsole& console = {});

}  // namespace zuka

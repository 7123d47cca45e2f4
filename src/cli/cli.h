// The command line: `zuka <command> [FILE] [options]`. Each command fills the window state from
// the settings file and the options, runs the same handlers the window runs, and prints a
// short result. RunCli returns the exit status: 0 success, 1 the command could not do its job,
// 2 bad usage.
#pragma once

#include <iosfwd>

namespace zuka {

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace zuka

// The program `zuka`: the console's Ctrl-C and terminal, then the command line.
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "app/batch_run.h"
#include "cli/cli.h"

namespace {

// Ctrl-C is the run's stop request; the message pump of a long run sees it as a click on 中止.
zuka::StopRequest gStop;

extern "C" void OnInterrupt(int) { gStop.Request(); }

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGINT, OnInterrupt);
    return zuka::RunCli(argc, argv, std::cout, std::cerr, {&gStop, ::isatty(STDERR_FILENO) != 0});
}

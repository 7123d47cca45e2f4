// The program `zuka`: the console's Ctrl-C and terminal, then the command line.
#include <iostream>
#include <string>
#include <vector>

#include "app/batch_run.h"
#include "base/platform.h"
#include "cli/cli.h"

namespace {

// Ctrl-C is the run's stop request; the message pump of a long run sees it as a click on 中止.
zuka::StopRequest gStop;

void OnInterrupt() { gStop.Request(); }

}  // namespace

int main(int argc, char** argv) {
    zuka::PrepareConsole();
    zuka::OnInterruptKey(OnInterrupt);
    // The arguments as UTF-8 (on Windows argv holds them in the ANSI code page).
    std::vector<std::string> args = zuka::Utf8Arguments(argc, argv);
    std::vector<char*> utf8Argv;
    for (std::string& a : args) utf8Argv.push_back(a.data());
    utf8Argv.push_back(nullptr);
    return zuka::RunCli(static_cast<int>(args.size()), utf8Argv.data(), std::cout, std::cerr,
                        {&gStop, zuka::StderrIsTerminal()});
}

#include <iostream>
#include <string>
#include <vector>

#include "base/platform.h"
#include "cli/cli.h"

int main(int argc, char** argv) {
    zuka::PrepareConsole();
    // The arguments as UTF-8 (on Windows argv holds them in the ANSI code page).
    std::vector<std::string> args = zuka::Utf8Arguments(argc, argv);
    std::vector<char*> utf8Argv;
    for (std::string& a : args) utf8Argv.push_back(a.data());
    utf8Argv.push_back(nullptr);
    return zuka::RunCli(static_cast<int>(args.size()), utf8Argv.data(), std::cout, std::cerr);
}

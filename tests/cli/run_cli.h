// The command line run in the test's own process: RunCli with the words of `args`, its
// summary and its messages caught together, and its exit status.
#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace zuka::testing {

struct TRun {
    int status = -1;
    std::string out;  // the summary and the messages, in the order written
};

// `args` split at blanks (no word holds one), after --workdir `workdir` so that no settings
// file of the machine leaks in; `console` as the program's would give it.
inline TRun RunZuka(const std::filesystem::path& workdir, const std::string& args,
                    const TCliConsole& console = {}) {
    std::vector<std::string> words{"zuka", "--workdir", workdir.string()};
    std::istringstream in(args);
    for (std::string w; in >> w;) words.push_back(w);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    std::ostringstream out;
    TRun r;
    r.status = RunCli(static_cast<int>(words.size()), argv.data(), out, out, console);
    r.out = out.str();
    return r;
}

}  // namespace zuka::testing

// What differs between the systems the program runs on, in one place: Linux (platform_posix.cpp)
// and Windows (platform_win.cpp); CMake builds one of the two.
//
// Text in the program is UTF-8 everywhere, file names included: a path is made from text and
// turned back into text only through PathFromUtf8 and PathToUtf8, since on Windows
// std::filesystem::path(std::string) and path::string() go through the ANSI code page, which
// cannot hold Japanese file names on a system set to another language.
#pragma once

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zuka {

// A path from UTF-8 text, and back.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

// Opens a file to read bytes with the C library (by its wide name on Windows); null when it
// cannot be opened.
std::FILE* OpenFileForReading(const std::filesystem::path& path);
struct CFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using CFile = std::unique_ptr<std::FILE, CFileCloser>;

// The program's arguments as UTF-8: `argv` itself on Linux; on Windows the command line as the
// system has it in UTF-16 (argv holds it in the ANSI code page, which loses Japanese names).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Makes the console show UTF-8 text and the progress line's erase sequence: nothing to do on
// Linux; on Windows standard output and error write LF line ends as on Linux (binary mode) and
// the console's output code page becomes UTF-8 (65001), so that the program's
// Japanese messages read correctly in cmd.exe and PowerShell whatever the system's language,
// and the console handles escape sequences. Converting to the console's own code page instead
// would lose every character it lacks (a Japanese file name on a Western system).
void PrepareConsole();

// True when standard error is a terminal (a console window on Windows).
bool StderrIsTerminal();

// Calls `handler` when the user presses Ctrl-C (on Windows also Ctrl-Break). On Windows the
// handler runs on a thread of its own, so it should only set an atomic flag.
void OnInterruptKey(void (*handler)());

// Runs `commandLine` (UTF-8) through the system's shell (sh on Linux, cmd.exe on Windows) and
// returns its exit status (-1 when it could not run or did not exit by itself); what it writes
// to standard output is appended to `output`.
int RunCommandLine(const std::string& commandLine, std::string& output);

// Keeps `path` open so that no other program can open it, as a CAD keeps the drawing it has
// open on Windows; null on Linux, whose files have no such lock, or when it cannot be opened.
std::shared_ptr<void> HoldFileExclusively(const std::filesystem::path& path);

// The running program's id.
long ProcessId();

// The running executable's path (/proc/self/exe on Linux, the module's name on Windows, else
// `argv0` made absolute).
std::filesystem::path ExecutablePath(const char* argv0);

// The user's data folder for the program: $XDG_DATA_HOME/zuka or ~/.local/share/zuka on Linux,
// %LOCALAPPDATA%\zuka on Windows; empty when the environment names none.
std::filesystem::path UserDataFolder();

// The Linux rule of UserDataFolder from the values of XDG_DATA_HOME and HOME: `xdgDataHome`/zuka
// when that is an absolute path, else `home`/.local/share/zuka; empty when neither is given. Null
// and empty arguments count as unset. Built on Linux only (platform_posix.cpp).
std::filesystem::path XdgDataFolder(const char* xdgDataHome, const char* home);

// The local time of `t`.
std::tm LocalTime(std::time_t t);

// True when the processor has AVX2 and the build may use it. On Windows it is never used: GCC
// does not realign the stack for 256-bit values it spills there (GCC bug 54412).
bool CanUseAvx2();

// A converter between two code pages named as the program names them: "UTF-8", "CP932" (also
// "SHIFT_JIS", "MS932" ...), "CPnnnn", "UTF-16LE", "UTF-16BE", "BIG5", "JOHAB". iconv on Linux,
// the system's MultiByteToWideChar / WideCharToMultiByte with code page numbers on Windows.
class CodePageConverter {
public:
    CodePageConverter(const char* fromCode, const char* toCode);
    ~CodePageConverter();
    CodePageConverter(const CodePageConverter&) = delete;
    CodePageConverter& operator=(const CodePageConverter&) = delete;

    // False when the system does not know either code page.
    bool Ok() const;

    enum class Step {
        Done,        // all of `in` converted
        Refused,     // `in` starts at a character that is malformed or has no counterpart
        Incomplete,  // `in` ends inside a character
        Failed,      // the converter failed otherwise
    };
    // Converts from the start of `in`, appending to `out` and moving `in` past what it took.
    Step Convert(std::string_view& in, std::string& out);
    // Ends the text (writes any pending shift state); false when that fails.
    bool Finish(std::string& out);

private:
    struct State;
    State* state_;
};

}  // namespace zuka

// Linux (and other systems with POSIX and iconv).
#include <iconv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "base/platform.h"

namespace zuka {

namespace {

void (*gInterruptHandler)() = nullptr;

extern "C" void OnSigInt(int) {
    if (gInterruptHandler) gInterruptHandler();
}

bool IsSet(const char* value) { return value != nullptr && value[0] != '\0'; }

}  // namespace

std::filesystem::path PathFromUtf8(std::string_view utf8) { return std::filesystem::path(utf8); }

std::string PathToUtf8(const std::filesystem::path& path) { return path.string(); }

std::FILE* OpenFileForReading(const std::filesystem::path& path) {
    return std::fopen(path.c_str(), "rb");
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void PrepareConsole() {}

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

void OnInterruptKey(void (*handler)()) {
    gInterruptHandler = handler;
    std::signal(SIGINT, OnSigInt);
}

int RunCommandLine(const std::string& commandLine, std::string& output) {
    FILE* p = ::popen(commandLine.c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) output.append(buf, n);
    const int raw = ::pclose(p);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::shared_ptr<void> HoldFileExclusively(const std::filesystem::path&) { return nullptr; }

long ProcessId() { return static_cast<long>(::getpid()); }

std::filesystem::path ExecutablePath(const char* argv0) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty()) return self;
    if (!IsSet(argv0)) return {};
    std::filesystem::path p = std::filesystem::absolute(argv0, ec);
    return ec ? std::filesystem::path(argv0) : p;
}

std::filesystem::path UserDataFolder() {
    return XdgDataFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

std::filesystem::path XdgDataFolder(const char* xdgDataHome, const char* home) {
    if (IsSet(xdgDataHome)) {
        const std::filesystem::path xdg(xdgDataHome);
        if (xdg.is_absolute()) return xdg / "zuka";
    }
    if (IsSet(home)) return std::filesystem::path(home) / ".local" / "share" / "zuka";
    return {};
}

std::tm LocalTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

bool CanUseAvx2() {
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    return has;
}

struct CodePageConverter::State {
    iconv_t cd;
};

CodePageConverter::CodePageConverter(const char* fromCode, const char* toCode)
    : state_(new State{iconv_open(toCode, fromCode)}) {}

CodePageConverter::~CodePageConverter() {
    if (Ok()) iconv_close(state_->cd);
    delete state_;
}

bool CodePageConverter::Ok() const { return state_->cd != reinterpret_cast<iconv_t>(-1); }

CodePageConverter::Step CodePageConverter::Convert(std::string_view& in, std::string& out) {
    // iconv's interface takes a non-const input pointer but never writes through it.
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char chunk[4096];
    Step step = Step::Done;
    while (srcLeft > 0) {
        char* dst = chunk;
        std::size_t dstLeft = sizeof chunk;
        const std::size_t r = iconv(state_->cd, &src, &srcLeft, &dst, &dstLeft);
        const int err = errno;
        out.append(chunk, static_cast<std::size_t>(dst - chunk));
        if (r != static_cast<std::size_t>(-1) || err == E2BIG) continue;
        step = err == EILSEQ ? Step::Refused : err == EINVAL ? Step::Incomplete : Step::Failed;
        break;
    }
    in.remove_prefix(in.size() - srcLeft);
    return step;
}

bool CodePageConverter::Finish(std::string& out) {
    char chunk[64];
    char* dst = chunk;
    std::size_t dstLeft = sizeof chunk;
    if (iconv(state_->cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<std::size_t>(-1))
        return false;
    out.append(chunk, static_cast<std::size_t>(dst - chunk));
    return true;
}

}  // namespace zuka

// Windows (cross-built with mingw-w64).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// after windows.h
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "base/platform.h"

namespace zuka {

namespace {

std::atomic<void (*)()> gInterruptHandler{nullptr};

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    if (void (*handler)() = gInterruptHandler.load()) handler();
    return TRUE;
}

std::string WideToUtf8(const wchar_t* w, std::size_t n) {
    if (n == 0) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(n), out.data(), size, nullptr, nullptr);
    return out;
}

std::string Upper(const char* s) {
    std::string u(s);
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

// The code page's number; 1200 and 1201 are UTF-16 little and big endian. 0 when unknown.
unsigned CodePageNumber(const char* name) {
    const std::string n = Upper(name);
    if (n == "UTF-8" || n == "UTF8") return CP_UTF8;
    if (n == "UTF-16LE") return 1200;
    if (n == "UTF-16BE") return 1201;
    for (const char* jis : {"CP932", "MS932", "SHIFT_JIS", "SHIFT-JIS", "SJIS", "WINDOWS-31J"})
        if (n == jis) return 932;
    if (n == "BIG5") return 950;
    if (n == "JOHAB") return 1361;
    std::string digits;
    if (n.compare(0, 2, "CP") == 0)
        digits = n.substr(2);
    else if (n.compare(0, 8, "WINDOWS-") == 0)
        digits = n.substr(8);
    if (digits.empty() || digits.size() > 5) return 0;
    for (char c : digits)
        if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
    const unsigned cp = static_cast<unsigned>(std::atoi(digits.c_str()));
    return IsValidCodePage(cp) ? cp : 0;
}

bool IsUtf16(unsigned cp) { return cp == 1200 || cp == 1201; }

// Bytes of the character at the start of `s` in code page `cp` by its shape: the lead byte's
// length for UTF-8 (1 for a byte that starts no character), two for a lead byte of a
// double-byte code page, two for UTF-16 (four for a surrogate pair).
std::size_t CharLength(std::string_view s, unsigned cp) {
    const auto byte = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    if (cp == CP_UTF8) {
        const unsigned char lead = byte(0);
        return lead >= 0xC2 && lead <= 0xDF   ? 2
               : lead >= 0xE0 && lead <= 0xEF ? 3
               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                              : 1;
    }
    if (IsUtf16(cp)) {
        if (s.size() < 2) return 2;
        const unsigned hi = cp == 1200 ? byte(1) : byte(0);
        return hi >= 0xD8 && hi <= 0xDB ? 4 : 2;
    }
    return IsDBCSLeadByteEx(cp, byte(0)) ? 2 : 1;
}

// True when `s`, shorter than the character its first byte starts, could be its beginning (the
// text ends inside it) rather than malformed.
bool CutOff(std::string_view s, unsigned cp) {
    if (cp != CP_UTF8) return true;
    for (std::size_t i = 1; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return false;
    return true;
}

// Characters that Windows' code page 932 leaves to best fit but the Japanese offices' CP932 (and
// the system's converter on Linux) takes as their Windows forms: the wave dash as typed on other
// systems becomes the fullwidth tilde.
void ToCp932Forms(std::wstring& w) {
    for (wchar_t& c : w)
        if (c == 0x301C) c = 0xFF5E;
}

// False when `s` holds a byte that CP932 leaves undefined on its own: 0x80, 0xA0 and 0xFD to
// 0xFF. Windows maps them to U+0080 and private-use characters; the converter on Linux refuses
// them, and so does this one, so that a file reads alike on both.
bool Cp932SingleBytesDefined(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned c = static_cast<unsigned char>(s[i]);
        if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
            ++i;  // a lead byte: its trail byte is checked by the system's converter
        } else if (c == 0x80 || c == 0xA0 || c >= 0xFD) {
            return false;
        }
    }
    return true;
}

// `s` (whole characters) to UTF-16; false when a character is malformed or not in `cp`.
bool ToWide(std::string_view s, unsigned cp, std::wstring& w) {
    w.clear();
    if (s.empty()) return true;
    if (IsUtf16(cp)) {
        if (s.size() % 2 != 0) return false;
        for (std::size_t i = 0; i < s.size(); i += 2) {
            const unsigned a = static_cast<unsigned char>(s[i]);
            const unsigned b = static_cast<unsigned char>(s[i + 1]);
            w += static_cast<wchar_t>(cp == 1200 ? a | (b << 8) : (a << 8) | b);
        }
        // Unpaired surrogates are malformed.
        for (std::size_t i = 0; i < w.size(); ++i) {
            const unsigned u = w[i];
            if (u >= 0xD800 && u <= 0xDBFF) {
                if (i + 1 >= w.size() || w[i + 1] < 0xDC00 || w[i + 1] > 0xDFFF) return false;
                ++i;
            } else if (u >= 0xDC00 && u <= 0xDFFF) {
                return false;
            }
        }
        return true;
    }
    if (cp == 932 && !Cp932SingleBytesDefined(s)) return false;
    const int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, s.data(),
                                      static_cast<int>(s.size()), nullptr, 0);
    if (n <= 0) return false;
    w.resize(static_cast<std::size_t>(n));
    return MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()),
                               w.data(), n) == n;
}

// UTF-16 to code page `cp`, appended to `out`; false when a character has no counterpart there
// (nothing appended then).
bool FromWide(const std::wstring& w, unsigned cp, std::string& out) {
    if (w.empty()) return true;
    if (IsUtf16(cp)) {
        for (wchar_t c : w) {
            const unsigned u = static_cast<unsigned>(c);
            const char lo = static_cast<char>(u & 0xFF);
            const char hi = static_cast<char>(u >> 8);
            out += cp == 1200 ? lo : hi;
            out += cp == 1200 ? hi : lo;
        }
        return true;
    }
    std::wstring forms;
    if (cp == 932 && w.find(static_cast<wchar_t>(0x301C)) != std::wstring::npos) {
        forms = w;
        ToCp932Forms(forms);
        return FromWide(forms, cp, out);
    }
    // UTF-8 and the UTF-7 family take no flags and no default character.
    const bool utf8 = cp == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(cp, flags, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, utf8 ? nullptr : &usedDefault);
    if (n <= 0 || usedDefault) return false;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(n));
    WideCharToMultiByte(cp, flags, w.data(), static_cast<int>(w.size()), out.data() + at, n,
                        nullptr, nullptr);
    return true;
}

}  // namespace

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string PathToUtf8(const std::filesystem::path& path) {
    const std::u8string s = path.u8string();
    return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

std::FILE* OpenFileForReading(const std::filesystem::path& path) {
    return _wfopen(path.c_str(), L"rb");
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int n = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (wide == nullptr || n != argc) {
        if (wide) LocalFree(wide);
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> args;
    for (int i = 0; i < n; ++i) args.push_back(WideToUtf8(wide[i], std::wcslen(wide[i])));
    LocalFree(wide);
    return args;
}

void PrepareConsole() {
    // Lines end in LF as on Linux, also in redirected output (the console shows either).
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (err != INVALID_HANDLE_VALUE && GetConsoleMode(err, &mode))
        SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

bool StderrIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void OnInterruptKey(void (*handler)()) {
    gInterruptHandler.store(handler);
    static const bool installed = SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0;
    (void)installed;
}

int RunCommandLine(const std::string& commandLine, std::string& output) {
    // cmd.exe /c takes away the first and the last quote of a command line that starts with
    // one: a pair around the whole line keeps the quotes within it.
    const std::wstring wide = L"\"" + PathFromUtf8(commandLine).wstring() + L"\"";
    FILE* p = _wpopen(wide.c_str(), L"rb");
    if (!p) return -1;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) output.append(buf, n);
    return _pclose(p);
}

std::shared_ptr<void> HoldFileExclusively(const std::filesystem::path& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::shared_ptr<void>(h, [](void* handle) { CloseHandle(handle); });
}

long ProcessId() { return static_cast<long>(GetCurrentProcessId()); }

std::filesystem::path ExecutablePath(const char* argv0) {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) break;
        if (n < buf.size()) {
            buf.resize(n);
            return std::filesystem::path(buf);
        }
        buf.resize(buf.size() * 2);
    }
    if (argv0 == nullptr || argv0[0] == '\0') return {};
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(PathFromUtf8(argv0), ec);
    return ec ? PathFromUtf8(argv0) : p;
}

std::filesystem::path UserDataFolder() {
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (local == nullptr || local[0] == L'\0') return {};
    return std::filesystem::path(local) / L"zuka";
}

std::tm LocalTime(std::time_t t) {
    std::tm tm{};
    localtime_s(&tm, &t);
    return tm;
}

bool CanUseAvx2() { return false; }

struct CodePageConverter::State {
    unsigned from = 0;
    unsigned to = 0;
};

CodePageConverter::CodePageConverter(const char* fromCode, const char* toCode)
    : state_(new State{CodePageNumber(fromCode), CodePageNumber(toCode)}) {}

CodePageConverter::~CodePageConverter() { delete state_; }

bool CodePageConverter::Ok() const { return state_->from != 0 && state_->to != 0; }

CodePageConverter::Step CodePageConverter::Convert(std::string_view& in, std::string& out) {
    const unsigned from = state_->from;
    const unsigned to = state_->to;
    std::wstring w;
    // Most texts convert whole; otherwise character by character up to the one refused.
    if (ToWide(in, from, w) && FromWide(w, to, out)) {
        in = {};
        return Step::Done;
    }
    while (!in.empty()) {
        const std::size_t len = CharLength(in, from);
        if (len > in.size()) return CutOff(in, from) ? Step::Incomplete : Step::Refused;
        if (!ToWide(in.substr(0, len), from, w) || !FromWide(w, to, out)) return Step::Refused;
        in.remove_prefix(len);
    }
    return Step::Done;
}

bool CodePageConverter::Finish(std::string&) { return true; }

}  // namespace zuka

#include "app/ini_file.h"
#include "base/file_io.h"

#include <cstdint>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <system_error>
#include <utility>

#include "base/number.h"
#include "base/text.h"

namespace zuka {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string OneLine(std::string_view value) {
    std::string out(value);
    for (char& c : out) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return out;
}

}  // namespace

std::optional<std::string> DecodeSettingsText(std::string_view bytes) {
    std::optional<TDecodedText> decoded = DecodeTextFile(bytes);
    if (!decoded) return std::nullopt;
    return std::move(decoded->text);
}

void IniFile::Parse(std::string_view text) {
    sections_.clear();
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());

    TSection* current = nullptr;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        const std::string_view trimmed = TrimBlanks(line);
        if (trimmed.empty() || trimmed.front() == ';') continue;
        if (trimmed.front() == '[') {
            const std::size_t close = trimmed.find(']');
            if (close == std::string_view::npos) continue;
            current = &SectionForWrite(TrimBlanks(trimmed.substr(1, close - 1)));
            continue;
        }
        const std::size_t eq = line.find('=');
        if (current == nullptr || eq == std::string_view::npos) continue;
        const std::string_view key = TrimBlanks(line.substr(0, eq));
        if (key.empty()) continue;
        bool seen = false;
        for (const TEntry& e : current->entries) seen = seen || EqualsNoCase(e.key, key);
        if (!seen) current->entries.push_back({std::string(key), std::string(line.substr(eq + 1))});
    }
}

std::string IniFile::ToText() const {
    std::string out;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        if (i > 0) out += kLineEnd;
        out += '[';
        out += sections_[i].name;
        out += ']';
        out += kLineEnd;
        for (const TEntry& e : sections_[i].entries) {
            out += e.key;
            out += '=';
            out += e.value;
            out += kLineEnd;
        }
    }
    return out;
}

bool IniFile::LoadFile(const std::filesystem::path& path) {
    sections_.clear();
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) return false;
        std::ostringstream buffer;
        buffer << in.rdbuf();
        if (in.bad()) return false;
        const std::string bytes = buffer.str();
        const std::optional<std::string> text = DecodeSettingsText(bytes);
        if (!text) return false;
        Parse(*text);
        return true;
    } catch (const std::exception&) {
        sections_.clear();
        return false;
    }
}

bool IniFile::SaveFile(const std::filesystem::path& path) const {
    return WriteFileReplacing(path, ToText());
}

bool IniFile::HasKey(std::string_view section, std::string_view key) const {
    return FindValue(section, key) != nullptr;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view def) const {
    const std::string* v = FindValue(section, key);
    return v != nullptr ? *v : std::string(def);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
    const std::string* v = FindValue(section, key);
    if (v == nullptr) return def;
    const std::optional<std::int64_t> n = ParseInteger(*v);
    if (!n || *n < std::numeric_limits<int>::min() || *n > std::numeric_limits<int>::max()) {
        return def;
    }
    return static_cast<int>(*n);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    const std::string* v = FindValue(section, key);
    if (v == nullptr) return def;
    const std::optional<std::int64_t> n = ParseInteger(*v);
    return n ? *n != 0 : def;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    TSection& s = SectionForWrite(section);
    for (TEntry& e : s.entries) {
        if (EqualsNoCase(e.key, key)) {
            e.value = OneLine(value);
            return;
        }
    }
    s.entries.push_back({std::string(TrimBlanks(key)), OneLine(value)});
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, FormatInt(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

std::vector<std::string> IniFile::Sections() const {
    std::vector<std::string> names;
    for (const TSection& s : sections_) names.push_back(s.name);
    return names;
}

std::vector<std::string> IniFile::Keys(std::string_view section) const {
    std::vector<std::string> names;
    if (const TSection* s = FindSection(section)) {
        for (const TEntry& e : s->entries) names.push_back(e.key);
    }
    return names;
}

const IniFile::TSection* IniFile::FindSection(std::string_view name) const {
    for (const TSection& s : sections_) {
        if (EqualsNoCase(s.name, name)) return &s;
    }
    return nullptr;
}

IniFile::TSection& IniFile::SectionForWrite(std::string_view name) {
    for (TSection& s : sections_) {
        if (EqualsNoCase(s.name, name)) return s;
    }
    sections_.push_back({std::string(name), {}});
    return sections_.back();
}

const std::string* IniFile::FindValue(std::string_view section, std::string_view key) const {
    const TSection* s = FindSection(section);
    if (s == nullptr) return nullptr;
    for (const TEntry& e : s->entries) {
        if (EqualsNoCase(e.key, key)) return &e.value;
    }
    return nullptr;
}

}  // namespace zuka

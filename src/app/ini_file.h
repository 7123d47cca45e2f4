// The settings file format: sections in square brackets, then lines key=value.
//
// Sections and keys are matched without regard to (ASCII) letter case. Sections keep the order
// in which they first appear; keys keep the order in which they were first read or written. A
// write to an existing key replaces its value in place; a write of a new key appends it to its
// section (so a section stays in one piece however the writes interleave). Values are kept
// exactly as written: only the blanks around a key name are trimmed.
//
// The text is UTF-8. It is written with "\r\n" line ends and read with either "\r\n" or "\n";
// a UTF-8 byte-order mark at the start is skipped. A file that is no UTF-8 is read as CP932, the
// code page in which the settings files of Windows programs are written.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zuka {

// The text of a settings file's bytes, decoded as every text file of the program is
// (DecodeTextFile); nothing when the bytes are malformed in the encoding found.
std::optional<std::string> DecodeSettingsText(std::string_view bytes);

class IniFile {
public:
    // Replaces the content by the sections and keys of `text`. A line "[name]" opens a section;
    // a line with "=" inside a section is a key (split at the first "="); lines starting with
    // ";" and all other lines are ignored, as are keys before the first section. When a section
    // occurs twice its keys are merged into the first; when a key occurs twice in a section the
    // first value counts.
    void Parse(std::string_view text);

    // The whole file: "[section]" lines and "key=value" lines, each ended by "\r\n", sections
    // separated by an empty line.
    std::string ToText() const;

    // Parse the file at `path` (DecodeSettingsText). False (and an empty content) when it does
    // not exist, cannot be read or is neither UTF-8 nor CP932; never throws.
    bool LoadFile(const std::filesystem::path& path);

    // Write ToText() to `path` through a temporary file beside it that then replaces the old
    // file, so that a failed write leaves the old file whole. False when the file cannot be
    // written (folder missing or read-only, parent is a file); never throws.
    bool SaveFile(const std::filesystem::path& path) const;

    bool HasKey(std::string_view section, std::string_view key) const;

    // The value as stored, or `def` when the key is missing.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const;

    // Decimal, or hexadecimal after "0x"/"0X" (or "$"), blanks around it ignored; a missing key,
    // a value that is no integer or one outside the 32-bit range yields `def`.
    int ReadInteger(std::string_view section, std::string_view key, int def) const;

    // Read as ReadInteger; any non-zero integer is true. No integer yields `def`.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;

    // Stores `value`. A line break cannot be kept on one line of the file: each CR or LF in
    // `value` is stored as a blank.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);  // decimal
    void WriteBool(std::string_view section, std::string_view key, bool value);    // "1" / "0"

    // Section names in file order, and the key names of one section in order (empty when the
    // section is missing); names are spelled as first read or written.
    std::vector<std::string> Sections() const;
    std::vector<std::string> Keys(std::string_view section) const;

private:
    struct TEntry {
        std::string key;
        std::string value;
    };
    struct TSection {
        std::string name;
        std::vector<TEntry> entries;
    };

    const TSection* FindSection(std::string_view name) const;
    TSection& SectionForWrite(std::string_view name);
    const std::string* FindValue(std::string_view section, std::string_view key) const;

    std::vector<TSection> sections_;
};

}  // namespace zuka

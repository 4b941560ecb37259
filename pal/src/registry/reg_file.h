// The REGEDIT 5 text form of keys and values, and hive files (UTF-16LE with BOM, CRLF). Every
// value is written so that reading it back gives the same type and the same bytes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "registry_tree.h"

namespace pal::reg {

inline constexpr std::u16string_view kRegFileHeader = u"Windows Registry Editor Version 5.00";
// A hive file opens with this comment and closes with kHiveEndLine, so that a file cut short is
// told from a smaller registry. Files without the opening comment load as before.
inline constexpr std::u16string_view kHiveSealLine = u"; this hive ends with the line \"; end\"";
inline constexpr std::u16string_view kHiveEndLine = u"; end";

// Quoted names escape '\' and '"' with a backslash, and CR and LF as \r and \n so that a name
// stays on its line. A key path whose names hold control characters is written as its names,
// each quoted so, joined by '\': ["HKEY_CURRENT_USER"\"Software"\"a\nb"].

// One value line: "name"= or @= followed by a quoted string (a REG_SZ whose bytes are exactly
// its text and one terminator), dword:xxxxxxxx (a 4-byte REG_DWORD) or hex / hex(N) bytes,
// folded with a trailing '\' past 76 columns.
std::u16string FormatValueLine(const Value& value);

// Appends "[path]" and the key's value lines, then a blank line; with `recursive`, the same for
// every key below in enumeration order. `path` is the key's full name, root included.
void AppendKeyBlocks(std::u16string& out, const Key& key, const std::u16string& path,
                     bool recursive);

// The "[path]" line of a key (without its line break).
std::u16string FormatKeyLine(std::u16string_view path);

// The text of a hive: the header and the opening comment, then every key below the root (the
// root itself only when it holds values), then the closing line.
std::u16string FormatHive(const Key& root, std::u16string_view rootName);

// Reads a hive's text into `root`, whose keys all lie under `rootName`. Throws RegistryError
// naming `fileName` and the line for anything malformed, and for a sealed hive that lacks its
// closing line.
void ParseHive(std::u16string_view text, std::u16string_view rootName, Key& root,
               const std::string& fileName);

// UTF-16LE file text without its BOM; throws RegistryError when the file has no UTF-16LE BOM or
// an odd length. Nothing when the file does not exist.
bool ReadHiveFile(const std::filesystem::path& file, std::u16string& text);
// Writes BOM + text to a temporary file beside `file`, then renames it over `file`.
void WriteHiveFile(const std::filesystem::path& file, std::u16string_view text);

}  // namespace pal::reg

// The registry of a machine seen from C++: tests, emulators and the command line read and write
// keys and values of a given machine without making it current, and export keys as .reg text.
// Key paths start with their root: HKLM, HKCU, HKCR or HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
// HKEY_CLASSES_ROOT (HKCR is HKLM\SOFTWARE\Classes), e.g. u"HKLM\\Software\\Quorvane".
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pal/registry.h"

namespace pal {

class Machine;

// A malformed key path, a missing key, a malformed hive file ("<file>:<line>: <problem>") or a
// hive that cannot be written.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct RegistryValue {
    std::u16string name;  // empty: the default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

class RegistryStore {
public:
    // Loads the machine's hives on first use; throws RegistryError when a hive file is malformed.
    explicit RegistryStore(Machine& machine);

    bool KeyExists(std::u16string_view keyPath);
    // Creates the key and every missing key above it.
    void CreateKey(std::u16string_view keyPath);
    // Deletes the key with everything below it; false when it did not exist.
    bool DeleteKey(std::u16string_view keyPath);

    // Nothing when the key or the value does not exist.
    std::optional<RegistryValue> GetValue(std::u16string_view keyPath, std::u16string_view name);
    // Stores exactly these bytes, creating the key when needed.
    void SetValue(std::u16string_view keyPath, std::u16string_view name, DWORD type,
                  std::vector<BYTE> data);
    // A string value of UTF-16 text with its terminator (REG_SZ or REG_EXPAND_SZ).
    void SetString(std::u16string_view keyPath, std::u16string_view name, std::u16string_view text,
                   DWORD type = REG_SZ);
    void SetDword(std::u16string_view keyPath, std::u16string_view name, DWORD value);
    // The text of a REG_SZ or REG_EXPAND_SZ value up to its first terminator; nothing when the
    // value is missing or of another type.
    std::optional<std::u16string> GetString(std::u16string_view keyPath, std::u16string_view name);
    // A REG_DWORD value; nothing when it is missing, of another type or not four bytes long.
    std::optional<DWORD> GetDword(std::u16string_view keyPath, std::u16string_view name);
    // False when the key or the value did not exist.
    bool DeleteValue(std::u16string_view keyPath, std::u16string_view name);

    // Subkey names in enumeration order and values in their stored order; throw for a missing
    // key.
    std::vector<std::u16string> SubkeyNames(std::u16string_view keyPath);
    std::vector<RegistryValue> Values(std::u16string_view keyPath);

    // The key and everything below it as a .reg file's text (CRLF line ends), the root written
    // in its long form. Throws for a missing key.
    std::u16string Export(std::u16string_view keyPath);
    // The key's header and the one value; throws for a missing key or value.
    std::u16string ExportValue(std::u16string_view keyPath, std::u16string_view name);

    // Writes every changed hive to its file.
    void Flush();

private:
    Machine& m_machine;
};

}  // namespace pal

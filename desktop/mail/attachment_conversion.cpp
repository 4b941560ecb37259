#include "attachment_conversion.h"

#include <file_filter.h>
#include <rapi.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "device_file.h"
#include "mail_file_filter.h"
#include "st_log_file.h"

namespace {

const char kNoConversion[] = "Binary Copy";

// A Windows path taken apart: drive and folder without a trailing "\", the name without its
// extension, the extension with its dot (empty when the name has none).
struct PathParts {
    std::string folder;
    std::string name;
    std::string extension;
};

PathParts SplitPath(const std::string& path) {
    PathParts parts;
    size_t slash = path.find_last_of("\\/");
    std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    if (slash != std::string::npos) parts.folder = path.substr(0, slash);
    size_t dot = file.rfind('.');
    parts.name = dot == std::string::npos ? file : file.substr(0, dot);
    if (dot != std::string::npos) parts.extension = file.substr(dot);
    return parts;
}

// What the source description takes from the file itself.
struct FileFacts {
    DWORD size = 0;
    FILETIME created = {};
    FILETIME modified = {};
};

// Copies `text` into a fixed field; false when it does not fit with its terminator.
template <size_t N>
bool Fill(CHAR (&field)[N], const std::string& text) {
    if (text.size() >= N) return false;
    lstrcpyA(field, text.c_str());
    return true;
}

// A string value of an open key; false when it is missing, not a string or too long.
bool ReadString(HKEY key, LPCSTR name, std::string& value) {
    CHAR buffer[MAX_PATH] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    value = buffer;
    return true;
}

// True when the partnership's "Filters" key turns conversion off: "EnableConversion" present
// with a first 32-bit word of 0.
bool ConversionDisabled(HKEY partnership) {
    HKEY filters = nullptr;
    if (RegOpenKeyExA(partnership, "Filters", 0, KEY_READ, &filters) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    bool disabled = false;
    if (RegQueryValueExA(filters, "EnableConversion", nullptr, nullptr, nullptr, &size) ==
            ERROR_SUCCESS &&
        size >= sizeof(DWORD)) {
        std::vector<BYTE> data(size);
        if (RegQueryValueExA(filters, "EnableConversion", nullptr, nullptr, data.data(), &size) ==
                ERROR_SUCCESS &&
            size >= sizeof(DWORD))
            disabled = !(data[0] | data[1] | data[2] | data[3]);
    }
    RegCloseKey(filters);
    return disabled;
}

// The filter named for `extension` in `direction`: "" when none applies.
std::string FilterOf(HKEY partnership, const std::string& extension,
                     ConversionDirection direction) {
    if (extension.empty()) return {};
    std::string path = "Filters\\" + extension;
    HKEY key = nullptr;
    if (RegOpenKeyExA(partnership, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    std::string value;
    bool found =
        ReadString(key, direction == CONVERT_IMPORT ? "DefaultImport" : "DefaultExport", value);
    RegCloseKey(key);
    // A value that is missing or unreadable names no class either: the file goes unconverted.
    if (!found || !lstrcmpiA(value.c_str(), kNoConversion)) return {};
    return value;
}

// "NewExtension" of a filter class, without its dot; "" when the class has none.
std::string NewExtensionOf(const std::string& classText) {
    std::string path = "CLSID\\" + classText + "\\PegasusFilter";
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    std::string value;
    if (!ReadString(key, "NewExtension", value)) value.clear();
    RegCloseKey(key);
    return value;
}

// The desktop's temporary folder without its trailing "\"; "" when it cannot be had.
std::string DesktopTempFolder() {
    CHAR buffer[MAX_PATH] = {};
    DWORD length = GetTempPathA(MAX_PATH, buffer);
    if (!length || length >= MAX_PATH) return {};
    std::string folder(buffer, length);
    if (folder.back() == '\\') folder.pop_back();
    return folder;
}

// Folders made for one conversion each are named this, a number following.
const char kConversionFolder[] = "Converted.";

// A new empty folder "Converted.N" in `temp`; "" when none can be made.
std::string MakeConversionFolder(const std::string& temp) {
    for (int n = 1; n < 10000; ++n) {
        std::string folder = temp + "\\" + kConversionFolder + std::to_string(n);
        if (CreateDirectoryA(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    ST_LOG("No folder to convert in");
    return {};
}

// Removes `folder` when it is a conversion folder and empty.
void RemoveConversionFolder(const std::string& folder) {
    size_t slash = folder.find_last_of("\\/");
    if (slash != std::string::npos && folder.compare(slash + 1, std::strlen(kConversionFolder),
                                                     kConversionFolder) == 0)
        RemoveDirectoryA(folder.c_str());
}

// The filter's class object, asked for ICeFileFilter; null when it cannot be had.
ICeFileFilter* CreateFilter(const std::string& classText) {
    int units = MultiByteToWideChar(CP_ACP, 0, classText.c_str(), -1, nullptr, 0);
    if (units <= 0) return nullptr;
    std::u16string text(static_cast<size_t>(units), u'\0');
    MultiByteToWideChar(CP_ACP, 0, classText.c_str(), -1, text.data(), units);
    CLSID clsid = {};
    if (FAILED(CLSIDFromString(text.c_str(), &clsid))) return nullptr;
    IUnknown* object = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<LPVOID*>(&object))))
        return nullptr;
    ICeFileFilter* filter = nullptr;
    if (FAILED(object->QueryInterface(IID_ICeFileFilter, reinterpret_cast<void**>(&filter))))
        filter = nullptr;
    object->Release();
    return filter;
}

// Drives `filter` over the source: each output it makes adds the destination path to `outputs`.
// True when the filter ended normally (possibly with no output at all), false when it failed.
bool RunFilter(ICeFileFilter* filter, IReplNotify* notify, ConversionDirection direction,
               CFF_SOURCEFILE& source, CFF_DESTINATIONFILE& destination,
               std::vector<std::string>& outputs) {
    CMailFileFilter* site = new (std::nothrow) CMailFileFilter(source.szFullpath);
    if (!site) return false;
    site->AddRef();
    site->SetDestinationPath(destination.szFullpath);
    CFF_CONVERTINFO info = {};
    info.bImport = direction == CONVERT_IMPORT;
    info.hwndParent = notify->GetWindow(0);
    info.bYesToAll = FALSE;
    info.pffs = site;
    HRESULT hr = S_OK;
    PF_ERROR error = 0;
    for (int n = 0;; ++n) {
        volatile BOOL cancel = FALSE;
        error = 0;
        hr = filter->NextConvertFile(n, &info, &source, &destination, &cancel, &error);
        if (hr != S_OK) break;
        outputs.push_back(destination.szFullpath);
    }
    site->Release();
    bool complete = HRESULT_CODE(hr) == ERROR_NO_MORE_ITEMS ||
                    (hr == E_FAIL && error == static_cast<PF_ERROR>(ERROR_NO_MORE_ITEMS));
    if (!complete) ST_LOG("Filter failed with 0x%08X (error %d)", static_cast<unsigned>(hr), error);
    return complete;
}

// The conversion by a filter class; false when the file is to go unconverted instead.
bool ConvertWith(const std::string& classText, IReplNotify* notify, const std::string& path,
                 ConversionDirection direction, const FileFacts& file,
                 std::vector<std::string>& outputs) {
    PathParts parts = SplitPath(path);
    std::string temp = DesktopTempFolder();
    std::string extension = NewExtensionOf(classText);
    if (extension.empty() && !parts.extension.empty()) extension = parts.extension.substr(1);
    std::string target = temp + "\\" + parts.name + "." + extension;
    // A file lying where its converted form would go is converted into a folder of its own, so
    // that it is not destroyed before it is read and the converted file keeps its name.
    if (!temp.empty() && !lstrcmpiA(target.c_str(), path.c_str())) {
        temp = MakeConversionFolder(temp);
        target = temp + "\\" + parts.name + "." + extension;
    }

    CFF_SOURCEFILE source = {};
    CFF_DESTINATIONFILE destination = {};
    if (temp.empty() || !Fill(source.szFullpath, path) || !Fill(source.szPath, parts.folder) ||
        !Fill(source.szFilename, parts.name) || !Fill(source.szExtension, parts.extension) ||
        !Fill(destination.szFullpath, target) || !Fill(destination.szPath, temp) ||
        !Fill(destination.szFilename, parts.name) || !Fill(destination.szExtension, extension)) {
        RemoveConversionFolder(temp);
        return false;
    }
    source.cbSize = file.size;
    source.ftCreated = file.created;
    source.ftModified = file.modified;

    ICeFileFilter* filter = CreateFilter(classText);
    bool converted = false;
    if (filter) {
        converted = RunFilter(filter, notify, direction, source, destination, outputs);
        filter->Release();
    } else {
        ST_LOG("No filter %s", classText.c_str());
    }
    if (!converted) {
        // Outputs of a failed conversion are nobody's: the caller gets the source instead.
        DeleteOutputs(outputs);
        outputs.clear();
        RemoveConversionFolder(temp);
    }
    return converted;
}

// Copies the desktop file `path` to the device file `devicePath` piece by piece: its size when
// at least one piece was read and every piece written, else 0 (an empty file always fails).
DWORD CopyToDevice(const std::string& path, LPCWSTR devicePath) {
    HANDLE source = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (source == INVALID_HANDLE_VALUE) return 0;
    HANDLE target = CeCreateFile(devicePath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD total = 0;
    bool ok = target != INVALID_HANDLE_VALUE;
    if (ok) {
        std::vector<BYTE> buffer(DEVICE_WRITE_PIECE);
        for (DWORD got = 0;; total += got) {
            if (!ReadFile(source, buffer.data(), DEVICE_WRITE_PIECE, &got, nullptr) ||
                (got && !WriteDevicePieces(target, buffer.data(), got))) {
                ok = false;
                break;
            }
            if (!got) break;
        }
        CeCloseHandle(target);
        // Nobody would load or remove an incomplete device file.
        if (!ok || !total) CeDeleteFile(devicePath);
    }
    CloseHandle(source);
    return ok ? total : 0;
}

bool TakenName(const std::u16string& name, const std::vector<std::u16string>* taken) {
    if (!taken) return false;
    for (const std::u16string& other : *taken)
        if (!lstrcmpiW(other.c_str(), name.c_str())) return true;
    return false;
}

// The name `name` takes in the device's temporary directory: itself, or with "(2)", "(3)", …
// before its extension when a file of the same message took it already (names compare without
// case); its stem cut so that the whole path fits MAX_PATH. "" when no name fits.
std::u16string DeviceNameFor(const std::u16string& name,
                             const std::vector<std::u16string>* taken) {
    WCHAR folder[MAX_PATH] = {};
    DWORD length = CeGetTempPath(MAX_PATH, folder);
    if (!length || length >= MAX_PATH) return {};
    // Room for the name, a separator and the terminator.
    const size_t room = MAX_PATH - 2 - length;
    size_t dot = name.rfind(u'.');
    std::u16string stem = dot == std::u16string::npos ? name : name.substr(0, dot);
    std::u16string extension = dot == std::u16string::npos ? u"" : name.substr(dot);
    for (int n = 1; n < 1000; ++n) {
        std::u16string suffix;
        if (n > 1)
            for (char c : "(" + std::to_string(n) + ")") suffix += static_cast<char16_t>(c);
        if (extension.size() + suffix.size() >= room) return {};
        size_t keep = std::min(stem.size(), room - extension.size() - suffix.size());
        // Never half a surrogate pair at the cut.
        if (keep && keep < stem.size() && stem[keep - 1] >= 0xD800 && stem[keep - 1] <= 0xDBFF)
            --keep;
        std::u16string candidate = stem.substr(0, keep) + suffix + extension;
        if (!candidate.empty() && !TakenName(candidate, taken)) return candidate;
    }
    return {};
}

}  // namespace

UINT Convert(IReplNotify* notify, LPCSTR path, ConversionDirection direction,
             std::vector<std::string>& outputs) {
    CSTLogScope scope("Convert");
    outputs.clear();
    if (!notify || !path) return 0;
    HKEY partnership = nullptr;
    if (FAILED(notify->QueryDevice(QDC_CON_DEVICE_KEY, reinterpret_cast<LPVOID*>(&partnership))) ||
        !partnership) {
        ST_LOG("No partnership key");
        return 0;
    }
    UINT count = 0;
    if (ConversionDisabled(partnership)) {
        outputs.push_back(path);
        count = 1;
    } else {
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        FileFacts facts;
        if (file != INVALID_HANDLE_VALUE) {
            // Only the size and times are needed: the file is closed before a filter opens it.
            bool known = GetFileTime(file, &facts.created, nullptr, &facts.modified);
            facts.size = GetFileSize(file, nullptr);
            CloseHandle(file);
            std::string classText = FilterOf(partnership, SplitPath(path).extension, direction);
            if (known && !classText.empty() &&
                ConvertWith(classText, notify, path, direction, facts, outputs)) {
                count = static_cast<UINT>(outputs.size());
            } else {
                // No conversion applies, or the filter failed: the file goes as it is.
                outputs.assign(1, path);
                count = 1;
            }
        } else {
            ST_LOG("Cannot open %s", path);
        }
    }
    RegCloseKey(partnership);
    return count;
}

void DeleteOutputs(const std::vector<std::string>& outputs) {
    for (const std::string& output : outputs) {
        DeleteFileA(output.c_str());
        size_t slash = output.find_last_of("\\/");
        if (slash != std::string::npos) RemoveConversionFolder(output.substr(0, slash));
    }
}

DWORD ConvertToDevice(IReplNotify* notify, LPCSTR desktopPath, LPWSTR devicePath,
                      LPWSTR recordName, std::vector<std::u16string>* taken) {
    CSTLogScope scope("ConvertToDevice");
    std::vector<std::string> outputs;
    if (!Convert(notify, desktopPath, CONVERT_IMPORT, outputs) || outputs.empty()) return 0;

    const std::string& first = outputs.front();
    size_t slash = first.find_last_of("\\/");
    std::string name = slash == std::string::npos ? first : first.substr(slash + 1);
    recordName[0] = 0;
    MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, recordName, MAX_PATH);
    recordName[MAX_PATH - 1] = 0;

    std::u16string deviceName = DeviceNameFor(recordName, taken);
    DWORD delivered = 0;
    if (!deviceName.empty() && DeviceTempFilePath(deviceName.c_str(), devicePath)) {
        // The record names the file as it was delivered.
        lstrcpynW(recordName, deviceName.c_str(), MAX_PATH);
        if (taken) taken->push_back(deviceName);
        delivered = CopyToDevice(first, devicePath);
    }
    if (!delivered) ST_LOG("Could not deliver %s", first.c_str());
    DeleteOutputs(outputs);
    return delivered;
}

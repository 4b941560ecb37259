#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "file_system.h"
#include "host_file.h"
#include "pal/files.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/paths.h"
#include "pal/runtime/process.h"
#include "wildcard.h"

namespace pal::files {

namespace {

struct FoundEntry {
    std::u16string name;
    FileInfo info;
};

// The matches of one FindFirstFile call, listed when it was made.
class FindObject : public KernelObject {
public:
    explicit FindObject(std::vector<FoundEntry> entries) : m_entries(std::move(entries)) {}
    const FoundEntry* Next() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_next < m_entries.size() ? &m_entries[m_next++] : nullptr;
    }

private:
    std::mutex m_lock;
    std::vector<FoundEntry> m_entries;
    size_t m_next = 0;
};

bool IsInvalidPatternUnit(char16_t unit) {
    return unit < 0x20 || unit == u'<' || unit == u'>' || unit == u':' || unit == u'"' ||
           unit == u'|';
}

// Splits a search path into its folder and its last component; a last component without
// wildcards is taken from the canonical form of the whole path ("." and ".." folded).
bool SplitSearch(Machine& machine, std::u16string path, std::u16string& folder,
                 std::u16string& pattern, DWORD& error) {
    std::replace(path.begin(), path.end(), u'/', u'\\');
    size_t slash = path.rfind(u'\\');
    size_t start = slash != std::u16string::npos         ? slash + 1
                   : path.size() >= 2 && path[1] == u':' ? 2
                                                         : 0;
    folder = path.substr(0, start);
    pattern = path.substr(start);
    if (pattern.empty()) {
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    if (Wildcard::HasWildcards(pattern)) {
        if (std::any_of(pattern.begin(), pattern.end(), IsInvalidPatternUnit)) {
            error = ERROR_INVALID_NAME;
            return false;
        }
        return true;
    }
    auto canonical = CanonicalWindowsPath(machine, path, error);
    if (!canonical) return false;
    size_t last = canonical->rfind(u'\\');
    if (last + 1 == canonical->size()) {  // the root itself is no entry of a folder
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    folder = canonical->substr(0, last + 1);
    pattern = canonical->substr(last + 1);
    return true;
}

bool ListMatches(std::u16string_view path, std::vector<FoundEntry>& found, DWORD& error) {
    Machine& machine = CurrentMachine();
    FileSystem& fileSystem = CurrentFileSystem();
    std::u16string folderPath, pattern;
    if (!SplitSearch(machine, std::u16string(path), folderPath, pattern, error)) return false;
    // An empty folder part means the current directory.
    std::u16string_view folderView = folderPath;
    auto folder = Resolve(machine, folderView.empty() ? u"." : folderView, error);
    if (!folder) return false;
    if (!folder->IsDirectory()) {
        error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    Wildcard wildcard(pattern);
    // Desktop folders below the root list themselves and their parent first.
    if (machine.IsDesktop() && !folder->IsRoot()) {
        struct stat parent = {};
        ::stat(folder->host.parent_path().c_str(), &parent);
        if (wildcard.Matches(u"."))
            found.push_back({u".", fileSystem.Describe(folder->host, folder->status)});
        if (wildcard.Matches(u".."))
            found.push_back({u"..", fileSystem.Describe(folder->host.parent_path(), parent)});
    }
    size_t dots = found.size();
    std::error_code ec;
    for (auto& entry : std::filesystem::directory_iterator(folder->host, ec)) {
        std::u16string name = Utf8ToUtf16(entry.path().filename().string());
        struct stat status = {};
        if (!wildcard.Matches(name) || ::stat(entry.path().c_str(), &status) != 0) continue;
        found.push_back({std::move(name), fileSystem.Describe(entry.path(), status)});
    }
    std::sort(found.begin() + static_cast<std::ptrdiff_t>(dots), found.end(),
              [](const FoundEntry& a, const FoundEntry& b) {
                  int order = CompareNoCase(a.name, b.name);
                  return order != 0 ? order < 0 : a.name < b.name;
              });
    if (found.empty()) {
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    return true;
}

template <class Data>
void FillCommon(const FoundEntry& entry, Data& data) {
    std::memset(&data, 0, sizeof(data));
    data.dwFileAttributes = entry.info.attributes;
    data.ftCreationTime = ToFileTime(entry.info.creation);
    data.ftLastAccessTime = ToFileTime(entry.info.lastAccess);
    data.ftLastWriteTime = ToFileTime(entry.info.lastWrite);
    data.nFileSizeHigh = static_cast<DWORD>(entry.info.size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(entry.info.size & 0xFFFFFFFF);
}

void Fill(const FoundEntry& entry, WIN32_FIND_DATAW& data) {
    FillCommon(entry, data);
    size_t length = std::min<size_t>(entry.name.size(), MAX_PATH - 1);
    std::copy_n(entry.name.begin(), length, data.cFileName);
}

void Fill(const FoundEntry& entry, WIN32_FIND_DATAA& data) {
    FillCommon(entry, data);
    std::string name = Utf16ToCp1252(entry.name);
    std::copy_n(name.begin(), std::min<size_t>(name.size(), MAX_PATH - 1), data.cFileName);
}

template <class Data>
HANDLE FindFirst(LPCWSTR path, Data* data) {
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<FoundEntry> found;
    DWORD error = ERROR_PATH_NOT_FOUND;
    if (!path || !ListMatches(path, found, error)) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    auto search = std::make_shared<FindObject>(std::move(found));
    Fill(*search->Next(), *data);
    SetLastError(NO_ERROR);
    return CurrentProcess().Handles().Add(std::move(search));
}

template <class Data>
BOOL FindNext(HANDLE handle, Data* data) {
    auto search = CurrentProcess().Handles().GetAs<FindObject>(handle);
    if (!search) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const FoundEntry* entry = search->Next();
    if (!entry) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    Fill(*entry, *data);
    return TRUE;
}

}  // namespace

}  // namespace pal::files

HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    if (!lpFileName) return pal::files::FindFirst(nullptr, lpFindFileData);
    DWORD error = 0;
    auto path = pal::files::AnsiPath(lpFileName, error);
    if (!path) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    return pal::files::FindFirst(path->c_str(), lpFindFileData);
}

HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
    return pal::files::FindFirst(lpFileName, lpFindFileData);
}

BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    return pal::files::FindNext(hFindFile, lpFindFileData);
}

BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
    return pal::files::FindNext(hFindFile, lpFindFileData);
}

BOOL FindClose(HANDLE hFindFile) {
    auto& handles = pal::CurrentProcess().Handles();
    if (!handles.GetAs<pal::files::FindObject>(hFindFile)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    handles.Remove(hFindFile);
    return TRUE;
}

#include "mail_files.h"

#include "attachment_record.h"

namespace {

bool IsBareName(LPCWSTR name) {
    if (!name || !*name) return false;
    size_t length = 0;
    for (; name[length]; ++length) {
        if (length >= kAttachmentNameChars - 1) return false;
        WCHAR c = name[length];
        if (c == u'\\' || c == u'/' || c == u':') return false;
    }
    std::u16string_view text(name, length);
    return text != u"." && text != u"..";
}

HRESULT LastError() {
    DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace

bool TempFilePath(LPCWSTR name, std::u16string& path) {
    if (!IsBareName(name)) return false;
    WCHAR directory[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, directory);
    if (length == 0 || length > MAX_PATH) return false;
    path.assign(directory, length);
    if (path.back() != u'\\') path += u'\\';
    path += name;
    return path.size() < MAX_PATH;
}

HRESULT LoadTempFile(LPCWSTR name, IStream* stream) {
    std::u16string path;
    if (!stream || !TempFilePath(name, path)) return E_FAIL;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return E_FAIL;
    HRESULT result = S_OK;
    DWORD size = GetFileSize(file, nullptr);
    // An empty file has nothing to map: the stream stays empty and the file still goes.
    if (size == INVALID_FILE_SIZE) {
        result = LastError();
    } else if (size > 0) {
        HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        LPVOID view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
        if (!view) {
            result = LastError();
        } else {
            ULONG written = 0;
            result = stream->Write(view, size, &written);
            if (SUCCEEDED(result) && written != size) result = E_FAIL;
            UnmapViewOfFile(view);
        }
        if (mapping) CloseHandle(mapping);
    }
    CloseHandle(file);
    DeleteFileW(path.c_str());
    return result;
}

HRESULT ExportToTempFile(IStream* stream, LPCWSTR name, std::u16string& path) {
    if (!stream || !TempFilePath(name, path) || path.size() >= kAttachmentNameChars) return E_FAIL;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastError();
    HRESULT result = S_OK;
    BYTE piece[1024];
    for (;;) {
        ULONG read = 0;
        result = stream->Read(piece, sizeof(piece), &read);
        if (FAILED(result)) break;
        DWORD written = 0;
        if (read > 0 && (!WriteFile(file, piece, read, &written, nullptr) || written != read)) {
            result = LastError();
            break;
        }
        if (read < sizeof(piece)) break;
    }
    if (SUCCEEDED(result)) result = S_OK;
    CloseHandle(file);
    // A partial file would pass for the attachment on the desktop.
    if (FAILED(result)) DeleteFileW(path.c_str());
    return result;
}

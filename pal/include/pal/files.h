// Files: the current machine's file system through Windows paths. Share modes are enforced
// machine-wide across processes and handles; file times come from the machine clock.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"

#define ERROR_FILE_INVALID 1006L
#define ERROR_MAPPED_ALIGNMENT 1132L
#define ERROR_USER_MAPPED_FILE 1224L

#define GENERIC_READ (0x80000000L)
#define GENERIC_WRITE (0x40000000L)

#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080

#define INVALID_FILE_ATTRIBUTES (static_cast<DWORD>(-1))
#define INVALID_FILE_SIZE (static_cast<DWORD>(0xFFFFFFFF))
#define INVALID_SET_FILE_POINTER (static_cast<DWORD>(-1))

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

#define PAGE_READONLY 0x02
#define FILE_MAP_WRITE 0x0002
#define FILE_MAP_READ 0x0004

struct OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
using PWIN32_FIND_DATAA = WIN32_FIND_DATAA*;
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};
using PWIN32_FIND_DATAW = WIN32_FIND_DATAW*;
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

// Opens or creates a file with the given access (GENERIC_READ / GENERIC_WRITE), sharing and
// creation disposition; INVALID_HANDLE_VALUE and the Windows error on failure
// (ERROR_SHARING_VIOLATION, ERROR_FILE_EXISTS, ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
// ERROR_ACCESS_DENIED for directories and read-only files). CREATE_ALWAYS and OPEN_ALWAYS
// succeed with ERROR_ALREADY_EXISTS when the file existed, otherwise the last error is 0.
// Synchronous handles only: the FILE_FLAG_* bits and the template are ignored.
HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
// Windows CE: opens a file to be mapped; the result is a file handle as from CreateFileW.
HANDLE CreateFileForMappingW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                             LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                             DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                             HANDLE hTemplateFile);

// Reads at the file pointer and advances it; at or past the end: TRUE with 0 bytes read.
// lpOverlapped must be null (synchronous handles only).
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
// Writes at the file pointer (extending the file with zeros past its end), advances it and
// sets the last write time from the machine clock. lpOverlapped must be null.
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
// Moves the file pointer (shared by every handle to the same open file). Returns the low part
// of the new position and stores the high part; INVALID_SET_FILE_POINTER on failure with
// ERROR_NEGATIVE_SEEK, or ERROR_INVALID_PARAMETER when no high part is given and the result
// needs more than 32 bits. The last error is NO_ERROR on success.
DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                     DWORD dwMoveMethod);
// Cuts or extends the file at the file pointer; ERROR_USER_MAPPED_FILE while it is mapped.
BOOL SetEndOfFile(HANDLE hFile);
// The file's size: the low part returned, the high part stored when asked for;
// INVALID_FILE_SIZE on failure (and with NO_ERROR when that is the true low part).
DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh);
// Creation, last access and last write times (UTC) of an open file; any pointer may be null.
BOOL GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                 LPFILETIME lpLastWriteTime);
// Writes the file's data through to the host disk; needs write access.
BOOL FlushFileBuffers(HANDLE hFile);

// Deletes a file. ERROR_SHARING_VIOLATION while it is open without FILE_SHARE_DELETE,
// ERROR_ACCESS_DENIED for read-only files and directories.
BOOL DeleteFileA(LPCSTR lpFileName);
BOOL DeleteFileW(LPCWSTR lpFileName);
// Copies a file's contents, attributes and last write time; the copy's creation time is now
// (an overwritten file keeps its own). bFailIfExists: ERROR_FILE_EXISTS when the target exists.
BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists);
BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists);
// The attributes of a file or folder, INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND when it does not exist.
DWORD GetFileAttributesA(LPCSTR lpFileName);
DWORD GetFileAttributesW(LPCWSTR lpFileName);
// Sets READONLY, HIDDEN, SYSTEM and ARCHIVE (FILE_ATTRIBUTE_NORMAL clears them all).
BOOL SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes);
BOOL SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes);
// Creates one folder: ERROR_ALREADY_EXISTS when the name is taken, ERROR_PATH_NOT_FOUND when
// its parent is missing.
BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
// Removes one empty folder: ERROR_DIR_NOT_EMPTY when it holds anything, ERROR_DIRECTORY when
// the name is a file, ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when it does not exist.
BOOL RemoveDirectoryA(LPCSTR lpPathName);
BOOL RemoveDirectoryW(LPCWSTR lpPathName);

// Lists the entries of one folder whose names match the last path component ('*' and '?' with
// Windows semantics, without regard to case), in case-insensitive name order; desktop
// folders other than the root also list "." and "..". ERROR_FILE_NOT_FOUND when nothing
// matches, ERROR_PATH_NOT_FOUND when the folder does not exist.
HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData);
HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData);
// The next match; FALSE with ERROR_NO_MORE_FILES after the last.
BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData);
BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData);
// Closes a handle from FindFirstFile.
BOOL FindClose(HANDLE hFindFile);

// The machine's folder for temporary files, with a trailing "\": on the desktop the first of
// the TMP, TEMP and USERPROFILE environment values, else C:\Windows; on the device \Temp\.
// Returns the length copied (without the terminator), or the size needed including it when
// the buffer is too small.
DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer);
DWORD GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer);

// A read-only, unnamed mapping of an open file (PAGE_READONLY; the handle needs read access).
// Size 0 maps the whole file: ERROR_FILE_INVALID for an empty file; a size past the end gives
// ERROR_NOT_ENOUGH_MEMORY. Other protections and named mappings are not supported
// (ERROR_INVALID_PARAMETER, ERROR_NOT_SUPPORTED).
HANDLE CreateFileMappingA(HANDLE hFile, LPSECURITY_ATTRIBUTES lpFileMappingAttributes,
                          DWORD flProtect, DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow,
                          LPCSTR lpName);
HANDLE CreateFileMappingW(HANDLE hFile, LPSECURITY_ATTRIBUTES lpFileMappingAttributes,
                          DWORD flProtect, DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow,
                          LPCWSTR lpName);
// Maps a view for reading (FILE_MAP_READ) at a 64 KB-aligned offset; 0 bytes maps to the end
// of the mapping. The view outlives the mapping handle until UnmapViewOfFile.
LPVOID MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh,
                     DWORD dwFileOffsetLow, SIZE_T dwNumberOfBytesToMap);
// Unmaps a view by its base address; ERROR_INVALID_ADDRESS for anything else.
BOOL UnmapViewOfFile(LPCVOID lpBaseAddress);

#define CreateFileForMapping CreateFileForMappingW
#ifdef UNICODE
#define CreateFile CreateFileW
#define DeleteFile DeleteFileW
#define CopyFile CopyFileW
#define GetFileAttributes GetFileAttributesW
#define SetFileAttributes SetFileAttributesW
#define CreateDirectory CreateDirectoryW
#define FindFirstFile FindFirstFileW
#define FindNextFile FindNextFileW
#define GetTempPath GetTempPathW
#define CreateFileMapping CreateFileMappingW
using WIN32_FIND_DATA = WIN32_FIND_DATAW;
using PWIN32_FIND_DATA = PWIN32_FIND_DATAW;
using LPWIN32_FIND_DATA = LPWIN32_FIND_DATAW;
#else
#define CreateFile CreateFileA
#define DeleteFile DeleteFileA
#define CopyFile CopyFileA
#define GetFileAttributes GetFileAttributesA
#define SetFileAttributes SetFileAttributesA
#define CreateDirectory CreateDirectoryA
#define RemoveDirectory RemoveDirectoryA
#define FindFirstFile FindFirstFileA
#define FindNextFile FindNextFileA
#define GetTempPath GetTempPathA
#define CreateFileMapping CreateFileMappingA
using WIN32_FIND_DATA = WIN32_FIND_DATAA;
using PWIN32_FIND_DATA = PWIN32_FIND_DATAA;
using LPWIN32_FIND_DATA = LPWIN32_FIND_DATAA;
#endif

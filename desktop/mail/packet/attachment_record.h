// AttachmentRecord: the 532-byte description of one attachment; an array of them is the value of
// PR_ATTACH_DATA_BIN.
#pragma once

#include <windows.h>

// Wire size of one record; the array's byte count is always a multiple of it.
constexpr DWORD kAttachmentRecordSize = 532;
// File-name characters a record holds, the terminator included.
constexpr DWORD kAttachmentNameChars = 260;

// state: the content is present on the device or requested by its user ('R').
constexpr DWORD kAttachmentPresent = 82;
// state: the attachment is known by name only (' ').
constexpr DWORD kAttachmentNameOnly = 32;

struct AttachmentRecord {
    DWORD state = 0;
    // Size in bytes: of the delivered file, of the attachment's own file, or the device's size.
    DWORD size = 0;
    // Attachment number within its message as the device numbers it; 0 for outgoing mail.
    DWORD number = 0;
    // File name with extension, always zero-terminated.
    WCHAR fileName[kAttachmentNameChars] = {};

    // Copies `name` (null: the empty name), keeping at most 259 characters.
    void SetFileName(LPCWSTR name);

    // Writes the record's 532 wire bytes at `out`: the three numbers little-endian, then the
    // name's characters and zeros up to the end of the field.
    void Store(LPBYTE out) const;
    // Reads a record from 532 wire bytes; a name that fills its field without a terminator is cut
    // to 259 characters.
    static AttachmentRecord Load(LPCBYTE in);
};

// FolderCode: the 8-byte value of PR_HEADER_FOLDER_ENTRYID, naming the folder a message lies in by
// the tag of the store's folder entry-ID property (PR_CE_IPM_INBOX_ENTRYID and the like).
constexpr DWORD kFolderCodeSize = 8;

struct FolderCode {
    DWORD reserved = 0;
    DWORD folder = 0;

    void Store(LPBYTE out) const;
    static FolderCode Load(LPCBYTE in);
};

#include "attachment_record.h"

#include "packet_bytes.h"

void AttachmentRecord::SetFileName(LPCWSTR name) {
    DWORD length = 0;
    if (name)
        while (length < kAttachmentNameChars - 1 && name[length]) {
            fileName[length] = name[length];
            ++length;
        }
    for (DWORD i = length; i < kAttachmentNameChars; ++i) fileName[i] = 0;
}

void AttachmentRecord::Store(LPBYTE out) const {
    StoreLe32(out, state);
    StoreLe32(out + 4, size);
    StoreLe32(out + 8, number);
    // Characters up to the terminator; whatever follows it in memory is not sent.
    bool ended = false;
    for (DWORD i = 0; i < kAttachmentNameChars; ++i) {
        ended = ended || fileName[i] == 0 || i == kAttachmentNameChars - 1;
        StoreLe16(out + 12 + 2 * i, ended ? 0 : fileName[i]);
    }
}

AttachmentRecord AttachmentRecord::Load(LPCBYTE in) {
    AttachmentRecord record;
    record.state = LoadLe32(in);
    record.size = LoadLe32(in + 4);
    record.number = LoadLe32(in + 8);
    for (DWORD i = 0; i < kAttachmentNameChars - 1; ++i)
        record.fileName[i] = LoadLe16(in + 12 + 2 * i);
    record.fileName[kAttachmentNameChars - 1] = 0;
    return record;
}

void FolderCode::Store(LPBYTE out) const {
    StoreLe32(out, reserved);
    StoreLe32(out + 4, folder);
}

FolderCode FolderCode::Load(LPCBYTE in) { return FolderCode{LoadLe32(in), LoadLe32(in + 4)}; }

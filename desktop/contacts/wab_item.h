// An address-book entry as ActiveSync holds it: the entry identifier and the entry's last
// modification time (its change stamp).
#pragma once

#include "repl_object.h"

class CWABItem : public CItem {
public:
    CWABItem() : m_entryId(nullptr), m_modified{} {}
    ~CWABItem() override;
    CWABItem(const CWABItem&) = delete;
    CWABItem& operator=(const CWABItem&) = delete;
    ObjectKind GetKind() override { return OBJECT_KIND_CONTACT; }
    void Free() override;
    // Header, then the counted entry identifier, then the time: 18 + c bytes.
    UINT ToBytes(LPBYTE buffer) override;
    // Version 2 and above: counted identifier, then time. Versions 0 and 1: a 4-byte
    // identifier, then time.
    BOOL FromBytes(const BYTE* payload, UINT size) override;
    // Copies the identifier into a block of its own, and the time; the version stays.
    BOOL CopyFrom(CReplObject* source) override;
    // The shorter identifier first; equal lengths byte by byte, unsigned.
    int Compare(CItem* other) override;

    // Replaces the identifier with a copy of `count` bytes (none: no identifier).
    void SetEntryId(const BYTE* bytes, DWORD count);
    DWORD EntryIdSize() const;
    const BYTE* EntryIdBytes() const;

    // A heap block of a 32-bit byte count and that many bytes, owned by the item; null when empty.
    BYTE* m_entryId;
    FILETIME m_modified;
};

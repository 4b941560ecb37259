// PacketWriter: builds one property packet at a time in a buffer it owns.
#pragma once

#include <windows.h>

#include <cstddef>

// The descriptor handed to Add for a binary value (PT_BINARY, CEVT_BLOB): a byte count and the
// bytes. It has the layout of the message store's and the device database's own descriptors, so
// either of those may be passed to Add as well.
struct PacketBinary {
    ULONG cb;
    LPBYTE lpb;
};

// Where a writer's buffer comes from. The default draws on the C heap; a writer can be given
// another one (tests use one that refuses to grow).
class PacketAllocator {
public:
    virtual ~PacketAllocator() = default;
    // Resizes `block` (null: a new block) to `bytes`, keeping its content up to the smaller size.
    // Returns null when it cannot, and `block` is then untouched and still owned by the caller.
    virtual void* Reallocate(void* block, size_t bytes);
    virtual void Free(void* block);
    // The shared heap allocator every writer uses unless it is given another.
    static PacketAllocator& Heap();
};

class PacketWriter {
public:
    explicit PacketWriter(PacketAllocator& allocator = PacketAllocator::Heap());
    ~PacketWriter();
    PacketWriter(const PacketWriter&) = delete;
    PacketWriter& operator=(const PacketWriter&) = delete;

    // Frees the packet held so far and starts a new one of max(recommendedSize, 4) zeroed bytes,
    // count 0, returning its start. Begin(0) only frees and returns null; so does a failed
    // allocation.
    LPBYTE Begin(ULONG recommendedSize);

    // Appends one entry. `value` points to the value itself for fixed-size types and strings
    // (a null string is written as the empty string) and to a PacketBinary for binary types (a
    // null descriptor is written with count 0); other types are written as the bare tag and
    // `value` is ignored.
    // S_OK; E_FAIL without a packet (no Begin, or Begin(0)); E_POINTER when the entry would take
    // the packet past 260,000 bytes; E_OUTOFMEMORY when the buffer cannot grow; E_INVALIDARG for
    // a null fixed-size value or a descriptor with bytes counted but no pointer. On any failure
    // the packet is unchanged.
    HRESULT Add(ULONG tag, LPCVOID value);

    // The packet: its start (null when there is none) and its length in bytes.
    LPBYTE Data() const { return m_start; }
    ULONG Length() const { return m_length; }
    // Bytes allocated for the packet; it grows to an exact fit plus 1,024 bytes when too small.
    ULONG Capacity() const { return m_capacity; }

private:
    void Release();

    PacketAllocator& m_allocator;
    LPBYTE m_start = nullptr;
    ULONG m_length = 0;
    ULONG m_capacity = 0;
};

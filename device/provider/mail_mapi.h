// Small helpers over the message store calls the mail handler makes: interface and buffer
// ownership, property reads and opening entries by identifier.
#pragma once

#include <cemapi.h>
#include <windows.h>

#include <initializer_list>
#include <vector>

// Holds one reference to a message store interface and releases it.
template <class T>
class MapiPtr {
public:
    MapiPtr() = default;
    ~MapiPtr() { Reset(); }
    MapiPtr(const MapiPtr&) = delete;
    MapiPtr& operator=(const MapiPtr&) = delete;

    T* Get() const { return m_object; }
    T* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    // The slot an out parameter fills; releases what was held.
    T** Out() {
        Reset();
        return &m_object;
    }
    LPUNKNOWN* OutUnknown() { return reinterpret_cast<LPUNKNOWN*>(Out()); }
    void Reset() {
        if (m_object) m_object->Release();
        m_object = nullptr;
    }
    T* Detach() {
        T* object = m_object;
        m_object = nullptr;
        return object;
    }

private:
    T* m_object = nullptr;
};

// The values GetProps returned, freed with MAPIFreeBuffer.
class PropValues {
public:
    PropValues() = default;
    ~PropValues() { MAPIFreeBuffer(m_values); }
    PropValues(const PropValues&) = delete;
    PropValues& operator=(const PropValues&) = delete;

    // GetProps of `tags` in one call. S_OK or MAPI_W_ERRORS_RETURNED count as read (missing
    // properties are then absent); any failure is returned as it is.
    HRESULT Read(IMAPIProp* object, std::initializer_list<ULONG> tags);
    // The value of a tag of the read list, or null when it is absent.
    const SPropValue* Find(ULONG tag) const;

private:
    ULONG m_count = 0;
    LPSPropValue m_values = nullptr;
};

// The bytes of a binary property of `object`; MAPI_E_NOT_FOUND when it lacks the property.
HRESULT ReadBinaryProp(IMAPIProp* object, ULONG tag, std::vector<BYTE>& bytes);

// Opens the object an entry identifier names through the store.
HRESULT OpenByEntryId(IMsgStore* store, const std::vector<BYTE>& entryId, ULONG flags,
                      LPUNKNOWN* object);

// Opens the folder whose entry identifier is the store property `tag` (an Inbox, Outbox, …).
HRESULT OpenStoreFolder(IMsgStore* store, ULONG tag, ULONG flags, MapiPtr<IMAPIFolder>& folder);

// A stream over a property of `object` (flags: MAPI_MODIFY, MAPI_CREATE).
HRESULT OpenPropertyStream(IMAPIProp* object, ULONG tag, ULONG flags, MapiPtr<IStream>& stream);

// Whether two entry identifiers name the same object, through the session's comparison.
bool SameEntry(IMAPISession* session, const std::vector<BYTE>& first,
               const std::vector<BYTE>& second);

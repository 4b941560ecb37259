#include "contacts_handler.h"

#include <deque>
#include <string>
#include <vector>

#include "contacts_journal.h"
#include "contacts_properties.h"
#include "contacts_store.h"
#include "journal.h"
#include "property_packet.h"

namespace {

// SetPacket's result when the journal or the record cannot be read.
constexpr HRESULT kJournalUnreadable = static_cast<HRESULT>(0x80140100L);

std::u16string LoadText(LPCBYTE at) {
    std::u16string text;
    for (; LoadLe16(at) != 0; at += 2) text += static_cast<char16_t>(LoadLe16(at));
    return text;
}

// The extended values of one packet: one per tag, a later value replacing an earlier one, so the
// list never outgrows the extended property set. Texts are copied and stay put.
class ExtendedValues {
public:
    void Put(CEPROPVAL value) {
        for (auto& held : m_values) {
            if (held.propid == value.propid) {
                held = value;
                return;
            }
        }
        m_values.push_back(value);
    }
    LPWSTR Keep(std::u16string text) {
        m_texts.push_back(std::move(text));
        return m_texts.back().data();
    }
    bool Empty() const { return m_values.empty(); }
    CEPROPVAL* Data() { return m_values.data(); }
    WORD Count() const { return static_cast<WORD>(m_values.size()); }

private:
    std::vector<CEPROPVAL> m_values;
    std::deque<std::u16string> m_texts;
};

// Puts one packet entry on the contact, or collects it as an extended value.
void ApplyEntry(IContact* contact, ULONG tag, LPCBYTE value, ExtendedValues& extended) {
    bool clear = (tag & kClearMarkerType) != 0;
    if (clear) tag -= kClearMarkerType;
    ContactProperty row = FindContactProperty(tag);
    if (row.text) {
        BSTR text = nullptr;
        if (!clear) {
            std::u16string loaded = LoadText(value);
            text = SysAllocStringLen(loaded.data(), static_cast<UINT>(loaded.size()));
        }
        (contact->*row.text->put)(text);
        SysFreeString(text);
    } else if (row.date) {
        DATE date = POOM_NO_DATE;
        if (!clear) {
            FILETIME time{LoadLe32(value), LoadLe32(value + 4)};
            if (!FiletimeToDate(time, &date)) return;
        }
        (contact->*row.date->put)(date);
    } else if (IsExtendedContactProperty(tag) && tag != kContactPictureTag) {
        CEPROPVAL property{};
        property.propid = tag;
        if (clear) {
            property.wFlags = CEDB_PROPDELETE;
        } else if (PROP_TYPE(tag) == CEVT_LPWSTR) {
            property.val.lpwstr = extended.Keep(LoadText(value));
        } else {
            property.val.ulVal = LoadLe32(value);
        }
        extended.Put(property);
    }
}

}  // namespace

HRESULT CContactsHandler::FindContact(CEOID record, CEOID* contactOid, IContact** contact) {
    *contact = nullptr;
    WORD state = 0;
    if (ReadContactRecord(m_store.Volume(), record, contactOid, &state) != ContactRecordRead::Found)
        return E_FAIL;
    IPOutlookApp* application = m_store.Application();
    if (!application) return E_FAIL;
    IUnknown* item = nullptr;
    HRESULT result = application->GetItemFromOid(static_cast<long>(*contactOid), &item);
    if (FAILED(result)) return result;
    result = item->QueryInterface(IID_IContact, reinterpret_cast<void**>(contact));
    item->Release();
    return result;
}

STDMETHODIMP CContactsHandler::GetPacket(LPBYTE* data, DWORD* size, DWORD recommended) {
    if (!data || !size) return E_POINTER;
    *data = nullptr;
    *size = 0;
    CEOID contactOid = 0;
    IContact* contact = nullptr;
    if (!m_readSetup || FAILED(FindContact(m_readSetup->oid, &contactOid, &contact))) return E_FAIL;
    if (!m_writer.Begin(recommended)) {
        contact->Release();
        return E_FAIL;
    }
    HRESULT added = S_OK;
    for (const auto& row : ContactPropertyOrder()) {
        if (row.date) {
            DATE date = POOM_NO_DATE;
            FILETIME time{};
            if (SUCCEEDED((contact->*row.date->get)(&date)) && DateToFiletime(date, &time))
                added = m_writer.Add(row.date->tag, &time);
        } else {
            BSTR text = nullptr;
            if (SUCCEEDED((contact->*row.text->get)(&text)) && text && text[0])
                added = m_writer.Add(row.text->tag, text);
            SysFreeString(text);
        }
        // A property that does not fit would be lost silently: the packet fails instead.
        if (FAILED(added)) break;
    }
    contact->Release();
    if (FAILED(added)) return E_FAIL;
    if (m_store.PlatformVersion() >= 5) AddExtendedProperties(contactOid);
    *data = m_writer.Data();
    *size = m_writer.Length();
    return RWRN_LAST_PACKET;
}

void CContactsHandler::AddExtendedProperties(CEOID contactOid) {
    IPOutlookApp2* application = m_store.Application2();
    IItem* item = nullptr;
    if (!application ||
        FAILED(application->GetItemFromOidEx(static_cast<long>(contactOid), 0, &item)))
        return;
    auto ids = ExtendedContactProperties();
    HANDLE heap = GetProcessHeap();
    CEPROPVAL* values = nullptr;
    ULONG bytes = 0;
    if (SUCCEEDED(item->GetProps(ids.data(), CEDB_ALLOWREALLOC, static_cast<WORD>(ids.size()),
                                 &values, &bytes, heap))) {
        for (size_t i = 0; i < ids.size(); ++i) {
            const CEPROPVAL& value = values[i];
            if (value.wFlags & CEDB_PROPNOTFOUND) continue;
            if (PROP_TYPE(value.propid) == CEVT_LPWSTR)
                m_writer.Add(value.propid, value.val.lpwstr);
            else
                m_writer.Add(value.propid, &value.val);
        }
    }
    if (values) HeapFree(heap, 0, values);
    item->Release();
}

STDMETHODIMP CContactsHandler::SetPacket(LPBYTE data, DWORD size) {
    if (!m_writeSetup) return E_UNEXPECTED;
    if (!ContactsJournalOpens(m_store.Volume())) return kJournalUnreadable;
    bool isNew = (m_writeSetup->dwFlags & RSF_NEW_OBJECT) != 0;
    IPOutlookApp* application = m_store.Application();
    if (!application) return E_FAIL;
    CEOID contactOid = 0;
    IUnknown* item = nullptr;
    HRESULT result = S_OK;
    if (isNew) {
        result = application->CreateItem(olContactItem, &item);
    } else {
        WORD state = 0;
        if (ReadContactRecord(m_store.Volume(), m_writeSetup->oid, &contactOid, &state) !=
            ContactRecordRead::Found)
            return kJournalUnreadable;
        result = application->GetItemFromOid(static_cast<long>(contactOid), &item);
    }
    if (FAILED(result)) return result;
    IContact* contact = nullptr;
    result = item->QueryInterface(IID_IContact, reinterpret_cast<void**>(&contact));
    item->Release();
    if (FAILED(result)) return result;

    PacketReader reader;
    reader.Attach(data, size);
    ExtendedValues extended;
    DWORD count = reader.Count();
    for (DWORD i = 0; i < count; ++i) {
        ULONG tag = 0;
        LPCBYTE value = reader.Next(&tag);
        if (!value) break;
        ApplyEntry(contact, tag, value, extended);
    }

    // A contact that was not stored, or a new one without an identifier, has nothing to journal.
    result = contact->Save();
    if (SUCCEEDED(result) && isNew) {
        long oid = 0;
        if (FAILED(contact->get_Oid(&oid)) || oid == 0) result = E_FAIL;
        contactOid = static_cast<CEOID>(oid);
    }
    if (FAILED(result)) {
        contact->Release();
        return result;
    }
    m_store.AddToEchoList(contactOid);

    IPOutlookApp2* application2 = m_store.Application2();
    if (!extended.Empty() && application2) {
        IItem* properties = nullptr;
        if (SUCCEEDED(application2->GetItemFromOidEx(static_cast<long>(contactOid), 0,
                                                     &properties))) {
            if (SUCCEEDED(properties->SetProps(extended.Data(), extended.Count())) &&
                SUCCEEDED(properties->Save()))
                m_store.AddToEchoList(contactOid);
            properties->Release();
        }
    }

    // Stored from this partnership: changed for the other one only.
    WORD state = static_cast<WORD>(~m_store.PartnerBit() & CHANGE_PARTNERS);
    CEOID record =
        WriteContactRecord(m_store.Volume(), isNew ? 0 : m_writeSetup->oid, contactOid, state);
    if (isNew) {
        if (!record) {
            // Without a record the engine could never name the contact: it would come back as a
            // duplicate on the next synchronization. The contact goes again.
            contact->Delete();
            contact->Release();
            return E_FAIL;
        }
        m_writeSetup->oidNew = record;
    }
    contact->Release();
    return S_OK;
}

STDMETHODIMP CContactsHandler::DeleteObj(REPLSETUP* setup) {
    if (!setup) return E_INVALIDARG;
    CEOID contactOid = 0;
    WORD state = 0;
    switch (ReadContactRecord(m_store.Volume(), setup->oid, &contactOid, &state)) {
        case ContactRecordRead::NoJournal: return E_FAIL;
        // The service drops a record once its contact is deleted: nothing is left to delete.
        case ContactRecordRead::NoRecord: return S_OK;
        case ContactRecordRead::Found: break;
    }
    IPOutlookApp* application = m_store.Application();
    if (!application) return E_FAIL;
    IUnknown* item = nullptr;
    HRESULT result = application->GetItemFromOid(static_cast<long>(contactOid), &item);
    // No such contact: deleted already, which is what was asked.
    if (result == E_INVALIDARG) return S_OK;
    if (FAILED(result)) return E_FAIL;
    IContact* contact = nullptr;
    result = item->QueryInterface(IID_IContact, reinterpret_cast<void**>(&contact));
    item->Release();
    if (FAILED(result)) return E_FAIL;
    result = contact->Delete();
    contact->Release();
    return SUCCEEDED(result) ? S_OK : E_FAIL;
}

STDMETHODIMP CContactsHandler::Reset(REPLSETUP* setup) {
    if (setup && setup->fRead) m_writer.Begin(0);
    return CObjHandler::Reset(setup);
}

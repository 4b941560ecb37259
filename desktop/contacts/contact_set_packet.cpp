// CWABHandler::SetPacket: a device contact packet written into the address book.
#include <wab.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "contact_properties.h"
#include "packet_bytes.h"
#include "packet_reader.h"
#include "st_log_file.h"
#include "store.h"
#include "wab_handler.h"
#include "wab_item.h"

namespace {

// One value for the book, held by the handler until the write pass.
struct NewValue {
    ULONG tag = 0;
    std::string text;
    std::vector<std::string> list;
    FILETIME time = {};
    LONG number = 0;

    SPropValue View(std::vector<LPSTR>& pointers) {
        SPropValue value = {};
        value.ulPropTag = tag;
        switch (PROP_TYPE(tag)) {
            case PT_SYSTIME:
                value.Value.ft = time;
                break;
            case PT_LONG:
                value.Value.l = number;
                break;
            case PT_MV_STRING8:
                pointers.clear();
                for (std::string& item : list) pointers.push_back(item.data());
                value.Value.MVszA.cValues = static_cast<ULONG>(pointers.size());
                value.Value.MVszA.lppszA = pointers.data();
                break;
            default:
                value.Value.lpszA = text.data();
                break;
        }
        return value;
    }
};

// The UTF-16 string at `at` (unaligned), up to its terminator.
std::u16string ReadString(LPCBYTE at) {
    std::u16string text;
    for (WORD unit = LoadLe16(at); unit; at += 2, unit = LoadLe16(at))
        text.push_back(static_cast<char16_t>(unit));
    return text;
}

// UTF-16 as ANSI with the machine's code page; empty when it converts to nothing.
std::string Narrow(const std::u16string& text) {
    if (text.empty()) return std::string();
    int bytes = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return std::string();
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.data(), bytes, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(bytes - 1));
    return narrow;
}

// `text` cut at every separator, blanks at the start of each piece dropped; empty pieces go.
std::vector<std::string> Split(const std::string& text, const char* separator) {
    std::vector<std::string> pieces;
    size_t width = std::strlen(separator);
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = width ? text.find(separator, at) : std::string::npos;
        if (end == std::string::npos) end = text.size();
        std::string piece = text.substr(at, end - at);
        piece.erase(0, piece.find_first_not_of(' ') == std::string::npos
                           ? piece.size()
                           : piece.find_first_not_of(' '));
        if (!piece.empty()) pieces.push_back(piece);
        at = end + width;
        if (end == text.size()) break;
    }
    return pieces;
}

const NewValue* FirstValue(const std::vector<NewValue>& values, ULONG tag) {
    for (const NewValue& value : values)
        if (value.tag == tag) return &value;
    return nullptr;
}

// One row of the contact table compared between the stored property and the new value.
bool SameRow(const SPropValue* stored, const NewValue* fresh) {
    if (!stored || !fresh) return !stored && !fresh;
    switch (PROP_TYPE(stored->ulPropTag)) {
        case PT_LONG:
            return stored->Value.l == fresh->number;
        case PT_STRING8:
            return lstrcmpA(stored->Value.lpszA, fresh->text.c_str()) == 0;
        case PT_SYSTIME:
            return CompareFileTime(&stored->Value.ft, &fresh->time) == 0;
        case PT_MV_STRING8:
            if (stored->Value.MVszA.cValues != fresh->list.size()) return false;
            for (ULONG i = 0; i < stored->Value.MVszA.cValues; ++i)
                if (lstrcmpA(stored->Value.MVszA.lppszA[i], fresh->list[i].c_str()) != 0)
                    return false;
            return true;
        default:
            return true;
    }
}

// Writes one packet into the book; every step of SetPacket that touches the book.
class ContactWrite {
public:
    ContactWrite(CWABFolder* folder, REPLSETUP* setup, bool keepName)
        : m_folder(folder), m_setup(setup), m_keepName(keepName) {}
    ~ContactWrite() {
        if (m_user) m_user->Release();
        if (m_pab) m_pab->Release();
        delete m_newItem;
    }

    // Reads the packet's entries; false when it is malformed.
    bool Read(LPCBYTE data, DWORD size) {
        PacketReader reader;
        reader.Attach(data, size);
        DWORD count = reader.Count();
        // Every entry takes at least its 4-byte tag.
        if (size < 4 || count > (size - 4) / 4) return false;
        for (DWORD i = 0; i < count; ++i) {
            ULONG tag = 0;
            LPCBYTE value = reader.Next(&tag);
            if (!value) return false;
            const ContactProperty* row = FindByPacketTag(tag);
            if (!row) continue;
            if (tag == kPacketFileAs && m_keepName && !IsNew()) {
                m_keepDisplayName = true;
                continue;
            }
            if (tag == kPacketEmail1 || tag == kPacketEmail2 || tag == kPacketEmail3) {
                m_slots[PROP_ID(tag) - PROP_ID(kPacketEmail1)] = Narrow(ReadString(value));
                continue;
            }
            NewValue fresh;
            fresh.tag = row->bookTag;
            if (PROP_TYPE(tag) == PT_SYSTIME) {
                fresh.time.dwLowDateTime = LoadLe32(value);
                fresh.time.dwHighDateTime = LoadLe32(value + 4);
            } else {
                fresh.text = Narrow(ReadString(value));
                if (fresh.text.empty()) continue;
                if (PROP_TYPE(row->bookTag) == PT_MV_STRING8) {
                    fresh.list = Split(fresh.text, m_folder->m_separator);
                    if (fresh.list.empty()) continue;
                }
            }
            m_values.push_back(std::move(fresh));
        }
        return true;
    }

    bool IsNew() const { return (m_setup->dwFlags & RSF_NEW_OBJECT) != 0; }
    bool Resend() const { return m_resend; }

    // Steps 4 to 6: the e-mail list, merged with the stored one for an existing contact.
    bool ArrangeAddresses() {
        std::vector<std::string> list;
        int highest = 0;
        for (int slot = 0; slot < 3; ++slot)
            if (!m_slots[slot].empty()) {
                list.push_back(m_slots[slot]);
                highest = slot + 1;
            }
        const size_t fromDevice = list.size();
        LONG defaultIndex = 0;
        if (!IsNew()) {
            auto* item = static_cast<CWABItem*>(FromHandle(m_setup->hItem));
            if (!item ||
                FAILED(m_folder->OpenEntry(item->EntryIdBytes(), item->EntryIdSize(), MAPI_MODIFY,
                                           &m_user)))
                return false;
            SPropTagArray* tags = reinterpret_cast<SPropTagArray*>(m_tagBuffer);
            tags->cValues = 3;
            tags->aulPropTag[0] = PR_CONTACT_EMAIL_ADDRESSES_A;
            tags->aulPropTag[1] = PR_CONTACT_DEFAULT_ADDRESS_INDEX;
            tags->aulPropTag[2] = PR_EMAIL_ADDRESS_A;
            ULONG count = 0;
            LPSPropValue stored = nullptr;
            if (SUCCEEDED(m_user->GetProps(tags, 0, &count, &stored)) && count == 3 &&
                stored[0].ulPropTag == PR_CONTACT_EMAIL_ADDRESSES_A) {
                const SLPSTRArray& old = stored[0].Value.MVszA;
                std::string defaultText;
                if (stored[1].ulPropTag == PR_CONTACT_DEFAULT_ADDRESS_INDEX) {
                    defaultIndex = stored[1].Value.l;
                    if (defaultIndex >= 0 && static_cast<ULONG>(defaultIndex) < old.cValues)
                        defaultText = old.lppszA[defaultIndex];
                }
                for (ULONG i = 3; i < old.cValues; ++i)
                    if (std::find(list.begin(), list.end(), old.lppszA[i]) == list.end())
                        list.push_back(old.lppszA[i]);
                // The default address keeps its place by its text wherever it now stands.
                auto at = std::find(list.begin(), list.end(), defaultText);
                if (!defaultText.empty() && at != list.end())
                    defaultIndex = static_cast<LONG>(at - list.begin());
            }
            if (stored) m_folder->m_wab->FreeBuffer(stored);
            // A gap among the device's slots, or addresses the device lacks: it is sent the list.
            m_resend = static_cast<size_t>(highest) > fromDevice || list.size() > fromDevice;
        }
        if (!list.empty()) {
            if (defaultIndex < 0 || static_cast<size_t>(defaultIndex) >= list.size())
                defaultIndex = 0;
            NewValue email;
            email.tag = PR_EMAIL_ADDRESS_A;
            email.text = list[static_cast<size_t>(defaultIndex)];
            NewValue index;
            index.tag = PR_CONTACT_DEFAULT_ADDRESS_INDEX;
            index.number = defaultIndex;
            NewValue all;
            all.tag = PR_CONTACT_EMAIL_ADDRESSES_A;
            all.list = list;
            m_values.push_back(email);
            m_values.push_back(index);
            m_values.push_back(all);
        }
        return true;
    }

    // Step 7: a new contact identical in every table row to the one entry its name resolves to.
    void CheckDuplicate(IReplNotify* notify) {
        const NewValue* name = FirstValue(m_values, PR_DISPLAY_NAME_A);
        if (!IsNew() || !(m_setup->dwFlags & RSF_COMBINE_OBJECT) || !name) return;
        IWABObject* wab = m_folder->m_wab;
        LPADRLIST list = nullptr;
        if (FAILED(wab->AllocateBuffer(CbNewADRLIST(1), reinterpret_cast<LPVOID*>(&list)))) return;
        list->cEntries = 1;
        list->aEntries[0].ulAdrEntryPad = 0;
        list->aEntries[0].cValues = 1;
        if (FAILED(wab->AllocateBuffer(sizeof(SPropValue),
                                       reinterpret_cast<LPVOID*>(&list->aEntries[0].lpProps)))) {
            wab->FreeBuffer(list);
            return;
        }
        list->aEntries[0].lpProps[0].ulPropTag = PR_DISPLAY_NAME_A;
        list->aEntries[0].lpProps[0].Value.lpszA = const_cast<LPSTR>(name->text.c_str());
        HWND owner = notify ? notify->GetWindow(0) : nullptr;
        if (m_folder->m_book->ResolveName(reinterpret_cast<ULONG_PTR>(owner), 0, nullptr, list) ==
            S_OK) {
            const ADRENTRY& row = list->aEntries[0];
            for (ULONG i = 0; i < row.cValues; ++i)
                if (row.lpProps[i].ulPropTag == PR_ENTRYID)
                    m_duplicate = Compare(row.lpProps[i].Value.bin);
        }
        wab->FreeBuffer(list->aEntries[0].lpProps);
        wab->FreeBuffer(list);
    }

    // Step 8: the new entry, made from the book's template in the personal address book.
    bool Create() {
        m_newItem = new (std::nothrow) CWABItem();
        if (!m_newItem) return false;
        IAddrBook* book = m_folder->m_book;
        IWABObject* wab = m_folder->m_wab;
        ULONG size = 0;
        LPBYTE pab = nullptr;
        if (FAILED(book->GetPAB(&size, &pab))) return false;
        ULONG type = 0;
        IUnknown* container = nullptr;
        HRESULT result = book->OpenEntry(size, pab, nullptr, MAPI_MODIFY, &type, &container);
        wab->FreeBuffer(pab);
        if (FAILED(result)) return false;
        m_pab = static_cast<IABContainer*>(container);
        SPropTagArray tags = {1, {PR_DEF_CREATE_MAILUSER}};
        ULONG count = 0;
        LPSPropValue props = nullptr;
        result = m_pab->GetProps(&tags, 0, &count, &props);
        bool made = false;
        if (result == S_OK && count == 1 && props[0].ulPropTag == PR_DEF_CREATE_MAILUSER) {
            LPBYTE templateId = nullptr;
            if (SUCCEEDED(wab->AllocateBuffer(props[0].Value.bin.cb,
                                              reinterpret_cast<LPVOID*>(&templateId)))) {
                std::memcpy(templateId, props[0].Value.bin.lpb, props[0].Value.bin.cb);
                IMAPIProp* entry = nullptr;
                made = SUCCEEDED(m_pab->CreateEntry(props[0].Value.bin.cb, templateId, 0, &entry));
                m_user = entry;
                wab->FreeBuffer(templateId);
            }
        }
        if (props) wab->FreeBuffer(props);
        return made;
    }

    // Step 9, then a final save: every table row deleted and written again from the new values.
    bool WritePass() {
        std::vector<LPSTR> pointers;
        for (const ContactProperty& row : kContactProperties) {
            if (row.bookTag == PR_DISPLAY_NAME_A && m_keepDisplayName) continue;
            SPropTagArray tag = {1, {row.bookTag}};
            m_user->DeleteProps(&tag, nullptr);
            auto found = std::find_if(m_values.begin(), m_values.end(),
                                      [&](const NewValue& v) { return v.tag == row.bookTag; });
            if (found == m_values.end()) continue;
            SPropValue value = found->View(pointers);
            if (SUCCEEDED(m_user->SetProps(1, &value, nullptr)))
                m_user->SaveChanges(KEEP_OPEN_READWRITE);
        }
        // Deletions after the last written row are kept only by this save.
        return SUCCEEDED(m_user->SaveChanges(KEEP_OPEN_READWRITE));
    }

    // Step 10: the written entry's identifier into the item; the item the setup names afterwards.
    CWABItem* Finish(std::vector<EntryIdBytes>& duplicates) {
        SPropTagArray tags = {1, {PR_ENTRYID}};
        ULONG count = 0;
        LPSPropValue props = nullptr;
        HRESULT result = m_user->GetProps(&tags, 0, &count, &props);
        CWABItem* item = nullptr;
        if (result == S_OK && count == 1 && props[0].ulPropTag == PR_ENTRYID) {
            item = IsNew() ? m_newItem : static_cast<CWABItem*>(FromHandle(m_setup->hItem));
            item->SetEntryId(props[0].Value.bin.lpb, props[0].Value.bin.cb);
            if (m_duplicate)
                duplicates.emplace_back(props[0].Value.bin.lpb,
                                        props[0].Value.bin.lpb + props[0].Value.bin.cb);
            if (IsNew()) m_newItem = nullptr;
        }
        if (props) m_folder->m_wab->FreeBuffer(props);
        return item;
    }

private:
    bool Compare(const SBinary& id) {
        IMailUser* other = nullptr;
        if (!id.cb || FAILED(m_folder->OpenEntry(id.lpb, id.cb, 0, &other))) return false;
        ULONG count = 0;
        LPSPropValue props = nullptr;
        bool same = false;
        if (SUCCEEDED(other->GetProps(nullptr, 0, &count, &props))) {
            same = true;
            for (const ContactProperty& row : kContactProperties) {
                const SPropValue* stored = nullptr;
                for (ULONG i = 0; i < count; ++i)
                    if (props[i].ulPropTag == row.bookTag) stored = &props[i];
                if (!SameRow(stored, FirstValue(m_values, row.bookTag))) {
                    same = false;
                    break;
                }
            }
        }
        if (props) m_folder->m_wab->FreeBuffer(props);
        other->Release();
        return same;
    }

    CWABFolder* m_folder;
    REPLSETUP* m_setup;
    bool m_keepName;
    bool m_keepDisplayName = false;
    bool m_resend = false;
    bool m_duplicate = false;
    std::string m_slots[3];
    std::vector<NewValue> m_values;
    IMailUser* m_user = nullptr;
    IABContainer* m_pab = nullptr;
    CWABItem* m_newItem = nullptr;
    alignas(ULONG) BYTE m_tagBuffer[CbNewSPropTagArray(3)] = {};
};

}  // namespace

STDMETHODIMP CWABHandler::SetPacket(LPBYTE data, DWORD size) {
    CSTLogScope scope("SetPacket (reading a data packet from the mobile device)");
    if (!m_writeSetup || !data) return E_UNEXPECTED;
    auto* folder = static_cast<CWABFolder*>(FromHandle(m_writeSetup->hFolder));
    if (!folder || !folder->m_book) return E_UNEXPECTED;
    folder->SuspendAdvice();
    HRESULT result = E_UNEXPECTED;
    CWABItem* written = nullptr;
    {
        ContactWrite write(folder, m_writeSetup, m_store->m_clientInfo.m_noChangeDisplayName != 0);
        if (write.Read(data, size) && write.ArrangeAddresses()) {
            write.CheckDuplicate(m_store->m_notify);
            if ((!write.IsNew() || write.Create()) && write.WritePass()) {
                written = write.Finish(m_duplicates);
                if (written) result = S_OK;
            }
        }
        if (SUCCEEDED(result)) {
            CWABItem* copy = new (std::nothrow) CWABItem();
            if (copy) {
                copy->CopyFrom(written);
                folder->Own(copy);
            }
            // The engine learns of a new item through the setup, and only of one that was written.
            if (write.IsNew()) m_writeSetup->hItem = ToHandle(written);
            IReplNotify* notify = m_store->m_notify ? m_store->m_notify : m_writeSetup->pNotify;
            if (write.Resend() && notify) {
                // The engine takes the item it is told about: it gets a copy of its own.
                CWABItem* told = new (std::nothrow) CWABItem();
                if (told) {
                    told->CopyFrom(written);
                    notify->OnItemNotify(RNC_MODIFIED,
                                                        const_cast<LPSTR>(STORE_PROGID),
                                                        const_cast<LPSTR>("Address"),
                                                        ToHandle(told), 0);
                }
            }
        }
    }
    folder->ResumeAdvice();
    return result;
}

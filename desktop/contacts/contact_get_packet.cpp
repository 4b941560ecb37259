// CWABHandler::GetPacket: an address-book contact as the device's contact packet.
#include <wab.h>

#include <string>

#include "contact_properties.h"
#include "st_log_file.h"
#include "store.h"
#include "wab_handler.h"
#include "wab_item.h"

namespace {

// ANSI text of the book as UTF-16 with the thread's code page.
std::u16string Widen(const char* text) {
    if (!text || !*text) return std::u16string();
    int units = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
    if (units <= 0) return std::u16string();
    std::u16string wide(static_cast<size_t>(units), u'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, wide.data(), units);
    wide.resize(static_cast<size_t>(units - 1));
    return wide;
}

// Builds one packet, remembering which tags it carries.
class ContactPacket {
public:
    explicit ContactPacket(PacketWriter& writer) : m_writer(writer) {}
    void AddText(ULONG tag, const std::u16string& text) {
        Note(m_writer.Add(tag, text.c_str()));
        m_written.push_back(tag);
    }
    void AddTime(ULONG tag, const FILETIME& time) {
        Note(m_writer.Add(tag, &time));
        m_written.push_back(tag);
    }
    // A bare tag saying the property is empty; none for a tag the packet already carries.
    void AddClear(ULONG tag) {
        for (ULONG written : m_written)
            if (written == tag) return;
        Note(m_writer.Add(tag + kClearMarkerFlag, nullptr));
    }
    bool Failed() const { return m_failed; }

private:
    void Note(HRESULT result) {
        if (FAILED(result)) m_failed = true;
    }
    PacketWriter& m_writer;
    std::vector<ULONG> m_written;
    bool m_failed = false;
};

}  // namespace

STDMETHODIMP CWABHandler::GetPacket(LPBYTE* data, DWORD* size, DWORD recommended) {
    CSTLogScope scope("GetPacket (preparing a data packet for the mobile device)");
    if (!data || !size) return E_POINTER;
    *data = nullptr;
    *size = 0;
    if (!m_readSetup) return E_UNEXPECTED;
    auto* item = static_cast<CWABItem*>(FromHandle(m_readSetup->hItem));
    auto* folder = static_cast<CWABFolder*>(FromHandle(m_readSetup->hFolder));
    if (!item || !folder) return E_UNEXPECTED;
    IMailUser* user = nullptr;
    if (FAILED(folder->OpenEntry(item->EntryIdBytes(), item->EntryIdSize(), 0, &user)))
        return E_UNEXPECTED;
    ST_LOG("GetPacket: OpenUser successful");
    ULONG count = 0;
    LPSPropValue props = nullptr;
    if (FAILED(user->GetProps(nullptr, 0, &count, &props))) {
        if (props) folder->m_wab->FreeBuffer(props);
        user->Release();
        return RERR_GET_PACKET_FAILED;
    }

    const bool keepName = m_store->m_clientInfo.m_noChangeDisplayName != 0;
    m_writer.Begin(recommended);
    ContactPacket packet(m_writer);
    const char* email = nullptr;
    const SPropValue* defaultIndex = nullptr;
    const SPropValue* addresses = nullptr;
    const char* given = nullptr;
    const char* surname = nullptr;
    const char* middle = nullptr;
    const char* displayName = nullptr;
    std::vector<ULONG> present;
    for (ULONG i = 0; i < count; ++i) {
        const SPropValue& prop = props[i];
        const ContactProperty* row = FindByBookTag(prop.ulPropTag);
        if (!row) continue;
        present.push_back(prop.ulPropTag);
        switch (prop.ulPropTag) {
            case PR_EMAIL_ADDRESS_A:
                email = prop.Value.lpszA;
                continue;
            case PR_CONTACT_DEFAULT_ADDRESS_INDEX:
                defaultIndex = &prop;
                continue;
            case PR_CONTACT_EMAIL_ADDRESSES_A:
                addresses = &prop;
                continue;
            case PR_GIVEN_NAME_A:
                if (keepName) given = prop.Value.lpszA;
                break;
            case PR_SURNAME_A:
                if (keepName) surname = prop.Value.lpszA;
                break;
            case PR_MIDDLE_NAME_A:
                if (keepName) middle = prop.Value.lpszA;
                break;
            case PR_DISPLAY_NAME_A:
                if (keepName) {
                    displayName = prop.Value.lpszA;
                    continue;
                }
                break;
            default:
                break;
        }
        if (PROP_TYPE(prop.ulPropTag) == PT_SYSTIME) {
            packet.AddTime(row->packetTag, prop.Value.ft);
        } else if (prop.ulPropTag == PR_CHILDRENS_NAMES_A) {
            std::string joined;
            for (ULONG v = 0; v < prop.Value.MVszA.cValues; ++v) {
                if (!joined.empty()) joined += folder->m_separator;
                joined += prop.Value.MVszA.lppszA[v];
            }
            packet.AddText(row->packetTag, Widen(joined.c_str()));
        } else {
            packet.AddText(row->packetTag, Widen(prop.Value.lpszA));
        }
    }

    if (keepName) {
        if (surname) {
            std::string fileAs = surname;
            if (given || middle) fileAs += ",";
            if (given) fileAs += std::string(" ") + given;
            if (middle) fileAs += std::string(" ") + middle;
            packet.AddText(kPacketFileAs, Widen(fileAs.c_str()));
        } else if (displayName) {
            packet.AddText(kPacketFileAs, Widen(displayName));
        }
    }

    ULONG listed = 0;
    if (defaultIndex && defaultIndex->Value.l >= 0 && addresses) {
        const ULONG slots[] = {kPacketEmail1, kPacketEmail2, kPacketEmail3};
        for (; listed < addresses->Value.MVszA.cValues && listed < 3; ++listed)
            packet.AddText(slots[listed], Widen(addresses->Value.MVszA.lppszA[listed]));
    } else if (email && *email) {
        packet.AddText(kPacketEmail1, Widen(email));
    }

    auto has = [&](ULONG tag) {
        for (ULONG p : present)
            if (p == tag) return true;
        return false;
    };
    for (const ContactProperty& row : kReceivingTable) {
        if (row.packetTag == kPacketFileAs) continue;
        if (row.packetTag == kPacketEmail2) {
            if (listed < 2) packet.AddClear(row.packetTag);
        } else if (row.packetTag == kPacketEmail3) {
            if (listed < 3) packet.AddClear(row.packetTag);
        } else if (!has(row.bookTag)) {
            packet.AddClear(row.packetTag);
        }
    }
    ST_LOG("GetPacket: Object properties loaded");

    HRESULT result = RWRN_LAST_PACKET;
    if (packet.Failed() || !m_writer.Data()) {
        m_writer.Begin(0);
        result = RERR_GET_PACKET_FAILED;
    } else {
        *data = m_writer.Data();
        *size = m_writer.Length();
    }
    folder->m_wab->FreeBuffer(props);
    user->Release();
    return result;
}

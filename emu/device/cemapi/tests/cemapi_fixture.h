// A device with one account's message store and a logged-on session, with helpers for the
// message-store tests.
#pragma once

#include <cemapi.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "emu/cemapi/message_stores.h"
#include "pal/runtime/context.h"
#include "pal_testing/temp_world.h"

namespace emu::cemapi::testing {

inline SPropValue Long(ULONG tag, LONG value) {
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.l = value;
    return v;
}
inline SPropValue Text(ULONG tag, const WCHAR* value) {
    SPropValue v{};
    v.ulPropTag = tag;
    v.Value.lpszW = const_cast<LPWSTR>(value);
    return v;
}

// Reference-holding pointer for the test's interface objects.
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : m_p(p) {}
    ~Ref() { Reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    void Reset() {
        if (m_p) m_p->Release();
        m_p = nullptr;
    }
    void Swap(Ref& other) { std::swap(m_p, other.m_p); }
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    T** Out() {
        Reset();
        return &m_p;
    }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

class CemapiTest : public pal::testing::DeviceTest {
protected:
    void SetUp() override {
        m_storeNumber = CreateStore(pal::CurrentMachine(), u"Outlook Express");
        Logon();
    }
    void TearDown() override { Logoff(); }

    void Logon() {
        ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
        ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, m_session.Out()), S_OK);
        m_store.Reset();
        OpenStore(u"Outlook Express", m_store);
    }
    void Logoff() {
        if (!m_session) return;
        m_store.Reset();
        m_session->Logoff(0, 0, 0);
        m_session.Reset();
        MAPIUninitialize();
    }

    // Opens the store whose display name is `name` (exactly) through the store table.
    void OpenStore(const std::u16string& name, Ref<IMsgStore>& store) {
        Ref<IMAPITable> table;
        ASSERT_EQ(m_session->GetMsgStoresTable(MAPI_UNICODE, table.Out()), S_OK);
        SizedSPropTagArray(2, columns) = {2, {PR_ENTRYID, PR_DISPLAY_NAME_W}};
        ASSERT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
        for (;;) {
            LPSRowSet rows = nullptr;
            ASSERT_EQ(table->QueryRows(1, 0, &rows), S_OK);
            if (rows->cRows == 0) {
                FreeProws(rows);
                FAIL() << "no store of that name";
            }
            const SRow& row = rows->aRow[0];
            if (row.lpProps[1].ulPropTag == PR_DISPLAY_NAME_W && row.lpProps[1].Value.lpszW == name) {
                ASSERT_EQ(m_session->OpenMsgStore(0, row.lpProps[0].Value.bin.cb,
                                                  reinterpret_cast<LPENTRYID>(row.lpProps[0].Value.bin.lpb),
                                                  nullptr, 0, store.Out()),
                          S_OK);
                FreeProws(rows);
                return;
            }
            FreeProws(rows);
        }
    }

    // The entry identifier of the first store in a session's store table.
    static std::vector<BYTE> StoreEntryOf(IMAPISession* session) {
        Ref<IMAPITable> table;
        EXPECT_EQ(session->GetMsgStoresTable(MAPI_UNICODE, table.Out()), S_OK);
        LPSRowSet rows = nullptr;
        EXPECT_EQ(table->QueryRows(1, 0, &rows), S_OK);
        const SBinary& bin = rows->aRow[0].lpProps[0].Value.bin;
        std::vector<BYTE> entry(bin.lpb, bin.lpb + bin.cb);
        FreeProws(rows);
        return entry;
    }

    // The entry identifier a store property names (a folder).
    std::vector<BYTE> StoreEntry(ULONG tag) {
        SizedSPropTagArray(1, tags) = {1, {tag}};
        ULONG count = 0;
        LPSPropValue values = nullptr;
        EXPECT_EQ(m_store->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count, &values), S_OK);
        std::vector<BYTE> entry(values[0].Value.bin.lpb, values[0].Value.bin.lpb + values[0].Value.bin.cb);
        MAPIFreeBuffer(values);
        return entry;
    }

    void OpenFolder(ULONG tag, Ref<IMAPIFolder>& folder) {
        auto entry = StoreEntry(tag);
        ULONG type = 0;
        ASSERT_EQ(m_session->OpenEntry(static_cast<ULONG>(entry.size()),
                                       reinterpret_cast<LPENTRYID>(entry.data()), nullptr,
                                       MAPI_BEST_ACCESS, &type, reinterpret_cast<LPUNKNOWN*>(folder.Out())),
                  S_OK);
        ASSERT_EQ(type, static_cast<ULONG>(MAPI_FOLDER));
    }

    void OpenMessage(const std::vector<BYTE>& entry, ULONG flags, Ref<IMessage>& message,
                     HRESULT expected = S_OK) {
        ULONG type = 0;
        ASSERT_EQ(m_session->OpenEntry(static_cast<ULONG>(entry.size()),
                                       reinterpret_cast<LPENTRYID>(const_cast<BYTE*>(entry.data())),
                                       nullptr, flags, &type, reinterpret_cast<LPUNKNOWN*>(message.Out())),
                  expected);
    }

    // A new message in a folder with a subject; answers its entry identifier.
    std::vector<BYTE> NewMessage(ULONG folderTag, const WCHAR* subject) {
        Ref<IMAPIFolder> folder;
        OpenFolder(folderTag, folder);
        Ref<IMessage> message;
        EXPECT_EQ(folder->CreateMessage(nullptr, 0, message.Out()), S_OK);
        SPropValue value = Text(PR_SUBJECT_W, subject);
        EXPECT_EQ(message->SetProps(1, &value, nullptr), S_OK);
        return Entry(message.Get());
    }

    static std::vector<BYTE> Entry(IMAPIProp* object) {
        auto value = Prop(object, PR_ENTRYID);
        return std::vector<BYTE>(value->Value.bin.lpb, value->Value.bin.lpb + value->Value.bin.cb);
    }

    // One property of an object, in its MAPI buffer.
    static std::shared_ptr<SPropValue> Prop(IMAPIProp* object, ULONG tag) {
        SizedSPropTagArray(1, tags) = {1, {tag}};
        ULONG count = 0;
        LPSPropValue values = nullptr;
        HRESULT hr = object->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count, &values);
        EXPECT_TRUE(hr == S_OK || hr == MAPI_W_ERRORS_RETURNED) << std::hex << hr;
        return std::shared_ptr<SPropValue>(values, [](SPropValue* p) { MAPIFreeBuffer(p); });
    }

    bool Same(const std::vector<BYTE>& a, const std::vector<BYTE>& b) {
        ULONG result = 0;
        EXPECT_EQ(m_session->CompareEntryIDs(static_cast<ULONG>(a.size()),
                                             reinterpret_cast<LPENTRYID>(const_cast<BYTE*>(a.data())),
                                             static_cast<ULONG>(b.size()),
                                             reinterpret_cast<LPENTRYID>(const_cast<BYTE*>(b.data())), 0,
                                             &result),
                  S_OK);
        return result != 0;
    }

    std::uint32_t m_storeNumber = 0;
    Ref<IMAPISession> m_session;
    Ref<IMsgStore> m_store;
};

}  // namespace emu::cemapi::testing

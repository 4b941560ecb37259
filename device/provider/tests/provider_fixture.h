// A device world with Kestrin installed in \Windows and loaded, and its exports at hand.
#pragma once

#include <device_sync.h>
#include <gtest/gtest.h>

#include <string>

#include "ce_db.h"
#include "emu/cemapi/message_stores.h"
#include "journal.h"
#include "pal/runtime/module_install.h"
#include "pal_testing/temp_world.h"

class ProviderTest : public pal::testing::DeviceTest {
protected:
    void Install() {
        pal::InstallModule(m_world.Device(), std::string(VELUMEX_MODULE_DIR) + "/Kestrin.so",
                           u"\\Windows\\Kestrin.dll");
    }
    void Load() {
        m_module = LoadLibraryW(W("\\Windows\\Kestrin.dll"));
        ASSERT_NE(m_module, nullptr) << GetLastError();
        m_init = Export<PINITOBJTYPE>("InitObjType");
        m_notify = Export<POBJECTNOTIFY>("ObjectNotify");
        m_info = Export<PGETOBJTYPEINFO>("GetObjTypeInfo");
        m_find = Export<PFINDOBJECTS>("FindObjects");
        m_status = Export<PREPORTSTATUS>("ReportStatus");
        m_data = Export<PSYNCDATA>("SyncData");
    }
    // The Inbox account whose message store the mail store opens.
    void CreateAccount() {
        emu::cemapi::CreateStore(m_world.Device(), u"Kestrin");
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Inbox\\Svc\\Kestrin",
                                  0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const char16_t name[] = u"Kestrin";
        RegSetValueExW(key, u"FriendlyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                       sizeof(name));
        RegCloseKey(key);
    }
    void SetUp() override {
        CreateAccount();
        Install();
        Load();
    }
    void TearDown() override {
        if (m_module) FreeLibrary(m_module);
    }

    template <class T>
    T Export(const char* name) {
        auto address = GetProcAddress(m_module, name);
        EXPECT_NE(address, nullptr) << name;
        return reinterpret_cast<T>(address);
    }

    // Creates the journals in the provider's volume, as the notification service does.
    void CreateJournals() {
        CEGUID guid;
        WCHAR path[] = KESTRIN_VOLUME_PATH;
        ASSERT_TRUE(CeMountDBVol(&guid, path, OPEN_ALWAYS));
        SORTORDERSPEC sort{PROPID_CONTACT_OID, 0};
        CreateDatabase(CONTACTS_JOURNAL_NAME, JOURNAL_DB_TYPE, nullptr, 1, &sort, &guid);
        CreateDatabase(MAIL_JOURNAL_NAME, JOURNAL_DB_TYPE, nullptr, 0, nullptr, &guid);
        m_guid = guid;
    }
    CEOID AddRecord(LPCWSTR journal, USHORT state) {
        CCeDB db;
        db.Open(journal, 0, nullptr, 0, 0, &m_guid);
        CEPROPVAL value{};
        value.propid = PROPID_CHANGE_STATE;
        value.val.uiVal = state;
        return CeWriteRecordProps(db.Handle(), 0, 1, &value);
    }

    static void SetType(WCHAR (&field)[MAX_OBJTYPE_NAME], const char16_t* type) {
        std::u16string text(type);
        std::copy(text.begin(), text.end(), field);
        field[text.size()] = 0;
    }

    IReplObjHandler* Init(const char16_t* type, UINT partner = 1) {
        IReplObjHandler* handler = nullptr;
        std::u16string name(type);
        EXPECT_TRUE(m_init(name.data(), &handler, partner));
        return handler;
    }

    HMODULE m_module = nullptr;
    CEGUID m_guid{};
    PINITOBJTYPE m_init = nullptr;
    POBJECTNOTIFY m_notify = nullptr;
    PGETOBJTYPEINFO m_info = nullptr;
    PFINDOBJECTS m_find = nullptr;
    PREPORTSTATUS m_status = nullptr;
    PSYNCDATA m_data = nullptr;
};

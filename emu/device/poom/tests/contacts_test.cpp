// The device contacts: the application class over "Contacts Database", and the notifications
// a change by another program posts.
#include "emu/poom/contacts.h"

#include <gtest/gtest.h>
#include <pimstore.h>

#include "pal_testing/temp_world.h"

namespace {

class PoomTest : public pal::testing::DeviceTest {
protected:
    void SetUp() override {
        emu::poom::Install(m_world.Device());
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_ALL, IID_IPOutlookApp2,
                                   reinterpret_cast<void**>(&m_app)),
                  S_OK);
    }
    void TearDown() override {
        if (m_app) m_app->Release();
        CoUninitialize();
    }

    std::vector<long> FolderOids() {
        std::vector<long> oids;
        IFolder* folder = nullptr;
        EXPECT_EQ(m_app->GetDefaultFolder(olFolderContacts, &folder), S_OK);
        IPOutlookItemCollection* items = nullptr;
        EXPECT_EQ(folder->get_Items(&items), S_OK);
        IUnknown* item = nullptr;
        for (int i = 1; SUCCEEDED(items->Item(i, &item)); ++i) {
            IContact* contact = nullptr;
            EXPECT_EQ(item->QueryInterface(IID_IContact, reinterpret_cast<void**>(&contact)), S_OK);
            long oid = 0;
            contact->get_Oid(&oid);
            oids.push_back(oid);
            contact->Release();
            item->Release();
        }
        EXPECT_EQ(item, nullptr);
        items->Release();
        folder->Release();
        return oids;
    }

    IPOutlookApp2* m_app = nullptr;
};

TEST_F(PoomTest, TheContactsFolderListsTheDatabaseAndFindsItemsByOid) {
    ASSERT_EQ(m_app->Logon(0), S_OK);
    CEOID ann = emu::poom::AddContact(m_world.Device(), u"Ann");
    CEOID bob = emu::poom::AddContact(m_world.Device(), u"Bob");
    ASSERT_NE(ann, 0u);
    EXPECT_EQ(FolderOids(), (std::vector<long>{static_cast<long>(ann), static_cast<long>(bob)}));

    IUnknown* item = nullptr;
    EXPECT_EQ(m_app->GetItemFromOid(static_cast<long>(bob), &item), S_OK);
    ASSERT_NE(item, nullptr);
    item->Release();
    EXPECT_TRUE(emu::poom::DeleteContact(m_world.Device(), bob));
    EXPECT_FALSE(emu::poom::DeleteContact(m_world.Device(), bob));
    EXPECT_TRUE(FAILED(m_app->GetItemFromOid(static_cast<long>(bob), &item)));
    EXPECT_EQ(item, nullptr);
    EXPECT_EQ(FolderOids(), (std::vector<long>{static_cast<long>(ann)}));
    EXPECT_TRUE(emu::poom::ChangeContact(m_world.Device(), ann, u"Anne"));
    EXPECT_EQ(emu::poom::Contacts(m_world.Device())[0].fileAs, u"Anne");
}

TEST_F(PoomTest, RemoteNotificationsReachTheLoggedOnWindowUntilLogoff) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = u"PoomTestWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, u"PoomTestWindow", u"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(m_app->Logon(reinterpret_cast<long>(window)), S_OK);
    IFolder* folder = nullptr;
    ASSERT_EQ(m_app->GetDefaultFolder(olFolderContacts, &folder), S_OK);
    IItem* item = nullptr;
    ASSERT_EQ(folder->QueryInterface(IID_IItem, reinterpret_cast<void**>(&item)), S_OK);
    CEPROPVAL remote{};
    remote.propid = PIMPR_FOLDERNOTIFICATIONS;
    remote.val.ulVal = PIMFOLDERNOTIFICATION_REMOTE;
    ASSERT_EQ(item->SetProps(&remote, 1), S_OK);

    CEOID ann = emu::poom::AddContact(m_world.Device(), u"Ann");
    emu::poom::ChangeContact(m_world.Device(), ann, u"Anne");
    emu::poom::DeleteContact(m_world.Device(), ann);
    MSG message;
    std::vector<std::pair<UINT, WPARAM>> seen;
    while (PeekMessageW(&message, window, 0, 0, PM_REMOVE))
        seen.emplace_back(message.message, message.wParam);
    EXPECT_EQ(seen, (std::vector<std::pair<UINT, WPARAM>>{{PIM_ITEM_CREATED_REMOTE, ann},
                                                         {PIM_ITEM_CHANGED_REMOTE, ann},
                                                         {PIM_ITEM_DELETED_REMOTE, ann}}));
    m_app->Logoff();
    emu::poom::AddContact(m_world.Device(), u"Bob");
    EXPECT_FALSE(PeekMessageW(&message, window, 0, 0, PM_REMOVE));
    item->Release();
    folder->Release();
    DestroyWindow(window);
}

TEST_F(PoomTest, ContactsAreEditedInMemoryAndStoredWithOneNotificationPerSave) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = u"PoomSaveWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, u"PoomSaveWindow", u"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_EQ(m_app->Logon(reinterpret_cast<long>(window)), S_OK);
    IFolder* folder = nullptr;
    ASSERT_EQ(m_app->GetDefaultFolder(olFolderContacts, &folder), S_OK);
    IItem* folderItem = nullptr;
    folder->QueryInterface(IID_IItem, reinterpret_cast<void**>(&folderItem));
    CEPROPVAL remote{};
    remote.propid = PIMPR_FOLDERNOTIFICATIONS;
    remote.val.ulVal = PIMFOLDERNOTIFICATION_REMOTE;
    ASSERT_EQ(folderItem->SetProps(&remote, 1), S_OK);

    IUnknown* created = nullptr;
    ASSERT_EQ(m_app->CreateItem(olContactItem, &created), S_OK);
    IContact* contact = nullptr;
    ASSERT_EQ(created->QueryInterface(IID_IContact, reinterpret_cast<void**>(&contact)), S_OK);
    created->Release();
    BSTR name = SysAllocString(u"Ann");
    contact->put_FirstName(name);
    SysFreeString(name);
    contact->put_Birthday(29358.0);  // 1980-05-17
    long oid = 0;
    contact->get_Oid(&oid);
    EXPECT_EQ(oid, 0);
    EXPECT_TRUE(emu::poom::Contacts(m_world.Device()).empty());  // nothing stored before Save
    ASSERT_EQ(contact->Save(), S_OK);
    contact->get_Oid(&oid);
    ASSERT_NE(oid, 0);
    contact->put_FirstName(nullptr);  // a null string empties the property
    contact->put_Birthday(POOM_NO_DATE);
    ASSERT_EQ(contact->Save(), S_OK);
    auto stored = emu::poom::FindContact(m_world.Device(), static_cast<CEOID>(oid));
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->values.empty());
    DATE birthday = 0;
    contact->get_Birthday(&birthday);
    EXPECT_EQ(birthday, POOM_NO_DATE);

    // Extended properties through IItem, read into a buffer from the given heap.
    IItem* item = nullptr;
    ASSERT_EQ(m_app->GetItemFromOidEx(oid, 0, &item), S_OK);
    CEPROPVAL nickname{};
    nickname.propid = 0x0086001F;
    nickname.val.lpwstr = const_cast<LPWSTR>(u"Annie");
    ASSERT_EQ(item->SetProps(&nickname, 1), S_OK);
    ASSERT_EQ(item->Save(), S_OK);
    CEPROPID ids[] = {0x0086001F, 0x00F80013};
    CEPROPVAL* values = nullptr;
    ULONG size = 0;
    ASSERT_EQ(item->GetProps(ids, CEDB_ALLOWREALLOC, 2, &values, &size, GetProcessHeap()), S_OK);
    EXPECT_EQ(std::u16string(values[0].val.lpwstr), u"Annie");
    EXPECT_EQ(values[1].wFlags, CEDB_PROPNOTFOUND);
    HeapFree(GetProcessHeap(), 0, values);
    item->Release();

    ASSERT_EQ(contact->Delete(), S_OK);
    EXPECT_EQ(contact->Save(), E_FAIL);  // a deleted contact is not written back
    contact->Release();
    MSG message;
    std::vector<UINT> seen;
    while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) seen.push_back(message.message);
    EXPECT_EQ(seen, (std::vector<UINT>{PIM_ITEM_CREATED_REMOTE, PIM_ITEM_CHANGED_REMOTE,
                                       PIM_ITEM_CHANGED_REMOTE, PIM_ITEM_DELETED_REMOTE}));
    folderItem->Release();
    folder->Release();
    DestroyWindow(window);
}

}  // namespace

namespace {

TEST(PoomAddContact, AContactAddedWithoutAFileAsNameIsFiledUnderItsNames) {
    pal::testing::TempWorld world;
    emu::poom::Install(world.Device());
    auto id = [](const char* name) { return emu::poom::FindField(name)->id; };
    auto fileAsOf = [&](const emu::poom::ContactValues& values) {
        CEOID oid = emu::poom::AddContact(world.Device(), values);
        auto contact = emu::poom::FindContact(world.Device(), oid);
        return contact ? contact->fileAs : u"(none)";
    };
    EXPECT_EQ(fileAsOf({{id("FirstName"), u"Carol"}, {id("LastName"), u"Baker"}}), u"Baker, Carol");
    EXPECT_EQ(fileAsOf({{id("FirstName"), u"Carol"}}), u"Carol");
    EXPECT_EQ(fileAsOf({{id("CompanyName"), u"Baker & Sons"}, {id("Email1Address"), u"c@x.org"}}),
              u"Baker & Sons");
    EXPECT_EQ(fileAsOf({{id("Email1Address"), u"c@x.org"}}), u"c@x.org");
    // A name given is kept, an empty one is filled in.
    EXPECT_EQ(fileAsOf({{emu::poom::kFileAsProperty, u"CB"}, {id("LastName"), u"Baker"}}), u"CB");
    EXPECT_EQ(fileAsOf({{emu::poom::kFileAsProperty, u""}, {id("LastName"), u"Baker"}}), u"Baker");
}

}  // namespace

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

}  // namespace

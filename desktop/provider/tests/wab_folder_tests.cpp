// The contacts folder over the address book: enumeration, change stamps, the folder filter,
// conflicts, change advice and duplicates removal.
#include "contacts_fixture.h"

namespace trellium_testing {
namespace {

using emu::wab::kGroup;

class WabFolderTest : public ContactsTest {
protected:
    // The entry numbers the enumeration delivers, in order.
    std::vector<std::uint32_t> Enumerate(HRESULT* first = nullptr) {
        std::vector<std::uint32_t> ids;
        HREPLITEM item = nullptr;
        BOOL exists = FALSE;
        HRESULT result = m_folder->FindFirstItem(&item, &exists);
        if (first) *first = result;
        while (SUCCEEDED(result) && exists) {
            auto* contact = static_cast<CWABItem*>(FromHandle(item));
            ids.push_back(*emu::wab::EntryNumberOf(contact->EntryIdBytes(), contact->EntryIdSize()));
            m_store->FreeObject(item);
            result = m_folder->FindNextItem(&item, &exists);
        }
        m_folder->FindItemClose();
        return ids;
    }
};

TEST_F(WabFolderTest, AnEmptyBookAndABookOfGroupsEnumerateAsEmpty) {
    Start();
    HRESULT first = E_FAIL;
    EXPECT_TRUE(Enumerate(&first).empty());
    EXPECT_EQ(first, S_OK);
    emu::wab::AddEntry(m_world.Desktop(), kGroup, {Property::Text(PR_DISPLAY_NAME_A, "Team")});
    EXPECT_TRUE(Enumerate(&first).empty());
    EXPECT_EQ(first, S_OK);
    std::uint32_t ann = Contact({Property::Text(PR_DISPLAY_NAME_A, "Ann")});
    std::uint32_t bob = Contact({Property::Text(PR_DISPLAY_NAME_A, "Bob")});
    EXPECT_EQ(Enumerate(), (std::vector<std::uint32_t>{ann, bob}));
    EXPECT_EQ(emu::wab::LiveBuffers(), 0u);

    // A folder destroyed during an enumeration releases the table before its book.
    HREPLITEM item = nullptr;
    BOOL exists = FALSE;
    ASSERT_EQ(m_folder->FindFirstItem(&item, &exists), S_OK);
    m_store->FreeObject(item);
    EXPECT_EQ(emu::wab::LiveTables(), 1u);
    m_folder->Free();
    m_folder = nullptr;
    EXPECT_EQ(emu::wab::LiveTables(), 0u);
}

TEST_F(WabFolderTest, ChangeStampsTellEditsAndDeletedEntriesAreGone) {
    Start();
    m_world.Desktop().FreezeClock(0x01D5000000000000ull);
    std::uint32_t ann = Contact({Property::Text(PR_DISPLAY_NAME_A, "Ann")});
    CWABItem* item = Item(ann);
    EXPECT_FALSE(m_folder->IsItemChanged(ToHandle(item), nullptr));
    emu::wab::UpdateEntry(m_world.Desktop(), ann, {Property::Text(PR_COMPANY_NAME_A, "Acme")});
    EXPECT_TRUE(m_folder->IsItemChanged(ToHandle(item), nullptr));
    m_folder->UpdateItem(ToHandle(item), nullptr);
    EXPECT_FALSE(m_folder->IsItemChanged(ToHandle(item), nullptr));

    EXPECT_EQ(m_folder->IsValidObject(ToHandle(item)), S_OK);
    emu::wab::DeleteEntry(m_world.Desktop(), ann);
    EXPECT_EQ(m_folder->IsValidObject(ToHandle(item)), RERR_OBJECT_DELETED);
    EXPECT_FALSE(m_folder->IsItemChanged(ToHandle(item), nullptr));
}

TEST_F(WabFolderTest, OnlyTheFirstFolderOfAnEntryDecidesItsScope) {
    Start();
    pal::Machine& desktop = m_world.Desktop();
    std::uint32_t family = emu::wab::AddFolder(desktop, "Family");
    std::uint32_t work = emu::wab::AddFolder(desktop, "Work");
    std::uint32_t lower = emu::wab::AddFolder(desktop, "family");
    CWABItem* unfiled = Item(Contact({Property::Text(PR_DISPLAY_NAME_A, "Ann")}));
    CWABItem* workFirst = Item(Contact({Property::Text(PR_DISPLAY_NAME_A, "Bob")}, {work, family}));
    CWABItem* inFamily = Item(Contact({Property::Text(PR_DISPLAY_NAME_A, "Cy")}, {family}));
    CWABItem* inLower = Item(Contact({Property::Text(PR_DISPLAY_NAME_A, "Di")}, {lower}));

    EXPECT_TRUE(m_folder->IsItemReplicated(ToHandle(workFirst)));
    m_folder->m_filter.allFolders = 0;
    m_folder->m_filter.folders = {"Family"};
    EXPECT_TRUE(m_folder->IsItemReplicated(ToHandle(unfiled)));
    EXPECT_FALSE(m_folder->IsItemReplicated(ToHandle(workFirst)));
    EXPECT_TRUE(m_folder->IsItemReplicated(ToHandle(inFamily)));
    EXPECT_FALSE(m_folder->IsItemReplicated(ToHandle(inLower)));
    m_folder->m_filter.unfiled = 0;
    EXPECT_FALSE(m_folder->IsItemReplicated(ToHandle(unfiled)));
    EXPECT_EQ(emu::wab::LiveBuffers(), 0u);
}

TEST_F(WabFolderTest, ConflictDescriptionsAreTheDisplayNamesCutToTheirFields) {
    Start();
    std::string longName(600, 'x');
    CWABItem* local = Item(Contact({Property::Text(PR_DISPLAY_NAME_A, longName)}));
    CWABItem* remote = Item(Contact({Property::Text(PR_DISPLAY_NAME_A, "Bob")}));
    CONFINFO info = {};
    info.cbStruct = CBSTRUCT_CONFINFO;
    info.hLocalItem = ToHandle(local);
    info.hRemoteItem = ToHandle(remote);
    EXPECT_EQ(m_folder->GetConflictInfo(&info), S_OK);
    EXPECT_STREQ(info.szLocalName, "Contact");
    EXPECT_EQ(std::string(info.szLocalDesc), std::string(511, 'x'));
    EXPECT_STREQ(info.szRemoteDesc, "Bob");
}

TEST_F(WabFolderTest, BookChangesMarkTheFolderChangedOnce) {
    Start();
    EXPECT_TRUE(m_folder->IsFolderChanged());
    EXPECT_FALSE(m_folder->IsFolderChanged());
    Contact({Property::Text(PR_DISPLAY_NAME_A, "Ann")});
    EXPECT_TRUE(m_folder->IsFolderChanged());
    EXPECT_FALSE(m_folder->IsFolderChanged());
    // The folder's own writes raise no advice.
    CWABItem* item = nullptr;
    EXPECT_EQ(Apply(Build({{0x0080001F, u"Bob"}}), RSF_NEW_OBJECT, &item), S_OK);
    EXPECT_FALSE(m_folder->IsFolderChanged());
    EXPECT_EQ(emu::wab::AdviseCount(m_world.Desktop()), 1u);
    m_folder->Free();
    m_folder = nullptr;
    EXPECT_EQ(emu::wab::AdviseCount(m_world.Desktop()), 0u);
}

TEST_F(WabFolderTest, RemovingDuplicatesAsksForAnotherComparisonWhenAnyWent) {
    Start();
    std::uint32_t ann = Contact({Property::Text(PR_DISPLAY_NAME_A, "Ann")});
    auto& duplicates = m_store->m_contactsHandler->m_duplicates;
    std::vector<std::uint8_t> gone = emu::wab::EntryIdOf(9999);
    duplicates.push_back(gone);
    duplicates.push_back(emu::wab::EntryIdOf(ann));
    EXPECT_EQ(m_store->RemoveDuplicates(nullptr, 0), RERR_RESTART);
    EXPECT_TRUE(duplicates.empty());
    EXPECT_FALSE(emu::wab::FindEntry(m_world.Desktop(), ann));
    EXPECT_EQ(m_store->RemoveDuplicates(const_cast<LPSTR>("Address"), 0), S_OK);
}

}  // namespace
}  // namespace trellium_testing

namespace trellium_testing {
namespace {

class ListSeparatorTest : public ContactsTest {
protected:
    void SetDeviceList(const char16_t* list) {
        pal::ScopedContext device(m_world.Device());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"nls\\overrides", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, u"SList", 0, REG_SZ, reinterpret_cast<const BYTE*>(list),
                       static_cast<DWORD>((std::char_traits<char16_t>::length(list) + 1) * 2));
        RegCloseKey(key);
    }
    std::string Separator() {
        CWABFolder folder(m_store);
        return folder.m_separator;
    }
};

TEST_F(ListSeparatorTest, TheDeviceOverrideWinsAndOneTooLongFallsThrough) {
    EXPECT_EQ(Separator(), ",");
    Connect(Partner());
    SetDeviceList(u"; ");
    EXPECT_EQ(Separator(), "; ");
    // Five characters do not fit the field: the next source counts, not a cut-off text.
    SetDeviceList(u"abcde");
    EXPECT_EQ(Separator(), ",");
}

}  // namespace
}  // namespace trellium_testing

namespace trellium_testing {
namespace {

using NoBookTest = ContactsTest;

TEST_F(NoBookTest, WithoutABookEveryOperationFailsAndNothingIsWritten) {
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Microsoft\\WAB\\WAB4\\Wab File Name"),
              ERROR_SUCCESS);
    ASSERT_EQ(m_store->Initialize(m_notify, 0), S_OK);
    m_folder = new CWABFolder(m_store);
    EXPECT_EQ(m_folder->m_book, nullptr);
    EXPECT_EQ(m_folder->m_wab, nullptr);
    HREPLITEM item = nullptr;
    BOOL exists = TRUE;
    EXPECT_EQ(m_folder->FindFirstItem(&item, &exists), E_FAIL);
    EXPECT_FALSE(exists);
    CWABItem* fresh = nullptr;
    EXPECT_EQ(Apply(Build({{0x0080001F, u"Ann"}}), RSF_NEW_OBJECT, &fresh), E_UNEXPECTED);
    EXPECT_EQ(fresh, nullptr);
}

}  // namespace
}  // namespace trellium_testing

// The address book through its library, as the desktop provider reaches it: opening, tables,
// entry writes, change stamps, advice and name resolution.
#include <gtest/gtest.h>
#include <wab.h>
#include <windows.h>

#include <cstring>

#include "emu/wab/address_book.h"
#include "pal/runtime/machine.h"
#include "pal_testing/temp_world.h"

namespace {

using namespace emu::wab;

class AddressBookTest : public pal::testing::DesktopTest {
protected:
    AddressBookTest() {
        InstallAddressBook(m_world.Desktop());
        m_library = LoadLibraryA("C:\\Program Files\\Common Files\\System\\wab32.dll");
        auto open = reinterpret_cast<LPWABOPEN>(GetProcAddress(m_library, "WABOpen"));
        WAB_PARAM param = {};
        param.cbSize = WAB_PARAM_SIZE;
        EXPECT_EQ(open(&m_book, &m_wab, &param, 0), S_OK);
    }
    ~AddressBookTest() override {
        if (m_book) m_book->Release();
        if (m_wab) m_wab->Release();
        FreeLibrary(m_library);
    }

    IMailUser* Open(std::uint32_t id, ULONG flags = 0) {
        std::vector<std::uint8_t> entryId = EntryIdOf(id);
        ULONG type = 0;
        IUnknown* object = nullptr;
        if (FAILED(m_book->OpenEntry(static_cast<ULONG>(entryId.size()), entryId.data(), nullptr,
                                     flags, &type, &object)))
            return nullptr;
        return static_cast<IMailUser*>(object);
    }
    FILETIME Stamp(std::uint32_t id) {
        FILETIME time = {};
        // The entry is a copy: it must outlive the property read from it.
        auto entry = FindEntry(m_world.Desktop(), id);
        const Property* prop = entry->Find(PR_LAST_MODIFICATION_TIME);
        time.dwLowDateTime = static_cast<DWORD>(prop->number);
        time.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(prop->number) >> 32);
        return time;
    }

    HMODULE m_library = nullptr;
    IAddrBook* m_book = nullptr;
    IWABObject* m_wab = nullptr;
};

struct CountingSink : IMAPIAdviseSink {
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP_(ULONG) OnNotify(ULONG, LPNOTIFICATION) override { return ++calls, 0; }
    int calls = 0;
};

TEST_F(AddressBookTest, ContentsTableListsContactsAndGroupsButNoFolders) {
    pal::Machine& desktop = m_world.Desktop();
    std::uint32_t folder = AddFolder(desktop, "Family");
    std::uint32_t ann = AddEntry(desktop, kContact, {Property::Text(PR_DISPLAY_NAME_A, "Ann")},
                                 {folder});
    AddEntry(desktop, kGroup, {Property::Text(PR_DISPLAY_NAME_A, "Team")});

    ULONG size = 0;
    LPBYTE pab = nullptr;
    ASSERT_EQ(m_book->GetPAB(&size, &pab), S_OK);
    IUnknown* object = nullptr;
    ULONG type = 0;
    ASSERT_EQ(m_book->OpenEntry(size, pab, nullptr, 0, &type, &object), S_OK);
    m_wab->FreeBuffer(pab);
    auto* container = static_cast<IABContainer*>(object);
    IMAPITable* table = nullptr;
    ASSERT_EQ(container->GetContentsTable(WAB_PROFILE_CONTENTS | WAB_LOCAL_CONTAINERS, &table),
              S_OK);
    ULONG rows = 0;
    EXPECT_EQ(table->GetRowCount(0, &rows), S_OK);
    EXPECT_EQ(rows, 2u);
    SPropTagArray columns = {1, {PR_OBJECT_TYPE}};
    EXPECT_EQ(table->SetColumns(&columns, 0), S_OK);
    LPSRowSet set = nullptr;
    ASSERT_EQ(table->QueryRows(1, 0, &set), S_OK);
    ASSERT_EQ(set->cRows, 1u);
    EXPECT_EQ(set->aRow[0].lpProps[0].Value.l, MAPI_MAILUSER);
    m_wab->FreeBuffer(set->aRow[0].lpProps);
    m_wab->FreeBuffer(set);
    table->Release();
    container->Release();

    IMailUser* user = Open(ann);
    ASSERT_NE(user, nullptr);
    SPropTagArray parent = {1, {PR_WAB_FOLDER_PARENT}};
    ULONG count = 0;
    LPSPropValue props = nullptr;
    ASSERT_EQ(user->GetProps(&parent, 0, &count, &props), S_OK);
    ASSERT_EQ(props[0].Value.MVbin.cValues, 1u);
    std::vector<std::uint8_t> folderId = EntryIdOf(folder);
    EXPECT_EQ(std::memcmp(props[0].Value.MVbin.lpbin[0].lpb, folderId.data(), folderId.size()), 0);
    m_wab->FreeBuffer(props);
    user->Release();
    EXPECT_EQ(LiveBuffers(), 0u);
}

TEST_F(AddressBookTest, StampsIncreaseOnAFrozenClockAndSinksHearEveryChange) {
    pal::Machine& desktop = m_world.Desktop();
    desktop.FreezeClock(0x01D0000000000000ull);
    CountingSink sink;
    ULONG connection = 0;
    ASSERT_EQ(m_book->Advise(0, nullptr, fnevObjectModified, &sink, &connection), S_OK);
    EXPECT_NE(connection, 0u);
    std::uint32_t id = AddEntry(desktop, kContact, {Property::Text(PR_DISPLAY_NAME_A, "Ann")});
    FILETIME first = Stamp(id);

    IMailUser* user = Open(id, MAPI_MODIFY);
    ASSERT_NE(user, nullptr);
    SPropValue company = {PR_COMPANY_NAME_A, 0, {}};
    company.Value.lpszA = const_cast<LPSTR>("Acme");
    ASSERT_EQ(user->SetProps(1, &company, nullptr), S_OK);
    ASSERT_EQ(user->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    user->Release();
    FILETIME second = Stamp(id);
    EXPECT_EQ(CompareFileTime(&first, &second), -1);
    EXPECT_EQ(FindEntry(desktop, id)->TextOf(PR_COMPANY_NAME_A), "Acme");
    EXPECT_EQ(sink.calls, 2);

    ASSERT_EQ(m_book->Unadvise(connection), S_OK);
    UpdateEntry(desktop, id, {Property::Text(PR_TITLE_A, "Dr")});
    EXPECT_EQ(sink.calls, 2);
}

TEST_F(AddressBookTest, ReadOnlyEntriesRefuseWritesAndDeletedEntriesAreGone) {
    pal::Machine& desktop = m_world.Desktop();
    std::uint32_t id = AddEntry(desktop, kContact, {Property::Text(PR_DISPLAY_NAME_A, "Ann")});
    IMailUser* user = Open(id);
    SPropValue value = {PR_COMPANY_NAME_A, 0, {}};
    value.Value.lpszA = const_cast<LPSTR>("Acme");
    EXPECT_EQ(user->SetProps(1, &value, nullptr), MAPI_E_NO_ACCESS);
    user->Release();

    IUnknown* root = nullptr;
    ULONG type = 0;
    ASSERT_EQ(m_book->OpenEntry(0, nullptr, nullptr, 0, &type, &root), S_OK);
    std::vector<std::uint8_t> entryId = EntryIdOf(id);
    SBinary bin = {static_cast<ULONG>(entryId.size()), entryId.data()};
    ENTRYLIST list = {1, &bin};
    EXPECT_EQ(static_cast<IABContainer*>(root)->DeleteEntries(&list, 0), S_OK);
    EXPECT_EQ(static_cast<IABContainer*>(root)->DeleteEntries(&list, 0), MAPI_E_NOT_FOUND);
    root->Release();
    EXPECT_EQ(Open(id), nullptr);
}

TEST_F(AddressBookTest, ResolveNameIsUniqueAmbiguousOrNone) {
    pal::Machine& desktop = m_world.Desktop();
    std::uint32_t ann = AddEntry(desktop, kContact, {Property::Text(PR_DISPLAY_NAME_A, "Ann")});
    AddEntry(desktop, kContact, {Property::Text(PR_DISPLAY_NAME_A, "Bob")});
    AddEntry(desktop, kContact, {Property::Text(PR_DISPLAY_NAME_A, "bob")});
    auto resolve = [&](const char* name, std::vector<std::uint8_t>* entryId) {
        LPADRLIST list = nullptr;
        m_wab->AllocateBuffer(CbNewADRLIST(1), reinterpret_cast<LPVOID*>(&list));
        list->cEntries = 1;
        list->aEntries[0].cValues = 1;
        m_wab->AllocateBuffer(sizeof(SPropValue),
                              reinterpret_cast<LPVOID*>(&list->aEntries[0].lpProps));
        list->aEntries[0].lpProps[0].ulPropTag = PR_DISPLAY_NAME_A;
        list->aEntries[0].lpProps[0].Value.lpszA = const_cast<LPSTR>(name);
        HRESULT result = m_book->ResolveName(0, 0, nullptr, list);
        for (ULONG v = 0; v < list->aEntries[0].cValues; ++v)
            if (list->aEntries[0].lpProps[v].ulPropTag == PR_ENTRYID && entryId) {
                const SBinary& bin = list->aEntries[0].lpProps[v].Value.bin;
                entryId->assign(bin.lpb, bin.lpb + bin.cb);
            }
        m_wab->FreeBuffer(list->aEntries[0].lpProps);
        m_wab->FreeBuffer(list);
        return result;
    };
    std::vector<std::uint8_t> found;
    EXPECT_EQ(resolve("ann", &found), S_OK);
    EXPECT_EQ(found, EntryIdOf(ann));
    EXPECT_EQ(resolve("Bob", nullptr), MAPI_E_AMBIGUOUS_RECIP);
    EXPECT_EQ(resolve("Carol", nullptr), MAPI_E_NOT_FOUND);
    EXPECT_EQ(LiveBuffers(), 0u);
}

TEST_F(AddressBookTest, TheBookLivesInTheFileTheUserNames) {
    AddEntry(m_world.Desktop(), kContact, {Property::Text(PR_DISPLAY_NAME_A, "Ann")});
    std::filesystem::path file = BookFile(m_world.Desktop());
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(file.filename(), "User.wab");
}

}  // namespace

// The IReplStore slots that forward to folders and items, compare identifiers, and describe the
// object types; the class factory and the library's unload rule.
#include <cstring>

#include "class_factory.h"
#include "mail_item.h"
#include "store_fixture.h"
#include "wab_folder.h"
#include "wab_item.h"

STDAPI DllGetClassObject(REFCLSID, REFIID riid, LPVOID* ppv);
STDAPI DllCanUnloadNow();

namespace {

using trellium_testing::StoreTest;

HREPLFLD Folder(CStore* store, const char* type, HREPLFLD reuse = nullptr,
                IUnknown** handler = nullptr) {
    IUnknown* unused = nullptr;
    HREPLFLD folder = reuse;
    EXPECT_EQ(store->GetFolderInfo(const_cast<LPSTR>(type), &folder, handler ? handler : &unused),
              S_OK);
    return folder;
}

TEST_F(StoreTest, StoreIdsOrderShorterFirstThenUnsignedBytes) {
    BYTE five[5] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    BYTE six[6] = {0, 0, 0, 0, 0, 0};
    EXPECT_EQ(m_store->CompareStoreIDs(five, 5, six, 6), -1);
    EXPECT_EQ(m_store->CompareStoreIDs(six, 6, five, 5), 1);
    BYTE same[5] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(m_store->CompareStoreIDs(five, 5, same, 5), 0);
    same[4] = 0x7F;
    EXPECT_EQ(m_store->CompareStoreIDs(same, 5, five, 5), -1);
}

TEST_F(StoreTest, FolderInfoCreatesOneFolderPerTypeInAnyCase) {
    IUnknown* mailHandler = nullptr;
    HREPLFLD mail = Folder(m_store, "mESSAGE", nullptr, &mailHandler);
    ASSERT_NE(mail, nullptr);
    EXPECT_EQ(static_cast<CFolder*>(FromHandle(mail))->GetKind(), OBJECT_KIND_MAIL_FOLDER);
    EXPECT_EQ(static_cast<void*>(mailHandler), static_cast<void*>(m_store->m_mailHandler));
    BOOL changed = FALSE;
    EXPECT_EQ(m_store->IsFolderChanged(mail, &changed), S_OK);
    EXPECT_TRUE(changed);
    m_store->IsFolderChanged(mail, &changed);
    EXPECT_FALSE(changed);
    EXPECT_EQ(Folder(m_store, "Message", mail), mail);
    m_store->IsFolderChanged(mail, &changed);
    EXPECT_TRUE(changed);

    IUnknown* contactsHandler = nullptr;
    HREPLFLD contacts = Folder(m_store, "address", nullptr, &contactsHandler);
    EXPECT_EQ(static_cast<CFolder*>(FromHandle(contacts))->GetKind(), OBJECT_KIND_CONTACTS_FOLDER);
    EXPECT_EQ(static_cast<void*>(contactsHandler), static_cast<void*>(m_store->m_contactsHandler));
    IReplObjHandler* handler = nullptr;
    EXPECT_EQ(
        contactsHandler->QueryInterface(IID_IReplObjHandler, reinterpret_cast<void**>(&handler)),
        S_OK);
    EXPECT_EQ(handler->AddRef(), 0u);
    m_store->FreeObject(mail);
    m_store->FreeObject(contacts);
}

TEST_F(StoreTest, ObjectBytesGoThroughTheStore) {
    HREPLFLD mail = Folder(m_store, "Message");
    EXPECT_EQ(m_store->ObjectToBytes(mail, nullptr), 6u);
    EXPECT_EQ(m_store->ObjectToBytes(nullptr, nullptr), 0u);
    BYTE bytes[6];
    m_store->ObjectToBytes(mail, bytes);
    HREPLOBJ restored = m_store->BytesToObject(bytes, 6);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(static_cast<CFolder*>(FromHandle(restored))->m_store, m_store);
    m_store->FreeObject(restored);
    m_store->FreeObject(mail);
    m_store->FreeObject(nullptr);
}

TEST_F(StoreTest, CopyObjectOnlyBetweenObjectsOfOneKind) {
    CMailItem* message = new CMailItem();
    message->SetMessageId("12");
    message->m_version = 1;
    CWABItem* contact = new CWABItem();
    EXPECT_FALSE(m_store->CopyObject(ToHandle(message), ToHandle(contact)));
    EXPECT_EQ(contact->EntryIdSize(), 0u);
    EXPECT_STREQ(message->m_messageId, "12");

    CMailItem* copy = new CMailItem();
    copy->m_version = 1;
    EXPECT_TRUE(m_store->CopyObject(ToHandle(message), ToHandle(copy)));
    EXPECT_EQ(m_store->CompareItem(ToHandle(copy), ToHandle(message)), 0);
    // CopyFrom takes the source's version after the store set the destination's to 2.
    EXPECT_EQ(copy->m_version, 1);
    for (CReplObject* object :
         {static_cast<CReplObject*>(message), static_cast<CReplObject*>(contact),
          static_cast<CReplObject*>(copy)})
        m_store->FreeObject(ToHandle(object));
}

// An item that counts how often it is freed.
struct CountedItem : CMailItem {
    explicit CountedItem(int& frees) : m_frees(frees) {}
    void Free() override {
        ++m_frees;
        delete this;
    }
    int& m_frees;
};

TEST_F(StoreTest, FreeingAFolderFreesTheItemsItOwns) {
    int frees = 0;
    HREPLFLD contacts = Folder(m_store, "Address");
    auto* folder = static_cast<CFolder*>(FromHandle(contacts));
    folder->Own(new CountedItem(frees));
    folder->Own(new CountedItem(frees));
    m_store->FreeObject(contacts);
    EXPECT_EQ(frees, 2);
}

TEST_F(StoreTest, UnsupportedDialogsAndTypes) {
    HREPLFLD mail = Folder(m_store, "Message");
    EXPECT_EQ(m_store->ActivateDialog(1, nullptr, mail, nullptr), E_NOTIMPL);
    EXPECT_EQ(m_store->RemoveDuplicates(const_cast<LPSTR>("Message"), 0), E_NOTIMPL);
    EXPECT_EQ(m_store->RemoveDuplicates(const_cast<LPSTR>("ADDRESS"), 0), S_OK);
    EXPECT_EQ(m_store->RemoveDuplicates(nullptr, 0), S_OK);
    EXPECT_EQ(m_store->IsValidObject(nullptr, nullptr, 0), S_OK);
    HREPLFLD none = nullptr;
    IUnknown* handler = nullptr;
    EXPECT_EQ(m_store->GetFolderInfo(const_cast<LPSTR>("Calendar"), &none, &handler), E_INVALIDARG);
    EXPECT_EQ(none, nullptr);
    m_store->FreeObject(mail);
}

TEST_F(StoreTest, ConflictInfoChecksItsSizeAndIgnoresMailConflicts) {
    HREPLFLD mail = Folder(m_store, "Message");
    CONFINFO info = {};
    info.cbStruct = 1239;
    info.hFolder = mail;
    EXPECT_EQ(m_store->GetConflictInfo(&info), E_INVALIDARG);
    info.cbStruct = CBSTRUCT_CONFINFO;
    EXPECT_EQ(m_store->GetConflictInfo(&info), RERR_IGNORE);
    m_store->FreeObject(mail);
}

TEST_F(StoreTest, TypeUiDataNamesTheStoreAndTheFolderKind) {
    HREPLFLD mail = Folder(m_store, "Message");
    HREPLFLD contacts = Folder(m_store, "Address");
    OBJUIDATA data = {};
    data.cbStruct = 691;
    EXPECT_EQ(m_store->GetObjTypeUIData(mail, &data), E_INVALIDARG);
    data.cbStruct = CBSTRUCT_OBJUIDATA;
    ASSERT_EQ(m_store->GetObjTypeUIData(mail, &data), S_OK);
    EXPECT_STREQ(data.szName, "Outlook Express");
    EXPECT_STREQ(data.szTypeText, "Database");
    EXPECT_STREQ(data.szPlTypeText, "Databases");
    EXPECT_STREQ(data.szSyncText, "Internet Mail");
    ASSERT_EQ(m_store->GetObjTypeUIData(contacts, &data), S_OK);
    EXPECT_STREQ(data.szSyncText, "Address Book");
    m_store->FreeObject(mail);
    m_store->FreeObject(contacts);
}

TEST_F(StoreTest, ClassFactoryCreatesStoresAndKeepsTheLibraryLoaded) {
    IClassFactory* factory = nullptr;
    GUID anyClass = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(DllGetClassObject(anyClass, IID_IReplStore, reinterpret_cast<void**>(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(DllGetClassObject(anyClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);

    // Never called: the factory refuses an outer object before it creates anything.
    int outerObject = 0;
    auto* outerStandIn = reinterpret_cast<IUnknown*>(&outerObject);
    void* object = reinterpret_cast<void*>(1);
    LONG before = g_objectCount;
    EXPECT_EQ(factory->CreateInstance(outerStandIn, IID_IReplStore, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(g_objectCount, before);

    IReplStore* store = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IReplStore, reinterpret_cast<void**>(&store)),
              S_OK);
    EXPECT_EQ(store->Release(), 0u);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
}

}  // namespace

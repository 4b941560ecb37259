// The Inbox transport: its handler's answers, the factory and registration as the Inbox meets
// them, and the references the handler holds.
#include <gtest/gtest.h>

#include "emu/inbox/inbox.h"
#include "pal_testing/temp_world.h"
#include "transport_sync_handler.h"

namespace {

// A message store that only counts its references.
class CountedStore : public IMsgStore {
public:
    ULONG references = 1;
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP SaveChanges(ULONG) override { return E_NOTIMPL; }
    STDMETHODIMP GetProps(LPSPropTagArray, ULONG, ULONG*, LPSPropValue*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetPropList(ULONG, LPSPropTagArray*) override { return E_NOTIMPL; }
    STDMETHODIMP OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetProps(ULONG, LPSPropValue, LPSPropProblemArray*) override { return E_NOTIMPL; }
    STDMETHODIMP DeleteProps(LPSPropTagArray, LPSPropProblemArray*) override { return E_NOTIMPL; }
    STDMETHODIMP Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Unadvise(ULONG) override { return E_NOTIMPL; }
    STDMETHODIMP CompareEntryIDs(ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG, ULONG*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP OpenEntry(ULONG, LPENTRYID, LPCIID, ULONG, ULONG*, LPUNKNOWN*) override {
        return E_NOTIMPL;
    }
};

TEST(TransportHandler, CapabilitiesAreNotOfferedExceptTheMessageClass) {
    auto* handler = new CTransportSyncHandler;
    SPropValue value{};
    // Before initialisation the class is not known yet.
    value.Value.lpszW = reinterpret_cast<LPWSTR>(0x1);
    EXPECT_EQ(handler->GetCapability(u"syncmsgclassdef", &value), S_OK);
    EXPECT_EQ(value.Value.lpszW, nullptr);
    for (const char16_t* name : {u"connect", u"CLEARALL", u"SyncOnDockEvent", u"MgmtFolder"}) {
        value.Value.ul = 0xDEAD;
        EXPECT_EQ(handler->GetCapability(name, &value), S_OK);
        EXPECT_EQ(value.Value.ul, 0u);
    }
    value.Value.ul = 0xDEAD;
    EXPECT_EQ(handler->GetCapability(u"SyncFolders", &value), MAPI_E_NOT_FOUND);
    EXPECT_EQ(value.Value.ul, 0xDEADu);
    EXPECT_EQ(handler->GetCapability(nullptr, &value), E_INVALIDARG);
    EXPECT_EQ(handler->GetCapability(u"Sync", nullptr), E_INVALIDARG);

    void* untouched = &value;
    EXPECT_EQ(handler->QueryInterface(IID_IUnknown, &untouched), E_NOINTERFACE);
    EXPECT_EQ(untouched, &value);
    EXPECT_EQ(handler->ShutDown(0), S_OK);
    EXPECT_EQ(handler->Install(u"x", nullptr), E_FAIL);
    EXPECT_EQ(handler->DecodeEvent(nullptr, nullptr), MAPI_E_NOT_FOUND);
    EXPECT_EQ(handler->Disconnect(0), S_OK);
    EXPECT_EQ(handler->RenameFolder(nullptr), E_FAIL);
    EXPECT_EQ(handler->AddRef(), 2u);
    EXPECT_EQ(handler->Release(), 1u);
    EXPECT_EQ(handler->Release(), 0u);
}

TEST(TransportHandler, InitialisationHoldsItsObjectsOnceAndReleasesThemAtTheEnd) {
    inbox::Callback first, second;
    CountedStore firstStore, secondStore;
    auto* handler = new CTransportSyncHandler;
    EXPECT_EQ(handler->Initialize(nullptr, u"Kestrin", &firstStore), E_INVALIDARG);
    EXPECT_EQ(firstStore.references, 1u);
    EXPECT_EQ(handler->Initialize(&first, u"Kestrin", &firstStore), S_OK);
    EXPECT_EQ(first.HeldByOthers(), 1u);
    EXPECT_EQ(firstStore.references, 2u);
    SPropValue value{};
    EXPECT_EQ(handler->GetCapability(u"SyncMsgClassDef", &value), S_OK);
    ASSERT_NE(value.Value.lpszW, nullptr);
    EXPECT_EQ(std::u16string(value.Value.lpszW), u"IPM.Note");
    // A second initialisation lets go of what the first one took.
    EXPECT_EQ(handler->Initialize(&second, u"Other", &secondStore), S_OK);
    EXPECT_EQ(first.HeldByOthers(), 0u);
    EXPECT_EQ(firstStore.references, 1u);
    EXPECT_EQ(second.HeldByOthers(), 1u);
    EXPECT_EQ(secondStore.references, 2u);
    handler->Release();
    EXPECT_EQ(second.HeldByOthers(), 0u);
    EXPECT_EQ(secondStore.references, 1u);
}

class TransportLibraryTest : public pal::testing::DeviceTest {
protected:
    void Install(bool withInbox) {
        if (withInbox) inbox::InstallInbox(m_world.Device());
        ASSERT_EQ(inbox::InstallTransport(m_world.Device(),
                                          std::string(VELUMEX_MODULE_DIR) + "/KTtrans.so"),
                  S_OK);
    }
};

TEST_F(TransportLibraryTest, RegistrationNamesTheLibraryForTheAccountType) {
    Install(true);
    auto registration = inbox::ReadRegistration(u"Kestrin");
    ASSERT_TRUE(registration.has_value());
    EXPECT_EQ(registration->name, u"Kestrin");
    EXPECT_EQ(registration->library, u"\\Windows\\KTtrans.dll");
    EXPECT_EQ(registration->userCannotCreate, 1u);
    EXPECT_EQ(registration->carriesNotes, 1u);

    HMODULE module = LoadLibraryW(u"\\Windows\\KTtrans.dll");
    auto unregister =
        reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllUnregisterServer"));
    ASSERT_NE(unregister, nullptr);
    EXPECT_EQ(unregister(), S_OK);
    EXPECT_FALSE(inbox::ReadRegistration(u"Kestrin").has_value());
    EXPECT_EQ(unregister(), S_OK);
    FreeLibrary(module);
}

TEST_F(TransportLibraryTest, WithoutTheInboxKeyRegistrationWritesNothing) {
    Install(false);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, INBOX_SVC_KEY, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_FALSE(inbox::ReadRegistration(u"Kestrin").has_value());
}

TEST_F(TransportLibraryTest, TheFactoryServesOnlyItsAccountType) {
    Install(true);
    HMODULE module = LoadLibraryW(u"\\Windows\\KTtrans.dll");
    auto factory = reinterpret_cast<PONESTOPFACTORY>(GetProcAddress(module, "OneStopFactory"));
    ASSERT_NE(factory, nullptr);
    auto* stale = reinterpret_cast<IMailSyncHandler*>(0x1);
    IMailSyncHandler* handler = stale;
    EXPECT_EQ(factory(u"POP3", &handler), E_INVALIDARG);
    EXPECT_EQ(handler, nullptr);
    handler = stale;
    EXPECT_EQ(factory(nullptr, &handler), E_INVALIDARG);
    EXPECT_EQ(handler, nullptr);
    EXPECT_EQ(factory(u"Kestrin", nullptr), E_INVALIDARG);
    ASSERT_EQ(factory(u"KESTRIN", &handler), S_OK);
    ASSERT_NE(handler, nullptr);
    EXPECT_EQ(handler->Release(), 0u);
    FreeLibrary(module);
}

TEST_F(TransportLibraryTest, TheInboxOpensTheAccountAndLearnsItCarriesNotes) {
    Install(true);
    {
        inbox::Account account(u"Kestrin");
        ASSERT_EQ(account.Initialize(u"Kestrin", nullptr), S_OK);
        EXPECT_EQ(account.InboxCallback().HeldByOthers(), 1u);
        auto answer = account.Ask(u"SyncMsgClassDef", true);
        EXPECT_EQ(answer.result, S_OK);
        EXPECT_EQ(answer.text, u"IPM.Note");
        EXPECT_EQ(account.Ask(u"Sync", false).number, 0u);
        EXPECT_EQ(account.Ask(u"Folders", false).result, MAPI_E_NOT_FOUND);
    }
    EXPECT_THROW(inbox::Account(u"POP3"), inbox::InboxError);
}

}  // namespace

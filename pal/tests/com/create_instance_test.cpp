#include <windows.h>

#include <fstream>

#include "adder.h"
#include "pal/runtime/com_registry.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/module_install.h"
#include "pal/runtime/paths.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

DEFINE_GUID(kNoValue, 0x9A000001, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8);
DEFINE_GUID(kMissingFile, 0x9A000002, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8);
DEFINE_GUID(kNoClassObject, 0x9A000003, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8);
DEFINE_GUID(kNotALibrary, 0x9A000004, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8);
DEFINE_GUID(kUnregistered, 0x9A000005, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8);
DEFINE_GUID(CLSID_Elsewhere, 0x5D2A7C43, 0x9E0B, 0x4F63, 0x8A, 0x1D, 0x3C, 0x6E, 0x0F, 0x92, 0xB4,
            0x57);

// A class object an emulated product would register: its instances are the factory itself.
class ProductFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override { return --m_refs; }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID riid, void** ppv) override {
        ++m_created;
        return QueryInterface(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

    ULONG m_refs = 1;
    int m_created = 0;
};

class CreateInstance : public testing::DesktopTest {
protected:
    CreateInstance() { CoInitialize(nullptr); }
    ~CreateInstance() override { CoUninitialize(); }
};

TEST_F(CreateInstance, RegisteredClassObjectsServeEveryProcessOfTheirMachine) {
    ProductFactory factory;
    RegisterClassObject(CurrentMachine(), CLSID_Adder, &factory);
    EXPECT_EQ(factory.m_refs, 2u);

    IUnknown* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_Adder, nullptr, CLSCTX_ALL, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    EXPECT_EQ(object, static_cast<IUnknown*>(&factory));
    object->Release();
    {
        ScopedContext context(CurrentMachine(), CurrentMachine().CreateProcess(u"C:\\B.exe"));
        EXPECT_EQ(CoCreateInstance(CLSID_Adder, nullptr, CLSCTX_LOCAL_SERVER, IID_IClassFactory,
                                   reinterpret_cast<void**>(&object)),
                  S_OK);
        object->Release();
        // The factory's own answer comes back unchanged, with a null result.
        object = reinterpret_cast<IUnknown*>(&factory);
        EXPECT_EQ(CoCreateInstance(CLSID_Adder, nullptr, CLSCTX_INPROC_SERVER, IID_IAdder,
                                   reinterpret_cast<void**>(&object)),
                  E_NOINTERFACE);
        EXPECT_EQ(object, nullptr);
    }
    EXPECT_EQ(factory.m_created, 3);
    EXPECT_EQ(factory.m_refs, 2u);  // every reference CoCreateInstance took was released

    // Another machine does not see it.
    {
        ScopedContext device(m_world.Device());
        EXPECT_EQ(CoCreateInstance(CLSID_Adder, nullptr, CLSCTX_ALL, IID_IUnknown,
                                   reinterpret_cast<void**>(&object)),
                  REGDB_E_CLASSNOTREG);
    }
    RevokeClassObject(CurrentMachine(), CLSID_Adder);
}

TEST_F(CreateInstance, RevokingOrShuttingDownReleasesTheClassObject) {
    ProductFactory factory;
    RegisterClassObject(CurrentMachine(), CLSID_Adder, &factory);
    ProductFactory replacement;
    RegisterClassObject(CurrentMachine(), CLSID_Adder, &replacement);
    EXPECT_EQ(factory.m_refs, 1u);
    EXPECT_TRUE(RevokeClassObject(CurrentMachine(), CLSID_Adder));
    EXPECT_FALSE(RevokeClassObject(CurrentMachine(), CLSID_Adder));
    EXPECT_EQ(replacement.m_refs, 1u);
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_Adder, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);

    RegisterClassObject(m_world.Device(), CLSID_Adder, &factory);
    m_context.reset();
    m_world.Get().Close();
    EXPECT_EQ(factory.m_refs, 1u);
}

TEST_F(CreateInstance, RefusesUninitialisedThreadsAndBadArguments) {
    ProductFactory factory;
    RegisterClassObject(CurrentMachine(), CLSID_Adder, &factory);
    void* object = &factory;
    EXPECT_EQ(CoCreateInstance(CLSID_Adder, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(CoCreateInstance(CLSID_Adder, nullptr, 0, IID_IUnknown, &object), E_INVALIDARG);
    EXPECT_EQ(object, nullptr);
    CoUninitialize();
    object = &factory;
    EXPECT_EQ(CoCreateInstance(CLSID_Adder, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
    CoInitialize(nullptr);
    EXPECT_EQ(factory.m_created, 0);
    RevokeClassObject(CurrentMachine(), CLSID_Adder);
}

// Registers `path` as the in-process server of `clsid` (null: the key without its value).
void RegisterServer(REFCLSID clsid, const char16_t* path) {
    WCHAR text[39];
    StringFromGUID2(clsid, text, 39);
    std::u16string subkey = u"CLSID\\" + std::u16string(text) + u"\\InprocServer32";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (path) {
        DWORD size = static_cast<DWORD>((std::u16string_view(path).size() + 1) * sizeof(WCHAR));
        ASSERT_EQ(
            RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), size),
            ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

constexpr const char16_t* kServer = u"C:\\Program Files\\Velumex\\Adder.dll";

std::filesystem::path Fixture(const char* name) {
    return std::filesystem::path(VELUMEX_MODULE_DIR) / (std::string(name) + ".so");
}

template <class F>
F* Export(const char16_t* module, const char* name) {
    return reinterpret_cast<F*>(GetProcAddress(GetModuleHandleW(module), name));
}

TEST_F(CreateInstance, LoadsTheRegisteredServerOnceAndCreatesThroughItsFactory) {
    InstallModule(CurrentMachine(), Fixture("pal_fixture_adder_server"), kServer);
    RegisterServer(CLSID_Adder, kServer);
    IAdder* first = nullptr;
    IAdder* second = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_Adder, nullptr, CLSCTX_INPROC_SERVER, IID_IAdder,
                               reinterpret_cast<void**>(&first)),
              S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_Adder, nullptr, CLSCTX_ALL, IID_IAdder,
                               reinterpret_cast<void**>(&second)),
              S_OK);
    first->Add(2);
    first->Add(3);
    EXPECT_EQ(first->Total(), 5);
    EXPECT_EQ(second->Total(), 0);
    EXPECT_EQ(Export<LONG()>(u"Adder.dll", "AttachCount")(), 1);
    EXPECT_EQ(Export<LONG()>(u"Adder.dll", "ObjectCount")(), 2);
    first->Release();
    second->Release();
    EXPECT_EQ(Export<LONG()>(u"Adder.dll", "ObjectCount")(), 0);
    // A registry-only class has no local server.
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_Adder, nullptr, CLSCTX_LOCAL_SERVER, IID_IAdder, &object),
              REGDB_E_CLASSNOTREG);
}

TEST_F(CreateInstance, RegisteredClassObjectsComeBeforeTheRegistry) {
    InstallModule(CurrentMachine(), Fixture("pal_fixture_adder_server"), kServer);
    RegisterServer(CLSID_Adder, kServer);
    ProductFactory factory;
    RegisterClassObject(CurrentMachine(), CLSID_Adder, &factory);
    IUnknown* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_Adder, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    EXPECT_EQ(object, static_cast<IUnknown*>(&factory));
    object->Release();
    EXPECT_EQ(GetModuleHandleW(u"Adder.dll"), nullptr);
    RevokeClassObject(CurrentMachine(), CLSID_Adder);
}

TEST_F(CreateInstance, BrokenRegistrationsGiveTheirErrors) {
    Machine& machine = CurrentMachine();
    InstallModule(machine, Fixture("pal_fixture_adder_server"), kServer);
    InstallModule(machine, Fixture("pal_fixture_no_class_object"), u"C:\\Lib\\NoClass.dll");
    DWORD error = 0;
    std::ofstream(*ResolvePath(machine, u"C:\\Lib\\Text.dll", error)) << "text";
    RegisterServer(kNoValue, nullptr);
    RegisterServer(kMissingFile, u"C:\\Lib\\Missing.dll");
    RegisterServer(kNoClassObject, u"C:\\Lib\\NoClass.dll");
    RegisterServer(kNotALibrary, u"C:\\Lib\\Text.dll");
    RegisterServer(CLSID_Elsewhere, kServer);
    struct Case {
        const GUID& clsid;
        HRESULT expected;
    } cases[] = {
        {kUnregistered, REGDB_E_CLASSNOTREG}, {kNoValue, REGDB_E_CLASSNOTREG},
        {kMissingFile, CO_E_DLLNOTFOUND},     {kNoClassObject, CO_E_ERRORINDLL},
        {kNotALibrary, CO_E_ERRORINDLL},      {CLSID_Elsewhere, CLASS_E_CLASSNOTAVAILABLE},
    };
    for (auto& c : cases) {
        void* object = &error;
        EXPECT_EQ(CoCreateInstance(c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
                  c.expected)
            << std::hex << c.clsid.Data1;
        EXPECT_EQ(object, nullptr);
    }
}

}  // namespace
}  // namespace pal

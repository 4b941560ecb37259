// The engine's filter settings as the desktop registry holds them, and its sample filter's
// library.
#include <file_filter.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>

#include "activesync/filters.h"
#include "activesync/partnerships.h"
#include "pal/runtime/registry_store.h"
#include "pal_testing/temp_world.h"

namespace {

using namespace activesync;

class FilterSettingsTest : public pal::testing::DesktopTest {
protected:
    FilterSettingsTest() {
        m_id = CreatePartnership(m_world.Desktop(), m_world.Device(), u"PocketPC", 0x00ABCDEF).id;
    }
    // A string value read the way the desktop provider reads it.
    static std::string Read(const char* key, const char* name) {
        HKEY handle = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
            return "<no key>";
        char value[MAX_PATH] = {};
        DWORD size = sizeof value;
        DWORD type = 0;
        LONG result =
            RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<LPBYTE>(value), &size);
        RegCloseKey(handle);
        if (result != ERROR_SUCCESS) return "<no value>";
        return type == REG_SZ ? value : "<not a string>";
    }
    DWORD m_id = 0;
};

const char kFilters[] = "Software\\Microsoft\\Windows CE Services\\Partners\\00abcdef\\Filters";
const char kTxtFilters[] =
    "Software\\Microsoft\\Windows CE Services\\Partners\\00abcdef\\Filters\\.txt";

TEST_F(FilterSettingsTest, ExtensionFiltersPerDirection) {
    SetExtensionFilter(m_world.Desktop(), m_id, u".txt", FilterDirection::Import,
                       kTextToDeviceClass);
    SetExtensionFilter(m_world.Desktop(), m_id, u".txt", FilterDirection::Export, kNoConversion);
    EXPECT_EQ(Read(kTxtFilters, "DefaultImport"), "{8D3A51C0-4E2B-4F7A-9C61-2B5E7A0D1F01}");
    EXPECT_EQ(Read(kTxtFilters, "DefaultExport"), "Binary Copy");
    SetExtensionFilter(m_world.Desktop(), m_id, u".doc", FilterDirection::Export, kNoConversion);

    PartnershipFilters filters = ListFilters(m_world.Desktop(), m_id);
    ASSERT_EQ(filters.extensions.size(), 2u);
    EXPECT_EQ(filters.extensions[1].extension, u".txt");
    EXPECT_EQ(filters.extensions[1].import, kTextToDeviceClass);
    EXPECT_EQ(filters.extensions[1].exportFilter, kNoConversion);
    EXPECT_EQ(filters.extensions[0].import, u"");

    // An empty filter removes the value.
    SetExtensionFilter(m_world.Desktop(), m_id, u".txt", FilterDirection::Import, u"");
    EXPECT_EQ(Read(kTxtFilters, "DefaultImport"), "<no value>");
    EXPECT_EQ(Read(kTxtFilters, "DefaultExport"), "Binary Copy");
}

TEST_F(FilterSettingsTest, ConversionSwitch) {
    EXPECT_EQ(ListFilters(m_world.Desktop(), m_id).enableConversion, std::nullopt);
    SetConversionEnabled(m_world.Desktop(), m_id, false);
    EXPECT_EQ(ListFilters(m_world.Desktop(), m_id).enableConversion, 0u);
    SetConversionEnabled(m_world.Desktop(), m_id, true);
    EXPECT_EQ(ListFilters(m_world.Desktop(), m_id).enableConversion, 1u);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kFilters, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "EnableConversion", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    RegCloseKey(key);
}

TEST_F(FilterSettingsTest, BadRequestsChangeNothing) {
    EXPECT_THROW(SetConversionEnabled(m_world.Desktop(), 0x1234, false), PartnershipError);
    EXPECT_THROW(ListFilters(m_world.Desktop(), 0x1234), PartnershipError);
    EXPECT_THROW(SetExtensionFilter(m_world.Desktop(), 0x1234, u".txt", FilterDirection::Import,
                                    kNoConversion),
                 PartnershipError);
    for (const char16_t* extension : {u"txt", u".", u"", u".a\\b"})
        EXPECT_THROW(SetExtensionFilter(m_world.Desktop(), m_id, extension, FilterDirection::Import,
                                        kNoConversion),
                     std::invalid_argument);
    EXPECT_THROW(
        RegisterFilterClass(m_world.Desktop(), u"{1234}", u"x", FilterDirection::Import, u"vtx"),
        std::invalid_argument);
    EXPECT_THROW(RegisterFilterClass(m_world.Desktop(), kTextToDeviceClass, u"x",
                                     FilterDirection::Import, u".vtx"),
                 std::invalid_argument);
    EXPECT_TRUE(ListFilters(m_world.Desktop(), m_id).extensions.empty());
}

TEST_F(FilterSettingsTest, FilterClassKey) {
    const char16_t classText[] = u"{11111111-2222-3333-4444-555555555555}";
    std::u16string key = u"HKCR\\CLSID\\" + std::u16string(classText) + u"\\PegasusFilter";
    RegisterFilterClass(m_world.Desktop(), classText, u"Test", FilterDirection::Import, u"abc");
    pal::RegistryStore registry(m_world.Desktop());
    ASSERT_TRUE(registry.GetValue(key, u"NewExtension"));
    EXPECT_TRUE(registry.GetValue(key, u"Import"));
    EXPECT_FALSE(registry.GetValue(key, u"Export"));

    RegisterFilterClass(m_world.Desktop(), classText, u"Test", FilterDirection::Export, u"");
    EXPECT_FALSE(registry.GetValue(key, u"NewExtension"));
    EXPECT_FALSE(registry.GetValue(key, u"Import"));
    EXPECT_TRUE(registry.GetValue(key, u"Export"));
}

class SampleFilterTest : public pal::testing::DesktopTest {
protected:
    SampleFilterTest() {
        InstallTextFilter(m_world.Desktop());
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    }
    ~SampleFilterTest() override { CoUninitialize(); }

    static ICeFileFilter* Create(std::u16string_view classText) {
        CLSID clsid = {};
        EXPECT_EQ(CLSIDFromString(std::u16string(classText).c_str(), &clsid), S_OK);
        ICeFileFilter* filter = nullptr;
        HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICeFileFilter,
                                      reinterpret_cast<LPVOID*>(&filter));
        EXPECT_EQ(hr, S_OK);
        return filter;
    }
};

TEST_F(SampleFilterTest, BothClassesLoadFromTheInstalledLibrary) {
    EXPECT_NE(GetFileAttributesW(kTextFilterPath), INVALID_FILE_ATTRIBUTES);
    pal::RegistryStore registry(m_world.Desktop());
    auto extension = registry.GetValue(
        u"HKCR\\CLSID\\" + std::u16string(kTextToDeviceClass) + u"\\PegasusFilter",
        u"NewExtension");
    ASSERT_TRUE(extension);
    EXPECT_EQ(extension->data, (std::vector<BYTE>{'v', 0, 't', 0, 'x', 0, 0, 0}));

    for (auto classText : {kTextToDeviceClass, kDeviceToTextClass}) {
        ICeFileFilter* filter = Create(classText);
        ASSERT_NE(filter, nullptr);
        CFF_CONVERTINFO info = {};
        CFF_SOURCEFILE source = {};
        CFF_DESTINATIONFILE destination = {};
        PF_ERROR error = 0;
        EXPECT_EQ(filter->NextConvertFile(0, nullptr, &source, &destination, nullptr, &error),
                  E_POINTER);
        // No site in the information: nothing can be opened.
        EXPECT_EQ(filter->NextConvertFile(0, &info, &source, &destination, nullptr, &error),
                  E_POINTER);
        filter->Release();
    }

    IUnknown* object = nullptr;
    CLSID other = {};
    CLSIDFromString(u"{8D3A51C0-4E2B-4F7A-9C61-2B5E7A0D1F03}", &other);
    EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<LPVOID*>(&object)),
              REGDB_E_CLASSNOTREG);
}

TEST_F(SampleFilterTest, OnlyADesktopTakesIt) {
    EXPECT_THROW(InstallTextFilter(m_world.Device()), std::runtime_error);
}

}  // namespace

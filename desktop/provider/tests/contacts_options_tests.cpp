// The partnership's contacts options in the registry: defaults, the folder names and their byte
// form.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "pal_testing/temp_world.h"
#include "wab_options.h"

namespace trellium_testing {
namespace {

// Options kept under any partnership-like key of the desktop.
class ContactOptionsTest : public pal::testing::DesktopTest {
protected:
    ContactOptionsTest() {
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Velumex Test\\Partner", 0, nullptr,
                                  0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr),
                  ERROR_SUCCESS);
    }
    ~ContactOptionsTest() override { RegCloseKey(m_key); }

    std::vector<BYTE> Raw(const char* name, DWORD* type) {
        BYTE data[256] = {};
        DWORD size = sizeof data;
        EXPECT_EQ(RegGetValueBytes(name, data, &size, type), ERROR_SUCCESS);
        return std::vector<BYTE>(data, data + size);
    }
    LONG RegGetValueBytes(const char* name, BYTE* data, DWORD* size, DWORD* type) {
        HKEY options = nullptr;
        LONG result = RegOpenKeyExA(m_key, "KV.WinCE.OE.3", 0, KEY_READ, &options);
        if (result != ERROR_SUCCESS) return result;
        result = RegQueryValueExA(options, name, nullptr, type, data, size);
        RegCloseKey(options);
        return result;
    }
    void SetRaw(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY options = nullptr;
        ASSERT_EQ(RegCreateKeyExA(m_key, "KV.WinCE.OE.3", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &options, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(options, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(options);
    }

    HKEY m_key = nullptr;
};

TEST_F(ContactOptionsTest, WithoutTheSubkeyEverythingIsSynchronized) {
    ContactFolderFilter filter;
    LoadContactOptions(m_key, &filter);
    EXPECT_EQ(filter.allFolders, 1);
    EXPECT_EQ(filter.unfiled, 1);
    EXPECT_TRUE(filter.folders.empty());
}

TEST_F(ContactOptionsTest, ChosenFoldersRoundTripInSetOrder) {
    ContactFolderFilter saved;
    saved.allFolders = 0;
    saved.unfiled = 1;
    saved.folders = {"Work", "Family", "Work", "Book Club"};
    ASSERT_EQ(saved.folders.size(), 3u);
    ASSERT_EQ(SaveContactOptions(m_key, saved), ERROR_SUCCESS);

    DWORD type = 0;
    std::vector<BYTE> options = Raw("FolderOptions", &type);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(options, (std::vector<BYTE>{2, 0, 0, 0}));
    std::vector<BYTE> folders = Raw("Folders", &type);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    std::string expected("Book Club\0Family\0Work\0\0", 23);
    EXPECT_EQ(std::string(folders.begin(), folders.end()), expected);

    ContactFolderFilter loaded;
    LoadContactOptions(m_key, &loaded);
    EXPECT_EQ(loaded, saved);
}

TEST_F(ContactOptionsTest, NoFolderAndNothingUnfiledSavesZeroAndOneZeroByte) {
    ContactFolderFilter saved;
    saved.allFolders = 0;
    saved.unfiled = 0;
    ASSERT_EQ(SaveContactOptions(m_key, saved), ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(Raw("FolderOptions", &type), (std::vector<BYTE>{0, 0, 0, 0}));
    EXPECT_EQ(Raw("Folders", &type), (std::vector<BYTE>{0}));

    ContactFolderFilter loaded;
    loaded.folders = {"Stale"};
    LoadContactOptions(m_key, &loaded);
    EXPECT_EQ(loaded.allFolders, 0);
    EXPECT_EQ(loaded.unfiled, 0);
    EXPECT_TRUE(loaded.folders.empty());
}

TEST_F(ContactOptionsTest, FolderNamesAreReadOnlyWhenNotEverythingIsSynchronized) {
    DWORD all = 3;
    SetRaw("FolderOptions", REG_DWORD, &all, 4);
    SetRaw("Folders", REG_MULTI_SZ, "Work\0\0", 6);
    ContactFolderFilter filter;
    LoadContactOptions(m_key, &filter);
    EXPECT_EQ(filter.allFolders, 1);
    EXPECT_TRUE(filter.folders.empty());
}

TEST_F(ContactOptionsTest, NamesEndAtTheFirstEmptyOneOrAtTheValuesEnd) {
    DWORD chosen = 0;
    SetRaw("FolderOptions", REG_DWORD, &chosen, 4);
    SetRaw("Folders", REG_MULTI_SZ, "B\0A\0\0Hidden\0\0", 14);
    ContactFolderFilter filter;
    LoadContactOptions(m_key, &filter);
    EXPECT_EQ(filter.folders, (std::set<std::string>{"A", "B"}));

    // A value cut short of its terminators still yields its names, and nothing beyond it.
    SetRaw("Folders", REG_MULTI_SZ, "Work\0Home", 9);
    ContactFolderFilter cut;
    LoadContactOptions(m_key, &cut);
    EXPECT_EQ(cut.folders, (std::set<std::string>{"Home", "Work"}));
}

}  // namespace
}  // namespace trellium_testing

#include <cstring>
#include <string>

#include "resources_fixture.h"

namespace pal::testing {
namespace {

using LoadStringTest = ResourcesTest;

std::string Ansi(HMODULE module, UINT id, int size = 260) {
    std::string buffer(static_cast<size_t>(size), '\x7f');
    int count = LoadStringA(module, id, buffer.data(), size);
    EXPECT_EQ(std::strlen(buffer.c_str()), static_cast<size_t>(count)) << id;
    return buffer.substr(0, static_cast<size_t>(count));
}

std::u16string Wide(HMODULE module, UINT id, int size = 260) {
    std::u16string buffer(static_cast<size_t>(size), u'\x7f');
    INT_PTR count = LoadStringW(module, id, buffer.data(), size);
    EXPECT_EQ(std::u16string(buffer.c_str()).size(), static_cast<size_t>(count)) << id;
    return buffer.substr(0, static_cast<size_t>(count));
}

TEST_F(LoadStringTest, ReadsAcrossBlockBoundaries) {
    EXPECT_EQ(Ansi(m_module, IDS_REMOVING_DUPLICATES), "Removing duplicate contacts...");
    EXPECT_EQ(Ansi(m_module, IDS_CONTACTS_ELSEWHERE),
              "The device's contacts are synchronized by another program.");
    EXPECT_EQ(Ansi(m_module, IDS_MAIL_ELSEWHERE),
              "Mail of this device is synchronized with another computer.");
    EXPECT_EQ(Ansi(m_module, 15), "fifteen");
    EXPECT_EQ(Ansi(m_module, 16), "sixteen");
    EXPECT_EQ(Ansi(m_module, 17), "seventeen");
    EXPECT_EQ(Ansi(m_module, 1008), "Message");
    EXPECT_EQ(Ansi(m_module, 1009), "Messages");
    EXPECT_EQ(Ansi(m_module, 1010), "Contact");
    EXPECT_EQ(Ansi(m_module, 1011), "Contacts");
    EXPECT_EQ(Ansi(m_module, 1132), "Enter a number of lines from 5 to 9999.");
    EXPECT_EQ(Ansi(m_module, 1133), "Enter a number of days from 0 to 999.");
    EXPECT_EQ(Ansi(m_module, 1135), "Enter a size from 1 to 9999 KB.");
    EXPECT_EQ(Wide(m_module, 16), u"sixteen");
    EXPECT_EQ(Wide(m_module, 101),
              u"<characteristic type=\"%s\"><parm name=\"SERVICENAME\" value=\"%s\"/>"
              u"</characteristic>");
}

TEST_F(LoadStringTest, AnsiFormUsesCodePage1252) {
    // é and € exist in 1252 (0xE9, 0x80); α does not and becomes '?'.
    EXPECT_EQ(Ansi(m_module, IDS_UNFILED), "Contacts non class\xe9s \x80 ?");
    EXPECT_EQ(Wide(m_module, IDS_UNFILED), u"Contacts non class\u00e9s \u20ac \u03b1");
}

TEST_F(LoadStringTest, CopiesAtMostOneLessThanTheBuffer) {
    EXPECT_EQ(Ansi(m_module, 1008, 5), "Mess");
    EXPECT_EQ(Ansi(m_module, 1008, 8), "Message");
    EXPECT_EQ(Ansi(m_module, 1008, 7), "Messag");
    EXPECT_EQ(Ansi(m_module, 1008, 1), "");
    EXPECT_EQ(Wide(m_module, 1008, 5), u"Mess");
    EXPECT_EQ(Wide(m_module, 1008, 1), u"");
    EXPECT_EQ(Wide(m_module, IDS_UNFILED, 20), u"Contacts non class\u00e9");
}

TEST_F(LoadStringTest, MissingStringsGiveZeroAndAnEmptyBuffer) {
    for (UINT id : {8u, 14u, 31u, 1134u, 5000u, 0xFFFFu}) {
        SetLastError(0);
        EXPECT_EQ(Ansi(m_module, id), "") << id;
        EXPECT_EQ(GetLastError(), DWORD{ERROR_RESOURCE_NAME_NOT_FOUND}) << id;
        EXPECT_EQ(Wide(m_module, id), u"") << id;
    }
    char buffer[4] = "abc";
    EXPECT_EQ(LoadStringA(m_module, 1008, nullptr, 10), 0);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(LoadStringA(m_module, 1008, buffer, 0), 0);
    EXPECT_STREQ(buffer, "abc");
    // No resource library: no text.
    EXPECT_EQ(LoadStringA(nullptr, 1008, buffer, 4), 0);
    EXPECT_STREQ(buffer, "");
}

TEST_F(LoadStringTest, ZeroSizeBufferReceivesAPointerToTheText) {
    LPCWSTR text = nullptr;
    INT_PTR length = LoadStringW(m_module, 1009, reinterpret_cast<LPWSTR>(&text), 0);
    EXPECT_EQ(length, 8);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text, 8), u"Messages");
    EXPECT_EQ(LoadStringW(m_module, 1134, reinterpret_cast<LPWSTR>(&text), 0), 0);
}

using DeviceLoadStringTest = DeviceResourcesTest;

TEST_F(DeviceLoadStringTest, NullBufferReturnsTheReadOnlyText) {
    auto text = reinterpret_cast<LPCWSTR>(LoadStringW(m_module, IDS_TEMPLATE_REMOVE, nullptr, 0));
    ASSERT_NE(text, nullptr);
    std::u16string expected =
        u"<characteristic type=\"EMAIL2\"><nocharacteristic type=\"%s\"/></characteristic>";
    EXPECT_EQ(static_cast<size_t>(text[-1]), expected.size());  // length in the word before
    EXPECT_EQ(std::u16string(text), expected);                  // and usable as a format
    EXPECT_EQ(reinterpret_cast<LPCWSTR>(LoadStringW(m_module, IDS_TEMPLATE_REMOVE, nullptr, 0)),
              text);
    auto other = reinterpret_cast<LPCWSTR>(LoadStringW(m_module, 16, nullptr, 0));
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(std::u16string(other), u"sixteen");
    EXPECT_EQ(LoadStringW(m_module, 1134, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_RESOURCE_NAME_NOT_FOUND});
}

}  // namespace
}  // namespace pal::testing

#include <gtest/gtest.h>
#include <windows.h>

#include "pal/runtime/encoding.h"

namespace {

DEFINE_GUID(kSample, 0xB09BEBD5, 0x0544, 0x48E5, 0xBB, 0xA0, 0x7A, 0xAD, 0x15, 0x7B, 0x3A, 0xA0);

std::u16string Text(REFGUID guid) {
    WCHAR buffer[39];
    EXPECT_EQ(StringFromGUID2(guid, buffer, 39), 39);
    return buffer;
}

TEST(GuidText, WellKnownInterfacesHaveTheirWindowsValues) {
    EXPECT_EQ(Text(IID_IUnknown), u"{00000000-0000-0000-C000-000000000046}");
    EXPECT_EQ(Text(IID_IClassFactory), u"{00000001-0000-0000-C000-000000000046}");
}

TEST(GuidText, TextRoundTripsInEitherCase) {
    EXPECT_EQ(Text(kSample), u"{B09BEBD5-0544-48E5-BBA0-7AAD157B3AA0}");
    CLSID parsed;
    ASSERT_EQ(CLSIDFromString(u"{b09bebd5-0544-48e5-BBA0-7aad157b3aa0}", &parsed), S_OK);
    EXPECT_EQ(parsed, kSample);
    GUID edges = {0xFFFFFFFF, 0x0000, 0xFFFF, {0x00, 0xFF, 0x01, 0x10, 0x7F, 0x80, 0xFE, 0x0F}};
    ASSERT_EQ(CLSIDFromString(Text(edges).c_str(), &parsed), S_OK);
    EXPECT_EQ(parsed, edges);
}

TEST(GuidText, MalformedTextIsAClassStringErrorAndClearsTheResult) {
    const char16_t* malformed[] = {
        u"",
        u"B09BEBD5-0544-48e5-BBA0-7AAD157B3AA0",     // no braces
        u"{B09BEBD5-0544-48e5-BBA0-7AAD157B3AA0",    // unclosed
        u"{B09BEBD5-0544-48e5-BBA0-7AAD157B3AA0} ",  // trailing text
        u"{B09BEBD5-0544-48e5-BBA07AAD157B3AA0-}",   // hyphen misplaced
        u"{B09BEBD5-0544-48e5-BBA0-7AAD157B3AAG}",   // not hex
        u"{B09BEBD5-0544-48e5-BBA0-7AAD157B3AA}",    // short
        u"{+9BEBD5-0544-48e5-BBA0-7AAD157B3AA0}",    // sign
        u"KV.WinCE.OE.3",
    };
    for (const char16_t* text : malformed) {
        CLSID parsed = kSample;
        EXPECT_EQ(CLSIDFromString(text, &parsed), CO_E_CLASSSTRING) << pal::U8(text);
        EXPECT_EQ(parsed, CLSID{}) << pal::U8(text);
    }
    CLSID parsed = kSample;
    EXPECT_EQ(CLSIDFromString(nullptr, &parsed), S_OK);
    EXPECT_EQ(parsed, CLSID{});
    EXPECT_EQ(CLSIDFromString(u"{B09BEBD5-0544-48e5-BBA0-7AAD157B3AA0}", nullptr), E_INVALIDARG);
}

TEST(GuidText, StringFromGuid2NeedsRoomForTheTerminator) {
    WCHAR buffer[39];
    buffer[0] = u'x';
    EXPECT_EQ(StringFromGUID2(kSample, buffer, 38), 0);
    EXPECT_EQ(buffer[0], u'x');
    EXPECT_EQ(StringFromGUID2(kSample, buffer, 0), 0);
    EXPECT_EQ(StringFromGUID2(kSample, buffer, 39), 39);
    EXPECT_EQ(buffer[38], u'\0');
}

}  // namespace

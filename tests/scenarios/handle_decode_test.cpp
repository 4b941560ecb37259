// `velumex handle decode`: the fields of each kind and version, and truncated handles reported
// without reading past the bytes given.
#include "handle_decode.h"

#include <gtest/gtest.h>

#include "cli.h"

namespace {

using velumex::DecodeHandle;
using velumex::ParseHex;

TEST(HandleDecode, MailItemOfEachVersion) {
    std::string id(64 * 2, '0');
    id.replace(0, 4, "3132");
    std::string v2 = "0200 05000000 01000000 02000000 " + id + " 01000000";
    std::string text = DecodeHandle(ParseHex(v2)).text;
    EXPECT_NE(text.find("kind             5 (mail item)"), std::string::npos) << text;
    EXPECT_NE(text.find("received         0x0000000200000001"), std::string::npos);
    EXPECT_NE(text.find("message id       \"12\""), std::string::npos);
    EXPECT_NE(text.find("unread           1"), std::string::npos);

    std::string v1 = "0100 05000000 01000000 02000000 " + id;
    auto decoded = DecodeHandle(ParseHex(v1));
    EXPECT_EQ(decoded.text.find("unread"), std::string::npos) << decoded.text;
    EXPECT_EQ(decoded.text.find("truncated"), std::string::npos);
    EXPECT_TRUE(decoded.complete);

    // An identifier's bytes never break the line or pose as another field.
    std::string hostile = id;
    hostile.replace(0, 6, "0A2241");
    decoded = DecodeHandle(ParseHex("0100 05000000 01000000 02000000 " + hostile));
    EXPECT_NE(decoded.text.find("message id       \"\\x0A\\x22A\"\n"), std::string::npos)
        << decoded.text;
}

TEST(HandleDecode, ContactItemsAndTruncation) {
    std::string text =
        DecodeHandle(ParseHex("0200 01000000 02000000 ABCD 10000000 20000000")).text;
    EXPECT_NE(text.find("entry id         ABCD"), std::string::npos) << text;
    EXPECT_NE(text.find("modified         0x0000002000000010"), std::string::npos);

    text = DecodeHandle(ParseHex("0100 01000000 01020304 10000000 20000000")).text;
    EXPECT_NE(text.find("entry id         01020304"), std::string::npos) << text;

    // Every truncated handle says so in its text and in its flag (the command's exit status).
    for (const char* hex : {"0200 01000000 FFFFFFFF 00", "0200 05", "0200 05000000 0100",
                            "0200 01000000 02000000 ABCD 10000000"}) {
        auto decoded = DecodeHandle(ParseHex(hex));
        EXPECT_NE(decoded.text.find("truncated"), std::string::npos) << hex;
        EXPECT_FALSE(decoded.complete) << hex;
    }
    EXPECT_THROW(ParseHex("0G"), velumex::CliError);
}

}  // namespace

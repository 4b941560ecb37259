// vCard text: unfolding, escapes, types, versions and the round trip of every mapped field.
#include <gtest/gtest.h>

#include "cli.h"
#include "vcard.h"

namespace velumex {
namespace {

std::string Field(const VCardContact& card, const std::string& name) {
    for (const auto& [field, value] : card.fields)
        if (field == name) return value;
    return "(none)";
}

TEST(VCard, ReadsFoldedEscapedAndTypedPropertiesOfBothVersions) {
    std::string text =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\n  Lee\r\nN:Lee;Ann;Q;Dr.;\r\n"
        "item1.EMAIL;TYPE=INTERNET:a@x\r\nEMAIL;TYPE=INTERNET,PREF:b@x\r\n"
        "TEL;TYPE=WORK,VOICE:1\r\nTEL;TYPE=WORK:2\r\nTEL;TYPE=HOME,FAX:3\r\nTEL;TYPE=CELL:4\r\n"
        "ADR;TYPE=HOME:;;1 Main St;Springfield;IL;62701;USA\r\n"
        "ORG:Acme\\, Inc.;Sales\r\nNOTE:line one\\nline two\\; end\r\nBDAY:19700504\r\n"
        "X-UNKNOWN:ignored\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\nVERSION:4.0\nFN:Bo\nANNIVERSARY:2001-02-03\nEMAIL;PREF=1:c@x\nEND:VCARD\n";
    std::vector<VCardContact> cards = ParseVCards(text);
    ASSERT_EQ(cards.size(), 2u);
    const VCardContact& ann = cards[0];
    EXPECT_EQ(Field(ann, "name"), "Ann Lee");
    EXPECT_EQ(Field(ann, "last"), "Lee");
    EXPECT_EQ(Field(ann, "middle"), "Q");
    EXPECT_EQ(Field(ann, "prefix"), "Dr.");
    EXPECT_EQ(ann.emails, (std::vector<std::string>{"b@x", "a@x"}));
    EXPECT_EQ(Field(ann, "business-phone"), "1");
    EXPECT_EQ(Field(ann, "business2-phone"), "2");
    EXPECT_EQ(Field(ann, "home-fax"), "3");
    EXPECT_EQ(Field(ann, "mobile"), "4");
    EXPECT_EQ(Field(ann, "home-city"), "Springfield");
    EXPECT_EQ(Field(ann, "company"), "Acme, Inc.");
    EXPECT_EQ(Field(ann, "department"), "Sales");
    EXPECT_EQ(Field(ann, "notes"), "line one\nline two; end");
    EXPECT_EQ(Field(ann, "birthday"), "1970-05-04");
    EXPECT_EQ(Field(cards[1], "anniversary"), "2001-02-03");
    EXPECT_EQ(cards[1].emails, std::vector<std::string>{"c@x"});
}

TEST(VCard, WrittenCardsReadBackAlike) {
    VCardContact card;
    card.fields = {{"name", "Ann; Lee"}, {"first", "Ann"}, {"last", "Lee"},
                   {"company", "A,B"},   {"home-street", "1 Main"}, {"notes", "x\ny"},
                   {"birthday", "1970-05-04"}, {"webpage", "http://x/"}};
    card.emails = {"a@x", "b@x"};
    std::vector<VCardContact> back = ParseVCards(WriteVCard(card));
    ASSERT_EQ(back.size(), 1u);
    for (const auto& [field, value] : card.fields) EXPECT_EQ(Field(back[0], field), value) << field;
    EXPECT_EQ(back[0].emails, card.emails);
}

TEST(VCard, UnclosedOrUnversionedCardsAreRefused) {
    EXPECT_THROW(ParseVCards("BEGIN:VCARD\nVERSION:3.0\nFN:A\n"), CliError);
    EXPECT_THROW(ParseVCards("BEGIN:VCARD\nVERSION:2.1\nFN:A\nEND:VCARD\n"), CliError);
    EXPECT_THROW(ParseVCards("END:VCARD\n"), CliError);
    EXPECT_TRUE(ParseVCards("").empty());
}

}  // namespace
}  // namespace velumex

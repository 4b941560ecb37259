// Item and folder handle bytes: layout of every kind and version, reading back, ordering, and
// handles that are shorter than their kind requires.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "handle_bytes.h"
#include "mail_folder.h"
#include "mail_item.h"
#include "repl_object.h"
#include "wab_folder.h"
#include "wab_item.h"

namespace {

std::vector<BYTE> Bytes(CReplObject& object) {
    std::vector<BYTE> bytes(object.ToBytes(nullptr));
    EXPECT_EQ(object.ToBytes(bytes.data()), bytes.size());
    return bytes;
}

template <class T>
T* Load(const std::vector<BYTE>& bytes) {
    CReplObject* object = ObjectFromBytes(nullptr, bytes.data(), static_cast<UINT>(bytes.size()));
    return static_cast<T*>(object);
}

std::vector<BYTE> Header(WORD version, DWORD kind) {
    std::vector<BYTE> bytes(6);
    PutWord(bytes.data(), version);
    PutDword(bytes.data() + 2, kind);
    return bytes;
}

void Append32(std::vector<BYTE>& bytes, DWORD value) {
    BYTE raw[4];
    PutDword(raw, value);
    bytes.insert(bytes.end(), raw, raw + 4);
}

CMailItem MailItem(const char* id, DWORD low, DWORD high, DWORD unread) {
    CMailItem item;
    item.SetMessageId(id);
    item.m_received = {low, high};
    item.m_unread = unread;
    return item;
}

TEST(MailItemHandle, WritesVersionKindTimeIdentifierAndUnreadFlag) {
    CMailItem item = MailItem("1234", 0x11223344, 0x55667788, 1);
    EXPECT_EQ(item.ToBytes(nullptr), 82u);
    std::vector<BYTE> bytes = Bytes(item);
    ASSERT_EQ(bytes.size(), 82u);
    EXPECT_EQ(GetWord(&bytes[0]), 2);
    EXPECT_EQ(GetDword(&bytes[2]), 5u);
    EXPECT_EQ(GetDword(&bytes[6]), 0x11223344u);
    EXPECT_EQ(GetDword(&bytes[10]), 0x55667788u);
    EXPECT_STREQ(reinterpret_cast<const char*>(&bytes[14]), "1234");
    EXPECT_EQ(GetDword(&bytes[78]), 1u);
}

TEST(MailItemHandle, ReadsBackEqualWithTimeAndUnreadFlag) {
    CMailItem item = MailItem("987654", 7, 8, 1);
    CMailItem* loaded = Load<CMailItem>(Bytes(item));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetKind(), OBJECT_KIND_MAIL_ITEM);
    EXPECT_EQ(loaded->Compare(&item), 0);
    EXPECT_EQ(loaded->m_received.dwLowDateTime, 7u);
    EXPECT_EQ(loaded->m_received.dwHighDateTime, 8u);
    EXPECT_EQ(loaded->m_unread, 1u);
    EXPECT_EQ(loaded->m_version, 2);
    loaded->Free();
}

TEST(MailItemHandle, VersionOneHasNoUnreadFlagAndIsRewrittenAsVersionTwo) {
    std::vector<BYTE> bytes = Header(1, 5);
    Append32(bytes, 100);
    Append32(bytes, 200);
    char id[64] = "42";
    bytes.insert(bytes.end(), id, id + 64);
    ASSERT_EQ(bytes.size(), 78u);
    CMailItem* loaded = Load<CMailItem>(bytes);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->m_version, 1);
    EXPECT_EQ(loaded->m_unread, 0u);
    EXPECT_STREQ(loaded->m_messageId, "42");
    std::vector<BYTE> rewritten = Bytes(*loaded);
    EXPECT_EQ(rewritten.size(), 82u);
    EXPECT_EQ(GetWord(&rewritten[0]), 2);
    loaded->Free();
}

TEST(MailItemHandle, IdentifierWithoutTerminatorReadsAtMost63Characters) {
    CMailItem item = MailItem("1", 0, 0, 0);
    std::vector<BYTE> bytes = Bytes(item);
    std::memset(&bytes[14], '7', 64);
    CMailItem* loaded = Load<CMailItem>(bytes);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(std::strlen(loaded->m_messageId), 63u);
    loaded->Free();
}

TEST(MailItemHandle, ShortHandlesYieldNoObject) {
    std::vector<BYTE> whole = Bytes(*std::make_unique<CMailItem>(MailItem("5", 1, 2, 1)));
    for (size_t size = 0; size < whole.size(); ++size) {
        std::vector<BYTE> cut(whole.begin(), whole.begin() + size);
        EXPECT_EQ(ObjectFromBytes(nullptr, cut.data(), static_cast<UINT>(size)), nullptr) << size;
    }
    // A version-1 handle needs no unread flag, but everything before it.
    std::vector<BYTE> old(whole.begin(), whole.begin() + 78);
    PutWord(old.data(), 1);
    CReplObject* loaded = ObjectFromBytes(nullptr, old.data(), 78);
    ASSERT_NE(loaded, nullptr);
    loaded->Free();
    EXPECT_EQ(ObjectFromBytes(nullptr, old.data(), 77), nullptr);
}

TEST(MailItemOrder, IdentifiersCompareAsNumbers) {
    CMailItem nine = MailItem("9", 0, 0, 0);
    CMailItem ten = MailItem("10", 0, 0, 0);
    EXPECT_EQ(nine.Compare(&ten), -1);
    EXPECT_EQ(ten.Compare(&nine), 1);
    CMailItem otherTen = MailItem("10", 5, 5, 1);
    EXPECT_EQ(ten.Compare(&otherTen), 0);
}

TEST(MailItemCopy, TakesVersionIdentifierTimeAndFlag) {
    CMailItem source = MailItem("77", 3, 4, 1);
    source.m_version = 1;
    CMailItem destination;
    EXPECT_TRUE(destination.CopyFrom(&source));
    EXPECT_EQ(destination.m_version, 1);
    EXPECT_STREQ(destination.m_messageId, "77");
    EXPECT_EQ(destination.m_received.dwHighDateTime, 4u);
    EXPECT_EQ(destination.m_unread, 1u);
}

std::unique_ptr<CWABItem> ContactItem(std::vector<BYTE> entryId, DWORD low, DWORD high) {
    auto item = std::make_unique<CWABItem>();
    item->SetEntryId(entryId.data(), static_cast<DWORD>(entryId.size()));
    item->m_modified = {low, high};
    return item;
}

TEST(ContactItemHandle, WritesCountedIdentifierThenTime) {
    auto item = ContactItem({0xA1, 0xA2, 0xA3}, 0x01020304, 0x05060708);
    EXPECT_EQ(item->ToBytes(nullptr), 21u);
    std::vector<BYTE> bytes = Bytes(*item);
    EXPECT_EQ(GetWord(&bytes[0]), 2);
    EXPECT_EQ(GetDword(&bytes[2]), 1u);
    EXPECT_EQ(GetDword(&bytes[6]), 3u);
    EXPECT_EQ(bytes[10], 0xA1);
    EXPECT_EQ(bytes[12], 0xA3);
    EXPECT_EQ(GetDword(&bytes[13]), 0x01020304u);
    EXPECT_EQ(GetDword(&bytes[17]), 0x05060708u);

    CWABItem empty;
    EXPECT_EQ(empty.ToBytes(nullptr), 18u);
}

TEST(ContactItemHandle, ReadsBackEqual) {
    auto item = ContactItem(std::vector<BYTE>(24, 0x5A), 9, 10);
    CWABItem* loaded = Load<CWABItem>(Bytes(*item));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Compare(item.get()), 0);
    EXPECT_EQ(loaded->EntryIdSize(), 24u);
    EXPECT_EQ(loaded->m_modified.dwLowDateTime, 9u);
    loaded->Free();
}

TEST(ContactItemHandle, VersionsZeroAndOneCarryAFourByteIdentifier) {
    for (WORD version : {0, 1}) {
        std::vector<BYTE> bytes = Header(version, 1);
        bytes.insert(bytes.end(), {1, 2, 3, 4});
        Append32(bytes, 0x10);
        Append32(bytes, 0x20);
        CWABItem* loaded = Load<CWABItem>(bytes);
        ASSERT_NE(loaded, nullptr) << version;
        EXPECT_EQ(loaded->EntryIdSize(), 4u);
        EXPECT_EQ(loaded->EntryIdBytes()[3], 4);
        EXPECT_EQ(loaded->m_modified.dwHighDateTime, 0x20u);
        EXPECT_EQ(loaded->ToBytes(nullptr), 22u);
        loaded->Free();
    }
}

TEST(ContactItemHandle, CountBeyondTheBytesGivenYieldsNoObject) {
    std::vector<BYTE> whole = Bytes(*ContactItem({1, 2, 3, 4, 5}, 1, 2));
    for (size_t size = 0; size < whole.size(); ++size)
        EXPECT_EQ(ObjectFromBytes(nullptr, whole.data(), static_cast<UINT>(size)), nullptr) << size;
    for (DWORD count : {6u, 0x7FFFFFFFu, 0xFFFFFFF8u, 0xFFFFFFFFu}) {
        std::vector<BYTE> corrupt = whole;
        PutDword(&corrupt[6], count);
        EXPECT_EQ(ObjectFromBytes(nullptr, corrupt.data(), static_cast<UINT>(corrupt.size())),
                  nullptr)
            << count;
    }
}

TEST(ContactItemOrder, ShorterIdentifierFirstThenUnsignedBytes) {
    auto twenty = ContactItem(std::vector<BYTE>(20, 0xFF), 0, 0);
    auto twentyFour = ContactItem(std::vector<BYTE>(24, 0x00), 0, 0);
    EXPECT_EQ(twenty->Compare(twentyFour.get()), -1);
    EXPECT_EQ(twentyFour->Compare(twenty.get()), 1);
    auto low = ContactItem({0x7F, 0x00}, 0, 0);
    auto high = ContactItem({0x80, 0x00}, 0, 0);
    EXPECT_EQ(low->Compare(high.get()), -1);
    EXPECT_EQ(high->Compare(low.get()), 1);
    CWABItem none;
    EXPECT_EQ(none.Compare(low.get()), -1);
}

TEST(ContactItemCopy, CopiesIdentifierIntoItsOwnBlockAndKeepsVersion) {
    auto source = ContactItem({9, 8, 7}, 1, 2);
    CWABItem destination;
    destination.m_version = 1;
    EXPECT_TRUE(destination.CopyFrom(source.get()));
    EXPECT_EQ(destination.m_version, 1);
    EXPECT_EQ(destination.Compare(source.get()), 0);
    EXPECT_NE(destination.EntryIdBytes(), source->EntryIdBytes());
    source->SetEntryId(nullptr, 0);
    EXPECT_EQ(destination.EntryIdSize(), 3u);
}

TEST(FolderHandle, IsTheHeaderAloneAndRestoresAChangedFolder) {
    CMailFolder mail(nullptr);
    CWABFolder contacts(nullptr);
    EXPECT_EQ(mail.ToBytes(nullptr), 6u);
    EXPECT_EQ(contacts.ToBytes(nullptr), 6u);
    std::vector<BYTE> mailBytes = Bytes(mail);
    EXPECT_EQ(GetDword(&mailBytes[2]), 6u);
    EXPECT_EQ(GetDword(&Bytes(contacts)[2]), 2u);

    for (const auto& bytes : {mailBytes, Bytes(contacts)}) {
        auto* folder = static_cast<CFolder*>(
            ObjectFromBytes(nullptr, bytes.data(), static_cast<UINT>(bytes.size())));
        ASSERT_NE(folder, nullptr);
        EXPECT_TRUE(folder->IsFolderChanged());
        EXPECT_FALSE(folder->IsFolderChanged());
        folder->SetChanged();
        EXPECT_TRUE(folder->IsFolderChanged());
        folder->Free();
    }
}

TEST(FolderHandle, NewItemsAreEmptyItemsOfTheFolderKind) {
    CMailFolder mail(nullptr);
    CWABFolder contacts(nullptr);
    CItem* message = mail.NewItem();
    CItem* contact = contacts.NewItem();
    EXPECT_EQ(message->GetKind(), OBJECT_KIND_MAIL_ITEM);
    EXPECT_EQ(message->m_version, 2);
    EXPECT_EQ(contact->GetKind(), OBJECT_KIND_CONTACT);
    EXPECT_EQ(static_cast<CWABItem*>(contact)->EntryIdSize(), 0u);
    message->Free();
    contact->Free();
    EXPECT_STREQ(mail.GetObjTypeName(), "Message");
    EXPECT_STREQ(contacts.GetObjTypeName(), "Address");
}

TEST(HandleBytes, UnknownKindsAndHeaderlessBytesYieldNoObject) {
    for (DWORD kind : {0u, 3u, 4u, 7u, 0xFFFFFFFFu}) {
        std::vector<BYTE> bytes = Header(2, kind);
        bytes.resize(100);
        EXPECT_EQ(ObjectFromBytes(nullptr, bytes.data(), 100), nullptr) << kind;
    }
    EXPECT_EQ(ObjectFromBytes(nullptr, nullptr, 82), nullptr);
    std::vector<BYTE> folder = Header(2, 6);
    EXPECT_EQ(ObjectFromBytes(nullptr, folder.data(), 5), nullptr);
}

}  // namespace

#include "cemapi_fixture.h"
#include "pal/runtime/machine.h"

namespace emu::cemapi::testing {
namespace {

class Stores : public CemapiTest {};

TEST_F(Stores, LogonNeedsInitializeAndTheStoreTableNamesEachAccount) {
    Logoff();
    Ref<IMAPISession> session;
    EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, session.Out()), MAPI_E_NOT_INITIALIZED);
    EXPECT_FALSE(session);

    CreateStore(pal::CurrentMachine(), u"OUTLOOK EXPRESS");
    EXPECT_THROW(CreateStore(pal::CurrentMachine(), u"Outlook Express"), MessageStoreError);
    EXPECT_THROW(CreateStore(pal::CurrentMachine(), u""), MessageStoreError);
    Logon();
    Ref<IMAPITable> table;
    ASSERT_EQ(m_session->GetMsgStoresTable(MAPI_UNICODE, table.Out()), S_OK);
    SizedSPropTagArray(2, columns) = {2, {PR_DISPLAY_NAME_W, PR_SUBJECT_W}};
    ASSERT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
    LPSRowSet rows = nullptr;
    ASSERT_EQ(table->QueryRows(10, 0, &rows), S_OK);
    ASSERT_EQ(rows->cRows, 2u);
    EXPECT_EQ(std::u16string(rows->aRow[0].lpProps[0].Value.lpszW), u"Outlook Express");
    EXPECT_EQ(std::u16string(rows->aRow[1].lpProps[0].Value.lpszW), u"OUTLOOK EXPRESS");
    // A column the row lacks comes back as an error value.
    EXPECT_EQ(rows->aRow[0].lpProps[1].ulPropTag, CHANGE_PROP_TYPE(PR_SUBJECT_W, PT_ERROR));
    EXPECT_EQ(rows->aRow[0].lpProps[1].Value.err, MAPI_E_NOT_FOUND);
    FreeProws(rows);
    ASSERT_EQ(table->QueryRows(1, 0, &rows), S_OK);
    EXPECT_EQ(rows->cRows, 0u);
    FreeProws(rows);
    EXPECT_EQ(FindStore(pal::CurrentMachine(), u"outlook express")->number, m_storeNumber);
}

TEST_F(Stores, SixDistinctFoldersWithTheRootAsTheirParent) {
    const ULONG tags[] = {PR_IPM_SUBTREE_ENTRYID,     PR_CE_IPM_INBOX_ENTRYID,  PR_IPM_OUTBOX_ENTRYID,
                          PR_IPM_WASTEBASKET_ENTRYID, PR_CE_IPM_DRAFTS_ENTRYID, PR_IPM_SENTMAIL_ENTRYID};
    std::vector<std::vector<BYTE>> entries;
    for (ULONG tag : tags) entries.push_back(StoreEntry(tag));
    for (size_t i = 0; i < entries.size(); ++i)
        for (size_t j = i + 1; j < entries.size(); ++j) EXPECT_FALSE(Same(entries[i], entries[j]));
    Ref<IMAPIFolder> inbox;
    OpenFolder(PR_CE_IPM_INBOX_ENTRYID, inbox);
    auto parent = Prop(inbox.Get(), PR_PARENT_ENTRYID);
    EXPECT_TRUE(Same(std::vector<BYTE>(parent->Value.bin.lpb, parent->Value.bin.lpb + parent->Value.bin.cb),
                     entries[0]));
    EXPECT_EQ(std::u16string(Prop(inbox.Get(), PR_DISPLAY_NAME_W)->Value.lpszW), u"Inbox");
    // Identifiers that are none of a store's are refused, not compared.
    BYTE junk[8] = {};
    ULONG result = 0;
    EXPECT_EQ(m_session->CompareEntryIDs(sizeof junk, reinterpret_cast<LPENTRYID>(junk),
                                         static_cast<ULONG>(entries[0].size()),
                                         reinterpret_cast<LPENTRYID>(entries[0].data()), 0, &result),
              MAPI_E_INVALID_ENTRYID);
}

TEST_F(Stores, NewMessagesAreNotesAndWritesNeedModifyAccess) {
    auto entry = NewMessage(PR_CE_IPM_INBOX_ENTRYID, W("Hello"));
    Ref<IMessage> message;
    OpenMessage(entry, 0, message);
    EXPECT_EQ(std::u16string(Prop(message.Get(), PR_MESSAGE_CLASS_W)->Value.lpszW), u"IPM.Note");
    EXPECT_EQ(std::u16string(Prop(message.Get(), PR_SUBJECT_W)->Value.lpszW), u"Hello");
    EXPECT_EQ(Prop(message.Get(), PR_MSG_STATUS)->Value.l, 0);
    SPropValue status = Long(PR_MSG_STATUS, 0x1000);
    EXPECT_EQ(message->SetProps(1, &status, nullptr), MAPI_E_NO_ACCESS);

    OpenMessage(entry, MAPI_BEST_ACCESS, message);
    FILETIME when{0x11223344, 0x01D00000};
    SPropValue values[3] = {status, Text(PR_SENDER_NAME_W, W("Ann")), {}};
    values[2].ulPropTag = PR_MESSAGE_DELIVERY_TIME;
    values[2].Value.ft = when;
    ASSERT_EQ(message->SetProps(3, values, nullptr), S_OK);
    // Visible at once to another opening, with no SaveChanges.
    Ref<IMessage> other;
    OpenMessage(entry, 0, other);
    SizedSPropTagArray(4, tags) = {4, {PR_MSG_STATUS, PR_SENDER_NAME_W, PR_MESSAGE_DELIVERY_TIME, PR_BODY_W}};
    ULONG count = 0;
    LPSPropValue read = nullptr;
    ASSERT_EQ(other->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count, &read),
              MAPI_W_ERRORS_RETURNED);
    ASSERT_EQ(count, 4u);
    EXPECT_EQ(read[0].Value.l, 0x1000);
    EXPECT_EQ(std::u16string(read[1].Value.lpszW), u"Ann");
    EXPECT_EQ(read[2].Value.ft.dwLowDateTime, when.dwLowDateTime);
    EXPECT_EQ(read[2].Value.ft.dwHighDateTime, when.dwHighDateTime);
    EXPECT_EQ(read[3].ulPropTag, CHANGE_PROP_TYPE(PR_BODY_W, PT_ERROR));
    MAPIFreeBuffer(read);
    EXPECT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
}

TEST_F(Stores, MessagesKeepTheirIdentifiersAcrossMovesAndReopening) {
    auto entry = NewMessage(PR_CE_IPM_INBOX_ENTRYID, W("Keep"));
    auto kept = NewMessage(PR_CE_IPM_INBOX_ENTRYID, W("Copy me"));
    Ref<IMAPIFolder> inbox, deleted;
    OpenFolder(PR_CE_IPM_INBOX_ENTRYID, inbox);
    OpenFolder(PR_IPM_WASTEBASKET_ENTRYID, deleted);
    SBinary bins[2] = {{static_cast<ULONG>(entry.size()), entry.data()},
                       {static_cast<ULONG>(kept.size()), kept.data()}};
    ENTRYLIST list{1, &bins[0]};
    ASSERT_EQ(inbox->CopyMessages(&list, nullptr, deleted.Get(), 0, nullptr, MAPI_MOVE), S_OK);
    // A message that is not in the folder is reported, not moved.
    EXPECT_EQ(inbox->CopyMessages(&list, nullptr, deleted.Get(), 0, nullptr, MAPI_MOVE),
              MAPI_W_PARTIAL_COMPLETION);
    ENTRYLIST copyList{1, &bins[1]};
    ASSERT_EQ(inbox->CopyMessages(&copyList, nullptr, deleted.Get(), 0, nullptr, 0), S_OK);

    Ref<IMessage> message;
    OpenMessage(entry, 0, message);
    EXPECT_TRUE(Same(Entry(message.Get()), entry));
    auto parent = Prop(message.Get(), PR_PARENT_ENTRYID);
    EXPECT_TRUE(Same(std::vector<BYTE>(parent->Value.bin.lpb, parent->Value.bin.lpb + parent->Value.bin.cb),
                     StoreEntry(PR_IPM_WASTEBASKET_ENTRYID)));
    message.Reset();
    inbox.Reset();
    deleted.Reset();

    Logoff();
    Reopen();
    Logon();
    OpenMessage(entry, 0, message);
    EXPECT_EQ(std::u16string(Prop(message.Get(), PR_SUBJECT_W)->Value.lpszW), u"Keep");
    std::vector<MessageInfo> listed = ListMessages(pal::CurrentMachine(), m_storeNumber);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0].folder, FolderKind::DeletedItems);
    EXPECT_EQ(listed[1].folder, FolderKind::Inbox);
    EXPECT_EQ(listed[2].folder, FolderKind::DeletedItems);
    EXPECT_EQ(listed[2].subject, u"Copy me");
    EXPECT_FALSE(Same(listed[2].entryId, kept));

    // A deleted message's identifier is never given to a new one.
    OpenFolder(PR_IPM_WASTEBASKET_ENTRYID, deleted);
    ASSERT_EQ(deleted->DeleteMessages(&list, 0, nullptr, 0), S_OK);
    message.Reset();
    OpenMessage(entry, 0, message, MAPI_E_NOT_FOUND);
    auto fresh = NewMessage(PR_CE_IPM_INBOX_ENTRYID, W("Fresh"));
    EXPECT_FALSE(Same(fresh, entry));
    for (const auto& info : ListMessages(pal::CurrentMachine(), m_storeNumber))
        EXPECT_FALSE(Same(info.entryId, entry));
}

TEST_F(Stores, ContentsTableListsTheFolderMessagesWithTheirClass) {
    NewMessage(PR_CE_IPM_INBOX_ENTRYID, W("one"));
    NewMessage(PR_IPM_OUTBOX_ENTRYID, W("elsewhere"));
    auto second = NewMessage(PR_CE_IPM_INBOX_ENTRYID, W("two"));
    Ref<IMessage> message;
    OpenMessage(second, MAPI_MODIFY, message);
    SPropValue longer = Text(PR_MESSAGE_CLASS_W, W("IPM.Note.Custom"));
    ASSERT_EQ(message->SetProps(1, &longer, nullptr), S_OK);
    Ref<IMAPIFolder> inbox;
    OpenFolder(PR_CE_IPM_INBOX_ENTRYID, inbox);
    Ref<IMAPITable> table;
    ASSERT_EQ(inbox->GetContentsTable(0, table.Out()), S_OK);
    ULONG count = 0;
    ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
    EXPECT_EQ(count, 2u);
    SizedSPropTagArray(2, columns) = {2, {PR_ENTRYID, PR_MESSAGE_CLASS_W}};
    ASSERT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
    LPSRowSet rows = nullptr;
    ASSERT_EQ(table->QueryRows(5, 0, &rows), S_OK);
    ASSERT_EQ(rows->cRows, 2u);
    EXPECT_EQ(std::u16string(rows->aRow[0].lpProps[1].Value.lpszW), u"IPM.Note");
    EXPECT_EQ(std::u16string(rows->aRow[1].lpProps[1].Value.lpszW), u"IPM.Note.Custom");
    FreeProws(rows);
}

}  // namespace
}  // namespace emu::cemapi::testing

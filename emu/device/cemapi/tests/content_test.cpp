#include <cstring>

#include "cemapi_fixture.h"
#include "pal/runtime/machine.h"

namespace emu::cemapi::testing {
namespace {

class Content : public CemapiTest {
protected:
    void WriteStream(IMAPIProp* object, ULONG tag, ULONG flags, const void* data, ULONG size) {
        Ref<IStream> stream;
        ASSERT_EQ(object->OpenProperty(tag, &IID_IStream, STGM_WRITE, flags,
                                       reinterpret_cast<LPUNKNOWN*>(stream.Out())),
                  S_OK);
        ULONG written = 0;
        ASSERT_EQ(stream->Write(data, size, &written), S_OK);
        EXPECT_EQ(written, size);
    }
    std::vector<BYTE> ReadStream(IMAPIProp* object, ULONG tag) {
        Ref<IStream> stream;
        EXPECT_EQ(object->OpenProperty(tag, &IID_IStream, STGM_READ, 0,
                                       reinterpret_cast<LPUNKNOWN*>(stream.Out())),
                  S_OK);
        if (!stream) return {};
        STATSTG stat{};
        EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
        std::vector<BYTE> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
        ULONG read = 0;
        EXPECT_EQ(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read), S_OK);
        EXPECT_EQ(read, bytes.size());
        return bytes;
    }
};

TEST_F(Content, BodyStreamsTruncateOnlyWhenCreating) {
    auto entry = NewMessage(PR_CE_IPM_INBOX_ENTRYID, W("body"));
    Ref<IMessage> message;
    OpenMessage(entry, MAPI_BEST_ACCESS, message);
    const char16_t long_text[] = u"a long first body";
    WriteStream(message.Get(), PR_BODY_W, MAPI_CREATE | MAPI_MODIFY, long_text, 17 * 2);
    EXPECT_EQ(std::u16string(Prop(message.Get(), PR_BODY_W)->Value.lpszW), u"a long first body");

    // Writing without creation overwrites from the start and keeps the rest.
    WriteStream(message.Get(), PR_BODY_W, MAPI_MODIFY, u"A", 2);
    EXPECT_EQ(std::u16string(Prop(message.Get(), PR_BODY_W)->Value.lpszW), u"A long first body");

    // Creation discards the old text, even when nothing is written.
    WriteStream(message.Get(), PR_BODY_W, MAPI_CREATE | MAPI_MODIFY, u"short", 10);
    auto bytes = ReadStream(message.Get(), PR_BODY_W);
    EXPECT_EQ(bytes.size(), 10u);
    {
        Ref<IStream> stream;
        ASSERT_EQ(message->OpenProperty(PR_BODY_W, &IID_IStream, 0, MAPI_CREATE | MAPI_MODIFY,
                                        reinterpret_cast<LPUNKNOWN*>(stream.Out())),
                  S_OK);
    }
    EXPECT_TRUE(ReadStream(message.Get(), PR_BODY_W).empty());

    // A message opened for reading gives read-only streams and refuses writable ones.
    Ref<IMessage> reader;
    OpenMessage(entry, 0, reader);
    Ref<IStream> stream;
    EXPECT_EQ(reader->OpenProperty(PR_BODY_W, &IID_IStream, 0, MAPI_MODIFY,
                                   reinterpret_cast<LPUNKNOWN*>(stream.Out())),
              MAPI_E_NO_ACCESS);
    ASSERT_EQ(reader->OpenProperty(PR_BODY_W, &IID_IStream, 0, 0, reinterpret_cast<LPUNKNOWN*>(stream.Out())),
              S_OK);
    ULONG written = 1;
    EXPECT_EQ(stream->Write("x", 1, &written), STG_E_ACCESSDENIED);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(reader->OpenProperty(PR_SUBJECT_W, &IID_IStream, 0, 0, reinterpret_cast<LPUNKNOWN*>(stream.Out())),
              S_OK);
    EXPECT_EQ(reader->OpenProperty(PR_SENDER_NAME_W, &IID_IStream, 0, 0,
                                   reinterpret_cast<LPUNKNOWN*>(stream.Out())),
              MAPI_E_NOT_FOUND);
}

TEST_F(Content, RecipientsAreAddedModifiedAndRemovedByRow) {
    auto entry = NewMessage(PR_IPM_OUTBOX_ENTRYID, W("to three"));
    Ref<IMessage> message;
    OpenMessage(entry, MAPI_BEST_ACCESS, message);
    LPADRLIST list = nullptr;
    ASSERT_EQ(MAPIAllocateBuffer(static_cast<ULONG>(CbNewADRLIST(3)), reinterpret_cast<LPVOID*>(&list)), S_OK);
    list->cEntries = 3;
    const WCHAR* addresses[] = {W("a@x.com"), W("b@x.com"), W("c@x.com")};
    const LONG types[] = {MAPI_TO, MAPI_TO, MAPI_CC};
    for (int i = 0; i < 3; ++i) {
        LPSPropValue values = nullptr;
        ASSERT_EQ(MAPIAllocateBuffer(3 * sizeof(SPropValue), reinterpret_cast<LPVOID*>(&values)), S_OK);
        values[0] = Long(PR_RECIPIENT_TYPE, types[i]);
        values[1] = Text(PR_EMAIL_ADDRESS_W, addresses[i]);
        values[2] = Text(PR_ADDRTYPE_W, W("SMTP"));
        list->aEntries[i] = ADRENTRY{0, 3, values};
    }
    ASSERT_EQ(message->ModifyRecipients(MODRECIP_ADD, list), S_OK);
    for (ULONG i = 0; i < list->cEntries; ++i) MAPIFreeBuffer(list->aEntries[i].rgPropVals);
    MAPIFreeBuffer(list);

    auto rowsOf = [&] {
        Ref<IMAPITable> table;
        EXPECT_EQ(message->GetRecipientTable(MAPI_UNICODE, table.Out()), S_OK);
        SizedSPropTagArray(3, columns) = {3, {PR_ROWID, PR_RECIPIENT_TYPE, PR_EMAIL_ADDRESS_W}};
        EXPECT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
        std::vector<std::tuple<LONG, LONG, std::u16string>> rows;
        for (;;) {
            LPSRowSet set = nullptr;
            EXPECT_EQ(table->QueryRows(1, 0, &set), S_OK);
            if (!set || set->cRows == 0) {
                FreeProws(set);
                return rows;
            }
            const SPropValue* v = set->aRow[0].lpProps;
            rows.emplace_back(v[0].Value.l, v[1].Value.l, v[2].Value.lpszW);
            FreeProws(set);
        }
    };
    auto rows = rowsOf();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(std::get<1>(rows[2]), MAPI_CC);
    EXPECT_EQ(std::get<2>(rows[1]), u"b@x.com");

    // Remove the first by its row id; change the second.
    ADRLIST one{};
    SPropValue rowid = Long(PR_ROWID, std::get<0>(rows[0]));
    one.cEntries = 1;
    one.aEntries[0] = ADRENTRY{0, 1, &rowid};
    ASSERT_EQ(message->ModifyRecipients(MODRECIP_REMOVE, &one), S_OK);
    SPropValue changed[3] = {Long(PR_ROWID, std::get<0>(rows[1])), Long(PR_RECIPIENT_TYPE, MAPI_BCC),
                             Text(PR_EMAIL_ADDRESS_W, W("d@x.com"))};
    one.aEntries[0] = ADRENTRY{0, 3, changed};
    ASSERT_EQ(message->ModifyRecipients(MODRECIP_MODIFY, &one), S_OK);
    rows = rowsOf();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(std::get<1>(rows[0]), MAPI_BCC);
    EXPECT_EQ(std::get<2>(rows[0]), u"d@x.com");
    ASSERT_EQ(message->ModifyRecipients(MODRECIP_REMOVE, &one), S_OK);
    EXPECT_EQ(message->ModifyRecipients(MODRECIP_REMOVE, &one), MAPI_E_NOT_FOUND);

    // A call that fails part way leaves every recipient as it was: the last one stays although
    // it was named before the row that is gone.
    LPADRLIST two = nullptr;
    ASSERT_EQ(MAPIAllocateBuffer(static_cast<ULONG>(CbNewADRLIST(2)), reinterpret_cast<LPVOID*>(&two)), S_OK);
    SPropValue last = Long(PR_ROWID, std::get<0>(rows[1]));
    SPropValue gone = Long(PR_ROWID, std::get<0>(rows[0]));
    two->cEntries = 2;
    two->aEntries[0] = ADRENTRY{0, 1, &last};
    two->aEntries[1] = ADRENTRY{0, 1, &gone};
    EXPECT_EQ(message->ModifyRecipients(MODRECIP_REMOVE, two), MAPI_E_NOT_FOUND);
    MAPIFreeBuffer(two);
    rows = rowsOf();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(std::get<2>(rows[0]), u"c@x.com");
}

TEST_F(Content, AttachmentsAreNumberedFromOneAndKeepTheirData) {
    auto entry = NewMessage(PR_CE_IPM_INBOX_ENTRYID, W("with files"));
    Ref<IMessage> message;
    OpenMessage(entry, MAPI_BEST_ACCESS, message);
    EXPECT_EQ(Prop(message.Get(), PR_HASATTACH)->Value.b, 0);
    // Recipients do not use up attachment numbers.
    SPropValue recipient[2] = {Long(PR_RECIPIENT_TYPE, MAPI_TO), Text(PR_EMAIL_ADDRESS_W, W("a@x.com"))};
    ADRLIST one{1, {ADRENTRY{0, 2, recipient}}};
    ASSERT_EQ(message->ModifyRecipients(MODRECIP_ADD, &one), S_OK);
    for (ULONG expected = 1; expected <= 3; ++expected) {
        Ref<IAttach> attach;
        ULONG number = 0;
        ASSERT_EQ(message->CreateAttach(nullptr, 0, &number, attach.Out()), S_OK);
        EXPECT_EQ(number, expected);
        SPropValue values[3] = {Text(PR_ATTACH_FILENAME_W, expected == 2 ? W("b.txt") : W("a.txt")),
                                Long(PR_ATTACH_METHOD, ATTACH_BY_VALUE), Long(PR_MSG_STATUS, 0x00010000)};
        ASSERT_EQ(attach->SetProps(3, values, nullptr), S_OK);
        if (expected == 2) WriteStream(attach.Get(), PR_ATTACH_DATA_BIN, MAPI_CREATE | MAPI_MODIFY, "12345", 5);
    }
    EXPECT_EQ(Prop(message.Get(), PR_HASATTACH)->Value.b, 1);
    EXPECT_EQ(Prop(message.Get(), PR_MESSAGE_FLAGS)->Value.l & MSGFLAG_HASATTACH, MSGFLAG_HASATTACH);
    // Numbers are not reused after a deletion.
    ASSERT_EQ(message->DeleteAttach(3, 0, nullptr, 0), S_OK);
    Ref<IAttach> attach;
    ULONG number = 0;
    ASSERT_EQ(message->CreateAttach(nullptr, 0, &number, attach.Out()), S_OK);
    EXPECT_EQ(number, 4u);

    Ref<IMAPITable> table;
    ASSERT_EQ(message->GetAttachmentTable(0, table.Out()), S_OK);
    SizedSPropTagArray(3, columns) = {3, {PR_MSG_STATUS, PR_ATTACH_FILENAME_W, PR_ATTACH_NUM}};
    ASSERT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
    LPSRowSet rows = nullptr;
    ASSERT_EQ(table->QueryRows(10, 0, &rows), S_OK);
    ASSERT_EQ(rows->cRows, 3u);
    EXPECT_EQ(rows->aRow[1].lpProps[2].Value.l, 2);
    EXPECT_EQ(std::u16string(rows->aRow[1].lpProps[1].Value.lpszW), u"b.txt");
    EXPECT_EQ(rows->aRow[2].lpProps[0].ulPropTag, CHANGE_PROP_TYPE(PR_MSG_STATUS, PT_ERROR));
    FreeProws(rows);

    // Opened without modify access, an attachment is read-only; its data reads back.
    Ref<IAttach> reader;
    ASSERT_EQ(message->OpenAttach(2, nullptr, 0, reader.Out()), S_OK);
    auto data = ReadStream(reader.Get(), PR_ATTACH_DATA_BIN);
    EXPECT_EQ(std::string(data.begin(), data.end()), "12345");
    SPropValue status = Long(PR_MSG_STATUS, 0);
    EXPECT_EQ(reader->SetProps(1, &status, nullptr), MAPI_E_NO_ACCESS);
    EXPECT_EQ(message->OpenAttach(3, nullptr, 0, reader.Out()), MAPI_E_NOT_FOUND);

    Logoff();
    Reopen();
    auto read = ReadMessage(pal::CurrentMachine(), m_storeNumber, ListMessages(pal::CurrentMachine(), m_storeNumber)[0].id);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->attachments.size(), 3u);
    EXPECT_EQ(read->attachments[1].fileName, u"b.txt");
    EXPECT_EQ(std::string(read->attachments[1].data.begin(), read->attachments[1].data.end()), "12345");
    EXPECT_EQ(read->attachments[0].status, 0x00010000u);
    Logon();
}

TEST_F(Content, WritesToADeletedMessageFailAndLeaveNothingBehind) {
    auto entry = NewMessage(PR_CE_IPM_INBOX_ENTRYID, W("doomed"));
    Ref<IMessage> message;
    OpenMessage(entry, MAPI_BEST_ACCESS, message);
    Ref<IStream> stream;
    ASSERT_EQ(message->OpenProperty(PR_BODY_W, &IID_IStream, 0, MAPI_CREATE | MAPI_MODIFY,
                                    reinterpret_cast<LPUNKNOWN*>(stream.Out())),
              S_OK);
    ASSERT_EQ(stream->Write(u"late text", 18, nullptr), S_OK);
    Ref<IMAPIFolder> inbox;
    OpenFolder(PR_CE_IPM_INBOX_ENTRYID, inbox);
    SBinary bin{static_cast<ULONG>(entry.size()), entry.data()};
    ENTRYLIST list{1, &bin};
    ASSERT_EQ(inbox->DeleteMessages(&list, 0, nullptr, 0), S_OK);

    EXPECT_EQ(stream->Commit(STGC_DEFAULT), MAPI_E_OBJECT_DELETED);
    stream.Reset();
    SPropValue subject = Text(PR_SUBJECT_W, W("again"));
    EXPECT_EQ(message->SetProps(1, &subject, nullptr), MAPI_E_OBJECT_DELETED);
    Ref<IAttach> attach;
    ULONG number = 0;
    EXPECT_EQ(message->CreateAttach(nullptr, 0, &number, attach.Out()), MAPI_E_OBJECT_DELETED);
    ULONG count = 0;
    LPSPropValue values = nullptr;
    EXPECT_EQ(message->GetProps(nullptr, 0, &count, &values), MAPI_E_OBJECT_DELETED);
    EXPECT_EQ(values, nullptr);
    EXPECT_TRUE(ListMessages(pal::CurrentMachine(), m_storeNumber).empty());
}

TEST_F(Content, TextBeyondAsciiSurvivesReopening) {
    const char16_t subject[] = u"Caf\u00e9 \u20ac \U0001F600";
    NewMessage(PR_CE_IPM_INBOX_ENTRYID, reinterpret_cast<const WCHAR*>(subject));
    Logoff();
    Reopen();
    Logon();
    auto listed = ListMessages(pal::CurrentMachine(), m_storeNumber);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].subject, std::u16string(subject));
    Ref<IMessage> message;
    OpenMessage(listed[0].entryId, 0, message);
    EXPECT_EQ(std::u16string(Prop(message.Get(), PR_SUBJECT_W)->Value.lpszW), std::u16string(subject));
}

TEST_F(Content, BuffersLinkedToARootAreFreedWithIt) {
    LPVOID root = nullptr;
    ASSERT_EQ(MAPIAllocateBuffer(16, &root), S_OK);
    LPVOID more = nullptr;
    ASSERT_EQ(MAPIAllocateMore(32, root, &more), S_OK);
    LPVOID deeper = nullptr;
    ASSERT_EQ(MAPIAllocateMore(8, more, &deeper), S_OK);
    std::memset(more, 0xAB, 32);
    std::memset(deeper, 0xCD, 8);
    // A linked block is not freed on its own; the root takes everything.
    EXPECT_NE(MAPIFreeBuffer(more), 0u);
    EXPECT_EQ(MAPIFreeBuffer(root), 0u);
    EXPECT_EQ(MAPIFreeBuffer(nullptr), 0u);
    EXPECT_EQ(MAPIAllocateMore(8, nullptr, &more), MAPI_E_INVALID_PARAMETER);
    EXPECT_EQ(more, nullptr);
}

}  // namespace
}  // namespace emu::cemapi::testing

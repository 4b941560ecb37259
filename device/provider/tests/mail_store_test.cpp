// The mail store and handler over the account's message store: packets from the desktop become
// Inbox messages, device messages become packets, deletions, data requests and the mail lock.
#include "mail_fixture.h"
#include "pal/runtime/encoding.h"

namespace {

using emu::cemapi::FolderKind;

constexpr ULONG kAttachmentAbsent = 0x00010000;

void AddString(PacketWriter& packet, ULONG tag, const char16_t* text) {
    ASSERT_EQ(packet.Add(tag, text), S_OK);
}
void AddLong(PacketWriter& packet, ULONG tag, DWORD value) {
    ASSERT_EQ(packet.Add(tag, &value), S_OK);
}
void AddRecords(PacketWriter& packet, const std::vector<AttachmentRecord>& records) {
    std::vector<BYTE> bytes(records.size() * kAttachmentRecordSize);
    for (size_t i = 0; i < records.size(); ++i)
        records[i].Store(bytes.data() + i * kAttachmentRecordSize);
    AddLong(packet, PR_ATTACH_NUM, static_cast<DWORD>(records.size()));
    PacketBinary value{static_cast<ULONG>(bytes.size()), bytes.data()};
    ASSERT_EQ(packet.Add(PR_ATTACH_DATA_BIN, &value), S_OK);
}
AttachmentRecord MakeRecord(DWORD state, DWORD size, DWORD number, const char16_t* name) {
    AttachmentRecord record;
    record.state = state;
    record.size = size;
    record.number = number;
    record.SetFileName(name);
    return record;
}

// A desktop packet as the desktop provider sends a new message.
void DesktopPacket(PacketWriter& packet, DWORD status, const char16_t* bodyFile) {
    packet.Begin(1024);
    FILETIME time{0x11223344, 0x01D00000};
    ASSERT_EQ(packet.Add(PR_MESSAGE_DELIVERY_TIME, &time), S_OK);
    AddString(packet, PR_SUBJECT_W, u"Plans");
    AddString(packet, PR_SENDER_EMAIL_ADDRESS_W, u"ann@example.com");
    AddString(packet, PR_SENDER_NAME_W, u"\"Ann\" <ann@example.com>");
    AddString(packet, PR_DISPLAY_TO_W, u"a@x.org;b@x.org;c@x.org");
    AddString(packet, PR_DISPLAY_CC_W, u"\"Dee Dee\" [SMTP:dee@x.org]");
    AddLong(packet, TAG_WHOLE_MESSAGE_SIZE, 77);
    if (bodyFile) AddString(packet, PR_BODY_W, bodyFile);
    AddLong(packet, PR_MESSAGE_FLAGS, 0);
    AddLong(packet, PR_MSG_STATUS, status);
}

TEST_F(MailStoreTest, TheAccountIsFoundByItsFriendlyNameIgnoringCase) {
    Open();
    EXPECT_NE(m_store->MessageStore(), nullptr);
    for (auto [name, type] : std::initializer_list<std::pair<std::u16string, DWORD>>{
             {u"", REG_SZ},
             {u"Another Account", REG_SZ},
             {std::u16string(64, u'k'), REG_SZ},
             {u"Kestrin Mail", REG_BINARY}}) {
        SetFriendlyName(name, type);
        CMailStore store(m_volume);
        IReplObjHandler* handler = nullptr;
        EXPECT_FALSE(store.InitObjType(&handler, 1)) << pal::U8(name);
        EXPECT_EQ(handler, nullptr);
    }
    SetFriendlyName(u"KESTRIN MAIL", REG_EXPAND_SZ);
    CMailStore store(m_volume);
    IReplObjHandler* handler = nullptr;
    ASSERT_TRUE(store.InitObjType(&handler, 2));
    handler->Release();
}

TEST_F(MailStoreTest, ADesktopPacketBecomesAnInboxMessageWithItsFilesAndRecord) {
    Open(1);
    WriteTemp(u"body1", Utf16File(u"Dear Bob,\r\nsee you."));
    WriteTemp(u"one.txt", "first file");
    WriteTemp(u"three.txt", "not asked for");
    PacketWriter packet;
    DesktopPacket(packet, 0x10100000, u"body1");
    AddRecords(packet, {MakeRecord(82, 10, 0, u"one.txt"), MakeRecord(82, 5, 0, u"two.txt"),
                        MakeRecord(32, 99, 0, u"three.txt")});
    CEOID oid = 0;
    ASSERT_EQ(Store(packet, 0, &oid), S_OK);

    auto inbox = Messages(FolderKind::Inbox);
    ASSERT_EQ(inbox.size(), 1u);
    auto message = Message(inbox[0].id);
    EXPECT_EQ(message.subject, u"Plans");
    EXPECT_EQ(message.senderAddress, u"ann@example.com");
    // Before version 5 the message stays marked partial.
    EXPECT_EQ(message.status, 0x00100000u);
    EXPECT_EQ(message.body, u"Dear Bob,\r\nsee you.");
    ASSERT_EQ(message.recipients.size(), 4u);
    EXPECT_EQ(message.recipients[2].address, u"c@x.org");
    EXPECT_EQ(message.recipients[3].type, 2u);
    EXPECT_EQ(message.recipients[3].name, u"Dee Dee");
    EXPECT_EQ(message.recipients[3].address, u"dee@x.org");
    EXPECT_EQ(message.recipients[3].addressType, u"SMTP");

    ASSERT_EQ(message.attachments.size(), 3u);
    EXPECT_EQ(message.attachments[0].status, 0u);
    EXPECT_EQ(std::string(message.attachments[0].data.begin(), message.attachments[0].data.end()),
              "first file");
    // A requested file that never arrived is still marked absent.
    EXPECT_EQ(message.attachments[1].status, kAttachmentAbsent);
    EXPECT_TRUE(message.attachments[1].data.empty());
    EXPECT_EQ(message.attachments[2].status, kAttachmentAbsent);
    EXPECT_EQ(message.attachments[2].size, 99u);
    EXPECT_EQ(message.attachments[2].method, 1u);
    EXPECT_FALSE(TempExists(u"body1"));
    EXPECT_FALSE(TempExists(u"one.txt"));
    EXPECT_TRUE(TempExists(u"three.txt"));

    // The engine's own setup record carries the new object's identifier: its journal record,
    // changed for the other partnership only.
    ASSERT_NE(oid, 0u);
    auto record = Record(oid);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->state, 2);
    EXPECT_EQ(record->entryId, std::vector<BYTE>(message.entryId.begin(), message.entryId.end()));
}

TEST_F(MailStoreTest, FromVersionFiveTheDesktopsPartialMarkIsDropped) {
    pal::testing::TempWorld world(pal::WorldOptions{5, 1});
    Use(world.Device());
    CCeDBVolume volume;
    volume.Mount(KESTRIN_VOLUME_PATH, OPEN_ALWAYS);
    CreateDatabase(MAIL_JOURNAL_NAME, JOURNAL_DB_TYPE, nullptr, 0, nullptr, volume.Guid());
    auto account = emu::cemapi::CreateStore(world.Device(), kAccount);
    SetFriendlyName(kAccount);
    {
        CMailStore store(volume);
        IReplObjHandler* handler = nullptr;
        ASSERT_TRUE(store.InitObjType(&handler, 2));
        PacketWriter packet;
        DesktopPacket(packet, 0x10100000, nullptr);
        REPLSETUP setup{};
        setup.dwFlags = RSF_NEW_OBJECT;
        handler->Setup(&setup);
        EXPECT_EQ(handler->SetPacket(packet.Data(), packet.Length()), S_OK);
        handler->Reset(&setup);
        handler->Release();
        // Partner 2 writes partner 1's bit.
        CCeDB db;
        db.Open(MAIL_JOURNAL_NAME, 0, nullptr, 0, 0, volume.Guid());
        CeSeekDatabase(db.Handle(), CEDB_SEEK_CEOID, setup.oidNew, nullptr);
        CCeRecord record;
        ASSERT_EQ(record.Read(db, nullptr), S_OK);
        EXPECT_EQ(record.Find(PROPID_CHANGE_STATE)->val.uiVal, 1);
    }
    auto inbox = emu::cemapi::ListMessages(world.Device(), account, FolderKind::Inbox);
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_EQ(inbox[0].status, 0u);
    Use(m_world.Device());
}

TEST_F(MailStoreTest, AMissingBodyFileLeavesTheBodyEmptyAndTheMessageRecordedOnce) {
    Open();
    PacketWriter packet;
    DesktopPacket(packet, 0, u"gone");
    CEOID oid = 0;
    EXPECT_EQ(Store(packet, 0, &oid), S_OK);
    EXPECT_NE(oid, 0u);
    auto inbox = Messages(FolderKind::Inbox);
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_EQ(Message(inbox[0].id).body, u"");
    // A body named by a path is a missing file as well.
    WriteTemp(u"x", "secret");
    DesktopPacket(packet, 0, u"..\\Temp\\x");
    EXPECT_EQ(Store(packet, 0, &oid), S_OK);
    EXPECT_TRUE(TempExists(u"x"));
}

TEST_F(MailStoreTest, WithoutItsJournalRecordANewMessageDoesNotStay) {
    Open();
    CCeDB db;
    db.Open(MAIL_JOURNAL_NAME, 0, nullptr, 0, 0, m_volume.Guid());
    CEOID journal = db.Oid();
    db.Close();
    ASSERT_TRUE(CeDeleteDatabaseEx(m_volume.Guid(), journal));
    PacketWriter packet;
    DesktopPacket(packet, 0, nullptr);
    EXPECT_TRUE(FAILED(Store(packet, 0)));
    EXPECT_TRUE(Messages(FolderKind::Inbox).empty());
}

TEST_F(MailStoreTest, AnExistingMessageTakesOnlyTheReadFlag) {
    Open(2);
    PacketWriter packet;
    DesktopPacket(packet, 0, nullptr);
    CEOID oid = 0;
    ASSERT_EQ(Store(packet, 0, &oid), S_OK);
    packet.Begin(256);
    AddString(packet, PR_SUBJECT_W, u"Renamed");
    AddLong(packet, PR_MESSAGE_FLAGS, 0xFF);
    EXPECT_EQ(Store(packet, oid), S_OK);
    auto message = Messages(FolderKind::Inbox).at(0);
    EXPECT_EQ(message.flags, 1u);
    EXPECT_EQ(message.subject, u"Plans");
    EXPECT_EQ(Record(oid)->state, 1);
    EXPECT_EQ(Store(packet, oid + 1000), E_FAIL);
}

TEST_F(MailStoreTest, AnOutboxMessageTravelsWithItsBodyAndRecipientsInline) {
    Open();
    emu::cemapi::NewMessage composed;
    composed.subject = u"Re: Plans";
    composed.body = u"Fine by me.";
    composed.recipients = {{1, u"Ann", u"ann@x.org", u"SMTP"},
                           {1, u"", u"bob@x.org", u"SMTP"},
                           {2, u"cc@x.org", u"cc@x.org", u"SMTP"}};
    composed.attachments = {{u"notes.txt", {'h', 'i'}}};
    auto id = emu::cemapi::ComposeMessage(m_world.Device(), m_account, composed);
    CEOID oid = Journal(Message(id).entryId);
    std::vector<BYTE> packet;
    ASSERT_EQ(Read(oid, packet), RWRN_LAST_PACKET);

    auto folder = PacketBytes(packet, PR_HEADER_FOLDER_ENTRYID);
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(FolderCode::Load(folder->data()).folder, PR_IPM_OUTBOX_ENTRYID);
    EXPECT_EQ(PacketString(packet, PR_BODY_W), u"Fine by me.");
    EXPECT_EQ(PacketString(packet, PR_SUBJECT_W), u"Re: Plans");
    EXPECT_EQ(PacketString(packet, PR_DISPLAY_TO_W), u"\"Ann\" <ann@x.org>;bob@x.org");
    EXPECT_EQ(PacketString(packet, PR_DISPLAY_CC_W), u"cc@x.org");
    EXPECT_FALSE(PacketString(packet, PR_DISPLAY_BCC_W).has_value());
    // No sender address: no sender at all.
    EXPECT_FALSE(PacketString(packet, PR_SENDER_NAME_W).has_value());
    EXPECT_TRUE(PacketBytes(packet, PR_MESSAGE_DELIVERY_TIME).has_value());
    auto flags = PacketBytes(packet, PR_MESSAGE_FLAGS);
    ASSERT_TRUE(flags.has_value());
    EXPECT_TRUE(LoadLe32(flags->data()) & 0x10);
    auto records = PacketBytes(packet, PR_ATTACH_DATA_BIN);
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), kAttachmentRecordSize);
    auto record = AttachmentRecord::Load(records->data());
    EXPECT_EQ(std::u16string(record.fileName), u"notes.txt");
    EXPECT_EQ(record.number, Message(id).attachments.at(0).number);
    auto entry = PacketBytes(packet, PR_ENTRYID);
    ASSERT_TRUE(entry.has_value());
    auto expected = Message(id).entryId;
    EXPECT_EQ(*entry, std::vector<BYTE>(expected.begin(), expected.end()));
}

TEST_F(MailStoreTest, ASenderAddressIsBracketedUnlessItIsAlready) {
    Open();
    for (auto [address, expected] : std::initializer_list<std::pair<const char16_t*, const char16_t*>>{
             {u"me@x.org", u"<me@x.org>"}, {u"<me@x.org>", u"<me@x.org>"}}) {
        emu::cemapi::NewMessage composed;
        composed.subject = u"s";
        auto id = emu::cemapi::ComposeMessage(m_world.Device(), m_account, composed);
        auto info = Message(id);
        // The sender as the device's mail program would have set it.
        IMAPISession* session = nullptr;
        ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
        ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), S_OK);
        IMessage* message = nullptr;
        ULONG type = 0;
        ASSERT_EQ(session->OpenEntry(static_cast<ULONG>(info.entryId.size()),
                                     reinterpret_cast<LPENTRYID>(info.entryId.data()), nullptr,
                                     MAPI_MODIFY, &type, reinterpret_cast<LPUNKNOWN*>(&message)),
                  S_OK);
        SPropValue sender{};
        sender.ulPropTag = PR_SENDER_EMAIL_ADDRESS_W;
        sender.Value.lpszW = const_cast<LPWSTR>(address);
        ASSERT_EQ(message->SetProps(1, &sender, nullptr), S_OK);
        message->Release();
        session->Logoff(0, 0, 0);
        session->Release();
        MAPIUninitialize();
        std::vector<BYTE> packet;
        ASSERT_EQ(Read(Journal(info.entryId), packet), RWRN_LAST_PACKET);
        EXPECT_EQ(PacketString(packet, PR_SENDER_NAME_W), expected);
    }
}

TEST_F(MailStoreTest, AnOutboxBodyTooBigForAPacketFailsInsteadOfGoingOutEmpty) {
    Open();
    emu::cemapi::NewMessage composed;
    composed.subject = u"Long";
    composed.body = std::u16string(140000, u'x');
    auto id = emu::cemapi::ComposeMessage(m_world.Device(), m_account, composed);
    std::vector<BYTE> packet;
    EXPECT_TRUE(FAILED(Read(Journal(Message(id).entryId), packet)));
    EXPECT_TRUE(packet.empty());
}

TEST_F(MailStoreTest, RequestedAttachmentsOfAnInboxMessageAreMarked) {
    Open();
    PacketWriter packet;
    packet.Begin(2048);
    AddLong(packet, PR_MESSAGE_FLAGS, 0x10);
    AddRecords(packet, {MakeRecord(32, 1, 0, u"a.txt"), MakeRecord(32, 2, 0, u"b.txt"),
                        MakeRecord(32, 3, 0, u"c.txt")});
    CEOID oid = 0;
    ASSERT_EQ(Store(packet, 0, &oid), S_OK);
    // The device user asks for the first and the third.
    auto info = Messages(FolderKind::Inbox).at(0);
    IMAPISession* session = nullptr;
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), S_OK);
    IMessage* message = nullptr;
    ULONG type = 0;
    ASSERT_EQ(session->OpenEntry(static_cast<ULONG>(info.entryId.size()),
                                 reinterpret_cast<LPENTRYID>(info.entryId.data()), nullptr,
                                 MAPI_MODIFY, &type, reinterpret_cast<LPUNKNOWN*>(&message)),
              S_OK);
    for (ULONG number : {1u, 3u}) {
        IAttach* attach = nullptr;
        ASSERT_EQ(message->OpenAttach(number, nullptr, MAPI_MODIFY, &attach), S_OK);
        SPropValue status{};
        status.ulPropTag = PR_MSG_STATUS;
        status.Value.ul = kAttachmentAbsent | 0x00001000;
        attach->SetProps(1, &status, nullptr);
        attach->Release();
    }
    message->Release();
    session->Logoff(0, 0, 0);
    session->Release();
    MAPIUninitialize();

    std::vector<BYTE> read;
    ASSERT_EQ(Read(oid, read), RWRN_LAST_PACKET);
    auto folder = PacketBytes(read, PR_HEADER_FOLDER_ENTRYID);
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(FolderCode::Load(folder->data()).folder, PR_CE_IPM_INBOX_ENTRYID);
    EXPECT_FALSE(PacketString(read, PR_BODY_W).has_value());
    auto count = PacketBytes(read, PR_ATTACH_NUM);
    ASSERT_TRUE(count.has_value());
    EXPECT_EQ(LoadLe32(count->data()), 3u);
    auto records = PacketBytes(read, PR_ATTACH_DATA_BIN);
    ASSERT_EQ(records->size(), 3 * kAttachmentRecordSize);
    std::vector<DWORD> states;
    for (int i = 0; i < 3; ++i)
        states.push_back(AttachmentRecord::Load(records->data() + i * kAttachmentRecordSize).state);
    EXPECT_EQ(states, (std::vector<DWORD>{82, 32, 82}));
    EXPECT_EQ(AttachmentRecord::Load(records->data() + kAttachmentRecordSize).size, 2u);
}

TEST_F(MailStoreTest, DeletingASentOutboxMessageKeepsACopyWhenTheDeviceSavesSentMail) {
    Open();
    SetUserDword(u"Software\\Microsoft\\Inbox\\Settings", u"SaveSent", 1);
    emu::cemapi::NewMessage composed;
    composed.subject = u"Sent one";
    auto first = emu::cemapi::ComposeMessage(m_world.Device(), m_account, composed);
    REPLSETUP setup{};
    setup.oid = Journal(Message(first).entryId);
    m_handler->Setup(&setup);
    EXPECT_EQ(m_handler->DeleteObj(&setup), S_OK);
    m_handler->Reset(&setup);
    EXPECT_TRUE(Messages(FolderKind::Outbox).empty());
    auto sent = Messages(FolderKind::SentItems);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].subject, u"Sent one");

    // The desktop's "do not keep" reaches the device under its own key.
    SetUserDword(u"Software\\Quorvane\\Velumex", u"NoKeepSentOver", 1);
    auto second = emu::cemapi::ComposeMessage(m_world.Device(), m_account, composed);
    setup.oid = Journal(Message(second).entryId);
    EXPECT_EQ(m_handler->DeleteObj(&setup), S_OK);
    EXPECT_TRUE(Messages(FolderKind::Outbox).empty());
    EXPECT_EQ(Messages(FolderKind::SentItems).size(), 1u);

    // An Inbox message goes without a copy.
    SetUserDword(u"Software\\Quorvane\\Velumex", u"NoKeepSentOver", 0);
    PacketWriter packet;
    DesktopPacket(packet, 0, nullptr);
    CEOID oid = 0;
    ASSERT_EQ(Store(packet, 0, &oid), S_OK);
    setup.oid = oid;
    EXPECT_EQ(m_handler->DeleteObj(&setup), S_OK);
    EXPECT_TRUE(Messages(FolderKind::Inbox).empty());
    EXPECT_EQ(Messages(FolderKind::SentItems).size(), 1u);
    setup.oid = 0x7777;
    EXPECT_EQ(m_handler->DeleteObj(&setup), E_FAIL);
}

TEST_F(MailStoreTest, TheStoreHoldsTheMailLockForItsLifeAndGivesItBack) {
    EXPECT_TRUE(OthersCanTake(MAIL_LOCK_NAME));
    Open();
    EXPECT_FALSE(OthersCanTake(MAIL_LOCK_NAME));
    REPLSETUP setup{};
    m_handler->Setup(&setup);
    setup.oid = 0x4242;
    EXPECT_EQ(m_handler->DeleteObj(&setup), E_FAIL);  // fails after taking the lock
    m_handler->Reset(&setup);
    // An unpaired run start and a stray end leave nothing held beyond the store's life.
    emu::cemapi::NewMessage composed;
    auto id = emu::cemapi::ComposeMessage(m_world.Device(), m_account, composed);
    auto entryId = Message(id).entryId;
    SDREQUEST select{};
    select.fSet = TRUE;
    select.uCode = 1;
    select.lpData = entryId.data();
    select.cbData = static_cast<UINT>(entryId.size());
    EXPECT_EQ(m_store->DataRequest(&select), S_OK);
    EXPECT_EQ(m_store->DataRequest(&select), S_OK);
    m_handler->Release();
    m_handler = nullptr;
    m_store.reset();
    EXPECT_TRUE(OthersCanTake(MAIL_LOCK_NAME));
}

TEST_F(MailStoreTest, AStoreMadeAfterTheServiceStillHoldsTheLock) {
    HANDLE service = CreateMutexW(nullptr, FALSE, MAIL_LOCK_NAME);
    Open();
    EXPECT_FALSE(OthersCanTake(MAIL_LOCK_NAME));
    m_handler->Release();
    m_handler = nullptr;
    m_store.reset();
    EXPECT_TRUE(OthersCanTake(MAIL_LOCK_NAME));
    CloseHandle(service);
}

TEST_F(MailStoreTest, ARunOfDataRequestsServesAttachmentsAndStatus) {
    Open();
    WriteTemp(u"a.txt", "attachment one");
    PacketWriter packet;
    DesktopPacket(packet, 0, nullptr);
    AddRecords(packet, {MakeRecord(82, 14, 0, u"a.txt"), MakeRecord(32, 4, 0, u"b.txt")});
    ASSERT_EQ(Store(packet, 0), S_OK);
    auto stored = Message(Messages(FolderKind::Inbox).at(0).id);
    auto entryId = stored.entryId;
    ASSERT_EQ(stored.attachments.size(), 2u);
    // Attachment numbers as the store gave them.
    DWORD firstNumber = stored.attachments[0].number;
    DWORD secondNumber = stored.attachments[1].number;

    auto request = [&](BOOL set, UINT code, LPBYTE data, UINT size) {
        SDREQUEST r{};
        r.fSet = set;
        r.uCode = code;
        r.lpData = data;
        r.cbData = size;
        HRESULT result = m_store->DataRequest(&r);
        return std::make_pair(result, r.cbData);
    };
    BYTE record[kAttachmentRecordSize];
    EXPECT_EQ(request(TRUE, 1, nullptr, 8).first, E_INVALIDARG);
    EXPECT_EQ(request(TRUE, 3, record, 100).first, E_INVALIDARG);
    EXPECT_EQ(request(TRUE, 4, nullptr, 532).first, E_INVALIDARG);
    EXPECT_EQ(request(TRUE, 3, (MakeRecord(82, 1, 1, u"x").Store(record), record), 532).first, E_FAIL);
    EXPECT_EQ(request(TRUE, 9, nullptr, 0).first, S_OK);

    ASSERT_EQ(request(TRUE, 1, entryId.data(), static_cast<UINT>(entryId.size())).first, S_OK);
    // Export attachment 1 for the desktop.
    MakeRecord(82, 14, firstNumber, u"export.txt").Store(record);
    EXPECT_EQ(request(TRUE, 4, record, 532).first, S_OK);
    EXPECT_EQ(request(FALSE, 5, nullptr, 0), std::make_pair(S_OK, 532u));
    BYTE reply[4096] = {};
    auto exported = request(FALSE, 5, reply, 0);
    EXPECT_EQ(exported, std::make_pair(S_OK, 532u));
    EXPECT_EQ(std::u16string(AttachmentRecord::Load(reply).fileName), u"\\Temp\\export.txt");
    EXPECT_TRUE(TempExists(u"export.txt"));
    // A name that does not fit the directory fails and leaves no file.
    MakeRecord(82, 14, firstNumber, u"../x.txt").Store(record);
    request(TRUE, 4, record, 532);
    EXPECT_EQ(request(FALSE, 5, reply, 0).first, E_FAIL);

    // Deliver attachment 2 and a new body.
    WriteTemp(u"b.txt", "two!");
    MakeRecord(82, 4, secondNumber, u"b.txt").Store(record);
    EXPECT_EQ(request(TRUE, 3, record, 532).first, S_OK);
    WriteTemp(u"newbody", Utf16File(u"Whole"));
    MakeRecord(82, 10, 0, u"newbody").Store(record);
    EXPECT_EQ(request(TRUE, 3, record, 532).first, S_OK);
    MakeRecord(32, 10, 0, u"ignored").Store(record);
    EXPECT_EQ(request(TRUE, 3, record, 532).first, S_OK);
    DWORD status = 0x00000400;
    EXPECT_EQ(request(TRUE, 2, reinterpret_cast<LPBYTE>(&status), 4).first, S_OK);

    auto message = Message(Messages(FolderKind::Inbox).at(0).id);
    EXPECT_EQ(message.status, 0x00000400u);
    EXPECT_EQ(message.body, u"Whole");
    EXPECT_EQ(message.attachments[1].status, 0u);
    EXPECT_EQ(std::string(message.attachments[1].data.begin(), message.attachments[1].data.end()),
              "two!");
    // The run is over: nothing is current any more.
    MakeRecord(82, 4, secondNumber, u"b.txt").Store(record);
    EXPECT_EQ(request(TRUE, 3, record, 532).first, E_FAIL);
    // A short end still ends the run.
    ASSERT_EQ(request(TRUE, 1, entryId.data(), static_cast<UINT>(entryId.size())).first, S_OK);
    EXPECT_EQ(request(TRUE, 2, reinterpret_cast<LPBYTE>(&status), 2).first, E_INVALIDARG);
    EXPECT_EQ(request(FALSE, 5, reply, 0).first, E_FAIL);
}

}  // namespace

// Writing and reading a mail packet and a contact packet, beside a plain copy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "property_packet.h"

namespace {

// A received message: three recipients, four attachment records, a 4 KB inline body.
struct MailSample {
    FILETIME received{0x2F3A0000, 0x01DA6BC1};
    std::u16string subject = u"Quarterly figures and the travel plan for next week";
    std::u16string senderAddress = u"\"Ada Quill\" <ada.quill@example.net>";
    std::u16string senderName = u"Ada Quill";
    std::u16string to = u"\"Bo Marsh\" <bo@example.net>;carl@example.org";
    std::u16string cc = u"\"Dee Fenn\" <dee.fenn@example.com>";
    std::u16string body = std::u16string(2048, u'x');
    std::vector<BYTE> records = std::vector<BYTE>(4 * kAttachmentRecordSize);
    BYTE folder[kFolderCodeSize] = {};

    MailSample() {
        const char16_t* names[] = {u"report.xls", u"plan.doc", u"map.png", u"notes.txt"};
        for (DWORD i = 0; i < 4; ++i) {
            AttachmentRecord record;
            record.state = i % 2 ? kAttachmentPresent : kAttachmentNameOnly;
            record.size = 1000 * (i + 1);
            record.number = i + 1;
            record.SetFileName(names[i]);
            record.Store(records.data() + i * kAttachmentRecordSize);
        }
        FolderCode{0, PR_CE_IPM_INBOX_ENTRYID}.Store(folder);
    }

    void Write(PacketWriter& writer) const {
        const DWORD attachments = 4, whole = 14096, size = 12288, flags = 0x10, status = 0x10000000;
        PacketBinary recordBlob{static_cast<ULONG>(records.size()),
                                const_cast<LPBYTE>(records.data())};
        PacketBinary folderBlob{kFolderCodeSize, const_cast<LPBYTE>(folder)};
        writer.Begin(4096);
        writer.Add(PR_MESSAGE_DELIVERY_TIME, &received);
        writer.Add(PR_SUBJECT_W, subject.c_str());
        writer.Add(PR_SENDER_EMAIL_ADDRESS_W, senderAddress.c_str());
        writer.Add(PR_SENDER_NAME_W, senderName.c_str());
        writer.Add(PR_DISPLAY_TO_W, to.c_str());
        writer.Add(PR_DISPLAY_CC_W, cc.c_str());
        writer.Add(PR_ATTACH_NUM, &attachments);
        writer.Add(PR_ATTACH_DATA_BIN, &recordBlob);
        writer.Add(PR_BODY_W, body.c_str());
        writer.Add(TAG_WHOLE_MESSAGE_SIZE, &whole);
        writer.Add(PR_MESSAGE_SIZE, &size);
        writer.Add(PR_HEADER_FOLDER_ENTRYID, &folderBlob);
        writer.Add(PR_MESSAGE_FLAGS, &flags);
        writer.Add(PR_MSG_STATUS, &status);
    }
};

// A contact: 24 strings, 2 dates, 3 numbers, a binary and 6 clear markers (36 properties).
struct ContactSample {
    std::vector<std::u16string> strings;
    FILETIME dates[2] = {{0x5E3B8000, 0x01C0A8F1}, {0xD53E8000, 0x01BF0B6A}};
    DWORD numbers[3] = {1, 0x12345678, 42};
    BYTE entryId[24] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

    ContactSample() {
        for (int i = 0; i < 24; ++i)
            strings.push_back(u"Contact field " + std::u16string(static_cast<size_t>(i % 7), u'a'));
    }

    void Write(PacketWriter& writer) const {
        PacketBinary blob{sizeof entryId, const_cast<LPBYTE>(entryId)};
        writer.Begin(1024);
        for (int i = 0; i < 24; ++i)
            writer.Add(PROP_TAG(PT_UNICODE, 0x0080 + i), strings[static_cast<size_t>(i)].c_str());
        writer.Add(PROP_TAG(PT_SYSTIME, 0x00F0), &dates[0]);
        writer.Add(PROP_TAG(PT_SYSTIME, 0x00F1), &dates[1]);
        for (int i = 0; i < 3; ++i) writer.Add(PROP_TAG(CEVT_UI4, 0x00B0 + i), &numbers[i]);
        writer.Add(PROP_TAG(CEVT_BLOB, 0x00B8), &blob);
        for (int i = 0; i < 5; ++i)
            writer.Add(ClearMarkerOf(PROP_TAG(PT_UNICODE, 0x00C0 + i)), nullptr);
        writer.Add(ClearMarkerOf(PROP_TAG(PT_SYSTIME, 0x00F2)), nullptr);
    }
};

// Walks a packet as a receiving handler does: every entry, touching each value's first bytes.
std::uint64_t ReadPacket(LPCBYTE data, DWORD length) {
    PacketReader reader;
    reader.Attach(data, length);
    std::uint64_t sum = 0;
    const DWORD count = reader.Count();
    for (DWORD i = 0; i < count; ++i) {
        ULONG tag = 0;
        LPCBYTE value = reader.Next(&tag);
        if (!value) break;
        sum += tag;
        if (tag == PR_ATTACH_DATA_BIN) {
            const DWORD bytes = LoadLe32(value);
            for (DWORD r = 0; r + kAttachmentRecordSize <= bytes; r += kAttachmentRecordSize)
                sum += AttachmentRecord::Load(value + 4 + r).size;
        } else if (PROP_TYPE(tag) != PT_BOOLEAN && PROP_TYPE(tag) < kClearMarkerType) {
            sum += value[0];
        }
    }
    return sum;
}

template <typename Sample>
void WritePacket(benchmark::State& state) {
    const Sample sample;
    PacketWriter writer;
    for (auto _ : state) {
        sample.Write(writer);
        benchmark::DoNotOptimize(writer.Data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * writer.Length());
    state.counters["packet_bytes"] = writer.Length();
}

template <typename Sample>
void ReadPacketBench(benchmark::State& state) {
    PacketWriter writer;
    Sample().Write(writer);
    const std::vector<BYTE> packet(writer.Data(), writer.Data() + writer.Length());
    for (auto _ : state) benchmark::DoNotOptimize(ReadPacket(packet.data(), writer.Length()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * writer.Length());
    state.counters["packet_bytes"] = writer.Length();
}

template <typename Sample>
void CopyPacket(benchmark::State& state) {
    PacketWriter writer;
    Sample().Write(writer);
    const std::vector<BYTE> packet(writer.Data(), writer.Data() + writer.Length());
    std::vector<BYTE> copy(packet.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), packet.data(), packet.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * writer.Length());
    state.counters["packet_bytes"] = writer.Length();
}

BENCHMARK(WritePacket<MailSample>)->Name("mail/write");
BENCHMARK(ReadPacketBench<MailSample>)->Name("mail/read");
BENCHMARK(CopyPacket<MailSample>)->Name("mail/memcpy");
BENCHMARK(WritePacket<ContactSample>)->Name("contact/write");
BENCHMARK(ReadPacketBench<ContactSample>)->Name("contact/read");
BENCHMARK(CopyPacket<ContactSample>)->Name("contact/memcpy");

}  // namespace

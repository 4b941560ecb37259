// The mail handler's pieces: names of files in the temporary directory, file intake and export,
// and recipient lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mail_files.h"
#include "mail_recipients.h"
#include "pal/runtime/encoding.h"
#include "pal_testing/temp_world.h"

namespace {

// A stream over memory, failing its writes or reads on request.
class MemoryStream : public IStream {
public:
    std::vector<BYTE> bytes;
    size_t position = 0;
    bool failRead = false;

    STDMETHODIMP QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(void* out, ULONG count, ULONG* read) override {
        if (failRead) return E_FAIL;
        ULONG n = static_cast<ULONG>(std::min<size_t>(count, bytes.size() - position));
        std::copy_n(bytes.begin() + position, n, static_cast<BYTE*>(out));
        position += n;
        if (read) *read = n;
        return S_OK;
    }
    STDMETHODIMP Write(const void* in, ULONG count, ULONG* written) override {
        bytes.insert(bytes.end(), static_cast<const BYTE*>(in), static_cast<const BYTE*>(in) + count);
        if (written) *written = count;
        return S_OK;
    }
    STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Commit(DWORD) override { return S_OK; }
    STDMETHODIMP Revert() override { return E_NOTIMPL; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }
};

class MailFilesTest : public pal::testing::DeviceTest {
protected:
    static void WriteTemp(const std::u16string& name, const std::string& content) {
        std::u16string path;
        ASSERT_TRUE(TempFilePath(name.c_str(), path));
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
    }
    static bool Exists(const std::u16string& path) {
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
};

TEST_F(MailFilesTest, OnlyBareNamesReachTheTemporaryDirectory) {
    std::u16string path;
    ASSERT_TRUE(TempFilePath(u"body1", path));
    EXPECT_EQ(path, u"\\Temp\\body1");
    for (const char16_t* bad : {u"", u".", u"..", u"..\\Windows\\Kestrin.dll", u"a/b", u"C:x",
                                u"\\kestrin.vol"})
        EXPECT_FALSE(TempFilePath(bad, path)) << pal::U8(bad);
    EXPECT_FALSE(TempFilePath(nullptr, path));
    EXPECT_TRUE(TempFilePath(u"..name", path));
    EXPECT_FALSE(TempFilePath(std::u16string(260, u'n').c_str(), path));
}

TEST_F(MailFilesTest, IntakeCopiesTheFileAndDeletesIt) {
    WriteTemp(u"body", "hello there");
    MemoryStream stream;
    EXPECT_EQ(LoadTempFile(u"body", &stream), S_OK);
    EXPECT_EQ(std::string(stream.bytes.begin(), stream.bytes.end()), "hello there");
    EXPECT_FALSE(Exists(u"\\Temp\\body"));

    WriteTemp(u"empty", "");
    MemoryStream empty;
    EXPECT_EQ(LoadTempFile(u"empty", &empty), S_OK);
    EXPECT_TRUE(empty.bytes.empty());
    EXPECT_FALSE(Exists(u"\\Temp\\empty"));

    MemoryStream missing;
    EXPECT_EQ(LoadTempFile(u"missing", &missing), E_FAIL);
    EXPECT_TRUE(missing.bytes.empty());
    // A name that climbs out of the directory is a missing file, never a path.
    WriteTemp(u"kept", "x");
    EXPECT_EQ(LoadTempFile(u"..\\Temp\\kept", &missing), E_FAIL);
    EXPECT_TRUE(Exists(u"\\Temp\\kept"));
}

TEST_F(MailFilesTest, ExportWritesPiecesAndRemovesAPartialFile) {
    MemoryStream stream;
    for (int i = 0; i < 2048 + 17; ++i) stream.bytes.push_back(static_cast<BYTE>(i));
    std::u16string path;
    ASSERT_EQ(ExportToTempFile(&stream, u"out.bin", path), S_OK);
    EXPECT_EQ(path, u"\\Temp\\out.bin");
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(file, nullptr), 2048u + 17u);
    CloseHandle(file);

    MemoryStream failing;
    failing.failRead = true;
    EXPECT_TRUE(FAILED(ExportToTempFile(&failing, u"broken.bin", path)));
    EXPECT_FALSE(Exists(u"\\Temp\\broken.bin"));
    EXPECT_EQ(ExportToTempFile(&stream, u"../out.bin", path), E_FAIL);
}

TEST(MailRecipients, ListsSplitIntoRecipientsOfTheirType) {
    auto three = SplitRecipients(2, u"a@x.org;b@x.org;c@x.org");
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[2].address, u"c@x.org");
    for (auto& recipient : three) EXPECT_EQ(recipient.type, 2u);
    EXPECT_EQ(CountRecipientEntries(u"a;b;c"), 3u);
    EXPECT_TRUE(SplitRecipients(1, u"").empty());
    EXPECT_EQ(CountRecipientEntries(u""), 0u);
    // Empty pieces are no recipients, though they count as room.
    EXPECT_EQ(SplitRecipients(1, u"a;;b;").size(), 2u);
    EXPECT_EQ(CountRecipientEntries(u"a;;b;"), 4u);
}

TEST(MailRecipients, QuotedNamesWithSmtpAddressesAreSplit) {
    auto named = SplitRecipients(1, u"\"Ann Lee\" [SMTP:ann@x.org]");
    ASSERT_EQ(named.size(), 1u);
    EXPECT_EQ(named[0].name, u"Ann Lee");
    EXPECT_EQ(named[0].address, u"ann@x.org");
    auto plain = SplitRecipients(1, u"Ann Lee <ann@x.org>");
    EXPECT_EQ(plain[0].name, u"");
    EXPECT_EQ(plain[0].address, u"Ann Lee <ann@x.org>");
    // Without its closing bracket the address keeps its last character.
    auto open = SplitRecipients(1, u"\"Ann\" [SMTP:ann@x.org");
    EXPECT_EQ(open[0].address, u"ann@x.org");
    EXPECT_EQ(SplitRecipients(1, u"\"Ann\" [SMTP:]")[0].address, u"");
}

TEST(MailRecipients, EntriesShowNamesThatDifferFromTheAddress) {
    EXPECT_EQ(FormatRecipient(u"Ann", u"ann@x.org"), u"\"Ann\" <ann@x.org>");
    EXPECT_EQ(FormatRecipient(u"", u"ann@x.org"), u"ann@x.org");
    EXPECT_EQ(FormatRecipient(u"ann@x.org", u"ann@x.org"), u"ann@x.org");
    std::u16string list;
    AppendRecipient(list, u"a");
    AppendRecipient(list, u"b");
    EXPECT_EQ(list, u"a;b");
}

}  // namespace

// The file stream and the filter site that filters open their files through.
#include <windows.h>

#include <string>

#include "mail_file_filter.h"
#include "mail_stream.h"
#include "pal_testing/temp_world.h"

namespace {

void PutFile(const char* path, const std::string& bytes) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string GetFile(const char* path) {
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<error " + std::to_string(GetLastError()) + ">";
    std::string bytes;
    char buffer[64];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

LARGE_INTEGER Move(LONGLONG by) {
    LARGE_INTEGER move;
    move.QuadPart = by;
    return move;
}

ULARGE_INTEGER Count(ULONGLONG count) {
    ULARGE_INTEGER value;
    value.QuadPart = count;
    return value;
}

class MailStreamTest : public pal::testing::DesktopTest {
protected:
    MailStreamTest() { PutFile("C:\\data.bin", "0123456789"); }
    ~MailStreamTest() override {
        if (m_stream) m_stream->Release();
    }
    void Open(DWORD flags = STGM_READWRITE | STGM_SHARE_EXCLUSIVE) {
        ASSERT_EQ(CMailStream::Open("C:\\data.bin", flags, &m_stream), S_OK);
    }
    std::string ReadSome(IStream* stream, ULONG count) {
        std::string bytes(count, '\0');
        ULONG got = 0;
        EXPECT_EQ(stream->Read(bytes.data(), count, &got), S_OK);
        bytes.resize(got);
        return bytes;
    }
    ULONGLONG Position() {
        ULARGE_INTEGER position = {};
        EXPECT_EQ(m_stream->Seek(Move(0), STREAM_SEEK_CUR, &position), S_OK);
        return position.QuadPart;
    }

    CMailStream* m_stream = nullptr;
};

TEST_F(MailStreamTest, OpeningFollowsTheStorageFlags) {
    CMailStream* stream = reinterpret_cast<CMailStream*>(0x10);
    for (DWORD flag : {STGM_SIMPLE, STGM_DELETEONRELEASE, STGM_NOSCRATCH, STGM_PRIORITY,
                       STGM_CONVERT, STGM_TRANSACTED}) {
        EXPECT_EQ(CMailStream::Open("C:\\data.bin", flag, &stream), STG_E_INVALIDFLAG) << flag;
        EXPECT_EQ(stream, nullptr);
    }
    EXPECT_EQ(CMailStream::Open("C:\\missing.bin", STGM_READ, &stream),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

    // Deny-write lets others read but not write.
    ASSERT_EQ(CMailStream::Open("C:\\data.bin", STGM_READ | STGM_SHARE_DENY_WRITE, &stream), S_OK);
    EXPECT_EQ(GetFile("C:\\data.bin"), "0123456789");
    EXPECT_EQ(CreateFileA("C:\\data.bin", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    stream->Release();
    // Exclusive lets nobody in.
    ASSERT_EQ(CMailStream::Open("C:\\data.bin", STGM_READ | STGM_SHARE_EXCLUSIVE, &stream), S_OK);
    EXPECT_EQ(GetFile("C:\\data.bin"), "<error 32>");
    CMailStream* second = nullptr;
    EXPECT_EQ(CMailStream::Open("C:\\data.bin", STGM_READ, &second),
              HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
    stream->Release();

    // STGM_CREATE replaces the file.
    ASSERT_EQ(CMailStream::Open("C:\\data.bin", STGM_CREATE | STGM_WRITE, &stream), S_OK);
    stream->Release();
    EXPECT_EQ(GetFile("C:\\data.bin"), "");
}

TEST_F(MailStreamTest, ReadAndWriteAnswers) {
    Open();
    char buffer[4];
    ULONG done = 99;
    EXPECT_EQ(m_stream->Read(nullptr, 4, &done), STG_E_INVALIDPOINTER);
    EXPECT_EQ(m_stream->Read(buffer, 0, &done), E_INVALIDARG);
    EXPECT_EQ(m_stream->Write(nullptr, 4, &done), STG_E_INVALIDPOINTER);
    EXPECT_EQ(m_stream->Write("x", 0, &done), E_INVALIDARG);

    EXPECT_EQ(ReadSome(m_stream, 4), "0123");
    EXPECT_EQ(m_stream->Write("ab", 2, &done), S_OK);
    EXPECT_EQ(done, 2u);
    EXPECT_EQ(ReadSome(m_stream, 100), "6789");
    EXPECT_EQ(m_stream->Read(buffer, 4, nullptr), S_OK);
    m_stream->Release();
    m_stream = nullptr;
    EXPECT_EQ(GetFile("C:\\data.bin"), "0123ab6789");

    // Writing through a stream opened for reading fails the file call.
    Open(STGM_READ);
    EXPECT_EQ(m_stream->Write("x", 1, &done), S_FALSE);
    EXPECT_EQ(done, 0u);
}

TEST_F(MailStreamTest, SeekMovesFromEachOrigin) {
    Open();
    ULARGE_INTEGER position = {};
    EXPECT_EQ(m_stream->Seek(Move(3), STREAM_SEEK_SET, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 3u);
    EXPECT_EQ(m_stream->Seek(Move(2), STREAM_SEEK_CUR, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 5u);
    EXPECT_EQ(ReadSome(m_stream, 1), "5");
    EXPECT_EQ(m_stream->Seek(Move(-2), STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 8u);
    EXPECT_EQ(m_stream->Seek(Move(0x100000000LL), STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(Position(), 0x100000000ULL);

    EXPECT_EQ(m_stream->Seek(Move(-1), STREAM_SEEK_SET, &position),
              HRESULT_FROM_WIN32(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(m_stream->Seek(Move(0), 3, &position), STG_E_INVALIDFUNCTION);
}

TEST_F(MailStreamTest, SetSizeCutsOrExtendsAndKeepsThePosition) {
    Open();
    m_stream->Seek(Move(7), STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(m_stream->SetSize(Count(4)), S_OK);
    EXPECT_EQ(Position(), 7u);
    STATSTG stat = {};
    m_stream->Stat(&stat, STATFLAG_NONAME);
    EXPECT_EQ(stat.cbSize.QuadPart, 4u);
    EXPECT_EQ(m_stream->SetSize(Count(6)), S_OK);
    EXPECT_EQ(Position(), 7u);
    m_stream->Release();
    m_stream = nullptr;
    EXPECT_EQ(GetFile("C:\\data.bin"), std::string("0123\0\0", 6));
}

TEST_F(MailStreamTest, CopyToMovesTheRequestedCount) {
    Open();
    PutFile("C:\\copy.bin", "");
    CMailStream* target = nullptr;
    ASSERT_EQ(CMailStream::Open("C:\\copy.bin", STGM_WRITE, &target), S_OK);
    m_stream->Seek(Move(2), STREAM_SEEK_SET, nullptr);
    ULARGE_INTEGER read = {}, written = {};
    EXPECT_EQ(m_stream->CopyTo(target, Count(5), &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 5u);
    EXPECT_EQ(written.QuadPart, 5u);
    // Asking for more than is left copies the rest.
    EXPECT_EQ(m_stream->CopyTo(target, Count(100), &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 3u);
    EXPECT_EQ(m_stream->CopyTo(target, Count(0x100000000ULL), &read, &written),
              STG_E_INSUFFICIENTMEMORY);
    EXPECT_EQ(m_stream->CopyTo(nullptr, Count(1), &read, &written), STG_E_INVALIDPOINTER);
    target->Release();
    EXPECT_EQ(GetFile("C:\\copy.bin"), "23456789");

    // A target that refuses to be written fails the copy.
    ASSERT_EQ(CMailStream::Open("C:\\copy.bin", STGM_READ, &target), S_OK);
    m_stream->Seek(Move(0), STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(m_stream->CopyTo(target, Count(4), &read, &written), E_FAIL);
    EXPECT_EQ(read.QuadPart, 4u);
    EXPECT_EQ(written.QuadPart, 0u);
    target->Release();
}

TEST_F(MailStreamTest, StatWithAndWithoutName) {
    Open(STGM_READ);
    STATSTG stat = {};
    EXPECT_EQ(m_stream->Stat(nullptr, STATFLAG_DEFAULT), STG_E_INVALIDPOINTER);
    ASSERT_EQ(m_stream->Stat(&stat, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(stat.type, static_cast<DWORD>(STGTY_STREAM));
    EXPECT_EQ(stat.cbSize.QuadPart, 10u);
    EXPECT_EQ(stat.grfMode, static_cast<DWORD>(GENERIC_READ));
    EXPECT_NE(stat.mtime.dwHighDateTime, 0u);
    ASSERT_NE(stat.pwcsName, nullptr);
    EXPECT_EQ(std::u16string(stat.pwcsName), u"C:\\data.bin");
    CoTaskMemFree(stat.pwcsName);

    stat.pwcsName = reinterpret_cast<LPOLESTR>(0x10);
    ASSERT_EQ(m_stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.pwcsName, nullptr);
    m_stream->Release();
    Open(STGM_READWRITE);
    m_stream->Stat(&stat, STATFLAG_NONAME);
    EXPECT_EQ(stat.grfMode, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
}

TEST_F(MailStreamTest, CloneSharesTheFileNameAccessAndPosition) {
    Open();
    IStream* clone = nullptr;
    EXPECT_EQ(m_stream->Clone(nullptr), STG_E_INVALIDPOINTER);
    ASSERT_EQ(m_stream->Clone(&clone), S_OK);
    EXPECT_EQ(ReadSome(m_stream, 3), "012");
    EXPECT_EQ(ReadSome(clone, 3), "345");
    // The clone outlives the original and keeps the file open.
    m_stream->Release();
    m_stream = nullptr;
    EXPECT_EQ(GetFile("C:\\data.bin"), "<error 32>");
    STATSTG stat = {};
    ASSERT_EQ(clone->Stat(&stat, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(std::u16string(stat.pwcsName), u"C:\\data.bin");
    EXPECT_EQ(stat.grfMode, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
    CoTaskMemFree(stat.pwcsName);
    ULONG done = 0;
    EXPECT_EQ(clone->Write("Z", 1, &done), S_OK);
    clone->Release();
    EXPECT_EQ(GetFile("C:\\data.bin"), "012345Z789");
}

TEST_F(MailStreamTest, InterfacesAndUnsupportedSlots) {
    Open();
    void* object = nullptr;
    EXPECT_EQ(m_stream->QueryInterface(IID_IStream, &object), S_OK);
    EXPECT_EQ(object, static_cast<IStream*>(m_stream));
    m_stream->Release();
    EXPECT_EQ(m_stream->QueryInterface(IID_IStorage, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(m_stream->Commit(STGC_DEFAULT), E_NOTIMPL);
    EXPECT_EQ(m_stream->Revert(), E_NOTIMPL);
    EXPECT_EQ(m_stream->LockRegion(Count(0), Count(1), 0), E_NOTIMPL);
    EXPECT_EQ(m_stream->UnlockRegion(Count(0), Count(1), 0), E_NOTIMPL);
}

class FilterSiteTest : public pal::testing::DesktopTest {
protected:
    FilterSiteTest() {
        PutFile("C:\\source.txt", "source");
        m_site = new CMailFileFilter("C:\\source.txt");
        m_site->AddRef();
        m_site->SetDestinationPath("C:\\out.vtx");
    }
    ~FilterSiteTest() override {
        if (m_site) m_site->Release();
    }
    CMailFileFilter* m_site = nullptr;
};

TEST_F(FilterSiteTest, PointerAndModeChecks) {
    void* object = reinterpret_cast<void*>(0x10);
    EXPECT_EQ(m_site->OpenSourceFile(CFF_OPEN_STREAM, nullptr), E_POINTER);
    EXPECT_EQ(m_site->OpenSourceFile(2, &object), E_INVALIDARG);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(m_site->OpenDestinationFile(CFF_OPEN_STREAM, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(m_site->OpenDestinationFile(-1, nullptr, &object), E_INVALIDARG);
    EXPECT_FALSE(Exists("C:\\out.vtx"));
    EXPECT_EQ(m_site->CloseSourceFile(nullptr), E_POINTER);
    EXPECT_EQ(m_site->CloseDestinationFile(TRUE, nullptr), E_POINTER);
    EXPECT_EQ(m_site->ReportProgress(50), S_OK);
    EXPECT_EQ(m_site->QueryInterface(IID_IStream, &object), E_NOINTERFACE);
    EXPECT_EQ(m_site->QueryInterface(IID_ICeFileFilterSite, &object), S_OK);
    m_site->Release();
}

TEST_F(FilterSiteTest, CompoundFilesAreRefused) {
    void* object = reinterpret_cast<void*>(0x10);
    EXPECT_EQ(m_site->OpenSourceFile(CFF_OPEN_STORAGE, &object), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(m_site->OpenDestinationFile(CFF_OPEN_STORAGE, nullptr, &object),
              STG_E_INVALIDFUNCTION);
    EXPECT_EQ(object, nullptr);
    EXPECT_FALSE(Exists("C:\\out.vtx"));
}

TEST_F(FilterSiteTest, SourceIsReadExclusively) {
    IStream* source = nullptr;
    ASSERT_EQ(m_site->OpenSourceFile(CFF_OPEN_STREAM, reinterpret_cast<void**>(&source)), S_OK);
    char buffer[16];
    ULONG got = 0;
    ASSERT_EQ(source->Read(buffer, sizeof buffer, &got), S_OK);
    EXPECT_EQ(std::string(buffer, got), "source");
    EXPECT_EQ(source->Write("x", 1, &got), S_FALSE);
    EXPECT_EQ(GetFile("C:\\source.txt"), "<error 32>");
    EXPECT_EQ(m_site->CloseSourceFile(source), S_OK);
    EXPECT_EQ(GetFile("C:\\source.txt"), "source");
}

TEST_F(FilterSiteTest, DestinationsAreKeptOrDeletedOnClosing) {
    IStream* out = nullptr;
    ASSERT_EQ(m_site->OpenDestinationFile(CFF_OPEN_STREAM, nullptr, reinterpret_cast<void**>(&out)),
              S_OK);
    ULONG done = 0;
    out->Write("converted", 9, &done);
    EXPECT_EQ(m_site->CloseDestinationFile(TRUE, out), S_OK);
    EXPECT_EQ(GetFile("C:\\out.vtx"), "converted");

    // A path of the filter's own, dropped.
    ASSERT_EQ(m_site->OpenDestinationFile(CFF_OPEN_STREAM, "C:\\other.bin",
                                          reinterpret_cast<void**>(&out)),
              S_OK);
    EXPECT_TRUE(Exists("C:\\other.bin"));
    EXPECT_EQ(m_site->CloseDestinationFile(FALSE, out), S_OK);
    EXPECT_FALSE(Exists("C:\\other.bin"));

    // A file that cannot be deleted because the filter still holds it open.
    ASSERT_EQ(m_site->OpenDestinationFile(CFF_OPEN_STREAM, nullptr, reinterpret_cast<void**>(&out)),
              S_OK);
    out->AddRef();
    EXPECT_EQ(m_site->CloseDestinationFile(FALSE, out),
              HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
    out->Release();
}

TEST_F(FilterSiteTest, ADestinationLeftOpenIsClosedWhenTheSiteGoes) {
    IStream* out = nullptr;
    ASSERT_EQ(m_site->OpenDestinationFile(CFF_OPEN_STREAM, nullptr, reinterpret_cast<void**>(&out)),
              S_OK);
    out->AddRef();  // a filter that leaks a reference
    ULONG done = 0;
    out->Write("partial", 7, &done);
    EXPECT_EQ(GetFile("C:\\out.vtx"), "<error 32>");
    m_site->Release();
    m_site = nullptr;
    EXPECT_EQ(GetFile("C:\\out.vtx"), "partial");
}

TEST_F(FilterSiteTest, ADestinationReleasedDirectlyStaysSafe) {
    IStream* out = nullptr;
    ASSERT_EQ(m_site->OpenDestinationFile(CFF_OPEN_STREAM, nullptr, reinterpret_cast<void**>(&out)),
              S_OK);
    // The filter drops its object without the site: the site's own reference keeps the file open
    // until the site goes.
    out->Release();
    EXPECT_EQ(GetFile("C:\\out.vtx"), "<error 32>");
    m_site->Release();
    m_site = nullptr;
    EXPECT_EQ(GetFile("C:\\out.vtx"), "");
}

}  // namespace

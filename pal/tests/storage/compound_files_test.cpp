#include <gtest/gtest.h>
#include <windows.h>

#include "pal_testing/temp_world.h"

namespace pal {
namespace {

class CompoundFilesTest : public testing::DesktopTest {};

IStorage* const kPoison = reinterpret_cast<IStorage*>(0x10);

TEST_F(CompoundFilesTest, OpeningFailsWithTheReasonAndLeavesTheFileAlone) {
    HANDLE file = CreateFileW(u"C:\\doc.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "data", 4, &written, nullptr);
    CloseHandle(file);

    IStorage* storage = kPoison;
    EXPECT_EQ(StgOpenStorage(u"C:\\doc.bin", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                             &storage),
              STG_E_INVALIDFUNCTION);
    EXPECT_EQ(storage, nullptr);
    EXPECT_EQ(GetFileAttributesW(u"C:\\doc.bin") & FILE_ATTRIBUTE_DIRECTORY, 0u);

    storage = kPoison;
    EXPECT_EQ(StgOpenStorage(u"C:\\missing.bin", nullptr, STGM_READ, nullptr, 0, &storage),
              STG_E_FILENOTFOUND);
    EXPECT_EQ(storage, nullptr);
    EXPECT_EQ(StgOpenStorage(u"C:\\no folder\\x.bin", nullptr, STGM_READ, nullptr, 0, &storage),
              STG_E_PATHNOTFOUND);
    EXPECT_EQ(StgOpenStorage(nullptr, nullptr, STGM_READ, nullptr, 0, &storage), STG_E_INVALIDNAME);
    EXPECT_EQ(StgOpenStorage(u"C:\\doc.bin", nullptr, STGM_READ, nullptr, 0, nullptr),
              STG_E_INVALIDPOINTER);
}

TEST_F(CompoundFilesTest, CreatingFailsWithoutTouchingAnything) {
    HANDLE file = CreateFileW(u"C:\\doc.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "data", 4, &written, nullptr);
    CloseHandle(file);

    IStorage* storage = kPoison;
    DWORD mode = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    EXPECT_EQ(StgCreateDocfile(u"C:\\doc.bin", mode, 0, &storage), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(storage, nullptr);
    EXPECT_EQ(StgCreateDocfile(u"C:\\new.bin", mode, 0, &storage), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(GetFileAttributesW(u"C:\\new.bin"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(StgCreateDocfile(u"C:\\new.bin", mode, 0, nullptr), STG_E_INVALIDPOINTER);

    // The existing file keeps its four bytes.
    file = CreateFileW(u"C:\\doc.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(GetFileSize(file, nullptr), 4u);
    CloseHandle(file);
}

}  // namespace
}  // namespace pal

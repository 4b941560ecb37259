// Converting attachment files through the partnership's filters and delivering them into the
// device's temporary folder.
#include <optional>
#include <string>
#include <vector>

#include "activesync/filters.h"
#include "attachment_conversion.h"
#include "store_fixture.h"
#include "test_filters.h"

namespace {

using activesync::FilterDirection;
using trellium_testing::FilterCall;
using trellium_testing::FilterStep;

const char16_t kScripted[] = u"{0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0}";
const HWND kEngineWindow = reinterpret_cast<HWND>(0x4242);

void PutFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::optional<std::string> GetFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

// The sample filter's device text for an ASCII text.
std::string DeviceText(const std::string& text) {
    std::string bytes = {'V', 'T', 'X', 1};
    auto units = static_cast<DWORD>(text.size());
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>(units >> shift);
    for (char c : text) bytes += {c, 0};
    return bytes;
}

class ConversionTest : public trellium_testing::StoreTest {
protected:
    ConversionTest() {
        m_id = Partner();
        Connect(m_id);
        m_engine = activesync::ReplNotify::Create(m_world.Desktop(), kEngineWindow);
        CHAR temp[MAX_PATH];
        DWORD length = GetTempPathA(MAX_PATH, temp);
        m_temp.assign(temp, length);
        CreateDirectoryA("C:\\Docs", nullptr);
        // Filters are COM objects, created on the engine's thread, which uses COM.
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    }
    ~ConversionTest() override {
        CoUninitialize();
        m_engine->Release();
    }

    void SetFilter(const char16_t* extension, FilterDirection direction, const char16_t* filter) {
        activesync::SetExtensionFilter(m_world.Desktop(), m_id, extension, direction, filter);
    }
    // A scripted class with `newExtension` for ".txt" towards the device.
    void UseScripted(std::vector<FilterStep> script, const char16_t* newExtension = u"vtx") {
        trellium_testing::RegisterScriptedFilter(m_world.Desktop(), kScripted, std::move(script),
                                                 &m_calls);
        activesync::RegisterFilterClass(m_world.Desktop(), kScripted, u"Scripted",
                                        FilterDirection::Import, newExtension);
        SetFilter(u".txt", FilterDirection::Import, kScripted);
    }

    std::optional<std::string> DeviceFile(const std::u16string& path) {
        pal::ScopedContext device(m_world.Device());
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return std::nullopt;
        std::string bytes;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got)
            bytes.append(buffer, got);
        CloseHandle(file);
        return bytes;
    }

    // ConvertToDevice of `path`, keeping the device path and record name.
    DWORD Deliver(const std::string& path) {
        m_devicePath[0] = m_recordName[0] = 0;
        return ConvertToDevice(m_engine, path.c_str(), m_devicePath, m_recordName);
    }

    DWORD m_id = 0;
    activesync::ReplNotify* m_engine = nullptr;
    std::string m_temp;
    std::vector<FilterCall> m_calls;
    WCHAR m_devicePath[MAX_PATH] = {};
    WCHAR m_recordName[MAX_PATH] = {};
};

TEST_F(ConversionTest, WithoutAFilterTheFileGoesUnchangedAndIsDeletedOnTheDesktop) {
    PutFile("C:\\Docs\\plain.dat", "hello");
    EXPECT_EQ(Deliver("C:\\Docs\\plain.dat"), 5u);
    EXPECT_EQ(std::u16string(m_recordName), u"plain.dat");
    EXPECT_EQ(std::u16string(m_devicePath), u"\\Temp\\plain.dat");
    EXPECT_EQ(DeviceFile(u"\\Temp\\plain.dat"), "hello");
    EXPECT_EQ(GetFile("C:\\Docs\\plain.dat"), std::nullopt);
}

TEST_F(ConversionTest, ConversionTurnedOffCopiesUnchanged) {
    UseScripted({{S_OK, "converted"}});
    activesync::SetConversionEnabled(m_world.Desktop(), m_id, false);
    PutFile("C:\\Docs\\note.txt", "original");
    EXPECT_EQ(Deliver("C:\\Docs\\note.txt"), 8u);
    EXPECT_EQ(std::u16string(m_recordName), u"note.txt");
    EXPECT_EQ(DeviceFile(u"\\Temp\\note.txt"), "original");
    EXPECT_EQ(GetFile("C:\\Docs\\note.txt"), std::nullopt);
    EXPECT_TRUE(m_calls.empty());

    // Turned on again (any non-zero value), the filter runs.
    activesync::SetConversionEnabled(m_world.Desktop(), m_id, true);
    PutFile("C:\\Docs\\note.txt", "original");
    EXPECT_EQ(Deliver("C:\\Docs\\note.txt"), 9u);
    EXPECT_EQ(m_calls.size(), 2u);
}

TEST_F(ConversionTest, BinaryCopyInAnyCaseMeansNoConversion) {
    UseScripted({{S_OK, "converted"}});
    for (const char16_t* value : {u"Binary Copy", u"binary COPY", u"BINARY copy"}) {
        SetFilter(u".txt", FilterDirection::Import, value);
        PutFile("C:\\Docs\\note.txt", "original");
        EXPECT_EQ(Deliver("C:\\Docs\\note.txt"), 8u);
        EXPECT_EQ(DeviceFile(u"\\Temp\\note.txt"), "original");
    }
    EXPECT_TRUE(m_calls.empty());
}

TEST_F(ConversionTest, WithoutAPartnershipKeyNothingIsConvertedOrCopied) {
    m_link->Disconnect();
    PutFile("C:\\Docs\\plain.dat", "hello");
    std::vector<std::string> outputs{"stale"};
    EXPECT_EQ(Convert(m_engine, "C:\\Docs\\plain.dat", CONVERT_IMPORT, outputs), 0u);
    EXPECT_TRUE(outputs.empty());
    EXPECT_EQ(Deliver("C:\\Docs\\plain.dat"), 0u);
    EXPECT_EQ(GetFile("C:\\Docs\\plain.dat"), "hello");
}

TEST_F(ConversionTest, AMissingFileFails) {
    std::vector<std::string> outputs;
    EXPECT_EQ(Convert(m_engine, "C:\\Docs\\gone.dat", CONVERT_IMPORT, outputs), 0u);
    EXPECT_EQ(Deliver("C:\\Docs\\gone.dat"), 0u);
}

TEST_F(ConversionTest, AnEmptyFileIsNeverDelivered) {
    PutFile("C:\\Docs\\empty.dat", "");
    EXPECT_EQ(Deliver("C:\\Docs\\empty.dat"), 0u);
    // Neither the desktop file nor an empty device file is left behind.
    EXPECT_EQ(GetFile("C:\\Docs\\empty.dat"), std::nullopt);
    EXPECT_EQ(DeviceFile(u"\\Temp\\empty.dat"), std::nullopt);
}

TEST_F(ConversionTest, LargeFilesArriveWholeAcrossPieces) {
    std::string bytes;
    for (int i = 0; i < 65472 * 2 + 1; ++i) bytes += static_cast<char>(i * 7 + i / 251);
    PutFile("C:\\Docs\\big.bin", bytes);
    EXPECT_EQ(Deliver("C:\\Docs\\big.bin"), bytes.size());
    EXPECT_EQ(DeviceFile(u"\\Temp\\big.bin"), bytes);

    std::string exact(65472, 'x');
    PutFile("C:\\Docs\\exact.bin", exact);
    EXPECT_EQ(Deliver("C:\\Docs\\exact.bin"), exact.size());
    EXPECT_EQ(DeviceFile(u"\\Temp\\exact.bin"), exact);
}

TEST_F(ConversionTest, NewExtensionNamesTheConvertedFileInTheTemporaryFolder) {
    UseScripted({{S_OK, "converted"}});
    PutFile("C:\\Docs\\note.txt", "original");
    std::vector<std::string> outputs;
    ASSERT_EQ(Convert(m_engine, "C:\\Docs\\note.txt", CONVERT_IMPORT, outputs), 1u);
    EXPECT_EQ(outputs, std::vector<std::string>{m_temp + "note.vtx"});
    EXPECT_EQ(GetFile(m_temp + "note.vtx"), "converted");
    EXPECT_EQ(GetFile("C:\\Docs\\note.txt"), "original");

    ASSERT_EQ(m_calls.size(), 2u);
    const FilterCall& call = m_calls[0];
    EXPECT_EQ(call.n, 0);
    EXPECT_EQ(m_calls[1].n, 1);
    EXPECT_TRUE(call.info.bImport);
    EXPECT_EQ(call.info.hwndParent, kEngineWindow);
    EXPECT_FALSE(call.info.bYesToAll);
    EXPECT_STREQ(call.source.szFullpath, "C:\\Docs\\note.txt");
    EXPECT_STREQ(call.source.szPath, "C:\\Docs");
    EXPECT_STREQ(call.source.szFilename, "note");
    EXPECT_STREQ(call.source.szExtension, ".txt");
    EXPECT_EQ(call.source.cbSize, 8u);
    EXPECT_NE(call.source.ftModified.dwHighDateTime, 0u);
    EXPECT_EQ(call.destination.szFullpath, m_temp + "note.vtx");
    EXPECT_EQ(call.destination.szPath + std::string("\\"), m_temp);
    EXPECT_STREQ(call.destination.szFilename, "note");
    EXPECT_STREQ(call.destination.szExtension, "vtx");

    PutFile("C:\\Docs\\note.txt", "original");
    EXPECT_EQ(Deliver("C:\\Docs\\note.txt"), 9u);
    EXPECT_EQ(std::u16string(m_recordName), u"note.vtx");
    EXPECT_EQ(DeviceFile(u"\\Temp\\note.vtx"), "converted");
    // The converted file is gone from the desktop; the source was not listed and stays.
    EXPECT_EQ(GetFile(m_temp + "note.vtx"), std::nullopt);
    EXPECT_EQ(GetFile("C:\\Docs\\note.txt"), "original");
}

TEST_F(ConversionTest, WithoutNewExtensionTheSourceExtensionIsKept) {
    UseScripted({{S_OK, "converted"}}, u"");
    PutFile("C:\\Docs\\note.txt", "original");
    std::vector<std::string> outputs;
    ASSERT_EQ(Convert(m_engine, "C:\\Docs\\note.txt", CONVERT_IMPORT, outputs), 1u);
    EXPECT_EQ(outputs, std::vector<std::string>{m_temp + "note.txt"});
    EXPECT_EQ(GetFile(m_temp + "note.txt"), "converted");
}

TEST_F(ConversionTest, AFileWhereItsConvertedFormGoesIsConvertedIntoAFolderOfItsOwn) {
    UseScripted({{S_OK, "converted"}}, u"");
    std::string path = m_temp + "note.txt";
    PutFile(path, "original");
    EXPECT_EQ(Deliver(path), 9u);
    EXPECT_EQ(std::u16string(m_recordName), u"note.txt");
    EXPECT_EQ(DeviceFile(u"\\Temp\\note.txt"), "converted");
    ASSERT_EQ(m_calls.size(), 2u);
    EXPECT_EQ(m_calls[0].source.szFullpath, path);
    EXPECT_NE(std::string(m_calls[0].destination.szFullpath), path);
    // The source was read, not overwritten; the converted file and its folder are gone.
    EXPECT_EQ(GetFile(path), "original");
    EXPECT_EQ(GetFile(m_temp + "Converted.1\\note.txt"), std::nullopt);
    EXPECT_EQ(GetFileAttributesA((m_temp + "Converted.1").c_str()), INVALID_FILE_ATTRIBUTES);

    // The same extension named as the new one is the same case; a failing filter leaves nothing.
    UseScripted({{E_FAIL, ""}}, u"txt");
    EXPECT_EQ(Deliver(path), 8u);
    EXPECT_EQ(DeviceFile(u"\\Temp\\note.txt"), "original");
    EXPECT_EQ(GetFileAttributesA((m_temp + "Converted.1").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ConversionTest, AFailingFilterFallsBackToTheUnconvertedFile) {
    UseScripted({{E_FAIL, "", 0}});
    PutFile("C:\\Docs\\note.txt", "original");
    EXPECT_EQ(Deliver("C:\\Docs\\note.txt"), 8u);
    EXPECT_EQ(std::u16string(m_recordName), u"note.txt");
    EXPECT_EQ(DeviceFile(u"\\Temp\\note.txt"), "original");
    EXPECT_EQ(m_calls.size(), 1u);
}

TEST_F(ConversionTest, AFilterFailingAfterAnOutputLeavesNothingBehind) {
    UseScripted({{S_OK, "first"}, {HRESULT_FROM_WIN32(ERROR_INVALID_DATA), ""}});
    PutFile("C:\\Docs\\note.txt", "original");
    std::vector<std::string> outputs;
    ASSERT_EQ(Convert(m_engine, "C:\\Docs\\note.txt", CONVERT_IMPORT, outputs), 1u);
    EXPECT_EQ(outputs, std::vector<std::string>{"C:\\Docs\\note.txt"});
    EXPECT_EQ(GetFile(m_temp + "note.vtx"), std::nullopt);
}

TEST_F(ConversionTest, AMissingOrUnusableClassFallsBackToTheUnconvertedFile) {
    for (const char16_t* value : {u"{99999999-8888-7777-6666-555555555555}", u"not a class", u""}) {
        SetFilter(u".txt", FilterDirection::Import, value);
        PutFile("C:\\Docs\\note.txt", "original");
        EXPECT_EQ(Deliver("C:\\Docs\\note.txt"), 8u);
        EXPECT_EQ(DeviceFile(u"\\Temp\\note.txt"), "original");
    }
}

TEST_F(ConversionTest, AFilterThatMakesNothingMakesTheFileUndeliverable) {
    UseScripted({});
    PutFile("C:\\Docs\\note.txt", "original");
    std::vector<std::string> outputs;
    EXPECT_EQ(Convert(m_engine, "C:\\Docs\\note.txt", CONVERT_IMPORT, outputs), 0u);
    EXPECT_TRUE(outputs.empty());
    EXPECT_EQ(Deliver("C:\\Docs\\note.txt"), 0u);
    EXPECT_EQ(DeviceFile(u"\\Temp\\note.txt"), std::nullopt);
    EXPECT_EQ(DeviceFile(u"\\Temp\\note.vtx"), std::nullopt);
}

TEST_F(ConversionTest, EndOfOutputsIsAlsoEFailWithErrorWord259) {
    UseScripted({{S_OK, "one"}, {E_FAIL, "", ERROR_NO_MORE_ITEMS}});
    PutFile("C:\\Docs\\note.txt", "original");
    std::vector<std::string> outputs;
    EXPECT_EQ(Convert(m_engine, "C:\\Docs\\note.txt", CONVERT_IMPORT, outputs), 1u);
    EXPECT_EQ(outputs, std::vector<std::string>{m_temp + "note.vtx"});
}

TEST_F(ConversionTest, EveryOutputIsListed) {
    UseScripted({{S_OK, "one"}, {S_OK, "two"}, {S_OK, "three"}});
    PutFile("C:\\Docs\\note.txt", "original");
    std::vector<std::string> outputs;
    EXPECT_EQ(Convert(m_engine, "C:\\Docs\\note.txt", CONVERT_IMPORT, outputs), 3u);
    EXPECT_EQ(outputs, std::vector<std::string>(3, m_temp + "note.vtx"));
    EXPECT_EQ(m_calls.size(), 4u);
}

TEST_F(ConversionTest, ExportUsesTheExportFilter) {
    UseScripted({{S_OK, "converted"}});
    PutFile("C:\\Docs\\note.txt", "original");
    std::vector<std::string> outputs;
    // Only DefaultImport is set: nothing to do towards the desktop.
    EXPECT_EQ(Convert(m_engine, "C:\\Docs\\note.txt", CONVERT_EXPORT, outputs), 1u);
    EXPECT_EQ(outputs, std::vector<std::string>{"C:\\Docs\\note.txt"});
    EXPECT_TRUE(m_calls.empty());

    SetFilter(u".txt", FilterDirection::Export, kScripted);
    SetFilter(u".txt", FilterDirection::Import, u"Binary Copy");
    EXPECT_EQ(Convert(m_engine, "C:\\Docs\\note.txt", CONVERT_EXPORT, outputs), 1u);
    EXPECT_EQ(outputs, std::vector<std::string>{m_temp + "note.vtx"});
    ASSERT_FALSE(m_calls.empty());
    EXPECT_FALSE(m_calls[0].info.bImport);
}

// The engine's own sample filter, loaded from its library through the registry.
class SampleFilterTest : public ConversionTest {
protected:
    SampleFilterTest() {
        activesync::InstallTextFilter(m_world.Desktop());
        SetFilter(u".txt", FilterDirection::Import, activesync::kTextToDeviceClass.data());
        SetFilter(u".vtx", FilterDirection::Export, activesync::kDeviceToTextClass.data());
    }
};

TEST_F(SampleFilterTest, TextGoesToTheDeviceAsDeviceText) {
    PutFile("C:\\Docs\\note.txt", "Hi there");
    EXPECT_EQ(Deliver("C:\\Docs\\note.txt"), 8u + 16u);
    EXPECT_EQ(std::u16string(m_recordName), u"note.vtx");
    EXPECT_EQ(DeviceFile(u"\\Temp\\note.vtx"), DeviceText("Hi there"));
    EXPECT_EQ(GetFile(m_temp + "note.vtx"), std::nullopt);

    // An empty text converts to nothing and is not delivered.
    PutFile("C:\\Docs\\empty.txt", "");
    EXPECT_EQ(Deliver("C:\\Docs\\empty.txt"), 0u);
}

TEST_F(SampleFilterTest, DeviceTextComesBackAsDesktopText) {
    std::string text = "caf\xE9 \x80";  // Windows-1252: e acute, euro sign
    std::string device = {'V', 'T', 'X', 1, 6, 0, 0, 0};
    for (char16_t unit : std::u16string(u"caf\u00E9 \u20AC")) {
        device += static_cast<char>(unit & 0xFF);
        device += static_cast<char>(unit >> 8);
    }
    PutFile("C:\\Docs\\memo.vtx", device);
    std::vector<std::string> outputs;
    ASSERT_EQ(Convert(m_engine, "C:\\Docs\\memo.vtx", CONVERT_EXPORT, outputs), 1u);
    EXPECT_EQ(outputs, std::vector<std::string>{m_temp + "memo.txt"});
    EXPECT_EQ(GetFile(m_temp + "memo.txt"), text);

    // Malformed device text fails the filter: the file is used as it is.
    PutFile("C:\\Docs\\bad.vtx", "VTX?junk");
    ASSERT_EQ(Convert(m_engine, "C:\\Docs\\bad.vtx", CONVERT_EXPORT, outputs), 1u);
    EXPECT_EQ(outputs, std::vector<std::string>{"C:\\Docs\\bad.vtx"});
    EXPECT_EQ(GetFile(m_temp + "bad.txt"), std::nullopt);
}

}  // namespace

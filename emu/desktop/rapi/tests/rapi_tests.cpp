#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "activesync/device_link.h"
#include "activesync/partnerships.h"
#include "pal/runtime/paths.h"
#include "pal/runtime/registry_store.h"
#include "pal_testing/temp_world.h"
#include "rapi.h"

namespace {

using namespace activesync;

class RapiTest : public pal::testing::DesktopTest {
protected:
    RapiTest() {
        CreatePartnership(m_world.Desktop(), m_world.Device(), u"PocketPC", 0x99);
        m_link.emplace(m_world.Get());
        m_link->Connect(0x99);
    }
    ~RapiTest() override { m_link.reset(); }

    std::filesystem::path DevicePath(std::u16string_view path) {
        DWORD error = 0;
        return *pal::ResolvePath(m_world.Device(), path, error);
    }

    std::optional<DeviceLink> m_link;
};

TEST_F(RapiTest, RegistryCallsChangeTheDevicesRegistry) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(CeRegCreateKeyEx(HKEY_CURRENT_USER, u"Software\\Quorvane\\Velumex", 0, nullptr, 0,
                               KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    DWORD id = 0x1234;
    ASSERT_EQ(CeRegSetValueEx(key, u"ID", 0, REG_DWORD, reinterpret_cast<BYTE*>(&id), 4),
              ERROR_SUCCESS);
    EXPECT_EQ(CeRegCloseKey(key), ERROR_SUCCESS);

    auto stored =
        pal::RegistryStore(m_world.Device()).GetValue(u"HKCU\\Software\\Quorvane\\Velumex", u"ID");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->data, (std::vector<BYTE>{0x34, 0x12, 0, 0}));
    EXPECT_FALSE(pal::RegistryStore(m_world.Desktop()).KeyExists(u"HKCU\\Software\\Quorvane"));

    ASSERT_EQ(
        CeRegOpenKeyEx(HKEY_LOCAL_MACHINE,
                       u"SOFTWARE\\Microsoft\\Windows CE Services\\Partners\\P1", 0, 0x20019, &key),
        ERROR_SUCCESS);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    ASSERT_EQ(
        CeRegQueryValueEx(key, u"PId", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 0x99u);
    BYTE small[2];
    size = sizeof small;
    EXPECT_EQ(CeRegQueryValueEx(key, u"PId", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(CeRegQueryValueEx(key, u"Missing", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CeRegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"No\\Such\\Key", 0, 0x20019, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CeRapiGetError(), S_OK);
}

TEST_F(RapiTest, FileCallsWorkInTheDevicesTemporaryFolder) {
    WCHAR temp[MAX_PATH];
    DWORD length = CeGetTempPath(MAX_PATH, temp);
    ASSERT_GT(length, 0u);
    std::u16string path(temp, length);
    EXPECT_EQ(path.back(), u'\\');
    EXPECT_EQ(CeGetTempPath(1, temp), length + 1);
    path += u"body.txt";

    HANDLE file = CeCreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(CeWriteFile(file, "hello", 5, &written, nullptr));
    EXPECT_EQ(written, 5u);
    EXPECT_TRUE(CeCloseHandle(file));
    std::ifstream onDevice(DevicePath(path));
    std::stringstream content;
    content << onDevice.rdbuf();
    EXPECT_EQ(content.str(), "hello");

    file = CeCreateFile(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char buffer[16] = {};
    DWORD read = 0;
    ASSERT_TRUE(CeReadFile(file, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "hello");
    ASSERT_TRUE(CeReadFile(file, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(read, 0u);
    EXPECT_TRUE(CeCloseHandle(file));

    EXPECT_TRUE(CeDeleteFile(path.c_str()));
    EXPECT_FALSE(std::filesystem::exists(DevicePath(path)));
    EXPECT_FALSE(CeDeleteFile(path.c_str()));
    EXPECT_EQ(CeGetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CeRapiGetError(), S_OK);
    EXPECT_EQ(
        CeCreateFile(u"\\No\\Such\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(CeGetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(RapiTest, VersionAndSessionAnswerForTheDevice) {
    CEOSVERSIONINFO version = {};
    version.dwOSVersionInfoSize = 276;
    ASSERT_TRUE(CeGetVersionEx(&version));
    EXPECT_EQ(version.dwMajorVersion, m_world.Device().Config().os.major);
    EXPECT_EQ(version.dwPlatformId, 3u);
    version.dwOSVersionInfoSize = sizeof version + 1;
    EXPECT_FALSE(CeGetVersionEx(&version));
    EXPECT_EQ(CeGetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    RAPIINIT init = {CBSIZE_RAPIINIT, nullptr, E_FAIL};
    ASSERT_EQ(CeRapiInitEx(&init), S_OK);
    EXPECT_EQ(WaitForSingleObject(init.heRapiInit, 0), WAIT_OBJECT_0);
    EXPECT_EQ(init.hrRapiInit, S_OK);
    EXPECT_EQ(CeRapiInitEx(&init), E_UNEXPECTED);
    EXPECT_EQ(CeRapiUninit(), S_OK);
    EXPECT_EQ(CeRapiUninit(), E_FAIL);
    init.cbSize = 4;
    EXPECT_EQ(CeRapiInitEx(&init), E_INVALIDARG);
}

TEST_F(RapiTest, CallsFailAsADisconnectedDeviceWould) {
    HKEY key = nullptr;
    ASSERT_EQ(CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, 0x20019, &key), ERROR_SUCCESS);
    m_link->Disconnect();
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(
        CeRegQueryValueEx(key, u"x", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(CeRapiGetError(), HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, 0x20019, &key),
              ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(CeCreateFile(u"\\a.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(CeGetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    WCHAR temp[MAX_PATH];
    EXPECT_EQ(CeGetTempPath(MAX_PATH, temp), 0u);
    EXPECT_FALSE(std::filesystem::exists(DevicePath(u"\\a.txt")));

    RAPIINIT init = {CBSIZE_RAPIINIT, nullptr, S_OK};
    ASSERT_EQ(CeRapiInitEx(&init), S_OK);
    EXPECT_EQ(WaitForSingleObject(init.heRapiInit, 0), WAIT_OBJECT_0);
    EXPECT_EQ(init.hrRapiInit, HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(CeRapiUninit(), S_OK);

    // Keys opened before a drop are gone with the device's server.
    m_link->Connect(0x99);
    EXPECT_EQ(CeRegCloseKey(key), ERROR_INVALID_HANDLE);
}

}  // namespace

namespace {

// A device whose remote-call server answers every call with `reply`.
class HostileDeviceTest : public RapiTest {
protected:
    void Answer(Bytes reply) {
        m_link->Serve(kRapiEndpoint, kRapiServerPath, [reply](const Bytes&) { return reply; });
    }
    // A reply: result, device last error, then the operation's fields.
    static Bytes Reply(std::uint32_t result, const std::function<void(ByteWriter&)>& fields) {
        ByteWriter out;
        out.U32(result).U32(0);
        fields(out);
        return out.Take();
    }
};

TEST_F(HostileDeviceTest, RepliesLargerThanTheCallersBufferCopyNothingAndFail) {
    const std::vector<BYTE> oversized(64, 0xEE);
    Answer(Reply(ERROR_SUCCESS, [&](ByteWriter& out) {
        out.U32(REG_BINARY).U32(4).Blob(oversized.data(), oversized.size());
    }));
    BYTE buffer[16] = {};
    DWORD size = 4;
    DWORD type = 0;
    EXPECT_EQ(CeRegQueryValueEx(reinterpret_cast<HKEY>(8), u"V", nullptr, &type, buffer, &size),
              ERROR_INVALID_DATA);
    EXPECT_EQ(std::vector<BYTE>(buffer, buffer + 16), std::vector<BYTE>(16, 0));

    // A temporary path longer than the buffer although its length claims to fit.
    const std::u16string longPath(100, u'x');
    Answer(Reply(3, [&](ByteWriter& out) { out.Text(longPath); }));
    WCHAR path[8] = {};
    EXPECT_EQ(CeGetTempPath(8, path), 0u);
    EXPECT_EQ(CeGetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_EQ(std::u16string(path, 8), std::u16string(8, u'\0'));

    BYTE read[4] = {};
    DWORD got = 0;
    Answer(Reply(TRUE, [&](ByteWriter& out) { out.Blob(oversized.data(), oversized.size()); }));
    EXPECT_FALSE(CeReadFile(reinterpret_cast<HANDLE>(8), read, sizeof read, &got, nullptr));
    EXPECT_EQ(got, 0u);
}

TEST_F(HostileDeviceTest, RepliesCutShortFailEveryCallWithoutThrowing) {
    for (const Bytes& reply : {Bytes{}, Bytes{0, 0}, Reply(ERROR_SUCCESS, [](ByteWriter& out) {
                                                       out.U32(REG_DWORD);
                                                   })}) {
        Answer(reply);
        HKEY key = reinterpret_cast<HKEY>(1);
        EXPECT_NE(CeRegOpenKeyEx(HKEY_CURRENT_USER, u"Software", 0, 0, &key), ERROR_SUCCESS);
        DWORD disposition = 7;
        EXPECT_NE(CeRegCreateKeyEx(HKEY_CURRENT_USER, u"Software", 0, nullptr, 0, 0, nullptr,
                                   &key, &disposition),
                  ERROR_SUCCESS);
        EXPECT_EQ(disposition, 7u);
        BYTE data[4] = {};
        DWORD size = sizeof data;
        EXPECT_NE(CeRegQueryValueEx(key, u"V", nullptr, nullptr, data, &size), ERROR_SUCCESS);
        EXPECT_EQ(CeCreateFile(u"\\f", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        DWORD written = 0;
        EXPECT_FALSE(CeWriteFile(reinterpret_cast<HANDLE>(8), data, 4, &written, nullptr));
        WCHAR temp[MAX_PATH];
        EXPECT_EQ(CeGetTempPath(MAX_PATH, temp), 0u);
        CEOSVERSIONINFO version = {};
        version.dwOSVersionInfoSize = 276;
        EXPECT_FALSE(CeGetVersionEx(&version));
        EXPECT_EQ(CeGetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    }
}

}  // namespace

// A desktop with the mail client installed, its Simple MAPI library loaded into the test's
// process through the expanded "DLLPath", and helpers to arrange mail.
#pragma once

#include <gtest/gtest.h>
#include <mapi.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "emu/mailclient/mail_client.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/paths.h"
#include "pal_testing/temp_world.h"

namespace mailclient_testing {

using namespace emu::mailclient;

// The expanded "DLLPath" of the installed client, as the desktop reads it.
inline std::string RegisteredLibraryPath() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail\\Outlook Express", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return {};
    char raw[MAX_PATH] = {};
    DWORD size = sizeof raw;
    DWORD type = 0;
    LONG result =
        RegQueryValueExA(key, "DLLPath", nullptr, &type, reinterpret_cast<BYTE*>(raw), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_EXPAND_SZ) return {};
    char expanded[MAX_PATH] = {};
    if (ExpandEnvironmentStringsA(raw, expanded, MAX_PATH) == 0) return {};
    return expanded;
}

inline Message Mail(std::string subject, std::string body = "Body text") {
    Message message;
    message.subject = std::move(subject);
    message.body = std::move(body);
    message.from = {"Ann Sender", "ann@example.com"};
    message.recipients = {{kTo, "Bob", "bob@example.com"}};
    message.received = "2024-03-05T09:07:30";
    return message;
}

inline std::vector<std::uint8_t> Bytes(std::string_view text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

class MailClientTest : public pal::testing::DesktopTest {
protected:
    void SetUp() override {
        InstallMailClient(Desktop());
        m_libraryPath = RegisteredLibraryPath();
        ASSERT_FALSE(m_libraryPath.empty());
    }

    pal::Machine& Desktop() { return m_world.Desktop(); }

    // The host path of a Windows path of the desktop.
    std::filesystem::path Host(const std::string& windowsPath) {
        DWORD error = 0;
        auto host = pal::ResolvePath(Desktop(), pal::U16(windowsPath), error);
        return host ? *host : std::filesystem::path();
    }

    std::string ReadHostFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    void WriteDesktopFile(const std::string& windowsPath, const std::string& content) {
        std::ofstream(Host(windowsPath), std::ios::binary) << content;
    }

    std::string m_libraryPath;
};

// The library's seven calls, resolved by name as any desktop program resolves them.
class LibraryTest : public MailClientTest {
protected:
    void SetUp() override {
        MailClientTest::SetUp();
        m_module = LoadLibraryA(m_libraryPath.c_str());
        ASSERT_NE(m_module, nullptr);
        logon = reinterpret_cast<LPMAPILOGON>(GetProcAddress(m_module, "MAPILogon"));
        logoff = reinterpret_cast<LPMAPILOGOFF>(GetProcAddress(m_module, "MAPILogoff"));
        findNext = reinterpret_cast<LPMAPIFINDNEXT>(GetProcAddress(m_module, "MAPIFindNext"));
        readMail = reinterpret_cast<LPMAPIREADMAIL>(GetProcAddress(m_module, "MAPIReadMail"));
        freeBuffer = reinterpret_cast<LPMAPIFREEBUFFER>(GetProcAddress(m_module, "MAPIFreeBuffer"));
        sendMail = reinterpret_cast<LPMAPISENDMAIL>(GetProcAddress(m_module, "MAPISendMail"));
        deleteMail = reinterpret_cast<LPMAPIDELETEMAIL>(GetProcAddress(m_module, "MAPIDeleteMail"));
        ASSERT_TRUE(logon && logoff && findNext && readMail && freeBuffer && sendMail &&
                    deleteMail);
        ASSERT_EQ(logon(0, nullptr, nullptr, 0, 0, &m_session), SUCCESS_SUCCESS);
    }
    void TearDown() override {
        if (m_module) FreeLibrary(m_module);
    }

    // The identifiers FindNext walks from the start, with `flags`.
    std::vector<std::string> Walk(FLAGS flags = 0) {
        std::vector<std::string> ids;
        char seed[64] = "";
        char id[64];
        ULONG result;
        while ((result = findNext(m_session, 0, nullptr, seed, flags, 0, id)) == SUCCESS_SUCCESS) {
            ids.push_back(id);
            std::strcpy(seed, id);
        }
        EXPECT_EQ(result, static_cast<ULONG>(MAPI_E_NO_MESSAGES));
        return ids;
    }

    ULONG Read(std::uint64_t id, FLAGS flags, lpMapiMessage* message) {
        std::string text = std::to_string(id);
        return readMail(m_session, 0, text.data(), flags, 0, message);
    }

    HMODULE m_module = nullptr;
    LHANDLE m_session = 0;
    LPMAPILOGON logon = nullptr;
    LPMAPILOGOFF logoff = nullptr;
    LPMAPIFINDNEXT findNext = nullptr;
    LPMAPIREADMAIL readMail = nullptr;
    LPMAPIFREEBUFFER freeBuffer = nullptr;
    LPMAPISENDMAIL sendMail = nullptr;
    LPMAPIDELETEMAIL deleteMail = nullptr;
};

}  // namespace mailclient_testing

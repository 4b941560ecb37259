// A desktop with the engine installed, the resource library beside the test program, partnerships
// with the device, the device link, and a store created as the class factory creates it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "activesync/data_requests.h"
#include "activesync/device_link.h"
#include "activesync/partnerships.h"
#include "activesync/repl_notify.h"
#include "pal/runtime/context.h"
#include "pal/runtime/message_boxes.h"
#include "pal/runtime/module_install.h"
#include "pal_testing/temp_world.h"
#include "st_log_file.h"
#include "store.h"

namespace trellium_testing {

class StoreTest : public pal::testing::DesktopTest {
protected:
    explicit StoreTest(activesync::EngineSetup setup = {}) {
        // The provider code is part of the test program: its resource library goes beside it.
        pal::InstallModule(m_world.Desktop(), TRELLIUM_RES_MODULE,
                           u"C:\\Windows\\System32\\Trellium_res.dll");
        activesync::InstallEngine(m_world.Desktop(), setup);
        m_store = new CStore(nullptr);
        m_store->AddRef();
        m_notify = activesync::ReplNotify::Create(m_world.Desktop(), nullptr);
    }
    ~StoreTest() override {
        // As the engine does: the store drops its callback on RSC_RELEASE, not when destroyed.
        m_store->ReportStatus(nullptr, nullptr, RSC_RELEASE, 0);
        m_store->Release();
        m_notify->Release();
        m_link.reset();
        // As the provider's detach does: the log closes while its world still exists.
        CSTLogFile::Destroy();
    }

    DWORD Partner(const char16_t* deviceType = u"PocketPC") {
        return activesync::CreatePartnership(m_world.Desktop(), m_world.Device(), deviceType).id;
    }
    void Connect(DWORD id) {
        if (!m_link) m_link.emplace(m_world.Desktop(), m_world.Device());
        m_link->Connect(id);
    }

    // "Disabled" of an object type of a desktop partnership.
    void SetSwitch(DWORD id, const std::string& type, DWORD disabled) {
        std::string path = "Software\\Microsoft\\Windows CE Services\\Partners\\";
        char name[9];
        std::snprintf(name, sizeof name, "%08x", id);
        path += name + std::string("\\Services\\Synchronization\\Objects\\") + type;
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "Disabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&disabled), 4);
        RegCloseKey(key);
    }

    // The device's HKCU "Software\Quorvane\Velumex", created as the device install leaves it.
    void CreateDeviceSettings() {
        pal::ScopedContext device(m_world.Device());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Quorvane\\Velumex", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void SetDeviceValue(const char16_t* name, DWORD value) {
        pal::ScopedContext device(m_world.Device());
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Quorvane\\Velumex", 0,
                                KEY_ALL_ACCESS, &key),
                  ERROR_SUCCESS);
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
        RegCloseKey(key);
    }
    std::optional<DWORD> DeviceValue(const char16_t* name) {
        pal::ScopedContext device(m_world.Device());
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Quorvane\\Velumex", 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return std::nullopt;
        DWORD value = 0;
        DWORD size = sizeof value;
        DWORD type = 0;
        LONG result =
            RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
        RegCloseKey(key);
        if (result != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
        return value;
    }

    // The device answers the contacts-mode request with `reply`.
    void AnswerContactsMode(activesync::Bytes reply) {
        activesync::ServeDataRequests(
            *m_link, u"\\Windows\\repllog.exe", [reply](const activesync::DataRequest& request) {
                activesync::DataReply answer;
                if (request.objType == u"Address" && request.code == 5 && !request.set)
                    answer.data = reply;
                else
                    answer.result = E_INVALIDARG;
                return answer;
            });
    }
    static activesync::Bytes Mode(DWORD mode) {
        return {static_cast<BYTE>(mode), static_cast<BYTE>(mode >> 8), 0, 0};
    }

    // The texts of the message boxes shown, in order.
    std::vector<std::u16string> BoxTexts() {
        std::vector<std::u16string> texts;
        for (const auto& box : m_world.Desktop().Get<pal::MessageBoxes>().Records())
            texts.push_back(box.text);
        return texts;
    }
    std::vector<pal::MessageBoxRecord> Boxes() {
        return m_world.Desktop().Get<pal::MessageBoxes>().Records();
    }
    // A string of the resource library, as the boxes show it.
    static std::u16string ResourceText(UINT id) {
        HMODULE library = LoadLibraryA("C:\\Windows\\System32\\Trellium_res.dll");
        WCHAR text[512] = {};
        LoadStringW(library, id, text, 512);
        FreeLibrary(library);
        return text;
    }

    CStore* m_store = nullptr;
    activesync::ReplNotify* m_notify = nullptr;
    std::optional<activesync::DeviceLink> m_link;
};

}  // namespace trellium_testing

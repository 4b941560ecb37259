#include "emu/inbox/inbox.h"

#include <cstdio>

#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/module_install.h"
#include "pal/runtime/process.h"

namespace inbox {

namespace {

std::string Hex(HRESULT value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::optional<std::u16string> ReadString(HKEY key, LPCWSTR name) {
    WCHAR buffer[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = sizeof(buffer) - sizeof(WCHAR);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    return std::u16string(buffer);
}

std::optional<DWORD> ReadDword(HKEY key, LPCWSTR name) {
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return value;
}

}  // namespace

void InstallInbox(pal::Machine& device) {
    pal::ScopedContext context(device);
    HKEY svc = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, INBOX_SVC_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &svc, nullptr) == ERROR_SUCCESS)
        RegCloseKey(svc);
    RegFlushKey(HKEY_LOCAL_MACHINE);
}

HRESULT InstallTransport(pal::Machine& device, const std::filesystem::path& library,
                         const std::u16string& windowsPath) {
    return pal::InstallSelfRegisteringModule(device, library, windowsPath,
                                             u"\\Windows\\wceload.exe");
}

std::optional<TransportRegistration> ReadRegistration(const std::u16string& type) {
    std::u16string path = std::u16string(INBOX_SVC_KEY) + u"\\" + type;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    TransportRegistration registration;
    registration.name = ReadString(key, W("Name")).value_or(u"");
    registration.library = ReadString(key, W("DLL")).value_or(u"");
    registration.userCannotCreate = ReadDword(key, W("UserCannotCreate"));
    HKEY classes = nullptr;
    if (RegOpenKeyExW(key, W("MsgClasses"), 0, KEY_READ, &classes) == ERROR_SUCCESS) {
        registration.carriesNotes = ReadDword(classes, W("IPM.Note"));
        RegCloseKey(classes);
    }
    RegCloseKey(key);
    return registration;
}

STDMETHODIMP Callback::QueryInterface(REFIID, void** object) {
    if (object) *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) Callback::AddRef() { return ++m_references; }

STDMETHODIMP_(ULONG) Callback::Release() { return --m_references; }

Account::Account(const std::u16string& type) {
    auto registration = ReadRegistration(type);
    if (!registration || registration->library.empty())
        throw InboxError("the Inbox has no transport for this account type");
    m_module = LoadLibraryW(registration->library.c_str());
    if (!m_module) throw InboxError("the transport library does not load");
    auto factory = reinterpret_cast<PONESTOPFACTORY>(GetProcAddress(m_module, "OneStopFactory"));
    HRESULT result = factory ? factory(type.c_str(), &m_handler) : E_NOTIMPL;
    if (FAILED(result) || !m_handler) {
        FreeLibrary(m_module);
        throw InboxError(factory ? "OneStopFactory failed: " + Hex(result)
                                 : "the transport library has no OneStopFactory");
    }
}

Account::~Account() {
    m_handler->Release();
    FreeLibrary(m_module);
}

HRESULT Account::Initialize(const std::u16string& accountName, IMsgStore* store) {
    return m_handler->Initialize(&m_callback, accountName.c_str(), store);
}

Account::Capability Account::Ask(const std::u16string& name, bool isText) {
    SPropValue value{};
    Capability answer;
    answer.result = m_handler->GetCapability(name.c_str(), &value);
    if (answer.result != S_OK) return answer;
    if (isText) {
        if (value.Value.lpszW) answer.text = std::u16string(value.Value.lpszW);
    } else {
        answer.number = value.Value.ul;
    }
    return answer;
}

const std::vector<std::u16string>& KnownCapabilities() {
    static const std::vector<std::u16string> names = {
        u"SyncMsgClassDef", u"ClearAll",   u"EmptyDeleteItem", u"EditProperties",
        u"EmptyFolderOptions", u"MgmtFolder", u"Sync",     u"SyncOnDockEvent", u"Connect",
    };
    return names;
}

}  // namespace inbox

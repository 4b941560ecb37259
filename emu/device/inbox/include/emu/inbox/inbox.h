// The device Inbox, as far as transports meet it. The Inbox keeps one subkey per account type
// under HKEY_LOCAL_MACHINE "Software\Microsoft\Inbox\Svc"; its "DLL" names the transport library,
// whose OneStopFactory creates the handler the Inbox initialises with the account's name and
// message store and asks about the type's capabilities. Every call works in the current machine.
#pragma once

#include <mail_transport.h>
#include <windows.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pal {
class Machine;
}

namespace inbox {

// Where the transport library is installed on the device.
inline constexpr char16_t kKTtransPath[] = u"\\Windows\\KTtrans.dll";

class InboxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Creates the Inbox's transport key, as the device's Inbox has it from the start.
void InstallInbox(pal::Machine& device);

// Copies `library` to `windowsPath` on the device and has it register itself (DllRegisterServer)
// in a device process of its own. Returns that result, or an HRESULT from the last error when the
// library does not load or lacks the export. Throws std::runtime_error when the copy fails.
HRESULT InstallTransport(pal::Machine& device, const std::filesystem::path& library,
                         const std::u16string& windowsPath = kKTtransPath);

// An account type's registration as the Inbox reads it.
struct TransportRegistration {
    std::u16string name;     // "Name"
    std::u16string library;  // "DLL"
    std::optional<DWORD> userCannotCreate;
    // "MsgClasses" value "IPM.Note": whether the type carries ordinary mail.
    std::optional<DWORD> carriesNotes;
};

// The registration of `type`; nullopt when the type has no subkey.
std::optional<TransportRegistration> ReadRegistration(const std::u16string& type);

// The Inbox's callback object: counts the references the transport holds on it.
class Callback : public IMailSyncCallBack {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // References beyond the Inbox's own.
    ULONG HeldByOthers() const { return m_references - 1; }

private:
    ULONG m_references = 1;
};

// One account opened as the Inbox opens it: the transport library loaded from the type's "DLL",
// its handler created with OneStopFactory(type). Closing releases the handler, then unloads the
// library.
class Account {
public:
    // Throws InboxError when the type is not registered, the library does not load or lacks
    // OneStopFactory, or the factory fails (the message names its HRESULT).
    explicit Account(const std::u16string& type);
    ~Account();
    Account(const Account&) = delete;
    Account& operator=(const Account&) = delete;

    // The handler (one reference, the Inbox's).
    IMailSyncHandler& Handler() { return *m_handler; }
    Callback& InboxCallback() { return m_callback; }

    // Slot 3 with the Inbox's callback, the account name and its message store (may be null).
    HRESULT Initialize(const std::u16string& accountName, IMsgStore* store);
    // Slot 7 for one capability name. For S_OK, `number` is the value as a 32-bit number and
    // `text` the string it points to (when the capability is a message class).
    struct Capability {
        HRESULT result = E_FAIL;
        DWORD number = 0;
        std::optional<std::u16string> text;
    };
    Capability Ask(const std::u16string& name, bool isText);

private:
    HMODULE m_module = nullptr;
    IMailSyncHandler* m_handler = nullptr;
    Callback m_callback;
};

// The capabilities the Inbox asks every transport about, "SyncMsgClassDef" first.
const std::vector<std::u16string>& KnownCapabilities();

}  // namespace inbox

// velumex device install-transport | mail apply FILE | mail request ID: the Inbox transport, a
// desktop packet stored through the device provider as the engine stores it, and a download
// request as the device user makes it.
#include <cedb.h>
#include <cemapi.h>
#include <device_sync.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "activesync/device_host.h"
#include "cli.h"
#include "emu/cemapi/message_stores.h"
#include "emu/inbox/inbox.h"
#include "mail_folder_calls.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"

namespace velumex {

namespace {

constexpr char16_t kMailType[] = u"Message";
constexpr char16_t kAccountKey[] = u"Software\\Microsoft\\Inbox\\Svc\\Kestrin";
// The Inbox's download requests: the whole message, one or more attachments, and on an
// attachment its own request.
constexpr ULONG kRequestWholeMessage = 0x00001000;
constexpr ULONG kRequestAttachments = 0x00200000;
constexpr ULONG kAttachmentRequested = 0x00001000;

std::filesystem::path ModuleDir() {
    const char* configured = std::getenv("VELUMEX_MODULES");
    return configured && *configured ? configured : VELUMEX_MODULE_DIR;
}

std::vector<BYTE> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CliError("cannot read " + path);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

// The account's name as the launcher wrote it; empty when absent.
std::u16string AccountName() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAccountKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    WCHAR name[64] = {};
    DWORD size = sizeof(name) - sizeof(WCHAR);
    DWORD type = 0;
    LONG status = RegQueryValueExW(key, u"FriendlyName", nullptr, &type,
                                   reinterpret_cast<LPBYTE>(name), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) ? name
                                                                                : std::u16string();
}

// A device process of its own for the duration of a command's device calls.
class DeviceProgram {
public:
    DeviceProgram(pal::Machine& device, const char16_t* path)
        : m_device(device), m_process(device.CreateProcess(path)), m_context(device, m_process) {}
    ~DeviceProgram() {
        m_process->MarkExited(0);
        m_device.RemoveProcess(m_process->Id());
    }

private:
    pal::Machine& m_device;
    std::shared_ptr<pal::Process> m_process;
    pal::ScopedContext m_context;
};

void InstallTransportCommand(CliContext& context) {
    auto world = context.OpenWorld();
    inbox::InstallInbox(world->Device());
    HRESULT result = inbox::InstallTransport(world->Device(), ModuleDir() / "KTtrans.so");
    if (FAILED(result)) throw CliError("the transport did not register: " + Hresult(result));
    pal::ScopedContext scope(world->Device());
    auto registration = inbox::ReadRegistration(u"Kestrin");
    if (!registration) throw CliError("the transport registered nothing under the Inbox's key");
    std::printf("installed %s for account type %s\n", pal::U8(registration->library).c_str(),
                pal::U8(registration->name).c_str());
    inbox::Account account(u"Kestrin");
    result = account.Initialize(AccountName(), nullptr);
    if (FAILED(result)) throw CliError("the transport's Initialize failed: " + Hresult(result));
    for (const auto& name : inbox::KnownCapabilities()) {
        bool isText = name == u"SyncMsgClassDef";
        auto answer = account.Ask(name, isText);
        if (answer.result != S_OK)
            std::printf("  %-20s %s\n", pal::U8(name).c_str(), Hresult(answer.result).c_str());
        else if (isText)
            std::printf("  %-20s %s\n", pal::U8(name).c_str(),
                        answer.text ? pal::U8(*answer.text).c_str() : "(none)");
        else
            std::printf("  %-20s %lu\n", pal::U8(name).c_str(),
                        static_cast<unsigned long>(answer.number));
    }
}

// Says what the device lacks for the provider to store mail, if anything.
void RequireMailAccount(pal::Machine& device) {
    pal::ScopedContext scope(device);
    std::u16string account = AccountName();
    if (account.empty())
        throw CliError("the Inbox account has no name: set HKLM\\" + pal::U8(kAccountKey) +
                       " FriendlyName (velumex reg set device ...)");
    if (!emu::cemapi::FindStore(device, account))
        throw CliError("the device has no message store for the account '" + pal::U8(account) +
                       "' (velumex device mail stores --create NAME)");
    CEGUID volume;
    WCHAR path[] = u"\\kestrin.vol";
    bool journal = false;
    if (CeMountDBVol(&volume, path, OPEN_EXISTING)) {
        CEOID oid = 0;
        WCHAR name[] = u"_notif_KTMSG";
        HANDLE db = CeOpenDatabaseEx(&volume, &oid, name, 0, 0, nullptr);
        journal = db != INVALID_HANDLE_VALUE;
        if (journal) CloseHandle(db);
        CeUnmountDBVol(&volume);
    }
    if (!journal)
        throw CliError("the device has no mail journal yet: the notification service makes it "
                       "when it starts");
}

void ApplyCommand(CliContext& context, const std::string& file, unsigned partner,
                  unsigned long existing) {
    std::vector<BYTE> packet = ReadFile(file);
    auto world = context.OpenWorld();
    RequireMailAccount(world->Device());
    RunningDevice running(world->Device());
    activesync::DeviceHost host(world->Device(), partner, {kMailType});
    if (!host.IsLoaded(kMailType))
        throw CliError("the device provider does not load for Message (install it with 'velumex "
                       "device install-provider', and the account with its store)");
    IReplObjHandler* handler = host.Handler(kMailType);
    REPLSETUP setup{};
    HRESULT stored = E_FAIL;
    host.Run([&] {
        setup.cbStruct = sizeof(setup);
        setup.fRead = FALSE;
        setup.dwFlags = existing ? 0 : RSF_NEW_OBJECT;
        setup.oid = static_cast<OBJID>(existing);
        std::copy(std::begin(kMailType), std::end(kMailType), setup.szObjType);
        HRESULT result = handler->Setup(&setup);
        stored = SUCCEEDED(result)
                     ? handler->SetPacket(packet.data(), static_cast<DWORD>(packet.size()))
                     : result;
        handler->Reset(&setup);
    });
    host.ReportStatus(kMailType, RSC_END_SYNC, 0);
    std::printf("SetPacket: %s\n", Hresult(stored).c_str());
    if (FAILED(stored)) throw CliError("the device did not store the packet");
    if (!existing) std::printf("journal record 0x%08lX\n", static_cast<unsigned long>(setup.oidNew));
}

void RequestCommand(CliContext& context, long long id, bool body, unsigned long attachment) {
    if (body == (attachment != 0))
        throw CliError("give exactly one of --body and --attachment N");
    auto world = context.OpenWorld();
    pal::Machine& device = world->Device();
    std::u16string account;
    {
        pal::ScopedContext scope(device);
        account = AccountName();
    }
    auto store = emu::cemapi::FindStore(device, account.empty() ? u"Kestrin" : account);
    if (!store) throw CliError("the device has no message store for the Kestrin account");
    auto message = emu::cemapi::ReadMessage(device, store->number, id);
    if (!message) throw CliError("the account has no message " + std::to_string(id));

    // The Inbox's own calls: the request reaches the store's advise sinks like a user's, and the
    // running notification service journals it.
    RunningDevice running(device);
    DeviceProgram program(device, u"\\Windows\\tmail.exe");
    IMAPISession* session = nullptr;
    if (FAILED(MAPIInitialize(nullptr))) throw CliError("the message stores do not start");
    HRESULT result = MAPILogonEx(0, nullptr, nullptr, 0, &session);
    IMAPIProp* target = nullptr;
    ULONG type = 0;
    if (SUCCEEDED(result))
        result = session->OpenEntry(static_cast<ULONG>(message->entryId.size()),
                                    reinterpret_cast<LPENTRYID>(message->entryId.data()), nullptr,
                                    MAPI_MODIFY, &type, reinterpret_cast<LPUNKNOWN*>(&target));
    if (SUCCEEDED(result) && attachment) {
        IMessage* mapiMessage = static_cast<IMessage*>(target);
        IAttach* attach = nullptr;
        result = mapiMessage->OpenAttach(static_cast<ULONG>(attachment), nullptr, MAPI_MODIFY,
                                         &attach);
        if (SUCCEEDED(result)) {
            ULONG status = 0;
            for (const auto& info : message->attachments)
                if (info.number == attachment) status = info.status.value_or(0);
            SPropValue value{};
            value.ulPropTag = PR_MSG_STATUS;
            value.Value.ul = status | kAttachmentRequested;
            result = attach->SetProps(1, &value, nullptr);
            attach->Release();
        }
    }
    if (SUCCEEDED(result)) {
        SPropValue value{};
        value.ulPropTag = PR_MSG_STATUS;
        value.Value.ul = message->status | (body ? kRequestWholeMessage : kRequestAttachments);
        result = target->SetProps(1, &value, nullptr);
    }
    if (target) target->Release();
    if (session) {
        session->Logoff(0, 0, 0);
        session->Release();
    }
    MAPIUninitialize();
    if (FAILED(result)) throw CliError("the request was not stored: " + Hresult(result));
    std::printf("message %lld: %s requested\n", id,
                body ? "whole message" : ("attachment " + std::to_string(attachment)).c_str());
}

}  // namespace

void AddDeviceMailApplyCommands(CLI::App& app, CliContext& context) {
    auto* device = GroupCommand(app, "device", "the emulated device");
    device
        ->add_subcommand("install-transport",
                         "copy KTtrans.dll into the device's \\Windows and register it with the "
                         "Inbox; prints what the Inbox learns of the account type")
        ->callback([&context] { InstallTransportCommand(context); });

    auto* mail = GroupCommand(*device, "mail", "the device's mail account");

    auto file = std::make_shared<std::string>();
    auto partner = std::make_shared<unsigned>(1);
    auto existing = std::make_shared<unsigned long>(0);
    auto* apply = mail->add_subcommand(
        "apply", "store a packet file (velumex desktop mail packet ID --out FILE) through the "
                 "device provider as the engine does: Setup, SetPacket, Reset");
    apply->add_option("FILE", *file, "the packet file")->required();
    apply->add_option("--partner", *partner, "partner bit, 1 or 2")
        ->check(CLI::IsMember({1u, 2u}));
    apply->add_option("--oid", *existing,
                      "the journal record of a message already on the device (default: a new "
                      "message)");
    apply->callback([&context, file, partner, existing] {
        ApplyCommand(context, *file, *partner, *existing);
    });

    auto id = std::make_shared<long long>(0);
    auto body = std::make_shared<bool>(false);
    auto attachment = std::make_shared<unsigned long>(0);
    auto* request = mail->add_subcommand(
        "request", "ask for the rest of a message as the device user does: its whole body, or "
                   "one attachment");
    request->add_option("ID", *id, "message id (velumex device mail list)")->required();
    request->add_flag("--body", *body, "the whole message");
    request->add_option("--attachment", *attachment, "attachment number, from 1");
    request->callback([&context, id, body, attachment] {
        RequestCommand(context, *id, *body, *attachment);
    });
}

}  // namespace velumex

// velumex device install-provider | journal | objects: the device provider and its journals.
#include <cedb.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "activesync/device_host.h"
#include "activesync/provider_install.h"
#include "cli.h"
#include "pal/runtime/context.h"

namespace velumex {

namespace {

constexpr CEPROPID kContactOid = 0xA0690013;
constexpr CEPROPID kChangeState = 0xA0700012;
constexpr CEPROPID kMessageEntryId = 0xA0710041;

std::filesystem::path DeviceModuleDir() {
    const char* configured = std::getenv("VELUMEX_MODULES");
    return configured && *configured ? configured : VELUMEX_MODULE_DIR;
}

std::string Hex(DWORD value, int digits) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

// Prints every record of one journal: identifier, ChangeState, ContactOid or MessageEntryId.
void PrintJournal(CEGUID& volume, const char16_t* name, bool contacts) {
    std::u16string text(name);
    CEOID oid = 0;
    HANDLE db = CeOpenDatabaseEx(&volume, &oid, text.data(), 0, CEDB_AUTOINCREMENT, nullptr);
    const char* type = contacts ? "Address" : "Message";
    if (db == INVALID_HANDLE_VALUE) {
        std::printf("%s: no journal\n", type);
        return;
    }
    std::printf("%s journal %s\n", type, Hex(oid, 8).c_str());
    LPBYTE buffer = nullptr;
    DWORD size = 0;
    for (;;) {
        WORD count = 2;
        CEPROPID ids[2] = {kChangeState, contacts ? kContactOid : kMessageEntryId};
        CEOID record =
            CeReadRecordPropsEx(db, CEDB_ALLOWREALLOC, &count, ids, &buffer, &size, nullptr);
        if (!record) break;
        auto* values = reinterpret_cast<CEPROPVAL*>(buffer);
        std::string line = "  " + Hex(record, 8);
        line += (values[0].wFlags & CEDB_PROPNOTFOUND)
                    ? " ChangeState=-"
                    : " ChangeState=" + Hex(values[0].val.uiVal, 4);
        if (contacts) {
            line += (values[1].wFlags & CEDB_PROPNOTFOUND)
                        ? " ContactOid=-"
                        : " ContactOid=" + Hex(values[1].val.ulVal, 8);
        } else if (values[1].wFlags & CEDB_PROPNOTFOUND) {
            line += " MessageEntryId=-";
        } else {
            line += " MessageEntryId=";
            for (DWORD i = 0; i < values[1].val.blob.dwCount; ++i) {
                char byte[3];
                std::snprintf(byte, sizeof(byte), "%02X", values[1].val.blob.lpb[i]);
                line += byte;
            }
        }
        std::printf("%s\n", line.c_str());
    }
    if (buffer) LocalFree(buffer);
    CloseHandle(db);
}

void PrintIds(const char* label, const std::vector<UINT>& ids) {
    std::printf("%s %zu\n", label, ids.size());
    for (UINT id : ids) std::printf("  %s\n", Hex(id, 8).c_str());
}

}  // namespace

void AddDeviceCommands(CLI::App& app, CliContext& context) {
    auto* device = GroupCommand(app, "device", "the emulated device");

    device
        ->add_subcommand("install-provider",
                         "copy Kestrin.dll into the device's \\Windows and register it")
        ->callback([&context] {
            auto world = context.OpenWorld();
            HRESULT result = activesync::InstallDeviceProvider(world->Device(),
                                                               DeviceModuleDir() / "Kestrin.so");
            if (FAILED(result)) throw CliError("the provider did not register: " + Hex(result, 8));
            std::printf("installed \\Windows\\Kestrin.dll for Message and Address\n");
        });

    static std::string journalType;
    auto* journal = device->add_subcommand("journal", "list the records of the change journals");
    journal->add_option("--type", journalType, "Message or Address (default: both)")
        ->check(CLI::IsMember({"Message", "Address"}));
    journal->callback([&context] {
        auto world = context.OpenWorld();
        CatchUpDevice(world->Device());
        pal::ScopedContext scope(world->Device());
        CEGUID volume;
        WCHAR path[] = u"\\kestrin.vol";
        // Mounts the journal volume only when it exists.
        if (!CeMountDBVol(&volume, path, OPEN_EXISTING))
            throw CliError("the device has no journal volume \\kestrin.vol");
        if (journalType != "Message") PrintJournal(volume, u"_notif_KT", true);
        if (journalType != "Address") PrintJournal(volume, u"_notif_KTMSG", false);
        CeUnmountDBVol(&volume);
    });

    static std::string objectsType;
    static unsigned partner = 1;
    auto* objects = device->add_subcommand(
        "objects", "what FindObjects hands the engine: unchanged objects, then changed ones");
    objects->add_option("--type", objectsType, "Message or Address")
        ->required()
        ->check(CLI::IsMember({"Message", "Address"}));
    objects->add_option("--partner", partner, "partner bit, 1 or 2")
        ->required()
        ->check(CLI::IsMember({1u, 2u}));
    objects->callback([&context] {
        auto world = context.OpenWorld();
        CatchUpDevice(world->Device());
        std::u16string type(objectsType.begin(), objectsType.end());
        activesync::DeviceHost host(world->Device(), partner, {type});
        if (!host.IsLoaded(type))
            throw CliError("no provider for " + objectsType +
                           " loads (install it with 'velumex device install-provider')");
        activesync::ObjectList list = host.FindObjects(type);
        if (FAILED(list.result))
            throw CliError("FindObjects failed: " + Hex(list.result, 8) +
                           " (the journal is missing until the notification service has run)");
        PrintIds("unchanged", list.unchanged);
        PrintIds("changed", list.changed);
    });
}

}  // namespace velumex

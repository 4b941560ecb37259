// velumex desktop contacts list --scope | packet ID | apply ID|new: the contacts folder and
// handler of the desktop store, driven as the engine drives them on its store thread.
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>

#include <wab.h>

#include "activesync/desktop_host.h"
#include "activesync/device_link.h"
#include "activesync/device_session.h"
#include "activesync/partnerships.h"
#include "contact_fields.h"
#include "contacts_cli.h"
#include "emu/wab/address_book.h"
#include "mail_folder_calls.h"
#include "packet_decode.h"
#include "packet_reader.h"
#include "packet_writer.h"
#include "pal/runtime/encoding.h"
#include "provider_host.h"

namespace velumex {

namespace {

// The packet size the engine recommends to a store's GetPacket.
constexpr DWORD kRecommendedPacketSize = 8192;
constexpr ULONG kEmailSlots[] = {0x0090001F, 0x0091001F, 0x0092001F};

// The entry number of one of the store's contact items.
std::optional<std::uint32_t> ContactNumber(IReplStore& store, HREPLITEM item) {
    std::vector<BYTE> bytes(store.ObjectToBytes(item, nullptr));
    store.ObjectToBytes(item, bytes.data());
    return ContactItemNumber(bytes);
}

// The partnership the engine would work for, when there is one: connected, else selected.
UINT StoreFlags(pal::World& world, activesync::DeviceLink& link) {
    if (link.IsConnected()) return 0;
    return activesync::SelectedPartnership(world.Desktop()) ? ISF_SELECTED_DEVICE : 0;
}

// Walks the folder, handing each item to `visit` (which frees it or keeps it).
HRESULT Walk(IReplStore& store, HREPLFLD folder,
             const std::function<void(HREPLITEM, std::optional<std::uint32_t>)>& visit) {
    HREPLITEM item = nullptr;
    BOOL exists = FALSE;
    HRESULT walk = store.FindFirstItem(folder, &item, &exists);
    while (SUCCEEDED(walk) && exists) {
        visit(item, ContactNumber(store, item));
        walk = store.FindNextItem(folder, &item, &exists);
    }
    store.FindItemClose(folder);
    return walk;
}

// The enumerated item of entry `id`, or null; every other item is freed.
HREPLITEM FindContact(IReplStore& store, HREPLFLD folder, std::uint32_t id) {
    HREPLITEM found = nullptr;
    HRESULT walk = Walk(store, folder, [&](HREPLITEM item, std::optional<std::uint32_t> number) {
        if (!found && number == id)
            found = item;
        else
            store.FreeObject(item);
    });
    if (FAILED(walk)) throw CliError("the contacts folder cannot be enumerated: " + Hresult(walk));
    return found;
}

IReplObjHandler* Handler(IUnknown* unknown) {
    IReplObjHandler* handler = nullptr;
    if (!unknown || FAILED(unknown->QueryInterface(IID_IReplObjHandler,
                                                   reinterpret_cast<void**>(&handler))))
        throw CliError("the store's contacts handler is no object handler");
    return handler;
}

// Runs `work` on the store's "Address" folder, with the device serving while it is connected.
void OnContactsFolder(pal::World& world, const StoreWork& work) {
    activesync::DeviceLink link(world);
    UINT flags = StoreFlags(world, link);
    std::optional<activesync::DeviceSession> session;
    if (link.IsConnected()) session.emplace(link);
    StoreRun run;
    {
        activesync::DesktopHost host(world.Desktop());
        run = RunStore(host, flags, "Address", work);
    }
    CheckStoreRun(run);
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CliError("cannot read " + path);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The entries of a packet file (tag, UTF-16 text or the raw value bytes).
struct PacketEntry {
    ULONG tag;
    std::vector<BYTE> value;
};

std::vector<PacketEntry> ReadPacket(const std::vector<std::uint8_t>& bytes) {
    std::vector<PacketEntry> entries;
    PacketReader reader;
    reader.Attach(bytes.data(), static_cast<DWORD>(bytes.size()));
    DWORD count = reader.Count();
    for (DWORD i = 0; i < count; ++i) {
        ULONG tag = 0;
        LPCBYTE value = reader.Next(&tag);
        if (!value) throw CliError("the packet file is malformed");
        std::vector<BYTE> copy;
        if ((tag & 0xFFFF) == 0x001F) {
            for (LPCBYTE at = value; at[0] || at[1]; at += 2) copy.insert(copy.end(), at, at + 2);
            copy.insert(copy.end(), {0, 0});
        } else if ((tag & 0xFFFF) == 0x0040) {
            copy.assign(value, value + 8);
        }
        entries.push_back({tag, copy});
    }
    return entries;
}

std::vector<BYTE> Utf16Value(const std::string& utf8) {
    std::vector<BYTE> bytes;
    for (char16_t unit : pal::Utf8ToUtf16(utf8)) {
        bytes.push_back(static_cast<BYTE>(unit));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

void Replace(std::vector<PacketEntry>& entries, ULONG tag, std::vector<BYTE> value) {
    for (PacketEntry& entry : entries)
        if (entry.tag == tag) {
            entry.value = std::move(value);
            return;
        }
    entries.push_back({tag, std::move(value)});
}

struct ApplyArguments {
    std::string target;
    std::string packetFile;
    std::vector<std::string> sets, emails;
};

// The device packet `apply` sends: the file's entries, then each --set and --email.
std::vector<BYTE> BuildApplyPacket(const ApplyArguments& arguments) {
    std::vector<PacketEntry> entries;
    if (!arguments.packetFile.empty()) entries = ReadPacket(ReadBytes(arguments.packetFile));
    for (const std::string& set : arguments.sets) {
        size_t equals = set.find('=');
        if (equals == std::string::npos) throw CliError("--set takes FIELD=VALUE, not '" + set + "'");
        const ContactField& field = FieldNamed(set.substr(0, equals));
        std::string value = set.substr(equals + 1);
        if ((field.packetTag & 0xFFFF) == 0x0040) {
            emu::wab::Property date = FieldProperty(field, value);
            std::vector<BYTE> bytes(8);
            for (int i = 0; i < 8; ++i) bytes[i] = static_cast<BYTE>(date.number >> (8 * i));
            Replace(entries, field.packetTag, bytes);
        } else {
            ToAnsi(value);
            Replace(entries, field.packetTag, Utf16Value(value));
        }
    }
    if (arguments.emails.size() > 3) throw CliError("the device holds at most three addresses");
    for (size_t i = 0; i < arguments.emails.size(); ++i)
        Replace(entries, kEmailSlots[i], Utf16Value(arguments.emails[i]));
    PacketWriter writer;
    writer.Begin(1024);
    for (const PacketEntry& entry : entries)
        if (FAILED(writer.Add(entry.tag, entry.value.empty() ? nullptr : entry.value.data())))
            throw CliError("the packet cannot be built");
    return std::vector<BYTE>(writer.Data(), writer.Data() + writer.Length());
}

void Apply(CliContext& context, const ApplyArguments& arguments) {
    bool isNew = arguments.target == "new";
    std::uint32_t id = isNew ? 0 : ParseContactId(arguments.target);
    std::vector<BYTE> packet = BuildApplyPacket(arguments);
    auto world = context.OpenWorld();
    HRESULT result = E_FAIL;
    std::optional<std::uint32_t> written;
    std::string failure;
    OnContactsFolder(*world, [&](IReplStore& store, HREPLFLD folder, const StoreRun& run) {
        if (FAILED(run.initialize)) return;
        HREPLITEM item = isNew ? nullptr : FindContact(store, folder, id);
        if (!isNew && !item) {
            failure = "contact " + std::to_string(id) + " is not among the contacts the store "
                      "enumerates";
            return;
        }
        IReplObjHandler* handler = Handler(run.handler);
        REPLSETUP setup = {};
        setup.cbStruct = sizeof setup;
        setup.fRead = FALSE;
        setup.dwFlags = isNew ? RSF_NEW_OBJECT : 0;
        std::strcpy(setup.szObjType, "Address");
        setup.pNotify = run.notify;
        setup.pStore = &store;
        setup.hFolder = folder;
        setup.hItem = item;
        result = handler->Setup(&setup);
        if (SUCCEEDED(result)) {
            result = handler->SetPacket(packet.data(), static_cast<DWORD>(packet.size()));
            handler->Reset(&setup);
        }
        if (SUCCEEDED(result) && setup.hItem) {
            written = ContactNumber(store, setup.hItem);
            store.UpdateItem(folder, setup.hItem, nullptr);
        }
        if (setup.hItem) store.FreeObject(setup.hItem);
        handler->Release();
    });
    if (!failure.empty()) throw CliError(failure);
    std::cout << "SetPacket: " << Hresult(result) << "\n";
    if (FAILED(result)) throw CliError("the packet was not applied");
    if (written) std::cout << (isNew ? "created contact " : "edited contact ") << *written << "\n";
}

}  // namespace

std::optional<std::uint32_t> ContactItemNumber(const std::vector<BYTE>& handle) {
    // Version (2 bytes), kind 1 (4 bytes), the identifier's byte count, the identifier.
    if (handle.size() < 10) return std::nullopt;
    DWORD kind = handle[2] | (handle[3] << 8) | (handle[4] << 16) | (DWORD(handle[5]) << 24);
    DWORD count = handle[6] | (handle[7] << 8) | (handle[8] << 16) | (DWORD(handle[9]) << 24);
    if (kind != 1 || handle.size() - 10 < static_cast<size_t>(count)) return std::nullopt;
    return emu::wab::EntryNumberOf(handle.data() + 10, count);
}

std::vector<std::pair<std::uint32_t, bool>> ContactsInScope(pal::World& world) {
    activesync::DeviceLink link(world);
    EnginePartnership partnership = PartnershipToWorkFor(world, link, true);
    std::vector<std::pair<std::uint32_t, bool>> marks;
    HRESULT walk = S_OK;
    std::optional<activesync::DeviceSession> session;
    if (link.IsConnected()) session.emplace(link);
    StoreRun run;
    {
        activesync::DesktopHost host(world.Desktop());
        run = RunStore(host, partnership.flags, "Address",
                       [&](IReplStore& store, HREPLFLD folder, const StoreRun& run) {
                           if (FAILED(run.initialize)) return;
                           walk = Walk(store, folder, [&](HREPLITEM item,
                                                          std::optional<std::uint32_t> number) {
                               if (number)
                                   marks.emplace_back(*number,
                                                      store.IsItemReplicated(folder, item) != FALSE);
                               store.FreeObject(item);
                           });
                       });
    }
    CheckStoreRun(run);
    if (FAILED(walk)) throw CliError("the contacts folder cannot be enumerated: " + Hresult(walk));
    return marks;
}

void AddContactsStoreCommands(CLI::App* contacts, CliContext& context) {
    auto packetId = std::make_shared<std::string>();
    auto out = std::make_shared<std::string>();
    auto* packet = contacts->add_subcommand(
        "packet", "build the packet the provider sends to the device for a contact");
    packet->add_option("ID", *packetId, "contact number")->required();
    packet->add_option("--out", *out, "also write the raw packet to this file");
    packet->callback([&context, packetId, out] {
        std::uint32_t id = ParseContactId(*packetId);
        auto world = context.OpenWorld();
        HRESULT result = E_FAIL;
        std::vector<BYTE> bytes;
        std::string failure;
        OnContactsFolder(*world, [&](IReplStore& store, HREPLFLD folder, const StoreRun& run) {
            if (FAILED(run.initialize)) return;
            HREPLITEM item = FindContact(store, folder, id);
            if (!item) {
                failure = "contact " + std::to_string(id) +
                          " is not among the contacts the store enumerates";
                return;
            }
            IReplObjHandler* handler = Handler(run.handler);
            REPLSETUP setup = {};
            setup.cbStruct = sizeof setup;
            setup.fRead = TRUE;
            std::strcpy(setup.szObjType, "Address");
            setup.pNotify = run.notify;
            setup.pStore = &store;
            setup.hFolder = folder;
            setup.hItem = item;
            result = handler->Setup(&setup);
            if (SUCCEEDED(result)) {
                LPBYTE data = nullptr;
                DWORD size = 0;
                result = handler->GetPacket(&data, &size, kRecommendedPacketSize);
                if (result == RWRN_LAST_PACKET && data) bytes.assign(data, data + size);
                handler->Reset(&setup);
            }
            handler->Release();
            store.FreeObject(item);
        });
        if (!failure.empty()) throw CliError(failure);
        std::cout << "GetPacket: " << Hresult(result) << "\n";
        if (result != RWRN_LAST_PACKET)
            throw CliError("no packet for contact " + *packetId + " (GetPacket " + Hresult(result) +
                           ")");
        DecodePacket(bytes.data(), bytes.size(), std::cout);
        if (!out->empty()) {
            std::ofstream file(*out, std::ios::binary);
            file.write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
            if (!file) throw CliError("cannot write " + *out);
            std::cout << "packet written to " << *out << " (" << bytes.size() << " bytes)\n";
        }
    });

    auto arguments = std::make_shared<ApplyArguments>();
    auto* apply = contacts->add_subcommand(
        "apply", "write a device contact packet into the book through the provider, as the "
                 "engine applies a device change");
    apply->add_option("ID", arguments->target, "contact number, or 'new'")->required();
    apply->add_option("--packet", arguments->packetFile, "start from this packet file");
    apply->add_option("--set", arguments->sets, "FIELD=VALUE as the device sends it")
        ->allow_extra_args(false);
    apply->add_option("--email", arguments->emails, "the device's e-mail slots, in order")
        ->allow_extra_args(false);
    apply->callback([&context, arguments] { Apply(context, *arguments); });
}

}  // namespace velumex

// velumex desktop mail packet ID [--out FILE]: the packet the desktop provider makes of one Inbox
// message when the engine sends it to the device, with the files that leaves in the device's
// temporary folder.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "activesync/desktop_host.h"
#include "activesync/device_link.h"
#include "activesync/device_session.h"
#include "cli.h"
#include "mail_folder_calls.h"
#include "packet_decode.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/paths.h"
#include "provider_host.h"

namespace velumex {

namespace {

// The packet size the engine recommends to a store's GetPacket.
constexpr DWORD kRecommendedPacketSize = 8192;
struct PacketRun {
    std::string failure;  // the step that failed and how; empty when GetPacket was reached
    HRESULT result = E_FAIL;
    std::vector<std::uint8_t> packet;
};

// The enumerated item of message `id`, or null; every other item is freed.
HREPLITEM FindItem(IReplStore* store, HREPLFLD folder, const std::string& id, HRESULT& walk) {
    HREPLITEM found = nullptr;
    HREPLITEM item = nullptr;
    BOOL exists = FALSE;
    walk = store->FindFirstItem(folder, &item, &exists);
    while (SUCCEEDED(walk) && exists) {
        std::vector<BYTE> bytes(store->ObjectToBytes(item, nullptr));
        store->ObjectToBytes(item, bytes.data());
        if (!found && MailItemId(bytes) == id)
            found = item;
        else
            store->FreeObject(item);
        walk = store->FindNextItem(folder, &item, &exists);
    }
    store->FindItemClose(folder);
    return found;
}

// Setup (read) and GetPacket for the item, as the engine sends an object; Reset after.
void ReadPacket(IReplStore* store, IReplNotify* notify, HREPLFLD folder, IUnknown* handlerUnknown,
                HREPLITEM item, PacketRun& run) {
    IReplObjHandler* handler = nullptr;
    if (FAILED(handlerUnknown->QueryInterface(IID_IReplObjHandler,
                                              reinterpret_cast<void**>(&handler)))) {
        run.failure = "the store's mail handler is no object handler";
        return;
    }
    REPLSETUP setup = {};
    setup.cbStruct = sizeof setup;
    setup.fRead = TRUE;
    std::strcpy(setup.szObjType, "Message");
    setup.pNotify = notify;
    setup.pStore = store;
    setup.hFolder = folder;
    setup.hItem = item;
    HRESULT result = handler->Setup(&setup);
    if (FAILED(result)) {
        run.failure = "Setup failed with " + Hresult(result);
    } else {
        LPBYTE data = nullptr;
        DWORD size = 0;
        run.result = handler->GetPacket(&data, &size, kRecommendedPacketSize);
        if (run.result == RWRN_LAST_PACKET && data) run.packet.assign(data, data + size);
        handler->Reset(&setup);
    }
    handler->Release();
}

// On the store thread: create the store, Initialize, GetFolderInfo("Message"), find the item of
// message `id` by enumerating the folder, and read its packet.
PacketRun RunPacket(activesync::DesktopHost& host, const std::string& id) {
    PacketRun packet;
    StoreRun run =
        RunStore(host, 0, "Message", [&](IReplStore& store, HREPLFLD folder, const StoreRun& run) {
            if (FAILED(run.initialize)) return;
            HRESULT walk = S_OK;
            HREPLITEM item = FindItem(&store, folder, id, walk);
            if (item) {
                ReadPacket(&store, run.notify, folder, run.handler, item, packet);
                store.FreeObject(item);
            } else if (FAILED(walk)) {
                packet.failure = "the enumeration of the Inbox failed with " + Hresult(walk);
            } else {
                packet.failure = "message " + id +
                                 " is not among the messages the store synchronizes (is "
                                 "it in the Inbox, within the mail options?)";
            }
        });
    CheckStoreRun(run);
    return packet;
}

// The files of the device's temporary folder with their sizes.
void ListDeviceTemp(pal::Machine& device) {
    WCHAR temp[MAX_PATH] = {};
    {
        pal::ScopedContext context(device);
        GetTempPathW(MAX_PATH, temp);
    }
    std::cout << "device temporary folder " << pal::U8(temp) << ":\n";
    DWORD error = 0;
    auto dir = pal::ResolvePath(device, temp, error);
    std::vector<std::pair<std::string, std::uintmax_t>> files;
    if (dir && std::filesystem::is_directory(*dir))
        for (const auto& entry : std::filesystem::directory_iterator(*dir))
            if (entry.is_regular_file())
                files.emplace_back(entry.path().filename().string(), entry.file_size());
    std::sort(files.begin(), files.end());
    if (files.empty()) std::cout << "  (empty)\n";
    for (const auto& [name, size] : files) std::cout << "  " << name << "  " << size << " bytes\n";
}

}  // namespace

void AddMailPacketCommand(CLI::App& app, CliContext& context) {
    auto* mail =
        GroupCommand(app, "desktop", "the emulated desktop's products")->get_subcommand("mail");
    auto id = std::make_shared<std::string>();
    auto out = std::make_shared<std::string>();
    auto* packet = mail->add_subcommand(
        "packet", "build the packet the provider sends to the device for a message");
    packet->add_option("ID", *id, "message identifier")->required();
    packet->add_option("--out", *out, "also write the raw packet to this file");
    packet->callback([&context, id, out] {
        if (id->empty() || id->size() > 63 ||
            id->find_first_not_of("0123456789") != std::string::npos)
            throw CliError("'" + *id + "' is not a message identifier");
        auto world = context.OpenWorld();
        activesync::DeviceLink link(*world);
        if (!link.IsConnected())
            throw CliError(
                "the device is not connected (connect it with 'velumex device connect')");
        // The device half serves the store's data requests meanwhile.
        activesync::DeviceSession session(link);
        PacketRun run;
        {
            activesync::DesktopHost host(world->Desktop());
            run = RunPacket(host, *id);
        }
        if (!run.failure.empty()) throw CliError(run.failure);
        std::cout << "GetPacket: " << Hresult(run.result) << "\n";
        if (run.result != RWRN_LAST_PACKET)
            throw CliError("no packet for message " + *id + " (GetPacket " + Hresult(run.result) +
                           ")");
        DecodePacket(run.packet.data(), run.packet.size(), std::cout);
        if (!out->empty()) {
            std::ofstream file(*out, std::ios::binary);
            file.write(reinterpret_cast<const char*>(run.packet.data()),
                       static_cast<std::streamsize>(run.packet.size()));
            if (!file) throw CliError("cannot write " + *out);
            std::cout << "packet written to " << *out << " (" << run.packet.size() << " bytes)\n";
        }
        ListDeviceTemp(world->Device());
    });
}

}  // namespace velumex

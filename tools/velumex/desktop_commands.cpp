// velumex desktop install | uninstall, store info, handle decode HEX, log
#include <cstdio>
#include <iostream>
#include <optional>

#include "activesync/desktop_host.h"
#include "activesync/device_link.h"
#include "activesync/device_session.h"
#include "cli.h"
#include "handle_decode.h"
#include "pal/runtime/encoding.h"
#include "provider_host.h"

namespace velumex {

namespace {

std::string Hresult(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
    return text;
}

std::string Utf8(const std::u16string& text) { return pal::Utf16ToUtf8(text); }

void PrintStoreInfo(const StoreInfoResult& result) {
    if (!result.stage.empty()) {
        std::cout << "store not created: " << result.stage << " failed";
        if (result.stage == "CoCreateInstance") std::cout << " with " << Hresult(result.create);
        std::cout << " (is the provider installed? 'velumex desktop install')\n";
        return;
    }
    std::cout << "Initialize:   " << Hresult(result.initialize) << "\n";
    std::cout << "GetStoreInfo: " << Hresult(result.storeInfo.at(0)) << "\n";
    const STOREINFO& info = result.info;
    std::cout << "ProgID:       " << info.szProgId << "\n";
    std::cout << "description:  " << info.szStoreDesc << "\n";
    std::printf("flags:        0x%08X\n", info.uFlags);
    std::cout << "timer:        " << info.uTimerRes << " ms\n";
    std::cout << "store id:     ";
    if (FAILED(result.initialize)) {
        std::cout << "none (the store is not initialised)\n";
    } else if (FAILED(result.storeInfo.at(0))) {
        std::cout << "none (GetStoreInfo failed; is the device connected?)\n";
    } else {
        for (BYTE byte : result.storeIds.at(0)) std::printf("%02X", byte);
        std::cout << " (" << result.storeIds.at(0).size() << " bytes)\n";
    }
    for (const auto& box : result.boxes)
        std::cout << "message box:  [" << Utf8(box.caption) << "] " << Utf8(box.text) << "\n";
}

}  // namespace

void AddDesktopCommands(CLI::App& app, CliContext& context) {
    auto* desktop = GroupCommand(app, "desktop", "the emulated desktop's products");
    desktop->add_subcommand("install", "copy the provider into the desktop and register it")
        ->callback([&context] {
            auto world = context.OpenWorld();
            HRESULT result = InstallProvider(world->Desktop(), ModuleDir());
            std::cout << "installed " << Utf8(kProviderPath) << " and " << Utf8(kResourcePath)
                      << "\nDllRegisterServer: " << Hresult(result) << "\n";
            if (FAILED(result)) throw CliError("the provider's registration failed");
        });
    desktop->add_subcommand("uninstall", "unregister the provider and remove its files")
        ->callback([&context] {
            auto world = context.OpenWorld();
            HRESULT result = UninstallProvider(world->Desktop());
            std::cout << "DllUnregisterServer: " << Hresult(result) << "\nremoved "
                      << Utf8(kProviderPath) << " and " << Utf8(kResourcePath) << "\n";
            if (FAILED(result)) throw CliError("the provider's unregistration failed");
        });

    auto* store = app.add_subcommand("store", "drive the desktop store as the engine does");
    store->require_subcommand(1);
    store->add_subcommand("info", "create the store by its ProgID, Initialize, GetStoreInfo")
        ->callback([&context] {
            auto world = context.OpenWorld();
            activesync::DeviceLink link(*world);
            // While connected, the device half serves the store's data requests.
            std::optional<activesync::DeviceSession> session;
            if (link.IsConnected()) session.emplace(link);
            StoreInfoResult result;
            {
                activesync::DesktopHost host(world->Desktop());
                result = QueryStoreInfo(host, 0, 1);
            }
            PrintStoreInfo(result);
            if (session)
                for (const auto& received : session->DataRequests())
                    std::cout << "device data request: " << Utf8(received.request.objType)
                              << (received.request.set ? " set" : " get") << " code "
                              << received.request.code << " -> "
                              << Hresult(received.reply.result) << ", "
                              << received.reply.data.size() << " bytes\n";
            // Everything learnt is printed above; the status says whether the store answered.
            if (!result.stage.empty()) throw CliError("the store was not created");
            if (FAILED(result.initialize))
                throw CliError("Initialize failed with " + Hresult(result.initialize));
            if (FAILED(result.storeInfo.at(0)))
                throw CliError("GetStoreInfo failed with " + Hresult(result.storeInfo.at(0)));
        });

    auto* handle = app.add_subcommand("handle", "inspect item handle bytes");
    handle->require_subcommand(1);
    auto* decode =
        handle->add_subcommand("decode", "print the kind, version and fields of a handle");
    auto hex = std::make_shared<std::string>();
    decode->add_option("HEX", *hex, "the handle bytes in hexadecimal")->required();
    decode->callback([hex] {
        DecodedHandle decoded = DecodeHandle(ParseHex(*hex));
        std::cout << decoded.text;
        if (!decoded.complete) throw CliError("the handle is truncated");
    });

    app.add_subcommand("log", "print the desktop provider's log")->callback([&context] {
        auto world = context.OpenWorld();
        std::string log = ReadEngineLog(world->Desktop());
        if (log.empty()) throw CliError("no desktop log yet (run 'velumex store info')");
        for (char c : log)
            if (c != '\r') std::cout << c;
    });
}

}  // namespace velumex

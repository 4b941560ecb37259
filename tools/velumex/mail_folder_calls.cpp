#include "mail_folder_calls.h"

#include <cstdio>
#include <cstring>

#include "activesync/device_session.h"
#include "activesync/partnerships.h"
#include "cli.h"
#include "pal/runtime/registry_store.h"

namespace velumex {

namespace {

constexpr char16_t kOptionsSubkey[] = u"\\KV.WinCE.OE.3";
constexpr char16_t kDeviceSettingsKey[] = u"HKCU\\Software\\Quorvane\\Velumex";

std::string Line(const char* name, const std::optional<DWORD>& value, DWORD fallback, bool hex) {
    char text[96];
    const char* format = hex ? "  %-10s 0x%08X%s\n" : "  %-10s %u%s\n";
    std::snprintf(text, sizeof text, format, name, static_cast<unsigned>(value.value_or(fallback)),
                  value ? "" : " (not stored: the default)");
    return text;
}

}  // namespace

std::string Hresult(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
    return text;
}

void CheckStoreRun(const StoreRun& run) {
    if (run.stage == "ProgID")
        throw CliError(
            "the desktop provider is not installed (install it with 'velumex desktop "
            "install')");
    if (!run.stage.empty())
        throw CliError(run.stage + " failed: " +
                       Hresult(run.stage == "CoCreateInstance" ? run.create : run.folderInfo));
    if (FAILED(run.initialize)) throw CliError("Initialize failed with " + Hresult(run.initialize));
}

EnginePartnership PartnershipToWorkFor(pal::World& world, activesync::DeviceLink& link,
                                       bool selectedAllowed) {
    if (link.IsConnected()) return {link.ConnectedId(), 0};
    if (!selectedAllowed)
        throw CliError("the device is not connected (connect it with 'velumex device connect')");
    DWORD selected = activesync::SelectedPartnership(world.Desktop());
    if (!selected)
        throw CliError(
            "no partnership and no connected device (make one with 'velumex "
            "partner create')");
    return {selected, ISF_SELECTED_DEVICE};
}

StoredMailOptions ReadMailOptions(pal::World& world, DWORD partnership) {
    StoredMailOptions stored;
    pal::RegistryStore desktop(world.Desktop());
    std::u16string key = activesync::PartnershipKeyPath(partnership) + kOptionsSubkey;
    stored.options = desktop.GetDword(key, u"Options");
    stored.maxLines = desktop.GetDword(key, u"MaxLines");
    stored.days = desktop.GetDword(key, u"Days");
    stored.sizeLimit = desktop.GetDword(key, u"SizeLimit");
    pal::RegistryStore device(world.Device());
    stored.noKeepSentOver = device.GetDword(kDeviceSettingsKey, u"NoKeepSentOver");
    return stored;
}

std::string FormatMailOptions(const StoredMailOptions& stored, DWORD partnership) {
    char head[96];
    std::snprintf(head, sizeof head, "mail options of partnership 0x%08x (KV.WinCE.OE.3):\n",
                  static_cast<unsigned>(partnership));
    std::string text = head;
    text += Line("Options", stored.options, 0x57, true);
    text += Line("MaxLines", stored.maxLines, 50, false);
    text += Line("Days", stored.days, 4, false);
    text += Line("SizeLimit", stored.sizeLimit, 20, false);
    text += "device NoKeepSentOver: ";
    text += stored.noKeepSentOver ? std::to_string(*stored.noKeepSentOver) : "not stored";
    return text + "\n";
}

MailDialogRun ShowMailOptions(activesync::DesktopHost& host, UINT flags) {
    MailDialogRun dialog;
    auto& boxes = host.Desktop().Get<pal::MessageBoxes>();
    boxes.Clear();
    dialog.run = RunStore(
        host, flags, "Message", [&](IReplStore& store, HREPLFLD folder, const StoreRun& run) {
            if (FAILED(run.initialize)) return;
            dialog.result =
                store.ActivateDialog(OBJTYPE_DLG_OPTIONS, host.MainWindow(), folder, nullptr);
        });
    dialog.boxes = boxes.Records();
    return dialog;
}

MailScope EnumerateMailFolder(activesync::DesktopHost& host, UINT flags) {
    MailScope scope;
    scope.run = RunStore(
        host, flags, "Message", [&](IReplStore& store, HREPLFLD folder, const StoreRun& run) {
            if (FAILED(run.initialize)) return;
            HREPLITEM item = nullptr;
            BOOL exists = FALSE;
            scope.enumeration = store.FindFirstItem(folder, &item, &exists);
            while (SUCCEEDED(scope.enumeration) && exists && item) {
                std::vector<BYTE> bytes(store.ObjectToBytes(item, nullptr));
                store.ObjectToBytes(item, bytes.data());
                std::optional<std::string> id = MailItemId(bytes);
                if (id) scope.items.push_back({*id, store.IsItemReplicated(folder, item)});
                store.FreeObject(item);
                item = nullptr;
                exists = FALSE;
                scope.enumeration = store.FindNextItem(folder, &item, &exists);
            }
            store.FindItemClose(folder);
        });
    return scope;
}

std::set<std::string> ReplicatedMessages(pal::World& world) {
    activesync::DeviceLink link(world);
    EnginePartnership partnership = PartnershipToWorkFor(world, link, true);
    MailScope scope;
    {
        std::optional<activesync::DeviceSession> session;
        if (link.IsConnected()) session.emplace(link);
        activesync::DesktopHost host(world.Desktop());
        scope = EnumerateMailFolder(host, partnership.flags);
    }
    CheckStoreRun(scope.run);
    if (FAILED(scope.enumeration))
        throw CliError("the mail folder cannot be enumerated: " + Hresult(scope.enumeration));
    std::set<std::string> replicated;
    for (const ScopedItem& item : scope.items)
        if (item.replicated) replicated.insert(item.id);
    return replicated;
}

std::optional<std::string> MailItemId(const std::vector<BYTE>& handle) {
    // Version (2 bytes), kind 5 (4 bytes), received time (8 bytes), then the identifier: 64
    // bytes of zero-terminated text.
    constexpr size_t kIdOffset = 14, kIdSize = 64;
    if (handle.size() < kIdOffset + kIdSize) return std::nullopt;
    DWORD kind = handle[2] | (handle[3] << 8) | (handle[4] << 16) | (DWORD(handle[5]) << 24);
    if (kind != 5) return std::nullopt;
    const char* id = reinterpret_cast<const char*>(handle.data() + kIdOffset);
    return std::string(id, strnlen(id, kIdSize));
}

}  // namespace velumex

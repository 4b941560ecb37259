#include "activesync/partnerships.h"

#include <cstdio>
#include <random>

#include "activesync/device_link.h"
#include "engine_state.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/registry_store.h"

namespace activesync {

namespace {

const char16_t* const kDeviceTypes[] = {u"PocketPC", u"PocketPC04"};
const char16_t* const kDeviceSlots[] = {u"P1", u"P2"};

std::u16string Join(std::u16string_view a, std::u16string_view b) {
    std::u16string path(a);
    path += u'\\';
    path += b;
    return path;
}

void CopyTree(pal::RegistryStore& registry, const std::u16string& from, const std::u16string& to) {
    registry.CreateKey(to);
    for (auto& value : registry.Values(from))
        registry.SetValue(to, value.name, value.type, value.data);
    for (auto& name : registry.SubkeyNames(from))
        CopyTree(registry, Join(from, name), Join(to, name));
}

// The device slot ("P1" or "P2") that holds the profile id, or 0.
DWORD PartnerBitOf(pal::RegistryStore& device, DWORD id) {
    for (DWORD bit = 1; bit <= 2; ++bit)
        if (device.GetDword(Join(kDevicePartnersKey, kDeviceSlots[bit - 1]), u"PId") == id)
            return bit;
    return 0;
}

std::optional<DWORD> ParseKeyName(const std::u16string& name) {
    if (name.size() != 8) return std::nullopt;
    DWORD id = 0;
    for (char16_t c : name) {
        int digit = c >= u'0' && c <= u'9'   ? c - u'0'
                    : c >= u'a' && c <= u'f' ? c - u'a' + 10
                    : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                             : -1;
        if (digit < 0) return std::nullopt;
        id = id << 4 | static_cast<DWORD>(digit);
    }
    return id;
}

Partnership Describe(pal::RegistryStore& desktop, pal::RegistryStore& device, DWORD id) {
    Partnership partnership;
    partnership.id = id;
    std::u16string key = PartnershipKeyPath(id);
    partnership.deviceType = desktop.GetString(key, u"DeviceType").value_or(u"");
    partnership.partnerBit = PartnerBitOf(device, id);
    std::u16string objects = Join(key, kObjectsSubkey);
    if (desktop.KeyExists(objects))
        for (auto& type : desktop.SubkeyNames(objects)) {
            std::u16string typeKey = Join(objects, type);
            partnership.objects.push_back({type, desktop.GetDword(typeKey, u"Disabled"),
                                           desktop.GetString(typeKey, u"Store").value_or(u"")});
        }
    return partnership;
}

void WriteObjectType(pal::RegistryStore& registry, const std::u16string& objects,
                     std::u16string_view type, std::u16string_view displayName) {
    std::u16string key = Join(objects, type);
    registry.SetString(key, u"Display Name", displayName);
    registry.SetDword(key, u"Disabled", 0);
}

}  // namespace

bool InstallEngine(pal::Machine& desktop, const EngineSetup& setup) {
    pal::RegistryStore registry(desktop);
    if (registry.KeyExists(kSpecialDefaultsKey)) return false;
    for (const char16_t* type : kDeviceTypes) {
        std::u16string objects = Join(Join(kSpecialDefaultsKey, type), kObjectsSubkey);
        registry.CreateKey(objects);
        if (setup.mailType) WriteObjectType(registry, objects, u"Merlin Mail", u"Inbox");
        if (setup.contactsType) WriteObjectType(registry, objects, u"Contact", u"Contacts");
    }
    return true;
}

std::u16string PartnershipKeyPath(DWORD id) {
    char name[9];
    std::snprintf(name, sizeof name, "%08x", id);
    return Join(kDesktopPartnersKey, pal::Utf8ToUtf16(name));
}

Partnership CreatePartnership(pal::Machine& desktop, pal::Machine& device,
                              std::u16string_view deviceType, std::optional<DWORD> id) {
    if (deviceType.empty()) throw PartnershipError("a partnership needs a device type");
    InstallEngine(desktop);
    pal::RegistryStore desktopRegistry(desktop);
    pal::RegistryStore deviceRegistry(device);

    DWORD bit = 0;
    for (DWORD candidate = 1; candidate <= 2 && !bit; ++candidate)
        if (!deviceRegistry.KeyExists(Join(kDevicePartnersKey, kDeviceSlots[candidate - 1])))
            bit = candidate;
    if (!bit) throw PartnershipError("the device already has two partnerships");

    if (id) {
        if (*id == 0 || *id == 0xFFFFFFFF)
            throw PartnershipError("a partnership id may not be 0 or 0xFFFFFFFF");
        if (desktopRegistry.KeyExists(PartnershipKeyPath(*id)))
            throw PartnershipError("the desktop already has a partnership with that id");
    } else {
        std::random_device source;
        do id = static_cast<DWORD>(source());
        while (*id == 0 || *id == 0xFFFFFFFF || desktopRegistry.KeyExists(PartnershipKeyPath(*id)));
    }

    std::u16string key = PartnershipKeyPath(*id);
    std::u16string defaults = Join(kSpecialDefaultsKey, deviceType);
    if (desktopRegistry.KeyExists(defaults)) CopyTree(desktopRegistry, defaults, key);
    desktopRegistry.CreateKey(Join(key, kObjectsSubkey));
    if (desktopRegistry.KeyExists(kFilterDefaultsKey))
        CopyTree(desktopRegistry, std::u16string(kFilterDefaultsKey), Join(key, u"Filters"));
    else
        desktopRegistry.CreateKey(Join(key, u"Filters"));
    desktopRegistry.SetDword(key, u"PId", *id);
    desktopRegistry.SetString(key, u"DeviceType", deviceType);
    deviceRegistry.SetDword(Join(kDevicePartnersKey, kDeviceSlots[bit - 1]), u"PId", *id);

    auto& state = desktop.Get<EngineState>();
    if (!state.Selected()) state.SetSelected(*id);
    return Describe(desktopRegistry, deviceRegistry, *id);
}

std::vector<Partnership> ListPartnerships(pal::Machine& desktop, pal::Machine& device) {
    pal::RegistryStore desktopRegistry(desktop);
    pal::RegistryStore deviceRegistry(device);
    std::vector<Partnership> result;
    if (!desktopRegistry.KeyExists(kDesktopPartnersKey)) return result;
    for (auto& name : desktopRegistry.SubkeyNames(kDesktopPartnersKey))
        if (auto id = ParseKeyName(name))
            result.push_back(Describe(desktopRegistry, deviceRegistry, *id));
    return result;
}

std::optional<Partnership> FindPartnership(pal::Machine& desktop, pal::Machine& device, DWORD id) {
    pal::RegistryStore desktopRegistry(desktop);
    if (!desktopRegistry.KeyExists(PartnershipKeyPath(id))) return std::nullopt;
    pal::RegistryStore deviceRegistry(device);
    return Describe(desktopRegistry, deviceRegistry, id);
}

void DeletePartnership(pal::Machine& desktop, pal::Machine& device, DWORD id) {
    if (id && DeviceLink::ConnectedId(desktop) == id)
        throw PartnershipError("the device is connected through that partnership");
    pal::RegistryStore desktopRegistry(desktop);
    if (!desktopRegistry.DeleteKey(PartnershipKeyPath(id)))
        throw PartnershipError("no partnership with that id");
    pal::RegistryStore deviceRegistry(device);
    if (DWORD bit = PartnerBitOf(deviceRegistry, id))
        deviceRegistry.DeleteKey(Join(kDevicePartnersKey, kDeviceSlots[bit - 1]));
    auto& state = desktop.Get<EngineState>();
    if (state.Selected() == id) state.SetSelected(0);
}

DWORD SelectedPartnership(pal::Machine& desktop) { return desktop.Get<EngineState>().Selected(); }

void SelectPartnership(pal::Machine& desktop, DWORD id) {
    if (id && !pal::RegistryStore(desktop).KeyExists(PartnershipKeyPath(id)))
        throw PartnershipError("no partnership with that id");
    desktop.Get<EngineState>().SetSelected(id);
}

}  // namespace activesync

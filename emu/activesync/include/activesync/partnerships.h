// Partnerships between the desktop and the device, as the synchronization engine keeps them.
//
// Desktop: each partnership is a profile id (a DWORD other than 0 and 0xFFFFFFFF) with its key
// HKCU "Software\Microsoft\Windows CE Services\Partners\<id as 8 lower-case hex digits>" holding
// "PId" (REG_DWORD, the id), "DeviceType" (REG_SZ), the object-type switches under
// "Services\Synchronization\Objects\<type>" ("Disabled", "Store", …) copied from the device type's
// HKLM "SOFTWARE\Microsoft\Windows CE Services\SpecialDefaults\<device type>" when the
// partnership is made, and "Filters" copied from HKLM "SOFTWARE\Microsoft\Windows CE
// Services\Filters" (empty when that is missing). Providers add their option subkeys later.
//
// Device: at most two partnerships, HKLM "SOFTWARE\Microsoft\Windows CE Services\Partners\P1" and
// "…\P2", each with "PId" = the desktop profile id; the partner bit is 1 for "P1", 2 for "P2".
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pal/runtime/machine.h"

namespace activesync {

inline constexpr std::u16string_view kEngineKey = u"HKLM\\SOFTWARE\\Microsoft\\Windows CE Services";
inline constexpr std::u16string_view kSpecialDefaultsKey =
    u"HKLM\\SOFTWARE\\Microsoft\\Windows CE Services\\SpecialDefaults";
inline constexpr std::u16string_view kFilterDefaultsKey =
    u"HKLM\\SOFTWARE\\Microsoft\\Windows CE Services\\Filters";
inline constexpr std::u16string_view kDesktopPartnersKey =
    u"HKCU\\Software\\Microsoft\\Windows CE Services\\Partners";
inline constexpr std::u16string_view kDevicePartnersKey =
    u"HKLM\\SOFTWARE\\Microsoft\\Windows CE Services\\Partners";
// Below a partnership key and below a device type's special defaults.
inline constexpr std::u16string_view kObjectsSubkey = u"Services\\Synchronization\\Objects";

// A partnership that cannot be made, found or removed; the message says why.
class PartnershipError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The object types the engine itself brings for Pocket PC devices, each enabled by default.
struct EngineSetup {
    bool mailType = true;      // "Merlin Mail"
    bool contactsType = true;  // "Contact"
};

// Writes the engine's desktop registry: special defaults for the device types "PocketPC" and
// "PocketPC04" with their object types. Does nothing and returns false when the engine is
// already installed (its special-defaults key exists).
bool InstallEngine(pal::Machine& desktop, const EngineSetup& setup = {});

struct ObjectSwitch {
    std::u16string type;
    std::optional<DWORD> disabled;  // nothing when "Disabled" is missing or not a DWORD
    std::u16string store;           // "Store", empty when missing
};

struct Partnership {
    DWORD id = 0;
    std::u16string deviceType;
    DWORD partnerBit = 0;  // 1 or 2; 0 when the device no longer knows the partnership
    std::vector<ObjectSwitch> objects;
};

// The desktop registry path of a partnership's key ("HKCU\…\Partners\0001e240").
std::u16string PartnershipKeyPath(DWORD id);

// Makes a partnership of the given device type (installing the engine first when needed), with
// `id` or a fresh random one. Throws PartnershipError when the device already has two, the id is
// 0, 0xFFFFFFFF or taken, or the device type is empty; nothing is written then.
Partnership CreatePartnership(pal::Machine& desktop, pal::Machine& device,
                              std::u16string_view deviceType, std::optional<DWORD> id = {});
// Every desktop partnership in enumeration order.
std::vector<Partnership> ListPartnerships(pal::Machine& desktop, pal::Machine& device);
std::optional<Partnership> FindPartnership(pal::Machine& desktop, pal::Machine& device, DWORD id);
// Removes the partnership from both machines (and from the selection); throws PartnershipError
// when the desktop has no such partnership.
void DeletePartnership(pal::Machine& desktop, pal::Machine& device, DWORD id);

// The partnership selected in the engine's window (0: none). Creating the first partnership
// selects it; connecting selects the connected one.
DWORD SelectedPartnership(pal::Machine& desktop);
// Throws PartnershipError for an id that is not a desktop partnership (0 clears the selection).
void SelectPartnership(pal::Machine& desktop, DWORD id);

}  // namespace activesync

// The desktop store's mail folder driven as the engine drives it, on its store thread: the
// options dialog, and which Inbox messages the folder replicates. The command line's options and
// scope commands are built on these.
#pragma once

#include <windows.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "activesync/desktop_host.h"
#include "activesync/device_link.h"
#include "pal/runtime/message_boxes.h"
#include "pal/runtime/world.h"
#include "provider_host.h"

namespace velumex {

// "0x8014000…" as the command line shows results.
std::string Hresult(HRESULT result);
// Throws CliError saying why when the store was not made, its folder not given, or it did not
// initialise.
void CheckStoreRun(const StoreRun& run);

// The partnership the engine works for and the flags it gives Initialize: the connected one
// (flags 0) or, when `selectedAllowed` and no device is connected, the selected one
// (ISF_SELECTED_DEVICE). Throws CliError when there is none.
struct EnginePartnership {
    DWORD id = 0;
    UINT flags = 0;
};
EnginePartnership PartnershipToWorkFor(pal::World& world, activesync::DeviceLink& link,
                                       bool selectedAllowed);

// The mail options stored for a partnership (nothing for a value that is missing or not a
// DWORD), and the device's "NoKeepSentOver".
struct StoredMailOptions {
    std::optional<DWORD> options, maxLines, days, sizeLimit;
    std::optional<DWORD> noKeepSentOver;

    // The partnership's four values compare; the device value is rewritten whenever the mail
    // folder is made, so it tells nothing about what a dialog saved.
    bool SameOptions(const StoredMailOptions& other) const {
        return options == other.options && maxLines == other.maxLines && days == other.days &&
               sizeLimit == other.sizeLimit;
    }
};
StoredMailOptions ReadMailOptions(pal::World& world, DWORD partnership);
// The values as lines ("  Options    0x00000057"), a missing one with its default.
std::string FormatMailOptions(const StoredMailOptions& stored, DWORD partnership);

struct MailDialogRun {
    StoreRun run;
    HRESULT result = E_FAIL;                   // ActivateDialog's
    std::vector<pal::MessageBoxRecord> boxes;  // every box shown, Initialize's included
};
// Store by ProgID, Initialize(flags), GetFolderInfo("Message"), then ActivateDialog of the
// options dialog, parented to the engine's main window. The dialog is run by the desktop's
// dialog driver, which the caller installs.
MailDialogRun ShowMailOptions(activesync::DesktopHost& host, UINT flags);

// One item the mail folder enumerated: the message identifier from its handle bytes, and what
// IsItemReplicated answers for it.
struct ScopedItem {
    std::string id;
    BOOL replicated = FALSE;
};
struct MailScope {
    StoreRun run;
    HRESULT enumeration = E_FAIL;  // the FindFirstItem/FindNextItem result that ended the walk
    std::vector<ScopedItem> items;
};
// Store by ProgID, Initialize(flags), GetFolderInfo("Message"), then the folder's enumeration,
// asking IsItemReplicated of each item and freeing it.
MailScope EnumerateMailFolder(activesync::DesktopHost& host, UINT flags);

// The identifiers of the messages the mail folder replicates for the partnership the engine works
// for (connected, else selected): enumerated and accepted by IsItemReplicated. Throws CliError
// when the store cannot be made, initialised or enumerated.
std::set<std::string> ReplicatedMessages(pal::World& world);

// The message identifier carried by a mail item's handle bytes; nothing for other bytes.
std::optional<std::string> MailItemId(const std::vector<BYTE>& handle);

}  // namespace velumex

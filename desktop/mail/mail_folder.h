// The folder of the "Message" object type: the mail client's Inbox. It decides which messages
// take part in synchronization (the partnership's mail options), enumerates them through the
// mail client, tells which changed, and shows the mail options dialog.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "attachment_record.h"
#include "mail_settings.h"
#include "repl_object.h"
#include "simple_mapi.h"
#include "wnd_hidden.h"

class CMailItem;

// A change the device asked for on a desktop message, kept until it is served or dropped.
struct PendingChange {
    DWORD messageFlags = 0;
    DWORD status = 0;
    // The FolderCode value: the device folder the message lies in.
    DWORD folderCode = 0;
    // The device message's entry identifier.
    std::vector<BYTE> entryId;
    std::vector<AttachmentRecord> attachments;
};

class CMailFolder : public CFolder {
public:
    // Starts from the default settings and loads the partnership's (see LoadSettings).
    explicit CMailFolder(CStore* store);
    ~CMailFolder() override;
    ObjectKind GetKind() override { return OBJECT_KIND_MAIL_FOLDER; }
    LPCSTR GetObjTypeName() override { return "Message"; }
    // Restarts at the first Inbox message.
    HRESULT FindFirstItem(HREPLITEM* item, BOOL* exists) override;
    // The next selected message in the mail client's order; messages the selection rule rejects
    // are passed over. E_FAIL when the mail client refuses the walk or a read.
    HRESULT FindNextItem(HREPLITEM* item, BOOL* exists) override;
    HRESULT FindItemClose() override;
    // S_OK for a null item or a readable selected message; RERR_OBJECT_DELETED when the message
    // is gone or no longer selected; RERR_BAD_OBJECT when it exists but cannot be read.
    HRESULT IsValidObject(HREPLITEM item) override;
    // Only the read state is a change: against itemComp when given, else against the message.
    BOOL IsItemChanged(HREPLITEM item, HREPLITEM itemComp) override;
    BOOL IsItemReplicated(HREPLITEM item) override;
    // With a source item: nothing (the read state travels through the engine's copy). Without
    // one: serves the item's pending change (ServePending).
    void UpdateItem(HREPLITEM itemDst, HREPLITEM itemSrc) override;
    // A mail conflict is never settled here: both changes apply.
    HRESULT GetConflictInfo(PCONFINFO info) override;
    // The mail options dialog: reloads the settings from the partnership key and, after a
    // changed OK, keeps, saves and passes them on to the device and marks the folder changed.
    // S_OK after OK, RERR_CANCEL after Cancel, E_FAIL without a partnership key or dialog.
    HRESULT ActivateDialog(UINT dialog, HWND parent, IEnumReplItem* items) override;
    CItem* NewItem() override;

    // The selection rule: whether the options take a message received at the item's time.
    BOOL Selects(const CMailItem& item);

    MailSettings m_settings;
    // The identifier the enumeration delivered or passed over last; empty before the first.
    char m_seed[SIMPLE_MAPI_ID_SIZE];
    // Pending device requests by message identifier.
    std::map<std::string, PendingChange> m_pending;

    // Delivers what the device asked for the message `item`: the whole body (no line limit) and
    // the requested attachments, in one run of data requests that ends with the message's new
    // status. A download bit is cleared only when what it asked for arrived. The entry is
    // dropped in every case; nothing is asked of the device when the message cannot be read.
    void ServePending(const CMailItem& item);
    // The change-watch window, created with the folder when the store has the engine's callback.
    CWndHidden m_wndHidden;

private:
    // Loads the partnership's settings through the key the engine hands out and tells the
    // device the setting it needs; without a key the defaults stay and nothing is written.
    void LoadSettings();
    // Reads the message's envelope into `item` (identifier, received time, unread flag): the
    // mail client's result.
    ULONG ReadStamp(LPCSTR id, CMailItem* item);
};

// The folder of the "Message" object type: the mail client's Inbox.
#pragma once

#include "mail_settings.h"
#include "repl_object.h"
#include "wnd_hidden.h"

class CMailFolder : public CFolder {
public:
    explicit CMailFolder(CStore* store);
    ~CMailFolder() override;
    ObjectKind GetKind() override { return OBJECT_KIND_MAIL_FOLDER; }
    LPCSTR GetObjTypeName() override { return "Message"; }
    HRESULT FindFirstItem(HREPLITEM* item, BOOL* exists) override;
    HRESULT FindNextItem(HREPLITEM* item, BOOL* exists) override;
    HRESULT FindItemClose() override;
    HRESULT IsValidObject(HREPLITEM item) override;
    BOOL IsItemChanged(HREPLITEM item, HREPLITEM itemComp) override;
    BOOL IsItemReplicated(HREPLITEM item) override;
    void UpdateItem(HREPLITEM itemDst, HREPLITEM itemSrc) override;
    // A mail conflict is never settled here: both changes apply.
    HRESULT GetConflictInfo(PCONFINFO info) override;
    HRESULT ActivateDialog(UINT dialog, HWND parent, IEnumReplItem* items) override;
    CItem* NewItem() override;

    MailSettings m_settings;
    // The change-watch window, created with the folder when the store has the engine's callback.
    CWndHidden m_wndHidden;
};

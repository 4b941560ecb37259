// The partnership's mail options as the mail folder holds them, with their defaults: what the
// user chose in the mail options dialog, kept under the partnership key.
#pragma once

#include <windows.h>

// Bits of MailSettings::options.
#define MAIL_OPT_SYNC 0x01           // synchronize mail at all
#define MAIL_OPT_LIMIT_LINES 0x02    // cut bodies after maxLines lines
#define MAIL_OPT_LIMIT_DAYS 0x04     // only messages of the last `days` days
#define MAIL_OPT_ATTACHMENTS 0x08    // deliver attachments
#define MAIL_OPT_SEND 0x10           // send mail composed on the device
#define MAIL_OPT_LIMIT_SIZE 0x20     // only attachments below sizeLimit kilobytes
#define MAIL_OPT_NO_KEEP_SENT 0x40   // with MAIL_OPT_SEND: the device keeps no sent copy

struct MailSettings {
    DWORD options = MAIL_OPT_SYNC | MAIL_OPT_LIMIT_LINES | MAIL_OPT_LIMIT_DAYS | MAIL_OPT_SEND |
                    MAIL_OPT_NO_KEEP_SENT;
    DWORD maxLines = 50;
    DWORD days = 4;
    DWORD sizeLimit = 20;

    bool operator==(const MailSettings&) const = default;
};

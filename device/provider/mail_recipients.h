// Recipient lists as packets carry them: ";"-separated texts, each an address or a quoted display
// name followed by a bracketed SMTP address.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct MailRecipient {
    ULONG type = 0;  // PR_RECIPIENT_TYPE: 1 To, 2 Cc, 3 Bcc
    std::u16string name;
    std::u16string address;
};

// Entries a list can hold: 1 + the number of ";" for a non-empty list, 0 for an empty one.
size_t CountRecipientEntries(const std::u16string& list);

// The recipients of one list, in order; empty pieces are skipped. A piece containing
// `" [SMTP:` gives the display name between its opening quote and that marker and the address
// after the marker, less a closing "]" when one ends it; any other piece is an address.
std::vector<MailRecipient> SplitRecipients(ULONG type, const std::u16string& list);

// One recipient as a list entry: `"name" <address>` when the name is not empty and differs from
// the address, else the address.
std::u16string FormatRecipient(const std::u16string& name, const std::u16string& address);

// Appends `entry` to `list`, after a ";" when the list is not empty.
void AppendRecipient(std::u16string& list, const std::u16string& entry);

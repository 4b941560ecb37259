#include "mail_recipients.h"

namespace {

constexpr std::u16string_view kSmtpMarker = u"\" [SMTP:";

MailRecipient ParsePiece(ULONG type, const std::u16string& piece) {
    MailRecipient recipient;
    recipient.type = type;
    size_t marker = piece.find(kSmtpMarker);
    size_t quote = piece.find(u'"');
    if (marker == std::u16string::npos || quote == std::u16string::npos || quote > marker) {
        recipient.address = piece;
        return recipient;
    }
    // The marker starts with the name's closing quote.
    recipient.name = piece.substr(quote + 1, marker - quote - 1);
    recipient.address = piece.substr(marker + kSmtpMarker.size());
    if (!recipient.address.empty() && recipient.address.back() == u']')
        recipient.address.pop_back();
    return recipient;
}

}  // namespace

size_t CountRecipientEntries(const std::u16string& list) {
    if (list.empty()) return 0;
    size_t count = 1;
    for (char16_t c : list)
        if (c == u';') ++count;
    return count;
}

std::vector<MailRecipient> SplitRecipients(ULONG type, const std::u16string& list) {
    std::vector<MailRecipient> recipients;
    std::u16string copy = list;
    // The platform's tokenizer over a copy, as the list itself stays the packet's.
    for (WCHAR* piece = wcstok(copy.data(), W(";")); piece; piece = wcstok(nullptr, W(";")))
        recipients.push_back(ParsePiece(type, piece));
    return recipients;
}

std::u16string FormatRecipient(const std::u16string& name, const std::u16string& address) {
    if (name.empty() || name == address) return address;
    return u"\"" + name + u"\" <" + address + u">";
}

void AppendRecipient(std::u16string& list, const std::u16string& entry) {
    if (!list.empty()) list += u';';
    list += entry;
}

// Mail in maildir folders: real RFC 5322 messages with MIME attachments, read into and written
// from the emulated mail client's messages. Parsing and writing go through GMime; text is UTF-8
// on both sides.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "emu/mailclient/mail_client.h"

namespace velumex {

// A message that cannot be taken: unreadable, or lacking what the mail client needs.
class MaildirError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The message in `bytes` (an RFC 5322 message): subject, originator, To/Cc/Bcc, the first
// inline plain-text part as the body (else the first inline HTML part), and every other leaf
// part with a file name, or any attachment, as an attachment. The Date header becomes desktop
// local time through `biasMinutes` (UTC = local + bias); a message without one gets no time.
// Throws MaildirError when there is no message or no originator address.
emu::mailclient::Message ParseMailMessage(const std::string& bytes, int biasMinutes);

// The RFC 5322 form of `message`: a text/plain body in UTF-8, and with attachments a
// multipart/mixed message carrying each as a base64 part with its file name.
std::string FormatMailMessage(const emu::mailclient::Message& message, int biasMinutes);

// One message file of a maildir: where it lies and whether its reader has seen it.
struct MaildirEntry {
    std::filesystem::path path;
    bool seen = false;
};

// The messages of the maildir `dir` (its new/ and cur/ folders), in file-name order. A message
// in new/ is unseen; one in cur/ is seen when its info ":2,…" has the flag S. Throws
// MaildirError when `dir` has neither folder.
std::vector<MaildirEntry> ListMaildir(const std::filesystem::path& dir);

// Stores `bytes` as a message of the maildir `dir`, creating it as needed: written in tmp/,
// then moved into new/ (unseen) or cur/ with the flag S (seen). `unique` makes the file name
// unique within this export and orders the messages. Returns the message's path.
std::filesystem::path AddToMaildir(const std::filesystem::path& dir, const std::string& bytes,
                                   bool seen, const std::string& unique);

}  // namespace velumex

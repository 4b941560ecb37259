// The emulated desktop mail client: its message store (an Inbox and a Sent folder), its
// installation into a desktop machine, and the controls tests and the command line use to
// arrange and observe mail. The system itself reaches the client only through the Simple MAPI
// library this installs.
//
// Text is UTF-8 here; the Simple MAPI library converts to and from the desktop's ANSI code page.
// The store is the SQLite file WORLD/<machine>/mailclient.db, opened on first use.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pal {
class Machine;
}

namespace emu::mailclient {

// Where the client installs itself, as Windows paths of the desktop.
inline constexpr std::u16string_view kLibraryPath = u"C:\\Program Files\\Mail Client\\mcmapi.dll";
inline constexpr std::u16string_view kMailProgramPath =
    u"C:\\Program Files\\Mail Client\\mailclient.exe";
inline constexpr std::u16string_view kAddressBookProgramPath =
    u"C:\\Program Files\\Mail Client\\addressbook.exe";
inline constexpr std::u16string_view kAddressBookFile =
    u"C:\\Documents and Settings\\User\\Application Data\\Address Book\\User.wab";

// Bad arguments to a store call (an unknown recipient class, a missing address, a malformed
// date).
class MailClientError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Folder { Inbox = 1, Sent = 2 };

// Recipient classes, as Simple MAPI numbers them.
enum RecipientClass : unsigned { kTo = 1, kCc = 2, kBcc = 3 };

struct Party {
    std::string name;  // empty: none
    std::string address;
};

struct Recipient {
    unsigned recipClass = kTo;
    std::string name;  // empty: none
    std::string address;
};

struct Attachment {
    std::string fileName;  // the name the recipient sees
    std::string pathName;  // a sent message's attachment: the path the sender named
    std::uint64_t size = 0;
    std::vector<std::uint8_t> content;  // filled by FindMessage, empty in lists
};

struct Message {
    std::uint64_t id = 0;  // issued by the store in arrival order, never reused
    Folder folder = Folder::Inbox;
    std::string subject;
    std::string body;
    // Desktop local time "YYYY-MM-DDTHH:MM:SS"; AddMessage fills the machine's clock when empty.
    std::string received;
    bool unread = true;
    Party from;
    std::vector<Recipient> recipients;
    std::vector<Attachment> attachments;
};

// Copies the client's library and programs into the desktop and writes the registry values by
// which the desktop finds them: HKLM "SOFTWARE\Clients\Mail\Outlook Express" "DLLPath"
// (REG_EXPAND_SZ through %ProgramFiles%), HKCU "Identities" "Default user ID", the App Paths
// entries of msimn.exe and wab.exe (icon-bearing programs), and HKCU
// "Software\Microsoft\WAB\WAB4\Wab File Name", and the store namespace's in-process server
// (HKEY_CLASSES_ROOT "CLSID\{E70C92A9-4BFD-11D1-8A95-00C04FB951F3}\InprocServer32", its library
// at kStoreLibraryPath). Installing again refreshes the files and keeps the identity. Throws
// std::runtime_error when a file or value cannot be written.
void InstallMailClient(pal::Machine& machine);

// Changes of the Inbox made by these controls are posted to the windows registered for its
// notifications (emu/mailclient/inbox_watch.h); changes of the Sent folder are not.

// A message arriving in the Inbox; returns its identifier. Recipients need classes 1–3 and
// addresses; the originator needs an address. Throws MailClientError otherwise.
std::uint64_t AddMessage(pal::Machine& machine, const Message& message);
// Files a message into the Sent folder, as sending does; returns its identifier.
std::uint64_t RecordSent(pal::Machine& machine, const Message& message);
// False when no message has that identifier.
bool DeleteMessage(pal::Machine& machine, std::uint64_t id);
bool SetUnread(pal::Machine& machine, std::uint64_t id, bool unread);
// Edits a stored message's subject, as the client lets its user; no notification is posted.
// False when no message has that identifier.
bool SetSubject(pal::Machine& machine, std::uint64_t id, const std::string& subject);
// Marks every Inbox message read or unread at once, as the client's "mark all" does; returns the
// number of Inbox messages (one notification for all of them unless the Inbox is empty).
size_t SetAllUnread(pal::Machine& machine, bool unread);
// The messages of a folder in identifier order, without attachment content.
std::vector<Message> ListMessages(pal::Machine& machine, Folder folder);
// The identifier of the Inbox message that follows `seed` (nothing: the first one), in order of
// receipt ("received", then identifier) when `byReceipt`, else in identifier order, unread ones
// only when `unreadOnly`; nothing when none follows. In order of receipt the seed must be an
// Inbox message (MailClientError otherwise); in identifier order any number may be the seed.
std::optional<std::uint64_t> NextInboxMessage(pal::Machine& machine,
                                              std::optional<std::uint64_t> seed, bool byReceipt,
                                              bool unreadOnly);
// One message of either folder with its attachments' content (their names and sizes only
// without `withContent`).
std::optional<Message> FindMessage(pal::Machine& machine, std::uint64_t id,
                                   bool withContent = true);

// The machine's local time now, in the form of Message::received.
std::string LocalNow(pal::Machine& machine);
// "YYYY-MM-DD", "YYYY-MM-DDTHH:MM[:SS]" or with a space for the "T", as Message::received;
// nothing when the text is no valid date and time.
std::optional<std::string> NormalizeReceived(std::string_view text);

// Makes every later logon fail (MAPI_E_LOGIN_FAILURE), as a client without a usable profile
// does; false restores normal logons.
void SetLogonRefused(pal::Machine& machine, bool refused);

}  // namespace emu::mailclient

// The device's message stores as tests and the command line see them: the stores of the mail
// accounts, their messages, and the controls a device user has (compose into the Outbox, move,
// delete). Device programs reach the same stores only through the calls of <cemapi.h>; changes
// made here are notified to their advise sinks like their own.
//
// Each store is the SQLite file WORLD/device/messagestores/N.db (N = the store's number, from 1),
// shared by every process of the device; writes are durable when the call returns. Message ids
// are the store's object ids: they never change (a move keeps them) and are never reused.
// Errors (no such store, an empty name, a store file that cannot be written) throw
// MessageStoreError.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pal {
class Machine;
}

namespace emu::cemapi {

class MessageStoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The folders of every store, in the order their ids are given.
enum class FolderKind { Root = 1, Inbox, Outbox, DeletedItems, Drafts, SentItems };

// "Root", "Inbox", "Outbox", "Deleted Items", "Drafts", "Sent Items".
std::u16string FolderName(FolderKind kind);
// The folder a name means (without regard to case, with or without the blank).
std::optional<FolderKind> ParseFolder(std::u16string_view name);

struct StoreInfo {
    std::uint32_t number = 0;
    std::u16string name;  // the store's display name: the account's name
};

struct RecipientInfo {
    ULONG type = 1;  // 1 To, 2 Cc, 3 Bcc
    std::u16string name;
    std::u16string address;
    std::u16string addressType;
};

struct AttachmentInfo {
    ULONG number = 0;  // from 1
    std::u16string fileName;
    std::optional<ULONG> size;    // PR_ATTACH_SIZE
    std::optional<ULONG> status;  // the attachment's PR_MSG_STATUS
    std::optional<ULONG> method;  // PR_ATTACH_METHOD
    std::vector<std::uint8_t> data;  // the content stream
};

struct MessageInfo {
    std::int64_t id = 0;
    FolderKind folder = FolderKind::Inbox;
    std::vector<std::uint8_t> entryId;
    std::u16string messageClass;
    std::u16string subject;
    std::u16string senderName;
    std::u16string senderAddress;
    ULONG flags = 0;
    ULONG status = 0;
    std::optional<FILETIME> deliveryTime;
    std::u16string body;
    std::vector<RecipientInfo> recipients;
    // Without data in lists; with it from ReadMessage.
    std::vector<AttachmentInfo> attachments;
};

struct NewAttachment {
    std::u16string fileName;
    std::vector<std::uint8_t> data;
};

// What a device user types into a new message.
struct NewMessage {
    std::u16string subject;
    std::vector<RecipientInfo> recipients;
    std::u16string body;
    std::vector<NewAttachment> attachments;
};

// Creates a store for an account (display name non-empty; a name already used exactly is
// refused) and answers its number.
std::uint32_t CreateStore(pal::Machine& device, const std::u16string& name);
// The stores in number order (the order of the session's store table).
std::vector<StoreInfo> ListStores(pal::Machine& device);
// The first store whose name equals `name` without regard to case.
std::optional<StoreInfo> FindStore(pal::Machine& device, std::u16string_view name);

// The messages of a store (of one folder when given), in id order, without attachment data.
std::vector<MessageInfo> ListMessages(pal::Machine& device, std::uint32_t store,
                                      std::optional<FolderKind> folder = std::nullopt);
// One message with its body, recipients and attachments' data.
std::optional<MessageInfo> ReadMessage(pal::Machine& device, std::uint32_t store, std::int64_t id);
// Files a composed message into the Outbox, as the device's mail program does when its user
// sends: class "IPM.Note", flags read | unsent | from me (| has attachments), delivery time now.
std::int64_t ComposeMessage(pal::Machine& device, std::uint32_t store, const NewMessage& message);
// False when the store has no such message.
bool MoveMessage(pal::Machine& device, std::uint32_t store, std::int64_t id, FolderKind folder);
bool DeleteMessage(pal::Machine& device, std::uint32_t store, std::int64_t id);

// Waits until every notification made so far has been handed to its sinks and their OnNotify
// calls have returned; false when `limit` passed first.
bool WaitForNotifications(pal::Machine& device, std::chrono::milliseconds limit);

}  // namespace emu::cemapi

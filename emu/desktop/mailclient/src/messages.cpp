// The message store's operations: filing, listing, reading, marking and deleting messages. Each
// change of the Inbox is posted to the windows registered for it once the change is stored.
#include <sqlite3.h>

#include <cstdint>

#include "emu/mailclient/mail_client.h"
#include "inbox_notify.h"
#include "mail_store.h"
#include "pal/runtime/machine.h"

namespace emu::mailclient {

namespace {

void Validate(const Message& message, Folder folder) {
    if (folder == Folder::Inbox && message.from.address.empty())
        throw MailClientError("the originator needs an address");
    for (const Recipient& recipient : message.recipients) {
        if (recipient.recipClass < kTo || recipient.recipClass > kBcc)
            throw MailClientError("recipient class " + std::to_string(recipient.recipClass) +
                                  " is not 1 (To), 2 (Cc) or 3 (Bcc)");
        if (recipient.address.empty()) throw MailClientError("a recipient needs an address");
    }
    if (!message.received.empty() && NormalizeReceived(message.received) != message.received)
        throw MailClientError("received time '" + message.received +
                              "' is not YYYY-MM-DDTHH:MM:SS");
}

std::uint64_t File(pal::Machine& machine, const Message& message, Folder folder) {
    Validate(message, folder);
    std::string received = message.received.empty() ? LocalNow(machine) : message.received;
    MailStore& store = machine.Get<MailStore>();
    std::lock_guard<std::recursive_mutex> guard(store.Lock());
    sqlite3* db = store.Db();
    Execute(db, "BEGIN IMMEDIATE");
    try {
        Statement insert(store,
                         "INSERT INTO messages (folder, subject, body, received, unread, "
                         "from_name, from_address) VALUES (?, ?, ?, ?, ?, ?, ?)");
        insert.Bind(1, static_cast<std::int64_t>(folder))
            .Bind(2, message.subject)
            .Bind(3, message.body)
            .Bind(4, received)
            .Bind(5, std::int64_t{message.unread ? 1 : 0})
            .Bind(6, message.from.name)
            .Bind(7, message.from.address)
            .Run();
        auto id = static_cast<std::uint64_t>(sqlite3_last_insert_rowid(db));
        for (size_t i = 0; i < message.recipients.size(); ++i) {
            const Recipient& recipient = message.recipients[i];
            Statement add(store, "INSERT INTO recipients VALUES (?, ?, ?, ?, ?)");
            add.Bind(1, static_cast<std::int64_t>(id))
                .Bind(2, static_cast<std::int64_t>(i))
                .Bind(3, static_cast<std::int64_t>(recipient.recipClass))
                .Bind(4, recipient.name)
                .Bind(5, recipient.address)
                .Run();
        }
        for (size_t i = 0; i < message.attachments.size(); ++i) {
            const Attachment& attachment = message.attachments[i];
            Statement add(store, "INSERT INTO attachments VALUES (?, ?, ?, ?, ?)");
            add.Bind(1, static_cast<std::int64_t>(id))
                .Bind(2, static_cast<std::int64_t>(i))
                .Bind(3, attachment.fileName)
                .Bind(4, attachment.pathName)
                .Bind(5, attachment.content)
                .Run();
        }
        Execute(db, "COMMIT");
        return id;
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

// Fills recipients and attachments (with content when asked) of a message read from its row.
void LoadParts(MailStore& store, Message& message, bool withContent) {
    Statement recipients(store,
                         "SELECT class, name, address FROM recipients WHERE message = ? "
                         "ORDER BY position");
    recipients.Bind(1, static_cast<std::int64_t>(message.id));
    while (recipients.Step())
        message.recipients.push_back(
            {static_cast<unsigned>(recipients.Int(0)), recipients.Text(1), recipients.Text(2)});
    Statement attachments(store, withContent ? "SELECT file_name, path_name, length(content), content "
                                            "FROM attachments WHERE message = ? ORDER BY position"
                                          : "SELECT file_name, path_name, length(content) "
                                            "FROM attachments WHERE message = ? ORDER BY position");
    attachments.Bind(1, static_cast<std::int64_t>(message.id));
    while (attachments.Step()) {
        Attachment attachment{attachments.Text(0),
                              attachments.Text(1),
                              static_cast<std::uint64_t>(attachments.Int(2)),
                              {}};
        if (withContent) attachment.content = attachments.Bytes(3);
        message.attachments.push_back(std::move(attachment));
    }
}

constexpr const char* kMessageColumns =
    "SELECT id, folder, subject, body, received, unread, from_name, from_address FROM messages ";

Message FromRow(const Statement& row) {
    Message message;
    message.id = static_cast<std::uint64_t>(row.Int(0));
    message.folder = static_cast<Folder>(row.Int(1));
    message.subject = row.Text(2);
    message.body = row.Text(3);
    message.received = row.Text(4);
    message.unread = row.Int(5) != 0;
    message.from = {row.Text(6), row.Text(7)};
    return message;
}

// The folder holding a message; nothing when no message has that identifier.
std::optional<Folder> FolderOf(MailStore& store, std::uint64_t id) {
    Statement row(store, "SELECT folder FROM messages WHERE id = ?");
    row.Bind(1, static_cast<std::int64_t>(id));
    if (!row.Step()) return std::nullopt;
    return static_cast<Folder>(row.Int(0));
}

}  // namespace

std::uint64_t AddMessage(pal::Machine& machine, const Message& message) {
    std::uint64_t id = File(machine, message, Folder::Inbox);
    NotifyInboxAdded(machine, id);
    return id;
}

std::uint64_t RecordSent(pal::Machine& machine, const Message& message) {
    return File(machine, message, Folder::Sent);
}

bool DeleteMessage(pal::Machine& machine, std::uint64_t id) {
    std::optional<Folder> folder;
    {
        MailStore& store = machine.Get<MailStore>();
        std::lock_guard<std::recursive_mutex> guard(store.Lock());
        folder = FolderOf(store, id);
        if (!folder) return false;
        Statement remove(store, "DELETE FROM messages WHERE id = ?");
        remove.Bind(1, static_cast<std::int64_t>(id)).Run();
    }
    if (folder == Folder::Inbox) NotifyInboxDeleted(machine, id);
    return true;
}

bool SetUnread(pal::Machine& machine, std::uint64_t id, bool unread) {
    std::optional<Folder> folder;
    {
        MailStore& store = machine.Get<MailStore>();
        std::lock_guard<std::recursive_mutex> guard(store.Lock());
        folder = FolderOf(store, id);
        if (!folder) return false;
        Statement update(store, "UPDATE messages SET unread = ? WHERE id = ?");
        update.Bind(1, std::int64_t{unread ? 1 : 0}).Bind(2, static_cast<std::int64_t>(id)).Run();
    }
    if (folder == Folder::Inbox) NotifyInboxMarked(machine, id, unread);
    return true;
}

bool SetSubject(pal::Machine& machine, std::uint64_t id, const std::string& subject) {
    MailStore& store = machine.Get<MailStore>();
    std::lock_guard<std::recursive_mutex> guard(store.Lock());
    if (!FolderOf(store, id)) return false;
    Statement update(store, "UPDATE messages SET subject = ? WHERE id = ?");
    update.Bind(1, subject).Bind(2, static_cast<std::int64_t>(id)).Run();
    return true;
}

size_t SetAllUnread(pal::Machine& machine, bool unread) {
    size_t count = 0;
    {
        MailStore& store = machine.Get<MailStore>();
        std::lock_guard<std::recursive_mutex> guard(store.Lock());
        Statement update(store, "UPDATE messages SET unread = ? WHERE folder = ?");
        update.Bind(1, std::int64_t{unread ? 1 : 0})
            .Bind(2, static_cast<std::int64_t>(Folder::Inbox))
            .Run();
        count = static_cast<size_t>(sqlite3_changes(store.Db()));
    }
    if (count) NotifyInboxAllMarked(machine, unread);
    return count;
}

std::vector<Message> ListMessages(pal::Machine& machine, Folder folder) {
    MailStore& store = machine.Get<MailStore>();
    std::lock_guard<std::recursive_mutex> guard(store.Lock());
    Statement rows(store,
                   std::string(kMessageColumns) + "WHERE folder = ? ORDER BY id");
    rows.Bind(1, static_cast<std::int64_t>(folder));
    std::vector<Message> messages;
    while (rows.Step()) messages.push_back(FromRow(rows));
    for (Message& message : messages) LoadParts(store, message, false);
    return messages;
}

std::optional<std::uint64_t> NextInboxMessage(pal::Machine& machine,
                                              std::optional<std::uint64_t> seed, bool byReceipt,
                                              bool unreadOnly) {
    MailStore& store = machine.Get<MailStore>();
    std::lock_guard<std::recursive_mutex> guard(store.Lock());
    std::string unread = unreadOnly ? " AND unread <> 0" : "";
    if (!byReceipt) {
        // Identifiers are SQLite integers: none follows a larger number.
        if (seed && *seed > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
        // Along the identifiers themselves, not the receipt index.
        Statement next(store, "SELECT id FROM messages NOT INDEXED WHERE folder = ? AND id > ?" +
                                  unread + " ORDER BY id LIMIT 1");
        next.Bind(1, static_cast<std::int64_t>(Folder::Inbox))
            .Bind(2, static_cast<std::int64_t>(seed.value_or(0)));
        if (!next.Step()) return std::nullopt;
        return static_cast<std::uint64_t>(next.Int(0));
    }
    // Every message follows the empty text and the identifier 0.
    std::string received;
    std::int64_t after = 0;
    if (seed) {
        Statement find(store, "SELECT received FROM messages WHERE id = ? AND folder = ?");
        find.Bind(1, static_cast<std::int64_t>(*seed))
            .Bind(2, static_cast<std::int64_t>(Folder::Inbox));
        if (!find.Step()) throw MailClientError("no Inbox message has that identifier");
        received = find.Text(0);
        after = static_cast<std::int64_t>(*seed);
    }
    Statement next(store,
                   "SELECT id FROM messages WHERE folder = ?1 AND (received > ?2 OR "
                   "(received = ?2 AND id > ?3))" +
                       unread + " ORDER BY received, id LIMIT 1");
    next.Bind(1, static_cast<std::int64_t>(Folder::Inbox)).Bind(2, received).Bind(3, after);
    if (!next.Step()) return std::nullopt;
    return static_cast<std::uint64_t>(next.Int(0));
}

std::optional<Message> FindMessage(pal::Machine& machine, std::uint64_t id, bool withContent) {
    MailStore& store = machine.Get<MailStore>();
    std::lock_guard<std::recursive_mutex> guard(store.Lock());
    Statement row(store, std::string(kMessageColumns) + "WHERE id = ?");
    row.Bind(1, static_cast<std::int64_t>(id));
    if (!row.Step()) return std::nullopt;
    Message message = FromRow(row);
    LoadParts(store, message, withContent);
    return message;
}

void SetLogonRefused(pal::Machine& machine, bool refused) {
    MailStore& store = machine.Get<MailStore>();
    std::lock_guard<std::recursive_mutex> guard(store.Lock());
    store.SetLogonRefused(refused);
}

}  // namespace emu::mailclient

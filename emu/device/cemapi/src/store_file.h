// One message store kept in its own SQLite file: its identity (a 16-byte unique id and display
// name), its objects (folders, messages, attachments, recipients; each with a never-reused id and
// its parent) and their typed property values. Every change is committed as it is made.
#pragma once

#include <cemapi.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "emu/cemapi/message_stores.h"
#include "sqlite_file.h"

namespace emu::cemapi {

using StoreUid = std::array<std::uint8_t, 16>;

// Object types, as PR_OBJECT_TYPE numbers them; recipients are rows of their message.
constexpr ULONG kFolderObject = MAPI_FOLDER;
constexpr ULONG kMessageObject = MAPI_MESSAGE;
constexpr ULONG kAttachObject = MAPI_ATTACH;
constexpr ULONG kRecipientObject = 6;

// A property value as stored: its full tag and its bytes (little-endian numbers, UTF-16LE text
// without terminator, raw binary).
struct StoredProp {
    ULONG tag = 0;
    std::vector<std::uint8_t> value;
};

struct ObjectRow {
    std::int64_t id = 0;
    ULONG type = 0;
    std::int64_t parent = 0;
    // A folder's FolderKind, an attachment's number, a recipient's row id.
    ULONG number = 0;
};

class StoreFile {
public:
    // Everything done through the file on one thread while a scope is open is one transaction:
    // other connections see all of it or none of it, and its reads share one snapshot. A write
    // scope rolls back unless committed. Scopes nest: an inner one joins the outer one's
    // transaction, and an inner write scope that ends uncommitted fails the outer one too. A
    // write scope cannot be opened inside a read scope.
    class Scope {
    public:
        enum class Kind { Read, Write };
        Scope(StoreFile& file, Kind kind);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        // The scope's work is done; the outermost scope's commit makes it durable.
        void Commit();

    private:
        StoreFile& m_file;
        std::unique_lock<std::recursive_mutex> m_guard;
        Kind m_kind;
        bool m_outer = false;
        bool m_committed = false;
    };

    // Makes a new store file with its six folders; MapiError when it cannot be written.
    static std::unique_ptr<StoreFile> Create(const std::filesystem::path& file,
                                             const std::u16string& name);
    // Opens an existing store file; MAPI_E_CORRUPT_DATA when it is none.
    static std::unique_ptr<StoreFile> Open(const std::filesystem::path& file);

    // Runs `work` as one write of the file: all of it is kept, or none of it when it throws.
    template <class Work>
    void Write(Work&& work) {
        Scope scope(*this, Scope::Kind::Write);
        work();
        scope.Commit();
    }

    const StoreUid& Uid() const { return m_uid; }
    const std::u16string& Name() const { return m_name; }
    const std::filesystem::path& Path() const { return m_path; }

    std::optional<ObjectRow> Find(std::int64_t id);
    std::int64_t FolderId(FolderKind kind) const { return static_cast<std::int64_t>(kind); }
    // Children of one type in id order.
    std::vector<ObjectRow> Children(std::int64_t parent, ULONG type);
    // A new object below `parent`; attachments and recipients are numbered 1, 2, … per parent.
    ObjectRow Add(ULONG type, std::int64_t parent, const std::vector<StoredProp>& props);

    std::vector<StoredProp> Props(std::int64_t id);
    std::optional<StoredProp> Prop(std::int64_t id, ULONG propId);
    // Writes values (replacing those of the same property id) and removes the listed ids, at once.
    void Update(std::int64_t id, const std::vector<StoredProp>& set,
                const std::vector<ULONG>& removeIds = {});
    // Removes every value of an object and writes `props` instead.
    void Replace(std::int64_t id, const std::vector<StoredProp>& props);

    // Moves an object below another parent; its id stays.
    void Reparent(std::int64_t id, std::int64_t parent);
    // Copies an object with everything below it under `parent`; answers the copy's id.
    std::int64_t CopyTree(std::int64_t id, std::int64_t parent);
    // Deletes an object with everything below it.
    void DeleteTree(std::int64_t id);

private:
    explicit StoreFile(const std::filesystem::path& file, bool create);
    // Brings a file made in an earlier layout to the current one, keeping every value.
    void UpgradeLayout();
    bool KeepsValuesInRowTable();
    std::int64_t CopyLocked(std::int64_t id, std::int64_t parent);
    void DeleteLocked(std::int64_t id);
    void WriteLocked(std::int64_t id, const std::vector<StoredProp>& props);

    std::filesystem::path m_path;
    std::recursive_mutex m_lock;
    SqliteFile m_db;
    // The open scopes (guarded by m_lock): how many, whether the transaction writes, and
    // whether an inner write scope ended uncommitted.
    int m_scopes = 0;
    bool m_scopeWrites = false;
    bool m_scopeFailed = false;
    StoreUid m_uid{};
    std::u16string m_name;
};

// Value codecs of stored properties.
StoredProp LongProp(ULONG tag, ULONG value);
StoredProp TextProp(ULONG tag, const std::u16string& text);
StoredProp BinaryProp(ULONG tag, std::vector<std::uint8_t> bytes);
ULONG LongOf(const StoredProp& prop);
std::u16string TextOf(const StoredProp& prop);

}  // namespace emu::cemapi

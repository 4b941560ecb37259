// What every object of an open store shares: its machine (for notifications) and its store file;
// and the properties the store computes rather than keeps (entry identifiers, object types,
// attachment numbers, recipient row ids, the attachment mark of a message).
#pragma once

#include <cemapi.h>

#include <memory>
#include <optional>
#include <vector>

#include "entry_id.h"
#include "notification_hub.h"
#include "store_file.h"

namespace pal {
class Machine;
}

namespace emu::cemapi {

struct StoreContext {
    pal::Machine* machine = nullptr;
    std::shared_ptr<StoreFile> file;

    std::vector<std::uint8_t> EntryOf(ULONG type, std::int64_t id) const {
        return MakeEntryId(EntryRef{file->Uid(), type, id});
    }
    // The object's row; MAPI_E_OBJECT_DELETED when it is gone.
    ObjectRow Row(std::int64_t id) const;
    // Stored and computed values of an object.
    std::vector<StoredProp> ObjectProps(const ObjectRow& row) const;
    // Every value of the object with id `id`, read from one snapshot of the file;
    // MAPI_E_OBJECT_DELETED when it is gone.
    std::vector<StoredProp> PropsOf(std::int64_t id) const;
    // The store's own values: entry identifier, display name, object type, its folders.
    std::vector<StoredProp> StoreProps() const;
    // Tells the sinks about a message: created, modified, deleted (in `folder`), moved or copied
    // (from `oldFolder`; a copy names its original as `original`).
    void NotifyMessage(ULONG event, std::int64_t message, std::int64_t folder,
                       std::int64_t oldFolder = 0, std::int64_t original = 0) const;
};

// True for the property ids the store computes; writes to them are refused.
bool IsComputed(ULONG tag);

}  // namespace emu::cemapi

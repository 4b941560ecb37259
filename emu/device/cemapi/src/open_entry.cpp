#include "open_entry.h"

#include "folder_object.h"
#include "message_object.h"
#include "msg_store_object.h"

namespace emu::cemapi {

HRESULT OpenObject(const StoreContext& context, const EntryRef& ref, ULONG flags,
                   ULONG* lpulObjType, LPUNKNOWN* lppUnk) {
    return Guarded([&] {
        LPUNKNOWN object = nullptr;
        if (ref.type == MAPI_STORE) {
            object = static_cast<IMsgStore*>(new MsgStoreObject(context));
        } else {
            auto row = context.file->Find(ref.id);
            if (!row || row->type != ref.type) return MAPI_E_NOT_FOUND;
            if (ref.type == MAPI_FOLDER)
                object = static_cast<IMAPIFolder*>(new FolderObject(context, ref.id));
            else
                object = static_cast<IMessage*>(
                    new MessageObject(context, ref.id, flags & (MAPI_MODIFY | MAPI_BEST_ACCESS)));
        }
        if (lpulObjType) *lpulObjType = ref.type;
        *lppUnk = object;
        return S_OK;
    });
}

}  // namespace emu::cemapi

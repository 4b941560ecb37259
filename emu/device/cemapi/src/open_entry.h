// Opening an object of a store by its entry identifier, shared by the session and the store.
#pragma once

#include "store_context.h"

namespace emu::cemapi {

// The store, folder or message `ref` names (its store being `context`'s); messages open for
// modification with MAPI_MODIFY or MAPI_BEST_ACCESS. MAPI_E_NOT_FOUND when it is gone.
HRESULT OpenObject(const StoreContext& context, const EntryRef& ref, ULONG flags,
                   ULONG* lpulObjType, LPUNKNOWN* lppUnk);

}  // namespace emu::cemapi

#include <memory>
#include <vector>

#include "pal/runtime/waitable.h"
#include "pal/sync.h"

DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                             DWORD dwMilliseconds) {
    if (nCount == 0 || nCount > pal::kMaxWaitObjects || !lpHandles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<pal::Waitable>> objects;
    objects.reserve(nCount);
    for (DWORD i = 0; i < nCount; ++i) {
        auto object = pal::WaitableFromHandle(lpHandles[i]);
        if (!object) return WAIT_FAILED;
        objects.push_back(std::move(object));
    }
    return pal::WaitForObjects(objects, bWaitAll != FALSE, dwMilliseconds);
}

#include <memory>

#include "pal/runtime/waitable.h"
#include "pal/sync.h"

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    auto object = pal::WaitableFromHandle(hHandle);
    if (!object) return WAIT_FAILED;
    std::shared_ptr<pal::Waitable> objects[] = {std::move(object)};
    return pal::WaitForObjects(objects, false, dwMilliseconds);
}

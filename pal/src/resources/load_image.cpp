// LoadImage and LoadIcon: bitmaps, icons and cursors from a module's resources, with shared
// handles for LR_SHARED and LoadIcon.
#include <map>
#include <mutex>
#include <tuple>

#include "images.h"
#include "module_resources.h"
#include "pal/resources.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/process.h"

namespace pal {

namespace {

// Shared images of the process by module, kind, name and size: loaded once, never destroyed.
class SharedImages : public Component {
public:
    explicit SharedImages(Process&) {}
    using Key = std::tuple<HINSTANCE, UINT, int, std::u16string, int, int>;
    static Key KeyOf(HINSTANCE module, UINT type, const ResourceId& name, int cx, int cy) {
        return {module, type, name.IsOrdinal() ? name.Ordinal() : -1, ToUpper(name.Text()), cx, cy};
    }
    HANDLE Find(const Key& key) {
        std::lock_guard<std::mutex> guard(m_lock);
        auto found = m_handles.find(key);
        return found == m_handles.end() ? nullptr : found->second;
    }
    void Remember(const Key& key, HANDLE handle) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_handles[key] = handle;
    }

private:
    std::mutex m_lock;
    std::map<Key, HANDLE> m_handles;
};

std::shared_ptr<GdiObject> Load(const ResourceData& data, const ResourceId& name, UINT type, int cx,
                                int cy, bool shared) {
    if (type == IMAGE_BITMAP) return LoadBitmapResource(data, name, cx, cy);
    auto icon = LoadGroupIcon(data, name, type == IMAGE_CURSOR, cx, cy);
    if (icon) icon->shared = shared;
    return icon;
}

}  // namespace

HANDLE LoadImageFromModule(HINSTANCE module, const ResourceId& name, UINT type, int cx, int cy,
                           UINT flags) {
    if (type != IMAGE_BITMAP && type != IMAGE_ICON && type != IMAGE_CURSOR) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (flags & LR_LOADFROMFILE) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (!module) {
        // A null instance names the system's predefined images, which this layer does not have.
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    if (type != IMAGE_BITMAP) {
        // Icons and cursors are chosen for the system size unless a size is asked for.
        if (cx == 0) cx = kLargeIconSize;
        if (cy == 0) cy = kLargeIconSize;
    }
    bool shared = (flags & LR_SHARED) != 0;
    auto& sharedImages = CurrentProcess().Get<SharedImages>();
    auto key = SharedImages::KeyOf(module, type, name, cx, cy);
    if (shared) {
        if (HANDLE handle = sharedImages.Find(key)) return handle;
    }
    auto data = ModuleResources(module);
    if (!data) return nullptr;
    auto image = Load(*data, name, type, cx, cy, shared);
    if (!image) return nullptr;
    HANDLE handle = CurrentProcess().Get<GdiObjectTable>().Add(std::move(image));
    if (shared) sharedImages.Remember(key, handle);
    return handle;
}

}  // namespace pal

HANDLE LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad) {
    return pal::LoadImageFromModule(hInst, pal::ResourceId::FromArgument(name), type, cx, cy,
                                    fuLoad);
}

HANDLE LoadImageW(HINSTANCE hInst, LPCWSTR name, UINT type, int cx, int cy, UINT fuLoad) {
    return pal::LoadImageFromModule(hInst, pal::ResourceId::FromArgument(name), type, cx, cy,
                                    fuLoad);
}

HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    return static_cast<HICON>(pal::LoadImageFromModule(
        hInstance, pal::ResourceId::FromArgument(lpIconName), IMAGE_ICON, 0, 0, LR_SHARED));
}

HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) {
    return static_cast<HICON>(pal::LoadImageFromModule(
        hInstance, pal::ResourceId::FromArgument(lpIconName), IMAGE_ICON, 0, 0, LR_SHARED));
}

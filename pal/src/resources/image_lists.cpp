// Image lists cut from bitmap resources.
#include "images.h"
#include "module_resources.h"
#include "pal/resources.h"
#include "pal/runtime/context.h"
#include "pal/runtime/process.h"

namespace {

HIMAGELIST LoadList(HINSTANCE module, const pal::ResourceId& name, int cx, COLORREF mask, UINT type,
                    UINT flags) {
    if (cx <= 0 || type != IMAGE_BITMAP) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto& table = pal::CurrentProcess().Get<pal::GdiObjectTable>();
    HANDLE loaded = pal::LoadImageFromModule(module, name, IMAGE_BITMAP, 0, 0, flags);
    auto bitmap = table.GetAs<pal::Bitmap>(loaded);
    if (!bitmap) return nullptr;
    const pal::Pixels& strip = bitmap->Image();
    if (mask == CLR_DEFAULT) mask = strip.At(0, 0);
    auto list = std::make_shared<pal::ImageList>(cx, strip.height, mask);
    for (int left = 0; left + cx <= strip.width; left += cx) {
        pal::Pixels image{cx, strip.height, {}};
        for (int y = 0; y < strip.height; ++y)
            for (int x = 0; x < cx; ++x) image.colours.push_back(strip.At(left + x, y));
        list->Add(std::move(image));
    }
    if (!(flags & LR_SHARED)) table.Remove(loaded);
    return static_cast<HIMAGELIST>(table.Add(std::move(list)));
}

}  // namespace

HIMAGELIST ImageList_LoadImageA(HINSTANCE hi, LPCSTR lpbmp, int cx, int cGrow, COLORREF crMask,
                                UINT uType, UINT uFlags) {
    (void)cGrow;  // capacity growth only
    return LoadList(hi, pal::ResourceId::FromArgument(lpbmp), cx, crMask, uType, uFlags);
}

HIMAGELIST ImageList_LoadImageW(HINSTANCE hi, LPCWSTR lpbmp, int cx, int cGrow, COLORREF crMask,
                                UINT uType, UINT uFlags) {
    (void)cGrow;  // capacity growth only
    return LoadList(hi, pal::ResourceId::FromArgument(lpbmp), cx, crMask, uType, uFlags);
}

int ImageList_GetImageCount(HIMAGELIST himl) {
    auto list = pal::CurrentProcess().Get<pal::GdiObjectTable>().GetAs<pal::ImageList>(himl);
    return list ? static_cast<int>(list->Images().size()) : 0;
}

BOOL ImageList_Destroy(HIMAGELIST himl) {
    auto& table = pal::CurrentProcess().Get<pal::GdiObjectTable>();
    if (!table.GetAs<pal::ImageList>(himl)) return FALSE;
    return table.Remove(himl) ? TRUE : FALSE;
}

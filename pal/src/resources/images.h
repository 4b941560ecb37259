// Icons, cursors and bitmaps built from resource data, shared by LoadIcon, LoadImage,
// ExtractIconEx and the image lists.
#pragma once

#include <memory>
#include <span>

#include "pal/runtime/gdi_objects.h"
#include "pal/runtime/resource_data.h"
#include "pal/types.h"

namespace pal {

// The sizes of the system's large and small icons.
constexpr int kLargeIconSize = 32;
constexpr int kSmallIconSize = 16;

// The pixels of a device-independent bitmap (BITMAPINFOHEADER, colour table, bits) of 1, 4, 8,
// 16, 24 or 32 bits per pixel without compression. Throws ResourceFormatError otherwise.
Pixels DecodeDib(std::span<const BYTE> dib);
// Nearest-neighbour resampling to cx x cy.
Pixels Resample(const Pixels& source, int cx, int cy);

// The icon (or cursor) of group `name` whose image is nearest cx x cy. On failure sets the last
// error and returns null.
std::shared_ptr<Icon> LoadGroupIcon(const ResourceData& data, const ResourceId& name, bool cursor,
                                    int cx, int cy);
// An icon record for one image of a group; a cursor image starts with its hotspot.
std::shared_ptr<Icon> MakeIcon(const GroupImage& image, std::span<const BYTE> bits, bool cursor);

// Bitmap `name` of the resources, resampled to cx x cy (a zero keeps the bitmap's own). On failure
// sets the last error and returns null.
std::shared_ptr<Bitmap> LoadBitmapResource(const ResourceData& data, const ResourceId& name, int cx,
                                           int cy);

// LoadImage for a module of the current process.
HANDLE LoadImageFromModule(HINSTANCE module, const ResourceId& name, UINT type, int cx, int cy,
                           UINT flags);

}  // namespace pal

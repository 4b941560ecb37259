// Icons and cursors from icon groups: LoadIcon and LoadImage build them (load_image.cpp),
// ExtractIconEx reads them from a module or .ico file, DestroyIcon frees them.
#include <dlfcn.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "byte_reader.h"
#include "images.h"
#include "module_resources.h"
#include "pal/resources.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/paths.h"
#include "pal/runtime/process.h"

namespace pal {

namespace {

constexpr WORD kCursorType = 1;
constexpr WORD kIconType = 3;
constexpr WORD kCursorGroupType = 12;
constexpr WORD kIconGroupType = 14;

// One icon group of a file: its images and each image's bytes.
struct IconGroup {
    std::vector<GroupImage> images;
    std::vector<std::span<const BYTE>> bits;
    WORD ordinal = 0;  // the group's resource id; 0 for a named group or an .ico file
};

// The icon groups of a file's resources, in resource order: named groups first, then
// ascending ids. Groups whose images are missing are skipped.
std::vector<IconGroup> GroupsOf(const ResourceData& data) {
    std::vector<const ResourceEntry*> entries;
    for (const auto& entry : data.Entries())
        if (entry.type == ResourceId(kIconGroupType) &&
            std::none_of(entries.begin(), entries.end(),
                         [&](const ResourceEntry* seen) { return seen->name == entry.name; }))
            entries.push_back(&entry);
    std::stable_sort(entries.begin(), entries.end(), [](const auto* a, const auto* b) {
        if (a->name.IsOrdinal() != b->name.IsOrdinal()) return !a->name.IsOrdinal();
        if (a->name.IsOrdinal()) return a->name.Ordinal() < b->name.Ordinal();
        return CompareNoCase(a->name.Text(), b->name.Text()) < 0;
    });
    std::vector<IconGroup> groups;
    for (const auto* entry : entries) {
        const ResourceEntry* chosen = data.Find(entry->type, entry->name, PreferredLanguage());
        IconGroup group;
        group.ordinal = chosen->name.IsOrdinal() ? chosen->name.Ordinal() : 0;
        for (const auto& image : ParseImageGroup(chosen->data, false)) {
            const ResourceEntry* bits =
                data.Find(ResourceId(kIconType), ResourceId(image.id), chosen->language);
            if (!bits) continue;
            group.images.push_back(image);
            group.bits.push_back(bits->data);
        }
        if (!group.images.empty()) groups.push_back(std::move(group));
    }
    return groups;
}

// The one group of an .ico file: a directory of 16-byte entries giving each image's offset.
std::vector<IconGroup> GroupsOfIconFile(std::span<const BYTE> file) {
    ByteReader reader(file, "icon file");
    reader.Word();  // reserved
    reader.Word();  // type 1
    WORD count = reader.Word();
    IconGroup group;
    for (WORD i = 0; i < count; ++i) {
        BYTE width = reader.Byte();
        BYTE height = reader.Byte();
        reader.Byte();  // colours
        reader.Byte();  // reserved
        reader.Word();  // planes
        GroupImage image{width ? width : 256, height ? height : 256, reader.Word(), reader.Dword(),
                         0};
        DWORD offset = reader.Dword();
        if (offset > file.size() || image.bytes > file.size() - offset)
            reader.Fail("image beyond the end of the file");
        group.images.push_back(image);
        group.bits.push_back(file.subspan(offset, image.bytes));
    }
    std::vector<IconGroup> groups;
    if (!group.images.empty()) groups.push_back(std::move(group));
    return groups;
}

bool IsIconFile(const std::vector<BYTE>& file) {
    return file.size() >= 6 && file[0] == 0 && file[1] == 0 && file[2] == 1 && file[3] == 0;
}

// The compiled resources of a module file: the file is loaded into the host process for the
// time of the copy and unloaded again. Empty when it is no loadable module or has none.
std::vector<BYTE> ModuleFileResources(const std::filesystem::path& path) {
    void* host = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!host) return {};
    std::vector<BYTE> copy;
    auto data = static_cast<const BYTE*>(::dlsym(host, "velumex_resource_data"));
    auto size = static_cast<const unsigned int*>(::dlsym(host, "velumex_resource_size"));
    if (data && size) copy.assign(data, data + *size);
    ::dlclose(host);
    return copy;
}

HICON AddIcon(const IconGroup& group, int size) {
    const GroupImage* image = ChooseGroupImage(group.images, size, size);
    size_t index = static_cast<size_t>(image - group.images.data());
    return static_cast<HICON>(
        CurrentProcess().Get<GdiObjectTable>().Add(MakeIcon(*image, group.bits[index], false)));
}

UINT ExtractIcons(std::u16string_view file, int index, HICON* large, HICON* small, UINT count) {
    for (UINT i = 0; i < count; ++i) {
        if (large) large[i] = nullptr;
        if (small) small[i] = nullptr;
    }
    DWORD error = 0;
    auto path = ResolvePath(CurrentMachine(), file, error);
    std::error_code ec;
    if (!path || !std::filesystem::is_regular_file(*path, ec)) {
        SetLastError(path ? ERROR_FILE_NOT_FOUND : error);
        return 0;
    }
    std::vector<BYTE> bytes;
    std::vector<IconGroup> groups;
    try {
        std::ifstream in(*path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (IsIconFile(bytes)) {
            groups = GroupsOfIconFile(bytes);
        } else {
            bytes = ModuleFileResources(*path);
            if (!bytes.empty()) groups = GroupsOf(ResourceData(bytes));
        }
    } catch (const ResourceFormatError&) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    if (index == -1 && !large && !small) return static_cast<UINT>(groups.size());
    size_t first = static_cast<size_t>(index);
    if (index < 0) {
        auto found = std::find_if(groups.begin(), groups.end(),
                                  [&](const IconGroup& g) { return g.ordinal == -index; });
        first = static_cast<size_t>(found - groups.begin());
    }
    UINT extracted = 0;
    for (; extracted < count && first + extracted < groups.size(); ++extracted) {
        const IconGroup& group = groups[first + extracted];
        if (large) large[extracted] = AddIcon(group, kLargeIconSize);
        if (small) small[extracted] = AddIcon(group, kSmallIconSize);
    }
    return extracted;
}

}  // namespace

std::shared_ptr<Icon> MakeIcon(const GroupImage& image, std::span<const BYTE> bits, bool cursor) {
    auto icon = std::make_shared<Icon>();
    icon->cursor = cursor;
    icon->width = image.width;
    icon->height = image.height;
    icon->bitCount = image.bitCount;
    icon->resourceId = image.id;
    if (cursor) {
        ByteReader reader(bits, "cursor");
        icon->hotspot.x = reader.Word();
        icon->hotspot.y = reader.Word();
        bits = bits.subspan(4);
    }
    icon->bits.assign(bits.begin(), bits.end());
    return icon;
}

std::shared_ptr<Icon> LoadGroupIcon(const ResourceData& data, const ResourceId& name, bool cursor,
                                    int cx, int cy) {
    const ResourceEntry* group =
        FindEntry(data, ResourceId(cursor ? kCursorGroupType : kIconGroupType), name);
    if (!group) return nullptr;
    try {
        auto images = ParseImageGroup(group->data, cursor);
        const GroupImage* image = ChooseGroupImage(images, cx, cy);
        const ResourceEntry* bits = image ? data.Find(ResourceId(cursor ? kCursorType : kIconType),
                                                      ResourceId(image->id), group->language)
                                          : nullptr;
        if (!bits) {
            SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
            return nullptr;
        }
        return MakeIcon(*image, bits->data, cursor);
    } catch (const ResourceFormatError&) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
}

}  // namespace pal

UINT ExtractIconExA(LPCSTR lpszFile, int nIconIndex, HICON* phiconLarge, HICON* phiconSmall,
                    UINT nIcons) {
    if (!lpszFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return pal::ExtractIcons(pal::Cp1252ToUtf16(std::string_view(lpszFile)), nIconIndex,
                             phiconLarge, phiconSmall, nIcons);
}

UINT ExtractIconExW(LPCWSTR lpszFile, int nIconIndex, HICON* phiconLarge, HICON* phiconSmall,
                    UINT nIcons) {
    if (!lpszFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return pal::ExtractIcons(lpszFile, nIconIndex, phiconLarge, phiconSmall, nIcons);
}

BOOL DestroyIcon(HICON hIcon) {
    auto& table = pal::CurrentProcess().Get<pal::GdiObjectTable>();
    auto icon = table.GetAs<pal::Icon>(hIcon);
    if (!icon) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    if (!icon->shared) table.Remove(hIcon);
    return TRUE;
}

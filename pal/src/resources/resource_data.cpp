#include "pal/runtime/resource_data.h"

#include <cstdlib>

#include "byte_reader.h"
#include "pal/runtime/encoding.h"

namespace pal {

namespace {

constexpr WORD kStringType = 6;
constexpr WORD kPrimaryLanguageMask = 0x03FF;
constexpr WORD kUsEnglish = 0x0409;

// "#123" names ordinal 123; anything else is a text.
ResourceId FromText(std::u16string text) {
    if (text.size() > 1 && text.size() <= 6 && text[0] == u'#') {
        unsigned value = 0;
        bool digits = true;
        for (size_t i = 1; i < text.size() && digits; ++i) {
            digits = text[i] >= u'0' && text[i] <= u'9';
            value = value * 10 + (text[i] - u'0');
        }
        if (digits && value <= 0xFFFF) return ResourceId(static_cast<WORD>(value));
    }
    return ResourceId(std::move(text));
}

}  // namespace

ResourceId ResourceId::FromArgument(LPCWSTR name) {
    auto value = reinterpret_cast<ULONG_PTR>(name);
    if ((value >> 16) == 0) return ResourceId(static_cast<WORD>(value));
    return FromText(std::u16string(name));
}

ResourceId ResourceId::FromArgument(LPCSTR name) {
    auto value = reinterpret_cast<ULONG_PTR>(name);
    if ((value >> 16) == 0) return ResourceId(static_cast<WORD>(value));
    return FromText(Cp1252ToUtf16(std::string_view(name)));
}

bool ResourceId::operator==(const ResourceId& other) const {
    if (IsOrdinal() != other.IsOrdinal()) return false;
    return IsOrdinal() ? Ordinal() == other.Ordinal() : EqualsNoCase(m_text, other.m_text);
}

ResourceData::ResourceData(std::span<const BYTE> bytes) : m_bytes(bytes) {
    ByteReader reader(bytes, "resource data");
    while (reader.Remaining() > 0) {
        size_t start = reader.Offset();
        ResourceEntry entry;
        entry.offset = start;
        DWORD dataSize = reader.Dword();
        DWORD headerSize = reader.Dword();
        entry.type = reader.NameOrOrdinal();
        entry.name = reader.NameOrOrdinal();
        reader.Align(4);
        reader.Dword();  // data version
        entry.memoryFlags = reader.Word();
        entry.language = reader.Word();
        reader.Dword();  // version
        reader.Dword();  // characteristics
        if (reader.Offset() - start > headerSize) reader.Fail("header longer than its size");
        reader.Seek(start + headerSize);
        entry.data = reader.Bytes(dataSize);
        reader.Align(4);
        bool empty = dataSize == 0 && entry.type.IsOrdinal() && entry.type.Ordinal() == 0;
        if (!empty) m_entries.push_back(std::move(entry));
    }
}

bool ResourceData::HasType(const ResourceId& type) const {
    for (const auto& entry : m_entries)
        if (entry.type == type) return true;
    return false;
}

const ResourceEntry* ResourceData::Find(const ResourceId& type, const ResourceId& name,
                                        WORD language) const {
    const ResourceEntry* samePrimary = nullptr;
    const ResourceEntry* neutral = nullptr;
    const ResourceEntry* english = nullptr;
    const ResourceEntry* first = nullptr;
    for (const auto& entry : m_entries) {
        if (!(entry.type == type) || !(entry.name == name)) continue;
        if (entry.language == language) return &entry;
        if (!samePrimary &&
            (entry.language & kPrimaryLanguageMask) == (language & kPrimaryLanguageMask))
            samePrimary = &entry;
        if (!neutral && entry.language == 0) neutral = &entry;
        if (!english && entry.language == kUsEnglish) english = &entry;
        if (!first) first = &entry;
    }
    return samePrimary ? samePrimary : neutral ? neutral : english ? english : first;
}

const ResourceEntry* ResourceData::AtOffset(size_t offset) const {
    for (const auto& entry : m_entries)
        if (entry.offset == offset) return &entry;
    return nullptr;
}

std::optional<std::span<const BYTE>> ResourceData::String(UINT id, WORD language) const {
    if (id / 16 + 1 > 0xFFFF) return std::nullopt;
    const ResourceEntry* block =
        Find(ResourceId(kStringType), ResourceId(static_cast<WORD>(id / 16 + 1)), language);
    if (!block) return std::nullopt;
    ByteReader reader(block->data, "string block");
    for (UINT i = 0; i < id % 16; ++i) reader.Bytes(reader.Word() * size_t{2});
    WORD length = reader.Word();
    if (length == 0) return std::nullopt;
    return reader.Bytes(length * size_t{2});
}

std::vector<GroupImage> ParseImageGroup(std::span<const BYTE> data, bool cursor) {
    ByteReader reader(data, cursor ? "cursor group" : "icon group");
    reader.Word();  // reserved
    if (reader.Word() != (cursor ? 2 : 1))
        reader.Fail(cursor ? "not a cursor group" : "not an icon group");
    WORD count = reader.Word();
    std::vector<GroupImage> images;
    for (WORD i = 0; i < count; ++i) {
        GroupImage image;
        if (cursor) {
            image.width = reader.Word();
            image.height = reader.Word() / 2;
            reader.Word();  // planes
            image.bitCount = reader.Word();
        } else {
            BYTE width = reader.Byte();
            BYTE height = reader.Byte();
            BYTE colours = reader.Byte();
            reader.Byte();  // reserved
            reader.Word();  // planes
            image.width = width ? width : 256;
            image.height = height ? height : 256;
            image.bitCount = reader.Word();
            if (image.bitCount == 0)
                image.bitCount = colours == 2 ? 1 : colours == 16 ? 4 : colours ? 8 : 32;
        }
        image.bytes = reader.Dword();
        image.id = reader.Word();
        images.push_back(image);
    }
    return images;
}

const GroupImage* ChooseGroupImage(const std::vector<GroupImage>& group, int cx, int cy) {
    const GroupImage* best = nullptr;
    int bestDistance = 0;
    for (const auto& image : group) {
        int distance = std::abs(image.width - cx) + std::abs(image.height - cy);
        bool better = !best || distance < bestDistance ||
                      (distance == bestDistance &&
                       (image.width * image.height > best->width * best->height ||
                        (image.width == best->width && image.height == best->height &&
                         image.bitCount > best->bitCount)));
        if (better) {
            best = &image;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace pal

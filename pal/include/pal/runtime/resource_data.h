// Compiled resources in the standard .res format: a sequence of records, each a header (data
// size, header size, type, name, data version, memory flags, language, version,
// characteristics) followed by its data, every record aligned to 4 bytes; the first record is
// an empty 32-byte entry. Also the layouts of the resource kinds the platform reads: string
// blocks, icon and cursor groups.
#pragma once

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pal/types.h"

namespace pal {

// Malformed resource data; the message says what and where.
class ResourceFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A resource type or name, or a dialog's class, menu or title: a 16-bit ordinal or a text.
class ResourceId {
public:
    ResourceId() = default;
    ResourceId(WORD ordinal) : m_ordinal(ordinal) {}  // ordinals convert implicitly
    explicit ResourceId(std::u16string text) : m_text(std::move(text)) {}
    // A Win32 name argument: MAKEINTRESOURCE(n), "#n" (ordinal n), or a text.
    static ResourceId FromArgument(LPCWSTR name);
    static ResourceId FromArgument(LPCSTR name);

    bool IsOrdinal() const { return m_ordinal.has_value(); }
    WORD Ordinal() const { return m_ordinal.value_or(0); }
    const std::u16string& Text() const { return m_text; }
    // Ordinals compare by value, texts without regard to case (resource compilers store names
    // in upper case, callers may write them in any case).
    bool operator==(const ResourceId& other) const;

private:
    std::optional<WORD> m_ordinal;
    std::u16string m_text;
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    WORD language = 0;
    WORD memoryFlags = 0;
    // Offset of the record's header in the .res bytes.
    size_t offset = 0;
    std::span<const BYTE> data;
};

// An index over .res bytes; entries refer into those bytes, which must outlive it.
class ResourceData {
public:
    // Throws ResourceFormatError for a record that is cut short or inconsistent.
    explicit ResourceData(std::span<const BYTE> bytes);

    std::span<const BYTE> Bytes() const { return m_bytes; }
    // Every record but the empty leading one, in file order.
    const std::vector<ResourceEntry>& Entries() const { return m_entries; }
    bool HasType(const ResourceId& type) const;
    // The record of this type and name in `language` when it has one, else one of the same
    // primary language, else the neutral one (0), else US English, else the first; null when
    // there is none.
    const ResourceEntry* Find(const ResourceId& type, const ResourceId& name, WORD language) const;
    // The entry whose header starts at `offset`, or null.
    const ResourceEntry* AtOffset(size_t offset) const;
    // String `id` of the string tables (block id / 16 + 1, entry id % 16): its UTF-16 units in
    // the data, or nothing when the block is missing or the string empty.
    std::optional<std::span<const BYTE>> String(UINT id, WORD language) const;

private:
    std::span<const BYTE> m_bytes;
    std::vector<ResourceEntry> m_entries;
};

// One image of an icon or cursor group. Width and height are the image's pixels (a stored
// icon width of 0 means 256; a cursor group's height is stored doubled and is halved here).
struct GroupImage {
    int width = 0;
    int height = 0;
    WORD bitCount = 0;
    DWORD bytes = 0;
    WORD id = 0;  // the RT_ICON / RT_CURSOR ordinal holding the image
};

// The entries of an RT_GROUP_ICON (cursor false) or RT_GROUP_CURSOR (cursor true) resource.
// Throws ResourceFormatError when the data is cut short or of the other kind.
std::vector<GroupImage> ParseImageGroup(std::span<const BYTE> data, bool cursor);
// The entry nearest cx x cy (the sum of the width and height differences; on a tie the larger,
// then the deeper colour, then the first); null for an empty group.
const GroupImage* ChooseGroupImage(const std::vector<GroupImage>& group, int cx, int cy);

}  // namespace pal

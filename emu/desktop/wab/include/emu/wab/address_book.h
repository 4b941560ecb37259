// The emulated desktop address book: entries (contacts, groups and folders) held as property
// lists in an SQLite file, the file the current user's HKEY_CURRENT_USER
// "Software\Microsoft\WAB\WAB4\Wab File Name" names; its installation into a desktop; and the
// controls tests and the command line use to arrange and observe the book. The system reaches
// the book only through the library this installs (sdk/include/wab.h).
//
// Text properties are ANSI (Windows-1252) bytes, as the library hands them out. Every change,
// made here or through the library, stamps the entry's PR_LAST_MODIFICATION_TIME with a time
// later than every stamp issued before (even while the machine's clock stands still) and is
// reported at once, on the changing thread, to every advise sink registered with the book.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pal {
class Machine;
}

namespace emu::wab {

// Where the library installs, as a Windows path of the desktop.
inline constexpr std::u16string_view kLibraryPath =
    u"C:\\Program Files\\Common Files\\System\\wab32.dll";
// The book file an installation names when the user has none yet.
inline constexpr std::u16string_view kDefaultBookFile =
    u"C:\\Documents and Settings\\User\\Application Data\\Address Book\\User.wab";

// The book cannot be opened or a control was given bad arguments.
class AddressBookError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One property: its tag; for PT_I2, PT_LONG, PT_BOOLEAN, PT_I8, PT_SYSTIME and PT_DOUBLE (bit
// pattern) the number; for PT_STRING8 and PT_BINARY one item; for the multi-valued types one item
// per value.
struct Property {
    std::uint32_t tag = 0;
    std::int64_t number = 0;
    std::vector<std::string> items;

    static Property Text(std::uint32_t tag, std::string text);
    static Property Number(std::uint32_t tag, std::int64_t number);
    static Property List(std::uint32_t tag, std::vector<std::string> items);
    bool operator==(const Property&) const = default;
};

// Object types of entries (PR_OBJECT_TYPE).
enum EntryType : int { kFolder = 4, kContact = 6, kGroup = 8 };

struct Entry {
    std::uint32_t id = 0;  // issued in creation order, never reused
    int type = kContact;
    std::vector<Property> props;        // in stored order, PR_LAST_MODIFICATION_TIME included
    std::vector<std::uint32_t> folders;  // the folders holding the entry, in joining order

    const Property* Find(std::uint32_t tag) const;
    // A PT_STRING8 property's text; empty when missing.
    std::string TextOf(std::uint32_t tag) const;
};

// Copies the library into the desktop and writes HKLM "Software\Microsoft\WAB\DLLPath"; names
// kDefaultBookFile under "Wab File Name" when the user has no book file yet. Throws
// std::runtime_error when a file or value cannot be written.
void InstallAddressBook(pal::Machine& machine);

// The host path of the user's book file; throws AddressBookError when none is named.
std::filesystem::path BookFile(pal::Machine& machine);

// Adds an entry of `type` with `props` (PR_ENTRYID, PR_OBJECT_TYPE and the modification time are
// the book's own and are refused) in `folders` (existing folder entries). Returns its id.
std::uint32_t AddEntry(pal::Machine& machine, int type, std::vector<Property> props,
                       std::vector<std::uint32_t> folders = {});
// A folder entry named `name`; an existing folder of that exact name is reused.
std::uint32_t AddFolder(pal::Machine& machine, const std::string& name);
// Sets `props` (replacing properties of the same tags) and removes `removed`. False when there is
// no such entry.
bool UpdateEntry(pal::Machine& machine, std::uint32_t id, const std::vector<Property>& props,
                 const std::vector<std::uint32_t>& removed = {});
bool DeleteEntry(pal::Machine& machine, std::uint32_t id);
// Every entry of the book in id order, folders included.
std::vector<Entry> ListEntries(pal::Machine& machine);
std::optional<Entry> FindEntry(pal::Machine& machine, std::uint32_t id);

// The entry identifier (PR_ENTRYID) of entry `id`, and back (nothing for bytes that name no
// entry).
std::vector<std::uint8_t> EntryIdOf(std::uint32_t id);
std::optional<std::uint32_t> EntryNumberOf(const std::uint8_t* bytes, std::size_t size);

// The number of advise sinks registered with the book now.
std::size_t AdviseCount(pal::Machine& machine);

}  // namespace emu::wab

namespace emu::wab {

// Blocks the library handed out (AllocateBuffer, AllocateMore, results) and not yet freed.
std::size_t LiveBuffers();
// Tables the library handed out and that were not yet released.
std::size_t LiveTables();

}  // namespace emu::wab

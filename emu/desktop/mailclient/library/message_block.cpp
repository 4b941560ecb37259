#include "message_block.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <set>

namespace mailclient_library {

namespace {

std::mutex g_lock;
// Blocks handed out and not yet freed, so that a stray pointer is refused instead of freed.
std::set<void*> g_blocks;

// Places strings after the structures of a block.
class StringArea {
public:
    explicit StringArea(char* next) : m_next(next) {}
    LPSTR Put(const std::string& text) {
        LPSTR placed = m_next;
        std::memcpy(m_next, text.c_str(), text.size() + 1);
        m_next += text.size() + 1;
        return placed;
    }
    LPSTR Put(const std::optional<std::string>& text) { return text ? Put(*text) : nullptr; }

private:
    char* m_next;
};

}  // namespace

lpMapiMessage AllocateBlock(const MessageView& view) {
    size_t strings = view.subject.size() + 1 + view.dateReceived.size() + 1 +
                     view.originatorName.size() + 1 + view.originatorAddress.size() + 1;
    if (view.noteText) strings += view.noteText->size() + 1;
    for (const auto& recip : view.recipients)
        strings += recip.name.size() + 1 + recip.address.size() + 1;
    for (const auto& file : view.files)
        strings += (file.pathName ? file.pathName->size() + 1 : 0) + file.fileName.size() + 1;
    size_t structures = sizeof(MapiMessage) + sizeof(MapiRecipDesc) * (1 + view.recipients.size()) +
                        sizeof(MapiFileDesc) * view.files.size();

    auto* base = static_cast<char*>(std::calloc(1, structures + strings));
    if (!base) return nullptr;
    auto* message = reinterpret_cast<MapiMessage*>(base);
    auto* originator = reinterpret_cast<MapiRecipDesc*>(message + 1);
    auto* recips = originator + 1;
    auto* files = reinterpret_cast<MapiFileDesc*>(recips + view.recipients.size());
    StringArea area(base + structures);

    message->lpszSubject = area.Put(view.subject);
    message->lpszNoteText = area.Put(view.noteText);
    message->lpszDateReceived = area.Put(view.dateReceived);
    message->flFlags = view.flags;
    originator->ulRecipClass = MAPI_ORIG;
    originator->lpszName = area.Put(view.originatorName);
    originator->lpszAddress = area.Put(view.originatorAddress);
    message->lpOriginator = originator;
    message->nRecipCount = static_cast<ULONG>(view.recipients.size());
    message->lpRecips = view.recipients.empty() ? nullptr : recips;
    for (size_t i = 0; i < view.recipients.size(); ++i) {
        recips[i].ulRecipClass = view.recipients[i].recipClass;
        recips[i].lpszName = area.Put(view.recipients[i].name);
        recips[i].lpszAddress = area.Put(view.recipients[i].address);
    }
    message->nFileCount = static_cast<ULONG>(view.files.size());
    message->lpFiles = view.files.empty() ? nullptr : files;
    for (size_t i = 0; i < view.files.size(); ++i) {
        // Attachments stand after the note text rather than at a position inside it.
        files[i].nPosition = static_cast<ULONG>(-1);
        files[i].lpszPathName = area.Put(view.files[i].pathName);
        files[i].lpszFileName = area.Put(view.files[i].fileName);
    }

    try {
        std::lock_guard<std::mutex> guard(g_lock);
        g_blocks.insert(base);
    } catch (const std::bad_alloc&) {
        std::free(base);
        return nullptr;
    }
    return message;
}

bool FreeBlock(void* block) {
    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (g_blocks.erase(block) == 0) return false;
    }
    std::free(block);
    return true;
}

}  // namespace mailclient_library

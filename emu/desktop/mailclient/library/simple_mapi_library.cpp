// The mail client's Simple MAPI library: the seven calls through which programs of the desktop
// enumerate, read, send and delete the client's mail. It serves the store of the machine it is
// called in. Enumeration walks the Inbox in identifier (arrival) order; sending files the message
// into the Sent folder.
#include <mapi.h>
#include <windows.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <new>
#include <set>
#include <type_traits>

#include "emu/mailclient/mail_client.h"
#include "emu/mailclient/sessions.h"
#include "message_block.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"

using namespace emu::mailclient;
using mailclient_library::MessageView;

namespace {

std::string ToAnsi(const std::string& utf8) { return pal::Utf16ToCp1252(pal::Utf8ToUtf16(utf8)); }
std::string FromAnsi(LPCSTR ansi) {
    return ansi ? pal::Utf16ToUtf8(pal::Cp1252ToUtf16(ansi)) : std::string();
}

// A message identifier: decimal digits naming an existing number; nothing otherwise.
std::optional<std::uint64_t> ParseId(LPCSTR text) {
    if (!text || !*text) return std::nullopt;
    std::string_view view(text);
    std::uint64_t id = 0;
    auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), id);
    if (error != std::errc() || end != view.data() + view.size()) return std::nullopt;
    return id;
}

// "YYYY-MM-DDTHH:MM:SS" as Simple MAPI's "YYYY/MM/DD HH:MM".
std::string SimpleMapiDate(const std::string& received) {
    if (received.size() < 16) return received;
    std::string date = received.substr(0, 16);
    date[4] = date[7] = '/';
    date[10] = ' ';
    return date;
}

// A file name usable in the temporary folder: characters Windows refuses become '_'.
std::string SafeFileName(std::string name) {
    for (char& c : name)
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos ||
            static_cast<unsigned char>(c) < 0x20)
            c = '_';
    return name.empty() ? std::string("attachment") : name;
}

// `name` with its stem cut so that `folder` + name fits MAX_PATH with its terminator; the
// extension is kept (a name of any length the client accepts can still be written).
std::string FittingName(const std::string& folder, const std::string& name) {
    if (folder.size() + name.size() < MAX_PATH || folder.size() + 1 >= MAX_PATH) return name;
    size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    if (folder.size() + extension.size() + 1 >= MAX_PATH) extension.clear();
    return name.substr(0, MAX_PATH - 1 - folder.size() - extension.size()) + extension;
}

bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& content) {
    // Creates or truncates the file for writing.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    // Writes every byte in one call; a short write is a failure.
    bool ok =
        content.empty() ||
        (WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
         written == content.size());
    CloseHandle(file);
    return ok;
}

// Reads a file a sender attached. MAPI_E_ATTACHMENT_NOT_FOUND when it is missing,
// MAPI_E_ATTACHMENT_OPEN_FAILURE when it cannot be read.
ULONG ReadWholeFile(LPCSTR path, std::vector<std::uint8_t>& content) {
    // Opens the existing file for reading, sharing it with other readers.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? MAPI_E_ATTACHMENT_NOT_FOUND
                   : MAPI_E_ATTACHMENT_OPEN_FAILURE;
    }
    ULONG result = SUCCESS_SUCCESS;
    BYTE buffer[65536];
    for (;;) {
        DWORD got = 0;
        // Reads the next piece; zero bytes at the end of the file.
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            result = MAPI_E_ATTACHMENT_OPEN_FAILURE;
            break;
        }
        if (got == 0) break;
        content.insert(content.end(), buffer, buffer + got);
    }
    CloseHandle(file);
    return result;
}

// Writes each attachment to the desktop's temporary folder under its file name; a name already
// used by an earlier attachment of the message goes into a numbered subfolder, so no attachment
// overwrites another. False when a file cannot be written.
bool WriteAttachmentFiles(const Message& message, MessageView& view) {
    char temp[MAX_PATH];
    // The desktop's temporary folder, with its trailing backslash.
    DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) return false;
    std::set<std::u16string> used;
    for (const Attachment& attachment : message.attachments) {
        std::string name = SafeFileName(ToAnsi(attachment.fileName));
        std::string folder(temp, length);
        std::string fitted = FittingName(folder, name);
        for (int n = 1; !used.insert(pal::ToUpper(pal::Cp1252ToUtf16(folder + fitted))).second;
             ++n) {
            folder = std::string(temp, length) + "MailClient" + std::to_string(message.id) + "." +
                     std::to_string(n) + "\\";
            // Makes the subfolder; one left from an earlier read is fine.
            if (!CreateDirectoryA(folder.c_str(), nullptr) &&
                GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
            fitted = FittingName(folder, name);
        }
        std::string path = folder + fitted;
        if (!WriteWholeFile(path, attachment.content)) return false;
        view.files.push_back({path, ToAnsi(attachment.fileName)});
    }
    return true;
}

MessageView ViewOf(const Message& message, FLAGS flags) {
    MessageView view;
    view.subject = ToAnsi(message.subject);
    if (!(flags & MAPI_ENVELOPE_ONLY)) view.noteText = ToAnsi(message.body);
    view.dateReceived = SimpleMapiDate(message.received);
    view.flags = message.unread ? MAPI_UNREAD : 0;
    view.originatorAddress = ToAnsi(message.from.address);
    // Without a display name the originator is shown by address.
    view.originatorName =
        message.from.name.empty() ? view.originatorAddress : ToAnsi(message.from.name);
    for (const Recipient& recipient : message.recipients) {
        std::string address = ToAnsi(recipient.address);
        view.recipients.push_back({recipient.recipClass,
                                   recipient.name.empty() ? address : ToAnsi(recipient.name),
                                   address});
    }
    return view;
}

// Runs a call against the current machine, turning failures of the store into Simple MAPI
// results: no call lets an exception out of the library.
template <class Body>
ULONG Guarded(Body body) {
    try {
        pal::Machine* machine = pal::TryCurrentMachine();
        if (!machine) return MAPI_E_FAILURE;
        return body(*machine);
    } catch (const std::bad_alloc&) {
        return MAPI_E_INSUFFICIENT_MEMORY;
    } catch (...) {
        return MAPI_E_FAILURE;
    }
}

}  // namespace

// Opens a session (the interface flags are accepted; no interface is ever shown).
// MAPI_E_LOGIN_FAILURE when the client refuses logons; the handle is then left as it was.
PAL_EXPORT ULONG MAPILogon(ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LPLHANDLE lplhSession) {
    if (!lplhSession) return MAPI_E_FAILURE;
    return Guarded([&](pal::Machine& machine) -> ULONG {
        LHANDLE session = OpenSession(machine);
        if (session == 0) return MAPI_E_LOGIN_FAILURE;
        *lplhSession = session;
        return SUCCESS_SUCCESS;
    });
}

// Closes a session; MAPI_E_INVALID_SESSION when it is not open.
PAL_EXPORT ULONG MAPILogoff(LHANDLE lhSession, ULONG_PTR, FLAGS, ULONG) {
    return Guarded([&](pal::Machine& machine) -> ULONG {
        return CloseSession(machine, lhSession) ? SUCCESS_SUCCESS : MAPI_E_INVALID_SESSION;
    });
}

// The Inbox message after the seed, in identifier order (MAPI_GUARANTEE_FIFO: in order of
// receipt), only unread ones with MAPI_UNREAD_ONLY. A null or empty seed starts at the first; a
// seed that names no message continues after its number (in FIFO order it must exist:
// MAPI_E_INVALID_MESSAGE). A message type other than the interpersonal class finds nothing.
PAL_EXPORT ULONG MAPIFindNext(LHANDLE lhSession, ULONG_PTR, LPSTR lpszMessageType,
                              LPSTR lpszSeedMessageID, FLAGS flFlags, ULONG, LPSTR lpszMessageID) {
    return Guarded([&](pal::Machine& machine) -> ULONG {
        if (!IsOpenSession(machine, lhSession)) return MAPI_E_INVALID_SESSION;
        if (!lpszMessageID) return MAPI_E_FAILURE;
        bool seeded = lpszSeedMessageID && *lpszSeedMessageID;
        std::optional<std::uint64_t> seed = ParseId(lpszSeedMessageID);
        if (seeded && !seed) return MAPI_E_INVALID_MESSAGE;
        if (lpszMessageType && *lpszMessageType &&
            !pal::EqualsNoCase(pal::Cp1252ToUtf16(lpszMessageType), u"IPM") &&
            !pal::EqualsNoCase(pal::Cp1252ToUtf16(lpszMessageType), u"IPM.Note"))
            return MAPI_E_NO_MESSAGES;

        std::optional<std::uint64_t> next;
        try {
            next = NextInboxMessage(machine, seed,
                                    (flFlags & MAPI_GUARANTEE_FIFO) != 0,
                                    (flFlags & MAPI_UNREAD_ONLY) != 0);
        } catch (const MailClientError&) {
            return MAPI_E_INVALID_MESSAGE;
        }
        if (next) {
            // Identifiers are at most 20 digits, well within the caller's 64 bytes.
            std::snprintf(lpszMessageID, 64, "%llu", static_cast<unsigned long long>(*next));
            return SUCCESS_SUCCESS;
        }
        return MAPI_E_NO_MESSAGES;
    });
}

// Reads a message. MAPI_ENVELOPE_ONLY: no note text and no attachment files (the attachments are
// listed by name without path); otherwise the note text, and each attachment written to the
// temporary folder under its file name. MAPI_SUPPRESS_ATTACH lists no attachments. Without
// MAPI_PEEK the message becomes read. MAPI_E_INVALID_MESSAGE when it does not exist,
// MAPI_E_ATTACHMENT_WRITE_FAILURE when an attachment file cannot be written.
PAL_EXPORT ULONG MAPIReadMail(LHANDLE lhSession, ULONG_PTR, LPSTR lpszMessageID, FLAGS flFlags,
                              ULONG, lpMapiMessage* lppMessage) {
    return Guarded([&](pal::Machine& machine) -> ULONG {
        if (!IsOpenSession(machine, lhSession)) return MAPI_E_INVALID_SESSION;
        if (!lppMessage) return MAPI_E_FAILURE;
        std::optional<std::uint64_t> id = ParseId(lpszMessageID);
        // Attachment content only when it is written out.
        bool files = !(flFlags & (MAPI_SUPPRESS_ATTACH | MAPI_ENVELOPE_ONLY));
        std::optional<Message> message = id ? FindMessage(machine, *id, files) : std::nullopt;
        if (!message) return MAPI_E_INVALID_MESSAGE;

        MessageView view = ViewOf(*message, flFlags);
        if (flFlags & MAPI_SUPPRESS_ATTACH) {
        } else if (flFlags & MAPI_ENVELOPE_ONLY) {
            for (const Attachment& attachment : message->attachments)
                view.files.push_back({std::nullopt, ToAnsi(attachment.fileName)});
        } else if (!WriteAttachmentFiles(*message, view)) {
            return MAPI_E_ATTACHMENT_WRITE_FAILURE;
        }
        lpMapiMessage block = mailclient_library::AllocateBlock(view);
        if (!block) return MAPI_E_INSUFFICIENT_MEMORY;
        if (!(flFlags & MAPI_PEEK)) SetUnread(machine, message->id, false);
        *lppMessage = block;
        return SUCCESS_SUCCESS;
    });
}

// Frees a block MAPIReadMail handed out; null is accepted, any other pointer is refused with
// MAPI_E_FAILURE and left alone.
PAL_EXPORT ULONG MAPIFreeBuffer(LPVOID pv) {
    if (!pv) return SUCCESS_SUCCESS;
    return mailclient_library::FreeBlock(pv) ? SUCCESS_SUCCESS : MAPI_E_FAILURE;
}

// Sends a message: it is filed into the Sent folder with its recipients and the content of its
// attachment files, read now. Session 0 sends through a session of its own. Recipients need
// class 1–3 (MAPI_E_BAD_RECIPTYPE) and an address, or a name that is one
// (MAPI_E_UNKNOWN_RECIPIENT); a message without recipients is refused (MAPI_E_INVALID_RECIPS);
// an attachment file that is missing gives MAPI_E_ATTACHMENT_NOT_FOUND.
PAL_EXPORT ULONG MAPISendMail(LHANDLE lhSession, ULONG_PTR, lpMapiMessage lpMessage, FLAGS, ULONG) {
    return Guarded([&](pal::Machine& machine) -> ULONG {
        if (lhSession == 0) {
            LHANDLE own = OpenSession(machine);
            if (own == 0) return MAPI_E_LOGIN_FAILURE;
            CloseSession(machine, own);
        } else if (!IsOpenSession(machine, lhSession)) {
            return MAPI_E_INVALID_SESSION;
        }
        if (!lpMessage) return MAPI_E_FAILURE;
        if (lpMessage->nRecipCount == 0) return MAPI_E_INVALID_RECIPS;
        if (!lpMessage->lpRecips || (lpMessage->nFileCount && !lpMessage->lpFiles))
            return MAPI_E_FAILURE;

        Message sent;
        sent.folder = Folder::Sent;
        sent.unread = false;
        sent.subject = FromAnsi(lpMessage->lpszSubject);
        sent.body = FromAnsi(lpMessage->lpszNoteText);
        if (lpMessage->lpOriginator)
            sent.from = {FromAnsi(lpMessage->lpOriginator->lpszName),
                         FromAnsi(lpMessage->lpOriginator->lpszAddress)};
        for (ULONG i = 0; i < lpMessage->nRecipCount; ++i) {
            const MapiRecipDesc& recip = lpMessage->lpRecips[i];
            if (recip.ulRecipClass < MAPI_TO || recip.ulRecipClass > MAPI_BCC)
                return MAPI_E_BAD_RECIPTYPE;
            std::string name = FromAnsi(recip.lpszName);
            std::string address = FromAnsi(recip.lpszAddress);
            if (address.empty() && name.find('@') != std::string::npos) address = name;
            if (address.empty()) return MAPI_E_UNKNOWN_RECIPIENT;
            sent.recipients.push_back({static_cast<unsigned>(recip.ulRecipClass), name, address});
        }
        for (ULONG i = 0; i < lpMessage->nFileCount; ++i) {
            const MapiFileDesc& file = lpMessage->lpFiles[i];
            if (!file.lpszPathName || !*file.lpszPathName) return MAPI_E_ATTACHMENT_NOT_FOUND;
            Attachment attachment;
            attachment.pathName = FromAnsi(file.lpszPathName);
            if (file.lpszFileName && *file.lpszFileName) {
                attachment.fileName = FromAnsi(file.lpszFileName);
            } else {
                std::string path = attachment.pathName;
                attachment.fileName = path.substr(path.find_last_of("\\/:") + 1);
            }
            ULONG read = ReadWholeFile(file.lpszPathName, attachment.content);
            if (read != SUCCESS_SUCCESS) return read;
            attachment.size = attachment.content.size();
            sent.attachments.push_back(std::move(attachment));
        }
        RecordSent(machine, sent);
        return SUCCESS_SUCCESS;
    });
}

// Deletes a message of the client; MAPI_E_INVALID_MESSAGE when it does not exist.
PAL_EXPORT ULONG MAPIDeleteMail(LHANDLE lhSession, ULONG_PTR, LPSTR lpszMessageID, FLAGS, ULONG) {
    return Guarded([&](pal::Machine& machine) -> ULONG {
        if (!IsOpenSession(machine, lhSession)) return MAPI_E_INVALID_SESSION;
        std::optional<std::uint64_t> id = ParseId(lpszMessageID);
        if (!id || !DeleteMessage(machine, *id)) return MAPI_E_INVALID_MESSAGE;
        return SUCCESS_SUCCESS;
    });
}

// The exports have exactly the types callers resolve them into.
static_assert(std::is_same_v<decltype(&MAPILogon), LPMAPILOGON>);
static_assert(std::is_same_v<decltype(&MAPILogoff), LPMAPILOGOFF>);
static_assert(std::is_same_v<decltype(&MAPIFindNext), LPMAPIFINDNEXT>);
static_assert(std::is_same_v<decltype(&MAPIReadMail), LPMAPIREADMAIL>);
static_assert(std::is_same_v<decltype(&MAPIFreeBuffer), LPMAPIFREEBUFFER>);
static_assert(std::is_same_v<decltype(&MAPISendMail), LPMAPISENDMAIL>);
static_assert(std::is_same_v<decltype(&MAPIDeleteMail), LPMAPIDELETEMAIL>);

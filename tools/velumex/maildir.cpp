#include "maildir.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>

namespace velumex {

namespace {

using emu::mailclient::Attachment;
using emu::mailclient::Message;
using emu::mailclient::Recipient;

void InitGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// Owns one reference to a GObject.
template <class T>
struct Ref {
    T* object = nullptr;
    explicit Ref(T* taken) : object(taken) {}
    ~Ref() {
        if (object) g_object_unref(object);
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
};

std::string Text(const char* text) { return text ? text : ""; }

// Every mailbox of a list, group members included.
void CollectMailboxes(InternetAddressList* list, unsigned recipClass, std::vector<Recipient>& out) {
    if (!list) return;
    const int count = internet_address_list_length(list);
    for (int i = 0; i < count; ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(address)) {
            CollectMailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)),
                             recipClass, out);
        } else if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
            std::string mailbox =
                Text(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
            if (!mailbox.empty())
                out.push_back({recipClass, Text(internet_address_get_name(address)), mailbox});
        }
    }
}

std::vector<std::uint8_t> StreamBytes(GMimeStream* stream) {
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    return std::vector<std::uint8_t>(array->data, array->data + array->len);
}

// The decoded content of a leaf part.
std::vector<std::uint8_t> PartContent(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content) return {};
    Ref<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, stream.object);
    return StreamBytes(stream.object);
}

// A file name the mail client can keep: its last path component, never empty.
std::string AttachmentName(const char* given, size_t index, const char* fallbackExtension) {
    std::string name = Text(given);
    size_t slash = name.find_last_of("\\/:");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
        name = "attachment" + std::to_string(index + 1) + fallbackExtension;
    return name;
}

struct Walk {
    Message* message = nullptr;
    std::optional<std::string> plain;
    std::optional<std::string> html;
};

void VisitPart(GMimeObject*, GMimeObject* part, gpointer data) {
    Walk& walk = *static_cast<Walk*>(data);
    std::vector<Attachment>& attachments = walk.message->attachments;
    if (GMIME_IS_MESSAGE_PART(part)) {
        // A forwarded message travels whole, as the file a mail reader would save.
        GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(part));
        if (!inner) return;
        Ref<GMimeStream> stream(g_mime_stream_mem_new());
        g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, stream.object);
        Attachment attachment;
        attachment.fileName =
            AttachmentName(g_mime_object_get_content_disposition_parameter(part, "filename"),
                           attachments.size(), ".eml");
        attachment.content = StreamBytes(stream.object);
        attachment.size = attachment.content.size();
        attachments.push_back(std::move(attachment));
        return;
    }
    if (!GMIME_IS_PART(part)) return;
    GMimePart* leaf = GMIME_PART(part);
    const char* fileName = g_mime_part_get_filename(leaf);
    const bool attached = g_mime_part_is_attachment(leaf) || fileName;
    if (!attached && GMIME_IS_TEXT_PART(part)) {
        GMimeContentType* type = g_mime_object_get_content_type(part);
        std::optional<std::string>* slot =
            g_mime_content_type_is_type(type, "text", "plain")  ? &walk.plain
            : g_mime_content_type_is_type(type, "text", "html") ? &walk.html
                                                                : nullptr;
        if (slot && !*slot) {
            // Decoded and converted from the part's charset to UTF-8.
            char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(part));
            *slot = Text(text);
            g_free(text);
            return;
        }
    }
    Attachment attachment;
    attachment.fileName = AttachmentName(fileName, attachments.size(), ".bin");
    attachment.content = PartContent(leaf);
    attachment.size = attachment.content.size();
    attachments.push_back(std::move(attachment));
}

// "YYYY-MM-DDTHH:MM:SS" of a moment shifted to the desktop's local time.
std::string LocalText(GDateTime* date, int biasMinutes) {
    GDateTime* utc = g_date_time_to_utc(date);
    GDateTime* local = g_date_time_add_minutes(utc, -biasMinutes);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", g_date_time_get_year(local),
                  g_date_time_get_month(local), g_date_time_get_day_of_month(local),
                  g_date_time_get_hour(local), g_date_time_get_minute(local),
                  g_date_time_get_second(local));
    g_date_time_unref(local);
    g_date_time_unref(utc);
    return text;
}

// The message's received time as a date with the desktop's offset; null when it is not a time.
GDateTime* DateOf(const std::string& received, int biasMinutes) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(received.c_str(), "%d-%d-%dT%d:%d:%d", &year, &month, &day, &hour, &minute,
                    &second) != 6)
        return nullptr;
    char offset[32];
    const int east = -biasMinutes;
    std::snprintf(offset, sizeof offset, "%c%02d:%02d", east < 0 ? '-' : '+', std::abs(east) / 60,
                  std::abs(east) % 60);
    GTimeZone* zone = g_time_zone_new_identifier(offset);
    if (!zone) return nullptr;
    GDateTime* date = g_date_time_new(zone, year, month, day, hour, minute, second);
    g_time_zone_unref(zone);
    return date;
}

void AddMailbox(GMimeMessage* message, GMimeAddressType type, const std::string& name,
                const std::string& address) {
    g_mime_message_add_mailbox(message, type, name.empty() ? nullptr : name.c_str(),
                               address.c_str());
}

}  // namespace

Message ParseMailMessage(const std::string& bytes, int biasMinutes) {
    InitGMime();
    Ref<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
    Ref<GMimeParser> parser(g_mime_parser_new_with_stream(stream.object));
    Ref<GMimeMessage> parsed(g_mime_parser_construct_message(parser.object, nullptr));
    if (!parsed.object || !g_mime_message_get_mime_part(parsed.object))
        throw MaildirError("not an RFC 5322 message");

    Message message;
    message.subject = Text(g_mime_message_get_subject(parsed.object));
    std::vector<Recipient> from;
    CollectMailboxes(g_mime_message_get_from(parsed.object), 0, from);
    if (from.empty()) CollectMailboxes(g_mime_message_get_sender(parsed.object), 0, from);
    if (from.empty()) throw MaildirError("the message has no originator address");
    message.from = {from.front().name, from.front().address};
    const std::pair<GMimeAddressType, unsigned> lists[] = {
        {GMIME_ADDRESS_TYPE_TO, emu::mailclient::kTo},
        {GMIME_ADDRESS_TYPE_CC, emu::mailclient::kCc},
        {GMIME_ADDRESS_TYPE_BCC, emu::mailclient::kBcc}};
    for (const auto& [type, recipClass] : lists)
        CollectMailboxes(g_mime_message_get_addresses(parsed.object, type), recipClass,
                         message.recipients);
    if (GDateTime* date = g_mime_message_get_date(parsed.object))
        message.received = LocalText(date, biasMinutes);

    Walk walk;
    walk.message = &message;
    g_mime_message_foreach(parsed.object, VisitPart, &walk);
    message.body = walk.plain ? *walk.plain : walk.html.value_or(std::string());
    return message;
}

std::string FormatMailMessage(const Message& message, int biasMinutes) {
    InitGMime();
    Ref<GMimeMessage> built(g_mime_message_new(TRUE));
    AddMailbox(built.object, GMIME_ADDRESS_TYPE_FROM, message.from.name, message.from.address);
    for (const Recipient& recipient : message.recipients) {
        GMimeAddressType type = recipient.recipClass == emu::mailclient::kCc ? GMIME_ADDRESS_TYPE_CC
                                : recipient.recipClass == emu::mailclient::kBcc
                                    ? GMIME_ADDRESS_TYPE_BCC
                                    : GMIME_ADDRESS_TYPE_TO;
        AddMailbox(built.object, type, recipient.name, recipient.address);
    }
    g_mime_message_set_subject(built.object, message.subject.c_str(), "utf-8");
    if (GDateTime* date = DateOf(message.received, biasMinutes)) {
        g_mime_message_set_date(built.object, date);
        g_date_time_unref(date);
    }
    g_mime_message_set_message_id(
        built.object, ("velumex." + std::to_string(message.id) + "@desktop.invalid").c_str());

    Ref<GMimeTextPart> body(g_mime_text_part_new_with_subtype("plain"));
    g_mime_text_part_set_text(body.object, message.body.c_str());
    // A text part ends with a line break once written; a body without one travels in base64 so
    // that it reads back exactly.
    const bool endsLine = message.body.empty() || message.body.back() == '\n';
    g_mime_part_set_content_encoding(
        GMIME_PART(body.object), endsLine
                                     ? g_mime_part_get_best_content_encoding(
                                           GMIME_PART(body.object), GMIME_ENCODING_CONSTRAINT_7BIT)
                                     : GMIME_CONTENT_ENCODING_BASE64);
    if (message.attachments.empty()) {
        g_mime_message_set_mime_part(built.object, GMIME_OBJECT(body.object));
    } else {
        Ref<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
        g_mime_multipart_add(mixed.object, GMIME_OBJECT(body.object));
        for (const Attachment& attachment : message.attachments) {
            Ref<GMimePart> part(g_mime_part_new_with_type("application", "octet-stream"));
            Ref<GMimeStream> content(
                attachment.content.empty()
                    ? g_mime_stream_mem_new()
                    : g_mime_stream_mem_new_with_buffer(
                          reinterpret_cast<const char*>(attachment.content.data()),
                          attachment.content.size()));
            Ref<GMimeDataWrapper> wrapper(g_mime_data_wrapper_new_with_stream(
                content.object, GMIME_CONTENT_ENCODING_DEFAULT));
            g_mime_part_set_content(part.object, wrapper.object);
            g_mime_object_set_disposition(GMIME_OBJECT(part.object), "attachment");
            g_mime_part_set_filename(part.object, attachment.fileName.c_str());
            g_mime_part_set_content_encoding(part.object, GMIME_CONTENT_ENCODING_BASE64);
            g_mime_multipart_add(mixed.object, GMIME_OBJECT(part.object));
        }
        g_mime_message_set_mime_part(built.object, GMIME_OBJECT(mixed.object));
    }

    Ref<GMimeStream> out(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(GMIME_OBJECT(built.object), nullptr, out.object);
    std::vector<std::uint8_t> bytes = StreamBytes(out.object);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<MaildirEntry> ListMaildir(const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    if (!fs::is_directory(dir / "new") && !fs::is_directory(dir / "cur"))
        throw MaildirError(dir.string() + " is not a maildir (it has no new/ or cur/ folder)");
    std::vector<MaildirEntry> entries;
    for (const char* folder : {"new", "cur"}) {
        if (!fs::is_directory(dir / folder)) continue;
        for (const auto& file : fs::directory_iterator(dir / folder)) {
            if (!file.is_regular_file()) continue;
            std::string name = file.path().filename().string();
            if (name.empty() || name[0] == '.') continue;
            bool seen = false;
            if (folder == std::string("cur")) {
                size_t info = name.rfind(":2,");
                seen = info != std::string::npos && name.find('S', info + 3) != std::string::npos;
            }
            entries.push_back({file.path(), seen});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const MaildirEntry& a, const MaildirEntry& b) {
        return a.path.filename() < b.path.filename();
    });
    return entries;
}

std::filesystem::path AddToMaildir(const std::filesystem::path& dir, const std::string& bytes,
                                   bool seen, const std::string& unique) {
    namespace fs = std::filesystem;
    for (const char* folder : {"tmp", "new", "cur"}) fs::create_directories(dir / folder);
    const fs::path temporary = dir / "tmp" / unique;
    {
        std::ofstream out(temporary, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) throw MaildirError("cannot write " + temporary.string());
    }
    const fs::path target = seen ? dir / "cur" / (unique + ":2,S") : dir / "new" / unique;
    fs::rename(temporary, target);
    return target;
}

}  // namespace velumex

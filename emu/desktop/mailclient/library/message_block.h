// The MapiMessage blocks the library hands out: one allocation holding the message, its
// originator, recipients, attachments and every string, released by MAPIFreeBuffer.
#pragma once

#include <mapi.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace mailclient_library {

// ANSI text of one message as a read presents it; absent strings become null pointers.
struct MessageView {
    std::string subject;
    std::optional<std::string> noteText;
    std::string dateReceived;
    FLAGS flags = 0;
    std::string originatorName;
    std::string originatorAddress;
    struct Recip {
        ULONG recipClass;
        std::string name;
        std::string address;
    };
    std::vector<Recip> recipients;
    struct File {
        std::optional<std::string> pathName;
        std::string fileName;
    };
    std::vector<File> files;
};

// A new block for the view; null when memory runs out.
lpMapiMessage AllocateBlock(const MessageView& view);
// Frees a block AllocateBlock made; false for any other pointer (nothing is freed then).
bool FreeBlock(void* block);

}  // namespace mailclient_library

#include "pal/runtime/dialog_template.h"

#include "byte_reader.h"

namespace pal {

namespace {

constexpr DWORD kSetFont = 0x40;  // DS_SETFONT, also part of DS_SHELLFONT

void ReadHeaderNames(ByteReader& reader, DialogTemplate& dialog) {
    dialog.menu = reader.OptionalNameOrOrdinal();
    dialog.windowClass = reader.OptionalNameOrOrdinal();
    dialog.title = reader.Text();
}

void ReadItemTail(ByteReader& reader, DialogItem& item) {
    item.windowClass = reader.NameOrOrdinal();
    item.title = reader.NameOrOrdinal();
    WORD extra = reader.Word();
    auto bytes = reader.Bytes(extra);
    item.creationData.assign(bytes.begin(), bytes.end());
}

void ReadBox(ByteReader& reader, SHORT& x, SHORT& y, SHORT& cx, SHORT& cy) {
    x = reader.Short();
    y = reader.Short();
    cx = reader.Short();
    cy = reader.Short();
}

DialogTemplate ParseExtended(ByteReader& reader) {
    DialogTemplate dialog;
    dialog.extended = true;
    reader.Word();  // version 1
    reader.Word();  // signature 0xFFFF
    dialog.helpId = reader.Dword();
    dialog.exStyle = reader.Dword();
    dialog.style = reader.Dword();
    WORD count = reader.Word();
    ReadBox(reader, dialog.x, dialog.y, dialog.cx, dialog.cy);
    ReadHeaderNames(reader, dialog);
    if (dialog.style & kSetFont) {
        DialogFont font;
        font.pointSize = reader.Word();
        font.weight = reader.Word();
        font.italic = reader.Byte() != 0;
        font.charset = reader.Byte();
        font.face = reader.Text();
        dialog.font = std::move(font);
    }
    for (WORD i = 0; i < count; ++i) {
        reader.Align(4);
        DialogItem item;
        item.helpId = reader.Dword();
        item.exStyle = reader.Dword();
        item.style = reader.Dword();
        ReadBox(reader, item.x, item.y, item.cx, item.cy);
        item.id = reader.Dword();
        ReadItemTail(reader, item);
        dialog.items.push_back(std::move(item));
    }
    return dialog;
}

DialogTemplate ParseClassic(ByteReader& reader) {
    DialogTemplate dialog;
    dialog.style = reader.Dword();
    dialog.exStyle = reader.Dword();
    WORD count = reader.Word();
    ReadBox(reader, dialog.x, dialog.y, dialog.cx, dialog.cy);
    ReadHeaderNames(reader, dialog);
    if (dialog.style & kSetFont) {
        DialogFont font;
        font.pointSize = reader.Word();
        font.face = reader.Text();
        dialog.font = std::move(font);
    }
    for (WORD i = 0; i < count; ++i) {
        reader.Align(4);
        DialogItem item;
        item.style = reader.Dword();
        item.exStyle = reader.Dword();
        ReadBox(reader, item.x, item.y, item.cx, item.cy);
        item.id = reader.Word();
        ReadItemTail(reader, item);
        dialog.items.push_back(std::move(item));
    }
    return dialog;
}

}  // namespace

DialogTemplate ParseDialogTemplate(std::span<const BYTE> data) {
    ByteReader reader(data, "dialog template");
    bool extended =
        data.size() >= 4 && data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF;
    return extended ? ParseExtended(reader) : ParseClassic(reader);
}

}  // namespace pal

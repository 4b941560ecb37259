// Dialog templates (RT_DIALOG data) in both layouts: DLGTEMPLATE with DLGITEMTEMPLATE items
// (16-bit control ids) and DLGTEMPLATEEX with DLGITEMTEMPLATEEX items (help ids, 32-bit control
// ids, font weight, italic and character set).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pal/runtime/resource_data.h"
#include "pal/types.h"

namespace pal {

// Ordinals of the predefined control classes.
enum : WORD {
    kDialogClassButton = 0x0080,
    kDialogClassEdit = 0x0081,
    kDialogClassStatic = 0x0082,
    kDialogClassListBox = 0x0083,
    kDialogClassScrollBar = 0x0084,
    kDialogClassComboBox = 0x0085,
};

struct DialogFont {
    WORD pointSize = 0;
    WORD weight = 0;  // DLGTEMPLATEEX only; 0 in the old layout
    bool italic = false;
    BYTE charset = 0;
    std::u16string face;
};

struct DialogItem {
    DWORD helpId = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    SHORT x = 0, y = 0, cx = 0, cy = 0;
    // The 16-bit id of the old layout is widened without sign (-1 reads as 0xFFFF).
    DWORD id = 0;
    ResourceId windowClass;  // a predefined class ordinal or a class name
    ResourceId title;        // text, or an ordinal (the resource of an icon or bitmap control)
    std::vector<BYTE> creationData;
};

struct DialogTemplate {
    bool extended = false;
    DWORD helpId = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    SHORT x = 0, y = 0, cx = 0, cy = 0;
    std::optional<ResourceId> menu;
    std::optional<ResourceId> windowClass;
    std::u16string title;
    // Present when the style has DS_SETFONT (or DS_SHELLFONT).
    std::optional<DialogFont> font;
    std::vector<DialogItem> items;
};

// Parses RT_DIALOG data of either layout (DLGTEMPLATEEX starts with version 1 and signature
// 0xFFFF); throws ResourceFormatError when it is cut short.
DialogTemplate ParseDialogTemplate(std::span<const BYTE> data);

}  // namespace pal

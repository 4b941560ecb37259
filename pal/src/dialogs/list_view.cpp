// "SysListView32": a list of lines (text, image, item data, state) with columns, image lists and
// check boxes (LVS_EX_CHECKBOXES: state image 1 unchecked, 2 checked). Only the first column
// carries text; sub-items read as empty.
#include <algorithm>

#include "managed_windows.h"
#include "pal/runtime/encoding.h"

namespace pal::dialogs {

namespace {

constexpr UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1);

std::u16string FromCaller(const char* text) { return text ? Cp1252ToUtf16(text) : u""; }
std::u16string FromCaller(const char16_t* text) { return text ? text : u""; }

// Copies `text` into a caller's buffer of `capacity` characters (ANSI in code page 1252), cut to
// leave room for the terminator; returns the characters copied.
int ToCaller(std::u16string_view text, char16_t* buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    size_t count = std::min(text.size(), static_cast<size_t>(capacity - 1));
    std::copy_n(text.data(), count, buffer);
    buffer[count] = 0;
    return static_cast<int>(count);
}
int ToCaller(std::u16string_view text, char* buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    std::string narrow = Utf16ToCp1252(text);
    size_t count = std::min(narrow.size(), static_cast<size_t>(capacity - 1));
    std::copy_n(narrow.data(), count, buffer);
    buffer[count] = 0;
    return static_cast<int>(count);
}

bool HasCheckBoxes(const ListView& list) { return list.extendedStyle & LVS_EX_CHECKBOXES; }

template <class Column>
LRESULT InsertColumn(ListView& list, WPARAM index, const Column* column) {
    if (!column) return -1;
    ListViewColumn added;
    if (column->mask & LVCF_TEXT) added.text = FromCaller(column->pszText);
    if (column->mask & LVCF_WIDTH) added.width = column->cx;
    size_t at = std::min(static_cast<size_t>(index), list.columns.size());
    list.columns.insert(list.columns.begin() + static_cast<std::ptrdiff_t>(at), added);
    return static_cast<LRESULT>(at);
}

LRESULT SetColumnWidth(ListView& list, WPARAM index, int width) {
    if (index >= list.columns.size()) return FALSE;
    if (width == LVSCW_AUTOSIZE || width == LVSCW_AUTOSIZE_USEHEADER) {
        size_t widest = width == LVSCW_AUTOSIZE_USEHEADER ? list.columns[index].text.size() : 0;
        if (index == 0)
            for (auto& item : list.items) widest = std::max(widest, item.text.size());
        int fitted = static_cast<int>(widest) * 6 + 12;
        if (index == 0 && list.images[LVSIL_SMALL]) fitted += 16;
        if (index == 0 && HasCheckBoxes(list)) fitted += 16;
        // The last column, sized to its header, also fills what the others leave.
        if (width == LVSCW_AUTOSIZE_USEHEADER && index + 1 == list.columns.size()) {
            int rest = list.client.cx;
            for (size_t i = 0; i < index; ++i) rest -= list.columns[i].width;
            fitted = std::max(fitted, rest);
        }
        width = fitted;
    } else if (width < 0) {
        return FALSE;
    }
    list.columns[index].width = width;
    return TRUE;
}

template <class Item>
LRESULT InsertItem(ListView& list, const Item* item) {
    if (!item || item->iItem < 0 || item->iSubItem != 0) return -1;
    ListViewItem added;
    if (item->mask & LVIF_TEXT) added.text = FromCaller(item->pszText);
    if (item->mask & LVIF_IMAGE) added.image = item->iImage;
    if (item->mask & LVIF_PARAM) added.data = item->lParam;
    if (item->mask & LVIF_STATE) added.state = item->state & item->stateMask;
    if (HasCheckBoxes(list) && !(added.state & LVIS_STATEIMAGEMASK)) added.state |= kUnchecked;
    size_t at = std::min(static_cast<size_t>(item->iItem), list.items.size());
    list.items.insert(list.items.begin() + static_cast<std::ptrdiff_t>(at), std::move(added));
    return static_cast<LRESULT>(at);
}

template <class Item>
LRESULT GetItem(const ListView& list, Item* item) {
    if (!item || item->iItem < 0 || static_cast<size_t>(item->iItem) >= list.items.size())
        return FALSE;
    const ListViewItem& line = list.items[static_cast<size_t>(item->iItem)];
    if (item->mask & LVIF_TEXT)
        ToCaller(item->iSubItem == 0 ? line.text : u"", item->pszText, item->cchTextMax);
    if (item->mask & LVIF_IMAGE) item->iImage = line.image;
    if (item->mask & LVIF_PARAM) item->lParam = line.data;
    if (item->mask & LVIF_STATE) item->state = line.state & item->stateMask;
    return TRUE;
}

template <class Item>
LRESULT GetItemText(const ListView& list, WPARAM index, Item* item) {
    if (!item) return 0;
    bool valid = index < list.items.size() && item->iSubItem == 0;
    return ToCaller(valid ? std::u16string_view(list.items[index].text) : u"", item->pszText,
                    item->cchTextMax);
}

LRESULT SetItemState(ListView& list, WPARAM index, const LVITEMW* item) {
    if (!item) return FALSE;
    auto apply = [&](ListViewItem& line) {
        line.state = (line.state & ~item->stateMask) | (item->state & item->stateMask);
    };
    if (static_cast<LONG_PTR>(index) == -1) {
        for (auto& line : list.items) apply(line);
        return TRUE;
    }
    if (index >= list.items.size()) return FALSE;
    apply(list.items[index]);
    return TRUE;
}

// Turning check boxes on gives every line the unchecked image; turning them off removes it.
LRESULT SetExtendedStyle(ListView& list, DWORD mask, DWORD style) {
    DWORD previous = list.extendedStyle;
    list.extendedStyle = (previous & ~mask) | (style & mask);
    bool had = previous & LVS_EX_CHECKBOXES;
    if (had != HasCheckBoxes(list)) {
        for (auto& line : list.items) {
            line.state &= ~LVIS_STATEIMAGEMASK;
            if (!had) line.state |= kUnchecked;
        }
    }
    return previous;
}

}  // namespace

ListView::ListView(const CREATESTRUCTW& create) { client = ControlClientSize(create); }

LRESULT ListView::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case LVM_SETEXTENDEDLISTVIEWSTYLE:
            return SetExtendedStyle(*this, wParam ? static_cast<DWORD>(wParam) : ~DWORD{0},
                                    static_cast<DWORD>(lParam));
        case LVM_GETEXTENDEDLISTVIEWSTYLE:
            return extendedStyle;
        case LVM_SETIMAGELIST: {
            if (wParam > LVSIL_STATE) return 0;
            HIMAGELIST previous = images[wParam];
            images[wParam] = reinterpret_cast<HIMAGELIST>(lParam);
            return reinterpret_cast<LRESULT>(previous);
        }
        case LVM_INSERTCOLUMNA:
            return InsertColumn(*this, wParam, reinterpret_cast<const LVCOLUMNA*>(lParam));
        case LVM_INSERTCOLUMNW:
            return InsertColumn(*this, wParam, reinterpret_cast<const LVCOLUMNW*>(lParam));
        case LVM_SETCOLUMNWIDTH:
            return SetColumnWidth(*this, wParam, static_cast<SHORT>(LOWORD(lParam)));
        case LVM_INSERTITEMA:
            return InsertItem(*this, reinterpret_cast<const LVITEMA*>(lParam));
        case LVM_INSERTITEMW:
            return InsertItem(*this, reinterpret_cast<const LVITEMW*>(lParam));
        case LVM_GETITEMA:
            return GetItem(*this, reinterpret_cast<LVITEMA*>(lParam));
        case LVM_GETITEMW:
            return GetItem(*this, reinterpret_cast<LVITEMW*>(lParam));
        case LVM_GETITEMTEXTA:
            return GetItemText(*this, wParam, reinterpret_cast<LVITEMA*>(lParam));
        case LVM_GETITEMTEXTW:
            return GetItemText(*this, wParam, reinterpret_cast<LVITEMW*>(lParam));
        case LVM_GETITEMCOUNT:
            return static_cast<LRESULT>(items.size());
        case LVM_SETITEMSTATE:
            return SetItemState(*this, wParam, reinterpret_cast<const LVITEMW*>(lParam));
        case LVM_GETITEMSTATE:
            return wParam < items.size() ? items[wParam].state & static_cast<UINT>(lParam) : 0;
        case LVM_DELETEALLITEMS:
            items.clear();
            return TRUE;
        default:
            return ManagedWindow::Handle(window, message, wParam, lParam);
    }
}

}  // namespace pal::dialogs

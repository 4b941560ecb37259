#include "text_forms.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "pal/runtime/encoding.h"

namespace pal::windowing {

namespace {

bool IsOrdinal(const void* text) { return reinterpret_cast<ULONG_PTR>(text) < 0x10000; }

size_t Length(const char16_t* text) {
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

// A CREATESTRUCT of the other form, with its strings converted and kept alive by this object.
template <class To, class From, class Text>
struct ConvertedCreate {
    explicit ConvertedCreate(const From& from, bool toUnicode) {
        std::memcpy(&value, &from, sizeof value);  // identical layout apart from string types
        value.lpszName = Convert(from.lpszName, name, toUnicode);
        value.lpszClass = Convert(from.lpszClass, className, toUnicode);
    }
    template <class Source>
    static const typename Text::value_type* Convert(Source source, Text& keep, bool toUnicode) {
        if (IsOrdinal(source)) return reinterpret_cast<const typename Text::value_type*>(source);
        std::u16string wide = WideFromCaller(source, !toUnicode);
        if constexpr (std::is_same_v<Text, std::u16string>)
            keep = wide;
        else
            keep = Utf16ToCp1252(wide);
        return keep.c_str();
    }
    To value;
    Text name;
    Text className;
};

}  // namespace

std::u16string WideFromCaller(const void* text, bool unicode) {
    if (IsOrdinal(text)) return {};
    if (unicode) {
        auto* wide = static_cast<const char16_t*>(text);
        return std::u16string(wide, Length(wide));
    }
    return Cp1252ToUtf16(std::string_view(static_cast<const char*>(text)));
}

size_t CopyToCaller(std::u16string_view text, void* buffer, size_t capacity, bool unicode) {
    if (!buffer || capacity == 0) return 0;
    size_t n = std::min(text.size(), capacity - 1);
    if (unicode) {
        auto* out = static_cast<char16_t*>(buffer);
        std::copy_n(text.begin(), n, out);
        out[n] = 0;
    } else {
        std::string narrow = Utf16ToCp1252(text.substr(0, n));
        auto* out = static_cast<char*>(buffer);
        std::copy_n(narrow.begin(), n, out);
        out[n] = 0;
    }
    return n;
}

LRESULT Invoke(WNDPROC proc, bool procUnicode, HWND window, UINT message, WPARAM wParam,
               LPARAM lParam, bool callerUnicode) {
    if (procUnicode == callerUnicode || lParam == 0) return proc(window, message, wParam, lParam);
    switch (message) {
        case WM_NCCREATE:
        case WM_CREATE: {
            if (callerUnicode) {
                ConvertedCreate<CREATESTRUCTA, CREATESTRUCTW, std::string> converted(
                    *reinterpret_cast<CREATESTRUCTW*>(lParam), false);
                return proc(window, message, wParam, reinterpret_cast<LPARAM>(&converted.value));
            }
            ConvertedCreate<CREATESTRUCTW, CREATESTRUCTA, std::u16string> converted(
                *reinterpret_cast<CREATESTRUCTA*>(lParam), true);
            return proc(window, message, wParam, reinterpret_cast<LPARAM>(&converted.value));
        }
        case WM_SETTEXT: {
            std::u16string wide =
                WideFromCaller(reinterpret_cast<const void*>(lParam), callerUnicode);
            if (procUnicode)
                return proc(window, message, wParam, reinterpret_cast<LPARAM>(wide.c_str()));
            std::string narrow = Utf16ToCp1252(wide);
            return proc(window, message, wParam, reinterpret_cast<LPARAM>(narrow.c_str()));
        }
        case WM_GETTEXT: {
            if (wParam == 0) return proc(window, message, wParam, lParam);
            std::u16string text;
            LRESULT got = 0;
            if (procUnicode) {
                std::u16string buffer(wParam, u'\0');
                got = proc(window, message, wParam, reinterpret_cast<LPARAM>(buffer.data()));
                text = buffer.substr(0, std::clamp<LRESULT>(got, 0, wParam - 1));
            } else {
                std::string buffer(wParam, '\0');
                got = proc(window, message, wParam, reinterpret_cast<LPARAM>(buffer.data()));
                text = Cp1252ToUtf16(buffer.substr(0, std::clamp<LRESULT>(got, 0, wParam - 1)));
            }
            return static_cast<LRESULT>(
                CopyToCaller(text, reinterpret_cast<void*>(lParam), wParam, callerUnicode));
        }
        default:
            return proc(window, message, wParam, lParam);
    }
}

}  // namespace pal::windowing

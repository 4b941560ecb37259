// LoadStringA / LoadStringW over the string tables: blocks of 16 counted UTF-16 strings, block
// id = string id / 16 + 1.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "module_resources.h"
#include "pal/resources.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/process.h"

namespace {

// The read-only copies handed out by the pointer forms of LoadStringW: the length word, the
// text and a terminator, so that the text can be used where a terminated string is expected.
// Copies live as long as the process; a copy is made once per string text.
class StringCopies : public pal::Component {
public:
    explicit StringCopies(pal::Process&) {}

    LPCWSTR Get(std::span<const BYTE> text) {
        std::u16string units = pal::TextFromBytes(text);
        std::lock_guard<std::mutex> guard(m_lock);
        auto found = m_latest.find(text.data());
        if (found != m_latest.end() && found->second[0] == units.size() &&
            std::u16string_view(found->second + 1, units.size()) == units)
            return found->second + 1;
        auto copy = std::make_unique<char16_t[]>(units.size() + 2);
        copy[0] = static_cast<char16_t>(units.size());
        std::memcpy(copy.get() + 1, units.data(), units.size() * sizeof(char16_t));
        copy[units.size() + 1] = u'\0';
        m_latest[text.data()] = copy.get();
        m_copies.push_back(std::move(copy));
        return m_latest[text.data()] + 1;
    }

private:
    std::mutex m_lock;
    std::map<const BYTE*, char16_t*> m_latest;
    std::vector<std::unique_ptr<char16_t[]>> m_copies;
};

// The string's bytes in the module, or nothing with the last error set.
std::optional<std::span<const BYTE>> FindString(HINSTANCE instance, UINT id) {
    auto data = pal::ModuleResources(instance);
    if (!data) return std::nullopt;
    try {
        auto text = data->String(id, pal::PreferredLanguage());
        if (!text)
            SetLastError(data->HasType(pal::ResourceId(6)) ? ERROR_RESOURCE_NAME_NOT_FOUND
                                                           : ERROR_RESOURCE_TYPE_NOT_FOUND);
        return text;
    } catch (const pal::ResourceFormatError&) {
        SetLastError(ERROR_INVALID_DATA);
        return std::nullopt;
    }
}

}  // namespace

int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    if (!lpBuffer || cchBufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    lpBuffer[0] = '\0';
    auto text = FindString(hInstance, uID);
    if (!text) return 0;
    std::string ansi = pal::Utf16ToCp1252(pal::TextFromBytes(*text));
    size_t count = std::min(ansi.size(), static_cast<size_t>(cchBufferMax - 1));
    std::memcpy(lpBuffer, ansi.data(), count);
    lpBuffer[count] = '\0';
    return static_cast<int>(count);
}

INT_PTR LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
    if (lpBuffer && cchBufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (lpBuffer && cchBufferMax > 0) lpBuffer[0] = u'\0';
    auto text = FindString(hInstance, uID);
    if (!text) return 0;
    if (!lpBuffer || cchBufferMax == 0) {
        LPCWSTR copy = pal::CurrentProcess().Get<StringCopies>().Get(*text);
        if (!lpBuffer) return reinterpret_cast<INT_PTR>(copy);
        std::memcpy(lpBuffer, &copy, sizeof(copy));
        return static_cast<INT_PTR>(text->size() / 2);
    }
    size_t count = std::min(text->size() / 2, static_cast<size_t>(cchBufferMax - 1));
    std::memcpy(lpBuffer, text->data(), count * sizeof(WCHAR));
    lpBuffer[count] = u'\0';
    return static_cast<INT_PTR>(count);
}

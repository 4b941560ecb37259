#include "account_provision.h"

#include <cfgmgrapi.h>

#include <string>

#include "../setup_names.h"

namespace {

const WCHAR kEngineAccountKey[] = W("Software\\Microsoft\\Inbox\\Svc\\ActiveSync");
const WCHAR kTransportKey[] = W("Software\\Microsoft\\Inbox\\Svc\\Kestrin");
const WCHAR kOutlook[] = W("Outlook");
const WCHAR kOutlookExpress[] = W("Outlook Express");
const UINT kAccountTemplate = 101;
const int kDocumentSize = 1024;

// Appends text to name while it fits, as a bounded copy.
void Append(std::u16string& name, const std::u16string& text) {
    size_t room = DISPLAY_NAME_SIZE - 1 - name.size();
    name += text.substr(0, room);
}

// The text as it may stand inside a double-quoted XML attribute.
std::u16string EscapeAttribute(LPCWSTR text) {
    std::u16string escaped;
    for (LPCWSTR p = text; *p; ++p) {
        switch (*p) {
            case W('&'): escaped += W("&amp;"); break;
            case W('<'): escaped += W("&lt;"); break;
            case W('>'): escaped += W("&gt;"); break;
            case W('"'): escaped += W("&quot;"); break;
            case W('\''): escaped += W("&apos;"); break;
            default: escaped += *p;
        }
    }
    return escaped;
}

}  // namespace

void ComposeDisplayName(LPWSTR name) {
    WCHAR engineName[513] = {};
    DWORD size = 1024;
    DWORD type = 0;
    bool read = false;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEngineAccountKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        read = RegQueryValueExW(key, W("FriendlyName"), nullptr, &type,
                                reinterpret_cast<BYTE*>(engineName), &size) == ERROR_SUCCESS &&
               type == REG_SZ;
        RegCloseKey(key);
    }
    std::u16string source = read ? std::u16string(engineName) : std::u16string();
    size_t found = source.find(kOutlook);
    std::u16string composed;
    if (found == std::u16string::npos) {
        composed = kOutlookExpress;
    } else {
        Append(composed, source.substr(0, found));
        Append(composed, kOutlookExpress);
        Append(composed, source.substr(found + 7));
    }
    composed.copy(name, composed.size());
    name[composed.size()] = 0;
}

void CreateAccount(HINSTANCE instance) {
    WCHAR displayName[DISPLAY_NAME_SIZE];
    ComposeDisplayName(displayName);

    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTransportKey, 0, KEY_ALL_ACCESS, &key) ==
        ERROR_SUCCESS) {
        DWORD size = static_cast<DWORD>((lstrlenW(displayName) + 1) * sizeof(WCHAR));
        RegSetValueExW(key, W("FriendlyName"), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(displayName), size);
        RegCloseKey(key);
    }

    auto templateText = reinterpret_cast<LPCWSTR>(LoadStringW(instance, kAccountTemplate, nullptr, 0));
    if (!templateText) return;
    std::u16string escapedName = EscapeAttribute(displayName);
    WCHAR document[kDocumentSize] = {};
    wsprintfW(document, templateText, ACCOUNT_GUID, escapedName.c_str(), W("Kestrin"));
    LPWSTR result = nullptr;
    DMProcessConfigXML(document, CFGFLAG_PROCESS, &result);
    delete[] result;
}

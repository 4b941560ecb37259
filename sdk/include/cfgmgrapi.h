// The device's configuration manager: applies a provisioning document.
#pragma once

#include <windows.h>

// Apply the document (as opposed to only asking for metadata).
#define CFGFLAG_PROCESS 0x0001

// The document is not well-formed XML or not a provisioning document.
#define CONFIG_E_BAD_XML static_cast<HRESULT>(0x86000015L)
// A characteristic names a configuration area this device does not know.
#define CONFIG_E_CSPNOTFOUND static_cast<HRESULT>(0x86000017L)

// Applies `pszWXMLin` (a "wap-provisioningdoc"). S_OK when every characteristic was applied;
// on failure nothing is changed. With ppszwXMLout, *ppszwXMLout receives the processed document
// (null on failure), allocated with the array new operator: release it with delete[].
// E_INVALIDARG for no document or a flag other than CFGFLAG_PROCESS.
HRESULT DMProcessConfigXML(LPCWSTR pszWXMLin, DWORD dwFlags, LPWSTR* ppszwXMLout);

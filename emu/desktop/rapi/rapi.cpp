// Remote device calls: each call is encoded, carried over the calling desktop's device link to
// the device's remote-call server, executed there, and its reply decoded here.
#include "rapi.h"

#include <cstring>
#include <optional>

#include "activesync/bytes.h"
#include "activesync/device_link.h"
#include "activesync/rapi_protocol.h"
#include "pal/runtime/context.h"
#include "pal/runtime/process.h"

namespace {

using activesync::ByteReader;
using activesync::Bytes;
using activesync::ByteWriter;
using activesync::rapi::Op;

// The calling thread's transport result and device last error of its last remote call.
thread_local HRESULT t_transport = S_OK;
thread_local DWORD t_deviceError = ERROR_SUCCESS;

const HRESULT kNotConnected = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);

// A decoded reply: the call's result, then the operation's outputs. A reply that ends before its
// fields do, or that holds more than the caller's buffer takes, is no answer: every call then
// fails with ERROR_INVALID_DATA (as its result or its last error) and copies nothing more.
struct Reply {
    Bytes bytes;
    std::optional<ByteReader> in;
    std::uint32_t result = 0;
};

// Sends a request; false when it did not reach the device (the transport error is recorded).
// `steady`: its answer stays the same while the device is connected, and may be the copy of an
// earlier one (DeviceLink::CallSteady).
bool Send(ByteWriter& request, Reply& reply, bool steady = false) {
    pal::Machine* desktop = pal::TryCurrentMachine();
    using activesync::DeviceLink;
    activesync::CallResult call;
    if (desktop)
        call = steady ? DeviceLink::CallSteady(*desktop, activesync::kRapiEndpoint, request.Take())
                      : DeviceLink::Call(*desktop, activesync::kRapiEndpoint, request.Take());
    if (call.status != activesync::CallStatus::Answered) {
        t_transport = kNotConnected;
        t_deviceError = ERROR_DEVICE_NOT_CONNECTED;
        return false;
    }
    reply.bytes = std::move(call.reply);
    reply.in.emplace(reply.bytes);
    reply.result = reply.in->U32();
    t_transport = S_OK;
    t_deviceError = reply.in->U32();
    return true;
}

ByteWriter Request(Op op) {
    ByteWriter out;
    out.U32(static_cast<std::uint32_t>(op));
    return out;
}

void PutText(ByteWriter& out, const WCHAR* text) {
    out.U32(text ? 1 : 0);
    if (text) out.Text(text);
}

std::uint64_t FromHandle(const void* handle) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
}

template <class T>
T* AsHandle(std::uint64_t value) {
    return reinterpret_cast<T*>(static_cast<std::uintptr_t>(value));
}

// A failed local check: the call does not leave the desktop.
BOOL FailLocally(DWORD error) {
    t_transport = S_OK;
    t_deviceError = error;
    return FALSE;
}

// Sends `request` and answers what `decode` makes of the reply; a request that did not reach the
// device answers `unsent`, a malformed reply `malformed` with ERROR_INVALID_DATA as last error.
template <class T, class Decode>
T Call(ByteWriter& request, T unsent, T malformed, Decode&& decode, bool steady = false) {
    Reply reply;
    try {
        if (!Send(request, reply, steady)) return unsent;
        return decode(reply);
    } catch (const activesync::MalformedMessage&) {
        FailLocally(ERROR_INVALID_DATA);
        return malformed;
    }
}

// A registry call: ERROR_DEVICE_NOT_CONNECTED when unsent, ERROR_INVALID_DATA when malformed.
template <class Decode>
LONG RegistryCall(ByteWriter& request, Decode&& decode) {
    return Call<LONG>(request, ERROR_DEVICE_NOT_CONNECTED, ERROR_INVALID_DATA, decode);
}

// The calling process's session event, kept while the session lasts.
struct RapiSession : pal::Component {
    explicit RapiSession(pal::Process&) {}
    HANDLE event = nullptr;
};

}  // namespace

// Starts the calling process's session; settled at once, as connected or not.
STDAPI CeRapiInitEx(RAPIINIT* pRapiInit) {
    if (!pRapiInit ||
        (pRapiInit->cbSize != CBSIZE_RAPIINIT && pRapiInit->cbSize != sizeof(RAPIINIT)))
        return E_INVALIDARG;
    auto& session = pal::CurrentProcess().Get<RapiSession>();
    if (session.event) return E_UNEXPECTED;
    session.event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!session.event) return E_OUTOFMEMORY;
    pal::Machine* desktop = pal::TryCurrentMachine();
    bool connected = desktop && activesync::DeviceLink::ConnectedId(*desktop) != 0;
    pRapiInit->heRapiInit = session.event;
    pRapiInit->hrRapiInit = connected ? S_OK : kNotConnected;
    SetEvent(session.event);
    return S_OK;
}

// Ends the calling process's session.
STDAPI CeRapiUninit(void) {
    auto& session = pal::CurrentProcess().Get<RapiSession>();
    if (!session.event) return E_FAIL;
    CloseHandle(session.event);
    session.event = nullptr;
    return S_OK;
}

// Transport result of the thread's last remote call.
STDAPI CeRapiGetError(void) { return t_transport; }

// Device last error after the thread's last remote call.
STDAPI_(DWORD) CeGetLastError(void) { return t_deviceError; }

// RegOpenKeyExW on the device.
STDAPI_(LONG)
CeRegOpenKeyEx(HKEY hKey, LPCWSTR lpszSubKey, DWORD dwReserved, REGSAM samDesired,
               PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    ByteWriter request = Request(Op::RegOpenKeyEx);
    request.U64(FromHandle(hKey));
    PutText(request, lpszSubKey);
    request.U32(dwReserved).U32(samDesired);
    return RegistryCall(request, [&](Reply& reply) -> LONG {
        *phkResult = AsHandle<HKEY__>(reply.in->U64());
        return static_cast<LONG>(reply.result);
    });
}

// RegCreateKeyExW on the device (security attributes do not cross).
STDAPI_(LONG)
CeRegCreateKeyEx(HKEY hKey, LPCWSTR lpszSubKey, DWORD dwReserved, LPWSTR lpszClass,
                 DWORD fdwOptions, REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                 PHKEY phkResult, LPDWORD lpdwDisposition) {
    (void)dwReserved;
    (void)lpSecurityAttributes;
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    ByteWriter request = Request(Op::RegCreateKeyEx);
    request.U64(FromHandle(hKey));
    PutText(request, lpszSubKey);
    PutText(request, lpszClass);
    request.U32(fdwOptions).U32(samDesired);
    return RegistryCall(request, [&](Reply& reply) -> LONG {
        auto* key = AsHandle<HKEY__>(reply.in->U64());
        DWORD disposition = reply.in->U32();
        *phkResult = key;
        if (lpdwDisposition) *lpdwDisposition = disposition;
        return static_cast<LONG>(reply.result);
    });
}

// RegQueryValueExW on the device: the data, its type and size come back as the device answers.
STDAPI_(LONG)
CeRegQueryValueEx(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                  LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    ByteWriter request = Request(Op::RegQueryValueEx);
    request.U64(FromHandle(hKey));
    PutText(request, lpValueName);
    request.U32(lpType ? 1 : 0).U32(lpData ? 1 : 0).U32(lpcbData ? 1 : 0);
    const DWORD capacity = lpcbData ? *lpcbData : 0;
    request.U32(capacity);
    return RegistryCall(request, [&](Reply& reply) -> LONG {
        DWORD type = reply.in->U32();
        DWORD size = reply.in->U32();
        Bytes data = reply.in->Blob();
        // Never more than the caller's buffer holds, whatever the reply says.
        if (lpData && data.size() > capacity) throw activesync::MalformedMessage();
        if (lpType) *lpType = type;
        if (lpcbData) *lpcbData = size;
        if (lpData && !data.empty()) std::memcpy(lpData, data.data(), data.size());
        return static_cast<LONG>(reply.result);
    });
}

// RegSetValueExW on the device.
STDAPI_(LONG)
CeRegSetValueEx(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                DWORD cbData) {
    (void)Reserved;
    if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
    ByteWriter request = Request(Op::RegSetValueEx);
    request.U64(FromHandle(hKey));
    PutText(request, lpValueName);
    request.U32(dwType).U32(lpData ? 1 : 0).Blob(lpData, lpData ? cbData : 0);
    return RegistryCall(request,
                        [&](Reply& reply) -> LONG { return static_cast<LONG>(reply.result); });
}

// RegCloseKey on the device.
STDAPI_(LONG) CeRegCloseKey(HKEY hKey) {
    ByteWriter request = Request(Op::RegCloseKey);
    request.U64(FromHandle(hKey));
    return RegistryCall(request,
                        [&](Reply& reply) -> LONG { return static_cast<LONG>(reply.result); });
}

// CreateFileW on the device; templates and security attributes do not cross.
STDAPI_(HANDLE)
CeCreateFile(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
             LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
             DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    (void)lpSecurityAttributes;
    if (hTemplateFile) {
        FailLocally(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    ByteWriter request = Request(Op::CreateFile);
    PutText(request, lpFileName);
    request.U32(dwDesiredAccess).U32(dwShareMode).U32(dwCreationDisposition);
    request.U32(dwFlagsAndAttributes);
    return Call<HANDLE>(request, INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE,
                        [&](Reply& reply) -> HANDLE { return AsHandle<void>(reply.in->U64()); });
}

// ReadFile on the device, into the caller's buffer.
STDAPI_(BOOL)
CeReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
           LPOVERLAPPED lpOverlapped) {
    if (lpOverlapped || !lpNumberOfBytesRead || (!lpBuffer && nNumberOfBytesToRead))
        return FailLocally(ERROR_INVALID_PARAMETER);
    *lpNumberOfBytesRead = 0;
    ByteWriter request = Request(Op::ReadFile);
    request.U64(FromHandle(hFile)).U32(nNumberOfBytesToRead);
    return Call<BOOL>(request, FALSE, FALSE, [&](Reply& reply) -> BOOL {
        Bytes data = reply.in->Blob();
        if (data.size() > nNumberOfBytesToRead) throw activesync::MalformedMessage();
        if (!data.empty()) std::memcpy(lpBuffer, data.data(), data.size());
        *lpNumberOfBytesRead = static_cast<DWORD>(data.size());
        return static_cast<BOOL>(reply.result);
    });
}

// WriteFile on the device, from the caller's buffer.
STDAPI_(BOOL)
CeWriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
            LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (lpOverlapped || !lpNumberOfBytesWritten || (!lpBuffer && nNumberOfBytesToWrite))
        return FailLocally(ERROR_INVALID_PARAMETER);
    *lpNumberOfBytesWritten = 0;
    ByteWriter request = Request(Op::WriteFile);
    request.U64(FromHandle(hFile)).Blob(lpBuffer, nNumberOfBytesToWrite);
    return Call<BOOL>(request, FALSE, FALSE, [&](Reply& reply) -> BOOL {
        *lpNumberOfBytesWritten = reply.in->U32();
        return static_cast<BOOL>(reply.result);
    });
}

// CloseHandle on the device.
STDAPI_(BOOL) CeCloseHandle(HANDLE hObject) {
    ByteWriter request = Request(Op::CloseHandle);
    request.U64(FromHandle(hObject));
    return Call<BOOL>(request, FALSE, FALSE,
                      [&](Reply& reply) -> BOOL { return static_cast<BOOL>(reply.result); });
}

// DeleteFileW on the device.
STDAPI_(BOOL) CeDeleteFile(LPCWSTR lpFileName) {
    ByteWriter request = Request(Op::DeleteFile);
    PutText(request, lpFileName);
    return Call<BOOL>(request, FALSE, FALSE,
                      [&](Reply& reply) -> BOOL { return static_cast<BOOL>(reply.result); });
}

// GetTempPathW on the device.
STDAPI_(DWORD) CeGetTempPath(DWORD nBufferLength, LPWSTR lpBuffer) {
    if (!lpBuffer && nBufferLength) return FailLocally(ERROR_INVALID_PARAMETER);
    ByteWriter request = Request(Op::GetTempPath);
    request.U32(nBufferLength);
    auto decode = [&](Reply& reply) -> DWORD {
        std::u16string text = reply.in->Text();
        if (reply.result && reply.result < nBufferLength) {
            // The text with its terminator must fit the buffer, whatever length the reply says.
            if (text.size() >= nBufferLength) throw activesync::MalformedMessage();
            std::memcpy(lpBuffer, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
        }
        return reply.result;
    };
    // Steady: the device's temporary folder does not move while it is connected, and a
    // provider asks for it for every file it puts there.
    return Call<DWORD>(request, 0, 0, decode, true);
}

// The device's version.
STDAPI_(BOOL) CeGetVersionEx(LPCEOSVERSIONINFO lpVersionInformation) {
    if (!lpVersionInformation || lpVersionInformation->dwOSVersionInfoSize != 276)
        return FailLocally(ERROR_INVALID_PARAMETER);
    ByteWriter request = Request(Op::GetVersionEx);
    return Call<BOOL>(request, FALSE, FALSE, [&](Reply& reply) -> BOOL {
        lpVersionInformation->dwMajorVersion = reply.in->U32();
        lpVersionInformation->dwMinorVersion = reply.in->U32();
        lpVersionInformation->dwBuildNumber = reply.in->U32();
        lpVersionInformation->dwPlatformId = reply.in->U32();
        std::u16string servicePack = reply.in->Text().substr(0, 127);  // 128 units with the zero
        std::memset(lpVersionInformation->szCSDVersion, 0,
                    sizeof lpVersionInformation->szCSDVersion);
        std::memcpy(lpVersionInformation->szCSDVersion, servicePack.c_str(),
                    servicePack.size() * sizeof(WCHAR));
        return static_cast<BOOL>(reply.result);
    });
}

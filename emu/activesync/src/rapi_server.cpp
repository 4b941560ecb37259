#include "rapi_server.h"

#include <optional>
#include <windows.h>

#include "activesync/rapi_protocol.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"

namespace activesync {

namespace {

using rapi::Op;

std::optional<std::u16string> OptionalText(ByteReader& in) {
    if (!in.U32()) return std::nullopt;
    return in.Text();
}

const WCHAR* Pointer(const std::optional<std::u16string>& text) {
    return text ? text->c_str() : nullptr;
}

template <class T>
T* AsHandle(std::uint64_t value) {
    return reinterpret_cast<T*>(static_cast<std::uintptr_t>(value));
}

std::uint64_t FromHandle(const void* handle) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
}

// The reply's head: the call's result and the device's last error after it.
ByteWriter Reply(std::uint32_t result) {
    ByteWriter out;
    out.U32(result).U32(GetLastError());
    return out;
}

Bytes Serve(ByteReader& in) {
    SetLastError(ERROR_SUCCESS);
    switch (static_cast<Op>(in.U32())) {
        case Op::RegOpenKeyEx: {
            HKEY key = AsHandle<HKEY__>(in.U64());
            auto subKey = OptionalText(in);
            DWORD options = in.U32();
            REGSAM sam = in.U32();
            HKEY result = nullptr;
            LONG status = RegOpenKeyExW(key, Pointer(subKey), options, sam, &result);
            return Reply(status).U64(FromHandle(result)).Take();
        }
        case Op::RegCreateKeyEx: {
            HKEY key = AsHandle<HKEY__>(in.U64());
            auto subKey = OptionalText(in);
            auto keyClass = OptionalText(in);
            DWORD options = in.U32();
            REGSAM sam = in.U32();
            HKEY result = nullptr;
            DWORD disposition = 0;
            LONG status = RegCreateKeyExW(key, Pointer(subKey), 0,
                                          keyClass ? keyClass->data() : nullptr, options, sam,
                                          nullptr, &result, &disposition);
            return Reply(status).U64(FromHandle(result)).U32(disposition).Take();
        }
        case Op::RegQueryValueEx: {
            HKEY key = AsHandle<HKEY__>(in.U64());
            auto name = OptionalText(in);
            bool wantType = in.U32();
            bool hasData = in.U32();
            bool hasSize = in.U32();
            DWORD size = in.U32();
            Bytes data(hasData ? size : 0);
            DWORD type = 0;
            LONG status = RegQueryValueExW(key, Pointer(name), nullptr, wantType ? &type : nullptr,
                                           hasData ? data.data() : nullptr,
                                           hasSize ? &size : nullptr);
            if (status == ERROR_SUCCESS && hasData) data.resize(size);
            else data.clear();
            return Reply(status).U32(type).U32(size).Blob(data).Take();
        }
        case Op::RegSetValueEx: {
            HKEY key = AsHandle<HKEY__>(in.U64());
            auto name = OptionalText(in);
            DWORD type = in.U32();
            bool hasData = in.U32();
            Bytes data = in.Blob();
            LONG status = RegSetValueExW(key, Pointer(name), 0, type,
                                         hasData ? data.data() : nullptr,
                                         static_cast<DWORD>(data.size()));
            return Reply(status).Take();
        }
        case Op::RegCloseKey:
            return Reply(RegCloseKey(AsHandle<HKEY__>(in.U64()))).Take();
        case Op::CreateFile: {
            auto path = OptionalText(in);
            DWORD access = in.U32();
            DWORD share = in.U32();
            DWORD disposition = in.U32();
            DWORD flags = in.U32();
            HANDLE file =
                CreateFileW(Pointer(path), access, share, nullptr, disposition, flags, nullptr);
            return Reply(0).U64(FromHandle(file)).Take();
        }
        case Op::ReadFile: {
            HANDLE file = AsHandle<void>(in.U64());
            DWORD count = in.U32();
            Bytes data(count);
            DWORD read = 0;
            BOOL ok = ReadFile(file, data.data(), count, &read, nullptr);
            data.resize(ok ? read : 0);
            return Reply(ok).Blob(data).Take();
        }
        case Op::WriteFile: {
            HANDLE file = AsHandle<void>(in.U64());
            Bytes data = in.Blob();
            DWORD written = 0;
            BOOL ok = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written,
                                nullptr);
            return Reply(ok).U32(written).Take();
        }
        case Op::CloseHandle:
            return Reply(CloseHandle(AsHandle<void>(in.U64()))).Take();
        case Op::DeleteFile: {
            auto path = OptionalText(in);
            return Reply(DeleteFileW(Pointer(path))).Take();
        }
        case Op::GetTempPath: {
            DWORD length = in.U32();
            std::u16string buffer(length, u'\0');
            DWORD result = GetTempPathW(length, length ? buffer.data() : nullptr);
            buffer.resize(result && result < length ? result : 0);
            return Reply(result).Text(buffer).Take();
        }
        case Op::GetVersionEx: {
            pal::OsVersion os = pal::CurrentMachine().Config().os;
            return Reply(TRUE).U32(os.major).U32(os.minor).U32(os.build).U32(os.platformId)
                .Text(u"")
                .Take();
        }
    }
    throw MalformedMessage();
}

}  // namespace

Bytes ServeRapiRequest(const Bytes& request) {
    ByteReader in(request);
    return Serve(in);
}

}  // namespace activesync

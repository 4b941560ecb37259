// The engine's device half for one partnership: a device process whose device thread loads the
// providers registered under HKEY_LOCAL_MACHINE "Windows CE Services\Synchronization\Objects"
// and makes every export call, one at a time, as the engine on a device does.
//
// While the host lives, every record created, changed or deleted on the device (object store and
// mounted volumes) is offered to each loaded type's ObjectNotify on the device thread; the
// objects a provider admits collect as that type's pending changes.
#pragma once

#include <device_sync.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace pal {
class Machine;
}

namespace activesync {

// Where the engine's device process lives on the device.
inline constexpr char16_t kDeviceEnginePath[] = u"\\Windows\\syncdevice.exe";
// The device key under which providers register, one subkey per object type.
inline constexpr char16_t kDeviceObjectsKey[] = u"Windows CE Services\\Synchronization\\Objects";

class DeviceHostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The objects FindObjects listed, in the provider's order.
struct ObjectList {
    HRESULT result = E_FAIL;
    std::vector<UINT> unchanged;
    std::vector<UINT> changed;
};

// What a provider's ObjectNotify answered.
struct NotifyResult {
    BOOL admitted = FALSE;
    std::vector<UINT> changed;
    std::vector<UINT> deleted;
};

// The objects of one type that providers reported changed or deleted since last taken.
struct PendingChanges {
    std::set<UINT> changed;
    std::set<UINT> deleted;
};

// The reply buffer of a get request: the provider writes its reply into it and sets cbData.
inline constexpr size_t kSyncDataReplyCapacity = 4096;

// What a provider's data-request export answered.
struct SyncDataResult {
    bool called = false;         // the type's provider has the export and was called
    HRESULT result = E_NOTIMPL;  // E_NOTIMPL when it was not called
    std::vector<BYTE> data;      // a successful get request's reply
};

class DeviceHost {
public:
    // Starts the device thread, loads the provider of each type and initialises it with the
    // partner bit (1 or 2). A type without a registered provider, whose library does not load or
    // lacks an export, or whose InitObjType answers FALSE is not loaded (see Loaded()).
    DeviceHost(pal::Machine& device, UINT partnerBit, const std::vector<std::u16string>& types);
    // Releases the handlers, calls InitObjType(NULL) of each library, unloads them, and ends the
    // device process.
    ~DeviceHost();
    DeviceHost(const DeviceHost&) = delete;
    DeviceHost& operator=(const DeviceHost&) = delete;

    // The types whose provider is loaded and initialised.
    std::vector<std::u16string> Loaded() const;
    bool IsLoaded(const std::u16string& type) const;
    // The handler InitObjType returned for a type (null when not loaded). Call it through Run.
    IReplObjHandler* Handler(const std::u16string& type) const;

    // FindObjects, then its FO_DONE_ONE_VOL follow-up that lets the provider free the list.
    ObjectList FindObjects(const std::u16string& type);
    // ObjectNotify with ONF_CLEAR_CHANGE: the engine is done with the object.
    NotifyResult ClearChange(const std::u16string& type, UINT oid);
    // GetObjTypeInfo; FALSE when the type is not loaded.
    BOOL GetObjTypeInfo(const std::u16string& type, OBJTYPEINFO& info);
    // ReportStatus to every loaded library (type name null for library-wide codes).
    BOOL ReportStatus(const std::u16string& type, UINT code, UINT param);

    // The type's data-request export ("SyncData") with a request from the desktop. A set request
    // passes the desktop's data (lpData null when there is none) with its size in cbData. A get
    // request passes a zeroed reply buffer of at least kSyncDataReplyCapacity bytes that starts
    // with the desktop's data, cbData its size; the reply is the cbData bytes at lpData after the
    // call (at most the buffer's size when lpData still points to it; memory a provider points
    // lpData to instead stays the provider's). No reply after a failure. Not called (E_NOTIMPL)
    // when the type is not loaded or its library lacks the export.
    SyncDataResult SyncData(const std::u16string& type, bool set, UINT code,
                            const std::vector<BYTE>& data);

    // Waits until every change reported so far has been offered to the providers, then takes
    // the pending changes of a type.
    PendingChanges TakeChanges(const std::u16string& type);

    // Queues `job` for the device thread without waiting for it.
    void Post(std::function<void()> job);
    // Runs `call` on the device thread and waits for it. Called on the device thread itself, it
    // runs what was queued before it first, then `call`: the order is the queue's either way.
    void Run(const std::function<void()>& call);
    // The same with the type's handler (null when the type is not loaded), looked up on the
    // device thread in the same turn.
    void RunWithHandler(const std::u16string& type,
                        const std::function<void(IReplObjHandler*)>& call);

    class Impl;

private:
    std::shared_ptr<Impl> m_impl;
};

}  // namespace activesync

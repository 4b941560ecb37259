// The link between a world's desktop and its device while they are connected.
//
// A cross-machine call is a request (bytes) sent to a named endpoint of the device and answered
// by the device's server for that endpoint on a thread of its own, in a device process of its
// own (or on a device thread its owner runs), while the caller waits. Only bytes cross, so that
// a socket could carry the same requests.
//
// Connection state: the connected partnership is recorded in the world (the desktop's engine
// state), so a later run that opens the world and makes a DeviceLink finds the device connected
// again. While no DeviceLink exists for a desktop, that desktop has no connected device.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "activesync/bytes.h"
#include "pal/runtime/world.h"

namespace activesync {

// Serves one endpoint: the request's bytes in, the reply's bytes out. Runs on the endpoint's
// device thread, whose current machine and process are the device and the endpoint's process.
using LinkHandler = std::function<Bytes(const Bytes& request)>;

// Queues a job on a device thread that the endpoint's owner runs, without waiting for it.
using LinkPoster = std::function<void(std::function<void()> job)>;

enum class CallStatus {
    Answered,      // the reply is the device's
    NotConnected,  // no device connected
    Dropped,       // the device was disconnected before it answered
    NoService,     // the device serves no such endpoint
};

struct CallResult {
    CallStatus status = CallStatus::NotConnected;
    Bytes reply;
};

// Endpoint of the remote registry and file calls, served in "\Windows\rapisrv.exe".
inline constexpr char kRapiEndpoint[] = "rapi";
inline constexpr char16_t kRapiServerPath[] = u"\\Windows\\rapisrv.exe";

class DeviceLink {
public:
    // Joins the desktop and the device (one link per desktop at a time: a second throws
    // std::logic_error). Comes up connected when the world records a connected partnership that
    // both machines still have; a recorded partnership that is gone is forgotten.
    DeviceLink(pal::Machine& desktop, pal::Machine& device);
    explicit DeviceLink(pal::World& world) : DeviceLink(world.Desktop(), world.Device()) {}
    // Drops the connection (calls in flight fail) without changing what the world records.
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // The link of a desktop machine, or null.
    static DeviceLink* Of(pal::Machine& desktop);

    pal::Machine& Desktop();
    pal::Machine& Device();

    // Connects the device through partnership `id`, which also becomes the selected one; throws
    // PartnershipError when the desktop or the device lacks it. Reconnecting through another
    // partnership disconnects first.
    void Connect(DWORD id);
    // Disconnects: calls in flight fail with CallStatus::Dropped, the device servers end, and
    // the world records no connection. Nothing happens when not connected.
    void Disconnect();
    bool IsConnected() const;
    // The connected partnership's id, 0 when not connected.
    DWORD ConnectedId() const;

    // Serves `endpoint` on the device with `handler`, in a device process with executable path
    // `processPath` that exists while the device is connected (replacing an earlier handler).
    void Serve(const std::string& endpoint, std::u16string processPath, LinkHandler handler);
    // Serves `endpoint` on a device thread of the owner's: `post` queues each request's handling
    // there. A request costs one hand-over between threads instead of two when the handler
    // works on that thread anyway. Disconnecting fails calls in flight as for any endpoint; one
    // still queued is then not handled.
    void Serve(const std::string& endpoint, LinkPoster post, LinkHandler handler);
    void StopServing(const std::string& endpoint);

    // Fault injection: from now on every `calls`-th cross-machine call (counting every
    // endpoint) finds the device gone: the link disconnects as Disconnect does before the call is
    // delivered, and the call fails with CallStatus::Dropped. 0 turns it off.
    void DropEvery(unsigned calls);

    // Sends a request from the desktop and waits for the answer.
    CallResult Call(const std::string& endpoint, const Bytes& request);
    // The same through the link of `desktop`; NotConnected when it has none.
    static CallResult Call(pal::Machine& desktop, const std::string& endpoint,
                           const Bytes& request);
    // The same for a request whose answer stays the same while the device is connected: only
    // the first of a connection crosses (and counts as a call); later ones get a copy of its
    // answer, until a connection or an endpoint's server comes or goes.
    static CallResult CallSteady(pal::Machine& desktop, const std::string& endpoint,
                                 const Bytes& request);
    // The connected partnership of `desktop`'s link; 0 without a link or connection.
    static DWORD ConnectedId(pal::Machine& desktop);

    class Impl;

private:
    std::shared_ptr<Impl> m_impl;
};

}  // namespace activesync

// Data requests to the device's mail store, made through the engine's callback
// (IReplNotify::QueryDevice with QDC_SYNC_DATA). A run of them selects one device message with
// MAIL_REQUEST_SELECT, works on it, and ends with MAIL_REQUEST_END, which hands the device the
// message's new status and releases the device's mail lock.
#pragma once

#include <replication.h>
#include <windows.h>

#include <vector>

// Request codes the device's mail store serves.
#define MAIL_REQUEST_SELECT 1   // set: the device message's entry identifier
#define MAIL_REQUEST_END 2      // set: the message's new status (32 bits)
#define MAIL_REQUEST_DELIVER 3  // set: an AttachmentRecord naming a file to load into the message
#define MAIL_REQUEST_CHOOSE 4   // set: the AttachmentRecord of the attachment to export
#define MAIL_REQUEST_EXPORT 5   // get: the chosen attachment exported; its record comes back

// Sends a set request of `code` with `size` bytes of `data` for the "Message" type; the device's
// answer.
HRESULT SetMailRequest(IReplNotify* notify, UINT code, const void* data, UINT size);

// Sends a get request of `code` without data for the "Message" type. On success `reply` holds a
// copy of the data the device returned (empty when none); the device's block is freed here.
HRESULT GetMailRequest(IReplNotify* notify, UINT code, std::vector<BYTE>& reply);

// The mail store's data requests: a run begins with code 1 (select a message, under the mail
// lock), codes 3, 4 and 5 work on that message, code 2 stores its status and ends the run.
#include "mail_files.h"
#include "mail_mapi.h"
#include "mail_store.h"

namespace {

constexpr UINT kSelectMessage = 1;
constexpr UINT kEndRun = 2;
constexpr UINT kDeliverFile = 3;
constexpr UINT kSetRecord = 4;
constexpr UINT kExportAttachment = 5;

// The attachment status of content that is on the device.
constexpr ULONG kAttachmentHere = 0;

}  // namespace

HRESULT CMailStore::DataRequest(SDREQUEST* request) {
    if (!request) return E_INVALIDARG;
    if (request->fSet) {
        switch (request->uCode) {
            case kSelectMessage:
                return SelectMessage(*request);
            case kEndRun:
                return EndRequestRun(*request);
            case kDeliverFile:
                if (!request->lpData || request->cbData < kAttachmentRecordSize)
                    return E_INVALIDARG;
                return DeliverFile(AttachmentRecord::Load(request->lpData));
            case kSetRecord:
                if (!request->lpData || request->cbData < kAttachmentRecordSize)
                    return E_INVALIDARG;
                m_record = AttachmentRecord::Load(request->lpData);
                return S_OK;
            default:
                return S_OK;
        }
    }
    if (request->uCode == kExportAttachment) {
        request->cbData = kAttachmentRecordSize;
        return request->lpData ? ExportAttachment(*request) : S_OK;
    }
    return S_OK;
}

HRESULT CMailStore::SelectMessage(const SDREQUEST& request) {
    if (!request.lpData || request.cbData == 0) return E_INVALIDARG;
    ReleaseCurrent();
    // One hold per run: an unpaired code 1 does not stack another hold that no code 2 gives back.
    if (!m_requestHold && m_lock && WaitForSingleObject(m_lock, INFINITE) != WAIT_FAILED)
        m_requestHold = true;
    if (!m_messageStore) return E_FAIL;
    std::vector<BYTE> entryId(request.lpData, request.lpData + request.cbData);
    IMessage* message = nullptr;
    HRESULT result = OpenByEntryId(m_messageStore, entryId, MAPI_MODIFY,
                                   reinterpret_cast<LPUNKNOWN*>(&message));
    if (SUCCEEDED(result)) m_current = message;
    return result;
}

HRESULT CMailStore::EndRequestRun(const SDREQUEST& request) {
    HRESULT result = E_INVALIDARG;
    if (request.lpData && request.cbData >= sizeof(DWORD)) {
        result = E_FAIL;
        if (m_current) {
            SPropValue status{};
            status.ulPropTag = PR_MSG_STATUS;
            status.Value.ul = static_cast<ULONG>(request.lpData[0]) |
                              (static_cast<ULONG>(request.lpData[1]) << 8) |
                              (static_cast<ULONG>(request.lpData[2]) << 16) |
                              (static_cast<ULONG>(request.lpData[3]) << 24);
            result = m_current->SetProps(1, &status, nullptr);
        }
    }
    // The run ends whatever its data: the message and the store's own hold go.
    ReleaseCurrent();
    if (m_requestHold) {
        ReleaseMutex(m_lock);
        m_requestHold = false;
    }
    return result;
}

HRESULT CMailStore::DeliverFile(const AttachmentRecord& record) {
    if (!m_current) return E_FAIL;
    if (record.state != kAttachmentPresent) return S_OK;
    MapiPtr<IStream> stream;
    HRESULT result = S_OK;
    if (record.number != 0) {
        MapiPtr<IAttach> attachment;
        result = m_current->OpenAttach(record.number, nullptr, MAPI_MODIFY, attachment.Out());
        if (SUCCEEDED(result))
            result = OpenPropertyStream(attachment.Get(), PR_ATTACH_DATA_BIN,
                                        MAPI_CREATE | MAPI_MODIFY, stream);
        if (SUCCEEDED(result)) {
            SPropValue values[4] = {};
            values[0].ulPropTag = PR_ATTACH_FILENAME_W;
            values[0].Value.lpszW = const_cast<LPWSTR>(record.fileName);
            values[1].ulPropTag = PR_ATTACH_SIZE;
            values[1].Value.ul = record.size;
            values[2].ulPropTag = PR_ATTACH_METHOD;
            values[2].Value.ul = ATTACH_BY_VALUE;
            values[3].ulPropTag = PR_MSG_STATUS;
            values[3].Value.ul = kAttachmentHere;
            result = attachment->SetProps(4, values, nullptr);
        }
    } else {
        result = OpenPropertyStream(m_current, PR_BODY_W, MAPI_CREATE | MAPI_MODIFY, stream);
    }
    if (FAILED(result)) return result;
    return LoadTempFile(record.fileName, stream.Get());
}

HRESULT CMailStore::ExportAttachment(SDREQUEST& request) {
    if (!m_current || !m_record) return E_FAIL;
    MapiPtr<IAttach> attachment;
    MapiPtr<IStream> stream;
    HRESULT result = m_current->OpenAttach(m_record->number, nullptr, 0, attachment.Out());
    if (SUCCEEDED(result))
        result = OpenPropertyStream(attachment.Get(), PR_ATTACH_DATA_BIN, 0, stream);
    std::u16string path;
    if (SUCCEEDED(result)) result = ExportToTempFile(stream.Get(), m_record->fileName, path);
    if (FAILED(result)) return result;
    m_record->SetFileName(path.c_str());
    m_record->Store(request.lpData);
    return S_OK;
}

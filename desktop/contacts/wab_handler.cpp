// CWABHandler: Setup, Reset and DeleteObj; GetPacket and SetPacket live in contact_get_packet.cpp
// and contact_set_packet.cpp.
#include "wab_handler.h"

#include "st_log_file.h"
#include "wab_item.h"

STDMETHODIMP CWABHandler::Setup(REPLSETUP* setup) {
    CSTLogScope scope("Object handler setup");
    if (setup->fRead)
        m_readSetup = setup;
    else
        m_writeSetup = setup;
    return S_OK;
}

STDMETHODIMP CWABHandler::Reset(REPLSETUP* setup) {
    CSTLogScope scope("Object handler reset");
    if (setup->fRead) m_writer.Begin(0);
    return S_OK;
}

STDMETHODIMP CWABHandler::DeleteObj(REPLSETUP* setup) {
    CSTLogScope scope("DeleteObj (delete an address book entry");
    auto* folder = static_cast<CWABFolder*>(FromHandle(setup->hFolder));
    auto* item = static_cast<CWABItem*>(FromHandle(setup->hItem));
    if (!folder || !item || !item->m_entryId) return E_UNEXPECTED;
    if (FAILED(folder->DeleteEntry(item->EntryIdBytes(), item->EntryIdSize()))) return E_UNEXPECTED;
    return S_OK;
}

#include "table_object.h"

#include <algorithm>

#include "mapi_error.h"
#include "prop_codec.h"

namespace emu::cemapi {

TableObject::TableObject(std::vector<RowReader> rows, std::vector<ULONG> defaultColumns)
    : m_rows(std::move(rows)), m_columns(std::move(defaultColumns)) {}

STDMETHODIMP TableObject::SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) {
    (void)ulFlags;
    if (!lpPropTagArray || lpPropTagArray->cValues == 0) return MAPI_E_INVALID_PARAMETER;
    return Guarded([&] {
        m_columns.assign(lpPropTagArray->aulPropTag,
                         lpPropTagArray->aulPropTag + lpPropTagArray->cValues);
        return S_OK;
    });
}

STDMETHODIMP TableObject::GetRowCount(ULONG ulFlags, ULONG* lpulCount) {
    (void)ulFlags;
    if (!lpulCount) return MAPI_E_INVALID_PARAMETER;
    *lpulCount = static_cast<ULONG>(m_rows.size());
    return S_OK;
}

STDMETHODIMP TableObject::SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) {
    LONGLONG base;
    switch (bkOrigin) {
        case BOOKMARK_BEGINNING:
            base = 0;
            break;
        case BOOKMARK_CURRENT:
            base = static_cast<LONGLONG>(m_position);
            break;
        case BOOKMARK_END:
            base = static_cast<LONGLONG>(m_rows.size());
            break;
        default:
            return MAPI_E_INVALID_PARAMETER;
    }
    LONGLONG target = std::clamp<LONGLONG>(base + lRowCount, 0, static_cast<LONGLONG>(m_rows.size()));
    if (lplRowsSought) *lplRowsSought = static_cast<LONG>(target - base);
    m_position = static_cast<size_t>(target);
    return S_OK;
}

STDMETHODIMP TableObject::QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) {
    if (!lppRows || lRowCount <= 0) return MAPI_E_INVALID_PARAMETER;
    *lppRows = nullptr;
    return Guarded([&] {
        std::vector<std::vector<StoredProp>> found;
        size_t position = m_position;
        while (position < m_rows.size() && found.size() < static_cast<size_t>(lRowCount)) {
            if (auto row = m_rows[position++]()) found.push_back(std::move(*row));
        }
        LPVOID setBlock = nullptr;
        if (MAPIAllocateBuffer(static_cast<ULONG>(CbNewSRowSet(found.empty() ? 1 : found.size())),
                               &setBlock) != S_OK)
            throw std::bad_alloc();
        auto set = static_cast<LPSRowSet>(setBlock);
        set->cRows = 0;
        // A tag array laid out over one vector: the count, then the tags (none: every value).
        std::vector<ULONG> buffer(1 + m_columns.size());
        buffer[0] = static_cast<ULONG>(m_columns.size());
        std::copy(m_columns.begin(), m_columns.end(), buffer.begin() + 1);
        auto columns =
            m_columns.empty() ? nullptr : reinterpret_cast<const SPropTagArray*>(buffer.data());
        try {
            for (auto& row : found) {
                ULONG count = SelectedCount(row, columns);
                SPropValue* values = AllocateValues(count);
                SRow& out = set->aRow[set->cRows++];
                out.ulAdrEntryPad = 0;
                out.cValues = count;
                out.lpProps = values;
                SelectProps(row, columns, values, values);
            }
        } catch (...) {
            FreeProws(set);
            throw;
        }
        if (!(ulFlags & TBL_NOADVANCE)) m_position = position;
        *lppRows = set;
        return S_OK;
    });
}

}  // namespace emu::cemapi

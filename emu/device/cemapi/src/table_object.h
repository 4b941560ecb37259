// A table: the rows present when it was made, each read when it is queried (a row whose object
// has gone since is left out), with the columns SetColumns chose or the table's default ones.
#pragma once

#include <cemapi.h>

#include <functional>
#include <optional>
#include <vector>

#include "com_object.h"
#include "store_file.h"

namespace emu::cemapi {

class TableObject final : public ComObject<IMAPITable> {
public:
    using RowReader = std::function<std::optional<std::vector<StoredProp>>()>;
    TableObject(std::vector<RowReader> rows, std::vector<ULONG> defaultColumns);

    STDMETHODIMP SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) override;
    STDMETHODIMP GetRowCount(ULONG ulFlags, ULONG* lpulCount) override;
    STDMETHODIMP SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) override;
    STDMETHODIMP QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) override;

protected:
    bool Answers(REFIID riid) const override { return riid == IID_IMAPITable; }

private:
    std::vector<RowReader> m_rows;
    std::vector<ULONG> m_columns;
    size_t m_position = 0;
};

}  // namespace emu::cemapi

// The property methods shared by folders, messages, attachments and the store object: reading
// values (stored and computed), writing them straight to the store file, and streams over single
// properties. Writes need an object opened for modification (MAPI_E_NO_ACCESS otherwise).
#pragma once

#include <cemapi.h>

#include <vector>

#include "com_object.h"
#include "mapi_error.h"
#include "prop_codec.h"
#include "property_stream.h"
#include "store_context.h"

namespace emu::cemapi {

template <class Interface>
class PropObject : public ComObject<Interface> {
public:
    PropObject(StoreContext context, bool writable)
        : m_context(std::move(context)), m_writable(writable) {}

    STDMETHODIMP SaveChanges(ULONG ulFlags) override {
        (void)ulFlags;
        return Guarded([&] {
            AllProps();  // an object deleted meanwhile cannot be saved
            return S_OK;
        });
    }

    STDMETHODIMP GetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues,
                          LPSPropValue* lppPropArray) override {
        (void)ulFlags;
        if (!lpcValues || !lppPropArray) return MAPI_E_INVALID_PARAMETER;
        *lpcValues = 0;
        *lppPropArray = nullptr;
        if (lpPropTagArray && lpPropTagArray->cValues == 0) return MAPI_E_INVALID_PARAMETER;
        return Guarded([&] {
            auto available = AllProps();
            ULONG count = SelectedCount(available, lpPropTagArray);
            SPropValue* values = AllocateValues(count);
            bool errors;
            try {
                errors = SelectProps(available, lpPropTagArray, values, values);
            } catch (...) {
                MAPIFreeBuffer(values);
                throw;
            }
            *lpcValues = count;
            *lppPropArray = values;
            return errors ? MAPI_W_ERRORS_RETURNED : S_OK;
        });
    }

    STDMETHODIMP GetPropList(ULONG ulFlags, LPSPropTagArray* lppPropTagArray) override {
        (void)ulFlags;
        if (!lppPropTagArray) return MAPI_E_INVALID_PARAMETER;
        *lppPropTagArray = nullptr;
        return Guarded([&] {
            auto available = AllProps();
            LPVOID block = nullptr;
            if (MAPIAllocateBuffer(static_cast<ULONG>(CbNewSPropTagArray(available.size() + 1)),
                                   &block) != S_OK)
                throw std::bad_alloc();
            auto tags = static_cast<LPSPropTagArray>(block);
            tags->cValues = static_cast<ULONG>(available.size());
            for (size_t i = 0; i < available.size(); ++i) tags->aulPropTag[i] = available[i].tag;
            *lppPropTagArray = tags;
            return S_OK;
        });
    }

    STDMETHODIMP OpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions,
                              ULONG ulFlags, LPUNKNOWN* lppUnk) override {
        if (!lppUnk || !lpiid) return MAPI_E_INVALID_PARAMETER;
        *lppUnk = nullptr;
        if (*lpiid != IID_IStream) return MAPI_E_INTERFACE_NOT_SUPPORTED;
        ULONG type = PROP_TYPE(ulPropTag);
        if (type != PT_BINARY && type != PT_UNICODE && type != PT_STRING8) return MAPI_E_INVALID_TYPE;
        if (IsComputed(ulPropTag)) return MAPI_E_NO_ACCESS;
        bool create = (ulFlags & MAPI_CREATE) || (ulInterfaceOptions & STGM_CREATE);
        bool write = create || (ulFlags & MAPI_MODIFY) ||
                     (ulInterfaceOptions & (STGM_WRITE | STGM_READWRITE));
        if (write && !m_writable) return MAPI_E_NO_ACCESS;
        return Guarded([&] {
            std::vector<std::uint8_t> data;
            if (!create) {
                auto available = AllProps();
                const StoredProp* found = nullptr;
                for (const auto& prop : available)
                    if (PROP_ID(prop.tag) == PROP_ID(ulPropTag) && PROP_TYPE(prop.tag) == type) found = &prop;
                if (!found) throw MapiError(MAPI_E_NOT_FOUND);
                data = found->value;
            } else {
                AllProps();  // the object must still be there
            }
            PropertyStream::SaveFunction save;
            if (write) {
                save = [this, ulPropTag](const std::vector<std::uint8_t>& bytes) {
                    return Guarded([&] {
                        WriteProps({StoredProp{ulPropTag, bytes}}, {});
                        return S_OK;
                    });
                };
            }
            // A writing stream keeps its object alive until it has saved.
            IUnknown* owner = write ? static_cast<Interface*>(this) : nullptr;
            *lppUnk = new PropertyStream(std::move(data), std::move(save), create, owner);
            return S_OK;
        });
    }

    STDMETHODIMP SetProps(ULONG cValues, LPSPropValue lpPropArray,
                          LPSPropProblemArray* lppProblems) override {
        if (lppProblems) *lppProblems = nullptr;
        if (!lpPropArray && cValues) return MAPI_E_INVALID_PARAMETER;
        if (!m_writable) return MAPI_E_NO_ACCESS;
        return Guarded([&] {
            std::vector<StoredProp> set;
            for (ULONG i = 0; i < cValues; ++i) {
                if (IsComputed(lpPropArray[i].ulPropTag)) continue;
                set.push_back(FromPropValue(lpPropArray[i]));
            }
            WriteProps(set, {});
            return S_OK;
        });
    }

    STDMETHODIMP DeleteProps(LPSPropTagArray lpPropTagArray,
                             LPSPropProblemArray* lppProblems) override {
        if (lppProblems) *lppProblems = nullptr;
        if (!lpPropTagArray) return MAPI_E_INVALID_PARAMETER;
        if (!m_writable) return MAPI_E_NO_ACCESS;
        return Guarded([&] {
            std::vector<ULONG> ids;
            for (ULONG i = 0; i < lpPropTagArray->cValues; ++i)
                if (!IsComputed(lpPropTagArray->aulPropTag[i]))
                    ids.push_back(PROP_ID(lpPropTagArray->aulPropTag[i]));
            WriteProps({}, ids);
            return S_OK;
        });
    }

protected:
    // Every value the object has, stored and computed; MapiError when it is gone.
    virtual std::vector<StoredProp> AllProps() = 0;
    // Writes values and removes property ids, then tells the sinks.
    virtual void WriteProps(const std::vector<StoredProp>& set, const std::vector<ULONG>& removeIds) = 0;

    StoreContext m_context;
    bool m_writable;
};

}  // namespace emu::cemapi

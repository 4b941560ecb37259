// The address book's library: WABOpen and the objects it hands out. Objects serve the machine
// that was current when WABOpen was called; every call holds the book's lock.
#include <wab.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "book.h"
#include "buffers.h"
#include "entry_ids.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"

using namespace emu::wab;

namespace {

// Reference counting shared by the library's objects.
template <class Interface>
class Object : public Interface {
public:
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG references = --m_references;
        if (references == 0) delete this;
        return references;
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }

protected:
    virtual ~Object() = default;

private:
    std::atomic<ULONG> m_references{1};
};

// The placeholder slots of IMAPIProp.
template <class Interface>
class PropObject : public Object<Interface> {
public:
    STDMETHODIMP Reserved3() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved6() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved7() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved10() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved11() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved12() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved13() override { return E_NOTIMPL; }
};

// A property's value into `out`, its bytes chained to `parent`. False when memory ran out.
bool FillValue(const Property& prop, SPropValue& out, void* parent) {
    out.ulPropTag = prop.tag;
    out.dwAlignPad = 0;
    ULONG type = PROP_TYPE(prop.tag);
    auto copy = [&](const std::string& item, bool terminate) -> LPBYTE {
        auto* bytes = static_cast<LPBYTE>(AllocateChained(item.size() + (terminate ? 1 : 0),
                                                          parent));
        if (bytes && !item.empty()) std::memcpy(bytes, item.data(), item.size());
        return bytes;
    };
    switch (type) {
        case PT_STRING8: {
            std::string text = prop.items.empty() ? std::string() : prop.items.front();
            out.Value.lpszA = reinterpret_cast<LPSTR>(copy(text, true));
            return out.Value.lpszA != nullptr;
        }
        case PT_BINARY: {
            std::string bytes = prop.items.empty() ? std::string() : prop.items.front();
            out.Value.bin.cb = static_cast<ULONG>(bytes.size());
            out.Value.bin.lpb = copy(bytes, true);
            return out.Value.bin.lpb != nullptr;
        }
        case PT_MV_STRING8: {
            auto** list = static_cast<LPSTR*>(
                AllocateChained(sizeof(LPSTR) * std::max<size_t>(prop.items.size(), 1), parent));
            if (!list) return false;
            for (size_t i = 0; i < prop.items.size(); ++i) {
                list[i] = reinterpret_cast<LPSTR>(copy(prop.items[i], true));
                if (!list[i]) return false;
            }
            out.Value.MVszA.cValues = static_cast<ULONG>(prop.items.size());
            out.Value.MVszA.lppszA = list;
            return true;
        }
        case PT_MV_BINARY: {
            auto* list = static_cast<SBinary*>(
                AllocateChained(sizeof(SBinary) * std::max<size_t>(prop.items.size(), 1), parent));
            if (!list) return false;
            for (size_t i = 0; i < prop.items.size(); ++i) {
                list[i].cb = static_cast<ULONG>(prop.items[i].size());
                list[i].lpb = copy(prop.items[i], true);
                if (!list[i].lpb) return false;
            }
            out.Value.MVbin.cValues = static_cast<ULONG>(prop.items.size());
            out.Value.MVbin.lpbin = list;
            return true;
        }
        case PT_I2:
        case PT_BOOLEAN:
            out.Value.i = static_cast<short>(prop.number);
            return true;
        case PT_LONG:
        case PT_ERROR:
            out.Value.l = static_cast<LONG>(prop.number);
            return true;
        case PT_SYSTIME:
            out.Value.ft.dwLowDateTime = static_cast<DWORD>(prop.number);
            out.Value.ft.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(prop.number) >> 32);
            return true;
        default:
            out.Value.li = prop.number;
            return true;
    }
}

// A caller's value as a property; nothing for types the book does not keep.
std::optional<Property> PropertyOf(const SPropValue& value) {
    Property prop;
    prop.tag = value.ulPropTag;
    switch (PROP_TYPE(value.ulPropTag)) {
        case PT_STRING8:
            if (!value.Value.lpszA) return std::nullopt;
            prop.items.emplace_back(value.Value.lpszA);
            return prop;
        case PT_BINARY:
            prop.items.emplace_back(reinterpret_cast<const char*>(value.Value.bin.lpb),
                                    value.Value.bin.lpb ? value.Value.bin.cb : 0);
            return prop;
        case PT_MV_STRING8:
            for (ULONG i = 0; i < value.Value.MVszA.cValues; ++i) {
                if (!value.Value.MVszA.lppszA[i]) return std::nullopt;
                prop.items.emplace_back(value.Value.MVszA.lppszA[i]);
            }
            return prop;
        case PT_MV_BINARY:
            for (ULONG i = 0; i < value.Value.MVbin.cValues; ++i) {
                const SBinary& bin = value.Value.MVbin.lpbin[i];
                prop.items.emplace_back(reinterpret_cast<const char*>(bin.lpb), bin.lpb ? bin.cb : 0);
            }
            return prop;
        case PT_I2:
        case PT_BOOLEAN:
            prop.number = value.Value.i;
            return prop;
        case PT_LONG:
            prop.number = value.Value.l;
            return prop;
        case PT_SYSTIME:
            prop.number = static_cast<std::int64_t>(
                (std::uint64_t{value.Value.ft.dwHighDateTime} << 32) | value.Value.ft.dwLowDateTime);
            return prop;
        case PT_DOUBLE:
        case PT_I8:
            prop.number = value.Value.li;
            return prop;
        default:
            return std::nullopt;
    }
}

std::string Bytes(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The properties a caller sees of an entry: its own, then its identifier, type and folders.
std::vector<Property> VisibleProps(const Entry& entry) {
    std::vector<Property> props = entry.props;
    props.push_back(Property::Text(PR_ENTRYID, Bytes(MakeEntryId(kIdEntry, entry.id))));
    props.push_back(Property::Number(PR_OBJECT_TYPE, entry.type));
    if (!entry.folders.empty()) {
        std::vector<std::string> folders;
        for (std::uint32_t folder : entry.folders) folders.push_back(Bytes(MakeEntryId(kIdEntry, folder)));
        props.push_back(Property::List(PR_WAB_FOLDER_PARENT, std::move(folders)));
    }
    return props;
}

// GetProps over a property list: all of them, or the listed ones with PT_ERROR for the missing.
HRESULT AnswerProps(const std::vector<Property>& props, LPSPropTagArray tags, ULONG* count,
                    LPSPropValue* array) {
    if (!count || !array) return E_INVALIDARG;
    *count = 0;
    *array = nullptr;
    std::vector<Property> answer;
    bool missing = false;
    if (!tags) {
        answer = props;
    } else {
        for (ULONG i = 0; i < tags->cValues; ++i) {
            ULONG tag = tags->aulPropTag[i];
            auto found = std::find_if(props.begin(), props.end(),
                                      [&](const Property& p) { return p.tag == tag; });
            if (found != props.end()) {
                answer.push_back(*found);
            } else {
                missing = true;
                answer.push_back(Property::Number(PROP_TAG(PT_ERROR, PROP_ID(tag)),
                                                  MAPI_E_NOT_FOUND));
            }
        }
    }
    auto* values = static_cast<LPSPropValue>(
        AllocateBlock(sizeof(SPropValue) * std::max<size_t>(answer.size(), 1)));
    if (!values) return E_OUTOFMEMORY;
    for (size_t i = 0; i < answer.size(); ++i)
        if (!FillValue(answer[i], values[i], values)) {
            FreeBlock(values);
            return E_OUTOFMEMORY;
        }
    *count = static_cast<ULONG>(answer.size());
    *array = values;
    return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
}

class Table final : public Object<IMAPITable> {
public:
    explicit Table(std::vector<std::vector<Property>> rows) : m_rows(std::move(rows)) {
        TableOpened();
    }
    ~Table() override { TableClosed(); }

    STDMETHODIMP Reserved3() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved4() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved5() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved6() override { return E_NOTIMPL; }
    STDMETHODIMP SetColumns(LPSPropTagArray tags, ULONG) override {
        if (!tags) return E_INVALIDARG;
        m_columns.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
        return S_OK;
    }
    STDMETHODIMP Reserved8() override { return E_NOTIMPL; }
    STDMETHODIMP GetRowCount(ULONG, ULONG* count) override {
        if (!count) return E_INVALIDARG;
        *count = static_cast<ULONG>(m_rows.size());
        return S_OK;
    }
    STDMETHODIMP SeekRow(ULONG origin, LONG rows, LONG* sought) override {
        if (origin != BOOKMARK_BEGINNING || rows < 0) return E_INVALIDARG;
        m_at = std::min<size_t>(static_cast<size_t>(rows), m_rows.size());
        if (sought) *sought = static_cast<LONG>(m_at);
        return S_OK;
    }
    STDMETHODIMP Reserved11() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved12() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved13() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved14() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved15() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved16() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved17() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved18() override { return E_NOTIMPL; }
    STDMETHODIMP QueryRows(LONG count, ULONG, LPSRowSet* result) override {
        if (!result || count < 0) return E_INVALIDARG;
        *result = nullptr;
        size_t take = std::min<size_t>(static_cast<size_t>(count), m_rows.size() - m_at);
        auto* set = static_cast<LPSRowSet>(AllocateBlock(CbNewSRowSet(std::max<size_t>(take, 1))));
        if (!set) return E_OUTOFMEMORY;
        set->cRows = 0;
        for (size_t i = 0; i < take; ++i) {
            std::vector<ULONG> columns = m_columns;
            if (columns.empty())
                for (const Property& prop : m_rows[m_at]) columns.push_back(prop.tag);
            SPropTagArray* tags = static_cast<SPropTagArray*>(
                ::operator new(CbNewSPropTagArray(columns.size()), std::nothrow));
            if (!tags) break;
            tags->cValues = static_cast<ULONG>(columns.size());
            std::copy(columns.begin(), columns.end(), tags->aulPropTag);
            ULONG values = 0;
            LPSPropValue props = nullptr;
            HRESULT answered = AnswerProps(m_rows[m_at], tags, &values, &props);
            ::operator delete(tags);
            if (FAILED(answered)) break;
            set->aRow[i].ulAdrEntryPad = 0;
            set->aRow[i].cValues = values;
            set->aRow[i].lpProps = props;
            ++set->cRows;
            ++m_at;
        }
        if (set->cRows < take) {
            for (ULONG i = 0; i < set->cRows; ++i) FreeBlock(set->aRow[i].lpProps);
            FreeBlock(set);
            return E_OUTOFMEMORY;
        }
        *result = set;
        return S_OK;
    }

private:
    std::vector<std::vector<Property>> m_rows;
    std::vector<ULONG> m_columns;
    size_t m_at = 0;
};

// An entry of the book (contact, group or folder), or a new contact not yet saved.
class MailUser final : public PropObject<IMailUser> {
public:
    MailUser(pal::Machine& machine, Entry entry, bool isNew, bool writable)
        : m_machine(machine), m_entry(std::move(entry)), m_new(isNew), m_writable(writable) {}

    STDMETHODIMP SaveChanges(ULONG) override {
        if (!m_writable) return MAPI_E_NO_ACCESS;
        Book& book = m_machine.Get<Book>();
        std::lock_guard<std::recursive_mutex> guard(book.Lock());
        try {
            if (m_new) {
                m_entry.id = book.Insert(m_entry);
                m_new = false;
                std::optional<Entry> stored = book.Load(m_entry.id);
                if (stored) m_entry = *stored;
                return S_OK;
            }
            return book.Store(m_entry) ? S_OK : MAPI_E_NOT_FOUND;
        } catch (const std::exception&) {
            return MAPI_E_CALL_FAILED;
        }
    }
    STDMETHODIMP GetProps(LPSPropTagArray tags, ULONG, ULONG* count, LPSPropValue* array) override {
        std::vector<Property> props = m_entry.props;
        if (!m_new) props = VisibleProps(m_entry);
        return AnswerProps(props, tags, count, array);
    }
    STDMETHODIMP SetProps(ULONG count, LPSPropValue values, LPVOID) override {
        if (!m_writable) return MAPI_E_NO_ACCESS;
        if (count && !values) return E_INVALIDARG;
        for (ULONG i = 0; i < count; ++i) {
            ULONG tag = values[i].ulPropTag;
            if (tag == PR_ENTRYID || tag == PR_OBJECT_TYPE || tag == PR_LAST_MODIFICATION_TIME ||
                tag == PR_WAB_FOLDER_PARENT)
                continue;
            std::optional<Property> prop = PropertyOf(values[i]);
            if (!prop) return E_INVALIDARG;
            auto& list = m_entry.props;
            auto same = std::find_if(list.begin(), list.end(),
                                     [&](const Property& p) { return p.tag == tag; });
            if (same != list.end())
                *same = *prop;
            else
                list.push_back(*prop);
        }
        return S_OK;
    }
    STDMETHODIMP DeleteProps(LPSPropTagArray tags, LPVOID) override {
        if (!m_writable) return MAPI_E_NO_ACCESS;
        if (!tags) return E_INVALIDARG;
        std::erase_if(m_entry.props, [&](const Property& p) {
            return std::find(tags->aulPropTag, tags->aulPropTag + tags->cValues, p.tag) !=
                   tags->aulPropTag + tags->cValues;
        });
        return S_OK;
    }

private:
    pal::Machine& m_machine;
    Entry m_entry;
    bool m_new;
    bool m_writable;
};

// The root container and the personal address book: both list every entry.
class Container final : public PropObject<IABContainer> {
public:
    Container(pal::Machine& machine, std::uint32_t kind) : m_machine(machine), m_kind(kind) {}

    STDMETHODIMP SaveChanges(ULONG) override { return S_OK; }
    STDMETHODIMP GetProps(LPSPropTagArray tags, ULONG, ULONG* count, LPSPropValue* array) override {
        std::vector<Property> props = {
            Property::Text(PR_ENTRYID, Bytes(MakeEntryId(m_kind, 0))),
            Property::Number(PR_OBJECT_TYPE, MAPI_ABCONT),
            Property::Text(PR_DISPLAY_NAME_A, m_kind == kIdPab ? "Contacts" : "Address Book"),
            Property::Text(PR_DEF_CREATE_MAILUSER, Bytes(MakeEntryId(kIdTemplate, kContact))),
        };
        return AnswerProps(props, tags, count, array);
    }
    STDMETHODIMP SetProps(ULONG, LPSPropValue, LPVOID) override { return MAPI_E_NO_ACCESS; }
    STDMETHODIMP DeleteProps(LPSPropTagArray, LPVOID) override { return MAPI_E_NO_ACCESS; }

    STDMETHODIMP GetContentsTable(ULONG, IMAPITable** table) override {
        return MakeTable(table, [](const Entry& e) { return e.type != kFolder; });
    }
    STDMETHODIMP GetHierarchyTable(ULONG, IMAPITable** table) override {
        return MakeTable(table, [](const Entry& e) { return e.type == kFolder; });
    }
    STDMETHODIMP Reserved16() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved17() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved18() override { return E_NOTIMPL; }
    STDMETHODIMP CreateEntry(ULONG size, LPBYTE id, ULONG, IMAPIProp** entry) override {
        if (!entry) return E_INVALIDARG;
        *entry = nullptr;
        std::optional<ParsedId> parsed = ParseEntryId(id, size);
        if (!parsed || parsed->kind != kIdTemplate || parsed->number != kContact)
            return MAPI_E_INVALID_ENTRYID;
        Entry fresh;
        fresh.type = kContact;
        *entry = new (std::nothrow) MailUser(m_machine, std::move(fresh), true, true);
        return *entry ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP Reserved20() override { return E_NOTIMPL; }
    STDMETHODIMP DeleteEntries(LPENTRYLIST list, ULONG) override {
        if (!list) return E_INVALIDARG;
        Book& book = m_machine.Get<Book>();
        std::lock_guard<std::recursive_mutex> guard(book.Lock());
        HRESULT result = S_OK;
        try {
            for (ULONG i = 0; i < list->cValues; ++i) {
                std::optional<ParsedId> parsed =
                    ParseEntryId(list->lpbin[i].lpb, list->lpbin[i].cb);
                if (!parsed || parsed->kind != kIdEntry || !book.Remove(parsed->number))
                    result = MAPI_E_NOT_FOUND;
            }
        } catch (const std::exception&) {
            return MAPI_E_CALL_FAILED;
        }
        return result;
    }

private:
    template <class Filter>
    HRESULT MakeTable(IMAPITable** table, Filter filter) {
        if (!table) return E_INVALIDARG;
        *table = nullptr;
        Book& book = m_machine.Get<Book>();
        std::lock_guard<std::recursive_mutex> guard(book.Lock());
        std::vector<std::vector<Property>> rows;
        try {
            for (const Entry& entry : book.All())
                if (filter(entry)) rows.push_back(VisibleProps(entry));
        } catch (const std::exception&) {
            return MAPI_E_CALL_FAILED;
        }
        *table = new (std::nothrow) Table(std::move(rows));
        return *table ? S_OK : E_OUTOFMEMORY;
    }

    pal::Machine& m_machine;
    std::uint32_t m_kind;
};

class WabObject final : public Object<IWABObject> {
public:
    STDMETHODIMP Reserved3() override { return E_NOTIMPL; }
    STDMETHODIMP AllocateBuffer(ULONG size, LPVOID* buffer) override {
        if (!buffer) return E_INVALIDARG;
        *buffer = AllocateBlock(size);
        return *buffer ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP AllocateMore(ULONG size, LPVOID parent, LPVOID* buffer) override {
        if (!buffer || !parent) return E_INVALIDARG;
        *buffer = AllocateChained(size, parent);
        return *buffer ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP FreeBuffer(LPVOID buffer) override {
        FreeBlock(buffer);
        return S_OK;
    }
};

class AddrBook final : public PropObject<IAddrBook> {
public:
    explicit AddrBook(pal::Machine& machine) : m_machine(machine) {}
    ~AddrBook() override {
        Book& book = m_machine.Get<Book>();
        std::lock_guard<std::recursive_mutex> guard(book.Lock());
        for (ULONG connection : m_connections) book.Unadvise(connection);
    }

    STDMETHODIMP SaveChanges(ULONG) override { return S_OK; }
    STDMETHODIMP GetProps(LPSPropTagArray tags, ULONG, ULONG* count, LPSPropValue* array) override {
        return AnswerProps({}, tags, count, array);
    }
    STDMETHODIMP SetProps(ULONG, LPSPropValue, LPVOID) override { return MAPI_E_NO_ACCESS; }
    STDMETHODIMP DeleteProps(LPSPropTagArray, LPVOID) override { return MAPI_E_NO_ACCESS; }

    STDMETHODIMP OpenEntry(ULONG size, LPBYTE id, LPVOID, ULONG flags, ULONG* type,
                           IUnknown** object) override {
        if (!object) return E_INVALIDARG;
        *object = nullptr;
        if (size == 0 || !id) return Answer(new (std::nothrow) Container(m_machine, kIdRoot),
                                            MAPI_ABCONT, type, object);
        std::optional<ParsedId> parsed = ParseEntryId(id, size);
        if (!parsed) return MAPI_E_INVALID_ENTRYID;
        if (parsed->kind == kIdRoot || parsed->kind == kIdPab)
            return Answer(new (std::nothrow) Container(m_machine, parsed->kind), MAPI_ABCONT, type,
                          object);
        if (parsed->kind != kIdEntry) return MAPI_E_INVALID_ENTRYID;
        Book& book = m_machine.Get<Book>();
        std::lock_guard<std::recursive_mutex> guard(book.Lock());
        std::optional<Entry> entry;
        try {
            entry = book.Load(parsed->number);
        } catch (const std::exception&) {
            return MAPI_E_CALL_FAILED;
        }
        if (!entry) return MAPI_E_NOT_FOUND;
        int entryType = entry->type;
        bool writable = (flags & (MAPI_MODIFY | MAPI_BEST_ACCESS)) != 0;
        return Answer(new (std::nothrow) MailUser(m_machine, std::move(*entry), false, writable),
                      static_cast<ULONG>(entryType), type, object);
    }
    STDMETHODIMP Reserved15() override { return E_NOTIMPL; }
    STDMETHODIMP Advise(ULONG size, LPBYTE id, ULONG mask, LPMAPIADVISESINK sink,
                        ULONG* connection) override {
        if (!sink || !connection || (size && !id) || !(mask & fnevObjectModified))
            return E_INVALIDARG;
        Book& book = m_machine.Get<Book>();
        std::lock_guard<std::recursive_mutex> guard(book.Lock());
        *connection = book.Advise(sink);
        m_connections.push_back(*connection);
        return S_OK;
    }
    STDMETHODIMP Unadvise(ULONG connection) override {
        Book& book = m_machine.Get<Book>();
        std::lock_guard<std::recursive_mutex> guard(book.Lock());
        auto at = std::find(m_connections.begin(), m_connections.end(), connection);
        if (at == m_connections.end()) return MAPI_E_NOT_FOUND;
        m_connections.erase(at);
        book.Unadvise(connection);
        return S_OK;
    }
    STDMETHODIMP Reserved18() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved19() override { return E_NOTIMPL; }
    STDMETHODIMP ResolveName(ULONG_PTR, ULONG, LPSTR, LPADRLIST list) override {
        if (!list) return E_INVALIDARG;
        Book& book = m_machine.Get<Book>();
        std::lock_guard<std::recursive_mutex> guard(book.Lock());
        std::vector<Entry> entries;
        try {
            entries = book.All();
        } catch (const std::exception&) {
            return MAPI_E_CALL_FAILED;
        }
        HRESULT result = S_OK;
        for (ULONG i = 0; i < list->cEntries; ++i) {
            ADRENTRY& row = list->aEntries[i];
            const char* name = nullptr;
            for (ULONG v = 0; v < row.cValues && row.lpProps; ++v)
                if (row.lpProps[v].ulPropTag == PR_DISPLAY_NAME_A) name = row.lpProps[v].Value.lpszA;
            if (!name) return E_INVALIDARG;
            const Entry* match = nullptr;
            int matches = 0;
            for (const Entry& entry : entries)
                if (entry.type != kFolder && lstrcmpiA(entry.TextOf(PR_DISPLAY_NAME_A).c_str(), name) == 0) {
                    match = &entry;
                    ++matches;
                }
            if (matches == 0) {
                result = MAPI_E_NOT_FOUND;
                continue;
            }
            if (matches > 1) {
                result = MAPI_E_AMBIGUOUS_RECIP;
                continue;
            }
            std::vector<Property> resolved = {
                Property::Text(PR_DISPLAY_NAME_A, match->TextOf(PR_DISPLAY_NAME_A)),
                Property::Text(PR_ENTRYID, Bytes(MakeEntryId(kIdEntry, match->id))),
                Property::Number(PR_OBJECT_TYPE, match->type)};
            ULONG count = 0;
            LPSPropValue props = nullptr;
            HRESULT answered = AnswerProps(resolved, nullptr, &count, &props);
            if (FAILED(answered)) return answered;
            // The row's old properties were the caller's AllocateBuffer block.
            FreeBlock(row.lpProps);
            row.lpProps = props;
            row.cValues = count;
        }
        return result;
    }
    STDMETHODIMP Reserved21() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved22() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved23() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved24() override { return E_NOTIMPL; }
    STDMETHODIMP GetPAB(ULONG* size, LPBYTE* id) override {
        if (!size || !id) return E_INVALIDARG;
        std::vector<std::uint8_t> pab = MakeEntryId(kIdPab, 0);
        *id = static_cast<LPBYTE>(AllocateBlock(pab.size()));
        if (!*id) return E_OUTOFMEMORY;
        std::memcpy(*id, pab.data(), pab.size());
        *size = static_cast<ULONG>(pab.size());
        return S_OK;
    }

private:
    template <class T>
    static HRESULT Answer(T* made, ULONG objectType, ULONG* type, IUnknown** object) {
        if (!made) return E_OUTOFMEMORY;
        *object = made;
        if (type) *type = objectType;
        return S_OK;
    }

    pal::Machine& m_machine;
    std::vector<ULONG> m_connections;
};

}  // namespace

// Opens the current user's book. Both outputs are set on success only; a user without a usable
// book file gets E_FAIL.
PAL_EXPORT HRESULT WABOpen(LPADRBOOK* book, LPWABOBJECT* wab, LPWAB_PARAM param, DWORD) {
    if (!book || !wab) return E_INVALIDARG;
    *book = nullptr;
    *wab = nullptr;
    if (param && param->cbSize < WAB_PARAM_SIZE) return E_INVALIDARG;
    pal::Machine& machine = pal::CurrentMachine();
    try {
        Book& store = machine.Get<Book>();
        std::lock_guard<std::recursive_mutex> guard(store.Lock());
        store.All();
    } catch (const std::exception&) {
        return E_FAIL;
    }
    auto* addrBook = new (std::nothrow) AddrBook(machine);
    auto* object = new (std::nothrow) WabObject();
    if (!addrBook || !object) {
        if (addrBook) addrBook->Release();
        if (object) object->Release();
        return E_OUTOFMEMORY;
    }
    *book = addrBook;
    *wab = object;
    return S_OK;
}

// FindResource, LoadResource, LockResource, SizeofResource. A resource handle is the address of
// the resource's record header in the module's data; LoadResource answers the address of its
// data, which LockResource hands back unchanged.
#include "module_resources.h"
#include "pal/resources.h"

namespace {

const pal::ResourceEntry* EntryOf(const pal::ResourceData& data, HRSRC resource) {
    auto address = reinterpret_cast<const BYTE*>(resource);
    auto bytes = data.Bytes();
    const pal::ResourceEntry* entry = nullptr;
    if (address >= bytes.data() && address < bytes.data() + bytes.size())
        entry = data.AtOffset(static_cast<size_t>(address - bytes.data()));
    if (!entry) SetLastError(ERROR_INVALID_HANDLE);
    return entry;
}

HRSRC Find(HMODULE module, const pal::ResourceId& name, const pal::ResourceId& type) {
    auto data = pal::ModuleResources(module);
    if (!data) return nullptr;
    const pal::ResourceEntry* entry = pal::FindEntry(*data, type, name);
    if (!entry) return nullptr;
    return reinterpret_cast<HRSRC>(const_cast<BYTE*>(data->Bytes().data() + entry->offset));
}

}  // namespace

HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    return Find(hModule, pal::ResourceId::FromArgument(lpName),
                pal::ResourceId::FromArgument(lpType));
}

HRSRC FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) {
    return Find(hModule, pal::ResourceId::FromArgument(lpName),
                pal::ResourceId::FromArgument(lpType));
}

HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo) {
    auto data = pal::ModuleResources(hModule);
    if (!data) return nullptr;
    const pal::ResourceEntry* entry = EntryOf(*data, hResInfo);
    if (!entry) return nullptr;
    return const_cast<BYTE*>(entry->data.data());
}

LPVOID LockResource(HGLOBAL hResData) { return hResData; }

DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo) {
    auto data = pal::ModuleResources(hModule);
    if (!data) return 0;
    const pal::ResourceEntry* entry = EntryOf(*data, hResInfo);
    return entry ? static_cast<DWORD>(entry->data.size()) : 0;
}

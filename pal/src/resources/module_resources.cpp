#include "module_resources.h"

#include "pal/errors.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/module.h"
#include "pal/runtime/process.h"

namespace pal {

std::optional<ResourceData> ModuleResources(HMODULE handle) {
    auto& modules = CurrentProcess().Get<ModuleTable>();
    Module* module = handle ? modules.Find(handle) : modules.FindByPath(CurrentProcess().ExePath());
    if (!module) {
        SetLastError(handle ? ERROR_INVALID_HANDLE : ERROR_RESOURCE_DATA_NOT_FOUND);
        return std::nullopt;
    }
    auto bytes = module->ResourceData();
    if (bytes.empty()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return std::nullopt;
    }
    try {
        return ResourceData(bytes);
    } catch (const ResourceFormatError&) {
        SetLastError(ERROR_INVALID_DATA);
        return std::nullopt;
    }
}

WORD PreferredLanguage() { return static_cast<WORD>(CurrentMachine().Config().locale & 0xFFFF); }

const ResourceEntry* FindEntry(const ResourceData& data, const ResourceId& type,
                               const ResourceId& name) {
    if (!data.HasType(type)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    const ResourceEntry* entry = data.Find(type, name, PreferredLanguage());
    if (!entry) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return entry;
}

std::u16string TextFromBytes(std::span<const BYTE> bytes) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return text;
}

}  // namespace pal

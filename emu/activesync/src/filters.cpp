#include "activesync/filters.h"

#include <dlfcn.h>

#include <filesystem>
#include <stdexcept>

#include "activesync/partnerships.h"
#include "pal/runtime/module_install.h"
#include "pal/runtime/registry_store.h"

namespace activesync {

namespace {

std::u16string ClassKey(std::u16string_view classText) {
    return u"HKCR\\CLSID\\" + std::u16string(classText);
}

void CheckClassText(std::u16string_view classText) {
    if (classText.size() != 38 || classText.front() != u'{' || classText.back() != u'}')
        throw std::invalid_argument(
            "a filter class is written {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
}

// The partnership's "Filters" key path; throws when the desktop lacks the partnership.
std::u16string FiltersKey(pal::RegistryStore& registry, DWORD partnership) {
    std::u16string key = PartnershipKeyPath(partnership);
    if (!partnership || !registry.KeyExists(key))
        throw PartnershipError("the desktop has no such partnership");
    return key + u"\\Filters";
}

std::u16string ReadString(pal::RegistryStore& registry, std::u16string_view key,
                          std::u16string_view name) {
    auto value = registry.GetValue(key, name);
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return {};
    std::u16string text;
    for (size_t i = 0; i + 1 < value->data.size(); i += 2) {
        auto unit = static_cast<char16_t>(value->data[i] | value->data[i + 1] << 8);
        if (!unit) break;
        text += unit;
    }
    return text;
}

const char16_t* ValueName(FilterDirection direction) {
    return direction == FilterDirection::Import ? u"DefaultImport" : u"DefaultExport";
}

// The folder holding the built modules: the one this library was loaded from.
std::filesystem::path ModuleFolder() {
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<void*>(&InstallTextFilter), &info) || !info.dli_fname)
        throw std::runtime_error("sync engine: cannot locate its own library");
    return std::filesystem::path(info.dli_fname).parent_path();
}

}  // namespace

void RegisterFilterClass(pal::Machine& desktop, std::u16string_view classText,
                         std::u16string_view description, FilterDirection direction,
                         std::u16string_view newExtension) {
    CheckClassText(classText);
    if (!newExtension.empty() && newExtension.front() == u'.')
        throw std::invalid_argument("a new extension is written without its dot");
    pal::RegistryStore registry(desktop);
    std::u16string key = ClassKey(classText) + u"\\PegasusFilter";
    registry.CreateKey(key);
    registry.SetString(key, u"Description", description);
    registry.DeleteValue(key, u"Import");
    registry.DeleteValue(key, u"Export");
    registry.SetString(key, direction == FilterDirection::Import ? u"Import" : u"Export", u"");
    if (newExtension.empty())
        registry.DeleteValue(key, u"NewExtension");
    else
        registry.SetString(key, u"NewExtension", newExtension);
    registry.Flush();
}

void SetExtensionFilter(pal::Machine& desktop, DWORD partnership, std::u16string_view extension,
                        FilterDirection direction, std::u16string_view filter) {
    if (extension.size() < 2 || extension.front() != u'.' ||
        extension.find(u'\\') != std::u16string_view::npos)
        throw std::invalid_argument("an extension is written with its dot, e.g. .txt");
    pal::RegistryStore registry(desktop);
    std::u16string key = FiltersKey(registry, partnership) + u"\\" + std::u16string(extension);
    if (filter.empty()) {
        registry.DeleteValue(key, ValueName(direction));
    } else {
        registry.CreateKey(key);
        registry.SetString(key, ValueName(direction), filter);
    }
    registry.Flush();
}

void SetConversionEnabled(pal::Machine& desktop, DWORD partnership, bool enabled) {
    pal::RegistryStore registry(desktop);
    registry.SetDword(FiltersKey(registry, partnership), u"EnableConversion", enabled ? 1 : 0);
    registry.Flush();
}

PartnershipFilters ListFilters(pal::Machine& desktop, DWORD partnership) {
    pal::RegistryStore registry(desktop);
    std::u16string key = FiltersKey(registry, partnership);
    PartnershipFilters filters;
    if (!registry.KeyExists(key)) return filters;
    auto enable = registry.GetValue(key, u"EnableConversion");
    if (enable && enable->data.size() >= 4)
        filters.enableConversion =
            static_cast<DWORD>(enable->data[0] | enable->data[1] << 8 | enable->data[2] << 16 |
                               static_cast<DWORD>(enable->data[3]) << 24);
    for (auto& name : registry.SubkeyNames(key)) {
        std::u16string sub = key + u"\\" + name;
        filters.extensions.push_back({name, ReadString(registry, sub, u"DefaultImport"),
                                      ReadString(registry, sub, u"DefaultExport")});
    }
    return filters;
}

void InstallTextFilter(pal::Machine& desktop) {
    if (!desktop.IsDesktop()) throw std::runtime_error("the sample filter installs on a desktop");
    pal::InstallModule(desktop, ModuleFolder() / "activesync_textfilter.so", kTextFilterPath);
    pal::RegistryStore registry(desktop);
    for (auto classText : {kTextToDeviceClass, kDeviceToTextClass}) {
        std::u16string server = ClassKey(classText) + u"\\InprocServer32";
        registry.SetString(server, u"", kTextFilterPath);
        registry.SetString(server, u"ThreadingModel", u"Apartment");
    }
    RegisterFilterClass(desktop, kTextToDeviceClass, u"Plain text to device text",
                        FilterDirection::Import, u"vtx");
    RegisterFilterClass(desktop, kDeviceToTextClass, u"Device text to plain text",
                        FilterDirection::Export, u"txt");
}

}  // namespace activesync

// Feeds arbitrary text to the hive parser. Whatever it accepts must be written back to a text it
// reads again into the same keys and values: format(parse(format(parse(x)))) == format(parse(x)).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "pal/runtime/registry_store.h"
#include "reg_file.h"

namespace {

std::u16string Format(const pal::reg::Key& root) {
    return pal::reg::FormatHive(root, u"HKEY_LOCAL_MACHINE");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    pal::reg::Key root;
    try {
        pal::reg::ParseHive(text, u"HKEY_LOCAL_MACHINE", root, "fuzz.reg");
    } catch (const pal::RegistryError&) {
        return 0;
    }
    std::u16string written = Format(root);
    pal::reg::Key again;
    try {
        pal::reg::ParseHive(written, u"HKEY_LOCAL_MACHINE", again, "written.reg");
    } catch (const pal::RegistryError&) {
        std::abort();  // a hive we wrote must load
    }
    if (Format(again) != written) std::abort();
    return 0;
}

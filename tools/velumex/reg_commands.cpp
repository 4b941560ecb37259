// velumex reg query | set | delete: a machine's registry in .reg syntax.
#include <cctype>
#include <iostream>
#include <memory>

#include "cli.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/registry_store.h"

namespace velumex {

namespace {

struct RegArguments {
    std::string machine;
    std::string key;
    std::string name;
    std::string type;
    std::vector<std::string> data;
};

std::u16string FromTerminal(const std::string& text, const char* what) {
    if (!pal::IsValidUtf8(text)) throw CliError(std::string(what) + " is not valid UTF-8");
    return pal::Utf8ToUtf16(text);
}

// .reg text with CRLF line ends as UTF-8 lines for the terminal.
std::string ToTerminal(std::u16string_view text) {
    std::string out;
    for (char c : pal::Utf16ToUtf8(text))
        if (c != '\r') out += c;
    return out;
}

void AppendUtf16(std::vector<BYTE>& data, std::u16string_view text) {
    for (char16_t u : text) {
        data.push_back(static_cast<BYTE>(u & 0xFF));
        data.push_back(static_cast<BYTE>(u >> 8));
    }
    data.push_back(0);
    data.push_back(0);
}

DWORD ParseDword(const std::string& text) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > (hex ? 8u : 10u) ||
        digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
            std::string::npos)
        throw CliError(
            "REG_DWORD data must be a decimal number or 0x followed by hex digits, not '" + text +
            "'");
    unsigned long long value = std::stoull(digits, nullptr, hex ? 16 : 10);
    if (value > 0xFFFFFFFFull) throw CliError("REG_DWORD data " + text + " exceeds 32 bits");
    return static_cast<DWORD>(value);
}

std::vector<BYTE> ParseBinary(const std::vector<std::string>& pieces) {
    std::string digits;
    for (const auto& piece : pieces)
        for (char c : piece) {
            if (c == ' ' || c == ',') continue;
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                throw CliError("REG_BINARY data must be hex digits, not '" + piece + "'");
            digits += c;
        }
    if (digits.size() % 2) throw CliError("REG_BINARY data needs an even number of hex digits");
    std::vector<BYTE> data;
    for (size_t i = 0; i < digits.size(); i += 2)
        data.push_back(static_cast<BYTE>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return data;
}

std::pair<DWORD, std::vector<BYTE>> ParseData(const std::string& type,
                                              const std::vector<std::string>& data) {
    std::vector<BYTE> bytes;
    auto exactlyOne = [&] {
        if (data.size() != 1) throw CliError(type + " takes exactly one DATA");
    };
    if (type == "REG_SZ" || type == "REG_EXPAND_SZ") {
        exactlyOne();
        AppendUtf16(bytes, FromTerminal(data[0], "DATA"));
        return {type == "REG_SZ" ? REG_SZ : REG_EXPAND_SZ, bytes};
    }
    if (type == "REG_MULTI_SZ") {
        for (const auto& text : data) AppendUtf16(bytes, FromTerminal(text, "DATA"));
        bytes.push_back(0);
        bytes.push_back(0);
        return {REG_MULTI_SZ, bytes};
    }
    if (type == "REG_DWORD") {
        exactlyOne();
        DWORD value = ParseDword(data[0]);
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<BYTE>(value >> shift));
        return {REG_DWORD, bytes};
    }
    if (type == "REG_BINARY") return {REG_BINARY, ParseBinary(data)};
    throw CliError("unknown value type '" + type +
                   "' (use REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD or REG_BINARY)");
}

// Runs `work` on the named machine's registry; the world is saved when it closes.
template <class Work>
void WithRegistry(const CliContext& context, const RegArguments& args, Work work) {
    auto world = context.OpenWorld();
    pal::RegistryStore store(context.MachineNamed(*world, args.machine));
    try {
        work(store, FromTerminal(args.key, "KEY"));
    } catch (const pal::RegistryError& e) {
        throw CliError(e.what());
    }
    world->Close();
}

void AddMachineAndKey(CLI::App& command, RegArguments& args) {
    command.add_option("machine", args.machine, "desktop, device or another machine of the world")
        ->required();
    command.add_option("key", args.key, "key path: HKLM\\..., HKCU\\... or HKCR\\...")->required();
}

}  // namespace

void AddRegCommands(CLI::App& app, CliContext& context) {
    auto* reg = app.add_subcommand("reg", "read and change a machine's registry");
    reg->require_subcommand(1);
    auto args = std::make_shared<RegArguments>();

    auto* query = reg->add_subcommand("query",
                                      "print a key (with its subkeys) or one value in "
                                      ".reg syntax");
    AddMachineAndKey(*query, *args);
    auto* queryName = query->add_option("name", args->name, "value name (\"\": the default value)");
    query->callback([&context, args, queryName] {
        WithRegistry(context, *args, [&](pal::RegistryStore& store, const std::u16string& key) {
            std::u16string text = queryName->count()
                                      ? store.ExportValue(key, FromTerminal(args->name, "NAME"))
                                      : store.Export(key);
            std::cout << ToTerminal(text);
        });
    });

    auto* set = reg->add_subcommand("set", "set a value, creating its key when needed");
    AddMachineAndKey(*set, *args);
    set->add_option("name", args->name, "value name (\"\": the default value)")->required();
    set->add_option("type", args->type,
                    "REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD or REG_BINARY")
        ->required();
    set->add_option("data", args->data,
                    "the data: one text (REG_SZ, REG_EXPAND_SZ), one text per string "
                    "(REG_MULTI_SZ), a decimal or 0x-hex number (REG_DWORD), hex bytes "
                    "(REG_BINARY, e.g. 01ab or \"01 ab\")");
    set->callback([&context, args] {
        auto [type, data] = ParseData(args->type, args->data);
        WithRegistry(context, *args, [&](pal::RegistryStore& store, const std::u16string& key) {
            store.SetValue(key, FromTerminal(args->name, "NAME"), type, data);
        });
    });

    auto* del =
        reg->add_subcommand("delete", "delete a key with everything below it, or one value");
    AddMachineAndKey(*del, *args);
    auto* deleteName = del->add_option("name", args->name, "value name (\"\": the default value)");
    del->callback([&context, args, deleteName] {
        WithRegistry(context, *args, [&](pal::RegistryStore& store, const std::u16string& key) {
            if (deleteName->count()) {
                if (!store.DeleteValue(key, FromTerminal(args->name, "NAME")))
                    throw CliError("no value '" + args->name + "' in " + args->key);
            } else if (!store.DeleteKey(key)) {
                throw CliError("no key " + args->key);
            }
        });
    });
}

}  // namespace velumex

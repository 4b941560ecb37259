// velumex packet decode FILE|-
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "cli.h"
#include "packet_decode.h"

namespace velumex {

namespace {

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    if (path == "-")
        return {std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
    std::ifstream file(path, std::ios::binary);
    if (!file) throw CliError("cannot open " + path + ": " + std::strerror(errno));
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                    std::istreambuf_iterator<char>()};
    if (file.bad()) throw CliError("cannot read " + path);
    return bytes;
}

}  // namespace

void AddPacketCommands(CLI::App& app) {
    auto* packet = app.add_subcommand("packet", "inspect property packets");
    packet->require_subcommand(1);

    auto* decode = packet->add_subcommand(
        "decode", "list a packet's properties; exit status 1 when it is truncated or malformed");
    auto path = std::make_shared<std::string>();
    decode->add_option("file", *path, "packet file, or - for standard input")->required();
    decode->callback([path] {
        const std::vector<std::uint8_t> bytes = ReadAll(*path);
        const bool wellFormed = DecodePacket(bytes.data(), bytes.size(), std::cout);
        std::cout.flush();
        if (!wellFormed) throw CliError("the packet is truncated or malformed");
    });
}

}  // namespace velumex

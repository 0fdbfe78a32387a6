// Fuzz target: the O&M command splitter (emulator and relay), fed in pieces of every size the input asks
// for.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/om_command_splitter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses the piece size, so one input covers many ways TCP may cut the stream.
    const std::size_t piece = 1 + data[0] % 64;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

    tavrel::om::CommandSplitter splitter;
    std::string rejoined;
    for (std::size_t at = 0; at < stream.size(); at += piece)
        for (const auto& command : splitter.feed(stream.substr(at, piece)))
            rejoined += command;
    if (const auto rest = splitter.flush())
        rejoined += *rest;
    // Splitting only cuts: the commands put together again are the stream, byte for byte.
    if (rejoined != stream)
        __builtin_trap();
    return 0;
}

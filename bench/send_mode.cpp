// The send mode: one load stream from the command line, for profiling the tool under a known load.
#include "bench/send_mode.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bench/load_sender.h"

namespace tavrel::bench {
namespace {

constexpr std::int64_t kHoldAboveQueueBytes = 512 * 1024;
constexpr std::chrono::seconds kTimeLimit{600};

} // namespace

int runSendMode(int argc, char** argv) {
    std::string from;
    std::string to;
    std::string kind = "log";
    LoadStream stream;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--from")
            from = value;
        else if (name == "--to")
            to = value;
        else if (name == "--kind")
            kind = value;
        else if (name == "--count")
            stream.count = std::strtoull(value.c_str(), nullptr, 10);
        else if (name == "--rate")
            stream.perSecond = std::atof(value.c_str());
    }
    const auto colon = to.rfind(':');
    if (from.empty() || colon == std::string::npos || stream.count == 0 || (kind != "log" && kind != "air")) {
        std::fputs("usage: send --from A --to A:P --kind log|air --count N [--rate R]\n", stderr);
        return 2;
    }
    stream.kind = kind == "log" ? LoadStream::Kind::LogLine : LoadStream::Kind::AirRecord;
    stream.toAddress = to.substr(0, colon);
    stream.toPort = std::atoi(to.c_str() + colon + 1);

    LoadSender sender(from);
    if (!sender.valid()) {
        std::fprintf(stderr, "send: cannot bind %s\n", from.c_str());
        return 1;
    }
    SendOptions options;
    options.holdAboveQueueBytes = stream.perSecond > 0 ? 0 : kHoldAboveQueueBytes;
    options.timeLimit = kTimeLimit;
    std::vector<LoadStream> streams{stream};
    const SendReport report = sender.run(streams, options);
    std::printf("sent %llu of %llu in %.3f s%s\n", static_cast<unsigned long long>(streams[0].sent),
                static_cast<unsigned long long>(stream.count), report.seconds,
                report.timedOut ? " (timed out)" : "");
    return streams[0].sent == stream.count ? 0 : 1;
}

} // namespace tavrel::bench

// The pacing loop: each stream's k-th datagram is due k / rate after the start; due ones go out in batches.
#include "bench/load_sender.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <limits>

#include <sys/socket.h>

#include "bench/proc_stats.h"

namespace tavrel::bench {
namespace {

constexpr std::size_t kBatch = 64;
constexpr std::size_t kSlotBytes = 1024;
constexpr std::int64_t kCheckPeriodNs = 100'000'000;
constexpr std::int64_t kFlowRecheckNs = 200'000;

std::int64_t dueAt(const LoadStream& stream, std::int64_t startNs, std::uint64_t index) {
    return startNs +
           static_cast<std::int64_t>(std::llround(static_cast<double>(index) * 1e9 / stream.perSecond));
}

void sleepUntil(std::int64_t whenNs) {
    timespec until{static_cast<time_t>(whenNs / 1'000'000'000), static_cast<long>(whenNs % 1'000'000'000)};
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

} // namespace

LoadSender::LoadSender(const std::string& sourceAddress) : m_socket(Socket::udp()) {
    sockaddr_in local{};
    if (!m_socket.valid() || !makeIPv4Address(sourceAddress, 0, local) ||
        ::bind(m_socket.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        m_socket.close();
}

SendReport LoadSender::run(std::vector<LoadStream>& streams, const SendOptions& options) {
    SendReport report;
    std::vector<sockaddr_in> targets(streams.size());
    for (std::size_t i = 0; i < streams.size(); ++i)
        makeIPv4Address(streams[i].toAddress, static_cast<std::uint16_t>(streams[i].toPort), targets[i]);

    std::vector<std::array<char, kSlotBytes>> slots(kBatch);
    std::array<iovec, kBatch> parts{};
    std::array<mmsghdr, kBatch> messages{};

    const std::int64_t startNs = monotonicNs();
    const std::int64_t limitNs = startNs + std::chrono::nanoseconds(options.timeLimit).count();
    const std::int64_t tickNs = std::chrono::nanoseconds(options.minTick).count();
    std::int64_t lastCheckNs = startNs;
    std::int64_t lastWakeNs = startNs;
    std::vector<std::int64_t> heldUntil(streams.size(), 0);

    for (;;) {
        std::int64_t now = monotonicNs();
        if (now >= limitNs) {
            report.timedOut = true;
            break;
        }
        if (now - lastCheckNs >= kCheckPeriodNs) {
            lastCheckNs = now;
            if (options.keepGoing && !options.keepGoing()) {
                report.aborted = true;
                break;
            }
        }

        bool allSent = true;
        bool sentAny = false;
        std::int64_t nextDue = std::numeric_limits<std::int64_t>::max();
        for (std::size_t s = 0; s < streams.size(); ++s) {
            LoadStream& stream = streams[s];
            if (stream.sent >= stream.count)
                continue;
            allSent = false;
            if (options.holdAboveQueueBytes > 0) {
                if (now < heldUntil[s]) {
                    nextDue = std::min(nextDue, heldUntil[s]);
                    continue;
                }
                const auto queue = udpSocketState(stream.toAddress, stream.toPort);
                if (queue && queue->receiveQueueBytes > options.holdAboveQueueBytes) {
                    heldUntil[s] = now + kFlowRecheckNs;
                    nextDue = std::min(nextDue, heldUntil[s]);
                    continue;
                }
            }
            std::uint64_t target = stream.count;
            if (stream.perSecond > 0) {
                const double elapsed = static_cast<double>(now - startNs) / 1e9;
                target = std::min<std::uint64_t>(
                    stream.count,
                    static_cast<std::uint64_t>(std::floor(elapsed * stream.perSecond + 1e-9)) + 1);
            }
            if (target <= stream.sent) {
                nextDue = std::min(nextDue, dueAt(stream, startNs, stream.sent));
                continue;
            }
            if (stream.perSecond > 0)
                report.maxLagNs = std::max(report.maxLagNs, now - dueAt(stream, startNs, stream.sent));

            const std::size_t batch =
                static_cast<std::size_t>(std::min<std::uint64_t>(target - stream.sent, kBatch));
            for (std::size_t i = 0; i < batch; ++i) {
                const std::uint64_t sequence = stream.sent + 1 + i;
                std::size_t size = 0;
                if (stream.kind == LoadStream::Kind::LogLine) {
                    size = std::min(stream.lineBytes, kSlotBytes);
                    formatLogLine(sequence, monotonicNs(), std::span(slots[i].data(), size));
                } else {
                    size = kAirRecordBytes;
                    formatAirRecord(sequence, std::span<std::uint8_t, kAirRecordBytes>(
                                                  reinterpret_cast<std::uint8_t*>(slots[i].data()), size));
                }
                parts[i] = iovec{slots[i].data(), size};
                messages[i] = mmsghdr{};
                messages[i].msg_hdr.msg_name = &targets[s];
                messages[i].msg_hdr.msg_namelen = sizeof targets[s];
                messages[i].msg_hdr.msg_iov = &parts[i];
                messages[i].msg_hdr.msg_iovlen = 1;
            }
            const int done = ::sendmmsg(m_socket.fd(), messages.data(), static_cast<unsigned>(batch), 0);
            if (done > 0) {
                stream.sent += static_cast<std::uint64_t>(done);
                sentAny = true;
            } else {
                ++report.sendErrors; // tried again on the next round
            }
        }
        if (allSent)
            break;
        if (!sentAny && nextDue != std::numeric_limits<std::int64_t>::max()) {
            const std::int64_t wake = std::min(std::max(nextDue, lastWakeNs + tickNs), limitNs);
            sleepUntil(wake);
            lastWakeNs = monotonicNs();
        }
    }
    report.seconds = static_cast<double>(monotonicNs() - startNs) / 1e9;
    return report;
}

} // namespace tavrel::bench

// Both log ports flooded with datagrams of every size from 0 to 65507 bytes: the window keeps up, shows
// what fits a receive slot, discards the rest and stays responsive, with bounded memory.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <QListWidget>
#include <QTimer>

#include <unistd.h>

#include "receivers/udp_receiver.h"
#include "tests/faults/fault_window.h"
#include "tests/faults/udp_flood.h"
#include "tests/receivers/udp_test_util.h"
#include "ui/air_log_dlg.h"

namespace tavrel::test {
namespace {

using namespace std::chrono_literals;

constexpr auto kFloodTimeout = 90s;
// The window's event loop may pause this long on a loaded machine; a stalled window pauses far longer.
constexpr auto kMaxEventLoopGap = 2000ms;
constexpr long kMaxGrowthBytes = 96L * 1024 * 1024;

// The text datagram of a size: "L<size>:" and then one letter, cut to the size, so each size reads
// differently.
void fillLogText(std::size_t size, char* bytes) {
    const std::string head = "L" + std::to_string(size) + ":";
    const std::size_t headBytes = std::min(size, head.size());
    std::copy(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(headBytes), bytes);
    std::fill(bytes + headBytes, bytes + size, static_cast<char>('a' + size % 26));
}

// A downlink air record whose header value is its own size, code A5, payload counting up.
void fillAirRecord(std::size_t size, char* bytes) {
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i);
    const unsigned char head[6] = {0,
                                   static_cast<unsigned char>(size >> 24),
                                   static_cast<unsigned char>(size >> 16),
                                   static_cast<unsigned char>(size >> 8),
                                   static_cast<unsigned char>(size),
                                   0xA5};
    std::copy(head, head + std::min<std::size_t>(size, 6), bytes);
}

long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

// The size an air data-file line stands for: the header value, or n of "SHORT n bytes:".
std::size_t airLineSize(const std::string& line) {
    if (line.starts_with("SHORT "))
        return std::stoul(line.substr(6));
    return std::stoul(line.substr(0, 8), nullptr, 16);
}

class LogFlood : public FaultWindowTest {
protected:
    // Checks the lines from `first` on and counts the flood sizes among them.
    std::size_t floodSizes(const std::vector<std::string>& lines, std::size_t first,
                           const std::string& normal) {
        const std::string prefix = stamped("");
        std::set<std::size_t> sizes;
        for (std::size_t i = first; i < lines.size(); ++i) {
            if (lines[i] + "\n" == normal)
                continue;
            EXPECT_TRUE(lines[i].starts_with(prefix)) << lines[i];
            const std::string text = lines[i].substr(std::min(prefix.size(), lines[i].size()));
            std::string expected(text.size(), '\0');
            fillLogText(text.size(), expected.data());
            EXPECT_TRUE(!text.empty() && text.size() <= kRepeaterLogProfile.slotSize && text == expected)
                << "not a whole datagram of 1.." << kRepeaterLogProfile.slotSize
                << " bytes: " << text.substr(0, 40) << "... (" << text.size() << " bytes)";
            EXPECT_TRUE(sizes.insert(text.size()).second) << "size " << text.size() << " twice";
        }
        return sizes.size();
    }
};

TEST_F(LogFlood, EverySizeOnBothPortsNeitherCrashesNorStallsTheWindow) {
    ASSERT_NO_FATAL_FAILURE(openReceiving(20));
    const auto logPort = static_cast<std::uint16_t>(settings.monitorRxPort);
    const auto airPort = static_cast<std::uint16_t>(settings.airLogRxPort);
    const std::size_t buffer = grantedReceiveBuffer(UdpReceiver::kReceiveBufferBytes);
    const long residentBefore = residentBytes();
    const std::size_t viewLinesBefore = splitLines(viewText(*window)).size();
    const std::size_t fileLinesBefore = splitLines(runLog()).size();

    // The window thread's longest pause while the flood runs, seen by a timer of its own.
    auto lastTick = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration longestGap{};
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const auto tick = std::chrono::steady_clock::now();
        longestGap = std::max(longestGap, tick - lastTick);
        lastTick = tick;
    });
    ticker.start(20);

    {
        UdpFlood logFlood(settings.localAddress, logPort, buffer, fillLogText, kFloodTimeout);
        UdpFlood airFlood(settings.localAddress, airPort, buffer, fillAirRecord, kFloodTimeout);
        const bool done = waitUntil([&] { return logFlood.finished() && airFlood.finished(); },
                                    static_cast<int>(std::chrono::milliseconds(kFloodTimeout + 10s).count()));
        ticker.stop();
        ASSERT_TRUE(done);
        for (const UdpFlood* flood : {&logFlood, &airFlood}) {
            EXPECT_FALSE(flood->result().timedOut) << "the receiver stopped taking datagrams";
            EXPECT_EQ(flood->result().sent, UdpFlood::kMaxDatagram + 1);
            EXPECT_EQ(flood->result().sendErrors, 0u);
        }
        std::printf("flood of every size: log port %lld ms, air-log port %lld ms\n",
                    static_cast<long long>(logFlood.result().duration.count()),
                    static_cast<long long>(airFlood.result().duration.count()));
        RecordProperty("log_flood_ms", static_cast<int>(logFlood.result().duration.count()));
        RecordProperty("air_flood_ms", static_cast<int>(airFlood.result().duration.count()));
    }
    RecordProperty(
        "longest_event_loop_gap_ms",
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(longestGap).count()));
    EXPECT_LT(longestGap, kMaxEventLoopGap) << "the window stalled during the flood";

    // Every datagram reached the receivers: nothing was lost in the kernel, so what is missing was dropped
    // by the tool.
    for (const auto port : {logPort, airPort}) {
        const auto state = udpSocketState(settings.localAddress, port);
        ASSERT_TRUE(state.has_value());
        EXPECT_EQ(state->drops, 0u) << "port " << port
                                    << ": the kernel dropped datagrams, the flood was too fast";
    }

    // The window still answers at once: a normal line appears in the view and the run log.
    const auto sentAt = std::chrono::steady_clock::now();
    ASSERT_TRUE(sendDatagram(settings.localAddress, logPort, "CHCU: after the flood"));
    const std::string normal = stamped("CHCU: after the flood") + "\n";
    ASSERT_TRUE(waitUntil([&] { return viewText(*window).find(normal) != std::string::npos; }));
    RecordProperty("normal_line_after_flood_ms", static_cast<int>(millisecondsSince(sentAt)));
    EXPECT_NE(runLog().find(normal), std::string::npos);

    // Sizes 1..1024 are filed once each and whole; nothing longer and no empty datagram was taken.
    // Every line shown and filed since the flood began is one whole flood datagram of 1..1024 bytes, each
    // size once, or the normal line: a cut-short datagram would read differently from the one of its length.
    const std::vector<std::string> viewLines = splitLines(viewText(*window));
    const std::vector<std::string> fileLines = splitLines(runLog());
    ASSERT_GE(viewLines.size(), viewLinesBefore);
    ASSERT_GE(fileLines.size(), fileLinesBefore);
    EXPECT_EQ(floodSizes(viewLines, viewLinesBefore, normal), kRepeaterLogProfile.slotSize) << "in the view";
    EXPECT_EQ(floodSizes(fileLines, fileLinesBefore, normal), kRepeaterLogProfile.slotSize)
        << "in the run log";

    // Air records of 1..64 bytes are listed and filed once each, all downlink; larger ones are discarded.
    EXPECT_EQ(window->airLogDlg()->downlinkList()->count(), static_cast<int>(kAirLogProfile.slotSize));
    EXPECT_EQ(window->airLogDlg()->uplinkList()->count(), 0);
    std::set<std::size_t> airSizes;
    for (const std::string& line : splitLines(readFile(window->session().runFiles().downlinkDataPath())))
        EXPECT_TRUE(airSizes.insert(airLineSize(line)).second) << line;
    EXPECT_EQ(airSizes.size(), kAirLogProfile.slotSize);
    EXPECT_EQ(airSizes.empty() ? 0 : *airSizes.begin(), 1u);
    EXPECT_EQ(airSizes.empty() ? 0 : *airSizes.rbegin(), kAirLogProfile.slotSize);
    EXPECT_FALSE(std::filesystem::exists(window->session().runFiles().uplinkDataPath()));

    const long growth = residentBytes() - residentBefore;
    RecordProperty("resident_growth_kib", static_cast<int>(growth / 1024));
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(growth, kMaxGrowthBytes) << "memory grew with the flood";
#endif
}

} // namespace
} // namespace tavrel::test

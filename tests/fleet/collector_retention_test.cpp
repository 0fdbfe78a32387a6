// A collector's retention on a real state directory, driven by its injected clocks: old files go at start
// and the removal is told in one line; at local midnight every repeater's files start afresh and the sweep
// runs again.
#include <filesystem>
#include <fstream>
#include <utime.h>

#include "fleet/fleet_collector.h"
#include "tests/fleet/fleet_fixture.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class CollectorRetention : public test::FleetFixture {
protected:
    // A collector watching one repeater that never answers (nothing listens on its address).
    FleetCollector& startAt(StampedTime now, int keepDays) {
        m_now = now;
        CollectorConfig config = makeConfig({{"hill", "127.0.24.1", false}});
        config.keepDays = keepDays;
        CollectorOptions options;
        options.steadyNow = [this] { return std::chrono::steady_clock::now() + m_skew; };
        options.stampNow = [this] { return m_now; };
        options.log = [this](std::string_view line) { m_said.emplace_back(line); };
        options.serveMetrics = false;
        m_collector = std::make_unique<FleetCollector>(config, options);
        EXPECT_EQ(m_collector->start(), "");
        return *m_collector;
    }
    std::string put(const std::string& name, std::time_t modified = 0) {
        fs::create_directories(m_dir.path() + "/127.0.24.1");
        const std::string path = m_dir.path() + "/127.0.24.1/" + name;
        std::ofstream(path) << "line\n";
        if (modified != 0) {
            const utimbuf times{modified, modified};
            ::utime(path.c_str(), &times);
        }
        return path;
    }
    // Runs the midnight timer as the loop would when it comes due, with the stamp clock at `now`.
    void midnight(StampedTime now) {
        const auto due = m_collector->timers().due(FleetCollector::kMidnightTimer);
        ASSERT_TRUE(due);
        m_now = now;
        advance(
            std::chrono::ceil<std::chrono::milliseconds>(*due - std::chrono::steady_clock::now() - m_skew));
    }

    StampedTime m_now;
};

TEST_F(CollectorRetention, OldFilesGoAtStartAndFilesStartAfreshAtMidnight) {
    const std::string dated100 = put("repeater[127.0.24.1]_20260901120000.log");
    const std::string dated6 = put("AIRInfo[127.0.24.1]_D_20261204120000.dat");
    const std::string undatedOld = put("notes.txt", std::time(nullptr) - 200 * 86400);
    const std::string undatedNew = put("readme.txt");
    FleetCollector& collector = startAt({2026, 12, 10, 23, 59, 0}, 7);
    EXPECT_FALSE(fs::exists(dated100));
    EXPECT_FALSE(fs::exists(undatedOld));
    EXPECT_TRUE(fs::exists(dated6));
    EXPECT_TRUE(fs::exists(undatedNew));
    ASSERT_EQ(
        std::count_if(m_said.begin(), m_said.end(),
                      [](const std::string& line) { return line.starts_with("retention: removed 2 files"); }),
        1);
    const std::string firstLog = collector.find("hill")->runFiles().runLogPath();
    EXPECT_TRUE(firstLog.ends_with("_20261210235900.log"));

    // Due at midnight, never later; run early (the clock set back), it only plans itself again.
    const auto due = collector.timers().due(FleetCollector::kMidnightTimer);
    ASSERT_TRUE(due);
    EXPECT_LE(*due - (std::chrono::steady_clock::now() + m_skew), 61s);
    midnight({2026, 12, 10, 23, 59, 30});
    EXPECT_EQ(collector.find("hill")->runFiles().runLogPath(), firstLog);

    midnight({2026, 12, 11, 0, 0, 0});
    const RunFiles& files = collector.find("hill")->runFiles();
    EXPECT_TRUE(files.runLogPath().ends_with("_20261211000000.log")) << files.runLogPath();
    EXPECT_TRUE(files.downlinkDataPath().ends_with("_D_20261211000000.dat"));
    const std::string header = test::readFile(files.runLogPath());
    EXPECT_TRUE(header.starts_with("This is the logging information file of the repeater[127.0.24.1].\n"
                                   "Created at 20261211 000000"))
        << header;
    EXPECT_TRUE(fs::exists(firstLog));
    EXPECT_TRUE(fs::exists(dated6)); // 7 days back now: kept
    EXPECT_TRUE(collector.timers().active(FleetCollector::kMidnightTimer));

    midnight({2026, 12, 12, 0, 0, 0});
    EXPECT_FALSE(fs::exists(dated6)); // 8 days back
    EXPECT_TRUE(fs::exists(firstLog));
}

// The metric follows the run log's writes: 0 while its directory is gone, 1 again once lines go in, and each
// change told once in the collector's log.
TEST_F(CollectorRetention, RunFileWritableFollowsTheWrites) {
    FleetCollector& collector = startAt({2026, 12, 10, 12, 0, 0}, 90);
    WatchedRepeater& hill = *collector.find("hill");
    const auto writable = [&] { return hill.metrics()->runFileWritable[0].load(); };
    const auto told = [&] { return m_said.size(); };
    ASSERT_TRUE(writable());
    const std::size_t before = told();
    fs::remove_all(m_dir.path() + "/127.0.24.1");
    hill.onLogDatagram("first");
    hill.onLogDatagram("second");
    EXPECT_FALSE(writable());
    EXPECT_EQ(told(), before + 1);
    fs::create_directories(m_dir.path() + "/127.0.24.1");
    hill.onLogDatagram("third");
    EXPECT_TRUE(writable());
    EXPECT_EQ(told(), before + 2);
    EXPECT_TRUE(hill.metrics()->runFileWritable[1].load() && hill.metrics()->runFileWritable[2].load());
}

} // namespace
} // namespace tavrel

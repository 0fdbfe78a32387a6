// The fleet's event loop on Qt's: one socket notifier for the poller, one timer for the schedule's next
// deadline.
#include "fleet/fleet_collector.h"

#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

#include "fleet/retention.h"
#include "fleet/setting_text.h"
#include "receivers/receiver_profiles.h"
#include "session/monitor_texts.h"

namespace tavrel {
namespace {

// Unknown senders are reported once each, up to this many; past it a flood cannot grow the list.
constexpr std::size_t kMaxReportedUnknown = 1024;

bool sameDay(const StampedTime& a, const StampedTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

// Seconds from the local time to the next local midnight, daylight-saving changes in between included.
std::chrono::seconds untilMidnight(const StampedTime& now) {
    std::tm fields{};
    fields.tm_year = now.year - 1900;
    fields.tm_mon = now.month - 1;
    fields.tm_mday = now.day;
    fields.tm_hour = now.hour;
    fields.tm_min = now.minute;
    fields.tm_sec = now.second;
    fields.tm_isdst = -1;
    std::tm midnight = fields;
    midnight.tm_mday += 1;
    midnight.tm_hour = midnight.tm_min = midnight.tm_sec = 0;
    const std::time_t from = std::mktime(&fields);
    const std::time_t to = std::mktime(&midnight);
    return std::chrono::seconds(std::max<std::time_t>(to - from, 1));
}

std::uint32_t hostOrderAddress(const std::string& dotted) {
    return parseIPv4(dotted).value_or(0); // settings were checked: every repeater's address is one
}

} // namespace

FleetCollector::FleetCollector(CollectorConfig config, CollectorOptions options, QObject* parent)
    : QObject(parent), m_config(std::move(config)), m_options(std::move(options)),
      m_random(m_options.seed != 0 ? m_options.seed : std::random_device{}()),
      m_context{m_poller,
                m_timers,
                m_options.steadyNow ? m_options.steadyNow : [] { return TimerSchedule::Clock::now(); },
                m_options.wallNow ? m_options.wallNow : MonitorRules::WallTime(WallClock::now),
                m_options.stampNow ? m_options.stampNow : StampClock(currentStampedTime),
                m_random,
                m_config.localAddress,
                m_config.logPort,
                m_config.airPort,
                m_config.stateDir,
                m_config.keepFilesOpen,
                [this](const std::string& text) { say(text); }},
      m_logPort(
          m_poller, kRepeaterLogProfile.slotSize,
          [this](std::uint32_t sender, std::span<const char> bytes) { onDatagram(true, sender, bytes); }),
      m_airPort(
          m_poller, kAirLogProfile.slotSize,
          [this](std::uint32_t sender, std::span<const char> bytes) { onDatagram(false, sender, bytes); }),
      m_metrics(std::make_shared<FleetMetrics>(std::string(kVersionText))),
      m_metricsServer(
          m_poller, m_timers, m_context.steadyNow, [this] { return exposition(m_metrics->Collect()); },
          m_options.http) {
    m_loopTimer = new QTimer(this);
    m_loopTimer->setSingleShot(true);
    m_loopTimer->setTimerType(Qt::PreciseTimer);
    connect(m_loopTimer, &QTimer::timeout, this, [this] {
        m_armedFor.reset();
        runDueTimers();
    });
}

FleetCollector::~FleetCollector() {
    // Qt lets go of the poller's descriptor before the poller closes it.
    delete m_pollerNotifier;
    m_pollerNotifier = nullptr;
}

std::string FleetCollector::start() {
    if (!m_poller.valid())
        return std::string("cannot create the event poller: ") + std::strerror(errno);
    if (std::string error = m_logPort.open(m_config.localAddress, m_config.logPort, "log_port");
        !error.empty())
        return error;
    if (std::string error = m_airPort.open(m_config.localAddress, m_config.airPort, "air_port");
        !error.empty())
        return error;
    // Ports given as 0 (tests) are announced as bound.
    m_context.logPort = m_logPort.port();
    m_context.airPort = m_airPort.port();
    if (m_options.serveMetrics) {
        WebConfig web;
        if (!m_config.webConfig.empty()) {
            WebConfigResult loaded = loadWebConfig(m_config.webConfig);
            if (!loaded.config)
                return loaded.error;
            web = std::move(*loaded.config);
            m_webFiles = web.files;
            m_webStamps = stampFiles(m_webFiles);
        }
        if (std::string error = m_metricsServer.open(m_config.metricsAddress, m_config.metricsPort, web);
            !error.empty())
            return error;
        startWebConfigTimer();
    }

    m_pollerNotifier = new QSocketNotifier(m_poller.fd(), QSocketNotifier::Read, this);
    connect(m_pollerNotifier, &QSocketNotifier::activated, this, [this] { dispatchEvents(); });
    for (const WatchedRepeaterConfig& repeater : m_config.repeaters)
        addRepeater(repeater);
    sweepStateFiles();
    planMidnight();
    armLoopTimer();
    m_metrics->settingsRead(true, unixSeconds());
    say("watching " + std::to_string(m_repeaters.size()) + " repeaters; logs to " + m_config.localAddress +
        ":" + std::to_string(m_logPort.port()) + ", air logs to port " + std::to_string(m_airPort.port()));
    return {};
}

std::optional<std::uint16_t> FleetCollector::metricsPort() const {
    if (m_metricsServer.port() == 0)
        return std::nullopt;
    return m_metricsServer.port();
}

void FleetCollector::reload(const CollectorConfig& config) {
    if (config.localAddress != m_config.localAddress || config.logPort != m_config.logPort ||
        config.airPort != m_config.airPort || config.metricsAddress != m_config.metricsAddress ||
        config.metricsPort != m_config.metricsPort || config.stateDir != m_config.stateDir)
        say("changes to [collector] take effect at the next start; the repeaters are updated now");
    if (config.webConfig != m_config.webConfig && m_options.serveMetrics) {
        m_config.webConfig = config.webConfig;
        m_webFiles = {m_config.webConfig};
        m_webStamps.clear(); // read at once
        checkWebConfig();
    }

    std::map<std::string, const WatchedRepeaterConfig*> wanted;
    for (const WatchedRepeaterConfig& repeater : config.repeaters)
        wanted.emplace(repeater.name, &repeater);
    int removed = 0;
    int added = 0;
    std::set<std::string> kept;
    for (auto it = m_repeaters.begin(); it != m_repeaters.end();) {
        const auto found = wanted.find(it->second->config().name);
        if (found != wanted.end() && *found->second == it->second->config()) {
            kept.insert(found->first);
            ++it;
            continue;
        }
        const std::uint32_t id = it++->first;
        removeRepeater(id);
        ++removed;
    }
    for (const WatchedRepeaterConfig& repeater : config.repeaters)
        if (!kept.contains(repeater.name)) {
            addRepeater(repeater);
            ++added;
        }
    m_config.repeaters = config.repeaters;
    m_config.keepDays = config.keepDays; // used from the next sweep on
    m_config.maxStateMb = config.maxStateMb;
    if (config.keepFilesOpen != m_context.keepFilesOpen) {
        m_config.keepFilesOpen = m_context.keepFilesOpen = config.keepFilesOpen;
        for (const auto& [id, repeater] : m_repeaters)
            repeater->keepFilesOpen(config.keepFilesOpen);
    }
    armLoopTimer();
    m_metrics->settingsRead(true, unixSeconds());
    say("configuration reloaded: " + std::to_string(added) + " repeaters started, " +
        std::to_string(removed) + " stopped, " + std::to_string(kept.size()) + " unchanged");
}

void FleetCollector::reloadFailed(const std::string& error) {
    m_metrics->settingsRead(false, unixSeconds());
    say("not reloaded, the running settings stay: " + error);
}

double FleetCollector::unixSeconds() const {
    return std::chrono::duration<double>(m_context.wallNow().time_since_epoch()).count();
}

WatchedRepeater* FleetCollector::find(std::string_view name) const {
    for (const auto& [id, repeater] : m_repeaters)
        if (repeater->config().name == name)
            return repeater.get();
    return nullptr;
}

void FleetCollector::addRepeater(const WatchedRepeaterConfig& config) {
    const std::uint32_t id = m_nextId++;
    auto repeater = std::make_unique<WatchedRepeater>(id, config, m_context);
    m_bySender[hostOrderAddress(config.address)] = repeater.get();
    m_metrics->add(repeater->metrics());
    repeater->start();
    m_repeaters.emplace(id, std::move(repeater));
}

void FleetCollector::removeRepeater(std::uint32_t id) {
    const auto it = m_repeaters.find(id);
    if (it == m_repeaters.end())
        return;
    m_bySender.erase(hostOrderAddress(it->second->config().address));
    m_metrics->remove(*it->second->metrics());
    m_repeaters.erase(it);
}

void FleetCollector::onDatagram(bool log, std::uint32_t sender, std::span<const char> bytes) {
    const auto it = m_bySender.find(sender);
    if (it == m_bySender.end()) {
        m_metrics->countUnknownSender();
        if (m_reportedUnknown.size() < kMaxReportedUnknown && m_reportedUnknown.insert(sender).second)
            say("datagram from " + dottedAddress(sender) + ", which is no configured repeater: not filed" +
                " (said once per address)");
        return;
    }
    if (log)
        it->second->onLogDatagram(std::string_view(bytes.data(), bytes.size()));
    else
        it->second->onAirRecord(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

void FleetCollector::dispatchEvents() {
    m_poller.dispatch();
    armLoopTimer();
}

void FleetCollector::runDueTimers() {
    const auto now = m_context.steadyNow();
    bool httpDue = false;
    while (const auto key = m_timers.takeDue(now)) {
        if (*key == kHttpTimer) {
            httpDue = true; // run once below: MHD may ask for another run at once, in the next turn
            continue;
        }
        if (*key == kWebConfigTimer) {
            checkWebConfig();
            startWebConfigTimer();
            continue;
        }
        if (*key == kMidnightTimer) {
            onMidnight();
            continue;
        }
        const auto it = m_repeaters.find(key->owner);
        if (it != m_repeaters.end())
            it->second->onTimer(key->id);
    }
    if (httpDue)
        m_metricsServer.onTimer();
    armLoopTimer();
}

void FleetCollector::startWebConfigTimer() {
    if (!m_config.webConfig.empty())
        m_timers.start(kWebConfigTimer, m_context.steadyNow() + kWebConfigCheckPeriod);
    else
        m_timers.stop(kWebConfigTimer);
}

void FleetCollector::checkWebConfig() {
    if (m_config.webConfig.empty()) {
        if (!m_webFiles.empty()) { // web_config removed: plain HTTP again
            m_webFiles.clear();
            m_webStamps.clear();
            if (const std::string error = m_metricsServer.apply({}); error.empty())
                say("web config removed: metrics served over plain HTTP without authentication");
        }
        startWebConfigTimer();
        return;
    }
    std::vector<FileStamp> stamps = stampFiles(m_webFiles);
    if (stamps == m_webStamps)
        return;
    m_webStamps = std::move(stamps); // a bad file is told once, not at every check
    WebConfigResult loaded = loadWebConfig(m_config.webConfig);
    if (!loaded.config) {
        say("web config not reloaded, the running one stays: " + loaded.error);
        startWebConfigTimer();
        return;
    }
    m_webFiles = loaded.config->files;
    m_webStamps = stampFiles(m_webFiles);
    if (const std::string error = m_metricsServer.apply(*loaded.config); !error.empty())
        say("web config not reloaded, the running one stays: " + error);
    else
        say("web config " + m_config.webConfig + " reloaded");
    startWebConfigTimer();
}

void FleetCollector::armLoopTimer() {
    const auto next = m_timers.nextDue();
    if (next == m_armedFor)
        return;
    m_armedFor = next;
    if (!next) {
        m_loopTimer->stop();
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - m_context.steadyNow());
    m_loopTimer->start(std::max(wait, std::chrono::milliseconds(0)));
}

void FleetCollector::planMidnight() {
    const StampedTime now = m_context.stampNow();
    m_filesDay = now;
    m_timers.start(kMidnightTimer, m_context.steadyNow() + untilMidnight(now));
}

void FleetCollector::onMidnight() {
    const StampedTime now = m_context.stampNow();
    if (!sameDay(now, m_filesDay)) {
        for (const auto& [id, repeater] : m_repeaters)
            repeater->startFilesAfresh();
        sweepStateFiles();
    }
    planMidnight(); // a timer that ran early (the clock was set back) is only planned again
}

void FleetCollector::sweepStateFiles() {
    std::set<std::string> inUse;
    for (const auto& [id, repeater] : m_repeaters) {
        const RunFiles& files = repeater->runFiles();
        inUse.insert({files.runLogPath(), files.downlinkDataPath(), files.uplinkDataPath()});
    }
    const std::vector<StateFile> chosen =
        filesToRemove(listStateFiles(m_config.stateDir, inUse), m_context.stampNow(),
                      {m_config.keepDays, m_config.maxStateMb * 1024 * 1024});
    if (chosen.empty())
        return;
    const std::vector<StateFile> removed = removeFiles(chosen);
    std::string text = describeRemoval(removed);
    if (removed.size() < chosen.size())
        text += "; " + std::to_string(chosen.size() - removed.size()) + " could not be removed";
    say(text);
}

void FleetCollector::say(const std::string& text) const {
    if (m_options.log)
        m_options.log(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

} // namespace tavrel

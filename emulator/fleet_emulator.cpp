// The loop's thread: wait on the epoll set up to the earliest deadline, hand ready descriptors and due
// timers to their members, and take control calls from other threads under one lock.
#include "emulator/fleet_emulator.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/epoll.h>

namespace tavrel::emulator {
namespace {

constexpr int kTimerId = 0; // each member has one deadline: the earliest of its repeater's timers

} // namespace

std::string addressAfter(std::string_view first, int offset) {
    sockaddr_in address{};
    if (!makeIPv4Address(first, 0, address))
        return {};
    address.sin_addr.s_addr = htonl(ntohl(address.sin_addr.s_addr) + static_cast<std::uint32_t>(offset));
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

FleetEmulator::FleetEmulator(EmulatorOptions options, int count, std::string firstAddress, FleetTuning tuning)
    : m_tuning(tuning) {
    m_poller.add(m_wake.fd(), EPOLLIN, [this](std::uint32_t) { m_wake.reset(); });
    for (int i = 0; i < count; ++i) {
        EmulatorOptions member = options;
        // The first keeps the address as given, so a wrong one is named as typed.
        member.address = i == 0 ? firstAddress : addressAfter(firstAddress, i);
        m_members.push_back(std::make_unique<FleetMember>(
            i, std::move(member), m_poller, static_cast<MemberHost&>(*this), tuning.keepCommands));
    }
}

FleetEmulator::~FleetEmulator() {
    stop();
}

bool FleetEmulator::start() {
    std::lock_guard lock(m_mutex);
    if (m_thread.joinable() || !m_poller.valid() || !m_wake.valid())
        return false;
    m_now = Clock::now();
    for (const auto& member : m_members) {
        if (!member->start(m_now)) {
            m_error = member->error();
            for (const auto& started : m_members)
                started->repeater().powerOff();
            return false;
        }
        schedule(*member);
    }
    m_stop = false;
    m_thread = std::thread([this] { run(); });
    return true;
}

void FleetEmulator::stop() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            return;
        m_stop = true;
        m_wake.signal();
    }
    m_thread.join();
    std::lock_guard lock(m_mutex);
    for (const auto& member : m_members) {
        member->repeater().dropConnection("emulator stopped");
        member->repeater().powerOff(); // the port closes, so another emulator may take it
    }
    m_changed.notify_all();
}

std::string FleetEmulator::address(int member) const {
    return member >= 1 && member <= size() ? m_members[static_cast<std::size_t>(member - 1)]->address()
                                           : std::string();
}

template <typename Action> bool FleetEmulator::forMembers(int member, Action action) {
    std::lock_guard lock(m_mutex);
    if (member < 0 || member > size())
        return false;
    m_now = Clock::now(); // one moment for all: "restarted at once"
    bool result = true;
    for (int i = member == 0 ? 1 : member; i <= (member == 0 ? size() : member); ++i) {
        FleetMember& one = *m_members[static_cast<std::size_t>(i - 1)];
        result = action(one) && result;
        schedule(one);
    }
    m_wake.signal(); // the thread looks at the deadlines again
    m_changed.notify_all();
    return result;
}

bool FleetEmulator::setAlarmBits(int member, int bits) {
    return forMembers(member, [&](FleetMember& m) { return m.repeater().setAlarmBits(bits), true; });
}

bool FleetEmulator::switchOff(int member) {
    return forMembers(member, [](FleetMember& m) { return m.repeater().powerOff(), true; });
}

bool FleetEmulator::switchOn(int member) {
    return forMembers(member, [this](FleetMember& m) { return m.repeater().powerOn(m_now), true; });
}

bool FleetEmulator::reboot(int member) {
    return forMembers(member, [this](FleetMember& m) { return m.repeater().reboot(m_now), true; });
}

bool FleetEmulator::dropConnection(int member) {
    return forMembers(member, [](FleetMember& m) {
        return m.repeater().dropConnection("connection dropped on request"), true;
    });
}

bool FleetEmulator::sendLog(int member, std::string_view text) {
    return forMembers(member, [&](FleetMember& m) { return m.repeater().sendLog(text); });
}

bool FleetEmulator::sendAirRecord(int member) {
    return forMembers(member, [](FleetMember& m) { return m.repeater().sendAirRecord(); });
}

bool FleetEmulator::sendAirBytes(int member, std::span<const std::uint8_t> bytes) {
    return forMembers(member, [&](FleetMember& m) { return m.repeater().sendAirBytes(bytes); });
}

bool FleetEmulator::clearReceivedCommands(int member) {
    return forMembers(member, [](FleetMember& m) { return m.clearReceivedCommands(), true; });
}

bool FleetEmulator::waitUntil(int member, std::chrono::milliseconds timeout,
                              const std::function<bool(const FleetMember&)>& ready) {
    std::unique_lock lock(m_mutex);
    const FleetMember& one = *m_members.at(static_cast<std::size_t>(member - 1));
    return m_changed.wait_for(lock, timeout, [&] { return ready(one); });
}

FleetStats FleetEmulator::stats() const {
    std::lock_guard lock(m_mutex);
    FleetStats stats;
    stats.members = size();
    for (const auto& member : m_members) {
        const EmulatedRepeater& repeater = member->repeater();
        stats.poweredOn += repeater.poweredOn() ? 1 : 0;
        stats.connected += repeater.connected() ? 1 : 0;
        stats.connections += static_cast<std::uint64_t>(repeater.connectionCount());
        stats.numberedLinesSent += repeater.counters().numberedLinesSent;
        stats.commandsReceived += repeater.counters().commandsReceived;
    }
    stats.mostAcceptsInOneMs = m_mostAcceptsInOneMs;
    return stats;
}

void FleetEmulator::resetAcceptCount() {
    std::lock_guard lock(m_mutex);
    m_acceptMs = -1;
    m_acceptsThisMs = 0;
    m_mostAcceptsInOneMs = 0;
}

void FleetEmulator::accepted(FleetMember&) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(m_now.time_since_epoch()).count();
    m_acceptsThisMs = ms == m_acceptMs ? m_acceptsThisMs + 1 : 1;
    m_acceptMs = ms;
    m_mostAcceptsInOneMs = std::max(m_mostAcceptsInOneMs, m_acceptsThisMs);
}

void FleetEmulator::schedule(FleetMember& member) {
    const TimerSchedule::Key key{static_cast<std::uint32_t>(member.index()), kTimerId};
    if (const auto next = member.repeater().nextDeadline())
        m_timers.start(key, *next);
    else
        m_timers.stop(key);
}

void FleetEmulator::runDueTimers(Clock::time_point now) {
    // Each member at most once a pass: what a timer sets for the same moment waits for the next pass.
    for (std::size_t turns = m_members.size(); turns > 0; --turns) {
        const auto key = m_timers.takeDue(now);
        if (!key)
            return;
        FleetMember& member = *m_members[key->owner];
        member.repeater().onTimer(now);
        schedule(member);
    }
}

void FleetEmulator::run() {
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        m_now = Clock::now();
        runDueTimers(m_now);
        m_changed.notify_all();

        timespec timeout{};
        const auto next = m_timers.nextDue();
        if (next) {
            const auto wait = std::max(std::chrono::duration_cast<Clock::duration>(m_tuning.timerGranularity),
                                       *next - m_now);
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
            timeout.tv_sec = seconds.count();
            timeout.tv_nsec = std::chrono::duration_cast<std::chrono::nanoseconds>(wait - seconds).count();
        }
        pollfd ready{m_poller.fd(), POLLIN, 0};
        lock.unlock();
        ::ppoll(&ready, 1, next ? &timeout : nullptr, nullptr);
        lock.lock();
        m_now = Clock::now();
        m_poller.dispatch();
        m_changed.notify_all();
    }
}

} // namespace tavrel::emulator

// The fleet's thread: one epoll set for every member's listener and connection, the members' timers run
// together, and control calls from other threads under one lock.
#include "emulator/fleet_emulator.h"

#include <arpa/inet.h>
#include <array>
#include <sys/epoll.h>
#include <unistd.h>

namespace tavrel::emulator {
namespace {

constexpr std::uint64_t kWakeTag = ~std::uint64_t{0};
constexpr int kBatch = 256;
// The members' timers are run together at most this often: a thousand log pacers would otherwise wake the
// thread tens of thousands of times a second. Each pacer sends what came due meanwhile.
constexpr std::chrono::milliseconds kTimerGranularity{2};

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

FleetEmulator::EpollSet::EpollSet() : m_fd(::epoll_create1(EPOLL_CLOEXEC)) {}

FleetEmulator::EpollSet::~EpollSet() {
    if (m_fd >= 0)
        ::close(m_fd);
}

FleetEmulator::FleetEmulator(EmulatorOptions options, int count, std::string firstAddress) {
    for (int i = 0; i < count; ++i) {
        EmulatorOptions member = options;
        member.address = addressAfter(firstAddress, i);
        m_members.push_back(std::make_unique<FleetMember>(i, std::move(member), m_epoll));
    }
}

FleetEmulator::~FleetEmulator() {
    stop();
}

bool FleetEmulator::start() {
    std::lock_guard lock(m_mutex);
    if (m_thread.joinable() || m_epoll < 0 || !m_wake.valid())
        return false;
    const auto now = Clock::now();
    for (const auto& member : m_members)
        if (!member->start(now)) {
            m_error = member->error();
            return false;
        }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kWakeTag;
    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake.fd(), &event);
    m_stop = false;
    m_thread = std::thread([this] { run(); });
    return true;
}

void FleetEmulator::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_wake.signal();
    }
    if (m_thread.joinable())
        m_thread.join();
}

std::string FleetEmulator::address(int member) const {
    return member >= 1 && member <= size() ? m_members[static_cast<std::size_t>(member - 1)]->address()
                                           : std::string();
}

template <typename Action> bool FleetEmulator::forMembers(int member, Action action) {
    std::lock_guard lock(m_mutex);
    if (member < 0 || member > size())
        return false;
    bool result = true;
    for (int i = member == 0 ? 1 : member; i <= (member == 0 ? size() : member); ++i)
        result = action(*m_members[static_cast<std::size_t>(i - 1)]) && result;
    m_wake.signal(); // the thread looks at the timers again
    return result;
}

bool FleetEmulator::setAlarmBits(int member, int bits) {
    return forMembers(member, [&](FleetMember& m) { return m.setAlarmBits(bits), true; });
}

bool FleetEmulator::switchOff(int member) {
    return forMembers(member, [](FleetMember& m) { return m.switchOff(), true; });
}

bool FleetEmulator::switchOn(int member) {
    return forMembers(member, [](FleetMember& m) { return m.switchOn(Clock::now()), true; });
}

bool FleetEmulator::reboot(int member) {
    const auto now = Clock::now(); // one moment for all: "restarted at once"
    return forMembers(member, [&](FleetMember& m) { return m.reboot(now), true; });
}

bool FleetEmulator::dropConnection(int member) {
    return forMembers(member, [](FleetMember& m) { return m.dropConnection(), true; });
}

bool FleetEmulator::sendLog(int member, std::string_view text) {
    return forMembers(member, [&](FleetMember& m) { return m.sendLog(text); });
}

int FleetEmulator::alarmBits(int member) const {
    std::lock_guard lock(m_mutex);
    return member >= 1 && member <= size() ? m_members[static_cast<std::size_t>(member - 1)]->alarmBits()
                                           : -1;
}

FleetStats FleetEmulator::stats() const {
    std::lock_guard lock(m_mutex);
    FleetStats stats;
    stats.members = size();
    for (const auto& member : m_members) {
        stats.poweredOn += member->poweredOn() ? 1 : 0;
        stats.connected += member->connected() ? 1 : 0;
        stats.connections += static_cast<std::uint64_t>(member->connectionCount());
        stats.numberedLinesSent += member->numberedLinesSent();
        stats.commandsReceived += member->commandsReceived();
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

void FleetEmulator::run() {
    std::array<epoll_event, kBatch> events{};
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        auto now = Clock::now();
        std::optional<Clock::time_point> next;
        for (const auto& member : m_members)
            if (const auto due = member->runTimers(now); due && (!next || *due < *next))
                next = due;
        int timeoutMs = -1;
        if (next)
            timeoutMs = static_cast<int>(
                std::max(std::chrono::ceil<std::chrono::milliseconds>(*next - now), kTimerGranularity)
                    .count());
        lock.unlock();
        const int ready = ::epoll_wait(m_epoll, events.data(), kBatch, timeoutMs);
        lock.lock();
        now = Clock::now();
        for (int i = 0; i < ready; ++i) {
            const std::uint64_t tag = events[static_cast<std::size_t>(i)].data.u64;
            if (tag == kWakeTag) {
                m_wake.reset();
                continue;
            }
            FleetMember& member = *m_members[static_cast<std::size_t>(tag / 2)];
            if (tag % 2 == FleetMember::kConnectionTag) {
                if (member.connected())
                    member.onConnectionReady(now);
                continue;
            }
            const int before = member.connectionCount();
            member.onListenerReady(now);
            if (member.connectionCount() == before)
                continue;
            const auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
            m_acceptsThisMs = ms == m_acceptMs ? m_acceptsThisMs + 1 : 1;
            m_acceptMs = ms;
            m_mostAcceptsInOneMs = std::max(m_mostAcceptsInOneMs, m_acceptsThisMs);
        }
    }
}

} // namespace tavrel::emulator

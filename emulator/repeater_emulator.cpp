// The emulator's lifecycle and its thread-safe interface for tests, benchmarks and the console program.
#include "emulator/repeater_emulator.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <utility>

#include "emulator/text_format.h"

namespace tavrel::emulator {
namespace {

// How long reboot() and dropConnection() wait for the worker; it acts within one loop pass.
constexpr std::chrono::seconds kRequestTimeout{5};

} // namespace

RepeaterEmulator::RepeaterEmulator(EmulatorOptions options)
    : m_options(std::move(options)), m_model(m_options.seed), m_airGenerator(m_options.seed) {}

RepeaterEmulator::~RepeaterEmulator() {
    stop();
}

bool RepeaterEmulator::start() {
    std::lock_guard lifecycle(m_lifecycle);
    std::unique_lock lock(m_mutex);
    if (m_thread.joinable() || !m_wake.valid())
        return false;
    m_udp = Socket::udp();
    if (!m_udp.valid()) {
        say(textf("cannot create the UDP log socket: %s", std::strerror(errno)));
        return false;
    }
    // Logs leave from the repeater's own address, as a real repeater's do: a collector tells repeaters apart
    // by it. Without that address (a typing error is reported by the listener) the system picks one.
    sockaddr_in own{};
    if (makeIPv4Address(m_options.address, 0, own))
        ::bind(m_udp.fd(), reinterpret_cast<const sockaddr*>(&own), sizeof own);
    const auto now = Clock::now();
    m_startTime = now;
    m_bootTime = now;
    m_model.setExternalAlarmBits(m_options.alarmBits);
    m_nextScriptStep.reset();
    if (!m_options.alarmScript.empty()) {
        m_nextScriptStep = m_options.alarmScript.steps().front().at;
        applyScriptStep(now);
    }
    if (m_options.refuse)
        say("refusing connections: the O&M port stays closed");
    else if (!openListener())
        return false;
    if (!m_options.quiet)
        m_statusPacer.start(1.0, now);
    m_stopRequested = false;
    m_workerRunning = true;
    m_thread = std::thread([this] { run(); });
    return true;
}

void RepeaterEmulator::stop() {
    std::lock_guard lifecycle(m_lifecycle);
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
        m_wake.signal();
    }
    m_thread.join();
}

void RepeaterEmulator::setAlarmBits(int bits) {
    std::lock_guard lock(m_mutex);
    m_model.setExternalAlarmBits(bits);
    say(textf("alarm bits set to %d", bits));
}

int RepeaterEmulator::alarmBits() const {
    std::lock_guard lock(m_mutex);
    return m_model.alarmBits();
}

bool RepeaterEmulator::sendLog(std::string_view text) {
    std::lock_guard lock(m_mutex);
    return sendLogText(text);
}

bool RepeaterEmulator::sendAirRecord() {
    std::lock_guard lock(m_mutex);
    return sendAirRecordLocked();
}

bool RepeaterEmulator::sendAirRecordLocked() {
    if (!m_model.airDestination())
        return false;
    const auto record = m_airGenerator.next(m_options.airRecordBytes);
    return sendDatagram(m_model.airDestination(), record.data(), record.size(), m_counters.airRecordsSent);
}

bool RepeaterEmulator::sendAirBytes(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(m_mutex);
    return sendDatagram(m_model.airDestination(), bytes.data(), bytes.size(), m_counters.airRecordsSent);
}

void RepeaterEmulator::postRequest(bool& flag) {
    std::unique_lock lock(m_mutex);
    if (!m_workerRunning)
        return;
    flag = true;
    const auto serial = ++m_requestSerial;
    m_wake.signal();
    m_changed.wait_for(lock, kRequestTimeout, [&] { return m_handledSerial >= serial || !m_workerRunning; });
}

void RepeaterEmulator::reboot() {
    postRequest(m_rebootRequested);
}

void RepeaterEmulator::dropConnection() {
    postRequest(m_dropRequested);
}

std::vector<std::string> RepeaterEmulator::receivedCommands() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

void RepeaterEmulator::clearReceivedCommands() {
    std::lock_guard lock(m_mutex);
    m_received.clear();
}

bool RepeaterEmulator::waitForCommand(std::string_view text, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        return std::find(m_received.begin(), m_received.end(), text) != m_received.end();
    });
}

bool RepeaterEmulator::waitForListening(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_listening; });
}

bool RepeaterEmulator::waitForConnectionCount(int count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_connectionCount >= count; });
}

int RepeaterEmulator::connectionCount() const {
    std::lock_guard lock(m_mutex);
    return m_connectionCount;
}

bool RepeaterEmulator::connected() const {
    std::lock_guard lock(m_mutex);
    return m_connected;
}

bool RepeaterEmulator::listening() const {
    std::lock_guard lock(m_mutex);
    return m_listening;
}

std::optional<Endpoint> RepeaterEmulator::logDestination() const {
    std::lock_guard lock(m_mutex);
    return m_model.logDestination();
}

std::optional<Endpoint> RepeaterEmulator::airDestination() const {
    std::lock_guard lock(m_mutex);
    return m_model.airDestination();
}

int RepeaterEmulator::channel() const {
    std::lock_guard lock(m_mutex);
    return m_model.channel();
}

bool RepeaterEmulator::paOn() const {
    std::lock_guard lock(m_mutex);
    return m_model.paOn();
}

EmulatorCounters RepeaterEmulator::counters() const {
    std::lock_guard lock(m_mutex);
    return m_counters;
}

bool RepeaterEmulator::sendDatagram(const std::optional<Endpoint>& destination, const void* data,
                                    std::size_t size, std::uint64_t& sentCount) {
    sockaddr_in address{};
    if (!destination || !makeIPv4Address(destination->address, destination->port, address))
        return false;
    const auto sent = ::sendto(m_udp.fd(), data, size, MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (sent != static_cast<ssize_t>(size)) {
        ++m_counters.sendErrors;
        return false;
    }
    ++sentCount;
    return true;
}

bool RepeaterEmulator::sendLogText(std::string_view text) {
    return sendDatagram(m_model.logDestination(), text.data(), text.size(), m_counters.logDatagramsSent);
}

void RepeaterEmulator::say(std::string_view text) const {
    if (m_options.console)
        m_options.console(stampedLine(text));
}

} // namespace tavrel::emulator

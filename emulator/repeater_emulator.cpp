// The single repeater's view of its fleet of one.
#include "emulator/repeater_emulator.h"

#include <algorithm>

namespace tavrel::emulator {

RepeaterEmulator::RepeaterEmulator(EmulatorOptions options)
    : m_fleet(options, 1, options.address,
              // Exact pacing and the command history, as a test of one repeater wants them.
              FleetTuning{.keepCommands = true, .timerGranularity = std::chrono::milliseconds(0)}) {}

bool RepeaterEmulator::start() {
    return m_fleet.start();
}

int RepeaterEmulator::alarmBits() const {
    return look([](const EmulatedRepeater& r) { return r.alarmBits(); });
}

std::vector<std::string> RepeaterEmulator::receivedCommands() const {
    return m_fleet.inspect(1, [](const FleetMember& member) { return member.receivedCommands(); });
}

bool RepeaterEmulator::waitForCommand(std::string_view text, std::chrono::milliseconds timeout) {
    return m_fleet.waitUntil(1, timeout, [&](const FleetMember& member) {
        const auto& received = member.receivedCommands();
        return std::find(received.begin(), received.end(), text) != received.end();
    });
}

bool RepeaterEmulator::waitForListening(std::chrono::milliseconds timeout) {
    return m_fleet.waitUntil(1, timeout,
                             [](const FleetMember& member) { return member.repeater().listening(); });
}

bool RepeaterEmulator::waitForConnectionCount(int count, std::chrono::milliseconds timeout) {
    return m_fleet.waitUntil(1, timeout, [count](const FleetMember& member) {
        return member.repeater().connectionCount() >= count;
    });
}

int RepeaterEmulator::connectionCount() const {
    return look([](const EmulatedRepeater& r) { return r.connectionCount(); });
}

bool RepeaterEmulator::connected() const {
    return look([](const EmulatedRepeater& r) { return r.connected(); });
}

bool RepeaterEmulator::listening() const {
    return look([](const EmulatedRepeater& r) { return r.listening(); });
}

std::optional<Endpoint> RepeaterEmulator::logDestination() const {
    return look([](const EmulatedRepeater& r) { return r.model().logDestination(); });
}

std::optional<Endpoint> RepeaterEmulator::airDestination() const {
    return look([](const EmulatedRepeater& r) { return r.model().airDestination(); });
}

int RepeaterEmulator::channel() const {
    return look([](const EmulatedRepeater& r) { return r.model().channel(); });
}

bool RepeaterEmulator::paOn() const {
    return look([](const EmulatedRepeater& r) { return r.model().paOn(); });
}

EmulatorCounters RepeaterEmulator::counters() const {
    return look([](const EmulatedRepeater& r) { return r.counters(); });
}

} // namespace tavrel::emulator

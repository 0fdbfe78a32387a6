// Carries out tavrel-repeater's control lines on its fleet (a single repeater is a fleet of one).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "emulator/fleet_emulator.h"

namespace tavrel::emulator {

class ControlConsole {
public:
    // `print` writes one console line as it is; `fleet` chooses the fleet's control lines.
    ControlConsole(FleetEmulator& emulator, bool fleet, std::function<void(const std::string&)> print);

    // Runs one line; false when it asks to quit.
    bool run(std::string_view text);

private:
    void sendLog(int member, std::string_view text);
    void sendAirRecord(int member);
    void drop(int member);
    void stats();
    bool hasDestination(int member, bool air) const;
    void say(std::string_view text) const; // with a time stamp

    FleetEmulator& m_emulator;
    const bool m_fleet;
    const std::function<void(const std::string&)> m_print;
};

} // namespace tavrel::emulator

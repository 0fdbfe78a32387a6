// The control lines tavrel-repeater reads on standard input, in both modes, and their help texts.
#pragma once

#include <string>
#include <string_view>

namespace tavrel::emulator {

enum class ControlKind { Alarm, Log, Air, Off, On, Reboot, Drop, Stats, Quit, Help, Empty, Invalid };

struct ControlLine {
    ControlKind kind = ControlKind::Invalid;
    int member = 1; // the repeater it names (1-based); 0: all (a single repeater's lines: 1)
    int alarmBits = 0;
    std::string text; // Log: the datagram, with \n and \\ turned into a line break and a backslash
};

// With a fleet, every line but stats, quit and help names a repeater by its number or "all" after its
// first word ("alarm 3 5"); a single repeater's lines name none ("alarm 5"). A log text is taken as typed
// after the one space that ends the word before it.
ControlLine parseControlLine(std::string_view line, bool fleet);

// The control lines of a single repeater, and those of a fleet.
std::string controlHelpText();
std::string fleetControlHelpText();

} // namespace tavrel::emulator

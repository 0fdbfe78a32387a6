// What each control line does, and what it tells the operator.
#include "emulator/control_console.h"

#include "emulator/control_line.h"
#include "emulator/text_format.h"

namespace tavrel::emulator {

ControlConsole::ControlConsole(FleetEmulator& emulator, bool fleet,
                               std::function<void(const std::string&)> print)
    : m_emulator(emulator), m_fleet(fleet), m_print(std::move(print)) {}

bool ControlConsole::run(std::string_view text) {
    const ControlLine line = parseControlLine(text, m_fleet);
    const int member = line.member;
    bool known = member <= m_emulator.size();
    if (known) {
        switch (line.kind) {
        case ControlKind::Alarm:
            m_emulator.setAlarmBits(member, line.alarmBits);
            break;
        case ControlKind::Log:
            sendLog(member, line.text);
            break;
        case ControlKind::Air:
            sendAirRecord(member);
            break;
        case ControlKind::Off:
            m_emulator.switchOff(member);
            break;
        case ControlKind::On:
            m_emulator.switchOn(member);
            break;
        case ControlKind::Reboot:
            m_emulator.reboot(member);
            break;
        case ControlKind::Drop:
            drop(member);
            break;
        case ControlKind::Stats:
            stats();
            break;
        case ControlKind::Quit:
            return false;
        case ControlKind::Help:
            m_print(m_fleet ? fleetControlHelpText() : controlHelpText());
            break;
        case ControlKind::Empty:
            break;
        case ControlKind::Invalid:
            known = false;
            break;
        }
    }
    if (!known)
        say((m_fleet ? "unknown control line or repeater number \"" : "unknown control line \"") +
            escapeText(text) + "\"; type help");
    return true;
}

bool ControlConsole::hasDestination(int member, bool air) const {
    return m_emulator.inspect(member, [air](const FleetMember& one) {
        const RepeaterModel& model = one.repeater().model();
        return (air ? model.airDestination() : model.logDestination()).has_value();
    });
}

void ControlConsole::sendLog(int member, std::string_view text) {
    const bool sent = m_emulator.sendLog(member, text);
    if (member == 0) {
        if (!sent)
            say("not every log datagram was sent: no log destination (SETLOGDST) yet, or the send failed");
    } else if (sent) {
        say(textf("log datagram of %zu bytes sent", text.size()));
    } else {
        say(hasDestination(member, false) ? "log datagram not sent: the send failed"
                                          : "no log sent: no log destination (SETLOGDST) yet");
    }
}

void ControlConsole::sendAirRecord(int member) {
    const bool sent = m_emulator.sendAirRecord(member);
    if (member == 0) {
        if (!sent)
            say("not every air-log record was sent: no air-log destination (AILOGON) yet, or the send "
                "failed");
    } else if (sent) {
        say("air-log record sent");
    } else {
        say(hasDestination(member, true) ? "air-log record not sent: the send failed"
                                         : "no record sent: no air-log destination (AILOGON) yet");
    }
}

void ControlConsole::drop(int member) {
    if (member != 0 &&
        !m_emulator.inspect(member, [](const FleetMember& one) { return one.repeater().connected(); }))
        say("no connection to drop");
    else
        m_emulator.dropConnection(member);
}

void ControlConsole::stats() {
    const FleetStats stats = m_emulator.stats();
    say(textf(
        "stats: %d repeaters, %d on, %d connected, %llu connections accepted, %llu numbered lines sent, "
        "%llu commands received, at most %d accepts in one millisecond",
        stats.members, stats.poweredOn, stats.connected, static_cast<unsigned long long>(stats.connections),
        static_cast<unsigned long long>(stats.numberedLinesSent),
        static_cast<unsigned long long>(stats.commandsReceived), stats.mostAcceptsInOneMs));
    m_emulator.resetAcceptCount();
}

void ControlConsole::say(std::string_view text) const {
    m_print(stampedLine(text));
}

} // namespace tavrel::emulator

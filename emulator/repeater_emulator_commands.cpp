// What the emulator does with one received command: console line, state change, reply, log line.
#include "emulator/repeater_emulator.h"

#include "emulator/command_table.h"
#include "emulator/text_format.h"

namespace tavrel::emulator {
namespace {

constexpr double kDspLogLinesPerSecond = 1.0;
constexpr double kDspLinkLogLinesPerSecond = 2.0;

} // namespace

void RepeaterEmulator::handleCommandText(const std::string& text, Clock::time_point now) {
    if (m_received.size() >= kMaxKeptCommands)
        m_received.erase(m_received.begin(), m_received.begin() + kMaxKeptCommands / 2);
    m_received.push_back(text);
    ++m_counters.commandsReceived;

    const Command command = parseCommand(text);
    if (command.kind == CommandKind::Unknown) {
        ++m_counters.unknownCommands;
        say("RX unknown \"" + escapeText(text) + "\"");
    } else {
        say("RX " + escapeText(text));
    }

    const std::string logText = m_model.apply(command, text, uptime(now));
    switch (command.kind) {
    case CommandKind::AlarmQuery: {
        const std::string reply = textf("ALARMSTATE:%d", m_model.alarmBits());
        if (m_connection.send(reply) == static_cast<ssize_t>(reply.size()))
            say("TX " + reply);
        break;
    }
    case CommandKind::SetLogDestination:
        m_numberedLinePacer.switchTo(m_model.logDestination().has_value(), m_options.logLinesPerSecond, now);
        say(m_model.logDestination() ? "log destination " + m_model.logDestination()->text()
                                     : std::string("log destination rejected"));
        break;
    case CommandKind::AirLogOn:
    case CommandKind::AirLogOff:
        m_airPacer.switchTo(m_model.airDestination().has_value(), m_options.airRecordsPerSecond, now);
        say(m_model.airDestination() ? "air log on, destination " + m_model.airDestination()->text()
                                     : std::string("air log off"));
        break;
    case CommandKind::DspLogOn:
    case CommandKind::DspLogOff:
        m_dspLogPacer.switchTo(m_model.dspLog(), kDspLogLinesPerSecond, now);
        break;
    case CommandKind::DspLinkLogOn:
    case CommandKind::DspLinkLogOff:
        m_dspLinkLogPacer.switchTo(m_model.dspLinkLog(), kDspLinkLogLinesPerSecond, now);
        break;
    default:
        break;
    }
    // The log line goes out before a reboot forgets the destination, as a real repeater's last words.
    sendLogText(logText);
    if (command.kind == CommandKind::Reboot)
        beginReboot(now);
    m_changed.notify_all();
}

} // namespace tavrel::emulator

// What the emulated repeater does with one received command (console line, state change, reply, log
// line), and its timed and requested datagrams.
#include "emulator/emulated_repeater.h"

#include "emulator/command_table.h"
#include "emulator/text_format.h"

namespace tavrel::emulator {
namespace {

constexpr double kDspLogLinesPerSecond = 1.0;
constexpr double kDspLinkLogLinesPerSecond = 2.0;

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

} // namespace

void EmulatedRepeater::handleCommand(const std::string& text, Clock::time_point now) {
    m_output.received(text);
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
        if (m_output.reply(reply))
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
    sendLog(logText);
    if (command.kind == CommandKind::Reboot)
        reboot(now);
}

void EmulatedRepeater::sendPacedLines(Clock::time_point now) {
    const bool logging = m_model.logDestination().has_value();
    if (m_statusPacer.takeDue(now) > 0 && logging)
        sendLog(m_model.statusLine(uptime(now)));
    if (m_dspLogPacer.takeDue(now) > 0 && logging)
        sendLog(m_model.dspLogLine());
    if (m_dspLinkLogPacer.takeDue(now) > 0 && logging)
        sendLog(m_model.dspLinkLogLine());
    for (auto due = m_numberedLinePacer.takeDue(now); due > 0 && logging; --due)
        sendLog(numberedLine(++m_counters.numberedLinesSent, m_options.logLineBytes));
    for (auto due = m_airPacer.takeDue(now); due > 0 && m_model.airDestination(); --due)
        sendAirRecord();
}

bool EmulatedRepeater::sendLog(std::string_view text) {
    return send(m_model.logDestination(), text, m_counters.logDatagramsSent);
}

bool EmulatedRepeater::sendAirRecord() {
    if (!m_model.airDestination())
        return false;
    const auto record = m_airGenerator.next(m_options.airRecordBytes);
    return sendAirBytes(record);
}

bool EmulatedRepeater::sendAirBytes(std::span<const std::uint8_t> bytes) {
    return send(m_model.airDestination(),
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                m_counters.airRecordsSent);
}

bool EmulatedRepeater::send(const std::optional<Endpoint>& destination, std::string_view bytes,
                            std::uint64_t& sent) {
    if (!destination)
        return false;
    if (!m_output.sendDatagram(*destination, bytesOf(bytes))) {
        ++m_counters.sendErrors;
        return false;
    }
    ++sent;
    return true;
}

} // namespace tavrel::emulator

// The emulated repeater's power, port, connection and timers: what happens when, as plain state.
#include "emulator/emulated_repeater.h"

#include "emulator/text_format.h"

namespace tavrel::emulator {
namespace {

// A port that could not be opened again after a reboot (still taken) is tried again this often.
constexpr std::chrono::milliseconds kListenRetry{500};

void earliest(std::optional<EmulatedRepeater::Clock::time_point>& best,
              EmulatedRepeater::Clock::time_point when) {
    if (!best || when < *best)
        best = when;
}

} // namespace

EmulatedRepeater::EmulatedRepeater(EmulatorOptions options, RepeaterOutput& output, std::uint32_t seedOffset)
    : m_options(std::move(options)), m_output(output), m_model(m_options.seed + seedOffset),
      m_airGenerator(m_options.seed + seedOffset) {}

bool EmulatedRepeater::powerOn(Clock::time_point now) {
    if (m_poweredOn)
        return true;
    m_poweredOn = true;
    m_bootTime = now;
    if (!m_startTime) {
        // The alarm script counts from the first power-on; switching off and on again does not restart it.
        m_startTime = now;
        m_model.setExternalAlarmBits(m_options.alarmBits);
        if (!m_options.alarmScript.empty()) {
            m_nextScriptStep = m_options.alarmScript.steps().front().at;
            applyScriptStep(now);
        }
    }
    if (!m_options.quiet)
        m_statusPacer.start(1.0, now);
    if (m_options.refuse) {
        say("refusing connections: the O&M port stays closed");
        return true;
    }
    return openListener();
}

void EmulatedRepeater::powerOff() {
    if (!m_poweredOn)
        return;
    m_output.stopListening();
    m_listening = false;
    closeConnection("switched off");
    m_model.reboot(); // destinations forgotten
    for (RatePacer* pacer :
         {&m_statusPacer, &m_dspLogPacer, &m_dspLinkLogPacer, &m_numberedLinePacer, &m_airPacer})
        pacer->stop();
    m_rebootUntil.reset();
    m_listenRetryAt.reset();
    m_poweredOn = false;
}

void EmulatedRepeater::reboot(Clock::time_point now) {
    if (!m_poweredOn)
        return;
    // The port closes before the connection, so a monitor that sees the close finds the port refusing.
    m_output.stopListening();
    m_listening = false;
    closeConnection("rebooting");
    m_listenRetryAt.reset();
    m_model.reboot();
    // The status line keeps its pace (it waits for a destination); the switched logs start off again.
    for (RatePacer* pacer : {&m_dspLogPacer, &m_dspLinkLogPacer, &m_numberedLinePacer, &m_airPacer})
        pacer->stop();
    m_rebootUntil = now + m_options.rebootTime;
    m_bootTime = *m_rebootUntil;
    say(textf("rebooting: O&M port closed and log destinations forgotten for %lld ms",
              static_cast<long long>(m_options.rebootTime.count())));
}

bool EmulatedRepeater::openListener() {
    const std::string problem = m_output.listen();
    if (!problem.empty()) {
        say(problem);
        return false;
    }
    m_listening = true;
    say(textf("listening on %s:%u", m_options.address.c_str(), kOmPort));
    return true;
}

void EmulatedRepeater::onAccepted(std::string_view peer, Clock::time_point now) {
    // One monitor at a time: a monitor that reconnects after a silent loss must not be locked out by its
    // own dead connection.
    if (m_connected)
        closeConnection("replaced by a new connection from " + std::string(peer));
    m_connected = true;
    m_peer = peer;
    ++m_connectionCount;
    m_splitter.reset();
    if (m_options.dropAfter)
        m_dropAt = now + *m_options.dropAfter;
    say("connection from " + m_peer);
}

void EmulatedRepeater::onReceived(std::string_view bytes, Clock::time_point now) {
    if (!m_connected)
        return;
    m_lastRead = now;
    for (const auto& text : m_splitter.feed(bytes)) {
        handleCommand(text, now);
        if (!m_connected)
            break; // a reboot closed the connection: the rest of the read is lost with it
    }
}

void EmulatedRepeater::onConnectionLost(std::string_view why, Clock::time_point now) {
    if (auto text = m_splitter.flush())
        handleCommand(*text, now);
    closeConnection(why);
}

void EmulatedRepeater::dropConnection(std::string_view why) {
    closeConnection(why);
}

void EmulatedRepeater::closeConnection(std::string_view why) {
    if (!m_connected)
        return;
    m_output.closeConnection();
    m_connected = false;
    m_dropAt.reset();
    m_splitter.reset();
    say(textf("%.*s (%s)", static_cast<int>(why.size()), why.data(), m_peer.c_str()));
}

void EmulatedRepeater::onTimer(Clock::time_point now) {
    if (m_rebootUntil && now >= *m_rebootUntil) {
        m_rebootUntil.reset();
        say("reboot finished");
        if (!m_options.refuse)
            m_listenRetryAt = now;
    }
    if (m_listenRetryAt && now >= *m_listenRetryAt) {
        m_listenRetryAt.reset();
        if (!openListener())
            m_listenRetryAt = now + kListenRetry;
    }
    if (m_dropAt && now >= *m_dropAt)
        closeConnection("connection dropped after the --drop-after time");
    if (m_splitter.hasPending() && now >= m_lastRead + om::CommandSplitter::kQuietGap)
        if (auto text = m_splitter.flush())
            handleCommand(*text, now);
    applyScriptStep(now);
    sendPacedLines(now);
}

std::optional<EmulatedRepeater::Clock::time_point> EmulatedRepeater::nextDeadline() const {
    std::optional<Clock::time_point> next;
    for (const auto& when : {m_rebootUntil, m_listenRetryAt, m_dropAt})
        if (when)
            earliest(next, *when);
    if (m_splitter.hasPending())
        earliest(next, m_lastRead + om::CommandSplitter::kQuietGap);
    if (m_nextScriptStep && m_startTime)
        earliest(next, *m_startTime + *m_nextScriptStep);
    // Log timers matter only while there is somewhere to send to; an idle repeater sleeps.
    if (m_model.logDestination())
        for (const RatePacer* pacer :
             {&m_statusPacer, &m_dspLogPacer, &m_dspLinkLogPacer, &m_numberedLinePacer})
            if (pacer->active())
                earliest(next, pacer->nextDue());
    if (m_model.airDestination() && m_airPacer.active())
        earliest(next, m_airPacer.nextDue());
    return next;
}

void EmulatedRepeater::applyScriptStep(Clock::time_point now) {
    if (!m_startTime)
        return;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - *m_startTime);
    bool changed = false;
    while (m_nextScriptStep && *m_nextScriptStep <= elapsed) {
        m_nextScriptStep = m_options.alarmScript.nextStepAfter(*m_nextScriptStep);
        changed = true;
    }
    if (!changed)
        return;
    const int bits = m_options.alarmScript.bitsAt(elapsed).value_or(m_model.externalAlarmBits());
    m_model.setExternalAlarmBits(bits);
    say(textf("alarm bits set to %d by the alarm script", bits));
}

void EmulatedRepeater::setAlarmBits(int bits) {
    m_model.setExternalAlarmBits(bits);
    say(textf("alarm bits set to %d", bits));
}

std::chrono::seconds EmulatedRepeater::uptime(Clock::time_point now) const {
    return now > m_bootTime ? std::chrono::duration_cast<std::chrono::seconds>(now - m_bootTime)
                            : std::chrono::seconds(0);
}

void EmulatedRepeater::say(std::string_view text) {
    if (m_options.console)
        m_output.say(text);
}

} // namespace tavrel::emulator

// One emulated repeater with no I/O of its own: it takes connection events, received bytes, control calls
// and the time, and tells its carrier what to send, what to open and close, and when to wake it next.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "emulator/air_record_generator.h"
#include "emulator/emulator_options.h"
#include "emulator/rate_pacer.h"
#include "emulator/repeater_model.h"
#include "protocol/om_command_splitter.h"

namespace tavrel::emulator {

struct EmulatorCounters {
    std::uint64_t commandsReceived = 0;
    std::uint64_t unknownCommands = 0;
    std::uint64_t logDatagramsSent = 0;
    std::uint64_t airRecordsSent = 0;
    std::uint64_t sendErrors = 0;
    std::uint64_t numberedLinesSent = 0;
};

// What the repeater asks of its carrier; the carrier owns the sockets and carries each call out at once.
class RepeaterOutput {
public:
    virtual ~RepeaterOutput() = default;
    // Opens the O&M listener on the repeater's address; empty when it listens, else why it does not.
    virtual std::string listen() = 0;
    virtual void stopListening() = 0;
    // Sends on the current connection; false when the send failed.
    virtual bool reply(std::string_view text) = 0;
    virtual void closeConnection() = 0;
    // One datagram from the repeater's own address; false when the send failed.
    virtual bool sendDatagram(const Endpoint& destination, std::span<const std::uint8_t> bytes) = 0;
    // Every command text received, in order.
    virtual void received(const std::string& text) = 0;
    // A console line (without its time stamp); called only when the options ask for a console.
    virtual void say(std::string_view text) = 0;
};

class EmulatedRepeater {
public:
    using Clock = std::chrono::steady_clock;

    // `seedOffset` gives each repeater of a fleet its own readings and air records.
    EmulatedRepeater(EmulatorOptions options, RepeaterOutput& output, std::uint32_t seedOffset = 0);

    // Powers the repeater on: alarm bits and script (counted from the first power-on), status line, and
    // the O&M port unless refusing. False when the port cannot be opened (said on the console).
    bool powerOn(Clock::time_point now);
    // Power switch off: port and connection close, destinations are forgotten, nothing more is sent.
    void powerOff();
    // As on REBOOTREPEATER: the port refuses connections for the reboot time and the destinations are
    // forgotten. Nothing while switched off.
    void reboot(Clock::time_point now);

    // The carrier accepted a connection (not yet installed): the current one, if any, is closed first.
    void onAccepted(std::string_view peer, Clock::time_point now);
    void onReceived(std::string_view bytes, Clock::time_point now);
    // The monitor closed the connection or it failed; `why` is said on the console.
    void onConnectionLost(std::string_view why, Clock::time_point now);
    // Runs what is due; nextDeadline() tells when to call it again.
    void onTimer(Clock::time_point now);
    std::optional<Clock::time_point> nextDeadline() const;

    // Alarm bits reported from now on (the PLL lock alarms are added); a later script step replaces them.
    void setAlarmBits(int bits);
    void dropConnection(std::string_view why);
    // One text datagram to the log destination, or one air record to the air-log destination; false when
    // no destination is set or the send failed.
    bool sendLog(std::string_view text);
    bool sendAirRecord();
    bool sendAirBytes(std::span<const std::uint8_t> bytes);

    const RepeaterModel& model() const { return m_model; }
    int alarmBits() const { return m_model.alarmBits(); }
    bool poweredOn() const { return m_poweredOn; }
    bool listening() const { return m_listening; }
    bool connected() const { return m_connected; }
    int connectionCount() const { return m_connectionCount; }
    const EmulatorCounters& counters() const { return m_counters; }

private:
    void handleCommand(const std::string& text, Clock::time_point now);
    void closeConnection(std::string_view why);
    bool openListener();
    void applyScriptStep(Clock::time_point now);
    bool send(const std::optional<Endpoint>& destination, std::string_view bytes, std::uint64_t& sent);
    void sendPacedLines(Clock::time_point now);
    std::chrono::seconds uptime(Clock::time_point now) const;
    void say(std::string_view text);

    const EmulatorOptions m_options;
    RepeaterOutput& m_output;
    RepeaterModel m_model;
    AirRecordGenerator m_airGenerator;
    om::CommandSplitter m_splitter;
    RatePacer m_statusPacer;
    RatePacer m_dspLogPacer;
    RatePacer m_dspLinkLogPacer;
    RatePacer m_numberedLinePacer;
    RatePacer m_airPacer;

    std::optional<Clock::time_point> m_startTime;
    Clock::time_point m_bootTime{};
    Clock::time_point m_lastRead{};
    std::optional<Clock::time_point> m_rebootUntil;
    std::optional<Clock::time_point> m_listenRetryAt;
    std::optional<Clock::time_point> m_dropAt;
    std::optional<std::chrono::milliseconds> m_nextScriptStep;

    bool m_poweredOn = false;
    bool m_listening = false;
    bool m_connected = false;
    std::string m_peer;
    int m_connectionCount = 0;
    EmulatorCounters m_counters;
};

} // namespace tavrel::emulator

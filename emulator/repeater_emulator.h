// An emulated DMR repeater: O&M command port, text log and air log by UDP, usable in-process or from a
// program.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "emulator/air_record_generator.h"
#include "emulator/command_splitter.h"
#include "emulator/emulator_options.h"
#include "emulator/rate_pacer.h"
#include "emulator/repeater_model.h"
#include "platform/socket.h"
#include "platform/wake_event.h"

namespace tavrel::emulator {

struct EmulatorCounters {
    std::uint64_t commandsReceived = 0;
    std::uint64_t unknownCommands = 0;
    std::uint64_t logDatagramsSent = 0;
    std::uint64_t airRecordsSent = 0;
    std::uint64_t sendErrors = 0;
};

// One worker thread waits in poll() on the O&M listener, the connection and a wake-up event, with a time-out
// up to the next timed send; the methods below may be called from any thread except the console callback.
// One monitor connection at a time: a new connection replaces the current one (a monitor that reconnects
// after a silent loss must not be locked out by its own dead connection).
class RepeaterEmulator {
public:
    using Clock = std::chrono::steady_clock;

    explicit RepeaterEmulator(EmulatorOptions options);
    ~RepeaterEmulator();
    RepeaterEmulator(const RepeaterEmulator&) = delete;
    RepeaterEmulator& operator=(const RepeaterEmulator&) = delete;

    // Listens on address:2301 (unless refusing) and starts the worker. False when the port cannot be
    // bound (the console says why) or when already running.
    bool start();
    // Closes everything and joins the worker; idempotent, also done by the destructor.
    void stop();

    // Alarm bits reported from now on (the PLL lock alarms are added); a later script step replaces them.
    void setAlarmBits(int bits);
    int alarmBits() const;

    // One text datagram to the log destination, or one air record to the air-log destination; false when
    // no destination is set or the send failed.
    bool sendLog(std::string_view text);
    bool sendAirRecord();
    bool sendAirBytes(std::span<const std::uint8_t> bytes);

    // Both return once the worker has acted: after reboot() the port refuses connections for the reboot
    // time and the log destinations are forgotten; after dropConnection() the connection is closed.
    void reboot();
    void dropConnection();

    // Every command text received, in order (the oldest are dropped beyond kMaxKeptCommands).
    std::vector<std::string> receivedCommands() const;
    void clearReceivedCommands();
    bool waitForCommand(std::string_view text, std::chrono::milliseconds timeout);
    bool waitForListening(std::chrono::milliseconds timeout);
    bool waitForConnectionCount(int count, std::chrono::milliseconds timeout);

    int connectionCount() const;
    bool connected() const;
    bool listening() const;
    std::optional<Endpoint> logDestination() const;
    std::optional<Endpoint> airDestination() const;
    int channel() const;
    bool paOn() const;
    EmulatorCounters counters() const;

    static constexpr std::size_t kMaxKeptCommands = 100'000;

private:
    // Everything below runs on the worker thread with m_mutex held.
    void run();
    void handleRequests(Clock::time_point now);
    void runTimers(Clock::time_point now);
    std::optional<Clock::time_point> nextDeadline() const;
    bool openListener();
    void acceptConnection(Clock::time_point now);
    void readConnection(Clock::time_point now);
    void closeConnection(std::string_view why);
    void handleCommandText(const std::string& text, Clock::time_point now);
    void beginReboot(Clock::time_point now);
    void applyScriptStep(Clock::time_point now);
    std::chrono::seconds uptime(Clock::time_point now) const;

    // Any thread, with m_mutex held.
    bool sendDatagram(const std::optional<Endpoint>& destination, const void* data, std::size_t size,
                      std::uint64_t& sentCount);
    bool sendAirRecordLocked();
    bool sendLogText(std::string_view text);
    void say(std::string_view text) const;
    void postRequest(bool& flag);

    EmulatorOptions m_options;
    std::mutex m_lifecycle;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    WakeEvent m_wake;
    std::thread m_thread;
    std::atomic<bool> m_stopRequested{false};
    bool m_workerRunning = false;

    // Descriptors polled by the worker: only the worker opens and closes them once it runs.
    Socket m_listener;
    Socket m_connection;
    // Unconnected UDP socket for both logs; a datagram send is one call, safe from any thread.
    Socket m_udp;

    RepeaterModel m_model;
    AirRecordGenerator m_airGenerator;
    CommandSplitter m_splitter;
    Clock::time_point m_startTime{};
    Clock::time_point m_bootTime{};
    Clock::time_point m_lastRead{};
    std::optional<Clock::time_point> m_rebootUntil;
    std::optional<Clock::time_point> m_listenRetryAt;
    std::optional<Clock::time_point> m_dropAt;
    std::optional<std::chrono::milliseconds> m_nextScriptStep;
    RatePacer m_statusPacer;
    RatePacer m_dspLogPacer;
    RatePacer m_dspLinkLogPacer;
    RatePacer m_numberedLinePacer;
    RatePacer m_airPacer;
    unsigned long long m_numberedLines = 0;

    bool m_listening = false;
    bool m_connected = false;
    std::string m_peer;
    int m_connectionCount = 0;
    bool m_rebootRequested = false;
    bool m_dropRequested = false;
    std::uint64_t m_requestSerial = 0;
    std::uint64_t m_handledSerial = 0;
    std::vector<std::string> m_received;
    EmulatorCounters m_counters;
};

} // namespace tavrel::emulator

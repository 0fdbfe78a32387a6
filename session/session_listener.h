// What a monitoring session reports to the front end that shows it.
#pragma once

#include <cstdint>
#include <string_view>

#include "session/alarm_transitions.h"

namespace tavrel {

// Every call comes on the session's thread, right after the session's own state has changed. Each has a
// default that ignores it, so a front end implements only what it shows.
class SessionListener {
public:
    virtual ~SessionListener() = default;
    // A stamped event-log line ("YYYYMMDD hhmmss>> text"), already appended to the run log.
    virtual void onEventLine(std::string_view /*stampedLine*/) {}
    virtual void onConnectionChanged(bool /*connected*/) {}
    // An alarm report was taken (bits as reported), after its transitions were told.
    virtual void onAlarmState(std::int32_t /*bits*/) {}
    // An alarm came, went or was found active; its event-log line has been reported just before.
    virtual void onAlarmTransition(const AlarmTransition& /*transition*/) {}
    // An air-log record as a list line, already written to its data file.
    virtual void onAirLogRecord(bool /*downlink*/, std::string_view /*displayLine*/) {}
};

} // namespace tavrel

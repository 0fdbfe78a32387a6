// The repeater-log receiver: binds the monitor rx port, announces itself with SETLOGDST and hands over text.
#include "receivers/log_receiver.h"

#include "omlink/om_commands.h"
#include "platform/narrow_text.h"
#include "receivers/udp_receive_task.h"

namespace tavrel {
namespace {

constexpr UdpReceiveProfile kLogProfile{
    .slotSize = LogReceiver::kSlotSize,
    .slotCount = LogReceiver::kSlotCount,
    .kind = NotifyRepeaterLog,
    .appendNul = true,
    .createFailure = "Fail to create log receive socket,error=%d",
    .bindFailure = "Fail to bind log receive socket,error=%d",
    .quitText = "LOG receiving task quit",
};

} // namespace

LogReceiver::LogReceiver(NotificationHub& hub, OmLink& link)
    : m_link(link), m_task(std::make_unique<UdpReceiveTask>(hub, kLogProfile)) {}

LogReceiver::~LogReceiver() = default; // the task's destructor stops and joins it

int LogReceiver::startLogReceiver(std::string_view localAddress, int port) {
    if (m_task->active())
        return UdpReceiveTask::kBusy;
    m_address = cutAddress(localAddress);
    m_port = port;
    const int result = m_task->start(m_address, m_port);
    if (result == UdpReceiveTask::kStarted)
        om::sendLogDestination(m_link, m_address, m_port);
    return result;
}

void LogReceiver::stopLogReceiver() {
    m_task->stop();
}

void LogReceiver::join() {
    m_task->join();
}

bool LogReceiver::running() const {
    return m_task->running();
}

} // namespace tavrel

// The air-log receiver: binds the air log rx port and hands over each binary record exactly as received.
#include "receivers/air_log_receiver.h"

#include "platform/narrow_text.h"
#include "receivers/udp_receive_task.h"

namespace tavrel {
namespace {

constexpr UdpReceiveProfile kAirLogProfile{
    .slotSize = AirLogReceiver::kSlotSize,
    .slotCount = AirLogReceiver::kSlotCount,
    .kind = NotifyAirLogRecord,
    .appendNul = false,
    .createFailure = "Fail to create airlog receive socket,error=%d",
    .bindFailure = "Fail to bind airlog receive socket,error=%d",
    .quitText = "AIRLOG receiving task quit",
};

} // namespace

AirLogReceiver::AirLogReceiver(NotificationHub& hub)
    : m_task(std::make_unique<UdpReceiveTask>(hub, kAirLogProfile)) {}

AirLogReceiver::~AirLogReceiver() = default; // the task's destructor stops and joins it

int AirLogReceiver::startAirLogReceiver(std::string_view localAddress, int port) {
    if (m_task->active())
        return UdpReceiveTask::kBusy;
    m_address = cutAddress(localAddress);
    m_port = port;
    const int result = m_task->start(m_address, m_port);
    return result;
}

void AirLogReceiver::stopAirLogReceiver() {
    m_task->stop();
}

void AirLogReceiver::join() {
    m_task->join();
}

bool AirLogReceiver::running() const {
    return m_task->running();
}

} // namespace tavrel

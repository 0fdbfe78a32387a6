// The UDP receive task: binds, waits, copies each datagram and hands it over.
#include "receivers/udp_receiver.h"

#include <cerrno>
#include <cstdint>
#include <system_error>
#include <utility>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include "platform/socket.h"

namespace tavrel {
namespace {

// Only when the wake-up descriptor could not be made: stop is then noticed within this many milliseconds.
constexpr int kFallbackWaitMs = 1;

std::string withErrorCode(std::string_view text, int code) {
    std::string line(text);
    if (const auto at = line.find("%d"); at != std::string::npos)
        line.replace(at, 2, std::to_string(code));
    return line;
}

} // namespace

UdpReceiver::UdpReceiver(NotificationHub& hub, const UdpReceiveProfile& profile)
    : m_hub(hub), m_profile(profile), m_ring(profile.slotSize * static_cast<std::size_t>(profile.slotCount)) {
}

UdpReceiver::~UdpReceiver() {
    stop();
    join();
}

int UdpReceiver::start(std::string_view address, int port) {
    if (m_active.load())
        return kBusy;
    join(); // an ended task's thread
    m_address = address;
    m_port = port;
    m_wake.reset();
    m_runFlag.store(true);
    m_active.store(true);
    try {
        m_thread = std::thread([this, address = m_address, port] { run(address, port); });
    } catch (const std::system_error&) {
        m_runFlag.store(false);
        m_active.store(false);
        return kNoThread;
    }
    return kStarted;
}

void UdpReceiver::stop() {
    m_runFlag.store(false);
    m_wake.signal();
}

void UdpReceiver::join() {
    if (m_thread.joinable())
        m_thread.join();
}

void UdpReceiver::run(std::string address, int port) {
    Socket socket = Socket::udp();
    if (!socket.valid()) {
        postError(m_profile.createFailure, lastSystemError());
    } else if (bindSocket(socket, address, port)) {
        m_slot = 0;
        m_running.store(true);
        receiveLoop(socket);
        m_hub.postStatusText(m_profile.quitText);
        socket.shutdownBoth();
        socket.close();
        m_running.store(false);
    }
    m_active.store(false);
}

bool UdpReceiver::bindSocket(Socket& socket, const std::string& address, int port) {
    // A smaller buffer than asked for is still a working receiver, so the result does not matter.
    socket.setOption(SOL_SOCKET, SO_RCVBUF, kReceiveBufferBytes);
    sockaddr_in local{};
    if (!makeIPv4Address(address, static_cast<std::uint16_t>(port & 0xFFFF), local)) {
        postError(m_profile.bindFailure, EINVAL);
        return false;
    }
    if (::bind(socket.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        postError(m_profile.bindFailure, lastSystemError());
        return false;
    }
    return true;
}

void UdpReceiver::receiveLoop(const Socket& socket) {
    pollfd waits[2] = {{socket.fd(), POLLIN, 0}, {m_wake.fd(), POLLIN, 0}};
    const int timeoutMs = m_wake.valid() ? -1 : kFallbackWaitMs;
    while (m_runFlag.load()) {
        const int ready = ::poll(waits, m_wake.valid() ? 2 : 1, timeoutMs);
        if (ready <= 0)
            continue; // time-out or interrupted wait: look at the run flag and wait again
        if (waits[1].revents != 0 && m_runFlag.load())
            m_wake.reset(); // a stale wake-up; the task goes on
        if (waits[0].revents != 0)
            receiveQueued(socket);
    }
}

void UdpReceiver::receiveQueued(const Socket& socket) {
    while (m_runFlag.load()) {
        char* slot = m_ring.data() + m_slot * m_profile.slotSize;
        sockaddr_in sender{};
        socklen_t senderSize = sizeof sender;
        // MSG_TRUNC makes the call report the datagram's full length, so one longer than the slot is seen.
        const ssize_t length = ::recvfrom(socket.fd(), slot, m_profile.slotSize, MSG_DONTWAIT | MSG_TRUNC,
                                          reinterpret_cast<sockaddr*>(&sender), &senderSize);
        if (length < 0) {
            if (errno == EINTR)
                continue;
            return; // nothing queued any more, or an error: back to the wait
        }
        m_slot = (m_slot + 1) % static_cast<std::size_t>(m_profile.slotCount);
        const auto size = static_cast<std::size_t>(length);
        if (size == 0 || size > m_profile.slotSize)
            continue; // empty, or cut short by the slot: discarded

        Payload payload;
        payload.reserve(size + 1); // one block, terminator included
        payload.assign(slot, slot + size);
        if (m_profile.appendNul)
            payload.push_back('\0');
        m_hub.notify(m_profile.kind, std::move(payload));
    }
}

void UdpReceiver::postError(std::string_view text, int code) {
    m_hub.postStatusText(withErrorCode(text, code));
}

} // namespace tavrel

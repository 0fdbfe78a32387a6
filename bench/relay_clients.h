// Windows' traffic through collector relays, for the fleet bench: one connection per relay that announces a
// log destination and then sends what a window sends (heartbeat every 5 s, alarm query every 2 s), and reads
// everything the relay passes on. One thread of its own, ended by the destructor.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace tavrel::bench {

class RelayClients {
public:
    // Connects to 127.0.0.1 at each port; connected() tells how many it reached.
    explicit RelayClients(const std::vector<std::uint16_t>& ports);
    ~RelayClients();
    RelayClients(const RelayClients&) = delete;
    RelayClients& operator=(const RelayClients&) = delete;

    int connected() const { return m_connected.load(); }

private:
    void run(std::vector<std::uint16_t> ports);

    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connected{0};
    std::thread m_thread;
};

} // namespace tavrel::bench

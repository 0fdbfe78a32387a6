// HTTP scrape on a plain socket, /proc/<pid>/stat, and a scan of the run logs for numbered lines.
#include "bench/fleet_probe.h"

#include <chrono>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "platform/socket.h"

namespace tavrel::bench {

Scrape scrapeMetrics(std::uint16_t port) {
    Scrape scrape;
    const auto start = std::chrono::steady_clock::now();
    Socket socket = Socket::tcp();
    sockaddr_in server{};
    if (!makeIPv4Address("127.0.0.1", port, server) ||
        ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0)
        return scrape;
    socket.send(std::string_view("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"));
    std::string answer;
    char buffer[65536];
    pollfd wait{socket.fd(), POLLIN, 0};
    while (::poll(&wait, 1, 5000) > 0) {
        const ssize_t got = ::recv(socket.fd(), buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        answer.append(buffer, static_cast<std::size_t>(got));
    }
    return parseScrape(answer, start);
}

Scrape parseScrape(const std::string& answer, std::chrono::steady_clock::time_point start) {
    Scrape scrape;
    scrape.milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const auto body = answer.find("\r\n\r\n");
    scrape.ok = answer.starts_with("HTTP/1.1 200") && body != std::string::npos;
    if (!scrape.ok)
        return scrape;
    scrape.body = answer.substr(body + 4);
    scrape.bytes = scrape.body.size();
    std::istringstream lines(scrape.body);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("tavrel_repeater_up{") && line.ends_with("} 1"))
            ++scrape.repeatersUp;
    return scrape;
}

std::vector<Socket> openConnections(std::uint16_t port, int count) {
    std::vector<Socket> sockets;
    for (int i = 0; i < count; ++i) {
        Socket socket = Socket::tcp();
        sockaddr_in local{};
        sockaddr_in server{};
        if (!makeIPv4Address("127.0.23." + std::to_string(10 + i % 10), 0, local) ||
            !makeIPv4Address("127.0.0.1", port, server) ||
            ::bind(socket.fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
            ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0)
            socket = Socket();
        sockets.push_back(std::move(socket));
    }
    return sockets;
}

std::optional<std::int64_t> processCpuMicrosOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')'); // the command name may hold spaces
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long long utime = 0;
    long long stime = 0;
    // Fields 3..13 precede utime (14) and stime (15).
    for (int i = 3; i <= 13; ++i)
        fields >> field;
    fields >> utime >> stime;
    const long ticks = ::sysconf(_SC_CLK_TCK);
    return (utime + stime) * 1'000'000 / ticks;
}

FiledLines countFiledLines(const std::filesystem::path& stateDir) {
    FiledLines filed;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(stateDir)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || !name.starts_with("repeater[") || !name.ends_with(".log"))
            continue;
        ++filed.runLogs;
        std::vector<bool> seen;
        std::ifstream log(entry.path());
        for (std::string line; std::getline(log, line);) {
            const auto at = line.find(">> SEQ ");
            if (at == std::string::npos)
                continue;
            const unsigned long long number = std::stoull(line.substr(at + 7, 10));
            if (number >= seen.size())
                seen.resize(number + 1, false);
            if (seen[number])
                ++filed.twice;
            seen[number] = true;
            ++filed.lines;
        }
        for (std::size_t n = 1; n < seen.size(); ++n)
            filed.missing += seen[n] ? 0 : 1;
    }
    return filed;
}

} // namespace tavrel::bench

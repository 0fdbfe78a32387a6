// The machine's IPv4 addresses from the resolver and the interfaces, ordered for the setup dialog.
#include "platform/local_addresses.h"

#include <algorithm>
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

namespace tavrel {
namespace {

std::string dotted(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    if (!::inet_ntop(AF_INET, &address, text, sizeof text))
        return {};
    return text;
}

bool inLoopbackNet(const std::string& address) {
    in_addr parsed{};
    return ::inet_pton(AF_INET, address.c_str(), &parsed) == 1 && (ntohl(parsed.s_addr) >> 24) == 127;
}

std::vector<std::string> resolvedHostAddresses() {
    std::vector<std::string> addresses;
    char hostName[256] = {};
    if (::gethostname(hostName, sizeof hostName - 1) != 0)
        return addresses;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (::getaddrinfo(hostName, nullptr, &hints, &result) != 0)
        return addresses;
    for (const addrinfo* entry = result; entry; entry = entry->ai_next)
        if (entry->ai_family == AF_INET)
            addresses.push_back(dotted(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr));
    ::freeaddrinfo(result);
    return addresses;
}

std::vector<InterfaceAddress> interfaceAddresses() {
    std::vector<InterfaceAddress> addresses;
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0)
        return addresses;
    for (const ifaddrs* entry = interfaces; entry; entry = entry->ifa_next)
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET)
            addresses.push_back({dotted(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr),
                                 (entry->ifa_flags & IFF_UP) != 0, (entry->ifa_flags & IFF_LOOPBACK) != 0});
    ::freeifaddrs(interfaces);
    return addresses;
}

} // namespace

std::vector<std::string> orderLocalAddresses(const std::vector<std::string>& resolved,
                                             const std::vector<InterfaceAddress>& interfaces) {
    enum Group { Reachable, Other, Loopback };
    const auto groupOf = [&](const std::string& address) {
        bool onLoopback = inLoopbackNet(address);
        bool onUpInterface = false;
        for (const InterfaceAddress& entry : interfaces) {
            if (entry.address != address)
                continue;
            onLoopback = onLoopback || entry.loopback;
            onUpInterface = onUpInterface || entry.up;
        }
        return onLoopback ? Loopback : onUpInterface ? Reachable : Other;
    };

    // Within each group: the resolver's order, then the interfaces'.
    std::vector<std::string> candidates = resolved;
    for (const InterfaceAddress& entry : interfaces)
        candidates.push_back(entry.address);

    std::vector<std::string> ordered;
    for (const Group group : {Reachable, Other, Loopback})
        for (const std::string& address : candidates)
            if (!address.empty() && groupOf(address) == group &&
                std::find(ordered.begin(), ordered.end(), address) == ordered.end())
                ordered.push_back(address);
    return ordered;
}

std::vector<std::string> localIPv4Addresses() {
    return orderLocalAddresses(resolvedHostAddresses(), interfaceAddresses());
}

} // namespace tavrel

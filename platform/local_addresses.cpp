#include "platform/local_addresses.h"

#include <algorithm>
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

namespace tavrel {
namespace {

void addUnique(std::vector<std::string>& list, const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    if (!::inet_ntop(AF_INET, &address, text, sizeof text))
        return;
    if (std::find(list.begin(), list.end(), text) == list.end())
        list.emplace_back(text);
}

} // namespace

std::vector<std::string> localIPv4Addresses() {
    std::vector<std::string> addresses;

    char hostName[256] = {};
    if (::gethostname(hostName, sizeof hostName - 1) == 0) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* result = nullptr;
        if (::getaddrinfo(hostName, nullptr, &hints, &result) == 0) {
            for (const addrinfo* entry = result; entry; entry = entry->ai_next)
                if (entry->ai_family == AF_INET)
                    addUnique(addresses, reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr);
            ::freeaddrinfo(result);
        }
    }

    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) == 0) {
        for (const ifaddrs* entry = interfaces; entry; entry = entry->ifa_next)
            if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET)
                addUnique(addresses, reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr);
        ::freeifaddrs(interfaces);
    }
    return addresses;
}

} // namespace tavrel

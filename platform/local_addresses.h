// The local IPv4 addresses offered as the monitor's receive address, the ones the repeater can reach first.
#pragma once

#include <string>
#include <vector>

namespace tavrel {

// One IPv4 address of a network interface, as getifaddrs() reports it.
struct InterfaceAddress {
    std::string address; // dotted
    bool up = false;
    bool loopback = false; // the interface is a loopback one
};

// Every address once, in three groups: those of interfaces that are up and not loopback (the ones the
// resolver gives for the host name first, in its order, then the interfaces' order), then the other
// addresses that are not loopback, then loopback addresses (127.0.0.0/8 or of a loopback interface). The
// resolver on Debian names a loopback address for the host, which the repeater cannot send its logs to.
std::vector<std::string> orderLocalAddresses(const std::vector<std::string>& resolved,
                                             const std::vector<InterfaceAddress>& interfaces);

// The machine's addresses in that order: the resolver's for the host name and those of getifaddrs().
std::vector<std::string> localIPv4Addresses();

} // namespace tavrel

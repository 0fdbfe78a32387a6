// The local IPv4 addresses offered as the monitor's receive address.
#pragma once

#include <string>
#include <vector>

namespace tavrel {

// The addresses the resolver gives for the host name, in its order, then every other IPv4 address of
// the machine's interfaces (loopback included), without duplicates, as dotted text.
std::vector<std::string> localIPv4Addresses();

} // namespace tavrel

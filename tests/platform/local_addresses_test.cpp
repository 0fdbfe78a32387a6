// The local address list: reachable interface addresses first, loopback last, every address once.
#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>

#include "platform/local_addresses.h"

namespace tavrel {
namespace {

struct OrderCase {
    const char* name;
    std::vector<std::string> resolved;
    std::vector<InterfaceAddress> interfaces;
    std::vector<std::string> expected;
};

TEST(LocalAddresses, ReachableAddressesComeFirstAndLoopbackLast) {
    const InterfaceAddress lo{"127.0.0.1", true, true};
    const std::vector<OrderCase> cases{
        {"stock Debian: the host name resolves to 127.0.1.1",
         {"127.0.1.1"},
         {lo, {"192.168.1.20", true, false}},
         {"192.168.1.20", "127.0.1.1", "127.0.0.1"}},
        {"the resolver's order among reachable addresses, then the interfaces'",
         {"10.0.0.2", "127.0.1.1", "172.16.0.9"},
         {lo, {"192.168.1.20", true, false}, {"172.16.0.9", true, false}, {"10.0.0.2", true, false}},
         {"10.0.0.2", "172.16.0.9", "192.168.1.20", "127.0.1.1", "127.0.0.1"}},
        {"an interface that is down and a resolved address on no interface go between",
         {"198.51.100.7"},
         {lo, {"10.1.1.1", false, false}, {"10.2.2.2", true, false}},
         {"10.2.2.2", "198.51.100.7", "10.1.1.1", "127.0.0.1"}},
        {"an address of a loopback interface outside 127/8 counts as loopback, each address once",
         {"10.2.2.2", "10.2.2.2"},
         {{"169.254.0.1", true, true}, lo, {"10.2.2.2", true, false}, {"10.2.2.2", true, false}},
         {"10.2.2.2", "169.254.0.1", "127.0.0.1"}},
        {"nothing but loopback", {}, {lo}, {"127.0.0.1"}},
    };
    for (const OrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(orderLocalAddresses(c.resolved, c.interfaces), c.expected);
    }
}

TEST(LocalAddresses, ListsEachIPv4AddressOfThisMachineOnceWithLoopbackLast) {
    const auto addresses = localIPv4Addresses();
    ASSERT_FALSE(addresses.empty());
    const auto loopback = std::find(addresses.begin(), addresses.end(), "127.0.0.1");
    ASSERT_NE(loopback, addresses.end());
    for (auto it = addresses.begin(); it != addresses.end(); ++it) {
        in_addr parsed{};
        ASSERT_EQ(::inet_pton(AF_INET, it->c_str(), &parsed), 1) << *it;
        EXPECT_LE(it->size(), 15u);
        EXPECT_EQ(std::count(addresses.begin(), addresses.end(), *it), 1) << *it;
        if (it > loopback) {
            EXPECT_TRUE(it->starts_with("127.")) << *it << " after a loopback address";
        }
    }
}

} // namespace
} // namespace tavrel

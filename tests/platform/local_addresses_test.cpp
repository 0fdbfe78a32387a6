// The local address list: dotted IPv4 text, loopback included, no address twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>

#include "platform/local_addresses.h"

namespace tavrel {
namespace {

TEST(LocalAddresses, ListsEachIPv4AddressOnceWithLoopback) {
    const auto addresses = localIPv4Addresses();
    ASSERT_FALSE(addresses.empty());
    EXPECT_NE(std::find(addresses.begin(), addresses.end(), "127.0.0.1"), addresses.end());
    for (const auto& address : addresses) {
        in_addr parsed{};
        EXPECT_EQ(::inet_pton(AF_INET, address.c_str(), &parsed), 1) << address;
        EXPECT_LE(address.size(), 15u);
        EXPECT_EQ(std::count(addresses.begin(), addresses.end(), address), 1) << address;
    }
}

} // namespace
} // namespace tavrel

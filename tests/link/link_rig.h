// A link under test wired to a recording window and, when asked, to a repeater stand-in.
#pragma once

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "link/om_link.h"
#include "test_peer.h"
#include "tests/support/test_window.h"

namespace tavrel::test {

// Members are destroyed in reverse: the link stops and joins while its window still records.
struct LinkRig {
    explicit LinkRig(std::string address, bool listen = true) : address(std::move(address)) {
        if (listen)
            peer.emplace(this->address);
    }

    // Starts the link and waits until the stand-in has accepted it and the window saw it connect.
    ::testing::AssertionResult connect() {
        if (!peer || !peer->listening())
            return ::testing::AssertionFailure() << "no stand-in listening on " << address;
        if (const int result = link.startOmLink(address); result != 0)
            return ::testing::AssertionFailure() << "startOmLink gave " << result;
        if (!peer->accept())
            return ::testing::AssertionFailure() << "the link did not connect";
        if (!window.waitForCount(NotifyOmConnected, 1))
            return ::testing::AssertionFailure() << "no connected notification";
        return ::testing::AssertionSuccess();
    }

    std::string address;
    NotificationHub hub;
    TestWindow window{hub};
    OmLink link{hub};
    std::optional<TestPeer> peer;
};

} // namespace tavrel::test

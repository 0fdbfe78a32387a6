// Named locks are exclusive system-wide and vanish with their holder; slots are claimed lowest free first,
// within one process and across real processes.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <unistd.h>

#include "child_process.h"
#include "platform/named_lock.h"

namespace tavrel {
namespace {

// A prefix no running tool and no other test run uses.
std::string testPrefix(const char* test) {
    return "tavrel-found-" + std::to_string(::getpid()) + "-" + test + "#";
}

TEST(NamedLock, IsExclusiveWhileHeldAndFreeAfterRelease) {
    const std::string name = testPrefix("exclusive") + "0";
    {
        auto first = NamedLock::tryCreate(name);
        ASSERT_TRUE(first);
        EXPECT_FALSE(NamedLock::tryCreate(name));

        // Moving the lock keeps it held; the moved-from object releases nothing.
        NamedLock moved(std::move(*first));
        first.reset();
        EXPECT_FALSE(NamedLock::tryCreate(name));
    }
    EXPECT_TRUE(NamedLock::tryCreate(name));
}

TEST(NamedLock, MoveAssignmentReleasesTheLockItReplaces) {
    const std::string a = testPrefix("assign") + "a";
    const std::string b = testPrefix("assign") + "b";
    auto lockA = NamedLock::tryCreate(a);
    auto lockB = NamedLock::tryCreate(b);
    ASSERT_TRUE(lockA && lockB);
    *lockA = std::move(*lockB);
    EXPECT_TRUE(NamedLock::tryCreate(a));
    EXPECT_FALSE(NamedLock::tryCreate(b));
}

TEST(NamedLock, RefusesANameTooLongForTheSystem) {
    EXPECT_FALSE(NamedLock::tryCreate(std::string(200, 'x')));
}

TEST(InstanceSlot, FillsHolesLowestFirstAndRefusesTheSeventeenth) {
    const std::string prefix = testPrefix("holes");
    std::vector<NamedLock> holders;
    for (int slot : {0, 2})
        holders.push_back(*NamedLock::tryCreate(prefix + std::to_string(slot)));

    auto claim = claimInstanceSlot(prefix);
    ASSERT_TRUE(claim);
    EXPECT_EQ(claim->slot, 1);

    std::vector<InstanceSlotClaim> claims;
    claims.push_back(std::move(*claim));
    for (int expected = 3; expected < kInstanceSlotCount; ++expected) {
        auto next = claimInstanceSlot(prefix);
        ASSERT_TRUE(next);
        EXPECT_EQ(next->slot, expected);
        claims.push_back(std::move(*next));
    }
    // Sixteen held: the seventeenth is refused.
    EXPECT_FALSE(claimInstanceSlot(prefix));

    // A slot given back is the one the next instance gets.
    claims.erase(claims.begin() + 4); // slot 6
    auto reused = claimInstanceSlot(prefix);
    ASSERT_TRUE(reused);
    EXPECT_EQ(reused->slot, 6);
}

TEST(InstanceSlot, UsesTheLocksOfTheGivenPrefixOnly) {
    auto other = NamedLock::tryCreate(testPrefix("other") + "0");
    ASSERT_TRUE(other);
    auto claim = claimInstanceSlot(testPrefix("mine"));
    ASSERT_TRUE(claim);
    EXPECT_EQ(claim->slot, 0);
}

class InstanceSlotProcesses : public ::testing::Test {
protected:
    std::unique_ptr<test::ChildProcess> start() {
        return std::make_unique<test::ChildProcess>(TAVREL_PROBE_PATH,
                                                    std::vector<std::string>{"slot", m_prefix});
    }
    const std::string m_prefix = testPrefix("procs");
};

TEST_F(InstanceSlotProcesses, SixteenProcessesGetSlotsInOrderAndTheSeventeenthIsRefused) {
    // This process holds slot 0, as another running instance would.
    auto held = NamedLock::tryCreate(m_prefix + "0");
    ASSERT_TRUE(held);

    std::vector<std::unique_ptr<test::ChildProcess>> instances;
    for (int slot = 1; slot < kInstanceSlotCount; ++slot) {
        instances.push_back(start());
        ASSERT_EQ(instances.back()->readLine(), "slot " + std::to_string(slot));
    }
    auto seventeenth = start();
    EXPECT_EQ(seventeenth->readLine(), "none");
    EXPECT_EQ(seventeenth->wait(), 1);

    // An instance that ends normally frees its slot for the next one.
    instances[2]->closeInput(); // slot 3
    EXPECT_EQ(instances[2]->wait(), 0);
    auto next = start();
    EXPECT_EQ(next->readLine(), "slot 3");

    // So does one that is killed: the system releases the lock with the process.
    instances[6]->kill(); // slot 7
    EXPECT_NE(instances[6]->wait(), -1);
    auto afterCrash = start();
    EXPECT_EQ(afterCrash->readLine(), "slot 7");
}

} // namespace
} // namespace tavrel

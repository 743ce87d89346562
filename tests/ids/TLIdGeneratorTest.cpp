#include "ids/TLIdGenerator.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "support/TestEnvironment.h"
#include "foundation/Number.h"
#include "foundation/String.h"

namespace ossel {
namespace {

using testing::TestEnvironment;

class TLIdGeneratorTest : public TestEnvironment {
protected:
    TLIdGeneratorTest() { now_ = kRoundingNow; }
};

TEST_F(TLIdGeneratorTest, CountsFromOneAndWritesEveryIdThroughToTheStore) {
    auto generator = TLIdGenerator::generatorForKey("eventIdGenerator");
    ASSERT_TRUE(generator);
    EXPECT_EQ(generator->prefixedKey(), "com.tollendra.eventIdGenerator");
    EXPECT_EQ(generator->currentId(), 0);
    EXPECT_FALSE(storedInteger("com.tollendra.eventIdGenerator"));
    for (int32_t expected = 1; expected <= 3; ++expected) {
        EXPECT_EQ(generator->nextId(), expected);
        EXPECT_EQ(storedInteger("com.tollendra.eventIdGenerator"), expected);
    }
    EXPECT_EQ(generator->currentId(), 3);

    startNewProcess();
    EXPECT_EQ(TLIdGenerator::generatorForKey("eventIdGenerator")->nextId(), 4);
}

TEST_F(TLIdGeneratorTest, RestoresTheStoredCounterOnceAndTreatsZeroLikeNothing) {
    UserDefaults::standardUserDefaults().setInteger(0, "com.tollendra.PeopleIdGenerator");
    UserDefaults::standardUserDefaults().setInteger(41, "com.tollendra.PlaceIdGenerator");
    auto people = TLIdGenerator::generatorForKey("PeopleIdGenerator");
    auto places = TLIdGenerator::generatorForKey("PlaceIdGenerator");
    EXPECT_EQ(people->currentId(), 0);
    EXPECT_EQ(places->currentId(), 41);
    EXPECT_EQ(places->currentId(), 41) << "reading the counter never changes it";
    EXPECT_EQ(places->nextId(), 42);

    // Another process writing the key later is not seen: the store is read once.
    UserDefaults(defaultsPath()).setInteger(1000, "com.tollendra.PlaceIdGenerator");
    EXPECT_EQ(places->nextId(), 43);
    EXPECT_EQ(storedInteger("com.tollendra.PlaceIdGenerator"), 43);
}

TEST_F(TLIdGeneratorTest, ResetsTakeEffectInTheStoreAtOnce) {
    auto generator = TLIdGenerator::generatorForKey("GravelmothDV.ClipId");
    generator->nextId();
    generator->nextId();
    generator->resetId();
    EXPECT_EQ(storedInteger("com.tollendra.GravelmothDV.ClipId"), 0);
    EXPECT_EQ(generator->nextId(), 1);

    generator->resetId(41u);
    EXPECT_EQ(storedInteger("com.tollendra.GravelmothDV.ClipId"), 41);
    EXPECT_EQ(generator->nextId(), 42);

    // The unsigned value lands in the signed counter bit for bit.
    generator->resetId(0xFFFFFFFFu);
    EXPECT_EQ(generator->currentId(), -1);
    EXPECT_EQ(generator->nextId(), 0);
    generator->resetId(0x7FFFFFFFu);
    EXPECT_EQ(generator->nextId(), INT32_MIN);
}

TEST_F(TLIdGeneratorTest, OneGeneratorPerKeyAndNoneWithoutKey) {
    auto first = TLIdGenerator::generatorForKey("GravelmothDV.ClipSequenceId");
    EXPECT_EQ(TLIdGenerator::generatorForKey(std::string("GravelmothDV.ClipSequenceId")), first);
    EXPECT_EQ(TLIdGenerator::initWithKey("GravelmothDV.ClipSequenceId"), first);
    auto other = TLIdGenerator::generatorForKey("GravelmothDV.ClipId");
    EXPECT_NE(other, first);
    first->nextId();
    first->nextId();
    EXPECT_EQ(other->nextId(), 1);
    EXPECT_FALSE(TLIdGenerator::generatorForKey(std::nullopt));
    EXPECT_FALSE(TLIdGenerator::initWithKey(std::nullopt));
}

TEST_F(TLIdGeneratorTest, TextIdsJoinPrefixCleanedHostIndexAndTime) {
    auto generator = TLIdGenerator::generatorForKey("PeopleIdGenerator");
    EXPECT_EQ(generator->stringIdWithPrefix("OsselPeople", 12), "OsselPeople.studio_mac_local-12-1199145600.123457");
    EXPECT_EQ(generator->stringIdWithPrefix(std::nullopt, -7), "UID.studio_mac_local--7-1199145600.123457");
    EXPECT_EQ(generator->currentId(), 0) << "a text for a given index consumes no id";

    EXPECT_EQ(generator->nextStringIdWithPrefix("OsselPeople"), "OsselPeople.studio_mac_local-1-1199145600.123457");
    EXPECT_EQ(generator->currentId(), 1);
}

TEST_F(TLIdGeneratorTest, HostNameIsAskedOnceAndFallsBackToLocalhost) {
    int asked = 0;
    setHostNameForTesting([&] {
        ++asked;
        return std::string("-.-.");
    });
    auto generator = TLIdGenerator::generatorForKey("PlaceIdGenerator");
    EXPECT_EQ(generator->stringIdWithPrefix("P", 1).substr(0, 7), "P.____-");
    generator->stringIdWithPrefix("P", 2);
    EXPECT_EQ(asked, 1);

    startNewProcess();
    setHostNameForTesting([] { return std::string(); });
    EXPECT_EQ(TLIdGenerator::generatorForKey("PlaceIdGenerator")->hostId(), "localhost");
}

// Reads 32-bit ids from the pipe until it closes.
std::vector<int32_t> readIds(int fd, size_t atLeast, bool untilClosed) {
    std::vector<int32_t> ids;
    int32_t id = 0;
    while (untilClosed || ids.size() < atLeast) {
        const ssize_t n = ::read(fd, &id, sizeof id);
        if (n != static_cast<ssize_t>(sizeof id)) break;
        ids.push_back(id);
    }
    return ids;
}

TEST_F(TLIdGeneratorTest, AnIdDrawnByAKilledProcessIsNeverHandedOutAgain) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        auto generator = TLIdGenerator::generatorForKey("PeopleIdGenerator");
        for (;;) {
            const int32_t id = generator->nextId();
            if (::write(fds[1], &id, sizeof id) != static_cast<ssize_t>(sizeof id)) ::_exit(1);
        }
    }
    ::close(fds[1]);
    auto reported = readIds(fds[0], 40, false);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    // Whatever the child reported before it died counts too.
    const auto rest = readIds(fds[0], 0, true);
    reported.insert(reported.end(), rest.begin(), rest.end());
    ::close(fds[0]);
    ASSERT_GE(reported.size(), 40u);
    for (size_t i = 0; i < reported.size(); ++i) EXPECT_EQ(reported[i], static_cast<int32_t>(i + 1));

    startNewProcess();
    const int32_t next = TLIdGenerator::generatorForKey("PeopleIdGenerator")->nextId();
    EXPECT_GT(next, *std::max_element(reported.begin(), reported.end()));
}

}  // namespace
}  // namespace ossel

#include "ids/TLIdGenerator.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "support/TestEnvironment.h"

namespace ossel {
namespace {

using testing::TestEnvironment;

class TLIdGeneratorTest : public TestEnvironment {
protected:
    TLIdGeneratorTest() { now_ = testing::kRoundingNow; }
};

TEST_F(TLIdGeneratorTest, CountsWriteThroughAndAreReadOncePerProcess) {
    auto generator = TLIdGenerator::generatorForKey("PlaceIdGenerator");
    EXPECT_EQ(generator->prefixedKey(), "com.tollendra.PlaceIdGenerator");
    EXPECT_EQ(TLIdGenerator::initWithKey("PlaceIdGenerator"), generator);  // one generator per key
    EXPECT_FALSE(TLIdGenerator::generatorForKey(std::nullopt));
    for (int32_t expected = 1; expected <= 3; ++expected) {
        EXPECT_EQ(generator->nextId(), expected);
        EXPECT_EQ(storedInteger("com.tollendra.PlaceIdGenerator"), expected);
    }
    EXPECT_EQ(TLIdGenerator::generatorForKey("PeopleIdGenerator")->nextId(), 1);  // keys count apart

    startNewProcess();
    UserDefaults(defaultsPath()).setInteger(41, "com.tollendra.PlaceIdGenerator");
    generator = TLIdGenerator::generatorForKey("PlaceIdGenerator");
    EXPECT_EQ(generator->currentId(), 41);
    // Another process writing the key later is not seen: the store is read once.
    UserDefaults(defaultsPath()).setInteger(1000, "com.tollendra.PlaceIdGenerator");
    EXPECT_EQ(generator->nextId(), 42);
    EXPECT_EQ(storedInteger("com.tollendra.PlaceIdGenerator"), 42);
    generator->resetId(0x7FFFFFFFu);  // the counter wraps without overflowing
    EXPECT_EQ(generator->nextId(), INT32_MIN);
}

TEST_F(TLIdGeneratorTest, TextIdsJoinPrefixCleanedHostIndexAndTime) {
    auto generator = TLIdGenerator::generatorForKey("PeopleIdGenerator");
    EXPECT_EQ(generator->stringIdWithPrefix("OsselPeople", 12), "OsselPeople.studio_mac_local-12-1199145600.123457");
    EXPECT_EQ(generator->stringIdWithPrefix(std::nullopt, -7), "UID.studio_mac_local--7-1199145600.123457");
    EXPECT_EQ(generator->currentId(), 0) << "a text for a given index consumes no id";
    EXPECT_EQ(generator->nextStringIdWithPrefix("P"), "P.studio_mac_local-1-1199145600.123457");

    // The host is asked once per generator; without one it is "localhost".
    startNewProcess();
    int asked = 0;
    setHostNameForTesting([&] { return ++asked, std::string(); });
    generator = TLIdGenerator::generatorForKey("PeopleIdGenerator");
    EXPECT_EQ(generator->stringIdWithPrefix("P", 1).substr(0, 12), "P.localhost-");
    generator->stringIdWithPrefix("P", 2);
    EXPECT_EQ(asked, 1);
}

// Reads 32-bit ids from the pipe until it closes or holds enough.
std::vector<int32_t> readIds(int fd, size_t atMost) {
    std::vector<int32_t> ids;
    int32_t id = 0;
    while (ids.size() < atMost && ::read(fd, &id, sizeof id) == static_cast<ssize_t>(sizeof id)) ids.push_back(id);
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
    auto reported = readIds(fds[0], 40);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    const auto rest = readIds(fds[0], SIZE_MAX);  // what it reported before it died counts too
    reported.insert(reported.end(), rest.begin(), rest.end());
    ::close(fds[0]);
    ASSERT_GE(reported.size(), 40u);
    for (size_t i = 0; i < reported.size(); ++i) EXPECT_EQ(reported[i], static_cast<int32_t>(i + 1));

    startNewProcess();
    EXPECT_GT(TLIdGenerator::generatorForKey("PeopleIdGenerator")->nextId(),
              *std::max_element(reported.begin(), reported.end()));
}

}  // namespace
}  // namespace ossel

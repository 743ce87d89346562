#include "ids/TLIdGenerator.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace ossel

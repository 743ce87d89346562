#include <gtest/gtest.h>

#include <cstring>

#include "platform/CFBase.h"
#include "platform/CFPlugIn.h"
#include "platform/CFPlugInCOM.h"
#include "platform/CFUUID.h"
#include "platform/MDImporter.h"
#include "support/Cases.h"

using namespace ossel;

namespace {

CFUUIDBytes bytesOf(std::initializer_list<int> values) {
    CFUUIDBytes bytes{};
    auto* out = reinterpret_cast<uint8_t*>(&bytes);
    for (int v : values) *out++ = static_cast<uint8_t>(v);
    return bytes;
}

bool sameBytes(const CFUUIDBytes& a, const CFUUIDBytes& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(CFUUID, ParsesThePublishedIdsInEitherCaseAndRefusesMalformedText) {
    const CFIndex live = CFUUIDLiveCount();
    for (const char* text : {"8B08C4BF-415B-11D8-B3F9-0003936726FC", "8b08c4bf-415b-11d8-b3f9-0003936726fc",
                             "{8B08C4BF-415B-11D8-B3F9-0003936726FC}"}) {
        const CFUUIDRef uuid = CFUUIDCreateFromString(kCFAllocatorDefault, text);
        EXPECT_TRUE(CFEqual(uuid, kMDImporterTypeID)) << text;
        EXPECT_FALSE(CFEqual(uuid, kMDImporterInterfaceID)) << text;
        CFRelease(uuid);
    }
    EXPECT_TRUE(sameBytes(CFUUIDGetUUIDBytes(IUnknownUUID), bytesOf({0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46})));
    EXPECT_EQ(CFUUIDCreateString(kCFAllocatorDefault, kMDImporterInterfaceID), "6EBC27C4-899C-11D8-84AE-0003936726FC");
    EXPECT_EQ(CFUUIDCreateFromString(kCFAllocatorDefault, ""), nullptr);
    for (const auto& c : ossel::testing::casesFrom("platform/uuid-texts-refused.txt", 1)) {
        EXPECT_EQ(CFUUIDCreateFromString(kCFAllocatorDefault, c[0].c_str()), nullptr) << c.where;
    }
    EXPECT_EQ(CFUUIDLiveCount(), live);
}

TEST(CFUUID, CreatedObjectsAreFreedAtZeroAndConstantsNever) {
    const CFIndex live = CFUUIDLiveCount();
    const CFUUIDRef uuid = CFUUIDCreateWithBytes(kCFAllocatorDefault, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_EQ(CFUUIDLiveCount(), live + 1);
    EXPECT_EQ(CFRetain(uuid), uuid);
    EXPECT_EQ(CFGetRetainCount(uuid), 2);
    CFRelease(uuid);
    EXPECT_EQ(CFUUIDLiveCount(), live + 1);
    CFRelease(uuid);
    EXPECT_EQ(CFUUIDLiveCount(), live);

    const auto constant = [](uint8_t last) {
        return CFUUIDGetConstantUUIDWithBytes(kCFAllocatorDefault, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, last);
    };
    const CFUUIDRef first = constant(1);
    EXPECT_EQ(first, constant(1));
    EXPECT_NE(first, constant(2));
    const CFIndex count = CFGetRetainCount(first);
    for (int i = 0; i < 3; ++i) CFRelease(first);
    EXPECT_EQ(CFGetRetainCount(first), count);
    EXPECT_TRUE(sameBytes(CFUUIDGetUUIDBytes(first), bytesOf({9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 1})));
}

TEST(CFUUID, NullAndForeignPointersAreHarmless) {
    int notAnObject[8] = {};
    EXPECT_EQ(CFRetain(nullptr), nullptr);
    CFRelease(nullptr);
    CFRelease(notAnObject);
    EXPECT_FALSE(CFEqual(nullptr, nullptr));
    EXPECT_FALSE(CFEqual(kMDImporterTypeID, notAnObject));
    EXPECT_EQ(CFGetRetainCount(nullptr), 0);
    EXPECT_TRUE(sameBytes(CFUUIDGetUUIDBytes(nullptr), CFUUIDBytes{}));
    EXPECT_EQ(CFUUIDCreateString(kCFAllocatorDefault, nullptr), "");
}

TEST(CFPlugInRegistry, CountsLiveInstancesPerFactoryValue) {
    const CFUUIDRef factory = CFUUIDCreateFromString(kCFAllocatorDefault, "11111111-2222-3333-4444-555555555555");
    const CFUUIDRef sameValue = CFUUIDCreateFromString(kCFAllocatorDefault, "11111111-2222-3333-4444-555555555555");
    const CFIndex unbalanced = CFPlugInUnbalancedRemovalCount();
    CFPlugInAddInstanceForFactory(factory);
    CFPlugInAddInstanceForFactory(sameValue);
    EXPECT_EQ(CFPlugInInstanceCountForFactory(factory), 2);
    EXPECT_EQ(CFPlugInInstanceCountForFactory(kMDImporterTypeID), 0);
    CFPlugInRemoveInstanceForFactory(factory);
    CFPlugInRemoveInstanceForFactory(sameValue);
    EXPECT_EQ(CFPlugInUnbalancedRemovalCount(), unbalanced);
    // One removal too many is recorded, not turned into a negative count.
    CFPlugInRemoveInstanceForFactory(factory);
    EXPECT_EQ(CFPlugInUnbalancedRemovalCount(), unbalanced + 1);
    EXPECT_EQ(CFPlugInInstanceCountForFactory(factory), 0);
    CFRelease(factory);
    CFRelease(sameValue);
}

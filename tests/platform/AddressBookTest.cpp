#include <gtest/gtest.h>

#include "foundation/String.h"
#include "platform/ABMultiValue.h"
#include "platform/PlatformException.h"

namespace ossel {
namespace {

TEST(ABMultiValue, IndexLookupAndOutOfRangeReads) {
    ABMultiValue values;
    EXPECT_FALSE(values.primaryIdentifier());
    EXPECT_EQ(values.indexForIdentifier(values.primaryIdentifier()), ABMultiValue::NotFound);
    EXPECT_THROW(values.valueAtIndex(0), PlatformException);

    const auto a = values.addValue(str("a@x"), kABHomeLabel);
    const auto b = values.addValue(str("b@x"), kABWorkLabel);
    EXPECT_EQ(values.indexForIdentifier(&b), 1u);
    const std::string unknown = "nope";
    EXPECT_EQ(values.indexForIdentifier(&unknown), ABMultiValue::NotFound);
    values.setPrimaryIdentifier(b);
    ASSERT_TRUE(values.primaryIdentifier());
    EXPECT_EQ(*values.primaryIdentifier(), b);
    values.setPrimaryIdentifier(unknown);
    EXPECT_FALSE(values.primaryIdentifier()) << "an unknown identifier cannot be primary";

    EXPECT_THROW(values.valueAtIndex(ABMultiValue::NotFound), PlatformException);
    EXPECT_THROW(values.labelAtIndex(2), PlatformException);
    EXPECT_THROW(values.identifierAtIndex(2), PlatformException);
}

}  // namespace
}  // namespace ossel

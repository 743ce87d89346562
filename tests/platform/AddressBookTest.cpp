#include <gtest/gtest.h>

#include "foundation/String.h"
#include "platform/ABMultiValue.h"
#include "platform/ABPerson.h"
#include "platform/PlatformException.h"
#include "platform/SKDocument.h"

namespace ossel {
namespace {

TEST(ABMultiValue, IndexLookupAndOutOfRangeReads) {
    ABMultiValue values;
    EXPECT_EQ(values.count(), 0u);
    EXPECT_FALSE(values.primaryIdentifier());
    EXPECT_EQ(values.indexForIdentifier(values.primaryIdentifier()), ABMultiValue::NotFound);
    EXPECT_THROW(values.valueAtIndex(0), PlatformException);

    const auto a = values.addValue(str("a@x"), kABHomeLabel);
    const auto b = values.addValue(str("b@x"), kABWorkLabel);
    EXPECT_NE(a, b);
    EXPECT_EQ(values.indexForIdentifier(&b), 1u);
    const std::string unknown = "nope";
    EXPECT_EQ(values.indexForIdentifier(&unknown), ABMultiValue::NotFound);
    values.setPrimaryIdentifier(b);
    ASSERT_TRUE(values.primaryIdentifier());
    EXPECT_EQ(*values.primaryIdentifier(), b);
    values.setPrimaryIdentifier(unknown);
    EXPECT_FALSE(values.primaryIdentifier()) << "an unknown identifier cannot be primary";

    try {
        values.valueAtIndex(ABMultiValue::NotFound);
        FAIL() << "no exception";
    } catch (const PlatformException& e) {
        EXPECT_EQ(e.name(), "NSRangeException");
    }
    EXPECT_THROW(values.labelAtIndex(2), PlatformException);
    EXPECT_THROW(values.identifierAtIndex(2), PlatformException);
    EXPECT_EQ(values.labelAtIndex(0), kABHomeLabel);
}

TEST(ABPerson, HoldsPlainAndMultiValues) {
    ABPerson person("UID-9");
    person.setValue(str("Ann"), kABFirstNameProperty);
    person.setValue(std::make_shared<ABMultiValue>(), kABEmailProperty);
    EXPECT_EQ(person.uniqueId(), "UID-9");
    EXPECT_EQ(person.valueForProperty(kABFirstNameProperty)->description(), "Ann");
    EXPECT_TRUE(std::dynamic_pointer_cast<ABMultiValue>(person.valueForProperty(kABEmailProperty)));
    person.setValue(nullptr, kABFirstNameProperty);
    EXPECT_FALSE(person.valueForProperty(kABFirstNameProperty));
    EXPECT_FALSE(person.valueForProperty(kABBirthdayProperty));
}

TEST(SKDocument, NamedBySchemeParentAndName) {
    const std::string name = "OsselPeople.h-1-2.5";
    const auto document = SKDocumentCreate("people", nullptr, &name);
    ASSERT_TRUE(document);
    EXPECT_EQ(document->description(), "people://OsselPeople.h-1-2.5");
    EXPECT_TRUE(document->isEqual(SKDocumentCreate("people", nullptr, &name).get()));
    EXPECT_EQ(document->hash(), SKDocumentCreate("people", nullptr, &name)->hash());
    EXPECT_FALSE(document->isEqual(SKDocumentCreate("place", nullptr, &name).get()));
    const std::string child = "clip";
    const auto inner = SKDocumentCreate("people", document, &child);
    EXPECT_EQ(inner->parent(), document);
    EXPECT_EQ(inner->description(), "people://OsselPeople.h-1-2.5/clip");
    EXPECT_FALSE(inner->isEqual(SKDocumentCreate("people", nullptr, &child).get()));
    EXPECT_FALSE(SKDocumentCreate("people", nullptr, nullptr));
}

}  // namespace
}  // namespace ossel

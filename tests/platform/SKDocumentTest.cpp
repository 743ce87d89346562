#include "platform/SKDocument.h"

#include <gtest/gtest.h>

namespace ossel {
namespace {

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

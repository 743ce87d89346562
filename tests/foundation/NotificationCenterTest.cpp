#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/Dictionary.h"
#include "foundation/NotificationCenter.h"
#include "foundation/String.h"

using namespace ossel;

TEST(NotificationCenter, DeliversByNameAndObjectInOrderOfAddition) {
    NotificationCenter center;
    const auto sender = str("sender");
    const auto other = str("sender");  // equal but not the same object
    std::vector<std::string> calls;
    center.addObserver("edit", nullptr, [&](const Notification&) { calls.push_back("edit/any"); });
    center.addObserver("", nullptr, [&](const Notification& n) { calls.push_back("all:" + n.name()); });
    center.addObserver("edit", sender.get(), [&](const Notification&) { calls.push_back("edit/sender"); });
    center.addObserver("", sender.get(), [&](const Notification&) { calls.push_back("all/sender"); });

    center.postNotification("edit", sender);
    EXPECT_EQ(calls, (std::vector<std::string>{"edit/any", "all:edit", "edit/sender", "all/sender"}));
    calls.clear();
    center.postNotification("edit", other);
    EXPECT_EQ(calls, (std::vector<std::string>{"edit/any", "all:edit"}));
    calls.clear();
    center.postNotification("other", nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"all:other"}));
}

TEST(NotificationCenter, PassesObjectAndUserInfo) {
    NotificationCenter center;
    const auto sender = str("record");
    auto info = Dictionary::make();
    info->setObject(str("v"), "k");
    const Notification* seen = nullptr;
    Ref<Object> seenObject;
    Ref<Dictionary> seenInfo;
    center.addObserver("annotationBeingEdited", nullptr, [&](const Notification& n) {
        seen = &n;
        seenObject = n.object();
        seenInfo = n.userInfo();
    });
    center.postNotification("annotationBeingEdited", sender, info);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seenObject, sender);
    EXPECT_EQ(seenInfo, info);
    center.postNotification("annotationBeingEdited", sender);
    EXPECT_EQ(seenInfo, nullptr);
}

TEST(NotificationCenter, RemovalByTokenIncludingDuringAPost) {
    NotificationCenter center;
    std::vector<int> calls;
    NotificationCenter::Token second = 0;
    NotificationCenter::Token self = 0;
    const auto first = center.addObserver("n", nullptr, [&](const Notification&) {
        calls.push_back(1);
        center.removeObserver(second);  // a later observer removed during the post is not called
    });
    second = center.addObserver("n", nullptr, [&](const Notification&) { calls.push_back(2); });
    self = center.addObserver("n", nullptr, [&](const Notification&) {
        calls.push_back(3);
        center.removeObserver(self);
        // Added during a post: called from the next post on.
        center.addObserver("n", nullptr, [&](const Notification&) { calls.push_back(4); });
    });
    center.postNotification("n", nullptr);
    EXPECT_EQ(calls, (std::vector<int>{1, 3}));
    calls.clear();
    center.postNotification("n", nullptr);
    EXPECT_EQ(calls, (std::vector<int>{1, 4}));
    calls.clear();
    center.removeObserver(first);
    center.removeObserver(first);  // removing twice or an unknown token is harmless
    center.removeObserver(9999);
    center.postNotification("n", nullptr);
    EXPECT_EQ(calls, (std::vector<int>{4}));
}

TEST(NotificationCenter, DefaultCenterIsOneObject) {
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
    int calls = 0;
    const auto token = NotificationCenter::defaultCenter().addObserver("ping", nullptr, [&](const Notification&) { ++calls; });
    NotificationCenter::defaultCenter().postNotification("ping", nullptr);
    NotificationCenter::defaultCenter().removeObserver(token);
    NotificationCenter::defaultCenter().postNotification("ping", nullptr);
    EXPECT_EQ(calls, 1);
}

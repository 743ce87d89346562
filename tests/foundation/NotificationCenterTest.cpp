#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "foundation/Dictionary.h"
#include "foundation/NotificationCenter.h"
#include "foundation/String.h"

using namespace ossel;

TEST(NotificationCenter, DeliversByNameAndObjectInOrderOfAdditionWithUserInfo) {
    NotificationCenter center;
    const auto sender = str("sender");
    const auto other = str("sender");  // equal but not the same object
    auto info = Dictionary::make();
    std::vector<std::string> calls;
    Ref<Dictionary> seenInfo;
    center.addObserver("edit", nullptr, [&](const Notification& n) {
        calls.push_back("edit/any");
        seenInfo = n.userInfo();
    });
    center.addObserver("", nullptr, [&](const Notification& n) { calls.push_back("all:" + n.name()); });
    center.addObserver("edit", sender.get(), [&](const Notification& n) {
        calls.push_back("edit/sender");
        EXPECT_EQ(n.object(), sender);
    });
    center.addObserver("", sender.get(), [&](const Notification&) { calls.push_back("all/sender"); });

    center.postNotification("edit", sender, info);
    EXPECT_EQ(calls, (std::vector<std::string>{"edit/any", "all:edit", "edit/sender", "all/sender"}));
    EXPECT_EQ(seenInfo, info);
    calls.clear();
    center.postNotification("edit", other);
    EXPECT_EQ(calls, (std::vector<std::string>{"edit/any", "all:edit"}));
    EXPECT_EQ(seenInfo, nullptr);
    calls.clear();
    center.postNotification("other", nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"all:other"}));
}

TEST(NotificationCenter, RemovalByTokenIncludingDuringAPost) {
    NotificationCenter& center = NotificationCenter::defaultCenter();
    std::vector<int> calls;
    NotificationCenter::Token second = 0, self = 0, added = 0;
    const auto first = center.addObserver("n", nullptr, [&](const Notification&) {
        calls.push_back(1);
        center.removeObserver(second);  // a later observer removed during the post is not called
    });
    second = center.addObserver("n", nullptr, [&](const Notification&) { calls.push_back(2); });
    self = center.addObserver("n", nullptr, [&](const Notification&) {
        calls.push_back(3);
        center.removeObserver(self);
        // Added during a post: called from the next post on.
        added = center.addObserver("n", nullptr, [&](const Notification&) { calls.push_back(4); });
    });
    center.postNotification("n", nullptr);
    EXPECT_EQ(std::exchange(calls, {}), (std::vector<int>{1, 3}));
    center.postNotification("n", nullptr);
    EXPECT_EQ(std::exchange(calls, {}), (std::vector<int>{1, 4}));
    center.removeObserver(first);
    center.removeObserver(first);  // removing twice or an unknown token is harmless
    center.removeObserver(9999);
    NotificationCenter::defaultCenter().postNotification("n", nullptr);  // one shared centre
    EXPECT_EQ(calls, (std::vector<int>{4}));
    center.removeObserver(added);
}

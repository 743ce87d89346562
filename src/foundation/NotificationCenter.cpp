#include "foundation/NotificationCenter.h"

#include <algorithm>

#include "foundation/Dictionary.h"

namespace ossel {
namespace {

// Tokens grow with every addition and removal keeps the order, so entries stay sorted by token.
template <class Entries, class Token>
auto findToken(Entries& entries, Token token) {
    const auto found = std::lower_bound(entries.begin(), entries.end(), token,
                                        [](const auto& entry, Token t) { return entry.token < t; });
    return (found != entries.end() && found->token == token) ? found : entries.end();
}

}  // namespace

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(std::string name, const Object* object, Observer observer) {
    const Token token = nextToken_++;
    entries_.push_back(Entry{token, std::move(name), object, std::move(observer)});
    return token;
}

void NotificationCenter::removeObserver(Token token) {
    const auto found = findToken(entries_, token);
    if (found != entries_.end()) entries_.erase(found);
}

void NotificationCenter::postNotification(std::string name, Ref<Object> object, Ref<Dictionary> userInfo) {
    const auto notification = std::make_shared<Notification>(std::move(name), std::move(object), std::move(userInfo));
    // Observers may add or remove observers while they are called: walk a snapshot of the
    // matching entries, and skip one that an earlier observer of this same post removed.
    std::vector<Entry> matching;
    for (const Entry& entry : entries_) {
        if (!entry.name.empty() && entry.name != notification->name()) continue;
        if (entry.object && entry.object != notification->object().get()) continue;
        matching.push_back(entry);
    }
    for (const Entry& entry : matching) {
        if (findToken(entries_, entry.token) == entries_.end()) continue;
        entry.observer(*notification);
    }
}

}  // namespace ossel

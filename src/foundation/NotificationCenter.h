#pragma once
// A synchronous notification centre: posting calls every matching observer
// before it returns, in the order they were added.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "foundation/Object.h"

namespace ossel {

class Dictionary;

class Notification final : public Object {
public:
    Notification(std::string name, Ref<Object> object, Ref<Dictionary> userInfo)
        : name_(std::move(name)), object_(std::move(object)), userInfo_(std::move(userInfo)) {}
    const std::string& name() const { return name_; }
    const Ref<Object>& object() const { return object_; }
    const Ref<Dictionary>& userInfo() const { return userInfo_; }

private:
    std::string name_;
    Ref<Object> object_;
    Ref<Dictionary> userInfo_;
};

class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;
    using Token = uint64_t;

    static NotificationCenter& defaultCenter();

    // Observes notifications of a name (empty: every name) from an object (null: any object).
    Token addObserver(std::string name, const Object* object, Observer observer);
    void removeObserver(Token token);
    void postNotification(std::string name, Ref<Object> object, Ref<Dictionary> userInfo = nullptr);

private:
    struct Entry {
        Token token;
        std::string name;
        const Object* object;
        Observer observer;
    };
    std::vector<Entry> entries_;
    Token nextToken_ = 1;
};

}  // namespace ossel

#pragma once
// The platform's exception class: what its collection services raise for a
// bad index. Callers that expect it catch this class and let anything else pass.

#include <stdexcept>
#include <string>

namespace ossel {

class PlatformException : public std::runtime_error {
public:
    PlatformException(std::string name, const std::string& reason)
        : std::runtime_error(reason), name_(std::move(name)) {}
    // The exception's name, such as "NSRangeException".
    const std::string& name() const { return name_; }

private:
    std::string name_;
};

inline constexpr const char* kPlatformRangeException = "NSRangeException";

}  // namespace ossel

#include "foundation/Data.h"

#include <string_view>

#include "foundation/String.h"

namespace ossel {

bool Data::isEqual(const Object* other) const {
    const auto* d = dynamic_cast<const Data*>(other);
    return d && d->bytes_ == bytes_;
}

uint32_t Data::hash() const {
    return stringHash(std::string_view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size()));
}

std::string Data::description() const {
    static constexpr char hex[] = "0123456789abcdef";
    std::string out = "<";
    for (size_t i = 0; i < bytes_.size(); ++i) {
        if (i > 0 && i % 4 == 0) out += ' ';
        out += hex[bytes_[i] >> 4];
        out += hex[bytes_[i] & 15];
    }
    out += '>';
    return out;
}

}  // namespace ossel

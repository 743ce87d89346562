#include "foundation/Data.h"

#include <algorithm>
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

std::string Data::base64EncodedString() const {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes_.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes_.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes_.size() - i);
        const uint32_t v = uint32_t(bytes_[i]) << 16 | (n > 1 ? uint32_t(bytes_[i + 1]) << 8 : 0) |
                           (n > 2 ? uint32_t(bytes_[i + 2]) : 0);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
        out += n > 2 ? kAlphabet[v & 63] : '=';
    }
    return out;
}

}  // namespace ossel

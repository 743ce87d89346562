#pragma once
// Raw bytes.

#include <cstdint>
#include <vector>

#include "foundation/Object.h"

namespace ossel {

class Data final : public Object {
public:
    explicit Data(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    static Ref<Data> make(std::vector<uint8_t> bytes) { return std::make_shared<Data>(std::move(bytes)); }

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    size_t length() const { return bytes_.size(); }

    bool isEqual(const Object* other) const override;
    uint32_t hash() const override;
    // "<0a0b0c0d 0e>"
    std::string description() const override;
    std::string className() const override { return "Data"; }

    // The bytes in base64 (standard alphabet, "=" padding, no line breaks).
    std::string base64EncodedString() const;

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace ossel

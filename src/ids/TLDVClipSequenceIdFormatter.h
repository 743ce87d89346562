#pragma once
// Writes a sequence id as "<prefix><host>:<index>:<date, eight decimals>" and
// reads it back. Reading never advances the shared counter.

#include <cstdint>
#include <string>

#include "foundation/Formatter.h"
#include "ids/TLDVClipSequenceId.h"

namespace ossel {

class TLDVClipSequenceIdFormatter : public Formatter {
public:
    virtual std::string prefix() const;

    // The text with this formatter's prefix, whatever kind of sequence id the
    // value is; "Type error" for a value that is none.
    std::optional<std::string> stringForObjectValue(const Object* value) const override;
    using Formatter::stringForObjectValue;
    bool getObjectValue(Ref<Object>* value, std::optional<std::string_view> string, std::string* error) const override;

    // Builds the value read from a text; the counter is not advanced.
    virtual Ref<TLDVClipSequenceId> nextIdWithHostId(std::string host, int32_t index, double date) const;

    std::string className() const override { return "TLDVClipSequenceIdFormatter"; }
};

}  // namespace ossel

#pragma once
// Writes clip ids as one-line texts and reads them back:
//   clip//:<index>
//   sequenceClip//:<host>:<sequence index>:<sequence date>:<index>
// and, for a child, the same followed by "-<child date uid>:<child uid>-<parent string id>?".
// Reading never advances a counter.

#include <cstdint>
#include <string>

#include "foundation/Formatter.h"
#include "ids/DVClipId.h"

namespace ossel {

class TLDVClipIdFormatter : public Formatter {
public:
    // The clip text; "Type error" for a value that is not a clip id.
    std::optional<std::string> stringForObjectValue(const Object* value) const override;
    using Formatter::stringForObjectValue;
    bool getObjectValue(Ref<Object>* value, std::optional<std::string_view> string, std::string* error) const override;

    // Builds a plain clip id read from a text; the clip counter is not advanced.
    virtual Ref<DVClipId> nextIdWithSequenceId(Ref<TLDVClipSequenceId> sequence, int32_t index) const;

    std::string className() const override { return "TLDVClipIdFormatter"; }
};

}  // namespace ossel

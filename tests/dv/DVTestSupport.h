#pragma once
// Helpers shared by the dv tests: short timecode construction, a compact text
// of the stored components, and timecodes as an archive may hold them.

#include <cstdint>
#include <string>
#include <vector>

#include "dv/DVTimeCode.h"
#include "foundation/Archiver.h"

namespace ossel::dvtest {

inline Ref<DVTimeCode> tc(int32_t h, int32_t m, int32_t s, int32_t f) {
    return DVTimeCode::timeCodeWithHours(h, m, s, f);
}

// "h:m:s:f" as stored, with "!" after an invalid timecode; "nothing" for none.
inline std::string show(const Ref<DVTimeCode>& t) {
    if (!t) return "nothing";
    return std::to_string(t->hours()) + ":" + std::to_string(t->minutes()) + ":" + std::to_string(t->seconds()) +
           ":" + std::to_string(t->frames()) + (t->valid() ? "" : "!");
}

// A timecode read from an archive: any components, any validity.
inline Ref<DVTimeCode> archived(bool valid, int32_t h, int32_t m, int32_t s, int32_t f) {
    Coder coder;
    coder.encodeBool(valid);
    for (int32_t v : {h, m, s, f}) coder.encodeInt32(v);
    const std::vector<uint8_t> bytes = coder.data();
    Decoder decoder(bytes);
    return DVTimeCode::initWithCoder(decoder);
}

}  // namespace ossel::dvtest

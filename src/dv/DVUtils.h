#pragma once
// Names the zone in which capture date-times become instants.

#include "foundation/Object.h"
#include "foundation/TimeZone.h"

namespace ossel {

class DVUtils : public Object {
public:
    // The system zone (not the settable process default): a capture's wall-clock
    // fields were recorded on this machine, so they are read in its zone.
    static Ref<TimeZone> defaultTimeZone();

    std::string className() const override { return "DVUtils"; }
};

}  // namespace ossel

#include "dv/DVUtils.h"

namespace ossel {

Ref<TimeZone> DVUtils::defaultTimeZone() { return TimeZone::systemTimeZone(); }

}  // namespace ossel

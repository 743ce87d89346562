#include "platform/ABPerson.h"

#include "foundation/Format.h"

namespace ossel {

std::string ABPerson::description() const { return format("<ABPerson %@> %@", uniqueId_, values_.description()); }

}  // namespace ossel

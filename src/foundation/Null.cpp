#include "foundation/Null.h"

namespace ossel {

const Ref<Null>& Null::null() {
    static const Ref<Null> instance = std::make_shared<Null>();
    return instance;
}

}  // namespace ossel

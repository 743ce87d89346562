// libFuzzer harness for catalog records read from arbitrary property lists:
// any entry must give a record or nothing without a crash, and every record
// must write an entry that reads back equal, with the same properties.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "catalog/TLOsselEvent.h"
#include "catalog/TLOsselPeople.h"
#include "catalog/TLOsselPlace.h"
#include "foundation/Array.h"
#include "foundation/PropertyList.h"

using namespace ossel;

namespace {

template <class Record>
void roundTrip(const Dictionary* entry) {
    const auto record = Record::initWithPList(entry);
    if (!record) return;
    (void)record->name();
    (void)record->recordText();
    const auto again = Record::initWithPList(record->plist().get());
    if (!again || !again->isEqual(record.get()) || !again->properties()->isEqual(record->properties().get())) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto root = readPropertyList(std::span<const uint8_t>(data, size));
    const auto* entries = dynamic_cast<const Array*>(root.get());
    if (!entries) {
        roundTrip<TLOsselPeople>(dynamic_cast<const Dictionary*>(root.get()));
        return 0;
    }
    for (const auto& item : *entries) {
        const auto* entry = dynamic_cast<const Dictionary*>(item.get());
        roundTrip<TLOsselPeople>(entry);
        roundTrip<TLOsselPlace>(entry);
        roundTrip<TLOsselEvent>(entry);
    }
    return 0;
}

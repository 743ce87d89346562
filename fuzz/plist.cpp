// libFuzzer harness for the property-list readers: any bytes must be read or
// refused without a crash, and whatever is read must write as XML and read back
// to the same value (dates to the second, as the XML form keeps them).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "foundation/Array.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/PropertyList.h"

using namespace ossel;

namespace {

bool sameValue(const Object* a, const Object* b) {
    if (const auto* da = dynamic_cast<const Date*>(a)) {
        const auto* db = dynamic_cast<const Date*>(b);
        // The text form keeps whole seconds, counted the way the writer counts them (from 1970).
        return db && std::floor(da->timeIntervalSince1970()) == db->timeIntervalSince1970();
    }
    if (const auto* aa = dynamic_cast<const Array*>(a)) {
        const auto* ab = dynamic_cast<const Array*>(b);
        if (!ab || ab->count() != aa->count()) return false;
        for (size_t i = 0; i < aa->count(); ++i) {
            if (!sameValue(aa->items()[i].get(), ab->items()[i].get())) return false;
        }
        return true;
    }
    if (const auto* xa = dynamic_cast<const Dictionary*>(a)) {
        const auto* xb = dynamic_cast<const Dictionary*>(b);
        if (!xb || xb->count() != xa->count()) return false;
        for (const auto& [key, value] : *xa) {
            if (!sameValue(value.get(), xb->objectForKey(key).get())) return false;
        }
        return true;
    }
    return a->isEqual(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PropertyListError error;
    const Ref<Object> value = readPropertyList(std::span(data, size), &error);
    if (!value) {
        if (error.message.empty()) std::abort();  // a refusal must say why
        return 0;
    }
    const std::string xml = xmlPropertyListData(value.get());
    if (xml.empty()) std::abort();
    const Ref<Object> back = readPropertyList(std::span(reinterpret_cast<const uint8_t*>(xml.data()), xml.size()));
    if (!back || !sameValue(value.get(), back.get())) std::abort();
    return 0;
}

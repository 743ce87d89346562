// libFuzzer harness for the vCard reader: any bytes must load or be reported
// without a crash, every loaded person must fill a people record, and a file
// made of the same cards twice must load twice as many persons.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/TLOsselPeople.h"
#include "platform/VCardReader.h"

using namespace ossel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> problems;
    const auto persons = VCardReader::personsFromText(text, &problems);
    for (const auto& person : persons) {
        auto record = std::make_shared<TLOsselPeople>(str("fuzz"));
        record->populateWithAbPersonData(*person, true);
        (void)record->name();
        (void)record->recordText();
    }
    // Text that starts a card and ends one with a line break reads the same when
    // repeated, so doubling it doubles the persons.
    if (text.starts_with("BEGIN:VCARD") && (text.ends_with("END:VCARD\n") || text.ends_with("END:VCARD\r\n"))) {
        const std::string twice = std::string(text) + std::string(text);
        if (VCardReader::personsFromText(twice).size() != 2 * persons.size()) std::abort();
    }
    return 0;
}

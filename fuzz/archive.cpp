// libFuzzer harness for the sequential archive reader: any bytes must be read
// or refused without a crash, and whatever is read must archive again to bytes
// that read back and archive to the very same bytes.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "foundation/Archiver.h"

using namespace ossel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Decoder decoder(std::span<const uint8_t>(data, size));
    const auto root = decoder.decodeObject();
    if (decoder.failed() || !root) return 0;
    // Trying the other item kinds after the root must fail cleanly as well.
    decoder.decodeInt32();
    decoder.decodeBytes();

    const auto once = Coder::archivedDataWithRootObject(root.get());
    if (once.empty()) return 0;  // a model object may refuse (e.g. a cycle it cannot write)
    const auto again = Decoder::unarchiveObjectWithData(once);
    if (!again) std::abort();
    if (Coder::archivedDataWithRootObject(again.get()) != once) std::abort();
    return 0;
}

// libFuzzer harness for the query language: any text must parse or be refused
// with a column inside it and a reason, and whatever parses must run against a
// real index without an SQL error.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "foundation/Array.h"
#include "foundation/Date.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "foundation/Unicode.h"
#include "index/IndexError.h"
#include "index/IndexReader.h"
#include "index/IndexWriter.h"

using namespace ossel;

namespace {

// An index with a clip of every kind of value, made once per process. Its folder
// goes as soon as the reader has the files open: libFuzzer ends without exit handlers.
IndexReader& reader() {
    static IndexReader* shared = [] {
        char pattern[] = "/tmp/ossel-fuzz-query-XXXXXX";
        const std::string scratch = ::mkdtemp(pattern);
        const std::string db = scratch + "/index.sqlite";
        {
            IndexWriter writer(db);
            auto attributes = Dictionary::make();
            attributes->setObject(str("Harbour at dusk *"), "kMDItemTitle");
            attributes->setObject(Number::withInt(4), "kMDItemStarRating");
            attributes->setObject(Date::withTimeIntervalSinceReferenceDate(2e8), "kMDItemContentCreationDate");
            attributes->setObject(Array::make({str("Maren"), str("Jörg"), Number::withDouble(1.5)}), "kMDItemKeywords");
            writer.storeClip("/f/clip", FileIdentity{1, 1, 1, 1, 1}, *attributes, {});
            writer.commit();
        }
        auto* opened = new IndexReader(db);
        QueryError error;
        opened->countMatches(*parseQuery("maren", &error), {});
        std::filesystem::remove_all(scratch);
        return opened;
    }();
    return *shared;
}

size_t characters(std::string_view text) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++count) unicode::decodeNext(text, i);
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    QueryError error;
    const auto query = parseQuery(text, &error);
    if (!query) {
        if (error.column < 1 || error.column > characters(text) + 1 || error.expected.empty()) std::abort();
        return 0;
    }
    try {
        reader().countMatches(*query, {});
    } catch (const IndexError&) {
        std::abort();  // a query that parses is one SQLite runs
    }
    return 0;
}

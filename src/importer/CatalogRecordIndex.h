#pragma once
// What the records of one catalog file give the clips that name them, by record
// id. Only the values a matching pass appends are kept, not the records nor the
// file's property lists: a catalog of a few hundred thousand people then holds
// less memory than its file, and a clip's lookup costs what its own ids cost.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "catalog/TLOsselOrgConceptRecord.h"
#include "foundation/Dictionary.h"
#include "foundation/String.h"

namespace ossel {

// A record class as the reader sees it: builds a record from one catalog-file
// entry, or answers null when the entry is none of its kind.
using OrgConceptRecordClass = Ref<TLOsselOrgConceptRecord> (*)(const Dictionary* entry);

// One kind of catalog record as a matching pass uses it.
struct CatalogRecordKind {
    std::string_view idListKey;    // the clip's list of ids of this kind
    std::string_view catalogFile;  // "People 2.xml", beside the other catalog files
    OrgConceptRecordClass recordClass;
    // Where the record class finds the id and the properties in an entry: the
    // data dictionary, or its typed-container form when it is missing or empty.
    std::string_view recordIdKey;
    std::string_view dataKey;
    std::string_view typedDataKey;
    std::initializer_list<std::string_view> keywordProperties;  // appended to the keywords, in this order
    std::string_view contentProperty;                            // appended to the content text
};

class CatalogRecordIndex {
public:
    // What one record gives: its keyword values that are present, in the kind's
    // order, and its content value, or null.
    struct Contribution {
        std::span<const Ref<Object>> keywords;
        const Ref<Object>* content = nullptr;
    };

    explicit CatalogRecordIndex(const CatalogRecordKind& kind) : kind_(&kind) {}

    // Entries in file order. The values are those the kind's record class would
    // give for the entry, read without building the record: a whole catalog is
    // indexed after every change, and building a record for each entry was
    // nearly half of that work. An entry that gives no record is passed over;
    // one with the id of an earlier record replaces it.
    void add(const Dictionary* entry);
    std::optional<Contribution> find(std::string_view id) const;

    // An estimate of the memory held, allocator overhead included, for the
    // cache's bound; it errs on the high side.
    size_t bytesHeld() const;

private:
    struct Record {
        Ref<String> id;
        size_t firstValue;
        uint32_t keywordCount;
        bool hasContent;
    };

    // Open addressing over record positions, at least twice as many slots as
    // records. A slot holds the id's 32-bit hash above position + 1 (0: empty),
    // so that a probe reaches a record's id only when the hashes match.
    size_t slotOf(std::string_view id, uint64_t hash) const;
    void grow();

    const CatalogRecordKind* kind_;
    std::vector<Ref<Object>> values_;
    std::vector<Record> records_;
    std::vector<uint64_t> slots_;
};

}  // namespace ossel

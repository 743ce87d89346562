#pragma once
// What people, place and event records share: a kind that names their keys,
// draws their ids and keeps their key list; catalog-file entries read and
// written; archives; display names and their order. Each kind keeps only what
// sets it apart.

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "catalog/ClassIdGenerator.h"
#include "catalog/TLOsselOrgConceptRecord.h"
#include "foundation/Archiver.h"
#include "foundation/Array.h"

namespace ossel {

class TLOsselCatalogRecord : public TLOsselOrgConceptRecord {
public:
    // One kind of record, made once per class and kept for the process.
    class Kind {
    public:
        struct Names {
            std::string_view className;     // in archives
            std::string_view idProperty;    // the entry's id, also the record's own key ("placeId")
            std::string_view dataProperty;  // the entry's property dictionary ("placeData")
            std::string_view generatorKey;
            std::string_view idPrefix;
            std::string_view scheme;        // of search documents
            std::span<const std::string_view> recordKeys;
            std::string_view nameProperty;  // the display name, when a property holds it
            std::string_view unnamed;       // the display name without one
        };
        explicit Kind(const Names& given) : names(given), generator_(given.generatorKey) {}

        Ref<String> nextId();
        // Resets the counter when this process has obtained the generator, else does nothing.
        void resetId();
        // Made on first use: the class's "initialize".
        const Ref<Array>& recordKeys();

        const Names names;

    private:
        ClassIdGenerator generator_;
        Ref<Array> recordKeys_;
    };

    // The value of the kind's name property, else its text for a record without a name.
    virtual std::string name() const;
    std::string description() const override { return name(); }
    Ref<Dictionary> plist() const override;
    std::string recordScheme() const override { return std::string(kind().names.scheme); }

    // Makes the kind's archives readable; true, for a static initialiser.
    template <class Record>
    static bool registerArchives() {
        registerArchivableClass(std::string(Record::recordKind().names.className), 0,
                                [](Decoder& decoder) -> Ref<Object> { return fromArchive<Record>(decoder); });
        return true;
    }

protected:
    explicit TLOsselCatalogRecord(Ref<String> recordId) : TLOsselOrgConceptRecord(std::move(recordId)) {}

    virtual const Kind& kind() const = 0;
    // A kind's fields beyond the common ones, in entries and in archives.
    virtual void readKindEntry(const Dictionary&) {}
    virtual void writeKindEntry(Dictionary&) const {}
    virtual bool decodeKindFields(Decoder&) { return true; }

    // Case-insensitive order of the names: -1, 0 or 1.
    int compareNames(const TLOsselCatalogRecord& other) const;
    bool ownValueForKey(std::string_view key, Ref<Object>* value) const override;

    // A record of the kind from a catalog-file entry; null without the kind's id.
    template <class Record>
    static Ref<Record> fromEntry(const Dictionary* entry) {
        Kind& kind = Record::recordKind();
        auto recordId = entryId(entry, kind.names.idProperty);
        if (!recordId) return nullptr;
        kind.recordKeys();
        auto record = std::make_shared<Record>(std::move(recordId));
        record->readEntry(*entry);
        return record;
    }
    // A record read back from its archive; null when the archive failed.
    template <class Record>
    static Ref<Record> fromArchive(Decoder& decoder) {
        auto record = std::make_shared<Record>(nullptr);
        return record->decodeFields(decoder) ? record : nullptr;
    }
private:
    void readEntry(const Dictionary& entry);
    bool decodeFields(Decoder& decoder);
};

}  // namespace ossel

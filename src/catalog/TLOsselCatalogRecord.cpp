#include "catalog/TLOsselCatalogRecord.h"

#include "base/TLLog.h"
#include "foundation/Unicode.h"

namespace ossel {

Ref<String> TLOsselCatalogRecord::Kind::nextId() {
    return str(generator_.obtain().nextStringIdWithPrefix(names.idPrefix));
}

void TLOsselCatalogRecord::Kind::resetId() {
    if (auto* generator = generator_.existing()) generator->resetId();
}

const Ref<Array>& TLOsselCatalogRecord::Kind::recordKeys() {
    if (!recordKeys_) {
        std::vector<Ref<Object>> keys;
        for (const std::string_view key : names.recordKeys) keys.push_back(str(std::string(key)));
        recordKeys_ = Array::make(std::move(keys), false);
    }
    return recordKeys_;
}

std::string TLOsselCatalogRecord::name() const {
    if (const auto value = valueForProperty(kind().names.nameProperty)) return value->description();
    return mainBundleLocalizedString(kind().names.unnamed);
}

Ref<Dictionary> TLOsselCatalogRecord::plist() const {
    auto entry = entryWithId(kind().names.idProperty);
    writeKindEntry(*entry);
    finishEntry(*entry, kind().names.dataProperty);
    return entry;
}

void TLOsselCatalogRecord::readEntry(const Dictionary& entry) {
    readEntryFlags(entry);
    readKindEntry(entry);
    mergeEntryData(entry, kind().names.dataProperty);
}

bool TLOsselCatalogRecord::decodeFields(Decoder& decoder) {
    return decodeBase(decoder, *this) && decodeKindFields(decoder);
}

int TLOsselCatalogRecord::compareNames(const TLOsselCatalogRecord& other) const {
    return unicode::compareFolded(name(), other.name());
}

bool TLOsselCatalogRecord::ownValueForKey(std::string_view key, Ref<Object>* value) const {
    if (key == kind().names.idProperty) {
        *value = recordId();
    } else if (key == "name" || key == "description") {
        *value = str(name());
    } else {
        return TLOsselOrgConceptRecord::ownValueForKey(key, value);
    }
    return true;
}

}  // namespace ossel

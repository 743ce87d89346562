#include "importer/GetMetadataForFile.h"

#include <cstdlib>
#include <string_view>

#include "foundation/PropertyList.h"
#include "importer/CatalogCache.h"
#include "importer/CatalogLookup.h"
#include "importer/OsselMDItem.h"
#include "importer/PathComponents.h"
#include "importer/TLDVClipAnnotationKeys.h"
#include "platform/MDItem.h"

using namespace ossel;

namespace {

constexpr std::string_view kOsselCreator = "Ossel";
constexpr std::string_view kOsselClipKind = "Ossel Clip";
constexpr std::string_view kUserCatalogDirectory = "~/Movies/Ossel";
// Only the people file decides whether a directory is a catalog.
constexpr std::string_view kCatalogProbeFile = "People 2.xml";

void copyIfPresent(const Dictionary& annotation, std::string_view key, Dictionary& attributes,
                   std::string_view attribute) {
    Ref<Object> value = annotation.objectForKey(key);
    if (value) attributes.setObject(std::move(value), std::string(attribute));
}

void importAnnotation(const Dictionary& annotation, Dictionary& attributes) {
    copyIfPresent(annotation, kTLDVClipAnnotationClipName, attributes, kMDItemTitle);
    copyIfPresent(annotation, kTLDVClipAnnotationClipNotes, attributes, kMDItemDescription);
    // Texts are immutable: every import can share the same two.
    static const Ref<String> creator = str(std::string(kOsselCreator));
    static const Ref<String> kind = str(std::string(kOsselClipKind));
    attributes.setObject(creator, std::string(kMDItemCreator));
    attributes.setObject(kind, std::string(kMDItemKind));
    copyIfPresent(annotation, kTLDVClipAnnotationClipRating, attributes, kMDItemStarRating);
    copyIfPresent(annotation, kTLDVClipVideoFormat, attributes, kMDItemOsselVideoFormat);
    copyIfPresent(annotation, kTLDVClipDurationInSeconds, attributes, kMDItemDurationSeconds);
    copyIfPresent(annotation, kTLDVClipShootingDate, attributes, kMDItemContentCreationDate);
}

void importCatalogMatches(const Dictionary& annotation, const std::string& catalogDir, Dictionary& attributes) {
    const Ref<Array> keywords = Array::make();
    Ref<String> contentText;
    loadMatchingPeople(&annotation, catalogDir, &contentText, keywords.get());
    loadMatchingPlaces(&annotation, catalogDir, &contentText, keywords.get());
    loadMatchingEvents(&annotation, catalogDir, &contentText, keywords.get());
    if (contentText && contentText->length() > 0) attributes.setObject(contentText, std::string(kMDItemTextContent));
    if (keywords->count() > 0) attributes.setObject(keywords, std::string(kMDItemKeywords));
}

// The probe path of a candidate directory. The search runs for every clip and
// clips come a directory at a time, so the path is built again only when the
// directory differs from the last one's. One thread at a time, like everything
// the plug-in does.
class ProbePath {
public:
    const std::string& in(std::string_view directory) {
        if (probe_.empty() || directory != directory_) {
            directory_.assign(directory);
            probe_ = stringByAppendingPathComponent(directory, kCatalogProbeFile);
        }
        return probe_;
    }
    const std::string& directory() const { return directory_; }

private:
    std::string directory_;
    std::string probe_;
};

bool isCatalogDirectory(ProbePath& probe, std::string_view directory) {
    return CatalogCache::shared().identityAt(probe.in(directory)).has_value();
}

// "~/Movies/Ossel", expanded again only when $HOME changed; without $HOME "~" is
// the password database's entry, looked up every time.
const std::string& userCatalogDirectory() {
    static std::string home, directory;
    const char* now = std::getenv("HOME");
    if (!now || !*now || home != now) {
        home = now ? now : "";
        directory = stringByExpandingTildeInPath(kUserCatalogDirectory);
    }
    return directory;
}

// The catalog paths an import looks at are its dependencies, reported after it.
class ImportScope {
public:
    ImportScope() { CatalogCache::shared().beginImport(); }
    ~ImportScope() { CatalogCache::shared().endImport(); }
    ImportScope(const ImportScope&) = delete;
    ImportScope& operator=(const ImportScope&) = delete;
};

}  // namespace

Boolean GetMetadataForFile(void*, CFMutableDictionaryRef attributes, CFStringRef, CFStringRef pathToFile) {
    const ImportScope scope;
    if (!attributes || !pathToFile) return false;
    // An exception must not cross into the host: it cannot catch ours.
    try {
        const std::string path(pathToFile->utf8());
        const Ref<Dictionary> annotation = kindCast<Dictionary>(readPropertyListFromFile(path));
        if (!annotation) return false;
        importAnnotation(*annotation, *attributes);
        if (const auto catalogDir = findRelatedKeyWordsCatalogDir(path)) {
            importCatalogMatches(*annotation, *catalogDir, *attributes);
        }
        return true;
    } catch (...) {
        return false;
    }
}

namespace ossel {

void addToKeywordsArray(Array* keywords, const Ref<Object>& value) {
    if (keywords && value) keywords->addObject(value);
}

void addToContentString(Ref<String>* contentText, const Ref<Object>& value) {
    if (!contentText || !value) return;
    if (!*contentText) {
        Ref<String> text = kindCast<String>(value);
        *contentText = text ? std::move(text) : str(value->description());
        return;
    }
    std::string joined((*contentText)->utf8());
    *contentText = str(joined.append(1, ' ').append(value->description()));
}

std::optional<std::string> findRelatedKeyWordsCatalogDir(const std::string& path) {
    // The annotation file sits two directory levels below the catalog: <catalog>/<a>/<b>/<file>.
    std::string_view climbed = path;
    for (int level = 0; level < 3; ++level) climbed = deletingLastPathComponent(climbed);
    static ProbePath candidate, fallback;
    // Hosts hand over full paths: the candidate seldom has a "~" to expand.
    const std::string expanded = climbed.starts_with('~') ? stringByExpandingTildeInPath(climbed) : std::string();
    if (isCatalogDirectory(candidate, expanded.empty() ? climbed : expanded)) return candidate.directory();
    if (isCatalogDirectory(fallback, userCatalogDirectory())) return fallback.directory();
    return std::nullopt;
}

}  // namespace ossel

#include "importer/CatalogCache.h"

#include <gtest/gtest.h>

#include <random>

#include "ImporterTest.h"
#include "foundation/PropertyList.h"
#include "importer/GetMetadataForFile.h"
#include "platform/MDItem.h"
#include "support/TestEnvironment.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's own count; GCC ships no header for it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
static size_t allocatedBytes() { return __sanitizer_get_current_allocated_bytes(); }
#else
#include <malloc.h>
static size_t allocatedBytes() { return mallinfo2().uordblks; }
#endif

using namespace ossel;
using namespace ossel::testing;
namespace fs = std::filesystem;

namespace {

struct KindShape {
    const char *file, *idKey, *dataKey;
    std::vector<const char*> properties;
    const char* clipKey;
};
const KindShape kKinds[] = {
    {"People 2.xml", "peopleId", "peopleData", {"nickName", "firstName", "lastName", "eMail", "Notes"}, "clipPeopleIds"},
    {"Places 2.xml", "placeId", "placeData", {"placeName", "country", "notes"}, "clipPlaceIds"},
    {"Events 2.xml", "eventId", "eventData", {"eventName", "notes"}, "clipEventIds"},
};
constexpr int kIdsPerKind = 12;  // ids 0..9 may be in the catalog; 10 and 11 never are

std::string idOf(const KindShape& kind, int n) { return std::string(kind.idKey) + "-" + std::to_string(n); }

Ref<Dictionary> randomEntry(std::mt19937& random, const KindShape& kind, int id) {
    const char* words[] = {"Ann", "Lee", "Bo", "Kim", "Oslo", "Rio", "Lima", "Wedding", "Zoë", "x@y"};
    auto data = Dictionary::make();
    for (const char* property : kind.properties) {
        if (random() % 3) data->setObject(str(words[random() % std::size(words)]), property);
    }
    // Some entries keep their data only where the typed containers write it.
    const std::string dataKey = random() % 5 ? std::string(kind.dataKey) : "@dict:" + std::string(kind.dataKey);
    return dictionaryOf({{kind.idKey, str(idOf(kind, id))}, {dataKey, data}});
}

// One catalog directory with its three files and clips naming their records.
class CatalogFixture {
public:
    explicit CatalogFixture(fs::path directory, uint32_t seed = 1, int records = 8)
        : directory_(std::move(directory)), random_(seed) {
        fs::create_directories(directory_ / "Clips" / "2007");
        for (size_t k = 0; k < std::size(kKinds); ++k) {
            for (int i = 0; i < records; ++i) entries_[k].push_back(randomEntry(random_, kKinds[k], i % 10));
            write(k, true);
        }
    }

    std::string path(size_t kind) const { return (directory_ / kKinds[kind].file).string(); }

    // A clip naming 1-4 people, 0-1 place and 0-2 events (at least one of each
    // with `everyKind`), some of them absent or twice.
    std::string addClip(bool everyKind = false) {
        auto annotation = Dictionary::make();
        const int least = everyKind ? 1 : 0;
        const int counts[] = {1 + int(random_() % 4), least + int(random_() % 2), least + int(random_() % 3)};
        for (size_t k = 0; k < std::size(kKinds); ++k) {
            auto ids = Array::make();
            for (int i = 0; i < counts[k]; ++i) ids->addObject(str(idOf(kKinds[k], int(random_() % kIdsPerKind))));
            annotation->setObject(ids, kKinds[k].clipKey);
        }
        const auto clip = directory_ / "Clips" / "2007" / ("clip" + std::to_string(clips_.size()) + ".plist");
        EXPECT_TRUE(writePropertyListToFile(annotation.get(), clip.string(), true));
        clips_.push_back(clip.string());
        return clips_.back();
    }
    const std::vector<std::string>& clips() const { return clips_; }

    void rewriteAll() {
        for (size_t k = 0; k < std::size(kKinds); ++k) write(k, false);
    }

    // One of the changes a catalog meets between two imports; answers its name.
    std::string randomEdit() {
        const size_t k = random_() % std::size(kKinds);
        auto& entries = entries_[k];
        const std::string file = path(k);
        switch (random_() % 8) {
            case 0:
                entries.push_back(randomEntry(random_, kKinds[k], int(random_() % 10)));
                write(k, false);
                return "add a record, maybe with an id already there";
            case 1:
                if (!entries.empty()) entries.erase(entries.begin() + long(random_() % entries.size()));
                write(k, false);
                return "delete an entry";
            case 2:
                if (!entries.empty()) {
                    auto data = Dictionary::make();
                    data->setObject(str("Renamed" + std::to_string(random_() % 100)), kKinds[k].properties[random_() % 2]);
                    entries[random_() % entries.size()]->setObject(data, kKinds[k].dataKey);
                }
                write(k, false);
                return "rename in place";
            case 3: write(k, true); return "replace by rename";
            case 4: fs::remove(file); return "remove";
            case 5:
                if (fs::exists(file)) fs::resize_file(file, random_() % (fs::file_size(file) + 1));
                break;
            case 6: {
                std::string garbage(64 + random_() % 64, '\0');
                for (auto& c : garbage) c = static_cast<char>(random_());
                std::ofstream(file, std::ios::binary | std::ios::trunc) << (random_() % 2 ? "" : "<plist><array><dict><key>") << garbage;
                break;
            }
            case 7: break;
        }
        if (fs::exists(file)) setOldModificationTime(file);
        return "truncate, garbage or touch";
    }

private:
    void write(size_t k, bool atomically) {
        auto array = Array::make();
        for (const auto& entry : entries_[k]) array->addObject(entry);
        if (random_() % 6 == 0) array->addObject(str("not a record"));
        ASSERT_TRUE(writePropertyListToFile(array.get(), path(k), atomically));
        setOldModificationTime(path(k));
    }

    fs::path directory_;
    std::mt19937 random_;
    std::vector<Ref<Dictionary>> entries_[std::size(kKinds)];
    std::vector<std::string> clips_;
};

// Every clip's result and attributes, in their order, as one text.
std::string importAll(const std::vector<std::string>& clips) {
    std::string out;
    for (const auto& clip : clips) {
        Dictionary attributes;
        out += GetMetadataForFile(nullptr, &attributes, nullptr, str(clip).get()) ? "yes " : "no ";
        out += oldStyleDescription(&attributes) + "\n";
    }
    return out;
}

// What each clip gives with nothing kept from an earlier import, as in a process that never
// imported before; the reads this makes are not counted.
std::string importAfresh(const std::vector<std::string>& clips, int& reads) {
    const int counted = reads;
    std::string out;
    for (const auto& clip : clips) {
        CatalogCache::shared().clear();
        out += importAll({clip});
    }
    reads = counted;
    return out;
}

class CatalogCacheTest : public ImporterTempDir {
protected:
    void SetUp() override {
        CatalogCache::shared().clear();
        OsselImporterSetCatalogReadHook(
            [](const char*, void* reads) {
                ++*static_cast<int*>(reads);
                return 1;
            },
            &reads_);
    }
    void TearDown() override {
        OsselImporterSetCatalogReadHook(nullptr, nullptr);
        CatalogCache::shared().setLimits(kCatalogCacheDirectories, kCatalogCacheBytes);
    }
    int reads_ = 0;
};

TEST_F(CatalogCacheTest, ImportsMatchAFreshProcessThroughRandomEdits) {
    CatalogFixture catalog(root_ / "Ossel", 20080101);
    // The last clip reads every kind, so that the cache holds all three files across each edit.
    for (int i = 0; i < 4; ++i) catalog.addClip(i == 3);

    constexpr int kSteps = 30;
    std::string edit = "none";
    for (int step = 0; step < kSteps; ++step) {
        // The cached imports first: the fresh ones leave the cache holding every file as it is now.
        const std::string cached = importAll(catalog.clips());
        ASSERT_EQ(cached, importAfresh(catalog.clips(), reads_)) << "step " << step << " after " << edit;
        edit = catalog.randomEdit();
    }
    // Each version of a file is read once, and only the last one is kept.
    EXPECT_LE(reads_, 3 * kSteps);
    catalog.rewriteAll();
    importAll(catalog.clips());
    const size_t held = CatalogCache::shared().bytesHeld();
    CatalogCache::shared().clear();
    importAll(catalog.clips());
    EXPECT_EQ(CatalogCache::shared().bytesHeld(), held);
}

TEST_F(CatalogCacheTest, ManyCatalogDirectoriesStayWithinTheLimits) {
    std::vector<std::unique_ptr<CatalogFixture>> directories;
    for (int i = 0; i < 6; ++i) {
        directories.push_back(std::make_unique<CatalogFixture>(root_ / ("d" + std::to_string(i)) / "Ossel", i, 80));
        directories.back()->addClip(true);
    }
    auto& cache = CatalogCache::shared();
    importAll(directories[0]->clips());
    cache.clear();
    const auto baseline = static_cast<long>(allocatedBytes());
    const auto grown = [&] { return static_cast<long>(allocatedBytes()) - baseline; };
    importAll(directories[0]->clips());
    const size_t oneDirectory = cache.bytesHeld();
    ASSERT_GT(oneDirectory, 0u);

    for (const auto& catalog : directories) {
        importAll(catalog->clips());
        EXPECT_LE(grown(), long(cache.bytesHeld()) + 64 * 1024) << "the estimate must not fall short";
    }
    EXPECT_LE(cache.bytesHeld(), oneDirectory * 4 * 5 / 4) << "at most four directories";
    EXPECT_GE(cache.bytesHeld(), oneDirectory * 4 * 3 / 4);

    cache.setLimits(100, oneDirectory * 5 / 2);
    for (const auto& catalog : directories) {
        importAll(catalog->clips());
        EXPECT_LE(cache.bytesHeld(), oneDirectory * 5 / 2);
        EXPECT_LE(grown(), long(oneDirectory * 5 / 2) + 64 * 1024);
    }
}

TEST_F(CatalogCacheTest, ReportsEachCatalogPathOfTheLastImportAndAsksTheHookBeforeEachRead) {
    struct Hook {
        std::vector<std::string> asked;
        std::string refused;
    } hook;
    OsselImporterSetCatalogReadHook(
        [](const char* path, void* context) {
            auto& h = *static_cast<Hook*>(context);
            h.asked.push_back(fs::path(path).filename());
            return h.refused == h.asked.back() ? 0 : 1;
        },
        &hook);
    // Each path with "present" or "absent", checking a present one's identity against stat.
    const auto dependencies = [&] {
        const OsselCatalogDependency* entries = nullptr;
        const size_t count = OsselImporterCatalogDependencies(&entries);
        std::vector<std::string> out;
        for (size_t i = 0; i < count; ++i) {
            const auto& d = entries[i];
            const FileIdentity reported{d.device, d.inode, d.size, d.modifiedNanoseconds, d.changedNanoseconds};
            const bool matches = fileIdentityAtPath(d.path) == reported;
            out.push_back(fs::relative(d.path, root_).string() + (!d.exists ? " absent" : matches ? " present" : " stale"));
        }
        return out;
    };
    const auto keywordsOf = [&](const std::string& clip) {
        Dictionary attributes;
        EXPECT_TRUE(GetMetadataForFile(nullptr, &attributes, nullptr, str(clip).get()));
        const auto keywords = attributes.objectForKeyAs<Array>(kMDItemKeywords);
        return keywords ? keywords->description() : "none";
    };

    const std::string clip = writeFile("w/x/y/z/clip.plist", plist(R"(<dict>
        <key>clipPeopleIds</key><array><string>P1</string></array>
        <key>clipPlaceIds</key><array><string>L1</string></array>
        <key>clipEventIds</key><array><string>E1</string></array></dict>)"));
    EXPECT_EQ(keywordsOf(clip), "none");
    EXPECT_EQ(dependencies(), (std::vector<std::string>{"w/x/People 2.xml absent", "home/Movies/Ossel/People 2.xml absent"}));

    const auto copyToHome = [&](const std::string& file) {
        return writeFile("home/Movies/Ossel/" + file, fileContent(OSSEL_TEST_DATA "/importer/catalog/" + file));
    };
    copyToHome("People 2.xml");
    copyToHome("Places 2.xml");
    const std::vector<std::string> all{"w/x/People 2.xml absent", "home/Movies/Ossel/People 2.xml present",
                                       "home/Movies/Ossel/Places 2.xml present", "home/Movies/Ossel/Events 2.xml absent"};
    // Files written just now are read again by every import: their identity may yet hide a rewrite.
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(keywordsOf(clip), "(\n    Ann,\n    Lee,\n    Oslo,\n    Norway\n)");
        EXPECT_EQ(dependencies(), all);
    }
    EXPECT_EQ(hook.asked, (std::vector<std::string>{"People 2.xml", "Places 2.xml", "People 2.xml", "Places 2.xml"}));

    hook.refused = "People 2.xml";
    EXPECT_EQ(keywordsOf(clip), "(\n    Oslo,\n    Norway\n)");
    EXPECT_EQ(dependencies(), all) << "a refused file is still a dependency";

    Dictionary attributes;
    EXPECT_FALSE(GetMetadataForFile(nullptr, &attributes, nullptr, str(writeFile("bad.plist", "not a plist")).get()));
    EXPECT_EQ(OsselImporterCatalogDependencies(nullptr), 0u);
}

}  // namespace

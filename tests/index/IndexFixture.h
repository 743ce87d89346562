#pragma once
// A scratch folder per test with an index in it, and a small fixed set of
// clips to query, stored the way an indexing run stores them.

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "foundation/Dictionary.h"
#include "foundation/PropertyList.h"
#include "foundation/String.h"
#include "index/IndexWriter.h"
#include "support/Scratch.h"

namespace ossel::testing {

class IndexFixture : public ::testing::Test {
protected:
    std::string pathIn(const std::string& name) const { return (dir_ / name).string(); }

    // What the importer gives every clip, plus the given attributes.
    static Ref<Dictionary> clip(std::vector<Dictionary::Entry> entries) {
        entries.insert(entries.begin(), {{"kMDItemCreator", str("Ossel")}, {"kMDItemKind", str("Ossel Clip")}});
        return std::make_shared<Dictionary>(std::move(entries), false);
    }

    // The five clips of tests/data/index/clip-set.plist below /c, one skipped file
    // and one failure; returns the short names by path.
    std::map<std::string, std::string, std::less<>> storeClipSet() const {
        const auto clips = kindCast<Dictionary>(readPropertyListFromFile(OSSEL_TEST_DATA "/index/clip-set.plist"));
        if (!clips) {
            ADD_FAILURE() << "tests/data/index/clip-set.plist does not read";
            return {};
        }
        IndexWriter writer(db_);
        std::map<std::string, std::string, std::less<>> names;
        uint64_t inode = 1;
        for (const auto& [name, attributes] : clips->entries()) {
            const std::string path = "/c/" + name + ".plist";
            const auto own = kindCast<Dictionary>(attributes);
            writer.storeClip(path, FileIdentity{1, inode++, 10, 1, 1}, *clip(own->entries()), {});
            names.emplace(path, name);
        }
        writer.storeSkipped("/c/People 2.xml", FileIdentity{1, 100, 10, 1, 1});
        writer.storeFailure("/c/broken.plist", FileIdentity{1, 101, 10, 1, 1}, "not a property list", false);
        writer.commit();
        return names;
    }

    const ScratchDir dir_;
    const std::string db_ = pathIn("index.sqlite");
};

}  // namespace ossel::testing

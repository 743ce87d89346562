#pragma once
// A scratch folder per test with an index in it, and a small fixed set of
// clips to query, stored the way an indexing run stores them.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "index/IndexWriter.h"
#include "support/Scratch.h"

namespace ossel::testing {

class IndexFixture : public ::testing::Test {
protected:
    std::string pathIn(const std::string& name) const { return (dir_ / name).string(); }

    static Ref<Date> utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
        return Date::withTimeIntervalSinceReferenceDate(sinceReferenceDateOf({year, month, day, hour, minute, second}));
    }
    static Ref<Array> list(std::vector<std::string> words) {
        std::vector<Ref<Object>> items;
        for (auto& word : words) items.push_back(str(std::move(word)));
        return Array::make(std::move(items));
    }
    // What the importer gives every clip, plus the given attributes.
    static Ref<Dictionary> clip(std::vector<Dictionary::Entry> entries) {
        entries.insert(entries.begin(), {{"kMDItemCreator", str("Ossel")}, {"kMDItemKind", str("Ossel Clip")}});
        return std::make_shared<Dictionary>(std::move(entries), false);
    }

    // Five clips (short names harbour, market, birthday, allotment, cafe) below
    // /c, one skipped file and one failure; returns the short names by path.
    std::vector<std::pair<std::string, std::string>> storeClipSet() const {
        const std::vector<std::pair<std::string, Ref<Dictionary>>> clips = {
            {"harbour", clip({{"kMDItemTitle", str("Harbour at dusk")},
                              {"kMDItemDescription", str("Boats come in; gulls.")},
                              {"kMDItemStarRating", Number::withInt(4)},
                              {"kMDItemDurationSeconds", Number::withDouble(95.5)},
                              {"kMDItemContentCreationDate", utc(2006, 8, 12, 19, 40)},
                              {"kMDItemOsselVideoFormat", str("DV PAL 16:9")},
                              {"kMDItemTextContent", str("maren@example.org")},
                              {"kMDItemKeywords", list({"Maren", "Jörg", "Harbour"})}})},
            {"market", clip({{"kMDItemTitle", str("Market stalls")},
                             {"kMDItemDescription", str("Fish and Crêpes")},
                             {"kMDItemStarRating", Number::withInt(2)},
                             {"kMDItemContentCreationDate", utc(2006, 3, 14, 10, 22, 5)},
                             {"kMDItemOsselVideoFormat", str("DV PAL 4:3")},
                             {"kMDItemKeywords", list({"Ines"})}})},
            {"birthday", clip({{"kMDItemTitle", str("Birthday speeches")},
                               {"kMDItemDescription", str("Uncle's speech runs long")},
                               {"kMDItemStarRating", Number::withInt(3)},
                               {"kMDItemDurationSeconds", Number::withDouble(1321.5)},
                               {"kMDItemContentCreationDate", utc(2007, 5, 19, 13, 58, 12)},
                               {"kMDItemOsselVideoFormat", str("DV NTSC 4:3")},
                               {"kMDItemKeywords", list({"MAREN", "Élodie"})}})},
            {"allotment", clip({{"kMDItemTitle", str("Allotment *timelapse*")},
                                {"kMDItemContentCreationDate", utc(2007, 9, 1)},
                                {"kMDItemOsselVideoFormat", str("DV NTSC 16:9")}})},
            {"cafe", clip({{"kMDItemTitle", str("Café ﬁlm")},
                           {"kMDItemStarRating", Number::withDouble(5)},
                           {"kMDItemKeywords", list({})}})},
        };
        IndexWriter writer(db_);
        std::vector<std::pair<std::string, std::string>> names;
        int64_t inode = 1;
        for (const auto& [name, attributes] : clips) {
            const std::string path = "/c/" + name + ".plist";
            writer.storeClip(path, FileIdentity{1, static_cast<uint64_t>(inode++), 10, 1, 1}, *attributes, {});
            names.emplace_back(path, name);
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

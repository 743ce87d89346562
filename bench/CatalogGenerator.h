#pragma once
// Synthetic catalogs. People shaped like the entries of "People 2.xml": an array of
// record dictionaries with the id, flags, optional last-use date and address-book
// id, and a data dictionary of names, birthday, e-mail and notes. Places and events
// with a name (a place also a country) and notes. Deterministic for a seed, so
// that runs compare like with like.

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Date.h"
#include "foundation/Dictionary.h"
#include "foundation/Format.h"
#include "foundation/Number.h"
#include "foundation/PropertyList.h"
#include "foundation/String.h"

namespace ossel::bench {

inline constexpr const char* kFirstNames[] = {"Ann", "Bob", "Chloé", "Dmitri", "Eve", "Farah", "Gustav", "Hana",
                                              "Ivan", "Jules", "Kofi", "Lena", "Mateo", "Nora", "Oskar", "Priya"};
inline constexpr const char* kLastNames[] = {"Lee", "Müller", "Okafor", "Tanaka", "García", "Smith", "Novak",
                                             "Dubois", "Rossi", "Kowalski", "Nguyen", "Haddad", "Johansson"};
inline constexpr const char* kWords[] = {"studio", "morning", "takes", "camera", "interview", "light", "sound",
                                         "prefers", "short", "the", "and", "with", "beach", "wedding", "festival",
                                         "editing", "colour", "tape", "archive", "&", "<b>", "rehearsal", "voice"};

inline Ref<Dictionary> makePerson(std::mt19937& random, int serial) {
    auto pick = [&](const auto& list) { return std::string(list[random() % std::size(list)]); };
    auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
    const std::string first = pick(kFirstNames), last = pick(kLastNames);

    auto data = Dictionary::make();
    data->setObject(str(first), "firstName");
    data->setObject(str(last), "lastName");
    if (chance(30)) data->setObject(str(first.substr(0, 2) + "y"), "nickName");
    data->setObject(Date::withTimeIntervalSinceReferenceDate(-1.5e9 + double(random() % 1500000000u)), "birthday");
    data->setObject(str(first + "." + last + "@example.org"), "eMail");
    std::string notes;
    const size_t words = 4 + random() % 12;
    for (size_t i = 0; i < words; ++i) notes.append(i ? " " : "").append(pick(kWords));
    data->setObject(str(notes), "Notes");

    auto person = Dictionary::make();
    char id[96];
    std::snprintf(id, sizeof id, "OsselPeople.studio_mac_local-%d-%.6f", serial, 1199145600.0 + serial * 37.123457);
    person->setObject(str(id), "peopleId");
    person->setObject(Number::withBool(chance(10)), "isDemo");
    person->setObject(Number::withBool(chance(20)), "isFavorite");
    if (chance(70)) person->setObject(Date::withTimeIntervalSinceReferenceDate(2.2e8 + random() % 100000000u), "lastUse");
    if (chance(50)) {
        char ab[64];
        std::snprintf(ab, sizeof ab, "%08X-%04X-4%03X-8%03X-%012llX:ABPerson", unsigned(random()), unsigned(random() & 0xFFFF),
                      unsigned(random() & 0xFFF), unsigned(random() & 0xFFF),
                      static_cast<unsigned long long>(random()) << 16 | (random() & 0xFFFF));
        person->setObject(str(ab), "adressBookId");
    }
    person->setObject(data, "peopleData");
    return person;
}

inline Ref<Array> makePeopleCatalog(int count, uint32_t seed = 20080101) {
    std::mt19937 random(seed);
    auto people = Array::make();
    people->reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) people->addObject(makePerson(random, i + 1));
    return people;
}

struct RecordShape {
    const char* prefix;
    const char* idKey;
    const char* dataKey;
    const char* nameKey;
    bool withCountry;
};
inline constexpr RecordShape kPlaceShape{"OsselPlace", "placeId", "placeData", "placeName", true};
inline constexpr RecordShape kEventShape{"OsselEvent", "eventId", "eventData", "eventName", false};

inline Ref<Dictionary> makeRecord(std::mt19937& random, const RecordShape& shape, int serial) {
    auto pick = [&](const auto& list) { return std::string(list[random() % std::size(list)]); };
    auto data = Dictionary::make();
    data->setObject(str(pick(kWords) + " " + pick(kLastNames)), shape.nameKey);
    if (shape.withCountry) data->setObject(str(pick(kLastNames) + "land"), "country");
    std::string notes;
    for (int i = 0; i < 20; ++i) notes.append(i ? " " : "").append(pick(kWords));
    data->setObject(str(notes), "notes");
    auto record = Dictionary::make();
    record->setObject(str(format("%@.studio_mac_local-%d-1199145600.%06d", shape.prefix, serial, serial)), shape.idKey);
    record->setObject(Number::withBool(false), "isDemo");
    record->setObject(Number::withBool(random() % 5 == 0), "isFavorite");
    record->setObject(data, shape.dataKey);
    return record;
}

inline Ref<Array> makeRecordCatalog(const RecordShape& shape, int count, uint32_t seed) {
    std::mt19937 random(seed);
    auto catalog = Array::make();
    for (int i = 1; i <= count; ++i) catalog->addObject(makeRecord(random, shape, i));
    return catalog;
}

// A catalog a user has not touched for a day: its identity can be trusted.
inline void age(const std::filesystem::path& file) {
    const timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) - 86400, 0}};
    utimensat(AT_FDCWD, file.c_str(), times, 0);
}

// The catalog of a user's batch: 10,000 people, 2,000 places and 1,000 events,
// and clips that name 1-4 people, 0-1 place and 0-2 events of it.
class BatchCatalog {
public:
    // Writes "People 2.xml", "Places 2.xml" and "Events 2.xml" into `directory`, aged a day.
    bool write(const std::filesystem::path& directory, std::string* problem) {
        const auto people = makePeopleCatalog(10000);
        const auto places = makeRecordCatalog(kPlaceShape, 2000, 7);
        const auto events = makeRecordCatalog(kEventShape, 1000, 11);
        const std::pair<const char*, const Array*> catalogs[] = {
            {"People 2.xml", people.get()}, {"Places 2.xml", places.get()}, {"Events 2.xml", events.get()}};
        std::filesystem::create_directories(directory);
        for (const auto& [name, catalog] : catalogs) {
            if (!writePropertyListToFile(catalog, (directory / name).string(), false, problem)) return false;
            age(directory / name);
        }
        ids_[0] = idsOf(*people, "peopleId");
        ids_[1] = idsOf(*places, "placeId");
        ids_[2] = idsOf(*events, "eventId");
        return true;
    }

    Ref<Dictionary> makeClip(std::mt19937& random, int serial) const {
        const char* keys[] = {"clipPeopleIds", "clipPlaceIds", "clipEventIds"};
        const int counts[] = {1 + int(random() % 4), int(random() % 2), int(random() % 3)};
        auto clip = Dictionary::make();
        clip->setObject(str(format("Generated clip number %d", serial)), "clipName");
        clip->setObject(str("Handheld, morning light."), "clipNotes");
        clip->setObject(Number::withInt(int(random() % 6)), "clipRating");
        for (int k = 0; k < 3; ++k) {
            auto list = Array::make();
            for (int i = 0; i < counts[k]; ++i) list->addObject(ids_[k][random() % ids_[k].size()]);
            clip->setObject(list, keys[k]);
        }
        return clip;
    }

private:
    static std::vector<Ref<Object>> idsOf(const Array& catalog, const char* idKey) {
        std::vector<Ref<Object>> ids;
        for (const auto& entry : catalog) {
            ids.push_back(std::static_pointer_cast<Dictionary>(entry)->objectForKey(idKey));
        }
        return ids;
    }

    std::vector<Ref<Object>> ids_[3];
};

}  // namespace ossel::bench

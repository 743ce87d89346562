#include "platform/VCardReader.h"

#include <gtest/gtest.h>

#include "foundation/Date.h"
#include "foundation/String.h"
#include "platform/ABMultiValue.h"
#include "support/Cases.h"
#include "support/Scratch.h"
#include "support/SpecialFiles.h"

namespace ossel {
namespace {

std::string text(const ABPerson& person, const char* property) {
    const auto value = person.valueForProperty(property);
    return value ? value->description() : "(none)";
}

const ABMultiValue& emails(const ABPerson& person) {
    static const ABMultiValue none;
    const auto* values = dynamic_cast<const ABMultiValue*>(person.valueForProperty(kABEmailProperty).get());
    return values ? *values : none;
}

std::string primaryEmail(const ABPerson& person) {
    const auto& values = emails(person);
    const size_t index = values.indexForIdentifier(values.primaryIdentifier());
    return index == ABMultiValue::NotFound ? "(no primary)" : values.valueAtIndex(index)->description();
}

UtcFields birthday(const ABPerson& person) {
    const auto date = std::dynamic_pointer_cast<Date>(person.valueForProperty(kABBirthdayProperty));
    return date ? utcFieldsOf(date->timeIntervalSinceReferenceDate()) : UtcFields{0, 0, 0, 0, 0, 0};
}

// As a desktop address book exports version 3.0: CRLF, folded long lines, grouped items.
const std::string kVersion3 = testing::fileContent(OSSEL_TEST_DATA "/platform/version3.vcf");

TEST(VCardReader, ReadsAVersion3Export) {
    std::vector<std::string> problems;
    const auto persons = VCardReader::personsFromText(kVersion3, &problems);
    EXPECT_TRUE(problems.empty()) << problems.front();
    ASSERT_EQ(persons.size(), 1u);
    const auto& ann = *persons[0];
    EXPECT_EQ(ann.uniqueId(), "8D2C0E1A-5E0F-4A4B-9A7E-2F6B1C3D4E5F");
    EXPECT_EQ(text(ann, kABLastNameProperty), "Lee, Jr.");
    EXPECT_EQ(text(ann, kABFirstNameProperty), "Ann Marie");
    EXPECT_EQ(text(ann, kABNicknameProperty), "Annie");
    ASSERT_EQ(emails(ann).count(), 2u);
    EXPECT_EQ(emails(ann).valueAtIndex(0)->description(), "ann@home.example.org") << "unfolded";
    EXPECT_EQ(emails(ann).labelAtIndex(0), kABHomeLabel);
    EXPECT_EQ(emails(ann).labelAtIndex(1), kABWorkLabel);
    EXPECT_EQ(primaryEmail(ann), "ann@work.example.org");
    EXPECT_EQ(birthday(ann).day, 14);
}

TEST(VCardReader, ReadsVersion4WithPreferenceLevels) {
    const std::string card = testing::fileContent(OSSEL_TEST_DATA "/platform/version4.vcf");
    const auto persons = VCardReader::personsFromText(card);
    ASSERT_EQ(persons.size(), 1u);
    const auto& chidi = *persons[0];
    EXPECT_EQ(chidi.uniqueId(), "urn:uuid:4fbe8971-0bc3-424c-9c26-36c3e1eff6b1");
    EXPECT_EQ(text(chidi, kABNicknameProperty), "(none)") << "an empty nick name is no nick name";
    EXPECT_EQ(emails(chidi).count(), 3u);
    EXPECT_EQ(emails(chidi).labelAtIndex(1), kABWorkLabel);
    EXPECT_EQ(emails(chidi).labelAtIndex(2), kABOtherLabel);
    EXPECT_EQ(primaryEmail(chidi), "c@work.example");
    EXPECT_EQ(birthday(chidi).year, 1604) << "a birthday without a year, as address books keep it";
    // Without a marked address there is no primary.
    const auto kim = VCardReader::personsFromText("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Kim;;;;\r\nEMAIL:a@x\r\nEMAIL:b@x\r\nEND:VCARD\r\n");
    ASSERT_EQ(kim.size(), 1u);
    EXPECT_EQ(primaryEmail(*kim[0]), "(no primary)");
    EXPECT_EQ(text(*kim[0], kABFirstNameProperty), "(none)");
}

TEST(VCardReader, FoldingEscapesAndLineEndingsVariants) {
    // A tab folds too, a fold may split a multi-byte letter, and "\;" "\:" "\\" are literal.
    const std::string card =
        "\xEF\xBB\xBF"
        "BEGIN:VCARD\nVERSION:3.0\nN:Bj\xC3\n\t\xB8rn;S\\;\\:\\\\o;;;\nEND:VCARD";
    const auto persons = VCardReader::personsFromText(card);
    ASSERT_EQ(persons.size(), 1u);
    EXPECT_EQ(text(*persons[0], kABLastNameProperty), "Bj\xC3\xB8rn");
    EXPECT_EQ(text(*persons[0], kABFirstNameProperty), "S;:\\o");
}

TEST(VCardReader, BirthdayForms) {
    for (const auto& c : testing::casesFrom("platform/birthdays.txt", 2)) {
        std::vector<std::string> problems;
        const auto persons =
            VCardReader::personsFromText("BEGIN:VCARD\nVERSION:4.0\nN:X;;;;\nBDAY:" + c[0] + "\nEND:VCARD\n", &problems);
        ASSERT_EQ(persons.size(), 1u) << c.where;
        const auto bday = birthday(*persons[0]);
        EXPECT_EQ(c.numbers(1), (std::vector<int64_t>{bday.year, bday.month, bday.day})) << c.where;
        EXPECT_EQ(problems.size(), bday.year ? 0u : 1u) << c.where;
        if (bday.year) {
            EXPECT_EQ(bday.hour, 12) << "noon keeps the day in every zone";
        }
    }
}

TEST(VCardReader, MalformedCardsAreReportedAndSkippedTheOthersLoad) {
    // Card 5 is never ended: the next BEGIN closes it.
    const std::string file = testing::fileContent(OSSEL_TEST_DATA "/platform/malformed.vcf");
    std::vector<std::string> problems;
    const auto persons = VCardReader::personsFromText(file, &problems);
    ASSERT_EQ(persons.size(), 2u);
    EXPECT_EQ(text(*persons[0], kABLastNameProperty), "One");
    EXPECT_EQ(text(*persons[1], kABLastNameProperty), "Six");
    ASSERT_EQ(problems.size(), 7u);
    EXPECT_EQ(problems[0], "card 2 (line 8): a line without a colon; card skipped");
    EXPECT_EQ(problems[1], "card 3 (line 10): unsupported VERSION \"2.1\"; card skipped");
    EXPECT_EQ(problems[2], "card 4 (line 14): no VERSION; card skipped");
    EXPECT_EQ(problems[3], "card 5 (line 20): BEGIN:VCARD before the card's END; card skipped");
    EXPECT_NE(problems[4].find("card 7"), std::string::npos);
    EXPECT_NE(problems[4].find("bad property name"), std::string::npos);
    EXPECT_EQ(problems[5], "card 8 (line 32): no END:VCARD; card skipped");
    EXPECT_EQ(problems[6], "1 line(s) outside any card ignored");
}

TEST(VCardReader, ReadsFilesAndRefusesAnythingElseWithoutBlocking) {
    const testing::ScratchDir dir;
    const auto path = dir.write("contacts.vcf", std::string(kVersion3) + kVersion3);
    std::vector<std::string> problems;
    EXPECT_EQ(VCardReader::personsFromFile(path, &problems).size(), 2u);
    EXPECT_TRUE(problems.empty());
    for (const auto& special : testing::specialFiles()) {
        testing::makeSpecialFile(special, path);
        testing::withinSeconds(5, special.name + " as a vCard file", [&] {
            problems.clear();
            EXPECT_TRUE(VCardReader::personsFromFile(path, &problems).empty()) << special.name;
            EXPECT_EQ(problems, std::vector<std::string>{path + ": " + special.reason});
        });
    }
}

}  // namespace
}  // namespace ossel

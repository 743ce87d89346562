#include "platform/VCardReader.h"

#include <gtest/gtest.h>

#include "foundation/Date.h"
#include "foundation/Format.h"
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

UtcFields birthday(const ABPerson& person) {
    const auto date = std::dynamic_pointer_cast<Date>(person.valueForProperty(kABBirthdayProperty));
    return date ? utcFieldsOf(date->timeIntervalSinceReferenceDate()) : UtcFields{0, 0, 0, 0, 0, 0};
}

// A person as tests/data/platform/*.person write it: the id, the last, first and nick names,
// each e-mail address with its label ("*" before the primary one), and the birthday.
std::string summary(const ABPerson& person) {
    std::string out = person.uniqueId() + "\n" + text(person, kABLastNameProperty) + " | " +
                      text(person, kABFirstNameProperty) + " | " + text(person, kABNicknameProperty) + "\n";
    const auto& values = emails(person);
    const size_t primary = values.indexForIdentifier(values.primaryIdentifier());
    for (size_t i = 0; i < values.count(); ++i) {
        out += (i == primary ? "*" : "") + values.labelAtIndex(i) + " " + values.valueAtIndex(i)->description() + "\n";
    }
    const UtcFields day = birthday(person);
    return out + format("%lld-%d-%d\n", static_cast<long long>(day.year), day.month, day.day);
}

// As a desktop address book exports version 3.0 (CRLF, folded long lines, grouped items), and
// version 4.0 with preference levels, an empty nick name and a birthday without a year.
TEST(VCardReader, ReadsVersion3And4Exports) {
    for (const std::string name : {"version3", "version4"}) {
        std::vector<std::string> problems;
        const auto persons =
            VCardReader::personsFromText(testing::fileContent(OSSEL_TEST_DATA "/platform/" + name + ".vcf"), &problems);
        EXPECT_EQ(problems, std::vector<std::string>{}) << name;
        ASSERT_EQ(persons.size(), 1u) << name;
        EXPECT_EQ(summary(*persons[0]), testing::fileContent(OSSEL_TEST_DATA "/platform/" + name + ".person")) << name;
    }
    // Without a marked address there is no primary.
    const auto kim = VCardReader::personsFromText("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Kim;;;;\r\nEMAIL:a@x\r\nEMAIL:b@x\r\nEND:VCARD\r\n");
    ASSERT_EQ(kim.size(), 1u);
    EXPECT_EQ(summary(*kim[0]).find('*'), std::string::npos) << summary(*kim[0]);
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
    std::vector<std::string> expected;
    for (const auto& c : testing::casesFrom("platform/malformed-problems.txt", 1)) expected.push_back(c[0]);
    EXPECT_EQ(problems, expected);
}

TEST(VCardReader, ReadsFilesAndRefusesAnythingElseWithoutBlocking) {
    const testing::ScratchDir dir;
    const std::string card = testing::fileContent(OSSEL_TEST_DATA "/platform/version3.vcf");
    const auto path = dir.write("contacts.vcf", card + card);
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

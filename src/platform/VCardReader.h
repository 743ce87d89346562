#pragma once
// A person source for the Address Book path: reads vCard files (versions 3.0
// and 4.0) into ABPerson objects. Only what a catalog record takes from a
// person is kept: UID, N (first and last name), NICKNAME, BDAY and EMAIL,
// where TYPE=pref (3.0) or the lowest PREF (4.0, PREF=1 first) marks the
// primary address.
//
// A card that cannot be trusted (a line that is not a content line, no or an
// unknown VERSION, BEGIN without END) is reported and skipped; the other cards
// still load. A value that cannot be used (a birthday that is no calendar date)
// is reported and left out of its card.

#include <string>
#include <string_view>
#include <vector>

#include "foundation/Object.h"
#include "platform/ABPerson.h"

namespace ossel {

class VCardReader {
public:
    // The persons of every usable card, in file order. Each problem adds one
    // line ("card 2 (line 14): no VERSION") to *problems when it is given.
    static std::vector<Ref<ABPerson>> personsFromText(std::string_view text, std::vector<std::string>* problems = nullptr);
    // As personsFromText; an unreadable file gives no persons and one problem.
    static std::vector<Ref<ABPerson>> personsFromFile(const std::string& path, std::vector<std::string>* problems = nullptr);
};

}  // namespace ossel

#pragma once
// Test cases kept as text under tests/data: one case a line, its fields split
// by " | ", lines starting with "#" and blank lines ignored. A field may spell
// bytes it cannot hold as \n \r \t \\ \| and \xHH.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace ossel::testing {

struct Case {
    std::string where;  // "file:line", for failure messages
    std::vector<std::string> fields;
    const std::string& operator[](size_t i) const { return fields.at(i); }
    int64_t number(size_t i) const { return std::stoll(fields.at(i), nullptr, 0); }
    // A field that may be absent (an environment variable's value, say): null for "(unset)".
    const char* orNull(size_t i) const { return fields.at(i) == "(unset)" ? nullptr : fields.at(i).c_str(); }
    // A field of numbers split by blanks.
    std::vector<int64_t> numbers(size_t i) const {
        std::istringstream in(fields.at(i));
        std::vector<int64_t> out;
        for (int64_t v; in >> v;) out.push_back(v);
        return out;
    }
};

inline std::string unescapeField(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (const char c = text[++i]) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'x': out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)), i += 2; break;
            default: out += c;
        }
    }
    return out;
}

// The cases of tests/data/NAME, each with exactly `fields` fields; a file that
// is missing, empty or has a line of another shape fails the test.
inline std::vector<Case> casesFrom(const std::string& name, size_t fields) {
    std::ifstream in(std::string(OSSEL_TEST_DATA) + "/" + name);
    std::vector<Case> cases;
    size_t number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.empty() || line[0] == '#') continue;
        Case c{name + ":" + std::to_string(number), {}};
        for (size_t start = 0, end = 0; end != std::string::npos; start = end + 3) {
            end = line.find(" | ", start);
            c.fields.push_back(unescapeField(line.substr(start, end == std::string::npos ? end : end - start)));
        }
        if (c.fields.size() != fields) {
            ADD_FAILURE() << c.where << ": " << c.fields.size() << " fields, not " << fields;
            continue;
        }
        cases.push_back(std::move(c));
    }
    if (cases.empty()) ADD_FAILURE() << "no cases in " << name;
    return cases;
}

}  // namespace ossel::testing

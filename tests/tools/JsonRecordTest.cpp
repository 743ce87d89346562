// JSON texts, against an escaper that looks at one byte at a time.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "JsonRecord.h"
#include "foundation/Format.h"

namespace {

std::string escapedOneByOne(const std::string& text) {
    static const std::map<char, std::string> named{
        {'"', "\\\""}, {'\\', "\\\\"}, {'\n', "\\n"}, {'\r', "\\r"}, {'\t', "\\t"}};
    std::string out = "\"";
    for (const char c : text) {
        if (const auto found = named.find(c); found != named.end()) {
            out += found->second;
        } else {
            out += static_cast<unsigned char>(c) < 0x20 ? ossel::format("\\u%04x", c) : std::string(1, c);
        }
    }
    return out + "\"";
}

// Texts are scanned a block at a time, the last block overlapping the one before:
// each length around the block size, with a byte to escape at each position.
TEST(JsonRecord, EscapesEveryByteThatNeedsItAtAnyPosition) {
    for (size_t length = 0; length <= 40; ++length) {
        const std::string plain(length, 'a');
        std::string out;
        ossel::JsonRecord::appendString(out, plain);
        ASSERT_EQ(out, escapedOneByOne(plain));
        for (size_t at = 0; at < length; ++at) {
            for (const char special : {'"', '\\', '\n', '\t', '\x01', '\x1f'}) {
                std::string text = plain;
                text[at] = special;
                // And a second one further on: the scan goes on after an escape.
                if (const size_t next = (at + length) / 2; next > at) text[next] = '"';
                out.clear();
                ossel::JsonRecord::appendString(out, text);
                ASSERT_EQ(out, escapedOneByOne(text)) << "length " << length << ", at " << at;
            }
        }
    }
}

}  // namespace

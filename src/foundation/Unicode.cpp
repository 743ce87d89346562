#include "foundation/Unicode.h"

#include <utf8proc.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace ossel::unicode {
namespace {

// Length of the well-formed sequence that starts at `i`, or 0. The second
// byte's range rules out overlong forms, surrogates and code points past
// U+10FFFF, as the Unicode standard's table of well-formed sequences has it.
size_t sequenceLength(const unsigned char* p, size_t i, size_t n) {
    const unsigned char lead = p[i];
    if (lead < 0x80) return 1;
    size_t length;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > n || p[i + 1] < low || p[i + 1] > high) return 0;
    for (size_t k = 2; k < length; ++k) {
        if ((p[i + k] & 0xC0) != 0x80) return 0;
    }
    return length;
}

bool isAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

unsigned char asciiLower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

struct FreeDeleter {
    void operator()(utf8proc_uint8_t* p) const { std::free(p); }
};

}  // namespace

char32_t decodeNext(std::string_view text, size_t& index) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t length = sequenceLength(p, index, text.size());
    if (length == 0) {
        ++index;
        return kReplacementCharacter;
    }
    char32_t cp = length == 1 ? p[index] : p[index] & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) cp = (cp << 6) | (p[index + k] & 0x3F);
    index += length;
    return cp;
}

size_t firstInvalidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        // ASCII runs are the common case: eight bytes at a time.
        if (i + 8 <= n) {
            uint64_t word;
            std::memcpy(&word, p + i, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        const size_t length = sequenceLength(p, i, n);
        if (length == 0) return i;
        i += length;
    }
    return std::string_view::npos;
}

std::string sanitizedUtf8(std::string_view text) {
    size_t bad = firstInvalidUtf8(text);
    if (bad == std::string_view::npos) return std::string(text);
    std::string out(text.substr(0, bad));
    out.reserve(text.size() + 8);
    for (size_t i = bad; i < text.size();) appendUtf8(out, decodeNext(text, i));
    return out;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool appendUtf16AsUtf8(std::span<const uint8_t> bytes, ByteOrder order, std::string& out, size_t* badOffset) {
    const size_t units = bytes.size() / 2;
    const bool big = order == ByteOrder::bigEndian;
    const auto unit = [&](size_t i) -> char32_t {
        const uint8_t a = bytes[2 * i], b = bytes[2 * i + 1];
        return big ? (char32_t(a) << 8 | b) : (char32_t(b) << 8 | a);
    };
    const auto fail = [&](size_t offset) {
        if (badOffset) *badOffset = offset;
        return false;
    };
    out.reserve(out.size() + bytes.size() + bytes.size() / 2);
    for (size_t i = 0; i < units; ++i) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            const char32_t low = i + 1 < units ? unit(i + 1) : 0;
            if (low < 0xDC00 || low > 0xDFFF) return fail(2 * i);
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return fail(2 * i);
        }
        appendUtf8(out, cp);
    }
    if (bytes.size() % 2 != 0) return fail(bytes.size() - 1);
    return true;
}

size_t utf16Length(std::string_view text) {
    size_t units = 0;
    for (size_t i = 0; i < text.size();) units += decodeNext(text, i) >= 0x10000 ? 2 : 1;
    return units;
}

namespace {

// ASCII has no marks and no compatibility forms: only its case folds.
void appendAsciiFolded(std::string& out, std::string_view ascii, unsigned options) {
    const size_t start = out.size();
    out += ascii;
    if (!(options & kFoldCase)) return;
    for (size_t i = start; i < out.size(); ++i) {
        out[i] = static_cast<char>(asciiLower(static_cast<unsigned char>(out[i])));
    }
}

void appendMapped(std::string& out, std::string_view text, unsigned options) {
    const std::string valid = sanitizedUtf8(text);
    int flags = UTF8PROC_STABLE | UTF8PROC_COMPOSE;
    if (options & kFoldCase) flags |= UTF8PROC_CASEFOLD;
    if (options & kFoldDiacritics) flags |= UTF8PROC_STRIPMARK;
    if (options & kFoldCompatibility) flags |= UTF8PROC_COMPAT;
    utf8proc_uint8_t* mapped = nullptr;
    const utf8proc_ssize_t length =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(valid.data()), static_cast<utf8proc_ssize_t>(valid.size()),
                     &mapped, static_cast<utf8proc_option_t>(flags));
    const std::unique_ptr<utf8proc_uint8_t, FreeDeleter> owner(mapped);
    // Only an allocation failure is left once the input is valid; the text then compares as it stands.
    if (length < 0) {
        out += valid;
        return;
    }
    out.append(reinterpret_cast<const char*>(mapped), static_cast<size_t>(length));
}

// Runs of ASCII at least this long end a stretch that goes through utf8proc.
constexpr size_t kAsciiRun = 16;

}  // namespace

std::string fold(std::string_view text, unsigned options) {
    std::string out;
    appendFolded(out, text, options);
    return out;
}

void appendFolded(std::string& out, std::string_view text, unsigned options) {
    // Most texts are ASCII but for a few accented letters, and only the stretches
    // around those go through utf8proc. A stretch begins with the character before
    // them, the base their marks may join, and ends before a run of ASCII: since no
    // character joins with or moves past an ASCII character that follows it, the
    // stretches fold as the whole text would. A stretch takes in short runs of ASCII
    // (the spaces between the words of another script), so that a text in one is
    // mapped in one piece.
    out.reserve(out.size() + text.size());
    const auto isAsciiAt = [&](size_t i) { return static_cast<unsigned char>(text[i]) < 0x80; };
    for (size_t done = 0; done < text.size();) {
        size_t first = done;
        while (first < text.size() && isAsciiAt(first)) ++first;
        const size_t start = first > done && first < text.size() ? first - 1 : first;
        appendAsciiFolded(out, text.substr(done, start - done), options);
        if (start == text.size()) break;
        size_t end = first, run = 0;
        for (; end < text.size() && run < kAsciiRun; ++end) run = isAsciiAt(end) ? run + 1 : 0;
        if (run == kAsciiRun) end -= run;
        appendMapped(out, text.substr(start, end - start), options);
        done = end;
    }
}

int compareFolded(std::string_view a, std::string_view b) {
    // UTF-8 byte order is code point order, so folded texts compare as bytes.
    const auto order = [](std::string_view x, std::string_view y) {
        const int c = x.compare(y);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    };
    if (isAscii(a) && isAscii(b)) {
        const size_t n = std::min(a.size(), b.size());
        for (size_t i = 0; i < n; ++i) {
            const unsigned char x = asciiLower(static_cast<unsigned char>(a[i]));
            const unsigned char y = asciiLower(static_cast<unsigned char>(b[i]));
            if (x != y) return x < y ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
    }
    return order(fold(a), fold(b));
}

}  // namespace ossel::unicode

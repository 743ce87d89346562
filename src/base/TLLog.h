#pragma once
// The maker's base services: the error log and the message look-up of the
// model library (string table "GravelmothDV").

#include <functional>
#include <string>
#include <string_view>

#include "foundation/Format.h"

namespace ossel {

class TLLog {
public:
    // The model library's message for an English key, from table "GravelmothDV";
    // the key itself when there is no translation.
    static std::string localizedString(std::string_view key);
    // Writes one line (a newline is added when missing) to the sink: standard error by default.
    // The sink receives the line with its newline.
    static void writeErrorLine(const std::string& line);
    // Replaces the sink (null restores standard error). Tests only.
    static void setSinkForTesting(std::function<void(const std::string&)> sink);
};

// Logs one error line built from a format with object placeholders.
template <class... A>
void TLLogError(std::string_view fmt, const A&... args) {
    TLLog::writeErrorLine(format(fmt, args...));
}

// A text from the running application's main bundle, default string table
// ("Localizable"), with "" as the fallback: the key itself without translation.
std::string mainBundleLocalizedString(std::string_view key);

}  // namespace ossel

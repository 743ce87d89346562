#include "base/TLLog.h"

#include <utility>

#include "foundation/ErrorLog.h"
#include "foundation/StringTable.h"

namespace ossel {
namespace {

inline constexpr std::string_view kModelStringTable = "GravelmothDV";
inline constexpr std::string_view kMainBundleStringTable = "Localizable";

}  // namespace

std::string TLLog::localizedString(std::string_view key) {
    return ossel::localizedString(key, kModelStringTable, "");
}

void TLLog::writeErrorLine(const std::string& line) { ossel::writeErrorLine(line); }

void TLLog::setSinkForTesting(std::function<void(const std::string&)> sink) {
    setErrorLineSinkForTesting(std::move(sink));
}

std::string mainBundleLocalizedString(std::string_view key) {
    return localizedString(key, kMainBundleStringTable, "");
}

}  // namespace ossel

// The report's time as ISO 8601 in UTC, the same whether reports can be made or not.
#include <ctime>
#include <string>

#include "Document.h"

namespace morvik::pdf {

std::string IsoUtc(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &t);
#else
    gmtime_r(&t, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace morvik::pdf

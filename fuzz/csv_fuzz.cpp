// Bytes as a comma-separated file's records: what holds for any input is that each record
// has its three fields in well-formed UTF-8 and no more records than asked for.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/DataExchange.h"
#include "text/Cp1250.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto records = morvik::core::ParseCsvRecords(bytes, 22);
    if (records.size() > 22) __builtin_trap();
    for (const auto& record : records) {
        for (const auto& field : record) {
            // Well-formed UTF-8 goes through UTF-16 and back unchanged.
            if (morvik::Utf16ToUtf8(morvik::Utf8ToUtf16(field)) != field) __builtin_trap();
        }
    }
    return 0;
}

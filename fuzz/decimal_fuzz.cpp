// Feeds bytes to ParseDecimal, and the first eight bytes as a double to FormatDecimal.
// Checks what must hold for any input: a parse either fails with the fixed message or
// gives a finite value; a written text reads back within its rounding.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "text/Decimal.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void FuzzParse(std::string_view text) {
    try {
        const double v = morvik::ParseDecimal(text);
        Check(std::isfinite(v));
        // Whatever was read is written and read again without error.
        const std::string written = morvik::FormatDecimal(v, 6, false, ',');
        const double again = morvik::ParseDecimal(written);
        Check(std::isfinite(again));
    } catch (const morvik::EConvertError& e) {
        // what() is a C string: a text with a NUL byte shows only up to it.
        if (text.find('\0') != std::string_view::npos) return;
        const std::string_view message = e.what();
        Check(message.size() >= 38 && message.front() == '\'');
        Check(message.ends_with("' is not a valid floating point value"));
    }
}

void FuzzFormat(double v, int decimals, bool keepZeros) {
    const std::string text = morvik::FormatDecimal(v, decimals, keepZeros, ',');
    Check(!text.empty());
    if (!std::isfinite(v)) return;
    Check(text != "-0");
    double back = 0;
    try {
        back = morvik::ParseDecimal(text);
    } catch (const morvik::EConvertError&) {
        // Rounding to ten digits can carry the largest doubles past the largest double.
        Check(std::fabs(v) > 1.797693134e308);
        return;
    }
    // Rounded at `decimals` places or ten significant digits, whichever is coarser.
    const double scale = std::max(std::pow(10.0, -decimals), std::fabs(v) * 1e-9);
    Check(std::fabs(back - v) <= scale);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzParse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (size >= 9) {
        double v = 0;
        std::memcpy(&v, data, sizeof v);
        FuzzFormat(v, data[8] % 12, (data[8] & 0x80) != 0);
    }
    return 0;
}

// Formula tokens from a hostile file. Input: option byte, base row (2), base column (1),
// length n of a SHRFMLA payload (1), the payload, then the token bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "xls/PtgParser.h"

namespace {

const std::vector<std::string> kSheets = {"Sheet1", "Data"};
const std::vector<std::vector<std::uint8_t>> kRefs = {
    {0x00, 0x00, 0x01, 0x00, 0x01, 0x00},
    {0x00, 0x00, 0x05, 0x00, 0x05, 0x00},
    {0x00, 0x00},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace morvik::xls;
    const std::span<const std::uint8_t> input(data, size);
    if (input.size() < 5) return 0;
    const std::uint8_t option = input[0];
    const auto row = static_cast<std::uint16_t>(input[1] | (input[2] << 8));
    const std::uint8_t col = input[3];
    const std::size_t sharedLength = std::min<std::size_t>(input[4], input.size() - 5);
    const auto shared = input.subspan(5, sharedLength);
    const auto tokens = input.subspan(5 + sharedLength);

    TPtgParser parser(kSheets, kRefs);
    parser.SetDecimalSeparator(',');
    parser.SharedFormulas().Add(0, shared);
    // Twice, to catch state that leaks from one formula into the next.
    for (int pass = 0; pass < 2; ++pass) {
        const std::int32_t status = parser.Parse(0, row, tokens, option, col);
        if (status != TPtgParser::kOk && status != TPtgParser::kUnrecognized) std::abort();
        if (status != TPtgParser::kOk && !parser.Result().empty()) std::abort();
    }
    return 0;
}

// The font reader on the font the reports embed and on damaged copies of it.
#include "pdf/TrueType.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "pdf/Document.h"

namespace morvik::pdf {
namespace {

const char* const kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

std::string Bytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::uint32_t U32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) << 24 |
           static_cast<unsigned char>(b[at + 1]) << 16 |
           static_cast<unsigned char>(b[at + 2]) << 8 | static_cast<unsigned char>(b[at + 3]);
}

class TrueType : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(kFont))
            GTEST_SKIP() << kFont << " is missing (fonts-dejavu-core)";
        bytes_ = Bytes(kFont);
    }
    std::string bytes_;
};

TEST_F(TrueType, SubsetIsAWholeFontOfTheGlyphsAndTheirParts) {
    const TrueTypeFont font(bytes_, kFont);
    const std::uint16_t a = font.Glyph(U'A'), caron = font.Glyph(U'č');
    ASSERT_NE(a, 0);
    ASSERT_NE(caron, 0);
    EXPECT_EQ(font.Glyph(U'\U0002A6D6'), 0) << "a character the font lacks";
    EXPECT_EQ(font.CharacterOf(a), U'A');
    EXPECT_NEAR(font.Advance(a) * 2048, 1401, 0.5) << "DejaVu Sans's A";

    // "č" is drawn from "c" and a caron: both come along, renumbered after the missing glyph.
    std::vector<std::uint16_t> glyphs{caron, a};
    const std::string subset = font.Subset(glyphs);
    ASSERT_GE(glyphs.size(), 4u);
    EXPECT_EQ(glyphs[0], 0);
    EXPECT_TRUE(std::is_sorted(glyphs.begin(), glyphs.end()));
    EXPECT_NE(std::find(glyphs.begin(), glyphs.end(), font.Glyph(U'c')), glyphs.end());

    // The font's own checksum rule: its words sum to B1B0AFBA, and each table's to its entry.
    ASSERT_EQ(subset.size() % 4, 0u);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < subset.size(); i += 4) sum += U32(subset, i);
    EXPECT_EQ(sum, 0xB1B0AFBAu);
    const std::size_t tables = static_cast<std::size_t>(U32(subset, 4) >> 16);
    for (std::size_t t = 0; t < tables; ++t) {
        const std::size_t entry = 12 + 16 * t;
        if (U32(subset, entry) == 0x68656164) continue;  // 'head' holds the whole's adjustment
        std::uint32_t tableSum = 0;
        const std::size_t offset = U32(subset, entry + 8), length = U32(subset, entry + 12);
        for (std::size_t i = offset; i < offset + length; i += 4) tableSum += U32(subset, i);
        EXPECT_EQ(tableSum, U32(subset, entry + 4)) << "table " << t;
    }

    // Its glyph count and advances are those of the glyphs taken.
    const auto table = [&](std::uint32_t tag) -> std::size_t {
        for (std::size_t t = 0; t < tables; ++t)
            if (U32(subset, 12 + 16 * t) == tag) return U32(subset, 12 + 16 * t + 8);
        return 0;
    };
    const std::size_t maxp = table(0x6D617870), hmtx = table(0x686D7478);
    ASSERT_TRUE(maxp && hmtx);
    EXPECT_EQ(U32(subset, maxp + 4) >> 16, glyphs.size());
    for (std::size_t i = 0; i < glyphs.size(); ++i)
        EXPECT_EQ((U32(subset, hmtx + 4 * i) >> 16) / 2048.0, font.Advance(glyphs[i])) << i;
}

// Cut short anywhere and with bytes changed across its directory and tables, the font is
// either refused with PdfError or read and subset without a fault (the sanitizer build
// checks every access).
TEST_F(TrueType, DamagedFontsAreRefusedOrReadSafely) {
    std::size_t refused = 0, read = 0;
    const auto attempt = [&](const std::string& bytes) {
        try {
            const TrueTypeFont font(bytes, "damaged");
            std::vector<std::uint16_t> glyphs;
            for (const char32_t c : U"Aač€\U0001F600")
                if (c != 0) glyphs.push_back(font.Glyph(c)), (void)font.Advance(glyphs.back());
            (void)font.Subset(glyphs);
            ++read;
        } catch (const PdfError&) {
            ++refused;
        }
    };
    for (std::size_t cut = 0; cut < bytes_.size(); cut += cut < 600 ? 7 : 9973)
        attempt(bytes_.substr(0, cut));
    const std::size_t directory = 12 + 16 * (U32(bytes_, 4) >> 16);
    std::uint32_t seed = 12345;
    for (int i = 0; i < 400; ++i) {
        std::string damaged = bytes_;
        seed = seed * 1103515245 + 12345;
        // Half the changes hit the directory, the rest the tables.
        const std::size_t at =
            i % 2 ? seed % directory : directory + seed % (bytes_.size() - directory);
        damaged[at] = static_cast<char>(seed >> 16);
        if (i % 3 == 0) damaged[at + 1 < damaged.size() ? at + 1 : at] = '\xFF';
        attempt(damaged);
    }
    EXPECT_GT(refused, 0u);
    EXPECT_GT(read, 0u);
}

}  // namespace
}  // namespace morvik::pdf

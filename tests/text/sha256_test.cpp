// The digests of FIPS 180-4's examples and of inputs that cross the padding's block edges,
// given whole and in pieces.
#include "text/Sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/core/TempDir.h"

namespace morvik {
namespace {

TEST(Sha256, KnownVectorsWholeAndInPieces) {
    struct Case {
        std::string input;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits the first block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
         "lmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    const auto hex = [](const std::array<std::uint8_t, 32>& digest) {
        char text[65];
        for (int i = 0; i < 32; ++i) std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
        return std::string(text);
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Sha256Hex(c.input), c.digest) << c.input.size() << " bytes";
        // Both the processor's instructions (where it has them) and the portable code; pieces
        // of uneven sizes fill and drain the block buffer at every offset.
        for (const bool hardware : {true, false}) {
            Sha256 hash(hardware);
            std::size_t at = 0;
            for (std::size_t piece = 1; at < c.input.size(); piece = piece * 7 % 131 + 1) {
                const std::size_t n = std::min(piece, c.input.size() - at);
                hash.Update(std::string_view(c.input).substr(at, n));
                at += n;
            }
            EXPECT_EQ(hex(hash.Finish()), c.digest)
                << c.input.size() << " bytes in pieces, hardware " << hardware;
        }
    }
    // Every length up to five blocks of bytes of every value: the two ways agree.
    std::string bytes;
    for (std::size_t n = 0; n <= 320; ++n) {
        Sha256 fast(true), portable(false);
        fast.Update(bytes);
        portable.Update(bytes);
        ASSERT_EQ(hex(fast.Finish()), hex(portable.Finish())) << n << " bytes";
        bytes += static_cast<char>(n * 151 + 7);
    }
}

TEST(Sha256, FileDigestAndSize) {
    const test::TempDir dir;  // of this run alone: the machine may run another at once
    const auto path = dir.Path() / "morvik-sha256-test.bin";
    // Larger than one read block, so that the file is hashed in several.
    const std::string bytes(200000, 'a');
    std::ofstream(path, std::ios::binary) << bytes;
    const auto digest = Sha256OfFile(path.string());
    ASSERT_TRUE(digest);
    EXPECT_EQ(digest->size, bytes.size());
    EXPECT_EQ(digest->sha256, Sha256Hex(bytes));
    std::filesystem::remove(path);
    EXPECT_FALSE(Sha256OfFile(path.string()));
}

}  // namespace
}  // namespace morvik

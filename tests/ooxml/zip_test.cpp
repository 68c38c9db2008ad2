// The zip layer: entries read back, and every kind of damage refused with its message.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "tests/ooxml/package_builder.h"
#include "zip/ReadAhead.h"
#include "zip/ZipArchive.h"

namespace morvik::zip {
namespace {

using morvik::testing::BuildZip;
using morvik::testing::Bytes;
using morvik::testing::ZipItem;

std::string ReadInPieces(TZipArchive& archive, const TZipEntry& entry, std::size_t piece) {
    auto stream = archive.Open(entry);
    std::string out, buffer(piece, '\0');
    while (const std::size_t n = stream->Read(buffer.data(), buffer.size()))
        out.append(buffer, 0, n);
    return out;
}

TEST(ZipArchive, ReadsStoredAndDeflatedEntriesWholeAndInPieces) {
    std::string big;
    for (int i = 0; i < 50000; ++i) big += "<c r=\"A" + std::to_string(i) + "\"><v>1</v></c>";
    const auto bytes = Bytes(BuildZip({{"a.txt", "plain", false}, {"xl/Big.XML", big}}));
    TZipArchive archive(bytes);
    ASSERT_EQ(archive.Entries().size(), 2u);
    // Part names compare without regard to ASCII case, a leading '/' or the slash's direction.
    const TZipEntry* entry = archive.Find("/xl\\big.xml");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(archive.ReadAll(*entry), big);
    EXPECT_EQ(ReadInPieces(archive, *entry, 7), big);
    EXPECT_EQ(archive.ReadAll(*archive.Find("a.txt")), "plain");
    EXPECT_EQ(archive.Find("missing"), nullptr);
}

struct Damage {
    const char* name;
    std::function<std::string()> build;
    const char* entry;  // the entry to read, or null to fail at opening the archive
    std::string message;
};

std::string Zeros(std::size_t n) { return std::string(n, '\0'); }

TEST(ZipArchive, DamageIsRefusedWithItsMessage) {
    const std::string notZip = "The file is not a zip archive, or its directory is damaged.";
    const Damage cases[] = {
        {"no end record", [] { return std::string("PK\x03\x04 and nothing else"); }, nullptr,
         notZip},
        {"directory offset past the end",
         [] {
             std::string z = BuildZip({{"a", "x"}});
             z[z.size() - 6] = '\x7F';  // directory offset, high byte
             return z;
         },
         nullptr, notZip},
        {"data runs past the end",
         [] {
             std::string z = BuildZip({{"a", "some text"}});
             const auto at = z.find("PK\x01\x02");
             z[at + 20 + 3] = '\x10';  // the directory's compressed size, high byte
             return z;
         },
         "a", "The zip entry \"a\" is cut short: the file is truncated."},
        {"checksum",
         [] {
             return BuildZip({ZipItem{"a", "hello", true, 0, 0xFFFF, -1, 1234}});
         },
         "a",
         "The zip entry \"a\" is damaged: its data does not inflate to what the directory says."},
        {"declared size too small",
         [] {
             return BuildZip({ZipItem{"a", "hello world", true, 0, 0xFFFF, 5}});
         },
         "a",
         "The zip entry \"a\" is damaged: its data does not inflate to what the directory says."},
        {"declared size too large",
         [] {
             return BuildZip({ZipItem{"a", "hello world", true, 0, 0xFFFF, 50}});
         },
         "a",
         "The zip entry \"a\" is damaged: its data does not inflate to what the directory says."},
        // A stored entry is its own bytes: sizes that disagree leave no way to know which.
        {"stored sizes disagree",
         [] {
             return BuildZip({ZipItem{"a", "hello world", false, 0, 0xFFFF, 12}});
         },
         "a", "The zip entry \"a\" is damaged."},
        {"encrypted",
         [] {
             return BuildZip({ZipItem{"a", "x", true, 1}});
         },
         "a", "The zip entry \"a\" is encrypted, which is not supported."},
        {"method",
         [] {
             return BuildZip({ZipItem{"a", "x", true, 0, 12}});
         },
         "a", "The zip entry \"a\" uses a compression method that is not supported."},
        {"duplicate",
         [] {
             return BuildZip({{"xl/a.xml", "1"}, {"XL\\A.xml", "2"}});
         },
         "xl/a.xml", "The zip archive holds the entry \"xl/a.xml\" more than once."},
        // 16 MB of zeros deflate to about 16 kB: far past any ratio a sheet reaches.
        {"bomb",
         [] {
             return BuildZip({{"a", Zeros(16u << 20)}});
         },
         "a", "The zip entry \"a\" inflates far beyond its size (a zip bomb?)."},
    };
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bytes = Bytes(c.build());
        try {
            TZipArchive archive(bytes);
            ASSERT_NE(c.entry, nullptr) << "opened";
            const TZipEntry* e = archive.Find(c.entry);
            ASSERT_NE(e, nullptr);
            archive.ReadAll(*e);
            ADD_FAILURE() << "read";
        } catch (const EZipError& e) {
            if (!c.message.empty()) {
                EXPECT_EQ(e.what(), c.message);
            }
        }
    }
}

TEST(ZipArchive, Zip64SizesStandInTheExtraFieldInTheirOrder) {
    // One deflated entry whose directory record gives its sizes and offset as all ones, the
    // true ones in the 64-bit extra field: size first, then compressed size, then offset.
    const std::string text = "zip64 " + std::string(500, 'z') + " end";
    std::string zip = BuildZip({{"a", text}});
    const std::size_t at = zip.find("PK\x01\x02");
    const auto u32 = [&](std::size_t offset) {
        std::uint32_t v = 0;
        for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(zip[offset + k]);
        return v;
    };
    const std::uint32_t compressed = u32(at + 20), size = u32(at + 24), offset = u32(at + 42);
    ASSERT_NE(compressed, size);
    std::string extra;
    morvik::testing::Put16(extra, 0x0001);
    morvik::testing::Put16(extra, 24);
    for (std::uint32_t v : {size, compressed, offset}) {
        morvik::testing::Put32(extra, v);
        morvik::testing::Put32(extra, 0);
    }
    for (std::size_t field : {at + 20, at + 24, at + 42})
        for (int k = 0; k < 4; ++k) zip[field + k] = '\xFF';
    zip[at + 30] = static_cast<char>(extra.size());
    const std::size_t nameEnd = at + 46 + 1;  // the name is "a"
    zip.insert(nameEnd, extra);
    const std::size_t end = zip.find("PK\x05\x06");
    const std::uint32_t directorySize = u32(end + 12) + static_cast<std::uint32_t>(extra.size());
    for (int k = 0; k < 4; ++k) zip[end + 12 + k] = static_cast<char>(directorySize >> (8 * k));
    const auto bytes = Bytes(zip);
    TZipArchive archive(bytes);
    const TZipEntry* e = archive.Find("a");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Size, size);
    EXPECT_EQ(e->CompressedSize, compressed);
    EXPECT_EQ(archive.ReadAll(*e), text);
}

TEST(ZipArchive, TotalInflatedIsBounded) {
    const auto bytes =
        Bytes(BuildZip({{"a", std::string(3000, 'a')}, {"b", std::string(3000, 'b')}}));
    TZipLimits limits;
    limits.MaxTotalSize = 5000;
    TZipArchive archive(bytes, limits);
    archive.ReadAll(*archive.Find("a"));
    EXPECT_THROW(archive.ReadAll(*archive.Find("b")), EZipError);

    // A stream read on another thread counts from where reading in order would stand, and
    // leaves the archive's own count alone.
    TZipArchive fresh(bytes, limits);
    const auto readCounted = [&](std::uint64_t before) {
        auto stream = fresh.OpenCounted(*fresh.Find("b"), before);
        char buffer[4096];
        while (stream->Read(buffer, sizeof buffer) != 0) {
        }
    };
    readCounted(2000);
    EXPECT_THROW(readCounted(2001), EZipError);
    EXPECT_EQ(fresh.Inflated(), 0u);
}

TEST(ReadAhead, AnswersAsTheStreamWouldOrAsksForADirectRead) {
    // Megabytes of varied text: the stream runs chunks ahead, and a fault falls anywhere.
    std::string text;
    for (int i = 0; text.size() < (5u << 20); ++i)
        text += "<c r=\"A" + std::to_string(i * 7919 % 100003) + "\"><v>" + std::to_string(i) +
                "</v></c>";
    const std::string good = BuildZip({{"p", text}});
    std::string flipped = good;
    flipped[flipped.size() / 2] ^= 0x55;  // inside the deflated data
    const std::string cases[] = {
        good,
        flipped,
        BuildZip({{"p", text, true, 0, 0xFFFF, -1, 12345}}),  // checksum
        BuildZip({{"p", text, true, 0, 0xFFFF, static_cast<std::int64_t>(text.size()) - 1}}),
    };
    for (std::size_t c = 0; c < std::size(cases); ++c) {
        for (unsigned seed = 1; seed <= 2; ++seed) {
            SCOPED_TRACE(c * 10 + seed);
            const auto bytes = Bytes(cases[c]);
            TZipArchive one(bytes), other(bytes);
            auto direct = one.Open(*one.Find("p"));
            auto stream = other.Open(*other.Find("p"));
            TReadAheadSource ahead(*stream);
            std::mt19937 rng(seed);
            std::uniform_int_distribution<std::size_t> sizes(1, 400000);
            bool retry = false;
            for (;;) {
                const std::size_t size = sizes(rng);
                std::string a(size, '\0'), b(size, '\0');
                std::size_t n = 0, m = 0;
                bool failed = false;
                try {
                    n = direct->Read(a.data(), size);
                } catch (const EZipError&) {
                    failed = true;
                }
                try {
                    m = ahead.Read(b.data(), size);
                } catch (const EReadAheadRetry&) {
                    retry = true;
                    break;
                }
                ASSERT_FALSE(failed) << "answered where reading directly fails";
                ASSERT_EQ(n, m);
                ASSERT_TRUE(a == b);
                if (n == 0) break;
            }
            EXPECT_EQ(retry, c != 0);
        }
    }
}

}  // namespace
}  // namespace morvik::zip

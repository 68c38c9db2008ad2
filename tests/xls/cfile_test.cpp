// Compound file layer: opening, the directory tree, stream reads, and every way a damaged
// file must fail with its one message rather than crash, hang or read out of bounds.
#include "xls/CFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cfb_builder.h"
#include "text/ByteReader.h"

namespace morvik::xls {
namespace {

using testing::CfbImage;
using testing::CfbNode;
using testing::CfbOptions;
using testing::PatternBytes;
namespace cfbh = testing::cfbh;
namespace cfbe = testing::cfbe;

// Reads in chunks of an odd size by default, so that reads straddle every sector boundary.
std::vector<std::uint8_t> ReadAll(TCFileStream& s, std::size_t chunkSize = 7) {
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> chunk(chunkSize);
    s.SetPosition(0);
    for (;;) {
        const std::size_t n = s.Read(chunk.data(), chunk.size());
        out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
        if (n < chunk.size()) return out;
    }
}

// The message an opening (and a read of every stream) ends with, or nullopt on success.
std::optional<std::string> OpenError(const std::vector<std::uint8_t>& bytes) {
    try {
        TCFile file(bytes);
        std::function<void(const TCFileStorage&)> readAll = [&](const TCFileStorage& storage) {
            for (const auto& item : storage.Items()) {
                if (auto* s = dynamic_cast<TCFileStream*>(item.get())) ReadAll(*s);
                if (auto* sub = dynamic_cast<TCFileStorage*>(item.get())) readAll(*sub);
            }
        };
        readAll(file.Root());
        return std::nullopt;
    } catch (const ECFileError& e) {
        return std::string(e.what());
    }
}

std::vector<CfbNode> SampleTree() {
    return {
        CfbNode::Stream("Workbook", PatternBytes(5000)),                  // regular sectors
        CfbNode::Stream("\x05SummaryInformation", PatternBytes(300, 7)),  // mini stream
        CfbNode::Stream("Empty", {}),
        CfbNode::Storage("_VBA_PROJECT_CUR",
                         {CfbNode::Stream("Workbook", PatternBytes(70, 3)),
                          CfbNode::Storage("VBA", {CfbNode::Stream("dir", PatternBytes(9))})}),
    };
}

class SectorSizes : public ::testing::TestWithParam<bool> {};

TEST_P(SectorSizes, OpensTheWholeTreeAndReadsEveryStream) {
    CfbOptions options;
    options.sectors4096 = GetParam();
    TCFile file(testing::BuildCfb(SampleTree(), options).bytes);

    EXPECT_EQ(file.Root().Name(), "Root Entry");
    std::vector<std::string> names;
    for (const auto& item : file.Root().Items()) names.push_back(item->Name());
    // Directory order: shorter names first, then by upper-cased name.
    EXPECT_EQ(names, (std::vector<std::string>{"Empty", "Workbook", "_VBA_PROJECT_CUR",
                                               "\x05SummaryInformation"}));

    EXPECT_EQ(ReadAll(*file.Root().FindStream("Workbook")), PatternBytes(5000));
    EXPECT_EQ(ReadAll(*file.Root().FindStream("\x05SummaryInformation")), PatternBytes(300, 7));
    EXPECT_EQ(file.Root().FindStream("Empty")->Size(), 0u);

    auto* vba = dynamic_cast<TCFileStorage*>(file.Root().FindItem("_vba_project_cur"));
    ASSERT_NE(vba, nullptr);
    EXPECT_EQ(ReadAll(*vba->FindStream("Workbook")), PatternBytes(70, 3));
    auto* inner = dynamic_cast<TCFileStorage*>(vba->FindItem("VBA"));
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(ReadAll(*inner->FindStream("DIR")), PatternBytes(9));
}

INSTANTIATE_TEST_SUITE_P(CFile, SectorSizes, ::testing::Values(false, true), [](const auto& info) {
    return info.param ? "Sectors4096" : "Sectors512";
});

TEST(CFile, FindItemIgnoresTheCaseOfAsciiLettersOnly) {
    TCFile file(
        testing::BuildCfb({CfbNode::Stream("WorkBook", {1}), CfbNode::Stream("\xE9t\xE9", {2})})
            .bytes);
    for (const char* name : {"Workbook", "WORKBOOK", "workbook", "wORKbOOK"}) {
        EXPECT_NE(file.Root().FindStream(name), nullptr) << name;
    }
    EXPECT_EQ(file.Root().FindItem("Workbook "), nullptr);
    EXPECT_EQ(file.Root().FindItem("Book"), nullptr);
    EXPECT_NE(file.Root().FindItem("\xC3\xA9T\xC3\xA9"), nullptr);  // é is left alone...
    EXPECT_EQ(file.Root().FindItem("\xC3\x89T\xC3\x89"), nullptr);  // ...so É does not match it
}

TEST(CFile, FindsOnlyTopLevelStreams) {
    TCFile nested(
        testing::BuildCfb({CfbNode::Storage("Sub", {CfbNode::Stream("Workbook", {1})})}).bytes);
    EXPECT_EQ(nested.Root().FindItem("Workbook"), nullptr);

    TCFile storage(testing::BuildCfb({CfbNode::Storage("Workbook", {})}).bytes);
    EXPECT_NE(storage.Root().FindItem("Workbook"), nullptr);
    EXPECT_EQ(storage.Root().FindStream("Workbook"), nullptr);
}

TEST(CFile, NamesAreUtf8) {
    auto img = testing::BuildCfb({CfbNode::Stream("Xb", {1})});
    const std::size_t at = img.EntryOffset(img.EntryId("Xb"));
    testing::PutU16(img.bytes, at, 0x010D);      // č
    testing::PutU16(img.bytes, at + 2, 0xD83D);  // 😀 as a surrogate pair
    testing::PutU16(img.bytes, at + 4, 0xDE00);
    testing::PutU16(img.bytes, at + cfbe::kNameLength, 8);
    TCFile file(img.bytes);
    EXPECT_EQ(file.Root().Items().at(0)->Name(), "\xC4\x8D\xF0\x9F\x98\x80");
}

TEST(CFile, SeekReadAndPositionFollowThePlatformRules) {
    TCFile file(testing::BuildWorkbookFile(PatternBytes(1000)));  // in the mini stream
    TCFileStream& s = *file.Root().FindStream("Workbook");
    EXPECT_EQ(s.Size(), 1000u);
    EXPECT_EQ(s.Seek(10, 0), 10u);
    EXPECT_EQ(s.Seek(5, 1), 15u);
    EXPECT_EQ(s.Seek(-1, 2), 999u);
    EXPECT_EQ(s.Seek(-2000, 1), 999u);  // before the start: the position stays
    EXPECT_EQ(s.Seek(0, 7), 999u);      // no such origin
    std::uint8_t b[4] = {};
    EXPECT_EQ(s.Read(b, 4), 1u);
    EXPECT_EQ(b[0], PatternBytes(1000)[999]);
    EXPECT_FALSE(s.ReadExact(b, 1));
    EXPECT_FALSE(s.ReadExact(nullptr, 0));

    s.SetPosition(5000);  // past the end is a position like any other; reads give nothing
    EXPECT_EQ(s.Position(), 5000u);
    EXPECT_EQ(s.Read(b, 4), 0u);

    s.SetPosition(508);  // across the first sector boundary
    ASSERT_TRUE(s.ReadExact(b, 4));
    const auto data = PatternBytes(1000);
    EXPECT_EQ(std::vector<std::uint8_t>(b, b + 4),
              std::vector<std::uint8_t>(data.begin() + 508, data.begin() + 512));

    try {
        s.SetPosition(-1);
        FAIL() << "no error";
    } catch (const ECFileError& e) {
        EXPECT_EQ(e.ErrorCode(), 6);
        EXPECT_STREQ(e.what(), "Can not set stream position");
    }
}

TEST(CFile, ReadsFatSectorsListedInDifatSectors) {
    CfbOptions options;
    options.minFatSectors = 300;  // 109 in the header, the rest in two DIFAT sectors
    auto img = testing::BuildCfb({CfbNode::Stream("Workbook", PatternBytes(9000))}, options);
    ASSERT_EQ(img.difatSectors.size(), 2u);
    // Move the stream's last sector into the part of the FAT that only DIFAT sectors reach:
    // then the chain can be followed only if they were read.
    const std::uint32_t far = 128 * 115 + 5;  // described by FAT sector 115
    const std::uint32_t start = img.entryStart[img.EntryId("Workbook")];
    std::uint32_t last = start;
    std::uint32_t beforeLast = start;
    while (img.Fat(last) != testing::kCfbEndOfChain) beforeLast = last, last = img.Fat(last);
    img.bytes.resize(img.SectorOffset(far) + img.sectorSize, 0);
    std::copy_n(img.bytes.begin() + static_cast<std::ptrdiff_t>(img.SectorOffset(last)),
                img.sectorSize,
                img.bytes.begin() + static_cast<std::ptrdiff_t>(img.SectorOffset(far)));
    img.SetFat(beforeLast, far);
    img.SetFat(far, testing::kCfbEndOfChain);
    img.SetFat(last, testing::kCfbFree);

    TCFile file(img.bytes);
    EXPECT_EQ(ReadAll(*file.Root().FindStream("Workbook")), PatternBytes(9000));
}

TEST(CFile, ReadsAFileFromDiskAcrossCacheBlocks) {
    const auto path = std::filesystem::temp_directory_path() / "morvik_cfile_test.xls";
    const auto data = PatternBytes(300000, 5);
    testing::WriteFileBytes(path.string(), testing::BuildWorkbookFile(data));
    {
        TCFile file(path.string());
        EXPECT_EQ(file.FileName(), path.string());
        EXPECT_EQ(ReadAll(*file.Root().FindStream("Workbook")), data);
    }
    std::filesystem::remove(path);
}

TEST(CFile, WhatIsNotACompoundFileCannotBeOpened) {
    const auto dir = std::filesystem::temp_directory_path();
    const auto text = dir / "morvik_cfile_text.xls";
    testing::WriteFileBytes(text.string(),
                            {'A', 't', 't', 'a', 'c', 'h', 'm', 'e', 'n', 't', '\n'});
    for (const std::string& path :
         {text.string(), (dir / "morvik_no_such_file.xls").string(), dir.string()}) {
        try {
            TCFile file(path);
            ADD_FAILURE() << "opened " << path;
        } catch (const ECFileError& e) {
            EXPECT_EQ(e.ErrorCode(), 3) << path;
            EXPECT_STREQ(e.what(), "Can not open a docfile");
        }
    }
    std::filesystem::remove(text);
}

// One field of a valid file changed; each must give exactly this message.
struct Damage {
    const char* what;
    std::function<void(CfbImage&)> apply;
    std::optional<std::string> message;  // nullopt: the file still opens and reads
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.what; }

class DamagedFiles : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedFiles, FailWithTheirMessage) {
    auto img =
        testing::BuildCfb({CfbNode::Stream("Workbook", PatternBytes(5000)),  // 10 sectors
                           CfbNode::Stream("Small", PatternBytes(200)),      // 4 mini sectors
                           CfbNode::Stream("Other", PatternBytes(4500, 9)),
                           CfbNode::Storage("Sub", {CfbNode::Stream("Inner", PatternBytes(10))})});
    GetParam().apply(img);
    EXPECT_EQ(OpenError(img.bytes), GetParam().message);
}

const std::string kDocfile = "Can not open a docfile";
const std::string kStream = "Can not open a stream";
const std::string kStorage = "Can not open a storage";

auto SetU16(std::size_t at, std::uint16_t v) {
    return [=](CfbImage& img) { testing::PutU16(img.bytes, at, v); };
}
auto SetU32(std::size_t at, std::uint32_t v) {
    return [=](CfbImage& img) { testing::PutU32(img.bytes, at, v); };
}
// The n-th sector of a stream's chain.
std::uint32_t ChainSector(const CfbImage& img, const char* name, int n) {
    std::uint32_t s = img.entryStart[img.EntryId(name)];
    while (n-- > 0) s = img.Fat(s);
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    CFile, DamagedFiles,
    ::testing::Values(
        // Header.
        Damage{"signature first byte", [](CfbImage& i) { i.bytes[0] = 0xD1; }, kDocfile},
        Damage{"signature last byte", [](CfbImage& i) { i.bytes[7] = 0x00; }, kDocfile},
        Damage{"byte order mark FEFF", SetU16(cfbh::kByteOrder, 0xFEFF), kDocfile},
        Damage{"major version 5", SetU16(cfbh::kMajor, 5), kDocfile},
        Damage{"version 4 with 512-byte sectors", SetU16(cfbh::kMajor, 4), kDocfile},
        Damage{"sector shift 10", SetU16(cfbh::kSectorShift, 10), kDocfile},
        Damage{"sector shift 40", SetU16(cfbh::kSectorShift, 40), kDocfile},
        Damage{"mini sector shift 7", SetU16(cfbh::kMiniShift, 7), kDocfile},
        Damage{"mini stream cutoff 0", SetU32(cfbh::kCutoff, 0), kDocfile},
        Damage{"no FAT sectors", SetU32(cfbh::kFatCount, 0), kDocfile},
        Damage{"more FAT sectors than the file has", SetU32(cfbh::kFatCount, 0xFFFFFFF0), kDocfile},
        Damage{"second FAT sector listed as free", SetU32(cfbh::kFatCount, 2), kDocfile},
        Damage{"FAT sector past the end of the file", SetU32(cfbh::kDifat, 0x00100000), kDocfile},
        Damage{"FAT sector number special", SetU32(cfbh::kDifat, 0xFFFFFFFD), kDocfile},
        Damage{"FAT sector listed twice",
               [](CfbImage& i) {
                   testing::PutU32(i.bytes, cfbh::kFatCount, 2);
                   testing::PutU32(i.bytes, cfbh::kDifat + 4, i.fatSectors[0]);
               },
               kDocfile},
        Damage{"directory starts out of range", SetU32(cfbh::kFirstDir, 0x00FFFFFF), kDocfile},
        Damage{"directory starts at end of chain", SetU32(cfbh::kFirstDir, 0xFFFFFFFE), kDocfile},
        Damage{"file cut inside the header", [](CfbImage& i) { i.bytes.resize(300); }, kDocfile},
        Damage{"empty file", [](CfbImage& i) { i.bytes.clear(); }, kDocfile},
        // Directory.
        Damage{"root entry is not a root",
               [](CfbImage& i) { i.bytes[i.EntryOffset(0) + cfbe::kType] = 1; }, kDocfile},
        Damage{"root's child out of range",
               [](CfbImage& i) { testing::PutU32(i.bytes, i.EntryOffset(0) + cfbe::kChild, 5000); },
               kDocfile},
        Damage{"root's child is the root",
               [](CfbImage& i) { testing::PutU32(i.bytes, i.EntryOffset(0) + cfbe::kChild, 0); },
               kDocfile},
        Damage{"sibling links to itself",
               [](CfbImage& i) { i.SetEntryField("Small", cfbe::kLeft, i.EntryId("Small")); },
               kDocfile},
        Damage{"siblings link to each other",
               [](CfbImage& i) {
                   i.SetEntryField("Small", cfbe::kRight, i.EntryId("Workbook"));
                   i.SetEntryField("Workbook", cfbe::kLeft, i.EntryId("Small"));
               },
               kDocfile},
        Damage{"storage's child is its parent's sibling",
               [](CfbImage& i) { i.SetEntryField("Sub", cfbe::kChild, i.EntryId("Workbook")); },
               kStorage},
        Damage{"storage's child is the storage",
               [](CfbImage& i) { i.SetEntryField("Sub", cfbe::kChild, i.EntryId("Sub")); },
               kStorage},
        Damage{"storage's child out of range",
               [](CfbImage& i) { i.SetEntryField("Sub", cfbe::kChild, 0x7FFFFFFF); }, kStorage},
        Damage{"link to an unused entry ends the branch",
               [](CfbImage& i) {
                   i.SetEntryField("Inner", cfbe::kLeft,
                                   static_cast<std::uint32_t>(i.entryNames.size()));
               },
               std::nullopt},
        Damage{"directory chain loops back on itself",
               [](CfbImage& i) { i.SetFat(i.dirSectors.back(), i.dirSectors.front()); },
               std::nullopt},
        // Stream chains: the file opens, the stream fails when used.
        Damage{"stream chain loops",
               [](CfbImage& i) {
                   i.SetFat(ChainSector(i, "Workbook", 2), ChainSector(i, "Workbook", 0));
               },
               kStream},
        Damage{"stream chain has a sector out of range",
               [](CfbImage& i) { i.SetFat(ChainSector(i, "Workbook", 1), 0x00ABCDEF); }, kStream},
        Damage{"stream chain runs into a free mark",
               [](CfbImage& i) { i.SetFat(ChainSector(i, "Workbook", 1), testing::kCfbFree); },
               kStream},
        Damage{"stream starts in a FAT sector",
               [](CfbImage& i) { i.SetEntryField("Workbook", cfbe::kStart, i.fatSectors[0]); },
               kStream},
        Damage{"two streams share sectors",
               [](CfbImage& i) {
                   i.SetEntryField("Other", cfbe::kStart, ChainSector(i, "Workbook", 1));
               },
               kStream},
        Damage{"mini chain loops",
               [](CfbImage& i) {
                   const std::uint32_t first = i.entryStart[i.EntryId("Small")];
                   testing::PutU32(i.bytes, i.MiniFatEntryOffset(first + 1), first);
               },
               kStream},
        Damage{"mini chain out of range",
               [](CfbImage& i) { i.SetEntryField("Small", cfbe::kStart, 9999); }, kStream},
        Damage{"mini stream shorter than its streams need",
               [](CfbImage& i) { testing::PutU32(i.bytes, i.EntryOffset(0) + cfbe::kSize, 64); },
               std::nullopt}));

TEST(CFile, DamagedStreamFailsOnlyWhenUsed) {
    auto img = testing::BuildCfb(
        {CfbNode::Stream("Workbook", PatternBytes(2000)),
         CfbNode::Stream("\x05SummaryInformation", PatternBytes(5000))});  // 10 sectors
    img.SetFat(ChainSector(img, "\x05SummaryInformation", 3),
               ChainSector(img, "\x05SummaryInformation", 1));
    TCFile file(img.bytes);
    EXPECT_EQ(ReadAll(*file.Root().FindStream("Workbook")), PatternBytes(2000));
    TCFileStream& broken = *file.Root().FindStream("\x05SummaryInformation");
    EXPECT_TRUE(broken.Damaged());
    std::uint8_t b = 0;
    EXPECT_THROW(broken.Read(&b, 1), ECFileError);
    EXPECT_THROW(broken.Size(), ECFileError);
}

// Sizes the file cannot back are cut to what the chain and the file hold.
TEST(CFile, SizesAreCutToWhatTheChainHolds) {
    struct Case {
        const char* what;
        std::function<void(CfbImage&)> apply;
        std::size_t expectedBytes;
    };
    const Case cases[] = {
        {"size far beyond the file",
         [](CfbImage& i) { i.SetEntryField("Workbook", cfbe::kSize, 0x7FFFFFFF); }, 5120},
        // 512-byte sectors keep a 32-bit size: a high half some writers leave set is no size.
        {"high half of a version 3 size",
         [](CfbImage& i) { i.SetEntryField("Workbook", cfbe::kSize + 4, 1); }, 5000},
        {"chain ends early",
         [](CfbImage& i) { i.SetFat(ChainSector(i, "Workbook", 1), testing::kCfbEndOfChain); },
         1024},
        {"file cut after the second sector",
         [](CfbImage& i) { i.bytes.resize(i.SectorOffset(ChainSector(i, "Workbook", 2))); }, 1024},
        {"file cut inside the last sector",
         [](CfbImage& i) { i.bytes.resize(i.SectorOffset(ChainSector(i, "Workbook", 9)) + 100); },
         4708},
    };
    for (const Case& c : cases) {
        auto img =
            testing::BuildCfb({CfbNode::Stream("Workbook", PatternBytes(5000))});  // 10 sectors
        c.apply(img);
        TCFile file(img.bytes);
        TCFileStream& s = *file.Root().FindStream("Workbook");
        const auto bytes = ReadAll(s);
        ASSERT_EQ(bytes.size(), c.expectedBytes) << c.what;
        const auto data = PatternBytes(5000);
        const std::size_t n = std::min<std::size_t>(bytes.size(), data.size());
        EXPECT_TRUE(
            std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), data.begin()))
            << c.what;
        EXPECT_EQ(s.Size(), bytes.size()) << c.what;
    }
}

// Storages nested 100,000 deep: opening and closing must not recurse once per level.
TEST(CFile, DeeplyNestedStoragesDoNotExhaustTheStack) {
    constexpr std::uint32_t kEntries = 100000, kPerSector = 4096 / 128, kSector = 4096;
    constexpr std::uint32_t kDirSectors = (kEntries + kPerSector - 1) / kPerSector, kFatSectors = 4;
    std::vector<std::uint8_t> b(std::size_t{kSector} * (1 + kFatSectors + kDirSectors), 0);
    const std::uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(std::begin(signature), std::end(signature), b.begin());
    testing::PutU16(b, cfbh::kMajor, 4);
    testing::PutU16(b, cfbh::kByteOrder, 0xFFFE);
    testing::PutU16(b, cfbh::kSectorShift, 12);
    testing::PutU16(b, cfbh::kMiniShift, 6);
    testing::PutU32(b, cfbh::kDirSectorCount, kDirSectors);
    testing::PutU32(b, cfbh::kFatCount, kFatSectors);
    testing::PutU32(b, cfbh::kFirstDir, kFatSectors);  // FAT in sectors 0-3, then the directory
    testing::PutU32(b, cfbh::kCutoff, 4096);
    testing::PutU32(b, cfbh::kFirstMiniFat, testing::kCfbEndOfChain);
    testing::PutU32(b, cfbh::kFirstDifat, testing::kCfbEndOfChain);
    for (std::uint32_t k = 0; k < 109; ++k)
        testing::PutU32(b, cfbh::kDifat + 4 * k, k < kFatSectors ? k : testing::kCfbFree);
    for (std::uint32_t s = 0; s < kFatSectors * 1024; ++s) {
        std::uint32_t next = testing::kCfbFree;
        if (s < kFatSectors)
            next = testing::kCfbFatSect;
        else if (s < kFatSectors + kDirSectors)
            next = s + 1 < kFatSectors + kDirSectors ? s + 1 : testing::kCfbEndOfChain;
        testing::PutU32(b, kSector * (1 + s / 1024) + 4 * (s % 1024), next);
    }
    for (std::uint32_t id = 0; id < kDirSectors * kPerSector; ++id) {
        const std::size_t at =
            std::size_t{kSector} * (1 + kFatSectors + id / kPerSector) + 128 * (id % kPerSector);
        testing::PutU32(b, at + cfbe::kLeft, testing::kCfbNoStream);
        testing::PutU32(b, at + cfbe::kRight, testing::kCfbNoStream);
        testing::PutU32(b, at + cfbe::kChild, id + 1 < kEntries ? id + 1 : testing::kCfbNoStream);
        if (id >= kEntries) continue;
        testing::PutU16(b, at, 'S');
        testing::PutU16(b, at + cfbe::kNameLength, 4);
        b[at + cfbe::kType] = id == 0 ? 5 : 1;
    }

    auto file = std::make_unique<TCFile>(b);
    const TCFileStorage* level = &file->Root();
    int depth = 0;
    while (!level->Items().empty()) {
        level = dynamic_cast<const TCFileStorage*>(level->Items().front().get());
        ASSERT_NE(level, nullptr);
        ++depth;
    }
    EXPECT_EQ(depth, static_cast<int>(kEntries) - 1);
    file.reset();
}

// Every real file either opens and has its workbook stream, or fails with one of our
// messages. Nothing else (a crash, another exception) is acceptable.
TEST(CFile, EveryCorpusFileOpensOrFailsWithOurMessage) {
    const std::filesystem::path corpus =
        std::filesystem::path(MORVIK_SHARED_DIR) / "corpus" / "xls";
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    int opened = 0, refused = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        if (entry.path().extension() != ".xls") continue;
        SCOPED_TRACE(entry.path().string());
        try {
            TCFile file(entry.path().string());
            TCFileStream* s = file.Root().FindStream("Workbook");
            if (s == nullptr) s = file.Root().FindStream("Book");
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(ReadAll(*s, 4096).size(), s->Size());
            ++opened;
        } catch (const ECFileError& e) {
            EXPECT_GE(e.ErrorCode(), 3);
            EXPECT_LE(e.ErrorCode(), 5);
            ++refused;
        }
    }
    EXPECT_GT(opened, 100);
    RecordProperty("opened", opened);
    RecordProperty("refused", refused);
}

}  // namespace
}  // namespace morvik::xls

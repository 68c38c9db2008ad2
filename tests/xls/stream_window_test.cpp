// Streams larger than the read window, scattered over the file, read in awkward pieces; and
// sheets with enough cells to need many blocks of the cell pool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "biff_builder.h"
#include "cfb_builder.h"
#include "xls/BiffStream.h"
#include "xls/CFile.h"
#include "xls/XLSWorkbook.h"

namespace morvik::xls {
namespace {

using testing::BuildCfb;
using testing::CfbImage;
using testing::CfbNode;
using testing::CfbOptions;
using testing::PatternBytes;

// Moves the stream's sectors so that its chain visits runs of adjacent sectors of uneven
// lengths (some longer than the window) in reverse order: no run follows its predecessor.
void Scatter(CfbImage& img, const std::string& name, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t s = img.entryStart.at(img.EntryId(name)); s != testing::kCfbEndOfChain;
         s = img.Fat(s)) {
        chain.push_back(s);
    }
    // In sectors; a window holds 128 sectors of 512 bytes or 16 of 4096.
    const bool large = img.sectorSize == 4096;
    const std::vector<std::size_t> runLengths =
        large ? std::vector<std::size_t>{1, 3, 20, 2, 1, 5, 7, 33, 1, 4}
              : std::vector<std::size_t>{1, 3, 150, 2, 1, 40, 7, 260, 1, 5};
    std::vector<std::vector<std::uint32_t>> runs;
    for (std::size_t at = 0, k = 0; at < chain.size(); ++k) {
        const std::size_t n = std::min(runLengths[k % runLengths.size()], chain.size() - at);
        runs.emplace_back(chain.begin() + static_cast<std::ptrdiff_t>(at),
                          chain.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    }
    // Logical run i takes the physical places of run (count - 1 - i), lengths kept.
    std::vector<std::uint32_t> placed;
    std::size_t from = chain.size();
    std::vector<std::vector<std::uint32_t>> physical(runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        from -= runs[i].size();
        physical[i].assign(chain.begin() + static_cast<std::ptrdiff_t>(from),
                           chain.begin() + static_cast<std::ptrdiff_t>(from + runs[i].size()));
    }
    for (const auto& run : physical) placed.insert(placed.end(), run.begin(), run.end());
    ASSERT_EQ(placed.size(), chain.size());
    const std::size_t ss = img.sectorSize;
    for (std::size_t k = 0; k < placed.size(); ++k) {
        img.SetFat(placed[k], k + 1 < placed.size() ? placed[k + 1] : testing::kCfbEndOfChain);
        const std::size_t n = std::min(ss, data.size() - k * ss);
        auto to = img.bytes.begin() + static_cast<std::ptrdiff_t>(img.SectorOffset(placed[k]));
        std::fill_n(to, ss, 0);
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(k * ss), n, to);
    }
    img.SetEntryField(name, testing::cfbe::kStart, placed.front());
    std::size_t jumps = 0;
    for (std::size_t k = 1; k < placed.size(); ++k) jumps += placed[k] != placed[k - 1] + 1;
    ASSERT_GE(jumps, 5u);
}

class ScatteredStream : public ::testing::TestWithParam<bool> {
  protected:
    // About 4.6 windows, ending inside a sector; another stream before it in the file so that
    // the workbook does not start at sector 0.
    const std::vector<std::uint8_t> data = PatternBytes(300'017, 5);
    CfbImage img;

    void SetUp() override {
        CfbOptions options;
        options.sectors4096 = GetParam();
        img = BuildCfb(
            {CfbNode::Stream("Aaaa", PatternBytes(20'000, 1)), CfbNode::Stream("Workbook", data)},
            options);
        Scatter(img, "Workbook", data);
    }
};

INSTANTIATE_TEST_SUITE_P(SectorSizes, ScatteredStream, ::testing::Values(false, true),
                         [](const auto& info) {
                             return info.param ? "Sectors4096" : "Sectors512";
                         });

TEST_P(ScatteredStream, OddSizedPiecesReadBackEveryByte) {
    const std::size_t pieces[] = {1, 7, 509, 4093, 65'537, 13, 3, 131'071, 2, 65'535};
    TCFile file(img.bytes);
    TCFileStream& s = *file.Root().FindStream("Workbook");
    ASSERT_EQ(s.Size(), data.size());
    std::vector<std::uint8_t> got;
    std::vector<std::uint8_t> buffer(131'071);
    for (std::size_t k = 0;; ++k) {
        const std::size_t want = pieces[k % std::size(pieces)];
        const std::size_t n = s.Read(buffer.data(), want);
        got.insert(got.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
        if (n < want) break;
    }
    EXPECT_EQ(got.size(), data.size());
    EXPECT_TRUE(got == data)
        << "first difference at "
        << (std::mismatch(got.begin(), got.end(), data.begin(), data.end()).first - got.begin());
    EXPECT_EQ(s.Position(), data.size());
    EXPECT_EQ(s.Read(buffer.data(), 1), 0u);
    // The other stream is untouched by the moves.
    TCFileStream& other = *file.Root().FindStream("Aaaa");
    std::vector<std::uint8_t> first(20'000);
    ASSERT_TRUE(other.ReadExact(first.data(), first.size()));
    EXPECT_TRUE(first == PatternBytes(20'000, 1));
}

TEST_P(ScatteredStream, ReadsAcrossWindowEdgesAfterSeeks) {
    TCFile file(img.bytes);
    TCFileStream& s = *file.Root().FindStream("Workbook");
    const std::uint64_t window = 64 * 1024;
    // Backwards and forwards around each window edge, and a read running past the end.
    const std::uint64_t starts[] = {window * 4 - 3,    window - 1,       0,
                                    window * 2 - 5000, window,           window * 3 + 1,
                                    window - 4,        data.size() - 10, 12345};
    for (std::uint64_t at : starts) {
        SCOPED_TRACE(at);
        s.SetPosition(static_cast<std::int64_t>(at));
        std::vector<std::uint8_t> buffer(9000, 0xEE);
        const std::size_t n = s.Read(buffer.data(), buffer.size());
        const std::size_t expected = std::min<std::size_t>(buffer.size(), data.size() - at);
        ASSERT_EQ(n, expected);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n),
                               data.begin() + static_cast<std::ptrdiff_t>(at)));
        EXPECT_EQ(s.Position(), at + n);
    }
}

TEST_P(ScatteredStream, RecordsStraddlingWindowEdgesComeBackWhole) {
    // Payload lengths vary so that headers and payloads fall across every window edge.
    std::vector<std::uint8_t> stream;
    std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> records;
    for (std::uint32_t k = 0; stream.size() < 280'000; ++k) {
        const std::size_t length = (k * 2654435761u) % 8225;
        const auto id = static_cast<std::uint16_t>(k * 7 + 1);
        records.emplace_back(id, PatternBytes(length, static_cast<std::uint8_t>(k)));
        testing::Payload p;
        p.U16(id).U16(static_cast<std::uint32_t>(length)).Raw(records.back().second);
        stream.insert(stream.end(), p.Bytes().begin(), p.Bytes().end());
    }
    CfbOptions options;
    options.sectors4096 = GetParam();
    CfbImage records_img = BuildCfb(
        {CfbNode::Stream("Aaaa", PatternBytes(9000, 1)), CfbNode::Stream("Workbook", stream)},
        options);
    Scatter(records_img, "Workbook", stream);
    TCFile file(records_img.bytes);
    TBIFFStream biff(*file.Root().FindStream("Workbook"));
    std::size_t count = 0;
    for (const auto& [id, payload] : records) {
        SCOPED_TRACE(count);
        ASSERT_TRUE(biff.ReadRecord());
        ASSERT_EQ(biff.Record().RecordId, id);
        const auto got = biff.Record().Data.Bytes();
        ASSERT_TRUE(std::equal(got.begin(), got.end(), payload.begin(), payload.end()));
        ++count;
    }
    EXPECT_EQ(biff.Position(), stream.size());
    EXPECT_FALSE(biff.ReadRecord());
}

TEST(CellPool, ManyCellsKeepOrderValuesAndThePendingRule) {
    TWorkbook wb;
    TCells& cells = wb.Sheets().Items(0).Cells();
    // Enough cells for many pool blocks; addresses out of order, with a pending cell made
    // (and thrown away) before each store so that freed slots get reused.
    constexpr int kCount = 40'000;
    std::vector<std::pair<int, int>> order;
    for (int k = 0; k < kCount; ++k) order.emplace_back((k * 7919) % 65536, (k * 31) % 256);
    std::vector<TCell*> made;
    for (int k = 0; k < kCount; ++k) {
        const auto [row, col] = order[static_cast<std::size_t>(k)];
        TCell& lookedAt = cells.Cell((row + 1) % 65536, col);
        if (!lookedAt.Registered()) {
            EXPECT_EQ(cells.Pending(), &lookedAt);
        }
        TCell& c = cells.Cell(row, col);
        c.SetValue(static_cast<double>(k));
        made.push_back(&c);
        EXPECT_EQ(cells.Pending(), nullptr);
    }
    // Each address once: 7919 is odd, so rows repeat only after 65536 cells.
    ASSERT_EQ(cells.Count(), kCount);
    for (int k = 0; k < kCount; ++k) {
        const auto [row, col] = order[static_cast<std::size_t>(k)];
        TCell& c = cells.Items(k);
        ASSERT_EQ(&c, made[static_cast<std::size_t>(k)]);
        ASSERT_EQ(c.Row(), row);
        ASSERT_EQ(c.Col(), col);
        ASSERT_EQ(c.Value(), TCellValue(static_cast<double>(k)));
        ASSERT_EQ(cells.Find(row, col), &c);
        ASSERT_EQ(cells.IndexOf(c), k);
    }
    // A pending cell is detached: its address is still absent, and it is not counted.
    int freeRow = 0;
    while (cells.Find(freeRow, 0) != nullptr) ++freeRow;
    TCell& pending = cells.Cell(freeRow, 0);
    ASSERT_FALSE(pending.Registered());
    EXPECT_EQ(cells.Pending(), &pending);
    EXPECT_EQ(cells.Find(freeRow, 0), nullptr);
    EXPECT_EQ(cells.Count(), kCount);
    EXPECT_TRUE(pending.Value().IsEmpty());
}

}  // namespace
}  // namespace morvik::xls

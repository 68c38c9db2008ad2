#include "Lists.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "text/ByteReader.h"

namespace morvik::xls {

bool TStringStack::Pop(std::string& out) {
    if (items_.empty()) return false;
    out = std::move(items_.back());
    items_.pop_back();
    return true;
}

void TXLSSharedFormulas::Add(std::uint16_t sheet, std::span<const std::uint8_t> payload) {
    if (payload.size() < kHeaderSize) return;
    TXLSSharedFormula f;
    f.Sheet = sheet;
    f.FirstRow = LoadU16(payload.data());
    f.LastRow = LoadU16(payload.data() + 2);
    f.FirstCol = payload[4];
    f.LastCol = payload[5];
    f.Tokens.assign(payload.begin() + kHeaderSize, payload.end());
    items_.push_back(std::move(f));
}

namespace {

// Files the column range [first, last] under the nodes of a segment tree over [lo, hi] (node
// n's children are 2n and 2n + 1) that together make it up: at most two per level.
template <class File>
void Decompose(std::size_t node, int lo, int hi, int first, int last, const File& file) {
    if (last < lo || hi < first) return;
    if (first <= lo && hi <= last) {
        file(node);
        return;
    }
    const int mid = (lo + hi) / 2;
    Decompose(2 * node, lo, mid, first, last, file);
    Decompose(2 * node + 1, mid + 1, hi, first, last, file);
}

}  // namespace

std::vector<std::int32_t> TXLSSharedFormulas::FindAll(const std::vector<TCellQuery>& cells) const {
    std::vector<std::int32_t> answers(cells.size(), -1);
    if (items_.empty() || cells.empty()) return answers;
    // Formulas and cells in sheet and row order; the sweep goes down each sheet's rows, files
    // every formula whose first row it reached under the tree nodes of its columns (a min-heap
    // of indices per node) and answers a cell from the nodes on its column's path. A formula
    // past its last row stays filed until it reaches the top of a heap: rows only grow.
    std::vector<std::uint32_t> formulas(items_.size());
    for (std::uint32_t i = 0; i < formulas.size(); ++i) formulas[i] = i;
    std::sort(formulas.begin(), formulas.end(), [&](std::uint32_t a, std::uint32_t b) {
        const TXLSSharedFormula &x = items_[a], &y = items_[b];
        return x.Sheet != y.Sheet ? x.Sheet < y.Sheet : x.FirstRow < y.FirstRow;
    });
    std::vector<std::uint32_t> order(cells.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const TCellQuery &x = cells[a], &y = cells[b];
        return x.Sheet != y.Sheet ? x.Sheet < y.Sheet : x.Row < y.Row;
    });
    constexpr std::size_t kNodes = 512;  // over the 256 columns
    std::vector<std::vector<std::int32_t>> heaps(kNodes);
    std::vector<std::size_t> used;  // nodes to empty before the next sheet
    const auto later = std::greater<std::int32_t>();
    std::size_t next = 0;  // into formulas
    int sheet = -1;
    for (const std::uint32_t q : order) {
        const TCellQuery& cell = cells[q];
        if (cell.Sheet != sheet) {
            for (std::size_t n : used) heaps[n].clear();
            used.clear();
            sheet = cell.Sheet;
            while (next < formulas.size() && items_[formulas[next]].Sheet < cell.Sheet) ++next;
        }
        while (next < formulas.size() && items_[formulas[next]].Sheet == cell.Sheet &&
               items_[formulas[next]].FirstRow <= cell.Row) {
            const auto index = static_cast<std::int32_t>(formulas[next]);
            const TXLSSharedFormula& f = items_[formulas[next]];
            ++next;
            if (f.FirstCol > f.LastCol || f.FirstRow > f.LastRow) continue;
            Decompose(1, 0, 255, f.FirstCol, f.LastCol, [&](std::size_t node) {
                if (heaps[node].empty()) used.push_back(node);
                heaps[node].push_back(index);
                std::push_heap(heaps[node].begin(), heaps[node].end(), later);
            });
        }
        std::int32_t best = -1;
        std::size_t node = 1;
        int lo = 0, hi = 255;
        while (true) {
            auto& heap = heaps[node];
            while (!heap.empty() &&
                   items_[static_cast<std::size_t>(heap.front())].LastRow < cell.Row) {
                std::pop_heap(heap.begin(), heap.end(), later);
                heap.pop_back();
            }
            if (!heap.empty() && (best < 0 || heap.front() < best)) best = heap.front();
            if (lo == hi) break;
            const int mid = (lo + hi) / 2;
            if (cell.Col <= mid) {
                node = 2 * node;
                hi = mid;
            } else {
                node = 2 * node + 1;
                lo = mid + 1;
            }
        }
        answers[q] = best;
    }
    return answers;
}

std::span<const std::uint8_t> TXLSSharedFormulas::Find(std::uint16_t sheet, std::uint16_t row,
                                                       std::uint8_t col) const {
    for (const auto& f : items_) {
        if (f.Sheet == sheet && f.FirstRow <= row && row <= f.LastRow && f.FirstCol <= col &&
            col <= f.LastCol) {
            return f.Tokens;
        }
    }
    return {};
}

}  // namespace morvik::xls

#include "History.h"

#include <utility>

#include "compute/Compute.h"

namespace morvik::core {
namespace {

// A cloud may hold 65,536 rows: the depth is bounded by cells held as well as by steps, so
// a session of large pastes cannot take the memory of the machine.
constexpr std::size_t kMaxSteps = 100;
constexpr std::size_t kMaxCells = 4'000'000;

std::size_t CellsOf(const TextTable& t) {
    return static_cast<std::size_t>(t.ColCount()) * static_cast<std::size_t>(t.RowCount());
}

}  // namespace

History::State History::Snapshot(const Workspace& ws, std::string source, const TextTable* table) {
    State state;
    state.source = std::move(source);
    const auto keep = [&](std::optional<TextTable>& slot, const TextTable& t) {
        if (table == nullptr || table == &t) slot = t;
    };
    keep(state.landmarks, ws.sgImput);
    keep(state.right, ws.sgImput2);
    keep(state.left, ws.sgImput3);
    keep(state.dimensions, ws.sgRozmery);
    return state;
}

void History::Put(Workspace& ws, State& state) {
    const auto put = [](std::optional<TextTable>& slot, TextTable& t) {
        if (slot) t = std::move(*slot);
    };
    put(state.landmarks, ws.sgImput);
    put(state.right, ws.sgImput2);
    put(state.left, ws.sgImput3);
    put(state.dimensions, ws.sgRozmery);
    ClearResult(ws);
}

std::size_t History::Cells(const State& state) {
    std::size_t cells = 0;
    for (const auto* t : {&state.landmarks, &state.right, &state.left, &state.dimensions})
        if (*t) cells += CellsOf(**t);
    return cells;
}

void History::Push(State state) {
    undo_.push_back(std::move(state));
    redo_.clear();
    Trim();
}

std::string History::Step(std::deque<State>& from, std::deque<State>& to, Workspace& ws,
                          std::string source) {
    if (from.empty()) return source;
    State state = std::move(from.back());
    from.pop_back();
    // The other way holds the same tables as they stand now.
    State now;
    now.source = std::move(source);
    if (state.landmarks) now.landmarks = ws.sgImput;
    if (state.right) now.right = ws.sgImput2;
    if (state.left) now.left = ws.sgImput3;
    if (state.dimensions) now.dimensions = ws.sgRozmery;
    to.push_back(std::move(now));
    std::string restored = std::move(state.source);
    Put(ws, state);
    return restored;
}

std::string History::Undo(Workspace& ws, std::string source) {
    return Step(undo_, redo_, ws, std::move(source));
}

std::string History::Redo(Workspace& ws, std::string source) {
    return Step(redo_, undo_, ws, std::move(source));
}

void History::Clear() {
    undo_.clear();
    redo_.clear();
}

void History::Trim() {
    std::size_t cells = 0;
    for (const State& s : undo_) cells += Cells(s);
    // The newest step always stays, however large: it is the one a user undoes.
    while (undo_.size() > 1 && (undo_.size() > kMaxSteps || cells > kMaxCells)) {
        cells -= Cells(undo_.front());
        undo_.pop_front();
    }
}

}  // namespace morvik::core

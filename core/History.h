// Undo and redo of what the user does to the measurements: loads, pastes, clears and edits
// of the landmark, euryon and dimension tables. Coefficients are not part of it: they have
// their own save and the question about unsaved edits.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <utility>

#include "compute/Workspace.h"

namespace morvik::core {

class History {
  public:
    // The measurement tables a change touches, as they stood, with the caller's note of where
    // they came from (the window shows it in its title). A typed cell keeps one table, not
    // the clouds of up to 65,536 rows beside it.
    struct State {
        std::optional<TextTable> landmarks, right, left, dimensions;
        std::string source;
    };

    // The tables as they stand (only `table`, one of the workspace's four, when given), to be
    // pushed once a change has succeeded.
    static State Snapshot(const Workspace& ws, std::string source,
                          const TextTable* table = nullptr);
    // A state Undo returns to; any redo is forgotten, as in every editor.
    void Push(State state);
    // Call before a change: Push(Snapshot(ws, source, table)).
    void Record(const Workspace& ws, std::string source, const TextTable* table = nullptr) {
        Push(Snapshot(ws, std::move(source), table));
    }

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }

    // Puts the tables back as they stood before the last recorded change and returns that
    // state's source; the state left becomes the redo. The result no longer belongs to the
    // tables. Nothing happens (and `source` comes back) when there is nothing to undo.
    std::string Undo(Workspace& ws, std::string source);
    std::string Redo(Workspace& ws, std::string source);

    void Clear();

  private:
    static void Put(Workspace& ws, State& state);
    // Moves the newest state of `from` onto the tables, the tables as they were onto `to`.
    static std::string Step(std::deque<State>& from, std::deque<State>& to, Workspace& ws,
                            std::string source);
    static std::size_t Cells(const State& state);
    void Trim();

    std::deque<State> undo_, redo_;
};

}  // namespace morvik::core

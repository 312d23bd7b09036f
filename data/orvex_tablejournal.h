// TTableJournal: the changes of one edit step of a TDataTable, kept so that the step can be taken
// back and made again. It is fed the table's change notices (orvex_tablechange.h) while the step
// is made and keeps only what changed: for a cell its one other value or state, for a name, an
// attribute, a type, a label or the comment the other text or number, for deleted rows and
// columns their contents. Undo and redo swap each kept item with the table's, in reverse or in
// recorded order, so the journal always holds the side of the step that the table does not.
//
// Values and states go into the table directly and are announced once per column touched (each
// published event once); rows, columns, names and the other texts go through the table's own
// operations, with their events. A notice the journal cannot take back (new contents from a read,
// or a notice without its old value) makes the journal Broken: such a step cannot be undone.
#pragma once

#include "orvex_tablechange.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvex {

class TTableJournal {
public:
  // operations
  // Keeps the change the table reports. Table is the table after the change.
  void Record(const TDataTable& Table, const TTableChange& Change);
  // Takes the recorded changes back, last first / makes them again, first first. Each leaves the
  // journal ready for the other.
  void Undo(TDataTable& Table);
  void Redo(TDataTable& Table);
  // Appends the changes of a later journal of the same table (merging two steps into one).
  void Append(TTableJournal&& Later);

  // properties
  bool Empty() const { return FSteps.empty(); }
  bool Broken() const { return FBroken; }
  std::size_t NrOfSteps() const { return FSteps.size(); }
  // The memory the journal holds, in bytes.
  std::size_t Bytes() const;

private:
  struct TStep {
    double Value = 0;  // Value steps
    std::int32_t Col = 0;
    std::int32_t Row = 0;
    std::uint32_t Item = 0;  // the state, attribute or type; or the index of a text or a slice
    TTableChangeKind Kind = TTableChangeKind::Contents;
  };
  struct TResize {
    int OldColumns = 0;
    int OldRows = 0;
    int NewColumns = 0;
    int NewRows = 0;
    std::shared_ptr<const TTableSlice> Removed;
  };
  // The columns whose values or states one pass has written since it last announced them.
  struct TPass {
    std::vector<int> ValueCols;
    std::vector<int> StateCols;
  };
  void Apply(TDataTable& Table, TStep& Step, bool Backward, TPass& Pass);
  static void Flush(TDataTable& Table, TPass& Pass);
  static void AnnounceRestored(TDataTable& Table, int Col, bool Columns);

  std::vector<TStep> FSteps;
  std::vector<std::string> FTexts;
  std::vector<std::shared_ptr<const TTableSlice>> FSlices;
  std::vector<TResize> FResizes;
  std::size_t FSliceBytes = 0;
  std::size_t FTextBytes = 0;
  bool FBroken = false;
};

}  // namespace orvex

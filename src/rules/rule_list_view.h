#pragma once
// The port to the main rule list: report rows of text cells with a tick box in front.
// The Windows side is the main window's list view and is used on the window's thread
// only; tests use an in-memory table. Rows and columns count from 0; a read of a cell or
// tick that does not exist gives "" or false.

#include <string>

namespace derov {

// The list's ten columns.
enum RuleColumn : int {
  kIdColumn = 0,         // the rule's id: its rule number
  kNameColumn,
  kUrlColumn,            // zero width: read by the double click
  kConditionColumn,      // saverule as stored
  kPeriodColumn,         // plv as stored
  kCurrentValueColumn,
  kRepeatColumn,         // isrep as stored
  kReminderCountColumn,
  kUpdateTimeColumn,
  kStatusColumn,
  kRuleColumnCount
};

class RuleListView {
 public:
  virtual ~RuleListView() = default;
  virtual void DeleteAllRows() = 0;
  virtual int AppendRow() = 0;  // the new row's index
  virtual void SetCellText(int row, int column, const std::string& text) = 0;
  virtual std::string CellText(int row, int column) const = 0;
  // A tick the program sets is not the user's: it raises no tick-changed event.
  virtual void SetTick(int row, bool ticked) = 0;
  virtual bool Tick(int row) const = 0;
  virtual int RowCount() const = 0;
  virtual int SelectedRow() const = 0;  // -1 when none
};

}  // namespace derov

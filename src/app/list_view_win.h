#pragma once
// The main window's report list view as the rule list port. Used on the window's thread.

#include <windows.h>
#include <commctrl.h>

#include "rules/rule_list_view.h"

namespace derov {

class ListViewRuleList : public RuleListView {
 public:
  void Attach(HWND list) { list_ = list; }
  HWND hwnd() const { return list_; }

  void DeleteAllRows() override;
  int AppendRow() override;
  void SetCellText(int row, int column, const std::string& text) override;
  std::string CellText(int row, int column) const override;
  void SetTick(int row, bool ticked) override;
  bool Tick(int row) const override;
  int RowCount() const override;
  int SelectedRow() const override;

  // True while SetTick changes a tick: the change the list reports then is the program's.
  bool SettingTick() const { return settingTick_; }

 private:
  HWND list_ = nullptr;
  bool settingTick_ = false;
};

// The tick a list view state reports: 0 no tick box yet, 1 unticked, 2 ticked.
inline UINT TickImage(UINT state) { return (state & LVIS_STATEIMAGEMASK) >> 12; }

}  // namespace derov

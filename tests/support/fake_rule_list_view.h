#pragma once
// The rule list as an in-memory table: rows of ten cells and a tick.

#include <array>
#include <string>
#include <vector>

#include "rules/rule_list_view.h"

namespace derov::test {

class FakeRuleListView : public RuleListView {
 public:
  struct Row {
    std::array<std::string, kRuleColumnCount> cells;
    bool ticked = false;
  };

  void DeleteAllRows() override { rows.clear(); selected = -1; }
  int AppendRow() override {
    rows.emplace_back();
    return static_cast<int>(rows.size()) - 1;
  }
  void SetCellText(int row, int column, const std::string& text) override {
    if (Has(row) && column >= 0 && column < kRuleColumnCount) rows[row].cells[column] = text;
  }
  std::string CellText(int row, int column) const override {
    return Has(row) && column >= 0 && column < kRuleColumnCount ? rows[row].cells[column] : "";
  }
  void SetTick(int row, bool ticked) override {
    if (Has(row)) rows[row].ticked = ticked;
  }
  bool Tick(int row) const override { return Has(row) && rows[row].ticked; }
  int RowCount() const override { return static_cast<int>(rows.size()); }
  int SelectedRow() const override { return selected; }

  // Column `column` of every row, top to bottom.
  std::vector<std::string> Column(int column) const {
    std::vector<std::string> texts;
    for (const Row& row : rows) texts.push_back(row.cells[column]);
    return texts;
  }

  std::vector<Row> rows;
  int selected = -1;

 private:
  bool Has(int row) const { return row >= 0 && row < static_cast<int>(rows.size()); }
};

}  // namespace derov::test

#include "app/list_view_win.h"

#include <commctrl.h>

#include <vector>

namespace derov {
namespace {

// The longest cell text read back (a content rule's current value is a whole page).
constexpr int kLongestCellText = 64 * 1024 * 1024;

}  // namespace

void ListViewRuleList::DeleteAllRows() { SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0); }

int ListViewRuleList::AppendRow() {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = RowCount();
  item.pszText = const_cast<char*>("");
  return static_cast<int>(SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void ListViewRuleList::SetCellText(int row, int column, const std::string& text) {
  // Every worker cycle rewrites cells that mostly keep their text (an idle rule's current
  // value); a write that changes nothing would still repaint the row.
  constexpr size_t kComparedLength = 1024;
  if (text.size() <= kComparedLength && CellText(row, column) == text) return;
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text.c_str());
  SendMessageA(list_, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

std::string ListViewRuleList::CellText(int row, int column) const {
  if (row < 0 || row >= RowCount() || column < 0 || column >= kRuleColumnCount) return {};
  // The list copies at most the buffer's size less one; grow until the text fits.
  for (int size = 256; size <= kLongestCellText; size *= 4) {
    std::vector<char> buffer(static_cast<size_t>(size), '\0');
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = size;
    const auto length = static_cast<int>(SendMessageA(
        list_, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
    if (length < size - 1) return std::string(buffer.data(), static_cast<size_t>(length));
  }
  return {};
}

void ListViewRuleList::SetTick(int row, bool ticked) {
  if (row < 0) return;  // -1 would tick every row
  LVITEMA item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
  settingTick_ = true;
  SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  settingTick_ = false;
}

bool ListViewRuleList::Tick(int row) const {
  const auto state = static_cast<UINT>(
      SendMessageA(list_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
  return TickImage(state) == 2;
}

int ListViewRuleList::RowCount() const {
  return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
}

int ListViewRuleList::SelectedRow() const {
  return static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                       MAKELPARAM(LVNI_SELECTED, 0)));
}

}  // namespace derov

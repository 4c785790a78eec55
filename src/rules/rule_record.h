#pragma once
// One monitoring rule in memory, and the fixed table of 99 slots that holds them.

#include <array>
#include <mutex>
#include <string>

namespace derov {

struct RuleRecord {
  std::string name;
  std::string url;            // may hold "{日期}", replaced at every fetch
  int isgbk = 0;              // 1: the body is GBK already; 0: it is UTF-8
  std::string head;           // request header lines; completed in place by the first fetch
  int ispost = 0;
  std::string postdata;
  int plv = 0;                // seconds between two fetches
  int isjiequ = 0;            // 1: watch only the text between before and after
  std::string before;
  std::string after;
  int type = 0;               // 1 page state, 2 keyword, 3 number
  std::string saverule;       // condition code, then the family's operands
  std::string keyword;        // family 2 only
  std::string previousValue;  // val_old at load, then the worker's latest value
  int conditionCode = 0;      // 11..13, 21..23, 31..33
  int isrep = 0;              // 1: remind on every firing cycle; 0: once, then finished
  int ltime = 0;
  int isend = 0;
  int isopen = 0;
  int listRow = -1;           // the rule's row in the main list
  float x = 0;                // family 3 only
  float y = 0;
};

// 99 slots, one per rule number 1..99, living from start to exit. Each slot has its own
// lock: a list reload rewrites a slot while the rule's worker may be using it, so readers
// take a copy and writers change the slot in one locked step, and no text is ever freed
// under a reader.
class RuleTable {
 public:
  static constexpr int kSlotCount = 99;

  static bool HasSlot(int ruleNumber) { return ruleNumber >= 1 && ruleNumber <= kSlotCount; }

  // A copy of the slot's record; an empty record for a number without a slot.
  RuleRecord Read(int ruleNumber) const {
    if (!HasSlot(ruleNumber)) return {};
    const Slot& slot = slots_[ruleNumber - 1];
    std::lock_guard lock(slot.lock);
    return slot.record;
  }

  // What look(record) returns, computed under the slot's lock: for reading a field or two
  // without copying the whole record. A number without a slot gets an empty record.
  template <class Look>
  auto With(int ruleNumber, Look&& look) const {
    if (!HasSlot(ruleNumber)) return look(RuleRecord{});
    const Slot& slot = slots_[ruleNumber - 1];
    std::lock_guard lock(slot.lock);
    return look(slot.record);
  }

  // Runs change(record) under the slot's lock; does nothing for a number without a slot.
  template <class Change>
  void Update(int ruleNumber, Change&& change) {
    if (!HasSlot(ruleNumber)) return;
    Slot& slot = slots_[ruleNumber - 1];
    std::lock_guard lock(slot.lock);
    change(slot.record);
  }

 private:
  struct Slot {
    mutable std::mutex lock;
    RuleRecord record;
  };
  std::array<Slot, kSlotCount> slots_;
};

}  // namespace derov

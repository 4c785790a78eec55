#pragma once
// The rule database: one SQLite connection to derov.sdb, used by one statement or query at
// a time. Texts go in and come out as the program's GBK bytes, never converted.

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;

namespace derov {

// A query's rows, every column read as text (NULL as "").
using QueryRows = std::vector<std::vector<std::string>>;

class RuleDatabase {
 public:
  // What a caller does while another thread holds the database; by default a 20 ms wait
  // that keeps the calling thread's windows alive.
  using WaitStep = std::function<void()>;

  RuleDatabase();
  ~RuleDatabase();
  RuleDatabase(const RuleDatabase&) = delete;
  RuleDatabase& operator=(const RuleDatabase&) = delete;

  // Opens an existing file read-write; never creates a file. A file that is not a
  // database still opens (the engine reads it only on the first query). Closes any
  // connection held before.
  bool Open(const std::string& path);
  bool IsOpen() const;
  void Close();

  // Runs one statement; true when the engine reports success. An empty statement, text
  // behind the first statement, or a closed database give false and run nothing.
  bool ExecuteSql(std::string_view statement);

  // Every row of one query. A query that cannot be prepared or fails while stepping
  // (database closed, file not a database, no such table) gives no rows at all.
  QueryRows Query(std::string_view sql);

  // Holding the database: ExecuteSql and Query take it for their one statement. A holder
  // must not call them itself.
  class Hold {
   public:
    Hold(Hold&& other) noexcept : owner_(std::exchange(other.owner_, nullptr)) {}
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    Hold& operator=(Hold&&) = delete;
    ~Hold() {
      if (owner_) owner_->busy_.clear(std::memory_order_release);
    }

   private:
    friend class RuleDatabase;
    explicit Hold(RuleDatabase* owner) : owner_(owner) {}
    RuleDatabase* owner_;
  };
  // Waits (the wait step, repeatedly) until nobody holds the database, then holds it.
  Hold Take();
  bool IsBusy() const { return busy_.test(std::memory_order_acquire); }

  // Set before other threads use the database.
  void SetWaitStep(WaitStep step) { waitStep_ = std::move(step); }

 private:
  sqlite3* connection_ = nullptr;
  // databaseBusy: taken and tested in one indivisible step.
  std::atomic_flag busy_;
  WaitStep waitStep_;
};

// A text as an SQL string literal: single quotes around it, each single quote inside
// doubled. Every other byte stands as it is.
std::string QuoteSqlText(std::string_view text);

// The statements the program issues against the rule table.
inline constexpr std::string_view kRuleQuery =
    "select id,name,url,isgbk,head,ispost,postdata,plv,isjiequ,before,after,type,saverule,"
    "val_old,isrep,ctime,ltime,isend,isopen from rule where 1 order by id desc";
std::string FinishRuleStatement(int ruleNumber);      // "update rule set isend=1 where id=" + n
std::string DeleteRuleStatement(std::string_view idText);  // "DELETE FROM rule WHERE id = " + id

}  // namespace derov

#pragma once
// Real rule database files for tests: a blank one made from data/schema.sql, and rules
// written into it with every column under the test's control.

#include <optional>
#include <string>

namespace derov::test {

// One stored rule; every value goes in as a quoted text (the column's type turns "7" into
// 7 as an insert would), nullopt as NULL.
struct StoredRule {
  using Value = std::optional<std::string>;
  Value id;  // assigned by the database when absent
  Value name = "方案";
  Value url = "http://127.0.0.1/";
  Value isgbk = "1";
  Value head = "";
  Value ispost = "0";
  Value postdata = "";
  Value plv = "60";
  Value isjiequ = "0";
  Value before = "";
  Value after = "";
  Value type = "1";
  Value saverule = "13";
  Value val_old = "0";
  Value isrep = "1";
  Value ctime = "19/11/27  02:40";
  Value ltime = std::nullopt;
  Value isend = "0";
  Value isopen = "1";
};

// Creates the file at path with the schema; ADD_FAILUREs and returns false on any error.
bool CreateRuleDatabase(const std::string& path);
// Runs statements on the file (not through the program's own code).
bool RunSql(const std::string& path, const std::string& sql);
bool StoreRule(const std::string& path, const StoredRule& rule);

}  // namespace derov::test

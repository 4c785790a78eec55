#include "rules/rule_database.h"

#include <sqlite3.h>

#include <memory>

#include "platform/pumped_wait.h"
#include "rules/sqlite_file_name.h"

namespace derov {
namespace {

constexpr int kBusyWaitMilliseconds = 20;

struct StatementFinaliser {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinaliser>;

// The first statement of sql, or null (with *rest set to the unparsed remainder).
Statement Prepare(sqlite3* connection, std::string_view sql, std::string_view* rest) {
  if (!connection || sql.empty()) return nullptr;
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  const int result = sqlite3_prepare_v2(connection, sql.data(), static_cast<int>(sql.size()),
                                        &raw, &tail);
  Statement statement(raw);
  if (result != SQLITE_OK) return nullptr;
  if (rest) *rest = tail ? sql.substr(static_cast<size_t>(tail - sql.data())) : std::string_view();
  return statement;
}

bool OnlySpaceOrSemicolons(std::string_view text) {
  for (char c : text)
    if (c != ';' && c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  return true;
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
  const auto* text = sqlite3_column_text(statement, column);
  if (!text) return {};
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<size_t>(sqlite3_column_bytes(statement, column)));
}

}  // namespace

RuleDatabase::RuleDatabase() : waitStep_([] { PumpedWait(kBusyWaitMilliseconds, 0); }) {}

RuleDatabase::~RuleDatabase() { Close(); }

bool RuleDatabase::Open(const std::string& path) {
  Hold hold = Take();
  if (connection_) {
    sqlite3_close_v2(connection_);
    connection_ = nullptr;
  }
  if (path.empty()) return false;
  sqlite3* opened = nullptr;
  const int result =
      sqlite3_open_v2(SqliteFileName(path).c_str(), &opened, SQLITE_OPEN_READWRITE, nullptr);
  if (result != SQLITE_OK) {
    sqlite3_close_v2(opened);  // a failed open may still hand back a handle
    return false;
  }
  connection_ = opened;
  return true;
}

bool RuleDatabase::IsOpen() const { return connection_ != nullptr; }

void RuleDatabase::Close() {
  Hold hold = Take();
  if (connection_) sqlite3_close_v2(connection_);
  connection_ = nullptr;
}

RuleDatabase::Hold RuleDatabase::Take() {
  while (busy_.test_and_set(std::memory_order_acquire)) waitStep_();
  return Hold(this);
}

bool RuleDatabase::ExecuteSql(std::string_view statementText) {
  Hold hold = Take();
  std::string_view rest;
  Statement statement = Prepare(connection_, statementText, &rest);
  // Only ever the one statement asked for: text behind it is refused, not run.
  if (!statement || !OnlySpaceOrSemicolons(rest)) return false;
  int result;
  do result = sqlite3_step(statement.get());
  while (result == SQLITE_ROW);
  return result == SQLITE_DONE;
}

QueryRows RuleDatabase::Query(std::string_view sql) {
  Hold hold = Take();
  Statement statement = Prepare(connection_, sql, nullptr);
  if (!statement) return {};
  QueryRows rows;
  const int columns = sqlite3_column_count(statement.get());
  int result;
  while ((result = sqlite3_step(statement.get())) == SQLITE_ROW) {
    auto& row = rows.emplace_back();
    row.reserve(static_cast<size_t>(columns));
    for (int column = 0; column < columns; ++column)
      row.push_back(ColumnText(statement.get(), column));
  }
  if (result != SQLITE_DONE) return {};
  return rows;
}

std::string QuoteSqlText(std::string_view text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') quoted += '\'';
    quoted += c;
  }
  quoted += '\'';
  return quoted;
}

std::string FinishRuleStatement(int ruleNumber) {
  return "update rule set isend=1 where id=" + std::to_string(ruleNumber);
}

std::string DeleteRuleStatement(std::string_view idText) {
  // An id read from the table is a plain integer; anything else (a file edited by other
  // means) is compared as a quoted text rather than run as SQL.
  const bool plain = !idText.empty() &&
                     idText.find_first_not_of("0123456789", idText[0] == '-' ? 1 : 0) ==
                         std::string_view::npos &&
                     idText != "-";
  return "DELETE FROM rule WHERE id = " + (plain ? std::string(idText) : QuoteSqlText(idText));
}

}  // namespace derov

#include "support/rule_database_file.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <sstream>

#include "rules/rule_database.h"
#include "rules/sqlite_file_name.h"
#include "support/temp_folder.h"

namespace derov::test {
namespace {

bool Run(const std::string& path, const std::string& sql, int flags) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(SqliteFileName(path).c_str(), &db, flags, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << path;
    sqlite3_close_v2(db);
    return false;
  }
  char* error = nullptr;
  const bool ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK;
  if (!ok) ADD_FAILURE() << "SQL failed: " << (error ? error : "") << "\n" << sql;
  sqlite3_free(error);
  sqlite3_close_v2(db);
  return ok;
}

std::string Literal(const StoredRule::Value& value) {
  return value ? QuoteSqlText(*value) : "NULL";
}

}  // namespace

bool CreateRuleDatabase(const std::string& path) {
  std::ifstream file(SourceFile("data/schema.sql"));
  std::stringstream schema;
  schema << file.rdbuf();
  if (schema.str().empty()) {
    ADD_FAILURE() << "data/schema.sql not found";
    return false;
  }
  return Run(path, schema.str(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

bool RunSql(const std::string& path, const std::string& sql) {
  return Run(path, sql, SQLITE_OPEN_READWRITE);
}

bool StoreRule(const std::string& path, const StoredRule& r) {
  const std::string sql =
      "insert into rule(id,name,url,isgbk,head,ispost,postdata,plv,isjiequ,before,after,"
      "type,saverule,val_old,isrep,ctime,ltime,isend,isopen) values(" +
      Literal(r.id) + "," + Literal(r.name) + "," + Literal(r.url) + "," + Literal(r.isgbk) +
      "," + Literal(r.head) + "," + Literal(r.ispost) + "," + Literal(r.postdata) + "," +
      Literal(r.plv) + "," + Literal(r.isjiequ) + "," + Literal(r.before) + "," +
      Literal(r.after) + "," + Literal(r.type) + "," + Literal(r.saverule) + "," +
      Literal(r.val_old) + "," + Literal(r.isrep) + "," + Literal(r.ctime) + "," +
      Literal(r.ltime) + "," + Literal(r.isend) + "," + Literal(r.isopen) + ")";
  return RunSql(path, sql);
}

}  // namespace derov::test

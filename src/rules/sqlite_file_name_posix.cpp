#include "rules/sqlite_file_name.h"

namespace derov {

// Native paths are byte strings SQLite passes to the system unchanged.
std::string SqliteFileName(const std::string& path) { return path; }

}  // namespace derov

#pragma once
// SQLite takes file names in UTF-8; the program's paths are ANSI (GBK) on Windows. Without
// this a program folder with a Chinese name would never find its database.

#include <string>

namespace derov {

std::string SqliteFileName(const std::string& path);

}  // namespace derov

#include "store/empty_store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "store/store_connection.h"
#include "store/store_schema.h"

namespace morvalin {
namespace {

std::string CreateTableSql(const TableSpec& table) {
  std::string sql = "CREATE TABLE " + QuoteIdentifier(table.name) + " (" + QuoteIdentifier(kRecordKeyColumn) +
                    " INTEGER PRIMARY KEY";
  for (const FieldSpec& field : table.fields) {
    sql += ", " + QuoteIdentifier(field.name) + (field.kind == FieldKind::kInteger ? " INTEGER" : " TEXT");
  }
  return sql + ");";
}

bool WriteStore(const std::string& path, const std::string& password) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  bool ok =
      password.empty() || sqlite3_key(db, password.data(), static_cast<int>(password.size())) == SQLITE_OK;
  std::string sql = "BEGIN;";
  for (const TableSpec* table : StoreTables()) sql += CreateTableSql(*table);
  sql += "COMMIT;";
  ok = ok && sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  return sqlite3_close(db) == SQLITE_OK && ok;
}

void SyncDirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

EmptyStoreResult CreateEmptyStore(const std::string& path, const std::string& password) {
  struct stat st {};
  if (path.empty()) return EmptyStoreResult::kFailed;
  if (::lstat(path.c_str(), &st) == 0) return EmptyStoreResult::kAlreadyThere;

  const std::string temporary = path + ".new-" + std::to_string(::getpid());
  ::unlink(temporary.c_str());
  if (!WriteStore(temporary, password)) {
    ::unlink(temporary.c_str());
    return EmptyStoreResult::kFailed;
  }
  // link() never replaces an existing name, so a file that appeared meanwhile is kept.
  const int linked = ::link(temporary.c_str(), path.c_str());
  const int link_error = errno;
  ::unlink(temporary.c_str());
  if (linked != 0) return link_error == EEXIST ? EmptyStoreResult::kAlreadyThere : EmptyStoreResult::kFailed;
  SyncDirectoryOf(path);
  return EmptyStoreResult::kCreated;
}

}  // namespace morvalin

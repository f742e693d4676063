#pragma once
// One keyed SQLCipher connection to an existing store file (数据库连接1), shared by the three record
// sets. Every use of the handle holds Lock(): the record sets may be driven from different threads
// (the caller serialises each record set, not the three against each other).
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace morvalin {

class StoreConnection {
 public:
  // Opens the file at `path` (which must already exist: nothing is ever created) and keys it with
  // `password` (no key when the password is empty). Returns nullptr when the file is missing, cannot
  // be opened, the key does not decrypt it, or it fails a quick integrity check.
  static std::shared_ptr<StoreConnection> Open(const std::string& path, const std::string& password);

  ~StoreConnection();
  StoreConnection(const StoreConnection&) = delete;
  StoreConnection& operator=(const StoreConnection&) = delete;

  std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(mutex_); }
  sqlite3* Handle() const { return db_; }
  // True when the file could only be opened for reading (for example a write-protected file).
  bool IsReadOnly() const;
  // Runs one statement without results; false on any error.
  bool Execute(const std::string& sql);

 private:
  explicit StoreConnection(sqlite3* db) : db_(db) {}
  sqlite3* db_;
  std::mutex mutex_;
};

// A prepared statement that finalises itself. Bind indices are 1-based, as in SQLite.
class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool Ok() const { return stmt_ != nullptr; }
  sqlite3_stmt* Get() const { return stmt_; }
  bool BindText(int index, std::string_view utf8);
  bool BindInt(int index, std::int64_t value);
  bool BindNull(int index);
  // One step: SQLITE_ROW, SQLITE_DONE or an error code.
  int Step();

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// "name" with embedded quotes doubled, for table and column names.
std::string QuoteIdentifier(std::string_view name);

}  // namespace morvalin

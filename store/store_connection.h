#pragma once
// One keyed SQLCipher connection to an existing store file (数据库连接1), shared by the three record
// sets. Every use of the handle holds Lock(): the record sets may be driven from different threads
// (the caller serialises each record set, not the three against each other).
#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

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
  // The statement for `sql`, prepared on first use and kept for the connection's life, so that the
  // record sets' reads and saves do not compile the same SQL again on every call; nullptr when it
  // cannot be prepared or the cache is full. Needs Lock(); the caller resets it after use (Statement
  // does).
  sqlite3_stmt* CachedStatement(const std::string& sql);
  // The file's change stamp: the bytes of its header that every committed change rewrites, whichever
  // connection or program commits it. Read straight from the file without a transaction (one read
  // call, where a read transaction costs several lock and file checks), so that values read earlier
  // can be kept while the stamp stays the same. Read before the values it vouches for: a commit that
  // lands in between changes the stamp, and a commit still in progress is one that comes later.
  // Nothing when the file cannot be read. Needs Lock().
  using ChangeStamp = std::array<unsigned char, 16>;
  std::optional<ChangeStamp> ReadChangeStamp();

 private:
  explicit StoreConnection(sqlite3* db) : db_(db) {}
  sqlite3* db_;
  std::mutex mutex_;
  // Keyed by SQL text. The record sets build a bounded set of texts (per table: one read, one delete,
  // one re-read, and an insert and an update per combination of edited fields), so the cap is only a
  // guard against a table with very many columns.
  std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

// A prepared statement for one use. Bind indices are 1-based, as in SQLite.
class Statement {
 public:
  // Prepared for this use alone and finalised at the end.
  Statement(sqlite3* db, const std::string& sql);
  // Taken from the connection's cache (prepared here when the cache cannot keep it) and reset at the
  // end, which also ends the read transaction a step left open. Needs the connection's Lock() for as
  // long as the statement lives.
  Statement(StoreConnection& connection, const std::string& sql);
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
  bool cached_ = false;  // owned by the connection's cache: reset, not finalised
};

// "name" with embedded quotes doubled, for table and column names.
std::string QuoteIdentifier(std::string_view name);

}  // namespace morvalin

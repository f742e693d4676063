#include "store/store_connection.h"

#include <sys/stat.h>

namespace morvalin {
namespace {

// How long a statement waits for a lock held by another connection to the same file.
constexpr int kBusyTimeoutMs = 5000;
// More distinct statements than the record sets ever build; past it statements are prepared per use.
constexpr std::size_t kMaxCachedStatements = 128;

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Reads the schema: the first read that needs the key, so a wrong key or a file that is not a
// database fails here.
bool SchemaReadable(sqlite3* db) {
  Statement stmt(db, "SELECT count(*) FROM sqlite_master");
  return stmt.Ok() && stmt.Step() == SQLITE_ROW;
}

// Walks every page once; SQLCipher checks each page's authentication code on the way.
bool PassesQuickCheck(sqlite3* db) {
  Statement stmt(db, "PRAGMA quick_check(1)");
  if (!stmt.Ok() || stmt.Step() != SQLITE_ROW) return false;
  const unsigned char* text = sqlite3_column_text(stmt.Get(), 0);
  return text != nullptr && std::string_view(reinterpret_cast<const char*>(text)) == "ok";
}

// The compiled statement, or nullptr when `sql` does not compile (or is empty).
sqlite3_stmt* Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return nullptr;
  }
  return stmt;
}

}  // namespace

std::shared_ptr<StoreConnection> StoreConnection::Open(const std::string& path, const std::string& password) {
  if (path.empty() || !IsRegularFile(path)) return nullptr;
  sqlite3* db = nullptr;
  // Without SQLITE_OPEN_CREATE a missing file is an error, never a new empty database.
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  std::shared_ptr<StoreConnection> connection(new StoreConnection(db));
  if (!password.empty() && sqlite3_key(db, password.data(), static_cast<int>(password.size())) != SQLITE_OK) {
    return nullptr;
  }
  if (!SchemaReadable(db) || !PassesQuickCheck(db)) return nullptr;
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // Each saved record reaches the disk before the save returns.
  connection->Execute("PRAGMA synchronous=FULL");
  return connection;
}

StoreConnection::~StoreConnection() {
  // sqlite3_close refuses to close while any statement is still prepared.
  for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
  sqlite3_close(db_);
}

bool StoreConnection::IsReadOnly() const { return sqlite3_db_readonly(db_, "main") != 0; }

bool StoreConnection::Execute(const std::string& sql) {
  return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::optional<StoreConnection::ChangeStamp> StoreConnection::ReadChangeStamp() {
  // Offset 24 holds the file change counter, which every commit rewrites; the file is encrypted from
  // byte 16 on, so these bytes change with any rewrite of the first page.
  constexpr int kStampOffset = 24;
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || file == nullptr ||
      file->pMethods == nullptr) {
    return std::nullopt;
  }
  ChangeStamp stamp{};
  if (file->pMethods->xRead(file, stamp.data(), static_cast<int>(stamp.size()), kStampOffset) != SQLITE_OK) {
    return std::nullopt;
  }
  return stamp;
}

sqlite3_stmt* StoreConnection::CachedStatement(const std::string& sql) {
  if (const auto found = statements_.find(sql); found != statements_.end()) return found->second;
  if (statements_.size() >= kMaxCachedStatements) return nullptr;
  sqlite3_stmt* stmt = Prepare(db_, sql);
  if (stmt != nullptr) statements_.emplace(sql, stmt);
  return stmt;
}

Statement::Statement(StoreConnection& connection, const std::string& sql)
    : stmt_(connection.CachedStatement(sql)), cached_(stmt_ != nullptr) {
  if (!cached_) stmt_ = Prepare(connection.Handle(), sql);
}

Statement::Statement(sqlite3* db, const std::string& sql) : stmt_(Prepare(db, sql)) {}

Statement::~Statement() {
  if (!cached_) {
    sqlite3_finalize(stmt_);
    return;
  }
  // A statement left mid-result would hold its read transaction, and with it a lock other
  // connections' writes wait on; its bound texts are not kept either.
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

bool Statement::BindText(int index, std::string_view utf8) {
  return sqlite3_bind_text(stmt_, index, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT) ==
         SQLITE_OK;
}

bool Statement::BindInt(int index, std::int64_t value) {
  return sqlite3_bind_int64(stmt_, index, value) == SQLITE_OK;
}

bool Statement::BindNull(int index) { return sqlite3_bind_null(stmt_, index) == SQLITE_OK; }

int Statement::Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_MISUSE; }

std::string QuoteIdentifier(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace morvalin

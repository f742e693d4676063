#pragma once
// What a record set holds: the table it is bound to, the table's columns, the snapshot of row ids in
// record order, the current position and the pending edit. Private to the store.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "store/store_connection.h"
#include "store/store_schema.h"
#include "store/task_store.h"

namespace morvalin {

// More records than this in one table is not a file the system wrote; the table is not opened.
inline constexpr std::size_t kMaxRecords = 1 << 20;
// A stored text longer than this many bytes reads as a failed read (empty text).
inline constexpr int kMaxTextBytes = 1 << 20;
// Records whose values a record set keeps at most; past it they are dropped and read again.
inline constexpr std::size_t kMaxLoadedRecords = 1 << 14;

// A field's value as it is stored: UTF-8 text or an integer.
using StoredValue = std::variant<std::string, std::int64_t>;

struct RecordSet::State {
  struct Column {
    std::string name;  // UTF-8
    FieldKind kind;
  };
  using Value = StoredValue;

  std::shared_ptr<StoreConnection> connection;
  std::string table;  // UTF-8
  std::vector<Column> columns;
  std::vector<std::int64_t> rows;  // row ids; while adding, the last entry is the unsaved new record
  std::size_t position = 0;        // == rows.size(): no current record
  bool current_deleted = false;    // the current record was deleted; the next move goes on from here
  bool adding = false;             // the current record is new and not yet saved
  std::vector<std::optional<Value>> pending;  // per column
  // Records' stored values by row id (per column, empty for NULL or an unreadable value), each read
  // in one statement on its first read rather than one statement per field. They hold only while the
  // file's change stamp is `loaded_stamp`: any commit, through this set or any other connection,
  // changes it and so drops them all. Saves, deletions and re-reads drop them as well.
  std::unordered_map<std::int64_t, std::vector<std::optional<Value>>> loaded;
  std::optional<StoreConnection::ChangeStamp> loaded_stamp;
  std::string select_sql;  // reads every column of one record by row id

  bool IsOpen() const { return connection != nullptr; }
  bool HasCurrent() const { return IsOpen() && !current_deleted && position < rows.size(); }
  int ColumnIndex(std::string_view name) const;
  void ClearPending();
  void ForgetLoaded();
  // The current record's value of a field: the pending edit when there is one, else the stored
  // value. Empty when the field holds nothing (NULL, a new record's untouched field) or cannot be
  // read. Needs a current record.
  std::optional<Value> CurrentValue(int column);
  // Saves the pending edit or new record in one statement (one transaction). A failed save is
  // dropped: the record keeps its stored values, and a new record that could not be saved leaves the
  // snapshot.
  void Save();
  // Reads the table's row ids again; false when they cannot be read.
  bool Reload();
  // Binds the set to `table` on `connection`: reads the table's columns and its rows, and makes the
  // first record current. The set is left not open when the table is missing, lacks one of its
  // fields or cannot be read.
  void Bind(std::shared_ptr<StoreConnection> connection, const TableSpec& table);
  void Close();
};

}  // namespace morvalin

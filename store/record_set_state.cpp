#include "store/record_set_state.h"

#include <strings.h>

#include <algorithm>
#include <cctype>

namespace morvalin {
namespace {

// SQLite's own rule: a declared type containing "INT" holds integers.
FieldKind KindOfDeclaredType(std::string_view declared) {
  std::string upper(declared);
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  return upper.find("INT") != std::string::npos ? FieldKind::kInteger : FieldKind::kText;
}

std::string_view ColumnText(sqlite3_stmt* stmt, int index) {
  const unsigned char* text = sqlite3_column_text(stmt, index);
  if (text == nullptr) return {};
  return {reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(stmt, index))};
}

// A result column as a stored value: empty for NULL and for a text too long to be one the system wrote.
std::optional<StoredValue> ColumnValue(sqlite3_stmt* row, int index) {
  switch (sqlite3_column_type(row, index)) {
    case SQLITE_NULL:
      return std::nullopt;
    case SQLITE_INTEGER:
      return StoredValue(static_cast<std::int64_t>(sqlite3_column_int64(row, index)));
    default: {
      const int bytes = sqlite3_column_bytes(row, index);
      if (bytes > kMaxTextBytes) return std::nullopt;
      return StoredValue(std::string(ColumnText(row, index)));
    }
  }
}

bool IsTable(sqlite3* db, const std::string& name) {
  Statement stmt(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
  return stmt.Ok() && stmt.BindText(1, name) && stmt.Step() == SQLITE_ROW;
}

// "?n", the n-th statement parameter.
std::string Placeholder(std::size_t n) {
  std::string place = "?";
  place += std::to_string(n);
  return place;
}

bool BindValue(Statement& stmt, int index, const StoredValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return stmt.BindText(index, *text);
  return stmt.BindInt(index, std::get<std::int64_t>(value));
}

}  // namespace

int RecordSet::State::ColumnIndex(std::string_view name) const {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

void RecordSet::State::ClearPending() {
  for (auto& value : pending) value.reset();
}

void RecordSet::State::ForgetLoaded() {
  loaded.clear();
  loaded_stamp.reset();
}

std::optional<StoredValue> RecordSet::State::CurrentValue(int column) {
  if (pending[column]) return pending[column];
  if (adding) return std::nullopt;
  const std::int64_t row_id = rows[position];
  // The stamp is read before the values it vouches for.
  const std::optional<StoreConnection::ChangeStamp> stamp = connection->ReadChangeStamp();
  if (!stamp || stamp != loaded_stamp || loaded.size() >= kMaxLoadedRecords) ForgetLoaded();
  if (const auto found = loaded.find(row_id); found != loaded.end()) return found->second[column];

  Statement stmt(*connection, select_sql);
  // A record that cannot be read now (gone, or the file busy) is not remembered: each read tries
  // again, as a read of one field would.
  if (!stmt.Ok() || !stmt.BindInt(1, row_id) || stmt.Step() != SQLITE_ROW) return std::nullopt;
  std::vector<std::optional<Value>> values;
  values.reserve(columns.size());
  for (std::size_t i = 0; i < columns.size(); ++i) {
    values.push_back(ColumnValue(stmt.Get(), static_cast<int>(i)));
  }
  if (!stamp) return values[column];  // without a stamp nothing is kept
  loaded_stamp = stamp;
  return loaded.emplace(row_id, std::move(values)).first->second[column];
}

void RecordSet::State::Save() {
  if (!IsOpen()) return;
  std::vector<int> edited;
  for (std::size_t i = 0; i < pending.size(); ++i) {
    if (pending[i]) edited.push_back(static_cast<int>(i));
  }
  // Whatever a save writes (or fails to write), records are read from the file again; a move with
  // nothing to save keeps them.
  if (adding || !edited.empty()) ForgetLoaded();
  sqlite3* db = connection->Handle();
  const std::string quoted_table = QuoteIdentifier(table);

  if (adding) {
    adding = false;
    std::string sql = "INSERT INTO " + quoted_table;
    if (edited.empty()) {
      sql += " DEFAULT VALUES";
    } else {
      std::string names, places;
      for (std::size_t k = 0; k < edited.size(); ++k) {
        if (k > 0) {
          names += ", ";
          places += ", ";
        }
        names += QuoteIdentifier(columns[edited[k]].name);
        places += Placeholder(k + 1);
      }
      sql += " (" + names + ") VALUES (" + places + ")";
    }
    Statement stmt(*connection, sql);
    bool bound = stmt.Ok();
    for (std::size_t k = 0; bound && k < edited.size(); ++k) {
      bound = BindValue(stmt, static_cast<int>(k + 1), *pending[edited[k]]);
    }
    if (bound && stmt.Step() == SQLITE_DONE) {
      rows.back() = sqlite3_last_insert_rowid(db);
    } else {
      rows.pop_back();
    }
    ClearPending();
    return;
  }

  if (edited.empty() || !HasCurrent()) {
    ClearPending();
    return;
  }
  // Only a record whose values really change is written, so that rewriting a field with the value it
  // already holds (as renumbering mostly does) costs no disk write.
  std::string sets, changed;
  for (std::size_t k = 0; k < edited.size(); ++k) {
    const std::string name = QuoteIdentifier(columns[edited[k]].name);
    const std::string place = Placeholder(k + 1);
    if (k > 0) {
      sets += ", ";
      changed += " OR ";
    }
    sets += name + " = " + place;
    changed += name + " IS NOT " + place;
  }
  const std::string row_place = Placeholder(edited.size() + 1);
  Statement stmt(*connection, "UPDATE " + quoted_table + " SET " + sets + " WHERE rowid = " + row_place +
                                  " AND (" + changed + ")");
  bool bound = stmt.Ok();
  for (std::size_t k = 0; bound && k < edited.size(); ++k) {
    bound = BindValue(stmt, static_cast<int>(k + 1), *pending[edited[k]]);
  }
  if (bound && stmt.BindInt(static_cast<int>(edited.size() + 1), rows[position])) stmt.Step();
  ClearPending();
}

bool RecordSet::State::Reload() {
  adding = false;
  current_deleted = false;
  ClearPending();
  ForgetLoaded();
  rows.clear();
  position = 0;
  Statement stmt(*connection, "SELECT rowid FROM " + QuoteIdentifier(table) + " ORDER BY rowid");
  if (!stmt.Ok()) return false;
  int rc;
  while ((rc = stmt.Step()) == SQLITE_ROW) {
    if (rows.size() >= kMaxRecords) return false;
    rows.push_back(sqlite3_column_int64(stmt.Get(), 0));
  }
  return rc == SQLITE_DONE;
}

void RecordSet::State::Bind(std::shared_ptr<StoreConnection> with, const TableSpec& schema) {
  Close();
  if (!with) return;
  auto lock = with->Lock();
  sqlite3* db = with->Handle();
  const std::string name(schema.name);
  if (!IsTable(db, name)) return;

  Statement info(db, "PRAGMA table_info(" + QuoteIdentifier(name) + ")");
  if (!info.Ok()) return;
  std::vector<Column> found;
  int rc;
  while ((rc = info.Step()) == SQLITE_ROW) {
    std::string column(ColumnText(info.Get(), 1));
    const FieldKind kind = KindOfDeclaredType(ColumnText(info.Get(), 2));
    const bool is_row_key = sqlite3_column_int(info.Get(), 5) > 0 &&
                            strcasecmp(std::string(ColumnText(info.Get(), 2)).c_str(), "INTEGER") == 0;
    // The row key is the record order; it is not a field anyone may write.
    if (!is_row_key) found.push_back({std::move(column), kind});
  }
  if (rc != SQLITE_DONE) return;
  for (const FieldSpec& field : schema.fields) {
    const bool present =
        std::any_of(found.begin(), found.end(), [&](const Column& c) { return c.name == field.name; });
    if (!present) return;
  }

  connection = with;
  table = name;
  columns = std::move(found);
  pending.assign(columns.size(), std::nullopt);
  select_sql = "SELECT ";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) select_sql += ", ";
    select_sql += QuoteIdentifier(columns[i].name);
  }
  select_sql += " FROM " + QuoteIdentifier(table) + " WHERE rowid = ?1";
  if (!Reload()) Close();
}

void RecordSet::State::Close() {
  connection.reset();
  table.clear();
  columns.clear();
  rows.clear();
  pending.clear();
  ForgetLoaded();
  select_sql.clear();
  position = 0;
  current_deleted = false;
  adding = false;
}

}  // namespace morvalin

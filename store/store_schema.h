#pragma once
// The three tables of the task store and the fields each must have. The store opens a table only when
// every field listed here is present; the empty-store tool creates the tables from the same list.
#include <span>
#include <string_view>

namespace morvalin {

enum class FieldKind { kText, kInteger };

struct FieldSpec {
  std::string_view name;  // UTF-8
  FieldKind kind;
};

struct TableSpec {
  std::string_view name;  // UTF-8
  std::span<const FieldSpec> fields;
};

const TableSpec& PendingTasksTable();  // 下载记录
const TableSpec& SettingsTable();      // 设置记录
const TableSpec& FinishedTable();      // 完成下载

// All three, in the order of 记录集1, 记录集2, 记录集3.
std::span<const TableSpec* const> StoreTables();

// The column that keeps records in insertion order (an alias of SQLite's rowid).
inline constexpr std::string_view kRecordKeyColumn = "id";

}  // namespace morvalin

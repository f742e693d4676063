#pragma once
// The task store: an SQLCipher database file beside the program with three tables, read and written
// through record sets that behave like the static, optimistic record sets the system was designed on.
//
//   记录集1 -> table 下载记录 (pending tasks: 文件完整地址, 下载文件名, 下载路径, 歌曲来源 text; 编号 int)
//   记录集2 -> table 设置记录 (settings: 下载速度, 下载路径 text; 自动下载 int)
//   记录集3 -> table 完成下载 (finished: 文件名, 完成时间, 歌曲来源, 下载目录 text)
//
// Contract:
// - Record order is insertion order. A record set is a snapshot with a current record.
// - Writes are a pending edit of the current record, saved (one transaction) by the next move.
//   AddRecord returns 1 and makes a new pending record current, saved by the next move.
//   DeleteCurrentRecord saves at once; DeleteAllRecords empties the table and re-reads.
// - Moving past the last record leaves no current record.
// - Texts are code-page-936 byte strings for the caller and UTF-8 in the file. Field and table names
//   are given in UTF-8 (they are names in the source, not system texts).
// - Nothing throws and nothing shows a message. A record set that is not open: RecordCount -1, reads
//   empty, ReadInt leaves its variable, AddRecord not 1, writes, moves and deletions do nothing.
// - GoToRecord outside 0..RecordCount-1 leaves no current record (it never keeps the old one).
// - After DeleteCurrentRecord there is no current record; the next MoveNext goes on to the record
//   that followed the deleted one.
// - A save that fails (full disk, write-protected file) is dropped without a message: the record keeps
//   what was saved before, and a new record that could not be saved leaves the record set. On a
//   write-protected file AddRecord returns 0 at once.
// - A field the table lacks makes that one read or write fail. A text that is not a whole 32-bit
//   number written to an integer field is not written; ReadInt converts a text field holding one.
// - A record set is used from one thread at a time (the caller serialises); the three may be used
//   from different threads, as they share the one connection under a lock.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace morvalin {

class StoreConnection;  // one SQLCipher connection (数据库连接1)

class RecordSet {
 public:
  RecordSet();
  ~RecordSet();
  RecordSet(const RecordSet&) = delete;
  RecordSet& operator=(const RecordSet&) = delete;

  bool IsOpen() const;
  int RecordCount();
  void GoToRecord(int n);  // 0-based
  void MoveFirst();
  void MoveNext();
  std::string ReadText(std::string_view field);
  void ReadInt(std::string_view field, std::int32_t& value);
  void WriteField(std::string_view field, std::string_view text);
  void WriteField(std::string_view field, std::int32_t value);
  int AddRecord();
  void DeleteCurrentRecord();
  void DeleteAllRecords();

 private:
  friend class TaskStore;
  struct State;
  std::unique_ptr<State> state_;
};

class TaskStore {
 public:
  TaskStore();
  ~TaskStore();
  TaskStore(const TaskStore&) = delete;
  TaskStore& operator=(const TaskStore&) = delete;

  // Connects to `path` keyed with `password` and opens the three tables. A missing file, a wrong
  // password or a damaged file (one that fails SQLite's quick check) leaves all three not open; a
  // missing table, or a table lacking one of its fields, leaves that record set not open. Each record
  // set starts on its first record. The store never creates the file.
  void OpenStore(const std::string& path, const std::string& password);

  RecordSet 记录集1;  // 下载记录
  RecordSet 记录集2;  // 设置记录
  RecordSet 记录集3;  // 完成下载

 private:
  std::shared_ptr<StoreConnection> connection_;
};

// The store password the delivered file is keyed with.
inline constexpr std::string_view kStorePassword = "vortigand";

// Rewrites 编号 of every 下载记录 record to 1..n in record order (starts with MoveFirst, which also
// saves a pending edit or new record).
void RenumberPendingRecords(RecordSet& 记录集1);

}  // namespace morvalin

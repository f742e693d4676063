// The task store's record operations against plain SQLite statements on a keyed file with the same
// durability (synchronous=FULL, one transaction per save), in the same run:
//   create  - N new tasks, each AddRecord + four WriteField + RenumberPendingRecords, against one
//             INSERT per task (the least a durable save of each task costs);
//   remove  - removing the first task and renumbering the rest, against one UPDATE per record that
//             changes its number;
//   poll    - GoToRecord + two ReadText per task, against one SELECT per task.
// Usage: store_bench [TASKS]
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/code_page.h"
#include "store/empty_store.h"
#include "store/task_store.h"

namespace {

using Clock = std::chrono::steady_clock;
using morvalin::Gbk;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string FreshStore(const std::string& dir, const char* name) {
  const std::string path = dir + "/" + name;
  ::unlink(path.c_str());
  morvalin::CreateEmptyStore(path, std::string(morvalin::kStorePassword));
  return path;
}

struct Times {
  double create = 0, remove = 0, poll = 0;
};

Times RunStore(const std::string& path, int tasks) {
  Times t;
  morvalin::TaskStore store;
  store.OpenStore(path, std::string(morvalin::kStorePassword));
  morvalin::RecordSet& set = store.记录集1;
  Clock::time_point start = Clock::now();
  for (int i = 0; i < tasks; ++i) {
    if (set.AddRecord() != 1) std::exit(1);
    set.WriteField("文件完整地址", "http://media.sitea.example/m/" + std::to_string(i) + ".mp3");
    set.WriteField("下载文件名", Gbk("舞曲 ") + std::to_string(i) + ".mp3");
    set.WriteField("下载路径", Gbk("/home/u/DJ舞曲/"));
    set.WriteField("歌曲来源", "sitea.example");
    morvalin::RenumberPendingRecords(set);
  }
  t.create = SecondsSince(start);
  start = Clock::now();
  set.GoToRecord(0);
  set.DeleteCurrentRecord();
  morvalin::RenumberPendingRecords(set);
  t.remove = SecondsSince(start);
  start = Clock::now();
  std::size_t bytes = 0;
  for (int i = 0; i < set.RecordCount(); ++i) {
    set.GoToRecord(i);
    bytes += set.ReadText("下载文件名").size() + set.ReadText("歌曲来源").size();
  }
  t.poll = SecondsSince(start);
  if (bytes == 0) std::exit(1);
  return t;
}

void Exec(sqlite3* db, const std::string& sql) {
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) std::exit(1);
}

Times RunPlain(const std::string& path, int tasks) {
  Times t;
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  sqlite3_key(db, morvalin::kStorePassword.data(), static_cast<int>(morvalin::kStorePassword.size()));
  Exec(db, "PRAGMA synchronous=FULL");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(
      db,
      "INSERT INTO 下载记录 (文件完整地址, 下载文件名, 下载路径, 歌曲来源, 编号) VALUES (?1, ?2, ?3, ?4, ?5)",
      -1, &insert, nullptr);
  Clock::time_point start = Clock::now();
  for (int i = 0; i < tasks; ++i) {
    const std::string url = "http://media.sitea.example/m/" + std::to_string(i) + ".mp3";
    const std::string name = "舞曲 " + std::to_string(i) + ".mp3";
    sqlite3_bind_text(insert, 1, url.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, "/home/u/DJ舞曲/", -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 4, "sitea.example", -1, SQLITE_STATIC);
    sqlite3_bind_int(insert, 5, i + 1);
    if (sqlite3_step(insert) != SQLITE_DONE) std::exit(1);
    sqlite3_reset(insert);
  }
  t.create = SecondsSince(start);
  sqlite3_finalize(insert);
  start = Clock::now();
  Exec(db, "DELETE FROM 下载记录 WHERE rowid = (SELECT min(rowid) FROM 下载记录)");
  for (int i = 1; i < tasks; ++i) {
    Exec(db, "UPDATE 下载记录 SET 编号 = " + std::to_string(i) + " WHERE 编号 = " + std::to_string(i + 1));
  }
  t.remove = SecondsSince(start);
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(db, "SELECT 下载文件名, 歌曲来源 FROM 下载记录 WHERE 编号 = ?1", -1, &select, nullptr);
  start = Clock::now();
  std::size_t bytes = 0;
  for (int i = 1; i < tasks; ++i) {
    sqlite3_bind_int(select, 1, i);
    if (sqlite3_step(select) == SQLITE_ROW) {
      bytes += morvalin::Utf8ToGbk(reinterpret_cast<const char*>(sqlite3_column_text(select, 0))).size() +
               static_cast<std::size_t>(sqlite3_column_bytes(select, 1));
    }
    sqlite3_reset(select);
  }
  t.poll = SecondsSince(start);
  sqlite3_finalize(select);
  sqlite3_close(db);
  if (bytes == 0) std::exit(1);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  const int tasks = argc > 1 ? std::max(2, std::atoi(argv[1])) : 100;
  char pattern[] = "/tmp/morvalin-store-bench-XXXXXX";
  const char* dir = ::mkdtemp(pattern);
  if (dir == nullptr) return 1;
  const Times plain = RunPlain(FreshStore(dir, "plain.mdb"), tasks);
  const Times store = RunStore(FreshStore(dir, "store.mdb"), tasks);
  std::printf("tasks: %d\n", tasks);
  std::printf("create: store %.3f s, plain SQLite %.3f s, ratio %.2fx\n", store.create, plain.create,
              store.create / plain.create);
  std::printf("remove first + renumber: store %.3f s, plain SQLite %.3f s, ratio %.2fx\n", store.remove,
              plain.remove, store.remove / plain.remove);
  std::printf("poll reads: store %.4f s, plain SQLite %.4f s, ratio %.2fx\n", store.poll, plain.poll,
              store.poll / plain.poll);
  ::unlink((std::string(dir) + "/plain.mdb").c_str());
  ::unlink((std::string(dir) + "/store.mdb").c_str());
  ::rmdir(dir);
  return 0;
}

// One poll tick and one restore over N tasks, for N = 100 and N = 1000:
//   tick     - PollTasks with every task downloading, on the in-memory window and on the real main
//              window (offscreen), against the bare work a tick cannot avoid: one engine query plus
//              GoToRecord and two ReadText per task;
//   restore  - RestoreSavedState of N pending and N finished records, against GoToRecord and the
//              ReadText calls of those records alone.
// Goals: a tick under 20 ms and a restore under 1 s at 1000 tasks, both growing linearly.
#include <sqlite3.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/global_objects.h"
#include "app/main_window.h"
#include "engine/fake_engine.h"
#include "engine/record_layout.h"
#include "engine/task_records.h"
#include "platform/code_page.h"
#include "store/empty_store.h"
#include "store/task_store.h"
#include "tasks/memory_task_window.h"
#include "tasks/task_table.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace morvalin;

double MillisecondsOf(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The median of `rounds` runs.
double Median(int rounds, const std::function<double()>& run) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) times.push_back(run());
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

std::string Name(int i) { return Gbk("舞曲 ") + std::to_string(i) + ".mp3"; }

// A store file with `count` pending and `count` finished records, written in one transaction.
std::string StoreWith(const std::string& directory, int count) {
  const std::string path = directory + "/Data-" + std::to_string(count) + ".mdb";
  ::unlink(path.c_str());
  CreateEmptyStore(path, std::string(kStorePassword));
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_key(db, kStorePassword.data(), static_cast<int>(kStorePassword.size()));
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* pending = nullptr;
  sqlite3_prepare_v2(
      db, "INSERT INTO 下载记录 (文件完整地址, 下载文件名, 下载路径, 歌曲来源, 编号) VALUES (?, ?, ?, ?, ?)",
      -1, &pending, nullptr);
  sqlite3_stmt* finished = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO 完成下载 (文件名, 完成时间, 歌曲来源, 下载目录) VALUES (?, ?, ?, ?)",
                     -1, &finished, nullptr);
  for (int i = 0; i < count; ++i) {
    const std::string url = "http://media.sitea.example/dj/" + std::to_string(i) + ".mp3";
    const std::string name = GbkToUtf8(Name(i));
    sqlite3_bind_text(pending, 1, url.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(pending, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(pending, 3, "/home/dj/DJ舞曲/", -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(pending, 4, "sitea.example", -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(pending, 5, i + 1);
    sqlite3_step(pending);
    sqlite3_reset(pending);
    sqlite3_bind_text(finished, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(finished, 2, "2016年5月12日7时34分10秒", -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(finished, 3, "sitea.example", -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(finished, 4, "/home/dj/DJ舞曲/", -1, SQLITE_TRANSIENT);
    sqlite3_step(finished);
    sqlite3_reset(finished);
  }
  sqlite3_finalize(pending);
  sqlite3_finalize(finished);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return path;
}

// A task table over the fake engine, the in-memory window and a store opened on `path`.
struct MemoryTable {
  struct NoConverter : FlvConverter {
    void ConvertFlvDownload(std::string_view) override {}
  };
  explicit MemoryTable(const std::string& path) { store.OpenStore(path, std::string(kStorePassword)); }

  test::FakeEngine engine;
  GlobalObjects globals;
  TaskStore store;
  MemoryTaskWindow window;
  NoConverter converter;
  TaskTable table{
      engine,   globals.task_param_block, globals.task_info_block, globals.task_handle_list, store, window,
      converter};
};

struct Figures {
  double tick_memory = 0, tick_window = 0, tick_baseline = 0;
  double restore = 0, restore_baseline = 0;
};

// Every task reports "downloading" under its stored name, so a tick visits them all and writes nothing.
void ReportAllDownloading(test::FakeEngine& engine, const TaskHandleList& handles) {
  for (std::size_t i = 0; i < handles.size(); ++i) {
    test::FakeEngine::TaskState state;
    state.stat = layout::kStatDownloading;
    state.szFilename = Name(static_cast<int>(i));
    state.nSpeed = 120000 + static_cast<int>(i);
    state.fPercent = 0.4567f;
    state.nTotalDownload = 3407872;
    state.nTotalSize = 5242880;
    engine.SetTaskState(handles[i], state);
  }
}

Figures Measure(const std::string& directory, int count) {
  constexpr int kRounds = 15;
  Figures figures;
  const std::string path = StoreWith(directory, count);

  // Restore, and the ticks, on the in-memory window.
  {
    figures.restore = Median(5, [&] {
      MemoryTable memory(path);
      return MillisecondsOf([&] { memory.table.RestoreSavedState(); });
    });
    figures.restore_baseline = Median(5, [&] {
      TaskStore store;
      store.OpenStore(path, std::string(kStorePassword));
      return MillisecondsOf([&] {
        const int pending = store.记录集1.RecordCount();
        for (int i = 0; i < pending; ++i) {
          store.记录集1.GoToRecord(i);
          store.记录集1.ReadText("文件完整地址");
          store.记录集1.ReadText("下载文件名");
          store.记录集1.ReadText("下载路径");
        }
        const int finished = store.记录集3.RecordCount();
        for (int i = 0; i < finished; ++i) {
          store.记录集3.GoToRecord(i);
          store.记录集3.ReadText("文件名");
          store.记录集3.ReadText("完成时间");
          store.记录集3.ReadText("歌曲来源");
          store.记录集3.ReadText("下载目录");
        }
      });
    });

    MemoryTable memory(path);
    TaskTable& table = memory.table;
    test::FakeEngine& engine = memory.engine;
    GlobalObjects& globals = memory.globals;
    TaskStore& store = memory.store;
    table.RestoreSavedState();
    ReportAllDownloading(engine, globals.task_handle_list);
    table.PollTasks();  // the first tick fills the source column
    figures.tick_memory = Median(kRounds, [&] { return MillisecondsOf([&] { table.PollTasks(); }); });
    figures.tick_baseline = Median(kRounds, [&] {
      return MillisecondsOf([&] {
        for (std::size_t i = 0; i < globals.task_handle_list.size(); ++i) {
          engine.XL_QueryTaskInfoEx(globals.task_handle_list[i], globals.task_info_block.BlockAddress());
          store.记录集1.GoToRecord(static_cast<int>(i));
          store.记录集1.ReadText("下载文件名");
          store.记录集1.ReadText("歌曲来源");
        }
      });
    });
  }

  // The ticks on the real main window, offscreen.
  {
    const std::string run = directory + "/run-" + std::to_string(count);
    std::filesystem::create_directories(run + "/data");
    std::filesystem::copy_file(path, run + "/data/Data.mdb",
                               std::filesystem::copy_options::overwrite_existing);
    test::FakeEngine engine;
    GlobalObjects globals;
    MainWindow window(globals, engine, run);
    window.OnMainWindowCreated();
    window.show();
    QApplication::processEvents();
    ReportAllDownloading(engine, globals.task_handle_list);
    window.Tasks().PollTasks();
    figures.tick_window =
        Median(kRounds, [&] { return MillisecondsOf([&] { window.Tasks().PollTasks(); }); });
    window.close();
  }
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  char pattern[] = "/tmp/morvalin-tasks-bench-XXXXXX";
  const std::string directory = mkdtemp(pattern);

  const Figures small = Measure(directory, 100);
  const Figures large = Measure(directory, 1000);
  std::filesystem::remove_all(directory);

  std::printf("%-34s %12s %12s %10s\n", "", "100 tasks", "1000 tasks", "growth");
  auto row = [](const char* what, double a, double b) {
    std::printf("%-34s %9.2f ms %9.2f ms %9.1fx\n", what, a, b, b / a);
  };
  row("tick, in-memory window", small.tick_memory, large.tick_memory);
  row("tick, main window (offscreen)", small.tick_window, large.tick_window);
  row("tick baseline (queries + reads)", small.tick_baseline, large.tick_baseline);
  row("restore", small.restore, large.restore);
  row("restore baseline (record reads)", small.restore_baseline, large.restore_baseline);
  std::printf("ratio to baseline at 1000 tasks: tick %.2fx (main window %.2fx), restore %.2fx\n",
              large.tick_memory / large.tick_baseline, large.tick_window / large.tick_baseline,
              large.restore / large.restore_baseline);
  std::printf(
      "goals at 1000 tasks: tick < 20 ms: %s (main window %s); restore < 1000 ms: %s; growth 10x is linear\n",
      large.tick_memory < 20 ? "met" : "missed", large.tick_window < 20 ? "met" : "missed",
      large.restore < 1000 ? "met" : "missed");
  return 0;
}

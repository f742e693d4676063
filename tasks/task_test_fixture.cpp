#include "tasks/task_test_fixture.h"

#include <QCoreApplication>
#include <random>

#include "store/empty_store.h"

namespace morvalin::test {

void EnsureCoreApplication() {
  static int argc = 1;
  static char name[] = "tasks_test";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
}

ScratchDirectory::ScratchDirectory() {
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() /
          ("morvalin-tasks-" + std::to_string(random()) + "-" + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string MakeEmptyStore(const std::filesystem::path& directory) {
  const std::string path = (directory / "Data.mdb").string();
  std::filesystem::remove(path);
  CreateEmptyStore(path, std::string(kStorePassword));
  return path;
}

TaskTableTest::TaskTableTest() : table_(engine_, param_, info_, handles_, store_, window_, converter_) {
  window_.speed_text = "9999";
  window_.directory_text = Gbk("/home/dj/DJ舞曲/");
  std::tm fixed{};
  fixed.tm_year = 2016 - 1900;
  fixed.tm_mon = 4;
  fixed.tm_mday = 12;
  fixed.tm_hour = 7;
  fixed.tm_min = 34;
  fixed.tm_sec = 10;
  table_.SetClock([fixed] { return fixed; });
}

void TaskTableTest::OpenStore() {
  store_.OpenStore(MakeEmptyStore(scratch_.Path()), std::string(kStorePassword));
  ASSERT_TRUE(store_.记录集1.IsOpen());
  ASSERT_TRUE(store_.记录集2.IsOpen());
  ASSERT_TRUE(store_.记录集3.IsOpen());
}

void TaskTableTest::CreateTask(const std::string& url, const std::string& name, const std::string& directory,
                               const std::string& source) {
  table_.AppendTask(Gbk(url), Gbk(name), Gbk(directory));
  RecordSet& pending = table_.Pending();
  if (pending.AddRecord() == 1) {
    pending.WriteField("文件完整地址", Gbk(url));
    pending.WriteField("下载文件名", Gbk(name));
    pending.WriteField("下载路径", Gbk(directory));
    pending.WriteField("歌曲来源", Gbk(source));
    RenumberPendingRecords(pending);
  }
}

void TaskTableTest::Report(int position, std::int32_t stat, const std::string& name, std::int32_t speed,
                           float percent, std::int64_t received, std::int64_t size) {
  FakeEngine::TaskState state;
  state.stat = stat;
  state.szFilename = Gbk(name);
  state.nSpeed = speed;
  state.fPercent = percent;
  state.nTotalDownload = received;
  state.nTotalSize = size;
  engine_.SetTaskState(handles_.at(static_cast<std::size_t>(position)), state);
}

namespace {
std::vector<std::string> RowTexts(const TaskListView& list, int row, int columns) {
  std::vector<std::string> texts;
  for (int column = 0; column < columns; ++column) texts.push_back(GbkToUtf8(list.CellText(row, column)));
  return texts;
}
}  // namespace

std::vector<std::string> TaskTableTest::DownloadRow(int row) {
  return RowTexts(window_.download_list, row, 6);
}
std::vector<std::string> TaskTableTest::FinishedRow(int row) {
  return RowTexts(window_.finished_list, row, 4);
}

std::vector<std::pair<std::string, int>> TaskTableTest::PendingNames() {
  std::vector<std::pair<std::string, int>> result;
  RecordSet& pending = table_.Pending();
  const int count = pending.RecordCount();
  for (int i = 0; i < count; ++i) {
    pending.GoToRecord(i);
    std::int32_t number = 0;
    pending.ReadInt("编号", number);
    result.emplace_back(GbkToUtf8(pending.ReadText("下载文件名")), number);
  }
  return result;
}

}  // namespace morvalin::test

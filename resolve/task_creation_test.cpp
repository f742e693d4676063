// Task creation against a real store file (a copy of the delivered empty store) and a fake engine that
// records the calls.
#include "resolve/task_creation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/fake_engine.h"
#include "engine/task_records.h"
#include "platform/code_page.h"
#include "store/task_store.h"
#include "tasks/memory_task_window.h"
#include "tasks/task_table.h"

namespace morvalin {
namespace {

namespace fs = std::filesystem;

class NoConversion : public FlvConverter {
 public:
  void ConvertFlvDownload(std::string_view) override {}
};

struct PendingRecord {
  std::string url, name, directory, source;
  std::int32_t number = 0;
  bool operator==(const PendingRecord&) const = default;
};

std::vector<PendingRecord> ReadPendingRecords(RecordSet& records) {
  std::vector<PendingRecord> out;
  const int count = records.RecordCount();
  for (int i = 0; i < count; ++i) {
    records.GoToRecord(i);
    PendingRecord r{records.ReadText("文件完整地址"), records.ReadText("下载文件名"),
                    records.ReadText("下载路径"), records.ReadText("歌曲来源")};
    records.ReadInt("编号", r.number);
    out.push_back(r);
  }
  return out;
}

class TaskCreationTest : public ::testing::Test {
 protected:
  TaskCreationTest() {
    char pattern[] = "/tmp/task_creation_XXXXXX";
    dir_ = mkdtemp(pattern);
    store_path_ = dir_ + "/Data.mdb";
    fs::copy_file(std::string(MORVALIN_RUN_DIR) + "/data/Data.mdb", store_path_);
    window_.directory_text = Gbk("/music/DJ舞曲/");
  }
  ~TaskCreationTest() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  void OpenStore() { store_.OpenStore(store_path_, std::string(kStorePassword)); }

  std::string dir_, store_path_;
  test::FakeEngine engine_;
  TaskParamBlock param_block_;
  TaskInfoBlock info_block_;
  TaskHandleList handles_;
  TaskStore store_;
  MemoryTaskWindow window_;
  NoConversion converter_;
  TaskTable table_{engine_, param_block_, info_block_, handles_, store_, window_, converter_};
};

TEST_F(TaskCreationTest, EachItemBecomesARunningTaskWithARowAndASavedNumberedRecord) {
  OpenStore();
  ASSERT_TRUE(table_.Pending().IsOpen());
  const std::string dir = Gbk("/music/DJ舞曲/");
  const std::string title = Gbk("舞曲一号.mp3");
  // The same item twice: nothing removes duplicates.
  CreateResolvedTask(table_, "http://m.example/1.mp3", title, dir, "sited.example");
  CreateResolvedTask(table_, "http://m.example/1.mp3", title, dir, "sited.example");

  EXPECT_EQ(engine_.CallsExceptQueries(),
            (std::vector<std::string>{"XL_CreateTask", "XL_StartTask 1", "XL_CreateTask", "XL_StartTask 2"}));
  const auto created = engine_.CreatedTasks();
  ASSERT_EQ(created.size(), 2u);
  EXPECT_EQ(created[1].szTaskUrl, "http://m.example/1.mp3");
  EXPECT_EQ(created[1].szFilename, title);
  EXPECT_EQ(created[1].szSavePath, dir);
  EXPECT_EQ(created[1].szRefUrl, "");
  EXPECT_EQ(created[1].szCookies, "");
  EXPECT_FALSE(created[1].IsOnlyOriginal);
  EXPECT_TRUE(created[1].DisableAutoRename);
  EXPECT_TRUE(created[1].IsResume);
  EXPECT_EQ(handles_, (TaskHandleList{1, 2}));
  ASSERT_EQ(window_.download_list.RowCount(), 2);
  EXPECT_EQ(window_.download_list.CellText(1, kColName), title);
  EXPECT_EQ(window_.timer_period, 1000);

  // What another run of the program finds in the file.
  TaskStore reopened;
  reopened.OpenStore(store_path_, std::string(kStorePassword));
  const PendingRecord expected{"http://m.example/1.mp3", title, dir, "sited.example", 0};
  auto first = expected, second = expected;
  first.number = 1;
  second.number = 2;
  EXPECT_EQ(ReadPendingRecords(reopened.记录集1), (std::vector<PendingRecord>{first, second}));
}

TEST_F(TaskCreationTest, WithoutAStoreTheTaskStillRunsAndIsListed) {
  CreateResolvedTask(table_, "http://m.example/2.mp3", "two.mp3", "/nowhere/", "siteh.example");
  EXPECT_EQ(engine_.CallsExceptQueries(), (std::vector<std::string>{"XL_CreateTask", "XL_StartTask 1"}));
  EXPECT_EQ(window_.download_list.RowCount(), 1);
  EXPECT_EQ(table_.Pending().RecordCount(), -1);
}

TEST(SplitResolvedItemTest, CutsAtEveryBar) {
  struct Case {
    std::string item;
    ResolvedItemFields fields;
  };
  const std::vector<Case> cases = {
      {"http://m/1.mp3|one.mp3|sited.example", {"http://m/1.mp3", "one.mp3", "sited.example"}},
      // A title holding "|" shortens the file name; its next piece becomes the source label.
      {"http://m/1.mp3|a|b.mp3|sited.example", {"http://m/1.mp3", "a", "b.mp3"}},
      {"|.mp3|sitec.example", {"", ".mp3", "sitec.example"}},
      {"http://m/1.mp3||sited.example", {"http://m/1.mp3", "", "sited.example"}},
      {"only-a-url", {"only-a-url", "", ""}},
  };
  for (const Case& c : cases) {
    const ResolvedItemFields got = SplitResolvedItem(c.item);
    EXPECT_EQ(got.media_url, c.fields.media_url) << c.item;
    EXPECT_EQ(got.file_name, c.fields.file_name) << c.item;
    EXPECT_EQ(got.host_key, c.fields.host_key) << c.item;
  }
}

}  // namespace
}  // namespace morvalin

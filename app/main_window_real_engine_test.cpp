// The program's window over the real engine library: a task restored from the store downloads from a
// fixture server while the window's own timer polls it, and ends in the finished list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QTreeWidget>
#include <filesystem>

#include "app/global_objects.h"
#include "app/main_window.h"
#include "engine/engine_binding.h"
#include "platform/code_page.h"
#include "platform/file_ops.h"
#include "store/empty_store.h"
#include "tasks/task_test_fixture.h"
#include "testsupport/fixture_server.h"

namespace morvalin::test {
namespace {

TEST(MainWindowRealEngine, RestoredTaskDownloadsUnderTheTimerAndFinishes) {
  static int argc = 1;
  static char name[] = "app_test";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance() == nullptr) new QApplication(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  ScratchDirectory run;
  FixtureServer server;
  std::string track(300 * 1024, '\0');
  for (std::size_t i = 0; i < track.size(); ++i) track[i] = static_cast<char>(i * 7);
  server.ServeData("/media/restored.mp3", track);
  const std::string music = (run.Path() / "music").string() + "/";
  std::filesystem::create_directories(music);
  {
    std::filesystem::create_directories(run.Path() / "data");
    const std::string path = (run.Path() / "data" / "Data.mdb").string();
    CreateEmptyStore(path, std::string(kStorePassword));
    TaskStore store;
    store.OpenStore(path, std::string(kStorePassword));
    RecordSet& settings = store.记录集2;
    ASSERT_EQ(settings.AddRecord(), 1);
    settings.WriteField("下载速度", "9999");
    settings.WriteField("下载路径", Utf8ToGbk(music));
    settings.WriteField("自动下载", 1);
    settings.MoveNext();
    RecordSet& pending = store.记录集1;
    ASSERT_EQ(pending.AddRecord(), 1);
    pending.WriteField("文件完整地址", server.Url("/media/restored.mp3"));
    pending.WriteField("下载文件名", "restored.mp3");
    pending.WriteField("下载路径", Utf8ToGbk(music));
    pending.WriteField("歌曲来源", "sitea.example");
    RenumberPendingRecords(pending);
  }

  DlopenEngine engine(std::string(MORVALIN_RUN_DIR) + "/p2p.so");
  GlobalObjects globals;
  MainWindow window(globals, engine, run.Path().string());
  window.OnMainWindowCreated();
  window.show();
  EXPECT_EQ(window.TimerPeriod(), 1000);
  EXPECT_TRUE(window.选择框1->isChecked());

  QDeadlineTimer deadline(90000);
  while (window.完成列表框->topLevelItemCount() == 0 && !deadline.hasExpired()) {
    QApplication::processEvents(QEventLoop::AllEvents, 100);
  }
  ASSERT_EQ(window.完成列表框->topLevelItemCount(), 1);
  EXPECT_EQ(window.完成列表框->topLevelItem(0)->text(0), "restored.mp3");
  EXPECT_EQ(window.完成列表框->topLevelItem(0)->text(2), "sitea.example");
  EXPECT_EQ(window.下载列表框->topLevelItemCount(), 0);
  EXPECT_EQ(window.Store().记录集1.RecordCount(), 0);
  EXPECT_EQ(window.Store().记录集3.RecordCount(), 1);
  EXPECT_EQ(ReadWholeFile(music + "restored.mp3"), track);

  window.close();
  EXPECT_FALSE(FileExists(window.ConverterFile()));
}

}  // namespace
}  // namespace morvalin::test

#include "app/main_window.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "app/global_objects.h"
#include "engine/fake_engine.h"
#include "engine/record_layout.h"
#include "platform/code_page.h"
#include "platform/file_ops.h"
#include "store/empty_store.h"
#include "tasks/task_test_fixture.h"

namespace morvalin::test {
namespace {

using Strings = std::vector<std::string>;

QApplication& App() {
  static int argc = 1;
  static char name[] = "app_test";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance() == nullptr) {
    new QApplication(argc, argv);
    // Windows closed by one test must not end the event loops of the next one.
    QApplication::setQuitOnLastWindowClosed(false);
  }
  return *static_cast<QApplication*>(QApplication::instance());
}

// Answers the next message box that opens with `button`, and tells what it showed.
struct MessageBoxSeen {
  QString title;
  QString text;
  bool seen = false;
};
void AnswerNextMessageBox(QMessageBox::StandardButton button, MessageBoxSeen& seen) {
  auto* timer = new QTimer();
  QObject::connect(timer, &QTimer::timeout, [timer, button, &seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen = {box->windowTitle(), box->text(), true};
    timer->stop();
    timer->deleteLater();
    box->button(button)->click();
  });
  timer->start(10);
}

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() { App(); }

  void Start() {
    window_ = std::make_unique<MainWindow>(globals_, engine_, scratch_.Path().string());
    window_->OnMainWindowCreated();
    window_->show();
  }
  // A store file in the run directory, prepared before the start.
  RecordSet& PrepareStore(TaskStore& store) {
    std::filesystem::create_directories(scratch_.Path() / "data");
    const std::string path = (scratch_.Path() / "data" / "Data.mdb").string();
    CreateEmptyStore(path, std::string(kStorePassword));
    store.OpenStore(path, std::string(kStorePassword));
    return store.记录集1;
  }

  ScratchDirectory scratch_;
  FakeEngine engine_;
  GlobalObjects globals_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, FirstStartWithoutStoreWritesTheConverterAndInitialisesTheEngine) {
  Start();
  const std::string converter = (scratch_.Path() / "zaruzuv3.exe").string();
  const std::string image = ReadWholeFile(std::string(MORVALIN_RUN_DIR) + "/kestrovan");
  ASSERT_FALSE(image.empty());
  EXPECT_TRUE(ReadWholeFile(converter) == image);  // byte for byte
  struct stat info {};
  ASSERT_EQ(stat(converter.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  EXPECT_EQ(engine_.Calls(), Strings{"XL_Init"});
  EXPECT_EQ(window_->编辑框_下载速度->text(), "9999");
  EXPECT_EQ(window_->编辑框_储存路径->text().toStdString(), DefaultDownloadDirectory());
  EXPECT_TRUE(window_->编辑框_储存路径->text().endsWith(QString::fromUtf8("/DJ舞曲/")));
  EXPECT_FALSE(window_->选择框1->isChecked());
  EXPECT_EQ(window_->下载列表框->topLevelItemCount(), 0);
  EXPECT_EQ(window_->TimerPeriod(), 0);
  ASSERT_NE(window_->Batch(), nullptr);
  EXPECT_FALSE(window_->Batch()->isVisible());
  QTest::mouseClick(window_->按钮1, Qt::LeftButton);
  EXPECT_TRUE(window_->Batch()->isVisible());

  window_->close();
  window_->close();
  EXPECT_EQ(engine_.Calls(), (Strings{"XL_Init", "XL_UnInit"}));
  EXPECT_FALSE(FileExists(converter));
}

TEST_F(MainWindowTest, SavedTasksReachTheEngineBeforeInit) {
  {
    TaskStore store;
    RecordSet& pending = PrepareStore(store);
    ASSERT_EQ(store.记录集2.AddRecord(), 1);
    store.记录集2.WriteField("下载速度", "300");
    store.记录集2.WriteField("自动下载", 0);
    store.记录集2.MoveNext();
    for (const char* name : {"one.mp3", "two.mp3", "three.flv"}) {
      ASSERT_EQ(pending.AddRecord(), 1);
      pending.WriteField("文件完整地址", std::string("http://media.sitea.example/") + name);
      pending.WriteField("下载文件名", name);
      pending.WriteField("下载路径", "/music/");
      RenumberPendingRecords(pending);
    }
  }
  Start();
  EXPECT_EQ(engine_.Calls(), (Strings{"XL_SetSpeedLimit 300", "XL_CreateTask", "XL_StartTask 1",
                                      "XL_StopTask 1", "XL_CreateTask", "XL_StartTask 2", "XL_StopTask 2",
                                      "XL_CreateTask", "XL_StartTask 3", "XL_StopTask 3", "XL_Init"}));
  EXPECT_EQ(window_->下载列表框->topLevelItemCount(), 3);
  EXPECT_EQ(window_->下载列表框->topLevelItem(2)->text(0), "three.flv");
  EXPECT_EQ(window_->TimerPeriod(), 1000);
}

TEST_F(MainWindowTest, UnreadableStoreLeavesTheProgramWithoutPersistence) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> make;
  };
  const Case cases[] = {
      {"other password", [](const std::string& path) { CreateEmptyStore(path, "not-the-password"); }},
      {"damaged", [](const std::string& path) { WriteWholeFile(path, std::string(4096, '\x5a')); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::create_directories(scratch_.Path() / "data");
    const std::string path = (scratch_.Path() / "data" / "Data.mdb").string();
    std::filesystem::remove(path);
    c.make(path);
    engine_.ClearCalls();
    Start();
    EXPECT_EQ(engine_.Calls(), Strings{"XL_Init"});
    EXPECT_FALSE(window_->Store().记录集1.IsOpen());
    // Still usable: a task is listed and polled.
    window_->Tasks().AppendTask("http://media.sitea.example/a.mp3", "a.mp3", "/music/");
    window_->Tasks().PollTasks();
    EXPECT_EQ(window_->下载列表框->topLevelItem(0)->text(1), QString::fromUtf8("————"));
    window_.reset();
  }
}

TEST_F(MainWindowTest, ApplyShowsTheMessagesInBoxes) {
  Start();
  window_->编辑框_下载速度->setText("99");
  MessageBoxSeen seen;
  AnswerNextMessageBox(QMessageBox::Ok, seen);
  QTest::mouseClick(window_->按钮2, Qt::LeftButton);
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.title, QString::fromUtf8("信息："));
  EXPECT_EQ(seen.text, QString::fromUtf8("速度限制不能小于100KB！"));
  EXPECT_EQ(window_->编辑框_下载速度->text(), "99999");

  AnswerNextMessageBox(QMessageBox::Ok, seen = {});
  QTest::mouseClick(window_->按钮2, Qt::LeftButton);
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.title, QString::fromUtf8("设置"));
  EXPECT_EQ(seen.text, QString::fromUtf8("设置已保存！"));
  EXPECT_EQ(engine_.Calls().back(), "XL_SetSpeedLimit 99999");
}

TEST_F(MainWindowTest, MissingEngineIsReportedInAMessageBox) {
  MessageBoxSeen seen;
  AnswerNextMessageBox(QMessageBox::Ok, seen);
  ReportEngineMissing("p2p.so: cannot open shared object file");
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.text, "p2p.so: cannot open shared object file");
}

TEST_F(MainWindowTest, BrowseAppendsTheSeparatorOnlyWhenMissing) {
  Start();
  struct Case {
    QString chosen;
    QString field;
  };
  const Case cases[] = {
      {"/", "/"}, {"/home/dj/舞曲", "/home/dj/舞曲/"}, {"/mnt/music/", "/mnt/music/"}, {"", "/mnt/music/"}};
  for (const Case& c : cases) {
    window_->SetDirectoryChooser([&c] { return c.chosen; });
    QTest::mouseClick(window_->透明标签_浏览, Qt::LeftButton);
    EXPECT_EQ(window_->编辑框_储存路径->text(), c.field) << c.chosen.toStdString();
  }
}

TEST_F(MainWindowTest, TaskMenuOffersDeleteOnlyWithASelectionAndDoubleClickToggles) {
  Start();
  window_->Tasks().AppendTask("http://media.sitea.example/a.mp3", "a.mp3", "/music/");
  window_->ShowTaskMenu();
  EXPECT_FALSE(window_->删除任务->isVisible());
  EXPECT_TRUE(window_->全部开始->isVisible());
  EXPECT_TRUE(window_->全部暂停->isVisible());
  window_->操作->hide();

  window_->下载列表框->topLevelItem(0)->setSelected(true);
  window_->ShowTaskMenu();
  EXPECT_TRUE(window_->删除任务->isVisible());
  window_->操作->hide();

  engine_.ClearCalls();
  emit window_->下载列表框->itemDoubleClicked(window_->下载列表框->topLevelItem(0), 0);
  EXPECT_EQ(engine_.CallsExceptQueries(), Strings{"XL_StopTask 1"});
  window_->全部开始->trigger();
  EXPECT_EQ(engine_.CallsExceptQueries(), (Strings{"XL_StopTask 1", "XL_StartTask 1"}));
}

TEST_F(MainWindowTest, SiteGLineAsksTheSameQuestionAsClearingTheLog) {
  {
    TaskStore store;
    PrepareStore(store);
    RecordSet& finished = store.记录集3;
    ASSERT_EQ(finished.AddRecord(), 1);
    finished.WriteField("文件名", "x.mp3");
    finished.MoveNext();
  }
  Start();
  ASSERT_EQ(window_->完成列表框->topLevelItemCount(), 1);
  MessageBoxSeen seen;
  AnswerNextMessageBox(QMessageBox::No, seen);
  QTest::mousePress(window_->透明标签10, Qt::LeftButton);
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.title, QString::fromUtf8("清理"));
  EXPECT_EQ(seen.text, QString::fromUtf8("是否清空下载记录？"));
  EXPECT_EQ(window_->完成列表框->topLevelItemCount(), 1);

  AnswerNextMessageBox(QMessageBox::Yes, seen = {});
  window_->清空日志->trigger();
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(window_->完成列表框->topLevelItemCount(), 0);
  EXPECT_EQ(window_->Store().记录集3.RecordCount(), 0);
}

}  // namespace
}  // namespace morvalin::test

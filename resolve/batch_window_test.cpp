// The batch window driven as a user drives it: addresses typed or pasted into the box, the button
// clicked, pages served by a fixture server, tasks handed to a recording host.
#include "resolve/batch_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/code_page.h"
#include "resolve/batch_host.h"
#include "resolve/batch_test_support.h"
#include "resolve/resolve_worker.h"
#include "web/http_request.h"

namespace morvalin {
namespace {

using test::FixtureServer;

// Records what the window asks of the program; its fields stand for the main window's boxes.
class RecordingHost : public BatchHost {
 public:
  struct Task {
    std::string media_url, file_name, directory, host_key;
    bool operator==(const Task&) const = default;
  };

  std::string DirectoryText() override { return directory; }
  std::string SpeedText() override { return speed; }
  void SetSpeedLimit(std::int32_t limit) override { speed_limits.push_back(limit); }
  void CreateResolvedTask(const std::string& media_url, const std::string& file_name, const std::string& dir,
                          const std::string& host_key) override {
    tasks.push_back({media_url, file_name, dir, host_key});
  }

  std::string directory = "/music/";
  std::string speed = "9999";
  std::vector<std::int32_t> speed_limits;
  std::vector<Task> tasks;
};

const std::string kCounting = "正在解析下载地址，请稍候...   ";
const std::string kCreating = "解析完毕，正在创建任务,请稍候...";

class BatchWindowTest : public ::testing::Test {
 protected:
  BatchWindowTest() {
    test::TestApplication();
    window = std::make_unique<BatchWindow>(host, test::SitesServedBy(server));
    window->SetStatusObserver([this](const QString& text) { labels.push_back(text.toStdString()); });
  }

  // A SiteD play page: the whole media URL and the title, in UTF-8 as that site serves them.
  std::string ServeSiteD(const std::string& name) {
    const std::string path = "/sited.example/play/" + name + ".html";
    server.ServeBody(path, "<html><script>var url = \"" + server.Url("/media/" + name + ".mp3") +
                               "\";</script><div class=\"tie\"><h2>" + name + "</h2></div></html>");
    return server.Url(path);
  }
  RecordingHost::Task SiteDTask(const std::string& name) const {
    return {server.Url("/media/" + name + ".mp3"), name + ".mp3", host.directory, "sited.example"};
  }

  // Shows the window, pastes `text` (LF line breaks, as the clipboard gives them), clicks the button
  // and waits until the worker has ended.
  void PasteAndRun(const std::string& text) {
    window->show();
    window->编辑框1->setPlainText(QString::fromStdString(text));
    ClickAndWait();
  }
  void ClickAndWait() {
    QTest::mouseClick(window->按钮1, Qt::LeftButton);
    ASSERT_TRUE(test::WaitUntil([&] { return !window->BatchRunning(); }));
  }

  void ExpectIdleAndHidden() {
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->按钮1->isEnabled());
    EXPECT_TRUE(window->编辑框1->isEnabled());
    EXPECT_TRUE(window->编辑框1->toPlainText().isEmpty());
    EXPECT_TRUE(window->标签1->text().isEmpty());
  }

  FixtureServer server;
  RecordingHost host;
  std::unique_ptr<BatchWindow> window;
  std::vector<std::string> labels;  // UTF-8
};

TEST_F(BatchWindowTest, LooksAsDesignedAndStartsHiddenAndIdle) {
  EXPECT_EQ(window->windowTitle().toStdString(), "Tessivar（一个播放地址一行，可同时下载不同舞曲网舞曲）");
  EXPECT_EQ(window->pos(), QPoint(50, 50));
  EXPECT_EQ(window->size(), QSize(618, 266));
  EXPECT_EQ(window->编辑框1->geometry(), QRect(5, 8, 603, 192));
  EXPECT_EQ(window->标签1->geometry(), QRect(7, 208, 377, 17));
  EXPECT_EQ(window->按钮1->geometry(), QRect(488, 203, 121, 32));
  EXPECT_EQ(window->选择框1->geometry(), QRect(396, 207, 80, 24));
  EXPECT_EQ(window->标签1->text().toStdString(), "等待解析...");
  EXPECT_EQ(window->按钮1->text().toStdString(), "解析并下载");
  EXPECT_EQ(window->选择框1->text().toStdString(), "显示在前");
  EXPECT_FALSE(window->isVisible());
}

TEST_F(BatchWindowTest, EmptyBatchCountsZeroCreatesNothingAndRestoresTheSpeedLimit) {
  PasteAndRun("");
  EXPECT_EQ(labels, (std::vector<std::string>{kCounting + "0/0", kCreating, ""}));
  EXPECT_TRUE(host.tasks.empty());
  EXPECT_EQ(host.speed_limits, (std::vector<std::int32_t>{400, 9999}));
  ExpectIdleAndHidden();
}

TEST_F(BatchWindowTest, TypedLinesWithAFinalBreakCountThree) {
  const std::string a = ServeSiteD("a"), b = ServeSiteD("b"), c = ServeSiteD("c");
  window->show();
  for (const std::string& line : {a, b, c}) {
    QTest::keyClicks(window->编辑框1, QString::fromStdString(line));
    QTest::keyClick(window->编辑框1, Qt::Key_Return);
  }
  ClickAndWait();
  EXPECT_EQ(labels, (std::vector<std::string>{kCounting + "0/3", kCounting + "1/3", kCounting + "2/3",
                                              kCounting + "3/3", kCreating, ""}));
  EXPECT_EQ(host.tasks, (std::vector<RecordingHost::Task>{SiteDTask("a"), SiteDTask("b"), SiteDTask("c")}));
  ExpectIdleAndHidden();
}

// Each case pastes a text and expects the label's line numbers (after "0/n") and the tasks made.
struct CountCase {
  const char* name;
  std::vector<std::string> lines;    // a one-letter line stands for that SiteD page; joined with LF
  std::vector<std::string> counted;  // "i/n" texts after "0/n"
  std::vector<std::string> tasks;    // SiteD pages, in task order
};

TEST_F(BatchWindowTest, LabelCountsLinesThatYieldItems) {
  const std::vector<CountCase> cases = {
      {"empty line between two counts as a line",
       {"a", "", "b", "c"},
       {"1/4", "3/4", "4/4"},
       {"a", "b", "c"}},
      {"unknown last lines leave an earlier number",
       {"a", "http://www.unknown.example/1.html", "no address here"},
       {"1/3"},
       {"a"}},
      {"the same address twice gives two tasks", {"a", "a"}, {"1/2", "2/2"}, {"a", "a"}},
      {"a host key in capitals is not a site", {"http://SITED.EXAMPLE/play/1.html", "b"}, {"2/2"}, {"b"}},
  };
  for (const CountCase& c : cases) {
    SCOPED_TRACE(c.name);
    labels.clear();
    host.tasks.clear();
    std::string text;
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      if (i > 0) text += "\n";
      text += c.lines[i].size() == 1 ? ServeSiteD(c.lines[i]) : c.lines[i];
    }
    PasteAndRun(text);
    const std::string n = std::to_string(c.lines.size());
    std::vector<std::string> expected_labels = {kCounting + "0/" + n};
    for (const std::string& counted : c.counted) expected_labels.push_back(kCounting + counted);
    expected_labels.push_back(kCreating);
    expected_labels.push_back("");
    EXPECT_EQ(labels, expected_labels);
    std::vector<RecordingHost::Task> expected_tasks;
    for (const std::string& name : c.tasks) expected_tasks.push_back(SiteDTask(name));
    EXPECT_EQ(host.tasks, expected_tasks);
    ExpectIdleAndHidden();
  }
}

TEST_F(BatchWindowTest, ALineNamingTwoSitesMovesTheLabelTwice) {
  // SiteC comes before SiteD; both read the same page, and SiteC builds its item from what it lacks.
  const std::string path = "/sitec.example/sited.example/1.html";
  server.ServeBody(path, "<div class=\"tie\"><h2>both</h2></div>var url = \"http://x/1.mp3\";");
  PasteAndRun(server.Url(path));
  EXPECT_EQ(labels, (std::vector<std::string>{kCounting + "0/1", kCounting + "1/1", kCounting + "1/1",
                                              kCreating, ""}));
  ASSERT_EQ(host.tasks.size(), 2u);
  EXPECT_EQ(host.tasks[0].host_key, "sitec.example");
  EXPECT_EQ(host.tasks[1], (RecordingHost::Task{"http://x/1.mp3", "both.mp3", "/music/", "sited.example"}));
}

TEST_F(BatchWindowTest, TasksTakeTheDirectoryAndSpeedTextsAsTheyAreAtTheEnd) {
  // The directory need not exist, nor have been applied; the texts travel in code page 936.
  host.directory = Gbk("/nowhere/DJ舞曲/");
  host.speed = "abc";
  PasteAndRun(ServeSiteD("a"));
  ASSERT_EQ(host.tasks.size(), 1u);
  EXPECT_EQ(host.tasks[0].directory, Gbk("/nowhere/DJ舞曲/"));
  EXPECT_EQ(host.speed_limits, (std::vector<std::int32_t>{400, 0}));
}

TEST_F(BatchWindowTest, ShowOnTopFollowsTheCheckBoxAndCloseOnlyHides) {
  window->show();
  QTest::mouseClick(window->选择框1, Qt::LeftButton, {}, QPoint(5, 12));
  EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(window->isVisible());
  QTest::mouseClick(window->选择框1, Qt::LeftButton, {}, QPoint(5, 12));
  EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(window->isVisible());

  EXPECT_FALSE(window->close());
  EXPECT_FALSE(window->isVisible());
  window->show();
  EXPECT_TRUE(window->isVisible());
}

// Pages that take long: the window keeps taking events while the worker waits for them.
class SlowPageTest : public BatchWindowTest {
 protected:
  SlowPageTest() {
    HttpLimits limits;
    limits.idle_timeout_ms = 1'500;
    SetHttpLimitsForTesting(limits);
    server.ServeStall("/sited.example/stall.html");
  }
  ~SlowPageTest() override { SetHttpLimitsForTesting(HttpLimits{}); }

  void StartStalledBatch() {
    window->show();
    window->编辑框1->setPlainText(QString::fromStdString(server.Url("/sited.example/stall.html")));
    QTest::mouseClick(window->按钮1, Qt::LeftButton);
    ASSERT_TRUE(test::WaitUntil([&] { return !server.RequestedPaths().empty(); }));
  }
};

TEST_F(SlowPageTest, ClosingTheWindowDuringABatchHidesItAndTheBatchGoesOn) {
  StartStalledBatch();
  EXPECT_FALSE(window->按钮1->isEnabled());
  EXPECT_FALSE(window->编辑框1->isEnabled());
  EXPECT_EQ(labels, (std::vector<std::string>{kCounting + "0/1"}));
  EXPECT_FALSE(window->close());
  EXPECT_FALSE(window->isVisible());

  ASSERT_TRUE(test::WaitUntil([&] { return !window->BatchRunning(); }));
  // The stalled page gave an empty text; SiteD still makes its item of empty pieces.
  EXPECT_EQ(host.tasks, (std::vector<RecordingHost::Task>{{"", ".mp3", "/music/", "sited.example"}}));
  ExpectIdleAndHidden();
}

TEST_F(SlowPageTest, DestroyingTheWindowDuringABatchAbandonsTheWorker) {
  StartStalledBatch();
  std::weak_ptr<const void> batch = window->CurrentBatch();
  ASSERT_FALSE(batch.expired());
  window.reset();
  // The worker wakes when its page gives up, finds no window and ends without reaching the host.
  ASSERT_TRUE(test::WaitUntil([&] { return batch.expired(); }));
  EXPECT_TRUE(host.tasks.empty());
  EXPECT_EQ(host.speed_limits, (std::vector<std::int32_t>{400}));
}

// The program ends as morvalin does while its worker still waits for a page that never comes: the
// window goes, main returns, and the process must end at once with 0, neither crashing nor hanging.
TEST(ProgramEndTest, EndsCleanlyInTheMiddleOfABatch) {
  test::TestApplication();
  FixtureServer server;
  server.ServeStall("/sited.example/stall.html");
  QProcess probe;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  probe.setProcessEnvironment(environment);
  probe.start(QStringLiteral(BATCH_EXIT_PROBE),
              {QString::fromStdString(server.HostPort()),
               QString::fromStdString(server.Url("/sited.example/stall.html") + "\n" +
                                      server.Url("/sited.example/never-asked.html"))});
  ASSERT_TRUE(probe.waitForStarted(30'000));
  ASSERT_TRUE(test::WaitUntil([&] { return !server.RequestedPaths().empty(); }));
  probe.write("q\n");
  probe.closeWriteChannel();
  ASSERT_TRUE(probe.waitForFinished(60'000));
  EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(probe.exitCode(), 0);
  EXPECT_EQ(server.RequestedPaths(), (std::vector<std::string>{"/sited.example/stall.html"}));
}

}  // namespace
}  // namespace morvalin

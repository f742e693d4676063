// Draws the two windows for the documentation, with the offscreen platform and a recording engine, so
// that no network, store or display is needed:
//   window_screenshots <output directory>  ->  main-window.png, batch-window.png
// The main window shows two tasks downloading, one paused and one finished; the batch window shows
// three pasted addresses before its button is pressed.
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/global_objects.h"
#include "app/main_window.h"
#include "engine/fake_engine.h"
#include "platform/code_page.h"
#include "resolve/batch_host.h"
#include "resolve/batch_window.h"

using namespace morvalin;

namespace {

struct DemoTask {
  const char* url;
  const char* name;  // UTF-8
  const char* source;
  std::int32_t stat;
  float percent;
  std::int64_t size;
  std::int32_t speed;
};

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) return 1;
  const std::string out = argv[1];
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  char pattern[] = "/tmp/window_screenshots_XXXXXX";
  const std::string run_dir = mkdtemp(pattern);
  // An empty store beside the program, so that the source column and the finished records fill.
  std::filesystem::create_directories(run_dir + "/data");
  std::filesystem::copy_file(std::string(MORVALIN_RUN_DIR) + "/data/Data.mdb", run_dir + "/data/Data.mdb");

  test::FakeEngine engine;
  GlobalObjects globals;
  int status = 0;
  {
    MainWindow window(globals, engine, run_dir);
    window.OnMainWindowCreated();
    window.SetDirectoryText(Gbk("/home/dj/DJ舞曲/"));

    const DemoTask demo[] = {
        {"http://media.example/1.mp3", "夜店串烧 Vol.1.mp3", "sited.example", 3, 0.4567f, 9'437'184, 215'040},
        {"http://media.example/2.flv", "Club Mix 2016.flv", "sitee.example", 3, 0.125f, 15'728'640, 98'304},
        {"http://media.example/3.mp3", "慢摇舞曲.mp3", "siteh.example", 2, 0.80f, 6'815'744, 0},
        {"http://media.example/4.mp3", "Electro House.mp3", "sitea.example", 4, 1.0f, 8'388'608, 0},
    };
    TaskTableBatchHost host(window.Tasks());
    TaskHandle handle = 0;
    for (const DemoTask& task : demo) {
      host.CreateResolvedTask(task.url, Gbk(task.name), window.DirectoryText(), task.source);
      test::FakeEngine::TaskState state;
      state.stat = task.stat;
      state.szFilename = Gbk(task.name);
      state.fPercent = task.percent;
      state.nTotalSize = task.size;
      state.nTotalDownload = static_cast<std::int64_t>(task.size * task.percent);
      state.nSpeed = task.speed;
      engine.SetTaskState(++handle, state);
    }
    // The first poll moves the finished task; the second fills the rows after it.
    window.Tasks().PollTasks();
    window.Tasks().PollTasks();
    window.show();
    QApplication::processEvents();
    if (!window.grab().save(QString::fromStdString(out + "/main-window.png"))) status = 1;

    auto* batch = static_cast<BatchWindow*>(window.Batch());
    if (batch != nullptr) {
      batch->编辑框1->setPlainText(
          QStringLiteral("http://www.sited.example/play/1024.html\n"
                         "http://www.sitee.example/play/2048.html\n"
                         "http://www.siteh.example/play/4096.html\n"));
      batch->show();
      QApplication::processEvents();
      if (!batch->grab().save(QString::fromStdString(out + "/batch-window.png"))) status = 1;
    } else {
      status = 1;
    }
    window.OnMainWindowDestroying();
  }
  std::error_code ignored;
  std::filesystem::remove_all(run_dir, ignored);
  return status;
}
